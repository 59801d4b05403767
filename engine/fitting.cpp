#include "fitting.h"

#include <cmath>

#include "engine.h"

namespace quarvel {

namespace {

double limited(double x, double limit) {
  if (x > limit) x = limit;
  if (x < -limit) x = -limit;
  return x;
}

// The input a child delivers at point t: its model's output, or the lagged series.
std::vector<double> child_inputs(const Engine& engine, const TreeNode* child, std::int32_t n) {
  std::vector<double> inputs = alloc_vector(n);
  if (child->is_function()) {
    const auto& outputs = child->model()->outputs;
    std::copy(outputs.begin(), outputs.begin() + n, inputs.begin());
  } else {
    for (std::int32_t t = 0; t < n; ++t) {
      inputs[static_cast<std::size_t>(t)] = series_value(engine.data, t, child->id + 1);
    }
  }
  return inputs;
}

}  // namespace

std::vector<double> regressors_two_inputs(double x1, double x2, double value_limit) {
  return {limited(1.0, value_limit),     limited(x1, value_limit),
          limited(x2, value_limit),      limited(x1 * x2, value_limit),
          limited(x1 * x1, value_limit), limited(x2 * x2, value_limit)};
}

std::vector<double> regressors_one_input(double x1, double /*x2*/, double /*value_limit*/) {
  return {1.0, x1, x1 * x1};
}

bool inputs_coincide(std::span<const double> a, std::span<const double> b, std::int32_t n) {
  for (std::int32_t t = 0; t < n; ++t) {
    const auto i = static_cast<std::size_t>(t);
    if (!(std::fabs(a[i] - b[i]) <= 0.001)) return false;
  }
  return true;
}

std::vector<double> solve_coefficients(Engine& engine, std::int32_t n, std::int32_t m) {
  const Matrix& x = engine.design_matrix;
  const Matrix t = transpose_matrix(x, n, m);
  const Matrix a = *rmatmlt(t, m, n, x, n, m);
  std::vector<double> b = alloc_vector(m);
  for (std::int32_t i = 0; i < m; ++i) {
    double sum = 0.0;
    for (std::int32_t k = 0; k < n; ++k) sum += series_value(engine.data, k, 0) * t(i, k);
    b[static_cast<std::size_t>(i)] = sum;
  }
  const Matrix p = pseudo_inverse(a, m, m);
  return *rmatrvct(p, m, m, b, m);
}

void node_outputs(Engine& engine, TreeNode* node) {
  NodeModel& model = *node->model();
  const std::int32_t n = engine.data.training_count;
  const auto m = static_cast<std::int32_t>(model.coefficients.size());
  model.outputs = alloc_vector(n);
  for (std::int32_t t = 0; t < n; ++t) {
    const double* row = engine.design_matrix.row(t);
    double sum = 0.0;
    for (std::int32_t j = 0; j < m; ++j) sum += model.coefficients[static_cast<std::size_t>(j)] * row[j];
    model.outputs[static_cast<std::size_t>(t)] = sum;
  }
}

double node_sn2(const Engine& engine, const TreeNode* node) {
  const std::int32_t n = engine.data.training_count;
  double sum = 0.0;
  if (node->is_function()) {
    const NodeModel& model = *node->model();
    if (model.sn2 >= 0.0) return model.sn2;
    for (std::int32_t t = 0; t < n; ++t) {
      const double d = series_value(engine.data, t, 0) - model.outputs[static_cast<std::size_t>(t)];
      sum += d * d;
    }
  } else {
    for (std::int32_t t = 0; t < n; ++t) {
      const double d = series_value(engine.data, t, 0) - series_value(engine.data, t, node->id + 1);
      sum += d * d;
    }
  }
  return sum / static_cast<double>(n);
}

void fit_node(Engine& engine, TreeNode* node) {
  if (!node->is_function()) return;
  NodeModel& model = *node->model();
  if (model.fitted()) return;
  for (int c = 0; c < 2; ++c) {
    TreeNode* child = node->child(c);
    if (child->is_function() && !child->model()->has_outputs()) fit_node(engine, child);
  }

  const std::int32_t n = engine.data.training_count;
  const std::vector<double> left = child_inputs(engine, node->child(0), n);
  const std::vector<double> right = child_inputs(engine, node->child(1), n);
  const bool same = inputs_coincide(left, right, n);
  if (model.kind_id == kUnfittedKind) {
    const std::int32_t r = random_int(engine.random, engine.function_table.size());
    model.kind_id = same ? -(r + 1) : r + 1;
  }

  const std::int32_t m = engine.function_table.coefficient_count(model.kind_id);
  const RegressorBuilder build = engine.function_table.builder(model.kind_id);
  for (std::int32_t t = 0; t < n; ++t) {
    const auto i = static_cast<std::size_t>(t);
    const std::vector<double> regressors = build(left[i], right[i], engine.data.value_limit);
    std::copy(regressors.begin(), regressors.begin() + m, engine.design_matrix.row(t));
  }
  model.coefficients = solve_coefficients(engine, n, m);
  node_outputs(engine, node);
  model.sn2 = node_sn2(engine, node);
}

double evaluate_tree(Engine& engine, TreeNode* tree) {
  fit_node(engine, tree);
  const double s = node_sn2(engine, tree);
  return std::isnan(s) ? 0.0 : s;
}

std::int32_t count_coefficients(const Engine& engine, const TreeNode* tree) {
  if (!tree->is_function()) return 0;
  const std::int32_t kind_id = tree->model()->kind_id;
  const std::int32_t own = engine.function_table.coefficient_count(kind_id);
  if (kind_id > 0) {
    return count_coefficients(engine, tree->child(0)) + count_coefficients(engine, tree->child(1)) +
           own;
  }
  return count_coefficients(engine, tree->child(0)) + own;
}

double mdl_score(const Engine& engine, const TreeNode* tree, double s, std::int32_t n) {
  const double k = count_coefficients(engine, tree);
  const double count = n;
  return engine.mdl_error_weight * count * std::log(s) + engine.mdl_weight * k * std::log(count);
}

}  // namespace quarvel
