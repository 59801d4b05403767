#include "engine/dataset.h"

#include <algorithm>
#include <cmath>

namespace quarvel {

DataSetStatus set_training_series(DataSet& data, std::span<const double> training) {
  const auto validation_count = static_cast<std::size_t>(data.point_count - data.training_count);
  if (training.size() + validation_count > static_cast<std::size_t>(kDataSetCapacity)) {
    return DataSetStatus::too_many_values;
  }
  std::vector<double> sequence(training.begin(), training.end());
  sequence.insert(sequence.end(), data.values.begin() + data.training_count,
                  data.values.begin() + data.point_count);
  std::copy(sequence.begin(), sequence.end(), data.values.begin());
  const auto n = static_cast<std::int32_t>(training.size());
  data.point_count = data.point_count - data.training_count + n;
  data.training_count = n;
  return DataSetStatus::ok;
}

DataSetStatus set_validation_series(DataSet& data, std::span<const double> validation) {
  if (static_cast<std::size_t>(data.training_count) + validation.size() >
      static_cast<std::size_t>(kDataSetCapacity)) {
    return DataSetStatus::too_many_values;
  }
  std::copy(validation.begin(), validation.end(), data.values.begin() + data.training_count);
  data.point_count = data.training_count + static_cast<std::int32_t>(validation.size());
  return DataSetStatus::ok;
}

DataSetStatus normalise_series(DataSet& data) {
  if (data.point_count == 0) return DataSetStatus::ok;
  const auto stored = std::span(data.values).first(static_cast<std::size_t>(data.point_count));
  double min = stored[0];
  double max = stored[0];
  bool finite = true;
  for (const double x : stored) {
    finite = finite && std::isfinite(x);
    if (x > max) max = x;
    if (x < min) min = x;
  }
  const double range = max - min;
  if (!finite || !std::isfinite(range)) return DataSetStatus::non_finite;
  if (range == 0.0) return DataSetStatus::constant_series;
  for (double& x : stored) x = (x - min) / range;
  data.scale_low = min;
  data.scale_high = max;
  return DataSetStatus::ok;
}

}  // namespace quarvel
