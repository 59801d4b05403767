// One series split into a training part and a validation part that repeats
// the overlap, as the two example files of each series lie.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/seriessplit.h"

namespace quarvel::data {
namespace {

std::vector<double> one_to(std::size_t n) {
  std::vector<double> values(n);
  std::iota(values.begin(), values.end(), 1.0);
  return values;
}

TimeColumn time_column(const std::vector<std::string>& cells) {
  TimeColumnResult read = read_time_column(cells);
  EXPECT_TRUE(read.column) << read.message;
  return read.column ? *read.column : TimeColumn{};
}

struct PointCase {
  const char* name;
  SplitPoint point;
  std::size_t n;
  std::size_t training_count;
};

TEST(SeriesSplit, ReadsEveryKindOfSplitPoint) {
  const PointCase cases[] = {
      {"count", SplitPoint::at_count(8), 10, 8},
      {"fraction rounds down", SplitPoint::at_fraction(0.85), 10, 8},
      {"fraction whose product doubles round below a whole", SplitPoint::at_fraction(0.29), 100,
       29},
      {"typed fraction", SplitPoint::from_text("0.5"), 10, 5},
      {"typed count", SplitPoint::from_text("6"), 10, 6},
      {"typed count with blanks", SplitPoint::from_text(" 7 "), 10, 7},
  };
  for (const PointCase& c : cases) {
    const SplitResult result = split_series(one_to(c.n), c.point, 2);
    ASSERT_TRUE(result.split) << c.name << ": " << result.error;
    EXPECT_EQ(result.split->training_count, c.training_count) << c.name;
  }
}

TEST(SeriesSplit, LaysOutTheTwoPartsWithTheOverlapRepeated) {
  const SplitResult result = split_series(one_to(10), SplitPoint::at_count(8), 3);
  ASSERT_TRUE(result.split) << result.error;
  const SeriesSplit& split = *result.split;
  EXPECT_EQ(split.training, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(split.validation, (std::vector<double>{6, 7, 8, 9, 10}));
  EXPECT_EQ(split.validation_first_row(), 5u);
  EXPECT_EQ(split.detected_overlap, 3);
  EXPECT_TRUE(split.overlap_warning.empty());
  EXPECT_EQ(split.reading,
            "the first 8 of 10 values train, 2 are held out, and the validation part repeats the "
            "last 3 values of the training part");

  const SplitResult fraction = split_series(one_to(10), SplitPoint::at_fraction(0.85), 0);
  ASSERT_TRUE(fraction.split) << fraction.error;
  EXPECT_EQ(fraction.split->validation, (std::vector<double>{9, 10}));
  EXPECT_EQ(fraction.split->reading,
            "the first 8 of 10 values train (0.85 of 10, rounded down), 2 are held out, and the "
            "validation part repeats the last 0 values of the training part");
}

TEST(SeriesSplit, SplitsAtATimeStamp) {
  const TimeColumn years =
      time_column({"1701", "1702", "1703", "1704", "1705", "1706", "1707", "1708"});
  // A year is named after the mark; a month, a date or a date-time as written too.
  for (const SplitPoint& point : {SplitPoint::at_time_stamp("1705"), SplitPoint::from_text("@1705"),
                                  SplitPoint::from_text(" @ 1705 ")}) {
    const SplitResult result = split_series(one_to(8), point, 2, &years);
    ASSERT_TRUE(result.split) << result.error;
    EXPECT_EQ(result.split->training_count, 5u);
    EXPECT_EQ(result.split->reading,
              "the first 5 of 8 values train (up to 1705), 3 are held out, and the validation "
              "part repeats the last 2 values of the training part");
  }
  const TimeColumn months = time_column({"1958-10", "1958-11", "1958-12", "1959-01"});
  for (const char* text : {"1958-11", "@1958-11"}) {
    const SplitResult month = split_series(one_to(4), SplitPoint::from_text(text), 1, &months);
    ASSERT_TRUE(month.split) << text << ": " << month.error;
    EXPECT_EQ(month.split->training_count, 2u) << text;
  }
}

// A typed split point is read by its spelling alone, whatever the time column
// holds: a number is a fraction or a count, a stamp that reads as a number is
// named after the mark, and a stamp the series lacks is refused as such.
TEST(SeriesSplit, ReadsATypedPointByItsSpellingAlone) {
  std::vector<std::string> index;
  std::vector<std::string> hundredths;
  std::vector<std::string> years;
  for (int row = 0; row < 60; ++row) {
    index.push_back(std::to_string(row));
    hundredths.push_back("0." + std::string(row < 10 ? "0" : "") + std::to_string(row));
    years.push_back(std::to_string(1700 + row));
  }
  const TimeColumn from_zero = time_column(index);
  const TimeColumn fractions = time_column(hundredths);
  const TimeColumn by_year = time_column(years);
  const struct {
    const char* text;
    const TimeColumn* time;
    std::size_t training_count;  // 0: refused
    const char* error;
  } cases[] = {
      {"40", &from_zero, 40, ""},
      {"@40", &from_zero, 41, ""},
      {"0.3", &fractions, 18, ""},
      {"@0.3", &fractions, 31, ""},
      {"30", &by_year, 30, ""},
      {"@1730", &by_year, 31, ""},
      {"1730", &by_year, 0,
       "the split leaves no value to validate: the series holds 60 values, and the training "
       "part would take 1730; to end the training part at the time stamp 1730, write @1730"},
      {"1971", &by_year, 0,
       "the split leaves no value to validate: the series holds 60 values, and the training "
       "part would take 1971; read as a time stamp (@1971), it names no row either: the series "
       "runs from \"1700\" to \"1759\""},
      {"@1971", &by_year, 0,
       "no row has the time stamp \"1971\" (the series runs from \"1700\" to \"1759\")"},
      {"2.5", &from_zero, 0,
       "\"2.5\" is neither a fraction between 0 and 1, a count of values nor a time stamp of the "
       "series; read as a time stamp (@2.5), it names no row either: the series runs from \"0\" "
       "to \"59\""},
      {"@x", &from_zero, 0, "\"@x\" holds no time stamp after its @"},
      {"@", &from_zero, 0, "\"@\" holds no time stamp after its @"},
      {"@40", nullptr, 0, "the series has no time column, so it cannot be split at \"40\""},
  };
  for (const auto& c : cases) {
    const SplitResult result = split_series(one_to(60), SplitPoint::from_text(c.text), 0, c.time);
    if (c.training_count == 0) {
      EXPECT_FALSE(result.split) << c.text;
      EXPECT_EQ(result.error, c.error) << c.text;
    } else {
      ASSERT_TRUE(result.split) << c.text << ": " << result.error;
      EXPECT_EQ(result.split->training_count, c.training_count) << c.text;
    }
  }
}

// The point a user would type to end the training part at each row reads
// back as that row: a count, a month as written, a year or a number after the
// mark.
TEST(SeriesSplit, WritesTheSplitPointOfARowAsItReadsBack) {
  const TimeColumn months = time_column({"1958-10", "1958-11", "1958-12", "1959-01", "1959-02"});
  const TimeColumn years = time_column({"1701", "1702", "1703", "1704", "1705"});
  const TimeColumn index = time_column({"0", "1", "2", "3", "4"});
  const struct {
    const TimeColumn* time;
    const char* third;  // the text for three training rows
  } columns[] = {{nullptr, "3"}, {&months, "1958-12"}, {&years, "@1703"}, {&index, "@2"}};
  for (const auto& column : columns) {
    EXPECT_EQ(split_text(3, column.time), column.third);
    for (std::size_t count = 1; count < 5; ++count) {
      const std::string text = split_text(count, column.time);
      EXPECT_EQ(check_split_text(text, column.time != nullptr), std::nullopt) << text;
      const SplitResult split =
          split_series(one_to(5), SplitPoint::from_text(text), 0, column.time);
      ASSERT_TRUE(split.split) << text << ": " << split.error;
      EXPECT_EQ(split.split->training_count, count) << text;
    }
  }
}

struct RefusedSplit {
  const char* name;
  std::size_t n;
  SplitPoint point;
  std::size_t overlap;
  bool with_time;
  const char* error;
};

TEST(SeriesSplit, RefusesSplitsThatLeaveAPartTooShort) {
  const RefusedSplit cases[] = {
      {"no validation value", 10, SplitPoint::at_count(10), 2, false,
       "the split leaves no value to validate: the series holds 10 values, and the training "
       "part would take all of them"},
      {"past the end", 10, SplitPoint::from_text("12"), 2, false,
       "the split leaves no value to validate: the series holds 10 values, and the training "
       "part would take 12"},
      {"fewer training values than the overlap needs", 10, SplitPoint::at_count(2), 2, false,
       "the training part would hold 2 values, but an overlap of 2 needs at least 3"},
      {"a fraction that gives too few", 10, SplitPoint::at_fraction(0.05), 0, false,
       "the training part (0.05 of 10, rounded down) would hold 0 values, but an overlap of 0 "
       "needs at least 1"},
      {"a fraction of 1", 10, SplitPoint::at_fraction(1.0), 2, false,
       "a split fraction lies between 0 and 1, not 1"},
      {"a fraction of 0", 10, SplitPoint::at_fraction(0.0), 2, false,
       "a split fraction lies between 0 and 1, not 0"},
      {"a time stamp not in the column", 4, SplitPoint::from_text("1960-01"), 1, true,
       "no row has the time stamp \"1960-01\" (the series runs from \"1958-10\" to \"1959-01\")"},
      {"a time stamp of another kind", 4, SplitPoint::at_time_stamp("1958-11-01"), 1, true,
       "no row has the time stamp \"1958-11-01\""},
      {"a time stamp without a time column", 4, SplitPoint::from_text("1958-11"), 1, false,
       "the series has no time column, so it cannot be split at \"1958-11\""},
      {"text", 4, SplitPoint::from_text("half"), 1, true,
       "\"half\" is neither a fraction between 0 and 1, a count of values nor a time stamp of "
       "the series"},
      {"a negative count", 4, SplitPoint::from_text("-2"), 1, false, "is neither a fraction"},
      {"a count that is not whole", 4, SplitPoint::from_text("2.5"), 1, false,
       "is neither a fraction"},
      {"more than the data set holds with the overlap", 40000, SplitPoint::at_count(30000), 1,
       false,
       "the two parts would hold 40001 values with the overlap, more than the 40000 a series can "
       "hold"},
  };
  const TimeColumn months = time_column({"1958-10", "1958-11", "1958-12", "1959-01"});
  for (const RefusedSplit& c : cases) {
    const SplitResult result =
        split_series(one_to(c.n), c.point, c.overlap, c.with_time ? &months : nullptr);
    EXPECT_FALSE(result.split) << c.name;
    EXPECT_NE(result.error.find(c.error), std::string::npos) << c.name << ": " << result.error;
  }
}

TEST(SeriesSplit, SaysWhenTheOverlapDetectionWouldFindAnother) {
  // The last training value's text also occurs earlier in the validation
  // part: the load would detect 2, not 3.
  const std::vector<double> values{1, 5, 2, 5, 5, 7, 8};
  const SplitResult result = split_series(values, SplitPoint::at_count(5), 3);
  ASSERT_TRUE(result.split) << result.error;
  EXPECT_EQ(result.split->validation, (std::vector<double>{2, 5, 5, 7, 8}));
  EXPECT_EQ(result.split->detected_overlap, 2);
  EXPECT_EQ(result.split->overlap_warning,
            "loading the two parts would detect an overlap of 2, not 3: the last training value "
            "(5) and the ones before it occur earlier in the validation part; set the overlap to "
            "3 explicitly");

  // Values that differ only past the grid's six digits look alike there.
  const std::vector<double> close{1, 2.0000001, 3, 2.0000002, 4, 5};
  const SplitResult texts = split_series(close, SplitPoint::at_count(4), 3);
  ASSERT_TRUE(texts.split) << texts.error;
  EXPECT_EQ(texts.split->detected_overlap, 1);
  EXPECT_FALSE(texts.split->overlap_warning.empty());
}

TEST(SeriesSplit, MapsEveryPointOfThePartsToItsRow) {
  const SplitResult result = split_series(one_to(10), SplitPoint::at_count(8), 3);
  ASSERT_TRUE(result.split) << result.error;
  const SeriesSplit& split = *result.split;
  // The parts loaded one after the other: 1..8, then 6, 7, 8 repeated, then 9, 10.
  std::vector<double> loaded = split.training;
  loaded.insert(loaded.end(), split.validation.begin(), split.validation.end());
  for (std::size_t point = 0; point < loaded.size(); ++point) {
    EXPECT_EQ(loaded[point], static_cast<double>(split.series_row(point) + 1)) << point;
    EXPECT_EQ(split.repeats_training(point), point >= 8 && point < 11) << point;
  }
}

// The overlap a run's largest lag asks for, as far as the split can repeat it.
TEST(SeriesSplit, OverlapOfTheLargestLagIsCappedAsTheSplitRequires) {
  const struct {
    const char* name;
    std::size_t n;
    std::size_t training_count;
    std::size_t lag;
    std::size_t overlap;
  } cases[] = {
      {"the lag fits", 144, 120, 100, 100},    {"training values less one", 144, 10, 100, 9},
      {"no training value", 144, 0, 5, 0},     {"room left in the data set", 39990, 30000, 100, 10},
      {"a full data set", 40000, 30000, 5, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split_overlap(c.n, c.training_count, c.lag), c.overlap) << c.name;
    if (c.training_count == 0) continue;
    // A split with that overlap is never refused for it.
    std::vector<double> values(c.n, 0.0);
    values.back() = 1.0;
    const SplitResult split =
        split_series(values, SplitPoint::at_count(c.training_count), c.overlap);
    EXPECT_TRUE(split.split) << c.name << ": " << split.error;
  }
}

TEST(SeriesSplit, ChecksTypedSplitPointsBeforeTheSeriesIsRead) {
  const struct {
    const char* text;
    bool has_time_column;
    const char* problem;  // nullptr: accepted
  } cases[] = {
      {"0.8", false, nullptr},
      {" 120 ", false, nullptr},
      {"1958-12", true, nullptr},
      {"@1958", true, nullptr},
      {"@ 2.5", true, nullptr},
      {"2.5", true,
       "\"2.5\" is neither a fraction between 0 and 1, a count of training values from 1 nor a "
       "time stamp (a time stamp that reads as a number is written after @: @2.5)"},
      {"@1958", false, "\"@1958\" is a time stamp, but no time column is chosen to find it in"},
      {"@half", true, "\"@half\" holds no time stamp after its @"},
      {"0", false,
       "\"0\" is neither a fraction between 0 and 1, a count of training values from 1 "
       "nor a time stamp"},
      {"1.5", false, "\"1.5\" is neither"},
      {"-3", false, "\"-3\" is neither"},
      {"0x10", false, "\"0x10\" is neither"},
      {"half", true, "\"half\" is neither"},
      {"1958-12", false, "\"1958-12\" is a time stamp, but no time column is chosen to find it in"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> problem = check_split_text(c.text, c.has_time_column);
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, std::nullopt) << c.text;
      continue;
    }
    ASSERT_TRUE(problem) << c.text;
    EXPECT_EQ(problem->rfind(c.problem, 0), 0u) << *problem;
  }
}

// Each example pair is one series split at its training length with its
// overlap: rebuilt and split again, it gives the two files exactly, and the
// overlap detection finds K on them.
TEST(SeriesSplit, RebuildsEveryExamplePair) {
  const struct {
    const char* name;
    std::size_t overlap;
  } pairs[] = {
      {"sunspots", 119}, {"lynx", 20}, {"mackey-glass", 119}, {"airpassengers", 36}, {"nile", 20}};
  const std::string examples = QUARVEL_EXAMPLES;
  for (const auto& pair : pairs) {
    const std::string stem = examples + "/" + pair.name;
    const std::vector<double> training = read_data_file(stem + "-training.txt").values;
    const std::vector<double> validation = read_data_file(stem + "-validation.txt").values;
    ASSERT_GT(validation.size(), pair.overlap) << pair.name;
    std::vector<double> series = training;
    series.insert(series.end(), validation.begin() + static_cast<std::ptrdiff_t>(pair.overlap),
                  validation.end());
    const SplitResult result =
        split_series(series, SplitPoint::at_count(training.size()), pair.overlap);
    ASSERT_TRUE(result.split) << pair.name << ": " << result.error;
    EXPECT_EQ(result.split->training, training) << pair.name;
    EXPECT_EQ(result.split->validation, validation) << pair.name;
    EXPECT_EQ(result.split->detected_overlap, static_cast<std::int32_t>(pair.overlap)) << pair.name;
  }
}

}  // namespace
}  // namespace quarvel::data
