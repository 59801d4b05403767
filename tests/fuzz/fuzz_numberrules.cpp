// The text-to-number rules on any text: no crash, parse_number gives only
// finite values, and parse_whole_number agrees with a plain reading of the
// same text within int32.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "data/numbertext.h"

using quarvel::data::parse_number;
using quarvel::data::parse_whole_number;

namespace {

// Decimal whole numbers only: blanks, sign, digits, nothing else.
std::optional<std::int64_t> plain_decimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  // Held at 2^33 once beyond int32 so that any length of digits stays out of range.
  constexpr std::int64_t kBeyond = std::int64_t{1} << 33;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kBeyond);
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const std::optional<double> value = parse_number(text)) {
    if (!std::isfinite(*value)) std::abort();
    // A number has a digit and holds nothing but blanks, sign, digits, ".", exponent.
    bool digit = false;
    for (const char c : text) {
      digit = digit || (c >= '0' && c <= '9');
      if (!(c == ' ' || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E' ||
            (c >= '0' && c <= '9'))) {
        std::abort();
      }
    }
    if (!digit) std::abort();
  }

  const std::optional<std::int32_t> whole = parse_whole_number(text);
  if (const std::optional<std::int64_t> expected = plain_decimal(text)) {
    const bool in_range = *expected >= INT32_MIN && *expected <= INT32_MAX;
    if (in_range != whole.has_value()) std::abort();
    if (whole && *whole != *expected) std::abort();
  }
  // A whole decimal number is also a number, with the same value.
  if (whole && plain_decimal(text)) {
    const std::optional<double> as_number = parse_number(text);
    if (!as_number || *as_number != static_cast<double>(*whole)) std::abort();
  }
  return 0;
}
