// A run from the window: Start and its refusals, the run driver with Stop,
// Resume, Abort and a close of the window, the results view against an engine
// run through the shared Start path, the chart windows and the output save.
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "Charts.h"
#include "FakeDialogs.h"
#include "Gp.h"
#include "GridModel.h"
#include "RadioGroup.h"
#include "generations.h"
#include "numbertext.h"
#include "outputfile.h"
#include "prediction.h"
#include "runsettings.h"

using quarvel::ui::ButtonKind;
using quarvel::ui::ChartView;
using quarvel::ui::GridModel;
using quarvel::ui::TForm1;
using quarvel::ui::testing::Form;
using quarvel::ui::testing::write_file;

namespace {

const QString kAbortQuestion = QStringLiteral("Venko|Are you sure you want to abort this GP run?");
const QChar kIdeographicSpace(0x3000);

// A wavy series, so that trees have something to fit.
QByteArray wave(int first, int count) {
  QByteArray text;
  for (int k = first; k < first + count; ++k) {
    text += QByteArray::number(0.5 + 0.3 * std::sin(0.31 * k) + 0.1 * std::sin(0.07 * k), 'g', 8);
    text += '\n';
  }
  return text;
}

QList<QPointF> points_of(const ChartView* view, int series) {
  return static_cast<QXYSeries*>(view->chart()->series().at(series))->points();
}

QList<double> y_values(const QList<QPointF>& points) {
  QList<double> values;
  for (const QPointF& point : points) values << point.y();
  return values;
}

QList<double> x_values(const QList<QPointF>& points) {
  QList<double> values;
  for (const QPointF& point : points) values << point.x();
  return values;
}

QList<double> indices(int count) {
  QList<double> values;
  for (int k = 0; k < count; ++k) values << k;
  return values;
}

QStringList column(const GridModel* model, int column) {
  QStringList texts;
  for (int row = 0; row < model->rowCount(); ++row) texts << model->cell(column, row);
  return texts;
}

QStringList texts(const std::vector<std::string>& cells) {
  QStringList list;
  for (const auto& cell : cells) list << QString::fromStdString(cell);
  return list;
}

QByteArray read_all(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "(missing)";
  return file.readAll();
}

// The figures of an engine run made through the shared Start path, as
// quarvel-cli makes it, for comparison with the window.
struct Reference {
  std::vector<QList<double>> mdl, mse, validation_mse, best_nodes, average_nodes;
  std::vector<std::vector<double>> prediction;
  std::vector<std::string> tree_text;
};

Reference reference_run(const TForm1& form, int populations) {
  auto engine = std::make_unique<quarvel::Engine>();
  const auto outcome = quarvel::frontend::start_run(*engine, form.grid_cells(form.StringGrid1),
                                                    form.grid_cells(form.StringGrid2),
                                                    form.settings_texts(), populations);
  Reference reference;
  if (outcome.error != quarvel::frontend::StartError::none) return reference;
  const auto count = static_cast<std::size_t>(populations);
  for (auto* table : {&reference.mdl, &reference.mse, &reference.validation_mse,
                      &reference.best_nodes, &reference.average_nodes}) {
    table->resize(count);
  }
  reference.prediction.resize(count);
  reference.tree_text.resize(count);
  auto& report = engine->report;
  for (int g = 0; g < engine->parameters.number_of_generations; ++g) {
    quarvel::generation_step(*engine, g);
    for (int p = 0; p < populations; ++p) {
      const auto i = static_cast<std::size_t>(p);
      quarvel::report_best_tree(*engine, report, p);
      quarvel::fill_prediction(*engine, report, p);
      quarvel::report_run_figures(*engine, report, p);
      reference.mdl[i] << report.best_mdl;
      reference.mse[i] << report.best_sn2;
      reference.validation_mse[i] << report.validation_mse;
      reference.best_nodes[i] << report.best_node_count;
      reference.average_nodes[i] << report.average_node_count;
      reference.prediction[i].assign(report.prediction.begin(),
                                     report.prediction.begin() + engine->data.point_count);
      reference.tree_text[i] = report.tree_text;
    }
  }
  return reference;
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_folder_;
  QTemporaryDir data_folder_;
  std::unique_ptr<Form> form_;

  TForm1& form() { return form_->form1; }
  GridModel* grid(QTableView* view) { return form().grid_model(view); }

  void load(const QByteArray& training, const QByteArray& validation) {
    form_->dialogs.file_answers.push_back(write_file(data_folder_, "training.txt", training));
    form().BitBtn3Click();
    form_->dialogs.file_answers.push_back(write_file(data_folder_, "validation.txt", validation));
    form().BitBtn4Click();
  }

  // Small runs: a wave of 90 + 30 points, populations of 40 with an elite of 2.
  void prepare_run(int generations, int populations) {
    load(wave(0, 90), wave(90, 30));
    form().Edit2->setText(QString::number(generations));
    form().ComboBox1->setEditText(QString::number(populations));
    form().ComboBox1Change();
    for (QLineEdit* size : {form().Edit1, form().Edit12, form().Edit17, form().Edit24}) {
      size->setText(QStringLiteral("40"));
    }
    for (QLineEdit* elite : {form().Edit7, form().Edit11, form().Edit19, form().Edit26}) {
      elite->setText(QStringLiteral("2"));
    }
  }

  // `action` runs with the index of each generation as soon as the window has
  // shown it, from inside the run's own message processing.
  void after_each_generation(std::function<void(int)> action) {
    connect(form().Memo1, &QPlainTextEdit::textChanged, &form(), [this, action] {
      QTimer::singleShot(0, &form(), [this, action] { action(form().ProgressBar1->value()); });
    });
  }

  void verify_idle() {
    auto& window = form();
    QVERIFY(!window.run_in_progress());
    QVERIFY(window.BitBtn2->isEnabled());
    QCOMPARE(quarvel::ui::button_kind(window.BitBtn2), ButtonKind::ok);
    QCOMPARE(window.BitBtn2->text(), QStringLiteral("Start"));
    QVERIFY(!window.BitBtn1->isEnabled());
    QCOMPARE(quarvel::ui::button_kind(window.BitBtn1), ButtonKind::no);
    QCOMPARE(window.BitBtn1->text(), QStringLiteral("Stop"));
    QVERIFY(!window.RunPaused);
    QVERIFY(!window.AbortRequested);
    QCOMPARE(window.ProgressBar1->value(), 0);
    for (QLabel* label : {window.Label31, window.Label48, window.Label82, window.Label83}) {
      QCOMPARE(label->text(), QStringLiteral("Not running"));
    }
  }

 private slots:
  void initTestCase() { quarvel::ui::testing::prepare_application(settings_folder_); }
  void init() { form_ = std::make_unique<Form>(); }
  void cleanup() { form_.reset(); }

  void a_window_run_gives_the_results_of_the_shared_start_path() {
    prepare_run(4, 2);
    const Reference reference = reference_run(form(), 2);
    QCOMPARE(reference.mdl.size(), std::size_t{2});
    auto& window = form();
    QStringList labels_after_last;
    bool running_state = false;
    after_each_generation([&](int g) {
      running_state = window.run_in_progress() && !window.BitBtn2->isEnabled() &&
                      quarvel::ui::button_kind(window.BitBtn2) == ButtonKind::abort &&
                      window.BitBtn2->text() == QStringLiteral("Abort") &&
                      !window.BitBtn2->icon().isNull() && window.BitBtn1->isEnabled() &&
                      window.BitBtn1->text() == "Stop";
      if (g == 3) {
        labels_after_last = QStringList{window.Label31->text(), window.Label48->text()};
      }
    });
    window.PageControl1->setCurrentWidget(window.TabSheet1);
    window.BitBtn2Click();

    QVERIFY(running_state);
    QCOMPARE(window.PageControl1->currentWidget(), window.TabSheet4);
    verify_idle();
    QCOMPARE(form_->dialogs.messages, QStringList());
    const QString progress = kIdeographicSpace + QStringLiteral("4 / 4");
    QCOMPARE(labels_after_last,
             (QStringList{QStringLiteral("No1:") + progress, QStringLiteral("No2:") + progress}));
    QVERIFY(window.Label48->isVisible() || !window.isVisible());
    QVERIFY(!window.Label48->isHidden());
    QVERIFY(window.Label82->isHidden());
    QVERIFY(window.Label83->isHidden());
    QCOMPARE(window.ProgressBar1->maximum(), 4);
    for (QLabel* label : {window.Label31, window.Label48, window.Label82, window.Label83}) {
      label->setText(QStringLiteral("No4:") + kIdeographicSpace + QStringLiteral("999 / 999"));
      QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName()));
    }

    // The histories of both populations, generation by generation, in the
    // charts of the tab and of the two chart windows.
    const auto verify_history = [](const ChartView* view, int series, const QList<double>& values) {
      const auto points = points_of(view, series);
      QCOMPARE(x_values(points), indices(4));
      QCOMPARE(y_values(points), values);
    };
    for (int p = 0; p < 2; ++p) {
      const auto i = static_cast<std::size_t>(p);
      verify_history(window.Chart2, p, reference.mdl[i]);
      verify_history(window.Chart3, p, reference.mse[i]);
      verify_history(form_->form5->Chart2, 2 * p, reference.validation_mse[i]);
      verify_history(form_->form5->Chart2, 2 * p + 1, reference.mse[i]);
      verify_history(form_->form6->Chart3, 2 * p, reference.best_nodes[i]);
      verify_history(form_->form6->Chart3, 2 * p + 1, reference.average_nodes[i]);
    }
    QVERIFY(points_of(window.Chart2, 2).isEmpty());

    // The last generation's predictions: curves and output grids.
    const int n = 120;
    for (int p = 0; p < 2; ++p) {
      const auto& prediction = reference.prediction[static_cast<std::size_t>(p)];
      QCOMPARE(static_cast<int>(prediction.size()), n);
      const auto curve = points_of(window.Chart1, p + 1);
      QCOMPARE(x_values(curve), indices(n));
      QCOMPARE(y_values(curve), QList<double>(prediction.begin(), prediction.end()));
      const auto cells = quarvel::frontend::output_cells(prediction);
      QTableView* output = p == 0 ? window.StringGrid3 : window.StringGrid4;
      QCOMPARE(column(grid(output), 0), texts(cells.index));
      QCOMPARE(column(grid(output), 1), texts(cells.value));
    }
    QCOMPARE(column(grid(window.StringGrid3), 0).first(), QStringLiteral("0"));
    QCOMPARE(grid(window.StringGrid5)->rowCount(), n);  // absent populations: N empty rows
    QCOMPARE(column(grid(window.StringGrid5), 1), QStringList(n, QString()));
    QVERIFY(points_of(window.Chart1, 3).isEmpty());

    // "Real Data": the scaled series, 0 to 1.
    const auto real = points_of(window.Chart1, 0);
    QCOMPARE(x_values(real), indices(n));
    const QList<double> scaled = y_values(real);
    QCOMPARE(*std::min_element(scaled.begin(), scaled.end()), 0.0);
    QCOMPARE(*std::max_element(scaled.begin(), scaled.end()), 1.0);

    // Markers at T and T + V, spanning the curves and at least 0 to 1.
    double lo = 0.0;
    double hi = 1.0;
    for (const auto& prediction : reference.prediction) {
      for (double value : prediction) {
        lo = std::min(lo, value);
        hi = std::max(hi, value);
      }
    }
    const int overlap = window.Edit32->text().toInt();
    QCOMPARE(points_of(window.Chart1, 5), (QList<QPointF>{{90.0, lo}, {90.0, hi}}));
    QCOMPARE(points_of(window.Chart1, 6),
             (QList<QPointF>{{90.0 + overlap, lo}, {90.0 + overlap, hi}}));

    // The best trees, each under its population's heading.
    QString text;
    for (int p = 0; p < 2; ++p) {
      text += QStringLiteral("Population:%1\n").arg(p + 1) +
              QString::fromStdString(reference.tree_text[static_cast<std::size_t>(p)]) +
              QStringLiteral("\n\n");
    }
    QCOMPARE(window.Memo1->toPlainText(), text);
  }

  void stop_and_resume_between_generations() {
    prepare_run(5, 1);
    auto& window = form();
    QStringList seen;
    int shown_while_paused = -1;
    after_each_generation([&](int g) {
      if (g != 1) return;
      window.BitBtn1->click();
      seen << window.BitBtn1->text() << window.BitBtn2->text();
      QVERIFY(window.BitBtn2->isEnabled());
      QCOMPARE(quarvel::ui::button_kind(window.BitBtn1), ButtonKind::ok);
      QTimer::singleShot(50, &window, [&] {
        shown_while_paused = static_cast<int>(points_of(window.Chart2, 0).size());
        window.BitBtn1->click();
        seen << window.BitBtn1->text() << QString::number(window.BitBtn2->isEnabled());
      });
    });
    window.BitBtn2Click();

    QCOMPARE(seen, (QStringList{"Resume", "Abort", "Stop", "0"}));
    QCOMPARE(shown_while_paused, 2);  // generations 0 and 1, nothing more while paused
    QCOMPARE(points_of(window.Chart2, 0).size(), 5);
    verify_idle();
  }

  // Late in a long run the window still answers between generations.
  void stop_and_resume_late_in_a_long_run() {
    prepare_run(300, 1);
    auto& window = form();
    int paused_at = -1;
    int resumed = 0;
    after_each_generation([&](int g) {
      if (g != 290 || paused_at >= 0) return;
      window.BitBtn1->click();
      paused_at = g;
      QTimer::singleShot(30, &window, [&] {
        QVERIFY(window.RunPaused);
        QCOMPARE(window.ProgressBar1->value(), 290);  // nothing ran while paused
        window.BitBtn1->click();
        ++resumed;
      });
    });
    window.BitBtn2Click();
    QCOMPARE(paused_at, 290);
    QCOMPARE(resumed, 1);
    QCOMPARE(points_of(window.Chart2, 0).size(), 300);
    verify_idle();
  }

  // A Stop that arrives while the last generation is shown must not leave the
  // next run paused or the button reading "Resume".
  void stop_during_the_last_generation_leaves_no_pause_behind() {
    prepare_run(3, 1);
    auto& window = form();
    bool stopped = false;
    after_each_generation([&](int g) {
      if (g == 2 && !stopped) {
        stopped = true;
        window.BitBtn1->click();
      }
    });
    window.BitBtn2Click();
    QVERIFY(stopped);
    verify_idle();
    window.BitBtn2Click();
    QCOMPARE(points_of(window.Chart2, 0).size(), 3);
    verify_idle();
  }

  // The marker lines span the curves and at least 0 to 1; a value that is not
  // finite is left out of the curve and of the span.
  void markers_span_the_predicted_values_data() {
    QTest::addColumn<double>("extreme");
    QTest::addColumn<QString>("overlap");
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("validation_x");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("within 0 to 1") << 0.5 << "5" << 0.0 << 1.0 << 95.0;
    QTest::newRow("2.5 stretches up") << 2.5 << "5" << 0.0 << 2.5 << 95.0;
    QTest::newRow("-0.3 stretches down") << -0.3 << "5" << -0.3 << 1.0 << 95.0;
    QTest::newRow("infinite") << inf << "5" << 0.0 << 1.0 << 95.0;
    QTest::newRow("not a number") << std::nan("") << "5" << 0.0 << 1.0 << 95.0;
    QTest::newRow("overlap 0 puts Validation on Training") << 0.5 << "0" << 0.0 << 1.0 << 90.0;
  }
  void markers_span_the_predicted_values() {
    QFETCH(double, extreme);
    QFETCH(QString, overlap);
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, validation_x);
    prepare_run(1, 1);
    auto& window = form();
    window.BitBtn2Click();
    window.Edit32->setText(overlap);
    std::vector<std::vector<double>> predictions{std::vector<double>(120, 0.25)};
    predictions[0][7] = extreme;
    window.PlotPredictionCurves(predictions);

    QCOMPARE(points_of(window.Chart1, 5), (QList<QPointF>{{90.0, lo}, {90.0, hi}}));
    QCOMPARE(points_of(window.Chart1, 6), (QList<QPointF>{{validation_x, lo}, {validation_x, hi}}));
    const auto curve = points_of(window.Chart1, 1);
    QCOMPARE(curve.size(), std::isfinite(extreme) ? 120 : 119);
    QCOMPARE(curve.last(), QPointF(119.0, 0.25));
  }

  void abort_answered_no_then_yes() {
    prepare_run(6, 1);
    auto& window = form();
    after_each_generation([&](int g) {
      if (g != 1) return;
      window.BitBtn1->click();  // the button route to Abort leads through Stop
      QTimer::singleShot(0, &window, [&] {
        form_->dialogs.answer_yes = false;
        window.BitBtn2->click();
        QVERIFY(window.RunPaused);
        QVERIFY(!window.AbortRequested);
        form_->dialogs.answer_yes = true;
        window.BitBtn2->click();
      });
    });
    window.BitBtn2Click();

    QCOMPARE(form_->dialogs.questions, (QStringList{kAbortQuestion, kAbortQuestion}));
    QCOMPARE(points_of(window.Chart2, 0).size(), 2);  // generations 0 and 1 stay on display
    QCOMPARE(grid(window.StringGrid3)->rowCount(), 120);
    verify_idle();
  }

  void ctrl_s_during_a_run_asks_to_abort_and_never_starts_another() {
    prepare_run(6, 1);
    auto& window = form();
    int starts = 0;
    connect(static_cast<QXYSeries*>(window.Chart1->chart()->series().at(0)),
            &QXYSeries::pointsReplaced, &window, [&] { ++starts; });
    bool asked = false;
    after_each_generation([&](int g) {
      if (g != 0 || asked) return;
      asked = true;
      form_->dialogs.answer_yes = true;
      window.StartGPRun1->trigger();
    });
    window.BitBtn2Click();

    QCOMPARE(starts, 1);
    QCOMPARE(form_->dialogs.questions, QStringList{kAbortQuestion});
    QCOMPARE(points_of(window.Chart2, 0).size(), 1);
    verify_idle();

    // The next Start runs from a clean state: all generations.
    form_->dialogs.answer_yes = false;
    window.BitBtn2Click();
    QCOMPARE(points_of(window.Chart2, 0).size(), 6);
    verify_idle();
  }

  void closing_the_window_ends_the_run_first() {
    prepare_run(6, 1);
    auto& window = form();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool refused = false;
    after_each_generation([&](int g) {
      if (g == 1) refused = !window.close();
    });
    window.BitBtn2Click();

    QVERIFY(refused);
    QCOMPARE(points_of(window.Chart2, 0).size(), 2);
    QVERIFY(!window.isVisible());
    verify_idle();
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Venko"),
                    QStringLiteral("Regression"));
    QCOMPARE(store.value(QStringLiteral("DIRECTORY/INIT")).toString(), window.remembered_folder());
    QCOMPARE(window.remembered_folder(), QDir::toNativeSeparators(data_folder_.path()));
  }

  void keyboard_roles_of_the_button_kinds() {
    prepare_run(5, 1);
    auto& window = form();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStringList seen;
    after_each_generation([&](int g) {
      if (g == 0) {
        QTest::keyClick(window.Memo1, Qt::Key_Escape);  // Stop is the cancel button
        seen << window.BitBtn1->text();
        QTimer::singleShot(0, &window, [&] {
          QTest::keyClick(window.Memo1, Qt::Key_Return);  // Resume is the default button
          seen << window.BitBtn1->text();
        });
      }
    });
    window.PageControl1->setCurrentWidget(window.TabSheet4);
    window.Memo1->setFocus();
    QTest::keyClick(window.Memo1, Qt::Key_Return);  // Start is the default button

    QCOMPARE(seen, (QStringList{"Resume", "Stop"}));
    QCOMPARE(points_of(window.Chart2, 0).size(), 5);
    verify_idle();
  }

  void save_writes_the_grid_as_the_file_format_says() {
    auto& window = form();
    auto& dialogs = form_->dialogs;
    const QString path = data_folder_.filePath(QStringLiteral("out.txt"));

    // Before any run: five rows of empty cells.
    dialogs.file_answers.push_back(path);
    window.Button4Click();
    QCOMPARE(read_all(path), QByteArray(",\r\n,\r\n,\r\n,\r\n,\r\n"));
    QCOMPARE(dialogs.save_dialog_folders.size(), 1);
    QCOMPARE(dialogs.dialog_folders.size(), 0);

    prepare_run(1, 2);
    window.BitBtn2Click();
    const auto save = [&](QPushButton* button, const GridModel* model) {
      dialogs.file_answers.push_back(path);
      button->click();
      QByteArray expected;
      for (int row = 0; row < model->rowCount(); ++row) {
        expected += model->cell(0, row).toLatin1() + ',' + model->cell(1, row).toLatin1() + "\r\n";
      }
      QCOMPARE(read_all(path), expected);
      QVERIFY(read_all(path).startsWith("0,"));
      QVERIFY(read_all(path).contains("\r\n119,"));
    };
    save(window.Button4, grid(window.StringGrid3));  // replaces the five-line file
    save(window.Button5, grid(window.StringGrid4));
    QCOMPARE(dialogs.questions, QStringList());
    QCOMPARE(QDir(data_folder_.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // Cancelled: the file stays as it is.
    const QByteArray before = read_all(path);
    dialogs.file_answers.push_back(std::nullopt);
    window.Button4Click();
    QCOMPARE(read_all(path), before);
    QCOMPARE(dialogs.messages, QStringList());
  }

  void a_failed_save_names_the_file_and_the_reason() {
    auto& window = form();
    auto& dialogs = form_->dialogs;
    const QString missing = data_folder_.filePath(QStringLiteral("no such folder/out.txt"));
    dialogs.file_answers.push_back(missing);
    window.Button4Click();
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY2(dialogs.messages[0].contains(missing), qPrintable(dialogs.messages[0]));
    QVERIFY2(dialogs.messages[0].contains(QStringLiteral("No such file or directory")),
             qPrintable(dialogs.messages[0]));
    QVERIFY(!QFile::exists(missing));

    const QString protected_file = write_file(data_folder_, "kept.txt", "old\r\n");
    QFile::setPermissions(protected_file, QFile::ReadOwner);
    if (QFileInfo(protected_file).isWritable()) QSKIP("this user may write any file");
    dialogs.file_answers.push_back(protected_file);
    window.Button4Click();
    QCOMPARE(dialogs.messages.size(), 2);
    QVERIFY2(dialogs.messages[1].contains(protected_file), qPrintable(dialogs.messages[1]));
    QCOMPARE(read_all(protected_file), QByteArray("old\r\n"));
    QCOMPARE(grid(window.StringGrid3)->rowCount(), 5);
  }

  // Refused Starts: the message, the tab shown after it, and no run.
  void start_refusals_data() {
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("message");  // the message shown starts with this text
    QTest::addColumn<bool>("data_tab");    // "Problem Configuration" comes to the front
    QTest::newRow("overselect below 1000") << "overselect"
                                           << "Population size must be bigger than 999" << false;
    QTest::newRow("overselect on page 2 of 2")
        << "overselect 2"
        << "Population size must be bigger than 999" << false;
    QTest::newRow("elite above the population size")
        << "elite"
        << "The number of elite (41) of population 1 is larger than its population size (40)"
        << false;
    QTest::newRow("setting typed and never left")
        << "unreadable"
        << "The setting \"Generation\" cannot be used" << false;
    QTest::newRow("all values equal") << "equal"
                                      << "All loaded values are equal (5)" << true;
    QTest::newRow("more than 40000 values")
        << "too many"
        << "The training and validation data hold 40001 values together" << true;
  }
  void start_refusals() {
    QFETCH(QString, refusal);
    QFETCH(QString, message);
    QFETCH(bool, data_tab);
    auto& window = form();
    prepare_run(3, 1);
    if (refusal.startsWith(QStringLiteral("overselect"))) {
      const bool second = refusal.endsWith(QLatin1Char('2'));
      if (second) {
        window.ComboBox1->setEditText(QStringLiteral("2"));
        window.ComboBox1Change();
      }
      (second ? window.RadioGroup2 : window.RadioGroup1)->setItemIndex(1);
      (second ? window.Edit12 : window.Edit1)->setText(QStringLiteral("999"));
    } else if (refusal == QStringLiteral("elite")) {
      window.Edit7->setText(QStringLiteral("41"));
    } else if (refusal == QStringLiteral("unreadable")) {
      window.Edit2->setText(QStringLiteral("ten"));
    } else if (refusal == QStringLiteral("equal")) {
      load("5\n5\n5\n", "5\n5\n");
    } else if (refusal == QStringLiteral("too many")) {
      load(QByteArray("1\n2\n").repeated(15000), QByteArray("3\n").repeated(10001));
    }
    window.PageControl1->setCurrentWidget(window.TabSheet3);
    window.BitBtn2Click();

    QCOMPARE(form_->dialogs.messages.size(), 1);
    QVERIFY2(form_->dialogs.messages[0].startsWith(message),
             qPrintable(form_->dialogs.messages[0]));
    QCOMPARE(window.PageControl1->currentWidget(), data_tab ? window.TabSheet1 : window.TabSheet3);
    QVERIFY(window.engine().populations.empty());
    QVERIFY(points_of(window.Chart1, 0).isEmpty());
    QCOMPARE(form_->dialogs.end_statuses, std::vector<int>());
    verify_idle();
    QVERIFY(window.TrainingLoaded && window.ValidationLoaded);

    // With the population size raised to 1000 the overselect page is accepted.
    if (refusal.startsWith(QStringLiteral("overselect"))) {
      form_->dialogs.messages.clear();
      (refusal.endsWith(QLatin1Char('2')) ? window.Edit12 : window.Edit1)
          ->setText(QStringLiteral("1000"));
      window.Edit2->setText(QStringLiteral("1"));
      window.BitBtn2Click();
      QCOMPARE(form_->dialogs.messages, QStringList());
      QCOMPARE(points_of(window.Chart2, 0).size(), 1);
    }
  }
};

QTEST_MAIN(RunTest)
#include "test_run.moc"
