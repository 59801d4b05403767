#include "batch/run.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "batch/tabledata.h"
#include "data/numbertext.h"
#include "engine/engine.h"
#include "engine/random.h"
#include "forecasting/forecast.h"
#include "forecasting/forecastfiles.h"
#include "forecasting/intervals.h"
#include "records/modelexport.h"
#include "runs/startrun.h"

namespace quarvel::batch {

using records::Product;

RunForecasts run_forecasts(const RunData& data, const Engine& engine,
                           const runs::GenerationResults& results,
                           std::optional<std::size_t> ensemble_population) {
  const RunRequest& request = data.request;
  RunForecasts forecasts;
  const std::vector<std::vector<double>> engine_ahead = forecasting::forecasts_past_data(
      engine, request.settings.whole(runs::Setting::forecast_ahead));
  const forecasting::ForecastContext context{
      data.season, static_cast<std::int32_t>(runs::largest_lag(request.settings)),
      data.transformed ? &*data.transformed : nullptr};
  forecasts.quality = populations_quality(
      engine, results, engine_ahead, request.intervals,
      forecasting::RunIdentity{request.settings.whole(runs::Setting::seed), request.stream},
      ensemble_population, context);
  // The series' own forecasts: through a transform they are the quality's.
  for (std::size_t p = 0; p < engine_ahead.size(); ++p) {
    forecasts.past_data.push_back(data.transformed ? forecasts.quality[p].past_data
                                                   : engine_ahead[p]);
  }
  return forecasts;
}

namespace {

// intervals-K.txt of a population: the forecast over the validation part and
// past the data, with its bands.
std::string intervals_text(const RunRequest& request, const forecasting::ScaledData& series,
                           const forecasting::ForecastQuality& quality) {
  forecasting::BandTable table = band_table(quality, request.intervals->levels);
  if (request.original_units) forecasting::to_original_units(table, series.low, series.high);
  return forecasting::band_table_text(table);
}

// Values scaled, or in the series' units when the request asks for them.
std::vector<double> in_units(const RunRequest& request, const forecasting::ScaledData& series,
                             const std::vector<double>& scaled) {
  return request.original_units ? forecasting::in_original_units(series.low, series.high, scaled)
                                : scaled;
}

// A file of values: "index,value" lines from `first`.
std::string values_file(const RunRequest& request, const forecasting::ScaledData& series,
                        const std::vector<double>& scaled, std::int64_t first) {
  const records::OutputCells cells =
      records::output_cells(in_units(request, series, scaled), first);
  return records::output_file_text(cells.index, cells.value);
}

// A population's prediction series as its output grid holds it: the
// engine's, or through a transform the known values of the series as loaded
// followed by its forecast over the validation part.
std::vector<double> series_prediction(const RunData& data, const Engine& engine,
                                      const std::vector<double>& engine_prediction) {
  if (!data.transformed) return engine_prediction;
  const forecasting::ScaledData engine_data = forecasting::scaled_data(engine.data);
  return data.transformed->series_prediction(
      std::span<const double>(engine_prediction).subspan(engine_data.start()), engine_data.low,
      engine_data.high);
}

// A population's best model as its three model files take it: the formula and
// what the files record of the run.
struct ModelExport {
  forecasting::ModelFormula formula;
  records::ModelContext context;
};

ModelExport model_export(const RunData& data, const Engine& engine, int population) {
  const RunRequest& request = data.request;
  records::ModelContext context =
      records::model_context(engine, population, request.settings, data_path(request, "training"),
                             data_path(request, "validation"));
  context.original_units = request.original_units;
  if (data.transformed) {
    context.transform = records::TransformExport{data.transformed->choice.transform,
                                                 data.transformed->low, data.transformed->high};
  }
  // A run of another stream grew other trees: the stream names it too.
  if (request.stream != 0) {
    context.settings.emplace_back("--stream", std::to_string(request.stream));
  }
  // A table's run: the columns and split it read, and how it read them.
  if (data.table) {
    const SplitTable& table = *data.table;
    context.settings.emplace_back("--column", std::to_string(table.value_column));
    if (table.time_column != 0) {
      context.settings.emplace_back("--time-column", std::to_string(table.time_column));
    }
    context.settings.emplace_back("--split", std::to_string(table.split.training_count));
    for (auto& setting : table_reading_settings(table)) {
      context.settings.push_back(std::move(setting));
    }
  }
  if (request.intervals) {
    // The series' own training values: through a transform, more than the
    // engine's.
    context.intervals = records::IntervalExport{
        data.transformed ? data.transformed->training_count : engine.data.training_count,
        forecasting::path_seed(request.settings.whole(runs::Setting::seed), request.stream,
                               population, forecasting::PathPurpose::past_data),
        request.intervals->levels, request.intervals->paths, request.intervals->method};
  }
  return {forecasting::describe_best_tree(engine, population), std::move(context)};
}

}  // namespace

std::vector<FolderFile> folder_files(const RunData& data, OutputFolder folder, const Engine& engine,
                                     runs::GenerationResults& results,
                                     const RunForecasts& run_forecasts, std::string history,
                                     std::string record, std::string member) {
  const RunRequest& request = data.request;
  const std::vector<std::vector<double>>& forecasts = run_forecasts.past_data;
  const forecasting::ScaledData series = series_view(data, engine);
  // The model of the population last asked for, made once for its three files.
  std::optional<ModelExport> model;
  std::vector<FolderFile> files;
  for (PlannedOutput& planned : planned_outputs(request, folder)) {
    const auto p = static_cast<std::size_t>(planned.population);
    std::string content;
    switch (planned.product) {
      case Product::prediction:
        content = values_file(
            request, series, series_prediction(data, engine, results.populations[p].prediction), 0);
        break;
      case Product::tree:
        content = std::move(results.populations[p].tree_text);
        break;
      case Product::forecast:
        content = values_file(request, series, forecasts[p],
                              static_cast<std::int64_t>(series.values.size()));
        break;
      case Product::timed_prediction:
        if (data.table) {
          content = timed_prediction_text(
              *data.table,
              in_units(request, series,
                       series_prediction(data, engine, results.populations[p].prediction)),
              in_units(request, series, forecasts[p]));
        }
        break;
      case Product::intervals:
        content = intervals_text(request, series, run_forecasts.quality[p]);
        break;
      case Product::model_text:
      case Product::model_python:
      case Product::model_header: {
        if (!model || model->context.population != planned.population + 1) {
          model = model_export(data, engine, planned.population);
        }
        const auto& [formula, context] = *model;
        content = planned.product == Product::model_text ? records::model_text(formula, context)
                  : planned.product == Product::model_python
                      ? records::model_python(formula, context)
                      : records::model_c_header(formula, context);
        break;
      }
      case Product::history:
        content = std::exchange(history, {});
        break;
      case Product::record:
        content = std::exchange(record, {});
        break;
      case Product::ensemble_member:
        content = std::exchange(member, {});
        break;
      case Product::runs_table:
      case Product::summary:
      case Product::ensemble_forecast:
        break;  // a sweep's, written from the records of its runs
    }
    files.emplace_back(std::move(planned.name), std::move(content));
  }
  return files;
}

std::optional<Failure> start_engine(const RunData& data, int fit_threads, Engine& engine) {
  if (fit_threads > 0) engine.fit_threads = fit_threads;
  start_integer_stream(engine.random, data.request.stream);
  const runs::StartOutcome outcome =
      data.transformed
          ? runs::start_transformed_run(engine, data.transformed->training,
                                        data.transformed->validation, data.request.settings)
          : start_run(engine, data.training, data.validation, data.request.settings);
  if (outcome.error != runs::StartError::none) return start_failure(outcome, data.request);
  return std::nullopt;
}

std::optional<Failure> check_start(const RunData& data) {
  const auto engine = std::make_unique<Engine>();
  return start_engine(data, 1, *engine);
}

std::optional<std::string> run_with_history(Engine& engine, runs::GenerationResults& results,
                                            const AfterGeneration& after, const StopAsked& stop) {
  std::string history = "generation,population,mse,mdl\n";
  const auto add_rows = [&](const runs::GenerationResults& done) {
    for (std::size_t p = 0; p < done.populations.size(); ++p) {
      const runs::PopulationReport& report = done.populations[p];
      history += std::to_string(done.generation) + ',' + std::to_string(p + 1) + ',' +
                 data::exact(report.best_mse) + ',' + data::exact(report.best_mdl) + '\n';
    }
    if (after) after(done);
  };
  if (!runs::run_generations(engine, results, add_rows, stop)) return std::nullopt;
  return history;
}

}  // namespace quarvel::batch
