#!/bin/bash
# Start-up to the login window: starts the program RUNS times (after one warm-up run) and
# prints the time from starting it to its login window painted, each run and the median, with
# the peak memory at that moment. Without a display it runs itself under a virtual X server.
#   bash bench/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-9}
if [ -z "${DISPLAY:-}" ] && [ -z "${QV_STARTUP_INNER:-}" ]; then
    exec env QV_STARTUP_INNER=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build" "$runs"
fi
unset QT_QPA_PLATFORM # the real window system, never offscreen
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

one() {
    local start out shown
    start=$(date +%s%N)
    out=$(QUORAVEL_STARTUP_PROBE=1 timeout 20 "$build/quoravel" 2>/dev/null | grep '^shown_ns=' || true)
    [ -n "$out" ] || { echo "the login window was not shown" >&2; exit 1; }
    shown=${out#shown_ns=}; shown=${shown%% *}
    echo "$(((shown - start) / 1000000)) ${out##*peak_kb=}"
}

one >/dev/null # warm-up: font caches, shared libraries in the page cache
times=()
for i in $(seq "$runs"); do
    read -r ms kb < <(one)
    times+=("$ms")
    printf 'run %2d: %4d ms to the login window, peak memory %d MB\n' "$i" "$ms" $((kb / 1024))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "median: $median ms over $runs runs (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
