// The run's settings: one table that the window's fields, the runner's
// options, its --help and the Start refusals all read, and the texts a user
// typed for them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quarvel::frontend {

inline constexpr int kMaxPopulations = 4;

// Run-wide settings first, then those every population has a page of.
enum class Setting {
  generations,
  seed,
  value_limit,
  overlap,
  rank_by,
  weight,
  weight_error,
  populations,
  forecast_ahead,
  population_size,
  terminals,
  selection,
  tournament_size,
  elite,
  depth_new,
  depth_crossover,
  depth_mutant,
  growth,
  crossover_function,
  crossover_any,
  copy,
  mutation,
};
inline constexpr std::size_t kSettingCount = 22;

enum class Scope { run, population };

// One of the values a choice offers: the runner's word, the window's caption
// and the engine's code.
struct Choice {
  std::string_view word;
  std::string_view caption;
  std::int32_t code;
};

// nullopt when the text passes, otherwise the message to show.
using TextCheck = std::optional<std::string> (*)(std::string_view);

struct SettingInfo {
  Setting id;
  Scope scope;
  std::string_view label;         // the window's caption of the field
  std::string_view option;        // the runner's option
  std::string_view default_text;  // the text a new window and the runner start from
  TextCheck check;                // the field check; choices check against their words
  std::span<const Choice> choices;
  std::string_view value_name;   // what --help shows as the option's value ("N", "X")
  std::string_view description;  // one line for --help
};

[[nodiscard]] std::span<const SettingInfo> settings_table();
[[nodiscard]] const SettingInfo& setting_info(Setting id);
// The setting of a runner option ("--elite"), or nullptr.
[[nodiscard]] const SettingInfo* find_option(std::string_view option);

// Field checks; the messages are the window's.
inline constexpr std::string_view kNotNatural = "The value must be a natural number.";
inline constexpr std::string_view kNotFloat = "The value must be a floating point number.";
inline constexpr std::string_view kNotPositive = "The value must be greater than 0.";
inline constexpr std::string_view kNegativeRate = "The value must not be negative.";
inline constexpr std::string_view kRateSum = "Sum of the Rate of GP Operation must be lower than 1";
inline constexpr std::string_view kRateNotFloat = "Parameters must be floating point number.";
inline constexpr std::string_view kPopulationCountNotWhole =
    "The number of populations must be a whole number.";
inline constexpr std::string_view kPopulationCountRange =
    "The number of populations must be 1, 2, 3 or 4.";

[[nodiscard]] std::optional<std::string> check_natural(std::string_view text);  // >= 1
[[nodiscard]] std::optional<std::string> check_overlap(std::string_view text);  // >= 0
[[nodiscard]] std::optional<std::string> check_weight(std::string_view text);   // > 0
[[nodiscard]] std::optional<std::string> check_rate(std::string_view text);     // >= 0
[[nodiscard]] std::optional<std::string> check_population_count(std::string_view text);
// 0 to kMaxForecastSteps.
[[nodiscard]] std::optional<std::string> check_forecast_steps(std::string_view text);
inline constexpr std::int32_t kMaxForecastSteps = 100000;

// The check of any setting: its field check, or for a choice one of its words.
[[nodiscard]] std::optional<std::string> check_setting(Setting id, std::string_view text);
// The engine code of a choice's word.
[[nodiscard]] std::optional<std::int32_t> choice_code(Setting id, std::string_view word);

// The texts of every setting, run-wide and per population, as typed; a new set
// holds the defaults.
class SettingsTexts {
 public:
  SettingsTexts();

  // `population` (0-based) is ignored for a run-wide setting.
  [[nodiscard]] const std::string& text(Setting id, int population = 0) const;
  // A run-wide setting, or a population setting for every population.
  void set(Setting id, std::string text);
  void set(Setting id, int population, std::string text);

 private:
  std::array<std::string, kSettingCount> run_;
  std::array<std::array<std::string, kSettingCount>, kMaxPopulations> pages_;
};

// The four rates of a population, added in double, at most the
// single-precision value of 1.001.
[[nodiscard]] std::optional<std::string> check_rate_group(const SettingsTexts& settings,
                                                          int population);

}  // namespace quarvel::frontend
