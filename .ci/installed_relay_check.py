#!/usr/bin/env python3
"""Relays one message through the installed program, as its own user.

Usage: installed_relay_check.py EXECUTABLE USER

Starts the installed executable headless as USER with a fresh data folder on
a listening port below 1024 (which only works through the capability the
package grants), a fake DNS server on 127.0.0.1 that names a loopback address
as every domain's exchanger, and a fake exchanger on that address's port 25
(the relay's outbound port; root is needed to listen there). One message
goes through; the exchanger must receive it, SIGTERM must end the relay with
exit code 0, and the log must hold the delivered record. Every wait is
bounded; nothing leaves 127.0.0.0/8.
"""
import os
import pwd
import random
import shutil
import signal
import smtplib
import socket
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time
from email.message import EmailMessage

RECIPIENT = "friend@example.test"
SUBJECT = "Installed relay check"


def fail(text):
    print(f"installed relay check: {text}", file=sys.stderr)
    sys.exit(1)


def encode_name(name):
    return b"".join(bytes([len(p)]) + p.encode() for p in name.split(".")) + b"\0"


class FakeDns(threading.Thread):
    """Answers every MX question with one exchanger, the given dotted address."""

    def __init__(self, exchanger):
        super().__init__(daemon=True)
        self.exchanger = exchanger
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.stopping = False

    def run(self):
        while not self.stopping:
            try:
                query, peer = self.sock.recvfrom(512)
            except socket.timeout:
                continue
            if len(query) < 12:
                continue
            end = 12
            while end < len(query) and query[end] != 0:
                end += query[end] + 1
            question = query[12:end + 5]
            header = query[:2] + struct.pack(">HHHHH", 0x8180, 1, 1, 0, 0)
            rdata = struct.pack(">H", 10) + encode_name(self.exchanger)
            answer = struct.pack(">HHHIH", 0xC00C, 15, 1, 60, len(rdata)) + rdata
            self.sock.sendto(header + question + answer, peer)


class FakeExchanger(socketserver.ThreadingTCPServer):
    """An SMTP server that accepts everything and keeps what it was given."""

    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, address):
        self.received = []  # (recipients, data) per message
        super().__init__((address, 25), ExchangerSession)


class ExchangerSession(socketserver.StreamRequestHandler):
    timeout = 10

    def reply(self, line):
        self.wfile.write(line.encode() + b"\r\n")

    def handle(self):
        self.reply("220 fake exchanger ready")
        recipients, data = [], None
        while True:
            line = self.rfile.readline(4096)
            if not line:
                return
            command = line.decode("latin-1").rstrip("\r\n")
            verb = command[:4].upper()
            if verb in ("HELO", "EHLO"):
                self.reply("250 fake exchanger")
            elif verb == "MAIL":
                recipients = []
                self.reply("250 Ok")
            elif verb == "RCPT":
                recipients.append(command[8:].strip().strip("<>"))
                self.reply("250 Ok")
            elif verb == "DATA":
                self.reply("354 End data with <CR><LF>.<CR><LF>")
                lines = []
                while True:
                    body = self.rfile.readline(65536)
                    if not body or body in (b".\r\n", b".\n"):
                        break
                    lines.append(body.decode("latin-1"))
                self.server.received.append((recipients, "".join(lines)))
                self.reply("250 Ok: queued")
            elif verb == "QUIT":
                self.reply("221 Bye")
                return
            else:
                self.reply("250 Ok")


def free_low_port():
    for port in random.sample(range(600, 1000), 400):
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
            try:
                probe.bind(("0.0.0.0", port))
                return port
            except OSError:
                continue
    fail("no free port below 1024")


def start_exchanger():
    for _ in range(50):
        address = f"127.{random.randint(1, 254)}.{random.randint(0, 255)}.{random.randint(2, 254)}"
        try:
            return FakeExchanger(address)
        except OSError:
            continue
    fail("no loopback address with a free port 25")


def wait_for_greeting(port, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as probe:
                return probe.makefile("rb").readline().decode().strip()
        except OSError:
            time.sleep(0.05)
    return None


def main():
    if len(sys.argv) != 3:
        fail("usage: installed_relay_check.py EXECUTABLE USER")
    executable, user = sys.argv[1], sys.argv[2]
    account = pwd.getpwnam(user)

    exchanger = start_exchanger()
    threading.Thread(target=exchanger.serve_forever, daemon=True).start()
    dns = FakeDns(exchanger.server_address[0])
    dns.start()
    port = free_low_port()

    data = tempfile.mkdtemp(prefix="postwick-installed-")
    os.chown(data, account.pw_uid, account.pw_gid)
    with open(os.path.join(data, "postwick.opt"), "w", newline="") as settings:
        settings.write(f"USERPORT=1\r\nPORT={port}\r\nFIREWALL=1\r\nUSERDNS=1\r\nDNS=127.0.0.1:{dns.port}\r\n")
    errors = open(os.path.join(data, "stderr.txt"), "w")
    relay = subprocess.Popen(
        ["setpriv", f"--reuid={account.pw_uid}", f"--regid={account.pw_gid}", "--init-groups",
         executable, "--headless", "--data-dir", data],
        stdin=subprocess.DEVNULL, stdout=errors, stderr=errors,
        env={"PATH": "/usr/bin:/bin", "HOME": account.pw_dir, "LANG": "C.UTF-8"})
    try:
        greeting = wait_for_greeting(port, 15)
        if greeting is None:
            fail(f"no greeting on port {port}; its output:\n" + open(errors.name).read())
        print(f"-- greeting on port {port} as {user}: {greeting}")

        message = EmailMessage()
        message["From"] = "Me <me@example.com>"
        message["To"] = RECIPIENT
        message["Subject"] = SUBJECT
        message.set_content("Sent through the installed relay.")
        with smtplib.SMTP("127.0.0.1", port, timeout=20) as client:
            refused = client.send_message(message)
        if refused:
            fail(f"recipients refused: {refused}")
        if not exchanger.received or exchanger.received[0][0] != [RECIPIENT] or \
                f"Subject: {SUBJECT}" not in exchanger.received[0][1]:
            fail(f"the exchanger got {exchanger.received!r}")
        print(f"-- delivered to the exchanger on {exchanger.server_address[0]}:25")

        relay.send_signal(signal.SIGTERM)
        try:
            code = relay.wait(10)
        except subprocess.TimeoutExpired:
            fail("still running 10 s after SIGTERM")
        if code != 0:
            fail(f"exit code {code} after SIGTERM")
        with open(os.path.join(data, "postwick.log"), encoding="latin-1") as log:
            records = log.read().splitlines()
        wanted = f"1 {RECIPIENT}\t{SUBJECT}\tSent successfully\t"
        if not any(record.startswith(wanted) for record in records):
            fail(f"no delivered record in the log: {records!r}")
        print("-- SIGTERM ended it with exit code 0 and the log holds the delivered record")
    finally:
        if relay.poll() is None:
            relay.kill()
            relay.wait(5)
        dns.stopping = True
        exchanger.shutdown()
        exchanger.server_close()
        shutil.rmtree(data, ignore_errors=True)


if __name__ == "__main__":
    main()
