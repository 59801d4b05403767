#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <new>

#include "engine/engine.h"
#include "frontend/forecast.h"
#include "frontend/modelexport.h"
#include "frontend/numbertext.h"
#include "frontend/outputfile.h"
#include "frontend/startrun.h"
#include "ui/AboutDialog.h"
#include "ui/ChartExport.h"
#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/FieldChecker.h"
#include "ui/GridModel.h"
#include "ui/HistoryChartWindow.h"
#include "ui/PopulationsTab.h"
#include "ui/ProblemTab.h"
#include "ui/ResultsView.h"
#include "ui/RunDriver.h"
#include "ui/SettingsStore.h"
#include "ui/UserDialogs.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

MainWindow::MainWindow(Engine& engine, UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), engine_(engine), dialogs_(dialogs) {
  setObjectName(QStringLiteral("main_window"));
  setWindowTitle(QStringLiteral("Quarvel v.0.0"));
  setFont(window_font());

  field_checker_ = new FieldChecker(dialogs_, this);
  run_driver_ = new RunDriver(engine_, this);
  tabs_ = new QTabWidget();
  tabs_->setObjectName(QStringLiteral("tabs"));
  setCentralWidget(tabs_);
  problem_tab_ = new ProblemTab(*field_checker_, tabs_);
  tabs_->addTab(problem_tab_, QStringLiteral("Problem Configuration"));
  populations_tab_ = new PopulationsTab(*field_checker_, dialogs_, tabs_);
  tabs_->addTab(populations_tab_, QStringLiteral("Populations"));
  results_view_ = new ResultsView(tabs_);
  tabs_->addTab(results_view_, QStringLiteral("Results"));

  // The secondary windows are the main window's children: they close with it.
  about_dialog_ = new AboutDialog(this);
  data_plot_window_ = new DataPlotWindow(this);
  fitness_window_ = new HistoryChartWindow(HistoryChartWindow::fitness_layout(), this);
  gene_length_window_ = new HistoryChartWindow(HistoryChartWindow::gene_length_layout(), this);
  build_menus();

  run_status_label_ = new QLabel();
  run_status_label_->setObjectName(QStringLiteral("run_status_label"));
  data_status_label_ = new QLabel();
  data_status_label_->setObjectName(QStringLiteral("data_status_label"));
  statusBar()->addWidget(run_status_label_, 1);
  statusBar()->addPermanentWidget(data_status_label_);
  set_run_status(QString::fromLatin1(kNotRunning));
  update_data_status();

  // The designed size at first: a tab area of 601 x 505 below the menu; the
  // charts, the text and the grids take what the window grows by.
  resize(607, 505 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  connect(problem_tab_, &ProblemTab::load_training_requested, this,
          &MainWindow::load_training_series);
  connect(problem_tab_, &ProblemTab::training_file_dropped, this, &MainWindow::load_training_file);
  connect(problem_tab_, &ProblemTab::load_validation_requested, this,
          &MainWindow::load_validation_series);
  connect(problem_tab_, &ProblemTab::draw_graph_requested, this, &MainWindow::draw_data_plot);
  connect(problem_tab_, &ProblemTab::training_cleared, this, [this] {
    data_plot_window_->clear_series(DataPlotWindow::training);
    training_file_.clear();
    update_data_status();
  });
  connect(problem_tab_, &ProblemTab::validation_cleared, this, [this] {
    data_plot_window_->clear_series(DataPlotWindow::validation);
    validation_file_.clear();
    update_data_status();
  });
  connect(problem_tab_, &ProblemTab::overlap_changed, this, &MainWindow::update_data_status);
  // The menu entry runs the same load, so it follows the button.
  connect(problem_tab_, &ProblemTab::validation_opened, load_validation_action_,
          &QAction::setEnabled);
  connect(populations_tab_, &PopulationsTab::population_count_changed, results_view_,
          &ResultsView::show_population_count);
  connect(results_view_, &ResultsView::start_or_abort_requested, this,
          &MainWindow::start_or_abort_run);
  connect(results_view_, &ResultsView::pause_toggle_requested, this, &MainWindow::toggle_pause);
  connect(results_view_, &ResultsView::save_requested, this, &MainWindow::save_output);
  connect(results_view_, &ResultsView::fitness_window_requested, this,
          &MainWindow::show_fitness_window);
  connect(results_view_, &ResultsView::gene_length_window_requested, this,
          &MainWindow::show_gene_length_window);
  connect(run_driver_, &RunDriver::paused_changed, this, [this](bool paused) {
    results_view_->show_run_state(paused ? RunState::paused : RunState::running);
    set_run_status(paused ? QStringLiteral("Paused after generation %1 of %2")
                                .arg(generations_shown_)
                                .arg(engine_.parameters.number_of_generations)
                          : QStringLiteral("Running"));
  });

  current_folder_ = SettingsStore::folder();
  frontend::SettingsTexts remembered;
  SettingsStore::read_settings(remembered);
  show_settings(remembered);
  show_splash();
  tabs_->setCurrentWidget(problem_tab_);
}

MainWindow::~MainWindow() = default;

void MainWindow::build_menus() {
  const auto add_action = [this](QMenu* menu, const char* name, const QString& text,
                                 void (MainWindow::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  QMenu* file_menu = menuBar()->addMenu(QStringLiteral("File (&F)"));
  file_menu->setObjectName(QStringLiteral("file_menu"));
  add_action(file_menu, "load_training_action", QStringLiteral("Load training data (&T)"),
             &MainWindow::load_training_series)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  load_validation_action_ =
      add_action(file_menu, "load_validation_action", QStringLiteral("Load validation data (&V)"),
                 &MainWindow::load_validation_series);
  load_validation_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  load_validation_action_->setEnabled(false);
  file_menu->addSeparator();
  QMenu* export_menu = file_menu->addMenu(QStringLiteral("Export chart (&E)"));
  export_menu->setObjectName(QStringLiteral("export_menu"));
  for (const auto& [name, view] : exportable_charts()) {
    QAction* action = export_menu->addAction(name + QStringLiteral("..."));
    // "&Prediction chart" suggests the file name "prediction-chart".
    QString file_name = QString(name).remove(QLatin1Char('&')).toLower();
    file_name.replace(QLatin1Char(' '), QLatin1Char('-'));
    connect(action, &QAction::triggered, this,
            [this, chart = view, file_name] { export_chart(chart, file_name); });
  }
  add_action(file_menu, "export_models_action", QStringLiteral("Export models... (&M)"),
             &MainWindow::export_models);
  add_action(file_menu, "restore_defaults_action", QStringLiteral("Restore default settings (&D)"),
             &MainWindow::restore_default_settings);
  file_menu->addSeparator();
  add_action(file_menu, "exit_action", QStringLiteral("Exit (&X)"), &MainWindow::exit_program);

  QMenu* view_menu = menuBar()->addMenu(QStringLiteral("View (&W)"));
  view_menu->setObjectName(QStringLiteral("view_menu"));
  QAction* units = view_menu->addAction(QStringLiteral("Prediction chart in original units (&O)"));
  units->setObjectName(QStringLiteral("original_units_action"));
  units->setCheckable(true);
  connect(units, &QAction::toggled, this, &MainWindow::show_original_units);
  formulas_action_ = view_menu->addAction(QStringLiteral("Best trees as formulas (&F)"));
  formulas_action_->setObjectName(QStringLiteral("formulas_action"));
  formulas_action_->setCheckable(true);
  connect(formulas_action_, &QAction::toggled, this, &MainWindow::show_formulas);

  QMenu* help_menu = menuBar()->addMenu(QStringLiteral("Help (&H)"));
  help_menu->setObjectName(QStringLiteral("help_menu"));
  add_action(help_menu, "about_action", QStringLiteral("About Venko (&A)"),
             &MainWindow::show_about);
  add_action(help_menu, "web_site_action", QStringLiteral("Venko Web Site"),
             &MainWindow::open_web_site);

  // Ctrl+S works in every state, also while the Start button is disabled.
  auto* start_action = new QAction(QStringLiteral("Start GP run"), this);
  start_action->setObjectName(QStringLiteral("start_action"));
  start_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  start_action->setShortcutContext(Qt::WindowShortcut);
  addAction(start_action);
  connect(start_action, &QAction::triggered, this, &MainWindow::start_or_abort_run);
}

QList<QPair<QString, ChartView*>> MainWindow::exportable_charts() const {
  const auto views = results_view_->chart_views();
  return {{QStringLiteral("&MDL chart"), views[1]},
          {QStringLiteral("M&SE chart"), views[2]},
          {QStringLiteral("&Prediction chart"), views[0]},
          {QStringLiteral("&Fitness chart"), fitness_window_->chart_view()},
          {QStringLiteral("&Gene length chart"), gene_length_window_->chart_view()},
          {QStringLiteral("&Data plot"), data_plot_window_->chart_view()}};
}

frontend::SettingsTexts MainWindow::settings_texts() const {
  frontend::SettingsTexts settings;
  problem_tab_->fill_settings(settings);
  populations_tab_->fill_settings(settings);
  return settings;
}

void MainWindow::show_settings(const frontend::SettingsTexts& settings) {
  problem_tab_->show_settings(settings);
  populations_tab_->show_settings(settings);
}

void MainWindow::restore_default_settings() {
  show_settings(frontend::SettingsTexts{});
}

// ---------------------------------------------------------------------------
// Start-up, close and what is remembered

void MainWindow::show_splash() {
  about_dialog_->show_window();
  dialogs_.splash_delay(3000);
  about_dialog_->hide();
}

void MainWindow::remember_for_next_start() const {
  SettingsStore::store_folder(current_folder_);
  SettingsStore::store_settings(settings_texts());
}

bool MainWindow::agree_to_abort() {
  if (!dialogs_.ask_yes_no(this, QString::fromLatin1(kAbortCaption),
                           QString::fromLatin1(kAbortQuestion))) {
    return false;
  }
  run_driver_->request_abort();
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The run loop is further down the stack, inside start_or_abort_run: once the
  // user agrees, the run ends at the next generation boundary and
  // start_or_abort_run closes the window then. No keeps the run going.
  if (run_driver_->running()) {
    if (agree_to_abort()) close_after_run_ = true;
    event->ignore();
    return;
  }
  remember_for_next_start();
  event->accept();
}

void MainWindow::exit_program() {
  if (run_driver_->running()) {
    if (agree_to_abort()) exit_after_run_ = true;
    return;
  }
  remember_for_next_start();
  dialogs_.end_process(0);
}

std::optional<QString> MainWindow::choose_file() {
  auto path = dialogs_.open_file(this, current_folder_);
  if (path && !path->isEmpty()) {
    current_folder_ = QDir::toNativeSeparators(QFileInfo(*path).absolutePath());
    return path;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Help menu and the chart windows

void MainWindow::show_about() {
  about_dialog_->show_window();
}

void MainWindow::open_web_site() {
  dialogs_.open_url(QString::fromLatin1(kVenkoWebSite));
}

void MainWindow::show_fitness_window() {
  fitness_window_->show_window();
}

void MainWindow::show_gene_length_window() {
  gene_length_window_->show_window();
}

// ---------------------------------------------------------------------------
// The status bar

QString MainWindow::data_status() const {
  return data_status_label_->text();
}

QString MainWindow::run_status() const {
  return run_status_label_->text();
}

void MainWindow::update_data_status() {
  const auto count = [](const frontend::GridColumns& cells, const QString& file) {
    return file.isEmpty() ? QStringLiteral("none") : QStringLiteral("%1 points").arg(cells.rows());
  };
  data_status_label_->setText(QStringLiteral("Training: %1, validation: %2, overlap: %3")
                                  .arg(count(problem_tab_->training_cells(), training_file_),
                                       count(problem_tab_->validation_cells(), validation_file_),
                                       problem_tab_->overlap_text()));
}

void MainWindow::set_run_status(const QString& text) {
  run_status_label_->setText(text);
}

// ---------------------------------------------------------------------------
// Data loading

void MainWindow::load_training_series() {
  const auto path = choose_file();
  if (!path) return;
  load_training_file(*path);
}

void MainWindow::load_training_file(const QString& path) {
  // The next dialog opens in this file's folder, as after a choice in the dialog.
  current_folder_ = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
  const auto file = read_series(path);
  if (!file) return;
  problem_tab_->show_training_series(frontend::make_grid(file->values, 0));
  training_file_ = QFileInfo(path).canonicalFilePath();
  update_data_status();
  warn_about_doubtful_file(path, *file);
}

void MainWindow::load_validation_series() {
  if (!problem_tab_->validation_open()) return;  // locked until a training series is loaded
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  const auto training_rows = static_cast<std::int64_t>(problem_tab_->training_cells().rows());
  problem_tab_->show_validation_series(frontend::make_grid(file->values, training_rows));
  validation_file_ = QFileInfo(*path).canonicalFilePath();
  update_data_status();
  warn_about_doubtful_file(*path, *file);
}

std::optional<frontend::DataFileResult> MainWindow::read_series(const QString& path) {
  auto file = frontend::read_data_file(QFile::encodeName(path).toStdString());
  if (file.error == frontend::DataFileError::too_large) {
    dialogs_.message(this,
                     QStringLiteral("\"%1\" %2. Nothing was loaded.")
                         .arg(QFileInfo(path).fileName(), QString::fromStdString(file.reason)));
    return std::nullopt;
  }
  if (file.error != frontend::DataFileError::none) {
    dialogs_.message(this, QString::fromLatin1(kFileCannotBeOpened));
    return std::nullopt;
  }
  // A binary file is no series: nothing of it is loaded.
  if (file.doubtful.problem == frontend::LineProblem::nul_byte) {
    dialogs_.message(
        this, QStringLiteral("\"%1\" is not a text file: %2. Nothing was loaded.")
                  .arg(QFileInfo(path).fileName(),
                       QString::fromStdString(frontend::describe_doubtful_line(file.doubtful))));
    return std::nullopt;
  }
  return file;
}

// A file the format reads only in part is loaded as the format reads it, and
// the user is told which line was not a plain value.
void MainWindow::warn_about_doubtful_file(const QString& path,
                                          const frontend::DataFileResult& file) {
  const QString name = QFileInfo(path).fileName();
  if (file.values.empty()) {
    dialogs_.message(this, QStringLiteral("\"%1\" holds no values.").arg(name));
    return;
  }
  const char* consequence = nullptr;
  switch (file.doubtful.problem) {
    case frontend::LineProblem::too_long:
      consequence = "Only its first 255 characters were read.";
      break;
    case frontend::LineProblem::lone_return:
      consequence = "The text around it was read as one line.";
      break;
    case frontend::LineProblem::no_number:
      consequence = "It was read as 0.";
      break;
    case frontend::LineProblem::nul_byte:
    case frontend::LineProblem::trailing_text:  // the doubtful line is never of this kind
    case frontend::LineProblem::none:
      return;
  }
  dialogs_.message(
      this, QStringLiteral("\"%1\": %2. %3")
                .arg(name, QString::fromStdString(frontend::describe_doubtful_line(file.doubtful)),
                     QString::fromLatin1(consequence)));
}

void MainWindow::draw_data_plot() {
  data_plot_window_->clear_series(DataPlotWindow::training);
  data_plot_window_->clear_series(DataPlotWindow::validation);
  const std::array<const frontend::GridColumns*, 2> grids{&problem_tab_->training_cells(),
                                                          &problem_tab_->validation_cells()};
  for (int series = 0; series < 2; ++series) {
    const frontend::GridColumns& cells = *grids[static_cast<std::size_t>(series)];
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(cells.rows()));
    for (std::size_t row = 0; row < cells.rows(); ++row) {
      const std::string& time_text = cells.time[row];
      const std::string& value_text = cells.value[row];
      if (time_text.empty() || value_text.empty()) continue;
      const auto time = frontend::parse_number(time_text);
      const auto value = frontend::parse_number(value_text);
      if (!time || !value) {
        // The rows before the bad one stay plotted; the window is not shown.
        data_plot_window_->set_points(series, points);
        const std::string& bad = time ? value_text : time_text;
        dialogs_.error(this, QStringLiteral("'%1' is not a floating point number.")
                                 .arg(QString::fromStdString(bad)));
        return;
      }
      points.append(QPointF(*time, *value));
    }
    data_plot_window_->set_points(series, points);
  }
  data_plot_window_->show_plot();
}

// ---------------------------------------------------------------------------
// Start, Stop, Abort and the run

void MainWindow::start_or_abort_run() {
  // While a run is in progress the button is the Abort button, also when Ctrl+S
  // reaches this handler with the button disabled: never a second run.
  if (run_driver_->running()) {
    agree_to_abort();
    return;
  }

  const auto refuse_start = [this](const QString& message, bool show_data_tab) {
    dialogs_.message(this, message);
    if (show_data_tab) tabs_->setCurrentWidget(problem_tab_);
  };
  if (!problem_tab_->training_loaded()) {
    return refuse_start(QString::fromLatin1(kNoTrainingData), true);
  }
  if (!problem_tab_->validation_loaded()) {
    return refuse_start(QString::fromLatin1(kNoValidationData), true);
  }

  frontend::StartOutcome outcome;
  try {
    outcome = frontend::start_run(engine_, problem_tab_->training_cells(),
                                  problem_tab_->validation_cells(), settings_texts());
  } catch (const std::bad_alloc&) {
    dialogs_.message(this, QString::fromLatin1(kMemoryAllocationError));
    dialogs_.end_process(1);
    return;
  }
  switch (outcome.error) {
    case frontend::StartError::none:
      break;
    // Faults in the loaded data: the grids are on "Problem Configuration".
    case frontend::StartError::training_invalid:
    case frontend::StartError::validation_invalid:
    case frontend::StartError::too_many_values:
    case frontend::StartError::constant_series:
    case frontend::StartError::non_finite_series:
      return refuse_start(QString::fromStdString(outcome.message), true);
    case frontend::StartError::unreadable_setting:
    case frontend::StartError::overselect_too_small:
    case frontend::StartError::elite_too_large:
      return refuse_start(QString::fromStdString(outcome.message), false);
  }

  run_training_file_ = training_file_;
  run_validation_file_ = validation_file_;
  forecast_steps_ =
      frontend::parse_whole_number(settings_texts().text(frontend::Setting::forecast_ahead))
          .value_or(0);
  tabs_->setCurrentWidget(results_view_);
  run_generations();
  // A close or Exit during the run was held back until the run had ended.
  if (exit_after_run_) {
    exit_after_run_ = false;
    close_after_run_ = false;
    exit_program();
  } else if (close_after_run_) {
    close_after_run_ = false;
    close();
  }
}

void MainWindow::toggle_pause() {
  run_driver_->toggle_pause();
}

void MainWindow::run_generations() {
  std::vector<ChartView*> views;
  for (ChartView* view : results_view_->chart_views()) views.push_back(view);
  views.push_back(fitness_window_->chart_view());
  views.push_back(gene_length_window_->chart_view());
  for (ChartView* view : views) view->pause_animations();
  results_view_->show_run_state(RunState::running);
  set_run_status(QStringLiteral("Running"));

  const int populations = engine_.population_count;
  const int generations = engine_.parameters.number_of_generations;
  histories_ = ResultHistories(populations, generations);
  generations_shown_ = 0;
  const auto points = static_cast<std::size_t>(engine_.data.point_count);
  const std::int64_t forecast_start =
      static_cast<std::int64_t>(engine_.data.training_count) + engine_.data.overlap;
  results_view_->start_run_display(
      std::span<const double>(engine_.data.values.data(), points), populations, generations,
      static_cast<int>(std::clamp<std::int64_t>(forecast_start, 0, engine_.data.point_count)),
      DataScale{engine_.data.scale_low, engine_.data.scale_high});
  last_results_ = {};
  forecasts_.clear();
  fitness_window_->clear();
  gene_length_window_->clear();

  QElapsedTimer clock;
  clock.start();
  // Back to Idle however the run ends.
  const auto end_run = [this, &views] {
    QApplication::beep();
    results_view_->show_run_state(RunState::idle);
    for (ChartView* view : views) view->resume_animations();
  };
  RunDriver::Ending ending = RunDriver::Ending::finished;
  try {
    ending = run_driver_->run(
        [this](const frontend::GenerationResults& results) { show_generation_results(results); });
  } catch (...) {
    end_run();
    set_run_status(QStringLiteral("failed at generation %1").arg(generations_shown_ + 1));
    throw;
  }
  end_run();
  if (ending == RunDriver::Ending::out_of_memory) {
    // The run's trees are given back: what was shown stays, with no models.
    set_run_status(QStringLiteral("out of memory at generation %1").arg(generations_shown_ + 1));
    dialogs_.message(this, QString::fromLatin1(kRunOutOfMemory));
    return;
  }
  // Each best tree's forecast past the data, once the run has ended.
  if (forecast_steps_ > 0 && generations_shown_ > 0) {
    forecasts_ = frontend::forecasts_past_data(engine_, forecast_steps_);
    results_view_->show_forecasts(forecasts_);
  }
  if (ending == RunDriver::Ending::finished) {
    set_run_status(QStringLiteral("finished: %1 generations in %2 s")
                       .arg(generations)
                       .arg(static_cast<double>(clock.elapsed()) / 1000.0, 0, 'f', 1));
  } else {
    set_run_status(QStringLiteral("aborted at generation %1").arg(generations_shown_));
  }
}

PredictionMarkers MainWindow::prediction_markers() const {
  // The settings check keeps the overlap text a whole number; should it hold
  // anything else, the run's own overlap marks the point.
  const double training = static_cast<double>(problem_tab_->training_cells().rows());
  const double overlap = frontend::parse_whole_number(problem_tab_->overlap_text().toStdString())
                             .value_or(engine_.data.overlap);
  return {training, training + overlap};
}

bool MainWindow::holds_best_trees() const {
  const std::size_t shown = last_results_.populations.size();
  if (shown == 0 || shown > engine_.populations.size()) return false;
  return std::all_of(engine_.populations.begin(),
                     engine_.populations.begin() + static_cast<std::ptrdiff_t>(shown),
                     [](const Population& pop) { return pop.best_of_gen_tree != nullptr; });
}

std::vector<std::string> MainWindow::best_tree_texts() const {
  std::vector<std::string> texts;
  const bool formulas = formulas_action_->isChecked() && holds_best_trees();
  for (std::size_t p = 0; p < last_results_.populations.size(); ++p) {
    texts.push_back(formulas ? frontend::formula_text(frontend::describe_best_tree(
                                   engine_, static_cast<std::int32_t>(p)))
                             : last_results_.populations[p].tree_text);
  }
  return texts;
}

void MainWindow::show_formulas(bool /*formulas*/) {
  // Between generations and after a run the engine holds the shown trees.
  if (!last_results_.populations.empty()) results_view_->show_best_trees(best_tree_texts());
}

void MainWindow::show_original_units(bool original) {
  results_view_->set_original_units(original);
}

void MainWindow::show_generation_results(const frontend::GenerationResults& results) {
  histories_.record(results);
  last_results_ = results;
  generations_shown_ = results.generation + 1;
  const int generations = engine_.parameters.number_of_generations;
  results_view_->show_generation(results, histories_, generations, prediction_markers(),
                                 best_tree_texts());
  // The fitness window: forecast error beside the training error; the
  // gene-length window: the best tree's size beside the population's mean size.
  fitness_window_->plot_histories(histories_.validation_mse, histories_.mse, generations_shown_);
  gene_length_window_->plot_histories(histories_.best_nodes, histories_.average_nodes,
                                      generations_shown_);
  if (!run_driver_->paused()) {
    set_run_status(
        QStringLiteral("Running: generation %1 of %2").arg(generations_shown_).arg(generations));
  }
}

// ---------------------------------------------------------------------------
// Output save and chart export

std::optional<UserDialogs::SaveChoice> MainWindow::choose_file_to_write(
    const QString& suggested_name, const QStringList& filters) {
  auto choice = dialogs_.save_file(this, current_folder_, suggested_name, filters);
  if (!choice || choice->path.isEmpty()) return std::nullopt;
  current_folder_ = QDir::toNativeSeparators(QFileInfo(choice->path).absolutePath());
  return choice;
}

void MainWindow::write_chosen_file(const QString& path, const QByteArray& content) {
  const QString name = QDir::toNativeSeparators(path);
  const QFileInfo target(path);
  std::optional<std::string> problem;
  const QString canonical = target.canonicalFilePath();
  if (target.isDir()) {
    problem = "it is a folder";
  } else if (!canonical.isEmpty() &&
             (canonical == training_file_ || canonical == validation_file_)) {
    // It may be the only copy of the series.
    problem = canonical == training_file_ ? "it holds the loaded training data"
                                          : "it holds the loaded validation data";
  } else if (target.exists() && !target.isWritable()) {
    problem = "the file is write-protected";  // replacing it would defeat the protection
  } else if (target.exists() &&
             !dialogs_.ask_yes_no(
                 this, QApplication::applicationName(),
                 QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                     .arg(target.fileName()))) {
    return;
  } else {
    problem = frontend::write_file_atomically(
        QFile::encodeName(path).toStdString(),
        std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
  }
  if (problem) {
    dialogs_.message(this, QStringLiteral("The output could not be saved to \"%1\": %2.")
                               .arg(name, QString::fromStdString(*problem)));
  }
}

void MainWindow::save_output(int population) {
  const auto choice = choose_file_to_write(
      {}, {QStringLiteral("Scaled values, as shown (*)"), QStringLiteral("Original units (*)")});
  if (!choice) return;
  const auto p = static_cast<std::size_t>(population);
  std::string text;
  if (choice->filter == 1 && p < last_results_.populations.size()) {
    // From the values themselves, not from their six-digit texts.
    const frontend::OutputCells known = frontend::output_cells(
        frontend::in_original_units(engine_, last_results_.populations[p].prediction));
    text = frontend::output_file_text(known.index, known.value);
    if (p < forecasts_.size()) {
      const frontend::OutputCells ahead =
          frontend::output_cells(frontend::in_original_units(engine_, forecasts_[p]),
                                 static_cast<std::int64_t>(known.index.size()));
      text += frontend::output_file_text(ahead.index, ahead.value);
    }
  } else {
    const auto& cells = results_view_->output_model(population)->columns();
    text = frontend::output_file_text(cells.time, cells.value);
  }
  write_chosen_file(choice->path, QByteArray::fromStdString(text));
}

void MainWindow::export_models() {
  if (run_driver_->running()) {
    dialogs_.message(this, QStringLiteral("The models can be exported once the run has ended."));
    return;
  }
  if (last_results_.populations.empty()) {
    dialogs_.message(this,
                     QStringLiteral("There is no run yet: the models are those of the last run's "
                                    "best trees. Start a run first."));
    return;
  }
  if (!holds_best_trees()) {
    dialogs_.message(this, QStringLiteral("The last run ran out of memory and gave up its trees: "
                                          "there are no models to export. Start a run first."));
    return;
  }
  const auto folder = dialogs_.choose_folder(this, current_folder_);
  if (!folder || folder->isEmpty()) return;
  current_folder_ = QDir::toNativeSeparators(*folder);
  frontend::RunSettings settings;
  (void)frontend::read_settings(settings_texts(), settings);
  std::vector<frontend::OutputFile> files;
  QStringList existing;
  for (std::int32_t p = 0; p < static_cast<std::int32_t>(last_results_.populations.size()); ++p) {
    const auto context = frontend::model_context(
        engine_, p, settings, QFile::encodeName(run_training_file_).toStdString(),
        QFile::encodeName(run_validation_file_).toStdString());
    for (auto& [name, content] :
         frontend::model_files(frontend::describe_best_tree(engine_, p), context)) {
      const QString path = QDir(*folder).filePath(QString::fromStdString(name));
      const QString canonical = QFileInfo(path).canonicalFilePath();
      if (!canonical.isEmpty() && (canonical == training_file_ || canonical == validation_file_)) {
        dialogs_.message(this, QStringLiteral("The models were not exported: \"%1\" holds the "
                                              "loaded data.")
                                   .arg(QDir::toNativeSeparators(path)));
        return;
      }
      if (QFileInfo::exists(path)) existing << QString::fromStdString(name);
      files.push_back({QFile::encodeName(path).toStdString(), std::move(content)});
    }
  }
  if (!existing.isEmpty() &&
      !dialogs_.ask_yes_no(
          this, QApplication::applicationName(),
          QStringLiteral("%1 already in \"%2\".\nDo you want to replace %3?")
              .arg(existing.join(QStringLiteral(", ")), QDir::toNativeSeparators(*folder),
                   existing.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")))) {
    return;
  }
  if (const auto problem = frontend::write_files_atomically(files)) {
    dialogs_.message(this,
                     QStringLiteral("The models could not be exported to \"%1\": %2.")
                         .arg(QDir::toNativeSeparators(*folder), QString::fromStdString(*problem)));
  }
}

void MainWindow::export_chart(ChartView* view, const QString& suggested_name) {
  const QStringList filters = chart_format_filters();
  const auto choice = choose_file_to_write(suggested_name, filters);
  if (!choice) return;
  const ChartFormat format = chart_format_of(choice->path, choice->filter);
  QString path = choice->path;
  if (QFileInfo(path).suffix().isEmpty()) {
    static constexpr const char* kSuffixes[] = {".png", ".svg", ".csv"};
    path += QString::fromLatin1(kSuffixes[static_cast<int>(format)]);
  }
  write_chosen_file(path, chart_file(view, format));
}

}  // namespace quarvel::ui
