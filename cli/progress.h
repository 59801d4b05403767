// A one-line progress bar with elapsed and remaining time on the standard
// error, drawn only when that is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace quarvel::cli {

// "m:ss" below an hour, "h:mm:ss" from there.
[[nodiscard]] std::string clock_text(double seconds);

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
