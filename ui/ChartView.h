// A chart view that zooms by a dragged rectangle (a right click undoes the
// whole zoom) and reports double clicks.
#pragma once

#include <QChart>
#include <QChartView>

namespace quarvel::ui {

class ChartView final : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QWidget* parent = nullptr);

  // Axis changes are not animated until resume_animations(): a run changes
  // them every generation, and animating each change would blur the chart.
  void pause_animations();
  void resume_animations();

 signals:
  void doubleClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QChart::AnimationOptions animations_ = QChart::GridAxisAnimations;
};

}  // namespace quarvel::ui
