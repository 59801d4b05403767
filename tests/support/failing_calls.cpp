#include "support/failing_calls.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <thread>

namespace quarvel::testing {

std::atomic<bool> fail_other_threads_allocations{false};
std::atomic<std::size_t> fail_next_large_main_allocation{0};
std::atomic<bool> refuse_threads{false};
std::atomic<int> refused_threads{0};

}  // namespace quarvel::testing

namespace {

using quarvel::testing::fail_next_large_main_allocation;
using quarvel::testing::fail_other_threads_allocations;
using quarvel::testing::refuse_threads;
using quarvel::testing::refused_threads;

// The thread that starts the program, before main.
const std::thread::id main_thread = std::this_thread::get_id();

// Memory from malloc, or nothing when allocations are made to fail here.
void* allocate(std::size_t size) noexcept {
  const bool on_main_thread = std::this_thread::get_id() == main_thread;
  if (fail_other_threads_allocations.load() && !on_main_thread) return nullptr;
  if (std::size_t large = fail_next_large_main_allocation.load();
      on_main_thread && large != 0 && size >= large &&
      fail_next_large_main_allocation.compare_exchange_strong(large, 0)) {
    return nullptr;
  }
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
