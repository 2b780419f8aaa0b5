"""Plays one scripted SMTP conversation for the mail client's tests.

usage: scripted_smtp_server.py SCRIPT TRANSCRIPT

Listens on a free port of 127.0.0.1, prints the port on a line of its own, accepts
one connection and plays SCRIPT, one step per line. Every byte received is appended
to TRANSCRIPT at once. After the last step it reads until the client closes.

Steps:
  send TEXT    send TEXT, with \\r and \\n standing for CR and LF
  pause MS     wait MS milliseconds (to split a reply over two segments)
  read         read one line (a command)
  data         read the message up to the line "."
  close        close the connection and stop
  hang         read nothing and send nothing until killed
"""
import socket
import sys
import time


def main():
    script_path, transcript_path = sys.argv[1], sys.argv[2]
    with open(script_path, encoding="utf-8") as f:
        steps = [line.rstrip("\n") for line in f if line.strip()]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print(listener.getsockname()[1], flush=True)
    connection, _ = listener.accept()
    connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    transcript = open(transcript_path, "ab", buffering=0)
    pending = b""

    def receive_until(marker):
        # Keeps only what may begin the marker, so a message of any size costs
        # neither memory nor repeated searching.
        nonlocal pending
        while True:
            index = pending.find(marker)
            if index >= 0:
                pending = pending[index + len(marker):]
                return True
            pending = pending[len(pending) - len(marker) + 1:] if len(marker) > 1 else b""
            chunk = connection.recv(1 << 20)
            if not chunk:
                return False
            transcript.write(chunk)
            pending += chunk

    for step in steps:
        verb, _, argument = step.partition(" ")
        if verb == "send":
            text = argument.replace("\\r", "\r").replace("\\n", "\n")
            connection.sendall(text.encode("utf-8"))
        elif verb == "pause":
            time.sleep(int(argument) / 1000)
        elif verb == "read":
            if not receive_until(b"\n"):
                return
        elif verb == "data":
            if not receive_until(b"\r\n.\r\n"):
                return
        elif verb == "close":
            connection.close()
            return
        elif verb == "hang":
            while True:
                time.sleep(60)
    while True:
        chunk = connection.recv(65536)
        if not chunk:
            return
        transcript.write(chunk)


main()
