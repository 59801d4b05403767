// Engine benchmarks: one node fit on either path, one generation on a sample
// series and at the data-set capacity, and whole runs at the window's default
// settings.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "data/datafile.h"
#include "engine/engine.h"
#include "engine/fastfit.h"
#include "engine/fitting.h"
#include "engine/generations.h"
#include "engine/prediction.h"
#include "records/outputfile.h"
#include "runs/startrun.h"
#include "support/data_grids.h"

using namespace quarvel;

namespace {

// An engine over n random training points whose root node fits two function
// children with random outputs.
struct FitFixture {
  explicit FitFixture(int n) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> training(static_cast<std::size_t>(n));
    for (double& x : training) x = u(rng);
    (void)set_training_series(engine.data, training);
    (void)set_validation_series(engine.data, std::vector<double>{0.5});
    (void)normalise_series(engine.data);
    RunParameters p = engine.parameters;
    p.number_of_populations = 1;
    apply_run_parameters(engine, p);
    allocate_populations(engine, p);
    prepare_engine(engine);
    root = create_tree_node(engine, 0, kFunctionNode, 0, nullptr);
    new_node_model(engine, root.get());
    std::vector<double> outputs(static_cast<std::size_t>(n));
    for (int side = 0; side < 2; ++side) {
      Tree child = create_tree_node(engine, 0, kFunctionNode, 0, root.get());
      child->body->children[0] = create_tree_node(engine, 0, kTerminalNode, 0, child.get());
      child->body->children[1] = create_tree_node(engine, 0, kTerminalNode, 1, child.get());
      new_node_model(engine, child.get());
      NodeModel& model = *child->model();
      model.kind_id = 1;
      model.coefficients.assign(6, 0.0);
      model.sn2 = 0.1;
      for (double& x : outputs) x = u(rng);
      store_outputs(engine, model, outputs);
      root->body->children[static_cast<std::size_t>(side)] = std::move(child);
    }
  }
  Engine engine;
  Tree root;
};

void fit_once(benchmark::State& state, FitPath path) {
  FitFixture f(static_cast<int>(state.range(0)));
  f.engine.fit_path = path;
  NodeModel& model = *f.root->model();
  for (auto _ : state) {
    model.kind_id = kUnfittedKind;
    model.coefficients.clear();
    f.engine.fit_cache.clear();  // a fit each time, not a copy of the last one
    fit_node(f.engine, f.root.get());
    benchmark::DoNotOptimize(model.sn2);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FitReference(benchmark::State& state) {
  fit_once(state, FitPath::reference);
}
void BM_FitFast(benchmark::State& state) {
  fit_once(state, FitPath::fast);
}
BENCHMARK(BM_FitReference)->Arg(100)->Arg(300)->Arg(1000)->Arg(10000);
BENCHMARK(BM_FitFast)->Arg(100)->Arg(300)->Arg(1000)->Arg(10000);

// The outputs of one fitted node on the fast path alone: arg 0 the point count,
// arg 1 the two-input form when 1, the one-input form when 0.
void BM_NodeOutputs(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  std::vector<double> left(static_cast<std::size_t>(n));
  std::vector<double> right(left.size());
  std::vector<double> out(left.size());
  for (std::size_t t = 0; t < left.size(); ++t) {
    left[t] = u(rng);
    right[t] = u(rng);
  }
  const double c[6] = {0.1, -0.7, 1.3, 0.4, -0.2, 0.9};
  for (auto _ : state) {
    fastfit::node_outputs(state.range(1) != 0, left.data(), right.data(), n, 1.5, c, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NodeOutputs)->ArgsProduct({{1003, 10000}, {0, 1}});

// The machine's scalar rate: independent multiply-adds in scalar code (8
// accumulators, so the adds do not wait on each other), per multiply-add.
#if defined(__GNUC__) && !defined(__clang__)
#define QUARVEL_SCALAR_CODE __attribute__((optimize("no-tree-vectorize")))
#else
#define QUARVEL_SCALAR_CODE
#endif
QUARVEL_SCALAR_CODE void BM_ScalarMultiplyAdd(benchmark::State& state) {
  std::vector<double> x(4096);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 1.0 + 1e-6 * static_cast<double>(i);
  for (auto _ : state) {
    double a0 = 0, a1 = 0, a2 = 0, a3 = 0, a4 = 0, a5 = 0, a6 = 0, a7 = 0;
    for (const double v : x) {
      a0 += v * 1.001;
      a1 += v * 1.002;
      a2 += v * 1.003;
      a3 += v * 1.004;
      a4 += v * 1.005;
      a5 += v * 1.006;
      a6 += v * 1.007;
      a7 += v * 1.008;
    }
    benchmark::DoNotOptimize(a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(x.size()) * 8);
}
BENCHMARK(BM_ScalarMultiplyAdd);

const char* const kDataSets[] = {"sunspots", "mackey-glass"};

// The runner's set-up at the window's defaults: files through the shared data
// path, overlap detected, Start.
void start_default_run(Engine& engine, const std::string& name,
                       const std::string& dir = QUARVEL_EXAMPLES_DIR) {
  const testing::DataGrids grids =
      testing::read_grids(dir + "/" + name + "-training.txt", dir + "/" + name + "-validation.txt");
  runs::SettingsTexts settings;
  settings.set(runs::Setting::overlap,
               std::to_string(data::detect_overlap(grids.training.value, grids.validation.value)));
  const auto outcome = runs::start_run(engine, grids.training, grids.validation, settings);
  if (outcome.error != runs::StartError::none) throw std::runtime_error(outcome.message);
}

void report_all(Engine& engine) {
  for (std::int32_t p = 0; p < engine.population_count; ++p) {
    report_best_tree(engine, engine.report, p);
    fill_prediction(engine, engine.report, p);
  }
}

// One generation at the defaults (population 1000) on the Mackey-Glass example,
// averaged over the steps that follow generation 0.
void BM_Generation(benchmark::State& state) {
  Engine engine;
  start_default_run(engine, "mackey-glass");
  generation_step(engine, 0);
  std::int32_t g = 1;
  for (auto _ : state) {
    generation_step(engine, g++);
    report_all(engine);
  }
}
BENCHMARK(BM_Generation)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same at the data-set capacity: the long Mackey-Glass series (38000
// training values, 39719 in all), fast path, generations 1 to 8.
void BM_GenerationLongSeries(benchmark::State& state) {
  Engine engine;
  start_default_run(engine, "mackey-glass-long", QUARVEL_LONG_SERIES_DIR);
  if (engine.data.training_count != 38000) {
    state.SkipWithError("the long series did not start");
    return;
  }
  generation_step(engine, 0);
  std::int32_t g = 1;
  for (auto _ : state) {
    generation_step(engine, g++);
    report_all(engine);
  }
  state.counters["outputs_given_up"] = static_cast<double>(engine.outputs.given_up());
}
BENCHMARK(BM_GenerationLongSeries)->Unit(benchmark::kMillisecond)->Iterations(8);

// The output grid's texts of one population's prediction at the data-set
// capacity, as the window makes them every generation.
void BM_OutputCells(benchmark::State& state) {
  Engine engine;
  start_default_run(engine, "mackey-glass-long", QUARVEL_LONG_SERIES_DIR);
  generation_step(engine, 0);
  report_all(engine);
  const std::span<const double> prediction(engine.report.prediction.data(),
                                           static_cast<std::size_t>(engine.data.point_count));
  for (auto _ : state) {
    const records::OutputCells cells = records::output_cells(prediction);
    benchmark::DoNotOptimize(cells.value.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(prediction.size()));
}
BENCHMARK(BM_OutputCells)->Unit(benchmark::kMillisecond);

// A whole 50-generation run at the defaults, as the first run after program
// start; arg 0 picks the data set, arg 1 the reference chain when 1.
void BM_Run(benchmark::State& state) {
  const std::string name = kDataSets[state.range(0)];
  state.SetLabel(name + (state.range(1) ? " reference" : " fast"));
  for (auto _ : state) {
    Engine engine;
    if (state.range(1)) engine.fit_path = FitPath::reference;
    start_default_run(engine, name);
    for (std::int32_t g = 0; g < engine.parameters.number_of_generations; ++g) {
      generation_step(engine, g);
      report_all(engine);
    }
    benchmark::DoNotOptimize(engine.report.best_mdl);
  }
}
BENCHMARK(BM_Run)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
