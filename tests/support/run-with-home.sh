#!/bin/sh
# Runs one test with HOME set to a fresh temporary folder that is removed afterwards.
home=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-home.XXXXXX") || exit 1
HOME=$home
export HOME
# The account's configuration folder (autostart entries) then lies in the temporary home as well.
unset XDG_CONFIG_HOME
"$@"
status=$?
rm -rf "$home"
exit $status
