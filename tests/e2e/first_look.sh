#!/usr/bin/env bash
# What a new user sees first, with the Release program on a real desktop (Xvfb with openbox), under the light and
# the dark palette: the keyboard is on the table from the start (the first Down moves the current row, Space does
# not switch writing on), and selected cells, the write switch's box and its captions stand out from what is
# behind them (text 4.5 to 1, the box's border 3 to 1), measured on a screenshot.
#
#   first_look.sh PROGRAM [SHOTS_DIR]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/desktop.sh"
desktop_release_script first_look "$@"
python3 -c 'import sys; open(sys.argv[1], "wb").write(bytes((i * 37 + 11) & 0xFF for i in range(20000)))' \
    "$work/data.bin"
ini="$work/app/Quillmoor.ini"

desktop_start 1280x1024x24 || fail "no desktop"

# looks_right PALETTE STATE: a screenshot of the window, measured.
looks_right() {
    import -window root -crop "${desktop_width}x$desktop_height+$desktop_left+$desktop_top" +repage -depth 8 \
        "ppm:$work/$1-$2.ppm" 2>/dev/null || return 1
    python3 - "$work/$1-$2.ppm" "$2" "$1" <<'PY'
import collections, sys

data = open(sys.argv[1], "rb").read()
parts = data.split(maxsplit=4)
width, height = int(parts[1]), int(parts[2])
at = lambda x, y: tuple(parts[4][(y * width + x) * 3:(y * width + x) * 3 + 3])
linear = lambda v: v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
luminance = lambda c: sum(k * linear(v / 255) for k, v in zip((0.2126, 0.7152, 0.0722), c))
ratio = lambda a, b: (max(luminance(a), luminance(b)) + 0.05) / (min(luminance(a), luminance(b)) + 0.05)
area = lambda x0, x1, y0, y1: [at(x, y) for y in range(y0, y1) for x in range(x0, x1)]
top = height - 29
window = at(width // 2, height - 8)
if (luminance(window) < 0.1) != (sys.argv[3] == "dark"):
    sys.exit(f"the window is not {sys.argv[3]}: {window} (is qt6-gtk-platformtheme installed?)")
# The selected cells: rows 2 to 4 of the Hex column; their fill is the commonest colour there, their text the
# pixels that stand out from it.
selected = area(134, 228, 87 + 21 + 2, 87 + 4 * 21 - 2)
fill = collections.Counter(selected).most_common(1)[0][0]
checks = {
    "the selected cells' text": (len([c for c in selected if ratio(c, fill) >= 4.5]), 20),
    # The switch's box: a border all round, a square of pixels that stand out from the bar by 3 to 1.
    "the write switch's box": (len([c for c in area(64, 82, top + 6, top + 23) if ratio(c, window) >= 3]), 40),
    "the grey label": (len([c for c in area(width - 170, width - 2, top + 2, top + 27) if ratio(c, window) >= 4.5]), 20),
}
if sys.argv[2] == "ticked":
    checks["the red caption"] = (
        len([c for c in area(84, 300, top + 6, top + 23) if c[0] > c[1] + 50 and ratio(c, window) >= 4.5]), 20)
for name, (count, least) in checks.items():
    if count < least:
        sys.exit(f"{name}: only {count} pixels stand out (window {window}, selection {fill})")
PY
}

# beside: the value window's frame starts within 2 pixels of the main window's right edge, at its top.
beside() {
    desktop_frame_geometry "$window" || return 1
    local right=$((desktop_left + desktop_width)) top=$desktop_top
    desktop_frame_geometry "$values" || return 1
    [ "${desktop_left}" -ge $((right - 2)) ] && [ "${desktop_left}" -le $((right + 2)) ] && [ "$desktop_top" = "$top" ]
}
# F12 shows the value window beside the main window wherever that is now, until the user moves the value window.
value_window_follows() {
    xdotool windowmove "$window" 40 60
    desktop_wait_until eval 'desktop_frame_geometry "$window" && [ "$desktop_left" -lt 100 ]' || fail "the window did not move"
    desktop_keys F12
    desktop_wait_until desktop_find_window "^Значения\$" || fail "F12 showed no value window"
    values=$desktop_window
    desktop_wait_until beside || fail "the value window did not open beside the main window"
    desktop_keys F12
    desktop_wait_until desktop_window_gone "$values" || fail "F12 did not hide the value window"
    xdotool windowmove "$window" 140 260
    desktop_wait_until eval 'desktop_frame_geometry "$window" && [ "$desktop_left" -gt 100 ]' || fail "the window did not move"
    desktop_keys F12
    desktop_wait_until beside || fail "the value window did not follow the main window"
    xdotool windowmove "$values" 700 500
    desktop_wait_until eval 'desktop_frame_geometry "$values" && [ "$desktop_top" -ge 480 ]' || fail "the value window did not move"
    desktop_keys F12 F12
    sleep 1
    desktop_frame_geometry "$values"
    [ "$desktop_top" -ge 480 ] || fail "the value window did not come back where the user put it"
}

for palette in light dark; do
    printf '[File]\r\nNameFile=%s\r\nStartByte=0\r\n' "$work/data.bin" >"$ini"
    theme=()
    [ "$palette" = dark ] && theme=(QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark)
    env "${theme[@]}" QT_QPA_PLATFORM=xcb "$work/app/quillmoor" >"$work/app.log" 2>&1 &
    app_pid=$!
    desktop_wait_until desktop_find_window "^Файл : $work/data.bin\$" || fail "the main window did not show"
    window=$desktop_window
    desktop_wait_until desktop_activate "$window" || fail "the main window did not become active"
    desktop_geometry "$window"
    # The first keys go to the table: Space leaves writing off, Down then two Shift+Downs select rows 2 to 4, the
    # fourth current, where a byte is typed once the switch is ticked.
    desktop_keys space Down shift+Down shift+Down
    for state in unticked ticked; do
        if [ "$state" = ticked ]; then
            desktop_click "$window" $((64 + 7)) $((desktop_height - 29 + 6 + 8))
            desktop_keys Tab
        fi
        desktop_wait_until looks_right "$palette" "$state" >/dev/null 2>&1 || {
            looks_right "$palette" "$state" || true
            fail "under the $palette palette ($state) something does not stand out"
        }
    done
    desktop_type 7F
    desktop_keys Up
    desktop_wait_until eval '[ "$(od -An -tx1 -j 3 -N1 "$work/data.bin" | tr -d " ")" = 7f ]' ||
        fail "7F typed after the first keys was not written at row 4 ($palette)"
    [ "$palette" = light ] && value_window_follows

    desktop_stop_program
    python3 -c 'import sys; open(sys.argv[1], "wb").write(bytes((i * 37 + 11) & 0xFF for i in range(20000)))' \
        "$work/data.bin"
done
echo "first_look: all checks passed"
