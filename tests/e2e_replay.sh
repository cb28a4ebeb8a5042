# Recorded games end to end: a short game played with the keys and the mouse
# and left with Esc is checked (--check-replay says the score the game
# showed) and watched (--replay ends on the game's last picture); damaged
# files are refused in one line; a game played into the table is watched
# with its digit on the title screen, which comes back.
. "$(dirname "$0")/e2e_lib.bash"

WHITE=FFFFFF

# until_shown X Y TEXT: within 20 s the screen shows that white text.
until_shown() {
    for _ in $(seq 40); do
        capture seen
        [ "$(text seen "$1" "$2" "${#3}" $WHITE)" = "$3" ] && return
        sleep 0.5
    done
    fail "'$3' never showed at ($1, $2): '$(text seen "$1" "$2" "${#3}" $WHITE)'"
}

# same_outside_overlay A B: the pictures agree but for the replay's box.
same_outside_overlay() {
    local changed
    changed=$(($(differ "$1" "$2" 0 16 640 464) + $(differ "$1" "$2" 0 0 500 16)))
    [ "$changed" -eq 0 ] || fail "$2 differs from $1 in $changed pixels"
}

# refused NAME: --check-replay answers the file in one line, status 2.
refused() {
    local status
    "$E2E_BIN" --check-replay "$E2E_OUT/$1.kvr" >"$E2E_OUT/$1.out" 2>"$E2E_OUT/$1.err"
    status=$?
    [ $status -eq 2 ] && [ ! -s "$E2E_OUT/$1.out" ] && [ "$(wc -l <"$E2E_OUT/$1.err")" -eq 1 ] ||
        fail "$1: status $status, said: $(cat "$E2E_OUT/$1.out" "$E2E_OUT/$1.err")"
    note "$1: $(cat "$E2E_OUT/$1.err")"
}

start_x
new_folder played
start_game
key Return
sleep 0.5
xdotool mousemove --window "$WINDOW" 120 220 sleep 0.3 mousemove --window "$WINDOW" 160 120 sleep 0.3 click 1
sleep 1.5
key Left Left space
sleep 1.5
key Right Right Right Up space
sleep 1.5
for x in 500 420 260 330; do
    xdotool mousemove --window "$WINDOW" $x 150 sleep 0.2 click 1 sleep 1.2
done
sleep 1
screenshot played
score=$(text played 4 36 9 $WHITE | tr -d ' ')
key Escape
wait_game 10
last=$GAME_DIR/replays/last.kvr
out=$("$E2E_BIN" --check-replay "$last") || fail "--check-replay: status $?: $out"
[[ $out =~ ^score\ $score,\ level\ 1,\ frames\ [0-9]+$ ]] || fail "--check-replay says '$out', the game showed $score"
note "$(stat -c %s "$last") bytes: $out"

# Watched from another folder, paused at once and sped up to 4x: the same
# last picture, then Esc ends it.
GAME_ARGS="--replay $last" start_game
key space
until_shown 492 4 "Replay 1x - paused"
key Right Right
until_shown 492 4 "Replay 4x - paused"
key p
until_shown 516 4 "Replay 4x - end"
screenshot watched
same_outside_overlay played watched
key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "Esc ended the replay with status $GAME_STATUS"
[ "$(ls "$GAME_DIR/replays")" = last.kvr ] && [ ! -e "$GAME_DIR/Kelvane.scores" ] || fail "watching wrote: $(ls -R "$GAME_DIR")"

size=$(stat -c %s "$last")
head -c $((size - 7)) "$last" >"$E2E_OUT/truncated.kvr"
# A byte changed: the seed, one of the compressed records, the version (1 to 2).
for damage in "header 30 32" "records $((size - 3)) 32" "version 8 3"; do
    set -- $damage
    cp "$last" "$E2E_OUT/$1.kvr"
    byte=$(od -An -tu1 -j "$2" -N1 "$last")
    printf "$(printf '\\%03o' $((byte ^ $3)))" | dd of="$E2E_OUT/$1.kvr" bs=1 seek="$2" conv=notrunc 2>/dev/null
done
for name in truncated header records version; do refused "$name"; done

# A whole game into the empty table, named; its digit on the title screen.
new_folder ranked
start_game
key Return
sleep 0.5
started=$SECONDS
until [ -e "$GAME_DIR/Kelvane.scores" ]; do
    [ $((SECONDS - started)) -lt 300 ] || fail "no game over"
    key space Z Return
    sleep 0.3
done
sleep 1
capture title
key 2
sleep 1
capture still-title
[ "$(differ title still-title 0 0 640 480)" -eq 0 ] || fail "2 with no second line changed the title screen"
key 1
until_shown 564 4 "Replay 1x"
key Escape
sleep 1
capture title-again
[ "$(differ title title-again 0 0 640 480)" -eq 0 ] || fail "the title screen did not come back as it was"
key Escape
wait_game 10
note "passed"
