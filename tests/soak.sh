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
E2E_OUT=$(readlink -f "$E2E_OUT")

SECONDS_WANTED=${3:-${SOAK_SECONDS:-180}}
[ "$SECONDS_WANTED" -ge 70 ] || fail "a soak needs at least 70 s (a minute to settle, then the run)"

LOGS=$E2E_OUT/sanitizer
mkdir -p "$LOGS"
SANITIZERS=(
    # A small quarantine fills within the first minute, so that what the
    # memory does after it is the game's own doing.
    "ASAN_OPTIONS=log_path=$LOGS/asan:detect_leaks=1:exitcode=23:quarantine_size_mb=16"
    "UBSAN_OPTIONS=log_path=$LOGS/ubsan:print_stacktrace=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=$(readlink -f "$(dirname "$0")")/soak_lsan.supp:print_suppressions=0"
)
# SDL loads the X server's software GL driver and unloads it before the leak
# check at exit, so what that driver keeps for itself shows up as leaks of no
# known library, which no suppression can name. Kept loaded from the start
# (behind the sanitizer's runtime, which must come first), it stays a library
# like any other.
GL_DRIVER=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -1)
ASAN_RUNTIME=$(ldd "$E2E_BIN" | awk '/libasan/ { print $3 }')
[ -n "$ASAN_RUNTIME" ] || fail "$E2E_BIN is not built with AddressSanitizer"
[ -n "$GL_DRIVER" ] && SANITIZERS+=("LD_PRELOAD=$ASAN_RUNTIME $GL_DRIVER")

PRESSES=0
FOCUS_SWITCHES=0
GAME_OVERS=0
CHECKS=0
XLOGO_PID=

soak_cleanup() {
    [ -n "$XLOGO_PID" ] && kill "$XLOGO_PID" 2>/dev/null
    xdotool keyup Left Right Up Down 2>/dev/null
}

rss_kb() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$GAME_PID/status"
}

alive() {
    kill -0 "$GAME_PID" 2>/dev/null || {
        wait "$GAME_PID"
        fail "the game ended during the soak with status $? after $PRESSES key presses: $(cat "$LOGS"/* 2>/dev/null | head -30)"
    }
}

# The score file: exactly ten 128-byte lines, each numbered in its first two
# columns, printable up to its NUL in byte 127.
check_scores() {
    local file=$GAME_DIR/Kelvane.scores
    [ -f "$file" ] || fail "the score file is gone"
    local size
    size=$(stat -c %s "$file")
    [ "$size" -eq 1280 ] || fail "the score file has $size bytes"
    od -An -v -tu1 -w128 "$file" | awk '
        NF != 128 { bad = "line " NR " has " NF " bytes" }
        {
            if ($128 != 0) bad = "line " NR " does not end in a NUL"
            for (i = 1; i < 128; i++) if ($i < 32 || $i > 126) bad = "line " NR " holds byte " $i
            rank = NR < 10 ? sprintf("%d ", NR) : "10"
            got = sprintf("%c%c", $1, $2)
            if (got != rank) bad = "line " NR " is numbered \"" got "\""
        }
        END { if (bad != "") { print bad; exit 1 } }' >"$E2E_OUT/check.txt" ||
        fail "the score file is malformed: $(cat "$E2E_OUT/check.txt")"
    CHECKS=$((CHECKS + 1))
    if ! cmp -s "$file" "$E2E_OUT/last.scores"; then
        GAME_OVERS=$((GAME_OVERS + 1))
        cp "$file" "$E2E_OUT/last.scores"
    fi
}

press() {
    xdotool key --delay 30 "$@"
    PRESSES=$((PRESSES + $#))
}

# Another window takes the focus for a while; then the game gets it back.
focus_away() {
    xlogo -geometry 200x200+10+10 &
    XLOGO_PID=$!
    FOCUS_SWITCHES=$((FOCUS_SWITCHES + 1))
    local other
    other=$(timeout 10 xdotool search --sync --pid "$XLOGO_PID" | head -1)
    [ -n "$other" ] && xdotool windowfocus --sync "$other" 2>/dev/null
    sleep "0.$((RANDOM % 9 + 1))"
    press space Left Return
    sleep 0.5
    kill "$XLOGO_PID" 2>/dev/null
    wait "$XLOGO_PID" 2>/dev/null
    XLOGO_PID=
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null
    sleep 0.3
}

LETTERS=(a b c d e f g h i j k l m n o p q r s t u v w x y z)
ARROWS=(Left Right Up Down)

# One random action as xdotool commands; PRESSES counts its key presses.
ACTION=()
random_action() {
    local r=$((RANDOM % 100)) a=${ARROWS[RANDOM % 4]} b=${ARROWS[RANDOM % 4]}
    local held="0.$((RANDOM % 6))$((RANDOM % 10))"
    if [ "$r" -lt 35 ]; then
        ACTION=(key space); PRESSES=$((PRESSES + 1))
    elif [ "$r" -lt 50 ]; then
        ACTION=(keydown "$a" sleep "$held" keyup "$a"); PRESSES=$((PRESSES + 1))
    elif [ "$r" -lt 57 ]; then
        # Two arrows at once, the second pressed while the first is held.
        ACTION=(keydown "$a" sleep 0.1 keydown "$b" sleep "$held" keyup "$a" keyup "$b"); PRESSES=$((PRESSES + 2))
    elif [ "$r" -lt 64 ]; then
        # Shots while turning.
        ACTION=(keydown "$a" key space sleep 0.2 key space keyup "$a"); PRESSES=$((PRESSES + 3))
    elif [ "$r" -lt 72 ]; then
        ACTION=(key Return); PRESSES=$((PRESSES + 1))
    elif [ "$r" -lt 86 ]; then
        ACTION=(key "${LETTERS[RANDOM % 26]}" "${LETTERS[RANDOM % 26]}" "${LETTERS[RANDOM % 26]}"); PRESSES=$((PRESSES + 3))
    elif [ "$r" -lt 95 ]; then
        ACTION=(key BackSpace); PRESSES=$((PRESSES + 1))
    else
        ACTION=(key F10); PRESSES=$((PRESSES + 1))
    fi
}

# A few actions in one xdotool run (starting it is what costs), or now and
# then the focus taken away.
monkey_step() {
    if [ $((RANDOM % 60)) -eq 0 ]; then
        focus_away
        return
    fi
    local commands=() i
    for i in $(seq $((RANDOM % 5 + 2))); do
        random_action
        commands+=("${ACTION[@]}" sleep "0.$((RANDOM % 2))$((RANDOM % 10))")
    done
    xdotool "${commands[@]}"
}

start_x
new_folder soak
{
    padded_line "1     5000       Ida"
    padded_line "2     300        Bo"
    for i in 3 4 5 6 7 8 9 10; do padded_line "$i"; done
} >"$GAME_DIR/Kelvane.scores"
cp "$GAME_DIR/Kelvane.scores" "$E2E_OUT/last.scores"
start_game "${SANITIZERS[@]}"
WINDOW=$(xdotool search --name '^Kelvane$' | head -1)
trap 'soak_cleanup; e2e_cleanup' EXIT

started=$SECONDS
next_check=$((started + 15))
RSS_MINUTE=
while [ $((SECONDS - started)) -lt "$SECONDS_WANTED" ]; do
    monkey_step
    alive
    if [ -z "$RSS_MINUTE" ] && [ $((SECONDS - started)) -ge 60 ]; then
        RSS_MINUTE=$(rss_kb)
        note "resident memory after the first minute: $RSS_MINUTE kB ($PRESSES key presses)"
    fi
    if [ "$SECONDS" -ge "$next_check" ]; then
        note "$((SECONDS - started)) s: $PRESSES key presses, resident memory $(rss_kb) kB"
        check_scores
        next_check=$((SECONDS + 15))
    fi
done
xdotool keyup Left Right Up Down
sleep 1
alive
check_scores
RSS_END=$(rss_kb)

# Esc ends the game; inside a name entry the first one only ends the entry.
for i in 1 2 3; do
    press Escape
    for j in $(seq 30); do
        kill -0 "$GAME_PID" 2>/dev/null || break 2
        sleep 0.1
    done
done
wait_game 20
check_scores
[ "$GAME_STATUS" -eq 0 ] || fail "Esc ended the game with status $GAME_STATUS: $(cat "$LOGS"/* 2>/dev/null | head -30)"
if ls "$LOGS"/* >/dev/null 2>&1; then
    fail "the sanitizers reported: $(cat "$LOGS"/* | head -40)"
fi
limit=$((RSS_MINUTE + RSS_MINUTE / 10))
minutes=$(awk -v s=$((SECONDS - started)) 'BEGIN { printf "%.1f", s / 60 }')
note "$minutes minutes, $PRESSES key presses, $FOCUS_SWITCHES times the focus away and back, $GAME_OVERS game overs seen, $CHECKS checks of the score file; resident memory $RSS_MINUTE kB after a minute, $RSS_END kB at the end"
[ "$RSS_END" -le "$limit" ] || fail "resident memory grew from $RSS_MINUTE kB to $RSS_END kB"
