#include "forecasting/forecast.h"

#include "engine/engine.h"
#include "engine/prediction.h"

namespace quarvel::forecasting {

std::vector<std::vector<double>> forecasts_past_data(const Engine& engine, std::int32_t steps) {
  std::vector<std::vector<double>> forecasts;
  std::vector<double> series;
  for (std::int32_t p = 0; p < engine.population_count; ++p) {
    forecast_past_data(engine, p, steps, series);
    forecasts.emplace_back(series.begin() + engine.data.point_count, series.end());
  }
  return forecasts;
}

std::vector<double> in_original_units(const Engine& engine, std::span<const double> scaled) {
  return in_original_units(engine.data.scale_low, engine.data.scale_high, scaled);
}

std::vector<double> in_original_units(double low, double high, std::span<const double> scaled) {
  std::vector<double> values;
  values.reserve(scaled.size());
  for (const double v : scaled) values.push_back(original_units(low, high, v));
  return values;
}

}  // namespace quarvel::forecasting
