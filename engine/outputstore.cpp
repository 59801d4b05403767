#include "engine/outputstore.h"

#include <algorithm>

namespace quarvel {

void OutputStore::reset(std::size_t points) {
  entries_.clear();
  held_.clear();
  unused_.clear();
  spares_.clear();
  given_up_ = 0;
  points_ = points;
  set_budget(budget_);
}

void OutputStore::set_budget(std::size_t bytes) {
  budget_ = bytes;
  capacity_ = bytes / (std::max<std::size_t>(points_, 1) * sizeof(double));
  trim();
  // Room to keep given-up buffers for the next outputs without allocating then.
  spares_.reserve(std::min<std::size_t>(capacity_, 4096));
}

double* OutputStore::hold(std::int64_t fit) {
  const auto found = entries_.find(fit);
  if (found == entries_.end()) return nullptr;
  Entry& entry = found->second;
  if (entry.holds++ == 0) held_.splice(held_.begin(), unused_, entry.at);
  return entry.values.get();
}

double* OutputStore::create(std::int64_t fit) {
  if (const auto found = entries_.find(fit); found != entries_.end()) {
    Entry& entry = found->second;
    if (entry.holds++ == 0) held_.splice(held_.begin(), unused_, entry.at);
    return entry.values.get();
  }
  Values values = take_buffer();
  held_.push_front(fit);
  try {
    Entry& entry = entries_[fit];
    entry.values = std::move(values);
    entry.holds = 1;
    entry.at = held_.begin();
    return entry.values.get();
  } catch (...) {
    held_.pop_front();
    throw;
  }
}

void OutputStore::release(std::int64_t fit) noexcept {
  const auto found = entries_.find(fit);
  if (found == entries_.end()) return;
  Entry& entry = found->second;
  if (--entry.holds == 0) {
    unused_.splice(unused_.begin(), held_, entry.at);
    trim();
  }
}

void OutputStore::drop(std::int64_t fit) noexcept {
  const auto found = entries_.find(fit);
  if (found == entries_.end() || found->second.holds != 0) return;
  unused_.erase(found->second.at);
  Values values = std::move(found->second.values);
  entries_.erase(found);
  spare(std::move(values));
}

OutputStore::Values OutputStore::take_buffer() {
  if (!spares_.empty()) {
    Values values = std::move(spares_.back());
    spares_.pop_back();
    return values;
  }
  // Full: the outputs used longest ago make room.
  if (entries_.size() >= capacity_ && !unused_.empty()) {
    const auto victim = entries_.find(unused_.back());
    Values values = std::move(victim->second.values);
    unused_.pop_back();
    entries_.erase(victim);
    ++given_up_;
    return values;
  }
  return std::make_unique_for_overwrite<double[]>(points_);
}

void OutputStore::spare(Values values) noexcept {
  if (entries_.size() + spares_.size() < capacity_ && spares_.size() < spares_.capacity()) {
    spares_.push_back(std::move(values));
  }
}

void OutputStore::trim() noexcept {
  while (entries_.size() + spares_.size() > capacity_) {
    if (!spares_.empty()) {
      spares_.pop_back();
    } else if (!unused_.empty()) {
      entries_.erase(unused_.back());
      unused_.pop_back();
      ++given_up_;
    } else {
      return;  // everything left is held
    }
  }
}

}  // namespace quarvel
