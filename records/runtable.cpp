#include "records/runtable.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "data/numbertext.h"
#include "forecasting/forecastfiles.h"

namespace quarvel::records {

namespace {

// runs.csv's columns around the figures.
constexpr std::string_view kRunColumns[] = {"stream", "seed", "population"};
constexpr std::string_view kEndColumns[] = {"seconds", "status"};
constexpr std::string_view kFailedStatus = "failed: ";

// A CSV field, quoted when it holds a comma, quote or line end.
std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + "\"";
}

// The forecast's figures of a row of runs.csv, from the columns its heading
// has (a table of an earlier version has none); nullopt when they read.
std::optional<std::string> read_forecast_columns(const CsvRow& heading, const CsvRow& row,
                                                 PopulationFigures& figures) {
  const auto bad = [&heading](std::size_t at) {
    return "\"" + heading[at] + "\" has a value that cannot be read";
  };
  for (std::size_t at = 0; at < heading.size(); ++at) {
    const std::string& name = heading[at];
    const std::string& field = row[at];
    for (const AccuracyInfo& info : kAccuracyFigures) {
      if (name != info.column || field.empty()) continue;
      const std::optional<double> value = read_double(field);
      if (!value) return bad(at);
      (figures.*info.member).value = value;
    }
    for (const DivergenceInfo& info : kDivergences) {
      // An empty field tells no step: the table does not say whether the
      // forecast stayed inside or was not looked at.
      if (name != info.column || field.empty()) continue;
      const auto step = read_number<std::int32_t>(field);
      if (!step || *step < 1) return bad(at);
      figures.*info.member = {true, step};
    }
    const std::optional<double> level = coverage_level(name, kCoverageColumn);
    if (level && !field.empty()) {
      const std::optional<double> share = read_double(field);
      if (!share) return bad(at);
      figures.coverage.push_back({*level, {share, {}}});
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<CsvRow>> csv_rows(std::string_view text) {
  std::vector<CsvRow> rows;
  CsvRow row;
  std::string field;
  bool field_begins = true;
  bool in_quotes = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_quotes) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        in_quotes = false;
      }
      continue;
    }
    if (c == '"' && field_begins) {
      in_quotes = true;
      field_begins = false;
    } else if (c == ',' || c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      field_begins = true;
      if (c == '\n') rows.push_back(std::exchange(row, {}));
    } else if (c != '\r' || i + 1 == text.size() || text[i + 1] != '\n') {
      field += c;
      field_begins = false;
    }
  }
  if (in_quotes) return std::nullopt;
  if (!field_begins || !row.empty()) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string runs_table(std::span<const RunOutcome> runs) {
  // The figures each line gives.
  std::vector<std::optional<TableFigures>> lines;
  for (const RunOutcome& run : runs) {
    std::optional<TableFigures> shown = run.table_figures;
    if (run.record && !run.record->populations.empty()) {
      const std::size_t p = best_population(*run.record);
      shown = TableFigures{p, run.record->populations[p], run.record->seconds};
    }
    lines.push_back(std::move(shown));
  }
  std::vector<const PopulationFigures*> shown_figures;
  for (const std::optional<TableFigures>& shown : lines) {
    if (shown) shown_figures.push_back(&shown->figures);
  }
  const std::vector<double> levels = coverage_levels(shown_figures);

  std::string table;
  for (const std::string_view column : kRunColumns) table += std::string(column) + ",";
  for (const FigureInfo& figure : kFigures) table += std::string(figure.column) + ",";
  for (const std::string_view column : kEndColumns) table += std::string(column) + ",";
  for (const AccuracyInfo& info : kAccuracyFigures) table += std::string(info.column) + ",";
  for (const DivergenceInfo& info : kDivergences) table += std::string(info.column) + ",";
  for (const double level : levels) {
    table += std::string(kCoverageColumn) + forecasting::level_text(level) + ",";
  }
  table.back() = '\n';
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const RunOutcome& run = runs[r];
    table += std::to_string(run.stream) + "," + std::to_string(run.seed) + ",";
    const std::optional<TableFigures>& shown = lines[r];
    if (shown) {
      table += std::to_string(shown->population + 1) + ",";
      for (const FigureInfo& figure : kFigures)
        table += data::exact(shown->figures.*figure.member) + ",";
      table += seconds_text(shown->seconds) + ",";
    } else {
      table.append(std::size(kFigures) + 2, ',');
    }
    table += run.failure ? csv_field(std::string(kFailedStatus) + *run.failure) : std::string("ok");
    // The forecast's figures after the status: empty where a line has none.
    const auto add_figure = [&table](const forecasting::Figure* figure) {
      table += ',';
      if (figure != nullptr && figure->value) table += data::exact(*figure->value);
    };
    for (const AccuracyInfo& info : kAccuracyFigures) {
      add_figure(shown ? &(shown->figures.*info.member) : nullptr);
    }
    for (const DivergenceInfo& info : kDivergences) {
      table += ',';
      if (shown && (shown->figures.*info.member).step) {
        table += std::to_string(*(shown->figures.*info.member).step);
      }
    }
    for (const double level : levels)
      add_figure(shown ? coverage_of(shown->figures, level) : nullptr);
    table += '\n';
  }
  return table;
}

std::optional<std::string> parse_runs_table(std::string_view text, std::vector<RunOutcome>& runs) {
  runs.clear();
  const std::optional<std::vector<CsvRow>> rows = csv_rows(text);
  if (!rows) return std::string("a quoted field is not closed");
  if (rows->empty()) return std::string("it is empty");
  const CsvRow& heading = rows->front();
  // The place of a column, or nullopt.
  const auto column = [&heading](std::string_view name) -> std::optional<std::size_t> {
    const auto found = std::find(heading.begin(), heading.end(), name);
    if (found == heading.end()) return std::nullopt;
    return static_cast<std::size_t>(found - heading.begin());
  };
  for (const std::string_view name : {"stream", "seed", "status"}) {
    if (!column(name)) return "it has no \"" + std::string(name) + "\" column";
  }
  const std::size_t stream_at = *column("stream");
  const std::size_t seed_at = *column("seed");
  const std::size_t status_at = *column("status");
  // The figures are read when every one of them has its column.
  std::vector<std::size_t> figure_at;
  for (const FigureInfo& figure : kFigures) {
    if (const auto at = column(figure.column)) figure_at.push_back(*at);
  }
  const std::optional<std::size_t> population_at = column("population");
  const std::optional<std::size_t> seconds_at = column("seconds");
  const bool with_figures = population_at && seconds_at && figure_at.size() == std::size(kFigures);

  for (std::size_t r = 1; r < rows->size(); ++r) {
    const CsvRow& row = (*rows)[r];
    const std::string where = "row " + std::to_string(r + 1);
    if (row.size() != heading.size()) {
      return where + " has " + plural(row.size(), "field", "fields") + ", the heading " +
             std::to_string(heading.size());
    }
    const auto bad = [&where, &heading](std::size_t at) {
      return where + ": \"" + heading[at] + "\" has a value that cannot be read";
    };
    RunOutcome run;
    const auto stream = read_number<std::int32_t>(row[stream_at]);
    if (!stream || *stream < 0) return bad(stream_at);
    const auto seed = read_number<std::int32_t>(row[seed_at]);
    if (!seed || *seed < 0) return bad(seed_at);
    run.stream = *stream;
    run.seed = *seed;
    const std::string& status = row[status_at];
    if (status.starts_with(kFailedStatus)) {
      run.failure = status.substr(kFailedStatus.size());
    } else if (status != "ok") {
      return where + ": the status is neither \"ok\" nor \"" + std::string(kFailedStatus) +
             "\" and a reason";
    }
    if (with_figures && !row[*population_at].empty()) {
      TableFigures shown;
      const auto population = read_number<std::size_t>(row[*population_at]);
      if (!population || *population == 0) return bad(*population_at);
      shown.population = *population - 1;
      for (std::size_t i = 0; i < std::size(kFigures); ++i) {
        const auto value = read_double(row[figure_at[i]]);
        if (!value) return bad(figure_at[i]);
        shown.figures.*kFigures[i].member = *value;
      }
      if (auto problem = read_forecast_columns(heading, row, shown.figures)) {
        return where + ": " + *problem;
      }
      const auto seconds = read_double(row[*seconds_at]);
      if (!seconds) return bad(*seconds_at);
      shown.seconds = *seconds;
      run.table_figures = shown;
    }
    runs.push_back(std::move(run));
  }
  return std::nullopt;
}

}  // namespace quarvel::records
