// TForm6: the chart dialog opened by a double click on the MSE chart of the
// "Results" tab: best and average gene length.
#pragma once

#include <QWidget>

class QPushButton;

namespace quarvel::ui {

class ChartView;

class TForm6 final : public QWidget {
  Q_OBJECT

 public:
  explicit TForm6(QWidget* parent = nullptr);
  void show_window();

  ChartView* Chart3 = nullptr;
  QPushButton* BitBtn1 = nullptr;
};

}  // namespace quarvel::ui
