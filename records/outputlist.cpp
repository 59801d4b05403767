#include "records/outputlist.h"

#include <cstddef>
#include <iterator>

namespace quarvel::records {

namespace {

constexpr ListedOutput kOutputs[] = {
    {Product::prediction, "prediction-K.txt", WrittenWhen::every_run,
     "the output grid's rows: index \",\" value in the general number format, CR LF"},
    {Product::tree, "tree-K.txt", WrittenWhen::every_run, "the best tree's text"},
    {Product::forecast, "forecast-K.txt", WrittenWhen::with_forecast,
     "the H values past the data in the same format, indices from the count of loaded points "
     "on"},
    {Product::timed_prediction, "timed-prediction-K.csv", WrittenWhen::with_time_column,
     "a header \"index,time,value\", then the points of prediction-K.txt with their time "
     "stamps, less the validation part's repeated training values, and the steps of "
     "forecast-K.txt with the time stamps that follow the table's last one"},
    {Product::intervals, "intervals-K.txt", WrittenWhen::with_intervals,
     "CSV: per step of the validation part, then of the forecast past the data, the index, the "
     "point forecast and each band's lower and upper edge, 17 significant digits"},
    {Product::model_text, "model-K.txt", WrittenWhen::with_export_model,
     "the best tree as equations, with the scaling and the run's settings"},
    {Product::model_python, "model-K.py", WrittenWhen::with_export_model,
     "a Python module with predict_next and forecast"},
    {Product::model_header, "model-K.h", WrittenWhen::with_export_model,
     "a C header, one function"},
    {Product::history, "history.csv", WrittenWhen::in_run_folder,
     "the run's history as --history writes it"},
    {Product::record, "run.txt", WrittenWhen::in_run_folder,
     "the record of the run's data, settings, seed, stream and figures"},
    {Product::ensemble_member, "ensemble-member.txt", WrittenWhen::in_run_folder,
     "what the ensemble takes of the run: its best population's forecasts at full precision "
     "and, with --intervals, 200 quantiles of its simulated paths per step"},
    {Product::runs_table, "runs.csv", WrittenWhen::beside_run_folders,
     "one line per run in stream order"},
    {Product::summary, "summary.txt", WrittenWhen::beside_run_folders,
     "the median, quartiles and range of each figure and the best run, the lowest best MDL or "
     "MSE as --rank-by ranks"},
    {Product::ensemble_forecast, "ensemble-forecast.txt", WrittenWhen::beside_run_folders,
     "the runs' forecasts made one: per step their median and, with --intervals, the bands "
     "pooled from all runs' paths, in the layout of intervals-K.txt"},
};

constexpr bool list_in_product_order() {
  for (std::size_t i = 0; i < std::size(kOutputs); ++i) {
    if (static_cast<std::size_t>(kOutputs[i].product) != i) return false;
  }
  return true;
}
static_assert(list_in_product_order());

constexpr std::string_view kPopulationMark = "-K.";

}  // namespace

bool per_population(const ListedOutput& entry) {
  return entry.name.find(kPopulationMark) != std::string_view::npos;
}

std::span<const ListedOutput> output_list() {
  return kOutputs;
}

const ListedOutput& listed_output(Product product) {
  return kOutputs[static_cast<std::size_t>(product)];
}

std::string output_name(const ListedOutput& entry, int population) {
  std::string name(entry.name);
  if (const std::size_t mark = name.find(kPopulationMark); mark != std::string::npos) {
    name.replace(mark + 1, 1, std::to_string(population + 1));
  }
  return name;
}

}  // namespace quarvel::records
