#include "cli/outputhelp.h"

#include <string_view>
#include <vector>

#include "batch/outputs.h"
#include "records/outputlist.h"

namespace quarvel::cli {

using records::ListedOutput;
using records::Product;
using records::WrittenWhen;

namespace {

// "a, b and c".
std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

// Each entry written `when`, as `describe` tells it.
template <class Describe>
std::vector<std::string> entries_written(WrittenWhen when, Describe describe) {
  std::vector<std::string> items;
  for (const ListedOutput& entry : records::output_list()) {
    if (entry.when == when) items.push_back(describe(entry));
  }
  return items;
}

// "tree-K.txt (the best tree's text)".
std::string name_and_holds(const ListedOutput& entry) {
  return std::string(entry.name) + " (" + std::string(entry.holds) + ")";
}

}  // namespace

std::string output_folder_description() {
  return "(created if missing) after the run, for population K: " +
         listed(entries_written(WrittenWhen::every_run, name_and_holds)) + "; with --forecast H, " +
         listed(entries_written(WrittenWhen::with_forecast, name_and_holds)) +
         "; with --data and --time-column, " +
         listed(entries_written(WrittenWhen::with_time_column, name_and_holds));
}

std::string units_description() {
  return "the values of " +
         listed({std::string(records::listed_output(Product::prediction).name),
                 std::string(records::listed_output(Product::forecast).name),
                 std::string(records::listed_output(Product::timed_prediction).name),
                 std::string(records::listed_output(Product::intervals).name),
                 std::string(records::listed_output(Product::ensemble_forecast).name)}) +
         ": scaled to [0, 1] together, as the window shows them (the default), or in the "
         "series' own units, lo + v * (hi - lo) with the data's minimum lo and maximum hi (with "
         "--summarize too)";
}

std::string intervals_description() {
  return "prediction bands of each best model at these levels in percent (default 80,95): "
         "paths simulated through the model's own recursion, each step adding a one-step "
         "training residual drawn with replacement from a generator seeded by --seed, --stream "
         "and the population, and per step the paths' quantiles; in --output, " +
         name_and_holds(records::listed_output(Product::intervals)) +
         "; the share of held-out values inside each band goes into " +
         std::string(records::listed_output(Product::record).name) + ", " +
         std::string(records::listed_output(Product::runs_table).name) + " and " +
         std::string(records::listed_output(Product::summary).name) +
         ", and with --export-model model-K.py gains forecast_intervals";
}

std::string export_model_description() {
  return "also " + listed(entries_written(WrittenWhen::with_export_model, name_and_holds)) +
         " in --output";
}

std::string summarize_description() {
  return "instead of a run: " +
         listed(
             entries_written(WrittenWhen::beside_run_folders,
                             [](const ListedOutput& entry) { return std::string(entry.name); })) +
         " in --output DIR from run folders written by --runs, each DIR a run folder or a "
         "folder that holds them at any depth; a run that a " +
         std::string(records::listed_output(Product::runs_table).name) +
         " there records as failed, with no " +
         std::string(records::listed_output(Product::record).name) +
         " of it found, is a failed run";
}

std::string streams_description() {
  return "with --summarize: the streams whose runs are summarized, such as 0-19 or 0-9,20-29 "
         "(default: the streams found); a stream whose run is not found is a failed run, and "
         "runs of other streams are left out; at most 100000 runs in one merge";
}

std::string output_rule() {
  std::vector<std::string> run_files;
  for (const ListedOutput& entry : records::output_list()) {
    if (batch::once_written(entry, batch::OutputFolder::single_run))
      run_files.emplace_back(entry.name);
  }
  return "Every output name is checked before the run. The files are written together at its "
         "end, all of them or none; a replaced file keeps its permissions, a symbolic link its "
         "target, which gets the new content. In the same step the files an earlier run left in "
         "the folder that this one does not write (of " +
         listed(run_files) + ", K up to " + std::to_string(runs::kMaxPopulations) +
         ") are removed, so that the folder holds one run's files; no other file is "
         "touched. A folder takes one call at a time: a call into a folder that another call "
         "is writing is refused before its run. A call refused with status 2 or 3 leaves nothing "
         "new, and so does a run that ends with status 1 because a file could not be written or "
         "memory ran out; when only the standard output could not be written, the run's files "
         "are written and the status is 1.";
}

std::string sweep_rule() {
  return "With --runs, each run is written to its own folder under --output, named after its "
         "stream (run-0000, run-0001, ...): the files above, " +
         listed(entries_written(WrittenWhen::in_run_folder, name_and_holds)) + ". Then " +
         listed(entries_written(WrittenWhen::beside_run_folders, name_and_holds)) +
         " are written beside them. A run whose files cannot be written is told in " +
         std::string(records::listed_output(Product::runs_table).name) +
         " and the exit status; the others go on. Each run folder is written all or nothing; "
         "the other run folders in --output are kept.";
}
}  // namespace quarvel::cli
