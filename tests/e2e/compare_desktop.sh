#!/usr/bin/env bash
# Compares two files with the Release program on a real desktop (Xvfb with openbox), as a user would: Ctrl+K
# through the real open dialog, the notice, the marked rows, F6 and Shift+F6, a write that makes a byte agree and
# takes its mark away, Ctrl+Shift+K through the real save dialog, and the saved patch applied with --apply.
#
#   compare_desktop.sh PROGRAM [SHOTS_DIR]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
desktop_release_script compare_desktop "$@"
python3 - "$work" <<'PY'
import sys
ours = bytearray((i * 37 + 11) & 0xFF for i in range(20000))
theirs = bytearray(ours)
for at in (100, 101, 5000):
    theirs[at] ^= 0x5A
open(sys.argv[1] + "/data.bin", "wb").write(ours)
open(sys.argv[1] + "/other.bin", "wb").write(theirs)
PY
ini="$work/app/Quillmoor.ini"
stored_start() { grep -q "^StartByte=$1"$'\r'"\?\$" "$ini"; }
hex_at() { od -An -tx1 -j "$2" -N"$3" "$1" | tr -d ' \n'; }
dialog_active() { desktop_active_is "$1" && ! desktop_is_active "$window"; }
back_to_main() { desktop_wait_until desktop_is_active "$window" || fail "the main window did not come back after $1"; }

desktop_start 1280x1024x24 || fail "no desktop"
QT_QPA_PLATFORM=xcb "$work/app/quillmoor" "$work/data.bin" >"$work/app.log" 2>&1 &
app_pid=$!
desktop_wait_until desktop_find_window "^Файл : $work/data.bin\$" || fail "the main window did not show"
window=$desktop_window
desktop_wait_until desktop_activate "$window" || fail "the main window did not become active"
desktop_geometry "$window"
# The write switch, then Tab to the grid.
desktop_click "$window" $((64 + 7)) $((desktop_height - 29 + 6 + 8))
desktop_keys Tab

desktop_keys ctrl+k
desktop_wait_until dialog_active "^Сравнить с файлом\$" || fail "Ctrl+K showed no dialog captioned \"Сравнить с файлом\""
desktop_keys ctrl+a
desktop_type "$work/other.bin"
desktop_keys Return
desktop_wait_until dialog_active "^Quillmoor\$" || fail "no notice of what the comparison found"
desktop_keys Return
back_to_main "the comparison's notice"
desktop_wait_until stored_start 100 || fail "the first difference, at 100, was not shown"

# Row r of the grid is 21 pixels tall from 87 down; a pixel of its Dec cell, right of the text.
row_pixel() { desktop_pixel $((desktop_left + 290)) $((desktop_top + 87 + ($1 - 1) * 21 + 10)); }
marked=$(row_pixel 2)
plain=$(row_pixel 3)
[ "$marked" != "$plain" ] || fail "the differing row 101 looks as the equal row 102 does ($plain)"

desktop_keys F6
desktop_wait_until stored_start 5000 || fail "F6 did not go on to the difference at 5000"
desktop_keys shift+F6
desktop_wait_until stored_start 100 || fail "Shift+F6 did not go back to the difference at 100"

# The other file's byte typed at 100 makes the bytes agree: written, and the row's mark goes.
desktop_keys ctrl+Home
desktop_type "$(hex_at "$work/other.bin" 100 1)"
desktop_keys Down
desktop_wait_until eval '[ "$(hex_at "$work/data.bin" 100 1)" = "$(hex_at "$work/other.bin" 100 1)" ]' ||
    fail "the byte typed at 100 was not written"
desktop_wait_until eval '[ "$(row_pixel 1)" = "$plain" ]' || fail "the row made equal at 100 is still marked: $(row_pixel 1)"
[ "$(row_pixel 3)" = "$plain" ] || fail "an equal row changed its look"

desktop_keys ctrl+shift+k
desktop_wait_until dialog_active "." || fail "Ctrl+Shift+K showed no save dialog"
desktop_keys ctrl+a
desktop_type "$work/diff.patch"
desktop_keys Return
back_to_main "the save dialog"
desktop_wait_until test -s "$work/diff.patch" || fail "no patch of the differences was saved"
cp "$work/data.bin" "$work/copy.bin"
"$work/app/quillmoor" --apply "$work/diff.patch" "$work/copy.bin" 2>"$work/applied" || fail "--apply: $(cat "$work/applied")"
cmp -s "$work/copy.bin" "$work/other.bin" || fail "the saved patch applied to a copy does not give the other file"

# Ctrl+K again ends the comparison: the marks go.
desktop_keys ctrl+k
desktop_wait_until eval '[ "$(row_pixel 2)" = "$plain" ]' || fail "the marks stayed after the comparison ended"
echo "compare_desktop: all checks passed"
