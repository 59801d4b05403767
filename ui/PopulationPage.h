// The settings page of one population: size, terminals, selection, elite,
// tree depths, growth method and the rates of the genetic operations.
#pragma once

#include <QWidget>

#include "runs/settings.h"
#include "ui/SettingsFields.h"

class QGroupBox;

namespace quarvel::ui {

class FieldChecker;

class PopulationPage final : public QWidget {
  Q_OBJECT

 public:
  // `index` 0..3 is the population's.
  PopulationPage(int index, FieldChecker& checker, QWidget* parent = nullptr);

  [[nodiscard]] int index() const noexcept { return index_; }
  // This population's settings as typed and chosen, and back into the fields.
  void fill_settings(runs::SettingsTexts& settings) const;
  void show_settings(const runs::SettingsTexts& settings);

 private slots:
  // The tournament size counts only for tournament selection.
  void couple_tournament_size();

 private:
  int index_;
  SettingsFields settings_;
  QGroupBox* rates_group_ = nullptr;
};

}  // namespace quarvel::ui
