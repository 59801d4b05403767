// A process given fewer CPUs, as a batch system gives its tasks: the calling
// thread's affinity mask and SLURM_CPUS_PER_TASK, both put back afterwards.
#pragma once

#include <sched.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quarvel::testing {

class CpuLimit {
 public:
  // `cpus` above 0: the first `cpus` CPUs of the mask (fewer if it has fewer);
  // `cpus_per_task`: the variable's text, unset when nullopt.
  CpuLimit(int cpus, const std::optional<std::string>& cpus_per_task) {
    CPU_ZERO(&saved_mask_);
    saved_ = ::sched_getaffinity(0, sizeof saved_mask_, &saved_mask_) == 0;
    if (const char* variable = std::getenv(kVariable)) saved_variable_ = variable;
    if (saved_ && cpus > 0) {
      cpu_set_t limited;
      CPU_ZERO(&limited);
      int kept = 0;
      for (int cpu = 0; cpu < CPU_SETSIZE && kept < cpus; ++cpu) {
        if (CPU_ISSET(cpu, &saved_mask_)) {
          CPU_SET(cpu, &limited);
          ++kept;
        }
      }
      ::sched_setaffinity(0, sizeof limited, &limited);
    }
    set_variable(cpus_per_task);
  }
  ~CpuLimit() {
    if (saved_) ::sched_setaffinity(0, sizeof saved_mask_, &saved_mask_);
    set_variable(saved_variable_);
  }
  CpuLimit(const CpuLimit&) = delete;
  CpuLimit& operator=(const CpuLimit&) = delete;

  // The CPUs of the mask before the limit.
  [[nodiscard]] int cpus_before() const { return saved_ ? CPU_COUNT(&saved_mask_) : 1; }

 private:
  static constexpr const char* kVariable = "SLURM_CPUS_PER_TASK";

  static void set_variable(const std::optional<std::string>& text) {
    if (text) {
      ::setenv(kVariable, text->c_str(), 1);
    } else {
      ::unsetenv(kVariable);
    }
  }

  cpu_set_t saved_mask_;
  bool saved_ = false;
  std::optional<std::string> saved_variable_;
};

}  // namespace quarvel::testing
