#!/usr/bin/env bash
# Writes every reference frame under tests/frames/ anew from the game as it
# draws now, then checks both raster paths against the new set. Look at each
# picture git lists as changed and name the change in its commit message.
# Usage: scripts/update_frames.sh [BUILD_DIR]   (default build; built first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target app_frames korvath-headless -j2
KORVATH_UPDATE_FRAMES=1 "$build/bin/app_frames" --gtest_filter='*WideLanes*' --gtest_brief=1
"$build/bin/app_frames" --gtest_brief=1
git status --short tests/frames
