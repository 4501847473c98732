#!/usr/bin/env bash
# The accessibility check needs a display and a session bus with the AT-SPI registry on it.
set -euo pipefail
program=$1
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
here=$(dirname "$0")
exec xvfb-run -a -s "-screen 0 1280x900x24" dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    sleep 0.5
    /usr/libexec/at-spi2-registryd &
    sleep 0.5
    /usr/bin/python3 "$0/atspi_toolbar.py" "$1" "$2"
' "$here" "$program" "$profile"
