#include "ui/DataPlotWindow.h"

#include <QChart>
#include <QFrame>
#include <QHBoxLayout>
#include <QLegend>
#include <QPushButton>
#include <QScatterSeries>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/ChartView.h"
#include "ui/charts.h"
#include "ui/style.h"

namespace quarvel::ui {

DataPlotWindow::DataPlotWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("data_plot_window"));
  setWindowTitle(QStringLiteral("Graph"));
  // Esc closes it, as it closes the About box.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);
  setFont(window_font());
  resize(367, 296);
  move(261, 131);

  auto* bevel = new QFrame();
  bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  chart_view_ = new ChartView();
  chart_view_->setObjectName(QStringLiteral("chart_view"));
  chart_view_->setMinimumSize(240, 180);
  auto* bevel_layout = new QVBoxLayout(bevel);
  bevel_layout->addWidget(chart_view_);
  QChart* chart = chart_view_->chart();
  training_ = add_triangle_series(chart, QStringLiteral("Training Data"), colours::red, true);
  validation_ =
      add_triangle_series(chart, QStringLiteral("Validation Data"), colours::green, false);
  attach_axes(chart, QStringLiteral("X"), QStringLiteral("Y"));
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  use_small_axis_fonts(chart);

  auto* close_button = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                       QStringLiteral("Close (&C)"));
  close_button->setObjectName(QStringLiteral("close_button"));
  connect(close_button, &QPushButton::clicked, this, &QWidget::close);

  // The chart takes what the window grows by.
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(close_button);
  auto* window_layout = new QVBoxLayout(this);
  window_layout->addWidget(bevel, 1);
  window_layout->addLayout(buttons);
}

QScatterSeries* DataPlotWindow::series(int index) const {
  return index == training ? training_ : validation_;
}

void DataPlotWindow::clear_series(int index) {
  chart_view_->set_points(index, {});
}

void DataPlotWindow::set_points(int index, const QList<QPointF>& points) {
  chart_view_->set_points(index, points);
}

void DataPlotWindow::show_plot() {
  fit_axes(chart_view_->chart());
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
