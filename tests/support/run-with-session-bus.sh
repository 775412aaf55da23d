#!/bin/sh
# Runs a test on a private D-Bus session bus, inside the isolation of run-isolated.sh. The session bus starts the
# accessibility bus (at-spi-bus-launcher) and its registry on demand, so the program and the test's screen-reader
# client meet on buses of their own; all end with the test.
exec "$(dirname "$0")/run-isolated.sh" dbus-run-session -- "$@"
