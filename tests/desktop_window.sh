#!/usr/bin/env bash
# The game in a real X window (Xvfb), played with XTest input through xdotool:
#   desktop_window.sh KORVATH clicks    instant clicks select and move; EXIT ends with 0
#   desktop_window.sh KORVATH minimise  minimising freezes the intro, restoring resumes it;
#                                       the picture is whole after minimise/restore; Escape ends with 0
#   desktop_window.sh KORVATH resize    resized and maximised, the window still picks exactly
#   desktop_window.sh KORVATH fullscreen  F11 and Alt+Enter switch full screen both ways, the
#                                       settings keep the choice; the window's class is the menu entry's
#   desktop_window.sh KORVATH leave     the pointer leaving at either edge leaves no arrow behind
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

# The window's size and place on the screen: sets WIN_X WIN_Y WIN_W WIN_H.
window_geometry() {
    local line
    line=$(xwininfo -id "$GAME_WINDOW" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
    read -r WIN_X WIN_Y WIN_W WIN_H <<< "$line"
}

# The window point showing game pixel ($1, $2) of the 640 x 480 game: the
# picture is as large as fits, its shape kept, centred between bars.
to_window() {
    local w h x y
    window_geometry
    if [ $((WIN_W * 480)) -le $((WIN_H * 640)) ]; then
        w=$WIN_W h=$(((2 * WIN_W * 480 + 640) / 1280))
    else
        h=$WIN_H w=$(((2 * WIN_H * 640 + 480) / 960))
    fi
    x=$(((WIN_W - w) / 2 + (2 * $1 + 1) * w / 1280))
    y=$(((WIN_H - h) / 2 + (2 * $2 + 1) * h / 960))
    echo "$x $y"
}

# play_move FROM_X FROM_Y TO_X TO_Y WHAT: selects the man at one game pixel and
# moves it to the square at the other, through the window's scaling; the
# picture must change.
play_move() {
    # shellcheck disable=SC2046
    xdotool mousemove --window "$GAME_WINDOW" $(to_window "$1" "$2")
    wait_still "$GAME_DIR/before.xwd"
    xdotool click 1
    sleep 1
    # shellcheck disable=SC2046
    xdotool mousemove --window "$GAME_WINDOW" $(to_window "$3" "$4") click 1
    sleep 1
    # shellcheck disable=SC2046
    xdotool mousemove --window "$GAME_WINDOW" $(to_window "$1" "$2")
    wait_still "$GAME_DIR/after.xwd"
    cmp -s "$GAME_DIR/before.xwd" "$GAME_DIR/after.xwd" && desktop_fail "$5: the click moved nothing"
    return 0
}

net_state() { xprop -id "$GAME_WINDOW" _NET_WM_STATE; }
is_fullscreen() { net_state | grep -q _NET_WM_STATE_FULLSCREEN; }
is_maximised() { net_state | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
is_plain() { ! net_state | grep -q _NET_WM_STATE_FULLSCREEN; }
size_is() { window_geometry; [ "$WIN_W $WIN_H" = "$1" ]; }

resize() {
    desktop_start wm
    game_start "$bin" 640 480 1
    xdotool windowsize "$GAME_WINDOW" 1000 900
    wait_until 10 size_is "1000 900" || desktop_fail "the window kept its size: $WIN_W x $WIN_H"
    play_move 267 275 232 245 "resized to 1000 x 900 (bars above and below)"
    wmctrl -i -r "$GAME_WINDOW" -b add,maximized_vert,maximized_horz
    wait_until 10 is_maximised || desktop_fail "the window could not be maximised: $(net_state)"
    window_geometry
    [ "$WIN_W" -gt 1000 ] || desktop_fail "maximised, the window is only $WIN_W wide"
    play_move 408 275 442 245 "maximised (bars left and right)"
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

windowed_setting() { grep -q "^WINDOWED $1\$" "$GAME_DIR/SETTINGS.TXT"; }

fullscreen() {
    desktop_start wm
    game_start "$bin" 640 480 1
    local class
    class=$(sed -n 's/^StartupWMClass=//p' "$(dirname "$0")/../dist/org.korvath.Korvath.desktop")
    [ "$class" = org.korvath.Korvath ] || desktop_fail "the menu entry's StartupWMClass is '$class'"
    xprop -id "$GAME_WINDOW" WM_CLASS | grep -qx "WM_CLASS(STRING) = \"$class\", \"$class\"" ||
        desktop_fail "the window's $(xprop -id "$GAME_WINDOW" WM_CLASS), the menu entry's $class"
    local key
    for key in F11 alt+Return; do
        xdotool key "$key"
        wait_until 10 is_fullscreen || desktop_fail "$key did not make the window full screen"
        wait_until 10 windowed_setting 0 || desktop_fail "$key: the settings still ask for a window"
        xdotool key "$key"
        wait_until 10 is_plain || desktop_fail "$key did not make the window a window again"
        wait_until 10 windowed_setting 1 || desktop_fail "$key: the settings still ask for full screen"
    done
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

# The pointer leaves once at the left edge and once at the right: both times the
# window holds the same picture, with no arrow (and no hovered square) left at the edge.
leave() {
    desktop_start wm
    game_start "$bin" 640 480 1
    window_geometry
    local middle=$((WIN_Y + WIN_H / 2))
    xdotool mousemove --window "$GAME_WINDOW" 2 $((WIN_H / 2))
    wait_still "$GAME_DIR/inside.xwd"
    xdotool mousemove $((WIN_X - 40)) "$middle"
    wait_still "$GAME_DIR/left.xwd"
    cmp -s "$GAME_DIR/inside.xwd" "$GAME_DIR/left.xwd" && desktop_fail "no arrow inside the window"
    xdotool mousemove --window "$GAME_WINDOW" $((WIN_W - 3)) $((WIN_H / 2))
    wait_still "$GAME_DIR/inside.xwd"
    xdotool mousemove $((WIN_X + WIN_W + 40)) "$middle"
    wait_still "$GAME_DIR/right.xwd"
    cmp -s "$GAME_DIR/left.xwd" "$GAME_DIR/right.xwd" ||
        desktop_fail "the pictures after leaving at the left and at the right differ: an arrow stayed"
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

"$2"
