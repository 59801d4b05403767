#include "ui/style.h"

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

QColor population_colour(int population_index) {
  switch (population_index) {
    case 0:
      return colours::red;
    case 1:
      return colours::blue;
    case 2:
      return colours::green;
    default:
      return colours::dark_yellow;
  }
}

}  // namespace quarvel::ui
