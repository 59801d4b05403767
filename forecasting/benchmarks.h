// The simple forecasts a model has to beat, made from the same known values
// and scored on the same held-out points: the naive (the last value again),
// the seasonal naive (the value a season back, with a season), the drift
// (the line through the first and the last value, carried on) and a linear
// autoregression fitted by least squares, its order chosen by AIC on the
// known values (linearar.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forecasting/accuracy.h"

namespace quarvel::forecasting {

enum class Benchmark { naive, seasonal_naive, drift, linear_ar };
inline constexpr std::array<Benchmark, 4> kBenchmarks{Benchmark::naive, Benchmark::seasonal_naive,
                                                      Benchmark::drift, Benchmark::linear_ar};

// "naive", "seasonal naive", "drift", "linear AR": as the figures name them.
[[nodiscard]] std::string_view benchmark_name(Benchmark benchmark);
// "naive", "seasonal_naive", "drift", "linear_ar": as records and tables key them.
[[nodiscard]] std::string_view benchmark_key(Benchmark benchmark);

struct BenchmarkForecast {
  Benchmark benchmark = Benchmark::naive;
  std::vector<double> values;  // empty when there is none
  std::string reason;          // why there is none
};

// Each benchmark's forecast of `steps` values after `known` (in any one
// unit); the seasonal naive needs a season of 2 or more and at least a
// season of known values, the linear AR reads lags up to `largest_lag`.
[[nodiscard]] std::vector<BenchmarkForecast> benchmark_forecasts(std::span<const double> known,
                                                                 std::int32_t steps,
                                                                 std::int32_t season,
                                                                 std::int32_t largest_lag);

struct BenchmarkScore {
  Benchmark benchmark = Benchmark::naive;
  Accuracy accuracy;  // every figure absent, with the reason, when there is no forecast
};

struct BenchmarkFigures {
  std::vector<BenchmarkScore> scores;  // in the order of kBenchmarks
  // The benchmark of the lowest scaled MSE (the first of equals), and the
  // model's scaled MSE over it.
  std::optional<Benchmark> best;
  Figure relative_mse;
};

// The benchmarks over the held-out points of `data` (its known values, in the
// series' units, forecast on) beside the model's scaled MSE.
[[nodiscard]] BenchmarkFigures benchmark_figures(const ScaledData& data, std::int32_t season,
                                                 std::int32_t largest_lag, const Figure& model_mse);

// "MSE 0.62 of the seasonal naive's" (6 digits), or "MSE against the
// benchmarks not given (why)".
[[nodiscard]] std::string relative_words(const BenchmarkFigures& figures);

}  // namespace quarvel::forecasting
