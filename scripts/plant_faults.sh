#!/usr/bin/env bash
# Plants each fault of tests/plants/ in turn (a patch of one small change in
# drawing, surfaces, picking, the menu, the rules or the files), builds, runs the
# suite without the heavy and desktop tests, takes the fault out again and says
# whether the suite caught it. Not part of CI: it takes a while (a build and a
# partial suite run a plant). Every plant must be caught; the exit code is 1
# when one survived or no longer applies.
# Usage: scripts/plant_faults.sh [BUILD_DIR] [PLANT.patch...]   (default build-plants)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-plants}
shift || true
plants=("$@")
[ ${#plants[@]} -eq 0 ] && plants=(tests/plants/*.patch)

if ! git diff --quiet -- platform render scene rules game app; then
    echo "plant_faults: the sources have changes of their own; commit or stash them first" >&2
    exit 2
fi
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVATH_BENCH=OFF \
    > /dev/null || { echo "plant_faults: the unplanted tree does not build" >&2; exit 2; }

planted=""
takeOut() { [ -n "$planted" ] && git apply -R "$planted" && planted=""; }
trap 'takeOut; exit 130' INT TERM

caught=0 survived=() broken=()
for plant in "${plants[@]}"; do
    name=$(basename "$plant" .patch)
    if ! git apply "$plant"; then
        broken+=("$name (does not apply)")
        echo "$name: does not apply"
        continue
    fi
    planted=$plant
    start=$SECONDS
    if ! cmake --build "$build" -j2 > "$build/plant.log" 2>&1; then
        broken+=("$name (does not build)")
        echo "$name: does not build"
    # Without the costs of earlier runs ctest starts the tests in their own order,
    # the reference frames first, instead of the longest first. A plant can make a
    # test loop for ever (kings that never stop); the timeout counts that as caught.
    elif (cd "$build" && rm -f Testing/Temporary/CTestCostData.txt &&
              ctest -j2 -LE 'heavy|desktop' --stop-on-failure --timeout 120 \
                  > plant-tests.log 2>&1); then
        survived+=("$name")
        echo "$name: SURVIVED ($((SECONDS - start)) s)"
    else
        caught=$((caught + 1))
        echo "$name: caught by $(awk '/tests FAILED/ { f = 1; next } f { print $3; exit }' \
            "$build/plant-tests.log") ($((SECONDS - start)) s)"
    fi
    takeOut
done
cmake --build "$build" -j2 > /dev/null 2>&1 # the unplanted build back

echo "caught $caught of ${#plants[@]}"
for s in "${survived[@]}" "${broken[@]}"; do echo "  not caught: $s"; done
[ $caught -eq ${#plants[@]} ]
