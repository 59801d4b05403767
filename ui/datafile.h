// Data files (one value per non-empty line) and the two-column grids they fill.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarvel::frontend {

inline constexpr std::size_t kMaxLineLength = 255;

enum class DataFileError { none, cannot_open, not_a_file, read_error };

struct DataFileResult {
  DataFileError error = DataFileError::none;
  std::string reason;          // the system's description when error != none
  std::vector<double> values;  // one per non-empty line
};

// Reads a data file: LF or CR LF line ends, Ctrl-Z ends the text, empty lines
// skipped, a line longer than 255 characters yields one point from its first
// 255 characters, the value of a line is its leading number.
[[nodiscard]] DataFileResult read_data_file(const std::string& path);

// The same rules applied to text already in memory.
[[nodiscard]] std::vector<double> parse_data_text(std::string_view text);

// A two-column grid as the window shows it: time texts and value texts, one per row.
struct GridColumns {
  std::vector<std::string> time;
  std::vector<std::string> value;
  [[nodiscard]] std::size_t rows() const noexcept { return value.size(); }
};

// Cells for loaded points: times first_time, first_time + 1, ..., values in the
// general number format.
[[nodiscard]] GridColumns make_grid(std::span<const double> values, std::int64_t first_time);

// True when every cell (time column, then value column) is a number.
[[nodiscard]] bool check_grid_values(const GridColumns& grid);

// The overlap the validation load detects, comparing value texts exactly. The
// walk never reads before the first training row (reaching it is a mismatch).
[[nodiscard]] std::int32_t detect_overlap(std::span<const std::string> training_values,
                                          std::span<const std::string> validation_values);

}  // namespace quarvel::frontend
