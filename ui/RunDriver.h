// The run loop of the window. Each generation's engine work runs on a thread
// of its own while the GUI thread goes on dispatching the window's messages,
// so the window repaints and answers Stop, Abort, closing and the menus however
// long a generation takes. Everything the window shows of a generation is made
// on that thread and handed back whole; the GUI thread reaches the engine only
// through engine(), which refuses while a generation runs. Results are shown
// on the GUI thread generation by generation, and Stop, Resume and Abort take
// effect between generations.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "forecasting/forecastquality.h"
#include "records/modelexport.h"
#include "runs/generationstep.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::ui {

inline constexpr const char* kRunOutOfMemory =
    "There is not enough memory to go on with this GP run, so it has ended. Smaller populations "
    "or a shorter series need less memory.";

// A generation as the window takes it: the step's results and each
// population's best tree as node equations (for its formula and its exported
// model), all made while the engine was the worker's.
struct ShownGeneration {
  runs::GenerationResults results;
  std::vector<forecasting::ModelFormula> models;
};

class RunDriver final : public QObject {
  Q_OBJECT

 public:
  // out_of_memory: memory ran out, in the engine's work or while a generation
  // was shown; what the run held is given back, the generations shown so far
  // stay on display.
  enum class Ending { finished, aborted, out_of_memory };
  using ShowGeneration = std::function<void(const ShownGeneration&)>;
  // What the run's end forecasts: `steps` past the data and, with
  // `intervals`, the bands drawn as the runner's stream `run.stream` draws them.
  struct ForecastRequest {
    std::int32_t steps = 0;
    std::optional<forecasting::PathSettings> intervals;
    forecasting::RunIdentity run;
    // The season of the benchmarks and the transforms the run went through
    // (whose TransformedRun outlives the run).
    forecasting::ForecastContext context;
  };
  struct RunEnd {
    Ending ending = Ending::finished;
    // Per population, the steps past the data its last best tree forecasts
    // (none when no generation was shown or memory ran out).
    std::vector<std::vector<double>> forecasts;
    // Per population, what its last best tree's forecasts are worth (none
    // when no generation was shown or memory ran out).
    std::vector<forecasting::ForecastQuality> quality;
  };

  explicit RunDriver(Engine& engine, QObject* parent = nullptr);

  // Runs every generation of the run the engine has started, handing each
  // generation to `show`, then forecasts as `forecast` asks and measures each
  // population's forecasts, off the GUI thread too.
  // Returns when the last generation has been shown, an abort was requested
  // or memory ran out; the flags are reset then, however the run ends.
  RunEnd run(const ShowGeneration& show, const ForecastRequest& forecast);

  // The engine, for Start and for what is done with it between runs. While a
  // generation runs the worker owns it: reaching it then is a programming
  // error that ends the program at once, whatever the build.
  [[nodiscard]] Engine& engine();

  // Starts the thread a generation runs on; tests stand in for the system
  // (a refusal is std::system_error, a thread record that cannot be made
  // std::bad_alloc, and the generation then runs on the GUI thread).
  using ThreadStarter = std::function<std::jthread(std::function<void()>)>;
  void set_thread_starter(ThreadStarter starter) { start_thread_ = std::move(starter); }

  // Called on the worker thread at the end of each generation's work, while
  // the engine is still the worker's: tests hold a generation there to see
  // what the window does meanwhile.
  void set_worker_hook(std::function<void()> hook) { worker_hook_ = std::move(hook); }

  [[nodiscard]] bool running() const noexcept { return running_; }
  [[nodiscard]] bool paused() const noexcept { return paused_; }
  [[nodiscard]] bool abort_requested() const noexcept { return abort_requested_; }
  // True while a generation's engine work is under way.
  [[nodiscard]] bool computing() const noexcept { return computing_; }

 public slots:
  // Stop or Resume; nothing when no run is in progress.
  void toggle_pause();
  // The run ends before its next generation.
  void request_abort();

 signals:
  void paused_changed(bool paused);

 private:
  static void process_pending_messages();
  // Runs `work` on the engine off the GUI thread, dispatching the window's
  // messages until it is done; what it throws is thrown here.
  void compute(const std::function<void(Engine&)>& work);

  Engine& engine_;
  ShownGeneration shown_;
  std::function<void()> worker_hook_;
  ThreadStarter start_thread_ = [](std::function<void()> work) {
    return std::jthread(std::move(work));
  };
  bool running_ = false;
  bool paused_ = false;
  bool abort_requested_ = false;
  bool computing_ = false;
};

}  // namespace quarvel::ui
