#include "records/runrecord.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <tuple>
#include <utility>

#include "data/numbertext.h"
#include "engine/random.h"
#include "forecasting/forecastfiles.h"
#include "runs/settings.h"

namespace quarvel::records {

namespace {

constexpr std::string_view kRecordHeading = "quarvel-cli run record";

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
    // Only a run without validation steps has no validation MSE.
    if (std::isnan(*value) && kFigures[i].member != &PopulationFigures::validation_mse) {
      return std::nullopt;
    }
    figures.*kFigures[i].member = *value;
  }
  return figures;
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
  // A figure that cannot be given says so in words.
  if (!value || std::isnan(*value)) return std::nullopt;
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

// What reading a record has met so far: the keys given (a forecast line's
// with its population), and the forecast lines, applied once the population
// lines are read.
struct RecordReading {
  std::set<std::string, std::less<>> seen;
  std::vector<ForecastLine> forecast_lines;
};

// "KEY K VALUE" after the key: K's figure, once per population. The problem
// follows the line's "line N".
std::optional<std::string> read_forecast_line(std::string_view key, std::string_view raw,
                                              std::size_t line_number, RecordReading& reading) {
  const std::size_t blank = raw.find(' ');
  const auto population = read_number<std::size_t>(raw.substr(0, blank));
  const std::optional<std::string> value =
      blank == std::string_view::npos ? std::nullopt : unescaped(raw.substr(blank + 1));
  if (!population || *population == 0 || !value) {
    return ": \"" + std::string(key) + "\" has a value that cannot be read";
  }
  if (!reading.seen.insert(std::string(key) + " " + std::to_string(*population)).second) {
    return " gives \"" + std::string(key) + "\" of population " + std::to_string(*population) +
           " again";
  }
  reading.forecast_lines.push_back({std::string(key), *population, *value, line_number});
  return std::nullopt;
}

// One "key value" entry into `record`. The problem follows the line's "line N".
std::optional<std::string> read_entry(std::string_view key, const std::string& value,
                                      RunRecord& record) {
  const auto bad = [key] {
    return ": \"" + std::string(key) + "\" has a value that cannot be read";
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
    data->path = value;
  } else if (data != nullptr && field == "-values") {
    const auto count = read_number<std::size_t>(value);
    if (!count) return bad();
    data->values = *count;
  } else if (data != nullptr && field == "-checksum") {
    const auto checksum = read_number<std::uint64_t>(value, 16);
    if (!checksum || value.size() != 16) return bad();
    data->checksum = *checksum;
  } else if (key == "version") {
    record.version = value;
  } else if (key == "transform") {
    record.transform = value;
  } else if (key == "data") {
    if (!record.table) record.table.emplace();
    record.table->path = value;
  } else if (key == "data-column" || key == "data-time-column") {
    const auto column = read_column(value);
    if (!column) return bad();
    if (!record.table) record.table.emplace();
    std::tie(key == "data-column" ? record.table->value_column : record.table->time_column,
             key == "data-column" ? record.table->value_name : record.table->time_name) = *column;
  } else if (key == "data-split") {
    const auto count = read_number<std::size_t>(value);
    if (!count) return bad();
    if (!record.table) record.table.emplace();
    record.table->training_values = *count;
  } else if (key == "--seed" || key == "--stream") {
    const auto number = read_number<std::int32_t>(value);
    if (!number || *number < 0 || (key == "--stream" && *number >= kStreamCount)) return bad();
    (key == "--seed" ? record.seed : record.stream) = *number;
  } else if (key.starts_with("--")) {
    record.settings.emplace_back(key, value);
  } else if (key == "population") {
    const auto figures = read_population(value, record.populations.size() + 1);
    if (!figures) return bad();
    record.populations.push_back(*figures);
  } else if (key == "files") {
    // "NAME CHECKSUM" pairs; names hold no blank.
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= value.size();) {
      const std::size_t blank = std::min(value.find(' ', start), value.size());
      words.emplace_back(std::string_view(value).substr(start, blank - start));
      start = blank + 1;
    }
    if (words.size() % 2 != 0) return bad();
    for (std::size_t i = 0; i < words.size(); i += 2) {
      const auto checksum = read_number<std::uint64_t>(words[i + 1], 16);
      if (words[i].empty() || !checksum || words[i + 1].size() != 16) return bad();
      record.files.emplace_back(std::string(words[i]), *checksum);
    }
  } else if (key == "seconds") {
    const auto seconds = read_double(value);
    if (!seconds || !(*seconds >= 0.0)) return bad();
    record.seconds = *seconds;
  } else {
    return " is not an entry of a run record (\"" + std::string(key) + "\")";
  }
  return std::nullopt;
}

// Once every line is read: every entry a record must give, a population line
// for each population, and the forecast lines applied to theirs.
std::optional<std::string> check_whole(const RecordReading& reading, RunRecord& record) {
  if (record.table) {
    for (const std::string_view key : {"data", "data-column", "data-split"}) {
      if (!reading.seen.contains(key)) return "\"" + std::string(key) + "\" is missing";
    }
  }
  for (const std::string_view key : {"version", "training", "training-values", "training-checksum",
                                     "validation", "validation-values", "validation-checksum",
                                     "--seed", "--stream", "--populations", "seconds"}) {
    if (!reading.seen.contains(key)) return "\"" + std::string(key) + "\" is missing";
  }
  const std::string& populations = *recorded_setting(record, "--populations");
  const std::optional<std::int32_t> count = data::parse_whole_number(populations);
  if (!count || static_cast<std::size_t>(*count) != record.populations.size()) {
    return "it gives the figures of " +
           plural(record.populations.size(), "population", "populations") + " for --populations " +
           populations;
  }
  for (const ForecastLine& line : reading.forecast_lines) {
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

}  // namespace

bool ranks_by_mse(const RunRecord& record) {
  const std::string* rank_by = recorded_setting(record, "--rank-by");
  return rank_by != nullptr && *rank_by == "mse";
}

const std::string* recorded_setting(const RunRecord& record, std::string_view option) {
  for (const auto& [name, text] : record.settings) {
    if (name == option) return &text;
  }
  return nullptr;
}

data::TableOptions table_reading(const RunRecord& record) {
  data::TableOptions options;
  options.value_column = data::ColumnChoice::by_number(record.table->value_column);
  if (record.table->time_column != 0) {
    options.time_column = data::ColumnChoice::by_number(record.table->time_column);
  }
  if (const std::string* text = recorded_setting(record, "--delimiter")) {
    options.delimiter = data::delimiter_of_name(*text);
  }
  for (const auto& [option, field] : {std::pair{"--header", &options.header},
                                      std::pair{"--decimal-comma", &options.decimal_comma}}) {
    if (const std::string* text = recorded_setting(record, option)) {
      if (*text == "yes" || *text == "no") *field = *text == "yes";
    }
  }
  if (const std::string* text = recorded_setting(record, "--thousands-separator")) {
    options.thousands_separator =
        data::thousands_separator_of_name(*text).value_or(data::ThousandsSeparator::none);
  }
  if (const std::string* text = recorded_setting(record, "--missing")) {
    options.missing = data::missing_values_of_name(*text).value_or(data::MissingValues::refuse);
  }
  return options;
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

std::uint64_t text_checksum(std::string_view text) {
  std::uint64_t hash = 14695981039346656037u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211u;
  }
  return hash;
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
  if (record.transform != "none") text += "transform " + escaped(record.transform) + "\n";
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
  if (!record.files.empty()) {
    text += "files";
    for (const auto& [name, checksum] : record.files) {
      text += " " + escaped(name) + " " + checksum_text(checksum);
    }
    text += "\n";
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
  RecordReading reading;
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
      if (auto problem = read_forecast_line(key, raw, line_number, reading)) {
        return where + *problem;
      }
      continue;
    }
    if (key != "population" && !reading.seen.insert(std::string(key)).second) {
      return where + " gives \"" + std::string(key) + "\" again";
    }
    const std::optional<std::string> value = unescaped(raw);
    if (!value) return where + " holds a broken escape";
    if (auto problem = read_entry(key, *value, record)) return where + *problem;
  }
  return check_whole(reading, record);
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
  // Automatic transforms are chosen from the data: the same data and
  // settings choose the same, unless the records come from other versions.
  if (a.transform != b.transform) {
    return "they modelled the series through different transforms (" + a.transform + " and " +
           b.transform + ")";
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

}  // namespace quarvel::records
