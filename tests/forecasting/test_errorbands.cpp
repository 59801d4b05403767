// Bands from the model's own multi-step errors: they hold a known process at
// their nominal rates, and they do not run away with a model that does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "forecasting/errorbands.h"
#include "forecasting/seriestransform.h"

namespace quarvel::forecasting {
namespace {

double uniform(std::mt19937_64& engine) {
  return (static_cast<double>(engine() >> 11) + 0.5) * 0x1.0p-53;
}

// A standard normal draw by Box–Muller on the standard's fixed generator.
double normal(std::mt19937_64& engine) {
  const double u1 = uniform(engine);
  const double u2 = uniform(engine);
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.141592653589793 * u2);
}

// x[t] = c0 + c1·x[t−1] as the one-input node the engine fits.
ModelFormula linear_recursion(double c0, double c1) {
  ModelFormula formula;
  NodeEquation node;
  node.first = {false, 1};
  node.one_input = true;
  node.coefficients = {c0, c1, 0.0};
  formula.nodes.push_back(node);
  formula.output = {true, 1};
  formula.lags = {1};
  formula.value_limit = 100.0;
  return formula;
}

TEST(ErrorBands, HoldAKnownProcessAtTheirNominalRates) {
  // x[t] = 0.2 + 0.6·x[t−1] + 0.05·e, around 0.5, scaled as it is.
  std::mt19937_64 engine(11);
  const auto next = [&engine](double x) { return 0.2 + 0.6 * x + 0.05 * normal(engine); };
  std::vector<double> training{0.5};
  for (int t = 1; t < 3000; ++t) training.push_back(next(training.back()));
  const ModelFormula formula = linear_recursion(0.2, 0.6);
  const RunScales scales;  // no transform; values in [0, 1] already
  constexpr std::int32_t kSteps = 6;
  const ModelErrors errors = multi_step_errors(formula, training, training, scales, kSteps);
  ASSERT_EQ(errors.measured_steps, kSteps) << errors.reason;

  // The forecast from the last training value, and many futures after it.
  std::vector<double> forecast;
  for (double x = training.back(); forecast.size() < kSteps;) {
    x = 0.2 + 0.6 * x;
    forecast.push_back(x);
  }
  PathSettings settings;
  settings.levels = {80.0, 95.0};
  const PathBands bands = error_bands(errors, forecast, scales, settings);
  ASSERT_TRUE(bands.reason.empty()) << bands.reason;
  constexpr int kFutures = 4000;
  int inside80 = 0;
  int inside95 = 0;
  for (int r = 0; r < kFutures; ++r) {
    double x = training.back();
    for (std::size_t j = 0; j < kSteps; ++j) {
      x = next(x);
      inside80 += bands.bands[0].lower[j] <= x && x <= bands.bands[0].upper[j];
      inside95 += bands.bands[1].lower[j] <= x && x <= bands.bands[1].upper[j];
    }
  }
  const double points = kFutures * kSteps;
  // A band of the 70 % or 90 % quantiles instead would be off by 0.1; of
  // 90 % or 99 % for the 95 % band, by 0.04 or more.
  EXPECT_NEAR(inside80 / points, 0.80, 0.025);
  EXPECT_NEAR(inside95 / points, 0.95, 0.015);
}

TEST(ErrorBands, AModelThatRunsAwayGivesNoEvidenceBeyondTheData) {
  // x[t] = 1.05·x[t−1] − 0.025 leaves 0.5 ever faster: free runs from the
  // training part leave the data's range within a few dozen steps.
  std::mt19937_64 engine(3);
  std::vector<double> training(400);
  for (double& value : training) value = 0.5 + 0.2 * (uniform(engine) - 0.5);
  const ModelFormula formula = linear_recursion(-0.025, 1.05);
  const RunScales scales;
  const ModelErrors errors = multi_step_errors(formula, training, training, scales, 200);
  ASSERT_GT(errors.measured_steps, 0);
  EXPECT_LT(errors.measured_steps, 200);

  // Around a forecast that stays in the data's range, no edge leaves it
  // widened by a span on each side, however far ahead.
  const std::vector<double> forecast(300, 0.5);
  PathSettings settings;
  const PathBands bands = error_bands(errors, forecast, scales, settings);
  ASSERT_TRUE(bands.reason.empty());
  for (const Band& band : bands.bands) {
    for (std::size_t j = 0; j < forecast.size(); ++j) {
      EXPECT_GE(band.lower[j], -1.0);
      EXPECT_LE(band.upper[j], 2.0);
      EXPECT_LE(band.lower[j], band.upper[j]);
    }
  }
}

TEST(ErrorBands, ComeBackThroughTheTransformInTheSeriesUnits) {
  // The log of a series that grows 1 % a step with multiplicative noise,
  // modelled as the first difference of its logs, scaled by 0 .. 0.04.
  std::mt19937_64 engine(5);
  std::vector<double> series{100.0};
  for (int t = 1; t < 600; ++t) {
    series.push_back(series.back() * std::exp(0.01 + 0.005 * normal(engine)));
  }
  RunScales scales;
  scales.transform = {0.0, 0, 1};
  scales.low = 0.0;
  scales.high = 0.04;
  scales.series_low = 0.0;
  scales.series_high = series.back() * 2.0;
  const TransformedSeries differences = transform_series(series, scales.transform);
  std::vector<double> scaled;
  for (const double v : differences.values)
    scaled.push_back((v - scales.low) / (scales.high - scales.low));
  // The model: the mean difference, 0.01, scaled to 0.25.
  const ModelFormula formula = linear_recursion(0.25, 0.0);
  const ModelErrors errors = multi_step_errors(formula, scaled, series, scales, 10);
  ASSERT_EQ(errors.measured_steps, 10) << errors.reason;
  // Forecast levels: log of the last value plus 0.01 a step.
  std::vector<double> levels;
  for (int j = 1; j <= 10; ++j) levels.push_back(std::log(series.back()) + 0.01 * j);
  PathSettings settings;
  settings.levels = {95.0};
  const PathBands bands = error_bands(errors, levels, scales, settings);
  for (std::size_t j = 0; j < levels.size(); ++j) {
    const double centre = std::exp(levels[j]) / scales.series_high;
    EXPECT_LT(bands.bands[0].lower[j], centre);
    EXPECT_GT(bands.bands[0].upper[j], centre);
    // The spread of a random walk's logs grows as the square root of the
    // steps: 0.005·√j·1.96 on each side, give or take the sample's noise.
    const double half_width = std::log(bands.bands[0].upper[j] / bands.bands[0].lower[j]) / 2.0;
    EXPECT_NEAR(half_width, 0.005 * std::sqrt(j + 1.0) * 1.96, 0.003 * std::sqrt(j + 1.0));
  }
}

}  // namespace
}  // namespace quarvel::forecasting
