// solver::FlatMap: a hash map from non-zero 32-bit keys to small values, for
// the sparse rows and columns of the solver's tableau, which are walked far
// more often than they are searched. The entries sit densely in one array
// (walks touch nothing else); small maps are searched linearly, larger ones
// through an open-addressing index (linear probing, backward-shift deletion,
// so no tombstones). Erasing moves the last entry into the hole. Not to be
// changed while being walked with forEach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace solver {

template <class V>
class FlatMap {
public:
  FlatMap() = default;
  FlatMap(const FlatMap&) = default;
  FlatMap& operator=(const FlatMap&) = default;
  FlatMap(FlatMap&& o) noexcept : entries_(std::move(o.entries_)), index_(std::move(o.index_)), mask_(o.mask_) {
    o.forget();
  }
  FlatMap& operator=(FlatMap&& o) noexcept {
    if (this != &o) {
      entries_ = std::move(o.entries_);
      index_ = std::move(o.index_);
      mask_ = o.mask_;
      o.forget();
    }
    return *this;
  }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  const V* find(uint32_t key) const {
    const size_t p = position(key);
    return p == kNone ? nullptr : &entries_[p].value;
  }
  V* find(uint32_t key) { return const_cast<V*>(std::as_const(*this).find(key)); }
  bool contains(uint32_t key) const { return position(key) != kNone; }

  // The value for key, made with `fresh` when absent; second is true when it was made.
  std::pair<V*, bool> insert(uint32_t key, V fresh) {
    const size_t p = position(key);
    if (p != kNone) return {&entries_[p].value, false};
    entries_.push_back(Entry{key, std::move(fresh)});
    if (!index_.empty()) {
      if (entries_.size() * 2 > index_.size()) rebuild(index_.size() * 2);
      else place(entries_.size() - 1);
    } else if (entries_.size() > kLinear) {
      rebuild(4 * kLinear);
    }
    return {&entries_.back().value, true};
  }

  bool erase(uint32_t key) {
    if (index_.empty()) {
      for (size_t p = 0; p < entries_.size(); ++p) {
        if (entries_[p].key == key) {
          if (p + 1 != entries_.size()) entries_[p] = std::move(entries_.back());
          entries_.pop_back();
          return true;
        }
      }
      return false;
    }
    size_t hole = slotOf(key);
    if (hole == kNone) return false;
    const size_t p = index_[hole] - 1;
    const size_t last = entries_.size() - 1;
    if (p != last) {
      index_[slotOf(entries_[last].key)] = static_cast<uint32_t>(p + 1);
      entries_[p] = std::move(entries_[last]);
    }
    entries_.pop_back();
    // Shift back the index slots after the hole that may not stay past it.
    for (size_t j = (hole + 1) & mask_; index_[j] != 0; j = (j + 1) & mask_) {
      const size_t h = home(entries_[index_[j] - 1].key);
      const bool between = hole <= j ? (hole < h && h <= j) : (hole < h || h <= j);
      if (!between) {
        index_[hole] = index_[j];
        hole = j;
      }
    }
    index_[hole] = 0;
    return true;
  }

  void clear() { forget(); }

  template <class F>
  void forEach(F&& f) const {
    for (const Entry& e : entries_) f(e.key, e.value);
  }
  template <class F>
  void forEachMutable(F&& f) {
    for (Entry& e : entries_) f(e.key, e.value);
  }

private:
  static constexpr size_t kNone = ~size_t{0};
  static constexpr size_t kLinear = 8;

  struct Entry {
    uint32_t key;
    V value;
  };

  void forget() {
    entries_.clear();
    index_.clear();
    mask_ = 0;
  }

  size_t home(uint32_t key) const { return (static_cast<size_t>(key) * 0x9E3779B97F4A7C15ull >> 20) & mask_; }

  size_t slotOf(uint32_t key) const {
    for (size_t i = home(key);; i = (i + 1) & mask_) {
      if (index_[i] == 0) return kNone;
      if (entries_[index_[i] - 1].key == key) return i;
    }
  }

  size_t position(uint32_t key) const {
    if (index_.empty()) {
      for (size_t p = 0; p < entries_.size(); ++p) {
        if (entries_[p].key == key) return p;
      }
      return kNone;
    }
    const size_t s = slotOf(key);
    return s == kNone ? kNone : index_[s] - 1;
  }

  void place(size_t p) {
    size_t i = home(entries_[p].key);
    while (index_[i] != 0) i = (i + 1) & mask_;
    index_[i] = static_cast<uint32_t>(p + 1);
  }

  void rebuild(size_t capacity) {
    index_.assign(capacity, 0);
    mask_ = capacity - 1;
    for (size_t p = 0; p < entries_.size(); ++p) place(p);
  }

  std::vector<Entry> entries_;
  std::vector<uint32_t> index_;  // entry position + 1; 0 is an empty slot
  size_t mask_ = 0;
};

}  // namespace solver
