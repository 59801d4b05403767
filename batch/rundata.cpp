#include "batch/rundata.h"

#include <algorithm>
#include <string>

#include "batch/tabledata.h"
#include "data/datafile.h"
#include "data/numbertext.h"
#include "data/timestamps.h"
#include "engine/engine.h"
#include "forecasting/accuracy.h"
#include "runs/startrun.h"

namespace quarvel::batch {

namespace {

// Reads a data file as the window's loads do. What the window only points
// out is refused, as a script wants to hear about it, except text after a
// line's number, which files may rely on: that is told in a warning.
std::optional<Failure> read_series(const std::string& path, const char* role,
                                   data::DataFileResult& file, std::vector<Notice>& notices) {
  file = data::read_data_file(path);
  const std::string name = std::string(role) + " file \"" + path + "\"";
  if (file.error != data::DataFileError::none)
    return data_file_failure(file.error, file.reason, name);
  if (file.values.empty()) {
    return Failure{FailureKind::data_problem,
                   name + " holds no values (" +
                       (file.size == 0 ? "the file is empty" : "every line is empty") + ")"};
  }
  if (const data::DoubtfulLine& doubtful = file.doubtful;
      doubtful.problem != data::LineProblem::none) {
    const std::string what = data::describe_doubtful_line(doubtful);
    return Failure{FailureKind::data_problem, doubtful.problem == data::LineProblem::nul_byte
                                                  ? name + " is not a text file: " + what
                                                  : name + ": " + what};
  }
  if (const data::TrailingText& trailing = file.trailing_text; trailing.lines > 0) {
    const std::string count = trailing.lines == 1 ? "1 line holds text after its number"
                                                  : std::to_string(trailing.lines) +
                                                        " lines hold text after their number";
    notices.push_back({Notice::Kind::warning,
                       name + ": " + data::describe_doubtful_line(trailing.first) + "; " + count});
  }
  return std::nullopt;
}

// The grid of a file's values as the window fills it; every cell must read
// back as a number.
std::optional<Failure> make_series_grid(const data::DataFileResult& file, const std::string& path,
                                        const char* role, std::int64_t first_time,
                                        data::GridColumns& grid) {
  grid = data::make_grid(file.values, first_time);
  for (std::size_t row = 0; row < grid.rows(); ++row) {
    if (!data::parse_number(grid.value[row])) {
      return Failure{FailureKind::data_problem,
                     std::string(role) + " file \"" + path + "\": value " +
                         std::to_string(row + 1) + " reads as " + grid.value[row] +
                         ", beyond the range of a floating-point number"};
    }
  }
  return std::nullopt;
}

}  // namespace

Failure data_file_failure(data::DataFileError error, const std::string& reason,
                          const std::string& name) {
  switch (error) {
    case data::DataFileError::cannot_open:
      return {FailureKind::data_problem, "cannot open " + name + ": " + reason};
    case data::DataFileError::not_a_file:
      return {FailureKind::data_problem, name + " is a folder, not a file"};
    case data::DataFileError::read_error:
      return {FailureKind::data_problem, "cannot read " + name + ": " + reason};
    case data::DataFileError::too_large:
      return {FailureKind::data_problem, name + " " + reason};
    case data::DataFileError::none:
      break;
  }
  return {FailureKind::data_problem, name + ": " + reason};
}

namespace {

// The values of a grid, as the engine would receive them.
std::vector<double> grid_values(const data::GridColumns& grid) {
  std::vector<double> values;
  values.reserve(grid.rows());
  for (const std::string& cell : grid.value)
    values.push_back(data::parse_number(cell).value_or(0.0));
  return values;
}

// The season, and the series through the transforms the settings ask for.
std::optional<Failure> prepare_transforms(RunData& data) {
  const RunRequest& request = data.request;
  const std::int32_t step_season =
      data.table && data.table->time ? data::season_of_step(data.table->time->step) : 0;
  data.season = forecasting::run_season(request.settings, step_season);
  const forecasting::TransformRequest transforms =
      forecasting::transform_request(request.settings, data.season);
  if (!transforms.any()) return std::nullopt;
  const std::int32_t overlap = request.settings.whole(runs::Setting::overlap);
  const std::vector<double> training = grid_values(data.training);
  const std::vector<double> validation = grid_values(data.validation);
  const auto held_out = static_cast<std::int32_t>(validation.size()) - std::max(overlap, 0);
  const std::int32_t ahead = request.settings.whole(runs::Setting::forecast_ahead);
  const std::int32_t horizon = held_out > 0 ? held_out : std::max(ahead, 1);
  forecasting::TransformedRunResult result =
      forecasting::transform_run(training, validation, overlap, transforms, horizon,
                                 static_cast<std::int32_t>(largest_lag(request.settings)));
  if (!result.run) {
    const std::string files = request.data ? data_file_name(request, "")
                                           : data_file_name(request, "training") + " and " +
                                                 data_file_name(request, "validation");
    return Failure{FailureKind::data_problem,
                   files + ": the transforms cannot be taken: " + result.problem};
  }
  data.transformed = std::move(result.run);
  const forecasting::TransformChoice& choice = data.transformed->choice;
  data.notices.push_back(
      {Notice::Kind::note, "transforms: " + forecasting::transform_words(choice.transform) +
                               (choice.reasons.empty() ? "" : " (" + choice.reasons + ")")});
  return std::nullopt;
}

std::optional<Failure> read_data(RunData& data);

}  // namespace

forecasting::ScaledData series_view(const RunData& data, const Engine& engine) {
  return data.transformed ? data.transformed->view() : forecasting::scaled_data(engine.data);
}

std::optional<Failure> read_run_data(const RunRequest& given, RunData& data) {
  data = RunData{};
  data.request = given;
  if (auto failure = check_settings(data.request)) return failure;
  if (auto failure = read_data(data)) return failure;
  return prepare_transforms(data);
}

namespace {

std::optional<Failure> read_data(RunData& data) {
  RunRequest& request = data.request;
  if (request.data) return read_table_data(data);

  data::DataFileResult training_file;
  data::DataFileResult validation_file;
  if (auto failure = read_series(request.training, "training", training_file, data.notices))
    return failure;
  if (auto failure = read_series(request.validation, "validation", validation_file, data.notices)) {
    return failure;
  }
  // Before the grids are made and the overlap is looked for, both of which
  // grow with the count (the overlap with its square).
  if (const auto refused =
          runs::check_value_count(training_file.values.size(), validation_file.values.size())) {
    return start_failure(*refused, request);
  }
  data::GridColumns& training = data.training;
  data::GridColumns& validation = data.validation;
  if (auto failure = make_series_grid(training_file, request.training, "training", 0, training)) {
    return failure;
  }
  if (auto failure = make_series_grid(validation_file, request.validation, "validation",
                                      static_cast<std::int64_t>(training.rows()), validation)) {
    return failure;
  }
  if (!request.overlap_given) {
    request.settings.set(runs::Setting::overlap,
                         data::detect_overlap(training.value, validation.value));
  }
  return std::nullopt;
}

}  // namespace

}  // namespace quarvel::batch
