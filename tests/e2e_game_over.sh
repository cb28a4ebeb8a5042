# A whole game played to its end by firing until the third lost ball: the
# name entry appears on the first line, the typed name and Enter write a
# 1280-byte score file whose first line is exactly as designed, and the
# attract screen shows that line in white. A second game ends with the window
# closed in the middle of the name entry: the score is kept all the same.
. "$(dirname "$0")/e2e_lib.bash"

ENTRY_ROW=   # score-table line (0..9) the name entry is on
FINAL_SCORE=

# The entry box is navy and 13 characters wide; its right end never holds
# the cursor or text.
find_entry() {
    local row
    for row in 0 1 2 3 4 5 6 7 8 9; do
        if [ "$(pixel frame 443 $((204 + 8 * row + 7)))" = 000080 ]; then
            ENTRY_ROW=$row
            return 0
        fi
    done
    return 1
}

# play_to_entry PREFIX: fires whenever a ball sits on the cannon, turning a
# little between shots, until the name entry shows. Keeps a picture of a pop
# (the moments after the shot that raised the score) and of the lose effect (a frame
# before the credits went down) under PREFIX.
play_to_entry() {
    local prefix=$1 hub shots=0 frames=0 score=0 credits=2 last_score last_credits
    hub=$(pixel attract 320 407)
    local started=$SECONDS
    while [ $((SECONDS - started)) -lt 300 ]; do
        [ -f "$E2E_OUT/frame.png" ] && cp "$E2E_OUT/frame.png" "$E2E_OUT/frame-$((frames % 8)).png"
        xwd -root -silent | $CONVERT xwd:- "$E2E_OUT/frame.png"
        frames=$((frames + 1))
        if find_entry; then
            cp "$E2E_OUT/frame.png" "$E2E_SHOTS/$E2E_NAME-$prefix-name-entry.png"
            note "$prefix: name entry on line $ENTRY_ROW after $shots shots, score $score"
            return 0
        fi
        last_score=$score
        last_credits=$credits
        score=$(text frame 4 36 9 FFFFFF | tr -d ' ')
        credits=$(text frame 4 60 2 FFFFFF | tr -d ' ')
        if [ -n "$score" ] && [ -n "$last_score" ] && [ "$score" -gt "$last_score" ] &&
            [ ! -f "$E2E_SHOTS/$E2E_NAME-$prefix-pop-0.png" ]; then
            for i in $(seq 0 15); do
                $CONVERT xwd:"$E2E_OUT/shot-$i.xwd" "$E2E_SHOTS/$E2E_NAME-$prefix-pop-$i.png"
            done
        fi
        if [ -n "$credits" ] && [ "$credits" -lt "$last_credits" ] &&
            [ ! -f "$E2E_SHOTS/$E2E_NAME-$prefix-loss.png" ]; then
            cp "$E2E_OUT/frame-$(((frames - 3) % 8)).png" "$E2E_SHOTS/$E2E_NAME-$prefix-loss.png"
        fi
        if [ "$(pixel frame 320 407)" != "$hub" ]; then
            case $((shots % 4)) in
                1) xdotool keydown Left; sleep 0.2; xdotool keyup Left ;;
                3) xdotool keydown Right; sleep 0.2; xdotool keyup Right ;;
            esac
            key space
            shots=$((shots + 1))
            # The shot's first moments, kept as pictures of a pop if the
            # score goes up.
            if [ ! -f "$E2E_SHOTS/$E2E_NAME-$prefix-pop-0.png" ]; then
                for i in $(seq 0 15); do
                    xwd -root -silent -out "$E2E_OUT/shot-$i.xwd"
                    sleep 0.04
                done
            fi
            [ "$shots" -eq 3 ] && capture "$prefix-play"
        fi
        sleep 0.2
    done
    fail "$prefix: no name entry within 300 s ($shots shots, score $score, credits $credits)"
}

start_x
new_folder game-over
start_game
screenshot attract
key Return
sleep 0.5

play_to_entry first
# The cursor blinks: lit for half of each 500 ms, box-coloured otherwise.
lit=0 unlit=0
for i in $(seq 12); do
    capture cursor
    case $(pixel cursor 340 $((204 + 8 * ENTRY_ROW))) in
        FFFFFF) lit=$((lit + 1)) ;;
        000080) unlit=$((unlit + 1)) ;;
    esac
    sleep 0.07
done
[ "$lit" -gt 0 ] && [ "$unlit" -gt 0 ] || fail "the cursor does not blink ($lit lit, $unlit unlit)"
[ "$ENTRY_ROW" -eq 0 ] || fail "the first score went to line $ENTRY_ROW"
FINAL_SCORE=$(text frame 4 36 9 FFFFFF | tr -d ' ')
xdotool type --delay 120 "Eve"
sleep 0.5
capture typed
expect_text typed 340 204 FFFFFF "Eve"
key Return
sleep 1
screenshot final
keep final

# The file: 1280 bytes, line 0 as designed, the others only numbered.
file=$GAME_DIR/Kelvane.scores
[ "$(stat -c %s "$file")" -eq 1280 ] || fail "the score file has $(stat -c %s "$file") bytes"
expected=$(printf '%-2d    %-9d  %s' 1 "$FINAL_SCORE" Eve)
cmp -s <(head -c 128 "$file") <(padded_line "$expected") ||
    fail "line 0 of the file is '$(head -c 127 "$file")', not '$expected'"
cmp -s <(tail -c 128 "$file") <(padded_line "10") || fail "line 9 of the file is not just its rank"
# Shown in white on the attract screen, the other lines in blue.
expect_text final 204 204 FFFFFF "$expected"
expect_text final 204 212 0000FF "2 "
expect_text final 232 464 FFFFFF "Press [Enter] to Start"
cp "$file" "$E2E_OUT/after-first-game.scores"

# Second game in the same folder; the window is closed (SIGTERM, as the
# window manager's close does) while the name is typed.
key Return
sleep 0.5
play_to_entry second
SECOND_SCORE=$(text frame 4 36 9 FFFFFF | tr -d ' ')
xdotool type --delay 120 "Q"
sleep 0.5
kill -TERM "$GAME_PID"
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "closing the window in the name entry ended with status $GAME_STATUS"
[ "$(stat -c %s "$file")" -eq 1280 ] || fail "the score file has $(stat -c %s "$file") bytes after the close"
line=$(dd if="$file" bs=128 skip="$ENTRY_ROW" count=1 2>/dev/null | head -c 127)
second=$(printf '%-2d    %-9d  %s' $((ENTRY_ROW + 1)) "$SECOND_SCORE" Q)
[ "$line" = "$(printf '%-127s' "$second")" ] || fail "after the close line $ENTRY_ROW is '$line', not '$second'"
grep -q "$(printf '%-9d  Eve' "$FINAL_SCORE")" "$file" || fail "the first game's line is gone"
[ ! -e "$GAME_DIR/Kelvane.scores.tmp" ] || fail "a temporary file was left behind"
note "two games played to their end: $FINAL_SCORE (Eve) and $SECOND_SCORE (Q, window closed in the entry)"
