// The run loop of the window. Each generation's engine work runs on a thread
// of its own and hands its results back to the GUI thread through its message
// loop, which shows them and starts the next generation from there. Nothing waits
// on the GUI thread: whatever loop dispatches its messages carries the run
// on, a modal box's or a dialog's too, so the window repaints and answers
// Stop, Abort, closing and the menus however long a generation takes, and the
// run goes on behind any box. Everything the window shows of a generation is
// made on the worker and handed back whole; the GUI thread reaches the engine
// only through engine(), which refuses while a generation runs. Stop, Resume
// and Abort take effect between generations.
#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
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
  // stay on display. failed: the work or the display threw something else
  // (RunEnd::failure says what).
  enum class Ending { finished, aborted, out_of_memory, failed };
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
    std::string failure;  // failed: what was thrown
    // The time the run worked: from its start to its end, less the time it
    // stood paused between generations.
    std::chrono::milliseconds working_time{0};
    // Per population, the steps past the data its last best tree forecasts
    // (none when no generation was shown or memory ran out).
    std::vector<std::vector<double>> forecasts;
    // Per population, what its last best tree's forecasts are worth (none
    // when no generation was shown or memory ran out).
    std::vector<forecasting::ForecastQuality> quality;
  };
  using EndRun = std::function<void(RunEnd)>;

  explicit RunDriver(Engine& engine, QObject* parent = nullptr);
  ~RunDriver() override;
  RunDriver(const RunDriver&) = delete;
  RunDriver& operator=(const RunDriver&) = delete;

  // Starts every generation of the run the engine has started, handing each
  // to `show`, then forecasts as `forecast` asks and measures each
  // population's forecasts, off the GUI thread too, and hands the outcome to
  // `end`. Returns at once; `show` and `end` are called on the GUI thread from
  // its message loop. The flags are reset before `end`, however the run ends.
  void start(ShowGeneration show, const ForecastRequest& forecast, EndRun end);

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

  // The clock the working time is measured by; tests stand in for it.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  void set_clock(Clock clock) { clock_ = std::move(clock); }

  [[nodiscard]] bool running() const noexcept { return running_; }
  [[nodiscard]] bool paused() const noexcept { return paused_; }
  [[nodiscard]] bool abort_requested() const noexcept { return abort_requested_; }
  // True while a generation's engine work is under way.
  [[nodiscard]] bool computing() const noexcept { return computing_; }

 public slots:
  // Stop or Resume; nothing when no run is in progress.
  void toggle_pause();
  // The run ends before its next generation; nothing when no run is in progress.
  void request_abort();

 signals:
  void paused_changed(bool paused);

 private:
  enum class Phase { generations, measuring };
  // The next step once the messages queued so far have been dispatched:
  // what the user did while a generation was shown takes effect first.
  void schedule_step();
  // Starts the next generation, or the measures at the end, unless the run
  // is paused.
  void step();
  // Runs `work` on the engine off the GUI thread (here when no thread can be
  // had); its end is handed back to `handed_back` through the message queue.
  void compute(std::function<void(Engine&)> work);
  // Called on the worker at the end of its work: the GUI thread's message
  // loop is to call handed_back.
  void tell_handed_back();
  void handed_back();
  void measure_forecasts();
  // Ends the run: memory given back when it ran out, the flags reset, `end_`
  // called.
  void finish(Ending ending);
  // The time since the run stood paused, added to the time it did not work.
  void count_pause_end();

  Engine& engine_;
  ShownGeneration shown_;
  std::function<void()> worker_hook_;
  ThreadStarter start_thread_ = [](std::function<void()> work) {
    return std::jthread(std::move(work));
  };
  Clock clock_ = [] { return std::chrono::steady_clock::now(); };
  ShowGeneration show_;
  EndRun end_;
  ForecastRequest forecast_;
  RunEnd outcome_;
  std::optional<std::jthread> worker_;
  std::exception_ptr failure_;  // what the work threw; read once the worker has been joined
  Phase phase_ = Phase::generations;
  int generation_ = 0;  // the next generation to run
  int shown_count_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::optional<std::chrono::steady_clock::time_point> paused_since_;
  std::chrono::steady_clock::duration paused_for_{};
  bool running_ = false;
  bool paused_ = false;
  bool abort_requested_ = false;
  bool computing_ = false;
  bool step_scheduled_ = false;
  int hand_back_read_ = -1;  // the pipe of the worker's hand-back
  int hand_back_write_ = -1;
};

}  // namespace quarvel::ui
