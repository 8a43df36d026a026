# Sourced, not run: starts a private D-Bus session bus for a test or a run that must not reach the
# desktop's own bus.
#
#   . scripts/session-bus.sh
#   bus_start WORKDIR     # sets BUS_PID and BUS_ADDRESS; false on failure
#   bus_stop
#
# The configuration is written into WORKDIR: a session bus listening on a socket of its own, with
# no service activation, so nothing on the machine is started by a call to a missing name.

BUS_PID='' BUS_ADDRESS=''

bus_start() {
  local work=$1 _
  cat >"$work/session-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  : >"$work/session-bus.address"
  dbus-daemon --config-file="$work/session-bus.conf" --nofork --print-address=9 9>"$work/session-bus.address" \
    </dev/null >/dev/null 2>>"$work/session-bus.err" &
  BUS_PID=$!
  for _ in $(seq 300); do
    grep -q '^unix:' "$work/session-bus.address" && break
    kill -0 "$BUS_PID" 2>/dev/null || break
    sleep 0.1
  done
  BUS_ADDRESS=$(head -n1 "$work/session-bus.address")
  [ -n "$BUS_ADDRESS" ] || { bus_stop; return 1; }
}

bus_stop() {
  if [ -n "$BUS_PID" ]; then
    kill "$BUS_PID" 2>/dev/null || true
    wait "$BUS_PID" 2>/dev/null || true
  fi
  BUS_PID='' BUS_ADDRESS=''
}
