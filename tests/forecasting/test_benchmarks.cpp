// The least-squares autoregression and the benchmark forecasts a model is
// measured against.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "forecasting/benchmarks.h"
#include "forecasting/linearar.h"

namespace quarvel::forecasting {
namespace {

TEST(LinearAr, FindsTheOrderAndCoefficientsOfAKnownProcess) {
  // y[t] = 2 + 0.5·y[t−1] − 0.3·y[t−2] + e, e uniform in [−0.5, 0.5].
  std::mt19937_64 engine(7);
  std::vector<double> series{4.0, 4.0};
  for (int t = 2; t < 3000; ++t) {
    const double e = static_cast<double>(engine() >> 11) * 0x1.0p-53 - 0.5;
    series.push_back(2.0 + 0.5 * series[t - 1] - 0.3 * series[t - 2] + e);
  }
  const LinearAr model = fit_linear_ar(series, 12);
  ASSERT_EQ(model.order, 2);
  EXPECT_NEAR(model.coefficients[0], 2.0, 0.05);
  EXPECT_NEAR(model.coefficients[1], 0.5, 0.03);
  EXPECT_NEAR(model.coefficients[2], -0.3, 0.03);

  // The forecast reads its own values: two steps of the fitted recursion.
  const std::vector<double> forecast = forecast_linear_ar(model, series, 2);
  const double c0 = model.coefficients[0];
  const double c1 = model.coefficients[1];
  const double c2 = model.coefficients[2];
  const double first = c0 + c1 * series.back() + c2 * series[series.size() - 2];
  EXPECT_DOUBLE_EQ(forecast[0], first);
  EXPECT_DOUBLE_EQ(forecast[1], c0 + c1 * first + c2 * series.back());
}

TEST(LinearAr, AConstantOrShortSeriesGivesItsMean) {
  const LinearAr constant = fit_linear_ar(std::vector<double>(50, 3.5), 10);
  EXPECT_EQ(constant.order, 0);
  EXPECT_DOUBLE_EQ(constant.coefficients[0], 3.5);
  EXPECT_EQ(fit_linear_ar(std::vector<double>{2.0}, 4).coefficients, std::vector<double>{2.0});
}

TEST(Benchmarks, EachForecastAsItsRuleMakesIt) {
  const std::vector<double> known = {1.0, 3.0, 2.0, 5.0, 4.0, 7.0};
  const std::vector<BenchmarkForecast> forecasts = benchmark_forecasts(known, 5, 2, 2);
  ASSERT_EQ(forecasts.size(), kBenchmarks.size());
  EXPECT_EQ(forecasts[0].values, (std::vector<double>{7.0, 7.0, 7.0, 7.0, 7.0}));
  EXPECT_EQ(forecasts[1].values, (std::vector<double>{4.0, 7.0, 4.0, 7.0, 4.0}));
  // Drift: (7 − 1) / 5 = 1.2 a step.
  for (std::size_t j = 0; j < 5; ++j) {
    EXPECT_DOUBLE_EQ(forecasts[2].values[j], 7.0 + 1.2 * static_cast<double>(j + 1));
  }
  EXPECT_EQ(forecasts[3].values.size(), 5u);
  // Without a season there is no seasonal naive, and it says why.
  const std::vector<BenchmarkForecast> plain = benchmark_forecasts(known, 3, 0, 2);
  EXPECT_TRUE(plain[1].values.empty());
  EXPECT_EQ(plain[1].reason, "no season");
}

TEST(Benchmarks, TheModelIsMeasuredAgainstTheBestOfThem) {
  // Scaled by 0 .. 10. A seasonal series of period 3 held out for one
  // season: the seasonal naive is exact, so the model's MSE cannot be
  // compared with it (it is 0); a season of 2 makes it err.
  const std::vector<double> values = {0.1, 0.5, 0.9, 0.1, 0.5, 0.9, 0.1, 0.5, 0.9};
  const ScaledData data{values, 6, 6, 0.0, 10.0};
  const BenchmarkFigures exact = benchmark_figures(data, 3, 1, Figure{0.01, {}});
  ASSERT_TRUE(exact.best);
  EXPECT_EQ(*exact.best, Benchmark::seasonal_naive);
  EXPECT_FALSE(exact.relative_mse.value);
  EXPECT_EQ(relative_words(exact),
            "MSE against the benchmarks not given (the best benchmark's MSE is 0)");

  const BenchmarkFigures off = benchmark_figures(data, 0, 1, Figure{0.08, {}});
  ASSERT_TRUE(off.best);
  // Naive 9: squared scaled errors 0.64, 0.16, 0, MSE 0.8/3. The AR is of
  // order 0 by AIC (order 1 lowers the residual sum from 44.8 to 41.14 only):
  // the mean 5.8 of its five points, errors 0.48, 0.08, −0.32, MSE 0.3392/3.
  EXPECT_NEAR(*off.scores[0].accuracy.scaled_mse.value, 0.8 / 3.0, 1e-15);
  EXPECT_EQ(*off.best, Benchmark::linear_ar);
  EXPECT_NEAR(*off.scores[3].accuracy.scaled_mse.value, 0.3392 / 3.0, 1e-12);
  EXPECT_NEAR(*off.relative_mse.value, 0.08 / (0.3392 / 3.0), 1e-10);
  EXPECT_EQ(relative_words(off), "MSE 0.707547 of the linear AR's");
}

TEST(Benchmarks, AnOverlapThatRepeatsTheTrainingPartIsNotReadTwice) {
  // Training 1 .. 6, the validation part repeats 5, 6 (overlap 2), then 7, 8.
  // Scaled by 0 .. 10, the drift of the training part is 1 a step.
  const std::vector<double> values = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.5, 0.6, 0.7, 0.8};
  const ScaledData data{values, 6, 8, 0.0, 10.0};
  EXPECT_EQ(contiguous_known(data), (std::vector<double>{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}));
  const BenchmarkFigures figures = benchmark_figures(data, 0, 1, Figure{0.01, {}});
  EXPECT_EQ(*figures.best, Benchmark::drift);
  EXPECT_NEAR(*figures.scores[2].accuracy.scaled_mse.value, 0.0, 1e-20);
  // An overlap that does not repeat (given by hand) is known data.
  const std::vector<double> other = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.65, 0.7, 0.7, 0.8};
  EXPECT_EQ(contiguous_known(ScaledData{other, 6, 8, 0.0, 10.0}).size(), 8u);
}

}  // namespace
}  // namespace quarvel::forecasting
