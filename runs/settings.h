// The run's settings: one table that the window's fields and their places,
// the runner's options, its --help, the run records and the hand-over to the
// engine all read; the texts a user typed for them; and the values once read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quarvel {
struct RunParameters;
struct DataSet;
}  // namespace quarvel

namespace quarvel::runs {

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
  season,
  box_cox,
  seasonal_difference,
  difference,
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
inline constexpr std::size_t kSettingCount = static_cast<std::size_t>(Setting::mutation) + 1;

enum class Scope { run, population };

// How a setting's text is read: a whole number, a decimal number, one of its
// choices' words (the window offers them as buttons), or a typed word: one of
// its choices' words, else a number where its check lets one pass.
enum class ValueKind { whole, number, choice, typed_choice };

// Where the window shows a setting: the box it sits in, in the table's order.
enum class Group {
  global,            // "Global Settings"
  mdl,               // "MDL Setting"
  population_count,  // the Populations tab's count
  population_sizes,  // a population page's first fields
  selection,         // "Selection Method"
  depth,             // "Depth of Tree"
  growth,            // "Growth Method"
  rates,             // "Rate of GP Operations"
  transforms,        // "Transforms of the Series"
};

// One of the values a choice offers: the runner's word, the window's caption
// and the engine's code.
struct Choice {
  std::string_view word;
  std::string_view caption;
  std::int32_t code;
};

// nullopt when the text passes, otherwise the message to show.
using TextCheck = std::optional<std::string> (*)(std::string_view);

// Writes a setting's value into what Start gives the engine; `population` is
// 0-based (0 for a run-wide setting).
using HandOver = void (*)(double value, std::size_t population, RunParameters& parameters,
                          DataSet& data);

struct SettingInfo {
  Setting id;
  Scope scope;
  ValueKind kind;
  Group group;
  std::string_view label;         // the window's caption of the field
  std::string_view option;        // the runner's option
  std::string_view default_text;  // the text a new window and the runner start from
  TextCheck check;                // the field check; choices check against their words
  std::span<const Choice> choices;
  std::string_view value_name;   // what --help shows as the option's value ("N", "X")
  std::string_view description;  // one line for --help
  std::string_view range;        // the values it takes, for tooltips ("1 or more")
  HandOver hand_over;            // nullptr: the engine does not take it
};

[[nodiscard]] std::span<const SettingInfo> settings_table();
[[nodiscard]] const SettingInfo& setting_info(Setting id);
// The setting of a runner option ("--elite"), or nullptr.
[[nodiscard]] const SettingInfo* find_option(std::string_view option);
// The caption of a group's box in the window.
[[nodiscard]] std::string_view group_caption(Group group);

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
inline constexpr std::string_view kNotAChoice = "It is not one of the offered choices.";

[[nodiscard]] std::optional<std::string> check_natural(std::string_view text);  // >= 1
// 1 to kMaxTerminals: a population keeps a name and a padded lag for each.
[[nodiscard]] std::optional<std::string> check_terminals(std::string_view text);
inline constexpr std::int32_t kMaxTerminals = 1000000;
[[nodiscard]] std::optional<std::string> check_overlap(std::string_view text);  // >= 0
[[nodiscard]] std::optional<std::string> check_weight(std::string_view text);   // > 0
[[nodiscard]] std::optional<std::string> check_rate(std::string_view text);     // >= 0
[[nodiscard]] std::optional<std::string> check_population_count(std::string_view text);
// 0 to kMaxForecastSteps.
[[nodiscard]] std::optional<std::string> check_forecast_steps(std::string_view text);
inline constexpr std::int32_t kMaxForecastSteps = 100000;

// The codes of the transforms' choices: "auto", "off" and "on" of the
// differences and the season; the Box–Cox power's "off" and "auto" outside
// the powers it takes, its "log" the power 0.
inline constexpr std::int32_t kAutomatic = -1;
inline constexpr std::int32_t kOff = 0;
inline constexpr std::int32_t kOn = 1;
inline constexpr std::int32_t kBoxCoxOff = -9;
inline constexpr std::int32_t kBoxCoxAutomatic = -8;
// A Box–Cox power from -1 to 2; a season of 0 (none) or more steps.
[[nodiscard]] std::optional<std::string> check_box_cox_power(std::string_view text);
[[nodiscard]] std::optional<std::string> check_season(std::string_view text);
// Passes nothing: a typed choice whose words are all it takes.
[[nodiscard]] std::optional<std::string> check_difference(std::string_view text);

// The check of any setting: its field check, or for a choice one of its words.
[[nodiscard]] std::optional<std::string> check_setting(Setting id, std::string_view text);
// The engine code of a choice's word.
[[nodiscard]] std::optional<std::int32_t> choice_code(Setting id, std::string_view word);
// The value of a text that passes the setting's check (a choice's engine
// code), else nullopt.
[[nodiscard]] std::optional<double> setting_value(Setting id, std::string_view text);

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

// The four rates of a population ("Rate of GP Operations"), in the table's order.
inline constexpr std::array<Setting, 4> kRates{Setting::crossover_function, Setting::crossover_any,
                                               Setting::copy, Setting::mutation};

// The four rates of a population, added in double, at most the
// single-precision value of 1.001.
[[nodiscard]] std::optional<std::string> check_rate_group(const SettingsTexts& settings,
                                                          int population);

// The settings once read, as numbers: what every reader after the checks
// takes, so that a text is read by its rule once. Whole numbers and choice
// codes are held exactly. A new set holds the defaults.
class RunSettings {
 public:
  RunSettings();

  // `population` (0-based) is ignored for a run-wide setting.
  [[nodiscard]] double value(Setting id, int population = 0) const;
  // A whole number or a choice's code.
  [[nodiscard]] std::int32_t whole(Setting id, int population = 0) const;
  [[nodiscard]] int population_count() const { return whole(Setting::populations); }
  // A run-wide setting, or a population setting for every population.
  void set(Setting id, double value);
  void set(Setting id, int population, double value);

  friend bool operator==(const RunSettings&, const RunSettings&) = default;

 private:
  std::array<double, kSettingCount> run_{};
  std::array<std::array<double, kSettingCount>, kMaxPopulations> pages_{};
};

// The largest lag a run's models read: the largest terminal table size of its
// populations.
[[nodiscard]] std::size_t largest_lag(const RunSettings& settings);

// The problem of the first setting that cannot be read.
struct SettingProblem {
  Setting setting;
  std::int32_t population = 0;  // 1-based for a population setting, else 0
  std::string message;          // the setting's own check message
};

// Reads the run-wide settings and the pages of the chosen populations into
// `settings` (the other pages keep their values), each by its check and each
// page's rates by check_rate_group (a problem of the rates names the first of
// them); on a problem `settings` is left as it was.
[[nodiscard]] std::optional<SettingProblem> read_settings(const SettingsTexts& texts,
                                                          RunSettings& settings);

// The text a value is recorded and shown by: a whole number in decimal, a
// number in the shortest decimal that reads back as the same double, a choice
// by its word.
[[nodiscard]] std::string setting_text(const RunSettings& settings, Setting id, int population = 0);

// The texts of read settings, every page included.
[[nodiscard]] SettingsTexts settings_texts(const RunSettings& settings);

}  // namespace quarvel::runs
