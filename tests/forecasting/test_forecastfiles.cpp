// A forecast with its bands as a file, and a population's forecast figures
// from a finished run: what intervals-K.txt and the runner's records hold.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/generations.h"
#include "engine/prediction.h"
#include "forecasting/forecast.h"
#include "forecasting/forecastfiles.h"
#include "forecasting/forecastquality.h"
#include "forecasting/modelformula.h"
#include "support/forecast_fixtures.h"

namespace quarvel::forecasting {
namespace {

bool same_doubles(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i]) &&
        !(std::isnan(a[i]) && std::isnan(b[i]))) {
      return false;
    }
  }
  return true;
}

TEST(BandTable, ReadsBackEveryDoubleAndTheRowsWithoutBands) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  BandTable table;
  table.first_index = 340;
  table.point = {0.1 + 0.2, 1e-300, -2.5};
  table.levels = {80.0, 99.5};
  table.bands = {{80.0, {0.0, -inf, nan}, {1.0 / 3.0, inf, nan}},
                 {99.5, {-1e10, -inf, -inf}, {4.9406564584124654e-324, inf, 7.0}}};
  const std::string text = band_table_text(table);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
            "index,forecast,lower_80,upper_80,lower_99.5,upper_99.5\n"
            "340,0.30000000000000004,0,0.33333333333333331,-10000000000,"
            "4.9406564584124654e-324\n");
  EXPECT_NE(text.find("\n342,-2.5,nan,nan,-inf,7\n"), std::string::npos) << text;
  BandTable read;
  ASSERT_EQ(parse_band_table(text, read), std::nullopt);
  EXPECT_EQ(read.first_index, 340);
  EXPECT_EQ(read.levels, table.levels);
  EXPECT_TRUE(same_doubles(read.point, table.point));
  ASSERT_EQ(read.bands.size(), 2u);
  for (std::size_t l = 0; l < 2; ++l) {
    EXPECT_EQ(read.bands[l].level, table.levels[l]);
    EXPECT_TRUE(same_doubles(read.bands[l].lower, table.bands[l].lower)) << l;
    EXPECT_TRUE(same_doubles(read.bands[l].upper, table.bands[l].upper)) << l;
  }

  // A model without bands: the levels' columns stay, empty.
  table.bands.clear();
  table.point_name = "median";
  const std::string bare = band_table_text(table);
  EXPECT_NE(bare.find("index,median,lower_80,"), std::string::npos);
  EXPECT_NE(bare.find("\n341,1e-300,,,,\n"), std::string::npos) << bare;
  ASSERT_EQ(parse_band_table(bare, read), std::nullopt);
  EXPECT_TRUE(read.bands.empty());
  EXPECT_EQ(read.point.size(), 3u);
}

TEST(BandTable, BrokenTablesAreRefused) {
  const std::string heading = "index,forecast,lower_80,upper_80\n";
  struct Case {
    std::string text;
    std::string problem;
  };
  const Case cases[] = {
      {"", "it is empty"},
      {heading + "3,0.5,0.1,0.9", "the file ends within a line"},
      {"step,forecast\n", "its heading is not \"index,NAME\" and two columns per band"},
      {"index,forecast,lower_80\n", "its heading is not \"index,NAME\" and two columns per band"},
      {"index,forecast,lower_80,upper_95\n", "its heading names no band in columns 3 and 4"},
      {"index,forecast,lower_100,upper_100\n", "its heading names no band in columns 3 and 4"},
      {heading + "3,0.5,0.1,0.9\n5,0.5,0.1,0.9\n",
       "row 3: the index does not follow the row before"},
      {heading + "3,0.5,0.1\n", "row 2 has 3 fields, the heading 4"},
      {heading + "3,half,0.1,0.9\n", "row 2: the point forecast cannot be read"},
      {heading + "3,0.5,0.1,0.9\n4,0.5,,\n", "row 3: a band edge cannot be read"},
      {heading + "3,0.5,,\n4,0.5,0.1,0.9\n", "row 3: a band edge where the first row has none"},
  };
  for (const Case& c : cases) {
    BandTable table;
    EXPECT_EQ(parse_band_table(c.text, table), c.problem) << c.text;
  }
}

// The figures of a population of a finished run: its validation forecast is
// the tail of its prediction, its bands are drawn from the run's seed and
// stream and cover the held-out values, and its forecast past the data is
// checked for divergence too.
TEST(ForecastQuality, OfAnEvolvedRun) {
  auto engine = evolved_sunspots_run();
  const Engine& e = *engine;
  const ScaledData data = scaled_data(e.data);
  GenerationReport report;
  fill_prediction(*engine, report, 1);
  report_run_figures(*engine, report, 1);
  const std::span<const double> prediction =
      std::span<const double>(report.prediction)
          .first(static_cast<std::size_t>(e.data.point_count));
  const std::vector<double> past = forecasts_past_data(e, 12)[1];

  const ForecastQuality plain = forecast_quality(e, 1, prediction, past, std::nullopt, {1, 0});
  EXPECT_EQ(plain.first_index, data.forecast_start);
  EXPECT_EQ(plain.validation,
            std::vector<double>(prediction.begin() + data.forecast_start, prediction.end()));
  EXPECT_EQ(plain.past_data, past);
  EXPECT_EQ(*plain.accuracy.scaled_mse.value, report.validation_mse);
  EXPECT_FALSE(plain.with_intervals);
  EXPECT_TRUE(plain.validation_bands.bands.empty());

  PathSettings settings;
  settings.method = BandMethod::paths;
  settings.paths = 300;
  const ForecastQuality banded = forecast_quality(e, 1, prediction, past, settings, {7, 3});
  ASSERT_TRUE(banded.interval_reason.empty()) << banded.interval_reason;
  ASSERT_EQ(banded.validation_bands.bands.size(), 2u);
  ASSERT_EQ(banded.past_data_bands.bands.size(), 2u);
  EXPECT_EQ(banded.past_data_bands.bands[0].lower.size(), 12u);
  // The draws of each part start from the run's own seed for that part.
  const ModelFormula formula = describe_best_tree(e, 1);
  const std::vector<double> residuals = training_residuals(formula, data).values;
  const PathBands ahead = bands_past_data(formula, data, 12, residuals,
                                          path_seed(7, 3, 1, PathPurpose::past_data), settings);
  EXPECT_EQ(banded.past_data_bands.bands[1].upper, ahead.bands[1].upper);
  EXPECT_NE(
      forecast_quality(e, 1, prediction, past, settings, {7, 4}).past_data_bands.bands[1].upper,
      ahead.bands[1].upper);
  ASSERT_EQ(banded.coverage.size(), 2u);
  EXPECT_EQ(banded.coverage[0].count, data.forecast_points());
  EXPECT_LE(banded.coverage[0].inside, banded.coverage[1].inside);

  // A forecast past the data that runs away is caught at its first step outside.
  std::vector<double> runaway = past;
  runaway[4] = 2.5;
  EXPECT_EQ(forecast_quality(e, 1, prediction, runaway, std::nullopt, {1, 0}).past_data_divergence,
            5);
}

}  // namespace
}  // namespace quarvel::forecasting
