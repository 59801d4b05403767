// What the two chart dialogs share: a fixed-size tool window with one chart of
// eight line series (solid and dotted per population) and a close button.
#pragma once

#include <QString>
#include <array>
#include <utility>

class QPushButton;
class QWidget;

namespace quarvel::ui {

class ChartView;

struct ChartDialogLayout {
  QString caption;
  QString object_name;
  int client_width;
  int client_height;
  int left;
  int top;
  QString chart_name;
  int chart_left, chart_top, chart_width, chart_height;
  int close_left, close_top;
  QString y_title;
  QString solid_title;   // "... %1" with the population number
  QString dotted_title;  // likewise
};

// Builds the dialog's contents on `window`; returns the chart view and its close button.
std::pair<ChartView*, QPushButton*> build_chart_dialog(QWidget* window,
                                                       const ChartDialogLayout& layout);

void show_chart_dialog(QWidget* window);

}  // namespace quarvel::ui
