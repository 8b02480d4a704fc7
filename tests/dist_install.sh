#!/usr/bin/env bash
# The installed game (tests/dist_install.sh BUILD_DIR): started from an empty
# folder it finds its data under the prefix and keeps the player's files in
# $XDG_DATA_HOME/korvath, never overwriting the player's settings; the menu
# entry and the metainfo pass the desktop's own validators; every program has
# its manual page; the .deb gets no error or warning from lintian.
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix player=$tmp/data/korvath
cmake --install "$1" --prefix "$prefix" > /dev/null
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml > /dev/null
for program in "$prefix"/bin/*; do
    test -s "$prefix/share/man/man6/$(basename "$program").6.gz"
done

command -v lintian > /dev/null || { echo "lintian is not installed (bash scripts/setup.sh)" >&2; exit 1; }
cpack --config "$1/CPackConfig.cmake" -B "$tmp/deb" > "$tmp/cpack.log" || { cat "$tmp/cpack.log"; exit 1; }
lintian --fail-on error,warning "$tmp"/deb/korvath_*.deb 2> /dev/null

mkdir "$tmp/start" && cd "$tmp/start"
export HOME=$tmp/home XDG_DATA_HOME=$tmp/data
printf 'wait 100\nkey F3\nwait 3\nsnap here.png\n' > "$tmp/script"
"$prefix/bin/korvath-headless" "$tmp/script" 2> /dev/null
cmp "$player/SETTINGS.TXT" "$prefix/share/korvath/SETTINGS.TXT"
test "$(stat -c %s "$player/page0.raw")" = $((800 * 600 * 3))

echo 'WIDTH 640 HEIGHT 480 SHADOW 64 TEXTURES 128 HARDWARE 1 MUSIC 0' > "$player/SETTINGS.TXT"
"$prefix/bin/korvath-headless" "$tmp/script"
grep -q 'WIDTH 640' "$player/SETTINGS.TXT"
stat -c %s "$player"/page*.raw | grep -qx $((640 * 480 * 3))
test "$(ls)" = here.png # the snapshot lands where the runner started, nothing else does
