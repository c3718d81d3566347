#!/usr/bin/env python3
"""How old the fix of each live ping is at the ping's request.

Starts the simulated head on 127.0.0.1 with its navigation on a pseudo-terminal (10 fixes a second
unless --nav-rate says otherwise), records PINGS pings with `vexar-cli record --nav serial:...`,
and reads each record back: its time stamp is the ping's request time, and the time in its $AULOG
sentence (fields 18 and 19) is the time of the fix it carries. Prints the number of records, those
without a fix, and the age of the fixes at the requests: median, 95th percentile and largest.
With fixes every P ms and a pseudo-terminal that delivers them at once, the largest age is about P.

Usage: bench/probe/FixAgeProbe.py VEXAR_CLI VEXAR_HEADSIM [PINGS [NAV_RATE_HZ]]   (default 1000, 10)
"""

import datetime
import os
import struct
import subprocess
import sys
import tempfile

SETTINGS = """[System]
IPAddress_Sonar1=127.0.0.1
IPAddress_Output1=127.0.0.1
RemotePort_Output1=4041
[Sonar]
Operating Range=3
Number of Samples=1000
Beams=480
"""


def start_head(headsim, work, rate):
    head = subprocess.Popen([headsim, "--listen", "127.0.0.1:0", "--nav-rate", str(rate), "--nav-link",
                             os.path.join(work, "nav")], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in head.stdout:
        if "listening on 127.0.0.1:" in line:
            return head, int(line.rsplit(":", 1)[1])
    raise SystemExit("the simulated head did not start")


def stamp_ms(stamp):
    """DDMMYYYYHHMMSSmmm, in UTC (the recording runs with TZ=UTC)."""
    t = datetime.datetime(int(stamp[4:8]), int(stamp[2:4]), int(stamp[0:2]), int(stamp[8:10]), int(stamp[10:12]),
                          int(stamp[12:14]), int(stamp[14:17]) * 1000, tzinfo=datetime.timezone.utc)
    return t.timestamp() * 1000.0


def fix_ms(sentence):
    fields = sentence.split(",")
    if len(fields) < 20 or not fields[18] or not fields[19]:
        return None
    month, day, year = (int(v) for v in fields[19].split("/"))
    hours, minutes, seconds = fields[18].split(":")
    t = datetime.datetime(year, month, day, int(hours), int(minutes), tzinfo=datetime.timezone.utc)
    return t.timestamp() * 1000.0 + float(seconds) * 1000.0


def ages(path):
    data = open(path, "rb").read()
    result, without = [], 0
    at = 0
    while at + 1024 <= len(data):
        total, = struct.unpack_from("<I", data, at + 4)
        stamp = data[at + 10:at + 27].decode("ascii")
        data_length, = struct.unpack_from("<I", data, at + 91)
        extension, = struct.unpack_from("<I", data, at + 99)
        sentence_length, = struct.unpack_from("<I", data, at + 107)
        start = at + 2048 + data_length + extension
        fix = fix_ms(data[start:start + sentence_length].decode("ascii", "replace")) if sentence_length else None
        if fix is None:
            without += 1
        else:
            result.append(stamp_ms(stamp) - fix)
        at += total
    return result, without


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    cli, headsim = sys.argv[1], sys.argv[2]
    pings = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    rate = float(sys.argv[4]) if len(sys.argv) > 4 else 10.0
    with tempfile.TemporaryDirectory() as work:
        settings = os.path.join(work, "Vexar.INI")
        with open(settings, "w") as f:
            f.write(SETTINGS)
        head, port = start_head(headsim, work, rate)
        try:
            env = dict(os.environ, TZ="UTC", QT_QPA_PLATFORM="offscreen")
            recording = os.path.join(work, "probe.R96")
            subprocess.run([cli, "record", "--settings", settings, "--sonar", f"127.0.0.1:{port}", "--nav",
                            "serial:" + os.path.join(work, "nav"), "--pings", str(pings), "--timeout", "600",
                            recording], env=env, check=True)
        finally:
            head.terminate()
            head.wait()
        values, without = ages(recording)
    values.sort()
    if not values:
        raise SystemExit("no record carries a fix")
    print(f"{len(values) + without} records at {rate:g} fixes/s, {without} without a fix")
    print(f"age of the fix at the ping's request: median {values[len(values) // 2]:.0f} ms, "
          f"95th percentile {values[int(len(values) * 0.95)]:.0f} ms, largest {values[-1]:.0f} ms "
          f"(one navigation period: {1000.0 / rate:.0f} ms)")


if __name__ == "__main__":
    main()
