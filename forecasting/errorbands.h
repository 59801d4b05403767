// Prediction bands from the model's own multi-step errors: the model is run
// free from many origins in the training part, as it runs past the data, and
// the errors it makes j steps after an origin, in the levels of its transform
// (Box–Cox levels, differences undone; the series' own values without one),
// give the band of step j around the forecast. Unlike paths simulated through
// the model, they cannot run away: a free run that leaves the data's range by
// a span is no evidence from that step on.
//
// The rules, so that a program outside can repeat them:
//  - Origins: every o from the model's largest lag L (at least 1) to Tv − 1,
//    Tv the transformed training values; above 1000 of them, every k-th from
//    Tv − 1 down, k = ceil(count / 1000). From origin o the model runs
//    min(steps, Tv − o) steps on the scaled transformed values before o.
//  - A step's level is its value unscaled and undifferenced from the levels
//    known at o; its error is the training part's level there minus it. A
//    run's errors stop at the first step whose scaled value is not a number
//    or leaves [-1, 2], or whose level leaves the training levels' range
//    widened by its span on each side.
//  - Steps measured: the longest run of steps from the first that each hold
//    at least min(20, errors of step 1) errors (none with fewer than 2 at
//    step 1). Step j beyond them takes the last measured step's errors times
//    sqrt(j / measured).
//  - The band of level c at step j: the type-7 quantiles (quantiles.h) of
//    probabilities (100 − c)/200 and 1 − (100 − c)/200 of the forecast's
//    level plus each error, in the series' units (a Box–Cox inverse held to
//    its limits), scaled, and held to [-1, 2] (widened to the forecast where
//    that lies outside).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "forecasting/intervals.h"
#include "forecasting/modelformula.h"
#include "forecasting/seriestransform.h"

namespace quarvel::forecasting {

// How a run's scaled values stand to the series: the transform the engine
// modelled the series through, the transformed values' scaling (the
// engine's) and the series' own scaling (of its loaded values).
struct RunScales {
  SeriesTransform transform;
  double low = 0.0;  // the transformed values' minimum and maximum
  double high = 1.0;
  double series_low = 0.0;  // the series' own
  double series_high = 1.0;
};

// Errors per step after an origin, each step's sorted.
struct ModelErrors {
  std::vector<std::vector<double>> by_step;
  std::int32_t measured_steps = 0;
  std::string reason;  // set when there are none to build bands from
};

inline constexpr std::size_t kMostErrorOrigins = 1000;
inline constexpr std::size_t kErrorsPerStep = 20;

// The model's errors up to `steps` steps after each origin in the training
// part: `scaled_training` the transformed training values as the engine
// scaled them, `training` the series' training values in its units.
[[nodiscard]] ModelErrors multi_step_errors(const ModelFormula& formula,
                                            std::span<const double> scaled_training,
                                            std::span<const double> training,
                                            const RunScales& scales, std::int32_t steps);

// The bands of a forecast whose levels per step are `forecast_levels`, with
// settings.summary_points summary points per step (their probabilities as
// intervals.h has them), in the series' scaled units.
[[nodiscard]] PathBands error_bands(const ModelErrors& errors,
                                    std::span<const double> forecast_levels,
                                    const RunScales& scales, const PathSettings& settings);

}  // namespace quarvel::forecasting
