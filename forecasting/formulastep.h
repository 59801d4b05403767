// One step of a model formula: the value the best tree predicts at time t from
// the values before it, with the program's own arithmetic, for one series or
// for many simulated paths at once.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "forecasting/modelformula.h"

namespace quarvel::forecasting {

class FormulaEvaluator {
 public:
  explicit FormulaEvaluator(const ModelFormula& formula);

  // The longest lag the formula reads (0 for one that reads none).
  [[nodiscard]] std::int32_t largest_lag() const noexcept { return largest_lag_; }

  // The value at time t, input Xk reading series[t - k] (0.0 outside the
  // series): bit for bit the engine's prediction by the same tree.
  [[nodiscard]] double predict(std::span<const double> series, std::int64_t t);

  // The values of `count` paths at once: input Xk of path b reads
  // lag_rows[k - 1][b]; out[b] gets the prediction of path b, the same double
  // that predict() gives for the same inputs.
  void predict_paths(std::span<const double* const> lag_rows, std::size_t count, double* out);

 private:
  // An input as a place: a lag (Xk at k - 1) or a node's output.
  struct Source {
    bool node = false;
    std::int32_t index = 0;  // lag - 1, or the node's place in evaluation order
  };
  struct Node {
    Source first;
    Source second;
    bool one_input = false;
    std::array<double, 6> coefficients{};
  };

  std::vector<Node> nodes_;
  Source output_;
  std::int32_t largest_lag_ = 0;
  double value_limit_ = 0.0;
  std::vector<double> node_values_;  // one per node (predict), or per node and path
};

}  // namespace quarvel::forecasting
