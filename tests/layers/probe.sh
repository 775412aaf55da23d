#!/bin/sh
# probe.sh BUILD_DIR TARGET builds|fails HEADER: builds one probe (a source of some layer that includes HEADER) and
# checks the outcome; a probe that must fail fails only because HEADER is not found from that layer.
set -u
build_dir=$1
target=$2
expect=$3
header=$4
output=$(cmake --build "$build_dir" --target "$target" 2>&1)
status=$?
if [ "$expect" = builds ]; then
    [ "$status" -eq 0 ] && exit 0
    printf '%s\n' "$output"
    echo "FAIL: $target should build"
    exit 1
fi
if [ "$status" -eq 0 ]; then
    echo "FAIL: $target built, but $header must not be reachable from its layer"
    exit 1
fi
if printf '%s\n' "$output" | grep -q "fatal error: $header: No such file or directory"; then
    printf '%s\n' "$output" | grep "fatal error"
    exit 0
fi
printf '%s\n' "$output"
echo "FAIL: $target failed for another reason than the unreachable $header"
exit 1
