// How good a forecast is, in the series' own units beside the scaled mean
// squared error, and whether it ran away from the data.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarvel {
struct DataSet;
}

namespace quarvel::forecasting {

// The loaded points as the run sees them: scaled to [0, 1] by `low` and
// `high`, the first `training_count` the training part, the validation
// forecast predicting from `forecast_start` on.
struct ScaledData {
  std::span<const double> values;
  std::int32_t training_count = 0;
  std::int32_t forecast_start = 0;
  double low = 0.0;
  double high = 1.0;

  // The forecast start held to the points there are.
  [[nodiscard]] std::size_t start() const noexcept {
    return std::min(static_cast<std::size_t>(std::max(forecast_start, 0)), values.size());
  }
  // The points the validation forecast predicts.
  [[nodiscard]] std::int32_t forecast_points() const noexcept {
    return static_cast<std::int32_t>(values.size() - start());
  }
  [[nodiscard]] std::span<const double> known() const noexcept { return values.first(start()); }
  [[nodiscard]] std::span<const double> held_out() const noexcept {
    return values.subspan(start());
  }
  [[nodiscard]] double in_units(double scaled) const noexcept {
    return low + scaled * (high - low);
  }
};

// The loaded points of `data` (which must outlive the view).
[[nodiscard]] ScaledData scaled_data(const DataSet& data);

// A value in the series' units scaled as the run scaled its data by `low`
// and `high`, as the engine scales one.
[[nodiscard]] inline double scaled_value(double low, double high, double value) noexcept {
  return (value - low) / (high - low);
}

// The known values before the forecast start as one series, in time order
// (scaled): the training part, and the validation values before the forecast
// start unless they only repeat the training part's last values, as the
// overlap of two files does.
[[nodiscard]] std::vector<double> contiguous_known(const ScaledData& data);

// A figure, or why it cannot be given.
struct Figure {
  std::optional<double> value;
  std::string reason;  // when there is no value

  friend bool operator==(const Figure&, const Figure&) = default;
};

struct Accuracy {
  std::int32_t points = 0;  // forecast points compared
  Figure scaled_mse;        // mean squared error of the scaled values
  // In the series' units:
  Figure mae;
  Figure rmse;
  Figure mape;  // mean absolute percentage error, in percent
  Figure mase;  // MAE over the in-sample MAE of the one-step naive forecast
};

// The accuracy of `forecast`, the values predicted for the points from the
// forecast start on (the first of them first). The scaled MSE sums as the
// engine's validation MSE does and is the same double. With no forecast
// points, or a forecast of another length, every figure is absent.
[[nodiscard]] Accuracy forecast_accuracy(const ScaledData& data, std::span<const double> forecast);

// The in-sample MAE of the one-step naive forecast over the training part (each
// training value predicted by the one before it), in the series' units: what
// MASE divides by.
[[nodiscard]] Figure naive_training_mae(const ScaledData& data);

// The same figures from the held-out values `actual` alone (scaled, one per
// forecast value), the scaling `low` and `high`, and MASE's scale: for forecasts made
// away from the data, such as an ensemble merged from run folders.
[[nodiscard]] Accuracy forecast_accuracy(std::span<const double> actual,
                                         std::span<const double> forecast, double low, double high,
                                         const Figure& mase_scale);

// The first step (1 for the first forecast value) whose scaled value is not a
// number or leaves [-1, 2], i.e. [lo - span, hi + span] in the series' units
// (span = hi - lo); nullopt when the forecast stays inside. The same for the
// validation forecast and for one past the data.
[[nodiscard]] std::optional<std::int32_t> first_divergence(std::span<const double> forecast);

}  // namespace quarvel::forecasting
