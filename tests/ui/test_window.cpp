// The window as a place to work: a save that keeps the data safe, progress
// counts shown whole, grids that let the keyboard go and fit their columns, a
// tree text that keeps the reader's place, the abort question before a close,
// fields that go back to what they held, charts of any values that explain
// themselves and leave the window, a window that grows, the status bar and
// the settings remembered from one start to the next.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QMenu>
#include <QPlainTextDocumentLayout>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QValueAxis>
#include <QXYSeries>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <thread>

#include "runs/settings.h"
#include "support/TestWindow.h"
#include "ui/AccuracyTable.h"
#include "ui/SettingsStore.h"
#include "ui/style.h"

using quarvel::runs::Setting;
using quarvel::ui::ChartView;
using quarvel::ui::GridModel;
using quarvel::ui::MainWindow;
using quarvel::ui::ResultsView;
using quarvel::ui::RunDriver;
using quarvel::ui::testing::GenerationHold;
using quarvel::ui::testing::read_all;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::wave_text;
using quarvel::ui::testing::WindowFixture;
using quarvel::ui::testing::write_file;

namespace {

const QString kAbortQuestion = QStringLiteral("Venko|Are you sure you want to abort this GP run?");

// WCAG contrast of a colour against white.
double contrast_on_white(const QColor& colour) {
  const auto linear = [](double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  const double luminance = 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
                           0.0722 * linear(colour.blueF());
  return 1.05 / (luminance + 0.05);
}

// Where a point of series `index` is drawn, in the chart's coordinates.
QPointF drawn_at(const ChartView* view, int index, const QPointF& shown) {
  return view->chart()->mapToPosition(shown, view->series(index));
}

// Whether a value axis's tick labels stand apart: each label fits between its
// neighbouring ticks.
bool tick_labels_fit(const ChartView* view, Qt::Orientation orientation) {
  const auto* axis = qobject_cast<QValueAxis*>(view->chart()->axes(orientation).constFirst());
  const QRectF plot = view->chart()->plotArea();
  const int ticks = axis->tickCount();
  if (ticks < 2) return true;
  const QFontMetricsF metrics(axis->labelsFont());
  if (orientation == Qt::Vertical) {
    return metrics.height() <= plot.height() / (ticks - 1);
  }
  double widest = 0.0;
  for (int k = 0; k < ticks; ++k) {
    const double value = axis->min() + (axis->max() - axis->min()) * k / (ticks - 1);
    widest = std::max(widest, metrics.horizontalAdvance(QString::asprintf("%g", value)));
  }
  return widest <= plot.width() / (ticks - 1);
}

// The texts of a chart that are drawn cut short ("MDL of b..."): axis titles,
// tick labels and legend entries, as the chart lays them out now.
QStringList cut_texts(const ChartView* view) {
  QStringList cut;
  for (const QGraphicsItem* item : view->chart()->scene()->items()) {
    const auto* text = dynamic_cast<const QGraphicsTextItem*>(item);
    if (text == nullptr || !text->isVisible()) continue;
    const QString shown = text->toPlainText();
    if (shown.contains(QStringLiteral("...")) || shown.contains(QChar(0x2026))) cut << shown;
  }
  return cut;
}

}  // namespace

class WindowTest : public QObject, protected WindowFixture {
  Q_OBJECT

 private:
  // Small runs, with an overlap of 5.
  void prepare_run(int generations, int populations) {
    prepare_small_run(generations, populations);
    window_->field(Setting::overlap)->setText(QStringLiteral("5"));
  }

  void show_window() {
    window().show();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { window_ = std::make_unique<TestWindow>(); }
  void cleanup() { window_.reset(); }

  // A save never writes over the loaded data, and asks before it replaces a file.
  void save_keeps_the_data_files_and_asks_before_replacing() {
    auto& w = *window_;
    auto& dialogs = w.dialogs;
    prepare_run(1, 1);
    w.start_and_wait();
    const QString training = data_folder_.filePath(QStringLiteral("training.txt"));
    const QString validation = data_folder_.filePath(QStringLiteral("validation.txt"));
    const QByteArray training_text = read_all(training);
    const QByteArray validation_text = read_all(validation);

    dialogs.answer_yes = true;  // even a user who would agree to replace it
    for (const auto& [path, what] : {std::pair{training, QStringLiteral("training")},
                                     std::pair{validation, QStringLiteral("validation")}}) {
      dialogs.messages.clear();
      dialogs.file_answers.push_back(path);
      w.window.save_output(0);
      QCOMPARE(dialogs.messages.size(), 1);
      QVERIFY2(dialogs.messages[0].contains(QDir::toNativeSeparators(path)),
               qPrintable(dialogs.messages[0]));
      QVERIFY2(dialogs.messages[0].contains(QStringLiteral("loaded %1 data").arg(what)),
               qPrintable(dialogs.messages[0]));
    }
    QCOMPARE(read_all(training), training_text);
    QCOMPARE(read_all(validation), validation_text);
    QCOMPARE(dialogs.questions, QStringList());

    // Another existing file: No keeps it, Yes replaces it.
    const QString other = write_file(data_folder_, "notes.txt", "keep me\n");
    dialogs.messages.clear();
    dialogs.answer_yes = false;
    dialogs.file_answers.push_back(other);
    w.window.save_output(0);
    QCOMPARE(read_all(other), QByteArray("keep me\n"));
    QCOMPARE(dialogs.questions,
             QStringList{QStringLiteral("Quarvel ver0.0|\"notes.txt\" already exists.\n"
                                        "Do you want to replace it?")});
    dialogs.answer_yes = true;
    dialogs.file_answers.push_back(other);
    w.window.save_output(0);
    QVERIFY(read_all(other).startsWith("0,"));
    QCOMPARE(dialogs.messages, QStringList());

    // A new name is written without a question.
    dialogs.questions.clear();
    dialogs.file_answers.push_back(data_folder_.filePath(QStringLiteral("new.txt")));
    w.window.save_output(0);
    QCOMPARE(dialogs.questions, QStringList());
    QVERIFY(read_all(data_folder_.filePath(QStringLiteral("new.txt"))).startsWith("0,"));
  }

  // "NoK:　g / G" whole for any count the settings allow, at the first size.
  void progress_labels_show_whole_counts_data() {
    QTest::addColumn<int>("generations");
    QTest::newRow("999") << 999;
    QTest::newRow("3000") << 3000;
    QTest::newRow("20000") << 20000;
    QTest::newRow("largest") << std::numeric_limits<int>::max();
  }
  void progress_labels_show_whole_counts() {
    QFETCH(int, generations);
    auto& w = *window_;
    show_window();
    w.window.tabs().setCurrentWidget(w.results_tab());
    const std::vector<double> data(120, 0.5);
    w.window.results_view().start_run_display(data, 4, generations, 95);
    // The first generation shown; the widest text comes at the last.
    quarvel::runs::GenerationResults results;
    results.populations.resize(4);
    for (auto& population : results.populations) population.prediction = data;
    quarvel::ui::ResultHistories histories(4, 1);
    histories.record(results);
    w.window.results_view().show_generation(results, histories, generations,
                                            w.window.prediction_markers(),
                                            std::vector<std::string>(4));
    const auto last = QStringLiteral("No4:") + QChar(0x3000) + QString::number(generations) +
                      QStringLiteral(" / ") + QString::number(generations);
    QCoreApplication::processEvents();
    for (int p = 0; p < 4; ++p) {
      QLabel* label = w.progress_label(p);
      label->setText(last);  // the widest text of the run
      QVERIFY2(label->fontMetrics().horizontalAdvance(last) <= label->width(),
               qPrintable(label->objectName()));
      QVERIFY(label->parentWidget()->rect().contains(label->geometry()));
    }
    // Neither runs into the buttons.
    const QRect labels = w.progress_label(0)->geometry();
    QVERIFY(!labels.intersects(w.start_button()->geometry()));
  }

  // Tab leaves a grid, Shift+Tab comes back; the arrows move between cells.
  void tab_leaves_a_grid_and_the_arrows_move_between_cells() {
    auto& w = *window_;
    show_window();
    load("1\n2\n3\n", "3\n4\n");
    for (QTableView* grid : {w.training_grid(), w.validation_grid()}) {
      grid->setFocus();
      QTRY_COMPARE(QApplication::focusWidget(), grid);
      grid->setCurrentIndex(grid->model()->index(0, 0));
      QTest::keyClick(grid, Qt::Key_Right);
      QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));
      QTest::keyClick(grid, Qt::Key_Down);
      QCOMPARE(grid->currentIndex(), grid->model()->index(1, 1));
      QTest::keyClick(grid, Qt::Key_Tab);
      QWidget* after = QApplication::focusWidget();
      QVERIFY(after != nullptr && after != grid && !grid->isAncestorOf(after));
      QTest::keyClick(after, Qt::Key_Backtab);
      QTRY_VERIFY(QApplication::focusWidget() == grid ||
                  grid->isAncestorOf(QApplication::focusWidget()));
      // Also from a cell being edited.
      grid->edit(grid->model()->index(0, 1));
      QWidget* editor = QApplication::focusWidget();
      QVERIFY(grid->isAncestorOf(editor));
      QTest::keyClicks(editor, QStringLiteral("7"));
      QTest::keyClick(editor, Qt::Key_Tab);
      QTRY_VERIFY(!grid->isAncestorOf(QApplication::focusWidget()) &&
                  QApplication::focusWidget() != grid);
      QCOMPARE(grid->model()->data(grid->model()->index(0, 1)).toString(), QStringLiteral("7"));
    }
  }

  // The grids' own headers name the columns, which share the grid's width.
  void grids_show_their_headings_and_fit_their_columns() {
    auto& w = *window_;
    show_window();
    load("1\n2\n-7.77778E-254\n", "3\n4\n");
    const QList<std::pair<QTableView*, QStringList>> grids{
        {w.training_grid(), {"Time", "Value"}},
        {w.validation_grid(), {"Time", "Value"}},
        {w.output_grid(0), {"Index", "Scaled value"}}};
    for (const auto& [grid, headings] : grids) {
      w.window.tabs().setCurrentWidget(
          grid->window() == &w.window && w.results_tab()->isAncestorOf(grid) ? w.results_tab()
                                                                             : w.problem_tab());
      QCoreApplication::processEvents();
      QVERIFY(grid->horizontalHeader()->isVisible());
      for (int column = 0; column < 2; ++column) {
        QCOMPARE(grid->model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
      }
      QCOMPARE(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
      QVERIFY(grid->horizontalHeader()->length() <= grid->viewport()->width());
      QVERIFY(grid->columnWidth(1) >=
              grid->fontMetrics().horizontalAdvance(QStringLiteral("-7.77778E-254")));
    }
    // Editing a value keeps the time column in sight.
    QTableView* training = w.training_grid();
    w.window.tabs().setCurrentWidget(w.problem_tab());
    training->setFocus();
    training->setCurrentIndex(training->model()->index(2, 1));
    training->edit(training->currentIndex());
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor != nullptr && editor != training);
    QTest::keyClicks(editor, QStringLiteral("123456789"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(training->horizontalScrollBar()->value(), 0);
    QCOMPARE(training->columnViewportPosition(0), 0);
  }

  // The tree text keeps the reader's place from generation to generation and
  // shows every line as printed, never broken inside a number.
  void best_tree_text_keeps_its_place_and_its_numbers_whole() {
    auto& w = *window_;
    show_window();
    prepare_run(8, 2);
    QPlainTextEdit* text = w.best_trees_text();
    int place = -1;
    QList<int> places_after;
    window_->after_each_generation([&](int g) {
      QScrollBar* bar = text->verticalScrollBar();
      if (g == 1) {
        bar->setValue(bar->maximum());  // reading population 2
        place = bar->value();
      } else if (g > 1) {
        places_after << bar->value();
      }
    });
    w.start_and_wait();
    QVERIFY(place > 0);
    QVERIFY(!places_after.isEmpty());
    for (const int after : places_after) QCOMPARE(after, place);
    const auto* layout =
        qobject_cast<QPlainTextDocumentLayout*>(text->document()->documentLayout());
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
      layout->ensureBlockLayout(block);  // also the blocks scrolled out of view
      QCOMPARE(block.layout()->lineCount(), 1);
    }
    QVERIFY(text->toPlainText().contains(QStringLiteral("Population:2")));
  }

  // Closing the window or Exit during a run asks the abort question first;
  // No keeps the run going.
  void closing_or_exit_during_a_run_asks_first_data() {
    QTest::addColumn<bool>("exit");
    QTest::addColumn<bool>("agree");
    QTest::newRow("close, No") << false << false;
    QTest::newRow("close, Yes") << false << true;
    QTest::newRow("Exit, No") << true << false;
    QTest::newRow("Exit, Yes") << true << true;
  }
  void closing_or_exit_during_a_run_asks_first() {
    QFETCH(bool, exit);
    QFETCH(bool, agree);
    auto& w = *window_;
    show_window();
    prepare_run(6, 1);
    w.dialogs.answer_yes = agree;
    window_->after_each_generation([&](int g) {
      if (g != 1) return;
      if (exit) {
        w.action("exit_action")->trigger();
      } else {
        QVERIFY(!w.window.close());  // never closed under the running loop
      }
    });
    w.start_and_wait();
    QCOMPARE(w.dialogs.questions, QStringList{kAbortQuestion});
    const auto shown = w.mdl_chart()->points(0).size();
    QCOMPARE(shown, agree ? 2 : 6);
    QVERIFY2(w.window.run_status().startsWith(
                 agree ? QStringLiteral("Not running \u2014 aborted at generation 2")
                       : QStringLiteral("Not running \u2014 finished in ")),
             qPrintable(w.window.run_status()));
    if (exit) {
      QCOMPARE(w.dialogs.end_statuses, agree ? std::vector<int>{0} : std::vector<int>{});
      QVERIFY(w.window.isVisible());  // the fake does not end the process
    } else {
      QCOMPARE(w.window.isVisible(), !agree);
    }
  }

  // A refused field returns at once to what it held when the user entered it.
  void a_refused_field_returns_to_its_text_on_entry() {
    auto& w = *window_;
    show_window();
    QLineEdit* field = w.field(Setting::generations);
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("ab"));
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("c"));
    QCOMPARE(field->text(), QStringLiteral("ac"));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(w.dialogs.messages,
                 QStringList{QStringLiteral("The value must be a natural number.")});
    QTRY_COMPARE(QApplication::focusWidget(), field);
    QCOMPARE(field->text(), QStringLiteral("50"));
    QTest::keyClick(field, Qt::Key_Tab);  // leaving it again: nothing more to say
    QTest::qWait(20);
    QCOMPARE(w.dialogs.messages.size(), 1);

    // Entered again, a field returns to the text of that visit.
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("7"));
    QTest::keyClick(field, Qt::Key_Tab);
    QTest::qWait(20);
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("0"));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(w.dialogs.messages.size(), 2);
    QTRY_COMPARE(field->text(), QStringLiteral("7"));
  }

  void about_box_closes_with_ok_and_escape() {
    auto& w = *window_;
    auto& about = w.window.about_dialog();
    w.window.show_about();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* ok = quarvel::ui::testing::child<QPushButton>(&about, QStringLiteral("ok_button"));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(about.rect().contains(ok->geometry()));
    ok->click();
    QVERIFY(!about.isVisible());
    w.window.show_about();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());
  }

  // Values at the ends of the double range are drawn inside the plot; their
  // axis says by which power of ten they are shown.
  void charts_show_extreme_values() {
    auto& w = *window_;
    load("-1e308\n1e308\n5\n", "1.7e308\n");
    w.window.draw_data_plot();
    ChartView* preview = w.window.data_plot_window().chart_view();
    QVERIFY(QTest::qWaitForWindowExposed(preview->window()));
    QCoreApplication::processEvents();
    const QRectF plot = preview->chart()->plotArea().adjusted(-1, -1, 1, 1);
    for (int series = 0; series < 2; ++series) {
      const QList<QPointF> shown = preview->series(series)->points();
      QVERIFY(!shown.isEmpty());
      for (const QPointF& point : shown) {
        const QPointF at = drawn_at(preview, series, point);
        QVERIFY2(plot.contains(at),
                 qPrintable(QStringLiteral("(%1, %2)").arg(point.x()).arg(point.y())));
      }
    }
    QCOMPARE(preview->points(0)[1], QPointF(1, 1e308));  // true values kept
    // One notation: the title names the factor as the ticks write numbers,
    // and the ticks read as plain numbers beside it.
    QCOMPARE(preview->y_exponent(), 308);
    const auto* y_axis =
        qobject_cast<const QValueAxis*>(preview->chart()->axes(Qt::Vertical).constFirst());
    QCOMPARE(y_axis->titleText(), QStringLiteral("Y (\u00D71e+308)"));
    QVERIFY(y_axis->min() >= -10.0 && y_axis->max() <= 10.0);
    for (const auto* axis : preview->chart()->axes()) {
      const auto* values = qobject_cast<const QValueAxis*>(axis);
      QVERIFY(std::isfinite(values->min()) && std::isfinite(values->max()));
      for (int k = 0; k < values->tickCount(); ++k) {
        const double tick =
            values->min() + (values->max() - values->min()) * k / (values->tickCount() - 1);
        QVERIFY2(!QString::asprintf(values->labelFormat().toLatin1().constData(), tick)
                      .contains(QLatin1Char('e')),
                 qPrintable(values->titleText()));
      }
    }

    // A single value next to the largest double, and back to ordinary values.
    load("1.79e308\n", "1.79e308\n");
    w.window.draw_data_plot();
    QCoreApplication::processEvents();
    const QPointF single = preview->series(0)->points().constFirst();
    QVERIFY(
        preview->chart()->plotArea().adjusted(-1, -1, 1, 1).contains(drawn_at(preview, 0, single)));
    load("1\n2\n", "3\n");
    w.window.draw_data_plot();
    QCOMPARE(preview->y_exponent(), 0);
    QCOMPARE(preview->chart()->axes(Qt::Vertical).constFirst()->titleText(), QStringLiteral("Y"));
  }

  // The charts, the tree text and the grids take what the window grows by,
  // and it cannot shrink below the size at which every control is whole.
  void the_charts_get_what_the_window_grows_by() {
    auto& w = *window_;
    show_window();
    const QSize first = w.window.size();
    w.window.tabs().setCurrentWidget(w.results_tab());
    QCoreApplication::processEvents();
    const QList<QWidget*> growing{w.mdl_chart(), w.mse_chart(), w.prediction_chart(),
                                  w.best_trees_text()};
    QList<QSize> before;
    for (QWidget* widget : growing) before << widget->size();
    w.window.tabs().setCurrentWidget(w.problem_tab());
    QCoreApplication::processEvents();
    const QSize grid_before = w.training_grid()->size();

    // Maximised: whatever the screen gives beyond the first size goes to them too.
    w.window.tabs().setCurrentWidget(w.results_tab());
    w.window.showMaximized();
    QTRY_VERIFY(w.window.isMaximized());
    QCoreApplication::processEvents();
    if (w.window.width() > first.width())
      QVERIFY(w.prediction_chart()->width() > before[2].width());
    w.window.showNormal();
    w.window.resize(1280, 1000);
    QTRY_COMPARE(w.window.size(), QSize(1280, 1000));
    w.window.tabs().setCurrentWidget(w.problem_tab());
    QCoreApplication::processEvents();
    QVERIFY(w.training_grid()->height() > grid_before.height() + 200);
    w.window.tabs().setCurrentWidget(w.results_tab());
    QCoreApplication::processEvents();
    for (int i = 0; i < growing.size(); ++i) {
      QVERIFY2(growing[i]->width() > before[i].width() + 200, qPrintable(growing[i]->objectName()));
      QVERIFY2(growing[i]->height() > before[i].height() + 100,
               qPrintable(growing[i]->objectName()));
    }
    QVERIFY2(w.output_grid(0)->height() > 110,
             qPrintable(QString::number(w.output_grid(0)->height())));

    // The first size is the smallest the window takes, nearly: it cannot go below its minimum.
    QVERIFY(w.window.minimumSizeHint().width() <= first.width());
    QVERIFY(w.window.minimumSizeHint().height() <= first.height());
    w.window.resize(300, 200);
    QCoreApplication::processEvents();
    QVERIFY(w.window.width() >= w.window.minimumSizeHint().width());
    QVERIFY(w.window.height() >= w.window.minimumSizeHint().height());

    // The chart windows grow too.
    for (QWidget* secondary : std::initializer_list<QWidget*>{&w.window.data_plot_window(),
                                                              &w.window.fitness_window()}) {
      secondary->show();
      QVERIFY(QTest::qWaitForWindowExposed(secondary));
      auto* chart = secondary->findChild<ChartView*>();
      const QSize small = chart->size();
      secondary->resize(secondary->width() + 300, secondary->height() + 200);
      QTRY_VERIFY(chart->width() >= small.width() + 250);
      QVERIFY(chart->height() >= small.height() + 150);
    }
  }

  // Legends name the populations of the run; every chart says how to zoom;
  // population 4 reads on white; tick labels stay whole after a zoom.
  void charts_explain_themselves() {
    auto& w = *window_;
    show_window();
    prepare_run(3, 2);
    w.start_and_wait();
    for (ChartView* view : {w.mdl_chart(), w.mse_chart(), w.prediction_chart()}) {
      QVERIFY(view->chart()->legend()->isVisible());
      const int first = view == w.prediction_chart() ? ResultsView::first_population_series : 0;
      for (int p = 0; p < 4; ++p) {
        const auto markers = view->chart()->legend()->markers(view->series(first + p));
        QCOMPARE(markers.constFirst()->isVisible(), p < 2);
        QCOMPARE(markers.constFirst()->label(), QStringLiteral("No%1").arg(p + 1));
      }
      QVERIFY(view->toolTip().contains(QStringLiteral("zoom")));
      // Every entry whole.
      QCoreApplication::processEvents();
      for (QLegendMarker* marker : view->chart()->legend()->markers()) {
        if (!marker->isVisible()) continue;
        const QString label = marker->label();
        QVERIFY2(!label.contains(QChar(0x2026)) && !label.endsWith(QStringLiteral("...")),
                 qPrintable(label));
      }
    }
    QVERIFY(
        w.window.fitness_window().chart_view()->toolTip().contains(QStringLiteral("right-click")));
    QVERIFY(contrast_on_white(quarvel::ui::population_colour(3)) >= 3.0);
    QVERIFY(contrast_on_white(w.mdl_chart()->series(3)->pen().color()) >= 3.0);

    // A zoom into an awkward range keeps the tick labels apart, on the small
    // MDL chart of the smallest window.
    ChartView* view = w.mdl_chart();
    w.window.resize(w.window.minimumSizeHint());
    w.window.tabs().setCurrentWidget(w.results_tab());
    QCoreApplication::processEvents();
    const QRectF plot = view->chart()->plotArea();
    const QPoint from = view->mapFromScene(plot.topLeft() + QPointF(3, 3));
    const QPoint to =
        view->mapFromScene(plot.topLeft() + QPointF(plot.width() * 0.93, plot.height() * 0.87));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), view->viewport()->mapToGlobal(QPointF(to)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
    QVERIFY(view->chart()->isZoomed());
    QCoreApplication::processEvents();
    QVERIFY(tick_labels_fit(view, Qt::Horizontal));
    QVERIFY(tick_labels_fit(view, Qt::Vertical));
  }

  // At the first size and at the smallest, every axis title, tick label and
  // legend entry of the charts is drawn whole.
  // At the window's first and its minimum size, after a run of four
  // populations, the Results tab shows every row and column of the accuracy
  // table: nothing scrolls out of sight, nothing is cut by the tab.
  void the_whole_accuracy_table_at_every_window_size() {
    auto& w = *window_;
    show_window();
    prepare_run(2, 4);
    w.field(Setting::forecast_ahead)->setText(QStringLiteral("3"));
    w.start_and_wait();
    const quarvel::ui::AccuracyTable* table = w.window.results_view().accuracy_table();
    QCOMPARE(table->rowCount(), 4 + 4);  // the populations, then the benchmarks
    for (const QSize& size : {w.window.size(), QSize(1, 1)}) {
      w.window.resize(size);  // no smaller than its minimum
      w.window.tabs().setCurrentWidget(w.results_tab());
      for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
      const QString where = QStringLiteral("%1 x %2").arg(w.window.width()).arg(w.window.height());
      QVERIFY2(table->horizontalHeader()->length() <= table->viewport()->width(),
               qPrintable(where));
      QVERIFY2(table->verticalHeader()->length() <= table->viewport()->height(), qPrintable(where));
      const QRect in_tab(table->mapTo(w.results_tab(), QPoint(0, 0)), table->size());
      QVERIFY2(w.results_tab()->rect().contains(in_tab), qPrintable(where));
    }
  }

  void chart_texts_are_whole_at_every_window_size() {
    auto& w = *window_;
    show_window();
    prepare_run(3, 4);
    w.start_and_wait();
    // Each check once the charts are laid out for the new size and their
    // ticks fitted to it, which takes a few rounds of layout; without
    // animations, so that no text is seen halfway.
    const auto verify_whole = [](ChartView* view, const QString& where) {
      view->chart()->setAnimationOptions(QChart::NoAnimation);
      for (int round = 0; round < 4; ++round) QCoreApplication::processEvents();
      QVERIFY2(cut_texts(view).isEmpty(),
               qPrintable(QStringLiteral("%1 %2: %3")
                              .arg(view->objectName(), where,
                                   cut_texts(view).join(QStringLiteral(" | ")))));
    };
    const QSize first = w.window.size();
    for (const QSize& size : {first, w.window.minimumSizeHint()}) {
      w.window.resize(size);
      w.window.tabs().setCurrentWidget(w.results_tab());
      for (ChartView* view : {w.mdl_chart(), w.mse_chart(), w.prediction_chart()}) {
        verify_whole(view, QStringLiteral("at %1 x %2").arg(size.width()).arg(size.height()));
      }
    }
    for (ChartView* view :
         {w.window.fitness_window().chart_view(), w.window.gene_length_window().chart_view()}) {
      view->window()->show();
      QVERIFY(QTest::qWaitForWindowExposed(view->window()));
      verify_whole(view, view->window()->objectName());
    }
    w.window.draw_data_plot();
    ChartView* preview = w.window.data_plot_window().chart_view();
    QVERIFY(QTest::qWaitForWindowExposed(preview->window()));
    verify_whole(preview, QStringLiteral("in the data preview"));
  }

  // Any chart leaves the window as PNG, SVG or CSV; the output grids set the
  // forecast rows apart.
  void charts_and_data_leave_the_window() {
    auto& w = *window_;
    show_window();
    prepare_run(2, 1);
    w.start_and_wait();
    auto* export_menu = w.part<QMenu>(QStringLiteral("export_menu"));
    QCOMPARE(export_menu->actions().size(), 7);
    QCOMPARE(export_menu->title(), QStringLiteral("Export chart (&E)"));

    ChartView* view = w.prediction_chart();
    auto& dialogs = w.dialogs;
    // By extension, and by the chosen filter when the name has none. A
    // picture has the size and resolution chosen for it, first offered 1800 x
    // 1200 at 300 dpi, then the size chosen last; the screen shows no change.
    using ImageSize = quarvel::ui::UserDialogs::ImageSize;
    const QSizeF on_screen = view->chart()->size();
    const QRectF plot = view->chart()->plotArea();
    const QString png = data_folder_.filePath(QStringLiteral("chart.png"));
    dialogs.file_answers.push_back(png);
    dialogs.image_size_answers.push_back(ImageSize{1500, 900, 300});
    w.window.output_controller().export_chart(view, QStringLiteral("prediction-chart"));
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), QSize(1500, 900));
    QCOMPARE(image.dotsPerMeterX(), 11811);  // 300 dpi
    QCOMPARE(dialogs.suggested_image_sizes, std::vector<ImageSize>{ImageSize{}});
    QCOMPARE(dialogs.save_dialog_names.last(), QStringLiteral("prediction-chart"));
    QCOMPARE(dialogs.save_dialog_filters.last().size(), 3);
    QCOMPARE(view->chart()->size(), on_screen);
    QCOMPARE(view->chart()->plotArea(), plot);

    // The small MDL chart of the smallest window, as a drawing laid out for
    // its size: every text whole.
    w.window.resize(w.window.minimumSizeHint());
    dialogs.file_answers.push_back(data_folder_.filePath(QStringLiteral("drawing")));
    dialogs.filter_answers.push_back(1);
    dialogs.image_size_answers.push_back(ImageSize{600, 300, 96});
    w.window.output_controller().export_chart(w.mdl_chart(), QStringLiteral("mdl-chart"));
    QCOMPARE(dialogs.suggested_image_sizes.back(), (ImageSize{1500, 900, 300}));
    const QByteArray drawing = read_all(data_folder_.filePath(QStringLiteral("drawing.svg")));
    QVERIFY(drawing.contains("<svg"));
    QVERIFY(drawing.contains("width=\"600\""));
    for (const char* text : {">MDL of best indv.<", ">Generation<", ">No1<"}) {
      QVERIFY2(drawing.contains(text), text);
    }
    QVERIFY(!drawing.contains("...<"));
    QVERIFY(!drawing.contains("\u2026"));
    // A size dialog cancelled writes nothing.
    dialogs.file_answers.push_back(data_folder_.filePath(QStringLiteral("cancelled.png")));
    dialogs.image_size_answers.emplace_back(std::nullopt);
    w.window.output_controller().export_chart(view, QStringLiteral("prediction-chart"));
    QVERIFY(!QFile::exists(data_folder_.filePath(QStringLiteral("cancelled.png"))));

    const QString csv = data_folder_.filePath(QStringLiteral("data.csv"));
    dialogs.file_answers.push_back(csv);
    w.window.output_controller().export_chart(view, QStringLiteral("prediction-chart"));
    const QList<QByteArray> lines = read_all(csv).split('\n');
    QCOMPARE(lines.first(), QByteArray("series,x,y"));
    int rows = 0;
    for (int series = 0; series < view->chart()->series().size(); ++series) {
      // A band is two rows a step, its lower and its upper edge.
      rows += static_cast<int>(view->points(series).size() + view->lower_points(series).size());
    }
    QCOMPARE(lines.size() - 2, rows);  // the header and the empty piece after the last line end
    const QList<QByteArray> first_point = lines[1].split(',');
    QCOMPARE(first_point[0], QByteArray("Real Data"));
    QCOMPARE(first_point[2].toDouble(),
             view->points(ResultsView::real_data_series).constFirst().y());
    // The bands too: each edge's rows, named after the band.
    const QList<QPointF> lower = view->lower_points(ResultsView::first_band_series);
    QVERIFY(!lower.isEmpty());
    const QByteArray first_lower = "No1 80 % band lower," +
                                   QByteArray::number(lower[0].x(), 'g', 17) + ',' +
                                   QByteArray::number(lower[0].y(), 'g', 17);
    QVERIFY2(lines.contains(first_lower), first_lower.constData());
    QCOMPARE(dialogs.messages, QStringList());

    // Rows from training count + overlap on are the forecast.
    const GridModel* output = w.output_model(0);
    QCOMPARE(output->first_forecast_row(), 95);
    const auto shade = [output](int row) {
      return output->data(output->index(row, 1), Qt::BackgroundRole);
    };
    QVERIFY(!shade(94).isValid());
    QVERIFY(shade(95).isValid());
    QCOMPARE(output->data(output->index(95, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("Forecast"));
  }

  void the_status_bar_tells_the_data_and_the_run() {
    auto& w = *window_;
    QCOMPARE(w.window.run_status(), QStringLiteral("Not running"));
    prepare_run(3, 1);
    QCOMPARE(w.window.data_status(),
             QStringLiteral("Training: 90 points, validation: 30 points, overlap: 5"));
    w.start_and_wait();
    QVERIFY2(QRegularExpression(QStringLiteral("^Not running \u2014 finished in \\d+\\.\\d s$"))
                 .match(w.window.run_status())
                 .hasMatch(),
             qPrintable(w.window.run_status()));
    // The status bar says the run's state as the results tab says it, then
    // how the run ended.
    QVERIFY(
        w.window.run_status().startsWith(w.progress_label(0)->text() + QStringLiteral(" \u2014 ")));
    w.window.problem_tab().clear_validation_series();
    QCOMPARE(w.window.data_status(),
             QStringLiteral("Training: 90 points, validation: none, overlap: 5"));

    // Abort after generation 1 (0-based), that is after two generations shown.
    load(wave_text(0, 90), wave_text(90, 30));
    w.field(Setting::generations)->setText(QStringLiteral("6"));
    QString while_running;
    window_->after_each_generation([&](int g) {
      if (g != 1) return;
      while_running = w.window.run_status();
      w.dialogs.answer_yes = true;
      w.window.start_or_abort_run();
    });
    w.start_and_wait();
    QCOMPARE(while_running, QStringLiteral("Running: generation 2 of 6"));
    QCOMPARE(w.window.run_status(), QStringLiteral("Not running \u2014 aborted at generation 2"));
  }

  // Validation data that repeat the last 20 training values, and terminal
  // tables of 100: the status bar points it out, its tooltip says what it
  // means, and at the first window size both texts of the status bar are
  // whole beside a finished run's.
  void the_status_bar_points_out_lags_past_the_overlap() {
    auto& w = *window_;
    show_window();
    load(wave_text(0, 90), wave_text(70, 50));
    w.field(Setting::generations)->setText(QStringLiteral("2"));
    w.field(Setting::population_size, 0)->setText(QStringLiteral("40"));
    QCOMPARE(w.window.data_status(),
             QStringLiteral("Training: 90 points, validation: 50 points, overlap: 20 "
                            "(< terminal table)"));
    auto* data_label = w.part<QLabel>(QStringLiteral("data_status_label"));
    QVERIFY2(data_label->toolTip().contains(QStringLiteral("terminal table size is 100")),
             qPrintable(data_label->toolTip()));
    w.start_and_wait();
    QCoreApplication::processEvents();
    for (const char* name : {"run_status_label", "data_status_label"}) {
      const auto* label = w.part<QLabel>(QString::fromLatin1(name));
      QVERIFY2(label->width() >= label->sizeHint().width(),
               qPrintable(QStringLiteral("%1: %2 of %3")
                              .arg(label->text())
                              .arg(label->width())
                              .arg(label->sizeHint().width())));
    }
  }

  // Stop during a generation: the status bar says the run stops after the
  // generation under way, then that it is paused after that one; Abort names it.
  void stop_tells_the_generation_actually_finished() {
    auto& w = *window_;
    prepare_run(6, 1);
    RunDriver& driver = w.window.run_driver();
    std::atomic<bool> stop_seen{false};
    // Generation 2 is held until Stop has been pressed during it.
    const GenerationHold hold(
        driver, [](int generation) { return generation == 2; }, [&] { return stop_seen.load(); });
    QStringList statuses;
    QTimer stopper;
    stopper.setInterval(2);
    connect(&stopper, &QTimer::timeout, &w.window, [&] {
      if (stop_seen || !driver.computing() || w.window.last_run().generations_shown != 2) return;
      w.stop_button()->click();
      statuses << w.window.run_status();
      stop_seen = true;
    });
    window_->after_each_generation([&](int g) {
      if (g != 2) return;
      statuses << w.window.run_status();
      w.dialogs.answer_yes = true;
      w.window.start_or_abort_run();
    });
    stopper.start();
    w.start_and_wait();
    QCOMPARE(statuses, (QStringList{QStringLiteral("Stopping after generation 3 of 6"),
                                    QStringLiteral("Paused after generation 3 of 6")}));
    QCOMPARE(w.window.run_status(), QStringLiteral("Not running \u2014 aborted at generation 3"));
  }

  // A run's charts keep its own data and markers: data loaded after it (or
  // during it) leave them as they were until the next Start.
  void a_runs_markers_stay_when_other_data_are_loaded() {
    auto& w = *window_;
    prepare_run(2, 1);
    w.start_and_wait();
    const QList<QPointF> training_marker =
        w.prediction_chart()->points(ResultsView::training_marker_series);
    const QList<QPointF> forecast_marker =
        w.prediction_chart()->points(ResultsView::forecast_marker_series);
    QCOMPARE(training_marker.first().x(), 90.0);
    QCOMPARE(forecast_marker.first().x(), 95.0);
    load(wave_text(0, 300), wave_text(300 - 119, 200));
    w.action("formulas_action")->trigger();  // the results are shown again
    QCOMPARE(w.prediction_chart()->points(ResultsView::training_marker_series), training_marker);
    QCOMPARE(w.prediction_chart()->points(ResultsView::forecast_marker_series), forecast_marker);
    QCOMPARE(w.prediction_chart()->points(ResultsView::real_data_series).size(), 120);
  }

  // Output grids of populations that were not in the last run show nothing
  // of an earlier run, and Save says so instead of writing old values.
  void populations_not_in_the_last_run_have_nothing_to_show_or_save() {
    auto& w = *window_;
    prepare_run(1, 4);
    w.start_and_wait();
    QCOMPARE(w.output_model(3)->rowCount(), 120);
    w.population_count_box()->setEditText(QStringLiteral("1"));
    w.window.populations_tab().apply_population_count();
    w.start_and_wait();
    w.population_count_box()->setEditText(QStringLiteral("2"));
    w.window.populations_tab().apply_population_count();
    QCOMPARE(w.output_model(1)->rowCount(), quarvel::ui::kOutputGridRows);
    QCOMPARE(w.output_model(1)->cell(1, 0), QString());
    w.dialogs.file_answers.emplace_back(data_folder_.filePath(QStringLiteral("old.txt")));
    w.save_button(1)->click();
    QCOMPARE(w.dialogs.messages,
             QStringList{QStringLiteral("Population 2 was not in the last run (run 2 of 1 "
                                        "population(s)): it has no predictions to save.")});
    QVERIFY(!QFile::exists(data_folder_.filePath(QStringLiteral("old.txt"))));
  }

  // Restore default settings asks first and keeps the overlap the loaded data
  // determine.
  void restoring_defaults_keeps_the_overlap_of_the_loaded_data() {
    auto& w = *window_;
    load(wave_text(0, 90), wave_text(90 - 20, 50));
    QCOMPARE(w.field(Setting::overlap)->text(), QStringLiteral("20"));
    w.field(Setting::generations)->setText(QStringLiteral("9"));
    w.dialogs.answer_yes = true;
    w.action("restore_defaults_action")->trigger();
    QCOMPARE(w.dialogs.questions,
             QStringList{QStringLiteral(
                 "Quarvel ver0.0|Put every setting back to its default?\nThe overlap keeps 20, "
                 "the value detected from the loaded data (its default is 119).")});
    QCOMPARE(w.field(Setting::overlap)->text(), QStringLiteral("20"));
    QCOMPARE(w.field(Setting::generations)->text(), QStringLiteral("50"));
  }

  // The View menu's ticks and the size of the last exported picture come
  // back at the next start; Esc closes the data plot and the chart windows as
  // it closes the About box.
  void view_ticks_are_remembered_and_esc_closes_the_chart_windows() {
    using ImageSize = quarvel::ui::UserDialogs::ImageSize;
    const ImageSize chosen{1200, 800, 150};
    {
      auto& w = *window_;
      w.action("original_units_action")->setChecked(true);
      w.action("log_fitness_action")->setChecked(true);
      QVERIFY(w.window.fitness_window().log_scale());
      QVERIFY(w.action("bands_action")->isChecked());  // the bands are shown at first
      w.action("bands_action")->setChecked(false);
      w.dialogs.file_answers.push_back(data_folder_.filePath(QStringLiteral("chart.png")));
      w.dialogs.image_size_answers.push_back(chosen);
      w.window.output_controller().export_chart(w.mdl_chart(), QStringLiteral("mdl-chart"));
      w.window.show();
      QVERIFY(w.window.close());
    }
    window_ = std::make_unique<TestWindow>(false);
    auto& w = *window_;
    QVERIFY(w.action("original_units_action")->isChecked());
    QVERIFY(!w.action("formulas_action")->isChecked());
    QVERIFY(w.action("log_fitness_action")->isChecked());
    QVERIFY(w.window.fitness_window().log_scale());
    // The window's own box and the View menu's tick are one setting.
    w.part<QCheckBox>(QStringLiteral("log_scale_check"))->click();
    QVERIFY(!w.action("log_fitness_action")->isChecked());
    QVERIFY(!w.window.fitness_window().log_scale());
    w.dialogs.file_answers.emplace_back(std::nullopt);
    w.dialogs.file_answers.push_back(data_folder_.filePath(QStringLiteral("chart.png")));
    w.dialogs.image_size_answers.emplace_back(std::nullopt);
    w.window.output_controller().export_chart(w.mdl_chart(), QStringLiteral("mdl-chart"));
    w.window.output_controller().export_chart(w.mdl_chart(), QStringLiteral("mdl-chart"));
    QCOMPARE(w.dialogs.suggested_image_sizes, std::vector<ImageSize>{chosen});

    for (QWidget* chart_window : {static_cast<QWidget*>(&w.window.fitness_window()),
                                  static_cast<QWidget*>(&w.window.gene_length_window()),
                                  static_cast<QWidget*>(&w.window.data_plot_window())}) {
      chart_window->show();
      QVERIFY(QTest::qWaitForWindowExposed(chart_window));
      chart_window->activateWindow();
      QTest::keyClick(chart_window, Qt::Key_Escape);
      QVERIFY2(!chart_window->isVisible(), qPrintable(chart_window->objectName()));
    }
    // The bands hidden at the last start stay hidden: none drawn, no coverage.
    QVERIFY(!w.action("bands_action")->isChecked());
    prepare_run(2, 1);
    w.start_and_wait();
    QVERIFY(w.window.last_run().quality.at(0).with_intervals);
    QVERIFY(w.prediction_chart()->points(ResultsView::first_band_series).isEmpty());
    QVERIFY(w.window.results_view().accuracy_table()->isColumnHidden(6));
  }

  // A new run's trees are shown from their top, wherever the last run's were read.
  void a_new_runs_trees_start_at_the_top() {
    auto& w = *window_;
    prepare_run(1, 4);
    w.window.resize(w.window.minimumSize());
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    w.start_and_wait();
    QScrollBar* scroll = w.best_trees_text()->verticalScrollBar();
    QVERIFY(scroll->maximum() > 0);
    scroll->setValue(scroll->maximum());
    w.start_and_wait();
    QCOMPARE(scroll->value(), 0);
  }

  // Every setting comes back at the next start; Restore default settings puts
  // the defaults back; a damaged stored text is not taken over.
  void settings_are_remembered_and_defaults_restored() {
    {
      auto& w = *window_;
      w.field(Setting::generations)->setText(QStringLiteral("77"));
      w.rank_by_mdl_check()->setChecked(false);
      w.population_count_box()->setEditText(QStringLiteral("3"));
      w.window.populations_tab().apply_population_count();
      w.field(Setting::elite, 2)->setText(QStringLiteral("4"));
      w.selection_group(1)->set_item_index(1);
      w.growth_group(2)->set_item_index(1);
      w.window.show();
      QVERIFY(w.window.close());
    }
    const auto remembered = window_->window.settings_texts();
    window_.reset();
    window_ = std::make_unique<TestWindow>(false);
    auto& w = *window_;
    const auto settings = w.window.settings_texts();
    for (const auto& info : quarvel::runs::settings_table()) {
      for (int p = 0; p < 4; ++p) {
        QCOMPARE(settings.text(info.id, p), remembered.text(info.id, p));
      }
    }
    QCOMPARE(settings.text(Setting::generations), std::string("77"));
    QCOMPARE(settings.text(Setting::rank_by), std::string("mse"));
    QCOMPARE(settings.text(Setting::selection, 1), std::string("overselect"));
    QCOMPARE(settings.text(Setting::growth, 2), std::string("ramped"));
    QVERIFY(w.population_pages()->isTabVisible(2));
    QVERIFY(w.output_tabs()->isTabVisible(2));

    w.action("restore_defaults_action")->trigger();  // asked, answered No: nothing changes
    QCOMPARE(w.dialogs.questions,
             QStringList{QStringLiteral("Quarvel ver0.0|Put every setting back to its default?")});
    QCOMPARE(w.window.settings_texts().text(Setting::generations), std::string("77"));
    w.dialogs.answer_yes = true;
    w.action("restore_defaults_action")->trigger();
    const auto defaults = w.window.settings_texts();
    const quarvel::runs::SettingsTexts fresh;
    for (const auto& info : quarvel::runs::settings_table()) {
      for (int p = 0; p < 4; ++p) QCOMPARE(defaults.text(info.id, p), fresh.text(info.id, p));
    }
    QVERIFY(!w.population_pages()->isTabVisible(1));

    // A stored text its check refuses is left out.
    quarvel::runs::SettingsTexts damaged;
    damaged.set(Setting::generations, "abc");
    damaged.set(Setting::seed, "12");
    quarvel::ui::SettingsStore::store_settings(damaged);
    window_.reset();
    window_ = std::make_unique<TestWindow>(false);
    QCOMPARE(window_->field(Setting::generations)->text(), QStringLiteral("50"));
    QCOMPARE(window_->field(Setting::seed)->text(), QStringLiteral("12"));
  }

  // A window run saves exactly the file quarvel-cli writes for the same settings.
  void a_window_run_saves_what_the_runner_writes() {
    auto& w = *window_;
    const QString examples = QStringLiteral(QUARVEL_EXAMPLES);
    for (const auto& [key, name] : {std::pair{"ctrl+t", "sunspots-training.txt"},
                                    std::pair{"ctrl+v", "sunspots-validation.txt"}}) {
      w.dialogs.file_answers.push_back(examples + QLatin1Char('/') + QLatin1String(name));
      if (QByteArray(key) == "ctrl+t") {
        w.window.load_training_series();
      } else {
        w.window.load_validation_series();
      }
    }
    w.field(Setting::generations)->setText(QStringLiteral("4"));
    w.field(Setting::population_size, 0)->setText(QStringLiteral("150"));
    w.start_and_wait();
    const QString saved = data_folder_.filePath(QStringLiteral("window-prediction.txt"));
    w.dialogs.file_answers.push_back(saved);
    w.window.save_output(0);

    QProcess runner;
    runner.start(
        QStringLiteral(QUARVEL_CLI),
        {QStringLiteral("--training"), examples + QStringLiteral("/sunspots-training.txt"),
         QStringLiteral("--validation"), examples + QStringLiteral("/sunspots-validation.txt"),
         QStringLiteral("--generations"), QStringLiteral("4"), QStringLiteral("--population-size"),
         QStringLiteral("150"), QStringLiteral("--quiet"), QStringLiteral("--output"),
         data_folder_.path()});
    QVERIFY(runner.waitForFinished(60000));
    QCOMPARE(runner.exitCode(), 0);
    const QByteArray expected = read_all(data_folder_.filePath(QStringLiteral("prediction-1.txt")));
    QVERIFY(expected.size() > 1000);
    QCOMPARE(read_all(saved), expected);
  }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
