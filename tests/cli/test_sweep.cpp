// Many runs: streams, --runs on any number of jobs, a run repeated alone, the
// summary of folders written by separate calls, refusals before any run, a
// run that fails while the others complete, and an interrupt.
//
// What is compared byte for byte: every file of every run folder, except the
// "seconds" line of run.txt; runs.csv without its seconds column; and
// summary.txt and the standard output whole. The seconds are the only part
// of a run's files that depends on how it was run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "cli/runner.h"
#include "cli/sweep.h"
#include "data/numbertext.h"
#include "forecasting/forecastfiles.h"
#include "records/outputfile.h"
#include "support/cpu_limit.h"
#include "support/examples.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;

using Result = quarvel::testing::CliResult;
using quarvel::testing::example;
using quarvel::testing::read_file;

// A short run whose streams differ: ranked by MSE, the best tree of the first
// generation does not win every run.
std::vector<std::string> sunspots(const std::vector<std::string>& extra) {
  std::vector<std::string> arguments{"--training",        example("sunspots-training.txt"),
                                     "--validation",      example("sunspots-validation.txt"),
                                     "--rank-by",         "mse",
                                     "--generations",     "5",
                                     "--population-size", "200"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

// `text` without the lines that start with `start`.
std::string without_lines(const std::string& text, const std::string& start) {
  std::istringstream lines(text);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with(start)) kept += line + "\n";
  }
  return kept;
}

// runs.csv without its seconds column (the eighth).
std::string without_seconds(const std::string& table) {
  std::istringstream lines(table);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    std::size_t comma = 0;
    for (int k = 0; k < 7 && comma != std::string::npos; ++k) comma = line.find(',', comma + 1);
    const std::size_t next = line.find(',', comma + 1);
    kept += line.substr(0, comma) + line.substr(next) + "\n";
  }
  return kept;
}

// A run folder's files, run.txt without its seconds.
std::map<std::string, std::string> run_files(const fs::path& folder) {
  auto files = quarvel::testing::snapshot(folder);
  if (files.contains("run.txt")) files["run.txt"] = without_lines(files["run.txt"], "seconds ");
  return files;
}

class SweepTest : public quarvel::testing::ScratchFolderTest {
 protected:
  Result run(const std::vector<std::string>& arguments) const {
    return quarvel::testing::run_program(QUARVEL_CLI, folder_, arguments);
  }
  // --runs into folder `name`, which must succeed.
  Result sweep(const std::string& name, const std::vector<std::string>& extra) const {
    std::vector<std::string> arguments = extra;
    arguments.insert(arguments.end(), {"--output", (folder_ / name).string()});
    Result result = run(sunspots(arguments));
    EXPECT_EQ(result.status, 0) << result.err;
    return result;
  }
  std::string file(const std::string& name) const { return read_file(folder_ / name); }
  // A sweep into `out` long enough to be caught under way.
  quarvel::testing::StartedProgram start_long_sweep(const fs::path& out) const {
    return quarvel::testing::start_program(
        QUARVEL_CLI, folder_,
        sunspots({"--runs", "200", "--jobs", "2", "--quiet", "--generations", "20", "--output",
                  out.string()}));
  }
};

TEST_F(SweepTest, StreamZeroIsTheRunWithoutAStreamAndOtherStreamsDiffer) {
  const auto single = [this](const std::string& name, std::vector<std::string> extra) {
    const fs::path out = folder_ / name;
    extra.insert(extra.end(),
                 {"--output", out.string(), "--history", (out / "history.csv").string()});
    fs::create_directories(out);
    const Result result = run(sunspots(extra));
    EXPECT_EQ(result.status, 0) << result.err;
    return quarvel::testing::snapshot(out);
  };
  const auto plain = single("plain", {});
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_EQ(single("stream-0", {"--stream", "0"}), plain);
  const auto stream2 = single("stream-2", {"--stream", "2"});
  EXPECT_NE(stream2.at("prediction-1.txt"), plain.at("prediction-1.txt"));
  EXPECT_NE(stream2.at("history.csv"), plain.at("history.csv"));

  // In a sweep, run 0 is the same run, and no two of four streams are alike.
  sweep("sweep", {"--runs", "4"});
  auto run0 = run_files(folder_ / "sweep" / "run-0000");
  EXPECT_TRUE(run0.contains("run.txt"));
  run0.erase("run.txt");
  run0.erase("ensemble-member.txt");
  EXPECT_EQ(run0, plain);
  std::set<std::string> predictions;
  for (const char* run : {"run-0000", "run-0001", "run-0002", "run-0003"}) {
    predictions.insert(file("sweep/" + std::string(run) + "/prediction-1.txt"));
  }
  EXPECT_EQ(predictions.size(), 4u);
}

TEST_F(SweepTest, ResultsDoNotDependOnTheNumberOfJobs) {
  const Result one = sweep("one", {"--runs", "4", "--jobs", "1"});
  const Result four = sweep("four", {"--runs", "4", "--jobs", "4"});
  EXPECT_EQ(one.out, four.out);
  EXPECT_NE(one.out.find("stream 3: population 1 MSE "), std::string::npos) << one.out;
  EXPECT_NE(one.out.find("4 runs: seed 1, streams 0-3\n"), std::string::npos) << one.out;
  for (const char* run : {"run-0000", "run-0001", "run-0002", "run-0003"}) {
    SCOPED_TRACE(run);
    const auto files = run_files(folder_ / "one" / run);
    EXPECT_EQ(files.size(), 5u);  // prediction, tree, history, record and ensemble member
    EXPECT_EQ(files, run_files(folder_ / "four" / run));
  }
  EXPECT_EQ(without_seconds(file("one/runs.csv")), without_seconds(file("four/runs.csv")));
  EXPECT_EQ(file("one/summary.txt"), file("four/summary.txt"));
  // Nothing else beside them.
  EXPECT_EQ(quarvel::testing::snapshot(folder_ / "one").size(), 4u * 6 + 3);
}

// With the forecast past the data and the exported models too, which name
// the stream of the run they came from.
TEST_F(SweepTest, ARunRepeatedAloneEqualsItsPlaceInASweep) {
  const std::vector<std::string> more{"--forecast", "3", "--export-model", "--units", "original"};
  const auto with_more = [&more](std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  };
  sweep("sweep", with_more({"--runs", "4"}));
  const fs::path alone = folder_ / "alone";
  fs::create_directories(alone);
  const Result single = run(sunspots(with_more({"--stream", "2", "--output", alone.string(),
                                                "--history", (alone / "history.csv").string()})));
  ASSERT_EQ(single.status, 0) << single.err;
  auto in_sweep = run_files(folder_ / "sweep" / "run-0002");
  in_sweep.erase("run.txt");
  in_sweep.erase("ensemble-member.txt");
  EXPECT_EQ(quarvel::testing::snapshot(alone), in_sweep);
  for (const char* name : {"forecast-1.txt", "model-1.txt", "model-1.py", "model-1.h"}) {
    EXPECT_TRUE(in_sweep.contains(name)) << name;
  }
  EXPECT_NE(in_sweep["model-1.txt"].find("--stream 2"), std::string::npos);
  EXPECT_EQ(file("sweep/run-0000/model-1.txt").find("--stream"), std::string::npos);

  sweep("one-run", with_more({"--stream", "2", "--runs", "1"}));
  EXPECT_EQ(run_files(folder_ / "one-run" / "run-0002"), run_files(folder_ / "sweep" / "run-0002"));
  EXPECT_NE(file("one-run/summary.txt").find("1 run: seed 1, stream 2\n"), std::string::npos);
}

TEST_F(SweepTest, SummaryOfFoldersFromSeparateCallsEqualsTheSweepsOwn) {
  sweep("sweep", {"--runs", "5"});
  // The same five runs from three calls, named as a batch system would.
  sweep("part-a", {"--runs", "2"});
  sweep("part-b", {"--stream", "2", "--runs", "1"});
  sweep("part-c", {"--stream", "3", "--runs", "2", "--jobs", "1"});
  const Result merged =
      run({"--summarize", (folder_ / "part-c").string(), (folder_ / "part-b" / "run-0002").string(),
           (folder_ / "part-a").string(), "--output", (folder_ / "merged").string()});
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(file("merged/summary.txt"), file("sweep/summary.txt"));
  EXPECT_EQ(merged.out, file("sweep/summary.txt"));
  EXPECT_EQ(without_seconds(file("merged/runs.csv")), without_seconds(file("sweep/runs.csv")));
  // The seconds come from the run folders.
  const std::string part_b = file("part-b/runs.csv");
  EXPECT_NE(file("merged/runs.csv").find(part_b.substr(part_b.find('\n') + 1)), std::string::npos);

  // A summary of the sweep's own folder gives its files again.
  const Result again = run({"--summarize", (folder_ / "sweep").string(), "--output",
                            (folder_ / "sweep").string(), "--quiet"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(again.out.empty());
  EXPECT_EQ(file("sweep/summary.txt"), file("merged/summary.txt"));
}

TEST_F(SweepTest, RefusalsComeBeforeAnyRun) {
  fs::create_directories(folder_ / "out");
  write("out/run-0001", "a file where a run folder goes");
  write("flat.txt", "5\n5\n");
  const std::string out = (folder_ / "out").string();
  const std::string fresh = (folder_ / "new").string();
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string message_part;
  };
  const Case cases[] = {
      {sunspots({"--runs", "3", "--population-size", "5", "--output", fresh}), 2,
       "error: --elite: The number of elite (10) of population 1 is larger"},
      {sunspots({"--runs", "3", "--selection", "overselect", "--output", fresh}), 2,
       "error: --population-size: Population size must be bigger than 999"},
      {sunspots({"--runs", "3", "--output", out}), 2,
       "error: --output: \"" + out + "/run-0001\" exists and is not a folder"},
      {sunspots({"--runs", "3", "--output", (folder_ / "out" / "run-0001" / "x").string()}), 2,
       "error: --output: "},
      {sunspots({"--runs", "2", "--output", "/proc/quarvel-runs"}), 2,
       "error: --output: cannot make the folder \"/proc/quarvel-runs\""},
      {sunspots({"--runs", "7", "--forecast", "100000", "--intervals", "--output", fresh}), 2,
       "error: --runs: the ensemble of 7 runs of up to 100187 steps with --intervals would hold "
       "141664418 numbers at once, more than its bound of 134217728 (1 GiB); make fewer runs or "
       "fewer --forecast steps, or leave out --intervals\n"},
      {{"--training", (folder_ / "flat.txt").string(), "--validation",
        (folder_ / "flat.txt").string(), "--runs", "2", "--output", fresh},
       3,
       "error: training file \"" + (folder_ / "flat.txt").string() + "\" and validation file"},
      {{"--summarize", fresh, "--output", out},
       3,
       "error: --summarize: \"" + fresh + "\" does not exist"},
      {{"--summarize", (folder_ / "out").string(), "--output", out},
       3,
       "error: --summarize: \"" + out + "\" holds no run.txt, nor does any folder in it"},
  };
  const auto before = quarvel::testing::snapshot(folder_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message_part);
    const Result result = run(c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err.rfind(c.message_part, 0), 0u) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_EQ(quarvel::testing::snapshot(folder_), before);
  }
}

TEST_F(SweepTest, SummarizeRefusesFoldersThatCannotBeSummarizedTogether) {
  sweep("a", {"--runs", "2"});
  sweep("b", {"--runs", "1", "--stream", "5", "--population-size", "150"});
  sweep("c", {"--runs", "1", "--seed", "3"});
  const std::string record = file("a/run-0001/run.txt");
  fs::create_directories(folder_ / "broken");
  write("broken/run.txt", record.substr(0, record.size() - 1));
  // A stream past the last and a figure that is no number.
  for (const auto& [name, from, to] : {std::tuple{"far", "--stream [0-9]+", "--stream 16777216"},
                                       std::tuple{"nan", " best-mse [^ ]+ ", " best-mse nan "}}) {
    fs::create_directories(folder_ / name);
    write(
        std::string(name) + "/run.txt",
        std::regex_replace(record, std::regex(from), to, std::regex_constants::format_first_only));
  }
  // The line of the record that starts with `start`, from 1.
  const auto line_of = [&record](const std::string& start) {
    const std::string before = record.substr(0, record.find("\n" + start) + 1);
    return static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  };
  const std::size_t stream_line = line_of("--stream ");
  const std::size_t population_line = line_of("population 1 ");
  const std::string a = (folder_ / "a").string();
  struct Case {
    std::vector<std::string> folders;
    std::string message;
  };
  const Case cases[] = {
      {{a, (folder_ / "b").string()},
       "\"" + a + "/run-0000/run.txt\" and \"" + (folder_ / "b" / "run-0005" / "run.txt").string() +
           "\" cannot be summarized together: they differ in --population-size (200 and 150)"},
      {{a, a + "/run-0001"},
       "\"" + a + "/run-0001/run.txt\" and \"" + a +
           "/run-0001/run.txt\" record the same run (seed 1, stream 1)"},
      {{a, (folder_ / "broken").string()},
       "\"" + (folder_ / "broken" / "run.txt").string() + "\": the record ends within a line"},
      {{a, (folder_ / "far").string()},
       "\"" + (folder_ / "far" / "run.txt").string() + "\": line " + std::to_string(stream_line) +
           ": \"--stream\" has a value that cannot be read"},
      {{a, (folder_ / "nan").string()},
       "\"" + (folder_ / "nan" / "run.txt").string() + "\": line " +
           std::to_string(population_line) + ": \"population\" has a value that cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> arguments{"--summarize"};
    arguments.insert(arguments.end(), c.folders.begin(), c.folders.end());
    arguments.insert(arguments.end(), {"--output", (folder_ / "merged").string()});
    const Result result = run(arguments);
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "error: " + c.message + "\n");
    EXPECT_FALSE(fs::exists(folder_ / "merged"));
  }
  // Runs of another seed are runs of the same settings.
  const Result seeds =
      run({"--summarize", a, (folder_ / "c").string(), "--output", (folder_ / "merged").string()});
  ASSERT_EQ(seeds.status, 0) << seeds.err;
  EXPECT_EQ(seeds.out.rfind("3 runs: seeds 1, 3, streams 0-1\n", 0), 0u) << seeds.out;
}

// A link under the merged folders that leads nowhere or round in a loop is
// skipped alike, with a warning that names it; the merge is that of the runs.
TEST_F(SweepTest, LinksThatLeadNowhereOrInALoopAreSkippedWithAWarning) {
  sweep("sweep", {"--runs", "2", "--quiet"});
  const Result plain =
      run({"--summarize", (folder_ / "sweep").string(), "--output", (folder_ / "plain").string()});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const fs::path nowhere = folder_ / "sweep" / "nowhere";
  const fs::path loop = folder_ / "sweep" / "run-0001" / "deeper" / "loop";
  fs::create_directories(loop.parent_path());
  fs::create_symlink(folder_ / "missing", nowhere);
  fs::create_symlink(loop.filename(), loop);
  // run-0001 holds run.txt and is not searched: a folder beside the runs is.
  fs::create_directories(folder_ / "sweep" / "more");
  const fs::path loop_beside = folder_ / "sweep" / "more" / "loop";
  fs::create_symlink(loop_beside.filename(), loop_beside);
  const Result merged =
      run({"--summarize", (folder_ / "sweep").string(), "--output", (folder_ / "merged").string()});
  EXPECT_EQ(merged.status, 0) << merged.err;
  EXPECT_NE(merged.err.find("warning: --summarize: skipped \"" + loop_beside.string() +
                            "\", a link that leads round in a loop\n"),
            std::string::npos)
      << merged.err;
  EXPECT_NE(merged.err.find("warning: --summarize: skipped \"" + nowhere.string() +
                            "\", a link that leads nowhere\n"),
            std::string::npos)
      << merged.err;
  EXPECT_EQ(file("merged/summary.txt"), file("plain/summary.txt"));
}

// A merge whose ensemble would not fit in its bound is refused before it
// reads a member, naming the bound; one that runs out of memory says it is
// the merge that did.
TEST_F(SweepTest, AMergeTooLargeIsRefusedAndOneOutOfMemoryToldAsAMerge) {
  sweep("sweep", {"--runs", "2", "--forecast", "20000", "--intervals", "--quiet"});
  const std::vector<std::string> merge{"--summarize", (folder_ / "sweep").string(), "--output",
                                       (folder_ / "merged").string(), "--quiet"};
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  for (const char* kilobytes : {"60000", "120000"}) {
    SCOPED_TRACE(kilobytes);
    std::vector<std::string> arguments{
        "-c", "ulimit -v \"$1\" || exit 99; shift; exec \"$0\" \"$@\"", QUARVEL_CLI, kilobytes};
    arguments.insert(arguments.end(), merge.begin(), merge.end());
    const Result result = quarvel::testing::run_program("/bin/sh", folder_, arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "error: not enough memory for this merge; merge fewer runs at once (--streams)\n");
    EXPECT_FALSE(fs::exists(folder_ / "merged" / "summary.txt"));
  }
#endif
  // Records of runs of a far longer validation part than their members hold.
  for (const char* run : {"run-0000", "run-0001"}) {
    const fs::path record = folder_ / "sweep" / run / "run.txt";
    write(fs::relative(record, folder_).string(),
          quarvel::testing::replaced(read_file(record), "validation-values 187\n",
                                     "validation-values 400000\n"));
  }
  const Result refused = run(merge);
  EXPECT_EQ(refused.status, 3);
  EXPECT_EQ(refused.err,
            "error: --summarize: the ensemble of 2 runs of up to 420000 steps with --intervals "
            "would hold 169680000 numbers at once, more than its bound of 134217728 (1 GiB); make "
            "fewer runs or fewer --forecast steps, or leave out --intervals\n");
}

// A full disk for the files under one folder, such as "/run-0001/".
class FullDiskFor final : public quarvel::records::FileCalls {
 public:
  explicit FullDiskFor(std::string folder) : folder_(std::move(folder)) {}
  int open(const char* path, int flags, mode_t mode) override {
    if (std::strstr(path, folder_.c_str()) != nullptr) {
      errno = ENOSPC;
      return -1;
    }
    return FileCalls::open(path, flags, mode);
  }

 private:
  std::string folder_;
};

// A full disk while one run writes its folder: that run is told in runs.csv,
// on the standard error and in the exit status, and the others complete.
TEST_F(SweepTest, ARunThatFailsIsToldAndTheOthersComplete) {
  FullDiskFor calls("/run-0001/");
  const fs::path out = folder_ / "out";
  const std::vector<std::string> arguments =
      sunspots({"--runs", "3", "--jobs", "2", "--quiet", "--output", out.string()});
  EXPECT_EQ(quarvel::cli::run_command_line(arguments, calls), 1);
  EXPECT_FALSE(fs::exists(out / "run-0001"));
  for (const char* run : {"run-0000", "run-0002"}) {
    EXPECT_EQ(quarvel::testing::snapshot(out / run).size(), 5u) << run;
  }
  const std::string table = file("out/runs.csv");
  const std::string failed_row = "\n1,1,1,";
  const std::size_t row = table.find(failed_row);
  ASSERT_NE(row, std::string::npos) << table;
  const std::string line = table.substr(row + 1, table.find('\n', row + 1) - row - 1);
  EXPECT_NE(line.find(",failed: cannot create a temporary file for " + (out / "run-0001").string()),
            std::string::npos)
      << line;
  EXPECT_NE(line.find(": No space left on device,"), std::string::npos) << line;
  EXPECT_NE(table.find("\n0,1,1,"), std::string::npos);
  EXPECT_NE(table.find("\n2,1,1,"), std::string::npos) << table;
  EXPECT_NE(table.find(",ok,", table.find("\n2,1,1,")), std::string::npos) << table;
  const std::string summary = file("out/summary.txt");
  EXPECT_NE(summary.find("1 run failed, stream 1 (see runs.csv)"), std::string::npos) << summary;

  // Summarized again, the run that failed is still told: runs.csv records it.
  const Result merged = run({"--summarize", out.string(), "--output", (folder_ / "m").string()});
  EXPECT_EQ(merged.status, 1) << merged.err;
  EXPECT_EQ(file("m/runs.csv"), table);
  EXPECT_EQ(file("m/summary.txt"), summary);
}

// The runs of a batch system's tasks, one part folder each, some nested
// deeper than others: a part whose run failed while writing (its runs.csv
// records that) and a part that is missing are the failed runs --runs has for
// the same fault, in runs.csv, summary.txt and the exit status.
TEST_F(SweepTest, AMergeCountsFailedAndMissingRunsAsTheRunsDo) {
  FullDiskFor full_disk("/run-0002/");
  const fs::path reference = folder_ / "reference";
  ASSERT_EQ(quarvel::cli::run_command_line(
                sunspots({"--runs", "4", "--quiet", "--output", reference.string()}), full_disk),
            1);
  const std::string reference_table = without_seconds(file("reference/runs.csv"));
  const std::string reference_summary = file("reference/summary.txt");
  ASSERT_NE(reference_summary.find("1 run failed, stream 2"), std::string::npos);

  const fs::path parts = folder_ / "parts";
  const auto part = [&parts](int stream) {
    return (parts / (stream < 2 ? "batch-a" : "batch-b/more") / ("part-" + std::to_string(stream)))
        .string();
  };
  for (const int stream : {0, 1, 3}) {
    sweep(fs::relative(part(stream), folder_).string(),
          {"--stream", std::to_string(stream), "--runs", "1", "--quiet"});
  }
  ASSERT_EQ(
      quarvel::cli::run_command_line(
          sunspots({"--stream", "2", "--runs", "1", "--quiet", "--output", part(2)}), full_disk),
      1);
  ASSERT_FALSE(fs::exists(fs::path(part(2)) / "run-0002"));

  const auto merge = [&](const std::string& name, std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"--summarize", parts.string()});
    extra.insert(extra.end(), {"--output", (folder_ / name).string()});
    return run(extra);
  };
  const Result failed_part = merge("failed-part", {});
  EXPECT_EQ(failed_part.status, 1);
  EXPECT_NE(failed_part.err.find("error: stream 2: cannot create a temporary file for " + part(2) +
                                 "/run-0002/"),
            std::string::npos)
      << failed_part.err;
  EXPECT_TRUE(failed_part.err.ends_with("error: 1 of 4 runs failed (stream 2); see runs.csv\n"))
      << failed_part.err;
  EXPECT_EQ(failed_part.out, reference_summary);
  EXPECT_EQ(file("failed-part/summary.txt"), reference_summary);
  // The same row, but for the folder the run was to be written to.
  std::string table = without_seconds(file("failed-part/runs.csv"));
  table.replace(table.find(part(2)), part(2).size(), reference.string());
  EXPECT_EQ(table, reference_table);

  // A task that wrote nothing: its stream is expected all the same.
  fs::remove_all(part(2));
  const Result missing = merge("missing", {"--streams", "0-3"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err,
            "error: stream 2: its run.txt was not found in the folders summarized\n"
            "error: 1 of 4 runs failed (stream 2); see runs.csv\n");
  EXPECT_EQ(file("missing/summary.txt"), reference_summary);
  table = reference_table;
  const std::size_t row = table.find("\n2,1,") + 1;
  table.replace(row, table.find('\n', row) - row,
                "2,1,,,,,,failed: its run.txt was not found in the folders summarized,,,,,,,,,,,");
  EXPECT_EQ(without_seconds(file("missing/runs.csv")), table);
  // Without --streams, the streams found are the runs; with it, those listed.
  const Result found = merge("found", {"--quiet"});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(file("found/summary.txt").rfind("3 runs: seed 1, streams 0-1, 3\n", 0), 0u);
  const Result listed = merge("listed", {"--quiet", "--streams", "0-1"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "warning: --streams leaves out 1 run found of streams it does not list\n");
  EXPECT_EQ(file("listed/summary.txt").rfind("2 runs: seed 1, streams 0-1\n", 0), 0u);

  // Stream 2 run again elsewhere: its record counts, the part's failure no more.
  ASSERT_EQ(
      quarvel::cli::run_command_line(
          sunspots({"--stream", "2", "--runs", "1", "--quiet", "--output", part(2)}), full_disk),
      1);
  sweep("again/part-2", {"--stream", "2", "--runs", "1", "--quiet"});
  const Result again = merge("merged-again", {(folder_ / "again").string(), "--streams", "0-3"});
  EXPECT_EQ(again.status, 0) << again.err;
  sweep("whole", {"--runs", "4", "--quiet"});
  EXPECT_EQ(file("merged-again/summary.txt"), file("whole/summary.txt"));
  EXPECT_EQ(without_seconds(file("merged-again/runs.csv")),
            without_seconds(file("whole/runs.csv")));
}

// The ensemble is made from the run folders: --summarize gives --runs'
// summary.txt and ensemble-forecast.txt again, byte for byte; per step the
// ensemble is the median of the runs' forecasts, with bands pooled from all
// their paths; each run's figures are in runs.csv.
TEST_F(SweepTest, TheEnsembleComesFromTheRunFoldersAlike) {
  const Result swept = sweep("sweep", {"--runs", "4", "--intervals", "--paths", "200", "--forecast",
                                       "3", "--units", "original", "--quiet"});
  const std::string table = file("sweep/runs.csv");
  EXPECT_NE(table.find(",seconds,status,mae,rmse,mape,mase,mse_over_best_benchmark,naive_mse,"
                       "seasonal_naive_mse,drift_mse,linear_ar_mse,validation_diverged_at_step,"
                       "forecast_diverged_at_step,coverage_80,coverage_95\n"),
            std::string::npos)
      << table;
  const std::string summary = file("sweep/summary.txt");
  EXPECT_NE(summary.find("\nEnsemble of 4 runs (ensemble-forecast.txt, in the series' units): "
                         "per step the median of their best populations' forecasts, and bands "
                         "pooled from the bands of 4 runs.\nIts validation forecast over 68 "
                         "held-out points: scaled MSE "),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("\nCoverage of the held-out values: 80 % band "), std::string::npos);
  EXPECT_NE(summary.find("\n80 % coverage    "), std::string::npos);

  quarvel::forecasting::BandTable ensemble;
  ASSERT_EQ(quarvel::forecasting::parse_band_table(file("sweep/ensemble-forecast.txt"), ensemble),
            std::nullopt);
  EXPECT_EQ(ensemble.point_name, "median");
  EXPECT_EQ(ensemble.first_index, 340);
  ASSERT_EQ(ensemble.point.size(), 68u + 3u);
  ASSERT_EQ(ensemble.bands.size(), 2u);
  std::vector<quarvel::forecasting::BandTable> runs(4);
  for (std::size_t k = 0; k < 4; ++k) {
    ASSERT_EQ(quarvel::forecasting::parse_band_table(
                  file("sweep/run-000" + std::to_string(k) + "/intervals-1.txt"), runs[k]),
              std::nullopt);
  }
  for (std::size_t j = 0; j < ensemble.point.size(); ++j) {
    std::vector<double> step;
    step.reserve(runs.size());
    for (const auto& run : runs) step.push_back(run.point[j]);
    std::sort(step.begin(), step.end());
    // The median of four, taken on the scaled values and brought back to the units.
    EXPECT_NEAR(ensemble.point[j], (step[1] + step[2]) / 2, 1e-9 * 190.2) << j;
    EXPECT_LE(ensemble.bands[1].lower[j], ensemble.bands[0].lower[j]) << j;
    EXPECT_LE(ensemble.bands[0].upper[j], ensemble.bands[1].upper[j]) << j;
  }

  const Result merged = run({"--summarize", (folder_ / "sweep").string(), "--units", "original",
                             "--output", (folder_ / "merged").string()});
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(merged.out, summary);
  EXPECT_EQ(file("merged/summary.txt"), summary);
  EXPECT_EQ(file("merged/ensemble-forecast.txt"), file("sweep/ensemble-forecast.txt"));
  EXPECT_EQ(without_seconds(file("merged/runs.csv")), without_seconds(table));
  // Scaled, the default: the same summary but for the units it names, the
  // ensemble on the [0, 1] scale.
  ASSERT_EQ(run({"--summarize", (folder_ / "sweep").string(), "--output",
                 (folder_ / "scaled").string(), "--quiet"})
                .status,
            0);
  EXPECT_EQ(file("scaled/summary.txt"),
            quarvel::testing::replaced(summary, "in the series' units): per step",
                                       "scaled to [0, 1]): per step"));
  quarvel::forecasting::BandTable scaled;
  ASSERT_EQ(quarvel::forecasting::parse_band_table(file("scaled/ensemble-forecast.txt"), scaled),
            std::nullopt);
  EXPECT_NEAR(scaled.point[5] * 190.2, ensemble.point[5], 1e-9 * 190.2);
}

// Copies of one run under other streams are identical runs: the median of
// their forecasts is the run's forecast, bit for bit, with its accuracy.
TEST_F(SweepTest, AnEnsembleOfIdenticalRunsIsTheRun) {
  sweep("one", {"--runs", "1", "--intervals", "--paths", "200", "--forecast", "3", "--quiet"});
  const fs::path original = folder_ / "one" / "run-0000";
  for (const int stream : {1, 2}) {
    const fs::path copy = folder_ / "copies" / quarvel::batch::run_folder_name(stream);
    fs::create_directories(copy);
    fs::copy(original, copy);
    std::string record = file("copies/" + copy.filename().string() + "/run.txt");
    record.replace(record.find("\n--stream 0\n"), 12,
                   "\n--stream " + std::to_string(stream) + "\n");
    write("copies/" + copy.filename().string() + "/run.txt", record);
    std::string member = file("copies/" + copy.filename().string() + "/ensemble-member.txt");
    member.replace(member.find("\nstream 0\n"), 10, "\nstream " + std::to_string(stream) + "\n");
    write("copies/" + copy.filename().string() + "/ensemble-member.txt", member);
  }
  const Result merged =
      run({"--summarize", (folder_ / "one").string(), (folder_ / "copies").string(), "--output",
           (folder_ / "merged").string()});
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_NE(merged.out.find("3 runs: seed 1, streams 0-2\n"), std::string::npos) << merged.out;

  quarvel::forecasting::BandTable ensemble;
  quarvel::forecasting::BandTable single;
  ASSERT_EQ(quarvel::forecasting::parse_band_table(file("merged/ensemble-forecast.txt"), ensemble),
            std::nullopt);
  ASSERT_EQ(quarvel::forecasting::parse_band_table(file("one/run-0000/intervals-1.txt"), single),
            std::nullopt);
  EXPECT_EQ(ensemble.first_index, single.first_index);
  EXPECT_EQ(ensemble.point, single.point);
  // Its figures are the run's, as run.txt records them.
  const std::string record = file("one/run-0000/run.txt");
  // The number after `marker`, in the summary's digits.
  const auto recorded = [&record](const std::string& marker) {
    const std::size_t at = record.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    return quarvel::data::format_general(std::strtod(record.c_str() + at + marker.size(), nullptr));
  };
  EXPECT_NE(merged.out.find("held-out points: scaled MSE " + recorded(" validation-mse ") +
                            ", MAE " + recorded("\nmae 1 ") + ", RMSE " + recorded("\nrmse 1 ")),
            std::string::npos)
      << merged.out;
}

// A run folder of an earlier version, whose record holds no forecast figures
// and which has no ensemble member, is summarized with the others: its
// figures are empty, and the ensemble leaves it out and says so.
TEST_F(SweepTest, RunFoldersOfAnEarlierVersionStillMerge) {
  sweep("sweep", {"--runs", "3", "--quiet"});
  std::string kept;
  std::istringstream lines(file("sweep/run-0001/run.txt"));
  for (std::string line; std::getline(lines, line);) {
    bool figure = false;
    for (const char* key :
         {"mae ", "rmse ", "mape ", "mase ", "mse-over-best-benchmark ", "naive-mse ",
          "seasonal-naive-mse ", "drift-mse ", "linear-ar-mse ", "validation-diverged "}) {
      figure = figure || line.starts_with(key);
    }
    if (!figure) kept += line + "\n";
  }
  write("sweep/run-0001/run.txt", kept);
  fs::remove(folder_ / "sweep" / "run-0001" / "ensemble-member.txt");

  const Result merged =
      run({"--summarize", (folder_ / "sweep").string(), "--output", (folder_ / "m").string()});
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_NE(merged.out.find("\nMAE is not given for 1 run (not in its record).\n"),
            std::string::npos)
      << merged.out;
  EXPECT_NE(merged.out.find("\nEnsemble of 2 runs "), std::string::npos) << merged.out;
  EXPECT_TRUE(merged.out.ends_with(
      "Left out of the ensemble: stream 1 (no ensemble-member.txt in its folder).\n"))
      << merged.out;
  const std::string table = file("m/runs.csv");
  const std::size_t row = table.find("\n1,1,1,") + 1;
  EXPECT_TRUE(table.substr(row, table.find('\n', row) - row).ends_with(",ok,,,,,,,,,,,")) << table;
}

// Runs whose forecast ran away from the data are marked in their records and
// runs.csv, and counted in the summary; nothing is dropped.
TEST_F(SweepTest, RunsWhoseForecastRanAwayAreMarkedAndCounted) {
  const Result result =
      run({"--training", example("mackey-glass-training.txt"), "--validation",
           example("mackey-glass-validation.txt"), "--generations", "10", "--population-size",
           "300", "--runs", "2", "--quiet", "--output", (folder_ / "out").string()});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string record = file("out/run-0001/run.txt");
  const std::size_t at = record.find("\nvalidation-diverged 1 at step ");
  ASSERT_NE(at, std::string::npos) << record;
  const std::string step = record.substr(at + 31, record.find('\n', at + 1) - at - 31);
  EXPECT_NE(file("out/run-0000/run.txt").find("\nvalidation-diverged 1 no\n"), std::string::npos);
  EXPECT_NE(file("out/runs.csv").find(",ok,"), std::string::npos);
  const std::string table = file("out/runs.csv");
  const std::size_t row = table.find("\n1,1,1,") + 1;
  EXPECT_TRUE(table.substr(row, table.find('\n', row) - row).ends_with("," + step + ",")) << table;
  EXPECT_NE(file("out/summary.txt")
                .find("span = hi - lo): the validation forecast of 1 of 2 runs (stream 1).\n"),
            std::string::npos)
      << file("out/summary.txt");
  EXPECT_EQ(quarvel::testing::snapshot(folder_ / "out" / "run-0001").size(), 5u);
}

// A folder that cannot be read is told, not passed over: it may hold runs.
TEST_F(SweepTest, AFolderThatCannotBeReadIsRefused) {
  sweep("sweep", {"--runs", "2", "--quiet"});
  const fs::path unreadable = folder_ / "sweep" / "run-0001";
  const std::vector<std::string> merge{"--summarize", (folder_ / "sweep").string(), "--output",
                                       (folder_ / "merged").string()};
  std::string program = QUARVEL_CLI;
  std::vector<std::string> arguments = merge;
  // Root reads every folder: the merge runs as another user then.
  if (::geteuid() == 0) {
    program = "/usr/bin/setpriv";
    if (!fs::exists(program)) GTEST_SKIP() << "root, and no setpriv to run as another user";
    arguments = {"--reuid=65534", "--regid=65534", "--clear-groups", QUARVEL_CLI};
    arguments.insert(arguments.end(), merge.begin(), merge.end());
    fs::permissions(folder_, fs::perms::all);
  }
  fs::permissions(unreadable, fs::perms::none);
  const Result result = quarvel::testing::run_program(program, folder_, arguments);
  fs::permissions(unreadable, fs::perms::owner_all);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.err, "error: --summarize: cannot read the folder \"" + unreadable.string() +
                            "\": Permission denied\n");
  EXPECT_FALSE(fs::exists(folder_ / "merged"));
}

// An interrupt ends the runs under way without their files and the program
// without runs.csv; every run folder left is whole.
TEST_F(SweepTest, AnInterruptLeavesWholeRunFoldersAndNoTable) {
  const fs::path out = folder_ / "out";
  const auto started = start_long_sweep(out);
  // Three runs whose folders are being replaced already (their record is in
  // place): an interrupt can no longer take those back.
  const auto recorded_runs = [&out] {
    std::size_t count = 0;
    std::error_code error;
    for (auto entry = fs::directory_iterator(out, error);
         !error && entry != fs::directory_iterator(); entry.increment(error)) {
      std::error_code ignored;
      if (fs::exists(entry->path() / "run.txt", ignored)) ++count;
    }
    return count;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (recorded_runs() < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(started.pid, SIGTERM);
  const Result result = quarvel::testing::finish_program(started);
  EXPECT_EQ(result.signal, SIGTERM) << result.err;
  // Told before the signal ends the program.
  EXPECT_EQ(result.err,
            "error: interrupted: the runs that ended are in their folders; runs.csv was not "
            "written\n");
  EXPECT_FALSE(fs::exists(out / "runs.csv"));
  EXPECT_FALSE(fs::exists(out / "run-0199"));
  std::size_t folders = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    SCOPED_TRACE(entry.path().string());
    ++folders;
    const auto files = quarvel::testing::snapshot(entry.path());
    std::set<std::string> names;
    for (const auto& [name, content] : files) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"ensemble-member.txt", "history.csv",
                                            "prediction-1.txt", "run.txt", "tree-1.txt"}));
  }
  EXPECT_GE(folders, 3u);
}

}  // namespace

namespace {

// The processes whose parent is `parent`, from /proc.
std::vector<pid_t> children_of(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::istringstream stat(read_file(entry.path() / "stat"));
    std::string pid, command, state;
    pid_t parent_of = 0;
    // pid (command) state ppid ...; the command holds no blank here.
    if (stat >> pid >> command >> state >> parent_of && parent_of == parent) {
      children.push_back(static_cast<pid_t>(std::stoi(pid)));
    }
  }
  return children;
}

// Whether `pid` still runs: a process that ended and was not yet reaped
// (a zombie) does not.
bool running(pid_t pid) {
  std::istringstream stat(read_file(fs::path("/proc") / std::to_string(pid) / "stat"));
  std::string number, command, state;
  return static_cast<bool>(stat >> number >> command >> state) && state != "Z" && state != "X";
}

}  // namespace

// A sweep killed outright takes its runs with it.
TEST_F(SweepTest, ARunEndsWithItsSweepEvenAKilledOne) {
  const fs::path out = folder_ / "out";
  const auto started = quarvel::testing::start_program(
      QUARVEL_CLI, folder_,
      sunspots({"--runs", "100", "--jobs", "2", "--quiet", "--generations", "1000000", "--output",
                out.string()}));
  std::vector<pid_t> runs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (runs.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    runs = children_of(started.pid);
  }
  ASSERT_EQ(runs.size(), 2u);
  ::kill(started.pid, SIGKILL);
  EXPECT_EQ(quarvel::testing::finish_program(started).signal, SIGKILL);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (const pid_t run : runs) {
    while (running(run) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(running(run)) << "run process " << run << " outlived its sweep";
  }
}

// A batch system's task that may use one CPU, by its mask or by
// SLURM_CPUS_PER_TASK, runs one run at a time unless told otherwise.
TEST(SweepJobs, ByDefaultOnePerCpuThisProcessMayUse) {
  quarvel::cli::Options options;
  options.request.runs = 20;
  for (const auto& [mask_cpus, cpus_per_task] :
       {std::pair<int, std::optional<std::string>>{1, std::nullopt}, {0, "1"}}) {
    const quarvel::testing::CpuLimit limit(mask_cpus, cpus_per_task);
    options.jobs = 0;
    EXPECT_EQ(quarvel::cli::job_count(options), 1);
    options.jobs = 3;
    EXPECT_EQ(quarvel::cli::job_count(options), 3);
  }
  options.request.runs = 2;
  EXPECT_EQ(quarvel::cli::job_count(options), 2);
}

// A second call into a folder a sweep is writing is refused before its run
// and changes nothing there.
TEST_F(SweepTest, ASecondCallIntoAFolderInUseIsRefused) {
  const fs::path out = folder_ / "out";
  const auto first = start_long_sweep(out);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(out / "run-0001") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::string refusal = "error: --output: \"" + out.string() +
                              "\" is being written by another quarvel-cli call; wait for it to "
                              "end or choose another folder\n";
  // Another sweep (of another seed), a single run and a summary.
  const std::vector<std::string> seconds[] = {
      sunspots({"--runs", "3", "--seed", "2", "--quiet", "--output", out.string()}),
      sunspots({"--quiet", "--output", out.string()}),
      {"--summarize", (out / "run-0000").string(), "--output", out.string()},
  };
  for (const auto& arguments : seconds) {
    const Result second = run(arguments);
    EXPECT_EQ(second.status, 2);
    EXPECT_EQ(second.err, refusal);
  }
  ::kill(first.pid, SIGTERM);
  EXPECT_EQ(quarvel::testing::finish_program(first).signal, SIGTERM);
  EXPECT_FALSE(fs::exists(out / "prediction-1.txt"));
  EXPECT_FALSE(fs::exists(out / "runs.csv"));
  for (const auto& entry : fs::directory_iterator(out)) {
    EXPECT_NE(read_file(entry.path() / "run.txt").find("\n--seed 1\n"), std::string::npos)
        << entry.path();
  }
  // Once it has ended, the folder takes the next call.
  sweep("out", {"--runs", "2", "--quiet"});
}

// The claim is the folder's own, not its path's: a call that reaches the
// folder by a link, through a bind mount or from another network namespace
// is refused as well. The last two need a namespace of this user, which a
// system may not give.
TEST_F(SweepTest, AFolderInUseIsRefusedHoweverItIsReached) {
  const fs::path out = folder_ / "out";
  const auto first = start_long_sweep(out);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(out / "run-0001") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  fs::create_directory_symlink(out, folder_ / "link");
  fs::create_directories(folder_ / "mounted");
  const std::string single = "--output";
  struct Case {
    const char* way;
    std::vector<std::string> command;  // before the runner's arguments
    fs::path folder;
  };
  const Case cases[] = {
      {"a link", {}, folder_ / "link"},
      {"a bind mount",
       {"/usr/bin/unshare", "-rm", "/bin/sh", "-c",
        R"(mount --bind "$1" "$2" && shift 2 && exec "$@")", "sh", out.string(),
        (folder_ / "mounted").string()},
       folder_ / "mounted"},
      {"another network namespace", {"/usr/bin/unshare", "-rn"}, out},
  };
  std::vector<std::string> not_tried;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    if (!c.command.empty()) {
      std::vector<std::string> probe(c.command.begin() + 1, c.command.begin() + 2);
      probe.emplace_back("/bin/true");
      if (!fs::exists(c.command.front()) ||
          quarvel::testing::run_program(c.command.front(), folder_, probe).status != 0) {
        not_tried.emplace_back(c.way);
        continue;
      }
    }
    std::vector<std::string> arguments = c.command;
    arguments.emplace_back(QUARVEL_CLI);
    for (std::string& argument : sunspots({"--quiet", single, c.folder.string()})) {
      arguments.push_back(std::move(argument));
    }
    const std::string program = arguments.front();
    arguments.erase(arguments.begin());
    const Result second = quarvel::testing::run_program(program, folder_, arguments);
    EXPECT_EQ(second.status, 2) << second.err;
    EXPECT_NE(second.err.find("is being written by another quarvel-cli call"), std::string::npos)
        << second.err;
  }
  ::kill(first.pid, SIGTERM);
  EXPECT_EQ(quarvel::testing::finish_program(first).signal, SIGTERM);
  EXPECT_FALSE(fs::exists(out / "prediction-1.txt"));
  if (!not_tried.empty()) {
    GTEST_SKIP() << "this system gives this user no namespace of its own (unshare -r); not tried: "
                 << not_tried.front() << (not_tried.size() > 1 ? " and " + not_tried.back() : "");
  }
}

// Each run folder of a sweep is claimed as an output folder is: a run whose
// folder another call holds fails, told, leaving that folder to the other
// call; and a single run is refused the folder of a run of many, which would
// then hold the files of two runs.
TEST_F(SweepTest, ARunFolderOfASweepIsClaimedAsAnOutputFolder) {
  const fs::path out = folder_ / "out";
  fs::create_directories(out / "run-0001");
  const int held = ::open((out / "run-0001").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  // Let go after a while at the latest, so that a sweep that waits for it ends.
  std::atomic<bool> ended = false;
  std::thread holder([&] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ended && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(held);
  });
  const Result result = run(sunspots({"--runs", "2", "--quiet", "--output", out.string()}));
  ended = true;
  holder.join();
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_NE(result.err.find("error: stream 1: its folder \"" + (out / "run-0001").string() +
                            "\" is being written by another quarvel-cli call"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(fs::is_empty(out / "run-0001"));

  const auto written = quarvel::testing::snapshot(out / "run-0000");
  ASSERT_TRUE(written.contains("run.txt"));
  const Result single =
      run(sunspots({"--quiet", "--seed", "3", "--output", (out / "run-0000").string()}));
  EXPECT_EQ(single.status, 2);
  EXPECT_NE(single.err.find("is the folder of a run of many"), std::string::npos) << single.err;
  EXPECT_EQ(quarvel::testing::snapshot(out / "run-0000"), written);
}

// A run folder whose files are not all of the run its record names (one
// replaced by another run's, or one its run did not write) is no run to merge
// silently: the merge warns, naming the folder and the file, and counts the
// run as failed.
TEST_F(SweepTest, AFolderHoldingFilesOfTwoRunsIsNotMergedSilently) {
  sweep("out", {"--runs", "3", "--quiet"});
  const fs::path out = folder_ / "out";
  fs::copy_file(out / "run-0001" / "tree-1.txt", out / "run-0000" / "tree-1.txt",
                fs::copy_options::overwrite_existing);
  fs::copy_file(out / "run-0001" / "prediction-1.txt", out / "run-0002" / "prediction-2.txt");
  const Result merged =
      run({"--summarize", out.string(), "--output", (folder_ / "merged").string(), "--quiet"});
  EXPECT_EQ(merged.status, 1) << merged.err;
  for (const auto& [folder, file, words] :
       {std::tuple{"run-0000", "tree-1.txt", "is not the file its run.txt records"},
        std::tuple{"run-0002", "prediction-2.txt",
                   "is not a file of the run its run.txt records"}}) {
    EXPECT_NE(merged.err.find("warning: --summarize: \"" + (out / folder).string() + "\": its " +
                              file + " " + words),
              std::string::npos)
        << merged.err;
  }
  const std::string table = file("merged/runs.csv");
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4) << table;
  EXPECT_NE(table.find(",ok"), std::string::npos) << table;
  EXPECT_EQ(table.find(",ok"), table.rfind(",ok")) << table;
}

// A run folder used again with other settings holds its last run's files
// alone; the run folders of streams the new call does not run go with the
// files of their runs, so that a merge of the folder merges its runs alone.
// Folders that are not such run folders stay as they were.
TEST_F(SweepTest, ARunFolderUsedAgainHoldsItsLastRunsFilesAlone) {
  sweep("out",
        {"--runs", "4", "--populations", "3", "--forecast", "5", "--export-model", "--quiet"});
  const auto third = quarvel::testing::snapshot(folder_ / "out" / "run-0002");
  ASSERT_TRUE(third.contains("model-3.h"));
  write("out/run-0000/notes.txt", "mine");
  write("out/run-0003/notes.txt", "mine");
  fs::create_directories(folder_ / "out" / "run-0007");
  write("out/run-0007/run.txt", "not a record of this program");
  fs::create_directories(folder_ / "out" / "run-7");
  write("out/run-7/run.txt", file("out/run-0002/run.txt"));
  const Result again = sweep("out", {"--runs", "2"});
  EXPECT_NE(again.err.find("note: removed the run folders of an earlier call of other streams "
                           "(run-0002, run-0003)"),
            std::string::npos)
      << again.err;
  sweep("plain", {"--runs", "2", "--quiet"});
  auto expected = run_files(folder_ / "plain" / "run-0000");
  expected["notes.txt"] = "mine";
  EXPECT_EQ(run_files(folder_ / "out" / "run-0000"), expected);
  EXPECT_EQ(run_files(folder_ / "out" / "run-0001"), run_files(folder_ / "plain" / "run-0001"));
  EXPECT_FALSE(fs::exists(folder_ / "out" / "run-0002"));
  EXPECT_EQ(quarvel::testing::snapshot(folder_ / "out" / "run-0003"),
            (std::map<std::string, std::string>{{"notes.txt", "mine"}}));
  EXPECT_EQ(file("out/run-0007/run.txt"), "not a record of this program");
  EXPECT_TRUE(fs::exists(folder_ / "out" / "run-7" / "run.txt"));
  EXPECT_EQ(file("out/summary.txt"), file("plain/summary.txt"));
  fs::remove_all(folder_ / "out" / "run-7");
  fs::remove_all(folder_ / "out" / "run-0007");
  const Result merged =
      run({"--summarize", (folder_ / "out").string(), "--output", (folder_ / "merged").string()});
  EXPECT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(file("merged/summary.txt"), file("plain/summary.txt"));
}

// Only the run folders that exist are looked at before the runs: a sweep of
// the most runs a call makes is refused at once for a file where its last run
// folder goes.
TEST_F(SweepTest, OnlyTheRunFoldersThatExistAreCheckedBeforeTheRuns) {
  fs::create_directories(folder_ / "out");
  write("out/run-16777215", "a file where the last run folder goes");
  const auto start = std::chrono::steady_clock::now();
  const Result result = run(sunspots(
      {"--stream", "16677216", "--runs", "100000", "--output", (folder_ / "out").string()}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "error: --output: \"" + (folder_ / "out" / "run-16777215").string() +
                            "\" exists and is not a folder\n");
}
