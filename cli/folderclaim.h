// One call at a time in an --output folder: two calls writing one folder at
// once would leave files of both (a single run's leftovers removed by the
// other, or run folders of two sweeps under one runs.csv).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"

namespace quarvel::cli {

// A claim on a folder itself: a lock (flock) on an open descriptor of the
// folder, held until the claim goes or the process ends, however it ends. It
// is the folder's, not its name's: every path that reaches the folder (a
// link, a bind mount, another namespace of this host) meets it, and it leaves
// no file behind. Processes forked meanwhile hold it too. The writing step of
// this process takes a claimed folder as locked already. Calls on other
// machines see it where the file system shares locks between its clients
// (NFS does, through its lock service); where it keeps them on each machine,
// they do not.
class FolderClaim {
 public:
  FolderClaim() = default;
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  ~FolderClaim();

  // Claims `folder` for this call, making it (and the folders it lies in)
  // when missing; the refusal, status 2, when another call holds it or it
  // cannot be made. A folder made here that is still empty when the claim
  // goes is removed, so that a call refused later leaves nothing new. A file
  // system without locks leaves the folder unclaimed.
  [[nodiscard]] std::optional<Failure> take(const std::string& folder);

  // Claims `folder` when it exists; nothing when it does not.
  [[nodiscard]] std::optional<Failure> take_if_there(const std::string& folder);

  // Whether the claim holds a folder.
  [[nodiscard]] bool held() const { return descriptor_ >= 0; }

 private:
  std::optional<Failure> lock(const std::string& folder);

  int descriptor_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::vector<std::string> made_;  // the folders made for the claim, outermost first
};

}  // namespace quarvel::cli
