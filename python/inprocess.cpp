#include "python/inprocess.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "batch/sweep.h"
#include "cli/sweep.h"
#include "records/outputlist.h"

namespace quarvel::python {

namespace {

using batch::Failure;
using batch::FailureKind;

Failure stopped_failure() {
  return {FailureKind::stopped, "interrupted: the run stopped before its files were written"};
}

// The single run as run_stream makes it, its files those the runner writes
// for one run: the run folder's record, member and history are kept apart.
std::optional<Failure> single_run(const batch::RunData& data, const batch::RunControl& control,
                                  InProcessRuns& runs) {
  batch::StreamRun run;
  if (auto failure = batch::run_stream(data, data.request.stream, control, run)) return failure;
  const std::vector<std::string> names =
      batch::output_file_names(data.request, batch::OutputFolder::single_run);
  const std::string_view history_name = records::listed_output(records::Product::history).name;
  const std::string_view member_name =
      records::listed_output(records::Product::ensemble_member).name;
  std::string history;
  std::vector<batch::FolderFile> files;
  for (auto& [name, content] : run.files) {
    if (name == history_name) {
      history = std::move(content);
    } else if (name == member_name) {
      runs.members.push_back(std::move(content));
    } else if (std::find(names.begin(), names.end(), name) != names.end()) {
      files.emplace_back(name, std::move(content));
    }
  }
  runs.records.push_back(std::move(run.record_text));
  return batch::write_outputs(data.request, batch::OutputFolder::single_run, history, files);
}

// The runs of many streams, `jobs` at a time, each thread taking the next
// stream not yet taken; the outcomes in stream order.
std::optional<Failure> many_runs(const batch::RunData& data, int jobs,
                                 const std::atomic<bool>& stop, InProcessRuns& runs) {
  const auto count = static_cast<std::size_t>(data.request.runs);
  std::vector<records::RunOutcome> outcomes(count);
  runs.records.assign(count, {});
  runs.members.assign(count, {});
  std::atomic<std::size_t> next{0};
  std::mutex exception_mutex;
  std::exception_ptr exception;
  const batch::RunControl control{{}, [&stop] { return stop.load(); }, jobs > 1 ? 1 : 0};
  const std::string_view member_name =
      records::listed_output(records::Product::ensemble_member).name;
  const auto work = [&] {
    try {
      for (std::size_t k = next++; k < count && !stop; k = next++) {
        const auto stream = data.request.stream + static_cast<std::int32_t>(k);
        batch::StreamRun run;
        std::optional<Failure> failure = batch::run_stream(data, stream, control, run);
        if (!failure) failure = batch::write_run_folder(run);
        if (!failure) {
          runs.records[k] = run.record_text;
          for (const auto& [name, content] : run.files) {
            if (name == member_name) runs.members[k] = content;
          }
        }
        outcomes[k] = batch::run_outcome(
            data.request, stream,
            failure ? std::optional<std::string>(failure->message) : std::nullopt,
            failure ? std::string_view() : std::string_view(run.record_text));
      }
    } catch (...) {
      const std::lock_guard lock(exception_mutex);
      if (!exception) exception = std::current_exception();
    }
  };
  {
    std::vector<std::jthread> threads;
    for (int j = 1; j < jobs; ++j) threads.emplace_back(work);
    work();
  }
  if (exception) std::rethrow_exception(exception);
  if (stop) return stopped_failure();
  if (auto failure = batch::write_runs_files(data.request, outcomes, runs.summary)) return failure;
  return batch::failed_runs(outcomes);
}

}  // namespace

InProcessRuns run_in_process(const cli::Options& options, const std::atomic<bool>& stop) {
  InProcessRuns runs;
  batch::RunData data;
  runs.failure = batch::read_run_data(options.request, data);
  runs.notices = data.notices;
  if (runs.failure) return runs;
  if (options.request.runs > 0) {
    runs.failure = batch::check_start(data);
    if (!runs.failure) runs.failure = many_runs(data, cli::job_count(options), stop, runs);
    return runs;
  }
  const batch::RunControl control{{}, [&stop] { return stop.load(); }, 0};
  runs.failure = single_run(data, control, runs);
  if (runs.failure && runs.failure->kind == FailureKind::stopped) runs.failure = stopped_failure();
  return runs;
}

}  // namespace quarvel::python
