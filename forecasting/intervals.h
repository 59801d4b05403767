// Prediction intervals of a best model: future paths simulated through the
// model's own recursion, each step adding a one-step training residual drawn
// with replacement, and the bands the paths' quantiles make, step by step.
//
// Every rule here is written so that a program outside, such as the exported
// Python module, can repeat it and get the same numbers:
//  - Residuals: r_t = y_t - f(y, t) for t = L .. T-1, with y the scaled
//    values, T the training count, L the model's largest lag and f the
//    model's prediction from the values before t.
//  - Draws: splitmix64 on 64-bit unsigned integers,
//        state += 0x9E3779B97F4A7C15
//        z = state
//        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9
//        z = (z ^ (z >> 27)) * 0x94D049BB133111EB
//        return z ^ (z >> 31)
//    a residual drawn as residuals[next() % n] (n residuals, in time order).
//  - The generator's start: h = 0, then for v in (seed, stream, population,
//    purpose) in turn: h = the output of one step from state h ^ v, each v
//    taken as a 64-bit two's-complement integer; the population counts from 0
//    and the purpose is 0 for the validation part, 1 for past the data.
//  - Paths: path b, step j has the value f(path so far, t) + a drawn residual
//    (added in that order); the draws go path 0 steps 0 .. S-1, then path 1,
//    and so on. Before the first step a path is the known values; a lag
//    reaching before the start of the series reads 0.0.
//  - Quantiles of the B values of a step: as quantiles.h takes them.
//  - A band of level c (0 < c < 100): the quantiles of p = (100 - c) / 200
//    and 1 - p.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/modelformula.h"
#include "forecasting/quantiles.h"

namespace quarvel::forecasting {

class PathInverse;

inline constexpr std::int32_t kDefaultPathCount = 1000;
// The bands' levels (in percent) when none are asked for.
inline constexpr std::array<double, 2> kDefaultLevels{80.0, 95.0};
// Order-statistic points per step that a run keeps of its paths for an ensemble.
inline constexpr std::int32_t kSummaryPointCount = 200;

class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t state) noexcept : state_(state) {}
  std::uint64_t next() noexcept {
    state_ += kIncrement;
    return mix(state_);
  }

  static constexpr std::uint64_t kIncrement = 0x9E3779B97F4A7C15ULL;
  [[nodiscard]] static constexpr std::uint64_t mix(std::uint64_t z) noexcept {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t state_;
};

enum class PathPurpose : std::int32_t { validation = 0, past_data = 1 };

// The start of the draws of a run's population, by the rule above: the same
// run draws the same residuals wherever it runs.
[[nodiscard]] std::uint64_t path_seed(std::int64_t seed, std::int64_t stream,
                                      std::int32_t population, PathPurpose purpose) noexcept;

// The probabilities of a band's lower and upper edge.
struct BandProbabilities {
  double lower = 0.0;
  double upper = 0.0;
};
[[nodiscard]] BandProbabilities band_probabilities(double level) noexcept;
// A level a band can have: strictly between 0 and 100 percent.
[[nodiscard]] bool valid_band_level(double level) noexcept;

struct Residuals {
  std::vector<double> values;  // in time order
  std::string reason;          // set when there are too few to draw from
};

// The one-step residuals of the model over the training part of `data`; fewer
// than 2 give no intervals and say why.
[[nodiscard]] Residuals training_residuals(const ModelFormula& formula, const ScaledData& data);

struct Band {
  double level = 0.0;
  std::vector<double> lower;  // per step, scaled
  std::vector<double> upper;
};

// Per step, the type-7 quantiles of the paths at probabilities
// (i + 0.5) / points_per_step, i = 0 .. points_per_step - 1: all of a run's
// paths that an ensemble needs.
struct PathSummary {
  std::int32_t points_per_step = 0;
  std::vector<double> points;  // step after step

  [[nodiscard]] std::int32_t steps() const noexcept {
    return points_per_step > 0 ? static_cast<std::int32_t>(points.size()) / points_per_step : 0;
  }
  [[nodiscard]] std::span<const double> at(std::int32_t step) const noexcept {
    return std::span<const double>(points).subspan(
        static_cast<std::size_t>(step) * static_cast<std::size_t>(points_per_step),
        static_cast<std::size_t>(points_per_step));
  }
};

// How the bands are drawn: from the model's own multi-step errors over the
// training part (errorbands.h), or from paths simulated through the model.
enum class BandMethod { errors, paths };

struct PathSettings {
  BandMethod method = BandMethod::errors;
  std::int32_t paths = kDefaultPathCount;
  std::vector<double> levels{kDefaultLevels.begin(), kDefaultLevels.end()};
  std::int32_t summary_points = 0;  // none; kSummaryPointCount for an ensemble
};

struct PathBands {
  std::vector<Band> bands;  // one per level, in the order asked
  PathSummary summary;
  std::string reason;  // set when there are no bands
};

// The bands of `steps` steps after the values `known` (scaled), from
// settings.paths simulated paths drawing on `residuals` from `seed`. With
// `inverse`, the paths of a transformed series are brought back through it
// before their quantiles are taken.
[[nodiscard]] PathBands simulate_bands(const ModelFormula& formula, std::span<const double> known,
                                       std::int32_t steps, std::span<const double> residuals,
                                       std::uint64_t seed, const PathSettings& settings,
                                       PathInverse* inverse = nullptr);

// Over the validation part: from the known values before the forecast start
// to the last loaded point.
[[nodiscard]] PathBands validation_bands(const ModelFormula& formula, const ScaledData& data,
                                         std::span<const double> residuals, std::uint64_t seed,
                                         const PathSettings& settings,
                                         PathInverse* inverse = nullptr);

// Past the data: from all loaded values, `steps` on.
[[nodiscard]] PathBands bands_past_data(const ModelFormula& formula, const ScaledData& data,
                                        std::int32_t steps, std::span<const double> residuals,
                                        std::uint64_t seed, const PathSettings& settings,
                                        PathInverse* inverse = nullptr);

struct Coverage {
  double level = 0.0;
  std::int32_t inside = 0;  // held-out values inside the band, edges included
  std::int32_t count = 0;   // held-out values compared
  Figure share;             // inside / count
};

// For each band, the share of `held_out` (scaled, one value per step) inside
// it.
[[nodiscard]] std::vector<Coverage> band_coverage(std::span<const Band> bands,
                                                  std::span<const double> held_out);

}  // namespace quarvel::forecasting
