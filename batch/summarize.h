// The table and summary of run folders written by any number of calls, on any
// number of machines (--summarize), with the runs that failed or are missing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "records/outputfile.h"

namespace quarvel::cli {

// --summarize: runs.csv and summary.txt in --output from the folders named,
// each searched to any depth. A folder that holds run.txt is a run folder;
// every record found must be of the same data and settings, each run once. A
// runs.csv outside run folders gives the runs it records as failed, unless
// the record of such a run is found. With --streams, a stream whose run is
// neither found nor recorded as failed is a failed run (of each seed found),
// and runs of other streams are left out. The exit status: 1 when a run
// failed, with the others summarized.
[[nodiscard]] int summarize_run_folders(const Options& options, records::FileCalls& calls);

// The whole text of a file of at most `largest` bytes; `what` names what it
// should be in the message when it is larger.
[[nodiscard]] std::optional<Failure> read_text(const std::filesystem::path& path,
                                               std::uintmax_t largest, std::string_view what,
                                               std::string& text);

}  // namespace quarvel::cli
