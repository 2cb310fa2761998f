#!/usr/bin/env python3
"""Runs the checks of tests/bench/trust.sh and prints their figures.

  trust_checks.py checks --count N --jobs J --timeout T --server ADDR
                         --off DIR --on DIR --chrony-conf FILE
      N interleaved checks of each client against ADDR (port 123), J at a
      time; prints one row per client.
  trust_checks.py bias --count N --chrony-conf FILE --ours PORT --peer PORT
      N interleaved chronyd -Q readings of our server and of chronyd on
      127.0.0.1, one at a time; prints the medians and their difference.

Every peer runs on this machine's clock, so the true offset is 0 and each
reading is its own error. Every command runs without the right to set the
clock; each is ended by its process id after the time-out and a second.
"""
import argparse
import math
import re
import subprocess
import sys
import threading
import time

GUARD = ["setpriv", "--bounding-set=-sys_time", "--"]

# The offset in seconds each client prints, or None.
CHRONOBEL = re.compile(r"Difference found as (-?)(\d+)\.(\d{5}) Scs")
NTPDIG = re.compile(r"^\S+ \S+ \(\S+\) ([-+][0-9.]+) \+/- ", re.M)
CHRONYD = re.compile(r"System clock wrong by ([-+0-9.e]+) seconds")


def chronobel_offset(text):
    m = CHRONOBEL.search(text)
    if not m:
        return None
    value = int(m.group(2)) + int(m.group(3)) / 100000
    return -value if m.group(1) else value


def regex_offset(pattern):
    def parse(text):
        m = pattern.search(text)
        return float(m.group(1)) if m else None
    return parse


def clients(args):
    """Name, command, working folder and parser of each client."""
    chronyd_q = ["chronyd", "-Q", "-t", str(args.timeout), "-f", args.chrony_conf,
                 f"server {args.server} iburst maxsamples 1"]
    return [
        ("chronobel /c, Average off", [f"{args.off}/chronobel", "/n", "/c"], args.off, chronobel_offset),
        ("chronobel /c, Average on", [f"{args.on}/chronobel", "/n", "/c"], args.on, chronobel_offset),
        ("ntpdate -q", ["ntpdate", "-q", args.server], None, regex_offset(NTPDIG)),
        ("sntp", ["sntp", args.server], None, regex_offset(NTPDIG)),
        ("chronyd -Q", chronyd_q, None, regex_offset(CHRONYD)),
    ]


def run_once(command, folder, parse, limit):
    """(offset or None, seconds taken); the process is ended after `limit`."""
    started = time.monotonic()
    try:
        done = subprocess.run(GUARD + command, cwd=folder, capture_output=True, text=True,
                              timeout=limit, errors="replace")
        output = done.stdout + done.stderr
    except subprocess.TimeoutExpired:
        output = ""  # ended by its pid: whatever it printed came too late
    return parse(output), time.monotonic() - started


def percentile(values, q):
    """Nearest rank: the smallest value with at least q of them at or below it."""
    if not values:
        return math.nan
    ordered = sorted(values)
    return ordered[max(0, math.ceil(q * len(ordered)) - 1)]


def checks(args):
    table = clients(args)
    # Interleaved: round i runs every client once, starting with a different
    # one each round, so that all meet the same conditions over the run.
    tasks = [(i, (i + k) % len(table)) for i in range(args.count) for k in range(len(table))]
    results = [[] for _ in table]
    lock = threading.Lock()
    next_task = [0]

    def worker():
        while True:
            with lock:
                if next_task[0] >= len(tasks):
                    return
                _, which = tasks[next_task[0]]
                next_task[0] += 1
            _, command, folder, parse = table[which]
            offset, seconds = run_once(command, folder, parse, args.timeout + 1)
            with lock:
                results[which].append((offset, seconds))

    threads = [threading.Thread(target=worker) for _ in range(args.jobs)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()

    row = "{:<27} {:>6} {:>9} {:>10} {:>10} {:>11} {:>11}"
    print(row.format("client", "checks", "answered", "|err| med", "|err| p90", "answer med", "answer p90"))
    print(row.format("", "", "%", "us", "us", "ms", "ms"))
    for (name, *_), got in zip(table, results):
        answered = [(o, s) for o, s in got if o is not None and s <= args.timeout]
        errors = [abs(o) * 1e6 for o, _ in answered]
        times = [s * 1e3 for _, s in answered]
        figure = lambda values, q: "%.0f" % percentile(values, q) if values else "-"
        print(row.format(name, len(got), "%.1f" % (100 * len(answered) / len(got)) if got else "-",
                         figure(errors, 0.5), figure(errors, 0.9), figure(times, 0.5), figure(times, 0.9)))
    sys.stdout.flush()


def bias(args):
    parse = regex_offset(CHRONYD)
    readings = {"ours": [], "peer": []}
    for i in range(args.count):
        for who in (("ours", "peer") if i % 2 == 0 else ("peer", "ours")):
            port = args.ours if who == "ours" else args.peer
            command = ["chronyd", "-Q", "-t", "5", "-f", args.chrony_conf,
                       f"server 127.0.0.1 port {port} iburst maxsamples 1"]
            offset, _ = run_once(command, None, parse, 6)
            if offset is not None:
                readings[who].append(offset * 1e6)
    ours, peer = readings["ours"], readings["peer"]
    if not ours or not peer:
        print(f"bias: no readings (ours {len(ours)}, chronyd {len(peer)})")
        return
    print(f"chronyd -Q against our server: median {percentile(ours, 0.5):+.1f} us ({len(ours)} readings)")
    print(f"chronyd -Q against chronyd:    median {percentile(peer, 0.5):+.1f} us ({len(peer)} readings)")
    print(f"our server's bias:             {percentile(ours, 0.5) - percentile(peer, 0.5):+.1f} us")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["checks", "bias"])
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--jobs", type=int, default=1)
    parser.add_argument("--timeout", type=int, default=15)
    parser.add_argument("--server", default="127.0.0.2")
    parser.add_argument("--off")
    parser.add_argument("--on")
    parser.add_argument("--chrony-conf", required=True)
    parser.add_argument("--ours", type=int)
    parser.add_argument("--peer", type=int)
    args = parser.parse_args()
    checks(args) if args.mode == "checks" else bias(args)


if __name__ == "__main__":
    main()
