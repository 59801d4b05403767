// The data of a request read and checked before any run starts: two data
// files, or a table split into its two parts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/request.h"
#include "batch/tabledata.h"
#include "data/datafile.h"
#include "forecasting/transformedrun.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::batch {

// The data of a request, read and checked, and the request it runs with: the
// overlap detected from the data when not given, or taken from the split of
// a table.
struct RunData {
  RunRequest request;
  data::GridColumns training;
  data::GridColumns validation;
  std::optional<SplitTable> table;  // with a table: its split and time stamps
  // The season of the run (its setting, or the table's time step's), 0 for
  // none; and with transforms asked for, the series through them.
  std::int32_t season = 0;
  std::optional<forecasting::TransformedRun> transformed;
  // What reading told: how a table was read and split, text after a line's
  // number, and other things the user should know. Filled on failure too.
  std::vector<Notice> notices;
};

// Checks the settings and reads both data files, or the table
// (read_table_data), as every run does before it starts; with transforms
// asked for, chooses them from the training part (told in a note) and
// transforms the series.
[[nodiscard]] std::optional<Failure> read_run_data(const RunRequest& given, RunData& data);

// A data file that cannot be read, named `name` (`training file "t.txt"`):
// `reason` the system's description, or for too_large the words after the name.
[[nodiscard]] Failure data_file_failure(data::DataFileError error, const std::string& reason,
                                        const std::string& name);

// The loaded series as a run's files and figures take it, in its own
// scaling: the engine's data, or the series as loaded when the engine models
// it through transforms.
[[nodiscard]] forecasting::ScaledData series_view(const RunData& data, const Engine& engine);

}  // namespace quarvel::batch
