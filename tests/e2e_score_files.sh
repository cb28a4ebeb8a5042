# Score files of every shape in the program's folder: a valid one, a short
# one, a long one, one whose lines have no NUL, an empty one. Each is shown
# as far as it goes (or ignored) without a crash, and quitting leaves it
# byte for byte as it was.
. "$(dirname "$0")/e2e_lib.bash"

# run_with NAME: starts the game in a fresh folder holding NAME.scores as
# "Kelvane.scores", takes the screenshot NAME, quits with Esc and checks the
# file is untouched.
run_with() {
    new_folder "$1"
    cp "$E2E_OUT/$1.scores" "$GAME_DIR/Kelvane.scores"
    start_game
    screenshot "$1"
    keep "$1"
    key Escape
    wait_game 10
    [ "$GAME_STATUS" -eq 0 ] || fail "$1: Esc ended the game with status $GAME_STATUS"
    cmp -s "$E2E_OUT/$1.scores" "$GAME_DIR/Kelvane.scores" || fail "$1: the score file changed"
    [ "$(ls "$GAME_DIR" | tr '\n' ' ')" = "Kelvane.scores Saved-Screen-0.bmp kelvane " ] ||
        fail "$1: the program's folder holds: $(ls "$GAME_DIR")"
}

start_x

{
    padded_line "1     5000       Ida"
    padded_line "2     300        Bo"
    for i in 3 4 5 6 7 8 9 10; do padded_line "$i"; done
} >"$E2E_OUT/valid.scores"
run_with valid
expect_text valid 204 204 0000FF "1     5000       Ida"
expect_text valid 204 212 0000FF "2     300        Bo"
expect_text valid 204 276 0000FF "10"
[ "$(count valid 204 204 436 80 FFFFFF)" -eq 0 ] || fail "valid: a line is highlighted before any game"

# 200 bytes: line 0 whole, 72 bytes of line 1.
{ padded_line "1     800        Al"; printf '%-72s' "2     70         Cy"; } >"$E2E_OUT/short.scores"
run_with short
expect_text short 204 204 0000FF "1     800        Al"
expect_text short 204 212 0000FF "2     70         Cy"
[ "$(count short 204 220 436 64 0000FF)" -eq 0 ] || fail "short: lines beyond the file are shown"

# A valid table followed by 720 more bytes, which are not read.
{ cat "$E2E_OUT/valid.scores"; head -c 720 /dev/zero | tr '\0' 'Z'; } >"$E2E_OUT/long.scores"
run_with long
expect_text long 204 204 0000FF "1     5000       Ida"
expect_text long 204 276 0000FF "10"

# No NUL anywhere: 1280 letters. Each line shows as far as the screen's
# right edge (54 characters from x 204) and no further.
head -c 1280 /dev/zero | tr '\0' 'A' >"$E2E_OUT/nul-less.scores"
run_with nul-less
for row in 0 9; do
    expect_text nul-less 204 $((204 + 8 * row)) 0000FF "$(printf 'A%.0s' $(seq 54))"
done

# An empty file: an empty table.
: >"$E2E_OUT/empty.scores"
run_with empty
[ "$(count empty 204 204 436 80 0000FF)" -eq 0 ] || fail "empty: score lines shown"
expect_text empty 204 196 FFFF00 "Rank  Score      Name"

note "valid, short, long, NUL-less and empty score files shown as far as they go and left as they were"
