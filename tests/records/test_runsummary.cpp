// The summary of many runs (summary.txt) in process: its figures are those of
// the runs, with the forecasts' figures over the runs that give them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "records/runsummary.h"
#include "support/run_outcomes.h"
#include "support/scratch.h"

namespace quarvel::records {
namespace {

using quarvel::testing::outcome;

// The block on the runs' forecasts: each figure over the runs that give it,
// those that do not with the reason, and the runs whose forecasts ran away.
TEST(RunSummary, ForecastFiguresOverTheRunsThatGiveThem) {
  std::vector<RunOutcome> runs{outcome(0, 0.3, 4.0, 9.0), outcome(1, 0.1, 1.0, 3.0),
                               outcome(2, 0.5, 2.0, 5.0)};
  const double maes[] = {3.0, 1.0, 2.0};
  for (std::size_t r = 0; r < runs.size(); ++r) {
    PopulationFigures& figures = runs[r].record->populations[0];
    figures.mae = {maes[r], {}};
    figures.rmse = {2.0 * maes[r], {}};
    figures.mape = {std::nullopt, "a held-out value is 0"};
    figures.mase = {maes[r] / 4.0, {}};
    figures.coverage = {{80.0, {0.5 + 0.125 * static_cast<double>(r), {}}}};
    figures.validation_divergence = {true, std::nullopt};
  }
  runs[2].record->populations[0].validation_divergence.step = 3;
  runs[0].record->populations[0].coverage.clear();
  const std::string summary = summary_text(runs);
  const std::string block = summary.substr(summary.find("NAN sorts last.\n") + 16);
  EXPECT_EQ(
      block,
      "\nThe validation forecast of each run's best population, in the series' units "
      "(coverage: the share of held-out values inside a band):\n"
      "figure           min             lower quartile  median          upper quartile  max\n"
      "MAE              1               1.5             2               2.5             3\n"
      "RMSE             2               3               4               5               6\n"
      "MASE             0.25            0.375           0.5             0.625           0.75\n"
      "80 % coverage    0.625           0.65625         0.6875          0.71875         0.75\n"
      "MAPE (%) is not given for 3 runs: a held-out value is 0.\n"
      "80 % coverage is not given for 1 run (not in its record).\n"
      "Diverged, leaving [lo - span, hi + span] (lo and hi the data's minimum and maximum, "
      "span = hi - lo): the validation forecast of 1 of 3 runs (stream 2).\n");
}

TEST(RunSummary, FiguresAreMedianQuartilesAndRange) {
  // Validation MSEs 4, 1, NAN, 2, 3 and node counts 9, 3, 5, 7, 11: a NAN
  // sorts last, and the quartiles interpolate between sorted neighbours.
  const std::vector<RunOutcome> runs{outcome(0, 0.3, 4.0, 9.0), outcome(1, 0.1, 1.0, 3.0),
                                     outcome(2, 0.5, std::nan(""), 5.0), outcome(3, 0.2, 2.0, 7.0),
                                     outcome(4, 0.4, 3.0, 11.0)};
  EXPECT_EQ(
      summary_text(runs),
      "5 runs: seed 1, streams 0-4\n"
      "Runs are ranked by best MSE (--rank-by mse), a run with several populations by its "
      "best one.\n"
      "Best run: stream 1, seed 1, population 1: best MSE 0.1, best MDL -0.1, validation "
      "MSE 1, best tree 3 nodes\n"
      "\n"
      "figure           min             lower quartile  median          upper quartile  max\n"
      "best MSE         0.1             0.2             0.3             0.4             0.5\n"
      "best MDL         -0.5            -0.4            -0.3            -0.2            -0.1\n"
      "validation MSE   1               2               3               4               NAN\n"
      "best-tree nodes  3               5               7               9               11\n"
      "\n"
      "Quartiles and median are interpolated linearly between the sorted values; NAN sorts "
      "last.\n");
  const std::vector<RunOutcome> four{outcome(7, 1.0, 1.0, 1.0), outcome(9, 2.0, 2.0, 2.0),
                                     outcome(8, 4.0, 4.0, 4.0), outcome(6, 3.0, 3.0, 3.0)};
  const std::string summary = summary_text(four);
  EXPECT_NE(summary.find("\nbest MSE         1               1.75            2.5             "
                         "3.25            4\n"),
            std::string::npos)
      << summary;
  EXPECT_EQ(summary.rfind("4 runs: seed 1, streams 6-9\n", 0), 0u);
}

}  // namespace
}  // namespace quarvel::records
