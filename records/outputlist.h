// The one list of the files a run writes, with their names and when each is
// written: the runner's planning, checks and writing, its --help and manual
// page, the model files and the window's reading of a folder of runs all read it.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quarvel::records {

// What a file of the list holds; each is made by one producer.
enum class Product {
  prediction,
  tree,
  forecast,
  timed_prediction,
  intervals,
  model_text,
  model_python,
  model_header,
  history,
  record,
  ensemble_member,
  runs_table,
  summary,
  ensemble_forecast,
};

// When a file of the list is written.
enum class WrittenWhen {
  every_run,           // by every run that has a folder
  with_forecast,       // with --forecast H above 0
  with_time_column,    // with --data and --time-column
  with_intervals,      // with --intervals
  with_export_model,   // with --export-model
  in_run_folder,       // into each run folder of --runs
  beside_run_folders,  // into --output by --runs and --summarize
};

// One file the runner writes. A name with "-K." is written once per
// population, K its number from 1.
struct ListedOutput {
  Product product;
  std::string_view name;
  WrittenWhen when;
  std::string_view holds;  // for --help and the manual page
};

// Every file the runner writes, in the order a run writes them. The checks
// before a run, the writer, the removal of files an earlier run left, --help
// and the manual page all read it.
[[nodiscard]] std::span<const ListedOutput> output_list();

// The entry of a product.
[[nodiscard]] const ListedOutput& listed_output(Product product);

// Whether an entry is written once per population ("-K." in its name).
[[nodiscard]] bool per_population(const ListedOutput& entry);

// The file name of an entry for population `population` (0-based); the name
// itself for a file of the whole run.
[[nodiscard]] std::string output_name(const ListedOutput& entry, int population);

}  // namespace quarvel::records
