// Data-file text: any bytes give one value (never NaN) per non-empty line, and
// the check for doubtful lines agrees with the reading: where it finds none,
// every point is the leading number of its whole line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/datafile.h"
#include "data/numbertext.h"

using quarvel::data::kMaxLineLength;
using quarvel::data::leading_number;
using quarvel::data::parse_data_text;

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

  // The loaded grid passes the Start check exactly when no value is infinite:
  // every cell the load writes is a number unless it reads "INF" or "-INF".
  if (values.size() <= 512) {
    bool finite = true;
    for (const double v : values) finite = finite && std::isfinite(v);
    const quarvel::data::GridColumns grid = quarvel::data::make_grid(values, 0);
    if (grid.rows() != values.size()) std::abort();
    if (quarvel::data::check_grid_values(grid) != finite) std::abort();
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

  // The line check agrees with the reading: without a doubtful line, every
  // point is the leading number of a whole line.
  const quarvel::data::DoubtfulLine doubtful = quarvel::data::find_doubtful_line(text);
  if (doubtful.problem == quarvel::data::LineProblem::none) {
    if (doubtful.line != 0 || !doubtful.excerpt.empty()) std::abort();
    std::string_view rest = text.substr(0, text.find('\x1A'));
    std::size_t point = 0;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty()) continue;
      // Such a line holds no NUL and no carriage return, starts with a number
      // and is short enough to be read whole.
      if (line.size() > kMaxLineLength ||
          line.find_first_of(std::string_view("\0\r", 2)) != std::string_view::npos) {
        std::abort();
      }
      if (!quarvel::data::starts_with_number(line)) std::abort();
      if (point >= values.size() || !(values[point] == leading_number(line))) std::abort();
      ++point;
    }
    if (point != values.size()) std::abort();
  } else {
    if (doubtful.line < 1 || doubtful.line > lines || doubtful.length == 0) std::abort();
    if (doubtful.excerpt.size() > 24 * 4 + 3) std::abort();
    for (const char c : doubtful.excerpt) {
      if (c < ' ' || c > '~') std::abort();
    }
  }
  return 0;
}
