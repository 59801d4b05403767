#include "ui/ResultsView.h"

#include <QChart>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>
#include <cmath>

#include "frontend/outputfile.h"
#include "ui/ChartView.h"
#include "ui/GridModel.h"
#include "ui/KindButton.h"
#include "ui/ResultHistories.h"
#include "ui/charts.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

// Series of the prediction chart.
constexpr int kRealDataSeries = 0;
constexpr int kFirstPopulationSeries = 1;
constexpr int kTrainingMarker = 5;
constexpr int kForecastMarker = 6;

ChartView* add_chart(QWidget* parent, const char* name, const QRect& geometry) {
  auto* view = new ChartView(parent);
  view->setObjectName(QString::fromLatin1(name));
  view->setGeometry(geometry);
  // Small charts: keep the axis and legend texts from eating the plot area.
  QFont small = view->font();
  small.setPixelSize(10);
  view->chart()->legend()->setFont(small);
  return view;
}

// Four population curves, solid or dotted, none of them in the legend.
void add_population_series(QChart* chart, Qt::PenStyle style) {
  for (int population = 0; population < ResultsView::kPopulations; ++population) {
    add_line_series(chart, QStringLiteral("Population%1").arg(population + 1),
                    population_colour(population), style, 1, false);
  }
}

// A history chart of the four populations over the generations.
ChartView* add_history_chart(QWidget* parent, const char* name, const QRect& geometry,
                             const QString& y_title) {
  ChartView* view = add_chart(parent, name, geometry);
  add_population_series(view->chart(), Qt::SolidLine);
  attach_axes(view->chart(), QStringLiteral("Generation"), y_title);
  use_small_axis_fonts(view->chart());
  view->chart()->legend()->hide();  // it would list nothing: only the prediction chart has entries
  return view;
}

QTableView* add_output_grid(QWidget* parent, int population) {
  auto* grid = new QTableView(parent);
  grid->setObjectName(QStringLiteral("output_grid_%1").arg(population + 1));
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
QLabel* add_progress_label(QWidget* parent, int population, const QRect& geometry) {
  auto* label = new QLabel(QString::fromLatin1(kNotRunning), parent);
  label->setObjectName(QStringLiteral("progress_label_%1").arg(population + 1));
  label->setTextFormat(Qt::PlainText);
  QFont font = label->font();
  font.setPixelSize(11);
  label->setFont(font);
  label->setGeometry(geometry);
  label->setVisible(population == 0);
  return label;
}

}  // namespace

ResultsView::ResultsView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("results_view"));

  mdl_chart_ = add_history_chart(this, "mdl_chart", QRect(8, 8, 249, 153),
                                 QStringLiteral("MDL of best indv."));
  mse_chart_ = add_history_chart(this, "mse_chart", QRect(8, 160, 249, 145),
                                 QStringLiteral("MSE of best indv."));
  connect(mdl_chart_, &ChartView::doubleClicked, this, &ResultsView::fitness_window_requested);
  connect(mse_chart_, &ChartView::doubleClicked, this, &ResultsView::gene_length_window_requested);

  auto* output = new QGroupBox(QStringLiteral("Output"), this);
  output->setGeometry(8, 304, 249, 169);
  output_tabs_ = new QTabWidget(output);
  output_tabs_->setObjectName(QStringLiteral("output_tabs"));
  output_tabs_->setGeometry(6, 16, 237, 149);
  for (int population = 0; population < kPopulations; ++population) {
    const auto i = static_cast<std::size_t>(population);
    auto* page = new QWidget();
    output_tabs_->addTab(page, QStringLiteral("NO.%1").arg(population + 1));
    output_grids_[i] = add_output_grid(page, population);
    save_buttons_[i] = new QPushButton(QStringLiteral("Save"), page);
    save_buttons_[i]->setObjectName(QStringLiteral("save_button_%1").arg(population + 1));
    save_buttons_[i]->setGeometry(176, 8, 50, 25);
    connect(save_buttons_[i], &QPushButton::clicked, this,
            [this, population] { emit save_requested(population); });
  }
  show_population_count(1);

  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(280, 8, 297, 137);
  auto* caption = new QLabel(QStringLiteral("Best Individual"), panel);
  caption->move(8, 8);
  caption->adjustSize();
  best_trees_text_ = new QPlainTextEdit(panel);
  best_trees_text_->setObjectName(QStringLiteral("best_trees_text"));
  best_trees_text_->setReadOnly(true);
  best_trees_text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  best_trees_text_->setGeometry(16, 24, 265, 97);

  prediction_chart_ = add_chart(this, "prediction_chart", QRect(280, 152, 297, 217));
  QChart* prediction = prediction_chart_->chart();
  add_line_series(prediction, QStringLiteral("Real Data"), colours::black, Qt::SolidLine, 1, true);
  add_population_series(prediction, Qt::DotLine);
  add_line_series(prediction, QStringLiteral("Training"), colours::orange, Qt::SolidLine, 2, false);
  add_line_series(prediction, QStringLiteral("Validation"), colours::fuchsia, Qt::SolidLine, 2,
                  false);
  attach_axes(prediction, QStringLiteral("Time (min)"), QStringLiteral("Normalized Value"));
  use_small_axis_fonts(prediction);

  progress_bar_ = new QProgressBar(this);
  progress_bar_->setObjectName(QStringLiteral("progress_bar"));
  progress_bar_->setRange(0, 100);
  progress_bar_->setValue(0);
  progress_bar_->setTextVisible(false);
  progress_bar_->setGeometry(280, 374, 297, 19);

  const std::array<QRect, kPopulations> label_places{
      QRect(288, 400, 86, 16), QRect(376, 400, 132, 16), QRect(288, 416, 86, 16),
      QRect(376, 416, 132, 16)};
  for (int population = 0; population < kPopulations; ++population) {
    const auto i = static_cast<std::size_t>(population);
    progress_labels_[i] = add_progress_label(this, population, label_places[i]);
  }

  start_button_ = new KindButton(this);
  start_button_->setObjectName(QStringLiteral("start_button"));
  start_button_->setGeometry(512, 402, 65, 25);
  connect(start_button_, &QPushButton::clicked, this, &ResultsView::start_or_abort_requested);
  stop_button_ = new KindButton(this);
  stop_button_->setObjectName(QStringLiteral("stop_button"));
  stop_button_->setGeometry(512, 434, 65, 25);
  connect(stop_button_, &QPushButton::clicked, this, &ResultsView::pause_toggle_requested);
  show_run_state(RunState::idle);

  // The keyboard roles of the kinds: Enter presses the enabled OK button, Esc
  // the enabled No button, while the focus is on this tab.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    const ButtonKind kind = key == Qt::Key_Escape ? ButtonKind::no : ButtonKind::ok;
    connect(shortcut, &QShortcut::activated, this, [this, kind] { press_button_of_kind(kind); });
  }
}

void ResultsView::press_button_of_kind(ButtonKind kind) {
  for (KindButton* button : {start_button_, stop_button_}) {
    if (button->isEnabled() && button->kind() == kind) {
      button->click();
      return;
    }
  }
}

void ResultsView::show_run_state(RunState state) {
  switch (state) {
    case RunState::idle:
      start_button_->set_kind(ButtonKind::ok, QStringLiteral("Start"));
      start_button_->setEnabled(true);
      stop_button_->set_kind(ButtonKind::no, QStringLiteral("Stop"));
      stop_button_->setEnabled(false);
      progress_bar_->setValue(0);
      for (QLabel* label : progress_labels_) label->setText(QString::fromLatin1(kNotRunning));
      break;
    case RunState::running:
      start_button_->set_kind(ButtonKind::abort, QStringLiteral("Abort"));
      start_button_->setEnabled(false);
      stop_button_->set_kind(ButtonKind::no, QStringLiteral("Stop"));
      stop_button_->setEnabled(true);
      break;
    case RunState::paused:
      start_button_->set_kind(ButtonKind::abort, QStringLiteral("Abort"));
      start_button_->setEnabled(true);
      stop_button_->set_kind(ButtonKind::ok, QStringLiteral("Resume"));
      stop_button_->setEnabled(true);
      break;
  }
}

void ResultsView::show_population_count(int count) {
  for (int index = 1; index < kPopulations; ++index) {
    output_tabs_->setTabVisible(index, index < count);
  }
}

GridModel* ResultsView::output_model(int population) const {
  return static_cast<GridModel*>(output_grids_[static_cast<std::size_t>(population)]->model());
}

void ResultsView::start_run_display(std::span<const double> scaled_data, int populations,
                                    int generations) {
  for (ChartView* view : chart_views()) clear_chart(view->chart());
  show_thinned_points(series_at(prediction_chart_->chart(), kRealDataSeries),
                      index_points(scaled_data, scaled_data.size()));
  follow_points(prediction_chart_->chart());
  repaint();

  for (int p = 0; p < kPopulations; ++p) {
    progress_labels_[static_cast<std::size_t>(p)]->setVisible(p < populations);
  }
  progress_bar_->setRange(0, generations);
  for (int p = 0; p < kPopulations; ++p) {
    output_model(p)->set_row_count(static_cast<int>(scaled_data.size()));
  }
}

void ResultsView::show_generation(const frontend::GenerationResults& results,
                                  const ResultHistories& histories, int generations,
                                  const PredictionMarkers& markers) {
  const int populations = static_cast<int>(results.populations.size());
  QString text;
  for (int p = 0; p < populations; ++p) {
    text += QStringLiteral("Population:%1\r\n").arg(p + 1);
    text += QString::fromStdString(results.populations[static_cast<std::size_t>(p)].tree_text);
    text += QStringLiteral("\r\n\r\n");
  }
  best_trees_text_->setPlainText(text);

  for (int p = 0; p < std::min(populations, kPopulations); ++p) {
    auto cells =
        frontend::output_cells(results.populations[static_cast<std::size_t>(p)].prediction);
    output_model(p)->replace_cells(
        frontend::GridColumns{std::move(cells.index), std::move(cells.value)});
  }

  plot_prediction_curves(results, markers);
  plot_best_history(mdl_chart_, histories.mdl, results.generation + 1);
  plot_best_history(mse_chart_, histories.mse, results.generation + 1);

  progress_bar_->setValue(results.generation);
  const QString progress = QChar(0x3000) + QString::number(results.generation + 1) +
                           QStringLiteral(" / ") + QString::number(generations);
  for (int p = 0; p < std::min(populations, kPopulations); ++p) {
    progress_labels_[static_cast<std::size_t>(p)]->setText(QStringLiteral("No%1:").arg(p + 1) +
                                                           progress);
  }
}

void ResultsView::plot_prediction_curves(const frontend::GenerationResults& results,
                                         const PredictionMarkers& markers) {
  // The markers span the curves, at least 0 to 1. Values that are not finite
  // are not drawn and do not stretch them.
  double lo = 0.0;
  double hi = 1.0;
  for (const frontend::PopulationReport& report : results.populations) {
    for (const double value : report.prediction) {
      if (!std::isfinite(value)) continue;
      hi = std::max(hi, value);
      lo = std::min(lo, value);
    }
  }
  QChart* chart = prediction_chart_->chart();
  series_at(chart, kTrainingMarker)
      ->replace({QPointF(markers.training, lo), QPointF(markers.training, hi)});
  series_at(chart, kForecastMarker)
      ->replace({QPointF(markers.forecast, lo), QPointF(markers.forecast, hi)});
  for (std::size_t p = 0; p < results.populations.size() && p < kPopulations; ++p) {
    const std::vector<double>& prediction = results.populations[p].prediction;
    show_thinned_points(series_at(chart, kFirstPopulationSeries + static_cast<int>(p)),
                        index_points(prediction, prediction.size()));
  }
  follow_points(chart);
}

void ResultsView::plot_best_history(ChartView* chart,
                                    const std::vector<std::vector<double>>& histories, int count) {
  for (std::size_t p = 0; p < histories.size() && p < kPopulations; ++p) {
    series_at(chart->chart(), static_cast<int>(p))
        ->replace(index_points(histories[p], static_cast<std::size_t>(count)));
  }
  follow_points(chart->chart());
}

}  // namespace quarvel::ui
