// The best tree of a population as named node equations, and the files that
// take the model out of the program: the formula as text (model-K.txt), a
// Python module (model-K.py) and a C header (model-K.h) that reproduce the
// program's own predictions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/settings.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::frontend {

// An input of a node: the scaled value `index` steps back (Xk), or the output
// of an earlier node (n`index`).
struct ModelInput {
  bool node = false;
  int index = 0;
};

// One node of the tree: the quadratic on two inputs
//   c0·lim(1) + c1·lim(a) + c2·lim(b) + c3·lim(a·b) + c4·lim(a²) + c5·lim(b²),
// each term bounded to [-L, L] by the value limit L, summed from 0 in this
// order; or, where both inputs coincide on the training points, the one-input
// form c0 + c1·a + c2·a² on the first.
struct NodeEquation {
  ModelInput first;
  ModelInput second;
  bool one_input = false;
  std::vector<double> coefficients;
};

struct ModelFormula {
  std::vector<NodeEquation> nodes;  // in evaluation order: n1, n2, ...
  ModelInput output;                // a lone terminal when the tree is one
  std::vector<int> lags;            // the lags the model reads, ascending
  double value_limit = 0.0;
  double low = 0.0;  // the minimum and maximum the series was scaled by
  double high = 1.0;
};

// The best tree of `population` (0-based) of the engine's run. A subtree the
// tree holds twice (the same fitted model) is one node.
[[nodiscard]] ModelFormula describe_best_tree(const Engine& engine, std::int32_t population);

// The equations with their coefficients at full precision, and the output.
[[nodiscard]] std::string formula_text(const ModelFormula& formula);

// What the Python module needs to draw the program's prediction bands past the
// data (forecast_intervals): the run's training count, the start of the draws
// of its bands past the data (path_seed) and the levels and paths it used.
struct IntervalExport {
  std::int32_t training_points = 0;
  std::uint64_t seed = 0;
  std::vector<double> levels;
  std::int32_t paths = 0;
};

// What the files record of the run besides the model.
struct ModelContext {
  std::int32_t population = 1;  // 1-based
  std::string training_file;
  std::string validation_file;
  std::vector<std::pair<std::string, std::string>> settings;  // option, value
  double training_mse = 0.0;
  double mdl = 0.0;
  // With prediction intervals: the module gains forecast_intervals.
  std::optional<IntervalExport> intervals;
};

// The context of `population` (0-based): its settings from `settings` (the
// run-wide ones and those of its page), its best MSE and MDL from the engine.
[[nodiscard]] ModelContext model_context(const Engine& engine, std::int32_t population,
                                         const RunSettings& settings, std::string training_file,
                                         std::string validation_file);
// The same from the population's figures as the run reported them.
[[nodiscard]] ModelContext model_context(std::int32_t population, const RunSettings& settings,
                                         double training_mse, double mdl, std::string training_file,
                                         std::string validation_file);

[[nodiscard]] std::string model_text(const ModelFormula& formula, const ModelContext& context);
[[nodiscard]] std::string model_python(const ModelFormula& formula, const ModelContext& context);
[[nodiscard]] std::string model_c_header(const ModelFormula& formula, const ModelContext& context);

// The three files of a population: {"model-K.txt", text}, {"model-K.py", ...},
// {"model-K.h", ...}.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> model_files(
    const ModelFormula& formula, const ModelContext& context);

}  // namespace quarvel::frontend
