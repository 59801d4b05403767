// The transforms a run may model its series through, and their inverse: a
// Box–Cox power (the log at 0) that evens out a swing growing with the level,
// a seasonal difference at the season M that takes out a repeating pattern,
// and a first difference that takes out a trend. The engine models the
// transformed series; every forecast is brought back to the series' own
// units by the inverse, the differences summed up from the last known values.
//
// The rules, so that a program outside can repeat them:
//  - Box–Cox of a value y > 0: log(y) at λ = 0, else (y^λ − 1) / λ; its
//    inverse of a level z: exp(z), else (λ·z + 1)^(1/λ), which exists only
//    where λ·z + 1 > 0.
//  - The seasonal difference of the levels z: w[t] = z[t] − z[t − M]; the
//    first difference then v[t] = w[t] − w[t − 1]. The transformed series
//    starts where both have their values: M + d values fewer.
//  - A forecast v̂ after the known values is undone step by step: ŵ = v̂ +
//    the previous w (known or forecast), ẑ = ŵ + the z M steps back, ŷ the
//    inverse Box–Cox of ẑ.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarvel::forecasting {

struct SeriesTransform {
  std::optional<double> lambda;  // the Box–Cox power; none: the values as they are
  std::int32_t season = 0;       // M of the seasonal difference; 0: none
  std::int32_t differences = 0;  // first differences: 0 or 1

  [[nodiscard]] bool identity() const noexcept {
    return !lambda && season == 0 && differences == 0;
  }
  // The values the differences take from the front of the series.
  [[nodiscard]] std::int32_t lost() const noexcept { return season + differences; }

  friend bool operator==(const SeriesTransform&, const SeriesTransform&) = default;
};

// "log, seasonal difference at 12", "Box-Cox 0.5, first difference", "none".
[[nodiscard]] std::string transform_words(const SeriesTransform& transform);

// The Box–Cox level of a value y > 0 (nullopt for y <= 0 or a value that is
// not finite), and the value of a level (nullopt where the inverse cannot be
// taken: λ·z + 1 <= 0, or a result that is not finite).
[[nodiscard]] std::optional<double> box_cox(double value, double lambda);
[[nodiscard]] std::optional<double> inverse_box_cox(double level, double lambda);
// The inverse held to its limits where it cannot be taken: 0 below the
// values a positive λ reaches, +infinity above those a negative λ reaches.
[[nodiscard]] double inverse_box_cox_limit(double level, double lambda);

// A series through a transform, or why it cannot be.
struct TransformedSeries {
  std::vector<double> values;  // lost() values fewer than the series
  std::string problem;         // set when there are none
};

// The Box–Cox levels of the series (the series itself without a Box–Cox).
[[nodiscard]] TransformedSeries transform_levels(std::span<const double> series,
                                                 const SeriesTransform& transform);
// The whole transform: levels, then the differences.
[[nodiscard]] TransformedSeries transform_series(std::span<const double> series,
                                                 const SeriesTransform& transform);

// The levels of a forecast: `forecast` holds the transformed series' next
// values after `known_levels` (the Box–Cox levels of the series up to the
// forecast's start, at least lost() of them), each difference undone.
[[nodiscard]] std::vector<double> forecast_levels(std::span<const double> known_levels,
                                                  std::span<const double> forecast,
                                                  const SeriesTransform& transform);

// A forecast in the series' own units.
struct ForecastInUnits {
  std::vector<double> values;
  // The first step (1 for the first value) whose level has no value in the
  // series' units (a Box–Cox inverse that cannot be taken), and why; its
  // value and those after it are NaN.
  std::optional<std::int32_t> failed_step;
  std::string problem;
};

// The forecast `forecast` of the transformed series after the series' values
// `known`, in the series' units.
[[nodiscard]] ForecastInUnits forecast_in_units(std::span<const double> known,
                                                std::span<const double> forecast,
                                                const SeriesTransform& transform);
// The same from levels already undifferenced.
[[nodiscard]] ForecastInUnits levels_in_units(std::span<const double> levels,
                                              const SeriesTransform& transform);

}  // namespace quarvel::forecasting
