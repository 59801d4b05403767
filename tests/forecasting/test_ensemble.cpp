// Ensembles over runs: the median of the runs' forecasts and the bands pooled
// from all runs' paths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "forecasting/ensemble.h"
#include "forecasting/intervals.h"
#include "support/forecast_fixtures.h"

namespace quarvel::forecasting {
namespace {

TEST(EnsembleMedian, OfIdenticalRunsIsTheRunBitForBit) {
  const std::vector<double> forecast = {0.1, 0.30000000000000004, -0.7, 1e-300, 2.5};
  for (const std::size_t runs : {1u, 2u, 5u}) {
    const std::vector<std::vector<double>> forecasts(runs, forecast);
    const EnsembleMedian median = ensemble_median(forecasts);
    EXPECT_TRUE(median.reason.empty());
    EXPECT_EQ(median.values, forecast) << runs << " runs";
  }
}

TEST(EnsembleMedian, PerStepMedianOfTheRuns) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Per step: {3, 1, 2} -> 2; {4, 1, 2, 3} -> 2.5 between the middle two when
  // the fourth run is present; a NaN forecast sorts after the numbers.
  const std::vector<std::vector<double>> three = {{3.0, 0.0}, {1.0, nan}, {2.0, 1.0}};
  const EnsembleMedian median = ensemble_median(three);
  ASSERT_EQ(median.values.size(), 2u);
  EXPECT_EQ(median.values[0], 2.0);
  EXPECT_EQ(median.values[1], 1.0);
  const std::vector<std::vector<double>> four = {{4.0}, {1.0}, {2.0}, {3.0}};
  EXPECT_EQ(ensemble_median(four).values, std::vector<double>{2.5});

  EXPECT_FALSE(ensemble_median({}).reason.empty());
  const std::vector<std::vector<double>> ragged = {{1.0, 2.0}, {1.0}};
  const EnsembleMedian refused = ensemble_median(ragged);
  EXPECT_TRUE(refused.values.empty());
  EXPECT_FALSE(refused.reason.empty());
}

// Two runs whose models differ by a shift of the level: each run's paths lie
// in its own range, and the pooled band spans both.
TEST(PooledBands, OfRunsWithShiftedPathsAreWiderThanEither) {
  const std::vector<double> known =
      samples(50, [](double t) { return 0.5 + 0.05 * std::sin(0.9 * t); });
  const std::vector<double> residuals =
      samples(60, [](double t) { return 0.03 * std::sin(1.7 * t * t); });
  PathSettings settings;
  settings.summary_points = kSummaryPointCount;
  std::vector<PathBands> runs;
  for (const double level : {0.2, 0.3}) {
    ModelFormula formula;
    formula.nodes.push_back({{false, 1}, {false, 1}, true, {level, 0.5, 0.0}});
    formula.output = {true, 1};
    formula.lags = {1};
    runs.push_back(simulate_bands(formula, known, 40, residuals, 99, settings));
  }
  const std::vector<PathSummary> summaries = {runs[0].summary, runs[1].summary};
  const std::vector<double> levels = {80.0, 95.0};
  const PooledBands pooled = pooled_bands(summaries, levels);
  ASSERT_TRUE(pooled.reason.empty()) << pooled.reason;
  ASSERT_EQ(pooled.bands.size(), 2u);
  for (std::size_t l = 0; l < 2; ++l) {
    for (std::size_t j = 0; j < 40; ++j) {
      const double width = pooled.bands[l].upper[j] - pooled.bands[l].lower[j];
      for (const PathBands& run : runs) {
        EXPECT_GT(width, run.bands[l].upper[j] - run.bands[l].lower[j]) << l << " " << j;
      }
      // The pooled band reaches from the lower run's paths to the upper run's.
      EXPECT_LT(pooled.bands[l].lower[j], runs[1].bands[l].lower[j]);
      EXPECT_GT(pooled.bands[l].upper[j], runs[0].bands[l].upper[j]);
    }
  }

  // One run pooled alone: its bands from its summary points, close to the
  // bands from all its paths.
  const PooledBands alone = pooled_bands(std::span<const PathSummary>(summaries).first(1), levels);
  for (std::size_t j = 0; j < 40; ++j) {
    EXPECT_NEAR(alone.bands[0].lower[j], runs[0].bands[0].lower[j], 0.01);
    EXPECT_NEAR(alone.bands[1].upper[j], runs[0].bands[1].upper[j], 0.01);
  }

  // A run whose forecast has run away from step 10 on gives no points from
  // there: the pooled band is the other run's alone, until both have.
  std::vector<std::vector<double>> forecasts(2, std::vector<double>(40, 0.5));
  for (std::size_t j = 10; j < 40; ++j) forecasts[1][j] = 2.5;
  forecasts[0][30] = std::numeric_limits<double>::quiet_NaN();
  const PooledBands without = pooled_bands(summaries, levels, forecasts);
  for (std::size_t j = 0; j < 40; ++j) {
    const PooledBands& expected = j < 10 ? pooled : j == 30 ? pooled : alone;
    EXPECT_EQ(without.bands[0].lower[j], expected.bands[0].lower[j]) << j;
    EXPECT_EQ(without.bands[1].upper[j], expected.bands[1].upper[j]) << j;
  }

  // Runs of other lengths are not pooled.
  PathSummary shorter = summaries[1];
  shorter.points.resize(shorter.points.size() - kSummaryPointCount);
  const std::vector<PathSummary> ragged = {summaries[0], shorter};
  EXPECT_FALSE(pooled_bands(ragged, levels).reason.empty());
  EXPECT_FALSE(pooled_bands({}, levels).reason.empty());
}

// The summary names the units of the table it writes, and its reader finds
// them on that line only.
TEST(EnsembleUnits, TheSummaryNamesThemAndTheirReaderFindsThem) {
  for (const bool original : {true, false}) {
    const std::string line = "Ensemble of 3 runs (ensemble-forecast.txt, " +
                             std::string(ensemble_units_words(original)) + "): per step ...\n";
    EXPECT_EQ(ensemble_in_original_units(line), original);
    EXPECT_EQ(ensemble_in_original_units("3 runs: seed 1\n\n" + line + "Its ..."), original);
  }
  EXPECT_EQ(ensemble_in_original_units("Ensemble of 3 runs (ensemble-forecast.txt): per step\n"),
            std::nullopt);
  EXPECT_EQ(ensemble_in_original_units("Note (x, in the series' units): a\nEnsemble of 2 runs "
                                       "(ensemble-forecast.txt): per step\n"),
            std::nullopt);
  EXPECT_EQ(ensemble_in_original_units(""), std::nullopt);
}

}  // namespace
}  // namespace quarvel::forecasting
