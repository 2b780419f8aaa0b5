"""A real SMTP server (aiosmtpd) for the mail client's tests.

usage: aiosmtpd_server.py FOLDER

Listens on a free port of 127.0.0.1 and prints it on a line of its own. AUTH LOGIN
with user "user" and password "pass" is required. Message N is written to
FOLDER/message-N.eml and its envelope (sender, then recipients, one a line) to
FOLDER/envelope-N.txt before the end of data is accepted. Runs until terminated.
"""
import os
import signal
import socket
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Recorder:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        with open(os.path.join(self.folder, f"message-{self.count}.eml"), "wb") as f:
            f.write(envelope.content)
        with open(os.path.join(self.folder, f"envelope-{self.count}.txt"), "w") as f:
            f.write("\n".join([envelope.mail_from] + envelope.rcpt_tos) + "\n")
        return "250 OK"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == b"user"
          and auth_data.password == b"pass")
    return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    controller = None
    for _ in range(5):
        port = free_port()
        controller = Controller(Recorder(sys.argv[1]), hostname="127.0.0.1", port=port,
                                authenticator=authenticator, auth_required=True,
                                auth_require_tls=False)
        try:
            controller.start()
            break
        except Exception:
            controller = None
    if controller is None:
        sys.exit(1)
    print(port, flush=True)
    stop.wait()
    controller.stop()


main()
