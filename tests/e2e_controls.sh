# P freezes a ball in flight, with "Paused" in the middle of the field, and
# P again lets play go on. M mutes: a shot fired while muted is silent in the
# disk audio output.
. "$(dirname "$0")/e2e_lib.bash"

audio=$E2E_OUT/audio.raw

start_x
new_folder controls
start_game SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
key Return
sleep 0.5
key space p
sleep 0.3
screenshot paused
expect_text paused 296 263 FFFFFF "Paused"
sleep 1
screenshot still
[ "$(differ paused still 0 0 640 480)" -eq 0 ] || fail "the paused game moved"
key p m
sleep 1.5
screenshot going
[ "$(differ paused going 192 55 256 200)" -ge 300 ] || fail "play did not go on after the pause"
muted=$(stat -c %s "$audio")
key space
sleep 1.5
[ "$(tail -c +$((muted + 1)) "$audio" | tr -d '\0' | wc -c)" -eq 0 ] || fail "a shot fired while muted was heard"
[ "$(stat -c %s "$audio")" -gt $((muted + 100000)) ] || fail "the output stopped while muted"
key Escape
wait_game 10
