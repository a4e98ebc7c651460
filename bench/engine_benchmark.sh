#!/usr/bin/env bash
# Downloads one large file from nginx on loopback with the transfer engine and
# with curl, wget and aria2c, compares every copy with cmp, and prints MiB/s,
# CPU seconds and peak memory for each. Runs three setups:
#   loopback  the full file, nothing in the way
#   capped    a server limited to 2 MB/s per connection, 4 connections against 1
#   slow link 100 Mbit/s with a 40 ms round trip, through bench's delay relay
# Usage: bench/engine_benchmark.sh <build dir> [size in MiB, default 1024]
# BENCH_RUNS=n measures each client n times and keeps the median rate;
# BENCH_SETS picks the setups (default "loopback capped slow"), BENCH_SLOW_MIB
# the file's size on the slow link (default 256).
set -euo pipefail

build=$(realpath "${1:?build dir}")
size_mib=${2:-1024}
engine="$build/bench/engine_download"
work=${BENCH_WORK:-/tmp/engine-bench}
mkdir -p "$work/www" "$work/out" "$work/nginx"

make_file() {  # name, MiB
    [ -f "$work/www/$1" ] && [ "$(stat -c %s "$work/www/$1")" -eq $(($2 << 20)) ] && return
    head -c $(($2 << 20)) /dev/urandom > "$work/www/$1"
}

start_nginx() {  # port
    cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    client_body_temp_path $work/nginx;
    proxy_temp_path $work/nginx;
    fastcgi_temp_path $work/nginx;
    uwsgi_temp_path $work/nginx;
    scgi_temp_path $work/nginx;
    server {
        listen 127.0.0.1:$1;
        root $work/www;
        location /capped/ { alias $work/www/; limit_rate 2m; }
    }
}
CONF
    nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 50); do
        curl -s -o /dev/null "http://127.0.0.1:$1/" && return
        sleep 0.1
    done
}

stop_nginx() {
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
}

# name, then the command; the command writes $work/out/copy. Each run starts
# with the previous copy gone and written out, so that its write-back does not
# fall into the next run.
measure() {
    local name=$1; shift
    local rates=() line=""
    for _ in $(seq "${BENCH_RUNS:-1}"); do
        rm -f "$work/out/copy"
        sync
        /usr/bin/time -f "%e %U %S %M" -o "$work/out/time" "$@" >/dev/null 2>"$work/out/stderr" || {
            echo "$name: failed"; tail -3 "$work/out/stderr"; return; }
        read -r elapsed user system peak < "$work/out/time"
        local same=identical
        cmp -s "$work/out/copy" "$source" || same=DIFFERENT
        local rate cpu
        rate=$(awk -v m="$mib" -v e="$elapsed" 'BEGIN { printf "%.1f", m / e }')
        cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
        line=$(printf "%-28s %9s MiB/s %7s s CPU %8s KiB peak  %s" "$name" "$rate" "$cpu" "$peak" "$same")
        echo "$line"
        rates+=("$rate")
    done
    results[$name]=$(printf "%s\n" "${rates[@]}" | sort -g | awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }')
    [ "${BENCH_RUNS:-1}" -gt 1 ] && echo "$name: median ${results[$name]} MiB/s"
    return 0
}

run_set() {  # label, url prefix, connection counts to try for the engine
    local label=$1 url=$2
    echo "== $label: $(basename "$source"), $mib MiB"
    measure "engine 1x1024 (program)" "$engine" "$url" "$work/out/copy" 1 1024
    measure "engine 1x20480" "$engine" "$url" "$work/out/copy" 1 20480
    measure "engine 4x20480" "$engine" "$url" "$work/out/copy" 4 20480
    measure "curl" curl -s -o "$work/out/copy" "$url"
    measure "wget" wget -q -O "$work/out/copy" "$url"
    measure "aria2c -x1" aria2c -q -x1 -s1 --allow-overwrite=true -d "$work/out" -o copy "$url"
    measure "aria2c -x4" aria2c -q -x4 -s4 --min-split-size=1M --allow-overwrite=true -d "$work/out" -o copy "$url"
    awk -v a="${results[engine 1x20480]:-0}" -v b="${results[engine 1x1024 (program)]:-0}" \
        -v c="${results[curl]:-1}" 'BEGIN { printf "engine/curl: %.2f at 20480, %.2f at 1024\n", a / c, b / c }'
}

declare -A results
port=18080
relay_port=18081
big=big-$size_mib.bin
make_file "$big" "$size_mib"
source="$work/www/$big"; mib=$size_mib
start_nginx $port
relay_pid=""
trap 'stop_nginx; [ -n "$relay_pid" ] && kill "$relay_pid" 2>/dev/null' EXIT
sets=${BENCH_SETS:-loopback capped slow}
[[ $sets == *loopback* ]] && run_set loopback "http://127.0.0.1:$port/$big"

if [[ $sets == *capped* ]]; then
    echo "== capped: 2 MB/s per connection"
    make_file capped.bin 64
    source="$work/www/capped.bin"; mib=64
    measure "engine 1x20480 capped" "$engine" "http://127.0.0.1:$port/capped/capped.bin" "$work/out/copy" 1 20480
    measure "engine 4x20480 capped" "$engine" "http://127.0.0.1:$port/capped/capped.bin" "$work/out/copy" 4 20480
    measure "aria2c -x1 capped" aria2c -q -x1 -s1 --allow-overwrite=true -d "$work/out" -o copy "http://127.0.0.1:$port/capped/capped.bin"
    measure "aria2c -x4 capped" aria2c -q -x4 -s4 --min-split-size=1M --allow-overwrite=true -d "$work/out" -o copy "http://127.0.0.1:$port/capped/capped.bin"
    awk -v one="${results[engine 1x20480 capped]}" -v four="${results[engine 4x20480 capped]}" \
        'BEGIN { printf "engine 4 connections / 1: %.2f\n", four / one }'
fi

# The slow link: this kernel has no netem, so the delay relay makes the link
# in user space (20 ms each way, 100 Mbit/s on the wire).
if [[ $sets == *slow* ]]; then
    slow_mib=${BENCH_SLOW_MIB:-256}
    slow=slow-$slow_mib.bin
    make_file "$slow" "$slow_mib"
    source="$work/www/$slow"; mib=$slow_mib
    "$build/bench/engine_delay_relay" $relay_port $port 20 100 &
    relay_pid=$!
    sleep 0.2
    run_set "slow link: 100 Mbit/s, 40 ms round trip" "http://127.0.0.1:$relay_port/$slow"
fi
