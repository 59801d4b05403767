// The data of a run read and checked before it starts: two data files, or
// the table of --data split into its two parts.
#pragma once

#include <optional>
#include <string>

#include "batch/tabledata.h"
#include "cli/options.h"
#include "data/datafile.h"

namespace quarvel::cli {

// The data of a run, read and checked, and the options it runs with: the
// overlap detected from the data when not given.
struct RunData {
  Options options;
  data::GridColumns training;
  data::GridColumns validation;
  std::optional<SplitTable> table;  // with --data: its split and time stamps
};

// Checks the settings and reads both data files, or the table of --data
// (read_table_data), as every run does before it starts; text after a line's
// number is warned about on the standard error.
[[nodiscard]] std::optional<Failure> read_run_data(const Options& given, RunData& data);

// A data file that cannot be read, named `name` (`training file "t.txt"`):
// `reason` the system's description, or for too_large the words after the name.
[[nodiscard]] Failure data_file_failure(data::DataFileError error, const std::string& reason,
                                        const std::string& name);

}  // namespace quarvel::cli
