"""An RFC 3161 timestamp authority on 127.0.0.1 for the signing tests: `openssl
ts` answers each request, signed by a throw-away TSA certificate."""
import http.server
import pathlib
import subprocess
import threading

_CONFIG = """[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {serial}
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
ess_cert_id_chain = no
"""


def _openssl(*args):
    result = subprocess.run(["openssl", *map(str, args)], capture_output=True, timeout=60)
    assert result.returncode == 0, result.stderr.decode()


class TimestampAuthority:
    """Use as a context manager; url is where to send requests, certificate the
    PEM file that verifies the answers."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.certificate = self.folder / "tsa.pem"
        self.key = self.folder / "tsa-key.pem"
        self.config = self.folder / "tsa.cnf"
        self.requests = 0
        self._lock = threading.Lock()
        self._server = None

    def __enter__(self):
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=Kelvra test TSA",
                 "-addext", "basicConstraints=critical,CA:FALSE", "-addext", "keyUsage=critical,digitalSignature",
                 "-addext", "extendedKeyUsage=critical,timeStamping", "-keyout", self.key, "-out", self.certificate)
        (self.folder / "serial").write_text("01\n")
        self.config.write_text(_CONFIG.format(serial=self.folder / "serial"))
        authority = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                reply = authority._answer(query)
                self.send_response(200 if reply else 500)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *args):
                pass

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()

    @property
    def url(self):
        return f"http://127.0.0.1:{self._server.server_address[1]}"

    def _answer(self, query):
        with self._lock:
            self.requests += 1
            query_file = self.folder / "request.tsq"
            reply_file = self.folder / "reply.tsr"
            query_file.write_bytes(query)
            result = subprocess.run(["openssl", "ts", "-reply", "-config", str(self.config), "-queryfile",
                                     str(query_file), "-signer", str(self.certificate), "-inkey", str(self.key),
                                     "-out", str(reply_file)], capture_output=True, timeout=60)
            return reply_file.read_bytes() if result.returncode == 0 else b""
