#!/usr/bin/env bash
# AFL++ campaigns on the fuzz targets, one target at a time on one core at
# the lowest priority (the machine is shared), in persistent mode. AFL++ runs
# a build without sanitizers, which is several times faster; afterwards every
# input it kept (and every crash) is replayed in a build with AddressSanitizer
# and UndefinedBehaviorSanitizer, and any report there counts as a finding.
# Prints one result line per target (and appends it to the results file).
#
#   fuzz/campaign.sh [options] [TARGET...]
#
#   -e EXECS    inputs to run per target (default 1000000)
#   -s SECONDS  stop a target after this long at the latest (default 7200)
#   -b BUILD    the fuzzing build (default build-afl-plain: TELVORA_FUZZ_ENGINE
#               without sanitizers)
#   -a BUILD    the replaying build (default build-afl: TELVORA_FUZZ_ENGINE
#               with the sanitizers); both are configured and built when missing
#   -o OUT      AFL++'s output folders, one per target (default /tmp/telvora-afl)
#   -r FILE     also append the result lines to FILE
#   -n          don't build: run the targets as they are
#   -c          continue a target's earlier campaign in OUT up to EXECS inputs
#               in all (AFL++ resumes its queue and its counts)
#   --grow      afterwards, minimise the grown queue with afl-cmin and add
#               the new small inputs to fuzz/corpus/TARGET (they replay as tests)
#   TARGET      names without fuzz_ (default: all)
#
# Result line: | target | inputs run | execs/s (AFL++) | execs/s (wall) |
#   seconds | queue | stability | crashes | hangs | sanitizer findings |
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
EXECS=1000000
SECONDS_MAX=7200
BUILD=$ROOT/build-afl-plain
SAN_BUILD=$ROOT/build-afl
OUT=/tmp/telvora-afl
RESULTS=
GROW=0
NOBUILD=0
CONTINUE=0
TARGETS=()
while [ $# -gt 0 ]; do
    case "$1" in
        -e) EXECS=$2; shift 2 ;;
        -s) SECONDS_MAX=$2; shift 2 ;;
        -b) BUILD=$2; shift 2 ;;
        -a) SAN_BUILD=$2; shift 2 ;;
        -o) OUT=$2; shift 2 ;;
        -r) RESULTS=$2; shift 2 ;;
        -n) NOBUILD=1; shift ;;
        -c) CONTINUE=1; shift ;;
        --grow) GROW=1; shift ;;
        -h|--help) sed -n '2,30p' "$0"; exit 0 ;;
        -*) echo "campaign: unknown option $1" >&2; exit 2 ;;
        *) TARGETS+=("$1"); shift ;;
    esac
done
if [ ${#TARGETS[@]} -eq 0 ]; then
    for f in "$ROOT"/fuzz/*_fuzz.cpp; do
        f=${f##*/}
        TARGETS+=("${f%_fuzz.cpp}")
    done
fi
# AFL++ from Debian, once (not among ./run's packages: only fuzzing needs it).
if ! command -v afl-fuzz >/dev/null; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends afl++ >/dev/null
fi

configure_and_build() {  # folder, sanitizers ON/OFF
    if [ ! -f "$1/build.ninja" ]; then
        cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVORA_FUZZ_ENGINE=ON \
              -DTELVORA_FUZZ_SANITIZE="$2" -DTELVORA_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
    fi
    nice -n 19 cmake --build "$1" -j 1 --target "${TARGETS[@]/#/fuzz_}" >/dev/null
}
if [ "$NOBUILD" = 0 ]; then
    configure_and_build "$BUILD" OFF
    configure_and_build "$SAN_BUILD" ON
fi

# Each target process keeps a scratch prefix; on tmpfs its writes and the
# registry's syncs cost little. Crashing inputs leave theirs behind.
SCRATCH=$(mktemp -d "${TELVORA_FUZZ_SCRATCH:-/dev/shm}/telvora-fuzz.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT

stat_of() { sed -n "s/^$1 *: //p" "$2"; }

for name in "${TARGETS[@]}"; do
    dir=$OUT/$name
    inputs=(-i "$ROOT/fuzz/corpus/$name")
    if [ "$CONTINUE" = 1 ] && [ -f "$dir/default/fuzzer_stats" ]; then
        inputs=(-i -)
    else
        rm -rf "$dir"
    fi
    mkdir -p "$dir" "$SCRATCH/$name"
    dict=()
    [ -f "$ROOT/fuzz/dict/$name.dict" ] && dict=(-x "$ROOT/fuzz/dict/$name.dict")
    TMPDIR=$SCRATCH/$name TELVORA_UI=headless AFL_NO_UI=1 AFL_SKIP_CPUFREQ=1 AFL_NO_AFFINITY=1 \
    AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 \
        nice -n 19 afl-fuzz "${inputs[@]}" -o "$dir" "${dict[@]}" -t 2000 \
        -E "$EXECS" -V "$SECONDS_MAX" -- "$BUILD/fuzz/fuzz_$name" >>"$dir/afl-fuzz.log" 2>&1 || true
    stats=$dir/default/fuzzer_stats
    if [ ! -f "$stats" ]; then
        echo "campaign: $name did not start, see $dir/afl-fuzz.log" >&2
        continue
    fi
    # AFL++'s own running time, which a continued campaign adds to.
    seconds=$(stat_of run_time "$stats")
    done_=$(stat_of execs_done "$stats")

    # Every kept input and every crash once more, with the sanitizers: in
    # batches, and one by one in a batch that fails.
    replay() {
        TMPDIR=$SCRATCH/$name TELVORA_UI=headless timeout 600 nice -n 19 \
            "$SAN_BUILD/fuzz/fuzz_$name" "$@" >>"$dir/sanitized-replay.log" 2>&1
    }
    findings=0
    mapfile -d '' kept < <(find "$dir/default/queue" "$dir/default/crashes" -maxdepth 1 \
                                -type f -name 'id:*' -print0)
    for ((i = 0; i < ${#kept[@]}; i += 200)); do
        batch=("${kept[@]:i:200}")
        replay "${batch[@]}" && continue
        for f in "${batch[@]}"; do
            replay "$f" && continue
            findings=$((findings + 1))
            echo "campaign: $name: sanitizer finding: $f" >&2
        done
    done

    line=$(printf '| fuzz_%s | %s | %s | %d | %s | %s | %s | %s | %s | %s |' "$name" "$done_" \
        "$(stat_of execs_per_sec "$stats")" "$(( done_ / (seconds > 0 ? seconds : 1) ))" \
        "$seconds" "$(stat_of corpus_count "$stats")" "$(stat_of stability "$stats")" \
        "$(stat_of saved_crashes "$stats")" "$(stat_of saved_hangs "$stats")" "$findings")
    echo "$line"
    [ -n "$RESULTS" ] && echo "$line" >>"$RESULTS"

    if [ "$GROW" = 1 ]; then
        # The queue minimised to the inputs that keep its coverage; the small
        # new ones join the checked-in corpus.
        rm -rf "$dir/cmin"
        # (AFL_ALLOW_TMP: the output folder is this script's own, in /tmp by default)
        TMPDIR=$SCRATCH/$name TELVORA_UI=headless AFL_SKIP_CPUFREQ=1 AFL_ALLOW_TMP=1 nice -n 19 \
            afl-cmin -i "$dir/default/queue" -o "$dir/cmin" -t 5000 -- "$BUILD/fuzz/fuzz_$name" \
            >"$dir/afl-cmin.log" 2>&1 || { echo "campaign: afl-cmin failed for $name" >&2; continue; }
        existing=$(sha1sum "$ROOT/fuzz/corpus/$name"/* 2>/dev/null | cut -c1-40)
        added=0
        for f in "$dir"/cmin/*; do
            [ -f "$f" ] && [ "$(stat -c %s "$f")" -le 4096 ] || continue
            sum=$(sha1sum "$f" | cut -c1-40)
            grep -q "$sum" <<<"$existing" && continue
            cp "$f" "$ROOT/fuzz/corpus/$name/grown-${sum:0:12}"
            added=$((added + 1))
        done
        echo "campaign: $name: $added inputs added to fuzz/corpus/$name"
    fi
done
