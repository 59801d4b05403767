// quarvel-cli: runs a model from the command line with the window's data path,
// settings rules and engine calls, so that both give the same results.
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/runner.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return quarvel::cli::run_command_line(arguments);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  std::fputs("error: not enough memory for this run; try smaller populations or series\n", stderr);
  return quarvel::cli::kExitFailed;
}
