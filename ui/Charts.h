// Chart building blocks shared by the main window and the chart windows:
// a view that zooms by a dragged rectangle (right click undoes the zoom) and
// reports double clicks, series and axes set up the way every chart here is.
#pragma once

#include <QChartView>
#include <QColor>
#include <QString>

class QChart;
class QLineSeries;
class QScatterSeries;

namespace quarvel::ui {

namespace colours {
inline const QColor red{255, 0, 0};
inline const QColor blue{0, 0, 255};
inline const QColor green{0, 128, 0};
inline const QColor yellow{255, 255, 0};
inline const QColor lime{0, 255, 0};
inline const QColor black{0, 0, 0};
inline const QColor fuchsia{255, 0, 255};
inline const QColor orange{255, 128, 64};
}  // namespace colours

// Red, blue, green, yellow for populations 1 to 4.
[[nodiscard]] QColor population_colour(int population_index);

class ChartView final : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QWidget* parent = nullptr);

 signals:
  void doubleClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A line series added to `chart`; `in_legend` false hides its legend entry.
QLineSeries* add_line_series(QChart* chart, const QString& title, const QColor& colour,
                             Qt::PenStyle style, int width, bool in_legend);

// A point series of triangles pointing up or down.
QScatterSeries* add_triangle_series(QChart* chart, const QString& title, const QColor& colour,
                                    bool pointing_up);

// Value axes with titles, attached to every series of the chart; the vertical
// axis labels use `label_format` (printf style).
void attach_axes(QChart* chart, const QString& x_title, const QString& y_title,
                 const QString& label_format = QStringLiteral("%g"));

// Axis labels and titles small enough for a chart of a few hundred pixels.
void use_small_axis_fonts(QChart* chart);

// Sets both axes to the range of the points of all series (0..1 when there
// are none), with a small margin, and forgets any zoom.
void fit_axes(QChart* chart);

// The automatic scaling of a chart whose points change: fit_axes, except that
// the horizontal axis (point or generation indices) gets no margin, a zoomed
// chart keeps the user's view and an axis whose fitted range stays the same is
// not touched.
void follow_points(QChart* chart);

}  // namespace quarvel::ui
