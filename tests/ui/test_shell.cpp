// The frame of the program: the main window's start, menus and tabs, the
// remembered folder across two lifetimes of the window, the about box and
// web link, the chart windows and the charts of the "Results" tab.
#include <QAction>
#include <QApplication>
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

#include "About.h"
#include "Charts.h"
#include "FakeDialogs.h"
#include "GridModel.h"

using quarvel::ui::ChartView;
using quarvel::ui::testing::Form;
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
    auto* line = qobject_cast<QLineSeries*>(series[index]);
    QVERIFY(line != nullptr);
    const SeriesLook& look = expected[index];
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
  const QList<QColor> colours{Qt::red, Qt::blue, QColor(0, 255, 0), Qt::yellow};
  QList<SeriesLook> looks;
  for (int population = 0; population < 4; ++population) {
    looks << SeriesLook{solid.arg(population + 1), colours[population], Qt::SolidLine, 1, true}
          << SeriesLook{dotted.arg(population + 1), colours[population], Qt::DotLine, 1, true};
  }
  return looks;
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
    Form form;
    auto& form1 = form.form1;
    QCOMPARE(form1.windowTitle(), QStringLiteral("Quarvel v.0.0"));
    QCOMPARE(form.dialogs.splash_delays, std::vector<int>{3000});
    QVERIFY(!form1.AboutBox->isVisible());
    QCOMPARE(form1.PageControl1->currentWidget(), form1.TabSheet1);
    QCOMPARE(form1.PageControl1->count(), 3);
    QCOMPARE(form1.PageControl1->tabText(0), QStringLiteral("Problem Configuration"));
    QCOMPARE(form1.PageControl1->tabText(1), QStringLiteral("Populations"));
    QCOMPARE(form1.PageControl1->tabText(2), QStringLiteral("Results"));
    QCOMPARE(form1.PageControl1->geometry(), QRect(0, 0, 601, 505));
    QCOMPARE(form1.font().pixelSize(), 12);
    QCOMPARE(form.graph_form->windowTitle(), QStringLiteral("Graph"));
    QCOMPARE(form.form5->windowTitle(), QStringLiteral("Fitness of Vest Indiv."));
    QCOMPARE(form.form6->windowTitle(), QStringLiteral("Length of gene"));
    QVERIFY(!form.graph_form->isVisible() && !form.form5->isVisible() && !form.form6->isVisible());
  }

  void menus_carry_their_entries_and_shortcuts() {
    Form form;
    auto& form1 = form.form1;
    const auto menus = form1.menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("File (&F)"));
    QCOMPARE(menus[1]->text(), QStringLiteral("Help (&H)"));
    QStringList file_entries;
    for (QAction* action : form1.File1->actions()) {
      if (!action->isSeparator())
        file_entries << action->text() + '|' + action->shortcut().toString();
    }
    QCOMPARE(file_entries, (QStringList{"Load training data (&T)|Ctrl+T",
                                        "Load validation data (&V)|Ctrl+V", "Exit (&X)|"}));
    QStringList help_entries;
    for (QAction* action : form1.Help1->actions()) help_entries << action->text();
    QCOMPARE(help_entries, (QStringList{"About Venko (&A)", "Venko Web Site"}));
    QCOMPARE(form1.StartGPRun1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    QVERIFY(form1.actions().contains(form1.StartGPRun1));
    QVERIFY(!form1.File1->actions().contains(form1.StartGPRun1));
    QVERIFY(!form1.Help1->actions().contains(form1.StartGPRun1));
  }

  // First start: "C:\"; a file chosen elsewhere is where the next start opens,
  // and a session that chooses no file keeps it.
  void remembered_folder_survives_the_window() {
    const QString chosen = write_file(data_folder_, "series.txt", "1\n2\n");
    {
      Form form;
      QCOMPARE(form.form1.remembered_folder(), QStringLiteral("C:\\"));
      form.dialogs.file_answers.push_back(chosen);
      form.form1.BitBtn3Click();
      QCOMPARE(form.dialogs.dialog_folders, QStringList{"C:\\"});
      form.form1.show();
      QVERIFY(form.form1.close());
    }
    {
      Form form;
      QCOMPARE(form.form1.remembered_folder(), QDir::toNativeSeparators(data_folder_.path()));
      form.form1.BitBtn3Click();  // cancelled
      QCOMPARE(form.dialogs.dialog_folders,
               QStringList{QDir::toNativeSeparators(data_folder_.path())});
      form.form1.show();
      QVERIFY(form.form1.close());
    }
    Form form;
    QCOMPARE(form.form1.remembered_folder(), QDir::toNativeSeparators(data_folder_.path()));
  }

  void exit_stores_the_folder_and_ends_the_process() {
    QTemporaryDir other;
    const QString chosen = write_file(other, "series.txt", "1\n");
    {
      Form form;
      form.dialogs.file_answers.push_back(chosen);
      form.form1.BitBtn3Click();
      form.form1.Exit1->trigger();
      QCOMPARE(form.dialogs.end_statuses, std::vector<int>{0});
    }
    Form form;
    QCOMPARE(form.form1.remembered_folder(), QDir::toNativeSeparators(other.path()));
  }

  void about_box_is_one_window_and_the_web_link_one_address() {
    Form form;
    auto& form1 = form.form1;
    form1.About1->trigger();
    form1.About1->trigger();
    QVERIFY(form1.AboutBox->isVisible());
    QCOMPARE(form1.findChildren<quarvel::ui::TAboutBox*>().size(), 1);
    QCOMPARE(form1.AboutBox->windowTitle(), QStringLiteral("Venko1.0"));
    QCOMPARE(form1.AboutBox->size(), QSize(298, 213));
    QCOMPARE(form1.AboutBox->Version->text(), QStringLiteral("Version 1.0"));
    QVERIFY(form1.AboutBox->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    form1.WebSite1->trigger();
    QCOMPARE(form.dialogs.urls, QStringList{QString::fromLatin1(quarvel::ui::kVenkoWebSite)});
  }

  void chart_double_clicks_open_their_dialogs() {
    Form form;
    auto& form1 = form.form1;
    form1.show();
    form1.PageControl1->setCurrentWidget(form1.TabSheet4);
    QVERIFY(QTest::qWaitForWindowExposed(&form1));
    QTest::mouseDClick(form1.Chart1->viewport(), Qt::LeftButton);
    QVERIFY(!form.form5->isVisible() && !form.form6->isVisible());
    QTest::mouseDClick(form1.Chart2->viewport(), Qt::LeftButton);
    QVERIFY(form.form5->isVisible());
    QVERIFY(!form.form6->isVisible());
    QTest::mouseDClick(form1.Chart3->viewport(), Qt::LeftButton);
    QVERIFY(form.form6->isVisible());
  }

  void chart_dialogs_list_eight_series() {
    Form form;
    verify_series(form.form5->Chart2, dialog_series(QStringLiteral("Validation fitness %1"),
                                                    QStringLiteral("Training fitness %1")));
    QCOMPARE(axis_titles(form.form5->Chart2), (QStringList{"Generation", "Fitness of best indv."}));
    verify_series(form.form6->Chart3,
                  dialog_series(QStringLiteral("Best indv. %1"), QStringLiteral("Average %1")));
    QCOMPARE(axis_titles(form.form6->Chart3), (QStringList{"Generation", "Length of gene"}));
    QCOMPARE(form.form5->size(), QSize(595, 415));
    QCOMPARE(form.form6->size(), QSize(594, 415));
  }

  void results_tab_starts_idle_and_empty() {
    Form form;
    auto& form1 = form.form1;
    form1.PageControl1->setCurrentWidget(form1.TabSheet4);
    const QColor yellow(255, 255, 0);
    const QColor green(0, 128, 0);
    verify_series(form1.Chart1, {{"Real Data", Qt::black, Qt::SolidLine, 1, true},
                                 {"Population1", Qt::red, Qt::DotLine, 1, false},
                                 {"Population2", Qt::blue, Qt::DotLine, 1, false},
                                 {"Population3", green, Qt::DotLine, 1, false},
                                 {"Population4", yellow, Qt::DotLine, 1, false},
                                 {"Training", QColor(255, 128, 64), Qt::SolidLine, 2, false},
                                 {"Validation", QColor(255, 0, 255), Qt::SolidLine, 2, false}});
    const QList<SeriesLook> histories{{"Population1", Qt::red, Qt::SolidLine, 1, false},
                                      {"Population2", Qt::blue, Qt::SolidLine, 1, false},
                                      {"Population3", green, Qt::SolidLine, 1, false},
                                      {"Population4", yellow, Qt::SolidLine, 1, false}};
    verify_series(form1.Chart2, histories);
    verify_series(form1.Chart3, histories);
    QCOMPARE(axis_titles(form1.Chart1), (QStringList{"Time (min)", "Normalized Value"}));
    QCOMPARE(axis_titles(form1.Chart2), (QStringList{"Generation", "MDL of best indv."}));
    QCOMPARE(axis_titles(form1.Chart3), (QStringList{"Generation", "MSE of best indv."}));

    for (QTableView* grid :
         {form1.StringGrid3, form1.StringGrid4, form1.StringGrid5, form1.StringGrid6}) {
      QCOMPARE(form1.grid_model(grid)->rowCount(), 5);
      QVERIFY(!(form1.grid_model(grid)->flags(form1.grid_model(grid)->index(0, 1)) &
                Qt::ItemIsEditable));
    }
    QCOMPARE(form1.Label31->text(), QStringLiteral("Not running"));
    QVERIFY(!form1.Label31->isHidden());
    QVERIFY(form1.Label48->isHidden() && form1.Label82->isHidden() && form1.Label83->isHidden());
    QCOMPARE(form1.ProgressBar1->value(), 0);
    QCOMPARE(form1.BitBtn2->text(), QStringLiteral("Start"));
    QVERIFY(form1.BitBtn2->isEnabled());
    QCOMPARE(form1.BitBtn1->text(), QStringLiteral("Stop"));
    QVERIFY(!form1.BitBtn1->isEnabled());
  }

  // Every caption of the windows fits its control, inside its parent, and no
  // label runs under an edit field beside it.
  void no_caption_is_clipped() {
    Form form;
    QList<QWidget*> windows{&form.form1, form.graph_form, form.form5, form.form6,
                            form.form1.AboutBox};
    for (QWidget* window : windows) window->ensurePolished();
    const auto inside_parent = [](QWidget* widget) {
      return widget->parentWidget() == nullptr ||
             widget->parentWidget()->rect().contains(widget->geometry());
    };
    for (QWidget* window : windows) {
      for (auto* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->parentWidget()->inherits("QMessageBox")) continue;
        const QString name = label->text();
        if (label->wordWrap()) {
          QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
        } else {
          QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(name));
        }
        QVERIFY2(inside_parent(label), qPrintable(name));
        for (auto* edit : label->parentWidget()->findChildren<QLineEdit*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
          QVERIFY2(!label->geometry().intersects(edit->geometry()),
                   qPrintable(name + " / " + edit->objectName()));
        }
      }
      for (auto* button : window->findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty()) continue;
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
        QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) + 12 <= group->width(),
                 qPrintable(group->title()));
        QVERIFY2(inside_parent(group), qPrintable(group->title()));
      }
    }
  }

  // A dragged rectangle zooms; a right click restores the scale from before.
  void charts_zoom_by_rectangle_and_undo() {
    Form form;
    auto* view = form.form5->Chart2;
    form.form5->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.form5));
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
    Form form;
    form.form1.show();
    form.form1.Button2Click();
    form.form1.Chart2DblClick();
    QVERIFY(form.graph_form->isVisible() && form.form5->isVisible());
    QTimer::singleShot(0, &form.form1, &QWidget::close);
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
