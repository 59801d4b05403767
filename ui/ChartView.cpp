#include "ui/ChartView.h"

#include <QGraphicsLayout>
#include <QLegend>
#include <QMouseEvent>

namespace quarvel::ui {

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
  auto chart = std::make_unique<QChart>();
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->layout()->setContentsMargins(0, 0, 0, 0);
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->setAnimationOptions(animations_);
  setChart(chart.release());  // the view owns the chart
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
}

void ChartView::pause_animations() {
  animations_ = chart()->animationOptions();
  chart()->setAnimationOptions(QChart::NoAnimation);
}

void ChartView::resume_animations() {
  chart()->setAnimationOptions(animations_);
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

}  // namespace quarvel::ui
