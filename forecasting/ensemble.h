// Forecasts of many runs of the same data and settings made one: per step the
// median of the runs' forecasts, and bands pooled from all runs' simulated
// paths. Their accuracy and coverage are a single run's (forecast_accuracy,
// band_coverage).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forecasting/intervals.h"

namespace quarvel::forecasting {

struct EnsembleMedian {
  std::vector<double> values;  // per step, scaled
  std::string reason;          // set when there is none
};

// Per step, the median of the runs' forecasts (the type-7 quantile of
// probability 0.5, a NaN sorting last); one run's median is its forecast.
// The forecasts must have the same number of steps.
[[nodiscard]] EnsembleMedian ensemble_median(std::span<const std::vector<double>> forecasts);

struct PooledBands {
  std::vector<Band> bands;  // one per level, in the order asked
  std::string reason;       // set when there are none
};

// Per step, the quantiles of every run's summary points together (type 7, at
// each level's probabilities). The summaries must have the same steps. With
// the runs' forecasts (scaled, one per step each), a run whose forecast has
// left the data's range widened by its span at a step (first_divergence's
// rule) gives no points there: a run that ran away is no evidence for the
// band's edge; where every run has, all of them give theirs.
[[nodiscard]] PooledBands pooled_bands(std::span<const PathSummary> runs,
                                       std::span<const double> levels,
                                       std::span<const std::vector<double>> forecasts = {});

// The units the ensemble's table is written in, as the summary names them
// beside the table's name ("(ensemble-forecast.txt, in the series' units)"):
// the table itself has no line to say it.
[[nodiscard]] std::string_view ensemble_units_words(bool original_units);

// Whether a summary says its ensemble's table is in the series' units (true)
// or scaled to [0, 1] (false); nothing when it does not say.
[[nodiscard]] std::optional<bool> ensemble_in_original_units(std::string_view summary);

}  // namespace quarvel::forecasting
