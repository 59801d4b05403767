"""Time series models by genetic programming, from Python.

    import quarvel
    m = quarvel.Forecaster(terminals=25, forecast=12, runs=4, intervals=(80, 95))
    m.fit(series, split="1958-12")
    m.predict(12)

A Forecaster runs what quarvel-cli runs, in this process and with the same
engine: its settings are the runner's options (dashes as underscores), checked
by the runner's rules, and its files are the runner's, byte for byte.
"""

import os
import re
import tempfile
import warnings

import numpy as np

try:
    import pandas as pd
except ImportError:  # pandas is optional: results come as dicts of arrays then
    pd = None

from quarvel import _core

__version__ = _core.version
__all__ = ["Forecaster", "__version__"]

# The settings table's options and the runner's options of a run that a
# Forecaster takes, by their names with dashes as underscores; None leaves the
# runner's default.
_SETTINGS = {entry["option"][2:].replace("-", "_"): entry for entry in _core.settings()}
_RUN_OPTIONS = ("stream", "runs", "jobs", "intervals", "band_method", "paths", "units")
_TRANSFORMS = ("boxcox", "seasonal_difference", "difference")
PARAMETERS = tuple(_SETTINGS) + _RUN_OPTIONS + ("transform",)


def _text(value):
    """A value as the runner's command line would give it."""
    if isinstance(value, (list, tuple, np.ndarray)):
        return ",".join(_text(item) for item in value)
    if isinstance(value, (float, np.floating)):
        return repr(float(value))
    return str(value)


def _arguments(params):
    """The runner's options of a set of parameters."""
    params = dict(params)
    transform = params.pop("transform", None)
    if transform not in (None, "off", "auto"):
        raise ValueError("transform: use auto or off")
    if transform == "auto":
        for name in _TRANSFORMS:
            if params.get(name) is None:
                params[name] = "auto"
    arguments = []
    for name, value in params.items():
        if value is None or value is False and name == "intervals":
            continue
        option = "--" + name.replace("_", "-")
        if name == "intervals" and value is True:
            arguments.append(option)
        else:
            arguments.append(option + "=" + _text(value))
    return arguments


def _our_words(message, paths=()):
    """A runner's message with its options named as a Forecaster's parameters,
    and the scratch files the data went through by what they hold."""

    def name(match):
        parameter = match.group(1).replace("-", "_")
        return parameter if parameter in PARAMETERS + ("split",) else match.group(0)

    for path, words in paths:
        message = re.sub(r'(training |validation |data )?file "%s"' % re.escape(path), words,
                         message)
    return re.sub(r"--([a-z][a-z-]*)", name, message)


def _run(function, arguments, paths=()):
    """Calls the runner's check or run, its refusals told in a Forecaster's terms."""
    try:
        return function(arguments)
    except (ValueError, OSError, RuntimeError) as error:
        raise type(error)(_our_words(str(error), paths)) from None


# The parts of a run's check that need data: none is read.
_CHECKED_DATA = ["--training", "training", "--validation", "validation", "--output", "output"]


def _series(values, name):
    """The values of a list, array or Series as floats, and the Series' index."""
    index = getattr(values, "index", None)
    array = np.asarray(getattr(values, "values", values), dtype=float)
    if array.ndim != 1:
        raise ValueError(f"{name}: give one series of values, not an array of {array.ndim} "
                         "dimensions")
    return array, index


def _quoted(name, fallback):
    """A column's name as a quoted header cell."""
    text = fallback if name is None or name == "" else str(name)
    return '"' + text.replace('"', '""') + '"'


def _stamps(index):
    """The time stamps of a DatetimeIndex or PeriodIndex as a table's time
    column writes them, or None for any other index."""
    if pd is None or index is None:
        return None
    if isinstance(index, pd.PeriodIndex):
        code = index.freqstr.split("-")[0]
        times = index.to_timestamp(how="start")
    elif isinstance(index, pd.DatetimeIndex):
        frequency = index.freqstr or (pd.infer_freq(index) if len(index) > 2 else None)
        code = (frequency or "").split("-")[0]
        times = index
    else:
        return None
    if code in ("A", "AS", "Y", "YS", "BA", "BAS"):
        return list(times.strftime("%Y"))
    if code in ("M", "MS", "Q", "QS", "BM", "BMS", "BQ", "BQS"):
        return list(times.strftime("%Y-%m"))
    if (times == times.normalize()).all():
        return list(times.strftime("%Y-%m-%d"))
    return list(times.strftime("%Y-%m-%dT%H:%M:%S%z" if times.tz is not None
                               else "%Y-%m-%dT%H:%M:%S"))


def _stamps_after(index, steps):
    """The next `steps` stamps after a DatetimeIndex or PeriodIndex, or None."""
    if isinstance(index, pd.PeriodIndex):
        return index[-1] + np.arange(1, steps + 1)
    frequency = index.freq or (pd.infer_freq(index) if len(index) > 2 else None)
    if frequency is None:
        return None
    return pd.date_range(index[-1], periods=steps + 1, freq=frequency)[1:]


def _read_folder(folder):
    """Every file under `folder`, by its path there."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as file:
                files[os.path.relpath(path, folder)] = file.read()
    return files


def _csv(text):
    """A CSV text with a header line as columns: name -> array."""
    lines = [line.split(",") for line in text.strip().splitlines()]
    columns = {}
    for i, name in enumerate(lines[0]):
        cells = [row[i] for row in lines[1:]]
        for kind in (int, float):
            try:
                columns[name] = np.array([kind(cell) if cell else np.nan for cell in cells])
                break
            except ValueError:
                pass
        else:
            columns[name] = np.array(cells, dtype=object)
    return columns


def _table(columns, index=None):
    if pd is None:
        return dict(columns) if index is None else {"index": np.asarray(index), **columns}
    return pd.DataFrame(columns, index=index)


def _member(text):
    """ensemble-member.txt: its keys, and per step the index, the held-out value
    and the scaled forecast."""
    keys, steps = {}, []
    for line in text.splitlines()[1:]:
        words = line.split()
        if words and words[0][0].isdigit():
            steps.append((int(words[0]), words[1], float(words[2])))
        elif words:
            keys[words[0]] = words[1:]
    return keys, steps


def _record_figures(text, population):
    """The figures of a population in run.txt: its best MSE, MDL, validation
    MSE and nodes, and what its validation forecast is worth."""
    figures = {}
    for line in text.splitlines():
        words = line.split()
        if words[:2] == ["population", str(population)]:
            pairs = words[2:]
            for key, value in zip(pairs[::2], pairs[1::2]):
                figures[key.replace("-", "_")] = float(value)
        elif len(words) == 3 and words[1] == str(population) and not words[0].startswith("--"):
            try:
                figures[words[0].replace("-", "_")] = float(words[2])
            except ValueError:
                figures[words[0].replace("-", "_")] = words[2]
    return figures


def _ensemble_figures(summary):
    """The ensemble's figures as summary.txt words them."""
    figures = {}
    for line in summary.splitlines():
        if line.startswith("Its validation forecast over"):
            for pair in line.split(":", 1)[1].strip().rstrip(".").split(", "):
                name, _, value = pair.rpartition(" ")
                figures[name.lower().replace(" (%)", "").replace(" ", "_")] = float(value)
        elif line.startswith("Against the benchmarks"):
            figures["benchmarks"] = line.split(":", 1)[1].strip().rstrip(".")
        elif line.startswith("Coverage of the held-out values"):
            for band in line.split(":", 1)[1].strip().rstrip(".").split(", "):
                level, _, rest = band.partition(" % band ")
                figures["coverage_" + level] = float(rest.split()[0])
    return figures


class Forecaster:
    """A model of a series by genetic programming, as quarvel-cli makes it.

    Every setting of the runner is a keyword by its option's name with dashes
    as underscores (terminals=25, rank_by="mse", population_size=500,
    forecast=12, boxcox="auto"), and so are its run options: runs (an ensemble
    of so many runs), jobs (runs at once), stream, intervals (True or the band
    levels, such as (80, 95)), band_method, paths and units. transform="auto"
    asks for boxcox, seasonal_difference and difference "auto" where they are
    not given. A parameter left at None takes the runner's default. The
    settings are checked as the runner checks them: a ValueError names the
    setting and what it takes.
    """

    def __init__(self, **params):
        self._params = dict.fromkeys(PARAMETERS)
        self.set_params(**params)

    def get_params(self, deep=True):
        """Every parameter by its name; None where the runner's default holds."""
        return dict(self._params)

    def set_params(self, **params):
        unknown = sorted(set(params) - set(PARAMETERS))
        if unknown:
            raise ValueError(f"unknown setting {unknown[0]!r}; the settings are: "
                             + ", ".join(PARAMETERS))
        merged = {**self._params, **params}
        _run(_core.check, _CHECKED_DATA + _arguments(merged))
        self._params = merged
        return self

    def __repr__(self):
        given = ", ".join(f"{name}={value!r}" for name, value in self._params.items()
                          if value is not None)
        return f"Forecaster({given})"

    def fit(self, y, validation=None, split=None):
        """Models the series `y`: a list, a numpy array or a pandas Series.

        Either `validation` gives the values the forecast is checked against,
        as the runner's --validation file holds them (it may begin with the
        last values of `y`, found as the runner finds them), or `split` says
        where the training part of `y` ends, as --split does: a fraction, a
        count of values, or with a DatetimeIndex or PeriodIndex the time stamp
        of the last training value ("1958-12"). The index's time stamps then
        label the forecast, as a table's time column does.
        """
        values, index = _series(y, "y")
        stamps_index = None
        given = len(values)
        with tempfile.TemporaryDirectory(prefix="quarvel-") as folder:
            paths = []
            if validation is not None:
                if split is not None:
                    raise ValueError("give validation or split, not both")
                held_out, _ = _series(validation, "validation")
                given += len(held_out)
                data = []
                for name, part in (("training", values), ("validation", held_out)):
                    path = os.path.join(folder, name + ".txt")
                    with open(path, "w") as file:
                        file.write("".join(repr(float(v)) + "\n" for v in part))
                    data += ["--" + name, path]
                    paths.append((path, "the " + name + " values"))
            elif split is not None:
                stamps = _stamps(index)
                # The Series' name and its index's name the columns, as a
                # table's header does; the run's record tells them.
                value_name = _quoted(getattr(y, "name", None), "value")
                time_name = _quoted(getattr(index, "name", None), "time")
                path = os.path.join(folder, "series.csv")
                with open(path, "w") as file:
                    file.write((f"{time_name}," if stamps else "") + f"{value_name}\n")
                    for k, v in enumerate(values):
                        file.write((stamps[k] + "," if stamps else "") + repr(float(v)) + "\n")
                data = ["--data", path, "--split", _text(split), "--header", "yes",
                        "--column", "2" if stamps else "1"]
                if stamps:
                    data += ["--time-column", "1"]
                    stamps_index = index
                paths.append((path, "the series"))
            else:
                raise ValueError("give the values the forecast is checked against (validation=) "
                                 "or where the training part of y ends (split=)")
            output = os.path.join(folder, "output")
            arguments = data + ["--output", output, "--export-model", "--quiet"]
            if not self._params["runs"]:
                arguments += ["--history", os.path.join(folder, "history.csv")]
            result = _run(_core.run, arguments + _arguments(self._params), paths)
            files = _read_folder(output)
            if not self._params["runs"]:
                with open(os.path.join(folder, "history.csv"), "rb") as file:
                    files["history.csv"] = file.read()
        self.files_ = files
        self._stamps_index = stamps_index
        self._given = given
        self.notices_ = [f"{kind}: {_our_words(text, paths)}" for kind, text in result["notices"]]
        # What the runner warns of on its standard error, Python's way.
        for kind, text in result["notices"]:
            if kind == "warning":
                warnings.warn(_our_words(text, paths), UserWarning, stacklevel=2)
        self._take_results(result)
        return self

    def _take_results(self, result):
        files = self.files_

        def text(name):
            return files[name].decode()

        self.records_ = result["records"]
        self.summary_ = result["summary"]
        # Per run that completed: its folder (none for a single run) and its
        # member, whose keys give its best population and the steps forecast.
        completed = []
        for member in result["members"]:
            if member:
                keys, steps = _member(member)
                folder = f"run-{int(keys['stream'][0]):04d}/" if self._params["runs"] else ""
                completed.append((folder, keys, steps))
        if not completed:
            raise RuntimeError(_our_words(result["failure"] or "no run completed"))
        if result["failure"]:
            warnings.warn(_our_words(result["failure"]), RuntimeWarning, stacklevel=3)
        self._keys = completed[0][1]
        if self._params["runs"]:
            self.runs_ = _table(_csv(text("runs.csv")))
            histories = []
            for folder, keys, _ in completed:
                columns = _csv(text(folder + "history.csv"))
                stream = np.full(len(columns["generation"]), int(keys["stream"][0]))
                histories.append({"stream": stream, **columns})
            self.history_ = _table({name: np.concatenate([h[name] for h in histories])
                                    for name in histories[0]})
            best = [(folder, int(keys["population"][0])) for folder, keys, _ in completed]
            self.accuracy_ = _ensemble_figures(self.summary_)
            self._forecast = _csv(text("ensemble-forecast.txt"))
        else:
            population = int(self._keys["population"][0])
            self.runs_ = None
            self.history_ = _table(_csv(text("history.csv")))
            best = [("", k) for k in range(1, self._population_count() + 1)]
            self.accuracy_ = _record_figures(self.records_[0], population)
            steps = completed[0][2]
            self._forecast = {"index": np.array([step[0] for step in steps]),
                              "median": np.array([step[2] for step in steps])}
            intervals = f"intervals-{population}.txt"
            if intervals in files:
                bands = _csv(text(intervals))
                self._forecast.update({name: values for name, values in bands.items()
                                       if name.startswith(("lower_", "upper_"))})
        self.trees_ = [text(f"{folder}tree-{k}.txt") for folder, k in best]
        self.formulas_ = [text(f"{folder}model-{k}.txt").split("Nodes, in evaluation order:\n")[-1]
                          for folder, k in best]

    def _population_count(self):
        return sum(1 for name in self.files_ if re.fullmatch(r"tree-\d\.txt", name))

    def predict(self, h, levels=None):
        """The forecast `h` steps past the data and its bands, in the series'
        units: the ensemble's median with runs, else the best population's
        forecast. A DataFrame indexed by the next time stamps (with a time
        index in fit), else by the steps' positions after the values given to
        fit (y, then validation); a dict of arrays without
        pandas. `levels` picks among the levels of `intervals` (all by
        default). The forecast past the data is made in fit: set `forecast`
        to h or more."""
        if not hasattr(self, "files_"):
            raise ValueError("this Forecaster is not fitted yet: call fit first")
        past = int(self._keys["past-data-steps"][0])
        if not 1 <= h <= past:
            raise ValueError(f"h: the fit forecast {past} steps past the data; give h from 1 to "
                             f"{past}, or fit with forecast={h} or more")
        fitted = sorted({name.split("_", 1)[1] for name in self._forecast if "_" in name},
                        key=float)
        wanted = fitted if levels is None else [_text(level) for level in np.atleast_1d(levels)]
        missing = [level for level in wanted if level not in fitted]
        if missing:
            raise ValueError(f"levels: {missing[0]} is not among the levels fitted ("
                             + (", ".join(fitted) or "none: fit with intervals") + ")")
        low, high = (float(self._keys[key][0]) for key in ("scale-low", "scale-high"))
        rows = slice(len(self._forecast["index"]) - past, len(self._forecast["index"]) - past + h)
        columns = {}
        for name, source in [("forecast", "median")] + [
                (f"{side}_{level}", f"{side}_{level}") for level in wanted
                for side in ("lower", "upper")]:
            values = np.asarray(self._forecast[source][rows], dtype=float)
            # The member's forecast is scaled; the files are as units asked.
            from_member = source == "median" and not self._params["runs"]
            if from_member or self._params["units"] != "original":
                values = low + values * (high - low)
            columns[name] = values
        # Numbered on from the values given to fit (the runner numbers a
        # table's steps from its loaded points, the repeated ones counted twice).
        index = np.arange(self._given, self._given + h)
        if self._stamps_index is not None:
            stamps = _stamps_after(self._stamps_index, h)
            if stamps is not None:
                index = stamps
        return _table(columns, index)

    def export(self, folder):
        """Writes the files the runner writes for this fit into `folder`
        (created if missing): with model-K.txt, model-K.py and model-K.h of
        each best tree (--export-model)."""
        for name, content in self.files_.items():
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as file:
                file.write(content)
