# The installed game: the build installed into a scratch DESTDIR, its files
# listed and validated, then the installed executable played by an
# unprivileged player and by root, each with a home of their own. F10 and a
# game played to its end write into the player's data folder, never under the
# prefix.
. "$(dirname "$0")/e2e_lib.bash"

DEST=$E2E_OUT/dest
DESTDIR=$DEST cmake --install "$(dirname "$E2E_BIN")" --prefix /usr >"$E2E_OUT/install.log" || fail "install failed"
listing() { (cd "$DEST" && find . "$@" | LC_ALL=C sort); }
icons=$(for s in 128 16 256 32 48 64; do echo "./usr/share/icons/hicolor/${s}x$s/apps/kelvane.png"; done)
[ "$(listing ! -type d)" = "./usr/games/kelvane
./usr/share/applications/kelvane.desktop
./usr/share/doc/kelvane/LICENSE
./usr/share/doc/kelvane/README.md
$icons
./usr/share/man/man6/kelvane.6
./usr/share/metainfo/io.github.kelvane.kelvane.metainfo.xml" ] || fail "installed: $(listing ! -type d)"
for s in 16 32 48 64 128 256; do
    got=$(identify-im6.q16 -format '%wx%h %[channels]' "$DEST/usr/share/icons/hicolor/${s}x$s/apps/kelvane.png")
    [ "$got" = "${s}x$s srgba" ] || fail "the ${s}x$s icon is $got"
done
out=$(desktop-file-validate "$DEST"/usr/share/applications/kelvane.desktop 2>&1) && [ -z "$out" ] || fail "$out"
out=$(appstreamcli validate --no-net "$DEST"/usr/share/metainfo/*.xml 2>&1) || fail "$out"
out=$(groff -ww -z -man "$DEST"/usr/share/man/man6/kelvane.6 2>&1) && [ -z "$out" ] || fail "groff: $out"
before=$(listing -printf ' %p %s %T@\n')

# play HOME DATA [setpriv ...]: the installed game from HOME with its data
# folder DATA (XDG_DATA_HOME is left empty unless DATA is outside HOME).
start_x
GAME_DIR=$DEST/usr/games
play() {
    local home=$1 data=$2 xdg=${2%/kelvane}; shift 2
    [ "$xdg" = "$home/.local/share" ] && xdg=
    mkdir -p "$home" && [ $# -gt 0 ] && chown nobody "$home"
    start_game HOME="$home" XDG_DATA_HOME="$xdg" "$@"
    key F10
    for i in $(seq 50); do [ "$(stat -c %s "$data/Saved-Screen-0.bmp" 2>/dev/null)" = 1228854 ] && break; sleep 0.1; done
    [ "$(stat -c %s "$data/Saved-Screen-0.bmp")" = 1228854 ] && [ "$(stat -c %a "$data")" = 700 ] ||
        fail "F10 wrote no screenshot in a private $data"
}

# An unprivileged player plays a game to its end: firing, turning a little
# now and then, until the name entry opens on the empty table's first line.
AS_NOBODY=()
[ "$(id -u)" -eq 0 ] && AS_NOBODY=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
play "$E2E_OUT/player" "$E2E_OUT/player/.local/share/kelvane" "${AS_NOBODY[@]}"
key Return
for shots in $(seq 500); do
    capture frame
    [ "$(pixel frame 443 211)" = 000080 ] && break
    case $((shots % 6)) in 2) xdotool keydown Left sleep 0.15 keyup Left ;; 5) xdotool keydown Right sleep 0.15 keyup Right ;; esac
    key space
done
xdotool type --delay 120 "Ann"
key Return Escape
wait_game 10
table=$E2E_OUT/player/.local/share/kelvane/Kelvane.scores
[ "$(stat -c %s "$table" 2>/dev/null)" = 1280 ] && grep -q " Ann " "$table" || fail "no table in the player's data folder"
note "a game over after $shots shots saved in the player's data folder"

# Root, with XDG_DATA_HOME set: its screenshot goes there too.
if [ "$(id -u)" -eq 0 ]; then
    play "$E2E_OUT/root" "$E2E_OUT/root-data/kelvane"
    key Escape
    wait_game 10
fi
[ "$(listing -printf ' %p %s %T@\n')" = "$before" ] || fail "something was written under the prefix"

version=$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
got=$(env -u DISPLAY timeout 10 "$DEST/usr/games/kelvane" --version 2>&1)
[ $? -eq 0 ] && [ "$got" = "Kelvane $version" ] || fail "--version printed '$got'"
