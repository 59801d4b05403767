#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "batch/outputs.h"
#include "cli/outputhelp.h"
#include "data/numbertext.h"
#include "data/plaintext.h"
#include "data/seriessplit.h"
#include "engine/random.h"

namespace quarvel::cli {

namespace {

using runs::Scope;
using runs::Setting;
using runs::SettingInfo;

std::vector<std::string> split_list(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    items.emplace_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return items;
    start = comma + 1;
  }
}

// "use grow or ramped", "use tournament, overselect or fitness".
std::string offered_words(const SettingInfo& info) {
  std::string text = "use ";
  for (std::size_t i = 0; i < info.choices.size(); ++i) {
    if (i > 0) text += i + 1 == info.choices.size() ? " or " : ", ";
    text += info.choices[i].word;
  }
  return text;
}

// The check of one option value: the field's message, or the offered words.
std::optional<std::string> check_option_value(const SettingInfo& info, std::string_view text) {
  if (info.kind == runs::ValueKind::choice) {
    if (runs::choice_code(info.id, text)) return std::nullopt;
    return offered_words(info);
  }
  return runs::check_setting(info.id, text);
}

// Every occurrence of a population option is checked once the population
// count is known; the last one sets the values.
std::optional<Failure> apply_population_option(const SettingInfo& info,
                                               const std::vector<std::string>& occurrences,
                                               int count, runs::SettingsTexts& settings) {
  for (const std::string& given : occurrences) {
    const std::vector<std::string> items = split_list(given);
    if (items.size() != 1 && items.size() != static_cast<std::size_t>(count)) {
      return bad_setting(info.option, "give one value for all populations or " +
                                          std::to_string(count) +
                                          " comma-separated values, one per population (got " +
                                          std::to_string(items.size()) + ")");
    }
    for (int k = 0; k < count; ++k) {
      const std::string& item = items.size() == 1 ? items[0] : items[static_cast<std::size_t>(k)];
      if (const auto problem = check_option_value(info, item)) {
        const std::string where = items.size() == 1 ? std::string(info.option)
                                                    : std::string(info.option) + " (population " +
                                                          std::to_string(k + 1) + ")";
        return bad_setting(where, *problem);
      }
      settings.set(info.id, k, item);
    }
  }
  return std::nullopt;
}

// The width --help breaks the descriptions of the runner's own options at,
// and its rules.
constexpr std::size_t kDescriptionWidth = 70;
constexpr std::size_t kRuleWidth = 88;

// At most this many runs at once: each is a process of its own.
constexpr std::int32_t kMaxJobs = 1024;

// A whole number of the runner's own options, from `lowest` to `highest`.
std::optional<Failure> read_count(std::string_view option, const std::string& value,
                                  std::int32_t lowest, std::int32_t highest, std::int32_t& count) {
  const std::optional<std::int32_t> number = data::parse_whole_number(value);
  if (!number || *number < lowest || *number > highest) {
    return bad_setting(option, "give a whole number from " + std::to_string(lowest) + " to " +
                                   std::to_string(highest));
  }
  count = *number;
  return std::nullopt;
}

// "0-19", "0-9,20-29", "3": streams or ranges of them, comma-separated (with
// blanks before a number, as the summary lists them: "0-3, 7").
std::optional<Failure> read_stream_list(std::string_view option, const std::string& value,
                                        std::vector<batch::StreamRange>& ranges) {
  const Failure refused =
      bad_setting(option, "give streams from 0 to " + std::to_string(kStreamCount - 1) +
                              " as N or N-M, comma-separated, such as 0-19 or 0-9,20-29");
  ranges.clear();
  std::int64_t listed = 0;
  for (const std::string& item : split_list(value)) {
    const std::size_t dash = item.find('-', 1);
    const std::optional<std::int32_t> first = data::parse_whole_number(item.substr(0, dash));
    const std::optional<std::int32_t> last =
        dash == std::string::npos ? first : data::parse_whole_number(item.substr(dash + 1));
    if (!first || !last || *first < 0 || *last < *first || *last >= kStreamCount) return refused;
    ranges.push_back({*first, *last});
    listed += std::int64_t{*last} - *first + 1;
  }
  if (listed > batch::kMaxRuns) {
    return bad_setting(option, "lists " + std::to_string(listed) + " streams, more than the " +
                                   std::to_string(batch::kMaxRuns) +
                                   " runs one merge takes; merge them in parts");
  }
  return std::nullopt;
}

// At most this many simulated paths per band: memory grows with paths times
// the largest lag.
constexpr std::int32_t kMaxPaths = 100000;

// The levels of --intervals: "80,95" (the default when none are given), each
// a percentage strictly between 0 and 100, none twice.
std::optional<Failure> read_interval_levels(std::string_view option, std::string_view value,
                                            std::vector<double>& levels) {
  levels.clear();
  for (const std::string& item : split_list(value)) {
    double level = 0.0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), level);
    if (error != std::errc{} || end != item.data() + item.size() ||
        !forecasting::valid_band_level(level)) {
      return bad_setting(option,
                         "give band levels in percent, each strictly between 0 and 100, "
                         "comma-separated, such as 80,95");
    }
    if (std::find(levels.begin(), levels.end(), level) != levels.end()) {
      return bad_setting(option, "the level " + item + " is given twice");
    }
    levels.push_back(level);
  }
  return std::nullopt;
}

// "--intervals", "--intervals LEVELS" or "--intervals=LEVELS" at arguments[i]:
// the value is optional, so an argument that starts with "--" is the next
// option. Moves i past what it reads.
std::optional<Failure> read_intervals(std::span<const std::string> arguments, std::size_t& i,
                                      Options& options) {
  const std::string_view argument = arguments[i];
  constexpr std::string_view option = "--intervals";
  std::string_view value = "80,95";
  if (argument.size() > option.size()) {
    value = argument.substr(option.size() + 1);
  } else if (i + 1 < arguments.size() && !arguments[i + 1].starts_with("--")) {
    value = arguments[++i];
  }
  forecasting::PathSettings settings;
  if (auto failure = read_interval_levels(option, value, settings.levels)) return failure;
  settings.paths =
      options.request.intervals ? options.request.intervals->paths : forecasting::kDefaultPathCount;
  options.request.intervals = std::move(settings);
  return std::nullopt;
}

// --paths and --band-method go with --intervals alone.
std::optional<Failure> apply_paths(const std::optional<std::int32_t>& paths,
                                   const std::optional<forecasting::BandMethod>& method,
                                   Options& options) {
  if (method) {
    if (!options.request.intervals) {
      return bad_setting("--band-method",
                         "goes only with --intervals: it says how its bands are drawn");
    }
    options.request.intervals->method = *method;
  }
  if (!paths) return std::nullopt;
  if (!options.request.intervals) {
    return bad_setting("--paths",
                       "goes only with --intervals: it says how many paths its bands "
                       "are drawn from");
  }
  options.request.intervals->paths = *paths;
  return std::nullopt;
}

// --summarize reads run folders and writes to --output; an option of a run
// would be ignored there, so it is refused.
std::optional<Failure> check_summarize(const Options& options, std::string_view run_option) {
  if (!run_option.empty()) {
    return bad_setting(run_option,
                       "does not go with --summarize, which takes run folders, --output, "
                       "--units, --streams and --quiet");
  }
  if (options.summarized_folders.empty()) {
    return bad_setting("--summarize", "name the run folders to summarize (DIR...)");
  }
  if (!options.request.output) {
    return bad_setting("--summarize",
                       "give --output DIR for " +
                           std::string(records::listed_output(records::Product::runs_table).name) +
                           " and " +
                           std::string(records::listed_output(records::Product::summary).name));
  }
  return std::nullopt;
}

std::optional<Failure> check_runs(const Options& options) {
  if (options.request.runs == 0) {
    if (options.jobs > 0) {
      return bad_setting("--jobs",
                         "goes only with --runs: it says how many of its runs run at once");
    }
    return std::nullopt;
  }
  if (options.request.stream > kStreamCount - options.request.runs) {
    return bad_setting(
        "--runs",
        "streams " + std::to_string(options.request.stream) + " to " +
            std::to_string(std::int64_t{options.request.stream} + options.request.runs - 1) +
            " go past the last stream, " + std::to_string(kStreamCount - 1));
  }
  if (!options.request.output)
    return bad_setting("--runs", "give --output DIR for the run folders");
  if (options.request.history) {
    return bad_setting("--history",
                       "does not go with --runs: each run folder holds its " +
                           std::string(records::listed_output(records::Product::history).name));
  }
  return std::nullopt;
}

bool is_table_option(std::string_view name) {
  const std::span<const RunnerOption> options = table_options();
  return std::any_of(options.begin(), options.end(),
                     [name](const RunnerOption& option) { return option.option == name; });
}

// One option of --data's table into `data`, its value checked as far as it
// can be without the table.
std::optional<Failure> read_table_option(std::string_view name, const std::string& value,
                                         batch::DataTable& data) {
  data::TableOptions& reading = data.reading;
  if (name == "--data") {
    if (value.empty()) return bad_setting(name, "no file name given");
    data.path = value;
  } else if (name == "--column" || name == "--time-column") {
    if (value.empty()) return bad_setting(name, "give the column's name or number");
    (name == "--column" ? reading.value_column : reading.time_column) =
        data::ColumnChoice::from_text(value);
  } else if (name == "--split") {
    data.split = value;
  } else if (name == "--delimiter") {
    const auto delimiter = data::delimiter_of_name(value);
    if (!delimiter) return bad_setting(name, "use comma, semicolon, tab or whitespace");
    reading.delimiter = *delimiter;
  } else if (name == "--header" || name == "--decimal-comma") {
    if (value != "yes" && value != "no") return bad_setting(name, "use yes or no");
    (name == "--header" ? reading.header : reading.decimal_comma) = value == "yes";
  } else if (name == "--thousands-separator") {
    const auto separator = data::thousands_separator_of_name(value);
    if (!separator) return bad_setting(name, "use comma, point or none");
    reading.thousands_separator = *separator;
  } else if (name == "--missing") {
    const auto missing = data::missing_values_of_name(value);
    if (!missing) return bad_setting(name, "use refuse or interpolate");
    reading.missing = *missing;
  }
  return std::nullopt;
}

// The data of a run: two files, or one table with --data and its split.
// `table_option` is the first option of the table given, "" for none.
std::optional<Failure> check_inputs(const Options& options, std::string_view table_option) {
  if (!options.request.data) {
    if (!table_option.empty()) {
      return bad_setting(table_option, "goes only with --data: it says how its table is read");
    }
    if (options.request.training.empty() && options.request.validation.empty()) {
      return Failure{FailureKind::bad_setting,
                     "no data given: use --training FILE and --validation FILE, or --data FILE "
                     "with --split (see --help)"};
    }
    if (options.request.training.empty()) {
      return bad_setting("--training", "a training FILE is required (see --help)");
    }
    if (options.request.validation.empty()) {
      return bad_setting("--validation", "a validation FILE is required (see --help)");
    }
    return std::nullopt;
  }
  const batch::DataTable& data = *options.request.data;
  if (!options.request.training.empty() || !options.request.validation.empty()) {
    return bad_setting(options.request.training.empty() ? "--validation" : "--training",
                       "does not go with --data, which holds both parts in one table");
  }
  if (data.split.empty()) {
    return bad_setting("--split",
                       "required with --data: give a fraction between 0 and 1, a count of "
                       "training values, or the time stamp the training part ends with");
  }
  const bool has_time_column = data.reading.time_column.kind != data::ColumnChoice::Kind::none;
  if (const auto problem = data::check_split_text(data.split, has_time_column)) {
    return bad_setting("--split", *problem);
  }
  if (data.reading.decimal_comma.value_or(false) &&
      data.reading.delimiter == data::Delimiter::comma) {
    return bad_setting("--decimal-comma", "yes needs another delimiter than the comma");
  }
  // A thousands separator settles the decimal separator: the other one.
  switch (data.reading.thousands_separator) {
    case data::ThousandsSeparator::comma:
      if (data.reading.decimal_comma.value_or(false)) {
        return bad_setting("--thousands-separator",
                           "comma does not go with --decimal-comma yes: the comma cannot be both");
      }
      break;
    case data::ThousandsSeparator::point:
      if (!data.reading.decimal_comma.value_or(true)) {
        return bad_setting("--thousands-separator",
                           "point goes with the decimal comma, not with --decimal-comma no");
      }
      if (data.reading.delimiter == data::Delimiter::comma) {
        return bad_setting("--thousands-separator",
                           "point goes with the decimal comma, which needs another delimiter "
                           "than the comma");
      }
      break;
    case data::ThousandsSeparator::none:
      break;
  }
  const data::ColumnChoice& value_column = data.reading.value_column;
  if (has_time_column && value_column.kind != data::ColumnChoice::Kind::detect &&
      value_column.name == data.reading.time_column.name) {
    return bad_setting("--time-column", "names the same column as --column");
  }
  return std::nullopt;
}

// The options that take no value.
bool is_switch(std::string_view name) {
  return name == "--help" || name == "--version" || name == "--quiet" || name == "--export-model";
}

// What the arguments give besides the fields of the options, kept for the
// checks made once every argument is read.
struct GivenSettings {
  // The settings as given, each checked by its rule when given and read once
  // at the end.
  runs::SettingsTexts texts;
  std::map<Setting, std::vector<std::string>> population_options;
  std::string_view run_option;    // the first option of a run, which --summarize refuses
  std::string_view table_option;  // the first option of --data's table but --data itself
  std::optional<std::int32_t> paths;
  std::optional<forecasting::BandMethod> band_method;
};

// "--name value" or "--name=value" at arguments[i]: its name and value, i
// moved past them.
std::optional<Failure> name_and_value(std::span<const std::string> arguments, std::size_t& i,
                                      std::string_view& name, std::string& value) {
  const std::string_view argument = arguments[i];
  name = argument;
  if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
    name = argument.substr(0, equals);
    if (is_switch(name)) return bad_setting(name, "takes no value");
    value = std::string(argument.substr(equals + 1));
  } else if (i + 1 < arguments.size()) {
    value = arguments[++i];
  } else {
    return bad_setting(name, "a value is missing");
  }
  return std::nullopt;
}

// One option that takes a value, into the options or, for a setting of the
// table, its text checked by its rule.
std::optional<Failure> read_option(std::string_view name, const std::string& value,
                                   Options& options, GivenSettings& given) {
  batch::RunRequest& request = options.request;
  if (name != "--output" && name != "--streams" && name != "--units" && given.run_option.empty()) {
    given.run_option = name;
  }
  if (name == "--training") {
    request.training = value;
  } else if (name == "--validation") {
    request.validation = value;
  } else if (is_table_option(name)) {
    if (name != "--data" && given.table_option.empty()) given.table_option = name;
    if (!request.data) request.data.emplace();
    return read_table_option(name, value, *request.data);
  } else if (name == "--history") {
    request.history = value;
  } else if (name == "--output") {
    request.output = value;
  } else if (name == "--units") {
    if (value != "scaled" && value != "original")
      return bad_setting(name, "use scaled or original");
    request.original_units = value == "original";
  } else if (name == "--stream") {
    return read_count(name, value, 0, kStreamCount - 1, request.stream);
  } else if (name == "--runs") {
    return read_count(name, value, 1, batch::kMaxRuns, request.runs);
  } else if (name == "--jobs") {
    return read_count(name, value, 1, kMaxJobs, options.jobs);
  } else if (name == "--streams") {
    return read_stream_list(name, value, options.summarized_streams);
  } else if (name == "--paths") {
    std::int32_t count = 0;
    if (auto failure = read_count(name, value, 1, kMaxPaths, count)) return failure;
    given.paths = count;
  } else if (name == "--band-method") {
    if (value != "errors" && value != "paths") return bad_setting(name, "use errors or paths");
    given.band_method =
        value == "errors" ? forecasting::BandMethod::errors : forecasting::BandMethod::paths;
  } else if (const SettingInfo* info = runs::find_option(name)) {
    if (info->scope == Scope::population) {
      given.population_options[info->id].push_back(value);
      return std::nullopt;
    }
    if (const auto problem = check_option_value(*info, value)) return bad_setting(name, *problem);
    given.texts.set(info->id, value);
    if (info->id == Setting::overlap) request.overlap_given = true;
  } else {
    return Failure{FailureKind::bad_setting,
                   "unknown option " + std::string(name) + " (see --help)"};
  }
  return std::nullopt;
}

// Once every argument is read: the options that go together, each population
// setting against the population count, the rates of each population, and
// the settings read by their rules.
std::optional<Failure> check_options_together(CommandLine& line, GivenSettings& given) {
  Options& options = line.options;
  batch::RunRequest& request = options.request;
  if (line.action == Action::summarize) return check_summarize(options, given.run_option);
  if (!options.summarized_streams.empty()) {
    return bad_setting("--streams",
                       "goes only with --summarize: it says which runs the folders should hold");
  }
  if (request.data && request.data->path.empty()) request.data.reset();  // only other options
  if (auto failure = check_inputs(options, given.table_option)) return failure;
  if (auto failure = apply_paths(given.paths, given.band_method, options)) return failure;
  if (request.export_model && !request.output) {
    return bad_setting("--export-model", "the model files go into --output DIR; give one");
  }
  runs::SettingsTexts& texts = given.texts;
  const auto count = static_cast<int>(
      *runs::setting_value(Setting::populations, texts.text(Setting::populations)));
  for (const auto& [id, occurrences] : given.population_options) {
    if (auto failure = apply_population_option(runs::setting_info(id), occurrences, count, texts)) {
      return failure;
    }
  }
  for (int k = 0; k < count; ++k) {
    if (const auto problem = runs::check_rate_group(texts, k)) {
      return bad_setting(
          "--crossover-function, --crossover-any, --copy, --mutation",
          *problem + (count > 1 ? " (population " + std::to_string(k + 1) + ")" : ""));
    }
  }
  if (const runs::StartOutcome read = runs::read_run_settings(texts, request.settings);
      read.error != runs::StartError::none) {
    return batch::start_failure(read, request);
  }
  return check_runs(options);
}

std::optional<Failure> parse_arguments(std::span<const std::string> arguments, CommandLine& line) {
  Options& options = line.options;
  GivenSettings given;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      line.action = Action::help;
      return std::nullopt;
    }
    if (argument == "--version") {
      line.action = Action::version;
      return std::nullopt;
    }
    if (argument == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (argument == "--export-model") {
      options.request.export_model = true;
      if (given.run_option.empty()) given.run_option = argument;
      continue;
    }
    if (constexpr std::string_view summarize = "--summarize";
        argument == summarize || argument.starts_with("--summarize=")) {
      // "--summarize=DIR" and every folder named up to the next option; more
      // may follow the options.
      line.action = Action::summarize;
      if (argument != summarize) {
        options.summarized_folders.emplace_back(argument.substr(summarize.size() + 1));
      }
      while (i + 1 < arguments.size() && !arguments[i + 1].starts_with("--")) {
        options.summarized_folders.push_back(arguments[++i]);
      }
      continue;
    }
    if (argument == "--intervals" || argument.starts_with("--intervals=")) {
      if (auto failure = read_intervals(arguments, i, options)) return failure;
      if (given.run_option.empty()) given.run_option = "--intervals";
      continue;
    }
    if (!argument.starts_with("--")) {
      if (line.action == Action::summarize) {
        options.summarized_folders.emplace_back(argument);
        continue;
      }
      return Failure{FailureKind::bad_setting,
                     "unexpected argument \"" + std::string(argument) + "\" (see --help)"};
    }
    // Every other option takes a value.
    std::string_view name;
    std::string value;
    if (auto failure = name_and_value(arguments, i, name, value)) return failure;
    if (auto failure = read_option(name, value, options, given)) return failure;
  }
  return check_options_together(line, given);
}

}  // namespace

int exit_status(FailureKind kind) {
  switch (kind) {
    case FailureKind::bad_setting:
      return kExitBadSetting;
    case FailureKind::data_problem:
      return kExitDataProblem;
    case FailureKind::write_failed:
    case FailureKind::out_of_memory:
    case FailureKind::stopped:
    case FailureKind::runs_failed:
      break;
  }
  return kExitFailed;
}

CommandLine parse_command_line(std::span<const std::string> arguments) {
  CommandLine line;
  line.failure = parse_arguments(arguments, line);
  return line;
}

std::span<const RunnerOption> input_options() {
  static constexpr RunnerOption kInputs[] = {
      {"--training", "FILE", "the series to model"},
      {"--validation", "FILE",
       "the series the forecast is checked against; it may begin with the last\n"
       "values of the training series (see --overlap)"},
  };
  return kInputs;
}

std::span<const RunnerOption> table_options() {
  static const std::string data = data::wrap_text(
      "one table (CSV, TSV, ...) that holds the whole series, instead of --training and "
      "--validation; --split divides it into the two parts",
      kDescriptionWidth);
  static const std::string column = data::wrap_text(
      "the value column, by its header name or its number from 1 (default: the last column of "
      "numbers)",
      kDescriptionWidth);
  static const std::string time_column = data::wrap_text(
      "the time column (years, months, dates, date-times or numbers), by name or number "
      "(default: none): its stamps label " +
          std::string(records::listed_output(records::Product::timed_prediction).name) +
          ", and --split may name one",
      kDescriptionWidth);
  static const std::string split = data::wrap_text(
      "where the training part ends: a fraction of the values (0.8, rounded down), their "
      "count (120), or the time stamp of its last row (1958-12), after @ where it reads as a "
      "number (@1958, @40); a number is never taken for a time stamp. The validation part "
      "repeats the training part's last K values, then holds the rest, K the largest "
      "--terminals (at most the training values less one) unless --overlap gives it",
      kDescriptionWidth);
  static const std::string delimiter =
      data::wrap_text("how the fields are separated (default: detected)", kDescriptionWidth);
  static const std::string header = data::wrap_text(
      "whether the first line names the columns (default: detected)", kDescriptionWidth);
  static const std::string decimal_comma = data::wrap_text(
      "whether a comma stands for the decimal point, not with the comma as delimiter (default: "
      "detected, but refused where the commas may as well separate thousands)",
      kDescriptionWidth);
  static const std::string thousands_separator = data::wrap_text(
      "what groups the digits of the values by threes: a comma (1,046.5, with the decimal "
      "point), a point (1.046,5, with the decimal comma) or none (the default)",
      kDescriptionWidth);
  static const std::string missing = data::wrap_text(
      "an empty cell, NA or NaN in the value column: refused with its line (the default), or "
      "filled on the straight line between the values around it",
      kDescriptionWidth);
  static const RunnerOption kTable[] = {
      {"--data", "FILE", data},
      {"--column", "NAME|N", column},
      {"--time-column", "NAME|N", time_column},
      {"--split", "FRACTION|COUNT|TIME", split},
      {"--delimiter", "comma|semicolon|tab|whitespace", delimiter},
      {"--header", "yes|no", header},
      {"--decimal-comma", "yes|no", decimal_comma},
      {"--thousands-separator", "comma|point|none", thousands_separator},
      {"--missing", "refuse|interpolate", missing},
  };
  return kTable;
}

std::span<const RunnerOption> output_options() {
  // Where they name files, the descriptions are written from the list of outputs.
  static const std::string output = data::wrap_text(output_folder_description(), kDescriptionWidth);
  static const std::string units = data::wrap_text(units_description(), kDescriptionWidth);
  static const std::string export_model =
      data::wrap_text(export_model_description(), kDescriptionWidth);
  static const std::string intervals = data::wrap_text(intervals_description(), kDescriptionWidth);
  static const RunnerOption kOutputs[] = {
      {"--history", "FILE",
       "CSV: header \"generation,population,mse,mdl\", then one row per\n"
       "generation and population (generation from 0, population from 1),\n"
       "the best individual's mse and mdl with 17 significant digits"},
      {"--output", "DIR", output},
      {"--units", "scaled|original", units},
      {"--export-model", "", export_model},
      {"--intervals", "[LEVELS]", intervals},
      {"--band-method", "errors|paths",
       "how the bands of --intervals are drawn: from the model's own errors\n"
       "1, 2, ... steps after many origins in the training part (errors, the\n"
       "default), or from paths simulated through the model, each step adding\n"
       "a one-step training residual drawn at random (paths)"},
      {"--paths", "N",
       "paths the bands of --band-method paths are drawn from (default 1000,\n"
       "at most 100000); memory grows with paths times the largest lag"},
      {"--quiet", "", "no line per generation (with --runs: per run, nor the summary)"},
  };
  return kOutputs;
}

std::span<const RunnerOption> sweep_options() {
  static const std::string summarize = data::wrap_text(summarize_description(), kDescriptionWidth);
  static const std::string streams = data::wrap_text(streams_description(), kDescriptionWidth);
  static const RunnerOption kSweep[] = {
      {"--stream", "N",
       "the run's stream of the random draws that build the trees: the\n"
       "integer generator starts N * 2^40 draws on (default 0, the window's\n"
       "first run); data, settings, seed and stream name a run exactly"},
      {"--runs", "N",
       "N runs with streams --stream to --stream + N - 1, each in a fresh\n"
       "engine and folder under --output (needs --output; no --history);\n"
       "at most 100000 in one call"},
      {"--jobs", "N",
       "runs of --runs at once, each a process that fits on one thread\n"
       "(default: one per CPU this process may use, by its affinity mask\n"
       "and SLURM_CPUS_PER_TASK); the results are the same for any N"},
      {"--summarize", "DIR...", summarize},
      {"--streams", "LIST", streams},
  };
  return kSweep;
}

std::span<const RunnerOption> information_options() {
  static constexpr RunnerOption kInformation[] = {
      {"--help", "", "print the list of options and exit"},
      {"--version", "", "print the program's version and exit"},
  };
  return kInformation;
}

std::string shown_default(const SettingInfo& info) {
  return info.id == Setting::overlap ? "detected" : std::string(info.default_text);
}

std::span<const ExitStatus> exit_statuses() {
  static constexpr ExitStatus kStatuses[] = {
      {kExitOk, "done"},
      {kExitFailed,
       "an output file or the standard output could not be written, memory ran out, or one of "
       "many runs failed"},
      {kExitBadSetting, "a refused setting or output name"},
      {kExitDataProblem, "a data problem, or run folders that cannot be summarized"},
  };
  return kStatuses;
}

std::string usage_text() {
  std::string text =
      "quarvel-cli --training FILE --validation FILE [options]\n"
      "quarvel-cli --data FILE --split FRACTION|COUNT|TIME [options]\n"
      "quarvel-cli --summarize DIR... --output DIR [--streams LIST]\n";
  text += kRunnerSummary;
  text += '\n';
  // "  --name VALUE   description", its later lines under the description: the
  // runner's own options in a narrow column, the settings in a wide one.
  constexpr std::size_t kOptionWidth = 18;
  constexpr std::size_t kSettingWidth = 42;
  const auto add = [&text](std::size_t width, std::string_view option, std::string_view value_name,
                           std::string_view description) {
    std::string head(option);
    if (!value_name.empty()) {
      head += ' ';
      head += value_name;
    }
    text += "  ";
    text += head;
    text.append(head.size() < width ? width + 1 - head.size() : 1, ' ');
    for (const char c : description) {
      text += c;
      if (c == '\n') text.append(2 + width + 1, ' ');
    }
    text += '\n';
  };
  const auto add_runner_options = [&add](std::span<const RunnerOption> options) {
    for (const RunnerOption& option : options) {
      add(kOptionWidth, option.option, option.value_name, option.description);
    }
  };
  const auto add_settings = [&add](Scope scope) {
    for (const SettingInfo& info : runs::settings_table()) {
      if (info.scope != scope) continue;
      add(kSettingWidth, info.option, info.value_name,
          std::string(info.description) + " (default " + shown_default(info) + ")");
    }
  };
  text += "\nInputs (plain text, one value per line):\n";
  add_runner_options(input_options());
  text += kInputRule;
  text += "\n\nOne table instead of the two files:\n";
  add_runner_options(table_options());
  text += data::wrap_text(kTableRule, kRuleWidth);
  text += "\n\nOutputs:\n";
  add_runner_options(output_options());
  text += data::wrap_text(output_rule(), kRuleWidth);
  text += "\n\nMany runs:\n";
  add_runner_options(sweep_options());
  text += data::wrap_text(sweep_rule(), kRuleWidth);
  text += '\n';
  text += "\nRun settings (defaults are the window's):\n";
  add_settings(Scope::run);
  text += "\nPopulation settings: " + std::string(kPopulationListRule) + ":\n";
  add_settings(Scope::population);
  text += '\n';
  add_runner_options(information_options());
  text += "\nExit status:";
  for (const ExitStatus& status : exit_statuses()) {
    text += (status.status == kExitOk ? " " : ", ") + std::to_string(status.status) + " " +
            std::string(status.meaning);
  }
  text += ".\n";
  return text;
}

}  // namespace quarvel::cli
