#include "Gp.h"

#include <QApplication>
#include <QChart>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QXYSeries>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Charts.h"
#include "GridModel.h"
#include "Unit1.h"
#include "Unit5.h"
#include "Unit6.h"
#include "UserDialogs.h"
#include "engine.h"
#include "generations.h"
#include "numbertext.h"
#include "outputfile.h"
#include "prediction.h"

namespace quarvel::ui {

namespace {

ChartView* add_chart(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* view = new ChartView(parent);
  view->setObjectName(QString::fromLatin1(name));
  view->setGeometry(left, top, width, height);
  // Small charts: keep the axis and legend texts from eating the plot area.
  QFont small = view->font();
  small.setPixelSize(10);
  view->chart()->legend()->setFont(small);
  return view;
}

// Four population curves, solid or dotted, none of them in the legend.
void add_population_series(QChart* chart, Qt::PenStyle style) {
  for (int population = 0; population < 4; ++population) {
    add_line_series(chart, QStringLiteral("Population%1").arg(population + 1),
                    population_colour(population), style, 1, false);
  }
}

QTableView* add_output_grid(QWidget* parent, const char* name) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->setModel(new GridModel(kOutputGridRows, false, grid));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setDefaultSectionSize(80);
  grid->verticalHeader()->setDefaultSectionSize(20);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setGeometry(0, 8, 169, 110);
  return grid;
}

// The labels stand in two columns 88 pixels apart, the right one reaching to
// the buttons; a slightly smaller font keeps "No1:　999 / 999" within a column.
QLabel* add_progress_label(QWidget* parent, const char* name, int left, int top, int width,
                           bool visible) {
  auto* label = new QLabel(QString::fromLatin1(kNotRunning), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  QFont font = label->font();
  font.setPixelSize(11);
  label->setFont(font);
  label->setGeometry(left, top, width, 16);
  label->setVisible(visible);
  return label;
}

QXYSeries* series_at(const ChartView* view, qsizetype index) {
  return static_cast<QXYSeries*>(view->chart()->series().at(index));
}

// Points (k, values[k]) for k < count. A value that is not finite has no place
// on a chart: the curve skips it (the output grid still shows it).
QList<QPointF> index_points(const std::vector<double>& values, std::size_t count) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(count));
  for (std::size_t k = 0; k < count; ++k) {
    if (std::isfinite(values[k])) points.append(QPointF(static_cast<double>(k), values[k]));
  }
  return points;
}

// Automatic scaling of both axes, unless the user has zoomed in: that view
// stays until the zoom is undone or the next run starts.
void scale_axes(ChartView* view) {
  follow_points(view->chart());
}

void clear_chart(ChartView* view) {
  view->chart()->zoomReset();
  for (auto* series : view->chart()->series()) static_cast<QXYSeries*>(series)->clear();
  fit_axes(view->chart());
}

}  // namespace

ResultHistories::ResultHistories(int populations, int generations, int points) {
  const auto count = static_cast<std::size_t>(std::max(populations, 0));
  const auto per_generation = std::vector<double>(static_cast<std::size_t>(generations), 0.0);
  for (auto* table : {&mdl, &mse, &validation_mse, &best_nodes, &average_nodes}) {
    table->assign(count, per_generation);
  }
  predictions.assign(count, std::vector<double>(static_cast<std::size_t>(points), 0.0));
}

void set_button_kind(QPushButton* button, ButtonKind kind) {
  QStyle::StandardPixmap glyph = QStyle::SP_DialogOkButton;
  const char* caption = "OK";
  switch (kind) {
    case ButtonKind::ok:
      break;
    case ButtonKind::no:
      glyph = QStyle::SP_DialogNoButton;
      caption = "No";
      break;
    case ButtonKind::abort:
      glyph = QStyle::SP_DialogAbortButton;
      caption = "Abort";
      break;
  }
  QIcon icon = button->style()->standardIcon(glyph);
  // Not every style draws an Abort glyph; its cross is the Cancel one.
  if (icon.isNull()) icon = button->style()->standardIcon(QStyle::SP_DialogCancelButton);
  button->setIcon(icon);
  button->setText(QString::fromLatin1(caption));
  button->setProperty("kind", static_cast<int>(kind));
}

ButtonKind button_kind(const QPushButton* button) {
  return static_cast<ButtonKind>(button->property("kind").toInt());
}

void TForm1::BuildResultsTab() {
  TabSheet4 = new QWidget();
  TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
  PageControl1->addTab(TabSheet4, QStringLiteral("Results"));

  Chart2 = add_chart(TabSheet4, "Chart2", 8, 8, 249, 153);
  add_population_series(Chart2->chart(), Qt::SolidLine);
  attach_axes(Chart2->chart(), QStringLiteral("Generation"), QStringLiteral("MDL of best indv."));
  use_small_axis_fonts(Chart2->chart());
  Chart2->chart()
      ->legend()
      ->hide();  // it would list nothing: only the prediction chart has entries

  Chart3 = add_chart(TabSheet4, "Chart3", 8, 160, 249, 145);
  add_population_series(Chart3->chart(), Qt::SolidLine);
  attach_axes(Chart3->chart(), QStringLiteral("Generation"), QStringLiteral("MSE of best indv."));
  use_small_axis_fonts(Chart3->chart());
  Chart3->chart()->legend()->hide();

  GroupBox17 = new QGroupBox(QStringLiteral("Output"), TabSheet4);
  GroupBox17->setObjectName(QStringLiteral("GroupBox17"));
  GroupBox17->setGeometry(8, 304, 249, 169);
  PageControl3 = new QTabWidget(GroupBox17);
  PageControl3->setObjectName(QStringLiteral("PageControl3"));
  PageControl3->setGeometry(6, 16, 237, 149);
  const std::array<const char*, 4> sheet_names{"TabSheet8", "TabSheet9", "TabSheet10",
                                               "TabSheet11"};
  const std::array<const char*, 4> grid_names{"StringGrid3", "StringGrid4", "StringGrid5",
                                              "StringGrid6"};
  const std::array<const char*, 4> button_names{"Button4", "Button5", "Button6", "Button7"};
  const std::array<QWidget**, 4> sheets{&TabSheet8, &TabSheet9, &TabSheet10, &TabSheet11};
  const std::array<QTableView**, 4> grids{&StringGrid3, &StringGrid4, &StringGrid5, &StringGrid6};
  const std::array<QPushButton**, 4> buttons{&Button4, &Button5, &Button6, &Button7};
  for (std::size_t index = 0; index < 4; ++index) {
    auto* sheet = new QWidget();
    sheet->setObjectName(QString::fromLatin1(sheet_names[index]));
    PageControl3->addTab(sheet, QStringLiteral("NO.%1").arg(index + 1));
    *sheets[index] = sheet;
    output_sheets_[index] = sheet;
    *grids[index] = add_output_grid(sheet, grid_names[index]);
    auto* save = new QPushButton(QStringLiteral("Save"), sheet);
    save->setObjectName(QString::fromLatin1(button_names[index]));
    save->setGeometry(176, 8, 50, 25);
    *buttons[index] = save;
  }
  for (int index = 1; index < 4; ++index) PageControl3->setTabVisible(index, false);

  Panel2 = new QFrame(TabSheet4);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel2->setGeometry(280, 8, 297, 137);
  Label28 = new QLabel(QStringLiteral("Best Individual"), Panel2);
  Label28->setObjectName(QStringLiteral("Label28"));
  Label28->move(8, 8);
  Label28->adjustSize();
  Memo1 = new QPlainTextEdit(Panel2);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setGeometry(16, 24, 265, 97);

  Chart1 = add_chart(TabSheet4, "Chart1", 280, 152, 297, 217);
  QChart* chart1 = Chart1->chart();
  add_line_series(chart1, QStringLiteral("Real Data"), colours::black, Qt::SolidLine, 1, true);
  add_population_series(chart1, Qt::DotLine);
  add_line_series(chart1, QStringLiteral("Training"), colours::orange, Qt::SolidLine, 2, false);
  add_line_series(chart1, QStringLiteral("Validation"), colours::fuchsia, Qt::SolidLine, 2, false);
  attach_axes(chart1, QStringLiteral("Time (min)"), QStringLiteral("Normalized Value"));
  use_small_axis_fonts(chart1);

  ProgressBar1 = new QProgressBar(TabSheet4);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(280, 374, 297, 19);

  Label31 = add_progress_label(TabSheet4, "Label31", 288, 400, 86, true);
  Label48 = add_progress_label(TabSheet4, "Label48", 376, 400, 132, false);
  Label82 = add_progress_label(TabSheet4, "Label82", 288, 416, 86, false);
  Label83 = add_progress_label(TabSheet4, "Label83", 376, 416, 132, false);

  BitBtn2 = new QPushButton(TabSheet4);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(512, 402, 65, 25);
  set_button_kind(BitBtn2, ButtonKind::ok);
  BitBtn2->setText(QStringLiteral("Start"));
  connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
  BitBtn1 = new QPushButton(TabSheet4);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(512, 434, 65, 25);
  set_button_kind(BitBtn1, ButtonKind::no);
  BitBtn1->setText(QStringLiteral("Stop"));
  BitBtn1->setEnabled(false);
  connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);

  // The keyboard roles of the kinds: Enter presses the enabled OK button, Esc
  // the enabled No button, while the focus is on this tab.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    auto* shortcut = new QShortcut(QKeySequence(key), TabSheet4);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    const auto kind = key == Qt::Key_Escape ? ButtonKind::no : ButtonKind::ok;
    connect(shortcut, &QShortcut::activated, this,
            [this, kind] { press_button_of_kind(static_cast<int>(kind)); });
  }

  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);

  // A double click on the prediction chart opens nothing.
  connect(Chart2, &ChartView::doubleClicked, this, &TForm1::Chart2DblClick);
  connect(Chart3, &ChartView::doubleClicked, this, &TForm1::Chart3DblClick);
}

void TForm1::press_button_of_kind(int kind) {
  if (PageControl1->currentWidget() != TabSheet4) return;
  for (QPushButton* button : {BitBtn2, BitBtn1}) {
    if (button->isEnabled() && static_cast<int>(button_kind(button)) == kind) {
      button->click();
      return;
    }
  }
}

void TForm1::Chart2DblClick() {
  if (form5_ != nullptr) form5_->show_window();
}

void TForm1::Chart3DblClick() {
  if (form6_ != nullptr) form6_->show_window();
}

// ---------------------------------------------------------------------------
// Stop and Resume

void TForm1::BitBtn1Click() {
  if (!run_in_progress_) return;
  RunPaused = !RunPaused;
  if (RunPaused) {
    set_button_kind(BitBtn1, ButtonKind::ok);
    BitBtn1->setText(QStringLiteral("Resume"));
    BitBtn2->setEnabled(true);
  } else {
    set_button_kind(BitBtn1, ButtonKind::no);
    BitBtn1->setText(QStringLiteral("Stop"));
    BitBtn2->setEnabled(false);
  }
}

// ---------------------------------------------------------------------------
// The run driver

void TForm1::ProcessPendingMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TForm1::RunGenerations() {
  run_in_progress_ = true;
  // The axes follow the curves every generation; animating each of those
  // changes would blur the charts during a run. The zoom animates again after it.
  std::vector<std::pair<QChart*, QChart::AnimationOptions>> animations;
  for (ChartView* view : {Chart1, Chart2, Chart3, form5_ != nullptr ? form5_->Chart2 : nullptr,
                          form6_ != nullptr ? form6_->Chart3 : nullptr}) {
    if (view == nullptr) continue;
    animations.emplace_back(view->chart(), view->chart()->animationOptions());
    view->chart()->setAnimationOptions(QChart::NoAnimation);
  }

  BitBtn1->setEnabled(true);
  BitBtn2->setEnabled(false);
  set_button_kind(BitBtn2, ButtonKind::abort);
  BitBtn2->setText(QStringLiteral("Abort"));

  // Back to Idle however the run ends. Stop and Resume are reset as well: a
  // Stop pressed while the last generation was shown would otherwise leave
  // "Resume" on the button and the next run paused at its first generation.
  const auto end_run = [this, &animations] {
    QApplication::beep();
    RunPaused = false;
    AbortRequested = false;
    BitBtn2->setEnabled(true);
    BitBtn1->setEnabled(false);
    set_button_kind(BitBtn1, ButtonKind::no);
    BitBtn1->setText(QStringLiteral("Stop"));
    set_button_kind(BitBtn2, ButtonKind::ok);
    BitBtn2->setText(QStringLiteral("Start"));
    ProgressBar1->setValue(0);
    for (QLabel* label : {Label31, Label48, Label82, Label83}) {
      label->setText(QString::fromLatin1(kNotRunning));
    }
    for (const auto& [chart, options] : animations) chart->setAnimationOptions(options);
    run_in_progress_ = false;
  };

  try {
    const int generations = engine_.parameters.number_of_generations;
    ResultHistories histories(engine_.population_count, generations, engine_.data.point_count);
    ResetResultCharts();
    PrepareResultsView();
    for (int g = 0; g < generations; ++g) {
      ProcessPendingMessages();
      // Paused: sleep until the next window message instead of spinning.
      while (RunPaused && !AbortRequested) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      }
      if (AbortRequested) break;
      generation_step(engine_, g);
      ShowGenerationResults(histories, g);
    }
  } catch (...) {
    end_run();
    throw;
  }
  end_run();
}

// ---------------------------------------------------------------------------
// The results view

void TForm1::ResetResultCharts() {
  for (ChartView* view : {Chart1, Chart2, Chart3}) clear_chart(view);
  if (form5_ != nullptr) clear_chart(form5_->Chart2);
  if (form6_ != nullptr) clear_chart(form6_->Chart3);

  const auto points = static_cast<std::size_t>(engine_.data.point_count);
  series_at(Chart1, 0)->replace(index_points(engine_.data.values, points));
  scale_axes(Chart1);
  repaint();
}

void TForm1::PrepareResultsView() {
  const int populations = engine_.population_count;
  Label31->setVisible(true);
  Label48->setVisible(populations >= 2);
  Label82->setVisible(populations >= 3);
  Label83->setVisible(populations >= 4);
  ProgressBar1->setRange(0, engine_.parameters.number_of_generations);
  for (QTableView* grid : {StringGrid3, StringGrid4, StringGrid5, StringGrid6}) {
    grid_model(grid)->set_row_count(engine_.data.point_count);
  }
}

void TForm1::ShowGenerationResults(ResultHistories& histories, int g) {
  const int populations = engine_.population_count;
  const int generations = engine_.parameters.number_of_generations;
  const auto points = static_cast<std::ptrdiff_t>(engine_.data.point_count);
  const auto generation = static_cast<std::size_t>(g);
  GenerationReport& report = engine_.report;

  QString text;
  for (int p = 0; p < populations; ++p) {
    report_best_tree(engine_, report, p);
    fill_prediction(engine_, report, p);
    report_run_figures(engine_, report, p);
    const auto population = static_cast<std::size_t>(p);
    std::copy_n(report.prediction.begin(), points, histories.predictions[population].begin());
    histories.mdl[population][generation] = report.best_mdl;
    histories.mse[population][generation] = report.best_sn2;
    histories.validation_mse[population][generation] = report.validation_mse;
    histories.best_nodes[population][generation] = report.best_node_count;
    histories.average_nodes[population][generation] = report.average_node_count;
    text += QStringLiteral("Population:%1\r\n").arg(p + 1);
    text += QString::fromStdString(report.tree_text);
    text += QStringLiteral("\r\n\r\n");
  }
  Memo1->setPlainText(text);

  const std::array<QTableView*, 4> grids{StringGrid3, StringGrid4, StringGrid5, StringGrid6};
  for (int p = 0; p < std::min(populations, 4); ++p) {
    auto cells = frontend::output_cells(histories.predictions[static_cast<std::size_t>(p)]);
    grid_model(grids[static_cast<std::size_t>(p)])
        ->replace_cells(frontend::GridColumns{std::move(cells.index), std::move(cells.value)});
  }

  PlotPredictionCurves(histories.predictions);
  PlotBestHistory(Chart2, histories.mdl, g + 1);
  PlotBestHistory(Chart3, histories.mse, g + 1);
  PlotChartWindows(histories, g + 1);

  ProgressBar1->setValue(g);
  const QString progress =
      QChar(0x3000) + QString::number(g + 1) + QStringLiteral(" / ") + QString::number(generations);
  const std::array<QLabel*, 4> labels{Label31, Label48, Label82, Label83};
  for (int p = 0; p < std::min(populations, 4); ++p) {
    labels[static_cast<std::size_t>(p)]->setText(QStringLiteral("No%1:").arg(p + 1) + progress);
  }

  ProcessPendingMessages();
}

void TForm1::PlotPredictionCurves(const std::vector<std::vector<double>>& predictions) {
  const auto populations = static_cast<std::size_t>(engine_.population_count);
  const auto points = static_cast<std::size_t>(engine_.data.point_count);

  // The markers span the curves, at least 0 to 1. Values that are not finite
  // are not drawn and do not stretch them.
  double lo = 0.0;
  double hi = 1.0;
  for (std::size_t p = 0; p < populations; ++p) {
    for (std::size_t k = 0; k < points; ++k) {
      const double value = predictions[p][k];
      if (!std::isfinite(value)) continue;
      hi = std::max(hi, value);
      lo = std::min(lo, value);
    }
  }
  const auto training = static_cast<double>(grid_cells(StringGrid1).rows());
  // The settings check keeps the overlap text a whole number; should it hold
  // anything else, the run's own overlap marks the point.
  const double overlap =
      frontend::parse_whole_number(Edit32->text().toStdString()).value_or(engine_.data.overlap);
  series_at(Chart1, 5)->replace({QPointF(training, lo), QPointF(training, hi)});
  series_at(Chart1, 6)->replace({QPointF(training + overlap, lo), QPointF(training + overlap, hi)});

  for (std::size_t p = 0; p < populations && p < 4; ++p) {
    series_at(Chart1, static_cast<qsizetype>(p + 1))->replace(index_points(predictions[p], points));
  }
  scale_axes(Chart1);
}

void TForm1::PlotBestHistory(ChartView* chart, const std::vector<std::vector<double>>& histories,
                             int count) {
  const auto populations = static_cast<std::size_t>(engine_.population_count);
  for (std::size_t p = 0; p < populations && p < 4; ++p) {
    series_at(chart, static_cast<qsizetype>(p))
        ->replace(index_points(histories[p], static_cast<std::size_t>(count)));
  }
  scale_axes(chart);
}

// The two chart windows: per population a solid and a dotted curve, the
// forecast error beside the training error, the best tree's size beside the
// population's mean size.
void TForm1::PlotChartWindows(const ResultHistories& histories, int count) {
  const auto populations = static_cast<std::size_t>(engine_.population_count);
  const auto generations = static_cast<std::size_t>(count);
  const auto plot = [&](ChartView* view, const std::vector<std::vector<double>>& solid,
                        const std::vector<std::vector<double>>& dotted) {
    for (std::size_t p = 0; p < populations && p < 4; ++p) {
      const auto index = static_cast<qsizetype>(2 * p);
      series_at(view, index)->replace(index_points(solid[p], generations));
      series_at(view, index + 1)->replace(index_points(dotted[p], generations));
    }
    scale_axes(view);
  };
  if (form5_ != nullptr) plot(form5_->Chart2, histories.validation_mse, histories.mse);
  if (form6_ != nullptr) plot(form6_->Chart3, histories.best_nodes, histories.average_nodes);
}

// ---------------------------------------------------------------------------
// Output save

void TForm1::SaveOutputGrid(QTableView* grid) {
  const auto path = dialogs_.save_file(this, current_folder_);
  if (!path || path->isEmpty()) return;
  current_folder_ = QDir::toNativeSeparators(QFileInfo(*path).absolutePath());

  const QString name = QDir::toNativeSeparators(*path);
  const QFileInfo target(*path);
  std::optional<std::string> problem;
  if (target.isDir()) {
    problem = "it is a folder";
  } else if (target.exists() && !target.isWritable()) {
    problem = "the file is write-protected";  // replacing it would defeat the protection
  } else {
    const auto& cells = grid_cells(grid);
    problem = frontend::write_file_atomically(QFile::encodeName(*path).toStdString(),
                                              frontend::output_file_text(cells.time, cells.value));
  }
  if (problem) {
    dialogs_.message(this, QStringLiteral("The output could not be saved to \"%1\": %2.")
                               .arg(name, QString::fromStdString(*problem)));
  }
}

void TForm1::Button4Click() {
  SaveOutputGrid(StringGrid3);
}

void TForm1::Button5Click() {
  SaveOutputGrid(StringGrid4);
}

void TForm1::Button6Click() {
  SaveOutputGrid(StringGrid5);
}

void TForm1::Button7Click() {
  SaveOutputGrid(StringGrid6);
}

}  // namespace quarvel::ui
