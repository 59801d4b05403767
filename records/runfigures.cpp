#include "records/runfigures.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "forecasting/forecastfiles.h"
#include "forecasting/intervals.h"

namespace quarvel::records {

std::string seconds_text(double seconds) {
  char text[32];
  // printf's %.3f in the "C" locale, whatever the process's locale.
  const auto written =
      std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3);
  return {text, written.ptr};
}

std::optional<double> read_double(std::string_view text) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

double ranking_figure(const PopulationFigures& figures, bool by_mse) {
  return by_mse ? figures.best_mse : figures.best_mdl;
}

bool figure_less(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

const forecasting::Figure* coverage_of(const PopulationFigures& figures, double level) {
  for (const BandCoverage& band : figures.coverage) {
    if (band.level == level) return &band.share;
  }
  return nullptr;
}

std::optional<double> coverage_level(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  const std::optional<double> level = read_double(name.substr(prefix.size()));
  if (!level || !forecasting::valid_band_level(*level) ||
      forecasting::level_text(*level) != name.substr(prefix.size())) {
    return std::nullopt;
  }
  return level;
}

std::vector<double> coverage_levels(std::span<const PopulationFigures* const> figures) {
  std::vector<double> levels;
  for (const PopulationFigures* run : figures) {
    for (const BandCoverage& band : run->coverage) {
      if (std::find(levels.begin(), levels.end(), band.level) == levels.end()) {
        levels.push_back(band.level);
      }
    }
  }
  return levels;
}

forecasting::Figure PopulationFigures::*benchmark_member(forecasting::Benchmark benchmark) {
  switch (benchmark) {
    case forecasting::Benchmark::naive:
      return &PopulationFigures::naive_mse;
    case forecasting::Benchmark::seasonal_naive:
      return &PopulationFigures::seasonal_naive_mse;
    case forecasting::Benchmark::drift:
      return &PopulationFigures::drift_mse;
    case forecasting::Benchmark::linear_ar:
      return &PopulationFigures::linear_ar_mse;
  }
  return &PopulationFigures::naive_mse;
}

}  // namespace quarvel::records
