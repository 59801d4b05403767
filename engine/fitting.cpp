#include "engine/fitting.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "engine/engine.h"
#include "engine/fastfit.h"
#include "engine/jacobi.h"
#include "engine/regressors.h"

namespace quarvel {

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

double node_sn2(const Engine& engine, const TreeNode* node) {
  if (node->is_function()) return node->model()->sn2;
  const std::int32_t n = engine.data.training_count;
  double sum = 0.0;
  for (std::int32_t t = 0; t < n; ++t) {
    const double d = series_value(engine.data, t, 0) - series_value(engine.data, t, node->id + 1);
    sum += d * d;
  }
  return sum / static_cast<double>(n);
}

namespace {

// The mean squared error of outputs against the training series.
double outputs_error(const DataSet& data, const double* outputs, std::int32_t n) {
  double sum = 0.0;
  for (std::int32_t t = 0; t < n; ++t) {
    const double d = series_value(data, t, 0) - outputs[t];
    sum += d * d;
  }
  return sum / static_cast<double>(n);
}

// Reference: rows of the design matrix from the builder, for the normal
// equations through the matrix routines and for the outputs.
void fill_design_matrix(Engine& engine, std::int32_t kind_id, const double* left,
                        const double* right, std::int32_t n) {
  const std::int32_t m = engine.function_table.coefficient_count(kind_id);
  const RegressorBuilder build = engine.function_table.builder(kind_id);
  for (std::int32_t t = 0; t < n; ++t) {
    const std::vector<double> regressors = build(left[t], right[t], engine.data.value_limit);
    std::copy(regressors.begin(), regressors.begin() + m, engine.design_matrix.row(t));
  }
}

// Reference: each output the sum of coefficient times design-matrix entry.
void design_matrix_outputs(const Engine& engine, const NodeModel& model, std::int32_t n,
                           double* out) {
  const auto m = static_cast<std::int32_t>(model.coefficients.size());
  for (std::int32_t t = 0; t < n; ++t) {
    out[t] = terms_sum(model.coefficients.data(), engine.design_matrix.row(t), m);
  }
}

// The same sums in the same order as the reference chain, on fixed-size arrays:
// X^T X (upper triangle, mirrored) and X^T y in one pass over the points, then
// the pseudo-inverse V P V^T A^T with the very same products and eigen-solver.
template <int M>
void fit_fixed_size(const DataSet& data, FitWorkspace& workspace, NodeModel& model,
                    const double* left, const double* right, std::int32_t n, double* out) {
  const double limit = data.value_limit;
  const double* y = data.values.data();
  double sums[7 * 8];
  std::vector<double>& rows = workspace.rows;
  rows.resize(static_cast<std::size_t>(n) * 8);
  fastfit::accumulate_normal_equations(M == kTwoInputCoefficients, left, right, y, n, limit, sums,
                                       rows.data());
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
  fastfit::node_outputs(M == kTwoInputCoefficients, left, right, n, limit,
                        model.coefficients.data(), out);
  double error = 0.0;
  for (std::int32_t t = 0; t < n; ++t) {
    const double d = y[t] - out[t];
    error += d * d;
  }
  model.sn2 = error / static_cast<double>(n);
}

// Fits a node over the given inputs of its children. A first fit takes the
// kind drawn by the caller (`draw` yields the function-table index when it is
// needed).
template <class Draw>
void fit_fast(const DataSet& data, FitWorkspace& workspace, const TreeNode* node, Draw draw,
              const double* left, const double* right, double* out) {
  NodeModel& model = *node->model();
  const std::int32_t n = data.training_count;
  const auto size = static_cast<std::size_t>(n);
  const bool same = inputs_coincide({left, size}, {right, size}, n);
  if (model.kind_id == kUnfittedKind) {
    const std::int32_t r = draw();
    model.kind_id = same ? -(r + 1) : r + 1;
  }
  if (model.kind_id > 0) {
    fit_fixed_size<kTwoInputCoefficients>(data, workspace, model, left, right, n, out);
  } else {
    fit_fixed_size<kOneInputCoefficients>(data, workspace, model, left, right, n, out);
  }
}

// A fitted model's outputs again, from its coefficients and its children's
// inputs, with the arithmetic of the path that fitted it: the same bits.
void recompute_outputs(Engine& engine, const NodeModel& model, const double* left,
                       const double* right, double* out) {
  const std::int32_t n = engine.data.training_count;
  if (engine.fit_path == FitPath::fast) {
    fastfit::node_outputs(model.kind_id > 0, left, right, n, engine.data.value_limit,
                          model.coefficients.data(), out);
  } else {
    fill_design_matrix(engine, model.kind_id, left, right, n);
    design_matrix_outputs(engine, model, n, out);
  }
}

std::int64_t input_identity(const TreeNode* child) {
  if (!child->is_function()) return -(static_cast<std::int64_t>(child->id) + 1);
  return child->model()->fit_identity();
}

FitKey fit_key_of(const TreeNode* node) {
  return {input_identity(node->child(0)), input_identity(node->child(1))};
}

// With a single function kind a model's form follows from its inputs alone, so
// equal inputs give equal fits and the cache may serve them.
bool fit_cache_usable(const Engine& engine) {
  return engine.fit_path == FitPath::fast && engine.function_table.size() == 1;
}

// The results of `from` for `to`, outputs included: they are stored under the
// fit's identity, which `to` takes over.
void share_fit(NodeModel& to, const NodeModel& from) {
  to.kind_id = from.kind_id;
  to.coefficients = from.coefficients;
  to.sn2 = from.sn2;
  to.canonical = from.canonical;
}

void remember_fit(Engine& engine, NodeModel& model, const FitKey& key) {
  model.fit_key = key;
  model.in_fit_cache = engine.fit_cache.emplace(key, &model).second;
}

// A fit or a recomputation of outputs: the node, its children's inputs and
// the room for its outputs.
struct OutputJob {
  const TreeNode* node;
  const double* left;
  const double* right;
  double* out;
};

// The outputs a batch of fits reads and writes, held in the store until the
// batch is done. Inputs the store gave up are computed again first, level by
// level: a level reads only outputs that are held or made by the levels
// before it. Should the batch not finish, the outputs it created are dropped:
// nothing half-written stays behind under a fit's name.
class BatchOutputs {
 public:
  explicit BatchOutputs(Engine& engine) : engine_(engine) {}
  BatchOutputs(const BatchOutputs&) = delete;
  BatchOutputs& operator=(const BatchOutputs&) = delete;
  ~BatchOutputs() {
    for (const std::int64_t fit : held_) engine_.outputs.release(fit);
    if (!done_) {
      for (const std::int64_t fit : created_) engine_.outputs.drop(fit);
    }
  }

  // What `child` delivers to its parent's fit: a terminal's lagged series or
  // the outputs of the child's model.
  [[nodiscard]] const double* input(const TreeNode* child) { return plan(child).values; }

  // Room for the outputs of the first fit of `node`'s model.
  [[nodiscard]] double* output(const TreeNode* node) { return create(node->model()->serial); }

  // The outputs to compute again, by level.
  [[nodiscard]] std::vector<std::vector<OutputJob>>& recomputations() { return levels_; }

  // Every output of the batch is written: keep them.
  void done() noexcept { done_ = true; }

 private:
  struct Planned {
    const double* values;
    int level;  // of the recomputation that makes them; -1 when they are there
  };

  Planned plan(const TreeNode* child) {
    if (!child->is_function()) return {engine_.lagged_series.inputs(child->id + 1), -1};
    const std::int64_t fit = child->model()->fit_identity();
    held_.reserve(held_.size() + 1);
    if (const double* values = engine_.outputs.hold(fit)) {
      held_.push_back(fit);
      const auto pending = pending_.find(fit);
      return {values, pending == pending_.end() ? -1 : pending->second};
    }
    const Planned left = plan(child->child(0));
    const Planned right = plan(child->child(1));
    const int level = std::max(left.level, right.level) + 1;
    const auto index = static_cast<std::size_t>(level);
    if (levels_.size() <= index) levels_.resize(index + 1);
    levels_[index].reserve(levels_[index].size() + 1);
    double* out = create(fit);
    pending_.emplace(fit, level);
    levels_[index].push_back({child, left.values, right.values, out});
    return {out, level};
  }

  double* create(std::int64_t fit) {
    held_.reserve(held_.size() + 1);
    created_.reserve(created_.size() + 1);
    double* values = engine_.outputs.create(fit);
    held_.push_back(fit);
    created_.push_back(fit);
    return values;
  }

  Engine& engine_;
  std::vector<std::int64_t> held_;
  std::vector<std::int64_t> created_;
  std::unordered_map<std::int64_t, int> pending_;
  std::vector<std::vector<OutputJob>> levels_;
  bool done_ = false;
};

// Runs work(worker, i) for every i < count: on this thread (worker 0) and, when
// `share` and a thread can be had, on a helper thread (worker 1) as well. A
// failure on either stops the handing out of work; once both have stopped it
// is raised here.
template <class Work>
void run_shared(std::size_t count, bool share, Work work) {
  std::atomic<std::size_t> next{0};
  std::exception_ptr failures[kMaxFitThreads];
  auto take_work = [&](int worker) {
    try {
      for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;)
        work(worker, i);
    } catch (...) {
      failures[worker] = std::current_exception();
      next.store(count, std::memory_order_relaxed);
    }
  };
  {
    std::optional<std::jthread> helper;
    // No thread to be had: this one does all the work, with the same results.
    if (share) {
      try {
        helper.emplace(take_work, 1);
      } catch (const std::system_error&) {
      } catch (const std::bad_alloc&) {
      }
    }
    take_work(0);
  }
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

inline constexpr std::size_t kSharedWorkMinimum = kParallelFitMinimum / 4;

// Computes the batch's given-up inputs again, level by level.
void recompute_inputs(Engine& engine, BatchOutputs& batch, bool share) {
  for (const std::vector<OutputJob>& level : batch.recomputations()) {
    run_shared(level.size(), share && level.size() >= kSharedWorkMinimum, [&](int, std::size_t i) {
      const OutputJob& job = level[i];
      recompute_outputs(engine, *job.node->model(), job.left, job.right, job.out);
    });
  }
}

}  // namespace

void fit_node(Engine& engine, TreeNode* node) {
  if (!node->is_function()) return;
  NodeModel& model = *node->model();
  if (model.fitted()) return;
  for (int c = 0; c < 2; ++c) {
    TreeNode* child = node->child(c);
    if (child->is_function() && !child->model()->fitted()) fit_node(engine, child);
  }

  const std::int32_t n = engine.data.training_count;
  auto draw = [&engine] { return random_int(engine.random, engine.function_table.size()); };
  const bool cached = fit_cache_usable(engine);
  const FitKey key = cached ? fit_key_of(node) : FitKey{};
  if (cached) {
    if (const auto hit = engine.fit_cache.find(key); hit != engine.fit_cache.end()) {
      if (model.kind_id == kUnfittedKind) (void)draw();
      share_fit(model, *hit->second);
      return;
    }
  }

  BatchOutputs batch(engine);
  const double* left = batch.input(node->child(0));
  const double* right = batch.input(node->child(1));
  double* out = batch.output(node);
  recompute_inputs(engine, batch, false);
  if (engine.fit_path == FitPath::fast) {
    fit_fast(engine.data, engine.fit_workspaces[0], node, draw, left, right, out);
  } else {
    const auto size = static_cast<std::size_t>(n);
    const bool same = inputs_coincide({left, size}, {right, size}, n);
    if (model.kind_id == kUnfittedKind) {
      const std::int32_t r = draw();
      model.kind_id = same ? -(r + 1) : r + 1;
    }
    fill_design_matrix(engine, model.kind_id, left, right, n);
    model.coefficients =
        solve_coefficients(engine, n, engine.function_table.coefficient_count(model.kind_id));
    design_matrix_outputs(engine, model, n, out);
    model.sn2 = outputs_error(engine.data, out, n);
  }
  batch.done();
  model.canonical = model.serial;
  if (cached) remember_fit(engine, model, key);
}

void store_outputs(Engine& engine, NodeModel& model, std::span<const double> outputs) {
  const std::int64_t fit = model.fit_identity();
  double* values = engine.outputs.create(fit);
  std::copy(outputs.begin(), outputs.end(), values);
  engine.outputs.release(fit);
}

std::vector<double> model_outputs(Engine& engine, const TreeNode* node) {
  const auto n = static_cast<std::size_t>(engine.data.training_count);
  BatchOutputs batch(engine);
  const double* values = batch.input(node);
  recompute_inputs(engine, batch, false);
  batch.done();
  return {values, values + n};
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

namespace {

// Post-order walk listing each unfitted model once, children before parents.
void collect_unfitted(TreeNode* node, std::unordered_set<const NodeModel*>& seen,
                      std::vector<TreeNode*>& order, std::size_t& first_fits) {
  if (!node->is_function() || node->model()->fitted()) return;
  if (!seen.insert(node->model()).second) return;
  collect_unfitted(node->child(0), seen, order, first_fits);
  collect_unfitted(node->child(1), seen, order, first_fits);
  order.push_back(node);
  if (node->model()->kind_id == kUnfittedKind) ++first_fits;
}

// Fits a group of new models given children first, level by level: a model's
// level is one above its highest unfitted child in the group, 0 when it has none.
void fit_group(Engine& engine, std::span<TreeNode* const> group) {
  std::unordered_map<const NodeModel*, int> level_of;
  std::vector<std::vector<TreeNode*>> levels;
  for (TreeNode* node : group) {
    int below = -1;
    for (int c = 0; c < 2; ++c) {
      const TreeNode* child = node->child(c);
      if (!child->is_function()) continue;
      if (const auto found = level_of.find(child->model()); found != level_of.end())
        below = std::max(below, found->second);
    }
    const int level_number = below + 1;
    const auto level = static_cast<std::size_t>(level_number);
    level_of.emplace(node->model(), level_number);
    if (levels.size() <= level) levels.resize(level + 1);
    levels[level].push_back(node);
  }

  const DataSet& data = engine.data;
  std::vector<OutputJob> fits;
  std::vector<std::pair<NodeModel*, const NodeModel*>> shares;
  for (const std::vector<TreeNode*>& level : levels) {
    // Inputs fitted before (or twice in this level) are fitted once and shared.
    BatchOutputs batch(engine);
    fits.clear();
    shares.clear();
    for (TreeNode* node : level) {
      const FitKey key = fit_key_of(node);
      if (const auto hit = engine.fit_cache.find(key); hit != engine.fit_cache.end()) {
        shares.emplace_back(node->model(), hit->second);
      } else {
        remember_fit(engine, *node->model(), key);
        const double* left = batch.input(node->child(0));
        const double* right = batch.input(node->child(1));
        fits.push_back({node, left, right, batch.output(node)});
      }
    }
    recompute_inputs(engine, batch, true);
    run_shared(fits.size(), fits.size() >= kSharedWorkMinimum, [&](int worker, std::size_t i) {
      const OutputJob& job = fits[i];
      fit_fast(
          data, engine.fit_workspaces[worker], job.node, [] { return std::int32_t{0}; }, job.left,
          job.right, job.out);
      job.node->model()->canonical = job.node->model()->serial;
    });
    batch.done();
    for (const auto& [model, source] : shares) share_fit(*model, *source);
  }
}

}  // namespace

void fit_population_models(Engine& engine, std::int32_t population) {
  if (!fit_cache_usable(engine) || engine.fit_threads < 2) return;
  Population& pop = engine.populations[static_cast<std::size_t>(population)];
  std::unordered_set<const NodeModel*> seen;
  std::vector<TreeNode*> order;
  std::vector<std::size_t> ends;  // in `order`, after each individual's models
  std::size_t first_fits = 0;
  for (Tree& tree : pop.individuals) {
    collect_unfitted(tree.get(), seen, order, first_fits);
    ends.push_back(order.size());
  }
  if (order.size() < kParallelFitMinimum) return;  // not worth a thread: fit in order

  // Evaluating in order would draw once per first fit and nothing else in
  // between; with a single function kind every draw selects it.
  for (std::size_t i = 0; i < first_fits; ++i) (void)random_int(engine.random, 1);

  // In groups of whole individuals, small enough beside the output budget that
  // a group's outputs are still there when its next level reads them.
  const std::size_t group_size = std::max(kParallelFitMinimum, engine.outputs.capacity() / 4);
  std::size_t begin = 0;
  for (const std::size_t end : ends) {
    if (end - begin >= group_size || (end == order.size() && end > begin)) {
      fit_group(engine, std::span<TreeNode* const>(order).subspan(begin, end - begin));
      begin = end;
    }
  }
}

}  // namespace quarvel
