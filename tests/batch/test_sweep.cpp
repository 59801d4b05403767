// Many runs step by step, as a front end other than the runner makes them:
// the runs of a request equal the runner's --runs byte for byte; a run can be
// followed generation by generation and stopped between two; an outcome is
// read back from the record's text.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/outputs.h"
#include "batch/rundata.h"
#include "batch/sweep.h"
#include "support/batch_requests.h"
#include "support/locale.h"
#include "support/scratch.h"

namespace quarvel::batch {
namespace {

namespace fs = std::filesystem;

class BatchSweepTest : public quarvel::testing::ScratchFolderTest {};

TEST_F(BatchSweepTest, TheRunsOfARequestAreTheRunnersRuns) {
  const std::string by_runner = (folder_ / "runner").string();
  const quarvel::testing::CliResult runner = quarvel::testing::run_program(
      QUARVEL_CLI, folder_, quarvel::testing::quick_lynx_arguments(by_runner, 3));
  ASSERT_EQ(runner.status, 0) << runner.err;

  const RunRequest request = quarvel::testing::quick_lynx_request((folder_ / "steps").string(), 3);
  ASSERT_EQ(check_output_paths(request), std::nullopt);
  RunData data;
  ASSERT_EQ(read_run_data(request, data), std::nullopt);
  EXPECT_TRUE(data.notices.empty());
  std::vector<records::RunOutcome> outcomes;
  for (std::int32_t stream = 0; stream < 3; ++stream) {
    StreamRun run;
    std::optional<Failure> failure = run_stream(data, stream, {}, run);
    if (!failure) failure = write_run_folder(run);
    ASSERT_EQ(failure, std::nullopt);
    outcomes.push_back(run_outcome(data.request, stream, std::nullopt, run.record_text));
  }
  std::string summary;
  ASSERT_EQ(write_runs_files(data.request, outcomes, summary), std::nullopt);
  EXPECT_EQ(failed_runs(outcomes), std::nullopt);

  const auto expected = quarvel::testing::files_but_seconds(by_runner);
  EXPECT_EQ(expected.size(), 3 * (10 + 1) + 3u);  // 10 files and the folder per run, 3 beside
  EXPECT_EQ(quarvel::testing::files_but_seconds(folder_ / "steps"), expected);
  EXPECT_EQ(summary, quarvel::testing::read_file(folder_ / "runner" / "summary.txt"));
}

TEST_F(BatchSweepTest, ARunIsFollowedByGenerationAndStopsBetweenTwo) {
  RunRequest request = quarvel::testing::quick_lynx_request((folder_ / "out").string(), 1);
  request.settings.set(runs::Setting::generations, 5);
  RunData data;
  ASSERT_EQ(read_run_data(request, data), std::nullopt);

  std::vector<std::int32_t> followed;
  RunControl control;
  control.after = [&followed](const runs::GenerationResults& done) {
    followed.push_back(done.generation);
  };
  StreamRun whole;
  ASSERT_EQ(run_stream(data, 0, control, whole), std::nullopt);
  EXPECT_EQ(followed, (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
  EXPECT_FALSE(whole.files.empty());

  followed.clear();
  control.stop = [&followed] { return followed.size() == 2; };
  StreamRun stopped;
  const std::optional<Failure> failure = run_stream(data, 0, control, stopped);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, FailureKind::stopped);
  EXPECT_EQ(failure->message, "stopped after 2 of 5 generations");
  EXPECT_EQ(followed, (std::vector<std::int32_t>{0, 1}));
  EXPECT_TRUE(stopped.files.empty());
  EXPECT_TRUE(stopped.record_text.empty());
  EXPECT_FALSE(fs::exists(folder_ / "out"));
}

// A window's process runs in the user's locale: the files of its runs are the
// runner's byte for byte all the same.
TEST_F(BatchSweepTest, ARunsFilesIgnoreTheUserLocale) {
  const RunRequest request = quarvel::testing::quick_lynx_request((folder_ / "out").string(), 1);
  RunData data;
  ASSERT_EQ(read_run_data(request, data), std::nullopt);
  StreamRun in_c_locale;
  ASSERT_EQ(run_stream(data, 0, {}, in_c_locale), std::nullopt);
  const quarvel::testing::CommaDecimalLocale locale;
  if (!locale.set()) GTEST_SKIP() << "no locale with a comma decimal separator is installed";
  StreamRun run;
  ASSERT_EQ(run_stream(data, 0, {}, run), std::nullopt);
  ASSERT_EQ(run.files.size(), in_c_locale.files.size());
  for (std::size_t i = 0; i < run.files.size(); ++i) {
    const auto& [name, content] = run.files[i];
    EXPECT_EQ(name, in_c_locale.files[i].first);
    // Up to the seconds of run.txt, which differ from run to run.
    const std::string& expected = in_c_locale.files[i].second;
    EXPECT_EQ(content.substr(0, content.find("\nseconds ")),
              expected.substr(0, expected.find("\nseconds ")))
        << name;
  }
}

TEST_F(BatchSweepTest, AnOutcomeIsItsRecordReadBack) {
  const RunRequest request = quarvel::testing::quick_lynx_request((folder_ / "out").string(), 2);
  RunData data;
  ASSERT_EQ(read_run_data(request, data), std::nullopt);
  StreamRun run;
  ASSERT_EQ(run_stream(data, 1, {}, run), std::nullopt);

  const records::RunOutcome done = run_outcome(data.request, 1, std::nullopt, run.record_text);
  EXPECT_EQ(done.stream, 1);
  EXPECT_EQ(done.seed, 1);
  EXPECT_EQ(done.folder, (folder_ / "out" / "run-0001").string());
  EXPECT_EQ(done.failure, std::nullopt);
  ASSERT_TRUE(done.record.has_value());
  EXPECT_EQ(records::record_text(*done.record), run.record_text);

  // A run whose folder could not be written keeps its figures beside its failure.
  const records::RunOutcome unwritten =
      run_outcome(data.request, 1, "cannot write", run.record_text);
  EXPECT_EQ(unwritten.failure, "cannot write");
  EXPECT_TRUE(unwritten.record.has_value());

  const records::RunOutcome garbled = run_outcome(data.request, 1, std::nullopt, "not a record\n");
  EXPECT_FALSE(garbled.record.has_value());
  ASSERT_TRUE(garbled.failure.has_value());
  EXPECT_TRUE(garbled.failure->starts_with("its record could not be read back: not a run record"))
      << *garbled.failure;

  std::vector<records::RunOutcome> outcomes{done, unwritten,
                                            run_outcome(data.request, 4, "its process ended", "")};
  const std::optional<Failure> failed = failed_runs(outcomes);
  ASSERT_TRUE(failed.has_value());
  EXPECT_EQ(failed->kind, FailureKind::runs_failed);
  EXPECT_EQ(failed->message, "2 of 3 runs failed (streams 1, 4); see runs.csv");
}

}  // namespace
}  // namespace quarvel::batch
