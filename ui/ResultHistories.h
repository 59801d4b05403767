// The display store of one run: per population the best individual's MDL and
// MSE after every generation and the figures of the two chart windows
// (forecast error, best and mean node counts).
#pragma once

#include <vector>

#include "runs/generationstep.h"

namespace quarvel::ui {

struct ResultHistories {
  ResultHistories() = default;
  ResultHistories(int populations, int generations);

  // The figures of `results.generation`.
  void record(const runs::GenerationResults& results);

  std::vector<std::vector<double>> mdl;
  std::vector<std::vector<double>> mse;
  std::vector<std::vector<double>> validation_mse;
  std::vector<std::vector<double>> best_nodes;
  std::vector<std::vector<double>> average_nodes;
};

}  // namespace quarvel::ui
