#!/usr/bin/python3
"""The supplier's FTP server for the window tests: pyftpdlib with one user and one folder, on
127.0.0.1. Like many servers in the field it answers a listing of a name it does not hold with an
empty listing rather than an error, so a price update without a new program or help file on the
server goes through.

Prints "PORT <n>" on stdout once it listens, then serves until killed.
"""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import BufferedIteratorProducer, FTPHandler
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    def ftp_LIST(self, path):
        if not self.fs.lexists(path):
            self.push_dtp_data(BufferedIteratorProducer(iter([])), isproducer=True, cmd="LIST")
            return path
        return FTPHandler.ftp_LIST(self, path)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    a = p.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.root, perm="elr")
    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0
    Handler.banner = "supplier server ready"
    Handler.passive_ports = list(range(50000, 60000))

    server = FTPServer(("127.0.0.1", 0), Handler)
    server.max_cons = 64
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    sys.exit(main())
