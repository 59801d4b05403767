// "Results": what a run shows generation by generation: the MDL and MSE
// histories of each population's best individual, the best trees as text, the
// predicted series against the real data, the output grids with their save
// buttons, the progress display and the Start/Abort and Stop/Resume buttons.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "forecasting/forecastquality.h"
#include "runs/generationstep.h"
#include "runs/settings.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLayout;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace quarvel::ui {

class AccuracyTable;
class ChartView;
class GridModel;
class GridView;
class KindButton;
class TimeScale;
enum class ButtonKind;
struct ResultHistories;

inline constexpr const char* kNotRunning = "Not running";
// The prediction chart's vertical lines, as its legend names them: where the
// training part ends, where the validation forecast starts (the first value
// held out), and where the data end and the forecast past them starts.
inline constexpr const char* kTrainingMarkerTitle = "Training end";
inline constexpr const char* kForecastMarkerTitle = "Validation start";
inline constexpr const char* kDataEndMarkerTitle = "Data end";
// Row count of an output grid before the first run.
inline constexpr int kOutputGridRows = 5;
// The heading of the output grids' values, which are the scaled values the
// runner's prediction files hold.
inline constexpr const char* kOutputValueHeading = "Scaled value";

enum class RunState { idle, running, paused };

// Where the prediction chart marks the end of the training part and the start
// of the forecast.
struct PredictionMarkers {
  double training = 0.0;
  double forecast = 0.0;
};

// The minimum and maximum the run's data were scaled by.
struct DataScale {
  double low = 0.0;
  double high = 1.0;
};

class ResultsView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPopulations = runs::kMaxPopulations;
  // The series of the prediction chart, the bands first so that the curves
  // are drawn over them: population p's band of the l-th level (80 %, 95 %)
  // is first_band_series + 2p + l, its curve first_population_series + p,
  // its forecast past the data first_ahead_series + p.
  enum PredictionSeries : int {
    first_band_series = 0,
    band_count = 2 * kPopulations,
    real_data_series = band_count,
    first_population_series,
    training_marker_series = first_population_series + kPopulations,
    forecast_marker_series,
    first_ahead_series,
    data_end_marker_series = first_ahead_series + kPopulations,
  };

  explicit ResultsView(QWidget* parent = nullptr);

  // The buttons, and when idle the progress display, for the run's state.
  void show_run_state(RunState state);
  // Work other than a run's generations (many runs): the progress bar at
  // `done` of `steps`, the first progress label saying how far it is, the
  // others empty.
  void show_progress_line(int done, int steps, const QString& line);
  // The output pages of the chosen populations.
  void show_population_count(int count);

  // Before the first generation: empty charts, the scaled data as "Real Data",
  // legends and progress labels for the run's populations, output grids of a
  // row per point with the forecast rows (from `first_forecast_row`) set apart.
  void start_run_display(std::span<const double> scaled_data, int populations, int generations,
                         int first_forecast_row, const DataScale& scale = {});
  // Everything a generation changes; `best_trees` are the texts shown under
  // each population's heading (the trees as printed, or their formulas).
  void show_generation(const runs::GenerationResults& results, const ResultHistories& histories,
                       int generations, const PredictionMarkers& markers,
                       const std::vector<std::string>& best_trees);
  void show_best_trees(const std::vector<std::string>& best_trees);
  // After a run, each best tree's forecast past the data: dashed on the
  // prediction chart, and in the output grid after the fitted rows.
  void show_forecasts(const std::vector<std::vector<double>>& forecasts);
  // After a run, what each population's forecasts are worth: the accuracy
  // table, the prediction bands on the chart, a diverged forecast named in the
  // chart's legend ("No1 — diverged at step 12").
  void show_forecast_quality(const std::vector<forecasting::ForecastQuality>& quality);
  // The prediction bands (and their coverage in the table) shown or hidden.
  void set_bands_shown(bool shown);
  // The prediction chart's vertical axis in the series' own units, or scaled.
  void set_original_units(bool original);
  // The time stamps the prediction chart's points stand at, set before
  // start_run_display; null: at their indices.
  void set_time_scale(std::shared_ptr<const TimeScale> time);
  // The predicted series and the two marker lines, which span the curves and
  // at least 0 to 1.
  void plot_prediction_curves(const runs::GenerationResults& results,
                              const PredictionMarkers& markers);

  [[nodiscard]] GridModel* output_model(int population) const;
  [[nodiscard]] AccuracyTable* accuracy_table() const noexcept { return accuracy_table_; }
  [[nodiscard]] std::array<ChartView*, 3> chart_views() const {
    return {prediction_chart_, mdl_chart_, mse_chart_};
  }

 signals:
  void start_or_abort_requested();
  void pause_toggle_requested();
  void save_requested(int population);
  void fitness_window_requested();
  void gene_length_window_requested();

 private:
  // The parts of the tab, made once by the constructor.
  [[nodiscard]] QGroupBox* build_output_box();
  [[nodiscard]] QFrame* build_best_individual_panel();
  void build_prediction_chart();
  // The progress bar, the progress labels and the Start and Stop buttons;
  // the layout of the labels beside the buttons.
  [[nodiscard]] QLayout* build_run_controls();
  void press_button_of_kind(ButtonKind kind);
  // The output grids of the run's populations show the time stamps of their
  // rows while the run's data came from a table with a time column.
  void label_output_times(int populations);
  // The prediction chart drawn again from what it shows, in the chosen units;
  // the data's own curve too when `real_data_too`.
  void plot_prediction_chart(bool real_data_too);
  // Each population's bands in the chosen units, or none when hidden.
  void plot_bands(const std::function<std::vector<double>(std::vector<double>)>& in_units);
  // The bands' legend entries: "80 % band" in a run of one population,
  // "No2 80 %" in a run of several.
  void name_bands(int populations);
  void name_diverged_forecasts();
  void plot_best_history(ChartView* chart, const std::vector<std::vector<double>>& histories,
                         int count);

  ChartView* mdl_chart_ = nullptr;
  ChartView* mse_chart_ = nullptr;
  ChartView* prediction_chart_ = nullptr;
  QTabWidget* output_tabs_ = nullptr;
  std::array<GridView*, kPopulations> output_grids_{};
  std::array<QPushButton*, kPopulations> save_buttons_{};
  QPlainTextEdit* best_trees_text_ = nullptr;
  AccuracyTable* accuracy_table_ = nullptr;
  QProgressBar* progress_bar_ = nullptr;
  std::array<QLabel*, kPopulations> progress_labels_{};
  KindButton* start_button_ = nullptr;
  KindButton* stop_button_ = nullptr;

  // What the prediction chart shows, kept to draw it again in other units.
  std::vector<double> scaled_data_;
  runs::GenerationResults shown_;
  std::vector<std::vector<double>> forecasts_;
  std::vector<forecasting::ForecastQuality> quality_;
  PredictionMarkers markers_;
  std::shared_ptr<const TimeScale> time_;
  DataScale scale_;
  bool original_units_ = false;
  bool bands_shown_ = true;
};

}  // namespace quarvel::ui
