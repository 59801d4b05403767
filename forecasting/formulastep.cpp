#include "forecasting/formulastep.h"

#include <algorithm>

#include "engine/regressors.h"

namespace quarvel::forecasting {

namespace {

// A node's sum as the engine forms it: the terms of engine/regressors.h,
// added from 0.0 in coefficient order.
[[gnu::always_inline]] inline double one_input_output(const std::array<double, 6>& c, double a) {
  double r[kOneInputCoefficients];
  one_input_regressors(a, r);
  double sum = 0.0;
  for (int j = 0; j < kOneInputCoefficients; ++j) sum += c[static_cast<std::size_t>(j)] * r[j];
  return sum;
}

[[gnu::always_inline]] inline double two_input_output(const std::array<double, 6>& c, double a,
                                                      double b, double limit) {
  double r[kTwoInputCoefficients];
  two_input_regressors(a, b, limit, r);
  double sum = 0.0;
  for (int j = 0; j < kTwoInputCoefficients; ++j) sum += c[static_cast<std::size_t>(j)] * r[j];
  return sum;
}

// One node over many paths. A version for AVX-512, one for AVX2 and one for
// any x86-64, chosen at start, all giving the same doubles (no fused
// multiply-add, the same operations in the same order); a build with
// QUARVEL_SINGLE_TARGET (ThreadSanitizer cannot run the chooser) has the last.
#if defined(QUARVEL_SINGLE_TARGET)
#define QUARVEL_PATH_VERSIONS
#else
#define QUARVEL_PATH_VERSIONS __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

QUARVEL_PATH_VERSIONS void node_outputs(bool one_input, const std::array<double, 6>& coefficients,
                                        const double* a, const double* b, double limit,
                                        std::size_t count, double* out) {
  // A local copy: the stores to `out` cannot change it, so it stays in registers.
  const std::array<double, 6> c = coefficients;
  if (one_input) {
    for (std::size_t i = 0; i < count; ++i) out[i] = one_input_output(c, a[i]);
  } else {
    for (std::size_t i = 0; i < count; ++i) out[i] = two_input_output(c, a[i], b[i], limit);
  }
}

}  // namespace

FormulaEvaluator::FormulaEvaluator(const ModelFormula& formula)
    : value_limit_(formula.value_limit) {
  const auto source = [this](const ModelInput& input) {
    if (!input.node) largest_lag_ = std::max(largest_lag_, input.index);
    return Source{input.node, input.index - 1};
  };
  for (const NodeEquation& equation : formula.nodes) {
    Node node;
    node.one_input = equation.one_input;
    node.first = source(equation.first);
    node.second = equation.one_input ? node.first : source(equation.second);
    std::copy_n(equation.coefficients.begin(),
                std::min(equation.coefficients.size(), node.coefficients.size()),
                node.coefficients.begin());
    nodes_.push_back(node);
  }
  output_ = source(formula.output);
  node_values_.resize(nodes_.size());
}

double FormulaEvaluator::predict(std::span<const double> series, std::int64_t t) {
  const auto input = [&](Source source) {
    if (source.node) return node_values_[static_cast<std::size_t>(source.index)];
    const std::int64_t i = t - (source.index + 1);
    if (i < 0 || i >= static_cast<std::int64_t>(series.size())) return 0.0;
    return series[static_cast<std::size_t>(i)];
  };
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    const Node& node = nodes_[i];
    node_values_[i] = node.one_input ? one_input_output(node.coefficients, input(node.first))
                                     : two_input_output(node.coefficients, input(node.first),
                                                        input(node.second), value_limit_);
  }
  return input(output_);
}

void FormulaEvaluator::predict_paths(std::span<const double* const> lag_rows, std::size_t count,
                                     double* out) {
  if (node_values_.size() < nodes_.size() * count) node_values_.resize(nodes_.size() * count);
  const auto row = [&](Source source) -> const double* {
    if (source.node) return node_values_.data() + static_cast<std::size_t>(source.index) * count;
    return lag_rows[static_cast<std::size_t>(source.index)];
  };
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    const Node& node = nodes_[i];
    node_outputs(node.one_input, node.coefficients, row(node.first), row(node.second), value_limit_,
                 count, node_values_.data() + i * count);
  }
  const double* result = row(output_);
  std::copy(result, result + count, out);
}

}  // namespace quarvel::forecasting
