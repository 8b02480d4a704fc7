#!/usr/bin/env bash
# Installs the Debian packages that Korvath builds, tests and runs with.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev fonts-dejavu-core
    libfluidsynth-dev fluidsynth timgm6mb-soundfont
    libfreetype-dev fonts-texgyre
    clang-format clang
    desktop-file-utils appstream lintian
    xvfb openbox xdotool wmctrl x11-apps x11-utils imagemagick
    pulseaudio
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
