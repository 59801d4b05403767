// Prediction intervals: 1000 paths simulated 200 steps through formulas of 1,
// 5 and 15 nodes, alone, with the 80 % and 95 % bands per step, and with the
// summary points an ensemble pools as well; the same for paths that partly run
// away; and the pooling of 20 runs' summaries.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "forecasting/ensemble.h"
#include "forecasting/intervals.h"

using namespace quarvel::forecasting;

namespace {

// A chain of `count` nodes over lags 1 to 8, every third one a one-input node,
// whose outputs stay near the inputs: the recursion neither dies nor runs away.
ModelFormula chain_formula(int count) {
  ModelFormula formula;
  formula.value_limit = 100.0;
  ModelInput previous{false, 1};
  for (int i = 1; i <= count; ++i) {
    NodeEquation node;
    node.first = previous;
    node.second = {false, i % 8 + 1};
    node.one_input = i % 3 == 0;
    node.coefficients = node.one_input ? std::vector<double>{0.01, 0.95, 0.02}
                                       : std::vector<double>{0.02, 0.5, 0.45, 0.02, -0.01, 0.01};
    formula.nodes.push_back(node);
    previous = {true, i};
  }
  formula.output = previous;
  for (int lag = 1; lag <= std::min(count + 1, 8); ++lag) formula.lags.push_back(lag);
  return formula;
}

struct Inputs {
  std::vector<double> known;
  std::vector<double> residuals;
};

Inputs sample_inputs(double residual_scale = 0.05) {
  Inputs inputs;
  for (int t = 0; t < 300; ++t) inputs.known.push_back(0.5 + 0.4 * std::sin(0.3 * t));
  for (int t = 0; t < 250; ++t) {
    inputs.residuals.push_back(residual_scale * std::sin(1.7 * t * t));
  }
  return inputs;
}

// The best tree of a default run on the sunspots example: one node on X2 and
// X1 whose free-running paths partly run off until the value limit holds them,
// far from the rest, as forecasts of evolved models do.
ModelFormula runaway_formula() {
  ModelFormula formula;
  formula.value_limit = 100.0;
  formula.nodes.push_back({{false, 2},
                           {false, 1},
                           false,
                           {0.060854919144106123, -1.2188741491470676, 1.9459703058688298,
                            -2.2692326345747347, 2.0464740450030945, 0.072692738366669118}});
  formula.output = {true, 1};
  formula.lags = {1, 2};
  return formula;
}

// summary_points < 0: the paths alone, no quantiles.
void simulate(benchmark::State& state, const ModelFormula& formula, const Inputs& inputs,
              std::int32_t summary_points) {
  PathSettings settings;
  settings.summary_points = std::max(summary_points, 0);
  if (summary_points < 0) settings.levels.clear();
  for (auto _ : state) {
    PathBands bands = simulate_bands(formula, inputs.known, 200, inputs.residuals, 12345, settings);
    benchmark::DoNotOptimize(bands);
  }
}

// Argument: the nodes of the chain formula.
void BM_SimulatePaths(benchmark::State& state) {
  simulate(state, chain_formula(static_cast<int>(state.range(0))), sample_inputs(), -1);
}
void BM_SimulateBands(benchmark::State& state) {
  simulate(state, chain_formula(static_cast<int>(state.range(0))), sample_inputs(), 0);
}
void BM_SimulateBandsAndSummary(benchmark::State& state) {
  simulate(state, chain_formula(static_cast<int>(state.range(0))), sample_inputs(),
           kSummaryPointCount);
}
// Argument: 1 with the summary points.
void BM_SimulateRunawayBands(benchmark::State& state) {
  simulate(state, runaway_formula(), sample_inputs(0.15),
           state.range(0) != 0 ? kSummaryPointCount : 0);
}

// An ensemble of 20 runs: their summaries of 200 steps pooled into bands.
void BM_PooledBands(benchmark::State& state) {
  const Inputs inputs = sample_inputs();
  PathSettings settings;
  settings.summary_points = kSummaryPointCount;
  std::vector<PathSummary> runs;
  runs.reserve(20);
  for (int r = 0; r < 20; ++r) {
    runs.push_back(simulate_bands(chain_formula(1 + r % 5), inputs.known, 200, inputs.residuals,
                                  static_cast<std::uint64_t>(r), settings)
                       .summary);
  }
  const std::vector<double> levels = {80.0, 95.0};
  for (auto _ : state) {
    PooledBands pooled = pooled_bands(runs, levels);
    benchmark::DoNotOptimize(pooled);
  }
}

}  // namespace

BENCHMARK(BM_SimulatePaths)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateBands)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateBandsAndSummary)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateRunawayBands)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PooledBands)->Unit(benchmark::kMillisecond);
