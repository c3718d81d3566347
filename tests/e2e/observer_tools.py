"""Helpers of the observers' page tests and probe, Python standard library only.

- WebSocket: a small RFC 6455 client (what an observer's browser speaks, and what a hostile
  client abuses).
- Chromium: Debian's headless chromium driven through its DevTools protocol on 127.0.0.1.
- Serve: vexar-cli serve started on loopback, its page and record ports read from its output.
- Picture helpers: an image file read as RGB through ImageMagick, and bright blobs found in it.
"""

import base64
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import urllib.request


class WebSocket:
    """A client connection; `connect` performs the handshake and raises on a refusal."""

    def __init__(self, host, port, path, origin=None, timeout=10.0):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        lines = [f"GET {path} HTTP/1.1", f"Host: {host}:{port}", "Upgrade: websocket",
                 "Connection: Upgrade", f"Sec-WebSocket-Key: {key}", "Sec-WebSocket-Version: 13"]
        if origin:
            lines.append(f"Origin: {origin}")
        self.sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise ConnectionError(f"handshake refused: {head[:80]!r}")
            head += chunk
        self.status = int(head.split(b" ", 2)[1])
        self.buffer = head.split(b"\r\n\r\n", 1)[1]
        if self.status != 101:
            self.sock.close()
            raise ConnectionError(f"handshake refused with {self.status}")

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(max(65536, n - len(self.buffer)))
            if not chunk:
                raise ConnectionError("closed")
            self.buffer += chunk
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def send_frame(self, opcode, payload, fin=True, masked=True):
        header = bytes([(0x80 if fin else 0) | opcode])
        n = len(payload)
        mask_bit = 0x80 if masked else 0
        if n < 126:
            header += bytes([mask_bit | n])
        elif n < 65536:
            header += bytes([mask_bit | 126]) + struct.pack(">H", n)
        else:
            header += bytes([mask_bit | 127]) + struct.pack(">Q", n)
        if masked:
            mask = os.urandom(4)
            payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            header += mask
        self.sock.sendall(header + payload)

    def receive(self):
        """The next message as (opcode, payload); answers pings; raises when closed."""
        message, opcode = b"", None
        while True:
            b0, b1 = self._read(2)
            op, n = b0 & 0x0F, b1 & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._read(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(n)
            if op == 0x9:
                self.send_frame(0xA, payload)
                continue
            if op == 0x8:
                raise ConnectionError("closed by the server")
            if op == 0xA:
                continue
            if op != 0:
                opcode = op
            message += payload
            if b0 & 0x80:
                return opcode, message

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars", "--force-device-scale-factor=1", "--mute-audio",
                  "--disable-extensions", "--remote-debugging-address=127.0.0.1"]


class DevToolsPage:
    """One page of the browser, driven through its own DevTools connection."""

    def __init__(self, port, target, width, height):
        path = re.sub(r"^ws://[^/]+", "", target["webSocketDebuggerUrl"])
        self.ws = WebSocket("127.0.0.1", port, path, timeout=60)
        self.next_id = 0
        # The window's size is the page's: no browser frame around it.
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1,
                  mobile=False)

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send_frame(0x1, json.dumps({"id": self.next_id, "method": method, "params": params}).encode())
        while True:
            _, payload = self.ws.receive()
            reply = json.loads(payload)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", url=url)

    def wait_for(self, expression, timeout=15.0, interval=0.1):
        """Polls a page expression until it is true; returns its value, or None on timeout."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                value = self.evaluate(expression)
            except RuntimeError:
                value = None
            if value:
                return value
            time.sleep(interval)
        return None

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


class Chromium:
    """Headless chromium driven through the DevTools protocol on loopback; the methods of its
    first page are the browser's."""

    def __init__(self, width=800, height=800, webgl=True):
        self.profile = tempfile.mkdtemp(prefix="vexar-chromium-")
        self.size = (width, height)
        flags = CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}", f"--window-size={width},{height}",
                                  "--remote-debugging-port=0", "about:blank"]
        if webgl:
            # Software WebGL: the machine has no GPU for a headless browser.
            flags[1:1] = ["--enable-unsafe-swiftshader", "--use-angle=swiftshader"]
        binary = shutil.which("chromium") or "chromium"
        self.process = subprocess.Popen([binary] + flags, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)
        self.port = None
        deadline = time.time() + 30
        while time.time() < deadline and self.port is None:
            line = self.process.stderr.readline()
            found = re.search(r"DevTools listening on ws://127\.0\.0\.1:(\d+)/", line or "")
            if found:
                self.port = int(found.group(1))
            elif not line and self.process.poll() is not None:
                break
        if self.port is None:
            self.close()
            raise RuntimeError("chromium did not start")
        self.page = DevToolsPage(self.port, self._targets()[0], width, height)
        self.pages = [self.page]

    def _targets(self):
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list", timeout=10))
        return [t for t in targets if t.get("type") == "page"]

    def new_page(self, url="about:blank"):
        """Another page in a window of its own (so that it is drawn like a visible one)."""
        target = self.page.call("Target.createTarget", url=url, newWindow=True)["targetId"]
        found = next(t for t in self._targets() if t["id"] == target)
        page = DevToolsPage(self.port, found, *self.size)
        self.pages.append(page)
        return page

    def __getattr__(self, name):
        if name in ("page", "pages"):
            raise AttributeError(name)
        return getattr(self.page, name)

    def close(self):
        try:
            for page in getattr(self, "pages", []):
                page.ws.close()
        finally:
            if self.process.poll() is None:
                self.process.terminate()
                try:
                    self.process.wait(10)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
            shutil.rmtree(self.profile, ignore_errors=True)


class Serve:
    """vexar-cli serve on 127.0.0.1 with free ports; `page` and `records` are its ports."""

    def __init__(self, cli, *args, settings=None):
        command = [cli, "serve", "--http", "127.0.0.1:0"] + list(args)
        if settings:
            command[2:2] = ["--settings", settings]
        self.out = tempfile.TemporaryFile(mode="w+")
        self.err = tempfile.TemporaryFile(mode="w+")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.process = subprocess.Popen(command, stdout=self.out, stderr=self.err, env=env)
        self.page = self._port(r"page listening on 127\.0\.0\.1:(\d+)")
        self.records = self._port(r"records: listening on 127\.0\.0\.1:(\d+)", required=False)

    def _port(self, pattern, required=True):
        # The record port is printed before the page's, so it is there once the page's is.
        deadline = time.time() + 20
        while True:
            self.err.seek(0)
            found = re.search(pattern, self.err.read())
            if found or not required:
                return int(found.group(1)) if found else None
            if self.process.poll() is not None or time.time() > deadline:
                raise RuntimeError(f"serve did not start: {self.output()}")
            time.sleep(0.05)

    def url(self, query=""):
        return f"http://127.0.0.1:{self.page}/{query}"

    def rss_kb(self):
        with open(f"/proc/{self.process.pid}/status") as f:
            return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))

    def cpu_seconds(self):
        with open(f"/proc/{self.process.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def alive(self):
        return self.process.poll() is None

    def output(self):
        self.out.seek(0)
        self.err.seek(0)
        return self.out.read() + self.err.read()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        return self.process.returncode


def read_rgb(path):
    """(width, height, bytes) of an image file, 3 bytes a pixel, through ImageMagick."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True,
                          text=True).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return int(size[0]), int(size[1]), raw


def bright_blobs(width, height, rgb, level=150, min_pixels=3):
    """Centroids (x, y, pixels) of 8-connected groups of grey pixels (red = green = blue) of at
    least `level`: the echoes of a picture in the Grey colour table, which no overlay colour is."""
    mask = bytearray(width * height)
    for i in range(width * height):
        r, g, b = rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]
        if r == g == b and r >= level:
            mask[i] = 1
    blobs = []
    for start in range(width * height):
        if not mask[start]:
            continue
        stack, pixels, sx, sy = [start], 0, 0, 0
        mask[start] = 0
        while stack:
            i = stack.pop()
            x, y = i % width, i // width
            pixels, sx, sy = pixels + 1, sx + x, sy + y
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < width and 0 <= ny < height and mask[ny * width + nx]:
                        mask[ny * width + nx] = 0
                        stack.append(ny * width + nx)
        if pixels >= min_pixels:
            blobs.append((sx / pixels, sy / pixels, pixels))
    return blobs


def read_records(path):
    """The records of a beam or point file written by vexar-cli convert (whole, in order)."""
    data = open(path, "rb").read()
    records, at = [], 0
    while at + 8 <= len(data):
        total = struct.unpack_from("<I", data, at + 4)[0]
        records.append(data[at:at + total])
        at += total
    return records


class Feeder:
    """Sends point and beam records to a UDP port as the console's output does: a point record in
    one datagram, a beam record in datagrams of 64 000 bytes."""

    def __init__(self, port, points, beams):
        self.port = port
        self.pings = list(zip(points, beams))
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.next = 0

    def send_ping(self):
        point, beam = self.pings[self.next % len(self.pings)]
        self.next += 1
        self.sock.sendto(point, ("127.0.0.1", self.port))
        for at in range(0, len(beam), 64000):
            self.sock.sendto(beam[at:at + 64000], ("127.0.0.1", self.port))
            # A little room between datagrams, as the console's paced sender leaves.
            time.sleep(0.0005)

    def run(self, seconds, rate):
        """Sends `rate` pings a second for `seconds`, each at its due time."""
        start = time.monotonic()
        count = int(seconds * rate)
        for i in range(count):
            delay = start + i / rate - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            self.send_ping()
        return count
