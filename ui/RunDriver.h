// The run loop of the window: one generation after the other on the GUI
// thread, with the window's messages dispatched between generations, so that
// Stop, Resume and Abort reach the run at the next generation boundary.
#pragma once

#include <QObject>
#include <functional>

#include "frontend/generationstep.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::ui {

class RunDriver final : public QObject {
  Q_OBJECT

 public:
  enum class Ending { finished, aborted };
  using ShowGeneration = std::function<void(const frontend::GenerationResults&)>;

  explicit RunDriver(Engine& engine, QObject* parent = nullptr);

  // Runs every generation of the run the engine has started, handing each
  // generation's results to `show`. Returns when the last generation has been
  // shown or an abort was requested; the flags are reset then, however the
  // run ends.
  Ending run(const ShowGeneration& show);

  [[nodiscard]] bool running() const noexcept { return running_; }
  [[nodiscard]] bool paused() const noexcept { return paused_; }
  [[nodiscard]] bool abort_requested() const noexcept { return abort_requested_; }

 public slots:
  // Stop or Resume; nothing when no run is in progress.
  void toggle_pause();
  // The run ends before its next generation.
  void request_abort();

 signals:
  void paused_changed(bool paused);

 private:
  static void process_pending_messages();

  Engine& engine_;
  frontend::GenerationResults results_;
  bool running_ = false;
  bool paused_ = false;
  bool abort_requested_ = false;
};

}  // namespace quarvel::ui
