// The runner's output files: the checks made before the run, so that a run of
// hours never ends on a name that cannot be written, and the writing after it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"

namespace quarvel::cli {

// Refuses --output and --history paths that could not be written, or that
// would replace a data file of the run.
[[nodiscard]] std::optional<Failure> check_output_paths(const Options& options);

struct PopulationOutput {
  std::vector<double> prediction;
  std::string tree_text;
};

// The history file and, per population, prediction-K.txt and tree-K.txt.
[[nodiscard]] std::optional<Failure> write_outputs(const Options& options,
                                                   const std::string& history,
                                                   const std::vector<PopulationOutput>& results);

}  // namespace quarvel::cli
