#!/bin/sh
# Configures a build for users (no tests) with Qt Test and Qt HttpServer skipped, and checks that it
# configures and has no development server; the same configure with the tests on must fail for Qt Test, which shows
# that the skip reaches the lookups.
#   user_build.sh SOURCE_DIR
set -eu
source_dir=$1
build=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-configure.XXXXXX")
trap 'rm -rf "$build"' EXIT
# CMake answers "not found" for a package it is told to skip, so a lookup of either module fails the configure.
poison="-DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6HttpServer=ON"
# shellcheck disable=SC2086
if ! cmake -S "$source_dir" -B "$build/user" -G Ninja -DVELTRANE_BUILD_TESTS=OFF -DVELTRANE_PCH=OFF $poison \
    >"$build/user.log" 2>&1; then
    cat "$build/user.log"
    echo "FAIL: a build without tests still needs Qt Test or Qt HttpServer"
    exit 1
fi
if grep -q 'veltrane-devserver' "$build/user/build.ninja"; then
    echo "FAIL: a build without tests still builds the development server"
    exit 1
fi
# shellcheck disable=SC2086
if cmake -S "$source_dir" -B "$build/tests" -G Ninja -DVELTRANE_PCH=OFF $poison >"$build/tests.log" 2>&1 ||
    ! grep -q 'Qt6Test' "$build/tests.log"; then
    cat "$build/tests.log"
    echo "FAIL: a build with tests did not look up the skipped Qt Test"
    exit 1
fi
echo "PASS: a build without tests needs neither Qt Test nor Qt HttpServer"
