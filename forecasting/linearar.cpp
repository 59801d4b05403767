#include "forecasting/linearar.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quarvel::forecasting {

namespace {

// Householder QR of the n × k design in column-major `a` (n rows), applied to
// `y` as it goes: afterwards the upper triangle of `a` holds R and y holds
// Qᵀy. A column that is (numerically) a combination of the ones before it
// gets a zero diagonal and leaves y alone.
void householder(std::vector<double>& a, std::size_t n, std::size_t k, std::vector<double>& y) {
  for (std::size_t j = 0; j < k && j < n; ++j) {
    double* column = a.data() + j * n;
    double norm = 0.0;
    for (std::size_t i = j; i < n; ++i) norm += column[i] * column[i];
    norm = std::sqrt(norm);
    if (norm == 0.0) continue;
    const double alpha = column[j] > 0.0 ? -norm : norm;
    // v = x - alpha e1, stored over the column below the diagonal.
    column[j] -= alpha;
    double vv = 0.0;
    for (std::size_t i = j; i < n; ++i) vv += column[i] * column[i];
    if (vv == 0.0) {
      column[j] = alpha;
      continue;
    }
    const auto reflect = [&](double* target) {
      double dot = 0.0;
      for (std::size_t i = j; i < n; ++i) dot += column[i] * target[i];
      const double scale = 2.0 * dot / vv;
      for (std::size_t i = j; i < n; ++i) target[i] -= scale * column[i];
    };
    for (std::size_t c = j + 1; c < k; ++c) reflect(a.data() + c * n);
    reflect(y.data());
    column[j] = alpha;
    for (std::size_t i = j + 1; i < n; ++i) column[i] = 0.0;
  }
}

}  // namespace

LinearAr fit_linear_ar(std::span<const double> series, std::int32_t largest_order) {
  LinearAr model;
  const std::size_t n = series.size();
  if (n < 2) {
    double sum = 0.0;
    for (const double v : series) sum += v;
    model.coefficients = {n == 0 ? 0.0 : sum / static_cast<double>(n)};
    return model;
  }
  const std::size_t largest =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(largest_order, 0)), n / 3);
  const std::size_t points = n - largest;
  const std::size_t columns = largest + 1;
  std::vector<double> design(points * columns);
  std::vector<double> target(points);
  for (std::size_t r = 0; r < points; ++r) {
    const std::size_t t = largest + r;
    target[r] = series[t];
    design[r] = 1.0;
    for (std::size_t p = 1; p <= largest; ++p) design[p * points + r] = series[t - p];
  }
  std::vector<double> qty = target;
  householder(design, points, columns, qty);

  // The residual sum of order p is what Qᵀy holds beyond its first p + 1 entries.
  double beyond = 0.0;
  for (std::size_t i = columns; i < points; ++i) beyond += qty[i] * qty[i];
  std::vector<double> rss(columns);
  for (std::size_t p = columns; p-- > 0;) {
    rss[p] = beyond;
    if (p < points) beyond += qty[p] * qty[p];
  }
  const auto diagonal = [&](std::size_t j) { return design[j * points + j]; };
  // A lag whose column the ones before it nearly make up tells nothing new.
  double largest_diagonal = 0.0;
  for (std::size_t j = 0; j < columns && j < points; ++j) {
    largest_diagonal = std::max(largest_diagonal, std::abs(diagonal(j)));
  }
  const double negligible = largest_diagonal * 1e-10;
  std::size_t best = 0;
  double best_aic = std::numeric_limits<double>::infinity();
  for (std::size_t p = 0; p < columns && p < points; ++p) {
    if (!(std::abs(diagonal(p)) > negligible)) break;
    const double variance =
        std::max(rss[p] / static_cast<double>(points), std::numeric_limits<double>::min());
    const double aic =
        static_cast<double>(points) * std::log(variance) + 2.0 * static_cast<double>(p + 1);
    if (aic < best_aic) {
      best_aic = aic;
      best = p;
    }
  }
  // Back substitution with the leading block of R.
  model.order = static_cast<std::int32_t>(best);
  model.coefficients.assign(best + 1, 0.0);
  for (std::size_t i = best + 1; i-- > 0;) {
    double sum = qty[i];
    for (std::size_t c = i + 1; c <= best; ++c)
      sum -= design[c * points + i] * model.coefficients[c];
    model.coefficients[i] = sum / diagonal(i);
  }
  return model;
}

std::vector<double> forecast_linear_ar(const LinearAr& model, std::span<const double> known,
                                       std::int32_t steps) {
  std::vector<double> history(known.begin(), known.end());
  std::vector<double> forecast;
  forecast.reserve(static_cast<std::size_t>(std::max(steps, 0)));
  for (std::int32_t j = 0; j < steps; ++j) {
    double value = model.coefficients.empty() ? 0.0 : model.coefficients[0];
    for (std::size_t p = 1; p < model.coefficients.size(); ++p) {
      const double lagged = p <= history.size() ? history[history.size() - p] : 0.0;
      value += model.coefficients[p] * lagged;
    }
    history.push_back(value);
    forecast.push_back(value);
  }
  return forecast;
}

}  // namespace quarvel::forecasting
