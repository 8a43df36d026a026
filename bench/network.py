#!/usr/bin/python3
"""Network lines through ser2net on loopback, in front of pseudo-terminals:

- reconnection: ser2net is stopped and started again, repeatedly, and the time is taken from the
  moment it listens again until Tarvik says each line is "reconnected" and until its mouse packet
  is at each line's far end. The server comes back either at once (while Tarvik waits its first
  step of 1 s) or once the first try has been refused (Tarvik then waits 2 s);
- wake-ups: the context switches of all Tarvik's threads (/proc/PID/task/*/status) while both lines
  are connected and idle, beside a Tarvik on local pseudo-terminals started at the same moment;
  then per byte forwarded from the Merge Port, each awaited on both lines before the next.

Private hives and ports folders, no bus, the offscreen platform when there is no display.
Prints the figures; nothing is asserted.

Usage: bench/network.py path/to/tarvik [repetitions] [idle seconds]
"""
import os
import select
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import tty

SER2NET = "/usr/sbin/ser2net"
LINES = ("Display", "Merge")


def free_ports(count):
    """Ports on 127.0.0.1 that nothing listened on a moment ago, all different."""
    sockets = [socket.socket() for _ in range(count)]
    for s in sockets:
        s.bind(("127.0.0.1", 0))
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


def listening(port):
    """Read from the kernel's table: connecting to ask would make ser2net open the line."""
    wanted = f": 0100007F:{port:04X} 00000000:0000 0A "
    with open("/proc/net/tcp") as table:
        return any(wanted in line for line in table)


class Rig:
    """Two pseudo-terminals as COM1 (Display Port) and COM2 (Merge Port) in a private folder; with
    serve(), ser2net in front of them and COM1 and COM2 linked to its addresses instead."""

    def __init__(self, name):
        self.dir = tempfile.mkdtemp(prefix=f"tarvik-{name}-")
        os.makedirs(f"{self.dir}/ports")
        self.masters, self.slaves = [], []
        for number in (1, 2):
            master, slave = os.openpty()
            tty.setraw(slave)  # the spare slave keeps the line up while ser2net closes its end
            self.masters.append(master)
            self.slaves.append(slave)
            os.symlink(os.ttyname(slave), f"{self.dir}/ports/COM{number}")
        with open(f"{self.dir}/machine.reg", "w") as hive:
            hive.write("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
                       '"Display Port"=dword:00000001\n"Merge Port"=dword:00000002\n"Baud"=dword:00002580\n')
        self.env = dict(os.environ, TARVIK_PORTS_DIR=f"{self.dir}/ports",
                        TARVIK_MACHINE_HIVE=f"{self.dir}/machine.reg", TARVIK_USER_HIVE=f"{self.dir}/user.reg",
                        DBUS_SESSION_BUS_ADDRESS="disabled:")
        if "DISPLAY" not in self.env:
            self.env["QT_QPA_PLATFORM"] = "offscreen"
        self.server = None
        self.ports = None

    def serve(self):
        """Starts ser2net (`chardelay: false`); returns when it listens on both ports, and when."""
        if self.ports is None:
            self.ports = free_ports(2)
            with open(f"{self.dir}/ser2net.yaml", "w") as yaml:
                yaml.write("%YAML 1.1\n---\n")
                for number, port in zip((1, 2), self.ports):
                    yaml.write(f"connection: &com{number}\n  accepter: telnet(rfc2217),tcp,127.0.0.1,{port}\n"
                               f"  connector: serialdev,{os.ttyname(self.slaves[number - 1])},9600n81,local\n"
                               "  options:\n    kickolduser: true\n    chardelay: false\n")
            for number, port in zip((1, 2), self.ports):
                os.remove(f"{self.dir}/ports/COM{number}")
                os.symlink(f"rfc2217://127.0.0.1:{port}", f"{self.dir}/ports/COM{number}")
        self.server = subprocess.Popen([SER2NET, "-n", "-u", "-c", f"{self.dir}/ser2net.yaml"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not all(listening(port) for port in self.ports):
            if time.monotonic() > deadline or self.server.poll() is not None:
                raise RuntimeError("ser2net did not listen")
            time.sleep(0.001)
        return time.monotonic()

    def stop_server(self):
        if self.server:
            self.server.terminate()
            self.server.wait()
            self.server = None

    def drain(self):
        while ready := select.select(self.masters, [], [], 0)[0]:
            for master in ready:
                os.read(master, 4096)

    def first_bytes(self, limit=60):
        """When the first bytes arrive at each line's far end (None for a line that stays quiet)."""
        arrived = [None, None]
        deadline = time.monotonic() + limit
        while None in arrived and time.monotonic() < deadline:
            for master in select.select(self.masters, [], [], 0.5)[0]:
                now = time.monotonic()
                os.read(master, 4096)
                index = self.masters.index(master)
                arrived[index] = arrived[index] or now
        return arrived

    def remove(self):
        self.stop_server()
        shutil.rmtree(self.dir, ignore_errors=True)


class Tarvik:
    """Tarvik on a rig; every line it writes on stderr is kept with the moment it was read."""

    def __init__(self, path, rig):
        self.proc = subprocess.Popen([path], env=rig.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.lines = []
        self.changed = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stderr:
            with self.changed:
                self.lines.append((time.monotonic(), raw.decode(errors="replace")))
                self.changed.notify_all()

    def mark(self):
        with self.changed:
            return len(self.lines)

    def await_line(self, start, *parts, limit=60):
        """When the first line from `start` on that holds all of `parts` was read; None if none."""
        deadline = time.monotonic() + limit
        with self.changed:
            while True:
                for when, line in self.lines[start:]:
                    if all(part in line for part in parts):
                        return when
                if time.monotonic() > deadline:
                    return None
                self.changed.wait(deadline - time.monotonic())

    def said(self, start):
        with self.changed:
            return "".join(line for _, line in self.lines[start:])

    def switches(self):
        """Context switches of each thread so far, by thread id: (name, voluntary, involuntary). A
        voluntary one is a sleep that ended in a wake-up; an involuntary one, a thread put aside
        for another, as when a write over loopback wakes the reader at once."""
        total = {}
        for task in os.listdir(f"/proc/{self.proc.pid}/task"):
            try:
                with open(f"/proc/{self.proc.pid}/task/{task}/status") as status:
                    fields = dict(line.split(":", 1) for line in status if ":" in line)
                total[task] = (fields["Name"].strip(), int(fields["voluntary_ctxt_switches"]),
                               int(fields["nonvoluntary_ctxt_switches"]))
            except FileNotFoundError:
                pass
        return total

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def reconnect_once(tarvik, rig, after_refusal):
    """Stops the server, brings it back (at once, or once each line's first try was refused) and
    returns the seconds from its return until each line says "reconnected" and until each line's
    far end has bytes again, and how long after the loss the server came back."""
    mark = tarvik.mark()
    rig.stop_server()
    awaited = "(Connection refused)" if after_refusal else "(closed by the server)"
    lost = [tarvik.await_line(mark, f"{line}:", "waiting to reconnect (closed by the server)") for line in LINES]
    if None in lost or None in [tarvik.await_line(mark, f"{line}:", awaited) for line in LINES]:
        raise RuntimeError("Tarvik did not say its lines wait to reconnect: " + tarvik.said(mark))
    rig.drain()
    mark = tarvik.mark()
    back = rig.serve()
    arrived = rig.first_bytes()
    said = [tarvik.await_line(mark, f"{line}:", "reconnected") for line in LINES]
    if None in said or None in arrived:
        raise RuntimeError("a line did not come back: " + tarvik.said(mark))
    return [t - back for t in said], [t - back for t in arrived], back - min(lost)


def measure_reconnection(path, repetitions):
    rig = Rig("reconnect")
    tarvik = None
    try:
        rig.serve()
        tarvik = Tarvik(path, rig)
        if None in [tarvik.await_line(0, f"{line}:", ", open") for line in LINES]:
            raise RuntimeError("Tarvik did not open its lines")
        for after_refusal in (False, True):
            title = ("server back once the first try was refused (Tarvik waits 2 s)" if after_refusal else
                     "server back at once (Tarvik waits its first step, 1 s)")
            print(f"reconnection, {title}; seconds from the server listening again:")
            print("  run | loss → back | Display reconnected | Merge reconnected | Display bytes | Merge bytes")
            worst = []
            for run in range(1, repetitions + 1):
                said, arrived, gap = reconnect_once(tarvik, rig, after_refusal)
                worst.append(max(said + arrived))
                print(f"  {run:3} | {gap:11.3f} | {said[0]:19.3f} | {said[1]:17.3f} | {arrived[0]:13.3f} |"
                      f" {arrived[1]:11.3f}")
                time.sleep(0.5)
            print(f"  last line back: min {min(worst):.3f}, median {statistics.median(worst):.3f},"
                  f" max {max(worst):.3f}\n")
    finally:
        if tarvik:
            tarvik.stop()
        rig.remove()


def report_switches(title, tarviks, before, after, per=1):
    print(f"{title} (voluntary + involuntary)")
    for name, _ in tarviks:
        print(f"  {name}:")
        sums = [0, 0]
        for task, (thread, *counts) in sorted(after[name].items()):
            was = before[name].get(task, (thread, *counts))[1:]
            spent = [(now - then) / per for now, then in zip(counts, was)]
            sums = [a + b for a, b in zip(sums, spent)]
            print(f"    {thread:16} {spent[0]:g} + {spent[1]:g}")
        print(f"    all threads      {sums[0]:g} + {sums[1]:g}")


def forward(rig, count):
    """Sends `count` single bytes from the Merge Port's far end, each awaited on both lines."""
    for _ in range(count):
        os.write(rig.masters[1], b"a")
        got = [0, 0]
        deadline = time.monotonic() + 5
        while min(got) < 1 and time.monotonic() < deadline:
            for master in select.select(rig.masters, [], [], 0.5)[0]:
                got[rig.masters.index(master)] += len(os.read(master, 64))


def measure_idle(path, period, count):
    local, network = Rig("idle-local"), Rig("idle-net")
    tarviks = []
    try:
        network.serve()
        tarviks = [("local pseudo-terminals", Tarvik(path, local)), ("ser2net, RFC 2217", Tarvik(path, network))]
        for (_, tarvik), rig in zip(tarviks, (local, network)):
            if None in [tarvik.await_line(0, f"{line}:", ", open") for line in LINES] or None in rig.first_bytes():
                raise RuntimeError("Tarvik did not open its lines")
        time.sleep(1)
        # The first period holds gensio's checks for line settings ser2net never answers on a
        # pseudo-terminal (once a second for 5 s after opening); the second is idle throughout.
        marks = [{name: tarvik.switches() for name, tarvik in tarviks}]
        for _ in range(2):
            time.sleep(period)
            marks.append({name: tarvik.switches() for name, tarvik in tarviks})
        report_switches(f"context switches over {period:g} s, from 1 s after the lines opened:", tarviks, marks[0],
                        marks[1])
        report_switches(f"context switches over the next {period:g} s, connected and idle:", tarviks, marks[1],
                        marks[2])
        # One line at a time, so the other Tarvik is idle meanwhile.
        before, after = {}, {}
        for (name, tarvik), rig in zip(tarviks, (local, network)):
            before[name] = tarvik.switches()
            forward(rig, count)
            after[name] = tarvik.switches()
        report_switches(f"context switches per byte forwarded from the Merge Port ({count} bytes):", tarviks, before,
                        after, count)
    finally:
        for _, tarvik in tarviks:
            tarvik.stop()
        local.remove()
        network.remove()


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "build/app/tarvik"
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    period = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0
    print(f"{time.strftime('%Y-%m-%d %H:%M:%S %Z')}, load average {os.getloadavg()[0]:.2f}\n")
    measure_reconnection(path, repetitions)
    measure_idle(path, period, 1000)


if __name__ == "__main__":
    main()
