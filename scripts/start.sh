#!/usr/bin/env bash
# Sets up, builds and starts Korvath.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd build

printf 'selfplay 0 0 40\nshow\nquit\n' | ./bin/korvath-engine
