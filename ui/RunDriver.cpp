#include "ui/RunDriver.h"

#include <QCoreApplication>

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
      frontend::run_generation(engine_, g, results_);
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
