// The accuracy of each population's validation forecast after a run, a row a
// population: the scaled MSE (its tip: how it compares with the best
// benchmark's), MAE, RMSE, MAPE and MASE in the series' units, the coverage of its prediction
// bands when they are shown, and where its forecasts ran away from the data;
// then a row a benchmark (naive, seasonal naive, drift, linear AR) on the
// same points.
#pragma once

#include <QString>
#include <QTableWidget>
#include <vector>

#include "forecasting/forecastquality.h"

namespace quarvel::ui {

// "diverged at step 12" (the validation forecast), "diverged at step 3 ahead"
// (the forecast past the data), both together, or empty when the forecasts
// stayed near the data.
[[nodiscard]] QString divergence_text(const forecasting::ForecastQuality& quality);

class AccuracyTable final : public QTableWidget {
  Q_OBJECT

 public:
  explicit AccuracyTable(QWidget* parent = nullptr);

  // A row per population of `quality`; the coverage columns with `bands`.
  void show_quality(const std::vector<forecasting::ForecastQuality>& quality, bool bands);
  // No rows: a run under way has no figures yet.
  void clear_figures();

  // The text of a cell, for tests and readers of the table.
  [[nodiscard]] QString cell_text(int row, int column) const;
  [[nodiscard]] QString cell_tip(int row, int column) const;

 private:
  // The table's size fixed to its rows, its least width to its columns.
  void fit_size();
};

}  // namespace quarvel::ui
