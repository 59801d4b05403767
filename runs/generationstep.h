// One generation of a run as every front end drives it: the engine's step,
// then each population's report, taken out of the engine's single report so
// that it can be shown, written or compared after the next population's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarvel {
struct Engine;
}

namespace quarvel::runs {

struct PopulationReport {
  double best_mse = 0.0;
  double best_mdl = 0.0;
  double validation_mse = 0.0;  // of the forecast against the data after the overlap
  double best_node_count = 0.0;
  double average_node_count = 0.0;
  std::string tree_text;
  std::vector<double> prediction;  // one value per data point
};

struct GenerationResults {
  std::int32_t generation = 0;
  std::vector<PopulationReport> populations;
};

// Runs generation `generation` of the started run and fills `results` (whose
// buffers are reused from generation to generation).
void run_generation(Engine& engine, std::int32_t generation, GenerationResults& results);

// Runs every generation of the started run, each followed by `after` (when
// given) with its results: the one run loop of the runner's single run, each
// run of many, and the tests' reference runs. `stop`, when given, is asked
// between two generations: true ends the run there. Whether the run went
// through its last generation.
using AfterGeneration = std::function<void(const GenerationResults&)>;
using StopAsked = std::function<bool()>;
bool run_generations(Engine& engine, GenerationResults& results, const AfterGeneration& after = {},
                     const StopAsked& stop = {});

}  // namespace quarvel::runs
