#include "Unit6.h"

#include <tuple>

#include "ChartDialog.h"
#include "Charts.h"

namespace quarvel::ui {

TForm6::TForm6(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  const ChartDialogLayout layout{QStringLiteral("Length of gene"),
                                 QStringLiteral("Form6"),
                                 594,
                                 415,
                                 369,
                                 262,
                                 QStringLiteral("Chart3"),
                                 0,
                                 48,
                                 593,
                                 313,
                                 464,
                                 384,
                                 QStringLiteral("Length of gene"),
                                 QStringLiteral("Best indv. %1"),
                                 QStringLiteral("Average %1")};
  std::tie(Chart3, BitBtn1) = build_chart_dialog(this, layout);
}

void TForm6::show_window() {
  show_chart_dialog(this);
}

}  // namespace quarvel::ui
