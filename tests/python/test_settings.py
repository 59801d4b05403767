"""Settings and data a Forecaster refuses, in the runner's words."""
import re

import numpy as np
import pytest

from conftest import quarvel, run_runner


def in_parameter_names(message):
    """The runner's message with its options named as a Forecaster's keywords."""
    return re.sub(r"--([a-z][a-z-]*)", lambda match: match.group(1).replace("-", "_"), message)


def runner_error(runner, arguments, cwd):
    status, errors = run_runner(runner, arguments, cwd)
    assert status != 0
    return errors.strip().splitlines()[-1].removeprefix("error: ")


@pytest.mark.parametrize("params, options", [
    (dict(terminals=0), ["--terminals", "0"]),
    (dict(population_size="many"), ["--population-size", "many"]),
    (dict(rank_by="aic"), ["--rank-by", "aic"]),
    (dict(weight=0), ["--weight", "0"]),
    (dict(populations=5), ["--populations", "5"]),
    (dict(forecast=-1), ["--forecast", "-1"]),
    (dict(boxcox=3), ["--boxcox", "3"]),
    (dict(terminals=(5, 6)), ["--terminals", "5,6"]),
    (dict(populations=2, elite=(10, 2000)), ["--populations", "2", "--elite", "10,2000"]),
    (dict(crossover_function=0.9), ["--crossover-function", "0.9"]),
    (dict(population_size=500, selection="overselect"),
     ["--population-size", "500", "--selection", "overselect"]),
    (dict(intervals=(80, 120)), ["--intervals", "80,120"]),
    (dict(intervals=True, band_method="bootstrap"), ["--intervals", "--band-method", "bootstrap"]),
    (dict(paths=500), ["--paths", "500"]),
    (dict(runs=0), ["--runs", "0"]),
    (dict(jobs=2), ["--jobs", "2"]),
])
def test_settings_are_refused_as_the_runner_refuses_them(runner, tmp_path, params, options):
    expected = runner_error(
        runner, ["--training", "t.txt", "--validation", "v.txt", "--output", "out", *options],
        tmp_path)
    with pytest.raises(ValueError) as refused:
        quarvel.Forecaster(**params)
    assert str(refused.value) == in_parameter_names(expected)


def test_a_refused_setting_leaves_the_others():
    model = quarvel.Forecaster(terminals=12, rank_by="mse")
    with pytest.raises(ValueError, match="^terminals: "):
        model.set_params(terminals=0)
    assert model.get_params()["terminals"] == 12
    assert quarvel.Forecaster(**model.get_params()).get_params() == model.get_params()


def test_an_unknown_name_lists_the_settings():
    with pytest.raises(ValueError) as refused:
        quarvel.Forecaster(terminal=12)
    for name in ("'terminal'", "terminals", "population_size", "seasonal_difference", "runs",
                 "intervals", "transform"):
        assert name in str(refused.value)


def test_transform_auto_asks_for_every_transform():
    with pytest.raises(ValueError, match="transform"):
        quarvel.Forecaster(transform="sometimes")
    model = quarvel.Forecaster(transform="auto", difference="off", terminals=2, generations=2,
                               population_size=50)
    series = 100 + 10 * np.sin(np.arange(60) / 2) + np.arange(60)
    record = model.fit(series, split=48).records_[0]
    assert "--boxcox auto\n--seasonal-difference auto\n--difference off\n" in record


@pytest.mark.parametrize("values, validation, split, lines", [
    ([5.0] * 30, [5.0] * 10, None, None),                     # constant
    ([1.0, 2.0, np.nan, 4.0, 5.0, 6.0], [5.0, 6.0, 7.0], None, None),  # NaN in a part
    ([1.0, 2.0, np.nan, 4.0, 5.0, 6.0], None, 4, ["value", "1.0", "2.0", "nan", "4.0", "5.0", "6.0"]),
    ([1.0, 2.0, 3.0], None, 3, ["value", "1.0", "2.0", "3.0"]),   # too few to validate
])
def test_data_are_refused_in_the_runners_words(runner, tmp_path, values, validation, split,
                                               lines):
    if lines is None:
        (tmp_path / "t.txt").write_text("".join(f"{v}\n" for v in values))
        (tmp_path / "v.txt").write_text("".join(f"{v}\n" for v in validation))
        data = ["--training", "t.txt", "--validation", "v.txt"]
    else:
        (tmp_path / "s.csv").write_text("\n".join(lines) + "\n")
        data = ["--data", "s.csv", "--split", split]
    expected = runner_error(runner, [*data, "--terminals", 2], tmp_path)
    model = quarvel.Forecaster(terminals=2)
    with pytest.raises(ValueError) as refused:
        model.fit(values, validation=validation, split=split)
    # The runner names its files; a Forecaster names the values.
    assert str(refused.value).endswith(in_parameter_names(expected.split('": ', 1)[1]))
    assert "/tmp/" not in str(refused.value)
