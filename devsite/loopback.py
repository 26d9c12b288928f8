"""Loopback HTTP and HTTPS servers: the plumbing the dev site and the transport tests' scriptable
servers share.

A server binds a numeric address, IPv4 or IPv6, and never looks up a name. Every connection runs on
a thread of its own, TLS handshake included, so a stalled client holds up nobody, and every wait on
a socket is bounded. Requests are logged a line each into a stream, or nowhere, and what arrived
can be kept in a RequestLog for the tests to read. A server serves in the foreground until Ctrl-C,
or on a background thread until stopped.

Only the Python standard library is used.
"""

import http.server
import socket
import socketserver
import ssl
import threading
import time
import warnings

CLOSE_WAIT_SECONDS = 2
STOP_WAIT_SECONDS = 5


def tls_context(cert, key, old_only=False):
    """A server's TLS context: TLS 1.2 and later, or with old_only TLS 1.0 and 1.1 alone, which
    clients must refuse."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if old_only:
        # OpenSSL 3 keeps the old versions behind security level 0; Python warns that they are old,
        # which is the point here.
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            context.minimum_version = ssl.TLSVersion.TLSv1
            context.maximum_version = ssl.TLSVersion.TLSv1_1
    else:
        context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    return context


class RequestLog:
    """What the servers received, a record a request, in order; safe to share between servers."""

    def __init__(self):
        self.lock = threading.Lock()
        self.entries = []

    def record(self, entry):
        with self.lock:
            self.entries.append(entry)

    def note(self, entry, **fields):
        """Adds what was learnt after the record was made, such as the status answered."""
        with self.lock:
            entry.update(fields)

    def all(self):
        with self.lock:
            return [dict(entry) for entry in self.entries]

    def clear(self):
        with self.lock:
            self.entries.clear()


class LoopbackServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    """A threading HTTP server on a numeric address; HTTPS when given a TLS context."""

    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    request_queue_size = 64
    connection_timeout = 60  # seconds any socket operation of a connection may wait

    def __init__(self, address, port, handler, tls=None, log_file=None):
        self.address_family = socket.AF_INET6 if ":" in address else socket.AF_INET
        self.tls = tls
        self.log_file = log_file
        self.thread = None
        super().__init__((address, port), handler)

    @property
    def port(self):
        return self.server_address[1]

    def server_bind(self):
        # HTTPServer.server_bind asks for the host's FQDN, which is a name lookup.
        socketserver.TCPServer.server_bind(self)
        self.server_name = self.server_address[0]
        self.server_port = self.server_address[1]

    def log(self, text):
        if self.log_file is not None:
            self.log_file.write("%s %s\n" % (time.strftime("%H:%M:%S"), text))
            self.log_file.flush()

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread.
        request.settimeout(self.connection_timeout)
        if self.tls is not None:
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError) as e:
                self.log("TLS handshake with %s failed: %s" % (client_address[0], e))
                return
        try:
            super().finish_request(request, client_address)
        finally:
            try:
                request.close()
            except OSError:
                pass

    def serve_until_interrupted(self, poll_interval=0.2):
        try:
            self.serve_forever(poll_interval=poll_interval)
        except KeyboardInterrupt:
            pass
        finally:
            self.server_close()

    def start(self, poll_interval=0.1):
        """Serves on a background thread until stop()."""
        self.thread = threading.Thread(target=self.serve_forever, kwargs={"poll_interval": poll_interval},
                                       daemon=True)
        self.thread.start()

    def stop(self):
        if self.thread is not None:
            self.shutdown()
        self.server_close()
        if self.thread is not None:
            self.thread.join(timeout=STOP_WAIT_SECONDS)


class LoopbackHandler(http.server.BaseHTTPRequestHandler):
    """HTTP/1.1 with keep-alive; one log line a request into the server's log."""

    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; with Nagle's algorithm the body would wait for
    # the client's delayed acknowledgement of the headers, some 40 ms on every answer.
    disable_nagle_algorithm = True

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        self.server.log(format % args)

    def read_body(self, limit):
        """The request's body; None when its Content-Length is not a number or exceeds limit."""
        length = self.headers.get("Content-Length")
        if length is None:
            return b""
        try:
            length = int(length)
        except ValueError:
            return None
        if length < 0 or length > limit:
            return None
        return self.rfile.read(length)

    def request_record(self, body):
        """What a RequestLog keeps of this request: method, path, headers in order, body."""
        return {
            "method": self.command,
            "path": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body": body.decode("utf-8", "replace"),
        }

    def send_head(self, status, content_type, length=None, extra_headers=()):
        """The status line and headers of an answer; without a length, no Content-Length."""
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()

    def send_bytes(self, status, body, content_type, extra_headers=()):
        """A whole answer with its Content-Length; the body is left out for HEAD."""
        self.send_head(status, content_type, len(body), extra_headers)
        if self.command != "HEAD":
            self.wfile.write(body)

    def end_connection(self):
        """Closes the connection right after the last byte, TLS close_notify first, so that the
        client sees the end of the body now and as a clean end of the stream."""
        self.close_connection = True
        try:
            self.connection.settimeout(CLOSE_WAIT_SECONDS)
            self.connection.unwrap()
        except (OSError, ValueError, AttributeError):  # AttributeError: plain HTTP has no TLS to end
            pass
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
