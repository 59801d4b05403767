// Many independent runs of one set of data and settings (--runs), each in a
// process and folder of its own, and the table and summary of run folders
// written by any number of calls (--summarize).
#pragma once

#include "cli/options.h"
#include "frontend/outputfile.h"

namespace quarvel::cli {

// --runs, once its output names are checked and its folder claimed
// (run_command_line): checks every setting and the data before any run
// starts, then runs streams --stream .. --stream + runs - 1, --jobs at a
// time, each in a forked process with a fresh engine that writes its own
// folder all or nothing and ends with the sweep; then runs.csv and
// summary.txt. A run that fails is told and the others go on. An interrupt
// ends the runs under way without their files and the program, once told,
// without runs.csv. The exit status.
[[nodiscard]] int run_sweep(const Options& options, frontend::FileCalls& calls);

// --summarize: runs.csv and summary.txt in --output from the run records of
// the folders named, which must be runs of the same data and settings, each
// run once. The exit status.
[[nodiscard]] int summarize_run_folders(const Options& options, frontend::FileCalls& calls);

}  // namespace quarvel::cli
