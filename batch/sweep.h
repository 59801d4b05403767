// Many runs of one request, each of its own stream from a fresh engine into a
// folder of its own, and the table, summary and ensemble of their runs. A
// front end calls it step by step, from any thread:
//
//   read_run_data(request, data)                 (and check_output_paths, check_start)
//   for each stream s of the request:
//     run_stream(data, s, control, run)          its generations, forecasts and files
//     write_run_folder(run)                      all of them or none
//     outcome = run_outcome(data.request, s, failure, run.record_text)
//   write_runs_files(data.request, outcomes, summary)
//
// Runs of several streams may run at once, each on a thread of its own (each
// run has an engine of its own; nothing here is shared between runs but the
// read data, which is only read). The runner runs each in a process of its own
// and gets the same files, whatever the process's locale. A run that runs out
// of memory is a failed run; elsewhere (reading, writing, the ensemble) memory
// running out throws std::bad_alloc, as in the rest of the program.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/outputs.h"
#include "batch/request.h"
#include "batch/rundata.h"
#include "records/outputfile.h"
#include "records/runrecord.h"
#include "records/runtable.h"
#include "runs/generationstep.h"

namespace quarvel::batch {

// The request of the run of `stream` among the many of `request`: its files go
// to its run folder under the output folder, without a history file.
[[nodiscard]] RunRequest stream_request(const RunRequest& request, std::int32_t stream);

// How a run in progress is followed and stopped.
struct RunControl {
  // Called after each generation with its results, on the run's thread.
  runs::AfterGeneration after;
  // Asked between two generations: true stops the run, which then makes no
  // files (a failure of kind stopped).
  runs::StopAsked stop;
  // Threads that fit each population's new models; 0: as a fresh engine
  // takes them (one per CPU, capped). The results do not depend on it.
  int fit_threads = 0;
};

// A finished run of one stream: its record and the files of its folder, made
// but not yet written.
struct StreamRun {
  RunRequest request;  // stream_request's: the run folder is request.output
  records::RunRecord record;
  std::string record_text;        // run.txt
  std::vector<FolderFile> files;  // of the run folder, run.txt among them
};

// Runs stream `stream` of `data` (read_run_data's) from a fresh engine of its
// own: every generation, the forecasts and what they are worth, the run's
// record with its seconds, its ensemble member and the files of its folder.
// Running out of memory is a failure of the run (kind out_of_memory), not an
// exception, so that the other runs go on.
[[nodiscard]] std::optional<Failure> run_stream(const RunData& data, std::int32_t stream,
                                                const RunControl& control, StreamRun& run);

// Writes the run folder of a finished run in one step, all or nothing
// (write_outputs), and removes the files an earlier run left there.
[[nodiscard]] std::optional<Failure> write_run_folder(
    const StreamRun& run, records::FileCalls& calls = records::system_file_calls(),
    const std::function<bool()>& interrupted = {});

// Run folders under request.output of streams that `request` does not run,
// written by an earlier call (named run-NNNN by their stream and holding a
// run record that reads back): a merge of the folder would take their runs
// for this call's. The files such a call wrote there are removed, and the
// folder once that leaves it empty; a note names the folders. Called before
// the runs, with the folder claimed.
[[nodiscard]] std::optional<Failure> remove_other_run_folders(
    const RunRequest& request, std::vector<Notice>& notices,
    records::FileCalls& calls = records::system_file_calls());

// How the run of `stream` ended, as write_runs_files takes it: its stream,
// seed and folder from `request`, `failure` when it failed, and its record
// read back from `record_text` (the text of its run.txt; empty when the run
// made none) as a merge reads it from its folder, so that a run made on this
// thread, on another or in another process gives the same outcome. A record
// that does not read back is the run's failure.
[[nodiscard]] records::RunOutcome run_outcome(const RunRequest& request, std::int32_t stream,
                                              const std::optional<std::string>& failure,
                                              std::string_view record_text);

// The end of many runs or of a merge: runs.csv, summary.txt (with the
// ensemble's block) and ensemble-forecast.txt of `outcomes` (in the order
// given) in request.output, in one step, all or nothing; the ensemble is
// read from the run folders' members. `summary` is set to the text of
// summary.txt.
[[nodiscard]] std::optional<Failure> write_runs_files(
    const RunRequest& request, std::span<const records::RunOutcome> outcomes, std::string& summary,
    records::FileCalls& calls = records::system_file_calls(),
    const std::function<bool()>& interrupted = {});

// The runs of `outcomes` that failed, told as one failure of kind
// runs_failed ("2 of 20 runs failed (streams 3, 7); see runs.csv"); nullopt
// when none did.
[[nodiscard]] std::optional<Failure> failed_runs(std::span<const records::RunOutcome> outcomes);

}  // namespace quarvel::batch
