# The attract screen of a first start, read from the F10 screenshot; Esc
# ends the game with status 0 and leaves nothing but the screenshot.
. "$(dirname "$0")/e2e_lib.bash"

start_x
new_folder first-start
start_game
screenshot attract
keep attract

# Walls (grey), the top wall above the ceiling at 55, the death line (red).
expect_pixel attract 188 60 C0C0C0
expect_pixel attract 191 479 C0C0C0
expect_pixel attract 448 300 C0C0C0
expect_pixel attract 451 479 C0C0C0
expect_pixel attract 188 51 C0C0C0
expect_pixel attract 451 54 C0C0C0
expect_pixel attract 192 350 FF0000
expect_pixel attract 220 350 FF0000
expect_pixel attract 447 350 FF0000
[ "$(pixel attract 300 350)" != FF0000 ] || [ "$(pixel attract 300 351)" != FF0000 ] ||
    fail "the death line is more than one pixel high"

# Status texts, white: level 1, score 0, credits 2.
expect_text attract 4 4 FFFFFF "Level"
expect_text attract 4 12 FFFFFF "1 "
expect_text attract 4 28 FFFFFF "Score"
expect_text attract 4 36 FFFFFF "0        "
expect_text attract 4 52 FFFFFF "Credits"
expect_text attract 4 60 FFFFFF "2 "

# The table header in yellow, no score lines yet (blue), the prompt.
expect_text attract 204 196 FFFF00 "Rank  Score      Name"
[ "$(count attract 204 204 436 80 0000FF)" -eq 0 ] || fail "score lines shown without a score file"
expect_text attract 232 464 FFFFFF "Press [Enter] to Start"

# The title in yellow, centred at the top.
yellow=$(count attract 0 0 640 52 FFFF00)
[ "$yellow" -gt 200 ] || fail "no title: $yellow yellow pixels at the top"
left=$($CONVERT "$E2E_OUT/attract.bmp" -alpha off -crop 640x52+0+0 +repage -fill black +opaque '#FFFF00' -trim -format '%X' info: | tr -d +)
width=$($CONVERT "$E2E_OUT/attract.bmp" -alpha off -crop 640x52+0+0 +repage -fill black +opaque '#FFFF00' -trim -format '%w' info:)
centre=$((left + width / 2))
[ "$centre" -ge 314 ] && [ "$centre" -le 326 ] || fail "title centred at x $centre"

# The screenshot is what the screen shows.
capture attract-screen
[ "$(pixel attract-screen 189 300)" = C0C0C0 ] || fail "the screen does not show the walls"

key Escape
wait_game 10
[ "$GAME_STATUS" -eq 0 ] || fail "Esc ended the game with status $GAME_STATUS"
[ "$(ls "$GAME_DIR" | tr '\n' ' ')" = "Saved-Screen-0.bmp kelvane " ] ||
    fail "the program's folder holds: $(ls "$GAME_DIR")"
note "attract screen as designed; Esc exits 0 and writes no score file"
