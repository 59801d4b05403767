#include "engine/fastfit.h"

#include <cstring>

#include "engine/regressors.h"

namespace quarvel::fastfit {

namespace {

using v8d = double __attribute__((vector_size(64)));

// Scalar-vector arithmetic broadcasts; written this way the compiler emits one
// broadcast (from memory where it can) instead of a chain of lane inserts.
[[gnu::always_inline]] inline v8d broadcast(double x) {
  return x - v8d{};
}

[[gnu::always_inline]] inline v8d load(const double* p) {
  v8d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Above the limit becomes the limit, then below minus the limit becomes minus
// the limit; NaN passes unchanged, as in the scalar form.
[[gnu::always_inline]] inline v8d clamp(v8d r, v8d limit) {
  r = r > limit ? limit : r;
  r = r < -limit ? -limit : r;
  return r;
}

// First the regressor rows (8 doubles a point, the last two 0), then the sums:
// each row is one vector load and every factor a broadcast from memory, which
// keeps the shuffle unit out of the inner loop.
template <bool kTwoInputs>
[[gnu::always_inline]] inline void accumulate(const double* left, const double* right,
                                              const double* y, std::int32_t n, double limit,
                                              double* sums, double* rows) {
  constexpr int m = kTwoInputs ? 6 : 3;
  for (std::int32_t t = 0; t < n; ++t) {
    const double x1 = left[t];
    double* r = rows + static_cast<std::ptrdiff_t>(t) * 8;
    if constexpr (kTwoInputs) {
      two_input_regressors(x1, right[t], limit, r);
    } else {
      one_input_regressors(x1, r);
      r[3] = r[4] = r[5] = 0.0;
    }
    r[6] = r[7] = 0.0;
  }
  v8d acc[m + 1] = {};
  for (std::int32_t t = 0; t < n; ++t) {
    const double* r = rows + static_cast<std::ptrdiff_t>(t) * 8;
    const v8d row = load(r);
#pragma GCC unroll 8
    for (int i = 0; i < m; ++i) acc[i] += r[i] * row;
    acc[m] += y[t] * row;
  }
  for (int i = 0; i < m; ++i) std::memcpy(sums + std::ptrdiff_t{i} * 8, &acc[i], sizeof(v8d));
  std::memcpy(sums + std::ptrdiff_t{6} * 8, &acc[m], sizeof(v8d));
}

// The value limit as the vector type's bound.
struct Bound {
  v8d limit;
  [[gnu::always_inline]] v8d operator()(v8d r) const { return clamp(r, limit); }
};

template <bool kTwoInputs>
[[gnu::always_inline]] inline void outputs(const double* left, const double* right, std::int32_t n,
                                           double limit, const double* c, double* out) {
  const Bound bound{broadcast(limit)};
  const v8d one = broadcast(1.0);
  std::int32_t t = 0;
  for (; t + 8 <= n; t += 8) {
    v8d r[kTwoInputCoefficients];
    if constexpr (kTwoInputs) {
      two_input_terms(one, load(left + t), load(right + t), bound, r);
    } else {
      one_input_terms(one, load(left + t), r);
    }
    const v8d sum = terms_sum(c, r, kTwoInputs ? kTwoInputCoefficients : kOneInputCoefficients);
    std::memcpy(out + t, &sum, sizeof sum);
  }
  for (; t < n; ++t) {
    double r[kTwoInputCoefficients];
    const int m = regressors_for(kTwoInputs ? 1 : -1, left[t], right[t], limit, r);
    out[t] = terms_sum(c, r, m);
  }
}

}  // namespace

// A version for AVX-512, one for AVX2 and one for any x86-64, chosen at start;
// each gives the same results. A build with QUARVEL_SINGLE_TARGET has only the
// last (ThreadSanitizer cannot run the chooser).
#if defined(QUARVEL_SINGLE_TARGET)
#define QUARVEL_TARGET_VERSIONS
#else
#define QUARVEL_TARGET_VERSIONS __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

QUARVEL_TARGET_VERSIONS void accumulate_normal_equations(bool two_inputs, const double* left,
                                                         const double* right, const double* y,
                                                         std::int32_t n, double limit, double* sums,
                                                         double* rows) {
  if (two_inputs) {
    accumulate<true>(left, right, y, n, limit, sums, rows);
  } else {
    accumulate<false>(left, right, y, n, limit, sums, rows);
  }
}

QUARVEL_TARGET_VERSIONS void node_outputs(bool two_inputs, const double* left, const double* right,
                                          std::int32_t n, double limit, const double* c,
                                          double* out) {
  if (two_inputs) {
    outputs<true>(left, right, n, limit, c, out);
  } else {
    outputs<false>(left, right, n, limit, c, out);
  }
}

}  // namespace quarvel::fastfit
