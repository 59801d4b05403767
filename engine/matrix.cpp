#include "matrix.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace quarvel {

namespace {

[[noreturn]] void out_of_memory() {
  std::fputs("alloc: No more memory !!\n", stdout);
  std::fflush(stdout);
  std::exit(0);
}

void print_dimension_detail(int ar, int ac, int br, int bc) {
  std::printf("  A[%d][%d]  :  B[%d][%d] \n", ar, ac, br, bc);
}

}  // namespace

Vector alloc_vector(int n) {
  try {
    return Vector(static_cast<std::size_t>(n), 0.0);
  } catch (const std::bad_alloc&) {
    out_of_memory();
  }
}

Matrix alloc_matrix(int rows, int cols) {
  try {
    return Matrix(rows, cols);
  } catch (const std::bad_alloc&) {
    out_of_memory();
  }
}

void print_matrix_error(std::string_view routine, std::string_view text) {
  std::printf("ERROR %s : %s\n", std::string(routine).c_str(), std::string(text).c_str());
}

Matrix transpose_matrix(const Matrix& a, int rows, int cols) {
  Matrix t = alloc_matrix(cols, rows);
  for (int i = 0; i < cols; ++i)
    for (int j = 0; j < rows; ++j) t(i, j) = a(j, i);
  return t;
}

Matrix zero_matrix(int rows, int cols) { return alloc_matrix(rows, cols); }

Matrix copy_matrix(const Matrix& a, int rows, int cols) {
  Matrix c = alloc_matrix(rows, cols);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) c(i, j) = a(i, j);
  return c;
}

std::optional<Matrix> rmatmlt(const Matrix& a, int ar, int ac, const Matrix& b, int br, int bc) {
  if (ac != br) {
    print_matrix_error("rmatmlt", "dimension inconsistent");
    print_dimension_detail(ar, ac, br, bc);
    return std::nullopt;
  }
  Matrix c = alloc_matrix(ar, bc);
  for (int i = 0; i < ar; ++i) {
    for (int j = 0; j < bc; ++j) {
      double sum = 0.0;
      for (int k = 0; k < ac; ++k) sum += a(i, k) * b(k, j);
      c(i, j) = sum;
    }
  }
  return c;
}

std::optional<Matrix> rmatmlt2(const Matrix& a, int ar, int ac, const Matrix& b, int br, int bc) {
  if (ar != br) {
    print_matrix_error("rmatmlt2", "dimension inconsistent");
    print_dimension_detail(ar, ac, br, bc);
    return std::nullopt;
  }
  Matrix c = alloc_matrix(ac, bc);
  for (int i = 0; i < ac; ++i) {
    for (int j = 0; j < bc; ++j) {
      double sum = 0.0;
      for (int k = 0; k < ar; ++k) sum += a(k, i) * b(k, j);
      c(i, j) = sum;
    }
  }
  return c;
}

std::optional<Matrix> dmatmlt3(const Matrix& a, int ar, int ac, const Matrix& b, int br, int bc) {
  if (ac != bc) {
    print_matrix_error("dmatmlt3", "dimension inconsistent");
    print_dimension_detail(ar, ac, br, bc);
    return std::nullopt;
  }
  Matrix c = alloc_matrix(ar, br);
  for (int i = 0; i < ar; ++i) {
    for (int j = 0; j < br; ++j) {
      double sum = 0.0;
      for (int k = 0; k < ac; ++k) sum += a(i, k) * b(j, k);
      c(i, j) = sum;
    }
  }
  return c;
}

std::optional<Vector> rmatrvct(const Matrix& a, int ar, int ac, const Vector& v, int n) {
  if (ac != n) {
    print_matrix_error("rmatrvct", "dimension inconsistent");
    std::printf(" A[%d][%d]  :  V[%d] \n", ar, ac, n);
    return std::nullopt;
  }
  Vector r = alloc_vector(ar);
  for (int i = 0; i < ar; ++i) {
    double sum = 0.0;
    for (int k = 0; k < ac; ++k) sum += a(i, k) * v[static_cast<std::size_t>(k)];
    r[static_cast<std::size_t>(i)] = sum;
  }
  return r;
}

void jacobi_eigen(const Matrix& s, int n, Vector& d, Matrix& v) {
  Matrix a = copy_matrix(s, n, n);
  v = alloc_matrix(n, n);
  d.assign(static_cast<std::size_t>(n), 0.0);
  for (int i = 0; i < n; ++i) {
    v(i, i) = 1.0;
    d[static_cast<std::size_t>(i)] = a(i, i);
  }
  auto dd = [&d](int i) -> double& { return d[static_cast<std::size_t>(i)]; };

  for (int sweep = 1; sweep <= 10000; ++sweep) {
    double sm = 0.0;
    for (int p = 0; p < n - 1; ++p)
      for (int q = p + 1; q < n; ++q) sm += std::fabs(a(p, q));
    if (sm < 1e-10) break;
    const double tresh = sweep < 4 ? 0.2 * sm / static_cast<double>(n * n) : 0.0;

    for (int p = 0; p < n - 1; ++p) {
      for (int q = p + 1; q < n; ++q) {
        const double g = 100.0 * std::fabs(a(p, q));
        if (sweep > 4 && std::fabs(dd(p)) + g == std::fabs(dd(p)) &&
            std::fabs(dd(q)) + g == std::fabs(dd(q))) {
          a(p, q) = 0.0;
          continue;
        }
        if (!(std::fabs(a(p, q)) > tresh)) continue;

        double h = dd(q) - dd(p);
        double t;
        if (std::fabs(h) + g == std::fabs(h)) {
          t = a(p, q) / h;
        } else {
          const double theta = 0.5 * h / a(p, q);
          t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
          if (theta < 0.0) t = -t;
        }
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double sn = t * c;
        const double tau = sn / (1.0 + c);
        h = t * a(p, q);
        dd(p) -= h;
        dd(q) += h;
        a(p, q) = 0.0;

        auto rotate = [sn, tau](double& x, double& y) {
          const double gx = x;
          const double hy = y;
          x = gx - sn * (hy + gx * tau);
          y = hy + sn * (gx - hy * tau);
        };
        for (int j = 0; j < p; ++j) rotate(a(j, p), a(j, q));
        for (int j = p + 1; j < q; ++j) rotate(a(p, j), a(j, q));
        for (int j = q + 1; j < n; ++j) rotate(a(p, j), a(q, j));
        for (int j = 0; j < n; ++j) rotate(v(j, p), v(j, q));
      }
    }
  }

  // Decreasing order by selection; an equal later value does not displace an earlier one.
  for (int i = 0; i < n; ++i) {
    int m = i;
    double largest = -1e30;
    for (int k = i; k < n; ++k) {
      if (dd(k) > largest) {
        largest = dd(k);
        m = k;
      }
    }
    if (m != i) {
      std::swap(dd(i), dd(m));
      for (int j = 0; j < n; ++j) std::swap(v(j, i), v(j, m));
    }
  }
}

Matrix pseudo_inverse(const Matrix& a, int rows, int cols) {
  const int n = cols;
  const Matrix m = *rmatmlt2(a, rows, cols, a, rows, cols);
  Vector e;
  Matrix v;
  jacobi_eigen(m, n, e, v);
  Matrix p = zero_matrix(n, n);
  for (int i = 0; i < n; ++i) {
    const auto ei = e[static_cast<std::size_t>(i)];
    if (!(ei / e[0] >= 1e-10)) break;
    p(i, i) = 1.0 / ei;
  }
  const Matrix l = *rmatmlt(a, rows, cols, v, n, n);
  const Matrix r = *rmatmlt(v, n, n, p, n, n);
  return *dmatmlt3(r, n, n, l, rows, n);
}

}  // namespace quarvel
