#!/usr/bin/env bash
# Builds Tarvik and starts it wired to the simulated instrument (ondrix-sim), with a private ports
# folder and private hives, so the user's own settings and serial ports are untouched.
# Without a display it runs on a private Xvfb. Stop with Ctrl+C (or Tarvik's Exit command).
#   scripts/run.sh --network             the simulator behind ser2net on localhost, and Tarvik
#                                        reaching both lines over RFC 2217
#   TARVIK_NO_SIM=1 scripts/run.sh       starts Tarvik alone, on the private settings
#   TARVIK_SIM_NAME="Strings" ...         the name the simulator announces once Tarvik connects
#   TARVIK_BUILD_DIR=dir ...              build and run from another tree (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
network=
if [ "${1:-}" = --network ]; then
  network=1
  shift
  if [ ! -x /usr/sbin/ser2net ]; then
    echo "tarvik: --network needs ser2net (sudo apt-get install ser2net)" >&2
    exit 1
  fi
fi
build=${TARVIK_BUILD_DIR:-build}
scripts/setup.sh "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF

state=${TARVIK_RUN_DIR:-$PWD/$build/run}
mkdir -p "$state/ports"
export TARVIK_USER_HIVE=$state/user.reg
export TARVIK_MACHINE_HIVE=$state/machine.reg
export TARVIK_PORTS_DIR=$state/ports

pids=()
cleanup() {
  # Newest first, each ended before the next: Tarvik does its shutdown work (a last mouse packet
  # with the active flag clear, window state stored) while the simulator and the X server it uses
  # are still there. The simulator and Xvfb run in sessions of their own, so Ctrl+C reaches them
  # only through here.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Bounded wait for a condition, polled; false when the limit (in tenths of a second) runs out.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  "$@"
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  . scripts/xvfb.sh
  if ! xvfb_start "$state" 1280x800; then
    echo "tarvik: no display here and Xvfb did not start (is the xvfb package installed?)" >&2
    exit 1
  fi
  pids+=("$XVFB_PID")
  export DISPLAY=$XVFB_DISPLAY
  echo "tarvik: no display here; running on a private Xvfb at $DISPLAY" >&2
fi

# Automation clients reach Tarvik on the session bus. Where there is none (a bare console, ssh),
# a private one serves this run, and the hint below names it for tarvikctl.
bus_hint=
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/bus" ]; then
  . scripts/session-bus.sh
  if bus_start "$state"; then
    pids+=("$BUS_PID")
    export DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS
    bus_hint="DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS' "
    echo "tarvik: no session bus here; running one of its own for automation clients" >&2
  fi
fi

if [ -z "${TARVIK_NO_SIM:-}" ]; then
  rm -f "$state/sim.log" "$state/sim.ready"
  # The simulator binds COM1 (display line) and COM2 (keyboard line), names them in the machine
  # hive, and announces a name as soon as Tarvik has opened its ports. It keeps serving after the
  # end of its (empty) input, until it is stopped.
  setsid "$build/tools/ondrix-sim/ondrix-sim" --force --ports-dir "$TARVIK_PORTS_DIR" \
    --machine-hive "$TARVIK_MACHINE_HIVE" --log "$state/sim.log" --quiet --show-display \
    --announce "${TARVIK_SIM_NAME:-Grand Piano}" --once-ready "$state/sim.ready" </dev/null >/dev/null &
  pids+=($!)
  if ! wait_for 100 test -e "$state/sim.ready"; then
    echo "tarvik: the simulated instrument did not start" >&2
    exit 1
  fi
  if [ -n "$network" ]; then
    # ser2net serves the simulator's pseudo-terminals on localhost, and COM1 and COM2 name its
    # addresses instead of the terminals.
    ports=(${TARVIK_NET_PORTS:-23001 23002})
    {
      printf '%%YAML 1.1\n---\n'
      for i in 1 2; do
        printf 'connection: &com%s\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n' "$i" "${ports[i - 1]}"
        printf '  connector: serialdev,%s,9600n81,local\n' "$(readlink "$TARVIK_PORTS_DIR/COM$i")"
      done
    } >"$state/ser2net.yaml"
    setsid /usr/sbin/ser2net -n -d -u -c "$state/ser2net.yaml" </dev/null >"$state/ser2net.log" 2>&1 &
    pids+=($!)
    listening() { grep -q ": 0100007F:$(printf %04X "$1") 00000000:0000 0A " /proc/net/tcp; }
    if ! wait_for 100 listening "${ports[0]}" || ! wait_for 100 listening "${ports[1]}"; then
      echo "tarvik: ser2net did not start (ports ${ports[*]} in use? TARVIK_NET_PORTS=\"P1 P2\"); see $state/ser2net.log" >&2
      exit 1
    fi
    ln -sfn "rfc2217://127.0.0.1:${ports[0]}" "$TARVIK_PORTS_DIR/COM1"
    ln -sfn "rfc2217://127.0.0.1:${ports[1]}" "$TARVIK_PORTS_DIR/COM2"
    echo "tarvik: ser2net serves the simulated lines on rfc2217://127.0.0.1:${ports[0]} (COM1) and :${ports[1]} (COM2).
  Stop it (kill $!) and start it again (as in $state/ser2net.yaml) to see Tarvik wait and reconnect." >&2
  fi
  cat >&2 <<MSG
tarvik: the simulated instrument is on COM1 (display line) and COM2 (keyboard line).
  Its name, "${TARVIK_SIM_NAME:-Grand Piano}", appears in Tarvik's window once Tarvik is connected.
  Try: click "I1" or "Dir" — the simulator answers with an instrument name, shown in Tarvik's window.
       Type in Tarvik's window — every key arrives at the simulator as the instrument's key byte.
       From another terminal: ${bus_hint}$build/app/tarvikctl send \$'\\fdir\\r'
                              ${bus_hint}$build/app/tarvikctl watch
  What the simulator received:  tail -f $state/sim.log
  To connect a real instrument instead, see docs/simulator.md and docs/serial-ports.md.
MSG
fi

"$build/app/tarvik" "$@" &
pids+=($!)
wait "${pids[-1]}"
