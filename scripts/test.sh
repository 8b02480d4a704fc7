#!/usr/bin/env bash
# Sets up, builds and runs every test: once optimised, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build && ctest --output-on-failure -j2)

# Tests labelled "heavy" repeat long searches and games; "desktop" ones play the
# game in a real X window, mostly inside the X and GL libraries, whose own
# allocations are not ours to check. The optimised run covers both.
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKORVATH_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j2 -LE 'heavy|desktop')
