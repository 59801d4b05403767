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

// A line the format reads only in part or as a stand-in: the window loads it
// all the same (no number gives 0.0, a long line its first 255 characters, a
// lone carriage return is an ordinary character); quarvel-cli refuses it.
enum class LineProblem {
  none,
  nul_byte,     // a NUL byte: not a text file (binary, or UTF-16)
  too_long,     // more than kMaxLineLength characters
  lone_return,  // a carriage return inside the line (old Mac line ends)
  no_number,    // does not start with a decimal number ("nan", "inf", letters, blanks)
};

struct DoubtfulLine {
  LineProblem problem = LineProblem::none;
  std::size_t line = 0;    // 1-based, empty lines counted, as an editor shows it
  std::size_t length = 0;  // characters of the line without its line end
  std::string excerpt;     // its first characters, bytes outside printable ASCII as \xNN
};

struct DataFileResult {
  DataFileError error = DataFileError::none;
  std::string reason;          // the system's description when error != none
  std::vector<double> values;  // one per non-empty line
  std::size_t size = 0;        // bytes read
  DoubtfulLine doubtful;       // the first line the format reads only in part
};

// The doubtful line in words, e.g. `line 2 does not start with a decimal number
// ("nan")`; empty for LineProblem::none.
[[nodiscard]] std::string describe_doubtful_line(const DoubtfulLine& doubtful);

// Reads a data file: LF or CR LF line ends, Ctrl-Z ends the text, empty lines
// skipped, a line longer than 255 characters yields one point from its first
// 255 characters, the value of a line is its leading number.
[[nodiscard]] DataFileResult read_data_file(const std::string& path);

// The same rules applied to text already in memory.
[[nodiscard]] std::vector<double> parse_data_text(std::string_view text);

// The first line of the text (up to a Ctrl-Z) that the rules read only in part
// or as a stand-in; problem none when every non-empty line is a plain number line.
[[nodiscard]] DoubtfulLine find_doubtful_line(std::string_view text);

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
