// What a front end asks of the run pipeline: the data and how it is read, the
// settings, which runs, what their files hold and where they go; and a failure
// as the pipeline reports it, by its kind and with the message to show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/tablefile.h"
#include "forecasting/intervals.h"
#include "runs/settings.h"
#include "runs/startrun.h"

namespace quarvel::batch {

// What kind of failure ended a step; the runner gives each its exit status.
enum class FailureKind {
  bad_setting,    // a refused setting, option or output name: nothing was read or run
  data_problem,   // data that cannot be read or used, or run folders that cannot be merged
  write_failed,   // a file could not be written or removed
  out_of_memory,  // a run ran out of memory (run_stream; other steps throw std::bad_alloc)
  stopped,        // the caller stopped the run, or an interrupt stopped the runs
  runs_failed,    // some runs of many failed; the others are summarized
};

struct Failure {
  FailureKind kind = FailureKind::bad_setting;
  std::string message;  // whole, without "error: "

  friend bool operator==(const Failure&, const Failure&) = default;
};

// What a step tells besides its result, to be shown as it comes: a note
// (how a table was read and split) or a warning.
struct Notice {
  enum class Kind { note, warning };
  Kind kind = Kind::note;
  std::string text;  // whole, without "note: " or "warning: "

  friend bool operator==(const Notice&, const Notice&) = default;
};

// At most this many runs in one call, of --runs or of a merge: the runs' table,
// records and ensemble are held together until their files are written.
inline constexpr std::int32_t kMaxRuns = 100000;

// A refused setting or name, told in the terms of its option: "--output: ...".
[[nodiscard]] Failure bad_setting(std::string_view option, const std::string& message);

// A table file that holds the whole series, read and split into the training
// and the validation part.
struct DataTable {
  std::string path;
  // Delimiter, header, decimal comma, the value and time columns and missing
  // values as given; detected where not.
  data::TableOptions reading;
  std::string split;  // where the training part ends, as typed: fraction, count or time stamp
};

// One run, or many of the same data and settings: every front end that makes
// the runner's runs fills one (the runner from its command line).
struct RunRequest {
  std::string training;  // the two data files,
  std::string validation;
  std::optional<DataTable> data;  // or one table instead
  // Every setting as read by its rule (the forecast's steps past the data and
  // the seed among them); the overlap as detected once the data are read,
  // unless given.
  runs::RunSettings settings;
  bool overlap_given = false;   // otherwise detected from the two files
  bool original_units = false;  // predictions and forecasts unscaled, in the series' units
  bool export_model = false;    // model-K.txt, .py and .h beside the other files
  // Prediction bands of these levels from so many simulated paths, beside
  // each forecast.
  std::optional<forecasting::PathSettings> intervals;
  // Which runs: the integer generator's stream of the first, and how many
  // (0: one run, its files written straight into `output`; N: N runs of
  // streams stream .. stream + N - 1, each in a folder of its own under
  // `output`).
  std::int32_t stream = 0;
  std::int32_t runs = 0;
  std::optional<std::string> output;   // the folder the files go into
  std::optional<std::string> history;  // a single run's history file
};

// The settings as Start would take them over, checked before any file is read:
// those the engine would refuse by ending the process included.
[[nodiscard]] std::optional<Failure> check_settings(const RunRequest& request);

// The file a run reads its "training" or "validation" part from: that file,
// or with a table the table.
[[nodiscard]] const std::string& data_path(const RunRequest& request, std::string_view role);

// A data file as messages name it: `training file "t.txt"` for the role
// "training" or "validation", or with a table `data file "x.csv"` for any.
[[nodiscard]] std::string data_file_name(const RunRequest& request, std::string_view role);

// A refused Start, told in the request's terms.
[[nodiscard]] Failure start_failure(const runs::StartOutcome& outcome, const RunRequest& request);

}  // namespace quarvel::batch
