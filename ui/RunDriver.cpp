#include "ui/RunDriver.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMetaObject>
#include <QSocketNotifier>
#include <QtGlobal>
#include <array>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "engine/engine.h"
#include "engine/treeops.h"
#include "forecasting/forecast.h"

namespace quarvel::ui {

namespace {

// How a failure ends the run: memory that ran out, whether the engine's work
// or the window's display of it asked for more, gives back what the run held
// so that the window can show that the run has ended; anything else is told.
RunDriver::Ending ending_of(const std::exception_ptr& failure, std::string& what) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return RunDriver::Ending::out_of_memory;
  } catch (const std::length_error&) {
    return RunDriver::Ending::out_of_memory;
  } catch (const std::exception& error) {
    what = error.what();
  } catch (...) {
    what = "an unknown error";
  }
  return RunDriver::Ending::failed;
}

}  // namespace

RunDriver::RunDriver(Engine& engine, QObject* parent) : QObject(parent), engine_(engine) {
  // The worker's end reaches the GUI thread as a byte through a pipe that its
  // message loops watch: the worker allocates nothing to tell it (memory may
  // be what ran out), and any loop, a modal box's too, takes it.
  std::array<int, 2> ends{-1, -1};
  if (::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) == 0) {
    hand_back_read_ = ends[0];
    hand_back_write_ = ends[1];
    auto* notifier = new QSocketNotifier(hand_back_read_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      std::array<char, 16> bytes{};
      while (::read(hand_back_read_, bytes.data(), bytes.size()) > 0) {
      }
      handed_back();
    });
  }
}

RunDriver::~RunDriver() {
  // A generation under way finishes before the engine can go.
  worker_.reset();
  for (const int end : {hand_back_read_, hand_back_write_}) {
    if (end >= 0) ::close(end);
  }
}

Engine& RunDriver::engine() {
  if (computing_) qFatal("The window reached the engine while a generation runs on it.");
  return engine_;
}

void RunDriver::start(ShowGeneration show, const ForecastRequest& forecast, EndRun end) {
  show_ = std::move(show);
  end_ = std::move(end);
  forecast_ = forecast;
  outcome_ = RunEnd{};
  phase_ = Phase::generations;
  generation_ = 0;
  shown_count_ = 0;
  running_ = true;
  paused_ = false;
  abort_requested_ = false;
  started_ = clock_();
  paused_since_.reset();
  paused_for_ = {};
  schedule_step();
}

void RunDriver::toggle_pause() {
  if (!running_) return;
  paused_ = !paused_;
  if (!paused_) {
    count_pause_end();
    schedule_step();
  }
  emit paused_changed(paused_);
}

void RunDriver::request_abort() {
  if (!running_) return;
  abort_requested_ = true;
  schedule_step();
}

void RunDriver::schedule_step() {
  if (step_scheduled_) return;
  step_scheduled_ = true;
  QMetaObject::invokeMethod(this, &RunDriver::step, Qt::QueuedConnection);
}

void RunDriver::step() {
  step_scheduled_ = false;
  // A generation under way hands back first and schedules the next step.
  if (!running_ || computing_ || phase_ != Phase::generations) return;
  if (abort_requested_) {
    outcome_.ending = Ending::aborted;
    measure_forecasts();
    return;
  }
  // A Stop pressed while the last generation was shown stops nothing.
  if (generation_ >= engine_.parameters.number_of_generations) {
    measure_forecasts();
    return;
  }
  if (paused_) {
    // Stopped between generations from now until Resume.
    if (!paused_since_) paused_since_ = clock_();
    return;
  }
  compute([this, g = generation_](Engine& engine) {
    runs::run_generation(engine, g, shown_.results);
    shown_.models.resize(shown_.results.populations.size());
    for (std::size_t p = 0; p < shown_.models.size(); ++p) {
      shown_.models[p] = forecasting::describe_best_tree(engine, static_cast<std::int32_t>(p));
    }
    if (worker_hook_) worker_hook_();
  });
}

void RunDriver::compute(std::function<void(Engine&)> work) {
  // Nothing else touches the engine, shown_ or outcome_ while the worker
  // runs; the GUI thread reads them once it has joined the worker.
  computing_ = true;
  failure_ = nullptr;
  const auto run_work = [this, work = std::move(work)] {
    try {
      work(engine_);
    } catch (...) {
      failure_ = std::current_exception();
    }
    tell_handed_back();
  };
  try {
    worker_.emplace(start_thread_(run_work));
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
    // No thread to be had (the system refused one, or its record could not be
    // made): the work runs here, as it always could.
  }
  if (!worker_) run_work();
}

void RunDriver::tell_handed_back() {
  if (hand_back_write_ >= 0) {
    const char byte = 1;
    while (::write(hand_back_write_, &byte, 1) < 0 && errno == EINTR) {
    }
    return;
  }
  // Without a pipe (the process had no file descriptor to spare) a queued call.
  QMetaObject::invokeMethod(this, &RunDriver::handed_back, Qt::QueuedConnection);
}

void RunDriver::handed_back() {
  worker_.reset();
  computing_ = false;
  if (failure_) {
    const std::exception_ptr failure = std::exchange(failure_, nullptr);
    finish(ending_of(failure, outcome_.failure));
    return;
  }
  if (phase_ == Phase::measuring) {
    finish(outcome_.ending);
    return;
  }
  ++generation_;
  ++shown_count_;
  try {
    show_(shown_);
  } catch (...) {
    finish(ending_of(std::current_exception(), outcome_.failure));
    return;
  }
  schedule_step();
}

void RunDriver::measure_forecasts() {
  if (shown_count_ == 0) {
    finish(outcome_.ending);
    return;
  }
  phase_ = Phase::measuring;
  compute([this](Engine& engine) {
    if (forecast_.steps > 0) {
      outcome_.forecasts = forecasting::forecasts_past_data(engine, forecast_.steps);
    }
    outcome_.quality = forecasting::populations_quality(engine, shown_.results, outcome_.forecasts,
                                                        forecast_.intervals, forecast_.run,
                                                        std::nullopt, forecast_.context);
    // Through a transform, the forecasts past the data are the series' own.
    if (forecast_.context.transformed != nullptr) {
      for (std::size_t p = 0; p < outcome_.forecasts.size(); ++p) {
        outcome_.forecasts[p] = outcome_.quality[p].past_data;
      }
    }
  });
}

void RunDriver::count_pause_end() {
  if (!paused_since_) return;
  paused_for_ += clock_() - *paused_since_;
  paused_since_.reset();
}

void RunDriver::finish(Ending ending) {
  if (ending == Ending::out_of_memory || ending == Ending::failed) {
    outcome_.forecasts.clear();
    outcome_.quality.clear();
  }
  if (ending == Ending::out_of_memory) release_run(engine_);
  count_pause_end();
  outcome_.ending = ending;
  outcome_.working_time =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - started_ - paused_for_);
  // Stop and Resume are reset however the run ends: a Stop pressed while the
  // last generation was shown would otherwise leave the next run paused.
  running_ = false;
  paused_ = false;
  abort_requested_ = false;
  computing_ = false;
  RunEnd end = std::exchange(outcome_, RunEnd{});
  const EndRun tell_end = std::exchange(end_, nullptr);
  show_ = nullptr;
  if (tell_end) tell_end(std::move(end));
}

}  // namespace quarvel::ui
