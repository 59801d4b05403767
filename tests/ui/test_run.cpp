// A run from the window: Start and its refusals, the run driver with Stop,
// Resume, Abort and a close of the window, the results view against an engine
// run through the shared Start path, the chart windows and the output save.
#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>

#include "data/numbertext.h"
#include "records/outputfile.h"
#include "runs/generationstep.h"
#include "runs/startrun.h"
#include "support/TestWindow.h"
#include "ui/HistoryChartWindow.h"
#include "ui/RunDriver.h"

using quarvel::runs::Setting;
using quarvel::ui::ButtonKind;
using quarvel::ui::ChartView;
using quarvel::ui::GridModel;
using quarvel::ui::MainWindow;
using quarvel::ui::ResultsView;
using quarvel::ui::RunDriver;
using quarvel::ui::testing::column;
using quarvel::ui::testing::GenerationHold;
using quarvel::ui::testing::points_of;
using quarvel::ui::testing::read_all;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::wave_text;
using quarvel::ui::testing::WindowFixture;
using quarvel::ui::testing::write_file;

namespace {

const QString kAbortQuestion = QStringLiteral("Venko|Are you sure you want to abort this GP run?");
const QChar kIdeographicSpace(0x3000);

QList<double> y_values(const QList<QPointF>& points) {
  QList<double> values;
  for (const QPointF& point : points) values << point.y();
  return values;
}

QList<double> x_values(const QList<QPointF>& points) {
  QList<double> values;
  for (const QPointF& point : points) values << point.x();
  return values;
}

QList<double> indices(int count) {
  QList<double> values;
  for (int k = 0; k < count; ++k) values << k;
  return values;
}

QStringList texts(const std::vector<std::string>& cells) {
  QStringList list;
  for (const auto& cell : cells) list << QString::fromStdString(cell);
  return list;
}

// The figures of an engine run made through the shared Start path, as
// quarvel-cli makes it, for comparison with the window.
struct Reference {
  std::vector<QList<double>> mdl, mse, validation_mse, best_nodes, average_nodes;
  std::vector<std::vector<double>> prediction;
  std::vector<std::string> tree_text;
};

Reference reference_run(const MainWindow& window) {
  auto engine = std::make_unique<quarvel::Engine>();
  const auto outcome =
      quarvel::runs::start_run(*engine, window.problem_tab().training_cells(),
                               window.problem_tab().validation_cells(), window.settings_texts());
  Reference reference;
  if (outcome.error != quarvel::runs::StartError::none) return reference;
  const auto count = static_cast<std::size_t>(engine->population_count);
  for (auto* table : {&reference.mdl, &reference.mse, &reference.validation_mse,
                      &reference.best_nodes, &reference.average_nodes}) {
    table->resize(count);
  }
  reference.prediction.resize(count);
  reference.tree_text.resize(count);
  quarvel::runs::GenerationResults results;
  quarvel::runs::run_generations(*engine, results, [&](const auto& done) {
    for (std::size_t i = 0; i < count; ++i) {
      const auto& report = done.populations[i];
      reference.mdl[i] << report.best_mdl;
      reference.mse[i] << report.best_mse;
      reference.validation_mse[i] << report.validation_mse;
      reference.best_nodes[i] << report.best_node_count;
      reference.average_nodes[i] << report.average_node_count;
      reference.prediction[i] = report.prediction;
      reference.tree_text[i] = report.tree_text;
    }
  });
  return reference;
}

// Calls `seen` on every paint event of a widget.
class PaintCounter final : public QObject {
 public:
  PaintCounter(QWidget* widget, std::function<void()> seen) : seen_(std::move(seen)) {
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) seen_();
    return false;
  }

 private:
  std::function<void()> seen_;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

class RunTest : public QObject, protected WindowFixture {
  Q_OBJECT

 private:
  void verify_idle() {
    auto& w = *window_;
    QVERIFY(!w.window.run_driver().running());
    QVERIFY(w.start_button()->isEnabled());
    QCOMPARE(w.start_button()->kind(), ButtonKind::ok);
    QCOMPARE(w.start_button()->text(), QStringLiteral("Start"));
    QVERIFY(!w.stop_button()->isEnabled());
    QCOMPARE(w.stop_button()->kind(), ButtonKind::no);
    QCOMPARE(w.stop_button()->text(), QStringLiteral("Stop"));
    QVERIFY(!w.window.run_driver().paused());
    QVERIFY(!w.window.run_driver().abort_requested());
    QCOMPARE(w.progress_bar()->value(), 0);
    for (QLabel* label :
         {w.progress_label(0), w.progress_label(1), w.progress_label(2), w.progress_label(3)}) {
      QCOMPARE(label->text(), QStringLiteral("Not running"));
    }
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  void a_window_run_gives_the_results_of_the_shared_start_path() {
    prepare_small_run(4, 2);
    const Reference reference = reference_run(window());
    QCOMPARE(reference.mdl.size(), std::size_t{2});
    auto& w = *window_;
    QStringList labels_after_last;
    bool running_state = false;
    window_->after_each_generation([&](int g) {
      running_state = w.window.run_driver().running() && !w.start_button()->isEnabled() &&
                      w.start_button()->kind() == ButtonKind::abort &&
                      w.start_button()->text() == QStringLiteral("Abort") &&
                      !w.start_button()->icon().isNull() && w.stop_button()->isEnabled() &&
                      w.stop_button()->text() == "Stop";
      if (g == 3) {
        labels_after_last = QStringList{w.progress_label(0)->text(), w.progress_label(1)->text()};
      }
    });
    w.window.tabs().setCurrentWidget(w.problem_tab());
    w.start_and_wait();

    QVERIFY(running_state);
    QCOMPARE(w.window.tabs().currentWidget(), w.results_tab());
    verify_idle();
    QCOMPARE(window_->dialogs.messages, QStringList());
    const QString progress = kIdeographicSpace + QStringLiteral("4 / 4");
    QCOMPARE(labels_after_last,
             (QStringList{QStringLiteral("No1:") + progress, QStringLiteral("No2:") + progress}));
    QVERIFY(w.progress_label(1)->isVisible() || !w.window.isVisible());
    QVERIFY(!w.progress_label(1)->isHidden());
    QVERIFY(w.progress_label(2)->isHidden());
    QVERIFY(w.progress_label(3)->isHidden());
    QCOMPARE(w.progress_bar()->maximum(), 4);
    // Room for the whole text at the run's last generation.
    QVERIFY(w.progress_label(1)->minimumWidth() >=
            w.progress_label(1)->fontMetrics().horizontalAdvance(labels_after_last[1]));

    // The histories of both populations, generation by generation, in the
    // charts of the tab and of the two chart windows.
    const auto verify_history = [](const ChartView* view, int series, const QList<double>& values) {
      const auto points = points_of(view, series);
      QCOMPARE(x_values(points), indices(4));
      QCOMPARE(y_values(points), values);
    };
    for (int p = 0; p < 2; ++p) {
      const auto i = static_cast<std::size_t>(p);
      verify_history(w.mdl_chart(), p, reference.mdl[i]);
      verify_history(w.mse_chart(), p, reference.mse[i]);
      verify_history(w.window.fitness_window().chart_view(), 2 * p, reference.validation_mse[i]);
      verify_history(w.window.fitness_window().chart_view(), 2 * p + 1, reference.mse[i]);
      verify_history(w.window.gene_length_window().chart_view(), 2 * p, reference.best_nodes[i]);
      verify_history(w.window.gene_length_window().chart_view(), 2 * p + 1,
                     reference.average_nodes[i]);
    }
    QVERIFY(points_of(w.mdl_chart(), 2).isEmpty());

    // The last generation's predictions: curves and output grids.
    const int n = 120;
    for (int p = 0; p < 2; ++p) {
      const auto& prediction = reference.prediction[static_cast<std::size_t>(p)];
      QCOMPARE(static_cast<int>(prediction.size()), n);
      const auto curve = points_of(w.prediction_chart(), ResultsView::first_population_series + p);
      QCOMPARE(x_values(curve), indices(n));
      QCOMPARE(y_values(curve), QList<double>(prediction.begin(), prediction.end()));
      const auto cells = quarvel::records::output_cells(prediction);
      const GridModel* output = w.output_model(p);
      QCOMPARE(column(output, 0), texts(cells.index));
      QCOMPARE(column(output, 1), texts(cells.value));
    }
    QCOMPARE(column(w.output_model(0), 0).first(), QStringLiteral("0"));
    // Absent populations show nothing: the grid's first empty rows.
    QCOMPARE(w.output_model(2)->rowCount(), quarvel::ui::kOutputGridRows);
    QCOMPARE(column(w.output_model(2), 1), QStringList(quarvel::ui::kOutputGridRows, QString()));
    QVERIFY(points_of(w.prediction_chart(), ResultsView::first_population_series + 2).isEmpty());

    // "Real Data": the scaled series, 0 to 1.
    const auto real = points_of(w.prediction_chart(), ResultsView::real_data_series);
    QCOMPARE(x_values(real), indices(n));
    const QList<double> scaled = y_values(real);
    QCOMPARE(*std::min_element(scaled.begin(), scaled.end()), 0.0);
    QCOMPARE(*std::max_element(scaled.begin(), scaled.end()), 1.0);

    // Markers at T and T + V, spanning the curves and at least 0 to 1.
    double lo = 0.0;
    double hi = 1.0;
    for (const auto& prediction : reference.prediction) {
      for (double value : prediction) {
        lo = std::min(lo, value);
        hi = std::max(hi, value);
      }
    }
    const int overlap = w.field(Setting::overlap)->text().toInt();
    QCOMPARE(points_of(w.prediction_chart(), ResultsView::training_marker_series),
             (QList<QPointF>{{90.0, lo}, {90.0, hi}}));
    QCOMPARE(points_of(w.prediction_chart(), ResultsView::forecast_marker_series),
             (QList<QPointF>{{90.0 + overlap, lo}, {90.0 + overlap, hi}}));

    // The best trees, each under its population's heading.
    QString text;
    for (int p = 0; p < 2; ++p) {
      text += QStringLiteral("Population:%1\n").arg(p + 1) +
              QString::fromStdString(reference.tree_text[static_cast<std::size_t>(p)]) +
              QStringLiteral("\n\n");
    }
    QCOMPARE(w.best_trees_text()->toPlainText(), text);
  }

  void stop_and_resume_between_generations() {
    prepare_small_run(5, 1);
    auto& w = *window_;
    QStringList seen;
    int shown_while_paused = -1;
    window_->after_each_generation([&](int g) {
      if (g != 1) return;
      w.stop_button()->click();
      seen << w.stop_button()->text() << w.start_button()->text();
      QVERIFY(w.start_button()->isEnabled());
      QCOMPARE(w.stop_button()->kind(), ButtonKind::ok);
      QTimer::singleShot(50, &w.window, [&] {
        shown_while_paused = static_cast<int>(points_of(w.mdl_chart(), 0).size());
        w.stop_button()->click();
        seen << w.stop_button()->text() << QString::number(w.start_button()->isEnabled());
      });
    });
    w.start_and_wait();

    QCOMPARE(seen, (QStringList{"Resume", "Abort", "Stop", "0"}));
    QCOMPARE(shown_while_paused, 2);  // generations 0 and 1, nothing more while paused
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 5);
    verify_idle();
  }

  // Late in a long run the window still answers between generations.
  void stop_and_resume_late_in_a_long_run() {
    prepare_small_run(300, 1);
    auto& w = *window_;
    int paused_at = -1;
    int resumed = 0;
    window_->after_each_generation([&](int g) {
      if (g != 290 || paused_at >= 0) return;
      w.stop_button()->click();
      paused_at = g;
      QTimer::singleShot(30, &w.window, [&] {
        QVERIFY(w.window.run_driver().paused());
        QCOMPARE(w.progress_bar()->value(), 290);  // nothing ran while paused
        w.stop_button()->click();
        ++resumed;
      });
    });
    w.start_and_wait();
    QCOMPARE(paused_at, 290);
    QCOMPARE(resumed, 1);
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 300);
    verify_idle();
  }

  // A Stop that arrives while the last generation is shown must not leave the
  // next run paused or the button reading "Resume".
  void stop_during_the_last_generation_leaves_no_pause_behind() {
    prepare_small_run(3, 1);
    auto& w = *window_;
    bool stopped = false;
    window_->after_each_generation([&](int g) {
      if (g == 2 && !stopped) {
        stopped = true;
        w.stop_button()->click();
      }
    });
    w.start_and_wait();
    QVERIFY(stopped);
    verify_idle();
    w.start_and_wait();
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 3);
    verify_idle();
  }

  // The marker lines span the curves and at least 0 to 1; a value that is not
  // finite is left out of the curve and of the span.
  void markers_span_the_predicted_values_data() {
    QTest::addColumn<double>("extreme");
    QTest::addColumn<QString>("overlap");
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("validation_x");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("within 0 to 1") << 0.5 << "5" << 0.0 << 1.0 << 95.0;
    QTest::newRow("2.5 stretches up") << 2.5 << "5" << 0.0 << 2.5 << 95.0;
    QTest::newRow("-0.3 stretches down") << -0.3 << "5" << -0.3 << 1.0 << 95.0;
    QTest::newRow("infinite") << inf << "5" << 0.0 << 1.0 << 95.0;
    QTest::newRow("not a number") << std::nan("") << "5" << 0.0 << 1.0 << 95.0;
    QTest::newRow("overlap 0 puts Validation on Training") << 0.5 << "0" << 0.0 << 1.0 << 90.0;
  }
  void markers_span_the_predicted_values() {
    QFETCH(double, extreme);
    QFETCH(QString, overlap);
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, validation_x);
    prepare_small_run(1, 1);
    auto& w = *window_;
    w.field(Setting::overlap)->setText(overlap);
    w.start_and_wait();
    quarvel::runs::GenerationResults results;
    results.populations.resize(1);
    results.populations[0].prediction.assign(120, 0.25);
    results.populations[0].prediction[7] = extreme;
    w.window.results_view().plot_prediction_curves(results, w.window.prediction_markers());

    QCOMPARE(points_of(w.prediction_chart(), ResultsView::training_marker_series),
             (QList<QPointF>{{90.0, lo}, {90.0, hi}}));
    QCOMPARE(points_of(w.prediction_chart(), ResultsView::forecast_marker_series),
             (QList<QPointF>{{validation_x, lo}, {validation_x, hi}}));
    const auto curve = points_of(w.prediction_chart(), ResultsView::first_population_series);
    QCOMPARE(curve.size(), std::isfinite(extreme) ? 120 : 119);
    QCOMPARE(curve.last(), QPointF(119.0, 0.25));
  }

  // A generation held on its thread until the window has shown it answers
  // (20 timer ticks handled and the Stop button painted while it runs, or a
  // minute gone by): Stop and Abort, pressed meanwhile, take effect once it is
  // done and shown.
  void the_window_answers_while_a_generation_runs() {
    auto& w = *window_;
    load(wave_text(0, 29000), wave_text(29000 - 119, 300));
    w.field(Setting::generations)->setText(QStringLiteral("4"));
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    RunDriver& driver = w.window.run_driver();

    // A tick every 10 ms, and the paint events of the Stop button, while the
    // engine works.
    std::atomic<int> ticks_while_computing{0};
    std::atomic<int> paints_while_computing{0};
    const GenerationHold hold(
        driver, [](int) { return true; },
        [&] { return ticks_while_computing >= 20 && paints_while_computing > 0; });
    std::function<void()> on_computing_tick;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, &w.window, [&] {
      if (!driver.computing()) return;
      ++ticks_while_computing;
      if (on_computing_tick) on_computing_tick();
    });
    PaintCounter paints(w.stop_button(), [&] {
      if (driver.computing()) ++paints_while_computing;
    });
    ticker.start();

    // Stop during generation 0: it is finished and shown, then nothing runs
    // until Abort.
    QStringList seen;
    int shown_when_paused = -1;
    bool computing_when_paused = true;
    bool stopping = true;
    on_computing_tick = [&] {
      if (ticks_while_computing != 5) return;
      QTest::mouseClick(w.stop_button(), Qt::LeftButton);
      seen << w.stop_button()->text() << QString::number(driver.computing());
    };
    window_->after_each_generation([&](int g) {
      if (!stopping || g != 0) return;
      QTimer::singleShot(300, &w.window, [&] {
        shown_when_paused = static_cast<int>(points_of(w.mdl_chart(), 0).size());
        computing_when_paused = driver.computing();
        window_->dialogs.answer_yes = true;
        w.start_button()->click();
      });
    });
    w.start_and_wait();
    stopping = false;
    QCOMPARE(seen, (QStringList{QStringLiteral("Resume"), QStringLiteral("1")}));
    QCOMPARE(shown_when_paused, 1);
    QVERIFY(!computing_when_paused);
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 1);
    QCOMPARE(window_->dialogs.questions, QStringList{kAbortQuestion});
    QVERIFY2(ticks_while_computing >= 20,
             qPrintable(QString::number(ticks_while_computing.load())));
    QVERIFY(paints_while_computing > 0);
    verify_idle();

    // The curves are thinned for the chart, their extremes and the output
    // grid's every row kept.
    const int n = 29300;
    QCOMPARE(w.output_model(0)->rowCount(), n);
    const QList<QPointF> curve =
        points_of(w.prediction_chart(), ResultsView::first_population_series);
    const QChart* chart = w.prediction_chart()->chart();
    QVERIFY2(curve.size() <= 4 * static_cast<int>(chart->plotArea().width()) + 8,
             qPrintable(QString::number(curve.size())));
    QCOMPARE(curve.first().x(), 0.0);
    QCOMPARE(curve.last().x(), n - 1.0);
    const QList<double> values = y_values(curve);
    const QStringList cells = column(w.output_model(0), 1);
    double lo = kInf;
    double hi = -kInf;
    for (const QString& cell : cells) {
      const double value = cell.toDouble();
      if (!std::isfinite(value)) continue;  // not on the chart
      lo = std::min(lo, value);
      hi = std::max(hi, value);
    }
    QCOMPARE(quarvel::data::format_general(*std::min_element(values.begin(), values.end())),
             quarvel::data::format_general(lo));
    QCOMPARE(quarvel::data::format_general(*std::max_element(values.begin(), values.end())),
             quarvel::data::format_general(hi));

    // Abort (Ctrl+S, answered Yes) during generation 0: it is finished and
    // shown, and the run ends.
    window_->dialogs.questions.clear();
    ticks_while_computing = 0;
    paints_while_computing = 0;
    on_computing_tick = [&] {
      if (ticks_while_computing == 5) w.action("start_action")->trigger();
    };
    w.start_and_wait();
    QCOMPARE(window_->dialogs.questions, QStringList{kAbortQuestion});
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 1);
    verify_idle();
  }

  // A box or a question shown during a run runs its own message loop, as a
  // modal box does: the run goes on behind it to its end. The box's loop gives
  // up when the run stands still behind it: nothing computing, and the
  // queued messages dispatched twice without a generation starting.
  void the_run_goes_on_behind_a_box_data() {
    QTest::addColumn<QString>("box");
    QTest::newRow("Export models' message while running") << "export";
    QTest::newRow("the abort question, answered No") << "abort";
  }
  void the_run_goes_on_behind_a_box() {
    QFETCH(QString, box);
    prepare_small_run(6, 1);
    auto& w = *window_;
    RunDriver& driver = w.window.run_driver();
    int shown_when_opened = -1;
    int shown_when_closed = -1;
    bool stood_still = false;
    w.dialogs.while_box_open = [&] {
      shown_when_opened = w.window.last_run().generations_shown;
      while (driver.running()) {
        if (driver.computing()) {
          QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
          continue;
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
        if (driver.running() && !driver.computing()) {
          stood_still = true;
          break;
        }
      }
      shown_when_closed = w.window.last_run().generations_shown;
    };
    window_->after_each_generation([&](int g) {
      if (g != 1 || shown_when_opened >= 0) return;
      if (box == QStringLiteral("export")) {
        w.action("export_models_action")->trigger();
      } else {
        w.dialogs.answer_yes = false;
        w.action("start_action")->trigger();
      }
    });
    w.start_and_wait();

    QVERIFY(!stood_still);
    QCOMPARE(shown_when_opened, 2);
    QCOMPARE(shown_when_closed, 6);
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 6);
    QVERIFY2(w.window.run_status().startsWith(QStringLiteral("Not running \u2014 finished in ")),
             qPrintable(w.window.run_status()));
    QCOMPARE(w.dialogs.messages.size() + w.dialogs.questions.size(), 1);
    verify_idle();
  }

  // A run's time is the time it worked: the time it stood stopped between
  // generations is not counted. The run's clock is the test's: each
  // generation takes 2 s, the stop 100 s.
  void the_run_time_leaves_out_the_time_stopped() {
    prepare_small_run(4, 1);
    auto& w = *window_;
    RunDriver& driver = w.window.run_driver();
    std::chrono::steady_clock::time_point now{};
    driver.set_clock([&now] { return now; });
    bool resumed = false;
    window_->after_each_generation([&](int g) {
      now += std::chrono::seconds(2);
      if (g != 1) return;
      w.stop_button()->click();
      // Once the stop has taken effect between generations 1 and 2.
      QTimer::singleShot(0, &w.window, [&] {
        QVERIFY(driver.paused() && !driver.computing());
        now += std::chrono::seconds(100);
        w.stop_button()->click();
        resumed = true;
      });
    });
    w.start_and_wait();

    QVERIFY(resumed);
    QCOMPARE(w.window.run_status(), QStringLiteral("Not running \u2014 finished in 8.0 s"));
  }

  void abort_answered_no_then_yes() {
    prepare_small_run(6, 1);
    auto& w = *window_;
    window_->after_each_generation([&](int g) {
      if (g != 1) return;
      w.stop_button()->click();  // the button route to Abort leads through Stop
      QTimer::singleShot(0, &w.window, [&] {
        window_->dialogs.answer_yes = false;
        w.start_button()->click();
        QVERIFY(w.window.run_driver().paused());
        QVERIFY(!w.window.run_driver().abort_requested());
        window_->dialogs.answer_yes = true;
        w.start_button()->click();
      });
    });
    w.start_and_wait();

    QCOMPARE(window_->dialogs.questions, (QStringList{kAbortQuestion, kAbortQuestion}));
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 2);  // generations 0 and 1 stay on display
    QCOMPARE(w.output_model(0)->rowCount(), 120);
    verify_idle();
  }

  void ctrl_s_during_a_run_asks_to_abort_and_never_starts_another() {
    prepare_small_run(6, 1);
    auto& w = *window_;
    int starts = 0;
    // Every Start shows the data as "Real Data" (after emptying it).
    QXYSeries* real_data = w.prediction_chart()->series(ResultsView::real_data_series);
    connect(real_data, &QXYSeries::pointsReplaced, &w.window, [&] {
      if (!real_data->points().isEmpty()) ++starts;
    });
    bool asked = false;
    window_->after_each_generation([&](int g) {
      if (g != 0 || asked) return;
      asked = true;
      window_->dialogs.answer_yes = true;
      w.action("start_action")->trigger();
    });
    w.start_and_wait();

    QCOMPARE(starts, 1);
    QCOMPARE(window_->dialogs.questions, QStringList{kAbortQuestion});
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 1);
    verify_idle();

    // The next Start runs from a clean state: all generations.
    window_->dialogs.answer_yes = false;
    w.start_and_wait();
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 6);
    verify_idle();
  }

  void closing_the_window_ends_the_run_first() {
    prepare_small_run(6, 1);
    auto& w = *window_;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    bool refused = false;
    window_->dialogs.answer_yes = true;  // "Are you sure you want to abort this GP run?"
    window_->after_each_generation([&](int g) {
      if (g == 1) refused = !w.window.close();
    });
    w.start_and_wait();

    QVERIFY(refused);
    QCOMPARE(window_->dialogs.questions, QStringList{kAbortQuestion});
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 2);
    QVERIFY(!w.window.isVisible());
    verify_idle();
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Venko"),
                    QStringLiteral("Regression"));
    QCOMPARE(store.value(QStringLiteral("DIRECTORY/INIT")).toString(),
             w.window.remembered_folder());
    QCOMPARE(w.window.remembered_folder(), QDir::toNativeSeparators(data_folder_.path()));
  }

  // The run goes on behind the abort question of a close, and ends while it
  // is open: Yes then closes the window at once, as there is no run to wait for.
  void a_close_agreed_to_after_the_run_ended_closes_the_window() {
    prepare_small_run(4, 1);
    auto& w = *window_;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    RunDriver& driver = w.window.run_driver();
    w.dialogs.while_box_open = [&] {
      while (driver.running()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      }
    };
    w.dialogs.answer_yes = true;
    bool refused = false;
    window_->after_each_generation([&](int g) {
      if (g == 0) refused = !w.window.close();
    });
    w.start_and_wait();
    QVERIFY(refused);
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 4);
    QCoreApplication::sendPostedEvents();
    QVERIFY(!w.window.isVisible());
  }

  void keyboard_roles_of_the_button_kinds() {
    prepare_small_run(5, 1);
    auto& w = *window_;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QStringList seen;
    window_->after_each_generation([&](int g) {
      if (g == 0) {
        QTest::keyClick(w.best_trees_text(), Qt::Key_Escape);  // Stop is the cancel button
        seen << w.stop_button()->text();
        QTimer::singleShot(0, &w.window, [&] {
          QTest::keyClick(w.best_trees_text(), Qt::Key_Return);  // Resume is the default button
          seen << w.stop_button()->text();
        });
      }
    });
    w.window.tabs().setCurrentWidget(w.results_tab());
    w.best_trees_text()->setFocus();
    QTest::keyClick(w.best_trees_text(), Qt::Key_Return);  // Start is the default button
    w.wait_for_run_end();

    QCOMPARE(seen, (QStringList{"Resume", "Stop"}));
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 5);
    verify_idle();
  }

  void save_writes_the_grid_as_the_file_format_says() {
    auto& w = *window_;
    auto& dialogs = window_->dialogs;
    const QString path = data_folder_.filePath(QStringLiteral("out.txt"));

    // Before any run there is nothing to save, and no dialog asks for a name.
    w.window.save_output(0);
    QCOMPARE(dialogs.messages,
             QStringList{
                 QStringLiteral("There is no run yet: start a run, then save its predictions.")});
    QCOMPARE(dialogs.save_dialog_folders.size(), 0);
    dialogs.messages.clear();
    write_file(data_folder_, "out.txt", "earlier\r\n");

    prepare_small_run(1, 2);
    w.start_and_wait();
    const auto save = [&](QPushButton* button, const GridModel* model) {
      dialogs.file_answers.push_back(path);
      button->click();
      QByteArray expected;
      for (int row = 0; row < model->rowCount(); ++row) {
        expected += model->cell(0, row).toLatin1() + ',' + model->cell(1, row).toLatin1() + "\r\n";
      }
      QCOMPARE(read_all(path), expected);
      QVERIFY(read_all(path).startsWith("0,"));
      QVERIFY(read_all(path).contains("\r\n119,"));
    };
    dialogs.answer_yes = true;  // replacing the five-line file is asked and agreed to
    save(w.save_button(0), w.output_model(0));
    save(w.save_button(1), w.output_model(1));
    QCOMPARE(dialogs.questions,
             QStringList(2, QStringLiteral("Quarvel ver0.0|\"out.txt\" already exists.\n"
                                           "Do you want to replace it?")));
    // The name offered says which run and population the file comes from.
    QCOMPARE(dialogs.save_dialog_names, (QStringList{QStringLiteral("run-1-population-1.txt"),
                                                     QStringLiteral("run-1-population-2.txt")}));
    QCOMPARE(QDir(data_folder_.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // Cancelled: the file stays as it is.
    const QByteArray before = read_all(path);
    dialogs.file_answers.push_back(std::nullopt);
    w.window.save_output(0);
    QCOMPARE(read_all(path), before);
    QCOMPARE(dialogs.messages, QStringList());
  }

  void a_failed_save_names_the_file_and_the_reason() {
    auto& w = *window_;
    auto& dialogs = window_->dialogs;
    prepare_small_run(1, 1);
    w.start_and_wait();
    const QString missing = data_folder_.filePath(QStringLiteral("no such folder/out.txt"));
    dialogs.file_answers.push_back(missing);
    w.window.save_output(0);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY2(dialogs.messages[0].contains(missing), qPrintable(dialogs.messages[0]));
    QVERIFY2(dialogs.messages[0].contains(QStringLiteral("No such file or directory")),
             qPrintable(dialogs.messages[0]));
    QVERIFY(!QFile::exists(missing));

    const QString protected_file = write_file(data_folder_, "kept.txt", "old\r\n");
    QFile::setPermissions(protected_file, QFile::ReadOwner);
    if (QFileInfo(protected_file).isWritable()) QSKIP("this user may write any file");
    dialogs.file_answers.push_back(protected_file);
    w.window.save_output(0);
    QCOMPARE(dialogs.messages.size(), 2);
    QVERIFY2(dialogs.messages[1].contains(protected_file), qPrintable(dialogs.messages[1]));
    QCOMPARE(read_all(protected_file), QByteArray("old\r\n"));
    QCOMPARE(w.output_model(0)->rowCount(), 5);
  }

  // Refused Starts: the message, the tab shown after it, and no run.
  void start_refusals_data() {
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("message");  // the message shown starts with this text
    QTest::addColumn<bool>("data_tab");    // "Problem Configuration" comes to the front
    QTest::newRow("overselect below 1000") << "overselect"
                                           << "Population size must be bigger than 999" << false;
    QTest::newRow("overselect on page 2 of 2")
        << "overselect 2"
        << "Population size must be bigger than 999" << false;
    QTest::newRow("elite above the population size")
        << "elite"
        << "The number of elite (41) of population 1 is larger than its population size (40)"
        << false;
    QTest::newRow("setting typed and never left")
        << "unreadable"
        << "The setting \"Generation\" cannot be used" << false;
    QTest::newRow("all values equal") << "equal"
                                      << "All loaded values are equal (5)" << true;
  }
  void start_refusals() {
    QFETCH(QString, refusal);
    QFETCH(QString, message);
    QFETCH(bool, data_tab);
    auto& w = *window_;
    prepare_small_run(3, 1);
    if (refusal.startsWith(QStringLiteral("overselect"))) {
      const bool second = refusal.endsWith(QLatin1Char('2'));
      if (second) {
        w.population_count_box()->setEditText(QStringLiteral("2"));
        w.window.populations_tab().apply_population_count();
      }
      (second ? w.selection_group(1) : w.selection_group(0))->set_item_index(1);
      (second ? w.field(Setting::population_size, 1) : w.field(Setting::population_size, 0))
          ->setText(QStringLiteral("999"));
    } else if (refusal == QStringLiteral("elite")) {
      w.field(Setting::elite, 0)->setText(QStringLiteral("41"));
    } else if (refusal == QStringLiteral("unreadable")) {
      w.field(Setting::generations)->setText(QStringLiteral("ten"));
    } else if (refusal == QStringLiteral("equal")) {
      load("5\n5\n5\n", "5\n5\n");
    }
    w.window.tabs().setCurrentWidget(w.populations_tab());
    w.start_and_wait();

    QCOMPARE(window_->dialogs.messages.size(), 1);
    QVERIFY2(window_->dialogs.messages[0].startsWith(message),
             qPrintable(window_->dialogs.messages[0]));
    QCOMPARE(w.window.tabs().currentWidget(), data_tab ? w.problem_tab() : w.populations_tab());
    QVERIFY(w.window.engine().populations.empty());
    QVERIFY(points_of(w.prediction_chart(), ResultsView::real_data_series).isEmpty());
    QCOMPARE(window_->dialogs.end_statuses, std::vector<int>());
    verify_idle();
    QVERIFY(w.window.problem_tab().training_loaded() && w.window.problem_tab().validation_loaded());

    // With the population size raised to 1000 the overselect page is accepted.
    if (refusal.startsWith(QStringLiteral("overselect"))) {
      window_->dialogs.messages.clear();
      (refusal.endsWith(QLatin1Char('2')) ? w.field(Setting::population_size, 1)
                                          : w.field(Setting::population_size, 0))
          ->setText(QStringLiteral("1000"));
      w.field(Setting::generations)->setText(QStringLiteral("1"));
      w.start_and_wait();
      QCOMPARE(window_->dialogs.messages, QStringList());
      QCOMPARE(points_of(w.mdl_chart(), 0).size(), 1);
    }
  }

  // Every menu action, Save and the chart and model exports, while a
  // generation runs: none of them reaches the engine (RunDriver::engine would
  // end the program; under ThreadSanitizer a read of the engine would be a
  // race), and the run goes on to its end with its own data and settings.
  void every_action_during_a_generation_leaves_the_engine_alone() {
    auto& w = *window_;
    load(wave_text(0, 3000), wave_text(3000 - 119, 300));
    w.field(Setting::generations)->setText(QStringLiteral("3"));
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("4"));
    w.population_count_box()->setEditText(QStringLiteral("2"));
    w.window.populations_tab().apply_population_count();
    for (int p = 0; p < 2; ++p) {
      w.field(Setting::population_size, p)->setText(QStringLiteral("200"));
    }
    const QString other_data = write_file(data_folder_, "other.txt", wave_text(0, 50));
    RunDriver& driver = w.window.run_driver();
    std::atomic<bool> all_fired{false};
    // Generation 1 is held until everything has been fired.
    GenerationHold hold(
        driver, [](int generation) { return generation == 1; }, [&] { return all_fired.load(); });
    QList<QAction*> actions;
    for (QAction* action : w.window.findChildren<QAction*>()) {
      if (!action->isSeparator() && action->menu() == nullptr) actions << action;
    }
    int fired_in = -1;
    QTimer firing;
    firing.setInterval(5);
    connect(&firing, &QTimer::timeout, &w.window, [&] {
      // In generation 1, with generation 0 shown and its predictions to save.
      if (!driver.computing() || all_fired || w.window.last_run().generations_shown != 1) return;
      fired_in = w.window.last_run().generations_shown;
      // Every dialog is answered with a file of this folder; questions with No.
      for (int k = 0; k < 40; ++k) w.dialogs.file_answers.emplace_back(other_data);
      w.dialogs.answer_yes = false;
      for (QAction* action : actions) action->trigger();
      for (QAction* action : actions) {
        if (action->isCheckable()) action->trigger();  // back as they were
      }
      w.dialogs.file_answers.clear();
      for (int p = 0; p < 2; ++p) {
        w.dialogs.file_answers.emplace_back(
            data_folder_.filePath(QStringLiteral("saved-%1").arg(p)));
        w.save_button(p)->click();
      }
      w.dialogs.file_answers.clear();
      all_fired = true;
    });
    firing.start();
    w.start_and_wait();

    QVERIFY(all_fired);
    QCOMPARE(fired_in, 1);
    QVERIFY(w.dialogs.messages.contains(
        QStringLiteral("The models can be exported once the run has ended.")));
    QVERIFY(QFile::exists(data_folder_.filePath(QStringLiteral("saved-1"))));
    // The run went on with its own data: three generations of two populations,
    // its markers at its own training count and overlap.
    QCOMPARE(points_of(w.mdl_chart(), 1).size(), 3);
    QCOMPARE(w.window.last_run().generations_shown, 3);
    QCOMPARE(w.window.prediction_markers().training, 3000.0);
    QCOMPARE(w.window.prediction_markers().forecast, 3119.0);
    QCOMPARE(w.window.last_run().forecasts.size(), std::size_t{2});
    verify_idle();
  }

  // A thread whose record cannot be made (std::bad_alloc) is no thread to be
  // had, like one the system refuses: the generations run on the GUI thread,
  // with the same results, where the run used to end as out of memory.
  void without_a_thread_record_the_run_goes_on_here() {
    prepare_small_run(3, 2);
    window_->start_and_wait();
    const QList<QPointF> expected = points_of(window_->mdl_chart(), 1);
    const QString expected_trees = window_->best_trees_text()->toPlainText();

    // The same first run in a new window, each generation on this thread.
    window_ = std::make_unique<TestWindow>();
    prepare_small_run(3, 2);
    auto& w = *window_;
    int refused = 0;
    w.window.run_driver().set_thread_starter(
        [&refused](const std::function<void()>&) -> std::jthread {
          ++refused;
          throw std::bad_alloc();
        });
    w.start_and_wait();
    QCOMPARE(refused, 4);  // the three generations and the forecasts' figures at the end
    QCOMPARE(w.dialogs.messages, QStringList());
    QCOMPARE(points_of(w.mdl_chart(), 1), expected);
    QCOMPARE(w.best_trees_text()->toPlainText(), expected_trees);
    verify_idle();
  }

  // A validation file that would take the data past the engine's capacity is
  // refused at once, before the overlap is looked for (which takes time with
  // the count), as the runner refuses it; the training series stays loaded.
  void too_many_values_are_refused_when_the_validation_file_is_loaded() {
    auto& w = *window_;
    load(QByteArray("1\n2\n").repeated(15000), QByteArray("3\n").repeated(10001));
    QCOMPARE(w.dialogs.messages.size(), 1);
    QVERIFY2(w.dialogs.messages[0].startsWith(QStringLiteral(
                 "\"validation.txt\" was not loaded: The training and validation data hold "
                 "40001 values together, but at most 40000 can be used.")),
             qPrintable(w.dialogs.messages[0]));
    QVERIFY(w.window.problem_tab().training_loaded());
    QVERIFY(!w.window.problem_tab().validation_loaded());
    QCOMPARE(w.validation_model()->rowCount(), 5);
    w.dialogs.messages.clear();
    w.start_and_wait();
    QCOMPARE(w.dialogs.messages, QStringList{QString::fromLatin1(quarvel::ui::kNoValidationData)});
  }
};

QTEST_MAIN(RunTest)
#include "test_run.moc"
