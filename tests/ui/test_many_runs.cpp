// File > "Start many runs...": the runs of the window's data and settings,
// written as quarvel-cli --runs writes them and opened in the runs view;
// Stop and Abort as during a single run.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "support/TestWindow.h"
#include "support/examples.h"
#include "ui/ManyRunsController.h"
#include "ui/RunsTable.h"
#include "ui/RunsWindow.h"

using quarvel::runs::Setting;
using quarvel::ui::testing::read_all;
using quarvel::ui::testing::TestWindow;

namespace {

QString example(const char* name) {
  return QFileInfo(QString::fromStdString(quarvel::testing::example(name))).canonicalFilePath();
}

// runs.csv without its seconds column, which differs from run to run.
QByteArray runs_table_but_seconds(const QString& folder) {
  const QList<QByteArray> lines = read_all(folder + QStringLiteral("/runs.csv")).split('\n');
  const qsizetype seconds = lines[0].split(',').indexOf("seconds");
  QByteArray kept;
  for (const QByteArray& line : lines) {
    QList<QByteArray> fields = line.split(',');
    if (seconds >= 0 && seconds < fields.size()) fields.removeAt(seconds);
    kept += fields.join(',') + '\n';
  }
  return kept;
}

// The run records under `folder`, to any depth.
QStringList run_records(const QString& folder) {
  QStringList found;
  QDirIterator records(folder, {QStringLiteral("run.txt")}, QDir::Files,
                       QDirIterator::Subdirectories);
  while (records.hasNext()) found << records.next();
  return found;
}

}  // namespace

class ManyRunsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir folder_;
  std::unique_ptr<TestWindow> window_;

  quarvel::ui::ManyRunsController& many_runs() { return window_->window.many_runs(); }

  // The lynx example and small settings: `generations` generations of one
  // population of `size`, ranked by MSE, a forecast of 10 steps.
  void prepare(int generations, int size = 40) {
    TestWindow& w = *window_;
    w.load_files(example("lynx-training.txt"), example("lynx-validation.txt"));
    w.field(Setting::generations)->setText(QString::number(generations));
    w.field(Setting::population_size, 0)->setText(QString::number(size));
    w.field(Setting::elite, 0)->setText(QStringLiteral("1"));
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("10"));
    w.rank_by_mdl_check()->setChecked(false);
  }

  // File > "Start many runs..." answered with `count` runs into `folder`.
  void start(int count, const QString& folder) {
    window_->dialogs.count_answers.push_back(count);
    window_->dialogs.file_answers.emplace_back(folder);
    window_->action("start_many_runs_action")->trigger();
  }

  void wait_for_end() {
    QElapsedTimer clock;
    clock.start();
    while (many_runs().running() && clock.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    }
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  // The folder the window writes is the runner's for the same data and
  // settings, file for file, and opens in the runs view; --summarize reads
  // its run folders back to the same summary.
  void many_runs_write_what_the_runner_writes() {
    prepare(3);
    const QString window_folder = folder_.filePath(QStringLiteral("window"));
    start(4, window_folder);
    QVERIFY(many_runs().running());
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d of 4 runs done"))
                 .match(window_->window.run_status())
                 .hasMatch(),
             qPrintable(window_->window.run_status()));
    QCOMPARE(window_->start_button()->text(), QStringLiteral("Abort"));
    wait_for_end();
    QVERIFY(!many_runs().running());
    QCOMPARE(window_->dialogs.messages, QStringList());
    QCOMPARE(window_->dialogs.errors, QStringList());
    QCOMPARE(window_->dialogs.count_questions.size(), 1);
    QVERIFY2(window_->window.run_status().startsWith(
                 QStringLiteral("Not running \u2014 4 runs done in ")),
             qPrintable(window_->window.run_status()));

    const QString cli_folder = folder_.filePath(QStringLiteral("cli"));
    QProcess runner;
    runner.start(QStringLiteral(QUARVEL_CLI), {"--training",
                                               example("lynx-training.txt"),
                                               "--validation",
                                               example("lynx-validation.txt"),
                                               "--generations",
                                               "3",
                                               "--population-size",
                                               "40",
                                               "--elite",
                                               "1",
                                               "--rank-by",
                                               "mse",
                                               "--forecast",
                                               "10",
                                               "--intervals",
                                               "--runs",
                                               "4",
                                               "--quiet",
                                               "--output",
                                               cli_folder});
    QVERIFY(runner.waitForFinished(120000));
    QCOMPARE(runner.exitCode(), 0);
    QCOMPARE(runs_table_but_seconds(window_folder), runs_table_but_seconds(cli_folder));
    for (const char* name :
         {"/summary.txt", "/ensemble-forecast.txt", "/run-0002/prediction-1.txt"}) {
      const QByteArray expected = read_all(cli_folder + QLatin1String(name));
      QVERIFY2(expected != "(missing)", name);
      QVERIFY2(read_all(window_folder + QLatin1String(name)) == expected, name);
    }

    quarvel::ui::RunsWindow& runs = window_->window.runs_window();
    QVERIFY(runs.isVisible());
    QCOMPARE(runs.runs_table()->rowCount(), 4);
    QVERIFY(runs.notes().startsWith(QStringLiteral("4 runs in")));

    QStringList folders;
    for (int stream = 0; stream < 4; ++stream) {
      folders << window_folder + QStringLiteral("/run-000%1").arg(stream);
    }
    const QString summarized = folder_.filePath(QStringLiteral("summarized"));
    runner.start(QStringLiteral(QUARVEL_CLI), QStringList{"--summarize"} + folders +
                                                  QStringList{"--quiet", "--output", summarized});
    QVERIFY(runner.waitForFinished(60000));
    QCOMPARE(runner.exitCode(), 0);
    QCOMPARE(read_all(summarized + QStringLiteral("/summary.txt")),
             read_all(window_folder + QStringLiteral("/summary.txt")));
  }

  // Stop holds the runs, the window answering meanwhile; Abort, asked as
  // during a run, ends them without their files and without runs.csv.
  void stop_then_abort_ends_the_runs_without_their_files() {
    // Runs of seconds each, which Stop reaches in their first generations.
    prepare(1000, 300);
    const QString folder = folder_.filePath(QStringLiteral("aborted"));
    start(4, folder);
    QVERIFY(many_runs().running());
    window_->stop_button()->click();
    QVERIFY(many_runs().paused());
    QVERIFY(window_->window.run_status().startsWith(QStringLiteral("Stopped: ")));
    QCOMPARE(window_->stop_button()->text(), QStringLiteral("Resume"));
    // The window goes on answering while the runs are held.
    QTest::qWait(300);
    QVERIFY(many_runs().running());

    window_->dialogs.answer_yes = true;
    window_->start_button()->click();
    QCOMPARE(window_->dialogs.questions.size(), 1);
    wait_for_end();
    QVERIFY(!many_runs().running());
    QVERIFY2(window_->window.run_status().contains(QStringLiteral("aborted")),
             qPrintable(window_->window.run_status()));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/runs.csv")));
    QCOMPARE(run_records(folder), QStringList());
    QVERIFY(!window_->window.runs_window().isVisible());
    QCOMPARE(window_->start_button()->text(), QStringLiteral("Start"));
  }

  // Nothing is asked or started without data; a cancelled count starts nothing.
  void no_runs_start_without_data_or_a_count() {
    window_->action("start_many_runs_action")->trigger();
    QCOMPARE(window_->dialogs.messages,
             QStringList{QString::fromLatin1(quarvel::ui::kNoTrainingData)});
    QCOMPARE(window_->dialogs.count_questions, QStringList());

    prepare(3);
    window_->action("start_many_runs_action")->trigger();  // no count answered: cancelled
    QCOMPARE(window_->dialogs.count_questions.size(), 1);
    QCOMPARE(window_->dialogs.folder_dialog_titles, QStringList());
    QVERIFY(!many_runs().running());
  }
};

QTEST_MAIN(ManyRunsTest)
#include "test_many_runs.moc"
