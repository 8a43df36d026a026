#!/bin/bash
# End-to-end under a real X server: a private Xvfb, the simulated instrument on private ports and
# hives, and the built Tarvik on that display. Real X key events and clicks go in through XTEST;
# what comes out is read from the simulator's log and from Tarvik's display-line hook.
#   x11-e2e.sh keys|macro|forward|international|mouse|mouse_leave|embedding|tray|reconnect|monitor|
#              modifiers|instance|a11y|network
# Needs TARVIK_EXE, ONDRIX_SIM and XTEST_TYPE (set by CTest), and TARVIKCTL for the instance case. Every wait is bounded by a condition
# and the whole run by a deadline below CTest's time-out, so cleanup always runs.
set -uo pipefail

case_name=${1:?usage: x11-e2e.sh keys|macro|forward|international|mouse|mouse_leave|embedding|tray|reconnect|monitor|modifiers|instance|a11y|network}
: "${TARVIK_EXE:?}" "${ONDRIX_SIM:?}" "${XTEST_TYPE:?}"
deadline=$((SECONDS + ${E2E_BUDGET_SECONDS:-240}))

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-x11-e2e.XXXXXX")
xvfb_pid='' sim_pid='' tarvik_pid='' watcher_pid='' bus_pid='' bus_address='' display='' others=''

# Only what this script started is stopped, by process id.
. "$(dirname "$0")/e2e-lib.sh"

cleanup() {
  local status=$?
  exec 7>&- 2>/dev/null
  stop "$tarvik_pid"
  for pid in $others; do stop "$pid"; done
  stop "$sim_pid"
  stop "$watcher_pid"
  stop "$bus_pid"
  stop "$xvfb_pid"
  if [ "$status" -ne 0 ]; then
    for f in sim.log display.log tarvik.out tarvik.err refused.err ser2net.out {a,b,c}.out {a,b,c}.err sim.err xvfb.err watcher.log \
      watcher.err session-bus.err; do
      [ -s "$work/$f" ] && { echo "---- $f"; cat "$work/$f"; }
    done
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE

# --- the private X server -------------------------------------------------------------------

. "$(dirname "$0")/../../../scripts/xvfb.sh"
start_xvfb() {
  xvfb_start "$work" || fail "no private X server could be started"
  xvfb_pid=$XVFB_PID display=$XVFB_DISPLAY
}

# --- the simulated instrument ---------------------------------------------------------------

start_sim() {
  mkdir -p "$work/ports" "$work/home"
  mkfifo "$work/sim.ctl"
  # The simulator reads control lines from the FIFO; if this script dies, the FIFO's writer goes
  # and --exit-on-eof ends the simulator too.
  "$ONDRIX_SIM" --ports-dir "$work/ports" --machine-hive "$work/machine.reg" --log "$work/sim.log" \
    --once-ready "$work/sim.ready" --show-display --quiet --exit-on-eof "$@" \
    <"$work/sim.ctl" >/dev/null 2>"$work/sim.err" &
  sim_pid=$!
  exec 7>"$work/sim.ctl"
  wait_until 30 "the simulator to bind its ports" test -e "$work/sim.ready"
}

sim_say() { printf '%s\n' "$@" >&7; }

# --- Tarvik ---------------------------------------------------------------------------------

# launch_tarvik ARGS...: Tarvik on the private display, its output in tarvik.out and tarvik.err
# (named $run instead of tarvik when set); on the private session bus once one is started
# (bus_address), else on none.
launch_tarvik() {
  mkdir -p "$work/home"
  env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" \
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
    TARVIK_USER_HIVE="$work/user.reg" TARVIK_MACHINE_HIVE="$work/machine.reg" \
    TARVIK_PORTS_DIR="$work/ports" TARVIK_TEST_DISPLAY_LOG="$work/display.log" TARVIK_BENCH_IDLE_MARK=1 \
    DBUS_SESSION_BUS_ADDRESS="${bus_address:-disabled:}" "$TARVIK_EXE" "$@" \
    >"$work/${run:-tarvik}.out" 2>"$work/${run:-tarvik}.err" &
  tarvik_pid=$!
}

start_tarvik() {
  launch_tarvik
  wait_until 60 "Tarvik's window to be viewable" window_viewable
  # Tarvik announces its open ports with one mouse packet on each line.
  wait_until 60 "Tarvik to open its ports" grep -q "^packet " "$work/sim.log"
  wait_until 60 "Tarvik's packet on the display line" grep -q "^display packet " "$work/sim.log"
}

# The ids of the viewable top-level windows named $1 (Tarvik's own by default), one a line, and
# the first of them. The toolkit keeps an unmapped 1x1 helper window with the same name, so the
# first window of that name is not necessarily the right one.
viewable_windows() {
  local id name=${1:-Tarvik}
  for id in $(xwininfo -display "$display" -root -tree 2>/dev/null | sed -n "s/^ *\\(0x[0-9a-f]*\\) \"$name\".*/\\1/p"); do
    if xwininfo -display "$display" -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then echo "$id"; fi
  done
}
tarvik_window() { viewable_windows "$@" | head -n1 | grep .; }

window_viewable() {
  kill -0 "$tarvik_pid" 2>/dev/null || fail "Tarvik ended early"
  tarvik_window >/dev/null
}

xtest() { "$XTEST_TYPE" --display "$display" --window-name Tarvik "$@" || fail "xtest-type $*"; }

# --- reading the results --------------------------------------------------------------------

# The items that arrived on the keyboard line (prefix "") or the display line (prefix "display "),
# positions of packets left out: they depend on the screen, the flags are what matters here.
arrived() {
  sed -n "s/^$1packet x=[0-9]* y=[0-9]*/packet/p; s/^$1\\(key\\|broken\\) /\\1 /p" "$work/sim.log"
}

count_lines() { arrived "$1" | wc -l; }
at_least() { [ "$(count_lines "$1")" -ge "$2" ]; }

# expect_items PREFIX FROM EXPECTED...: the items from number FROM on (1-based) are EXPECTED.
expect_items() {
  local prefix=$1 from=$2
  shift 2
  wait_until 60 "${#@} items on the ${prefix:-keyboard }line" at_least "$prefix" $((from + ${#@} - 1))
  local got want
  got=$(arrived "$prefix" | tail -n +"$from" | head -n "${#@}")
  want=$(printf '%s\n' "$@")
  [ "$got" = "$want" ] || fail "${prefix:-keyboard }line: expected"$'\n'"$want"$'\n'"got"$'\n'"$got"
}

# The display line's latest text, trailing spaces of the name field left out, is $1.
display_shows() {
  local last
  last=$(tail -n1 "$work/display.log" 2>/dev/null)
  [ "${last%"${last##*[! ]}"}" = "$1" ]
}

# --- the cases ------------------------------------------------------------------------------

# Real key events typed into the window arrive at the instrument as its key bytes, on both lines.
case_keys() {
  start_sim
  start_tarvik
  # A search for the title finds the main window alone, not a hidden helper window of the toolkit.
  local titled
  titled=$(titled_windows)
  [ "$titled" -eq 1 ] || fail "$titled windows are titled Tarvik"
  local before before_display
  before=$(count_lines "")
  before_display=$(count_lines "display ")
  xtest key a down Shift_L key a up Shift_L key 1 key Return key Escape key F1 key Up \
    down Control_L key c up Control_L key BackSpace key Prior
  local expected=("key 0x61 'a'" "packet shift" "key 0x41 'A'" "packet" "key 0x31 '1'" "key 0x0d CR"
    "key 0x1b ESC" "key 0x81 F1" "key 0x1c UP" "packet ctrl" "key 0x03 C-C" "packet" "key 0x7f BS"
    "key 0x0e PGUP")
  expect_items "" $((before + 1)) "${expected[@]}"
  expect_items "display " $((before_display + 1)) "${expected[@]}"
}

# Sets width and height to the size of Tarvik's window, left and top to its place on the screen.
tarvik_size() {
  local geometry
  geometry=$(xwininfo -display "$display" -id "$(tarvik_window)")
  width=$(sed -n 's/^ *Width: *//p' <<<"$geometry")
  height=$(sed -n 's/^ *Height: *//p' <<<"$geometry")
  left=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$geometry")
  top=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$geometry")
}

titled_windows() { xwininfo -display "$display" -root -tree | grep -c '^ *0x[0-9a-f]* "Tarvik"'; }

# A click on the I1 function button sends its macro; the simulator's answer is shown in the window.
case_macro() {
  start_sim
  start_tarvik
  local before width height left top
  before=$(count_lines "")
  tarvik_size
  # The window is laid out in dialog units (130 x 79); the I1 button spans x 53-88, y 22-34, so
  # its centre sits at the same fraction of the window whatever the font makes of a unit.
  xtest click $((width * 141 / 260)) $((height * 28 / 79))
  expect_items "" $((before + 1)) "key 0x0c FF" "key 0x69 'i'" "key 0x31 '1'" "key 0x0d CR"
  wait_until 60 "the name in the display line" display_shows "Instrument 1"
  # A second button: Dir, right column row 3 (x 90-125, y 48-60).
  xtest click $((width * 215 / 260)) $((height * 54 / 79))
  wait_until 60 "the Dir answer in the display line" display_shows "Directory"
}

# The instrument's own keyboard and mouse: their bytes come out on both lines, a packet re-encoded
# (bit 0 cleared) and a repeated packet dropped; a typed command line is answered and shown.
case_forward() {
  start_sim --announce "Grand Piano"
  start_tarvik
  wait_until 60 "the announced name in the display line" display_shows "Grand Piano"
  local before before_display
  before=$(count_lines "")
  before_display=$(count_lines "display ")
  # Decoding and forwarding are covered byte by byte offscreen (LineProtocol); here one key and one
  # packet show the real program passes the instrument's own keyboard through.
  sim_say "key a" "mouse 512 300 active button shift"
  local expected=("key 0x61 'a'" "packet active button shift")
  # What the simulator sent is logged too, as "sent ...": only arrivals match these patterns.
  expect_items "" $((before + 1)) "${expected[@]}"
  expect_items "display " $((before_display + 1)) "${expected[@]}"
  sim_say "macro dir"
  wait_until 60 "the name for a command typed on the instrument" display_shows "Directory"
}

# --- mouse mode ---------------------------------------------------------------------------

# Pointer input that goes to no window in particular: raw counts, buttons by X number.
pointer() { "$XTEST_TYPE" --display "$display" "$@" || fail "xtest-type $*"; }

# Items on the keyboard line with their positions.
line_items() { grep -E '^(packet|key|broken) ' "$work/sim.log"; }
items_at_least() { [ "$(line_items | wc -l)" -ge "$1" ]; }
seen=0

# expect_next ITEM...: the next items on the keyboard line are ITEM..., in this order.
expect_next() {
  wait_until 60 "$# more items on the keyboard line" items_at_least $((seen + $#))
  local got want
  got=$(line_items | tail -n +$((seen + 1)) | head -n $#)
  want=$(printf '%s\n' "$@")
  [ "$got" = "$want" ] || fail "keyboard line: expected"$'\n'"$want"$'\n'"got"$'\n'"$got"
  seen=$((seen + $#))
}

# Clicks the Mouse button (x 3-47, y 32-76 of the 130 x 79 dialog units) and sets mouse_x and
# mouse_y to where on the screen that click was.
click_mouse_button() {
  local width height left top
  tarvik_size
  mouse_x=$((left + width * 50 / 260))
  mouse_y=$((top + height * 108 / 158))
  pointer click "$mouse_x" "$mouse_y"
}

# Each step waits for its result before the next, so no two device events are read together
# (together, two small moves would pass the acceleration threshold as one).
case_mouse() {
  start_sim
  start_tarvik
  seen=$(line_items | wc -l)
  click_mouse_button
  # The 1024 x 768 screen's centre (512, 384) is (511, 511) on the instrument.
  expect_next "packet x=511 y=511 active"
  # Xvfb accelerates moves of more than 4 counts by 2: acceleration level 1, threshold 4.
  pointer move 3 0
  expect_next "packet x=514 y=511 active"
  pointer move 0 -100
  expect_next "packet x=514 y=245 active"
  pointer press 2
  expect_next "key 0x1b ESC" "packet x=514 y=245 active"
  pointer release 2
  expect_next "packet x=514 y=245 active"
  pointer press 8
  expect_next "packet x=514 y=245 active ctrl"
  pointer press 9
  expect_next "packet x=514 y=245 active shift ctrl"
  pointer release 8
  expect_next "packet x=514 y=245 active shift"
  pointer release 9
  expect_next "packet x=514 y=245 active"
  pointer press 4 release 4
  expect_next "key 0x0e PGUP"
  pointer press 5 release 5
  expect_next "key 0x0f PGDN"
  pointer press 3
  expect_next "packet x=514 y=245"
  pointer release 3
  [ "$(pointer where)" = "$mouse_x $mouse_y" ] || fail "the pointer is at $(pointer where), not back at $mouse_x $mouse_y"
}

# Focus moving to another window ends mouse mode; so does SIGTERM, which also stores the window
# state. Either way the last packet has the active flag clear.
case_mouse_leave() {
  start_sim
  start_tarvik
  seen=$(line_items | wc -l)
  click_mouse_button
  expect_next "packet x=511 y=511 active"
  pointer focus-root
  expect_next "packet x=511 y=511"
  xtest key a
  expect_next "key 0x61 'a'"
  click_mouse_button
  expect_next "packet x=511 y=511 active"
  kill -TERM "$tarvik_pid"
  wait_until 30 "Tarvik to end" tarvik_ended
  wait "$tarvik_pid"
  local status=$?
  tarvik_pid=''
  [ "$status" -eq 0 ] || fail "Tarvik ended with $status after SIGTERM"
  expect_next "packet x=511 y=511"
  [ "$(line_items | wc -l)" -eq "$seen" ] || fail "more arrived after the last packet: $(line_items | tail -n +$((seen + 1)))"
  grep -q '^"Main Visible"=dword:00000001' "$work/user.reg" || fail "the window state was not stored"
}

tarvik_ended() { ! kill -0 "$tarvik_pid" 2>/dev/null; }

# With capture available, a client run shows no window: no "DirectX Failure" brings it up.
case_embedding() {
  launch_tarvik -Embedding
  wait_until 60 "Tarvik's event loop" grep -q 'idle' "$work/tarvik.err"
  if tarvik_window >/dev/null; then fail "a client run showed its window"; fi
  if grep -q 'DirectX Failure' "$work/display.log"; then fail "a client run reported no capture"; fi
}

# A desktop that draws the icon itself (KDE, GNOME with the AppIndicator extension), played by a
# stand-in for its watcher on a private bus: the icon registers with its menu, a click on it shows
# the hidden window, and the menu's Properties and Exit act. The Display Port is bound to a device
# that is not there: the system's reason is on standard error and in the icon's tooltip.
case_tray() {
  . "$(dirname "$0")/../../../scripts/session-bus.sh"
  bus_start "$work" || fail "no private session bus could be started"
  bus_pid=$BUS_PID
  : >"$work/watcher.log"
  DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS /usr/bin/python3 "$(dirname "$0")/sni.py" watcher \
    >"$work/watcher.log" 2>"$work/watcher.err" &
  watcher_pid=$!
  wait_until 30 "the watcher stand-in" grep -q '^ready' "$work/watcher.log"
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Ondrix Series III\Tarvik]' \
    '"Main Pos x"=dword:00000000' '"Main Pos y"=dword:00000000' '"Main Visible"=dword:00000000' \
    '"Main Start"=dword:00000001' >"$work/user.reg"
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_LOCAL_MACHINE\Software\Ondrix Series III\Tarvik]' \
    '"Display Port"=dword:00000003' '"Merge Port"=dword:00000000' >"$work/machine.reg"
  mkdir -p "$work/ports"
  ln -s /dev/ttyUSB-gone "$work/ports/COM3"
  bus_address=$BUS_ADDRESS
  LC_ALL=C.UTF-8 launch_tarvik
  wait_until 60 "the icon to register" grep -q '^item ' "$work/watcher.log"
  local item menu status
  item=$(sed -n 's/^item //p' "$work/watcher.log" | head -n1)
  sni() { DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS /usr/bin/python3 "$(dirname "$0")/sni.py" host "$item" "$@"; }
  menu=$(sni menu) || fail "the item's menu cannot be read"
  [ "$menu" = "/MenuBar Close|-|Properties|Monitor|-|Help|About|-|Exit" ] || fail "the exported menu reads: $menu"
  status="Display: COM3 → /dev/ttyUSB-gone, not open: No such file or directory"
  wait_until 60 "the reason on standard error" grep -qxF "tarvik: $status" "$work/tarvik.err"
  [ "$(grep -c '^tarvik: Display' "$work/tarvik.err")" -eq 1 ] || fail "standard error: $(cat "$work/tarvik.err")"
  tooltip_reads() { [ "$(sni tooltip)" = "Tarvik"$'\n'"$status"$'\n'"Merge: off" ]; }
  wait_until 30 "the reason in the tooltip" tooltip_reads
  # The start-up is over once the display line is watched. An alert (no mouse capture) may have
  # brought the window up; the menu's Close hides it again.
  wait_until 60 "the start-up" test -e "$work/display.log"
  grep -qxF "Comms Error: Port 3" "$work/display.log" || fail "the display line did not show the alert"
  if tarvik_window >/dev/null; then
    sni click Close || fail "choosing Close"
    wait_until 60 "the window to hide" window_hidden
  fi
  sni activate || fail "activating the icon"
  wait_until 60 "the window to be shown" window_viewable
  sni click Properties || fail "choosing Properties"
  wait_until 60 "the preferences sheet" sheet_shown
  "$XTEST_TYPE" --display "$display" --window-name "Tarvik Properties" key Escape || fail "closing the sheet"
  wait_until 60 "the sheet to close" sheet_gone
  sni click Monitor || fail "choosing Monitor"
  wait_until 60 "the Monitor window" monitor_shown
  sni click Exit || fail "choosing Exit"
  wait_until 60 "Tarvik to end" tarvik_ended
  wait "$tarvik_pid"
  local status=$?
  tarvik_pid=''
  [ "$status" -eq 0 ] || fail "Tarvik ended with $status"
}

# A user abroad: the keyboard layout names the keys (a German Z key sends z; after a switch to
# French while Tarvik runs, the keys labelled a, m and , send those, the top row still digits), and
# a macro written by hand in UTF-8 reaches the line in the PC's code page (é as 0xE9).
case_international() {
  setxkbmap -display "$display" de || fail "setxkbmap de"
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_CURRENT_USER\Software\Ondrix Series III\Tarvik]' \
    '"Macro1"="été"' '"Name1"="Été"' '"Clear1"=dword:00000000' '"Return1"=dword:00000001' >"$work/user.reg"
  start_sim
  start_tarvik
  local before
  before=$(count_lines "")
  xtest key z key y key minus
  expect_items "" $((before + 1)) "key 0x7a 'z'" "key 0x79 'y'" "key 0x2d '-'"
  setxkbmap -display "$display" fr || fail "setxkbmap fr"
  xtest key a key q key m key comma key eacute
  expect_items "" $((before + 4)) "key 0x61 'a'" "key 0x71 'q'" "key 0x6d 'm'" "key 0x2c ','" "key 0x32 '2'"

  local width height left top
  tarvik_size
  xtest click $((width * 141 / 260)) $((height * 28 / 79))
  expect_items "" $((before + 9)) "key 0xe9" "key 0x74 't'" "key 0xe9" "key 0x0d CR"
}

sheet_shown() { tarvik_window "Tarvik Properties" >/dev/null; }
sheet_gone() { ! sheet_shown; }
window_hidden() { ! tarvik_window >/dev/null; }

# --- a line unplugged and plugged in again ---------------------------------------------------

# CPU time (user + system) Tarvik has used so far, in clock ticks.
tarvik_ticks() { awk '{ print $14 + $15 }' "/proc/$tarvik_pid/stat"; }
now_ms() { date +%s%3N; }

# The keyboard line goes away and comes back on a new pseudo-terminal: Tarvik shows the error,
# waits without using the CPU, and reopens the line when its link leads to a device again. What
# was typed meanwhile is not replayed; the mouse packet is the first thing on the new line.
case_reconnect() {
  start_sim
  start_tarvik
  sim_say "unplug keyboard"
  wait_until 60 "the error for the lost line" display_shows "Error: Merge"
  local ticks hz plugged_at back_at before
  before=$(count_lines "display ")
  xtest key x
  expect_items "display " $((before + 1)) "key 0x78 'x'"
  hz=$(getconf CLK_TCK)
  ticks=$(tarvik_ticks)
  sleep 2
  echo "Tarvik's CPU time while the line was down: $(( ($(tarvik_ticks) - ticks) * 1000 / hz )) ms in 2 s"
  before=$(count_lines "")
  sim_say "plug keyboard"
  wait_until 30 "the simulator to plug the line in" grep -q "^plugged keyboard " "$work/sim.log"
  plugged_at=$(now_ms)
  wait_until 30 "bytes on the new line" at_least "" $((before + 1))
  back_at=$(now_ms)
  echo "bytes flowed again $((back_at - plugged_at)) ms after the line came back (+/- 50 ms)"
  wait_until 30 "the display line to say the line is back" display_shows "Reconnected: Merge"
  xtest key b
  expect_items "" $((before + 1)) "packet" "key 0x62 'b'"
  sim_say "key c"
  expect_items "" $((before + 3)) "key 0x63 'c'"
}

# --- no stuck modifiers -------------------------------------------------------------------------

# Shift held on the PC keyboard while the focus moves to another window is released with one
# packet; the Ctrl toggled on screen stays.
case_modifiers() {
  start_sim
  start_tarvik
  local before width height left top
  before=$(count_lines "")
  tarvik_size
  # The Ctrl button spans x 33-47, y 18-30 of the 130 x 79 dialog units.
  xtest click $((width * 80 / 260)) $((height * 48 / 158))
  xtest down Shift_L
  expect_items "" $((before + 1)) "packet ctrl" "packet shift ctrl"
  pointer focus-root
  expect_items "" $((before + 3)) "packet ctrl"
  # Once only: nothing more follows, however long the key stays down elsewhere.
  sim_say "key z"
  wait_until 30 "the instrument's key to come back" at_least "" $((before + 4))
  expect_items "" $((before + 4)) "key 0x7a 'z'"
  pointer up Shift_L
}

# --- one stand-alone Tarvik ------------------------------------------------------------------

ctl() { DBUS_SESSION_BUS_ADDRESS=$bus_address "$TARVIKCTL" "$@" || fail "tarvikctl $*"; }
ended() { ! kill -0 "$1" 2>/dev/null; }
either_ended() { ended "$1" || ended "$2"; }

# expect_shown_by PID NAME: the start PID (output in NAME.out) ends with 0, saying that it showed
# the window of the run already there, and that window is up; one window is titled Tarvik.
expect_shown_by() {
  wait_until 60 "the start $2 to end" ended "$1"
  wait "$1"
  local status=$?
  [ "$status" -eq 0 ] || fail "the start $2 ended with $status: $(cat "$work/$2.err")"
  [ "$(cat "$work/$2.out")" = "Tarvik is already running; its window was shown." ] ||
    fail "the start $2 said: $(cat "$work/$2.out")"
  wait_until 60 "the window to be shown" window_viewable
  [ "$(titled_windows)" -eq 1 ] || fail "$(titled_windows) windows are titled Tarvik"
}

# Two starts at once: the session bus gives the control name to one, and the other has that one
# show its window and ends with 0, before it opens a line or a window. tarvikctl hides and shows
# the window; the first hide without a notification area says once how to bring it back; a later
# start brings the hidden window back too.
case_instance() {
  : "${TARVIKCTL:?}"
  . "$(dirname "$0")/../../../scripts/session-bus.sh"
  bus_start "$work" || fail "no private session bus could be started"
  bus_pid=$BUS_PID bus_address=$BUS_ADDRESS
  start_sim
  local a b owner loser
  run=a launch_tarvik
  a=$tarvik_pid
  run=b launch_tarvik
  b=$tarvik_pid
  others="$a $b"
  wait_until 60 "one of two simultaneous starts to end" either_ended "$a" "$b"
  if ended "$a"; then owner=b loser=a; else owner=a loser=b; fi
  tarvik_pid=${!owner}
  expect_shown_by "${!loser}" "$loser"
  wait_until 60 "Tarvik to open its ports" grep -q "^packet " "$work/sim.log"

  hints() { grep -c 'no notification area' "$work/$owner.err"; }
  ctl hide
  wait_until 60 "the window to hide" window_hidden
  [ "$(hints)" -eq 1 ] || fail "no word on stderr of how to bring the window back"
  ctl show
  wait_until 60 "the window to be shown" window_viewable
  ctl hide
  wait_until 60 "the window to hide again" window_hidden
  [ "$(hints)" -eq 1 ] || fail "the way back was told $(hints) times"

  local owner_pid=$tarvik_pid c
  run=c launch_tarvik
  c=$tarvik_pid tarvik_pid=$owner_pid
  others+=" $c"
  expect_shown_by "$c" c
}

# --- the traffic monitor ------------------------------------------------------------------------

at_least_windows() { [ "$(viewable_windows "$1" | wc -l)" -ge "$2" ]; }
monitor_shown() { tarvik_window Monitor >/dev/null; }

# The context menu (a window named like the program), opened from the keyboard, has "Monitor"
# third, after Close and Properties.
case_monitor() {
  start_sim
  start_tarvik
  xtest key Menu
  wait_until 30 "the context menu" at_least_windows Tarvik 2
  xtest key Down key Down key Down key Return
  wait_until 30 "the Monitor window" monitor_shown
}

# Cases kept in files of their own: a11y, network.
. "$(dirname "$0")/a11y-case.sh"
. "$(dirname "$0")/net-case.sh"

start_xvfb
"case_$case_name"
echo "PASS: $case_name"
