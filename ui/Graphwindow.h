// TGraphForm: the data preview, the loaded training and validation series as
// points against their time values.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>

class QChart;
class QFrame;
class QPushButton;
class QScatterSeries;

namespace quarvel::ui {

class ChartView;

class TGraphForm final : public QWidget {
  Q_OBJECT

 public:
  explicit TGraphForm(QWidget* parent = nullptr);

  // Series 0 "Training Data", series 1 "Validation Data".
  [[nodiscard]] QScatterSeries* series(int index) const;
  void clear_series(int index);
  // Replaces the points of a series at once (a 40000-point series added point
  // by point would redraw the chart 40000 times).
  void set_points(int index, const QList<QPointF>& points);
  // Scales the axes to the points and brings the window to the front.
  void show_plot();

  QFrame* Bevel1 = nullptr;
  ChartView* Chart4 = nullptr;
  QPushButton* BitBtn1 = nullptr;

 private:
  QScatterSeries* training_ = nullptr;
  QScatterSeries* validation_ = nullptr;
};

}  // namespace quarvel::ui
