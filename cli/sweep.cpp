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
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/ensemble.h"
#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "batch/summarize.h"
#include "batch/sweep.h"
#include "cli/folderclaim.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "cli/runner.h"
#include "data/numbertext.h"
#include "engine/engine.h"
#include "records/outputlist.h"
#include "records/runtable.h"

namespace quarvel::cli {

namespace {

// What a run's process tells the sweep: "ok" or "failed STATUS MESSAGE" on
// the first line, then its record when the run got that far.
std::string run_report(const std::optional<Failure>& failure, const std::string& record) {
  std::string report =
      failure ? "failed " + std::to_string(exit_status(failure->kind)) + " " + failure->message
              : "ok";
  return report + "\n" + record;
}

// One run from a fresh engine to its written folder, in its own process. The
// folder is written with the interrupts held, as every set of files is.
// Its folder is claimed as an output folder is, from the start of the run
// when it exists and before it is written otherwise: a call into it meanwhile
// is refused, and a call in it makes this run fail.
std::string run_one(const batch::RunData& data, std::int32_t stream, int fit_threads,
                    records::FileCalls& calls) {
  try {
    const std::string folder = *batch::stream_request(data.request, stream).output;
    const auto refused = [](const Failure& failure) {
      constexpr std::string_view kOption = "--output: ";
      std::string_view why = failure.message;
      if (why.starts_with(kOption)) why.remove_prefix(kOption.size());
      return Failure{FailureKind::write_failed, "its folder " + std::string(why)};
    };
    FolderClaim claim;
    if (const auto failure = claim.take_if_there(folder)) return run_report(refused(*failure), "");
    batch::StreamRun run;
    if (auto failure = batch::run_stream(data, stream, {{}, {}, fit_threads}, run)) {
      return run_report(failure, "");
    }
    return run_report(with_interrupts_held([&](const auto& interrupted) -> std::optional<Failure> {
                        // Taken with the interrupts held: a folder made for the
                        // claim is written, or removed before an interrupt acts.
                        FolderClaim made;
                        if (!claim.held()) {
                          if (const auto failure = made.take(folder)) return refused(*failure);
                        }
                        return batch::write_run_folder(run, calls, interrupted);
                      }),
                      run.record_text);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return run_report(Failure{FailureKind::out_of_memory,
                            "not enough memory for this run; try smaller populations or series"},
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
std::optional<RunProcess> start_process(const batch::RunData& data, std::size_t index,
                                        int fit_threads, const HeldInterrupts& interrupts,
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
    const auto stream = static_cast<std::int32_t>(data.request.stream + static_cast<int>(index));
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

// What a finished run's process told, and how it ended: the run's outcome.
records::RunOutcome take_report(const batch::RunRequest& request, const RunProcess& process,
                                int wait_status) {
  const auto stream = static_cast<std::int32_t>(request.stream + static_cast<int>(process.index));
  const auto failed = [&](const std::string& why) {
    return batch::run_outcome(request, stream, why, "");
  };
  const std::string_view report = process.report;
  const std::size_t line_end = report.find('\n');
  if (WIFSIGNALED(wait_status)) {
    return failed("its process ended by signal " + std::to_string(WTERMSIG(wait_status)) + " (" +
                  strsignal(WTERMSIG(wait_status)) + ")");
  }
  if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) != 0) {
    return failed("its process ended with status " + std::to_string(WEXITSTATUS(wait_status)));
  }
  if (line_end == std::string_view::npos) {
    return failed("its process ended without telling its results");
  }
  std::optional<std::string> failure;
  const std::string_view head = report.substr(0, line_end);
  if (head.starts_with("failed ")) {
    const std::size_t message = head.find(' ', 7);
    failure = std::string(head.substr(message == std::string_view::npos ? 7 : message + 1));
  }
  const std::string_view record = report.substr(line_end + 1);
  if (record.empty() && !failure) failure = "its process ended without telling its results";
  return batch::run_outcome(request, stream, failure, record);
}

// "error: stream N: reason" on the standard error for a failed run.
void tell_run_failure(const records::RunOutcome& outcome) {
  if (outcome.failure) {
    std::fprintf(stderr, "error: stream %d: %s\n", outcome.stream, outcome.failure->c_str());
  }
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

// Runs every run of the sweep, at most `jobs` at once, under the interrupts
// held by the caller; false when an interrupt ended them.
bool run_processes(const batch::RunData& data, int jobs, records::FileCalls& calls, bool quiet,
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
      outcome = take_report(data.request, process, status);
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
  if (const auto error = lines.error()) tell_failure({FailureKind::write_failed, *error});
  return interrupt == 0;
}

// The end of --runs and --summarize: runs.csv, summary.txt and
// ensemble-forecast.txt of `outcomes` (in the order given) in --output, the
// summary on the standard output unless --quiet, and the failed runs named.
// The exit status: 1 when a run failed.
int finish_runs(const Options& options, std::span<const records::RunOutcome> outcomes,
                records::FileCalls& calls) {
  std::string summary;
  if (const auto failure = with_interrupts_held([&](const auto& interrupted) {
        return batch::write_runs_files(options.request, outcomes, summary, calls, interrupted);
      })) {
    return tell_failure(*failure);
  }
  OutputLines lines;
  if (!options.quiet) lines.put(summary);
  if (const auto failure = batch::failed_runs(outcomes)) return tell_failure(*failure);
  if (const auto error = lines.error()) return tell_failure({FailureKind::write_failed, *error});
  return kExitOk;
}

// --summarize, out of memory left to the caller.
int merge_runs(const Options& options, records::FileCalls& calls) {
  const batch::RunRequest& request = options.request;
  if (const auto failure = batch::check_folder_outputs(
          request, *request.output,
          batch::output_file_names(request, batch::OutputFolder::sweep))) {
    return tell_failure(*failure);
  }
  // Held to the end of the call.
  FolderClaim claim;
  if (const auto failure = claim.take(*request.output)) return tell_failure(*failure);
  std::vector<records::RunOutcome> outcomes;
  std::vector<batch::Notice> notices;
  const std::optional<Failure> failure = batch::merge_run_folders(
      options.summarized_folders, options.summarized_streams, outcomes, notices);
  tell_notices(notices, options.quiet);
  if (failure) return tell_failure(*failure);
  if (const auto too_large = batch::merged_ensemble_too_large(outcomes)) {
    return tell_failure({FailureKind::data_problem, "--summarize: " + *too_large});
  }
  for (const records::RunOutcome& outcome : outcomes) tell_run_failure(outcome);
  return finish_runs(options, outcomes, calls);
}

}  // namespace

int run_sweep(const Options& options, records::FileCalls& calls) {
  batch::RunData data;
  const std::optional<Failure> unread = batch::read_run_data(options.request, data);
  tell_notices(data.notices, options.quiet);
  if (unread) return tell_failure(*unread);
  // Whatever Start would refuse is refused here, before any run starts.
  if (const auto failure = batch::check_start(data)) return tell_failure(*failure);
  if (const auto too_large = batch::ensemble_too_large(
          static_cast<std::uint64_t>(options.request.runs),
          data.validation.rows() + static_cast<std::uint64_t>(
                                       data.request.settings.whole(runs::Setting::forecast_ahead)),
          data.request.intervals.has_value())) {
    return tell_failure(batch::bad_setting("--runs", *too_large));
  }
  std::vector<batch::Notice> removed;
  const std::optional<Failure> unremoved =
      batch::remove_other_run_folders(data.request, removed, calls);
  tell_notices(removed, options.quiet);
  if (unremoved) return tell_failure(*unremoved);

  const auto count = static_cast<std::size_t>(options.request.runs);
  const int jobs = job_count(options);
  std::vector<records::RunOutcome> outcomes;
  for (std::size_t k = 0; k < count; ++k) {
    const auto stream = options.request.stream + static_cast<std::int32_t>(k);
    outcomes.push_back(batch::run_outcome(data.request, stream, std::nullopt, ""));
  }
  const std::string runs_table_name(records::listed_output(records::Product::runs_table).name);
  bool completed = false;
  {
    const HeldInterrupts interrupts;
    completed = run_processes(data, jobs, calls, options.quiet, interrupts, outcomes);
    // Told while the interrupt is held: letting it through ends the program
    // unless it is handled.
    if (!completed) {
      (void)tell_failure(
          {FailureKind::stopped, "interrupted: the runs that ended are in their folders; " +
                                     runs_table_name + " was not written"});
    }
  }
  if (!completed) return kExitFailed;
  try {
    return finish_runs(options, outcomes, calls);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return tell_failure(
      {FailureKind::out_of_memory,
       "not enough memory for the table, summary and ensemble of these runs; the runs are in "
       "their folders: merge fewer of them at once with --summarize and --streams"});
}

int summarize_run_folders(const Options& options, records::FileCalls& calls) {
  try {
    return merge_runs(options, calls);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return tell_failure({FailureKind::out_of_memory,
                       "not enough memory for this merge; merge fewer runs at once (--streams)"});
}

int job_count(const Options& options) {
  return std::min(options.jobs > 0 ? options.jobs : usable_cpu_count(), options.request.runs);
}

}  // namespace quarvel::cli
