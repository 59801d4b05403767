// Quantiles as the prediction bands and the ensembles take them: linear
// interpolation between order statistics (the "type 7" rule), a NaN counting
// above every number.
//
// The values sorted ascending, every NaN after the numbers; the quantile of
// probability p, with h = (n - 1) * p, i = floor(h), f = h - i, is x[i] when
// f = 0 or i is the last place, else NaN when x[i] or x[i+1] is NaN, else x[i]
// or x[i+1] when that one is infinite (x[i] looked at first), else
// x[i] + f * (x[i+1] - x[i]).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quarvel::forecasting {

// Sorts ascending with every NaN last.
void sort_for_quantiles(std::span<double> values);

// The quantile of probability p of values sorted so; NaN when there are none.
[[nodiscard]] double sorted_quantile(std::span<const double> sorted, double p);

// The same quantiles for set after set of one size, without sorting each set
// whole: the numbers of sort_for_quantiles and sorted_quantile, at a fraction
// of their cost. It keeps its working space from set to set.
class QuantileFinder {
 public:
  QuantileFinder(std::size_t count, std::span<const double> probabilities);

  // Reorders `values` (count of them) and writes one quantile per
  // probability, in their order, to `out`.
  void compute(std::span<double> values, double* out);

 private:
  // A bucket that holds ranks wanted, gathered for a closer look.
  struct Slot {
    std::size_t bucket = 0;
    std::size_t before = 0;  // values in the buckets below
    std::size_t begin = 0;   // its values in `gathered`
    std::size_t end = 0;
  };
  struct Level {
    std::size_t buckets = 0;
    std::vector<std::uint32_t> bucket_of;     // per value
    std::vector<std::uint32_t> counts;        // per bucket
    std::vector<std::size_t> slot_of_bucket;  // kNone where no slot
    // Not "slots": Qt code that includes this header reads that word as its keyword.
    std::vector<Slot> kept_slots;
    std::vector<double> gathered;
    std::vector<std::size_t> ranks;  // the ranks within the range looked at next
  };
  // A quantile by its two order statistics (places in statistics_).
  struct Quantile {
    std::size_t low = 0;
    std::size_t high = 0;
    bool has_high = false;
    double fraction = 0.0;
  };

  enum class Range { few, equal, with_infinity, too_spread, bucketed };

  Range look_at(const double* first, const double* last, std::size_t level,
                std::size_t most_buckets);
  void select(double* first, double* last, std::span<const std::size_t> ranks, double* out,
              std::size_t level);
  void sort_range(double* first, double* last, std::size_t level);
  void select_among_finite(double* first, double* last, std::span<const std::size_t> ranks,
                           double* out, std::size_t level);

  std::vector<std::size_t> ranks_;  // the order statistics wanted, ascending
  std::vector<double> statistics_;  // their values
  std::vector<Quantile> quantiles_;
  std::vector<Level> levels_;
};

}  // namespace quarvel::forecasting
