// Which transforms a run takes, each asked for as off, fixed or "auto", the
// last decided from the training part alone:
//  - Box–Cox auto: the log when every value is above 0, the level moves
//    (the largest mean of the blocks below is at least 1.5 times the
//    smallest) and the λ that makes the spread of each block of a season's
//    (or a pair's) values least dependent on its level (Guerrero's method, λ
//    in [-1, 2]) is below 0.5; else none.
//  - Seasonal difference auto: taken when the season M is known, the training
//    part holds more than 3·M values and the seasonal strength of its levels
//    (1 − var(remainder) / var(season + remainder) of a classical
//    decomposition by centred moving averages) exceeds 0.64.
//  - First difference auto: never on top of a seasonal difference; otherwise
//    a linear autoregression (linearar.h, order at most the largest lag) is
//    fitted to each candidate transform of the training part up to origins
//    near its end and forecast H steps on; the candidate whose forecasts, in
//    the series' own units, err least (mean squared error over the origins)
//    is taken, the first of equals. The candidates are no difference, a
//    seasonal difference when that is auto but the season was too weak, and a
//    first difference. H = min(horizon, training values / 4), at least 1; the
//    origins are T − H − i·max(1, H/2) for i = 0 .. 9 while above T/2.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "forecasting/seriestransform.h"
#include "runs/settings.h"

namespace quarvel::forecasting {

enum class TransformMode { off, automatic, fixed };

struct TransformRequest {
  TransformMode box_cox = TransformMode::off;
  double lambda = 0.0;  // the fixed Box–Cox power (0: log)
  TransformMode seasonal_difference = TransformMode::off;
  TransformMode difference = TransformMode::off;
  std::int32_t season = 0;  // M; 0: none known

  [[nodiscard]] bool any() const noexcept {
    return box_cox != TransformMode::off || seasonal_difference != TransformMode::off ||
           difference != TransformMode::off;
  }
  friend bool operator==(const TransformRequest&, const TransformRequest&) = default;
};

// The seasonal strength above which a seasonal difference is taken, and the
// Guerrero λ below which the log is.
inline constexpr double kSeasonalStrengthLimit = 0.64;
inline constexpr double kLogLambdaLimit = 0.5;
// The least ratio of the largest block mean to the smallest for the log.
inline constexpr double kLogLevelRatio = 1.5;

struct TransformChoice {
  SeriesTransform transform;
  std::string reasons;  // why each automatic choice went as it did, in words
  std::string problem;  // a request the training part cannot meet; nothing else is set then
};

// The transforms for a run whose training part is `training`, forecasting
// `horizon` steps, with lags up to `largest_lag`.
[[nodiscard]] TransformChoice choose_transform(std::span<const double> training,
                                               const TransformRequest& request,
                                               std::int32_t horizon, std::int32_t largest_lag);

// The season of a run: its setting, or where that is auto the season of the
// table's time step (`step_season`, 0 for none).
[[nodiscard]] std::int32_t run_season(const runs::RunSettings& settings, std::int32_t step_season);

// What a run's settings ask of the transforms, with its season.
[[nodiscard]] TransformRequest transform_request(const runs::RunSettings& settings,
                                                 std::int32_t season);

// Guerrero's λ of a positive series: the λ in [-1, 2] that minimises the
// coefficient of variation of sd / mean^(1 − λ) over the series' last whole
// blocks of max(2, season) values (golden-section search to 1e-6).
[[nodiscard]] double guerrero_lambda(std::span<const double> series, std::int32_t season);

// The seasonal strength of a series at season M (0 for a series too short
// to tell, fewer than 2·M + 1 values).
[[nodiscard]] double seasonal_strength(std::span<const double> series, std::int32_t season);

}  // namespace quarvel::forecasting
