#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/foundation/Property.h"

using fnd::Array;
using fnd::KVOChange;
using fnd::Value;

namespace {

class Module : public fnd::Object {
public:
  fnd::Property<std::vector<int>> dataArr{this, "dataArr"};
  fnd::Property<std::optional<int>> selected{this, "selected"};
  fnd::Property<std::string> name{this, "name", "", [](std::string s) {
                                    while (!s.empty() && s.back() == ' ') s.pop_back();
                                    return s;
                                  }};
  fnd::ReadonlyProperty<int> version{this, "version", 3};
};

class Holder : public fnd::Object {
public:
  fnd::Property<std::shared_ptr<Module>> module{this, "module"};
  fnd::Property<fnd::Dictionary> dict{this, "dict"};
  fnd::WeakProperty<Module> weakModule{this, "weakModule"};
  fnd::LazyProperty<std::string> lazy{this, "lazy", [this] {
                                        ++lazyMade;
                                        return std::string("made");
                                      }};
  int lazyMade = 0;
};

struct Recorder {
  std::vector<std::string> lines;
  fnd::KVOCallback callback() {
    return [this](const KVOChange& c) {
      lines.push_back(std::string(c.isPrior ? "prior" : "after") + " old=" + c.oldValue.description() +
                      " new=" + c.newValue.description());
    };
  }
};

}  // namespace

TEST(KeyValueCoding, TypedPropertiesReadAndWriteByKey) {
  auto m = fnd::make<Module>();
  EXPECT_TRUE(m->setValueForKey("dataArr", Value(Array{1, "2", 3.0})));
  EXPECT_EQ(m->dataArr.get(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(m->valueForKey("dataArr"), Value(Array{1, 2, 3}));
  EXPECT_TRUE(m->valueForKey("selected").isNil());
  m->setValueForKey("selected", Value(4));
  EXPECT_EQ(m->selected.get(), 4);
  m->setValueForKey("selected", Value());
  EXPECT_EQ(m->selected.get(), std::nullopt);
  m->setValueForKey("name", Value("Clean   "));
  EXPECT_EQ(m->name.get(), "Clean");  // the setter's transform applies to key-value writes too
}

TEST(KeyValueCoding, UnknownAndReadonlyKeysRefuseWithoutThrowing) {
  auto m = fnd::make<Module>();
  EXPECT_FALSE(m->setValueForKey("nope", Value(1)));
  EXPECT_TRUE(m->valueForKey("nope").isNil());
  EXPECT_FALSE(m->setValueForKey("version", Value(9)));
  EXPECT_EQ(m->version.get(), 3);
  EXPECT_TRUE(m->attributesForKey("version")->readonly);
  EXPECT_EQ(m->attributesForKey("nope"), nullptr);
}

TEST(KeyValueCoding, KeyPathsWalkObjectsAndDictionariesAndStopAtNil) {
  auto h = fnd::make<Holder>();
  EXPECT_TRUE(h->valueForKeyPath("module.dataArr").isNil());  // nil in the middle
  auto m = fnd::make<Module>();
  m->dataArr.set({7});
  h->module.set(m);
  EXPECT_EQ(h->valueForKeyPath("module.dataArr"), Value(Array{7}));
  EXPECT_TRUE(h->setValueForKeyPath("module.selected", Value(2)));
  EXPECT_EQ(m->selected.get(), 2);
  h->dict.set(fnd::Dictionary{{"a", fnd::Dictionary{{"b", "deep"}}}});
  EXPECT_EQ(h->valueForKeyPath("dict.a.b"), Value("deep"));
  EXPECT_TRUE(h->valueForKeyPath("dict.a.b.c").isNil());  // a string has no keys
  EXPECT_FALSE(h->setValueForKeyPath("dict.a", Value(1)));  // dictionaries are values
}

TEST(KeyValueObserving, PriorComesBeforeAndAfterCarriesOldAndNew) {
  auto m = fnd::make<Module>();
  m->selected.set(1);
  Recorder rec;
  m->addObserver("selected", fnd::KVONew | fnd::KVOOld | fnd::KVOPrior, rec.callback());
  m->selected.set(2);
  EXPECT_EQ(rec.lines, (std::vector<std::string>{"prior old=1 new=(null)", "after old=1 new=2"}));
}

TEST(KeyValueObserving, EverySetNotifiesEqualValuesIncluded) {
  auto m = fnd::make<Module>();
  int calls = 0;
  m->addObserver("dataArr", fnd::KVONew, [&](const KVOChange& c) {
    ++calls;
    EXPECT_FALSE(c.isPrior);
  });
  m->dataArr.set({1});
  m->dataArr.set({1});
  m->setValueForKey("dataArr", Value(Array{1}));
  EXPECT_EQ(calls, 3);
}

TEST(KeyValueObserving, InitialCallAndOptionsLimitWhatIsCarried) {
  auto m = fnd::make<Module>();
  m->name.set("A");
  std::vector<KVOChange> changes;
  m->addObserver("name", fnd::KVOInitial | fnd::KVONew, [&](const KVOChange& c) { changes.push_back(c); });
  m->addObserver("name", 0, [&](const KVOChange& c) { changes.push_back(c); });
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].newValue, Value("A"));
  m->name.set("B");
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[1].newValue, Value("B"));
  EXPECT_TRUE(changes[2].newValue.isNil());  // no New asked, nothing carried
  EXPECT_TRUE(changes[2].oldValue.isNil());
}

TEST(KeyValueObserving, RemovalDuringANotificationStopsLaterCalls) {
  auto m = fnd::make<Module>();
  std::vector<std::string> order;
  fnd::KVOToken second;
  auto first = m->addObserver("selected", fnd::KVOPrior, [&](const KVOChange& c) {
    order.push_back(c.isPrior ? "first prior" : "first after");
    m->removeObserver(second);  // removes a later observer in the middle of delivery
  });
  second = m->addObserver("selected", fnd::KVOPrior, [&](const KVOChange& c) {
    order.push_back(c.isPrior ? "second prior" : "second after");
  });
  m->selected.set(1);
  EXPECT_EQ(order, (std::vector<std::string>{"first prior", "first after"}));
  m->removeObserver(first);
  m->selected.set(2);
  EXPECT_EQ(order.size(), 2u);
  EXPECT_EQ(m->observerCount("selected"), 0u);
}

TEST(KeyValueObserving, AnObserverAddedInsideANotificationSeesOnlyLaterChanges) {
  auto m = fnd::make<Module>();
  int late = 0;
  bool added = false;
  m->addObserver("selected", 0, [&](const KVOChange&) {
    if (!added) {
      added = true;
      m->addObserver("selected", 0, [&](const KVOChange&) { ++late; });
    }
  });
  m->selected.set(1);
  EXPECT_EQ(late, 0);
  m->selected.set(2);
  EXPECT_EQ(late, 1);
}

TEST(KeyValueObserving, ManualWillDidNestPerKey) {
  auto h = fnd::make<Holder>();
  std::vector<std::string> seen;
  h->addObserver("lazy", fnd::KVONew | fnd::KVOOld, [&](const KVOChange& c) {
    seen.push_back(c.oldValue.stringValue() + "->" + c.newValue.stringValue());
  });
  h->willChangeValueForKey("lazy");  // old value made on demand by the lazy property
  h->lazy.set("inner");              // nested will/did of the same key
  h->didChangeValueForKey("lazy");
  EXPECT_EQ(h->lazyMade, 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"made->inner", "made->inner"}));
}

TEST(KeyValueObserving, NotificationsRunOnTheSettersThread) {
  auto m = fnd::make<Module>();
  std::thread::id seenOn;
  m->addObserver("selected", 0, [&](const KVOChange&) { seenOn = std::this_thread::get_id(); });
  std::thread::id setter;
  std::thread t([&] {
    setter = std::this_thread::get_id();
    m->selected.set(5);
  });
  t.join();
  EXPECT_EQ(seenOn, setter);
}

TEST(DeferredNotifications, DeliveredInOrderWhenTheOutermostScopeEnds) {
  auto m = fnd::make<Module>();
  std::vector<std::string> log;
  m->addObserver("selected", fnd::KVONew | fnd::KVOPrior, [&](const KVOChange& c) {
    log.push_back((c.isPrior ? "prior " : "after ") + c.newValue.stringValue() + " stored=" +
                  m->valueForKey("selected").stringValue());
  });
  m->addObserver("name", fnd::KVONew, [&](const KVOChange& c) { log.push_back("name " + c.newValue.stringValue()); });
  {
    fnd::DeferNotifications outer;
    m->selected.set(1);
    {
      fnd::DeferNotifications inner;
      m->name.set("x");
      m->selected.set(2);
    }
    EXPECT_TRUE(log.empty());  // the inner scope's end delivers nothing
    EXPECT_EQ(m->selected.get(), 2);  // stores happen at once
  }
  EXPECT_EQ(log, (std::vector<std::string>{"prior  stored=2", "after 1 stored=2", "name x", "prior  stored=2",
                                           "after 2 stored=2"}));
  log.clear();
  m->selected.set(3);  // outside any scope: at once
  EXPECT_EQ(log.size(), 2u);
}

TEST(DeferredNotifications, AnObserverMayChangeObjectsWhileBeingDelivered) {
  auto m = fnd::make<Module>();
  std::vector<int> seen;
  m->addObserver("selected", fnd::KVONew, [&](const KVOChange& c) {
    int v = static_cast<int>(c.newValue.intValue());
    seen.push_back(v);
    if (v < 3) m->selected.set(v + 1);  // runs after the scope: delivered at once
  });
  {
    fnd::DeferNotifications scope;
    m->selected.set(1);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(EndOfLife, HooksRunOnceWhileTheObjectIsWhole) {
  struct Tracked : fnd::Object {
    fnd::Property<std::string> name{this, "name", "alive"};
  };
  std::vector<std::string> seen;
  auto t = fnd::make<Tracked>();
  t->lifetime().addHook([&, raw = t.get()] { seen.push_back(raw->name.get()); });
  auto removed = t->lifetime().addHook([&] { seen.push_back("removed hook ran"); });
  t->lifetime().removeHook(removed);
  t.reset();
  EXPECT_EQ(seen, (std::vector<std::string>{"alive"}));
}

TEST(EndOfLife, HookAddedAfterTheEndRunsAtOnceAndAssociatedObjectsAreReleased) {
  fnd::Lifetime life;
  auto payload = fnd::make<Module>();
  std::weak_ptr<Module> weak = payload;
  static const char key = 0;
  life.setAssociatedObject(&key, Value(payload));
  payload.reset();
  EXPECT_FALSE(weak.expired());
  life.end();
  EXPECT_TRUE(weak.expired());
  bool ran = false;
  life.addHook([&] { ran = true; });
  EXPECT_TRUE(ran);
  life.end();  // a second end does nothing
}

TEST(EndOfLife, AnObserverThatEndsItsLifeIsRemovedFromEveryList) {
  auto a = fnd::make<Module>();
  auto b = fnd::make<Module>();
  int calls = 0;
  {
    fnd::Lifetime observer;
    a->addObserver("selected", 0, observer, [&](const KVOChange&) { ++calls; });
    b->addObserver("name", 0, observer, [&](const KVOChange&) { ++calls; });
    a->selected.set(1);
    EXPECT_EQ(calls, 1);
  }
  a->selected.set(2);
  b->name.set("x");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(a->observerCount("selected"), 0u);
  EXPECT_EQ(b->observerCount("name"), 0u);
}

TEST(EndOfLife, AnObservedObjectThatDiesFirstLeavesNoHookOnTheObserver) {
  fnd::Lifetime observer;
  int hooksRun = 0;
  {
    auto a = fnd::make<Module>();
    a->addObserver("selected", 0, observer, [](const KVOChange&) {});
  }
  observer.addHook([&] { ++hooksRun; });
  observer.end();
  EXPECT_EQ(hooksRun, 1);  // only ours: the registration's hook went with the object
}

// A record dropped by update() ends its life with the owner's lock free: its
// end-of-life work (observations, will-dealloc subscribers) may need that lock
// from another thread.
TEST(EndOfLife, ARecordDroppedByUpdateEndsOutsideTheOwnersLock) {
  auto h = fnd::make<Holder>();
  auto old = fnd::make<Module>();
  h->module.set(old);
  bool lockFreeAtEnd = false;
  bool hookRan = false;
  old->lifetime().addHook([&] {
    hookRan = true;
    std::thread other([&] {
      if (h->objectLock().try_lock()) {
        lockFreeAtEnd = true;
        h->objectLock().unlock();
      }
    });
    other.join();
  });
  old.reset();
  h->module.update([](std::shared_ptr<Module>& m) { m = fnd::make<Module>(); });
  EXPECT_TRUE(hookRan);
  EXPECT_TRUE(lockFreeAtEnd);
}

TEST(WeakProperties, ReadNilOnceTheTargetIsGone) {
  auto h = fnd::make<Holder>();
  auto m = fnd::make<Module>();
  h->weakModule.set(m);
  EXPECT_EQ(h->weakModule.get(), m);
  EXPECT_EQ(h->valueForKey("weakModule"), Value(m));
  EXPECT_TRUE(h->attributesForKey("weakModule")->weak);
  m.reset();
  EXPECT_EQ(h->weakModule.get(), nullptr);
  EXPECT_TRUE(h->valueForKey("weakModule").isNil());
}

// Named cross-thread cases, run under ThreadSanitizer in CI.
TEST(KeyValueObservingThreads, SetOnOneThreadWhileAnotherAddsAndRemovesObservers) {
  auto m = fnd::make<Module>();
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  std::thread setter([&] {
    for (int i = 0; i < 2000; ++i) m->dataArr.set({i, i + 1});
    stop = true;
  });
  std::thread observer([&] {
    while (!stop) {
      auto token = m->addObserver("dataArr", fnd::KVONew | fnd::KVOOld | fnd::KVOPrior, [&](const KVOChange& c) {
        if (!c.isPrior) {
          EXPECT_EQ(c.newValue.asArray().size(), 2u);
        }
        ++calls;
      });
      (void)m->dataArr.get();
      m->removeObserver(token);
    }
  });
  std::thread reader([&] {
    while (!stop) {
      auto words = m->dataArr.get();
      if (!words.empty()) {
        EXPECT_EQ(words[1], words[0] + 1);  // never a torn value
      }
    }
  });
  setter.join();
  observer.join();
  reader.join();
  EXPECT_EQ(m->observerCount("dataArr"), 0u);
}

TEST(KeyValueObservingThreads, ObserverLifetimeEndsWhileAnotherThreadSets) {
  auto m = fnd::make<Module>();
  std::atomic<bool> stop{false};
  std::thread setter([&] {
    int i = 0;
    while (!stop) m->selected.set(i++);
  });
  for (int round = 0; round < 200; ++round) {
    auto observer = std::make_unique<fnd::Lifetime>();
    auto counter = std::make_shared<std::atomic<int>>(0);
    m->addObserver("selected", 0, *observer, [counter](const KVOChange&) { ++*counter; });
    observer.reset();  // ends the lifetime: the registration goes away
  }
  stop = true;
  setter.join();
  EXPECT_EQ(m->observerCount("selected"), 0u);
}
