# Shared by the end-to-end scripts: stopping a process, failing a run, waiting for a condition.
# The script sets `deadline` (in $SECONDS) before it waits for anything.

# stop PID: SIGTERM; a process that ignores it for ten seconds is killed outright.
stop() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

fail() {
  echo "FAIL: $*"
  exit 1
}

# wait_until LIMIT_SECONDS WHAT COMMAND...: polls COMMAND until it succeeds; fails after LIMIT
# seconds or at the run's deadline, whichever comes first.
wait_until() {
  local limit=$((SECONDS + $1)) what=$2
  shift 2
  [ "$limit" -le "$deadline" ] || limit=$deadline
  until "$@"; do
    [ "$SECONDS" -lt "$limit" ] || fail "timed out waiting for $what"
    sleep 0.05
  done
}
