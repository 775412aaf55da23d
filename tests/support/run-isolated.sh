#!/bin/sh
# Runs a test that starts the real program in a private network and IPC namespace when the machine allows it
# (root): the program's server address is fixed at 127.0.0.1:8443 and its single-instance guard is one per user, so
# without a namespace two such tests (or a running demo) would meet on the same port and the same guard. Where no
# namespace can be made, the test runs as it is; CTest's resource locks keep the tests of one run apart.
#
# Inside, besides loopback, a virtual Ethernet pair with a fixed hardware address stands in for the machine's
# adapter (an IPv4 address from the documentation range): where the SMBIOS data cannot be read (containers), the device identity falls back to an adapter, and a
# namespace with loopback alone would leave the program without any identity.
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1 &&
    unshare --net --ipc true 2>/dev/null; then
    exec unshare --net --ipc sh -c '
        ip link set lo up || exit 1
        if ip link add e2e0 type veth peer name e2e1 2>/dev/null; then
            ip link set e2e0 address 02:00:00:00:e2:e0
            ip link set e2e1 address 02:00:00:00:e2:e1
            ip address add 192.0.2.1/30 dev e2e0
            ip link set e2e0 up
            ip link set e2e1 up
        fi
        exec "$@"' sh "$@"
fi
exec "$@"
