# The scenarios of the screen and its edges, sourced by e2e_scenarios.bash
# (which holds their helpers and runs them): fill, wayland and edges.

SCALE_CHECK=$(dirname "$E2E_BIN")/scale_check

# sharp_fill NAME WxH+X+Y: the screen shows the F10 picture filled sharp into
# the 4:3 box of that area (tests/scale_check.cpp).
sharp_fill() {
    local out w h x y
    IFS=x+ read -r w h x y <<<"$2"
    # F10 waits for the first frame: keys sent during the start-up are dropped.
    for _ in $(seq 60); do
        xwd -root -silent | $CONVERT xwd:- -crop "1x1+$((x + w / 2))+$((y + h / 2))" -depth 8 txt:- | grep -q '#000000' ||
            break
        sleep 0.5
    done
    screenshot "$1"
    capture "$1-screen"
    $CONVERT "$E2E_OUT/$1.bmp" -depth 8 "rgb:$E2E_OUT/$1.rgb"
    $CONVERT "$E2E_OUT/$1-screen.png" -depth 8 "rgb:$E2E_OUT/$1-screen.rgb"
    read -r w h < <(identify-im6.q16 -format '%w %h' "$E2E_OUT/$1-screen.png")
    out=$("$SCALE_CHECK" "$E2E_OUT/$1-screen.rgb" "$w" "$h" "$2" fill "$E2E_OUT/$1.rgb") || fail "$1: $out"
    note "$1 ${w}x$h: $out"
}

# Full screen with the default settings on laptop, handheld and desktop
# screens (fractional and whole fill scales), and a window of 1000x700.
scenario_fill() {
    local size
    for size in 1366x768 1280x800 2560x1440 1920x1080; do
        start_x "$size"
        new_folder "full-$size"
        start_game
        sharp_fill "full-$size" "$size+0+0"
        expect_exit "$size"
    done
    new_folder window
    mkdir -p "$E2E_OUT/config/kelvane"
    printf 'fullscreen = no\nwindow_width = 1000\nwindow_height = 700\n' >"$E2E_OUT/config/kelvane/settings"
    start_game
    expect_window 1000x700+460+190 "the window of 1000x700"
    sharp_fill window-1000x700 1000x700+460+190
}

# wl_sharp NAME: the compositor's output, once the game shows, is the
# picture filled sharp into its 4:3 box (read back at its pixels' centres).
wl_sharp() {
    local out
    for _ in $(seq 40); do
        "${WL_USER[@]}" WAYLAND_DISPLAY="$WL_SOCKET" grim "$WL_RUN/$1.png" 2>/dev/null && $CONVERT "$WL_RUN/$1.png" -depth 8 "rgb:$E2E_OUT/$1.rgb" &&
            out=$("$SCALE_CHECK" "$E2E_OUT/$1.rgb" 2560 1600 2560x1600+0+0 fill) && note "$1 2560x1600: $out" && return
        sleep 1
    done
    fail "$1: the compositor does not show the picture filled sharp: $out"
}

# Natively under a headless Wayland compositor of 2560x1600 pixels at scale 2,
# no X server: the picture fills the 4:3 box of the pixels, sharp. Offered an
# X server as well, the game still goes to the compositor.
scenario_wayland() {
    WL_RUN=$E2E_OUT/run
    local home=$E2E_OUT/home socket=
    mkdir -p "$WL_RUN" "$home" && chmod 700 "$WL_RUN"
    [ ${#AS_NOBODY[@]} = 0 ] || chown nobody:nogroup "$WL_RUN" "$home"
    WL_USER=("${AS_NOBODY[@]}" env -i HOME="$home" XDG_RUNTIME_DIR="$WL_RUN" XDG_CONFIG_HOME="$home" PATH=/usr/bin:/bin)
    printf 'output HEADLESS-1 resolution 2560x1600 scale 2\nxwayland disable\n' >"$E2E_OUT/sway.conf"
    "${WL_USER[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$E2E_OUT/sway.conf" >"$E2E_OUT/sway.log" 2>&1 &
    SWAY_PID=$!
    trap 'e2e_cleanup; kill "$SWAY_PID" 2>/dev/null' EXIT
    for _ in $(seq 100); do
        socket=$(cd "$WL_RUN" && ls wayland-? 2>/dev/null | head -1)
        [ -n "$socket" ] && break
        sleep 0.1
    done
    [ -n "$socket" ] || fail "sway did not start: $(tail -3 "$E2E_OUT/sway.log")"
    WL_SOCKET=$socket
    new_folder wayland
    "${WL_USER[@]}" WAYLAND_DISPLAY="$socket" SDL_AUDIODRIVER=dummy "$GAME_DIR/kelvane" >"$E2E_OUT/game.log" 2>&1 &
    GAME_PID=$!
    wl_sharp native
    kill -TERM "$GAME_PID" && wait_game 10
    start_x 1024x768
    "${WL_USER[@]}" DISPLAY="$DISPLAY" WAYLAND_DISPLAY="$socket" SDL_AUDIODRIVER=dummy "$GAME_DIR/kelvane" \
        >"$E2E_OUT/game.log" 2>&1 &
    GAME_PID=$!
    wl_sharp both-offered
    [ -z "$(xdotool search --name '^Kelvane$')" ] || fail "offered both, the game opened a window on X too"
}

# kelvane_no_x ARGS...: the game without a display; its output in no-x.log.
kelvane_no_x() {
    (cd / && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$E2E_OUT/config" "$E2E_BIN" "$@" >"$E2E_OUT/no-x.log" 2>&1)
}

scenario_edges() {
    local wrong shown status want got
    # Mistakes get getopt's line and a pointer to --help; "--" ends the options.
    for wrong in --bogus -x stray --window=3; do
        kelvane_no_x "$wrong"
        status=$? shown=${wrong%=*} && shown=${shown#-} && shown=${shown#-}
        [ $status = 2 ] && sed -n "1{/^kelvane: .*'-*$shown'/!q1};2{/^Try 'kelvane --help' for more information.$/!q1};3q1" \
            "$E2E_OUT/no-x.log" || fail "$wrong: $(cat "$E2E_OUT/no-x.log")"
    done
    # Every bad line of the settings named with its key, value and what is
    # allowed; a key of another version kept quietly.
    mkdir -p "$E2E_OUT/config/kelvane"
    printf 'volume = 11\nnonsense\nfuture = 3\nfullscreen = maybe\nwindow_width = 60\n' >"$E2E_OUT/config/kelvane/settings"
    kelvane_no_x --
    [ $? = 1 ] || fail "-- was not taken as the end of the options"
    want=$(printf '%s\n' "line 1: volume = 11: volume takes 0 to 10" "line 2 is not a setting" \
        "line 4: fullscreen = maybe: fullscreen takes yes or no" "line 5: window_width = 60: window_width takes 120 to 16384 (0: never chosen)" |
        sed "s|^|kelvane: $E2E_OUT/config/kelvane/settings: |; s|\$|: ignored|")
    got=$(grep '^kelvane: ' "$E2E_OUT/no-x.log" | head -4)
    [ "$got" = "$want" ] || fail "the bad settings lines were told as: $got"
    grep -qx "kelvane: cannot open a window: no display (is DISPLAY or WAYLAND_DISPLAY set?)" "$E2E_OUT/no-x.log" ||
        fail "no display, and no word of what to do: $(cat "$E2E_OUT/no-x.log")"
    rm -r "$E2E_OUT/config"

    # A click on the title starts the game; a pointer lying over the game
    # moves no aim when the window switches; the wheel turns a step a notch.
    start_x 1366x768
    new_folder edges
    xdotool mousemove 300 200
    start_game
    xdotool click 1
    sleep 0.5
    xdotool keydown Left sleep 0.3 keyup Left
    screenshot aim-full
    [ "$(count aim-full 232 464 176 8 $WHITE)" = 0 ] || fail "a click on the title started no game"
    key F11
    sleep 1.5
    screenshot aim-window
    key alt+Return
    sleep 1.5
    screenshot aim-back
    [ "$(differ aim-full aim-window 0 0 640 480)$(differ aim-full aim-back 0 0 640 480)" = 00 ] ||
        fail "F11 or Alt+Enter moved the aim of a pointer lying still"
    xdotool click --repeat 3 --delay 100 4
    sleep 0.3
    screenshot wheel-up
    xdotool click --repeat 3 --delay 100 5
    sleep 0.3
    screenshot wheel-down
    [ "$(differ aim-full wheel-up 192 300 256 180)" -gt 0 ] && [ "$(differ aim-full wheel-down 0 0 640 480)" = 0 ] ||
        fail "the wheel does not turn the cannon by steps that add up"
    xdotool mousemove 500 500 sleep 0.1 mousemove 700 550
    sleep 0.3
    screenshot moved
    [ "$(differ wheel-down moved 192 300 256 180)" -gt 0 ] || fail "a mouse really moved does not aim"

    # Muted, a mark stays in the bottom right corner; paused, the volume box
    # keeps clear of "Paused" and says the sound is off.
    key m p
    sleep 0.3
    screenshot muted
    expect_text muted 252 283 $WHITE "Muted (volume 10)"
    [ "$(count muted 240 275 160 4 $NAVY)" = 0 ] || fail "the volume box touches \"Paused\""
    sleep 1.2
    screenshot mark
    [ "$(count mark 620 462 18 16 $WHITE)" -gt 0 ] || fail "no mute mark"
    key p m
    sleep 0.3
    screenshot unmuted
    [ "$(count unmuted 620 462 18 16 $WHITE)" = 0 ] || fail "the mute mark stays after the sound came back"

    # The window's smallest size: told to the window manager, held where
    # there is none, never saved or opened smaller.
    key F11
    sleep 1
    xprop -id "$WINDOW" WM_NORMAL_HINTS | grep -q "minimum size: 320 by 240" || fail "no minimum size in the hints"
    xdotool windowsize "$WINDOW" 60 40
    expect_window 320x240+363+144 "after a 60x40 resize"
    sleep 0.6
    kill -INT "$GAME_PID"
    wait_game 5
    [ "$GAME_STATUS" = 0 ] || fail "SIGINT ended the game with status $GAME_STATUS"
    grep -qx "window_width = 320" "$E2E_OUT/config/kelvane/settings" && grep -qx "window_height = 240" "$E2E_OUT/config/kelvane/settings" ||
        fail "saved: $(grep window_ "$E2E_OUT/config/kelvane/settings")"
    sed -i 's/^window_\(width\|height\) = .*/window_\1 = 120/' "$E2E_OUT/config/kelvane/settings"
    start_game
    expect_window 320x240+523+264 "reopened from a 120x120 setting"

    # SIGTERM in play ends it at once with status 0.
    kill -TERM "$GAME_PID"
    wait_game 2
    [ "$GAME_STATUS" = 0 ] || fail "SIGTERM ended the game with status $GAME_STATUS"

    # Under a window manager the switch never shows its white frame behind
    # the game: the first capture after each F11 is black bars and picture.
    openbox >/dev/null 2>&1 &
    local manager=$! white=
    sleep 1
    GAME_ARGS=--window start_game
    for _ in 1 2 3; do
        key F11 && capture switched && white="$white $(count switched 0 0 1366 768 $WHITE)"
        sleep 0.7
        key F11 && capture switched && white="$white $(count switched 0 0 1366 768 $WHITE)"
        sleep 0.7
    done
    [ "$(echo $white | tr ' ' '\n' | sort -n | tail -1)" -lt 20000 ] || fail "white shown while switching:$white"
    kill -TERM "$GAME_PID" "$manager"
    wait_game 2

    # Nowhere to keep settings is said once; the display killed under the
    # game ends it within a second, nonzero, in one line, the table intact.
    two_scores >"$GAME_DIR/Kelvane.scores"
    start_game HOME= XDG_CONFIG_HOME=
    key m m m
    sleep 0.3
    kill "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    wait_game 1
    [ "$GAME_STATUS" != 0 ] || fail "a lost display ended the game with status 0"
    got=$(cat "$E2E_OUT/game.log")
    [ "$got" = "kelvane: no folder for the settings (neither XDG_CONFIG_HOME nor HOME is set): changes are not saved
kelvane: lost the connection to the display: the game ends" ] || fail "the game said: $got"
    cmp -s <(two_scores) "$GAME_DIR/Kelvane.scores" || fail "the score table changed"
}
