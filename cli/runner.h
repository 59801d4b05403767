// The runner as a whole: command line, data, the run and its outputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/tabledata.h"
#include "data/datafile.h"
#include "forecasting/forecastquality.h"
#include "records/outputfile.h"
#include "runs/generationstep.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::cli {

// Runs quarvel-cli with `arguments` (without the program name); the exit status.
// The output files are written through `calls`.
[[nodiscard]] int run_command_line(std::span<const std::string> arguments,
                                   records::FileCalls& calls = records::system_file_calls());

// Prints "error: " and the message on the standard error; the failure's status.
int tell_failure(const Failure& failure);

// The data of a run, read and checked, and the options it runs with: the
// overlap detected from the data when not given.
struct RunData {
  Options options;
  data::GridColumns training;
  data::GridColumns validation;
  std::optional<SplitTable> table;  // with --data: its split and time stamps
};

// Checks the settings and reads both data files, or the table of --data
// (read_table_data), as every run does before it starts; text after a line's
// number is warned about on the standard error.
[[nodiscard]] std::optional<Failure> read_run_data(const Options& given, RunData& data);

// A data file that cannot be read, named `name` (`training file "t.txt"`):
// `reason` the system's description, or for too_large the words after the name.
[[nodiscard]] Failure data_file_failure(data::DataFileError error, const std::string& reason,
                                        const std::string& name);

// Starts a fresh `engine` on `data` at the stream of its options; `fit_threads`
// above 0 sets how many threads fit (the results do not depend on it).
[[nodiscard]] std::optional<Failure> start_engine(const RunData& data, int fit_threads,
                                                  Engine& engine);

// Runs every generation of the started run, each followed by `after` (when
// given) with its results; the run's history: the header
// "generation,population,mse,mdl", then one row per generation and
// population. The single run, each run of --runs and the tests run this loop.
using runs::AfterGeneration;
[[nodiscard]] std::string run_with_history(Engine& engine, runs::GenerationResults& results,
                                           const AfterGeneration& after = {});

// A finished run's forecasts: per population, the forecast past the data
// (with --forecast) and what its forecasts are worth (with --intervals, their
// bands too).
struct RunForecasts {
  std::vector<std::vector<double>> past_data;
  std::vector<forecasting::ForecastQuality> quality;
};

// The forecasts of the finished run; with --intervals, population
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

}  // namespace quarvel::cli
