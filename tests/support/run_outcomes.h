// A run of many for the tests of runs.csv and summary.txt: one population,
// ranked by MSE, with the figures given.
#pragma once

#include <cstdint>
#include <optional>

#include "records/runtable.h"

namespace quarvel::testing {

inline records::RunOutcome outcome(std::int32_t stream, double mse, double validation_mse,
                                   double nodes) {
  records::RunRecord record;
  record.settings = {{"--rank-by", "mse"}, {"--populations", "1"}};
  record.seed = 1;
  record.stream = stream;
  record.populations = {{mse, -mse, validation_mse, nodes}};
  record.seconds = 0.5;
  return {stream, 1, record, std::nullopt, std::nullopt};
}

}  // namespace quarvel::testing
