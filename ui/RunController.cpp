#include "ui/RunController.h"

#include <QApplication>
#include <QStringList>
#include <QTabWidget>
#include <algorithm>
#include <memory>
#include <new>
#include <span>

#include "data/datafile.h"
#include "engine/engine.h"
#include "forecasting/forecast.h"
#include "forecasting/transformedrun.h"
#include "runs/startrun.h"
#include "ui/AccuracyTable.h"
#include "ui/ChartView.h"
#include "ui/HistoryChartWindow.h"
#include "ui/OutputController.h"
#include "ui/ProblemTab.h"
#include "ui/ResultsView.h"
#include "ui/SeriesLoader.h"
#include "ui/TimeAxis.h"
#include "ui/UserDialogs.h"

namespace quarvel::ui {

RunController::RunController(Engine& engine, UserDialogs& dialogs, const RunScreens& screens,
                             const SeriesLoader& series, const WindowFiles& files,
                             std::function<runs::SettingsTexts()> settings, QWidget* window)
    : QObject(window),
      dialogs_(dialogs),
      screens_(screens),
      series_(series),
      files_(files),
      settings_(std::move(settings)),
      window_(window),
      driver_(new RunDriver(engine, this)),
      status_(QString::fromLatin1(kNotRunning)) {
  connect(driver_, &RunDriver::paused_changed, this, [this](bool paused) {
    screens_.results_view.show_run_state(paused ? RunState::paused : RunState::running);
    show_progress_status();
  });
}

QString RunController::not_running(const QString& how_the_run_ended) {
  // The state first, as the results tab's progress labels say it.
  return QStringLiteral("%1 \u2014 %2").arg(QString::fromLatin1(kNotRunning), how_the_run_ended);
}

void RunController::set_run_status(const QString& text) {
  status_ = text;
  emit run_status_changed(status_);
}

bool RunController::agree_to_abort() {
  if (!dialogs_.ask_yes_no(window_, QString::fromLatin1(kAbortCaption),
                           QString::fromLatin1(kAbortQuestion))) {
    return false;
  }
  driver_->request_abort();
  return true;
}

void RunController::start_or_abort_run() {
  // While a run is in progress the button is the Abort button, also when Ctrl+S
  // reaches this handler with the button disabled: never a second run.
  if (driver_->running()) {
    agree_to_abort();
    return;
  }

  ProblemTab& problem_tab = screens_.problem_tab;
  const auto refuse_start = [this](const QString& message, bool show_data_tab) {
    dialogs_.message(window_, message);
    if (show_data_tab) screens_.tabs.setCurrentWidget(&screens_.problem_tab);
  };
  if (!problem_tab.training_loaded()) {
    return refuse_start(QString::fromLatin1(kNoTrainingData), true);
  }
  if (!problem_tab.validation_loaded()) {
    return refuse_start(QString::fromLatin1(kNoValidationData), true);
  }

  runs::RunSettings settings;
  runs::StartOutcome outcome = runs::read_run_settings(settings_(), settings);
  forecasting::RunTransforms transforms;
  if (outcome.error == runs::StartError::none) {
    try {
      outcome = runs::start_run(driver_->engine(), problem_tab.training_cells(),
                                problem_tab.validation_cells(), settings);
      // The transforms are chosen from the loaded values, as the runner
      // chooses them, and the engine models the series through them.
      if (outcome.error == runs::StartError::none) {
        const std::shared_ptr<const TimeScale>& table_time = series_.table_time();
        transforms =
            forecasting::run_transforms(settings, data::grid_values(problem_tab.training_cells()),
                                        data::grid_values(problem_tab.validation_cells()),
                                        table_time ? table_time->step_season() : 0);
        if (!transforms.problem.empty()) {
          return refuse_start(QStringLiteral("The transforms cannot be taken: %1.")
                                  .arg(QString::fromStdString(transforms.problem)),
                              false);
        }
        if (transforms.run) {
          outcome = runs::start_transformed_run(driver_->engine(), transforms.run->training,
                                                transforms.run->validation, settings);
        }
      }
    } catch (const std::bad_alloc&) {
      dialogs_.message(window_, QString::fromLatin1(kMemoryAllocationError));
      dialogs_.end_process(1);
      return;
    }
  }
  switch (outcome.error) {
    case runs::StartError::none:
      break;
    // Faults in the loaded data: the grids are on "Problem Configuration".
    case runs::StartError::training_invalid:
    case runs::StartError::validation_invalid:
    case runs::StartError::too_many_values:
    case runs::StartError::constant_series:
    case runs::StartError::non_finite_series:
      return refuse_start(QString::fromStdString(outcome.message), true);
    case runs::StartError::unreadable_setting:
    case runs::StartError::overselect_too_small:
    case runs::StartError::elite_too_large:
      return refuse_start(QString::fromStdString(outcome.message), false);
  }

  run_ = record_of_start(settings, std::move(transforms));
  screens_.tabs.setCurrentWidget(&screens_.results_view);
  run_generations();
}

RunResults RunController::record_of_start(const runs::RunSettings& settings,
                                          forecasting::RunTransforms transforms) {
  // The run keeps what it was started with: its settings, files, scale and
  // markers hold for its results whatever is loaded or typed later.
  const ProblemTab& problem_tab = screens_.problem_tab;
  const Engine& engine = driver_->engine();
  RunResults run;
  run.number = run_.number + 1;
  run.settings = settings;
  run.training_file = files_.training;
  run.validation_file = files_.validation;
  run.table_options = series_.table_options();
  run.populations = engine.population_count;
  run.generations = engine.parameters.number_of_generations;
  if (transforms.run) {
    // The series as loaded, in its own scaling, not the transformed one.
    run.transformed =
        std::make_shared<const forecasting::TransformedRun>(std::move(*transforms.run));
    const forecasting::TransformedRun& series = *run.transformed;
    run.scale = DataScale{series.low, series.high};
    run.markers = PredictionMarkers{static_cast<double>(series.training_count),
                                    static_cast<double>(series.view().start())};
    run.training_count = series.training_count;
    run.model_scale = DataScale{engine.data.scale_low, engine.data.scale_high};
    run.model_start = static_cast<std::size_t>(forecast_start(engine.data));
  } else {
    run.scale = DataScale{engine.data.scale_low, engine.data.scale_high};
    run.markers = PredictionMarkers{static_cast<double>(engine.data.training_count),
                                    static_cast<double>(forecast_start(engine.data))};
    run.training_count = engine.data.training_count;
  }
  run.forecast = forecast_request(settings);
  run.forecast.context = forecasting::ForecastContext{
      transforms.season, static_cast<std::int32_t>(runs::largest_lag(settings)),
      run.transformed.get()};
  const std::shared_ptr<const TimeScale>& table_time = series_.table_time();
  if (table_time && table_time->fits(problem_tab.training_cells().rows(),
                                     problem_tab.validation_cells().rows())) {
    run.time = std::make_shared<const TimeScale>(table_time->with_steps_ahead(
        static_cast<std::size_t>(std::max(settings.whole(runs::Setting::forecast_ahead), 0))));
  }
  return run;
}

void RunController::toggle_pause() {
  driver_->toggle_pause();
}

std::vector<ChartView*> RunController::charts() const {
  std::vector<ChartView*> views;
  for (ChartView* view : screens_.results_view.chart_views()) views.push_back(view);
  views.push_back(screens_.fitness_window.chart_view());
  views.push_back(screens_.gene_length_window.chart_view());
  return views;
}

void RunController::run_generations() {
  ResultsView& results_view = screens_.results_view;
  for (ChartView* view : charts()) view->pause_animations();
  results_view.show_run_state(RunState::running);
  set_run_status(QStringLiteral("Running"));

  histories_ = ResultHistories(run_.populations, run_.generations);
  results_view.set_time_scale(run_.time);
  {
    const Engine& engine = driver_->engine();
    const auto points = static_cast<std::size_t>(engine.data.point_count);
    const std::span<const double> shown_data =
        run_.transformed ? std::span<const double>(run_.transformed->scaled)
                         : std::span<const double>(engine.data.values.data(), points);
    results_view.start_run_display(shown_data, run_.populations, run_.generations,
                                   static_cast<int>(run_.markers.forecast), run_.scale);
  }
  screens_.fitness_window.clear();
  screens_.gene_length_window.clear();
  driver_->start([this](const ShownGeneration& shown) { show_generation_results(shown); },
                 run_.forecast, [this](RunDriver::RunEnd end) { show_run_end(std::move(end)); });
}

void RunController::show_run_end(RunDriver::RunEnd end) {
  // Back to Idle however the run ended.
  QApplication::beep();
  screens_.results_view.show_run_state(RunState::idle);
  for (ChartView* view : charts()) view->resume_animations();
  switch (end.ending) {
    case RunDriver::Ending::out_of_memory:
      // The engine gave back what the run held; what was shown stays.
      set_run_status(not_running(
          QStringLiteral("out of memory at generation %1").arg(run_.generations_shown + 1)));
      dialogs_.message(window_, QString::fromLatin1(kRunOutOfMemory));
      break;
    case RunDriver::Ending::failed:
      set_run_status(
          not_running(QStringLiteral("failed at generation %1").arg(run_.generations_shown + 1)));
      dialogs_.error(window_, QStringLiteral("The run ended at generation %1: %2")
                                  .arg(run_.generations_shown + 1)
                                  .arg(QString::fromStdString(end.failure)));
      break;
    case RunDriver::Ending::finished:
      set_run_status(
          not_running(QStringLiteral("finished in %1 s")
                          .arg(static_cast<double>(end.working_time.count()) / 1000.0, 0, 'f', 1)));
      show_forecast_figures(end);
      break;
    case RunDriver::Ending::aborted:
      set_run_status(
          not_running(QStringLiteral("aborted at generation %1").arg(run_.generations_shown)));
      show_forecast_figures(end);
      break;
  }
  emit run_ended();
}

void RunController::show_forecast_figures(RunDriver::RunEnd& end) {
  ResultsView& results_view = screens_.results_view;
  if (run_.transformed) {
    set_run_status(
        status_ + QStringLiteral("; transforms: ") +
        QString::fromStdString(forecasting::transform_words(run_.transformed->choice.transform)));
  }
  // Each best tree's forecast past the data, once the run has ended (and its
  // status is told, whatever showing them may throw).
  if (!end.forecasts.empty()) {
    run_.forecasts = std::move(end.forecasts);
    results_view.show_forecasts(run_.forecasts);
  }
  if (!end.quality.empty()) {
    run_.quality = std::move(end.quality);
    results_view.show_forecast_quality(run_.quality);
    // A runaway forecast is told, not hidden: the user decides what to do with it.
    QStringList diverged;
    for (std::size_t p = 0; p < run_.quality.size(); ++p) {
      const QString text = divergence_text(run_.quality[p]);
      if (!text.isEmpty()) diverged << QStringLiteral("No%1 %2").arg(p + 1).arg(text);
    }
    if (!diverged.isEmpty()) {
      set_run_status(status_ + QStringLiteral("; forecast ") + diverged.join(QStringLiteral(", ")));
    }
  }
}

RunDriver::ForecastRequest RunController::forecast_request(const runs::RunSettings& settings) {
  // The bands at the runner's defaults, drawn as its stream 0 draws them: a
  // window run is that stream.
  return {settings.whole(runs::Setting::forecast_ahead), forecasting::PathSettings{},
          forecasting::RunIdentity{settings.whole(runs::Setting::seed), 0},
          forecasting::ForecastContext{}};
}

std::vector<std::string> RunController::best_tree_texts() const {
  std::vector<std::string> texts;
  const auto& shown = run_.last;
  for (std::size_t p = 0; p < shown.results.populations.size(); ++p) {
    texts.push_back(formulas_ && p < shown.models.size()
                        ? forecasting::formula_text(shown.models[p])
                        : shown.results.populations[p].tree_text);
  }
  return texts;
}

void RunController::show_formulas(bool formulas) {
  formulas_ = formulas;
  if (!run_.last.results.populations.empty()) {
    screens_.results_view.show_best_trees(best_tree_texts());
  }
}

void RunController::show_generation_results(const ShownGeneration& shown) {
  histories_.record(shown.results);
  run_.last = shown;
  // Through a transform, each prediction is shown and saved as the series'
  // own: its known values, then the forecast brought back to them.
  if (run_.transformed) {
    for (runs::PopulationReport& report : run_.last.results.populations) {
      const std::span<const double> engine_prediction = report.prediction;
      report.prediction = run_.transformed->series_prediction(
          engine_prediction.subspan(std::min(run_.model_start, engine_prediction.size())),
          run_.model_scale.low, run_.model_scale.high);
    }
  }
  const int count = shown.results.generation + 1;
  screens_.results_view.show_generation(run_.last.results, histories_, run_.generations,
                                        run_.markers, best_tree_texts());
  // The fitness window: forecast error beside the training error; the
  // gene-length window: the best tree's size beside the population's mean size.
  screens_.fitness_window.plot_histories(histories_.validation_mse, histories_.mse, count);
  screens_.gene_length_window.plot_histories(histories_.best_nodes, histories_.average_nodes,
                                             count);
  // Counted once all of it is on display: a run that ends while it is being
  // shown (memory ran out) ends at this generation.
  run_.generations_shown = count;
  show_progress_status();
}

void RunController::show_progress_status() {
  // Stop takes effect once the generation under way is done and shown: until
  // then the run is still working on it.
  const int shown = run_.generations_shown;
  if (!driver_->paused()) {
    set_run_status(
        shown == 0
            ? QStringLiteral("Running")
            : QStringLiteral("Running: generation %1 of %2").arg(shown).arg(run_.generations));
  } else if (driver_->computing()) {
    set_run_status(
        QStringLiteral("Stopping after generation %1 of %2").arg(shown + 1).arg(run_.generations));
  } else {
    set_run_status(
        QStringLiteral("Paused after generation %1 of %2").arg(shown).arg(run_.generations));
  }
}

}  // namespace quarvel::ui
