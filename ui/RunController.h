// Start, Stop and Abort: a run of the data in the grids at the settings in
// the fields, and what the window shows of it generation by generation and
// at its end (the results tab, the two chart windows, the run's state in the
// status bar). Each run keeps what it was started with, so that what is
// shown, saved or exported after it belongs to that run.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "runs/settings.h"
#include "ui/ResultHistories.h"
#include "ui/RunDriver.h"
#include "ui/RunResults.h"

class QTabWidget;
class QWidget;

namespace quarvel {
struct Engine;
}

namespace quarvel::ui {

class ChartView;
class HistoryChartWindow;
class ProblemTab;
class ResultsView;
class SeriesLoader;
class UserDialogs;
struct WindowFiles;

inline constexpr const char* kNoTrainingData = "You must load data set for training before GP run.";
inline constexpr const char* kNoValidationData =
    "You must load data set for validation before GP run.";
inline constexpr const char* kMemoryAllocationError = "Memory Allocation Error!!!!";
inline constexpr const char* kAbortCaption = "Venko";
inline constexpr const char* kAbortQuestion = "Are you sure you want to abort this GP run?";

// The parts of the window a run uses; all outlive the controller.
struct RunScreens {
  QTabWidget& tabs;
  ProblemTab& problem_tab;
  ResultsView& results_view;
  HistoryChartWindow& fitness_window;
  HistoryChartWindow& gene_length_window;
};

class RunController final : public QObject {
  Q_OBJECT

 public:
  // `settings` gives every setting as typed in the window; `series` and
  // `files` say what the grids hold. `window` parents the boxes.
  RunController(Engine& engine, UserDialogs& dialogs, const RunScreens& screens,
                const SeriesLoader& series, const WindowFiles& files,
                std::function<runs::SettingsTexts()> settings, QWidget* window);

  [[nodiscard]] RunDriver& driver() const noexcept { return *driver_; }
  // What the last run made and was made from (number 0: no run yet).
  [[nodiscard]] const RunResults& last_run() const noexcept { return run_; }
  // The run's state and how the last run ended, as the status bar says them.
  [[nodiscard]] const QString& run_status() const noexcept { return status_; }

  // True once the user has agreed to end the run in progress.
  bool agree_to_abort();

 public slots:
  // Start when idle: the run goes on from the message loop, and this returns
  // at once. While a run is in progress, the abort question, behind which
  // the run goes on.
  void start_or_abort_run();
  void toggle_pause();
  // The best trees shown as printed, or as their formulas.
  void show_formulas(bool formulas);

 signals:
  // The run's state and how it ended, for the status bar.
  void run_status_changed(const QString& text);
  // A run has ended, however it ended, and the window shows its end.
  void run_ended();

 private:
  // What a run started now with `settings` keeps of its start.
  [[nodiscard]] RunResults record_of_start(const runs::RunSettings& settings,
                                           forecasting::RunTransforms transforms);
  // The run's display made ready and its generations started.
  void run_generations();
  // The run has ended: the window idle again, how it ended in the status
  // bar, and what its forecasts are worth.
  void show_run_end(RunDriver::RunEnd end);
  void show_forecast_figures(RunDriver::RunEnd& end);
  // The charts a run draws into, whose animations pause while it runs.
  [[nodiscard]] std::vector<ChartView*> charts() const;
  // What the run's end forecasts and measures for a run of `settings`.
  [[nodiscard]] static RunDriver::ForecastRequest forecast_request(
      const runs::RunSettings& settings);
  void show_generation_results(const ShownGeneration& shown);
  // "Running: generation 3 of 50", "Stopping after …", "Paused after …".
  void show_progress_status();
  // Each population's best tree as printed, or as its formula.
  [[nodiscard]] std::vector<std::string> best_tree_texts() const;
  void set_run_status(const QString& text);
  // "Not running — finished in 3.2 s".
  [[nodiscard]] static QString not_running(const QString& how_the_run_ended);

  UserDialogs& dialogs_;
  RunScreens screens_;
  const SeriesLoader& series_;
  const WindowFiles& files_;
  std::function<runs::SettingsTexts()> settings_;
  QWidget* window_;
  RunDriver* driver_ = nullptr;
  ResultHistories histories_;
  RunResults run_;  // the run in progress or the last one
  QString status_;
  bool formulas_ = false;
};

}  // namespace quarvel::ui
