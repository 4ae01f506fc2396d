#!/usr/bin/env bash
# Reads and drives the real program the way a screen reader does: through AT-SPI, on a private D-Bus session
# with its own accessibility bus, on a private desktop (desktop.sh). The checks themselves are in accessibility.py.
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
work=$(mktemp -d)
cleanup() {
    desktop_stop
    rm -rf "$work"
}
trap cleanup EXIT

# The program keeps its settings beside itself: give it a folder of its own.
mkdir -p "$work/app"
cp "$program" "$work/app/quillmoor"

# A window manager, as a screen reader user has one: it decides which window is active, and so where the keys go
# and which object has the focus.
desktop_start 1024x768x24 || { echo "FAIL: no desktop" >&2; exit 1; }

# Debian's python3 carries pyatspi; a python3 of its own earlier on the PATH does not.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
# Qt talks AT-SPI only when asked to or when a screen reader is registered; the client starts after it.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 NO_AT_BRIDGE=0
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
timeout 120 dbus-run-session -- "$python" "$here/accessibility.py" "$work" 2> >(grep -v "Failed to set fd limit" >&2)
