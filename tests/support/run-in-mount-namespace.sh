#!/bin/sh
# Runs a test in a private mount namespace when this machine can give one (root, with unshare): what the test mounts
# there (a small tmpfs as a full disk, a read-only bind) is seen by no one else and goes away with the test.
# VELTRANE_PRIVATE_MOUNTS=1 tells the test that it may mount; otherwise it skips the cases that need it.
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null 2>&1 && unshare --mount --propagation private true 2>/dev/null
then
    VELTRANE_PRIVATE_MOUNTS=1
    export VELTRANE_PRIVATE_MOUNTS
    exec unshare --mount --propagation private "$@"
fi
exec "$@"
