#include "engine/engine.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace quarvel {

int usable_cpu_count() {
  int count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // A mask too large for cpu_set_t leaves the machine's count.
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0) {
    count = CPU_COUNT(&cpus);
  }
  if (const char* given = std::getenv("SLURM_CPUS_PER_TASK")) {
    const std::string_view text(given);
    int cpus_per_task = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), cpus_per_task);
    if (error == std::errc{} && end == text.data() + text.size() && cpus_per_task > 0) {
      count = std::min(count, cpus_per_task);
    }
  }
  return count;
}

Engine::Engine() : fit_threads(std::clamp(usable_cpu_count(), 1, kMaxFitThreads)) {
  set_default_parameters(parameters);
}

}  // namespace quarvel
