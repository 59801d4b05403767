// Data files (one value per non-empty line) and the two-column grids they fill.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dataset.h"

namespace quarvel::data {

inline constexpr std::size_t kMaxLineLength = 255;

// No series the engine can hold fills more: 40000 lines of 255 characters and
// CR LF. The reader stops there, so that a device or a huge file cannot fill
// the memory before the first line is even looked at.
inline constexpr std::size_t kMaxDataFileBytes =
    static_cast<std::size_t>(kDataSetCapacity) * (kMaxLineLength + 2);

enum class DataFileError {
  none,
  cannot_open,
  not_a_file,  // a folder
  read_error,
  too_large,  // more than kMaxDataFileBytes before a Ctrl-Z
};

// How the format reads a line other than as a plain number line. Every kind is
// read all the same (parse_data_text): the value of a line is its leading
// number, 0.0 when there is none, from its first kMaxLineLength characters.
// The window does not load a file with a NUL byte, loads any other and names
// its first line of the kinds too_long .. no_number in a message (it says
// nothing of trailing_text). The runner refuses a file with a line of the
// kinds nul_byte .. no_number and warns about trailing_text lines.
enum class LineProblem {
  none,
  nul_byte,       // a NUL byte: not a text file (binary, or UTF-16)
  too_long,       // more than kMaxLineLength characters: only the first ones are read
  lone_return,    // a carriage return inside the line (old Mac line ends): all one line
  no_number,      // does not start with a decimal number ("nan", "inf", letters, blanks): 0.0
  trailing_text,  // text after the leading number ("1,5", "0x1A", "5\t6", "1 2"): ignored
};

struct DoubtfulLine {
  LineProblem problem = LineProblem::none;
  std::size_t line = 0;    // 1-based, empty lines counted, as an editor shows it
  std::size_t length = 0;  // characters of the line without its line end
  std::string excerpt;     // its first characters, bytes outside printable ASCII as \xNN
  double value = 0.0;      // what the line was read as
};

// The lines whose leading number is followed by other text (problem
// trailing_text), which the format ignores: a file in decimal commas reads as
// whole numbers.
struct TrailingText {
  std::size_t lines = 0;  // how many such lines the file holds
  DoubtfulLine first;     // the first of them
};

struct DataFileResult {
  DataFileError error = DataFileError::none;
  std::string reason;          // the system's description when error != none; for too_large
                               // the words after the file's name
  std::vector<double> values;  // one per non-empty line
  std::size_t size = 0;        // bytes read (reading stops after a Ctrl-Z)
  DoubtfulLine doubtful;       // the first line of the kinds nul_byte .. no_number
  TrailingText trailing_text;  // lines with text after their number
};

// The doubtful line in words, e.g. `line 2 does not start with a decimal number
// ("nan")`; empty for LineProblem::none.
[[nodiscard]] std::string describe_doubtful_line(const DoubtfulLine& doubtful);

// The text of a file, read with a bound so that a device or a huge file
// cannot fill the memory before the first line is looked at.
struct FileText {
  DataFileError error = DataFileError::none;
  std::string reason;  // the system's description for cannot_open, not_a_file and
                       // read_error; for too_large the words after the file's name
  std::string text;    // empty unless error is none
};

// The largest text a series can fill: `lines` lines ("lines" or "rows", as
// `line_word` says) of `line_length` characters and CR LF.
struct TextBound {
  std::size_t lines = 0;
  std::size_t line_length = 0;
  std::string_view line_word = "lines";
  [[nodiscard]] constexpr std::size_t bytes() const noexcept { return lines * (line_length + 2); }
};

// Reads at most the bound's bytes of the file at `path`: error too_large when
// it holds more. With `end_mark`, reading stops after the chunk in which that
// character appears, and a text that holds it is never too large (the text
// ends there, whatever follows).
[[nodiscard]] FileText read_file_text(const std::string& path, const TextBound& bound,
                                      std::optional<char> end_mark = std::nullopt);

// Reads a data file: LF or CR LF line ends, a Ctrl-Z ends the text, empty
// lines skipped, every other line one value as parse_data_text reads it. Reads
// at most kMaxDataFileBytes (then error too_large, nothing else filled in);
// the lines read other than as plain number lines are reported, not refused.
[[nodiscard]] DataFileResult read_data_file(const std::string& path);

// The values of text already in memory, one per non-empty line up to a Ctrl-Z:
// the leading number of the line's first kMaxLineLength characters, 0.0 when
// it has none.
[[nodiscard]] std::vector<double> parse_data_text(std::string_view text);

// The first line of the text (up to a Ctrl-Z) of the kinds nul_byte ..
// no_number; problem none when there is none.
[[nodiscard]] DoubtfulLine find_doubtful_line(std::string_view text);

// The lines of the text (up to a Ctrl-Z) of the kind trailing_text.
[[nodiscard]] TrailingText find_trailing_text(std::string_view text);

// A two-column grid as the window shows it: time texts and value texts, one per row.
struct GridColumns {
  std::vector<std::string> time;
  std::vector<std::string> value;
  [[nodiscard]] std::size_t rows() const noexcept { return value.size(); }
};

// Cells for loaded points: times first_time, first_time + 1, ..., values in the
// general number format.
[[nodiscard]] GridColumns make_grid(std::span<const double> values, std::int64_t first_time);

// The values of a grid's value column as numbers (0 for a cell that is none).
[[nodiscard]] std::vector<double> grid_values(const GridColumns& grid);

// True when every cell (time column, then value column) is a number.
[[nodiscard]] bool check_grid_values(const GridColumns& grid);

// The overlap the validation load detects, comparing value texts exactly: 1
// when the first validation row repeats the last training row, else 1 + the
// shortest L for which validation rows 1..L repeat the last L training rows
// (0 when there is none). Linear in the two lengths.
[[nodiscard]] std::int32_t detect_overlap(std::span<const std::string> training_values,
                                          std::span<const std::string> validation_values);

}  // namespace quarvel::data
