// The engine object: all engine-wide state in one place. A program creates one;
// tests create fresh ones.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/dataset.h"
#include "engine/matrix.h"
#include "engine/outputstore.h"
#include "engine/parameters.h"
#include "engine/random.h"
#include "engine/treeops.h"

namespace quarvel {

// What the front ends read after a step, refilled for one population at a time.
struct GenerationReport {
  double best_sn2 = 0.0;
  double best_mdl = 0.0;
  std::vector<double> prediction = std::vector<double>(kDataSetCapacity, 0.0);
  std::string tree_text;
  // Figures for the fitness and gene-length charts (report_run_figures).
  double validation_mse = 0.0;  // prediction against the data over the forecast points
  double best_node_count = 0.0;
  double average_node_count = 0.0;
};

// Node fitting goes through the matrix routines (the reference) or through the
// fixed-size fast path, which gives bit-identical results.
enum class FitPath { reference, fast };

// Scratch space of one fitting thread on the fast path, reused from fit to fit.
struct FitWorkspace {
  std::vector<double> rows;  // regressor rows, 8 doubles a point
};

// The training series behind as many zeros as the longest lag: the inputs of
// terminal Xk (the series k points back, 0 before its start) read in place.
struct LaggedSeries {
  std::vector<double> padded;
  std::int32_t longest_lag = 0;
  [[nodiscard]] const double* inputs(std::int32_t lag) const noexcept {
    return padded.data() + (longest_lag - lag);
  }
};

inline constexpr int kMaxFitThreads = 2;

// The CPUs this process may run on: its affinity mask, and SLURM_CPUS_PER_TASK
// where that is set and smaller (a batch system that does not pin its tasks
// still gives each only so many CPUs); at least 1.
[[nodiscard]] int usable_cpu_count();

struct Engine {
  Engine();

  DataSet data;
  RunParameters parameters;
  RandomGenerators random;

  // Run-wide copies taken over by apply_run_parameters.
  std::int32_t population_count = 0;
  std::int32_t evaluate_by_mdl = 1;
  double mdl_weight = 1.0;
  double mdl_error_weight = 1.0;

  std::vector<Population> populations;
  ModelRegistry registry;
  FunctionTable function_table;
  Matrix design_matrix;  // training count rows of 10 doubles
  FitPath fit_path = FitPath::fast;
  FitWorkspace fit_workspaces[kMaxFitThreads];
  LaggedSeries lagged_series;
  // Fitted models by the identity of their inputs (fast path): a new model over
  // inputs fitted before takes those results instead of a new fit, sharing
  // their outputs.
  std::unordered_map<FitKey, NodeModel*, FitKeyHash> fit_cache;
  OutputStore outputs;
  // Threads that fit a population's new models (fast path only); 1 fits in order.
  // A fresh engine takes as many as the process has CPUs, up to kMaxFitThreads.
  int fit_threads = 1;
  GenerationReport report;
};

}  // namespace quarvel
