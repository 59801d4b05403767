// A chart window of two histories per population over the generations, solid
// and dotted: the fitness window (forecast error beside training error) and
// the gene-length window (best tree's size beside the population's mean size).
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

namespace quarvel::ui {

class ChartView;

struct HistoryChartLayout {
  QString caption;
  QString object_name;
  QSize size;       // client size at first; the chart takes what the window grows by
  QPoint position;  // where the window first appears
  QString y_title;
  QString solid_title;   // "... %1" with the population number
  QString dotted_title;  // likewise
};

class HistoryChartWindow final : public QWidget {
  Q_OBJECT

 public:
  // The two configurations of the program.
  [[nodiscard]] static HistoryChartLayout fitness_layout();
  [[nodiscard]] static HistoryChartLayout gene_length_layout();

  HistoryChartWindow(const HistoryChartLayout& layout, QWidget* parent = nullptr);

  [[nodiscard]] ChartView* chart_view() const noexcept { return chart_view_; }
  // Population k's solid curve is solid[k], its dotted curve dotted[k], each
  // over the first `count` generations.
  void plot_histories(const std::vector<std::vector<double>>& solid,
                      const std::vector<std::vector<double>>& dotted, int count);
  void clear();
  void show_window();

 private:
  ChartView* chart_view_ = nullptr;
};

}  // namespace quarvel::ui
