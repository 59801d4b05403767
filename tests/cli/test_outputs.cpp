// The runner's output step in process: a system call that fails at any step,
// or an interrupt that comes at any step, leaves all the old files or all the
// new ones, and nothing else.
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
#include <string>
#include <vector>

#include "cli/outputs.h"
#include "support/scratch.h"

namespace quarvel::cli {
namespace {

namespace fs = std::filesystem;

// The system's calls, each one recorded by its kind; `error_for` may make
// call number n (from 0) fail with the error it returns instead of 0.
class SteppedCalls final : public frontend::FileCalls {
 public:
  std::function<int(std::size_t n, const std::string& kind)> error_for;
  std::vector<std::string> kinds;

  int open(const char* path, int flags, mode_t mode) override {
    if (const int error = step("open")) return failed(error);
    return FileCalls::open(path, flags, mode);
  }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    if (const int error = step("write")) return failed(error);
    return FileCalls::write(fd, data, size);
  }
  int fsync(int fd) override {
    if (const int error = step("fsync")) return failed(error);
    return FileCalls::fsync(fd);
  }
  int close(int fd) override {
    const int error = step("close");
    const int closed = FileCalls::close(fd);  // a failed close still frees the descriptor
    return error != 0 ? failed(error) : closed;
  }
  int link(const char* from, const char* to) override {
    if (const int error = step("link")) return failed(error);
    return FileCalls::link(from, to);
  }
  int rename(const char* from, const char* to) override {
    if (const int error = step("rename")) return failed(error);
    return FileCalls::rename(from, to);
  }
  int unlink(const char* path) override {
    if (const int error = step("unlink")) return failed(error);
    return FileCalls::unlink(path);
  }
  int mkdir(const char* path, mode_t mode) override {
    if (const int error = step("mkdir")) return failed(error);
    return FileCalls::mkdir(path, mode);
  }
  int rmdir(const char* path) override {
    if (const int error = step("rmdir")) return failed(error);
    return FileCalls::rmdir(path);
  }

 private:
  int step(const std::string& kind) {
    kinds.push_back(kind);
    return error_for ? error_for(kinds.size() - 1, kind) : 0;
  }
  static int failed(int error) {
    errno = error;
    return -1;
  }
};

class OutputStepTest : public quarvel::testing::ScratchFolderTest {
 protected:
  // Two populations' files and the history, either replacing files that are
  // there or new in a folder that is not.
  void prepare(bool replacing) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    options_ = Options{};
    if (replacing) {
      fs::create_directories(folder_ / "out");
      for (const char* name :
           {"prediction-1.txt", "tree-1.txt", "prediction-2.txt", "tree-2.txt"}) {
        write(std::string("out/") + name, std::string("old ") + name);
      }
      options_.output = (folder_ / "out").string();
      options_.history = write("h.csv", "old history");
    } else {
      options_.output = (folder_ / "new" / "deeper").string();
      options_.history = (folder_ / "new.csv").string();
    }
  }

  std::optional<Failure> write_all(frontend::FileCalls& calls) const {
    return write_outputs(options_, "generation,population,mse,mdl\n0,1,0.5,0.25\n", results_,
                         calls);
  }

  Options options_;
  const std::vector<FolderFile> results_{{"prediction-1.txt", "0,0.5\r\n1,0.25\r\n"},
                                         {"tree-1.txt", "(tree one)\n"},
                                         {"prediction-2.txt", "0,0.75\r\n"},
                                         {"tree-2.txt", "(tree two)\n"}};
};

TEST_F(OutputStepTest, AFailedCallAtAnyStepLeavesNothingNew) {
  for (const bool replacing : {true, false}) {
    prepare(replacing);
    ASSERT_EQ(write_all(frontend::system_file_calls()), std::nullopt);
    const auto all_new = quarvel::testing::snapshot(folder_);
    // A full disk, a failing device; removing what the step made is never
    // made to fail, as nothing more could be done then.
    for (const int error : {ENOSPC, EIO}) {
      for (std::size_t failing = 0;; ++failing) {
        SCOPED_TRACE(std::string(replacing ? "replacing" : "new") + ", " + std::strerror(error) +
                     ", call " + std::to_string(failing));
        prepare(replacing);
        const auto old = quarvel::testing::snapshot(folder_);
        SteppedCalls calls;
        bool failed = false;
        calls.error_for = [&](std::size_t n, const std::string& kind) {
          if (n != failing || kind == "unlink" || kind == "rmdir") return 0;
          failed = true;
          return error;
        };
        const std::optional<Failure> result = write_all(calls);
        if (!failed) {
          EXPECT_EQ(result, std::nullopt);
          EXPECT_EQ(quarvel::testing::snapshot(folder_), all_new);
          break;
        }
        SCOPED_TRACE(calls.kinds[failing]);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->status, kExitFailed);
        EXPECT_NE(result->message.find(std::strerror(error)), std::string::npos) << result->message;
        EXPECT_EQ(quarvel::testing::snapshot(folder_), old);
      }
    }
  }
}

// Each interrupt in turn, sent at each call of the step in a child process:
// before the first file is replaced the step is abandoned, after that it is
// completed, and then the signal ends the process.
TEST_F(OutputStepTest, AnInterruptAtAnyStepLeavesTheOldFilesOrTheNewOnes) {
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
        const auto result = write_all(calls);
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

}  // namespace
}  // namespace quarvel::cli
