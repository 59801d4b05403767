// Many independent runs of one set of data and settings on the command line
// (--runs), each in a process of its own, and the merge of run folders
// (--summarize), with the table and summary of their runs.
#pragma once

#include "cli/options.h"
#include "records/outputfile.h"

namespace quarvel::cli {

// --runs, once its output names are checked and its folder claimed
// (run_command_line): checks every setting and the data before any run
// starts, then runs streams --stream .. --stream + runs - 1, job_count at a
// time, each in a forked process (batch::run_stream and write_run_folder)
// that ends with the sweep; then runs.csv, summary.txt and
// ensemble-forecast.txt, the summary printed unless --quiet. A run that fails
// is told and the others go on. An interrupt ends the runs under way without
// their files and the program, once told, without runs.csv. The exit status:
// 1 when a run failed.
[[nodiscard]] int run_sweep(const Options& options, records::FileCalls& calls);

// --summarize: its output names checked and its folder claimed, the runs of
// the folders named merged (batch::merge_run_folders), each failed run told,
// then the same files and summary as --runs writes. The exit status: 1 when a
// run failed, with the others summarized.
[[nodiscard]] int summarize_run_folders(const Options& options, records::FileCalls& calls);

// How many runs of --runs run at once: --jobs, or one per CPU this process
// may use (usable_cpu_count); never more than the runs.
[[nodiscard]] int job_count(const Options& options);

}  // namespace quarvel::cli
