#!/usr/bin/env bash
# Installs the build into a throw-away home, checks the layout, the launcher link, the desktop entry and the
# icon, then uninstalls and checks that exactly that is gone. Also checks that a prefix outside the home is
# refused before anything is copied.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"
prefix="$HOME/.local"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in opt/quillmoor/quillmoor bin/quillmoor share/applications/quillmoor.desktop \
            share/icons/hicolor/scalable/apps/quillmoor.svg; do
    [ -e "$prefix/$file" ] || fail "missing $file"
done
[ -L "$prefix/bin/quillmoor" ] || fail "the launcher is not a symbolic link"
[ "$(readlink -f "$prefix/bin/quillmoor")" = "$(readlink -f "$prefix/opt/quillmoor/quillmoor")" ] \
    || fail "the launcher does not lead to the program"
entry="$prefix/share/applications/quillmoor.desktop"
grep -qx "Exec=\"$prefix/bin/quillmoor\" %f" "$entry" || fail "the desktop entry does not start the launcher with a file"
grep -q '^MimeType=application/octet-stream;' "$entry" || fail "the desktop entry does not offer to open any file"
desktop-file-validate "$entry" || fail "desktop entry invalid"

# "Open With" from a file manager: the entry's Exec with %f replaced by a file the way a launcher does it (one
# argument, spaces and all). The program opens it and stores it as the last file.
file="$work/a firmware image.bin"
printf 'QM' > "$file"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
command=${exec_line//%f/\"$file\"}
(export QT_QPA_PLATFORM=offscreen; eval "exec $command") >"$work/run.log" 2>&1 &
program=$!
opened=""
for _ in $(seq 1 200); do
    # The settings file ends its lines with CR LF.
    if tr -d '\r' 2>/dev/null <"$prefix/opt/quillmoor/Quillmoor.ini" | grep -qxF "NameFile=$file"; then
        opened=yes
        break
    fi
    sleep 0.1
done
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
[ -n "$opened" ] || { cat "$work/run.log" >&2; fail "the entry's Exec with a file did not open it"; }
rm "$prefix/opt/quillmoor/Quillmoor.ini"

# The program's settings file is the user's: uninstall leaves it (and so the folder that holds it).
echo "[File]" > "$prefix/opt/quillmoor/Quillmoor.ini"
cmake --build "$build" --target uninstall >/dev/null
[ -e "$prefix/opt/quillmoor/Quillmoor.ini" ] || fail "uninstall removed the settings"
left=$(cd "$prefix" && find . ! -type d | sort)
[ "$left" = "./opt/quillmoor/Quillmoor.ini" ] || fail "uninstall left or removed the wrong files: $left"
rm "$prefix/opt/quillmoor/Quillmoor.ini"
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake --build "$build" --target uninstall >/dev/null
[ -z "$(cd "$prefix" && find . ! -type d)" ] || fail "a second uninstall left files"
[ ! -e "$prefix/opt/quillmoor" ] || fail "the empty program folder stayed"

outside="$work/system"
if cmake --install "$build" --prefix "$outside" >"$work/refused.log" 2>&1; then
    fail "an install outside the home was not refused"
fi
grep -q "installs per user" "$work/refused.log" || fail "the refusal does not say why"
[ ! -e "$outside/opt" ] || fail "the refused install copied files"
echo "install layout: 1 passed, 0 failed"
