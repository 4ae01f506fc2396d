#!/usr/bin/env bash
# Installs the build into a throw-away home, checks the layout, the launcher link, the desktop entry, the icons
# and the refreshed desktop database, opens a file whose path has blanks through it with gio as a file manager
# does, then uninstalls and checks that exactly that is gone, the folders it made included. The same in a prefix
# whose path has a blank, where the entry must quote the program. Also checks that a prefix outside the home is
# refused before anything is copied.
set -euo pipefail
build=$1
work=$(mktemp -d)
prefix=""
stop_program() {
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/exe" 2>/dev/null)" = "$prefix/opt/quillmoor/quillmoor" ] && kill "${proc#/proc/}"
    done
    return 0
}
trap 'stop_program; rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"
fail() { echo "FAIL: $*" >&2; exit 1; }
file="$work/a firmware image.bin"
head -c 4096 /dev/urandom >"$file"

for prefix in "$HOME/.local" "$HOME/my apps"; do
    cmake --install "$build" --prefix "$prefix" >/dev/null
    for item in opt/quillmoor/quillmoor bin/quillmoor share/applications/io.github.quillmoor.Quillmoor.desktop \
                share/icons/hicolor/scalable/apps/quillmoor.svg share/icons/hicolor/48x48/apps/quillmoor.png; do
        [ -e "$prefix/$item" ] || fail "missing $item"
    done
    [ -L "$prefix/bin/quillmoor" ] || fail "the launcher is not a symbolic link"
    [ "$(readlink -f "$prefix/bin/quillmoor")" = "$(readlink -f "$prefix/opt/quillmoor/quillmoor")" ] \
        || fail "the launcher does not lead to the program"
    entry="$prefix/share/applications/io.github.quillmoor.Quillmoor.desktop"
    case $prefix in
    *" "*) expected="Exec=\"$prefix/bin/quillmoor\" %f" ;;
    *) expected="Exec=$prefix/bin/quillmoor %f" ;;
    esac
    grep -qxF "$expected" "$entry" || fail "the desktop entry's command is not $expected"
    desktop-file-validate "$entry" || fail "desktop entry invalid"
    grep -qx 'application/octet-stream=io.github.quillmoor.Quillmoor.desktop;' "$prefix/share/applications/mimeinfo.cache" ||
        fail "the desktop database does not offer the entry for any file"

    # "Open With" as gio and the file managers built on it do, from the user's database alone: the program opens
    # the file and stores it as the last file.
    ini="$prefix/opt/quillmoor/Quillmoor.ini"
    XDG_DATA_HOME="$prefix/share" XDG_DATA_DIRS="$work/none" QT_QPA_PLATFORM=offscreen gio open "$file" \
        >"$work/run.log" 2>&1 || { cat "$work/run.log" >&2; fail "gio open failed"; }
    opened() { tr -d '\r' 2>/dev/null <"$ini" | grep -qxF "NameFile=$file"; }
    for _ in $(seq 1 200); do
        opened && break
        sleep 0.1
    done
    stop_program
    opened || fail "gio open did not start the program with the file"

    # The program's settings file is the user's: uninstall leaves it (and so the folder that holds it).
    cmake --build "$build" --target uninstall >/dev/null
    [ "$(cd "$prefix" && find . | sort)" = "$(printf '.\n./opt\n./opt/quillmoor\n./opt/quillmoor/Quillmoor.ini')" ] ||
        fail "uninstall left or removed the wrong files: $(cd "$prefix" && find .)"
    rm "$ini"
    # A second install over the folders left, and its uninstall: nothing stays, not even an empty folder.
    cmake --install "$build" --prefix "$prefix" >/dev/null 2>&1
    cmake --build "$build" --target uninstall >/dev/null
    [ ! -e "$prefix" ] || fail "uninstall left: $(cd "$prefix" && find .)"
done

# The entry an earlier install left under its former name makes way for the new one.
earlier="$HOME/.local/share/applications/quillmoor.desktop"
mkdir -p "$(dirname "$earlier")"
printf '[Desktop Entry]\nExec=%s %%f\n' "$HOME/.local/bin/quillmoor" >"$earlier"
cmake --install "$build" --prefix "$HOME/.local" >/dev/null
[ ! -e "$earlier" ] || fail "the entry of an earlier install stayed beside the new one"
cmake --build "$build" --target uninstall >/dev/null
rm -rf "$HOME/.local"

outside="$work/system"
if cmake --install "$build" --prefix "$outside" >"$work/refused.log" 2>&1; then
    fail "an install outside the home was not refused"
fi
grep -q "installs per user" "$work/refused.log" || fail "the refusal does not say why"
[ ! -e "$outside/opt" ] || fail "the refused install copied files"
echo "install layout: 1 passed, 0 failed"
