#!/usr/bin/env python3
"""Prints the one performance table of scripts/bench.sh from what its runs left in a folder:

  zorvant_bench.json, zorvant_memory_bench.json  Google Benchmark's output of the two programs (of
                                                 repeated runs, the best counts)
  score.txt    lines "CONTACTS SECONDS PEAK_KB", one per run of `zorvant score` (the best run counts)
  wine.txt     lines "rescan CONTACTS SECONDS" and "report CONTACTS SECONDS" from zorvant_wine_bench
  check.txt    lines "check SECONDS PEAK_KB" and "score SECONDS PEAK_KB": `zorvant check` of a contest and
               `zorvant score` of the same contacts in one log (the best run counts), with
               check-summary.txt, the check's summary; and "world SECONDS PEAK_KB", `zorvant check` of
               a world-size contest, with world-summary.txt
  load.txt     lines "before|after LOAD1 LOAD5 LOAD15": the machine's load around the contests' runs

Each figure of the first table is shown with its ratio to the same row's figure at the smallest size; the
second table shows `zorvant check` beside `zorvant score`.

usage: bench/bench_table.py RESULTS_FOLDER
"""
import datetime
import json
import os
import platform
import sys

SIZES = [1000, 100000, 1000000]
UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def duration(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return "%.3g %s" % (seconds / scale, unit)
    return "%.3g ns" % (seconds / 1e-9)


def size_text(contacts):
    return "{:,}".format(contacts).replace(",", " ")


def read_native(folder):
    """{(benchmark name, size): {"seconds": real time of one iteration, counters...}}"""
    found = {}
    benchmarks = []
    for program in ("zorvant_bench", "zorvant_memory_bench"):
        path = os.path.join(folder, program + ".json")
        if os.path.exists(path):
            benchmarks += json.load(open(path))["benchmarks"]
    for b in benchmarks:
        if b.get("error_occurred") or b.get("run_type") == "aggregate":
            continue
        name, _, rest = b["name"].partition("/")
        size = int(rest.split("/")[0]) if rest else 0
        entry = dict(b)
        entry["seconds"] = b["real_time"] * UNIT_SECONDS[b["time_unit"]]
        # Of repeated runs the best counts: a shared machine's other work only ever adds time.
        if (name, size) not in found or entry["seconds"] < found[(name, size)]["seconds"]:
            found[(name, size)] = entry
    return found


def read_score(folder):
    """{size: (best seconds, peak MB of that size's runs)}"""
    best = {}
    path = os.path.join(folder, "score.txt")
    if not os.path.exists(path):
        return best
    for line in open(path):
        parts = line.split()
        if len(parts) != 3:
            continue
        size, seconds, peak_kb = int(parts[0]), float(parts[1]), int(parts[2])
        old = best.get(size)
        best[size] = (min(seconds, old[0]) if old else seconds, max(peak_kb / 1024.0, old[1]) if old else peak_kb / 1024.0)
    return best


def read_wine(folder):
    """{(what, size): seconds}"""
    found = {}
    path = os.path.join(folder, "wine.txt")
    if not os.path.exists(path):
        return found
    for line in open(path):
        parts = line.split()
        if len(parts) == 3 and parts[0] in ("rescan", "report"):
            found[(parts[0], int(parts[1]))] = float(parts[2])
    return found


def row(label, values, show, sizes=SIZES):
    """values: {size: number}; show: number -> text. Cells with the ratio to the smallest size given."""
    base = next((values[s] for s in sizes if s in values), None)
    cells = []
    for s in SIZES:
        if s not in sizes:
            cells.append("")
        elif s not in values:
            cells.append("n/a")
        elif s == sizes[0] or not base:
            cells.append("%s (1×)" % show(values[s]))
        else:
            ratio = values[s] / base
            cells.append("%s (%s×)" % (show(values[s]), "%.0f" % ratio if ratio >= 100 else "%.3g" % ratio))
    return "| %s | %s |" % (label, " | ".join(cells))


def read_summary(path):
    """{summary line label: number} of a `zorvant check` summary"""
    summary = {}
    if os.path.exists(path):
        for line in open(path):
            label, colon, rest = line.strip().partition(":")
            words = rest.split() if colon else line.split()
            if colon and words and words[0].isdigit():
                summary[label] = int(words[0])
            elif not colon and len(words) >= 2 and words[-1].isdigit():
                summary[" ".join(words[:-1])] = int(words[-1])
    return summary


def read_check(folder):
    """({"check", "score" or "world": (best seconds, peak MB)}, {"check" or "world": summary}, load lines)"""
    best = {}
    path = os.path.join(folder, "check.txt")
    if os.path.exists(path):
        for line in open(path):
            parts = line.split()
            if len(parts) == 3:
                what, seconds, peak = parts[0], float(parts[1]), int(parts[2]) / 1024.0
                old = best.get(what)
                best[what] = (min(seconds, old[0]), max(peak, old[1])) if old else (seconds, peak)
    summaries = {"check": read_summary(os.path.join(folder, "check-summary.txt")),
                 "world": read_summary(os.path.join(folder, "world-summary.txt"))}
    path = os.path.join(folder, "load.txt")
    load = [line.split() for line in open(path)] if os.path.exists(path) else []
    return best, summaries, load


CLASSES = ("confirmed", "busted exchange", "NIL", "busted call", "not checkable", "unique", "outside the contest period",
           "partner's miscopy")


def print_check(best, summaries, load):
    score = best.get("score")
    print("| `zorvant check` of | whole run | peak memory | within |")
    print("|---|---|---|---|")
    for what, seconds_bound, mb_bound in (("check", 5, 1024), ("world", 30, 2048)):
        if what not in best:
            continue
        seconds, peak = best[what]
        summary = summaries[what]
        ratio = " (%.2g× `zorvant score`)" % (seconds / score[0]) if what == "check" and score else ""
        print("| %s logs, %s contacts | %s%s | %.0f MB | %d s and %s GB: %s |" % (
            size_text(summary.get("Logs checked", 0)), size_text(summary.get("Contacts read", 0)),
            duration(seconds), ratio, peak, seconds_bound, mb_bound // 1024,
            "yes" if seconds <= seconds_bound and peak <= mb_bound else "NO"))
    if score:
        print("| (`zorvant score` of the first contest's contacts in one log) | %s | %.0f MB | |" % (
            duration(score[0]), score[1]))
    print()
    for what in ("check", "world"):
        summary = summaries[what]
        if any(name in summary for name in CLASSES):
            print("Classes, %s logs: %s." % (size_text(summary.get("Logs checked", 0)), ", ".join(
                "%s %s" % (name, size_text(summary[name])) for name in CLASSES if name in summary)))
    if load:
        print("Load of the machine (1, 5, 15 minutes): %s." % "; ".join(
            "%s %s" % (words[0], ", ".join(words[1:])) for words in load))


def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def read_serve(folder):
    """The best of bench/serve/load.sh's runs (serve.txt, lines of bench/serve/load.cpp), by whole time."""
    best = None
    path = os.path.join(folder, "serve.txt")
    if os.path.exists(path):
        for line in open(path):
            parts = line.split()
            if len(parts) == 13 and parts[0] == "serve" and (best is None or float(parts[2]) < float(best[2])):
                best = parts
    return best


def print_serve(run):
    entrants, wall = int(run[1]), float(run[2])
    up50, up95, upmax, co50, co95, comax = (float(v) for v in run[3:9])
    answered, confirmed, lost, size = int(run[9]), int(run[10]), int(run[11]), int(run[12])
    print("| `zorvant serve`, %d uploads at once (logs of %.0f KB) | |" % (entrants, size / 1024.0))
    print("|---|---|")
    print("| all answered and confirmed | %s |" % duration(wall))
    print("| the answer to an upload: median, 95th percentile, slowest | %s, %s, %s |" % (
        duration(up50), duration(up95), duration(upmax)))
    print("| the receipt after confirming: median, 95th percentile, slowest | %s, %s, %s |" % (
        duration(co50), duration(co95), duration(comax)))
    print("| answered, confirmed, lost | %d, %d, %d |" % (answered, confirmed, lost))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    folder = sys.argv[1]
    native = read_native(folder)
    score = read_score(folder)
    wine = read_wine(folder)

    def native_values(name, key="seconds", sizes=SIZES):
        return {s: native[(name, s)][key] for s in sizes if (name, s) in native and key in native[(name, s)]}

    small = [1000, 100000]
    print("Measured %s on %s (%d cores), %s." % (datetime.date.today().isoformat(), cpu_name(), os.cpu_count() or 0,
                                                    platform.system()))
    print()
    serve = read_serve(folder)
    if serve:
        print_serve(serve)
        print()
    check, summaries, load = read_check(folder)
    if not (native or score or wine):
        if check:
            print_check(check, summaries, load)
        return
    print("| Contacts in the log | %s |" % " | ".join(size_text(s) for s in SIZES))
    print("|---|" + "---|" * len(SIZES))
    print(row("`zorvant score`, whole run", {s: v[0] for s, v in score.items()}, duration))
    print(row("`zorvant score`, peak memory", {s: v[1] for s, v in score.items()}, lambda mb: "%.0f MB" % mb))
    print(row("reading the ADIF log", native_values("BM_ReadLog"), duration))
    print(row("engine: reset, then AddData0 for each contact", native_values("BM_Engine"), duration))
    print(row("engine memory a contact (allocator)", native_values("BM_EngineMemory", "bytes_per_contact"),
              lambda b: "%.0f B" % b))
    print(row("CheckCall0, one call", native_values("BM_CheckCall", sizes=small), duration, small))
    print(row("GetResult0, the report", native_values("BM_Report", sizes=small), duration, small))
    print(row("RemoveData0, one contact anywhere", native_values("BM_RemoveData", sizes=small), duration, small))
    print(row("Setup window refresh, one look-up", native_values("BM_RefreshLookup", sizes=small), duration, small))
    print(row("the rescan through Stats.dll under Wine", {s: v for (w, s), v in wine.items() if w == "rescan"},
              duration))
    print(row("GetResult0 through Stats.dll under Wine", {s: v for (w, s), v in wine.items() if w == "report"},
              duration))
    if check:
        print()
        print_check(check, summaries, load)


if __name__ == "__main__":
    main()
