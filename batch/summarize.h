// The merge of run folders written by any number of calls, on any number of
// machines: the runs their records and tables give, with the runs that failed
// or are missing, for the runs table and summary of them all (sweep.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/request.h"
#include "records/runtable.h"

namespace quarvel::batch {

// Streams `first` to `last`, both included.
struct StreamRange {
  std::int32_t first = 0;
  std::int32_t last = 0;

  friend bool operator==(const StreamRange&, const StreamRange&) = default;
};

// The runs recorded under `folders`, each searched to any depth, in order of
// stream and seed. A folder that holds run.txt is a run folder; every record
// found must be of the same data and settings, each run once. A runs.csv
// outside run folders gives the runs it records as failed, unless the record
// of such a run is found. With `streams`, a stream whose run is neither found
// nor recorded as failed is a failed run (of each seed found), and runs of
// other streams are left out, with a warning in `notices`. A failure when a
// folder cannot be read, the records do not belong together or there is no
// run at all.
[[nodiscard]] std::optional<Failure> merge_run_folders(std::span<const std::string> folders,
                                                       std::span<const StreamRange> streams,
                                                       std::vector<records::RunOutcome>& outcomes,
                                                       std::vector<Notice>& notices);

// The whole text of a file of at most `largest` bytes; `what` names what it
// should be in the message when it is larger.
[[nodiscard]] std::optional<Failure> read_text(const std::filesystem::path& path,
                                               std::uintmax_t largest, std::string_view what,
                                               std::string& text);

}  // namespace quarvel::batch
