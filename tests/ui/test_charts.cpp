// Thinning of long series for the charts: what each pixel column keeps, and
// a thinned series drawn again for a zoom, on a chart and in the data preview.
#include <QChart>
#include <QCheckBox>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QValueAxis>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "ui/ChartView.h"
#include "ui/DataPlotWindow.h"
#include "ui/HistoryChartWindow.h"
#include "ui/charts.h"

using quarvel::ui::thin_points;

namespace {

// A wavy curve with one spike up and one down.
QList<QPointF> curve(int count, int spike_up, int spike_down) {
  QList<QPointF> points;
  for (int k = 0; k < count; ++k) {
    double y = std::sin(0.013 * k) + 0.2 * std::sin(0.7 * k);
    if (k == spike_up) y = 10.0;
    if (k == spike_down) y = -10.0;
    points.append(QPointF(k, y));
  }
  return points;
}

struct Column {
  QPointF first, last;
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -std::numeric_limits<double>::infinity();
};

// Each pixel column's first and last point and its extremes; -1 and
// `columns` collect the points left and right of the view.
std::map<int, Column> columns_of(const QList<QPointF>& points, double low, double high,
                                 int columns) {
  std::map<int, Column> result;
  for (const QPointF& p : points) {
    int c = static_cast<int>(std::floor((p.x() - low) * (columns / (high - low))));
    if (p.x() < low) c = -1;
    if (p.x() > high) c = columns;
    if (p.x() == high) c = columns - 1;
    auto [it, fresh] = result.try_emplace(c);
    if (fresh) it->second.first = p;
    it->second.last = p;
    it->second.lowest = std::min(it->second.lowest, p.y());
    it->second.highest = std::max(it->second.highest, p.y());
  }
  return result;
}

bool in_order_within(const QList<QPointF>& part, const QList<QPointF>& whole) {
  auto at = whole.begin();
  for (const QPointF& p : part) {
    at = std::find(at, whole.end(), p);
    if (at == whole.end()) return false;
    ++at;
  }
  return true;
}

QList<QPointF> points_of(const QChart* chart, int index = 0) {
  return static_cast<QXYSeries*>(chart->series().at(index))->points();
}

}  // namespace

class ChartsTest : public QObject {
  Q_OBJECT

 private slots:
  void each_pixel_column_keeps_its_ends_and_extremes_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("all_kept");
    QTest::newRow("few points: all of them") << 1000 << 0.0 << 999.0 << 300 << true;
    QTest::newRow("40000 points on 300 columns") << 40000 << 0.0 << 39999.0 << 300 << false;
    QTest::newRow("a zoomed view") << 40000 << 12000.0 << 12800.0 << 250 << false;
    QTest::newRow("a view wider than the points") << 40000 << -500.0 << 45000.0 << 500 << false;
  }
  void each_pixel_column_keeps_its_ends_and_extremes() {
    QFETCH(int, count);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(int, columns);
    QFETCH(bool, all_kept);
    const QList<QPointF> points = curve(count, 12345 % count, 12400 % count);
    const QList<QPointF> thinned = thin_points(points, low, high, columns);
    if (all_kept) {
      QCOMPARE(thinned, points);
      return;
    }
    QVERIFY(thinned.size() <= qsizetype{4} * (columns + 2));
    QVERIFY(in_order_within(thinned, points));
    const auto expected = columns_of(points, low, high, columns);
    const auto kept = columns_of(thinned, low, high, columns);
    QCOMPARE(kept.size(), expected.size());
    for (const auto& [column, whole] : expected) {
      const Column& part = kept.at(column);
      QCOMPARE(part.first, whole.first);
      QCOMPARE(part.last, whole.last);
      QCOMPARE(part.lowest, whole.lowest);
      QCOMPARE(part.highest, whole.highest);
    }
    // The spikes are extremes of their columns, or of the parts beside the view.
    QVERIFY(thinned.contains(points[12345 % count]));
    QVERIFY(thinned.contains(points[12400 % count]));
  }

  // A chart shows a long series thinned, every point of a zoomed range, and
  // nothing of it once the series is cleared.
  void a_thinned_series_is_thinned_again_for_a_zoom() {
    quarvel::ui::ChartView view;
    view.resize(400, 300);
    QChart* chart = view.chart();
    auto* series = quarvel::ui::add_line_series(chart, QStringLiteral("curve"), Qt::blue,
                                                Qt::SolidLine, 1, true);
    quarvel::ui::attach_axes(chart, QStringLiteral("x"), QStringLiteral("y"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QList<QPointF> points = curve(40000, 20000, 30000);
    quarvel::ui::show_thinned_points(series, points);
    quarvel::ui::follow_points(chart);
    QCoreApplication::processEvents();

    const int width = static_cast<int>(chart->plotArea().width());
    QVERIFY(width > 100);
    QVERIFY(points_of(chart).size() <= 4 * width + 8);
    const auto* x_axis = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).at(0));
    const auto* y_axis = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).at(0));
    QVERIFY(x_axis->min() <= 0.0 && x_axis->max() >= 39999.0);
    QVERIFY(y_axis->min() <= -10.0 && y_axis->max() >= 10.0);

    chart->zoomIn(QRectF(chart->plotArea().left() + width / 2.0, chart->plotArea().top(), 2.0,
                         chart->plotArea().height()));
    const double low = x_axis->min();
    const double high = x_axis->max();
    QVERIFY(high - low < 4 * width);
    QList<QPointF> visible;
    for (const QPointF& p : points_of(chart)) {
      if (p.x() >= low && p.x() <= high) visible.append(p);
    }
    QList<QPointF> expected;
    for (const QPointF& p : points) {
      if (p.x() >= low && p.x() <= high) expected.append(p);
    }
    QCOMPARE(visible, expected);

    chart->zoomReset();
    QVERIFY(points_of(chart).size() <= 4 * width + 8);
    series->clear();
    chart->zoomIn(QRectF(chart->plotArea().center(), QSizeF(20.0, 20.0)));
    QVERIFY(points_of(chart).isEmpty());
  }

  // The axes span the data with a small margin, between ticks 1, 2, 2.5 or 5
  // times a power of ten apart: values that are never negative get no axis below 0
  // (an error, a generation), and the range is not rounded out to twice the
  // data's.
  void axes_fit_the_points_data() {
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("counts from 0 to 200") << QList<double>{0, 120, 200, 35} << 0.0 << 250.0;
    QTest::newRow("errors close to 0") << QList<double>{7.2e-5, 5e-5, 2e-5, 0.2e-5} << 0.0 << 8e-5;
    QTest::newRow("a single error of 0") << QList<double>{0.0} << 0.0 << 1.0;
    QTest::newRow("never positive") << QList<double>{-200, -20, -140} << -250.0 << 0.0;
    QTest::newRow("either side of 0") << QList<double>{-3, 5, 1} << -4.0 << 6.0;
    QTest::newRow("far from 0") << QList<double>{1003, 1017, 1009} << 1000.0 << 1020.0;
    QTest::newRow("indices 0 to 119") << QList<double>{0, 119} << 0.0 << 125.0;
  }
  void axes_fit_the_points() {
    QFETCH(QList<double>, values);
    QFETCH(double, low);
    QFETCH(double, high);
    quarvel::ui::ChartView view;
    view.resize(400, 300);
    QChart* chart = view.chart();
    quarvel::ui::add_line_series(chart, QStringLiteral("curve"), Qt::blue, Qt::SolidLine, 1, true);
    quarvel::ui::attach_axes(chart, QStringLiteral("x"), QStringLiteral("y"));
    QList<QPointF> points;
    for (int k = 0; k < values.size(); ++k) points.append(QPointF(k, values[k]));
    view.set_points(0, points);
    for (const bool following : {false, true}) {
      if (following) {
        quarvel::ui::follow_points(chart);
      } else {
        quarvel::ui::fit_axes(chart);
      }
      const auto* y_axis = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).at(0));
      QCOMPARE(y_axis->min(), low);
      QCOMPARE(y_axis->max(), high);
      const auto* x_axis = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).at(0));
      QCOMPARE(x_axis->min(), 0.0);
    }
  }

  // A first generation's error of 17500 beside errors near 1: on a log scale
  // the small ones are told apart; an error of 0 is left out there and comes
  // back on the linear scale.
  void the_fitness_window_offers_a_log_scale() {
    quarvel::ui::HistoryChartWindow window(quarvel::ui::HistoryChartWindow::fitness_layout());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::vector<std::vector<double>> validation{{17500, 8, 4, 2, 0}};
    const std::vector<std::vector<double>> training{{9000, 3, 1.5, 1, 0.5}};
    window.plot_histories(validation, training, 5);
    QChart* chart = window.chart_view()->chart();
    auto* solid = static_cast<QXYSeries*>(chart->series().at(0));
    const auto height_between = [&](double low, double high) {
      return chart->mapToPosition(QPointF(0, low), chart->series().at(0)).y() -
             chart->mapToPosition(QPointF(0, high), chart->series().at(0)).y();
    };
    QCOMPARE(solid->points().size(), 5);
    QVERIFY(height_between(1, 8) < 1.0);

    auto* check = window.findChild<QCheckBox*>(QStringLiteral("log_scale_check"));
    QSignalSpy toggled(&window, &quarvel::ui::HistoryChartWindow::log_scale_toggled);
    check->click();
    QVERIFY(window.log_scale());
    QCOMPARE(toggled.size(), 1);
    const QAbstractAxis* y_axis = solid->attachedAxes().at(1);
    QCOMPARE(y_axis->type(), QAbstractAxis::AxisTypeLogValue);
    QVERIFY(y_axis->isVisible());
    const auto* log_axis = static_cast<const QLogValueAxis*>(y_axis);
    // Decades from 0.1 to 100000, each labelled.
    QVERIFY(log_axis->min() <= 0.1 && log_axis->min() > 0.09);
    QVERIFY(log_axis->max() >= 1e5 && log_axis->max() < 1.1e5);
    QCOMPARE(log_axis->base(), 10.0);
    QCOMPARE(log_axis->tickCount(), 7);
    QCOMPARE(solid->points().size(), 4);  // the error of 0 is not drawn
    QVERIFY(height_between(1, 8) > chart->plotArea().height() / 10);

    window.set_log_scale(false);
    QVERIFY(!check->isChecked());
    QCOMPARE(toggled.size(), 1);  // told by the program, not the user
    QCOMPARE(solid->attachedAxes().at(1)->type(), QAbstractAxis::AxisTypeValue);
    QCOMPARE(solid->points().size(), 5);
  }

  // The data preview of 40000 values: a few triangles per pixel column, the
  // axes spanning every value.
  void the_data_preview_of_a_long_series() {
    quarvel::ui::DataPlotWindow preview;
    const QList<QPointF> points = curve(40000, 100, 39000);
    preview.set_points(quarvel::ui::DataPlotWindow::training, points);
    preview.show_plot();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    QChart* chart = preview.findChild<quarvel::ui::ChartView*>()->chart();
    const int width = static_cast<int>(chart->plotArea().width());
    const QList<QPointF> shown = points_of(chart, quarvel::ui::DataPlotWindow::training);
    QVERIFY(shown.size() <= 4 * width + 8);
    QVERIFY(shown.contains(points[100]));
    QVERIFY(shown.contains(points[39000]));
    const auto* x_axis = static_cast<QValueAxis*>(chart->axes(Qt::Horizontal).at(0));
    const auto* y_axis = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).at(0));
    QVERIFY(x_axis->min() <= 0.0 && x_axis->max() >= 39999.0);
    QVERIFY(y_axis->min() <= -10.0 && y_axis->max() >= 10.0);
  }
};

QTEST_MAIN(ChartsTest)
#include "test_charts.moc"
