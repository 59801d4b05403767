// Settings handed over at Start, and the Start path with its refusals.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "runs/startrun.h"

namespace quarvel::runs {
namespace {

TEST(TransferSettings, HandsTheDefaultsOver) {
  RunParameters parameters{};
  set_default_parameters(parameters);
  DataSet data;
  const StartOutcome outcome = transfer_settings(SettingsTexts{}, parameters, data);
  ASSERT_EQ(outcome.error, StartError::none) << outcome.message;
  EXPECT_EQ(parameters.number_of_populations, 1);
  EXPECT_EQ(parameters.number_of_generations, 50);
  EXPECT_EQ(parameters.random_seed, 1);
  EXPECT_EQ(parameters.evaluate_by_mdl, 1);
  EXPECT_EQ(parameters.mdl_weight, 0.0005);
  EXPECT_EQ(parameters.mdl_error_weight, 0.0003);
  EXPECT_EQ(parameters.population_size[0], 1000);
  EXPECT_EQ(parameters.terminal_table_size[0], 100);
  EXPECT_EQ(parameters.selection_method[0], TOURNAMENT);
  EXPECT_EQ(parameters.tournament_K[0], 6);
  EXPECT_EQ(parameters.elite_size[0], 10);
  EXPECT_EQ(parameters.max_depth_for_new_trees[0], 6);
  EXPECT_EQ(parameters.max_depth_after_crossover[0], 17);
  EXPECT_EQ(parameters.max_mutant_depth[0], 10);
  EXPECT_EQ(parameters.grow_method[0], GROW);
  EXPECT_EQ(parameters.crossover_func_pt_fraction[0], 0.4f);
  EXPECT_EQ(parameters.crossover_any_pt_fraction[0], 0.4f);
  EXPECT_EQ(parameters.fitness_prop_repro_fraction[0], 0.0f);
  EXPECT_EQ(data.value_limit, 100.0);
  EXPECT_EQ(data.overlap, 119);
  // Entries of populations that take no part keep their values.
  EXPECT_EQ(parameters.population_size[1], 100);
  EXPECT_EQ(parameters.elite_size[1], 2);
}

struct RefusalCase {
  const char* name;
  void (*edit)(SettingsTexts&);
  StartError error;
  std::int32_t population;
  Setting setting;           // expected StartOutcome::setting
  const char* message_part;  // must appear in the message
};

TEST(TransferSettings, RefusesAndLeavesParametersAndDataUntouched) {
  const RefusalCase cases[] = {
      {"overselect below 1000",
       [](SettingsTexts& s) {
         s.set(Setting::populations, "2");
         s.set(Setting::selection, 1, "overselect");
         s.set(Setting::population_size, 1, "999");
       },
       StartError::overselect_too_small, 2, Setting::population_size,
       "Population size must be bigger than 999"},
      {"elite above population size",
       [](SettingsTexts& s) { s.set(Setting::population_size, 0, "9"); },
       StartError::elite_too_large, 1, Setting::elite, "population 1"},
      {"unreadable generation", [](SettingsTexts& s) { s.set(Setting::generations, "5x"); },
       StartError::unreadable_setting, 0, Setting::generations, "\"Generation\""},
      {"zero population size",
       [](SettingsTexts& s) {
         s.set(Setting::populations, "3");
         s.set(Setting::population_size, 2, "0");
       },
       StartError::unreadable_setting, 3, Setting::population_size, "population 3"},
      {"empty depth",
       [](SettingsTexts& s) {
         s.set(Setting::populations, "2");
         s.set(Setting::depth_mutant, 1, "");
       },
       StartError::unreadable_setting, 2, Setting::depth_mutant,
       "The value must be a natural number."},
      {"weight zero", [](SettingsTexts& s) { s.set(Setting::weight_error, "0"); },
       StartError::unreadable_setting, 0, Setting::weight_error, "greater than 0"},
      {"negative rate", [](SettingsTexts& s) { s.set(Setting::copy, 0, "-0.1"); },
       StartError::unreadable_setting, 1, Setting::copy, "negative"},
      {"rates above 1", [](SettingsTexts& s) { s.set(Setting::copy, 0, "0.5"); },
       StartError::unreadable_setting, 1, Setting::crossover_function,
       "The \"Rate of GP Operations\" of population 1 cannot be used: Sum of the Rate of GP "
       "Operation must be lower than 1. Please correct them"},
      {"unknown selection", [](SettingsTexts& s) { s.set(Setting::selection, 0, "roulette"); },
       StartError::unreadable_setting, 1, Setting::selection, "offered choices"},
      {"unknown ranking", [](SettingsTexts& s) { s.set(Setting::rank_by, "size"); },
       StartError::unreadable_setting, 0, Setting::rank_by, "offered choices"},
      {"five populations", [](SettingsTexts& s) { s.set(Setting::populations, "5"); },
       StartError::unreadable_setting, 0, Setting::populations, "1, 2, 3 or 4"},
      {"no population", [](SettingsTexts& s) { s.set(Setting::populations, "0"); },
       StartError::unreadable_setting, 0, Setting::populations, "1, 2, 3 or 4"},
  };
  for (const RefusalCase& c : cases) {
    SettingsTexts settings;
    c.edit(settings);
    RunParameters parameters{};
    set_default_parameters(parameters);
    const RunParameters before = parameters;
    DataSet data;
    data.overlap = 7;
    const StartOutcome outcome = transfer_settings(settings, parameters, data);
    EXPECT_EQ(outcome.error, c.error) << c.name;
    EXPECT_EQ(outcome.population, c.population) << c.name;
    EXPECT_EQ(outcome.setting, c.setting) << c.name;
    EXPECT_NE(outcome.message.find(c.message_part), std::string::npos)
        << c.name << ": " << outcome.message;
    EXPECT_EQ(parameters, before) << c.name;
    EXPECT_EQ(data.overlap, 7) << c.name;
  }
}

TEST(TransferSettings, ReadsOnlyThePagesOfTheChosenPopulations) {
  SettingsTexts settings;
  settings.set(Setting::selection, 1, "overselect");
  settings.set(Setting::population_size, 1, "999");
  settings.set(Setting::population_size, 0, "10");  // elite equal to the size passes
  RunParameters parameters{};
  set_default_parameters(parameters);
  DataSet data;
  EXPECT_EQ(transfer_settings(settings, parameters, data).error, StartError::none);
  settings.set(Setting::population_size, 1, "1000");
  settings.set(Setting::populations, "2");
  EXPECT_EQ(transfer_settings(settings, parameters, data).error, StartError::none);
  EXPECT_EQ(parameters.selection_method[1], OVERSELECT);
  EXPECT_EQ(parameters.population_size[1], 1000);
}

data::GridColumns grid_of(const std::vector<std::string>& values, std::int64_t first_time) {
  data::GridColumns grid;
  for (std::size_t i = 0; i < values.size(); ++i) {
    grid.time.push_back(std::to_string(first_time + static_cast<std::int64_t>(i)));
    grid.value.push_back(values[i]);
  }
  return grid;
}

SettingsTexts small_settings(int populations = 1) {
  SettingsTexts settings;
  settings.set(Setting::generations, "2");
  settings.set(Setting::overlap, "1");
  settings.set(Setting::populations, std::to_string(populations));
  settings.set(Setting::population_size, "20");
  settings.set(Setting::elite, "2");
  settings.set(Setting::terminals, "3");
  settings.set(Setting::depth_new, "3");
  return settings;
}

TEST(StartRun, HandsTheCellValuesToTheEngineScaled) {
  auto engine = std::make_unique<Engine>();
  const data::GridColumns training = grid_of({"1", "3", "2", "5"}, 0);
  const data::GridColumns validation = grid_of({"5", "4", "9"}, 4);
  const StartOutcome outcome = start_run(*engine, training, validation, small_settings(2));
  ASSERT_EQ(outcome.error, StartError::none) << outcome.message;
  EXPECT_EQ(engine->data.training_count, 4);
  EXPECT_EQ(engine->data.point_count, 7);
  EXPECT_EQ(engine->data.overlap, 1);
  const std::vector<double> scaled(engine->data.values.begin(), engine->data.values.begin() + 7);
  EXPECT_EQ(scaled, (std::vector<double>{0, 0.25, 0.125, 0.5, 0.5, 0.375, 1}));
  EXPECT_EQ(engine->population_count, 2);
  ASSERT_EQ(engine->populations.size(), 2u);
  EXPECT_EQ(engine->populations[1].population_size, 20);
  EXPECT_EQ(engine->populations[0].terminal_table.size(), 3);
  EXPECT_EQ(engine->parameters.number_of_generations, 2);
}

TEST(StartRun, RefusesWithoutTouchingTheEnginesRunState) {
  auto engine = std::make_unique<Engine>();
  // A first, successful Start: the refusals below must leave its state alone.
  ASSERT_EQ(
      start_run(*engine, grid_of({"1", "2", "3"}, 0), grid_of({"3", "4"}, 3), small_settings())
          .error,
      StartError::none);
  const std::vector<double> values = engine->data.values;
  const std::int32_t point_count = engine->data.point_count;
  const std::int32_t generations = engine->parameters.number_of_generations;

  const std::vector<std::string> many(30000, "1");
  std::vector<std::string> others(10001, "2");
  struct Case {
    const char* name;
    data::GridColumns training;
    data::GridColumns validation;
    SettingsTexts settings;
    StartError error;
    const char* message_part;
  };
  SettingsTexts elite = small_settings();
  elite.set(Setting::elite, 0, "21");
  SettingsTexts unreadable = small_settings();
  unreadable.set(Setting::generations, "");
  const Case cases[] = {
      {"training cell", grid_of({"1", "x"}, 0), grid_of({"3"}, 2), small_settings(),
       StartError::training_invalid, "Loaded Training Data contains Invalid Value."},
      {"validation cell", grid_of({"1", "2"}, 0), grid_of({"INF"}, 2), small_settings(),
       StartError::validation_invalid, "Loaded Validation Data contains Invalid Value."},
      {"empty training", grid_of({}, 0), grid_of({"3"}, 0), small_settings(),
       StartError::training_invalid, "Training"},
      {"empty validation", grid_of({"1", "2"}, 0), grid_of({}, 2), small_settings(),
       StartError::validation_invalid, "Validation"},
      {"all values equal", grid_of({"4", "4"}, 0), grid_of({"4"}, 2), small_settings(),
       StartError::constant_series, "equal"},
      {"range beyond double", grid_of({"-1E308", "1E308"}, 0), grid_of({"0"}, 2), small_settings(),
       StartError::non_finite_series, "range"},
      {"more than 40000 values", grid_of(many, 0), grid_of(others, 30000), small_settings(),
       StartError::too_many_values, "40001"},
      {"elite", grid_of({"1", "2"}, 0), grid_of({"3"}, 2), elite, StartError::elite_too_large,
       "population 1"},
      {"unreadable setting", grid_of({"1", "2"}, 0), grid_of({"3"}, 2), unreadable,
       StartError::unreadable_setting, "Generation"},
  };
  for (const Case& c : cases) {
    const StartOutcome outcome = start_run(*engine, c.training, c.validation, c.settings);
    EXPECT_EQ(outcome.error, c.error) << c.name;
    EXPECT_NE(outcome.message.find(c.message_part), std::string::npos)
        << c.name << ": " << outcome.message;
    EXPECT_EQ(engine->data.values, values) << c.name;
    EXPECT_EQ(engine->data.point_count, point_count) << c.name;
    EXPECT_EQ(engine->parameters.number_of_generations, generations) << c.name;
  }
}

TEST(StartRun, ExactlyFortyThousandValuesAreAccepted) {
  auto engine = std::make_unique<Engine>();
  std::vector<std::string> training(39999);
  for (std::size_t i = 0; i < training.size(); ++i) training[i] = std::to_string(i % 7);
  const StartOutcome outcome =
      start_run(*engine, grid_of(training, 0), grid_of({"3"}, 39999), small_settings());
  EXPECT_EQ(outcome.error, StartError::none) << outcome.message;
  EXPECT_EQ(engine->data.point_count, 40000);
}

}  // namespace
}  // namespace quarvel::runs
