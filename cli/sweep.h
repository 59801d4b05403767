// Many independent runs of one set of data and settings (--runs), each in a
// process and folder of its own, and the table and summary of run folders
// written by any number of calls (--summarize).
#pragma once

#include <cstdint>
#include <string>

#include "cli/options.h"
#include "frontend/outputfile.h"

namespace quarvel::cli {

// The folder of a run under --output, named after its stream: "run-0002".
[[nodiscard]] std::string run_folder_name(std::int32_t stream);

// --runs: checks every setting, output name and the data before any run
// starts, then runs streams --stream .. --stream + runs - 1, --jobs at a
// time, each in a forked process with a fresh engine that writes its own
// folder all or nothing; then runs.csv and summary.txt. A run that fails is
// told and the others go on. An interrupt ends the runs under way without
// their files and the program without runs.csv. The exit status.
[[nodiscard]] int run_sweep(const Options& options, frontend::FileCalls& calls);

// --summarize: runs.csv and summary.txt in --output from the run records of
// the folders named, which must be runs of the same data and settings, each
// run once. The exit status.
[[nodiscard]] int summarize_run_folders(const Options& options, frontend::FileCalls& calls);

}  // namespace quarvel::cli
