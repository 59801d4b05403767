// The main window: menus, the three tabs ("Problem Configuration",
// "Populations", "Results"), the status bar, what is remembered between
// program starts, and the secondary windows it owns (data plot, fitness and
// gene-length charts, about box). Its handlers carry out what the user asks:
// loads, Start, Stop, Abort, saves, exports, windows.
#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "runs/settings.h"
#include "ui/OutputController.h"
#include "ui/ResultHistories.h"
#include "ui/ResultsView.h"
#include "ui/RunDriver.h"
#include "ui/RunResults.h"
#include "ui/UserDialogs.h"

class QAction;
class QElapsedTimer;
class QLabel;
class QTabWidget;

namespace quarvel {
struct Engine;
}

namespace quarvel::ui {

class AboutDialog;
class ChartView;
class DataPlotWindow;
class FieldChecker;
class HistoryChartWindow;
class PopulationsTab;
class ProblemTab;
class RunDriver;
class RunsWindow;
class TimeScale;
struct ImportedTable;

// The maker's page opened by "Venko Web Site".
inline constexpr const char* kVenkoWebSite = "https://www.venko.example/";

inline constexpr const char* kFileCannotBeOpened = "File cannot be opend.";
inline constexpr const char* kNoTrainingData = "You must load data set for training before GP run.";
inline constexpr const char* kNoValidationData =
    "You must load data set for validation before GP run.";
inline constexpr const char* kMemoryAllocationError = "Memory Allocation Error!!!!";
inline constexpr const char* kAbortCaption = "Venko";
inline constexpr const char* kAbortQuestion = "Are you sure you want to abort this GP run?";

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `engine` is the program's one engine; `dialogs` answers for the user. The
  // remembered folder and settings are read and the splash shown before the
  // constructor returns.
  MainWindow(Engine& engine, UserDialogs& dialogs, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The engine, between generations only (RunDriver::engine).
  [[nodiscard]] Engine& engine() const;
  [[nodiscard]] ProblemTab& problem_tab() const noexcept { return *problem_tab_; }
  [[nodiscard]] PopulationsTab& populations_tab() const noexcept { return *populations_tab_; }
  [[nodiscard]] ResultsView& results_view() const noexcept { return *results_view_; }
  [[nodiscard]] RunDriver& run_driver() const noexcept { return *run_driver_; }
  [[nodiscard]] FieldChecker& field_checker() const noexcept { return *field_checker_; }
  [[nodiscard]] DataPlotWindow& data_plot_window() const noexcept { return *data_plot_window_; }
  [[nodiscard]] HistoryChartWindow& fitness_window() const noexcept { return *fitness_window_; }
  [[nodiscard]] HistoryChartWindow& gene_length_window() const noexcept {
    return *gene_length_window_;
  }
  [[nodiscard]] AboutDialog& about_dialog() const noexcept { return *about_dialog_; }
  [[nodiscard]] RunsWindow& runs_window() const noexcept { return *runs_window_; }
  [[nodiscard]] OutputController& output_controller() const noexcept { return *output_controller_; }
  [[nodiscard]] QTabWidget& tabs() const noexcept { return *tabs_; }

  // Where the prediction chart marks the last run's training part and
  // forecast: after its training points, and its overlap later.
  [[nodiscard]] PredictionMarkers prediction_markers() const;
  // What the last run made and was made from (number 0: no run yet).
  [[nodiscard]] const RunResults& last_run() const noexcept { return run_; }
  // Every setting as typed and chosen in the window, and back into the fields.
  [[nodiscard]] runs::SettingsTexts settings_texts() const;
  void show_settings(const runs::SettingsTexts& settings);
  // The folder the file dialog opens in and the settings store keeps when the
  // program ends: that of the file chosen last, in this session or before.
  [[nodiscard]] QString remembered_folder() const { return files_.folder; }
  // The texts of the status bar: the loaded data, and the run's state.
  [[nodiscard]] QString data_status() const;
  [[nodiscard]] QString run_status() const;

  // The charts a user can export, with the names the export menu gives them.
  [[nodiscard]] QList<QPair<QString, ChartView*>> exportable_charts() const;

 public slots:
  void load_training_series();
  // Loads `path` as the training series as if it had been chosen in the load
  // dialog: a file given on the command line or dropped on the training grid.
  void load_training_file(const QString& path);
  void load_validation_series();
  // File > "Import table...": a table file chosen, read and split in the
  // import dialog, whose OK loads the two parts into the grids.
  void import_table();
  // The import dialog for the table at `path` (window-modal; it loads on OK).
  void open_table_file(const QString& path);
  // A file dropped on the training grid: a table opens the import dialog,
  // a data file loads as the training series.
  void open_dropped_file(const QString& path);
  void draw_data_plot();
  // Start when idle; while a run is in progress, the abort question.
  void start_or_abort_run();
  void toggle_pause();
  void save_output(int population) { output_controller_->save_output(population); }
  // The model files of every population of the last run into a chosen folder.
  void export_models();
  void show_formulas(bool formulas);
  void show_original_units(bool original);
  void restore_default_settings();
  void show_fitness_window();
  void show_gene_length_window();
  // File > Open runs: the runs table and fan chart of a folder of many runs.
  void open_runs();
  void show_about();
  void open_web_site();
  // Ends the program; during a run only after the abort question and the run's end.
  void exit_program();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_menus();
  void show_splash();
  void remember_for_next_start() const;
  void run_generations();
  // What the run's end forecasts and measures for a run of `settings`.
  [[nodiscard]] static RunDriver::ForecastRequest forecast_request(
      const runs::RunSettings& settings);
  void show_generation_results(const ShownGeneration& shown);
  // "Running: generation 3 of 50", "Stopping after …", "Paused after …".
  void show_progress_status();
  // Each population's best tree as printed, or as its formula.
  [[nodiscard]] std::vector<std::string> best_tree_texts() const;
  // True once the user has agreed to end the run in progress.
  bool agree_to_abort();
  [[nodiscard]] std::optional<QString> choose_file();
  // Reads a data file for a load; nothing (after telling the user) when it
  // cannot be opened or is not a text file.
  [[nodiscard]] std::optional<data::DataFileResult> read_series(const QString& path);
  // Tells the user why the file at `path` cannot be read; false when it can.
  bool tell_unreadable(const QString& path, data::DataFileError error, const std::string& reason);
  // The two parts of an imported table into the grids, as loading them from
  // two files would, the overlap the split's; its time stamps kept for the charts.
  void load_imported_table(const ImportedTable& table);
  // The grids no longer hold the parts of an imported table: index axes again.
  void forget_table_time();
  // The largest terminal table size of the populations now set (unreadable
  // fields count as 0).
  [[nodiscard]] std::int32_t largest_terminal_table() const;
  void warn_about_doubtful_file(const QString& path, const data::DataFileResult& file);
  // What to tell the user when a population's terminal table is larger than
  // the overlap the loaded validation data were detected with; empty when not.
  [[nodiscard]] QString lags_past_the_overlap() const;
  void update_data_status();
  void set_run_status(const QString& text);

  UserDialogs& dialogs_;
  FieldChecker* field_checker_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  ProblemTab* problem_tab_ = nullptr;
  PopulationsTab* populations_tab_ = nullptr;
  ResultsView* results_view_ = nullptr;
  RunDriver* run_driver_ = nullptr;
  AboutDialog* about_dialog_ = nullptr;
  DataPlotWindow* data_plot_window_ = nullptr;
  HistoryChartWindow* fitness_window_ = nullptr;
  HistoryChartWindow* gene_length_window_ = nullptr;
  RunsWindow* runs_window_ = nullptr;
  QAction* load_validation_action_ = nullptr;
  QAction* formulas_action_ = nullptr;
  QAction* bands_action_ = nullptr;   // "Prediction bands"
  std::vector<QAction*> view_ticks_;  // the View menu's ticks, remembered between starts
  QLabel* data_status_label_ = nullptr;
  QLabel* run_status_label_ = nullptr;
  OutputController* output_controller_ = nullptr;

  ResultHistories histories_;
  RunResults run_;     // the run in progress or the last one
  WindowFiles files_;  // the dialogs' folder and the loaded files
  // The time stamps of the table whose parts the grids hold; null when they
  // hold data files (or nothing).
  std::shared_ptr<const TimeScale> table_time_;
  bool close_after_run_ = false;  // the window was closed during a run
  bool exit_after_run_ = false;   // Exit was chosen during a run
};

}  // namespace quarvel::ui
