// The runner's command line: options named after the settings table, checked
// with the window's rules before anything is read or run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/request.h"
#include "batch/summarize.h"
#include "runs/settings.h"

namespace quarvel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // an output could not be written, memory ran out, or a
                                       // run of --runs failed
inline constexpr int kExitBadSetting = 2;
inline constexpr int kExitDataProblem = 3;

// What ends the program: the pipeline's failures and the command line's own.
using batch::bad_setting;
using batch::Failure;
using batch::FailureKind;

// The exit status of a failure of that kind.
[[nodiscard]] int exit_status(FailureKind kind);

struct Options {
  // What to run, what the files hold and where they go.
  batch::RunRequest request;
  bool quiet = false;
  // With --runs, how many run at once (0: one per core).
  std::int32_t jobs = 0;
  std::vector<std::string> summarized_folders;  // --summarize
  // --streams: the streams whose runs --summarize expects; empty: those found.
  std::vector<batch::StreamRange> summarized_streams;
};

enum class Action { run, help, version, summarize };

struct CommandLine {
  Action action = Action::run;
  Options options;
  std::optional<Failure> failure;  // a refused option; nothing else is valid then
};

// Parses and checks the arguments (without the program name). Touches no file.
[[nodiscard]] CommandLine parse_command_line(std::span<const std::string> arguments);

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

}  // namespace quarvel::cli
