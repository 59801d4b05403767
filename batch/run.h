// One run from its data to its files: the engine started on the data, every
// generation with the run's history, the forecasts of the finished run and
// the files of its folder. A single run, as the runner makes it without
// --runs, is
//
//   read_run_data(request, data)
//   start_engine(data, 0, engine)
//   history = run_with_history(engine, results, after)
//   forecasts = run_forecasts(data, engine, results)
//   write_outputs(data.request, OutputFolder::single_run, *history,
//                 folder_files(data, OutputFolder::single_run, engine, results, forecasts))
//
// (many runs: sweep.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/outputs.h"
#include "batch/rundata.h"
#include "forecasting/forecastquality.h"
#include "runs/generationstep.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::batch {

// Starts a fresh `engine` on `data` at the stream of its request; `fit_threads`
// above 0 sets how many threads fit (the results do not depend on it).
[[nodiscard]] std::optional<Failure> start_engine(const RunData& data, int fit_threads,
                                                  Engine& engine);

// Whatever Start would refuse of `data`, refused before any run starts (a
// scratch engine is started on it).
[[nodiscard]] std::optional<Failure> check_start(const RunData& data);

// Runs every generation of the started run, each followed by `after` (when
// given) with its results, and `stop` (when given) asked between two: true
// ends the run there. The run's history: the header
// "generation,population,mse,mdl", then one row per generation and
// population; nullopt when `stop` ended the run before its last generation.
// The single run, each run of many and the tests run this loop.
using runs::AfterGeneration;
using runs::StopAsked;
[[nodiscard]] std::optional<std::string> run_with_history(Engine& engine,
                                                          runs::GenerationResults& results,
                                                          const AfterGeneration& after = {},
                                                          const StopAsked& stop = {});

// A finished run's forecasts: per population, the forecast past the data
// (when asked for) and what its forecasts are worth (with intervals, their
// bands too).
struct RunForecasts {
  std::vector<std::vector<double>> past_data;
  std::vector<forecasting::ForecastQuality> quality;
};

// The forecasts of the finished run; with intervals, population
// `ensemble_population` (0-based) also keeps the summary of its paths that an
// ensemble pools.
[[nodiscard]] RunForecasts run_forecasts(const RunData& data, const Engine& engine,
                                         const runs::GenerationResults& results,
                                         std::optional<std::size_t> ensemble_population = {});

// The files of a finished run of `data` for a folder of kind `folder` (a
// run's, not a sweep's), as planned_outputs plans them; the tree texts are
// moved out of `results`. A run folder takes `history`, `record` and `member`
// (the ensemble's) too.
[[nodiscard]] std::vector<FolderFile> folder_files(
    const RunData& data, OutputFolder folder, const Engine& engine,
    runs::GenerationResults& results, const RunForecasts& forecasts, std::string history = {},
    std::string record = {}, std::string member = {});

}  // namespace quarvel::batch
