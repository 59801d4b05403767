#include "runs/startrun.h"

#include <string>
#include <vector>

#include "data/numbertext.h"
#include "engine/dataset.h"
#include "engine/engine.h"
#include "engine/treeops.h"

namespace quarvel::runs {

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
StartOutcome unreadable(const SettingProblem& problem) {
  const SettingInfo& info = setting_info(problem.setting);
  // The sum of the rates is a problem of their group, not of one of them.
  const bool rates = problem.message == kRateSum;
  std::string message = rates ? "The \"" + std::string(group_caption(info.group)) + "\""
                              : "The setting \"" + std::string(info.label) + "\"";
  if (problem.population > 0) message += " of population " + std::to_string(problem.population);
  message +=
      " cannot be used: " + problem.message +
      (rates ? ". Please correct them and start again." : " Please correct it and start again.");
  return refusal(StartError::unreadable_setting, std::move(message), problem.setting,
                 problem.population);
}

}  // namespace

StartOutcome read_run_settings(const SettingsTexts& texts, RunSettings& settings) {
  if (const auto problem = read_settings(texts, settings)) return unreadable(*problem);
  return {};
}

StartOutcome transfer_settings(const RunSettings& settings, RunParameters& parameters,
                               DataSet& data) {
  const std::int32_t count = settings.population_count();
  // What the engine would end the process on is refused first.
  for (std::int32_t k = 0; k < count; ++k) {
    if (settings.whole(Setting::selection, k) == OVERSELECT &&
        settings.whole(Setting::population_size, k) < 1000) {
      return refusal(StartError::overselect_too_small, std::string(kOverselectTooSmall),
                     Setting::population_size, k + 1);
    }
  }
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t elite = settings.whole(Setting::elite, k);
    const std::int32_t size = settings.whole(Setting::population_size, k);
    if (elite > size) {
      return refusal(StartError::elite_too_large,
                     "The number of elite (" + std::to_string(elite) + ") of population " +
                         std::to_string(k + 1) + " is larger than its population size (" +
                         std::to_string(size) +
                         "). Make the number of elite at most the population size.",
                     Setting::elite, k + 1);
    }
  }
  for (const SettingInfo& info : settings_table()) {
    if (info.hand_over == nullptr) continue;
    const std::int32_t pages = info.scope == Scope::run ? 1 : count;
    for (std::int32_t k = 0; k < pages; ++k) {
      info.hand_over(settings.value(info.id, k), static_cast<std::size_t>(k), parameters, data);
    }
  }
  return {};
}

StartOutcome transfer_settings(const SettingsTexts& texts, RunParameters& parameters,
                               DataSet& data) {
  RunSettings settings;
  if (StartOutcome outcome = read_run_settings(texts, settings);
      outcome.error != StartError::none) {
    return outcome;
  }
  return transfer_settings(settings, parameters, data);
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

namespace {

// The Start path from the values the engine is to take; `constant` says what
// a series of one value is refused with.
StartOutcome start_on_values(Engine& engine, std::span<const double> training_values,
                             std::span<const double> validation_values, const RunSettings& settings,
                             const std::string& constant) {
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
      return refusal(StartError::constant_series, constant);
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

}  // namespace

StartOutcome start_run(Engine& engine, const data::GridColumns& training,
                       const data::GridColumns& validation, const RunSettings& settings) {
  // A grid without rows can only come from a file without values; the window
  // always keeps one row, whose empty cells fail the same way.
  if (training.rows() == 0 || !data::check_grid_values(training)) {
    return refusal(StartError::training_invalid, std::string(kTrainingInvalid));
  }
  if (validation.rows() == 0 || !data::check_grid_values(validation)) {
    return refusal(StartError::validation_invalid, std::string(kValidationInvalid));
  }
  if (auto refused = check_value_count(training.rows(), validation.rows())) return *refused;

  // The engine receives exactly what the cells show.
  std::vector<double> training_values;
  training_values.reserve(training.rows());
  for (const std::string& cell : training.value) {
    training_values.push_back(*data::parse_number(cell));
  }
  std::vector<double> validation_values;
  validation_values.reserve(validation.rows());
  for (const std::string& cell : validation.value) {
    validation_values.push_back(*data::parse_number(cell));
  }
  return start_on_values(engine, training_values, validation_values, settings,
                         "All loaded values are equal (" + training.value.front() +
                             "), so they cannot be scaled to the range 0 to 1. Load a series "
                             "whose values differ.");
}

StartOutcome start_transformed_run(Engine& engine, std::span<const double> training,
                                   std::span<const double> validation,
                                   const RunSettings& settings) {
  if (auto refused = check_value_count(training.size(), validation.size())) return *refused;
  return start_on_values(
      engine, training, validation, settings,
      "All the transformed values are equal (" +
          data::format_general(training.empty() ? 0.0 : training.front()) +
          "), so they cannot be scaled to the range 0 to 1: the transforms leave nothing to "
          "model. Turn a difference off.");
}

StartOutcome start_run(Engine& engine, const data::GridColumns& training,
                       const data::GridColumns& validation, const SettingsTexts& texts) {
  RunSettings settings;
  if (StartOutcome outcome = read_run_settings(texts, settings);
      outcome.error != StartError::none) {
    return outcome;
  }
  return start_run(engine, training, validation, settings);
}

}  // namespace quarvel::runs
