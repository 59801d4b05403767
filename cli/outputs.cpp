#include "cli/outputs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "frontend/outputfile.h"

namespace quarvel::cli {

namespace {

// A path in double quotes, as the messages name files.
std::string quoted(const std::string& path) {
  std::string text(1, '"');
  text += path;
  text += '"';
  return text;
}

// Why files could not be written into `folder`, which is created when missing:
// its nearest existing ancestor must be a folder this process may write into.
std::optional<std::string> unwritable_folder(const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::path existing = folder.empty() ? std::filesystem::path(".") : folder;
  while (!std::filesystem::exists(existing, ignored)) {
    std::filesystem::path parent = existing.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == existing) break;
    existing = std::move(parent);
  }
  if (!std::filesystem::is_directory(existing, ignored)) {
    return quoted(existing.string()) + " is not a folder";
  }
  if (::access(existing.c_str(), W_OK | X_OK) != 0) {
    return "the folder " + quoted(existing.string()) + " is not writable (" + std::strerror(errno) +
           ")";
  }
  return std::nullopt;
}

}  // namespace

std::optional<Failure> check_output_paths(const Options& options) {
  std::error_code ignored;
  if (options.output) {
    if (std::filesystem::exists(*options.output, ignored) &&
        !std::filesystem::is_directory(*options.output, ignored)) {
      return bad_setting("--output", quoted(*options.output) + " exists and is not a folder");
    }
    if (const auto problem = unwritable_folder(*options.output)) {
      return bad_setting("--output", "cannot write into \"" + *options.output + "\": " + *problem);
    }
  }
  if (options.history) {
    const std::filesystem::path history(*options.history);
    const std::filesystem::path folder = history.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, ignored)) {
      return bad_setting("--history", "the folder \"" + folder.string() + "\" does not exist");
    }
    if (std::filesystem::is_directory(history, ignored)) {
      return bad_setting("--history", quoted(*options.history) + " is a folder");
    }
    if (const auto problem = unwritable_folder(folder)) {
      return bad_setting("--history", "cannot write \"" + *options.history + "\": " + *problem);
    }
  }
  // An output file must never replace a data file: it may be the only copy.
  const auto is_data_file = [&](const std::filesystem::path& path) {
    return std::filesystem::equivalent(path, options.training, ignored) ||
           std::filesystem::equivalent(path, options.validation, ignored);
  };
  if (options.history && is_data_file(*options.history)) {
    return bad_setting(
        "--history", quoted(*options.history) + " is a data file of this run; choose another name");
  }
  if (options.output) {
    const int count = std::stoi(options.settings.text(frontend::Setting::populations));
    for (int k = 1; k <= count; ++k) {
      for (const char* kind : {"prediction-", "tree-"}) {
        const std::filesystem::path file =
            std::filesystem::path(*options.output) / (kind + std::to_string(k) + ".txt");
        if (is_data_file(file)) {
          return bad_setting("--output", quoted(file.string()) +
                                             " would replace a data file of this run; choose "
                                             "another folder");
        }
      }
    }
  }
  return std::nullopt;
}

std::optional<Failure> write_outputs(const Options& options, const std::string& history,
                                     const std::vector<PopulationOutput>& results) {
  if (options.history) {
    if (const auto reason = frontend::write_file_atomically(*options.history, history)) {
      return Failure{kExitFailed, *reason};
    }
  }
  if (!options.output) return std::nullopt;
  const std::filesystem::path folder(*options.output);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return Failure{kExitFailed,
                   "cannot create the folder \"" + *options.output + "\": " + error.message()};
  }
  for (std::size_t p = 0; p < results.size(); ++p) {
    const std::string k = std::to_string(p + 1);
    const frontend::OutputCells cells = frontend::output_cells(results[p].prediction);
    const std::string prediction_path = (folder / ("prediction-" + k + ".txt")).string();
    if (const auto reason = frontend::write_file_atomically(
            prediction_path, frontend::output_file_text(cells.index, cells.value))) {
      return Failure{kExitFailed, *reason};
    }
    const std::string tree_path = (folder / ("tree-" + k + ".txt")).string();
    if (const auto reason = frontend::write_file_atomically(tree_path, results[p].tree_text)) {
      return Failure{kExitFailed, *reason};
    }
  }
  return std::nullopt;
}

}  // namespace quarvel::cli
