#!/bin/bash
# Tarvik's windows under a real window manager: openbox on a private Xvfb, with margins at the top
# and bottom of the screen standing in for panels. "Float" is on (the default), so the main window
# is always on top. Each window Tarvik opens (a message box, Properties, About, the help viewer, the
# Monitor) must be transient for the main window, stacked above it both as the window manager
# reports (_NET_CLIENT_LIST_STACKING) and as the X server has the frames, with its whole frame in the
# work area; the Monitor must also leave the main window uncovered.
# Needs TARVIK_EXE and XTEST_TYPE (set by CTest). Every wait is bounded by a condition and the whole
# run by a deadline below CTest's time-out, so cleanup always runs.
set -uo pipefail

: "${TARVIK_EXE:?}" "${XTEST_TYPE:?}"
deadline=$((SECONDS + ${E2E_BUDGET_SECONDS:-240}))
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-wm.XXXXXX")
xvfb_pid='' wm_pid='' tarvik_pid='' display=''

# Only what this script started is stopped, by process id.
. "$(dirname "$0")/e2e-lib.sh"

cleanup() {
  local status=$?
  if [ "$status" -ne 0 ] && [ -n "$display" ]; then
    echo "---- windows"
    xwininfo -display "$display" -root -tree 2>/dev/null | grep '"'
  fi
  stop "$tarvik_pid"
  stop "$wm_pid"
  stop "$xvfb_pid"
  if [ "$status" -ne 0 ]; then
    for f in tarvik.err wm.err xvfb.err; do [ -s "$work/$f" ] && { echo "---- $f"; cat "$work/$f"; }; done
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE

# eventually LIMIT COMMAND...: COMMAND succeeds within LIMIT seconds; false, not a failure, if not.
eventually() {
  local limit=$1
  shift
  (wait_until "$limit" "" "$@") >/dev/null
}

# --- the display, its window manager and Tarvik ----------------------------------------------

. "$(dirname "$0")/../../../scripts/xvfb.sh"
xvfb_start "$work" || fail "no private X server could be started"
# shellcheck disable=SC2153 # set by xvfb_start
xvfb_pid=$XVFB_PID display=$XVFB_DISPLAY

# The work area as the window manager gives it, "X Y WIDTH HEIGHT".
work_area() { xprop -display "$display" -root -notype _NET_WORKAREA 2>/dev/null | sed -n 's/^.* = \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\).*/\1 \2 \3 \4/p'; }
panels_reserved() { [ "$(work_area)" = "0 40 1024 668" ]; }

cat >"$work/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <margins><top>40</top><bottom>60</bottom><left>0</left><right>0</right></margins>
</openbox_config>
XML
mkdir -p "$work/home" "$work/empty" "$work/ports"
env -u SESSION_MANAGER DISPLAY="$display" HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" openbox --sm-disable --config-file "$work/rc.xml" >/dev/null 2>"$work/wm.err" &
wm_pid=$!
wait_until 30 "openbox to reserve the panels' room" panels_reserved

# Low on the screen: there is no room below the main window for the Monitor.
printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Ondrix Series III\Tarvik]' \
  '"Main Pos x"=dword:00000190' '"Main Pos y"=dword:000001f4' '"Main Visible"=dword:00000001' >"$work/user.reg"
# No browser and no handler for web pages: help opens in Tarvik's own viewer.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u BROWSER -u SESSION_MANAGER DISPLAY="$display" \
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data" \
  XDG_CONFIG_DIRS="$work/empty" XDG_DATA_DIRS="$work/empty" \
  TARVIK_USER_HIVE="$work/user.reg" TARVIK_MACHINE_HIVE="$work/machine.reg" TARVIK_PORTS_DIR="$work/ports" \
  TARVIK_BENCH_IDLE_MARK=1 DBUS_SESSION_BUS_ADDRESS=disabled: "$TARVIK_EXE" >/dev/null 2>"$work/tarvik.err" &
tarvik_pid=$!

# --- reading the windows ------------------------------------------------------------------------

# The viewable client windows titled $1, one a line.
windows_titled() {
  local id
  for id in $(xwininfo -display "$display" -root -tree 2>/dev/null | sed -n "s/^ *\\(0x[0-9a-f]*\\) \"$1\".*/\\1/p"); do
    if xwininfo -display "$display" -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then echo "$id"; fi
  done
}
window_titled() { windows_titled "$1" | head -n1 | grep .; }
shown() {
  kill -0 "$tarvik_pid" 2>/dev/null || fail "Tarvik ended early"
  window_titled "$1" >/dev/null
}
gone() { ! shown "$1"; }

# The top-level window (the frame, under a window manager) that holds window $1.
frame_of() {
  local id=$1 tree
  while tree=$(xwininfo -display "$display" -id "$id" -tree 2>/dev/null) &&
    ! grep -q '^ *Parent window id: .*(the root window)' <<<"$tree"; do
    id=$(sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p' <<<"$tree")
  done
  echo "$id"
}

# The outer rectangle of window $1's frame, "LEFT TOP RIGHT BOTTOM" (right and bottom exclusive).
frame_rect() {
  xwininfo -display "$display" -id "$(frame_of "$1")" | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } /Border width/ { b = $NF }
    END { print x, y, x + w + 2 * b, y + h + 2 * b }'
}

# listed_above A B ID...: window A comes after window B among ID..., which are bottom to top.
listed_above() {
  local upper=$(($1)) lower=$(($2)) seen_lower='' id
  shift 2
  for id in "$@"; do
    if ((id == lower)); then
      seen_lower=1
    elif ((id == upper)); then
      [ -n "$seen_lower" ]
      return
    fi
  done
  return 1
}

# What the window manager says: its clients bottom to top.
wm_stacks_above() {
  local ids
  mapfile -t ids < <(xprop -display "$display" -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*')
  listed_above "$1" "$2" "${ids[@]}"
}

# What the X server has: the root's children (the frames), which xwininfo lists top-most first.
x_stacks_above() {
  local ids
  mapfile -t ids < <(xwininfo -display "$display" -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | tac)
  listed_above "$(frame_of "$1")" "$(frame_of "$2")" "${ids[@]}"
}

transient_for() { xprop -display "$display" -id "$1" WM_TRANSIENT_FOR | sed -n 's/.*window id # \(0x[0-9a-f]*\).*/\1/p'; }

inside_work_area() {
  local l t r b x y w h
  read -r l t r b <<<"$(frame_rect "$1")"
  read -r x y w h <<<"$(work_area)"
  [ "$l" -ge "$x" ] && [ "$t" -ge "$y" ] && [ "$r" -le $((x + w)) ] && [ "$b" -le $((y + h)) ]
}

# expect_above TITLE: the window titled TITLE is transient for the main window and stacked above it,
# with its whole frame in the work area.
expect_above() {
  local id
  id=$(window_titled "$1")
  [ $(($(transient_for "$id"))) -eq $((main)) ] ||
    fail "\"$1\" is transient for $(transient_for "$id"), not for the main window $main"
  wait_until 30 "the window manager to stack \"$1\" above the main window" wm_stacks_above "$id" "$main"
  wait_until 30 "the frame of \"$1\" above the main window's" x_stacks_above "$id" "$main"
  # A frame is placed once its window is mapped: wait for that, not for a time.
  if ! eventually 30 inside_work_area "$id"; then
    fail "\"$1\" at $(frame_rect "$id") is not inside the work area $(work_area)"
  fi
  echo "\"$1\": above the main window, frame $(frame_rect "$id") inside the work area"
}

# The menu is a window of its own, named like the program.
menu_shown() { [ "$(windows_titled Tarvik | wc -l)" -ge 2 ]; }

# choose N: the Nth item of the window's own menu (Close, Properties, Monitor, Help, About), from
# the keyboard.
choose() {
  "$XTEST_TYPE" --display "$display" --window-name Tarvik key Menu || fail "opening the menu"
  wait_until 30 "the window's menu" menu_shown
  local steps=() _
  for _ in $(seq "$1"); do steps+=(key Down); done
  "$XTEST_TYPE" --display "$display" "${steps[@]}" key Return || fail "choosing item $1"
}

press() { "$XTEST_TYPE" --display "$display" --window-name "$1" key "$2" || fail "$2 in \"$1\""; }

overlap() {
  local a b
  read -r -a a <<<"$(frame_rect "$1")"
  read -r -a b <<<"$(frame_rect "$2")"
  [ "${a[0]}" -lt "${b[2]}" ] && [ "${b[0]}" -lt "${a[2]}" ] && [ "${a[1]}" -lt "${b[3]}" ] && [ "${b[1]}" -lt "${a[3]}" ]
}

# --- the windows ----------------------------------------------------------------------------------

wait_until 60 "Tarvik's window" shown Tarvik
wait_until 60 "Tarvik's start-up to end" grep -q 'idle' "$work/tarvik.err"
main=$(window_titled Tarvik)
floats() { xprop -display "$display" -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
wait_until 30 "the main window to float on top" floats

# A message box: a line of the settings file that cannot be read is reported when the file is next
# used, which opening Properties does (it stores the window's position first).
echo '"Broken line' >>"$work/user.reg"
choose 2
wait_until 60 "the message box" shown "Application Error"
expect_above "Application Error"
press "Application Error" Return
wait_until 60 "the message box to close" gone "Application Error"

wait_until 60 "the preferences sheet" shown "Tarvik Properties"
expect_above "Tarvik Properties"
press "Tarvik Properties" Escape
wait_until 60 "the sheet to close" gone "Tarvik Properties"

choose 5
wait_until 60 "the About box" shown "About Tarvik"
expect_above "About Tarvik"
press "About Tarvik" Escape
wait_until 60 "the About box to close" gone "About Tarvik"

choose 4
wait_until 60 "the help viewer" shown "Tarvik Help"
expect_above "Tarvik Help"

choose 3
wait_until 60 "the Monitor" shown Monitor
expect_above Monitor
clear_of_main() { ! overlap "$(window_titled Monitor)" "$main"; }
if ! eventually 30 clear_of_main; then
  fail "the Monitor at $(frame_rect "$(window_titled Monitor)") covers the main window at $(frame_rect "$main")"
fi
echo "PASS: wm-stacking"
