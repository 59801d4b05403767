#include "frontend/accuracy.h"

#include <cmath>

#include "engine/dataset.h"

namespace quarvel::frontend {

ScaledData scaled_data(const DataSet& data) {
  return {std::span<const double>(data.values).first(static_cast<std::size_t>(data.point_count)),
          data.training_count, forecast_start(data), data.scale_low, data.scale_high};
}

namespace {

Figure absent(std::string reason) {
  return {std::nullopt, std::move(reason)};
}

// The in-sample MAE of the naive forecast (each training value predicted by
// the one before it), in the series' units: what MASE divides by.
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

}  // namespace

Accuracy forecast_accuracy(const ScaledData& data, std::span<const double> forecast) {
  Accuracy accuracy;
  const std::span<const double> actual = data.held_out();
  std::string reason;
  if (actual.empty()) {
    reason = "no forecast points: the validation part ends before the forecast starts";
  } else if (forecast.size() != actual.size()) {
    reason = "the forecast has " + std::to_string(forecast.size()) + " values for " +
             std::to_string(actual.size()) + " forecast points";
  }
  if (!reason.empty()) {
    for (Figure* figure :
         {&accuracy.scaled_mse, &accuracy.mae, &accuracy.rmse, &accuracy.mape, &accuracy.mase}) {
      *figure = absent(reason);
    }
    return accuracy;
  }

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
    const double value = data.in_units(actual[i]);
    const double error = data.in_units(forecast[i]) - value;
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
  const Figure scale = naive_training_mae(data);
  accuracy.mase = scale.value ? Figure{mae / *scale.value, {}} : absent(scale.reason);
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

}  // namespace quarvel::frontend
