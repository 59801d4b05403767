#include "ui/RunDriver.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QtGlobal>
#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "engine/engine.h"
#include "engine/treeops.h"
#include "forecasting/forecast.h"

namespace quarvel::ui {

RunDriver::RunDriver(Engine& engine, QObject* parent) : QObject(parent), engine_(engine) {}

Engine& RunDriver::engine() {
  if (computing_) qFatal("The window reached the engine while a generation runs on it.");
  return engine_;
}

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

void RunDriver::compute(const std::function<void(Engine&)>& work) {
  // Nothing else touches the engine or shown_ while the worker runs; the GUI
  // thread reads them once it has joined the worker.
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  QAbstractEventDispatcher* const dispatcher = QAbstractEventDispatcher::instance();
  const auto run_work = [&] {
    try {
      work(engine_);
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
      worker.emplace(start_thread_(run_work));
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
      // No thread to be had (the system refused one, or its record could not be
      // made): the work runs here, as it always could.
    }
    if (!worker) run_work();
    while (!done.load(std::memory_order_acquire)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
  }
  computing_ = false;
  if (failure) std::rethrow_exception(failure);
}

RunDriver::RunEnd RunDriver::run(const ShowGeneration& show, const ForecastRequest& forecast) {
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
  RunEnd end;
  int shown = 0;
  // Memory that runs out ends the run and gives back what it held, whether
  // the engine's work or the window's display of it asked for more: the
  // window can then show that the run has ended.
  const auto done_or_run_out = [&](const std::function<void()>& step) {
    try {
      step();
      return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    end.ending = Ending::out_of_memory;
    release_run(engine_);
    return false;
  };
  const auto compute_or_run_out = [&](const std::function<void(Engine&)>& work) {
    return done_or_run_out([&] { compute(work); });
  };
  try {
    const int generations = engine_.parameters.number_of_generations;
    for (int g = 0; g < generations; ++g) {
      process_pending_messages();
      // Paused: sleep until the next window message instead of spinning.
      while (paused_ && !abort_requested_) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      }
      if (abort_requested_) {
        end.ending = Ending::aborted;
        break;
      }
      const bool computed = compute_or_run_out([this, g](Engine& engine) {
        runs::run_generation(engine, g, shown_.results);
        shown_.models.resize(shown_.results.populations.size());
        for (std::size_t p = 0; p < shown_.models.size(); ++p) {
          shown_.models[p] = forecasting::describe_best_tree(engine, static_cast<std::int32_t>(p));
        }
        if (worker_hook_) worker_hook_();
      });
      if (!computed) break;
      ++shown;
      if (!done_or_run_out([&] { show(shown_); })) break;
      process_pending_messages();
    }
    if (end.ending != Ending::out_of_memory && shown > 0) {
      const bool measured = compute_or_run_out([this, &end, &forecast](Engine& engine) {
        if (forecast.steps > 0) {
          end.forecasts = forecasting::forecasts_past_data(engine, forecast.steps);
        }
        end.quality = forecasting::populations_quality(engine, shown_.results, end.forecasts,
                                                       forecast.intervals, forecast.run,
                                                       std::nullopt, forecast.context);
        // Through a transform, the forecasts past the data are the series' own.
        if (forecast.context.transformed != nullptr) {
          for (std::size_t p = 0; p < end.forecasts.size(); ++p) {
            end.forecasts[p] = end.quality[p].past_data;
          }
        }
      });
      if (!measured) {
        end.forecasts.clear();
        end.quality.clear();
      }
    }
  } catch (...) {
    end_run();
    throw;
  }
  end_run();
  return end;
}

}  // namespace quarvel::ui
