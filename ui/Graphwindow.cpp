#include "Graphwindow.h"

#include <QChart>
#include <QFrame>
#include <QLegend>
#include <QPushButton>
#include <QScatterSeries>
#include <QStyle>

#include "Charts.h"
#include "WindowFont.h"

namespace quarvel::ui {

TGraphForm::TGraphForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("GraphForm"));
  setWindowTitle(QStringLiteral("Graph"));
  setFont(window_font());
  resize(367, 296);
  move(261, 131);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Bevel1->setGeometry(40, 8, 281, 217);

  Chart4 = new ChartView(this);
  Chart4->setObjectName(QStringLiteral("Chart4"));
  Chart4->setGeometry(48, 16, 265, 201);
  QChart* chart = Chart4->chart();
  training_ = add_triangle_series(chart, QStringLiteral("Training Data"), colours::red, true);
  validation_ =
      add_triangle_series(chart, QStringLiteral("Validation Data"), colours::green, false);
  attach_axes(chart, QStringLiteral("X"), QStringLiteral("Y"));
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  use_small_axis_fonts(chart);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                            QStringLiteral("Close (&C)"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(264, 232, 75, 25);
  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

QScatterSeries* TGraphForm::series(int index) const {
  return index == 0 ? training_ : validation_;
}

void TGraphForm::clear_series(int index) {
  series(index)->clear();
}

void TGraphForm::set_points(int index, const QList<QPointF>& points) {
  series(index)->replace(points);
}

void TGraphForm::show_plot() {
  fit_axes(Chart4->chart());
  show();
  raise();
  activateWindow();
}

}  // namespace quarvel::ui
