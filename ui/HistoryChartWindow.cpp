#include "ui/HistoryChartWindow.h"

#include <QChart>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
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
          QStringLiteral("Fitness of best indv."),
          QStringLiteral("Validation fitness %1"),
          QStringLiteral("Training fitness %1")};
}

HistoryChartLayout HistoryChartWindow::gene_length_layout() {
  return {QStringLiteral("Length of gene"),
          QStringLiteral("gene_length_window"),
          QSize(594, 415),
          QPoint(369, 262),
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
  resize(layout.size);
  move(layout.position);

  chart_view_ = new ChartView();
  chart_view_->setObjectName(QStringLiteral("chart_view"));
  chart_view_->setMinimumSize(360, 220);
  QChart* chart = chart_view_->chart();
  const std::array<QColor, 4> line_colours{colours::red, colours::blue, colours::lime,
                                           colours::dark_yellow};
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
                                       QStringLiteral("&Close"));
  close_button->setObjectName(QStringLiteral("close_button"));
  connect(close_button, &QPushButton::clicked, this, &QWidget::close);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(close_button);
  auto* window_layout = new QVBoxLayout(this);
  window_layout->addWidget(chart_view_, 1);
  window_layout->addLayout(buttons);
}

void HistoryChartWindow::plot_histories(const std::vector<std::vector<double>>& solid,
                                        const std::vector<std::vector<double>>& dotted, int count) {
  const auto generations = static_cast<std::size_t>(count);
  const std::size_t populations = std::min<std::size_t>(solid.size(), 4);
  for (std::size_t p = 0; p < populations; ++p) {
    const auto index = static_cast<int>(2 * p);
    chart_view_->set_points(index, index_points(solid[p], generations));
    chart_view_->set_points(index + 1, index_points(dotted[p], generations));
  }
  follow_points(chart_view_->chart());
}

void HistoryChartWindow::clear() {
  chart_view_->clear_points();
}

void HistoryChartWindow::show_window() {
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
