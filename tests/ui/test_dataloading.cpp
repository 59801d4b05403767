// Loading and clearing the data grids, the loaded flags and the validation
// group's states, the overlap the validation load sets, the Start checks that
// read them, and the preview window's points.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "data/datafile.h"
#include "support/TestWindow.h"
#include "ui/GridModel.h"

using quarvel::runs::Setting;
using quarvel::ui::GridModel;
using quarvel::ui::testing::column;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::WindowFixture;
using quarvel::ui::testing::write_file;

namespace {

QByteArray lines(const QStringList& values) {
  return values.join(QLatin1Char('\n')).toLatin1() + '\n';
}

QList<QPointF> points(const QScatterSeries* series) {
  return series->points();
}

}  // namespace

class DataLoadingTest : public QObject, protected WindowFixture {
  Q_OBJECT

 private:
  GridModel* training() const { return window_->training_model(); }
  GridModel* validation() const { return window_->validation_model(); }

  void load_training(const QByteArray& content) {
    window_->dialogs.file_answers.push_back(write_file(data_folder_, "training.txt", content));
    window_->window.load_training_series();
  }
  void load_validation(const QByteArray& content) {
    window_->dialogs.file_answers.push_back(write_file(data_folder_, "validation.txt", content));
    window_->window.load_validation_series();
  }
  void verify_validation_group(bool open) {
    auto& w = *window_;
    QCOMPARE(w.button("load_validation_button")->isEnabled(), open);
    QCOMPARE(w.validation_grid()->horizontalHeader()->isEnabled(), open);
    QCOMPARE(w.action("load_validation_action")->isEnabled(), open);
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  void grids_start_with_five_empty_rows_and_a_locked_validation_group() {
    QCOMPARE(training()->rowCount(), 5);
    QCOMPARE(validation()->rowCount(), 5);
    QCOMPARE(column(training(), 1), QStringList(5, QString()));
    QVERIFY(!window_->window.problem_tab().training_loaded());
    QVERIFY(!window_->window.problem_tab().validation_loaded());
    verify_validation_group(false);
  }

  void training_load_fills_the_grid_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("messages");  // a line read only in part is pointed out
    QTest::newRow("empty line skipped") << QByteArray("1\n\n2\n") << QStringList{"0", "1"}
                                        << QStringList{"1", "2"} << QStringList();
    QTest::newRow("CR LF, no final line end") << QByteArray("1\r\n\r\n2") << QStringList{"0", "1"}
                                              << QStringList{"1", "2"} << QStringList();
    QTest::newRow("leading number of each line")
        << QByteArray("  3.5abc\nabc\n   \n1 2\n") << QStringList{"0", "1", "2", "3"}
        << QStringList{"3.5", "0", "0", "1"}
        << QStringList{
               "\"training.txt\": line 2 does not start with a decimal number (\"abc\"). "
               "It was read as 0."};
    QTest::newRow("over-long line") << QByteArray("1\n" + QByteArray(300, '7') + "\n")
                                    << QStringList{"0", "1"} << QStringList{"1", "7.77778E254"}
                                    << QStringList{
                                           "\"training.txt\": line 2 holds 300 characters, "
                                           "more than the 255 a line may hold; give one "
                                           "value per line (\"" +
                                           QString(24, '7')};
    // Decimal commas read as whole numbers: told once, with the count, as the
    // runner warns.
    QTest::newRow("decimal commas")
        << QByteArray("1,5\n2,5\n3\n4,25\n") << QStringList{"0", "1", "2", "3"}
        << QStringList{"1", "2", "3", "4"}
        << QStringList{
               "\"training.txt\": line 1 (\"1,5\") was read as 1, the text after its number "
               "ignored; 3 lines hold text after their number."};
    QTest::newRow("six significant digits, INF")
        << QByteArray("0.12345678\n1e400\n") << QStringList{"0", "1"}
        << QStringList{"0.123457", "INF"} << QStringList();
  }
  void training_load_fills_the_grid() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, times);
    QFETCH(QStringList, values);
    load_training(content);
    QCOMPARE(column(training(), 0), times);
    QCOMPARE(column(training(), 1), values);
    QVERIFY(window_->window.problem_tab().training_loaded());
    verify_validation_group(true);
    QFETCH(QStringList, messages);
    QCOMPARE(window_->dialogs.messages.size(), messages.size());
    for (int i = 0; i < messages.size(); ++i) {
      QVERIFY2(window_->dialogs.messages[i].startsWith(messages[i]),
               qPrintable(window_->dialogs.messages[i]));
    }
  }

  void binary_file_is_not_loaded() {
    load_training("1\n2\n");
    load_training(
        QByteArray("\x7f"
                   "ELF\0\x01\n3\n",
                   9));
    QCOMPARE(column(training(), 1), (QStringList{"1", "2"}));
    QCOMPARE(window_->dialogs.messages,
             QStringList{"\"training.txt\" is not a text file: line 1 holds a NUL byte "
                         "(\"\\x7FELF\\x00\\x01\"). Nothing was loaded."});
  }

  // More than any series can fill (numbers, so that reading it all would load
  // millions of rows): refused at once, the grid kept.
  void file_larger_than_any_series_is_not_loaded() {
    load_training("1\n2\n");
    const auto size = static_cast<qsizetype>(quarvel::data::kMaxDataFileBytes);
    load_training(QByteArray("1\n").repeated(size / 2 + 1));
    QCOMPARE(column(training(), 1), (QStringList{"1", "2"}));
    QCOMPARE(window_->dialogs.messages,
             QStringList{"\"training.txt\" holds more than 10280000 bytes (40000 lines of 255 "
                         "characters and CR LF fill at most that), so it cannot be a series. "
                         "Nothing was loaded."});
  }

  void validation_times_follow_the_training_rows() {
    QStringList training_values;
    for (int point = 0; point < 120; ++point) training_values << QString::number(point % 7 + 10);
    load_training(lines(training_values));
    QStringList validation_values;
    for (int point = 0; point < 30; ++point) validation_values << QString::number(point + 100);
    load_validation(lines(validation_values));
    QCOMPARE(validation()->rowCount(), 30);
    QCOMPARE(validation()->cell(0, 0), QStringLiteral("120"));
    QCOMPARE(validation()->cell(0, 29), QStringLiteral("149"));
    QVERIFY(window_->window.problem_tab().validation_loaded());
  }

  void validation_load_sets_the_overlap_data() {
    QTest::addColumn<QStringList>("validation_values");
    QTest::addColumn<QString>("overlap");
    QTest::newRow("6 7 8") << QStringList{"6", "7", "8"} << "2";
    QTest::newRow("9 7 8: row 0 not compared") << QStringList{"9", "7", "8"} << "2";
    QTest::newRow("7 1 2") << QStringList{"7", "1", "2"} << "1";
    QTest::newRow("1 2 3") << QStringList{"1", "2", "3"} << "0";
    QTest::newRow("4 5 7 8: walk mismatch at row 1") << QStringList{"4", "5", "7", "8"} << "0";
  }
  void validation_load_sets_the_overlap() {
    QFETCH(QStringList, validation_values);
    QFETCH(QString, overlap);
    load_training(lines({"1", "5", "6", "7"}));
    load_validation(lines(validation_values));
    QCOMPARE(window_->field(Setting::overlap)->text(), overlap);
  }

  void a_cancelled_dialog_changes_nothing() {
    window_->dialogs.file_answers.push_back(std::nullopt);
    window_->window.load_training_series();
    QVERIFY(!window_->window.problem_tab().training_loaded());
    verify_validation_group(false);
    QCOMPARE(window_->dialogs.messages, QStringList());
  }

  void a_file_that_cannot_be_opened_changes_nothing() {
    load_training(lines({"1", "2", "3"}));
    load_validation(lines({"3", "4"}));
    const QString overlap = window_->field(Setting::overlap)->text();
    for (const auto handler : {&quarvel::ui::MainWindow::load_training_series,
                               &quarvel::ui::MainWindow::load_validation_series}) {
      window_->dialogs.file_answers.push_back(data_folder_.filePath("missing.txt"));
      (window_->window.*handler)();
    }
    const QString missing =
        QStringLiteral("File cannot be opend.\n\"%1\": No such file or directory")
            .arg(data_folder_.filePath("missing.txt"));
    QCOMPARE(window_->dialogs.messages, QStringList(2, missing));
    QCOMPARE(column(training(), 1), (QStringList{"1", "2", "3"}));
    QCOMPARE(column(validation(), 1), (QStringList{"3", "4"}));
    QCOMPARE(window_->field(Setting::overlap)->text(), overlap);
    verify_validation_group(true);
  }

  void a_file_without_points_keeps_one_row_and_sets_the_flag() {
    training()->set_cell(1, 0, QStringLiteral("typed"));
    load_training(QByteArray("\n\n"));
    QCOMPARE(training()->rowCount(), 1);
    QCOMPARE(training()->cell(1, 0), QStringLiteral("typed"));
    QVERIFY(window_->window.problem_tab().training_loaded());
  }

  void clears_empty_cells_and_lock_the_validation_group() {
    load_training(lines({"1", "2", "3"}));
    load_validation(lines({"4", "5"}));
    window_->window.problem_tab().clear_validation_series();
    QCOMPARE(column(validation(), 1), QStringList(2, QString()));
    verify_validation_group(true);

    load_validation(lines({"4", "5"}));
    window_->window.problem_tab().clear_training_series();
    QCOMPARE(training()->rowCount(), 3);
    QCOMPARE(column(training(), 0), QStringList(3, QString()));
    QCOMPARE(column(validation(), 1), QStringList(2, QString()));
    verify_validation_group(false);
    QVERIFY(window_->window.problem_tab()
                .training_loaded());  // the flags only ever go from false to true
    QVERIFY(window_->window.problem_tab().validation_loaded());

    window_->window.load_validation_series();  // locked: no dialog
    QCOMPARE(window_->dialogs.dialog_folders.size(), 3);
  }

  void reloading_training_empties_the_validation_cells() {
    load_training(lines({"1", "2"}));
    load_validation(lines({"3", "4", "5"}));
    load_training(lines({"7", "8"}));
    QCOMPARE(validation()->rowCount(), 3);
    QCOMPARE(column(validation(), 1), QStringList(3, QString()));
    QVERIFY(window_->window.problem_tab().validation_loaded());
  }

  void start_checks_the_loaded_data() {
    auto& w = *window_;
    // The messages of one Start, which must also bring "Problem Configuration" to the front.
    const auto start = [&] {
      w.window.tabs().setCurrentWidget(w.results_tab());
      window_->dialogs.messages.clear();
      w.start_and_wait();
      if (w.window.tabs().currentWidget() != w.problem_tab()) return QStringList{"wrong tab"};
      return window_->dialogs.messages;
    };
    QCOMPARE(start(), QStringList{"You must load data set for training before GP run."});
    load_training(lines({"1", "2", "3"}));
    QCOMPARE(start(), QStringList{"You must load data set for validation before GP run."});
    load_validation(lines({"3", "4"}));
    training()->set_cell(1, 1, QStringLiteral("x"));
    QCOMPARE(start(), QStringList{"Loaded Training Data contains Invalid Value."});
    load_training(lines({"1", "2", "3"}));  // empties the validation cells
    QCOMPARE(start(), QStringList{"Loaded Validation Data contains Invalid Value."});
    load_validation(lines({"3", "4"}));
    w.window.problem_tab().clear_training_series();
    QCOMPARE(start(), QStringList{"Loaded Training Data contains Invalid Value."});
  }

  void menu_shortcuts_reach_the_loads_from_any_tab() {
    auto& w = *window_;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.window.tabs().setCurrentWidget(w.results_tab());
    window_->dialogs.file_answers.push_back(write_file(data_folder_, "t.txt", lines({"1", "2"})));
    QTest::keyClick(&w.window, Qt::Key_T, Qt::ControlModifier);
    QVERIFY(w.window.problem_tab().training_loaded());
    window_->dialogs.file_answers.push_back(write_file(data_folder_, "v.txt", lines({"2", "3"})));
    QTest::keyClick(&w.window, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(w.window.problem_tab().validation_loaded());
    QCOMPARE(w.field(Setting::overlap)->text(), QStringLiteral("1"));

    w.start_button()->setEnabled(false);  // Ctrl+S works whatever the Start button's state
    w.window.problem_tab().clear_training_series();
    QTest::keyClick(&w.window, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(window_->dialogs.messages,
             QStringList{"Loaded Training Data contains Invalid Value."});
  }

  void preview_plots_the_grids_against_their_times() {
    load_training(lines({"1.5", "2.5", "3.5"}));
    load_validation(lines({"4", "5"}));
    training()->set_cell(1, 1, QString());             // a row with an empty value is left out
    training()->set_cell(0, 2, QStringLiteral("10"));  // times need not increase evenly
    for (int press = 0; press < 2; ++press) window_->window.draw_data_plot();  // not doubled
    QCOMPARE(points(window_->window.data_plot_window().series(0)),
             (QList<QPointF>{{0, 1.5}, {10, 3.5}}));
    QCOMPARE(points(window_->window.data_plot_window().series(1)),
             (QList<QPointF>{{3, 4}, {4, 5}}));
    QVERIFY(window_->window.data_plot_window().isVisible());
    QCOMPARE(window_->window.data_plot_window().series(0)->name(), QStringLiteral("Training Data"));
    QCOMPARE(window_->window.data_plot_window().series(1)->name(),
             QStringLiteral("Validation Data"));
    QCOMPARE(window_->dialogs.errors, QStringList());
  }

  void preview_stops_at_a_cell_that_is_not_a_number() {
    load_training(lines({"1", "2", "3"}));
    training()->set_cell(1, 1, QStringLiteral("1,5"));
    window_->window.draw_data_plot();
    QCOMPARE(window_->dialogs.errors, QStringList{"'1,5' is not a floating point number."});
    QCOMPARE(points(window_->window.data_plot_window().series(0)), (QList<QPointF>{{0, 1}}));
    QVERIFY(!window_->window.data_plot_window().isVisible());
  }

  void loads_and_clears_empty_the_preview_series() {
    load_training(lines({"1", "2"}));
    load_validation(lines({"3", "4"}));
    window_->window.draw_data_plot();
    load_validation(lines({"5", "6"}));  // a validation load leaves the preview alone
    QCOMPARE(points(window_->window.data_plot_window().series(1)).size(), 2);
    window_->window.problem_tab().clear_validation_series();
    QVERIFY(points(window_->window.data_plot_window().series(1)).isEmpty());
    QCOMPARE(points(window_->window.data_plot_window().series(0)).size(), 2);
    window_->window.draw_data_plot();
    load_training(lines({"1", "2"}));
    QVERIFY(points(window_->window.data_plot_window().series(1)).isEmpty());
    QCOMPARE(points(window_->window.data_plot_window().series(0)).size(), 2);
    window_->window.problem_tab().clear_training_series();
    QVERIFY(points(window_->window.data_plot_window().series(0)).isEmpty());
  }
};

QTEST_MAIN(DataLoadingTest)
#include "test_dataloading.moc"
