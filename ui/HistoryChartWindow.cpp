#include "ui/HistoryChartWindow.h"

#include <QChart>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
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
          QStringLiteral("Training fitness %1"),
          true};
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
  linear_axis_ = chart->axes(Qt::Vertical).constFirst();
  if (layout.log_scale_offered) {
    // Both axes stay with the chart; the series use one of them, and the
    // other is hidden.
    auto* log_axis = new QLogValueAxis(chart);
    log_axis->setTitleText(layout.y_title);
    log_axis->setLabelFormat(QStringLiteral("%g"));
    log_axis->setMinorTickCount(-1);
    log_axis->setVisible(false);
    chart->addAxis(log_axis, Qt::AlignLeft);
    log_axis_ = log_axis;
  }
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
  if (log_axis_ != nullptr) {
    // A first generation's error can be thousands of times the later ones:
    // on a linear scale it flattens every other curve.
    log_scale_check_ = new QCheckBox(QStringLiteral("&Log scale"));
    log_scale_check_->setObjectName(QStringLiteral("log_scale_check"));
    log_scale_check_->setToolTip(
        QStringLiteral("Show the fitness on a logarithmic scale; values of 0 are not drawn."));
    connect(log_scale_check_, &QCheckBox::toggled, this, [this](bool log) {
      set_log_scale(log);
      emit log_scale_toggled(log);
    });
    buttons->addWidget(log_scale_check_);
  }
  buttons->addStretch(1);
  buttons->addWidget(close_button);
  auto* window_layout = new QVBoxLayout(this);
  window_layout->addWidget(chart_view_, 1);
  window_layout->addLayout(buttons);
}

void HistoryChartWindow::plot_histories(const std::vector<std::vector<double>>& solid,
                                        const std::vector<std::vector<double>>& dotted, int count) {
  solid_ = solid;
  dotted_ = dotted;
  count_ = count;
  plot_kept_histories();
}

void HistoryChartWindow::plot_kept_histories() {
  const auto generations = static_cast<std::size_t>(count_);
  const auto points = [this, generations](const std::vector<double>& history) {
    QList<QPointF> shown = index_points(history, generations);
    if (log_scale_) shown.removeIf([](const QPointF& point) { return !(point.y() > 0.0); });
    return shown;
  };
  const std::size_t populations = std::min<std::size_t>(solid_.size(), 4);
  for (std::size_t p = 0; p < populations; ++p) {
    const auto index = static_cast<int>(2 * p);
    chart_view_->set_points(index, points(solid_[p]));
    chart_view_->set_points(index + 1, points(dotted_[p]));
  }
  follow_points(chart_view_->chart());
}

void HistoryChartWindow::clear() {
  solid_.clear();
  dotted_.clear();
  count_ = 0;
  chart_view_->clear_points();
}

void HistoryChartWindow::set_log_scale(bool log) {
  if (log_axis_ == nullptr || log == log_scale_) return;
  log_scale_ = log;
  if (log_scale_check_->isChecked() != log) {
    const QSignalBlocker quiet(log_scale_check_);
    log_scale_check_->setChecked(log);
  }
  QAbstractAxis* const from = log ? linear_axis_ : log_axis_;
  QAbstractAxis* const to = log ? log_axis_ : linear_axis_;
  for (QAbstractSeries* series : chart_view_->chart()->series()) {
    series->detachAxis(from);
    series->attachAxis(to);
  }
  from->setVisible(false);
  to->setVisible(true);
  // Values of 0 and less have no place on a log scale: the curves are drawn
  // again from the histories, with or without them. A zoom on the one scale
  // means nothing on the other.
  chart_view_->chart()->zoomReset();
  plot_kept_histories();
}

void HistoryChartWindow::show_window() {
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
