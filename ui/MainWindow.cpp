#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <new>

#include "engine/engine.h"
#include "frontend/numbertext.h"
#include "frontend/outputfile.h"
#include "frontend/startrun.h"
#include "ui/AboutDialog.h"
#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/FieldChecker.h"
#include "ui/GridModel.h"
#include "ui/HistoryChartWindow.h"
#include "ui/PopulationsTab.h"
#include "ui/ProblemTab.h"
#include "ui/ResultsView.h"
#include "ui/RunDriver.h"
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
  build_menus();
  auto* client = new QWidget(this);
  tabs_ = new QTabWidget(client);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setGeometry(0, 0, 601, 505);
  setCentralWidget(client);
  problem_tab_ = new ProblemTab(*field_checker_, tabs_);
  tabs_->addTab(problem_tab_, QStringLiteral("Problem Configuration"));
  populations_tab_ = new PopulationsTab(*field_checker_, dialogs_, tabs_);
  tabs_->addTab(populations_tab_, QStringLiteral("Populations"));
  results_view_ = new ResultsView(tabs_);
  tabs_->addTab(results_view_, QStringLiteral("Results"));
  // Until the tab widget lays them out when it is shown, the pages stand in
  // its whole area (a new child widget would be 100 x 30).
  for (QWidget* page :
       std::initializer_list<QWidget*>{problem_tab_, populations_tab_, results_view_}) {
    page->resize(tabs_->size());
  }

  // Outer size 615 x 552 on the design's desktop: a client of 607 x 505 below the menu.
  resize(607, 505 + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  // The secondary windows are the main window's children: they close with it.
  about_dialog_ = new AboutDialog(this);
  data_plot_window_ = new DataPlotWindow(this);
  fitness_window_ = new HistoryChartWindow(HistoryChartWindow::fitness_layout(), this);
  gene_length_window_ = new HistoryChartWindow(HistoryChartWindow::gene_length_layout(), this);

  connect(problem_tab_, &ProblemTab::load_training_requested, this,
          &MainWindow::load_training_series);
  connect(problem_tab_, &ProblemTab::load_validation_requested, this,
          &MainWindow::load_validation_series);
  connect(problem_tab_, &ProblemTab::draw_graph_requested, this, &MainWindow::draw_data_plot);
  connect(problem_tab_, &ProblemTab::training_cleared, this,
          [this] { data_plot_window_->clear_series(DataPlotWindow::training); });
  connect(problem_tab_, &ProblemTab::validation_cleared, this,
          [this] { data_plot_window_->clear_series(DataPlotWindow::validation); });
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
  });

  read_remembered_folder();
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
  add_action(file_menu, "exit_action", QStringLiteral("Exit (&X)"), &MainWindow::exit_program);

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

frontend::SettingsTexts MainWindow::settings_texts() const {
  frontend::SettingsTexts settings;
  problem_tab_->fill_settings(settings);
  populations_tab_->fill_settings(settings);
  return settings;
}

// ---------------------------------------------------------------------------
// Start-up, close and the remembered folder

void MainWindow::read_remembered_folder() {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication));
  store.beginGroup(QString::fromLatin1(kSettingsSection));
  // Until a file is chosen the remembered folder stays what it was, so that a
  // session without a load or save does not forget it.
  current_folder_ =
      store.value(QString::fromLatin1(kSettingsValue), QString::fromLatin1(kDefaultFolder))
          .toString();
}

void MainWindow::write_remembered_folder() const {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(kSettingsOrganisation),
                  QString::fromLatin1(kSettingsApplication));
  store.beginGroup(QString::fromLatin1(kSettingsSection));
  store.setValue(QString::fromLatin1(kSettingsValue), current_folder_);
  store.endGroup();
  store.sync();
}

void MainWindow::show_splash() {
  about_dialog_->show_window();
  dialogs_.splash_delay(3000);
  about_dialog_->hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The run loop is further down the stack, inside start_or_abort_run: let it
  // end at the next generation boundary; start_or_abort_run then closes the window.
  if (run_driver_->running()) {
    run_driver_->request_abort();
    close_after_run_ = true;
    event->ignore();
    return;
  }
  write_remembered_folder();
  event->accept();
}

void MainWindow::exit_program() {
  write_remembered_folder();
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
// Data loading

void MainWindow::load_training_series() {
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  problem_tab_->show_training_series(frontend::make_grid(file->values, 0));
  warn_about_doubtful_file(*path, *file);
}

void MainWindow::load_validation_series() {
  if (!problem_tab_->validation_open()) return;  // locked until a training series is loaded
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  const auto training_rows = static_cast<std::int64_t>(problem_tab_->training_cells().rows());
  problem_tab_->show_validation_series(frontend::make_grid(file->values, training_rows));
  warn_about_doubtful_file(*path, *file);
}

std::optional<frontend::DataFileResult> MainWindow::read_series(const QString& path) {
  auto file = frontend::read_data_file(QFile::encodeName(path).toStdString());
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
    if (dialogs_.ask_yes_no(this, QString::fromLatin1(kAbortCaption),
                            QString::fromLatin1(kAbortQuestion))) {
      run_driver_->request_abort();
    }
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

  tabs_->setCurrentWidget(results_view_);
  run_generations();
  // A close during the run was held back until the run had ended.
  if (close_after_run_) {
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

  const int populations = engine_.population_count;
  const int generations = engine_.parameters.number_of_generations;
  histories_ = ResultHistories(populations, generations);
  results_view_->start_run_display(
      std::span<const double>(engine_.data.values.data(),
                              static_cast<std::size_t>(engine_.data.point_count)),
      populations, generations);
  fitness_window_->clear();
  gene_length_window_->clear();

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
    throw;
  }
  end_run();
  if (ending == RunDriver::Ending::out_of_memory) {
    dialogs_.message(this, QString::fromLatin1(kRunOutOfMemory));
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

void MainWindow::show_generation_results(const frontend::GenerationResults& results) {
  histories_.record(results);
  results_view_->show_generation(results, histories_, engine_.parameters.number_of_generations,
                                 prediction_markers());
  // The fitness window: forecast error beside the training error; the
  // gene-length window: the best tree's size beside the population's mean size.
  const int shown = results.generation + 1;
  fitness_window_->plot_histories(histories_.validation_mse, histories_.mse, shown);
  gene_length_window_->plot_histories(histories_.best_nodes, histories_.average_nodes, shown);
}

// ---------------------------------------------------------------------------
// Output save

void MainWindow::save_output(int population) {
  const auto path = dialogs_.save_file(this, current_folder_);
  if (!path || path->isEmpty()) return;
  current_folder_ = QDir::toNativeSeparators(QFileInfo(*path).absolutePath());

  const QString name = QDir::toNativeSeparators(*path);
  const QFileInfo target(*path);
  std::optional<std::string> problem;
  if (target.isDir()) {
    problem = "it is a folder";
  } else if (target.exists() && !target.isWritable()) {
    problem = "the file is write-protected";  // replacing it would defeat the protection
  } else {
    const auto& cells = results_view_->output_model(population)->columns();
    problem = frontend::write_file_atomically(QFile::encodeName(*path).toStdString(),
                                              frontend::output_file_text(cells.time, cells.value));
  }
  if (problem) {
    dialogs_.message(this, QStringLiteral("The output could not be saved to \"%1\": %2.")
                               .arg(name, QString::fromStdString(*problem)));
  }
}

}  // namespace quarvel::ui
