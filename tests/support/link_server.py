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
  /huge/CODE              HEAD answers 405, GET answers CODE with a body of
                          5 GB, sent until the client closes
  /bigpage/NAME           200, and GET a body of 5 GB, sent until the client
                          closes
  /files/NAME             the file NAME of the folder --files names, or 404
  /soft/NAME              200: a real page for a NAME that begins with
                          "real", else a page titled "Not Found" that repeats
                          the path
  /blank/NAME             200: as /soft, but neither page has a title
Any other path, or a number that is none, answers 404. A request to another
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
            state["agent"] = self.headers.get("User-Agent", "")
            state["host"] = self.headers.get("Host", "")
            state["total"] += 1
            state["max_total"] = max(state["max_total"], state["total"])
            in_flight[address] = in_flight.get(address, 0) + 1
            max_host[address] = max(max_host.get(address, 0), in_flight[address])
        try:
            if self.hostile(path, with_body):
                self.close_connection = True
                return
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
        self.send_response(code)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if with_body:
            self.wfile.write(body)

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
        # Pages differ as a site's do: by their path.
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
        if parts[0] in ("soft", "blank"):
            body = self.page(path, b"Not Found" if parts[0] == "soft" else b"")
            return 200, headers, body if with_body else b""
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
        elif parts[0] == "files":
            try:
                with open(os.path.join(self.server.files, os.path.basename(path)), "rb") as f:
                    return 200, headers, f.read() if with_body else b""
            except OSError:
                code = 404
        elif parts[0] not in ("once", "drop", "bigpage"):
            code = 404
        return code, headers, None


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--hosts", type=int, default=1)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--files", default=".")
    args = parser.parse_args()
    Server.files = args.files
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
        for path, count in sorted(sent.items()):
            print("sent", path, count)
        print("host", state["host"])
        print("agent", state["agent"], flush=True)


if __name__ == "__main__":
    main()
