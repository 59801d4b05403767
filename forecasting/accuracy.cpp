#include "forecasting/accuracy.h"

#include <algorithm>
#include <cmath>

#include "engine/dataset.h"

namespace quarvel::forecasting {

ScaledData scaled_data(const DataSet& data) {
  return {std::span<const double>(data.values).first(static_cast<std::size_t>(data.point_count)),
          data.training_count, forecast_start(data), data.scale_low, data.scale_high};
}

std::vector<double> contiguous_known(const ScaledData& data) {
  const std::span<const double> known = data.known();
  const auto training = std::min<std::size_t>(
      static_cast<std::size_t>(std::max(data.training_count, 0)), known.size());
  const std::size_t overlap = known.size() - training;
  const bool repeats =
      overlap <= training &&
      std::equal(known.begin() + static_cast<std::ptrdiff_t>(training), known.end(),
                 known.begin() + static_cast<std::ptrdiff_t>(training - overlap));
  const std::span<const double> series = repeats ? known.first(training) : known;
  return {series.begin(), series.end()};
}

namespace {

Figure absent(std::string reason) {
  return {std::nullopt, std::move(reason)};
}

Accuracy all_absent(const std::string& reason) {
  Accuracy accuracy;
  for (Figure* figure :
       {&accuracy.scaled_mse, &accuracy.mae, &accuracy.rmse, &accuracy.mape, &accuracy.mase}) {
    *figure = absent(reason);
  }
  return accuracy;
}

}  // namespace

Figure naive_training_mae(const ScaledData& data) {
  const auto count =
      std::min<std::size_t>(static_cast<std::size_t>(data.training_count), data.values.size());
  if (count < 2) return absent("fewer than 2 training values to scale by");
  double sum = 0.0;
  for (std::size_t t = 1; t < count; ++t) {
    sum += std::abs(data.in_units(data.values[t]) - data.in_units(data.values[t - 1]));
  }
  const double scale = sum / static_cast<double>(count - 1);
  if (scale == 0.0) return absent("the training values never change from one step to the next");
  return {scale, {}};
}

Accuracy forecast_accuracy(const ScaledData& data, std::span<const double> forecast) {
  if (data.held_out().empty()) {
    return all_absent("no forecast points: the validation part ends before the forecast starts");
  }
  return forecast_accuracy(data.held_out(), forecast, data.low, data.high,
                           naive_training_mae(data));
}

Accuracy forecast_accuracy(std::span<const double> actual, std::span<const double> forecast,
                           double low, double high, const Figure& mase_scale) {
  if (actual.empty()) return all_absent("no forecast points");
  if (forecast.size() != actual.size()) {
    return all_absent("the forecast has " + std::to_string(forecast.size()) + " values for " +
                      std::to_string(actual.size()) + " forecast points");
  }
  const auto in_units = [low, high](double scaled) { return original_units(low, high, scaled); };
  Accuracy accuracy;
  const auto n = static_cast<double>(actual.size());
  accuracy.points = static_cast<std::int32_t>(actual.size());
  double squared_scaled = 0.0;
  double absolute = 0.0;
  double squared = 0.0;
  double relative = 0.0;
  bool zero_held_out = false;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    // In the engine's order: prediction minus value, squared, summed.
    const double d = forecast[i] - actual[i];
    squared_scaled += d * d;
    const double value = in_units(actual[i]);
    const double error = in_units(forecast[i]) - value;
    absolute += std::abs(error);
    squared += error * error;
    if (value == 0.0) {
      zero_held_out = true;
    } else {
      relative += std::abs(error / value);
    }
  }
  accuracy.scaled_mse = {squared_scaled / n, {}};
  const double mae = absolute / n;
  accuracy.mae = {mae, {}};
  accuracy.rmse = {std::sqrt(squared / n), {}};
  accuracy.mape = zero_held_out ? absent("a held-out value is 0: its percentage error is undefined")
                                : Figure{100.0 * (relative / n), {}};
  accuracy.mase =
      mase_scale.value ? Figure{mae / *mase_scale.value, {}} : absent(mase_scale.reason);
  return accuracy;
}

std::optional<std::int32_t> first_divergence(std::span<const double> forecast) {
  for (std::size_t i = 0; i < forecast.size(); ++i) {
    const double v = forecast[i];
    // Written so that NaN, failing every comparison, counts as outside.
    if (!(v >= -1.0 && v <= 2.0)) return static_cast<std::int32_t>(i + 1);
  }
  return std::nullopt;
}

}  // namespace quarvel::forecasting
