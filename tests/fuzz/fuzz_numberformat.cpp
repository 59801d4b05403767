// The general number format and the cell-text check: every finite double,
// written as a grid cell, reads back as a number whose own text is the same
// cell; non-finite values give texts the check refuses.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "data/numbertext.h"

using quarvel::data::format_general;
using quarvel::data::parse_number;

namespace {

void check_round_trip(double x) {
  const std::string text = format_general(x);
  // Six digits, a sign, "0." and three zeros, or an exponent: never longer.
  if (text.empty() || text.size() > 14) std::abort();
  const std::optional<double> parsed = parse_number(text);
  if (!std::isfinite(x)) {
    if (parsed) std::abort();
    return;
  }
  if (!parsed || !std::isfinite(*parsed)) std::abort();
  if (format_general(*parsed) != text) std::abort();
  // Six significant digits: the parsed value lies within half a unit of the
  // sixth digit of x (relative 5e-6, with slack for the binary representation);
  // a denormal is read back to the nearest denormal, which may lie as far again.
  const double tolerance = std::fabs(x) < DBL_MIN ? 1.000001e-5 : 5.000001e-6;
  if (std::fabs(*parsed - x) > tolerance * std::fabs(x)) std::abort();
  if ((x < 0) != (*parsed < 0) && *parsed != 0.0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Every 8 bytes are the bit pattern of one double, so the whole range,
  // denormals and both infinities and NaNs included, is reachable.
  for (std::size_t offset = 0; offset + sizeof(double) <= size; offset += sizeof(double)) {
    double x;
    std::memcpy(&x, data + offset, sizeof x);
    check_round_trip(x);
  }
  // The same bytes as cell text: whatever the check accepts formats and reads
  // back the same way.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const std::optional<double> value = parse_number(text)) check_round_trip(*value);
  return 0;
}
