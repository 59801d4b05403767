// File > "Start many runs...": N runs of the loaded data and the settings as
// typed, streams 0 to N - 1, each the runner's run of its stream, written into
// a chosen folder as quarvel-cli --runs writes it (a run folder each, then
// runs.csv, summary.txt and ensemble-forecast.txt). The runs go on worker
// threads, as many at once as the process has CPUs; the status bar and the
// Results tab follow them (runs done, failed, time left), Stop holds them
// after their generation under way, Abort ends them as an interrupt ends the
// runner's, and at the end the folder opens in the runs view.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "batch/request.h"
#include "runs/settings.h"

class QTimer;
class QWidget;

namespace quarvel::ui {

class ResultsView;
class RunsWindow;
class SeriesLoader;
class UserDialogs;
struct WindowFiles;

// The parts of the window many runs use; all outlive the controller.
struct ManyRunsScreens {
  ResultsView& results_view;
  RunsWindow& runs_window;
};

class ManyRunsController final : public QObject {
  Q_OBJECT

 public:
  // The most runs one start makes: the runner's limit is far beyond what
  // a window is left open for.
  static constexpr int kMostRuns = 100000;

  // `settings` gives every setting as typed in the window; `series` and
  // `files` say what the grids hold. `window` parents the boxes.
  ManyRunsController(UserDialogs& dialogs, const ManyRunsScreens& screens,
                     const SeriesLoader& series, WindowFiles& files,
                     std::function<runs::SettingsTexts()> settings, QWidget* window);
  // Runs still going are ended as Abort ends them, without their files.
  ~ManyRunsController() override;
  ManyRunsController(const ManyRunsController&) = delete;
  ManyRunsController& operator=(const ManyRunsController&) = delete;

  [[nodiscard]] bool running() const noexcept { return sweep_ != nullptr; }
  [[nodiscard]] bool paused() const noexcept;
  // The line the status bar shows for the runs.
  [[nodiscard]] const QString& status() const noexcept { return status_; }
  // The request of the runs under way or of the last ones.
  [[nodiscard]] const batch::RunRequest& request() const noexcept { return request_; }

  // The request of `count` runs into `folder` of what the window holds now;
  // nullopt after telling the user why there can be none.
  [[nodiscard]] std::optional<batch::RunRequest> request_of(int count, const QString& folder);

 public slots:
  // Asks how many runs and into which folder, then starts them.
  void start_many_runs();
  // Holds the runs after their generation under way, or lets them go on.
  void toggle_pause();
  // The abort question; Yes ends the runs under way without their files and
  // starts no more. True when the user agreed.
  bool agree_to_abort();

 signals:
  void status_changed(const QString& status);
  // The runs ended, however they ended.
  void runs_ended();

 private:
  struct Sweep;

  // Reads the data as the runner does and starts the runs; false after
  // telling the user why they cannot start.
  bool start(const batch::RunRequest& request);
  void show_progress();
  void finish();
  void set_status(const QString& text);

  UserDialogs& dialogs_;
  ManyRunsScreens screens_;
  const SeriesLoader& series_;
  WindowFiles& files_;
  std::function<runs::SettingsTexts()> settings_;
  QWidget* window_;
  QTimer* progress_timer_ = nullptr;
  QElapsedTimer clock_;
  qint64 paused_since_ = -1;  // on clock_; -1 while not paused
  qint64 paused_for_ = 0;     // milliseconds held so far
  int last_count_ = 10;       // suggested by the next start
  batch::RunRequest request_;
  std::shared_ptr<Sweep> sweep_;  // shared with the worker threads while they run
  QString status_;
};

}  // namespace quarvel::ui
