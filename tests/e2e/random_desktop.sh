#!/usr/bin/env bash
# The real program on a real desktop (Xvfb with openbox), driven by random mouse and key actions for a given
# number of minutes: clicks on cells and on the spin button's arrows, keys, typing in every column, the write
# switch, the pop-up menu's commands with their real dialogs answered, the open dialog with a typed path.
#
#   tests/e2e/random_desktop.sh PROGRAM MINUTES [SEED]
#
# After every action: the process is alive; no file changed while writing was off (the switch's state is read
# from the screen); at most one byte changed, in the file the window shows, inside the shown block, and, when
# one text was typed since the last change, holding a value that text gives in some column. Every other byte
# of every file is as its copy. Any window that is not the main one after an action (a message, a dialog left
# open) is closed with Escape, and the cases where the focus did not come back to the main window are counted.
# Prints one summary line; on a failure the last actions and a screenshot are kept.
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$(realpath "$1")
minutes=$2
seed=${3:-$(date +%s)}
RANDOM=$((seed % 32768))
source "$here/desktop.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-desktop-soak.XXXXXX")
app_pid=""
finish() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    desktop_stop
}
trap finish EXIT

mkdir -p "$work/app" "$work/copies"
cp "$program" "$work/app/quillmoor"
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
for name, size in (("data.bin", 20000), ("small.bin", 5), ("page.bin", 8193)):
    data = bytes((i * 37 + 11 + len(name)) & 0xFF for i in range(size))
    for folder in (work, work + "/copies"):
        open(f"{folder}/{name}", "wb").write(data)
PY
files=(data.bin small.bin page.bin)
printf '[File]\r\nNameFile=%s\r\nStartByte=0\r\n' "$work/data.bin" >"$work/app/Quillmoor.ini"

# What each text gives, as a set of byte values, in any of the value columns.
texts=(FF 41 7 0 101 zz A 11111111 300 -1 '$41' 12 7F 80 ' 9 ' Я)
declare -A gives
while IFS=$'\t' read -r text values; do gives[$text]=$values; done < <(python3 - "${texts[@]}" <<'PY'
import sys
def parse(s):
    s = s.lstrip(" ")
    for prefix in ("0x", "0X", "$", "x", "X"):
        if s.startswith(prefix):
            try:
                return int(s[len(prefix):], 16) if s[len(prefix):] and not s[len(prefix):].startswith(("+", "-")) else None
            except ValueError:
                return None
    try:
        return int(s, 10)
    except ValueError:
        return None
for text in sys.argv[1:]:
    t = text.strip(" ")
    values = set()
    if not t:
        values.add(0)
    else:
        for v in (parse("$" + t), parse(t)):
            if v is not None:
                values.add(v & 0xFF)
        bits = t[-16:]
        values.add(sum(1 << k for k, c in enumerate(reversed(bits)) if c == "1") & 0xFF)
        values.add(t.encode("cp1251")[0])
    print(text + "\t" + " " + " ".join(map(str, sorted(values))) + " ")
PY
)

desktop_start 1024x768x24
QT_QPA_PLATFORM=xcb "$work/app/quillmoor" >"$work/app.log" 2>&1 &
app_pid=$!
desktop_wait_until desktop_find_window '^Файл : ' || { echo "random desktop: the window did not appear" >&2; exit 1; }
main=$desktop_window
sleep 1

# The client area's layout at the window's own size (567 x 470).
cell_x=(68 180 278 373 470)
cell_y() { echo $((96 + ($1 - 1) * 21)); }
switch_x=71 switch_y=455

actions=0 commits=0 closed=0 focus_lost=0 writing=0
typed=() uncertain=0
history=()
unchecked_pixel=""

# A fault is told with the actions before it and a screenshot, and the run goes on from the files as they are;
# a program that is gone ends the run.
failures=0
fault() {
    failures=$((failures + 1))
    desktop_shot "$work/failure-$failures.png"
    {
        echo "FAIL after $actions actions: $*"
        echo "last actions:"
        printf '  %s\n' "${history[@]: -25}"
        echo "screenshot: $work/failure-$failures.png"
    } | tee -a "$work/failures.txt" >&2
    for name in "${files[@]}"; do cp "$work/$name" "$work/copies/$name"; done
    typed=()
    uncertain=0
}
fail() {
    fault "$@"
    echo "random desktop: stopped after $actions actions; work folder $work (program output app.log)" >&2
    trap - EXIT
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    desktop_stop
    exit 1
}

note() { history+=("$*"); }

click() { desktop_click "$main" "$1" "$2" "${3:-1}" >/dev/null 2>&1 || true; }

switch_pixel() {
    desktop_geometry "$main" || return 1
    desktop_pixel $((desktop_left + switch_x)) $((desktop_top + switch_y))
}

main_is_active() { desktop_is_active "$main"; }

# Waits for a window other than the main one to become active (a dialog just opened); typing before it is
# there would go to the grid.
dialog_is_active() { desktop_active_window && [ "$desktop_window" != "$main" ]; }
wait_dialog() {
    DESKTOP_WAIT_SECONDS=10 desktop_wait_until dialog_is_active && sleep 0.2 && return 0
    note "  no dialog became active"
    return 1
}
popup_is_shown() { ! desktop_no_popup; }

# Closes whatever window an action left over the main one, and brings the focus back if it did not return.
settle() {
    local tries
    sleep 0.15
    if ! desktop_no_popup; then
        note "  closed a pop-up with Escape"
        xdotool key Escape
        closed=$((closed + 1))
        sleep 0.2
    fi
    for tries in 1 2 3 4 5 6; do
        main_is_active && return 0
        if desktop_active_window && [ "$desktop_window" != "$main" ]; then
            note "  closed \"$(xdotool getwindowname "$desktop_window" 2>/dev/null || true)\" with Escape"
            xdotool key Escape
            closed=$((closed + 1))
            sleep 0.3
        else
            break
        fi
    done
    if ! main_is_active; then
        focus_lost=$((focus_lost + 1))
        note "  the focus did not come back to the main window"
        desktop_activate "$main" || true
    fi
}

shown_file() { xdotool getwindowname "$main" 2>/dev/null | sed 's/^Файл : //'; }
start_byte() { sed -n 's/^StartByte=\([-0-9]*\).*/\1/p' "$work/app/Quillmoor.ini" | tr -d '\r' | head -n 1; }

# Whether writing is on, read from the switch on the screen: keys (Tab, then a blank typed) may turn it too.
read_switch() {
    local was=$writing
    [ "$(switch_pixel)" = "$unchecked_pixel" ] && writing=0 || writing=1
    [ "$writing" = "$was" ] || note "  writing is now $([ "$writing" -eq 1 ] && echo on || echo off)"
}

# The shown file and block before the action: an edit still pending when a command loads another block or
# file is committed where it was made.
shown_before="" start_before=""
check() {
    kill -0 "$app_pid" 2>/dev/null || fail "the program is gone: $(tail -n 3 "$work/app.log")"
    local name diff count offset value shown start before=$writing in_block
    read_switch
    # A commit made by this action happened with the switch as it was before it or as it is now.
    local allowed=$((before | writing))
    shown=$(shown_file)
    start=$(start_byte)
    for name in "${files[@]}"; do
        diff=$(cmp -l "$work/$name" "$work/copies/$name" 2>&1 || true)
        [ -z "$diff" ] && continue
        if [ "$(stat -c %s "$work/$name")" != "$(stat -c %s "$work/copies/$name")" ]; then
            fault "$name changed its length"
            continue
        fi
        count=$(wc -l <<<"$diff")
        read -r offset value _ <<<"$diff"
        offset=$((offset - 1))
        value=$((8#$value))
        in_block=0
        for from in "$start_before" "$start"; do
            [ -n "$from" ] && [ "$offset" -ge "$from" ] && [ "$offset" -le $((from + 8192)) ] && in_block=1
        done
        if [ "$count" -ne 1 ]; then
            fault "$count bytes of $name changed in one action, the first at $offset"
        elif [ "$allowed" -ne 1 ]; then
            fault "$name: byte $offset became $value while writing was off"
        elif [ "$shown" != "$work/$name" ] && [ "$shown_before" != "$work/$name" ]; then
            fault "$name: byte $offset became $value, but the window shows $shown"
        elif [ "$in_block" -eq 0 ]; then
            fault "$name: byte $offset became $value, outside the block from $start_before or $start"
        elif [ ${#typed[@]} -eq 0 ]; then
            fault "$name: byte $offset became $value with nothing typed"
        elif [ ${#typed[@]} -eq 1 ] && [ "$uncertain" -eq 0 ] && [[ "${gives[${typed[0]}]}" != *" $value "* ]]; then
            fault "$name: byte $offset became $value; \"${typed[0]}\" gives none of${gives[${typed[0]}]}"
        else
            commits=$((commits + 1))
            note "  committed: $name byte $offset = $value"
        fi
        cp "$work/$name" "$work/copies/$name"
        typed=()
        uncertain=0
    done
    shown_before=$shown
    start_before=$start
}
keys=(Up Down Down Left Right Prior Next Home End Return Return F2 Escape BackSpace Delete Tab ctrl+Home ctrl+End
    alt+Prior alt+Next)
offsets=(0 100 8191 8192 19999 20000 -5 abc '$10' '')

act() {
    local roll=$((RANDOM % 100)) text col row item
    if [ $roll -lt 22 ]; then
        text=${texts[RANDOM % ${#texts[@]}]}
        note "type \"$text\""
        desktop_type "$text"
        typed+=("$text")
    elif [ $roll -lt 50 ]; then
        text=${keys[RANDOM % ${#keys[@]}]}
        note "key $text"
        desktop_keys "$text"
        # Deleting in a cell is an edit too, of a text this script does not follow.
        case $text in BackSpace | Delete) typed+=("$text") uncertain=1 ;; esac
    elif [ $roll -lt 66 ]; then
        col=$((RANDOM % 5)) row=$((1 + RANDOM % 15))
        note "click cell ($col, $row)"
        click "${cell_x[col]}" "$(cell_y "$row")"
    elif [ $roll -lt 72 ]; then
        if [ $((RANDOM % 2)) -eq 0 ]; then
            note "click the upper arrow"
            click 26 449
        else
            note "click the lower arrow"
            click 26 461
        fi
    elif [ $roll -lt 76 ]; then
        note "click the write switch"
        click "$switch_x" "$switch_y"
    elif [ $roll -lt 90 ]; then
        # The pop-up menu: go to start, go to end, go to byte, report, offset column width.
        item=$((1 + RANDOM % 5))
        # From the keyboard the first item is current already.
        first=0
        if [ $((RANDOM % 2)) -eq 0 ]; then
            note "pop-up menu by right click, item $item"
            click "${cell_x[1]}" "$(cell_y $((1 + RANDOM % 10)))" 3
        else
            note "pop-up menu by shift+F10, item $item"
            desktop_keys shift+F10
            first=1
        fi
        if ! DESKTOP_WAIT_SECONDS=5 desktop_wait_until popup_is_shown; then
            note "  no pop-up menu appeared"
            return 0
        fi
        for ((k = first; k < item; ++k)); do xdotool key Down; done
        xdotool key Return
        [ "$item" -ge 3 ] && { wait_dialog || return 0; }
        case $item in
        3)
            text=${offsets[RANDOM % ${#offsets[@]}]}
            note "  go to byte \"$text\""
            xdotool key ctrl+a
            [ -n "$text" ] && desktop_type "$text"
            xdotool key Return
            ;;
        4)
            note "  report to report.txt"
            desktop_type "$work/report.txt"
            xdotool key Return
            ;;
        5)
            text=$((RANDOM % 300 - 20))
            note "  column width $text"
            xdotool key ctrl+a
            desktop_type "$text"
            xdotool key Return
            ;;
        esac
    else
        local name=${files[RANDOM % ${#files[@]}]}
        [ $((RANDOM % 8)) -eq 0 ] && name=missing.bin
        if [ $((RANDOM % 2)) -eq 0 ]; then
            note "open $name by the button"
            click 20 35
        else
            note "open $name by ctrl+O"
            desktop_keys ctrl+o
        fi
        wait_dialog || return 0
        desktop_type "$work/$name"
        xdotool key Return
    fi
}

desktop_activate "$main" || true
unchecked_pixel=$(switch_pixel)
# Writing starts switched on, so that typed values get committed; the random clicks on the switch turn it off.
click "$switch_x" "$switch_y"
sleep 0.3
read_switch
[ "$writing" -eq 1 ] || fail "the write switch did not take the click"
shown_before=$(shown_file)
start_before=$(start_byte)
deadline=$(($(date +%s) + minutes * 60))
while [ "$(date +%s)" -lt "$deadline" ]; do
    act
    actions=$((actions + 1))
    settle
    check
done
echo "random desktop: $actions actions in $minutes min (seed $seed), $commits bytes committed and found where typed," \
    "$failures misplaced or unexplained, program alive; $closed windows closed with Escape after an action," \
    "focus not back $focus_lost times"
if [ "$failures" -gt 0 ]; then
    echo "faults: $work/failures.txt" >&2
    exit 1
fi
rm -rf "$work"
