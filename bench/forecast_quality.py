#!/usr/bin/env python3
"""How good the runner's forecasts are, beside the classical forecasters.

Runs every series of each data folder (datasets.csv beside the data files, in
the comparison data's layout) with --runs R --rank-by mse --intervals 80,95 at
the terminal table size and overlap datasets.csv gives, the season its frequency gives
and the options of "Getting a forecast worth using" (README.md; --options
replaces them, --options '' runs the settings of before), and prints per
series the ensemble's scaled MSE, its 95 % interval score (per held-out point
the 95 % band's width plus 40 times the distance by which the value falls
outside it, averaged, on the scaled values: lower is better) and the coverage
of its 80 % and 95 % bands, each beside auto.arima's and ETS's figures where a
classical.csv gives them (bench/series/make_series.R writes one). Then the
geometric means of the ensemble's figures over auto.arima's, the series on
which the ensemble does better, and the coverage pooled over all held-out
points.

    python3 bench/forecast_quality.py build/cli/quarvel-cli [--data DIR ...] [--runs R]
        [--options '...'] [--keep DIR] [--jobs N]

The data folders default to ../shared/data and bench/series. The run folders
go to a temporary folder unless --keep names one.
"""

import argparse
import csv
import math
import os
import shlex
import subprocess
import sys
import tempfile
import time

# What the README's guide runs a forecast with.
GUIDE_OPTIONS = "--boxcox auto --seasonal-difference auto --difference auto"


def read_values(path):
    with open(path) as f:
        return [float(line) for line in f if line.strip()]


def classical_figures(folders):
    """{dataset: {method: {figure: value}}} from every classical.csv found."""
    figures = {}
    for folder in folders:
        path = os.path.join(folder, "classical.csv")
        if not os.path.exists(path):
            continue
        with open(path) as f:
            for row in csv.DictReader(f):
                figures.setdefault(row["dataset"], {})[row["method"]] = {
                    key: float(value) for key, value in row.items()
                    if key not in ("dataset", "method")}
    return figures


def ensemble_table(path):
    """The rows of ensemble-forecast.txt as {index: {column: value}}."""
    with open(path) as f:
        return {int(row["index"]): {k: float(v) for k, v in row.items() if k != "index"}
                for row in csv.DictReader(f)}


def score(entry, folder, output):
    """The ensemble's figures on the held-out points, scaled by the data's range."""
    name = entry["dataset"]
    training = read_values(os.path.join(folder, name + "-training.txt"))
    validation = read_values(os.path.join(folder, name + "-validation.txt"))
    overlap = int(entry["overlap_K"])
    held_out = validation[overlap:]
    low, high = float(entry["min"]), float(entry["max"])
    span = high - low
    start = len(training) + overlap
    rows = ensemble_table(os.path.join(output, "ensemble-forecast.txt"))
    squared, interval, inside80, inside95 = 0.0, 0.0, 0, 0
    for j, value in enumerate(held_out):
        row = rows[start + j]
        actual = (value - low) / span
        squared += (row["median"] - actual) ** 2
        lower, upper = row.get("lower_95", math.nan), row.get("upper_95", math.nan)
        interval += (upper - lower) + 40 * max(lower - actual, 0) + 40 * max(actual - upper, 0)
        inside80 += row.get("lower_80", math.nan) <= actual <= row.get("upper_80", math.nan)
        inside95 += lower <= actual <= upper
    h = len(held_out)
    return {"mse": squared / h, "score": interval / h, "inside80": inside80,
            "inside95": inside95, "h": h}


def geometric_mean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values)) if values else math.nan


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("cli", help="the quarvel-cli program")
    parser.add_argument("--data", action="append",
                        help="a data folder (repeatable); default: the comparison data and "
                             "bench/series")
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--options", default=GUIDE_OPTIONS,
                        help="runner options for every series (default: %(default)s)")
    parser.add_argument("--jobs", type=int, help="runs at once (the runner's --jobs)")
    parser.add_argument("--keep", help="a folder to keep the run folders in")
    arguments = parser.parse_args()
    folders = arguments.data or [os.path.join(root, "..", "shared", "data"),
                                 os.path.join(root, "bench", "series")]
    classical = classical_figures(folders + [os.path.join(root, "bench", "series")])
    work = arguments.keep or tempfile.mkdtemp(prefix="quarvel-quality-")
    # A runner from before seasons were known is run without one.
    knows_seasons = "--season" in subprocess.run([arguments.cli, "--help"], check=True,
                                                 capture_output=True, text=True).stdout

    results = []
    for folder in folders:
        with open(os.path.join(folder, "datasets.csv")) as table:
            entries = list(csv.DictReader(table))
        for entry in entries:
            name = entry["dataset"]
            output = os.path.join(work, name)
            command = [arguments.cli,
                       "--training", os.path.join(folder, name + "-training.txt"),
                       "--validation", os.path.join(folder, name + "-validation.txt"),
                       "--terminals", entry["terminal_table_size"],
                       "--overlap", entry["overlap_K"],
                       "--rank-by", "mse", "--intervals", "80,95",
                       "--runs", str(arguments.runs), "--quiet", "--output", output]
            if knows_seasons and int(entry["frequency"]) > 1:
                command += ["--season", entry["frequency"]]
            if arguments.jobs:
                command += ["--jobs", str(arguments.jobs)]
            command += shlex.split(arguments.options)
            started = time.monotonic()
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
            figures = score(entry, folder, output)
            figures["seconds"] = time.monotonic() - started
            results.append((name, figures, classical.get(name, {})))

    def given(methods, method, figure):
        return methods.get(method, {}).get(figure, math.nan)

    print("%-15s %4s %10s %10s %10s | %8s %8s %8s | %9s %9s | %6s" % (
        "series", "h", "MSE", "arima", "ETS", "IS95", "arima", "ETS", "cov 80", "cov 95",
        "secs"))
    for name, f, methods in results:
        print("%-15s %4d %10.4g %10.4g %10.4g | %8.3g %8.3g %8.3g | %4d/%-4d %4d/%-4d | %6.1f" % (
            name, f["h"], f["mse"], given(methods, "auto.arima", "mse"),
            given(methods, "ets", "mse"), f["score"],
            given(methods, "auto.arima", "interval_score_95"),
            given(methods, "ets", "interval_score_95"),
            f["inside80"], f["h"], f["inside95"], f["h"], f["seconds"]))
    compared = [(f, m) for _, f, m in results if "auto.arima" in m]
    for method, label in (("auto.arima", "auto.arima"), ("ets", "ETS")):
        mse = [f["mse"] / m[method]["mse"] for f, m in compared if method in m]
        scores = [f["score"] / m[method]["interval_score_95"] for f, m in compared if method in m]
        print("over %s on %d series: MSE %.3f (geometric mean of the ratios; better on %d), "
              "95 %% interval score %.3f (better on %d)" % (
                  label, len(mse), geometric_mean(mse), sum(r < 1 for r in mse),
                  geometric_mean(scores), sum(r < 1 for r in scores)))
    points = sum(f["h"] for _, f, _ in results)
    print("coverage pooled over %d held-out points of %d series: 80 %% band %.3f, 95 %% band %.3f"
          % (points, len(results), sum(f["inside80"] for _, f, _ in results) / points,
             sum(f["inside95"] for _, f, _ in results) / points))
    print("seconds in all: %.1f" % sum(f["seconds"] for _, f, _ in results))
    if not arguments.keep:
        print("run folders in %s" % work, file=sys.stderr)


if __name__ == "__main__":
    main()
