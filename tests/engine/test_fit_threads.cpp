// Fitting on two threads when the second one fails or cannot be had: a
// program of its own, with the allocation and thread creation of
// support/failing_calls; and how many a fresh engine takes.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <thread>

#include "engine/engine.h"
#include "engine/fitting.h"
#include "engine/generations.h"
#include "support/cpu_limit.h"
#include "support/engine_fixtures.h"
#include "support/failing_calls.h"

using quarvel::testing::CpuLimit;
using quarvel::testing::fail_other_threads_allocations;
using quarvel::testing::refuse_threads;
using quarvel::testing::refused_threads;

using namespace quarvel;
using namespace quarvel::testing;

namespace {

// Every new model of a generation is fitted by fit_population_models: enough
// of them for the second thread, small enough to be quick.
void configure(RunParameters& p) {
  p.population_size[0] = 300;
  p.terminal_table_size[0] = 12;
  p.crossover_func_pt_fraction[0] = 0.4f;
  p.crossover_any_pt_fraction[0] = 0.4f;
}

std::vector<float> run_scores(Engine& e, int generations) {
  std::vector<float> scores;
  for (int g = 0; g < generations; ++g) {
    generation_step(e, g);
    const Population& pop = e.populations[0];
    scores.insert(scores.end(), pop.mdl.begin(), pop.mdl.end());
    scores.insert(scores.end(), pop.sn2.begin(), pop.sn2.end());
  }
  return scores;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(FitThreads, AFailureOnTheSecondThreadReachesTheCaller) {
  auto engine = make_engine(wave(6000), wave(40, 0.4), 1, configure);
  Engine& e = *engine;
  e.fit_threads = 2;
  // Fits of a few thousand points keep this thread busy long enough for the
  // second one to take work before a level is done.
  fail_other_threads_allocations = true;
  int failed_at = -1;
  for (int g = 0; g < 4 && failed_at < 0; ++g) {
    try {
      generation_step(e, g);
    } catch (const std::bad_alloc&) {
      failed_at = g;
    }
  }
  fail_other_threads_allocations = false;
  EXPECT_GE(failed_at, 0);

  // The next Start (the same steps, the integer generator running on) gives
  // the run a fresh engine at the same point gives: nothing of the failed
  // run stays behind.
  release_run(e);
  apply_run_parameters(e, e.parameters);
  allocate_populations(e, e.parameters);
  prepare_engine(e);
  auto fresh = make_engine(wave(6000), wave(40, 0.4), 1, configure);
  fresh->fit_threads = 2;
  fresh->random.integer_state = e.random.integer_state;
  const std::vector<float> again = run_scores(e, 3);
  EXPECT_TRUE(same_bits(again, run_scores(*fresh, 3)));
}

TEST(FitThreads, WithoutASecondThreadTheCallingThreadFitsEverything) {
  auto in_order = make_engine(wave(400), wave(40, 0.4), 1, configure);
  in_order->fit_threads = 1;
  const std::vector<float> expected = run_scores(*in_order, 4);

  auto engine = make_engine(wave(400), wave(40, 0.4), 1, configure);
  engine->fit_threads = 2;
  refuse_threads = true;
  const std::vector<float> scores = run_scores(*engine, 4);
  refuse_threads = false;
  EXPECT_GT(refused_threads.load(), 0);
  EXPECT_TRUE(same_bits(scores, expected));
}

// A process that may use one CPU, by its mask or by its batch system, fits on
// one thread; a larger SLURM_CPUS_PER_TASK, or one that is not a count, does
// not add any.
TEST(FitThreads, AFreshEngineFitsOnTheCpusThisProcessMayUse) {
  struct Case {
    int mask_cpus;  // 0: the mask as it is
    std::optional<std::string> cpus_per_task;
    int expected;  // 0: as many as the whole mask has, up to kMaxFitThreads
  };
  const Case cases[] = {
      {1, std::nullopt, 1}, {0, "1", 1},   {1, "8", 1},
      {0, std::nullopt, 0}, {0, "two", 0}, {0, "0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mask_cpus) + " " + c.cpus_per_task.value_or("(unset)"));
    const CpuLimit limit(c.mask_cpus, c.cpus_per_task);
    const int expected_cpus = c.expected > 0 ? c.expected : limit.cpus_before();
    EXPECT_EQ(usable_cpu_count(), expected_cpus);
    EXPECT_EQ(Engine().fit_threads, std::min(expected_cpus, kMaxFitThreads));
  }
}
