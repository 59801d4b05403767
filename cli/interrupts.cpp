#include "cli/interrupts.h"

#include <pthread.h>

#include <array>

namespace quarvel::cli {

namespace {
constexpr std::array kInterrupts{SIGINT, SIGTERM, SIGHUP};
}  // namespace

HeldInterrupts::HeldInterrupts() {
  sigemptyset(&held_);
  for (const int signal : kInterrupts) sigaddset(&held_, signal);
  pthread_sigmask(SIG_BLOCK, &held_, &previous_);
}

HeldInterrupts::~HeldInterrupts() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int HeldInterrupts::pending_signal() const {
  sigset_t pending;
  if (sigpending(&pending) != 0) return 0;
  for (const int signal : kInterrupts) {
    if (sigismember(&pending, signal) != 1 || sigismember(&previous_, signal) == 1) continue;
    struct sigaction action {};
    if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) return signal;
  }
  return 0;
}

}  // namespace quarvel::cli
