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
grep -qx "Exec=\"$prefix/bin/quillmoor\"" "$prefix/share/applications/quillmoor.desktop" \
    || fail "the desktop entry does not start the launcher"
desktop-file-validate "$prefix/share/applications/quillmoor.desktop" || fail "desktop entry invalid"

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
