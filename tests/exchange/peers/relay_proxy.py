#!/usr/bin/python3
"""An FTP proxy for the login sequences no Debian package serves, on 127.0.0.1.

Each mode listens on its own port and accepts exactly its sequence, then relays the control
connection to the FTP server named in it (data connections go straight to that server). Any other
sequence gets "530" and the connection is closed. Prints "PORT <mode> <n>" for each mode.

  usersite     USER proxyuser, PASS proxypass; USER user@host:port, PASS pass
  site         USER proxyuser, PASS proxypass; SITE host:port; USER user, PASS pass
  open         USER proxyuser, PASS proxypass; OPEN host:port; USER user, PASS pass
  open-noauth  OPEN host:port; USER user, PASS pass
  userpass     USER user@proxyuser@host:port, PASS pass@proxypass
  transparent  USER proxyuser, PASS proxypass; USER user, PASS pass (server given by --upstream)
"""
import argparse
import socket
import sys
import threading

MODES = ["usersite", "site", "open", "open-noauth", "userpass", "transparent"]


class Refused(Exception):
    pass


def read_reply(reader):
    lines = [reader.readline()]
    first = lines[0]
    if len(first) >= 4 and first[3:4] == b"-":
        while True:
            line = reader.readline()
            if not line:
                break
            lines.append(line)
            if line[:3] == first[:3] and line[3:4] == b" ":
                break
    return b"".join(lines)


def pipe(reader, src, dst):
    # Reads through the buffered reader: it may already hold what the peer sent during the login.
    try:
        while True:
            chunk = reader.read1(65536)
            if not chunk:
                break
            dst.sendall(chunk)
    except (OSError, ValueError):
        pass
    for s in (src, dst):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Session:
    def __init__(self, conn, mode, args):
        self.conn = conn
        self.reader = conn.makefile("rb")
        self.mode = mode
        self.args = args

    def send(self, text):
        self.conn.sendall(text.encode() + b"\r\n")

    def expect(self, verb):
        line = self.reader.readline().decode("utf-8", "replace").rstrip("\r\n")
        if not line.upper().startswith(verb + " "):
            raise Refused("expected %s, got %s" % (verb, line.split(" ")[0]))
        return line[len(verb) + 1 :]

    def proxy_login(self):
        if self.expect("USER") != self.args.proxy_user:
            raise Refused("unknown proxy user")
        self.send("331 proxy password please")
        if self.expect("PASS") != self.args.proxy_password:
            raise Refused("wrong proxy password")
        self.send("230 proxy login ok")

    def connect(self, target):
        host, _, port = target.rpartition(":")
        if not host:
            host, port = target, "21"
        up = socket.create_connection((host, int(port)), timeout=5)
        up.settimeout(None)
        upreader = up.makefile("rb")
        greeting = read_reply(upreader)
        if not greeting.startswith(b"220"):
            raise Refused("upstream not ready")
        return up, upreader

    def run(self):
        try:
            self.send("220 relay ready (%s)" % self.mode)
            if self.mode in ("usersite", "site", "open", "transparent"):
                self.proxy_login()
            if self.mode in ("site", "open", "open-noauth"):
                target = self.expect("SITE" if self.mode == "site" else "OPEN")
                up, upreader = self.connect(target)
                self.send("220 connected to %s" % target)
            elif self.mode == "transparent":
                up, upreader = self.connect("127.0.0.1:%d" % self.args.upstream)
            elif self.mode == "usersite":
                user, _, target = self.expect("USER").rpartition("@")
                up, upreader = self.connect(target)
                up.sendall(("USER %s\r\n" % user).encode())
                self.conn.sendall(read_reply(upreader))
            else:  # userpass
                parts = self.expect("USER").rsplit("@", 2)
                if len(parts) != 3 or parts[1] != self.args.proxy_user:
                    raise Refused("unknown proxy user")
                user, _, target = parts
                self.send("331 password please")
                password, _, proxy_password = self.expect("PASS").rpartition("@")
                if proxy_password != self.args.proxy_password:
                    raise Refused("wrong proxy password")
                up, upreader = self.connect(target)
                up.sendall(("USER %s\r\n" % user).encode())
                reply = read_reply(upreader)
                if reply.startswith(b"331"):
                    up.sendall(("PASS %s\r\n" % password).encode())
                    reply = read_reply(upreader)
                self.conn.sendall(reply)
        except (Refused, OSError, ValueError) as e:
            try:
                self.send("530 relay: %s" % e)
            except OSError:
                pass
            self.conn.close()
            return
        threading.Thread(target=pipe, args=(upreader, up, self.conn), daemon=True).start()
        pipe(self.reader, self.conn, up)


def serve(listener, mode, args):
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=lambda c=conn: Session(c, mode, args).run(), daemon=True).start()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--upstream", type=int, required=True, help="port of the FTP server for transparent mode")
    p.add_argument("--proxy-user", required=True)
    p.add_argument("--proxy-password", required=True)
    args = p.parse_args()
    threads = []
    for mode in MODES:
        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        print("PORT %s %d" % (mode, listener.getsockname()[1]), flush=True)
        t = threading.Thread(target=serve, args=(listener, mode, args), daemon=True)
        t.start()
        threads.append(t)
    for t in threads:
        t.join()


if __name__ == "__main__":
    sys.exit(main())
