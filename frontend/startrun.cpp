#include "frontend/startrun.h"

#include <string>
#include <vector>

#include "engine/dataset.h"
#include "engine/engine.h"
#include "engine/treeops.h"
#include "frontend/numbertext.h"

namespace quarvel::frontend {

namespace {

constexpr std::string_view kTrainingInvalid = "Loaded Training Data contains Invalid Value.";
constexpr std::string_view kValidationInvalid = "Loaded Validation Data contains Invalid Value.";
constexpr std::string_view kOverselectTooSmall = "Population size must be bigger than 999";

StartOutcome refusal(StartError error, std::string message,
                     std::optional<Setting> setting = std::nullopt, std::int32_t population = 0) {
  return StartOutcome{error, std::move(message), setting, population};
}

// A setting that fails its check at Start: typed and never left, or handed in
// by a script. Its field's own message says what is wrong.
StartOutcome unreadable(Setting setting, std::int32_t population,
                        const std::string& check_message) {
  std::string message = "The setting \"" + std::string(setting_info(setting).label) + "\"";
  if (population > 0) message += " of population " + std::to_string(population);
  message += " cannot be used: " + check_message + " Please correct it and start again.";
  return refusal(StartError::unreadable_setting, std::move(message), setting, population);
}

// Reads the settings of one scope (run-wide, or population k) in the order
// they are handed over, stopping at the first one that cannot be.
class SettingsReader {
 public:
  SettingsReader(const SettingsTexts& settings, std::int32_t population)
      : settings_(settings), population_(population) {}

  // A whole number of at least `minimum`.
  std::int32_t whole(Setting id, std::int32_t minimum) {
    if (failed()) return 0;
    const std::optional<std::int32_t> value = parse_whole_number(text(id));
    if (!value || *value < minimum) {
      outcome_ = unreadable(id, population_, std::string(kNotNatural));
      return 0;
    }
    return *value;
  }

  // A number that passes the setting's own check.
  double number(Setting id) {
    if (failed()) return 0.0;
    if (const std::optional<std::string> problem = check_setting(id, text(id))) {
      outcome_ = unreadable(id, population_, *problem);
      return 0.0;
    }
    return *parse_number(text(id));
  }

  // The engine code of a choice.
  std::int32_t code(Setting id) {
    if (failed()) return 0;
    const std::optional<std::int32_t> value = choice_code(id, text(id));
    if (!value) {
      outcome_ = unreadable(id, population_, "It is not one of the offered choices.");
      return 0;
    }
    return *value;
  }

  [[nodiscard]] bool failed() const noexcept { return outcome_.has_value(); }
  [[nodiscard]] StartOutcome outcome() const { return *outcome_; }

 private:
  [[nodiscard]] const std::string& text(Setting id) const {
    return settings_.text(id, population_ > 0 ? population_ - 1 : 0);
  }

  const SettingsTexts& settings_;
  std::int32_t population_;
  std::optional<StartOutcome> outcome_;
};

}  // namespace

StartOutcome transfer_settings(const SettingsTexts& settings, RunParameters& parameters,
                               DataSet& data) {
  const std::string& count_text = settings.text(Setting::populations);
  if (const auto problem = check_population_count(count_text)) {
    return unreadable(Setting::populations, 0, *problem);
  }
  const std::int32_t count = *parse_whole_number(count_text);
  RunParameters p = parameters;
  double value_limit = 0.0;
  std::int32_t overlap = 0;
  {
    SettingsReader read(settings, 0);
    p.number_of_populations = count;
    p.number_of_generations = read.whole(Setting::generations, 1);
    p.random_seed = read.whole(Setting::seed, 1);
    value_limit = read.whole(Setting::value_limit, 1);
    overlap = read.whole(Setting::overlap, 0);
    p.evaluate_by_mdl = read.code(Setting::rank_by);
    p.mdl_weight = read.number(Setting::weight);
    p.mdl_error_weight = read.number(Setting::weight_error);
    // Used after the run; a text that cannot be used must not wait until then.
    read.number(Setting::forecast_ahead);
    if (read.failed()) return read.outcome();
  }

  for (std::int32_t k = 1; k <= count; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    SettingsReader read(settings, k);
    p.population_size[i] = read.whole(Setting::population_size, 1);
    p.elite_size[i] = read.whole(Setting::elite, 1);
    p.tournament_K[i] = read.whole(Setting::tournament_size, 1);
    p.selection_method[i] = read.code(Setting::selection);
    if (read.failed()) return read.outcome();
    if (p.selection_method[i] == OVERSELECT && p.population_size[i] < 1000) {
      return refusal(StartError::overselect_too_small, std::string(kOverselectTooSmall),
                     Setting::population_size, k);
    }
    p.grow_method[i] = read.code(Setting::growth);
    p.max_depth_for_new_trees[i] = read.whole(Setting::depth_new, 1);
    p.max_depth_after_crossover[i] = read.whole(Setting::depth_crossover, 1);
    p.max_mutant_depth[i] = read.whole(Setting::depth_mutant, 1);
    p.terminal_table_size[i] = read.whole(Setting::terminals, 1);
    p.crossover_func_pt_fraction[i] = static_cast<float>(read.number(Setting::crossover_function));
    p.crossover_any_pt_fraction[i] = static_cast<float>(read.number(Setting::crossover_any));
    p.fitness_prop_repro_fraction[i] = static_cast<float>(read.number(Setting::copy));
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
                     Setting::elite, k);
    }
  }

  parameters = p;
  data.value_limit = value_limit;
  data.overlap = overlap;
  return {};
}

std::optional<StartOutcome> check_value_count(std::size_t training_values,
                                              std::size_t validation_values) {
  const std::size_t total = training_values + validation_values;
  if (total <= static_cast<std::size_t>(kDataSetCapacity)) return std::nullopt;
  return refusal(StartError::too_many_values,
                 "The training and validation data hold " + std::to_string(total) +
                     " values together, but at most " + std::to_string(kDataSetCapacity) +
                     " can be used. Load shorter series.");
}

StartOutcome start_run(Engine& engine, const GridColumns& training, const GridColumns& validation,
                       const SettingsTexts& settings) {
  // A grid without rows can only come from a file without values; the window
  // always keeps one row, whose empty cells fail the same way.
  if (training.rows() == 0 || !check_grid_values(training)) {
    return refusal(StartError::training_invalid, std::string(kTrainingInvalid));
  }
  if (validation.rows() == 0 || !check_grid_values(validation)) {
    return refusal(StartError::validation_invalid, std::string(kValidationInvalid));
  }
  if (auto refused = check_value_count(training.rows(), validation.rows())) return *refused;

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
  StartOutcome outcome = transfer_settings(settings, parameters, data);
  if (outcome.error != StartError::none) return outcome;

  engine.data = std::move(data);
  engine.parameters = parameters;
  apply_run_parameters(engine, engine.parameters);
  allocate_populations(engine, engine.parameters);
  prepare_engine(engine);
  return outcome;
}

}  // namespace quarvel::frontend
