// The outputs of fitted node models (one double per training point) within a
// memory budget.
//
// Outputs belong to a fit, named by the serial of the model that made it (a
// model's canonical serial), so every model with that fit shares them. When
// the budget is full the outputs used longest ago give way; the fitting code
// computes them again from the model's coefficients when a new fit needs them,
// with the arithmetic of the fit that made them, so they come back bit for bit.
// Only a run's thread uses the store; the fitting threads get plain pointers
// to outputs held for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quarvel {

class OutputStore {
 public:
  // Enough for the outputs a run at the data-set capacity fits in one go:
  // outputs of 38000 points take 297 KiB each.
  static constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;

  // Forgets every entry; outputs have `points` values from now on.
  void reset(std::size_t points);

  // The most the outputs may take, in bytes; outputs that are held stay even
  // beyond it. A budget too small for one entry keeps nothing nobody holds.
  void set_budget(std::size_t bytes);
  [[nodiscard]] std::size_t budget() const noexcept { return budget_; }
  // How many outputs the budget has room for.
  [[nodiscard]] std::size_t capacity() const noexcept { return capacity_; }

  // The outputs of `fit`, held until release(fit); nullptr when they were
  // given up (or never stored).
  [[nodiscard]] double* hold(std::int64_t fit);
  // Room for the outputs of `fit`, held until release(fit). Any earlier
  // entry of `fit` is replaced.
  [[nodiscard]] double* create(std::int64_t fit);
  // Ends one hold; outputs nobody holds stay as long as the budget allows.
  void release(std::int64_t fit) noexcept;
  // Gives up the outputs of `fit` now, unless they are held.
  void drop(std::int64_t fit) noexcept;

  // Gives up the outputs of every fit that `needed` refuses (none may be held).
  template <class Needed>
  void keep_only(Needed needed) {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->second.holds == 0 && !needed(it->first)) {
        unused_.erase(it->second.at);
        Values values = std::move(it->second.values);
        it = entries_.erase(it);
        spare(std::move(values));
      } else {
        ++it;
      }
    }
  }

  [[nodiscard]] std::size_t size() const noexcept { return entries_.size(); }
  // How many outputs were given up so far to stay within the budget.
  [[nodiscard]] std::size_t given_up() const noexcept { return given_up_; }
  [[nodiscard]] bool contains(std::int64_t fit) const { return entries_.contains(fit); }

 private:
  using Values = std::unique_ptr<double[]>;
  struct Entry {
    Values values;
    int holds = 0;
    std::list<std::int64_t>::iterator at;  // in held_, or in unused_ when holds == 0
  };

  [[nodiscard]] Values take_buffer();
  void spare(Values values) noexcept;
  void trim() noexcept;

  std::size_t points_ = 0;
  std::size_t budget_ = kDefaultBudget;
  std::size_t capacity_ = 0;
  std::size_t given_up_ = 0;
  std::unordered_map<std::int64_t, Entry> entries_;
  // Every entry's key sits in one of the two lists and moves between them
  // without allocating: held, or nobody's (most recently used first).
  std::list<std::int64_t> held_;
  std::list<std::int64_t> unused_;
  std::vector<Values> spares_;  // buffers of given-up entries, for the next ones
};

}  // namespace quarvel
