#include "ui/ManyRunsController.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "batch/outputs.h"
#include "batch/run.h"
#include "batch/rundata.h"
#include "batch/sweep.h"
#include "engine/engine.h"
#include "records/outputlist.h"
#include "records/runtable.h"
#include "runs/startrun.h"
#include "ui/OutputController.h"
#include "ui/ResultsView.h"
#include "ui/RunController.h"
#include "ui/RunsWindow.h"
#include "ui/SeriesLoader.h"
#include "ui/UserDialogs.h"
#include "ui/qtext.h"

namespace quarvel::ui {

namespace {

constexpr int kProgressMilliseconds = 250;
constexpr int kProgressSteps = 1000;  // of the Results tab's progress bar
batch::Failure out_of_memory(const char* what) {
  batch::Failure failure;
  failure.kind = batch::FailureKind::out_of_memory;
  failure.message = what;
  return failure;
}

constexpr const char* kStreamOutOfMemory =
    "not enough memory for this run; try smaller populations or series";

QString not_running(const QString& how_they_ended) {
  return QStringLiteral("%1 \u2014 %2").arg(QString::fromLatin1(kNotRunning), how_they_ended);
}

// "45 s", "3 min 5 s", "2 h 10 min".
QString duration_text(qint64 seconds) {
  if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
  if (seconds < 3600) return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
  return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QString runs_text(std::int64_t count) {
  return count == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(count);
}

}  // namespace

// The runs under way, shared by the window and the threads that run them.
struct ManyRunsController::Sweep {
  batch::RunData data;  // read once, then only read
  std::int32_t count = 0;
  int jobs = 1;
  std::int64_t generations = 0;  // of all the runs together
  std::atomic<std::int32_t> next{0};
  std::atomic<std::int64_t> generations_done{0};
  std::atomic<std::int32_t> runs_done{0};
  std::atomic<std::int32_t> runs_failed{0};
  std::atomic<bool> aborted{false};
  std::mutex hold_mutex;
  std::condition_variable released;
  bool held = false;  // under hold_mutex
  // Each written by the thread of its run alone, read once all have ended.
  std::vector<records::RunOutcome> outcomes;
  // Whether runs.csv and the files beside it were written, or why not; set
  // before the window is told the runs ended.
  bool written = false;
  std::optional<batch::Failure> failure;
  std::thread coordinator;

  void hold(bool hold_them) {
    const std::lock_guard lock(hold_mutex);
    held = hold_them;
    released.notify_all();
  }
  void abort() {
    const std::lock_guard lock(hold_mutex);
    aborted = true;
    released.notify_all();
  }
  void wait_while_held() {
    std::unique_lock lock(hold_mutex);
    released.wait(lock, [this] { return !held || aborted; });
  }

  // One run from a fresh engine to its written folder, and its outcome as
  // the runner's sweep takes it from the run's process.
  void run_one(std::int32_t index) {
    const std::int32_t stream = data.request.stream + index;
    batch::RunControl control;
    control.after = [this](const runs::GenerationResults&) {
      ++generations_done;
      wait_while_held();
    };
    control.stop = [this] { return aborted.load(); };
    control.fit_threads = jobs > 1 ? 1 : 0;
    batch::StreamRun run;
    std::optional<batch::Failure> failure;
    bool made = false;
    try {
      failure = batch::run_stream(data, stream, control, run);
      if (!failure) {
        made = true;
        failure = batch::write_run_folder(run, records::system_file_calls(),
                                          [this] { return aborted.load(); });
      }
    } catch (const std::bad_alloc&) {
      failure = out_of_memory(kStreamOutOfMemory);
    } catch (const std::length_error&) {
      failure = out_of_memory(kStreamOutOfMemory);
    }
    const auto at = static_cast<std::size_t>(index);
    outcomes[at] = batch::run_outcome(
        data.request, stream, failure ? std::optional(failure->message) : std::nullopt,
        made ? std::string_view(run.record_text) : std::string_view());
    if (outcomes[at].failure) ++runs_failed;
    ++runs_done;
  }

  // Takes the next run not yet started until none is left or the runs are aborted.
  void run_streams() {
    while (!aborted) {
      const std::int32_t index = next++;
      if (index >= count) return;
      run_one(index);
    }
  }

  // Every run, `jobs` at once (fewer where threads cannot be had), then the
  // files of all of them unless aborted.
  void run_all() {
    std::vector<std::thread> helpers;
    for (int j = 1; j < jobs; ++j) {
      try {
        helpers.emplace_back([this] { run_streams(); });
      } catch (const std::system_error&) {
        break;
      }
    }
    run_streams();
    for (std::thread& helper : helpers) helper.join();
    if (aborted) return;
    std::string summary;
    try {
      failure =
          batch::write_runs_files(data.request, outcomes, summary, records::system_file_calls(),
                                  [this] { return aborted.load(); });
      written = !failure;
    } catch (const std::bad_alloc&) {
      failure = out_of_memory("not enough memory to gather the runs' files");
    }
  }
};

ManyRunsController::ManyRunsController(UserDialogs& dialogs, const ManyRunsScreens& screens,
                                       const SeriesLoader& series, WindowFiles& files,
                                       std::function<runs::SettingsTexts()> settings,
                                       QWidget* window)
    : QObject(window),
      dialogs_(dialogs),
      screens_(screens),
      series_(series),
      files_(files),
      settings_(std::move(settings)),
      window_(window),
      progress_timer_(new QTimer(this)) {
  progress_timer_->setInterval(kProgressMilliseconds);
  connect(progress_timer_, &QTimer::timeout, this, &ManyRunsController::show_progress);
}

ManyRunsController::~ManyRunsController() {
  if (!sweep_) return;
  sweep_->abort();
  sweep_->coordinator.join();
}

bool ManyRunsController::paused() const noexcept {
  return paused_since_ >= 0;
}

void ManyRunsController::set_status(const QString& text) {
  status_ = text;
  emit status_changed(status_);
}

void ManyRunsController::start_many_runs() {
  if (running()) return;
  if (files_.training.isEmpty()) {
    dialogs_.message(window_, QString::fromLatin1(kNoTrainingData));
    return;
  }
  if (files_.validation.isEmpty()) {
    dialogs_.message(window_, QString::fromLatin1(kNoValidationData));
    return;
  }
  const std::optional<int> count = dialogs_.ask_count(
      window_, QStringLiteral("Start many runs"),
      QStringLiteral("Number of runs (streams 0 to N \u2212 1):"), last_count_, 1, kMostRuns);
  if (!count) return;
  last_count_ = *count;
  const std::optional<QString> folder = dialogs_.choose_folder(
      window_, QStringLiteral("The folder for the runs' files"), files_.folder);
  if (!folder || folder->isEmpty()) return;
  files_.folder = QDir::toNativeSeparators(*folder);
  if (const auto request = request_of(*count, *folder)) start(*request);
}

std::optional<batch::RunRequest> ManyRunsController::request_of(int count, const QString& folder) {
  batch::RunRequest request;
  const runs::StartOutcome read = runs::read_run_settings(settings_(), request.settings);
  if (read.error != runs::StartError::none) {
    dialogs_.message(window_, QString::fromStdString(read.message));
    return std::nullopt;
  }
  if (const std::optional<batch::DataTable>& table = series_.data_table()) {
    request.data = *table;
  } else {
    request.training = QFile::encodeName(files_.training).toStdString();
    request.validation = QFile::encodeName(files_.validation).toStdString();
  }
  // The overlap as the window shows it (detected at the load, or typed).
  request.overlap_given = true;
  // The bands at the runner's defaults, as a window run draws them: the
  // ensemble pools them.
  request.intervals = forecasting::PathSettings{};
  request.stream = 0;
  request.runs = count;
  request.output = QFile::encodeName(QDir::cleanPath(folder)).toStdString();
  return request;
}

bool ManyRunsController::start(const batch::RunRequest& request) {
  const auto refuse = [this](const batch::Failure& failure) {
    dialogs_.message(
        window_,
        QStringLiteral("The runs cannot start: %1").arg(QString::fromStdString(failure.message)));
    return false;
  };
  auto sweep = std::make_shared<Sweep>();
  if (const auto failure = batch::check_output_paths(request)) return refuse(*failure);
  if (const auto failure = batch::read_run_data(request, sweep->data)) return refuse(*failure);
  if (const auto failure = batch::check_start(sweep->data)) return refuse(*failure);

  const batch::RunRequest& read = sweep->data.request;
  sweep->count = read.runs;
  sweep->jobs = std::clamp(usable_cpu_count(), 1, sweep->count);
  sweep->generations = std::int64_t{sweep->count} * read.settings.whole(runs::Setting::generations);
  for (std::int32_t k = 0; k < sweep->count; ++k) {
    sweep->outcomes.push_back(batch::run_outcome(read, read.stream + k, std::nullopt, ""));
  }
  try {
    sweep->coordinator = std::thread([this, sweep = sweep.get()] {
      sweep->run_all();
      QMetaObject::invokeMethod(this, &ManyRunsController::finish, Qt::QueuedConnection);
    });
  } catch (const std::system_error& error) {
    dialogs_.message(window_, QStringLiteral("The runs cannot start: no thread for them (%1)")
                                  .arg(QString::fromLocal8Bit(error.what())));
    return false;
  }
  request_ = request;
  sweep_ = std::move(sweep);
  clock_.start();
  paused_since_ = -1;
  paused_for_ = 0;
  screens_.results_view.show_run_state(RunState::running);
  show_progress();
  progress_timer_->start();
  return true;
}

void ManyRunsController::show_progress() {
  if (!sweep_) return;
  const Sweep& sweep = *sweep_;
  const std::int32_t done = sweep.runs_done;
  const std::int32_t failed = sweep.runs_failed;
  const std::int64_t generations = sweep.generations_done;
  // As short as a single run's "Running: generation 3 of 50", beside the
  // data status: "12 of 40 runs done (1 failed), about 2 min 5 s left".
  QString line = QStringLiteral("%1 of %2 runs done").arg(done).arg(sweep.count);
  if (failed > 0) line += QStringLiteral(" (%1 failed)").arg(failed);
  if (sweep.aborted) {
    line = QStringLiteral("Aborting: %1; those under way end at their next generation").arg(line);
  } else if (paused()) {
    line = QStringLiteral("Stopped: %1").arg(line);
  } else {
    // From the generations done in the time the runs were let run.
    const qint64 working = clock_.elapsed() - paused_for_;
    if (generations > 0 && generations < sweep.generations) {
      const double left = static_cast<double>(working) *
                          static_cast<double>(sweep.generations - generations) /
                          static_cast<double>(generations) / 1000.0;
      line += QStringLiteral(", about %1 left").arg(duration_text(std::llround(left)));
    }
  }
  const auto share = sweep.generations > 0 ? generations * kProgressSteps / sweep.generations : 0;
  screens_.results_view.show_progress_line(static_cast<int>(share), kProgressSteps, line);
  set_status(line);
}

void ManyRunsController::toggle_pause() {
  if (!sweep_ || sweep_->aborted) return;
  if (paused()) {
    paused_for_ += clock_.elapsed() - paused_since_;
    paused_since_ = -1;
    sweep_->hold(false);
    screens_.results_view.show_run_state(RunState::running);
  } else {
    paused_since_ = clock_.elapsed();
    sweep_->hold(true);
    screens_.results_view.show_run_state(RunState::paused);
  }
  show_progress();
}

bool ManyRunsController::agree_to_abort() {
  if (!sweep_) return false;
  if (!dialogs_.ask_yes_no(window_, QString::fromLatin1(kAbortCaption),
                           QStringLiteral("Are you sure you want to abort these runs? Those "
                                          "under way end without their files, and runs.csv is "
                                          "not written."))) {
    return false;
  }
  // The runs may have ended while the question was open.
  if (!sweep_) return true;
  sweep_->abort();
  show_progress();
  return true;
}

void ManyRunsController::finish() {
  progress_timer_->stop();
  const std::shared_ptr<Sweep> sweep = std::move(sweep_);
  sweep->coordinator.join();
  if (paused()) paused_for_ += clock_.elapsed() - paused_since_;
  paused_since_ = -1;
  const double seconds = static_cast<double>(clock_.elapsed() - paused_for_) / 1000.0;
  screens_.results_view.show_run_state(RunState::idle);
  const std::int32_t failed = sweep->runs_failed;
  const QString folder = QString::fromStdString(*sweep->data.request.output);
  const QString runs_table = to_qstring(records::listed_output(records::Product::runs_table).name);
  // An Abort agreed to once the files were written came too late to end anything.
  if (sweep->aborted && !sweep->written) {
    set_status(not_running(
        QStringLiteral("many runs aborted: %1 ended in their folders; %2 was not written")
            .arg(runs_text(sweep->runs_done - failed), runs_table)));
  } else if (!sweep->written) {
    set_status(not_running(QStringLiteral("many runs ended without %1").arg(runs_table)));
    dialogs_.error(window_, QStringLiteral("The runs ended, but their files were not written: %1")
                                .arg(QString::fromStdString(sweep->failure->message)));
  } else {
    // As short as a single run's "finished in 3.2 s", beside the data status.
    QString how =
        QStringLiteral("%1 done in %2 s").arg(runs_text(sweep->count)).arg(seconds, 0, 'f', 1);
    if (failed > 0) how += QStringLiteral(", %1 failed").arg(failed);
    set_status(not_running(how));
    if (const auto problem = screens_.runs_window.open_folder(folder)) {
      dialogs_.message(window_, *problem);
    } else {
      screens_.runs_window.show_window();
    }
  }
  emit runs_ended();
}

}  // namespace quarvel::ui
