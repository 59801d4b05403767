// The window's settings as texts, their checks, and the Start path that hands
// data and settings to the engine. Shared by the window and quarvel-cli.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile.h"
#include "dataset.h"
#include "parameters.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::frontend {

struct PopulationSettingsTexts {
  std::string population_size = "1000";
  std::string terminal_table_size = "100";
  std::int32_t selection_method = TOURNAMENT;  // TOURNAMENT, OVERSELECT or FITNESSPROP
  std::string tournament_size = "6";
  std::string elite = "10";
  std::string depth_new = "6";
  std::string depth_crossover = "17";
  std::string depth_mutant = "10";
  std::int32_t grow_method = GROW;  // GROW or RAMPED
  std::string crossover_function = "0.4";
  std::string crossover_any = "0.4";
  std::string copy = "0";
  std::string mutation = "0.2";
};

struct SettingsTexts {
  std::string generations = "50";
  std::string seed = "1";
  std::string value_limit = "100";
  std::string overlap = "119";
  bool evaluate_by_mdl = true;
  std::string weight = "0.0005";
  std::string weight_error = "0.0003";
  std::array<PopulationSettingsTexts, 4> populations;
};

// Field checks: nullopt when the text passes, otherwise the message to show.
inline constexpr std::string_view kNotNatural = "The value must be a natural number.";
inline constexpr std::string_view kNotFloat = "The value must be a floating point number.";
inline constexpr std::string_view kNotPositive = "The value must be greater than 0.";
inline constexpr std::string_view kNegativeRate = "The value must not be negative.";
inline constexpr std::string_view kRateSum = "Sum of the Rate of GP Operation must be lower than 1";
inline constexpr std::string_view kRateNotFloat = "Parameters must be floating point number.";

[[nodiscard]] std::optional<std::string> check_natural(std::string_view text);      // >= 1
[[nodiscard]] std::optional<std::string> check_overlap(std::string_view text);      // >= 0
[[nodiscard]] std::optional<std::string> check_weight(std::string_view text);       // > 0
[[nodiscard]] std::optional<std::string> check_rate(std::string_view text);         // >= 0
// The four rates, added in double, at most the single-precision value of 1.001.
[[nodiscard]] std::optional<std::string> check_rate_group(const PopulationSettingsTexts& page);

enum class StartError {
  none,
  training_invalid,      // "Loaded Training Data contains Invalid Value."
  validation_invalid,    // "Loaded Validation Data contains Invalid Value."
  too_many_values,       // more than 40000 values together
  constant_series,       // all values equal
  non_finite_series,     // a value or the range is not finite
  unreadable_setting,    // a setting text that its rule cannot read; `setting` names it
  overselect_too_small,  // "Population size must be bigger than 999"; `population` is 1-based
  elite_too_large,       // elite larger than the population size; `population` is 1-based
};

struct StartOutcome {
  StartError error = StartError::none;
  std::string message;   // the text to show the user (empty when error is none)
  std::string setting;   // the setting's label for unreadable_setting
  std::int32_t population = 0;
};

// TransferSettings: the settings of populations 1..count into `parameters` and
// the data set's overlap and value limit. Leaves both untouched on refusal.
[[nodiscard]] StartOutcome transfer_settings(const SettingsTexts& settings, std::int32_t count,
                                             RunParameters& parameters, DataSet& data);

// The whole Start path after the loaded-flag checks: grid checks, data into the
// engine and scaled, TransferSettings, apply_run_parameters, allocate_populations,
// prepare_engine. On refusal nothing of the engine's run state is created.
[[nodiscard]] StartOutcome start_run(Engine& engine, const GridColumns& training,
                                     const GridColumns& validation, const SettingsTexts& settings,
                                     std::int32_t population_count);

}  // namespace quarvel::frontend
