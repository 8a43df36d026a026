#!/usr/bin/env bash
# Start-up time to an idle event loop and idle memory of a stand-alone run, on a private Xvfb
# with private hives (first run: macros written) and no serial ports bound.
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]   (default: build-bench, a RelWithDebInfo tree)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-5}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target tarvik >/dev/null

work=$(mktemp -d)
. "$(dirname "$0")/../scripts/xvfb.sh"
cleanup() { xvfb_stop; rm -rf "$work"; }
trap cleanup EXIT
xvfb_start "$work" || { echo "Xvfb did not start" >&2; exit 1; }

printf '%-4s %12s %12s %10s\n' run "idle(ms)" "wall(ms)" "RSS(KiB)"
for i in $(seq "$runs"); do
  rm -rf "$work/state"; mkdir -p "$work/state/ports"
  start=$(date +%s%N)
  env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$XVFB_DISPLAY" TARVIK_BENCH_IDLE_MARK=1 \
    TARVIK_USER_HIVE="$work/state/user.reg" TARVIK_MACHINE_HIVE="$work/state/machine.reg" \
    TARVIK_PORTS_DIR="$work/state/ports" DBUS_SESSION_BUS_ADDRESS=disabled: \
    "$build/app/tarvik" 2>"$work/err" &
  pid=$!
  for _ in $(seq 300); do grep -q 'idle' "$work/err" 2>/dev/null && break; sleep 0.02; done
  wall=$(( ($(date +%s%N) - start) / 1000000 ))
  sleep 1   # let the idle loop settle before reading memory
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  idle=$(sed -n 's/.*idle \([0-9.]*\) ms.*/\1/p' "$work/err")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  printf '%-4s %12s %12s %10s\n' "$i" "${idle:-?}" "$wall" "$rss"
done
