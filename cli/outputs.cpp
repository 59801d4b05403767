#include "cli/outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/interrupts.h"

namespace quarvel::cli {

namespace {

namespace fs = std::filesystem;

// A path in double quotes, as the messages name files.
std::string quoted(const std::string& path) {
  std::string text(1, '"');
  text += path;
  text += '"';
  return text;
}

std::string system_reason(int error_number) {
  return std::strerror(error_number);
}

// Why files could not be written into `folder`, which is created when missing:
// its nearest existing ancestor must be a folder this process may write into,
// and a link on the way must lead somewhere.
std::optional<std::string> unwritable_folder(const fs::path& folder) {
  fs::path existing = folder.empty() ? fs::path(".") : folder;
  struct stat status {};
  while (::lstat(existing.c_str(), &status) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      return quoted(existing.string()) + " cannot be used: " + system_reason(errno);
    }
    fs::path parent = existing.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == existing) break;
    existing = std::move(parent);
  }
  if (S_ISLNK(status.st_mode) && ::stat(existing.c_str(), &status) != 0) {
    return quoted(existing.string()) + " is a symbolic link that leads nowhere (" +
           system_reason(errno) + ")";
  }
  if (!S_ISDIR(status.st_mode)) return quoted(existing.string()) + " is not a folder";
  if (::access(existing.c_str(), W_OK | X_OK) != 0) {
    return "the folder " + quoted(existing.string()) + " is not writable (" + system_reason(errno) +
           ")";
  }
  return std::nullopt;
}

// One file by any of its names: the same file where both exist, the same
// place once links and "." and ".." are resolved where not.
bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error)) return true;
  const fs::path place_a = fs::weakly_canonical(fs::absolute(a, error), error);
  if (error) return false;
  const fs::path place_b = fs::weakly_canonical(fs::absolute(b, error), error);
  return !error && place_a == place_b;
}

// Whether `path` is the folder `folder` or one it lies in.
bool on_the_way_to(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const fs::path place = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) return false;
  fs::path step = fs::weakly_canonical(fs::absolute(folder, error), error);
  if (error) return false;
  for (;;) {
    if (step == place) return true;
    const fs::path parent = step.parent_path();
    if (parent == step || parent.empty()) return false;
    step = parent;
  }
}

}  // namespace

std::vector<std::string> output_file_names(const Options& options) {
  const int populations = std::stoi(options.settings.text(frontend::Setting::populations));
  const bool forecast = std::stoi(options.settings.text(frontend::Setting::forecast_ahead)) > 0;
  std::vector<std::string> names;
  for (int k = 1; k <= populations; ++k) {
    const std::string number = std::to_string(k);
    for (const char* kind : {"prediction-", "tree-"}) names.push_back(kind + number + ".txt");
    if (forecast) names.push_back("forecast-" + number + ".txt");
    if (options.export_model) {
      for (const char* suffix : {".txt", ".py", ".h"}) names.push_back("model-" + number + suffix);
    }
  }
  return names;
}

namespace {

std::optional<Failure> check_output_folder(const std::string& folder,
                                           const std::vector<std::string>& names) {
  if (folder.empty()) return bad_setting("--output", "no folder name given");
  struct stat status {};
  if (::lstat(folder.c_str(), &status) == 0) {
    if (::stat(folder.c_str(), &status) != 0) {
      return bad_setting("--output", quoted(folder) + " is a symbolic link that leads nowhere (" +
                                         system_reason(errno) + ")");
    }
    if (!S_ISDIR(status.st_mode)) {
      return bad_setting("--output", quoted(folder) + " exists and is not a folder");
    }
  }
  if (const auto problem = unwritable_folder(folder)) {
    return bad_setting("--output", "cannot write into " + quoted(folder) + ": " + *problem);
  }
  for (const std::string& name : names) {
    const std::string path = (fs::path(folder) / name).string();
    const frontend::OutputTarget target = frontend::resolve_output_target(path);
    if (target.problem) return bad_setting("--output", quoted(path) + " " + *target.problem);
  }
  return std::nullopt;
}

std::optional<Failure> check_history(const std::string& history) {
  if (history.empty()) return bad_setting("--history", "no file name given");
  const fs::path folder = fs::path(history).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !fs::exists(folder, ignored)) {
    return bad_setting("--history", "the folder " + quoted(folder.string()) + " does not exist");
  }
  if (const auto problem = unwritable_folder(folder)) {
    return bad_setting("--history", "cannot write " + quoted(history) + ": " + *problem);
  }
  const frontend::OutputTarget target = frontend::resolve_output_target(history);
  if (target.problem) return bad_setting("--history", quoted(history) + " " + *target.problem);
  // A link is written through: its target's folder is the one written into.
  if (target.path != history) {
    if (const auto problem = unwritable_folder(fs::path(target.path).parent_path())) {
      return bad_setting("--history", "cannot write " + quoted(history) + ": " + *problem);
    }
  }
  return std::nullopt;
}

// Creates `folder` and the folders missing on the way to it, recording those
// made, outermost first.
std::optional<Failure> create_folder(const std::string& folder, frontend::FileCalls& calls,
                                     std::vector<std::string>& created) {
  fs::path path(folder);
  if (path.filename().empty()) path = path.parent_path();
  std::vector<fs::path> missing;
  struct stat status {};
  for (fs::path step = path; !step.empty() && ::lstat(step.c_str(), &status) != 0;
       step = step.parent_path()) {
    missing.push_back(step);
    if (step == step.parent_path()) break;
  }
  for (auto step = missing.rbegin(); step != missing.rend(); ++step) {
    if (calls.mkdir(step->c_str(), 0777) == 0) {
      created.push_back(step->string());
    } else if (errno != EEXIST) {
      return Failure{kExitFailed,
                     "cannot create the folder " + quoted(folder) + ": " + system_reason(errno)};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Failure> check_output_paths(const Options& options,
                                          std::span<const std::string> more_names) {
  std::vector<std::string> names = output_file_names(options);
  names.insert(names.end(), more_names.begin(), more_names.end());
  if (options.output) {
    if (auto failure = check_output_folder(*options.output, names)) return failure;
  }
  if (options.history) {
    if (auto failure = check_history(*options.history)) return failure;
  }

  // An output file must never replace a data file: it may be the only copy.
  const auto is_data_file = [&](const fs::path& path) {
    return same_file(path, options.training) || same_file(path, options.validation);
  };
  if (options.history && is_data_file(*options.history)) {
    return bad_setting(
        "--history", quoted(*options.history) + " is a data file of this run; choose another name");
  }
  if (!options.output) return std::nullopt;
  for (const std::string& name : names) {
    const fs::path file = fs::path(*options.output) / name;
    if (is_data_file(file)) {
      return bad_setting("--output", quoted(file.string()) +
                                         " would replace a data file of this run; choose "
                                         "another folder");
    }
    // Nor may two outputs be one file: the last one written would win.
    if (options.history && same_file(*options.history, file)) {
      return bad_setting("--history", quoted(*options.history) +
                                          " is also written by --output, as " +
                                          quoted(file.string()) + "; choose another name");
    }
  }
  if (options.history && on_the_way_to(*options.history, *options.output)) {
    return bad_setting("--history", quoted(*options.history) +
                                        " would be the --output folder or one it lies in; choose "
                                        "another name");
  }
  return std::nullopt;
}

std::optional<Failure> check_folder_outputs(const Options& options, const std::string& folder,
                                            std::span<const std::string> names) {
  const std::vector<std::string> listed(names.begin(), names.end());
  if (auto failure = check_output_folder(folder, listed)) return failure;
  for (const std::string& name : names) {
    const fs::path file = fs::path(folder) / name;
    // --summarize reads no data file.
    if (!options.training.empty() &&
        (same_file(file, options.training) || same_file(file, options.validation))) {
      return bad_setting("--output", quoted(file.string()) +
                                         " would replace a data file of this run; choose "
                                         "another folder");
    }
  }
  return std::nullopt;
}

std::optional<Failure> write_outputs(const Options& options, const std::string& history,
                                     const std::vector<FolderFile>& folder_files,
                                     frontend::FileCalls& calls,
                                     std::span<const frontend::OutputFile> more_files) {
  std::vector<frontend::OutputFile> files;
  if (options.history) files.push_back({*options.history, history});
  if (options.output) {
    const fs::path folder(*options.output);
    for (const auto& [name, content] : folder_files) {
      files.push_back({(folder / name).string(), content});
    }
  }
  files.insert(files.end(), more_files.begin(), more_files.end());
  return write_output_files(files, options.output, calls);
}

std::optional<Failure> write_output_files(std::span<const frontend::OutputFile> files,
                                          const std::optional<std::string>& folder,
                                          frontend::FileCalls& calls) {
  if (files.empty()) return std::nullopt;

  const HeldInterrupts held;
  std::vector<std::string> created;
  const auto remove_created = [&] {
    for (auto folder = created.rbegin(); folder != created.rend(); ++folder) {
      calls.rmdir(folder->c_str());
    }
  };
  if (folder) {
    if (auto failure = create_folder(*folder, calls, created)) {
      remove_created();
      return failure;
    }
  }
  if (const auto problem =
          frontend::write_files_atomically(files, calls, [&held] { return held.pending(); })) {
    remove_created();
    return Failure{kExitFailed, *problem};
  }
  return std::nullopt;
}

}  // namespace quarvel::cli
