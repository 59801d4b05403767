// A chart view that zooms by a dragged rectangle (a right click undoes the
// whole zoom) and reports double clicks. Its series take their points through
// set_points, in their true values: values of a magnitude no axis can span
// (beyond 1e300) are shown divided by a power of ten that the axis title names,
// and a series of more points than the chart has pixel columns is drawn
// thinned to a few per column, its peaks kept. A band (an area series) takes
// its two edges through set_band.
#pragma once

#include <QChart>
#include <QChartView>
#include <QList>
#include <QPointF>
#include <array>
#include <vector>

class QXYSeries;

namespace quarvel::ui {

class ChartView final : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QWidget* parent = nullptr);

  // Series `index` when it is a curve; nullptr for a band.
  [[nodiscard]] QXYSeries* series(int index) const;
  // Replaces the points of series `index` at once.
  void set_points(int index, const QList<QPointF>& points);
  // Replaces the edges of band `index` at once (the same x on both).
  void set_band(int index, const QList<QPointF>& lower, const QList<QPointF>& upper);
  // The points of series `index` in their true values; of a band, its upper edge.
  [[nodiscard]] QList<QPointF> points(int index) const;
  // The lower edge of band `index` in its true values (empty for a curve).
  [[nodiscard]] QList<QPointF> lower_points(int index) const;
  // Empties every series, undoes any zoom and fits the axes.
  void clear_points();
  // The powers of ten the axes show their values divided by (0: none).
  [[nodiscard]] int x_exponent() const noexcept { return exponents_[0]; }
  [[nodiscard]] int y_exponent() const noexcept { return exponents_[1]; }

  // Axis changes are not animated until resume_animations(): a run changes
  // them every generation, and animating each change would blur the chart.
  void pause_animations();
  void resume_animations();
  // Whether axis changes may be animated at all: not while the chart shows a
  // time axis, whose labels change with its range, which an axis animation
  // in progress does not follow.
  void set_axes_animated(bool animated);

 signals:
  void doubleClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // The largest finite magnitude of each coordinate of series `index`.
  struct Extent {
    double x = 0.0;
    double y = 0.0;
  };
  void rescale(const std::array<int, 2>& exponents);
  // Series `index` drawn from its true values in the present scale.
  void show_series(int index);
  // The extent of series `index` taken again, and the scale changed when it must.
  void update_extent(int index);
  void apply_animations();

  // The chart's animations when neither a run nor a time axis holds them off.
  QChart::AnimationOptions animations_ = QChart::GridAxisAnimations;
  bool paused_ = false;
  bool axes_still_ = false;
  std::vector<QList<QPointF>> values_;        // each series' points in their true values
  std::vector<QList<QPointF>> lower_values_;  // each band's lower edge
  std::vector<Extent> extents_;
  std::array<int, 2> exponents_{0, 0};
  std::array<QString, 2> titles_;  // the axis titles without a scale note
};

}  // namespace quarvel::ui
