// What the runner tells while it runs: its lines on the standard output, and
// a one-line progress bar with elapsed and remaining time on the standard
// error, drawn only when that is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quarvel::cli {

// "m:ss" below an hour, "h:mm:ss" from there.
[[nodiscard]] std::string clock_text(double seconds);

// The standard output, written and flushed text by text. A reader that went
// away (a closed pipe; SIGPIPE is ignored) ends the lines, not the run; any
// other write error ends them too and is kept, to be reported once the run's
// files are written.
class OutputLines {
 public:
  void put(const std::string& text);
  // "cannot write to the standard output: ..." after a write error.
  [[nodiscard]] std::optional<std::string> error() const;

 private:
  bool ended_ = false;
  int error_ = 0;
};

class ProgressBar {
 public:
  explicit ProgressBar(std::int32_t total);

  void show(std::int32_t done);
  // Blanks the bar so that a line on the standard output starts at the left
  // edge when both streams share the terminal.
  void clear();
  void finish();

 private:
  bool enabled_;
  std::int32_t total_;
  int shown_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quarvel::cli
