#include "forecasting/errorbands.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/dataset.h"
#include "forecasting/accuracy.h"
#include "forecasting/formulastep.h"
#include "forecasting/quantiles.h"

namespace quarvel::forecasting {

namespace {

std::vector<std::size_t> error_origins(std::size_t first, std::size_t training) {
  std::vector<std::size_t> origins;
  if (first >= training) return origins;
  const std::size_t count = training - first;
  const std::size_t stride = (count + kMostErrorOrigins - 1) / kMostErrorOrigins;
  for (std::size_t o = training - 1;; o -= stride) {
    origins.push_back(o);
    if (o < first + stride) break;
  }
  std::reverse(origins.begin(), origins.end());
  return origins;
}

double level_in_units_limit(double level, const SeriesTransform& transform) {
  return transform.lambda ? inverse_box_cox_limit(level, *transform.lambda) : level;
}

}  // namespace

ModelErrors multi_step_errors(const ModelFormula& formula, std::span<const double> scaled_training,
                              std::span<const double> training, const RunScales& scales,
                              std::int32_t steps) {
  ModelErrors errors;
  const SeriesTransform& transform = scales.transform;
  const TransformedSeries levels = transform_levels(training, transform);
  if (!levels.problem.empty()) {
    errors.reason = "no intervals: " + levels.problem;
    return errors;
  }
  const auto lost = static_cast<std::size_t>(transform.lost());
  const std::size_t transformed = scaled_training.size();
  if (levels.values.size() != transformed + lost || steps < 1) {
    errors.reason = "no intervals: no steps to measure";
    return errors;
  }
  const auto [lowest, highest] = std::minmax_element(levels.values.begin(), levels.values.end());
  const double span = *highest - *lowest;
  const double level_floor = *lowest - span;
  const double level_ceiling = *highest + span;

  FormulaEvaluator evaluator(formula);
  const auto lags = static_cast<std::size_t>(std::max(evaluator.largest_lag(), 1));
  const std::vector<std::size_t> origins = error_origins(lags, transformed);
  const auto longest = static_cast<std::size_t>(steps);
  errors.by_step.resize(longest);
  // The levels undone need only the last season and one more.
  const std::size_t tail = transform.season > 0 ? lost + 1 : std::max<std::size_t>(lost, 1);
  std::vector<double> path;
  std::vector<double> differences;
  for (const std::size_t origin : origins) {
    const std::size_t count = std::min(longest, transformed - origin);
    path.assign(scaled_training.begin() + static_cast<std::ptrdiff_t>(origin - lags),
                scaled_training.begin() + static_cast<std::ptrdiff_t>(origin));
    differences.clear();
    std::size_t valid = count;
    for (std::size_t j = 0; j < count; ++j) {
      const double value = evaluator.predict(path, static_cast<std::int64_t>(path.size()));
      path.push_back(value);
      if (!std::isfinite(value) || value < -1.0 || value > 2.0) {
        valid = j;
        break;
      }
      differences.push_back(quarvel::original_units(scales.low, scales.high, value));
    }
    const std::size_t known = origin + lost;
    const std::span<const double> known_levels =
        std::span<const double>(levels.values)
            .subspan(known - std::min(tail, known), std::min(tail, known));
    const std::vector<double> forecast = forecast_levels(known_levels, differences, transform);
    for (std::size_t j = 0; j < valid; ++j) {
      if (!(forecast[j] >= level_floor && forecast[j] <= level_ceiling)) break;
      errors.by_step[j].push_back(levels.values[known + j] - forecast[j]);
    }
  }
  const std::size_t first = errors.by_step.front().size();
  if (first < 2) {
    errors.by_step.clear();
    errors.reason =
        "no intervals: the training part leaves fewer than 2 origins to measure the "
        "model's errors from";
    return errors;
  }
  const std::size_t needed = std::min(kErrorsPerStep, first);
  std::size_t measured = 0;
  while (measured < longest && errors.by_step[measured].size() >= needed) ++measured;
  errors.by_step.resize(measured);
  errors.measured_steps = static_cast<std::int32_t>(measured);
  for (std::vector<double>& step : errors.by_step) std::sort(step.begin(), step.end());
  return errors;
}

PathBands error_bands(const ModelErrors& errors, std::span<const double> forecast_levels,
                      const RunScales& scales, const PathSettings& settings) {
  PathBands result;
  if (errors.measured_steps < 1) {
    result.reason = errors.reason.empty() ? "no intervals: no errors measured" : errors.reason;
    return result;
  }
  if (!std::all_of(settings.levels.begin(), settings.levels.end(), valid_band_level)) {
    result.reason = "no intervals: a band's level must lie between 0 and 100 percent";
    return result;
  }
  const std::size_t steps = forecast_levels.size();
  const auto summary_points = static_cast<std::size_t>(std::max(settings.summary_points, 0));
  std::vector<double> probabilities;
  for (const double level : settings.levels) {
    const BandProbabilities p = band_probabilities(level);
    probabilities.push_back(p.lower);
    probabilities.push_back(p.upper);
  }
  for (std::size_t i = 0; i < summary_points; ++i) {
    probabilities.push_back((static_cast<double>(i) + 0.5) / static_cast<double>(summary_points));
  }
  for (const double level : settings.levels) {
    result.bands.push_back({level, std::vector<double>(steps), std::vector<double>(steps)});
  }
  result.summary.points_per_step = static_cast<std::int32_t>(summary_points);
  result.summary.points.reserve(summary_points * steps);

  const auto measured = static_cast<std::size_t>(errors.measured_steps);
  std::vector<double> values;
  std::vector<double> edges(probabilities.size());
  for (std::size_t j = 0; j < steps; ++j) {
    const std::size_t source = std::min(j, measured - 1);
    const double growth =
        j < measured ? 1.0 : std::sqrt(static_cast<double>(j + 1) / static_cast<double>(measured));
    const double centre = forecast_levels[j];
    const std::vector<double>& step_errors = errors.by_step[source];
    values.resize(step_errors.size());
    for (std::size_t i = 0; i < step_errors.size(); ++i) {
      values[i] = centre + step_errors[i] * growth;
    }
    const double point = scaled_value(scales.series_low, scales.series_high,
                                      level_in_units_limit(centre, scales.transform));
    const double floor = std::isnan(point) ? -1.0 : std::min(-1.0, point);
    const double ceiling = std::isnan(point) ? 2.0 : std::max(2.0, point);
    for (std::size_t q = 0; q < probabilities.size(); ++q) {
      const double level = sorted_quantile(values, probabilities[q]);
      const double edge = scaled_value(scales.series_low, scales.series_high,
                                       level_in_units_limit(level, scales.transform));
      edges[q] = std::isnan(edge) ? edge : std::clamp(edge, floor, ceiling);
    }
    for (std::size_t l = 0; l < result.bands.size(); ++l) {
      result.bands[l].lower[j] = edges[2 * l];
      result.bands[l].upper[j] = edges[2 * l + 1];
    }
    result.summary.points.insert(
        result.summary.points.end(),
        edges.begin() + 2 * static_cast<std::ptrdiff_t>(result.bands.size()), edges.end());
  }
  return result;
}

}  // namespace quarvel::forecasting
