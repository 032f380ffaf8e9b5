"""A local HTTPS server on 127.0.0.1 that plays the download host of the client
setup. What it does depends on the request's path:

  /ok/NAME        the whole file, at once
  /slow/NAME      the file's length announced, then small pieces slowly until the
                  client goes away (a download that stays busy)
  /redirect/NAME  a 302 to /ok/NAME
  /cut/NAME       the file's length announced, then half of it and the connection closed
  anything else   404
"""
import http.server
import ssl
import threading
import time


class SetupServer:
    def __init__(self, certificate, content):
        self.content = content
        self.requests = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                server.requests.append(self.path)
                mode = self.path.strip("/").split("/", 1)[0]
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
                self._headers(200, len(server.content))
                self.wfile.write(server.content)

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

            def _missing(self):
                body = b"not here"
                self._headers(404, len(body))
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*map(str, certificate))
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.httpd.socket = context.wrap_socket(self.httpd.socket, server_side=True)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, mode, name="KelvraSetup.exe"):
        return f"https://localhost:{self.port}/{mode}/{name}"

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)
