#!/usr/bin/env bash
# Wake-ups of Tarvik with both lines open, from the context switches of all its threads in /proc:
# while idle for a period, then per byte forwarded from the Merge Port (each byte awaited on both
# lines before the next is sent). Two pseudo-terminals stand in for the lines; private hives, no
# bus, the offscreen platform when there is no display. Prints the figures; nothing is asserted.
# Usage: bench/wakeups.sh path/to/tarvik [idle seconds] [bytes]
set -euo pipefail
exec /usr/bin/python3 - "$@" <<'PY'
import os, select, subprocess, sys, tempfile, time

tarvik = sys.argv[1]
period = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
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

def await_bytes(want, limit=20):
    got = {m: 0 for m in masters}
    deadline = time.time() + limit
    while min(got.values()) < want and time.time() < deadline:
        for m in select.select(masters, [], [], 0.5)[0]:
            got[m] += len(os.read(m, 64))
    return min(got.values()) >= want

def report(title, before, after, per=1):
    print(title)
    for task, (name, total) in sorted(after.items()):
        print(f"  {name:16} {(total - before.get(task, (name, total))[1]) / per:g}")
    print(f"  all threads      {sum(c - before.get(t, (n, c))[1] for t, (n, c) in after.items()) / per:g}")

# Both lines are open once the mouse packet is on each; then start-up is let settle.
if await_bytes(6):
    time.sleep(2)
    before = switches()
    time.sleep(period)
    after = switches()
    report(f"context switches over {period:g} s idle:", before, after)
    before = switches()
    for _ in range(count):
        os.write(masters[1], b"a")
        await_bytes(1, 5)
    after = switches()
    report(f"context switches per byte forwarded ({count} bytes):", before, after, count)
else:
    print("Tarvik did not open its lines", file=sys.stderr)
app.terminate()
app.wait()
subprocess.run(["rm", "-rf", work])
PY
