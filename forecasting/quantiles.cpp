#include "forecasting/quantiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace quarvel::forecasting {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Where probability p falls among `count` sorted values: the place of the
// value at or below it, and the fraction of the way to the next.
struct Place {
  std::size_t below = 0;
  double fraction = 0.0;
};

Place place_of(std::size_t count, double p) noexcept {
  const double place = static_cast<double>(count - 1) * p;
  const auto below = static_cast<std::size_t>(place);
  return {below, place - static_cast<double>(below)};
}

// Between the values at and above the place, by the rule in the header.
double interpolate(double low, const double* high, double fraction) noexcept {
  if (fraction == 0.0 || high == nullptr) return low;
  if (std::isnan(low) || std::isnan(*high)) return kNaN;
  if (std::isinf(low)) return low;
  if (std::isinf(*high)) return *high;
  return low + fraction * (*high - low);
}

// Moves every NaN behind the numbers; returns the end of the numbers.
double* numbers_first(std::span<double> values) {
  return std::partition(values.data(), values.data() + values.size(),
                        [](double v) { return !std::isnan(v); });
}

// The smallest and the largest of numbers (no NaN among them), in four lanes
// that the compiler can keep in vector registers.
std::pair<double, double> smallest_and_largest(const double* first, const double* last) {
  constexpr std::size_t kLanes = 4;
  std::array<double, kLanes> low;
  std::array<double, kLanes> high;
  low.fill(*first);
  high.fill(*first);
  const auto count = static_cast<std::size_t>(last - first);
  std::size_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      const double v = first[i + k];
      low[k] = v < low[k] ? v : low[k];
      high[k] = v > high[k] ? v : high[k];
    }
  }
  for (; i < count; ++i) {
    low[0] = first[i] < low[0] ? first[i] : low[0];
    high[0] = first[i] > high[0] ? first[i] : high[0];
  }
  return {*std::min_element(low.begin(), low.end()), *std::max_element(high.begin(), high.end())};
}

// Sorts numbers in place: a few by insertion, more by std::sort.
void sort_numbers(double* first, double* last) {
  if (last - first > 32) {
    std::sort(first, last);
    return;
  }
  for (double* i = first + (first != last); i < last; ++i) {
    const double v = *i;
    double* j = i;
    for (; j > first && *(j - 1) > v; --j) *j = *(j - 1);
    *j = v;
  }
}

// -inf first, +inf last; returns the finite numbers between them.
std::pair<double*, double*> infinities_apart(double* first, double* last) {
  double* finite = std::partition(first, last, [](double v) { return v == -kInfinity; });
  return {finite, std::partition(finite, last, [](double v) { return v != kInfinity; })};
}

// Up to this many values are sorted as they are.
constexpr std::size_t kFewValues = 32;
// Buckets per look; and the looks before a range is sorted as it is (values
// bunched so tightly inside a wide range need more than one look).
constexpr std::size_t kBuckets = 256;
constexpr std::size_t kMostBuckets = 4096;  // when sorting whole
constexpr std::size_t kLooks = 4;

}  // namespace

void sort_for_quantiles(std::span<double> values) {
  std::sort(values.data(), numbers_first(values));
}

double sorted_quantile(std::span<const double> sorted, double p) {
  if (sorted.empty()) return kNaN;
  const Place place = place_of(sorted.size(), p);
  const double* high = place.below + 1 < sorted.size() ? &sorted[place.below + 1] : nullptr;
  return interpolate(sorted[place.below], high, place.fraction);
}

QuantileFinder::QuantileFinder(std::size_t count, std::span<const double> probabilities)
    : levels_(kLooks) {
  std::vector<Place> places;
  for (const double p : probabilities) {
    places.push_back(place_of(count, p));
    ranks_.push_back(places.back().below);
    if (places.back().below + 1 < count) ranks_.push_back(places.back().below + 1);
  }
  std::sort(ranks_.begin(), ranks_.end());
  ranks_.erase(std::unique(ranks_.begin(), ranks_.end()), ranks_.end());
  const auto index_of = [this](std::size_t rank) {
    return static_cast<std::size_t>(std::lower_bound(ranks_.begin(), ranks_.end(), rank) -
                                    ranks_.begin());
  };
  for (const Place& place : places) {
    const bool has_high = place.below + 1 < count;
    quantiles_.push_back({index_of(place.below), has_high ? index_of(place.below + 1) : 0, has_high,
                          place.fraction});
  }
  statistics_.resize(ranks_.size());
  for (Level& level : levels_) {
    level.bucket_of.resize(count);
    const std::size_t buckets = std::min(std::max(count, kBuckets), kMostBuckets);
    level.counts.resize(buckets);
    level.slot_of_bucket.assign(buckets, kNone);
    level.gathered.resize(count);
    level.ranks.reserve(ranks_.size());
  }
}

void QuantileFinder::compute(std::span<double> values, double* out) {
  if (ranks_.empty()) return;
  double* numbers_end = numbers_first(values);
  const auto numbers = static_cast<std::size_t>(numbers_end - values.data());
  // A rank past the numbers is a NaN's.
  const auto within = static_cast<std::size_t>(
      std::lower_bound(ranks_.begin(), ranks_.end(), numbers) - ranks_.begin());
  std::fill(statistics_.begin() + static_cast<std::ptrdiff_t>(within), statistics_.end(), kNaN);
  if (within > 0) {
    select(values.data(), numbers_end, std::span<const std::size_t>(ranks_).first(within),
           statistics_.data(), 0);
  }
  for (std::size_t i = 0; i < quantiles_.size(); ++i) {
    const Quantile& q = quantiles_[i];
    out[i] =
        interpolate(statistics_[q.low], q.has_high ? &statistics_[q.high] : nullptr, q.fraction);
  }
}

// What a range of numbers is, looked at at `level`: few enough to sort as
// they are, all equal, holding an infinity, spread wider or narrower than
// buckets can divide, or put into at most `most_buckets` buckets of equal
// width between its smallest and its largest number (levels_[level]). A
// number's bucket never decreases as the number grows, so the buckets keep
// the order, and their counts tell where each rank lies.
QuantileFinder::Range QuantileFinder::look_at(const double* first, const double* last,
                                              std::size_t level, std::size_t most_buckets) {
  const auto count = static_cast<std::size_t>(last - first);
  if (count <= kFewValues || level == levels_.size()) return Range::few;
  const auto [low, high] = smallest_and_largest(first, last);
  if (low == high) return Range::equal;
  if (std::isinf(low) || std::isinf(high)) return Range::with_infinity;
  Level& at = levels_[level];
  at.buckets = std::min(count, most_buckets);
  const double scale = static_cast<double>(at.buckets) / (high - low);
  if (!std::isfinite(high - low) || !std::isfinite(scale)) return Range::too_spread;
  const auto last_bucket = static_cast<std::uint32_t>(at.buckets - 1);
  for (std::size_t i = 0; i < count; ++i) {
    // The largest number may round onto the end: the last bucket.
    const double place = (first[i] - low) * scale;
    at.bucket_of[i] =
        place < static_cast<double>(last_bucket) ? static_cast<std::uint32_t>(place) : last_bucket;
  }
  std::fill_n(at.counts.begin(), at.buckets, 0U);
  for (std::size_t i = 0; i < count; ++i) ++at.counts[at.bucket_of[i]];
  return Range::bucketed;
}

// The order statistics at `ranks` (ascending, each below last - first) of the
// numbers in [first, last), reordering them: only the buckets that hold ranks
// are looked at again, as ranges of their own.
void QuantileFinder::select(double* first, double* last, std::span<const std::size_t> ranks,
                            double* out, std::size_t level) {
  const auto read = [&] {
    for (std::size_t i = 0; i < ranks.size(); ++i) out[i] = first[ranks[i]];
  };
  // Ranks all over the numbers: sort them all.
  if (ranks.size() * 4 >= static_cast<std::size_t>(last - first)) {
    sort_range(first, last, level);
    read();
    return;
  }
  switch (look_at(first, last, level, kBuckets)) {
    case Range::few:
    case Range::too_spread:
      sort_numbers(first, last);
      read();
      return;
    case Range::equal:
      std::fill_n(out, ranks.size(), *first);
      return;
    case Range::with_infinity:
      select_among_finite(first, last, ranks, out, level);
      return;
    case Range::bucketed:
      break;
  }

  Level& at = levels_[level];
  at.kept_slots.clear();
  std::size_t before = 0;
  std::size_t r = 0;
  for (std::size_t b = 0; b < at.buckets && r < ranks.size(); ++b) {
    const std::size_t size = at.counts[b];
    if (ranks[r] < before + size) {
      const std::size_t begin = at.kept_slots.empty() ? 0 : at.kept_slots.back().end;
      at.slot_of_bucket[b] = at.kept_slots.size();
      at.kept_slots.push_back({b, before, begin, begin + size});
      while (r < ranks.size() && ranks[r] < before + size) ++r;
    }
    before += size;
  }
  for (Slot& slot : at.kept_slots) slot.end = slot.begin;
  const auto count = static_cast<std::size_t>(last - first);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t slot = at.slot_of_bucket[at.bucket_of[i]];
    if (slot != kNone) at.gathered[at.kept_slots[slot].end++] = first[i];
  }

  r = 0;
  for (const Slot& slot : at.kept_slots) {
    at.slot_of_bucket[slot.bucket] = kNone;
    const std::size_t size = slot.end - slot.begin;
    const std::size_t from = r;
    at.ranks.clear();
    for (; r < ranks.size() && ranks[r] < slot.before + size; ++r) {
      at.ranks.push_back(ranks[r] - slot.before);
    }
    select(at.gathered.data() + slot.begin, at.gathered.data() + slot.end, at.ranks, out + from,
           level + 1);
  }
}

// Sorts the numbers in [first, last) through buckets, a few numbers to a
// bucket: each bucket sorted by itself, a crowded one looked at again.
void QuantileFinder::sort_range(double* first, double* last, std::size_t level) {
  switch (look_at(first, last, level, kMostBuckets)) {
    case Range::few:
    case Range::too_spread:
      sort_numbers(first, last);
      return;
    case Range::equal:
      return;
    case Range::with_infinity: {
      const auto [finite, finite_end] = infinities_apart(first, last);
      sort_range(finite, finite_end, level + 1);
      return;
    }
    case Range::bucketed:
      break;
  }
  Level& at = levels_[level];
  // Counts, then each bucket's start, then (after the scatter) its end.
  std::uint32_t start = 0;
  for (std::size_t b = 0; b < at.buckets; ++b) {
    const std::uint32_t size = at.counts[b];
    at.counts[b] = start;
    start += size;
  }
  const auto count = static_cast<std::size_t>(last - first);
  for (std::size_t i = 0; i < count; ++i) at.gathered[at.counts[at.bucket_of[i]]++] = first[i];
  std::uint32_t begin = 0;
  for (std::size_t b = 0; b < at.buckets; ++b) {
    const std::uint32_t end = at.counts[b];
    if (end - begin > kFewValues) {
      sort_range(at.gathered.data() + begin, at.gathered.data() + end, level + 1);
    } else {
      sort_numbers(at.gathered.data() + begin, at.gathered.data() + end);
    }
    begin = end;
  }
  std::copy_n(at.gathered.begin(), count, first);
}

// The same with infinities among the numbers: -inf first, +inf last, and the
// finite numbers between them looked at as a range of their own.
void QuantileFinder::select_among_finite(double* first, double* last,
                                         std::span<const std::size_t> ranks, double* out,
                                         std::size_t level) {
  const auto [finite, finite_end] = infinities_apart(first, last);
  const auto below = static_cast<std::size_t>(finite - first);
  const auto above = static_cast<std::size_t>(finite_end - first);
  Level& at = levels_[level];
  at.ranks.clear();
  std::size_t from = ranks.size();
  for (std::size_t i = 0; i < ranks.size(); ++i) {
    if (ranks[i] < below) {
      out[i] = -kInfinity;
    } else if (ranks[i] >= above) {
      out[i] = kInfinity;
    } else {
      from = std::min(from, i);
      at.ranks.push_back(ranks[i] - below);
    }
  }
  if (!at.ranks.empty()) select(finite, finite_end, at.ranks, out + from, level + 1);
}

}  // namespace quarvel::forecasting
