"""vexar-cli serve with a token refuses the page and the socket without it; without a token (on
loopback) it answers only to loopback names; the page's stale alarm comes on when records stop
and goes off when they come back.

Usage: serve_access.py VEXAR_CLI WORK   (WORK holds scene.P96 and scene.B96)
"""

import os
import re
import socket
import sys
import urllib.error
import urllib.request

from observer_tools import Chromium, Feeder, Serve, WebSocket, read_records

TOKEN = "k3Yl0ngEnough-42"


def status_of(url):
    try:
        with urllib.request.urlopen(url, timeout=10) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


def handshake(port, path, origin=None):
    try:
        socket = WebSocket("127.0.0.1", port, path, origin=origin)
    except ConnectionError as error:
        return str(error)
    opcode, greeting = socket.receive()
    socket.close()
    return "accepted" if opcode == 2 and greeting[:4] == b"VXP1" else f"odd greeting {greeting[:4]!r}"


def check_token(serve):
    for query, expected in (("", 403), ("?token=wrong-but-long", 403), (f"?token={TOKEN}", 200)):
        status, body = status_of(serve.url(query))
        assert status == expected, f"page {query or 'without token'}: {status}"
    assert b"<canvas" in body, "the page"
    origin = f"http://127.0.0.1:{serve.page}"
    for path, origin_sent, expected in (("/ws", None, "handshake refused with 403"),
                                        ("/ws?token=nope-nope-nope", None, "handshake refused with 403"),
                                        (f"/ws?token={TOKEN}", "http://elsewhere.example", "handshake refused with 403"),
                                        (f"/ws?token={TOKEN}", origin, "accepted")):
        result = handshake(serve.page, path, origin_sent)
        assert result == expected, f"socket {path} from {origin_sent}: {result}"
    print("token: page and socket refused without it, served with it")


def check_loopback_names(cli):
    serve = Serve(cli, "--udp", "0")
    try:
        for host, expected in (("127.0.0.1", b"200"), ("localhost", b"200"), ("rebound.example", b"403")):
            with socket.create_connection(("127.0.0.1", serve.page), timeout=10) as s:
                s.sendall(f"GET / HTTP/1.1\r\nHost: {host}:{serve.page}\r\n\r\n".encode())
                answer = s.recv(64)
            assert answer.split(b" ")[1] == expected, f"Host {host}: {answer[:40]!r}"
    finally:
        serve.stop()
    print("without a token: the page answers to loopback names only")


def check_stale_alarm(serve, feeder):
    browser = Chromium(600, 600)
    try:
        browser.open(serve.url(f"?token={TOKEN}"))
        assert browser.wait_for("window.vexarView && vexarView().message.startsWith('Waiting')"), "no waiting text"
        feeder.run(2.0, 5)
        assert browser.wait_for("vexarStats.drawn >= 3 && vexarView().message === ''"), "frames not drawn"
        texts = browser.evaluate("['range', 'scale', 'clock', 'rate', 'navigation']"
                                 ".map((id) => document.getElementById(id).textContent)")
        assert texts[:2] == ["10 m", "(2.00 m / div)"], texts
        assert re.fullmatch(r"\d\d-\d\d-\d{4} \d\d:\d\d:\d\d\.\d{3}", texts[2]), texts
        assert texts[3].endswith(" pings/s"), texts
        assert re.fullmatch(r"Lat: 2;29\.98\d+N   Lon: 99;13\.3141814E   Heading: 64\.8 deg\.", texts[4]), texts
        # Records stop: the page's own count says when the alarm came on. It must say 2 s when
        # it first shows, that is within the third second without a record.
        first = browser.wait_for("vexarView().message.startsWith('No new data') && vexarView().message",
                                 timeout=10, interval=0.05)
        assert first == "No new data for 2 s", f"the alarm came on as {first!r}"
        assert browser.evaluate("vexarView().stale") >= 2, "the picture is not dimmed"
        drawn = browser.evaluate("vexarStats.drawn")
        feeder.run(1.0, 5)
        assert browser.wait_for(f"vexarView().message === '' && vexarStats.drawn > {drawn}"), \
            f"the alarm stayed: {browser.evaluate('vexarView().message')!r}"
        assert browser.evaluate("vexarView().stale") == 0
    finally:
        browser.close()
    print("texts: range, time, ping rate, position and heading shown; stale alarm: on after 2 s without "
          "records, off when they came back")


def main():
    cli, work = sys.argv[1], sys.argv[2]
    check_loopback_names(cli)
    serve = Serve(cli, "--udp", "0", "--token", TOKEN, "--color-table", "3")
    try:
        assert serve.records, "no record port"
        check_token(serve)
        feeder = Feeder(serve.records, read_records(os.path.join(work, "scene.P96")),
                        read_records(os.path.join(work, "scene.B96")))
        check_stale_alarm(serve, feeder)
    finally:
        serve.stop()


if __name__ == "__main__":
    main()
