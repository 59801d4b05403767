// The runs of a request made in this process, on threads of its own, for a
// front end that lives on after them (the Python module): the single run or
// the many of --runs with the runner's files, stopped between two
// generations when asked.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "batch/request.h"
#include "cli/options.h"

namespace quarvel::python {

struct InProcessRuns {
  std::optional<batch::Failure> failure;
  std::vector<batch::Notice> notices;  // of reading the data
  std::string summary;                 // summary.txt of many runs; empty for a single run
  // Per run in stream order, what it made of its run.txt and
  // ensemble-member.txt; empty for a run that failed.
  std::vector<std::string> records;
  std::vector<std::string> members;
};

// Runs `options` (parsed and checked as the runner parses its command line,
// its output paths checked): reads the data, then makes the single run, its
// files written into request.output (and request.history) as the runner
// writes them, or with request.runs the runs of streams stream ..
// stream + runs - 1, cli::job_count of them at once, each on a thread of its
// own, into their run folders, then runs.csv, summary.txt and
// ensemble-forecast.txt. `stop` is asked between two generations and before
// each run starts: true ends the runs under way without their files, and the
// call with a failure of kind stopped.
[[nodiscard]] InProcessRuns run_in_process(const cli::Options& options,
                                           const std::atomic<bool>& stop);

}  // namespace quarvel::python
