// The data preview: the loaded training and validation series as points
// against their time values.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>

class QScatterSeries;

namespace quarvel::ui {

class ChartView;

class DataPlotWindow final : public QWidget {
  Q_OBJECT

 public:
  // The two series of the plot.
  enum Series { training = 0, validation = 1 };

  explicit DataPlotWindow(QWidget* parent = nullptr);

  [[nodiscard]] ChartView* chart_view() const noexcept { return chart_view_; }
  [[nodiscard]] QScatterSeries* series(int index) const;
  void clear_series(int index);
  // Replaces the points of a series at once (a 40000-point series added point
  // by point would redraw the chart 40000 times).
  void set_points(int index, const QList<QPointF>& points);
  // Scales the axes to the points and brings the window to the front.
  void show_plot();

 private:
  ChartView* chart_view_ = nullptr;
  QScatterSeries* training_ = nullptr;
  QScatterSeries* validation_ = nullptr;
};

}  // namespace quarvel::ui
