#!/usr/bin/python3
"""FTP server for the exchange tests: one user, one folder, loopback only.

Prints "PORT <n>" on stdout once it listens, then serves until killed.
"""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--no-extended", action="store_true", help="answer EPSV and EPRT as unknown commands")
    p.add_argument("--masquerade", help="address PASV names instead of the real one")
    a = p.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.root, perm="elr")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0
    Handler.banner = "test server ready"
    Handler.passive_ports = list(range(50000, 60000))
    if a.masquerade:
        Handler.masquerade_address = a.masquerade
    if a.no_extended:
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("EPSV", "EPRT")}

    server = FTPServer(("127.0.0.1", 0), Handler)
    server.max_cons = 64
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    sys.exit(main())
