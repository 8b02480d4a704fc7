# A private X desktop for the real-window checks and the CPU measurements:
# sourced, not run. desktop_start starts Xvfb on a display number it picks
# itself (and a window manager when asked); desktop_stop ends exactly those
# processes. The game runs from a folder of its own with its own settings.

DESKTOP_PIDS=()

desktop_fail() {
    echo "desktop: $*" >&2
    exit 1
}

# Under set -e a failing command (an xdotool call the X server refused) would
# end the script without a word: name it and its line.
set -o errtrace
trap 'echo "desktop: line $LINENO: \"$BASH_COMMAND\" failed" >&2' ERR

# wait_until SECONDS COMMAND...: true once COMMAND succeeds, false when the
# deadline passes first. Timed by the clock, not by tries: on a loaded machine
# each try is slow.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    while [ $SECONDS -lt $deadline ]; do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id"; }

# desktop_start [wm]: a 1920 x 1080 screen (DESKTOP_SCREEN=WxH for another) in
# DISPLAY; "wm" adds openbox, which minimising needs. Fails (never skips) when
# either cannot start.
desktop_start() {
    command -v Xvfb > /dev/null || desktop_fail "Xvfb is not installed (bash scripts/setup.sh)"
    command -v xdotool > /dev/null || desktop_fail "xdotool is not installed (bash scripts/setup.sh)"
    DESKTOP_DIR=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 "${DESKTOP_SCREEN:-1920x1080}x24" -nolisten tcp 3> "$DESKTOP_DIR/display" \
        2> "$DESKTOP_DIR/xvfb.log" &
    DESKTOP_PIDS+=($!)
    XVFB_PID=$!
    wait_until 30 test -s "$DESKTOP_DIR/display" || desktop_fail "Xvfb did not start: $(cat "$DESKTOP_DIR/xvfb.log")"
    export DISPLAY=":$(cat "$DESKTOP_DIR/display")"
    if [ "${1:-}" = wm ]; then
        command -v openbox > /dev/null || desktop_fail "openbox is not installed (bash scripts/setup.sh)"
        openbox > "$DESKTOP_DIR/openbox.log" 2>&1 &
        DESKTOP_PIDS+=($!)
        wait_until 30 wm_running || desktop_fail "openbox did not start: $(tail -n 5 "$DESKTOP_DIR/openbox.log")"
    fi
}

desktop_stop() {
    local pid
    for pid in "${GAME_PID:-}" "${DESKTOP_PIDS[@]}"; do
        [ -n "$pid" ] && kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null
    done
    DESKTOP_PIDS=()
    GAME_PID=
    unset PULSE_SERVER
    [ -n "${DESKTOP_DIR:-}" ] && rm -rf "$DESKTOP_DIR"
    return 0
}

# game_start BIN WIDTH HEIGHT WINDOWED [MUSIC]: starts BIN (the korvath
# program) in a fresh folder beside DATAS, without music unless MUSIC is 1;
# GAME_PID, GAME_DIR and, once the window is up, GAME_WINDOW are set.
game_start() {
    local bin=$1 data
    data="$(cd "$(dirname "$bin")/.." && pwd)/DATAS"
    [ -d "$data" ] || desktop_fail "no DATAS beside $bin"
    GAME_DIR="$DESKTOP_DIR/game"
    rm -rf "$GAME_DIR"
    mkdir -p "$GAME_DIR"
    ln -s "$data" "$GAME_DIR/DATAS"
    printf 'WIDTH %s\nHEIGHT %s\nSHADOW 128\nTEXTURES 256\nHARDWARE 1\nMUSIC %s\nWINDOWED %s\n' \
        "$2" "$3" "${5:-0}" "$4" > "$GAME_DIR/SETTINGS.TXT"
    (cd "$GAME_DIR" && exec "$bin" > "$GAME_DIR/out.log" 2>&1) &
    GAME_PID=$!
    GAME_WINDOW=
    wait_until 30 game_window_shown || desktop_fail "no game window after 30 s"
    # Keys go to the focused window: on a busy machine the window manager can
    # hand the focus over after the window shows, and a key sent before is lost.
    if wm_running; then
        wait_until 30 game_window_focused || desktop_fail "the game window never got the focus"
    fi
}

game_window_focused() { [ "$(xdotool getwindowfocus 2> /dev/null)" = "$GAME_WINDOW" ]; }

# Sets GAME_WINDOW once the game's window is on screen; only the visible one
# counts, as SDL may replace the window it made first.
game_window_shown() {
    kill -0 "$GAME_PID" 2> /dev/null || desktop_fail "the game ended at start: $(cat "$GAME_DIR/out.log")"
    GAME_WINDOW=$(xdotool search --onlyvisible --name '^Korvath$' 2> /dev/null | head -1 || true)
    [ -n "$GAME_WINDOW" ]
}

# sound_start: a PulseAudio server of our own with one null sink (no sound
# card needed), in a private runtime folder that the game's PULSE_SERVER
# points at; SOUND_PID is set and desktop_stop ends it.
sound_start() {
    command -v pulseaudio > /dev/null || desktop_fail "pulseaudio is not installed (bash scripts/setup.sh)"
    local runtime="$DESKTOP_DIR/pulse"
    mkdir -p "$runtime"
    HOME="$runtime" XDG_RUNTIME_DIR="$runtime" pulseaudio -n --daemonize=no \
        --exit-idle-time=-1 --use-pid-file=no -L module-null-sink \
        -L "module-native-protocol-unix socket=$runtime/native" > "$runtime/log" 2>&1 &
    DESKTOP_PIDS+=($!)
    SOUND_PID=$!
    export PULSE_SERVER="unix:$runtime/native"
    wait_until 30 test -S "$runtime/native" || desktop_fail "pulseaudio did not start: $(cat "$runtime/log")"
}

# The game's CPU time so far, in clock ticks (all its threads).
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$1/stat"
}
