// Loading and clearing the data grids, the loaded flags and the validation
// group's states, the overlap the validation load sets, the Start checks that
// read them, and the preview window's points.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "FakeDialogs.h"
#include "GridModel.h"

using quarvel::ui::GridModel;
using quarvel::ui::testing::Form;
using quarvel::ui::testing::write_file;

namespace {

QByteArray lines(const QStringList& values) {
  return values.join(QLatin1Char('\n')).toLatin1() + '\n';
}

QStringList column(const GridModel* model, int column) {
  QStringList texts;
  for (int row = 0; row < model->rowCount(); ++row) texts << model->cell(column, row);
  return texts;
}

QList<QPointF> points(const QScatterSeries* series) {
  return series->points();
}

}  // namespace

class DataLoadingTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir data_folder_;
  std::unique_ptr<Form> form_;

  GridModel* training() const { return form_->form1.grid_model(form_->form1.StringGrid1); }
  GridModel* validation() const { return form_->form1.grid_model(form_->form1.StringGrid2); }

  void load_training(const QByteArray& content) {
    form_->dialogs.file_answers.push_back(write_file(data_folder_, "training.txt", content));
    form_->form1.BitBtn3Click();
  }
  void load_validation(const QByteArray& content) {
    form_->dialogs.file_answers.push_back(write_file(data_folder_, "validation.txt", content));
    form_->form1.BitBtn4Click();
  }
  void verify_validation_group(bool open) {
    auto& form = form_->form1;
    QCOMPARE(form.BitBtn4->isEnabled(), open);
    QCOMPARE(form.Label17->isEnabled(), open);
    QCOMPARE(form.Label23->isEnabled(), open);
    QCOMPARE(form.LoadValidationData1->isEnabled(), open);
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { form_ = std::make_unique<Form>(); }
  void cleanup() { form_.reset(); }

  void grids_start_with_five_empty_rows_and_a_locked_validation_group() {
    QCOMPARE(training()->rowCount(), 5);
    QCOMPARE(validation()->rowCount(), 5);
    QCOMPARE(column(training(), 1), QStringList(5, QString()));
    QVERIFY(!form_->form1.TrainingLoaded);
    QVERIFY(!form_->form1.ValidationLoaded);
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
        << QStringList{"\"training.txt\": line 2 does not start with a decimal number (\"abc\"). "
                       "It was read as 0."};
    QTest::newRow("over-long line") << QByteArray("1\n" + QByteArray(300, '7') + "\n")
                                    << QStringList{"0", "1"} << QStringList{"1", "7.77778E254"}
                                    << QStringList{"\"training.txt\": line 2 holds 300 characters, "
                                                   "more than the 255 a line may hold; give one "
                                                   "value per line (\"" + QString(24, '7')};
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
    QVERIFY(form_->form1.TrainingLoaded);
    verify_validation_group(true);
    QFETCH(QStringList, messages);
    QCOMPARE(form_->dialogs.messages.size(), messages.size());
    for (int i = 0; i < messages.size(); ++i) {
      QVERIFY2(form_->dialogs.messages[i].startsWith(messages[i]),
               qPrintable(form_->dialogs.messages[i]));
    }
  }

  void binary_file_is_not_loaded() {
    load_training("1\n2\n");
    load_training(QByteArray("\x7f" "ELF\0\x01\n3\n", 9));
    QCOMPARE(column(training(), 1), (QStringList{"1", "2"}));
    QCOMPARE(form_->dialogs.messages,
             QStringList{"\"training.txt\" is not a text file: line 1 holds a NUL byte "
                         "(\"\\x7FELF\\x00\\x01\"). Nothing was loaded."});
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
    QVERIFY(form_->form1.ValidationLoaded);
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
    QCOMPARE(form_->form1.Edit32->text(), overlap);
  }

  void a_cancelled_dialog_changes_nothing() {
    form_->dialogs.file_answers.push_back(std::nullopt);
    form_->form1.BitBtn3Click();
    QVERIFY(!form_->form1.TrainingLoaded);
    verify_validation_group(false);
    QCOMPARE(form_->dialogs.messages, QStringList());
  }

  void a_file_that_cannot_be_opened_changes_nothing() {
    load_training(lines({"1", "2", "3"}));
    load_validation(lines({"3", "4"}));
    const QString overlap = form_->form1.Edit32->text();
    for (const auto handler :
         {&quarvel::ui::TForm1::BitBtn3Click, &quarvel::ui::TForm1::BitBtn4Click}) {
      form_->dialogs.file_answers.push_back(data_folder_.filePath("missing.txt"));
      (form_->form1.*handler)();
    }
    QCOMPARE(form_->dialogs.messages, QStringList(2, QStringLiteral("File cannot be opend.")));
    QCOMPARE(column(training(), 1), (QStringList{"1", "2", "3"}));
    QCOMPARE(column(validation(), 1), (QStringList{"3", "4"}));
    QCOMPARE(form_->form1.Edit32->text(), overlap);
    verify_validation_group(true);
  }

  void a_file_without_points_keeps_one_row_and_sets_the_flag() {
    training()->set_cell(1, 0, QStringLiteral("typed"));
    load_training(QByteArray("\n\n"));
    QCOMPARE(training()->rowCount(), 1);
    QCOMPARE(training()->cell(1, 0), QStringLiteral("typed"));
    QVERIFY(form_->form1.TrainingLoaded);
  }

  void clears_empty_cells_and_lock_the_validation_group() {
    load_training(lines({"1", "2", "3"}));
    load_validation(lines({"4", "5"}));
    form_->form1.Button3Click();
    QCOMPARE(column(validation(), 1), QStringList(2, QString()));
    verify_validation_group(true);

    load_validation(lines({"4", "5"}));
    form_->form1.Button1Click();
    QCOMPARE(training()->rowCount(), 3);
    QCOMPARE(column(training(), 0), QStringList(3, QString()));
    QCOMPARE(column(validation(), 1), QStringList(2, QString()));
    verify_validation_group(false);
    QVERIFY(form_->form1.TrainingLoaded);  // the flags only ever go from false to true
    QVERIFY(form_->form1.ValidationLoaded);

    form_->form1.BitBtn4Click();  // locked: no dialog
    QCOMPARE(form_->dialogs.dialog_folders.size(), 3);
  }

  void reloading_training_empties_the_validation_cells() {
    load_training(lines({"1", "2"}));
    load_validation(lines({"3", "4", "5"}));
    load_training(lines({"7", "8"}));
    QCOMPARE(validation()->rowCount(), 3);
    QCOMPARE(column(validation(), 1), QStringList(3, QString()));
    QVERIFY(form_->form1.ValidationLoaded);
  }

  void start_checks_the_loaded_data() {
    auto& form = form_->form1;
    // The messages of one Start, which must also bring "Problem Configuration" to the front.
    const auto start = [&] {
      form.PageControl1->setCurrentWidget(form.TabSheet4);
      form_->dialogs.messages.clear();
      form.BitBtn2Click();
      if (form.PageControl1->currentWidget() != form.TabSheet1) return QStringList{"wrong tab"};
      return form_->dialogs.messages;
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
    form.Button1Click();
    QCOMPARE(start(), QStringList{"Loaded Training Data contains Invalid Value."});
  }

  void menu_shortcuts_reach_the_loads_from_any_tab() {
    auto& form = form_->form1;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.PageControl1->setCurrentWidget(form.TabSheet4);
    form_->dialogs.file_answers.push_back(write_file(data_folder_, "t.txt", lines({"1", "2"})));
    QTest::keyClick(&form, Qt::Key_T, Qt::ControlModifier);
    QVERIFY(form.TrainingLoaded);
    form_->dialogs.file_answers.push_back(write_file(data_folder_, "v.txt", lines({"2", "3"})));
    QTest::keyClick(&form, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(form.ValidationLoaded);
    QCOMPARE(form.Edit32->text(), QStringLiteral("1"));

    form.BitBtn2->setEnabled(false);  // Ctrl+S works whatever the Start button's state
    form.Button1Click();
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(form_->dialogs.messages, QStringList{"Loaded Training Data contains Invalid Value."});
  }

  void preview_plots_the_grids_against_their_times() {
    load_training(lines({"1.5", "2.5", "3.5"}));
    load_validation(lines({"4", "5"}));
    training()->set_cell(1, 1, QString());             // a row with an empty value is left out
    training()->set_cell(0, 2, QStringLiteral("10"));  // times need not increase evenly
    for (int press = 0; press < 2; ++press) form_->form1.Button2Click();  // not doubled
    QCOMPARE(points(form_->graph_form->series(0)), (QList<QPointF>{{0, 1.5}, {10, 3.5}}));
    QCOMPARE(points(form_->graph_form->series(1)), (QList<QPointF>{{3, 4}, {4, 5}}));
    QVERIFY(form_->graph_form->isVisible());
    QCOMPARE(form_->graph_form->series(0)->name(), QStringLiteral("Training Data"));
    QCOMPARE(form_->graph_form->series(1)->name(), QStringLiteral("Validation Data"));
    QCOMPARE(form_->dialogs.errors, QStringList());
  }

  void preview_stops_at_a_cell_that_is_not_a_number() {
    load_training(lines({"1", "2", "3"}));
    training()->set_cell(1, 1, QStringLiteral("1,5"));
    form_->form1.Button2Click();
    QCOMPARE(form_->dialogs.errors, QStringList{"'1,5' is not a floating point number."});
    QCOMPARE(points(form_->graph_form->series(0)), (QList<QPointF>{{0, 1}}));
    QVERIFY(!form_->graph_form->isVisible());
  }

  void loads_and_clears_empty_the_preview_series() {
    load_training(lines({"1", "2"}));
    load_validation(lines({"3", "4"}));
    form_->form1.Button2Click();
    load_validation(lines({"5", "6"}));  // a validation load leaves the preview alone
    QCOMPARE(points(form_->graph_form->series(1)).size(), 2);
    form_->form1.Button3Click();
    QVERIFY(points(form_->graph_form->series(1)).isEmpty());
    QCOMPARE(points(form_->graph_form->series(0)).size(), 2);
    form_->form1.Button2Click();
    load_training(lines({"1", "2"}));
    QVERIFY(points(form_->graph_form->series(1)).isEmpty());
    QCOMPARE(points(form_->graph_form->series(0)).size(), 2);
    form_->form1.Button1Click();
    QVERIFY(points(form_->graph_form->series(0)).isEmpty());
  }
};

QTEST_MAIN(DataLoadingTest)
#include "test_dataloading.moc"
