// A table's time stamps on a chart's horizontal axis: where each point of the
// two parts of a split series stands in time, and tick labels written as the
// table writes its stamps (years, months, dates, date-times) at calendar
// intervals that fit the plot.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "data/timestamps.h"

namespace quarvel::ui {

class ChartView;

// The time stamps of a series that was split into a training part of T rows
// and a validation part that repeats the last K of them, then holds the rest.
// Points are numbered as the two parts loaded one after the other number them
// (the grids' times and the prediction's indices): point p < T is row p, a
// later one row p - K, and the points after the last row are the steps past
// the data.
class TimeScale {
 public:
  // `title` names the axis (the time column's name); `steps_ahead` stamps
  // past the data are named, when the column has a constant step.
  TimeScale(data::TimeColumn column, std::size_t training_count, std::size_t overlap, QString title,
            std::size_t steps_ahead = 0);

  // The same stamps with `steps_ahead` named past the data.
  [[nodiscard]] TimeScale with_steps_ahead(std::size_t steps_ahead) const;

  [[nodiscard]] std::size_t rows() const noexcept { return column_.size(); }
  [[nodiscard]] std::size_t training_count() const noexcept { return training_count_; }
  [[nodiscard]] std::size_t overlap() const noexcept { return overlap_; }
  [[nodiscard]] const data::TimeFormat& format() const noexcept { return column_.format; }
  // The season the stamps' step suggests (12 for monthly ones), 0 for none.
  [[nodiscard]] std::int32_t step_season() const { return data::season_of_step(column_.step); }
  [[nodiscard]] const QString& title() const noexcept { return title_; }
  // Whether the stamps are calendar ones (labelled by time_ticks) rather
  // than plain numbers (labelled as numbers).
  [[nodiscard]] bool calendar() const noexcept {
    return column_.format.kind != data::TimeKind::number;
  }
  // Whether two parts of these sizes are the ones the stamps were split for.
  [[nodiscard]] bool fits(std::size_t training_points, std::size_t validation_points) const;

  // The chart x of point `point`: its row's stamp (data::chart_x); past
  // the named stamps, and between whole points, on the straight line through
  // the neighbouring rows, by the mean step beyond the ends.
  [[nodiscard]] double x_of_point(double point) const;
  // Whether the point is one of the validation part's repeated training values.
  [[nodiscard]] bool repeats_training(std::size_t point) const noexcept {
    return point >= training_count_ && point - training_count_ < overlap_;
  }
  // Points (index, y) moved to their time; the repeated training values left
  // out unless `keep_repeats` (a curve through them would run back in time).
  [[nodiscard]] QList<QPointF> on_time(const QList<QPointF>& index_points, bool keep_repeats) const;
  // The stamps of points `first` to `first + count - 1` as the table writes
  // them (a step past the data by the stamp it is named by; empty for a step
  // that has none): the labels of a grid's time column.
  [[nodiscard]] QStringList point_stamps(std::size_t first, std::size_t count) const;
  // The stamp whose x is exactly `x`, as the table writes it; empty when no
  // row or named step is there.
  [[nodiscard]] QString label_at(double x) const;

 private:
  [[nodiscard]] double x_of_row(double row) const;

  data::TimeColumn column_;
  std::size_t training_count_ = 0;
  std::size_t overlap_ = 0;
  QString title_;
  std::vector<double> xs_;           // each row's x, then those of the named steps ahead
  std::vector<std::string> labels_;  // the stamps of the same
  double mean_step_ = 1.0;           // between the first and the last row's x
};

// A tick of a time axis.
struct TimeTick {
  double x = 0.0;
  QString label;
  bool operator==(const TimeTick&) const = default;
};

// Ticks at calendar intervals between `low` and `high` (chart x, decimal
// years): the shortest of 1, 2, 5, 10, 15, 30 seconds, minutes 1 to 30, hours
// 1 to 12, days 1, 2, 7, 14, months 1, 2, 3, 6 and years 1, 2, 5, 10, 20,
// 25, 50, ... that the stamps' kind can write (no months for a year column)
// and that gives at most `most` ticks. Labels as the column writes its
// stamps; a date-time at midnight, at steps of a day or more, as its date.
[[nodiscard]] std::vector<TimeTick> time_ticks(double low, double high,
                                               const data::TimeFormat& format, int most);

// Shows the stamps of `scale` on the horizontal axis of the chart of `view`,
// titled with its title, for as long as the scale is set: calendar stamps as
// labelled ticks that follow every zoom and size of the plot (in exports
// too), numbers on the chart's own axis. Null: the axis the chart had.
void show_time_axis(ChartView* view, std::shared_ptr<const TimeScale> scale);
// The scale shown on the chart of `view`; null when none is.
[[nodiscard]] const TimeScale* time_scale_of(const ChartView* view);

}  // namespace quarvel::ui
