#!/usr/bin/env python3
"""Writes a long Mackey-Glass series as a training and a validation file.

dx/dt = 0.2 x(t - 17) / (1 + x(t - 17)^10) - 0.1 x(t), constant history
x(t) = 1.2 for t <= 0, Euler steps of 0.1 with every tenth step kept (one
sample per time unit), the first 1000 samples dropped as the transient. The
validation file repeats the last OVERLAP training values before the held-out
ones, as the examples do; values have six significant digits.

usage: mackey_glass.py FOLDER [TRAINING [HELD_OUT [OVERLAP]]]
writes FOLDER/mackey-glass-long-training.txt and ...-validation.txt
(defaults 38000, 1600, 119: 38000 + 1719 values).
"""
import os
import sys

TAU = 17.0
STEP = 0.1
KEEP_EVERY = 10
TRANSIENT = 1000


def series(count):
    delay = round(TAU / STEP)
    xs = [1.2]  # x at every step from t = 0
    samples = []
    while len(samples) < TRANSIENT + count:
        k = len(xs) - 1
        delayed = xs[k - delay] if k >= delay else 1.2
        xs.append(xs[k] + STEP * (0.2 * delayed / (1.0 + delayed**10) - 0.1 * xs[k]))
        if (k + 1) % KEEP_EVERY == 0:
            samples.append(xs[k + 1])
    return samples[TRANSIENT:]


def write(path, values):
    with open(path, "w", encoding="ascii") as f:
        f.writelines("%g\n" % v for v in values)


def main(argv):
    if not 2 <= len(argv) <= 5:
        sys.exit(__doc__)
    folder = argv[1]
    training, held_out, overlap = (list(map(int, argv[2:])) + [38000, 1600, 119][len(argv) - 2 :])[:3]
    values = series(training + held_out)
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "mackey-glass-long-training.txt"), values[:training])
    write(os.path.join(folder, "mackey-glass-long-validation.txt"), values[training - overlap :])


if __name__ == "__main__":
    main(sys.argv)
