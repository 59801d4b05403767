#include "batch/outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "records/outputlist.h"

namespace quarvel::batch {

namespace {

namespace fs = std::filesystem;

// Whether `request` writes the files of an entry into a folder of that kind.
bool written(const records::ListedOutput& entry, const RunRequest& request, OutputFolder folder) {
  switch (entry.when) {
    case records::WrittenWhen::every_run:
      return folder != OutputFolder::sweep;
    case records::WrittenWhen::with_forecast:
      return folder != OutputFolder::sweep &&
             request.settings.whole(runs::Setting::forecast_ahead) > 0;
    case records::WrittenWhen::with_export_model:
      return folder != OutputFolder::sweep && request.export_model;
    case records::WrittenWhen::with_time_column:
      return folder != OutputFolder::sweep && request.data &&
             request.data->reading.time_column.kind != data::ColumnChoice::Kind::none;
    case records::WrittenWhen::with_intervals:
      return folder != OutputFolder::sweep && request.intervals.has_value();
    case records::WrittenWhen::in_run_folder:
      return folder == OutputFolder::run_folder;
    case records::WrittenWhen::beside_run_folders:
      return folder == OutputFolder::sweep;
  }
  return false;
}

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

// A file by its device and inode.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of what `path` names: following links (`stat`) or not (`lstat`).
std::optional<FileIdentity> identity(const std::string& path, bool follow_links) {
  struct stat status {};
  if ((follow_links ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) != 0) {
    return std::nullopt;
  }
  return FileIdentity{status.st_dev, status.st_ino};
}

// The data files of a run, known once by their identity: a name that leads to
// one of them, as a link or a second name, would replace it. A data file that
// does not exist cannot be replaced (and is refused when it is read).
class DataFiles {
 public:
  explicit DataFiles(const RunRequest& request) {
    for (const std::string_view role : {"training", "validation"}) {
      const std::string& path = data_path(request, role);
      if (path.empty()) continue;  // --summarize reads no data file
      if (const auto found = identity(path, true)) files_.push_back(*found);
    }
  }

  [[nodiscard]] bool holds(const std::string& path) const {
    if (files_.empty()) return false;
    const auto found = identity(path, true);
    return found && std::find(files_.begin(), files_.end(), *found) != files_.end();
  }

 private:
  std::vector<FileIdentity> files_;
};

std::optional<Failure> check_output_folder(const std::string& folder,
                                           std::span<const std::string> names,
                                           const DataFiles& data) {
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
    const records::OutputTarget target = records::resolve_output_target(path);
    if (target.problem) return bad_setting("--output", quoted(path) + " " + *target.problem);
  }
  // An output file must never replace a data file: it may be the only copy.
  for (const std::string& name : names) {
    const std::string path = (fs::path(folder) / name).string();
    if (data.holds(path)) {
      return bad_setting("--output", quoted(path) +
                                         " would replace a data file of this run; choose "
                                         "another folder");
    }
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
  const records::OutputTarget target = records::resolve_output_target(history);
  if (target.problem) return bad_setting("--history", quoted(history) + " " + *target.problem);
  // A link is written through: its target's folder is the one written into.
  if (target.path != history) {
    if (const auto problem = unwritable_folder(fs::path(target.path).parent_path())) {
      return bad_setting("--history", "cannot write " + quoted(history) + ": " + *problem);
    }
  }
  return std::nullopt;
}

// The outputs of --runs: runs.csv and summary.txt in --output, and the files
// of every run folder. A run folder that does not exist yet is made empty by
// its run in --output, checked first, so only those that exist are looked at:
// the folder is listed once instead of looking for each of up to 2^24 folders.
std::optional<Failure> check_sweep_outputs(const RunRequest& request, const DataFiles& data) {
  const std::string& top = *request.output;
  const std::vector<std::string> sweep_names = output_file_names(request, OutputFolder::sweep);
  if (auto failure = check_output_folder(top, sweep_names, data)) return failure;

  // The streams of the run folders there, in order.
  std::vector<std::int32_t> present;
  std::error_code error;
  for (auto entry = fs::directory_iterator(top, error); !error && entry != fs::directory_iterator();
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    std::int32_t stream = 0;
    const char* digits = name.c_str() + std::min<std::size_t>(name.size(), 4);
    const auto [end, problem] = std::from_chars(digits, name.c_str() + name.size(), stream);
    if (problem == std::errc{} && end == name.c_str() + name.size() &&
        run_folder_name(stream) == name && stream >= request.stream &&
        stream - request.stream < request.runs) {
      present.push_back(stream);
    }
  }
  if (error && error != std::errc::no_such_file_or_directory) {
    // A folder that cannot be listed has each run folder looked for.
    present.clear();
    for (std::int32_t k = 0; k < request.runs; ++k) present.push_back(request.stream + k);
  }
  std::sort(present.begin(), present.end());
  const std::vector<std::string> run_names = output_file_names(request, OutputFolder::run_folder);
  for (const std::int32_t stream : present) {
    const std::string folder = (fs::path(top) / run_folder_name(stream)).string();
    if (auto failure = check_output_folder(folder, run_names, data)) return failure;
  }
  return std::nullopt;
}

// Creates `folder` and the folders missing on the way to it, recording those
// made, outermost first.
std::optional<Failure> create_folder(const std::string& folder, records::FileCalls& calls,
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
      return Failure{FailureKind::write_failed,
                     "cannot create the folder " + quoted(folder) + ": " + system_reason(errno)};
    }
  }
  return std::nullopt;
}

// The leftover files of `folder` to remove: only a file or link of the
// list's names, never one written now, a data file of the run (nor a link to
// one), nor the history file of this run under such a name.
std::vector<std::string> leftover_paths(const RunRequest& request, OutputFolder kind,
                                        const std::string& folder,
                                        const std::vector<FolderFile>& written) {
  const DataFiles data(request);
  const std::optional<FileIdentity> history =
      request.history ? identity(*request.history, false) : std::nullopt;
  std::vector<std::string> paths;
  for (const std::string& name : leftover_names(request, kind)) {
    if (std::any_of(written.begin(), written.end(),
                    [&name](const FolderFile& file) { return file.first == name; })) {
      continue;
    }
    const std::string path = (fs::path(folder) / name).string();
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) continue;
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) continue;
    if (data.holds(path) || (history && *history == FileIdentity{status.st_dev, status.st_ino})) {
      continue;
    }
    paths.push_back(path);
  }
  return paths;
}

// `files` written and `removed` removed.
std::optional<Failure> write_and_remove(std::span<const records::OutputFile> files,
                                        const std::optional<std::string>& folder,
                                        std::span<const std::string> removed,
                                        records::FileCalls& calls,
                                        const std::function<bool()>& interrupted) {
  std::vector<std::string> created;
  const auto remove_created = [&] {
    for (auto made = created.rbegin(); made != created.rend(); ++made) calls.rmdir(made->c_str());
  };
  if (folder) {
    if (auto failure = create_folder(*folder, calls, created)) {
      remove_created();
      return failure;
    }
  }
  if (const auto problem = records::write_files_atomically(files, calls, interrupted)) {
    remove_created();
    return Failure{interrupted && interrupted() ? FailureKind::stopped : FailureKind::write_failed,
                   *problem};
  }
  for (const std::string& path : removed) {
    if (calls.unlink(path.c_str()) != 0 && errno != ENOENT) {
      return Failure{
          FailureKind::write_failed,
          "the files are written, but " + quoted(path) +
              ", left there by an earlier run, cannot be removed: " + system_reason(errno)};
    }
  }
  return std::nullopt;
}

}  // namespace

std::string run_folder_name(std::int32_t stream) {
  char name[32];
  std::snprintf(name, sizeof name, "run-%04d", stream);
  return name;
}

std::vector<PlannedOutput> planned_outputs(const RunRequest& request, OutputFolder folder) {
  std::vector<PlannedOutput> planned;
  const int populations = folder == OutputFolder::sweep ? 0 : request.settings.population_count();
  for (int p = 0; p < populations; ++p) {
    for (const records::ListedOutput& entry : records::output_list()) {
      if (records::per_population(entry) && written(entry, request, folder)) {
        planned.push_back({records::output_name(entry, p), entry.product, p});
      }
    }
  }
  for (const records::ListedOutput& entry : records::output_list()) {
    if (!records::per_population(entry) && written(entry, request, folder)) {
      planned.push_back({std::string(entry.name), entry.product, 0});
    }
  }
  return planned;
}

std::vector<std::string> output_file_names(const RunRequest& request, OutputFolder folder) {
  std::vector<std::string> names;
  for (PlannedOutput& file : planned_outputs(request, folder))
    names.push_back(std::move(file.name));
  return names;
}

bool once_written(const records::ListedOutput& entry, OutputFolder folder) {
  switch (entry.when) {
    case records::WrittenWhen::every_run:
    case records::WrittenWhen::with_forecast:
    case records::WrittenWhen::with_intervals:
    case records::WrittenWhen::with_export_model:
    case records::WrittenWhen::with_time_column:
      return folder != OutputFolder::sweep;
    case records::WrittenWhen::in_run_folder:
      return folder == OutputFolder::run_folder;
    case records::WrittenWhen::beside_run_folders:
      break;  // always written again; the run folders beside them are kept
  }
  return false;
}

std::vector<std::string> once_written_names(OutputFolder folder) {
  std::vector<std::string> names;
  for (const records::ListedOutput& entry : records::output_list()) {
    if (!once_written(entry, folder)) continue;
    const int populations = records::per_population(entry) ? runs::kMaxPopulations : 1;
    for (int p = 0; p < populations; ++p) names.push_back(records::output_name(entry, p));
  }
  return names;
}

std::vector<std::string> leftover_names(const RunRequest& request, OutputFolder folder) {
  const std::vector<std::string> kept = output_file_names(request, folder);
  std::vector<std::string> names;
  for (const records::ListedOutput& entry : records::output_list()) {
    if (!once_written(entry, folder)) continue;
    const int populations = records::per_population(entry) ? runs::kMaxPopulations : 1;
    for (int p = 0; p < populations; ++p) {
      std::string name = records::output_name(entry, p);
      if (std::find(kept.begin(), kept.end(), name) == kept.end()) names.push_back(std::move(name));
    }
  }
  return names;
}

std::optional<Failure> check_output_paths(const RunRequest& request) {
  const DataFiles data(request);
  if (request.runs > 0) return check_sweep_outputs(request, data);
  const std::vector<std::string> names = output_file_names(request, OutputFolder::single_run);
  if (request.output) {
    if (auto failure = check_output_folder(*request.output, names, data)) return failure;
  }
  if (!request.history) return std::nullopt;
  const std::string& history = *request.history;
  if (auto failure = check_history(history)) return failure;
  if (data.holds(history)) {
    return bad_setting("--history",
                       quoted(history) + " is a data file of this run; choose another name");
  }
  if (!request.output) return std::nullopt;
  // Nor may two outputs be one file: the last one written would win.
  for (const std::string& name : names) {
    const fs::path file = fs::path(*request.output) / name;
    if (same_file(history, file)) {
      return bad_setting("--history", quoted(history) + " is also written by --output, as " +
                                          quoted(file.string()) + "; choose another name");
    }
  }
  if (on_the_way_to(history, *request.output)) {
    return bad_setting("--history", quoted(history) +
                                        " would be the --output folder or one it lies in; choose "
                                        "another name");
  }
  return std::nullopt;
}

std::optional<Failure> check_folder_outputs(const RunRequest& request, const std::string& folder,
                                            std::span<const std::string> names) {
  return check_output_folder(folder, names, DataFiles(request));
}

std::optional<Failure> write_outputs(const RunRequest& request, OutputFolder folder,
                                     const std::string& history,
                                     const std::vector<FolderFile>& folder_files,
                                     records::FileCalls& calls,
                                     const std::function<bool()>& interrupted) {
  std::vector<records::OutputFile> files;
  if (request.history) files.push_back({*request.history, history});
  std::vector<std::string> removed;
  if (request.output) {
    const fs::path place(*request.output);
    for (const auto& [name, content] : folder_files) {
      files.push_back({(place / name).string(), content});
    }
    removed = leftover_paths(request, folder, *request.output, folder_files);
  }
  if (files.empty()) return std::nullopt;
  return write_and_remove(files, request.output, removed, calls, interrupted);
}

std::optional<Failure> write_output_files(std::span<const records::OutputFile> files,
                                          const std::optional<std::string>& folder,
                                          records::FileCalls& calls,
                                          const std::function<bool()>& interrupted) {
  if (files.empty()) return std::nullopt;
  return write_and_remove(files, folder, {}, calls, interrupted);
}

}  // namespace quarvel::batch
