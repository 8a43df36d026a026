# Sourced, not run: starts a private Xvfb for the run script, the benchmarks and the tests.
#
#   . scripts/xvfb.sh
#   xvfb_start WORKDIR [WIDTHxHEIGHT]   # sets XVFB_PID and XVFB_DISPLAY (":N"); false on failure
#   xvfb_stop
#
# -displayfd: the server picks a display number nobody uses and writes it once it accepts
# connections, so no number is guessed and the desktop's display is never touched.
# -noreset: without it the server resets when its last client (a probe) leaves, and with several
# servers starting at once a client was then seen failing to connect. Servers starting at the same
# moment can still trip over each other's sockets; one that went away again or does not answer is
# replaced, a few times at most. Errors go to WORKDIR/xvfb.err.

XVFB_PID='' XVFB_DISPLAY=''

xvfb_start() {
  local work=$1 size=${2:-1024x768} attempt _
  for attempt in 1 2 3 4 5; do
    : >"$work/xvfb.display"
    # In a session of its own: Ctrl+C in a terminal must not end the X server under a program
    # that is still doing its shutdown work (the callers stop it themselves, last).
    setsid Xvfb -displayfd 8 -noreset -screen 0 "${size}x24" -nolisten tcp 8>"$work/xvfb.display" \
      </dev/null >/dev/null 2>>"$work/xvfb.err" &
    XVFB_PID=$!
    # Up to 30 s: a loaded machine (sanitizer builds on two cores) can be slow to start a server.
    for _ in $(seq 300); do
      grep -q '^[0-9]' "$work/xvfb.display" && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if grep -q '^[0-9]' "$work/xvfb.display"; then
      XVFB_DISPLAY=":$(head -n1 "$work/xvfb.display")"
      # Still running and answering: a server that lost its socket to a neighbour has ended.
      if kill -0 "$XVFB_PID" 2>/dev/null && xvfb_answers; then
        return 0
      fi
    fi
    echo "Xvfb attempt $attempt did not come up; trying again" >>"$work/xvfb.err"
    xvfb_stop
  done
  return 1
}

xvfb_answers() { xwininfo -display "$XVFB_DISPLAY" -root >/dev/null 2>&1; }

xvfb_stop() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID='' XVFB_DISPLAY=''
}
