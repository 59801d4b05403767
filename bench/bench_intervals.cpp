// Prediction intervals: 1000 paths simulated 200 steps through formulas of 1,
// 5 and 15 nodes, with the 80 % and 95 % bands per step, and with the summary
// points an ensemble pools as well.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "frontend/intervals.h"

using namespace quarvel::frontend;

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

Inputs sample_inputs() {
  Inputs inputs;
  for (int t = 0; t < 300; ++t) inputs.known.push_back(0.5 + 0.4 * std::sin(0.3 * t));
  for (int t = 0; t < 250; ++t) inputs.residuals.push_back(0.05 * std::sin(1.7 * t * t));
  return inputs;
}

void simulate(benchmark::State& state, std::int32_t summary_points) {
  const ModelFormula formula = chain_formula(static_cast<int>(state.range(0)));
  const Inputs inputs = sample_inputs();
  PathSettings settings;
  settings.summary_points = summary_points;
  if (summary_points < 0) settings.levels.clear();
  for (auto _ : state) {
    PathBands bands = simulate_bands(formula, inputs.known, 200, inputs.residuals, 12345, settings);
    benchmark::DoNotOptimize(bands);
  }
}

void BM_SimulateBands(benchmark::State& state) {
  simulate(state, 0);
}
void BM_SimulateOnly(benchmark::State& state) {
  simulate(state, -1);
}
void BM_SimulateBandsAndSummary(benchmark::State& state) {
  simulate(state, kSummaryPointCount);
}

}  // namespace

BENCHMARK(BM_SimulateOnly)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateBands)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimulateBandsAndSummary)->Arg(1)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);
