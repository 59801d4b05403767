// The cyclic Jacobi eigen-decomposition on contiguous row-major storage, shared
// by the matrix routines and the fixed-size fitting path so that both perform
// exactly the same operations.
#pragma once

#include <cmath>
#include <utility>

namespace quarvel {

// a: n x n symmetric, destroyed (off-diagonal rotated to zero); d: n eigenvalues,
// sorted decreasing; v: n x n, its columns the eigenvectors. A non-zero kFixed
// fixes n at compile time (the same operations, unrolled).
template <int kFixed = 0>
inline void jacobi_eigen_in_place(double* a, int runtime_n, double* d, double* v) {
  const int n = kFixed > 0 ? kFixed : runtime_n;
  auto at = [=](double* m, int i, int j) -> double& { return m[i * n + j]; };
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) at(v, i, j) = i == j ? 1.0 : 0.0;
    d[i] = at(a, i, i);
  }

  for (int sweep = 1; sweep <= 10000; ++sweep) {
    double sm = 0.0;
    for (int p = 0; p < n - 1; ++p)
      for (int q = p + 1; q < n; ++q) sm += std::fabs(at(a, p, q));
    if (sm < 1e-10) break;
    const double tresh = sweep < 4 ? 0.2 * sm / static_cast<double>(n * n) : 0.0;

    for (int p = 0; p < n - 1; ++p) {
      for (int q = p + 1; q < n; ++q) {
        double& apq = at(a, p, q);
        const double g = 100.0 * std::fabs(apq);
        if (sweep > 4 && std::fabs(d[p]) + g == std::fabs(d[p]) &&
            std::fabs(d[q]) + g == std::fabs(d[q])) {
          apq = 0.0;
          continue;
        }
        if (!(std::fabs(apq) > tresh)) continue;

        double h = d[q] - d[p];
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = apq / h;
        } else {
          const double theta = 0.5 * h / apq;
          t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
          if (theta < 0.0) t = -t;
        }
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double s = t * c;
        const double tau = s / (1.0 + c);
        h = t * apq;
        d[p] -= h;
        d[q] += h;
        apq = 0.0;

        auto rotate = [s, tau](double& x, double& y) {
          const double gx = x;
          const double hy = y;
          x = gx - s * (hy + gx * tau);
          y = hy + s * (gx - hy * tau);
        };
        for (int j = 0; j < p; ++j) rotate(at(a, j, p), at(a, j, q));
        for (int j = p + 1; j < q; ++j) rotate(at(a, p, j), at(a, j, q));
        for (int j = q + 1; j < n; ++j) rotate(at(a, p, j), at(a, q, j));
        for (int j = 0; j < n; ++j) rotate(at(v, j, p), at(v, j, q));
      }
    }
  }

  // Decreasing order by selection; an equal later value does not displace an earlier one.
  for (int i = 0; i < n; ++i) {
    int m = i;
    double largest = -1e30;
    for (int k = i; k < n; ++k) {
      if (d[k] > largest) {
        largest = d[k];
        m = k;
      }
    }
    if (m != i) {
      std::swap(d[i], d[m]);
      for (int j = 0; j < n; ++j) std::swap(at(v, j, i), at(v, j, m));
    }
  }
}

}  // namespace quarvel
