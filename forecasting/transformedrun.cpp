#include "forecasting/transformedrun.h"

#include <algorithm>
#include <limits>

#include "engine/dataset.h"
#include "runs/settings.h"

namespace quarvel::forecasting {

std::vector<double> TransformedRun::levels_after(std::size_t known_values,
                                                 std::span<const double> engine_scaled,
                                                 double engine_low, double engine_high) const {
  const TransformedSeries levels =
      transform_levels(std::span<const double>(series).first(known_values), choice.transform);
  std::vector<double> values;
  values.reserve(engine_scaled.size());
  for (const double v : engine_scaled) {
    values.push_back(quarvel::original_units(engine_low, engine_high, v));
  }
  return forecast_levels(levels.values, values, choice.transform);
}

ForecastInUnits TransformedRun::scaled_from_levels(std::span<const double> levels) const {
  ForecastInUnits result = levels_in_units(levels, choice.transform);
  for (double& v : result.values) v = scaled_value(low, high, v);
  return result;
}

std::vector<double> TransformedRun::series_prediction(std::span<const double> engine_validation,
                                                      double engine_low, double engine_high) const {
  const std::vector<double>::size_type start = view().start();
  std::vector<double> prediction(scaled.begin(),
                                 scaled.begin() + static_cast<std::ptrdiff_t>(start));
  const ForecastInUnits forecast =
      scaled_from_levels(levels_after(known, engine_validation, engine_low, engine_high));
  prediction.insert(prediction.end(), forecast.values.begin(), forecast.values.end());
  return prediction;
}

RunScales TransformedRun::scales(double engine_low, double engine_high) const {
  return {choice.transform, engine_low, engine_high, low, high};
}

PathInverse::PathInverse(const TransformedRun& run, std::size_t known_values, double engine_low,
                         double engine_high, std::size_t paths)
    : run_(run),
      engine_low_(engine_low),
      engine_high_(engine_high),
      paths_(paths),
      ring_(static_cast<std::size_t>(std::max(run.choice.transform.season, 1))) {
  const SeriesTransform& transform = run.choice.transform;
  const std::vector<double> known =
      transform_levels(std::span<const double>(run.series).first(known_values), transform).values;
  levels_.resize(ring_ * paths_);
  // Slot i of a path holds the level ring_ − i steps before the first; the
  // oldest is overwritten first.
  for (std::size_t i = 0; i < ring_; ++i) {
    const std::size_t back = ring_ - i;
    const double level = back <= known.size() ? known[known.size() - back] : 0.0;
    std::fill_n(levels_.begin() + static_cast<std::ptrdiff_t>(i * paths_), paths_, level);
  }
  if (transform.season > 0 && transform.differences > 0) {
    const auto m = static_cast<std::size_t>(transform.season);
    const double last =
        known.size() > m ? known[known.size() - 1] - known[known.size() - 1 - m] : 0.0;
    seasonal_.assign(paths_, last);
  }
}

void PathInverse::step(std::span<double> values) {
  const SeriesTransform& transform = run_.choice.transform;
  const std::size_t oldest = written_ % ring_;
  const std::size_t newest = (written_ + ring_ - 1) % ring_;
  double* season_back = levels_.data() + oldest * paths_;  // the level a season (or 1) back
  const double* previous = levels_.data() + newest * paths_;
  for (std::size_t b = 0; b < paths_; ++b) {
    double w = quarvel::original_units(engine_low_, engine_high_, values[b]);
    double level = w;
    if (transform.season > 0) {
      if (transform.differences > 0) {
        w += seasonal_[b];
        seasonal_[b] = w;
      }
      level = w + season_back[b];
    } else if (transform.differences > 0) {
      level = w + previous[b];
    }
    season_back[b] = level;  // the oldest slot becomes the newest
    const double units = transform.lambda ? inverse_box_cox_limit(level, *transform.lambda) : level;
    values[b] = scaled_value(run_.low, run_.high, units);
  }
  ++written_;
}

TransformedRunResult transform_run(std::span<const double> training,
                                   std::span<const double> validation, std::int32_t overlap,
                                   const TransformRequest& request, std::int32_t horizon,
                                   std::int32_t largest_lag) {
  TransformedRunResult result;
  TransformedRun run;
  run.choice = choose_transform(training, request, horizon, largest_lag);
  if (!run.choice.problem.empty()) {
    result.problem = run.choice.problem;
    return result;
  }
  const std::size_t t_count = training.size();
  const auto k = static_cast<std::size_t>(
      std::clamp<std::int64_t>(overlap, 0, static_cast<std::int64_t>(validation.size())));
  run.training_count = static_cast<std::int32_t>(t_count);
  run.overlap = static_cast<std::int32_t>(k);
  run.loaded.assign(training.begin(), training.end());
  run.loaded.insert(run.loaded.end(), validation.begin(), validation.end());
  const auto [lowest, highest] = std::minmax_element(run.loaded.begin(), run.loaded.end());
  run.low = *lowest;
  run.high = *highest;
  run.scaled.reserve(run.loaded.size());
  for (const double v : run.loaded) run.scaled.push_back(scaled_value(run.low, run.high, v));

  // The overlap of two files repeats the training part's last values; the
  // series has them once. One given by hand that does not repeat them is
  // known data of its own.
  const bool repeats =
      k <= t_count &&
      std::equal(validation.begin(), validation.begin() + static_cast<std::ptrdiff_t>(k),
                 training.end() - static_cast<std::ptrdiff_t>(k));
  run.series.assign(training.begin(), training.end());
  run.series.insert(run.series.end(),
                    validation.begin() + static_cast<std::ptrdiff_t>(repeats ? k : 0),
                    validation.end());
  run.known = repeats ? t_count : t_count + k;

  const TransformedSeries transformed = transform_series(run.series, run.choice.transform);
  if (!transformed.problem.empty()) {
    result.problem = transformed.problem;
    return result;
  }
  const auto lost = static_cast<std::size_t>(run.choice.transform.lost());
  if (t_count < lost + 2 || (repeats && t_count < lost + k + 1)) {
    result.problem = "the " + transform_words(run.choice.transform) + " takes " +
                     std::to_string(lost) + " of the " + std::to_string(t_count) +
                     " training values, too many to leave a training part beside an overlap of " +
                     std::to_string(k);
    return result;
  }
  const std::size_t transformed_training = t_count - lost;
  run.training.assign(
      transformed.values.begin(),
      transformed.values.begin() + static_cast<std::ptrdiff_t>(transformed_training));
  const std::size_t validation_start = repeats ? transformed_training - k : transformed_training;
  run.validation.assign(transformed.values.begin() + static_cast<std::ptrdiff_t>(validation_start),
                        transformed.values.end());
  result.run = std::move(run);
  return result;
}

RunTransforms run_transforms(const runs::RunSettings& settings, std::span<const double> training,
                             std::span<const double> validation, std::int32_t step_season) {
  RunTransforms transforms;
  transforms.season = run_season(settings, step_season);
  const TransformRequest request = transform_request(settings, transforms.season);
  if (!request.any()) return transforms;
  const std::int32_t overlap = settings.whole(runs::Setting::overlap);
  const auto held_out = static_cast<std::int32_t>(validation.size()) - std::max(overlap, 0);
  const std::int32_t ahead = settings.whole(runs::Setting::forecast_ahead);
  const std::int32_t horizon = held_out > 0 ? held_out : std::max(ahead, 1);
  TransformedRunResult result =
      transform_run(training, validation, overlap, request, horizon,
                    static_cast<std::int32_t>(runs::largest_lag(settings)));
  transforms.run = std::move(result.run);
  transforms.problem = std::move(result.problem);
  return transforms;
}

std::string transform_note(const TransformChoice& choice) {
  return transform_words(choice.transform) +
         (choice.reasons.empty() ? "" : " (" + choice.reasons + ")");
}

}  // namespace quarvel::forecasting
