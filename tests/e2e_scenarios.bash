# The real game end to end, one scenario a run (each its own CTest test):
#
#   bash tests/e2e_scenarios.bash <path to kelvane> <scratch dir> SCENARIO
#
#   play       the attract screen of a first start, a game started and a
#              shot settled, F10 replacing the screenshot, Esc exiting 0;
#              the title screen's balls with the colour marks, and C
#   faults     no sound device, pipes as the score file and the settings
#   read_only  a whole game against a table on file in a folder nothing can
#              be written to
#   game_over  two whole games heard through the disk audio driver: the name
#              entry, the score file, the window closed in the entry, and the
#              sound's level
#   window     the command line; full screen and window on large screens
#   install    the installed files validated and the installed game played
#   controls   pause and mute
#   edges      the command line's mistakes, bad settings lines, a resting
#              pointer across F11 and Alt+Enter, click and wheel, the mute
#              mark, the window's smallest size, signals and a lost display
#   fill       the picture filled sharp on four screens and in a window
#   wayland    natively under a headless Wayland compositor, and chosen over X
E2E_NAME=e2e_${3:-}
. "$(dirname "$0")/e2e_lib.bash"

WHITE=FFFFFF YELLOW=FFFF00 BLUE=0000FF NAVY=000080

# expect_exit WHAT: Esc, then status 0.
expect_exit() {
    key Escape
    wait_game 10
    [ "$GAME_STATUS" -eq 0 ] || fail "$1: Esc ended the game with status $GAME_STATUS"
}

folder_holds() {
    [ "$(ls "$GAME_DIR" | tr '\n' ' ')" = "$1" ] || fail "the program's folder holds: $(ls "$GAME_DIR")"
}

# shows X Y COLOUR TEXT: the screen shows that text within 10 s (a loaded
# machine may take a while over typed keys).
shows() {
    for _ in $(seq 20); do
        capture shown
        [ "$(text shown "$1" "$2" "${#4}" "$3")" = "$4" ] && return
        sleep 0.5
    done
    expect_text shown "$@"
}

# The table line (0..9) of the navy 13-character name entry box, whose
# right end never holds the cursor or text; empty while there is none.
entry_row() {
    capture frame
    $CONVERT "$E2E_OUT/frame.png" -crop 1x80+443+204 +repage -depth 8 txt:- |
        awk -v navy="#$NAVY" -F'[,: ]+' '$0 ~ navy && $2 % 8 == 7 { print int($2 / 8); exit }'
}

# entry_closed: the name entry's box is gone within 10 s.
entry_closed() {
    for _ in $(seq 20); do
        [ -z "$(entry_row)" ] && return
        sleep 0.5
    done
    fail "the name entry is still open"
}

# play_to_entry: fires straight up, the quickest way to lose three balls,
# until the name entry shows; ENTRY_ROW and SCORE as it opened.
play_to_entry() {
    local started=$SECONDS shots=0
    ENTRY_ROW=
    while [ -z "$ENTRY_ROW" ]; do
        [ $((SECONDS - started)) -lt 300 ] || fail "no name entry after $shots shots"
        kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended during play"
        shots=$((shots + 1))
        key space
        sleep 0.25
        ENTRY_ROW=$(entry_row)
    done
    SCORE=$(text frame 4 36 9 $WHITE | tr -d ' ')
    key BackSpace BackSpace BackSpace  # shots fired as the entry opened were typed into it as spaces
    note "name entry on line $ENTRY_ROW after $shots shots, score $SCORE"
}

scenario_play() {
    start_x
    new_folder first-start
    start_game
    screenshot attract
    # The attract screen (what it holds is the scene tests' to check) with no
    # score lines; the screenshot is what the screen shows.
    expect_text attract 232 464 $WHITE "Press [Enter] to Start"
    [ "$(count attract 204 204 436 80 $BLUE)" -eq 0 ] || fail "score lines shown without a score file"
    capture attract-screen
    [ "$(differ attract attract-screen 0 0 640 480)" -eq 0 ] || fail "the screenshot is not what the screen shows"

    # Enter: a game with a ball on the cannon's hub, the attract screen's texts gone.
    key Return
    sleep 0.5
    screenshot play
    [ "$(count play 232 464 176 8 $WHITE)$(count play 0 0 640 52 $YELLOW)$(count play 204 196 436 8 $YELLOW)" = 000 ] ||
        fail "the attract screen's prompt, title or table is still shown in a game"
    [ "$(pixel play 320 407)" != "$(pixel attract 320 407)" ] || fail "no ball on the cannon"

    # Space: the ball flies straight up and settles; a new one waits.
    key space
    sleep 2
    screenshot settled
    local changed
    changed=$(differ play settled 192 55 256 290)
    [ "$changed" -ge 300 ] || fail "no ball settled into the board ($changed pixels changed)"
    [ "$(pixel settled 320 407)" != "$(pixel attract 320 407)" ] || fail "no new ball on the cannon"

    # F10 replaces an earlier file; nothing moves any more.
    echo "not a picture" >"$GAME_DIR/Saved-Screen-0.bmp"
    key F10
    sleep 1
    cp "$GAME_DIR/Saved-Screen-0.bmp" "$E2E_OUT/replaced.bmp"
    [ "$(stat -c %s "$E2E_OUT/replaced.bmp")" -eq 1228854 ] || fail "F10 did not replace the screenshot"
    changed=$(differ settled replaced 192 55 256 330)
    [ "$changed" -eq 0 ] || fail "the field still changes after the ball settled ($changed pixels)"
    expect_exit "in a game"
    folder_holds "Saved-Screen-0.bmp kelvane replays "
    [ "$(ls "$GAME_DIR/replays")" = last.kvr ] || fail "the recordings: $(ls "$GAME_DIR/replays")"

    # --marks: each ball on the title screen carries its colour's mark; C
    # takes the marks off (and keeps that), leaving the plain tinted balls.
    new_folder marks
    GAME_ARGS=--marks start_game
    screenshot marks-on
    key c
    sleep 0.5
    screenshot marks-off
    grep -qx "marks = no" "$E2E_OUT/config/kelvane/settings" || fail "C did not keep the marks off"
    expect_exit marks
    local found
    found=$(marks_apart "$E2E_OUT/marks-on.bmp" "$E2E_OUT/marks-off.bmp") || fail "marks: $found"
    note "marks: $found"
}

# marks_apart ON.bmp OFF.bmp: the board's balls (rows above the death line)
# told by colour in OFF, where every ball is the plain ball tinted; in ON
# the balls of a colour are alike, each colour shows a mark, and any two
# colours differ by more than 48 levels of luma on 40 or more pixels of the
# disc of radius 13.5 about the ball's centre.
marks_apart() {
    python3 - "$@" <<'EOF'
import struct, sys
def picture(name):
    b = open(name, 'rb').read()
    return lambda x, y: struct.unpack_from('<I', b, 54 + 4 * ((479 - y) * 640 + x))[0] & 0xFFFFFF
on, off = picture(sys.argv[1]), picture(sys.argv[2])
palette = [0x0000FF, 0x00FF00, 0xFF0000, 0xFF00FF, 0x00FFFF, 0xFFFF00, 0xFFFFFF, 0xFFA000]
tints = {sum((g * (c >> s & 255) >> 8) << s for s in (16, 8, 0)): k + 1 for k, c in enumerate(palette) for g in range(56, 256)}
disc = [(i, j) for j in range(32) for i in range(32) if (i - 15) ** 2 + (j - 15) ** 2 <= 182]
luma = lambda p: 0.299 * (p >> 16) + 0.587 * (p >> 8 & 255) + 0.114 * (p & 255)
shown, wrong = {}, []
for x, y in [(192 + 32 * c + 16 * (r & 1), 55 + 28 * r) for r in range(10) for c in range(8 - (r & 1))]:
    kinds, ball = {tints.get(off(x + i, y + j)) for i, j in disc}, [on(x + i, y + j) for i, j in disc]
    k = kinds.pop() if len(kinds) == 1 else 0  # 0: not the plain ball tinted
    if k is not None and (k == 0 or shown.setdefault(k, ball) != ball or sum(p != off(x + i, y + j) for p, (i, j) in zip(ball, disc)) < 20):
        wrong.append(f"the ball of colour {k} at ({x}, {y})")
wrong += [f"colours {a} and {b}" for a in shown for b in shown if a < b and sum(abs(luma(p) - luma(q)) > 48 for p, q in zip(shown[a], shown[b])) < 40]
print(" ".join(wrong) or f"colours {sorted(shown)} apart")
sys.exit(len(wrong) > 0 or len(shown) < 2)
EOF
}

scenario_faults() {
    start_x
    # No sound device: the game plays silent.
    new_folder no-sound
    start_game SDL_AUDIODRIVER=nonexistent
    key Return space space space
    sleep 1
    screenshot no-sound
    expect_exit no-sound
    # Pipes where the score file and the settings should be: nothing would
    # ever come through them, so the game starts with an empty table and the
    # default settings, says so once, plays, and leaves the pipes alone.
    new_folder pipe
    mkfifo "$GAME_DIR/Kelvane.scores"
    mkdir -p "$E2E_OUT/config/kelvane"
    mkfifo "$E2E_OUT/config/kelvane/settings"
    start_game
    screenshot pipe
    expect_text pipe 204 196 $YELLOW "Rank  Score      Name"
    [ "$(count pipe 204 204 436 80 $BLUE)" -eq 0 ] || fail "pipe: score lines shown"
    key Return space
    sleep 1
    screenshot pipe-play
    [ "$(differ pipe pipe-play 192 55 256 330)" -ge 300 ] || fail "pipe: no game played"
    expect_exit pipe
    [ "$(cat "$E2E_OUT/game.log")" = "kelvane: cannot read $E2E_OUT/config/kelvane/settings (not a plain file): default settings, none saved" ] ||
        fail "pipe: the game said: $(cat "$E2E_OUT/game.log")"
    [ -p "$GAME_DIR/Kelvane.scores" ] && [ -p "$E2E_OUT/config/kelvane/settings" ] || fail "pipe: a pipe was replaced"
}

# Root's game runs as nobody where it can.
AS_NOBODY=()
[ "$(id -u)" -eq 0 ] && AS_NOBODY=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

# A folder its user cannot write to: the whole game plays, the name is taken
# and shown, nothing is saved.
scenario_read_only() {
    start_x
    new_folder read-only
    two_scores >"$GAME_DIR/Kelvane.scores"
    chmod 444 "$GAME_DIR/Kelvane.scores"
    chmod 555 "$GAME_DIR"
    trap 'chmod 755 "$GAME_DIR"; e2e_cleanup' EXIT
    start_game "${AS_NOBODY[@]}"
    key Return
    play_to_entry
    xdotool type --delay 120 "Ro"
    shows 340 $((204 + 8 * ENTRY_ROW)) $WHITE "Ro"
    key Return F10  # F10 cannot write its picture here either
    entry_closed
    shows 204 $((204 + 8 * ENTRY_ROW)) $WHITE "$(printf '%-2d    %-9d  %s' $((ENTRY_ROW + 1)) "$SCORE" Ro)"
    expect_exit read-only
    cmp -s <(two_scores) "$GAME_DIR/Kelvane.scores" || fail "the score file changed"
    folder_holds "Kelvane.scores kelvane "
}

scenario_game_over() {
    local audio=$E2E_OUT/audio.raw file before first line0 line second
    start_x
    new_folder game-over
    file=$GAME_DIR/Kelvane.scores
    start_game SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
    key Return
    sleep 1
    # 22050 Hz, 16-bit stereo: silent until Space, the shot heard at once.
    before=$(stat -c %s "$audio" 2>/dev/null || echo 0)
    key space
    sleep 1
    [ "$before" -gt 0 ] && [ "$(head -c "$before" "$audio" | tr -d '\0' | wc -c)" -eq 0 ] ||
        fail "no silent audio output before the first shot"
    first=$(tail -c +$((before + 1)) "$audio" | od -An -v -tu1 -w1 | awk '$1 != 0 { print NR - 1; exit }')
    [ -n "$first" ] && [ "$first" -lt $((88200 * 3 / 10)) ] || fail "the shot was not heard within 0.3 s (${first:-never})"

    play_to_entry
    [ "$ENTRY_ROW" -eq 0 ] || fail "the first score went to line $ENTRY_ROW"
    # The cursor blinks: lit for half of each 500 ms, box-coloured otherwise.
    local seen=
    for _ in $(seq 10); do capture cursor && seen="$seen $(pixel cursor 340 204)" && sleep 0.07; done
    [[ $seen == *$WHITE* && $seen == *$NAVY* ]] || fail "the cursor does not blink:$seen"
    xdotool type --delay 120 "Eve"
    shows 340 204 $WHITE "Eve"
    key Return
    entry_closed
    # Line 0 of the file as designed, shown highlighted on the attract screen.
    line0=$(printf '%-2d    %-9d  %s' 1 "$SCORE" Eve)
    shows 204 204 $WHITE "$line0"
    cmp -s <(head -c 128 "$file") <(padded_line "$line0") || fail "line 0 of the file is '$(head -c 127 "$file")'"

    # A second game, the window closed (SIGTERM, as the window manager's
    # close does) while the name is typed: the score is kept all the same.
    key Return
    sleep 0.5
    play_to_entry
    xdotool type --delay 120 "Q"
    shows 340 $((204 + 8 * ENTRY_ROW)) $WHITE "Q"
    kill -TERM "$GAME_PID"
    wait_game 10
    [ "$GAME_STATUS" -eq 0 ] || fail "closing the window in the name entry ended with status $GAME_STATUS"
    line=$(dd if="$file" bs=128 skip="$ENTRY_ROW" count=1 2>/dev/null | head -c 127)
    second=$(printf '%-2d    %-9d  %s' $((ENTRY_ROW + 1)) "$SCORE" Q)
    [ "$(stat -c %s "$file")" -eq 1280 ] && [ "$line" = "$(printf '%-127s' "$second")" ] ||
        fail "after the close line $ENTRY_ROW is '$line', not '$second'"
    grep -q "Eve" "$file" || fail "the first game's line is gone"
    folder_holds "Kelvane.scores kelvane replays "
    # Both games are kept behind their lines, the second one written as the
    # window closed.
    [ "$(ls "$GAME_DIR/replays" | tr '\n' ' ')" = "last.kvr rank-01.kvr rank-02.kvr " ] ||
        fail "the recordings: $(ls "$GAME_DIR/replays")"
    cmp -s "$GAME_DIR/replays/last.kvr" "$GAME_DIR/replays/rank-0$((ENTRY_ROW + 1)).kvr" ||
        fail "the game closed in its name entry is not behind its line"

    # Last, so that it is plainly this that fails: every cue heard in the
    # two games stays below full scale, its peak at -1 dBFS or under.
    python3 -c "import array, sys; s = array.array('h', open(sys.argv[1], 'rb').read())
sys.exit(max(max(s), -min(s)) > 32768 * 10 ** (-1 / 20))" "$audio" || fail "the sound clips (it must peak at -1 dBFS or below)"
}

# expect_window WxH+X+Y WHEN: the window's place, given a few seconds to get there.
expect_window() {
    local got
    for _ in $(seq 30); do
        got=$(xwininfo -id "$WINDOW" | awk '/upper-left X/ {x = $NF} /upper-left Y/ {y = $NF} /Width/ {w = $NF}
            /Height/ {h = $NF} END { print w "x" h "+" x "+" y }')
        [ "$got" = "$1" ] && sleep 0.3 && return
        sleep 0.1
    done
    fail "$2: the window is $got, not $1"
}

# whole_pixels NAME WxH K: the screen is the F10 picture, each pixel a K x K
# block, centred between black bars.
whole_pixels() {
    screenshot "$1"
    capture "$1-screen"
    $CONVERT "$E2E_OUT/$1.bmp" -sample "$(($3 * 100))%" -background black -gravity center -extent "$2" "$E2E_OUT/$1-expected.png"
    local wrong
    wrong=$(compare-im6.q16 -metric AE "$E2E_OUT/$1-expected.png" "$E2E_OUT/$1-screen.png" null: 2>&1)
    [ "$wrong" = 0 ] || fail "$1: $wrong screen pixels are not the picture's in whole ${3}x$3 blocks"
}

# The command line answers --help, --version and mistakes; F11 and Alt+Enter
# switch between full screen and the window (Alt+Enter starts no game), kept
# in the settings; the window opens at the largest whole multiple of the
# picture, every screen pixel is the picture's in whole k x k blocks.
scenario_window() {
    "$E2E_BIN" --help | grep -q -- "--window" && "$E2E_BIN" --help | grep -q -- "--marks" || fail "--help does not show the options"
    "$E2E_BIN" --version | grep -qx "Kelvane [0-9.]*" || fail "--version does not say the version"
    for wrong in --bogus stray; do
        "$E2E_BIN" $wrong 2>&1 >"$E2E_OUT/wrong.out" | sed -n "1{/^kelvane: .* '$wrong'$/!q1};2{/^Try 'kelvane --help' /!q1}" ||
            fail "$wrong: no one-line complaint and pointer to --help on standard error"
        [ "${PIPESTATUS[0]}" = 2 ] && [ ! -s "$E2E_OUT/wrong.out" ] || fail "$wrong: status ${PIPESTATUS[0]}"
    done
    start_x 1920x1080
    new_folder big
    GAME_ARGS=--scale=whole start_game
    expect_window 1920x1080+0+0 "full screen at the start"
    whole_pixels full-1080 1920x1080 2
    key F11
    expect_window 1280x960+320+60 "after F11"
    whole_pixels window-1080 1920x1080 2
    grep -qx "fullscreen = no" "$E2E_OUT/config/kelvane/settings" || fail "the window mode was not kept"
    key alt+Return
    expect_window 1920x1080+0+0 "after Alt+Enter"
    screenshot after-alt-enter
    [ "$(differ full-1080 after-alt-enter 0 0 640 480)" = 0 ] || fail "Alt+Enter changed the game (started it?)"
    expect_exit "full screen"

    start_x 1366x768
    new_folder small
    GAME_ARGS="--window --scale whole" start_game
    expect_window 640x480+363+144 "--window on 1366x768"
    whole_pixels window-768 1366x768 1
    key F11
    expect_window 1366x768+0+0 "after F11"
    whole_pixels full-768 1366x768 1
}

# The build installed into a scratch DESTDIR, its files listed and validated,
# then the installed game played by an unprivileged player with a home of
# their own: F10 and a game played to its end write into the player's data
# folder, never under the prefix.
scenario_install() {
    local dest=$E2E_OUT/dest out icons before data
    DESTDIR=$dest cmake --install "$(dirname "$E2E_BIN")" --prefix /usr >"$E2E_OUT/install.log" || fail "install failed"
    listing() { (cd "$dest" && find . "$@" | LC_ALL=C sort); }
    icons=$(for s in 128 16 256 32 48 64; do echo "./usr/share/icons/hicolor/${s}x$s/apps/kelvane.png"; done)
    [ "$(listing ! -type d)" = "./usr/games/kelvane
./usr/share/applications/kelvane.desktop
./usr/share/doc/kelvane/LICENSE
./usr/share/doc/kelvane/README.md
$icons
./usr/share/man/man6/kelvane.6
./usr/share/metainfo/io.github.kelvane.kelvane.metainfo.xml" ] || fail "installed: $(listing ! -type d)"
    out=$(for s in 16 32 48 64 128 256; do identify-im6.q16 -format '%wx%h %[channels] ' "$dest/usr/share/icons/hicolor/${s}x$s/apps/kelvane.png"; done)
    [ "$out" = "16x16 srgba 32x32 srgba 48x48 srgba 64x64 srgba 128x128 srgba 256x256 srgba " ] || fail "the icons are $out"
    out=$(desktop-file-validate "$dest"/usr/share/applications/kelvane.desktop 2>&1) && [ -z "$out" ] || fail "$out"
    out=$(appstreamcli validate --no-net "$dest"/usr/share/metainfo/*.xml 2>&1) || fail "$out"
    out=$(groff -ww -z -man "$dest"/usr/share/man/man6/kelvane.6 2>&1) && [ -z "$out" ] || fail "groff: $out"
    out=$(env -u DISPLAY timeout 10 "$dest/usr/games/kelvane" --version 2>&1)
    [ "$out" = "Kelvane $(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")" ] ||
        fail "--version printed '$out'"
    before=$(listing -printf ' %p %s %T@\n')

    start_x
    GAME_DIR=$dest/usr/games data=$E2E_OUT/player/.local/share/kelvane
    mkdir -p "$E2E_OUT/player" && chown nobody "$E2E_OUT/player" 2>/dev/null
    start_game HOME="$E2E_OUT/player" XDG_DATA_HOME= "${AS_NOBODY[@]}"
    screenshot player "$data/Saved-Screen-0.bmp"
    [ "$(stat -c %a "$data")" = 700 ] || fail "the data folder is not private"
    key Return
    play_to_entry
    xdotool type --delay 120 "Ann"
    key Return Escape
    wait_game 10
    [ "$(stat -c %s "$data/Kelvane.scores" 2>/dev/null)" = 1280 ] && grep -q " Ann " "$data/Kelvane.scores" ||
        fail "no table in the player's data folder"
    [ "$(listing -printf ' %p %s %T@\n')" = "$before" ] || fail "something was written under the prefix"
}

# P freezes a ball in flight, with "Paused" in the middle of the field, and P
# again lets play go on. M mutes: a shot fired while muted is silent in the
# disk audio output, which goes on.
scenario_controls() {
    local audio=$E2E_OUT/audio.raw muted
    start_x
    new_folder controls
    start_game SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio"
    key Return
    sleep 0.5
    key space p
    sleep 0.3
    screenshot paused
    expect_text paused 296 263 $WHITE "Paused"
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
    expect_exit controls
}

. "$(dirname "$0")/e2e_screens.bash"

declare -F "scenario_${3:-}" >/dev/null || fail "no scenario '${3:-}'"
"scenario_$3"
note "passed"
