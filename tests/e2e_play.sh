# Enter starts a game at level 1 with score 0 and two credits; Space fires
# and the ball settles into the board; F10 replaces the screenshot; Esc
# quits in the middle of a game with status 0 and records no score.
. "$(dirname "$0")/e2e_lib.bash"

start_x
new_folder play
start_game
screenshot attract

key Return
sleep 0.5
screenshot play
keep play
expect_text play 4 12 FFFFFF "1 "
expect_text play 4 36 FFFFFF "0        "
expect_text play 4 60 FFFFFF "2 "
[ "$(count play 232 464 176 8 FFFFFF)" -eq 0 ] || fail "the start prompt is still shown in a game"
[ "$(count play 0 0 640 52 FFFF00)" -eq 0 ] || fail "the title is still shown in a game"
[ "$(count play 204 196 436 8 FFFF00)" -eq 0 ] || fail "the score table is still shown in a game"
# The ball on the cannon covers the cannon's hub.
[ "$(pixel play 320 407)" != "$(pixel attract 320 407)" ] || fail "no ball on the cannon"

# Fire straight up: the ball leaves the cannon, flies and settles.
key space
sleep 0.15
capture flight
sleep 2
screenshot settled
keep settled
field_changes=$(differ play settled 192 55 256 290)
[ "$field_changes" -ge 300 ] || fail "no ball settled into the board ($field_changes pixels changed)"
[ "$(pixel settled 320 407)" != "$(pixel attract 320 407)" ] || fail "no new ball on the cannon"
expect_text settled 4 60 FFFFFF "2 "

# F10 replaces an earlier screenshot; nothing moves any more.
echo "not a picture" >"$GAME_DIR/Saved-Screen-0.bmp"
key F10
for i in $(seq 50); do
    [ "$(stat -c %s "$GAME_DIR/Saved-Screen-0.bmp")" -eq 1228854 ] && break
    sleep 0.1
done
sleep 0.2
[ "$(stat -c %s "$GAME_DIR/Saved-Screen-0.bmp")" -eq 1228854 ] || fail "F10 did not replace the screenshot"
cp "$GAME_DIR/Saved-Screen-0.bmp" "$E2E_OUT/replaced.bmp"
still=$(differ settled replaced 192 55 256 330)
[ "$still" -eq 0 ] || fail "the field still changes after the ball settled ($still pixels)"

key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "Esc during a game ended it with status $GAME_STATUS"
[ ! -e "$GAME_DIR/Kelvane.scores" ] || fail "quitting in the middle of a game wrote the score file"
note "a game starts, a shot settles, F10 replaces the screenshot, Esc exits 0"
