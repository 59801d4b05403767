// What one run of the window made, kept with what it was made from, so that
// everything shown, saved or exported after it belongs to that run, whatever
// the window's fields and grids hold by then.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forecasting/forecastquality.h"
#include "forecasting/transformedrun.h"
#include "runs/settings.h"
#include "ui/ResultsView.h"
#include "ui/RunDriver.h"
#include "ui/TimeAxis.h"

namespace quarvel::ui {

struct RunResults {
  int number = 0;              // the window's runs count from 1; 0: no run yet
  runs::RunSettings settings;  // as the run took them at Start
  QString training_file;       // the files its data came from
  QString validation_file;
  // The runner's options that read and split the table its data came from
  // (--data, --column, --split, ...); empty for two data files.
  std::vector<std::pair<std::string, std::string>> table_options;
  DataScale scale;  // the minimum and maximum its data were scaled by
  std::int32_t training_count = 0;
  int populations = 0;
  int generations = 0;  // the run's setting
  int generations_shown = 0;
  PredictionMarkers markers;  // the end of its training part and the start of its forecast
  // The time stamps of the table its data came from, which its charts show;
  // null: the points at their indices.
  std::shared_ptr<const TimeScale> time;
  ShownGeneration last;                        // the latest generation shown
  std::vector<std::vector<double>> forecasts;  // past the data, once the run has ended
  // What the run's end was asked to forecast (the bands' paths and seeds among
  // it), and what each population's forecasts are worth once the run has ended.
  RunDriver::ForecastRequest forecast;
  std::vector<forecasting::ForecastQuality> quality;
  // The transforms the run modelled its series through; null for none. Its
  // charts, grids and figures show the series as loaded.
  std::shared_ptr<const forecasting::TransformedRun> transformed;
  // The engine's scale and forecast start: of the transformed series.
  DataScale model_scale;
  std::size_t model_start = 0;
};

}  // namespace quarvel::ui
