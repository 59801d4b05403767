// One call at a time in an --output folder: two calls writing one folder at
// once would leave files of both (a single run's leftovers removed by the
// other, or run folders of two sweeps under one runs.csv).
#pragma once

#include <optional>
#include <string>

#include "cli/options.h"

namespace quarvel::cli {

// A claim on a folder by its place (absolute, with the links of the part that
// exists resolved), held until the claim goes or the process ends, however it
// ends. It is a name in the system's abstract socket namespace rather than a
// lock on the folder or a lock file in it: the writing step locks the folder
// itself for each set of files, and a lock file would be left behind by a
// call ended by a signal. Processes forked meanwhile hold it too. It is seen
// by the calls of this machine (of its network namespace), not by those of
// other machines writing a shared folder.
class FolderClaim {
 public:
  FolderClaim() = default;
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  ~FolderClaim();

  // Claims `folder` (which need not exist yet) for this call; the refusal,
  // status 2, when another call holds it. A system that gives no such names
  // leaves the folder unclaimed.
  [[nodiscard]] std::optional<Failure> take(const std::string& folder);

 private:
  int socket_ = -1;
};

}  // namespace quarvel::cli
