// "Populations": the number of populations and a settings page for each.
#pragma once

#include <QWidget>
#include <array>

#include "runs/settings.h"

class QComboBox;
class QTabWidget;

namespace quarvel::ui {

class FieldChecker;
class PopulationPage;
class UserDialogs;

class PopulationsTab final : public QWidget {
  Q_OBJECT

 public:
  PopulationsTab(FieldChecker& checker, UserDialogs& dialogs, QWidget* parent = nullptr);

  // The confirmed number of populations, 1 to 4.
  [[nodiscard]] int population_count() const noexcept { return population_count_; }
  [[nodiscard]] PopulationPage* page(int index) const;
  // The count and the pages of every population (shown or not).
  void fill_settings(runs::SettingsTexts& settings) const;
  // The count and every page from `settings`.
  void show_settings(const runs::SettingsTexts& settings);

 public slots:
  // Takes the count picked or typed into the box: the pages of the chosen
  // populations are shown; a count outside 1..4 is refused and the box reset.
  void apply_population_count();

 signals:
  void population_count_changed(int count);

 private:
  UserDialogs& dialogs_;
  QComboBox* population_count_box_ = nullptr;
  QTabWidget* pages_tabs_ = nullptr;
  std::array<PopulationPage*, runs::kMaxPopulations> pages_{};
  int population_count_ = 1;
  bool applying_ = false;
};

}  // namespace quarvel::ui
