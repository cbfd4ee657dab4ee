#include "platform/solver/FlatMap.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

// Inserts and erases at random, small maps (linear search) and large ones
// (with an index, across growth and backward-shift deletion), against std::map.
TEST(FlatMap, AgreesWithAnOrderedMapUnderRandomChanges) {
  for (uint32_t keySpace : {6u, 40u, 3000u}) {
    std::mt19937 rng(keySpace);
    solver::FlatMap<double> map;
    std::map<uint32_t, double> model;
    for (int step = 0; step < 20000; ++step) {
      // Keys clustered so that probe sequences collide and wrap.
      const uint32_t key = 1 + rng() % keySpace;
      if (rng() % 3 == 0) {
        EXPECT_EQ(map.erase(key), model.erase(key) == 1) << key;
      } else {
        auto [value, fresh] = map.insert(key, 0.0);
        EXPECT_EQ(fresh, model.count(key) == 0) << key;
        *value += 1.0;
        model[key] += 1.0;
      }
      if (step % 997 == 0 || keySpace < 50) {
        ASSERT_EQ(map.size(), model.size());
        std::map<uint32_t, double> seen;
        map.forEach([&](uint32_t k, double v) { seen.emplace(k, v); });
        ASSERT_EQ(seen, model) << "step " << step;
      }
    }
    for (const auto& [k, v] : model) {
      const double* found = map.find(k);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(*found, v);
    }
    EXPECT_EQ(map.find(keySpace + 1), nullptr);
    solver::FlatMap<double> moved = std::move(map);
    EXPECT_TRUE(map.empty());  // NOLINT: a moved-from map is empty and usable
    EXPECT_EQ(map.find(1), nullptr);
    EXPECT_EQ(moved.size(), model.size());
  }
}

}  // namespace
