#include "ui/TimeAxis.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetricsF>
#include <QMargins>
#include <QValueAxis>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <utility>

#include "ui/ChartView.h"
#include "ui/charts.h"
#include "ui/qtext.h"

namespace quarvel::ui {

namespace chrono = std::chrono;
using data::TimeKind;
using data::TimeStamp;

TimeScale::TimeScale(data::TimeColumn column, std::size_t training_count, std::size_t overlap,
                     QString title, std::size_t steps_ahead)
    : column_(std::move(column)),
      training_count_(training_count),
      overlap_(overlap),
      title_(std::move(title)) {
  const TimeKind kind = column_.format.kind;
  xs_.reserve(column_.size());
  for (const TimeStamp& stamp : column_.stamps) xs_.push_back(data::chart_x(stamp, kind));
  labels_ = column_.texts;
  if (xs_.size() > 1) {
    mean_step_ = (xs_.back() - xs_.front()) / static_cast<double>(xs_.size() - 1);
  }
  if (steps_ahead > 0 && !column_.stamps.empty()) {
    // A column without a constant step names none: its steps ahead are
    // placed by the mean step, unlabelled.
    data::StampsAhead ahead = data::time_stamps_after(column_, steps_ahead);
    for (std::size_t k = 0; k < ahead.stamps.size(); ++k) {
      xs_.push_back(data::chart_x(ahead.stamps[k], kind));
      labels_.push_back(std::move(ahead.labels[k]));
    }
  }
}

TimeScale TimeScale::with_steps_ahead(std::size_t steps_ahead) const {
  return {column_, training_count_, overlap_, title_, steps_ahead};
}

bool TimeScale::fits(std::size_t training_points, std::size_t validation_points) const {
  return training_points == training_count_ && training_count_ <= rows() &&
         validation_points == rows() - training_count_ + overlap_;
}

double TimeScale::x_of_row(double row) const {
  if (xs_.empty()) return row;
  const auto last = static_cast<double>(xs_.size() - 1);
  if (row <= 0.0) return xs_.front() + row * mean_step_;
  if (row >= last) return xs_.back() + (row - last) * mean_step_;
  const double whole = std::floor(row);
  const auto at = static_cast<std::size_t>(whole);
  if (row == whole) return xs_[at];
  return xs_[at] + (row - whole) * (xs_[at + 1] - xs_[at]);
}

double TimeScale::x_of_point(double point) const {
  const auto training = static_cast<double>(training_count_);
  return x_of_row(point < training ? point : point - static_cast<double>(overlap_));
}

QList<QPointF> TimeScale::on_time(const QList<QPointF>& index_points, bool keep_repeats) const {
  const auto training = static_cast<double>(training_count_);
  const double repeats_end = training + static_cast<double>(overlap_);
  QList<QPointF> points;
  points.reserve(index_points.size());
  for (const QPointF& point : index_points) {
    if (!keep_repeats && point.x() >= training && point.x() < repeats_end) continue;
    points.append(QPointF(x_of_point(point.x()), point.y()));
  }
  return points;
}

QStringList TimeScale::point_stamps(std::size_t first, std::size_t count) const {
  QStringList stamps;
  stamps.reserve(static_cast<qsizetype>(count));
  for (std::size_t point = first; point < first + count; ++point) {
    const std::size_t row = point < training_count_ ? point : point - overlap_;
    stamps << (row < labels_.size() ? to_qstring(labels_[row]) : QString());
  }
  return stamps;
}

QString TimeScale::label_at(double x) const {
  const auto found = std::lower_bound(xs_.begin(), xs_.end(), x);
  if (found == xs_.end() || *found != x) return {};
  return to_qstring(labels_[static_cast<std::size_t>(found - xs_.begin())]);
}

// ---------------------------------------------------------------------------
// Calendar ticks

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kLastYear = 9999;

enum class StepUnit { seconds, days, months };

struct TickStep {
  StepUnit unit;
  std::int64_t count;
};

// From the shortest; years are steps of 12 months.
constexpr TickStep kTickSteps[] = {
    {StepUnit::seconds, 1},     {StepUnit::seconds, 2},     {StepUnit::seconds, 5},
    {StepUnit::seconds, 10},    {StepUnit::seconds, 15},    {StepUnit::seconds, 30},
    {StepUnit::seconds, 60},    {StepUnit::seconds, 120},   {StepUnit::seconds, 300},
    {StepUnit::seconds, 600},   {StepUnit::seconds, 900},   {StepUnit::seconds, 1800},
    {StepUnit::seconds, 3600},  {StepUnit::seconds, 7200},  {StepUnit::seconds, 10800},
    {StepUnit::seconds, 21600}, {StepUnit::seconds, 43200}, {StepUnit::days, 1},
    {StepUnit::days, 2},        {StepUnit::days, 7},        {StepUnit::days, 14},
    {StepUnit::months, 1},      {StepUnit::months, 2},      {StepUnit::months, 3},
    {StepUnit::months, 6},      {StepUnit::months, 12},     {StepUnit::months, 24},
    {StepUnit::months, 60},     {StepUnit::months, 120},    {StepUnit::months, 240},
    {StepUnit::months, 300},    {StepUnit::months, 600},    {StepUnit::months, 1200},
    {StepUnit::months, 2400},   {StepUnit::months, 3000},   {StepUnit::months, 6000},
    {StepUnit::months, 12000},  {StepUnit::months, 24000},  {StepUnit::months, 30000},
    {StepUnit::months, 60000},  {StepUnit::months, 120000},
};

// Whether a column of `kind` writes stamps at that step.
bool writes(TimeKind kind, const TickStep& step) {
  switch (kind) {
    case TimeKind::year:
      return step.unit == StepUnit::months && step.count % 12 == 0;
    case TimeKind::year_month:
      return step.unit == StepUnit::months;
    case TimeKind::date:
      return step.unit != StepUnit::seconds;
    case TimeKind::date_time:
      return true;
    case TimeKind::number:
      break;
  }
  return false;
}

// The step's length in years, roughly: enough to rule out steps that would
// give far too many ticks before any is counted.
double years_of(const TickStep& step) {
  switch (step.unit) {
    case StepUnit::seconds:
      return static_cast<double>(step.count) / (365.2425 * kSecondsPerDay);
    case StepUnit::days:
      return static_cast<double>(step.count) / 365.2425;
    case StepUnit::months:
      break;
  }
  return static_cast<double>(step.count) / 12.0;
}

std::int64_t floor_divide(std::int64_t value, std::int64_t divisor) {
  const std::int64_t quotient = value / divisor;
  return quotient * divisor > value ? quotient - 1 : quotient;
}

std::int64_t seconds_of(const chrono::year_month_day& date) {
  return static_cast<std::int64_t>(chrono::sys_days(date).time_since_epoch().count()) *
         kSecondsPerDay;
}

std::int64_t first_of_year(int year) {
  return seconds_of(chrono::year{year} / chrono::January / 1);
}

// The seconds at chart x `x` of a date or date-time column: the year and the
// elapsed fraction of it, as data::chart_x counts them.
std::int64_t seconds_at(double x) {
  const int year = static_cast<int>(std::floor(x));
  const std::int64_t start = first_of_year(year);
  const std::int64_t end = first_of_year(year + 1);
  return start +
         static_cast<std::int64_t>(std::floor((x - year) * static_cast<double>(end - start)));
}

// The ticks of one step from `low` to `high`; more than `most` stops the count.
std::vector<TimeTick> ticks_of(const TickStep& step, double low, double high,
                               const data::TimeFormat& format, int most) {
  data::TimeFormat label_format = format;
  if (format.kind == TimeKind::date_time) {
    if (step.unit != StepUnit::seconds) label_format.kind = TimeKind::date;
    if (step.unit == StepUnit::seconds && step.count < 60) label_format.seconds = true;
  }
  std::vector<TimeTick> ticks;
  const auto add = [&](std::int64_t seconds) {
    const TimeStamp stamp{seconds, 0.0};
    const double x = data::chart_x(stamp, format.kind);
    if (x < low) return true;
    if (x > high || static_cast<int>(ticks.size()) == most) {
      if (x <= high) ticks.push_back({});  // one too many: this step is too short
      return false;
    }
    ticks.push_back({x, to_qstring(data::format_time_stamp(stamp, label_format))});
    return true;
  };
  switch (step.unit) {
    case StepUnit::months: {
      // From the January of the year `low` falls in: a step of months
      // reaches `low` within a year.
      std::int64_t month =
          floor_divide(static_cast<std::int64_t>(std::floor(low)) * 12, step.count) * step.count;
      for (; month / 12 <= kLastYear; month += step.count) {
        const chrono::year_month_day first{chrono::year{static_cast<int>(month / 12)},
                                           chrono::month{static_cast<unsigned>(month % 12 + 1)},
                                           chrono::day{1}};
        if (!add(seconds_of(first))) break;
      }
      break;
    }
    case StepUnit::days:
    case StepUnit::seconds: {
      const std::int64_t length =
          step.unit == StepUnit::days ? step.count * kSecondsPerDay : step.count;
      // Weeks start on a Monday (1970-01-01 was a Thursday).
      const std::int64_t anchor =
          step.unit == StepUnit::days && step.count % 7 == 0 ? 4 * kSecondsPerDay : 0;
      const std::int64_t end = first_of_year(kLastYear + 1);
      for (std::int64_t seconds = floor_divide(seconds_at(low) - anchor, length) * length + anchor;
           seconds < end; seconds += length) {
        if (!add(seconds)) break;
      }
      break;
    }
  }
  return ticks;
}

}  // namespace

std::vector<TimeTick> time_ticks(double low, double high, const data::TimeFormat& format,
                                 int most) {
  if (format.kind == TimeKind::number || !std::isfinite(low) || !std::isfinite(high)) return {};
  low = std::max(low, 0.0);
  high = std::min(high, kLastYear + 1.0);
  if (!(high >= low)) return {};
  most = std::max(most, 2);
  const TickStep* longest = nullptr;
  for (const TickStep& step : kTickSteps) {
    if (!writes(format.kind, step)) continue;
    longest = &step;
    // Calendar months and years are not all alike: a step that gives one
    // tick too many by this reckoning may still fit.
    if ((high - low) / years_of(step) > most + 1) continue;
    std::vector<TimeTick> ticks = ticks_of(step, low, high, format, most);
    if (static_cast<int>(ticks.size()) <= most) return ticks;
  }
  // The longest step gives too many ticks only across more than the calendar.
  return longest != nullptr ? ticks_of(*longest, low, high, format, most) : std::vector<TimeTick>{};
}

// ---------------------------------------------------------------------------
// The axis on a chart

namespace {

constexpr int kMostTimeTicks = 8;

// The time axis of a chart, a child of the chart found by its name: it keeps
// the scale, and, for calendar stamps, shows a category axis of labelled ticks
// in place of the chart's value axis. The value axis stays attached to the
// series, hidden, so that fitting, zooming and thinning work on it as on any
// chart; the category axis follows its range.
class TimeAxisLabels final : public QObject {
 public:
  static constexpr const char* kName = "time_axis_labels";

  static TimeAxisLabels& of(QChart* chart) {
    if (TimeAxisLabels* found = find(chart)) return *found;
    return *new TimeAxisLabels(chart);
  }
  static TimeAxisLabels* find(const QChart* chart) {
    return chart->findChild<TimeAxisLabels*>(QString::fromLatin1(kName),
                                             Qt::FindDirectChildrenOnly);
  }

  [[nodiscard]] const TimeScale* scale() const { return scale_.get(); }

  void show(std::shared_ptr<const TimeScale> scale) {
    take_down();
    scale_ = std::move(scale);
    if (!scale_ || value_axis_ == nullptr) return;
    value_title_ = value_axis_->titleText();
    // The hidden axis carries the title too: a chart that notes a scale
    // factor in its titles copies the first axis's title to every axis of
    // the side.
    value_axis_->setTitleText(scale_->title());
    if (!scale_->calendar()) return;
    time_axis_->setLabelsFont(value_axis_->labelsFont());
    time_axis_->setTitleFont(value_axis_->titleFont());
    time_axis_->setTitleText(scale_->title());
    value_axis_->setVisible(false);
    // Ticks at calendar dates, not at round numbers: no room is wasted on
    // widening the range to those.
    keep_exact_range(value_axis_, true);
    keep_exact_range(time_axis_, true);
    chart_->addAxis(time_axis_, Qt::AlignBottom);
    chart_margins_ = chart_->margins();
    on_chart_ = true;
    ticks_.clear();
    follow_range();
  }

 private:
  explicit TimeAxisLabels(QChart* chart) : QObject(chart), chart_(chart) {
    setObjectName(QString::fromLatin1(kName));
    for (QAbstractAxis* axis : chart->axes(Qt::Horizontal)) {
      if (auto* values = qobject_cast<QValueAxis*>(axis)) {
        value_axis_ = values;
        break;
      }
    }
    time_axis_ = new QCategoryAxis(this);
    time_axis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    if (value_axis_ == nullptr) return;
    connect(value_axis_, &QValueAxis::rangeChanged, this, [this] { follow_range(); });
    // Fitted, zoomed or sized apart from the value axis (the chart fits every
    // axis of its side alike), it is put back on the value axis's range.
    connect(time_axis_, &QValueAxis::rangeChanged, this, [this] { follow_range(); });
    connect(chart, &QChart::plotAreaChanged, this, [this] { label_ticks(); });
  }

  // The chart's own axis back.
  void take_down() {
    if (!scale_ || value_axis_ == nullptr) return;
    value_axis_->setTitleText(value_title_);
    if (!on_chart_) return;
    chart_->removeAxis(time_axis_);
    time_axis_->setParent(this);  // the chart lets go of it
    on_chart_ = false;
    keep_exact_range(value_axis_, false);
    value_axis_->setVisible(true);
    chart_->setMargins(chart_margins_);
  }

  void follow_range() {
    if (!on_chart_ || following_) return;
    following_ = true;
    if (time_axis_->min() != value_axis_->min() || time_axis_->max() != value_axis_->max()) {
      time_axis_->setRange(value_axis_->min(), value_axis_->max());
    }
    following_ = false;
    label_ticks();
  }

  void label_ticks() {
    if (!on_chart_) return;
    const double low = value_axis_->min();
    const double high = value_axis_->max();
    // Calendar stamps of a kind are written at one width.
    const QFontMetricsF metrics(time_axis_->labelsFont());
    const double label_width =
        metrics.horizontalAdvance(to_qstring(data::format_time_stamp({}, scale_->format())));
    // Room beside the plot for half a label, centred on a tick at its right
    // end: the chart's layout leaves none for the labels of a category axis.
    QMargins margins = chart_->margins();
    const int half_label = static_cast<int>(std::ceil(label_width / 2.0));
    if (margins.right() != std::max(chart_margins_.right(), half_label)) {
      margins.setRight(std::max(chart_margins_.right(), half_label));
      chart_->setMargins(margins);
    }
    const std::vector<TimeTick> ticks =
        time_ticks(low, high, scale_->format(),
                   ticks_with_room(chart_, Qt::Horizontal,
                                   label_width + metrics.averageCharWidth() * 3, kMostTimeTicks));
    if (ticks == ticks_ && time_axis_->startValue() == low) return;
    ticks_ = ticks;
    for (const QString& label : time_axis_->categoriesLabels()) time_axis_->remove(label);
    time_axis_->setStartValue(low);
    for (const TimeTick& tick : ticks_) time_axis_->append(tick.label, tick.x);
  }

  QChart* chart_;
  std::shared_ptr<const TimeScale> scale_;
  QValueAxis* value_axis_ = nullptr;
  QCategoryAxis* time_axis_ = nullptr;
  bool on_chart_ = false;
  QMargins chart_margins_;  // the chart's own, without the room for a label
  QString value_title_;
  std::vector<TimeTick> ticks_;
  bool following_ = false;
};

}  // namespace

void show_time_axis(ChartView* view, std::shared_ptr<const TimeScale> scale) {
  if (!scale && TimeAxisLabels::find(view->chart()) == nullptr) return;
  view->set_axes_animated(!scale || !scale->calendar());
  TimeAxisLabels::of(view->chart()).show(std::move(scale));
}

const TimeScale* time_scale_of(const ChartView* view) {
  const TimeAxisLabels* shown = TimeAxisLabels::find(view->chart());
  return shown != nullptr ? shown->scale() : nullptr;
}

}  // namespace quarvel::ui
