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
#include <algorithm>
#include <new>

#include "data/datafile.h"
#include "data/numbertext.h"
#include "data/tablefile.h"
#include "engine/engine.h"
#include "forecasting/forecast.h"
#include "forecasting/transformedrun.h"
#include "records/modelexport.h"
#include "records/outputfile.h"
#include "runs/startrun.h"
#include "ui/AboutDialog.h"
#include "ui/AccuracyTable.h"
#include "ui/ChartExport.h"
#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/FieldChecker.h"
#include "ui/FileDropTarget.h"
#include "ui/GridModel.h"
#include "ui/HistoryChartWindow.h"
#include "ui/ImportTableDialog.h"
#include "ui/OutputController.h"
#include "ui/PopulationsTab.h"
#include "ui/ProblemTab.h"
#include "ui/ResultsView.h"
#include "ui/RunDriver.h"
#include "ui/RunsWindow.h"
#include "ui/SettingsStore.h"
#include "ui/TimeAxis.h"
#include "ui/UserDialogs.h"
#include "ui/qtext.h"
#include "ui/style.h"

namespace quarvel::ui {

MainWindow::MainWindow(Engine& engine, UserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("main_window"));
  setWindowTitle(QStringLiteral("Quarvel v.0.0"));
  setFont(window_font());

  field_checker_ = new FieldChecker(dialogs_, this);
  run_driver_ = new RunDriver(engine, this);
  tabs_ = new QTabWidget();
  tabs_->setObjectName(QStringLiteral("tabs"));
  setCentralWidget(tabs_);
  problem_tab_ = new ProblemTab(*field_checker_, tabs_);
  tabs_->addTab(problem_tab_, QStringLiteral("Problem Configuration"));
  populations_tab_ = new PopulationsTab(*field_checker_, dialogs_, tabs_);
  tabs_->addTab(populations_tab_, QStringLiteral("Populations"));
  results_view_ = new ResultsView(tabs_);
  tabs_->addTab(results_view_, QStringLiteral("Results"));
  output_controller_ = new OutputController(dialogs_, *results_view_, run_, files_, this);

  // The secondary windows are the main window's children: they close with it.
  about_dialog_ = new AboutDialog(this);
  data_plot_window_ = new DataPlotWindow(this);
  fitness_window_ = new HistoryChartWindow(HistoryChartWindow::fitness_layout(), this);
  gene_length_window_ = new HistoryChartWindow(HistoryChartWindow::gene_length_layout(), this);
  runs_window_ = new RunsWindow(this);
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
  connect(problem_tab_, &ProblemTab::training_file_dropped, this, &MainWindow::open_dropped_file);
  // A table dropped anywhere else on the window opens the import dialog too.
  connect(new FileDropTarget(this, &ImportTableDialog::is_table_file),
          &FileDropTarget::file_dropped, this, &MainWindow::open_table_file);
  connect(problem_tab_, &ProblemTab::load_validation_requested, this,
          &MainWindow::load_validation_series);
  connect(problem_tab_, &ProblemTab::draw_graph_requested, this, &MainWindow::draw_data_plot);
  connect(problem_tab_, &ProblemTab::training_cleared, this, [this] {
    data_plot_window_->clear_series(DataPlotWindow::training);
    files_.training.clear();
    forget_table_time();
    update_data_status();
  });
  // Also at every training load, which empties the validation grid.
  connect(problem_tab_, &ProblemTab::validation_cleared, this, [this] {
    data_plot_window_->clear_series(DataPlotWindow::validation);
    files_.validation.clear();
    forget_table_time();
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
  connect(results_view_, &ResultsView::save_requested, output_controller_,
          &OutputController::save_output);
  connect(results_view_, &ResultsView::fitness_window_requested, this,
          &MainWindow::show_fitness_window);
  connect(results_view_, &ResultsView::gene_length_window_requested, this,
          &MainWindow::show_gene_length_window);
  connect(run_driver_, &RunDriver::paused_changed, this, [this](bool paused) {
    results_view_->show_run_state(paused ? RunState::paused : RunState::running);
    show_progress_status();
  });

  files_.folder = SettingsStore::folder();
  output_controller_->set_image_size(SettingsStore::image_size(output_controller_->image_size()));
  for (QAction* tick : view_ticks_) {
    tick->setChecked(SettingsStore::view_tick(tick->objectName(), tick->isChecked()));
  }
  runs::SettingsTexts remembered;
  SettingsStore::read_settings(remembered);
  show_settings(remembered);
  show_splash();
  tabs_->setCurrentWidget(problem_tab_);
}

MainWindow::~MainWindow() = default;

Engine& MainWindow::engine() const {
  return run_driver_->engine();
}

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
  add_action(file_menu, "import_table_action", QStringLiteral("Import table... (&I)"),
             &MainWindow::import_table);
  add_action(file_menu, "open_runs_action", QStringLiteral("Open runs... (&R)"),
             &MainWindow::open_runs);
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
  auto path = dialogs_.open_file(this, files_.folder);
  if (path && !path->isEmpty()) {
    files_.folder = QDir::toNativeSeparators(QFileInfo(*path).absolutePath());
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
  files_.folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
  const auto file = read_series(path);
  if (!file) return;
  problem_tab_->show_training_series(data::make_grid(file->values, 0));
  files_.training = QFileInfo(path).canonicalFilePath();
  update_data_status();
  warn_about_doubtful_file(path, *file);
}

void MainWindow::load_validation_series() {
  if (!problem_tab_->validation_open()) return;  // locked until a training series is loaded
  const auto path = choose_file();
  if (!path) return;
  const auto file = read_series(*path);
  if (!file) return;
  const std::size_t training_rows = problem_tab_->training_cells().rows();
  // Refused before the overlap is looked for, which takes time with the count.
  if (const auto refused = runs::check_value_count(training_rows, file->values.size())) {
    dialogs_.message(
        this, QStringLiteral("\"%1\" was not loaded: %2")
                  .arg(QFileInfo(*path).fileName(), QString::fromStdString(refused->message)));
    return;
  }
  problem_tab_->show_validation_series(
      data::make_grid(file->values, static_cast<std::int64_t>(training_rows)));
  files_.validation = QFileInfo(*path).canonicalFilePath();
  forget_table_time();
  update_data_status();
  warn_about_doubtful_file(*path, *file);
}

void MainWindow::import_table() {
  const auto path = choose_file();
  if (!path) return;
  open_table_file(*path);
}

void MainWindow::open_dropped_file(const QString& path) {
  if (ImportTableDialog::is_table_file(path)) {
    open_table_file(path);
  } else {
    load_training_file(path);
  }
}

void MainWindow::open_table_file(const QString& path) {
  files_.folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
  data::TableText text = data::read_table_file_text(QFile::encodeName(path).toStdString());
  if (tell_unreadable(path, text.error, text.reason)) return;
  // Window-modal and shown without waiting: OK loads the parts.
  auto* dialog = new ImportTableDialog(path, std::move(text.text),
                                       static_cast<std::size_t>(largest_terminal_table()), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    if (dialog->imported()) load_imported_table(*dialog->imported());
  });
  dialog->open();
}

void MainWindow::load_imported_table(const ImportedTable& table) {
  const data::SeriesSplit& split = table.split;
  problem_tab_->show_training_series(data::make_grid(split.training, 0));
  problem_tab_->show_validation_series(
      data::make_grid(split.validation, static_cast<std::int64_t>(split.training_count)),
      static_cast<std::int32_t>(split.overlap));
  // Both parts came from the table: it is the loaded data, never written over.
  files_.training = QFileInfo(table.path).canonicalFilePath();
  files_.validation = files_.training;
  if (table.time) {
    table_time_ = std::make_shared<const TimeScale>(*table.time, split.training_count,
                                                    split.overlap, table.time_name);
  }
  update_data_status();
}

void MainWindow::forget_table_time() {
  if (!table_time_) return;
  table_time_.reset();
  show_time_axis(data_plot_window_->chart_view(), nullptr);
}

bool MainWindow::tell_unreadable(const QString& path, data::DataFileError error,
                                 const std::string& reason) {
  if (error == data::DataFileError::too_large) {
    dialogs_.message(this, QStringLiteral("\"%1\" %2. Nothing was loaded.")
                               .arg(QFileInfo(path).fileName(), QString::fromStdString(reason)));
    return true;
  }
  if (error != data::DataFileError::none) {
    // The box's words, then which file and why: a file named on the command
    // line or dropped was never seen in a dialog.
    dialogs_.message(
        this, QStringLiteral("%1\n\"%2\": %3")
                  .arg(QString::fromLatin1(kFileCannotBeOpened), QDir::toNativeSeparators(path),
                       QString::fromStdString(reason)));
    return true;
  }
  return false;
}

std::optional<data::DataFileResult> MainWindow::read_series(const QString& path) {
  auto file = data::read_data_file(QFile::encodeName(path).toStdString());
  if (tell_unreadable(path, file.error, file.reason)) return std::nullopt;
  // A binary file is no series: nothing of it is loaded.
  if (file.doubtful.problem == data::LineProblem::nul_byte) {
    dialogs_.message(this,
                     QStringLiteral("\"%1\" is not a text file: %2. Nothing was loaded.")
                         .arg(QFileInfo(path).fileName(),
                              QString::fromStdString(data::describe_doubtful_line(file.doubtful))));
    return std::nullopt;
  }
  return file;
}

// A file the format reads only in part is loaded as the format reads it, and
// the user is told which line was not a plain value.
void MainWindow::warn_about_doubtful_file(const QString& path, const data::DataFileResult& file) {
  const QString name = QFileInfo(path).fileName();
  if (file.values.empty()) {
    dialogs_.message(this, QStringLiteral("\"%1\" holds no values.").arg(name));
    return;
  }
  QStringList warnings;
  const char* consequence = nullptr;
  switch (file.doubtful.problem) {
    case data::LineProblem::too_long:
      consequence = "Only its first 255 characters were read.";
      break;
    case data::LineProblem::lone_return:
      consequence = "The text around it was read as one line.";
      break;
    case data::LineProblem::no_number:
      consequence = "It was read as 0.";
      break;
    case data::LineProblem::nul_byte:
    case data::LineProblem::trailing_text:  // the doubtful line is never of this kind
    case data::LineProblem::none:
      break;
  }
  if (consequence != nullptr) {
    warnings << QStringLiteral("%1. %2").arg(
        QString::fromStdString(data::describe_doubtful_line(file.doubtful)),
        QString::fromLatin1(consequence));
  }
  // Text after a line's number (a decimal comma: "1,5" reads as 1), once for
  // the file, with the count, as the runner warns.
  if (const data::TrailingText& trailing = file.trailing_text; trailing.lines > 0) {
    warnings << QStringLiteral("%1; %2.").arg(
        QString::fromStdString(data::describe_doubtful_line(trailing.first)),
        trailing.lines == 1
            ? QStringLiteral("1 line holds text after its number")
            : QStringLiteral("%1 lines hold text after their number").arg(trailing.lines));
  }
  if (!warnings.isEmpty()) {
    dialogs_.message(this, QStringLiteral("\"%1\": %2").arg(name, warnings.join(QLatin1Char(' '))));
  }
}

QString MainWindow::lags_past_the_overlap() const {
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

std::int32_t MainWindow::largest_terminal_table() const {
  const runs::SettingsTexts settings = settings_texts();
  const int count = data::parse_whole_number(settings.text(runs::Setting::populations)).value_or(1);
  std::int32_t largest = 0;
  for (int p = 0; p < count; ++p) {
    largest = std::max(
        largest, data::parse_whole_number(settings.text(runs::Setting::terminals, p)).value_or(0));
  }
  return largest;
}

void MainWindow::draw_data_plot() {
  data_plot_window_->clear_series(DataPlotWindow::training);
  data_plot_window_->clear_series(DataPlotWindow::validation);
  const std::array<const data::GridColumns*, 2> grids{&problem_tab_->training_cells(),
                                                      &problem_tab_->validation_cells()};
  // The grids' times are the points' indices: on the table's time axis while
  // the grids hold its parts.
  const TimeScale* time = table_time_ && table_time_->fits(grids[0]->rows(), grids[1]->rows())
                              ? table_time_.get()
                              : nullptr;
  show_time_axis(data_plot_window_->chart_view(), time != nullptr ? table_time_ : nullptr);
  for (int series = 0; series < 2; ++series) {
    const data::GridColumns& cells = *grids[static_cast<std::size_t>(series)];
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(cells.rows()));
    for (std::size_t row = 0; row < cells.rows(); ++row) {
      const std::string& time_text = cells.time[row];
      const std::string& value_text = cells.value[row];
      if (time_text.empty() || value_text.empty()) continue;
      const auto at = data::parse_number(time_text);
      const auto value = data::parse_number(value_text);
      if (!at || !value) {
        // The rows before the bad one stay plotted; the window is not shown.
        data_plot_window_->set_points(series, points);
        const std::string& bad = at ? value_text : time_text;
        dialogs_.error(this, QStringLiteral("'%1' is not a floating point number.")
                                 .arg(QString::fromStdString(bad)));
        return;
      }
      points.append(QPointF(time != nullptr ? time->x_of_point(*at) : *at, *value));
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

  runs::RunSettings settings;
  runs::StartOutcome outcome = runs::read_run_settings(settings_texts(), settings);
  forecasting::RunTransforms transforms;
  if (outcome.error == runs::StartError::none) {
    try {
      outcome = runs::start_run(run_driver_->engine(), problem_tab_->training_cells(),
                                problem_tab_->validation_cells(), settings);
      // The transforms are chosen from the loaded values, as the runner
      // chooses them, and the engine models the series through them.
      if (outcome.error == runs::StartError::none) {
        transforms =
            forecasting::run_transforms(settings, data::grid_values(problem_tab_->training_cells()),
                                        data::grid_values(problem_tab_->validation_cells()),
                                        table_time_ ? table_time_->step_season() : 0);
        if (!transforms.problem.empty()) {
          return refuse_start(QStringLiteral("The transforms cannot be taken: %1.")
                                  .arg(QString::fromStdString(transforms.problem)),
                              false);
        }
        if (transforms.run) {
          outcome = runs::start_transformed_run(run_driver_->engine(), transforms.run->training,
                                                transforms.run->validation, settings);
        }
      }
    } catch (const std::bad_alloc&) {
      dialogs_.message(this, QString::fromLatin1(kMemoryAllocationError));
      dialogs_.end_process(1);
      return;
    }
  }
  switch (outcome.error) {
    case runs::StartError::none:
      break;
    // Faults in the loaded data: the grids are on "Problem Configuration".
    case runs::StartError::training_invalid:
    case runs::StartError::validation_invalid:
    case runs::StartError::too_many_values:
    case runs::StartError::constant_series:
    case runs::StartError::non_finite_series:
      return refuse_start(QString::fromStdString(outcome.message), true);
    case runs::StartError::unreadable_setting:
    case runs::StartError::overselect_too_small:
    case runs::StartError::elite_too_large:
      return refuse_start(QString::fromStdString(outcome.message), false);
  }

  // The run keeps what it was started with: its settings, files, scale and
  // markers hold for its results whatever is loaded or typed later.
  const Engine& engine = run_driver_->engine();
  RunResults run;
  run.number = run_.number + 1;
  run.settings = settings;
  run.training_file = files_.training;
  run.validation_file = files_.validation;
  run.populations = engine.population_count;
  run.generations = engine.parameters.number_of_generations;
  if (transforms.run) {
    // The series as loaded, in its own scaling, not the transformed one.
    run.transformed =
        std::make_shared<const forecasting::TransformedRun>(std::move(*transforms.run));
    const forecasting::TransformedRun& series = *run.transformed;
    run.scale = DataScale{series.low, series.high};
    run.markers = PredictionMarkers{static_cast<double>(series.training_count),
                                    static_cast<double>(series.view().start())};
    run.training_count = series.training_count;
    run.model_scale = DataScale{engine.data.scale_low, engine.data.scale_high};
    run.model_start = static_cast<std::size_t>(forecast_start(engine.data));
  } else {
    run.scale = DataScale{engine.data.scale_low, engine.data.scale_high};
    run.markers = PredictionMarkers{static_cast<double>(engine.data.training_count),
                                    static_cast<double>(forecast_start(engine.data))};
    run.training_count = engine.data.training_count;
  }
  run.forecast = forecast_request(settings);
  run.forecast.context = forecasting::ForecastContext{
      transforms.season, static_cast<std::int32_t>(runs::largest_lag(settings)),
      run.transformed.get()};
  if (table_time_ && table_time_->fits(problem_tab_->training_cells().rows(),
                                       problem_tab_->validation_cells().rows())) {
    run.time = std::make_shared<const TimeScale>(table_time_->with_steps_ahead(
        static_cast<std::size_t>(std::max(settings.whole(runs::Setting::forecast_ahead), 0))));
  }
  run_ = std::move(run);
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

  histories_ = ResultHistories(run_.populations, run_.generations);
  results_view_->set_time_scale(run_.time);
  {
    const Engine& engine = run_driver_->engine();
    const auto points = static_cast<std::size_t>(engine.data.point_count);
    const std::span<const double> shown_data =
        run_.transformed ? std::span<const double>(run_.transformed->scaled)
                         : std::span<const double>(engine.data.values.data(), points);
    results_view_->start_run_display(shown_data, run_.populations, run_.generations,
                                     static_cast<int>(run_.markers.forecast), run_.scale);
  }
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
  RunDriver::RunEnd end;
  try {
    end = run_driver_->run([this](const ShownGeneration& shown) { show_generation_results(shown); },
                           run_.forecast);
  } catch (...) {
    end_run();
    set_run_status(QStringLiteral("failed at generation %1").arg(run_.generations_shown + 1));
    throw;
  }
  end_run();
  if (end.ending == RunDriver::Ending::out_of_memory) {
    // The engine gave back what the run held; what was shown stays.
    set_run_status(
        QStringLiteral("out of memory at generation %1").arg(run_.generations_shown + 1));
    dialogs_.message(this, QString::fromLatin1(kRunOutOfMemory));
    return;
  }
  if (end.ending == RunDriver::Ending::finished) {
    set_run_status(QStringLiteral("finished: %1 generations in %2 s")
                       .arg(run_.generations)
                       .arg(static_cast<double>(clock.elapsed()) / 1000.0, 0, 'f', 1));
  } else {
    set_run_status(QStringLiteral("aborted at generation %1").arg(run_.generations_shown));
  }
  if (run_.transformed) {
    set_run_status(
        run_status() + QStringLiteral("; transforms: ") +
        QString::fromStdString(forecasting::transform_words(run_.transformed->choice.transform)));
  }
  // Each best tree's forecast past the data, once the run has ended (and its
  // status is told, whatever showing them may throw).
  if (!end.forecasts.empty()) {
    run_.forecasts = std::move(end.forecasts);
    results_view_->show_forecasts(run_.forecasts);
  }
  if (!end.quality.empty()) {
    run_.quality = std::move(end.quality);
    results_view_->show_forecast_quality(run_.quality);
    // A runaway forecast is told, not hidden: the user decides what to do with it.
    QStringList diverged;
    for (std::size_t p = 0; p < run_.quality.size(); ++p) {
      const QString text = divergence_text(run_.quality[p]);
      if (!text.isEmpty()) diverged << QStringLiteral("No%1 %2").arg(p + 1).arg(text);
    }
    if (!diverged.isEmpty()) {
      set_run_status(run_status() + QStringLiteral("; forecast ") +
                     diverged.join(QStringLiteral(", ")));
    }
  }
}

RunDriver::ForecastRequest MainWindow::forecast_request(const runs::RunSettings& settings) {
  // The bands at the runner's defaults, drawn as its stream 0 draws them: a
  // window run is that stream.
  return {settings.whole(runs::Setting::forecast_ahead), forecasting::PathSettings{},
          forecasting::RunIdentity{settings.whole(runs::Setting::seed), 0},
          forecasting::ForecastContext{}};
}

PredictionMarkers MainWindow::prediction_markers() const {
  return run_.markers;
}

std::vector<std::string> MainWindow::best_tree_texts() const {
  std::vector<std::string> texts;
  const bool formulas = formulas_action_->isChecked();
  const auto& shown = run_.last;
  for (std::size_t p = 0; p < shown.results.populations.size(); ++p) {
    texts.push_back(formulas && p < shown.models.size() ? forecasting::formula_text(shown.models[p])
                                                        : shown.results.populations[p].tree_text);
  }
  return texts;
}

void MainWindow::show_formulas(bool /*formulas*/) {
  if (!run_.last.results.populations.empty()) results_view_->show_best_trees(best_tree_texts());
}

void MainWindow::show_original_units(bool original) {
  results_view_->set_original_units(original);
}

void MainWindow::show_generation_results(const ShownGeneration& shown) {
  histories_.record(shown.results);
  run_.last = shown;
  // Through a transform, each prediction is shown and saved as the series'
  // own: its known values, then the forecast brought back to them.
  if (run_.transformed) {
    for (runs::PopulationReport& report : run_.last.results.populations) {
      const std::span<const double> engine_prediction = report.prediction;
      report.prediction = run_.transformed->series_prediction(
          engine_prediction.subspan(std::min(run_.model_start, engine_prediction.size())),
          run_.model_scale.low, run_.model_scale.high);
    }
  }
  const int count = shown.results.generation + 1;
  results_view_->show_generation(run_.last.results, histories_, run_.generations, run_.markers,
                                 best_tree_texts());
  // The fitness window: forecast error beside the training error; the
  // gene-length window: the best tree's size beside the population's mean size.
  fitness_window_->plot_histories(histories_.validation_mse, histories_.mse, count);
  gene_length_window_->plot_histories(histories_.best_nodes, histories_.average_nodes, count);
  // Counted once all of it is on display: a run that ends while it is being
  // shown (memory ran out) ends at this generation.
  run_.generations_shown = count;
  show_progress_status();
}

void MainWindow::show_progress_status() {
  // Stop takes effect once the generation under way is done and shown: until
  // then the run is still working on it.
  const int shown = run_.generations_shown;
  if (!run_driver_->paused()) {
    set_run_status(
        shown == 0
            ? QStringLiteral("Running")
            : QStringLiteral("Running: generation %1 of %2").arg(shown).arg(run_.generations));
  } else if (run_driver_->computing()) {
    set_run_status(
        QStringLiteral("Stopping after generation %1 of %2").arg(shown + 1).arg(run_.generations));
  } else {
    set_run_status(
        QStringLiteral("Paused after generation %1 of %2").arg(shown).arg(run_.generations));
  }
}

void MainWindow::export_models() {
  output_controller_->export_models(run_driver_->running(), bands_action_->isChecked());
}

}  // namespace quarvel::ui
