#include "forecasting/intervals.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forecasting/formulastep.h"
#include "forecasting/transformedrun.h"

namespace quarvel::forecasting {

namespace {

// z % n without a division instruction, which would cost more than the rest
// of a path's step: q = the high half of z * floor((2^64 - 1) / n) is at most 2
// below z / n, so z - q * n needs at most two subtractions of n.
class ResidualPick {
 public:
  explicit ResidualPick(std::uint64_t n) noexcept : n_(n), inverse_(~std::uint64_t{0} / n) {}
  [[nodiscard]] std::size_t operator()(std::uint64_t z) const noexcept {
    __extension__ using Wide = unsigned __int128;
    const auto q = static_cast<std::uint64_t>((static_cast<Wide>(z) * inverse_) >> 64);
    std::uint64_t r = z - q * n_;
    // Masks, not branches: which of the three cases comes is a coin toss.
    r -= n_ & (std::uint64_t{0} - std::uint64_t{r >= n_});
    r -= n_ & (std::uint64_t{0} - std::uint64_t{r >= n_});
    return static_cast<std::size_t>(r);
  }

 private:
  std::uint64_t n_;
  std::uint64_t inverse_;
};

// Why no paths can be simulated from `residuals` with `settings`; nullopt
// when they can.
std::optional<std::string> refused_paths(std::span<const double> residuals,
                                         const PathSettings& settings) {
  if (residuals.size() < 2) return "no intervals: fewer than 2 residuals to draw from";
  if (settings.paths < 1) return "no intervals: no paths to simulate";
  if (!std::all_of(settings.levels.begin(), settings.levels.end(), valid_band_level)) {
    return "no intervals: a band's level must lie between 0 and 100 percent";
  }
  return std::nullopt;
}

// The probabilities of the quantiles taken per step: the band edges (lower,
// upper per level), then the summary's points.
std::vector<double> step_probabilities(std::span<const double> levels, std::size_t summary_points) {
  std::vector<double> probabilities;
  for (const double level : levels) {
    const BandProbabilities p = band_probabilities(level);
    probabilities.push_back(p.lower);
    probabilities.push_back(p.upper);
  }
  for (std::size_t i = 0; i < summary_points; ++i) {
    probabilities.push_back((static_cast<double>(i) + 0.5) / static_cast<double>(summary_points));
  }
  return probabilities;
}

// The last `lags` values of every path, one row of all paths per time: row
// (t mod lags) holds time t. Before the first step every path is the known
// values, 0.0 before the series starts.
class PathWindow {
 public:
  PathWindow(std::span<const double> known, std::int64_t lags, std::size_t paths)
      : lags_(lags), paths_(paths), values_(static_cast<std::size_t>(lags) * paths) {
    const auto start = static_cast<std::int64_t>(known.size());
    for (std::int64_t k = 1; k <= lags; ++k) {
      const std::int64_t t = start - k;
      std::fill_n(row(t), paths, t >= 0 ? known[static_cast<std::size_t>(t)] : 0.0);
    }
  }

  // The row of time t.
  [[nodiscard]] double* row(std::int64_t t) {
    return values_.data() + static_cast<std::size_t>(((t % lags_) + lags_) % lags_) * paths_;
  }

 private:
  std::int64_t lags_;
  std::size_t paths_;
  std::vector<double> values_;
};

}  // namespace

std::uint64_t path_seed(std::int64_t seed, std::int64_t stream, std::int32_t population,
                        PathPurpose purpose) noexcept {
  std::uint64_t h = 0;
  for (const std::int64_t v :
       {seed, stream, std::int64_t{population}, static_cast<std::int64_t>(purpose)}) {
    h = SplitMix64(h ^ static_cast<std::uint64_t>(v)).next();
  }
  return h;
}

bool valid_band_level(double level) noexcept {
  return level > 0.0 && level < 100.0;
}

BandProbabilities band_probabilities(double level) noexcept {
  const double lower = (100.0 - level) / 200.0;
  return {lower, 1.0 - lower};
}

Residuals training_residuals(const ModelFormula& formula, const ScaledData& data) {
  FormulaEvaluator evaluator(formula);
  Residuals residuals;
  const auto training = std::min<std::size_t>(
      static_cast<std::size_t>(std::max(data.training_count, 0)), data.values.size());
  const auto first = static_cast<std::size_t>(evaluator.largest_lag());
  for (std::size_t t = first; t < training; ++t) {
    residuals.values.push_back(data.values[t] -
                               evaluator.predict(data.values, static_cast<std::int64_t>(t)));
  }
  if (residuals.values.size() < 2) {
    residuals.reason = "no intervals: " + std::to_string(training) +
                       " training values leave fewer than 2 one-step residuals for a model "
                       "that reads " +
                       std::to_string(first) + " values back";
  }
  return residuals;
}

PathBands simulate_bands(const ModelFormula& formula, std::span<const double> known,
                         std::int32_t steps, std::span<const double> residuals, std::uint64_t seed,
                         const PathSettings& settings, PathInverse* inverse) {
  PathBands result;
  if (auto refused = refused_paths(residuals, settings)) {
    result.reason = std::move(*refused);
    return result;
  }
  const auto paths = static_cast<std::size_t>(settings.paths);
  const auto step_count = static_cast<std::size_t>(std::max(steps, 0));
  const auto summary_points = static_cast<std::size_t>(std::max(settings.summary_points, 0));

  const std::vector<double> probabilities = step_probabilities(settings.levels, summary_points);
  QuantileFinder quantiles(paths, probabilities);
  std::vector<double> step_quantiles(probabilities.size());
  for (const double level : settings.levels) {
    result.bands.push_back(
        {level, std::vector<double>(step_count), std::vector<double>(step_count)});
  }
  result.summary.points_per_step = static_cast<std::int32_t>(summary_points);
  result.summary.points.reserve(summary_points * step_count);

  FormulaEvaluator evaluator(formula);
  const std::int64_t lags = std::max(evaluator.largest_lag(), 1);
  PathWindow window(known, lags, paths);
  const auto start = static_cast<std::int64_t>(known.size());

  // Path b draws its residuals from b * steps on; the generator is a counter,
  // so each path keeps its own state and the paths advance together.
  std::vector<std::uint64_t> states(paths);
  for (std::size_t b = 0; b < paths; ++b) {
    states[b] = seed + static_cast<std::uint64_t>(b) * step_count * SplitMix64::kIncrement;
  }
  const ResidualPick pick(residuals.size());

  std::vector<const double*> lag_rows(static_cast<std::size_t>(lags));
  std::vector<double> predicted(paths);
  std::vector<double> ordered(paths);
  for (std::size_t j = 0; j < step_count; ++j) {
    const std::int64_t t = start + static_cast<std::int64_t>(j);
    for (std::int64_t k = 1; k <= lags; ++k) {
      lag_rows[static_cast<std::size_t>(k - 1)] = window.row(t - k);
    }
    evaluator.predict_paths(lag_rows, paths, predicted.data());
    // Written after the prediction: this row held time t - lags until now.
    double* values = window.row(t);
    for (std::size_t b = 0; b < paths; ++b) {
      states[b] += SplitMix64::kIncrement;
      values[b] = predicted[b] + residuals[pick(SplitMix64::mix(states[b]))];
    }

    std::copy_n(values, paths, ordered.begin());
    if (inverse != nullptr) inverse->step(ordered);
    quantiles.compute(ordered, step_quantiles.data());
    for (std::size_t l = 0; l < result.bands.size(); ++l) {
      result.bands[l].lower[j] = step_quantiles[2 * l];
      result.bands[l].upper[j] = step_quantiles[2 * l + 1];
    }
    result.summary.points.insert(
        result.summary.points.end(),
        step_quantiles.begin() + 2 * static_cast<std::ptrdiff_t>(result.bands.size()),
        step_quantiles.end());
  }
  return result;
}

PathBands validation_bands(const ModelFormula& formula, const ScaledData& data,
                           std::span<const double> residuals, std::uint64_t seed,
                           const PathSettings& settings, PathInverse* inverse) {
  return simulate_bands(formula, data.known(), data.forecast_points(), residuals, seed, settings,
                        inverse);
}

PathBands bands_past_data(const ModelFormula& formula, const ScaledData& data, std::int32_t steps,
                          std::span<const double> residuals, std::uint64_t seed,
                          const PathSettings& settings, PathInverse* inverse) {
  return simulate_bands(formula, data.values, steps, residuals, seed, settings, inverse);
}

std::vector<Coverage> band_coverage(std::span<const Band> bands, std::span<const double> held_out) {
  std::vector<Coverage> coverage;
  for (const Band& band : bands) {
    Coverage c;
    c.level = band.level;
    if (held_out.empty()) {
      c.share.reason = "no held-out values to compare";
    } else if (band.lower.size() != held_out.size()) {
      c.share.reason = "the band has " + std::to_string(band.lower.size()) + " steps for " +
                       std::to_string(held_out.size()) + " held-out values";
    } else {
      c.count = static_cast<std::int32_t>(held_out.size());
      for (std::size_t j = 0; j < held_out.size(); ++j) {
        if (band.lower[j] <= held_out[j] && held_out[j] <= band.upper[j]) ++c.inside;
      }
      c.share.value = static_cast<double>(c.inside) / static_cast<double>(c.count);
    }
    coverage.push_back(std::move(c));
  }
  return coverage;
}

}  // namespace quarvel::forecasting
