// The per-generation display of the main window: ShowGenerationResults on the
// Mackey-Glass example (1319 points) with four populations, offscreen, with
// the repaint it triggers. It must stay far below a generation's own time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <memory>
#include <string>

#include "Gp.h"
#include "GridModel.h"
#include "Unit1.h"
#include "Unit5.h"
#include "Unit6.h"
#include "UserDialogs.h"
#include "datafile.h"
#include "engine.h"
#include "generations.h"
#include "runsettings.h"

using namespace quarvel;

namespace {

// Nobody to ask: every box is answered at once.
class SilentDialogs final : public ui::UserDialogs {
 public:
  void message(QWidget*, const QString&) override {}
  void error(QWidget*, const QString&) override {}
  bool ask_yes_no(QWidget*, const QString&, const QString&) override { return false; }
  std::optional<QString> open_file(QWidget*, const QString&) override { return std::nullopt; }
  std::optional<QString> save_file(QWidget*, const QString&) override { return std::nullopt; }
  void splash_delay(int) override {}
  void open_url(const QString&) override {}
  void end_process(int) override {}
};

QApplication& application() {
  static int argc = 1;
  static char name[] = "quarvel_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

void BM_ShowGenerationResults(benchmark::State& state) {
  application();
  const std::string dir = QUARVEL_EXAMPLES_DIR;
  const auto training = frontend::read_data_file(dir + "/mackey-glass-training.txt");
  const auto validation = frontend::read_data_file(dir + "/mackey-glass-validation.txt");
  const auto training_grid = frontend::make_grid(training.values, 0);
  const auto validation_grid =
      frontend::make_grid(validation.values, static_cast<std::int64_t>(training.values.size()));

  auto engine = std::make_unique<Engine>();
  SilentDialogs dialogs;
  ui::TForm1 form(*engine, dialogs);
  form.set_secondary_windows(nullptr, new ui::TForm5(&form), new ui::TForm6(&form));
  form.grid_model(form.StringGrid1)->load(training_grid);

  frontend::SettingsTexts settings;
  settings.generations = "50";
  for (auto& page : settings.populations) page.population_size = "200";
  const auto outcome = frontend::start_run(*engine, training_grid, validation_grid, settings, 4);
  if (outcome.error != frontend::StartError::none || engine->data.point_count != 1319) {
    state.SkipWithError("the example did not start");
    return;
  }
  generation_step(*engine, 0);

  form.show();
  form.PageControl1->setCurrentWidget(form.TabSheet4);
  ui::ResultHistories histories(4, 50, engine->data.point_count);
  form.ResetResultCharts();
  form.PrepareResultsView();
  QApplication::processEvents();

  int g = 0;
  for (auto _ : state) {
    form.ShowGenerationResults(histories, g);
    form.ProcessPendingMessages();  // as the run loop does before the next generation
    g = (g + 1) % 50;
  }
}
BENCHMARK(BM_ShowGenerationResults)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
