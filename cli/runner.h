// The runner as a whole: command line, data, the run and its outputs.
#pragma once

#include <span>
#include <string>

namespace quarvel::cli {

// Runs quarvel-cli with `arguments` (without the program name); the exit status.
[[nodiscard]] int run_command_line(std::span<const std::string> arguments);

}  // namespace quarvel::cli
