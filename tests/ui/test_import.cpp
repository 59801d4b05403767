// File > "Import table...": the import dialog driven as a user drives it (the
// detected options shown, an override, the refusals with their line and
// column, the column pickers, the live counts of the split), the two parts it
// loads into the grids beside those of the two example files, the drops that
// open it, and the time stamps the charts then show.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "batch/rundata.h"
#include "support/TestWindow.h"
#include "support/examples.h"
#include "ui/ChartExport.h"
#include "ui/ImportTableDialog.h"
#include "ui/TimeAxis.h"
#include "ui/style.h"

using quarvel::runs::Setting;
using quarvel::testing::example;
using quarvel::ui::ImportTableDialog;
using quarvel::ui::ResultsView;
using quarvel::ui::testing::child;
using quarvel::ui::testing::column;
using quarvel::ui::testing::drop_on;
using quarvel::ui::testing::read_all;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::time_axis_labels;
using quarvel::ui::testing::write_file;

namespace {

QString example_path(const char* name) {
  return QString::fromStdString(example(name));
}

// The import dialog's parts, by their object names.
struct DialogParts {
  explicit DialogParts(const ImportTableDialog* dialog) : dialog(dialog) {}

  template <class T>
  T* part(const char* name) const {
    return child<T>(dialog, QString::fromLatin1(name));
  }
  QComboBox* delimiter() const { return part<QComboBox>("delimiter_box"); }
  QCheckBox* header() const { return part<QCheckBox>("header_check"); }
  QCheckBox* decimal_comma() const { return part<QCheckBox>("decimal_comma_check"); }
  QComboBox* thousands() const { return part<QComboBox>("thousands_box"); }
  QComboBox* value_column() const { return part<QComboBox>("value_column_box"); }
  QComboBox* time_column() const { return part<QComboBox>("time_column_box"); }
  QCheckBox* fill_missing() const { return part<QCheckBox>("fill_missing_check"); }
  QLineEdit* split() const { return part<QLineEdit>("split_edit"); }
  QSlider* slider() const { return part<QSlider>("split_slider"); }
  QString counts() const { return part<QLabel>("counts_label")->text(); }
  QString reading() const { return part<QLabel>("reading_label")->text(); }
  QString message() const { return part<QLabel>("message_label")->text(); }
  QTableWidget* preview() const { return part<QTableWidget>("preview_table"); }
  QPushButton* ok() const {
    return part<QDialogButtonBox>("button_box")->button(QDialogButtonBox::Ok);
  }
  // The values the two parts hold, one after the other.
  QList<double> loaded_values() const {
    QList<double> values;
    if (!dialog->imported()) return values;
    for (const double v : dialog->imported()->split.training) values << v;
    for (const double v : dialog->imported()->split.validation) values << v;
    return values;
  }

  const ImportTableDialog* dialog;
};

std::unique_ptr<ImportTableDialog> dialog_for(const QByteArray& text, std::size_t largest_lag) {
  return std::make_unique<ImportTableDialog>(QStringLiteral("table.csv"), text.toStdString(),
                                             largest_lag);
}

QByteArray air_passengers() {
  return read_all(example_path("airpassengers.csv"));
}

std::unique_ptr<QMimeData> file_drag(const QString& path) {
  auto data = std::make_unique<QMimeData>();
  data->setUrls({QUrl::fromLocalFile(path)});
  return data;
}

ImportTableDialog* open_dialog(const TestWindow& w) {
  return w.window.findChild<ImportTableDialog*>();
}

}  // namespace

class ImportTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir data_folder_;

  // A window whose populations read 36 values back, with the example table
  // imported through File > "Import table..." and split after 1958-12.
  void import_air_passengers(TestWindow& w) {
    w.field(Setting::terminals, 0)->setText(QStringLiteral("36"));
    w.dialogs.file_answers.emplace_back(example_path("airpassengers.csv"));
    w.action("import_table_action")->trigger();
    ImportTableDialog* dialog = open_dialog(w);
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->isVisible());
    DialogParts parts(dialog);
    parts.split()->setText(QStringLiteral("1958-12"));
    QVERIFY(parts.ok()->isEnabled());
    parts.ok()->click();
    // The file dialog offered tables first.
    QCOMPARE(w.dialogs.open_dialog_filters.constLast().value(0),
             QStringLiteral("Tables (*.csv *.tsv *.txt)"));
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }

  void the_detected_options_are_shown() {
    const auto dialog = dialog_for(air_passengers(), 36);
    const DialogParts parts(dialog.get());
    QCOMPARE(parts.delimiter()->currentText(), QStringLiteral("Comma (detected)"));
    QVERIFY(parts.header()->isChecked());
    QVERIFY(!parts.decimal_comma()->isChecked());
    QVERIFY(!parts.decimal_comma()->isEnabled());  // no choice beside comma-delimited fields
    QCOMPARE(child<QLabel>(dialog.get(), "layout_label")->text(),
             QStringLiteral("Comma-delimited (detected), a header line (detected), decimal point "
                            "(detected), 2 columns."));
    QCOMPARE(parts.value_column()->currentText(), QStringLiteral("passengers (column 2)"));
    QCOMPARE(parts.time_column()->currentText(), QStringLiteral("month (column 1)"));
    QTableWidget* preview = parts.preview();
    QCOMPARE(preview->rowCount(), 20);
    QCOMPARE(preview->columnCount(), 2);
    QCOMPARE(preview->horizontalHeaderItem(1)->text(), QStringLiteral("passengers\n(values)"));
    QCOMPARE(preview->verticalHeaderItem(0)->text(), QStringLiteral("2"));  // the file's line
    QCOMPARE(preview->item(0, 0)->text(), QStringLiteral("1949-01"));
    QCOMPARE(preview->item(5, 1)->text(), QStringLiteral("135"));
    QCOMPARE(preview->verticalHeaderItem(19)->text(), QStringLiteral("21"));
    // The first split offered: 0.8 of the rows.
    QCOMPARE(
        parts.counts(),
        QStringLiteral("Training: 115 points, validation: 65 points (29 held out), overlap: 36"));
    QVERIFY(parts.ok()->isEnabled());
  }

  void layouts_are_detected_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<bool>("decimal_comma");
    QTest::addColumn<QString>("value_column");
    QTest::addColumn<QString>("time_column");
    QTest::addColumn<QList<double>>("values");
    QTest::newRow("semicolons, decimal commas, a BOM, CR LF")
        << QByteArray("\xEF\xBB\xBFmonth;value\r\n1949-01;1,5\r\n1949-02;2,25\r\n1949-03;3\r\n")
        << "Semicolon (detected)" << true << "value (column 2)"
        << "month (column 1)" << QList<double>{1.5, 2.25, 3};
    QTest::newRow("tabs, a quoted header, plain numbers for time")
        << QByteArray("\"t\"\t\"v\"\n1\t10\n2\t20\n3\t30\n") << "Tab (detected)" << false
        << "v (column 2)"
        << "(none)" << QList<double>{10, 20, 30};
    QTest::newRow("blanks, years")
        << QByteArray("year   flow\n1871   1120\n1872   1160\n1873    963\n")
        << "Whitespace (detected)" << false << "flow (column 2)"
        << "year (column 1)" << QList<double>{1120, 1160, 963};
    QTest::newRow("one column") << QByteArray("level\n5\n6.5\n7\n")
                                << "None (one column) (detected)" << false << "level (column 1)"
                                << "(none)" << QList<double>{5, 6.5, 7};
  }
  void layouts_are_detected() {
    QFETCH(QByteArray, text);
    QFETCH(QString, delimiter);
    QFETCH(bool, decimal_comma);
    QFETCH(QString, value_column);
    QFETCH(QString, time_column);
    QFETCH(QList<double>, values);
    const auto dialog = dialog_for(text, 0);
    const DialogParts parts(dialog.get());
    QCOMPARE(parts.delimiter()->currentText(), delimiter);
    QVERIFY(parts.header()->isChecked());
    QCOMPARE(parts.decimal_comma()->isChecked(), decimal_comma);
    QCOMPARE(parts.value_column()->currentText(), value_column);
    QCOMPARE(parts.time_column()->currentText(), time_column);
    QCOMPARE(parts.message(), QString());
    QCOMPARE(parts.loaded_values(), values);
  }

  // A refused table says where (line and column) in the dialog, and OK stays
  // disabled until a change reads it.
  void refusals_name_the_line_and_column_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("text in the value column")
        << QByteArray("month,passengers\n1949-01,112\n1949-02,abc\n1949-03,130\n")
        << "Nothing can be loaded: line 3, column 2 (\"passengers\"): \"abc\" is not a number";
    QTest::newRow("a ragged row") << QByteArray(
                                         "month,passengers\n1949-01,112\n1949-02\n1949-03,130\n")
                                  << "Nothing can be loaded: line 3";
    QTest::newRow("a missing value")
        << QByteArray("month,passengers\n1949-01,112\n1949-02,NA\n1949-03,130\n")
        << "Nothing can be loaded: line 3, column 2 (\"passengers\")";
    QTest::newRow("a comma that may separate thousands")
        << QByteArray("month\tpassengers\n2000-01\t995\n2000-02\t1,046\n2000-03\t1,102\n")
        << "Nothing can be loaded: line 3, column 2 (\"passengers\"): \"1,046\" reads as 1.046 "
           "with a decimal comma, but as 1046 if its comma separates thousands, and every comma "
           "in the column has three digits after it, as a thousands separator has; say which the "
           "comma is: tick "
           "\"Decimal comma\", or pick the comma as thousands separator";
  }
  void refusals_name_the_line_and_column() {
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    const auto dialog = dialog_for(text, 1);
    const DialogParts parts(dialog.get());
    QVERIFY2(parts.message().startsWith(message), qPrintable(parts.message()));
    QVERIFY(!parts.ok()->isEnabled());
    QVERIFY(!dialog->imported());
    QCOMPARE(parts.counts(), QString());
    // The preview points at the cell: line 3, the second row shown.
    QCOMPARE(parts.preview()->currentRow(), 1);
    QCOMPARE(parts.preview()->currentColumn(), 1);
  }

  // A refused line past the first rows: the preview shows the first rows,
  // then the rows around it (or, where the reader could not split it, its
  // text), marks it and scrolls to it; an unbalanced quote is named on the
  // line where it opened.
  void a_refused_line_further_down_is_shown_and_marked_data() {
    QTest::addColumn<QByteArray>("faulty");  // line 61
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("column");  // the refused cell's, 1-based
    QTest::addColumn<QString>("shown");
    QTest::newRow("an unbalanced quote")
        << QByteArray("\"61,5\n\"62\",6")
        << "line 61, column 1: the quote that opens this field closes only on line 62, and text "
           "follows it there"
        << 1 << "\"61,5";
    QTest::newRow("a value that is no number")
        << QByteArray("61,five\n62,6") << "line 61, column 2 (\"v\"): \"five\" is not a number" << 2
        << "five";
  }
  void a_refused_line_further_down_is_shown_and_marked() {
    QFETCH(QByteArray, faulty);
    QFETCH(QString, message);
    QFETCH(int, column);
    QFETCH(QString, shown);
    QByteArray text("t,v\n");
    for (int line = 2; line < 61; ++line) text += QByteArray::number(line) + ',' + "1\n";
    text += faulty + "\n";
    for (int line = 63; line < 80; ++line) text += QByteArray::number(line) + ',' + "1\n";
    const auto dialog = dialog_for(text, 1);
    const DialogParts parts(dialog.get());
    dialog->show();
    QVERIFY2(parts.message().endsWith(message), qPrintable(parts.message()));
    QTableWidget* preview = parts.preview();
    const int row = preview->currentRow();
    QVERIFY(row >= 20);
    QCOMPARE(preview->verticalHeaderItem(row)->text(), QStringLiteral("61"));
    QCOMPARE(preview->verticalHeaderItem(0)->text(), QStringLiteral("2"));
    QCOMPARE(preview->verticalHeaderItem(19)->text(), QStringLiteral("21"));
    QCOMPARE(preview->verticalHeaderItem(20)->text(), QStringLiteral("59"));
    QCOMPARE(preview->item(row, preview->currentColumn())->text(), shown);
    QCOMPARE(preview->currentColumn(), shown.startsWith(QLatin1Char('"')) ? 0 : column - 1);
    QCOMPARE(preview->item(row, preview->currentColumn())->background().color(),
             quarvel::ui::colours::refused_cell);
    if (preview->currentColumn() > 0) {
      QCOMPARE(preview->item(row, 0)->background().color(), quarvel::ui::colours::refused_line);
    }
    QCOMPARE(preview->item(row, preview->currentColumn())->toolTip().right(message.size()),
             message);
    // In sight.
    const QRect cell = preview->visualItemRect(preview->item(row, preview->currentColumn()));
    QVERIFY(preview->viewport()->rect().intersects(cell));
  }

  // What OK keeps of how the table was read and split reads it again the
  // same way: the runner's options that exported models record (a stamp that
  // reads as a number marked as a stamp, the thousands separator named), and
  // the request many runs make.
  void the_kept_reading_reads_the_table_again_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("thousands");  // the box's entry to pick; empty: none
    QTest::addColumn<QString>("split");      // as typed
    QTest::addColumn<QStringList>("options");
    QByteArray years("year,v\n");
    for (int k = 0; k < 20; ++k)
      years += QByteArray::number(1950 + k) + ',' + QByteArray::number(k % 7) + '\n';
    QTest::newRow("years as stamps")
        << years << QString() << "10" << QStringList{"--split @1959", "--time-column year"};
    QTest::newRow("a thousands separator")
        << QByteArray(
               "month\tpassengers\n2000-01\t995\n2000-02\t1,046\n2000-03\t1,102\n"
               "2000-04\t987\n2000-05\t1,150\n2000-06\t1,201\n")
        << "Comma, as in 1,046.5"
        << "4" << QStringList{"--thousands-separator comma", "--split 2000-04"};
  }
  void the_kept_reading_reads_the_table_again() {
    QFETCH(QByteArray, text);
    QFETCH(QString, thousands);
    QFETCH(QString, split);
    QFETCH(QStringList, options);
    QTemporaryDir folder;
    const QString path = write_file(folder, QStringLiteral("table.csv"), text);
    ImportTableDialog dialog(path, text.toStdString(), 1);
    const DialogParts parts(&dialog);
    if (!thousands.isEmpty())
      parts.thousands()->setCurrentIndex(parts.thousands()->findText(thousands));
    parts.split()->setText(split);
    QCOMPARE(parts.message(), QString());
    QVERIFY(dialog.imported());
    const quarvel::ui::ImportedTable& imported = *dialog.imported();
    QStringList given;
    for (const auto& [option, value] : imported.runner_options())
      given << QString::fromStdString(option) + QLatin1Char(' ') + QString::fromStdString(value);
    for (const QString& option : options)
      QVERIFY2(given.contains(option), qPrintable(given.join(' ')));

    quarvel::batch::RunRequest request;
    request.data = imported.data_table();
    request.overlap_given = true;  // as the window's overlap field gives it
    request.settings.set(Setting::overlap, static_cast<double>(imported.split.overlap));
    quarvel::batch::RunData data;
    QCOMPARE(quarvel::batch::read_run_data(request, data), std::nullopt);
    const std::size_t count = imported.split.training_count;
    QCOMPARE(data.training.value, quarvel::data::make_grid(imported.split.training, 0).value);
    QCOMPARE(data.validation.value,
             quarvel::data::make_grid(imported.split.validation, static_cast<std::int64_t>(count))
                 .value);
  }

  // The slider follows a split point typed in the field; one that names no
  // row marks the field and the slider, which stays where the last point
  // that named one put it.
  void an_invalid_split_is_marked_and_the_slider_follows_a_valid_one() {
    const auto dialog = dialog_for(air_passengers(), 36);
    const DialogParts parts(dialog.get());
    const auto marked = [&parts] {
      return parts.split()->palette().color(QPalette::Base) == quarvel::ui::colours::refused_line &&
             parts.slider()->palette().color(QPalette::Highlight) ==
                 quarvel::ui::colours::refusal_text &&
             parts.split()->accessibleDescription().startsWith(QStringLiteral("Invalid: "));
    };
    parts.split()->setText(QStringLiteral("100"));
    QCOMPARE(parts.slider()->value(), 100);
    QVERIFY(!marked());
    parts.split()->setText(QStringLiteral("150"));
    QVERIFY(!parts.ok()->isEnabled());
    QVERIFY(marked());
    QCOMPARE(parts.slider()->value(), 100);
    QVERIFY(!parts.slider()->accessibleDescription().isEmpty());
    parts.split()->setText(QStringLiteral("0.5"));
    QCOMPARE(parts.slider()->value(), 72);
    QVERIFY(!marked());
    QVERIFY(parts.slider()->accessibleDescription().isEmpty());
  }

  // A comma the table may mean either way is read as the user says.
  void a_comma_that_may_separate_thousands_is_read_as_told() {
    const auto dialog = dialog_for(
        "month\tpassengers\n2000-01\t995\n2000-02\t1,046\n2000-03\t1,102\n2000-04\t987\n"
        "2000-05\t1,150\n",
        0);
    const DialogParts parts(dialog.get());
    QVERIFY(!parts.ok()->isEnabled());
    // Not ticked while undecided, so that ticking it says so.
    QVERIFY(!parts.decimal_comma()->isChecked());
    parts.thousands()->setCurrentIndex(parts.thousands()->findText("Comma, as in 1,046.5"));
    QCOMPARE(parts.message(), QString());
    QCOMPARE(parts.loaded_values(), (QList<double>{995, 1046, 1102, 987, 1150}));
    QVERIFY(!parts.decimal_comma()->isChecked());
    QVERIFY(!parts.decimal_comma()->isEnabled());  // the separator settles it
    QVERIFY(child<QLabel>(dialog.get(), "layout_label")
                ->text()
                .contains("decimal point, thousands separated by commas"));
    parts.thousands()->setCurrentIndex(0);
    QVERIFY(!parts.ok()->isEnabled());
    QVERIFY(!parts.decimal_comma()->isChecked());
    parts.decimal_comma()->click();
    QVERIFY(parts.decimal_comma()->isChecked());
    QCOMPARE(parts.message(), QString());
    QCOMPARE(parts.loaded_values(), (QList<double>{995, 1.046, 1.102, 987, 1.15}));
  }

  // The user's choices override detection, and stay as the table is read again.
  void overrides_and_picked_columns() {
    const auto dialog = dialog_for(air_passengers(), 36);
    const DialogParts parts(dialog.get());
    // Without a header, the names are values: no column starts with a
    // number, and the one picked then holds text in its first line.
    parts.header()->click();
    QVERIFY(!parts.header()->isChecked());
    QVERIFY(child<QLabel>(dialog.get(), "layout_label")->text().contains("no header line,"));
    QVERIFY2(parts.message().startsWith("Nothing can be loaded: no column holds numbers"),
             qPrintable(parts.message()));
    QVERIFY(!parts.ok()->isEnabled());
    parts.value_column()->setCurrentIndex(1);
    QVERIFY2(parts.message().startsWith(
                 "Nothing can be loaded: line 1, column 2: \"passengers\" is not a number"),
             qPrintable(parts.message()));
    parts.header()->click();
    QCOMPARE(parts.value_column()->currentText(), QStringLiteral("passengers (column 2)"));
    QVERIFY(parts.ok()->isEnabled());

    // Missing values filled when asked: the gaps between known values.
    const auto gaps = dialog_for(
        "date,low,high\n2024-01-01,1,10\n2024-01-02,,20\n"
        "2024-01-03,3,NaN\n2024-01-04,4,40\n2024-01-05,5,50\n",
        0);
    const DialogParts gap_parts(gaps.get());
    QCOMPARE(gap_parts.value_column()->currentText(), QStringLiteral("high (column 3)"));
    QVERIFY(gap_parts.message().contains("line 4, column 3 (\"high\")"));
    gap_parts.fill_missing()->click();
    QCOMPARE(gap_parts.loaded_values(), (QList<double>{10, 20, 30, 40, 50}));
    QVERIFY2(gap_parts.reading().contains("1 missing value filled"),
             qPrintable(gap_parts.reading()));
    // A column picked by its name; no time column when the user wants none.
    gap_parts.value_column()->setCurrentIndex(1);
    QCOMPARE(gap_parts.loaded_values(), (QList<double>{1, 2, 3, 4, 5}));
    QVERIFY(gaps->imported()->time.has_value());
    gap_parts.time_column()->setCurrentIndex(0);
    QVERIFY(gaps->imported().has_value());
    QVERIFY(!gaps->imported()->time.has_value());
    // One column, read whole when another delimiter is forced, refused; the
    // picked columns come back with the comma.
    gap_parts.delimiter()->setCurrentIndex(gap_parts.delimiter()->findText("Semicolon"));
    QVERIFY(!gap_parts.ok()->isEnabled());
    gap_parts.delimiter()->setCurrentIndex(0);
    QCOMPARE(gap_parts.value_column()->currentText(), QStringLiteral("low (column 2)"));
    QCOMPARE(gap_parts.time_column()->currentText(), QStringLiteral("(none)"));
    QCOMPARE(gap_parts.loaded_values(), (QList<double>{1, 2, 3, 4, 5}));
    // The column of the values picked for the time stamps: the values are
    // detected again beside it.
    gap_parts.time_column()->setCurrentIndex(2);
    QCOMPARE(gap_parts.value_column()->currentText(), QStringLiteral("high (column 3)"));
    QVERIFY(!gap_parts.ok()->isEnabled());  // "low" is no time stamp
  }

  // The counts follow the split point as it is typed or picked; the overlap
  // is the largest terminal table's, where the training part has room.
  void live_counts_follow_the_split_point_data() {
    QTest::addColumn<QString>("split");
    QTest::addColumn<QString>("counts");
    QTest::addColumn<QString>("message");
    QTest::newRow("a count")
        << "120"
        << "Training: 120 points, validation: 60 points (24 held out), overlap: 36"
        << "";
    QTest::newRow("its time stamp")
        << "1958-12"
        << "Training: 120 points, validation: 60 points (24 held out), overlap: 36"
        << "";
    QTest::newRow("a fraction")
        << "0.5"
        << "Training: 72 points, validation: 108 points (72 held out), overlap: 36"
        << "";
    QTest::newRow("room for fewer repeats")
        << "30"
        << "Training: 30 points, validation: 143 points (114 held out), overlap: 29"
        << "The validation part repeats 29 training values, fewer than the largest terminal "
           "table size, 36,";
    QTest::newRow("no such month")
        << "1961-01"
        << ""
        << "Nothing can be loaded: The split point: no row has the time stamp";
    QTest::newRow("nothing left to validate")
        << "144"
        << ""
        << "Nothing can be loaded: The split point: the split leaves no value";
  }
  void live_counts_follow_the_split_point() {
    QFETCH(QString, split);
    QFETCH(QString, counts);
    QFETCH(QString, message);
    const auto dialog = dialog_for(air_passengers(), 36);
    const DialogParts parts(dialog.get());
    parts.split()->setText(split);
    QCOMPARE(parts.counts(), counts);
    if (message.isEmpty()) {
      QCOMPARE(parts.message(), QString());
    } else {
      QVERIFY2(parts.message().startsWith(message), qPrintable(parts.message()));
    }
    QCOMPARE(parts.ok()->isEnabled(), !counts.isEmpty());
    if (counts.isEmpty()) return;
    QCOMPARE(dialog->imported()->split.training_count,
             static_cast<std::size_t>(parts.slider()->value()));
  }

  void the_slider_picks_the_last_training_row() {
    const auto dialog = dialog_for(air_passengers(), 36);
    const DialogParts parts(dialog.get());
    QCOMPARE(parts.slider()->minimum(), 1);
    QCOMPARE(parts.slider()->maximum(), 143);
    parts.slider()->setValue(100);
    QCOMPARE(parts.split()->text(), QStringLiteral("1957-04"));
    QVERIFY(parts.counts().startsWith("Training: 100 points, validation: 80 points"));
    QVERIFY(parts.reading().contains("(up to 1957-04)"));
    // Without time stamps, the count; a year after the mark, as a number is a count.
    const auto plain = dialog_for("level\n1\n2\n3\n4\n5\n", 1);
    DialogParts(plain.get()).slider()->setValue(3);
    QCOMPARE(DialogParts(plain.get()).split()->text(), QStringLiteral("3"));
    const auto years = dialog_for("year flow\n1871 1120\n1872 1160\n1873 963\n1874 1210\n", 1);
    const DialogParts year_parts(years.get());
    year_parts.slider()->setValue(2);
    QCOMPARE(year_parts.split()->text(), QStringLiteral("@1872"));
    QVERIFY(year_parts.counts().startsWith("Training: 2 points"));
    year_parts.split()->setText(QStringLiteral("3"));
    QCOMPARE(year_parts.slider()->value(), 3);
  }

  // OK loads exactly what loading the two example files loads, the overlap
  // field included; the status bar names the parts.
  void ok_loads_the_grids_of_the_two_example_files() {
    TestWindow imported;
    import_air_passengers(imported);
    TestWindow files;
    files.field(Setting::terminals, 0)->setText(QStringLiteral("36"));
    files.load_files(example_path("airpassengers-training.txt"),
                     example_path("airpassengers-validation.txt"));
    for (const int c : {0, 1}) {
      QCOMPARE(column(imported.training_model(), c), column(files.training_model(), c));
      QCOMPARE(column(imported.validation_model(), c), column(files.validation_model(), c));
    }
    QCOMPARE(imported.field(Setting::overlap)->text(), QStringLiteral("36"));
    QCOMPARE(imported.window.problem_tab().detected_overlap(), std::optional<std::int32_t>(36));
    QCOMPARE(files.field(Setting::overlap)->text(), QStringLiteral("36"));
    QCOMPARE(imported.window.data_status(), files.window.data_status());
    QVERIFY(imported.window.problem_tab().validation_loaded());
    QCOMPARE(imported.dialogs.messages, QStringList());
    QCOMPARE(imported.window.remembered_folder(),
             QDir::toNativeSeparators(QFileInfo(example_path("airpassengers.csv")).absolutePath()));
    // Cancel loads nothing.
    TestWindow cancelled;
    cancelled.dialogs.file_answers.emplace_back(example_path("airpassengers.csv"));
    cancelled.action("import_table_action")->trigger();
    open_dialog(cancelled)->reject();
    QVERIFY(!cancelled.window.problem_tab().training_loaded());
  }

  void an_unreadable_table_is_told_in_a_box() {
    TestWindow w;
    const QString missing = data_folder_.filePath("missing.csv");
    w.dialogs.file_answers.emplace_back(missing);
    w.action("import_table_action")->trigger();
    QCOMPARE(open_dialog(w), nullptr);
    QCOMPARE(w.dialogs.messages.size(), 1);
    QVERIFY2(w.dialogs.messages[0].startsWith("File cannot be opend.\n\"" +
                                              QDir::toNativeSeparators(missing) + "\": "),
             qPrintable(w.dialogs.messages[0]));
  }

  // A table dropped on the training grid or anywhere on the window opens the
  // dialog; a data file dropped on the grid still loads as the training
  // series, and elsewhere on the window is not taken.
  void dropped_tables_open_the_dialog_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("on_grid");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<bool>("dialog");
    const QByteArray table = "month,passengers\n1949-01,112\n1949-02,118\n1949-03,132\n";
    QTest::newRow(".csv on the grid") << "a.csv" << table << true << true << true;
    QTest::newRow("a table in a .txt, on the window") << "a.txt" << table << false << true << true;
    QTest::newRow("a data file on the grid")
        << "plain.txt" << QByteArray("112\n118\n132\n") << true << true << false;
    QTest::newRow("a data file on the window")
        << "plain.txt" << QByteArray("112\n118\n132\n") << false << false << false;
    QTest::newRow("a headerless table on the grid: a data file, as before")
        << "b.txt" << QByteArray("1949-01,112\n1949-02,118\n") << true << true << false;
  }
  void dropped_tables_open_the_dialog() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, on_grid);
    QFETCH(bool, taken);
    QFETCH(bool, dialog);
    TestWindow w;
    const auto data = file_drag(write_file(data_folder_, name, content));
    QWidget* target = on_grid ? w.training_grid()->viewport() : static_cast<QWidget*>(&w.window);
    QCOMPARE(drop_on(target, *data), taken);
    // What a drop opens follows the drop, once it has ended.
    QTest::qWait(20);
    QCOMPARE(open_dialog(w) != nullptr, dialog);
    QCOMPARE(w.window.problem_tab().training_loaded(), taken && !dialog);
  }

  // The data preview and the prediction chart show the table's months, the
  // forecast past the data the months after it; data files bring the
  // indices back.
  // After an import the grids' time column shows the table's stamps, and
  // Ctrl+C copies them; their cells keep the indices a load of two files
  // gives, as the output files do. Data files bring the indices back.
  void the_grids_show_and_copy_the_time_stamps() {
    TestWindow w;
    import_air_passengers(w);
    const QTableView* training = w.training_grid();
    QCOMPARE(training->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("month"));
    const auto shown = [](const QTableView* grid, int row) {
      return grid->model()->index(row, 0).data().toString();
    };
    QCOMPARE(shown(training, 0), QStringLiteral("1949-01"));
    QCOMPARE(shown(training, 119), QStringLiteral("1958-12"));
    QCOMPARE(w.training_model()->cell(0, 119), QStringLiteral("119"));
    // The validation part repeats the last 36 training months, then holds out the rest.
    QCOMPARE(shown(w.validation_grid(), 0), QStringLiteral("1956-01"));
    QCOMPARE(shown(w.validation_grid(), 59), QStringLiteral("1960-12"));
    QCOMPARE(w.validation_model()->cell(0, 0), QStringLiteral("120"));
    QVERIFY(!(w.training_model()->flags(w.training_model()->index(0, 0)) & Qt::ItemIsEditable));

    QTableView* grid = w.training_grid();
    grid->selectionModel()->select(
        QItemSelection(grid->model()->index(0, 0), grid->model()->index(1, 1)),
        QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("month\tValue\n1949-01\t112\n1949-02\t118\n"));

    // The output grids of a run of the table: the months, the steps past the
    // data too.
    w.field(Setting::generations)->setText(QStringLiteral("1"));
    w.field(Setting::population_size, 0)->setText(QStringLiteral("40"));
    w.field(Setting::elite, 0)->setText(QStringLiteral("2"));
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("3"));
    w.start_and_wait();
    const QTableView* output = w.output_grid(0);
    QCOMPARE(shown(output, 0), QStringLiteral("1949-01"));
    QCOMPARE(shown(output, 120), QStringLiteral("1956-01"));
    QCOMPARE(shown(output, 182), QStringLiteral("1961-03"));
    QCOMPARE(w.output_model(0)->cell(0, 182), QStringLiteral("182"));

    w.load_texts(data_folder_, quarvel::ui::testing::wave_text(0, 90),
                 quarvel::ui::testing::wave_text(90, 30));
    QCOMPARE(training->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Time"));
    QCOMPARE(shown(training, 5), QStringLiteral("5"));
    QVERIFY(w.training_model()->flags(w.training_model()->index(0, 0)) & Qt::ItemIsEditable);
  }

  void the_charts_show_the_time_stamps() {
    TestWindow w;
    import_air_passengers(w);
    w.window.draw_data_plot();
    quarvel::ui::ChartView* plot = w.window.data_plot_window().chart_view();
    QVERIFY(quarvel::ui::time_scale_of(plot) != nullptr);
    QCoreApplication::processEvents();
    QVERIFY2(!time_axis_labels(plot->chart()).isEmpty() &&
                 time_axis_labels(plot->chart()).constFirst().startsWith("19"),
             qPrintable(time_axis_labels(plot->chart()).join(' ')));
    // Each validation point at the month it repeats or holds out.
    QCOMPARE(plot->points(0).constFirst().x(), 1949.0);
    QCOMPARE(plot->points(1).constFirst().x(), 1956.0);  // the 36th month before 1959-01
    QCOMPARE(plot->points(1).constLast().x(), 1960.0 + 11.0 / 12.0);

    w.field(Setting::generations)->setText(QStringLiteral("2"));
    w.field(Setting::population_size, 0)->setText(QStringLiteral("40"));
    w.field(Setting::elite, 0)->setText(QStringLiteral("2"));
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("3"));
    w.start_and_wait();
    QCOMPARE(w.dialogs.messages, QStringList());
    quarvel::ui::ChartView* prediction = w.prediction_chart();
    QVERIFY(quarvel::ui::time_scale_of(prediction) != nullptr);
    QCOMPARE(prediction->points(ResultsView::real_data_series).size(),
             144);  // the repeated months once
    const QByteArray csv = quarvel::ui::chart_file(prediction, quarvel::ui::ChartFormat::csv);
    QVERIFY(csv.startsWith("series,x,y,time\nReal Data,1949,"));
    QVERIFY2(csv.contains("\nForecast1,1961,") && csv.contains(",1961-03\n"), csv.constData());
    // The prediction bands at the months too: from the first held-out month
    // to the last step past the data.
    const QList<QPointF> band = prediction->points(ResultsView::first_band_series);
    QCOMPARE(band.constFirst().x(), 1959.0);
    QCOMPARE(band.constLast().x(), 1961.0 + 2.0 / 12.0);
    QCOMPARE(prediction->lower_points(ResultsView::first_band_series).constFirst().x(), 1959.0);
    // The output grid keeps its indices.
    QCOMPARE(w.output_model(0)->cell(0, 180), QStringLiteral("180"));

    // Data files: indices again, in the preview at once and in the next run.
    w.load_texts(data_folder_, quarvel::ui::testing::wave_text(0, 90),
                 quarvel::ui::testing::wave_text(90, 30));
    QCOMPARE(quarvel::ui::time_scale_of(plot), nullptr);
    w.window.draw_data_plot();
    QCOMPARE(quarvel::ui::time_scale_of(plot), nullptr);
    QCOMPARE(plot->points(0).constFirst().x(), 0.0);
    w.start_and_wait();
    QCOMPARE(quarvel::ui::time_scale_of(prediction), nullptr);
  }
};

QTEST_MAIN(ImportTest)
#include "test_import.moc"
