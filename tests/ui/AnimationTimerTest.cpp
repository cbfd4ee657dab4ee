// Fades on a hand-driven animation clock with group completions, timers that
// hold their owner weakly, delayed calls and their cancelling, the frame
// timer, and the layout registry's awakeFromNib order.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>

#include "platform/dispatch/Queue.h"
#include "platform/ui/Animation.h"
#include "platform/ui/FrameTimer.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/Timer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ui {
namespace {

using namespace std::chrono_literals;

struct ManualClock : ::testing::Test {
  void SetUp() override { AnimationClock::shared().setManual(true); }
  void TearDown() override { AnimationClock::shared().setManual(false); }
};

TEST_F(ManualClock, FadesRunOverTheGroupsDurationAndCompleteOnce) {
  auto a = View::create(Rect(0, 0, 10, 10));
  auto b = View::create(Rect(0, 0, 10, 10));
  int completions = 0;
  AnimationContext::runAnimationGroup(
      [&](AnimationContext& ctx) {
        ctx.setDuration(0.5);
        a->animator().setAlphaValue(0);
        b->animator().setAlphaValue(0.5);
      },
      [&] { ++completions; });
  EXPECT_EQ(a->alphaValue(), 1);  // nothing moves before the clock does
  AnimationClock::shared().advance(0.25);
  EXPECT_NEAR(a->alphaValue(), 0.5, 0.02);
  EXPECT_NEAR(b->alphaValue(), 0.75, 0.02);
  EXPECT_EQ(completions, 0);
  AnimationClock::shared().advance(0.3);
  EXPECT_EQ(a->alphaValue(), 0);
  EXPECT_EQ(b->alphaValue(), 0.5);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(runningFadeCount(), 0u);
  EXPECT_EQ(AnimationClock::shared().subscriberCount(), 0u);  // the clock idles again

  // A newer fade of the same view ends the older one; both groups complete.
  int first = 0, second = 0;
  AnimationContext::runAnimationGroup([&](AnimationContext&) { a->animator().setAlphaValue(1); }, [&] { ++first; });
  AnimationClock::shared().advance(0.1);
  AnimationContext::runAnimationGroup([&](AnimationContext&) { a->animator().setAlphaValue(0.2); }, [&] { ++second; });
  EXPECT_EQ(first, 1);
  AnimationClock::shared().advance(1);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(a->alphaValue(), 0.2);

  // A view gone during its fade ends the fade.
  int third = 0;
  AnimationContext::runAnimationGroup([&](AnimationContext&) { b->animator().setAlphaValue(1); }, [&] { ++third; });
  b.reset();
  AnimationClock::shared().advance(0.1);
  EXPECT_EQ(third, 1);
}

TEST_F(ManualClock, AGroupWithNothingToAnimateCompletesOnALaterTurn) {
  bool done = false;
  AnimationContext::runAnimationGroup([](AnimationContext&) {}, [&] { done = true; });
  EXPECT_FALSE(done);
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return done; }, 2s));
}

TEST(Timers, RunRepeatedlyUntilInvalidatedAndStopWhenTheirOwnerGoes) {
  const size_t before = Timer::liveCount();
  int ticks = 0;
  auto t = Timer::scheduled(0.001, true, [&](Timer& self) {
    if (++ticks == 3) self.invalidate();
  });
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return !t->isValid(); }, 2s));
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(Timer::liveCount(), before);

  auto owner = std::make_shared<int>(0);
  int ownerTicks = 0;
  auto owned = Timer::scheduled(0.001, true, std::weak_ptr<void>(owner), [&](Timer&) { ++ownerTicks; });
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return ownerTicks > 0; }, 2s));
  owner.reset();
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return !owned->isValid(); }, 2s));
  const int atEnd = ownerTicks;
  QCoreApplication::processEvents();
  EXPECT_EQ(ownerTicks, atEnd);
}

TEST(Timers, DelayedCallsRunOnceAndCancellingDropsOnlyTheOwnersRequests) {
  auto a = std::make_shared<int>(0);
  auto b = std::make_shared<int>(0);
  std::vector<std::string> ran;
  performAfterDelay(a, 0.001, [&] { ran.push_back("a1"); });
  performAfterDelay(a, 0.002, [&] { ran.push_back("a2"); });
  performAfterDelay(b, 0.002, [&] { ran.push_back("b"); });
  cancelPreviousPerformRequests(a.get());
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return !ran.empty(); }, 2s));
  EXPECT_EQ(ran, (std::vector<std::string>{"b"}));

  // An owner gone before the delay ends means no call.
  bool called = false;
  auto c = std::make_shared<int>(0);
  performAfterDelay(c, 0.001, [&] { called = true; });
  c.reset();
  // A call asked for later, due later, runs after that one would have.
  bool later = false;
  performAfterDelay(b, 0.002, [&] { later = true; });
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return later; }, 2s));
  EXPECT_FALSE(called);
}

TEST(FrameTimer, FiresByHandAndFollowsTheWindowsRate) {
  int frames = 0;
  FrameTimer timer([&] { ++frames; });
  timer.fire();
  EXPECT_EQ(frames, 1);
  EXPECT_DOUBLE_EQ(timer.intervalSeconds(), 1.0 / 60);
  auto window = Window::create(Rect(0, 0, 10, 10));
  timer.followWindow(window.get());
  EXPECT_DOUBLE_EQ(timer.intervalSeconds(), 1.0 / window->screenRefreshRate());
  timer.start();
  EXPECT_TRUE(timer.isRunning());
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return frames > 2; }, 2s));
  timer.stop();
  EXPECT_FALSE(timer.isRunning());
}

struct Awake : View {
  using View::View;
  void awakeFromNib() override { order->push_back(name); }
  std::vector<std::string>* order = nullptr;
  std::string name;
};

struct OwnerController : ViewController {
  using ViewController::ViewController;
  std::weak_ptr<Awake> outlet;
  bool loaded = false;
  void viewDidLoad() override { loaded = true; }
};

TEST(LayoutRegistry, BuildersMakeObjectsSetOutletsThenAwakeThemInOrder) {
  std::vector<std::string> order;
  LayoutRegistry::shared().registerBuilder("TestPanel", [&](LayoutLoad& load) {
    auto* owner = dynamic_cast<OwnerController*>(load.owner());
    auto root = load.add(View::create<Awake>(Rect(0, 0, 100, 50)), true);
    auto field = load.add(View::create<Awake>(Rect(5, 5, 20, 20)));
    root->order = field->order = &order;
    root->name = "root";
    field->name = "field";
    root->addSubview(field);
    // Outlets are set before anything awakes.
    if (owner) {
      owner->outlet = field;
      owner->setView(root);
    }
    order.push_back("built");
  });
  auto vc = fnd::make<OwnerController>("TestPanel");
  auto view = vc->view();
  EXPECT_EQ(order, (std::vector<std::string>{"built", "root", "field"}));
  EXPECT_TRUE(vc->loaded);
  EXPECT_EQ(vc->outlet.lock()->superview(), view.get());
  EXPECT_EQ(view->frame(), Rect(0, 0, 100, 50));

  EXPECT_FALSE(LayoutRegistry::shared().loadTopLevelObjects("NoSuchLayout", nullptr).has_value());
  // A controller with an unknown layout still gets a view.
  auto plain = fnd::make<ViewController>("NoSuchLayout");
  EXPECT_NE(plain->view(), nullptr);
}

}  // namespace
}  // namespace ui
