#!/usr/bin/env bash
# Wake-ups of an idle Tarvik with both lines open: the context switches of all its threads over a
# period, from /proc. Two pseudo-terminals stand in for the lines; private hives, no bus, the
# offscreen platform when there is no display. Prints the figures; nothing is asserted.
# Usage: bench/idle.sh path/to/tarvik [seconds]
set -euo pipefail
exec /usr/bin/python3 - "$@" <<'PY'
import os, select, subprocess, sys, tempfile, time

tarvik = sys.argv[1]
period = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
work = tempfile.mkdtemp(prefix="tarvik-idle-")
os.makedirs(f"{work}/ports")
masters = []
for number in (1, 2):
    master, slave = os.openpty()
    masters.append(master)
    os.symlink(os.ttyname(slave), f"{work}/ports/COM{number}")
with open(f"{work}/machine.reg", "w") as hive:
    hive.write('Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n'
               '"Display Port"=dword:00000001\n"Merge Port"=dword:00000002\n')
env = dict(os.environ, TARVIK_PORTS_DIR=f"{work}/ports", TARVIK_MACHINE_HIVE=f"{work}/machine.reg",
           TARVIK_USER_HIVE=f"{work}/user.reg", DBUS_SESSION_BUS_ADDRESS="disabled:")
if "DISPLAY" not in env:
    env["QT_QPA_PLATFORM"] = "offscreen"
app = subprocess.Popen([tarvik], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

def switches():
    total = {}
    for task in os.listdir(f"/proc/{app.pid}/task"):
        try:
            with open(f"/proc/{app.pid}/task/{task}/status") as status:
                fields = dict(line.split(":", 1) for line in status if ":" in line)
            total[task] = (fields["Name"].strip(), int(fields["voluntary_ctxt_switches"]) +
                           int(fields["nonvoluntary_ctxt_switches"]))
        except FileNotFoundError:
            pass
    return total

# Both lines open once the mouse packet is on each; then let start-up settle.
got = {m: 0 for m in masters}
deadline = time.time() + 20
while min(got.values()) < 6 and time.time() < deadline:
    for m in select.select(masters, [], [], 0.5)[0]:
        got[m] += len(os.read(m, 64))
time.sleep(2)
before = switches()
time.sleep(period)
after = switches()
app.terminate()
app.wait()
print(f"threads: {len(after)}; context switches over {period:.0f} s with both lines open:")
for task, (name, count) in sorted(after.items()):
    print(f"  {name:16} {count - before.get(task, (name, count))[1]}")
print(f"  total            {sum(c - before.get(t, (n, c))[1] for t, (n, c) in after.items())}")
subprocess.run(["rm", "-rf", work])
PY
