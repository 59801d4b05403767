// A run of a transformed series: the transform chosen from the training part,
// the transformed values the engine is started on (laid out as the two parts
// were, the same overlap repeated), and the way back from what the engine
// predicts to the series as it was loaded, in its own scaling.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/errorbands.h"
#include "forecasting/transformchoice.h"

namespace quarvel::forecasting {

struct TransformedRun {
  TransformChoice choice;
  std::vector<double> training;    // transformed: what the engine models
  std::vector<double> validation;  // transformed: the overlap repeated, then the rest
  // The series as loaded, in its units: the training part, then the
  // validation part (its overlap included), and their minimum and maximum.
  std::vector<double> loaded;
  std::int32_t training_count = 0;
  std::int32_t overlap = 0;
  double low = 0.0;
  double high = 1.0;
  // The series in time order (the overlap once, when it repeats the training
  // part), and how many of its values come before the forecast start.
  std::vector<double> series;
  std::size_t known = 0;
  // The loaded points in their own scaling, as a run without a transform sees them.
  std::vector<double> scaled;

  // The loaded points as a view (valid while the run is).
  [[nodiscard]] ScaledData view() const noexcept {
    return {scaled, training_count, training_count + overlap, low, high};
  }
  // The forecast of the engine's scaled values after the first `known`
  // series values (validation) or all of them (past the data), as levels of
  // the transform, given the transformed values' scaling.
  [[nodiscard]] std::vector<double> levels_after(std::size_t known_values,
                                                 std::span<const double> engine_scaled,
                                                 double engine_low, double engine_high) const;
  // Levels in the series' scaling (NaN where the inverse cannot be taken),
  // and the first such step with why.
  [[nodiscard]] ForecastInUnits scaled_from_levels(std::span<const double> levels) const;
  [[nodiscard]] RunScales scales(double engine_low, double engine_high) const;
  // A population's prediction series as the series' own scaling shows it: the
  // known values, then the engine's forecast over the validation part (its
  // values from the engine's forecast start) brought back to the series.
  [[nodiscard]] std::vector<double> series_prediction(std::span<const double> engine_validation,
                                                      double engine_low, double engine_high) const;
};

// Simulated paths of the engine's scaled values brought back to the series'
// scaling step by step, each path undifferenced from the levels known before
// its start (a Box–Cox inverse held to its limits, so that no path is lost).
class PathInverse {
 public:
  PathInverse(const TransformedRun& run, std::size_t known_values, double engine_low,
              double engine_high, std::size_t paths);
  // The paths' next values: the engine's scaled values in, the series' out.
  void step(std::span<double> values);

 private:
  const TransformedRun& run_;
  double engine_low_;
  double engine_high_;
  std::size_t paths_;
  std::size_t ring_;              // levels kept per path: the season, or 1
  std::size_t written_ = 0;       // steps taken
  std::vector<double> levels_;    // per path, its last ring_ levels, oldest at written_ % ring_
  std::vector<double> seasonal_;  // per path, its last seasonal difference (both differences)
};

struct TransformedRunResult {
  std::optional<TransformedRun> run;
  std::string problem;  // why the series cannot be run so
};

// The transform of `request` for the loaded `training` and `validation` values
// (in the series' units; the validation part's first `overlap` values stand
// before the forecast start), chosen from the training part for a forecast of
// `horizon` steps with lags up to `largest_lag`, and the series through it.
[[nodiscard]] TransformedRunResult transform_run(std::span<const double> training,
                                                 std::span<const double> validation,
                                                 std::int32_t overlap,
                                                 const TransformRequest& request,
                                                 std::int32_t horizon, std::int32_t largest_lag);

// The season of a run and the transforms its settings ask for, taken on the
// loaded `training` and `validation` values (in the series' units) for a
// forecast over the held-out points (or the steps past the data when none are
// held out): `run` is empty when no transform is asked; `problem` says why the
// transforms cannot be taken.
struct RunTransforms {
  std::int32_t season = 0;
  std::optional<TransformedRun> run;
  std::string problem;
};
[[nodiscard]] RunTransforms run_transforms(const runs::RunSettings& settings,
                                           std::span<const double> training,
                                           std::span<const double> validation,
                                           std::int32_t step_season);

// "first difference (why ...)": the transforms taken and why, as a run tells them.
[[nodiscard]] std::string transform_note(const TransformChoice& choice);

}  // namespace quarvel::forecasting
