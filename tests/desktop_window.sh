#!/usr/bin/env bash
# The game in a real X window (Xvfb), played with XTest input through xdotool:
#   desktop_window.sh KORVATH clicks    instant clicks select and move; EXIT ends with 0
#   desktop_window.sh KORVATH minimise  minimising freezes the intro, restoring resumes it;
#                                       the picture is whole after minimise/restore; Escape ends with 0
#   desktop_window.sh KORVATH resize    resized and maximised, the window still picks exactly
#   desktop_window.sh KORVATH fullscreen  F11 and Alt+Enter switch full screen both ways, the
#                                       settings keep the choice; the window's class is the menu entry's
#   desktop_window.sh KORVATH leave     the window shows the frame exactly; the pointer leaving
#                                       at either edge leaves no arrow behind
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

# Sets X Y WIDTH HEIGHT to the window's place and size on the screen.
geometry() { eval "$(xdotool getwindowgeometry --shell "$GAME_WINDOW")"; }

# The window point showing game pixel ($1, $2) of the 640 x 480 game: the
# picture is as large as fits, its shape kept, centred between bars.
to_window() {
    geometry
    local w=$WIDTH h=$HEIGHT
    if [ $((w * 3)) -le $((h * 4)) ]; then h=$(((6 * w + 4) / 8)); else w=$(((8 * h + 3) / 6)); fi
    echo $(((WIDTH - w) / 2 + (2 * $1 + 1) * w / 1280)) $(((HEIGHT - h) / 2 + (2 * $2 + 1) * h / 960))
}

point_at() { xdotool mousemove --window "$GAME_WINDOW" $(to_window "$1" "$2"); }

# play_move FROM_X FROM_Y TO_X TO_Y WHAT: clicks the man at one game pixel, then
# the square at the other, through the window's scaling: the picture must change.
# Each click presses and releases at once, as a touchpad tap delivers them.
play_move() {
    point_at "$1" "$2"
    wait_still "$GAME_DIR/before.xwd"
    xdotool click 1 sleep 1
    point_at "$3" "$4"
    xdotool click 1 sleep 1
    point_at "$1" "$2"
    wait_still "$GAME_DIR/after.xwd"
    cmp -s "$GAME_DIR/before.xwd" "$GAME_DIR/after.xwd" && desktop_fail "$5: the click moved nothing"
    return 0
}

# A white man of the front row to one of its landing squares, unscaled and with no
# window manager; then EXIT (with nothing selected a click first picks the nearest piece).
clicks() {
    desktop_start
    game_start "$bin" 640 480 1
    play_move 267 275 232 245 "an instant click"
    local i=0
    while kill -0 "$GAME_PID" 2> /dev/null && [ $((i += 1)) -le 15 ]; do
        xdotool mousemove --window "$GAME_WINDOW" 60 160 click 1
        sleep 2
    done
    expect_exit_code_0 "EXIT"
}

has_state() { xprop -id "$GAME_WINDOW" _NET_WM_STATE | grep -q "_NET_WM_STATE_$1"; }
lacks_state() { ! has_state "$1"; }
has_size() { geometry && [ "$WIDTH $HEIGHT" = "$1" ]; }
kept() { grep -q "^WINDOWED $1\$" "$GAME_DIR/SETTINGS.TXT"; }

resize() {
    desktop_start wm
    game_start "$bin" 640 480 1
    xdotool windowsize "$GAME_WINDOW" 1000 900
    wait_until 10 has_size "1000 900" || desktop_fail "the window kept its size"
    play_move 267 275 232 245 "resized to 1000 x 900 (bars above and below)"
    wmctrl -i -r "$GAME_WINDOW" -b add,maximized_vert,maximized_horz
    wait_until 10 has_state MAXIMIZED_HORZ || desktop_fail "the window could not be maximised"
    play_move 408 275 442 245 "maximised (bars left and right)"
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

fullscreen() {
    desktop_start wm
    game_start "$bin" 640 480 1
    local key class
    class=$(sed -n 's/^StartupWMClass=//p' "$(dirname "$0")/../dist/org.korvath.Korvath.desktop")
    [ "$(xprop -id "$GAME_WINDOW" WM_CLASS)" = "WM_CLASS(STRING) = \"$class\", \"$class\"" ] ||
        desktop_fail "the window's $(xprop -id "$GAME_WINDOW" WM_CLASS), the menu entry's '$class'"
    for key in F11 alt+Return; do
        xdotool key "$key"
        wait_until 10 has_state FULLSCREEN || desktop_fail "$key did not make the window full screen"
        wait_until 10 kept 0 || desktop_fail "$key: the settings still ask for a window"
        xdotool key "$key"
        wait_until 10 lacks_state FULLSCREEN || desktop_fail "$key did not give the window back"
        wait_until 10 kept 1 || desktop_fail "$key: the settings still ask for full screen"
    done
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

# The frame korvath-headless draws with the pointer at game pixel (1, 240), into
# $DESKTOP_DIR/headless/board.png.
draw_expected_frame() {
    local dir="$DESKTOP_DIR/headless"
    mkdir -p "$dir"
    ln -s "$(readlink "$GAME_DIR/DATAS")" "$dir/DATAS"
    cp "$GAME_DIR/SETTINGS.TXT" "$dir/"
    printf 'wait 94\nmouse 1 240\nwait 2\nsnap board.png\n' > "$dir/script"
    (cd "$dir" && "$(dirname "$bin")/korvath-headless" script) || desktop_fail "korvath-headless failed"
}

# How many pixels of the capture $1 differ from the expected frame.
differing_pixels() { compare -metric AE "$1" "$DESKTOP_DIR/headless/board.png" null: 2>&1 || :; }

# True once the window shows the expected frame, unscaled, no channel rounded
# otherwise, into $1. Polled rather than caught once still: on a busy machine an
# intro picture can hold still longer than wait_still looks, and the pointer is
# put back in case the window manager moved the window after it was pointed at.
shows_drawn_frame() {
    point_at 1 240
    sleep 0.3
    shot "$1"
    [ "$(differing_pixels "$1")" = 0 ]
}

# Keeps the pictures of a failed comparison beside the test's log, and says how
# far apart they were and where the pointer was.
keep_failed_frame() {
    local kept="$PWD/desktop_window_leave.failed"
    mkdir -p "$kept"
    convert "$1" "$kept/actual.png" 2> /dev/null || :
    cp "$DESKTOP_DIR/headless/board.png" "$kept/expected.png"
    compare "$kept/actual.png" "$kept/expected.png" "$kept/difference.png" 2> /dev/null || :
    geometry
    echo "desktop: $(differing_pixels "$1") pixels differ; window at $X,$Y ${WIDTH}x$HEIGHT," \
        "pointer $(xdotool getmouselocation); pictures in $kept" >&2
}

# The pointer leaves at the left edge, then at the right: both times the window
# holds the same picture, no arrow (and no hovered square) left at the edge.
leave() {
    desktop_start wm
    game_start "$bin" 640 480 1
    geometry
    draw_expected_frame
    if ! wait_until 60 shows_drawn_frame "$GAME_DIR/inside.xwd"; then
        keep_failed_frame "$GAME_DIR/inside.xwd"
        desktop_fail "the window does not show the frame exactly"
    fi
    xdotool mousemove $((X - 40)) $((Y + 240))
    wait_still "$GAME_DIR/left.xwd"
    cmp -s "$GAME_DIR/inside.xwd" "$GAME_DIR/left.xwd" && desktop_fail "no arrow inside the window"
    point_at 638 240
    xdotool mousemove $((X + WIDTH + 40)) $((Y + 240))
    wait_still "$GAME_DIR/right.xwd"
    cmp -s "$GAME_DIR/left.xwd" "$GAME_DIR/right.xwd" || desktop_fail "an arrow stayed at an edge"
    xdotool key Escape
    expect_exit_code_0 "Escape"
}

"$2"
