// A push button of a stock kind (OK, No, Abort) that can change at run time:
// the kind gives the button its stock glyph and caption. A button of kind OK
// answers Enter and one of kind No answers Esc where its owner wires them so.
#pragma once

#include <QPushButton>

namespace quarvel::ui {

enum class ButtonKind { ok, no, abort };

class KindButton final : public QPushButton {
  Q_OBJECT

 public:
  explicit KindButton(QWidget* parent = nullptr);

  // The kind's glyph and caption; `caption` replaces the stock caption.
  void set_kind(ButtonKind kind, const QString& caption = {});
  [[nodiscard]] ButtonKind kind() const noexcept { return kind_; }

 private:
  ButtonKind kind_ = ButtonKind::ok;
};

}  // namespace quarvel::ui
