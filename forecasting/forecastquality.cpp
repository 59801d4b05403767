#include "forecasting/forecastquality.h"

#include <algorithm>

#include "engine/engine.h"
#include "forecasting/modelformula.h"

namespace quarvel::forecasting {

std::vector<ForecastQuality> populations_quality(const Engine& engine,
                                                 const runs::GenerationResults& results,
                                                 std::span<const std::vector<double>> past_data,
                                                 const std::optional<PathSettings>& intervals,
                                                 const RunIdentity& run,
                                                 std::optional<std::size_t> ensemble_population) {
  std::vector<ForecastQuality> quality;
  for (std::size_t p = 0; p < results.populations.size(); ++p) {
    std::optional<PathSettings> paths = intervals;
    if (paths && ensemble_population == p) paths->summary_points = kSummaryPointCount;
    const std::span<const double> ahead =
        p < past_data.size() ? std::span<const double>(past_data[p]) : std::span<const double>();
    quality.push_back(forecast_quality(engine, static_cast<std::int32_t>(p),
                                       results.populations[p].prediction, ahead, paths, run));
  }
  return quality;
}

ForecastQuality forecast_quality(const Engine& engine, std::int32_t population,
                                 std::span<const double> prediction,
                                 std::span<const double> past_data,
                                 const std::optional<PathSettings>& intervals,
                                 const RunIdentity& run) {
  const ScaledData data = scaled_data(engine.data);
  ForecastQuality quality;
  const std::size_t start = std::min(data.start(), prediction.size());
  quality.first_index = static_cast<std::int32_t>(start);
  quality.validation.assign(prediction.begin() + static_cast<std::ptrdiff_t>(start),
                            prediction.end());
  quality.past_data.assign(past_data.begin(), past_data.end());
  quality.accuracy = forecast_accuracy(data, quality.validation);
  quality.validation_divergence = first_divergence(quality.validation);
  quality.past_data_divergence = first_divergence(quality.past_data);
  if (!intervals) return quality;

  quality.with_intervals = true;
  const ModelFormula formula = describe_best_tree(engine, population);
  const Residuals residuals = training_residuals(formula, data);
  if (!residuals.reason.empty()) {
    quality.interval_reason = residuals.reason;
    return quality;
  }
  const auto seed = [&](PathPurpose purpose) {
    return path_seed(run.seed, run.stream, population, purpose);
  };
  quality.validation_bands =
      validation_bands(formula, data, residuals.values, seed(PathPurpose::validation), *intervals);
  if (!past_data.empty()) {
    quality.past_data_bands =
        bands_past_data(formula, data, static_cast<std::int32_t>(past_data.size()),
                        residuals.values, seed(PathPurpose::past_data), *intervals);
  }
  quality.interval_reason = quality.validation_bands.reason;
  quality.coverage = band_coverage(quality.validation_bands.bands, data.held_out());
  return quality;
}

BandTable band_table(const ForecastQuality& quality, std::span<const double> levels) {
  BandTable table;
  table.first_index = quality.first_index;
  table.point = quality.validation;
  table.point.insert(table.point.end(), quality.past_data.begin(), quality.past_data.end());
  table.levels.assign(levels.begin(), levels.end());
  if (!quality.validation_bands.bands.empty()) {
    table.bands = quality.validation_bands.bands;
    for (std::size_t l = 0; l < quality.past_data_bands.bands.size(); ++l) {
      const Band& past = quality.past_data_bands.bands[l];
      Band& band = table.bands[l];
      band.lower.insert(band.lower.end(), past.lower.begin(), past.lower.end());
      band.upper.insert(band.upper.end(), past.upper.begin(), past.upper.end());
    }
  }
  return table;
}

}  // namespace quarvel::forecasting
