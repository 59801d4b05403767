// The output step in process: a system call that fails at any step leaves all
// the old files or all the new ones, and nothing else.
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
#include <string>
#include <vector>

#include "batch/outputs.h"
#include "support/output_step.h"
#include "support/scratch.h"

namespace quarvel::batch {
namespace {

using quarvel::testing::OutputStepTest;
using quarvel::testing::SteppedCalls;

TEST_F(OutputStepTest, AFailedCallAtAnyStepLeavesNothingNew) {
  for (const bool replacing : {true, false}) {
    prepare(replacing);
    ASSERT_EQ(write_all(records::system_file_calls()), std::nullopt);
    const auto all_new = quarvel::testing::snapshot(folder_);
    EXPECT_FALSE(all_new.contains("out/tree-3.txt"));
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
        EXPECT_EQ(result->kind, FailureKind::write_failed);
        EXPECT_NE(result->message.find(std::strerror(error)), std::string::npos) << result->message;
        EXPECT_EQ(quarvel::testing::snapshot(folder_), old);
      }
    }
  }
}

}  // namespace
}  // namespace quarvel::batch
