// The runner as a whole: the command line, and a single run told on the terminal.
#pragma once

#include <span>
#include <string>

#include "cli/options.h"
#include "records/outputfile.h"

namespace quarvel::cli {

// Runs quarvel-cli with `arguments` (without the program name); the exit status.
// The output files are written through `calls`.
[[nodiscard]] int run_command_line(std::span<const std::string> arguments,
                                   records::FileCalls& calls = records::system_file_calls());

// Prints "error: " and the message on the standard error; the failure's status.
int tell_failure(const Failure& failure);

// Prints each notice on the standard error, "note: " or "warning: " and its
// text; no notes with `quiet`.
void tell_notices(std::span<const batch::Notice> notices, bool quiet);

}  // namespace quarvel::cli
