# A soak of the real game, built with AddressSanitizer and UBSan, under a
# private X server: a random key monkey holds and releases the arrow keys,
# fires, starts games, takes screenshots, types letters and Backspace into the
# name entry and now and then gives the focus to another window and back.
# Throughout, the process stays alive and its score file stays a well-formed
# 1280-byte table; at the end Esc ends it with status 0, no sanitizer has
# reported anything, and its resident memory is within 10% of what it was
# after the first minute.
#
# Run as: bash tests/soak.sh <kelvane built with the sanitizers> <scratch dir> [seconds]
. "$(dirname "$0")/e2e_lib.bash"

SECONDS_WANTED=${3:-${SOAK_SECONDS:-180}}
[ "$SECONDS_WANTED" -ge 70 ] || fail "a soak needs at least 70 s (a minute to settle, then the run)"
LOGS=$E2E_OUT/sanitizer
mkdir -p "$LOGS"
# A small quarantine fills within the first minute, so that what the memory
# does after it is the game's own doing.
SANITIZERS=("ASAN_OPTIONS=log_path=$LOGS/asan:detect_leaks=1:exitcode=23:quarantine_size_mb=16"
    "UBSAN_OPTIONS=log_path=$LOGS/ubsan:print_stacktrace=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=$(readlink -f "$(dirname "$0")")/soak_lsan.supp:print_suppressions=0")
# SDL loads the X server's software GL driver and unloads it before the leak
# check at exit, so what that driver keeps for itself shows up as leaks of no
# known library, which no suppression can name. Kept loaded from the start
# (behind the sanitizer's runtime, which must come first), it stays a library
# like any other.
GL_DRIVER=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -1)
ASAN_RUNTIME=$(ldd "$E2E_BIN" | awk '/libasan/ { print $3 }')
[ -n "$ASAN_RUNTIME" ] || fail "$E2E_BIN is not built with AddressSanitizer"
[ -n "$GL_DRIVER" ] && SANITIZERS+=("LD_PRELOAD=$ASAN_RUNTIME $GL_DRIVER")

ACTIONS=0 FOCUS_SWITCHES=0 CHECKS=0

alive() {
    kill -0 "$GAME_PID" 2>/dev/null && return
    wait "$GAME_PID"
    fail "the game ended during the soak with status $? after $ACTIONS actions: $(cat "$LOGS"/* 2>/dev/null | head -30)"
}

# The score file: exactly ten 128-byte lines, each numbered in its first two
# columns, printable up to its NUL in byte 127.
check_scores() {
    od -An -v -tu1 -w128 "$GAME_DIR/Kelvane.scores" | awk '
        { rank = NR < 10 ? sprintf("%d ", NR) : "10"; bad += NF != 128 || $128 != 0 || sprintf("%c%c", $1, $2) != rank
          for (i = 1; i < 128; i++) bad += $i < 32 || $i > 126 }
        END { exit bad || NR != 10 }' || fail "the score file is malformed: $(od -c "$GAME_DIR/Kelvane.scores" | head -20)"
    CHECKS=$((CHECKS + 1))
}

# Another window takes the focus for a while, keys go to it; then the game
# gets the focus back.
focus_away() {
    xlogo -geometry 200x200+10+10 &
    local logo=$!
    FOCUS_SWITCHES=$((FOCUS_SWITCHES + 1))
    timeout 10 xdotool search --sync --pid "$logo" xlogo windowfocus --sync sleep "0.$((RANDOM % 9 + 1))" key space Left Return sleep 0.5 2>/dev/null
    kill "$logo" 2>/dev/null
    wait "$logo" 2>/dev/null
    focus_back
}

# The game's window takes the focus back; a loaded X server may drop the
# request, so it is asked until the server says so.
focus_back() {
    local _
    for _ in 1 2 3 4 5; do
        timeout 5 xdotool windowfocus --sync "$WINDOW" 2>/dev/null
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$WINDOW" ] && return
        sleep 1
    done
    fail "the game's window did not take the focus back (it is on $(xdotool getwindowfocus 2>&1))"
}

# A few random actions in one xdotool run (starting it is what costs), drawn
# from a table: shots, an arrow held (now and then with another, or firing
# while it turns), Enter, letters, Backspace, F10. _A and _B stand for
# arrows, _H for how long one is held, _L for a letter.
MOVES=("key space" "key space" "key space" "key space" "keydown _A sleep _H keyup _A" "keydown _A sleep _H keyup _A"
    "keydown _A sleep 0.1 keydown _B sleep _H keyup _A keyup _B" "keydown _A key space sleep 0.2 key space keyup _A"
    "key Return" "key _L _L" "key _L _L" "key BackSpace" "key F10")
ARROWS=(Left Right Up Down) LETTERS=({a..z})
monkey_step() {
    local commands=() i move
    for i in $(seq $((RANDOM % 5 + 2))); do
        move=${MOVES[RANDOM % ${#MOVES[@]}]} move=${move//_A/${ARROWS[RANDOM % 4]}} move=${move//_B/${ARROWS[RANDOM % 4]}}
        move=${move//_H/0.$((RANDOM % 60))} move=${move//_L/${LETTERS[RANDOM % 26]}}
        commands+=($move sleep "0.$((RANDOM % 20))")
    done
    ACTIONS=$((ACTIONS + i))
    xdotool "${commands[@]}"
}

start_x
new_folder soak
two_scores >"$GAME_DIR/Kelvane.scores"
start_game "${SANITIZERS[@]}"
trap 'xdotool keyup Left Right Up Down 2>/dev/null; e2e_cleanup' EXIT

started=$SECONDS next_check=$((SECONDS + 15)) RSS_MINUTE= STEPS=0
while [ $((SECONDS - started)) -lt "$SECONDS_WANTED" ]; do
    STEPS=$((STEPS + 1))
    if [ $((STEPS % 25)) -eq 0 ]; then focus_away; else monkey_step; fi  # the focus goes away now and then
    alive
    [ -z "$RSS_MINUTE" ] && [ $((SECONDS - started)) -ge 60 ] && RSS_MINUTE=$(awk '/^VmRSS:/ { print $2 }' "/proc/$GAME_PID/status")
    [ "$SECONDS" -ge "$next_check" ] && check_scores && next_check=$((SECONDS + 15))
done
xdotool keyup Left Right Up Down sleep 1
focus_back
alive
check_scores
RSS_END=$(awk '/^VmRSS:/ { print $2 }' "/proc/$GAME_PID/status")

# Esc ends the game; inside a name entry the first one only ends the entry.
for _ in 1 2 3; do
    key Escape
    sleep 2
    kill -0 "$GAME_PID" 2>/dev/null || break
done
wait_game 20
check_scores
[ "$GAME_STATUS" -eq 0 ] || fail "Esc ended the game with status $GAME_STATUS: $(cat "$LOGS"/* 2>/dev/null | head -30)"
! ls "$LOGS"/* >/dev/null 2>&1 || fail "the sanitizers reported: $(cat "$LOGS"/* | head -40)"
note "$((SECONDS - started)) s, $ACTIONS actions, $FOCUS_SWITCHES times the focus away and back, $CHECKS checks of the score file; resident memory $RSS_MINUTE kB after a minute, $RSS_END kB at the end"
[ "$RSS_END" -le $((RSS_MINUTE + RSS_MINUTE / 10)) ] || fail "resident memory grew from $RSS_MINUTE kB to $RSS_END kB"
