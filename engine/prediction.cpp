#include "engine/prediction.h"

#include <algorithm>
#include <span>

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
  return predict_value(engine,
                       std::span<const double>(report.prediction)
                           .first(static_cast<std::size_t>(engine.data.point_count)),
                       node, t);
}

double predict_value(const Engine& engine, std::span<const double> series, const TreeNode* node,
                     std::int64_t t) {
  if (!node->is_function()) {
    const std::int64_t i = t - (node->id + 1);
    if (i < 0 || i >= static_cast<std::int64_t>(series.size())) return 0.0;
    return series[static_cast<std::size_t>(i)];
  }
  const double x1 = predict_value(engine, series, node->child(0), t);
  const double x2 = predict_value(engine, series, node->child(1), t);
  const NodeModel& model = *node->model();
  double regressors[kTwoInputCoefficients];
  const int m = regressors_for(model.kind_id, x1, x2, engine.data.value_limit, regressors);
  return terms_sum(model.coefficients.data(), regressors, m);
}

void forecast_past_data(const Engine& engine, std::int32_t population, std::int32_t steps,
                        std::vector<double>& series) {
  const DataSet& data = engine.data;
  const auto known = static_cast<std::size_t>(data.point_count);
  series.assign(data.values.begin(), data.values.begin() + data.point_count);
  series.resize(known + static_cast<std::size_t>(std::max(steps, 0)));
  const TreeNode* best =
      engine.populations[static_cast<std::size_t>(population)].best_of_gen_tree.get();
  for (std::size_t t = known; t < series.size(); ++t) {
    // Only the values before t are read: the loaded ones, then the forecast.
    series[t] = predict_value(engine, std::span<const double>(series).first(t), best,
                              static_cast<std::int64_t>(t));
  }
}

}  // namespace quarvel
