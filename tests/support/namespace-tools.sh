# Shell functions for scripts that tests run as root inside private mount and network namespaces
# (support/Namespaces.h): a stand-in for the machine's management data, a non-root user, adapters of several kinds.
# Nothing done here is seen outside the namespaces.

# fake_dmi VENDOR SERIAL MODE: a tmpfs in place of /sys/class/dmi/id with sys_vendor (world-readable) and, unless
# SERIAL is "-", product_serial with MODE (0400 as on real systems: root only; 0444: everyone).
fake_dmi() {
    if [ -d /sys/class/dmi/id ]; then
        mount -t tmpfs veltrane-test /sys/class/dmi/id
    else
        # This machine has no DMI folder to mount over: the class folder is replaced instead.
        mount -t tmpfs veltrane-test /sys/class
        mkdir -p /sys/class/dmi/id
    fi
    chmod 0755 /sys/class/dmi /sys/class/dmi/id 2>/dev/null || chmod 0755 /sys/class/dmi/id
    printf '%s\n' "$1" >/sys/class/dmi/id/sys_vendor
    chmod 0444 /sys/class/dmi/id/sys_vendor
    if [ "$2" != "-" ]; then
        printf '%s\n' "$2" >/sys/class/dmi/id/product_serial
        chmod "$3" /sys/class/dmi/id/product_serial
    fi
}

# fake_machine_id FILE: FILE in place of /etc/machine-id.
fake_machine_id() {
    mount --bind "$1" /etc/machine-id
}

# no_firmware_tables: the raw SMBIOS table out of reach, also for root.
no_firmware_tables() {
    mount -t tmpfs veltrane-test /sys/firmware
}

# as_nobody HOME PROGRAM ARGS...: runs the program as the user nobody with HOME set, and a runtime folder of
# nobody's own in it. The test's runtime folder is root's, so the program's single-instance lock would otherwise fall
# back to /tmp/veltrane-auth-<uid>, where the instances of nobody that another run starts (the other build's suite)
# hold it.
as_nobody() {
    home=$1
    shift
    mkdir -p "$home/.runtime"
    chown nobody:nogroup "$home/.runtime"
    chmod 700 "$home/.runtime"
    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$home" XDG_RUNTIME_DIR="$home/.runtime" "$@"
}

# add_running_tun NAME ADDRESS/PREFIX: a tun device with an IPv4 address and no hardware address, held open (and so
# running) by a background process until the script ends.
add_running_tun() {
    ip tuntap add dev "$1" mode tun
    ip addr add "$2" dev "$1"
    ip link set "$1" up
    perl -e 'open(my $f, "+<", "/dev/net/tun") or die "tun: $!"; my $r = pack("Z16 s", $ARGV[0], 0x1001);
             ioctl($f, 0x400454ca, $r) or die "TUNSETIFF: $!"; $| = 1; print "held\n"; sleep 300' "$1" >/dev/null &
    tun_holders="${tun_holders:-} $!"
    # Running once the holder has attached.
    i=0
    until ip link show "$1" | grep -q LOWER_UP; do
        i=$((i + 1))
        [ "$i" -lt 100 ] || { echo "the tun device $1 never came up" >&2; return 1; }
        sleep 0.05
    done
}

# add_veth NAME MAC ADDRESS/PREFIX: one end of a veth pair, running, with the given hardware and IPv4 address.
add_veth() {
    ip link add "$1" address "$2" type veth peer name "$1p"
    ip addr add "$3" dev "$1"
    ip link set "$1p" up
    ip link set "$1" up
}

# release_tuns: ends the processes that hold tun devices open.
release_tuns() {
    for pid in ${tun_holders:-}; do kill "$pid" 2>/dev/null || true; done
}
