// Shared pieces of the front-end and runner tests: a scratch folder per test,
// whole-file reads, a disk that fills up, and quarvel-cli run as a subprocess.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::testing {

namespace fs = std::filesystem;

// `text` with its first `from` replaced by `to` (a broken copy of a good file).
inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "<what>": what a snapshot gives for an entry that is not a small file. (Put
// together by appending: GCC 12 wrongly warns of "<" + a std::string.)
inline std::string marked(const std::string& what) {
  std::string text(1, '<');
  text += what;
  text += '>';
  return text;
}

// Everything under `folder`, by relative path: a file's content (its size when
// large), or what else stands there. Links are not followed.
inline std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  std::error_code error;
  for (auto entry = fs::recursive_directory_iterator(folder, error);
       entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    const std::string name = entry->path().lexically_relative(folder).string();
    const fs::file_status status = entry->symlink_status();
    if (fs::is_symlink(status)) {
      entries[name] = marked("link to " + fs::read_symlink(entry->path()).string());
    } else if (fs::is_directory(status)) {
      entries[name] = "<folder>";
    } else if (fs::is_regular_file(status)) {
      // A large file (a sparse one, say) by its size alone.
      const std::uintmax_t size = entry->file_size(error);
      entries[name] =
          size <= (1u << 20) ? read_file(entry->path()) : marked(std::to_string(size) + " bytes");
    } else {
      entries[name] = "<other>";
    }
  }
  return entries;
}

// A fresh folder of its own for every test, removed afterwards.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("quarvel-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(folder_ / name, std::ios::binary) << content;
    return (folder_ / name).string();
  }

  fs::path folder_;
};

// While it lives, neither this process nor a program it starts can make a
// file longer than `bytes`: such a write fails (SIGXFSZ ignored), as it does
// on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    in_force_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    if (previous_handler_ == SIG_ERR) return;
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  [[nodiscard]] bool in_force() const { return in_force_; }

 private:
  rlimit saved_{};
  void (*previous_handler_)(int) = SIG_ERR;
  bool in_force_ = false;
};

struct CliResult {
  int status = -1;  // -1 when the process did not exit (a crash, or a signal)
  int signal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

// Where a program's standard output goes: a file of the scratch folder that
// is read back (the default), the file at `path` (such as /dev/full), or the
// open descriptor `fd` (such as a pipe's write end).
struct StandardOutput {
  std::string path;
  int fd = -1;
};

struct StartedProgram {
  pid_t pid = -1;
  fs::path out_path;  // empty when the standard output is not captured
  fs::path err_path;
};

// Starts the runner at `program` with `arguments`, its standard error (and,
// unless told otherwise, output) captured in files of `folder` named after
// `tag`. SIGPIPE acts as the system's default in it, whatever this process does.
inline StartedProgram start_program(const std::string& program, const fs::path& folder,
                                    std::vector<std::string> arguments,
                                    const StandardOutput& standard_output = {},
                                    const std::string& tag = "") {
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  StartedProgram started;
  started.err_path = folder / ("stderr" + tag + ".txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (standard_output.fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, standard_output.fd, 1);
  } else if (!standard_output.path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, standard_output.path.c_str(), O_WRONLY, 0);
  } else {
    started.out_path = folder / ("stdout" + tag + ".txt");
    posix_spawn_file_actions_addopen(&actions, 1, started.out_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  posix_spawn_file_actions_addopen(&actions, 2, started.err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const int spawned =
      posix_spawn(&started.pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program;
    started.pid = -1;
  }
  return started;
}

// Waits for a started program to end; its status and captured streams.
inline CliResult finish_program(const StartedProgram& started) {
  CliResult result;
  if (started.pid < 0) return result;
  int status = 0;
  ::waitpid(started.pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (!started.out_path.empty()) {
    result.out = read_file(started.out_path);
    fs::remove(started.out_path);
  }
  result.err = read_file(started.err_path);
  fs::remove(started.err_path);
  return result;
}

// Runs the runner at `program` with `arguments` to its end.
inline CliResult run_program(const std::string& program, const fs::path& folder,
                             std::vector<std::string> arguments,
                             const StandardOutput& standard_output = {}) {
  return finish_program(start_program(program, folder, std::move(arguments), standard_output));
}

}  // namespace quarvel::testing
