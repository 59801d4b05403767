// Allocation and thread creation that a test can make fail. A test program
// that compiles failing_calls.cpp replaces the global allocation functions
// and pthread_create with the versions there, so it runs apart from the
// other tests of its kind.
#pragma once

#include <atomic>
#include <cstddef>

namespace quarvel::testing {

// Every allocation made off the program's main thread fails while set.
extern std::atomic<bool> fail_other_threads_allocations;
// The next allocation on the main thread of at least this many bytes fails,
// once (0: none); may be set from any thread.
extern std::atomic<std::size_t> fail_next_large_main_allocation;
// Every thread creation fails with EAGAIN while set; refused_threads counts them.
extern std::atomic<bool> refuse_threads;
extern std::atomic<int> refused_threads;

}  // namespace quarvel::testing
