#include "cli/runner.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "cli/folderclaim.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "cli/summarize.h"
#include "cli/sweep.h"
#include "data/datafile.h"
#include "data/numbertext.h"
#include "engine/engine.h"
#include "engine/random.h"
#include "forecasting/forecast.h"
#include "forecasting/forecastfiles.h"
#include "forecasting/forecastquality.h"
#include "forecasting/intervals.h"
#include "records/modelexport.h"
#include "records/runsummary.h"
#include "runs/generationstep.h"
#include "runs/startrun.h"

namespace quarvel::cli {

namespace {

int fail(const Failure& failure) {
  return tell_failure(failure);
}

// Reads a data file as the window's loads do. What the window only points
// out is refused, as a script wants to hear about it, except text after a
// line's number, which files may rely on: that is told in a warning.
std::optional<Failure> read_series(const std::string& path, const char* role,
                                   data::DataFileResult& file) {
  file = data::read_data_file(path);
  const std::string name = std::string(role) + " file \"" + path + "\"";
  if (file.error != data::DataFileError::none)
    return data_file_failure(file.error, file.reason, name);
  if (file.values.empty()) {
    return Failure{kExitDataProblem,
                   name + " holds no values (" +
                       (file.size == 0 ? "the file is empty" : "every line is empty") + ")"};
  }
  if (const data::DoubtfulLine& doubtful = file.doubtful;
      doubtful.problem != data::LineProblem::none) {
    const std::string what = data::describe_doubtful_line(doubtful);
    return Failure{kExitDataProblem, doubtful.problem == data::LineProblem::nul_byte
                                         ? name + " is not a text file: " + what
                                         : name + ": " + what};
  }
  if (const data::TrailingText& trailing = file.trailing_text; trailing.lines > 0) {
    const std::string count = trailing.lines == 1 ? "1 line holds text after its number"
                                                  : std::to_string(trailing.lines) +
                                                        " lines hold text after their number";
    std::fprintf(stderr, "warning: %s: %s; %s\n", name.c_str(),
                 data::describe_doubtful_line(trailing.first).c_str(), count.c_str());
  }
  return std::nullopt;
}

// The grid of a file's values as the window fills it; every cell must read
// back as a number.
std::optional<Failure> make_series_grid(const data::DataFileResult& file, const std::string& path,
                                        const char* role, std::int64_t first_time,
                                        data::GridColumns& grid) {
  grid = data::make_grid(file.values, first_time);
  for (std::size_t row = 0; row < grid.rows(); ++row) {
    if (!data::parse_number(grid.value[row])) {
      return Failure{kExitDataProblem, std::string(role) + " file \"" + path + "\": value " +
                                           std::to_string(row + 1) + " reads as " +
                                           grid.value[row] +
                                           ", beyond the range of a floating-point number"};
    }
  }
  return std::nullopt;
}

}  // namespace

Failure data_file_failure(data::DataFileError error, const std::string& reason,
                          const std::string& name) {
  switch (error) {
    case data::DataFileError::cannot_open:
      return {kExitDataProblem, "cannot open " + name + ": " + reason};
    case data::DataFileError::not_a_file:
      return {kExitDataProblem, name + " is a folder, not a file"};
    case data::DataFileError::read_error:
      return {kExitDataProblem, "cannot read " + name + ": " + reason};
    case data::DataFileError::too_large:
      return {kExitDataProblem, name + " " + reason};
    case data::DataFileError::none:
      break;
  }
  return {kExitDataProblem, name + ": " + reason};
}

RunForecasts run_forecasts(const RunData& data, const Engine& engine,
                           const runs::GenerationResults& results,
                           std::optional<std::size_t> ensemble_population) {
  const Options& options = data.options;
  RunForecasts forecasts;
  forecasts.past_data = forecasting::forecasts_past_data(
      engine, options.settings.whole(runs::Setting::forecast_ahead));
  forecasts.quality = populations_quality(
      engine, results, forecasts.past_data, options.intervals,
      forecasting::RunIdentity{options.settings.whole(runs::Setting::seed), options.stream},
      ensemble_population);
  return forecasts;
}

namespace {

// intervals-K.txt of a population: the forecast over the validation part and
// past the data, with its bands.
std::string intervals_text(const Options& options, const Engine& engine,
                           const forecasting::ForecastQuality& quality) {
  forecasting::BandTable table = band_table(quality, options.intervals->levels);
  if (options.original_units) {
    forecasting::to_original_units(table, engine.data.scale_low, engine.data.scale_high);
  }
  return forecasting::band_table_text(table);
}

}  // namespace

std::vector<FolderFile> folder_files(const RunData& data, OutputFolder folder, const Engine& engine,
                                     runs::GenerationResults& results,
                                     const RunForecasts& run_forecasts, std::string history,
                                     std::string record, std::string member) {
  const Options& options = data.options;
  const std::vector<std::vector<double>>& forecasts = run_forecasts.past_data;
  // Values scaled or in the series' units.
  const auto in_units = [&](const std::vector<double>& scaled) {
    return options.original_units ? forecasting::in_original_units(engine, scaled) : scaled;
  };
  // Files of values: "index,value" lines from `first`.
  const auto values_file = [&](const std::vector<double>& scaled, std::int64_t first) {
    const records::OutputCells cells = records::output_cells(in_units(scaled), first);
    return records::output_file_text(cells.index, cells.value);
  };
  // The model of the population last asked for, made once for its three files.
  std::optional<std::pair<forecasting::ModelFormula, records::ModelContext>> model;
  const auto model_of =
      [&](int population) -> const std::pair<forecasting::ModelFormula, records::ModelContext>& {
    if (!model || model->second.population != population + 1) {
      records::ModelContext context =
          records::model_context(engine, population, options.settings,
                                 data_path(options, "training"), data_path(options, "validation"));
      // A run of another stream grew other trees: the stream names it too.
      if (options.stream != 0) {
        context.settings.emplace_back("--stream", std::to_string(options.stream));
      }
      if (options.intervals) {
        context.intervals = records::IntervalExport{
            engine.data.training_count,
            forecasting::path_seed(options.settings.whole(runs::Setting::seed), options.stream,
                                   population, forecasting::PathPurpose::past_data),
            options.intervals->levels, options.intervals->paths};
      }
      model.emplace(forecasting::describe_best_tree(engine, population), std::move(context));
    }
    return *model;
  };
  std::vector<FolderFile> files;
  for (PlannedOutput& planned : planned_outputs(options, folder)) {
    const auto p = static_cast<std::size_t>(planned.population);
    std::string content;
    switch (planned.product) {
      case Product::prediction:
        content = values_file(results.populations[p].prediction, 0);
        break;
      case Product::tree:
        content = std::move(results.populations[p].tree_text);
        break;
      case Product::forecast:
        content = values_file(forecasts[p], engine.data.point_count);
        break;
      case Product::timed_prediction:
        if (data.table) {
          content = timed_prediction_text(*data.table, in_units(results.populations[p].prediction),
                                          in_units(forecasts[p]));
        }
        break;
      case Product::intervals:
        content = intervals_text(options, engine, run_forecasts.quality[p]);
        break;
      case Product::model_text:
      case Product::model_python:
      case Product::model_header: {
        const auto& [formula, context] = model_of(planned.population);
        content = planned.product == Product::model_text ? records::model_text(formula, context)
                  : planned.product == Product::model_python
                      ? records::model_python(formula, context)
                      : records::model_c_header(formula, context);
        break;
      }
      case Product::history:
        content = std::exchange(history, {});
        break;
      case Product::record:
        content = std::exchange(record, {});
        break;
      case Product::ensemble_member:
        content = std::exchange(member, {});
        break;
      case Product::runs_table:
      case Product::summary:
      case Product::ensemble_forecast:
        break;  // a sweep's, written from the records of its runs
    }
    files.emplace_back(std::move(planned.name), std::move(content));
  }
  return files;
}

std::optional<Failure> read_run_data(const Options& given, RunData& data) {
  Options& options = data.options;
  options = given;
  if (auto failure = check_settings(options)) return failure;
  if (options.data) return read_table_data(data);

  data::DataFileResult training_file;
  data::DataFileResult validation_file;
  if (auto failure = read_series(options.training, "training", training_file)) return failure;
  if (auto failure = read_series(options.validation, "validation", validation_file)) {
    return failure;
  }
  // Before the grids are made and the overlap is looked for, both of which
  // grow with the count (the overlap with its square).
  if (const auto refused =
          runs::check_value_count(training_file.values.size(), validation_file.values.size())) {
    return start_failure(*refused, options);
  }
  data::GridColumns& training = data.training;
  data::GridColumns& validation = data.validation;
  if (auto failure = make_series_grid(training_file, options.training, "training", 0, training)) {
    return failure;
  }
  if (auto failure = make_series_grid(validation_file, options.validation, "validation",
                                      static_cast<std::int64_t>(training.rows()), validation)) {
    return failure;
  }
  if (!options.overlap_given) {
    options.settings.set(runs::Setting::overlap,
                         data::detect_overlap(training.value, validation.value));
  }
  return std::nullopt;
}

std::optional<Failure> start_engine(const RunData& data, int fit_threads, Engine& engine) {
  if (fit_threads > 0) engine.fit_threads = fit_threads;
  start_integer_stream(engine.random, data.options.stream);
  const runs::StartOutcome outcome =
      start_run(engine, data.training, data.validation, data.options.settings);
  if (outcome.error != runs::StartError::none) return start_failure(outcome, data.options);
  return std::nullopt;
}

std::string run_with_history(Engine& engine, runs::GenerationResults& results,
                             const AfterGeneration& after) {
  std::string history = "generation,population,mse,mdl\n";
  runs::run_generations(engine, results, [&](const runs::GenerationResults& done) {
    for (std::size_t p = 0; p < done.populations.size(); ++p) {
      const runs::PopulationReport& report = done.populations[p];
      char row[128];
      std::snprintf(row, sizeof row, "%d,%zu,%.17g,%.17g\n", done.generation, p + 1,
                    report.best_mse, report.best_mdl);
      history += row;
    }
    if (after) after(done);
  });
  return history;
}

int tell_failure(const Failure& failure) {
  std::fprintf(stderr, "error: %s\n", failure.message.c_str());
  return failure.status;
}

namespace {

// After a single run: a line per population on its validation forecast (not
// with --quiet), and a warning for each forecast that ran away and each
// population left without bands.
void tell_forecasts(const Options& options, const Engine& engine, const RunForecasts& forecasts,
                    OutputLines& lines) {
  const double span = engine.data.scale_high - engine.data.scale_low;
  std::string range(1, '[');
  range += data::format_general(engine.data.scale_low - span) + ", " +
           data::format_general(engine.data.scale_high + span) + "]";
  for (std::size_t p = 0; p < forecasts.quality.size(); ++p) {
    const forecasting::ForecastQuality& quality = forecasts.quality[p];
    const std::string population = "population " + std::to_string(p + 1);
    for (const auto& [part, step] :
         {std::pair{"validation forecast", quality.validation_divergence},
          std::pair{"forecast past the data", quality.past_data_divergence}}) {
      if (step) {
        std::fprintf(stderr, "warning: %s: the %s diverged at step %d: it left %s\n",
                     population.c_str(), part, *step, range.c_str());
      }
    }
    if (quality.with_intervals && !quality.interval_reason.empty()) {
      std::fprintf(stderr, "warning: %s: %s\n", population.c_str(),
                   quality.interval_reason.c_str());
    }
    if (options.quiet) continue;
    const forecasting::Accuracy& accuracy = quality.accuracy;
    std::string line = population + " validation forecast";
    line += accuracy.points == 0 ? ": " + accuracy.mae.reason
                                 : " (" + std::to_string(accuracy.points) +
                                       " points): " + records::accuracy_words(accuracy);
    if (!quality.coverage.empty())
      line += "; coverage: " + records::coverage_words(quality.coverage);
    lines.put(line + "\n");
  }
}

int run(const Options& given, records::FileCalls& calls) {
  RunData data;
  if (const auto failure = read_run_data(given, data)) return fail(*failure);
  const Options& options = data.options;
  const auto engine = std::make_unique<Engine>();
  if (const auto failure = start_engine(data, 0, *engine)) return fail(*failure);

  runs::GenerationResults results;
  OutputLines lines;
  ProgressBar progress(engine->parameters.number_of_generations);
  progress.show(0);
  std::string line;
  const std::string history =
      run_with_history(*engine, results, [&](const runs::GenerationResults& done) {
        if (!options.quiet) {
          line = "generation " + std::to_string(done.generation) + ":";
          for (std::size_t p = 0; p < done.populations.size(); ++p) {
            const runs::PopulationReport& report = done.populations[p];
            line += (p == 0 ? " population " : "; population ") + std::to_string(p + 1) + " MSE " +
                    data::format_general(report.best_mse) + " MDL " +
                    data::format_general(report.best_mdl);
          }
          progress.clear();
          line += '\n';
          lines.put(line);
        }
        progress.show(done.generation + 1);
      });
  progress.finish();

  const RunForecasts forecasts = run_forecasts(data, *engine, results);
  tell_forecasts(options, *engine, forecasts, lines);
  if (const auto failure = write_outputs(
          options, OutputFolder::single_run, history,
          folder_files(data, OutputFolder::single_run, *engine, results, forecasts), calls)) {
    return fail(*failure);
  }
  if (const auto error = lines.error()) return fail({kExitFailed, *error});
  return kExitOk;
}

}  // namespace

int run_command_line(std::span<const std::string> arguments, records::FileCalls& calls) {
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
    case Request::summarize:
      return summarize_run_folders(line.options, calls);
    case Request::run:
      break;
  }
  if (const auto failure = check_output_paths(line.options)) return fail(*failure);
  // Held to the end of the call.
  FolderClaim claim;
  if (line.options.output) {
    if (const auto failure = claim.take(*line.options.output)) return fail(*failure);
  }
  if (line.options.runs > 0) return run_sweep(line.options, calls);
  return run(line.options, calls);
}

}  // namespace quarvel::cli
