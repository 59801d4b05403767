// TForm5: the chart dialog opened by a double click on the MDL chart of the
// "Results" tab: validation and training fitness of the best individual.
#pragma once

#include <QWidget>

class QPushButton;

namespace quarvel::ui {

class ChartView;

class TForm5 final : public QWidget {
  Q_OBJECT

 public:
  explicit TForm5(QWidget* parent = nullptr);
  void show_window();

  ChartView* Chart2 = nullptr;
  QPushButton* BitBtn1 = nullptr;
};

}  // namespace quarvel::ui
