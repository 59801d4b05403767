// Overlap detection on any pair of value columns: it reads only the cells it
// is given (the columns are sized exactly, so the address sanitizer sees any
// read past them) and its result is what the validation load defines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data/datafile.h"

using quarvel::data::detect_overlap;

namespace {

// Whether validation row i ends an overlap: it repeats the last training value
// and validation rows i-1 .. 1 repeat the training rows before it.
bool ends_overlap(const std::vector<std::string>& training,
                  const std::vector<std::string>& validation, std::size_t i) {
  const std::size_t t = training.size();
  if (validation[i] != training[t - 1]) return false;
  for (std::size_t j = 1; j < i; ++j) {
    const std::size_t back = i - j;  // rows after the matched one, counted back from it
    if (back > t - 1) return false;  // before the first training row
    if (validation[j] != training[t - 1 - back]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Input: cells separated by '\n'; a lone '|' line separates the training
  // column from the validation column. A small alphabet of cells makes
  // repeats, and so long walks, frequent.
  std::vector<std::string> training;
  std::vector<std::string> validation;
  std::vector<std::string>* column = &training;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view cell = text.substr(0, end);
    if (cell == "|" && column == &training) {
      column = &validation;
    } else {
      column->emplace_back(cell);
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  training.shrink_to_fit();
  validation.shrink_to_fit();

  const std::int32_t overlap = detect_overlap(training, validation);
  if (overlap < 0 || static_cast<std::size_t>(overlap) > validation.size()) std::abort();
  if (training.empty()) {
    if (overlap != 0) std::abort();
    return 0;
  }
  // The first validation row that ends an overlap, or none.
  std::int32_t expected = 0;
  for (std::size_t i = 0; i < validation.size(); ++i) {
    if (ends_overlap(training, validation, i)) {
      expected = static_cast<std::int32_t>(i + 1);
      break;
    }
  }
  if (overlap != expected) std::abort();
  return 0;
}
