// Least-squares fitting of function nodes and the error and MDL scores.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/treeops.h"

namespace quarvel {

struct Engine;

// 1, x1, x2, x1*x2, x1^2, x2^2, each entry limited to [-limit, limit].
[[nodiscard]] std::vector<double> regressors_two_inputs(double x1, double x2, double value_limit);
// 1, x1, x1^2 (no limit; x2 is not used).
[[nodiscard]] std::vector<double> regressors_one_input(double x1, double x2, double value_limit);

// True when |a[t] - b[t]| <= 0.001 at every one of the first n points.
[[nodiscard]] bool inputs_coincide(std::span<const double> a, std::span<const double> b,
                                   std::int32_t n);

// Coefficients of the normal equations over the first m design-matrix columns.
[[nodiscard]] std::vector<double> solve_coefficients(Engine& engine, std::int32_t n,
                                                     std::int32_t m);
// The mean squared error of a fitted node's outputs, or of a terminal's series.
[[nodiscard]] double node_sn2(const Engine& engine, const TreeNode* node);

// Fits the node's model and, first, those of its unfitted descendants.
void fit_node(Engine& engine, TreeNode* node);

// The outputs of a fitted node's model, computed again from its coefficients
// when the store gave them up.
[[nodiscard]] std::vector<double> model_outputs(Engine& engine, const TreeNode* node);
// Stores `outputs` as those of the model's fit (a fit made by hand, in tests
// and benchmarks).
void store_outputs(Engine& engine, NodeModel& model, std::span<const double> outputs);

// Fits, on the engine's fit threads, every model the population's individuals
// still need, with the same results and the same integer draws as evaluating
// them in order. Does nothing on the reference path, with one thread, or for
// too few new models; evaluation then fits them itself.
void fit_population_models(Engine& engine, std::int32_t population);
inline constexpr std::size_t kParallelFitMinimum = 64;

// Fits every unfitted model of the tree; the root's mean squared error (NaN gives 0).
[[nodiscard]] double evaluate_tree(Engine& engine, TreeNode* tree);

[[nodiscard]] std::int32_t count_coefficients(const Engine& engine, const TreeNode* tree);

// WE * N * ln(s) + W * k * ln(N), k the tree's coefficient count.
[[nodiscard]] double mdl_score(const Engine& engine, const TreeNode* tree, double s,
                               std::int32_t n);

}  // namespace quarvel
