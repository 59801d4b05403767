// The runner's output step: an interrupt that comes at any step of writing,
// held back meanwhile, leaves all the old files or all the new ones, and
// nothing else; every file a run writes is checked before the run, into its
// own folder or the run folders of many runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "cli/interrupts.h"
#include "cli/runner.h"
#include "support/examples.h"
#include "support/output_step.h"
#include "support/scratch.h"

namespace quarvel::cli {
namespace {

namespace fs = std::filesystem;
using HeldOutputStepTest = quarvel::testing::OutputStepTest;
using quarvel::testing::SteppedCalls;

// Each interrupt in turn, sent at each call of the step in a child process:
// before the first file is replaced the step is abandoned, after that it is
// completed, and then the signal ends the process.
TEST_F(HeldOutputStepTest, AnInterruptAtAnyStepLeavesTheOldFilesOrTheNewOnes) {
  constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};
  for (const bool replacing : {true, false}) {
    prepare(replacing);
    SteppedCalls recorded;
    ASSERT_EQ(write_all(recorded), std::nullopt);
    const auto all_new = quarvel::testing::snapshot(folder_);
    std::size_t first_replacing = 0;
    while (recorded.kinds[first_replacing] != "link" &&
           recorded.kinds[first_replacing] != "rename") {
      ++first_replacing;
    }
    for (std::size_t step = 0; step < recorded.kinds.size(); ++step) {
      const int signal = kSignals[step % kSignals.size()];
      SCOPED_TRACE(std::string(replacing ? "replacing" : "new") + ", " + strsignal(signal) +
                   " at call " + std::to_string(step) + " (" + recorded.kinds[step] + ")");
      prepare(replacing);
      const auto old = quarvel::testing::snapshot(folder_);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (const int s : kSignals) {
          std::signal(s, SIG_DFL);
          sigaddset(&interrupts, s);
        }
        sigprocmask(SIG_UNBLOCK, &interrupts, nullptr);
        SteppedCalls calls;
        calls.error_for = [&](std::size_t n, const std::string&) {
          if (n == step) ::kill(::getpid(), signal);
          return 0;
        };
        const auto result = with_interrupts_held(
            [&](const auto& interrupted) { return write_all(calls, interrupted); });
        ::_exit(result ? 1 : 0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
      EXPECT_EQ(WTERMSIG(status), signal);
      EXPECT_EQ(quarvel::testing::snapshot(folder_), step < first_replacing ? old : all_new);
    }
  }
}

// The system's calls, recording in `log` the name each file of a step is
// given: the files written. A process forked meanwhile (a run of --runs)
// records its files there too.
class WrittenFiles final : public records::FileCalls {
 public:
  explicit WrittenFiles(fs::path log) : log_(std::move(log)) {}

  int rename(const char* from, const char* to) override {
    const int renamed = FileCalls::rename(from, to);
    if (renamed == 0) {
      const std::string line = std::string(to) + "\n";
      const int fd = ::open(log_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      EXPECT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
      ::close(fd);
    }
    return renamed;
  }

  [[nodiscard]] std::set<std::string> written() const {
    std::set<std::string> paths;
    std::istringstream lines(quarvel::testing::read_file(log_));
    for (std::string line; std::getline(lines, line);) paths.insert(line);
    return paths;
  }

 private:
  fs::path log_;
};

class OutputListTest : public quarvel::testing::ScratchFolderTest {
 protected:
  // Runs `arguments` in process and then once for each file written, with a
  // folder standing where that file goes: each must be refused before the
  // run, nothing written. The files written.
  std::set<std::string> expect_every_file_written_checked_first(
      const std::vector<std::string>& arguments) {
    WrittenFiles calls(folder_ / "written.log");
    EXPECT_EQ(run_command_line(arguments, calls), kExitOk);
    std::set<std::string> written = calls.written();
    for (const std::string& path : written) {
      SCOPED_TRACE(path);
      fs::remove_all(folder_ / "out");
      fs::remove(folder_ / "history.csv");
      fs::create_directories(path);
      const auto before = quarvel::testing::snapshot(folder_);
      const quarvel::testing::CliResult blocked =
          quarvel::testing::run_program(QUARVEL_CLI, folder_, arguments);
      EXPECT_EQ(blocked.status, kExitBadSetting);
      EXPECT_NE(blocked.err.find("\"" + path + "\" is a folder"), std::string::npos) << blocked.err;
      EXPECT_EQ(quarvel::testing::snapshot(folder_), before);
      fs::remove_all(path);
    }
    return written;
  }

  std::vector<std::string> every_option(std::vector<std::string> more) const {
    std::vector<std::string> arguments = quarvel::testing::quick_lynx_run(
        {"--populations", "0x2", "--forecast", "$3", "--export-model", "--units", "original",
         "--intervals", "--paths", "50", "--output", (folder_ / "out").string()});
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
};

TEST_F(OutputListTest, EveryFileWrittenIsCheckedBeforeTheRun) {
  const std::string history = (folder_ / "history.csv").string();
  const std::set<std::string> written =
      expect_every_file_written_checked_first(every_option({"--history", history}));
  std::set<std::string> listed{history};
  for (const char* name : {"prediction-", "tree-", "forecast-", "intervals-", "model-"}) {
    for (const char* k : {"1", "2"}) {
      const std::string stem = (folder_ / "out" / name).string() + k;
      if (std::string_view(name) == "model-") {
        listed.insert({stem + ".txt", stem + ".py", stem + ".h"});
      } else {
        listed.insert(stem + ".txt");
      }
    }
  }
  EXPECT_EQ(written, listed);
}

TEST_F(OutputListTest, EveryFileOfARunFolderIsCheckedBeforeTheRuns) {
  const std::set<std::string> written = expect_every_file_written_checked_first(
      every_option({"--stream", "5", "--runs", "2", "--jobs", "2"}));
  // Per run folder the files of the single run, its history, its record and
  // its ensemble member; runs.csv, summary.txt and the ensemble beside them.
  EXPECT_EQ(written.size(), 2 * (14 + 3) + 3u);
  for (const char* file :
       {"out/run-0005/history.csv", "out/run-0006/run.txt", "out/run-0006/model-2.h",
        "out/run-0005/intervals-2.txt", "out/run-0005/ensemble-member.txt", "out/runs.csv",
        "out/summary.txt", "out/ensemble-forecast.txt"}) {
    EXPECT_TRUE(written.contains((folder_ / file).string())) << file;
  }
}

}  // namespace
}  // namespace quarvel::cli
