// The runner's command line: options named after the settings table, checked
// with the window's rules before anything is read or run.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "frontend/settings.h"
#include "frontend/startrun.h"

namespace quarvel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // an output could not be written, or memory ran out
inline constexpr int kExitBadSetting = 2;
inline constexpr int kExitDataProblem = 3;

// What ends the program: its message (without "error: ") and status.
struct Failure {
  int status = kExitOk;
  std::string message;
};

[[nodiscard]] Failure bad_setting(std::string_view option, const std::string& message);

struct Options {
  std::string training;
  std::string validation;
  std::optional<std::string> history;
  std::optional<std::string> output;
  bool quiet = false;
  bool overlap_given = false;  // otherwise detected from the two files
  frontend::SettingsTexts settings;
};

enum class Request { run, help, version };

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

// --help, generated from the settings table.
[[nodiscard]] std::string usage_text();

// A refused Start, told in the options' terms.
[[nodiscard]] Failure start_failure(const frontend::StartOutcome& outcome, const Options& options);

}  // namespace quarvel::cli
