// What a best model's forecast is worth: its accuracy over the validation
// part, where it runs away from the data, and, when asked, its prediction
// intervals with the share of held-out values they hold. The runner records
// these figures; the window shows them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/benchmarks.h"
#include "forecasting/forecastfiles.h"
#include "forecasting/intervals.h"
#include "forecasting/transformedrun.h"
#include "runs/generationstep.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::forecasting {

// A run as the draws of its bands know it: the seed and the stream.
struct RunIdentity {
  std::int64_t seed = 0;
  std::int64_t stream = 0;
};

// What a run's forecasts are measured with besides its settings: the season
// of the seasonal naive benchmark, the largest lag of the linear AR one, and
// the transform the engine modelled the series through (none: the engine's
// data are the series).
struct ForecastContext {
  std::int32_t season = 0;
  std::int32_t largest_lag = 1;
  const TransformedRun* transformed = nullptr;
};

struct ForecastQuality {
  std::int32_t first_index = 0;    // the point index of the first validation step
  std::vector<double> validation;  // the forecast over the validation part, scaled
  std::vector<double> past_data;   // the forecast past the data, scaled (when asked)
  Accuracy accuracy;               // of `validation`
  BenchmarkFigures benchmarks;     // over the same held-out points
  // Through a transform: a step whose value has no inverse, and why (the
  // forecasts hold NaN from there on).
  std::string inverse_problem;
  // The first step that left the data's range widened by its span on each
  // side (first_divergence), of each forecast.
  std::optional<std::int32_t> validation_divergence;
  std::optional<std::int32_t> past_data_divergence;
  // With intervals: the bands over the validation part and past the data, the
  // coverage of each band over the validation part, or why there are none.
  bool with_intervals = false;
  PathBands validation_bands;
  PathBands past_data_bands;
  std::vector<Coverage> coverage;
  std::string interval_reason;
};

// The figures of population `population` (0-based) of the finished run:
// `prediction` is its prediction series as the run reported it (one value per
// loaded point), `past_data` its forecast past the data (empty when none was
// asked for). With `intervals`, the bands come from intervals->paths paths
// drawn from path_seed(run's seed, stream, population, purpose).
// With a transform, `prediction` and `past_data` are the engine's (of the
// transformed series) and every figure is of the series as loaded, in its
// own scaling.
[[nodiscard]] ForecastQuality forecast_quality(const Engine& engine, std::int32_t population,
                                               std::span<const double> prediction,
                                               std::span<const double> past_data,
                                               const std::optional<PathSettings>& intervals,
                                               const RunIdentity& run,
                                               const ForecastContext& context = {});

// The figures of every population of the finished run, as forecast_quality
// gives them: `past_data` holds each population's forecast past the data (or
// nothing, when none was asked for). The population `ensemble_population`
// also keeps the summary points of its paths that an ensemble pools.
[[nodiscard]] std::vector<ForecastQuality> populations_quality(
    const Engine& engine, const runs::GenerationResults& results,
    std::span<const std::vector<double>> past_data, const std::optional<PathSettings>& intervals,
    const RunIdentity& run, std::optional<std::size_t> ensemble_population = std::nullopt,
    const ForecastContext& context = {});

// The forecast over the validation part and past the data with its bands (of
// `levels`, as they were asked for), scaled, as intervals-K.txt holds them.
[[nodiscard]] BandTable band_table(const ForecastQuality& quality, std::span<const double> levels);

}  // namespace quarvel::forecasting
