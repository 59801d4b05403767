#include "ui/FieldChecker.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>

#include "ui/SettingsFields.h"
#include "ui/UserDialogs.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

FieldChecker::FieldChecker(UserDialogs& dialogs, QWidget* window)
    : QObject(window), dialogs_(dialogs), window_(window) {}

QString FieldChecker::field_name(runs::Setting id, int population) {
  return SettingsFields::object_name(id, "edit", population);
}

QLineEdit* FieldChecker::add_field(runs::Setting id, QWidget* parent, int population) {
  auto* field = new QLineEdit(to_qstring(runs::setting_info(id).default_text), parent);
  field->setObjectName(field_name(id, population));
  // Room for the texts a field holds in practice ("0.0005", "100000"); longer
  // ones scroll within the field.
  // Measured in the windows' font: the field may not have its parent's yet.
  field->setFixedWidth(QFontMetrics(window_font()).horizontalAdvance(QStringLiteral("0000000")) +
                       10);
  field->installEventFilter(this);
  settings_.insert(field, id);
  return field;
}

void FieldChecker::watch_rate_group(QGroupBox* group, const std::array<QLineEdit*, 4>& rates) {
  rates_.insert(group, rates);
  for (QLineEdit* rate : rates) rate_group_of_.insert(rate, group);
}

void FieldChecker::focus_field(QWidget* field) {
  // A field on a page that is not in front cannot take the focus: bring its
  // pages to the front first, outermost last.
  for (QWidget* child = field; child != nullptr; child = child->parentWidget()) {
    auto* stack = qobject_cast<QStackedWidget*>(child->parentWidget());
    if (stack == nullptr) continue;
    if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget())) {
      tabs->setCurrentWidget(child);
    }
  }
  field->setFocus(Qt::OtherFocusReason);
}

bool FieldChecker::check_field(QLineEdit* field) {
  const auto setting = settings_.find(field);
  if (setting == settings_.end()) return true;
  const auto message = runs::check_setting(*setting, field->text().toStdString());
  if (!message) return true;
  dialogs_.message(window_, QString::fromStdString(*message));
  field->setText(entry_texts_.value(field, to_qstring(runs::setting_info(*setting).default_text)));
  focus_field(field);
  return false;
}

bool FieldChecker::check_rate_group(QGroupBox* group) {
  const auto rates = rates_.find(group);
  if (rates == rates_.end()) return true;
  runs::SettingsTexts texts;
  for (QLineEdit* rate : *rates) texts.set(settings_.value(rate), 0, rate->text().toStdString());
  const auto message = runs::check_rate_group(texts, 0);
  if (!message) return true;
  if (*message == runs::kRateSum) focus_field((*rates)[0]);
  dialogs_.message(window_, QString::fromStdString(*message));
  return false;
}

void FieldChecker::field_left(QLineEdit* field, QWidget* next_focus) {
  checking_ = true;
  // Leaving a rate field for a control outside its group also leaves the group.
  if (check_field(field)) {
    if (QGroupBox* group = rate_group_of_.value(field)) {
      if (next_focus == nullptr || !group->isAncestorOf(next_focus)) check_rate_group(group);
    }
  }
  checking_ = false;
}

bool FieldChecker::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && !checking_) {
    // What a refusal returns to: the text before this visit's edits. The
    // window coming back to the front is no new visit.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field != nullptr && reason != Qt::ActiveWindowFocusReason &&
        reason != Qt::PopupFocusReason) {
      entry_texts_.insert(field, field->text());
    }
  }
  if (event->type() == QEvent::FocusOut && !checking_) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // Only a move of the focus inside the window is a leave; a box or another
    // window taking over the keyboard is not.
    if (field != nullptr && settings_.contains(field) && reason != Qt::ActiveWindowFocusReason &&
        reason != Qt::PopupFocusReason) {
      QPointer<QLineEdit> left_field(field);
      QPointer<QWidget> next_focus(QApplication::focusWidget());
      // The check runs once the focus change is complete, not inside it.
      QTimer::singleShot(0, this, [this, left_field, next_focus] {
        if (left_field && !checking_) field_left(left_field, next_focus);
      });
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quarvel::ui
