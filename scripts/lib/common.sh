# Shared by scripts/test and scripts/demo: the repository root, the Debian packages the project needs, and the
# build of one configuration.

VELTRANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Everything a fresh Debian 12 machine lacks to build, test and demonstrate the program.
VELTRANE_PACKAGES=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev libgl-dev
    libssl-dev openssl ca-certificates
    clang clang-format libclang-rt-14-dev
    libbenchmark-dev
    xvfb xauth trayer xdotool xclip x11-utils x11-xserver-utils xcompmgr imagemagick libxcb1-dev openbox
    sway xwayland qt6-wayland dbus-daemon at-spi2-core python3-pyatspi xfce4-panel
    fonts-dejavu-core fonts-liberation2
    desktop-file-utils appstream lintian devscripts libglib2.0-bin
    tinyproxy dmidecode python3
    util-linux iproute2 systemd
    mingw-w64
)

veltrane_install_packages() {
    local missing=()
    local package
    for package in "${VELTRANE_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The shipped configuration: optimised, no debug information, warnings as errors. scripts/test and scripts/demo share
# it so that neither rebuilds the other's tree.
VELTRANE_NORMAL_OPTIONS=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2" "-DCMAKE_C_FLAGS_RELEASE=-O2"
    -DVELTRANE_WERROR=ON)

# veltrane_build DIR [--target NAME]... [cmake options...]: configures (once) and builds one configuration, whole or
# only the named targets.
veltrane_build() {
    local dir=$1
    shift
    local targets=()
    local options=()
    while [ $# -gt 0 ]; do
        if [ "$1" = "--target" ]; then
            targets+=("$2")
            shift 2
        else
            options+=("$1")
            shift
        fi
    done
    cmake -S "$VELTRANE_ROOT" -B "$dir" -G Ninja "${options[@]}"
    if [ ${#targets[@]} -gt 0 ]; then
        cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
    else
        cmake --build "$dir" -j "$(nproc)"
    fi
}

# veltrane_start_x: starts a private X server (Xvfb) with a tray host (trayer) and exports DISPLAY. Appends the
# processes to the caller's array `pids` so that its clean-up stops them. With "compositor" as argument a
# compositor runs too, so that translucent windows blend as on a real desktop.
veltrane_start_x() {
    local number
    exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
    pids+=($!)
    read -r -t 30 number <&3 || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$number"
    if [ "${1:-}" = "compositor" ]; then
        xcompmgr >/dev/null 2>&1 &
        pids+=($!)
    fi
    trayer --edge top --align right --height 24 --widthtype request >/dev/null 2>&1 &
    pids+=($!)
    local _
    for _ in $(seq 200); do
        xdotool search --classname trayer >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "the tray host did not start" >&2
    return 1
}

# The libFuzzer targets, built with clang into build/fuzz.
veltrane_build_fuzzers() {
    CC=clang CXX=clang++ veltrane_build build/fuzz -DVELTRANE_FUZZ=ON -DVELTRANE_BUILD_TESTS=OFF -DVELTRANE_WERROR=ON \
        -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" "-DCMAKE_C_FLAGS_DEBUG=-O1 -g1" --target fuzzers
}

# veltrane_run_fuzzer FUZZER SECONDS CORPUS: replays the committed seeds of tests/fuzz/corpus/NAME one by one, in name
# order (a seed may be a past finding), then fuzzes for SECONDS starting from them. New inputs go to CORPUS, never
# to the committed folder; a finding is written into CORPUS's parent as crash-*, leak-* or timeout-*. Prints the
# end of the fuzzer's output and returns 1 on a finding.
veltrane_run_fuzzer() {
    local fuzzer=$1 seconds=$2 corpus=$3
    local name seeds log
    name=$(basename "$fuzzer")
    seeds="$VELTRANE_ROOT/tests/fuzz/corpus/$name"
    log="$corpus.log"
    mkdir -p "$corpus"
    local options=(-rss_limit_mb=2048 -print_final_stats=0 "-artifact_prefix=$(dirname "$corpus")/$name-")
    if [ -d "$seeds" ] && ! "$fuzzer" "${options[@]}" "$seeds"/* >"$log" 2>&1; then
        echo "$name fails on a committed seed:"
        tail -n 60 "$log"
        return 1
    fi
    local inputs=("$corpus")
    if [ -d "$seeds" ]; then inputs+=("$seeds"); fi
    if ! "$fuzzer" "${options[@]}" -max_total_time="$seconds" "${inputs[@]}" >"$log" 2>&1; then
        echo "$name found a fault:"
        tail -n 60 "$log"
        return 1
    fi
    echo "$name: seeds replayed, no fault in $seconds s"
}
