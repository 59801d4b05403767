// The runner's command line: options named after the settings table, checked
// with the window's rules before anything is read or run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/tablefile.h"
#include "forecasting/intervals.h"
#include "runs/settings.h"
#include "runs/startrun.h"

namespace quarvel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // an output could not be written, memory ran out, or a
                                       // run of --runs failed
inline constexpr int kExitBadSetting = 2;
inline constexpr int kExitDataProblem = 3;

// What ends the program: its message (without "error: ") and status.
struct Failure {
  int status = kExitOk;
  std::string message;
};

[[nodiscard]] Failure bad_setting(std::string_view option, const std::string& message);

// Streams `first` to `last`, both included.
struct StreamRange {
  std::int32_t first = 0;
  std::int32_t last = 0;

  friend bool operator==(const StreamRange&, const StreamRange&) = default;
};

// --data: one table file, read and split into the training and the
// validation part.
struct DataTable {
  std::string path;
  // Delimiter, header, decimal comma, the value and time columns and missing
  // values as given; detected where not.
  data::TableOptions reading;
  std::string split;  // --split as typed
};

struct Options {
  std::string training;
  std::string validation;
  std::optional<DataTable> data;  // instead of training and validation
  std::optional<std::string> history;
  std::optional<std::string> output;
  bool quiet = false;
  bool overlap_given = false;   // otherwise detected from the two files
  bool original_units = false;  // --units original: predictions and forecasts unscaled
  bool export_model = false;    // model-K.txt, .py and .h beside the other files
  // --intervals and --paths: prediction bands of these levels from so many
  // simulated paths, beside each forecast.
  std::optional<forecasting::PathSettings> intervals;
  // Every setting as read by its rule; the overlap as detected once the data
  // are read, unless given.
  runs::RunSettings settings;
  // Which runs of these settings: the integer generator's stream of the
  // first, and with --runs how many (each in its own folder under --output)
  // and how many at once (0: one per core).
  std::int32_t stream = 0;
  std::int32_t runs = 0;  // 0: one run, its files written as without --runs
  std::int32_t jobs = 0;
  std::vector<std::string> summarized_folders;  // --summarize
  // --streams: the streams whose runs --summarize expects; empty: those found.
  std::vector<StreamRange> summarized_streams;
};

enum class Request { run, help, version, summarize };

struct CommandLine {
  Request request = Request::run;
  Options options;
  std::optional<Failure> failure;  // a refused option; nothing else is valid then
};

// Parses and checks the arguments (without the program name). Touches no file.
[[nodiscard]] CommandLine parse_command_line(std::span<const std::string> arguments);

// The settings as Start would take them over, checked before any file is read:
// those the engine would refuse by ending the process included.
[[nodiscard]] std::optional<Failure> check_settings(const Options& options);

// One of the runner's own options, beside those of the settings table: its
// value name (empty for a switch) and its description, with a line break where
// --help breaks it.
struct RunnerOption {
  std::string_view option;
  std::string_view value_name;
  std::string_view description;
};

// What the runner does, for --help and the manual page.
inline constexpr std::string_view kRunnerSummary =
    "Models the training series by genetic programming and forecasts the validation part,\n"
    "with the window's data path, settings and results.";
// How the inputs are read, for --help and the manual page (the outputs:
// cli/outputs.h).
inline constexpr std::string_view kInputRule =
    "A data line with text after its number (\"1,5\", \"0x1A\") is read as that number, with\n"
    "a warning on the standard error.";
// How --data reads its table, for --help and the manual page.
inline constexpr std::string_view kTableRule =
    "The table is UTF-8 text, its fields quoted or not; the delimiter, the header line and a "
    "decimal comma are detected unless given. A cell of the value column that is not a number, "
    "a missing value (unless filled), a ragged line, a time stamp out of order, or a comma "
    "detected as decimal that may as well separate thousands (1,046) refuses the table with its "
    "line and column. Date-times with a time zone (Z, +01:00) are taken to the zone of the "
    "first, and the stamps past the data written in it.";
inline constexpr std::string_view kPopulationListRule =
    "one value for all populations, or a comma-separated list of P values";

[[nodiscard]] std::span<const RunnerOption> input_options();
// --data and how its table is read and split.
[[nodiscard]] std::span<const RunnerOption> table_options();
[[nodiscard]] std::span<const RunnerOption> output_options();
// --stream, --runs, --jobs, --summarize and --streams.
[[nodiscard]] std::span<const RunnerOption> sweep_options();
// --help and --version.
[[nodiscard]] std::span<const RunnerOption> information_options();

// The default of a setting as --help and the manual page show it.
[[nodiscard]] std::string shown_default(const runs::SettingInfo& info);

struct ExitStatus {
  int status;
  std::string_view meaning;
};
[[nodiscard]] std::span<const ExitStatus> exit_statuses();

// --help, generated from the settings table and the lists above.
[[nodiscard]] std::string usage_text();

// The file a run reads its "training" or "validation" part from: that file,
// or with --data its table.
[[nodiscard]] const std::string& data_path(const Options& options, std::string_view role);

// A data file as messages name it: `training file "t.txt"` for the role
// "training" or "validation", or with --data `data file "x.csv"` for any.
[[nodiscard]] std::string data_file_name(const Options& options, std::string_view role);

// A refused Start, told in the options' terms.
[[nodiscard]] Failure start_failure(const runs::StartOutcome& outcome, const Options& options);

}  // namespace quarvel::cli
