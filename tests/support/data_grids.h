// Data files as the window and the runner take them in: read through the
// shared data path and laid out as the two grids.
#pragma once

#include <cstdint>
#include <string>

#include "data/datafile.h"

namespace quarvel::testing {

struct DataGrids {
  data::GridColumns training;
  data::GridColumns validation;  // its times go on from the training ones
};

inline DataGrids read_grids(const std::string& training_file, const std::string& validation_file) {
  DataGrids grids;
  grids.training = data::make_grid(data::read_data_file(training_file).values, 0);
  grids.validation = data::make_grid(data::read_data_file(validation_file).values,
                                     static_cast<std::int64_t>(grids.training.rows()));
  return grids;
}

}  // namespace quarvel::testing
