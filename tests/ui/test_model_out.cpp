// The model taken out of the window: forecasts past the data on the chart and
// in the output grids, saves and the chart in the series' own units, the best
// trees as formulas, and the model files of every population.
#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QStatusBar>
#include <QXYSeries>
#include <QtTest>
#include <memory>

#include "data/numbertext.h"
#include "engine/engine.h"
#include "forecasting/forecast.h"
#include "forecasting/forecastquality.h"
#include "records/outputfile.h"
#include "runs/generationstep.h"
#include "runs/settings.h"
#include "runs/startrun.h"
#include "support/TestWindow.h"
#include "ui/AccuracyTable.h"
#include "ui/ImportTableDialog.h"

using quarvel::runs::Setting;
using quarvel::ui::MainWindow;
using quarvel::ui::ResultsView;
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
    w.start_and_wait();
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
      const auto outcome = quarvel::runs::start_run(
          *engine, w.window.problem_tab().training_cells(),
          w.window.problem_tab().validation_cells(), w.window.settings_texts());
      quarvel::runs::GenerationResults results;
      if (outcome.error == quarvel::runs::StartError::none) {
        quarvel::runs::run_generations(*engine, results);
      }
      return quarvel::forecasting::forecasts_past_data(*engine, 12);
    }();
    QCOMPARE(reference.size(), std::size_t{2});
    for (int p = 0; p < 2; ++p) {
      const auto points = w.prediction_chart()->points(ResultsView::first_ahead_series + p);
      QCOMPARE(points.size(), 12);
      for (int k = 0; k < 12; ++k) {
        QCOMPARE(points[k].x(), 408.0 + k);
        QCOMPARE(points[k].y(),
                 reference[static_cast<std::size_t>(p)][static_cast<std::size_t>(k)]);
      }
      QCOMPARE(w.prediction_chart()->series(ResultsView::first_ahead_series + p)->pen().style(),
               Qt::DashLine);
      const quarvel::ui::GridModel* grid = w.output_model(p);
      QCOMPARE(grid->rowCount(), 408 + 12);
      QCOMPARE(grid->first_ahead_row(), 408);
      QCOMPARE(grid->cell(0, 408), QStringLiteral("408"));
      QCOMPARE(grid->cell(1, 419), QString::fromStdString(quarvel::data::format_general(
                                       reference[static_cast<std::size_t>(p)][11])));
      QCOMPARE(grid->data(grid->index(410, 1), Qt::ToolTipRole).toString(),
               QStringLiteral("Forecast past the data"));
      QVERIFY(grid->data(grid->index(410, 1), Qt::BackgroundRole) !=
              grid->data(grid->index(300, 1), Qt::BackgroundRole));
    }
    // The next run without a forecast shows none.
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("0"));
    w.start_and_wait();
    QVERIFY(w.prediction_chart()->points(ResultsView::first_ahead_series).isEmpty());
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

  // The prediction chart switches its vertical axis to the series' own units
  // and back; the output grids say which units they show.
  void the_prediction_chart_in_original_units() {
    auto& w = *window_;
    run_sunspots(5);
    const auto scaled = w.prediction_chart()->points(ResultsView::real_data_series);
    const auto forecast = w.prediction_chart()->points(ResultsView::first_ahead_series);
    const auto fitted = w.prediction_chart()->points(ResultsView::first_population_series);
    w.action("original_units_action")->trigger();
    const auto original = w.prediction_chart()->points(ResultsView::real_data_series);
    QCOMPARE(original.size(), scaled.size());
    QCOMPARE(original[0].y(), 5.0);  // 5 sunspots, not 5 / 190.2
    QCOMPARE(original[3].y(), 23.0);
    const double range = w.engine.data.scale_high - w.engine.data.scale_low;
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_ahead_series)[4].y(),
             w.engine.data.scale_low + forecast[4].y() * range);
    QCOMPARE(w.prediction_chart()->chart()->axes(Qt::Vertical).constFirst()->titleText(),
             QStringLiteral("Value"));
    // The output grids stay scaled, as their heading says.
    QCOMPARE(w.output_model(0)->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Scaled value"));
    QCOMPARE(fitted[0].x(), 0.0);
    QCOMPARE(w.output_model(0)->cell(1, 0),
             QString::fromStdString(quarvel::data::format_general(fitted[0].y())));
    w.action("original_units_action")->trigger();
    QCOMPARE(w.prediction_chart()->points(ResultsView::real_data_series), scaled);
    QCOMPARE(w.prediction_chart()->chart()->axes(Qt::Vertical).constFirst()->titleText(),
             QStringLiteral("Normalized Value"));
  }

  // A run through transforms shows the series as loaded: its predictions,
  // forecasts and bands are the runner's files for the same data and
  // settings, the status names the transforms, and the models exported take
  // a series through them.
  void a_transformed_run_is_the_runners() {
    auto& w = *window_;
    w.load_files(example("airpassengers-training.txt"), example("airpassengers-validation.txt"));
    const QStringList options{QStringLiteral("--generations"),
                              QStringLiteral("3"),
                              QStringLiteral("--population-size"),
                              QStringLiteral("120"),
                              QStringLiteral("--forecast"),
                              QStringLiteral("12"),
                              QStringLiteral("--season"),
                              QStringLiteral("12"),
                              QStringLiteral("--boxcox"),
                              QStringLiteral("log"),
                              QStringLiteral("--seasonal-difference"),
                              QStringLiteral("on")};
    for (qsizetype i = 0; i < options.size(); i += 2) {
      const auto* info = quarvel::runs::find_option(options[i].toStdString());
      QVERIFY(info != nullptr);
      const bool per_population = info->scope == quarvel::runs::Scope::population;
      w.field(info->id, per_population ? 0 : -1)->setText(options[i + 1]);
    }
    w.start_and_wait();
    QVERIFY2(w.window.run_status().contains(
                 QStringLiteral("transforms: log, seasonal difference at 12")),
             qPrintable(w.window.run_status()));

    QProcess runner;
    runner.start(
        QStringLiteral(QUARVEL_CLI),
        QStringList{QStringLiteral("--training"), example("airpassengers-training.txt"),
                    QStringLiteral("--validation"), example("airpassengers-validation.txt"),
                    QStringLiteral("--quiet"), QStringLiteral("--export-model"),
                    QStringLiteral("--intervals"), QStringLiteral("--output"),
                    folder_.filePath(QStringLiteral("transformed-cli"))} +
            options);
    QVERIFY(runner.waitForFinished(60000) && runner.exitCode() == 0);
    const auto& run = w.window.last_run();
    QVERIFY(run.transformed != nullptr);
    const auto file_of = [](const std::vector<double>& values, std::int64_t first) {
      const auto cells = quarvel::records::output_cells(values, first);
      return QByteArray::fromStdString(
          quarvel::records::output_file_text(cells.index, cells.value));
    };
    const auto& prediction = run.last.results.populations[0].prediction;
    QCOMPARE(file_of(prediction, 0),
             read_all(folder_.filePath(QStringLiteral("transformed-cli/prediction-1.txt"))));
    QCOMPARE(file_of(run.forecasts[0], static_cast<std::int64_t>(prediction.size())),
             read_all(folder_.filePath(QStringLiteral("transformed-cli/forecast-1.txt"))));
    // The chart draws the series as loaded, not the differences of its logs.
    QCOMPARE(w.prediction_chart()->points(ResultsView::real_data_series).size(),
             static_cast<int>(prediction.size()));
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_population_series).last().y(),
             prediction.back());
    QVERIFY(run.quality[0].benchmarks.scores[1].accuracy.scaled_mse.value);  // a seasonal naive

    // With the bands shown, as the runner's --intervals export.
    QVERIFY(w.action("bands_action")->isChecked());
    const QString exported = folder_.filePath(QStringLiteral("transformed-window"));
    QVERIFY(QDir().mkpath(exported));
    w.dialogs.file_answers.push_back(exported);
    w.action("export_models_action")->trigger();
    for (const char* name : {"model-1.py", "model-1.txt", "model-1.h"}) {
      QCOMPARE(
          read_all(exported + QLatin1Char('/') + QLatin1String(name)),
          read_all(folder_.filePath(QStringLiteral("transformed-cli/")) + QLatin1String(name)));
    }
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
    w.start_and_wait();  // shown so generation by generation
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

    // The same files as the runner exports for the same settings: with the
    // bands shown, its --intervals export with forecast_intervals; without,
    // the plain one.
    QVERIFY(run_cli({QStringLiteral("--export-model"), QStringLiteral("--intervals"),
                     QStringLiteral("--output"), folder_.filePath(QStringLiteral("cli-bands"))}));
    QVERIFY(read_all(folder_.filePath("model-2.py")).contains("def forecast_intervals("));
    QCOMPARE(read_all(folder_.filePath("model-2.py")),
             read_all(folder_.filePath("cli-bands/model-2.py")));
    w.action("bands_action")->trigger();
    QVERIFY(!w.action("bands_action")->isChecked());
    dialogs.file_answers.push_back(folder_.filePath(QStringLiteral("plain")));
    QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("plain")));
    w.action("export_models_action")->trigger();
    QVERIFY(run_cli({QStringLiteral("--export-model"), QStringLiteral("--output"),
                     folder_.filePath(QStringLiteral("cli"))}));
    QVERIFY(!read_all(folder_.filePath("plain/model-2.py")).contains("forecast_intervals"));
    QCOMPARE(read_all(folder_.filePath("plain/model-2.py")),
             read_all(folder_.filePath("cli/model-2.py")));
    w.action("bands_action")->trigger();

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

  // After a run, each population's forecast figures are the runner's: the
  // forecast over the validation part and past the data with its 80 and 95 %
  // bands equal intervals-K.txt of quarvel-cli --intervals for the same data
  // and settings; the chart shades the bands, the accuracy table holds the
  // figures, and the "Prediction bands" tick hides and shows them.
  void forecast_figures_and_bands_as_the_runner_gives_them() {
    auto& w = *window_;
    run_sunspots(12);
    QVERIFY(
        run_cli({QStringLiteral("--forecast"), QStringLiteral("12"), QStringLiteral("--intervals"),
                 QStringLiteral("--output"), folder_.filePath(QStringLiteral("bands"))}));
    const auto& quality = w.window.last_run().quality;
    QCOMPARE(quality.size(), std::size_t{2});
    const std::vector<double> levels{80.0, 95.0};
    const quarvel::ui::AccuracyTable* table = w.window.results_view().accuracy_table();
    // A row a population, then a row a benchmark forecasting the same points.
    const auto& scores = quality[0].benchmarks.scores;
    QCOMPARE(scores.size(), std::size_t{4});
    QCOMPARE(table->rowCount(), 2 + 4);
    const QStringList benchmark_rows{QStringLiteral("Naive"), QStringLiteral("S. naive"),
                                     QStringLiteral("Drift"), QStringLiteral("Linear AR")};
    for (int b = 0; b < 4; ++b) {
      QCOMPARE(table->verticalHeaderItem(2 + b)->text(), benchmark_rows[b]);
      const auto& mse = scores[static_cast<std::size_t>(b)].accuracy.scaled_mse;
      QCOMPARE(table->cell_text(2 + b, 1),
               mse.value ? QString::number(*mse.value, 'g', 4) : QStringLiteral("\u2014"));
    }
    QVERIFY(!scores[1].accuracy.scaled_mse.value);  // no season: no seasonal naive
    QVERIFY(scores[0].accuracy.scaled_mse.value);
    for (int p = 0; p < 2; ++p) {
      const auto& relative = quality[static_cast<std::size_t>(p)].benchmarks.relative_mse;
      QVERIFY(relative.value);
      QCOMPARE(table->cell_tip(p, 1), QString::fromStdString(quarvel::forecasting::relative_words(
                                          quality[static_cast<std::size_t>(p)].benchmarks)));
      QVERIFY(table->cell_tip(p, 1).startsWith(QStringLiteral("MSE ")));
    }
    for (int p = 0; p < 2; ++p) {
      const auto& figures = quality[static_cast<std::size_t>(p)];
      QCOMPARE(figures.first_index, 340);
      QCOMPARE(QByteArray::fromStdString(quarvel::forecasting::band_table_text(
                   quarvel::forecasting::band_table(figures, levels))),
               read_all(folder_.filePath(QStringLiteral("bands/intervals-%1.txt").arg(p + 1))));

      // The 80 % band from the first validation step to the last forecast step.
      const int band = ResultsView::first_band_series + 2 * p;
      const auto upper = w.prediction_chart()->points(band);
      const auto lower = w.prediction_chart()->lower_points(band);
      QCOMPARE(upper.size(), 68 + 12);
      QCOMPARE(lower.size(), upper.size());
      QCOMPARE(lower.first(), QPointF(340, figures.validation_bands.bands[0].lower[0]));
      QCOMPARE(upper.last(), QPointF(419, figures.past_data_bands.bands[0].upper[11]));
      QCOMPARE(w.prediction_chart()->points(band + 1).last().y(),
               figures.past_data_bands.bands[1].upper[11]);

      const auto& accuracy = figures.accuracy;
      QCOMPARE(table->cell_text(p, 0), QStringLiteral("68"));
      QCOMPARE(table->cell_text(p, 1), QString::number(*accuracy.scaled_mse.value, 'g', 4));
      QCOMPARE(table->cell_text(p, 2), QString::number(*accuracy.mae.value, 'g', 4));
      QCOMPARE(table->cell_text(p, 5), QString::number(*accuracy.mase.value, 'g', 4));
      // The scaled MSE is the engine's own validation MSE of the best tree.
      QCOMPARE(
          *accuracy.scaled_mse.value,
          w.window.last_run().last.results.populations[static_cast<std::size_t>(p)].validation_mse);
      QCOMPARE(table->cell_text(p, 4),
               QString::number(*accuracy.mape.value, 'g', 4) + QStringLiteral(" %"));
      const auto& cover = figures.coverage[0];
      QCOMPARE(table->cell_text(p, 6),
               QString::number(*cover.share.value * 100.0, 'f', 1) + QStringLiteral(" %"));
      QVERIFY(!table->isColumnHidden(6));
    }
    // Hidden: no band drawn, no coverage column; shown again as before.
    const auto shown = w.prediction_chart()->points(ResultsView::first_band_series);
    w.action("bands_action")->trigger();
    QVERIFY(w.prediction_chart()->points(ResultsView::first_band_series).isEmpty());
    QVERIFY(table->isColumnHidden(6) && table->isColumnHidden(7));
    w.action("bands_action")->trigger();
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_band_series), shown);
    // In the series' units, as the chart's curves.
    w.action("original_units_action")->trigger();
    const double low = w.engine.data.scale_low;
    const double range = w.engine.data.scale_high - low;
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_band_series).first().y(),
             low + quality[0].validation_bands.bands[0].upper[0] * range);
    w.action("original_units_action")->trigger();
    // The next run starts without the last one's figures.
    w.after_each_generation([&](int) {
      QCOMPARE(table->rowCount(), 0);
      QVERIFY(w.prediction_chart()->points(ResultsView::first_band_series).isEmpty());
    });
    w.start_and_wait();
    QCOMPARE(table->rowCount(), 2 + 4);
  }

  // A figure that cannot be given shows a dash with the reason as its tip: a
  // MAPE over a held-out 0, bands of a model with too few residuals.
  void the_accuracy_table_gives_the_reason_for_a_missing_figure() {
    quarvel::forecasting::ForecastQuality quality;
    quality.accuracy.points = 4;
    quality.accuracy.mae.value = 2.5;
    quality.accuracy.mape.reason = "a held-out value is 0";
    quality.with_intervals = true;
    quality.interval_reason = "fewer than 2 one-step residuals";
    quality.validation_divergence = 3;
    quarvel::ui::AccuracyTable table;
    table.show_quality({quality, quality}, true);
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.cell_text(1, 2), QStringLiteral("2.5"));
    QCOMPARE(table.cell_text(1, 4), QStringLiteral("\u2014"));
    QCOMPARE(table.cell_tip(1, 4), QStringLiteral("a held-out value is 0"));
    QCOMPARE(table.cell_text(0, 7), QStringLiteral("\u2014"));
    QCOMPARE(table.cell_tip(0, 7), QStringLiteral("fewer than 2 one-step residuals"));
    QCOMPARE(table.cell_text(0, 8), QStringLiteral("at step 3"));
    table.clear_figures();
    QCOMPARE(table.rowCount(), 0);
  }

  // Band edges that ran away are drawn to the edge of the range a forecast
  // diverges beyond, so that the data stay readable; the edges in range as they are.
  void runaway_bands_are_drawn_to_the_divergence_range() {
    auto& w = *window_;
    run_sunspots(0);
    quarvel::forecasting::ForecastQuality quality;
    quality.first_index = 340;
    quality.with_intervals = true;
    quality.validation_bands.bands = {{80.0, {-5.0, 0.2}, {0.5, 7.0}}};
    w.window.results_view().show_forecast_quality({quality});
    QCOMPARE(w.prediction_chart()->lower_points(ResultsView::first_band_series),
             (QList<QPointF>{QPointF(340, -1.0), QPointF(341, 0.2)}));
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_band_series),
             (QList<QPointF>{QPointF(340, 0.5), QPointF(341, 2.0)}));
    QVERIFY(w.prediction_chart()
                ->points(ResultsView::first_band_series + 1)
                .isEmpty());  // no 95 % band given
    // A forecast drawn further up takes the band's edge with it.
    w.window.results_view().show_forecasts({{0.5, 9.0}});
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_band_series).last(),
             QPointF(341, 7.0));
  }

  // A forecast that runs away from the data is named in the status bar and in
  // the chart's legend, and kept: a steady climb forecast far past its end
  // leaves the data's range widened by its span.
  void a_diverged_forecast_is_named() {
    auto& w = *window_;
    QByteArray training;
    QByteArray validation;
    for (int k = 0; k < 90; ++k) training += QByteArray::number(k) + '\n';
    for (int k = 90; k < 120; ++k) validation += QByteArray::number(k) + '\n';
    w.load_texts(folder_, training, validation);
    w.field(Setting::generations)->setText(QStringLiteral("2"));
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("400"));
    w.start_and_wait();
    const auto& quality = w.window.last_run().quality;
    QCOMPARE(quality.size(), std::size_t{1});
    QVERIFY(!quality[0].validation_divergence);
    QVERIFY(quality[0].past_data_divergence.has_value());
    const QString words =
        QStringLiteral("diverged at step %1 ahead").arg(*quality[0].past_data_divergence);
    QVERIFY2(w.window.run_status().endsWith(QStringLiteral("; forecast No1 ") + words),
             qPrintable(w.window.run_status()));
    const auto markers = w.prediction_chart()->chart()->legend()->markers(
        w.prediction_chart()->series(ResultsView::first_population_series));
    QCOMPARE(markers.constFirst()->label(), QStringLiteral("No1 \u2014 ") + words);
    QCOMPARE(w.prediction_chart()->points(ResultsView::first_ahead_series).size(),
             400);  // nothing dropped
    QVERIFY(w.window.results_view().accuracy_table()->cell_text(0, 8).startsWith("at step"));
    // A run whose forecasts stay near the data names none.
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("5"));
    w.start_and_wait();
    QVERIFY2(!w.window.run_status().contains(QStringLiteral("diverged")),
             qPrintable(w.window.run_status()));
    QCOMPARE(w.prediction_chart()
                 ->chart()
                 ->legend()
                 ->markers(w.prediction_chart()->series(ResultsView::first_population_series))
                 .constFirst()
                 ->label(),
             QStringLiteral("No1"));
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

  // The prediction chart after a run with bands: each band of the run's
  // populations and each vertical line has its entry in the legend, the
  // line where the data end marks the first step past them, and the bands
  // lie under the curves (drawn first).
  void the_prediction_chart_names_its_bands_and_lines() {
    auto& w = *window_;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    run_sunspots(12);
    QChart* chart = w.prediction_chart()->chart();
    const auto entry = [chart](int series) {
      const auto markers = chart->legend()->markers(chart->series().at(series));
      return markers.constFirst()->isVisible() ? markers.constFirst()->label() : QString();
    };
    QCOMPARE(entry(ResultsView::first_band_series), QStringLiteral("No1 80 %"));
    QCOMPARE(entry(ResultsView::first_band_series + 1), QStringLiteral("No1 95 %"));
    QCOMPARE(entry(ResultsView::first_band_series + 3), QStringLiteral("No2 95 %"));
    QCOMPARE(entry(ResultsView::first_band_series + 4), QString());  // no population 3
    QCOMPARE(entry(ResultsView::training_marker_series), QStringLiteral("Training end"));
    QCOMPARE(entry(ResultsView::forecast_marker_series), QStringLiteral("Validation start"));
    QCOMPARE(entry(ResultsView::data_end_marker_series), QStringLiteral("Data end"));
    QCOMPARE(w.prediction_chart()->points(ResultsView::data_end_marker_series).constFirst().x(),
             408.0);
    for (int band = 0; band < ResultsView::band_count; ++band) {
      QVERIFY(qobject_cast<QAreaSeries*>(chart->series().at(band)) != nullptr);
    }
    QVERIFY(ResultsView::band_count <= ResultsView::real_data_series);
    // Hidden bands leave the legend too.
    w.action("bands_action")->trigger();
    QCOMPARE(entry(ResultsView::first_band_series), QString());
    w.action("bands_action")->trigger();
    QCOMPARE(entry(ResultsView::first_band_series), QStringLiteral("No1 80 %"));
    // A run without steps past the data has no such line.
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("0"));
    w.start_and_wait();
    QCOMPARE(entry(ResultsView::data_end_marker_series), QString());
    QVERIFY(w.prediction_chart()->points(ResultsView::data_end_marker_series).isEmpty());
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

  // Models exported after a run of an imported table record what reproduces
  // the run: the runner given the settings line of model-1.txt (which holds
  // the table's column, time column, split and reading options) grows the same
  // model. The status bar says where the files went and how many.
  void models_of_an_imported_run_record_how_the_table_was_read() {
    auto& w = *window_;
    w.field(Setting::terminals, 0)->setText(QStringLiteral("12"));
    w.dialogs.file_answers.emplace_back(example("airpassengers.csv"));
    w.action("import_table_action")->trigger();
    auto* dialog = w.window.findChild<quarvel::ui::ImportTableDialog*>();
    QVERIFY(dialog != nullptr);
    quarvel::ui::testing::child<QLineEdit>(dialog, QStringLiteral("split_edit"))
        ->setText(QStringLiteral("1958-12"));
    dialog->accept();
    w.field(Setting::generations)->setText(QStringLiteral("3"));
    w.field(Setting::population_size, 0)->setText(QStringLiteral("120"));
    w.start_and_wait();
    w.action("bands_action")->trigger();  // the plain export, as without --intervals
    const QString exported = folder_.filePath(QStringLiteral("imported"));
    QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("imported")));
    w.dialogs.file_answers.emplace_back(exported);
    w.action("export_models_action")->trigger();
    QCOMPARE(w.dialogs.messages, QStringList());
    QCOMPARE(w.window.statusBar()->currentMessage(),
             QStringLiteral("Exported the model of run 1 to \"%1\": 3 files.")
                 .arg(QDir::toNativeSeparators(exported)));

    const QString model = QString::fromUtf8(read_all(exported + QStringLiteral("/model-1.txt")));
    const qsizetype settings_at = model.indexOf(QStringLiteral("Settings:"));
    const qsizetype settings_end = model.indexOf(QStringLiteral("Training MSE:"));
    QVERIFY(settings_at >= 0 && settings_end > settings_at);
    const QString settings =
        model.mid(settings_at + 9, settings_end - settings_at - 9).simplified();
    const QString table = QFileInfo(example("airpassengers.csv")).canonicalFilePath();
    QVERIFY2(settings.endsWith(QStringLiteral("--data %1 --column passengers --time-column month "
                                              "--split 1958-12 --delimiter comma --header yes "
                                              "--decimal-comma no --missing refuse")
                                   .arg(table)),
             qPrintable(settings));
    QProcess runner;
    runner.start(QStringLiteral(QUARVEL_CLI),
                 settings.split(QLatin1Char(' ')) +
                     QStringList{QStringLiteral("--export-model"), QStringLiteral("--quiet"),
                                 QStringLiteral("--output"), folder_.filePath("cli")});
    QVERIFY(runner.waitForFinished(60000));
    QCOMPARE(runner.exitCode(), 0);
    const QString cli = QString::fromUtf8(read_all(folder_.filePath("cli/model-1.txt")));
    QVERIFY(cli.contains(QStringLiteral("Training MSE:")));
    // The runner's settings line names no table options yet; the model is the same.
    QCOMPARE(model.mid(settings_end), cli.mid(cli.indexOf(QStringLiteral("Training MSE:"))));
  }

 private:
  static void write_file_text(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
};

QTEST_MAIN(ModelOutTest)
#include "test_model_out.moc"
