#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "support/scratch.h"

namespace quarvel::data {
namespace {

namespace fs = std::filesystem;

struct TextCase {
  const char* name;
  std::string text;
  std::vector<double> values;
};

TEST(DataText, ReadsOnePointPerNonEmptyLine) {
  const double inf = std::numeric_limits<double>::infinity();
  const TextCase cases[] = {
      {"empty line skipped", "1\n\n2\n", {1, 2}},
      {"CR LF", "1\r\n\r\n2\r\n", {1, 2}},
      {"last line without line end", "1\n2", {1, 2}},
      {"blanks, number, letters", "  3.5abc\n", {3.5}},
      {"letters only", "abc\n", {0.0}},
      {"blanks only count as a point", "   \n4\n", {0.0, 4}},
      {"second number ignored", "1 2\n", {1}},
      {"lone CR is part of the line", "1\r2\n\r", {1, 0.0}},
      {"Ctrl-Z ends the text",
       "1\n2\x1A"
       "3\n4\n",
       {1, 2}},
      {"Ctrl-Z at line start",
       "1\n\x1A"
       "2\n",
       {1}},
      {"beyond the double range", "1e400\n-1e400\n", {inf, -inf}},
      {"C library extras give 0", "inf\nnan\n0x1A\n", {0.0, 0.0, 0.0}},
      {"nothing", "", {}},
      {"only empty lines", "\n\r\n\n", {}},
  };
  for (const TextCase& c : cases) EXPECT_EQ(parse_data_text(c.text), c.values) << c.name;
}

TEST(DataText, LongLineGivesOnePointFromItsFirst255Characters) {
  // 250 blanks then 8 digits: the cut leaves "12345", and the rest of the line
  // never becomes a point of its own.
  const std::string line = std::string(250, ' ') + "12345678";
  EXPECT_EQ(parse_data_text(line + "\n7\n"), (std::vector<double>{12345, 7}));
  const std::string exactly = std::string(247, ' ') + "12345678";
  ASSERT_EQ(exactly.size(), kMaxLineLength);
  EXPECT_EQ(parse_data_text(exactly + "\r\n"), (std::vector<double>{12345678}));
}

class DataFileTest : public quarvel::testing::ScratchFolderTest {};

TEST_F(DataFileTest, ReadsAFileAndReportsWhatCannotBeRead) {
  const DataFileResult good = read_data_file(write("series.txt", "1\r\n\r\n2.5\r\n"));
  EXPECT_EQ(good.error, DataFileError::none);
  EXPECT_EQ(good.values, (std::vector<double>{1, 2.5}));

  const DataFileResult missing = read_data_file((folder_ / "missing.txt").string());
  EXPECT_EQ(missing.error, DataFileError::cannot_open);
  EXPECT_EQ(missing.reason, "No such file or directory");
  EXPECT_TRUE(missing.values.empty());

  const DataFileResult folder = read_data_file(folder_.string());
  EXPECT_EQ(folder.error, DataFileError::not_a_file);
  EXPECT_FALSE(folder.reason.empty());
}

// No series fills more than kMaxDataFileBytes: reading stops one byte past
// that, so a device that never ends or a huge file is refused at once.
TEST_F(DataFileTest, StopsReadingPastTheLargestSeries) {
  const std::size_t lines = kMaxDataFileBytes / 2;  // "1\n" each
  std::string exactly;
  for (std::size_t i = 0; i < lines; ++i) exactly += "1\n";
  ASSERT_EQ(exactly.size(), kMaxDataFileBytes);
  struct Case {
    const char* name;
    std::string path;
    DataFileError error;
    std::size_t values;
  };
  const Case cases[] = {
      {"exactly the bound", write("exactly.txt", exactly), DataFileError::none, lines},
      {"one byte more", write("more.txt", exactly + "1"), DataFileError::too_large, 0},
      {"a Ctrl-Z within the bound ends the text", write("ended.txt", "5\n\x1A" + exactly + exactly),
       DataFileError::none, 1},
      {"a device without end", "/dev/zero", DataFileError::too_large, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DataFileResult result = read_data_file(c.path);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.values.size(), c.values);
    if (c.error == DataFileError::too_large) {
      EXPECT_EQ(result.reason,
                "holds more than 10280000 bytes (40000 lines of 255 characters and CR LF fill at "
                "most that), so it cannot be a series");
    }
  }
  // A sparse file of 3 GB: refused after reading the first 10 MB of it.
  const fs::path sparse = folder_ / "sparse.bin";
  std::ofstream(sparse).close();
  fs::resize_file(sparse, std::uintmax_t{3} << 30);
  EXPECT_EQ(read_data_file(sparse.string()).error, DataFileError::too_large);
}

TEST(Grid, TimesCountFromTheFirstTimeAndValuesUseTheNumberFormat) {
  const std::vector<double> values{1.23456789, 1234567, 5e-5};
  const GridColumns grid = make_grid(values, 120);
  EXPECT_EQ(grid.time, (std::vector<std::string>{"120", "121", "122"}));
  EXPECT_EQ(grid.value, (std::vector<std::string>{"1.23457", "1.23457E6", "5E-5"}));
  EXPECT_EQ(grid.rows(), 3u);
  EXPECT_TRUE(check_grid_values(grid));
}

TEST(Grid, CheckFailsOnAnyCellThatIsNotANumber) {
  const GridColumns good{{"0", "1"}, {"2.5", "3"}};
  EXPECT_TRUE(check_grid_values(good));
  const std::pair<const char*, GridColumns> bad[] = {
      {"overflowed value", {{"0", "1"}, {"2.5", "INF"}}},
      {"negative overflow", {{"0", "1"}, {"-INF", "3"}}},
      {"empty value cell", {{"0", "1"}, {"2.5", ""}}},
      {"edited to text", {{"0", "1"}, {"x", "3"}}},
      {"bad time cell", {{"0", ""}, {"2.5", "3"}}},
      {"not a number", {{"0", "1"}, {"NAN", "3"}}},
  };
  for (const auto& [name, grid] : bad) EXPECT_FALSE(check_grid_values(grid)) << name;
}

TEST(Overlap, FindsTheRepeatedEndOfTheTrainingSeries) {
  using Texts = std::vector<std::string>;
  const Texts training{"1", "2", "3", "4", "5", "6", "7"};
  const std::pair<Texts, std::int32_t> cases[] = {
      {{"6", "7", "8"}, 2},
      {{"9", "7", "8"}, 2},  // validation row 0 is not compared
      {{"7", "1", "2"}, 1},
      {{"1", "2", "3"}, 0},
      {{"3", "4", "5", "6", "7", "8"}, 5},
      {{"9", "4", "6", "7"}, 0},  // row 2 differs from training row T-2
      {{"9", "4", "5", "6", "7"}, 5},
      {{"7.0", "8"}, 0},  // texts are compared, not values
      {{}, 0},
  };
  for (const auto& [validation, overlap] : cases) {
    EXPECT_EQ(detect_overlap(training, validation), overlap)
        << ::testing::PrintToString(validation);
  }
}

TEST(Overlap, WalkStopsAtTheFirstTrainingRow) {
  using Texts = std::vector<std::string>;
  // The walk would need training rows before row 0: a mismatch, not a read
  // outside the series.
  EXPECT_EQ(detect_overlap(Texts{"7"}, Texts{"5", "6", "7"}), 0);
  EXPECT_EQ(detect_overlap(Texts{"6", "7"}, Texts{"0", "5", "6", "7"}), 0);
  // Exactly reaching row 0 still matches.
  EXPECT_EQ(detect_overlap(Texts{"6", "7"}, Texts{"0", "6", "7"}), 3);
  // A later candidate can still match after one that ran out of training rows.
  EXPECT_EQ(detect_overlap(Texts{"7"}, Texts{"5", "6", "7", "7"}), 0);
  EXPECT_EQ(detect_overlap(Texts{"7"}, Texts{"7", "7"}), 1);
  EXPECT_EQ(detect_overlap(Texts{}, Texts{"7"}), 0);
}

// The one-pass search against the rule itself, tried at every start: the
// first validation row matching the last training row, with the rows before
// it (down to row 1) repeating the training rows before that one.
TEST(Overlap, AgreesWithTheRuleOnRandomSeries) {
  const auto by_the_rule = [](const std::vector<std::string>& training,
                              const std::vector<std::string>& validation) {
    const auto n = static_cast<std::int64_t>(training.size());
    for (std::int64_t i = 0; n > 0 && i < static_cast<std::int64_t>(validation.size()); ++i) {
      bool matched = validation[static_cast<std::size_t>(i)] == training.back();
      for (std::int64_t j = i - 1, row = n - 2; matched && j > 0; --j, --row) {
        matched = row >= 0 && validation[static_cast<std::size_t>(j)] ==
                                  training[static_cast<std::size_t>(row)];
      }
      if (matched) return static_cast<std::int32_t>(i + 1);
    }
    return std::int32_t{0};
  };
  std::uint64_t state = 12345;
  const auto next = [&state](std::uint64_t range) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return (state >> 33) % range;
  };
  for (int round = 0; round < 3000; ++round) {
    // Few distinct values, so that repeats and partial matches are common.
    const std::uint64_t alphabet = 1 + next(3);
    std::vector<std::string> training(next(12));
    std::vector<std::string> validation(next(12));
    for (auto& value : training) value = std::to_string(next(alphabet));
    for (auto& value : validation) value = std::to_string(next(alphabet));
    // Often a validation file that does repeat the training end.
    if (!training.empty() && !validation.empty() && next(2) == 0) {
      const std::size_t length = 1 + next(training.size());
      validation.insert(validation.begin() + 1,
                        training.end() - static_cast<std::ptrdiff_t>(length), training.end());
    }
    EXPECT_EQ(detect_overlap(training, validation), by_the_rule(training, validation))
        << ::testing::PrintToString(training) << " / " << ::testing::PrintToString(validation);
  }
}

}  // namespace
}  // namespace quarvel::data
