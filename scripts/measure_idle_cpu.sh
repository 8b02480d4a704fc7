#!/usr/bin/env bash
# Measures the game's CPU use with nothing happening, under Xvfb (software GL):
# on the board in an 800 x 600 window, full screen, and minimised, then on the
# board and minimised again with the music playing into a PulseAudio null sink
# (on the board both while round 1 is synthesized and, two minutes on, while it
# is replayed); then the camera circling after a finished game at 1024 x 768, full screen on
# a 1920 x 1080 screen (scaled), on a 1024 x 768 screen (unscaled) and in a window.
# Not a test: it prints the figures, for comparing builds on a quiet machine
# (on a busy one the circling camera drops frames and seems to cost less).
#   bash scripts/measure_idle_cpu.sh [KORVATH_BINARY] [SECONDS] [CASES]
# CASES, a grep pattern, picks cases by label ("music", "circling").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(realpath "${1:-$root/build/bin/korvath}")"
seconds=${2:-10}
cases=${3:-}
. "$root/scripts/desktop_session.sh"
trap desktop_stop EXIT
hz=$(getconf CLK_TCK)

# measure LABEL GAME_PID X_PID [SOUND_PID]: percent of one core used by each
# process over $seconds.
measure() {
    local label=$1 pid before=() after=() sound=""
    shift
    for pid in "$@"; do before+=("$(cpu_ticks "$pid")"); done
    sleep "$seconds"
    for pid in "$@"; do after+=("$(cpu_ticks "$pid")"); done
    [ $# -gt 2 ] && sound=$((after[2] - before[2]))
    awk -v label="$label" -v hz="$hz" -v s="$seconds" -v g=$((after[0] - before[0])) \
        -v x=$((after[1] - before[1])) -v a="$sound" \
        'BEGIN { printf "%-24s game %5.1f%%   X server %5.1f%%", label, g * 100 / (hz * s), x * 100 / (hz * s)
                 if (a != "") printf "   sound server %5.1f%%", a * 100 / (hz * s)
                 printf "\n" }'
}

run_case() {
    local label=$1 windowed=$2 minimise=$3 music=${4:-0} size=${5:-800 600} settle=${6:-6}
    grep -q -e "$cases" <<< "$label" || return 0
    desktop_start wm
    [ "$music" = 1 ] && sound_start
    game_start "$bin" ${size% *} ${size#* } "$windowed" "$music"
    sleep "$settle" # start-up and both intros (6 s): the board is up and still
    xdotool mousemove 5 5
    if [ "$minimise" = 1 ]; then
        xdotool windowminimize "$GAME_WINDOW"
        sleep 1
    fi
    if [ "$music" = 1 ]; then
        measure "$label" "$GAME_PID" "$XVFB_PID" "$SOUND_PID"
    else
        measure "$label" "$GAME_PID" "$XVFB_PID"
    fi
    desktop_stop
}

echo "$bin, ${seconds} s each"
run_case "board, 800x600 window" 1 0
run_case "board, full screen" 0 0
run_case "minimised window" 1 1
run_case "board, music" 1 0 1
# The tune's first round lasts two minutes; later rounds are replayed from memory.
run_case "board, music replayed" 1 0 1 "800 600" 130
run_case "minimised, music" 1 1 1

# The computer cannot move in the first position: the game is over at once and
# the camera circles, redrawing every frame.
export KORVATH_TEST_POSITION="0 0.0$(printf ',x%.0s' {1..11}) 1.1,2.2$(printf ',x%.0s' {1..10})"
run_case "circling, full screen" 0 0 0 "1024 768"
DESKTOP_SCREEN=1024x768 run_case "circling, 1024 screen" 0 0 0 "1024 768"
run_case "circling, 1024 window" 1 0 0 "1024 768"
