#!/usr/bin/env bash
# telvora-update-server beside nginx (configured in a folder of its own) on
# one published folder, on the loopback address. Each measure runs RUNS
# times, nginx and the server taking turns (who goes first alternates), and
# prints min / median / max:
#   archive   a 1 MB archive, 100 clients: requests/s, p99, errors, CPU per
#             request of each server's processes (goal: at most 1.5x nginx's)
#   query     the update query, 500 clients, against nginx sending a static
#             file of the same size (goal: no error, at least 0.3x its rate)
#   logins    200 students' first logins at once (own accounts, own
#             addresses) while a signed-in client queries: time to the last
#             login, the client's p99 (goal: at most 100 ms)
#   index     the query over 10,000 published packages against one, both
#             answering one package (goal: at most 1.5x)
# usage: run_server_bench.sh BIN LOGIN_BURST [RUNS] [SERVER]
#   BIN          the build's bin/ (telvora-update-server)
#   LOGIN_BURST  the bench_login_burst program
#   SERVER       another telvora-update-server to measure (an older build)
set -euo pipefail
BIN=$1
BURST=$2
RUNS=${3:-3}
SERVER=${4:-$BIN/telvora-update-server}
SECONDS_PER=${BENCH_SECONDS:-5}

for tool in nginx wrk; do
    if ! command -v "$tool" >/dev/null && [ ! -x "/usr/sbin/$tool" ]; then
        echo "run_server_bench.sh: $tool is missing: apt-get install nginx wrk" >&2
        exit 2
    fi
done
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
ulimit -n 65536 2>/dev/null || ulimit -n "$(ulimit -Hn)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/telvora-server-bench-XXXXXX")
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    [ -f "$WORK/nginx/nginx.pid" ] && kill "$(cat "$WORK/nginx/nginx.pid")" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

# The folders: public/ (the archive, the query, 10,000 packages against one)
# and accounts/ (201 accounts, for the logins).
printf 'Rar!\032\007\000' > "$WORK/a.rar"
head -c $((1024 * 1024 - 7)) /dev/urandom >> "$WORK/a.rar"
"$SERVER" publish "$WORK/public" --course bench --code 00000001 --archive "$WORK/a.rar" >/dev/null
"$SERVER" publish "$WORK/public" --course one --code 00000001 --archive "$WORK/a.rar" >/dev/null
mkdir -p "$WORK/public/courses/big"
{
    echo "# Published packages of this course, oldest first: CODE SIZE"
    for i in $(seq 1 10000); do printf '%08d 1048576\n' $((10000000 + i)); done
} > "$WORK/public/courses/big/index.txt"
"$SERVER" publish "$WORK/accounts" --course bench --code 00000001 --archive "$WORK/a.rar" >/dev/null
echo "run_server_bench.sh: making 201 accounts (600,000 PBKDF2 iterations each)..." >&2
seq 0 200 | xargs -P "$(nproc)" -I{} sh -c \
    'echo "pw-{}" | "$0" user "$1" add "user{}" >/dev/null' "$SERVER" "$WORK/accounts"

QUERY="/rdcenter/newweb/sql.asp?fileid=bench&versnumber=0&userid=a"
ARCHIVE="/rdcenter/newweb/bench/00000001.rar"

start_server() {  # DIR
    : > "$WORK/server.out"
    "$SERVER" serve "$1" --listen 127.0.0.1:0 > "$WORK/server.out" 2> "$WORK/server.log" &
    server=$!
    port=
    for _ in $(seq 200); do
        port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/server.out")
        [ -n "$port" ] && break
        sleep 0.05
    done
    [ -n "$port" ] || { echo "the update server did not start" >&2; cat "$WORK/server.log" >&2; exit 1; }
}
stop_server() {
    kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true
    server=
}

# nginx with Debian's defaults where they matter (workers per core,
# sendfile), the archive under /static/ and a file the size of the query's
# answer.
start_server "$WORK/public"
curl -s "http://127.0.0.1:$port$QUERY" > "$WORK/query.html"
stop_server
mkdir -p "$WORK/nginx/static" && cp "$WORK/query.html" "$WORK/nginx/static/query.html"
cp "$WORK/a.rar" "$WORK/nginx/static/a.rar"
NGINX_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$WORK/nginx/nginx.conf" <<EOF
worker_processes auto;
$( [ "$(id -u)" = 0 ] && echo "user root;" )
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
events { worker_connections 4096; }
http {
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 65;
    access_log $WORK/nginx/access.log;
    client_body_temp_path $WORK/nginx/body;
    proxy_temp_path $WORK/nginx/proxy;
    fastcgi_temp_path $WORK/nginx/fastcgi;
    uwsgi_temp_path $WORK/nginx/uwsgi;
    scgi_temp_path $WORK/nginx/scgi;
    server {
        listen 127.0.0.1:$NGINX_PORT;
        location /static/ { alias $WORK/nginx/static/; }
    }
}
EOF
"$NGINX" -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf"
for _ in $(seq 100); do [ -s "$WORK/nginx/nginx.pid" ] && break; sleep 0.05; done

# CPU ticks (user + system) of a process and its children threads.
ticks() {
    local total=0 p
    for p in "$@"; do
        total=$((total + $(awk '{print $14 + $15}' "/proc/$p/stat")))
    done
    echo "$total"
}
nginx_pids() {
    local master
    master=$(cat "$WORK/nginx/nginx.pid")
    echo "$master $(pgrep -P "$master" | tr '\n' ' ')"
}

# One wrk run: prints "rps p99_ms errors cpu_us_per_request".
measure() {  # CONNECTIONS URL PIDS...
    local conns=$1 url=$2
    shift 2
    local before after out rps p99 errors requests hz
    hz=$(getconf CLK_TCK)
    before=$(ticks "$@")
    out=$(wrk -t 2 -c "$conns" -d "${SECONDS_PER}s" --latency "$url" 2>&1)
    after=$(ticks "$@")
    rps=$(awk '/^Requests\/sec/ {print $2}' <<< "$out")
    requests=$(awk '/requests in/ {print $1}' <<< "$out")
    p99=$(awk '$1 == "99%" {v=$2; if (v ~ /us$/) {sub("us","",v); v/=1000} else if (v ~ /ms$/) {sub("ms","",v)} else if (v ~ /s$/) {sub("s","",v); v*=1000}; print v}' <<< "$out")
    errors=$(awk '/Socket errors/ {gsub(",",""); s=$4+$6+$8+$10} /Non-2xx/ {n=$5} END {print s+n+0}' <<< "$out")
    echo "$rps ${p99:-0} $errors $(( (after - before) * 1000000 / hz / (requests > 0 ? requests : 1) ))"
}

declare -A results
add() { results[$1]+="$2 "; }

for run in $(seq 1 "$RUNS"); do
    echo "run_server_bench.sh: run $run of $RUNS" >&2
    start_server "$WORK/public"
    order="nginx server"
    [ $((run % 2)) = 0 ] && order="server nginx"
    for who in $order; do
        if [ "$who" = nginx ]; then
            read -r rps p99 err cpu <<< "$(measure 100 "http://127.0.0.1:$NGINX_PORT/static/a.rar" $(nginx_pids))"
            add archive_nginx_rps "$rps"; add archive_nginx_p99 "$p99"; add archive_nginx_err "$err"; add archive_nginx_cpu "$cpu"
            read -r rps p99 err cpu <<< "$(measure 500 "http://127.0.0.1:$NGINX_PORT/static/query.html" $(nginx_pids))"
            add query_nginx_rps "$rps"; add query_nginx_p99 "$p99"; add query_nginx_err "$err"
        else
            read -r rps p99 err cpu <<< "$(measure 100 "http://127.0.0.1:$port$ARCHIVE" "$server")"
            add archive_server_rps "$rps"; add archive_server_p99 "$p99"; add archive_server_err "$err"; add archive_server_cpu "$cpu"
            read -r rps p99 err cpu <<< "$(measure 500 "http://127.0.0.1:$port$QUERY" "$server")"
            add query_server_rps "$rps"; add query_server_p99 "$p99"; add query_server_err "$err"
        fi
    done
    # 10,000 packages against one; both answers list one package.
    order="big one"
    [ $((run % 2)) = 0 ] && order="one big"
    for course in $order; do
        vers=0
        [ "$course" = big ] && vers=10009999
        read -r rps p99 err cpu <<< "$(measure 50 "http://127.0.0.1:$port/rdcenter/newweb/sql.asp?fileid=$course&versnumber=$vers" "$server")"
        add "index_${course}_rps" "$rps"; add "index_${course}_err" "$err"
    done
    stop_server
    # A fresh server: no login is known yet.
    start_server "$WORK/accounts"
    line=$("$BURST" "$port" 200)
    stop_server
    for kv in $line; do add "logins_${kv%%=*}" "${kv#*=}"; done
done

stats() {  # values... -> "min / median / max"
    printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {printf "%s / %s / %s", v[1], v[int((NR+1)/2)], v[NR]}'
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
show() {  # LABEL KEY
    # shellcheck disable=SC2086
    printf '  %-44s %s\n' "$1" "$(stats ${results[$2]})"
}
ratio() {  # LABEL KEY_A KEY_B: median(a) / median(b)
    # shellcheck disable=SC2086
    printf '  %-44s %.2fx\n' "$1" "$(awk -v a="$(median ${results[$2]})" -v b="$(median ${results[$3]})" 'BEGIN {print (b > 0 ? a / b : 0)}')"
}

echo "telvora-update-server ($SERVER) beside nginx, $RUNS runs of ${SECONDS_PER}s each, min / median / max"
echo "1 MB archive, 100 clients:"
show "nginx requests/s" archive_nginx_rps
show "server requests/s" archive_server_rps
show "nginx p99 ms" archive_nginx_p99
show "server p99 ms" archive_server_p99
show "nginx errors" archive_nginx_err
show "server errors" archive_server_err
show "nginx CPU us/request" archive_nginx_cpu
show "server CPU us/request" archive_server_cpu
ratio "server CPU per request / nginx's (goal <= 1.5)" archive_server_cpu archive_nginx_cpu
echo "query, 500 clients (nginx: a static file of the same size):"
show "nginx requests/s" query_nginx_rps
show "server requests/s" query_server_rps
show "nginx p99 ms" query_nginx_p99
show "server p99 ms" query_server_p99
show "nginx errors" query_nginx_err
show "server errors" query_server_err
ratio "server requests/s / nginx's (goal >= 0.3)" query_server_rps query_nginx_rps
echo "200 first logins while a signed-in client queries:"
show "time to the last login ms" logins_last_login_ms
show "login errors" logins_login_errors
show "signed-in client p99 ms (goal <= 100)" logins_client_p99_ms
show "signed-in client max ms" logins_client_max_ms
show "signed-in client errors" logins_client_errors
echo "query, 50 clients, 10,000 packages against one:"
show "one package requests/s" index_one_rps
show "10,000 packages requests/s" index_big_rps
ratio "time per query, 10,000 / one (goal <= 1.5)" index_one_rps index_big_rps
