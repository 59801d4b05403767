#include "ui/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>

namespace quarvel::ui {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, const QRect& geometry,
                       QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
  setGeometry(geometry);
  for (int index = 0; index < items.size(); ++index) {
    auto* radio = new QRadioButton(items[index], this);
    group_->addButton(radio, index);
  }
  connect(group_, &QButtonGroup::buttonClicked, this, [this] { emit clicked(); });
  place_buttons();
}

int RadioGroup::item_index() const {
  return group_->checkedId();
}

void RadioGroup::set_item_index(int index) {
  if (auto* radio = group_->button(index)) radio->setChecked(true);
}

QRadioButton* RadioGroup::button(int index) const {
  return qobject_cast<QRadioButton*>(group_->button(index));
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  place_buttons();
}

void RadioGroup::place_buttons() {
  // The items share the space below the caption evenly, one row each.
  const auto buttons = group_->buttons();
  if (buttons.isEmpty()) return;
  const int top = title().isEmpty() ? 4 : 16;
  const int row_height = (height() - top - 4) / static_cast<int>(buttons.size());
  for (int index = 0; index < buttons.size(); ++index) {
    auto* radio = group_->button(index);
    const int row_top = top + index * row_height;
    radio->setGeometry(8, row_top + (row_height - 20) / 2, width() - 12, 20);
  }
}

}  // namespace quarvel::ui
