#!/usr/bin/env bash
# Checks the Debian package that scripts/package made in BUILD without installing it: lintian finds no error and
# no want of hardening (fortified calls, bind-now, no .comment), hardening-check passes the
# program, it holds the files a package for all users needs, and its program, extracted and run as the user
# nobody with a home of its own on a real desktop (Xvfb with openbox), pages through a file with no error box
# and keeps its settings under that home. Then gio open and xdg-open, finding the extracted desktop entry through
# XDG_DATA_DIRS once its database is refreshed (as the package's trigger does), start it with a file whose path
# has blanks.
#
#   tst_package.sh BUILD
set -euo pipefail
# xdotool matches the Cyrillic titles only under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8
build=$1
debs=("$build"/quillmoor_*.deb)
deb=${debs[0]}
if [ ! -f "$deb" ]; then
    echo "No package in $build: scripts/package makes it" >&2
    exit 77
fi
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/desktop.sh"
work=$(mktemp -d)
# The extracted program, whatever started it: gio and xdg-open leave it running on its own.
stop_extracted() {
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/exe" 2>/dev/null)" = "$work/root/usr/bin/quillmoor" ] && kill "${proc#/proc/}" 2>/dev/null
    done
    return 0
}
cleanup() {
    stop_extracted
    desktop_stop_program
    desktop_stop
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/app.log" ] && sed 's/^/program: /' "$work/app.log" >&2
    exit 1
}

lintian --fail-on error -I --pedantic "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian found errors"; }
! grep -E 'hardening-no-(bindnow|fortify-functions)|binary-has-unneeded-section' "$work/lintian.log" >&2 ||
    fail "lintian finds the program unhardened"
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in bin/quillmoor share/applications/io.github.quillmoor.Quillmoor.desktop share/icons/hicolor/scalable/apps/quillmoor.svg \
            share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/quillmoor.png \
            share/metainfo/io.github.quillmoor.Quillmoor.metainfo.xml share/man/man1/quillmoor.1.gz \
            share/doc/quillmoor/copyright share/doc/quillmoor/changelog.gz; do
    grep -qx "./usr/$file" <<<"$contents" || fail "the package lacks /usr/$file"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the dependencies were not worked out"
for library in libssl3 libisal2; do
    dpkg-deb -f "$deb" Depends | grep -q "$library" || fail "the package does not depend on $library"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "qt6-translations-l10n, qt6-wayland" ] || fail "qt6-translations-l10n and qt6-wayland are not recommended"

dpkg-deb -x "$deb" "$work/root"
# No program linked on Debian 12 shows control flow integrity: its start files (Scrt1.o, crti.o) carry no CET marks.
hardening-check -q --nocfprotection "$work/root/usr/bin/quillmoor" >&2 || fail "hardening-check failed"
share="$work/root/usr/share"
appstreamcli validate --no-net "$share/metainfo/io.github.quillmoor.Quillmoor.metainfo.xml" >/dev/null ||
    fail "appstreamcli rejects the metainfo"
desktop-file-validate "$share/applications/io.github.quillmoor.Quillmoor.desktop" || fail "desktop entry invalid"
# Software centres find the entry by the component's launchable, which is the component ID.
grep -qF '<launchable type="desktop-id">io.github.quillmoor.Quillmoor.desktop</launchable>' \
    "$share/metainfo/io.github.quillmoor.Quillmoor.metainfo.xml" || fail "the metainfo launches another entry"
grep -qx 'Exec=quillmoor %f' "$share/applications/io.github.quillmoor.Quillmoor.desktop" || fail "the entry does not start quillmoor"
# As installed: nobody may write beside the program, so the settings must go to the home.
chmod -R a-w "$work/root"
chmod 755 "$work"
python3 -c 'import sys; open(sys.argv[1], "wb").write(bytes(i * 7 & 0xFF for i in range(30000)))' "$work/data.bin"
mkdir "$work/home"
runner=()
if [ "$(id -u)" = 0 ]; then
    chown nobody "$work/home"
    runner=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

desktop_start 1024x768x24 || fail "no desktop"
"${runner[@]}" env -i LANG=C.UTF-8 HOME="$work/home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb PATH=/usr/bin:/bin \
    "$work/root/usr/bin/quillmoor" "$work/data.bin" >"$work/app.log" 2>&1 &
app_pid=$!
desktop_wait_until desktop_find_window "^Файл : $work/data.bin\$" || fail "the packaged program did not show the file"
window=$desktop_window
desktop_activate "$window" || fail "the window did not become active"
ini="$work/home/.config/quillmoor/Quillmoor.ini"
for start in 8192 16384 24576; do
    desktop_keys alt+Next
    stored() { tr -d '\r' 2>/dev/null <"$ini" | grep -qx "StartByte=$start"; }
    desktop_wait_until stored || fail "the step to $start was not stored in $ini"
    ! desktop_find_window '^Quillmoor$' || fail "an error box showed after the step to $start"
done
desktop_stop_program
[ -z "$(find "$work/root" -name Quillmoor.ini)" ] || fail "settings written beside the program"

# gio and xdg-open as a desktop without an environment of its own uses them, on the extracted entry alone.
# The package's trigger runs as root, which writes in the folder made read-only above: so may this refresh.
chmod u+w "$share/applications"
update-desktop-database "$share/applications"
file="$work/a firmware image.bin"
cp "$work/data.bin" "$file"
for opener in "gio open" xdg-open; do
    home="$work/home-${opener// /-}"
    mkdir "$home"
    env -i LANG=C.UTF-8 HOME="$home" XDG_DATA_DIRS="$share" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=offscreen \
        PATH="$work/root/usr/bin:/usr/bin:/bin" $opener "$file" >"$work/app.log" 2>&1 &
    opened() { tr -d '\r' 2>/dev/null <"$home/.config/quillmoor/Quillmoor.ini" | grep -qxF "NameFile=$file"; }
    desktop_wait_until opened || fail "$opener did not start the program with the file"
    stop_extracted
    wait $! 2>/dev/null || true
done
echo "package: 1 passed, 0 failed"
