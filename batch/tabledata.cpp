#include "batch/tabledata.h"

#include <algorithm>
#include <utility>

#include "batch/rundata.h"
#include "data/datafile.h"
#include "data/numbertext.h"
#include "data/tablefile.h"

namespace quarvel::batch {

namespace {

using runs::Setting;

// "column 2 ("passengers")", or "column 2" without a header.
std::string column_words(std::size_t column, const std::string& name) {
  std::string words = "column " + std::to_string(column);
  if (!name.empty()) words += " (" + data::quoted_cell(name) + ")";
  return words;
}

std::string header_name(const data::Table& table, std::size_t column) {
  return column >= 1 && column <= table.column_names.size() ? table.column_names[column - 1]
                                                            : std::string();
}

// A refused table: the reader's words after the file's name. Options that
// name one column for both uses are refused request.
Failure table_failure(const data::TableError& error, const std::string& name) {
  if (error.problem == data::TableProblem::file) {
    return data_file_failure(error.file_error, error.message, name);
  }
  if (error.problem == data::TableProblem::bad_options) {
    return bad_setting("--column, --time-column", name + ": " + error.message);
  }
  if (error.problem == data::TableProblem::ambiguous_comma) {
    return {FailureKind::data_problem,
            name + ": " + error.message + ": --decimal-comma yes or --thousands-separator comma"};
  }
  return {FailureKind::data_problem, name + ": " + error.message};
}

// A note or warning on the table, after its name.
void tell(RunData& data, Notice::Kind kind, const std::string& name, const std::string& message) {
  data.notices.push_back({kind, name + ": " + message});
}

}  // namespace

std::optional<Failure> read_table_data(RunData& data) {
  RunRequest& request = data.request;
  const DataTable& given = *request.data;
  const std::string name = data_file_name(request, "");
  data::TableResult read = data::read_table_file(given.path, given.reading);
  if (!read.table) return table_failure(read.error, name);
  const data::Table& table = *read.table;
  const data::TimeColumn* time = table.time ? &*table.time : nullptr;
  const std::size_t rows = table.values.size();

  const data::SplitPoint point = data::SplitPoint::from_text(given.split);
  const data::SplitCount count = data::split_training_count(rows, point, time);
  const std::string at_split = name + ": --split " + given.split;
  if (!count.error.empty())
    return Failure{FailureKind::data_problem, at_split + ": " + count.error};
  const std::size_t lag = runs::largest_lag(request.settings);
  const std::size_t overlap =
      request.overlap_given ? static_cast<std::size_t>(request.settings.whole(Setting::overlap))
                            : data::split_overlap(rows, count.training_count, lag);
  data::SplitResult split = data::split_series(table.values, point, overlap, time);
  if (!split.split) return Failure{FailureKind::data_problem, at_split + ": " + split.error};

  SplitTable& parts = data.table.emplace();
  parts.split = std::move(*split.split);
  parts.rows = rows;
  parts.value_column = table.value_column;
  parts.value_name = header_name(table, table.value_column);
  parts.time_column = table.time_column;
  parts.time_name = header_name(table, table.time_column);
  parts.time = table.time;
  parts.layout = table.layout;
  parts.missing = given.reading.missing;
  const data::SeriesSplit& halves = parts.split;
  data.training = data::make_grid(halves.training, 0);
  data.validation =
      data::make_grid(halves.validation, static_cast<std::int64_t>(halves.training_count));
  // The run takes K whether or not the detection on the two grids would find it.
  request.settings.set(Setting::overlap, static_cast<double>(overlap));

  std::string reading = data::describe_layout(table.layout) + "; values from " +
                        column_words(parts.value_column, parts.value_name);
  if (parts.time) {
    reading += ", time stamps from " + column_words(parts.time_column, parts.time_name) + ", " +
               data::describe_step(parts.time->step);
  }
  tell(data, Notice::Kind::note, name, reading + "; " + halves.reading);
  if (!table.note.empty()) tell(data, Notice::Kind::note, name, table.note);
  if (!request.overlap_given && overlap < lag) {
    tell(data, Notice::Kind::warning, name,
         "the validation part repeats " + std::to_string(overlap) +
             " training values, fewer than the largest --terminals, " + std::to_string(lag) +
             ", as the split leaves room for no more: at the forecast start, lags past " +
             std::to_string(overlap) + " reach into the training part");
  }
  if (!request.overlap_given && !halves.overlap_warning.empty()) {
    tell(data, Notice::Kind::warning, name,
         "two files holding these parts would be loaded with an overlap of " +
             std::to_string(halves.detected_overlap) +
             ", as the last training values occur earlier in the validation part; this run "
             "takes " +
             std::to_string(overlap) + ", as --overlap " + std::to_string(overlap) +
             " would set it");
  }
  if (const std::int32_t ahead = request.settings.whole(Setting::forecast_ahead);
      parts.time && ahead > 0) {
    data::StampsAhead stamps =
        data::time_stamps_after(*parts.time, static_cast<std::size_t>(ahead));
    if (stamps.problem.empty()) {
      parts.labels_ahead = std::move(stamps.labels);
    } else {
      tell(data, Notice::Kind::warning, name,
           "the forecast past the data is written without time stamps: " + stamps.problem);
    }
  }
  return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> table_reading_settings(const SplitTable& table) {
  std::vector<std::pair<std::string, std::string>> settings;
  const auto yes_no = [](bool yes) { return std::string(yes ? "yes" : "no"); };
  if (table.layout.delimiter != data::Delimiter::none) {
    settings.emplace_back("--delimiter", data::delimiter_name(table.layout.delimiter));
  }
  settings.emplace_back("--header", yes_no(table.layout.header));
  settings.emplace_back("--decimal-comma", yes_no(table.layout.decimal_comma));
  settings.emplace_back("--thousands-separator",
                        data::thousands_separator_name(table.layout.thousands_separator));
  settings.emplace_back("--missing", data::missing_values_name(table.missing));
  return settings;
}

std::string timed_prediction_text(const SplitTable& table, std::span<const double> prediction,
                                  std::span<const double> forecast) {
  // Time stamps hold no comma, quote or line end (no stamp of any kind
  // does), so the fields need no quotes.
  std::string text = "index,time,value\n";
  const auto add = [&text](std::size_t index, const std::string& stamp, double value) {
    text += std::to_string(index);
    text += ',';
    text += stamp;
    text += ',';
    text += data::format_general(value);
    text += '\n';
  };
  const data::SeriesSplit& split = table.split;
  const std::vector<std::string> no_stamps;
  const std::vector<std::string>& stamps = table.time ? table.time->texts : no_stamps;
  for (std::size_t point = 0; point < prediction.size(); ++point) {
    if (split.repeats_training(point)) continue;
    const std::size_t row = split.series_row(point);
    add(point, row < stamps.size() ? stamps[row] : std::string(), prediction[point]);
  }
  for (std::size_t step = 0; step < forecast.size(); ++step) {
    add(prediction.size() + step,
        step < table.labels_ahead.size() ? table.labels_ahead[step] : std::string(),
        forecast[step]);
  }
  return text;
}

}  // namespace quarvel::batch
