#!/usr/bin/env bash
# Mouse-mode latency and load on a private Xvfb (see docs/performance.md).
# Usage: bench/mouse.sh [BUILD_DIR] [SECONDS]   (default: build-bench, a RelWithDebInfo tree)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
seconds=${2:-10}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target tarvik tarvik-mouse >/dev/null

work=$(mktemp -d)
. "$(dirname "$0")/../scripts/xvfb.sh"
cleanup() { xvfb_stop; rm -rf "$work"; }
trap cleanup EXIT
xvfb_start "$work" || { echo "Xvfb did not start" >&2; exit 1; }
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$XVFB_DISPLAY" "$build/bench/tarvik-mouse" "$build/app/tarvik" "$seconds"
