// Shared pieces of the front-end and runner tests: a scratch folder per test,
// whole-file reads, and quarvel-cli run as a subprocess.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quarvel::testing {

namespace fs = std::filesystem;

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

struct CliResult {
  int status = -1;  // -1 when the process did not exit (a crash)
  std::string out;
  std::string err;
};

// Runs the runner at `program` with `arguments`, its output streams captured
// in files of `folder`.
inline CliResult run_program(const std::string& program, const fs::path& folder,
                             std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), program);
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string out_path = (folder / "stdout.txt").string();
  const std::string err_path = (folder / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  CliResult result;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program;
    return result;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  fs::remove(out_path);
  fs::remove(err_path);
  return result;
}

}  // namespace quarvel::testing
