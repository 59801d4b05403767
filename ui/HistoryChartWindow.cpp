#include "ui/HistoryChartWindow.h"

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <array>

#include "ui/ChartView.h"
#include "ui/charts.h"
#include "ui/style.h"

namespace quarvel::ui {

HistoryChartLayout HistoryChartWindow::fitness_layout() {
  return {QStringLiteral("Fitness of Vest Indiv."),
          QStringLiteral("fitness_window"),
          QSize(595, 415),
          QPoint(140, 262),
          QRect(8, 56, 585, 281),
          QPoint(472, 384),
          QStringLiteral("Fitness of best indv."),
          QStringLiteral("Validation fitness %1"),
          QStringLiteral("Training fitness %1")};
}

HistoryChartLayout HistoryChartWindow::gene_length_layout() {
  return {QStringLiteral("Length of gene"),
          QStringLiteral("gene_length_window"),
          QSize(594, 415),
          QPoint(369, 262),
          QRect(0, 48, 593, 313),
          QPoint(464, 384),
          QStringLiteral("Length of gene"),
          QStringLiteral("Best indv. %1"),
          QStringLiteral("Average %1")};
}

HistoryChartWindow::HistoryChartWindow(const HistoryChartLayout& layout, QWidget* parent)
    : QWidget(parent, Qt::Dialog) {
  setObjectName(layout.object_name);
  setWindowTitle(layout.caption);
  setFont(window_font());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(layout.size);
  move(layout.position);

  chart_view_ = new ChartView(this);
  chart_view_->setObjectName(QStringLiteral("chart_view"));
  chart_view_->setGeometry(layout.chart);
  QChart* chart = chart_view_->chart();
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

  auto* close_button = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                       QStringLiteral("&Close"), this);
  close_button->setObjectName(QStringLiteral("close_button"));
  close_button->setGeometry(QRect(layout.close_button, QSize(75, 25)));
  connect(close_button, &QPushButton::clicked, this, &QWidget::close);
}

void HistoryChartWindow::plot_histories(const std::vector<std::vector<double>>& solid,
                                        const std::vector<std::vector<double>>& dotted, int count) {
  QChart* chart = chart_view_->chart();
  const auto generations = static_cast<std::size_t>(count);
  const std::size_t populations = std::min<std::size_t>(solid.size(), 4);
  for (std::size_t p = 0; p < populations; ++p) {
    const auto index = static_cast<int>(2 * p);
    series_at(chart, index)->replace(index_points(solid[p], generations));
    series_at(chart, index + 1)->replace(index_points(dotted[p], generations));
  }
  follow_points(chart);
}

void HistoryChartWindow::clear() {
  clear_chart(chart_view_->chart());
}

void HistoryChartWindow::show_window() {
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
