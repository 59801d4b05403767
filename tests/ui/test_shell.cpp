// The frame of the program: the main window's start, menus and tabs, the
// remembered folder across two lifetimes of the window, the about box and
// web link, the chart windows and the charts of the "Results" tab.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QGroupBox>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QValueAxis>
#include <QtTest>
#include <memory>

#include "support/TestWindow.h"
#include "ui/AboutDialog.h"
#include "ui/DataPlotWindow.h"
#include "ui/GridModel.h"
#include "ui/HistoryChartWindow.h"

using quarvel::ui::ChartView;
using quarvel::ui::GridModel;
using quarvel::ui::testing::TestWindow;
using quarvel::ui::testing::write_file;

namespace {

struct SeriesLook {
  QString title;
  QColor colour;
  Qt::PenStyle style;
  int width;
  bool in_legend;
};

// The view must be on screen: legend entries count as visible only once laid out.
void verify_series(ChartView* view, const QList<SeriesLook>& expected) {
  view->window()->show();
  QVERIFY(QTest::qWaitForWindowExposed(view->window()));
  const auto series = view->chart()->series();
  QCOMPARE(series.size(), expected.size());
  for (int index = 0; index < series.size(); ++index) {
    const SeriesLook& look = expected[index];
    if (auto* band = qobject_cast<QAreaSeries*>(series[index])) {
      // A band: light, in its population's colour, without an outline.
      QCOMPARE(look.style, Qt::NoPen);
      QCOMPARE(band->name(), look.title);
      QCOMPARE(band->brush().color().rgb(), look.colour.rgb());
      QVERIFY(band->brush().color().alpha() <= 80);
      QCOMPARE(band->pen().style(), Qt::NoPen);
      QCOMPARE(view->chart()->legend()->markers(band).constFirst()->isVisible(), look.in_legend);
      QVERIFY(band->upperSeries()->points().isEmpty() && band->lowerSeries()->points().isEmpty());
      continue;
    }
    auto* line = qobject_cast<QLineSeries*>(series[index]);
    QVERIFY(line != nullptr);
    QCOMPARE(line->name(), look.title);
    QCOMPARE(line->pen().color(), look.colour);
    QCOMPARE(line->pen().style(), look.style);
    QCOMPARE(line->pen().width(), look.width);
    QCOMPARE(view->chart()->legend()->markers(line).constFirst()->isVisible(), look.in_legend);
    QVERIFY(line->points().isEmpty());
  }
}

QStringList axis_titles(ChartView* view) {
  return {view->chart()->axes(Qt::Horizontal).constFirst()->titleText(),
          view->chart()->axes(Qt::Vertical).constFirst()->titleText()};
}

QList<SeriesLook> dialog_series(const QString& solid, const QString& dotted) {
  const QList<QColor> colours{Qt::red, Qt::blue, QColor(0, 255, 0), QColor(184, 134, 11)};
  QList<SeriesLook> looks;
  for (int population = 0; population < 4; ++population) {
    looks << SeriesLook{solid.arg(population + 1), colours[population], Qt::SolidLine, 1, true}
          << SeriesLook{dotted.arg(population + 1), colours[population], Qt::DotLine, 1, true};
  }
  return looks;
}

// Every visible caption of `window` fits its control, inside its parent, and
// no label runs under an edit field beside it.
void verify_captions_whole(QWidget* window) {
  const auto inside_parent = [](QWidget* widget) {
    return widget->parentWidget() == nullptr ||
           widget->parentWidget()->rect().contains(widget->geometry());
  };
  const auto shown = [window](QWidget* widget) { return widget->isVisibleTo(window); };
  for (auto* label : window->findChildren<QLabel*>()) {
    if (label->text().isEmpty() || !shown(label) ||
        label->parentWidget()->inherits("QMessageBox")) {
      continue;
    }
    const QString name = label->text();
    if (label->wordWrap()) {
      QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
    } else {
      QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(name));
    }
    QVERIFY2(inside_parent(label), qPrintable(name));
    for (auto* edit :
         label->parentWidget()->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!shown(edit)) continue;
      QVERIFY2(!label->geometry().intersects(edit->geometry()),
               qPrintable(name + " / " + edit->objectName()));
    }
  }
  for (auto* button : window->findChildren<QAbstractButton*>()) {
    if (button->text().isEmpty() || !shown(button)) continue;
    const QString text = QString(button->text()).remove('&');
    // A push button's size hint carries a generous minimum width; its text
    // and icon are what must fit. A check or radio button's hint is exact.
    int needed = button->sizeHint().width();
    if (qobject_cast<QPushButton*>(button) != nullptr) {
      needed = button->fontMetrics().horizontalAdvance(text) + 4;
      if (!button->icon().isNull()) needed += button->iconSize().width() + 4;
    }
    QVERIFY2(needed <= button->width(), qPrintable(text));
    QVERIFY2(inside_parent(button), qPrintable(text));
  }
  for (auto* group : window->findChildren<QGroupBox*>()) {
    if (!shown(group)) continue;
    QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) + 12 <= group->width(),
             qPrintable(group->title()));
    QVERIFY2(inside_parent(group), qPrintable(group->title()));
  }
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir data_folder_;

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }

  void init() {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Venko", "Regression").clear();
  }

  void window_starts_after_the_splash_on_problem_configuration() {
    TestWindow w;
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Quarvel v.0.0"));
    QCOMPARE(w.dialogs.splash_delays, std::vector<int>{3000});
    QVERIFY(!w.window.about_dialog().isVisible());
    QCOMPARE(w.window.tabs().currentWidget(), w.problem_tab());
    QCOMPARE(w.window.tabs().count(), 3);
    QCOMPARE(w.window.tabs().tabText(0), QStringLiteral("Problem Configuration"));
    QCOMPARE(w.window.tabs().tabText(1), QStringLiteral("Populations"));
    QCOMPARE(w.window.tabs().tabText(2), QStringLiteral("Results"));
    // The designed size at first: a tab area of 607 x 505 between menu and status bar.
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QCOMPARE(w.window.tabs().size(), QSize(607, 505));
    QCOMPARE(w.window.font().pixelSize(), 12);
    QCOMPARE(w.window.data_plot_window().windowTitle(), QStringLiteral("Graph"));
    QCOMPARE(w.window.fitness_window().windowTitle(), QStringLiteral("Fitness of Vest Indiv."));
    QCOMPARE(w.window.gene_length_window().windowTitle(), QStringLiteral("Length of gene"));
    QVERIFY(!w.window.data_plot_window().isVisible() && !w.window.fitness_window().isVisible() &&
            !w.window.gene_length_window().isVisible());
  }

  void menus_carry_their_entries_and_shortcuts() {
    TestWindow w;
    const auto menus = w.window.menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("File (&F)"));
    QCOMPARE(menus[1]->text(), QStringLiteral("View (&W)"));
    QCOMPARE(menus[2]->text(), QStringLiteral("Help (&H)"));
    QStringList file_entries;
    for (QAction* action : w.part<QMenu>("file_menu")->actions()) {
      if (!action->isSeparator())
        file_entries << action->text() + '|' + action->shortcut().toString();
    }
    QCOMPARE(file_entries,
             (QStringList{"Load training data (&T)|Ctrl+T", "Load validation data (&V)|Ctrl+V",
                          "Import table... (&I)|", "Open runs... (&R)|", "Start many runs... (&N)|",
                          "Export chart (&E)|", "Export models... (&M)|",
                          "Restore default settings (&D)|", "Exit (&X)|"}));
    QStringList view_entries;
    for (QAction* action : w.part<QMenu>("view_menu")->actions()) {
      if (!action->isSeparator()) view_entries << action->text();
    }
    QCOMPARE(view_entries,
             (QStringList{"Prediction chart in original units (&O)", "Best trees as formulas (&F)",
                          "Fitness on a log scale (&L)", "Prediction bands (&B)",
                          "Fitness window (&I)", "Gene length window (&G)"}));
    // The chart windows from the menu as by a double click on the charts.
    w.action("fitness_window_action")->trigger();
    QVERIFY(w.window.fitness_window().isVisible());
    w.action("gene_length_window_action")->trigger();
    QVERIFY(w.window.gene_length_window().isVisible());
    QStringList help_entries;
    for (QAction* action : w.part<QMenu>("help_menu")->actions()) help_entries << action->text();
    QCOMPARE(help_entries, (QStringList{"About Venko (&A)", "Venko Web Site"}));
    QCOMPARE(w.action("start_action")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    QVERIFY(w.window.actions().contains(w.action("start_action")));
    QVERIFY(!w.part<QMenu>("file_menu")->actions().contains(w.action("start_action")));
    QVERIFY(!w.part<QMenu>("help_menu")->actions().contains(w.action("start_action")));
  }

  // First start: "C:\"; a file chosen elsewhere is where the next start opens,
  // and a session that chooses no file keeps it.
  void remembered_folder_survives_the_window() {
    const QString chosen = write_file(data_folder_, "series.txt", "1\n2\n");
    {
      TestWindow w;
      QCOMPARE(w.window.remembered_folder(), QStringLiteral("C:\\"));
      w.dialogs.file_answers.push_back(chosen);
      w.window.load_training_series();
      QCOMPARE(w.dialogs.dialog_folders, QStringList{"C:\\"});
      w.window.show();
      QVERIFY(w.window.close());
    }
    {
      TestWindow w(false);
      QCOMPARE(w.window.remembered_folder(), QDir::toNativeSeparators(data_folder_.path()));
      w.window.load_training_series();  // cancelled
      QCOMPARE(w.dialogs.dialog_folders,
               QStringList{QDir::toNativeSeparators(data_folder_.path())});
      w.window.show();
      QVERIFY(w.window.close());
    }
    TestWindow w(false);
    QCOMPARE(w.window.remembered_folder(), QDir::toNativeSeparators(data_folder_.path()));
  }

  void exit_stores_the_folder_and_ends_the_process() {
    QTemporaryDir other;
    const QString chosen = write_file(other, "series.txt", "1\n");
    {
      TestWindow w;
      w.dialogs.file_answers.push_back(chosen);
      w.window.load_training_series();
      w.action("exit_action")->trigger();
      QCOMPARE(w.dialogs.end_statuses, std::vector<int>{0});
    }
    TestWindow w(false);
    QCOMPARE(w.window.remembered_folder(), QDir::toNativeSeparators(other.path()));
  }

  void about_box_is_one_window_and_the_web_link_one_address() {
    TestWindow w;
    w.action("about_action")->trigger();
    w.action("about_action")->trigger();
    QVERIFY(w.window.about_dialog().isVisible());
    QCOMPARE(w.window.findChildren<quarvel::ui::AboutDialog*>().size(), 1);
    QCOMPARE(w.window.about_dialog().windowTitle(), QStringLiteral("Venko1.0"));
    QCOMPARE(w.window.about_dialog().size(), QSize(298, 213));
    QCOMPARE(w.part<QLabel>("version_label")->text(), QStringLiteral("Version 1.0"));
    QVERIFY(w.window.about_dialog().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    w.action("web_site_action")->trigger();
    QCOMPARE(w.dialogs.urls, QStringList{QString::fromLatin1(quarvel::ui::kVenkoWebSite)});
  }

  void chart_double_clicks_open_their_dialogs() {
    TestWindow w;
    w.window.show();
    w.window.tabs().setCurrentWidget(w.results_tab());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTest::mouseDClick(w.prediction_chart()->viewport(), Qt::LeftButton);
    QVERIFY(!w.window.fitness_window().isVisible() && !w.window.gene_length_window().isVisible());
    QTest::mouseDClick(w.mdl_chart()->viewport(), Qt::LeftButton);
    QVERIFY(w.window.fitness_window().isVisible());
    QVERIFY(!w.window.gene_length_window().isVisible());
    QTest::mouseDClick(w.mse_chart()->viewport(), Qt::LeftButton);
    QVERIFY(w.window.gene_length_window().isVisible());
  }

  void chart_dialogs_list_eight_series() {
    TestWindow w;
    verify_series(w.window.fitness_window().chart_view(),
                  dialog_series(QStringLiteral("Validation fitness %1"),
                                QStringLiteral("Training fitness %1")));
    QCOMPARE(axis_titles(w.window.fitness_window().chart_view()),
             (QStringList{"Generation", "Fitness of best indv."}));
    verify_series(w.window.gene_length_window().chart_view(),
                  dialog_series(QStringLiteral("Best indv. %1"), QStringLiteral("Average %1")));
    QCOMPARE(axis_titles(w.window.gene_length_window().chart_view()),
             (QStringList{"Generation", "Length of gene"}));
    QCOMPARE(w.window.fitness_window().size(), QSize(595, 415));
    QCOMPARE(w.window.gene_length_window().size(), QSize(594, 415));
  }

  void results_tab_starts_idle_and_empty() {
    TestWindow w;
    w.window.tabs().setCurrentWidget(w.results_tab());
    const QColor yellow(184, 134, 11);  // dark enough to read on white
    const QColor green(0, 128, 0);
    verify_series(w.prediction_chart(),
                  {{"No1 80 % band", Qt::red, Qt::NoPen, 0, false},
                   {"No1 95 % band", Qt::red, Qt::NoPen, 0, false},
                   {"No2 80 % band", Qt::blue, Qt::NoPen, 0, false},
                   {"No2 95 % band", Qt::blue, Qt::NoPen, 0, false},
                   {"No3 80 % band", green, Qt::NoPen, 0, false},
                   {"No3 95 % band", green, Qt::NoPen, 0, false},
                   {"No4 80 % band", yellow, Qt::NoPen, 0, false},
                   {"No4 95 % band", yellow, Qt::NoPen, 0, false},
                   {"Real Data", Qt::black, Qt::SolidLine, 1, true},
                   {"Population1", Qt::red, Qt::DotLine, 1, false},
                   {"Population2", Qt::blue, Qt::DotLine, 1, false},
                   {"Population3", green, Qt::DotLine, 1, false},
                   {"Population4", yellow, Qt::DotLine, 1, false},
                   {"Training end", QColor(255, 128, 64), Qt::SolidLine, 2, false},
                   {"Validation start", QColor(255, 0, 255), Qt::SolidLine, 2, false},
                   {"Forecast1", Qt::red, Qt::DashLine, 1, false},
                   {"Forecast2", Qt::blue, Qt::DashLine, 1, false},
                   {"Forecast3", green, Qt::DashLine, 1, false},
                   {"Forecast4", yellow, Qt::DashLine, 1, false},
                   {"Data end", QColor(90, 90, 90), Qt::DashLine, 2, false}});
    // A band's legend entry is a swatch of its fill, not the outline of an
    // empty box.
    for (int band = 0; band < quarvel::ui::ResultsView::band_count; ++band) {
      auto* series = static_cast<QAreaSeries*>(w.prediction_chart()->chart()->series().at(band));
      const QList<QLegendMarker*> markers =
          w.prediction_chart()->chart()->legend()->markers(series);
      QCOMPARE(markers.size(), 1);
      QCOMPARE(markers[0]->shape(), QLegend::MarkerShapeRectangle);
      QCOMPARE(markers[0]->brush().color(), series->brush().color());
      QCOMPARE(markers[0]->pen().color().rgb(), series->brush().color().rgb());
    }
    const QList<SeriesLook> histories{{"Population1", Qt::red, Qt::SolidLine, 1, false},
                                      {"Population2", Qt::blue, Qt::SolidLine, 1, false},
                                      {"Population3", green, Qt::SolidLine, 1, false},
                                      {"Population4", yellow, Qt::SolidLine, 1, false}};
    verify_series(w.mdl_chart(), histories);
    verify_series(w.mse_chart(), histories);
    QCOMPARE(axis_titles(w.prediction_chart()), (QStringList{"Time (min)", "Normalized Value"}));
    QCOMPARE(axis_titles(w.mdl_chart()), (QStringList{"Generation", "MDL of best indv."}));
    QCOMPARE(axis_titles(w.mse_chart()), (QStringList{"Generation", "MSE of best indv."}));

    for (int population = 0; population < 4; ++population) {
      const GridModel* grid = w.output_model(population);
      QCOMPARE(grid->rowCount(), 5);
      QVERIFY(!(grid->flags(grid->index(0, 1)) & Qt::ItemIsEditable));
    }
    QCOMPARE(w.progress_label(0)->text(), QStringLiteral("Not running"));
    QVERIFY(!w.progress_label(0)->isHidden());
    QVERIFY(w.progress_label(1)->isHidden() && w.progress_label(2)->isHidden() &&
            w.progress_label(3)->isHidden());
    QCOMPARE(w.progress_bar()->value(), 0);
    QCOMPARE(w.start_button()->text(), QStringLiteral("Start"));
    QVERIFY(w.start_button()->isEnabled());
    QCOMPARE(w.stop_button()->text(), QStringLiteral("Stop"));
    QVERIFY(!w.stop_button()->isEnabled());
  }

  // Every caption of the windows fits its control, inside its parent, and no
  // label runs under an edit field beside it: at the first size, and at the
  // smallest size the window can be shrunk to.
  void no_caption_is_clipped() {
    TestWindow w;
    QList<QWidget*> windows{&w.window, &w.window.data_plot_window(), &w.window.fitness_window(),
                            &w.window.gene_length_window(), &w.window.about_dialog()};
    for (QWidget* window : windows) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    for (const bool smallest : {false, true}) {
      if (smallest) {
        for (QWidget* window : windows) window->resize(window->minimumSizeHint());
      }
      // Only the tab in front is laid out: look at each in turn.
      for (int tab = 0; tab < w.window.tabs().count(); ++tab) {
        w.window.tabs().setCurrentIndex(tab);
        for (int page = 0; page < w.population_pages()->count(); ++page) {
          w.population_pages()->setCurrentIndex(page);
          QCoreApplication::processEvents();
          for (QWidget* window : windows) verify_captions_whole(window);
        }
      }
    }
  }

  // A dragged rectangle zooms; a right click restores the scale from before.
  void charts_zoom_by_rectangle_and_undo() {
    TestWindow w;
    auto* view = w.window.fitness_window().chart_view();
    w.window.fitness_window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window.fitness_window()));
    auto* axis = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).constFirst());
    const double before = axis->max();
    const QRectF plot = view->chart()->plotArea();
    const QPoint from = view->mapFromScene(plot.center() - QPointF(60, 40));
    const QPoint to = view->mapFromScene(plot.center() + QPointF(60, 40));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), view->viewport()->mapToGlobal(QPointF(to)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
    QVERIFY(axis->max() < before);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, plot.center().toPoint());
    QCOMPARE(axis->max(), before);
  }

  // The secondary windows belong to the main window: an open preview or chart
  // window does not keep the program running once the main window is closed.
  // (Runs the application's own event loop, so it comes last.)
  void closing_the_main_window_ends_the_program() {
    TestWindow w;
    w.window.show();
    w.window.draw_data_plot();
    w.window.show_fitness_window();
    QVERIFY(w.window.data_plot_window().isVisible() && w.window.fitness_window().isVisible());
    QTimer::singleShot(0, &w.window, &QWidget::close);
    bool gave_up = false;
    QTimer give_up;
    give_up.setSingleShot(true);
    connect(&give_up, &QTimer::timeout, [&] {
      gave_up = true;
      QCoreApplication::quit();
    });
    give_up.start(5000);
    QApplication::exec();
    QVERIFY(!gave_up);
  }
};

QTEST_MAIN(ShellTest)
#include "test_shell.moc"
