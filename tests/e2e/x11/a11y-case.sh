# Sourced by x11-e2e.sh: the a11y case, what a screen reader and a desktop's task list are given.
#
# A private session bus with the accessibility bus launcher on it, as a desktop session has, and
# the registry daemon on the accessibility bus it starts; the toolkit finds that bus through the
# session bus (it cannot be named to it directly). Every control of the main window has a name
# (a11y_names.py walks the tree as a screen reader does), and the windows Tarvik gives no icon of
# their own have the program's icon.

a11y_address=''

# Sets a11y_address once the launcher answers on the session bus.
a11y_bus_known() {
  a11y_address=$(dbus-send --bus="$bus_address" --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ')
  [ -n "$a11y_address" ]
}

registry_up() {
  dbus-send --bus="$a11y_address" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.atspi.Registry 2>/dev/null | grep -q 'boolean true'
}

# The icon a window gives the desktop, as xprop draws it; empty without one.
icon_of() { xprop -display "$display" -id "$1" _NET_WM_ICON 2>/dev/null | grep -A10000 '^_NET_WM_ICON(CARDINAL) = '; }

case_a11y() {
  . "$(dirname "$0")/../../../scripts/session-bus.sh"
  bus_start "$work" || fail "no private session bus could be started"
  bus_pid=$BUS_PID bus_address=$BUS_ADDRESS
  mkdir -p "$work/home"
  # The launcher ends the accessibility bus it started when it is stopped.
  env -u WAYLAND_DISPLAY DISPLAY="$display" HOME="$work/home" DBUS_SESSION_BUS_ADDRESS="$bus_address" \
    /usr/libexec/at-spi-bus-launcher --launch-immediately </dev/null >"$work/launcher.out" 2>&1 &
  local launcher=$!
  others=$launcher
  wait_until 30 "the accessibility bus" a11y_bus_known
  # Started here rather than by the bus on first use, so that it is stopped with the rest.
  env -u WAYLAND_DISPLAY DISPLAY="$display" AT_SPI_BUS_ADDRESS="$a11y_address" DBUS_SESSION_BUS_ADDRESS="$bus_address" \
    /usr/libexec/at-spi2-registryd </dev/null >"$work/registry.out" 2>&1 &
  others="$! $launcher"
  wait_until 30 "the accessibility registry" registry_up

  # Only the first macro is stored, so the other function buttons have no caption to be named by.
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Ondrix Series III\Tarvik]' \
    '"Macro1"="i1"' '"Name1"="Mine"' '"Clear1"=dword:00000001' '"Return1"=dword:00000001' >"$work/user.reg"
  # No desktop handler for web pages: help opens in Tarvik's own viewer.
  mkdir -p "$work/none"
  BROWSER='' XDG_DATA_DIRS="$work/none" XDG_CONFIG_DIRS="$work/none" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 launch_tarvik
  wait_until 60 "Tarvik's window to be viewable" window_viewable
  # The start-up is over once the display line is watched: the function buttons have captions.
  wait_until 60 "the start-up" test -e "$work/display.log"
  env DISPLAY="$display" AT_SPI_BUS_ADDRESS="$a11y_address" DBUS_SESSION_BUS_ADDRESS="$bus_address" \
    timeout 120 /usr/bin/python3 "$(dirname "$0")/a11y_names.py" "$tarvik_pid" ||
    fail "the main window's controls are not all named"

  # The help viewer has no owner, and the Monitor has one: both carry the main window's icon.
  local icon width height left top
  icon=$(icon_of "$(tarvik_window)")
  [ -n "$icon" ] || fail "the main window has no icon"
  tarvik_size
  # The Help button spans x 115-128, y 3-16 of the 130 x 79 dialog units.
  xtest click $((width * 243 / 260)) $((height * 19 / 158))
  wait_until 30 "the help viewer" tarvik_window "Tarvik Help"
  [ "$(icon_of "$(tarvik_window "Tarvik Help")")" = "$icon" ] || fail "the help viewer has not the program's icon"
  xtest key Menu
  wait_until 30 "the context menu" at_least_windows Tarvik 2
  xtest key Down key Down key Down key Return
  wait_until 30 "the Monitor window" monitor_shown
  [ "$(icon_of "$(tarvik_window Monitor)")" = "$icon" ] || fail "the Monitor window has not the program's icon"
}
