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
                                                 std::optional<std::size_t> ensemble_population,
                                                 const ForecastContext& context) {
  std::vector<ForecastQuality> quality;
  for (std::size_t p = 0; p < results.populations.size(); ++p) {
    std::optional<PathSettings> paths = intervals;
    if (paths && ensemble_population == p) paths->summary_points = kSummaryPointCount;
    const std::span<const double> ahead =
        p < past_data.size() ? std::span<const double>(past_data[p]) : std::span<const double>();
    quality.push_back(forecast_quality(engine, static_cast<std::int32_t>(p),
                                       results.populations[p].prediction, ahead, paths, run,
                                       context));
  }
  return quality;
}

namespace {

// The forecasts of the engine's data as the series' own: the engine's when
// there is no transform, else brought back through it, as levels too.
struct SeriesForecasts {
  std::vector<double> validation;
  std::vector<double> past_data;
  std::vector<double>
      validation_levels;  // of the transform; the values in the series' units without one
  std::vector<double> past_data_levels;
  std::string problem;
};

SeriesForecasts series_forecasts(const ScaledData& engine_data, std::span<const double> prediction,
                                 std::span<const double> past_data,
                                 const TransformedRun* transformed) {
  SeriesForecasts forecasts;
  const std::size_t start = std::min(engine_data.start(), prediction.size());
  const std::span<const double> validation = prediction.subspan(start);
  if (transformed == nullptr) {
    forecasts.validation.assign(validation.begin(), validation.end());
    forecasts.past_data.assign(past_data.begin(), past_data.end());
    for (const double v : validation)
      forecasts.validation_levels.push_back(engine_data.in_units(v));
    for (const double v : past_data) forecasts.past_data_levels.push_back(engine_data.in_units(v));
    return forecasts;
  }
  forecasts.validation_levels =
      transformed->levels_after(transformed->known, validation, engine_data.low, engine_data.high);
  forecasts.past_data_levels = transformed->levels_after(transformed->series.size(), past_data,
                                                         engine_data.low, engine_data.high);
  ForecastInUnits over_validation = transformed->scaled_from_levels(forecasts.validation_levels);
  ForecastInUnits past = transformed->scaled_from_levels(forecasts.past_data_levels);
  forecasts.validation = std::move(over_validation.values);
  forecasts.past_data = std::move(past.values);
  if (over_validation.failed_step) {
    forecasts.problem = "the validation forecast: " + over_validation.problem;
  } else if (past.failed_step) {
    forecasts.problem = "the forecast past the data: " + past.problem;
  }
  return forecasts;
}

// The bands from the model's own multi-step errors over the training part.
void error_method_bands(const Engine& engine, std::int32_t population,
                        const ScaledData& engine_data, const SeriesForecasts& forecasts,
                        const PathSettings& settings, const TransformedRun* transformed,
                        ForecastQuality& quality) {
  const ModelFormula formula = describe_best_tree(engine, population);
  const auto training = static_cast<std::size_t>(std::max(engine_data.training_count, 0));
  const std::span<const double> scaled_training = engine_data.values.first(training);
  std::vector<double> training_units;
  RunScales scales{{}, engine_data.low, engine_data.high, engine_data.low, engine_data.high};
  if (transformed != nullptr) {
    const auto count = static_cast<std::size_t>(transformed->training_count);
    training_units.assign(transformed->series.begin(),
                          transformed->series.begin() + static_cast<std::ptrdiff_t>(count));
    scales = transformed->scales(engine_data.low, engine_data.high);
  } else {
    for (const double v : scaled_training) training_units.push_back(engine_data.in_units(v));
  }
  const auto steps = static_cast<std::int32_t>(
      std::max(forecasts.validation_levels.size(), forecasts.past_data_levels.size()));
  const ModelErrors errors =
      multi_step_errors(formula, scaled_training, training_units, scales, std::max(steps, 1));
  quality.validation_bands = error_bands(errors, forecasts.validation_levels, scales, settings);
  if (!forecasts.past_data_levels.empty()) {
    quality.past_data_bands = error_bands(errors, forecasts.past_data_levels, scales, settings);
  }
}

// The bands of paths simulated through the model, each drawing the model's
// one-step residuals over the training part.
void path_method_bands(const Engine& engine, std::int32_t population, const ScaledData& engine_data,
                       std::size_t past_steps, const PathSettings& settings,
                       const TransformedRun* transformed, const RunIdentity& run,
                       ForecastQuality& quality) {
  const ModelFormula formula = describe_best_tree(engine, population);
  const Residuals residuals = training_residuals(formula, engine_data);
  if (!residuals.reason.empty()) {
    quality.validation_bands.reason = residuals.reason;
    return;
  }
  const auto seed = [&](PathPurpose purpose) {
    return path_seed(run.seed, run.stream, population, purpose);
  };
  std::optional<PathInverse> inverse;
  if (transformed != nullptr) {
    inverse.emplace(*transformed, transformed->known, engine_data.low, engine_data.high,
                    static_cast<std::size_t>(settings.paths));
  }
  quality.validation_bands =
      validation_bands(formula, engine_data, residuals.values, seed(PathPurpose::validation),
                       settings, inverse ? &*inverse : nullptr);
  if (past_steps > 0) {
    if (transformed != nullptr) {
      inverse.emplace(*transformed, transformed->series.size(), engine_data.low, engine_data.high,
                      static_cast<std::size_t>(settings.paths));
    }
    quality.past_data_bands = bands_past_data(
        formula, engine_data, static_cast<std::int32_t>(past_steps), residuals.values,
        seed(PathPurpose::past_data), settings, inverse ? &*inverse : nullptr);
  }
}

}  // namespace

ForecastQuality forecast_quality(const Engine& engine, std::int32_t population,
                                 std::span<const double> prediction,
                                 std::span<const double> past_data,
                                 const std::optional<PathSettings>& intervals,
                                 const RunIdentity& run, const ForecastContext& context) {
  const ScaledData engine_data = scaled_data(engine.data);
  const TransformedRun* transformed = context.transformed;
  // The series as loaded, in its own scaling.
  const ScaledData data = transformed != nullptr ? transformed->view() : engine_data;
  SeriesForecasts forecasts = series_forecasts(engine_data, prediction, past_data, transformed);
  ForecastQuality quality;
  quality.first_index = static_cast<std::int32_t>(
      transformed != nullptr ? data.start() : std::min(data.start(), prediction.size()));
  quality.validation = std::move(forecasts.validation);
  quality.past_data = std::move(forecasts.past_data);
  quality.inverse_problem = forecasts.problem;
  quality.accuracy = forecast_accuracy(data, quality.validation);
  quality.benchmarks =
      benchmark_figures(data, context.season, context.largest_lag, quality.accuracy.scaled_mse);
  quality.validation_divergence = first_divergence(quality.validation);
  quality.past_data_divergence = first_divergence(quality.past_data);
  if (!intervals) return quality;

  quality.with_intervals = true;
  if (intervals->method == BandMethod::errors) {
    error_method_bands(engine, population, engine_data, forecasts, *intervals, transformed,
                       quality);
  } else {
    path_method_bands(engine, population, engine_data, quality.past_data.size(), *intervals,
                      transformed, run, quality);
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
