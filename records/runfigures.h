// A population's figures at the end of a run, and how each file of many runs
// names them: run.txt (runrecord), runs.csv (runtable) and summary.txt
// (runsummary) are written and read from the lists here alone; and the rules
// those files share for reading numbers back, ranking runs and counting.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/benchmarks.h"

namespace quarvel::records {

// The share of held-out values inside a prediction band of one level.
struct BandCoverage {
  double level = 0.0;
  forecasting::Figure share;

  friend bool operator==(const BandCoverage&, const BandCoverage&) = default;
};

// Where a forecast left the data's range widened by its span on each side.
struct Divergence {
  bool recorded = false;             // false in records of earlier versions
  std::optional<std::int32_t> step;  // the first step outside, from 1; none: it stayed inside

  friend bool operator==(const Divergence&, const Divergence&) = default;
};

// A population's figures at the end of a run. Each is listed once below, with
// its names in run.txt, runs.csv and summary.txt, in the lists those files
// are written and read from.
struct PopulationFigures {
  double best_mse = 0.0;
  double best_mdl = 0.0;
  double validation_mse = 0.0;  // of the forecast over the validation part
  double best_node_count = 0.0;
  // The accuracy of that forecast in the series' units: a figure that cannot
  // be given is absent with the reason, one that a record of an earlier
  // version does not hold absent without one.
  forecasting::Figure mae{};
  forecasting::Figure rmse{};
  forecasting::Figure mape{};  // in percent
  forecasting::Figure mase{};
  // The scaled MSE over the best benchmark's on the same points, and each
  // benchmark's scaled MSE (forecasting/benchmarks.h).
  forecasting::Figure mse_over_benchmark{};
  forecasting::Figure naive_mse{};
  forecasting::Figure seasonal_naive_mse{};
  forecasting::Figure drift_mse{};
  forecasting::Figure linear_ar_mse{};
  std::vector<BandCoverage> coverage{};  // with --intervals, per level
  Divergence validation_divergence{};
  Divergence forecast_divergence{};  // of the forecast past the data, with --forecast

  friend bool operator==(const PopulationFigures&, const PopulationFigures&) = default;
};

// One figure of a population, as each file of many runs names it.
template <class Value>
struct ListedFigure {
  std::string_view record_key;    // run.txt: "best-mse"
  std::string_view column;        // runs.csv: "best_mse"
  std::string_view summary_name;  // a line of summary.txt: "best MSE"
  Value PopulationFigures::*member;
};
using FigureInfo = ListedFigure<double>;

// Every figure of a population, in the order the files give them: run.txt,
// runs.csv and summary.txt are written and read from this list alone.
inline constexpr FigureInfo kFigures[] = {
    {"best-mse", "best_mse", "best MSE", &PopulationFigures::best_mse},
    {"best-mdl", "best_mdl", "best MDL", &PopulationFigures::best_mdl},
    {"validation-mse", "validation_mse", "validation MSE", &PopulationFigures::validation_mse},
    {"best-nodes", "best_nodes", "best-tree nodes", &PopulationFigures::best_node_count},
};

// The accuracy of a population's validation forecast, in the series' units:
// "mae 1 X" in run.txt ("none: " and the reason when it cannot be given), a
// column of runs.csv (empty then) and a line of summary.txt.
using AccuracyInfo = ListedFigure<forecasting::Figure>;

inline constexpr AccuracyInfo kAccuracyFigures[] = {
    {"mae", "mae", "MAE", &PopulationFigures::mae},
    {"rmse", "rmse", "RMSE", &PopulationFigures::rmse},
    {"mape", "mape", "MAPE (%)", &PopulationFigures::mape},
    {"mase", "mase", "MASE", &PopulationFigures::mase},
    {"mse-over-best-benchmark", "mse_over_best_benchmark", "MSE / benchmark",
     &PopulationFigures::mse_over_benchmark},
    {"naive-mse", "naive_mse", "naive MSE", &PopulationFigures::naive_mse},
    {"seasonal-naive-mse", "seasonal_naive_mse", "snaive MSE",
     &PopulationFigures::seasonal_naive_mse},
    {"drift-mse", "drift_mse", "drift MSE", &PopulationFigures::drift_mse},
    {"linear-ar-mse", "linear_ar_mse", "linear AR MSE", &PopulationFigures::linear_ar_mse},
};

// The scaled MSE figure of a benchmark among a population's.
[[nodiscard]] forecasting::Figure PopulationFigures::*benchmark_member(
    forecasting::Benchmark benchmark);

// Where a population's forecasts left the data's range: "validation-diverged 1
// at step 34" (or "no") in run.txt, the step (or nothing) in runs.csv, and a
// count in summary.txt.
using DivergenceInfo = ListedFigure<Divergence>;

inline constexpr DivergenceInfo kDivergences[] = {
    {"validation-diverged", "validation_diverged_at_step", "the validation forecast",
     &PopulationFigures::validation_divergence},
    {"forecast-diverged", "forecast_diverged_at_step", "the forecast past the data",
     &PopulationFigures::forecast_divergence},
};

// A band's coverage: "coverage-80" in run.txt, "coverage_80" in runs.csv,
// "80 % coverage" in summary.txt.
inline constexpr std::string_view kCoverageKey = "coverage-";
inline constexpr std::string_view kCoverageColumn = "coverage_";

// A number of a file of runs, the whole text (in `base` for a whole number).
template <class Number>
[[nodiscard]] std::optional<Number> read_number(std::string_view text, int base = 10) {
  Number value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

[[nodiscard]] std::optional<double> read_double(std::string_view text);

// The run's seconds as run.txt and runs.csv write them: "1.250".
[[nodiscard]] std::string seconds_text(double seconds);

// Ascending, with "nan" after every number.
[[nodiscard]] bool figure_less(double a, double b);

// The figure runs are ranked by: best MSE with --rank-by mse, else best MDL.
[[nodiscard]] double ranking_figure(const PopulationFigures& figures, bool by_mse);

// "1 run", "3 runs".
[[nodiscard]] std::string plural(std::size_t count, std::string_view one, std::string_view many);

// The coverage of `level` among a population's, or nullptr.
[[nodiscard]] const forecasting::Figure* coverage_of(const PopulationFigures& figures,
                                                     double level);

// "80" of "coverage-80" or "coverage_80" (`prefix` the key's or the
// column's), a valid band level.
[[nodiscard]] std::optional<double> coverage_level(std::string_view name, std::string_view prefix);

// The levels of the coverage that any of `figures` gives, in the order first met.
[[nodiscard]] std::vector<double> coverage_levels(
    std::span<const PopulationFigures* const> figures);

}  // namespace quarvel::records
