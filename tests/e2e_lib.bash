# e2e_lib.bash -- sourced by the end-to-end scripts (tests/e2e_*.sh and the
# scenario driver tests/e2e_scenarios.bash): a private X server, the real
# game started from a fresh folder that holds only a copy of the executable,
# keys sent through XTEST, screen captures, and the game's 8x8 text read back
# from the pixels.
#
# A script is run as: bash tests/e2e_<name>.sh <path to kelvane> <scratch dir>
# Pictures worth looking at are also copied to /tmp/e2e/<name>-*.png.

set -u

E2E_BIN=$(readlink -f "$1")
E2E_OUT=$2
E2E_NAME=${E2E_NAME:-$(basename "$0" .sh)}
E2E_FONT=$(dirname "$E2E_BIN")/res/MyFnt.raw
E2E_SHOTS=/tmp/e2e
CONVERT=convert-im6.q16

XVFB_PID= GAME_PID= GAME_DIR= GAME_STATUS=

fail() {
    echo "FAIL ($E2E_NAME): $*" >&2
    exit 1
}

note() {
    echo "$E2E_NAME: $*"
}

e2e_cleanup() {
    if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then
        kill -TERM "$GAME_PID" 2>/dev/null
        sleep 1
        kill -KILL "$GAME_PID" 2>/dev/null
    fi
    [ -n "$XVFB_PID" ] && kill -TERM "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
}
trap e2e_cleanup EXIT

[ -x "$E2E_BIN" ] || fail "no executable at $1"
[ -s "$E2E_FONT" ] || fail "the 8x8 font the text is read back with is missing: $E2E_FONT"
rm -rf "$E2E_OUT"
mkdir -p "$E2E_OUT" "$E2E_SHOTS"
E2E_OUT=$(readlink -f "$E2E_OUT")

# A 640x480 X server of our own; the display number comes back on a pipe.
start_x() {
    : >"$E2E_OUT/display"  # there before the first look, even if Xvfb is slow to open it
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$E2E_OUT/display" 2>"$E2E_OUT/xvfb.log" &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
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

# start_game [VAR=value | command ...]: starts the copy from another working
# directory through env, waits for its window and gives it the focus.
start_game() {
    (cd / && exec env SDL_AUDIODRIVER=dummy "$@" "$GAME_DIR/kelvane" >"$E2E_OUT/game.log" 2>&1) &
    GAME_PID=$!
    local window
    window=$(timeout 60 xdotool search --sync --name '^Kelvane$' | head -1)
    [ -n "$window" ] || fail "the game window did not appear: $(head -5 "$E2E_OUT/game.log")"
    xdotool windowfocus "$window" 2>/dev/null
    sleep 1
}

# wait_game SECONDS: waits for the game to end; its status in GAME_STATUS.
wait_game() {
    local i
    for i in $(seq $(($1 * 10))); do
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

# screenshot NAME: F10, then waits for a new "Saved-Screen-0.bmp" in the
# program's folder and keeps a copy as NAME.bmp.
screenshot() {
    local file=$GAME_DIR/Saved-Screen-0.bmp i
    rm -f "$file"
    key F10
    for i in $(seq 150); do
        if [ "$(stat -c %s "$file" 2>/dev/null)" = 1228854 ]; then
            sleep 0.2
            cp "$file" "$E2E_OUT/$1.bmp"
            return
        fi
        sleep 0.1
    done
    fail "F10 wrote no screenshot ($1)"
}

# capture NAME: the X screen as NAME.png, also kept under /tmp/e2e.
capture() {
    xwd -root -silent | $CONVERT xwd:- "$E2E_OUT/$1.png"
    cp "$E2E_OUT/$1.png" "$E2E_SHOTS/$E2E_NAME-$1.png"
}

# keep NAME: a BMP screenshot as PNG under /tmp/e2e.
keep() {
    $CONVERT "$E2E_OUT/$1.bmp" "$E2E_SHOTS/$E2E_NAME-$1.png"
}

image_of() {
    if [ -f "$E2E_OUT/$1.bmp" ]; then echo "$E2E_OUT/$1.bmp"; else echo "$E2E_OUT/$1.png"; fi
}

# pixel NAME X Y: RRGGBB.
pixel() {
    $CONVERT "$(image_of "$1")" -alpha off -format "%[hex:p{$2,$3}]" info:
}

expect_pixel() {
    local got
    got=$(pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "$1: pixel ($2, $3) is $got, not $4"
}

# count NAME X Y W H RRGGBB: pixels of exactly that colour in the rectangle.
count() {
    $CONVERT "$(image_of "$1")" -alpha off -crop "$4x$5+$2+$3" +repage -depth 8 txt:- |
        grep -c "#$6" || true
}

# text NAME X Y N RRGGBB: reads N characters of 8x8 text drawn in that colour
# with its first cell at (X, Y). A cell reads as the printable character
# with the most set bits whose every set bit is lit in the colour (so pixels
# of the same colour behind the text do not matter); otherwise a blank.
text() {
    {
        od -An -v -tu1 "$E2E_FONT"
        echo "--"
        $CONVERT "$(image_of "$1")" -alpha off -crop "$(($4 * 8))x8+$2+$3" +repage -depth 8 txt:- | tail -n +2
    } | awk -v n="$4" -v colour="#$5" '
        $1 == "--" { pixels = 1; next }
        !pixels { for (i = 1; i <= NF; i++) glyph[k++] = $i; next }
        $3 == colour { split($1, xy, "[,:]"); lit[xy[1] "," xy[2]] = 1 }
        END {
            for (cell = 0; cell < n; cell++) {
                best = " "; bestBits = 0
                for (c = 33; c <= 126; c++) {
                    bits = 0; ok = 1
                    for (b = 0; b < 64 && ok; b++)
                        if (int(glyph[c * 8 + int(b / 8)] / 2 ^ (7 - b % 8)) % 2 == 1) {
                            bits++
                            ok = (((cell * 8 + b % 8) "," int(b / 8)) in lit)
                        }
                    if (ok && bits > bestBits) { best = sprintf("%c", c); bestBits = bits }
                }
                printf "%s", best
            }
        }'
}

expect_text() {
    local got
    got=$(text "$1" "$2" "$3" "${#5}" "$4")
    [ "$got" = "$5" ] || fail "$1: text at ($2, $3) reads '$got', not '$5'"
}

# The score file's line as the game writes it: text padded with spaces to
# 127 characters and a NUL.
padded_line() {
    printf '%-127s\0' "$1"
}

# differ A B X Y W H: how many pixels of the rectangle differ between two
# pictures.
differ() {
    compare-im6.q16 -alpha off -metric AE "$(image_of "$1")[$5x$6+$3+$4]" "$(image_of "$2")[$5x$6+$3+$4]" null: 2>&1 |
        awk '{ printf "%d", $1 }'
}
