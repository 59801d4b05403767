#include "forecasting/ensemble.h"

#include <algorithm>
#include <string>

namespace quarvel::forecasting {

EnsembleMedian ensemble_median(std::span<const std::vector<double>> forecasts) {
  EnsembleMedian median;
  if (forecasts.empty()) {
    median.reason = "no runs to take the median of";
    return median;
  }
  const std::size_t steps = forecasts.front().size();
  for (const std::vector<double>& forecast : forecasts) {
    if (forecast.size() != steps) {
      median.reason = "the runs' forecasts differ in length (" + std::to_string(steps) + " and " +
                      std::to_string(forecast.size()) + " steps)";
      return median;
    }
  }
  const double half[] = {0.5};
  QuantileFinder finder(forecasts.size(), half);
  std::vector<double> step_values(forecasts.size());
  median.values.resize(steps);
  for (std::size_t j = 0; j < steps; ++j) {
    for (std::size_t r = 0; r < forecasts.size(); ++r) step_values[r] = forecasts[r][j];
    finder.compute(step_values, &median.values[j]);
  }
  return median;
}

PooledBands pooled_bands(std::span<const PathSummary> runs, std::span<const double> levels,
                         std::span<const std::vector<double>> forecasts) {
  PooledBands pooled;
  std::size_t points = 0;
  for (const PathSummary& run : runs) points += static_cast<std::size_t>(run.points_per_step);
  if (points == 0) {
    pooled.reason = "no runs' paths to pool";
    return pooled;
  }
  const std::int32_t steps = runs.front().steps();
  for (const PathSummary& run : runs) {
    if (run.steps() != steps) {
      pooled.reason = "the runs' paths differ in length (" + std::to_string(steps) + " and " +
                      std::to_string(run.steps()) + " steps)";
      return pooled;
    }
  }
  if (!std::all_of(levels.begin(), levels.end(), valid_band_level)) {
    pooled.reason = "a band's level must lie between 0 and 100 percent";
    return pooled;
  }
  std::vector<double> probabilities;
  for (const double level : levels) {
    pooled.bands.push_back({level, std::vector<double>(static_cast<std::size_t>(steps)),
                            std::vector<double>(static_cast<std::size_t>(steps))});
    const BandProbabilities p = band_probabilities(level);
    probabilities.push_back(p.lower);
    probabilities.push_back(p.upper);
  }
  QuantileFinder finder(points, probabilities);
  std::vector<double> step_points;
  step_points.reserve(points);
  std::vector<double> edges(probabilities.size());
  const auto diverged = [&forecasts](std::size_t r, std::size_t step) {
    if (r >= forecasts.size() || step >= forecasts[r].size()) return false;
    const double value = forecasts[r][step];
    return !(value >= -1.0 && value <= 2.0);
  };
  for (std::int32_t j = 0; j < steps; ++j) {
    const auto step = static_cast<std::size_t>(j);
    step_points.clear();
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (diverged(r, step)) continue;
      const std::span<const double> at = runs[r].at(j);
      step_points.insert(step_points.end(), at.begin(), at.end());
    }
    if (step_points.empty()) {
      for (const PathSummary& run : runs) {
        const std::span<const double> at = run.at(j);
        step_points.insert(step_points.end(), at.begin(), at.end());
      }
    }
    if (step_points.size() == points) {
      finder.compute(step_points, edges.data());
    } else {
      sort_for_quantiles(step_points);
      for (std::size_t q = 0; q < probabilities.size(); ++q) {
        edges[q] = sorted_quantile(step_points, probabilities[q]);
      }
    }
    for (std::size_t l = 0; l < pooled.bands.size(); ++l) {
      pooled.bands[l].lower[step] = edges[2 * l];
      pooled.bands[l].upper[step] = edges[2 * l + 1];
    }
  }
  return pooled;
}

namespace {

constexpr std::string_view kOriginalUnits = "in the series' units";
constexpr std::string_view kScaledUnits = "scaled to [0, 1]";

}  // namespace

std::string_view ensemble_units_words(bool original_units) {
  return original_units ? kOriginalUnits : kScaledUnits;
}

std::optional<bool> ensemble_in_original_units(std::string_view summary) {
  // The line that names the table: "Ensemble of N runs (NAME, UNITS): ...".
  std::size_t at = 0;
  if (!summary.starts_with("Ensemble of ")) {
    at = summary.find("\nEnsemble of ");
    if (at == std::string_view::npos) return std::nullopt;
    ++at;
  }
  const std::string_view line = summary.substr(at, summary.find('\n', at) - at);
  for (const bool original : {true, false}) {
    const std::string named = ", " + std::string(ensemble_units_words(original)) + "):";
    if (line.find(named) != std::string_view::npos) return original;
  }
  return std::nullopt;
}

}  // namespace quarvel::forecasting
