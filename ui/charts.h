// Chart building blocks shared by every chart of the program: series and axes
// set up the way each chart here is, and the automatic scaling of the axes.
#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <span>

class QAbstractAxis;
class QAreaSeries;
class QChart;
class QLineSeries;
class QScatterSeries;
class QXYSeries;

namespace quarvel::ui {

// A line series added to `chart`; `in_legend` false hides its legend entry.
QLineSeries* add_line_series(QChart* chart, const QString& title, const QColor& colour,
                             Qt::PenStyle style, int width, bool in_legend);

// A band between two curves, filled with `colour` (light: give it an alpha),
// without a legend entry; ChartView::set_band gives it its edges.
QAreaSeries* add_band_series(QChart* chart, const QString& title, const QColor& colour);

// A point series of triangles pointing up or down.
QScatterSeries* add_triangle_series(QChart* chart, const QString& title, const QColor& colour,
                                    bool pointing_up);

// Value axes with titles, attached to every series of the chart; the vertical
// axis labels use `label_format` (printf style).
void attach_axes(QChart* chart, const QString& x_title, const QString& y_title,
                 const QString& label_format = QStringLiteral("%g"));

// Axis labels and titles small enough for a chart of a few hundred pixels.
void use_small_axis_fonts(QChart* chart);

// Points (k, values[k]) for k < count. A value that is not finite has no place
// on a chart: the curve skips it (grids and files still show it).
[[nodiscard]] QList<QPointF> index_points(std::span<const double> values, std::size_t count);

// Thinning for a chart `columns` pixel columns wide that shows x from `low` to
// `high`: of the points in each pixel column it keeps the first, the lowest,
// the highest and the last, in their order, so that the line drawn through them
// covers the same pixels and no peak disappears. Points left of `low` and
// right of `high` count as one column each, so the extremes of all points
// stay. `points` run from left to right; with no more than a few per column
// all of them are kept.
[[nodiscard]] QList<QPointF> thin_points(std::span<const QPointF> points, double low, double high,
                                         int columns);

// Shows `points` (running from left to right) on `series` thinned for its
// chart, and thins them again whenever the chart's horizontal range or plot
// area changes (a zoom, a resize). Grids and files keep every value; the
// series holds the thinned points.
void show_thinned_points(QXYSeries* series, QList<QPointF> points);

// The tightest range around low..high whose ends are ticks, the ticks 1, 2,
// 2.5 or 5 times a power of ten apart, with no more than `most_ticks` of them
// (at least 2). A range that is empty or too wide for a double's arithmetic
// comes back as it is, with 2 ticks.
struct NiceRange {
  double low = 0.0;
  double high = 1.0;
  int ticks = 2;
};
[[nodiscard]] NiceRange nice_range(double low, double high, int most_ticks);

// The whole decades around smallest_positive..largest for a logarithmic axis,
// with a tick every decade, or every second, third... decade (`base`) where
// `most_ticks` would be too few; 1..10 when there is nothing positive.
struct LogRange {
  double low = 1.0;
  double high = 10.0;
  double base = 10.0;
};
[[nodiscard]] LogRange log_range(double smallest_positive, double largest, int most_ticks);

// How many ticks an axis of `orientation` has room for, between 2 and
// `most`, when each label takes `label_size` pixels along it (its gap to the
// next included): the plot's width or height, or, before the chart is laid
// out, its view's less the room for the axes.
[[nodiscard]] int ticks_with_room(const QChart* chart, Qt::Orientation orientation,
                                  double label_size, int most);

// Whether fit_axes and follow_points fit `axis` to the points' range as it
// is, with its margin, rather than widen it to ticks at round numbers: for an
// axis whose ticks are placed apart from its range (a time axis).
void keep_exact_range(QAbstractAxis* axis, bool exact);

// Sets both axes to the range of the points of all series (0..1 when there
// are none), with a small margin, and forgets any zoom.
void fit_axes(QChart* chart);

// Fewer ticks where the labels of an axis would run into each other (after a
// zoom to an arbitrary range, say); the range stays.
void fit_tick_labels(QChart* chart);

// The ticks for the plot's present size: as many as their labels have room
// for, on the points' range fitted as it was last (fit_axes or
// follow_points), or on the user's zoom. Charts call it themselves once their
// plot has changed size and the layout has settled.
void fit_ticks_to_plot(QChart* chart);

// Lays `chart` out at `size` (in logical pixels) for as long as it lives, its
// ticks fitted to that plot and without animation, and puts it back as it was
// after: a chart drawn into a file at another size than on screen, whole,
// while the screen shows no change.
class ExportLayout {
 public:
  ExportLayout(QChart* chart, const QSizeF& size);
  ~ExportLayout();
  ExportLayout(const ExportLayout&) = delete;
  ExportLayout& operator=(const ExportLayout&) = delete;

 private:
  void lay_out(const QSizeF& size);

  QChart* chart_;
  QSizeF on_screen_;
  unsigned animations_;
};

// The automatic scaling of a chart whose points change: fit_axes, except that
// the horizontal axis (point or generation indices) gets no margin, a zoomed
// chart keeps the user's view and an axis whose fitted range stays the same is
// not touched.
void follow_points(QChart* chart);

}  // namespace quarvel::ui
