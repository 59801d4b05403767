// The ensemble of many runs of the same data and settings: what each run
// folder of --runs keeps for it (ensemble-member.txt), and what --runs and
// --summarize make of those files, read back from the folders so that both
// give the same: ensemble-forecast.txt and the ensemble's block of summary.txt.
//
// ensemble-member.txt: "key value" lines, then one line per step.
//     quarvel-cli ensemble member
//     seed 1
//     stream 0
//     population 1        the run's best population (from 1), whose forecast it is
//     scale-low X         the data's minimum and maximum, 17 significant digits
//     scale-high X
//     mase-scale X        MASE's divisor in the series' units, or "none: " and why
//     first-index 340     the point index of the first forecast step of the validation part
//     validation-steps 68
//     past-data-steps 10  (0 without --forecast)
//     summary-points 200  (0 without --intervals, or when the run has no bands)
//     benchmark seasonal_naive X  the best benchmark and its scaled MSE (this line
//                         only where one could be scored)
// then per step, the validation part's first: "INDEX HELD-OUT FORECAST P1 ... Pm",
// the held-out value ("-" past the data) and the forecast scaled to [0, 1] at
// 17 significant digits, and with --intervals m = 200 quantiles of the run's
// simulated paths at probabilities (i + 0.5) / 200, at 9 significant digits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "forecasting/accuracy.h"
#include "forecasting/benchmarks.h"
#include "forecasting/forecastquality.h"
#include "forecasting/intervals.h"
#include "records/runtable.h"

namespace quarvel::batch {

struct EnsembleMember {
  std::int32_t seed = 0;
  std::int32_t stream = 0;
  std::int32_t population = 1;  // from 1
  double low = 0.0;
  double high = 1.0;
  forecasting::Figure mase_scale;
  std::int64_t first_index = 0;
  std::vector<double> held_out;  // per step of the validation part
  std::vector<double> forecast;  // per step: the validation part, then past the data
  std::int32_t past_data_steps = 0;
  forecasting::PathSummary summary;  // over the same steps, or none
  // The best benchmark over the validation part and its scaled MSE; none in
  // members of earlier versions, or where no benchmark could be scored.
  std::optional<forecasting::Benchmark> best_benchmark;
  double best_benchmark_mse = 0.0;
};

// The member of population `population` (0-based) of a run, from its figures.
[[nodiscard]] EnsembleMember make_member(std::int32_t seed, std::int32_t stream,
                                         std::int32_t population,
                                         const forecasting::ScaledData& data,
                                         const forecasting::ForecastQuality& quality);

[[nodiscard]] std::string member_text(const EnsembleMember& member);

// Reads ensemble-member.txt; nullopt when it is whole, else what is wrong.
[[nodiscard]] std::optional<std::string> parse_member(std::string_view text,
                                                      EnsembleMember& member);

// The ensemble holds the members of its runs at once: at most this many of
// their numbers (1 GiB of them), which 60 runs of 10000 steps with summary
// points, or 1300 of 100000 steps without, stay below.
inline constexpr std::uint64_t kLargestEnsemble = std::uint64_t{1} << 27;

// Why the members of `runs` runs of at most `steps` steps each (the
// validation part and past the data), with summary points or without, would
// not fit in kLargestEnsemble; nullopt when they fit.
[[nodiscard]] std::optional<std::string> ensemble_too_large(std::uint64_t runs, std::uint64_t steps,
                                                            bool summary_points);

// ensemble_too_large for the runs of `outcomes` that completed, as their
// first record gives their steps: before a merge reads their members.
[[nodiscard]] std::optional<std::string> merged_ensemble_too_large(
    std::span<const records::RunOutcome> outcomes);

struct EnsembleOutputs {
  std::string forecast_file;  // ensemble-forecast.txt
  std::string summary_block;  // follows records::summary_text
};

// The ensemble of the runs that completed, each run's member read from its
// folder; the values of the file in the series' units with `original_units`.
// A run whose member is missing or does not fit is left out, and the block
// says why.
[[nodiscard]] EnsembleOutputs make_ensemble(std::span<const records::RunOutcome> outcomes,
                                            bool original_units);

}  // namespace quarvel::batch
