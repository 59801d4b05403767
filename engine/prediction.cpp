#include "engine/prediction.h"

#include <algorithm>

#include "engine/engine.h"
#include "engine/regressors.h"

namespace quarvel {

void fill_prediction(Engine& engine, GenerationReport& report, std::int32_t population) {
  const DataSet& data = engine.data;
  const std::int32_t start = forecast_start(data);
  std::copy(data.values.begin(), data.values.begin() + start, report.prediction.begin());
  const TreeNode* best =
      engine.populations[static_cast<std::size_t>(population)].best_of_gen_tree.get();
  for (std::int32_t t = start; t < data.point_count; ++t) {
    report.prediction[static_cast<std::size_t>(t)] = predict_value(engine, report, best, t);
  }
}

double predict_value(const Engine& engine, const GenerationReport& report, const TreeNode* node,
                     std::int32_t t) {
  if (!node->is_function()) {
    const std::int64_t i = static_cast<std::int64_t>(t) - (node->id + 1);
    if (i < 0 || i >= engine.data.point_count) return 0.0;
    return report.prediction[static_cast<std::size_t>(i)];
  }
  const double x1 = predict_value(engine, report, node->child(0), t);
  const double x2 = predict_value(engine, report, node->child(1), t);
  const NodeModel& model = *node->model();
  double regressors[kTwoInputCoefficients];
  const int m = regressors_for(model.kind_id, x1, x2, engine.data.value_limit, regressors);
  double sum = 0.0;
  for (int j = 0; j < m; ++j)
    sum += model.coefficients[static_cast<std::size_t>(j)] * regressors[j];
  return sum;
}

}  // namespace quarvel
