#include "cli/runner.h"

#include <cstdio>
#include <memory>

#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "engine/engine.h"
#include "frontend/datafile.h"
#include "frontend/forecast.h"
#include "frontend/generationstep.h"
#include "frontend/modelexport.h"
#include "frontend/numbertext.h"
#include "frontend/startrun.h"

namespace quarvel::cli {

namespace {

using namespace quarvel::frontend;

int fail(const Failure& failure) {
  std::fprintf(stderr, "error: %s\n", failure.message.c_str());
  return failure.status;
}

// Reads a data file as the window's loads do. What the window only points
// out is refused, as a script wants to hear about it, except text after a
// line's number, which files may rely on: that is told in a warning.
std::optional<Failure> read_series(const std::string& path, const char* role,
                                   DataFileResult& file) {
  file = read_data_file(path);
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
    case DataFileError::too_large:
      return Failure{kExitDataProblem, name + " " + file.reason};
  }
  if (file.values.empty()) {
    return Failure{kExitDataProblem,
                   name + " holds no values (" +
                       (file.size == 0 ? "the file is empty" : "every line is empty") + ")"};
  }
  if (const DoubtfulLine& doubtful = file.doubtful; doubtful.problem != LineProblem::none) {
    const std::string what = describe_doubtful_line(doubtful);
    return Failure{kExitDataProblem, doubtful.problem == LineProblem::nul_byte
                                         ? name + " is not a text file: " + what
                                         : name + ": " + what};
  }
  if (const TrailingText& trailing = file.trailing_text; trailing.lines > 0) {
    const std::string count = trailing.lines == 1 ? "1 line holds text after its number"
                                                  : std::to_string(trailing.lines) +
                                                        " lines hold text after their number";
    std::fprintf(stderr, "warning: %s: %s; %s\n", name.c_str(),
                 describe_doubtful_line(trailing.first).c_str(), count.c_str());
  }
  return std::nullopt;
}

// The grid of a file's values as the window fills it; every cell must read
// back as a number.
std::optional<Failure> make_series_grid(const DataFileResult& file, const std::string& path,
                                        const char* role, std::int64_t first_time,
                                        GridColumns& grid) {
  grid = make_grid(file.values, first_time);
  for (std::size_t row = 0; row < grid.rows(); ++row) {
    if (!parse_number(grid.value[row])) {
      return Failure{kExitDataProblem, std::string(role) + " file \"" + path + "\": value " +
                                           std::to_string(row + 1) + " reads as " +
                                           grid.value[row] +
                                           ", beyond the range of a floating-point number"};
    }
  }
  return std::nullopt;
}

// The --output folder's files of the finished run, named as output_file_names names them.
std::vector<FolderFile> folder_files(const Options& options, const Engine& engine,
                                     GenerationResults& results) {
  const std::int32_t ahead = *parse_whole_number(options.settings.text(Setting::forecast_ahead));
  const std::vector<std::vector<double>> forecasts = forecasts_past_data(engine, ahead);
  // Files of values: "index,value" lines from `first`, scaled or in the series' units.
  const auto values_file = [&](const std::vector<double>& scaled, std::int64_t first) {
    const OutputCells cells =
        output_cells(options.original_units ? in_original_units(engine, scaled) : scaled, first);
    return output_file_text(cells.index, cells.value);
  };
  std::vector<FolderFile> files;
  for (std::size_t p = 0; p < results.populations.size(); ++p) {
    PopulationReport& report = results.populations[p];
    const std::string k = std::to_string(p + 1);
    files.emplace_back("prediction-" + k + ".txt", values_file(report.prediction, 0));
    files.emplace_back("tree-" + k + ".txt", std::move(report.tree_text));
    if (ahead > 0) {
      files.emplace_back("forecast-" + k + ".txt",
                         values_file(forecasts[p], engine.data.point_count));
    }
    if (options.export_model) {
      const auto population = static_cast<std::int32_t>(p);
      for (auto& file : model_files(describe_best_tree(engine, population),
                                    model_context(engine, population, options.settings,
                                                  options.training, options.validation))) {
        files.push_back(std::move(file));
      }
    }
  }
  return files;
}

int run(const Options& given) {
  Options options = given;
  if (const auto failure = check_settings(options)) return fail(*failure);

  DataFileResult training_file;
  DataFileResult validation_file;
  if (const auto failure = read_series(options.training, "training", training_file)) {
    return fail(*failure);
  }
  if (const auto failure = read_series(options.validation, "validation", validation_file)) {
    return fail(*failure);
  }
  // Before the grids are made and the overlap is looked for, both of which
  // grow with the count (the overlap with its square).
  if (const auto refused =
          check_value_count(training_file.values.size(), validation_file.values.size())) {
    return fail(start_failure(*refused, options));
  }
  GridColumns training;
  GridColumns validation;
  if (const auto failure =
          make_series_grid(training_file, options.training, "training", 0, training)) {
    return fail(*failure);
  }
  if (const auto failure =
          make_series_grid(validation_file, options.validation, "validation",
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
  OutputLines lines;
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
      line += '\n';
      lines.put(line);
    }
    progress.show(g + 1);
  }
  progress.finish();

  if (const auto failure =
          write_outputs(options, history, folder_files(options, *engine, results))) {
    return fail(*failure);
  }
  if (const auto error = lines.error()) return fail({kExitFailed, *error});
  return kExitOk;
}

}  // namespace

int run_command_line(std::span<const std::string> arguments) {
  const CommandLine line = parse_command_line(arguments);
  if (line.failure) return fail(*line.failure);
  switch (line.request) {
    case Request::help:
    case Request::version: {
      OutputLines lines;
      lines.put(line.request == Request::help
                    ? usage_text()
                    : std::string("quarvel-cli ") + QUARVEL_VERSION + "\n");
      if (const auto error = lines.error()) return fail({kExitFailed, *error});
      return kExitOk;
    }
    case Request::run:
      break;
  }
  if (const auto failure = check_output_paths(line.options)) return fail(*failure);
  return run(line.options);
}

}  // namespace quarvel::cli
