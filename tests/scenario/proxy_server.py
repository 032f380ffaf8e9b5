"""A forwarding proxy on 127.0.0.1 that plays a company's proxy, and records what
it was asked to forward.

  CONNECT host:port       a tunnel to host:port (https through the proxy)
  GET http://host:port/.. the request forwarded, its answer relayed (plain http)
  GET /proxy.pac          the automatic configuration script, when one is given
                          (asked directly, as WinHTTP fetches it); answered only
                          while pac_released is set (it is, unless a test clears it)

It forwards to loopback addresses only. With basic_realm set, every request without
a Proxy-Authorization header is answered 407 with a Basic challenge, and nothing is
forwarded. records holds (method, target, authorization header or None) of every
request, in order, the script's fetches included.
"""
import select
import socket
import socketserver
import threading
import urllib.parse

LOOPBACK = {"localhost", "127.0.0.1", "::1"}


class ProxyServer:
    def __init__(self, basic_realm=None, pac_script=None):
        self.records = []
        self.basic_realm = basic_realm
        self.pac_script = pac_script
        server = self

        class Handler(socketserver.StreamRequestHandler):
            # Unbuffered, so that no byte meant for the tunnel waits in a buffer.
            rbufsize = 0

            def handle(self):
                head = self._read_head()
                if head is None:
                    return
                request_line, headers = head
                method, target, _ = (request_line.split(" ", 2) + ["", ""])[:3]
                authorization = headers.get("proxy-authorization")
                server.records.append((method, target, authorization))
                if target == "/proxy.pac" and server.pac_script is not None:
                    server.pac_released.wait(timeout=120)
                    self._answer(200, server.pac_script.encode(), "application/x-ns-proxy-autoconfig")
                elif server.basic_realm is not None and authorization is None:
                    self._answer(407, b"proxy authentication required",
                                 extra=[("Proxy-Authenticate", f'Basic realm="{server.basic_realm}"')])
                elif method == "CONNECT":
                    self._tunnel(target)
                elif target.startswith("http://"):
                    self._forward(method, target, headers)
                else:
                    self._answer(400, b"not a proxy request")

            def _read_head(self):
                lines = []
                while True:
                    line = self.rfile.readline(65537)
                    if not line:
                        return None
                    line = line.decode("latin-1").rstrip("\r\n")
                    if not line:
                        break
                    lines.append(line)
                if not lines:
                    return None
                headers = {}
                for line in lines[1:]:
                    name, _, value = line.partition(":")
                    headers[name.strip().lower()] = value.strip()
                self.raw_header_lines = lines[1:]
                return lines[0], headers

            def _answer(self, status, body, content_type="text/plain", extra=()):
                reason = {200: "OK", 400: "Bad Request", 403: "Forbidden", 407: "Proxy Authentication Required",
                          502: "Bad Gateway"}[status]
                head = [f"HTTP/1.1 {status} {reason}", f"Content-Type: {content_type}",
                        f"Content-Length: {len(body)}", "Connection: close"]
                head += [f"{name}: {value}" for name, value in extra]
                self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body)
                self.wfile.flush()

            def _upstream(self, host, port):
                if host.strip("[]") not in LOOPBACK:
                    self._answer(403, b"loopback only")
                    return None
                try:
                    return socket.create_connection((host.strip("[]"), port), timeout=30)
                except OSError:
                    self._answer(502, b"no connection")
                    return None

            def _tunnel(self, target):
                host, _, port = target.rpartition(":")
                upstream = self._upstream(host, int(port))
                if upstream is None:
                    return
                with upstream:
                    self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
                    self.wfile.flush()
                    self._relay(upstream)

            def _forward(self, method, target, headers):
                url = urllib.parse.urlsplit(target)
                upstream = self._upstream(url.hostname, url.port or 80)
                if upstream is None:
                    return
                path = url.path or "/"
                if url.query:
                    path += "?" + url.query
                kept = [line for line in self.raw_header_lines
                        if line.split(":", 1)[0].strip().lower() not in ("proxy-authorization", "proxy-connection",
                                                                          "connection")]
                head = "\r\n".join([f"{method} {path} HTTP/1.1", *kept, "Connection: close"]) + "\r\n\r\n"
                body = self._read_exactly(int(headers.get("content-length", "0") or 0))
                with upstream:
                    upstream.sendall(head.encode("latin-1") + body)
                    self._relay(upstream)

            def _read_exactly(self, count):
                data = b""
                while len(data) < count:
                    piece = self.rfile.read(count - len(data))
                    if not piece:
                        break
                    data += piece
                return data

            def _relay(self, upstream):
                """Copies both ways until either side closes."""
                client = self.connection
                sockets = [client, upstream]
                while not server.stopping.is_set():
                    readable, _, _ = select.select(sockets, [], [], 1)
                    for source in readable:
                        try:
                            data = source.recv(65536)
                        except OSError:
                            return
                        if not data:
                            return
                        (upstream if source is client else client).sendall(data)

            def finish(self):
                try:
                    super().finish()
                except OSError:
                    pass

        class Server(socketserver.ThreadingTCPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.stopping = threading.Event()
        self.pac_released = threading.Event()
        self.pac_released.set()
        self.server = Server(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def address(self):
        return f"127.0.0.1:{self.port}"

    def pac_url(self):
        return f"http://{self.address}/proxy.pac"

    def forwarded(self):
        """The targets of the requests it was asked to forward (script fetches left out)."""
        return [target for method, target, _ in self.records if target != "/proxy.pac"]

    def stop(self):
        self.stopping.set()
        self.pac_released.set()
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=10)
