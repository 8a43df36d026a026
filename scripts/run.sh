#!/usr/bin/env bash
# Builds Tarvik and starts it wired to the simulated instrument (ondrix-sim), with a private ports
# folder and private hives, so the user's own settings and serial ports are untouched.
# Without a display it runs on a private Xvfb. Stop with Ctrl+C.
#   TARVIK_NO_SIM=1 scripts/run.sh   starts Tarvik alone, on the private settings
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

state=${TARVIK_RUN_DIR:-$PWD/build/run}
mkdir -p "$state/ports"
export TARVIK_USER_HIVE=$state/user.reg
export TARVIK_MACHINE_HIVE=$state/machine.reg
export TARVIK_PORTS_DIR=$state/ports

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=$display
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  echo "tarvik: no display here; running on a private Xvfb at $DISPLAY" >&2
fi

if [ -z "${TARVIK_NO_SIM:-}" ]; then
  rm -f "$state/sim.log"
  # The simulator binds COM1 (display line) and COM2 (keyboard line) and names them in the machine hive.
  build/tools/ondrix-sim/ondrix-sim --force --ports-dir "$TARVIK_PORTS_DIR" \
    --machine-hive "$TARVIK_MACHINE_HIVE" --log "$state/sim.log" --quiet \
    --once-ready "$state/sim.ready" < <(tail -f /dev/null) &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$state/sim.ready" ] && break; sleep 0.1; done
  cat >&2 <<MSG
tarvik: the simulated instrument is on COM1 (display line) and COM2 (keyboard line).
  Try: click "I1" or "Dir" — the simulator answers with an instrument name, shown in Tarvik's window.
       Type in Tarvik's window — every key arrives at the simulator as the instrument's key byte.
  What the simulator received:  tail -f $state/sim.log
  To connect a real instrument instead, see docs/serial-ports.md.
MSG
fi

build/app/tarvik "$@" &
pids+=($!)
wait "${pids[-1]}"
