// Transforms of a series and their inverse, and the automatic choice of them
// from the training part on series whose right transform is known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "forecasting/seriestransform.h"
#include "forecasting/transformchoice.h"
#include "support/examples.h"

namespace quarvel::forecasting {
namespace {

// A standard normal draw from the 64-bit Mersenne twister, whose sequence is
// fixed by the standard (std::normal_distribution's is not).
class Normal {
 public:
  explicit Normal(std::uint64_t seed) : engine_(seed) {}
  double operator()() {
    const double u1 = (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53;
    const double u2 = (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.141592653589793 * u2);
  }

 private:
  std::mt19937_64 engine_;
};

std::vector<double> read_values(const std::string& path) {
  std::ifstream file(path);
  std::vector<double> values;
  for (double v = 0.0; file >> v;) values.push_back(v);
  return values;
}

TEST(SeriesTransform, TransformThenInverseIsTheIdentityOnEveryExample) {
  const std::vector<SeriesTransform> transforms = {
      {std::nullopt, 0, 1}, {0.0, 0, 0},  {0.0, 12, 0}, {0.0, 12, 1},
      {0.5, 4, 0},          {-0.3, 0, 1}, {1.7, 0, 1},  {std::nullopt, 7, 1},
  };
  for (const char* name : {"sunspots", "lynx", "mackey-glass", "airpassengers", "nile"}) {
    std::vector<double> series = read_values(testing::example(std::string(name) + "-training.txt"));
    // Box–Cox needs values above 0: the sunspots hold zeros.
    for (double& v : series) v += 1.0;
    for (const SeriesTransform& transform : transforms) {
      SCOPED_TRACE(std::string(name) + ": " + transform_words(transform));
      const TransformedSeries transformed = transform_series(series, transform);
      ASSERT_TRUE(transformed.problem.empty()) << transformed.problem;
      ASSERT_EQ(transformed.values.size(), series.size() - transform.lost());
      // "Forecast" the transformed series by its own values from a point on:
      // the inverse must give the series back.
      const std::size_t known = series.size() / 2;
      const std::span<const double> future =
          std::span<const double>(transformed.values).subspan(known - transform.lost());
      const ForecastInUnits back =
          forecast_in_units(std::span<const double>(series).first(known), future, transform);
      ASSERT_FALSE(back.failed_step);
      ASSERT_EQ(back.values.size(), series.size() - known);
      for (std::size_t j = 0; j < back.values.size(); ++j) {
        ASSERT_NEAR(back.values[j], series[known + j], 1e-12 * std::abs(series[known + j]))
            << "step " << j + 1;
      }
    }
  }
}

TEST(SeriesTransform, AnInverseThatCannotBeTakenIsToldNotANumberSilently) {
  // λ = 0.5: levels below −2 have no value (0.5·z + 1 <= 0).
  const std::vector<double> known = {4.0, 9.0};
  const std::vector<double> forecast = {-1.0, -5.0, 0.5};
  const ForecastInUnits back = forecast_in_units(known, forecast, {0.5, 0, 0});
  ASSERT_TRUE(back.failed_step);
  EXPECT_EQ(*back.failed_step, 2);
  EXPECT_NEAR(back.values[0], 0.25, 1e-15);
  EXPECT_TRUE(std::isnan(back.values[1]) && std::isnan(back.values[2]));
  EXPECT_NE(back.problem.find("cannot be undone at step 2"), std::string::npos) << back.problem;
  // Band edges go to the limit instead: 0 for a positive λ.
  EXPECT_EQ(inverse_box_cox_limit(-5.0, 0.5), 0.0);
  EXPECT_TRUE(std::isinf(inverse_box_cox_limit(5.0, -0.5)));

  // Values of 0 or below cannot take a Box–Cox transform at all.
  const TransformedSeries refused =
      transform_series(std::vector<double>{3.0, 0.0, 2.0}, {0.0, 0, 0});
  EXPECT_TRUE(refused.values.empty());
  EXPECT_NE(refused.problem.find("value 2 is 0"), std::string::npos) << refused.problem;
  const TransformChoice fixed =
      choose_transform(std::vector<double>{3.0, -1.0, 2.0, 5.0}, {TransformMode::fixed, 0.0}, 4, 2);
  EXPECT_FALSE(fixed.problem.empty());
}

TransformRequest everything_automatic(std::int32_t season) {
  return {TransformMode::automatic, 0.0, TransformMode::automatic, TransformMode::automatic,
          season};
}

TEST(TransformChoice, EachKnownProcessGetsItsTransform) {
  Normal noise(20261211);
  // An exponential trend with a multiplicative monthly season: log, then the
  // seasonal difference.
  std::vector<double> growing;
  growing.reserve(144);
  for (int t = 0; t < 144; ++t) {
    growing.push_back(100.0 * std::exp(0.01 * t) *
                      (1.0 + 0.25 * std::sin(2.0 * 3.141592653589793 * t / 12.0)) *
                      std::exp(0.02 * noise()));
  }
  // A stationary AR(1) around 50: nothing.
  std::vector<double> stationary{50.0};
  for (int t = 1; t < 200; ++t)
    stationary.push_back(50.0 + 0.6 * (stationary.back() - 50.0) + noise());
  // A seasonal random walk: y[t] = y[t − 4] + e, the seasonal difference.
  std::vector<double> seasonal_walk{10.0, 30.0, 20.0, 40.0};
  for (int t = 4; t < 160; ++t) seasonal_walk.push_back(seasonal_walk[t - 4] + noise());
  // A random walk with drift: the first difference.
  std::vector<double> walk{0.0};
  for (int t = 1; t < 200; ++t) walk.push_back(walk.back() + 0.3 + noise());

  struct Case {
    const char* name;
    const std::vector<double>& series;
    std::int32_t season;
    SeriesTransform expected;
  };
  const Case cases[] = {
      {"exponential trend, multiplicative season", growing, 12, {0.0, 12, 0}},
      {"stationary AR(1)", stationary, 12, {std::nullopt, 0, 0}},
      {"seasonal random walk", seasonal_walk, 4, {std::nullopt, 4, 0}},
      {"random walk with drift", walk, 1, {std::nullopt, 0, 1}},
  };
  for (const Case& c : cases) {
    const TransformChoice choice =
        choose_transform(c.series, everything_automatic(c.season), 12, 12);
    EXPECT_TRUE(choice.problem.empty()) << c.name;
    EXPECT_EQ(choice.transform, c.expected)
        << c.name << ": " << transform_words(choice.transform) << " (" << choice.reasons << ")";
  }
}

TEST(TransformChoice, OffAndFixedAreTakenAsAsked) {
  std::vector<double> series;
  series.reserve(60);
  for (int t = 0; t < 60; ++t) series.push_back(10.0 + t + 3.0 * (t % 4));
  const TransformRequest fixed{TransformMode::fixed, 0.5, TransformMode::fixed,
                               TransformMode::fixed, 4};
  EXPECT_EQ(choose_transform(series, fixed, 8, 4).transform, (SeriesTransform{0.5, 4, 1}));
  EXPECT_TRUE(choose_transform(series, {}, 8, 4).transform.identity());
  const TransformRequest no_season{TransformMode::off, 0.0, TransformMode::fixed,
                                   TransformMode::off, 0};
  EXPECT_FALSE(choose_transform(series, no_season, 8, 4).problem.empty());
}

}  // namespace
}  // namespace quarvel::forecasting
