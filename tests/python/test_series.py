"""What a Forecaster takes a series as, and the stamps it labels its forecast with."""
import numpy as np
import pandas as pd
import pytest

from conftest import EXAMPLES, quarvel

SMALL = dict(terminals=13, population_size=100, generations=3, forecast=6)


def passengers():
    return pd.read_csv(EXAMPLES / "airpassengers.csv")["passengers"].to_numpy(dtype=float)


@pytest.mark.parametrize("index, following", [
    (pd.period_range("1949-01", periods=144, freq="M"),
     pd.period_range("1961-01", periods=6, freq="M")),
    (pd.date_range("1949-01-01", periods=144, freq="MS"),
     pd.date_range("1961-01-01", periods=6, freq="MS")),
    (pd.date_range("1949-01-31", periods=144, freq="M"),
     pd.date_range("1961-01-31", periods=6, freq="M")),
], ids=["periods", "month starts", "month ends"])
def test_monthly_stamps_label_the_forecast_with_the_next_months(index, following):
    model = quarvel.Forecaster(**SMALL).fit(pd.Series(passengers(), index=index),
                                            split="1958-12")
    forecast = model.predict(6)
    pd.testing.assert_index_equal(forecast.index, following)
    # The runner reads the stamps as months: its season is a year's.
    assert any("monthly" in notice for notice in model.notices_)
    assert "--season 12" in model.records_[0] or "--season auto" in model.records_[0]


@pytest.mark.parametrize("series", [
    list(passengers()), passengers(), pd.Series(passengers())],
    ids=["list", "array", "series without stamps"])
def test_values_alone_give_the_same_model_and_step_indices(series):
    alone = quarvel.Forecaster(**SMALL).fit(passengers(), split=120)
    model = quarvel.Forecaster(**SMALL).fit(series, split=120)
    assert model.trees_ == alone.trees_
    forecast = model.predict(3)
    assert list(forecast.index) == [144, 145, 146]
    np.testing.assert_array_equal(forecast["forecast"], alone.predict(3)["forecast"])


def test_predict_asks_for_what_fit_made():
    model = quarvel.Forecaster(**SMALL)
    with pytest.raises(ValueError, match="not fitted"):
        model.predict(3)
    model.fit(passengers(), split=120)
    with pytest.raises(ValueError, match="forecast=7"):
        model.predict(7)
    with pytest.raises(ValueError, match="intervals"):
        model.predict(3, levels=80)


def test_export_writes_the_runners_model_files(tmp_path):
    model = quarvel.Forecaster(**SMALL).fit(passengers(), split=120)
    model.export(tmp_path / "model")
    for name in ("model-1.txt", "model-1.py", "model-1.h", "tree-1.txt", "forecast-1.txt"):
        assert (tmp_path / "model" / name).read_bytes() == model.files_[name]


def test_without_pandas_results_are_dicts_of_arrays(monkeypatch):
    with_pandas = quarvel.Forecaster(**SMALL).fit(passengers(), split=120)
    monkeypatch.setattr(quarvel, "pd", None)
    model = quarvel.Forecaster(**SMALL, intervals=True).fit(passengers(), split=120)
    forecast = model.predict(4, levels=95)
    assert sorted(forecast) == ["forecast", "index", "lower_95", "upper_95"]
    np.testing.assert_array_equal(forecast["index"], [144, 145, 146, 147])
    np.testing.assert_array_equal(forecast["forecast"], with_pandas.predict(4)["forecast"])
    assert isinstance(model.history_["mse"], np.ndarray)


def test_the_runners_warnings_are_python_warnings():
    # A split that leaves fewer repeated values than the largest lag.
    with pytest.warns(UserWarning, match="fewer than the largest terminals"):
        model = quarvel.Forecaster(terminals=30, generations=2, population_size=50)
        model.fit(passengers(), split=20)
    assert any(notice.startswith("warning: the series: ") for notice in model.notices_)


def test_names_of_the_series_and_its_index_name_the_columns_whatever_they_hold():
    index = pd.period_range("1949-01", periods=144, freq="M", name='month "m"')
    model = quarvel.Forecaster(**SMALL).fit(pd.Series(passengers(), index=index,
                                                      name="passengers, thousands"),
                                            split="1958-12")
    assert 'data-column 2 passengers, thousands\n' in model.records_[0]
    assert 'data-time-column 1 month "m"\n' in model.records_[0]
