#!/usr/bin/python3
"""A stand-in for the bulk-SMS platform, for the local stack and the tests (standard library only).

It answers the two URLs of the template the local stack writes into the settings:

  GET /sms/balance?uid=USER&pwd=PASSWORD
      empty body for an unknown account or a wrong password, else "result=0&balance=<n>"
  GET /sms/send?uid=USER&pwd=PASSWORD&mobile=NUMBER&content=<%XX-encoded UTF-8>
      "result=0&msgid=<id>" when accepted (the balance drops by one), otherwise
      "result=-1&msg=..." (account refused), "result=2&msg=..." (balance used up),
      "result=3&msg=..." (number refused). The eighth byte of every reply is the result code.

Every send that reaches it is appended, decoded, as one JSON line to the message log (--log):
at (local time), time (seconds since 1970), user, mobile, content (the text as the platform
received it), result and the raw query.

Control URLs (for tests and people trying things out), all GET, all answering a JSON object:

  /sim/reset                         accounts back to those of the command line, faults off,
                                     the message log emptied
  /sim/account?uid=U&pwd=P&balance=N add or replace an account
  /sim/state                         accounts, faults and the number of messages received
  /sim/fault?NAME=VALUE...           switch faults; an empty value switches one off:
        refuse=N1,N2   these numbers are refused (result=3)
        empty=1        an empty body (HTTP 200, no bytes)
        error=1        an HTTP 500 error page
        hang=1         no reply at all: the connection stays open until the client gives up
        slow=MS        every reply comes MS milliseconds late
        scope=send|balance|all   which requests the faults apply to (default send)
"""

import argparse
import json
import re
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ERROR_PAGE = (
    "<!DOCTYPE html><html><head><title>500 Internal Server Error</title></head>"
    "<body><h1>Internal Server Error</h1></body></html>"
)


class Platform:
    def __init__(self, accounts, log_path):
        self.lock = threading.Lock()
        self.initial = dict(accounts)
        self.log_path = log_path
        self.reset()

    def reset(self):
        with self.lock:
            self.accounts = {u: list(v) for u, v in self.initial.items()}
            self.faults = {"refuse": set(), "empty": False, "error": False, "hang": False, "slow": 0, "scope": "send"}
            self.received = 0
            self.next_id = 1
            self.hang_epoch = getattr(self, "hang_epoch", 0) + 1
            if self.log_path:
                open(self.log_path, "w", encoding="utf-8").close()

    def applies(self, kind):
        scope = self.faults["scope"]
        return scope == "all" or scope == kind

    def record(self, entry):
        self.received += 1
        if self.log_path:
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry, ensure_ascii=False) + "\n")


def decode_query(raw):
    """Query values as text: %XX sequences give UTF-8 bytes; a raw byte stays what it was."""
    values = {}
    for part in raw.split("&"):
        if not part:
            continue
        name, _, value = part.partition("=")
        data = urllib.parse.unquote_to_bytes(value)
        values[name] = data.decode("utf-8", errors="replace")
    return values


class Handler(BaseHTTPRequestHandler):
    server_version = "SmsPlatform/1.0"
    platform = None  # set by main()

    def parse_request(self):
        # Raw bytes above 0x7F in the request line (a user name typed in Chinese goes out unencoded)
        # are taken as their %XX form; the standard parser would split the line at some of them.
        self.raw_requestline = re.sub(rb"[\x80-\xff]", lambda m: b"%%%02X" % m.group(0)[0], self.raw_requestline)
        return super().parse_request()

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (time.strftime("%H:%M:%S"), fmt % args))

    def reply(self, body, status=200, content_type="text/plain; charset=gbk"):
        data = body.encode("gbk") if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def reply_json(self, value):
        self.reply(json.dumps(value, ensure_ascii=False).encode("utf-8"), content_type="application/json")

    def do_GET(self):
        path, _, raw = self.path.partition("?")
        if path.startswith("/sim/"):
            return self.control(path[5:], decode_query(raw))
        if path == "/sms/balance":
            return self.platform_reply("balance", raw)
        if path == "/sms/send":
            return self.platform_reply("send", raw)
        self.reply("not found", status=404)

    # The platform's two URLs, with the faults that apply.
    def platform_reply(self, kind, raw):
        p = self.platform
        with p.lock:
            faults = dict(p.faults) if p.applies(kind) else None
            epoch = p.hang_epoch
        if faults and faults["slow"] > 0:
            time.sleep(faults["slow"] / 1000.0)
        if faults and faults["hang"]:
            # Hold the connection without a byte until the client gives up or the faults are reset.
            deadline = time.monotonic() + 600
            while time.monotonic() < deadline:
                with p.lock:
                    if p.hang_epoch != epoch or not p.faults["hang"]:
                        break
                time.sleep(0.05)
            self.close_connection = True
            return
        q = decode_query(raw)
        user, password = q.get("uid", ""), q.get("pwd", "")
        with p.lock:
            account = p.accounts.get(user)
            known = account is not None and account[0] == password
            if kind == "balance":
                body = "result=0&balance=%d" % account[1] if known else ""
            else:
                mobile, content = q.get("mobile", ""), q.get("content", "")
                if not known:
                    body = "result=-1&msg=account refused"
                elif faults and mobile in faults["refuse"]:
                    body = "result=3&msg=number refused"
                elif account[1] < 1:
                    body = "result=2&msg=balance used up"
                else:
                    account[1] -= 1
                    body = "result=0&msgid=%d" % p.next_id
                    p.next_id += 1
                now = time.time()
                p.record({
                    "at": time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(now)),
                    "time": "%.3f" % now,
                    "user": user,
                    "mobile": mobile,
                    "content": content,
                    "result": body[7:body.index("&")] if "&" in body else body,
                    "query": raw,
                })
        if faults and faults["empty"]:
            return self.reply(b"")
        if faults and faults["error"]:
            return self.reply(ERROR_PAGE, status=500, content_type="text/html")
        self.reply(body)

    def control(self, name, q):
        p = self.platform
        if name == "reset":
            p.reset()
        elif name == "account":
            with p.lock:
                p.accounts[q.get("uid", "")] = [q.get("pwd", ""), int(q.get("balance", "0") or 0)]
        elif name == "fault":
            with p.lock:
                f = p.faults
                for key, value in q.items():
                    if key == "refuse":
                        f["refuse"] = set(n for n in value.split(",") if n)
                    elif key in ("empty", "error", "hang"):
                        f[key] = value not in ("", "0")
                    elif key == "slow":
                        f["slow"] = int(value or 0)
                    elif key == "scope":
                        f["scope"] = value or "send"
                    else:
                        return self.reply("unknown fault " + key, status=400)
        elif name != "state":
            return self.reply("unknown control " + name, status=404)
        with p.lock:
            state = {
                "accounts": {u: {"pwd": a[0], "balance": a[1]} for u, a in p.accounts.items()},
                "faults": {**p.faults, "refuse": sorted(p.faults["refuse"])},
                "received": p.received,
            }
        self.reply_json(state)


def main():
    ap = argparse.ArgumentParser(description="SMS platform simulator")
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--bind", default="127.0.0.1")
    ap.add_argument("--log", default="", help="file receiving every message as one JSON line")
    ap.add_argument("--account", action="append", default=[], metavar="USER:PASSWORD:BALANCE")
    args = ap.parse_args()
    accounts = {}
    for spec in args.account:
        user, password, balance = spec.rsplit(":", 2)
        accounts[user] = [password, int(balance)]
    Handler.platform = Platform(accounts, args.log)
    server = ThreadingHTTPServer((args.bind, args.port), Handler)
    server.daemon_threads = True
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
