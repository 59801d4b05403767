#include "engine/matrix.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/jacobi.h"

namespace quarvel {

namespace {

void print_dimension_detail(int ar, int ac, int br, int bc) {
  std::printf("  A[%d][%d]  :  B[%d][%d] \n", ar, ac, br, bc);
}

}  // namespace

Vector alloc_vector(int n) {
  return Vector(static_cast<std::size_t>(n), 0.0);
}

Matrix alloc_matrix(int rows, int cols) {
  return Matrix(rows, cols);
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

Matrix zero_matrix(int rows, int cols) {
  return alloc_matrix(rows, cols);
}

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
  jacobi_eigen_in_place(a.row(0), n, d.data(), v.row(0));
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
