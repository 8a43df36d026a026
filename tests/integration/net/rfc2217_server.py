#!/usr/bin/python3
"""An RFC 2217 server that is not ser2net, for the network-line tests: pyserial's PortManager in
front of a pseudo-terminal, for one connection on 127.0.0.1.

Usage: rfc2217_server.py SLAVE PORT_FILE STATE_FILE
Writes the port it listens on to PORT_FILE, and after each request the serial line's settings as
it set them (JSON) to STATE_FILE.
"""
import json
import os
import select
import socket
import sys

import termios

import serial
import serial.rfc2217


class PtySerial(serial.Serial):
    """A pseudo-terminal has no modem lines: DTR and RTS are kept as asked, not sent to it, and
    the lines the server reports to the client read as off."""

    cts = dsr = ri = cd = property(lambda self: False)

    def _reconfigure_port(self, force_update=False):
        # It also refuses a change of data bits or parity: it keeps the speed and stop bits it
        # can show, and the settings as asked stay in this object for the state file.
        try:
            super()._reconfigure_port(force_update)
        except termios.error:
            attrs = termios.tcgetattr(self.fd)
            attrs[2] = (attrs[2] & ~termios.CSTOPB) | (termios.CSTOPB if self._stopbits == 2 else 0)
            attrs[4] = attrs[5] = getattr(termios, "B%d" % self._baudrate)
            termios.tcsetattr(self.fd, termios.TCSANOW, attrs)

    def _update_dtr_state(self):
        pass

    def _update_rts_state(self):
        pass


class Connection:
    def __init__(self, sock):
        self.sock = sock

    def write(self, data):
        self.sock.sendall(data)


def write_atomically(path, text):
    with open(path + ".tmp", "w") as out:
        out.write(text)
    os.rename(path + ".tmp", path)


def main():
    slave, port_file, state_file = sys.argv[1:4]
    # Not the settings the client asks for, so the test sees that it asked.
    line = PtySerial(slave, baudrate=115200, bytesize=7, parity="E", stopbits=2, timeout=0)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    write_atomically(port_file, str(listener.getsockname()[1]))
    sock, _ = listener.accept()
    manager = serial.rfc2217.PortManager(line, Connection(sock))
    while True:
        ready, _, _ = select.select([sock, line.fd], [], [])
        if sock in ready:
            data = sock.recv(4096)
            if not data:
                return
            line.write(b"".join(manager.filter(data)))
            state = {"baud": line.baudrate, "bytesize": line.bytesize, "parity": line.parity,
                     "stopbits": line.stopbits, "dtr": line.dtr, "rts": line.rts}
            write_atomically(state_file, json.dumps(state, sort_keys=True))
        if line.fd in ready:
            sock.sendall(b"".join(manager.escape(os.read(line.fd, 4096))))


if __name__ == "__main__":
    main()
