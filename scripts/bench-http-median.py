#!/usr/bin/env python3
"""Runs bench_http as many separate processes and prints, per row, the median and the spread.

    scripts/bench-http-median.py [-n 10] BINARY [OTHER_BINARY] [-- benchmark options...]

Raw libcurl's speed differs from process to process on some machines (it runs in a fast or a slow
mode for the whole process; see raw_slow_mode in bench/HttpBench.cpp), so one process says little:
this takes the median over N processes of each binary. Given two binaries (before and after a
change) it interleaves them, A B B A A B ..., so that the machine's drift hits both alike, and
prints the change of each median.

Per row: requests per second, the CPU microseconds per request of the thread that drives libcurl,
the ratio of the row's rate to raw libcurl's in the same process, and the allocation counters
(medians). The ratio's median is also given over the fast-mode processes alone when both modes
occurred. The load average before and after tells how busy the machine was.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys

RAW = "RawCurlMulti"
COUNTERS = ["allocs", "driver_allocs", "driver_allocs_freed_away", "driver_frees_foreign"]


def row_name(full):
    # "BM_RawCurlMulti/64/real_time" -> "RawCurlMulti"
    return full.split("/")[0].removeprefix("BM_")


def run_once(binary, extra):
    done = subprocess.run([binary, "--benchmark_format=json", *extra], capture_output=True, text=True)
    if done.returncode != 0:
        print(f"\n{binary} failed ({done.returncode}); that process is left out:\n{done.stderr[-2000:]}", file=sys.stderr)
        return None
    out = done.stdout
    rows = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
            continue
        rows[row_name(b["name"])] = b
    raw = rows.get(RAW)
    for b in rows.values():
        b["ratio"] = b["items_per_second"] / raw["items_per_second"] if raw else float("nan")
    return rows


def spread(values, fmt):
    values = [v for v in values if v == v]  # without NaN
    if not values:
        return "-"
    return f"{format(statistics.median(values), fmt)} [{format(min(values), fmt)}-{format(max(values), fmt)}]"


def summarise(label, binary, runs):
    if not runs:
        print(f"\n{label}: {binary}\n  no process succeeded")
        return
    slow = sum(1 for r in runs if r.get(RAW, {}).get("raw_slow_mode") == 1)
    print(f"\n{label}: {binary}\n  {len(runs)} processes, raw libcurl in slow mode in {slow}")
    names = [n for n in runs[0]]
    header = f"  {'row':<24} {'rate k/s median [min-max]':<28} {'cpu us/req median [min-max]':<28} {'ratio to raw median [min-max]':<30}"
    print(header + " allocations per request (medians): " + ", ".join(COUNTERS))
    for name in names:
        got = [r[name] for r in runs if name in r]
        line = f"  {name:<24} {spread([g['items_per_second'] / 1000 for g in got], '.2f'):<28}"
        line += f" {spread([g.get('cpu_us_per_request', float('nan')) for g in got], '.1f'):<28}"
        line += f" {spread([g['ratio'] for g in got], '.3f'):<30}"
        for c in COUNTERS:
            values = [g[c] for g in got if c in g]
            line += f" {statistics.median(values):7.2f}" if values else f" {'-':>7}"
        print(line)
        if 0 < slow < len(runs) and name != RAW:
            fast = [r[name]["ratio"] for r in runs if name in r and r.get(RAW, {}).get("raw_slow_mode") == 0]
            print(f"  {'':<24} ratio to raw over the {len(fast)} fast-mode processes: {spread(fast, '.3f')}")


def compare(before, after):
    print("\nchange of the medians (second binary against the first):")
    for name in before[0]:
        def med(runs, key):
            values = [r[name][key] for r in runs if name in r and key in r[name]]
            return statistics.median(values) if values else float("nan")
        rate = med(after, "items_per_second") / med(before, "items_per_second") - 1
        cpu = med(after, "cpu_us_per_request") - med(before, "cpu_us_per_request")
        ratio = med(after, "ratio") - med(before, "ratio")
        print(f"  {name:<24} rate {rate:+.1%}, cpu per request {cpu:+.1f} us, ratio to raw {ratio:+.3f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("-n", "--processes", type=int, default=10, help="processes per binary (default 10)")
    parser.add_argument("binaries", nargs="+", help="one bench_http, or two to compare (before, after)")
    args, extra = parser.parse_known_args()
    extra = [e for e in extra if e != "--"]
    if len(args.binaries) > 2:
        parser.error("give one or two binaries")

    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    runs = [[] for _ in args.binaries]
    for i in range(args.processes):
        order = range(len(args.binaries)) if i % 2 == 0 else reversed(range(len(args.binaries)))
        for b in order:
            rows = run_once(args.binaries[b], extra)
            if rows:
                runs[b].append(rows)
            print(".", end="", file=sys.stderr, flush=True)
    print(file=sys.stderr)
    print(f"load average after: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")

    labels = ["before", "after"] if len(args.binaries) == 2 else ["bench_http"]
    for label, binary, got in zip(labels, args.binaries, runs):
        summarise(label, binary, got)
    if len(args.binaries) == 2 and runs[0] and runs[1]:
        compare(runs[0], runs[1])


if __name__ == "__main__":
    main()
