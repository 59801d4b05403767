// What leaves a run beyond its predictions: each best tree's forecast past the
// loaded data, and values in the series' own units.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quarvel {
struct Engine;
}

namespace quarvel::forecasting {

// Per population of the started run, the `steps` values its best tree
// forecasts past the last loaded point (scaled).
[[nodiscard]] std::vector<std::vector<double>> forecasts_past_data(const Engine& engine,
                                                                   std::int32_t steps);

// Scaled values in the series' own units: lo + v * (hi - lo), with the minimum
// and maximum the run's data were scaled by.
[[nodiscard]] std::vector<double> in_original_units(const Engine& engine,
                                                    std::span<const double> scaled);
// The same for a series scaled by its minimum `low` and maximum `high`.
[[nodiscard]] std::vector<double> in_original_units(double low, double high,
                                                    std::span<const double> scaled);

}  // namespace quarvel::forecasting
