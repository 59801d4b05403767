#include "forecasting/transformchoice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "data/numbertext.h"
#include "forecasting/linearar.h"

namespace quarvel::forecasting {

namespace {

double mean_of(std::span<const double> values) {
  double sum = 0.0;
  for (const double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

// The sample standard deviation (n − 1 in the divisor).
double deviation_of(std::span<const double> values, double mean) {
  double sum = 0.0;
  for (const double v : values) sum += (v - mean) * (v - mean);
  return std::sqrt(sum / static_cast<double>(values.size() - 1));
}

double population_variance(std::span<const double> values) {
  const double mean = mean_of(values);
  double sum = 0.0;
  for (const double v : values) sum += (v - mean) * (v - mean);
  return sum / static_cast<double>(values.size());
}

// The coefficient of variation that Guerrero's method minimises.
double guerrero_variation(std::span<const double> series, std::size_t period, double lambda) {
  const std::size_t blocks = series.size() / period;
  const std::span<const double> used = series.last(blocks * period);
  std::vector<double> ratios;
  ratios.reserve(blocks);
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::span<const double> block = used.subspan(b * period, period);
    const double mean = mean_of(block);
    ratios.push_back(deviation_of(block, mean) / std::pow(mean, 1.0 - lambda));
  }
  const double mean = mean_of(ratios);
  return deviation_of(ratios, mean) / mean;
}

// The mean squared error, in the series' units, of the linear autoregression
// of the transformed training part forecast from each origin.
double origin_error(std::span<const double> training, const SeriesTransform& transform,
                    std::span<const std::size_t> origins, std::size_t horizon,
                    std::int32_t largest_lag) {
  constexpr std::size_t kFewestValues = 10;
  double total = 0.0;
  for (const std::size_t origin : origins) {
    const std::span<const double> known = training.first(origin);
    const TransformedSeries series = transform_series(known, transform);
    if (!series.problem.empty() || series.values.size() < kFewestValues) {
      return std::numeric_limits<double>::infinity();
    }
    const LinearAr model = fit_linear_ar(series.values, largest_lag);
    const std::vector<double> forecast =
        forecast_linear_ar(model, series.values, static_cast<std::int32_t>(horizon));
    const ForecastInUnits values = forecast_in_units(known, forecast, transform);
    if (values.failed_step) return std::numeric_limits<double>::infinity();
    double squared = 0.0;
    const std::size_t steps = std::min(horizon, training.size() - origin);
    for (std::size_t j = 0; j < steps; ++j) {
      const double error = values.values[j] - training[origin + j];
      squared += error * error;
    }
    if (!std::isfinite(squared)) return std::numeric_limits<double>::infinity();
    total += squared / static_cast<double>(steps);
  }
  return total / static_cast<double>(origins.size());
}

// The largest block mean over the smallest, of the blocks Guerrero's method
// takes: how far the level moves.
double level_ratio(std::span<const double> series, std::int32_t season) {
  const std::size_t period = static_cast<std::size_t>(std::max(season, 2));
  const std::size_t blocks = series.size() / period;
  if (blocks < 2) return 1.0;
  const std::span<const double> used = series.last(blocks * period);
  double lowest = std::numeric_limits<double>::infinity();
  double highest = 0.0;
  for (std::size_t b = 0; b < blocks; ++b) {
    const double mean = mean_of(used.subspan(b * period, period));
    lowest = std::min(lowest, mean);
    highest = std::max(highest, mean);
  }
  return highest / lowest;
}

std::vector<std::size_t> proxy_origins(std::size_t training, std::size_t horizon) {
  constexpr std::size_t kOrigins = 10;
  const std::size_t step = std::max<std::size_t>(1, horizon / 2);
  std::vector<std::size_t> origins;
  for (std::size_t i = 0; i < kOrigins; ++i) {
    if (training < horizon + i * step) break;
    const std::size_t origin = training - horizon - i * step;
    if (2 * origin <= training) break;
    origins.push_back(origin);
  }
  return origins;
}

std::string fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

std::int32_t run_season(const runs::RunSettings& settings, std::int32_t step_season) {
  const double value = settings.value(runs::Setting::season);
  const auto season = value == runs::kAutomatic ? step_season : static_cast<std::int32_t>(value);
  return season >= 2 ? season : 0;
}

TransformRequest transform_request(const runs::RunSettings& settings, std::int32_t season) {
  const auto mode = [&settings](runs::Setting id) {
    const std::int32_t code = settings.whole(id);
    return code == runs::kAutomatic ? TransformMode::automatic
           : code == runs::kOn      ? TransformMode::fixed
                                    : TransformMode::off;
  };
  TransformRequest request;
  const double box_cox = settings.value(runs::Setting::box_cox);
  if (box_cox == runs::kBoxCoxAutomatic) {
    request.box_cox = TransformMode::automatic;
  } else if (box_cox != runs::kBoxCoxOff) {
    request.box_cox = TransformMode::fixed;
    request.lambda = box_cox;
  }
  request.seasonal_difference = mode(runs::Setting::seasonal_difference);
  request.difference = mode(runs::Setting::difference);
  request.season = season;
  return request;
}

double guerrero_lambda(std::span<const double> series, std::int32_t season) {
  const std::size_t period = static_cast<std::size_t>(std::max(season, 2));
  if (series.size() / period < 2) return 1.0;
  // Golden-section search on [-1, 2].
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double low = -1.0;
  double high = 2.0;
  double a = high - ratio * (high - low);
  double b = low + ratio * (high - low);
  double fa = guerrero_variation(series, period, a);
  double fb = guerrero_variation(series, period, b);
  while (high - low > 1e-6) {
    if (fa <= fb) {
      high = b;
      b = a;
      fb = fa;
      a = high - ratio * (high - low);
      fa = guerrero_variation(series, period, a);
    } else {
      low = a;
      a = b;
      fa = fb;
      b = low + ratio * (high - low);
      fb = guerrero_variation(series, period, b);
    }
  }
  return (low + high) / 2.0;
}

double seasonal_strength(std::span<const double> series, std::int32_t season) {
  const auto m = static_cast<std::size_t>(std::max(season, 0));
  const std::size_t n = series.size();
  if (m < 2 || n < 2 * m + 1) return 0.0;
  // The centred moving average of order M (2 × M for an even M).
  std::vector<double> weights;
  if (m % 2 == 0) {
    weights.assign(m + 1, 1.0 / static_cast<double>(m));
    weights.front() = weights.back() = 0.5 / static_cast<double>(m);
  } else {
    weights.assign(m, 1.0 / static_cast<double>(m));
  }
  const std::size_t half = weights.size() / 2;
  std::vector<double> detrended(n, std::numeric_limits<double>::quiet_NaN());
  for (std::size_t t = half; t + half < n; ++t) {
    double trend = 0.0;
    for (std::size_t k = 0; k < weights.size(); ++k) trend += weights[k] * series[t - half + k];
    detrended[t] = series[t] - trend;
  }
  std::vector<double> index(m, 0.0);
  std::vector<std::size_t> count(m, 0);
  for (std::size_t t = half; t + half < n; ++t) {
    index[t % m] += detrended[t];
    ++count[t % m];
  }
  for (std::size_t j = 0; j < m; ++j) index[j] /= static_cast<double>(count[j]);
  const double level = mean_of(index);
  std::vector<double> remainder;
  std::vector<double> seasonal_and_remainder;
  for (std::size_t t = half; t + half < n; ++t) {
    remainder.push_back(detrended[t] - (index[t % m] - level));
    seasonal_and_remainder.push_back(detrended[t]);
  }
  const double total = population_variance(seasonal_and_remainder);
  if (!(total > 0.0)) return 0.0;
  return std::max(0.0, 1.0 - population_variance(remainder) / total);
}

TransformChoice choose_transform(std::span<const double> training, const TransformRequest& request,
                                 std::int32_t horizon, std::int32_t largest_lag) {
  TransformChoice choice;
  std::string& reasons = choice.reasons;
  const auto reason = [&reasons](const std::string& words) {
    if (!reasons.empty()) reasons += "; ";
    reasons += words;
  };
  SeriesTransform& transform = choice.transform;
  const bool positive =
      std::all_of(training.begin(), training.end(), [](double v) { return v > 0.0; });

  switch (request.box_cox) {
    case TransformMode::off:
      break;
    case TransformMode::fixed:
      if (!positive) {
        choice.problem = "the Box-Cox transform needs training values above 0";
        return choice;
      }
      transform.lambda = request.lambda;
      break;
    case TransformMode::automatic:
      if (!positive) {
        reason("no Box-Cox: the training part holds values of 0 or below");
      } else {
        const double ratio = level_ratio(training, request.season);
        if (ratio < kLogLevelRatio) {
          reason(
              "no log: the level moves too little for its spread to follow it (largest "
              "block mean " +
              fixed(ratio) + " times the smallest)");
        } else {
          const double lambda = guerrero_lambda(training, request.season);
          if (lambda < kLogLambdaLimit) transform.lambda = 0.0;
          reason(std::string(transform.lambda ? "log" : "no log") + ": Guerrero's lambda " +
                 fixed(lambda) + (transform.lambda ? " < " : " >= ") + fixed(kLogLambdaLimit));
        }
      }
      break;
  }
  const std::vector<double> levels = transform_levels(training, transform).values;

  const std::int32_t season = request.season;
  const bool seasonal_data = season >= 2 && training.size() > 3 * static_cast<std::size_t>(season);
  std::vector<std::int32_t> seasonal_options{0};
  switch (request.seasonal_difference) {
    case TransformMode::off:
      break;
    case TransformMode::fixed:
      if (season < 2) {
        choice.problem = "a seasonal difference needs a season of 2 or more steps";
        return choice;
      }
      seasonal_options = {season};
      break;
    case TransformMode::automatic:
      if (season < 2) {
        reason("no seasonal difference: no season");
      } else if (!seasonal_data) {
        reason("no seasonal difference: the training part is too short for a season of " +
               std::to_string(season));
      } else {
        const double strength = seasonal_strength(levels, season);
        const bool strong = strength > kSeasonalStrengthLimit;
        reason(std::string(strong ? "seasonal difference" : "seasonal difference tried") +
               ": seasonal strength " + fixed(strength) + (strong ? " > " : " <= ") +
               fixed(kSeasonalStrengthLimit));
        seasonal_options =
            strong ? std::vector<std::int32_t>{season} : std::vector<std::int32_t>{0, season};
      }
      break;
  }
  std::vector<std::int32_t> difference_options{0};
  if (request.difference == TransformMode::fixed) difference_options = {1};
  if (request.difference == TransformMode::automatic) difference_options = {0, 1};

  std::vector<SeriesTransform> candidates;
  for (const std::int32_t s : seasonal_options) {
    for (const std::int32_t d : difference_options) {
      // Automatic first differences are never added to a seasonal one.
      if (s > 0 && d > 0 && request.difference == TransformMode::automatic) continue;
      candidates.push_back({transform.lambda, s, d});
    }
  }
  if (candidates.size() == 1) {
    transform = candidates.front();
  } else {
    const std::size_t steps =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(horizon, 1)), 1,
                                std::max<std::size_t>(training.size() / 4, 1));
    const std::vector<std::size_t> origins = proxy_origins(training.size(), steps);
    transform = candidates.front();
    if (origins.empty()) {
      reason("no difference: the training part is too short to try one out");
    } else {
      double best = std::numeric_limits<double>::infinity();
      for (const SeriesTransform& candidate : candidates) {
        const double error = origin_error(training, candidate, origins, steps, largest_lag);
        if (error < best) {
          best = error;
          transform = candidate;
        }
      }
      reason(std::string(transform.season > 0        ? "seasonal difference"
                         : transform.differences > 0 ? "first difference"
                                                     : "no difference") +
             ": a linear autoregression forecast " + std::to_string(steps) + " steps from " +
             std::to_string(origins.size()) + " origins in the training part errs least so");
    }
  }
  return choice;
}

}  // namespace quarvel::forecasting
