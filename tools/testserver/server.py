#!/usr/bin/env python3
"""Loopback HTTP and HTTPS server for the tests: scripted responses per path, a record
of every request exactly as it arrived, and generated bodies of any size.

The control interface lives under /__control/ on both ports; README.md describes it.
"""

import argparse
import gzip
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import zlib
from urllib.parse import parse_qs, urlsplit

CONTROL_PREFIX = "/__control/"
BYTES_PREFIX = "/__bytes/"
MAX_HEAD = 1 << 20          # a request head larger than this is refused
IDLE_TIMEOUT = 60           # seconds a kept-alive connection may stay silent

# Generated bodies repeat the bytes 0, 1, ..., 250; a block that is a whole number of
# periods lets the body go out in large pieces without breaking the pattern.
PATTERN_PERIOD = 251
PATTERN_BLOCK = bytes(i % PATTERN_PERIOD for i in range(PATTERN_PERIOD * 4096))


class Script:
    """One scripted answer for a path."""

    def __init__(self, query, payload):
        self.raw = query.get("raw") == "1"
        self.delay = int(query.get("delay_ms", "0")) / 1000.0
        self.drop_after = int(query["drop_after"]) if "drop_after" in query else None
        if self.raw:
            self.wire = payload
            self.head, self.body = b"", b""
            return
        status = int(query.get("status", "200"))
        reason = query.get("reason", default_reason(status))
        header_block, sep, body = payload.partition(b"\r\n\r\n")
        if not sep:
            header_block, body = b"", payload
        lines = [line for line in header_block.split(b"\r\n") if line]
        encoding = query.get("encoding", "")
        if encoding:
            body = compress(body, encoding)
            if not has_header(lines, b"content-encoding"):
                name = b"gzip" if encoding == "gzip" else b"deflate"
                lines.append(b"Content-Encoding: " + name)
        self.close_after = query.get("no_length") == "1"
        if not self.close_after and not has_header(lines, b"content-length"):
            lines.append(b"Content-Length: " + str(len(body)).encode())
        head = b"HTTP/1.1 %d %s\r\n" % (status, reason.encode("latin-1"))
        head += b"".join(line + b"\r\n" for line in lines) + b"\r\n"
        self.head, self.body = head, body
        self.wire = head + body

    def keeps_connection(self):
        return not self.raw and not self.close_after and self.drop_after is None


def default_reason(status):
    return {200: "OK", 201: "Created", 204: "No Content", 301: "Moved Permanently",
            302: "Found", 303: "See Other", 304: "Not Modified", 307: "Temporary Redirect",
            400: "Bad Request", 404: "Not Found", 500: "Internal Server Error"}.get(status, "Status")


def compress(body, encoding):
    if encoding == "gzip":
        return gzip.compress(body)
    if encoding == "zlib":
        return zlib.compress(body)
    if encoding == "deflate":
        packer = zlib.compressobj(wbits=-15)
        return packer.compress(body) + packer.flush()
    raise ValueError("unknown encoding " + encoding)


def has_header(lines, name):
    return any(line.split(b":", 1)[0].strip().lower() == name for line in lines)


def local_target(target):
    """A request target as the origin server sees it: absolute targets (sent to a
    proxy) lose their scheme and host."""
    if target.startswith("http://") or target.startswith("https://"):
        rest = target.split("://", 1)[1]
        slash = rest.find("/")
        return rest[slash:] if slash >= 0 else "/"
    return target


def path_of_target(target):
    """The path of a request target without its query."""
    return local_target(target).split("?", 1)[0].split("#", 1)[0]


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.scripts = {}       # (scheme or "*", path or full target) -> Script
        self.log = []           # dicts: id, scheme, target, path, head, body

    def find_script(self, scheme, target):
        path = path_of_target(target)
        target = local_target(target)
        with self.lock:
            for key in ((scheme, target), ("*", target), (scheme, path), ("*", path)):
                if key in self.scripts:
                    return self.scripts[key]
        return None

    def record(self, scheme, target, head, body):
        with self.lock:
            entry = {"id": len(self.log) + 1, "scheme": scheme, "target": target,
                     "path": path_of_target(target), "head": head, "body": body}
            self.log.append(entry)

    def matching(self, query):
        with self.lock:
            entries = list(self.log)
        if "path" in query:
            entries = [e for e in entries if e["path"] == query["path"]]
        if "target" in query:
            entries = [e for e in entries if e["target"] == query["target"]]
        if "scheme" in query:
            entries = [e for e in entries if e["scheme"] == query["scheme"]]
        if "since" in query:
            entries = [e for e in entries if e["id"] > int(query["since"])]
        return entries


STATE = State()
PORTS = {}


class Handler(socketserver.BaseRequestHandler):
    scheme = "http"

    def setup(self):
        self.sock = self.request
        self.sock.settimeout(IDLE_TIMEOUT)
        self.pending = b""

    def handle(self):
        try:
            if self.scheme == "https":
                self.sock = self.server.tls.wrap_socket(self.sock, server_side=True)
            while self.serve_one():
                pass
        except ssl.SSLError as error:
            # Clients that refuse the certificate end here; the log tells why.
            print("TLS error from %s: %s" % (self.client_address, error), file=sys.stderr, flush=True)
        except (OSError, ValueError):
            pass
        finally:
            try:
                self.sock.close()
            except OSError:
                pass

    # --- reading -------------------------------------------------------------------

    def read_more(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            raise EOFError
        self.pending += chunk

    def read_until(self, marker, limit):
        while marker not in self.pending:
            if len(self.pending) > limit:
                raise ValueError("request head too large")
            self.read_more()
        at = self.pending.index(marker) + len(marker)
        data, self.pending = self.pending[:at], self.pending[at:]
        return data

    def read_exactly(self, count):
        while len(self.pending) < count:
            self.read_more()
        data, self.pending = self.pending[:count], self.pending[count:]
        return data

    def read_chunked(self):
        body = b""
        while True:
            size_line = self.read_until(b"\r\n", 4096)
            size = int(size_line.split(b";", 1)[0].strip() or b"0", 16)
            if size == 0:
                self.read_until(b"\r\n", MAX_HEAD)   # trailer end
                return body
            body += self.read_exactly(size)
            self.read_exactly(2)

    def serve_one(self):
        try:
            head = self.read_until(b"\r\n\r\n", MAX_HEAD)
        except EOFError:
            return False
        lines = head[:-4].split(b"\r\n")
        parts = lines[0].decode("latin-1").split(" ")
        if len(parts) != 3:
            self.sock.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        method, target, version = parts
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            headers[name.strip().lower()] = value.strip()
        if headers.get(b"transfer-encoding", b"").lower() == b"chunked":
            body = self.read_chunked()
        else:
            body = self.read_exactly(int(headers.get(b"content-length", b"0") or b"0"))
        connection = headers.get(b"connection", b"").lower()
        if version == "HTTP/1.1":
            wants_close = connection == b"close"
            self.connection_header = None
        else:
            # An HTTP/1.0 client keeps the connection only when it asked to, and is told
            # either way, as real servers do.
            wants_close = connection != b"keep-alive"
            self.connection_header = b"close" if wants_close else b"keep-alive"

        if target.startswith(CONTROL_PREFIX):
            return self.control(method, target, body) and not wants_close

        STATE.record(self.scheme, target, head, body)
        if method == "CONNECT":
            self.sock.sendall(b"HTTP/1.1 501 Not A Proxy\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return False
        path = path_of_target(target)
        if path.startswith(BYTES_PREFIX):
            return self.send_generated(method, path) and not wants_close
        script = STATE.find_script(self.scheme, target)
        if script is None:
            message = ("no script for %s\n" % path).encode()
            self.send_plain(method, 404, message)
            return not wants_close
        return self.send_script(method, script) and not wants_close

    # --- answering ----------------------------------------------------------------

    def finish_head(self, head):
        """The head with the Connection line an HTTP/1.0 client is owed, unless it has one."""
        value = getattr(self, "connection_header", None)
        if value is None or has_header(head.split(b"\r\n")[1:], b"connection"):
            return head
        return head[:-2] + b"Connection: " + value + b"\r\n\r\n"

    def send_plain(self, method, status, body, content_type=b"text/plain"):
        head = self.finish_head(b"HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n" % (
            status, default_reason(status).encode(), content_type, len(body)))
        self.sock.sendall(head if method == "HEAD" else head + body)

    def send_script(self, method, script):
        if script.delay:
            time.sleep(script.delay)
        if script.raw:
            wire = script.wire if script.drop_after is None else script.wire[:script.drop_after]
            self.sock.sendall(wire)
            return False
        if not script.keeps_connection() and getattr(self, "connection_header", None) is not None:
            self.connection_header = b"close"
        head = self.finish_head(script.head)
        if method == "HEAD":
            self.sock.sendall(head)
        elif script.drop_after is not None:
            self.sock.sendall(head + script.body[:script.drop_after])
        else:
            self.sock.sendall(head + script.body)
        return script.keeps_connection()

    def send_generated(self, method, path):
        try:
            count = int(path[len(BYTES_PREFIX):])
        except ValueError:
            self.send_plain(method, 400, b"size expected\n")
            return True
        self.sock.sendall(self.finish_head(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                           b"Content-Length: %d\r\n\r\n" % count))
        if method == "HEAD":
            return True
        block = memoryview(PATTERN_BLOCK)
        while count > 0:
            piece = block[:min(count, len(block))]
            self.sock.sendall(piece)
            count -= len(piece)
        return True

    def control(self, method, target, body):
        split = urlsplit(target)
        query = {k: v[-1] for k, v in parse_qs(split.query, keep_blank_values=True, encoding="latin-1").items()}
        command = split.path[len(CONTROL_PREFIX):]
        try:
            answer = self.control_answer(method, command, query, body)
        except (KeyError, ValueError) as error:
            self.send_plain(method, 400, ("bad control request: %s\n" % error).encode())
            return True
        if answer is None:
            self.send_plain(method, 404, b"unknown control request\n")
        else:
            self.send_plain(method, 200, answer, b"application/octet-stream")
        return True

    def control_answer(self, method, command, query, body):
        if command == "script" and method in ("PUT", "POST"):
            script = Script(query, body)
            with STATE.lock:
                STATE.scripts[(query.get("scheme", "*"), query["path"])] = script
            return b"ok\n"
        if command == "script" and method == "DELETE":
            with STATE.lock:
                STATE.scripts.pop((query.get("scheme", "*"), query["path"]), None)
            return b"ok\n"
        if command == "requests" and method == "GET":
            entries = STATE.matching(query)
            out = [b"%d\r\n" % len(entries)]
            for e in entries:
                out.append(b"%d %s %d %d\r\n" % (e["id"], e["scheme"].encode(), len(e["head"]), len(e["body"])))
                out.append(e["head"])
                out.append(e["body"])
            return b"".join(out)
        if command == "count" and method == "GET":
            return b"%d\n" % len(STATE.matching(query))
        if command == "last-id" and method == "GET":
            with STATE.lock:
                return b"%d\n" % len(STATE.log)
        if command == "reset" and method in ("POST", "PUT"):
            with STATE.lock:
                STATE.scripts.clear()
                STATE.log.clear()
            return b"ok\n"
        if command == "ports" and method == "GET":
            return b"http=%d\nhttps=%d\n" % (PORTS["http"], PORTS["https"])
        return None


class HttpsHandler(Handler):
    scheme = "https"


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--state-dir", required=True, help="where the ports and pid files go")
    parser.add_argument("--cert", help="server certificate chain (PEM); without it no HTTPS port")
    parser.add_argument("--key", help="server key (PEM)")
    parser.add_argument("--http-port", type=int, default=0)
    parser.add_argument("--https-port", type=int, default=0)
    args = parser.parse_args()

    http = Server(("127.0.0.1", args.http_port), Handler)
    PORTS["http"] = http.server_address[1]
    servers = [http]
    PORTS["https"] = 0
    if args.cert:
        https = Server(("127.0.0.1", args.https_port), HttpsHandler)
        https.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        https.tls.load_cert_chain(args.cert, args.key)
        PORTS["https"] = https.server_address[1]
        servers.append(https)

    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    os.makedirs(args.state_dir, exist_ok=True)
    with open(os.path.join(args.state_dir, "server.pid"), "w") as f:
        f.write("%d\n" % os.getpid())
    # Written last and renamed into place: whoever sees the file may use the ports.
    ports_file = os.path.join(args.state_dir, "ports")
    with open(ports_file + ".tmp", "w") as f:
        f.write("http=%d\nhttps=%d\n" % (PORTS["http"], PORTS["https"]))
    os.replace(ports_file + ".tmp", ports_file)
    print("listening: http %d, https %d" % (PORTS["http"], PORTS["https"]), flush=True)

    while not stop.wait(0.1):
        pass
    for server in servers:
        server.shutdown()
        server.server_close()
    try:
        os.remove(ports_file)
    except OSError:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
