#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/dataset.h"

using namespace quarvel;

TEST(DataSet, DefaultsAtProgramStart) {
  const DataSet data;
  EXPECT_EQ(data.point_count, 0);
  EXPECT_EQ(data.training_count, 0);
  EXPECT_EQ(data.overlap, 119);
  EXPECT_EQ(data.value_limit, 100.0);
}

TEST(DataSet, InstallsAndScalesTrainingAndValidationTogether) {
  DataSet data;
  ASSERT_EQ(set_training_series(data, std::vector<double>{1, 2, 3}), DataSetStatus::ok);
  ASSERT_EQ(set_validation_series(data, std::vector<double>{4, 5}), DataSetStatus::ok);
  ASSERT_EQ(normalise_series(data), DataSetStatus::ok);
  EXPECT_EQ(data.point_count, 5);
  EXPECT_EQ(data.training_count, 3);
  const std::vector<double> expected{0, 0.25, 0.5, 0.75, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(data.values[i], expected[i]);

  // series_value: lags before the start and past the end read 0.0.
  EXPECT_EQ(series_value(data, 0, 1), 0.0);
  EXPECT_EQ(series_value(data, 2, 0), 0.5);
  EXPECT_EQ(series_value(data, 4, 2), 0.5);
  EXPECT_EQ(series_value(data, 5, 0), 0.0);
}

TEST(DataSet, NewTrainingKeepsStoredValidationAndSecondStartShrinks) {
  DataSet data;
  ASSERT_EQ(set_training_series(data, std::vector<double>{1, 2, 3}), DataSetStatus::ok);
  ASSERT_EQ(set_validation_series(data, std::vector<double>{4, 5}), DataSetStatus::ok);
  ASSERT_EQ(set_training_series(data, std::vector<double>{7}), DataSetStatus::ok);
  EXPECT_EQ(data.point_count, 3);
  EXPECT_EQ(data.training_count, 1);
  EXPECT_EQ(data.values[1], 4);
  EXPECT_EQ(data.values[2], 5);
  ASSERT_EQ(set_validation_series(data, std::vector<double>{9}), DataSetStatus::ok);
  EXPECT_EQ(data.point_count, 2);
}

TEST(DataSet, MaximumInValidationKeepsTrainingBelowOne) {
  DataSet data;
  ASSERT_EQ(set_training_series(data, std::vector<double>{0, 5, 8}), DataSetStatus::ok);
  ASSERT_EQ(set_validation_series(data, std::vector<double>{10}), DataSetStatus::ok);
  ASSERT_EQ(normalise_series(data), DataSetStatus::ok);
  for (int i = 0; i < 3; ++i) EXPECT_LT(data.values[i], 1.0);
}

TEST(DataSet, RefusesWhatCannotBeScaledAndChangesNothing) {
  struct Case {
    std::vector<double> values;
    DataSetStatus status;
  };
  const double inf = std::numeric_limits<double>::infinity();
  for (const Case& c : {Case{{5, 5, 5}, DataSetStatus::constant_series},
                        Case{{-1e308, 1e308}, DataSetStatus::non_finite},
                        Case{{1, inf, 2}, DataSetStatus::non_finite},
                        Case{{std::nan(""), 1, 2}, DataSetStatus::non_finite}}) {
    DataSet data;
    ASSERT_EQ(set_training_series(data, c.values), DataSetStatus::ok);
    EXPECT_EQ(normalise_series(data), c.status);
    EXPECT_EQ(data.values[1], c.values[1]);
  }
}

TEST(DataSet, RefusesMoreThanItsCapacity) {
  DataSet data;
  const std::vector<double> training(30000, 1.0);
  const std::vector<double> validation(10001, 2.0);
  ASSERT_EQ(set_training_series(data, training), DataSetStatus::ok);
  EXPECT_EQ(set_validation_series(data, validation), DataSetStatus::too_many_values);
  EXPECT_EQ(data.point_count, 30000);
  ASSERT_EQ(set_validation_series(data, std::vector<double>(10000, 2.0)), DataSetStatus::ok);
  EXPECT_EQ(set_training_series(data, std::vector<double>(30001, 1.0)),
            DataSetStatus::too_many_values);
  EXPECT_EQ(data.point_count, kDataSetCapacity);
}
