#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "reactive/RSDisposable.h"

namespace {

TEST(DisposableTest, CleanupRunsExactlyOnceWhateverTheCallers) {
  std::atomic<int> runs{0};
  auto disposable = RSDisposable::disposableWithBlock([&runs] { runs++; });
  EXPECT_FALSE(disposable->isDisposed());
  disposable->dispose();
  disposable->dispose();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(disposable->isDisposed());

  for (int round = 0; round < 8; ++round) {
    std::atomic<int> count{0};
    auto shared = RSDisposable::disposableWithBlock([&count] { count++; });
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([shared] { shared->dispose(); });
    for (auto& t : threads) t.join();
    ASSERT_EQ(count, 1);
  }
}

TEST(DisposableTest, StatesAtBirthAndScopedRelease) {
  EXPECT_TRUE(RSDisposable::disposableWithBlock(nullptr)->isDisposed());
  EXPECT_FALSE(RSDisposable::create()->isDisposed());
  bool ran = false;
  { auto unused = RSDisposable::disposableWithBlock([&ran] { ran = true; }); }
  EXPECT_FALSE(ran);  // dropping is not disposing
  { auto scoped = RSDisposable::disposableWithBlock([&ran] { ran = true; })->asScopedDisposable(); }
  EXPECT_TRUE(ran);  // except for a scoped disposable
}

TEST(CompoundDisposableTest, DisposesSlotsThenArrayInOrder) {
  std::string order;
  auto member = [&order](char c) { return RSDisposable::disposableWithBlock([&order, c] { order += c; }); };
  auto compound = RSCompoundDisposable::compoundDisposableWithDisposables({member('a'), member('b'), member('c'), member('d')});
  compound->dispose();
  EXPECT_EQ(order, "abcd");

  // A removed slot member frees its slot for the next add: order follows the
  // slots, not insertion.
  order.clear();
  auto a = member('a');
  compound = RSCompoundDisposable::compoundDisposable();
  compound->addDisposable(a);
  compound->addDisposable(member('b'));
  compound->addDisposable(member('c'));
  compound->removeDisposable(a);
  compound->addDisposable(member('e'));
  compound->dispose();
  EXPECT_EQ(order, "ebc");
  EXPECT_FALSE(a->isDisposed());
}

TEST(CompoundDisposableTest, AddAfterDisposalDisposesAtOnce) {
  auto compound = RSCompoundDisposable::compoundDisposable();
  compound->dispose();
  EXPECT_TRUE(compound->isDisposed());
  bool ran = false;
  compound->addDisposable(RSDisposable::disposableWithBlock([&ran] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(CompoundDisposableTest, MemberCleanupMayCallBackIntoItsCompound) {
  auto compound = RSCompoundDisposable::compoundDisposable();
  std::weak_ptr<RSCompoundDisposable> weak = compound;
  auto self = std::make_shared<RSDisposablePtr>();
  bool lateRan = false;
  *self = RSDisposable::disposableWithBlock([weak, self, &lateRan] {
    auto c = weak.lock();
    c->removeDisposable(*self);
    c->addDisposable(RSDisposable::disposableWithBlock([&lateRan] { lateRan = true; }));
  });
  for (int i = 0; i < 3; ++i) compound->addDisposable(RSDisposable::create());
  compound->addDisposable(*self);
  compound->dispose();  // must not deadlock
  EXPECT_TRUE(lateRan);
  self->reset();
}

TEST(SerialDisposableTest, ReplacedLastReferenceIsReleasedOutsideTheLock) {
  // The previous inner disposable is scoped: dropping it disposes it, and its
  // cleanup reads the serial disposable again (which would deadlock under its
  // lock).
  auto serial = std::make_shared<RSSerialDisposable>();
  std::weak_ptr<RSSerialDisposable> weak = serial;
  bool cleaned = false;
  serial->setDisposable(RSScopedDisposable::scopedDisposableWithDisposable(
      RSDisposable::disposableWithBlock([weak, &cleaned] {
        cleaned = weak.lock()->disposable() != nullptr;
      })));
  serial->setDisposable(RSDisposable::create());
  EXPECT_TRUE(cleaned);
}

TEST(CompoundDisposableTest, AddRacingDisposeDisposesEveryMemberOnce) {
  for (int round = 0; round < 20; ++round) {
    auto compound = RSCompoundDisposable::compoundDisposable();
    std::atomic<int> disposed{0};
    constexpr int kPerThread = 50;
    std::vector<std::thread> adders;
    std::atomic<bool> go{false};
    for (int t = 0; t < 3; ++t) {
      adders.emplace_back([&] {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < kPerThread; ++i) {
          auto member = RSDisposable::disposableWithBlock([&disposed] { disposed++; });
          compound->addDisposable(member);
          if (i % 7 == 0) compound->removeDisposable(member), member->dispose();
        }
      });
    }
    std::thread disposer([&] {
      while (!go) std::this_thread::yield();
      compound->dispose();
    });
    go = true;
    for (auto& t : adders) t.join();
    disposer.join();
    // Every member ends disposed exactly once: by the compound, at the add, or
    // by the test itself after removal.
    ASSERT_EQ(disposed, 3 * kPerThread);
  }
}

TEST(SerialDisposableTest, SwapAndDisposal) {
  auto first = RSDisposable::create();
  auto second = RSDisposable::create();
  auto serial = RSSerialDisposable::serialDisposableWithDisposable(first);
  serial->setDisposable(second);
  EXPECT_FALSE(first->isDisposed());
  EXPECT_EQ(serial->disposable(), second);
  EXPECT_EQ(serial->swapInDisposable(first), second);
  serial->dispose();
  EXPECT_TRUE(first->isDisposed());
  EXPECT_FALSE(second->isDisposed());
  EXPECT_EQ(serial->swapInDisposable(second), nullptr);
  EXPECT_TRUE(second->isDisposed());
  EXPECT_EQ(serial->disposable(), nullptr);
}

}  // namespace
