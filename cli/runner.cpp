#include "cli/runner.h"

#include <cstdio>
#include <memory>

#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "engine/engine.h"
#include "frontend/datafile.h"
#include "frontend/generationstep.h"
#include "frontend/numbertext.h"
#include "frontend/startrun.h"

namespace quarvel::cli {

namespace {

using namespace quarvel::frontend;

int fail(const Failure& failure) {
  std::fprintf(stderr, "error: %s\n", failure.message.c_str());
  return failure.status;
}

// Reads a data file into a grid as the window's loads do.
std::optional<Failure> load_series(const std::string& path, const char* role,
                                   std::int64_t first_time, GridColumns& grid) {
  const DataFileResult file = read_data_file(path);
  const std::string name = std::string(role) + " file \"" + path + "\"";
  switch (file.error) {
    case DataFileError::none:
      break;
    case DataFileError::cannot_open:
      return Failure{kExitDataProblem, "cannot open " + name + ": " + file.reason};
    case DataFileError::not_a_file:
      return Failure{kExitDataProblem, name + " is a folder, not a file"};
    case DataFileError::read_error:
      return Failure{kExitDataProblem, "cannot read " + name + ": " + file.reason};
  }
  if (file.values.empty()) {
    return Failure{kExitDataProblem,
                   name + " holds no values (" +
                       (file.size == 0 ? "the file is empty" : "every line is empty") + ")"};
  }
  // The window reads such lines as best it can; a script wants to hear about them.
  if (const DoubtfulLine& doubtful = file.doubtful; doubtful.problem != LineProblem::none) {
    const std::string what = describe_doubtful_line(doubtful);
    return Failure{kExitDataProblem, doubtful.problem == LineProblem::nul_byte
                                         ? name + " is not a text file: " + what
                                         : name + ": " + what};
  }
  grid = make_grid(file.values, first_time);
  for (std::size_t row = 0; row < grid.rows(); ++row) {
    if (!parse_number(grid.value[row])) {
      return Failure{kExitDataProblem, name + ": value " + std::to_string(row + 1) + " reads as " +
                                           grid.value[row] +
                                           ", beyond the range of a floating-point number"};
    }
  }
  return std::nullopt;
}

int run(const Options& given) {
  Options options = given;
  if (const auto failure = check_settings(options)) return fail(*failure);

  GridColumns training;
  GridColumns validation;
  if (const auto failure = load_series(options.training, "training", 0, training)) {
    return fail(*failure);
  }
  if (const auto failure = load_series(options.validation, "validation",
                                       static_cast<std::int64_t>(training.rows()), validation)) {
    return fail(*failure);
  }
  if (!options.overlap_given) {
    options.settings.set(Setting::overlap,
                         std::to_string(detect_overlap(training.value, validation.value)));
  }

  const auto engine = std::make_unique<Engine>();
  const StartOutcome outcome = start_run(*engine, training, validation, options.settings);
  if (outcome.error != StartError::none) return fail(start_failure(outcome, options));

  const std::int32_t generations = engine->parameters.number_of_generations;
  std::string history = "generation,population,mse,mdl\n";
  GenerationResults results;
  ProgressBar progress(generations);
  progress.show(0);
  std::string line;
  char number[128];
  for (std::int32_t g = 0; g < generations; ++g) {
    run_generation(*engine, g, results);
    line = "generation " + std::to_string(g) + ":";
    for (std::size_t p = 0; p < results.populations.size(); ++p) {
      const PopulationReport& report = results.populations[p];
      std::snprintf(number, sizeof number, "%d,%zu,%.17g,%.17g\n", g, p + 1, report.best_mse,
                    report.best_mdl);
      history += number;
      line += (p == 0 ? " population " : "; population ") + std::to_string(p + 1) + " MSE " +
              format_general(report.best_mse) + " MDL " + format_general(report.best_mdl);
    }
    if (!options.quiet) {
      progress.clear();
      std::puts(line.c_str());
      std::fflush(stdout);
    }
    progress.show(g + 1);
  }
  progress.finish();

  std::vector<PopulationOutput> outputs;
  for (PopulationReport& report : results.populations) {
    outputs.push_back({std::move(report.prediction), std::move(report.tree_text)});
  }
  if (const auto failure = write_outputs(options, history, outputs)) return fail(*failure);
  return kExitOk;
}

}  // namespace

int run_command_line(std::span<const std::string> arguments) {
  const CommandLine line = parse_command_line(arguments);
  if (line.failure) return fail(*line.failure);
  switch (line.request) {
    case Request::help:
      std::fputs(usage_text().c_str(), stdout);
      return kExitOk;
    case Request::version:
      std::printf("quarvel-cli %s\n", QUARVEL_VERSION);
      return kExitOk;
    case Request::run:
      break;
  }
  if (const auto failure = check_output_paths(line.options)) return fail(*failure);
  return run(line.options);
}

}  // namespace quarvel::cli
