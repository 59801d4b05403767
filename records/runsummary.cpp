#include "records/runsummary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <set>
#include <tuple>
#include <utility>

#include "data/numbertext.h"
#include "forecasting/forecastfiles.h"
#include "forecasting/intervals.h"
#include "records/outputlist.h"
#include "runs/settings.h"

namespace quarvel::records {

namespace {

constexpr std::string_view kRecordHeading = "quarvel-cli run record";

// One figure of a population, as each file of many runs names it.
template <class Value>
struct ListedFigure {
  std::string_view record_key;    // run.txt: "best-mse"
  std::string_view column;        // runs.csv: "best_mse"
  std::string_view summary_name;  // a line of summary.txt: "best MSE"
  Value PopulationFigures::*member;
};
using FigureInfo = ListedFigure<double>;

// Every figure of a population, in the order the files give them: run.txt,
// runs.csv and summary.txt are written and read from this list alone.
constexpr FigureInfo kFigures[] = {
    {"best-mse", "best_mse", "best MSE", &PopulationFigures::best_mse},
    {"best-mdl", "best_mdl", "best MDL", &PopulationFigures::best_mdl},
    {"validation-mse", "validation_mse", "validation MSE", &PopulationFigures::validation_mse},
    {"best-nodes", "best_nodes", "best-tree nodes", &PopulationFigures::best_node_count},
};

// The accuracy of a population's validation forecast, in the series' units:
// "mae 1 X" in run.txt ("none: " and the reason when it cannot be given), a
// column of runs.csv (empty then) and a line of summary.txt.
using AccuracyInfo = ListedFigure<forecasting::Figure>;

constexpr AccuracyInfo kAccuracyFigures[] = {
    {"mae", "mae", "MAE", &PopulationFigures::mae},
    {"rmse", "rmse", "RMSE", &PopulationFigures::rmse},
    {"mape", "mape", "MAPE (%)", &PopulationFigures::mape},
    {"mase", "mase", "MASE", &PopulationFigures::mase},
};

// Where a population's forecasts left the data's range: "validation-diverged 1
// at step 34" (or "no") in run.txt, the step (or nothing) in runs.csv, and a
// count in summary.txt.
using DivergenceInfo = ListedFigure<Divergence>;

constexpr DivergenceInfo kDivergences[] = {
    {"validation-diverged", "validation_diverged_at_step", "the validation forecast",
     &PopulationFigures::validation_divergence},
    {"forecast-diverged", "forecast_diverged_at_step", "the forecast past the data",
     &PopulationFigures::forecast_divergence},
};

// A band's coverage: "coverage-80" in run.txt, "coverage_80" in runs.csv,
// "80 % coverage" in summary.txt.
constexpr std::string_view kCoverageKey = "coverage-";
constexpr std::string_view kCoverageColumn = "coverage_";

// runs.csv's columns around the figures.
constexpr std::string_view kRunColumns[] = {"stream", "seed", "population"};
constexpr std::string_view kEndColumns[] = {"seconds", "status"};
constexpr std::string_view kFailedStatus = "failed: ";

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

// A value on one line: a backslash, line feed or carriage return in a file
// name is written as an escape.
std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

// Numbers of a record, each the whole text.
template <class Number>
std::optional<Number> read_number(std::string_view text, int base = 10) {
  Number value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> read_double(std::string_view text) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string checksum_text(std::uint64_t checksum) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum));
  return text;
}

// "2 passengers": a column's number and, when it has one, its header name.
std::string column_text(std::size_t column, const std::string& name) {
  return name.empty() ? std::to_string(column) : std::to_string(column) + " " + escaped(name);
}

std::optional<std::pair<std::size_t, std::string>> read_column(std::string_view text) {
  const std::size_t space = text.find(' ');
  const auto column = read_number<std::size_t>(text.substr(0, space));
  if (!column || *column == 0) return std::nullopt;
  return std::pair{*column, space == std::string_view::npos ? std::string()
                                                            : std::string(text.substr(space + 1))};
}

void add_table_lines(std::string& text, const TableRecord& table) {
  text += "data " + escaped(table.path) + "\n";
  text += "data-column " + column_text(table.value_column, table.value_name) + "\n";
  if (table.time_column > 0) {
    text += "data-time-column " + column_text(table.time_column, table.time_name) + "\n";
  }
  text += "data-split " + std::to_string(table.training_values) + "\n";
}

void add_data_lines(std::string& text, std::string_view role, const DataRecord& data) {
  text += std::string(role) + " " + escaped(data.path) + "\n";
  text += std::string(role) + "-values " + std::to_string(data.values) + "\n";
  text += std::string(role) + "-checksum " + checksum_text(data.checksum) + "\n";
}

// "1 best-mse X best-mdl X ..." after "population ": the figures in their
// list's order.
std::optional<PopulationFigures> read_population(std::string_view text, std::size_t number) {
  std::vector<std::string_view> words;
  for (std::size_t start = 0;;) {
    const std::size_t space = text.find(' ', start);
    words.push_back(text.substr(start, space - start));
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  if (words.size() != 1 + 2 * std::size(kFigures) || read_number<std::size_t>(words[0]) != number) {
    return std::nullopt;
  }
  PopulationFigures figures;
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    const std::optional<double> value = read_double(words[2 * i + 2]);
    if (words[2 * i + 1] != kFigures[i].record_key || !value) return std::nullopt;
    figures.*kFigures[i].member = *value;
  }
  return figures;
}

bool ranks_by_mse(const RunRecord& record) {
  const std::string* rank_by = recorded_setting(record, "--rank-by");
  return rank_by != nullptr && *rank_by == "mse";
}

double ranking_figure(const PopulationFigures& figures, bool by_mse) {
  return by_mse ? figures.best_mse : figures.best_mdl;
}

// A recorded setting as its rule writes it, item by item of a population
// list, so that the same values compare equal however a record holds them
// ("+2", "0x2" and "2" from an earlier version). A text its rule does not
// read, or an option the settings table does not hold, is taken as it is.
std::string canonical_setting(std::string_view option, const std::string& text) {
  const runs::SettingInfo* info = runs::find_option(option);
  if (info == nullptr) return text;
  std::string canonical;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    const std::optional<double> value =
        runs::setting_value(info->id, std::string_view(text).substr(start, comma - start));
    if (!value) return text;
    runs::RunSettings settings;
    settings.set(info->id, 0, *value);
    if (start > 0) canonical += ',';
    canonical += runs::setting_text(settings, info->id, 0);
    if (comma == std::string::npos) return canonical;
    start = comma + 1;
  }
}

// Ascending, with "nan" after every number.
bool figure_less(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

// The value at fraction q of the sorted values, interpolated linearly
// between the two it falls between.
double quantile(std::span<const double> sorted, double q) {
  const double place = static_cast<double>(sorted.size() - 1) * q;
  const auto below = static_cast<std::size_t>(place);
  const double fraction = place - static_cast<double>(below);
  if (fraction == 0.0 || below + 1 >= sorted.size()) return sorted[below];
  const double low = sorted[below];
  const double high = sorted[below + 1];
  if (std::isnan(low) || std::isnan(high)) return std::numeric_limits<double>::quiet_NaN();
  if (std::isinf(low)) return low;
  if (std::isinf(high)) return high;
  return low + fraction * (high - low);
}

// "0-19", "0-3, 7, 9-10".
std::string number_list(std::vector<std::int32_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::string text;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t last = i;
    while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) ++last;
    if (!text.empty()) text += ", ";
    text += std::to_string(numbers[i]);
    if (last > i) {
      text += '-';
      text += std::to_string(numbers[last]);
    }
    i = last + 1;
  }
  return text;
}

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

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

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// A figure's value in run.txt: the number, or "none: " and why.
std::string figure_text(const forecasting::Figure& figure) {
  return figure.value ? data::exact(*figure.value) : "none: " + escaped(figure.reason);
}

std::optional<forecasting::Figure> read_figure(std::string_view text) {
  constexpr std::string_view kNone = "none";
  if (text == kNone) return forecasting::Figure{};
  if (text.starts_with("none: "))
    return forecasting::Figure{std::nullopt, std::string(text.substr(6))};
  const std::optional<double> value = read_double(text);
  if (!value) return std::nullopt;
  return forecasting::Figure{value, {}};
}

std::string divergence_text(const Divergence& divergence) {
  return divergence.step ? "at step " + std::to_string(*divergence.step) : std::string("no");
}

std::optional<Divergence> read_divergence(std::string_view text) {
  if (text == "no") return Divergence{true, std::nullopt};
  constexpr std::string_view kAtStep = "at step ";
  if (!text.starts_with(kAtStep)) return std::nullopt;
  const auto step = read_number<std::int32_t>(text.substr(kAtStep.size()));
  if (!step || *step < 1) return std::nullopt;
  return Divergence{true, step};
}

// The coverage of `level` among a population's, or nullptr.
const forecasting::Figure* coverage_of(const PopulationFigures& figures, double level) {
  for (const BandCoverage& band : figures.coverage) {
    if (band.level == level) return &band.share;
  }
  return nullptr;
}

// "80" of "coverage-80" or "coverage_80", a valid band level.
std::optional<double> coverage_level(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  const std::optional<double> level = read_double(name.substr(prefix.size()));
  if (!level || !forecasting::valid_band_level(*level) ||
      forecasting::level_text(*level) != name.substr(prefix.size())) {
    return std::nullopt;
  }
  return level;
}

// A line of a population's forecast figures in run.txt: "KEY K VALUE", read
// once the population lines are.
struct ForecastLine {
  std::string key;
  std::size_t population = 0;  // from 1
  std::string value;
  std::size_t line_number = 0;
};

bool is_forecast_key(std::string_view key) {
  return std::any_of(std::begin(kAccuracyFigures), std::end(kAccuracyFigures),
                     [key](const AccuracyInfo& info) { return info.record_key == key; }) ||
         std::any_of(std::begin(kDivergences), std::end(kDivergences),
                     [key](const DivergenceInfo& info) { return info.record_key == key; }) ||
         coverage_level(key, kCoverageKey).has_value();
}

// Applies a forecast line to its population; false when its value cannot be read.
bool apply_forecast_line(const ForecastLine& line, PopulationFigures& figures) {
  for (const AccuracyInfo& info : kAccuracyFigures) {
    if (info.record_key != line.key) continue;
    const std::optional<forecasting::Figure> figure = read_figure(line.value);
    if (!figure) return false;
    figures.*info.member = *figure;
    return true;
  }
  for (const DivergenceInfo& info : kDivergences) {
    if (info.record_key != line.key) continue;
    const std::optional<Divergence> divergence = read_divergence(line.value);
    if (!divergence) return false;
    figures.*info.member = *divergence;
    return true;
  }
  const std::optional<double> level = coverage_level(line.key, kCoverageKey);
  const std::optional<forecasting::Figure> share = read_figure(line.value);
  if (!level || !share) return false;
  figures.coverage.push_back({*level, *share});
  return true;
}

// The levels of the coverage that any of `figures` gives, in the order first met.
std::vector<double> coverage_levels(std::span<const PopulationFigures* const> figures) {
  std::vector<double> levels;
  for (const PopulationFigures* run : figures) {
    for (const BandCoverage& band : run->coverage) {
      if (std::find(levels.begin(), levels.end(), band.level) == levels.end()) {
        levels.push_back(band.level);
      }
    }
  }
  return levels;
}

// The columns of a table of figures.
constexpr std::size_t kNameWidth = 17;
constexpr std::size_t kColumnWidth = 16;

std::string figures_heading() {
  std::string text = padded("figure", kNameWidth);
  for (const std::string_view heading :
       {"min", "lower quartile", "median", "upper quartile", "max"}) {
    text += padded(std::string(heading), kColumnWidth);
  }
  text.erase(text.find_last_not_of(' ') + 1);
  return text + '\n';
}

// A row of the figures table: the name, then the minimum, quartiles, median
// and maximum of `values`.
std::string figure_row(std::string_view name, std::vector<double> values) {
  std::sort(values.begin(), values.end(), figure_less);
  std::string row = padded(std::string(name), kNameWidth);
  for (const double q : {0.0, 0.25, 0.5, 0.75, 1.0}) {
    row += padded(data::format_general(quantile(values, q)), kColumnWidth);
  }
  row.erase(row.find_last_not_of(' ') + 1);
  return row + '\n';
}

// A row for a figure that some runs may lack, and a line for those.
void add_optional_row(std::string& rows, std::string& notes, std::string_view name,
                      std::span<const forecasting::Figure* const> figures) {
  std::vector<double> values;
  std::size_t missing = 0;
  std::string reason;
  for (const forecasting::Figure* figure : figures) {
    if (figure != nullptr && figure->value) {
      values.push_back(*figure->value);
      continue;
    }
    ++missing;
    if (reason.empty() && figure != nullptr) reason = figure->reason;
  }
  if (!values.empty()) rows += figure_row(name, std::move(values));
  if (missing > 0) {
    notes += std::string(name) + " is not given for " + plural(missing, "run", "runs") +
             (!reason.empty() ? ": " + reason
              : missing == 1  ? std::string(" (not in its record)")
                              : std::string(" (not in their records)")) +
             ".\n";
  }
}

// The block of summary.txt on the runs' validation forecasts, when their
// records hold its figures.
std::string forecast_block(std::span<const PopulationFigures* const> runs,
                           std::span<const std::int32_t> streams) {
  const auto holds_figures = [](const PopulationFigures* run) {
    return std::any_of(std::begin(kAccuracyFigures), std::end(kAccuracyFigures),
                       [run](const AccuracyInfo& info) {
                         const forecasting::Figure& figure = run->*info.member;
                         return figure.value || !figure.reason.empty();
                       });
  };
  if (std::none_of(runs.begin(), runs.end(), holds_figures)) return {};
  std::string rows;
  std::string notes;
  std::vector<const forecasting::Figure*> figures;
  for (const AccuracyInfo& info : kAccuracyFigures) {
    figures.clear();
    for (const PopulationFigures* run : runs) figures.push_back(&(run->*info.member));
    add_optional_row(rows, notes, info.summary_name, figures);
  }
  for (const double level : coverage_levels(runs)) {
    figures.clear();
    for (const PopulationFigures* run : runs) {
      figures.push_back(coverage_of(*run, level));
    }
    add_optional_row(rows, notes, forecasting::level_text(level) + " % coverage", figures);
  }
  std::string text =
      "\nThe validation forecast of each run's best population, in the series' units (coverage: "
      "the share of held-out values inside a band):\n" +
      figures_heading() + rows + notes;
  std::string counts;
  for (const DivergenceInfo& info : kDivergences) {
    std::size_t recorded = 0;
    std::vector<std::int32_t> diverged;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      const Divergence& divergence = runs[r]->*info.member;
      recorded += divergence.recorded ? 1 : 0;
      if (divergence.step) diverged.push_back(streams[r]);
    }
    if (recorded == 0) continue;
    counts += counts.empty() ? "" : "; ";
    counts += std::string(info.summary_name) + " of " + std::to_string(diverged.size()) + " of " +
              plural(recorded, "run", "runs");
    if (!diverged.empty()) counts += " (" + labelled_list("stream", diverged) + ")";
  }
  if (!counts.empty()) {
    text +=
        "Diverged, leaving [lo - span, hi + span] (lo and hi the data's minimum and maximum, "
        "span = hi - lo): " +
        counts + ".\n";
  }
  return text;
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

std::string accuracy_words(const forecasting::Accuracy& accuracy) {
  const auto words = [](std::string_view name, const forecasting::Figure& figure) {
    return std::string(name) + " " +
           (figure.value ? data::format_general(*figure.value)
                         : "not given (" + figure.reason + ")");
  };
  return words("MAE", accuracy.mae) + ", " + words("RMSE", accuracy.rmse) + ", " +
         words("MAPE (%)", accuracy.mape) + ", " + words("MASE", accuracy.mase);
}

std::string coverage_words(std::span<const forecasting::Coverage> coverage) {
  std::string text;
  for (const forecasting::Coverage& band : coverage) {
    if (!text.empty()) text += ", ";
    text += forecasting::level_text(band.level) + " % band ";
    text += band.share.value
                ? data::format_general(*band.share.value) + " (" + std::to_string(band.inside) +
                      " of " + std::to_string(band.count) + ")"
                : "not given (" + band.share.reason + ")";
  }
  return text;
}

std::string labelled_list(std::string_view label, std::vector<std::int32_t> numbers) {
  std::sort(numbers.begin(), numbers.end());
  const bool several = numbers.size() > 1 && numbers.front() != numbers.back();
  return std::string(label) + (several ? "s " : " ") + number_list(std::move(numbers));
}

const std::string* recorded_setting(const RunRecord& record, std::string_view option) {
  for (const auto& [name, text] : record.settings) {
    if (name == option) return &text;
  }
  return nullptr;
}

std::vector<double> interval_levels(const RunRecord& record) {
  std::vector<double> levels;
  const std::string* text = recorded_setting(record, "--intervals");
  if (text == nullptr) return levels;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text->find(',', start);
    if (const auto level = read_double(std::string_view(*text).substr(start, comma - start))) {
      levels.push_back(*level);
    }
    if (comma == std::string::npos) return levels;
    start = comma + 1;
  }
}

std::string record_text(const RunRecord& record) {
  std::string text(kRecordHeading);
  text += "\nversion " + escaped(record.version) + "\n";
  if (record.table) add_table_lines(text, *record.table);
  add_data_lines(text, "training", record.training);
  add_data_lines(text, "validation", record.validation);
  text += "--seed " + std::to_string(record.seed) + "\n";
  for (const auto& [option, value] : record.settings) {
    text += option + " " + escaped(value) + "\n";
  }
  text += "--stream " + std::to_string(record.stream) + "\n";
  for (std::size_t p = 0; p < record.populations.size(); ++p) {
    text += "population " + std::to_string(p + 1);
    for (const FigureInfo& figure : kFigures) {
      text.append(" ").append(figure.record_key).append(" ");
      text += data::exact(record.populations[p].*figure.member);
    }
    text += "\n";
  }
  for (std::size_t p = 0; p < record.populations.size(); ++p) {
    const PopulationFigures& figures = record.populations[p];
    std::string number(1, ' ');
    number += std::to_string(p + 1) + " ";
    for (const AccuracyInfo& info : kAccuracyFigures) {
      const forecasting::Figure& figure = figures.*info.member;
      if (!figure.value && figure.reason.empty()) continue;
      text += std::string(info.record_key) + number + figure_text(figure) + "\n";
    }
    for (const BandCoverage& band : figures.coverage) {
      text += std::string(kCoverageKey) + forecasting::level_text(band.level) + number +
              figure_text(band.share) + "\n";
    }
    for (const DivergenceInfo& info : kDivergences) {
      const Divergence& divergence = figures.*info.member;
      if (divergence.recorded) {
        text += std::string(info.record_key) + number + divergence_text(divergence) + "\n";
      }
    }
  }
  text += "seconds " + seconds_text(record.seconds) + "\n";
  return text;
}

std::optional<std::string> parse_record(std::string_view text, RunRecord& record) {
  record = RunRecord{};
  if (!text.starts_with(kRecordHeading) || text.substr(kRecordHeading.size(), 1) != "\n") {
    return std::string("not a run record (its first line is not \"") + std::string(kRecordHeading) +
           "\")";
  }
  if (!text.ends_with('\n')) return std::string("the record ends within a line");
  std::set<std::string, std::less<>> seen;
  std::vector<ForecastLine> forecast_lines;
  std::size_t line_number = 1;
  std::size_t start = kRecordHeading.size() + 1;
  while (start < text.size()) {
    ++line_number;
    const std::size_t end = text.find('\n', start);
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const std::string where = "line " + std::to_string(line_number);
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return where + " has no value";
    const std::string_view key = line.substr(0, space);
    const std::string_view raw = line.substr(space + 1);
    if (is_forecast_key(key)) {
      // "KEY K VALUE": K's figure, once per population.
      const std::size_t blank = raw.find(' ');
      const auto population = read_number<std::size_t>(raw.substr(0, blank));
      const std::optional<std::string> value =
          blank == std::string_view::npos ? std::nullopt : unescaped(raw.substr(blank + 1));
      if (!population || *population == 0 || !value) {
        return where + ": \"" + std::string(key) + "\" has a value that cannot be read";
      }
      if (!seen.insert(std::string(key) + " " + std::to_string(*population)).second) {
        return where + " gives \"" + std::string(key) + "\" of population " +
               std::to_string(*population) + " again";
      }
      forecast_lines.push_back({std::string(key), *population, *value, line_number});
      continue;
    }
    if (key != "population" && !seen.insert(std::string(key)).second) {
      return where + " gives \"" + std::string(key) + "\" again";
    }
    const std::optional<std::string> value = unescaped(raw);
    if (!value) return where + " holds a broken escape";
    const auto bad = [&where, key] {
      return where + ": \"" + std::string(key) + "\" has a value that cannot be read";
    };
    DataRecord* data = nullptr;
    std::string_view field = key;
    if (key.starts_with("training")) {
      data = &record.training;
      field.remove_prefix(std::string_view("training").size());
    } else if (key.starts_with("validation")) {
      data = &record.validation;
      field.remove_prefix(std::string_view("validation").size());
    }
    if (data != nullptr && field.empty()) {
      data->path = *value;
    } else if (data != nullptr && field == "-values") {
      const auto count = read_number<std::size_t>(*value);
      if (!count) return bad();
      data->values = *count;
    } else if (data != nullptr && field == "-checksum") {
      const auto checksum = read_number<std::uint64_t>(*value, 16);
      if (!checksum || value->size() != 16) return bad();
      data->checksum = *checksum;
    } else if (key == "version") {
      record.version = *value;
    } else if (key == "data") {
      if (!record.table) record.table.emplace();
      record.table->path = *value;
    } else if (key == "data-column" || key == "data-time-column") {
      const auto column = read_column(*value);
      if (!column) return bad();
      if (!record.table) record.table.emplace();
      std::tie(key == "data-column" ? record.table->value_column : record.table->time_column,
               key == "data-column" ? record.table->value_name : record.table->time_name) = *column;
    } else if (key == "data-split") {
      const auto count = read_number<std::size_t>(*value);
      if (!count) return bad();
      if (!record.table) record.table.emplace();
      record.table->training_values = *count;
    } else if (key == "--seed" || key == "--stream") {
      const auto number = read_number<std::int32_t>(*value);
      if (!number || *number < 0) return bad();
      (key == "--seed" ? record.seed : record.stream) = *number;
    } else if (key.starts_with("--")) {
      record.settings.emplace_back(key, *value);
    } else if (key == "population") {
      const auto figures = read_population(*value, record.populations.size() + 1);
      if (!figures) return bad();
      record.populations.push_back(*figures);
    } else if (key == "seconds") {
      const auto seconds = read_double(*value);
      if (!seconds) return bad();
      record.seconds = *seconds;
    } else {
      return where + " is not an entry of a run record (\"" + std::string(key) + "\")";
    }
  }
  if (record.table) {
    for (const std::string_view key : {"data", "data-column", "data-split"}) {
      if (!seen.contains(key)) return "\"" + std::string(key) + "\" is missing";
    }
  }
  for (const std::string_view key : {"version", "training", "training-values", "training-checksum",
                                     "validation", "validation-values", "validation-checksum",
                                     "--seed", "--stream", "--populations", "seconds"}) {
    if (!seen.contains(key)) return "\"" + std::string(key) + "\" is missing";
  }
  const std::string& populations = *recorded_setting(record, "--populations");
  const std::optional<std::int32_t> count = data::parse_whole_number(populations);
  if (!count || static_cast<std::size_t>(*count) != record.populations.size()) {
    return "it gives the figures of " +
           plural(record.populations.size(), "population", "populations") + " for --populations " +
           populations;
  }
  for (const ForecastLine& line : forecast_lines) {
    const std::string where = "line " + std::to_string(line.line_number);
    if (line.population > record.populations.size()) {
      return where + " gives \"" + line.key + "\" of population " +
             std::to_string(line.population) + ", which the record does not hold";
    }
    if (!apply_forecast_line(line, record.populations[line.population - 1])) {
      return where + ": \"" + line.key + "\" has a value that cannot be read";
    }
  }
  return std::nullopt;
}

std::optional<std::string> settings_difference(const RunRecord& a, const RunRecord& b) {
  for (const auto& [role, data_a, data_b] :
       {std::tuple{"training", &a.training, &b.training},
        std::tuple{"validation", &a.validation, &b.validation}}) {
    if (data_a->values != data_b->values || data_a->checksum != data_b->checksum) {
      return std::string("they ran on different ") + role + " data";
    }
  }
  // The first setting both list whose values differ is named.
  const std::size_t common = std::min(a.settings.size(), b.settings.size());
  std::size_t same_options = 0;
  while (same_options < common &&
         a.settings[same_options].first == b.settings[same_options].first) {
    const auto& [option, text_a] = a.settings[same_options];
    const std::string& text_b = b.settings[same_options].second;
    if (canonical_setting(option, text_a) != canonical_setting(option, text_b)) {
      std::string difference = "they differ in ";
      difference.append(option).append(" (").append(text_a).append(" and ").append(text_b);
      return difference + ")";
    }
    ++same_options;
  }
  if (same_options != a.settings.size() || same_options != b.settings.size()) {
    return std::string("they list different settings");
  }
  return std::nullopt;
}

std::size_t best_population(const RunRecord& record) {
  const bool by_mse = ranks_by_mse(record);
  std::size_t best = 0;
  for (std::size_t p = 1; p < record.populations.size(); ++p) {
    if (figure_less(ranking_figure(record.populations[p], by_mse),
                    ranking_figure(record.populations[best], by_mse))) {
      best = p;
    }
  }
  return best;
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

std::string summary_text(std::span<const RunOutcome> runs) {
  std::vector<std::int32_t> seeds;
  std::vector<std::int32_t> streams;
  std::vector<std::int32_t> failed;
  std::vector<const RunRecord*> records;
  for (const RunOutcome& run : runs) {
    seeds.push_back(run.seed);
    streams.push_back(run.stream);
    if (run.failure) {
      failed.push_back(run.stream);
    } else if (run.record && !run.record->populations.empty()) {
      records.push_back(&*run.record);
    }
  }
  std::string text = plural(runs.size(), "run", "runs") + ": " + labelled_list("seed", seeds) +
                     ", " + labelled_list("stream", streams) + "\n";
  if (!failed.empty()) {
    text += plural(failed.size(), "run", "runs") + " failed, " + labelled_list("stream", failed) +
            " (see " + std::string(listed_output(Product::runs_table).name) +
            "); the figures below are of the others\n";
  }
  if (records.empty()) return text + "No run completed.\n";

  const bool by_mse = ranks_by_mse(*records.front());
  text += std::string("Runs are ranked by best ") +
          (by_mse ? "MSE (--rank-by mse)" : "MDL (--rank-by mdl)") +
          ", a run with several populations by its best one.\n";
  std::vector<PopulationFigures> figures;
  const RunRecord* best = nullptr;
  for (const RunRecord* record : records) {
    figures.push_back(record->populations[best_population(*record)]);
    if (best == nullptr ||
        figure_less(ranking_figure(figures.back(), by_mse),
                    ranking_figure(best->populations[best_population(*best)], by_mse))) {
      best = record;
    }
  }
  const std::size_t best_p = best_population(*best);
  const PopulationFigures& top = best->populations[best_p];
  text += "Best run: stream " + std::to_string(best->stream) + ", seed " +
          std::to_string(best->seed) + ", population " + std::to_string(best_p + 1) +
          ": best MSE " + data::format_general(top.best_mse) + ", best MDL " +
          data::format_general(top.best_mdl) + ", validation MSE " +
          data::format_general(top.validation_mse) + ", best tree " +
          data::format_general(top.best_node_count) + " nodes\n\n";

  text += figures_heading();
  for (const FigureInfo& figure : kFigures) {
    std::vector<double> values;
    values.reserve(figures.size());
    for (const PopulationFigures& run : figures) values.push_back(run.*figure.member);
    text += figure_row(figure.summary_name, std::move(values));
  }
  text +=
      "\nQuartiles and median are interpolated linearly between the sorted values; NAN sorts "
      "last.\n";
  std::vector<const PopulationFigures*> shown;
  std::vector<std::int32_t> shown_streams;
  for (std::size_t r = 0; r < records.size(); ++r) {
    shown.push_back(&figures[r]);
    shown_streams.push_back(records[r]->stream);
  }
  return text + forecast_block(shown, shown_streams);
}

}  // namespace quarvel::records
