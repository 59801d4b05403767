// One series split in two, as a training file and a validation file split it:
// the training part is the first T values; the validation part repeats the
// last K of them (the overlap: the largest lag a model reads), then holds the
// rest. Loaded into the two grids, the overlap detection finds K from the
// repeated block, unless the block's values also occur earlier, which the
// split reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/timestamps.h"

namespace quarvel::data {

// Marks a typed split point as a time stamp, whatever it looks like.
inline constexpr char kTimeStampMark = '@';

// Where the training part ends.
struct SplitPoint {
  enum class Kind {
    fraction,    // in (0, 1): the first floor(fraction * N) values train
    count,       // the first `count` values train
    time_stamp,  // the training part ends with the row of this time stamp
    text,        // what a user typed, read by its spelling alone: a number in
                 // (0, 1) is a fraction (`0.8`), a whole number a count (`120`),
                 // a calendar stamp that is no number a time stamp (`1958-12`),
                 // and anything after kTimeStampMark a time stamp (`@1958`,
                 // `@40`: the only way to name a year or a number stamp)
  };
  Kind kind = Kind::count;
  double fraction = 0.0;
  std::size_t count = 0;
  std::string text;  // time_stamp and text

  [[nodiscard]] static SplitPoint at_fraction(double fraction) {
    return {Kind::fraction, fraction, 0, {}};
  }
  [[nodiscard]] static SplitPoint at_count(std::size_t count) {
    return {Kind::count, 0.0, count, {}};
  }
  [[nodiscard]] static SplitPoint at_time_stamp(std::string stamp) {
    return {Kind::time_stamp, 0.0, 0, std::move(stamp)};
  }
  [[nodiscard]] static SplitPoint from_text(std::string_view text) {
    return {Kind::text, 0.0, 0, std::string(text)};
  }
};

struct SeriesSplit {
  std::size_t training_count = 0;  // T
  std::size_t overlap = 0;         // K
  std::vector<double> training;    // the first T values
  std::vector<double> validation;  // the last K training values, then the N - T held out
  // How the split point was read, e.g. "the first 120 of 144 values train (up
  // to 1958-12), 24 are held out, and the validation part repeats the last 36
  // training values".
  std::string reading;
  // What detect_overlap finds on the two parts' grid texts (make_grid), as a
  // load of the two grids would; at most K.
  std::int32_t detected_overlap = 0;
  // Empty when detected_overlap == K; else why not, and that the caller must
  // set the overlap to K itself.
  std::string overlap_warning;

  // The row of the series where the validation part starts (T - K).
  [[nodiscard]] std::size_t validation_first_row() const noexcept {
    return training_count - overlap;
  }
  // The row of the series that a point of the two parts, loaded one after the
  // other (T + K + N - T points), stands for: a training point its own row, a
  // validation point the row it repeats or holds out.
  [[nodiscard]] std::size_t series_row(std::size_t point) const noexcept {
    return point < training_count ? point : point - overlap;
  }
  // Whether the point is one of the validation part's repeated training values.
  [[nodiscard]] bool repeats_training(std::size_t point) const noexcept {
    return point >= training_count && point - training_count < overlap;
  }
};

struct SplitResult {
  std::optional<SeriesSplit> split;  // nullopt when refused
  std::string error;                 // why
};

// The training count T that a split point gives for a series of n values, or
// why it names no row. Whether T leaves values to validate is split_series'
// to say.
struct SplitCount {
  std::size_t training_count = 0;
  std::string how;    // how the point was read, when that needs saying
                      // ("0.8 of 144, rounded down")
  std::string error;  // empty when the point names a row
};
[[nodiscard]] SplitCount split_training_count(std::size_t n, const SplitPoint& point,
                                              const TimeColumn* time = nullptr);

// The overlap K of a split for models that read at most `largest_lag` values
// back: that many, or fewer where the split cannot repeat so many (at most
// T - 1, and no more than the data set holds beside the n values).
[[nodiscard]] std::size_t split_overlap(std::size_t n, std::size_t training_count,
                                        std::size_t largest_lag) noexcept;

// What a user typed for a split point, checked before the series is read:
// nullopt when it may name a row (a fraction in (0, 1), a whole count from 1,
// or, when the series has a time column, a time stamp), else why it names none.
[[nodiscard]] std::optional<std::string> check_split_text(std::string_view text,
                                                          bool has_time_column);

// The split point a user would type to end the training part with its first
// `training_count` rows: the time stamp of its last row where `time` has one
// (after kTimeStampMark where the stamp reads as a number), else the count.
[[nodiscard]] std::string split_text(std::size_t training_count, const TimeColumn* time);

// Splits the series at the point with overlap K. `time`, when given, holds one
// stamp per value (a time-stamp split point needs it). Refused: a point that
// names no row, a fraction outside (0, 1), a split that leaves no validation
// value or fewer than K + 1 training values, and two parts that together hold
// more values (N + K) than the engine's data set.
[[nodiscard]] SplitResult split_series(std::span<const double> values, const SplitPoint& point,
                                       std::size_t overlap, const TimeColumn* time = nullptr);

}  // namespace quarvel::data
