#include "cli/progress.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace quarvel::cli {

std::string clock_text(double seconds) {
  const long long total = std::llround(seconds);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

void OutputLines::put(const std::string& text) {
  if (ended_) return;
  if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return;
  ended_ = true;
  if (errno != EPIPE) error_ = errno;
}

std::optional<std::string> OutputLines::error() const {
  if (error_ == 0) return std::nullopt;
  return std::string("cannot write to the standard output: ") + std::strerror(error_);
}

ProgressBar::ProgressBar(std::int32_t total)
    : enabled_(::isatty(STDERR_FILENO) == 1),
      total_(total),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::show(std::int32_t done) {
  if (!enabled_ || total_ <= 0) return;
  constexpr int kWidth = 30;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const int filled = static_cast<int>(static_cast<long long>(done) * kWidth / total_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '-');
  const std::string left = done > 0 ? clock_text(elapsed / done * (total_ - done)) : "?";
  const int length = std::fprintf(stderr, "\r[%s] %d/%d  elapsed %s  left %s ", bar.c_str(), done,
                                  total_, clock_text(elapsed).c_str(), left.c_str());
  shown_ = length > 0 ? length - 1 : 0;
  std::fflush(stderr);
}

void ProgressBar::clear() {
  if (!enabled_ || shown_ == 0) return;
  std::fprintf(stderr, "\r%*s\r", shown_, "");
  std::fflush(stderr);
  shown_ = 0;
}

void ProgressBar::finish() {
  if (enabled_ && total_ > 0) std::fputc('\n', stderr);
}

}  // namespace quarvel::cli
