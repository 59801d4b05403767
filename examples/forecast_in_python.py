"""The monthly airline passengers of 1949-1960 (airpassengers.csv beside this
script) modelled by 20 runs from Python, and their ensemble's forecast of
1961-1962 with its 80 % and 95 % bands drawn to a PNG.

    PYTHONPATH=build/python python3 examples/forecast_in_python.py [PICTURE.png]

(without PYTHONPATH where the package is installed; the picture goes to
forecast_in_python.png in the current folder unless named).
"""
import pathlib
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import pandas as pd  # noqa: E402

import quarvel  # noqa: E402

table = pd.read_csv(pathlib.Path(__file__).resolve().parent / "airpassengers.csv")
series = pd.Series(table["passengers"].to_numpy(dtype=float), name="passengers",
                   index=pd.PeriodIndex(table["month"], freq="M", name="month"))

# Trained on 1949-1958 and checked on 1959-1960; the transforms chosen from the
# training part (the log and the seasonal difference here).
model = quarvel.Forecaster(terminals=25, rank_by="mse", transform="auto", forecast=24, runs=20,
                           intervals=(80, 95), seed=1)
model.fit(series, split="1958-12")
forecast = model.predict(24)
print("validation part:", ", ".join(f"{name} {value:g}" for name, value in model.accuracy_.items()
                                     if isinstance(value, float)))
print(forecast.round(1).head(12))

figure, axes = plt.subplots(figsize=(9, 4.5), dpi=100)
months = series.index.to_timestamp()
ahead = forecast.index.to_timestamp()
axes.plot(months, series.values, color="black", linewidth=1, label="passengers (thousands)")
axes.fill_between(ahead, forecast["lower_95"], forecast["upper_95"], color="tab:blue", alpha=0.2,
                  linewidth=0, label="95 % band")
axes.fill_between(ahead, forecast["lower_80"], forecast["upper_80"], color="tab:blue", alpha=0.35,
                  linewidth=0, label="80 % band")
axes.plot(ahead, forecast["forecast"], color="tab:blue", linewidth=1.5,
          label="median of 20 runs")
axes.axvline(pd.Timestamp("1959-01-01"), color="grey", linestyle=":", linewidth=1)
axes.set_title("Airline passengers: 20 runs from Python, their forecast of 1961-1962")
axes.legend(loc="upper left", frameon=False)
axes.grid(alpha=0.3)
figure.tight_layout()
picture = sys.argv[1] if len(sys.argv) > 1 else "forecast_in_python.png"
figure.savefig(picture)
print("wrote", picture)
