// The model taken out of the window: forecasts past the data on the chart and
// in the output grids, saves and the chart in the series' own units, the best
// trees as formulas, and the model files of every population.
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QXYSeries>
#include <QtTest>
#include <memory>

#include "engine/engine.h"
#include "frontend/forecast.h"
#include "frontend/generationstep.h"
#include "frontend/numbertext.h"
#include "frontend/startrun.h"
#include "support/TestWindow.h"

using quarvel::frontend::Setting;
using quarvel::ui::MainWindow;
using quarvel::ui::testing::read_all;
using quarvel::ui::testing::TestWindow;

namespace {

QString example(const char* name) {
  return QStringLiteral(QUARVEL_EXAMPLES) + QLatin1Char('/') + QLatin1String(name);
}

}  // namespace

class ModelOutTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir folder_;
  std::unique_ptr<TestWindow> window_;

  // A short sunspot run of two populations, forecasting `ahead` steps.
  void run_sunspots(int ahead) {
    auto& w = *window_;
    w.load_files(example("sunspots-training.txt"), example("sunspots-validation.txt"));
    w.field(Setting::generations)->setText(QStringLiteral("3"));
    w.field(Setting::forecast_ahead)->setText(QString::number(ahead));
    w.population_count_box()->setEditText(QStringLiteral("2"));
    w.window.populations_tab().apply_population_count();
    for (int p = 0; p < 2; ++p) w.field(Setting::population_size, p)->setText("120");
    w.window.start_or_abort_run();
  }

  // quarvel-cli on the same data and settings; true when it succeeds.
  static bool run_cli(const QStringList& extra) {
    QProcess runner;
    QStringList arguments{QStringLiteral("--training"),
                          example("sunspots-training.txt"),
                          QStringLiteral("--validation"),
                          example("sunspots-validation.txt"),
                          QStringLiteral("--generations"),
                          QStringLiteral("3"),
                          QStringLiteral("--populations"),
                          QStringLiteral("2"),
                          QStringLiteral("--population-size"),
                          QStringLiteral("120"),
                          QStringLiteral("--quiet")};
    runner.start(QStringLiteral(QUARVEL_CLI), arguments + extra);
    return runner.waitForFinished(60000) && runner.exitStatus() == QProcess::NormalExit &&
           runner.exitCode() == 0;
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  // The forecast past the data: dashed on the chart after the data, listed
  // after the fitted rows and set apart, the runner's own values.
  void forecast_past_the_data_on_the_chart_and_in_the_grid() {
    auto& w = *window_;
    QCOMPARE(w.field(Setting::forecast_ahead)->text(), QStringLiteral("0"));
    run_sunspots(12);
    const auto reference = [&] {
      auto engine = std::make_unique<quarvel::Engine>();
      const auto outcome = quarvel::frontend::start_run(
          *engine, w.window.problem_tab().training_cells(),
          w.window.problem_tab().validation_cells(), w.window.settings_texts());
      quarvel::frontend::GenerationResults results;
      if (outcome.error == quarvel::frontend::StartError::none) {
        quarvel::frontend::run_generations(*engine, results);
      }
      return quarvel::frontend::forecasts_past_data(*engine, 12);
    }();
    QCOMPARE(reference.size(), std::size_t{2});
    for (int p = 0; p < 2; ++p) {
      const auto points = w.prediction_chart()->points(7 + p);
      QCOMPARE(points.size(), 12);
      for (int k = 0; k < 12; ++k) {
        QCOMPARE(points[k].x(), 408.0 + k);
        QCOMPARE(points[k].y(),
                 reference[static_cast<std::size_t>(p)][static_cast<std::size_t>(k)]);
      }
      QCOMPARE(w.prediction_chart()->series(7 + p)->pen().style(), Qt::DashLine);
      const quarvel::ui::GridModel* grid = w.output_model(p);
      QCOMPARE(grid->rowCount(), 408 + 12);
      QCOMPARE(grid->first_ahead_row(), 408);
      QCOMPARE(grid->cell(0, 408), QStringLiteral("408"));
      QCOMPARE(grid->cell(1, 419), QString::fromStdString(quarvel::frontend::format_general(
                                       reference[static_cast<std::size_t>(p)][11])));
      QCOMPARE(grid->data(grid->index(410, 1), Qt::ToolTipRole).toString(),
               QStringLiteral("Forecast past the data"));
      QVERIFY(grid->data(grid->index(410, 1), Qt::BackgroundRole) !=
              grid->data(grid->index(300, 1), Qt::BackgroundRole));
    }
    // The next run without a forecast shows none.
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("0"));
    w.window.start_or_abort_run();
    QVERIFY(w.prediction_chart()->points(7).isEmpty());
    QCOMPARE(w.output_model(0)->rowCount(), 408);
    QCOMPARE(w.output_model(0)->first_ahead_row(), -1);
  }

  // "Original units" saves what the runner writes with --units original (the
  // prediction, then the forecast past the data); "Scaled values, as shown" the grid.
  void saves_in_either_units_as_the_runner_writes() {
    auto& w = *window_;
    run_sunspots(10);
    QVERIFY(run_cli({QStringLiteral("--forecast"), QStringLiteral("10"), QStringLiteral("--units"),
                     QStringLiteral("original"), QStringLiteral("--output"),
                     folder_.filePath(QStringLiteral("original"))}));
    QVERIFY(run_cli({QStringLiteral("--output"), folder_.filePath(QStringLiteral("scaled"))}));

    const QString original = folder_.filePath(QStringLiteral("window-original.txt"));
    w.dialogs.file_answers.push_back(original);
    w.dialogs.filter_answers.push_back(1);
    w.window.save_output(1);
    QCOMPARE(w.dialogs.save_dialog_filters.last(),
             (QStringList{"Scaled values, as shown (*)", "Original units (*)"}));
    QCOMPARE(read_all(original), read_all(folder_.filePath("original/prediction-2.txt")) +
                                     read_all(folder_.filePath("original/forecast-2.txt")));
    QVERIFY(read_all(original).startsWith("0,5\r\n1,11\r\n"));  // the sunspot numbers themselves

    const QString scaled = folder_.filePath(QStringLiteral("window-scaled.txt"));
    w.dialogs.file_answers.push_back(scaled);
    w.window.save_output(1);
    QVERIFY(read_all(scaled).startsWith(read_all(folder_.filePath("scaled/prediction-2.txt"))));
    QCOMPARE(read_all(scaled).count('\n'), 418);  // and the 10 rows of the forecast
  }

  // The prediction chart switches its vertical axis to the series' own units and back.
  void the_prediction_chart_in_original_units() {
    auto& w = *window_;
    run_sunspots(5);
    const auto scaled = w.prediction_chart()->points(0);
    const auto forecast = w.prediction_chart()->points(7);
    w.action("original_units_action")->trigger();
    const auto original = w.prediction_chart()->points(0);
    QCOMPARE(original.size(), scaled.size());
    QCOMPARE(original[0].y(), 5.0);  // 5 sunspots, not 5 / 190.2
    QCOMPARE(original[3].y(), 23.0);
    const double range = w.engine.data.scale_high - w.engine.data.scale_low;
    QCOMPARE(w.prediction_chart()->points(7)[4].y(),
             w.engine.data.scale_low + forecast[4].y() * range);
    QCOMPARE(w.prediction_chart()->chart()->axes(Qt::Vertical).constFirst()->titleText(),
             QStringLiteral("Value"));
    w.action("original_units_action")->trigger();
    QCOMPARE(w.prediction_chart()->points(0), scaled);
    QCOMPARE(w.prediction_chart()->chart()->axes(Qt::Vertical).constFirst()->titleText(),
             QStringLiteral("Normalized Value"));
  }

  // The best-tree view shows the formulas, during a run and after it.
  void best_trees_as_formulas() {
    auto& w = *window_;
    run_sunspots(0);
    const QString trees = w.best_trees_text()->toPlainText();
    QVERIFY(trees.contains(QStringLiteral("NODE")));
    w.action("formulas_action")->trigger();
    const QString formulas = w.best_trees_text()->toPlainText();
    QVERIFY(formulas.contains(QStringLiteral("Population:2")));
    QVERIFY(formulas.contains(QStringLiteral("prediction = ")));
    QVERIFY(formulas.contains(QStringLiteral("    c0 = ")));
    QVERIFY(!formulas.contains(QStringLiteral("NODE")));
    w.window.start_or_abort_run();  // shown so generation by generation
    QVERIFY(w.best_trees_text()->toPlainText().contains(QStringLiteral("prediction = ")));
    w.action("formulas_action")->trigger();
    QVERIFY(w.best_trees_text()->toPlainText().contains(QStringLiteral("NODE")));
  }

  // "Export models..." writes every population's three files; before a run it
  // says there is nothing yet; it asks before replacing.
  void export_models_of_every_population() {
    auto& w = *window_;
    auto& dialogs = w.dialogs;
    w.action("export_models_action")->trigger();
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages[0].startsWith(QStringLiteral("There is no run yet")));
    QCOMPARE(dialogs.folder_dialog_folders.size(), 0);
    dialogs.messages.clear();

    run_sunspots(0);
    dialogs.file_answers.push_back(folder_.path());
    w.action("export_models_action")->trigger();
    QCOMPARE(dialogs.messages, QStringList());
    QCOMPARE(dialogs.questions, QStringList());
    for (const char* name :
         {"model-1.txt", "model-1.py", "model-1.h", "model-2.txt", "model-2.py", "model-2.h"}) {
      QVERIFY2(QFileInfo::exists(folder_.filePath(QLatin1String(name))), name);
    }
    const QByteArray text = read_all(folder_.filePath(QStringLiteral("model-2.txt")));
    QVERIFY(text.startsWith("Quarvel model of population 2"));
    QVERIFY(text.contains("sunspots-training.txt"));

    // The same as the runner exports for the same settings.
    QVERIFY(run_cli({QStringLiteral("--export-model"), QStringLiteral("--output"),
                     folder_.filePath(QStringLiteral("cli"))}));
    const QByteArray cli_python = read_all(folder_.filePath(QStringLiteral("cli/model-2.py")));
    const QByteArray window_python = read_all(folder_.filePath(QStringLiteral("model-2.py")));
    const auto code = [](const QByteArray& python) { return python.mid(python.indexOf("LOW = ")); };
    QCOMPARE(code(window_python), code(cli_python));

    // Again: the existing files are named and kept on No.
    const QByteArray before = read_all(folder_.filePath(QStringLiteral("model-1.h")));
    QFile::remove(folder_.filePath(QStringLiteral("model-1.h")));
    write_file_text(folder_.filePath(QStringLiteral("model-1.h")), "keep");
    dialogs.file_answers.push_back(folder_.path());
    dialogs.answer_yes = false;
    w.action("export_models_action")->trigger();
    QCOMPARE(dialogs.questions.size(), 1);
    QVERIFY(dialogs.questions[0].contains(QStringLiteral("model-1.h")));
    QCOMPARE(read_all(folder_.filePath(QStringLiteral("model-1.h"))), QByteArray("keep"));
    dialogs.file_answers.push_back(folder_.path());
    dialogs.answer_yes = true;
    w.action("export_models_action")->trigger();
    QCOMPARE(read_all(folder_.filePath(QStringLiteral("model-1.h"))), before);
  }

  void the_forecast_field_is_checked_like_the_others() {
    auto& w = *window_;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QLineEdit* field = w.field(Setting::forecast_ahead);
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("100001"));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(w.dialogs.messages,
                 QStringList{QStringLiteral("The value must be a whole number from 0 to 100000.")});
    QCOMPARE(field->text(), QStringLiteral("0"));
  }

 private:
  static void write_file_text(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
  }

  // The exported models record the run's own settings, whatever the fields
  // say by the time of the export.
  void exported_models_record_the_settings_of_their_run() {
    auto& w = *window_;
    run_sunspots(0);
    w.field(Setting::generations)->setText(QStringLiteral("999"));
    w.field(Setting::seed)->setText(QStringLiteral("42"));
    w.field(Setting::value_limit)->setText(QStringLiteral("7"));
    w.population_count_box()->setEditText(QStringLiteral("3"));
    w.window.populations_tab().apply_population_count();
    w.dialogs.file_answers.emplace_back(folder_.path());
    w.action("export_models_action")->trigger();
    QCOMPARE(w.dialogs.messages, QStringList());
    QFile text(folder_.filePath(QStringLiteral("model-1.txt")));
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QString model = QString::fromUtf8(text.readAll()).simplified();
    for (const char* setting : {"--generations 3", "--seed 1", "--value-limit 100",
                                "--populations 2", "--population-size 120"}) {
      QVERIFY2(model.contains(QString::fromLatin1(setting)), setting);
    }
    QVERIFY(model.contains(QStringLiteral("L = 100")));
    QVERIFY(!QFile::exists(folder_.filePath(QStringLiteral("model-3.txt"))));
    QCOMPARE(w.dialogs.folder_dialog_titles,
             QStringList{QStringLiteral("Export the models of run 1 into a folder")});
  }
};

QTEST_MAIN(ModelOutTest)
#include "test_model_out.moc"
