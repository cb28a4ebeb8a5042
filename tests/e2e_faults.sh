# The game where things are missing: no display at all (it ends with its
# start-up message and status 1), no sound device (it plays on silent), a
# pipe in place of the score file (it starts with an empty table), and a
# folder where nothing can be written, run as a user without rights there (it
# plays a whole game, takes the name and shows the new table, saves nothing
# and ends with status 0).
. "$(dirname "$0")/e2e_lib.bash"
E2E_OUT=$(readlink -f "$E2E_OUT")

# no_display NAME VAR=value...: the game started with that environment must
# end by itself with status 1 and one of the start-up messages.
no_display() {
    local name=$1
    shift
    new_folder "$name"
    (cd / && exec env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy "$@" "$GAME_DIR/kelvane" \
        >"$E2E_OUT/$name.log" 2>&1) &
    GAME_PID=$!
    wait_game 30
    [ "$GAME_STATUS" -eq 1 ] || fail "$name: status $GAME_STATUS, not 1: $(head -5 "$E2E_OUT/$name.log")"
    grep -qxE "Failed to create window|Failed to init DirectDraw" "$E2E_OUT/$name.log" ||
        fail "$name: no start-up message: $(head -5 "$E2E_OUT/$name.log")"
    [ "$(ls "$GAME_DIR")" = kelvane ] || fail "$name: the program wrote into its folder: $(ls "$GAME_DIR")"
    note "$name: '$(grep -m1 Failed "$E2E_OUT/$name.log")', status 1"
}

no_display no-display
no_display no-video-driver SDL_VIDEODRIVER=nonexistent

start_x

# No sound device: the game plays, the screenshot is taken, Esc ends it.
new_folder no-sound
start_game SDL_AUDIODRIVER=nonexistent
key Return
for i in $(seq 6); do
    key space
    sleep 0.3
done
screenshot no-sound
kill -0 "$GAME_PID" 2>/dev/null || fail "no-sound: the game ended"
key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "no-sound: Esc ended the game with status $GAME_STATUS"
note "no-sound: played silent and ended with status 0"

# A pipe where the score file should be: nothing would ever come through it,
# so the game starts with an empty table instead of waiting for it, and
# quitting leaves it alone.
new_folder pipe
mkfifo "$GAME_DIR/Kelvane.scores"
start_game
screenshot pipe
expect_text pipe 204 196 FFFF00 "Rank  Score      Name"
[ "$(count pipe 204 204 436 80 0000FF)" -eq 0 ] || fail "pipe: score lines shown"
key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "pipe: Esc ended the game with status $GAME_STATUS"
[ -p "$GAME_DIR/Kelvane.scores" ] || fail "pipe: the pipe was replaced"
note "pipe: an empty table shown, status 0"

# A folder that its user cannot write to: root's game runs as nobody there;
# anyone else's is simply kept out by the folder's mode. Neither the score
# file nor the screenshot can be written.
new_folder read-only
{
    padded_line "1     5000       Ida"
    padded_line "2     300        Bo"
    for i in 3 4 5 6 7 8 9 10; do padded_line "$i"; done
} >"$GAME_DIR/Kelvane.scores"
cp "$GAME_DIR/Kelvane.scores" "$E2E_OUT/read-only.scores"
chmod 444 "$GAME_DIR/Kelvane.scores"
chmod 555 "$GAME_DIR"
AS_USER=()
if [ "$(id -u)" -eq 0 ]; then
    AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
start_game "${AS_USER[@]}"
trap 'chmod 755 "$E2E_OUT/read-only" 2>/dev/null; e2e_cleanup' EXIT
key Return
sleep 0.5

# Fires with a little turning now and then until the name entry shows: its
# navy box, 13 characters wide, on one of the table's lines.
ENTRY_ROW=
started=$SECONDS shots=0
while [ -z "$ENTRY_ROW" ]; do
    [ $((SECONDS - started)) -lt 400 ] || fail "read-only: no name entry after $shots shots"
    kill -0 "$GAME_PID" 2>/dev/null || fail "read-only: the game ended"
    capture frame
    for row in 0 1 2 3 4 5 6 7 8 9; do
        if [ "$(pixel frame 443 $((204 + 8 * row + 7)))" = 000080 ]; then
            ENTRY_ROW=$row
            break
        fi
    done
    [ -n "$ENTRY_ROW" ] && break
    case $((shots % 6)) in
        2) xdotool keydown Left sleep 0.15 keyup Left ;;
        5) xdotool keydown Right sleep 0.15 keyup Right ;;
    esac
    key space
    shots=$((shots + 1))
    sleep 0.3
done
score=$(text frame 4 36 9 FFFFFF | tr -d ' ')
# A shot fired as the entry opened is typed into it as a space: take back
# whatever is there, then type the name.
key BackSpace BackSpace BackSpace
xdotool type --delay 120 "Ro"
key Return
sleep 1
# Back on the attract screen F10 cannot write its picture here either.
key F10
sleep 0.5
capture after
kill -0 "$GAME_PID" 2>/dev/null || fail "read-only: the game ended after the name entry"
# The table in memory is right even though it could not be saved.
expect_text after 204 $((204 + 8 * ENTRY_ROW)) FFFFFF "$(printf '%-2d    %-9d  %s' $((ENTRY_ROW + 1)) "$score" Ro)"
key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "read-only: Esc ended the game with status $GAME_STATUS"
cmp -s "$E2E_OUT/read-only.scores" "$GAME_DIR/Kelvane.scores" || fail "read-only: the score file changed"
[ "$(ls "$GAME_DIR" | tr '\n' ' ')" = "Kelvane.scores kelvane " ] ||
    fail "read-only: the folder holds: $(ls "$GAME_DIR")"
chmod 755 "$GAME_DIR"
note "read-only: a game over after $shots shots (score $score, line $((ENTRY_ROW + 1))) shown but not saved, status 0"
