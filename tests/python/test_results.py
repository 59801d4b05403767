"""A Forecaster's files are the runner's, byte for byte, however it is run."""
import threading

import numpy as np
import pandas as pd
import pytest

from conftest import EXAMPLES, comparable, folder_files, quarvel, run_runner

# A single run of two files, and an ensemble of four runs of a table with
# time stamps and bands: small, so that they take a moment.
LYNX = dict(terminals=12, population_size=300, generations=15, forecast=5)
AIRPASSENGERS = dict(terminals=13, population_size=300, generations=12, rank_by="mse",
                     forecast=12, intervals=(80, 95), runs=4, jobs=2)


def lynx_fit(**more):
    training = np.loadtxt(EXAMPLES / "lynx-training.txt")
    validation = np.loadtxt(EXAMPLES / "lynx-validation.txt")
    return quarvel.Forecaster(**LYNX, **more).fit(list(training), validation=validation)


def airpassengers_series():
    table = pd.read_csv(EXAMPLES / "airpassengers.csv")
    return pd.Series(table["passengers"].values, name="passengers",
                     index=pd.PeriodIndex(table["month"], freq="M", name="month"))


def airpassengers_fit(**more):
    return quarvel.Forecaster(**{**AIRPASSENGERS, **more}).fit(airpassengers_series(),
                                                               split="1958-12")


def test_single_run_makes_the_runners_files(runner, tmp_path):
    (tmp_path / "out").mkdir()
    status, errors = run_runner(runner, [
        "--training", EXAMPLES / "lynx-training.txt", "--validation",
        EXAMPLES / "lynx-validation.txt", "--terminals", 12, "--population-size", 300,
        "--generations", 15, "--forecast", 5, "--export-model", "--output", "out", "--history",
        "out/history.csv"], tmp_path)
    assert status == 0, errors
    model = lynx_fit()
    assert comparable(model.files_) == comparable(folder_files(tmp_path / "out"))
    assert model.trees_ == [(tmp_path / "out" / "tree-1.txt").read_text()]


def test_ensemble_makes_the_runners_files(runner, tmp_path):
    status, errors = run_runner(runner, [
        "--data", EXAMPLES / "airpassengers.csv", "--time-column", "month", "--split", "1958-12",
        "--terminals", 13, "--population-size", 300, "--generations", 12, "--rank-by", "mse",
        "--forecast", 12, "--intervals", "80,95", "--runs", 4, "--jobs", 2, "--export-model",
        "--output", "out"], tmp_path)
    assert status == 0, errors
    model = airpassengers_fit()
    expected = folder_files(tmp_path / "out")
    assert comparable(model.files_) == comparable(expected)
    # The runs differ, so that the ensemble is one of several models.
    assert len(set(model.runs_["best_mse"])) > 1
    ensemble = np.loadtxt(tmp_path / "out" / "ensemble-forecast.txt", delimiter=",", skiprows=1)
    low, high = airpassengers_series().min(), airpassengers_series().max()
    forecast = model.predict(12)
    np.testing.assert_array_equal(forecast["forecast"], low + ensemble[-12:, 1] * (high - low))
    np.testing.assert_array_equal(forecast["upper_95"], low + ensemble[-12:, 5] * (high - low))


def test_single_run_predicts_the_forecast_and_bands_of_its_files():
    model = airpassengers_fit(runs=None, jobs=None, units="original")
    forecast = model.predict(12, levels=80)
    bands = np.loadtxt(model.files_["intervals-1.txt"].decode().splitlines()[1:], delimiter=",")
    np.testing.assert_array_equal(forecast["forecast"], bands[-12:, 1])
    np.testing.assert_array_equal(forecast["lower_80"], bands[-12:, 2])
    assert list(forecast.columns) == ["forecast", "lower_80", "upper_80"]


@pytest.mark.parametrize("fit", [lynx_fit, airpassengers_fit], ids=["single run", "ensemble"])
def test_two_threads_give_what_one_gives(fit):
    alone = fit()
    together = [None, None]

    def fit_into(k):
        together[k] = fit()

    threads = [threading.Thread(target=fit_into, args=(k,)) for k in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for model in together:
        assert comparable(model.files_) == comparable(alone.files_)
