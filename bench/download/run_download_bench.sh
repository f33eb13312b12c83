#!/usr/bin/env bash
# Publishes a 20 MB and a 200 MB package on a local telvora-update-server and
# runs bench_download against each. usage: run_download_bench.sh BIN [RUNS]
set -euo pipefail
BIN=$1
RUNS=${2:-7}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/telvora-download-bench-XXXXXX")
trap 'kill "${server:-}" 2>/dev/null || true; rm -rf "$WORK"' EXIT
export TELVORA_PREFIX=$WORK/prefix TELVORA_UI=headless
for mb in 20 200; do
    mkdir -p "$WORK/pkg$mb/bench"
    head -c $((mb * 1024 * 1024)) /dev/urandom > "$WORK/pkg$mb/bench/data.bin"
    "$BIN/telvora-pack" "$WORK/p$mb.rar" "$WORK/pkg$mb/bench" >/dev/null
    "$BIN/telvora-update-server" publish "$WORK/server" --course bench --code "$(printf %08d "$mb")" \
        --archive "$WORK/p$mb.rar" >/dev/null
done
"$BIN/telvora-update-server" serve "$WORK/server" --listen 127.0.0.1:0 \
    > "$WORK/server.out" 2> "$WORK/server.log" &
server=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/server.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the update server did not start" >&2; exit 1; }
for mb in 20 200; do
    size=$(stat -c %s "$WORK/p$mb.rar")
    "$BIN/bench_download" "$port" "bench/$(printf %08d "$mb").rar" "$size" "$RUNS" "$WORK/runs"
done
