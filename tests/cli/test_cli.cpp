// quarvel-cli run as a subprocess: option errors, exit statuses and a short
// end-to-end run whose files are checked against the output format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/numbertext.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;

using Result = quarvel::testing::CliResult;
using quarvel::testing::read_file;

std::string example(const std::string& name) {
  return (fs::path(QUARVEL_EXAMPLES) / name).string();
}

class CliTest : public quarvel::testing::ScratchFolderTest {
 protected:
  Result run(const std::vector<std::string>& arguments) const {
    return quarvel::testing::run_program(QUARVEL_CLI, folder_, arguments);
  }

  std::vector<std::string> sunspots() const {
    return {"--training", example("sunspots-training.txt"), "--validation",
            example("sunspots-validation.txt")};
  }
};

TEST_F(CliTest, HelpAndVersion) {
  const Result help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("quarvel-cli --training FILE --validation FILE [options]"),
            std::string::npos);
  EXPECT_TRUE(help.err.empty());
  const Result version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quarvel-cli ", 0), 0u) << version.out;
}

TEST_F(CliTest, RefusedSettingsNameTheOptionAndExitWith2) {
  struct Case {
    std::vector<std::string> extra;
    const char* message_part;
  };
  // The whole table of refusals runs in process (test_options); here the
  // status and streams of the program, one case of each stage.
  const Case cases[] = {
      {{"--generations", "0"}, "error: --generations: The value must be a natural number."},
      {{"--population-size", "5"},
       "error: --elite: The number of elite (10) of population 1 is larger"},
      {{"--unknown", "1"}, "error: unknown option --unknown"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = sunspots();
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const Result result = run(arguments);
    EXPECT_EQ(result.status, 2) << c.message_part;
    EXPECT_NE(result.err.find(c.message_part), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << c.message_part;
  }
  EXPECT_EQ(run({"--validation", example("sunspots-validation.txt")}).status, 2);
  EXPECT_EQ(run({"--training", example("sunspots-training.txt")}).status, 2);
  // Overselection from 1000 individuals on is accepted.
  std::vector<std::string> overselect = sunspots();
  overselect.insert(overselect.end(),
                    {"--selection", "overselect", "--generations", "1", "--quiet"});
  EXPECT_EQ(run(overselect).status, 0);
}

std::string many_lines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += std::to_string(i % 9) + "\n";
  return lines;
}

TEST_F(CliTest, DataProblemsNameTheFileAndExitWith3) {
  const std::string good = write("good.txt", "1\n2\n3\n");
  struct Case {
    std::string training;
    std::string validation;
    std::string message_part;
  };
  const Case cases[] = {
      {(folder_ / "missing.txt").string(), good, "missing.txt\": No such file or directory"},
      {good, folder_.string(), "is a folder"},
      {write("empty.txt", "\n\r\n"), good, "empty.txt\" holds no values"},
      {good, write("huge.txt", "4\n1e400\n"), "huge.txt\": value 2 reads as INF"},
      {write("flat.txt", "5\n5\n"), write("flat2.txt", "5\n"), "All loaded values are equal"},
      {write("wide.txt", "-1e308\n1e308\n"), good, "range"},
      {write("long.txt", many_lines(30000)), write("long2.txt", many_lines(10001)),
       "at most 40000"},
  };
  for (const Case& c : cases) {
    const Result result =
        run({"--training", c.training, "--validation", c.validation, "--generations", "1"});
    EXPECT_EQ(result.status, 3) << c.message_part;
    EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.message_part), std::string::npos) << result.err;
  }
}

// Checks one prediction file against the output format: one line per point,
// "index,value" with both in the general number format, CR LF after every line.
void expect_output_file_format(const std::string& text, std::size_t points) {
  ASSERT_FALSE(text.empty());
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::regex general(R"(-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?(E-?[1-9][0-9]*)?|INF|-INF|NAN)");
  std::size_t row = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "line " << row << " has no CR LF";
    const std::string line = text.substr(start, end - start);
    ASSERT_EQ(line.find('\r'), std::string::npos) << line;
    ASSERT_EQ(line.find('\n'), std::string::npos) << line;
    const std::size_t comma = line.find(',');
    ASSERT_NE(comma, std::string::npos) << line;
    EXPECT_EQ(line.substr(0, comma), std::to_string(row)) << line;
    const std::string value = line.substr(comma + 1);
    EXPECT_TRUE(std::regex_match(value, general)) << line;
    if (const auto number = quarvel::frontend::parse_number(value)) {
      EXPECT_EQ(quarvel::frontend::format_general(*number), value)
          << "not in the number format: " << line;
    }
    ++row;
    start = end + 2;
  }
  EXPECT_EQ(row, points);
}

TEST_F(CliTest, EndToEndRunWritesFilesInTheOutputFormatAndRepeatsExactly) {
  const std::vector<std::string> settings{"--generations", "3", "--population-size", "50"};
  std::vector<std::string> first = sunspots();
  first.insert(first.end(), settings.begin(), settings.end());
  std::vector<std::string> second = first;
  first.insert(first.end(),
               {"--output", (folder_ / "a").string(), "--history", (folder_ / "a.csv").string()});
  second.insert(second.end(), {"--output", (folder_ / "b" / "nested").string(), "--history",
                               (folder_ / "b.csv").string()});

  const Result a = run(first);
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_TRUE(a.err.empty()) << a.err;  // no progress bar: the standard error is not a terminal
  // One line per generation on the standard output.
  std::istringstream lines(a.out);
  std::string line;
  for (int g = 0; g < 3; ++g) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind("generation " + std::to_string(g) + ": population 1 MSE ", 0), 0u) << line;
  }
  EXPECT_FALSE(std::getline(lines, line));

  // 221 training and 187 validation points.
  const std::string prediction = read_file(folder_ / "a" / "prediction-1.txt");
  expect_output_file_format(prediction, 408);
  // The known part repeats the scaled data: the training series starts 5, 11, 16
  // and is scaled by 0 .. 190.2.
  EXPECT_EQ(prediction.substr(0, prediction.find("\r\n", prediction.find("\r\n") + 2) + 2),
            "0," + quarvel::frontend::format_general(5 / 190.2) + "\r\n1," +
                quarvel::frontend::format_general(11 / 190.2) + "\r\n");
  EXPECT_FALSE(read_file(folder_ / "a" / "tree-1.txt").empty());
  EXPECT_FALSE(fs::exists(folder_ / "a" / "prediction-2.txt"));

  const std::string history = read_file(folder_ / "a.csv");
  const std::regex row(
      R"(([0-9]+),1,(-?[0-9.e+-]+|nan|-nan|inf|-inf),(-?[0-9.e+-]+|nan|-nan|inf|-inf))");
  std::istringstream history_lines(history);
  ASSERT_TRUE(std::getline(history_lines, line));
  EXPECT_EQ(line, "generation,population,mse,mdl");
  for (int g = 0; g < 3; ++g) {
    ASSERT_TRUE(std::getline(history_lines, line));
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, row)) << line;
    EXPECT_EQ(match[1], std::to_string(g));
  }
  EXPECT_FALSE(std::getline(history_lines, line));

  // The same command gives the same files, byte for byte.
  const Result b = run(second);
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(b.out, a.out);
  EXPECT_EQ(read_file(folder_ / "b" / "nested" / "prediction-1.txt"), prediction);
  EXPECT_EQ(read_file(folder_ / "b" / "nested" / "tree-1.txt"),
            read_file(folder_ / "a" / "tree-1.txt"));
  EXPECT_EQ(read_file(folder_ / "b.csv"), history);
}

TEST_F(CliTest, SeveralPopulationsWithListsAndQuiet) {
  std::vector<std::string> arguments = sunspots();
  arguments.insert(arguments.end(),
                   {"--populations", "2", "--generations", "2", "--population-size", "30,40",
                    "--terminals", "20", "--selection", "fitness,tournament", "--growth", "ramped",
                    "--rank-by", "mse", "--quiet", "--output", (folder_ / "out").string(),
                    "--history", (folder_ / "h.csv").string()});
  const Result result = run(arguments);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.empty());
  for (const char* k : {"1", "2"}) {
    expect_output_file_format(
        read_file(folder_ / "out" / (std::string("prediction-") + k + ".txt")), 408);
    EXPECT_TRUE(fs::exists(folder_ / "out" / (std::string("tree-") + k + ".txt")));
  }
  const std::string history = read_file(folder_ / "h.csv");
  EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 1 + 2 * 2);
  EXPECT_NE(history.find("\n1,2,"), std::string::npos);
}

TEST_F(CliTest, NothingIsWrittenWhenTheRunIsRefused) {
  std::vector<std::string> arguments{
      "--training", write("flat.txt", "5\n5\n"), "--validation", write("flat2.txt", "5\n"),
      "--output",   (folder_ / "out").string(),  "--history",    (folder_ / "h.csv").string()};
  EXPECT_EQ(run(arguments).status, 3);
  EXPECT_FALSE(fs::exists(folder_ / "out"));
  EXPECT_FALSE(fs::exists(folder_ / "h.csv"));

  std::vector<std::string> not_a_folder = sunspots();
  not_a_folder.insert(not_a_folder.end(),
                      {"--output", write("file.txt", "keep"), "--generations", "1"});
  const Result result = run(not_a_folder);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("error: --output:"), std::string::npos) << result.err;
  EXPECT_EQ(read_file(folder_ / "file.txt"), "keep");

  std::vector<std::string> no_history_folder = sunspots();
  no_history_folder.insert(
      no_history_folder.end(),
      {"--history", (folder_ / "missing" / "h.csv").string(), "--generations", "1"});
  const Result history = run(no_history_folder);
  EXPECT_EQ(history.status, 2);
  EXPECT_NE(history.err.find("error: --history:"), std::string::npos) << history.err;
}

TEST_F(CliTest, OutputThatCannotBeWrittenFailsWithStatus1AndNoPartialFile) {
  // A folder where prediction-1.txt should go: the run succeeds, the write is refused.
  fs::create_directories(folder_ / "out" / "prediction-1.txt" / "inside");
  std::vector<std::string> arguments = sunspots();
  arguments.insert(arguments.end(), {"--generations", "1", "--population-size", "20", "--quiet",
                                     "--output", (folder_ / "out").string()});
  const Result result = run(arguments);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("prediction-1.txt"), std::string::npos) << result.err;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder_ / "out"))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"prediction-1.txt"});
}

// Out of memory is a failure wherever it strikes (on either fitting thread,
// in a thread's creation, in the matrix routines): a clear message, status 1
// and no output file. The address space is limited below what the run needs.
TEST_F(CliTest, RunningOutOfMemoryFailsWithAMessageAndStatus1) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own reservations do not fit in a limited address space";
#endif
  std::string training;
  for (int k = 0; k < 30000; ++k)
    training += std::to_string(std::sin(0.05 * k) + 0.001 * (k % 97)) + "\n";
  const std::string training_file = write("long.txt", training);
  const std::string validation_file = write("long-validation.txt", "0.5\n0.25\n0.75\n");
  for (const char* kilobytes : {"60000", "120000", "200000"}) {
    SCOPED_TRACE(kilobytes);
    const Result result = quarvel::testing::run_program(
        "/bin/sh", folder_,
        {"-c", "ulimit -v \"$1\" || exit 99; shift; exec \"$0\" \"$@\"", QUARVEL_CLI, kilobytes,
         "--training", training_file, "--validation", validation_file, "--growth", "ramped",
         "--depth-new", "9", "--generations", "3", "--quiet", "--output",
         (folder_ / "out").string(), "--history", (folder_ / "history.csv").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "error: not enough memory for this run; try smaller populations or series\n");
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(folder_ / "history.csv"));
    EXPECT_FALSE(fs::exists(folder_ / "out" / "prediction-1.txt"));
  }
}

}  // namespace
