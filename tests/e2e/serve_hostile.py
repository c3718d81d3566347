"""Hostile clients against vexar-cli serve: malformed and oversized requests, a hundred
connections at once, more observers than allowed, a client that never reads, junk WebSocket
frames, a request that never ends. serve must survive, its memory stay flat, and a
well-behaved observer keep getting frames throughout.

Usage: serve_hostile.py VEXAR_CLI WORK   (WORK holds Vexar.INI and scene.R96)
"""

import os
import socket
import struct
import sys
import threading
import time

from observer_tools import Serve, WebSocket

TOKEN = "hostile-test-token"


class GoodObserver(threading.Thread):
    """Reads every frame."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.ws = WebSocket("127.0.0.1", port, f"/ws?token={TOKEN}")
        self.arrivals = []
        self.error = None

    def run(self):
        try:
            while True:
                _, payload = self.ws.receive()
                if payload[:4] == b"VXO1":
                    self.arrivals.append(time.monotonic())
        except (OSError, ConnectionError) as error:
            self.error = error


def exchange(port, data, wait=3.0):
    """Sends raw bytes, returns what the server answered before closing (or within `wait`)."""
    with socket.create_connection(("127.0.0.1", port), timeout=wait) as s:
        try:
            s.sendall(data)
        except OSError:
            pass
        answer = b""
        try:
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                answer += chunk
        except (socket.timeout, ConnectionResetError):
            pass
        return answer


def status(answer):
    return int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/1.1 ") else None


def malformed_requests(port):
    cases = [
        (b"GARBAGE\r\n\r\n", 400), (b"GET / HTTP/9.9\r\n\r\n", 400), (b"GET / HTTP/1.1\nHost: x\n\n", 400),
        (b"GET /\x00 HTTP/1.1\r\n\r\n", 400), (b"GET http://evil/ HTTP/1.1\r\n\r\n", 400),
        (b"GET / HTTP/1.1\r\nNoColon\r\n\r\n", 400), (b"GET / HTTP/1.1\r\n folded: x\r\n\r\n", 400),
        (b"POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 405),
        (b"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400),
        (b"DELETE / HTTP/1.1\r\n\r\n", 405), (b"GET /ws HTTP/1.1\r\n\r\n", 403),
        (b"GET /ws?token=" + TOKEN.encode() + b" HTTP/1.1\r\n\r\n", 426),
        (b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + os.urandom(200), 400),  # a TLS hello
        (b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n", 431),
        (b"GET / HTTP/1.1\r\nX: " + b"b" * 70000 + b"\r\n\r\n", 431),
        (b"GET / HTTP/1.1\r\n" + b"".join(b"H%d: v\r\n" % i for i in range(300)) + b"\r\n", 431),
    ]
    for request, expected in cases:
        got = status(exchange(port, request))
        assert got == expected, f"{request[:40]!r}: {got}, expected {expected}"
    # A good request, then a bad one on the same kept-alive connection: that connection is cut.
    good = f"GET /?token={TOKEN} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode()
    answer = exchange(port, good + b"GET / HTTP/1.1\r\nBad Header\r\n\r\n")
    assert status(answer) == 200 and answer.count(b"HTTP/1.1 ") == 1, answer[:80]
    print(f"malformed and oversized requests: {len(cases) + 1} refused, each on its own connection")


def endless_request(port, results):
    """A request head that never ends: the server closes the connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(b"GET / HTTP/1.1\r\n")
        try:
            for _ in range(60):
                s.sendall(b"X: y\r")
                time.sleep(0.5)
                s.sendall(b"\n")
            results["endless"] = "still open"
        except OSError:
            results["endless"] = "closed"


def many_connections(port):
    sockets = []
    refused = 0
    for _ in range(100):
        try:
            sockets.append(socket.create_connection(("127.0.0.1", port), timeout=5))
        except OSError:
            refused += 1
    time.sleep(1.0)
    cut = 0
    for s in sockets:
        s.settimeout(0.2)
        try:
            if s.recv(1) == b"":
                cut += 1
        except socket.timeout:
            pass
        except OSError:
            cut += 1
        s.close()
    assert cut + refused >= 100 - 64, f"only {cut + refused} of 100 connections turned away"
    print(f"100 connections at once: {100 - cut - refused} held, {cut + refused} turned away")


def too_many_observers(port):
    kept, full = [], 0
    for _ in range(30):
        try:
            kept.append(WebSocket("127.0.0.1", port, f"/ws?token={TOKEN}"))
        except ConnectionError as error:
            assert "503" in str(error), error
            full += 1
    for ws in kept:
        ws.close()
    # The good observer takes one of the sixteen places, and the one that never reads another
    # until it is closed for that.
    assert len(kept) in (14, 15) and len(kept) + full == 30, f"{len(kept)} admitted, {full} refused"
    print(f"observers: {len(kept)} admitted beside those already there, {full} refused")


def junk_frames(port):
    junk = [
        ("unmasked frame", lambda ws: ws.send_frame(0x2, b"abc", masked=False)),
        ("reserved opcode", lambda ws: ws.send_frame(0x3, b"abc")),
        ("length of 2^62", lambda ws: ws.sock.sendall(b"\x82\xff" + struct.pack(">Q", 1 << 62) + b"\0\0\0\0")),
        ("a text message", lambda ws: ws.send_frame(0x1, b"hello")),
        ("a large binary message", lambda ws: ws.send_frame(0x2, os.urandom(20000))),
        ("random bytes", lambda ws: ws.sock.sendall(os.urandom(5000))),
        ("continuation without start", lambda ws: ws.send_frame(0x0, b"abc")),
    ]
    for name, send in junk:
        ws = WebSocket("127.0.0.1", port, f"/ws?token={TOKEN}")
        try:
            send(ws)
        except OSError:
            pass
        ws.sock.settimeout(10)
        try:
            while True:
                ws.receive()
        except (ConnectionError, OSError):
            pass  # closed by the server, as it must be
        ws.close()
    print(f"junk WebSocket frames: {len(junk)} connections closed")


def closed_silent(serve):
    """True once serve's counts say it closed an observer that went silent."""
    counts = [line for line in serve.output().splitlines() if line.startswith("# so far")]
    return bool(counts) and "closed: 0 silent" not in counts[-1]


def main():
    cli, work = sys.argv[1], sys.argv[2]
    serve = Serve(cli, "--play", os.path.join(work, "scene.R96"), "--loop", "--rate", "10", "--token", TOKEN,
                  "--idle-timeout", "4", "--stats", settings=os.path.join(work, "Vexar.INI"))
    try:
        good = GoodObserver(serve.page)
        good.start()
        # A client that never reads what it is sent.
        sluggard = WebSocket("127.0.0.1", serve.page, f"/ws?token={TOKEN}")
        sluggard.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        time.sleep(3)
        start_rss = serve.rss_kb()
        results = {}
        endless = threading.Thread(target=endless_request, args=(serve.page, results), daemon=True)
        endless.start()
        # The good observer must get frames during every attack (each lasts a second at least).
        seen = []
        for attack in (malformed_requests, many_connections, too_many_observers, junk_frames):
            before, started = len(good.arrivals), time.monotonic()
            attack(serve.page)
            time.sleep(max(0.0, 1.0 - (time.monotonic() - started)))
            seen.append(len(good.arrivals) - before)
        endless.join(40)
        assert results.get("endless") == "closed", f"a request that never ends was {results.get('endless')}"
        print("a request that never ends: closed")
        # The sluggard is closed once it has neither read nor answered pings for a while.
        deadline = time.time() + 30
        while time.time() < deadline and not closed_silent(serve):
            time.sleep(0.5)
        end_rss = serve.rss_kb()
        assert serve.alive(), "serve died"
        assert good.error is None, f"the good observer lost its connection: {good.error}"
        assert min(seen) > 0, f"frames the good observer got during each attack: {seen}"
        growth = end_rss - start_rss
        print(f"good observer: {len(good.arrivals)} frames, {seen} during the attacks; resident memory "
              f"{start_rss} kB after warm-up, {end_rss} kB at the end")
        assert growth < 8 * 1024, f"memory grew by {growth} kB"
        sluggard.close()
        good.ws.close()
    finally:
        code = serve.stop()
        summary = [line for line in serve.output().splitlines() if line.startswith("# ")]
        print(summary[-1] if summary else serve.output())
    assert code == 0, f"serve ended with {code}"
    assert "closed: 0 silent" not in summary[-1], "the observer that never reads was not closed"


if __name__ == "__main__":
    main()
