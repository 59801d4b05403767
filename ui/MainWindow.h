// The main window: menus, the three tabs ("Problem Configuration",
// "Populations", "Results"), the status bar, what is remembered between
// program starts, and the secondary windows it owns (data plot, fitness and
// gene-length charts, runs, about box). Loads go through its SeriesLoader,
// Start, Stop and Abort through its RunController, saves and exports through
// its OutputController; it answers the rest: the settings, the windows, the
// close and the exit.
#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runs/settings.h"
#include "ui/ManyRunsController.h"
#include "ui/OutputController.h"
#include "ui/ResultsView.h"
#include "ui/RunController.h"
#include "ui/RunDriver.h"
#include "ui/RunResults.h"
#include "ui/SeriesLoader.h"
#include "ui/UserDialogs.h"

class QAction;
class QLabel;
class QMenu;
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
class RunsWindow;

// The maker's page opened by "Venko Web Site".
inline constexpr const char* kVenkoWebSite = "https://www.venko.example/";

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
  [[nodiscard]] RunDriver& run_driver() const noexcept { return run_controller_->driver(); }
  [[nodiscard]] RunController& run_controller() const noexcept { return *run_controller_; }
  [[nodiscard]] ManyRunsController& many_runs() const noexcept { return *many_runs_; }
  [[nodiscard]] SeriesLoader& series_loader() const noexcept { return *series_loader_; }
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
  [[nodiscard]] PredictionMarkers prediction_markers() const { return last_run().markers; }
  // What the last run made and was made from (number 0: no run yet).
  [[nodiscard]] const RunResults& last_run() const noexcept { return run_controller_->last_run(); }
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
  // The loads of SeriesLoader.
  void load_training_series() { series_loader_->load_training_series(); }
  void load_training_file(const QString& path) { series_loader_->load_training_file(path); }
  void load_validation_series() { series_loader_->load_validation_series(); }
  void import_table() { series_loader_->import_table(); }
  void open_table_file(const QString& path) { series_loader_->open_table_file(path); }
  void open_dropped_file(const QString& path) { series_loader_->open_dropped_file(path); }
  void draw_data_plot() { series_loader_->draw_data_plot(); }
  // Start when idle; while a run or many runs are in progress, the abort question.
  void start_or_abort_run();
  void toggle_pause();
  // File > "Start many runs...", once no run is in progress.
  void start_many_runs();
  void save_output(int population) { output_controller_->save_output(population); }
  // The model files of every population of the last run into a chosen folder.
  void export_models();
  void show_formulas(bool formulas) { run_controller_->show_formulas(formulas); }
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
  void build_tabs_and_windows(Engine& engine);
  void build_menus();
  void build_file_menu();
  void build_view_menu();
  void build_help_menu();
  void build_status_bar();
  void connect_parts();
  // The folder, the picture size, the View menu's ticks and the settings of
  // the last program start.
  void restore_remembered();
  // A menu entry named `name` whose choice calls `handler`.
  QAction* add_action(QMenu* menu, const char* name, const QString& text,
                      void (MainWindow::*handler)());
  void show_splash();
  void remember_for_next_start() const;
  // A close or Exit agreed to during a run (`after_run` its flag), carried
  // out once the run has ended.
  void hold_until_run_end(bool& after_run);
  void close_as_asked_during_run();
  // A run, or many, in progress.
  [[nodiscard]] bool running() const;
  [[nodiscard]] bool agree_to_abort();
  // The largest terminal table size of the populations now set.
  [[nodiscard]] std::int32_t largest_terminal_table();
  // What to tell the user when a population's terminal table is larger than
  // the overlap the loaded validation data were detected with; empty when not.
  [[nodiscard]] QString lags_past_the_overlap();
  void update_data_status();

  UserDialogs& dialogs_;
  FieldChecker* field_checker_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  ProblemTab* problem_tab_ = nullptr;
  PopulationsTab* populations_tab_ = nullptr;
  ResultsView* results_view_ = nullptr;
  SeriesLoader* series_loader_ = nullptr;
  RunController* run_controller_ = nullptr;
  ManyRunsController* many_runs_ = nullptr;
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

  WindowFiles files_;  // the dialogs' folder and the loaded files
  // The settings as they were last read from the fields (the defaults before).
  runs::RunSettings read_settings_;
  bool close_after_run_ = false;  // the window was closed during a run
  bool exit_after_run_ = false;   // Exit was chosen during a run
};

}  // namespace quarvel::ui
