// A forecast with its prediction bands as a file: intervals-K.txt of a run and
// ensemble-forecast.txt of many runs, written by the runner and read back by
// anything that shows them.
//
// The format, CSV with LF line ends: a header line
//     index,NAME,lower_L1,upper_L1,lower_L2,upper_L2,...
// (NAME "forecast" for a run, "median" for an ensemble; each level L as its
// shortest decimal text: "80", "99.5"), then one row per step: the point index
// (consecutive, from the first forecast point of the validation part on, the
// steps past the data after it), the point forecast, then the lower and upper
// edge of each band. Numbers are written with 17 significant digits, so that
// they read back as the same doubles; "nan", "inf" and "-inf" where a
// simulated path ran away. The band fields are empty on every row when there
// are no bands (a model with too few one-step residuals to draw from).
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "forecasting/intervals.h"

namespace quarvel::forecasting {

struct BandTable {
  std::string point_name = "forecast";
  std::int64_t first_index = 0;
  std::vector<double> point;   // per step
  std::vector<double> levels;  // of the bands, in their columns' order
  std::vector<Band> bands;     // one per level, each with every step; or none
};

// The parts of `line` between `separator`s.
[[nodiscard]] std::vector<std::string_view> split_fields(std::string_view line, char separator);

// A number that is the whole of `text`, as these files are read back: no
// blanks, no "+", and for a double "nan", "inf" and "-inf" too.
template <class Number>
[[nodiscard]] std::optional<Number> read_exact(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A level as its columns name it: "80", "99.5".
[[nodiscard]] std::string level_text(double level);

// A double that reads back as itself: 17 significant digits, "nan", "inf", "-inf".
[[nodiscard]] std::string exact_text(double value);

[[nodiscard]] std::string band_table_text(const BandTable& table);

// Reads such a file; nullopt when it is whole, else what is wrong.
[[nodiscard]] std::optional<std::string> parse_band_table(std::string_view text, BandTable& table);

// The table's values (point forecast and band edges) in the units of a series
// scaled by its minimum `low` and maximum `high`.
void to_original_units(BandTable& table, double low, double high);

}  // namespace quarvel::forecasting
