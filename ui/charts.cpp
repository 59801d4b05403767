#include "ui/charts.h"

#include <QAreaSeries>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPainterPath>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace quarvel::ui {

namespace {

// Whether the chart's horizontal range was last fitted with a margin
// (fit_axes) or without (follow_points), to fit it the same way again.
constexpr const char* kPaddedProperty = "quarvel_padded_x";
// Set while the chart is laid out for a file (ExportLayout): its plot area is
// the file's, whether its view is on screen or not.
constexpr const char* kExportingProperty = "quarvel_exporting";
// Set on an axis that spans the points' range as it is (keep_exact_range).
constexpr const char* kExactRangeProperty = "quarvel_exact_range";

}  // namespace

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

QAreaSeries* add_band_series(QChart* chart, const QString& title, const QColor& colour) {
  auto* band = new QAreaSeries(chart);
  band->setName(title);
  // The edges belong to the band.
  band->setUpperSeries(new QLineSeries(band));
  band->setLowerSeries(new QLineSeries(band));
  band->setBrush(colour);
  band->setPen(Qt::NoPen);
  chart->addSeries(band);
  // In the legend a swatch of the fill with an edge of its hue: an area
  // series' own marker is an empty box where the band has no pen.
  QColor edge = colour;
  edge.setAlpha(std::min(255, 4 * colour.alpha()));
  for (auto* marker : chart->legend()->markers(band)) {
    marker->setShape(QLegend::MarkerShapeRectangle);
    marker->setBrush(colour);
    marker->setPen(QPen(edge, 1));
    marker->setVisible(false);
  }
  return band;
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
  // Ticks set for a larger plot would crowd a smaller one into "..." and
  // hidden labels, those for a smaller one leave a larger one bare. Once the
  // layout has settled: a change of ticks lays the chart out again.
  chart->setProperty(kPaddedProperty, true);
  QObject::connect(
      chart, &QChart::plotAreaChanged, chart, [chart] { fit_ticks_to_plot(chart); },
      Qt::QueuedConnection);
}

void use_small_axis_fonts(QChart* chart) {
  for (auto* axis : chart->axes()) {
    QFont labels = axis->labelsFont();
    labels.setPixelSize(9);
    QFont titles = axis->titleFont();
    titles.setPixelSize(9);
    axis->setLabelsFont(labels);
    axis->setTitleFont(titles);
  }
}

namespace {

// The range an axis is fitted to: the points' extremes with their margin,
// and for a logarithmic axis the smallest positive and the largest value.
struct Extent {
  double low = 0.0;
  double high = 1.0;
  double smallest_positive = std::numeric_limits<double>::infinity();
  double largest = -std::numeric_limits<double>::infinity();
};

struct AxisRanges {
  Extent x, y;
};

// The range of the finite points of all series, with a small margin (0..1
// when there are none). `pad_x` false leaves the horizontal range as the points
// span it, so that an axis of indices starts at its first index. Values that
// are never negative (errors, indices) get no axis below 0, nor values that
// are never positive one above it.
AxisRanges point_ranges(const QChart* chart, bool pad_x = true) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  double x_min = inf;
  double x_max = -inf;
  double y_min = inf;
  double y_max = -inf;
  double x_smallest_positive = inf;
  double y_smallest_positive = inf;
  // The curves, and both edges of each band.
  QList<const QXYSeries*> curves;
  for (auto* abstract_series : chart->series()) {
    if (const auto* band = qobject_cast<QAreaSeries*>(abstract_series)) {
      curves << band->upperSeries() << band->lowerSeries();
    } else if (const auto* series = qobject_cast<QXYSeries*>(abstract_series)) {
      curves << series;
    }
  }
  for (const QXYSeries* series : curves) {
    if (series == nullptr) continue;
    for (const QPointF& point : series->points()) {
      if (!std::isfinite(point.x()) || !std::isfinite(point.y())) continue;
      x_min = std::min(x_min, point.x());
      x_max = std::max(x_max, point.x());
      y_min = std::min(y_min, point.y());
      y_max = std::max(y_max, point.y());
      if (point.x() > 0.0) x_smallest_positive = std::min(x_smallest_positive, point.x());
      if (point.y() > 0.0) y_smallest_positive = std::min(y_smallest_positive, point.y());
    }
  }
  // Margins from the halves' difference and both ends kept finite: an
  // extreme pair (-1e308, 1e308) must not overflow into a range no axis takes.
  const auto range = [](double low, double high, bool pad) -> std::pair<double, double> {
    constexpr double largest = std::numeric_limits<double>::max();
    if (low > high) return {0.0, 1.0};
    double margin = 0.0;
    if (low == high) {
      // A flat curve sits in the middle of a range of its own size, not lost
      // in a range of 2 when its values are small.
      margin = low == 0.0 ? 1.0 : std::abs(low) * 0.1;
    } else if (pad) {
      margin = high * 0.05 - low * 0.05;
    }
    double padded_low = std::max(low - margin, -largest);
    double padded_high = std::min(high + margin, largest);
    if (low >= 0.0) {
      padded_low = std::max(padded_low, 0.0);
    } else if (high <= 0.0) {
      padded_high = std::min(padded_high, 0.0);
    }
    return {padded_low, padded_high};
  };
  const auto [x_low, x_high] = range(x_min, x_max, pad_x);
  const auto [y_low, y_high] = range(y_min, y_max, true);
  return {{x_low, x_high, x_smallest_positive, x_max}, {y_low, y_high, y_smallest_positive, y_max}};
}

// At most this many ticks on an axis, fewer where their labels have no room:
// labels closer together than their height (or, across, their width) are
// drawn as "...".
constexpr int kMostTicks = 6;
constexpr int kMostDecadeTicks = 12;

// Room for the labels of an axis: a vertical axis gets no more ticks than
// label heights fit into its height, a horizontal one no more than its widest
// labels fit into its width.
int tick_limit(const QChart* chart, const QAbstractAxis* axis, double low, double high,
               int most = kMostTicks) {
  const QFontMetricsF metrics(axis->labelsFont());
  if (axis->orientation() == Qt::Vertical) {
    return ticks_with_room(chart, Qt::Vertical, metrics.height() * 1.7, most);
  }
  const auto width_of = [&metrics](double value) {
    return metrics.horizontalAdvance(QString::asprintf("%g", value));
  };
  return ticks_with_room(chart, Qt::Horizontal,
                         std::max(width_of(low), width_of(high)) + metrics.averageCharWidth() * 3,
                         most);
}

}  // namespace

int ticks_with_room(const QChart* chart, Qt::Orientation orientation, double label_size, int most) {
  const bool vertical = orientation == Qt::Vertical;
  // A chart that is not on screen has not been laid out yet: its view's size
  // less the room for the axes stands in for the plot's.
  const QRectF plot = chart->plotArea();
  double room = vertical ? plot.height() : plot.width();
  const auto views = chart->scene() != nullptr ? chart->scene()->views() : QList<QGraphicsView*>();
  if (!views.isEmpty() && !views.constFirst()->isVisible() &&
      !chart->property(kExportingProperty).toBool()) {
    room = vertical ? views.constFirst()->height() - 60 : views.constFirst()->width() - 60;
  }
  if (room <= 0.0 || label_size <= 0.0) return most;
  return std::clamp(static_cast<int>(room / label_size) + 1, 2, most);
}

NiceRange nice_range(double low, double high, int most_ticks) {
  most_ticks = std::max(most_ticks, 2);
  const double span = high - low;
  if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(span) || !(span > 0.0)) {
    // Nothing nice to be had (an empty range, or one too wide for a double's
    // arithmetic): the range as it is.
    return {low, high, 2};
  }
  // The smallest step that fits `most_ticks` ticks, from the power of ten below
  // it up through 1, 2, 2.5 and 5 times each power.
  double decade = std::pow(10.0, std::floor(std::log10(span / (most_ticks - 1))));
  for (int tries = 0; tries < 8; ++tries, decade *= 10.0) {
    for (const double factor : {1.0, 2.0, 2.5, 5.0}) {
      const double step = factor * decade;
      const double first = std::floor(low / step);
      const double last = std::ceil(high / step);
      const double ticks = last - first + 1.0;
      if (ticks <= most_ticks && std::isfinite(first * step) && std::isfinite(last * step)) {
        return {first * step, last * step, static_cast<int>(ticks)};
      }
    }
  }
  return {low, high, 2};
}

LogRange log_range(double smallest_positive, double largest, int most_ticks) {
  if (!(smallest_positive > 0.0) || !std::isfinite(smallest_positive) || !std::isfinite(largest) ||
      largest < smallest_positive) {
    return {};
  }
  // Whole powers of ten, kept to those a double holds at full precision.
  const auto decade = [](double value, auto round) {
    return std::clamp(static_cast<int>(round(std::log10(value))), -307, 308);
  };
  int low = decade(smallest_positive, [](double v) { return std::floor(v); });
  int high = decade(largest, [](double v) { return std::ceil(v); });
  if (high == low) high < 308 ? ++high : --low;
  // Every k-th decade a tick, k as small as the labels' room allows.
  const int step =
      std::max(1, (high - low + std::max(most_ticks, 2) - 2) / (std::max(most_ticks, 2) - 1));
  low = static_cast<int>(std::floor(static_cast<double>(low) / step)) * step;
  high = static_cast<int>(std::ceil(static_cast<double>(high) / step)) * step;
  // A hair wider than the decades: the axis puts a tick at a power of ten
  // only when its logarithm rounds inside the range.
  constexpr double hair = 1e-9;
  return {std::pow(10.0, std::max(low, -307)) * (1.0 - hair),
          std::pow(10.0, std::min(high, 308)) * (1.0 + hair), std::pow(10.0, step)};
}

namespace {

// Fits `axis` to `extent`: a value axis to a nice range (or to the extent
// itself, when it keeps an exact range), a logarithmic one to whole decades.
// `if_changed`: the axis is left alone when it shows that range already, as
// every change of an axis lays out every series again.
void set_range(const QChart* chart, QAbstractAxis* axis, const Extent& extent, bool if_changed) {
  auto* values = qobject_cast<QValueAxis*>(axis);
  if (values != nullptr && values->property(kExactRangeProperty).toBool()) {
    if (!if_changed || extent.low != values->min() || extent.high != values->max()) {
      values->setRange(extent.low, extent.high);
    }
    return;
  }
  if (values != nullptr) {
    const NiceRange nice =
        nice_range(extent.low, extent.high, tick_limit(chart, axis, extent.low, extent.high));
    if (!if_changed || nice.low != values->min() || nice.high != values->max() ||
        nice.ticks != values->tickCount()) {
      values->setRange(nice.low, nice.high);
      values->setTickCount(nice.ticks);
    }
  } else if (auto* logarithmic = qobject_cast<QLogValueAxis*>(axis)) {
    // A label for every decade where there is room: each tells a factor of ten.
    const LogRange decades = log_range(
        extent.smallest_positive, extent.largest,
        tick_limit(chart, axis, extent.smallest_positive, extent.largest, kMostDecadeTicks));
    if (!if_changed || decades.low != logarithmic->min() || decades.high != logarithmic->max() ||
        decades.base != logarithmic->base()) {
      logarithmic->setBase(decades.base);
      logarithmic->setRange(decades.low, decades.high);
    }
  } else {
    axis->setRange(extent.low, extent.high);
  }
}

void set_ranges(QChart* chart, const AxisRanges& ranges, bool if_changed) {
  for (auto* axis : chart->axes(Qt::Horizontal)) set_range(chart, axis, ranges.x, if_changed);
  for (auto* axis : chart->axes(Qt::Vertical)) set_range(chart, axis, ranges.y, if_changed);
}

}  // namespace

void keep_exact_range(QAbstractAxis* axis, bool exact) {
  axis->setProperty(kExactRangeProperty, exact);
}

void fit_axes(QChart* chart) {
  chart->setProperty(kPaddedProperty, true);
  const AxisRanges ranges = point_ranges(chart);
  chart->zoomReset();
  set_ranges(chart, ranges, false);
}

QList<QPointF> index_points(std::span<const double> values, std::size_t count) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(count));
  for (std::size_t k = 0; k < count; ++k) {
    if (std::isfinite(values[k])) points.append(QPointF(static_cast<double>(k), values[k]));
  }
  return points;
}

void fit_tick_labels(QChart* chart) {
  for (auto* axis : chart->axes()) {
    auto* values = qobject_cast<QValueAxis*>(axis);
    if (values == nullptr) continue;
    const int limit = tick_limit(chart, values, values->min(), values->max());
    if (values->tickCount() > limit) values->setTickCount(limit);
  }
}

QList<QPointF> thin_points(std::span<const QPointF> points, double low, double high, int columns) {
  constexpr std::size_t kKeptPerColumn = 4;
  if (columns <= 0 || !(high > low) ||
      points.size() <= kKeptPerColumn * static_cast<std::size_t>(columns)) {
    return {points.begin(), points.end()};
  }
  const double scale = columns / (high - low);
  // -1 for the points left of the chart, `columns` for those right of it.
  const auto column_of = [&](double x) {
    if (x < low) return -1;
    if (x >= high) return x == high ? columns - 1 : columns;
    return std::min(static_cast<int>((x - low) * scale), columns - 1);
  };
  QList<QPointF> thinned;
  thinned.reserve(static_cast<qsizetype>(kKeptPerColumn) * (columns + 2));
  std::size_t first = 0;
  while (first < points.size()) {
    const int column = column_of(points[first].x());
    std::size_t lowest = first;
    std::size_t highest = first;
    std::size_t last = first;
    while (last + 1 < points.size() && column_of(points[last + 1].x()) == column) {
      ++last;
      if (points[last].y() < points[lowest].y()) lowest = last;
      if (points[last].y() > points[highest].y()) highest = last;
    }
    std::size_t kept[] = {first, std::min(lowest, highest), std::max(lowest, highest), last};
    for (std::size_t k = 0; k < 4; ++k) {
      if (k == 0 || kept[k] != kept[k - 1]) thinned.append(points[kept[k]]);
    }
    first = last + 1;
  }
  return thinned;
}

namespace {

// The points a thinned series stands for, a child of the series, kept to thin
// them again for a new view of the chart.
class ThinnedPoints final : public QObject {
 public:
  static constexpr const char* kName = "thinned_points";

  explicit ThinnedPoints(QXYSeries* series) : QObject(series), series_(series) {
    setObjectName(QString::fromLatin1(kName));
    for (QAbstractAxis* axis : series->attachedAxes()) {
      if (auto* values = qobject_cast<QValueAxis*>(axis);
          values != nullptr && axis->orientation() == Qt::Horizontal) {
        connect(values, &QValueAxis::rangeChanged, this, [this] { show(); });
      }
    }
    if (QChart* chart = series->chart()) {
      connect(chart, &QChart::plotAreaChanged, this, [this] { show(); });
    }
    // Points set some other way replace the ones kept here.
    connect(series, &QXYSeries::pointsRemoved, this, [this] {
      if (!replacing_) points_.clear();
    });
  }

  static ThinnedPoints& of(QXYSeries* series) {
    if (auto* found =
            series->findChild<QObject*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly)) {
      return *static_cast<ThinnedPoints*>(found);
    }
    return *new ThinnedPoints(series);
  }

  void set(QList<QPointF> points) {
    points_ = std::move(points);
    shown_ = {};
    if (points_.isEmpty()) {
      series_->clear();
      return;
    }
    show();
  }

 private:
  struct View {
    double low = 0.0;
    double high = 0.0;
    int columns = 0;
    bool operator==(const View&) const = default;
  };

  // A chart not laid out yet has no plot area to go by: as many columns as a
  // wide screen has until it has one.
  static constexpr int kColumnsBeforeLayout = 2048;

  void show() {
    if (points_.isEmpty()) return;
    View view{points_.constFirst().x(), points_.constLast().x(), kColumnsBeforeLayout};
    for (QAbstractAxis* axis : series_->attachedAxes()) {
      if (auto* values = qobject_cast<QValueAxis*>(axis);
          values != nullptr && axis->orientation() == Qt::Horizontal) {
        view.low = values->min();
        view.high = values->max();
      }
    }
    if (const QChart* chart = series_->chart(); chart != nullptr) {
      const int width = static_cast<int>(chart->plotArea().width());
      if (width > 0) view.columns = width;
    }
    if (view == shown_) return;
    shown_ = view;
    // Every change of a series lays out the chart again: none when the
    // thinned points stay the same, as a few points always do.
    const QList<QPointF> thinned = thin_points(points_, view.low, view.high, view.columns);
    if (thinned == series_->points()) return;
    replacing_ = true;
    series_->replace(thinned);
    replacing_ = false;
  }

  QXYSeries* series_;
  QList<QPointF> points_;
  View shown_;
  bool replacing_ = false;
};

}  // namespace

void show_thinned_points(QXYSeries* series, QList<QPointF> points) {
  ThinnedPoints::of(series).set(std::move(points));
}

namespace {

void update_ranges(QChart* chart, bool pad_x) {
  set_ranges(chart, point_ranges(chart, pad_x), true);
}

}  // namespace

void fit_ticks_to_plot(QChart* chart) {
  if (chart->isZoomed()) {
    fit_tick_labels(chart);
  } else {
    update_ranges(chart, chart->property(kPaddedProperty).toBool());
  }
}

ExportLayout::ExportLayout(QChart* chart, const QSizeF& size)
    : chart_(chart), on_screen_(chart->size()), animations_(chart->animationOptions().toInt()) {
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->setProperty(kExportingProperty, true);
  lay_out(size);
}

ExportLayout::~ExportLayout() {
  chart_->setProperty(kExportingProperty, false);
  lay_out(on_screen_);
  chart_->setAnimationOptions(QChart::AnimationOptions::fromInt(animations_));
}

void ExportLayout::lay_out(const QSizeF& size) {
  // Laid out at once, twice: the ticks fitted to the new plot change the room
  // their labels take.
  chart_->resize(size);
  chart_->layout()->activate();
  fit_ticks_to_plot(chart_);
  chart_->layout()->activate();
}

void follow_points(QChart* chart) {
  chart->setProperty(kPaddedProperty, false);
  if (chart->isZoomed()) return;
  update_ranges(chart, false);
}

}  // namespace quarvel::ui
