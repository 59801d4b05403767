// The runs of a folder written by quarvel-cli --runs or --summarize, from
// this machine or a cluster: the runs table of runs.csv, sortable by any
// column, and the ensemble's fan chart (ensemble-forecast.txt: the median of
// the runs' forecasts and the 80 and 95 % bands pooled from their paths) over
// the data the runs' records name.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QLabel;

namespace quarvel::forecasting {
struct BandTable;
}

namespace quarvel::ui {

class ChartView;
class RunsTable;
class TimeScale;

class RunsWindow final : public QWidget {
  Q_OBJECT

 public:
  // Series of the fan chart.
  enum Series { band_95 = 0, band_80 = 1, data = 2, median = 3, forecast_start = 4 };

  explicit RunsWindow(QWidget* parent = nullptr);

  // Reads the runs of `folder` and shows them; nothing but why, when the
  // folder holds no runs table that can be read (what was shown stays).
  [[nodiscard]] std::optional<QString> open_folder(const QString& folder);
  // Shows the window in front.
  void show_window();

  [[nodiscard]] RunsTable* runs_table() const noexcept { return runs_table_; }
  [[nodiscard]] ChartView* fan_chart() const noexcept { return fan_chart_; }
  // What the window says about the runs and the ensemble under the table.
  [[nodiscard]] QString notes() const;

 private:
  // The fan chart from ensemble-forecast.txt and the data; returns what it
  // tells the reader about them.
  [[nodiscard]] QStringList show_fan_chart(const QString& folder);
  // The table's bands over the data (in the table's units by now), each
  // point put on its time by `on_time`.
  void draw_bands(const forecasting::BandTable& table, const std::vector<double>& data,
                  const std::function<QList<QPointF>(const QList<QPointF>&)>& on_time);
  // The forecast start as a line across the curves drawn.
  void mark_forecast_start(const forecasting::BandTable& table, const TimeScale* time);

  RunsTable* runs_table_ = nullptr;
  ChartView* fan_chart_ = nullptr;
  QLabel* notes_label_ = nullptr;
};

}  // namespace quarvel::ui
