// The Start path that hands the loaded data and the settings to the engine,
// with every refusal a user can meet there. Shared by the window and the runner.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "data/datafile.h"
#include "engine/dataset.h"
#include "engine/parameters.h"
#include "runs/settings.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::runs {

enum class StartError {
  none,
  training_invalid,      // "Loaded Training Data contains Invalid Value."
  validation_invalid,    // "Loaded Validation Data contains Invalid Value."
  too_many_values,       // more than 40000 values together
  constant_series,       // all values equal
  non_finite_series,     // a value or the range is not finite
  unreadable_setting,    // a setting text that its rule cannot read
  overselect_too_small,  // "Population size must be bigger than 999"
  elite_too_large,       // elite larger than the population size
};

struct StartOutcome {
  StartError error = StartError::none;
  std::string message;             // the text to show the user (empty when error is none)
  std::optional<Setting> setting;  // the setting refused, when a setting is
  std::int32_t population = 0;     // 1-based for a population setting, else 0
};

// Reads the texts by their settings' rules into `settings` (unchanged on
// refusal): the one reading of a settings text, at Start or on the runner's
// command line.
[[nodiscard]] StartOutcome read_run_settings(const SettingsTexts& texts, RunSettings& settings);

// The settings of the chosen populations into `parameters` and the data set's
// overlap and value limit, as the settings table hands them over. Leaves both
// untouched on refusal.
[[nodiscard]] StartOutcome transfer_settings(const RunSettings& settings, RunParameters& parameters,
                                             DataSet& data);
// The same from texts, read once.
[[nodiscard]] StartOutcome transfer_settings(const SettingsTexts& texts, RunParameters& parameters,
                                             DataSet& data);

// The refusal of series holding more values together than the engine can
// hold, made before anything costly is done with them; nullopt when they fit.
[[nodiscard]] std::optional<StartOutcome> check_value_count(std::size_t training_values,
                                                            std::size_t validation_values);

// The whole Start path after the loaded-flag checks: grid checks, data into the
// engine and scaled, transfer_settings, apply_run_parameters,
// allocate_populations, prepare_engine. On refusal nothing of the engine's run
// state is created.
[[nodiscard]] StartOutcome start_run(Engine& engine, const data::GridColumns& training,
                                     const data::GridColumns& validation,
                                     const RunSettings& settings);
// The Start path of a series through its transforms: the transformed
// training and validation values are what the engine takes.
[[nodiscard]] StartOutcome start_transformed_run(Engine& engine, std::span<const double> training,
                                                 std::span<const double> validation,
                                                 const RunSettings& settings);
// The same from texts, read once.
[[nodiscard]] StartOutcome start_run(Engine& engine, const data::GridColumns& training,
                                     const data::GridColumns& validation,
                                     const SettingsTexts& texts);

}  // namespace quarvel::runs
