#include "ui/DataPlotWindow.h"

#include <QChart>
#include <QFrame>
#include <QLegend>
#include <QPushButton>
#include <QScatterSeries>
#include <QStyle>

#include "ui/ChartView.h"
#include "ui/charts.h"
#include "ui/style.h"

namespace quarvel::ui {

DataPlotWindow::DataPlotWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("data_plot_window"));
  setWindowTitle(QStringLiteral("Graph"));
  setFont(window_font());
  resize(367, 296);
  move(261, 131);

  auto* bevel = new QFrame(this);
  bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bevel->setGeometry(40, 8, 281, 217);

  chart_view_ = new ChartView(this);
  chart_view_->setObjectName(QStringLiteral("chart_view"));
  chart_view_->setGeometry(48, 16, 265, 201);
  QChart* chart = chart_view_->chart();
  training_ = add_triangle_series(chart, QStringLiteral("Training Data"), colours::red, true);
  validation_ =
      add_triangle_series(chart, QStringLiteral("Validation Data"), colours::green, false);
  attach_axes(chart, QStringLiteral("X"), QStringLiteral("Y"));
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  use_small_axis_fonts(chart);

  auto* close_button = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                       QStringLiteral("Close (&C)"), this);
  close_button->setObjectName(QStringLiteral("close_button"));
  close_button->setGeometry(264, 232, 75, 25);
  connect(close_button, &QPushButton::clicked, this, &QWidget::close);
}

QScatterSeries* DataPlotWindow::series(int index) const {
  return index == training ? training_ : validation_;
}

void DataPlotWindow::clear_series(int index) {
  series(index)->clear();
}

void DataPlotWindow::set_points(int index, const QList<QPointF>& points) {
  show_thinned_points(series(index), points);
}

void DataPlotWindow::show_plot() {
  fit_axes(chart_view_->chart());
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
