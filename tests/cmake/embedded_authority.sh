#!/bin/sh
# Configures the project for a given server URL in a scratch build folder and checks what the generated
# embedded-authority header holds: no certificate at all for a server elsewhere, the build's development authority
# (embedded at build time) for a loopback server.
#   embedded_authority.sh SOURCE_DIR URL none|development
set -eu
source_dir=$1
url=$2
expect=$3
build=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-configure.XXXXXX")
trap 'rm -rf "$build"' EXIT
if ! cmake -S "$source_dir" -B "$build" -G Ninja -DVELTRANE_BUILD_TESTS=OFF -DVELTRANE_PCH=OFF \
    "-DVELTRANE_SERVER_URL=$url" >"$build/configure.log" 2>&1; then
    cat "$build/configure.log"
    echo "FAIL: configure for $url failed"
    exit 1
fi
header="$build/generated/EmbeddedServerCa.h"
case $expect in
none)
    # Written at configure time, and empty: no PEM bytes ("-----" is 0x2d five times), size 0.
    [ -f "$header" ] || { echo "FAIL: no header written at configure time for $url"; exit 1; }
    if grep -q '0x2d,0x2d,0x2d,0x2d,0x2d' "$header" || ! grep -q 'kEmbeddedServerCaSize = 0;' "$header"; then
        cat "$header"
        echo "FAIL: the build for $url embeds a certificate"
        exit 1
    fi
    if grep -q 'INPUT=[^ ]*devcerts/ca.pem' "$build/build.ninja"; then
        echo "FAIL: the build for $url still embeds the development authority"
        exit 1
    fi
    ;;
development)
    # Built from the build tree's development authority once it exists.
    if ! grep -q 'EmbedPem.cmake' "$build/build.ninja" || ! grep -q 'INPUT=[^ ]*devcerts/ca.pem' "$build/build.ninja"; then
        echo "FAIL: the build for $url does not embed the development authority"
        exit 1
    fi
    ;;
esac
echo "PASS: $url -> $expect"
