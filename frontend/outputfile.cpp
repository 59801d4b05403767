#include "frontend/outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "frontend/numbertext.h"

namespace quarvel::frontend {

namespace {

std::string failure(const std::string& what, const std::string& path, int error_number) {
  return what + " " + path + ": " + std::strerror(error_number);
}

bool write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A name beside `path` that no other writer of this process or another uses.
std::string temporary_name(const std::string& path, int attempt) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path target(path);
  std::string name = ".";
  name += target.filename().string();
  name += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
          std::to_string(attempt);
  return (target.parent_path() / name).string();
}

}  // namespace

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

std::optional<std::string> write_file_atomically(const std::string& path,
                                                 std::string_view content) {
  if (path.empty()) return std::string("no file name given");
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = temporary_name(path, attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return failure("cannot create a temporary file for", path, errno);

  // From here on, any failure removes the temporary file so that nothing
  // incomplete is left behind.
  const auto abandon = [&](const char* what, int error_number) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return failure(what, path, error_number);
  };
  if (!write_all(fd, content)) return abandon("cannot write", errno);
  if (::fsync(fd) != 0) return abandon("cannot write", errno);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return abandon("cannot close", errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0) return abandon("cannot replace", errno);

  // Make the new name itself durable; a failure here loses nothing already written.
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const int folder =
      ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return std::nullopt;
}

OutputCells output_cells(std::span<const double> prediction) {
  OutputCells cells;
  cells.index.reserve(prediction.size());
  cells.value.reserve(prediction.size());
  std::array<char, kGeneralTextSize> text;
  for (std::size_t i = 0; i < prediction.size(); ++i) {
    cells.index.emplace_back(text.data(), write_general(static_cast<double>(i), text.data()));
    cells.value.emplace_back(text.data(), write_general(prediction[i], text.data()));
  }
  return cells;
}

}  // namespace quarvel::frontend
