#include "layout/collection/CLIndexPathOrderedSet.h"

#include <algorithm>

uint32_t CLIndexPathOrderedSet::hash(const CLIndexPath& path) {
  // Items of one section are dense and small: mix them well (the finaliser
  // of splitmix64).
  uint64_t x = uint64_t(path.section) * 0x9E3779B97F4A7C15ull ^ uint64_t(path.item);
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return uint32_t(x >> 32);
}

size_t CLIndexPathOrderedSet::bucketOf(const CLIndexPath& path, uint32_t h, size_t* free) const {
  if (table_.empty()) return kNone;
  const size_t mask = table_.size() - 1;
  for (size_t b = h & mask;; b = (b + 1) & mask) {
    const uint64_t entry = table_[b];
    if (entry == 0) {
      if (free) *free = b;
      return kNone;
    }
    if (hashOf(entry) == h && slots_[slotOf(entry)] == path) return b;
  }
}

void CLIndexPathOrderedSet::prefetch(const CLIndexPath& path) const {
  if (!table_.empty()) __builtin_prefetch(&table_[hash(path) & (table_.size() - 1)]);
}

void CLIndexPathOrderedSet::place(size_t slot) {
  const uint32_t h = hash(slots_[slot]);
  const size_t mask = table_.size() - 1;
  size_t b = h & mask;
  while (table_[b] != 0) b = (b + 1) & mask;
  table_[b] = entryFor(h, slot);
}

void CLIndexPathOrderedSet::rebuild(size_t capacityFor) {
  size_t kept = 0;
  for (size_t i = 0; i < slots_.size(); ++i)
    if (live_bits_[i]) slots_[kept++] = slots_[i];
  slots_.resize(kept);
  live_bits_.assign(kept, true);
  head_ = 0;
  size_t buckets = 16;
  while (buckets < capacityFor * 2) buckets *= 2;
  table_.assign(buckets, 0);
  for (size_t i = 0; i < slots_.size(); ++i) place(i);
}

bool CLIndexPathOrderedSet::insert(const CLIndexPath& path) {
  if ((live_ + 1) * 2 > table_.size()) {
    if (contains(path)) return false;
    rebuild(live_ + 1);
  }
  const uint32_t h = hash(path);
  size_t free = kNone;
  if (bucketOf(path, h, &free) != kNone) return false;
  slots_.push_back(path);
  live_bits_.push_back(true);
  ++live_;
  table_[free] = entryFor(h, slots_.size() - 1);
  return true;
}

bool CLIndexPathOrderedSet::erase(const CLIndexPath& path) {
  const size_t b = bucketOf(path);
  if (b == kNone) return false;
  live_bits_[slotOf(table_[b])] = false;
  --live_;
  // Close the gap in the probe run: an entry further on moves back into the
  // hole unless its home bucket lies after the hole.
  const size_t mask = table_.size() - 1;
  size_t hole = b;
  for (size_t j = (b + 1) & mask; table_[j] != 0; j = (j + 1) & mask) {
    const size_t home = hashOf(table_[j]) & mask;
    if (((j - home) & mask) >= ((j - hole) & mask)) {
      table_[hole] = table_[j];
      hole = j;
    }
  }
  table_[hole] = 0;
  // Holes at the end go at once, holes at the front are stepped over, and the
  // list is closed up when holes outnumber the paths three to one (so that
  // emptying a large set closes it up a few times only).
  while (!slots_.empty() && !live_bits_.back()) {
    slots_.pop_back();
    live_bits_.pop_back();
  }
  if (head_ > slots_.size()) head_ = slots_.size();
  while (head_ < slots_.size() && !live_bits_[head_]) ++head_;
  if (slots_.size() - live_ > 3 * live_ + 64) rebuild(live_);
  return true;
}

void CLIndexPathOrderedSet::clear() {
  slots_.clear();
  live_bits_.clear();
  table_.clear();
  live_ = 0;
  head_ = 0;
}

void CLIndexPathOrderedSet::reserve(size_t count) {
  if (count * 2 > table_.size()) rebuild(count);
  // Grown by at least half, so that a reserve before each insert stays cheap.
  if (count > slots_.capacity()) {
    const size_t room = std::max(count, slots_.capacity() + slots_.capacity() / 2);
    slots_.reserve(room);
    live_bits_.reserve(room);
  }
}

CLOptionalIndexPath CLIndexPathOrderedSet::first() const {
  if (live_ == 0) return std::nullopt;
  return slots_[head_];
}

CLOptionalIndexPath CLIndexPathOrderedSet::last() const {
  if (live_ == 0) return std::nullopt;
  return slots_.back();
}

std::vector<CLIndexPath> CLIndexPathOrderedSet::paths() const {
  std::vector<CLIndexPath> out;
  out.reserve(live_);
  for (size_t i = 0; i < slots_.size(); ++i)
    if (live_bits_[i]) out.push_back(slots_[i]);
  return out;
}
