#!/bin/sh
# Configures the project for a given server URL in a scratch build folder and checks what the generated
# embedded-authority header holds: no certificate at all for a server elsewhere, the build's development authority
# (embedded at build time) for a loopback server. A build that embeds the development authority is a development
# build and says so (package version ~dev, the note in the About box and the package description, a configure
# warning); a build for a server elsewhere says nothing of the kind.
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
config="$build/generated/VeltraneBuildConfig.h"
note='(development build, server 127.0.0.1)'
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
    if ! grep -q '^set(CPACK_PACKAGE_VERSION "[0-9.]*")$' "$build/CPackConfig.cmake" ||
        grep -qF "$note" "$build/CPackConfig.cmake" "$build/configure.log" ||
        grep -q 'development build' "$build/configure.log" || ! grep -q '^#define VELTRANE_BUILD_NOTE ""$' "$config"; then
        grep -n 'CPACK_PACKAGE_VERSION\|development' "$build/CPackConfig.cmake" "$config" "$build/configure.log"
        echo "FAIL: the build for $url calls itself a development build"
        exit 1
    fi
    ;;
development)
    # Built from the build tree's development authority once it exists.
    if ! grep -q 'EmbedPem.cmake' "$build/build.ninja" || ! grep -q 'INPUT=[^ ]*devcerts/ca.pem' "$build/build.ninja"; then
        echo "FAIL: the build for $url does not embed the development authority"
        exit 1
    fi
    if ! grep -q '^set(CPACK_PACKAGE_VERSION "[0-9.]*~dev")$' "$build/CPackConfig.cmake" ||
        ! grep -qF "$note" "$build/CPackConfig.cmake" || ! grep -qF "#define VELTRANE_BUILD_NOTE \"$note\"" "$config" ||
        ! grep -q 'CMake Warning' "$build/configure.log" || ! grep -q 'development build' "$build/configure.log"; then
        grep -n 'CPACK_PACKAGE_VERSION\|development' "$build/CPackConfig.cmake" "$config" "$build/configure.log"
        echo "FAIL: the build for $url does not say that it is a development build"
        exit 1
    fi
    ;;
esac
echo "PASS: $url -> $expect"
