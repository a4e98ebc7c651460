#!/usr/bin/env bash
# Downloads one large file from nginx on loopback with the transfer engine and
# with curl, wget and aria2c, compares every copy with cmp, and prints MiB/s,
# CPU seconds and peak memory for each. Runs three setups:
#   loopback  the full file, nothing in the way
#   shaped    a rate-limited link inside a network namespace (needs root)
#   capped    a server limited to 2 MB/s per connection, 4 connections against 1
# Usage: bench/engine_benchmark.sh <build dir> [size in MiB, default 1024]
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

# name, then the command; the command writes $work/out/copy
measure() {
    local name=$1; shift
    rm -f "$work/out/copy"
    /usr/bin/time -f "%e %U %S %M" -o "$work/out/time" "$@" >/dev/null 2>"$work/out/stderr" || {
        echo "$name: failed"; tail -3 "$work/out/stderr"; return; }
    read -r elapsed user system peak < "$work/out/time"
    local same=identical
    cmp -s "$work/out/copy" "$source" || same=DIFFERENT
    local rate
    rate=$(awk -v m="$mib" -v e="$elapsed" 'BEGIN { printf "%.1f", m / e }')
    local cpu
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
    printf "%-28s %9s MiB/s %7s s CPU %8s KiB peak  %s\n" "$name" "$rate" "$cpu" "$peak" "$same"
    results[$name]=$rate
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
big=big-$size_mib.bin
make_file "$big" "$size_mib"
source="$work/www/$big"; mib=$size_mib
start_nginx $port
trap stop_nginx EXIT
run_set "${BENCH_LABEL:-loopback}" "http://127.0.0.1:$port/$big"
if [ -n "${BENCH_SHAPED_ONLY:-}" ]; then
    exit 0
fi

echo "== capped: 2 MB/s per connection"
make_file capped.bin 64
source="$work/www/capped.bin"; mib=64
measure "engine 1x20480 capped" "$engine" "http://127.0.0.1:$port/capped/capped.bin" "$work/out/copy" 1 20480
measure "engine 4x20480 capped" "$engine" "http://127.0.0.1:$port/capped/capped.bin" "$work/out/copy" 4 20480
measure "aria2c -x1 capped" aria2c -q -x1 -s1 --allow-overwrite=true -d "$work/out" -o copy "http://127.0.0.1:$port/capped/capped.bin"
measure "aria2c -x4 capped" aria2c -q -x4 -s4 --min-split-size=1M --allow-overwrite=true -d "$work/out" -o copy "http://127.0.0.1:$port/capped/capped.bin"
awk -v one="${results[engine 1x20480 capped]}" -v four="${results[engine 4x20480 capped]}" \
    'BEGIN { printf "engine 4 connections / 1: %.2f\n", four / one }'
stop_nginx
trap - EXIT

# The shaped link: loopback of a private network namespace, limited with tc.
if [ "$(id -u)" -eq 0 ] && [ -z "${BENCH_NO_SHAPED:-}" ]; then
    echo "== shaped link"
    unshare -n bash -c "
        ip link set lo up
        ip link set lo mtu 1500  # an Ethernet-sized packet fits the shaper's burst
        if tc qdisc add dev lo root netem delay 20ms rate 100mbit 2>/dev/null; then
            echo 'netem: 100 Mbit/s, 40 ms round trip'
        elif tc qdisc add dev lo root tbf rate 100mbit burst 256kb latency 50ms; then
            echo 'netem is not available in this kernel: rate limit only (tbf), no added delay'
        fi
        BENCH_LABEL=shaped BENCH_SHAPED_ONLY=1 BENCH_NO_SHAPED=1 '$0' '$build' 256
    "
fi
