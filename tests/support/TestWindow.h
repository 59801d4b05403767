// The main window as the program builds it, with a fake user, and its parts
// found by their object names as a test reaches them.
#pragma once

#include <QAction>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QXYSeries>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

#include "engine/engine.h"
#include "runs/settings.h"
#include "support/FakeDialogs.h"
#include "ui/AboutDialog.h"
#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/FieldChecker.h"
#include "ui/GridModel.h"
#include "ui/HistoryChartWindow.h"
#include "ui/KindButton.h"
#include "ui/MainWindow.h"
#include "ui/PopulationsTab.h"
#include "ui/ProblemTab.h"
#include "ui/RadioGroup.h"
#include "ui/ResultsView.h"
#include "ui/RunDriver.h"
#include "ui/qtext.h"

namespace quarvel::ui::testing {

// The child of `parent` named `name`; the test program stops when there is none.
template <class T>
T* child(const QObject* parent, const QString& name) {
  T* found = parent->findChild<T*>(name);
  if (found == nullptr) qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
  return found;
}

// The text of a data file: values `first` to `first + count - 1` of a wavy
// series, one a line, so that trees have something to fit.
inline QByteArray wave_text(int first, int count) {
  QByteArray text;
  for (int k = first; k < first + count; ++k) {
    text += QByteArray::number(0.5 + 0.3 * std::sin(0.31 * k) + 0.1 * std::sin(0.07 * k), 'g', 8);
    text += '\n';
  }
  return text;
}

// The points that series `series` of a chart view draws.
inline QList<QPointF> points_of(const ChartView* view, int series) {
  return static_cast<QXYSeries*>(view->chart()->series().at(series))->points();
}

// The labels of a chart's time axis (ui/TimeAxis.h); empty while it shows none.
inline QStringList time_axis_labels(const QChart* chart) {
  for (QAbstractAxis* axis : chart->axes(Qt::Horizontal)) {
    if (auto* time = qobject_cast<QCategoryAxis*>(axis); time != nullptr && time->isVisible()) {
      return time->categoriesLabels();
    }
  }
  return {};
}

// Drags `data` onto `target` (a grid's viewport, a window) and drops it
// there; whether the target took the drag and the drop.
inline bool drop_on(QWidget* target, const QMimeData& data) {
  const QPoint inside = target->rect().center();
  QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(inside), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return enter.isAccepted() && drop.isAccepted();
}

// The cells of column `column` (0 the times, 1 the values) of a grid, top down.
inline QStringList column(const GridModel* model, int column) {
  QStringList texts;
  for (int row = 0; row < model->rowCount(); ++row) texts << model->cell(column, row);
  return texts;
}

// Empties the per-user settings store, when asked, before a window reads it:
// what one test's window remembers must not reach the next test's.
struct StoreReset {
  explicit StoreReset(bool empty) {
    if (empty) {
      QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Venko"),
                QStringLiteral("Regression"))
          .clear();
    }
  }
};

struct TestWindow {
  // `fresh_store` false: the window starts with what earlier windows stored.
  explicit TestWindow(bool fresh_store = true) : store_reset(fresh_store) {}

  StoreReset store_reset;
  Engine engine;
  FakeDialogs dialogs;
  MainWindow window{engine, dialogs};

  // Loads the two files as if the user chose them in the open dialogs.
  void load_files(const QString& training, const QString& validation) {
    dialogs.file_answers.emplace_back(training);
    window.load_training_series();
    dialogs.file_answers.emplace_back(validation);
    window.load_validation_series();
  }

  // Writes the two texts to training.txt and validation.txt in `folder` and
  // loads them.
  void load_texts(const QTemporaryDir& folder, const QByteArray& training,
                  const QByteArray& validation) {
    load_files(write_file(folder, QStringLiteral("training.txt"), training),
               write_file(folder, QStringLiteral("validation.txt"), validation));
  }

  // Lets the window dispatch its messages, and so carry a run on, until no
  // run is in progress.
  void wait_for_run_end() {
    while (window.run_driver().running()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
  }
  // Start, as the button does, and the run it starts carried on to its end.
  void start_and_wait() {
    window.start_or_abort_run();
    wait_for_run_end();
  }

  // `action` runs with the index of each generation as soon as the window has
  // shown it, from inside the run's own message processing.
  void after_each_generation(const std::function<void(int)>& action) {
    QObject::connect(best_trees_text(), &QPlainTextEdit::textChanged, &window, [this, action] {
      QTimer::singleShot(0, &window, [this, action] { action(progress_bar()->value()); });
    });
  }

  template <class T>
  T* part(const QString& name) const {
    return child<T>(&window, name);
  }
  // `population` 0..3 for a population setting.
  QLineEdit* field(runs::Setting id, int population = -1) const {
    return part<QLineEdit>(FieldChecker::field_name(id, population));
  }
  QAction* action(const char* name) const { return part<QAction>(QString::fromLatin1(name)); }
  QPushButton* button(const char* name) const {
    return part<QPushButton>(QString::fromLatin1(name));
  }
  QTabWidget* tab_widget(const char* name) const {
    return part<QTabWidget>(QString::fromLatin1(name));
  }
  QWidget* problem_tab() const { return &window.problem_tab(); }
  QWidget* populations_tab() const { return part<QWidget>(QStringLiteral("populations_tab")); }
  QWidget* results_tab() const { return &window.results_view(); }
  QComboBox* population_count_box() const {
    return part<QComboBox>(QStringLiteral("population_count_box"));
  }
  // Population pages "No1".."No4" and output pages "NO.1".."NO.4".
  QTabWidget* population_pages() const { return tab_widget("population_pages"); }
  QTabWidget* output_tabs() const { return tab_widget("output_tabs"); }
  QCheckBox* rank_by_mdl_check() const { return part<QCheckBox>(QStringLiteral("rank_by_check")); }
  RadioGroup* selection_group(int population) const {
    return part<RadioGroup>(QStringLiteral("selection_group_%1").arg(population + 1));
  }
  // The radio group of a run-wide choice, by its option: "seasonal_difference_group".
  RadioGroup* run_choice_group(quarvel::runs::Setting id) const {
    QString name = quarvel::ui::to_qstring(quarvel::runs::setting_info(id).option).mid(2);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return part<RadioGroup>(name + QStringLiteral("_group"));
  }
  RadioGroup* growth_group(int population) const {
    return part<RadioGroup>(QStringLiteral("growth_group_%1").arg(population + 1));
  }
  QGroupBox* rates_group(int population) const {
    return part<QGroupBox>(QStringLiteral("rates_group_%1").arg(population + 1));
  }
  QTableView* training_grid() const { return part<QTableView>(QStringLiteral("training_grid")); }
  QTableView* validation_grid() const {
    return part<QTableView>(QStringLiteral("validation_grid"));
  }
  GridModel* training_model() const { return window.problem_tab().training_model(); }
  GridModel* validation_model() const { return window.problem_tab().validation_model(); }
  QTableView* output_grid(int population) const {
    return part<QTableView>(QStringLiteral("output_grid_%1").arg(population + 1));
  }
  GridModel* output_model(int population) const {
    return window.results_view().output_model(population);
  }
  QPushButton* save_button(int population) const {
    return part<QPushButton>(QStringLiteral("save_button_%1").arg(population + 1));
  }
  KindButton* start_button() const { return part<KindButton>(QStringLiteral("start_button")); }
  KindButton* stop_button() const { return part<KindButton>(QStringLiteral("stop_button")); }
  QLabel* progress_label(int population) const {
    return part<QLabel>(QStringLiteral("progress_label_%1").arg(population + 1));
  }
  QProgressBar* progress_bar() const { return part<QProgressBar>(QStringLiteral("progress_bar")); }
  QPlainTextEdit* best_trees_text() const {
    return part<QPlainTextEdit>(QStringLiteral("best_trees_text"));
  }
  ChartView* mdl_chart() const { return part<ChartView>(QStringLiteral("mdl_chart")); }
  ChartView* mse_chart() const { return part<ChartView>(QStringLiteral("mse_chart")); }
  ChartView* prediction_chart() const {
    return part<ChartView>(QStringLiteral("prediction_chart"));
  }
};

// What a test class of the window runs on, beside QObject: the settings store
// and the data files in folders of their own, and the window of the test
// (made by its init(), dropped by its cleanup()).
// Holds the generations that `held` picks (by their 0-based number, counted
// from now) on the run's own thread until `released` is true or a minute has
// passed, so that a test sees what the window does while a generation runs.
// Both are called on the run's thread: they may read atomics only. The hold
// ends with the returned object.
class GenerationHold {
 public:
  GenerationHold(RunDriver& driver, std::function<bool(int)> held, std::function<bool()> released)
      : driver_(driver) {
    driver_.set_worker_hook([held = std::move(held), released = std::move(released),
                             counted = std::make_shared<std::atomic<int>>(0)] {
      if (!held((*counted)++)) return;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
      while (!released() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  GenerationHold(const GenerationHold&) = delete;
  GenerationHold& operator=(const GenerationHold&) = delete;
  ~GenerationHold() { driver_.set_worker_hook({}); }

 private:
  RunDriver& driver_;
};

class WindowFixture {
 protected:
  MainWindow& window() { return window_->window; }

  // Writes the two texts to training.txt and validation.txt of the data
  // folder and loads them.
  void load(const QByteArray& training, const QByteArray& validation) {
    window_->load_texts(data_folder_, training, validation);
  }

  // A small run: a wave of 90 + 30 points, `populations` populations of 40
  // with an elite of 2, `generations` generations.
  void prepare_small_run(int generations, int populations) {
    TestWindow& w = *window_;
    load(wave_text(0, 90), wave_text(90, 30));
    w.field(runs::Setting::generations)->setText(QString::number(generations));
    w.population_count_box()->setEditText(QString::number(populations));
    w.window.populations_tab().apply_population_count();
    for (int p = 0; p < 4; ++p) {
      w.field(runs::Setting::population_size, p)->setText(QStringLiteral("40"));
      w.field(runs::Setting::elite, p)->setText(QStringLiteral("2"));
    }
  }

  QTemporaryDir settings_folder_;
  QTemporaryDir data_folder_;
  std::unique_ptr<TestWindow> window_;
};

}  // namespace quarvel::ui::testing
