// The series a run learns from: training values followed by validation values,
// scaled together to [0, 1] at Start.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace quarvel {

inline constexpr std::int32_t kDataSetCapacity = 40000;

struct DataSet {
  std::vector<double> values = std::vector<double>(kDataSetCapacity, 0.0);
  std::int32_t point_count = 0;
  std::int32_t training_count = 0;
  std::int32_t overlap = 119;
  double value_limit = 100.0;
  // The minimum and maximum the values were scaled by: a scaled value v is
  // scale_low + v * (scale_high - scale_low) in the series' own units.
  double scale_low = 0.0;
  double scale_high = 1.0;
};

enum class DataSetStatus {
  ok,
  too_many_values,  // training and validation together would exceed the capacity
  constant_series,  // all values equal: there is no range to scale by
  non_finite,       // a value, or max - min, is not a finite number: scaling would make NaNs
};

// Installs the training values, keeping any stored validation values behind them.
[[nodiscard]] DataSetStatus set_training_series(DataSet& data, std::span<const double> training);

// Places the validation values behind the training values.
[[nodiscard]] DataSetStatus set_validation_series(DataSet& data,
                                                  std::span<const double> validation);

// Scales all stored values together to [0, 1]. Refuses, changing nothing, when
// the values do not have a finite, non-zero range.
[[nodiscard]] DataSetStatus normalise_series(DataSet& data);

// A scaled value in the units of a series scaled by its minimum `low` and
// maximum `high`.
[[nodiscard]] inline double original_units(double low, double high, double scaled) noexcept {
  return low + scaled * (high - low);
}

// A scaled value in the series' own units.
[[nodiscard]] inline double original_units(const DataSet& data, double scaled) noexcept {
  return original_units(data.scale_low, data.scale_high, scaled);
}

// The stored value `lag` steps before time t, or 0.0 outside the stored range.
[[nodiscard]] inline double series_value(const DataSet& data, std::int32_t t,
                                         std::int32_t lag) noexcept {
  const std::int64_t i = static_cast<std::int64_t>(t) - lag;
  if (i < 0 || i >= data.point_count) return 0.0;
  return data.values[static_cast<std::size_t>(i)];
}

// The first time the forecast predicts: training count + overlap, held to the
// stored range so that an overlap past the data leaves nothing to forecast
// (and no sum of the two can overflow).
[[nodiscard]] inline std::int32_t forecast_start(const DataSet& data) noexcept {
  const std::int64_t start = std::int64_t{data.training_count} + data.overlap;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, 0, data.point_count));
}

}  // namespace quarvel
