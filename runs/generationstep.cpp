#include "runs/generationstep.h"

#include <algorithm>

#include "engine/engine.h"
#include "engine/generations.h"
#include "engine/prediction.h"

namespace quarvel::runs {

void run_generation(Engine& engine, std::int32_t generation, GenerationResults& results) {
  generation_step(engine, generation);
  results.generation = generation;
  results.populations.resize(static_cast<std::size_t>(engine.population_count));
  const auto points = static_cast<std::ptrdiff_t>(engine.data.point_count);
  GenerationReport& report = engine.report;
  for (std::int32_t p = 0; p < engine.population_count; ++p) {
    report_best_tree(engine, report, p);
    fill_prediction(engine, report, p);
    report_run_figures(engine, report, p);
    PopulationReport& shown = results.populations[static_cast<std::size_t>(p)];
    shown.best_mse = report.best_sn2;
    shown.best_mdl = report.best_mdl;
    shown.validation_mse = report.validation_mse;
    shown.best_node_count = report.best_node_count;
    shown.average_node_count = report.average_node_count;
    shown.tree_text = report.tree_text;
    shown.prediction.assign(report.prediction.begin(), report.prediction.begin() + points);
  }
}

bool run_generations(Engine& engine, GenerationResults& results, const AfterGeneration& after,
                     const StopAsked& stop) {
  const std::int32_t generations = engine.parameters.number_of_generations;
  for (std::int32_t g = 0; g < generations; ++g) {
    if (g > 0 && stop && stop()) return false;
    run_generation(engine, g, results);
    if (after) after(results);
  }
  return true;
}

}  // namespace quarvel::runs
