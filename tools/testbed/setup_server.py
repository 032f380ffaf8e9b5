"""A local HTTPS server on 127.0.0.1 that plays the download host of the client
setup. What it does depends on the request's path:

  /ok/NAME        the whole file at once, or the rest that a "Range: bytes=N-"
                  asks for (206, Content-Range) when its If-Range is the ETag
  /slow/NAME      the file's length announced, then small pieces slowly until the
                  client goes away (a download that stays busy)
  /redirect/NAME  a 302 to /ok/NAME
  /cut/NAME       the file's length announced, then half of it and the connection closed
  /endless-chunked/NAME  chunked framing, chunks without end
  /endless-close/NAME    no length and no chunks (the body ends when the connection
                  does), bytes without end
  /overlong/NAME  the file's length announced, then the file and 4 MiB more
  /huge/NAME      2 GiB announced, then a little
  /stall/NAME     the file's length announced, then half of it and silence for
                  minutes
  /trickle/NAME   the file's length announced, then one byte a second
  /silent/NAME    no answer at all, not even headers, for minutes
  anything else   404
Switches in the query of /ok/NAME: ignore-range=1 answers every Range with the
whole file; drop-after=N closes the connection after N bytes of an answer's body,
the first answer to that path only (drop=once, the default) or every one
(drop=always); pace-ms=N sends the body in 64 KiB pieces, N ms apart (a download
that takes a while but ends); etag=changing gives each answer to the path a new
ETag, as if the file had been replaced between two requests. Each answer is kept in transfers:
path, the Range and If-Range asked for, status, first byte and bytes sent.
Endless, stalled and trickling answers end when the client goes away, when the
server stops, and at the latest after STREAM_LIMIT_SECONDS.
"""
import http.server
import ssl
import time
import urllib.parse

import https_server

STREAM_LIMIT_SECONDS = 300
PIECE = b"\xa5" * 65536


class SetupServer(https_server.HttpsService):
    def __init__(self, certificate, content):
        super().__init__()
        self.content = content
        self.requests = []
        self.transfers = []
        self.drops = https_server.DropSwitch()
        server = self

        def streaming():
            """Yields until the stream's time is up or the server stops."""
            ends = time.monotonic() + STREAM_LIMIT_SECONDS
            while time.monotonic() < ends and not server.stopping.is_set():
                yield

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                server.requests.append(self.path)
                mode = self.path.strip("/").split("/", 1)[0].replace("-", "_")
                try:
                    getattr(self, "_" + mode, self._missing)()
                except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
                    pass

            def _headers(self, status, length, extra=()):
                self.send_response(status)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(length))
                for name, value in extra:
                    self.send_header(name, value)
                self.end_headers()

            def _ok(self):
                switches = dict(urllib.parse.parse_qsl(urllib.parse.urlsplit(self.path).query))
                content = server.content
                etag = https_server.entity_tag(content)
                if switches.get("etag") == "changing":
                    etag = '"v%d"' % sum(1 for t in server.transfers if t["path"] == self.path)
                start = https_server.range_start(self.headers, len(content), etag, switches.get("ignore-range") == "1")
                status, headers = https_server.range_headers(start, len(content), etag)
                body, dropping = server.drops.cut(self.path, content[start:], int(switches.get("drop-after", "-1")),
                                                  switches.get("drop") == "always")
                transfer = {"path": self.path, "range": self.headers.get("Range"),
                            "if_range": self.headers.get("If-Range"), "status": status, "first": start, "sent": 0}
                server.transfers.append(transfer)
                self.send_response(status)
                self.send_header("Content-Type", "application/octet-stream")
                for name, value in headers:
                    self.send_header(name, value)
                self.end_headers()
                pace = int(switches.get("pace-ms", "0")) / 1000
                piece = len(PIECE) if pace else max(len(body), 1)
                for offset in range(0, len(body), piece):
                    self.wfile.write(body[offset:offset + piece])
                    self.wfile.flush()
                    server.stopping.wait(pace)
                transfer["sent"] = len(body)
                if dropping:
                    self.close_connection = True

            def _slow(self):
                size = 64 * 1024 * 1024
                self._headers(200, size)
                piece = b"\0" * 4096
                for _ in range(size // len(piece)):
                    self.wfile.write(piece)
                    self.wfile.flush()
                    time.sleep(0.05)

            def _redirect(self):
                name = self.path.strip("/").split("/", 1)[-1]
                self._headers(302, 0, [("Location", f"/ok/{name}")])

            def _cut(self):
                self._headers(200, len(server.content))
                self.wfile.write(server.content[: len(server.content) // 2])
                self.wfile.flush()
                self.close_connection = True

            def _endless_chunked(self):
                self._open_ended([("Transfer-Encoding", "chunked")])
                framed = b"%x\r\n" % len(PIECE) + PIECE + b"\r\n"
                for _ in streaming():
                    self.wfile.write(framed)
                self.close_connection = True

            def _endless_close(self):
                self._open_ended([("Connection", "close")])
                for _ in streaming():
                    self.wfile.write(PIECE)
                self.close_connection = True

            def _open_ended(self, extra):
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                for name, value in extra:
                    self.send_header(name, value)
                self.end_headers()

            def _overlong(self):
                self._headers(200, len(server.content))
                self.wfile.write(server.content + b"\xff" * (4 * 1024 * 1024))
                self.wfile.flush()
                self.close_connection = True

            def _huge(self):
                self._headers(200, 2 * 1024 * 1024 * 1024)
                self.wfile.write(server.content[:4096])
                self.wfile.flush()
                server.stopping.wait(STREAM_LIMIT_SECONDS)
                self.close_connection = True

            def _stall(self):
                self._headers(200, len(server.content))
                self.wfile.write(server.content[: len(server.content) // 2])
                self.wfile.flush()
                server.stopping.wait(STREAM_LIMIT_SECONDS)
                self.close_connection = True

            def _silent(self):
                server.stopping.wait(STREAM_LIMIT_SECONDS)
                self.close_connection = True

            def _trickle(self):
                self._headers(200, len(server.content))
                for offset, _ in zip(range(len(server.content)), streaming()):
                    self.wfile.write(server.content[offset:offset + 1])
                    self.wfile.flush()
                    server.stopping.wait(1)
                self.close_connection = True

            def _missing(self):
                body = b"not here"
                self._headers(404, len(body))
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.serve(Handler, certificate)

    def url(self, mode, name="KelvraSetup.exe", **switches):
        """switches: the query of /ok/NAME, underscores for dashes (drop_after=N)."""
        query = urllib.parse.urlencode({key.replace("_", "-"): value for key, value in switches.items()})
        return f"https://localhost:{self.port}/{mode}/{name}" + (f"?{query}" if query else "")
