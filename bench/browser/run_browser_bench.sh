#!/usr/bin/env bash
# The course browser on the installed sample course, offscreen: the time from
# its start to the frameset's first paint (the latest first contentful paint
# of the page and its frames), the median time of a synchronous call of the
# update control from a page (GetCdDrive, 50 calls a run), and the memory of
# all the browser's processes (its own, the web engine's, the control host)
# once the frameset is shown.
#
# usage: run_browser_bench.sh BIN_DIR
#   BENCH_RUNS   runs (default 7); each run is a fresh browser, min median max printed
# Figures are printed, never asserted.
set -euo pipefail

BIN=${1:?usage: run_browser_bench.sh BIN_DIR}
BIN=$(cd "$BIN" && pwd)
RUNS=${BENCH_RUNS:-7}
for p in telvora-browser telvora-ocx telvora-setup telvora-sample-course install libcorvane.so; do
    [ -e "$BIN/$p" ] || { echo "bench: $BIN/$p is not built" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/telvora-browser-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export TELVORA_PREFIX=$WORK/prefix TELVORA_UI=headless TELVORA_MOUNTS_FILE=$WORK/mounts
export XDG_DATA_HOME=$WORK/data QT_QPA_PLATFORM=offscreen
unset TELVORA_TRANSCRIPT TELVORA_SNAPSHOTS DISPLAY WAYLAND_DISPLAY
[ -n "${XDG_RUNTIME_DIR:-}" ] || { export XDG_RUNTIME_DIR=$WORK/runtime; mkdir -m 700 "$XDG_RUNTIME_DIR"; }
: >"$TELVORA_MOUNTS_FILE"
"$BIN/telvora-sample-course" "$WORK/sample" >/dev/null
printf 'dialog 138 : insert E: "%s" ; press 1\n' "$WORK/sample/cd2" >"$WORK/answers.txt"
TELVORA_ANSWERS=$WORK/answers.txt "$BIN/telvora-setup" --cd-folder "$WORK/sample/cd1" --drive E: \
    --dest "$WORK/courses" --media yes --no-menu-entry >/dev/null
COURSE=$WORK/courses/jsjyy01
ln -sfn "$WORK/sample/cd2" "$TELVORA_PREFIX/drives/e:"
"$BIN/telvora-reg" add 'HKLM\Software\Telvora\Drives' /v e: /d cdrom /f >/dev/null

# KB of a process tree: resident and proportional (shared pages divided
# among their sharers).
tree_of() {
    local pid=$1 child
    echo "$pid"
    for child in $(ps -o pid= --ppid "$pid" 2>/dev/null); do tree_of "$child"; done
}
memory_of() {
    local rss=0 pss=0 p
    for p in $(tree_of "$1"); do
        rss=$((rss + $(awk '/^Rss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
        pss=$((pss + $(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
    done
    echo "$rss $pss"
}

stats() {  # min median max of the numbers on stdin
    sort -n | awk '{a[NR]=$1} END {print a[1], a[int((NR+1)/2)], a[NR]}'
}

paints=() calls=() rsss=() psss=()
for i in $(seq 1 "$RUNS"); do
    script=$WORK/steps-$i.txt
    cat >"$script" <<STEPS
[index.htm]
wait-load 60
wait 30 navbar typeof UpDate !== 'undefined'
paint
js navbar (function () { var t = []; for (var i = 0; i < 50; ++i) { var a = performance.now(); UpDate.GetCdDrive(); t.push(performance.now() - a); } t.sort(function (a, b) { return a - b; }); return t[25]; })()
js top 'measure'
wait-file 60 $WORK/measured-$i
quit
STEPS
    start=$(date +%s%3N)
    TELVORA_BROWSER_SCRIPT=$script "$BIN/telvora-browser" "$COURSE/index.htm" \
        >"$WORK/out-$i.txt" 2>"$WORK/err-$i.txt" &
    browser=$!
    for _ in $(seq 600); do
        grep -q '^js: "measure"' "$WORK/out-$i.txt" 2>/dev/null && break
        kill -0 "$browser" 2>/dev/null || break
        sleep 0.1
    done
    read -r rss pss < <(memory_of "$browser")
    touch "$WORK/measured-$i"
    wait "$browser" || { echo "bench: the browser failed:" >&2; cat "$WORK/err-$i.txt" >&2; exit 1; }
    paint=$(sed -n 's/^paint: //p' "$WORK/out-$i.txt")
    call=$(sed -n '2,$ s/^js: \([0-9.]*\)$/\1/p' "$WORK/out-$i.txt" | head -n 1)
    paints+=("$((paint - start))") calls+=("$(printf "%.2f" "$call")") rsss+=("$rss") psss+=("$pss")
done
read -r pmin pmed pmax < <(printf '%s\n' "${paints[@]}" | stats)
read -r cmin cmed cmax < <(printf '%s\n' "${calls[@]}" | stats)
read -r rmin rmed rmax < <(printf '%s\n' "${rsss[@]}" | stats)
read -r smin smed smax < <(printf '%s\n' "${psss[@]}" | stats)
echo "bench: $RUNS runs of the course browser on the sample course, offscreen; min median max"
echo "bench: start to the frameset's first paint: $pmin $pmed $pmax ms (goal: at most 1500)"
echo "bench: a synchronous control call from a page (median of 50): $cmin $cmed $cmax ms (goal: at most 5)"
echo "bench: memory of all its processes: RSS $((rmin / 1024)) $((rmed / 1024)) $((rmax / 1024)) MB, PSS $((smin / 1024)) $((smed / 1024)) $((smax / 1024)) MB"
