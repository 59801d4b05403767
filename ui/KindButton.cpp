#include "ui/KindButton.h"

#include <QStyle>

namespace quarvel::ui {

KindButton::KindButton(QWidget* parent) : QPushButton(parent) {
  set_kind(ButtonKind::ok);
}

void KindButton::set_kind(ButtonKind kind, const QString& caption) {
  QStyle::StandardPixmap glyph = QStyle::SP_DialogOkButton;
  const char* stock_caption = "OK";
  switch (kind) {
    case ButtonKind::ok:
      break;
    case ButtonKind::no:
      glyph = QStyle::SP_DialogNoButton;
      stock_caption = "No";
      break;
    case ButtonKind::abort:
      glyph = QStyle::SP_DialogAbortButton;
      stock_caption = "Abort";
      break;
  }
  QIcon icon = style()->standardIcon(glyph);
  // Not every style draws an Abort glyph; its cross is the Cancel one.
  if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_DialogCancelButton);
  setIcon(icon);
  setText(caption.isEmpty() ? QString::fromLatin1(stock_caption) : caption);
  kind_ = kind;
}

}  // namespace quarvel::ui
