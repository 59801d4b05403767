// Allocation and thread creation that a test can make fail. A test program
// that compiles failing_calls.cpp replaces the global allocation functions
// and pthread_create with the versions there, so it runs apart from the
// other tests of its kind.
#pragma once

#include <atomic>

namespace quarvel::testing {

// Every allocation made off the program's main thread fails while set.
extern std::atomic<bool> fail_other_threads_allocations;
// Every thread creation fails with EAGAIN while set; refused_threads counts them.
extern std::atomic<bool> refuse_threads;
extern std::atomic<int> refused_threads;

}  // namespace quarvel::testing
