// A chart window of two histories per population over the generations, solid
// and dotted: the fitness window (forecast error beside training error, on a
// linear or a logarithmic scale) and the gene-length window (best tree's size
// beside the population's mean size).
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

class QAbstractAxis;
class QCheckBox;

namespace quarvel::ui {

class ChartView;

struct HistoryChartLayout {
  QString caption;
  QString object_name;
  QSize size;       // client size at first; the chart takes what the window grows by
  QPoint position;  // where the window first appears
  QString y_title;
  QString solid_title;             // "... %1" with the population number
  QString dotted_title;            // likewise
  bool log_scale_offered = false;  // a check box puts the values on a log scale
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

  // The values on a logarithmic scale (values of 0 and less are not drawn
  // there), or on a linear one. Only where the layout offers it.
  void set_log_scale(bool log);
  [[nodiscard]] bool log_scale() const noexcept { return log_scale_; }

 signals:
  // The user ticked or cleared the window's log-scale box.
  void log_scale_toggled(bool log);

 private:
  void plot_kept_histories();

  ChartView* chart_view_ = nullptr;
  QAbstractAxis* linear_axis_ = nullptr;
  QAbstractAxis* log_axis_ = nullptr;  // null where no log scale is offered
  QCheckBox* log_scale_check_ = nullptr;
  bool log_scale_ = false;
  // What the chart shows, kept to draw it again on the other scale.
  std::vector<std::vector<double>> solid_;
  std::vector<std::vector<double>> dotted_;
  int count_ = 0;
};

}  // namespace quarvel::ui
