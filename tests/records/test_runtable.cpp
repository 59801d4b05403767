// The table of many runs (runs.csv) in process: failed runs with their
// reason, and a table reads back what it wrote.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "records/runsummary.h"
#include "records/runtable.h"
#include "support/locale.h"
#include "support/run_outcomes.h"
#include "support/scratch.h"

namespace quarvel::records {
namespace {

using quarvel::testing::outcome;

TEST(RunTable, FailedRunsAreToldWithTheirReason) {
  std::vector<RunOutcome> runs{
      outcome(0, 0.5, 1.0, 3.0),
      outcome(1, 0.25, 2.0, 5.0),
      {2, 1, std::nullopt, "cannot create \"a,b\": disk full", std::nullopt}};
  runs[1].failure = "out of memory";
  EXPECT_EQ(runs_table(runs),
            "stream,seed,population,best_mse,best_mdl,validation_mse,best_nodes,seconds,status,"
            "mae,rmse,mape,mase,mse_over_best_benchmark,naive_mse,seasonal_naive_mse,drift_mse,"
            "linear_ar_mse,validation_diverged_at_step,forecast_diverged_at_step\n"
            "0,1,1,0.5,-0.5,1,3,0.500,ok,,,,,,,,,,,\n"
            "1,1,1,0.25,-0.25,2,5,0.500,failed: out of memory,,,,,,,,,,,\n"
            "2,1,,,,,,,\"failed: cannot create \"\"a,b\"\": disk full\",,,,,,,,,,,\n");
  const std::string summary = summary_text(runs);
  EXPECT_EQ(summary.substr(0, summary.find("Runs are")),
            "3 runs: seed 1, streams 0-2\n"
            "2 runs failed, streams 1-2 (see runs.csv); the figures below are of the others\n");
  EXPECT_NE(summary.find("Best run: stream 0, seed 1, population 1: best MSE 0.5,"),
            std::string::npos)
      << summary;
}

// A window's process runs in the user's locale: its runs.csv reads as the
// runner's, with decimal points.
TEST(RunTable, NumbersIgnoreTheUserLocale) {
  const std::vector<RunOutcome> runs{outcome(0, 0.5, 1.25, 3.0), outcome(1, 0.25, 2.0, 5.0)};
  const std::string in_c_locale = runs_table(runs);
  const quarvel::testing::CommaDecimalLocale locale;
  if (!locale.set()) GTEST_SKIP() << "no locale with a comma decimal separator is installed";
  EXPECT_EQ(runs_table(runs), in_c_locale);
  EXPECT_NE(in_c_locale.find("0,1,1,0.5,-0.5,1.25,3,0.500,ok"), std::string::npos) << in_c_locale;
}

// runs.csv read back gives every line again, a failed run's figures and a
// reason with commas, quotes and line ends included.
TEST(RunTable, ReadsBackWhatItWrote) {
  std::vector<RunOutcome> runs{
      outcome(0, 0.5, std::nan(""), 3.0),
      outcome(1, 0.25, 2.0, 5.0),
      {2, 7, std::nullopt, "cannot create \"a,b\":\r\ndisk full", std::nullopt}};
  runs[1].failure = "out of memory";
  runs[1].record->populations.push_back({0.125, -2.0, 1.0, 9.0});
  // Its forecast's figures as a table gives them: values, and steps where it ran away.
  PopulationFigures& forecast = runs[1].record->populations[1];
  forecast.mae = {1.5, {}};
  forecast.mase = {0.1 + 0.2, {}};
  forecast.coverage = {{80.0, {0.8125, {}}}, {95.0, {1.0, {}}}};
  forecast.forecast_divergence = {true, 7};
  const std::string table = runs_table(runs);
  EXPECT_NE(table.find(",coverage_80,coverage_95\n"), std::string::npos) << table;
  std::vector<RunOutcome> read;
  ASSERT_EQ(parse_runs_table(table, read), std::nullopt);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(runs_table(read), table);
  EXPECT_EQ(read[1].failure, "out of memory");
  ASSERT_TRUE(read[1].table_figures.has_value());
  EXPECT_EQ(read[1].table_figures->population, 1u);
  EXPECT_EQ(read[1].table_figures->figures, runs[1].record->populations[1]);
  EXPECT_EQ(read[2].seed, 7);
  EXPECT_EQ(read[2].failure, runs[2].failure);
  EXPECT_FALSE(read[2].table_figures.has_value());

  // A table without a figure's column (of another version) reads without figures.
  std::vector<RunOutcome> older;
  ASSERT_EQ(parse_runs_table("stream,seed,population,best_mse,seconds,status\n"
                             "4,1,1,0.5,0.25,failed: disk full\r\n",
                             older),
            std::nullopt);
  ASSERT_EQ(older.size(), 1u);
  EXPECT_EQ(older[0].stream, 4);
  EXPECT_EQ(older[0].failure, "disk full");
  EXPECT_FALSE(older[0].table_figures.has_value());
}

TEST(RunTable, BrokenTablesAreRefused) {
  const std::string heading =
      "stream,seed,population,best_mse,best_mdl,validation_mse,best_nodes,seconds,status\n";
  struct Case {
    std::string text;
    std::string problem;
  };
  const Case cases[] = {
      {"", "it is empty"},
      {"stream,status\n0,ok\n", "it has no \"seed\" column"},
      {heading + "0,1,,,,,,,\"failed: open\n", "a quoted field is not closed"},
      {heading + "0,1,,,,,,ok\n", "row 2 has 8 fields, the heading 9"},
      {heading + "-1,1,,,,,,,ok\n", "row 2: \"stream\" has a value that cannot be read"},
      {heading + "0,1,0,1,1,1,1,1,ok\n", "row 2: \"population\" has a value that cannot be read"},
      {heading + "0,1,1,1,x,1,1,1,ok\n", "row 2: \"best_mdl\" has a value that cannot be read"},
      {heading + "0,1,,,,,,,done\n",
       "row 2: the status is neither \"ok\" nor \"failed: \" and a reason"},
  };
  for (const Case& c : cases) {
    std::vector<RunOutcome> read;
    EXPECT_EQ(parse_runs_table(c.text, read), c.problem) << c.text;
  }
}

}  // namespace
}  // namespace quarvel::records
