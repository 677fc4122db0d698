#!/usr/bin/env python3
"""The bundled sample site: one post page with a dozen pictures, on loopback only.

    http://localhost:<port>/pixwharf.com/main/post/<number>
        the post page, UTF-8, whose picture tags carry the site's large-picture marker;
        any number gives the same post
    http://localhost:<port>/pixwharf.com/main/post/<number>?form=json
        the same post with its pictures as JSON records only (no picture tags)
    https://localhost:<https-port>/pictures/<i>.jpg
        the pictures, from --pictures (made by make_pictures.sh)

The site's domain stands in the path so that a post address reads as the site writes
it: domain, "/main/post/", number. Each picture tag writes its address without a scheme
("//localhost:<https-port>/pictures/<i>.jpg!weblarge"), as the site does; the program puts
"https:" in front.
"""

import argparse
import html
import http.server
import json
import os
import re
import signal
import socket
import socketserver
import ssl
import sys
import threading

SITE_DOMAIN = "pixwharf.com"
POST_PATH = re.compile(r"^/" + re.escape(SITE_DOMAIN) + r"/main/post/(\d+)$")
PICTURE_PATH = re.compile(r"^/pictures/(\d+)\.jpg(?:!weblarge)?$")

# The tag exactly as the site writes it; the two spaces before src belong to it.
PICTURE_TAG = ('<img class="if_error_show" onerror="this.onerror=null;'
               'this.style.display=\'none\';"  src="{src}!weblarge" title="{title}" alt="{alt}" />')


def picture_address(https_port, index):
    return "//localhost:%d/pictures/%d.jpg" % (https_port, index)


def post_page(post, count, https_port, form):
    """The post page; `form` is "tags" (picture tags) or "json" (records only)."""
    title = "样例帖子 %s" % post
    items = []
    records = []
    for i in range(1, count + 1):
        src = picture_address(https_port, i)
        records.append({"image": src, "imageHeight": 600, "imageWidth": 800})
        if form == "tags":
            items.append('<div class="photo">%s</div>' % PICTURE_TAG.format(
                src=src, title=html.escape("第 %d 张" % i), alt="photo %d" % i))
    # The site embeds its records without spaces, in the order of the pictures.
    data = json.dumps({"post": post, "images": records}, ensure_ascii=False,
                      separators=(",", ":"))
    script = "" if form == "tags" else "<script>var postData = %s;</script>\n" % data
    return ("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\" />\n"
            "<title>%s - %s</title>\n</head>\n<body>\n<h1>%s</h1>\n"
            "<p>一组测试图片，共 %d 张。</p>\n%s%s\n</body>\n</html>\n"
            % (html.escape(title), SITE_DOMAIN, html.escape(title), count, script,
               "\n".join(items))).encode("utf-8")


class Site:
    def __init__(self, pictures, count, post):
        self.pictures = pictures
        self.count = count
        self.post = post
        self.https_port = 0


class PageHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "SampleSite/1"
    timeout = 30

    def setup(self):
        super().setup()
        # The handshake runs here, on the connection's own thread, not in the accept loop.
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()

    def do_GET(self):
        path, _, query = self.path.partition("?")
        match = POST_PATH.match(path)
        if not match:
            return self.reply(404, "text/plain; charset=utf-8", b"no such page\n")
        form = "json" if "form=json" in query.split("&") else "tags"
        body = post_page(match.group(1), self.server.site.count, self.server.site.https_port, form)
        self.reply(200, "text/html; charset=utf-8", body)

    def reply(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, fmt, *args):
        sys.stderr.write("[%s] %s\n" % (self.server.name, fmt % args))


class PictureHandler(PageHandler):
    def do_GET(self):
        path = self.path.partition("?")[0]
        match = PICTURE_PATH.match(path)
        index = int(match.group(1)) if match else 0
        if not 1 <= index <= self.server.site.count:
            return self.reply(404, "text/plain; charset=utf-8", b"no such picture\n")
        try:
            with open(os.path.join(self.server.site.pictures, "%d.jpg" % index), "rb") as f:
                body = f.read()
        except OSError:
            return self.reply(404, "text/plain; charset=utf-8", b"picture missing\n")
        self.reply(200, "image/jpeg", body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, handler, family, site, name, tls=None):
        self.address_family = family
        self.site = site
        self.name = name
        self.tls = tls
        super().__init__(address, handler)

    def server_bind(self):
        if self.address_family == socket.AF_INET6:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        super().server_bind()

    def get_request(self):
        connection, address = super().get_request()
        if self.tls is not None:
            connection = self.tls.wrap_socket(connection, server_side=True,
                                              do_handshake_on_connect=False)
        return connection, address

    def handle_error(self, request, client_address):
        # A client that gives up on a handshake or a connection is not worth a trace.
        sys.stderr.write("[%s] connection from %s ended early: %s\n"
                         % (self.name, client_address[0], sys.exc_info()[1]))


def serve_loopback(port, handler, site, name, tls=None):
    """Listens on 127.0.0.1 and, where the system has it, ::1 with the same port:
    "localhost" may resolve to either. Never on any other address."""
    first = Server(("127.0.0.1", port), handler, socket.AF_INET, site, name, tls)
    servers = [first]
    try:
        servers.append(Server(("::1", first.server_address[1]), handler, socket.AF_INET6,
                              site, name, tls))
    except OSError:
        pass
    return servers


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--pictures", required=True, help="folder holding 1.jpg, 2.jpg, ...")
    parser.add_argument("--cert", required=True, help="localhost certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="its private key (PEM)")
    parser.add_argument("--count", type=int, default=12, help="pictures in the post")
    parser.add_argument("--post", default="20261211", help="post number printed")
    parser.add_argument("--port", type=int, default=0, help="page port (0: any free one)")
    parser.add_argument("--https-port", type=int, default=0, help="picture port (0: any free one)")
    parser.add_argument("--address-file", help="where to write the post's address once serving")
    parser.add_argument("--pid-file", help="where to write this process's id")
    args = parser.parse_args()

    site = Site(args.pictures, args.count, args.post)
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(args.cert, args.key)
    picture_servers = serve_loopback(args.https_port, PictureHandler, site, "pictures", tls)
    site.https_port = picture_servers[0].server_address[1]
    page_servers = serve_loopback(args.port, PageHandler, site, "page")
    servers = picture_servers + page_servers
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()

    if args.pid_file:
        with open(args.pid_file, "w") as f:
            f.write("%d\n" % os.getpid())
    address = "http://localhost:%d/%s/main/post/%s" % (
        page_servers[0].server_address[1], SITE_DOMAIN, args.post)
    if args.address_file:
        with open(args.address_file + ".tmp", "w") as f:
            f.write(address + "\n")
        os.replace(args.address_file + ".tmp", args.address_file)
    print(address, flush=True)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    while not stop.wait(0.5):
        pass
    for server in servers:
        server.shutdown()
        server.server_close()
    if args.address_file:
        try:
            os.remove(args.address_file)
        except OSError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
