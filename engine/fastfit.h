// The per-point passes of the fast fitting path, vectorised so that every sum
// still adds its terms in the reference order: the normal-equation sums run
// across matrix entries (one lane per entry, points in order), the outputs run
// across points (one lane per point, coefficients in order).
#pragma once

#include <cstdint>

namespace quarvel::fastfit {

// sums[i * 8 + j] = sum over t of r_i(t) * r_j(t) for i, j < m (m = 6 with two
// inputs, 3 with one); sums[6 * 8 + i] = sum over t of y(t) * r_i(t). `rows` is
// scratch space of 8 * n doubles.
void accumulate_normal_equations(bool two_inputs, const double* left, const double* right,
                                 const double* y, std::int32_t n, double limit, double* sums,
                                 double* rows);

// out[t] = sum over j of c[j] * r_j(t), from j = 0 and starting at 0.0.
void node_outputs(bool two_inputs, const double* left, const double* right, std::int32_t n,
                  double limit, const double* c, double* out);

}  // namespace quarvel::fastfit
