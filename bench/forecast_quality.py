#!/usr/bin/env python3
"""How good the runner's forecasts are on the comparison data sets.

Runs every series of the comparison data (datasets.csv beside the data files)
with --runs R --rank-by mse --intervals at the terminal table size the data's
README suggests, the other settings at their defaults, and prints per series:
the median over the runs of the single runs' validation MSE (scaled), the
ensemble's scaled MSE and MASE, and the share of held-out points inside the
ensemble's 80 % and 95 % bands; then that share pooled over all series (held-out
points inside over held-out points).

    python3 bench/forecast_quality.py build/cli/quarvel-cli [--data DIR] [--runs R] [--keep DIR]

DIR defaults to ../shared/data from the repository's root; the run folders go to a
temporary folder unless --keep names one. The figures are read from each call's
runs.csv and summary.txt.
"""

import argparse
import csv
import os
import re
import subprocess
import sys
import tempfile
import time


def median(values):
    """The median as the summaries take it: halfway between the middle two."""
    ordered = sorted(values)
    n = len(ordered)
    if n == 0:
        return float("nan")
    middle = (n - 1) / 2
    low = ordered[int(middle)]
    high = ordered[min(int(middle) + 1, n - 1)]
    return low + (middle - int(middle)) * (high - low)


def ensemble_figures(summary):
    """The ensemble's scaled MSE, MASE and band counts from summary.txt."""
    figures = {}
    found = re.search(r"held-out points: scaled MSE (\S+), .*MASE (\S+?)\.?\n", summary)
    if found:
        figures["mse"] = float(found.group(1))
        figures["mase"] = float(found.group(2)) if found.group(2) != "not" else float("nan")
    for level, inside, count in re.findall(r"(\d+(?:\.\d+)?) % band \S+ \((\d+) of (\d+)\)",
                                           summary):
        figures[level] = (int(inside), int(count))
    return figures


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("cli", help="the quarvel-cli program")
    parser.add_argument("--data", default=os.path.join(root, "..", "shared", "data"))
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--keep", help="a folder to keep the run folders in")
    arguments = parser.parse_args()

    with open(os.path.join(arguments.data, "datasets.csv")) as table:
        series = list(csv.DictReader(table))
    work = arguments.keep or tempfile.mkdtemp(prefix="quarvel-quality-")
    rows = []
    pooled = {"80": [0, 0], "95": [0, 0]}
    for entry in series:
        name = entry["dataset"]
        output = os.path.join(work, name)
        command = [arguments.cli,
                   "--training", os.path.join(arguments.data, name + "-training.txt"),
                   "--validation", os.path.join(arguments.data, name + "-validation.txt"),
                   "--terminals", entry["terminal_table_size"],
                   "--rank-by", "mse", "--intervals", "--runs", str(arguments.runs),
                   "--quiet", "--output", output]
        started = time.monotonic()
        subprocess.run(command, check=True)
        seconds = time.monotonic() - started
        with open(os.path.join(output, "runs.csv")) as runs:
            single = [float(row["validation_mse"]) for row in csv.DictReader(runs)
                      if row["status"] == "ok"]
        with open(os.path.join(output, "summary.txt")) as summary:
            figures = ensemble_figures(summary.read())
        for level in pooled:
            inside, count = figures.get(level, (0, 0))
            pooled[level][0] += inside
            pooled[level][1] += count
        rows.append((name, entry["horizon_h"], len(single), median(single),
                     figures.get("mse", float("nan")), figures.get("mase", float("nan")),
                     figures.get("80"), figures.get("95"), seconds))

    def share(counts):
        return "%.3f (%d/%d)" % (counts[0] / counts[1], counts[0], counts[1]) if counts else "-"

    print("%-14s %4s %5s %16s %13s %8s %18s %18s %7s" % (
        "series", "h", "runs", "median run MSE", "ensemble MSE", "MASE", "80 % coverage",
        "95 % coverage", "seconds"))
    for name, h, runs, single, ensemble, mase, band80, band95, seconds in rows:
        print("%-14s %4s %5d %16.4g %13.4g %8.3f %18s %18s %7.1f" % (
            name, h, runs, single, ensemble, mase, share(band80), share(band95), seconds))
    print("pooled coverage over the %d series: 80 %% band %s, 95 %% band %s" % (
        len(rows), share(pooled["80"]), share(pooled["95"])))
    better = sum(1 for row in rows if row[4] <= row[3])
    print("ensemble MSE <= median single-run MSE on %d of %d series" % (better, len(rows)))
    if not arguments.keep:
        print("run folders in %s" % work, file=sys.stderr)


if __name__ == "__main__":
    main()
