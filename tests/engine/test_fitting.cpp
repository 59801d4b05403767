#include <gtest/gtest.h>

#include <cmath>

#include "engine/fitting.h"
#include "support/engine_fixtures.h"

using namespace quarvel;
using namespace quarvel::testing;

namespace {

// Least squares solved independently: normal equations by Gaussian elimination
// with partial pivoting.
std::vector<double> least_squares(const std::vector<std::vector<double>>& rows,
                                  const std::vector<double>& y) {
  const std::size_t m = rows[0].size();
  std::vector<std::vector<double>> a(m, std::vector<double>(m + 1, 0.0));
  for (std::size_t t = 0; t < rows.size(); ++t) {
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t j = 0; j < m; ++j) a[i][j] += rows[t][i] * rows[t][j];
      a[i][m] += rows[t][i] * y[t];
    }
  }
  for (std::size_t c = 0; c < m; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < m; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    std::swap(a[c], a[pivot]);
    for (std::size_t r = 0; r < m; ++r) {
      if (r == c) continue;
      const double f = a[r][c] / a[c][c];
      for (std::size_t j = c; j <= m; ++j) a[r][j] -= f * a[c][j];
    }
  }
  std::vector<double> x(m);
  for (std::size_t i = 0; i < m; ++i) x[i] = a[i][m] / a[i][i];
  return x;
}

}  // namespace

class Fitting : public ::testing::Test {
 protected:
  std::unique_ptr<Engine> engine = make_engine(wave(60), wave(20, 2.0));
  Engine& e = *engine;
  int n() const { return e.data.training_count; }
  double y(int t) const { return series_value(e.data, t, 0); }
};

TEST_F(Fitting, SingleTerminalScoresWithoutFittingOrDrawing) {
  Tree x3 = terminal(e, 2);
  const auto state = e.random.integer_state;
  const double s = evaluate_tree(e, x3.get());
  double sum = 0.0;
  for (int t = 0; t < n(); ++t)
    sum += (y(t) - (t >= 3 ? y(t - 3) : 0.0)) * (y(t) - (t >= 3 ? y(t - 3) : 0.0));
  EXPECT_DOUBLE_EQ(s, sum / n());
  EXPECT_EQ(e.random.integer_state, state);
  EXPECT_EQ(count_coefficients(e, x3.get()), 0);
  EXPECT_EQ(mdl_score(e, x3.get(), s, n()), e.mdl_error_weight * n() * std::log(s));
}

TEST_F(Fitting, TwoInputNodeIsTheLeastSquaresQuadratic) {
  Tree tree = function(e, terminal(e, 0), terminal(e, 1));
  RandomGenerators expected_rng = e.random;
  const double s = evaluate_tree(e, tree.get());
  (void)lrand31(expected_rng);  // one draw for the first fit
  EXPECT_EQ(e.random.integer_state, expected_rng.integer_state);

  const NodeModel& model = *tree->model();
  EXPECT_EQ(model.kind_id, 1);
  ASSERT_EQ(model.coefficients.size(), 6u);
  EXPECT_EQ(count_coefficients(e, tree.get()), 6);

  std::vector<std::vector<double>> rows;
  std::vector<double> targets;
  double sum = 0.0;
  for (int t = 0; t < n(); ++t) {
    const double x1 = series_value(e.data, t, 1);
    const double x2 = series_value(e.data, t, 2);
    rows.push_back({1, x1, x2, x1 * x2, x1 * x1, x2 * x2});
    targets.push_back(y(t));
  }
  const std::vector<double> reference = least_squares(rows, targets);
  for (int j = 0; j < 6; ++j) EXPECT_NEAR(model.coefficients[j], reference[j], 1e-6) << j;
  const std::vector<double> outputs = model_outputs(e, tree.get());
  ASSERT_EQ(outputs.size(), static_cast<std::size_t>(n()));
  for (int t = 0; t < n(); ++t) {
    double out = 0.0;
    for (int j = 0; j < 6; ++j) out += model.coefficients[j] * rows[t][j];
    EXPECT_DOUBLE_EQ(outputs[t], out);
    sum += (y(t) - out) * (y(t) - out);
  }
  EXPECT_DOUBLE_EQ(s, sum / n());
  EXPECT_EQ(model.sn2, s);
}

TEST_F(Fitting, CoincidingInputsGiveTheOneInputForm) {
  Tree same = function(e, terminal(e, 3), terminal(e, 3));
  (void)evaluate_tree(e, same.get());
  EXPECT_EQ(same->model()->kind_id, -1);
  EXPECT_EQ(same->model()->coefficients.size(), 3u);
  EXPECT_EQ(count_coefficients(e, same.get()), 3);

  // A root over X4 and a fitted subtree whose outputs reproduce X4 within
  // 0.001: the root takes the one-input form and the subtree is not counted.
  Tree outer = function(e, terminal(e, 3), function(e, terminal(e, 0), terminal(e, 7)));
  NodeModel& inner = *outer->child(1)->model();
  inner.kind_id = 1;
  inner.coefficients = {0, 0, 0, 0, 0, 0};
  std::vector<double> outputs;
  outputs.reserve(static_cast<std::size_t>(n()));
  for (int t = 0; t < n(); ++t) outputs.push_back(series_value(e.data, t, 4) + 0.0009);
  store_outputs(e, inner, outputs);
  inner.sn2 = 0.5;
  (void)evaluate_tree(e, outer.get());
  EXPECT_EQ(outer->model()->kind_id, -1);
  EXPECT_EQ(count_coefficients(e, outer.get()), 3);
}

TEST(FittingRegressors, ValueLimitClipsEachEntryAfterTheProducts) {
  EXPECT_EQ(regressors_two_inputs(3, 0.5, 1), (std::vector<double>{1, 1, 0.5, 1, 1, 0.25}));
  EXPECT_EQ(regressors_two_inputs(-3, 2, 100), (std::vector<double>{1, -3, 2, -6, 9, 4}));
  EXPECT_EQ(regressors_one_input(-3, 9, 1), (std::vector<double>{1, -3, 9}));
  EXPECT_TRUE(inputs_coincide(std::vector<double>{1, 2}, std::vector<double>{1.001, 1.999}, 2));
  EXPECT_FALSE(inputs_coincide(std::vector<double>{1, 2}, std::vector<double>{1, 2.0011}, 2));
}

TEST(FittingExact, PerfectFitAndItsScore) {
  // 1, 0, 1, 0, ...: y = 1 - X1 exactly, also at t = 0 where X1 reads 0.
  std::vector<double> series;
  series.reserve(30);
  for (int i = 0; i < 30; ++i) series.push_back(i % 2 == 0 ? 1.0 : 0.0);
  auto engine =
      make_engine(series, {1, 0}, 1, [](RunParameters& p) { p.mdl_error_weight = 0.0003; });
  Engine& e = *engine;
  Tree tree = function(e, terminal(e, 0), terminal(e, 0));
  const double s = evaluate_tree(e, tree.get());
  EXPECT_LT(s, 1e-25);
  EXPECT_NEAR(tree->model()->coefficients[0], 1.0, 1e-12);
  // x and x^2 coincide on {0, 1}: the minimum-norm solution splits the weight.
  EXPECT_NEAR(tree->model()->coefficients[1], -0.5, 1e-12);
  EXPECT_NEAR(tree->model()->coefficients[2], -0.5, 1e-12);
  EXPECT_EQ(mdl_score(e, tree.get(), 0.0, e.data.training_count), -INFINITY);
}

TEST_F(Fitting, EvaluatingTwiceFitsOnceAndDrawsOncePerNewModel) {
  Tree tree = function(e, function(e, terminal(e, 0), terminal(e, 5)),
                       function(e, terminal(e, 1), terminal(e, 9)));
  RandomGenerators expected = e.random;
  const double first = evaluate_tree(e, tree.get());
  for (int i = 0; i < 3; ++i) (void)lrand31(expected);
  EXPECT_EQ(e.random.integer_state, expected.integer_state);
  EXPECT_EQ(evaluate_tree(e, tree.get()), first);
  EXPECT_EQ(e.random.integer_state, expected.integer_state);
  // The root fits its children's outputs: its error is no worse than theirs.
  EXPECT_LE(first, tree->child(0)->model()->sn2 + 1e-15);
  EXPECT_LE(first, tree->child(1)->model()->sn2 + 1e-15);
}
