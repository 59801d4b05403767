// The regressor forms of the quadratic node, written once and used by the
// fitting paths, the prediction and the vector-returning builders alike.
#pragma once

namespace quarvel {

inline constexpr int kTwoInputCoefficients = 6;
inline constexpr int kOneInputCoefficients = 3;

[[nodiscard]] inline double limit_to(double x, double limit) noexcept {
  if (x > limit) x = limit;
  if (x < -limit) x = -limit;
  return x;
}

// 1, x1, x2, x1*x2, x1^2, x2^2, each limited to [-limit, limit] after forming.
inline void two_input_regressors(double x1, double x2, double limit, double* r) noexcept {
  r[0] = limit_to(1.0, limit);
  r[1] = limit_to(x1, limit);
  r[2] = limit_to(x2, limit);
  r[3] = limit_to(x1 * x2, limit);
  r[4] = limit_to(x1 * x1, limit);
  r[5] = limit_to(x2 * x2, limit);
}

// 1, x1, x1^2, unlimited.
inline void one_input_regressors(double x1, double* r) noexcept {
  r[0] = 1.0;
  r[1] = x1;
  r[2] = x1 * x1;
}

// The form a model's kind id names: positive two inputs, negative one input.
inline int regressors_for(int kind_id, double x1, double x2, double limit, double* r) noexcept {
  if (kind_id > 0) {
    two_input_regressors(x1, x2, limit, r);
    return kTwoInputCoefficients;
  }
  one_input_regressors(x1, r);
  return kOneInputCoefficients;
}

}  // namespace quarvel
