// The engine object: all engine-wide state in one place. A program creates one;
// tests create fresh ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataset.h"
#include "matrix.h"
#include "parameters.h"
#include "random.h"
#include "treeops.h"

namespace quarvel {

// What the front ends read after a step, refilled for one population at a time.
struct GenerationReport {
  double best_sn2 = 0.0;
  double best_mdl = 0.0;
  std::vector<double> prediction = std::vector<double>(kDataSetCapacity, 0.0);
  std::string tree_text;
};

// Node fitting goes through the matrix routines (the reference) or through the
// fixed-size fast path, which gives bit-identical results.
enum class FitPath { reference, fast };

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
  std::vector<double> fit_scratch[3];  // the fast path's terminal inputs and regressor rows
  GenerationReport report;
};

}  // namespace quarvel
