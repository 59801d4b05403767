// Free-running forecast of a population's best tree over the validation part.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;
struct GenerationReport;

// Known values up to training count + overlap, then the iterated forecast.
void fill_prediction(Engine& engine, GenerationReport& report, std::int32_t population);

// The output of a fitted subtree at time t, its terminals reading the report's
// prediction series.
[[nodiscard]] double predict_value(const Engine& engine, const GenerationReport& report,
                                   const TreeNode* node, std::int32_t t);

// The same, its terminals reading `series` (a lag reaching before its start or
// past its end reads 0).
[[nodiscard]] double predict_value(const Engine& engine, std::span<const double> series,
                                   const TreeNode* node, std::int64_t t);

// The forecast `steps` points past the last loaded one, by the validation
// forecast's recursion: `series` becomes the loaded (scaled) values followed by
// the population's best tree iterated on them, a lag that reaches a loaded
// point reading that value and one past the end reading the forecast.
void forecast_past_data(const Engine& engine, std::int32_t population, std::int32_t steps,
                        std::vector<double>& series);

}  // namespace quarvel
