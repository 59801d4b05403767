#include "data/tablefile.h"

#include <algorithm>
#include <cmath>

#include "data/numbertext.h"
#include "data/plaintext.h"

namespace quarvel::data {

namespace {

struct Field {
  std::string text;
  bool quoted = false;
};

struct Row {
  std::size_t line = 0;
  std::vector<Field> fields;
};

struct SplitRows {
  std::vector<Row> rows;
  TableError error;      // unclosed_quote or text_after_quote; rows holds those before it
  bool complete = true;  // false when the row limit stopped the split
};

// A value cell: a number, a missing value, or neither (text says why).
struct ValueCell {
  enum class Kind { number, missing, invalid };
  Kind kind = Kind::invalid;
  double value = 0.0;
  std::string problem;
};

bool equals_ignoring_case(std::string_view a, std::string_view b) noexcept {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

bool is_missing(std::string_view text) noexcept {
  text = trim_blanks(text);
  for (const std::string_view token : {"", "NA", "N/A", "#N/A", "NaN"}) {
    if (equals_ignoring_case(text, token)) return true;
  }
  return false;
}

std::string with_point_for_comma(std::string_view text) {
  std::string converted(text);
  std::replace(converted.begin(), converted.end(), ',', '.');
  return converted;
}

// A number with a decimal comma ("112,5"); not one with a point besides.
bool is_comma_number(std::string_view text) {
  text = trim_blanks(text);
  return text.find(',') != std::string_view::npos && text.find('.') == std::string_view::npos &&
         parse_number(with_point_for_comma(text)).has_value();
}

// A number with either decimal separator, for detection.
bool looks_like_number(std::string_view text) {
  return parse_number(trim_blanks(text)).has_value() || is_comma_number(text);
}

bool is_digit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// Digits grouped by threes with the separator, as thousands are written: 1 to
// 3 digits not led by 0, then one or more groups of three ("1,046",
// "12,345,678").
bool is_grouped(std::string_view digits, char separator) {
  const std::size_t first = digits.find(separator);
  if (first == 0 || first > 3 || digits.front() == '0' ||
      !std::all_of(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(first), is_digit)) {
    return false;
  }
  for (std::size_t at = first; at < digits.size(); at += 4) {
    if (digits[at] != separator || at + 3 >= digits.size() || !is_digit(digits[at + 1]) ||
        !is_digit(digits[at + 2]) || !is_digit(digits[at + 3])) {
      return false;
    }
  }
  return true;
}

// A whole number, signed or not, whose commas stand where thousands
// separators would: "1,046", "-12,345,678".
bool is_comma_grouped(std::string_view text) {
  text = trim_blanks(text);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return is_grouped(text, ',');
}

// The text without its thousands separators; nullopt where one stands
// elsewhere than between groups of three digits before the decimal separator.
std::optional<std::string> without_thousands_separators(std::string_view text, char separator,
                                                        char decimal) {
  const std::size_t sign = !text.empty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
  const std::size_t whole_end = std::min(text.find(decimal, sign), text.find_first_of("eE", sign));
  const std::string_view whole = text.substr(sign, whole_end - sign);
  if (whole.find(separator) == std::string_view::npos) {
    if (text.find(separator) != std::string_view::npos) return std::nullopt;
    return std::string(text);
  }
  if (!is_grouped(whole, separator) ||
      (whole_end < text.size() && text.find(separator, whole_end) != std::string_view::npos)) {
    return std::nullopt;
  }
  std::string plain(text);
  plain.erase(std::remove(plain.begin(), plain.end(), separator), plain.end());
  return plain;
}

ValueCell read_value(std::string_view text, const TableLayout& layout) {
  text = trim_blanks(text);
  if (is_missing(text)) return {ValueCell::Kind::missing, 0.0, {}};
  const bool decimal_comma = layout.decimal_comma;
  std::string number(text);
  if (layout.thousands_separator != ThousandsSeparator::none) {
    const bool comma = layout.thousands_separator == ThousandsSeparator::comma;
    auto plain = without_thousands_separators(text, comma ? ',' : '.', decimal_comma ? ',' : '.');
    if (!plain) {
      return {ValueCell::Kind::invalid, 0.0,
              quoted_cell(text) + " is not a number (" + (comma ? "a comma" : "a point") +
                  " separates thousands here, in groups of three digits before the decimal " +
                  (decimal_comma ? "comma)" : "point)")};
    }
    number = std::move(*plain);
  } else if (decimal_comma && text.find('.') != std::string_view::npos) {
    return {ValueCell::Kind::invalid, 0.0,
            quoted_cell(text) +
                " holds a point, but the table writes decimal commas (a point may separate "
                "thousands there)"};
  }
  const auto value = parse_number(decimal_comma ? with_point_for_comma(number) : number);
  if (value) return {ValueCell::Kind::number, *value, {}};
  std::string problem = quoted_cell(text) + " is not a number";
  if (layout.thousands_separator == ThousandsSeparator::none && is_comma_grouped(text)) {
    problem += decimal_comma ? " (its commas may separate thousands)"
                             : " (a decimal comma is not read here, nor a comma that separates "
                               "thousands)";
  } else if (!decimal_comma && is_comma_number(text)) {
    problem += " (a decimal comma is not read here)";
  }
  return {ValueCell::Kind::invalid, 0.0, std::move(problem)};
}

// A table's text taken row by row: the fields a line splits into with the
// delimiter, quoted fields read whole (line ends included), blanks around
// fields dropped.
class RowReader {
 public:
  RowReader(std::string_view text, Delimiter delimiter) : text_(text), delimiter_(delimiter) {}

  [[nodiscard]] bool at_end() const { return pos_ >= text_.size(); }

  // The fields of the next row (a blank one's too); false when a field is
  // refused, with why in `error`.
  bool read_row(Row& row, TableError& error) {
    row.line = line_;
    while (true) {
      skip_padding();
      Field field;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        if (!read_quoted(row.fields.size() + 1, field, error)) return false;
      } else {
        const std::size_t start = pos_;
        while (!at_line_end(pos_) && !is_delimiter(text_[pos_])) ++pos_;
        field.text = std::string(trim_blanks(text_.substr(start, pos_ - start)));
      }
      row.fields.push_back(std::move(field));
      if (delimiter_ == Delimiter::whitespace) {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
      } else if (!at_line_end(pos_)) {
        ++pos_;  // the delimiter; a field follows, if only an empty one
        continue;
      }
      if (at_line_end(pos_)) {
        if (pos_ < text_.size()) skip_line_end();
        return true;
      }
    }
  }

 private:
  bool is_delimiter(char c) const {
    switch (delimiter_) {
      case Delimiter::comma:
        return c == ',';
      case Delimiter::semicolon:
        return c == ';';
      case Delimiter::tab:
        return c == '\t';
      case Delimiter::whitespace:
        return is_blank(c);
      case Delimiter::none:
        break;
    }
    return false;
  }

  // The blanks dropped around a field: never the delimiter itself.
  void skip_padding() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || (text_[pos_] == '\t' && delimiter_ != Delimiter::tab))) {
      ++pos_;
    }
  }

  [[nodiscard]] bool at_line_end(std::size_t at) const {
    return at >= text_.size() || text_[at] == '\n' || text_[at] == '\r';
  }

  // Past LF, CR LF or CR.
  void skip_line_end() {
    if (text_[pos_++] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    ++line_;
  }

  // The quoted field that opens at pos_, field number `column` of its row,
  // and the padding after it; false when it is not closed or text follows it.
  bool read_quoted(std::size_t column, Field& field, TableError& error) {
    const std::size_t n = text_.size();
    field.quoted = true;
    const std::size_t opened_on = line_;
    ++pos_;
    while (true) {
      if (pos_ >= n) {
        return fail(TableProblem::unclosed_quote, opened_on, column,
                    "the quote that opens this field is never closed", error);
      }
      const char c = text_[pos_++];
      if (c == '"') {
        if (pos_ < n && text_[pos_] == '"') {
          field.text.push_back('"');
          ++pos_;
          continue;
        }
        break;
      }
      // A line end inside quotes belongs to the field; CR LF counts once.
      if (c == '\n' || (c == '\r' && (pos_ >= n || text_[pos_] != '\n'))) ++line_;
      field.text.push_back(c);
    }
    const std::size_t closed_at = pos_;
    skip_padding();
    // Between blank-delimited fields the blanks are the delimiter.
    const bool delimited = delimiter_ == Delimiter::whitespace && pos_ > closed_at;
    if (!at_line_end(pos_) && !is_delimiter(text_[pos_]) && !delimited) {
      // A quote that closes lines later with text after it is most likely
      // one left unclosed where it opened: that line is named.
      if (line_ != opened_on) {
        return fail(TableProblem::text_after_quote, opened_on, column,
                    "the quote that opens this field closes only on line " + std::to_string(line_) +
                        ", and text follows it there",
                    error);
      }
      return fail(TableProblem::text_after_quote, line_, column,
                  "text follows the closing quote of the field", error);
    }
    return true;
  }

  static bool fail(TableProblem problem, std::size_t line, std::size_t column,
                   const std::string& what, TableError& error) {
    error.problem = problem;
    error.line = line;
    error.column = column;
    error.message =
        "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
    return false;
  }

  std::string_view text_;
  Delimiter delimiter_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

// The rows of a table's text, blank rows skipped. Stops after `max_rows` rows.
SplitRows split_rows(std::string_view text, Delimiter delimiter, std::size_t max_rows) {
  SplitRows split;
  RowReader reader(text, delimiter);
  while (!reader.at_end()) {
    if (split.rows.size() == max_rows) {
      split.complete = false;
      break;
    }
    Row row;
    if (!reader.read_row(row, split.error)) return split;
    const bool blank = std::all_of(row.fields.begin(), row.fields.end(),
                                   [](const Field& f) { return f.text.empty() && !f.quoted; });
    if (!blank) split.rows.push_back(std::move(row));
  }
  return split;
}

bool ends_in_empty_field(const Row& row) {
  return row.fields.size() > 1 && row.fields.back().text.empty() && !row.fields.back().quoted;
}

// The table's number of columns, judged on the first kDetectionLines rows:
// the first row's fields, less a trailing delimiter's empty field unless a row
// fills that column; or one more when every other row has one more field (a
// header without a name for the first column, the row names, as R's
// write.table writes it). Not with commas: "value", "1,5", "2,5" is one
// column of decimal commas.
std::size_t table_width(const std::vector<Row>& rows, Delimiter delimiter) {
  if (rows.empty()) return 0;
  const auto end =
      rows.begin() + static_cast<std::ptrdiff_t>(std::min(rows.size(), kDetectionLines));
  const std::size_t full = rows.front().fields.size();
  if (delimiter != Delimiter::comma && rows.size() > 1 &&
      std::all_of(rows.begin() + 1, end, [&](const Row& row) {
        return row.fields.size() == full + 1 && !ends_in_empty_field(row);
      })) {
    return full + 1;
  }
  if (!ends_in_empty_field(rows.front())) return full;
  const bool filled = std::any_of(rows.begin(), end, [&](const Row& row) {
    return row.fields.size() == full && !ends_in_empty_field(row);
  });
  return filled ? full : full - 1;
}

// A first row one field short of the table: a header without the row names' name.
bool has_short_first_row(const std::vector<Row>& rows, std::size_t width) {
  return !rows.empty() && rows.front().fields.size() + 1 == width;
}

bool fits(const Row& row, std::size_t width) {
  return row.fields.size() == width || (row.fields.size() == width + 1 && ends_in_empty_field(row));
}

// The first row from `first` on that does not fit the width; rows.size() when
// all do.
std::size_t first_ragged_row(const std::vector<Row>& rows, std::size_t width,
                             std::size_t first = 0) {
  for (std::size_t i = first; i < rows.size(); ++i) {
    if (!fits(rows[i], width)) return i;
  }
  return rows.size();
}

bool looks_like_data(const std::string& text) {
  return looks_like_number(text) || is_missing(text) || parse_time_stamp(text).has_value();
}

Delimiter detect_delimiter(std::string_view text, bool comma_allowed) {
  // How many cells of the first lines look like data when the delimiter
  // splits every one of them into the same number of fields, more than one;
  // -1 when it does not.
  const auto data_cells = [&](Delimiter delimiter) {
    const SplitRows sample = split_rows(text, delimiter, kDetectionLines);
    if (sample.error.problem != TableProblem::none || sample.rows.empty()) return -1;
    const std::size_t width = table_width(sample.rows, delimiter);
    const std::size_t first = has_short_first_row(sample.rows, width) ? 1 : 0;
    if (width < 2 || first_ragged_row(sample.rows, width, first) != sample.rows.size()) {
      return -1;
    }
    int cells = 0;
    for (const Row& row : sample.rows) {
      for (const Field& field : row.fields) cells += looks_like_data(field.text) ? 1 : 0;
    }
    return cells;
  };
  std::vector<Delimiter> candidates{Delimiter::tab, Delimiter::semicolon};
  if (comma_allowed) candidates.push_back(Delimiter::comma);
  // The most data cells win ("1700 5,5" is whitespace and a decimal comma, not
  // "1700 5" and "5"); on a tie, the first in this order.
  Delimiter best = Delimiter::none;
  int most = -1;
  for (const Delimiter delimiter :
       {Delimiter::tab, Delimiter::semicolon, Delimiter::comma, Delimiter::whitespace}) {
    if (delimiter == Delimiter::comma && !comma_allowed) continue;
    if (const int cells = data_cells(delimiter); cells > most) {
      best = delimiter;
      most = cells;
    }
  }
  if (most >= 0) return best;
  // Ragged lines: the delimiter the first line shows, so that the reader
  // names the line that differs.
  std::string_view first_line = text;
  while (!first_line.empty()) {
    const std::size_t end = first_line.find_first_of("\r\n");
    if (!trim_blanks(first_line.substr(0, end)).empty()) {
      first_line = first_line.substr(0, end);
      break;
    }
    first_line = end == std::string_view::npos ? std::string_view() : first_line.substr(end + 1);
  }
  for (const Delimiter delimiter : candidates) {
    const char c = delimiter == Delimiter::tab         ? '\t'
                   : delimiter == Delimiter::semicolon ? ';'
                                                       : ',';
    if (first_line.find(c) != std::string_view::npos) return delimiter;
  }
  return Delimiter::none;
}

bool detect_header(const std::vector<Row>& rows, std::size_t width) {
  if (rows.empty()) return false;
  const Row& first = rows.front();
  // A short first row names the columns after the first.
  const std::size_t shift = has_short_first_row(rows, width) ? 1 : 0;
  for (std::size_t column = 0; column < first.fields.size(); ++column) {
    if (looks_like_data(first.fields[column].text)) continue;
    if (rows.size() == 1) return true;
    for (std::size_t i = 1; i < rows.size(); ++i) {
      if (column + shift < rows[i].fields.size()) {
        const std::string& cell = rows[i].fields[column + shift].text;
        if (looks_like_number(cell) || parse_time_stamp(cell)) return true;
      }
    }
  }
  return false;
}

bool detect_decimal_comma(const std::vector<Row>& data_rows) {
  return std::any_of(data_rows.begin(), data_rows.end(), [](const Row& row) {
    return std::any_of(row.fields.begin(), row.fields.end(),
                       [](const Field& field) { return is_comma_number(field.text); });
  });
}

std::string describe_column(std::size_t column, const std::vector<std::string>& names) {
  std::string text = "column " + std::to_string(column);
  if (column >= 1 && column <= names.size() && !names[column - 1].empty()) {
    text += " (" + quoted_cell(names[column - 1]) + ")";
  }
  return text;
}

// "line 7, column 2 ("passengers")"; either part left out when 0.
std::string place(std::size_t line, std::size_t column, const std::vector<std::string>& names) {
  std::string where;
  if (line > 0) where = "line " + std::to_string(line);
  if (column > 0) where += (where.empty() ? "" : ", ") + describe_column(column, names);
  return where;
}

TableError table_error(TableProblem problem, std::size_t line, std::size_t column,
                       const std::vector<std::string>& names, const std::string& what) {
  TableError error;
  error.problem = problem;
  error.line = line;
  error.column = column;
  if (column >= 1 && column <= names.size()) error.column_name = names[column - 1];
  const std::string where = place(line, column, names);
  error.message = where.empty() ? what : where + ": " + what;
  return error;
}

// The table split into rows, with its layout, before any column is read.
struct Layout {
  TableLayout layout;
  std::vector<std::string> names;
  std::vector<Row> data_rows;
  std::size_t header_line = 0;  // the header's line, else the first row's
  TableError error;
  bool complete = true;
};

// The text without a byte order mark; a not_text error for UTF-16 or a NUL.
TableError check_text(std::string_view& text) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    TableError error;
    error.problem = TableProblem::not_text;
    error.message = "the file is UTF-16 text; save it as UTF-8";
    return error;
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    const auto line = static_cast<std::size_t>(std::count(
                          text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n')) +
                      1;
    return table_error(TableProblem::not_text, line, 0, {}, "holds a NUL byte: not a text file");
  }
  return {};
}

// Splits the text into up to `max_rows` rows with the options' delimiter,
// header and decimal comma, detecting those not given.
Layout lay_out(std::string_view text, const TableOptions& options, std::size_t max_rows) {
  Layout result;
  TableLayout& layout = result.layout;
  if (result.error = check_text(text); result.error.problem != TableProblem::none) return result;
  // A thousands separator settles the decimal separator: the other one.
  std::optional<bool> decimal_comma = options.decimal_comma;
  layout.thousands_separator = options.thousands_separator;
  if (layout.thousands_separator != ThousandsSeparator::none) {
    const bool point = layout.thousands_separator == ThousandsSeparator::point;
    if (decimal_comma.value_or(point) != point) {
      result.error = table_error(
          TableProblem::bad_options, 0, 0, {},
          point ? "a point that separates thousands needs the decimal comma"
                : "the comma cannot both separate thousands and stand for the decimal point");
      return result;
    }
    decimal_comma = point;
  }
  if (decimal_comma.value_or(false) && options.delimiter == Delimiter::comma) {
    result.error = table_error(TableProblem::bad_options, 0, 0, {},
                               "a decimal comma needs another delimiter than the comma");
    return result;
  }
  layout.delimiter_detected = !options.delimiter.has_value();
  layout.delimiter = options.delimiter.value_or(Delimiter::none);
  if (layout.delimiter_detected) {
    layout.delimiter = detect_delimiter(text, !decimal_comma.value_or(false));
  }
  SplitRows split = split_rows(text, layout.delimiter, max_rows);
  result.complete = split.complete;
  result.error = split.error;
  std::vector<Row>& rows = split.rows;
  layout.columns = table_width(rows, layout.delimiter);

  const std::vector<Row> sample(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                 rows.size(), kDetectionLines)));
  layout.header_detected = !options.header.has_value();
  layout.header = options.header.value_or(false);
  if (layout.header_detected) layout.header = detect_header(sample, layout.columns);
  if (!rows.empty()) result.header_line = rows.front().line;
  if (layout.header && !rows.empty()) {
    if (has_short_first_row(rows, layout.columns)) result.names.emplace_back();
    for (const Field& field : rows.front().fields) result.names.push_back(field.text);
    if (result.names.size() > layout.columns) result.names.resize(layout.columns);
    rows.erase(rows.begin());
  }
  layout.decimal_comma_detected = !decimal_comma.has_value();
  layout.decimal_comma = decimal_comma.value_or(false);
  if (layout.decimal_comma_detected && layout.delimiter != Delimiter::comma) {
    const std::size_t skip = layout.header ? 1 : 0;
    layout.decimal_comma = detect_decimal_comma(
        {sample.begin() + static_cast<std::ptrdiff_t>(std::min(skip, sample.size())),
         sample.end()});
  }
  result.data_rows = std::move(rows);
  return result;
}

// The cells of one column of the rows (0-based), "" where a row is short.
std::vector<std::string> column_cells(const std::vector<Row>& rows, std::size_t column,
                                      std::size_t count) {
  std::vector<std::string> cells;
  cells.reserve(std::min(rows.size(), count));
  for (std::size_t i = 0; i < rows.size() && i < count; ++i) {
    cells.push_back(column < rows[i].fields.size() ? rows[i].fields[column].text : std::string());
  }
  return cells;
}

// Detection's value column (1-based, 0 when none): the last column whose first
// value is a number. A later cell that is none is then refused with its line.
std::size_t detect_value_column(const Layout& table, std::size_t other) {
  for (std::size_t column = table.layout.columns; column >= 1; --column) {
    if (column == other) continue;
    for (const std::string& cell : column_cells(table.data_rows, column - 1, kDetectionLines)) {
      const ValueCell value = read_value(cell, table.layout);
      if (value.kind == ValueCell::Kind::missing) continue;
      if (value.kind == ValueCell::Kind::number) return column;
      break;
    }
  }
  return 0;
}

// Detection's time column (1-based, 0 when none).
std::size_t detect_time_column(const Layout& table, std::size_t other) {
  for (std::size_t column = 1; column <= table.layout.columns; ++column) {
    if (column == other) continue;
    const std::vector<std::string> cells =
        column_cells(table.data_rows, column - 1, kDetectionLines);
    if (cells.empty()) break;
    const TimeColumnResult time = read_time_column(cells);
    if (time.column && time.column->format.kind != TimeKind::number) return column;
  }
  return 0;
}

struct ChosenColumn {
  std::size_t column = 0;  // 1-based; 0: none
  TableError error;
};

// The column a choice names (1-based), detection aside.
ChosenColumn choose_column(const ColumnChoice& choice, const Layout& table, std::string_view role) {
  ChosenColumn chosen;
  const std::vector<std::string>& names = table.names;
  const std::size_t columns = table.layout.columns;
  // The line of the header (or the first row) and the column as asked for.
  const auto refuse = [&](const std::string& what) {
    chosen.error = table_error(TableProblem::no_such_column, table.header_line, 0, names, what);
    chosen.error.column = choice.number;
    chosen.error.column_name = choice.name;
    return chosen;
  };
  if (choice.kind == ColumnChoice::Kind::name ||
      choice.kind == ColumnChoice::Kind::name_or_number) {
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] == choice.name) matches.push_back(i + 1);
    }
    if (matches.size() == 1) {
      chosen.column = matches.front();
      return chosen;
    }
    if (matches.size() > 1) {
      return refuse("columns " + std::to_string(matches[0]) + " and " + std::to_string(matches[1]) +
                    " are both named " + quoted_cell(choice.name) + "; choose the " +
                    std::string(role) + " column by its number");
    }
    if (choice.kind == ColumnChoice::Kind::name) {
      if (names.empty()) {
        return refuse("the table has no header line, so no column is named " +
                      quoted_cell(choice.name) + "; choose the " + std::string(role) +
                      " column by its number, 1 to " + std::to_string(columns));
      }
      std::string known;
      for (const std::string& name : names)
        known += (known.empty() ? "" : ", ") + quoted_cell(name);
      return refuse("the " + std::string(role) + " column " + quoted_cell(choice.name) +
                    " is not in the table; its columns are " + known);
    }
  }
  if (choice.number < 1 || choice.number > columns) {
    const std::string asked =
        choice.kind == ColumnChoice::Kind::number ? std::to_string(choice.number) : choice.name;
    return refuse("the " + std::string(role) + " column " + asked +
                  " is not in the table, which has " + std::to_string(columns) +
                  (columns == 1 ? " column" : " columns"));
  }
  chosen.column = choice.number;
  return chosen;
}

bool is_given(const ColumnChoice& choice) {
  return choice.kind != ColumnChoice::Kind::none && choice.kind != ColumnChoice::Kind::detect;
}

struct Columns {
  std::size_t value = 0;
  std::size_t time = 0;
  TableError error;
};

// The value and time columns: the given ones first, then detection around them.
Columns choose_columns(const Layout& table, const TableOptions& options, bool always_detect_time) {
  Columns columns;
  // The column a given choice names into `column`; false on a refusal.
  const auto take = [&](const ColumnChoice& choice, std::string_view role, std::size_t& column) {
    const ChosenColumn chosen = choose_column(choice, table, role);
    columns.error = chosen.error;
    column = chosen.column;
    return chosen.error.problem == TableProblem::none;
  };
  if (is_given(options.time_column) && !take(options.time_column, "time", columns.time)) {
    return columns;
  }
  if (is_given(options.value_column)) {
    if (!take(options.value_column, "value", columns.value)) return columns;
  } else {
    columns.value = detect_value_column(table, columns.time);
    if (columns.value == 0) {
      columns.error = table_error(TableProblem::no_value_column, 0, 0, {},
                                  "no column holds numbers in its first rows; choose the value "
                                  "column");
      return columns;
    }
  }
  if (columns.value == columns.time) {
    columns.error = table_error(TableProblem::bad_options, 0, 0, table.names,
                                describe_column(columns.value, table.names) +
                                    " cannot be both the value column and the time column");
    columns.error.column = columns.value;
    return columns;
  }
  if (options.time_column.kind == ColumnChoice::Kind::detect ||
      (always_detect_time && options.time_column.kind == ColumnChoice::Kind::none)) {
    columns.time = detect_time_column(table, columns.value);
  }
  return columns;
}

struct ReadValues {
  std::vector<double> values;
  std::size_t filled = 0;
  std::size_t first_filled_row = 0;
  std::size_t error_row = 0;
  TableError error;
};

ReadValues read_values(const Layout& table, std::size_t column, MissingValues missing) {
  ReadValues read;
  const auto fail = [&](std::size_t row, const std::string& what, TableProblem problem) {
    read.error_row = row;
    read.error = table_error(problem, table.data_rows[row].line, column, table.names, what);
    return read;
  };
  const std::vector<Row>& rows = table.data_rows;
  std::vector<std::size_t> gaps;
  read.values.reserve(rows.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const std::string& text = rows[row].fields[column - 1].text;
    const ValueCell cell = read_value(text, table.layout);
    if (cell.kind == ValueCell::Kind::invalid) {
      return fail(row, cell.problem, TableProblem::not_a_number);
    }
    if (cell.kind == ValueCell::Kind::missing) {
      const std::string shown = text.empty() ? "an empty cell" : quoted_cell(text);
      if (missing == MissingValues::refuse) {
        return fail(
            row,
            "a missing value (" + shown + "); fill the gaps by interpolation, or remove the row",
            TableProblem::missing_value);
      }
      if (row == 0 || row + 1 == rows.size()) {
        return fail(row,
                    "a missing value (" + shown + ") at the " + (row == 0 ? "start" : "end") +
                        " of the series; only gaps between two values can be filled",
                    TableProblem::missing_value);
      }
      gaps.push_back(row);
    }
    read.values.push_back(cell.value);
  }
  // Each gap lies on the straight line between the values around it.
  for (std::size_t g = 0; g < gaps.size();) {
    std::size_t end = g;
    while (end + 1 < gaps.size() && gaps[end + 1] == gaps[end] + 1) ++end;
    const std::size_t before = gaps[g] - 1;
    const std::size_t after = gaps[end] + 1;
    const double from = read.values[before];
    const double to = read.values[after];
    const auto span = static_cast<double>(after - before);
    for (std::size_t row = gaps[g]; row < after; ++row) {
      read.values[row] = from + (to - from) * (static_cast<double>(row - before) / span);
    }
    g = end + 1;
  }
  read.filled = gaps.size();
  if (!gaps.empty()) read.first_filled_row = gaps.front();
  return read;
}

// A plain whole number of 3 or more digits, signed or not ("995").
bool is_long_whole_number(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return text.size() >= 3 && std::all_of(text.begin(), text.end(), is_digit);
}

std::string without_commas(std::string_view text) {
  std::string digits(text);
  digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
  return digits;
}

// Where a detected decimal comma may misread the value column (1-based):
// every comma in it stands where one that separates thousands would, or a cell
// so written lies next to a plain whole number of 3 or more digits that the
// decimal comma puts 100 times or more above it, and thousands separated less
// than 10 times apart from it. The refusal names that cell and why; problem
// none when the commas can only be decimal ones.
TableError check_decimal_comma(const Layout& table, std::size_t column) {
  struct Cell {
    std::size_t row;
    std::string_view text;
  };
  // The value cells that are not missing, in row order.
  std::vector<Cell> cells;
  bool every_comma_grouped = true;
  std::optional<std::size_t> first_grouped;  // index into cells
  for (std::size_t row = 0; row < table.data_rows.size(); ++row) {
    const std::string_view text = trim_blanks(table.data_rows[row].fields[column - 1].text);
    if (is_missing(text)) continue;
    if (text.find(',') != std::string_view::npos) {
      const bool grouped = is_comma_grouped(text);
      every_comma_grouped = every_comma_grouped && grouped;
      if (grouped && !first_grouped && is_comma_number(text)) first_grouped = cells.size();
    }
    cells.push_back({row, text});
  }
  if (!first_grouped) return {};
  const auto refuse = [&](const Cell& cell, const std::string& why) {
    return table_error(
        TableProblem::ambiguous_comma, table.data_rows[cell.row].line, column, table.names,
        quoted_cell(cell.text) + " reads as " + with_point_for_comma(cell.text) +
            " with a decimal comma, but as " + without_commas(cell.text) +
            " if its comma separates thousands, and " + why + "; say which the comma is");
  };
  if (every_comma_grouped) {
    return refuse(cells[*first_grouped],
                  "every comma in the column has three digits after it, as a thousands "
                  "separator has");
  }
  // A grouped cell beside a plain whole number: a jump with the decimal comma
  // that thousands do not make.
  const auto near_thousands = [](const Cell& grouped, const Cell& plain) {
    if (!is_comma_grouped(grouped.text) || !is_comma_number(grouped.text) ||
        !is_long_whole_number(plain.text)) {
      return false;
    }
    const double whole = std::fabs(parse_number(plain.text).value_or(0.0));
    const double decimal =
        std::fabs(parse_number(with_point_for_comma(grouped.text)).value_or(0.0));
    const double thousands = std::fabs(parse_number(without_commas(grouped.text)).value_or(0.0));
    return whole >= 100.0 * decimal && whole < 10.0 * thousands && thousands < 10.0 * whole;
  };
  for (std::size_t i = 1; i < cells.size(); ++i) {
    for (const auto& [grouped, plain] :
         {std::pair{cells[i - 1], cells[i]}, std::pair{cells[i], cells[i - 1]}}) {
      if (near_thousands(grouped, plain)) {
        return refuse(grouped, quoted_cell(plain.text) + " on line " +
                                   std::to_string(table.data_rows[plain.row].line) +
                                   " lies close to the latter");
      }
    }
  }
  return {};
}

}  // namespace

std::string_view delimiter_name(Delimiter delimiter) {
  switch (delimiter) {
    case Delimiter::comma:
      return "comma";
    case Delimiter::semicolon:
      return "semicolon";
    case Delimiter::tab:
      return "tab";
    case Delimiter::whitespace:
      return "whitespace";
    case Delimiter::none:
      break;
  }
  return "none (one column)";
}

std::string_view thousands_separator_name(ThousandsSeparator separator) {
  switch (separator) {
    case ThousandsSeparator::comma:
      return "comma";
    case ThousandsSeparator::point:
      return "point";
    case ThousandsSeparator::none:
      break;
  }
  return "none";
}

std::string_view missing_values_name(MissingValues missing) {
  return missing == MissingValues::interpolate ? "interpolate" : "refuse";
}

std::optional<Delimiter> delimiter_of_name(std::string_view name) {
  for (const Delimiter delimiter :
       {Delimiter::comma, Delimiter::semicolon, Delimiter::tab, Delimiter::whitespace}) {
    if (delimiter_name(delimiter) == name) return delimiter;
  }
  return std::nullopt;
}

std::optional<ThousandsSeparator> thousands_separator_of_name(std::string_view name) {
  for (const ThousandsSeparator separator :
       {ThousandsSeparator::comma, ThousandsSeparator::point, ThousandsSeparator::none}) {
    if (thousands_separator_name(separator) == name) return separator;
  }
  return std::nullopt;
}

std::optional<MissingValues> missing_values_of_name(std::string_view name) {
  for (const MissingValues missing : {MissingValues::refuse, MissingValues::interpolate}) {
    if (missing_values_name(missing) == name) return missing;
  }
  return std::nullopt;
}

ColumnChoice ColumnChoice::from_text(std::string_view text) {
  const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return by_name(std::string(text));
  ColumnChoice choice{Kind::name_or_number, std::string(text), 0};
  // More digits than any table has columns stay out of range.
  choice.number = text.size() > 9 ? static_cast<std::size_t>(-1) : std::stoul(std::string(text));
  return choice;
}

std::string describe_layout(const TableLayout& layout) {
  const auto how = [](bool detected) { return detected ? " (detected)" : ""; };
  std::string text = layout.delimiter == Delimiter::none
                         ? std::string("no delimiter")
                         : std::string(delimiter_name(layout.delimiter)) + "-delimited";
  text += how(layout.delimiter_detected);
  text += layout.header ? ", a header line" : ", no header line";
  text += how(layout.header_detected);
  text += layout.decimal_comma ? ", decimal comma" : ", decimal point";
  text += how(layout.decimal_comma_detected);
  if (layout.thousands_separator != ThousandsSeparator::none) {
    text += layout.thousands_separator == ThousandsSeparator::comma
                ? ", thousands separated by commas"
                : ", thousands separated by points";
  }
  text += ", " + std::to_string(layout.columns) + (layout.columns == 1 ? " column" : " columns");
  return text;
}

TableText read_table_file_text(const std::string& path) {
  constexpr TextBound kBound{kMaxTableRows, kMaxTableLineLength, "rows"};
  static_assert(kBound.bytes() == kMaxTableFileBytes);
  return read_file_text(path, kBound);
}

TableResult read_table(std::string_view text, const TableOptions& options) {
  TableResult result;
  // The header, the rows a series can hold, and one more to tell a table too long.
  const Layout table = lay_out(text, options, kMaxTableRows + 2);
  if (table.error.problem != TableProblem::none) {
    result.error = table.error;
    return result;
  }
  const std::size_t width = table.layout.columns;
  if (const std::size_t ragged = first_ragged_row(table.data_rows, width);
      ragged < table.data_rows.size()) {
    const Row& row = table.data_rows[ragged];
    const std::size_t fields = row.fields.size();
    const std::string count = std::to_string(width) + (width == 1 ? " column" : " columns");
    result.error = fields > width
                       ? table_error(TableProblem::ragged_row, row.line, width + 1, table.names,
                                     "a field past the table's " + count)
                       : table_error(TableProblem::ragged_row, row.line, fields + 1, table.names,
                                     "the line ends before this column (it holds " +
                                         std::to_string(fields) + " of the table's " + count + ")");
    return result;
  }
  if (!table.complete || table.data_rows.size() > kMaxTableRows) {
    result.error = table_error(TableProblem::too_many_rows, table.data_rows.back().line, 0, {},
                               "more than " + std::to_string(kMaxTableRows) +
                                   " rows of values, more than a series can hold");
    return result;
  }
  if (table.data_rows.empty()) {
    result.error = table_error(TableProblem::no_values, 0, 0, {}, "the table holds no values");
    return result;
  }
  const Columns columns = choose_columns(table, options, false);
  if (columns.error.problem != TableProblem::none) {
    result.error = columns.error;
    return result;
  }

  // A comma that may separate thousands is not taken for the decimal point
  // unless the caller says so.
  if (table.layout.decimal_comma && table.layout.decimal_comma_detected) {
    if (TableError doubt = check_decimal_comma(table, columns.value);
        doubt.problem != TableProblem::none) {
      result.error = std::move(doubt);
      return result;
    }
  }
  ReadValues values = read_values(table, columns.value, options.missing);
  std::optional<TimeColumn> time;
  if (columns.time != 0) {
    const std::vector<std::string> cells =
        column_cells(table.data_rows, columns.time - 1, table.data_rows.size());
    std::vector<std::size_t> lines;
    lines.reserve(table.data_rows.size());
    for (const Row& row : table.data_rows) lines.push_back(row.line);
    TimeColumnResult read = read_time_column(cells, lines);
    // The first refusal by line: the value cell before the time cell of a row.
    if (!read.column &&
        (values.error.problem == TableProblem::none || read.row < values.error_row)) {
      result.error = table_error(TableProblem::bad_time_stamp, table.data_rows[read.row].line,
                                 columns.time, table.names, read.message);
      return result;
    }
    time = std::move(read.column);
  }
  if (values.error.problem != TableProblem::none) {
    result.error = values.error;
    return result;
  }

  Table& loaded = result.table.emplace();
  loaded.layout = table.layout;
  loaded.column_names = table.names;
  loaded.value_column = columns.value;
  loaded.time_column = columns.time;
  loaded.values = std::move(values.values);
  loaded.lines.reserve(table.data_rows.size());
  for (const Row& row : table.data_rows) loaded.lines.push_back(row.line);
  loaded.time = std::move(time);
  loaded.filled = values.filled;
  if (values.filled > 0) {
    loaded.note = std::to_string(values.filled) +
                  (values.filled == 1 ? " missing value" : " missing values") +
                  " filled by linear interpolation between the values around " +
                  (values.filled == 1 ? "it" : "them") + ", the first on " +
                  place(table.data_rows[values.first_filled_row].line, columns.value, table.names);
  }
  return result;
}

TableResult read_table_file(const std::string& path, const TableOptions& options) {
  const TableText file = read_table_file_text(path);
  if (file.error != DataFileError::none) {
    TableResult result;
    result.error.problem = TableProblem::file;
    result.error.file_error = file.error;
    result.error.message = file.reason;
    return result;
  }
  return read_table(file.text, options);
}

TablePreview preview_table(std::string_view text, const TableOptions& options, std::size_t rows) {
  TablePreview preview;
  // Detection looks at the first kDetectionLines rows; so does the preview.
  const Layout table = lay_out(text, options, std::max(rows, kDetectionLines) + 1);
  preview.layout = table.layout;
  preview.column_names = table.names;
  preview.error = table.error;
  for (std::size_t i = 0; i < table.data_rows.size() && i < rows; ++i) {
    std::vector<std::string> fields;
    fields.reserve(table.data_rows[i].fields.size());
    for (const Field& field : table.data_rows[i].fields) fields.push_back(field.text);
    if (fits(table.data_rows[i], table.layout.columns) && fields.size() > table.layout.columns) {
      fields.pop_back();
    }
    preview.rows.push_back(std::move(fields));
    preview.lines.push_back(table.data_rows[i].line);
  }
  if (preview.error.problem == TableProblem::not_text ||
      preview.error.problem == TableProblem::bad_options) {
    return preview;
  }
  const Columns columns = choose_columns(table, options, true);
  preview.value_column = columns.value;
  preview.time_column = columns.time;
  if (preview.error.problem == TableProblem::none) preview.error = columns.error;
  return preview;
}

std::string_view text_line(std::string_view text, std::size_t line) {
  std::size_t start = 0;
  for (std::size_t at = 1; at < line; ++at) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) return {};
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  if (line == 0 || start >= text.size()) return {};
  const std::size_t end = text.find_first_of("\r\n", start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

}  // namespace quarvel::data
