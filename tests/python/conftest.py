"""Fixtures of the Python module's tests: the runner beside it, its runs in
scratch folders, and files made comparable across where the data lay."""
import os
import pathlib
import re
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"

quarvel = pytest.importorskip(
    "quarvel", reason="the Python module is not built or not on PYTHONPATH (build/python)")


@pytest.fixture(scope="session")
def runner():
    path = pathlib.Path(os.environ.get("QUARVEL_CLI", ROOT / "build" / "cli" / "quarvel-cli"))
    if not path.exists():
        pytest.skip(f"no runner at {path} (set QUARVEL_CLI)")
    return path.resolve()


def run_runner(runner, arguments, cwd):
    """The runner's exit status and its standard error."""
    done = subprocess.run([str(runner), "--quiet", *map(str, arguments)], cwd=cwd,
                          capture_output=True, text=True, timeout=120)
    return done.returncode, done.stderr


def folder_files(folder):
    """Every file under `folder`, by its path there."""
    folder = pathlib.Path(folder)
    return {str(path.relative_to(folder)): path.read_bytes()
            for path in folder.rglob("*") if path.is_file()}


# Lines that name where the data lay or how long a run took: they differ
# between runs of the same data wherever its files are; so does run.txt's
# list of the folder's files with their checksums (the model files name the
# data's place), whose files are compared themselves.
_PLACE_OR_TIME = re.compile(rb'(/tmp/quarvel-|' + re.escape(str(EXAMPLES).encode()) +
                            rb'|^seconds |^files )')


def comparable(files):
    """The files with the lines that name data files or seconds left out, and
    runs.csv without its seconds column."""
    kept = {}
    for name, content in files.items():
        lines = content.split(b"\n")
        if name.endswith("runs.csv"):
            at = lines[0].split(b",").index(b"seconds")
            lines = [b",".join(cell for k, cell in enumerate(line.split(b",")) if k != at)
                     for line in lines]
        kept[name] = b"\n".join(line for line in lines if not _PLACE_OR_TIME.search(line))
    return kept
