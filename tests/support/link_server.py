#!/usr/bin/env python3
"""Web servers for the link checker's tests, on loopback addresses only.

Serves on 127.0.0.1 .. 127.0.0.N (--hosts N), each on a free port, and, with
--tls CERT KEY, HTTPS on 127.0.0.1. Prints "ready PORT... [TLS_PORT]" once
listening. Ends when its standard input closes or after --lifetime seconds,
whichever comes first, and then prints what it saw:
  max_total N             the most requests in flight at once, all servers
  max_host ADDRESS N      the same for one address
  count METHOD PATH N     requests per method and path (without the query)
  starts ADDRESS T,T...   when each request to an address came, in seconds
  agent TEXT              the last User-Agent
  host TEXT               the last Host header
  sent PATH BYTES         body bytes that /huge and /bigpage paths got out
                          before the client closed

Paths:
  /status/CODE            answers CODE (a 3xx points to /target)
  /redirect/CODE/TARGET   answers CODE with Location: TARGET, percent-decoded
                          to bytes
  /nohead/CODE            HEAD answers 405, GET answers CODE with a body
  /noimpl/CODE            HEAD answers 501, GET answers CODE with a body
  /slow/MS/CODE           waits MS milliseconds, then answers CODE
  /once/CODE/SECONDS      the first request answers CODE with Retry-After:
                          SECONDS, later ones 200
  /drop                   the first request is closed unanswered, later 200
  /cut/CODE               a status line, then the connection closes
  /endless/MS             a status line, then a header line every MS
                          milliseconds (0: at once) for as long as the
                          client reads
  /bigheader/BYTES/CODE   answers CODE with one header line of BYTES bytes
  /nocolon/CODE           answers CODE with a header line that has no colon
  /huge/CODE              HEAD answers 405, GET answers CODE with a body of
                          5 GB, sent until the client closes
  /bigpage/NAME           200, and GET a body of 5 GB, sent until the client
                          closes
  /files/NAME             the file NAME of the folder --files names, or 404
  /soft/NAME              200: a real page for a NAME that begins with
                          "real", else a page titled "Not Found" that repeats
                          the path
  /loop/a, /loop/b        301 to each other
  /...                    with --site DIR, the file of DIR at that path
                          (index.html for a folder) where there is one
  /zoo/...                the verdict zoo: pages that behave as real sites'
                          do, each path's truth in tests/data/verdict_zoo.tsv
                          (see zoo_answer)
Any other path, a number that is none, or a page the check made up
(lirrevo-probe-*) outside /soft, answers 404. A request to another
host (through the server as a proxy) is answered as its path says.
"""
import argparse
import http.server
import os
import ssl
import sys
import threading
import time
import urllib.parse

lock = threading.Lock()
in_flight = {}
max_host = {}
state = {"total": 0, "max_total": 0, "agent": "", "host": ""}
counts = {}
asked = {}  # requests per path, whatever the method
poisoned = {"count": 0}
sent = {}
starts = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.serve(False)

    def do_GET(self):
        self.serve(True)

    def serve(self, with_body):
        address = self.server.server_address[0]
        path = urllib.parse.urlsplit(self.path).path
        with lock:
            starts.setdefault(address, []).append(time.monotonic())
            key = (self.command, path)
            counts[key] = counts.get(key, 0) + 1
            seen = counts[key]
            asked[path] = asked.get(path, 0) + 1
            seen_any = asked[path]
            state["agent"] = self.headers.get("User-Agent", "")
            state["host"] = self.headers.get("Host", "")
            state["total"] += 1
            state["max_total"] = max(state["max_total"], state["total"])
            in_flight[address] = in_flight.get(address, 0) + 1
            max_host[address] = max(max_host.get(address, 0), in_flight[address])
        if getattr(self, "poison", False):
            # The last answer on this connection left another answer behind.
            self.poison = False
            self.wfile.write(POISON)
            with lock:
                poisoned["count"] += 1
        try:
            if path.startswith("/zoo/"):
                answer = zoo_answer(self, path, seen_any, with_body)
                self.close_connection = False
            elif self.hostile(path, with_body):
                self.close_connection = True
                return
            else:
                answer = self.answer(path, seen, with_body)
        finally:
            # Counted out before the answer leaves: once the client has it,
            # the client may start its next request.
            with lock:
                state["total"] -= 1
                in_flight[address] -= 1
        if answer is None:
            self.close_connection = True
            return
        code, headers, body = answer
        body_after_head = headers.pop("X-Body-After-Head", None)
        if body.startswith((b"<html", b"<!DOCTYPE")):
            headers.setdefault("Content-Type", "text/html; charset=utf-8")
        self.send_response(code)
        headers.setdefault("Content-Length", str(len(body)))
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        try:
            if with_body or body_after_head:
                self.wfile.write(body)
        except OSError:
            self.close_connection = True  # the client had what it wanted

    def hostile(self, path, with_body):
        """Sends the answers no well-behaved server gives; False for others."""
        parts = path.strip("/").split("/")
        try:
            if parts[0] == "cut":
                self.wfile.write(b"HTTP/1.1 %s Gone Soon\r\n" % parts[1].encode())
            elif parts[0] == "endless":
                self.wfile.write(b"HTTP/1.1 200 OK\r\n")
                while True:
                    self.wfile.write(b"X-More: " + b"m" * 1000 + b"\r\n")
                    time.sleep(int(parts[1]) / 1000)
            elif parts[0] == "nocolon":
                self.wfile.write(b"HTTP/1.1 %s Odd\r\nBroken header line\r\nContent-Length: 0\r\n\r\n"
                                 % parts[1].encode())
            elif parts[0] == "bigheader":
                self.wfile.write(b"HTTP/1.1 %s Big\r\nX-Big: %s\r\nContent-Length: 0\r\n\r\n"
                                 % (parts[2].encode(), b"b" * int(parts[1])))
            elif parts[0] == "huge" and with_body:
                self.stream(path, int(parts[1]))
            elif parts[0] == "bigpage" and with_body:
                self.stream(path, 200)
            else:
                return False
        except OSError:
            pass  # the client closed first
        return True

    def stream(self, path, code):
        with lock:
            sent[path] = 0
        self.wfile.write(b"HTTP/1.1 %d Huge\r\nContent-Length: 5000000000\r\n\r\n" % code)
        chunk = b"h" * 65536
        while True:
            self.wfile.write(chunk)
            with lock:
                sent[path] += len(chunk)

    def answer(self, path, seen, with_body):
        """The status, headers and body to send, or None to close unanswered."""
        try:
            answer = self.answer_path(path, seen, with_body)
        except (ValueError, IndexError):
            return 404, {}, b""
        if answer is None or answer[2] is not None:
            return answer
        # Pages differ as a site's do: by their path. 204 and 304 have none.
        with_body = with_body and answer[0] not in (204, 304)
        return answer[0], answer[1], b"<html>page %s</html>\n" % path.encode() if with_body else b""

    @staticmethod
    def page(path, title):
        """A not-found page that repeats the path, or a real page."""
        head = b"<head><title>%s</title></head>" % title if title else b""
        if path.rsplit("/", 1)[1].startswith("real"):
            return b"<html>" + head.replace(b"Not Found", b"Welcome") + b"r" * 3000 + b"</html>"
        return (b"<html>" + head + b"<body>" + b"x" * 1000 + b"<p>Nothing at %s</p></body></html>"
                % path.encode())

    def answer_path(self, path, seen, with_body):
        """As answer, with None for the usual body."""
        parts = path.strip("/").split("/")
        headers = {}
        code = 200
        if parts[0] == "soft":
            return 200, headers, self.page(path, b"Not Found") if with_body else b""
        if parts[-1].startswith("lirrevo-probe-"):
            return 404, headers, None  # the check's made-up page, outside /soft, is missing
        if parts[0] == "status":
            code = int(parts[1])
            if 300 <= code < 400:
                headers["Location"] = "/target"
        elif parts[0] == "redirect":
            code = int(parts[1])
            headers["Location"] = urllib.parse.unquote_to_bytes(parts[2]).decode("latin-1")
        elif parts[0] in ("nohead", "noimpl"):
            code = int(parts[1]) if with_body else (405 if parts[0] == "nohead" else 501)
        elif parts[0] == "slow":
            time.sleep(int(parts[1]) / 1000)
            code = int(parts[2])
        elif parts[0] == "once" and seen == 1:
            code = int(parts[1])
            headers["Retry-After"] = urllib.parse.unquote(parts[2])
        elif parts[0] == "drop" and seen == 1:
            return None
        elif parts[0] == "huge":
            code = 405
        elif parts[0] == "state":
            # The answer a file of the --files folder names: a status, or
            # "slow" for none within a test's timeout; no file is 404.
            try:
                with open(os.path.join(self.server.files, parts[1])) as f:
                    text = f.read().strip()
            except OSError:
                text = "404"
            if text == "slow":
                time.sleep(3)
                return None
            code = int(text)
        elif parts[0] == "files":
            try:
                with open(os.path.join(self.server.files, os.path.basename(path)), "rb") as f:
                    if path.endswith(".html"):
                        headers["Content-Type"] = "text/html; charset=utf-8"
                    return 200, headers, f.read() if with_body else b""
            except OSError:
                code = 404
        elif parts[0] == "loop":
            code = 301
            headers["Location"] = "/loop/b" if parts[-1] == "a" else "/loop/a"
        elif (found := self.site_file(path)) is not None:
            headers["Content-Type"] = "text/html" if found.endswith(".html") else "text/plain"
            with open(found, "rb") as f:
                return 200, headers, f.read() if with_body else b""
        elif parts[0] not in ("once", "drop", "bigpage"):
            code = 404
        return code, headers, None

    def site_file(self, path):
        """The file of the --site folder at path, or None."""
        if not self.server.site or ".." in path.split("/"):
            return None
        found = os.path.join(self.server.site, path.lstrip("/"))
        if path.endswith("/"):
            found = os.path.join(found, "index.html")
        return found if os.path.isfile(found) else None


# The zoo: a site whose every page shares one template, as shops' do.
NAV = ("Home Products About Contact Blog Careers Help Center Store Locator Gift Cards Returns "
       "Shipping Policy Privacy Terms Newsletter Sign in Basket Wish list")
FOOT = ("Copyright 2026 Example Shop Limited. All rights reserved. Follow us for news, offers and "
        "updates about our products and the stores near you. Customer service is open every "
        "day from nine to six, and answers within one working day.")
PRODUCTS = {
    "item-1": "Blue cotton shirt with long sleeves, made from organic cotton grown in Egypt. "
              "Machine washable at forty degrees and available in five sizes and three colours.",
    "item-2": "Leather walking boots, waterproof, with a rubber sole and a steel shank for rough "
              "mountain trails. Resoled by our workshop for as long as you own them.",
}
# An answer a faulty server leaves on a connection, which the next request
# on it reads as its own.
POISON = b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"


def site_page(title, main):
    return ("<!DOCTYPE html><html><head><title>%s</title><style>nav{float:left}</style>"
            "<script>var shown = 'not found';</script></head><body><nav>%s</nav>"
            "<main>%s</main><footer>%s</footer></body></html>"
            % (title, NAV, main, FOOT)).encode()


def not_found_page(title, path):
    """A not-found page that repeats the path, and an id of the server's own."""
    return site_page(title, "<h1>Page not found</h1><p>Sorry, we could not find %s. It may "
                     "have been moved or deleted.</p><p>Request %s</p>"
                     % (path, "%d-%d" % (time.time_ns() % 10**9, os.getpid())))


def real_page(name):
    return site_page("Example " + name, "<h1>%s</h1><p>The page %s of our site, with text "
                     "of its own that no other page has.</p>" % (name, name))


def zoo_answer(handler, path, seen, with_body):
    """The zoo's status, headers and body. Folders:
      page/live, page/gone (404), page/removed (410);
      head404|head410|head403|head500/NAME: HEAD answers that, GET a real page;
      headok/NAME: HEAD 200, GET 404;
      headbody/NAME: HEAD answers 200 and sends a 404 answer after it;
      deploy/NAME: the first request 404, later ones the real page;
      leak/NAME: 200, and the next request on the connection reads a 404 first;
      a/: real-* pages, others 404; b/: real-* pages as long as a missing
      one, others 200 with a not-found text; shop/: item-1, item-2 and every
      other name a not-found text, all titled "Shop";
      moved/old: 301 to /, moved/renamed: 301 to /zoo/page/live;
      members/: real-* pages, others 302 to /login?next=PATH."""
    parts = path.split("/")[2:]
    folder, name = parts[0], parts[-1]
    real = real_page(name)
    if folder not in ("a", "b", "shop", "members", "moved", "headok", "page") and name != "page":
        return 404, {}, b""  # the folders of one page each answer others as a site should
    if folder == "page":
        code = {"live": 200, "gone": 404, "removed": 410}.get(name, 404)
        return code, {}, real if code == 200 else b""
    if folder.startswith("head") and folder[4:].isdigit():
        return (int(folder[4:]), {}, b"") if not with_body else (200, {}, real)
    if folder == "headok":
        return (200, {}, b"") if not with_body else (404, {}, b"")
    if folder == "headbody":
        if with_body:
            return 200, {}, real
        return 200, {"X-Body-After-Head": "1", "Content-Length": "0"}, POISON
    if folder == "deploy":
        return (404, {}, b"") if seen == 1 else (200, {}, real)
    if folder == "leak":
        handler.poison = True
        return 200, {}, b""
    if folder == "a":
        return (200, {}, real) if name.startswith("real") else (404, {}, b"")
    if folder == "b":
        missing = not_found_page("Example " + name, path)
        if not name.startswith("real"):
            return 200, {}, missing
        page = real_page("about our team")
        # As long as a missing page, give or take a byte.
        return 200, {}, page + b"<!--" + b" " * max(0, len(missing) - len(page) - 7) + b"-->"
    if folder == "shop":
        if name in PRODUCTS:
            return 200, {}, site_page("Shop", "<h1>%s</h1><p>%s</p>" % (name, PRODUCTS[name]))
        return 200, {}, not_found_page("Shop", path)
    if folder == "moved":
        target = {"old": "/", "renamed": "/zoo/page/live"}.get(name)
        return (301, {"Location": target}, b"") if target else (404, {}, b"")
    if folder == "members":
        if name.startswith("real"):
            return 200, {}, real
        return 302, {"Location": "/login?next=" + urllib.parse.quote(path, safe="")}, b""
    return 404, {}, b""


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--hosts", type=int, default=1)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--files", default=".")
    parser.add_argument("--site", default="")
    args = parser.parse_args()
    Server.files = args.files
    Server.site = args.site
    servers = [Server(("127.0.0.%d" % (n + 1), 0), Handler) for n in range(args.hosts)]
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        tls = Server(("127.0.0.1", 0), Handler)
        tls.socket = context.wrap_socket(tls.socket, server_side=True)
        servers.append(tls)
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("ready", *[s.server_address[1] for s in servers], flush=True)

    closed = threading.Event()

    def wait_for_end_of_input():
        sys.stdin.read()
        closed.set()

    threading.Thread(target=wait_for_end_of_input, daemon=True).start()
    closed.wait(args.lifetime)
    with lock:
        print("max_total", state["max_total"])
        for address, most in sorted(max_host.items()):
            print("max_host", address, most)
        for (method, path), n in sorted(counts.items()):
            print("count", method, path, n)
        for address, times in sorted(starts.items()):
            print("starts", address, ",".join("%.4f" % t for t in times))
        print("poisoned", poisoned["count"])
        for path, count in sorted(sent.items()):
            print("sent", path, count)
        print("host", state["host"])
        print("agent", state["agent"], flush=True)


if __name__ == "__main__":
    main()
