// File > "Open runs...": the runs table and the ensemble's fan chart of a
// folder that quarvel-cli --runs wrote, read as the runner reads it.
#include <QAreaSeries>
#include <QClipboard>
#include <QGuiApplication>
#include <QLegend>
#include <QLegendMarker>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "data/datafile.h"
#include "forecasting/forecastfiles.h"
#include "support/TestWindow.h"
#include "support/examples.h"
#include "ui/RunsTable.h"
#include "ui/RunsWindow.h"
#include "ui/TimeAxis.h"

using quarvel::ui::RunsWindow;
using quarvel::ui::testing::read_all;
using quarvel::ui::testing::TestWindow;

namespace {

QString example(const char* name) {
  return QString::fromStdString(quarvel::testing::example(name));
}

// The sunspot values, training then validation, as the runs indexed them.
std::vector<double> sunspots() {
  std::vector<double> values;
  for (const char* name : {"sunspots-training.txt", "sunspots-validation.txt"}) {
    const auto file = quarvel::data::read_data_file(QFile::encodeName(example(name)).toStdString());
    values.insert(values.end(), file.values.begin(), file.values.end());
  }
  return values;
}

quarvel::forecasting::BandTable band_table(const QString& path) {
  quarvel::forecasting::BandTable table;
  const QByteArray text = read_all(path);
  const auto wrong = quarvel::forecasting::parse_band_table(
      std::string_view(text.constData(), static_cast<std::size_t>(text.size())), table);
  if (wrong) qFatal("%s: %s", qPrintable(path), wrong->c_str());
  return table;
}

int column_of(const QTableWidget* table, const QString& heading) {
  for (int c = 0; c < table->columnCount(); ++c) {
    if (table->horizontalHeaderItem(c)->text() == heading) return c;
  }
  return -1;
}

}  // namespace

class RunsWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir folder_;
  std::unique_ptr<TestWindow> window_;

  // quarvel-cli --runs into `name` on the sunspot files, or on the data
  // `data` names; true when it succeeds.
  bool run_cli(const QString& name, const QStringList& extra, QStringList data = {}) {
    if (data.isEmpty()) {
      data = {QStringLiteral("--training"), example("sunspots-training.txt"),
              QStringLiteral("--validation"), example("sunspots-validation.txt")};
    }
    QProcess runner;
    runner.start(
        QStringLiteral(QUARVEL_CLI),
        data +
            QStringList{QStringLiteral("--generations"), QStringLiteral("3"),
                        QStringLiteral("--population-size"), QStringLiteral("150"),
                        QStringLiteral("--rank-by"), QStringLiteral("mse"),
                        QStringLiteral("--runs"), QStringLiteral("4"), QStringLiteral("--forecast"),
                        QStringLiteral("10"), QStringLiteral("--quiet"), QStringLiteral("--output"),
                        folder_.filePath(name)} +
            extra);
    return runner.waitForFinished(120000) && runner.exitStatus() == QProcess::NormalExit &&
           runner.exitCode() == 0;
  }

  RunsWindow& open(const QString& folder) {
    window_->dialogs.file_answers.emplace_back(folder);
    window_->action("open_runs_action")->trigger();
    return window_->window.runs_window();
  }

 private slots:
  void initTestCase() {
    quarvel::ui::testing::prepare_application(settings_folder_);
    QVERIFY(run_cli(QStringLiteral("runs"), {QStringLiteral("--intervals")}));
  }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  // The table holds every column of runs.csv, a row a run, and sorts by any
  // column either way.
  void the_runs_table_holds_every_run() {
    RunsWindow& runs = open(folder_.filePath(QStringLiteral("runs")));
    QCOMPARE(window_->dialogs.messages, QStringList());
    QVERIFY(runs.isVisible());
    QTableWidget* table = runs.runs_table();
    QCOMPARE(table->rowCount(), 4);
    const QList<QByteArray> lines = read_all(folder_.filePath("runs/runs.csv")).split('\n');
    QCOMPARE(table->columnCount(), static_cast<int>(lines[0].count(',')) + 1);
    QVERIFY(runs.notes().startsWith(QStringLiteral("4 runs in")));
    // At the window's first size the table shows these runs whole, not a
    // strip of rows above a large chart.
    QVERIFY(QTest::qWaitForWindowExposed(&runs));
    QVERIFY(table->viewport()->rect().contains(table->visualItemRect(table->item(3, 0))));

    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
      const int stream = column_of(table, QStringLiteral("Stream"));
      table->sortByColumn(stream, order);
      QStringList streams;
      for (int r = 0; r < 4; ++r) streams << table->item(r, stream)->text();
      QCOMPARE(streams, order == Qt::AscendingOrder ? (QStringList{"0", "1", "2", "3"})
                                                    : (QStringList{"3", "2", "1", "0"}));
    }
  }

  // Headings in words, the forecaster's columns first, figures rounded to
  // four digits with the file's text in the tooltip, and Ctrl+C copying the
  // selected runs in full.
  void the_runs_table_reads_as_a_forecaster_reads_it() {
    RunsWindow& runs = open(folder_.filePath(QStringLiteral("runs")));
    quarvel::ui::RunsTable* table = runs.runs_table();
    QStringList headings;
    for (int c = 0; c < table->columnCount(); ++c)
      headings << table->horizontalHeaderItem(c)->text();
    QCOMPARE(headings.mid(0, 7), (QStringList{"Stream", "MAE", "MASE", "Coverage 80 %",
                                              "Coverage 95 %", "RMSE", "MAPE %"}));
    for (const char* heading : {"Validation MSE", "MSE / best benchmark", "Linear AR MSE"})
      QVERIFY2(headings.contains(QLatin1String(heading)), heading);
    QCOMPARE(headings.constLast(), QStringLiteral("Status"));

    table->sortByColumn(column_of(table, QStringLiteral("Stream")), Qt::AscendingOrder);
    const QList<QByteArray> lines = read_all(folder_.filePath("runs/runs.csv")).split('\n');
    const QList<QByteArray> keys = lines[0].split(',');
    const QList<QByteArray> first = lines[1].split(',');
    const QString mae = QString::fromLatin1(first[keys.indexOf("mae")]);
    const QTableWidgetItem* mae_cell = table->item(0, column_of(table, QStringLiteral("MAE")));
    QCOMPARE(mae_cell->text(), QString::number(mae.toDouble(), 'g', 4));
    QCOMPARE(mae_cell->toolTip(), mae);
    const QString coverage = QString::fromLatin1(first[keys.indexOf("coverage_80")]);
    QCOMPARE(table->item(0, column_of(table, QStringLiteral("Coverage 80 %")))->text(),
             QString::number(coverage.toDouble() * 100.0, 'f', 1) + QStringLiteral(" %"));

    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
    QCOMPARE(copied.size(), 3);  // the headings, the run, the last line end
    QCOMPARE(copied[0], headings.join(QLatin1Char('\t')));
    const QStringList fields = copied[1].split(QLatin1Char('\t'));
    QCOMPARE(fields[column_of(table, QStringLiteral("MAE"))], mae);
    QCOMPARE(fields[column_of(table, QStringLiteral("Coverage 80 %"))], coverage);
  }

  // A run folder gone from the folder (run-0002 removed): the notes name the
  // missing stream as the merge does, and its row stands apart.
  void a_missing_run_folder_is_named() {
    const QString source = folder_.filePath(QStringLiteral("runs"));
    const QString copy = folder_.filePath(QStringLiteral("one-gone"));
    for (const char* name : {"runs.csv", "summary.txt", "ensemble-forecast.txt"}) {
      QVERIFY(QDir().mkpath(copy));
      QVERIFY(QFile::copy(source + QLatin1Char('/') + QLatin1String(name),
                          copy + QLatin1Char('/') + QLatin1String(name)));
    }
    for (const char* run : {"run-0000", "run-0001", "run-0003"}) {
      QVERIFY(QDir().mkpath(copy + QLatin1Char('/') + QLatin1String(run)));
      QVERIFY(QFile::copy(source + QLatin1Char('/') + QLatin1String(run) + "/run.txt",
                          copy + QLatin1Char('/') + QLatin1String(run) + "/run.txt"));
    }
    RunsWindow& runs = open(copy);
    QVERIFY2(runs.notes().contains(QStringLiteral(
                 "1 run missing: stream 2 (its run.txt was not found in the folder).")),
             qPrintable(runs.notes()));
    QTableWidget* table = runs.runs_table();
    const int stream = column_of(table, QStringLiteral("Stream"));
    table->sortByColumn(stream, Qt::AscendingOrder);
    QCOMPARE(table->item(2, column_of(table, QStringLiteral("Status")))->text(),
             QStringLiteral("missing"));
    QVERIFY(table->item(2, stream)->background() != table->item(1, stream)->background());
    QCOMPARE(table->item(1, column_of(table, QStringLiteral("Status")))->text(),
             QStringLiteral("ok"));
  }

  // A numeric column read from the file sorts by value.
  void a_column_of_figures_sorts_by_value() {
    const QString folder = folder_.filePath(QStringLiteral("runs"));
    // The seconds column rewritten to values whose texts sort otherwise.
    const QString path = folder + QStringLiteral("/runs.csv");
    QByteArray text = read_all(path);
    QList<QByteArray> lines = text.split('\n');
    const QList<QByteArray> heading = lines[0].split(',');
    const auto seconds = static_cast<int>(heading.indexOf("seconds"));
    QVERIFY(seconds >= 0);
    const QList<QByteArray> values{"100", "9", "0.5", "10"};
    for (int r = 1; r <= 4; ++r) {
      QList<QByteArray> fields = lines[r].split(',');
      fields[seconds] = values[r - 1];
      lines[r] = fields.join(',');
    }
    const QString copy = folder_.filePath(QStringLiteral("sorted"));
    QVERIFY(QDir().mkpath(copy));
    QFile::remove(copy + QStringLiteral("/runs.csv"));
    QFile out(copy + QStringLiteral("/runs.csv"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(lines.join('\n'));
    out.close();
    QTableWidget* table = open(copy).runs_table();
    QCOMPARE(window_->dialogs.messages, QStringList());
    const int shown_seconds = column_of(table, QStringLiteral("Seconds"));
    table->sortByColumn(shown_seconds, Qt::AscendingOrder);
    QStringList sorted;
    for (int r = 0; r < 4; ++r) sorted << table->item(r, shown_seconds)->text();
    QCOMPARE(sorted, (QStringList{"0.5", "9", "10", "100"}));
    // No ensemble file there: the table alone, and the reader told why.
    QVERIFY(open(copy).notes().contains(QStringLiteral("No ensemble forecast")));
  }

  // The fan chart: the data, the median and the pooled bands of
  // ensemble-forecast.txt in the series' units, from the first forecast point on.
  void the_fan_chart_over_the_data() {
    RunsWindow& runs = open(folder_.filePath(QStringLiteral("runs")));
    const quarvel::ui::ChartView* chart = runs.fan_chart();
    const std::vector<double> data = sunspots();
    const auto drawn = chart->points(RunsWindow::data);
    QCOMPARE(drawn.size(), static_cast<qsizetype>(data.size()));
    QCOMPARE(drawn[0], QPointF(0, 5));
    QCOMPARE(drawn.last().y(), data.back());

    auto table = band_table(folder_.filePath(QStringLiteral("runs/ensemble-forecast.txt")));
    const auto [low, high] = std::minmax_element(data.begin(), data.end());
    quarvel::forecasting::to_original_units(table, *low, *high);
    QCOMPARE(table.first_index, 340);
    const auto median = chart->points(RunsWindow::median);
    QCOMPARE(median.size(), 68 + 10);
    QCOMPARE(median[0], QPointF(340, table.point[0]));
    QCOMPARE(median.last(), QPointF(417, table.point[77]));
    const auto upper_80 = chart->points(RunsWindow::band_80);
    const auto lower_95 = chart->lower_points(RunsWindow::band_95);
    QCOMPARE(upper_80.size(), 78);
    QCOMPARE(upper_80[5], QPointF(345, table.bands[0].upper[5]));
    QCOMPARE(lower_95[5], QPointF(345, table.bands[1].lower[5]));
    QCOMPARE(chart->points(RunsWindow::forecast_start)[0].x(), 340.0);
    // The legend names the bands and says what the vertical line marks.
    QLegend* legend = chart->chart()->legend();
    for (const int series :
         {RunsWindow::band_95, RunsWindow::band_80, RunsWindow::forecast_start}) {
      QVERIFY(legend->markers(chart->chart()->series().at(series)).constFirst()->isVisible());
    }
    QCOMPARE(legend->markers(chart->chart()->series().at(RunsWindow::forecast_start))
                 .constFirst()
                 ->label(),
             QStringLiteral("Forecast start"));
  }

  // Runs written with --units original give a table in the series' units:
  // drawn as it is.
  void a_table_in_the_series_units_is_drawn_as_it_is() {
    QVERIFY(run_cli(
        QStringLiteral("original"),
        {QStringLiteral("--intervals"), QStringLiteral("--units"), QStringLiteral("original")}));
    RunsWindow& runs = open(folder_.filePath(QStringLiteral("original")));
    const auto table =
        band_table(folder_.filePath(QStringLiteral("original/ensemble-forecast.txt")));
    const auto median = runs.fan_chart()->points(RunsWindow::median);
    QCOMPARE(median[3], QPointF(343, table.point[3]));
    QCOMPARE(runs.fan_chart()->points(RunsWindow::band_95)[3].y(), table.bands[1].upper[3]);
  }

  // Runs of a table (--data) draw its column: the training part, then the
  // validation part with the overlap repeated, as the runs indexed them; with
  // a time column, at its stamps.
  void runs_of_a_table_draw_its_column() {
    const QStringList table_data{QStringLiteral("--data"),      example("airpassengers.csv"),
                                 QStringLiteral("--column"),    QStringLiteral("passengers"),
                                 QStringLiteral("--split"),     QStringLiteral("120"),
                                 QStringLiteral("--terminals"), QStringLiteral("12")};
    QVERIFY(run_cli(QStringLiteral("table"), {QStringLiteral("--intervals")}, table_data));
    RunsWindow& runs = open(folder_.filePath(QStringLiteral("table")));
    QVERIFY2(!runs.notes().contains(QStringLiteral("not drawn")), qPrintable(runs.notes()));
    const auto drawn = runs.fan_chart()->points(RunsWindow::data);
    const auto table = band_table(folder_.filePath(QStringLiteral("table/ensemble-forecast.txt")));
    // 120 training months, then the validation part: its overlap, then 24 months.
    QCOMPARE(drawn.size(), static_cast<qsizetype>(table.first_index) + 24);
    QCOMPARE(drawn[0].y(), 112.0);
    QCOMPARE(drawn[119].y(), 337.0);    // December 1958
    QCOMPARE(drawn.last().y(), 432.0);  // December 1960
    QCOMPARE(runs.fan_chart()->points(RunsWindow::median).constFirst().x(),
             static_cast<double>(table.first_index));
    QCOMPARE(quarvel::ui::time_scale_of(runs.fan_chart()), nullptr);

    QVERIFY(run_cli(
        QStringLiteral("months"), {QStringLiteral("--intervals")},
        table_data + QStringList{QStringLiteral("--time-column"), QStringLiteral("month")}));
    open(folder_.filePath(QStringLiteral("months")));
    const quarvel::ui::ChartView* chart = runs.fan_chart();
    QVERIFY(quarvel::ui::time_scale_of(chart) != nullptr);
    const auto months = chart->points(RunsWindow::data);
    QCOMPARE(months.size(), 144);  // each month once
    QCOMPARE(months[0], QPointF(1949.0, 112.0));
    QCOMPARE(months.last(), QPointF(1960.0 + 11.0 / 12.0, 432.0));
    // The forecast from January 1959, its 10 steps past the data to October 1961.
    QCOMPARE(chart->points(RunsWindow::median).constFirst().x(), 1959.0);
    QCOMPARE(chart->points(RunsWindow::median).constLast().x(), 1961.0 + 9.0 / 12.0);
    QCOMPARE(chart->lower_points(RunsWindow::band_80).constFirst().x(), 1959.0);
    QCOMPARE(chart->points(RunsWindow::forecast_start).constFirst().x(), 1959.0);
    // Runs of data files next: their points at their indices again.
    open(folder_.filePath(QStringLiteral("runs")));
    QCOMPARE(quarvel::ui::time_scale_of(chart), nullptr);
    QCOMPARE(chart->points(RunsWindow::median).constFirst().x(), 340.0);
  }

  // Runs of a table read as the runs read it, by what their records give:
  // semicolons and decimal commas, and a gap filled by --missing interpolate,
  // which detection alone would refuse.
  void runs_of_a_table_read_it_as_they_did() {
    QString table = QStringLiteral("t;v\n");
    for (int row = 0; row < 40; ++row) {
      table += QStringLiteral("%1;%2\n").arg(row).arg(
          row == 5 ? QString() : QStringLiteral("%1,5").arg(row * 7 % 31));
    }
    const QString path = folder_.filePath(QStringLiteral("gaps.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(table.toUtf8());
    file.close();
    const QStringList table_data{QStringLiteral("--data"),      path,
                                 QStringLiteral("--column"),    QStringLiteral("v"),
                                 QStringLiteral("--split"),     QStringLiteral("30"),
                                 QStringLiteral("--missing"),   QStringLiteral("interpolate"),
                                 QStringLiteral("--terminals"), QStringLiteral("3")};
    QVERIFY(run_cli(QStringLiteral("gaps"), {}, table_data));
    RunsWindow& runs = open(folder_.filePath(QStringLiteral("gaps")));
    QVERIFY2(!runs.notes().contains(QStringLiteral("not drawn")), qPrintable(runs.notes()));
    const auto drawn = runs.fan_chart()->points(RunsWindow::data);
    QVERIFY(drawn.size() > 30);
    QCOMPARE(drawn[4].y(), 28.5);
    QCOMPARE(drawn[5].y(), 20.0);  // between 28.5 and 11.5
    QCOMPARE(drawn[29].y(), 17.5);
  }

  // Data that cannot be found leave the fan chart alone, with the reason; a
  // failed run stands out with its reason; a folder without runs.csv is
  // refused with a clear message.
  void missing_data_failed_runs_and_folders_without_runs() {
    const QString source = folder_.filePath(QStringLiteral("runs"));
    const QString copy = folder_.filePath(QStringLiteral("moved"));
    QVERIFY(QDir().mkpath(copy + QStringLiteral("/run-0000")));
    for (const char* name : {"ensemble-forecast.txt", "runs.csv", "run-0000/run.txt"}) {
      QByteArray text = read_all(source + QLatin1Char('/') + QLatin1String(name));
      text.replace(QFile::encodeName(QStringLiteral(QUARVEL_EXAMPLES)), "/nowhere");
      if (QLatin1String(name) == QLatin1String("runs.csv")) {
        QList<QByteArray> lines = text.split('\n');
        lines[2].replace(",ok,", ",\"failed: the disk was full, at generation 2\",");
        text = lines.join('\n');
      }
      QFile out(copy + QLatin1Char('/') + QLatin1String(name));
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(text);
    }
    RunsWindow& runs = open(copy);
    QCOMPARE(window_->dialogs.messages, QStringList());
    QVERIFY2(runs.notes().contains(QStringLiteral("The data are not drawn")),
             qPrintable(runs.notes()));
    QVERIFY(runs.notes().contains(QStringLiteral("1 failed")));
    QVERIFY(runs.fan_chart()->points(RunsWindow::data).isEmpty());
    QCOMPARE(runs.fan_chart()->points(RunsWindow::median).size(), 78);

    QTableWidget* table = runs.runs_table();
    const int stream = column_of(table, QStringLiteral("Stream"));
    const int status = column_of(table, QStringLiteral("Status"));
    table->sortByColumn(stream, Qt::AscendingOrder);
    QCOMPARE(table->item(1, status)->text(),
             QStringLiteral("failed: the disk was full, at generation 2"));
    QCOMPARE(table->item(1, stream)->toolTip(), table->item(1, status)->text());
    QVERIFY(table->item(1, stream)->background() != table->item(0, stream)->background());

    const QString empty = folder_.filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    window_->window.runs_window().close();
    open(empty);
    QCOMPARE(window_->dialogs.messages.size(), 1);
    QVERIFY(window_->dialogs.messages[0].contains(QStringLiteral("holds no runs.csv")));
    QVERIFY(!window_->window.runs_window().isVisible());
    // A chosen folder is where the next dialog opens.
    QCOMPARE(window_->dialogs.folder_dialog_folders.size(), 2);
  }
};

QTEST_MAIN(RunsWindowTest)
#include "test_runs_window.moc"
