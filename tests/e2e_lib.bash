# e2e_lib.bash -- sourced by the end-to-end scenario driver, the soak and any
# tests/e2e_*.sh script: a private X server, the real game started from a
# fresh folder that holds only a copy of the executable, keys sent through
# XTEST, screen captures, and the game's 8x8 text read back from the pixels.
#
# A script is run as: bash tests/e2e_<name>.sh <path to kelvane> <scratch dir>

set -u

E2E_BIN=$(readlink -f "$1")
E2E_OUT=$2
E2E_NAME=${E2E_NAME:-$(basename "$0" .sh)}
E2E_FONT=$(dirname "$E2E_BIN")/res/MyFnt.raw
CONVERT=convert-im6.q16

XVFB_PID= GAME_PID= GAME_DIR= GAME_STATUS= WINDOW=

fail() {
    echo "FAIL ($E2E_NAME): $*" >&2
    exit 1
}

note() {
    echo "$E2E_NAME: $*"
}

e2e_cleanup() {
    [ -n "$GAME_PID" ] && kill -TERM "$GAME_PID" 2>/dev/null && sleep 1 && kill -KILL "$GAME_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill -TERM "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
}
trap e2e_cleanup EXIT

[ -x "$E2E_BIN" ] || fail "no executable at $1"
[ -s "$E2E_FONT" ] || fail "the 8x8 font the text is read back with is missing: $E2E_FONT"
rm -rf "$E2E_OUT"
mkdir -p "$E2E_OUT"
E2E_OUT=$(readlink -f "$E2E_OUT")

# start_x [WxH]: an X server of our own (640x480 unless told), replacing any
# earlier one; the display number comes back on a pipe.
start_x() {
    [ -z "$XVFB_PID" ] || { kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; }
    : >"$E2E_OUT/display"  # there before the first look, even if Xvfb is slow to open it
    Xvfb -displayfd 3 -screen 0 "${1:-640x480}x24" -nolisten tcp 3>"$E2E_OUT/display" 2>"$E2E_OUT/xvfb.log" &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$E2E_OUT/display" ] && export DISPLAY=:$(head -1 "$E2E_OUT/display") && return
        sleep 0.1
    done
    fail "Xvfb did not start"
}

# new_folder NAME: a fresh folder holding only a copy of the executable.
new_folder() {
    GAME_DIR=$E2E_OUT/$1
    rm -rf "$GAME_DIR"
    mkdir -p "$GAME_DIR"
    cp "$E2E_BIN" "$GAME_DIR/kelvane"
}

# start_game [VAR=value | command ...]: starts the copy (with GAME_ARGS) from
# another working directory through env, with settings of its own, waits for
# its window (WINDOW) and gives it the focus.
start_game() {
    (cd / && exec env SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$E2E_OUT/config" "$@" "$GAME_DIR/kelvane" ${GAME_ARGS:-} >"$E2E_OUT/game.log" 2>&1) &
    GAME_PID=$!
    WINDOW=$(timeout 60 xdotool search --sync --name '^Kelvane$' | head -1)
    [ -n "$WINDOW" ] || fail "the game window did not appear: $(head -5 "$E2E_OUT/game.log")"
    xdotool windowfocus "$WINDOW" 2>/dev/null
    sleep 1
}

# wait_game SECONDS: waits for the game to end; its status in GAME_STATUS.
wait_game() {
    for _ in $(seq $(($1 * 10))); do
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            wait "$GAME_PID"
            GAME_STATUS=$? GAME_PID=
            return 0
        fi
        sleep 0.1
    done
    fail "the game did not end within $1 s"
}

key() {
    xdotool key --delay 60 "$@"
}

# screenshot NAME [FILE]: F10, then waits for a new Saved-Screen-0.bmp (in the
# program's folder unless told) and keeps a copy as NAME.bmp.
screenshot() {
    local file=${2:-$GAME_DIR/Saved-Screen-0.bmp}
    rm -f "$file"
    key F10
    for _ in $(seq 150); do
        [ "$(stat -c %s "$file" 2>/dev/null)" = 1228854 ] && sleep 0.2 && cp "$file" "$E2E_OUT/$1.bmp" && return
        sleep 0.1
    done
    fail "F10 wrote no screenshot ($1)"
}

# capture NAME: the X screen as NAME.png.
capture() {
    xwd -root -silent | $CONVERT xwd:- "$E2E_OUT/$1.png"
}

image_of() {
    if [ -f "$E2E_OUT/$1.bmp" ]; then echo "$E2E_OUT/$1.bmp"; else echo "$E2E_OUT/$1.png"; fi
}

# pixel NAME X Y: RRGGBB.
pixel() {
    $CONVERT "$(image_of "$1")" -alpha off -format "%[hex:p{$2,$3}]" info:
}

# count NAME X Y W H RRGGBB: pixels of exactly that colour in the rectangle.
count() {
    $CONVERT "$(image_of "$1")" -alpha off -crop "$4x$5+$2+$3" +repage -depth 8 txt:- | grep -c "#$6" || true
}

# text NAME X Y N RRGGBB: reads N characters of 8x8 text drawn in that colour
# with its first cell at (X, Y). A cell reads as the printable character
# with the most set bits whose every set bit is lit in the colour (so pixels
# of the same colour behind the text do not matter); otherwise a blank.
text() {
    { od -An -v -tu1 -w8 "$E2E_FONT"; echo --; $CONVERT "$(image_of "$1")" -alpha off -crop "$(($4 * 8))x8+$2+$3" +repage -depth 8 txt:-; } |
        awk -v n="$4" -v colour="#$5" '
        $1 == "--" { pixels = 1; next }
        !pixels { for (r = 1; r <= 8; r++) glyph[NR - 1, r - 1] = $r; next }
        $3 == colour { split($1, xy, "[,:]"); lit[xy[1], xy[2]] = 1 }
        END {
            for (cell = 0; cell < n; cell++) {
                best = " "; most = 0
                for (c = 33; c <= 126; c++) {
                    for (b = bits = 0; b < 64; b++)
                        if (int(glyph[c, int(b / 8)] / 2 ^ (7 - b % 8)) % 2 == 1 && ++bits && !((cell * 8 + b % 8, int(b / 8)) in lit)) break
                    if (b == 64 && bits > most) { best = sprintf("%c", c); most = bits }
                }
                printf "%s", best
            }
        }'
}

# expect_text NAME X Y RRGGBB TEXT
expect_text() {
    local got
    got=$(text "$1" "$2" "$3" "${#5}" "$4")
    [ "$got" = "$5" ] || fail "$1: text at ($2, $3) reads '$got', not '$5'"
}

# The score file's line as the game writes it: text padded with spaces to
# 127 characters and a NUL; two_scores is a table of two scores and eight
# bare ranks.
padded_line() {
    printf '%-127s\0' "$1"
}
two_scores() {
    padded_line "1     5000       Ida"
    padded_line "2     300        Bo"
    for i in 3 4 5 6 7 8 9 10; do padded_line "$i"; done
}

# differ A B X Y W H: how many pixels of the rectangle differ between two
# pictures.
differ() {
    compare-im6.q16 -alpha off -metric AE "$(image_of "$1")[$5x$6+$3+$4]" "$(image_of "$2")[$5x$6+$3+$4]" null: 2>&1 |
        awk '{ printf "%d", $1 }'
}
