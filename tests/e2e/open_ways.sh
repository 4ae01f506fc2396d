#!/usr/bin/env bash
# The real program on a real desktop (Xvfb with openbox) started the ways a user and a file manager start it:
# with a file argument over a remembered file, with one that cannot be opened, and with --help and an unknown
# option, which must answer without a display. Checks the window's caption, the active window, the settings
# file and the exit statuses. Takes a screenshot when something fails.
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
program=$1
shots=${2:-$(dirname "$program")}
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
work=$(mktemp -d)
cleanup() {
    desktop_stop_program
    desktop_stop
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    if [ -n "${DISPLAY:-}" ] && desktop_shot "$shots/open_ways-failure.png"; then
        echo "screenshot: $shots/open_ways-failure.png" >&2
    fi
    [ -s "$work/app.log" ] && cat "$work/app.log" >&2
    exit 1
}

# The program keeps its settings beside itself: give it a folder of its own.
mkdir -p "$work/app"
cp "$program" "$work/app/quillmoor"
ini="$work/app/Quillmoor.ini"
printf 'remembered bytes' >"$work/remembered.bin"
printf 'QM\x00\x01' >"$work/given file.bin"
remember() { printf '[File]\r\nNameFile=%s\r\nStartByte=0\r\n' "$work/remembered.bin" >"$ini"; }

# --help and an unknown option, with no display at all.
help=$(env -u DISPLAY "$work/app/quillmoor" --help) || fail "--help did not exit 0"
grep -q '^Использование: quillmoor \[ФАЙЛ\]' <<<"$help" || fail "--help printed: $help"
status=0
env -u DISPLAY "$work/app/quillmoor" --no-such-option >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 2 ] || fail "an unknown option exited $status, not 2"
[ ! -s "$work/out" ] || fail "an unknown option printed to standard output"
grep -q '^quillmoor: .*--no-such-option' "$work/err" || fail "the usage error does not name the option"
# A file to show and no display: one line and status 2, not the toolkit's abort.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/app/quillmoor" "$work/remembered.bin" 2>"$work/err" ||
    status=$?
[ "$status" = 2 ] && [ "$(wc -l <"$work/err")" = 1 ] && grep -q '^quillmoor: .*дисплея' "$work/err" ||
    fail "with no display the program exited $status and said: $(cat "$work/err")"

desktop_start 1024x768x24 || fail "no desktop"
start() {
    ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$work/app/quillmoor" "$@" >"$work/app.log" 2>&1 &
    app_pid=$!
}
shown_file() { desktop_find_window "^Файл : $1\$"; }

# A relative file argument over a remembered file: the given file is shown, active, and stored from offset 0.
remember
(cd "$work" && start "given file.bin")
desktop_wait_until shown_file "$work/given file.bin" || fail "the file argument was not opened"
main_window=$desktop_window
desktop_wait_until desktop_is_active "$main_window" || fail "the window opened with a file is not active"
# Read whole before looking: grep -q leaving early would end xprop on a broken pipe and fail the pipeline.
icons=$(xprop -id "$main_window" _NET_WM_ICON)
grep -q 'Icon (48 x 48)' <<<"$icons" || fail "the window has no icon of its own"
stored() { [ "$(tr -d '\r' <"$ini")" = "$(printf '[File]\nNameFile=%s\nStartByte=0' "$work/given file.bin")" ]; }
desktop_wait_until stored || fail "the file argument was not stored: $(cat "$ini")"
desktop_stop_program

# A file that cannot be opened: the remembered file comes back, the error is shown over it, and once it is
# closed the window has the focus again; nothing is stored.
remember
before=$(cat "$ini")
start "$work/missing.bin"
desktop_wait_until shown_file "$work/remembered.bin" || fail "the remembered file was not restored"
main_window=$desktop_window
error_shown() { desktop_active_is '^Quillmoor$' && [ "$(xdotool getactivewindow)" != "$main_window" ]; }
desktop_wait_until error_shown || fail "the open error is not shown over the window"
desktop_keys Return
desktop_wait_until desktop_is_active "$main_window" || fail "the window did not get the focus back"
[ "$(cat "$ini")" = "$before" ] || fail "a file that cannot be opened changed the settings"
kill -0 "$app_pid" 2>/dev/null || fail "the program ended"
desktop_stop_program

# A window geometry given to the toolkit wins over the designed one: the client area's size, the frame's corner.
remember
start -qwindowgeometry 600x400+10+20
desktop_wait_until shown_file "$work/remembered.bin" || fail "the program did not start with -qwindowgeometry"
given_geometry() {
    desktop_frame_geometry "$desktop_window" && [ "$desktop_left,$desktop_top" = "10,20" ] &&
        desktop_geometry "$desktop_window" && [ "${desktop_width}x$desktop_height" = 600x400 ]
}
desktop_wait_until given_geometry || fail "-qwindowgeometry 600x400+10+20 gave ${desktop_width}x$desktop_height"
desktop_stop_program
echo "open ways: all checks passed"
