// A column of exclusive radio buttons, read and set by item index, as the
// selection-method and growth-method choices need.
#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QRadioButton;

namespace quarvel::ui {

class RadioGroup final : public QWidget {
  Q_OBJECT

 public:
  explicit RadioGroup(const QStringList& items, QWidget* parent = nullptr);

  [[nodiscard]] int item_index() const;
  void set_item_index(int index);
  [[nodiscard]] QRadioButton* button(int index) const;

 signals:
  // A button was clicked by the user (not emitted by set_item_index).
  void clicked();

 private:
  QButtonGroup* group_;
};

}  // namespace quarvel::ui
