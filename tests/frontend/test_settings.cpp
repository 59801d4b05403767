// The settings table and the field checks it names.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

#include "frontend/settings.h"

namespace quarvel::frontend {
namespace {

using Check = std::optional<std::string> (*)(std::string_view);

struct CheckCase {
  const char* name;
  Check check;
  const char* text;
  std::optional<std::string_view> message;
};

TEST(FieldChecks, AcceptOrNameTheProblem) {
  const CheckCase cases[] = {
      {"natural", check_natural, "50", std::nullopt},
      {"natural", check_natural, "0", kNotNatural},
      {"natural", check_natural, "-3", kNotNatural},
      {"natural", check_natural, "abc", kNotNatural},
      {"natural", check_natural, "", kNotNatural},
      {"natural", check_natural, "2.5", kNotNatural},
      {"overlap", check_overlap, "0", std::nullopt},
      {"overlap", check_overlap, "119", std::nullopt},
      {"overlap", check_overlap, "-1", kNotNatural},
      {"weight", check_weight, "0.0005", std::nullopt},
      {"weight", check_weight, "0", kNotPositive},
      {"weight", check_weight, "-1", kNotPositive},
      {"weight", check_weight, "x", kNotFloat},
      {"weight", check_weight, "", kNotFloat},
      {"rate", check_rate, "0", std::nullopt},
      {"rate", check_rate, "0.4", std::nullopt},
      {"rate", check_rate, "-0.1", kNegativeRate},
      {"rate", check_rate, "INF", kNotFloat},
      {"population count", check_population_count, "4", std::nullopt},
      {"population count", check_population_count, "5", kPopulationCountRange},
      {"population count", check_population_count, "0", kPopulationCountRange},
      {"population count", check_population_count, "two", kPopulationCountNotWhole},
  };
  for (const CheckCase& c : cases) {
    const std::optional<std::string> result = c.check(c.text);
    if (c.message) {
      EXPECT_EQ(result, std::string(*c.message)) << c.name << " \"" << c.text << '"';
    } else {
      EXPECT_EQ(result, std::nullopt) << c.name << " \"" << c.text << '"';
    }
  }
}

TEST(FieldChecks, RateGroupSumIsAtMostSinglePrecision1001) {
  struct RateCase {
    std::array<const char*, 4> rates;
    std::optional<std::string_view> message;
  };
  const RateCase cases[] = {
      {{"0.4", "0.4", "0", "0.2"}, std::nullopt},      {{"0.4", "0.4", "0.1", "0.1"}, std::nullopt},
      {{"0.4", "0.4", "0.1", "0.1009"}, std::nullopt},  // above 1 by less than a thousandth
      {{"0.4", "0.4", "0.1", "0.101"}, std::nullopt},   // 1.001 itself: below float(1.001)
      {{"0.4", "0.4", "0.1", "0.10101"}, kRateSum},    {{"0.4", "0.4", "0.2", "0.2"}, kRateSum},
      {{"0.4", "x", "0", "0.2"}, kRateNotFloat},       {{"0.4", "0.4", "0", ""}, kRateNotFloat},
  };
  for (const RateCase& c : cases) {
    SettingsTexts settings;
    settings.set(Setting::crossover_function, 1, c.rates[0]);
    settings.set(Setting::crossover_any, 1, c.rates[1]);
    settings.set(Setting::copy, 1, c.rates[2]);
    settings.set(Setting::mutation, 1, c.rates[3]);
    const std::optional<std::string> result = check_rate_group(settings, 1);
    if (c.message) {
      EXPECT_EQ(result, std::string(*c.message)) << c.rates[3];
    } else {
      EXPECT_EQ(result, std::nullopt) << c.rates[3];
    }
  }
}

// Every setting's default passes its own check, every option is unique and
// found again, and the table is what SettingsTexts starts from.
TEST(SettingsTable, DefaultsPassTheirChecksAndOptionsAreUnique) {
  std::set<std::string_view> options;
  const SettingsTexts defaults;
  for (const SettingInfo& info : settings_table()) {
    EXPECT_EQ(check_setting(info.id, info.default_text), std::nullopt) << info.option;
    EXPECT_TRUE(options.insert(info.option).second) << info.option;
    EXPECT_EQ(find_option(info.option), &info);
    EXPECT_FALSE(info.label.empty()) << info.option;
    EXPECT_EQ(defaults.text(info.id, 3), info.default_text) << info.option;
  }
  EXPECT_EQ(find_option("--no-such-option"), nullptr);
}

TEST(SettingsTable, ChoicesMapWordsToEngineCodes) {
  EXPECT_EQ(choice_code(Setting::selection, "overselect"), 6);
  EXPECT_EQ(choice_code(Setting::growth, "ramped"), 4);
  EXPECT_EQ(choice_code(Setting::rank_by, "mse"), 0);
  EXPECT_EQ(choice_code(Setting::selection, "roulette"), std::nullopt);
  EXPECT_NE(check_setting(Setting::growth, "full"), std::nullopt);
}

TEST(SettingsTexts, RunSettingsAreSharedAndPopulationSettingsKeptApart) {
  SettingsTexts settings;
  settings.set(Setting::elite, "3");
  settings.set(Setting::elite, 2, "7");
  settings.set(Setting::generations, 3, "9");  // a run-wide setting ignores the population
  EXPECT_EQ(settings.text(Setting::elite, 0), "3");
  EXPECT_EQ(settings.text(Setting::elite, 2), "7");
  EXPECT_EQ(settings.text(Setting::generations, 1), "9");
}

}  // namespace
}  // namespace quarvel::frontend
