// The selection's ordered set of index paths, against a plain list, through
// long runs of adds and removals that grow it, drain it and wrap its table.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "layout/collection/CLIndexPathOrderedSet.h"

namespace {

TEST(IndexPathOrderedSet, AgreesWithAPlainListThroughGrowingAndDraining) {
  std::mt19937 rng(7);
  CLIndexPathOrderedSet set;
  std::vector<CLIndexPath> list;  // arrival order
  std::set<CLIndexPath> members;
  // Phases of mostly adds and mostly removals, so the set fills, empties
  // from the front, the back and the middle, and fills again.
  for (int phase = 0; phase < 8; ++phase) {
    const unsigned addsPerTen = phase % 2 == 0 ? 8 : 2;
    for (int step = 0; step < 6000; ++step) {
      const CLIndexPath p{int64_t(rng() % 3), int64_t(rng() % 1500)};
      if (rng() % 10 < addsPerTen) {
        const bool fresh = members.insert(p).second;
        if (fresh) list.push_back(p);
        ASSERT_EQ(set.insert(p), fresh);
      } else {
        const bool present = members.erase(p) > 0;
        if (present) list.erase(std::find(list.begin(), list.end(), p));
        ASSERT_EQ(set.erase(p), present);
      }
      ASSERT_EQ(set.size(), list.size());
      ASSERT_EQ(set.first(), list.empty() ? CLOptionalIndexPath() : list.front());
      ASSERT_EQ(set.last(), list.empty() ? CLOptionalIndexPath() : list.back());
      ASSERT_EQ(set.contains(p), members.count(p) > 0);
    }
    ASSERT_EQ(set.paths(), list) << "phase " << phase;
    for (const auto& p : list) ASSERT_TRUE(set.contains(p));
  }
  // The last erased after one before it: the last is the one before both
  // (not a path erased earlier, which the selection would name as chosen).
  set.clear();
  for (int64_t item : {1, 2, 3}) set.insert({0, item});
  set.erase({0, 2});
  set.erase({0, 3});
  EXPECT_EQ(set.last(), (CLIndexPath{0, 1}));
  set.clear();
  EXPECT_TRUE(set.empty());
  EXPECT_FALSE(set.first());
  EXPECT_FALSE(set.contains(list.front()));
  // Room made ahead changes nothing that shows.
  set.reserve(5000);
  EXPECT_TRUE(set.insert({0, 1}));
  EXPECT_EQ(set.paths(), (std::vector<CLIndexPath>{{0, 1}}));
}

}  // namespace
