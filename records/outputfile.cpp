#include "records/outputfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "data/numbertext.h"

namespace quarvel::records {

namespace {

namespace fs = std::filesystem;

std::string failure(const std::string& what, const std::string& path, int error_number) {
  return what + " " + path + ": " + std::strerror(error_number);
}

std::string quoted(const std::string& path) {
  std::string text(1, '"');
  text += path;
  text += '"';
  return text;
}

// An open descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) noexcept : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const noexcept { return fd_; }

 private:
  int fd_;
};

bool write_all(FileCalls& calls, int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = calls.write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A name beside `target` for a file of the step ("tmp" the new content, "old"
// a second name of the old file); its length stays within a file name's limit
// however long the target's name is.
std::string step_name(const std::string& target, const char* kind, int attempt) {
  constexpr std::size_t kKeptNameLength = 200;
  const fs::path path(target);
  std::string name(1, '.');
  name += path.filename().string().substr(0, kKeptNameLength);
  name += '.';
  name += kind;
  name += '-';
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(attempt);
  return (path.parent_path() / name).string();
}

// The folder a target lies in, as a path that can be opened.
std::string folder_of(const std::string& target) {
  const fs::path parent = fs::path(target).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// Whether a folder with the sticky bit (as /tmp) keeps this user from
// replacing the file: there only its owner, the folder's, or root may.
bool protected_by_sticky_folder(const std::string& path, const struct stat& file) {
  const uid_t user = ::geteuid();
  if (user == 0 || file.st_uid == user) return false;
  struct stat folder {};
  return ::stat(folder_of(path).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
         folder.st_uid != user;
}

struct HeldFolders {
  std::mutex mutex;
  std::multiset<std::pair<dev_t, ino_t>> folders;
};

HeldFolders& held_folders() {
  static HeldFolders held;
  return held;
}

bool is_held(dev_t device, ino_t inode) {
  HeldFolders& held = held_folders();
  const std::scoped_lock lock(held.mutex);
  return held.folders.contains({device, inode});
}

// Locks the folders the files go into, in the order of their device and inode
// numbers so that two writers never wait for each other in a circle. A folder
// that cannot be opened for reading, or a file system without locks, is
// written without the lock.
std::optional<std::string> lock_folders(std::span<const OutputFile> files,
                                        const std::vector<OutputTarget>& targets,
                                        const std::function<bool()>& interrupted,
                                        std::vector<Descriptor>& locked) {
  struct Folder {
    dev_t device;
    ino_t inode;
    Descriptor descriptor;
  };
  std::vector<Folder> folders;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    Descriptor folder(
        ::open(folder_of(targets[i].path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
      if (errno == ENOENT || errno == ENOTDIR) return failure("cannot write", files[i].path, errno);
      continue;
    }
    struct stat status {};
    if (::fstat(folder.get(), &status) != 0) continue;
    const bool known = is_held(status.st_dev, status.st_ino) ||
                       std::any_of(folders.begin(), folders.end(), [&](const Folder& f) {
                         return f.device == status.st_dev && f.inode == status.st_ino;
                       });
    if (!known) folders.push_back({status.st_dev, status.st_ino, std::move(folder)});
  }
  std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
    return a.device != b.device ? a.device < b.device : a.inode < b.inode;
  });
  for (Folder& folder : folders) {
    for (;;) {
      if (::flock(folder.descriptor.get(), LOCK_EX | LOCK_NB) == 0) break;
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) break;
      if (interrupted && interrupted()) return std::string("interrupted; no file was changed");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    locked.push_back(std::move(folder.descriptor));
  }
  return std::nullopt;
}

// The replaced file's permissions, and its owner and group where this user
// may give them.
bool keep_permissions(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// One file of the step: its target, and the names it goes by meanwhile.
struct StepFile {
  struct stat old {};     // the target's status when it exists
  std::string temporary;  // the new content, complete once written
  std::string backup;     // a second name of the old file during the renames
  bool renamed = false;
};

// Where each file goes (resolve_output_target): nullopt when every target may
// be written and no two files are one.
std::optional<std::string> resolve_targets(std::span<const OutputFile> files,
                                           std::vector<OutputTarget>& targets) {
  for (const OutputFile& file : files) {
    if (file.path.empty()) return std::string("no file name given");
    targets.push_back(resolve_output_target(file.path));
    if (const auto& problem = targets.back().problem) return quoted(file.path) + " " + *problem;
    for (std::size_t k = 0; k + 1 < targets.size(); ++k) {
      if (targets[k].path == targets.back().path) {
        return quoted(file.path) + " is also written as " + quoted(files[k].path);
      }
    }
  }
  return std::nullopt;
}

// Every file's new content written completely to a temporary file beside its
// target and flushed to the disk, a replaced file's permissions kept.
std::optional<std::string> write_temporaries(std::span<const OutputFile> files,
                                             const std::vector<OutputTarget>& targets,
                                             FileCalls& calls, std::vector<StepFile>& steps) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& path = files[i].path;
    StepFile& step = steps[i];
    if (targets[i].exists && ::stat(targets[i].path.c_str(), &step.old) != 0) {
      return failure("cannot write", path, errno);
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temporary = step_name(targets[i].path, "tmp", attempt);
      fd = calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return failure("cannot create a temporary file for", path, errno);
    step.temporary = temporary;
    const bool written = (!targets[i].exists || keep_permissions(fd, step.old)) &&
                         write_all(calls, fd, files[i].content) && calls.fsync(fd) == 0;
    const int error = errno;
    const bool closed = calls.close(fd) == 0;
    if (!written) return failure("cannot write", path, error);
    if (!closed) return failure("cannot write", path, errno);
  }
  return std::nullopt;
}

// A second name for every old file, so that a failed rename can put back
// what the earlier ones replaced. A file system without such names (EPERM)
// is written without them; a failed rename cannot put back such a file.
std::optional<std::string> keep_old_names(std::span<const OutputFile> files,
                                          const std::vector<OutputTarget>& targets,
                                          FileCalls& calls, std::vector<StepFile>& steps) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!targets[i].exists) continue;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string backup = step_name(targets[i].path, "old", attempt);
      if (calls.link(targets[i].path.c_str(), backup.c_str()) == 0) {
        steps[i].backup = backup;
        break;
      }
      if (errno != EEXIST) break;
    }
    if (steps[i].backup.empty() && errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) {
      return failure("cannot write", files[i].path, errno);
    }
  }
  return std::nullopt;
}

// The temporary files renamed over their targets; when one cannot be, the
// targets replaced before it are put back (or removed, where they were new).
std::optional<std::string> replace_targets(std::span<const OutputFile> files,
                                           const std::vector<OutputTarget>& targets,
                                           FileCalls& calls, std::vector<StepFile>& steps) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (calls.rename(steps[i].temporary.c_str(), targets[i].path.c_str()) == 0) {
      steps[i].renamed = true;
      continue;
    }
    const int error = errno;
    std::string reason = failure("cannot replace", files[i].path, error);
    for (std::size_t k = i; k-- > 0;) {
      StepFile& earlier = steps[k];
      if (!earlier.backup.empty()) {
        // Should even this fail, the old content stays under its second name.
        if (calls.rename(earlier.backup.c_str(), targets[k].path.c_str()) != 0) {
          reason += "; the old " + files[k].path + " is kept as " + earlier.backup;
        }
        earlier.backup.clear();
      } else if (!targets[k].exists) {
        calls.unlink(targets[k].path.c_str());
      }
    }
    return reason;
  }
  return std::nullopt;
}

}  // namespace

int FileCalls::open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
ssize_t FileCalls::write(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}
int FileCalls::fsync(int fd) {
  return ::fsync(fd);
}
int FileCalls::close(int fd) {
  return ::close(fd);
}
int FileCalls::link(const char* from, const char* to) {
  return ::link(from, to);
}
int FileCalls::rename(const char* from, const char* to) {
  return ::rename(from, to);
}
int FileCalls::unlink(const char* path) {
  return ::unlink(path);
}
int FileCalls::mkdir(const char* path, mode_t mode) {
  return ::mkdir(path, mode);
}
int FileCalls::rmdir(const char* path) {
  return ::rmdir(path);
}

FileCalls& system_file_calls() {
  static FileCalls calls;
  return calls;
}

std::string output_file_text(std::span<const std::string> index_cells,
                             std::span<const std::string> value_cells) {
  const std::size_t rows = std::max(index_cells.size(), value_cells.size());
  std::string text;
  for (std::size_t r = 0; r < rows; ++r) {
    if (r < index_cells.size()) text += index_cells[r];
    text += ',';
    if (r < value_cells.size()) text += value_cells[r];
    text += "\r\n";
  }
  return text;
}

OutputTarget resolve_output_target(const std::string& path) {
  OutputTarget target{path, false, std::nullopt};
  if (path.empty()) {
    target.problem = "is no file name";
    return target;
  }
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno != ENOENT) target.problem = std::string("cannot be used: ") + std::strerror(errno);
    return target;
  }
  if (S_ISLNK(status.st_mode)) {
    if (::stat(path.c_str(), &status) != 0) {
      target.problem =
          std::string("is a symbolic link that leads nowhere (") + std::strerror(errno) + ")";
      return target;
    }
    if (S_ISREG(status.st_mode)) {
      std::error_code error;
      const fs::path resolved = fs::canonical(path, error);
      if (error) {
        target.problem = "is a symbolic link that cannot be followed (" + error.message() + ")";
        return target;
      }
      target.path = resolved.string();
    }
  }
  if (S_ISDIR(status.st_mode)) {
    target.problem = "is a folder";
  } else if (!S_ISREG(status.st_mode)) {
    target.problem = "is not a regular file but a device, FIFO or socket; name a regular file";
  } else if (::access(target.path.c_str(), W_OK) != 0) {
    target.problem = std::string("is write-protected (") + std::strerror(errno) + ")";
  } else if (protected_by_sticky_folder(target.path, status)) {
    target.problem =
        "belongs to another user, in a folder where only a file's owner may replace it";
  }
  target.exists = !target.problem.has_value();
  return target;
}

void hold_folder_lock(dev_t device, ino_t inode) {
  HeldFolders& held = held_folders();
  const std::scoped_lock lock(held.mutex);
  held.folders.emplace(device, inode);
}

void release_folder_lock(dev_t device, ino_t inode) {
  HeldFolders& held = held_folders();
  const std::scoped_lock lock(held.mutex);
  if (const auto place = held.folders.find({device, inode}); place != held.folders.end()) {
    held.folders.erase(place);
  }
}

std::optional<std::string> write_files_atomically(std::span<const OutputFile> files,
                                                  FileCalls& calls,
                                                  const std::function<bool()>& interrupted) {
  std::vector<OutputTarget> targets;
  if (auto problem = resolve_targets(files, targets)) return problem;
  std::vector<Descriptor> locked;
  if (auto problem = lock_folders(files, targets, interrupted, locked)) return problem;

  // From here on, any failure removes what the step made so that nothing
  // incomplete is left behind.
  std::vector<StepFile> steps(files.size());
  const auto abandon = [&](const std::string& reason) {
    for (const StepFile& step : steps) {
      if (!step.temporary.empty() && !step.renamed) calls.unlink(step.temporary.c_str());
      if (!step.backup.empty()) calls.unlink(step.backup.c_str());
    }
    return reason;
  };
  if (auto problem = write_temporaries(files, targets, calls, steps)) return abandon(*problem);
  if (interrupted && interrupted()) return abandon("interrupted; no file was changed");
  if (auto problem = keep_old_names(files, targets, calls, steps)) return abandon(*problem);
  if (auto problem = replace_targets(files, targets, calls, steps)) return abandon(*problem);
  for (StepFile& step : steps) {
    if (!step.backup.empty()) calls.unlink(step.backup.c_str());
    step.backup.clear();
  }
  // Make the new names themselves durable; a failure here loses nothing already written.
  for (const Descriptor& folder : locked) ::fsync(folder.get());
  return std::nullopt;
}

std::optional<std::string> write_file_atomically(const std::string& path,
                                                 std::string_view content) {
  const OutputFile file{path, std::string(content)};
  return write_files_atomically(std::span<const OutputFile>(&file, 1));
}

OutputCells output_cells(std::span<const double> prediction, std::int64_t first) {
  OutputCells cells;
  cells.index.reserve(prediction.size());
  cells.value.reserve(prediction.size());
  std::array<char, data::kGeneralTextSize> text;
  for (std::size_t i = 0; i < prediction.size(); ++i) {
    const auto index = static_cast<double>(first + static_cast<std::int64_t>(i));
    cells.index.emplace_back(text.data(), data::write_general(index, text.data()));
    cells.value.emplace_back(text.data(), data::write_general(prediction[i], text.data()));
  }
  return cells;
}

}  // namespace quarvel::records
