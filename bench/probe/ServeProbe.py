#!/usr/bin/env python3
"""Figures of the observers' server, with headless Chromium on 127.0.0.1.

Records pings of 1440 beams x 1000 samples from the simulated head, converts them to the beam and
point records the console sends, and feeds them to `vexar-cli serve --udp` at 10 pings a second
as the console's output would. Then prints:

- the latency from a record's arrival at serve to the frame drawn in the page (serve stamps each
  frame with the arrival; the page notes the time it has drawn it): median, p95, largest; and
  serve's own part of it, to a plain client that only receives;
- with 8 observers at once: the frames each drew per second, and serve's share of one core;
- bytes per frame on the wire, and the page's load time (to its load event and to its first
  frame drawn).

Usage: bench/probe/ServeProbe.py VEXAR_CLI VEXAR_HEADSIM [SECONDS]   (default 20 s a phase)
Run it on a quiet machine: the browsers share the cores with serve, and draw without a GPU. Each
phase runs with WebGL2 and again with the page's 2-D canvas.
"""

import os
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from observer_tools import Chromium, Feeder, Serve, WebSocket, read_records  # noqa: E402

RATE = 10
OBSERVERS = 8


def make_recording(cli, headsim, work):
    head = subprocess.Popen([headsim, "--listen", "127.0.0.1:0", "--noise", "0.002", "--sway", "0", "--seed", "4",
                             "--target", "45,3,1", "--target", "160,7,1", "--ring", "6,0.5",
                             "--wall", "300,5,330,9,0.5"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True)
    try:
        port = None
        while port is None:
            line = head.stdout.readline()
            if "listening on 127.0.0.1:" in line:
                port = line.rsplit(":", 1)[1].split()[0]
            elif not line:
                raise RuntimeError("the simulated head did not start")
        settings = os.path.join(work, "Vexar.INI")
        with open(settings, "w") as f:
            f.write("[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n"
                    "[Sonar]\nNumber of Samples=1000\nBeams=480\nOperating Range=3\nDetectProfilePoints=1\n")
        raw = os.path.join(work, "probe.R96")
        subprocess.run([cli, "record", "--settings", settings, "--sonar", f"127.0.0.1:{port}", "--pings", "20", raw],
                       check=True, capture_output=True)
    finally:
        head.terminate()
        head.wait()
    subprocess.run([cli, "convert", "--settings", settings, raw, "--p96", os.path.join(work, "probe.P96"),
                    "--b96", os.path.join(work, "probe.B96")], check=True, capture_output=True)
    return read_records(os.path.join(work, "probe.P96")), read_records(os.path.join(work, "probe.B96"))


class FeedInBackground(threading.Thread):
    def __init__(self, feeder):
        super().__init__(daemon=True)
        self.feeder = feeder
        self.stop = threading.Event()

    def run(self):
        start = time.monotonic()
        i = 0
        while not self.stop.is_set():
            delay = start + i / RATE - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            self.feeder.send_ping()
            i += 1


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def load_time(browser, url):
    browser.open(url)
    browser.wait_for("window.vexarStats && vexarStats.firstDrawnAt !== null", timeout=30)
    timing = browser.evaluate("(() => { const n = performance.getEntriesByType('navigation')[0]; "
                              "return [n.loadEventEnd, vexarStats.firstDrawnAt, n.transferSize]; })()")
    return timing


def socket_phase(serve, seconds):
    """serve's own part of the latency: a plain client that only receives and reads each frame's
    arrival stamp, no decoding or drawing."""
    ws = WebSocket("127.0.0.1", serve.page, "/ws")
    latencies, sizes = [], []
    end = time.time() + seconds
    while time.time() < end:
        _, payload = ws.receive()
        if payload[:4] == b"VXO1":
            latencies.append(time.time() * 1000.0 - struct.unpack_from("<d", payload, 8)[0])
            sizes.append(len(payload))
    ws.close()
    print(f"latency record arrival -> frame received by a plain client ({len(latencies)} frames): "
          f"median {percentile(latencies, 50):.1f} ms, p95 {percentile(latencies, 95):.1f} ms; "
          f"frames of {min(sizes)}..{max(sizes)} bytes")


def latency_phase(serve, seconds, query):
    browser = Chromium(900, 900)
    try:
        load_ms, first_ms, page_bytes = load_time(browser, serve.url(query))
        browser.evaluate("vexarStats.latencies.length = 0")
        time.sleep(seconds)
        stats = browser.evaluate("({l: vexarStats.latencies, r: vexarStats.renderer, "
                                 "m: vexarStats.messages, b: vexarStats.bytes})")
    finally:
        browser.close()
    latencies = stats["l"]
    print(f"page: {page_bytes} bytes, load event after {load_ms:.0f} ms, first frame drawn after {first_ms:.0f} ms")
    print(f"latency record arrival -> drawn ({stats['r']}, 1 observer, {len(latencies)} frames): "
          f"median {percentile(latencies, 50):.0f} ms, p95 {percentile(latencies, 95):.0f} ms, "
          f"largest {max(latencies):.0f} ms")
    print(f"bytes per frame received by the page: {stats['b'] / max(1, stats['m']):.0f}")


def observers_phase(serve, seconds, query):
    browser = Chromium(700, 700)
    try:
        pages = [browser.page] + [browser.new_page() for _ in range(OBSERVERS - 1)]
        for page in pages:
            page.open(serve.url(query))
        for page in pages:
            page.wait_for("window.vexarStats && vexarStats.drawn > 5", timeout=30)
        time.sleep(2)
        before = [page.evaluate("vexarStats.drawn") for page in pages]
        cpu_before, wall_before = serve.cpu_seconds(), time.monotonic()
        time.sleep(seconds)
        cpu, wall = serve.cpu_seconds() - cpu_before, time.monotonic() - wall_before
        after = [page.evaluate("vexarStats.drawn") for page in pages]
        renderers = {page.evaluate("vexarStats.renderer") for page in pages}
    finally:
        browser.close()
    rates = [(a - b) / wall for a, b in zip(after, before)]
    print(f"{OBSERVERS} observers ({', '.join(sorted(renderers))}): frames drawn per second "
          + " ".join(f"{r:.1f}" for r in rates) + f"; least {min(rates):.1f}")
    print(f"serve's share of one core with {OBSERVERS} observers at {RATE} pings/s: {100 * cpu / wall:.1f} %")


def main():
    cli, headsim = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 20.0
    with tempfile.TemporaryDirectory() as work:
        points, beams = make_recording(cli, headsim, work)
        serve = Serve(cli, "--udp", "0", "--color-table", "0", "--stats")
        feed = FeedInBackground(Feeder(serve.records, points, beams))
        feed.start()
        try:
            time.sleep(2)
            cpu0, wall0 = serve.cpu_seconds(), time.monotonic()
            time.sleep(5)
            print(f"serve's share of one core without observers at {RATE} pings/s: "
                  f"{100 * (serve.cpu_seconds() - cpu0) / (time.monotonic() - wall0):.1f} %")
            socket_phase(serve, seconds / 2)
            # The page's two ways of drawing: WebGL2 (in software here: no GPU) and the 2-D canvas,
            # which the page takes by itself where WebGL2 has no GPU.
            for query in ("?draw=webgl2", ""):
                latency_phase(serve, seconds, query)
                observers_phase(serve, seconds, query)
        finally:
            feed.stop.set()
            feed.join()
            serve.stop()
        counts = [line for line in serve.output().splitlines() if line.startswith("# ")]
        print("serve: " + (counts[-1][2:] if counts else "no counts"))


if __name__ == "__main__":
    main()
