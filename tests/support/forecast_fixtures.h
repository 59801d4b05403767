// Fixtures of the forecast tests: an evolved run, and short series made by a
// formula.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "engine/engine.h"
#include "runs/generationstep.h"
#include "runs/startrun.h"

namespace quarvel::forecasting {

// A short run on the sunspots example as the window starts it: two
// populations of evolved trees, deep enough to hold one-input nodes and
// shared subtrees.
inline std::unique_ptr<Engine> evolved_sunspots_run(int generations = 6) {
  const std::string dir = QUARVEL_EXAMPLES;
  const auto training = data::read_data_file(dir + "/sunspots-training.txt");
  const auto validation = data::read_data_file(dir + "/sunspots-validation.txt");
  const data::GridColumns training_grid = data::make_grid(training.values, 0);
  const data::GridColumns validation_grid =
      data::make_grid(validation.values, static_cast<std::int64_t>(training_grid.rows()));
  runs::SettingsTexts settings;
  settings.set(runs::Setting::generations, std::to_string(generations));
  settings.set(runs::Setting::populations, "2");
  settings.set(runs::Setting::population_size, "200");
  settings.set(runs::Setting::growth, 1, "ramped");
  settings.set(runs::Setting::depth_new, 1, "5");
  settings.set(runs::Setting::rank_by, "mse");
  settings.set(runs::Setting::overlap, "119");
  auto engine = std::make_unique<Engine>();
  EXPECT_EQ(runs::start_run(*engine, training_grid, validation_grid, settings).error,
            runs::StartError::none);
  runs::GenerationResults results;
  runs::run_generations(*engine, results);
  return engine;
}

// f(0), f(1), ..., f(n - 1).
template <typename Formula>
std::vector<double> samples(int n, Formula f) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) values.push_back(f(static_cast<double>(t)));
  return values;
}

}  // namespace quarvel::forecasting
