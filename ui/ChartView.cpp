#include "ui/ChartView.h"

#include <QAreaSeries>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QXYSeries>
#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/charts.h"

namespace quarvel::ui {

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
  auto chart = std::make_unique<QChart>();
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->layout()->setContentsMargins(0, 0, 0, 0);
  chart->legend()->setAlignment(Qt::AlignTop);
  // The style's layout margins would take half a small chart's height around
  // one row of legend entries.
  chart->legend()->layout()->setContentsMargins(0, 0, 0, 0);
  chart->setAnimationOptions(animations_);
  setChart(chart.release());  // the view owns the chart
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
  setToolTip(QStringLiteral("Drag a rectangle to zoom in; right-click to undo the zoom."));
}

void ChartView::pause_animations() {
  if (!paused_ && !axes_still_) animations_ = chart()->animationOptions();
  paused_ = true;
  apply_animations();
}

void ChartView::resume_animations() {
  paused_ = false;
  apply_animations();
}

void ChartView::set_axes_animated(bool animated) {
  if (!paused_ && !axes_still_) animations_ = chart()->animationOptions();
  axes_still_ = !animated;
  apply_animations();
}

void ChartView::apply_animations() {
  chart()->setAnimationOptions(paused_ || axes_still_ ? QChart::NoAnimation : animations_);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  // The view's own right click zooms out one step; here it undoes the whole zoom.
  if (event->button() == Qt::RightButton) {
    chart()->zoomReset();
    fit_tick_labels(chart());
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
  // A zoom to an arbitrary range may crowd the tick labels.
  if (event->button() == Qt::LeftButton) fit_tick_labels(chart());
}

namespace {

// Beyond this magnitude values are shown divided by a power of ten: spans and
// margins of the axes stay far from the largest double.
constexpr double kLargestShown = 1e300;

// The power of ten that brings the largest magnitude to between 1 and 10, so
// that the ticks read as plain numbers beside the factor the title names.
int exponent_for(double magnitude) {
  if (!(magnitude > kLargestShown)) return 0;
  return static_cast<int>(std::floor(std::log10(magnitude)));
}

// " (×1e+308)": the factor in the notation of the tick labels.
QString factor_note(int exponent) {
  return QStringLiteral(" (\u00D7%1)").arg(QString::asprintf("%g", std::pow(10.0, exponent)));
}

QList<QPointF> scaled(const QList<QPointF>& points, const std::array<int, 2>& exponents) {
  if (exponents[0] == 0 && exponents[1] == 0) return points;
  const double x_factor = std::pow(10.0, -exponents[0]);
  const double y_factor = std::pow(10.0, -exponents[1]);
  QList<QPointF> shown;
  shown.reserve(points.size());
  for (const QPointF& point : points) shown.append({point.x() * x_factor, point.y() * y_factor});
  return shown;
}

}  // namespace

QXYSeries* ChartView::series(int index) const {
  return qobject_cast<QXYSeries*>(chart()->series().at(index));
}

QList<QPointF> ChartView::points(int index) const {
  const auto at = static_cast<std::size_t>(index);
  return at < values_.size() ? values_[at] : QList<QPointF>{};
}

QList<QPointF> ChartView::lower_points(int index) const {
  const auto at = static_cast<std::size_t>(index);
  return at < lower_values_.size() ? lower_values_[at] : QList<QPointF>{};
}

void ChartView::set_points(int index, const QList<QPointF>& points) {
  const auto count = static_cast<std::size_t>(chart()->series().size());
  if (values_.size() != count) values_.resize(count);
  values_[static_cast<std::size_t>(index)] = points;
  update_extent(index);
  show_series(index);
}

void ChartView::set_band(int index, const QList<QPointF>& lower, const QList<QPointF>& upper) {
  const auto count = static_cast<std::size_t>(chart()->series().size());
  if (values_.size() != count) values_.resize(count);
  if (lower_values_.size() != count) lower_values_.resize(count);
  values_[static_cast<std::size_t>(index)] = upper;
  lower_values_[static_cast<std::size_t>(index)] = lower;
  update_extent(index);
  show_series(index);
}

void ChartView::update_extent(int index) {
  const auto count = static_cast<std::size_t>(chart()->series().size());
  if (extents_.size() != count) extents_.resize(count);
  const auto at = static_cast<std::size_t>(index);
  Extent extent;
  for (const QPointF& point : values_[at] + lower_points(index)) {
    if (std::isfinite(point.x())) extent.x = std::max(extent.x, std::abs(point.x()));
    if (std::isfinite(point.y())) extent.y = std::max(extent.y, std::abs(point.y()));
  }
  extents_[at] = extent;
  Extent all;
  for (const Extent& each : extents_) {
    all.x = std::max(all.x, each.x);
    all.y = std::max(all.y, each.y);
  }
  const std::array<int, 2> exponents{exponent_for(all.x), exponent_for(all.y)};
  if (exponents != exponents_) rescale(exponents);
}

void ChartView::show_series(int index) {
  const auto at = static_cast<std::size_t>(index);
  const QList<QPointF> shown =
      at < values_.size() ? scaled(values_[at], exponents_) : QList<QPointF>{};
  if (auto* band = qobject_cast<QAreaSeries*>(chart()->series().at(index))) {
    // A band is short (a forecast's steps): drawn whole.
    band->upperSeries()->replace(shown);
    band->lowerSeries()->replace(scaled(lower_points(index), exponents_));
    return;
  }
  show_thinned_points(series(index), shown);
}

void ChartView::rescale(const std::array<int, 2>& exponents) {
  // The other series shown again in the new scale, the axis titles noting it.
  const std::array<int, 2> before = std::exchange(exponents_, exponents);
  for (std::size_t index = 0; index < values_.size(); ++index) show_series(static_cast<int>(index));
  const std::array<Qt::Orientation, 2> orientations{Qt::Horizontal, Qt::Vertical};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto axes = chart()->axes(orientations[i]);
    if (axes.isEmpty()) continue;
    if (before[i] == 0) titles_[i] = axes.constFirst()->titleText();
    // Every axis of the side: a chart may offer a linear and a log scale.
    for (QAbstractAxis* axis : axes) {
      axis->setTitleText(exponents[i] == 0 ? titles_[i] : titles_[i] + factor_note(exponents[i]));
    }
  }
}

void ChartView::clear_points() {
  for (int index = 0; index < chart()->series().size(); ++index) {
    if (qobject_cast<QAreaSeries*>(chart()->series().at(index)) != nullptr) {
      set_band(index, {}, {});
    } else {
      set_points(index, {});
    }
  }
  chart()->zoomReset();
  fit_axes(chart());
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
  QChartView::mouseDoubleClickEvent(event);
}

}  // namespace quarvel::ui
