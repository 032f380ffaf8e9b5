"""Local HTTPS servers on 127.0.0.1 for the tests, the benchmark and the demo's
services: their certificates, the Range rule and drop switch of a resumable download,
and one that plays the remote-configuration service.

Certificates are made when needed with the openssl CLI: a test CA, a server
certificate for the name localhost signed by it (Wine's check matches the DNS name,
not the address), and a self-signed one that nothing trusts. The test CA is trusted
inside a Wine prefix only (tests/tools/trust_test_root.exe), never by the machine.
"""
import hashlib
import http.server
import pathlib
import socket
import ssl
import subprocess
import threading

SERVER_EXTENSIONS = """\
subjectAltName=DNS:localhost
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
"""


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


class Certificates:
    """Files in folder: ca.pem (to trust), server.pem/.key (signed by it), stranger.pem/.key."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.ca = self.folder / "ca.pem"
        self.server = (self.folder / "server.pem", self.folder / "server.key")
        self.stranger = (self.folder / "stranger.pem", self.folder / "stranger.key")
        f = self.folder
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                 "-subj", "/CN=Kelvra Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=f)
        (f / "server.ext").write_text(SERVER_EXTENSIONS)
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
                 "-subj", "/CN=localhost", cwd=f)
        _openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                 "-out", "server.pem", "-days", "2", "-extfile", "server.ext", cwd=f)
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "stranger.key", "-out", "stranger.pem",
                 "-days", "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", cwd=f)


def entity_tag(body):
    """A strong ETag of a body's bytes."""
    return '"%s"' % hashlib.md5(body).hexdigest()[:16]


def range_start(headers, length, etag, ignore_range=False):
    """Where the answer to a GET with these request headers starts in a body of
    length bytes whose ETag is etag: the N of "Range: bytes=N-" (N below length)
    when its If-Range, if any, is etag, else 0, the whole body. Only the open-ended
    form that resuming clients send is honoured; others get the whole body, as
    servers may answer."""
    asked = headers.get("Range", "")
    if ignore_range or not asked.startswith("bytes=") or not asked.endswith("-"):
        return 0
    if headers.get("If-Range") not in (None, etag):
        return 0
    number = asked[len("bytes="):-1]
    if not number.isdigit() or int(number) >= length:
        return 0
    return int(number)


def remote_config(link, md5, sha256=None, version="2.4.0", deprecated=False):
    """A remote-configuration document pointing at a client setup."""
    windows = {"version": version, "downloadLink": link, "installerMd5": md5, "deprecated": deprecated}
    if sha256 is not None:
        windows["installerSha256"] = sha256
    return {"content": {"windows": windows}}


class DropSwitch:
    """Cuts an answer's body after drop_after bytes and closes the connection: in the
    first answer to a path only, or in every one (always)."""

    def __init__(self):
        self._dropped = set()
        self._lock = threading.Lock()

    def cut(self, path, body, drop_after, always=False):
        """(body, whether it is cut): body shortened when this answer is dropped."""
        if drop_after is None or not 0 <= drop_after < len(body):
            return body, False
        with self._lock:
            if not always and path in self._dropped:
                return body, False
            self._dropped.add(path)
        return body[:drop_after], True


def range_headers(start, length, etag):
    """(status, headers) of an answer from start of a body of length bytes."""
    headers = [("ETag", etag), ("Accept-Ranges", "bytes"), ("Content-Length", str(length - start))]
    if start == 0:
        return 200, headers
    return 206, headers + [("Content-Range", f"bytes {start}-{length - 1}/{length}")]


def serve_https(handler, certificate, port=0):
    """Serves handler over TLS with certificate (cert, key), or plain HTTP without one,
    on port (a free one when 0) of 127.0.0.1 in a thread of its own; returns
    (server, thread). A request line in absolute form ("GET https://localhost:1234/path",
    which Wine's WinHTTP sends through a proxy's tunnel, and every server must take)
    reaches handler with its path alone."""

    class AbsoluteFormTaken(handler):
        def parse_request(self):
            parsed = super().parse_request()
            if parsed and self.path.lower().startswith(("http://", "https://")):
                self.path = "/" + self.path.split("://", 1)[1].partition("/")[2]
            return parsed

    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), AbsoluteFormTaken)
    httpd.daemon_threads = True
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*map(str, certificate))
        httpd.socket = context.wrap_socket(httpd.socket, server_side=True)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    return httpd, thread


class HttpsService:
    """A handler served by serve_https until stop(); stopping is set first, so that
    handlers waiting on it end."""

    def __init__(self):
        self.stopping = threading.Event()

    def serve(self, handler, certificate, port=0):
        self.httpd, self.thread = serve_https(handler, certificate, port)
        self.port = self.httpd.server_address[1]

    def stop(self):
        self.stopping.set()
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)


class ConfigServer(HttpsService):
    """Answers GET with the (status, body) that responses holds for the request's
    last query member "case" (or its whole path without one); records every path
    requested. A whole body (status 200) answers a Range request as range_start
    says, with an ETag. A body may be a function that returns an iterable of pieces: they
    go out one by one, without a length, until it ends, the client goes away or
    the server stops. A third member, seconds, keeps the server silent that long
    (or until it stops) before it answers anything."""

    def __init__(self, certificate, responses):
        super().__init__()
        self.requests = []
        # Sent with every answer, e.g. what a cache would keep the answer for.
        self.extra_headers = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                case = self.path.rsplit("case=", 1)[-1]
                status, body, *silence = responses.get(case, (404, b"no such case"))
                if silence and server.stopping.wait(silence[0]):
                    return
                start, headers = 0, []
                if status == 200 and not callable(body):
                    etag = entity_tag(body)
                    start = range_start(self.headers, len(body), etag)
                    status, headers = range_headers(start, len(body), etag)
                self.send_response(status)
                self.send_header("Content-Type", "application/json")
                for name, value in server.extra_headers:
                    self.send_header(name, value)
                try:
                    if callable(body):
                        self._send_pieces(body())
                    elif headers:
                        for name, value in headers:
                            self.send_header(name, value)
                        self.end_headers()
                        self.wfile.write(body[start:])
                    else:
                        self.send_header("Content-Length", str(len(body)))
                        self.end_headers()
                        self.wfile.write(body)
                except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
                    self.close_connection = True

            def _send_pieces(self, pieces):
                """No length: the body ends when the connection does (HTTP/1.0)."""
                self.end_headers()
                for piece in pieces:
                    if server.stopping.is_set():
                        break
                    self.wfile.write(piece)

            def log_message(self, *args):
                pass

        self.serve(Handler, certificate)

    def base_url(self):
        return f"https://localhost:{self.port}/components/webinstaller?component_version=2.0.0"


def closed_port():
    """A local port that nothing listens on (just released by us)."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]
