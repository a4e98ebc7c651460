#!/usr/bin/env bash
# The built program from outside, on a virtual display with a notification
# area: a second copy, Esc, the tray and back, the end by itself. The program
# runs alone in a folder of its own and in a network namespace without
# interfaces, so its start-up check fails at once and nothing leaves the
# machine. Usage: program_blackbox_test.sh PROGRAM [SCREENSHOT.png]
set -euo pipefail

program=$1
screenshot=${2:-}
skip() { echo "SKIP: $*"; exit 77; }
for tool in Xvfb trayer xdotool xwininfo import; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
if unshare -rn true 2>/dev/null; then
    isolate=(unshare -rn)
elif unshare -n true 2>/dev/null; then
    isolate=(unshare -n)
else
    skip "no network namespace for the program"
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
trayer --edge bottom --align right --widthtype pixel --width 64 --heighttype pixel \
    --height 32 >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

mkdir "$work/folder" && cp "$program" "$work/folder/upgrader"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

fail() { echo "FAIL: $*"; exit 1; }

start() {  # starts a copy; sets $copy (its process) and $window (its window)
    (cd / && exec "${isolate[@]}" "$work/folder/upgrader") &
    copy=$!
    pids+=("$copy")
    window=$(timeout 10 xdotool search --sync --onlyvisible --class upgrader | head -1) ||
        fail "no window appeared"
}

wait_end() {  # process, seconds: waits for its end; sets $code (or "running")
    for _ in $(seq $(($2 * 20))); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.05
    done
    code=running
    kill -0 "$1" 2>/dev/null && return
    code=0
    wait "$1" || code=$?
}

viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
icons() {  # the program's visible windows other than the main window
    xdotool search --onlyvisible --class upgrader 2>/dev/null | grep -vx "$window" | wc -l
}

echo "== a second copy ends with 0 at once; the first goes on"
start
[ -n "$screenshot" ] && import -window "$window" "$screenshot"
begin=$(date +%s%N)
code=0
timeout 5 "${isolate[@]}" "$work/folder/upgrader" || code=$?
elapsed=$((($(date +%s%N) - begin) / 1000000))
[ "$code" = 0 ] || fail "second copy ended with $code"
[ "$elapsed" -lt 1000 ] || fail "second copy took $elapsed ms"
kill -0 "$copy" 2>/dev/null || fail "the first copy ended"
[ "$(xdotool search --onlyvisible --class upgrader | wc -l)" = 1 ] || fail "a second window appeared"
echo "second copy ended with 0 after $elapsed ms"
kill "$copy"; wait "$copy" 2>/dev/null || true

echo "== Esc ends with 0"
start
xdotool windowfocus --sync "$window"
xdotool key Escape
wait_end "$copy" 3
[ "$code" = 0 ] || fail "Esc: the program ended with $code"

echo "== the tray button hides the window into one icon; a click on it brings it back"
start
xdotool mousemove --window "$window" 221 185 click 1   # 按钮5
sleep 0.5
viewable "$window" && fail "the window is still on screen"
[ "$(icons)" = 1 ] || fail "expected one icon, found $(icons)"
icon=$(xdotool search --onlyvisible --class upgrader | grep -vx "$window" | head -1)
xdotool mousemove --window "$icon" 5 5 click 1
sleep 0.5
viewable "$window" || fail "the window did not come back"
[ "$(icons)" = 0 ] || fail "the icon is still there"
kill "$copy"; wait "$copy" 2>/dev/null || true

echo "== without a network the program ends by itself with 0"
start
begin=$(date +%s%N)
wait_end "$copy" 15
[ "$code" = 0 ] || fail "left alone, the program ended with $code"
echo "ended by itself with 0 after $((($(date +%s%N) - begin) / 1000000)) ms"
echo "all passed"
