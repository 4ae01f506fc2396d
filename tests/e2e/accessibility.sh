#!/usr/bin/env bash
# Reads and drives the real program the way a screen reader does: through AT-SPI, on a private D-Bus session
# with its own accessibility bus, in a private X server. The checks themselves are in accessibility.py.
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
program=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The program keeps its settings beside itself: give it a folder of its own.
mkdir -p "$work/app"
cp "$program" "$work/app/quillmoor"

# The server picks a free display itself and tells its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

# Debian's python3 carries pyatspi; a python3 of its own earlier on the PATH does not.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
# Qt talks AT-SPI only when asked to or when a screen reader is registered; the client starts after it.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 NO_AT_BRIDGE=0
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
exec 3>&-
timeout 120 dbus-run-session -- "$python" "$here/accessibility.py" "$work" 2> >(grep -v "Failed to set fd limit" >&2)
