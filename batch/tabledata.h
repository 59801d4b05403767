// The table of a request: one file, read and split into the training and the
// validation part that a run loads as it would load two files, and the time
// stamps that label its outputs.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "batch/request.h"
#include "data/seriessplit.h"
#include "data/tablefile.h"
#include "data/timestamps.h"
#include "runs/settings.h"

namespace quarvel::batch {

struct RunData;

// The table of a --data run as the run uses it.
struct SplitTable {
  data::SeriesSplit split;       // the two parts, the training count T and the overlap K
  std::size_t rows = 0;          // N, the series' values
  std::size_t value_column = 0;  // 1-based
  std::string value_name;        // the header's name of it; empty without one
  std::size_t time_column = 0;   // 1-based; 0 when there is none
  std::string time_name;
  // How the table was read: given or detected, and missing values.
  data::TableLayout layout;
  data::MissingValues missing = data::MissingValues::refuse;
  std::optional<data::TimeColumn> time;
  // The time stamps of --forecast's steps past the data; empty when there are
  // none or the time column has no constant step.
  std::vector<std::string> labels_ahead;
};

// Reads the table of data.request.data and splits it at its split: the
// validation part repeats the last K training values, K the overlap given,
// else the largest lag (capped as the split requires). Fills data.training,
// data.validation and data.table, and sets the run's overlap to K. Adds to
// data.notices a note on how the table was read and split, and warnings of
// what the user should know (fewer repeated values than the largest lag, an
// overlap the detection of two files would not find, time stamps past the
// data that cannot be named).
[[nodiscard]] std::optional<Failure> read_table_data(RunData& data);

// The options that read the table again exactly as the run read it, as its
// files record them beside the run's settings: --delimiter (unless the table
// is one column), --header, --decimal-comma, --thousands-separator and
// --missing, each as read, given or detected.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> table_reading_settings(
    const SplitTable& table);

// timed-prediction-K.csv: the header "index,time,value", then one line per
// point of `prediction` (the known values and the validation forecast) but the
// repeated training values, its index there, the time stamp of its row and its
// value; then one per step of `forecast`, indices on from the prediction's,
// labelled with labels_ahead (an empty stamp where there is none). LF line ends.
[[nodiscard]] std::string timed_prediction_text(const SplitTable& table,
                                                std::span<const double> prediction,
                                                std::span<const double> forecast);

}  // namespace quarvel::batch
