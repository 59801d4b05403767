// The terms of the quadratic node, written once for every type that computes
// or describes them: double for the fitting and the prediction, the vector
// type of the fast path, and the symbolic terms of the exported model. A type
// takes part with its own 1, its product and a bound to [-limit, limit]; a
// change of a term or of their order thus reaches every one of them.
#pragma once

namespace quarvel {

inline constexpr int kTwoInputCoefficients = 6;
inline constexpr int kOneInputCoefficients = 3;

[[nodiscard]] inline double limit_to(double x, double limit) noexcept {
  if (x > limit) x = limit;
  if (x < -limit) x = -limit;
  return x;
}

// 1, x1, x2, x1*x2, x1^2, x2^2, each bounded after forming.
template <class T, class Bound>
[[gnu::always_inline]] inline void two_input_terms(const T& one, const T& x1, const T& x2,
                                                   const Bound& bound, T* r) {
  r[0] = bound(one);
  r[1] = bound(x1);
  r[2] = bound(x2);
  r[3] = bound(x1 * x2);
  r[4] = bound(x1 * x1);
  r[5] = bound(x2 * x2);
}

// 1, x1, x1^2, unbounded.
template <class T>
[[gnu::always_inline]] inline void one_input_terms(const T& one, const T& x1, T* r) {
  r[0] = one;
  r[1] = x1;
  r[2] = x1 * x1;
}

// The node's value: sum over j of c[j] * r[j], from j = 0 and starting at 0.
template <class T>
[[gnu::always_inline]] inline T terms_sum(const double* c, const T* r, int m) {
  T sum = T{};
  for (int j = 0; j < m; ++j) sum += c[j] * r[j];
  return sum;
}

// The terms in double, the value limit bounding them.
inline void two_input_regressors(double x1, double x2, double limit, double* r) noexcept {
  const auto bound = [limit](double x) { return limit_to(x, limit); };
  two_input_terms(1.0, x1, x2, bound, r);
}

inline void one_input_regressors(double x1, double* r) noexcept {
  one_input_terms(1.0, x1, r);
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
