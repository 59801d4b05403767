// A short run on the sunspots example as the window starts it: two
// populations of evolved trees, deep enough to hold one-input nodes, shared
// subtrees and clipped terms.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/engine.h"
#include "frontend/datafile.h"
#include "frontend/generationstep.h"
#include "frontend/startrun.h"

namespace quarvel::frontend {

inline std::unique_ptr<Engine> evolved_sunspots_run(int generations = 6) {
  const std::string dir = QUARVEL_EXAMPLES;
  const auto training = read_data_file(dir + "/sunspots-training.txt");
  const auto validation = read_data_file(dir + "/sunspots-validation.txt");
  const GridColumns training_grid = make_grid(training.values, 0);
  const GridColumns validation_grid =
      make_grid(validation.values, static_cast<std::int64_t>(training_grid.rows()));
  SettingsTexts settings;
  settings.set(Setting::generations, std::to_string(generations));
  settings.set(Setting::populations, "2");
  settings.set(Setting::population_size, "200");
  settings.set(Setting::growth, 1, "ramped");
  settings.set(Setting::depth_new, 1, "5");
  settings.set(Setting::rank_by, "mse");
  settings.set(Setting::overlap, "119");
  auto engine = std::make_unique<Engine>();
  EXPECT_EQ(start_run(*engine, training_grid, validation_grid, settings).error, StartError::none);
  GenerationResults results;
  for (int g = 0; g < generations; ++g) run_generation(*engine, g, results);
  return engine;
}

}  // namespace quarvel::frontend
