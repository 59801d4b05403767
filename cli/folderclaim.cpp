#include "cli/folderclaim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "records/outputfile.h"

namespace quarvel::cli {

namespace {

namespace fs = std::filesystem;

Failure taken(const std::string& folder) {
  return bad_setting("--output", "\"" + folder +
                                     "\" is being written by another quarvel-cli call; wait "
                                     "for it to end or choose another folder");
}

Failure unusable(const std::string& folder, const std::string& why, int error_number) {
  return bad_setting("--output", "cannot " + why + " the folder \"" + folder +
                                     "\": " + std::strerror(error_number));
}

}  // namespace

FolderClaim::~FolderClaim() {
  if (descriptor_ >= 0) {
    records::release_folder_lock(device_, inode_);
    ::close(descriptor_);
  }
  // Innermost first; a folder that holds anything stays.
  for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
    if (::rmdir(made->c_str()) != 0) break;
  }
}

std::optional<Failure> FolderClaim::take(const std::string& folder) {
  // The folders missing on the way, outermost first.
  std::vector<fs::path> missing;
  fs::path start = fs::path(folder).lexically_normal();
  // "out/" is "out".
  if (!start.has_filename() && start.has_relative_path()) start = start.parent_path();
  for (fs::path place = start; !place.empty(); place = place.parent_path()) {
    struct stat status {};
    if (::stat(place.c_str(), &status) == 0 || errno != ENOENT) break;
    missing.insert(missing.begin(), place);
    if (place == place.parent_path() || !place.has_relative_path()) break;
  }
  for (const fs::path& place : missing) {
    if (::mkdir(place.c_str(), 0777) != 0 && errno != EEXIST) {
      return unusable(folder, "make", errno);
    }
    made_.push_back(place.string());
  }
  return lock(folder);
}

std::optional<Failure> FolderClaim::take_if_there(const std::string& folder) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  return lock(folder);
}

std::optional<Failure> FolderClaim::lock(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return unusable(folder, "open", errno);
  int locked = -1;
  do {
    locked = ::flock(descriptor, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  const int reason = errno;
  struct stat status {};
  if (locked != 0 || ::fstat(descriptor, &status) != 0) {
    ::close(descriptor);
    if (locked != 0 && reason == EWOULDBLOCK) return taken(folder);
    // No locks on this file system: written unclaimed, as before claims.
    return std::nullopt;
  }
  if (descriptor_ >= 0) {
    records::release_folder_lock(device_, inode_);
    ::close(descriptor_);
  }
  descriptor_ = descriptor;
  device_ = status.st_dev;
  inode_ = status.st_ino;
  records::hold_folder_lock(device_, inode_);
  return std::nullopt;
}

}  // namespace quarvel::cli
