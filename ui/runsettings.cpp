#include "runsettings.h"

#include <string>
#include <vector>

#include "dataset.h"
#include "engine.h"
#include "numbertext.h"
#include "treeops.h"

namespace quarvel::frontend {

namespace {

constexpr std::string_view kTrainingInvalid = "Loaded Training Data contains Invalid Value.";
constexpr std::string_view kValidationInvalid = "Loaded Validation Data contains Invalid Value.";
constexpr std::string_view kOverselectTooSmall = "Population size must be bigger than 999";
constexpr std::int32_t kMaxWindowPopulations = 4;

StartOutcome refusal(StartError error, std::string message, std::string setting = {},
                     std::int32_t population = 0) {
  StartOutcome outcome;
  outcome.error = error;
  outcome.message = std::move(message);
  outcome.setting = std::move(setting);
  outcome.population = population;
  return outcome;
}

// A setting that fails its field check at Start: typed and never left, or
// handed in by a script. Its field's own message says what is wrong.
StartOutcome unreadable(std::string_view setting, std::int32_t population,
                        const std::string& check_message) {
  std::string message = "The setting \"" + std::string(setting) + "\"";
  if (population > 0) message += " of population " + std::to_string(population);
  message += " cannot be used: " + check_message + " Please correct it and start again.";
  return refusal(StartError::unreadable_setting, std::move(message), std::string(setting),
                 population);
}

// Reads the settings in the order of TransferSettings, stopping at the first
// one that cannot be handed over.
class SettingsReader {
 public:
  explicit SettingsReader(std::int32_t population) : population_(population) {}

  std::int32_t whole(std::string_view setting, std::string_view text, std::int32_t minimum) {
    if (failed()) return 0;
    const std::optional<std::int32_t> value = parse_whole_number(text);
    if (!value || *value < minimum) {
      outcome_ = unreadable(setting, population_, std::string(kNotNatural));
      return 0;
    }
    return *value;
  }

  double number(std::string_view setting, std::string_view text,
                std::optional<std::string> (*check)(std::string_view)) {
    if (failed()) return 0.0;
    if (const std::optional<std::string> problem = check(text)) {
      outcome_ = unreadable(setting, population_, *problem);
      return 0.0;
    }
    return *parse_number(text);
  }

  std::int32_t code(std::string_view setting, std::int32_t value, std::int32_t low,
                    std::int32_t high) {
    if (failed()) return 0;
    if (value < low || value > high) {
      outcome_ = unreadable(setting, population_, "It is not one of the offered choices.");
      return 0;
    }
    return value;
  }

  [[nodiscard]] bool failed() const noexcept { return outcome_.has_value(); }
  [[nodiscard]] StartOutcome outcome() const { return *outcome_; }

 private:
  std::int32_t population_;
  std::optional<StartOutcome> outcome_;
};

}  // namespace

std::optional<std::string> check_natural(std::string_view text) {
  const std::optional<std::int32_t> value = parse_whole_number(text);
  if (value && *value >= 1) return std::nullopt;
  return std::string(kNotNatural);
}

std::optional<std::string> check_overlap(std::string_view text) {
  const std::optional<std::int32_t> value = parse_whole_number(text);
  if (value && *value >= 0) return std::nullopt;
  return std::string(kNotNatural);
}

std::optional<std::string> check_weight(std::string_view text) {
  const std::optional<double> value = parse_number(text);
  if (!value) return std::string(kNotFloat);
  if (!(*value > 0.0)) return std::string(kNotPositive);
  return std::nullopt;
}

std::optional<std::string> check_rate(std::string_view text) {
  const std::optional<double> value = parse_number(text);
  if (!value) return std::string(kNotFloat);
  if (*value < 0.0) return std::string(kNegativeRate);
  return std::nullopt;
}

std::optional<std::string> check_rate_group(const PopulationSettingsTexts& page) {
  double sum = 0.0;
  for (const std::string* rate :
       {&page.crossover_function, &page.crossover_any, &page.copy, &page.mutation}) {
    const std::optional<double> value = parse_number(*rate);
    if (!value) return std::string(kRateNotFloat);
    sum += *value;
  }
  if (sum > static_cast<double>(1.001f)) return std::string(kRateSum);
  return std::nullopt;
}

StartOutcome transfer_settings(const SettingsTexts& settings, std::int32_t count,
                               RunParameters& parameters, DataSet& data) {
  if (count < 1 || count > kMaxWindowPopulations) {
    return unreadable("Number of Population", 0, "The number of populations must be 1, 2, 3 or 4.");
  }
  RunParameters p = parameters;
  double value_limit = 0.0;
  std::int32_t overlap = 0;
  {
    SettingsReader read(0);
    p.number_of_populations = count;
    p.number_of_generations = read.whole("Generation", settings.generations, 1);
    p.random_seed = read.whole("Random Seed", settings.seed, 1);
    value_limit = read.whole("Prediction Data Value Limit (normalized)", settings.value_limit, 1);
    overlap = read.whole("Overlap between Training and Validation", settings.overlap, 0);
    p.evaluate_by_mdl = settings.evaluate_by_mdl ? 1 : 0;
    p.mdl_weight = read.number("Weight", settings.weight, check_weight);
    p.mdl_error_weight = read.number("Weight Error", settings.weight_error, check_weight);
    if (read.failed()) return read.outcome();
  }

  for (std::int32_t k = 1; k <= count; ++k) {
    const PopulationSettingsTexts& page = settings.populations[static_cast<std::size_t>(k - 1)];
    const auto i = static_cast<std::size_t>(k - 1);
    SettingsReader read(k);
    p.population_size[i] = read.whole("Population Size", page.population_size, 1);
    p.elite_size[i] = read.whole("Number of Elite", page.elite, 1);
    p.tournament_K[i] = read.whole("Tournament Size", page.tournament_size, 1);
    p.selection_method[i] =
        read.code("Selection Method", page.selection_method, TOURNAMENT, FITNESSPROP);
    if (read.failed()) return read.outcome();
    if (p.selection_method[i] == OVERSELECT && p.population_size[i] < 1000) {
      return refusal(StartError::overselect_too_small, std::string(kOverselectTooSmall),
                     "Population Size", k);
    }
    p.grow_method[i] = read.code("Growth Method", page.grow_method, GROW, RAMPED);
    p.max_depth_for_new_trees[i] = read.whole("Max Depth for new tree", page.depth_new, 1);
    p.max_depth_after_crossover[i] =
        read.whole("Max depth after crossover", page.depth_crossover, 1);
    p.max_mutant_depth[i] = read.whole("Max mutant depth", page.depth_mutant, 1);
    p.terminal_table_size[i] = read.whole("Terminal table size", page.terminal_table_size, 1);
    p.crossover_func_pt_fraction[i] = static_cast<float>(
        read.number("Crossover at function node", page.crossover_function, check_rate));
    p.crossover_any_pt_fraction[i] =
        static_cast<float>(read.number("Crossover at any node", page.crossover_any, check_rate));
    p.fitness_prop_repro_fraction[i] =
        static_cast<float>(read.number("Copy", page.copy, check_rate));
    if (read.failed()) return read.outcome();
  }

  // The engine would end the process on an elite larger than its population.
  for (std::int32_t k = 1; k <= count; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    if (p.elite_size[i] > p.population_size[i]) {
      return refusal(StartError::elite_too_large,
                     "The number of elite (" + std::to_string(p.elite_size[i]) +
                         ") of population " + std::to_string(k) +
                         " is larger than its population size (" +
                         std::to_string(p.population_size[i]) +
                         "). Make the number of elite at most the population size.",
                     "Number of Elite", k);
    }
  }

  parameters = p;
  data.value_limit = value_limit;
  data.overlap = overlap;
  return {};
}

StartOutcome start_run(Engine& engine, const GridColumns& training, const GridColumns& validation,
                       const SettingsTexts& settings, std::int32_t population_count) {
  // A grid without rows can only come from a file without values; the window
  // always keeps one row, whose empty cells fail the same way.
  if (training.rows() == 0 || !check_grid_values(training)) {
    return refusal(StartError::training_invalid, std::string(kTrainingInvalid));
  }
  if (validation.rows() == 0 || !check_grid_values(validation)) {
    return refusal(StartError::validation_invalid, std::string(kValidationInvalid));
  }
  const std::size_t total = training.rows() + validation.rows();
  if (total > static_cast<std::size_t>(kDataSetCapacity)) {
    return refusal(StartError::too_many_values,
                   "The training and validation data hold " + std::to_string(total) +
                       " values together, but at most " + std::to_string(kDataSetCapacity) +
                       " can be used. Load shorter series.");
  }

  // The engine receives exactly what the cells show.
  std::vector<double> training_values;
  training_values.reserve(training.rows());
  for (const std::string& cell : training.value) training_values.push_back(*parse_number(cell));
  std::vector<double> validation_values;
  validation_values.reserve(validation.rows());
  for (const std::string& cell : validation.value) validation_values.push_back(*parse_number(cell));

  // Everything is prepared on copies so that a refused Start leaves the
  // engine's data and settings as they were.
  DataSet data = engine.data;
  // The previous series is replaced as a whole; starting from an empty set
  // keeps an old, longer validation part from counting against the capacity.
  data.point_count = 0;
  data.training_count = 0;
  DataSetStatus status = set_training_series(data, training_values);
  if (status == DataSetStatus::ok) status = set_validation_series(data, validation_values);
  if (status == DataSetStatus::ok) status = normalise_series(data);
  switch (status) {
    case DataSetStatus::ok:
      break;
    case DataSetStatus::too_many_values:
      return refusal(StartError::too_many_values,
                     "The training and validation data hold more than " +
                         std::to_string(kDataSetCapacity) +
                         " values together. Load shorter series.");
    case DataSetStatus::constant_series:
      return refusal(StartError::constant_series,
                     "All loaded values are equal (" + training.value.front() +
                         "), so they cannot be scaled to the range 0 to 1. Load a series whose "
                         "values differ.");
    case DataSetStatus::non_finite:
      return refusal(StartError::non_finite_series,
                     "The loaded values spread too far apart to be scaled to the range 0 to 1 "
                     "(their range is beyond the largest floating-point number). Load values "
                     "of a smaller range.");
  }

  RunParameters parameters = engine.parameters;
  StartOutcome outcome = transfer_settings(settings, population_count, parameters, data);
  if (outcome.error != StartError::none) return outcome;

  engine.data = std::move(data);
  engine.parameters = parameters;
  apply_run_parameters(engine, engine.parameters);
  allocate_populations(engine, engine.parameters);
  prepare_engine(engine);
  return outcome;
}

}  // namespace quarvel::frontend
