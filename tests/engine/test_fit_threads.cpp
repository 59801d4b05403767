// Fitting on two threads when the second one fails or cannot be had. This
// program replaces the global allocation functions and thread creation so that
// a test can make them fail: it runs apart from the other engine tests.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "engine/fitting.h"
#include "engine/generations.h"
#include "support/engine_fixtures.h"

namespace {

std::atomic<bool> fail_other_threads_allocations{false};
std::atomic<bool> refuse_threads{false};
std::atomic<int> refused_threads{0};
const std::thread::id main_thread = std::this_thread::get_id();

// Memory from malloc, or nothing when allocations are made to fail here.
void* allocate(std::size_t size) noexcept {
  if (fail_other_threads_allocations.load() && std::this_thread::get_id() != main_thread)
    return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

// Every form replaced, so that each allocation meets its own release (a
// sanitizer's forms would not pair with free()). Not inlined, so that the
// compiler does not see free() meet operator new.
[[gnu::noinline]] void* operator new(std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}

[[gnu::noinline]] void* operator new[](std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}

[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}

[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}

[[gnu::noinline]] void operator delete(void* memory) noexcept {
  std::free(memory);
}

[[gnu::noinline]] void operator delete[](void* memory) noexcept {
  std::free(memory);
}

[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

[[gnu::noinline]] void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}

[[gnu::noinline]] void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

[[gnu::noinline]] void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

// The C library declares it with reserved parameter names.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
  if (refuse_threads.load()) {
    ++refused_threads;
    return EAGAIN;
  }
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  return create(thread, attributes, start, argument);
}

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
