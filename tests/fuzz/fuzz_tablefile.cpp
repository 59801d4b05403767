// Table text: any bytes with any options either load a table that holds
// together (one finite value and one time stamp per data row, rows in line
// order) or are refused with a message and nothing loaded. The preview, the
// stamps past the data and the split never fail otherwise.
//
// The first two bytes pick the options: delimiter, header, decimal comma,
// missing values, thousands separator; value column and time column.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/seriessplit.h"
#include "data/tablefile.h"

using namespace quarvel::data;

namespace {

TableOptions options_from(std::uint8_t first, std::uint8_t second) {
  TableOptions options;
  constexpr Delimiter kDelimiters[] = {Delimiter::none, Delimiter::comma, Delimiter::semicolon,
                                       Delimiter::tab, Delimiter::whitespace};
  if (const int pick = first % 6; pick > 0) options.delimiter = kDelimiters[pick - 1];
  if (const int pick = (first / 6) % 3; pick > 0) options.header = pick == 1;
  if (const int pick = (first / 18) % 3; pick > 0) options.decimal_comma = pick == 1;
  if ((first / 54) % 2 == 1) options.missing = MissingValues::interpolate;
  constexpr ThousandsSeparator kSeparators[] = {ThousandsSeparator::none, ThousandsSeparator::comma,
                                                ThousandsSeparator::point};
  options.thousands_separator = kSeparators[(first / 108) % 3];
  const auto column = [](int pick) {
    switch (pick) {
      case 0:
        return ColumnChoice::no_column();
      case 1:
        return ColumnChoice::detected();
      case 2:
        return ColumnChoice::by_name("t");
      case 3:
        return ColumnChoice::from_text("2");
      default:
        return ColumnChoice::by_number(static_cast<std::size_t>(pick - 3));
    }
  };
  options.value_column = column(second % 6 == 0 ? 1 : second % 6);
  options.time_column = column((second / 6) % 6);
  return options;
}

void check_time_column(const TimeColumn& time, std::size_t rows) {
  if (time.size() != rows || time.texts.size() != rows) std::abort();
  for (std::size_t i = 1; i < rows; ++i) {
    if (!(chart_x(time.stamps[i], time.format.kind) >=
          chart_x(time.stamps[i - 1], time.format.kind))) {
      std::abort();
    }
  }
  // The stamps past the data read back as stamps of the column, later than its last.
  const StampsAhead ahead = time_stamps_after(time, 3);
  if (ahead.problem.empty() != (ahead.labels.size() == 3)) std::abort();
  if (ahead.stamps.size() != ahead.labels.size()) std::abort();
  const TimeKind kind = time.format.kind;
  double previous = chart_x(time.stamps.back(), kind);
  for (const std::string& label : ahead.labels) {
    const auto cell = parse_time_stamp(label);
    if (!cell) std::abort();
    const bool same_kind = cell->format.kind == kind ||
                           (kind == TimeKind::number && cell->format.kind == TimeKind::year);
    if (!same_kind) std::abort();
    const double x = chart_x(cell->stamp, kind);
    // A number step may be rounded away by the column's decimals, never reversed.
    if (kind == TimeKind::number ? x < previous : !(x > previous)) std::abort();
    previous = x;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const TableOptions options = options_from(data[0], data[1]);
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  const TableResult read = read_table(text, options);
  if (read.table) {
    const Table& table = *read.table;
    if (read.error.problem != TableProblem::none) std::abort();
    const std::size_t rows = table.values.size();
    if (rows == 0 || rows > kMaxTableRows || table.lines.size() != rows) std::abort();
    if (table.value_column < 1 || table.value_column > table.layout.columns) std::abort();
    if (table.time_column == table.value_column || table.time_column > table.layout.columns ||
        (table.time_column != 0) != table.time.has_value()) {
      std::abort();
    }
    if (table.layout.decimal_comma && table.layout.delimiter == Delimiter::comma) std::abort();
    if (!table.column_names.empty() && table.column_names.size() != table.layout.columns) {
      std::abort();
    }
    for (std::size_t i = 0; i < rows; ++i) {
      if (!std::isfinite(table.values[i])) std::abort();
      if (i > 0 && table.lines[i] <= table.lines[i - 1]) std::abort();
    }
    if ((table.filled == 0) != table.note.empty()) std::abort();
    if (table.time) check_time_column(*table.time, rows);

    const SplitResult split = split_series(table.values, SplitPoint::from_text("0.5"), 1,
                                           table.time ? &*table.time : nullptr);
    if (split.split) {
      const SeriesSplit& parts = *split.split;
      if (parts.training.size() + parts.validation.size() != rows + 1) std::abort();
      if (parts.detected_overlap > 1 ||
          parts.overlap_warning.empty() != (parts.detected_overlap == 1)) {
        std::abort();
      }
    } else if (split.error.empty()) {
      std::abort();
    }
    // The split point a user would type for a row reads back as that row.
    const std::size_t half = (rows + 1) / 2;
    const TimeColumn* time = table.time ? &*table.time : nullptr;
    const SplitCount count =
        split_training_count(rows, SplitPoint::from_text(split_text(half, time)), time);
    if (!count.error.empty() || count.training_count != half) std::abort();
  } else {
    if (read.error.problem == TableProblem::none || read.error.message.empty()) std::abort();
    std::size_t lines = 1;
    for (const char c : text) lines += (c == '\n' || c == '\r') ? 1 : 0;
    if (read.error.line > lines) std::abort();
  }

  // The preview lays the table out as the reader does.
  const TablePreview preview = preview_table(text, options, 4);
  if (preview.rows.size() > 4 || preview.lines.size() != preview.rows.size()) std::abort();
  if (read.table) {
    const TableLayout& layout = read.table->layout;
    if (preview.layout.delimiter != layout.delimiter || preview.layout.header != layout.header ||
        preview.layout.decimal_comma != layout.decimal_comma ||
        preview.layout.columns != layout.columns || preview.rows.empty()) {
      std::abort();
    }
  }
  return 0;
}
