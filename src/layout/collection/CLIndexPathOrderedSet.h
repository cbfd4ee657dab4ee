#pragma once
// Index paths in the order they were added, each at most once: the
// collection view's selection. Adding, removing and looking up take constant
// time however many paths it holds (a select-all of a million items is a
// million of each).
//
// The paths sit in a list in arrival order; a removed one leaves a hole,
// and the list is closed up once the holes far outnumber the paths. An
// open-addressing table (linear probing, at most half full) maps each path
// to its place in the list. A table entry also keeps the upper half of its
// path's hash, which picks the bucket: most probes and every move of an
// entry are settled without reading the list, so a lookup in a large set
// costs about one cache miss.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "layout/collection/CLIndexPath.h"

class CLIndexPathOrderedSet {
public:
  size_t size() const { return live_; }
  bool empty() const { return live_ == 0; }
  bool contains(const CLIndexPath& path) const { return bucketOf(path) != kNone; }
  // Appends the path; false when it is there already (it keeps its place).
  bool insert(const CLIndexPath& path);
  // False when the path was not there.
  bool erase(const CLIndexPath& path);
  void clear();
  void reserve(size_t count);
  // The oldest and the newest path.
  CLOptionalIndexPath first() const;
  CLOptionalIndexPath last() const;
  // Every path, oldest first.
  std::vector<CLIndexPath> paths() const;
  // Starts loading the table bucket of a path that will be looked up soon.
  void prefetch(const CLIndexPath& path) const;

private:
  static constexpr size_t kNone = SIZE_MAX;

  // The upper half of a path's hash; its low bits pick the home bucket.
  static uint32_t hash(const CLIndexPath& path);
  static uint32_t hashOf(uint64_t entry) { return uint32_t(entry >> 32); }
  static uint64_t entryFor(uint32_t h, size_t slot) { return (uint64_t(h) << 32) | (uint64_t(slot) + 1); }
  static size_t slotOf(uint64_t entry) { return size_t(entry & 0xFFFFFFFFu) - 1; }
  // The table bucket holding the path, or kNone; `free` gets the empty
  // bucket that ended the search.
  size_t bucketOf(const CLIndexPath& path, uint32_t h, size_t* free = nullptr) const;
  size_t bucketOf(const CLIndexPath& path) const { return bucketOf(path, hash(path)); }
  void place(size_t slot);
  // Closes the holes and sizes the table for what is left.
  void rebuild(size_t capacityFor);

  // The list, and whether each place still holds its path.
  std::vector<CLIndexPath> slots_;
  std::vector<bool> live_bits_;
  // Per bucket the path's hash (upper 32 bits) and its slot index + 1
  // (lower 32 bits); 0 is an empty bucket. A power of two in size.
  std::vector<uint64_t> table_;
  size_t live_ = 0;
  // No live slot comes before it.
  size_t head_ = 0;
};
