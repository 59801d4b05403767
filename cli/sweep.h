// Many independent runs of one set of data and settings (--runs), each in a
// process and folder of its own, with the table and summary of their runs.
#pragma once

#include <span>

#include "cli/options.h"
#include "records/outputfile.h"
#include "records/runsummary.h"

namespace quarvel::cli {

// --runs, once its output names are checked and its folder claimed
// (run_command_line): checks every setting and the data before any run
// starts, then runs streams --stream .. --stream + runs - 1, job_count at a
// time, each in a forked process with a fresh engine that writes its own
// folder all or nothing and ends with the sweep; then finish_runs. A run
// that fails is told and the others go on. An interrupt ends the runs under
// way without their files and the program, once told, without runs.csv. The
// exit status.
[[nodiscard]] int run_sweep(const Options& options, records::FileCalls& calls);

// How many runs of --runs run at once: --jobs, or one per CPU this process
// may use (usable_cpu_count); never more than the runs.
[[nodiscard]] int job_count(const Options& options);

// "error: stream N: reason" on the standard error for a failed run.
void tell_run_failure(const records::RunOutcome& outcome);

// The end of --runs and --summarize: runs.csv and summary.txt of `outcomes`
// (in the order given) in --output, the summary on the standard output unless
// --quiet, and the failed runs named. The exit status: 1 when a run failed.
[[nodiscard]] int finish_runs(const Options& options, std::span<const records::RunOutcome> outcomes,
                              records::FileCalls& calls);

}  // namespace quarvel::cli
