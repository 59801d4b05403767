// The runner's output files: the checks made before the run, so that a run of
// hours never ends on a name that cannot be written, and the writing after it,
// all files or none.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"
#include "frontend/outputfile.h"

namespace quarvel::cli {

// Refuses --output and --history paths that could not be written (no name, a
// folder, device or FIFO where a file goes, a write-protected file, a link
// that leads nowhere, a name too long), that would replace a data file of the
// run, or that would be written twice.
// `more_names` are files the --output folder holds besides those of the populations.
[[nodiscard]] std::optional<Failure> check_output_paths(
    const Options& options, std::span<const std::string> more_names = {});

// The checks of the --output folder above for the files `names` in `folder`.
[[nodiscard]] std::optional<Failure> check_folder_outputs(const Options& options,
                                                          const std::string& folder,
                                                          std::span<const std::string> names);

// The names of the files --output receives, in the order they are written:
// per population prediction-K.txt and tree-K.txt, with --forecast H
// forecast-K.txt, with --export-model model-K.txt, .py and .h.
[[nodiscard]] std::vector<std::string> output_file_names(const Options& options);

// A file of the --output folder: its name and content.
using FolderFile = std::pair<std::string, std::string>;

// The history file and the files of the --output folder, in one step that
// replaces all of them or none (frontend::write_files_atomically),
// with SIGINT, SIGTERM and SIGHUP held back meanwhile: one that comes before
// the files are replaced abandons the step and then ends the program, one that
// comes later ends it once they are. A failed step also removes the folders it
// created.
// `more_files` are written in the same step.
[[nodiscard]] std::optional<Failure> write_outputs(
    const Options& options, const std::string& history, const std::vector<FolderFile>& folder_files,
    frontend::FileCalls& calls = frontend::system_file_calls(),
    std::span<const frontend::OutputFile> more_files = {});

// `files` in that one step, creating `folder` first when given and missing.
[[nodiscard]] std::optional<Failure> write_output_files(std::span<const frontend::OutputFile> files,
                                                        const std::optional<std::string>& folder,
                                                        frontend::FileCalls& calls);

}  // namespace quarvel::cli
