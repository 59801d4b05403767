// SIGINT, SIGTERM and SIGHUP held back while files are replaced or runs are
// watched over, so that an interrupt acts at a point where it leaves whole
// files behind.
#pragma once

#include <csignal>

namespace quarvel::cli {

// Holds the three back on this thread while it lives (the runner has no
// other thread by the time it holds them); one that came meanwhile acts when
// it ends.
class HeldInterrupts {
 public:
  HeldInterrupts();
  HeldInterrupts(const HeldInterrupts&) = delete;
  HeldInterrupts& operator=(const HeldInterrupts&) = delete;
  ~HeldInterrupts();

  // One that came and will end the program once let through, or 0.
  [[nodiscard]] int pending_signal() const;
  [[nodiscard]] bool pending() const { return pending_signal() != 0; }
  // The signal mask from before, for a process started meanwhile.
  [[nodiscard]] const sigset_t& previous_mask() const { return previous_; }

 private:
  sigset_t held_{};
  sigset_t previous_{};
};

// Calls `write` (a step that writes files all or nothing) with the three held
// back, giving it what it passes on as its `interrupted`: whether one came
// meanwhile. One that comes before the files are replaced abandons the step
// and then ends the program, one that comes later ends it once they are.
template <class Write>
auto with_interrupts_held(Write&& write) {
  const HeldInterrupts held;
  return write([&held] { return held.pending(); });
}

}  // namespace quarvel::cli
