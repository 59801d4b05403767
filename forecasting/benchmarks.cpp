#include "forecasting/benchmarks.h"

#include <algorithm>

#include "data/numbertext.h"
#include "forecasting/linearar.h"

namespace quarvel::forecasting {

std::string_view benchmark_name(Benchmark benchmark) {
  switch (benchmark) {
    case Benchmark::naive:
      return "naive";
    case Benchmark::seasonal_naive:
      return "seasonal naive";
    case Benchmark::drift:
      return "drift";
    case Benchmark::linear_ar:
      return "linear AR";
  }
  return "";
}

std::string_view benchmark_key(Benchmark benchmark) {
  switch (benchmark) {
    case Benchmark::naive:
      return "naive";
    case Benchmark::seasonal_naive:
      return "seasonal_naive";
    case Benchmark::drift:
      return "drift";
    case Benchmark::linear_ar:
      return "linear_ar";
  }
  return "";
}

std::vector<BenchmarkForecast> benchmark_forecasts(std::span<const double> known,
                                                   std::int32_t steps, std::int32_t season,
                                                   std::int32_t largest_lag) {
  const auto count = static_cast<std::size_t>(std::max(steps, 0));
  std::vector<BenchmarkForecast> forecasts;
  for (const Benchmark benchmark : kBenchmarks) {
    BenchmarkForecast forecast{benchmark, {}, {}};
    if (known.empty()) {
      forecast.reason = "no known values to forecast from";
      forecasts.push_back(std::move(forecast));
      continue;
    }
    const double last = known.back();
    switch (benchmark) {
      case Benchmark::naive:
        forecast.values.assign(count, last);
        break;
      case Benchmark::seasonal_naive:
        if (season < 2) {
          forecast.reason = "no season";
        } else if (known.size() < static_cast<std::size_t>(season)) {
          forecast.reason = "fewer known values than a season";
        } else {
          const std::span<const double> year = known.last(static_cast<std::size_t>(season));
          for (std::size_t j = 0; j < count; ++j) forecast.values.push_back(year[j % year.size()]);
        }
        break;
      case Benchmark::drift:
        if (known.size() < 2) {
          forecast.reason = "fewer than 2 known values";
        } else {
          const double slope = (last - known.front()) / static_cast<double>(known.size() - 1);
          for (std::size_t j = 0; j < count; ++j) {
            forecast.values.push_back(last + static_cast<double>(j + 1) * slope);
          }
        }
        break;
      case Benchmark::linear_ar:
        forecast.values = forecast_linear_ar(fit_linear_ar(known, largest_lag), known,
                                             static_cast<std::int32_t>(count));
        break;
    }
    forecasts.push_back(std::move(forecast));
  }
  return forecasts;
}

BenchmarkFigures benchmark_figures(const ScaledData& data, std::int32_t season,
                                   std::int32_t largest_lag, const Figure& model_mse) {
  BenchmarkFigures figures;
  const std::vector<double> known_scaled = contiguous_known(data);
  std::vector<double> known;
  known.reserve(known_scaled.size());
  for (const double v : known_scaled) known.push_back(data.in_units(v));
  const std::span<const double> held_out = data.held_out();
  const Figure scale = naive_training_mae(data);
  for (BenchmarkForecast& forecast : benchmark_forecasts(
           known, static_cast<std::int32_t>(held_out.size()), season, largest_lag)) {
    BenchmarkScore score{forecast.benchmark, {}};
    if (!forecast.reason.empty()) {
      for (Figure* figure : {&score.accuracy.scaled_mse, &score.accuracy.mae, &score.accuracy.rmse,
                             &score.accuracy.mape, &score.accuracy.mase}) {
        *figure = {std::nullopt, forecast.reason};
      }
    } else {
      std::vector<double> scaled;
      scaled.reserve(forecast.values.size());
      for (const double v : forecast.values) scaled.push_back(scaled_value(data.low, data.high, v));
      score.accuracy = forecast_accuracy(held_out, scaled, data.low, data.high, scale);
    }
    figures.scores.push_back(std::move(score));
  }
  double best = 0.0;
  for (const BenchmarkScore& score : figures.scores) {
    const std::optional<double>& mse = score.accuracy.scaled_mse.value;
    if (mse && (!figures.best || *mse < best)) {
      best = *mse;
      figures.best = score.benchmark;
    }
  }
  if (!model_mse.value) {
    figures.relative_mse.reason = model_mse.reason;
  } else if (!figures.best) {
    figures.relative_mse.reason = "no benchmark could be scored";
  } else if (best == 0.0) {
    figures.relative_mse.reason = "the best benchmark's MSE is 0";
  } else {
    figures.relative_mse.value = *model_mse.value / best;
  }
  return figures;
}

std::string relative_words(const BenchmarkFigures& figures) {
  if (!figures.relative_mse.value) {
    return "MSE against the benchmarks not given (" + figures.relative_mse.reason + ")";
  }
  return "MSE " + data::format_general(*figures.relative_mse.value) + " of the " +
         std::string(benchmark_name(*figures.best)) + "'s";
}

}  // namespace quarvel::forecasting
