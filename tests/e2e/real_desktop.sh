#!/usr/bin/env bash
# Drives the Release program on a real desktop (Xvfb with the openbox window manager) through the real Qt
# dialogs, as a new user would, where the offscreen platform sees nothing: window activation, modal dialogs and
# their pop-ups, Qt's own texts, placement and painting at other scale factors.
#
#   real_desktop.sh PROGRAM [SHOTS_DIR]
#
# Checks, in order: the window opens at its designed place; after the go-to prompt, after a write error's notice
# and after the open dialog the keys go on to edit the grid and write the byte (the focus is back on the grid,
# not on the write switch); the open dialog's completer list is gone once a typed path is accepted, so one click
# on the lower spin arrow moves the block; rows copied reach the desktop's clipboard (xclip), and a fill pasted
# from it is written and taken back whole, while a clipboard owner that never answers costs 2 s and writes nothing; F12 shows the value window beside the main window (inside the screen at
# scale 1 and 2) without taking the keyboard, Tab goes into it, an int32 typed big-endian there is written and
# Ctrl+Z on the grid takes it back; Ctrl+Shift+C shows the checksum window there, as quietly, Tab goes into it, the
# CRC-32 of four selected rows and its bytes little-endian are copied with Ctrl+C, pasted over four other rows, and
# taken back with Ctrl+Z; a find with ?? goes to its match, a number replace writes each match in its own byte order
# and Ctrl+Z takes it back; the save dialog is captioned in Russian, answering "no" to its
# overwrite question keeps the file and the dialog; at scale 2 and 1.5 on a 1280x1024 screen the whole window is
# visible and the lines between cells are silver; the go-to prompt's and the notice's frames are centred on the
# screen; under a dark palette the path box's text, the spin button's glyphs, the write switch's box, the grey
# label and the ticked red caption stay readable; fresh starts left alone at scale 1, 1.5 and 2
# give the designed size with all of the frame on the screen, REAL_DESKTOP_FRESH_STARTS times each (2 unless
# set; 10 for the full check). On failure a screenshot is kept in SHOTS_DIR.
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
program=$1
shots=${2:-$(dirname "$program")}
if [ ! -x "$program" ]; then
    echo "No Release program at $program: cmake --preset release && cmake --build build/release --target quillmoor" >&2
    exit 77
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/desktop.sh"

work=$(mktemp -d)
cleanup() {
    desktop_stop_program
    desktop_stop
    rm -rf "$work"
}
trap cleanup EXIT
shot="$shots/real_desktop-failure.png"
fail() {
    echo "FAIL: $*" >&2
    desktop_shot "$shot" && echo "screenshot: $shot" >&2
    [ -s "$work/app.log" ] && sed 's/^/program: /' "$work/app.log" >&2
    exit 1
}
started=$EPOCHREALTIME
step() { awk -v now="$EPOCHREALTIME" -v started="$started" -v what="$*" 'BEGIN { printf "-- %5.1f s: %s\n", now - started, what }'; }

# The program keeps its settings beside itself: give it a folder of its own.
mkdir -p "$work/app"
cp "$program" "$work/app/quillmoor"
make_file() {
    python3 - "$1" "$2" <<'PY'
import sys
open(sys.argv[1], "wb").write(bytes((i * int(sys.argv[2]) + 11) & 0xFF for i in range(20000)))
PY
}
make_file "$work/data.bin" 37
make_file "$work/other.bin" 53
printf '[File]\r\nNameFile=%s\r\nStartByte=0\r\n' "$work/data.bin" >"$work/app/Quillmoor.ini"
printf 'kept\n' >"$work/old.TXT"

# byte_is FILE OFFSET HEX: the file holds that byte there.
byte_is() {
    [ -f "$1" ] && [ "$(od -An -tx1 -j "$2" -N1 "$1" | tr -d ' ')" = "$3" ]
}
stored_start() { grep -q "^StartByte=$1"$'\r'"\?\$" "$work/app/Quillmoor.ini"; }

start_program() {
    : >"$work/app.log"
    env "$@" QT_QPA_PLATFORM=xcb "$work/app/quillmoor" >"$work/app.log" 2>&1 &
    app_pid=$!
    desktop_wait_until desktop_find_window "^Файл : " || fail "the main window did not show"
    window=$desktop_window
    desktop_wait_until desktop_frame_geometry "$window" || fail "the window manager did not frame the window"
    desktop_activate "$window" || fail "the main window did not become active"
}
main_window_active() { desktop_is_active "$window"; }
# frame_centred WHAT: the active window's frame, as the window manager drew it, is centred on the 1280x1024
# screen to a pixel.
frame_is_centred() {
    desktop_active_window && desktop_frame_geometry "$desktop_window" || return 1
    local across=$((2 * desktop_left + desktop_width - 1280)) down=$((2 * desktop_top + desktop_height - 1024))
    [ "${across#-}" -le 2 ] && [ "${down#-}" -le 2 ]
}
frame_centred() {
    desktop_wait_until frame_is_centred ||
        fail "$1's frame is ${desktop_width}x$desktop_height at $desktop_left,$desktop_top, not centred on the screen"
}
# back_to_main: waits until the main window is active again after a dialog.
back_to_main() { desktop_wait_until main_window_active || fail "the main window did not become active after $1"; }
dialog_active() { desktop_active_is "$1" && ! main_window_active; }

desktop_start 1280x1024x24 || fail "no desktop"

# Places inside the window's client area, at scale 1, as the window lays itself out.
panel_top() { echo $((desktop_height - 29)); }
write_switch() { desktop_click "$window" $((64 + 7)) $(($(panel_top) + 6 + 8)); }
lower_spin_arrow() { desktop_click "$window" $((16 + 10)) $(($(panel_top) + 2 + 18)); }
open_button() { desktop_click "$window" 20 35; }
# The grid starts 133 pixels in for the Hex column and 87 down for row 1; rows are 21 pixels apart.
hex_cell() { echo 150 $((87 + ($1 - 1) * 21 + 10)); }

step "the window opens at its designed place"
start_program
desktop_frame_geometry "$window"
[ "$desktop_left,$desktop_top" = "281,104" ] ||
    fail "the window's frame is at $desktop_left,$desktop_top, not at 281,104"
[ "${desktop_width}x$desktop_height" = "567x470" ] ||
    fail "the window's outer size is ${desktop_width}x$desktop_height, not 567x470"
desktop_geometry "$window"

step "after the go-to prompt the keys edit the grid"
write_switch
desktop_keys Tab ctrl+Home Down F2
read -r x y < <(hex_cell 5)
desktop_click "$window" "$x" "$y" 3
desktop_wait_until desktop_override_redirect_shown >/dev/null || fail "no pop-up menu"
desktop_keys Down Down Down Return
desktop_wait_until dialog_active "^Перейти к байту N\$" || fail "no go-to prompt"
frame_centred "the go-to prompt"
desktop_type 300
desktop_keys Return
back_to_main "the go-to prompt"
desktop_keys ctrl+Home
desktop_type AB
desktop_keys Down
desktop_wait_until byte_is "$work/data.bin" 300 ab || fail "AB typed after the go-to prompt was not written at 300"

step "after the write error's notice the keys edit the grid"
# Moved away and back, so that the file that comes back is the one the rows were read from.
mv "$work/data.bin" "$work/data.away"
desktop_type 11
desktop_keys Down
desktop_wait_until dialog_active "^Quillmoor\$" || fail "no notice of the failed write"
frame_centred "the notice"
desktop_keys Return
back_to_main "the notice"
mv "$work/data.away" "$work/data.bin"
desktop_type 22
desktop_keys Down
desktop_wait_until byte_is "$work/data.bin" 302 22 || fail "22 typed after the notice was not written at 302"
byte_is "$work/data.bin" 301 11 && fail "the edit made while the file was gone was written later"

step "after the open dialog the keys edit the grid, and one click on the spin arrow moves the block"
desktop_keys F2
open_button
desktop_wait_until dialog_active "^Открыть файл\$" || fail "no open dialog"
desktop_keys ctrl+a
desktop_type "$work/other.bin"
# The name box's completer list shows once the dialog has read the folder; the path is accepted either way.
desktop_wait_until desktop_override_redirect_shown >/dev/null || echo "   (no completer list showed)"
desktop_keys Return
back_to_main "the open dialog"
desktop_wait_until desktop_find_window "^Файл : $work/other.bin\$" || fail "the typed path was not opened"
desktop_wait_until desktop_no_popup || fail "a pop-up of the open dialog stayed: $(desktop_override_redirect_shown)"
lower_spin_arrow
desktop_wait_until stored_start 8192 || fail "the first click on the lower spin arrow did not move the block"
desktop_keys ctrl+Home
desktop_type CD
desktop_keys Down
desktop_wait_until byte_is "$work/other.bin" 8192 cd || fail "CD typed after the open dialog was not written at 8192"

step "copy, a fill and its undo go through the desktop's clipboard"
hex_at() { od -An -tx1 -j "$2" -N"$3" "$1" | tr -d ' \n' | tr a-f A-F | sed 's/../& /g; s/ $//'; }
clipboard_is() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }
before=$(hex_at "$work/other.bin" 8196 3)
desktop_keys ctrl+Home shift+Down ctrl+c
desktop_wait_until clipboard_is "$(hex_at "$work/other.bin" 8192 2)" || fail "the copied rows are not on the clipboard"
printf '00' | xclip -selection clipboard 2>/dev/null
desktop_keys ctrl+Home Down Down Down Down shift+Down shift+Down ctrl+v
desktop_wait_until byte_is "$work/other.bin" 8198 00 || fail "00 pasted over three rows did not fill them"
[ "$(hex_at "$work/other.bin" 8196 3)" = "00 00 00" ] || fail "the fill wrote $(hex_at "$work/other.bin" 8196 3)"
desktop_keys ctrl+z
desktop_wait_until eval '[ "$(hex_at "$work/other.bin" 8196 3)" = "$before" ]' || fail "Ctrl+Z did not take the fill back whole"
# A clipboard owner that never answers (stopped) holds the window 2 s at most, and nothing is written.
printf '11' | xclip -quiet -selection clipboard 2>/dev/null &
owner=$!
desktop_wait_until clipboard_is 11 || fail "xclip took no clipboard"
kill -STOP "$owner"
pasted_at=$(date +%s%N)
desktop_keys ctrl+v
desktop_wait_until dialog_active "^Quillmoor\$" || fail "no notice of a clipboard that does not answer"
waited=$((($(date +%s%N) - pasted_at) / 1000000))
kill -KILL "$owner"
[ "$waited" -le 3500 ] || fail "a clipboard that does not answer held the window $waited ms"
[ "$(hex_at "$work/other.bin" 8196 3)" = "$before" ] || fail "a paste from a clipboard that does not answer wrote"
desktop_keys Return
back_to_main "the clipboard's notice"

step "F12 shows the value window beside the window, leaving it the keyboard; a value typed there is written and taken back"
# frame_inside LEFT: the frame last measured starts at LEFT or right of it and is all on the 1280x1024 screen.
frame_inside() {
    [ "$desktop_left" -ge "$1" ] && [ "$desktop_top" -ge 0 ] && [ $((desktop_left + desktop_width)) -le 1280 ] &&
        [ $((desktop_top + desktop_height)) -le 1024 ]
}
# show_values: F12 on the grid, and the value window framed; its id in $values.
show_values() {
    desktop_keys F12
    desktop_wait_until desktop_find_window "^Значения\$" || fail "F12 showed no value window"
    values=$desktop_window
    desktop_wait_until desktop_frame_geometry "$values" || fail "the window manager did not frame the value window"
}
before=$(hex_at "$work/other.bin" 8193 4)
desktop_keys ctrl+Home
show_values
desktop_frame_geometry "$window"
main_right=$((desktop_left + desktop_width))
main_bottom=$((desktop_top + desktop_height))
desktop_frame_geometry "$values"
frame_inside "$main_right" || fail "the value window's frame is at $desktop_left,$desktop_top, not right of $main_right"
sleep 0.5
main_window_active || fail "the value window took the keyboard when it appeared"
# A move, then Tab into the value window, down to int32 and across to its big-endian value.
desktop_keys Down Tab
desktop_wait_until desktop_is_active "$values" || fail "Tab from the grid did not go into the value window"
desktop_keys Down Down Down Down Right Return
desktop_type 305419896
desktop_keys Return
desktop_wait_until eval '[ "$(hex_at "$work/other.bin" 8193 4)" = "12 34 56 78" ]' ||
    fail "int32 BE 305419896 typed in the value window wrote $(hex_at "$work/other.bin" 8193 4) at 8193"
desktop_keys shift+Tab
back_to_main "Shift+Tab in the value window"
desktop_keys ctrl+z
desktop_wait_until eval '[ "$(hex_at "$work/other.bin" 8193 4)" = "$before" ]' ||
    fail "Ctrl+Z did not take the value back whole"
desktop_keys F12
desktop_wait_until desktop_window_gone "$values" || fail "F12 did not hide the value window"

step "Ctrl+Shift+C shows the checksum window beside the window, leaving it the keyboard; a CRC-32 copied there is pasted over four rows and taken back"
before=$(hex_at "$work/other.bin" 8200 4)
desktop_keys ctrl+Home shift+Down shift+Down shift+Down ctrl+shift+c
desktop_wait_until desktop_find_window "^Контрольные суммы\$" || fail "Ctrl+Shift+C showed no checksum window"
checksums=$desktop_window
desktop_wait_until desktop_frame_geometry "$checksums" || fail "the window manager did not frame the checksum window"
# Wider than the room either side of the main window at this size, it opens below it, covering none of its rows.
frame_inside 0 && [ "$desktop_top" -ge "$main_bottom" ] ||
    fail "the checksum window's frame is ${desktop_width}x$desktop_height at $desktop_left,$desktop_top, not below the main window's $main_bottom"
sleep 0.5
main_window_active || fail "the checksum window took the keyboard when it appeared"
# The CRC-32 of the four selected bytes as the window writes it, and its bytes little-endian.
read -r crc crc_le < <(python3 -c 'import sys, zlib; c = zlib.crc32(open(sys.argv[1], "rb").read()[8192:8196])
print("%08X" % c, " ".join("%02X" % (c >> 8 * i & 255) for i in range(4)))' "$work/other.bin")
desktop_keys Tab
desktop_wait_until desktop_is_active "$checksums" || fail "Tab from the grid did not go into the checksum window"
desktop_keys ctrl+c
desktop_wait_until clipboard_is "$crc" || fail "the CRC-32 of four selected rows copied as $(xclip -o -selection clipboard), not $crc"
desktop_keys Right ctrl+c
desktop_wait_until clipboard_is "$crc_le" || fail "the CRC-32's bytes LE copied as $(xclip -o -selection clipboard), not $crc_le"
desktop_keys shift+Tab
back_to_main "Shift+Tab in the checksum window"
desktop_keys ctrl+Home Down Down Down Down Down Down Down Down shift+Down shift+Down shift+Down ctrl+v
desktop_wait_until eval '[ "$(hex_at "$work/other.bin" 8200 4)" = "$crc_le" ]' ||
    fail "the CRC-32 pasted over four rows wrote $(hex_at "$work/other.bin" 8200 4), not $crc_le"
desktop_keys ctrl+z
desktop_wait_until eval '[ "$(hex_at "$work/other.bin" 8200 4)" = "$before" ]' || fail "Ctrl+Z did not take the paste back"
desktop_keys ctrl+shift+c
desktop_wait_until desktop_window_gone "$checksums" || fail "Ctrl+Shift+C did not hide the checksum window"
# The places inside the main window are reckoned from its geometry, measured last.
desktop_geometry "$window"

step "a find with ?? goes to its match; a number replaced is written in each match's own byte order, and Ctrl+Z takes it back"
# A signature at 12000, and the int16 4660 little-endian at 12100 and big-endian at 12200: nowhere else in the file.
python3 - "$work/other.bin" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[12000:12005] = bytes.fromhex("4D5A900003")
data[12100:12102] = (4660).to_bytes(2, "little")
data[12200:12202] = (4660).to_bytes(2, "big")
assert data.count(bytes.fromhex("3412")) + data.count(bytes.fromhex("1234")) == 2 and data.count(b"MZ") == 1
open(sys.argv[1], "wb").write(data)
PY
# prompt_answer CAPTION TEXT: the prompt so captioned is up; TEXT typed into it and accepted.
prompt_answer() {
    desktop_wait_until dialog_active "^$1\$" || fail "no prompt captioned \"$1\""
    desktop_keys ctrl+a
    desktop_type "$2"
    desktop_keys Return
}
desktop_keys ctrl+f
prompt_answer "Найти" "4D 5A ?? 00 03"
back_to_main "the find prompt"
# 12000 lies in the file's last block, which starts 8191 bytes before its end.
desktop_wait_until stored_start 11809 || fail "the find of 4D 5A ?? 00 03 did not go to 12000"
desktop_keys ctrl+h
prompt_answer "Найти" "uint16 4660"
prompt_answer "Заменить на" "uint16 0x5678"
desktop_wait_until dialog_active "^Quillmoor\$" || fail "no notice of the replace"
desktop_keys Return
back_to_main "the replace's notice"
[ "$(hex_at "$work/other.bin" 12100 2) $(hex_at "$work/other.bin" 12200 2)" = "78 56 56 78" ] ||
    fail "the replace wrote $(hex_at "$work/other.bin" 12100 2) and $(hex_at "$work/other.bin" 12200 2)"
desktop_keys ctrl+z
desktop_wait_until eval '[ "$(hex_at "$work/other.bin" 12100 2) $(hex_at "$work/other.bin" 12200 2)" = "34 12 12 34" ]' ||
    fail "Ctrl+Z did not take the replace back whole"
# Back to the block the steps after this one start from.
desktop_keys shift+F10
desktop_wait_until desktop_override_redirect_shown >/dev/null || fail "no pop-up menu from the keyboard"
desktop_keys Down Down Return
prompt_answer "Перейти к байту N" 8192
back_to_main "the go-to prompt"
desktop_wait_until stored_start 8192 || fail "going to byte 8192 did not show its block"

step "the save dialog speaks Russian and keeps a file the user does not replace"
desktop_keys shift+F10
desktop_wait_until desktop_override_redirect_shown >/dev/null || fail "no pop-up menu from the keyboard"
desktop_keys Down Down Down Return
desktop_wait_until dialog_active "^Сохранить как\$" || fail "no save dialog captioned \"Сохранить как\""
save_dialog=$(xdotool getactivewindow)
desktop_keys ctrl+a
desktop_type "$work/old.TXT"
desktop_keys Return
question_active() { dialog_active . && ! desktop_is_active "$save_dialog"; }
desktop_wait_until question_active || fail "no overwrite question"
# "No" is the question's default button.
desktop_keys Return
desktop_wait_until desktop_is_active "$save_dialog" || fail "the save dialog did not come back after \"no\""
[ "$(cat "$work/old.TXT")" = "kept" ] || fail "the file was replaced although the answer was \"no\""
desktop_keys ctrl+a
desktop_type "$work/new.TXT"
desktop_keys Return
desktop_wait_until dialog_active "^Quillmoor\$" || fail "no notice after the report"
desktop_keys Return
back_to_main "the report's notice"
[ -s "$work/new.TXT" ] || fail "no report at $work/new.TXT"
desktop_wait_until desktop_no_popup || fail "a pop-up of the save dialog stayed: $(desktop_override_redirect_shown)"
lower_spin_arrow
desktop_wait_until stored_start 16384 || fail "the first click after the save dialog did not move the block"
desktop_stop_program

# lines_are_silver SCALE: samples the lines around the Hex column in a screenshot of the window's client area.
lines_are_silver() {
    import -window root -crop "${desktop_width}x$desktop_height+$desktop_left+$desktop_top" +repage -depth 8 \
        "ppm:$work/client.ppm" 2>/dev/null || return 1
    python3 - "$work/client.ppm" "$1" <<'PY'
import sys

data = open(sys.argv[1], "rb").read()
scale = float(sys.argv[2])
parts = data.split(maxsplit=4)
width, height = int(parts[1]), int(parts[2])
pixels = parts[4]
def at(x, y):
    i = (y * width + x) * 3
    return tuple(pixels[i:i + 3])
WHITE, SILVER, BLACK = (255, 255, 255), (192, 192, 192), (0, 0, 0)

# A vertical line of pixels through the Hex column, right of its text: the first long white run across the
# window's middle is a Hex cell.
def white_runs(y):
    runs, start = [], None
    for x in range(width + 1):
        white = x < width and at(x, y) == WHITE
        if white and start is None:
            start = x
        elif not white and start is not None:
            runs.append((start, x))
            start = None
    return runs
column = None
for y in range(height // 2, height // 2 + int(30 * scale)):
    long_runs = [r for r in white_runs(y) if r[1] - r[0] >= 40 * scale]
    if long_runs:
        column = long_runs[0][1] - int(6 * scale)
        break
if column is None:
    sys.exit("no white cell found across the middle of the window")

# Down that column from the current cell, the only coloured one (everything above it is grey: panels, the path
# box, the header): every line between the rows must be silver all through.
colours = [at(column, y) for y in range(height)]
top = next((y for y, c in enumerate(colours) if len(set(c)) > 1), None)
if top is None:
    sys.exit(f"no current cell down x={column}")
silver = [y for y in range(top, height) if colours[y] == SILVER]
if len(silver) < 10:
    sys.exit(f"only {len(silver)} silver pixels down x={column}")
black = [y for y in range(top, silver[-1]) if colours[y] == BLACK]
if black:
    sys.exit(f"black pixels between scrollable rows at x={column}, y={black[:6]}")

# Across one row, just below a line (above the text): the lines between the columns are silver all through.
row = next(y for y in range(silver[0] + 1, height) if colours[y] != SILVER) + 1
x = column
while x > 0 and at(x - 1, row) in (WHITE, SILVER):
    x -= 1
across = []
while x < width and at(x, row) in (WHITE, SILVER, BLACK):
    across.append(at(x, row))
    x += 1
if BLACK in across:
    sys.exit(f"black pixels between scrollable columns at y={row}")
if sum(1 for a, b in zip(across, across[1:]) if a == WHITE and b == SILVER) < 3:
    sys.exit(f"fewer than three silver lines across y={row}")
PY
}

for scale in 2 1.5; do
    step "at scale $scale on a 1280x1024 screen the whole window shows, with silver lines between the cells"
    start_program QT_SCALE_FACTOR=$scale
    on_screen() {
        desktop_frame_geometry "$window" && [ "$desktop_left" -ge 0 ] && [ "$desktop_top" -ge 0 ] &&
            [ $((desktop_left + desktop_width)) -le 1280 ] && [ $((desktop_top + desktop_height)) -le 1024 ]
    }
    desktop_wait_until on_screen ||
        fail "at scale $scale the window's frame is at $desktop_left,$desktop_top, ${desktop_width}x$desktop_height"
    desktop_geometry "$window"
    desktop_wait_until lines_are_silver "$scale" >/dev/null 2>&1 || {
        lines_are_silver "$scale" || true
        fail "at scale $scale the grid's lines are not silver"
    }
    if [ "$scale" = 2 ]; then
        desktop_click "$window" 300 194
        show_values
        frame_inside 0 ||
            fail "at scale 2 the value window's frame is at $desktop_left,$desktop_top, ${desktop_width}x$desktop_height"
        sleep 0.5
        main_window_active || fail "at scale 2 the value window took the keyboard when it appeared"
    fi
    desktop_stop_program
done

step "under a dark palette the path stays black on silver, and the bottom panel reads"
start_program QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
desktop_geometry "$window"
# The path box's text on its silver, then the bottom panel, unticked and ticked: the spin button's glyphs on its
# face, the write switch's box, the grey label and the red caption each stand out from what is behind them by
# 4.5 to 1.
dark_window_reads() {
    import -window root -crop "${desktop_width}x$desktop_height+$desktop_left+$desktop_top" +repage -depth 8 \
        "ppm:$work/$1.ppm" 2>/dev/null || return 1
    python3 - "$work/$1.ppm" "$1" <<'PY'
import collections, sys

data = open(sys.argv[1], "rb").read()
parts = data.split(maxsplit=4)
width, height = int(parts[1]), int(parts[2])
at = lambda x, y: tuple(parts[4][(y * width + x) * 3:(y * width + x) * 3 + 3])
linear = lambda v: v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
luminance = lambda c: sum(k * linear(v / 255) for k, v in zip((0.2126, 0.7152, 0.0722), c))
ratio = lambda a, b: (max(luminance(a), luminance(b)) + 0.05) / (min(luminance(a), luminance(b)) + 0.05)
SILVER = (192, 192, 192)
window = at(width // 2, height - 8)
if luminance(window) > 0.1:
    sys.exit(f"the window is not dark: {window} (is qt6-gtk-platformtheme installed?)")
# The path box is the one silver area above the grid, whose lines are silver too.
rows = [y for y in range(70) if sum(at(x, y) == SILVER for x in range(width)) > 100]
if not rows:
    sys.exit("no silver path box")
middle = (rows[0] + rows[-1]) // 2
across = [x for x in range(width) if at(x, middle) == SILVER]
box = [at(x, y) for y in range(rows[0], rows[-1] + 1) for x in range(across[0], across[-1])]
top = height - 29
area = lambda x0, x1, y0, y1: [at(x, y) for y in range(top + y0, top + y1) for x in range(x0, x1)]
spin = area(16, 36, 2, 27)
face = collections.Counter(spin).most_common(1)[0][0]
# The strokes of a text, not a stray pixel of an edge: many pixels of a contrast of 4.5 or more.
checks = {
    "the path box's text": [c for c in box if ratio(c, SILVER) >= 4.5],
    "the spin button's glyphs": [c for c in spin if ratio(c, face) >= 4.5],
    "the write switch's box": [c for c in area(64, 82, 6, 23) if ratio(c, window) >= 4.5],
    "the grey label": [c for c in area(width - 170, width - 2, 2, 27) if ratio(c, window) >= 4.5],
}
if sys.argv[2] == "ticked":
    checks = {"the red caption": [c for c in area(84, 300, 6, 23) if c[0] > c[1] + 50 and ratio(c, window) >= 4.5]}
for name, ink in checks.items():
    if len(ink) < 20:
        sys.exit(f"{name}: only {len(ink)} pixels stand out by 4.5 to 1 (window {window}, face {face})")
PY
}
for state in unticked ticked; do
    [ "$state" = ticked ] && write_switch
    desktop_wait_until dark_window_reads "$state" >/dev/null 2>&1 || {
        dark_window_reads "$state" || true
        fail "the window is not readable under a dark palette ($state)"
    }
done
desktop_stop_program

# Fresh starts, each on a desktop of its own: openbox is given a second, the program three more and nothing else
# (no activation, no click). The frame has the designed outer size, scaled (to a device pixel per side, which
# Qt rounds to whole units), and is all on the screen.
fresh_start() {
    desktop_stop
    desktop_start 1280x1024x24 || fail "no desktop"
    sleep 1
    : >"$work/app.log"
    QT_SCALE_FACTOR=$1 QT_QPA_PLATFORM=xcb "$work/app/quillmoor" >"$work/app.log" 2>&1 &
    app_pid=$!
    desktop_wait_until desktop_find_window "^Файл : " || fail "the main window did not show"
    sleep 3
    desktop_frame_geometry "$desktop_window" || fail "at scale $1 the window manager did not frame the window"
    local frame="frame ${desktop_width}x$desktop_height at $desktop_left,$desktop_top"
    awk -v s="$1" -v w="$desktop_width" -v h="$desktop_height" \
        'BEGIN { dw = w - 567 * s; dh = h - 470 * s; exit !(dw * dw <= 4 && dh * dh <= 4) }' ||
        fail "fresh start $2 at scale $1: $frame, not the designed size"
    [ "$desktop_left" -ge 0 ] && [ "$desktop_top" -ge 0 ] && [ $((desktop_left + desktop_width)) -le 1280 ] &&
        [ $((desktop_top + desktop_height)) -le 1024 ] || fail "fresh start $2 at scale $1: $frame, off the screen"
    desktop_stop_program
}
fresh_starts=${REAL_DESKTOP_FRESH_STARTS:-2}
for scale in 1 1.5 2; do
    step "$fresh_starts fresh starts at scale $scale, left alone, give the designed size, on the screen"
    for ((start = 1; start <= fresh_starts; ++start)); do
        fresh_start "$scale" "$start"
    done
done

echo "real desktop: 10 passed, 0 failed"
