# Pause and mute. P freezes a ball in flight and the held arrows, with
# "Paused" in the middle of the field, and P again lets play go on. M mutes:
# a shot fired while muted is silent in the disk audio output, one fired
# after M again is heard; - lowers the volume and shows it.
. "$(dirname "$0")/e2e_lib.bash"

audio=$E2E_OUT/audio.raw
size() { stat -c %s "$audio"; }
# silent FROM TO: no sound in those bytes of the output.
silent() { [ "$(tail -c +$(($1 + 1)) "$audio" | head -c $(($2 - $1)) | tr -d '\0' | wc -c)" -eq 0 ]; }

start_x
new_folder controls
start_game SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
key Return
sleep 0.5
key space p
sleep 0.3
screenshot paused
keep paused
expect_text paused 296 263 FFFFFF "Paused"
xdotool keydown Left; sleep 0.5; xdotool keyup Left
sleep 0.5
screenshot still
[ "$(differ paused still 0 0 640 480)" -eq 0 ] || fail "the paused game moved"
key p
sleep 1.5
screenshot going
[ "$(count going 296 263 48 8 FFFFFF)" -lt 20 ] || fail "Paused is still shown"
[ "$(differ paused going 192 55 256 200)" -ge 300 ] || fail "the ball did not fly on after the pause"
xdotool keydown Left; sleep 0.5; xdotool keyup Left
screenshot turned
[ "$(differ going turned 228 315 184 60)" -gt 0 ] || fail "the cannon does not turn after the pause"

key m
sleep 0.3
before=$(size)
key space
sleep 1.5
muted=$(size)
key minus
sleep 0.2
screenshot volume
keep volume
expect_text volume 288 279 FFFFFF "Volume 9"
sleep 1
screenshot later
[ "$(count later 288 279 64 8 FFFFFF)" -lt 20 ] || fail "the volume is shown for more than a second"
heard=$(size)
key space
sleep 1.5
key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "Esc ended the game with status $GAME_STATUS"
[ "$muted" -gt $((before + 100000)) ] || fail "the output stopped while muted"
silent "$before" "$muted" || fail "a shot fired while muted was heard"
silent "$heard" "$(size)" && fail "the shot after unmuting was not heard"
note "P holds the game still and lets it go on; M silences the output, - shows the volume"
