// The output step's fixture: the system's calls made to fail at a given
// step, and the files of a single run written over old ones or into a new
// folder.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/outputs.h"
#include "records/outputfile.h"
#include "support/scratch.h"

namespace quarvel::testing {

namespace fs = std::filesystem;

// The system's calls, each one recorded by its kind; `error_for` may make
// call number n (from 0) fail with the error it returns instead of 0.
class SteppedCalls final : public records::FileCalls {
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
  // there (and removing the third population's an earlier run left) or new in
  // a folder that is not.
  void prepare(bool replacing) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    request_ = batch::RunRequest{};
    if (replacing) {
      fs::create_directories(folder_ / "out");
      for (const char* name : {"prediction-1.txt", "tree-1.txt", "prediction-2.txt", "tree-2.txt",
                               "prediction-3.txt", "tree-3.txt"}) {
        write(std::string("out/") + name, std::string("old ") + name);
      }
      request_.output = (folder_ / "out").string();
      request_.history = write("h.csv", "old history");
    } else {
      request_.output = (folder_ / "new" / "deeper").string();
      request_.history = (folder_ / "new.csv").string();
    }
  }

  // The step as the runner takes it, `interrupted` asked before the files are replaced.
  std::optional<batch::Failure> write_all(records::FileCalls& calls,
                                          const std::function<bool()>& interrupted = {}) const {
    return batch::write_outputs(request_, batch::OutputFolder::single_run,
                                "generation,population,mse,mdl\n0,1,0.5,0.25\n", results_, calls,
                                interrupted);
  }

  batch::RunRequest request_;
  const std::vector<batch::FolderFile> results_{{"prediction-1.txt", "0,0.5\r\n1,0.25\r\n"},
                                                {"tree-1.txt", "(tree one)\n"},
                                                {"prediction-2.txt", "0,0.75\r\n"},
                                                {"tree-2.txt", "(tree two)\n"}};
};

}  // namespace quarvel::testing
