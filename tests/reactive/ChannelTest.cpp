#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "KVOTestSupport.h"
#include "ReactiveTestSupport.h"
#include "reactive/RSChannel.h"
#include "reactive/RSKVOChannel.h"
#include "reactive/RSObservation.h"

using rstest::Node;
using rstest::Recorder;
using rstest::Values;

namespace {

void join(const std::shared_ptr<fnd::Object>& left, const std::string& leftPath, const std::shared_ptr<fnd::Object>& right,
          const std::string& rightPath, const fnd::Value& leftNil = fnd::Value()) {
  auto l = RSKVOChannel::initWithTarget(left, leftPath, leftNil);
  auto r = RSKVOChannel::initWithTarget(right, rightPath, fnd::Value());
  (*l)["followingTerminal"] = (*r)["followingTerminal"];
}

}  // namespace

TEST(ChannelTest, AnEndOnEitherTerminalEndsBoth) {
  auto channel = RSChannel::channel();
  Recorder leading, following;
  leading.subscribe(channel->leadingTerminal());
  following.subscribe(channel->followingTerminal());
  channel->leadingTerminal()->sendNext(fnd::Value(1));
  channel->followingTerminal()->sendNext(fnd::Value(2));
  EXPECT_EQ(following.values(), (Values{fnd::Value(1)}));
  EXPECT_EQ(leading.values(), (Values{fnd::Value(2)}));
  // A late subscriber of the following terminal gets the latest value.
  Recorder late;
  late.subscribe(channel->followingTerminal());
  EXPECT_EQ(late.values(), (Values{fnd::Value(1)}));
  channel->followingTerminal()->sendCompleted();
  EXPECT_TRUE(leading.completed());
  EXPECT_TRUE(following.completed());
}

TEST(KVOChannelTest, FollowingTerminalSendsTheValueAndWritesWithoutEcho) {
  Recorder recorder;
  auto node = fnd::make<Node>();
  node->value.set(fnd::Value(1));
  auto channel = RSKVOChannel::initWithTarget(node, "value", fnd::Value("none"));
  recorder.subscribe(channel->followingTerminal());
  channel->followingTerminal()->sendNext(fnd::Value(2));
  EXPECT_EQ(node->value.get(), fnd::Value(2));
  channel->followingTerminal()->sendNext(fnd::Value());
  EXPECT_EQ(node->value.get(), fnd::Value("none"));  // the nil value, not nil
  node->value.set(fnd::Value(3));
  EXPECT_EQ(recorder.values(), (Values{fnd::Value(1), fnd::Value(3)}));
  node.reset();
  EXPECT_TRUE(recorder.completed());
}

// A write through the channel that tells the channel nothing back at once
// (the target refused it, or its notifications were deferred) leaves no echo
// record behind: the next genuine change comes out.
TEST(KVOChannelTest, AWriteNotToldBackAtOnceLeavesNoEchoRecord) {
  const struct {
    const char* what;
    const char* key;
    std::function<void(const RSChannelTerminalPtr&)> write;
    std::function<void(Node&)> change;
  } cases[] = {
      {"refused: read-only", "fixed", [](const RSChannelTerminalPtr& t) { t->sendNext(fnd::Value(9)); },
       [](Node& n) { n.fixed.set(fnd::Value(4)); }},
      {"notifications deferred, as the device service does under its lock", "value",
       [](const RSChannelTerminalPtr& t) {
         fnd::DeferNotifications defer;
         t->sendNext(fnd::Value(9));
       },
       [](Node& n) { n.value.set(fnd::Value(4)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder recorder;
    auto node = fnd::make<Node>();
    auto channel = RSKVOChannel::initWithTarget(node, c.key, fnd::Value());
    recorder.subscribe(channel->followingTerminal());
    c.write(channel->followingTerminal());
    c.change(*node);
    EXPECT_EQ(recorder.values(), (Values{fnd::Value(), fnd::Value(4)}));
  }
}

TEST(KVOChannelTest, NullTargetGivesAnEndedChannel) {
  auto channel = RSKVOChannel::initWithTarget(nullptr, "value", fnd::Value());
  Recorder recorder;
  recorder.subscribe(channel->followingTerminal());
  EXPECT_TRUE(recorder.completed());
}

TEST(KVOChannelJoinTest, LeftTakesTheRightValueThenChangesCrossBothWaysWithoutEcho) {
  auto left = fnd::make<Node>();
  auto right = fnd::make<Node>();
  left->value.set(fnd::Value("left"));
  right->value.set(fnd::Value("right"));
  int leftBefore = left->valueWrites, rightBefore = right->valueWrites;
  join(left, "value", right, "value");
  EXPECT_EQ(left->value.get(), fnd::Value("right"));
  EXPECT_EQ(right->valueWrites, rightBefore);  // nothing went back

  right->value.set(fnd::Value("r2"));
  EXPECT_EQ(left->value.get(), fnd::Value("r2"));
  EXPECT_EQ(left->valueWrites, leftBefore + 2);
  EXPECT_EQ(right->valueWrites, rightBefore + 1);

  left->value.set(fnd::Value("l2"));  // on the main thread: before the setter returns
  EXPECT_EQ(right->value.get(), fnd::Value("l2"));
  EXPECT_EQ(right->valueWrites, rightBefore + 2);

  left->value.set(fnd::Value("l2"));  // the same value crosses again
  EXPECT_EQ(right->valueWrites, rightBefore + 3);
  EXPECT_EQ(left->valueWrites, leftBefore + 4);
}

TEST(KVOChannelJoinTest, NilRightSetsTheLeftNilValue) {
  auto left = fnd::make<Node>();
  auto right = fnd::make<Node>();
  left->value.set(fnd::Value(1));
  join(left, "value", right, "value", fnd::Value(0));
  EXPECT_EQ(left->value.get(), fnd::Value(0));
}

TEST(KVOChannelJoinTest, LeftChangeOnAnotherThreadCrossesLaterOnTheBackgroundQueue) {
  auto left = fnd::make<Node>();
  auto right = fnd::make<Node>();
  join(left, "value", right, "value");
  std::atomic<bool> writtenOnBackground{false};
  std::atomic<bool> notified{false};
  auto background =
      std::static_pointer_cast<RSSubscriptionScheduler>(RSScheduler::subscriptionScheduler())->backgroundScheduler();
  auto token = right->addObserver("value", fnd::KVONew, [&](const fnd::KVOChange&) {
    writtenOnBackground = RSScheduler::currentScheduler() == background;
    notified = true;
  });
  {
    rstest::BackgroundGate gate;  // holds the background queue while the setter runs
    rstest::onPlainThread([&] { left->value.set(fnd::Value(5)); });
    EXPECT_TRUE(right->value.get().isNil());
  }
  // The value is stored before the observers hear of it: wait for them.
  ASSERT_TRUE(rstest::waitUntil([&] { return notified.load(); }));
  EXPECT_EQ(right->value.get(), fnd::Value(5));
  EXPECT_TRUE(writtenOnBackground);
  right->removeObserver(token);
  // Nothing echoed back.
  ASSERT_TRUE(rstest::flushBackgroundQueue());
  EXPECT_EQ(left->valueWrites, 2);  // the join's nil, then the change itself
}

TEST(KVOChannelJoinTest, EitherTargetEndingEndsThePair) {
  for (bool leftGoes : {true, false}) {
    auto left = fnd::make<Node>();
    auto right = fnd::make<Node>();
    auto l = RSKVOChannel::initWithTarget(left, "value", fnd::Value());
    auto r = RSKVOChannel::initWithTarget(right, "value", fnd::Value());
    (*l)["followingTerminal"] = (*r)["followingTerminal"];
    Recorder leftEnd, rightEnd;
    leftEnd.subscribe(l->leadingTerminal()->ignoreValues());
    rightEnd.subscribe(r->leadingTerminal()->ignoreValues());
    l.reset();
    r.reset();
    std::shared_ptr<Node> survivor = leftGoes ? right : left;
    (leftGoes ? left : right).reset();
    EXPECT_TRUE(leftEnd.completed());
    EXPECT_TRUE(rightEnd.completed());
    int writes = survivor->valueWrites;
    survivor->value.set(fnd::Value(1));
    EXPECT_EQ(survivor->valueWrites, writes + 1);
    EXPECT_EQ(survivor->observerCount("value"), 0u);
  }
}

TEST(KVOChannelJoinTest, TwoComponentPathFollowsTheReplacedObject) {
  auto left = fnd::make<Node>();
  auto root = fnd::make<Node>();
  auto first = fnd::make<Node>();
  first->value.set(fnd::Value("a"));
  root->child.set(first);
  join(left, "value", root, "child.value");
  EXPECT_EQ(left->value.get(), fnd::Value("a"));

  auto second = fnd::make<Node>();
  second->value.set(fnd::Value("b"));
  root->child.set(second);
  EXPECT_EQ(left->value.get(), fnd::Value("b"));  // a replacement always crosses
  left->value.set(fnd::Value("c"));
  EXPECT_EQ(second->value.get(), fnd::Value("c"));
  EXPECT_EQ(first->value.get(), fnd::Value("a"));

  root->child.set(nullptr);
  EXPECT_TRUE(left->value.get().isNil());
  left->value.set(fnd::Value("dropped"));  // no intermediate object: nothing written
  EXPECT_EQ(second->value.get(), fnd::Value("c"));
}

TEST(KVOChannelJoinTest, TwoLeftsOnOneRightProperty) {
  auto moduleBar = fnd::make<Node>();
  auto editor = fnd::make<Node>();
  auto record = fnd::make<Node>();
  join(moduleBar, "value", record, "value");
  join(editor, "value", record, "value");
  record->value.set(fnd::Value(1));
  EXPECT_EQ(moduleBar->value.get(), fnd::Value(1));
  EXPECT_EQ(editor->value.get(), fnd::Value(1));
  int recordWrites = record->valueWrites;
  moduleBar->value.set(fnd::Value(2));
  EXPECT_EQ(record->value.get(), fnd::Value(2));
  EXPECT_EQ(editor->value.get(), fnd::Value(2));
  EXPECT_EQ(record->valueWrites, recordWrites + 1);  // no loop
}

TEST(KVOChannelJoinTest, AMainThreadTargetIsWrittenOnTheMainThreadWithoutEcho) {
  auto view = fnd::make<rstest::MainThreadNode>();
  auto record = fnd::make<Node>();
  join(view, "value", record, "value");
  rstest::onPlainThread([&] { record->value.set(fnd::Value("from the unit")); });
  EXPECT_TRUE(view->value.get().isNil());  // queued on the main queue
  ASSERT_TRUE(rstest::pumpUntil([&] { return view->value.get() == fnd::Value("from the unit"); }));
  EXPECT_EQ(view->offMainWrites, 0);
  ASSERT_TRUE(rstest::flushBackgroundQueue());
  dispatch::drainMainQueue();
  EXPECT_EQ(record->valueWrites, 1);  // the view's write did not come back
}

// As a screen binds a property of the unit's record.
TEST(KVOChannelJoinTest, ScreenPropertyBoundTwoWaysToADeviceRecord) {
  auto screen = fnd::make<rstest::PresetScreen>();
  auto record = fnd::make<rstest::PresetRecord>();
  record->selectedPreset.set(12);
  record->dataArr.set({1, 2, 3});
  join(screen, "selectRow", record, "selectedPreset");
  join(screen, "moduleStatus", record, "dataArr");
  EXPECT_EQ(screen->selectRow.get(), fnd::Value(12));
  EXPECT_EQ(screen->moduleStatus.get(), fnd::toValue(std::vector<int>{1, 2, 3}));

  // The unit reports a change on its input thread: the screen follows at once.
  rstest::onPlainThread([&] {
    record->selectedPreset.set(std::nullopt);
    record->dataArr.set({4, 5});
  });
  EXPECT_TRUE(screen->selectRow.get().isNil());
  EXPECT_EQ(screen->moduleStatus.get(), fnd::toValue(std::vector<int>{4, 5}));

  // The user picks a row.
  screen->selectRow.set(fnd::Value(40));
  EXPECT_EQ(record->selectedPreset.get(), std::optional<int>(40));
  screen->moduleStatus.set(fnd::toValue(std::vector<int>{7}));
  EXPECT_EQ(record->dataArr.get(), (std::vector<int>{7}));
  EXPECT_EQ(screen->selectRowWrites, 3);  // the join, the unit's change, the user's pick

  // The screen goes: the record keeps nothing of it.
  screen.reset();
  record->selectedPreset.set(1);
  EXPECT_EQ(record->observerCount("selectedPreset"), 0u);
  EXPECT_EQ(record->observerCount("dataArr"), 0u);
}
