// The widgets of the settings, made from the settings table: for one scope
// (the run-wide settings, or one population's), each group's settings in the
// table's order, a text setting as a checked field whose label is its buddy
// (a screen reader announces it by that label) and whose tooltip says what it
// does and which values it takes, a choice as radio buttons, a two-way choice
// with a single caption as a check box. A setting added to the table appears
// in its group's box without a change here.
#pragma once

#include <QString>
#include <span>
#include <string>
#include <vector>

#include "runs/settings.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QWidget;

namespace quarvel::ui {

class FieldChecker;
class RadioGroup;

class SettingsFields {
 public:
  // `population` 0..3 for a population's settings, -1 for the run-wide ones.
  SettingsFields(FieldChecker& checker, int population);

  // Adds the widgets of `group`'s settings to `columns` (grids of a caption
  // and a field a row): the text fields
  // spread over them in order (the later columns take the larger share), then
  // the choices below the first. `owner` parents the fields until the layouts
  // are installed.
  void add_group(runs::Group group, std::span<QGridLayout* const> columns, QWidget* owner);
  void add_group(runs::Group group, QGridLayout* form, QWidget* owner) {
    add_group(group, std::span<QGridLayout* const>(&form, 1), owner);
  }

  // The widgets made so far.
  [[nodiscard]] QLineEdit* field(runs::Setting id) const;
  [[nodiscard]] RadioGroup* radio_group(runs::Setting id) const;
  [[nodiscard]] QCheckBox* check_box(runs::Setting id) const;
  // The word of a choice as chosen now.
  [[nodiscard]] std::string chosen_word(runs::Setting id) const;
  // The text fields of a group, in the table's order.
  [[nodiscard]] std::vector<QLineEdit*> group_fields(runs::Group group) const;

  // The texts of every widget made, and back into them.
  void fill(runs::SettingsTexts& settings) const;
  void show(const runs::SettingsTexts& settings);

  // "generations_edit", "elite_edit_2", "selection_group_1", "rank_by_check".
  [[nodiscard]] static QString object_name(runs::Setting id, const char* kind, int population);
  // What a setting does and the values it takes, for its tooltip.
  [[nodiscard]] static QString tooltip(runs::Setting id);

 private:
  struct Entry {
    runs::Setting id;
    QLineEdit* edit = nullptr;
    RadioGroup* radio = nullptr;
    QCheckBox* check = nullptr;
  };
  [[nodiscard]] const Entry* find(runs::Setting id) const;

  FieldChecker& checker_;
  int population_;
  std::vector<Entry> entries_;
};

}  // namespace quarvel::ui
