#!/usr/bin/env python3
"""Writes a large made-up ZORVANT log in ADIF, as a logging program exports it, for the benchmarks.

A station list a quarter the size of the log, a few hundred prefixes, most contacts on the low bands, both
modes and both tours (2026-03-14, start 14:00 UTC), each station worked on a few bands; about 3 % worked again
on the same band and mode (dupes) and 2 % the contest refuses (30 m, FT8, no received number). Every record
also carries the fields a logger writes that the plug-in never reads (name, grid, comment, zones). The output
is the same for the same size on every run.

usage: bench/make_log.py CONTACTS [OUTPUT]   (default output: standard output)
"""
import random
import sys

OWN_CALL = "UA3XYZ"
DATE = "20260314"
START_HOUR = 14
BANDS = [("160m", 1.838), ("80m", 3.585), ("40m", 7.040), ("20m", 14.080), ("15m", 21.080), ("10m", 28.080)]
BAND_WEIGHTS = [25, 35, 25, 8, 5, 2]
NAMES = ["ALEX", "IVAN", "OLGA", "JOHN", "MARIA", "PETER", "ANNA", "SERGEY", "TOM", "ELENA"]


def field(name, value):
    return "<%s:%d>%s " % (name, len(value), value)


def main():
    if len(sys.argv) < 2 or not sys.argv[1].isdigit():
        sys.exit(__doc__.strip())
    count = int(sys.argv[1])
    out = open(sys.argv[2], "w", newline="") if len(sys.argv) > 2 else sys.stdout
    rng = random.Random(20260314 + count)

    prefixes = ["%s%s%d" % (chr(65 + i // 260 % 26), chr(65 + i // 10 % 26), i % 10) for i in range(600)]
    stations = []
    for i in range(max(count // 4, 1)):
        suffix = chr(65 + i // 676 % 26) + chr(65 + i // 26 % 26) + chr(65 + i % 26)
        stations.append(rng.choice(prefixes) + suffix)

    out.write("Generated ZORVANT benchmark log of %d contacts\r\n" % count)
    out.write(field("ADIF_VER", "3.1.4") + field("PROGRAMID", "make_log") + "<EOH>\r\n")
    seconds = 4 * 3600
    serial = 0
    worked = []
    seen = set()
    for n in range(count):
        t = START_HOUR * 3600 + n * seconds // max(count, 1)
        tour = 1 if t // 3600 - START_HOUR >= 2 else 0
        if worked and rng.random() < 0.03:
            call, band, mhz, mode = rng.choice(worked)  # worked again: a dupe within its tour
        else:
            # An operator seldom works a station twice on one band and mode in a tour by mistake.
            for _ in range(8):
                band, mhz = BANDS[rng.choices(range(len(BANDS)), BAND_WEIGHTS)[0]]
                mode = "RTTY" if rng.random() < 0.6 else "BPSK63"
                call = rng.choice(stations)
                if (call, band, mode, tour) not in seen:
                    break
        seen.add((call, band, mode, tour))
        worked.append((call, band, mhz, mode))
        if len(worked) > 2000:
            worked = worked[-1000:]
        serial += 1
        sent = "%03d" % (serial % 10000)
        received = "%03d" % rng.randint(1, 1500)
        fault = rng.random()
        if fault < 0.005:
            band, mhz = "30m", 10.140
        elif fault < 0.01:
            mode = "FT8"
        elif fault < 0.02:
            received = ""
        parts = [
            field("CALL", call),
            field("QSO_DATE", DATE),
            field("TIME_ON", "%02d%02d%02d" % (t // 3600, t // 60 % 60, t % 60)),
            field("BAND", band),
            field("FREQ", "%.6f" % (mhz + rng.randint(0, 30) / 1000.0)),
        ]
        if mode == "BPSK63":
            parts += [field("MODE", "PSK"), field("SUBMODE", "PSK63")]
        else:
            parts.append(field("MODE", mode))
        parts += [field("RST_SENT", "599"), field("RST_RCVD", "599"), field("STX_STRING", sent)]
        if received:
            parts.append(field("SRX_STRING", received))
        parts += [
            field("STATION_CALLSIGN", OWN_CALL),
            field("NAME", rng.choice(NAMES)),
            field("GRIDSQUARE", "KO%02d" % rng.randint(0, 99)),
            field("CQZ", str(rng.randint(14, 19))),
            field("ITUZ", str(rng.randint(19, 30))),
            field("COMMENT", "tnx %s" % call),
            field("CONTEST_ID", "ZORVANT"),
        ]
        out.write("".join(parts) + "<EOR>\r\n")
    if out is not sys.stdout:
        out.close()


if __name__ == "__main__":
    main()
