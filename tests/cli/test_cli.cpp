// quarvel-cli run as a subprocess: option errors, exit statuses and a short
// end-to-end run whose files are checked against the output format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/numbertext.h"
#include "forecasting/forecastfiles.h"
#include "support/examples.h"
#include "support/forecast_intervals.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;

using Result = quarvel::testing::CliResult;
using quarvel::testing::example;
using quarvel::testing::read_file;

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
    if (const auto number = quarvel::data::parse_number(value)) {
      EXPECT_EQ(quarvel::data::format_general(*number), value)
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
  // One line per generation on the standard output, then one on the forecast.
  std::istringstream lines(a.out);
  std::string line;
  for (int g = 0; g < 3; ++g) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind("generation " + std::to_string(g) + ": population 1 MSE ", 0), 0u) << line;
  }
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line.rfind("population 1 validation forecast (68 points): MAE ", 0), 0u) << line;
  EXPECT_FALSE(std::getline(lines, line));

  // 221 training and 187 validation points.
  const std::string prediction = read_file(folder_ / "a" / "prediction-1.txt");
  expect_output_file_format(prediction, 408);
  // The known part repeats the scaled data: the training series starts 5, 11, 16
  // and is scaled by 0 .. 190.2.
  EXPECT_EQ(prediction.substr(0, prediction.find("\r\n", prediction.find("\r\n") + 2) + 2),
            "0," + quarvel::data::format_general(5 / 190.2) + "\r\n1," +
                quarvel::data::format_general(11 / 190.2) + "\r\n");
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

std::vector<std::string> lynx(const std::vector<std::string>& extra) {
  return quarvel::testing::quick_lynx_run(extra);
}

// A folder's files as a run made them, with the seconds of run.txt and
// runs.csv, which depend on how it ran, left out.
std::map<std::string, std::string> files_of_run(const fs::path& folder) {
  auto files = quarvel::testing::snapshot(folder);
  const std::regex seconds_line("(^|\n)seconds [0-9.]+\n");
  const std::regex seconds_field(",[0-9.]+,(ok|failed)");
  for (auto& [name, content] : files) {
    if (name.ends_with("run.txt")) content = std::regex_replace(content, seconds_line, "$1");
    if (name.ends_with("runs.csv")) content = std::regex_replace(content, seconds_field, ",S,$1");
  }
  return files;
}

// Every spelling of a whole number that the settings check accepts is read
// as that number everywhere: the names checked before the run, the files
// written, the forecast steps, the run records and the models. Each runs
// exactly as its plain form, alone and under --runs.
TEST_F(CliTest, EverySpellingOfAWholeNumberRunsAsItsPlainForm) {
  std::string training;
  for (int i = 0; i < 40; ++i) training += std::to_string(i % 7 + 0.5 * (i % 3)) + "\n";
  const std::vector<std::string> data{"--training",
                                      write("t.txt", training),
                                      "--validation",
                                      write("v.txt", "3\n4.5\n1\n6\n2\n5\n"),
                                      "--population-size",
                                      "20",
                                      "--elite",
                                      "1",
                                      "--quiet"};
  struct Case {
    const char* option;
    const char* plain;
    std::vector<const char*> spellings;
  };
  const Case cases[] = {
      {"--populations", "1", {" 1", "+1", "01", "$1", "x1", "0x1"}},
      {"--populations", "2", {"x2", "$2", "0x2", "+2", " 2", "0X2"}},
      {"--forecast", "1", {" 1", "+1", "01", "$1", "x1", "0x1"}},
      {"--forecast", "2", {"x2", "$2", "0x2"}},
      {"--forecast", "16", {"$10", "x10", "X10", "0x10", "+16", "016"}},
      {"--generations", "1", {" 1", "+1", "01", "$1", "x1", "0x1"}},
      {"--generations", "2", {"x2", "$2", "0x2"}},
  };
  // The files of a run alone (with its history) or of two runs of --runs.
  int calls = 0;
  const auto files = [&](const Case& c, const char* value, bool sweep) {
    const fs::path out = folder_ / ("out-" + std::to_string(calls++));
    std::vector<std::string> arguments = data;
    arguments.insert(arguments.end(), {c.option, value, "--output", out.string()});
    // The settings a case leaves alone at one generation, and with models.
    if (std::string_view(c.option) != "--generations") {
      arguments.insert(arguments.end(), {"--generations", "1"});
    }
    arguments.push_back("--export-model");
    const fs::path history = out.string() + "-history.csv";
    if (sweep) {
      arguments.insert(arguments.end(), {"--runs", "2", "--jobs", "2"});
    } else {
      arguments.insert(arguments.end(), {"--history", history.string()});
    }
    const Result result = run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    auto made = files_of_run(out);
    if (!sweep) made["--history"] = read_file(history);
    return made;
  };
  for (const Case& c : cases) {
    for (const bool sweep : {false, true}) {
      const auto plain = files(c, c.plain, sweep);
      ASSERT_FALSE(plain.empty()) << c.option << " " << c.plain;
      for (const char* spelling : c.spellings) {
        SCOPED_TRACE(std::string(c.option) + " \"" + spelling + "\"" + (sweep ? " --runs 2" : ""));
        EXPECT_EQ(files(c, spelling, sweep), plain);
      }
    }
  }
}

// A folder used again with other settings holds the files of its last run
// alone: those of the list an earlier run wrote and this one does not are
// removed as the new ones are written. No other file is touched, nor a data
// file or the history under such a name.
TEST_F(CliTest, AFolderUsedAgainHoldsTheFilesOfItsLastRunAlone) {
  const fs::path out = folder_ / "out";
  ASSERT_EQ(run(lynx({"--populations", "3", "--forecast", "5", "--export-model", "--output",
                      out.string()}))
                .status,
            0);
  ASSERT_TRUE(fs::exists(out / "model-3.h"));
  const std::map<std::string, std::string> others{
      {"notes.txt", "mine"},
      {"prediction-5.txt", "no population of the runner's"},
      {"history.csv", "a history"},
      {"runs.csv", "a table"},
      {"run-0003/prediction-1.txt", "a run folder's"},
  };
  fs::create_directories(out / "run-0003");
  for (const auto& [name, content] : others) write("out/" + name, content);
  const std::string validation = write("out/tree-3.txt", "4\n5\n6\n");
  std::vector<std::string> second = lynx({"--history", (out / "tree-2.txt").string()});
  second[3] = validation;  // in place of the lynx validation file
  std::vector<std::string> into_out = second;
  into_out.insert(into_out.end(), {"--output", out.string()});
  const Result result = run(into_out);
  ASSERT_EQ(result.status, 0) << result.err;

  std::vector<std::string> into_fresh = second;
  into_fresh.insert(into_fresh.end(), {"--output", (folder_ / "fresh").string()});
  into_fresh[into_fresh.size() - 3] = (folder_ / "h.csv").string();  // the history's place
  ASSERT_EQ(run(into_fresh).status, 0);
  auto expected = quarvel::testing::snapshot(folder_ / "fresh");
  expected.insert(others.begin(), others.end());
  expected["run-0003"] = "<folder>";
  expected["tree-3.txt"] = "4\n5\n6\n";
  expected["tree-2.txt"] = read_file(folder_ / "h.csv");
  EXPECT_EQ(quarvel::testing::snapshot(out), expected);
}

// An overlap past the data (34 validation values) forecasts nothing, however
// large: training count + overlap must not wrap around.
TEST_F(CliTest, OverlapPastTheDataGivesWhatTheLargestMeaningfulOverlapGives) {
  const auto prediction = [this](const std::string& overlap) {
    const std::string folder = (folder_ / ("o" + overlap)).string();
    const Result result = run(lynx({"--overlap", overlap, "--output", folder}));
    EXPECT_EQ(result.status, 0) << result.err;
    return read_file(fs::path(folder) / "prediction-1.txt");
  };
  const std::string all_known = prediction("34");
  ASSERT_FALSE(all_known.empty());
  EXPECT_NE(prediction("33"), all_known);
  for (const char* overlap : {"35", "2147483547", "2147483548", "2147483647"}) {
    EXPECT_EQ(prediction(overlap), all_known) << overlap;
  }
}

// Lines read as their leading number with other text after it: the run is as
// on the numbers alone, with one warning per file on the standard error.
TEST_F(CliTest, TextAfterANumberIsReadAsBeforeAndWarnedAbout) {
  std::string training;
  std::string plain;
  for (int i = 0; i < 60; ++i) {
    training += std::to_string(i % 9) + ",5\r\n";
    plain += std::to_string(i % 9) + "\r\n";
  }
  struct Case {
    const char* name;
    std::string training;
    std::string validation;
    std::string warnings;
  };
  const std::string training_path = (folder_ / "t.txt").string();
  const std::string validation_path = (folder_ / "v.txt").string();
  const Case cases[] = {
      {"decimal commas", training, "1\n2\n3\n",
       "warning: training file \"" + training_path +
           "\": line 1 (\"0,5\") was read as 0, the text after its number ignored; 60 lines hold "
           "text after their number\n"},
      {"hex and columns", plain, "1\n0x1A\n5\t6\n1 2\n",
       "warning: validation file \"" + validation_path +
           "\": line 2 (\"0x1A\") was read as 0, the text after its number ignored; 3 lines hold "
           "text after their number\n"},
      {"one line", plain, "1\n2 kg\n",
       "warning: validation file \"" + validation_path +
           "\": line 2 (\"2 kg\") was read as 2, the text after its number ignored; 1 line holds "
           "text after its number\n"},
  };
  const std::vector<std::string> settings{"--generations", "2", "--population-size", "20"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> arguments{"--training", write("t.txt", c.training), "--validation",
                                       write("v.txt", c.validation)};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    const Result doubtful = run(arguments);
    EXPECT_EQ(doubtful.status, 0);
    EXPECT_EQ(doubtful.err, c.warnings);

    std::string validation_numbers;
    for (const double value : quarvel::data::parse_data_text(c.validation)) {
      validation_numbers += quarvel::data::format_general(value) + "\n";
    }
    std::vector<std::string> numbers_only{"--training", write("t.txt", plain), "--validation",
                                          write("v.txt", validation_numbers)};
    numbers_only.insert(numbers_only.end(), settings.begin(), settings.end());
    const Result numbers = run(numbers_only);
    EXPECT_EQ(numbers.status, 0);
    EXPECT_TRUE(numbers.err.empty()) << numbers.err;
    EXPECT_EQ(doubtful.out, numbers.out);
  }
}

// Standard output that cannot take the generation lines: a reader that went
// away stops the lines, not the run; any other write error is reported once
// the run's files are written.
TEST_F(CliTest, StandardOutputThatCannotBeWritten) {
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);
  const Result closed = quarvel::testing::run_program(
      QUARVEL_CLI, folder_,
      {"--training", example("lynx-training.txt"), "--validation", example("lynx-validation.txt"),
       "--generations", "3", "--population-size", "20", "--output", (folder_ / "a").string()},
      {.path = "", .fd = pipe_ends[1]});
  ::close(pipe_ends[1]);
  EXPECT_EQ(closed.signal, 0) << "ended by signal " << closed.signal;
  EXPECT_EQ(closed.status, 0) << closed.err;
  EXPECT_TRUE(closed.err.empty()) << closed.err;
  EXPECT_TRUE(fs::exists(folder_ / "a" / "tree-1.txt"));

  const std::string full_disk =
      "error: cannot write to the standard output: No space left on device\n";
  const Result full = quarvel::testing::run_program(
      QUARVEL_CLI, folder_,
      {"--training", example("lynx-training.txt"), "--validation", example("lynx-validation.txt"),
       "--generations", "3", "--population-size", "20", "--output", (folder_ / "b").string()},
      {.path = "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, full_disk);
  EXPECT_EQ(read_file(folder_ / "b" / "tree-1.txt"), read_file(folder_ / "a" / "tree-1.txt"));

  for (const char* request : {"--help", "--version"}) {
    const Result result =
        quarvel::testing::run_program(QUARVEL_CLI, folder_, {request}, {.path = "/dev/full"});
    EXPECT_EQ(result.status, 1) << request;
    EXPECT_EQ(result.err, full_disk) << request;
  }
}

// Outputs that must be written as they stand: a replaced file keeps its mode,
// a link keeps leading to its target, which gets the new content, and a name
// of the longest length a file name may have is written.
TEST_F(CliTest, OutputsKeepTheirModeAndLinksAndTakeLongNames) {
  const std::string secret = write("secret.csv", "old");
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(folder_ / "elsewhere");
  fs::create_directories(folder_ / "out");
  const std::string target = write("elsewhere/kept-tree.txt", "old tree");
  fs::create_symlink(target, folder_ / "out" / "tree-1.txt");
  const Result first = run(lynx({"--history", secret, "--output", (folder_ / "out").string()}));
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(fs::status(secret).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(read_file(secret).rfind("generation,population,mse,mdl\n", 0), 0u);
  EXPECT_TRUE(fs::is_symlink(folder_ / "out" / "tree-1.txt"));
  EXPECT_NE(read_file(target), "old tree");
  EXPECT_FALSE(read_file(target).empty());

  const fs::path long_name = folder_ / std::string(255, 'h');
  const Result second = run(lynx({"--history", long_name.string()}));
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(read_file(long_name), read_file(secret));
}

// A full disk while the outputs are written (a file size limit stands in for
// it): status 1, and nothing new is left, neither files nor folders; files
// that were there keep their content.
TEST_F(CliTest, AFullDiskLeavesNothingNew) {
  fs::create_directories(folder_ / "old");
  write("old/prediction-1.txt", "old prediction");
  write("old/tree-1.txt", "old tree");
  write("old.csv", "old history");
  struct Case {
    const char* name;
    std::string output;
    std::string history;
  };
  const Case cases[] = {
      {"new files in a new folder", (folder_ / "new" / "deeper").string(),
       (folder_ / "new.csv").string()},
      {"files replaced", (folder_ / "old").string(), (folder_ / "old.csv").string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto before = quarvel::testing::snapshot(folder_);
    // The history (about 120 bytes) fits, prediction-1.txt (1803) does not.
    quarvel::testing::StartedProgram started;
    {
      const quarvel::testing::FileSizeLimit limit(1000);
      ASSERT_TRUE(limit.in_force());
      started = quarvel::testing::start_program(
          QUARVEL_CLI, folder_, lynx({"--history", c.history, "--output", c.output}));
    }
    const Result result = quarvel::testing::finish_program(started);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("prediction-1.txt: File too large"), std::string::npos) << result.err;
    EXPECT_EQ(quarvel::testing::snapshot(folder_), before);
  }
}

// Two runs into one folder at the same time, the longer one writing fewer
// files: the second is refused before its run, or the files left are all of
// one run; never a mix.
TEST_F(CliTest, ConcurrentRunsIntoOneFolderLeaveOneWholeSet) {
  const auto arguments = [](int k, const fs::path& folder) {
    std::vector<std::string> extra{"--output", folder.string(), "--history",
                                   (folder / "history.csv").string()};
    if (k == 0) extra.insert(extra.end(), {"--generations", "40"});
    if (k == 1) extra.insert(extra.end(), {"--seed", "2", "--populations", "2", "--forecast", "3"});
    return lynx(extra);
  };
  std::map<std::string, std::string> sets[2];
  for (int k = 0; k < 2; ++k) {
    const fs::path alone = folder_ / ("alone-" + std::to_string(k));
    fs::create_directories(alone);
    ASSERT_EQ(run(arguments(k, alone)).status, 0);
    sets[k] = quarvel::testing::snapshot(alone);
  }
  ASSERT_NE(sets[0], sets[1]);
  const fs::path shared = folder_ / "shared";
  fs::create_directories(shared);
  for (int round = 0; round < 15; ++round) {
    SCOPED_TRACE(round);
    // In turn first, so that each set also follows the other.
    const int first = round % 2;
    const auto a =
        quarvel::testing::start_program(QUARVEL_CLI, folder_, arguments(first, shared), {}, "-a");
    const auto b = quarvel::testing::start_program(QUARVEL_CLI, folder_,
                                                   arguments(1 - first, shared), {}, "-b");
    int done = 0;
    for (const Result& result :
         {quarvel::testing::finish_program(a), quarvel::testing::finish_program(b)}) {
      if (result.status == 0) {
        ++done;
        continue;
      }
      EXPECT_EQ(result.status, 2) << result.err;
      EXPECT_NE(result.err.find("is being written by another quarvel-cli call"), std::string::npos)
          << result.err;
    }
    EXPECT_GE(done, 1);
    const auto left = quarvel::testing::snapshot(shared);
    EXPECT_TRUE(left == sets[0] || left == sets[1]);
  }
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

namespace {

// Reads the two data files, scales them as the model file says, forecasts over
// the validation part as the program does and `ahead` values past the data,
// all in the series' own units, printed with repr.
constexpr const char* kReplay = R"(import importlib.util, sys
loader_info = importlib.util.spec_from_file_location("model", sys.argv[1])
model = importlib.util.module_from_spec(loader_info)
loader_info.loader.exec_module(model)
values = [float(line) for path in sys.argv[2:4] for line in open(path) if line.strip()]
start, ahead = int(sys.argv[4]), int(sys.argv[5])
scaled = [(v - model.LOW) / (model.HIGH - model.LOW) for v in values]
prediction = scaled[:start]
while len(prediction) < len(scaled):
    prediction.append(model.predict_next(prediction))
for v in prediction:
    print(repr(model.LOW + v * (model.HIGH - model.LOW)))
for v in model.forecast(values, ahead):
    print(repr(v))
)";

// The value texts of an output file's lines, and the first index.
std::vector<std::string> value_texts(const std::string& text, std::string& first_index) {
  std::vector<std::string> values;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t comma = line.find(',');
    if (values.empty()) first_index = line.substr(0, comma);
    values.push_back(line.substr(comma + 1));
  }
  return values;
}

// --intervals adds intervals-K.txt and forecast_intervals, and changes no
// other file: the bands lie around the run's own forecast over the
// validation part and past the data, nested by level, and the exported module
// gives the rows past the data to the last bit.
TEST_F(CliTest, IntervalsBesideTheForecastAndInTheExportedModule) {
  std::vector<std::string> base = sunspots();
  base.insert(base.end(), {"--generations", "3", "--population-size", "100", "--rank-by", "mse",
                           "--forecast", "6", "--export-model", "--units", "original"});
  std::vector<std::string> plain = base;
  plain.insert(plain.end(), {"--quiet", "--output", (folder_ / "plain").string()});
  std::vector<std::string> banded = base;
  banded.insert(banded.end(), {"--intervals", "95,80", "--paths", "400", "--output",
                               (folder_ / "banded").string()});
  ASSERT_EQ(run(plain).status, 0);
  const Result result = run(banded);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("; coverage: 95 % band "), std::string::npos) << result.out;

  auto with = quarvel::testing::snapshot(folder_ / "banded");
  const auto without = quarvel::testing::snapshot(folder_ / "plain");
  const std::string table_text = with["intervals-1.txt"];
  const std::string module = with["model-1.py"];
  EXPECT_EQ(without.at("model-1.py").find("forecast_intervals"), std::string::npos);
  EXPECT_EQ(module.rfind(without.at("model-1.py").substr(0, 40), 0), 0u);
  with.erase("intervals-1.txt");
  with.erase("model-1.py");
  auto others = without;
  others.erase("model-1.py");
  EXPECT_EQ(with, others);

  quarvel::forecasting::BandTable table;
  ASSERT_EQ(quarvel::forecasting::parse_band_table(table_text, table), std::nullopt);
  EXPECT_EQ(table.first_index, 340);
  EXPECT_EQ(table.levels, (std::vector<double>{95.0, 80.0}));
  ASSERT_EQ(table.point.size(), 68u + 6u);
  ASSERT_EQ(table.bands.size(), 2u);
  // The point forecast is the run's, in its files' 6 digits.
  std::string first;
  std::vector<std::string> forecast = value_texts(without.at("prediction-1.txt"), first);
  forecast.erase(forecast.begin(), forecast.begin() + 340);
  const std::vector<std::string> past = value_texts(without.at("forecast-1.txt"), first);
  forecast.insert(forecast.end(), past.begin(), past.end());
  for (std::size_t j = 0; j < table.point.size(); ++j) {
    EXPECT_EQ(quarvel::data::format_general(table.point[j]), forecast[j]) << j;
    EXPECT_LE(table.bands[0].lower[j], table.bands[1].lower[j]) << j;
    EXPECT_LT(table.bands[1].lower[j], table.bands[1].upper[j]) << j;
    EXPECT_LE(table.bands[1].upper[j], table.bands[0].upper[j]) << j;
  }

  const std::string script = write("intervals.py", quarvel::testing::kForecastIntervalsScript);
  FILE* pipe = ::popen(
      ("python3 " + script + " " + (folder_ / "banded" / "model-1.py").string() + " 6 original " +
       example("sunspots-training.txt") + " " + example("sunspots-validation.txt"))
          .c_str(),
      "r");
  ASSERT_NE(pipe, nullptr);
  std::string from_python;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    from_python.append(buffer, n);
  }
  ASSERT_EQ(::pclose(pipe), 0);
  std::string rows_past_data;
  std::istringstream rows(table_text);
  std::string row;
  std::getline(rows, row);  // the heading
  while (std::getline(rows, row)) {
    // Past the 221 + 187 loaded points.
    if (std::stoi(row) >= 408) rows_past_data += row.substr(row.find(',') + 1) + "\n";
  }
  EXPECT_EQ(std::count(rows_past_data.begin(), rows_past_data.end(), '\n'), 6);
  EXPECT_EQ(from_python, rows_past_data);
}

// Transforms chosen from the training part: a series whose level grows
// exponentially and whose season swings with it is logged and seasonally
// differenced, its held-out values fall inside the bands brought back to its
// units, and the record says what was taken; a stationary AR(1) gets none.
TEST_F(CliTest, TransformsAreChosenFromTheSeriesAndUndoneInItsUnits) {
  // Deterministic noise, so that the series is the same on every machine.
  std::uint64_t state = 12345;
  const auto noise = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
  };
  std::vector<double> growing;
  std::vector<double> stationary{0.0};
  for (int t = 0; t < 144; ++t) {
    growing.push_back(100.0 * std::exp(0.01 * t) *
                      (1.0 + 0.3 * std::sin(2.0 * std::numbers::pi * t / 12.0)) *
                      (1.0 + 0.04 * noise()));
    stationary.push_back(0.5 * stationary.back() + noise());
  }
  const auto write_parts = [this](const std::string& name, const std::vector<double>& values,
                                  std::size_t training, std::size_t overlap) {
    std::string first;
    std::string second;
    for (std::size_t t = 0; t < values.size(); ++t) {
      const std::string line = quarvel::data::format_general(values[t]) + "\n";
      if (t < training) first += line;
      if (t + overlap >= training) second += line;
    }
    return std::pair{write(name + "-training.txt", first), write(name + "-validation.txt", second)};
  };
  const auto [training, validation] = write_parts("growing", growing, 120, 13);
  const Result result = run({"--training",
                             training,
                             "--validation",
                             validation,
                             "--season",
                             "12",
                             "--boxcox",
                             "auto",
                             "--seasonal-difference",
                             "auto",
                             "--difference",
                             "auto",
                             "--rank-by",
                             "mse",
                             "--terminals",
                             "13",
                             "--generations",
                             "10",
                             "--population-size",
                             "300",
                             "--intervals",
                             "95",
                             "--units",
                             "original",
                             "--runs",
                             "1",
                             "--output",
                             (folder_ / "growing").string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE((result.out + result.err).find("transforms: log, seasonal difference at 12"),
            std::string::npos)
      << result.out << result.err;
  const std::string record = read_file(folder_ / "growing" / "run-0000" / "run.txt");
  EXPECT_NE(record.find("\ntransform log, seasonal difference at 12\n"), std::string::npos);

  quarvel::forecasting::BandTable table;
  ASSERT_EQ(quarvel::forecasting::parse_band_table(
                read_file(folder_ / "growing" / "run-0000" / "intervals-1.txt"), table),
            std::nullopt);
  ASSERT_EQ(table.point.size(), 24u);
  std::size_t inside = 0;
  for (std::size_t j = 0; j < 24; ++j) {
    const double actual = growing[120 + j];
    EXPECT_GT(table.point[j], 0.5 * actual) << j;  // the series' units, not its logs
    EXPECT_LT(table.point[j], 1.5 * actual) << j;
    inside += table.bands[0].lower[j] <= actual && actual <= table.bands[0].upper[j] ? 1 : 0;
  }
  EXPECT_GE(inside, 21u);

  const auto [flat_training, flat_validation] = write_parts("ar1", stationary, 120, 5);
  const Result flat = run({"--training", flat_training, "--validation", flat_validation, "--boxcox",
                           "auto", "--seasonal-difference", "auto", "--difference", "auto",
                           "--terminals", "5", "--generations", "2", "--population-size", "100",
                           "--output", (folder_ / "ar1").string()});
  ASSERT_EQ(flat.status, 0) << flat.err;
  EXPECT_NE((flat.out + flat.err).find("transforms: none"), std::string::npos)
      << flat.out << flat.err;
}

// A forecast that leaves the data's range widened by its span is told, and
// nothing is dropped.
TEST_F(CliTest, AForecastThatRunsAwayIsWarnedAbout) {
  const Result result =
      run({"--training", example("mackey-glass-training.txt"), "--validation",
           example("mackey-glass-validation.txt"), "--stream", "1", "--generations", "10",
           "--population-size", "300", "--quiet", "--output", (folder_ / "out").string()});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::regex warning(
      R"(warning: population 1: the validation forecast diverged at step ([0-9]+): it left )"
      R"(\[-0\.481876, 2\.21854\]\n)");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(result.err, match, warning)) << result.err;
  // The step is the first forecast value of the prediction outside [-1, 2].
  std::string first;
  const std::vector<std::string> prediction =
      value_texts(read_file(folder_ / "out" / "prediction-1.txt"), first);
  ASSERT_EQ(prediction.size(), 1319u);
  std::size_t outside = 1119;  // the forecast starts after 1000 + 119 known values
  while (outside < prediction.size()) {
    const double v = std::strtod(prediction[outside].c_str(), nullptr);
    if (!(v >= -1.0 && v <= 2.0)) break;
    ++outside;
  }
  EXPECT_EQ(std::to_string(outside - 1119 + 1), match[1].str());
}

}  // namespace

// With the new settings at their defaults the files are today's; a forecast
// past the data in the series' units and the exported Python model give the
// program's own files back.
TEST_F(CliTest, ForecastInOriginalUnitsAndTheExportedModelAgree) {
  std::vector<std::string> base = sunspots();
  base.insert(base.end(),
              {"--generations", "3", "--population-size", "100", "--overlap", "119", "--quiet"});
  std::vector<std::string> plain = base;
  plain.insert(plain.end(), {"--output", (folder_ / "plain").string()});
  std::vector<std::string> defaults = base;
  defaults.insert(defaults.end(), {"--forecast", "0", "--units", "scaled", "--output",
                                   (folder_ / "defaults").string()});
  ASSERT_EQ(run(plain).status, 0);
  ASSERT_EQ(run(defaults).status, 0);
  for (const char* name : {"prediction-1.txt", "tree-1.txt"}) {
    EXPECT_EQ(read_file(folder_ / "defaults" / name), read_file(folder_ / "plain" / name)) << name;
  }
  EXPECT_FALSE(fs::exists(folder_ / "defaults" / "forecast-1.txt"));
  EXPECT_FALSE(fs::exists(folder_ / "defaults" / "model-1.py"));

  std::vector<std::string> out = base;
  const fs::path model = folder_ / "model";
  out.insert(out.end(), {"--forecast", "10", "--units", "original", "--export-model", "--output",
                         model.string()});
  const Result result = run(out);
  ASSERT_EQ(result.status, 0) << result.err;
  for (const char* name : {"model-1.txt", "model-1.py", "model-1.h"}) {
    EXPECT_TRUE(fs::exists(model / name)) << name;
  }
  EXPECT_EQ(read_file(model / "tree-1.txt"), read_file(folder_ / "plain" / "tree-1.txt"));

  const std::string script = write("replay.py", kReplay);
  const std::string command = "python3 " + script + " " + (model / "model-1.py").string() + " " +
                              example("sunspots-training.txt") + " " +
                              example("sunspots-validation.txt") + " 340 10";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> replayed;
  char line[128];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    replayed.push_back(quarvel::data::format_general(std::strtod(line, nullptr)));
  }
  ASSERT_EQ(::pclose(pipe), 0);
  std::string first_prediction;
  std::string first_forecast;
  std::vector<std::string> expected =
      value_texts(read_file(model / "prediction-1.txt"), first_prediction);
  const std::vector<std::string> forecast =
      value_texts(read_file(model / "forecast-1.txt"), first_forecast);
  EXPECT_EQ(first_prediction, "0");
  EXPECT_EQ(first_forecast, "408");  // past the 221 + 187 loaded points
  ASSERT_EQ(forecast.size(), 10u);
  expected.insert(expected.end(), forecast.begin(), forecast.end());
  EXPECT_EQ(replayed, expected);
  // In the series' units: the known part repeats the data (5, 11, 16, ...).
  EXPECT_EQ(expected[0], "5");
  EXPECT_EQ(expected[2], "16");

  // --export-model needs a folder; --units only its two words.
  std::vector<std::string> no_folder = base;
  no_folder.push_back("--export-model");
  EXPECT_EQ(run(no_folder).status, 2);
  std::vector<std::string> bad_units = base;
  bad_units.insert(bad_units.end(), {"--units", "kelvin"});
  const Result refused = run(bad_units);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("--units: use scaled or original"), std::string::npos);
}
