// Run records (run.txt) in process: a record reads back exactly, a broken one
// is refused with what is wrong, and records of the same data and settings go
// together.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "records/runrecord.h"
#include "support/scratch.h"

namespace quarvel::records {
namespace {

RunRecord two_populations() {
  RunRecord record;
  record.version = "0.1.0";
  record.training = {"data/with\\odd\nname.txt", 221, 0x0123456789abcdefu};
  record.validation = {"v.txt", 187, 0xfedcba9876543210u};
  record.settings = {{"--generations", "50"},
                     {"--rank-by", "mdl"},
                     {"--populations", "2"},
                     {"--population-size", "1000,500"}};
  record.seed = 7;
  record.stream = 12;
  record.populations = {
      {0.1 + 0.2, -0.3374917507171631, 1.0 / 3.0, 3.0},
      {4.9406564584124654e-324, -1.0, std::numeric_limits<double>::infinity(), 11.0}};
  record.seconds = 1.25;
  return record;
}

TEST(RunRecord, ReadsBackExactly) {
  RunRecord record = two_populations();
  record.files = {{"prediction-1.txt", text_checksum("0,1\r\n")}, {"tree-1.txt", 0}};
  const std::string text = record_text(record);
  EXPECT_NE(text.find("\ntraining data/with\\\\odd\\nname.txt\n"), std::string::npos) << text;
  RunRecord read;
  ASSERT_EQ(parse_record(text, read), std::nullopt);
  EXPECT_EQ(read, record);
  EXPECT_EQ(record_text(read), text);
}

TEST(RunRecord, BrokenRecordsAreRefused) {
  const std::string good = record_text(two_populations());
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    return quarvel::testing::replaced(good, from, to);
  };
  struct Case {
    std::string text;
    std::string problem;
  };
  const Case cases[] = {
      {"stream,seed\n", "not a run record (its first line is not \"quarvel-cli run record\")"},
      {good.substr(0, good.size() - 1), "the record ends within a line"},
      {replaced("seconds 1.250\n", ""), "\"seconds\" is missing"},
      {replaced("--stream 12\n", "--stream 12\n--stream 13\n"), "line 15 gives \"--stream\" again"},
      {replaced("--seed 7", "--seed -7"), "line 9: \"--seed\" has a value that cannot be read"},
      {replaced("seconds 1.250", "seconds soon"),
       "line 17: \"seconds\" has a value that cannot be read"},
      {replaced("training-checksum 0123456789abcdef", "training-checksum 12"),
       "line 5: \"training-checksum\" has a value that cannot be read"},
      {replaced("population 2 ", "population 3 "),
       "line 16: \"population\" has a value that cannot be read"},
      {replaced("best-nodes 11", "best-nodes"),
       "line 16: \"population\" has a value that cannot be read"},
      {replaced("--populations 2", "--populations 3"),
       "it gives the figures of 2 populations for --populations 3"},
      {replaced("version 0.1.0", "version\t0.1.0"), "line 2 has no value"},
      {replaced("version 0.1.0", "version 0.1\\t"), "line 2 holds a broken escape"},
      {replaced("seconds 1.250", "minutes 1"),
       "line 17 is not an entry of a run record (\"minutes\")"},
      // Streams end at 2^24 - 1; only a validation MSE may be no number.
      {replaced("--stream 12", "--stream 16777216"),
       "line 14: \"--stream\" has a value that cannot be read"},
      {replaced("best-mdl -1 ", "best-mdl nan "),
       "line 16: \"population\" has a value that cannot be read"},
      {replaced("seconds 1.250", "seconds nan"),
       "line 17: \"seconds\" has a value that cannot be read"},
      {replaced("seconds 1.250", "seconds -1"),
       "line 17: \"seconds\" has a value that cannot be read"},
      // The files of the run folder: names, each with a checksum of 16 digits.
      {replaced("seconds 1.250", "files tree-1.txt 0123\nseconds 1.250"),
       "line 17: \"files\" has a value that cannot be read"},
      {replaced("seconds 1.250", "files tree-1.txt\nseconds 1.250"),
       "line 17: \"files\" has a value that cannot be read"},
  };
  for (const Case& c : cases) {
    RunRecord read;
    EXPECT_EQ(parse_record(c.text, read), c.problem) << c.text;
  }
}

// Population 1's forecast figures: given, not given with the reason, the
// coverage of two bands and where its forecasts ran away; population 2 of a
// record of an earlier version, without them.
RunRecord with_forecast_figures() {
  RunRecord record = two_populations();
  PopulationFigures& figures = record.populations[0];
  figures.mae = {21.5, {}};
  figures.rmse = {1.0 / 3.0, {}};
  figures.mape = {std::nullopt, "a held-out value is 0: its percentage error is undefined"};
  figures.mase = {0.875, {}};
  figures.coverage = {{80.0, {0.75, {}}}, {99.5, {std::nullopt, "no intervals: too few"}}};
  figures.validation_divergence = {true, std::nullopt};
  figures.forecast_divergence = {true, 12};
  return record;
}

TEST(RunRecord, ForecastFiguresReadBackAndOlderRecordsReadWithout) {
  const RunRecord record = with_forecast_figures();
  const std::string text = record_text(record);
  EXPECT_NE(text.find("\nmae 1 21.5\n"
                      "rmse 1 0.33333333333333331\n"
                      "mape 1 none: a held-out value is 0: its percentage error is undefined\n"
                      "mase 1 0.875\n"
                      "coverage-80 1 0.75\n"
                      "coverage-99.5 1 none: no intervals: too few\n"
                      "validation-diverged 1 no\n"
                      "forecast-diverged 1 at step 12\n"
                      "seconds "),
            std::string::npos)
      << text;
  RunRecord read;
  ASSERT_EQ(parse_record(text, read), std::nullopt);
  EXPECT_EQ(read, record);
  EXPECT_EQ(read.populations[1], two_populations().populations[1]);

  const auto replaced = [&text](const std::string& from, const std::string& to) {
    return quarvel::testing::replaced(text, from, to);
  };
  struct Case {
    std::string text;
    std::string problem;
  };
  const Case cases[] = {
      {replaced("mase 1 ", "mase 3 "),
       "line 20 gives \"mase\" of population 3, which the "
       "record does not hold"},
      {replaced("mase 1 0.875", "mase 1 0.875\nmase 1 0.5"),
       "line 21 gives \"mase\" of population 1 again"},
      {replaced("mae 1 21.5", "mae 1 lots"), "line 17: \"mae\" has a value that cannot be read"},
      {replaced("mae 1 21.5", "mae 1 nan"), "line 17: \"mae\" has a value that cannot be read"},
      {replaced("mae 1 21.5", "mae 21.5"), "line 17: \"mae\" has a value that cannot be read"},
      {replaced("forecast-diverged 1 at step 12", "forecast-diverged 1 at step 0"),
       "line 24: \"forecast-diverged\" has a value that cannot be read"},
      {replaced("coverage-80 1", "coverage-100 1"),
       "line 21 is not an entry of a run record (\"coverage-100\")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_record(c.text, read), c.problem) << c.text;
  }
}

// A --data run names its table, its columns and its split; a record without
// them (two files) reads as before.
TEST(RunRecord, TheTableOfADataRunReadsBack) {
  RunRecord record = two_populations();
  record.table = TableRecord{"examples/air passengers.csv", 2, "passengers (1000s)", 1, "", 120};
  const std::string text = record_text(record);
  EXPECT_NE(text.find("\ndata examples/air passengers.csv\ndata-column 2 passengers (1000s)\n"
                      "data-time-column 1\ndata-split 120\ntraining "),
            std::string::npos)
      << text;
  RunRecord read;
  ASSERT_EQ(parse_record(text, read), std::nullopt);
  EXPECT_EQ(read, record);

  record.table->time_column = 0;
  EXPECT_EQ(record_text(record).find("data-time-column"), std::string::npos);
  ASSERT_EQ(parse_record(record_text(record), read), std::nullopt);
  EXPECT_EQ(read, record);

  const auto refused = [&text](const std::string& from, const std::string& to) {
    std::string broken = text;
    broken.replace(broken.find(from), from.size(), to);
    RunRecord ignored;
    return parse_record(broken, ignored);
  };
  EXPECT_EQ(refused("data-split 120\n", ""), "\"data-split\" is missing");
  EXPECT_EQ(refused("data-column 2", "data-column 0"),
            "line 4: \"data-column\" has a value that cannot be read");
  EXPECT_EQ(refused("data-split 120", "data-split most"),
            "line 6: \"data-split\" has a value that cannot be read");
}

TEST(RunRecord, RunsOfTheSameDataAndSettingsGoTogether) {
  const RunRecord a = two_populations();
  RunRecord other_run = a;
  other_run.seed = 8;
  other_run.stream = 3;
  other_run.training.path = "elsewhere/sunspots.txt";
  other_run.populations[0].best_mse = 5.0;
  EXPECT_EQ(settings_difference(a, other_run), std::nullopt);

  RunRecord other_data = a;
  other_data.validation.checksum ^= 1;
  EXPECT_EQ(settings_difference(a, other_data), "they ran on different validation data");
  RunRecord other_size = a;
  other_size.settings[3].second = "1000,400";
  EXPECT_EQ(settings_difference(a, other_size),
            "they differ in --population-size (1000,500 and 1000,400)");
  RunRecord fewer = a;
  fewer.settings.pop_back();
  EXPECT_EQ(settings_difference(a, fewer), "they list different settings");

  // The transforms a run took are part of what it modelled, and read back.
  RunRecord logged = a;
  logged.transform = "log, seasonal difference at 12";
  EXPECT_EQ(settings_difference(a, logged),
            "they modelled the series through different transforms (none and log, seasonal "
            "difference at 12)");
  RunRecord read;
  ASSERT_EQ(parse_record(record_text(logged), read), std::nullopt);
  EXPECT_EQ(read, logged);
}

// Records of earlier versions hold the settings as they were typed: they read
// as before, and go with records of the same values written otherwise.
TEST(RunRecord, SettingsAsTypedByEarlierVersionsAreTheirValues) {
  const RunRecord a = two_populations();
  RunRecord typed = a;
  typed.settings = {{"--generations", "+50"},
                    {"--rank-by", "mdl"},
                    {"--populations", "0x2"},
                    {"--population-size", "$3E8, 0500"}};
  RunRecord read;
  ASSERT_EQ(parse_record(record_text(typed), read), std::nullopt);
  EXPECT_EQ(read, typed);
  EXPECT_EQ(settings_difference(a, read), std::nullopt);
  read.settings[0].second = "x33";
  EXPECT_EQ(settings_difference(a, read), "they differ in --generations (50 and x33)");
  read.settings[0].second = "fifty";  // not a number at all: compared as written
  EXPECT_EQ(settings_difference(a, read), "they differ in --generations (50 and fifty)");
}

TEST(RunRecord, TheBestPopulationIsRankedAsTheRunRanks) {
  RunRecord record = two_populations();
  EXPECT_EQ(best_population(record), 1u);  // MDL -1 below -0.337
  record.settings[1].second = "mse";
  EXPECT_EQ(best_population(record), 1u);  // the smallest MSE
  record.populations[1].best_mse = std::nan("");
  EXPECT_EQ(best_population(record), 0u);  // NAN ranks last
}

}  // namespace
}  // namespace quarvel::records
