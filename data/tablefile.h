// Tables: CSV, TSV and the like with a header line and a time column, as R's
// write.csv, pandas' to_csv and spreadsheets export them. One column of the
// table is the series; another, optionally, its time stamps.
//
// How a table is read:
// - Text: UTF-8 (a byte order mark is skipped; UTF-16 and NUL bytes are
//   refused), lines ended by LF, CR LF or CR. Lines counted as an editor
//   counts them, from 1, blank ones included.
// - Fields: split at the delimiter; blanks around a field are dropped. A field
//   may be quoted ("..."; a doubled quote inside stands for one quote, and a
//   quoted field may span lines), and only blanks may follow its closing
//   quote. A quote inside an unquoted field is an ordinary character.
// - Blank lines, and lines of nothing but empty unquoted fields (";;;" as
//   spreadsheets leave them), are skipped.
// - Every line has as many fields as the first; one more, empty and unquoted,
//   at the end of a line is a trailing delimiter and dropped (unless a line
//   among the first kDetectionLines fills that column). Unless the delimiter
//   is a comma, a header one field short of every other line names the
//   columns after the first (R's write.table leaves the row names' column
//   unnamed).
// - Values: the value column's cells read by parse_number's rules (a decimal
//   point, an optional exponent; so a table holding the numbers of a data file
//   gives exactly the same doubles); with a decimal comma, a comma stands for
//   the point and a point is refused (it may separate thousands). With a
//   thousands separator (given, never detected) the digits before the decimal
//   separator may be grouped by threes with it: 1,046.5, or 1.046,5 with the
//   decimal comma that a point as separator implies; groups of another length
//   are refused. Empty cells, NA, N/A, #N/A and NaN (any case) are missing
//   values.
// - Time stamps: see data/timestamps.h.
//
// Detection, which a caller may override option by option, looks at the first
// kDetectionLines lines:
// - delimiter: of tab, semicolon, comma and runs of blanks, those that split
//   every line into the same number of fields, more than one, and of these the
//   one under which the most cells read as numbers, missing values or time
//   stamps (the first in that order on a tie: "1949-01;112,5" is semicolon-
//   delimited with a decimal comma, "1700 5,5" blank-delimited); when none
//   does, the first of tab, semicolon, comma in the first line (so that the
//   reader names the ragged line); else none (one column, lines not split);
// - header: the first line is a header when one of its fields is neither a
//   number, a missing value nor a time stamp, while a later line holds a number
//   or a time stamp in that column (or there is no later line);
// - decimal comma: when the delimiter is not a comma and a data cell reads as
//   a number with its comma taken for the point. The table is refused, with
//   the line and column of a cell, where the value column's commas may as well
//   separate thousands: every comma in it stands where a thousands separator
//   would (1 to 3 digits not led by 0, then groups of three: 1,046, 12,345), or
//   a cell so written lies next to a plain whole number of 3 or more digits
//   that a decimal comma puts 100 times or more above it and a thousands
//   separator less than 10 times apart from it (995, then 1,046). Giving the
//   decimal comma or a thousands separator reads such a table as told;
// - value column: the last column (other than the time column) whose first
//   value, missing ones passed over, is a number;
// - time column (only when asked to detect it): the first column, other than
//   the value column, of four-digit years or of months, dates or date-times in
//   time order.
//
// Every refusal names the line and the column, and loads nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/datafile.h"
#include "data/timestamps.h"

namespace quarvel::data {

// Wider lines than a data file's: a table may hold several columns. The
// reader stops past this many bytes, before the text is looked at.
inline constexpr std::size_t kMaxTableLineLength = 1022;
inline constexpr std::size_t kMaxTableFileBytes =
    static_cast<std::size_t>(kDataSetCapacity) * (kMaxTableLineLength + 2);
// No series the engine can hold has more rows.
inline constexpr std::size_t kMaxTableRows = static_cast<std::size_t>(kDataSetCapacity);
// Lines that detection looks at.
inline constexpr std::size_t kDetectionLines = 100;

enum class Delimiter {
  none,        // one column: lines are not split
  comma,       // ,
  semicolon,   // ;
  tab,         // \t
  whitespace,  // runs of blanks and tabs; blanks at the start and end of a line ignored
};

// "comma", "semicolon", "tab", "whitespace", "none (one column)".
[[nodiscard]] std::string_view delimiter_name(Delimiter delimiter);

// A column as a caller names it.
struct ColumnChoice {
  enum class Kind {
    none,            // no such column
    detect,          // as detection finds it
    name,            // by its header name
    number,          // by its number, counted from 1
    name_or_number,  // what a user typed: a header name if one matches, else a number
  };
  Kind kind = Kind::none;
  std::string name;
  std::size_t number = 0;

  [[nodiscard]] static ColumnChoice no_column() { return {}; }
  [[nodiscard]] static ColumnChoice detected() { return {Kind::detect, {}, 0}; }
  [[nodiscard]] static ColumnChoice by_name(std::string name) {
    return {Kind::name, std::move(name), 0};
  }
  [[nodiscard]] static ColumnChoice by_number(std::size_t number) {
    return {Kind::number, {}, number};
  }
  // What a user typed (`--column passengers`, `--column 2`): digits alone are
  // a number unless a header field has exactly that name; anything else a name.
  [[nodiscard]] static ColumnChoice from_text(std::string_view text);
};

enum class MissingValues {
  refuse,       // a missing value is refused with its line and column
  interpolate,  // interior gaps filled on the straight line between their neighbours
                // (by row); a missing first or last value is still refused
};

// How to read a table; nullopt: detect.
// What separates thousands in the value column's numbers.
enum class ThousandsSeparator {
  none,   // nothing: the digits are not grouped
  comma,  // 1,046.5: with the decimal point
  point,  // 1.046,5: with the decimal comma
};

// "none", "comma", "point".
[[nodiscard]] std::string_view thousands_separator_name(ThousandsSeparator separator);

// "refuse", "interpolate".
[[nodiscard]] std::string_view missing_values_name(MissingValues missing);

// The words a table's reading is given in (--delimiter, --thousands-separator,
// --missing) back to what they name; nullopt for any other word. A delimiter
// is one of "comma", "semicolon", "tab", "whitespace".
[[nodiscard]] std::optional<Delimiter> delimiter_of_name(std::string_view name);
[[nodiscard]] std::optional<ThousandsSeparator> thousands_separator_of_name(std::string_view name);
[[nodiscard]] std::optional<MissingValues> missing_values_of_name(std::string_view name);

struct TableOptions {
  std::optional<Delimiter> delimiter;
  std::optional<bool> header;
  std::optional<bool> decimal_comma;  // true needs a delimiter other than the comma
  // A comma settles the decimal point, a point the decimal comma: a
  // decimal_comma given otherwise is refused.
  ThousandsSeparator thousands_separator = ThousandsSeparator::none;
  ColumnChoice value_column = ColumnChoice::detected();  // none reads as detect: a table
                                                         // always has a value column
  ColumnChoice time_column = ColumnChoice::no_column();
  MissingValues missing = MissingValues::refuse;
};

// How the table was read, and which of it was detected rather than given.
struct TableLayout {
  Delimiter delimiter = Delimiter::none;
  bool header = false;
  bool decimal_comma = false;
  ThousandsSeparator thousands_separator = ThousandsSeparator::none;
  std::size_t columns = 0;
  bool delimiter_detected = false;
  bool header_detected = false;
  bool decimal_comma_detected = false;
};

// The layout in words, e.g. "comma-delimited (detected), a header line
// (detected), decimal point (detected), 2 columns"; a thousands separator
// follows the decimal separator ("decimal point, thousands separated by
// commas").
[[nodiscard]] std::string describe_layout(const TableLayout& layout);

enum class TableProblem {
  none,
  file,              // the file cannot be read: see TableError::file_error
  not_text,          // a NUL byte, or UTF-16
  bad_options,       // a decimal comma with the comma as delimiter, one column for both uses,
                     // a thousands separator that contradicts the decimal comma given
  unclosed_quote,    // a quoted field runs to the end of the text
  text_after_quote,  // other text than blanks between a closing quote and the delimiter
  ragged_row,        // a line with more or fewer fields than the table's columns
  no_such_column,    // the value or time column chosen does not exist
  no_value_column,   // detection found no column of numbers
  not_a_number,      // a value cell that is not a number
  ambiguous_comma,   // a detected decimal comma whose commas may as well separate thousands:
                     // the caller says how to give the decimal comma or the separator
  missing_value,     // a missing value refused (or one at the start or end when filling)
  bad_time_stamp,    // a time cell that is no stamp, of another kind, or out of time order
  no_values,         // no data rows
  too_many_rows,     // more rows than a series can hold
};

struct TableError {
  TableProblem problem = TableProblem::none;
  DataFileError file_error = DataFileError::none;  // problem file: which
  std::size_t line = 0;                            // 1-based; 0 when no line is concerned
  std::size_t column = 0;                          // 1-based; 0 when no column is concerned
  std::string column_name;                         // the header's name of that column, if any
  // The whole message, to follow the file's name and ": ", e.g. `line 7,
  // column 2 ("passengers"): "abc" is not a number`. For problem file the
  // system's description, or for too_large the words after the file's name.
  std::string message;
};

// A table read: the value column as a series, its time stamps if asked for.
struct Table {
  TableLayout layout;
  std::vector<std::string> column_names;  // the header's fields; empty without a header
  std::size_t value_column = 0;           // 1-based
  std::size_t time_column = 0;            // 1-based; 0 when there is none
  std::vector<double> values;             // one per data row
  std::vector<std::size_t> lines;         // the line of each data row
  std::optional<TimeColumn> time;         // the time column's stamps, one per data row
  std::size_t filled = 0;                 // missing values filled by interpolation
  // What the reader did beyond reading, for the user: the fill count and
  // where the first fill was. Empty when there is nothing to tell.
  std::string note;
};

struct TableResult {
  std::optional<Table> table;  // nullopt when refused
  TableError error;            // problem none when read
};

// The text of a table file, up to kMaxTableFileBytes: error too_large past
// that (reason: the words after the file's name), cannot_open, not_a_file,
// read_error with the system's description, as read_data_file gives them.
using TableText = FileText;
[[nodiscard]] TableText read_table_file_text(const std::string& path);

// Reads a table from text in memory (a dialog reads the file once, then
// previews and reads it with the options the user picks).
[[nodiscard]] TableResult read_table(std::string_view text, const TableOptions& options = {});

// Reads a table file: read_table_file_text, then read_table.
[[nodiscard]] TableResult read_table_file(const std::string& path,
                                          const TableOptions& options = {});

// The first rows of a table as a dialog shows them, with the layout the
// options and detection give and the columns detection suggests.
struct TablePreview {
  TableLayout layout;
  std::vector<std::string> column_names;       // the header's fields; empty without a header
  std::vector<std::vector<std::string>> rows;  // the first data rows, split into fields
  std::vector<std::size_t> lines;              // the line of each of them
  std::size_t value_column = 0;  // the one the options name, else detection's; 1-based, 0: none
  std::size_t time_column = 0;   // the one the options name, else detection's, even when the
                                 // options ask for no time column; 1-based, 0: none
  // What stops the rows shown from being read, if anything: a NUL byte, bad
  // options, an unclosed quote (the rows before it are shown), a column that
  // does not exist, no column of numbers.
  TableError error;
};
[[nodiscard]] TablePreview preview_table(std::string_view text, const TableOptions& options = {},
                                         std::size_t rows = 20);

// Line `line` of `text` (1-based, lines counted as the reader counts them:
// LF, CR LF and CR end a line), without its line end: what a refusal's line
// holds. Empty past the last line.
[[nodiscard]] std::string_view text_line(std::string_view text, std::size_t line);

}  // namespace quarvel::data
