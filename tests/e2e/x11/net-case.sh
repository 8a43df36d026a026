# Sourced by x11-e2e.sh: the network case, both lines over RFC 2217 through ser2net on loopback in
# front of the simulator's pseudo-terminals.
#
# First a run with nothing listening yet: each line says on stderr which address refused it and
# why, and Tarvik stays up without spinning. Then ser2net starts and a second run connects: keys
# reach the instrument and its name reaches the window. ser2net is stopped: the lines wait to
# reconnect, with next to no CPU spent; it starts again and bytes flow.

ser2net_pid=''

# A port on 127.0.0.1 that nothing listened on a moment ago.
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# Read from the kernel's table, so asking opens no connection (which would make ser2net open the
# serial line).
listening() { grep -q ": 0100007F:$(printf %04X "$1") 00000000:0000 0A " /proc/net/tcp; }

start_ser2net() {
  /usr/sbin/ser2net -n -d -u -c "$work/ser2net.yaml" >"$work/ser2net.out" 2>&1 &
  ser2net_pid=$!
  others+=" $ser2net_pid"
  wait_until 30 "ser2net to listen" listening "$display_port"
  wait_until 30 "ser2net to listen" listening "$merge_port"
}

err_has() { grep -qF -- "$2" "$work/$1.err"; }

case_network() {
  command -v /usr/sbin/ser2net >/dev/null || fail "ser2net is not installed"
  start_sim
  display_port=$(free_port) merge_port=$(free_port)
  local display_url=rfc2217://127.0.0.1:$display_port merge_url=rfc2217://127.0.0.1:$merge_port
  # The simulator bound COM1 (display line) and COM2 (keyboard line) to its pseudo-terminals;
  # ser2net serves those, and the ports folder names ser2net's addresses instead.
  {
    printf '%%YAML 1.1\n---\n'
    for line in display:1:"$display_port" merge:2:"$merge_port"; do
      IFS=: read -r name number port <<<"$line"
      printf 'connection: &%s\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n' "$name" "$port"
      printf '  connector: serialdev,%s,115200n81,local\n' "$(readlink "$work/ports/COM$number")"
    done
  } >"$work/ser2net.yaml"
  ln -sfn "$display_url" "$work/ports/COM1"
  ln -sfn "$merge_url" "$work/ports/COM2"

  run=refused launch_tarvik
  wait_until 60 "Tarvik's window to be viewable" window_viewable
  wait_until 60 "the refused display line on stderr" err_has refused "Display: COM1 → $display_url, not open: Connection refused"
  wait_until 60 "the refused merge line on stderr" err_has refused "Merge: COM2 → $merge_url, not open: Connection refused"
  local hz ticks
  hz=$(getconf CLK_TCK)
  ticks=$(tarvik_ticks)
  sleep 2
  local spent=$(($(tarvik_ticks) - ticks))
  echo "Tarvik's CPU time with both lines refused: $((spent * 1000 / hz)) ms in 2 s"
  [ "$spent" -lt "$hz" ] || fail "Tarvik spent $spent ticks in 2 s with both lines refused"
  stop "$tarvik_pid"

  start_ser2net
  start_tarvik
  err_has tarvik "Display: COM1 → $display_url, open" || fail "the display line's state on stderr"
  local before before_display
  before=$(count_lines "")
  before_display=$(count_lines "display ")
  xtest key a
  expect_items "" $((before + 1)) "key 0x61 'a'"
  expect_items "display " $((before_display + 1)) "key 0x61 'a'"
  sim_say "name Net Piano"
  wait_until 60 "the instrument's name in the window" grep -q "Net Piano" "$work/display.log"

  stop "$ser2net_pid"
  wait_until 60 "the display line to wait" err_has tarvik "Display: COM1 → $display_url, waiting to reconnect"
  wait_until 60 "the merge line to wait" err_has tarvik "Merge: COM2 → $merge_url, waiting to reconnect"
  kill -0 "$tarvik_pid" || fail "Tarvik ended when the server went away"
  ticks=$(tarvik_ticks)
  sleep 3
  spent=$(($(tarvik_ticks) - ticks))
  echo "Tarvik's CPU time while waiting to reconnect: $((spent * 1000 / hz)) ms in 3 s"
  [ "$spent" -lt "$hz" ] || fail "Tarvik spent $spent ticks in 3 s waiting to reconnect"
  xtest key x

  start_ser2net
  wait_until 60 "the display line to reconnect" err_has tarvik "Display: COM1 → $display_url, reconnected"
  wait_until 60 "the merge line to reconnect" err_has tarvik "Merge: COM2 → $merge_url, reconnected"
  before=$(count_lines "")
  xtest key b
  expect_items "" $((before + 1)) "key 0x62 'b'"
  # What was typed while the lines were down is not sent late.
  ! arrived "" | grep -q "key 0x78" || fail "the key typed while the lines were down arrived"
}
