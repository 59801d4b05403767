// Runs of several streams on threads of one process, each with an engine of
// its own, give the files the same runs give one after the other. Built with
// ThreadSanitizer too (scripts/test.sh), which finds any state the runs share.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/rundata.h"
#include "batch/sweep.h"
#include "support/batch_requests.h"
#include "support/scratch.h"

namespace quarvel::batch {
namespace {

class BatchThreadsTest : public quarvel::testing::ScratchFolderTest {
 protected:
  // The runs of `data`'s request into `folder`, each stream on a thread of
  // its own or one after the other, then the files beside them.
  static void run_all(const RunData& data, bool on_threads) {
    constexpr std::int32_t kRuns = 3;
    std::array<std::optional<Failure>, kRuns> failures;
    std::array<StreamRun, kRuns> runs;
    const auto run = [&](std::int32_t stream) {
      auto& failure = failures[static_cast<std::size_t>(stream)];
      StreamRun& finished = runs[static_cast<std::size_t>(stream)];
      // Two fitting threads each, as a window's worker might take them.
      failure = run_stream(data, stream, {{}, {}, 2}, finished);
      if (!failure) failure = write_run_folder(finished);
    };
    if (on_threads) {
      std::vector<std::thread> threads;
      threads.reserve(kRuns);
      for (std::int32_t stream = 0; stream < kRuns; ++stream) threads.emplace_back(run, stream);
      for (std::thread& thread : threads) thread.join();
    } else {
      for (std::int32_t stream = 0; stream < kRuns; ++stream) run(stream);
    }
    std::vector<records::RunOutcome> outcomes;
    for (std::int32_t stream = 0; stream < kRuns; ++stream) {
      const auto k = static_cast<std::size_t>(stream);
      ASSERT_EQ(failures[k], std::nullopt) << "stream " << stream;
      outcomes.push_back(run_outcome(data.request, stream, std::nullopt, runs[k].record_text));
    }
    std::string summary;
    ASSERT_EQ(write_runs_files(data.request, outcomes, summary), std::nullopt);
  }
};

TEST_F(BatchThreadsTest, RunsOnThreadsEqualRunsOneAfterTheOther) {
  for (const bool on_threads : {false, true}) {
    const std::string output = (folder_ / (on_threads ? "threads" : "in-turn")).string();
    RunData data;
    ASSERT_EQ(read_run_data(quarvel::testing::quick_lynx_request(output, 3), data), std::nullopt);
    run_all(data, on_threads);
  }
  const auto in_turn = quarvel::testing::files_but_seconds(folder_ / "in-turn");
  EXPECT_EQ(in_turn.size(), 3 * (10 + 1) + 3u);
  EXPECT_EQ(quarvel::testing::files_but_seconds(folder_ / "threads"), in_turn);
}

}  // namespace
}  // namespace quarvel::batch
