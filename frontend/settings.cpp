#include "frontend/settings.h"

#include <algorithm>

#include "engine/parameters.h"
#include "frontend/numbertext.h"

namespace quarvel::frontend {

namespace {

constexpr Choice kRankChoices[] = {
    {"mdl", "Evaluate by MDL", 1},
    {"mse", "", 0},
};
constexpr Choice kSelectionChoices[] = {
    {"tournament", "Tournament", TOURNAMENT},
    {"overselect", "Overselect", OVERSELECT},
    {"fitness", "Fitness proportional", FITNESSPROP},
};
constexpr Choice kGrowthChoices[] = {
    {"grow", "GROW", GROW},
    {"ramped", "RAMPED", RAMPED},
};

constexpr SettingInfo kTable[] = {
    {Setting::generations,
     Scope::run,
     "Generation",
     "--generations",
     "50",
     check_natural,
     {},
     "N",
     "number of generations"},
    {Setting::seed,
     Scope::run,
     "Random Seed",
     "--seed",
     "1",
     check_natural,
     {},
     "N",
     "seed of the probability draws"},
    {Setting::value_limit,
     Scope::run,
     "Prediction Data Value Limit (normalized)",
     "--value-limit",
     "100",
     check_natural,
     {},
     "N",
     "bound of every two-input regressor, on the scaled values"},
    {Setting::overlap,
     Scope::run,
     "Overlap between Training and Validation",
     "--overlap",
     "119",
     check_overlap,
     {},
     "N",
     "validation points also in the training file (the runner detects it when not given)"},
    {Setting::rank_by, Scope::run, "Evaluate by MDL", "--rank-by", "mdl", nullptr, kRankChoices,
     "mdl|mse", "rank the individuals by MDL or by mean squared error"},
    {Setting::weight,
     Scope::run,
     "Weight",
     "--weight",
     "0.0005",
     check_weight,
     {},
     "X",
     "MDL weight of the coefficient count"},
    {Setting::weight_error,
     Scope::run,
     "Weight Error",
     "--weight-error",
     "0.0003",
     check_weight,
     {},
     "X",
     "MDL weight of the error"},
    {Setting::populations,
     Scope::run,
     "Number of Population",
     "--populations",
     "1",
     check_population_count,
     {},
     "P",
     "number of populations, 1 to 4"},
    {Setting::forecast_ahead,
     Scope::run,
     "Forecast ahead",
     "--forecast",
     "0",
     check_forecast_steps,
     {},
     "H",
     "steps each best tree forecasts past the last loaded point, after the run"},
    {Setting::population_size,
     Scope::population,
     "Population Size",
     "--population-size",
     "1000",
     check_natural,
     {},
     "N",
     "individuals per population"},
    {Setting::terminals,
     Scope::population,
     "Terminal table size",
     "--terminals",
     "100",
     check_natural,
     {},
     "N",
     "lagged inputs X1..XN a tree may use"},
    {Setting::selection, Scope::population, "Selection Method", "--selection", "tournament",
     nullptr, kSelectionChoices, "tournament|overselect|fitness", "selection method"},
    {Setting::tournament_size,
     Scope::population,
     "Tournament Size",
     "--tournament-size",
     "6",
     check_natural,
     {},
     "N",
     "entrants of a tournament"},
    {Setting::elite,
     Scope::population,
     "Number of Elite",
     "--elite",
     "10",
     check_natural,
     {},
     "N",
     "best individuals copied unchanged"},
    {Setting::depth_new,
     Scope::population,
     "Max Depth for new tree",
     "--depth-new",
     "6",
     check_natural,
     {},
     "N",
     "maximum depth of a new tree"},
    {Setting::depth_crossover,
     Scope::population,
     "Max depth after crossover",
     "--depth-crossover",
     "17",
     check_natural,
     {},
     "N",
     "maximum depth after crossover"},
    {Setting::depth_mutant,
     Scope::population,
     "Max mutant depth",
     "--depth-mutant",
     "10",
     check_natural,
     {},
     "N",
     "maximum depth of a mutation's new subtree"},
    {Setting::growth, Scope::population, "Growth Method", "--growth", "grow", nullptr,
     kGrowthChoices, "grow|ramped", "growth method of new trees"},
    {Setting::crossover_function,
     Scope::population,
     "Crossover at function node",
     "--crossover-function",
     "0.4",
     check_rate,
     {},
     "X",
     "rate of crossover at function nodes"},
    {Setting::crossover_any,
     Scope::population,
     "Crossover at any node",
     "--crossover-any",
     "0.4",
     check_rate,
     {},
     "X",
     "rate of crossover at any node"},
    {Setting::copy,
     Scope::population,
     "Copy",
     "--copy",
     "0",
     check_rate,
     {},
     "X",
     "rate of fitness-proportional copies"},
    {Setting::mutation,
     Scope::population,
     "Mutation",
     "--mutation",
     "0.2",
     check_rate,
     {},
     "X",
     "rate of mutation"},
};
static_assert(std::size(kTable) == kSettingCount);

constexpr bool table_in_enum_order() {
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    if (static_cast<std::size_t>(kTable[i].id) != i) return false;
  }
  return true;
}
static_assert(table_in_enum_order());

constexpr std::size_t index_of(Setting id) {
  return static_cast<std::size_t>(id);
}

}  // namespace

std::span<const SettingInfo> settings_table() {
  return kTable;
}

const SettingInfo& setting_info(Setting id) {
  return kTable[index_of(id)];
}

const SettingInfo* find_option(std::string_view option) {
  const auto found =
      std::find_if(std::begin(kTable), std::end(kTable),
                   [option](const SettingInfo& info) { return info.option == option; });
  return found == std::end(kTable) ? nullptr : found;
}

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

std::optional<std::string> check_population_count(std::string_view text) {
  const std::optional<std::int32_t> count = parse_whole_number(text);
  if (!count) return std::string(kPopulationCountNotWhole);
  if (*count < 1 || *count > kMaxPopulations) return std::string(kPopulationCountRange);
  return std::nullopt;
}

std::optional<std::string> check_forecast_steps(std::string_view text) {
  const std::optional<std::int32_t> steps = parse_whole_number(text);
  if (!steps || *steps < 0 || *steps > kMaxForecastSteps) {
    return "The value must be a whole number from 0 to " + std::to_string(kMaxForecastSteps) + ".";
  }
  return std::nullopt;
}

std::optional<std::int32_t> choice_code(Setting id, std::string_view word) {
  for (const Choice& choice : setting_info(id).choices) {
    if (choice.word == word) return choice.code;
  }
  return std::nullopt;
}

std::optional<std::string> check_setting(Setting id, std::string_view text) {
  const SettingInfo& info = setting_info(id);
  if (info.check != nullptr) return info.check(text);
  if (choice_code(id, text)) return std::nullopt;
  return std::string("It is not one of the offered choices.");
}

SettingsTexts::SettingsTexts() {
  for (const SettingInfo& info : kTable) {
    if (info.scope == Scope::run) {
      run_[index_of(info.id)] = info.default_text;
    } else {
      for (auto& page : pages_) page[index_of(info.id)] = info.default_text;
    }
  }
}

const std::string& SettingsTexts::text(Setting id, int population) const {
  if (setting_info(id).scope == Scope::run) return run_[index_of(id)];
  return pages_[static_cast<std::size_t>(population)][index_of(id)];
}

void SettingsTexts::set(Setting id, std::string text) {
  if (setting_info(id).scope == Scope::run) {
    run_[index_of(id)] = std::move(text);
    return;
  }
  for (auto& page : pages_) page[index_of(id)] = text;
}

void SettingsTexts::set(Setting id, int population, std::string text) {
  if (setting_info(id).scope == Scope::run) {
    run_[index_of(id)] = std::move(text);
    return;
  }
  pages_[static_cast<std::size_t>(population)][index_of(id)] = std::move(text);
}

std::optional<std::string> check_rate_group(const SettingsTexts& settings, int population) {
  double sum = 0.0;
  for (const Setting rate :
       {Setting::crossover_function, Setting::crossover_any, Setting::copy, Setting::mutation}) {
    const std::optional<double> value = parse_number(settings.text(rate, population));
    if (!value) return std::string(kRateNotFloat);
    sum += *value;
  }
  if (sum > static_cast<double>(1.001f)) return std::string(kRateSum);
  return std::nullopt;
}

}  // namespace quarvel::frontend
