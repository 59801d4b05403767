// The settings page of one population: size, terminals, selection, elite,
// tree depths, growth method and the rates of the genetic operations.
#pragma once

#include <QWidget>
#include <array>
#include <utility>

#include "frontend/settings.h"

class QGroupBox;
class QLineEdit;

namespace quarvel::ui {

class FieldChecker;
class RadioGroup;

class PopulationPage final : public QWidget {
  Q_OBJECT

 public:
  // `index` 0..3 is the population's.
  PopulationPage(int index, FieldChecker& checker, QWidget* parent = nullptr);

  [[nodiscard]] int index() const noexcept { return index_; }
  // This population's settings as typed and chosen, and back into the fields.
  void fill_settings(frontend::SettingsTexts& settings) const;
  void show_settings(const frontend::SettingsTexts& settings);

 private slots:
  // The tournament size counts only for tournament selection.
  void couple_tournament_size();

 private:
  // The text fields and the settings they hold.
  [[nodiscard]] std::array<std::pair<frontend::Setting, QLineEdit*>, 11> fields() const;

  int index_;
  QLineEdit* population_size_edit_ = nullptr;
  QLineEdit* terminals_edit_ = nullptr;
  RadioGroup* selection_group_ = nullptr;
  QLineEdit* tournament_size_edit_ = nullptr;
  QLineEdit* elite_edit_ = nullptr;
  QLineEdit* depth_new_edit_ = nullptr;
  QLineEdit* depth_crossover_edit_ = nullptr;
  QLineEdit* depth_mutant_edit_ = nullptr;
  RadioGroup* growth_group_ = nullptr;
  QGroupBox* rates_group_ = nullptr;
  QLineEdit* crossover_function_edit_ = nullptr;
  QLineEdit* crossover_any_edit_ = nullptr;
  QLineEdit* copy_edit_ = nullptr;
  QLineEdit* mutation_edit_ = nullptr;
};

}  // namespace quarvel::ui
