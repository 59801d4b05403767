#include "ui/RunDriver.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "engine/engine.h"

namespace quarvel::ui {

RunDriver::RunDriver(Engine& engine, QObject* parent) : QObject(parent), engine_(engine) {}

void RunDriver::process_pending_messages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void RunDriver::toggle_pause() {
  if (!running_) return;
  paused_ = !paused_;
  emit paused_changed(paused_);
}

void RunDriver::request_abort() {
  abort_requested_ = true;
}

void RunDriver::compute_generation(int generation) {
  // Nothing else touches the engine or the results while the worker runs;
  // the GUI thread reads them once it has joined the worker.
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  QAbstractEventDispatcher* const dispatcher = QAbstractEventDispatcher::instance();
  const auto work = [&] {
    try {
      frontend::run_generation(engine_, generation, results_);
    } catch (...) {
      failure = std::current_exception();
    }
    done.store(true, std::memory_order_release);
    // Ends the GUI thread's wait for messages; a wake-up before the wait
    // begins is kept for it.
    if (dispatcher != nullptr) dispatcher->wakeUp();
  };
  computing_ = true;
  {
    std::optional<std::jthread> worker;
    try {
      worker.emplace(work);
    } catch (const std::system_error&) {
      work();  // no thread to be had: the generation runs here, as it always could
    }
    while (!done.load(std::memory_order_acquire)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
  }
  computing_ = false;
  if (failure) std::rethrow_exception(failure);
}

RunDriver::Ending RunDriver::run(const ShowGeneration& show) {
  running_ = true;
  paused_ = false;
  abort_requested_ = false;
  // Stop and Resume are reset however the run ends: a Stop pressed while the
  // last generation was shown would otherwise leave the next run paused.
  const auto end_run = [this] {
    paused_ = false;
    abort_requested_ = false;
    running_ = false;
    computing_ = false;
  };
  Ending ending = Ending::finished;
  try {
    const int generations = engine_.parameters.number_of_generations;
    for (int g = 0; g < generations; ++g) {
      process_pending_messages();
      // Paused: sleep until the next window message instead of spinning.
      while (paused_ && !abort_requested_) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      }
      if (abort_requested_) {
        ending = Ending::aborted;
        break;
      }
      try {
        compute_generation(g);
      } catch (const std::bad_alloc&) {
        ending = Ending::out_of_memory;
      } catch (const std::length_error&) {
        ending = Ending::out_of_memory;
      }
      if (ending == Ending::out_of_memory) {
        release_run(engine_);
        break;
      }
      show(results_);
      process_pending_messages();
    }
  } catch (...) {
    end_run();
    throw;
  }
  end_run();
  return ending;
}

}  // namespace quarvel::ui
