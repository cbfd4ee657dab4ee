// solver::FlatMap: an open-addressing hash map from non-zero 32-bit keys to
// small values, for the sparse rows and columns of the solver's tableau.
// Linear probing with backward-shift deletion, so there are no tombstones and
// lookups stay short however many entries come and go. Key 0 marks an empty
// slot. Not to be changed while being walked with forEach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace solver {

template <class V>
class FlatMap {
public:
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  const V* find(uint32_t key) const {
    if (size_ == 0) return nullptr;
    for (size_t i = home(key);; i = (i + 1) & mask_) {
      if (slots_[i].key == key) return &slots_[i].value;
      if (slots_[i].key == 0) return nullptr;
    }
  }
  V* find(uint32_t key) { return const_cast<V*>(std::as_const(*this).find(key)); }
  bool contains(uint32_t key) const { return find(key) != nullptr; }

  // The value for key, made with `fresh` when absent; second is true when it was made.
  std::pair<V*, bool> insert(uint32_t key, V fresh) {
    if ((size_ + 1) * 4 > slots_.size() * 3) grow();
    for (size_t i = home(key);; i = (i + 1) & mask_) {
      if (slots_[i].key == key) return {&slots_[i].value, false};
      if (slots_[i].key == 0) {
        slots_[i].key = key;
        slots_[i].value = std::move(fresh);
        ++size_;
        return {&slots_[i].value, true};
      }
    }
  }

  bool erase(uint32_t key) {
    if (size_ == 0) return false;
    size_t i = home(key);
    while (slots_[i].key != key) {
      if (slots_[i].key == 0) return false;
      i = (i + 1) & mask_;
    }
    // Shift back the entries after the hole that may not stay past it.
    for (size_t j = (i + 1) & mask_; slots_[j].key != 0; j = (j + 1) & mask_) {
      const size_t h = home(slots_[j].key);
      const bool between = i <= j ? (i < h && h <= j) : (i < h || h <= j);
      if (!between) {
        slots_[i] = std::move(slots_[j]);
        i = j;
      }
    }
    slots_[i].key = 0;
    slots_[i].value = V();
    --size_;
    return true;
  }

  void clear() {
    slots_.clear();
    mask_ = 0;
    size_ = 0;
  }

  template <class F>
  void forEach(F&& f) const {
    if (size_ == 0) return;
    for (const Slot& s : slots_) {
      if (s.key != 0) f(s.key, s.value);
    }
  }
  template <class F>
  void forEachMutable(F&& f) {
    if (size_ == 0) return;
    for (Slot& s : slots_) {
      if (s.key != 0) f(s.key, s.value);
    }
  }

private:
  struct Slot {
    uint32_t key = 0;
    V value{};
  };

  size_t home(uint32_t key) const { return (static_cast<size_t>(key) * 0x9E3779B97F4A7C15ull >> 20) & mask_; }

  void grow() {
    std::vector<Slot> old = std::move(slots_);
    const size_t capacity = old.empty() ? 4 : old.size() * 2;
    slots_.assign(capacity, Slot{});
    mask_ = capacity - 1;
    size_ = 0;
    for (Slot& s : old) {
      if (s.key != 0) insert(s.key, std::move(s.value));
    }
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t size_ = 0;
};

}  // namespace solver
