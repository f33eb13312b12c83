#!/usr/bin/env bash
# The installer's copy against `cp -r` on the same CD, on tmpfs and on disk.
#
# usage: run_install_bench.sh BIN_DIR
#   BENCH_RUNS       timed runs of each side per case (default 7)
#   BENCH_TMPFS      a tmpfs folder (default /dev/shm); empty: no tmpfs cases
#   BENCH_DISK       a folder on disk (default /var/tmp); empty: no disk cases
#   BENCH_SHAPES     which CDs (default "small mixed large")
#   BENCH_LARGE_MB   size of each of the 20 large files (default 10)
#
# Shapes (make_tree.py): 20,000 files of 1-8 KB; 2,000 mixed pages and media;
# 20 large files; each added to the sample course's first CD.
#
# Fair to cp:
# - each run writes into a folder that never held anything (no deletion
#   between runs: a delete on ext4 slows whichever copy comes next); the
#   folders of a case are deleted only after all its runs;
# - both sides are timed the same way: from start to end of the command,
#   no sync inside; a sync after each run, outside the time, so that neither
#   side pays for the other's writeback;
# - cp copies what the installer copies (the CD less its top-level
#   systeminfo folder); the installer also counts, patches the pages on this
#   last CD, shows progress (headless) and starts its registry and UI;
# - the two sides alternate which goes first;
# - the source is read once before, so both read a warm page cache.
# Figures are printed (min, median, max), never asserted.
set -euo pipefail

BIN=${1:?usage: run_install_bench.sh BIN_DIR}
BIN=$(cd "$BIN" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
RUNS=${BENCH_RUNS:-7}
SHAPES=${BENCH_SHAPES:-small mixed large}
LARGE_MB=${BENCH_LARGE_MB:-10}
for p in install telvora-setup telvora-sample-course telvora-reg; do
    [ -x "$BIN/$p" ] || { echo "bench: $BIN/$p is not built" >&2; exit 2; }
done
command -v python3 >/dev/null || { echo "bench: python3 is needed to make the CDs" >&2; exit 2; }
TIME=/usr/bin/time
[ -x "$TIME" ] || TIME=

WORKS=()
cleanup() { for w in "${WORKS[@]}"; do rm -rf "$w"; done; }
trap cleanup EXIT

now_ns() { date +%s%N; }

# Runs a command; prints "MS KB" (wall milliseconds, peak resident KB).
measure() {
    local out=$WORK/time.out t0 t1 status=0
    t0=$(now_ns)
    if [ -n "$TIME" ]; then
        "$TIME" -f '%M' -o "$out" "$@" >/dev/null 2>&1 || status=$?
    else
        "$@" >/dev/null 2>&1 || status=$?
        echo 0 >"$out"
    fi
    t1=$(now_ns)
    echo "$(((t1 - t0) / 1000000)) $(tail -n 1 "$out")"
    return $status
}

# A course folder for CD (installed to DEST/jsjyy01), set up as a one-CD
# course so that the run is a last CD. Prints the course folder.
prepare_course() {
    local cd=$1 dest=$2
    # Each run has a folder of its own, and telvora-setup refuses to put a
    # course installed elsewhere into another folder: the record of the
    # previous run's folder goes first (its files stay until the case ends).
    "$BIN/telvora-reg" delete 'HKCU\Software\Telvora\jsjyy01' /f >/dev/null 2>&1 || true
    "$BIN/telvora-setup" --prepare-only --cd-folder "$cd" --drive E: --dest "$dest" \
        --media yes --reinstall >/dev/null
    sed -i 's/^totalcd=2\r$/totalcd=1\r/' "$dest/jsjyy01/setup.ini"
    echo "$dest/jsjyy01"
}

stats() {  # min median max of the numbers on stdin
    sort -n | awk '{a[NR]=$1} END {print a[1], a[int((NR+1)/2)], a[NR]}'
}

run_case() {
    local where=$1 shape=$2 cd=$WORK/cd-$shape/cd1
    rm -rf "$WORK/cd-$shape"
    "$BIN/telvora-sample-course" "$WORK/cd-$shape" >/dev/null
    python3 "$HERE/make_tree.py" "$shape" "$cd" "$LARGE_MB"
    local count size
    count=$(find "$cd" -type f -not -path "$cd/systeminfo/*" | wc -l)
    size=$(du -sm --exclude=systeminfo "$cd" | cut -f1)
    find "$cd" -type f -exec cat {} + >/dev/null
    local top=()
    for e in "$cd"/* "$cd"/.[!.]*; do
        [ -e "$e" ] || continue
        [ "$(basename "$e" | tr A-Z a-z)" = systeminfo ] && continue
        top+=("$e")
    done
    local inst=() cps=() rss=() cprss=() i course r status
    for i in $(seq 1 "$RUNS"); do
        for side in $([ $((i % 2)) -eq 1 ] && echo "install cp" || echo "cp install"); do
            if [ "$side" = install ]; then
                course=$(prepare_course "$cd" "$WORK/$shape-i$i")
                sync
                status=0
                r=$(measure "$course/bin/install") || status=$?
                if [ "$status" -ne 243 ]; then
                    echo "bench: the installer ended with status $status (243 expected)" >&2
                    exit 1
                fi
                inst+=("${r% *}") rss+=("${r#* }")
            else
                mkdir -p "$WORK/$shape-c$i"
                sync
                r=$(measure cp -r "${top[@]}" "$WORK/$shape-c$i/")
                cps+=("${r% *}") cprss+=("${r#* }")
            fi
            sync
        done
    done
    rm -rf "$WORK/$shape"-[ic]*
    read -r imin imed imax < <(printf '%s\n' "${inst[@]}" | stats)
    read -r cmin cmed cmax < <(printf '%s\n' "${cps[@]}" | stats)
    printf 'bench: %-5s %-6s %6d files %5d MB  install %5d %5d %5d ms  cp -r %5d %5d %5d ms  ratio %.2f  peak RSS install %s KB, cp %s KB\n' \
        "$where" "$shape" "$count" "$size" "$imin" "$imed" "$imax" "$cmin" "$cmed" "$cmax" \
        "$(awk -v a="$imed" -v b="$cmed" 'BEGIN { print (b > 0 ? a / b : 0) }')" \
        "$(printf '%s\n' "${rss[@]}" | stats | cut -d' ' -f3)" \
        "$(printf '%s\n' "${cprss[@]}" | stats | cut -d' ' -f3)"
    printf 'bench:       runs: install %s | cp %s\n' "${inst[*]}" "${cps[*]}"
    rm -rf "$WORK/cd-$shape"
}

# One folder of 100,000 entries: peak memory only (the name cache may grow
# with the largest folder, not with the number of files in total).
wide_case() {
    local where=$1 cd=$WORK/cd-wide/cd1 course r status=0
    "$BIN/telvora-sample-course" "$WORK/cd-wide" >/dev/null
    python3 "$HERE/make_tree.py" wide "$cd"
    course=$(prepare_course "$cd" "$WORK/wide-i")
    r=$(measure "$course/bin/install") || status=$?
    echo "bench: $where  one folder of 100,000 entries: install $((${r% *})) ms (status $status), peak RSS ${r#* } KB"
    rm -rf "$WORK/cd-wide" "$WORK/wide-i"
}

echo "bench: $RUNS runs of each side per case, alternating; min median max"
for place in tmpfs disk; do
    base=$([ $place = tmpfs ] && echo "${BENCH_TMPFS-/dev/shm}" || echo "${BENCH_DISK-/var/tmp}")
    [ -n "$base" ] || continue
    WORK=$(mktemp -d "$base/telvora-bench-XXXXXX")
    WORKS+=("$WORK")
    export TELVORA_PREFIX=$WORK/prefix TELVORA_UI=headless TELVORA_MOUNTS_FILE=$WORK/mounts
    unset TELVORA_TRANSCRIPT TELVORA_SNAPSHOTS TELVORA_ANSWERS DISPLAY WAYLAND_DISPLAY
    : >"$TELVORA_MOUNTS_FILE"
    for shape in $SHAPES; do
        run_case "$place" "$shape"
    done
    [ "${BENCH_WIDE:-1}" = 1 ] && [ $place = tmpfs ] && wide_case "$place"
    rm -rf "$WORK"
done
