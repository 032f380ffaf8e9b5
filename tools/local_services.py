#!/usr/bin/env python3
"""Development aid: the maker's services played on loopback, for the demo and tests.

Not part of the product. One HTTPS server (certificate for "localhost", signed by a
test CA made here with openssl; trust it inside a WINEPREFIX only) answers:
  GET  /components/webinstaller?component_version=...          the remote configuration
  GET  /components/webinstaller/clients/<id>?component_version=... the same, for a product id
  GET  /setup/<mode>/KelvraSetup.exe   the client setup; mode: ok, slow (throttled),
                                       cut (connection closed half way), missing (404);
                                       ok and slow answer "Range: bytes=N-" with the rest
                                       (206, Content-Range) when If-Range is the ETag
  POST /clients/<number>/events        events
and one plain-HTTP server answers POST /problem.php (problem reports).

Everything received is appended to a JSON-lines record file, one object a line:
{"kind": "config"|"setup"|"event"|"report"|"other", "method", "path", "body", ...}.
Events carry "json" (the parsed body, or null when it is not JSON); reports carry
"problem_message" and "log_snippet" decoded.

The configuration names both digests of the setup, installerMd5 and
installerSha256; --digest bad makes the MD5 wrong, bad-sha256 only the SHA-256.

Setup answers are recorded with the Range and If-Range asked for, their status,
first byte and the bytes sent. Switches (attributes, or options standalone):
ignore_range (--ignore-range) answers every Range with the whole file;
drop_after (--drop-after N) closes the connection after N bytes of an answer's
body, in the first answer to its path only (drop "once", the default) or in every
one (--drop always). Certificates, the Range rule and the drop switch are those of
the tests' servers (testbed/https_server.py).

Run standalone: local_services.py --state DIR --setup FILE [--digest good|bad|bad-sha256]
[--deprecated] [--setup-mode ok|slow|cut|missing] [--ignore-range] [--drop-after N [--drop once|always]];
it prints one JSON line with the ports and the CA path, then serves until interrupted.
"""
import argparse
import base64
import hashlib
import http.server
import json
import pathlib
import signal
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent / "testbed"))
import https_server  # noqa: E402

SETUP_NAME = "KelvraSetup.exe"


def decode_form(body):
    """The report's two members: "problem_message=<text> & log_snippet=<url-encoded base64>"."""
    text = body.decode("utf-8")
    head, separator, tail = text.partition(" & log_snippet=")
    if not separator or not head.startswith("problem_message="):
        return None, None
    snippet = base64.b64decode(urllib.parse.unquote_plus(tail)).decode("utf-8")
    return head[len("problem_message="):], snippet


class LocalServices:
    """Both servers on 127.0.0.1 (ports chosen by the system unless given)."""

    def __init__(self, state, setup_bytes=b"", digest="good", deprecated=False, version="3.1.4",
                 https_port=0, http_port=0, slow_seconds=4.0):
        self.state = pathlib.Path(state)
        self.state.mkdir(parents=True, exist_ok=True)
        self.record = self.state / "received.jsonl"
        self.record.write_text("")
        certificates = https_server.Certificates(self.state / "certificates")
        self.ca = certificates.ca
        self.setup_bytes = setup_bytes
        self.digest = digest
        self.deprecated = deprecated
        self.version = version
        self.slow_seconds = slow_seconds
        self.config_status = 200
        self.setup_mode = "ok"  # where the configuration without a product id points
        self.ignore_range = False
        self.drop_after = None  # bytes of an answer's body after which the connection is closed
        self.drop = "once"      # or "always"
        self._drops = https_server.DropSwitch()
        self._lock = threading.Lock()
        self._servers = [https_server.HttpsService(), https_server.HttpsService()]
        self._servers[0].serve(self._handler(), certificates.server, https_port)
        self._servers[1].serve(self._handler(), None, http_port)
        self.https_port, self.http_port = (server.port for server in self._servers)

    # What the front end is told.
    def config(self, mode="ok", deprecated=None):
        md5 = hashlib.md5(self.setup_bytes).hexdigest()
        sha256 = hashlib.sha256(self.setup_bytes).hexdigest()
        if self.digest == "bad":
            md5 = "0" * 32
        elif self.digest == "bad-sha256":
            sha256 = "0" * 64
        return https_server.remote_config(f"https://localhost:{self.https_port}/setup/{mode}/{SETUP_NAME}", md5,
                                          sha256, self.version, self.deprecated if deprecated is None else deprecated)

    def received(self, kind=None):
        lines = [json.loads(line) for line in self.record.read_text(encoding="utf-8").splitlines() if line]
        return [entry for entry in lines if kind is None or entry["kind"] == kind]

    def _write(self, entry):
        with self._lock, self.record.open("a", encoding="utf-8") as record:
            record.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def stop(self):
        for server in self._servers:
            server.stop()

    def _handler(self):
        services = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def answer(self, status, body=b"", content_type="text/plain"):
                self.send_response(status)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def do_GET(self):
                path = urllib.parse.urlsplit(self.path).path
                if path.startswith("/components/webinstaller"):
                    product = path.split("/clients/", 1)[1] if "/clients/" in path else None
                    services._write({"kind": "config", "method": "GET", "path": self.path, "product": product})
                    mode = services.setup_mode if product is None else urllib.parse.unquote(product)
                    body = json.dumps(services.config(mode if mode in ("ok", "slow", "cut", "missing") else "ok"))
                    self.answer(services.config_status, body.encode(), "application/json")
                elif path.startswith("/setup/"):
                    mode = path.split("/")[2]
                    self.send_setup(mode)
                else:
                    services._write({"kind": "other", "method": "GET", "path": self.path})
                    self.answer(404, b"not here")

            def send_setup(self, mode):
                entry = {"kind": "setup", "method": "GET", "path": self.path, "mode": mode,
                         "range": self.headers.get("Range"), "if_range": self.headers.get("If-Range")}
                data = services.setup_bytes
                if mode == "missing":
                    services._write(dict(entry, status=404, first=0, sent=0))
                    self.answer(404, b"no such file")
                    return
                etag = https_server.entity_tag(data)
                first = 0 if mode == "cut" else https_server.range_start(self.headers, len(data), etag,
                                                                          services.ignore_range)
                status, headers = https_server.range_headers(first, len(data), etag)
                body = data[first:]
                if mode == "cut":
                    body = body[: len(data) // 2]
                body, dropping = services._drops.cut(self.path, body, services.drop_after, services.drop == "always")
                self.send_response(status)
                self.send_header("Content-Type", "application/octet-stream")
                for name, value in headers:
                    self.send_header(name, value)
                self.end_headers()
                pieces = 40 if mode == "slow" else 1
                step = max(1, -(-len(body) // pieces))
                sent = 0
                for start in range(0, len(body), step):
                    try:
                        self.wfile.write(body[start:start + step])
                        self.wfile.flush()
                    except OSError:
                        break
                    sent += len(body[start:start + step])
                    if mode == "slow":
                        time.sleep(services.slow_seconds / pieces)
                services._write(dict(entry, status=status, first=first, sent=sent))
                if dropping or mode == "cut":
                    self.close_connection = True

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                body = self.rfile.read(length)
                path = urllib.parse.urlsplit(self.path).path
                entry = {"method": "POST", "path": self.path,
                         "content_type": self.headers.get("Content-Type", ""),
                         "user_agent": self.headers.get("User-Agent", ""),
                         "body": body.decode("utf-8", errors="replace"), "utf8": _is_utf8(body)}
                if path == "/problem.php":
                    entry["kind"] = "report"
                    try:
                        entry["problem_message"], entry["log_snippet"] = decode_form(body)
                    except (ValueError, UnicodeDecodeError):
                        entry["problem_message"], entry["log_snippet"] = None, None
                elif path.startswith("/clients/") and path.endswith("/events"):
                    entry["kind"] = "event"
                    try:
                        entry["json"] = json.loads(body.decode("utf-8"))
                    except (ValueError, UnicodeDecodeError):
                        entry["json"] = None
                else:
                    entry["kind"] = "other"
                services._write(entry)
                self.answer(200, b"ok")

        return Handler


def _is_utf8(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--state", required=True, help="folder for certificates and received.jsonl")
    parser.add_argument("--setup", required=True, help="file served as the client setup")
    parser.add_argument("--digest", choices=("good", "bad", "bad-sha256"), default="good")
    parser.add_argument("--deprecated", action="store_true")
    parser.add_argument("--setup-mode", choices=("ok", "slow", "cut", "missing"), default="ok")
    parser.add_argument("--slow-seconds", type=float, default=4.0)
    parser.add_argument("--ignore-range", action="store_true", help="answer every Range with the whole setup")
    parser.add_argument("--drop-after", type=int, help="close the connection after N bytes of a setup answer")
    parser.add_argument("--drop", choices=("once", "always"), default="once")
    parser.add_argument("--https-port", type=int, default=0)
    parser.add_argument("--http-port", type=int, default=0)
    options = parser.parse_args()
    services = LocalServices(options.state, pathlib.Path(options.setup).read_bytes(), options.digest,
                             options.deprecated, https_port=options.https_port, http_port=options.http_port,
                             slow_seconds=options.slow_seconds)
    services.setup_mode = options.setup_mode
    services.ignore_range = options.ignore_range
    services.drop_after = options.drop_after
    services.drop = options.drop
    print(json.dumps({"https_port": services.https_port, "http_port": services.http_port,
                      "ca": str(services.ca), "record": str(services.record)}), flush=True)
    stopped = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stopped.set())
    try:
        while not stopped.wait(0.5):
            pass
    except KeyboardInterrupt:
        pass
    services.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
