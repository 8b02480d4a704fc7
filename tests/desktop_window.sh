#!/usr/bin/env bash
# The game in a real X window (Xvfb), played with XTest input through xdotool:
#   desktop_window.sh KORVATH clicks    instant clicks select and move; EXIT ends with 0
#   desktop_window.sh KORVATH minimise  minimising freezes the intro, restoring resumes it;
#                                       the picture is whole after minimise/restore; Escape ends with 0
# A desktop that cannot start fails the test.
set -euo pipefail
bin="$(realpath "$1")"
. "$(dirname "$0")/../scripts/desktop_session.sh"
trap desktop_stop EXIT

# A capture of the game window; empty while the window is not on screen.
shot() { xwd -id "$GAME_WINDOW" -silent > "$1" 2> /dev/null || : > "$1"; }

# Waits until the window's picture holds still (three equal captures), into $1.
wait_still() {
    local deadline=$((SECONDS + 60)) same=0
    shot "$GAME_DIR/prev.xwd"
    while [ $SECONDS -lt $deadline ] && [ $same -lt 2 ]; do
        sleep 0.4
        shot "$1"
        if cmp -s "$GAME_DIR/prev.xwd" "$1"; then same=$((same + 1)); else same=0; fi
        cp "$1" "$GAME_DIR/prev.xwd"
    done
    [ $same -ge 2 ] || desktop_fail "the picture never held still"
}

expect_exit_code_0() {
    local deadline=$((SECONDS + 30)) code=0
    while kill -0 "$GAME_PID" 2> /dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    kill -0 "$GAME_PID" 2> /dev/null && desktop_fail "$1 did not end the game"
    wait "$GAME_PID" || code=$?
    GAME_PID=
    [ "$code" -eq 0 ] || desktop_fail "$1 ended the game with code $code: $(cat "$GAME_DIR/out.log")"
}

# Press and release at once, as a touchpad tap delivers them.
click_at() { xdotool mousemove --window "$GAME_WINDOW" "$1" "$2" click 1; }

clicks() {
    desktop_start
    game_start "$bin" 640 480 1
    xdotool mousemove --window "$GAME_WINDOW" 267 275 # a white man of the front row
    wait_still "$GAME_DIR/board.xwd"
    click_at 267 275
    sleep 1
    click_at 232 245 # one of its landing squares
    sleep 1
    xdotool mousemove --window "$GAME_WINDOW" 267 275
    wait_still "$GAME_DIR/after.xwd" # both moves played, the cursor where it was
    cmp -s "$GAME_DIR/board.xwd" "$GAME_DIR/after.xwd" && desktop_fail "an instant click moved nothing"
    # EXIT; with nothing selected a click first picks the nearest piece.
    local i=0
    while kill -0 "$GAME_PID" 2> /dev/null && [ $((i += 1)) -le 15 ]; do
        click_at 60 160
        sleep 2
    done
    expect_exit_code_0 "EXIT"
}

# True when the capture $1 is not black.
is_lit() { [ -s "$1" ] && [ "$(convert "$1" -format '%[fx:mean > 0.04]' info:)" = 1 ]; }

minimise() {
    desktop_start wm
    game_start "$bin" 640 480 1
    sleep 0.4
    xdotool windowminimize "$GAME_WINDOW"
    sleep 3
    xdotool windowactivate "$GAME_WINDOW"
    # The first lit picture after restoring, however long the window takes to come back.
    local i deadline=$((SECONDS + 20))
    while [ $SECONDS -lt $deadline ]; do
        shot "$GAME_DIR/restored.xwd"
        is_lit "$GAME_DIR/restored.xwd" && break
        sleep 0.05
    done
    wait_still "$GAME_DIR/board.xwd"
    # An intro picture: lit, and not the board.
    is_lit "$GAME_DIR/restored.xwd" && ! cmp -s "$GAME_DIR/restored.xwd" "$GAME_DIR/board.xwd" ||
        desktop_fail "the intro did not wait for the window: only the board after restoring"
    for i in 1 2 3; do
        xdotool windowminimize "$GAME_WINDOW"
        sleep 0.5
        xdotool windowactivate "$GAME_WINDOW"
        sleep 0.5
    done
    wait_still "$GAME_DIR/again.xwd"
    cmp -s "$GAME_DIR/board.xwd" "$GAME_DIR/again.xwd" ||
        desktop_fail "the picture is not whole after minimising and restoring"
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

"$2"
