# Sudden death while the score table is saved: the driver saves two tables
# alternately in a tight loop and is killed with SIGKILL at a random moment,
# again and again. After every kill the score file must hold the complete old
# table or the complete new one.
#
# Run as: bash tests/fault_kill.sh <fault_save binary> <scratch dir> [kills]
set -u
DRIVER=$(readlink -f "$1") OUT=$2 KILLS=${3:-${FAULT_KILLS:-250}} PID=

fail() {
    echo "FAIL (fault_kill): $*" >&2
    exit 1
}
trap '[ -n "$PID" ] && kill -KILL "$PID" 2>/dev/null' EXIT
rm -rf "$OUT"
mkdir -p "$OUT"

# marker_field OFFSET BYTES: a field of the driver's marker file.
marker_field() {
    od -An -v -j "$1" -N "$2" -t "u$2" "$OUT/marker" 2>/dev/null | tr -d ' '
}

inside=0 saves=0 old=0 new=0
for k in $(seq "$KILLS"); do
    rm -f "$OUT/marker"
    "$DRIVER" "$OUT" 2>>"$OUT/driver.log" &
    PID=$!
    # Wait for the first finished save, then let it run a little longer.
    for _ in $(seq 400); do
        [ "$(marker_field 8 8)" -ge 1 ] 2>/dev/null || ! kill -0 "$PID" 2>/dev/null && break
        sleep 0.005
    done
    kill -0 "$PID" 2>/dev/null || { wait "$PID"; fail "kill $k: the driver ended by itself (status $?): $(tail -2 "$OUT/driver.log")"; }
    sleep "0.0$(printf '%02d' $((RANDOM % 40)))"
    kill -KILL "$PID"
    wait "$PID" 2>/dev/null
    PID= inside=$((inside + $(marker_field 0 1))) saves=$((saves + $(marker_field 8 8)))
    if cmp -s "$OUT/Kelvane.scores" "$OUT/old.scores"; then old=$((old + 1))
    elif cmp -s "$OUT/Kelvane.scores" "$OUT/new.scores"; then new=$((new + 1))
    else fail "kill $k: the score file ($(stat -c %s "$OUT/Kelvane.scores" 2>/dev/null || echo no) bytes) is neither table"; fi
done
echo "fault_kill: $KILLS kills, $inside of them inside SaveScores, $saves saves finished; the file held the old table $old times and the new one $new times"
# Nearly all of the loop is SaveScores: most kills must land in it, or this
# test is not testing what it says.
[ $((inside * 2)) -ge "$KILLS" ] || fail "only $inside of $KILLS kills landed inside SaveScores"
[ "$old" -gt 0 ] && [ "$new" -gt 0 ] || fail "the kills never left one of the tables ($old old, $new new)"
