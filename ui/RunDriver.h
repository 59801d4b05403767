// The run loop of the window. Each generation's engine work runs on a thread
// of its own while the GUI thread goes on dispatching the window's messages,
// so the window repaints and answers Stop, Abort, closing and the menus however
// long a generation takes. Results are shown on the GUI thread generation by
// generation, and Stop, Resume and Abort take effect between generations.
#pragma once

#include <QObject>
#include <functional>

#include "frontend/generationstep.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::ui {

inline constexpr const char* kRunOutOfMemory =
    "There is not enough memory to go on with this GP run, so it has ended. Smaller populations "
    "or a shorter series need less memory.";

class RunDriver final : public QObject {
  Q_OBJECT

 public:
  // out_of_memory: the engine ran out of memory; what the run held is given
  // back, the generations shown so far stay on display.
  enum class Ending { finished, aborted, out_of_memory };
  using ShowGeneration = std::function<void(const frontend::GenerationResults&)>;

  explicit RunDriver(Engine& engine, QObject* parent = nullptr);

  // Runs every generation of the run the engine has started, handing each
  // generation's results to `show`. Returns when the last generation has been
  // shown, an abort was requested or memory ran out; the flags are reset then,
  // however the run ends.
  Ending run(const ShowGeneration& show);

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
  // Runs generation `generation` off the GUI thread, dispatching the window's
  // messages until it is done; what it throws is thrown here.
  void compute_generation(int generation);

  Engine& engine_;
  frontend::GenerationResults results_;
  bool running_ = false;
  bool paused_ = false;
  bool abort_requested_ = false;
  bool computing_ = false;
};

}  // namespace quarvel::ui
