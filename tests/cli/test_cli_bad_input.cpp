// quarvel-cli given files and folders it cannot use: each is refused with one
// "error: ..." line and its exit status, before any output file is written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;

using Result = quarvel::testing::CliResult;
using quarvel::testing::read_file;

class CliBadInputTest : public quarvel::testing::ScratchFolderTest {
 protected:
  Result run(const std::vector<std::string>& arguments) const {
    return quarvel::testing::run_program(QUARVEL_CLI, folder_, arguments);
  }
};

std::string values(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += std::to_string(i % 7) + ".5\n";
  return lines;
}

// Series whose overlap walk fails only at row 1 for every validation row:
// looking for their overlap takes time with the square of their length
// (16 s for 100000 + 100000 values).
std::string slow_overlap(int count) {
  std::string lines = "0\n2\n";
  for (int i = 2; i < count; ++i) lines += "1\n";
  return lines;
}

// The names of the entries in which two snapshots differ: the snapshots
// themselves, printed and compared line by line where they differ, hold
// files of 100000 lines.
std::vector<std::string> differing_entries(const std::map<std::string, std::string>& now,
                                           const std::map<std::string, std::string>& before) {
  std::vector<std::string> names;
  for (const auto& [name, content] : now) {
    const auto old = before.find(name);
    if (old == before.end() || old->second != content) names.push_back(name);
  }
  for (const auto& [name, content] : before) {
    if (!now.contains(name)) names.push_back(name + " (gone)");
  }
  return names;
}

TEST_F(CliBadInputTest, RefusedWithAClearErrorAndNothingWritten) {
  const std::string good = write("good.txt", "1\n2\n3\n");
  const std::string plain_file = write("plain-file", "not a folder");
  const auto path = [this](const std::string& name) { return (folder_ / name).string(); };
  fs::create_symlink("nowhere", folder_ / "dangling");
  fs::create_symlink("loop", folder_ / "loop");
  fs::create_symlink("/dev/null", folder_ / "null-link");
  fs::create_directories(folder_ / "taken" / "prediction-1.txt" / "inside");
  fs::create_directories(folder_ / "results");
  fs::create_directories(folder_ / "piped");
  for (const char* outputs : {"ahead/forecast-1.txt", "twice", "model", "ahead5"}) {
    fs::create_directories(folder_ / outputs);
  }
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo(path("piped/tree-1.txt").c_str(), 0644), 0);
  const fs::path sparse = folder_ / "sparse.bin";
  std::ofstream(sparse).close();
  fs::resize_file(sparse, std::uintmax_t{3} << 30);
  const std::string elf_header(
      "\x7f"
      "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0\n",
      21);
  struct Case {
    const char* name;
    std::string training;
    std::string validation;
    std::vector<std::string> extra;
    int status;
    std::string message_part;
  };
  const Case cases[] = {
      {"empty file",
       write("empty.txt", ""),
       good,
       {},
       3,
       "training file \"" + (folder_ / "empty.txt").string() +
           "\" holds no values (the file is empty)"},
      {"empty lines only",
       good,
       write("lines.txt", "\n\n\r\n\n"),
       {},
       3,
       "lines.txt\" holds no values (every line is empty)"},
      {"blank lines only",
       write("blanks.txt", "   \n\t\n  \r\n"),
       good,
       {},
       3,
       "blanks.txt\": line 1 does not start with a decimal number (\"   \")"},
      {"binary file",
       write("binary.bin", elf_header + "1\n"),
       good,
       {},
       3,
       "binary.bin\" is not a text file: line 1 holds a NUL byte (\"\\x7FELF\\x02\\x01\\x01\\x00"},
      {"binary file without NUL bytes",
       good,
       write("noise.bin", "\xff\xfe\x80\x81\n1\n"),
       {},
       3,
       "noise.bin\": line 1 does not start with a decimal number (\"\\xFF\\xFE\\x80\\x81\")"},
      {"UTF-16 text",
       write("utf16.txt", std::string("1\0\n\0"
                                      "2\0\n\0",
                                      8)),
       good,
       {},
       3,
       "utf16.txt\" is not a text file: line 1 holds a NUL byte"},
      {"line of 100000 characters",
       write("wide.txt", "4\n" + std::string(100000, '1') + "\n5\n"),
       good,
       {},
       3,
       "wide.txt\": line 2 holds 100000 characters, more than the 255 a line may hold"},
      {"values on one line",
       write("row.txt", "1 2 3\r4 5 6\r"),
       good,
       {},
       3,
       "row.txt\": line 1 holds a carriage return that does not end it"},
      {"50000 values",
       write("many.txt", values(50000)),
       good,
       {},
       3,
       "hold 50003 values together, but at most 40000"},
      {"nan",
       write("nan.txt", "1\r\nnan\r\n3\r\n"),
       good,
       {},
       3,
       "nan.txt\": line 2 does not start with a decimal number (\"nan\")"},
      {"inf",
       good,
       write("inf.txt", "1\n\n-inf\n"),
       {},
       3,
       "inf.txt\": line 3 does not start with a decimal number (\"-inf\")"},
      {"1e400",
       good,
       write("big.txt", "2\n1e400\n"),
       {},
       3,
       "big.txt\": value 2 reads as INF, beyond the range"},
      {"-1e400 in training",
       write("small.txt", "-1e400\n"),
       good,
       {},
       3,
       "small.txt\": value 1 reads as -INF"},
      {"file gone before reading",
       (folder_ / "gone.txt").string(),
       good,
       {},
       3,
       "cannot open training file \"" + (folder_ / "gone.txt").string() +
           "\": No such file or directory"},
      {"folder as the training file",
       folder_.string(),
       good,
       {},
       3,
       "training file \"" + folder_.string() + "\" is a folder, not a file"},
      {"output folder under a file",
       good,
       write("v.txt", "4\n5\n"),
       {"--output", plain_file + "/sub"},
       2,
       "--output: cannot write into \"" + plain_file + "/sub\": \"" + plain_file +
           "\" is not a folder"},
      {"history under a file",
       good,
       write("v2.txt", "4\n5\n"),
       {"--history", plain_file + "/h.csv"},
       2,
       "--history: cannot write \"" + plain_file + "/h.csv\": \"" + plain_file +
           "\" is not a folder"},
      {"history onto the training file",
       good,
       write("v3.txt", "4\n5\n"),
       {"--history", good},
       2,
       "--history: \"" + good + "\" is a data file of this run"},
      {"output onto the validation file",
       good,
       write("prediction-1.txt", "4\n5\n"),
       {"--output", folder_.string()},
       2,
       "--output: \"" + (folder_ / "prediction-1.txt").string() +
           "\" would replace a data file of this run"},
      // Data that could only be read by reading without end, or refused late.
      {"a device without end",
       "/dev/zero",
       good,
       {},
       3,
       "training file \"/dev/zero\" holds more than 10280000 bytes (40000 lines of 255 "
       "characters and CR LF fill at most that), so it cannot be a series"},
      {"a sparse file of 3 GB",
       good,
       sparse.string(),
       {},
       3,
       "sparse.bin\" holds more than 10280000 bytes"},
      {"100000 + 100000 values",
       write("long-t.txt", slow_overlap(100000)),
       write("long-v.txt", slow_overlap(100000)),
       {},
       3,
       "hold 200000 values together, but at most 40000 can be used"},
      // Output names that could not be written, refused before the run.
      {"no output folder name", good, good, {"--output", ""}, 2, "--output: no folder name given"},
      {"no history name", good, good, {"--history", ""}, 2, "--history: no file name given"},
      {"history name of 256 characters",
       good,
       good,
       {"--history", path(std::string(256, 'h'))},
       2,
       "--history: \"" + path(std::string(256, 'h')) + "\" cannot be used: File name too long"},
      {"dangling link as the output folder",
       good,
       good,
       {"--output", path("dangling")},
       2,
       "--output: \"" + path("dangling") +
           "\" is a symbolic link that leads nowhere (No such file or directory)"},
      {"link loop as the output folder",
       good,
       good,
       {"--output", path("loop")},
       2,
       "--output: \"" + path("loop") +
           "\" is a symbolic link that leads nowhere (Too many levels of symbolic links)"},
      {"dangling link as the history",
       good,
       good,
       {"--history", path("dangling")},
       2,
       "--history: \"" + path("dangling") + "\" is a symbolic link that leads nowhere"},
      {"folder where prediction-1.txt goes",
       good,
       good,
       {"--output", path("taken")},
       2,
       "--output: \"" + path("taken/prediction-1.txt") + "\" is a folder"},
      {"link to a device as the history",
       good,
       good,
       {"--history", path("null-link")},
       2,
       "--history: \"" + path("null-link") +
           "\" is not a regular file but a device, FIFO or socket; name a regular file"},
      {"FIFO as the history",
       good,
       good,
       {"--history", path("fifo")},
       2,
       "--history: \"" + path("fifo") + "\" is not a regular file but a device, FIFO or socket"},
      {"FIFO where tree-1.txt goes",
       good,
       good,
       {"--output", path("piped")},
       2,
       "--output: \"" + path("piped/tree-1.txt") + "\" is not a regular file"},
      // The names checked are those of the numbers the settings' texts give,
      // however they are spelled.
      {"a folder where forecast-1.txt goes, with --forecast 0x10",
       good,
       good,
       {"--forecast", "0x10", "--output", path("ahead")},
       2,
       "--output: \"" + path("ahead/forecast-1.txt") + "\" is a folder"},
      {"training file as prediction-2.txt, with --populations 0x2",
       write("twice/prediction-2.txt", "1\n2\n3\n"),
       good,
       {"--populations", "0x2", "--output", path("twice")},
       2,
       "--output: \"" + path("twice/prediction-2.txt") + "\" would replace a data file"},
      {"validation file as forecast-1.txt, with --forecast 0x5",
       good,
       write("ahead5/forecast-1.txt", "4\n5\n"),
       {"--forecast", "0x5", "--output", path("ahead5")},
       2,
       "--output: \"" + path("ahead5/forecast-1.txt") + "\" would replace a data file"},
      {"validation file as model-1.py, with --populations 0x1 --export-model",
       good,
       write("model/model-1.py", "4\n5\n"),
       {"--populations", "0x1", "--export-model", "--output", path("model")},
       2,
       "--output: \"" + path("model/model-1.py") + "\" would replace a data file"},
      // Two outputs that are one file.
      {"history as an output file",
       good,
       good,
       {"--history", path("results/prediction-1.txt"), "--output", path("results")},
       2,
       "--history: \"" + path("results/prediction-1.txt") +
           "\" is also written by --output, as \"" + path("results/prediction-1.txt") + "\""},
      {"history as the output folder",
       good,
       good,
       {"--history", path("res"), "--output", path("res")},
       2,
       "--history: \"" + path("res") + "\" would be the --output folder or one it lies in"},
      {"history on the way to the output folder",
       good,
       good,
       {"--history", path("way"), "--output", path("way/sub")},
       2,
       "--history: \"" + path("way") + "\" would be the --output folder or one it lies in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> arguments{
        "--training",    c.training, "--validation",      c.validation,
        "--generations", "2",        "--population-size", "20"};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const bool own_outputs = c.extra.empty();
    if (own_outputs) {
      arguments.insert(arguments.end(), {"--output", (folder_ / "out").string(), "--history",
                                         (folder_ / "history.csv").string()});
    }
    const auto before = quarvel::testing::snapshot(folder_);
    const auto start = std::chrono::steady_clock::now();
    const Result result = run(arguments);
    // Refused at once, not after reading or comparing without end.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.message_part), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    // Nothing was created, and nothing written over or under the files given as outputs.
    EXPECT_EQ(differing_entries(quarvel::testing::snapshot(folder_), before),
              std::vector<std::string>{});
  }
  EXPECT_EQ(read_file(plain_file), "not a folder");
  EXPECT_EQ(read_file(good), "1\n2\n3\n");
  EXPECT_EQ(read_file(folder_ / "prediction-1.txt"), "4\n5\n");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(CliBadInputTest, ReadOnlyFoldersAndFilesAreRefusedBeforeTheRun) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders and files";
  const fs::path locked = folder_ / "locked";
  fs::create_directories(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  const std::string read_only = write("kept.csv", "old");
  fs::permissions(read_only,
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::create_directories(folder_ / "results");
  const std::string read_only_tree = write("results/tree-1.txt", "old tree");
  fs::permissions(read_only_tree, fs::perms::owner_read);
  struct Case {
    std::vector<std::string> outputs;
    std::string message_part;
  };
  const Case cases[] = {
      {{"--output", (locked / "out").string()}, "is not writable"},
      {{"--history", read_only}, "--history: \"" + read_only + "\" is write-protected"},
      {{"--output", (folder_ / "results").string()},
       "--output: \"" + read_only_tree + "\" is write-protected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message_part);
    std::vector<std::string> arguments{"--training",    write("t.txt", "1\n2\n3\n"),
                                       "--validation",  write("v.txt", "4\n5\n"),
                                       "--generations", "1"};
    arguments.insert(arguments.end(), c.outputs.begin(), c.outputs.end());
    const auto before = quarvel::testing::snapshot(folder_);
    const Result result = run(arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(c.message_part), std::string::npos) << result.err;
    EXPECT_EQ(quarvel::testing::snapshot(folder_), before);
  }
  fs::permissions(locked, fs::perms::owner_all);
}

}  // namespace
