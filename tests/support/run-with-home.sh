#!/bin/sh
# Runs one test with HOME set to a fresh temporary folder, and XDG_RUNTIME_DIR to another, both removed afterwards.
# The runtime folder holds the program's single-instance lock: without one of its own, every program a test starts
# would share the account's lock (/tmp/veltrane-auth-<uid>) with every other instance on this machine (another
# test, the other build's suite, a demo), and be refused while one of them runs.
home=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-home.XXXXXX") || exit 1
runtime=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-runtime.XXXXXX") || { rm -rf "$home"; exit 1; }
HOME=$home
XDG_RUNTIME_DIR=$runtime
export HOME XDG_RUNTIME_DIR
# The account's configuration folder (autostart entries) then lies in the temporary home as well.
unset XDG_CONFIG_HOME
"$@"
status=$?
rm -rf "$home" "$runtime"
exit $status
