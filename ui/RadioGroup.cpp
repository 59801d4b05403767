#include "ui/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quarvel::ui {

RadioGroup::RadioGroup(const QStringList& items, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  for (int index = 0; index < items.size(); ++index) {
    auto* radio = new QRadioButton(items[index], this);
    group_->addButton(radio, index);
    layout->addWidget(radio);
  }
  layout->addStretch(1);
  connect(group_, &QButtonGroup::buttonClicked, this, [this] { emit clicked(); });
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

}  // namespace quarvel::ui
