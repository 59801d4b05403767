// The summary of many runs (summary.txt) and its statistics: the minimum,
// quartiles, median and maximum of each figure over the runs that did not
// fail, the best run, and the runs whose forecasts ran away; and the words
// the runner and the summary tell a forecast's figures in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/intervals.h"
#include "records/runtable.h"

namespace quarvel::records {

// summary.txt: the runs, the best run, and the minimum, quartiles, median and
// maximum of each figure over the runs that did not fail, with the runs whose
// forecasts ran away. It holds no times, so the same runs give the same
// summary however they were run. (The ensemble of the runs adds its block
// after it.)
[[nodiscard]] std::string summary_text(std::span<const RunOutcome> runs);

// A validation forecast's accuracy in words, as the runner and summary.txt
// tell it: "MAE 30.8386, RMSE 42.4818, MAPE (%) 80.3483, MASE 1.90811", each
// figure that cannot be given "not given (why)".
[[nodiscard]] std::string accuracy_words(const forecasting::Accuracy& accuracy);

// The bands' coverage in words: "80 % band 0.691176 (47 of 68), 95 % band ...".
[[nodiscard]] std::string coverage_words(std::span<const forecasting::Coverage> coverage);

// "seed 1", "streams 0-19", "streams 0-3, 7".
[[nodiscard]] std::string labelled_list(std::string_view label, std::vector<std::int32_t> numbers);

}  // namespace quarvel::records
