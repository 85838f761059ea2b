#!/usr/bin/python3
"""The local stack's FTP server: pyftpdlib with one writable account over one folder.

The password is read from a file (readable by its owner only) instead of the command line, so it
does not show in other users' process lists.

    ftpserver.py --port P --passive LO-HI --user NAME --password-file FILE --directory DIR [--upload-rate B]
                 [--refuse-rename all|over]

--upload-rate limits every upload to B bytes a second, so that a test can act while one runs.
--refuse-rename makes the server answer 550 to every RNTO ("all"), or to an RNTO onto a name that
exists ("over", as some servers do), so that a test can see what a refused rename leaves behind.
"""
import argparse
import os
import stat
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    refuse_rename = ""

    def ftp_RNTO(self, path):
        if self._rnfr and (self.refuse_rename == "all" or (self.refuse_rename == "over" and os.path.exists(path))):
            self._rnfr = None
            self.respond("550 Rename refused.")
            return None
        return super().ftp_RNTO(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--passive", required=True, help="LO-HI")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password-file", required=True)
    parser.add_argument("--directory", required=True)
    parser.add_argument("--upload-rate", type=int, default=0)
    parser.add_argument("--refuse-rename", choices=["all", "over"], default="")
    args = parser.parse_args()

    mode = os.stat(args.password_file).st_mode
    if mode & (stat.S_IRWXG | stat.S_IRWXO):
        sys.exit(f"{args.password_file} may be read by others (mode {stat.filemode(mode)}); it must be 0600")
    with open(args.password_file, encoding="utf-8") as f:
        password = f.read().rstrip("\n")

    lo, hi = (int(p) for p in args.passive.split("-"))
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, password, args.directory, perm="elradfmwMT")
    handler = Handler
    handler.refuse_rename = args.refuse_rename
    handler.authorizer = authorizer
    handler.passive_ports = list(range(lo, hi + 1))
    if args.upload_rate > 0:
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.upload_rate
        handler.dtp_handler = dtp
    server = FTPServer(("127.0.0.1", args.port), handler)
    try:
        server.serve_forever()
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
