#include "ChartDialog.h"

#include <QChart>
#include <QLegend>
#include <QPushButton>
#include <QStyle>
#include <QWidget>

#include "Charts.h"
#include "WindowFont.h"

namespace quarvel::ui {

std::pair<ChartView*, QPushButton*> build_chart_dialog(QWidget* window,
                                                       const ChartDialogLayout& layout) {
  window->setObjectName(layout.object_name);
  window->setWindowTitle(layout.caption);
  window->setFont(window_font());
  window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
  window->setFixedSize(layout.client_width, layout.client_height);
  window->move(layout.left, layout.top);

  auto* view = new ChartView(window);
  view->setObjectName(layout.chart_name);
  view->setGeometry(layout.chart_left, layout.chart_top, layout.chart_width, layout.chart_height);
  QChart* chart = view->chart();
  const std::array<QColor, 4> line_colours{colours::red, colours::blue, colours::lime,
                                           colours::yellow};
  for (int population = 0; population < 4; ++population) {
    const QColor colour = line_colours[static_cast<std::size_t>(population)];
    add_line_series(chart, layout.solid_title.arg(population + 1), colour, Qt::SolidLine, 1, true);
    add_line_series(chart, layout.dotted_title.arg(population + 1), colour, Qt::DotLine, 1, true);
  }
  attach_axes(chart, QStringLiteral("Generation"), layout.y_title);
  // Eight full titles do not fit in a row above the plot: list them beside it,
  // each drawn with its series' own line so solid and dotted can be told apart.
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);

  auto* close = new QPushButton(window->style()->standardIcon(QStyle::SP_DialogCloseButton),
                                QStringLiteral("&Close"), window);
  close->setObjectName(QStringLiteral("BitBtn1"));
  close->setGeometry(layout.close_left, layout.close_top, 75, 25);
  QObject::connect(close, &QPushButton::clicked, window, &QWidget::close);
  return {view, close};
}

void show_chart_dialog(QWidget* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace quarvel::ui
