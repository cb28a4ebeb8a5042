# Full screen and the window: F11 and Alt+Enter switch between them (and
# Alt+Enter starts no game), the window opens at the largest whole multiple
# of the picture, every screen pixel is the F10 picture's in whole k x k
# blocks on 1920x1080 and 1366x768 screens, the keypad's arrows turn the
# cannon, and the command line answers --help, --version and mistakes.
. "$(dirname "$0")/e2e_lib.bash"

"$E2E_BIN" --help | grep -q -- "--window" || fail "--help does not show the options"
"$E2E_BIN" --version | grep -qx "Kelvane [0-9.]*" || fail "--version does not say the version"
for wrong in --bogus stray; do
    "$E2E_BIN" $wrong 2>&1 >"$E2E_OUT/wrong.out" | sed -n "1{/^kelvane: .* '$wrong'$/!q1};2{/^Usage: /!q1}" ||
        fail "$wrong: no one-line complaint and usage on standard error"
    [ "${PIPESTATUS[0]}" = 2 ] && [ ! -s "$E2E_OUT/wrong.out" ] || fail "$wrong: status ${PIPESTATUS[0]}"
done

# start_x_at WxH: the usual private X server, at another size.
start_x_at() {
    [ -z "$XVFB_PID" ] || { kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; }
    : >"$E2E_OUT/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$E2E_OUT/display" 2>"$E2E_OUT/xvfb.log" &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$E2E_OUT/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -1 "$E2E_OUT/display")
}

# play ARGS...: the game with a settings folder of its own; WINDOW is its window.
play() {
    (cd / && exec env SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$E2E_OUT/config" "$GAME_DIR/kelvane" "$@" >"$E2E_OUT/game.log" 2>&1) &
    GAME_PID=$!
    WINDOW=$(timeout 30 xdotool search --sync --name '^Kelvane$' | head -1)
    xdotool windowfocus "$WINDOW" 2>/dev/null || fail "the game window did not appear"
    sleep 1
}

# expect_window WxH+X+Y WHEN: the window's place, given a few seconds to get there.
expect_window() {
    for _ in $(seq 30); do
        got=$(xwininfo -id "$WINDOW" | awk '/upper-left X/ {x = $NF} /upper-left Y/ {y = $NF} /Width/ {w = $NF}
            /Height/ {h = $NF} END { print w "x" h "+" x "+" y }')
        [ "$got" = "$1" ] && sleep 0.3 && return
        sleep 0.1
    done
    fail "$2: the window is $got, not $1"
}

# whole_pixels NAME WxH K: the screen is the F10 picture, each pixel a K x K
# block, centred between black bars.
whole_pixels() {
    screenshot "$1"
    capture "$1-screen"
    $CONVERT "$E2E_OUT/$1.bmp" -sample "$(($3 * 100))%" -background black -gravity center -extent "$2" "$E2E_OUT/$1-expected.png"
    wrong=$(compare-im6.q16 -metric AE "$E2E_OUT/$1-expected.png" "$E2E_OUT/$1-screen.png" null: 2>&1)
    [ "$wrong" = 0 ] || fail "$1: $wrong screen pixels are not the picture's in whole ${3}x$3 blocks"
}

start_x_at 1920x1080
new_folder big
play
expect_window 1920x1080+0+0 "full screen at the start"
whole_pixels full-1080 1920x1080 2
key F11
expect_window 1280x960+320+60 "after F11"
whole_pixels window-1080 1920x1080 2
grep -qx "fullscreen = no" "$E2E_OUT/config/kelvane/settings" || fail "the window mode was not kept"
key alt+Return
expect_window 1920x1080+0+0 "after Alt+Enter"
screenshot after-alt-enter
[ "$(differ full-1080 after-alt-enter 0 0 640 480)" = 0 ] || fail "Alt+Enter changed the game (started it?)"
xdotool keydown KP_Left && sleep 1 && xdotool keyup KP_Left
screenshot keypad-left
[ "$(differ full-1080 keypad-left 250 380 140 100)" -gt 0 ] || fail "the keypad's Left did not turn the cannon"
key Escape
wait_game 10

start_x_at 1366x768
new_folder small
play --window
expect_window 640x480+363+144 "--window on 1366x768"
whole_pixels window-768 1366x768 1
key F11
expect_window 1366x768+0+0 "after F11"
whole_pixels full-768 1366x768 1
note "passed"
