#!/bin/bash
# present_bench.sh -- the game against a minimal SDL program that shows the
# same 640x480 picture every refresh the usual way (bench/present/minimal.cpp):
# CPU time per second on still screens, time from exec to the first frame on
# the screen, and the game's resident memory, side by side in one run.
#
#   bash bench/present_bench.sh <build dir> [seconds per CPU sample]
#
# Each runs under a private Xvfb at 1280x1024 (software OpenGL, as on a
# machine without a graphics driver) and with SDL's dummy drivers. CPU is
# read from /proc/PID/stat (user + system, every thread of the process).
# The probe preloaded into both (bench/present/probe.c) notes the first
# presented frame and, for the aiming rows, presses Enter once to start a
# game that then only aims.

set -u
BUILD=$(readlink -f "${1:-build}")
SECONDS_PER_SAMPLE=${2:-10}
GAME=$BUILD/kelvane
MINIMAL=$BUILD/present_minimal
MINIMAL_LIBS=$BUILD/present_minimal_libs  # the same, loading the game's libraries
PROBE=$BUILD/libpresent_probe.so
SETTLE=3          # seconds from start before a CPU sample
START_RUNS=7      # start-up runs of each program, medians compared
CPU_TARGET=0.15
START_TARGET=1.5
MEMORY_TARGET_MB=20
MOVING_TARGET=2.0

for f in "$GAME" "$MINIMAL" "$MINIMAL_LIBS" "$PROBE"; do
    [ -e "$f" ] || { echo "present_bench: missing $f (build kelvane, present_minimal*, present_probe)" >&2; exit 1; }
done
WORK=$(mktemp -d /tmp/present_bench.XXXXXX)
XVFB_PID=
RUN_PID=
cleanup() {
    [ -n "$RUN_PID" ] && kill -KILL "$RUN_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill -TERM "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
# The game runs from a folder of its own, so its score file stays there.
cp "$GAME" "$WORK/kelvane"
GAME=$WORK/kelvane
TICKS=$(getconf CLK_TCK)

start_xvfb() {
    : >"$WORK/display"
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    for _ in $(seq 100); do
        if [ -s "$WORK/display" ]; then
            DISPLAY=:$(head -1 "$WORK/display")
            export DISPLAY
            return 0
        fi
        sleep 0.1
    done
    return 1
}

stop_xvfb() {
    kill -TERM "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null
}

stop_run() {
    kill -TERM "$RUN_PID" 2>/dev/null
    for _ in $(seq 20); do kill -0 "$RUN_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$RUN_PID" 2>/dev/null
    wait "$RUN_PID" 2>/dev/null
    RUN_PID=
}

# cpu_share PROGRAM [VAR=value ...]: percent of one core the program uses
# per second once it has settled.
cpu_share() {
    local program=$1
    shift
    rm -f "$WORK/frames"
    env "$@" LD_PRELOAD="$PROBE" PROBE_FRAMES="$WORK/frames" "$program" >/dev/null 2>&1 &
    RUN_PID=$!
    sleep "$SETTLE"
    local t0 t1 f0 f1
    t0=$(cpu_ticks "$RUN_PID")
    f0=$(cat "$WORK/frames" 2>/dev/null)
    sleep "$SECONDS_PER_SAMPLE"
    t1=$(cpu_ticks "$RUN_PID")
    f1=$(cat "$WORK/frames" 2>/dev/null)
    stop_run
    # Presented frames a second over the sample, for the moving row.
    FPS=$(awk -v a="${f0:-0}" -v b="${f1:-0}" -v s="$SECONDS_PER_SAMPLE" 'BEGIN { printf "%.1f", b / s - a / s }')
    if [ -z "$t0" ] || [ -z "$t1" ]; then
        echo "nan"
        return
    fi
    awk -v a="$t0" -v b="$t1" -v s="$SECONDS_PER_SAMPLE" -v hz="$TICKS" 'BEGIN { printf "%.2f", 100 * (b - a) / hz / s }'
}

# start_time PROGRAM [VAR=value ...]: seconds from exec to the first frame.
start_time() {
    local program=$1
    shift
    rm -f "$WORK/start"
    env "$@" LD_PRELOAD="$PROBE" PROBE_OUT="$WORK/start" PROBE_EXIT=1 PROBE_START="$(date +%s%N)" \
        "$program" >/dev/null 2>&1
    cat "$WORK/start" 2>/dev/null || echo "nan"
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "nan" }'
}

# rows DRIVER [VAR=value ...]: the CPU and start-up rows for one driver.
rows() {
    local name=$1
    shift
    local minimal title aiming
    minimal=$(cpu_share "$MINIMAL" "$@")
    title=$(cpu_share "$GAME" "$@")
    aiming=$(cpu_share "$GAME" "$@" PROBE_ENTER_AFTER=1)
    printf "  %-6s CPU, still title    game %6.2f %%  minimal %6.2f %%  = %sx  (target <= %.2fx)\n" \
        "$name" "$title" "$minimal" "$(ratio "$title" "$minimal")" "$CPU_TARGET"
    printf "  %-6s CPU, aiming, no ball game %6.2f %%  minimal %6.2f %%  = %sx  (target <= %.2fx)\n" \
        "$name" "$aiming" "$minimal" "$(ratio "$aiming" "$minimal")" "$CPU_TARGET"
    local i game_starts="" minimal_starts="" libs_starts=""
    for i in $(seq "$START_RUNS"); do
        minimal_starts+="$(start_time "$MINIMAL" "$@") "
        game_starts+="$(start_time "$GAME" "$@") "
        libs_starts+="$(start_time "$MINIMAL_LIBS" "$@") "
    done
    local g m l
    g=$(echo "$game_starts" | tr ' ' '\n' | grep . | median)
    m=$(echo "$minimal_starts" | tr ' ' '\n' | grep . | median)
    l=$(echo "$libs_starts" | tr ' ' '\n' | grep . | median)
    printf "  %-6s start to first frame game %6.3f s  minimal %6.3f s  = %sx  (target <= %.1fx)\n" \
        "$name" "$g" "$m" "$(ratio "$g" "$m")" "$START_TARGET"
    printf "         minimal loading the game's libraries %6.3f s = %sx of minimal, the game %sx of it\n" \
        "$l" "$(ratio "$l" "$m")" "$(ratio "$g" "$l")"
    printf "         (game runs: %s; minimal runs: %s)\n" "$game_starts" "$minimal_starts"
}

# The game's resident memory on the dummy drivers, by what it maps.
memory() {
    env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$GAME" >/dev/null 2>&1 &
    RUN_PID=$!
    sleep "$SETTLE"
    local rss
    rss=$(awk '/^Rss:/ { print $2 }' "/proc/$RUN_PID/smaps_rollup")
    printf "  dummy  resident memory %.1f MB  (target <= %d MB where the cost is ours)\n" \
        "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" "$MEMORY_TARGET_MB"
    awk '
        /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6) ? $6 : "[anonymous]"; sub(".*/", "", name); next }
        /^Rss:/ { rss[name] += $2 }
        END { for (n in rss) if (rss[n] >= 256) printf "    %8.1f MB  %s\n", rss[n] / 1024, n }
    ' "/proc/$RUN_PID/smaps" | sort -rn | head -12
    stop_run
    # The same window and display without the game, for what is SDL's, and
    # with the game's libraries loaded too.
    local program
    for program in "$MINIMAL" "$MINIMAL_LIBS"; do
        env SDL_VIDEODRIVER=dummy "$program" >/dev/null 2>&1 &
        RUN_PID=$!
        sleep "$SETTLE"
        rss=$(awk '/^Rss:/ { print $2 }' "/proc/$RUN_PID/smaps_rollup")
        printf "  dummy  resident memory of %s %.1f MB\n" "$(basename "$program")" \
            "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
        stop_run
    done
}

# A moving picture at 1920x1080, filled sharp (2.25 times): a ball in flight
# most of the time, fired every fifth of a second. The game should present every
# refresh and cost at most twice the minimal program showing its picture.
moving() {
    local minimal game minimalFps
    cpu_share "$MINIMAL" "$@" >"$WORK/minimal-cpu"  # (not in a subshell: FPS is kept)
    minimal=$(cat "$WORK/minimal-cpu")
    minimalFps=$FPS
    cpu_share "$GAME" "$@" PROBE_ENTER_AFTER=1 PROBE_FIRE_EVERY=0.2 >"$WORK/game-cpu"
    game=$(cat "$WORK/game-cpu")
    printf "  Xvfb   CPU, ball in flight, 1920x1080 fill  game %6.2f %%  minimal %6.2f %%  = %sx  (target <= %.1fx)\n" \
        "$game" "$minimal" "$(ratio "$game" "$minimal")" "$MOVING_TARGET"
    printf "         presented frames a second  game %s  minimal %s  (target 60)\n" "$FPS" "$minimalFps"
}

echo
echo "Showing frames: the game against the minimal SDL program, same run (load: $(cut -d' ' -f1-3 /proc/loadavg))"
if command -v Xvfb >/dev/null && start_xvfb; then
    rows "Xvfb" SDL_AUDIODRIVER=dummy
    stop_xvfb
    start_xvfb 1920x1080 && moving SDL_AUDIODRIVER=dummy
    stop_xvfb
else
    echo "  Xvfb   (not installed: its rows are left out)"
fi
unset DISPLAY
rows "dummy" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
memory
