#include "frontend/intervals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "frontend/formulastep.h"

namespace quarvel::frontend {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Where probability p falls among `count` sorted values: below is the place
// of the value at or below, fraction the way to the next one.
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

// z % n without a division instruction, which would cost more than the rest
// of a path's step: q = the high half of z * floor((2^64 - 1) / n) is at most 2
// below z / n, so z - q * n needs at most two subtractions of n.
class ResidualPick {
 public:
  explicit ResidualPick(std::uint64_t n) noexcept : n_(n), inverse_(~std::uint64_t{0} / n) {}
  [[nodiscard]] std::size_t operator()(std::uint64_t z) const noexcept {
    __extension__ using Wide = unsigned __int128;
    const auto q = static_cast<std::uint64_t>((static_cast<Wide>(z) * inverse_) >> 64);
    std::uint64_t r = z - q * n_;
    // Masks, not branches: which of the three cases comes is a coin toss.
    r -= n_ & (std::uint64_t{0} - std::uint64_t{r >= n_});
    r -= n_ & (std::uint64_t{0} - std::uint64_t{r >= n_});
    return static_cast<std::size_t>(r);
  }

 private:
  std::uint64_t n_;
  std::uint64_t inverse_;
};

// The smallest and the largest of numbers (no NaN among them), in four lanes
// that the compiler can keep in vector registers.
std::pair<double, double> smallest_and_largest(std::span<const double> numbers) {
  constexpr std::size_t kLanes = 4;
  std::array<double, kLanes> low;
  std::array<double, kLanes> high;
  low.fill(numbers[0]);
  high.fill(numbers[0]);
  std::size_t i = 0;
  for (; i + kLanes <= numbers.size(); i += kLanes) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      const double v = numbers[i + k];
      low[k] = v < low[k] ? v : low[k];
      high[k] = v > high[k] ? v : high[k];
    }
  }
  for (; i < numbers.size(); ++i) {
    low[0] = numbers[i] < low[0] ? numbers[i] : low[0];
    high[0] = numbers[i] > high[0] ? numbers[i] : high[0];
  }
  return {*std::min_element(low.begin(), low.end()), *std::max_element(high.begin(), high.end())};
}

// Sorts a few values (a bucket's) in place.
void sort_small(double* first, double* last) {
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

// The quantiles of one step's path values. The order statistics they need are
// found through buckets of equal width between the smallest and the largest
// value: a value's bucket never decreases as the value grows, so the buckets
// keep the order, and a count per bucket tells which buckets hold the ranks
// wanted. Only those are sorted, or, for many quantiles, every bucket in turn.
// The numbers are those of a plain sort, at a fraction of its cost.
class StepQuantiles {
 public:
  StepQuantiles(std::size_t count, std::span<const double> probabilities, bool sort_all)
      : sort_all_(sort_all) {
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
      const bool last = place.below + 1 >= count;
      quantiles_.push_back(
          {index_of(place.below), last ? kNone : index_of(place.below + 1), place.fraction});
    }
    statistics_.resize(ranks_.size());
    const std::size_t buckets = sort_all ? std::max(count, kSelectBuckets) : kSelectBuckets;
    bucket_of_.resize(count);
    counts_.resize(buckets);
    scratch_.resize(count);
    slot_of_bucket_.assign(buckets, kNone);
  }

  // Reorders `values` and writes one quantile per probability to `out`.
  void compute(std::span<double> values, double* out) {
    if (ranks_.empty()) return;
    const std::span<double> numbers =
        values.first(static_cast<std::size_t>(numbers_first(values) - values.data()));
    if (numbers.size() < kFewValues || !bucket_by_value(numbers)) {
      std::sort(numbers.begin(), numbers.end());
      take_statistics(numbers);
    } else if (sort_all_) {
      sort_by_buckets(numbers);
      take_statistics(numbers);
    } else {
      select_by_buckets(numbers);
    }
    for (std::size_t i = 0; i < quantiles_.size(); ++i) {
      const Quantile& q = quantiles_[i];
      out[i] = interpolate(statistics_[q.low], q.high == kNone ? nullptr : &statistics_[q.high],
                           q.fraction);
    }
  }

 private:
  static constexpr std::size_t kSelectBuckets = 256;
  static constexpr std::size_t kFewValues = 64;  // sorted as they are
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // A quantile by its two order statistics (places in statistics_).
  struct Quantile {
    std::size_t low = 0;
    std::size_t high = kNone;
    double fraction = 0.0;
  };
  // A bucket that holds wanted ranks, gathered into scratch_.
  struct Slot {
    std::size_t bucket = 0;
    std::size_t before = 0;  // numbers in the buckets below
    std::size_t begin = 0;
    std::size_t end = 0;
  };

  // The statistics from the sorted numbers; a rank past them is a NaN's.
  void take_statistics(std::span<const double> sorted) {
    for (std::size_t i = 0; i < ranks_.size(); ++i) {
      statistics_[i] = ranks_[i] < sorted.size() ? sorted[ranks_[i]] : kNaN;
    }
  }

  // Each number's bucket and the count of each bucket; false when the numbers
  // have no finite, non-zero spread to divide.
  bool bucket_by_value(std::span<const double> numbers) {
    const auto [low, high] = smallest_and_largest(numbers);
    const double spread = high - low;
    const double scale = static_cast<double>(counts_.size()) / spread;
    if (!(std::isfinite(spread) && spread > 0.0 && std::isfinite(scale))) return false;
    const auto last = static_cast<std::uint32_t>(counts_.size() - 1);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      // Grows with the value; the largest may round onto the end: the last bucket.
      const double place = (numbers[i] - low) * scale;
      bucket_of_[i] = place < static_cast<double>(last) ? static_cast<std::uint32_t>(place) : last;
    }
    std::fill(counts_.begin(), counts_.end(), 0U);
    for (std::size_t i = 0; i < numbers.size(); ++i) ++counts_[bucket_of_[i]];
    return true;
  }

  // Sorts the numbers in place, bucket after bucket.
  void sort_by_buckets(std::span<double> numbers) {
    std::uint32_t start = 0;
    for (std::uint32_t& count : counts_) {  // each bucket's start from here on
      const std::uint32_t size = count;
      count = start;
      start += size;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      scratch_[counts_[bucket_of_[i]]++] = numbers[i];
    }
    std::uint32_t begin = 0;
    for (const std::uint32_t end : counts_) {  // each bucket's end now
      sort_small(scratch_.data() + begin, scratch_.data() + end);
      begin = end;
    }
    std::copy_n(scratch_.begin(), numbers.size(), numbers.begin());
  }

  // The statistics from the buckets that hold their ranks, those alone sorted.
  void select_by_buckets(std::span<const double> numbers) {
    slots_.clear();
    std::size_t before = 0;
    std::size_t r = 0;
    for (std::size_t b = 0; b < counts_.size() && r < ranks_.size(); ++b) {
      const std::size_t size = counts_[b];
      if (ranks_[r] < before + size) {
        const std::size_t begin =
            slots_.empty() ? 0 : slots_.back().begin + counts_[slots_.back().bucket];
        slot_of_bucket_[b] = slots_.size();
        slots_.push_back({b, before, begin, begin});
        while (r < ranks_.size() && ranks_[r] < before + size) ++r;
      }
      before += size;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      const std::size_t slot = slot_of_bucket_[bucket_of_[i]];
      if (slot != kNone) scratch_[slots_[slot].end++] = numbers[i];
    }
    for (const Slot& slot : slots_) {
      sort_small(scratch_.data() + slot.begin, scratch_.data() + slot.end);
      slot_of_bucket_[slot.bucket] = kNone;
    }
    std::size_t s = 0;
    for (std::size_t i = 0; i < ranks_.size(); ++i) {
      if (ranks_[i] >= numbers.size()) {
        statistics_[i] = kNaN;
        continue;
      }
      while (ranks_[i] >= slots_[s].before + (slots_[s].end - slots_[s].begin)) ++s;
      statistics_[i] = scratch_[slots_[s].begin + (ranks_[i] - slots_[s].before)];
    }
  }

  bool sort_all_;
  std::vector<std::size_t> ranks_;  // the order statistics wanted, ascending
  std::vector<double> statistics_;  // their values
  std::vector<Quantile> quantiles_;
  std::vector<std::uint32_t> bucket_of_;  // per number
  std::vector<std::uint32_t> counts_;     // per bucket
  std::vector<std::size_t> slot_of_bucket_;
  std::vector<Slot> slots_;
  std::vector<double> scratch_;
};

}  // namespace

std::uint64_t path_seed(std::int64_t seed, std::int64_t stream, std::int32_t population,
                        PathPurpose purpose) noexcept {
  std::uint64_t h = 0;
  for (const std::int64_t v :
       {seed, stream, std::int64_t{population}, static_cast<std::int64_t>(purpose)}) {
    h = SplitMix64(h ^ static_cast<std::uint64_t>(v)).next();
  }
  return h;
}

double sorted_quantile(std::span<const double> sorted, double p) {
  if (sorted.empty()) return kNaN;
  const Place place = place_of(sorted.size(), p);
  const double* high = place.below + 1 < sorted.size() ? &sorted[place.below + 1] : nullptr;
  return interpolate(sorted[place.below], high, place.fraction);
}

void sort_for_quantiles(std::span<double> values) {
  std::sort(values.data(), numbers_first(values));
}

bool valid_band_level(double level) noexcept {
  return level > 0.0 && level < 100.0;
}

BandProbabilities band_probabilities(double level) noexcept {
  const double lower = (100.0 - level) / 200.0;
  return {lower, 1.0 - lower};
}

Residuals training_residuals(const ModelFormula& formula, const ScaledData& data) {
  FormulaEvaluator evaluator(formula);
  Residuals residuals;
  const auto training = std::min<std::size_t>(
      static_cast<std::size_t>(std::max(data.training_count, 0)), data.values.size());
  const auto first = static_cast<std::size_t>(evaluator.largest_lag());
  for (std::size_t t = first; t < training; ++t) {
    residuals.values.push_back(data.values[t] -
                               evaluator.predict(data.values, static_cast<std::int64_t>(t)));
  }
  if (residuals.values.size() < 2) {
    residuals.reason = "no intervals: " + std::to_string(training) +
                       " training values leave fewer than 2 one-step residuals for a model "
                       "that reads " +
                       std::to_string(first) + " values back";
  }
  return residuals;
}

PathBands simulate_bands(const ModelFormula& formula, std::span<const double> known,
                         std::int32_t steps, std::span<const double> residuals, std::uint64_t seed,
                         const PathSettings& settings) {
  PathBands result;
  if (residuals.size() < 2) {
    result.reason = "no intervals: fewer than 2 residuals to draw from";
    return result;
  }
  if (settings.paths < 1) {
    result.reason = "no intervals: no paths to simulate";
    return result;
  }
  if (!std::all_of(settings.levels.begin(), settings.levels.end(), valid_band_level)) {
    result.reason = "no intervals: a band's level must lie between 0 and 100 percent";
    return result;
  }

  const auto paths = static_cast<std::size_t>(settings.paths);
  const auto step_count = static_cast<std::size_t>(std::max(steps, 0));
  const auto summary_points = static_cast<std::size_t>(std::max(settings.summary_points, 0));

  // Per step: the band edges (lower, upper per level), then the summary.
  std::vector<double> probabilities;
  for (const double level : settings.levels) {
    const BandProbabilities p = band_probabilities(level);
    probabilities.push_back(p.lower);
    probabilities.push_back(p.upper);
  }
  for (std::size_t i = 0; i < summary_points; ++i) {
    probabilities.push_back((static_cast<double>(i) + 0.5) / static_cast<double>(summary_points));
  }
  StepQuantiles quantiles(paths, probabilities, summary_points > 0);
  std::vector<double> step_quantiles(probabilities.size());

  for (const double level : settings.levels) {
    result.bands.push_back(
        {level, std::vector<double>(step_count), std::vector<double>(step_count)});
  }
  result.summary.points_per_step = static_cast<std::int32_t>(summary_points);
  result.summary.points.reserve(summary_points * step_count);

  // The last `lags` values of every path, one row of all paths per time: row
  // (t mod lags) holds time t. Before the first step every path is the known
  // values, 0.0 before the series starts.
  FormulaEvaluator evaluator(formula);
  const std::int64_t lags = std::max(evaluator.largest_lag(), 1);
  std::vector<double> window(static_cast<std::size_t>(lags) * paths);
  const auto row = [&](std::int64_t t) {
    return window.data() + static_cast<std::size_t>(((t % lags) + lags) % lags) * paths;
  };
  const auto start = static_cast<std::int64_t>(known.size());
  for (std::int64_t k = 1; k <= lags; ++k) {
    const std::int64_t t = start - k;
    std::fill_n(row(t), paths, t >= 0 ? known[static_cast<std::size_t>(t)] : 0.0);
  }

  // Path b draws its residuals from b * steps on; the generator is a counter,
  // so each path keeps its own state and the paths advance together.
  std::vector<std::uint64_t> states(paths);
  for (std::size_t b = 0; b < paths; ++b) {
    states[b] = seed + static_cast<std::uint64_t>(b) * step_count * SplitMix64::kIncrement;
  }
  const ResidualPick pick(residuals.size());

  std::vector<const double*> lag_rows(static_cast<std::size_t>(lags));
  std::vector<double> predicted(paths);
  std::vector<double> ordered(paths);
  for (std::size_t j = 0; j < step_count; ++j) {
    const std::int64_t t = start + static_cast<std::int64_t>(j);
    for (std::int64_t k = 1; k <= lags; ++k) lag_rows[static_cast<std::size_t>(k - 1)] = row(t - k);
    evaluator.predict_paths(lag_rows, paths, predicted.data());
    // Written after the prediction: this row held time t - lags until now.
    double* values = row(t);
    for (std::size_t b = 0; b < paths; ++b) {
      states[b] += SplitMix64::kIncrement;
      values[b] = predicted[b] + residuals[pick(SplitMix64::mix(states[b]))];
    }

    std::copy_n(values, paths, ordered.begin());
    quantiles.compute(ordered, step_quantiles.data());
    for (std::size_t l = 0; l < result.bands.size(); ++l) {
      result.bands[l].lower[j] = step_quantiles[2 * l];
      result.bands[l].upper[j] = step_quantiles[2 * l + 1];
    }
    result.summary.points.insert(
        result.summary.points.end(),
        step_quantiles.begin() + 2 * static_cast<std::ptrdiff_t>(result.bands.size()),
        step_quantiles.end());
  }
  return result;
}

PathBands validation_bands(const ModelFormula& formula, const ScaledData& data,
                           std::span<const double> residuals, std::uint64_t seed,
                           const PathSettings& settings) {
  return simulate_bands(formula, data.values.first(static_cast<std::size_t>(data.forecast_start)),
                        data.forecast_points(), residuals, seed, settings);
}

PathBands bands_past_data(const ModelFormula& formula, const ScaledData& data, std::int32_t steps,
                          std::span<const double> residuals, std::uint64_t seed,
                          const PathSettings& settings) {
  return simulate_bands(formula, data.values, steps, residuals, seed, settings);
}

std::vector<Coverage> band_coverage(std::span<const Band> bands, std::span<const double> held_out) {
  std::vector<Coverage> coverage;
  for (const Band& band : bands) {
    Coverage c;
    c.level = band.level;
    if (held_out.empty()) {
      c.share.reason = "no held-out values to compare";
    } else if (band.lower.size() != held_out.size()) {
      c.share.reason = "the band has " + std::to_string(band.lower.size()) + " steps for " +
                       std::to_string(held_out.size()) + " held-out values";
    } else {
      c.count = static_cast<std::int32_t>(held_out.size());
      for (std::size_t j = 0; j < held_out.size(); ++j) {
        if (band.lower[j] <= held_out[j] && held_out[j] <= band.upper[j]) ++c.inside;
      }
      c.share.value = static_cast<double>(c.inside) / static_cast<double>(c.count);
    }
    coverage.push_back(std::move(c));
  }
  return coverage;
}

}  // namespace quarvel::frontend
