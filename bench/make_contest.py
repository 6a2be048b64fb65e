#!/usr/bin/env python3
"""Writes a whole made-up ZORVANT contest, one log per station, with errors injected at known places, and
the truth: every injected error with the class a cross-check must give it on each side.

The stations work each other over both tours (start 2026-03-14 14:00 UTC, the second tour from 16:00) on
160, 80, 40 and 20 m in RTTY and BPSK63; each contact is logged by both sides at the same minute, each side
sending its own serials (001, 002, ... in time order). Two logs in three are Cabrillo 3.0 (CALL.log, the call
in the CALLSIGN: header), the others ADIF named after the call (CALL.adi, "/" written "_") with no station
call inside. Then, in contacts between two stations that send a log, each at most one error:

  dropped        one side did not log it             that side: nothing; the other: NIL
  busted call    one side logged the other's call    that side: busted call; the other: confirmed
                 one edit wrong
  busted number  one side copied the serial wrong    that side: busted exchange; the other: confirmed
  time skew      one side's clock 1 to 3 minutes off both: confirmed
and:
  no log         about 5 % of the stations send no   their partners: not checkable (or unique when
                 log                                 only one log holds the call)
  unique         casual stations worked once          that contact: unique

Station calls are at least three edits apart, a casual station's call three edits or more from every station's
and different from every other call, and a busted call is one edit from its station and two or more from every
other station's (two swapped neighbours counting as one edit there, as the checker counts them), so each
injected error has one right answer. A clock that is off never puts a contact before the contest's start. (Casual calls need not be apart from each other:
no log is checked against theirs. Kept apart, they would fill the space of calls long before a world-size
contest has its thousands of them.)

The truth is a tab-separated file with a header line: the log's own call and the line of the contact in its
file, the call as logged, band, mode, time, the class expected, and the error that made it ("partner of" for
the side that made none). A contact it does not list is clean: a checker must confirm it.

usage: bench/make_contest.py STATIONS FOLDER [--contacts N] [--seed N] [--rate R] [--truth FILE]
                             [--merged FILE]
  --contacts N  contacts logged in all, about (default: 40 a station)
  --rate R      share of the contacts between two entrants given each kind of error (default 0.01)
  --truth FILE  where the truth goes (default: FOLDER/../truth.tsv; FOLDER holds logs only)
  --merged FILE also every logged contact in one Cabrillo log, for scoring the same contacts at once
The output is the same for the same arguments on every run.
"""
import argparse
import os
import random

DATE = (2026, 3, 14)
START_HOUR = 14
BANDS = [("160m", 1838), ("80m", 3585), ("40m", 7040), ("20m", 14080)]
BAND_WEIGHTS = [25, 40, 25, 10]
MODES = [("RTTY", "RY"), ("BPSK63", "PM")]
ADIF_MODES = ["<MODE:4>RTTY ", "<MODE:3>PSK <SUBMODE:5>PSK63 "]  # as a logging program exports them
# Each with a call area digit: enough prefixes that thousands of calls stay three edits apart.
COUNTRIES = ["UA", "RA", "RK", "UR", "EU", "UN", "DL", "DK", "OK", "SP", "HA", "YO", "LZ", "G", "F", "I", "EA",
             "ON", "PA", "OH", "SM", "LY", "K", "W", "N", "JA", "VK", "YL", "ES", "OE"]
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
WINDOW = 3  # minutes: the checker's default, which every injected skew stays within
# Minutes from the start a tour's contacts fall in; the gap keeps a pair's two tours far apart.
TOUR_MINUTES = [(1, 110), (130, 239)]


def deletions(text, depth):
    """text with up to `depth` characters deleted, each variant once."""
    found = {text}
    frontier = {text}
    for _ in range(depth):
        frontier = {t[:i] + t[i + 1:] for t in frontier for i in range(len(t))}
        found |= frontier
    return found


def within(a, b, distance):
    """Whether a and b are at most `distance` edits apart; a row of the table past it ends the look."""
    if abs(len(a) - len(b)) > distance:
        return False
    row = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        prev, row[0] = row[0], i
        for j, cb in enumerate(b, 1):
            prev, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, prev + (ca != cb))
        if min(row) > distance:
            return False
    return row[-1] <= distance


def one_edit(a, b):
    """Whether a and b are one edit apart as a checker counts it: a character changed, added or left out, or
    two neighbours swapped."""
    if a == b:
        return False
    if len(a) == len(b):
        diff = [i for i in range(len(a)) if a[i] != b[i]]
        return len(diff) == 1 or (len(diff) == 2 and diff[1] == diff[0] + 1 and
                                   a[diff[0]] == b[diff[1]] and a[diff[1]] == b[diff[0]])
    return within(a, b, 1)


class CallBook:
    """Calls kept apart: two calls within `depth` edits share a variant with that many deletions."""

    def __init__(self):
        self.calls = set()
        self.variants = {}

    def candidates(self, call, distance):
        """The calls that share a variant with `call`, each once: the only ones that may be near it."""
        found = set()
        for v in deletions(call, distance):
            found.update(self.variants.get(v, ()))
        return found

    def near(self, call, distance):
        return {other for other in self.candidates(call, distance) if within(call, other, distance)}

    def near_any(self, call, distance):
        return any(within(call, other, distance) for other in self.candidates(call, distance))

    def add(self, call):
        self.calls.add(call)
        for v in deletions(call, 2):
            self.variants.setdefault(v, []).append(call)


def make_calls(rng, count, book, casual=False):
    """`count` calls three edits or more from every call of `book`: stations' are added to it, and so kept
    apart from each other too; casual ones only differ from each other."""
    calls = []
    taken = set()
    while len(calls) < count:
        suffix = "".join(rng.choice(LETTERS) for _ in range(rng.choice([2, 3, 3, 3])))
        call = rng.choice(COUNTRIES) + rng.choice("0123456789") + suffix
        if rng.random() < 0.03:
            call += "/P"
        if call in taken or book.near_any(call, 2):
            continue
        if casual:
            taken.add(call)
        else:
            book.add(call)
        calls.append(call)
    return calls


def bust_call(rng, call, book, casual):
    """A call one edit from `call` and two or more from every other station's, and none of the `casual` calls:
    the letters of the suffix only, so that it still reads as a callsign."""
    base = call.split("/")[0]
    digit = max(i for i, c in enumerate(base) if c.isdigit())
    for _ in range(100):
        i = rng.randrange(digit + 1, len(base) + 1)
        kind = rng.choice(["sub", "sub", "ins", "del"])
        if kind == "sub" and i < len(base):
            busted = base[:i] + rng.choice(LETTERS.replace(base[i], "")) + base[i + 1:]
        elif kind == "ins":
            busted = base[:i] + rng.choice(LETTERS) + base[i:]
        elif kind == "del" and i < len(base) and len(base) - digit > 2:
            busted = base[:i] + base[i + 1:]
        else:
            continue
        busted += call[len(base):]
        # One edit from its station, and none from any other, swapped neighbours counted as one.
        if busted not in book.calls and busted not in casual and \
                {other for other in book.candidates(busted, 1) if one_edit(busted, other)} == {call}:
            return busted
    raise RuntimeError("no busted form of " + call)


def bust_number(rng, serial):
    while True:
        i = rng.randrange(len(serial))
        busted = serial[:i] + rng.choice("0123456789".replace(serial[i], "")) + serial[i + 1:]
        if busted.lstrip("0") != serial.lstrip("0"):
            return busted


def time_text(minute):
    hour = START_HOUR + minute // 60
    return "%04d-%02d-%02d %02d%02d" % (DATE[0], DATE[1], DATE[2], hour, minute % 60)


def file_base(call):
    return call.replace("/", "_")


class Side:
    """One station's record of a contact."""

    def __init__(self, own, call, minute, sent, rcvd):
        self.own, self.call, self.minute, self.sent, self.rcvd = own, call, minute, sent, rcvd
        self.line = 0
        self.expected = None  # (class, error) when the truth lists it


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("stations", type=int)
    parser.add_argument("folder")
    parser.add_argument("--contacts", type=int)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--rate", type=float, default=0.01)
    parser.add_argument("--truth")
    parser.add_argument("--merged")
    args = parser.parse_args()
    if args.stations < 4:
        parser.error("at least 4 stations")
    rng = random.Random(args.seed * 1000003 + args.stations)
    total = args.contacts or 40 * args.stations

    book = CallBook()
    calls = make_calls(rng, args.stations, book)
    silent = set(rng.sample(calls, max(1, args.stations // 20)))  # send no log
    entrants = [c for c in calls if c not in silent]

    # The contacts as they happened: pair, band, mode, minute. A pair works once per band, mode and tour.
    events = []
    used = set()
    combos = 2 * len(BANDS) * len(MODES) * args.stations * (args.stations - 1) // 2
    while len(events) < min(total // 2, combos * 3 // 4):
        a, b = rng.sample(range(args.stations), 2)
        band = rng.choices(range(len(BANDS)), BAND_WEIGHTS)[0]
        mode = rng.randrange(len(MODES))
        tour = rng.randrange(2)
        key = (min(a, b), max(a, b), band, mode, tour)
        if key in used:
            continue
        used.add(key)
        events.append([calls[a], calls[b], band, mode, rng.randint(*TOUR_MINUTES[tour])])
    # Casual stations, each worked once by one entrant and sending no log.
    casual = make_calls(rng, max(1, int(len(events) * args.rate)), book, casual=True)
    casual_calls = set(casual)
    for call in casual:
        tour = rng.randrange(2)
        events.append([rng.choice(entrants), call, rng.choices(range(len(BANDS)), BAND_WEIGHTS)[0],
                       rng.randrange(len(MODES)), rng.randint(*TOUR_MINUTES[tour])])

    # Serials in time order, then each side's record.
    order = {}
    for n, (a, b, _, _, minute) in enumerate(events):
        order.setdefault(a, []).append((minute, n))
        order.setdefault(b, []).append((minute, n))
    serial = {}
    for call, worked in order.items():
        for number, (_, n) in enumerate(sorted(worked), 1):
            serial[(call, n)] = "%03d" % number
    logs = {c: [] for c in entrants}
    kinds = ["dropped", "busted call", "busted number", "time skew"]
    for n, (a, b, band, mode, minute) in enumerate(events):
        sides = [Side(a, b, minute, serial[(a, n)], serial[(b, n)]),
                 Side(b, a, minute, serial[(b, n)], serial[(a, n)])]
        logged = [a in logs, b in logs]
        if all(logged) and rng.random() < len(kinds) * args.rate:
            kind = rng.choice(kinds)
            wrong = rng.randrange(2)
            mine, other = sides[wrong], sides[1 - wrong]
            if kind == "dropped":
                logged[wrong] = False
                other.expected = ("NIL", "partner of dropped")
            elif kind == "busted call":
                mine.call = bust_call(rng, mine.call, book, casual_calls)
                mine.expected = ("busted call", kind)
                other.expected = ("confirmed", "partner of busted call")
            elif kind == "busted number":
                mine.rcvd = bust_number(rng, mine.rcvd)
                mine.expected = ("busted exchange", kind)
                other.expected = ("confirmed", "partner of busted number")
            else:
                skew = rng.choice([-1, 1]) * rng.randint(1, WINDOW)
                # A clock off, but not so far as to put the contact before the contest's start.
                mine.minute += skew if mine.minute + skew >= 0 else -skew
                mine.expected = ("confirmed", kind)
                other.expected = ("confirmed", "partner of time skew")
        for side, kept in zip(sides, logged):
            if kept:
                logs[side.own].append((side, band, mode))

    # Contacts with stations that send no log: checkable by nobody.
    holders = {}
    for own, contacts in logs.items():
        for side, _, _ in contacts:
            holders.setdefault(side.call, set()).add(own)
    for contacts in logs.values():
        for side, _, _ in contacts:
            if side.call in silent or side.call in casual_calls:
                others = holders[side.call] - {side.own}
                side.expected = ("not checkable" if others else "unique",
                                 "no log" if side.call in silent else "unique")

    os.makedirs(args.folder, exist_ok=True)
    merged = []
    for i, own in enumerate(entrants):
        contacts = sorted(logs[own], key=lambda c: (c[0].minute, c[0].sent))
        if i % 3 == 2:
            write_adif(os.path.join(args.folder, file_base(own) + ".adi"), own, contacts)
        else:
            write_cabrillo(os.path.join(args.folder, file_base(own) + ".log"), own, contacts)
        merged += [qso_line(c) for c in contacts]

    truth = args.truth or os.path.join(os.path.dirname(os.path.abspath(args.folder)), "truth.tsv")
    with open(truth, "w", newline="") as out:
        out.write("log\tline\tcall\tband\tmode\ttime\texpected\terror\n")
        for own in entrants:
            for side, band, mode in sorted(logs[own], key=lambda c: c[0].line):
                if side.expected:
                    out.write("\t".join([own, str(side.line), side.call, BANDS[band][0], MODES[mode][0],
                                         time_text(side.minute), side.expected[0], side.expected[1]]) + "\n")
    if args.merged:
        with open(args.merged, "w", newline="") as out:
            out.write("START-OF-LOG: 3.0\r\nCONTEST: ZORVANT\r\nCALLSIGN: ALL\r\n")
            out.write("".join(merged) + "END-OF-LOG:\r\n")


def qso_line(contact):
    side, band, mode = contact
    return "QSO: %5d %s %s %-13s 599 %-4s %-13s 599 %-4s\r\n" % (
        BANDS[band][1], MODES[mode][1], time_text(side.minute), side.own, side.sent, side.call, side.rcvd)


def write_cabrillo(path, own, contacts):
    head = ["START-OF-LOG: 3.0", "CONTEST: ZORVANT", "CALLSIGN: " + own, "CATEGORY-OPERATOR: SINGLE-OP",
            "CATEGORY-MODE: DIGI", "CREATED-BY: make_contest.py"]
    with open(path, "w", newline="") as out:
        out.write("".join(h + "\r\n" for h in head))
        for n, contact in enumerate(contacts):
            contact[0].line = len(head) + n + 1
            out.write(qso_line(contact))
        out.write("END-OF-LOG:\r\n")


def write_adif(path, own, contacts):
    def field(name, value):
        return "<%s:%d>%s " % (name, len(value), value)

    with open(path, "w", newline="") as out:
        out.write("Generated ZORVANT contest log\r\n" + field("ADIF_VER", "3.1.4") + "<EOH>\r\n")
        for n, (side, band, mode) in enumerate(contacts):
            side.line = n + 3
            hhmm = time_text(side.minute)[-4:]
            freq = "%.3f" % (BANDS[band][1] / 1000.0)
            out.write(field("CALL", side.call) + field("QSO_DATE", "%04d%02d%02d" % DATE) + field("TIME_ON", hhmm) +
                      field("BAND", BANDS[band][0]) + field("FREQ", freq) + ADIF_MODES[mode] +
                      field("RST_SENT", "599") + field("RST_RCVD", "599") + field("STX_STRING", side.sent) +
                      field("SRX_STRING", side.rcvd) + "<EOR>\r\n")


if __name__ == "__main__":
    main()
