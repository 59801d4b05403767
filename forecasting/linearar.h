// A linear autoregression fitted by least squares, its order chosen by AIC:
// the benchmark a non-linear model has to beat, and the quick model that
// tries the transforms out on the training part.
//
// For the largest order P (at most a third of the values), every order p = 0
// .. P is fitted on the same points t = P .. n − 1 to y[t] = c0 + c1·y[t−1] +
// … + cp·y[t−p]; the order of the smallest n'·log(RSS / n') + 2·(p + 1)
// (n' = n − P points) is taken, the lower order of equals.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quarvel::forecasting {

struct LinearAr {
  std::int32_t order = 0;
  std::vector<double> coefficients;  // the intercept, then lag 1 .. order
};

// The autoregression of `series` of order at most `largest_order`. A series
// of fewer than 2 values gives its mean (order 0; 0.0 for none).
[[nodiscard]] LinearAr fit_linear_ar(std::span<const double> series, std::int32_t largest_order);

// The next `steps` values after `known`, each step reading the values before
// it, forecast ones included.
[[nodiscard]] std::vector<double> forecast_linear_ar(const LinearAr& model,
                                                     std::span<const double> known,
                                                     std::int32_t steps);

}  // namespace quarvel::forecasting
