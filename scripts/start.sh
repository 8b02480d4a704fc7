#!/usr/bin/env bash
# Sets up, builds and starts Korvath: the game runs from the build tree's top
# folder, where its pictures (DATAS/) and SETTINGS.TXT are made and copied.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'TEXT'
start: the game is built, but this machine has no display to show it on
       (neither DISPLAY nor WAYLAND_DISPLAY is set).
       On a desktop, start it with:   cd build && ./bin/korvath
       Without a display it can be played from a script:
                                      cd build && ./bin/korvath-headless SCRIPT
TEXT
    exit 1
fi
exec ./bin/korvath
