// A table's time stamps on a chart: where the points of a split series stand
// in time, the calendar ticks and their labels, and a chart's time axis as it
// follows a zoom, an export and its removal.
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>
#include <string>
#include <vector>

#include "data/timestamps.h"
#include "support/TestWindow.h"
#include "ui/ChartExport.h"
#include "ui/ChartView.h"
#include "ui/TimeAxis.h"
#include "ui/charts.h"

using quarvel::data::TimeColumn;
using quarvel::data::TimeFormat;
using quarvel::data::TimeKind;
using quarvel::ui::TimeScale;
using quarvel::ui::TimeTick;
using quarvel::ui::testing::time_axis_labels;

namespace {

TimeColumn time_column(const std::vector<std::string>& cells) {
  auto read = quarvel::data::read_time_column(cells);
  if (!read.column) qFatal("not a time column: %s", read.message.c_str());
  return *read.column;
}

// "1949-01" ... for `count` months from January 1949.
std::vector<std::string> months(int count) {
  std::vector<std::string> cells;
  cells.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    cells.push_back(QStringLiteral("%1-%2")
                        .arg(1949 + k / 12)
                        .arg(k % 12 + 1, 2, 10, QLatin1Char('0'))
                        .toStdString());
  }
  return cells;
}

double x_of(const std::string& stamp) {
  const auto cell = quarvel::data::parse_time_stamp(stamp);
  return quarvel::data::chart_x(cell->stamp, cell->format.kind);
}

QStringList labels(const std::vector<TimeTick>& ticks) {
  QStringList texts;
  for (const TimeTick& tick : ticks) texts << tick.label;
  return texts;
}

}  // namespace

class TimeAxisTest : public QObject {
  Q_OBJECT

 private slots:
  // Twelve months split after eight with an overlap of three: the repeated
  // points stand at the training rows they repeat, the held-out ones at
  // theirs, and the steps past the data at the months that follow.
  void points_stand_at_the_time_of_their_rows() {
    const TimeScale scale(time_column(months(12)), 8, 3, QStringLiteral("month"), 2);
    QVERIFY(scale.fits(8, 7));
    QVERIFY(!scale.fits(8, 6));
    QVERIFY(!scale.fits(9, 7));
    QCOMPARE(scale.x_of_point(0), 1949.0);
    QCOMPARE(scale.x_of_point(7), x_of("1949-08"));
    QCOMPARE(scale.x_of_point(8), x_of("1949-06"));  // repeats row 5
    QCOMPARE(scale.x_of_point(11), x_of("1949-09"));
    QCOMPARE(scale.x_of_point(14), x_of("1949-12"));
    QCOMPARE(scale.x_of_point(15), 1950.0);  // the first step past the data
    QCOMPARE(scale.label_at(scale.x_of_point(16)), QStringLiteral("1950-02"));
    // Past the named steps, and between points, on by the mean step.
    QCOMPARE(scale.x_of_point(17), 1950.0 + 2.0 / 12.0);
    QCOMPARE(scale.x_of_point(0.5), 1949.0 + 0.5 / 12.0);
    QCOMPARE(scale.label_at(1949.0 + 0.5 / 12.0), QString());
    QCOMPARE(scale.label_at(x_of("1949-03")), QStringLiteral("1949-03"));

    QList<QPointF> points;
    for (int p = 0; p < 17; ++p) points.append(QPointF(p, p * 10.0));
    const QList<QPointF> curve = scale.on_time(points, false);
    QCOMPARE(curve.size(), 14);  // 12 rows and 2 steps ahead: no point twice
    for (qsizetype k = 1; k < curve.size(); ++k) QVERIFY(curve[k].x() > curve[k - 1].x());
    QCOMPARE(curve[8], QPointF(x_of("1949-09"), 110.0));
    QCOMPARE(scale.on_time(points, true).size(), 17);
  }

  // Stamps without a constant step name nothing past the data: those steps
  // are placed by the mean step, unlabelled.
  void irregular_stamps_name_no_steps_ahead() {
    const TimeScale scale(time_column({"2024-01-01", "2024-01-02", "2024-01-05", "2024-01-07"}), 3,
                          1, QStringLiteral("day"), 2);
    const double last = x_of("2024-01-07");
    const double mean = (last - x_of("2024-01-01")) / 3.0;
    QCOMPARE(scale.x_of_point(4), last);
    QCOMPARE(scale.x_of_point(5), last + mean);
    QCOMPARE(scale.label_at(scale.x_of_point(5)), QString());
  }

  void ticks_fall_on_calendar_steps_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("most");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("yearly sunspots: every 50 years")
        << "1700"
        << "1988" << 7 << QStringList{"1700", "1750", "1800", "1850", "1900", "1950"};
    QTest::newRow("a few years: every year, no months")
        << "1871"
        << "1874" << 8 << QStringList{"1871", "1872", "1873", "1874"};
    QTest::newRow("monthly AirPassengers: every 2 years, as months")
        << "1949-01"
        << "1960-12" << 7
        << QStringList{"1950-01", "1952-01", "1954-01", "1956-01", "1958-01", "1960-01"};
    QTest::newRow("one year of months: every quarter")
        << "1949-01"
        << "1949-12" << 5 << QStringList{"1949-01", "1949-04", "1949-07", "1949-10"};
    QTest::newRow("daily: fortnights from a Monday")
        << "2024-01-01"
        << "2024-03-31" << 6 << QStringList{"2024-01-08", "2024-01-22", "2024-02-05",
                                            "2024-02-19", "2024-03-04", "2024-03-18"};
    QTest::newRow("hourly: every 6 hours") << "2024-01-01 00:00"
                                           << "2024-01-01 23:00" << 5
                                           << QStringList{"2024-01-01 00:00", "2024-01-01 06:00",
                                                          "2024-01-01 12:00", "2024-01-01 18:00"};
    QTest::newRow("date-times at months: written as dates")
        << "2024-01-01T00:00"
        << "2024-03-31T00:00" << 4 << QStringList{"2024-01-01", "2024-02-01", "2024-03-01"};
    QTest::newRow("seconds: written with them")
        << "2024-01-01T12:00:00"
        << "2024-01-01T12:00:40" << 4
        << QStringList{"2024-01-01T12:00:00", "2024-01-01T12:00:15", "2024-01-01T12:00:30"};
  }
  void ticks_fall_on_calendar_steps() {
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, most);
    QFETCH(QStringList, expected);
    const auto cell = quarvel::data::parse_time_stamp(first.toStdString());
    QVERIFY(cell.has_value());
    const std::vector<TimeTick> ticks = quarvel::ui::time_ticks(
        x_of(first.toStdString()), x_of(last.toStdString()), cell->format, most);
    QCOMPARE(labels(ticks), expected);
    for (const TimeTick& tick : ticks) {
      // Each tick stands where its own stamp does (a date-time's date at midnight).
      QString stamp = tick.label;
      if (cell->format.kind == TimeKind::date_time && stamp.size() == 10) stamp += " 00:00";
      QCOMPARE(tick.x, x_of(stamp.toStdString()));
    }
  }

  void numbers_and_empty_ranges_have_no_calendar_ticks() {
    QVERIFY(quarvel::ui::time_ticks(0.0, 10.0, TimeFormat{}, 6).empty());
    TimeFormat months_format;
    months_format.kind = TimeKind::year_month;
    QVERIFY(quarvel::ui::time_ticks(1950.51, 1950.55, months_format, 6).empty());
    QVERIFY(quarvel::ui::time_ticks(1950.0, std::nan(""), months_format, 6).empty());
  }

  // The chart shows the stamps on a labelled axis that follows a zoom and an
  // export's size, writes them into its CSV, and gets its own axis back.
  void a_chart_shows_the_time_axis_until_it_is_taken_away() {
    quarvel::ui::ChartView view;
    view.resize(320, 300);
    QChart* chart = view.chart();
    quarvel::ui::add_line_series(chart, QStringLiteral("curve"), Qt::blue, Qt::SolidLine, 1, true);
    quarvel::ui::attach_axes(chart, QStringLiteral("Index"), QStringLiteral("y"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    auto scale = std::make_shared<const TimeScale>(time_column(months(144)), 120, 0,
                                                   QStringLiteral("month"));
    quarvel::ui::show_time_axis(&view, scale);
    QList<QPointF> points;
    for (int p = 0; p < 144; ++p) points.append(QPointF(p, p % 12));
    view.set_points(0, scale->on_time(points, false));
    quarvel::ui::follow_points(chart);
    QCoreApplication::processEvents();
    QCOMPARE(quarvel::ui::time_scale_of(&view), scale.get());
    const auto* x_axis = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).at(0));
    // The range is the points', not widened to round years.
    QCOMPARE(x_axis->min(), 1949.0);
    QCOMPARE(x_axis->max(), x_of("1960-12"));
    QVERIFY(!x_axis->isVisible());
    // Whole years, as months, a year or more apart.
    const QStringList whole = time_axis_labels(chart);
    QVERIFY2(whole.size() >= 3 && whole.size() < 12, qPrintable(whole.join(' ')));
    for (const QString& label : whole) QVERIFY2(label.endsWith("-01"), qPrintable(label));

    const QRectF plot = chart->plotArea();
    chart->zoomIn(QRectF(plot.left(), plot.top(), plot.width() / 12.0, plot.height()));
    QCoreApplication::processEvents();
    const QStringList zoomed = time_axis_labels(chart);
    QVERIFY2(zoomed.contains("1949-07") && !zoomed.contains("1951-01"),
             qPrintable(zoomed.join(' ')));
    chart->zoomReset();
    QCoreApplication::processEvents();
    QCOMPARE(time_axis_labels(chart), whole);

    // A wider picture has room for more labels; the screen's come back after.
    {
      const quarvel::ui::ExportLayout layout(chart, QSizeF(3000, 600));
      QVERIFY2(time_axis_labels(chart).size() > whole.size(),
               qPrintable(time_axis_labels(chart).join(' ')));
    }
    QCOMPARE(time_axis_labels(chart), whole);

    const QByteArray csv = quarvel::ui::chart_file(&view, quarvel::ui::ChartFormat::csv);
    QVERIFY(csv.startsWith("series,x,y,time\ncurve,1949,0,1949-01\n"));
    QVERIFY(csv.endsWith(",11,1960-12\n"));

    quarvel::ui::show_time_axis(&view, nullptr);
    QCOMPARE(quarvel::ui::time_scale_of(&view), nullptr);
    QCOMPARE(chart->axes(Qt::Horizontal).size(), 1);
    QVERIFY(x_axis->isVisible());
    QCOMPARE(x_axis->titleText(), QStringLiteral("Index"));
    QVERIFY(quarvel::ui::chart_file(&view, quarvel::ui::ChartFormat::csv)
                .startsWith("series,x,y\ncurve,1949,0\n"));
    // And back again, as for the next table.
    quarvel::ui::show_time_axis(&view, scale);
    quarvel::ui::follow_points(chart);
    QCoreApplication::processEvents();
    QCOMPARE(time_axis_labels(chart), whole);
  }

  // Number stamps keep the chart's value axis, titled with the column's name.
  void number_stamps_keep_the_value_axis() {
    quarvel::ui::ChartView view;
    quarvel::ui::add_line_series(view.chart(), QStringLiteral("curve"), Qt::blue, Qt::SolidLine, 1,
                                 true);
    quarvel::ui::attach_axes(view.chart(), QStringLiteral("Index"), QStringLiteral("y"));
    quarvel::ui::show_time_axis(
        &view, std::make_shared<const TimeScale>(time_column({"0.5", "1", "1.5"}), 2, 0,
                                                 QStringLiteral("hours")));
    const QList<QAbstractAxis*> axes = view.chart()->axes(Qt::Horizontal);
    QCOMPARE(axes.size(), 1);
    QVERIFY(axes.constFirst()->isVisible());
    QCOMPARE(axes.constFirst()->titleText(), QStringLiteral("hours"));
    quarvel::ui::show_time_axis(&view, nullptr);
    QCOMPARE(axes.constFirst()->titleText(), QStringLiteral("Index"));
  }
};

QTEST_MAIN(TimeAxisTest)
#include "test_timeaxis.moc"
