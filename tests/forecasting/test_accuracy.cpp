// Accuracy of a forecast in the series' units, its scaled MSE against the
// engine's, and the guard on forecasts that run away from the data.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "engine/engine.h"
#include "engine/generations.h"
#include "engine/prediction.h"
#include "forecasting/accuracy.h"
#include "support/forecast_fixtures.h"

namespace quarvel::forecasting {
namespace {

// The series lives in [10, 20]: a scaled value s is 10 + 10·s.
// Training 10, 15, 12, 20: the naive forecast's mean absolute error is
// (5 + 3 + 8) / 3 = 16/3. Held out 13, 16, forecast 15, 14: errors +2, -2.
TEST(ForecastAccuracy, HandComputedFiguresInTheSeriesUnits) {
  const std::vector<double> values = {0.0, 0.5, 0.2, 1.0, 0.3, 0.6};
  const ScaledData data{values, 4, 4, 10.0, 20.0};
  const std::vector<double> forecast = {0.5, 0.4};
  const Accuracy accuracy = forecast_accuracy(data, forecast);
  EXPECT_EQ(accuracy.points, 2);
  EXPECT_NEAR(*accuracy.scaled_mse.value, 0.04, 1e-15);
  EXPECT_NEAR(*accuracy.mae.value, 2.0, 1e-12);
  EXPECT_NEAR(*accuracy.rmse.value, 2.0, 1e-12);
  EXPECT_NEAR(*accuracy.mape.value, 100.0 * (2.0 / 13.0 + 2.0 / 16.0) / 2.0, 1e-10);
  EXPECT_NEAR(*accuracy.mase.value, 2.0 / (16.0 / 3.0), 1e-12);

  // RMSE weighs the larger error more: errors 0 and 4 give MAE 2, RMSE √8.
  const Accuracy uneven = forecast_accuracy(data, std::vector<double>{0.3, 1.0});
  EXPECT_NEAR(*uneven.mae.value, 2.0, 1e-12);
  EXPECT_NEAR(*uneven.rmse.value, std::sqrt(8.0), 1e-12);
}

TEST(ForecastAccuracy, FiguresThatCannotBeGivenSayWhy) {
  const std::vector<double> values = {0.0, 0.5, 0.2, 1.0, 0.5, 0.6};
  struct Case {
    const char* what;
    ScaledData data;
    std::vector<double> forecast;
    bool mape;
    bool mase;
    bool any;
  };
  const std::vector<double> flat = {0.4, 0.4, 0.4, 0.7, 0.9};
  const Case cases[] = {
      // Held out 0.5 is 0 in [-5, 5]: no percentage of it.
      {"a held-out zero", {values, 4, 4, -5.0, 5.0}, {0.5, 0.5}, false, true, true},
      // A training part that never moves has no naive error to scale by.
      {"a flat training part", {flat, 3, 3, 0.0, 1.0}, {0.6, 0.8}, true, false, true},
      {"one training value", {values, 1, 4, 0.0, 1.0}, {0.5, 0.5}, true, false, true},
      {"no forecast points", {values, 4, 6, 0.0, 1.0}, {}, false, false, false},
      {"a forecast start past the data", {values, 4, 9, 0.0, 1.0}, {}, false, false, false},
      {"a forecast of another length", {values, 4, 4, 0.0, 1.0}, {0.5}, false, false, false},
  };
  for (const Case& c : cases) {
    const Accuracy accuracy = forecast_accuracy(c.data, c.forecast);
    EXPECT_EQ(accuracy.mape.value.has_value(), c.mape) << c.what;
    EXPECT_EQ(accuracy.mase.value.has_value(), c.mase) << c.what;
    EXPECT_EQ(accuracy.mae.value.has_value(), c.any) << c.what;
    EXPECT_EQ(accuracy.scaled_mse.value.has_value(), c.any) << c.what;
    for (const Figure* figure : {&accuracy.mape, &accuracy.mase, &accuracy.mae}) {
      EXPECT_EQ(figure->value.has_value(), figure->reason.empty()) << c.what;
    }
  }
  EXPECT_NE(forecast_accuracy(cases[0].data, cases[0].forecast).mape.reason.find("is 0"),
            std::string::npos);
}

TEST(ForecastAccuracy, ScaledMseIsTheEnginesValidationMse) {
  auto engine = evolved_sunspots_run();
  const ScaledData data = scaled_data(engine->data);
  for (std::int32_t p = 0; p < 2; ++p) {
    GenerationReport report;
    fill_prediction(*engine, report, p);
    report_run_figures(*engine, report, p);
    const std::span<const double> forecast =
        std::span<const double>(report.prediction)
            .subspan(static_cast<std::size_t>(data.forecast_start),
                     static_cast<std::size_t>(data.forecast_points()));
    const Accuracy accuracy = forecast_accuracy(data, forecast);
    ASSERT_GT(accuracy.points, 0);
    EXPECT_EQ(*accuracy.scaled_mse.value, report.validation_mse) << "population " << p;
  }
}

TEST(FirstDivergence, TheFirstStepOutsideTheDataRangeWidenedByItsSpan) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::vector<double> forecast;
    std::optional<std::int32_t> step;
  };
  const Case cases[] = {
      {{0.5, -1.0, 2.0, 1.7}, std::nullopt},  // the edges are inside
      {{}, std::nullopt},
      {{0.5, 1.2, 2.0000001, 345.0}, 3},
      {{0.5, -1.5}, 2},
      {{nan, 0.5}, 1},
      {{0.5, 0.5, inf}, 3},
  };
  for (const Case& c : cases) EXPECT_EQ(first_divergence(c.forecast), c.step);
}

}  // namespace
}  // namespace quarvel::forecasting
