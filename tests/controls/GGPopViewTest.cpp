// The pop-up service: tip geometry for short, long and empty messages, tips
// centred in the main window and piling up, closing after 2.5 s and a 0.3 s
// fade on the test's clocks, tips asked for on another thread; overlays that
// swallow clicks and close on one unless told not to (and are freed after
// the event that closed them), closed from the top, the confirm-panel
// registry, the success tip inside an overlay, tracking areas that follow
// the size; the device layer's service; packed colours and frame accessors.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <thread>

#include "controls/ControlsTestSupport.h"
#include "controls/GGFrame.h"
#include "controls/GGPopView.h"
#include "controls/NSPopNormalView.h"
#include "platform/dispatch/ManualClock.h"
#include "platform/foundation/PopUpService.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/TrackingArea.h"

namespace {

using controls_test::runUntil;
using namespace std::chrono_literals;
using ui::Rect;

TEST(NSPopNormalView, IsSizedToItsMessage) {
  const ui::Font font = ui::Font::systemFontOfSize(17);
  auto shortTip = NSPopNormalView::initWithType(NSPopNormalView::Success, "abc");
  EXPECT_DOUBLE_EQ(gg_width(*shortTip), 130);
  EXPECT_DOUBLE_EQ(gg_width(*shortTip->iconImageView()), 52);
  const double oneLine = double(float(NSPopNormalView::heightForString("abc", font, 240) + 8));
  EXPECT_DOUBLE_EQ(gg_height(*shortTip), 52 + 50 + oneLine);
  EXPECT_EQ(shortTip->tipImage(), ui::Image::imageNamed("ic_success"));
  ASSERT_NE(shortTip->tipImage(), nullptr);

  const std::string text = "Wrong preset file data format! Preset file version does not match! Please check.";
  auto longTip = NSPopNormalView::initWithType(NSPopNormalView::Fail, text);
  EXPECT_DOUBLE_EQ(gg_width(*longTip), 270);
  EXPECT_DOUBLE_EQ(gg_width(*longTip->iconImageView()), 66);
  // Laid out as the label lays it out: 240 less the label's inset.
  const double textHeight = double(float(NSPopNormalView::heightForString(text, font, 236) + 8));
  EXPECT_GT(textHeight, oneLine);  // wrapped over several lines
  EXPECT_DOUBLE_EQ(gg_height(*longTip->titleLabel()), textHeight);
  EXPECT_DOUBLE_EQ(gg_y(*longTip->titleLabel()), 15);
  EXPECT_DOUBLE_EQ(gg_y(*longTip->iconImageView()) + 66 + 20, gg_height(*longTip));  // 20 from the top

  // Every line the label makes has room, also for messages a little
  // narrower than the widest label, which wrap inside its inset.
  for (const char* message : {"Device data backup successful.", "Preset file version does not match!",
                              "Wrong file name format! Please check compatibility of file name."}) {
    SCOPED_TRACE(message);
    auto tip = NSPopNormalView::initWithType(NSPopNormalView::Warning, message);
    const auto& label = *tip->titleLabel();
    const double lineWidth = label.textFieldCell().titleRectForBounds(label.bounds()).width();
    EXPECT_GE(gg_height(label), NSPopNormalView::heightForString(message, font, lineWidth));
  }

  auto empty = NSPopNormalView::initWithType(7, "");
  EXPECT_DOUBLE_EQ(gg_height(*empty), 52 + 40);
  EXPECT_EQ(empty->tipImage(), nullptr);  // no icon for an unknown type
  EXPECT_TRUE(empty->titleLabel()->isHidden());
}

struct ClockFixture : ::testing::Test, controls_test::WindowFixture {
  ClockFixture() : WindowFixture(600, 400) {}
  void SetUp() override {
    dispatch::setClockForTesting(clock);
    ui::AnimationClock::shared().setManual(true);
    window->makeMainWindow();
  }
  void TearDown() override {
    dispatch::setClockForTesting(nullptr);
    ui::AnimationClock::shared().setManual(false);
    QCoreApplication::processEvents();
  }
  // Moves the dispatch clock on and runs what became due on the main queue.
  void advance(std::chrono::milliseconds by) {
    clock->advance(by);
    QCoreApplication::processEvents();
  }
  template <class T>
  std::vector<std::shared_ptr<T>> viewsOf(const ui::View& v) const {
    std::vector<std::shared_ptr<T>> out;
    for (auto& s : v.subviews()) {
      if (auto t = std::dynamic_pointer_cast<T>(s)) out.push_back(t);
    }
    return out;
  }
  std::shared_ptr<dispatch::ManualClock> clock = std::make_shared<dispatch::ManualClock>();
};

TEST_F(ClockFixture, TipsSitInTheMiddleOfTheMainWindowPileUpAndGoAfterTheirTime) {
  auto& content = *window->contentView();
  GGPopView::showSuccessWithTip("Device data backup successful.");
  advance(1000ms);
  GGPopView::showWarningWithTip("abc", nullptr);
  auto tips = viewsOf<NSPopNormalView>(content);
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(content.subviews().back(), tips[1]);  // the newer one on top
  for (auto& tip : tips) {
    EXPECT_DOUBLE_EQ(tip->frame().midX(), 300);
    EXPECT_DOUBLE_EQ(tip->frame().midY(), 200);
  }

  advance(1400ms);  // 2.4 s for the first
  EXPECT_EQ(tips[0]->alphaValue(), 1);
  advance(100ms);  // 2.5 s: the fade starts
  ui::AnimationClock::shared().advance(0.15);
  EXPECT_GT(tips[0]->alphaValue(), 0);
  EXPECT_LT(tips[0]->alphaValue(), 1);
  ui::AnimationClock::shared().advance(0.2);
  QCoreApplication::processEvents();
  EXPECT_EQ(tips[0]->superview(), nullptr);
  EXPECT_EQ(tips[1]->superview(), &content);  // on its own timer

  advance(1000ms);
  ui::AnimationClock::shared().advance(0.4);
  QCoreApplication::processEvents();
  EXPECT_TRUE(viewsOf<NSPopNormalView>(content).empty());
}

TEST_F(ClockFixture, EachKindOfTipShowsItsOwnKindAndIcon) {
  using Show = void (*)(const std::string&);
  const struct {
    Show show;
    NSPopNormalView::TipType type;
    const char* icon;
  } kinds[] = {
      {[](const std::string& m) { GGPopView::showSuccessWithTip(m); }, NSPopNormalView::Success, "ic_success"},
      {[](const std::string& m) { GGPopView::showSuccessWithTip(m, nullptr); }, NSPopNormalView::Success, "ic_success"},
      {[](const std::string& m) { GGPopView::showWarningWithTip(m, nullptr); }, NSPopNormalView::Warning, "ic_warning"},
      {[](const std::string& m) { GGPopView::showFailWithTip(m, nullptr); }, NSPopNormalView::Fail, "ic_fail"},
      // Through the pop-up service the device layer raises tips by.
      {[](const std::string& m) { PopUpService::shared()->showSuccessWithTip(m); }, NSPopNormalView::Success,
       "ic_success"},
      {[](const std::string& m) { PopUpService::shared()->showWarningWithTip(m, nullptr); }, NSPopNormalView::Warning,
       "ic_warning"},
      {[](const std::string& m) { PopUpService::shared()->showFailWithTip(m, nullptr); }, NSPopNormalView::Fail,
       "ic_fail"},
  };
  const auto service = PopUpService::shared();
  GGPopView::installAsPopUpService();
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.icon);
    kind.show("message");
    const auto tips = viewsOf<NSPopNormalView>(*window->contentView());
    ASSERT_FALSE(tips.empty());
    EXPECT_EQ(tips.back()->type(), kind.type);
    EXPECT_EQ(tips.back()->iconImageView()->image(), ui::Image::imageNamed(kind.icon));
    ASSERT_NE(tips.back()->iconImageView()->image(), nullptr);
    tips.back()->removeFromSuperview();
  }
  PopUpService::setShared(service);
}

TEST_F(ClockFixture, ATipAskedForOnAnotherThreadIsMadeOnTheMainThread) {
  auto service = PopUpService::shared();
  GGPopView::installAsPopUpService();
  std::thread worker([] {
    PopUpService::shared()->showFailWithTip("Restore failed!", nullptr);
    PopUpService::shared()->showSuccessWithTip("Device data backup successful.");
  });
  worker.join();
  PopUpService::setShared(service);
  ASSERT_TRUE(runUntil([&] { return viewsOf<NSPopNormalView>(*window->contentView()).size() == 2; }));
  auto tips = viewsOf<NSPopNormalView>(*window->contentView());
  EXPECT_EQ(tips[0]->type(), NSPopNormalView::Fail);
  EXPECT_EQ(tips[0]->titleLabel()->stringValue(), "Restore failed!");
  EXPECT_EQ(tips[1]->type(), NSPopNormalView::Success);
}

struct Panel : ui::View, GGConfirmPanel {
  using ui::View::View;
};

TEST_F(ClockFixture, AnOverlaySwallowsClicksAndClosesOnOneUnlessToldNotTo) {
  auto& content = window->contentView();
  auto beneath = ui::View::create<ui::testing::RecordingView>(Rect(0, 0, 600, 400));
  content->addSubview(beneath);
  auto custom = ui::View::create<ui::View>(Rect(0, 0, 200, 100));
  std::weak_ptr<GGPopView> overlay = GGPopView::ShowCoustomView(custom, content);
  ASSERT_FALSE(overlay.expired());
  EXPECT_EQ(overlay.lock()->frame(), content->bounds());
  EXPECT_EQ(custom->frame(), Rect(200, 150, 200, 100));
  EXPECT_EQ(GGPopView::ShowCoustomView(nullptr, content), nullptr);

  // Still centred at its size after the window grows.
  window->setContentSize({800, 500});
  QCoreApplication::processEvents();
  EXPECT_EQ(custom->frame(), Rect(300, 200, 200, 100));

  ui::testing::Pointer p(*window);
  auto open = overlay.lock();
  ASSERT_TRUE(open);
  open->setDontTouchDissmiss(true);
  p.click({20, 20});
  EXPECT_TRUE(beneath->log.empty());
  EXPECT_EQ(GGPopView::HUDForView(content.get()), open);

  open->setDontTouchDissmiss(false);
  open.reset();  // only the window holds it now
  p.wait(2000);
  p.click({20, 20});
  EXPECT_TRUE(beneath->log.empty());
  EXPECT_EQ(GGPopView::HUDForView(content.get()), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(overlay.expired());  // freed once the event was over
}

TEST_F(ClockFixture, OverlaysCloseFromTheTopAndTheRegistryClosesOnlyConfirmPanels) {
  auto& content = window->contentView();
  auto loading = GGPopView::ShowCoustomView(ui::View::create<ui::View>(Rect(0, 0, 242, 100)), content);
  auto panel = GGPopView::ShowCoustomView(ui::View::create<Panel>(Rect(0, 0, 260, 150)), content);
  EXPECT_EQ(GGPopViewManager::shareManager().allPopViews(), (std::vector<std::shared_ptr<GGPopView>>{panel}));
  EXPECT_TRUE(GGPopViewManager::shareManager().hasPopInView(content.get()));

  GGPopView::hideViewInView(content.get());
  EXPECT_TRUE(panel->isFinished());
  EXPECT_TRUE(panel->subviews().empty());
  EXPECT_TRUE(GGPopViewManager::shareManager().allPopViews().empty());
  EXPECT_EQ(GGPopView::HUDForView(content.get()), loading);
  GGPopView::hideViewInView(content.get());
  EXPECT_EQ(GGPopView::HUDForView(content.get()), nullptr);
  GGPopView::hideViewInView(content.get());  // nothing open: nothing happens

  loading = GGPopView::ShowCoustomView(ui::View::create<ui::View>(Rect(0, 0, 242, 100)), content);
  panel = GGPopView::ShowCoustomView(ui::View::create<Panel>(Rect(0, 0, 260, 150)), content);
  std::thread([] { GGPopView::AOEHideAllView(); }).join();
  ASSERT_TRUE(runUntil([&] { return panel->superview() == nullptr; }));
  EXPECT_EQ(loading->superview(), content.get());
  EXPECT_TRUE(GGPopViewManager::shareManager().allPopViews().empty());
  GGPopView::hideViewInView(content.get());
}

TEST_F(ClockFixture, ASuccessTipInAnOverlayFadesWhileTheOverlayStays) {
  auto overlay = GGPopView::ShowCoustomView(ui::View::create<ui::View>(Rect(0, 0, 300, 200)), window->contentView());
  overlay->OBJShowSuccessTip("Done");
  ASSERT_EQ(overlay->subviews().size(), 1u);
  auto tip = overlay->subviews()[0];
  EXPECT_DOUBLE_EQ(tip->frame().midX(), 300);
  advance(1900ms);
  EXPECT_EQ(tip->superview(), overlay.get());
  advance(100ms);
  ui::AnimationClock::shared().advance(0.35);
  QCoreApplication::processEvents();
  EXPECT_EQ(tip->superview(), nullptr);
  EXPECT_EQ(overlay->superview(), window->contentView().get());
  EXPECT_FALSE(overlay->isFinished());
  overlay->hideAnimated(true);
}

TEST_F(ClockFixture, TheOverlaysTrackingAreaFollowsItsSizeWithoutPilingUp) {
  auto overlay = GGPopView::ShowCoustomView(ui::View::create<ui::View>(Rect(0, 0, 100, 100)), window->contentView());
  QCoreApplication::processEvents();
  ASSERT_EQ(overlay->trackingAreas().size(), 1u);
  window->setContentSize({700, 450});
  QCoreApplication::processEvents();
  window->setContentSize({650, 420});
  QCoreApplication::processEvents();
  ASSERT_EQ(overlay->trackingAreas().size(), 1u);
  EXPECT_EQ(overlay->trackingAreas()[0]->rect(), overlay->bounds());
  EXPECT_EQ(overlay->trackingAreas()[0]->options(), 0x81u);
  overlay->hideAnimated(true);
}

TEST(PackedColours, ComponentsAndAlphaComeFromTheirBytes) {
  const ui::Color accent = colorWithRGB(0x8AD6FF);
  EXPECT_NEAR(accent.redComponent() * 255, 138, 1e-4);
  EXPECT_NEAR(accent.greenComponent() * 255, 214, 1e-4);
  EXPECT_NEAR(accent.blueComponent() * 255, 255, 1e-4);
  EXPECT_EQ(accent.alphaComponent(), 1);
  const ui::Color half = colorWithRGBA(0x808AD6FF);
  EXPECT_NEAR(half.alphaComponent(), 128.0 / 255, 1e-6);
  EXPECT_NEAR(half.greenComponent() * 255, 214, 1e-4);
  EXPECT_NEAR(colorWithRGB(0xFFFFFF, 0.25).alphaComponent(), 0.25, 1e-7);

  auto v = ui::View::create<ui::View>(Rect(3, 4, 30, 15));
  v->setBoundsOrigin({10, 10});
  EXPECT_EQ(gg_width(*v), 30);
  EXPECT_EQ(gg_height(*v), 15);
  EXPECT_EQ(gg_centerPoint(*v), (ui::Point{18, 11.5}));
}

}  // namespace
