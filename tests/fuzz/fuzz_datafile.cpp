// Data-file text: any bytes give one finite-or-infinite value per non-empty
// line, and the leading number of a line never depends on what follows it
// beyond the 255th character.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "datafile.h"
#include "numbertext.h"

using quarvel::frontend::kMaxLineLength;
using quarvel::frontend::leading_number;
using quarvel::frontend::parse_data_text;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto values = parse_data_text(text);
  // Never more points than lines; no point is ever NaN.
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  if (values.size() > lines) std::abort();
  for (const double v : values) {
    if (std::isnan(v)) std::abort();
  }

  // The whole text read as one line: the number is taken from its start only,
  // so cutting the text after the number cannot change it.
  const double whole = leading_number(text);
  if (std::isnan(whole)) std::abort();
  if (text.size() > kMaxLineLength) {
    const double cut = leading_number(text.substr(0, kMaxLineLength));
    if (std::isnan(cut)) std::abort();
  }
  // A single line without a line end, Ctrl-Z or carriage return is one point
  // with exactly the leading number of its first 255 characters.
  if (!text.empty() && text.find_first_of("\n\x1A") == std::string_view::npos) {
    const double expected = leading_number(text.substr(0, kMaxLineLength));
    if (values.size() != 1 || !(values[0] == expected)) std::abort();
  }
  return 0;
}
