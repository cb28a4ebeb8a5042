# The shot is heard: with SDL's disk audio driver the mixed output goes to a
# file (22050 Hz, 16-bit stereo, paced in real time). The attract screen and
# the start of a game are silent; Space plays the shot at once, well before
# the ball can reach the board.
. "$(dirname "$0")/e2e_lib.bash"

BYTES_PER_SECOND=$((22050 * 2 * 2))
audio=$E2E_OUT/audio.raw

start_x
new_folder sound
start_game SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
key Return
sleep 1
[ -s "$audio" ] || fail "no audio output was written (no sound device opened?)"
before=$(stat -c %s "$audio")
key space
sleep 1.5
key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "Esc ended the game with status $GAME_STATUS"

[ "$(head -c "$before" "$audio" | tr -d '\0' | wc -c)" -eq 0 ] || fail "sound before the shot"
first=$(tail -c +$((before + 1)) "$audio" | od -An -v -tu1 -w1 | awk '$1 != 0 { print NR - 1; exit }')
[ -n "$first" ] || fail "the shot was not heard"
[ "$first" -lt $((BYTES_PER_SECOND * 3 / 10)) ] ||
    fail "the first sound came $((first * 1000 / BYTES_PER_SECOND)) ms after Space: not the shot"
note "the shot sounds $((first * 1000 / BYTES_PER_SECOND)) ms after Space"
