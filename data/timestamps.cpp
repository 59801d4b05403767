#include "data/timestamps.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "data/numbertext.h"
#include "data/plaintext.h"

namespace quarvel::data {

namespace {

namespace chrono = std::chrono;

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kLastYear = 9999;

bool is_digit(char c) noexcept {
  return c >= '0' && c <= '9';
}

// Reads `min_digits` to `max_digits` decimal digits at `pos`, advancing it.
std::optional<int> read_digits(std::string_view text, std::size_t& pos, std::size_t min_digits,
                               std::size_t max_digits) {
  int value = 0;
  std::size_t count = 0;
  while (pos < text.size() && is_digit(text[pos]) && count < max_digits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++count;
  }
  if (count < min_digits || (pos < text.size() && is_digit(text[pos]))) return std::nullopt;
  return value;
}

std::int64_t floor_divide(std::int64_t value, std::int64_t divisor) noexcept {
  const std::int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

// Days from 1970-01-01 to a valid civil date.
std::int64_t days_from_civil(const chrono::year_month_day& date) {
  return chrono::sys_days{date}.time_since_epoch().count();
}

chrono::year_month_day civil_from_days(std::int64_t days) {
  return chrono::year_month_day{chrono::sys_days{chrono::days{days}}};
}

// A calendar stamp taken apart.
struct CivilTime {
  chrono::year_month_day date;
  std::int64_t second_of_day = 0;
};

CivilTime civil_time(std::int64_t seconds) {
  const std::int64_t days = floor_divide(seconds, kSecondsPerDay);
  return {civil_from_days(days), seconds - days * kSecondsPerDay};
}

std::int64_t seconds_of(const chrono::year_month_day& date, std::int64_t second_of_day) {
  return days_from_civil(date) * kSecondsPerDay + second_of_day;
}

int year_of(const chrono::year_month_day& date) {
  return static_cast<int>(date.year());
}
unsigned month_of(const chrono::year_month_day& date) {
  return static_cast<unsigned>(date.month());
}
unsigned day_of(const chrono::year_month_day& date) {
  return static_cast<unsigned>(date.day());
}

bool is_month_end(const chrono::year_month_day& date) {
  return chrono::year_month_day_last{date.year(), chrono::month_day_last{date.month()}}.day() ==
         date.day();
}

// The first second of the year 0000 and the first past 9999.
std::int64_t first_second() {
  return seconds_of(chrono::year{0} / 1 / 1, 0);
}
std::int64_t end_of_calendar() {
  return seconds_of(chrono::year{kLastYear + 1} / 1 / 1, 0);
}

bool is_calendar(TimeKind kind) noexcept {
  return kind != TimeKind::number;
}

// The value that orders stamps of the kind; a year orders as its number so
// that a column that turns out to be a number column compares alike.
bool comes_after(const TimeStamp& later, const TimeStamp& earlier, TimeKind kind) {
  if (kind == TimeKind::number || kind == TimeKind::year) return later.number > earlier.number;
  return later.seconds > earlier.seconds;
}

// A time zone that ends a date-time: Z, or the offset from UTC as +HH:MM,
// +HHMM or +HH (- west of UTC), hours 00..23 and minutes 00..59. Its seconds
// east of UTC.
std::optional<std::int32_t> zone_offset(std::string_view zone) {
  if (zone == "Z") return 0;
  const bool colon = zone.size() == 6 && zone[3] == ':';
  if ((zone.size() != 3 && zone.size() != 5 && !colon) || (zone[0] != '+' && zone[0] != '-')) {
    return std::nullopt;
  }
  const auto two_digits = [zone](std::size_t at) -> std::optional<int> {
    if (!is_digit(zone[at]) || !is_digit(zone[at + 1])) return std::nullopt;
    return (zone[at] - '0') * 10 + (zone[at + 1] - '0');
  };
  const auto hours = two_digits(1);
  const auto minutes = zone.size() == 3 ? std::optional<int>(0) : two_digits(colon ? 4 : 3);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  const std::int32_t seconds = (*hours * 60 + *minutes) * 60;
  return zone[0] == '-' ? -seconds : seconds;
}

std::optional<TimeCell> parse_calendar(std::string_view text) {
  std::size_t pos = 0;
  const auto year = read_digits(text, pos, 4, 4);
  if (!year) return std::nullopt;
  TimeCell cell;
  if (pos == text.size()) {
    cell.format.kind = TimeKind::year;
    cell.stamp.seconds = seconds_of(chrono::year{*year} / 1 / 1, 0);
    cell.stamp.number = *year;
    return cell;
  }
  if (text[pos++] != '-') return std::nullopt;
  const auto month = read_digits(text, pos, 1, 2);
  if (!month || *month < 1 || *month > 12) return std::nullopt;
  const auto month_value = static_cast<unsigned>(*month);
  if (pos == text.size()) {
    cell.format.kind = TimeKind::year_month;
    cell.stamp.seconds = seconds_of(chrono::year{*year} / chrono::month{month_value} / 1, 0);
    return cell;
  }
  if (text[pos++] != '-') return std::nullopt;
  const auto day = read_digits(text, pos, 1, 2);
  if (!day) return std::nullopt;
  const chrono::year_month_day date{chrono::year{*year}, chrono::month{month_value},
                                    chrono::day{static_cast<unsigned>(*day)}};
  if (!date.ok()) return std::nullopt;
  if (pos == text.size()) {
    cell.format.kind = TimeKind::date;
    cell.stamp.seconds = seconds_of(date, 0);
    return cell;
  }
  const char separator = text[pos++];
  if (separator != 'T' && separator != ' ') return std::nullopt;
  const auto hour = read_digits(text, pos, 2, 2);
  if (!hour || *hour > 23 || pos == text.size() || text[pos++] != ':') return std::nullopt;
  const auto minute = read_digits(text, pos, 2, 2);
  if (!minute || *minute > 59) return std::nullopt;
  int second = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    const auto seconds = read_digits(text, pos, 2, 2);
    if (!seconds || *seconds > 59) return std::nullopt;
    second = *seconds;
    cell.format.seconds = true;
  }
  if (pos < text.size()) {
    const auto offset = zone_offset(text.substr(pos));
    if (!offset) return std::nullopt;
    cell.format.zone = std::string(text.substr(pos));
    cell.format.zone_offset = *offset;
  }
  cell.format.kind = TimeKind::date_time;
  cell.format.date_time_separator = separator;
  cell.stamp.seconds = seconds_of(date, (std::int64_t{*hour} * 60 + *minute) * 60 + second);
  return cell;
}

// Digits after the point of a decimal number text, -1 with an exponent.
int decimals_of(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return -1;
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) return 0;
  return static_cast<int>(text.size() - point - 1);
}

void append_padded(std::string& out, std::int64_t value, int width) {
  std::array<char, 24> digits;
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  const auto length = static_cast<int>(end - digits.data());
  out.append(static_cast<std::size_t>(std::max(0, width - length)), '0');
  out.append(digits.data(), end);
}

std::string format_number(double value, int decimals) {
  std::array<char, 400> text;
  // With an exponent (or more decimals than a double holds), the shortest text
  // that reads back as the same double.
  const auto written = decimals < 0 || decimals > 17
                           ? std::to_chars(text.data(), text.data() + text.size(), value)
                           : std::to_chars(text.data(), text.data() + text.size(), value,
                                           std::chars_format::fixed, decimals);
  if (written.ec != std::errc{}) return format_general(value);
  std::string result(text.data(), written.ptr);
  // A tiny negative value rounds to "-0.00": zero has no sign.
  if (result.front() == '-' && result.find_first_not_of("-0.") == std::string::npos) {
    result.erase(0, 1);
  }
  return result;
}

TimeStep detect_calendar_step(const std::vector<TimeStamp>& stamps, TimeKind kind) {
  const CivilTime first = civil_time(stamps.front().seconds);
  // By months: one day of the month (up to the 28th, which every month has)
  // or every month's last day, at one time of day.
  bool same_day = day_of(first.date) <= 28;
  bool month_ends = true;
  bool same_time = true;
  bool constant_months = true;
  std::int64_t months = 0;
  std::int64_t previous_month = std::int64_t{year_of(first.date)} * 12 + month_of(first.date) - 1;
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    const CivilTime time = civil_time(stamps[i].seconds);
    same_day = same_day && day_of(time.date) == day_of(first.date);
    month_ends = month_ends && is_month_end(time.date);
    same_time = same_time && time.second_of_day == first.second_of_day;
    const std::int64_t month = std::int64_t{year_of(time.date)} * 12 + month_of(time.date) - 1;
    if (i == 1) months = month - previous_month;
    if (i > 1) constant_months = constant_months && month - previous_month == months;
    previous_month = month;
  }
  if ((same_day || month_ends) && same_time && constant_months && months > 0) {
    return {TimeStep::Unit::months, months, 0.0, !same_day};
  }
  // Years and months name no day: they step by months or not at all.
  if (kind == TimeKind::year || kind == TimeKind::year_month) {
    return {TimeStep::Unit::irregular, 0, 0.0, false};
  }
  const std::int64_t seconds = stamps[1].seconds - stamps[0].seconds;
  for (std::size_t i = 2; i < stamps.size(); ++i) {
    if (stamps[i].seconds - stamps[i - 1].seconds != seconds) {
      return {TimeStep::Unit::irregular, 0, 0.0, false};
    }
  }
  if (kind == TimeKind::date) return {TimeStep::Unit::days, seconds / kSecondsPerDay, 0.0, false};
  return {TimeStep::Unit::seconds, seconds, 0.0, false};
}

TimeStep detect_number_step(const std::vector<TimeStamp>& stamps) {
  const double step =
      (stamps.back().number - stamps.front().number) / static_cast<double>(stamps.size() - 1);
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const double difference = stamps[i].number - stamps[i - 1].number;
    if (!(std::fabs(difference - step) <= 1e-6 * step)) {
      return {TimeStep::Unit::irregular, 0, 0.0, false};
    }
  }
  return {TimeStep::Unit::number, 0, step, false};
}

TimeStep detect_step(const std::vector<TimeStamp>& stamps, TimeKind kind) {
  if (stamps.size() < 2) return {};
  if (kind == TimeKind::number) return detect_number_step(stamps);
  return detect_calendar_step(stamps, kind);
}

std::string every(std::int64_t count, std::string_view unit, std::string_view single) {
  if (count == 1) return std::string(single);
  return "every " + std::to_string(count) + " " + std::string(unit);
}

}  // namespace

std::string quoted_cell(std::string_view text) {
  constexpr std::size_t kShownBytes = 40;
  std::size_t shown = std::min(text.size(), kShownBytes);
  // Not in the middle of a UTF-8 sequence.
  while (shown < text.size() && shown > 0 &&
         (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) {
    --shown;
  }
  std::string quoted = "\"";
  for (const char c : text.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      quoted.push_back(c);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      quoted += "\\x";
      quoted.push_back(kHex[byte >> 4]);
      quoted.push_back(kHex[byte & 0xF]);
    }
  }
  if (shown < text.size()) quoted += "...";
  quoted.push_back('"');
  return quoted;
}

std::optional<TimeCell> parse_time_stamp(std::string_view text) {
  text = trim_blanks(text);
  if (text.empty()) return std::nullopt;
  if (auto calendar = parse_calendar(text)) return calendar;
  const auto number = parse_number(text);
  if (!number) return std::nullopt;
  TimeCell cell;
  cell.format.kind = TimeKind::number;
  cell.format.decimals = decimals_of(text);
  cell.stamp.number = *number;
  return cell;
}

std::string_view time_kind_name(TimeKind kind) {
  switch (kind) {
    case TimeKind::year:
      return "a year";
    case TimeKind::year_month:
      return "a month";
    case TimeKind::date:
      return "a date";
    case TimeKind::date_time:
      return "a date and time";
    case TimeKind::number:
      break;
  }
  return "a number";
}

std::int32_t season_of_step(const TimeStep& step) {
  switch (step.unit) {
    case TimeStep::Unit::months:
      return step.count == 1 ? 12 : step.count == 3 ? 4 : 0;
    case TimeStep::Unit::days:
      return step.count == 1 ? 7 : step.count == 7 ? 52 : 0;
    case TimeStep::Unit::seconds:
      return step.count == 3600 ? 24 : 0;
    case TimeStep::Unit::unknown:
    case TimeStep::Unit::irregular:
    case TimeStep::Unit::number:
      break;
  }
  return 0;
}

std::string describe_step(const TimeStep& step) {
  switch (step.unit) {
    case TimeStep::Unit::unknown:
      return "one time stamp (no step)";
    case TimeStep::Unit::irregular:
      return "irregular (no constant step)";
    case TimeStep::Unit::months: {
      std::string words;
      if (step.count % 12 == 0) {
        words = every(step.count / 12, "years", "yearly");
      } else if (step.count == 3) {
        words = "quarterly";
      } else {
        words = every(step.count, "months", "monthly");
      }
      return step.month_end ? words + ", on the last day of the month" : words;
    }
    case TimeStep::Unit::days:
      return step.count == 7 ? "weekly" : every(step.count, "days", "daily");
    case TimeStep::Unit::seconds:
      if (step.count % kSecondsPerDay == 0) {
        return every(step.count / kSecondsPerDay, "days", "daily");
      }
      if (step.count % 3600 == 0) return every(step.count / 3600, "hours", "hourly");
      if (step.count % 60 == 0) return every(step.count / 60, "minutes", "every minute");
      return every(step.count, "seconds", "every second");
    case TimeStep::Unit::number:
      return "a step of " + format_general(step.number);
  }
  return {};
}

TimeColumnResult read_time_column(std::span<const std::string> cells,
                                  std::span<const std::size_t> lines) {
  const auto where = [&](std::size_t row) {
    return row < lines.size() ? "line " + std::to_string(lines[row])
                              : "row " + std::to_string(row + 1);
  };
  TimeColumnResult result;
  TimeColumn column;
  column.stamps.reserve(cells.size());
  column.texts.reserve(cells.size());
  for (std::size_t row = 0; row < cells.size(); ++row) {
    const std::string_view text = trim_blanks(cells[row]);
    const auto cell = parse_time_stamp(text);
    result.row = row;
    if (!cell) {
      result.message = text.empty() ? "holds no time stamp"
                                    : quoted_cell(text) +
                                          " is not a time stamp (a year such as 1949, a month "
                                          "1949-01, a date 1949-01-31, a date and time "
                                          "1949-01-31T12:00, or a number)";
      return result;
    }
    TimeFormat& format = column.format;
    TimeStamp stamp = cell->stamp;
    if (row == 0) {
      format = cell->format;
    } else if (cell->format.kind == TimeKind::date_time && format.kind == TimeKind::date_time) {
      if (cell->format.zone.empty() != format.zone.empty()) {
        result.message =
            quoted_cell(text) +
            (format.zone.empty() ? " names a time zone, but " + where(0) + " names none ("
                                 : " names no time zone, but " + where(0) + " names one (") +
            quoted_cell(column.texts.front()) +
            "); a time column's date-times name a zone all or none";
        return result;
      }
      // The same instant on the clock of the first stamp's zone.
      stamp.seconds += std::int64_t{format.zone_offset} - cell->format.zone_offset;
      if (stamp.seconds < first_second() || stamp.seconds >= end_of_calendar()) {
        result.message = quoted_cell(text) + " lies outside the years 0000 to 9999 in the time " +
                         "zone of " + where(0) + " (" + format.zone + ")";
        return result;
      }
    } else if (cell->format.kind != format.kind) {
      const bool both_numbers =
          !is_calendar(cell->format.kind) || cell->format.kind == TimeKind::year;
      if (!(both_numbers && (format.kind == TimeKind::year || format.kind == TimeKind::number))) {
        result.message =
            quoted_cell(text) + " is " + std::string(time_kind_name(cell->format.kind)) + ", but " +
            where(0) + " holds " + std::string(time_kind_name(format.kind)) + " (" +
            quoted_cell(column.texts.front()) + "); a time column holds one kind of time stamp";
        return result;
      }
      format.kind = TimeKind::number;
    }
    format.seconds = format.seconds || cell->format.seconds;
    if (format.decimals >= 0) {
      format.decimals =
          cell->format.decimals < 0 ? -1 : std::max(format.decimals, cell->format.decimals);
    }
    if (row > 0 && !comes_after(stamp, column.stamps.back(), cell->format.kind)) {
      result.message = quoted_cell(text) + " does not come after " +
                       quoted_cell(column.texts.back()) + " (" + where(row - 1) +
                       "); the rows must be in time order, earliest first";
      return result;
    }
    column.stamps.push_back(stamp);
    column.texts.emplace_back(text);
  }
  column.step = detect_step(column.stamps, column.format.kind);
  result.column = std::move(column);
  return result;
}

std::string format_time_stamp(const TimeStamp& stamp, const TimeFormat& format) {
  if (format.kind == TimeKind::number) return format_number(stamp.number, format.decimals);
  const CivilTime time = civil_time(stamp.seconds);
  std::string text;
  append_padded(text, year_of(time.date), 4);
  if (format.kind == TimeKind::year) return text;
  text.push_back('-');
  append_padded(text, month_of(time.date), 2);
  if (format.kind == TimeKind::year_month) return text;
  text.push_back('-');
  append_padded(text, day_of(time.date), 2);
  if (format.kind == TimeKind::date) return text;
  text.push_back(format.date_time_separator);
  append_padded(text, time.second_of_day / 3600, 2);
  text.push_back(':');
  append_padded(text, time.second_of_day / 60 % 60, 2);
  if (format.seconds) {
    text.push_back(':');
    append_padded(text, time.second_of_day % 60, 2);
  }
  return text + format.zone;
}

double chart_x(const TimeStamp& stamp, TimeKind kind) {
  if (kind == TimeKind::number) return stamp.number;
  const CivilTime time = civil_time(stamp.seconds);
  const int year = year_of(time.date);
  if (kind == TimeKind::year) return year;
  if (kind == TimeKind::year_month) return year + (month_of(time.date) - 1) / 12.0;
  const std::int64_t start = seconds_of(chrono::year{year} / 1 / 1, 0);
  const std::int64_t end = seconds_of(chrono::year{year + 1} / 1 / 1, 0);
  return year + static_cast<double>(stamp.seconds - start) / static_cast<double>(end - start);
}

StampsAhead time_stamps_after(const TimeColumn& column, std::size_t count) {
  StampsAhead ahead;
  const TimeStep& step = column.step;
  if (step.unit == TimeStep::Unit::unknown || step.unit == TimeStep::Unit::irregular) {
    ahead.problem = "the time stamps have no constant step (" + describe_step(step) +
                    "), so the ones past the data cannot be named";
    return ahead;
  }
  const TimeStamp& last = column.stamps.back();
  const CivilTime last_time = civil_time(last.seconds);
  std::int64_t month = std::int64_t{year_of(last_time.date)} * 12 + month_of(last_time.date) - 1;
  TimeStamp next = last;
  for (std::size_t k = 1; k <= count; ++k) {
    switch (step.unit) {
      case TimeStep::Unit::months: {
        month += step.count;
        if (month / 12 > kLastYear) break;
        const chrono::year year{static_cast<int>(month / 12)};
        const chrono::month month_of_year{static_cast<unsigned>(month % 12 + 1)};
        const chrono::year_month_day date =
            step.month_end ? chrono::year_month_day{year / month_of_year / chrono::last}
                           : chrono::year_month_day{year / month_of_year / last_time.date.day()};
        next.seconds = seconds_of(date, last_time.second_of_day);
        break;
      }
      case TimeStep::Unit::days:
        next.seconds += step.count * kSecondsPerDay;
        break;
      case TimeStep::Unit::seconds:
        next.seconds += step.count;
        break;
      default:
        // From the first stamp, so that the rounding of the step does not add up.
        next.number =
            column.stamps.front().number + static_cast<double>(column.size() - 1 + k) * step.number;
        break;
    }
    if (is_calendar(column.format.kind)) {
      if (month / 12 > kLastYear || next.seconds >= end_of_calendar()) {
        ahead.problem = "the time stamps past the data would pass the year 9999";
        break;
      }
      if (column.format.kind == TimeKind::year)
        next.number = year_of(civil_time(next.seconds).date);
    } else if (!std::isfinite(next.number)) {
      ahead.problem = "the time stamps past the data would pass the largest number";
      break;
    }
    ahead.stamps.push_back(next);
    ahead.labels.push_back(format_time_stamp(next, column.format));
  }
  if (!ahead.problem.empty()) {
    ahead.stamps.clear();
    ahead.labels.clear();
  }
  return ahead;
}

std::optional<std::size_t> find_time_stamp(const TimeColumn& column, std::string_view text) {
  const auto cell = parse_time_stamp(text);
  if (!cell || column.stamps.empty()) return std::nullopt;
  const TimeKind kind = column.format.kind;
  const bool numbers = kind == TimeKind::number;
  if (numbers ? is_calendar(cell->format.kind) && cell->format.kind != TimeKind::year
              : cell->format.kind != kind) {
    return std::nullopt;
  }
  TimeStamp wanted = cell->stamp;
  if (kind == TimeKind::date_time) {
    if (cell->format.zone.empty() != column.format.zone.empty()) return std::nullopt;
    wanted.seconds += std::int64_t{column.format.zone_offset} - cell->format.zone_offset;
  }
  const auto found = std::lower_bound(column.stamps.begin(), column.stamps.end(), wanted,
                                      [&](const TimeStamp& stamp, const TimeStamp& sought) {
                                        return comes_after(sought, stamp, kind);
                                      });
  if (found == column.stamps.end() || comes_after(*found, wanted, kind)) return std::nullopt;
  return static_cast<std::size_t>(found - column.stamps.begin());
}

}  // namespace quarvel::data
