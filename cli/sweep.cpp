#include "cli/sweep.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "batch/ensemble.h"
#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "cli/runner.h"
#include "data/numbertext.h"
#include "engine/engine.h"
#include "forecasting/forecastfiles.h"
#include "records/runsummary.h"
#include "runs/generationstep.h"

namespace quarvel::cli {

namespace {

namespace fs = std::filesystem;
using records::OutputFile;
using runs::Setting;

// Options of the run of `stream`: written to its folder, with no --history.
Options run_options(const Options& options, std::int32_t stream) {
  Options run = options;
  run.output = (fs::path(*options.output) / run_folder_name(stream)).string();
  run.history.reset();
  run.stream = stream;
  run.runs = 0;
  return run;
}

// --intervals and --paths as the record lists them, after the table's
// settings: runs with other bands are not summarized together.
void add_interval_settings(const Options& options, records::RunRecord& record) {
  if (!options.intervals) return;
  std::string levels;
  for (const double level : options.intervals->levels) {
    if (!levels.empty()) levels += ',';
    levels += forecasting::level_text(level);
  }
  record.settings.emplace_back("--intervals", std::move(levels));
  record.settings.emplace_back("--paths", std::to_string(options.intervals->paths));
}

// What a population's forecasts are worth, as its record gives it.
void add_forecast_figures(const forecasting::ForecastQuality& quality, bool past_data,
                          records::PopulationFigures& figures) {
  figures.mae = quality.accuracy.mae;
  figures.rmse = quality.accuracy.rmse;
  figures.mape = quality.accuracy.mape;
  figures.mase = quality.accuracy.mase;
  if (quality.with_intervals) {
    for (const forecasting::Coverage& band : quality.coverage) {
      figures.coverage.push_back({band.level, band.share});
    }
  }
  figures.validation_divergence = {true, quality.validation_divergence};
  if (past_data) figures.forecast_divergence = {true, quality.past_data_divergence};
}

// FNV-1a over the value texts, each ended by a line feed.
std::uint64_t values_checksum(const data::GridColumns& grid) {
  std::uint64_t hash = 14695981039346656037u;
  const auto add = [&hash](char c) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211u;
  };
  for (const std::string& cell : grid.value) {
    for (const char c : cell) add(c);
    add('\n');
  }
  return hash;
}

records::RunRecord make_record(const RunData& data,
                               const std::vector<runs::PopulationReport>& reports) {
  const Options& options = data.options;
  records::RunRecord record;
  record.version = QUARVEL_VERSION;
  if (data.table && options.data) {
    const SplitTable& table = *data.table;
    record.table =
        records::TableRecord{options.data->path, table.value_column, table.value_name,
                             table.time_column,  table.time_name,    table.split.training_count};
  }
  record.training = {data_path(options, "training"), data.training.rows(),
                     values_checksum(data.training)};
  record.validation = {data_path(options, "validation"), data.validation.rows(),
                       values_checksum(data.validation)};
  // Each value as its rule writes it, so that runs of the same settings
  // record them alike however they were typed ("+2", "0x2", "2").
  const int populations = options.settings.population_count();
  for (const runs::SettingInfo& info : runs::settings_table()) {
    if (info.id == Setting::seed) continue;
    std::string text = runs::setting_text(options.settings, info.id, 0);
    if (info.scope == runs::Scope::population) {
      for (int k = 1; k < populations; ++k) {
        text += ',';
        text += runs::setting_text(options.settings, info.id, k);
      }
    }
    record.settings.emplace_back(info.option, std::move(text));
  }
  add_interval_settings(options, record);
  record.seed = options.settings.whole(Setting::seed);
  record.stream = options.stream;
  for (const runs::PopulationReport& report : reports) {
    record.populations.push_back(
        {report.best_mse, report.best_mdl, report.validation_mse, report.best_node_count});
  }
  return record;
}

// What a run's process tells the sweep: "ok" or "failed STATUS MESSAGE" on
// the first line, then its record when the run got that far.
std::string run_report(const std::optional<Failure>& failure, const std::string& record) {
  std::string report =
      failure ? "failed " + std::to_string(failure->status) + " " + failure->message : "ok";
  return report + "\n" + record;
}

// One run from a fresh engine to its written folder, in its own process.
std::string run_one(const RunData& sweep, std::int32_t stream, int fit_threads,
                    records::FileCalls& calls) {
  try {
    RunData data = sweep;
    data.options = run_options(sweep.options, stream);
    const auto started = std::chrono::steady_clock::now();
    const auto engine = std::make_unique<Engine>();
    if (auto failure = start_engine(data, fit_threads, *engine)) return run_report(failure, "");
    runs::GenerationResults results;
    std::string history = run_with_history(*engine, results);
    records::RunRecord run_record = make_record(data, results.populations);
    const std::size_t best = records::best_population(run_record);
    const RunForecasts forecasts = run_forecasts(data, *engine, results, best);
    const bool past_data = data.options.settings.whole(Setting::forecast_ahead) > 0;
    for (std::size_t p = 0; p < forecasts.quality.size(); ++p) {
      add_forecast_figures(forecasts.quality[p], past_data, run_record.populations[p]);
    }
    std::string member =
        member_text(make_member(run_record.seed, stream, static_cast<std::int32_t>(best),
                                forecasting::scaled_data(engine->data), forecasts.quality[best]));
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    run_record.seconds = seconds.count();
    const std::string record = records::record_text(run_record);

    const std::vector<FolderFile> files =
        folder_files(data, OutputFolder::run_folder, *engine, results, forecasts,
                     std::move(history), record, std::move(member));
    return run_report(write_outputs(data.options, OutputFolder::run_folder, "", files, calls),
                      record);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return run_report(
      Failure{kExitFailed, "not enough memory for this run; try smaller populations or series"},
      "");
}

void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// A run's process as the sweep watches it.
struct RunProcess {
  pid_t pid = -1;
  int report_pipe = -1;
  std::size_t index = 0;  // of the run in the sweep
  std::string report;
};

// Starts run `index` in a process of its own, with the signal mask from
// before the sweep, which tells its report through a pipe and ends. It ends
// with the sweep however the sweep ends, killed included.
std::optional<RunProcess> start_process(const RunData& data, std::size_t index, int fit_threads,
                                        const HeldInterrupts& interrupts,
                                        records::FileCalls& calls) {
  int ends[2];
  if (::pipe(ends) != 0) return std::nullopt;
  // Text buffered for the standard streams must not be written twice.
  std::fflush(nullptr);
  const pid_t sweep = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // SIGTERM, not SIGKILL: a run writing its folder finishes or abandons the
    // step whole before it ends, as on an interrupt.
    std::signal(SIGTERM, SIG_DFL);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The sweep may have ended before the line above.
    if (::getppid() != sweep) ::_exit(1);
    ::close(ends[0]);
    ::pthread_sigmask(SIG_SETMASK, &interrupts.previous_mask(), nullptr);
    const auto stream = static_cast<std::int32_t>(data.options.stream + static_cast<int>(index));
    write_all(ends[1], run_one(data, stream, fit_threads, calls));
    ::_exit(0);
  }
  ::close(ends[1]);
  if (pid < 0) {
    ::close(ends[0]);
    return std::nullopt;
  }
  return RunProcess{pid, ends[0], index, {}};
}

// Reads what a finished run's process told, and how it ended.
void take_report(const RunProcess& process, int wait_status, records::RunOutcome& outcome) {
  const std::string_view report = process.report;
  const std::size_t line_end = report.find('\n');
  if (WIFSIGNALED(wait_status)) {
    outcome.failure = "its process ended by signal " + std::to_string(WTERMSIG(wait_status)) +
                      " (" + strsignal(WTERMSIG(wait_status)) + ")";
    return;
  }
  if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) != 0) {
    outcome.failure = "its process ended with status " + std::to_string(WEXITSTATUS(wait_status));
    return;
  }
  if (line_end == std::string_view::npos) {
    outcome.failure = "its process ended without telling its results";
    return;
  }
  const std::string_view head = report.substr(0, line_end);
  if (head.starts_with("failed ")) {
    const std::size_t message = head.find(' ', 7);
    outcome.failure = std::string(head.substr(message == std::string_view::npos ? 7 : message + 1));
  }
  const std::string_view record = report.substr(line_end + 1);
  if (record.empty()) {
    if (!outcome.failure) outcome.failure = "its process ended without telling its results";
    return;
  }
  records::RunRecord parsed;
  if (const auto problem = records::parse_record(record, parsed)) {
    outcome.failure = "its record could not be read back: " + *problem;
    return;
  }
  outcome.record = std::move(parsed);
}

// The line a finished run prints: its best population's figures.
std::string run_line(const records::RunOutcome& outcome) {
  using data::format_general;
  const std::size_t p = records::best_population(*outcome.record);
  const records::PopulationFigures& figures = outcome.record->populations[p];
  return "stream " + std::to_string(outcome.stream) + ": population " + std::to_string(p + 1) +
         " MSE " + format_general(figures.best_mse) + " MDL " + format_general(figures.best_mdl) +
         " validation MSE " + format_general(figures.validation_mse) + " nodes " +
         format_general(figures.best_node_count) + "\n";
}

// runs.csv, summary.txt and ensemble-forecast.txt in `options.output`.
std::vector<OutputFile> sweep_files(const Options& options,
                                    std::span<const records::RunOutcome> outcomes,
                                    const std::string& summary, const EnsembleOutputs& ensemble) {
  std::vector<OutputFile> files;
  for (const PlannedOutput& planned : planned_outputs(options, OutputFolder::sweep)) {
    std::string content;
    if (planned.product == Product::runs_table) {
      content = records::runs_table(outcomes);
    } else if (planned.product == Product::summary) {
      content = summary;
    } else if (planned.product == Product::ensemble_forecast) {
      content = ensemble.forecast_file;
    }
    files.push_back({(fs::path(*options.output) / planned.name).string(), std::move(content)});
  }
  return files;
}

// Runs every run of the sweep, at most `jobs` at once, under the interrupts
// held by the caller; false when an interrupt ended them.
bool run_processes(const RunData& data, int jobs, records::FileCalls& calls, bool quiet,
                   const HeldInterrupts& interrupts, std::vector<records::RunOutcome>& outcomes) {
  const std::size_t count = outcomes.size();
  const int fit_threads = jobs > 1 ? 1 : 0;
  std::vector<bool> finished(count, false);
  std::vector<RunProcess> running;
  std::size_t started = 0;
  std::size_t done = 0;
  std::size_t told = 0;
  int interrupt = 0;
  OutputLines lines;
  ProgressBar progress(static_cast<std::int32_t>(count));
  progress.show(0);
  while (done < count) {
    while (interrupt == 0 && started < count && running.size() < static_cast<std::size_t>(jobs)) {
      if (auto process = start_process(data, started, fit_threads, interrupts, calls)) {
        running.push_back(std::move(*process));
      } else {
        outcomes[started].failure =
            std::string("its process could not be started: ") + std::strerror(errno);
        finished[started] = true;
        ++done;
      }
      ++started;
    }
    if (running.empty()) break;

    std::vector<pollfd> watched;
    watched.reserve(running.size());
    for (const RunProcess& process : running) watched.push_back({process.report_pipe, POLLIN, 0});
    // Signals are held back: a short wait sees an interrupt soon enough. Should
    // the wait itself fail, each report is read in turn, waiting for it.
    if (::poll(watched.data(), watched.size(), 200) < 0 && errno != EINTR) {
      for (pollfd& report : watched) report.revents = POLLIN;
    }
    for (std::size_t i = running.size(); i-- > 0;) {
      if (watched[i].revents == 0) continue;
      RunProcess& process = running[i];
      char buffer[4096];
      const ssize_t got = ::read(process.report_pipe, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got > 0) {
        process.report.append(buffer, static_cast<std::size_t>(got));
        continue;
      }
      ::close(process.report_pipe);
      int status = 0;
      while (::waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {
      }
      records::RunOutcome& outcome = outcomes[process.index];
      take_report(process, status, outcome);
      finished[process.index] = true;
      ++done;
      if (outcome.failure && interrupt == 0) {
        progress.clear();
        tell_run_failure(outcome);
      }
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // Each run's line in stream order, once those before it are told.
    for (; told < count && finished[told]; ++told) {
      if (quiet || !outcomes[told].record || outcomes[told].failure) continue;
      progress.clear();
      lines.put(run_line(outcomes[told]));
    }
    progress.show(static_cast<std::int32_t>(done));

    if (interrupt == 0) {
      interrupt = interrupts.pending_signal();
      // The run processes get it too: those writing their folder finish or
      // abandon it whole, the others end.
      if (interrupt != 0) {
        for (const RunProcess& process : running) ::kill(process.pid, interrupt);
      }
    }
  }
  progress.finish();
  if (const auto error = lines.error()) tell_failure({kExitFailed, *error});
  return interrupt == 0;
}

}  // namespace

int run_sweep(const Options& options, records::FileCalls& calls) {
  RunData data;
  if (const auto failure = read_run_data(options, data)) return tell_failure(*failure);
  // Whatever Start would refuse is refused here, before any run starts.
  {
    const auto engine = std::make_unique<Engine>();
    if (const auto failure = start_engine(data, 1, *engine)) return tell_failure(*failure);
  }

  const auto count = static_cast<std::size_t>(options.runs);
  const int jobs = job_count(options);
  std::vector<records::RunOutcome> outcomes(count);
  for (std::size_t k = 0; k < count; ++k) {
    outcomes[k].stream = options.stream + static_cast<std::int32_t>(k);
    outcomes[k].seed = data.options.settings.whole(Setting::seed);
    outcomes[k].folder = *run_options(options, outcomes[k].stream).output;
  }
  const std::string runs_table_name(listed_output(Product::runs_table).name);
  bool completed = false;
  {
    const HeldInterrupts interrupts;
    completed = run_processes(data, jobs, calls, options.quiet, interrupts, outcomes);
    // Told while the interrupt is held: letting it through ends the program
    // unless it is handled.
    if (!completed) {
      (void)tell_failure({kExitFailed, "interrupted: the runs that ended are in their folders; " +
                                           runs_table_name + " was not written"});
    }
  }
  if (!completed) return kExitFailed;
  return finish_runs(options, outcomes, calls);
}

int job_count(const Options& options) {
  return std::min(options.jobs > 0 ? options.jobs : usable_cpu_count(), options.runs);
}

void tell_run_failure(const records::RunOutcome& outcome) {
  if (outcome.failure) {
    std::fprintf(stderr, "error: stream %d: %s\n", outcome.stream, outcome.failure->c_str());
  }
}

int finish_runs(const Options& options, std::span<const records::RunOutcome> outcomes,
                records::FileCalls& calls) {
  const EnsembleOutputs ensemble = make_ensemble(outcomes, options.original_units);
  const std::string summary = records::summary_text(outcomes) + ensemble.summary_block;
  if (const auto failure = write_output_files(sweep_files(options, outcomes, summary, ensemble),
                                              options.output, calls)) {
    return tell_failure(*failure);
  }
  OutputLines lines;
  if (!options.quiet) lines.put(summary);
  std::vector<std::int32_t> failed;
  for (const records::RunOutcome& outcome : outcomes) {
    if (outcome.failure) failed.push_back(outcome.stream);
  }
  if (!failed.empty()) {
    std::string streams;
    for (const std::int32_t stream : failed) {
      streams += (streams.empty() ? "" : ", ") + std::to_string(stream);
    }
    return tell_failure({kExitFailed, std::to_string(failed.size()) + " of " +
                                          std::to_string(outcomes.size()) + " runs failed (stream" +
                                          (failed.size() > 1 ? "s " : " ") + streams + "); see " +
                                          std::string(listed_output(Product::runs_table).name)});
  }
  if (const auto error = lines.error()) return tell_failure({kExitFailed, *error});
  return kExitOk;
}

}  // namespace quarvel::cli
