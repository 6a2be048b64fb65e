#!/usr/bin/env python3
"""Writes data/sample-contest.adi: a made-up ZORVANT log for the demo and the tests.

UA3XYZ works two tours (2026-03-14, 14:00-15:59 and 16:00-17:59 UTC) of RTTY and BPSK63 on 160, 80 and 40 m
with a short run on 20 m, and leaves the faults the plug-in must catch: dupes within a tour (of stations also
worked, legitimately, in the other tour), a QSO on 30 m, QSOs in FT8 and CW, and one without a received
number. The output is the same on every run. A summary of what went where is printed to stderr.

usage: scripts/make_sample_log.py [OUTPUT]   (default: data/sample-contest.adi beside this script's folder)
"""
import collections
import os
import random
import sys

OWN_CALL = "UA3XYZ"
DATE = "20260314"
START_HOUR = 14
SEED = 20260314

# Runs as the operator made them: from, to (UTC), band, mode. A run of one QSO is a single contact made in
# passing, here always one the contest does not accept.
RUNS = [
    ("14:00", "14:35", "80m", "RTTY"),
    ("14:36", "14:55", "80m", "BPSK63"),
    ("14:57", "15:20", "40m", "RTTY"),
    ("15:22", "15:22", "40m", "FT8"),
    ("15:24", "15:37", "40m", "BPSK63"),
    ("15:39", "15:39", "30m", "RTTY"),
    ("15:41", "15:49", "20m", "RTTY"),
    ("15:51", "15:59", "160m", "RTTY"),
    ("16:00", "16:24", "160m", "RTTY"),
    ("16:26", "16:35", "160m", "BPSK63"),
    ("16:37", "17:03", "80m", "RTTY"),
    ("17:05", "17:05", "80m", "CW"),
    ("17:07", "17:21", "80m", "BPSK63"),
    ("17:23", "17:49", "40m", "RTTY"),
    ("17:51", "17:59", "40m", "BPSK63"),
]

# Sub-bands where each mode is found, kHz.
SEGMENTS = {
    ("160m", "RTTY"): (1838.0, 1842.0),
    ("160m", "BPSK63"): (1838.0, 1840.0),
    ("80m", "RTTY"): (3580.0, 3600.0),
    ("80m", "BPSK63"): (3580.0, 3586.0),
    ("80m", "CW"): (3520.0, 3530.0),
    ("40m", "RTTY"): (7035.0, 7045.0),
    ("40m", "BPSK63"): (7040.0, 7043.0),
    ("40m", "FT8"): (7074.0, 7074.0),
    ("30m", "RTTY"): (10140.0, 10145.0),
    ("20m", "RTTY"): (14080.0, 14095.0),
}

# Call prefixes of the stations heard, with how often each turns up. Russia weighs most, as in any contest
# held there; two entities ("4L", "ER") are ones the host's country table does not know.
PREFIXES = [
    ("UA1", 3), ("UA3", 6), ("UA4", 3), ("UA6", 3), ("UA9", 5), ("UA0", 2), ("UA2", 1), ("RA3", 3), ("RA9", 2),
    ("RW3", 2), ("RW4", 2), ("RV3", 2), ("RV9", 1), ("RK3", 2), ("RK9", 1), ("RZ3", 2), ("RZ6", 1), ("RN3", 1),
    ("RU3", 1), ("R7", 1), ("R8", 1), ("UR5", 2), ("UT2", 2), ("US1", 1), ("UX0", 1), ("UY5", 1), ("EW1", 2),
    ("EW8", 1), ("UN7", 2), ("UN9", 1), ("LY2", 2), ("YL2", 2), ("ES5", 1), ("SP2", 1), ("SP9", 2), ("SQ9", 1),
    ("OK1", 2), ("OK2", 1), ("OM3", 1), ("DL1", 2), ("DL5", 1), ("DK3", 1), ("DJ7", 1), ("HA8", 1), ("YO3", 1),
    ("LZ1", 1), ("S51", 1), ("9A2", 1), ("YU1", 1), ("OH2", 1), ("OH6", 1), ("SM5", 1), ("LA9", 1), ("OZ1", 1),
    ("PA3", 1), ("ON4", 1), ("OE1", 1), ("HB9", 1), ("F5", 1), ("F6", 1), ("G3", 1), ("G4", 1), ("M0", 1),
    ("2E0", 1), ("GM4", 1), ("EA3", 1), ("EA5", 1), ("I2", 1), ("IK2", 1), ("IZ8", 1), ("CT1", 1), ("SV1", 1),
    ("TA2", 1), ("4X1", 1), ("JA1", 1), ("K1", 1), ("W3", 1), ("N4", 1), ("VE3", 1), ("4L1", 1), ("ER1", 1),
]

# Stations signing portable, with the prefix the logging program wrote for them (PFX).
PORTABLE = [
    ("DL4{s}/P", "DL4"),
    ("OH/UA9{s}", "OH0"),
    ("UA9{s}/3", "UA3"),
    ("SP5{s}/M", "SP5"),
    ("F/G4{s}", "F0"),
]

LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"


class Station:
    def __init__(self, call, pfx, rng):
        self.call = call
        self.pfx = pfx
        self.weight = rng.choice([1, 1, 1, 2, 2, 3, 5])  # a few big stations are everywhere
        self.first = rng.randint(1, 30)  # number given at 14:00: some started late or early
        self.rate = rng.uniform(0.25, 1.2)  # QSOs a minute

    def serial(self, minute):
        return self.first + int(self.rate * minute)


def make_stations(rng):
    seen = set()
    stations = []

    def fresh(pattern, letters):
        while True:
            call = pattern.format(s="".join(rng.choice(LETTERS) for _ in range(letters)))
            if call not in seen and call != OWN_CALL:
                seen.add(call)
                return call

    for prefix, weight in PREFIXES:
        for _ in range(weight):
            letters = 2 if prefix[0] in "R" and len(prefix) == 2 else rng.choice([2, 3, 3])
            stations.append(Station(fresh(prefix + "{s}", letters), "", rng))
    for pattern, pfx in PORTABLE:
        stations.append(Station(fresh(pattern, 2 if "/" in pattern[:3] else 3), pfx, rng))
    return stations


def minutes(hhmm):
    h, m = hhmm.split(":")
    return int(h) * 60 + int(m)


def tour(second_of_day):
    return 2 if second_of_day // 3600 >= START_HOUR + 2 else 1


def plan_contacts(rng, stations):
    contacts = []
    worked = set()  # (tour, band, mode, call)
    for start, end, band, mode in RUNS:
        t = minutes(start) * 60 + rng.randint(0, 40)
        stop = minutes(end) * 60 + 59
        while True:
            group = (tour(t), band, mode)
            fresh = [s for s in stations if group + (s.call,) not in worked]
            station = rng.choices(fresh, weights=[s.weight for s in fresh])[0]
            worked.add(group + (station.call,))
            low, high = SEGMENTS[(band, mode)]
            khz = round(rng.uniform(low, high), 1)
            contacts.append(dict(second=t, band=band, mode=mode, station=station, khz=khz, srx=True))
            if start == end:
                break
            t += rng.randint(40, 100)
            if t > stop:
                break
    return contacts


def index_of(contacts, band, mode, tour_number, nth):
    matching = [i for i, c in enumerate(contacts)
                if c["band"] == band and c["mode"] == mode and tour(c["second"]) == tour_number]
    return matching[nth]


def plant_faults(contacts):
    """Dupes: the nth QSO of a run worked again later in the same run. Also one QSO without SRX."""
    dupes = []
    for band, mode, tour_number, first, again in [
        ("80m", "RTTY", 1, 2, 17),
        ("80m", "RTTY", 1, 6, 21),
        ("40m", "RTTY", 1, 1, 11),
        ("40m", "RTTY", 2, 3, 14),
        ("160m", "BPSK63", 2, 0, 6),
    ]:
        original = index_of(contacts, band, mode, tour_number, first)
        dupe = index_of(contacts, band, mode, tour_number, again)
        contacts[dupe]["station"] = contacts[original]["station"]
        dupes.append(dupe)
    missing = index_of(contacts, "160m", "RTTY", 2, 4)
    contacts[missing]["srx"] = False
    return dupes, missing


def field(name, value):
    return "<%s:%d>%s" % (name, len(value), value)


def record(number, c):
    station = c["station"]
    second = c["second"]
    minute = second // 60 - START_HOUR * 60
    mhz = "%.5f" % (c["khz"] / 1000.0)
    parts = [field("STATION_CALLSIGN", OWN_CALL), field("CALL", station.call), field("QSO_DATE", DATE),
             field("TIME_ON", "%02d%02d%02d" % (second // 3600, second // 60 % 60, second % 60)),
             field("BAND", c["band"]), field("FREQ", mhz)]
    if c["mode"] == "BPSK63":
        parts += [field("MODE", "PSK"), field("SUBMODE", "PSK63")]
    else:
        parts += [field("MODE", c["mode"])]
    parts += [field("RST_SENT", "599"), field("RST_RCVD", "599"), field("STX", str(number)),
              field("STX_STRING", "%03d" % number)]
    if c["srx"]:
        received = station.serial(minute)
        parts += [field("SRX", str(received)), field("SRX_STRING", "%03d" % received)]
    if station.pfx:
        parts += [field("PFX", station.pfx)]
    return " ".join(parts) + " <EOR>\n"


HEADER = """Sample log of a ZORVANT contest, written for this project by scripts/make_sample_log.py.
UA3XYZ, 2026-03-14 14:00-17:59 UTC: tour 1 until 15:59, tour 2 from 16:00. Every callsign but UA3XYZ is
made up. Left in on purpose: dupes within a tour, a QSO on 30 m, one in FT8 and one in CW, and one without
a received number.
%s %s
<EOH>
"""


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "data", "sample-contest.adi")
    rng = random.Random(SEED)
    stations = make_stations(rng)
    contacts = plan_contacts(rng, stations)
    dupes, missing = plant_faults(contacts)
    with open(out, "w", newline="\n") as f:
        f.write(HEADER % (field("ADIF_VER", "3.1.4"), field("PROGRAMID", "make_sample_log")))
        for number, c in enumerate(contacts, 1):
            f.write(record(number, c))

    counts = collections.Counter((tour(c["second"]), c["band"], c["mode"]) for c in contacts)
    print("%d QSOs" % len(contacts), file=sys.stderr)
    for key in sorted(counts):
        print("  tour %d %-5s %-7s %3d" % (key + (counts[key],)), file=sys.stderr)
    for i in dupes:
        c = contacts[i]
        print("  dupe: record %d %s %s %s" % (i + 1, c["station"].call, c["band"], c["mode"]), file=sys.stderr)
    for i, c in enumerate(contacts):
        if c["band"] == "30m" or c["mode"] in ("FT8", "CW"):
            print("  rejected: record %d %s %s %s" % (i + 1, c["station"].call, c["band"], c["mode"]),
                  file=sys.stderr)
    print("  no received number: record %d %s" % (missing + 1, contacts[missing]["station"].call),
          file=sys.stderr)


if __name__ == "__main__":
    main()
