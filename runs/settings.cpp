#include "runs/settings.h"

#include <algorithm>
#include <charconv>

#include "data/numbertext.h"
#include "engine/dataset.h"
#include "engine/parameters.h"

namespace quarvel::runs {

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
constexpr Choice kSeasonChoices[] = {
    {"auto", "Auto", kAutomatic},
};
constexpr Choice kBoxCoxChoices[] = {
    {"off", "Off", kBoxCoxOff},
    {"auto", "Auto", kBoxCoxAutomatic},
    {"log", "Log", 0},
};
constexpr Choice kDifferenceChoices[] = {
    {"off", "Off", kOff},
    {"auto", "Auto", kAutomatic},
    {"on", "On", kOn},
};
constexpr Choice kGrowthChoices[] = {
    {"grow", "GROW", GROW},
    {"ramped", "RAMPED", RAMPED},
};

// A whole number's value as the engine holds it (values are read exactly).
constexpr std::int32_t whole(double value) {
  return static_cast<std::int32_t>(value);
}

constexpr SettingInfo kTable[] = {
    {.id = Setting::generations,
     .scope = Scope::run,
     .kind = ValueKind::whole,
     .group = Group::global,
     .label = "Generation",
     .option = "--generations",
     .default_text = "50",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "number of generations",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t, RunParameters& p,
                     DataSet&) { p.number_of_generations = whole(v); }},
    {.id = Setting::seed,
     .scope = Scope::run,
     .kind = ValueKind::whole,
     .group = Group::global,
     .label = "Random Seed",
     .option = "--seed",
     .default_text = "1",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "seed of the probability draws",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t, RunParameters& p,
                     DataSet&) { p.random_seed = whole(v); }},
    {.id = Setting::value_limit,
     .scope = Scope::run,
     .kind = ValueKind::whole,
     .group = Group::global,
     .label = "Prediction Data Value Limit (normalized)",
     .option = "--value-limit",
     .default_text = "100",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "bound of every two-input regressor, on the scaled values",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t, RunParameters&, DataSet& d) { d.value_limit = v; }},
    {.id = Setting::overlap,
     .scope = Scope::run,
     .kind = ValueKind::whole,
     .group = Group::global,
     .label = "Overlap between Training and Validation",
     .option = "--overlap",
     .default_text = "119",
     .check = check_overlap,
     .choices = {},
     .value_name = "N",
     .description =
         "validation points also in the training file (the runner detects it when not given)",
     .range = "0 or more",
     .hand_over = [](double v, std::size_t, RunParameters&, DataSet& d) { d.overlap = whole(v); }},
    {.id = Setting::rank_by,
     .scope = Scope::run,
     .kind = ValueKind::choice,
     .group = Group::global,
     .label = "Evaluate by MDL",
     .option = "--rank-by",
     .default_text = "mdl",
     .check = nullptr,
     .choices = kRankChoices,
     .value_name = "mdl|mse",
     .description = "rank the individuals by MDL or by mean squared error",
     .range = "MDL, or mean squared error when unticked",
     .hand_over = [](double v, std::size_t, RunParameters& p,
                     DataSet&) { p.evaluate_by_mdl = whole(v); }},
    {.id = Setting::weight,
     .scope = Scope::run,
     .kind = ValueKind::number,
     .group = Group::mdl,
     .label = "Weight",
     .option = "--weight",
     .default_text = "0.0005",
     .check = check_weight,
     .choices = {},
     .value_name = "X",
     .description = "MDL weight of the coefficient count",
     .range = "greater than 0",
     .hand_over = [](double v, std::size_t, RunParameters& p, DataSet&) { p.mdl_weight = v; }},
    {.id = Setting::weight_error,
     .scope = Scope::run,
     .kind = ValueKind::number,
     .group = Group::mdl,
     .label = "Weight Error",
     .option = "--weight-error",
     .default_text = "0.0003",
     .check = check_weight,
     .choices = {},
     .value_name = "X",
     .description = "MDL weight of the error",
     .range = "greater than 0",
     .hand_over = [](double v, std::size_t, RunParameters& p,
                     DataSet&) { p.mdl_error_weight = v; }},
    {.id = Setting::populations,
     .scope = Scope::run,
     .kind = ValueKind::whole,
     .group = Group::population_count,
     .label = "Number of Population",
     .option = "--populations",
     .default_text = "1",
     .check = check_population_count,
     .choices = {},
     .value_name = "P",
     .description = "number of populations, 1 to 4",
     .range = "1 to 4",
     .hand_over = [](double v, std::size_t, RunParameters& p,
                     DataSet&) { p.number_of_populations = whole(v); }},
    {.id = Setting::forecast_ahead,
     .scope = Scope::run,
     .kind = ValueKind::whole,
     .group = Group::global,
     .label = "Forecast ahead",
     .option = "--forecast",
     .default_text = "0",
     .check = check_forecast_steps,
     .choices = {},
     .value_name = "H",
     .description = "steps each best tree forecasts past the last loaded point, after the run",
     .range = "0 to 100000",
     .hand_over = nullptr},
    {.id = Setting::season,
     .scope = Scope::run,
     .kind = ValueKind::typed_choice,
     .group = Group::transforms,
     .label = "Season",
     .option = "--season",
     .default_text = "auto",
     .check = check_season,
     .choices = kSeasonChoices,
     .value_name = "auto|M",
     .description = "steps in a season, for the seasonal difference and the seasonal naive "
                    "benchmark; auto: the table's time step tells (12 monthly, 4 quarterly, 7 "
                    "daily, 24 hourly), none for two files",
     .range = "auto, or 0 (none) or more steps",
     .hand_over = nullptr},
    {.id = Setting::box_cox,
     .scope = Scope::run,
     .kind = ValueKind::typed_choice,
     .group = Group::transforms,
     .label = "Box-Cox",
     .option = "--boxcox",
     .default_text = "off",
     .check = check_box_cox_power,
     .choices = kBoxCoxChoices,
     .value_name = "off|auto|log|X",
     .description = "power transform of the series before it is modelled: auto takes the log "
                    "where the spread grows with the level",
     .range = "off, auto, log, or a power from -1 to 2",
     .hand_over = nullptr},
    {.id = Setting::seasonal_difference,
     .scope = Scope::run,
     .kind = ValueKind::typed_choice,
     .group = Group::transforms,
     .label = "Seasonal difference",
     .option = "--seasonal-difference",
     .default_text = "off",
     .check = check_difference,
     .choices = kDifferenceChoices,
     .value_name = "off|auto|on",
     .description = "difference of the values a season apart: auto takes it where the season "
                    "is strong",
     .range = "off, auto or on",
     .hand_over = nullptr},
    {.id = Setting::difference,
     .scope = Scope::run,
     .kind = ValueKind::typed_choice,
     .group = Group::transforms,
     .label = "First difference",
     .option = "--difference",
     .default_text = "off",
     .check = check_difference,
     .choices = kDifferenceChoices,
     .value_name = "off|auto|on",
     .description = "difference of consecutive values: auto takes it where a linear "
                    "autoregression forecasts the training part better so, never on top of "
                    "an automatic seasonal difference",
     .range = "off, auto or on",
     .hand_over = nullptr},
    {.id = Setting::population_size,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::population_sizes,
     .label = "Population Size",
     .option = "--population-size",
     .default_text = "1000",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "individuals per population",
     .range = "1 or more; at least 1000 with overselection",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.population_size[k] = whole(v); }},
    {.id = Setting::terminals,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::population_sizes,
     .label = "Terminal table size",
     .option = "--terminals",
     .default_text = "100",
     .check = check_terminals,
     .choices = {},
     .value_name = "N",
     .description = "lagged inputs X1..XN a tree may use",
     .range = "1 to 1000000",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.terminal_table_size[k] = whole(v); }},
    {.id = Setting::selection,
     .scope = Scope::population,
     .kind = ValueKind::choice,
     .group = Group::selection,
     .label = "Selection Method",
     .option = "--selection",
     .default_text = "tournament",
     .check = nullptr,
     .choices = kSelectionChoices,
     .value_name = "tournament|overselect|fitness",
     .description = "selection method",
     .range = "tournament, overselection or fitness proportional",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.selection_method[k] = whole(v); }},
    {.id = Setting::tournament_size,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::selection,
     .label = "Tournament Size",
     .option = "--tournament-size",
     .default_text = "6",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "entrants of a tournament",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.tournament_K[k] = whole(v); }},
    {.id = Setting::elite,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::selection,
     .label = "Number of Elite",
     .option = "--elite",
     .default_text = "10",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "best individuals copied unchanged",
     .range = "1 to the population size",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.elite_size[k] = whole(v); }},
    {.id = Setting::depth_new,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::depth,
     .label = "Max Depth for new tree",
     .option = "--depth-new",
     .default_text = "6",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "maximum depth of a new tree",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.max_depth_for_new_trees[k] = whole(v); }},
    {.id = Setting::depth_crossover,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::depth,
     .label = "Max depth after crossover",
     .option = "--depth-crossover",
     .default_text = "17",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "maximum depth after crossover",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.max_depth_after_crossover[k] = whole(v); }},
    {.id = Setting::depth_mutant,
     .scope = Scope::population,
     .kind = ValueKind::whole,
     .group = Group::depth,
     .label = "Max mutant depth",
     .option = "--depth-mutant",
     .default_text = "10",
     .check = check_natural,
     .choices = {},
     .value_name = "N",
     .description = "maximum depth of a mutation's new subtree",
     .range = "1 or more",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.max_mutant_depth[k] = whole(v); }},
    {.id = Setting::growth,
     .scope = Scope::population,
     .kind = ValueKind::choice,
     .group = Group::growth,
     .label = "Growth Method",
     .option = "--growth",
     .default_text = "grow",
     .check = nullptr,
     .choices = kGrowthChoices,
     .value_name = "grow|ramped",
     .description = "growth method of new trees",
     .range = "GROW or RAMPED",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.grow_method[k] = whole(v); }},
    {.id = Setting::crossover_function,
     .scope = Scope::population,
     .kind = ValueKind::number,
     .group = Group::rates,
     .label = "Crossover at function node",
     .option = "--crossover-function",
     .default_text = "0.4",
     .check = check_rate,
     .choices = {},
     .value_name = "X",
     .description = "rate of crossover at function nodes",
     .range = "0 or more; the four rates add up to at most 1",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.crossover_func_pt_fraction[k] = static_cast<float>(v); }},
    {.id = Setting::crossover_any,
     .scope = Scope::population,
     .kind = ValueKind::number,
     .group = Group::rates,
     .label = "Crossover at any node",
     .option = "--crossover-any",
     .default_text = "0.4",
     .check = check_rate,
     .choices = {},
     .value_name = "X",
     .description = "rate of crossover at any node",
     .range = "0 or more; the four rates add up to at most 1",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.crossover_any_pt_fraction[k] = static_cast<float>(v); }},
    {.id = Setting::copy,
     .scope = Scope::population,
     .kind = ValueKind::number,
     .group = Group::rates,
     .label = "Copy",
     .option = "--copy",
     .default_text = "0",
     .check = check_rate,
     .choices = {},
     .value_name = "X",
     .description = "rate of fitness-proportional copies",
     .range = "0 or more; the four rates add up to at most 1",
     .hand_over = [](double v, std::size_t k, RunParameters& p,
                     DataSet&) { p.fitness_prop_repro_fraction[k] = static_cast<float>(v); }},
    {.id = Setting::mutation,
     .scope = Scope::population,
     .kind = ValueKind::number,
     .group = Group::rates,
     .label = "Mutation",
     .option = "--mutation",
     .default_text = "0.2",
     .check = check_rate,
     .choices = {},
     .value_name = "X",
     .description = "rate of mutation",
     .range = "0 or more; the four rates add up to at most 1",
     .hand_over = nullptr},
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

constexpr std::string_view kGroupCaptions[] = {
    "Global Settings", "MDL Setting",           "Number of Population",
    "Population Size", "Selection Method",      "Depth of Tree",
    "Growth Method",   "Rate of GP Operations", "Transforms of the Series",
};
static_assert(std::size(kGroupCaptions) == static_cast<std::size_t>(Group::transforms) + 1);

}  // namespace

std::string_view group_caption(Group group) {
  return kGroupCaptions[static_cast<std::size_t>(group)];
}

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
  const std::optional<std::int32_t> value = data::parse_whole_number(text);
  if (value && *value >= 1) return std::nullopt;
  return std::string(kNotNatural);
}

std::optional<std::string> check_terminals(std::string_view text) {
  const std::optional<std::int32_t> value = data::parse_whole_number(text);
  if (value && *value >= 1 && *value <= kMaxTerminals) return std::nullopt;
  return "The value must be a whole number from 1 to " + std::to_string(kMaxTerminals) + ".";
}

std::optional<std::string> check_overlap(std::string_view text) {
  const std::optional<std::int32_t> value = data::parse_whole_number(text);
  if (value && *value >= 0) return std::nullopt;
  return std::string(kNotNatural);
}

std::optional<std::string> check_weight(std::string_view text) {
  const std::optional<double> value = data::parse_number(text);
  if (!value) return std::string(kNotFloat);
  if (!(*value > 0.0)) return std::string(kNotPositive);
  return std::nullopt;
}

std::optional<std::string> check_rate(std::string_view text) {
  const std::optional<double> value = data::parse_number(text);
  if (!value) return std::string(kNotFloat);
  if (*value < 0.0) return std::string(kNegativeRate);
  return std::nullopt;
}

std::optional<std::string> check_population_count(std::string_view text) {
  const std::optional<std::int32_t> count = data::parse_whole_number(text);
  if (!count) return std::string(kPopulationCountNotWhole);
  if (*count < 1 || *count > kMaxPopulations) return std::string(kPopulationCountRange);
  return std::nullopt;
}

std::optional<std::string> check_forecast_steps(std::string_view text) {
  const std::optional<std::int32_t> steps = data::parse_whole_number(text);
  if (!steps || *steps < 0 || *steps > kMaxForecastSteps) {
    return "The value must be a whole number from 0 to " + std::to_string(kMaxForecastSteps) + ".";
  }
  return std::nullopt;
}

std::optional<std::string> check_box_cox_power(std::string_view text) {
  const std::optional<double> value = data::parse_number(text);
  if (value && *value >= -1.0 && *value <= 2.0) return std::nullopt;
  return std::string("The value must be off, auto, log, or a power from -1 to 2.");
}

std::optional<std::string> check_season(std::string_view text) {
  const std::optional<std::int32_t> value = data::parse_whole_number(text);
  if (value && *value >= 0) return std::nullopt;
  return std::string("The value must be auto, or a whole number of steps, 0 for none.");
}

std::optional<std::string> check_difference(std::string_view) {
  return std::string("The value must be off, auto or on.");
}

std::optional<std::int32_t> choice_code(Setting id, std::string_view word) {
  for (const Choice& choice : setting_info(id).choices) {
    if (choice.word == word) return choice.code;
  }
  return std::nullopt;
}

std::optional<std::string> check_setting(Setting id, std::string_view text) {
  const SettingInfo& info = setting_info(id);
  if (info.kind != ValueKind::number && info.kind != ValueKind::whole && choice_code(id, text)) {
    return std::nullopt;
  }
  if (info.check != nullptr) return info.check(text);
  return std::string(kNotAChoice);
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
  for (const Setting rate : kRates) {
    const std::optional<double> value = data::parse_number(settings.text(rate, population));
    if (!value) return std::string(kRateNotFloat);
    sum += *value;
  }
  if (sum > static_cast<double>(1.001f)) return std::string(kRateSum);
  return std::nullopt;
}

std::optional<double> setting_value(Setting id, std::string_view text) {
  if (check_setting(id, text)) return std::nullopt;
  switch (setting_info(id).kind) {
    case ValueKind::whole:
      return *data::parse_whole_number(text);
    case ValueKind::number:
      return *data::parse_number(text);
    case ValueKind::choice:
      return *choice_code(id, text);
    case ValueKind::typed_choice:
      if (const std::optional<std::int32_t> code = choice_code(id, text)) return *code;
      return *data::parse_number(text);
  }
  return std::nullopt;
}

std::size_t largest_lag(const RunSettings& settings) {
  std::size_t lag = 0;
  for (int p = 0; p < settings.population_count(); ++p) {
    lag = std::max(lag, static_cast<std::size_t>(settings.whole(Setting::terminals, p)));
  }
  return lag;
}

RunSettings::RunSettings() {
  for (const SettingInfo& info : kTable) set(info.id, *setting_value(info.id, info.default_text));
}

double RunSettings::value(Setting id, int population) const {
  if (setting_info(id).scope == Scope::run) return run_[index_of(id)];
  return pages_[static_cast<std::size_t>(population)][index_of(id)];
}

std::int32_t RunSettings::whole(Setting id, int population) const {
  return runs::whole(value(id, population));
}

void RunSettings::set(Setting id, double value) {
  if (setting_info(id).scope == Scope::run) {
    run_[index_of(id)] = value;
    return;
  }
  for (auto& page : pages_) page[index_of(id)] = value;
}

void RunSettings::set(Setting id, int population, double value) {
  if (setting_info(id).scope == Scope::run) {
    run_[index_of(id)] = value;
    return;
  }
  pages_[static_cast<std::size_t>(population)][index_of(id)] = value;
}

std::optional<SettingProblem> read_settings(const SettingsTexts& texts, RunSettings& settings) {
  RunSettings read = settings;
  // The count first: it says which pages are read.
  const auto count_value = setting_value(Setting::populations, texts.text(Setting::populations));
  if (!count_value) {
    return SettingProblem{Setting::populations, 0,
                          *check_setting(Setting::populations, texts.text(Setting::populations))};
  }
  const auto count = static_cast<int>(*count_value);
  for (const SettingInfo& info : kTable) {
    const int pages = info.scope == Scope::run ? 1 : count;
    for (int k = 0; k < pages; ++k) {
      const std::string& text = texts.text(info.id, k);
      const std::optional<double> value = setting_value(info.id, text);
      if (!value) {
        return SettingProblem{info.id, info.scope == Scope::run ? 0 : k + 1,
                              *check_setting(info.id, text)};
      }
      read.set(info.id, k, *value);
    }
  }
  // The rates of a population are read together too: the engine draws its
  // operations from their sum.
  for (int k = 0; k < count; ++k) {
    if (auto message = check_rate_group(texts, k)) {
      return SettingProblem{kRates.front(), k + 1, std::move(*message)};
    }
  }
  settings = read;
  return std::nullopt;
}

std::string setting_text(const RunSettings& settings, Setting id, int population) {
  const SettingInfo& info = setting_info(id);
  const double value = settings.value(id, population);
  switch (info.kind) {
    case ValueKind::whole:
      return std::to_string(whole(value));
    case ValueKind::typed_choice:
      for (const Choice& choice : info.choices) {
        if (static_cast<double>(choice.code) == value) return std::string(choice.word);
      }
      [[fallthrough]];
    case ValueKind::number: {
      char text[32];
      const auto result =
          std::to_chars(std::begin(text), std::end(text), value, std::chars_format::general);
      return {std::begin(text), result.ptr};
    }
    case ValueKind::choice:
      for (const Choice& choice : info.choices) {
        if (choice.code == whole(value)) return std::string(choice.word);
      }
      break;
  }
  return {};
}

SettingsTexts settings_texts(const RunSettings& settings) {
  SettingsTexts texts;
  for (const SettingInfo& info : kTable) {
    const int pages = info.scope == Scope::run ? 1 : kMaxPopulations;
    for (int k = 0; k < pages; ++k) texts.set(info.id, k, setting_text(settings, info.id, k));
  }
  return texts;
}

}  // namespace quarvel::runs
