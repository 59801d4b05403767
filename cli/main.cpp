// quarvel-cli: runs a model from the command line with the window's data path,
// settings rules and engine calls, so that both give the same results.
#include <fcntl.h>

#include <csignal>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/runner.h"

int main(int argc, char** argv) {
  // A standard stream that was closed reads from or writes to nothing rather
  // than letting a file of the run take its number and receive its text.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", O_RDWR) != fd) return 1;
  }
  // A reader of the standard output that goes away ends the lines, not the run.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return quarvel::cli::run_command_line(arguments);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  std::fputs("error: not enough memory for this run; try smaller populations or series\n", stderr);
  return quarvel::cli::kExitFailed;
}
