// A locale whose decimal separator is a comma, set for the whole process while
// it lives, as a window's process takes the user's locale; the one before is
// put back after.
#pragma once

#include <clocale>
#include <string>

namespace quarvel::testing {

class CommaDecimalLocale {
 public:
  CommaDecimalLocale() {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    saved_ = previous != nullptr ? previous : "C";
    set_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr ||
           std::setlocale(LC_ALL, "fr_FR.UTF-8") != nullptr;
  }
  CommaDecimalLocale(const CommaDecimalLocale&) = delete;
  CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
  ~CommaDecimalLocale() { std::setlocale(LC_ALL, saved_.c_str()); }

  // False when no such locale is installed (the test is then skipped).
  [[nodiscard]] bool set() const { return set_; }

 private:
  std::string saved_;
  bool set_ = false;
};

}  // namespace quarvel::testing
