#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/matrix.h"

using namespace quarvel;

namespace {
Matrix from_rows(std::initializer_list<std::initializer_list<double>> rows) {
  Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
  int i = 0;
  for (const auto& row : rows) {
    int j = 0;
    for (const double x : row) m(i, j++) = x;
    ++i;
  }
  return m;
}
}  // namespace

TEST(Matrix, ProductsSumInIndexOrder) {
  const Matrix a = from_rows({{1, 2, 3}, {4, 5, 6}});
  const Matrix b = from_rows({{1, 0}, {0, 1}, {1, 1}});
  const Matrix ab = *rmatmlt(a, 2, 3, b, 3, 2);
  EXPECT_EQ(ab(0, 0), 4);
  EXPECT_EQ(ab(1, 1), 11);
  const Matrix ata = *rmatmlt2(a, 2, 3, a, 2, 3);  // 3 x 3
  EXPECT_EQ(ata(0, 2), 1 * 3 + 4 * 6);
  const Matrix aat = *dmatmlt3(a, 2, 3, a, 2, 3);  // 2 x 2
  EXPECT_EQ(aat(0, 1), 4 + 10 + 18);
  const Vector v = *rmatrvct(a, 2, 3, Vector{1, 1, 1}, 3);
  EXPECT_EQ(v, (Vector{6, 15}));
  const Matrix t = transpose_matrix(a, 2, 3);
  EXPECT_EQ(t.rows(), 3);
  EXPECT_EQ(t(2, 1), 6);
}

TEST(Matrix, DimensionErrorsGiveNoResultAndAMessage) {
  const Matrix a(2, 3);
  struct Case {
    std::function<bool()> call;
    std::string output;
  };
  const std::vector<Case> cases{
      {[&] { return rmatmlt(a, 2, 3, a, 2, 3).has_value(); },
       "ERROR rmatmlt : dimension inconsistent\n  A[2][3]  :  B[2][3] \n"},
      {[&] { return rmatmlt2(a, 2, 3, a, 3, 2).has_value(); },
       "ERROR rmatmlt2 : dimension inconsistent\n  A[2][3]  :  B[3][2] \n"},
      {[&] { return dmatmlt3(a, 2, 3, a, 3, 2).has_value(); },
       "ERROR dmatmlt3 : dimension inconsistent\n  A[2][3]  :  B[3][2] \n"},
      {[&] { return rmatrvct(a, 2, 3, Vector(2), 2).has_value(); },
       "ERROR rmatrvct : dimension inconsistent\n A[2][3]  :  V[2] \n"},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(c.call());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.output);
  }
}

TEST(Matrix, JacobiOfDiagonalSortsWithoutRotation) {
  const Matrix s = from_rows({{1, 0, 0}, {0, 3, 0}, {0, 0, 2}});
  Vector d;
  Matrix v;
  jacobi_eigen(s, 3, d, v);
  EXPECT_EQ(d, (Vector{3, 2, 1}));
  // Columns permuted: eigenvector of 3 is e1, of 2 is e2, of 1 is e0.
  EXPECT_EQ(v(1, 0), 1);
  EXPECT_EQ(v(2, 1), 1);
  EXPECT_EQ(v(0, 2), 1);
  EXPECT_EQ(s(1, 1), 3);  // input unchanged
}

TEST(Matrix, JacobiOfTwoByTwo) {
  Vector d;
  Matrix v;
  jacobi_eigen(from_rows({{2, 1}, {1, 2}}), 2, d, v);
  EXPECT_NEAR(d[0], 3, 1e-12);
  EXPECT_NEAR(d[1], 1, 1e-12);
  EXPECT_NEAR(std::fabs(v(0, 0)), std::sqrt(0.5), 1e-12);
}

TEST(Matrix, PseudoInverse) {
  const Matrix a = from_rows({{4, 1, 0}, {1, 3, 1}, {0, 1, 2}});
  const Matrix p = pseudo_inverse(a, 3, 3);
  const Matrix identity = *rmatmlt(a, 3, 3, p, 3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(identity(i, j), i == j ? 1.0 : 0.0, 1e-12);

  const Matrix singular = pseudo_inverse(from_rows({{1, 1}, {1, 1}}), 2, 2);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) EXPECT_NEAR(singular(i, j), 0.25, 1e-15);
}
