// The settings table and the field checks it names.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "runs/settings.h"

namespace quarvel::runs {
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

// A text is read once, by its setting's rule; every spelling the check takes
// gives the same value, and the recorded text is the plain one.
TEST(RunSettings, EverySpellingTheCheckTakesReadsAsItsPlainForm) {
  const char* const spellings[] = {"2", " 2", "+2", "02", "$2", "x2", "X2", "0x2"};
  for (const char* spelling : spellings) {
    for (const Setting id : {Setting::populations, Setting::generations, Setting::forecast_ahead}) {
      SettingsTexts texts;
      texts.set(id, spelling);
      ASSERT_EQ(check_setting(id, spelling), std::nullopt) << spelling;
      RunSettings settings;
      ASSERT_EQ(read_settings(texts, settings), std::nullopt) << spelling;
      EXPECT_EQ(settings.whole(id), 2) << spelling;
      EXPECT_EQ(setting_text(settings, id), "2") << spelling;
    }
  }
  SettingsTexts texts;
  texts.set(Setting::weight, " 5e-4 ");
  texts.set(Setting::copy, ".10");
  texts.set(Setting::mutation, "0.1");  // the rates add up to 1
  texts.set(Setting::selection, "fitness");
  RunSettings settings;
  ASSERT_EQ(read_settings(texts, settings), std::nullopt);
  EXPECT_EQ(settings.value(Setting::weight), 0.0005);
  EXPECT_EQ(setting_text(settings, Setting::weight), "0.0005");
  EXPECT_EQ(setting_text(settings, Setting::copy, 0), "0.1");
  EXPECT_EQ(settings.whole(Setting::selection, 0), 7);
  EXPECT_EQ(setting_text(settings, Setting::selection, 0), "fitness");
}

// The defaults read back to their own texts, so records and exported models of
// a run at the defaults keep their words.
TEST(RunSettings, DefaultsAreRecordedByTheirDefaultTexts) {
  const RunSettings defaults;
  for (const SettingInfo& info : settings_table()) {
    EXPECT_EQ(setting_text(defaults, info.id, 3), info.default_text) << info.option;
  }
  RunSettings read;
  EXPECT_EQ(read_settings(SettingsTexts{}, read), std::nullopt);
  EXPECT_EQ(read, defaults);
}

// Only the chosen populations' pages are read; a problem names the first
// setting that cannot be read and leaves the settings as they were.
TEST(RunSettings, AProblemNamesTheSettingAndChangesNothing) {
  SettingsTexts texts;
  texts.set(Setting::populations, "2");
  texts.set(Setting::elite, 2, "none");  // a page that is not read
  texts.set(Setting::generations, "7");
  RunSettings settings;
  ASSERT_EQ(read_settings(texts, settings), std::nullopt);
  EXPECT_EQ(settings.whole(Setting::generations), 7);
  texts.set(Setting::elite, 1, "0");
  texts.set(Setting::generations, "9");
  const auto problem = read_settings(texts, settings);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->setting, Setting::elite);
  EXPECT_EQ(problem->population, 2);
  EXPECT_EQ(problem->message, kNotNatural);
  EXPECT_EQ(settings.whole(Setting::generations), 7);
}

// The rates of each page read are checked together, as the field group and
// the runner check them: a sum above 1 is refused (naming the page's first
// rate), a page not read is not checked.
TEST(RunSettings, TheRatesOfAReadPageAddUpToAtMostOne) {
  SettingsTexts texts;
  texts.set(Setting::populations, "2");
  texts.set(Setting::copy, 2, "0.9");  // page 3 is not read
  RunSettings settings;
  ASSERT_EQ(read_settings(texts, settings), std::nullopt);
  texts.set(Setting::copy, 1, "0.5");  // the defaults' sum is 1: now 1.4 on page 2
  const auto problem = read_settings(texts, settings);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->setting, kRates.front());
  EXPECT_EQ(problem->population, 2);
  EXPECT_EQ(problem->message, kRateSum);
  EXPECT_EQ(settings.value(Setting::copy, 1), RunSettings{}.value(Setting::copy, 1));
}

// The one list of the rates is the settings table's group of rates.
TEST(SettingsTable, TheRatesAreTheGroupOfRates) {
  std::vector<Setting> group;
  for (const SettingInfo& info : settings_table()) {
    if (info.group == Group::rates) group.push_back(info.id);
  }
  EXPECT_EQ(group, std::vector<Setting>(kRates.begin(), kRates.end()));
}

}  // namespace
}  // namespace quarvel::runs
