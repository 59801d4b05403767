// The files of a request, planned from the list of outputs: the checks made
// before a run, so that a run of hours never ends on a name that cannot be
// written, and the writing after it, all files or none.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/request.h"
#include "records/outputfile.h"
#include "records/outputlist.h"

namespace quarvel::batch {

// The folders a request's files go into.
enum class OutputFolder {
  single_run,  // the output folder of a single run
  run_folder,  // run-NNNN under the output folder of many runs
  sweep,       // the output folder of many runs or of a merge, which holds the run folders
};

// The folder of a run of many under the output folder, named after its stream:
// "run-0002".
[[nodiscard]] std::string run_folder_name(std::int32_t stream);

// A file a call writes into a folder: its name, what it holds and of which
// population (0-based; 0 for a file of the whole run).
struct PlannedOutput {
  std::string name;
  records::Product product;
  int population = 0;
};

// What `request` writes into a folder of that kind, in the order written.
[[nodiscard]] std::vector<PlannedOutput> planned_outputs(const RunRequest& request,
                                                         OutputFolder folder);

// The names alone.
[[nodiscard]] std::vector<std::string> output_file_names(const RunRequest& request,
                                                         OutputFolder folder);

// Whether an earlier call could have written the files of an entry into such
// a folder: whatever a run writes, in a run folder its history and record too.
[[nodiscard]] bool once_written(const records::ListedOutput& entry, OutputFolder folder);

// Every name a call of any settings may write into such a folder.
[[nodiscard]] std::vector<std::string> once_written_names(OutputFolder folder);

// The names of the list an earlier call may have left in such a folder that
// `request` does not write: removed in the step that writes the new files, so
// that a folder holds one run's files.
[[nodiscard]] std::vector<std::string> leftover_names(const RunRequest& request,
                                                      OutputFolder folder);

// Refuses output and history paths that could not be written (no name, a
// folder, device or FIFO where a file goes, a write-protected file, a link
// that leads nowhere, a name too long), that would replace a data file of the
// run, or that would be written twice: the files of a single run, or with
// many runs those of the output folder and of every run folder that exists
// there already (one that does not is made by the run, empty).
[[nodiscard]] std::optional<Failure> check_output_paths(const RunRequest& request);

// The checks of the output folder above for the files `names` in `folder`.
[[nodiscard]] std::optional<Failure> check_folder_outputs(const RunRequest& request,
                                                          const std::string& folder,
                                                          std::span<const std::string> names);

// A file of a folder: its name and content.
using FolderFile = std::pair<std::string, std::string>;

// The history file and the files of the output folder (a folder of kind
// `folder`), in one step that replaces all of them or none
// (records::write_files_atomically): `interrupted`, when given, is asked
// before the files are replaced, and true abandons the step (a failure of
// kind stopped). Once they are, the folder's leftover_names are removed
// (never a data file of the run nor one just written). A failed step also
// removes the folders it created.
[[nodiscard]] std::optional<Failure> write_outputs(
    const RunRequest& request, OutputFolder folder, const std::string& history,
    const std::vector<FolderFile>& folder_files,
    records::FileCalls& calls = records::system_file_calls(),
    const std::function<bool()>& interrupted = {});

// `files` in that one step, creating `folder` first when given and missing.
[[nodiscard]] std::optional<Failure> write_output_files(
    std::span<const records::OutputFile> files, const std::optional<std::string>& folder,
    records::FileCalls& calls = records::system_file_calls(),
    const std::function<bool()>& interrupted = {});

}  // namespace quarvel::batch
