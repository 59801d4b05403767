#!/usr/bin/env python3
"""A fan chart of an ensemble: the series, the median forecast over the
held-out part and past the data, and its 80 % and 95 % bands.

    fan_chart.py TRAINING VALIDATION ENSEMBLE-FORECAST PNG [--start 1949-01] [--title T]

ENSEMBLE-FORECAST is the ensemble-forecast.txt of `--runs N --intervals
--units original`; the validation file repeats the last K training values
(its overlap), which the x axis counts once. With --start (a monthly stamp)
the axis is in months.
"""
import argparse
import csv
import datetime

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def values(path):
    with open(path) as f:
        return [float(line) for line in f if line.strip()]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("training")
    parser.add_argument("validation")
    parser.add_argument("ensemble")
    parser.add_argument("png")
    parser.add_argument("--start", help="the first value's month, YYYY-MM")
    parser.add_argument("--title", default="")
    args = parser.parse_args()

    training = values(args.training)
    validation = values(args.validation)
    with open(args.ensemble) as f:
        rows = list(csv.DictReader(f))
    first = int(rows[0]["index"])
    overlap = first - len(training)
    series = training + validation[overlap:]

    def x_of(point):  # a loaded point's place in the series
        return point if point < len(training) else point - overlap

    if args.start:
        year, month = (int(part) for part in args.start.split("-"))

        def when(t):
            m = month - 1 + t
            return datetime.date(year + m // 12, m % 12 + 1, 1)
    else:
        def when(t):
            return t

    steps = [when(x_of(int(row["index"]))) for row in rows]
    fig, ax = plt.subplots(figsize=(8, 4.2), dpi=100)
    for level, shade in (("95", "#c6dbef"), ("80", "#6baed6")):
        ax.fill_between(steps, [float(r["lower_" + level]) for r in rows],
                        [float(r["upper_" + level]) for r in rows], color=shade,
                        label=f"{level} % band", linewidth=0)
    ax.plot([when(t) for t in range(len(series))], series, color="black", linewidth=1, zorder=3,
            label="data")
    ax.plot(steps, [float(r["median"]) for r in rows], color="#08306b", linewidth=1.6,
            label="ensemble median")
    ax.axvline(when(len(training)), color="#e6550d", linewidth=1, linestyle="--",
               label="end of training")
    ax.axvline(when(len(series)), color="grey", linewidth=1, linestyle=":",
               label="end of data")
    ax.set_title(args.title)
    ax.legend(loc="upper left", frameon=False, fontsize=9)
    ax.margins(x=0.01)
    fig.tight_layout()
    fig.savefig(args.png)


if __name__ == "__main__":
    main()
