// The per-generation display of the main window: a generation's results shown
// with four populations, offscreen, with the repaint it triggers, on the
// Mackey-Glass example (1319 points) and on the long Mackey-Glass series at the
// data-set capacity (39719 points). It must stay far below a generation's own
// time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTabWidget>
#include <memory>
#include <string>

#include "data/datafile.h"
#include "engine/engine.h"
#include "runs/generationstep.h"
#include "runs/startrun.h"
#include "support/FakeDialogs.h"
#include "support/data_grids.h"
#include "ui/ChartView.h"
#include "ui/HistoryChartWindow.h"
#include "ui/MainWindow.h"
#include "ui/ProblemTab.h"
#include "ui/ResultHistories.h"
#include "ui/ResultsView.h"

using namespace quarvel;

namespace {

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

struct SeriesFiles {
  const char* folder;
  const char* name;
  int points;
};
const SeriesFiles kDataSets[] = {{QUARVEL_EXAMPLES_DIR, "mackey-glass", 1319},
                                 {QUARVEL_LONG_SERIES_DIR, "mackey-glass-long", 39719}};

void BM_ShowGenerationResults(benchmark::State& state) {
  application();
  const SeriesFiles& set = kDataSets[state.range(0)];
  state.SetLabel(std::to_string(set.points) + " points");
  const std::string path = std::string(set.folder) + "/" + set.name;
  const testing::DataGrids grids =
      testing::read_grids(path + "-training.txt", path + "-validation.txt");

  auto engine = std::make_unique<Engine>();
  ui::testing::FakeDialogs dialogs;
  ui::MainWindow window(*engine, dialogs);
  window.problem_tab().show_training_series(grids.training);

  runs::SettingsTexts settings;
  settings.set(runs::Setting::generations, "50");
  settings.set(runs::Setting::populations, "4");
  settings.set(runs::Setting::population_size, "200");
  const auto outcome = runs::start_run(*engine, grids.training, grids.validation, settings);
  if (outcome.error != runs::StartError::none || engine->data.point_count != set.points) {
    state.SkipWithError("the example did not start");
    return;
  }
  // Two generations shown in turn, so that every display draws new curves.
  runs::GenerationResults shown[2];
  runs::run_generation(*engine, 0, shown[0]);
  runs::run_generation(*engine, 1, shown[1]);

  window.show();
  window.tabs().setCurrentWidget(&window.results_view());
  ui::ResultHistories histories(4, 50);
  window.results_view().start_run_display(
      std::span<const double>(engine->data.values.data(), static_cast<std::size_t>(set.points)), 4,
      50, engine->data.training_count + engine->data.overlap);
  // As the run does: no animated axes while the charts change every generation.
  for (ui::ChartView* view : window.results_view().chart_views()) view->pause_animations();
  window.fitness_window().chart_view()->pause_animations();
  window.gene_length_window().chart_view()->pause_animations();
  QApplication::processEvents();

  std::vector<std::string> trees[2];
  for (int k = 0; k < 2; ++k) {
    for (const auto& population : shown[k].populations) trees[k].push_back(population.tree_text);
  }
  int g = 0;
  for (auto _ : state) {
    runs::GenerationResults& results = shown[g % 2];
    results.generation = g;
    histories.record(results);
    window.results_view().show_generation(results, histories, 50, window.prediction_markers(),
                                          trees[g % 2]);
    window.fitness_window().plot_histories(histories.validation_mse, histories.mse, g + 1);
    window.gene_length_window().plot_histories(histories.best_nodes, histories.average_nodes,
                                               g + 1);
    // As the run loop does before the next generation.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    g = (g + 1) % 50;
  }
}
BENCHMARK(BM_ShowGenerationResults)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
