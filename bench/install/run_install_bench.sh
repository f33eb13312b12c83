#!/usr/bin/env bash
# The installer's copy against `cp -r` on the same CD.
#
# usage: run_install_bench.sh BIN_DIR [WORK_DIR]
#   BENCH_FILES, BENCH_MEGABYTES  size of the large CD (default 5000 files, 200 MB)
#   BENCH_RUNS                    timed runs of each (default 7; the median counts)
#
# A large sample CD is made once; each run installs it into a fresh course
# folder with the real installer, headless (its counting walk, copy walk,
# progress notices and page patching included: the course is set up as a
# one-CD course so that the run is a last CD), and copies it with cp -r into
# a fresh folder. Both read a warm page cache and are timed until their
# writes are on disk. Peak memory of the installer
# is measured on the large CD and on a small one: it should not grow with the
# number of files. Figures are printed, never asserted.
set -euo pipefail

BIN=${1:?usage: run_install_bench.sh BIN_DIR [WORK_DIR]}
BIN=$(cd "$BIN" && pwd)
FILES=${BENCH_FILES:-5000}
MEGABYTES=${BENCH_MEGABYTES:-200}
RUNS=${BENCH_RUNS:-7}
for p in install telvora-setup telvora-sample-course; do
    [ -x "$BIN/$p" ] || { echo "bench: $BIN/$p is not built" >&2; exit 2; }
done

if [ -n "${2:-}" ]; then
    WORK=$2
    mkdir -p "$WORK"
else
    WORK=$(mktemp -d /tmp/telvora-bench-XXXXXX)
    trap 'rm -rf "$WORK"' EXIT
fi
WORK=$(cd "$WORK" && pwd)

export TELVORA_PREFIX=$WORK/prefix
export TELVORA_UI=headless
export TELVORA_MOUNTS_FILE=$WORK/mounts
unset TELVORA_TRANSCRIPT TELVORA_SNAPSHOTS TELVORA_ANSWERS DISPLAY WAYLAND_DISPLAY
: > "$TELVORA_MOUNTS_FILE"

now_ns() { date +%s%N; }

# Peak resident set size in KB of a command, printed on fd 3; the command's
# exit status is returned.
peak_kb() {
    if [ -x /usr/bin/time ]; then
        local out=$WORK/time.out status=0
        /usr/bin/time -f '%M' -o "$out" "$@" || status=$?
        tail -n 1 "$out" >&3
        return $status
    elif command -v python3 >/dev/null; then
        python3 - "$@" 3>&3 <<'PY'
import resource, subprocess, sys, os
status = subprocess.call(sys.argv[1:])
os.write(3, b"%d\n" % resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
sys.exit(status)
PY
    else
        echo "n/a" >&3
        "$@"
    fi
}

# A course folder ready for the installer, with CD 1 of SAMPLE in E:, set up
# as the last CD. Prints the course folder.
prepare_course() {
    local sample=$1 dest=$2
    "$BIN/telvora-setup" --prepare-only --cd-folder "$sample/cd1" --drive E: --dest "$dest" \
        --media yes --reinstall >/dev/null
    local course=$dest/jsjyy01
    sed -i 's/^totalcd=2\r$/totalcd=1\r/' "$course/setup.ini"
    echo "$course"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "bench: making a CD of $FILES extra files, $MEGABYTES MB in $WORK"
"$BIN/telvora-sample-course" "$WORK/large" --files "$FILES" --megabytes "$MEGABYTES" >/dev/null
"$BIN/telvora-sample-course" "$WORK/small" >/dev/null
CD=$WORK/large/cd1
COUNT=$(find "$CD" -type f | wc -l)
SIZE=$(du -sm "$CD" | cut -f1)
# Warm the page cache so that both sides read from memory.
find "$CD" -type f -exec cat {} + >/dev/null

# Milliseconds a command takes, its writes flushed to disk included (sync
# before and after), so that neither side leaves its writeback to the other.
# The command's peak RSS goes to the file $WORK/last.rss.
timed_ms() {
    sync
    local t0 t1 status=0
    t0=$(now_ns)
    peak_kb "$@" 3>"$WORK/last.rss" >/dev/null 2>&1 || status=$?
    sync
    t1=$(now_ns)
    echo $(( (t1 - t0) / 1000000 ))
    return $status
}

install_times=() cp_times=() install_rss=()
run_install() {
    local i=$1 course ms status=0
    course=$(prepare_course "$WORK/large" "$WORK/run-$i")
    ms=$(timed_ms "$course/bin/install") || status=$?
    if [ "$status" -ne 243 ]; then
        echo "bench: the installer ended with status $status (243 expected)" >&2
        exit 1
    fi
    install_times+=("$ms")
    install_rss+=("$(cat "$WORK/last.rss")")
    rm -rf "$WORK/run-$i"
}
run_cp() {
    local i=$1
    mkdir -p "$WORK/cp-$i"
    cp_times+=("$(timed_ms cp -r "$CD" "$WORK/cp-$i/cd1")")
    rm -rf "$WORK/cp-$i"
}
# Alternate which goes first, so that neither always meets the other's
# leftovers.
for i in $(seq 1 "$RUNS"); do
    if [ $((i % 2)) -eq 1 ]; then
        run_install "$i"
        run_cp "$i"
    else
        run_cp "$i"
        run_install "$i"
    fi
done

course=$(prepare_course "$WORK/small" "$WORK/small-run")
timed_ms "$course/bin/install" >/dev/null || true
small_rss=$(cat "$WORK/last.rss")
SMALL_COUNT=$(find "$WORK/small/cd1" -type f | wc -l)

INSTALL_MS=$(printf '%s\n' "${install_times[@]}" | median)
CP_MS=$(printf '%s\n' "${cp_times[@]}" | median)
echo "bench: CD 1: $COUNT files, $SIZE MB; $RUNS runs each, median"
echo "bench: install (headless, media copied): ${INSTALL_MS} ms   runs: ${install_times[*]}"
echo "bench: cp -r:                           ${CP_MS} ms   runs: ${cp_times[*]}"
awk -v a="$INSTALL_MS" -v b="$CP_MS" 'BEGIN { if (b > 0) printf "bench: ratio install / cp -r = %.2f (goal <= 1.15)\n", a / b }'
echo "bench: installer peak RSS: ${install_rss[0]} KB with $COUNT files, ${small_rss} KB with $SMALL_COUNT files"
