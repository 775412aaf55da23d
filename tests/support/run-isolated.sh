#!/bin/sh
# Runs a test that starts the real program apart from every other run on the machine, beyond the private runtime
# folder that run-with-home.sh gives every test: as root, a private network namespace. The program's server address
# is fixed at 127.0.0.1:8443, and two runs (or a running demo) would otherwise meet on that port. Without root the
# test runs in the machine's network; CTest's resource locks keep the tests of one run apart.
# Inside the namespace, besides loopback, a virtual Ethernet pair with a fixed hardware address (and an IPv4 address
# from the documentation range) stands in for the machine's adapter, for an identity source that lists adapters.
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1 &&
    unshare --net true 2>/dev/null; then
    exec unshare --net sh -c '
        ip link set lo up || exit 1
        if ip link add e2e0 type veth peer name e2e1 2>/dev/null; then
            ip link set e2e0 address 02:00:00:00:e2:e0
            ip link set e2e1 address 02:00:00:00:e2:e1
            ip address add 192.0.2.1/30 dev e2e0
            ip link set e2e0 up
            ip link set e2e1 up
        fi
        exec "$@"' sh "$@"
else
    exec "$@"
fi
