#include "ui/ResultsView.h"

#include <QChart>
#include <QFrame>
#include <QGraphicsLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

#include "records/outputfile.h"
#include "ui/AccuracyTable.h"
#include "ui/ChartView.h"
#include "ui/GridModel.h"
#include "ui/GridView.h"
#include "ui/KindButton.h"
#include "ui/ResultHistories.h"
#include "ui/TimeAxis.h"
#include "ui/charts.h"
#include "ui/style.h"

namespace quarvel::ui {

namespace {

constexpr auto kBandLevels = forecasting::kDefaultLevels;
// The bands' fill: light enough that the curves drawn over them read as
// lines, the wider band lighter.
constexpr std::array<int, kBandLevels.size()> kBandAlphas{55, 28};
static_assert(ResultsView::band_count == ResultsView::kPopulations * kBandLevels.size());

// A band's edges drawn no further than the range a forecast diverges beyond
// ([-1, 2] scaled: the data's range widened by its span on each side), or the
// curves' own range where they reach further: paths that ran away would
// stretch the chart until the data were a flat line.
std::vector<double> held_to_range(std::vector<double> edge, double low, double high) {
  for (double& value : edge) {
    if (!std::isnan(value)) value = std::clamp(value, low, high);
  }
  return edge;
}

int band_series(int population, std::size_t level) {
  return ResultsView::first_band_series + population * static_cast<int>(kBandLevels.size()) +
         static_cast<int>(level);
}

// "No1 80 % band"
QString band_title(int population, std::size_t level) {
  return QStringLiteral("No%1 %2 % band").arg(population + 1).arg(kBandLevels[level]);
}

void show_in_legend(QChart* chart, QAbstractSeries* series, bool shown) {
  for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(shown);
}

ChartView* add_chart(const char* name, const QSize& minimum) {
  auto* view = new ChartView();
  view->setObjectName(QString::fromLatin1(name));
  view->setMinimumSize(minimum);
  // Small charts: keep the axis and legend texts from eating the plot area.
  QFont small = view->font();
  small.setPixelSize(9);
  view->chart()->legend()->setFont(small);
  view->chart()->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  return view;
}

// Four population curves, solid or dotted; their legend entries appear for the
// populations of a run, named as the tabs name them ("No1"), short enough for
// five entries in a row above a small chart.
void add_population_series(QChart* chart, Qt::PenStyle style) {
  for (int population = 0; population < ResultsView::kPopulations; ++population) {
    QLineSeries* series = add_line_series(chart, QStringLiteral("Population%1").arg(population + 1),
                                          population_colour(population), style, 1, false);
    for (QLegendMarker* marker : chart->legend()->markers(series)) {
      marker->setLabel(QStringLiteral("No%1").arg(population + 1));
    }
  }
}

// A history chart of the four populations over the generations; its legend
// appears with the first run.
ChartView* add_history_chart(const char* name, const QString& y_title) {
  ChartView* view = add_chart(name, QSize(240, 130));
  add_population_series(view->chart(), Qt::SolidLine);
  attach_axes(view->chart(), QStringLiteral("Generation"), y_title);
  use_small_axis_fonts(view->chart());
  // Beside the plot, the legend leaves it the height its axis title needs.
  view->chart()->legend()->setAlignment(Qt::AlignRight);
  view->chart()->legend()->hide();
  return view;
}

// The labels stand in a column beside the buttons; a slightly smaller font
// keeps them close.
QLabel* add_progress_label(int population) {
  auto* label = new QLabel(QString::fromLatin1(kNotRunning));
  label->setObjectName(QStringLiteral("progress_label_%1").arg(population + 1));
  label->setTextFormat(Qt::PlainText);
  QFont font = label->font();
  font.setPixelSize(11);
  label->setFont(font);
  label->setVisible(population == 0);
  return label;
}

// "No1:　g / G" with the ideographic space of the progress display.
QString progress_text(int population, int generation, int generations) {
  return QStringLiteral("No%1:").arg(population + 1) + QChar(0x3000) + QString::number(generation) +
         QStringLiteral(" / ") + QString::number(generations);
}

}  // namespace

ResultsView::ResultsView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("results_view"));

  mdl_chart_ = add_history_chart("mdl_chart", QStringLiteral("MDL of best indv."));
  mse_chart_ = add_history_chart("mse_chart", QStringLiteral("MSE of best indv."));
  connect(mdl_chart_, &ChartView::doubleClicked, this, &ResultsView::fitness_window_requested);
  connect(mse_chart_, &ChartView::doubleClicked, this, &ResultsView::gene_length_window_requested);
  QGroupBox* output = build_output_box();
  QFrame* panel = build_best_individual_panel();
  build_prediction_chart();
  QLayout* controls = build_run_controls();
  // Across the whole tab, so that every column of the table is in view at
  // any size of the window.
  // Its rows name what they are (No1…No4, then the benchmarks), so that
  // the columns have the tab's whole width.
  accuracy_table_ = new AccuracyTable();
  accuracy_table_->setToolTip(
      QStringLiteral("How the best trees forecast the validation part, in the series' units, "
                     "and how the benchmarks forecast the same points"));

  // The charts, the text and the grids take what the window grows by.
  auto* left = new QVBoxLayout();
  left->setSpacing(2);
  left->addWidget(mdl_chart_, 3);
  left->addWidget(mse_chart_, 3);
  left->addWidget(output, 2);
  auto* right = new QVBoxLayout();
  right->addWidget(panel, 2);
  right->addWidget(prediction_chart_, 3);
  right->addWidget(progress_bar_);
  right->addLayout(controls);
  auto* columns = new QHBoxLayout();
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(2);
  layout->addLayout(columns, 1);
  layout->addWidget(accuracy_table_);

  // The keyboard roles of the kinds: Enter presses the enabled OK button, Esc
  // the enabled No button, while the focus is on this tab.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    const ButtonKind kind = key == Qt::Key_Escape ? ButtonKind::no : ButtonKind::ok;
    connect(shortcut, &QShortcut::activated, this, [this, kind] { press_button_of_kind(kind); });
  }
}

QGroupBox* ResultsView::build_output_box() {
  auto* output = new QGroupBox(QStringLiteral("Output"));
  auto* output_layout = new QVBoxLayout(output);
  // Tight margins leave the accuracy table its rows below at the window's
  // designed size.
  output_layout->setContentsMargins(2, 2, 2, 2);
  output_tabs_ = new QTabWidget();
  output_tabs_->setObjectName(QStringLiteral("output_tabs"));
  output_layout->addWidget(output_tabs_);
  for (int population = 0; population < kPopulations; ++population) {
    const auto i = static_cast<std::size_t>(population);
    auto* page = new QWidget();
    auto* page_layout = new QHBoxLayout(page);
    page_layout->setContentsMargins(2, 2, 2, 2);
    output_grids_[i] = new GridView(
        // Scaled whatever units the prediction chart is in: the heading says so.
        new GridModel(kOutputGridRows, false,
                      {QStringLiteral("Index"), QString::fromLatin1(kOutputValueHeading)}),
        QStringLiteral("output_grid_%1").arg(population + 1), 3);
    output_grids_[i]->setEditTriggers(QAbstractItemView::NoEditTriggers);
    output_grids_[i]->setAccessibleName(
        QStringLiteral("Output of population %1").arg(population + 1));
    page_layout->addWidget(output_grids_[i], 1);
    auto* buttons = new QVBoxLayout();
    save_buttons_[i] = new QPushButton(QStringLiteral("Save"));
    save_buttons_[i]->setObjectName(QStringLiteral("save_button_%1").arg(population + 1));
    buttons->addWidget(save_buttons_[i]);
    buttons->addStretch(1);
    page_layout->addLayout(buttons);
    output_tabs_->addTab(page, QStringLiteral("NO.%1").arg(population + 1));
    connect(save_buttons_[i], &QPushButton::clicked, this,
            [this, population] { emit save_requested(population); });
  }
  show_population_count(1);
  return output;
}

QFrame* ResultsView::build_best_individual_panel() {
  auto* panel = new QFrame();
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* panel_layout = new QVBoxLayout(panel);
  panel_layout->setContentsMargins(4, 4, 4, 4);
  panel_layout->setSpacing(2);
  panel_layout->addWidget(new QLabel(QStringLiteral("Best Individual")));
  best_trees_text_ = new QPlainTextEdit();
  best_trees_text_->setObjectName(QStringLiteral("best_trees_text"));
  best_trees_text_->setAccessibleName(QStringLiteral("Best Individual"));
  best_trees_text_->setReadOnly(true);
  best_trees_text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Trees are shown line for line as printed: a break inside a number
  // ("[2]1." / "945970") would misread as two values.
  best_trees_text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  best_trees_text_->setMinimumHeight(60);
  panel_layout->addWidget(best_trees_text_);
  return panel;
}

void ResultsView::build_prediction_chart() {
  prediction_chart_ = add_chart("prediction_chart", QSize(280, 190));
  QChart* prediction = prediction_chart_->chart();
  // The bands first: the curves are drawn over them.
  for (int population = 0; population < kPopulations; ++population) {
    for (std::size_t level = 0; level < kBandLevels.size(); ++level) {
      QColor colour = population_colour(population);
      colour.setAlpha(kBandAlphas[level]);
      add_band_series(prediction, band_title(population, level), colour);
    }
  }
  add_line_series(prediction, QStringLiteral("Real Data"), colours::black, Qt::SolidLine, 1, true);
  add_population_series(prediction, Qt::DotLine);
  add_line_series(prediction, QString::fromLatin1(kTrainingMarkerTitle), colours::orange,
                  Qt::SolidLine, 2, false);
  add_line_series(prediction, QString::fromLatin1(kForecastMarkerTitle), colours::fuchsia,
                  Qt::SolidLine, 2, false);
  for (int population = 0; population < kPopulations; ++population) {
    add_line_series(prediction, QStringLiteral("Forecast%1").arg(population + 1),
                    population_colour(population), Qt::DashLine, 1, false);
  }
  add_line_series(prediction, QString::fromLatin1(kDataEndMarkerTitle), colours::data_end,
                  Qt::DashLine, 2, false);
  attach_axes(prediction, QStringLiteral("Time (min)"), QStringLiteral("Normalized Value"));
  use_small_axis_fonts(prediction);
  // Beside the plot: an entry a line, however many the run's populations,
  // bands and lines need, each whole.
  prediction->legend()->setAlignment(Qt::AlignRight);
}

QLayout* ResultsView::build_run_controls() {
  progress_bar_ = new QProgressBar();
  progress_bar_->setObjectName(QStringLiteral("progress_bar"));
  progress_bar_->setRange(0, 100);
  progress_bar_->setValue(0);
  progress_bar_->setTextVisible(false);

  auto* labels = new QVBoxLayout();
  labels->setSpacing(0);
  for (int population = 0; population < kPopulations; ++population) {
    const auto i = static_cast<std::size_t>(population);
    progress_labels_[i] = add_progress_label(population);
    labels->addWidget(progress_labels_[i]);
  }
  labels->addStretch(1);

  start_button_ = new KindButton();
  start_button_->setObjectName(QStringLiteral("start_button"));
  connect(start_button_, &QPushButton::clicked, this, &ResultsView::start_or_abort_requested);
  stop_button_ = new KindButton();
  stop_button_->setObjectName(QStringLiteral("stop_button"));
  connect(stop_button_, &QPushButton::clicked, this, &ResultsView::pause_toggle_requested);
  show_run_state(RunState::idle);
  auto* buttons = new QVBoxLayout();
  buttons->addWidget(start_button_);
  buttons->addWidget(stop_button_);
  buttons->addStretch(1);

  auto* controls = new QHBoxLayout();
  controls->addLayout(labels, 1);
  controls->addLayout(buttons);
  return controls;
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

void ResultsView::show_progress_line(int done, int steps, const QString& line) {
  progress_bar_->setRange(0, steps);
  progress_bar_->setValue(done);
  for (QLabel* label : progress_labels_) label->clear();
  progress_labels_[0]->setText(line);
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
                                    int generations, int first_forecast_row,
                                    const DataScale& scale) {
  for (ChartView* view : chart_views()) view->clear_points();
  scaled_data_.assign(scaled_data.begin(), scaled_data.end());
  // A new run's trees are read from their top.
  best_trees_text_->verticalScrollBar()->setValue(0);
  best_trees_text_->horizontalScrollBar()->setValue(0);
  scale_ = scale;
  shown_ = {};
  forecasts_.clear();
  quality_.clear();
  accuracy_table_->clear_figures();
  name_diverged_forecasts();
  plot_prediction_chart(true);
  // The legends name the populations of this run.
  for (ChartView* view : {mdl_chart_, mse_chart_, prediction_chart_}) {
    const int first = view == prediction_chart_ ? first_population_series : 0;
    QLegend* legend = view->chart()->legend();
    for (int p = 0; p < kPopulations; ++p) {
      for (QLegendMarker* marker : legend->markers(view->series(first + p))) {
        marker->setVisible(p < populations);
      }
    }
    if (view == prediction_chart_) name_bands(populations);
    legend->setVisible(true);
    // A marker shown or hidden does not lay the legend out again by itself.
    legend->layout()->invalidate();
  }
  repaint();

  for (int p = 0; p < kPopulations; ++p) {
    QLabel* label = progress_labels_[static_cast<std::size_t>(p)];
    label->setVisible(p < populations);
    // Room for the whole text at the run's last generation, whatever its count.
    label->setMinimumWidth(
        label->fontMetrics().horizontalAdvance(progress_text(p, generations, generations)));
  }
  progress_bar_->setRange(0, generations);
  for (int p = 0; p < kPopulations; ++p) {
    GridModel* model = output_model(p);
    if (p >= populations) {
      // A population that is not in this run shows nothing of an earlier one.
      model->set_row_count(kOutputGridRows);
      model->clear_cells();
      model->set_first_forecast_row(-1);
    } else {
      model->set_row_count(static_cast<int>(scaled_data.size()));
      model->set_first_forecast_row(first_forecast_row);
    }
    model->set_first_ahead_row(-1);
  }
  label_output_times(populations);
}

void ResultsView::label_output_times(int populations) {
  for (int p = 0; p < kPopulations; ++p) {
    GridModel* model = output_model(p);
    if (time_ && p < populations) {
      model->set_time_labels(time_->point_stamps(0, static_cast<std::size_t>(model->rowCount())),
                             time_->title());
    } else {
      model->clear_time_labels();
    }
  }
}

void ResultsView::show_best_trees(const std::vector<std::string>& trees) {
  QString text;
  for (std::size_t p = 0; p < trees.size(); ++p) {
    text += QStringLiteral("Population:%1\r\n").arg(p + 1);
    text += QString::fromStdString(trees[p]);
    text += QStringLiteral("\r\n\r\n");
  }
  // New text, and the reader's place in it kept.
  const int vertical = best_trees_text_->verticalScrollBar()->value();
  const int horizontal = best_trees_text_->horizontalScrollBar()->value();
  best_trees_text_->setPlainText(text);
  best_trees_text_->verticalScrollBar()->setValue(vertical);
  best_trees_text_->horizontalScrollBar()->setValue(horizontal);
}

void ResultsView::show_generation(const runs::GenerationResults& results,
                                  const ResultHistories& histories, int generations,
                                  const PredictionMarkers& markers,
                                  const std::vector<std::string>& best_trees) {
  const int populations = static_cast<int>(results.populations.size());
  show_best_trees(best_trees);

  for (int p = 0; p < std::min(populations, kPopulations); ++p) {
    auto cells = records::output_cells(results.populations[static_cast<std::size_t>(p)].prediction);
    output_model(p)->replace_cells(
        data::GridColumns{std::move(cells.index), std::move(cells.value)});
  }

  plot_prediction_curves(results, markers);
  plot_best_history(mdl_chart_, histories.mdl, results.generation + 1);
  plot_best_history(mse_chart_, histories.mse, results.generation + 1);

  progress_bar_->setValue(results.generation);
  for (int p = 0; p < std::min(populations, kPopulations); ++p) {
    progress_labels_[static_cast<std::size_t>(p)]->setText(
        progress_text(p, results.generation + 1, generations));
  }
}

void ResultsView::plot_prediction_curves(const runs::GenerationResults& results,
                                         const PredictionMarkers& markers) {
  shown_.populations.resize(results.populations.size());
  for (std::size_t p = 0; p < results.populations.size(); ++p) {
    shown_.populations[p].prediction = results.populations[p].prediction;
  }
  markers_ = markers;
  plot_prediction_chart(false);
}

void ResultsView::show_forecasts(const std::vector<std::vector<double>>& forecasts) {
  forecasts_ = forecasts;
  const auto first = static_cast<std::int64_t>(scaled_data_.size());
  for (std::size_t p = 0; p < forecasts.size() && p < kPopulations; ++p) {
    const auto population = static_cast<int>(p);
    GridModel* model = output_model(population);
    // The forecast's rows after the fitted ones, set apart.
    data::GridColumns cells = model->columns();
    const records::OutputCells ahead = records::output_cells(forecasts[p], first);
    cells.time.insert(cells.time.end(), ahead.index.begin(), ahead.index.end());
    cells.value.insert(cells.value.end(), ahead.value.begin(), ahead.value.end());
    model->replace_cells(std::move(cells));
    model->set_first_ahead_row(forecasts[p].empty() ? -1 : static_cast<int>(first));
  }
  if (!forecasts.empty()) label_output_times(static_cast<int>(forecasts.size()));
  plot_prediction_chart(false);
}

void ResultsView::show_forecast_quality(const std::vector<forecasting::ForecastQuality>& quality) {
  quality_ = quality;
  accuracy_table_->show_quality(quality_, bands_shown_);
  name_diverged_forecasts();
  plot_prediction_chart(false);
}

void ResultsView::set_bands_shown(bool shown) {
  if (shown == bands_shown_) return;
  bands_shown_ = shown;
  if (!quality_.empty()) accuracy_table_->show_quality(quality_, bands_shown_);
  plot_prediction_chart(false);
}

void ResultsView::name_bands(int populations) {
  // A run of one population needs no population in the names.
  QLegend* legend = prediction_chart_->chart()->legend();
  for (int p = 0; p < kPopulations; ++p) {
    for (std::size_t level = 0; level < kBandLevels.size(); ++level) {
      const QString label = populations == 1
                                ? QStringLiteral("%1 % band").arg(kBandLevels[level])
                                : QStringLiteral("No%1 %2 %").arg(p + 1).arg(kBandLevels[level]);
      for (QLegendMarker* marker :
           legend->markers(prediction_chart_->chart()->series().at(band_series(p, level)))) {
        marker->setLabel(label);
      }
    }
  }
}

void ResultsView::name_diverged_forecasts() {
  QLegend* legend = prediction_chart_->chart()->legend();
  for (int p = 0; p < kPopulations; ++p) {
    const auto at = static_cast<std::size_t>(p);
    const QString diverged = at < quality_.size() ? divergence_text(quality_[at]) : QString();
    QString label = QStringLiteral("No%1").arg(p + 1);
    if (!diverged.isEmpty()) label += QStringLiteral(" \u2014 ") + diverged;
    for (QLegendMarker* marker :
         legend->markers(prediction_chart_->series(first_population_series + p))) {
      marker->setLabel(label);
    }
  }
  legend->layout()->invalidate();
}

void ResultsView::plot_bands(
    const std::function<std::vector<double>(std::vector<double>)>& in_units) {
  const auto past_first = static_cast<double>(scaled_data_.size());
  std::array<double, 2> range{-1.0, 2.0};
  const auto widen = [&range](std::span<const double> values) {
    for (const double value : values) {
      if (!std::isfinite(value)) continue;
      range[0] = std::min(range[0], value);
      range[1] = std::max(range[1], value);
    }
  };
  for (const runs::PopulationReport& report : shown_.populations) widen(report.prediction);
  for (const std::vector<double>& forecast : forecasts_) widen(forecast);
  for (int p = 0; p < kPopulations; ++p) {
    const auto at = static_cast<std::size_t>(p);
    for (std::size_t level = 0; level < kBandLevels.size(); ++level) {
      QList<QPointF> lower;
      QList<QPointF> upper;
      const auto add_steps = [&](const forecasting::PathBands& bands, double first) {
        for (const forecasting::Band& band : bands.bands) {
          if (band.level != kBandLevels[level]) continue;
          const std::vector<double> low = in_units(held_to_range(band.lower, range[0], range[1]));
          const std::vector<double> high = in_units(held_to_range(band.upper, range[0], range[1]));
          for (std::size_t k = 0; k < low.size() && k < high.size(); ++k) {
            // A step where paths ran away beyond any number has no edge to draw.
            if (!std::isfinite(low[k]) || !std::isfinite(high[k])) continue;
            const double x = first + static_cast<double>(k);
            lower.append(QPointF(x, low[k]));
            upper.append(QPointF(x, high[k]));
          }
        }
      };
      if (bands_shown_ && at < quality_.size()) {
        add_steps(quality_[at].validation_bands, static_cast<double>(quality_[at].first_index));
        add_steps(quality_[at].past_data_bands, past_first);
      }
      if (time_) {
        // At the time stamps of the table the data came from, as the curves.
        lower = time_->on_time(lower, false);
        upper = time_->on_time(upper, false);
      }
      prediction_chart_->set_band(band_series(p, level), lower, upper);
      show_in_legend(prediction_chart_->chart(),
                     prediction_chart_->chart()->series().at(band_series(p, level)),
                     !upper.isEmpty());
    }
  }
}

void ResultsView::set_original_units(bool original) {
  if (original == original_units_) return;
  original_units_ = original;
  prediction_chart_->chart()
      ->axes(Qt::Vertical)
      .constFirst()
      ->setTitleText(original ? QStringLiteral("Value") : QStringLiteral("Normalized Value"));
  plot_prediction_chart(true);
}

void ResultsView::set_time_scale(std::shared_ptr<const TimeScale> time) {
  time_ = std::move(time);
  show_time_axis(prediction_chart_, time_);
}

void ResultsView::plot_prediction_chart(bool real_data_too) {
  // The scaled values, or the series' own units lo + v * (hi - lo).
  const auto shown = [this](std::vector<double> values) {
    if (original_units_) {
      for (double& v : values) v = scale_.low + v * (scale_.high - scale_.low);
    }
    return values;
  };
  const auto curve = [&](std::span<const double> values, std::int64_t first) {
    const std::vector<double> in_units = shown({values.begin(), values.end()});
    QList<QPointF> points = index_points(in_units, in_units.size());
    for (QPointF& point : points) point.rx() += static_cast<double>(first);
    return time_ ? time_->on_time(points, false) : points;
  };
  // The markers at the rows the points they mark stand for: on a time axis
  // the validation part starts with the training rows it repeats.
  const auto marker_x = [this](double point) { return time_ ? time_->x_of_point(point) : point; };
  // The data change only with a new run or other units.
  if (real_data_too) prediction_chart_->set_points(real_data_series, curve(scaled_data_, 0));

  // The markers span the curves, at least 0 to 1. Values that are not finite
  // are not drawn and do not stretch them.
  double lo = 0.0;
  double hi = 1.0;
  for (const runs::PopulationReport& report : shown_.populations) {
    for (const double value : report.prediction) {
      if (!std::isfinite(value)) continue;
      hi = std::max(hi, value);
      lo = std::min(lo, value);
    }
  }
  const std::vector<double> span = shown({lo, hi});
  const auto mark = [&](int series, std::optional<double> point) {
    const double x = point ? marker_x(*point) : 0.0;
    prediction_chart_->set_points(
        series,
        point ? QList<QPointF>{QPointF(x, span[0]), QPointF(x, span[1])} : QList<QPointF>{});
    // The legend says what each line marks while the chart shows it.
    show_in_legend(prediction_chart_->chart(), prediction_chart_->chart()->series().at(series),
                   point.has_value());
  };
  const auto first = static_cast<std::int64_t>(scaled_data_.size());
  const bool ahead = std::any_of(forecasts_.begin(), forecasts_.end(),
                                 [](const std::vector<double>& steps) { return !steps.empty(); });
  if (!shown_.populations.empty()) {
    mark(training_marker_series, markers_.training);
    mark(forecast_marker_series, markers_.forecast);
    // The edge between the validation part and the forecast past the data.
    mark(data_end_marker_series,
         ahead ? std::optional<double>(static_cast<double>(first)) : std::nullopt);
  }
  for (std::size_t p = 0; p < shown_.populations.size() && p < kPopulations; ++p) {
    prediction_chart_->set_points(first_population_series + static_cast<int>(p),
                                  curve(shown_.populations[p].prediction, 0));
  }
  for (std::size_t p = 0; p < kPopulations; ++p) {
    prediction_chart_->set_points(
        first_ahead_series + static_cast<int>(p),
        p < forecasts_.size() ? curve(forecasts_[p], first) : QList<QPointF>{});
  }
  plot_bands(shown);
  follow_points(prediction_chart_->chart());
}

void ResultsView::plot_best_history(ChartView* chart,
                                    const std::vector<std::vector<double>>& histories, int count) {
  for (std::size_t p = 0; p < histories.size() && p < kPopulations; ++p) {
    chart->set_points(static_cast<int>(p),
                      index_points(histories[p], static_cast<std::size_t>(count)));
  }
  follow_points(chart->chart());
}

}  // namespace quarvel::ui
