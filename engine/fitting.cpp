#include "engine/fitting.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>
#include <unordered_map>

#include "engine/engine.h"
#include "engine/fastfit.h"
#include "engine/jacobi.h"
#include "engine/regressors.h"

namespace quarvel {

namespace {

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
  std::vector<double> r = alloc_vector(kTwoInputCoefficients);
  two_input_regressors(x1, x2, value_limit, r.data());
  return r;
}

std::vector<double> regressors_one_input(double x1, double /*x2*/, double /*value_limit*/) {
  std::vector<double> r = alloc_vector(kOneInputCoefficients);
  one_input_regressors(x1, r.data());
  return r;
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
    for (std::int32_t j = 0; j < m; ++j)
      sum += model.coefficients[static_cast<std::size_t>(j)] * row[j];
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

namespace {

// Reference: rows of the design matrix from the builder, then the normal
// equations through the matrix routines.
void fit_through_matrix_routines(Engine& engine, NodeModel& model, std::span<const double> left,
                                 std::span<const double> right, std::int32_t n) {
  const std::int32_t m = engine.function_table.coefficient_count(model.kind_id);
  const RegressorBuilder build = engine.function_table.builder(model.kind_id);
  for (std::int32_t t = 0; t < n; ++t) {
    const auto i = static_cast<std::size_t>(t);
    const std::vector<double> regressors = build(left[i], right[i], engine.data.value_limit);
    std::copy(regressors.begin(), regressors.begin() + m, engine.design_matrix.row(t));
  }
  model.coefficients = solve_coefficients(engine, n, m);
}

// The same sums in the same order as the reference chain, on fixed-size arrays:
// X^T X (upper triangle, mirrored) and X^T y in one pass over the points, then
// the pseudo-inverse V P V^T A^T with the very same products and eigen-solver.
template <int M>
void fit_fixed_size(const DataSet& data, FitWorkspace& workspace, NodeModel& model,
                    std::span<const double> left, std::span<const double> right, std::int32_t n) {
  const double limit = data.value_limit;
  const double* y = data.values.data();
  double sums[7 * 8];
  std::vector<double>& rows = workspace.rows;
  rows.resize(static_cast<std::size_t>(n) * 8);
  fastfit::accumulate_normal_equations(M == kTwoInputCoefficients, left.data(), right.data(), y, n,
                                       limit, sums, rows.data());
  double xtx[M][M];
  double xty[M];
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < M; ++j) xtx[i][j] = j >= i ? sums[i * 8 + j] : sums[j * 8 + i];
    xty[i] = sums[6 * 8 + i];
  }

  double ata[M * M];
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < M; ++j) {
      double sum = 0.0;
      for (int k = 0; k < M; ++k) sum += xtx[k][i] * xtx[k][j];
      ata[i * M + j] = sum;
    }
  }
  double e[M];
  double v[M * M];
  jacobi_eigen_in_place<M>(ata, M, e, v);
  double p[M][M] = {};
  for (int i = 0; i < M; ++i) {
    if (!(e[i] / e[0] >= 1e-10)) break;
    p[i][i] = 1.0 / e[i];
  }
  double l[M][M];
  double r[M][M];
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < M; ++j) {
      double sl = 0.0;
      double sr = 0.0;
      for (int k = 0; k < M; ++k) {
        sl += xtx[i][k] * v[k * M + j];
        sr += v[i * M + k] * p[k][j];
      }
      l[i][j] = sl;
      r[i][j] = sr;
    }
  }
  double pinv[M][M];
  for (int i = 0; i < M; ++i) {
    for (int j = 0; j < M; ++j) {
      double sum = 0.0;
      for (int k = 0; k < M; ++k) sum += r[i][k] * l[j][k];
      pinv[i][j] = sum;
    }
  }
  model.coefficients.assign(M, 0.0);
  for (int i = 0; i < M; ++i) {
    double sum = 0.0;
    for (int k = 0; k < M; ++k) sum += pinv[i][k] * xty[k];
    model.coefficients[static_cast<std::size_t>(i)] = sum;
  }

  // Outputs and their error in a second pass, the regressors formed again.
  model.outputs.resize(static_cast<std::size_t>(n));
  fastfit::node_outputs(M == kTwoInputCoefficients, left.data(), right.data(), n, limit,
                        model.coefficients.data(), model.outputs.data());
  double error = 0.0;
  for (std::int32_t t = 0; t < n; ++t) {
    const double d = y[t] - model.outputs[static_cast<std::size_t>(t)];
    error += d * d;
  }
  model.sn2 = error / static_cast<double>(n);
}

// A child's inputs for the fast path: a function child's outputs as they are,
// a terminal's lagged series gathered into reusable scratch.
std::span<const double> fast_child_inputs(const DataSet& data, std::vector<double>& scratch,
                                          const TreeNode* child, std::int32_t n) {
  if (child->is_function()) return {child->model()->outputs.data(), static_cast<std::size_t>(n)};
  scratch.resize(static_cast<std::size_t>(n));
  const std::int32_t lag = child->id + 1;
  for (std::int32_t t = 0; t < n; ++t)
    scratch[static_cast<std::size_t>(t)] = series_value(data, t, lag);
  return scratch;
}

// Fits a node whose children are fitted. A first fit takes the kind drawn by
// the caller (`draw` yields the function-table index when it is needed).
template <class Draw>
void fit_fast(const DataSet& data, FitWorkspace& workspace, TreeNode* node, Draw draw) {
  NodeModel& model = *node->model();
  const std::int32_t n = data.training_count;
  const std::span<const double> left = fast_child_inputs(data, workspace.left, node->child(0), n);
  const std::span<const double> right = fast_child_inputs(data, workspace.right, node->child(1), n);
  const bool same = inputs_coincide(left, right, n);
  if (model.kind_id == kUnfittedKind) {
    const std::int32_t r = draw();
    model.kind_id = same ? -(r + 1) : r + 1;
  }
  if (model.kind_id > 0) {
    fit_fixed_size<kTwoInputCoefficients>(data, workspace, model, left, right, n);
  } else {
    fit_fixed_size<kOneInputCoefficients>(data, workspace, model, left, right, n);
  }
}

std::int64_t input_identity(const TreeNode* child) {
  if (!child->is_function()) return -(static_cast<std::int64_t>(child->id) + 1);
  const NodeModel& model = *child->model();
  return model.canonical != 0 ? model.canonical : model.serial;
}

FitKey fit_key_of(const TreeNode* node) {
  return {input_identity(node->child(0)), input_identity(node->child(1))};
}

// With a single function kind a model's form follows from its inputs alone, so
// equal inputs give equal fits and the cache may serve them.
bool fit_cache_usable(const Engine& engine) {
  return engine.fit_path == FitPath::fast && engine.function_table.size() == 1;
}

void copy_fit(NodeModel& to, const NodeModel& from) {
  to.kind_id = from.kind_id;
  to.coefficients = from.coefficients;
  to.outputs = from.outputs;
  to.sn2 = from.sn2;
  to.canonical = from.canonical;
}

void remember_fit(Engine& engine, NodeModel& model, const FitKey& key) {
  model.fit_key = key;
  model.in_fit_cache = engine.fit_cache.emplace(key, &model).second;
}

}  // namespace

void fit_node(Engine& engine, TreeNode* node) {
  if (!node->is_function()) return;
  NodeModel& model = *node->model();
  if (model.fitted()) return;
  for (int c = 0; c < 2; ++c) {
    TreeNode* child = node->child(c);
    if (child->is_function() && !child->model()->has_outputs()) fit_node(engine, child);
  }

  const std::int32_t n = engine.data.training_count;
  if (engine.fit_path == FitPath::fast) {
    auto draw = [&engine] { return random_int(engine.random, engine.function_table.size()); };
    const bool cached = fit_cache_usable(engine);
    const FitKey key = cached ? fit_key_of(node) : FitKey{};
    if (cached) {
      if (const auto hit = engine.fit_cache.find(key); hit != engine.fit_cache.end()) {
        if (model.kind_id == kUnfittedKind) (void)draw();
        copy_fit(model, *hit->second);
        return;
      }
    }
    fit_fast(engine.data, engine.fit_workspaces[0], node, draw);
    model.canonical = model.serial;
    if (cached) remember_fit(engine, model, key);
    return;
  }

  const std::vector<double> left = child_inputs(engine, node->child(0), n);
  const std::vector<double> right = child_inputs(engine, node->child(1), n);
  const bool same = inputs_coincide(left, right, n);
  if (model.kind_id == kUnfittedKind) {
    const std::int32_t r = random_int(engine.random, engine.function_table.size());
    model.kind_id = same ? -(r + 1) : r + 1;
  }
  fit_through_matrix_routines(engine, model, left, right, n);
  node_outputs(engine, node);
  model.sn2 = node_sn2(engine, node);
  model.canonical = model.serial;
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

namespace quarvel {

namespace {

// Post-order walk giving each unfitted model its level: 0 when its children need
// no fit, otherwise one above the highest unfitted child. Shared models are
// visited once.
int collect_unfitted(TreeNode* node, std::unordered_map<const NodeModel*, int>& level_of,
                     std::vector<std::vector<TreeNode*>>& levels, std::size_t& first_fits) {
  if (!node->is_function() || node->model()->fitted()) return -1;
  if (const auto found = level_of.find(node->model()); found != level_of.end())
    return found->second;
  const int below = std::max(collect_unfitted(node->child(0), level_of, levels, first_fits),
                             collect_unfitted(node->child(1), level_of, levels, first_fits));
  const int level = below + 1;
  level_of.emplace(node->model(), level);
  if (levels.size() <= static_cast<std::size_t>(level))
    levels.resize(static_cast<std::size_t>(level) + 1);
  levels[static_cast<std::size_t>(level)].push_back(node);
  if (node->model()->kind_id == kUnfittedKind) ++first_fits;
  return level;
}

}  // namespace

void fit_population_models(Engine& engine, std::int32_t population) {
  if (!fit_cache_usable(engine) || engine.fit_threads < 2) return;
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  std::unordered_map<const NodeModel*, int> level_of;
  std::vector<std::vector<TreeNode*>> levels;
  std::size_t first_fits = 0;
  for (Tree& tree : pop.individuals) collect_unfitted(tree.get(), level_of, levels, first_fits);
  if (level_of.size() < kParallelFitMinimum) return;  // not worth a thread: fit in order

  // Evaluating in order would draw once per first fit and nothing else in
  // between; with a single function kind every draw selects it.
  for (std::size_t i = 0; i < first_fits; ++i) (void)random_int(engine.random, 1);

  const DataSet& data = engine.data;
  std::vector<TreeNode*> to_fit;
  std::vector<std::pair<NodeModel*, const NodeModel*>> copies;
  for (const std::vector<TreeNode*>& level : levels) {
    // Inputs fitted before (or twice in this level) are fitted once and copied.
    to_fit.clear();
    copies.clear();
    for (TreeNode* node : level) {
      const FitKey key = fit_key_of(node);
      if (const auto hit = engine.fit_cache.find(key); hit != engine.fit_cache.end()) {
        copies.emplace_back(node->model(), hit->second);
      } else {
        remember_fit(engine, *node->model(), key);
        to_fit.push_back(node);
      }
    }
    std::atomic<std::size_t> next{0};
    auto work = [&](FitWorkspace& workspace) {
      for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < to_fit.size();) {
        fit_fast(data, workspace, to_fit[i], [] { return std::int32_t{0}; });
        to_fit[i]->model()->canonical = to_fit[i]->model()->serial;
      }
    };
    {
      std::optional<std::jthread> helper;  // a second thread only for a level worth it
      if (to_fit.size() >= kParallelFitMinimum / 4)
        helper.emplace(work, std::ref(engine.fit_workspaces[1]));
      work(engine.fit_workspaces[0]);
    }
    for (const auto& [model, source] : copies) copy_fit(*model, *source);
  }
}

}  // namespace quarvel
