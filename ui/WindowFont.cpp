#include "WindowFont.h"

#include <QStringList>

namespace quarvel::ui {

QFont window_font() {
  QFont font;
  font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

}  // namespace quarvel::ui
