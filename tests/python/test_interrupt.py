"""Ctrl+C stops a Forecaster's run soon and cleanly, with KeyboardInterrupt."""
import os
import subprocess
import sys

import pytest

from conftest import EXAMPLES, quarvel

# Fits a run far too long to finish, sends itself SIGINT after half a second
# and tells how long the run took to stop; then fits again in the same process.
SCRIPT = """
import os, signal, sys, threading, time
import numpy as np
import quarvel
training = np.loadtxt(sys.argv[1])
validation = np.loadtxt(sys.argv[2])
runs = int(sys.argv[3]) or None
model = quarvel.Forecaster(terminals=12, generations=1000000, runs=runs, jobs=runs and 2)
sent = []
def interrupt():
    sent.append(time.monotonic())
    os.kill(os.getpid(), signal.SIGINT)
threading.Timer(0.5, interrupt).start()
try:
    model.fit(training, validation=validation)
    print("finished")
except KeyboardInterrupt:
    print("stopped after", time.monotonic() - sent[0])
short = quarvel.Forecaster(terminals=12, generations=2, population_size=50, runs=runs)
print("trees", len(short.fit(training, validation=validation).trees_))
"""


@pytest.mark.parametrize("runs", [0, 2], ids=["single run", "two runs"])
def test_ctrl_c_stops_a_long_run_within_a_second(runs):
    package = os.path.dirname(os.path.dirname(quarvel.__file__))
    done = subprocess.run(
        [sys.executable, "-c", SCRIPT, str(EXAMPLES / "lynx-training.txt"),
         str(EXAMPLES / "lynx-validation.txt"), str(runs)],
        env={**os.environ, "PYTHONPATH": package}, capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    stopped, trees = done.stdout.splitlines()
    assert stopped.startswith("stopped after ")
    assert float(stopped.split()[-1]) < 1.0
    assert trees == f"trees {max(runs, 1)}"
