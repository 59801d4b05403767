// The engine's own small dense-matrix library for least-squares fitting.
//
// Routines take the dimensions to work on explicitly (a routine may use the
// top-left block of a larger matrix, as the fit does with the design matrix).
// Every sum starts at 0.0 and adds its terms in increasing index order: node
// fitting relies on these routines as its exact reference.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace quarvel {

using Vector = std::vector<double>;

class Matrix {
 public:
  Matrix() = default;
  Matrix(int rows, int cols)
      : rows_(rows), cols_(cols), data_(static_cast<std::size_t>(rows) * cols, 0.0) {}

  [[nodiscard]] int rows() const noexcept { return rows_; }
  [[nodiscard]] int cols() const noexcept { return cols_; }
  [[nodiscard]] double& operator()(int r, int c) noexcept { return data_[index(r, c)]; }
  [[nodiscard]] double operator()(int r, int c) const noexcept { return data_[index(r, c)]; }
  [[nodiscard]] double* row(int r) noexcept { return data_.data() + index(r, 0); }
  [[nodiscard]] const double* row(int r) const noexcept { return data_.data() + index(r, 0); }

 private:
  [[nodiscard]] std::size_t index(int r, int c) const noexcept {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(c);
  }
  int rows_ = 0;
  int cols_ = 0;
  std::vector<double> data_;
};

// Zero-filled storage. Exhausted memory raises std::bad_alloc: the run fails
// and the front end says so.
[[nodiscard]] Vector alloc_vector(int n);
[[nodiscard]] Matrix alloc_matrix(int rows, int cols);

// Writes "ERROR <routine> : <text>" to the standard output.
void print_matrix_error(std::string_view routine, std::string_view text);

[[nodiscard]] Matrix transpose_matrix(const Matrix& a, int rows, int cols);
[[nodiscard]] Matrix zero_matrix(int rows, int cols);
[[nodiscard]] Matrix copy_matrix(const Matrix& a, int rows, int cols);

// A.B (ar x bc); no result when ac != br.
[[nodiscard]] std::optional<Matrix> rmatmlt(const Matrix& a, int ar, int ac, const Matrix& b,
                                            int br, int bc);
// A^T.B (ac x bc); no result when ar != br.
[[nodiscard]] std::optional<Matrix> rmatmlt2(const Matrix& a, int ar, int ac, const Matrix& b,
                                             int br, int bc);
// A.B^T (ar x br); no result when ac != bc.
[[nodiscard]] std::optional<Matrix> dmatmlt3(const Matrix& a, int ar, int ac, const Matrix& b,
                                             int br, int bc);
// A.v (ar); no result when ac != n.
[[nodiscard]] std::optional<Vector> rmatrvct(const Matrix& a, int ar, int ac, const Vector& v,
                                             int n);

// Cyclic Jacobi eigen-decomposition of the symmetric n x n matrix s: eigenvalues
// into d (decreasing), eigenvectors into the columns of v. s is left unchanged.
void jacobi_eigen(const Matrix& s, int n, Vector& d, Matrix& v);

// Pseudo-inverse V.P.V^T.A^T of the square matrix a, from the eigenpairs of
// A^T.A, cutting off eigenvalues below 1e-10 of the largest.
[[nodiscard]] Matrix pseudo_inverse(const Matrix& a, int rows, int cols);

}  // namespace quarvel
