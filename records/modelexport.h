// The files that take a best model out of the program: the formula as text
// (model-K.txt), a Python module (model-K.py) and a C header (model-K.h) that
// reproduce the program's own predictions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forecasting/intervals.h"
#include "forecasting/modelformula.h"
#include "forecasting/seriestransform.h"
#include "runs/settings.h"

namespace quarvel {
struct Engine;
}

namespace quarvel::records {

// What the Python module needs to draw the program's prediction bands past the
// data (forecast_intervals): the run's training count, the start of the draws
// of its bands past the data (path_seed) and the levels and paths it used.
struct IntervalExport {
  std::int32_t training_points = 0;
  std::uint64_t seed = 0;
  std::vector<double> levels;
  std::int32_t paths = 0;
  forecasting::BandMethod method = forecasting::BandMethod::paths;
};

// The transforms a run modelled its series through, and the series' own
// scaling, for the files to take a series through them and back.
struct TransformExport {
  forecasting::SeriesTransform transform;
  double series_low = 0.0;
  double series_high = 1.0;
};

// What the files record of the run besides the model.
struct ModelContext {
  std::int32_t population = 1;  // 1-based
  std::string training_file;
  std::string validation_file;
  std::vector<std::pair<std::string, std::string>> settings;  // option, value
  double training_mse = 0.0;
  double mdl = 0.0;
  // With prediction intervals: the module gains forecast_intervals.
  std::optional<IntervalExport> intervals;
  // With transforms, the files take the series through them and back.
  std::optional<TransformExport> transform;
  // The units the run's files are in: the module's defaults.
  bool original_units = false;
};

// The context of `population` (0-based): its settings from `settings` (the
// run-wide ones and those of its page), its best MSE and MDL from the engine.
[[nodiscard]] ModelContext model_context(const Engine& engine, std::int32_t population,
                                         const runs::RunSettings& settings,
                                         std::string training_file, std::string validation_file);
// The same from the population's figures as the run reported them.
[[nodiscard]] ModelContext model_context(std::int32_t population, const runs::RunSettings& settings,
                                         double training_mse, double mdl, std::string training_file,
                                         std::string validation_file);

[[nodiscard]] std::string model_text(const forecasting::ModelFormula& formula,
                                     const ModelContext& context);
[[nodiscard]] std::string model_python(const forecasting::ModelFormula& formula,
                                       const ModelContext& context);
[[nodiscard]] std::string model_c_header(const forecasting::ModelFormula& formula,
                                         const ModelContext& context);

// The three files of a population: {"model-K.txt", text}, {"model-K.py", ...},
// {"model-K.h", ...}.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> model_files(
    const forecasting::ModelFormula& formula, const ModelContext& context);

}  // namespace quarvel::records
