#include "cli/folderclaim.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace quarvel::cli {

namespace {

namespace fs = std::filesystem;

// FNV-1a over the text.
std::uint64_t text_hash(std::string_view text) {
  std::uint64_t hash = 14695981039346656037u;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211u;
  }
  return hash;
}

}  // namespace

FolderClaim::~FolderClaim() {
  if (socket_ >= 0) ::close(socket_);
}

std::optional<Failure> FolderClaim::take(const std::string& folder) {
  std::error_code error;
  fs::path place = fs::weakly_canonical(fs::absolute(folder, error), error);
  if (error) place = folder;
  // "out" and "out/" are one folder.
  std::string text = place.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  // Two hashes of the place, of its text forwards and backwards: a name of
  // fixed length that two folders all but never share.
  char name[64];
  const int length = std::snprintf(
      name, sizeof name, "quarvel-cli output %016llx%016llx",
      static_cast<unsigned long long>(text_hash(text)),
      static_cast<unsigned long long>(text_hash(std::string(text.rbegin(), text.rend()))));

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A leading NUL puts the name in the abstract namespace: no file, and gone
  // with the last descriptor that holds it.
  std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(length));
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 +
                                           static_cast<std::size_t>(length));
  const int claim = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (claim < 0) return std::nullopt;
  if (::bind(claim, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
    if (socket_ >= 0) ::close(socket_);
    socket_ = claim;
    return std::nullopt;
  }
  const int reason = errno;
  ::close(claim);
  if (reason != EADDRINUSE) return std::nullopt;
  return bad_setting("--output", "\"" + folder +
                                     "\" is being written by another quarvel-cli call; wait "
                                     "for it to end or choose another folder");
}

}  // namespace quarvel::cli
