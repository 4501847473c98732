#!/usr/bin/python3
"""A small FTP server that misbehaves on purpose, one way per mode, on 127.0.0.1.

Prints "PORT <n>" once it listens, then "CMD <line>" for every command it receives.
Every RETR sends "file.bin", 1000 bytes (half of it in the half-* modes); every LIST sends the same
two-line listing. Passive mode only.
"""
import socket
import sys
import threading

MODE = sys.argv[1]
SIZE = 1000
DATA = (bytes(range(256)) * 4)[:SIZE]
LISTING = (
    b"-rw-r--r--   1 owner group  1000 Mar 01 10:00 Prixel.exe.old\r\n"
    b"-rw-r--r--   1 owner group  1000 Mar 01 10:00 file.bin\r\n"
)


def log(text):
    print(text, flush=True)


class Session:
    def __init__(self, conn):
        self.conn = conn
        self.reader = conn.makefile("rb")
        self.listener = None

    def send(self, text):
        self.conn.sendall(text.encode() + b"\r\n")

    def open_passive(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        return self.listener.getsockname()[1]

    def data(self):
        d, _ = self.listener.accept()
        self.listener.close()
        return d

    def run(self):
        if MODE == "silent":
            self.reader.read()  # never answers; waits for the client to give up
            return
        if MODE == "garbage":
            self.conn.sendall(b"HTTP/1.1 400 Bad Request\r\nServer: not-ftp\r\n\r\n")
            self.reader.read()
            return
        # A multi-line greeting whose inner lines look like reply codes.
        self.send("220-Welcome")
        self.send("220-221 inner line")
        self.send(" 220 indented, not the end")
        self.send("220 ready")
        while True:
            raw = self.reader.readline()
            if not raw:
                return
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            log("CMD " + line)
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            if verb == "USER":
                if MODE == "nopass":
                    self.send("230 no password needed")
                else:
                    self.send("331 password please")
            elif verb == "PASS":
                self.send("230 logged in")
            elif verb == "TYPE":
                self.send("200 type set")
            elif verb == "QUIT":
                self.send("221 bye")
                return
            elif MODE == "mute-after-login":
                continue  # holds every later command unanswered
            elif verb == "SIZE":
                self.send("213 %d" % SIZE)
            elif verb == "EPSV":
                self.send("229 Entering Extended Passive Mode (|||%d|)" % self.open_passive())
            elif verb == "PASV":
                port = self.open_passive()
                self.send("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (port >> 8, port & 255))
            elif verb in ("RETR", "LIST"):
                self.send("150 opening data connection")
                d = self.data()
                if MODE == "stall-data" and verb == "RETR":
                    self.reader.readline()  # holds the data connection open without sending
                    return
                if verb == "LIST" or not MODE.startswith(("half", "drop")):
                    d.sendall(LISTING if verb == "LIST" else DATA)
                    d.close()
                    self.send("226 done")
                    continue
                d.sendall(DATA[: SIZE // 2])
                d.close()
                if MODE == "half-426":
                    self.send("426 Connection closed; transfer aborted.")
                elif MODE == "half-226":
                    self.send("226 Transfer complete.")
                else:  # drop-control
                    self.conn.close()
                    return
            else:
                self.send("502 not here")


def main():
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    log("PORT %d" % server.getsockname()[1])
    while True:
        conn, _ = server.accept()
        threading.Thread(target=lambda c=conn: Session(c).run(), daemon=True).start()


if __name__ == "__main__":
    main()
