#!/usr/bin/env bash
# Measures the game's CPU use with nothing happening, under Xvfb (software GL):
# on the board in an 800 x 600 window, full screen, and minimised. Not a test:
# it prints the figures, for comparing builds.
#   bash scripts/measure_idle_cpu.sh [KORVATH_BINARY] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(realpath "${1:-$root/build/bin/korvath}")"
seconds=${2:-10}
. "$root/scripts/desktop_session.sh"
trap desktop_stop EXIT
hz=$(getconf CLK_TCK)

# measure LABEL PID...: percent of one core used by each process over $seconds.
measure() {
    local label=$1 pid before=() after=() i
    shift
    for pid in "$@"; do before+=("$(cpu_ticks "$pid")"); done
    sleep "$seconds"
    for pid in "$@"; do after+=("$(cpu_ticks "$pid")"); done
    awk -v label="$label" -v hz="$hz" -v s="$seconds" -v g=$((after[0] - before[0])) \
        -v x=$((after[1] - before[1])) \
        'BEGIN { printf "%-24s game %5.1f%%   X server %5.1f%%\n", label, g * 100 / (hz * s), x * 100 / (hz * s) }'
}

run_case() {
    local label=$1 windowed=$2 minimise=$3
    desktop_start wm
    game_start "$bin" 800 600 "$windowed"
    sleep 6 # start-up and both intros: the board is up and still
    xdotool mousemove 5 5
    if [ "$minimise" = 1 ]; then
        xdotool windowminimize "$GAME_WINDOW"
        sleep 1
    fi
    measure "$label" "$GAME_PID" "$XVFB_PID"
    desktop_stop
}

echo "$bin, ${seconds} s each"
run_case "board, 800x600 window" 1 0
run_case "board, full screen" 0 0
run_case "minimised window" 1 1
