// The runner's option parser in process: every refused setting names its
// option, and what is accepted reaches the settings texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"

namespace quarvel::cli {
namespace {

using runs::Setting;

std::vector<std::string> with_files(std::vector<std::string> extra) {
  std::vector<std::string> arguments{"--training", "t.txt", "--validation", "v.txt"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

// The failure the runner reports before reading any file.
std::optional<Failure> refusal(const std::vector<std::string>& arguments) {
  const CommandLine line = parse_command_line(arguments);
  if (line.failure) return line.failure;
  return batch::check_settings(line.options.request);
}

constexpr const char* kLevelsRule =
    "--intervals: give band levels in percent, each strictly between 0 and 100, comma-separated, "
    "such as 80,95";

TEST(Options, RefusedSettingsNameTheOption) {
  struct Case {
    std::vector<std::string> extra;
    const char* message;  // the whole message, or its start when it ends in "..."
  };
  const Case cases[] = {
      {{"--generations", "0"}, "--generations: The value must be a natural number."},
      {{"--seed", "abc"}, "--seed: The value must be a natural number."},
      {{"--overlap", "-1"}, "--overlap: The value must be a natural number."},
      {{"--weight", "0"}, "--weight: The value must be greater than 0."},
      {{"--weight-error", "x"}, "--weight-error: The value must be a floating point number."},
      {{"--crossover-any", "-0.1"}, "--crossover-any: The value must not be negative."},
      {{"--mutation", "0.3"},
       "--crossover-function, --crossover-any, --copy, --mutation: Sum of the Rate of GP "
       "Operation must be lower than 1"},
      {{"--populations", "5"}, "--populations: The number of populations must be 1, 2, 3 or 4."},
      {{"--rank-by", "size"}, "--rank-by: use mdl or mse"},
      {{"--selection", "roulette"}, "--selection: use tournament, overselect or fitness"},
      {{"--growth", "full"}, "--growth: use grow or ramped"},
      {{"--population-size", "100,200"},
       "--population-size: give one value for all populations or 1 comma-separated values, one "
       "per population (got 2)"},
      {{"--populations", "2", "--elite", "5,0"},
       "--elite (population 2): The value must be a natural number."},
      {{"--selection", "overselect", "--population-size", "999"},
       "--population-size: Population size must be bigger than 999 (population 1 uses "
       "--selection overselect)"},
      {{"--population-size", "5"},
       "--elite: The number of elite (10) of population 1 is larger..."},
      {{"--unknown", "1"}, "unknown option --unknown (see --help)"},
      {{"stray"}, "unexpected argument \"stray\" (see --help)"},
      {{"--seed"}, "--seed: a value is missing"},
      // Every occurrence of an option is checked, not only the last one.
      {{"--generations", "abc", "--generations", "2"},
       "--generations: The value must be a natural number."},
      {{"--elite", "abc", "--elite", "1"}, "--elite: The value must be a natural number."},
      {{"--growth", "full", "--growth=grow"}, "--growth: use grow or ramped"},
      {{"--stream", "-1"}, "--stream: give a whole number from 0 to 16777215"},
      {{"--stream", "16777216"}, "--stream: give a whole number from 0 to 16777215"},
      {{"--runs", "0", "--output", "o"}, "--runs: give a whole number from 1 to 100000"},
      // Bounds of what one call holds at once.
      {{"--runs", "100001", "--output", "o"}, "--runs: give a whole number from 1 to 100000"},
      {{"--terminals", "1000001"},
       "--terminals: The value must be a whole number from 1 to 1000000."},
      {{"--jobs", "1025"}, "--jobs: give a whole number from 1 to 1024"},
      {{"--runs", "2"}, "--runs: give --output DIR for the run folders"},
      {{"--stream", "16777214", "--runs", "3", "--output", "o"},
       "--runs: streams 16777214 to 16777216 go past the last stream, 16777215"},
      {{"--runs", "2", "--output", "o", "--history", "h.csv"},
       "--history: does not go with --runs: each run folder holds its history.csv"},
      // What would be ignored is refused.
      {{"--jobs", "2"}, "--jobs: goes only with --runs: it says how many of its runs run at once"},
      {{"--export-model=1", "--output", "o"}, "--export-model: takes no value"},
      {{"--quiet=yes"}, "--quiet: takes no value"},
      {{"--help=all"}, "--help: takes no value"},
      // Band levels strictly between 0 and 100, each once; paths only for bands.
      {{"--intervals", "80,100"}, kLevelsRule},
      {{"--intervals=0"}, kLevelsRule},
      {{"--intervals", "80,,95"}, kLevelsRule},
      {{"--intervals", "95%"}, kLevelsRule},
      {{"--intervals=", "--quiet"}, kLevelsRule},
      {{"--intervals", "80,95,80"}, "--intervals: the level 80 is given twice"},
      {{"--intervals", "--paths", "0"}, "--paths: give a whole number from 1 to 100000"},
      {{"--intervals", "--paths", "100001"}, "--paths: give a whole number from 1 to 100000"},
      {{"--paths", "500"},
       "--paths: goes only with --intervals: it says how many paths its bands are drawn from"},
      // The transforms take a word or a number of their kind.
      {{"--season", "-1"},
       "--season: The value must be auto, or a whole number of steps, 0 for none."},
      {{"--season", "monthly"},
       "--season: The value must be auto, or a whole number of steps, 0 for none."},
      {{"--boxcox", "3"}, "--boxcox: The value must be off, auto, log, or a power from -1 to 2."},
      {{"--difference", "2"}, "--difference: The value must be off, auto or on."},
  };
  for (const Case& c : cases) {
    const auto failure = refusal(with_files(c.extra));
    ASSERT_TRUE(failure.has_value()) << c.message;
    EXPECT_EQ(failure->kind, FailureKind::bad_setting) << c.message;
    std::string expected = c.message;
    if (expected.ends_with("...")) {
      expected.resize(expected.size() - 3);
      EXPECT_EQ(failure->message.substr(0, expected.size()), expected);
    } else {
      EXPECT_EQ(failure->message, expected);
    }
  }
  EXPECT_EQ(refusal({"--validation", "v.txt"})->message,
            "--training: a training FILE is required (see --help)");
  EXPECT_EQ(refusal({"--training", "t.txt"})->message,
            "--validation: a validation FILE is required (see --help)");
}

TEST(Options, AcceptedValuesReachTheSettings) {
  const CommandLine line = parse_command_line(with_files(
      {"--populations", "2", "--elite=3,4", "--growth", "ramped", "--seed", "9", "--quiet",
       "--selection", "overselect", "--population-size", "1000", "--history", "h.csv"}));
  ASSERT_FALSE(line.failure) << line.failure->message;
  EXPECT_EQ(line.action, Action::run);
  const Options& options = line.options;
  EXPECT_EQ(options.request.training, "t.txt");
  EXPECT_EQ(options.request.history, "h.csv");
  EXPECT_EQ(options.request.output, std::nullopt);
  EXPECT_TRUE(options.quiet);
  EXPECT_FALSE(options.request.overlap_given);
  EXPECT_EQ(options.request.settings.whole(Setting::elite, 0), 3);
  EXPECT_EQ(options.request.settings.whole(Setting::elite, 1), 4);
  EXPECT_EQ(options.request.settings.whole(Setting::growth, 1),
            *runs::choice_code(Setting::growth, "ramped"));
  EXPECT_EQ(options.request.settings.whole(Setting::seed), 9);
  EXPECT_EQ(batch::check_settings(options.request), std::nullopt);

  // The transforms' options take their words and numbers alike.
  const CommandLine transforms = parse_command_line(
      with_files({"--season", "12", "--boxcox", "0.5", "--seasonal-difference", "auto"}));
  ASSERT_FALSE(transforms.failure) << transforms.failure->message;
  const runs::RunSettings& settings = transforms.options.request.settings;
  EXPECT_EQ(settings.whole(Setting::season), 12);
  EXPECT_EQ(settings.value(Setting::box_cox), 0.5);
  EXPECT_EQ(settings.whole(Setting::seasonal_difference),
            *runs::choice_code(Setting::seasonal_difference, "auto"));
}

// --intervals takes its levels when the next argument is not an option.
TEST(Options, IntervalsWithOrWithoutLevels) {
  struct Case {
    std::vector<std::string> extra;
    std::vector<double> levels;
    std::int32_t paths;
  };
  const Case cases[] = {
      {{"--intervals"}, {80.0, 95.0}, 1000},
      {{"--intervals", "--quiet"}, {80.0, 95.0}, 1000},
      {{"--intervals", "50,99.5", "--paths", "200"}, {50.0, 99.5}, 200},
      {{"--paths=7", "--intervals=90"}, {90.0}, 7},
      {{"--intervals", "90", "--paths", "7", "--intervals"}, {80.0, 95.0}, 7},
  };
  for (const Case& c : cases) {
    const CommandLine line = parse_command_line(with_files(c.extra));
    ASSERT_FALSE(line.failure) << line.failure->message;
    ASSERT_TRUE(line.options.request.intervals.has_value());
    EXPECT_EQ(line.options.request.intervals->levels, c.levels);
    EXPECT_EQ(line.options.request.intervals->paths, c.paths);
  }
  EXPECT_FALSE(parse_command_line(with_files({})).options.request.intervals.has_value());
}

TEST(Options, ManyRuns) {
  const CommandLine sweep = parse_command_line(
      with_files({"--stream", "16777214", "--runs=2", "--jobs", "3", "--output", "o"}));
  ASSERT_FALSE(sweep.failure) << sweep.failure->message;
  EXPECT_EQ(sweep.action, Action::run);
  EXPECT_EQ(sweep.options.request.stream, 16777214);
  EXPECT_EQ(sweep.options.request.runs, 2);
  EXPECT_EQ(sweep.options.jobs, 3);
  const CommandLine single = parse_command_line(with_files({}));
  EXPECT_EQ(single.options.request.stream, 0);
  EXPECT_EQ(single.options.request.runs, 0);

  // The folders may come before and after the other options, never taken for
  // an option's value nor an option for a folder.
  for (const auto& arguments : {
           std::vector<std::string>{"--summarize", "a", "b/c", "--quiet", "--output", "o",
                                    "--summarize=d"},
           std::vector<std::string>{"--summarize", "--output", "o", "a", "b/c", "--quiet", "d"},
           std::vector<std::string>{"--summarize", "a", "--streams", "0-2,5", "b/c", "d",
                                    "--output=o", "--streams", "0-3, 5,7-9"},
           // The values of --summarize's files in the series' units.
           std::vector<std::string>{"--summarize", "a", "b/c", "--units", "original", "d",
                                    "--output", "o"},
       }) {
    const CommandLine summary = parse_command_line(arguments);
    ASSERT_FALSE(summary.failure) << summary.failure->message;
    EXPECT_EQ(summary.action, Action::summarize);
    EXPECT_EQ(summary.options.summarized_folders, (std::vector<std::string>{"a", "b/c", "d"}));
    EXPECT_EQ(summary.options.request.output, "o");
    if (summary.options.summarized_streams.empty()) continue;
    EXPECT_EQ(summary.options.summarized_streams,
              (std::vector<batch::StreamRange>{{0, 3}, {5, 5}, {7, 9}}));
  }
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const std::string streams_rule =
      "--streams: give streams from 0 to 16777215 as N or N-M, comma-separated, such as 0-19 or "
      "0-9,20-29";
  const Case refused[] = {
      {{"--summarize", "a"}, "--summarize: give --output DIR for runs.csv and summary.txt"},
      {{"--summarize", "--output", "o"}, "--summarize: name the run folders to summarize (DIR...)"},
      {{"--summarize", "a", "--output", "o", "--seed", "2"},
       "--seed: does not go with --summarize, which takes run folders, --output, --units, "
       "--streams and --quiet"},
      {{"--training", "t.txt", "--summarize", "a", "--output", "o"},
       "--training: does not go with --summarize, which takes run folders, --output, --units, "
       "--streams and --quiet"},
      {{"--summarize", "a", "--output", "o", "--export-model"},
       "--export-model: does not go with --summarize, which takes run folders, --output, "
       "--units, --streams and --quiet"},
      {{"stray", "--summarize", "a", "--output", "o"},
       "unexpected argument \"stray\" (see --help)"},
      {{"--summarize", "a", "--output", "o", "--intervals"},
       "--intervals: does not go with --summarize, which takes run folders, --output, --units, "
       "--streams and --quiet"},
      {with_files({"--streams", "0-3"}),
       "--streams: goes only with --summarize: it says which runs the folders should hold"},
      {{"--summarize", "a", "--output", "o", "--streams", "3-1"}, streams_rule.c_str()},
      {{"--summarize", "a", "--output", "o", "--streams", "0-16777216"}, streams_rule.c_str()},
      {{"--summarize", "a", "--output", "o", "--streams", "0-99999,200000"},
       "--streams: lists 100001 streams, more than the 100000 runs one merge takes; merge them in "
       "parts"},
      {{"--summarize", "a", "--output", "o", "--streams", "-1"}, streams_rule.c_str()},
      {{"--summarize", "a", "--output", "o", "--streams", "0-3,"}, streams_rule.c_str()},
      {{"--summarize", "a", "--output", "o", "--streams", "0--3"}, streams_rule.c_str()},
  };
  for (const Case& c : refused) {
    const CommandLine line = parse_command_line(c.arguments);
    ASSERT_TRUE(line.failure.has_value()) << c.message;
    EXPECT_EQ(line.failure->kind, FailureKind::bad_setting);
    EXPECT_EQ(line.failure->message, c.message);
  }
}

TEST(Options, OneTableInsteadOfTwoFiles) {
  const CommandLine line = parse_command_line(std::vector<std::string>{
      "--data", "x.csv", "--column", "passengers", "--time-column=1", "--split", "1958-12",
      "--delimiter", "tab", "--header", "no", "--decimal-comma", "yes", "--missing", "interpolate",
      "--thousands-separator", "point"});
  ASSERT_FALSE(line.failure) << line.failure->message;
  ASSERT_TRUE(line.options.request.data);
  const batch::DataTable& data = *line.options.request.data;
  EXPECT_EQ(data.path, "x.csv");
  EXPECT_EQ(data.split, "1958-12");
  EXPECT_EQ(data.reading.value_column.kind, data::ColumnChoice::Kind::name);
  EXPECT_EQ(data.reading.value_column.name, "passengers");
  EXPECT_EQ(data.reading.time_column.kind, data::ColumnChoice::Kind::name_or_number);
  EXPECT_EQ(data.reading.time_column.number, 1u);
  EXPECT_EQ(data.reading.delimiter, data::Delimiter::tab);
  EXPECT_EQ(data.reading.header, false);
  EXPECT_EQ(data.reading.decimal_comma, true);
  EXPECT_EQ(data.reading.missing, data::MissingValues::interpolate);
  EXPECT_EQ(data.reading.thousands_separator, data::ThousandsSeparator::point);
  // Detected unless given; two files have no table.
  const CommandLine detected =
      parse_command_line(std::vector<std::string>{"--data", "x.csv", "--split", "0.8"});
  ASSERT_FALSE(detected.failure) << detected.failure->message;
  EXPECT_EQ(detected.options.request.data->reading.value_column.kind,
            data::ColumnChoice::Kind::detect);
  EXPECT_EQ(detected.options.request.data->reading.time_column.kind,
            data::ColumnChoice::Kind::none);
  EXPECT_FALSE(detected.options.request.data->reading.delimiter);
  EXPECT_EQ(detected.options.request.data->reading.thousands_separator,
            data::ThousandsSeparator::none);
  EXPECT_FALSE(parse_command_line(with_files({})).options.request.data);

  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const std::vector<std::string> table{"--data", "x.csv", "--split", "120"};
  const auto with_table = [&table](std::vector<std::string> extra) {
    extra.insert(extra.begin(), table.begin(), table.end());
    return extra;
  };
  const Case refused[] = {
      {{},
       "no data given: use --training FILE and --validation FILE, or --data FILE with --split "
       "(see --help)"},
      {{"--data", "x.csv"},
       "--split: required with --data: give a fraction between 0 and 1, a count of training "
       "values, or the time stamp the training part ends with"},
      {{"--data", "", "--split", "0.8"}, "--data: no file name given"},
      {with_table({"--training", "t.txt"}),
       "--training: does not go with --data, which holds both parts in one table"},
      {with_table({"--validation", "v.txt"}),
       "--validation: does not go with --data, which holds both parts in one table"},
      {with_files({"--column", "2"}),
       "--column: goes only with --data: it says how its table is read"},
      {with_files({"--missing", "refuse", "--split", "0.8"}),
       "--missing: goes only with --data: it says how its table is read"},
      {{"--data", "x.csv", "--split", "1.5"},
       "--split: \"1.5\" is neither a fraction between 0 and 1, a count of training values from 1 "
       "nor a time stamp"},
      {{"--data", "x.csv", "--split", "1958-12"},
       "--split: \"1958-12\" is a time stamp, but no time column is chosen to find it in"},
      {{"--data", "x.csv", "--time-column", "t", "--split", "40.5"},
       "--split: \"40.5\" is neither a fraction between 0 and 1, a count of training values from "
       "1 nor a time stamp (a time stamp that reads as a number is written after @: @40.5)"},
      {{"--data", "x.csv", "--split", "@1958"},
       "--split: \"@1958\" is a time stamp, but no time column is chosen to find it in"},
      {with_table({"--delimiter", "pipe"}), "--delimiter: use comma, semicolon, tab or whitespace"},
      {with_table({"--header", "maybe"}), "--header: use yes or no"},
      {with_table({"--decimal-comma", "1"}), "--decimal-comma: use yes or no"},
      {with_table({"--missing", "fill"}), "--missing: use refuse or interpolate"},
      {with_table({"--column", ""}), "--column: give the column's name or number"},
      {with_table({"--decimal-comma", "yes", "--delimiter", "comma"}),
       "--decimal-comma: yes needs another delimiter than the comma"},
      {with_table({"--thousands-separator", "blank"}),
       "--thousands-separator: use comma, point or none"},
      {with_table({"--thousands-separator", "comma", "--decimal-comma", "yes"}),
       "--thousands-separator: comma does not go with --decimal-comma yes: the comma cannot be "
       "both"},
      {with_table({"--thousands-separator", "point", "--decimal-comma", "no"}),
       "--thousands-separator: point goes with the decimal comma, not with --decimal-comma no"},
      {with_table({"--thousands-separator", "point", "--delimiter", "comma"}),
       "--thousands-separator: point goes with the decimal comma, which needs another delimiter "
       "than the comma"},
      {with_table({"--column", "month", "--time-column", "month"}),
       "--time-column: names the same column as --column"},
  };
  for (const Case& c : refused) {
    const CommandLine refusal = parse_command_line(c.arguments);
    ASSERT_TRUE(refusal.failure.has_value()) << c.message;
    EXPECT_EQ(refusal.failure->kind, FailureKind::bad_setting);
    EXPECT_EQ(refusal.failure->message, c.message);
  }
}

TEST(Options, HelpListsEveryOptionOfTheTable) {
  EXPECT_EQ(parse_command_line(std::vector<std::string>{"--help"}).action, Action::help);
  EXPECT_EQ(parse_command_line(std::vector<std::string>{"--version"}).action, Action::version);
  const std::string help = usage_text();
  for (const runs::SettingInfo& info : runs::settings_table()) {
    const std::string head = std::string(info.option) + " " + std::string(info.value_name);
    EXPECT_NE(help.find(head), std::string::npos) << head;
  }
}

}  // namespace
}  // namespace quarvel::cli
