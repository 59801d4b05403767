#include "Charts.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace quarvel::ui {

QColor population_colour(int population_index) {
  switch (population_index) {
    case 0:
      return colours::red;
    case 1:
      return colours::blue;
    case 2:
      return colours::green;
    default:
      return colours::yellow;
  }
}

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
  auto* chart = new QChart();
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->layout()->setContentsMargins(0, 0, 0, 0);
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->setAnimationOptions(QChart::GridAxisAnimations);
  setChart(chart);  // the view owns the chart
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  // The view's own right click zooms out one step; here it undoes the whole zoom.
  if (event->button() == Qt::RightButton) {
    chart()->zoomReset();
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
  QChartView::mouseDoubleClickEvent(event);
}

QLineSeries* add_line_series(QChart* chart, const QString& title, const QColor& colour,
                             Qt::PenStyle style, int width, bool in_legend) {
  auto* series = new QLineSeries(chart);
  series->setName(title);
  QPen pen(colour);
  pen.setStyle(style);
  pen.setWidth(width);
  series->setPen(pen);
  chart->addSeries(series);
  if (!in_legend) {
    for (auto* marker : chart->legend()->markers(series)) marker->setVisible(false);
  }
  return series;
}

QScatterSeries* add_triangle_series(QChart* chart, const QString& title, const QColor& colour,
                                    bool pointing_up) {
  auto* series = new QScatterSeries(chart);
  series->setName(title);
  series->setColor(colour);
  series->setBorderColor(colour);
  series->setMarkerSize(9);
  if (pointing_up) {
    series->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
  } else {
    // There is no downward triangle among the stock shapes: draw one.
    QImage image(9, 9, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(9, 0);
    path.lineTo(4.5, 9);
    path.closeSubpath();
    painter.fillPath(path, colour);
    painter.end();
    series->setLightMarker(image);
  }
  chart->addSeries(series);
  return series;
}

void attach_axes(QChart* chart, const QString& x_title, const QString& y_title,
                 const QString& label_format) {
  auto* x_axis = new QValueAxis(chart);
  x_axis->setTitleText(x_title);
  x_axis->setLabelFormat(QStringLiteral("%g"));
  x_axis->setRange(0, 1);
  auto* y_axis = new QValueAxis(chart);
  y_axis->setTitleText(y_title);
  y_axis->setLabelFormat(label_format);
  y_axis->setRange(0, 1);
  chart->addAxis(x_axis, Qt::AlignBottom);
  chart->addAxis(y_axis, Qt::AlignLeft);
  for (auto* series : chart->series()) {
    series->attachAxis(x_axis);
    series->attachAxis(y_axis);
  }
}

void use_small_axis_fonts(QChart* chart) {
  for (auto* axis : chart->axes()) {
    QFont labels = axis->labelsFont();
    labels.setPixelSize(9);
    QFont titles = axis->titleFont();
    titles.setPixelSize(10);
    axis->setLabelsFont(labels);
    axis->setTitleFont(titles);
  }
}

namespace {

struct AxisRanges {
  double x_low, x_high, y_low, y_high;
};

// The range of the finite points of all series, with a small margin (0..1
// when there are none).
AxisRanges point_ranges(const QChart* chart) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  double x_min = inf;
  double x_max = -inf;
  double y_min = inf;
  double y_max = -inf;
  for (auto* abstract_series : chart->series()) {
    auto* series = qobject_cast<QXYSeries*>(abstract_series);
    if (series == nullptr) continue;
    for (const QPointF& point : series->points()) {
      if (!std::isfinite(point.x()) || !std::isfinite(point.y())) continue;
      x_min = std::min(x_min, point.x());
      x_max = std::max(x_max, point.x());
      y_min = std::min(y_min, point.y());
      y_max = std::max(y_max, point.y());
    }
  }
  const auto range = [](double low, double high) -> std::pair<double, double> {
    if (low > high) return {0.0, 1.0};
    if (low == high) return {low - 1.0, high + 1.0};
    const double margin = (high - low) * 0.05;
    return {low - margin, high + margin};
  };
  const auto [x_low, x_high] = range(x_min, x_max);
  const auto [y_low, y_high] = range(y_min, y_max);
  return {x_low, x_high, y_low, y_high};
}

void apply_range(QAbstractAxis* axis, double low, double high) {
  axis->setRange(low, high);
  if (auto* values = qobject_cast<QValueAxis*>(axis)) values->applyNiceNumbers();
}

// Sets the axis only when the nice range differs from the one it shows:
// every change of an axis lays out every series of the chart again.
void update_range(QAbstractAxis* axis, double low, double high) {
  auto* values = qobject_cast<QValueAxis*>(axis);
  if (values == nullptr) return apply_range(axis, low, high);
  QValueAxis trial;
  trial.setTickCount(values->tickCount());
  trial.setRange(low, high);
  trial.applyNiceNumbers();
  if (trial.min() != values->min() || trial.max() != values->max()) apply_range(axis, low, high);
}

}  // namespace

void fit_axes(QChart* chart) {
  const AxisRanges ranges = point_ranges(chart);
  chart->zoomReset();
  for (auto* axis : chart->axes(Qt::Horizontal)) apply_range(axis, ranges.x_low, ranges.x_high);
  for (auto* axis : chart->axes(Qt::Vertical)) apply_range(axis, ranges.y_low, ranges.y_high);
}

void follow_points(QChart* chart) {
  if (chart->isZoomed()) return;
  const AxisRanges ranges = point_ranges(chart);
  for (auto* axis : chart->axes(Qt::Horizontal)) update_range(axis, ranges.x_low, ranges.x_high);
  for (auto* axis : chart->axes(Qt::Vertical)) update_range(axis, ranges.y_low, ranges.y_high);
}

}  // namespace quarvel::ui
