// A window run when memory runs out or no thread can be had: a program of its
// own, with the allocation and thread creation of support/failing_calls.

#include <QChart>
#include <QLineEdit>
#include <QXYSeries>
#include <QtTest>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include "engine/treeops.h"
#include "support/TestWindow.h"
#include "support/failing_calls.h"

using quarvel::testing::fail_next_large_main_allocation;
using quarvel::testing::fail_other_threads_allocations;
using quarvel::testing::refuse_threads;
using quarvel::testing::refused_threads;

using quarvel::runs::Setting;
using quarvel::ui::testing::GenerationHold;
using quarvel::ui::testing::points_of;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::wave_text;
using quarvel::ui::testing::WindowFixture;

class RunFailuresTest : public QObject, protected WindowFixture {
  Q_OBJECT

 private:
  // A run of a wave of 3000 + 100 points, a population of 300.
  void prepare_run(int generations) { prepare_run(*window_, generations); }
  void prepare_run(TestWindow& w, int generations) {
    w.load_texts(data_folder_, wave_text(0, 3000), wave_text(3000 - 119, 219));
    w.field(Setting::generations)->setText(QString::number(generations));
    w.field(Setting::population_size, 0)->setText(QStringLiteral("300"));
  }

  void verify_idle() {
    QVERIFY(!window_->window.run_driver().running());
    QVERIFY(window_->start_button()->isEnabled());
    QCOMPARE(window_->start_button()->text(), QStringLiteral("Start"));
    QVERIFY(!window_->stop_button()->isEnabled());
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  // The engine's memory runs out during the run: the run ends with a
  // message, what it held is given back, and the next run goes ahead.
  void running_out_of_memory_ends_the_run_with_a_message() {
    auto& w = *window_;
    prepare_run(3);
    fail_other_threads_allocations = true;
    w.start_and_wait();
    fail_other_threads_allocations = false;

    QCOMPARE(w.dialogs.messages, QStringList{QString::fromLatin1(quarvel::ui::kRunOutOfMemory)});
    QCOMPARE(w.dialogs.end_statuses, std::vector<int>());
    verify_idle();
    for (const quarvel::Population& pop : w.window.engine().populations) {
      for (const quarvel::Tree& tree : pop.individuals) QVERIFY(tree == nullptr);
    }

    w.dialogs.messages.clear();
    w.start_and_wait();
    QCOMPARE(w.dialogs.messages, QStringList());
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 3);
    verify_idle();
  }

  // Memory runs out on the GUI thread while a generation is shown: the run
  // ends as when the engine's memory runs out, what it held is given back
  // and the window is idle again, its status saying why.
  void running_out_of_memory_while_showing_ends_the_run() {
    auto& w = *window_;
    prepare_run(4);
    // Showing the second generation asks for the output grid's 3100 cells.
    const GenerationHold arm(
        w.window.run_driver(),
        [](int generation) {
          if (generation == 1) fail_next_large_main_allocation = std::size_t{32} * 1024;
          return false;
        },
        [] { return true; });
    try {
      w.start_and_wait();
    } catch (const std::bad_alloc&) {
      QFAIL("the shortage escaped the run");
    }
    QCOMPARE(fail_next_large_main_allocation.load(), std::size_t{0});
    QCOMPARE(w.dialogs.messages, QStringList{QString::fromLatin1(quarvel::ui::kRunOutOfMemory)});
    QCOMPARE(w.window.run_status(),
             QStringLiteral("Not running \u2014 out of memory at generation 2"));
    verify_idle();
    for (const quarvel::Population& pop : w.window.engine().populations) {
      for (const quarvel::Tree& tree : pop.individuals) QVERIFY(tree == nullptr);
    }
    w.window.toggle_pause();
    QVERIFY(!w.stop_button()->isEnabled());

    w.dialogs.messages.clear();
    w.start_and_wait();
    QCOMPARE(w.dialogs.messages, QStringList());
    QCOMPARE(points_of(w.mdl_chart(), 0).size(), 4);
    verify_idle();
  }

  // A run keeps the models of the generation it showed last: after the engine
  // gave its trees back (as when memory ran out), the formulas and the model
  // export still come from them, and nothing reads the trees that are gone.
  void models_outlive_the_trees_the_engine_gave_back() {
    auto& w = *window_;
    prepare_run(2);
    w.start_and_wait();
    w.action("formulas_action")->trigger();
    const QString formulas = w.best_trees_text()->toPlainText();
    QVERIFY(formulas.contains(QStringLiteral("prediction = ")));
    w.action("formulas_action")->trigger();
    quarvel::release_run(w.window.engine());

    w.action("formulas_action")->trigger();
    QCOMPARE(w.best_trees_text()->toPlainText(), formulas);
    QTemporaryDir models;
    w.dialogs.file_answers.emplace_back(models.path());
    w.action("export_models_action")->trigger();
    QCOMPARE(w.dialogs.messages, QStringList());
    QVERIFY(QFile::exists(models.filePath(QStringLiteral("model-1.py"))));
  }

  // Without a thread to be had, the generations run on the GUI thread and
  // the engine fits on one: the same results.
  void without_threads_the_run_gives_the_same_results() {
    TestWindow reference;
    prepare_run(reference, 3);
    reference.start_and_wait();
    const QList<QPointF> expected = points_of(reference.mdl_chart(), 0);
    const QString expected_trees = reference.best_trees_text()->toPlainText();
    QCOMPARE(expected.size(), 3);

    auto& w = *window_;
    prepare_run(3);
    refuse_threads = true;
    w.start_and_wait();
    refuse_threads = false;
    QVERIFY(refused_threads.load() > 0);
    QCOMPARE(w.dialogs.messages, QStringList());
    QCOMPARE(points_of(w.mdl_chart(), 0), expected);
    QCOMPARE(w.best_trees_text()->toPlainText(), expected_trees);
    verify_idle();
  }
};

QTEST_MAIN(RunFailuresTest)
#include "test_run_failures.moc"
