#!/usr/bin/env bash
# Sets up, builds and runs every test: once optimised, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded code's once more
# under ThreadSanitizer; then builds once with Clang.
# Every build treats warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVATH_WERROR=ON
(cd build && ctest --output-on-failure -j2)

# Tests labelled "heavy" repeat long searches and games; "desktop" ones play the
# game in a real X window, mostly inside the X and GL libraries, whose own
# allocations are not ours to check. The optimised run covers both.
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKORVATH_SANITIZE=ON -DKORVATH_WERROR=ON
(cd build-asan && ctest --output-on-failure -j2 -LE 'heavy|desktop')

# The search's worker thread under ThreadSanitizer: only the program of the tests labelled
# "threads" and the pictures its game frames load are built, and only those tests run.
mkdir -p build-tsan
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVATH_SANITIZE_THREADS=ON \
    -DKORVATH_BENCH=OFF -DKORVATH_WERROR=ON > build-tsan/configure.log 2>&1 ||
    { cat build-tsan/configure.log; exit 1; }
cmake --build build-tsan -j2 --target app_shell korvath_pictures_data
(cd build-tsan && ctest --output-on-failure -j2 -L threads)

# The sources must build warning-free with Clang as well; its tests would repeat the above.
CC=clang CXX=clang++ bash scripts/build.sh build-clang -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVATH_BENCH=OFF -DKORVATH_WERROR=ON
