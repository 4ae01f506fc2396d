#!/usr/bin/env bash
# A sparse file of 8 GiB in the Release program on a real desktop (Xvfb with openbox), as a user would reach it: the
# end of the file from the pop-up menu, a byte typed into its last row and taken back with Ctrl+Z, bytes found past
# 4 GiB with Ctrl+F, and the go-to prompt answered with an offset past 32 bits.
#
#   large_desktop.sh PROGRAM [SHOTS_DIR]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
desktop_release_script large_desktop "$@"
size=$((8 << 30))
truncate -s "$size" "$work/big.bin"
# "MZ" at 6 GiB, the only bytes of the file that are not zero.
printf 'MZ' | dd of="$work/big.bin" bs=1 seek=$((6 << 30)) conv=notrunc status=none
ini="$work/app/Quillmoor.ini"
stored_start() { grep -q "^StartByte=$1"$'\r'"\?\$" "$ini"; }
hex_at() { od -An -tx1 -j "$2" -N"$3" "$1" | tr -d ' \n'; }
dialog_active() { desktop_active_is "$1" && ! desktop_is_active "$window"; }
back_to_main() { desktop_wait_until desktop_is_active "$window" || fail "the main window did not come back after $1"; }
prompt_answer() {
    desktop_wait_until dialog_active "^$1\$" || fail "no prompt captioned \"$1\""
    desktop_keys ctrl+a
    desktop_type "$2"
    desktop_keys Return
}
menu_item() {
    desktop_keys shift+F10
    desktop_wait_until desktop_override_redirect_shown >/dev/null || fail "no pop-up menu from the keyboard"
    desktop_keys "$@" Return
}

desktop_start 1280x1024x24 || fail "no desktop"
QT_QPA_PLATFORM=xcb "$work/app/quillmoor" "$work/big.bin" >"$work/app.log" 2>&1 &
app_pid=$!
desktop_wait_until desktop_find_window "^Файл : $work/big.bin\$" || fail "the main window did not show"
window=$desktop_window
desktop_wait_until desktop_activate "$window" || fail "the main window did not become active"
desktop_geometry "$window"
# The write switch, then Tab to the grid.
desktop_click "$window" $((64 + 7)) $((desktop_height - 29 + 6 + 8))
desktop_keys Tab

# The second item (the menu opens on the first): the end of the file, whose last block starts 8191 bytes
# before it.
menu_item Down
desktop_wait_until stored_start $((size - 8191)) || fail "the end of the file was not shown"
# Ctrl+End: the last row's Ascii cell.
desktop_keys ctrl+End
desktop_type "A"
desktop_keys Up
desktop_wait_until eval '[ "$(hex_at "$work/big.bin" $((size - 1)) 1)" = 41 ]' ||
    fail "the byte typed into the last row did not reach offset $((size - 1))"
[ "$(stat -c %s "$work/big.bin")" = "$size" ] || fail "the file's size changed"
desktop_keys ctrl+z
desktop_wait_until eval '[ "$(hex_at "$work/big.bin" $((size - 1)) 1)" = 00 ]' ||
    fail "Ctrl+Z did not take back the byte at $((size - 1))"

desktop_keys ctrl+f
prompt_answer "Найти" '"MZ"'
back_to_main "the find prompt"
desktop_wait_until stored_start $((6 << 30)) || fail "the bytes at 6 GiB were not found"

menu_item Down Down
prompt_answer "Перейти к байту N" '$100000000'
back_to_main "the go-to prompt"
desktop_wait_until stored_start $((4 << 30)) || fail "going to byte \$100000000 did not show its block"
echo "large_desktop: all checks passed"
