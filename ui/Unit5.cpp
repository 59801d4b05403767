#include "Unit5.h"

#include <tuple>

#include "ChartDialog.h"
#include "Charts.h"

namespace quarvel::ui {

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  const ChartDialogLayout layout{QStringLiteral("Fitness of Vest Indiv."),
                                 QStringLiteral("Form5"),
                                 595,
                                 415,
                                 140,
                                 262,
                                 QStringLiteral("Chart2"),
                                 8,
                                 56,
                                 585,
                                 281,
                                 472,
                                 384,
                                 QStringLiteral("Fitness of best indv."),
                                 QStringLiteral("Validation fitness %1"),
                                 QStringLiteral("Training fitness %1")};
  std::tie(Chart2, BitBtn1) = build_chart_dialog(this, layout);
}

void TForm5::show_window() {
  show_chart_dialog(this);
}

}  // namespace quarvel::ui
