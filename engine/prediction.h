// Free-running forecast of a population's best tree over the validation part.
#pragma once

#include <cstdint>

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

}  // namespace quarvel
