#!/usr/bin/env python3
"""The log robot under a flood of uploads never confirmed (scripts/bench.sh serve).

Starts `zorvant serve` on a free loopback port and sends it LOGS logs of about 5 MB each, every line of them a
problem for the reader (the answer that holds the most memory), from CLIENTS clients at once, each upload
from an address of its own (as a web server in front names it) so that the robot's bound on all waiting
answers is the one reached, not one address's share. Prints one line:
"flood LOGS SECONDS ANSWERED BUSY OTHER PEAK_RSS_MB END_RSS_MB" and exits 1 when the server died.

usage: flood.py ZORVANT [--logs N] [--clients N]
"""
import argparse
import http.client
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import uuid


def big_log(size):
    head = ("START-OF-LOG: 3.0\r\nCALLSIGN: OK1FL\r\n"
            "QSO:  1838 RY 2026-03-14 1402 OK1FL         599 001  W5OOI         599 001\r\n")
    lines, n = [head], len(head)
    i = 0
    while n < size:
        line = "QSO:  7040 RY 2026-03-14 1406 OK1FL <b>x</b> %d\r\n" % i
        lines.append(line)
        n += len(line)
        i += 1
    return "".join(lines).encode()


def upload(port, log, address):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=600)
    conn.request("GET", "/", headers={"X-Forwarded-For": address})
    answer = conn.getresponse()
    answer.read()
    cookie = answer.getheader("Set-Cookie", "")
    token = re.search(r"zv_csrf=([A-Za-z0-9]+)", cookie).group(1)
    boundary = uuid.uuid4().hex
    parts = []
    for name, filename, value in (("csrf", None, token.encode()), ("email", None, b"f@example.org"),
                                  ("log", "flood.log", log)):
        disposition = 'form-data; name="%s"' % name + ('; filename="%s"' % filename if filename else "")
        parts.append(("--%s\r\nContent-Disposition: %s\r\n\r\n" % (boundary, disposition)).encode() + value +
                     b"\r\n")
    body = b"".join(parts) + ("--%s--\r\n" % boundary).encode()
    # The page's connection may have been closed meanwhile (the robot keeps an idle one 2 s): a new one.
    conn.close()
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=600)
    conn.request("POST", "/upload", body=body, headers={
        "Content-Type": "multipart/form-data; boundary=" + boundary, "Cookie": "zv_csrf=" + token,
        "X-Forwarded-For": address})
    answer = conn.getresponse()
    answer.read()
    conn.close()
    return answer.status


def rss(pid):
    with open("/proc/%d/status" % pid) as f:
        status = f.read()
    return (int(re.search(r"VmHWM:\s+(\d+)", status).group(1)) // 1024,
            int(re.search(r"VmRSS:\s+(\d+)", status).group(1)) // 1024)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zorvant")
    parser.add_argument("--logs", type=int, default=110)
    parser.add_argument("--clients", type=int, default=4)
    args = parser.parse_args()
    data = tempfile.mkdtemp(prefix="zorvant-flood-")
    server = subprocess.Popen([args.zorvant, "serve", "--data", data, "--start", "2026-03-14 14:00", "--listen",
                               "127.0.0.1:0", "--key", "bench-flood-key-0001"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    port = int(re.search(r":(\d+)/", server.stdout.readline()).group(1))
    log = big_log(5 * 1024 * 1024 - 64 * 1024)
    statuses, lock, next_log = [], threading.Lock(), [0]

    def client():
        while True:
            with lock:
                if next_log[0] >= args.logs:
                    return
                n = next_log[0]
                next_log[0] += 1
            try:
                status = upload(port, log, "198.51.100.%d" % (n % 250 + 1) if n < 250 else "203.0.113.%d" % n)
            except (OSError, http.client.HTTPException):
                status = 0
            with lock:
                statuses.append(status)

    start = time.monotonic()
    threads = [threading.Thread(target=client) for _ in range(args.clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    seconds = time.monotonic() - start
    alive = server.poll() is None
    peak, now = rss(server.pid) if alive else (0, 0)
    server.terminate()
    server.wait()
    subprocess.run(["rm", "-rf", data])
    others = sorted(set(s for s in statuses if s not in (200, 503)))
    if others:
        print("other answers: %s" % others, file=sys.stderr)
    print("flood %d %.1f %d %d %d %d %d" % (args.logs, seconds, statuses.count(200), statuses.count(503),
                                             len(statuses) - statuses.count(200) - statuses.count(503), peak,
                                             now))
    return 0 if alive else 1


if __name__ == "__main__":
    sys.exit(main())
