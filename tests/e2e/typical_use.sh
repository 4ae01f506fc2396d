#!/usr/bin/env bash
# Drives the real program in a real X server through a typical use: a remembered file restored at start, the
# write switch ticked, a byte typed in the Hex column and committed with an arrow key, the next block by a click
# on the spin button, the report saved through the save dialog. Then checks the file's bytes, the settings file
# and the report on disk. Takes a screenshot when something fails.
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
program=$1
shots=${2:-$(dirname "$program")}
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    import -window root "$shots/typical_use-failure.png" 2>/dev/null && echo "screenshot: $shots/typical_use-failure.png" >&2
    exit 1
}

# The program keeps its settings beside itself: give it a folder of its own.
mkdir -p "$work/app"
cp "$program" "$work/app/quillmoor"
python3 - "$work/data.bin" <<'PY'
import sys
open(sys.argv[1], "wb").write(bytes((i * 37 + 11) & 0xFF for i in range(20000)))
PY
cp "$work/data.bin" "$work/expected.bin"
printf '[File]\r\nNameFile=%s\r\nStartByte=0\r\n' "$work/data.bin" >"$work/app/Quillmoor.ini"

# The server picks a free display itself and tells its number once it accepts clients, so a display still
# being released by an earlier run is never taken.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb "$work/app/quillmoor" >"$work/app.log" 2>&1 &
app_pid=$!
focus() { xdotool windowfocus --sync "$1"; sleep 0.2; }
# Polls a check for up to 20 s: a loaded machine (and a sanitizer build) answers slowly, never wrongly.
wait_until() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }
restored() { window=$(xdotool search --onlyvisible --name "^Файл : $work/data.bin\$" 2>/dev/null | head -n 1); [ -n "$window" ]; }
wait_until restored || fail "the remembered file was not restored at start"
sleep 0.5
read -r left top width height < <(xdotool getwindowgeometry --shell "$window" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print x, y, w, h}')
byte_written() {
    python3 - "$work/data.bin" "$work/expected.bin" <<'PY'
import sys
data, expected = open(sys.argv[1], "rb").read(), bytearray(open(sys.argv[2], "rb").read())
expected[9] = 0xFF
sys.exit(0 if data == bytes(expected) else 1)
PY
}
click() { xdotool mousemove --sync $((left + $1)) $((top + $2)) click 1; sleep 0.3; }

# The write switch sits in the bottom panel, 29 pixels high, at 64, 6; Tab takes the focus on to the grid.
focus "$window"
click $((64 + 7)) $((height - 29 + 6 + 8))
xdotool key Tab ctrl+Home
for _ in $(seq 9); do xdotool key Down; done
xdotool type FF
xdotool key Down
wait_until byte_written || fail "the byte typed into row 10 did not reach offset 9"

# The spin button's lower arrow: next block.
click $((16 + 10)) $((height - 29 + 2 + 18))
wait_until grep -q "StartByte=8192" "$work/app/Quillmoor.ini" || fail "the next block was not stored"

# The report, from the grid's pop-up menu: the fourth item, the first being current; the save dialog takes the
# name.
focus "$window"
xdotool key shift+F10
sleep 1
xdotool key Down Down Down Return
other_window() { dialog=$(xdotool search --onlyvisible --name "." | grep -v "^$window\$" | tail -n 1); [ -n "$dialog" ]; }
wait_until other_window || fail "no save dialog"
sleep 0.5
focus "$dialog"
xdotool type "$work/report"
xdotool key Return
# Polled, not --sync: a search may meet the save dialog's window just as it goes away, which is no failure.
notice_shown() { notice=$(xdotool search --onlyvisible --name "^Quillmoor\$" 2>/dev/null | head -n 1); [ -n "$notice" ]; }
wait_until notice_shown || fail "no notice after the report"
focus "$notice"
xdotool key Return

wait_until test -f "$work/report.TXT" || fail "no report at $work/report.TXT (the default suffix)"
lines=$(wc -l <"$work/report.TXT")
[ "$lines" -eq $((8193 + 8)) ] || fail "the report has $lines lines"
head -n 1 "$work/report.TXT" | grep -q "^Date : " || fail "the report does not start with its date"
sed -n 6p "$work/report.TXT" | grep -q "^00002000 (8192) " || fail "the report's first row is not the block at 8192"
grep -q "NameFile=$work/data.bin" "$work/app/Quillmoor.ini" || fail "the settings lost the file name"
byte_written || fail "the file holds other bytes than the one typed"
echo "typical use: 1 passed, 0 failed"
