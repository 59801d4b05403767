// quarvel-cli: runs a model from the command line with the window's data path,
// settings rules and engine calls, so that both give the same results.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "datafile.h"
#include "engine.h"
#include "generations.h"
#include "numbertext.h"
#include "outputfile.h"
#include "prediction.h"
#include "runsettings.h"

namespace {

using namespace quarvel;
using namespace quarvel::frontend;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // an output file could not be written, or memory ran out
constexpr int kExitBadSetting = 2;
constexpr int kExitDataProblem = 3;

constexpr std::string_view kUsage =
    R"(quarvel-cli --training FILE --validation FILE [options]
Run settings (defaults are the window's):
  --generations N (50)   --seed N (1)   --value-limit N (100)
  --overlap N            (default: detected from the two files as the validation load does)
  --rank-by mdl|mse (mdl)   --weight X (0.0005)   --weight-error X (0.0003)   --populations P (1; 1 to 4)
Population settings: one value for all populations, or a comma-separated list of P values:
  --population-size (1000)  --terminals (100)  --selection tournament|overselect|fitness (tournament)
  --tournament-size (6)  --elite (10)  --depth-new (6)  --depth-crossover (17)  --depth-mutant (10)
  --growth grow|ramped (grow)  --crossover-function (0.4)  --crossover-any (0.4)  --copy (0)  --mutation (0.2)
Outputs:
  --history FILE   CSV: header "generation,population,mse,mdl", then one row per generation and population
                   (generation from 0, population from 1), mse and mdl as the report's best_sn2 and best_mdl
                   printed with 17 significant digits ("%.17g")
  --output DIR     (created if missing) after the run, for population K: prediction-K.txt in the output file format (the output
                   grid's rows: index "," value in the general number format, CR LF) and tree-K.txt, the
                   best tree's text exactly as the report holds it
  --help, --version, --quiet
Exit status: 0 done, 1 an output file could not be written, 2 a refused setting, 3 a data problem.
)";

// The failure that ends the program: its message (without "error: ") and status.
struct Failure {
  int status;
  std::string message;
};

int fail(const Failure& failure) {
  std::fprintf(stderr, "error: %s\n", failure.message.c_str());
  return failure.status;
}

Failure bad_setting(std::string_view option, const std::string& message) {
  return {kExitBadSetting, std::string(option) + ": " + message};
}

// A per-population option: its field on the population page.
struct PopulationOption {
  std::string_view name;
  std::string PopulationSettingsTexts::*field;  // null for the two choice options
  std::optional<std::string> (*check)(std::string_view);
};

const PopulationOption kPopulationOptions[] = {
    {"--population-size", &PopulationSettingsTexts::population_size, check_natural},
    {"--terminals", &PopulationSettingsTexts::terminal_table_size, check_natural},
    {"--selection", nullptr, nullptr},
    {"--tournament-size", &PopulationSettingsTexts::tournament_size, check_natural},
    {"--elite", &PopulationSettingsTexts::elite, check_natural},
    {"--depth-new", &PopulationSettingsTexts::depth_new, check_natural},
    {"--depth-crossover", &PopulationSettingsTexts::depth_crossover, check_natural},
    {"--depth-mutant", &PopulationSettingsTexts::depth_mutant, check_natural},
    {"--growth", nullptr, nullptr},
    {"--crossover-function", &PopulationSettingsTexts::crossover_function, check_rate},
    {"--crossover-any", &PopulationSettingsTexts::crossover_any, check_rate},
    {"--copy", &PopulationSettingsTexts::copy, check_rate},
    {"--mutation", &PopulationSettingsTexts::mutation, check_rate},
};

// A run-wide option: its field and its check.
struct RunOption {
  std::string_view name;
  std::string SettingsTexts::*field;
  std::optional<std::string> (*check)(std::string_view);
};

const RunOption kRunOptions[] = {
    {"--generations", &SettingsTexts::generations, check_natural},
    {"--seed", &SettingsTexts::seed, check_natural},
    {"--value-limit", &SettingsTexts::value_limit, check_natural},
    {"--overlap", &SettingsTexts::overlap, check_overlap},
    {"--weight", &SettingsTexts::weight, check_weight},
    {"--weight-error", &SettingsTexts::weight_error, check_weight},
};

// The option that sets a setting the window names by its label.
std::string_view option_for_setting(std::string_view label) {
  static const std::map<std::string_view, std::string_view> options = {
      {"Generation", "--generations"},
      {"Random Seed", "--seed"},
      {"Prediction Data Value Limit (normalized)", "--value-limit"},
      {"Overlap between Training and Validation", "--overlap"},
      {"Weight", "--weight"},
      {"Weight Error", "--weight-error"},
      {"Number of Population", "--populations"},
      {"Population Size", "--population-size"},
      {"Number of Elite", "--elite"},
      {"Tournament Size", "--tournament-size"},
      {"Selection Method", "--selection"},
      {"Growth Method", "--growth"},
      {"Max Depth for new tree", "--depth-new"},
      {"Max depth after crossover", "--depth-crossover"},
      {"Max mutant depth", "--depth-mutant"},
      {"Terminal table size", "--terminals"},
      {"Crossover at function node", "--crossover-function"},
      {"Crossover at any node", "--crossover-any"},
      {"Copy", "--copy"},
  };
  const auto found = options.find(label);
  return found == options.end() ? label : found->second;
}

struct Options {
  std::string training;
  std::string validation;
  std::optional<std::string> history;
  std::optional<std::string> output;
  bool quiet = false;
  bool overlap_given = false;
  std::int32_t population_count = 1;
  SettingsTexts settings;
};

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

std::optional<std::int32_t> choice_code(std::string_view option, std::string_view text) {
  if (option == "--selection") {
    if (text == "tournament") return TOURNAMENT;
    if (text == "overselect") return OVERSELECT;
    if (text == "fitness") return FITNESSPROP;
  } else {
    if (text == "grow") return GROW;
    if (text == "ramped") return RAMPED;
  }
  return std::nullopt;
}

// Why files could not be written into `folder`, which is created when missing:
// its nearest existing ancestor must be a folder this process may write into.
std::optional<std::string> unwritable_folder(const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::path existing = folder.empty() ? std::filesystem::path(".") : folder;
  while (!std::filesystem::exists(existing, ignored)) {
    std::filesystem::path parent = existing.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == existing) break;
    existing = std::move(parent);
  }
  if (!std::filesystem::is_directory(existing, ignored)) {
    return "\"" + existing.string() + "\" is not a folder";
  }
  if (::access(existing.c_str(), W_OK | X_OK) != 0) {
    return "the folder \"" + existing.string() + "\" is not writable (" + std::strerror(errno) +
           ")";
  }
  return std::nullopt;
}

// Parses and checks the command line into `options` with the window's rules.
// Returns the failure to report, if any; `exit_now` is set for --help and --version.
std::optional<Failure> parse_command_line(std::span<char*> arguments, Options& options,
                                          bool& exit_now) {
  std::map<std::string_view, std::string> population_texts;
  std::optional<std::string> populations_text;
  std::optional<std::string> rank_by;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage.data(), stdout);
      exit_now = true;
      return std::nullopt;
    }
    if (argument == "--version") {
      std::printf("quarvel-cli %s\n", QUARVEL_VERSION);
      exit_now = true;
      return std::nullopt;
    }
    if (argument == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (!argument.starts_with("--")) {
      return Failure{kExitBadSetting,
                     "unexpected argument \"" + std::string(argument) + "\" (see --help)"};
    }
    // Every other option takes a value: "--name value" or "--name=value".
    std::string_view name = argument;
    std::string value;
    if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
      name = argument.substr(0, equals);
      value = std::string(argument.substr(equals + 1));
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return bad_setting(name, "a value is missing");
    }

    if (name == "--training") {
      options.training = value;
    } else if (name == "--validation") {
      options.validation = value;
    } else if (name == "--history") {
      options.history = value;
    } else if (name == "--output") {
      options.output = value;
    } else if (name == "--populations") {
      populations_text = value;
    } else if (name == "--rank-by") {
      rank_by = value;
    } else if (const auto run = std::find_if(std::begin(kRunOptions), std::end(kRunOptions),
                                             [&](const RunOption& o) { return o.name == name; });
               run != std::end(kRunOptions)) {
      if (const auto problem = run->check(value)) return bad_setting(name, *problem);
      options.settings.*(run->field) = value;
      if (name == "--overlap") options.overlap_given = true;
    } else if (const auto page =
                   std::find_if(std::begin(kPopulationOptions), std::end(kPopulationOptions),
                                [&](const PopulationOption& o) { return o.name == name; });
               page != std::end(kPopulationOptions)) {
      population_texts[page->name] = value;
    } else {
      return Failure{kExitBadSetting, "unknown option " + std::string(name) + " (see --help)"};
    }
  }

  if (options.training.empty())
    return bad_setting("--training", "a training FILE is required (see --help)");
  if (options.validation.empty()) {
    return bad_setting("--validation", "a validation FILE is required (see --help)");
  }
  if (rank_by) {
    if (*rank_by != "mdl" && *rank_by != "mse") return bad_setting("--rank-by", "use mdl or mse");
    options.settings.evaluate_by_mdl = *rank_by == "mdl";
  }
  if (populations_text) {
    const std::optional<std::int32_t> count = parse_whole_number(*populations_text);
    if (!count || *count < 1 || *count > 4) {
      return bad_setting("--populations", "the number of populations must be 1, 2, 3 or 4");
    }
    options.population_count = *count;
  }
  const std::int32_t count = options.population_count;

  for (const PopulationOption& option : kPopulationOptions) {
    const auto given = population_texts.find(option.name);
    if (given == population_texts.end()) continue;
    const std::vector<std::string> items = split_list(given->second);
    if (items.size() != 1 && items.size() != static_cast<std::size_t>(count)) {
      return bad_setting(option.name, "give one value for all populations or " +
                                          std::to_string(count) +
                                          " comma-separated values, one per population (got " +
                                          std::to_string(items.size()) + ")");
    }
    for (std::int32_t k = 0; k < count; ++k) {
      const std::string& item = items.size() == 1 ? items[0] : items[static_cast<std::size_t>(k)];
      const std::string where = items.size() == 1 ? std::string(option.name)
                                                  : std::string(option.name) + " (population " +
                                                        std::to_string(k + 1) + ")";
      PopulationSettingsTexts& page = options.settings.populations[static_cast<std::size_t>(k)];
      if (option.field == nullptr) {
        const std::optional<std::int32_t> code = choice_code(option.name, item);
        if (!code) {
          return bad_setting(where, option.name == "--selection"
                                        ? "use tournament, overselect or fitness"
                                        : "use grow or ramped");
        }
        (option.name == "--selection" ? page.selection_method : page.grow_method) = *code;
      } else {
        if (const auto problem = option.check(item)) return bad_setting(where, *problem);
        page.*(option.field) = item;
      }
    }
  }
  for (std::int32_t k = 0; k < count; ++k) {
    if (const auto problem =
            check_rate_group(options.settings.populations[static_cast<std::size_t>(k)])) {
      return bad_setting(
          "--crossover-function, --crossover-any, --copy, --mutation",
          *problem + (count > 1 ? " (population " + std::to_string(k + 1) + ")" : ""));
    }
  }

  // Outputs that could not be written would only be found out after the run,
  // which may have taken hours.
  std::error_code ignored;
  if (options.output) {
    if (std::filesystem::exists(*options.output, ignored) &&
        !std::filesystem::is_directory(*options.output, ignored)) {
      return bad_setting("--output", "\"" + *options.output + "\" exists and is not a folder");
    }
    if (const auto problem = unwritable_folder(*options.output)) {
      return bad_setting("--output", "cannot write into \"" + *options.output + "\": " + *problem);
    }
  }
  if (options.history) {
    const std::filesystem::path history(*options.history);
    const std::filesystem::path folder = history.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, ignored)) {
      return bad_setting("--history", "the folder \"" + folder.string() + "\" does not exist");
    }
    if (std::filesystem::is_directory(history, ignored)) {
      return bad_setting("--history", "\"" + *options.history + "\" is a folder");
    }
    if (const auto problem = unwritable_folder(folder)) {
      return bad_setting("--history", "cannot write \"" + *options.history + "\": " + *problem);
    }
  }
  // An output file must never replace a data file: it may be the only copy.
  const auto is_data_file = [&](const std::filesystem::path& path) {
    return std::filesystem::equivalent(path, options.training, ignored) ||
           std::filesystem::equivalent(path, options.validation, ignored);
  };
  if (options.history && is_data_file(*options.history)) {
    return bad_setting("--history", "\"" + *options.history +
                                        "\" is a data file of this run; choose another name");
  }
  if (options.output) {
    for (std::int32_t k = 1; k <= count; ++k) {
      for (const char* kind : {"prediction-", "tree-"}) {
        const std::filesystem::path file =
            std::filesystem::path(*options.output) / (kind + std::to_string(k) + ".txt");
        if (is_data_file(file)) {
          return bad_setting("--output", "\"" + file.string() +
                                             "\" would replace a data file of this run; choose "
                                             "another folder");
        }
      }
    }
  }
  return std::nullopt;
}

// A refused Start, told in the options' terms.
Failure start_failure(const StartOutcome& outcome, const Options& options) {
  switch (outcome.error) {
    case StartError::training_invalid:
      return {kExitDataProblem, "training file \"" + options.training + "\": " + outcome.message};
    case StartError::validation_invalid:
      return {kExitDataProblem,
              "validation file \"" + options.validation + "\": " + outcome.message};
    case StartError::too_many_values:
    case StartError::constant_series:
    case StartError::non_finite_series:
      return {kExitDataProblem, "training file \"" + options.training +
                                    "\" and validation file \"" + options.validation +
                                    "\": " + outcome.message};
    case StartError::overselect_too_small:
      return bad_setting("--population-size", outcome.message + " (population " +
                                                  std::to_string(outcome.population) +
                                                  " uses --selection overselect)");
    case StartError::elite_too_large:
      return bad_setting("--elite", outcome.message);
    case StartError::unreadable_setting:
    case StartError::none:
      break;
  }
  return bad_setting(option_for_setting(outcome.setting), outcome.message);
}

// Reads a data file into a grid as the loads do.
std::optional<Failure> load_series(const std::string& path, const char* role,
                                   std::int64_t first_time, GridColumns& grid) {
  const DataFileResult file = read_data_file(path);
  const std::string name = std::string(role) + " file \"" + path + "\"";
  switch (file.error) {
    case DataFileError::none:
      break;
    case DataFileError::cannot_open:
      return Failure{kExitDataProblem, "cannot open " + name + ": " + file.reason};
    case DataFileError::not_a_file:
      return Failure{kExitDataProblem, name + " is a folder, not a file"};
    case DataFileError::read_error:
      return Failure{kExitDataProblem, "cannot read " + name + ": " + file.reason};
  }
  if (file.values.empty()) {
    return Failure{kExitDataProblem,
                   name + " holds no values (" +
                       (file.size == 0 ? "the file is empty" : "every line is empty") + ")"};
  }
  // The window reads such lines as best it can; a script wants to hear about them.
  if (const DoubtfulLine& doubtful = file.doubtful; doubtful.problem != LineProblem::none) {
    const std::string what = describe_doubtful_line(doubtful);
    return Failure{kExitDataProblem, doubtful.problem == LineProblem::nul_byte
                                         ? name + " is not a text file: " + what
                                         : name + ": " + what};
  }
  grid = make_grid(file.values, first_time);
  for (std::size_t row = 0; row < grid.rows(); ++row) {
    if (!parse_number(grid.value[row])) {
      return Failure{kExitDataProblem, name + ": value " + std::to_string(row + 1) + " reads as " +
                                           grid.value[row] +
                                           ", beyond the range of a floating-point number"};
    }
  }
  return std::nullopt;
}

std::string clock_text(double seconds) {
  const auto total = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

// A one-line progress bar on the standard error, only when it is a terminal.
class ProgressBar {
 public:
  explicit ProgressBar(std::int32_t total)
      : enabled_(::isatty(STDERR_FILENO) == 1),
        total_(total),
        start_(std::chrono::steady_clock::now()) {}

  void show(std::int32_t done) {
    if (!enabled_ || total_ <= 0) return;
    constexpr int kWidth = 30;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const int filled = static_cast<int>(static_cast<long long>(done) * kWidth / total_);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '-');
    const std::string left = done > 0 ? clock_text(elapsed / done * (total_ - done)) : "?";
    const int length = std::fprintf(stderr, "\r[%s] %d/%d  elapsed %s  left %s ", bar.c_str(), done,
                                    total_, clock_text(elapsed).c_str(), left.c_str());
    shown_ = length > 0 ? length - 1 : 0;
    std::fflush(stderr);
  }

  // Blanks the bar so that a line on the standard output starts at the left
  // edge when both streams share the terminal.
  void clear() {
    if (!enabled_ || shown_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", shown_, "");
    std::fflush(stderr);
    shown_ = 0;
  }

  void finish() {
    if (enabled_ && total_ > 0) std::fputc('\n', stderr);
  }

 private:
  bool enabled_;
  std::int32_t total_;
  int shown_ = 0;
  std::chrono::steady_clock::time_point start_;
};

struct PopulationResult {
  std::vector<double> prediction;
  std::string tree_text;
};

std::optional<Failure> write_outputs(const Options& options, const std::string& history,
                                     const std::vector<PopulationResult>& results) {
  if (options.history) {
    if (const auto reason = write_file_atomically(*options.history, history)) {
      return Failure{kExitFailed, *reason};
    }
  }
  if (!options.output) return std::nullopt;
  const std::filesystem::path folder(*options.output);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return Failure{kExitFailed,
                   "cannot create the folder \"" + *options.output + "\": " + error.message()};
  }
  for (std::size_t p = 0; p < results.size(); ++p) {
    const std::string k = std::to_string(p + 1);
    const OutputCells cells = output_cells(results[p].prediction);
    const std::string prediction_path = (folder / ("prediction-" + k + ".txt")).string();
    if (const auto reason =
            write_file_atomically(prediction_path, output_file_text(cells.index, cells.value))) {
      return Failure{kExitFailed, *reason};
    }
    const std::string tree_path = (folder / ("tree-" + k + ".txt")).string();
    if (const auto reason = write_file_atomically(tree_path, results[p].tree_text)) {
      return Failure{kExitFailed, *reason};
    }
  }
  return std::nullopt;
}

int run(std::span<char*> arguments) {
  Options options;
  bool exit_now = false;
  if (const auto failure = parse_command_line(arguments, options, exit_now)) return fail(*failure);
  if (exit_now) return kExitOk;

  // Settings the engine would refuse by ending the process are found before
  // any file is read.
  {
    RunParameters scratch{};
    set_default_parameters(scratch);
    DataSet scratch_data;
    const StartOutcome outcome =
        transfer_settings(options.settings, options.population_count, scratch, scratch_data);
    if (outcome.error != StartError::none) return fail(start_failure(outcome, options));
  }

  GridColumns training;
  GridColumns validation;
  if (const auto failure = load_series(options.training, "training", 0, training))
    return fail(*failure);
  if (const auto failure = load_series(options.validation, "validation",
                                       static_cast<std::int64_t>(training.rows()), validation)) {
    return fail(*failure);
  }
  if (!options.overlap_given) {
    options.settings.overlap = std::to_string(detect_overlap(training.value, validation.value));
  }

  const auto engine = std::make_unique<Engine>();
  const StartOutcome outcome =
      start_run(*engine, training, validation, options.settings, options.population_count);
  if (outcome.error != StartError::none) return fail(start_failure(outcome, options));

  const std::int32_t generations = engine->parameters.number_of_generations;
  const std::int32_t populations = engine->population_count;
  const auto point_count = static_cast<std::size_t>(engine->data.point_count);
  GenerationReport& report = engine->report;

  std::string history = "generation,population,mse,mdl\n";
  std::vector<PopulationResult> results(static_cast<std::size_t>(populations));
  ProgressBar progress(generations);
  progress.show(0);
  std::string line;
  char number[128];
  for (std::int32_t g = 0; g < generations; ++g) {
    generation_step(*engine, g);
    line = "generation " + std::to_string(g) + ":";
    for (std::int32_t p = 0; p < populations; ++p) {
      report_best_tree(*engine, report, p);
      fill_prediction(*engine, report, p);
      std::snprintf(number, sizeof number, "%d,%d,%.17g,%.17g\n", g, p + 1, report.best_sn2,
                    report.best_mdl);
      history += number;
      line += (p == 0 ? " population " : "; population ") + std::to_string(p + 1) + " MSE " +
              format_general(report.best_sn2) + " MDL " + format_general(report.best_mdl);
      if (g == generations - 1) {
        PopulationResult& result = results[static_cast<std::size_t>(p)];
        result.prediction.assign(
            report.prediction.begin(),
            report.prediction.begin() + static_cast<std::ptrdiff_t>(point_count));
        result.tree_text = report.tree_text;
      }
    }
    if (!options.quiet) {
      progress.clear();
      std::puts(line.c_str());
      std::fflush(stdout);
    }
    progress.show(g + 1);
  }
  progress.finish();

  if (const auto failure = write_outputs(options, history, results)) return fail(*failure);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::span<char*>(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)));
  } catch (const std::bad_alloc&) {
    return fail({kExitFailed, "not enough memory for this run; try smaller populations or series"});
  } catch (const std::length_error&) {
    return fail({kExitFailed, "not enough memory for this run; try smaller populations or series"});
  }
}
