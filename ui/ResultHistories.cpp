#include "ui/ResultHistories.h"

#include <algorithm>

namespace quarvel::ui {

ResultHistories::ResultHistories(int populations, int generations) {
  const auto count = static_cast<std::size_t>(std::max(populations, 0));
  const auto per_generation = std::vector<double>(static_cast<std::size_t>(generations), 0.0);
  for (auto* table : {&mdl, &mse, &validation_mse, &best_nodes, &average_nodes}) {
    table->assign(count, per_generation);
  }
}

void ResultHistories::record(const runs::GenerationResults& results) {
  const auto g = static_cast<std::size_t>(results.generation);
  for (std::size_t p = 0; p < results.populations.size() && p < mdl.size(); ++p) {
    const runs::PopulationReport& report = results.populations[p];
    mdl[p][g] = report.best_mdl;
    mse[p][g] = report.best_mse;
    validation_mse[p][g] = report.validation_mse;
    best_nodes[p][g] = report.best_node_count;
    average_nodes[p][g] = report.average_node_count;
  }
}

}  // namespace quarvel::ui
