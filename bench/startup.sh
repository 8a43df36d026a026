#!/usr/bin/env bash
# Start-up to an idle event loop, and idle memory, of stand-alone runs on a private Xvfb with
# private hives and no serial ports bound. Several builds (say, main's and a branch's) are
# measured in the same run, taking turns, so that the machine's load falls on all of them alike.
#
#   bench/startup.sh [-n RUNS] [-k first|again|both] [-b] [-c] [BUILD_DIR...]
#
#   BUILD_DIR  a configured build tree (default: build-bench, made here as RelWithDebInfo);
#              its `tarvik` target is brought up to date first
#   -n RUNS    rounds (default 5); each round starts every build once per kind
#   -k KIND    first: empty hives, so the default macros are written (a first run);
#              again: the hives a first run of the same build left (every later run);
#              both (default)
#   -b         on a private session bus, as in a desktop session (default: no bus at all)
#   -c         also count the instructions to idle under callgrind, one run per build and kind
#              (slow, but the count does not depend on the machine's load)
#
# Per run: idle = Tarvik's own time from main to its first idle event loop
# (TARVIK_BENCH_IDLE_MARK); wall = from launch to that line arriving here; cpu = the main
# thread's time on a processor up to that line (/proc/PID/schedstat), which load does not
# inflate the way it inflates wall time; RSS once idle. Medians per build and kind follow.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

runs=5 kinds="first again" bus=0 callgrind=0
while getopts n:k:bc opt; do
  case $opt in
    n) runs=$OPTARG ;;
    k) case $OPTARG in first | again) kinds=$OPTARG ;; both) kinds="first again" ;; *) exit 2 ;; esac ;;
    b) bus=1 ;;
    c) callgrind=1 ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- build-bench

for build in "$@"; do
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$build" --target tarvik >/dev/null
done

work=$(mktemp -d)
. scripts/xvfb.sh
. scripts/session-bus.sh
cleanup() {
  bus_stop
  xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT
xvfb_start "$work" || { echo "Xvfb did not start" >&2; exit 1; }
if [ "$bus" = 1 ]; then bus_start "$work" || { echo "dbus-daemon did not start" >&2; exit 1; }; fi

# Passes Tarvik's standard error on to $1.err and, when the idle line comes, notes the time and
# the main thread's processor time in $1.idle (the process id is in $1.pid by then).
watch_idle() {
  local line
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$1.err"
    case $line in
      *"idle "*" ms after main"*)
        local now=$EPOCHREALTIME cpu
        cpu=$(cut -d' ' -f1 "/proc/$(<"$1.pid")/schedstat" 2>/dev/null || echo 0)
        echo "$now $cpu ${line//[!0-9.]/ }" >"$1.idle"
        ;;
    esac
  done
}

# launch LABEL STATE [WRAPPER...]: a stand-alone Tarvik of build LABEL on the hives in STATE;
# leaves its process id in $pid.
launch() {
  local label=$1 state=$2
  shift 2
  rm -f "$work/run".*
  env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$XVFB_DISPLAY" TARVIK_BENCH_IDLE_MARK=1 \
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
    TARVIK_USER_HIVE="$state/user.reg" TARVIK_MACHINE_HIVE="$state/machine.reg" TARVIK_PORTS_DIR="$state/ports" \
    DBUS_SESSION_BUS_ADDRESS="${BUS_ADDRESS:-disabled:}" "$@" "$label/app/tarvik" 2> >(watch_idle "$work/run") &
  pid=$!
  echo "$pid" >"$work/run.pid"
}

# Waits (at most a minute) for the idle line of the run just launched.
await_idle() {
  for _ in $(seq 1200); do
    [ -s "$work/run.idle" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# prepare BUILD KIND: the hives for a run, in $state. A first run gets none; a later run gets
# what a first run of the same build left when it ended (made here unless that run was measured).
prepare() {
  state=$work/state-${1//\//_}
  if [ "$2" = first ]; then
    rm -rf "$state"
  elif [ ! -f "$state/user.reg" ]; then
    prepare "$1" first
    launch "$1" "$state"
    await_idle || true
    finish
  fi
  mkdir -p "$state/ports" "$work/home"
}

finish() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

median() { sort -n | awk '{v[NR] = $1} END {if (NR == 0) print "?"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

results=$work/results
printf '%-20s %-6s %4s %10s %10s %10s %10s\n' build kind run "idle(ms)" "wall(ms)" "cpu(ms)" "RSS(KiB)"
for i in $(seq "$runs"); do
  for build in "$@"; do
    for kind in first again; do
      case " $kinds " in *" $kind "*) ;; *) continue ;; esac
      prepare "$build" "$kind"
      started=$EPOCHREALTIME
      launch "$build" "$state"
      await_idle || true
      read -r at cpu idle _ <"$work/run.idle" 2>/dev/null || { at=$started cpu=0 idle=?; }
      wall=$(awk -v a="$at" -v s="$started" 'BEGIN {printf "%.0f", (a - s) * 1000}')
      sleep 1 # let the idle loop settle before reading memory
      rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
      finish
      cpu=$(awk -v c="$cpu" 'BEGIN {printf "%.1f", c / 1e6}')
      printf '%-20s %-6s %4s %10s %10s %10s %10s\n' "$build" "$kind" "$i" "$idle" "$wall" "$cpu" "$rss"
      echo "$build $kind $idle $wall $cpu $rss" >>"$results"
    done
  done
done

echo
echo "Medians of $runs runs$([ "$bus" = 1 ] && echo ", on a private session bus"):"
printf '%-20s %-6s %10s %10s %10s %10s\n' build kind "idle(ms)" "wall(ms)" "cpu(ms)" "RSS(KiB)"
for build in "$@"; do
  for kind in $kinds; do
    row=()
    for column in 3 4 5 6; do
      row+=("$(awk -v b="$build" -v k="$kind" -v c="$column" '$1 == b && $2 == k {print $c}' "$results" | median)")
    done
    printf '%-20s %-6s %10s %10s %10s %10s\n' "$build" "$kind" "${row[@]}"
  done
done

[ "$callgrind" = 1 ] || exit 0
command -v valgrind >/dev/null || { echo "valgrind is not installed: no instruction counts" >&2; exit 0; }
echo
echo "Instructions to idle (callgrind, millions; all threads, from exec):"
printf '%-20s %-6s %12s %12s\n' build kind total "in main"
for build in "$@"; do
  for kind in first again; do
    case " $kinds " in *" $kind "*) ;; *) continue ;; esac
    prepare "$build" "$kind"
    out=$work/callgrind.out
    rm -f "$out"*
    launch "$build" "$state" valgrind --tool=callgrind --callgrind-out-file="$out"
    await_idle || true
    # The first dump holds everything up to the idle line.
    callgrind_control -d "$pid" >/dev/null 2>&1 || true
    for _ in $(seq 300); do [ -s "$out.1" ] && break; sleep 0.1; done
    finish
    total=$(awk '/^(summary|totals):/ && !t {t = $2} END {if (t) printf "%.1f", t / 1e6}' "$out.1" 2>/dev/null || true)
    inmain=$(callgrind_annotate --inclusive=yes "$out.1" 2>/dev/null |
      awk '/app\/main.cpp:main / && !m {gsub(",", "", $1); m = $1} END {if (m) printf "%.1f", m / 1e6}' || true)
    printf '%-20s %-6s %12s %12s\n' "$build" "$kind" "${total:-?}" "${inmain:-?}"
  done
done
