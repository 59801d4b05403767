// Time stamps of a table's time column: what kind they are, their step, the
// stamps that follow the last one, and a number for a chart's x-axis.
//
// Kinds, as a cell writes them (surrounding blanks ignored):
//   year        1949                 exactly four digits
//   year_month  1949-01              also 1949-1; new stamps write two digits
//   date        1949-01-31           also 1949-1-31; new stamps write 1949-01-31
//   date_time   1949-01-31T12:00:00  'T' or one blank between date and time,
//               1949-01-31 12:00     seconds optional; two-digit hours 00..23,
//               ...T12:00:00Z        minutes and seconds 00..59; optionally a
//               ...T12:00+01:00      time zone: Z, or the offset from UTC as
//               ...T12:00:00-0500    +HH:MM, +HHMM or +HH (- west of UTC)
//   number      0.5, 17, 1e3         any decimal number (parse_number's rules)
// A column is of one kind: a year column whose cells are not all four-digit
// years is a number column (1998, 1999, 10000 still read as numbers), and a
// calendar kind never mixes with another kind. Years 0000 to 9999.
//
// Time zones: a column's date-times all name a zone or none. Zoned stamps are
// taken to the zone of the column's first stamp: every stamp holds the clock
// time there of the instant it names. Where all name one zone, as is usual,
// that is each stamp as written, so steps by months or days read as written;
// where the offset changes (summer time), the stamps still count the real time
// between them, in order. The stamps past the data are written in that zone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarvel::data {

enum class TimeKind { number, year, year_month, date, date_time };

// How a column writes its stamps, so that the ones past the data read alike.
struct TimeFormat {
  TimeKind kind = TimeKind::number;
  char date_time_separator = 'T';  // date_time: 'T' or ' '
  bool seconds = false;            // date_time: whether any cell writes seconds
  int decimals = 0;                // number: digits after the point; -1 when a cell
                                   // writes an exponent (then the shortest exact text)
  // date_time: the zone as the column's first stamp writes it ("Z", "+01:00",
  // "-0500"), empty when the stamps name none; and its seconds east of UTC.
  std::string zone;
  std::int32_t zone_offset = 0;
};

// One stamp. Calendar kinds (year .. date_time) count seconds from
// 1970-01-01T00:00 of the clock the stamps are written in (their format's
// zone, else none; a year is its 1 January, a month its first day); number
// stamps hold their value. A year stamp holds both.
struct TimeStamp {
  std::int64_t seconds = 0;
  double number = 0.0;
};

// One cell read as a time stamp: its kind and how it was written.
struct TimeCell {
  TimeFormat format;
  TimeStamp stamp;
};

// The cell as a time stamp of any kind; nullopt when it is none.
[[nodiscard]] std::optional<TimeCell> parse_time_stamp(std::string_view text);

// A cell's text for a message: in double quotes, at most its first 40 bytes
// (then "..."), control characters as \xNN.
[[nodiscard]] std::string quoted_cell(std::string_view text);

// What a kind is called in messages: "a year", "a month", "a date", ...
[[nodiscard]] std::string_view time_kind_name(TimeKind kind);

// The step from one stamp to the next, when it is the same all through.
// Calendar stamps step by months (when every stamp falls on the same day of
// the month, at most the 28th, or every one on the last day of its month, at
// the same time of day; so yearly is 12 months), else by days (dates), else
// by seconds (date-times). Numbers step by a constant difference (within a
// millionth of the step, for decimal fractions that binary doubles round).
struct TimeStep {
  enum class Unit { unknown, irregular, months, days, seconds, number };
  Unit unit = Unit::unknown;  // unknown: fewer than two stamps
  std::int64_t count = 0;     // months, days or seconds per step
  double number = 0.0;        // number: the difference
  bool month_end = false;     // months: the stamps fall on the last day of their month
};

// The season a step suggests, as forecasters take it: 12 for monthly, 4 for
// quarterly, 7 for daily, 52 for weekly, 24 for hourly stamps; 0 for any
// other step (yearly ones included), a number step or none.
[[nodiscard]] std::int32_t season_of_step(const TimeStep& step);

// The step in words: "yearly", "monthly", "quarterly", "every 2 years",
// "daily", "weekly", "hourly", "every 900 seconds", "a step of 0.5",
// "irregular (no constant step)", "one time stamp (no step)".
[[nodiscard]] std::string describe_step(const TimeStep& step);

// A time column as read: stamps in row order, strictly increasing.
struct TimeColumn {
  TimeFormat format;
  std::vector<TimeStamp> stamps;
  std::vector<std::string> texts;  // the cells as written (blanks trimmed): labels for the rows
  TimeStep step;
  [[nodiscard]] std::size_t size() const noexcept { return stamps.size(); }
};

struct TimeColumnResult {
  std::optional<TimeColumn> column;  // nullopt when refused
  std::size_t row = 0;               // the refused row (0-based)
  std::string message;               // why, e.g. `"1949-13" is not a time stamp (...)`
};

// Reads the cells of a time column. Refused: a cell that is no time stamp
// (an empty one too), a cell of another kind than the first (a date-time
// with a time zone where the first names none, or the other way round), one
// that passes the year 9999 or comes before 0000 in the first one's zone, a
// stamp that does not come after the one before it (rows must be in time
// order). The message names the other row involved by its line in `lines`
// when given (one per cell), else as "row N" counting from 1.
[[nodiscard]] TimeColumnResult read_time_column(std::span<const std::string> cells,
                                                std::span<const std::size_t> lines = {});

// The stamp as the column's format writes it.
[[nodiscard]] std::string format_time_stamp(const TimeStamp& stamp, const TimeFormat& format);

// A number for a chart's x-axis: decimal years for calendar stamps (a year
// itself; a month as year + (month - 1) / 12, evenly spaced as monthly series
// are usually drawn; dates and date-times as year + the elapsed fraction of
// their calendar year), the value itself for number stamps.
[[nodiscard]] double chart_x(const TimeStamp& stamp, TimeKind kind);

// The `count` stamps that follow the column's last one, one step apart, and
// their labels. A column without a constant step, or whose next stamps would
// pass the year 9999, gives none and says why in `problem`.
struct StampsAhead {
  std::vector<TimeStamp> stamps;
  std::vector<std::string> labels;
  std::string problem;
};
[[nodiscard]] StampsAhead time_stamps_after(const TimeColumn& column, std::size_t count);

// The row whose stamp the text names (of the column's kind, or for a number
// column any number equal to a stamp; a date-time of a zoned column in any
// zone, the same instant); nullopt when no row has it.
[[nodiscard]] std::optional<std::size_t> find_time_stamp(const TimeColumn& column,
                                                         std::string_view text);

}  // namespace quarvel::data
