#include "cli/runner.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "batch/summarize.h"
#include "cli/folderclaim.h"
#include "cli/interrupts.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/sweep.h"
#include "data/numbertext.h"
#include "engine/engine.h"
#include "forecasting/forecastquality.h"
#include "records/outputlist.h"
#include "records/runsummary.h"
#include "runs/generationstep.h"

namespace quarvel::cli {

namespace {

int fail(const Failure& failure) {
  return tell_failure(failure);
}

}  // namespace

int tell_failure(const Failure& failure) {
  std::fprintf(stderr, "error: %s\n", failure.message.c_str());
  return exit_status(failure.kind);
}

void tell_notices(std::span<const batch::Notice> notices, bool quiet) {
  for (const batch::Notice& notice : notices) {
    if (notice.kind == batch::Notice::Kind::note && quiet) continue;
    std::fprintf(stderr, "%s: %s\n", notice.kind == batch::Notice::Kind::note ? "note" : "warning",
                 notice.text.c_str());
  }
}

namespace {

// After a single run: a line per population on its validation forecast (not
// with --quiet), and a warning for each forecast that ran away and each
// population left without bands.
void tell_forecasts(const Options& options, const forecasting::ScaledData& series,
                    const batch::RunForecasts& forecasts, OutputLines& lines) {
  const double span = series.high - series.low;
  std::string range(1, '[');
  range += data::format_general(series.low - span) + ", " +
           data::format_general(series.high + span) + "]";
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
    if (!quality.inverse_problem.empty()) {
      std::fprintf(stderr, "warning: %s: %s\n", population.c_str(),
                   quality.inverse_problem.c_str());
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
                                       " points): " + records::accuracy_words(accuracy) + "; " +
                                       forecasting::relative_words(quality.benchmarks);
    if (!quality.coverage.empty())
      line += "; coverage: " + records::coverage_words(quality.coverage);
    lines.put(line + "\n");
  }
}

int run(const Options& options, records::FileCalls& calls) {
  batch::RunData data;
  const std::optional<Failure> unread = batch::read_run_data(options.request, data);
  tell_notices(data.notices, options.quiet);
  if (unread) return fail(*unread);
  const auto engine = std::make_unique<Engine>();
  if (const auto failure = batch::start_engine(data, 0, *engine)) return fail(*failure);

  runs::GenerationResults results;
  OutputLines lines;
  ProgressBar progress(engine->parameters.number_of_generations);
  progress.show(0);
  std::string line;
  const std::optional<std::string> history =
      batch::run_with_history(*engine, results, [&](const runs::GenerationResults& done) {
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

  const batch::RunForecasts forecasts = batch::run_forecasts(data, *engine, results);
  tell_forecasts(options, batch::series_view(data, *engine), forecasts, lines);
  const std::vector<batch::FolderFile> files =
      batch::folder_files(data, batch::OutputFolder::single_run, *engine, results, forecasts);
  if (const auto failure = with_interrupts_held([&](const auto& interrupted) {
        return batch::write_outputs(data.request, batch::OutputFolder::single_run, *history, files,
                                    calls, interrupted);
      })) {
    return fail(*failure);
  }
  if (const auto error = lines.error()) return fail({FailureKind::write_failed, *error});
  return kExitOk;
}

// A single run's files in the folder of a run of many would lie beside that
// run's record and member, and a merge would take them for that run's.
std::optional<Failure> refuse_run_folder(const std::string& folder) {
  const std::string_view record = records::listed_output(records::Product::record).name;
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::path(folder) / record, error)) return std::nullopt;
  return batch::bad_setting(
      "--output", "\"" + folder + "\" is the folder of a run of many (it holds its " +
                      std::string(record) +
                      "); a single run would leave its files beside that run's: choose another "
                      "folder, or run that run again with --runs 1, its --stream and the folder "
                      "above");
}

}  // namespace

int run_command_line(std::span<const std::string> arguments, records::FileCalls& calls) {
  const CommandLine line = parse_command_line(arguments);
  if (line.failure) return fail(*line.failure);
  switch (line.action) {
    case Action::help:
    case Action::version: {
      OutputLines lines;
      lines.put(line.action == Action::help ? usage_text()
                                            : std::string("quarvel-cli ") + QUARVEL_VERSION + "\n");
      if (const auto error = lines.error()) return fail({FailureKind::write_failed, *error});
      return kExitOk;
    }
    case Action::summarize:
      return summarize_run_folders(line.options, calls);
    case Action::run:
      break;
  }
  if (const auto failure = batch::check_output_paths(line.options.request)) return fail(*failure);
  // Held to the end of the call.
  FolderClaim claim;
  if (line.options.request.output) {
    if (const auto failure = claim.take(*line.options.request.output)) return fail(*failure);
    if (line.options.request.runs == 0) {
      if (const auto failure = refuse_run_folder(*line.options.request.output)) {
        return fail(*failure);
      }
    }
  }
  if (line.options.request.runs > 0) return run_sweep(line.options, calls);
  return run(line.options, calls);
}

}  // namespace quarvel::cli
