#include "forecasting/seriestransform.h"

#include <cmath>
#include <limits>

#include "data/numbertext.h"

namespace quarvel::forecasting {

std::string transform_words(const SeriesTransform& transform) {
  std::string words;
  const auto add = [&words](const std::string& part) {
    if (!words.empty()) words += ", ";
    words += part;
  };
  if (transform.lambda) {
    add(*transform.lambda == 0.0 ? std::string("log")
                                 : "Box-Cox " + data::format_general(*transform.lambda));
  }
  if (transform.season > 0) add("seasonal difference at " + std::to_string(transform.season));
  if (transform.differences > 0) add("first difference");
  return words.empty() ? "none" : words;
}

std::optional<double> box_cox(double value, double lambda) {
  if (!(value > 0.0) || !std::isfinite(value)) return std::nullopt;
  const double level = lambda == 0.0 ? std::log(value) : (std::pow(value, lambda) - 1.0) / lambda;
  if (!std::isfinite(level)) return std::nullopt;
  return level;
}

std::optional<double> inverse_box_cox(double level, double lambda) {
  if (!std::isfinite(level)) return std::nullopt;
  double value = 0.0;
  if (lambda == 0.0) {
    value = std::exp(level);
  } else {
    const double base = lambda * level + 1.0;
    if (!(base > 0.0)) return std::nullopt;
    value = std::pow(base, 1.0 / lambda);
  }
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

double inverse_box_cox_limit(double level, double lambda) {
  if (std::isnan(level)) return level;
  if (lambda == 0.0) return std::exp(level);
  const double base = lambda * level + 1.0;
  if (base > 0.0) return std::pow(base, 1.0 / lambda);
  return lambda > 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
}

TransformedSeries transform_levels(std::span<const double> series,
                                   const SeriesTransform& transform) {
  TransformedSeries result;
  if (!transform.lambda) {
    result.values.assign(series.begin(), series.end());
    return result;
  }
  result.values.reserve(series.size());
  for (std::size_t t = 0; t < series.size(); ++t) {
    const std::optional<double> level = box_cox(series[t], *transform.lambda);
    if (!level) {
      result.values.clear();
      result.problem = "the " + transform_words({transform.lambda, 0, 0}) +
                       " transform needs values above 0, but value " + std::to_string(t + 1) +
                       " is " + data::format_general(series[t]);
      return result;
    }
    result.values.push_back(*level);
  }
  return result;
}

TransformedSeries transform_series(std::span<const double> series,
                                   const SeriesTransform& transform) {
  TransformedSeries result = transform_levels(series, transform);
  if (!result.problem.empty()) return result;
  std::vector<double>& values = result.values;
  if (static_cast<std::int64_t>(values.size()) <= transform.lost()) {
    values.clear();
    result.problem = "the " + transform_words(transform) + " takes " +
                     std::to_string(transform.lost()) + " values, and the series holds only " +
                     std::to_string(series.size());
    return result;
  }
  // Differences in place, from the back so that each reads values not yet
  // replaced.
  const auto difference = [&values](std::size_t lag) {
    for (std::size_t t = values.size(); t-- > lag;) values[t] -= values[t - lag];
    values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(lag));
  };
  if (transform.season > 0) difference(static_cast<std::size_t>(transform.season));
  if (transform.differences > 0) difference(1);
  return result;
}

std::vector<double> forecast_levels(std::span<const double> known_levels,
                                    std::span<const double> forecast,
                                    const SeriesTransform& transform) {
  const auto season = static_cast<std::size_t>(transform.season);
  // The levels known and forecast, one after the other; the seasonally
  // differenced values likewise when there is a first difference to undo.
  std::vector<double> levels(known_levels.begin(), known_levels.end());
  std::vector<double> seasonal;  // w = z[t] - z[t - M], as far as known
  if (transform.differences > 0 && season > 0) {
    for (std::size_t t = season; t < levels.size(); ++t) {
      seasonal.push_back(levels[t] - levels[t - season]);
    }
  }
  std::vector<double> result;
  result.reserve(forecast.size());
  for (const double value : forecast) {
    double w = value;
    if (transform.differences > 0) {
      if (season > 0) {
        w += seasonal.empty() ? 0.0 : seasonal.back();
        seasonal.push_back(w);
      } else {
        w += levels.empty() ? 0.0 : levels.back();
      }
    }
    double z = w;
    if (season > 0) z += levels.size() >= season ? levels[levels.size() - season] : 0.0;
    levels.push_back(z);
    result.push_back(z);
  }
  return result;
}

ForecastInUnits levels_in_units(std::span<const double> levels, const SeriesTransform& transform) {
  ForecastInUnits result;
  result.values.assign(levels.begin(), levels.end());
  if (!transform.lambda) return result;
  for (std::size_t j = 0; j < levels.size(); ++j) {
    const std::optional<double> value = inverse_box_cox(levels[j], *transform.lambda);
    if (!value) {
      result.failed_step = static_cast<std::int32_t>(j + 1);
      result.problem = "the " + transform_words({transform.lambda, 0, 0}) +
                       " transform cannot be undone at step " + std::to_string(j + 1) +
                       ": its level " + data::format_general(levels[j]) +
                       " has no value in the series' units";
      std::fill(result.values.begin() + static_cast<std::ptrdiff_t>(j), result.values.end(),
                std::numeric_limits<double>::quiet_NaN());
      return result;
    }
    result.values[j] = *value;
  }
  return result;
}

ForecastInUnits forecast_in_units(std::span<const double> known, std::span<const double> forecast,
                                  const SeriesTransform& transform) {
  const TransformedSeries known_levels = transform_levels(known, transform);
  if (!known_levels.problem.empty()) {
    ForecastInUnits result;
    result.values.assign(forecast.size(), std::numeric_limits<double>::quiet_NaN());
    result.failed_step = forecast.empty() ? 0 : 1;
    result.problem = known_levels.problem;
    return result;
  }
  return levels_in_units(forecast_levels(known_levels.values, forecast, transform), transform);
}

}  // namespace quarvel::forecasting
