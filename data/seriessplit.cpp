#include "data/seriessplit.h"

#include <algorithm>
#include <cmath>

#include "data/datafile.h"
#include "data/numbertext.h"
#include "data/plaintext.h"
#include "engine/dataset.h"

namespace quarvel::data {

namespace {

SplitCount count_at_fraction(double fraction, std::size_t n) {
  if (!(fraction > 0.0 && fraction < 1.0)) {
    return {0, {}, "a split fraction lies between 0 and 1, not " + format_general(fraction)};
  }
  // 0.29 * 100 is 28.999999999999996 in doubles: a whole product stays whole.
  const double product = std::floor(fraction * static_cast<double>(n) + 1e-9);
  return {static_cast<std::size_t>(product),
          format_general(fraction) + " of " + std::to_string(n) + ", rounded down",
          {}};
}

SplitCount count_at_time_stamp(std::string_view stamp, const TimeColumn* time) {
  if (time == nullptr) {
    return {0, {}, "the series has no time column, so it cannot be split at " + quoted_cell(stamp)};
  }
  const auto row = find_time_stamp(*time, stamp);
  if (!row) {
    return {0,
            {},
            "no row has the time stamp " + quoted_cell(stamp) + " (the series runs from " +
                quoted_cell(time->texts.front()) + " to " + quoted_cell(time->texts.back()) + ")"};
  }
  return {*row + 1, {}, {}};
}

std::string with_mark(std::string_view stamp) {
  return kTimeStampMark + std::string(stamp);
}

// A typed number is a fraction or a count, even where the series' stamps are
// numbers too (a year or a number column); when it does not fit as one, how
// to name the stamp instead, and whether the series has it.
std::string stamp_hint(std::string_view text, const TimeColumn* time) {
  if (time == nullptr || time->stamps.empty() || !parse_number(text)) return {};
  if (time->format.kind != TimeKind::number && time->format.kind != TimeKind::year) return {};
  if (find_time_stamp(*time, text)) {
    return "; to end the training part at the time stamp " + std::string(text) + ", write " +
           with_mark(text);
  }
  return "; read as a time stamp (" + with_mark(text) +
         "), it names no row either: the series runs from " + quoted_cell(time->texts.front()) +
         " to " + quoted_cell(time->texts.back());
}

SplitCount count_from_text(std::string_view text, std::size_t n, const TimeColumn* time) {
  text = trim_blanks(text);
  if (text.starts_with(kTimeStampMark)) {
    const std::string_view stamp = trim_blanks(text.substr(1));
    if (!parse_time_stamp(stamp)) {
      return {0, {}, quoted_cell(text) + " holds no time stamp after its " + kTimeStampMark};
    }
    return count_at_time_stamp(stamp, time);
  }
  // parse_number refuses the hexadecimal that parse_whole_number takes.
  if (const auto number = parse_number(text)) {
    if (*number > 0.0 && *number < 1.0) return count_at_fraction(*number, n);
    if (const auto whole = parse_whole_number(text); whole && *whole >= 0) {
      return {static_cast<std::size_t>(*whole), {}, {}};
    }
  } else if (parse_time_stamp(text)) {
    return count_at_time_stamp(text, time);
  }
  return {0,
          {},
          quoted_cell(text) +
              " is neither a fraction between 0 and 1, a count of values nor a time stamp of "
              "the series" +
              stamp_hint(text, time)};
}

std::string values_word(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " value" : " values");
}

}  // namespace

SplitCount split_training_count(std::size_t n, const SplitPoint& point, const TimeColumn* time) {
  switch (point.kind) {
    case SplitPoint::Kind::fraction:
      return count_at_fraction(point.fraction, n);
    case SplitPoint::Kind::count:
      return {point.count, {}, {}};
    case SplitPoint::Kind::time_stamp:
      return count_at_time_stamp(point.text, time);
    case SplitPoint::Kind::text:
      break;
  }
  return count_from_text(point.text, n, time);
}

std::size_t split_overlap(std::size_t n, std::size_t training_count,
                          std::size_t largest_lag) noexcept {
  const auto capacity = static_cast<std::size_t>(kDataSetCapacity);
  std::size_t overlap = std::min(largest_lag, training_count > 0 ? training_count - 1 : 0);
  overlap = std::min(overlap, n < capacity ? capacity - n : 0);
  return overlap;
}

std::optional<std::string> check_split_text(std::string_view text, bool has_time_column) {
  text = trim_blanks(text);
  const bool marked = text.starts_with(kTimeStampMark);
  if (marked && !parse_time_stamp(trim_blanks(text.substr(1)))) {
    return quoted_cell(text) + " holds no time stamp after its " + kTimeStampMark;
  }
  const std::optional<double> number = marked ? std::nullopt : parse_number(text);
  if (number && *number > 0.0 && *number < 1.0) return std::nullopt;
  if (const auto whole = parse_whole_number(text); number && whole && *whole >= 1) {
    return std::nullopt;
  }
  if (!number && (marked || parse_time_stamp(text))) {
    if (has_time_column) return std::nullopt;
    return quoted_cell(text) + " is a time stamp, but no time column is chosen to find it in";
  }
  std::string problem = quoted_cell(text) +
                        " is neither a fraction between 0 and 1, a count of training values from "
                        "1 nor a time stamp";
  if (number && has_time_column) {
    problem += " (a time stamp that reads as a number is written after " +
               std::string(1, kTimeStampMark) + ": " + with_mark(text) + ")";
  }
  return problem;
}

std::string split_text(std::size_t training_count, const TimeColumn* time) {
  if (time == nullptr || training_count < 1 || training_count > time->size()) {
    return std::to_string(training_count);
  }
  const std::string& stamp = time->texts[training_count - 1];
  return parse_number(stamp) ? with_mark(stamp) : stamp;
}

SplitResult split_series(std::span<const double> values, const SplitPoint& point,
                         std::size_t overlap, const TimeColumn* time) {
  SplitResult result;
  const std::size_t n = values.size();
  const SplitCount training = split_training_count(n, point, time);
  if (!training.error.empty()) {
    result.error = training.error;
    return result;
  }
  const std::size_t t = training.training_count;
  const std::string at = training.how.empty() ? "" : " (" + training.how + ")";
  if (t >= n) {
    result.error = "the split" + at + " leaves no value to validate: the series holds " +
                   values_word(n) + ", and the training part would take " +
                   (t == n ? "all of them" : std::to_string(t));
    if (point.kind == SplitPoint::Kind::text)
      result.error += stamp_hint(trim_blanks(point.text), time);
    return result;
  }
  if (t < overlap + 1) {
    result.error = "the training part" + at + " would hold " + values_word(t) +
                   ", but an overlap of " + std::to_string(overlap) + " needs at least " +
                   std::to_string(overlap + 1);
    return result;
  }
  if (n + overlap > static_cast<std::size_t>(kDataSetCapacity)) {
    result.error = "the two parts would hold " + std::to_string(n + overlap) +
                   " values with the overlap, more than the " + std::to_string(kDataSetCapacity) +
                   " a series can hold";
    return result;
  }

  SeriesSplit& split = result.split.emplace();
  split.training_count = t;
  split.overlap = overlap;
  split.training.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(t));
  split.validation.assign(values.begin() + static_cast<std::ptrdiff_t>(t - overlap), values.end());
  split.reading = "the first " + std::to_string(t) + " of " + values_word(n) + " train";
  std::string notes = training.how;
  if (time != nullptr && t <= time->size()) {
    notes = "up to " + time->texts[t - 1] + (notes.empty() ? "" : "; " + notes);
  }
  if (!notes.empty()) split.reading += " (" + notes + ")";
  split.reading += ", " + std::to_string(n - t) + (n - t == 1 ? " is" : " are") +
                   " held out, and the validation part repeats the last " + values_word(overlap) +
                   " of the training part";

  // The grids hold the values as texts; the detection compares those.
  const GridColumns training_grid = make_grid(split.training, 0);
  const GridColumns validation_grid = make_grid(split.validation, 0);
  split.detected_overlap = detect_overlap(training_grid.value, validation_grid.value);
  if (split.detected_overlap != static_cast<std::int32_t>(overlap)) {
    split.overlap_warning =
        "loading the two parts would detect an overlap of " +
        std::to_string(split.detected_overlap) + ", not " + std::to_string(overlap) +
        ": the last training value (" + training_grid.value.back() +
        ") and the ones before it occur earlier in the validation part; set the overlap to " +
        std::to_string(overlap) + " explicitly";
  }
  return result;
}

}  // namespace quarvel::data
