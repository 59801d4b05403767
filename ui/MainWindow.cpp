#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

#include "ui/AboutDialog.h"
#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/FieldChecker.h"
#include "ui/FileDropTarget.h"
#include "ui/HistoryChartWindow.h"
#include "ui/ImportTableDialog.h"
#include "ui/OutputController.h"
#include "ui/PopulationsTab.h"
#include "ui/ProblemTab.h"
#include "ui/ResultsView.h"
#include "ui/RunController.h"
#include "ui/RunsWindow.h"
#include "ui/SeriesLoader.h"
#include "ui/SettingsStore.h"
#include "ui/UserDialogs.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

// How long the status bar shows that something was written.
constexpr int kConfirmationMilliseconds = 15000;

}  // namespace

MainWindow::MainWindow(Engine& engine, UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("main_window"));
  setWindowTitle(QStringLiteral("Quarvel v.0.0"));
  setFont(window_font());
  build_tabs_and_windows(engine);
  build_menus();
  build_status_bar();

  // The designed size at first: a tab area of 601 x 505 below the menu; the
  // charts, the text and the grids take what the window grows by.
  resize(607, 505 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  connect_parts();
  restore_remembered();
  show_splash();
  tabs_->setCurrentWidget(problem_tab_);
}

void MainWindow::build_tabs_and_windows(Engine& engine) {
  field_checker_ = new FieldChecker(dialogs_, this);
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
  runs_window_ = new RunsWindow(this);

  series_loader_ = new SeriesLoader(
      dialogs_, *problem_tab_, *data_plot_window_, files_,
      [this] { return largest_terminal_table(); }, this);
  run_controller_ = new RunController(
      engine, dialogs_,
      RunScreens{*tabs_, *problem_tab_, *results_view_, *fitness_window_, *gene_length_window_},
      *series_loader_, files_, [this] { return settings_texts(); }, this);
  output_controller_ =
      new OutputController(dialogs_, *results_view_, run_controller_->last_run(), files_, this);
  many_runs_ = new ManyRunsController(
      dialogs_, ManyRunsScreens{*results_view_, *runs_window_}, *series_loader_, files_,
      [this] { return settings_texts(); }, this);
}

void MainWindow::build_status_bar() {
  run_status_label_ = new QLabel();
  run_status_label_->setObjectName(QStringLiteral("run_status_label"));
  data_status_label_ = new QLabel();
  data_status_label_->setObjectName(QStringLiteral("data_status_label"));
  statusBar()->addWidget(run_status_label_, 1);
  statusBar()->addPermanentWidget(data_status_label_);
  run_status_label_->setText(run_controller_->run_status());
  update_data_status();
}

void MainWindow::connect_parts() {
  // A table dropped anywhere else on the window opens the import dialog too.
  connect(new FileDropTarget(this, &ImportTableDialog::is_table_file),
          &FileDropTarget::file_dropped, series_loader_, &SeriesLoader::open_table_file);
  connect(series_loader_, &SeriesLoader::data_changed, this, &MainWindow::update_data_status);
  // The menu entry runs the same load, so it follows the button.
  connect(problem_tab_, &ProblemTab::validation_opened, load_validation_action_,
          &QAction::setEnabled);
  connect(populations_tab_, &PopulationsTab::population_count_changed, results_view_,
          &ResultsView::show_population_count);
  connect(results_view_, &ResultsView::start_or_abort_requested, this,
          &MainWindow::start_or_abort_run);
  connect(results_view_, &ResultsView::pause_toggle_requested, this, &MainWindow::toggle_pause);
  connect(results_view_, &ResultsView::save_requested, output_controller_,
          &OutputController::save_output);
  connect(results_view_, &ResultsView::fitness_window_requested, this,
          &MainWindow::show_fitness_window);
  connect(results_view_, &ResultsView::gene_length_window_requested, this,
          &MainWindow::show_gene_length_window);
  connect(run_controller_, &RunController::run_status_changed, run_status_label_, &QLabel::setText);
  connect(many_runs_, &ManyRunsController::status_changed, run_status_label_, &QLabel::setText);
  // Shown over the run's state for a while, which then shows again.
  connect(output_controller_, &OutputController::exported, this,
          [this](const QString& confirmation) {
            statusBar()->showMessage(confirmation, kConfirmationMilliseconds);
          });
  connect(run_controller_, &RunController::run_ended, this, &MainWindow::close_as_asked_during_run);
  connect(many_runs_, &ManyRunsController::runs_ended, this,
          &MainWindow::close_as_asked_during_run);
}

void MainWindow::restore_remembered() {
  files_.folder = SettingsStore::folder();
  output_controller_->set_image_size(SettingsStore::image_size(output_controller_->image_size()));
  for (QAction* tick : view_ticks_) {
    tick->setChecked(SettingsStore::view_tick(tick->objectName(), tick->isChecked()));
  }
  runs::SettingsTexts remembered;
  SettingsStore::read_settings(remembered);
  show_settings(remembered);
}

MainWindow::~MainWindow() = default;

Engine& MainWindow::engine() const {
  return run_controller_->driver().engine();
}

QAction* MainWindow::add_action(QMenu* menu, const char* name, const QString& text,
                                void (MainWindow::*handler)()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QString::fromLatin1(name));
  connect(action, &QAction::triggered, this, handler);
  return action;
}

void MainWindow::build_menus() {
  build_file_menu();
  build_view_menu();
  build_help_menu();

  // Ctrl+S works in every state, also while the Start button is disabled.
  auto* start_action = new QAction(QStringLiteral("Start GP run"), this);
  start_action->setObjectName(QStringLiteral("start_action"));
  start_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  start_action->setShortcutContext(Qt::WindowShortcut);
  addAction(start_action);
  connect(start_action, &QAction::triggered, this, &MainWindow::start_or_abort_run);
}

void MainWindow::build_file_menu() {
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
  add_action(file_menu, "import_table_action", QStringLiteral("Import table... (&I)"),
             &MainWindow::import_table);
  add_action(file_menu, "open_runs_action", QStringLiteral("Open runs... (&R)"),
             &MainWindow::open_runs);
  // The runs of the loaded data and settings that Open runs then shows.
  add_action(file_menu, "start_many_runs_action", QStringLiteral("Start many runs... (&N)"),
             &MainWindow::start_many_runs);
  file_menu->addSeparator();
  QMenu* export_menu = file_menu->addMenu(QStringLiteral("Export chart (&E)"));
  export_menu->setObjectName(QStringLiteral("export_menu"));
  for (const auto& [name, view] : exportable_charts()) {
    QAction* action = export_menu->addAction(name + QStringLiteral("..."));
    // "&Prediction chart" suggests the file name "prediction-chart".
    QString file_name = QString(name).remove(QLatin1Char('&')).toLower();
    file_name.replace(QLatin1Char(' '), QLatin1Char('-'));
    connect(action, &QAction::triggered, output_controller_, [this, chart = view, file_name] {
      output_controller_->export_chart(chart, file_name);
    });
  }
  add_action(file_menu, "export_models_action", QStringLiteral("Export models... (&M)"),
             &MainWindow::export_models);
  add_action(file_menu, "restore_defaults_action", QStringLiteral("Restore default settings (&D)"),
             &MainWindow::restore_default_settings);
  file_menu->addSeparator();
  add_action(file_menu, "exit_action", QStringLiteral("Exit (&X)"), &MainWindow::exit_program);
}

void MainWindow::build_view_menu() {
  QMenu* view_menu = menuBar()->addMenu(QStringLiteral("View (&W)"));
  view_menu->setObjectName(QStringLiteral("view_menu"));
  QAction* units = view_menu->addAction(QStringLiteral("Prediction chart in original units (&O)"));
  units->setObjectName(QStringLiteral("original_units_action"));
  units->setCheckable(true);
  connect(units, &QAction::toggled, this, &MainWindow::show_original_units);
  formulas_action_ = view_menu->addAction(QStringLiteral("Best trees as formulas (&F)"));
  formulas_action_->setObjectName(QStringLiteral("formulas_action"));
  formulas_action_->setCheckable(true);
  connect(formulas_action_, &QAction::toggled, run_controller_, &RunController::show_formulas);
  QAction* log_fitness = view_menu->addAction(QStringLiteral("Fitness on a log scale (&L)"));
  log_fitness->setObjectName(QStringLiteral("log_fitness_action"));
  log_fitness->setCheckable(true);
  connect(log_fitness, &QAction::toggled, fitness_window_, &HistoryChartWindow::set_log_scale);
  connect(fitness_window_, &HistoryChartWindow::log_scale_toggled, log_fitness,
          &QAction::setChecked);
  bands_action_ = view_menu->addAction(QStringLiteral("Prediction bands (&B)"));
  bands_action_->setObjectName(QStringLiteral("bands_action"));
  bands_action_->setCheckable(true);
  bands_action_->setChecked(true);
  connect(bands_action_, &QAction::toggled, results_view_, &ResultsView::set_bands_shown);
  view_ticks_ = {units, formulas_action_, log_fitness, bands_action_};
  // The two chart windows, as a double click on the MDL and MSE charts opens them.
  view_menu->addSeparator();
  add_action(view_menu, "fitness_window_action", QStringLiteral("Fitness window (&I)"),
             &MainWindow::show_fitness_window);
  add_action(view_menu, "gene_length_window_action", QStringLiteral("Gene length window (&G)"),
             &MainWindow::show_gene_length_window);
}

void MainWindow::build_help_menu() {
  QMenu* help_menu = menuBar()->addMenu(QStringLiteral("Help (&H)"));
  help_menu->setObjectName(QStringLiteral("help_menu"));
  add_action(help_menu, "about_action", QStringLiteral("About Venko (&A)"),
             &MainWindow::show_about);
  add_action(help_menu, "web_site_action", QStringLiteral("Venko Web Site"),
             &MainWindow::open_web_site);
}

QList<QPair<QString, ChartView*>> MainWindow::exportable_charts() const {
  const auto views = results_view_->chart_views();
  return {{QStringLiteral("&MDL chart"), views[1]},
          {QStringLiteral("M&SE chart"), views[2]},
          {QStringLiteral("&Prediction chart"), views[0]},
          {QStringLiteral("&Fitness chart"), fitness_window_->chart_view()},
          {QStringLiteral("&Gene length chart"), gene_length_window_->chart_view()},
          {QStringLiteral("&Data plot"), data_plot_window_->chart_view()},
          {QStringLiteral("E&nsemble fan chart"), runs_window_->fan_chart()}};
}

runs::SettingsTexts MainWindow::settings_texts() const {
  runs::SettingsTexts settings;
  problem_tab_->fill_settings(settings);
  populations_tab_->fill_settings(settings);
  return settings;
}

void MainWindow::show_settings(const runs::SettingsTexts& settings) {
  problem_tab_->show_settings(settings);
  populations_tab_->show_settings(settings);
}

void MainWindow::restore_default_settings() {
  runs::SettingsTexts defaults;
  QString question = QStringLiteral("Put every setting back to its default?");
  // The overlap of loaded data is what the data say, not a default.
  const std::optional<std::int32_t> detected = problem_tab_->detected_overlap();
  if (detected) {
    defaults.set(runs::Setting::overlap, std::to_string(*detected));
    question += QStringLiteral(
                    "\nThe overlap keeps %1, the value detected from the loaded data (its "
                    "default is %2).")
                    .arg(*detected)
                    .arg(to_qstring(runs::setting_info(runs::Setting::overlap).default_text));
  }
  if (!dialogs_.ask_yes_no(this, QApplication::applicationName(), question)) return;
  show_settings(defaults);
}

// ---------------------------------------------------------------------------
// Start-up, close and what is remembered

void MainWindow::show_splash() {
  about_dialog_->show_window();
  dialogs_.splash_delay(3000);
  about_dialog_->hide();
}

void MainWindow::remember_for_next_start() const {
  SettingsStore::store_folder(files_.folder);
  for (const QAction* tick : view_ticks_) {
    SettingsStore::store_view_tick(tick->objectName(), tick->isChecked());
  }
  SettingsStore::store_settings(settings_texts());
  SettingsStore::store_image_size(output_controller_->image_size());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The run goes on behind the question. Once the user agrees, it ends at
  // the next generation boundary and its end closes the window. No keeps the
  // run going.
  if (running()) {
    event->ignore();
    if (agree_to_abort()) hold_until_run_end(close_after_run_);
    return;
  }
  remember_for_next_start();
  event->accept();
}

void MainWindow::exit_program() {
  if (running()) {
    if (agree_to_abort()) hold_until_run_end(exit_after_run_);
    return;
  }
  remember_for_next_start();
  dialogs_.end_process(0);
}

void MainWindow::hold_until_run_end(bool& after_run) {
  after_run = true;
  // The run may have ended while the question was open.
  if (!running()) {
    QMetaObject::invokeMethod(this, &MainWindow::close_as_asked_during_run, Qt::QueuedConnection);
  }
}

bool MainWindow::running() const {
  return run_controller_->driver().running() || many_runs_->running();
}

bool MainWindow::agree_to_abort() {
  return many_runs_->running() ? many_runs_->agree_to_abort() : run_controller_->agree_to_abort();
}

void MainWindow::start_or_abort_run() {
  if (many_runs_->running()) {
    static_cast<void>(many_runs_->agree_to_abort());
    return;
  }
  run_controller_->start_or_abort_run();
}

void MainWindow::toggle_pause() {
  if (many_runs_->running()) {
    many_runs_->toggle_pause();
    return;
  }
  run_controller_->toggle_pause();
}

void MainWindow::start_many_runs() {
  if (running()) {
    dialogs_.message(this,
                     QStringLiteral("A run is in progress: start many runs once it has ended."));
    return;
  }
  many_runs_->start_many_runs();
}

void MainWindow::close_as_asked_during_run() {
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

void MainWindow::open_runs() {
  const auto folder = dialogs_.choose_folder(
      this, QStringLiteral("Open the runs of a folder written by --runs or --summarize"),
      files_.folder);
  if (!folder || folder->isEmpty()) return;
  files_.folder = QDir::toNativeSeparators(*folder);
  if (const auto problem = runs_window_->open_folder(*folder)) {
    dialogs_.message(this, *problem);
    return;
  }
  runs_window_->show_window();
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
  const auto count = [](const data::GridColumns& cells, const QString& file) {
    return file.isEmpty() ? QStringLiteral("none") : QStringLiteral("%1 points").arg(cells.rows());
  };
  QString text = QStringLiteral("Training: %1, validation: %2, overlap: %3")
                     .arg(count(problem_tab_->training_cells(), files_.training),
                          count(problem_tab_->validation_cells(), files_.validation),
                          problem_tab_->overlap_text());
  // Pointed out where the user looks for the overlap, without a box to answer.
  const QString lags = lags_past_the_overlap();
  if (!lags.isEmpty()) text += QStringLiteral(" (< terminal table)");
  data_status_label_->setText(text);
  data_status_label_->setToolTip(lags);
}

// ---------------------------------------------------------------------------
// Settings the loads depend on

QString MainWindow::lags_past_the_overlap() {
  // A validation file that repeats the last K training values lets lags up to
  // K read that block at the forecast start; longer ones reach into the
  // training part and read values K steps off.
  const std::optional<std::int32_t> overlap = problem_tab_->detected_overlap();
  if (!overlap || *overlap == 0) return {};
  const std::int32_t largest = largest_terminal_table();
  if (largest <= *overlap) return {};
  return QStringLiteral(
             "The validation data repeat the last %1 training values, but the "
             "terminal table size is %2: lags beyond %1 read training values %1 "
             "steps off at the forecast start. A terminal table size of at most %1 "
             "avoids that.")
      .arg(*overlap)
      .arg(largest);
}

std::int32_t MainWindow::largest_terminal_table() {
  // A field being typed into may hold a text that cannot be read yet: the
  // settings as they were read last count until it can.
  static_cast<void>(runs::read_settings(settings_texts(), read_settings_));
  std::int32_t largest = 0;
  for (int p = 0; p < read_settings_.population_count(); ++p) {
    largest = std::max(largest, read_settings_.whole(runs::Setting::terminals, p));
  }
  return largest;
}

void MainWindow::show_original_units(bool original) {
  results_view_->set_original_units(original);
}

void MainWindow::export_models() {
  output_controller_->export_models(run_controller_->driver().running(),
                                    bands_action_->isChecked());
}

}  // namespace quarvel::ui
