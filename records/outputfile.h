// The output file (one line per output-grid row, "index,value" and CR LF),
// and writing output files all or nothing.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarvel::records {

// The exact file content for the rows (column 0 texts, column 1 texts).
[[nodiscard]] std::string output_file_text(std::span<const std::string> index_cells,
                                           std::span<const std::string> value_cells);

// The system calls output files are written with. Tests derive from it to make
// a call fail as a full disk or a failing device would, or to send a signal at
// a given step.
class FileCalls {
 public:
  FileCalls() = default;
  FileCalls(const FileCalls&) = delete;
  FileCalls& operator=(const FileCalls&) = delete;
  virtual ~FileCalls() = default;

  virtual int open(const char* path, int flags, mode_t mode);
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  virtual int fsync(int fd);
  virtual int close(int fd);
  virtual int link(const char* from, const char* to);
  virtual int rename(const char* from, const char* to);
  virtual int unlink(const char* path);
  virtual int mkdir(const char* path, mode_t mode);
  virtual int rmdir(const char* path);
};

// The calls as the system makes them.
[[nodiscard]] FileCalls& system_file_calls();

// Where writing `path` leads, and whether it may. A symbolic link is followed
// to its target, which is replaced and the link kept. A folder, a device, a
// FIFO or socket, a link that leads nowhere and a file this user may not write
// are refused: such a file is not replaced by a regular one.
struct OutputTarget {
  std::string path;                    // the file replaced: `path`, or a link's target
  bool exists = false;                 // a regular file is there now
  std::optional<std::string> problem;  // why it cannot be written, to follow its quoted name
};
[[nodiscard]] OutputTarget resolve_output_target(const std::string& path);

struct OutputFile {
  std::string path;
  std::string content;
};

// Folders this process keeps locked (flock) beyond one writing step, as a
// call's claim on its output folder does: the writing step takes them as
// locked already rather than waiting for itself. A folder may be held more
// than once; each hold is let go once.
void hold_folder_lock(dev_t device, ino_t inode);
void release_folder_lock(dev_t device, ino_t inode);

// Writes every file all or nothing. Each is first written completely to a
// temporary file beside its target and flushed to the disk; only when all are
// complete are they renamed over their targets, and a failed rename puts back
// what the earlier ones replaced. No temporary file is left behind either way.
// A file that is replaced keeps its permissions. The target folders are locked
// (flock) for the whole step, so that two writers of the same files replace
// them one set after the other. `interrupted`, when given, is asked while
// waiting for a lock and once more before the first rename: true abandons the
// step, changing nothing. nullopt on success, else the reason.
[[nodiscard]] std::optional<std::string> write_files_atomically(
    std::span<const OutputFile> files, FileCalls& calls = system_file_calls(),
    const std::function<bool()>& interrupted = {});

// One file, all or nothing, as above.
[[nodiscard]] std::optional<std::string> write_file_atomically(const std::string& path,
                                                               std::string_view content);

// Output-grid cells of a prediction: index texts first, first + 1, ... and
// value texts.
struct OutputCells {
  std::vector<std::string> index;
  std::vector<std::string> value;
};
[[nodiscard]] OutputCells output_cells(std::span<const double> prediction, std::int64_t first = 0);

}  // namespace quarvel::records
