// The checks of the settings fields: a field is checked by its setting's rule
// when the focus leaves it (a refusal shows the rule's message, puts back the
// text the field held when the user entered it, and the focus), and a
// population's rate fields are checked together when the focus leaves their
// group.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <array>

#include "runs/settings.h"

class QGroupBox;
class QLineEdit;
class QWidget;

namespace quarvel::ui {

class UserDialogs;

class FieldChecker final : public QObject {
  Q_OBJECT

 public:
  // `window` is the parent of the message boxes.
  FieldChecker(UserDialogs& dialogs, QWidget* window);

  // A field for setting `id` (of population `population`, 0-based, for a
  // population setting), holding its default text and checked when left.
  QLineEdit* add_field(runs::Setting id, QWidget* parent, int population = -1);
  // The object name of that field: "generations_edit", "elite_edit_2".
  [[nodiscard]] static QString field_name(runs::Setting id, int population = -1);
  // The four rate fields of a population page (the first is focused when
  // their sum is refused).
  void watch_rate_group(QGroupBox* group, const std::array<QLineEdit*, 4>& rates);

  // Checks a field now: true when it passes; otherwise the user has been told.
  bool check_field(QLineEdit* field);
  bool check_rate_group(QGroupBox* group);

  // Brings the pages holding `field` to the front and gives it the focus.
  static void focus_field(QWidget* field);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void field_left(QLineEdit* field, QWidget* next_focus);

  UserDialogs& dialogs_;
  QWidget* window_;
  QHash<QLineEdit*, runs::Setting> settings_;
  QHash<QLineEdit*, QGroupBox*> rate_group_of_;
  QHash<QGroupBox*, std::array<QLineEdit*, 4>> rates_;
  QHash<QLineEdit*, QString> entry_texts_;  // each field's text when the user entered it
  bool checking_ = false;
};

}  // namespace quarvel::ui
