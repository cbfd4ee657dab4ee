// The spinner (sweep, fade-out, one timer, no ticking out of a window), the
// activity panel's sizes, the wide loading panel (texts at the ends of the
// range, from any thread, the variant with Cancel), the drop-down box
// (list height, picking, colours, bad indexes, the arrow's place) and the
// pop-up service's extra overlays.
#include <gtest/gtest.h>

#include <thread>

#include "controls/ControlsTestSupport.h"
#include "controls/DropCombox.h"
#include "controls/GGPopView.h"
#include "controls/KKActivityIndicator.h"
#include "controls/ZrTableView.h"
#include "controls/ZrLoadingView.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Timer.h"

namespace {

using controls_test::runUntil;
using ui::Rect;

// Runs the event loop until a task queued on the main queue now has run, and
// so every task queued there before it.
bool passTheMainQueue() {
  auto ran = std::make_shared<bool>(false);
  dispatch::Queue::main()->async([ran] { *ran = true; });
  return runUntil([&] { return *ran; });
}

TEST(KKActivityIndicator, TheHeadSweepsClockwiseAndAStopFadesOutBeforeEnding) {
  controls_test::WindowFixture w(100, 100);
  auto spin = ui::View::create<KKActivityIndicator>(Rect(0, 0, 40, 60));
  w.window->contentView()->addSubview(spin);
  const size_t before = ui::Timer::liveCount();
  spin->startAnimation();
  spin->startAnimation();
  EXPECT_EQ(ui::Timer::liveCount(), before + 1);
  std::vector<int> heads;
  for (int i = 0; i < 3; ++i) {
    spin->updateFrame();
    heads.push_back(spin->position());
  }
  EXPECT_EQ(heads, (std::vector<int>{0, 11, 10}));
  EXPECT_EQ(spin->finColors()[10].alphaComponent(), 1);
  EXPECT_NEAR(spin->finColors()[11].alphaComponent(), 0.85, 1e-12);

  // A stop lights no new head; the last one needs twelve ticks to fade.
  spin->stopAnimation();
  int ticks = 0;
  while (spin->hasTimer() && ticks < 50) {
    spin->updateFrame();
    ++ticks;
  }
  EXPECT_EQ(ticks, 12);
  EXPECT_FALSE(spin->isAnimating());
  for (auto& c : spin->finColors()) EXPECT_NEAR(c.alphaComponent(), 0.15, 0.01);

  // A start during the fade puts the head on spoke 0 at the first tick.
  spin->startAnimation();
  spin->stopAnimation();
  spin->startAnimation();
  EXPECT_FALSE(spin->isFadingOut());
  spin->updateFrame();
  EXPECT_EQ(spin->position(), 0);
}

TEST(KKActivityIndicator, OnlyTicksInAWindowAndKeepsItsTailInANewColour) {
  auto spin = ui::View::create<KKActivityIndicator>(Rect(0, 0, 40, 40));
  spin->startAnimation();
  EXPECT_FALSE(spin->hasTimer());  // nowhere to be seen yet
  {
    controls_test::WindowFixture w(100, 100);
    w.window->contentView()->addSubview(spin);
    EXPECT_TRUE(spin->hasTimer());
    EXPECT_TRUE(runUntil([&] { return spin->position() != 1; }));  // the timer ticks
    spin->removeFromSuperview();
    EXPECT_FALSE(spin->hasTimer());
    EXPECT_TRUE(spin->isAnimating());
  }
  spin->updateFrame();
  spin->updateFrame();
  std::array<double, 12> alphas{};
  for (size_t i = 0; i < 12; ++i) alphas[i] = spin->finColors()[i].alphaComponent();
  spin->setColor(ui::Color::redColor());
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(spin->finColors()[i].alphaComponent(), alphas[i]);
    EXPECT_EQ(spin->finColors()[i].redComponent(), 1);
  }
}

TEST(GGPopActivityView, SizesFollowTheTip) {
  auto empty = GGPopActivityView::initWithTip("", ui::Color::whiteColor(), std::nullopt);
  EXPECT_EQ(empty->frame().size, (ui::Size{130, 90}));
  EXPECT_TRUE(empty->titleLabel()->isHidden());
  EXPECT_EQ(empty->layer().backgroundColor(), ui::Color::blackColor().withAlphaComponent(0.8));
  EXPECT_EQ(empty->activityView()->frame(), Rect(40, 20, 50, 50));

  auto narrow = GGPopActivityView::initWithTip("Wait", ui::Color::whiteColor(), ui::Color::grayColor());
  EXPECT_EQ(narrow->frame().width(), 130);
  EXPECT_GT(narrow->frame().height(), 100);
  EXPECT_EQ(narrow->layer().backgroundColor(), ui::Color::grayColor());

  const std::string longTip = "Reading every preset of the unit, one bank after the other, please wait";
  auto wide = GGPopActivityView::initWithTip(longTip, ui::Color::whiteColor(), std::nullopt);
  EXPECT_EQ(wide->frame().width(), 250);
  EXPECT_GT(wide->frame().height(), narrow->frame().height());
  EXPECT_EQ(wide->titleLabel()->frame().width(), 220);
}

TEST(ZrLoadingView, TextsAtTheEndsOfTheRange) {
  EXPECT_EQ(ZrLoadingView::statusText(0.5, ""), "Loading...");
  EXPECT_EQ(ZrLoadingView::statusText(0.98, "Reading"), "Reading");
  EXPECT_EQ(ZrLoadingView::statusText(0.99, "Reading"), "Success!");
  EXPECT_EQ(ZrLoadingView::percentText(0.98), "98%");
  EXPECT_EQ(ZrLoadingView::percentText(1.0), "100%");
  EXPECT_EQ(ZrLoadingView::percentText(1.5), "150%");
  EXPECT_EQ(ZrLoadingView::percentText(0), "0%");
}

TEST(ZrLoadingView, ProgressFromAnyThreadShowsTheLatestValue) {
  auto v = ZrLoadingView::initWithType(0);
  v->setLoadingTitle("Reading");  // before the first update runs
  EXPECT_TRUE(runUntil([&] { return v->progressLabel()->stringValue() == "0%"; }));
  EXPECT_EQ(v->statusLabel()->stringValue(), "Reading");
  std::thread worker([&] {
    v->setProgress(0.2);
    v->setProgress(0.5);
  });
  worker.join();
  EXPECT_TRUE(runUntil([&] { return v->progressLabel()->stringValue() == "50%"; }));
  EXPECT_DOUBLE_EQ(v->maskView()->progress(), 0.5);
  v->setProgress(1.0);
  EXPECT_TRUE(runUntil([&] { return v->statusLabel()->stringValue() == "Success!"; }));
  v->setProgress(0.3);  // back to loading
  EXPECT_TRUE(runUntil([&] { return v->statusLabel()->stringValue() == "Reading"; }));

  // Status above the fill, percentage below; the fill ends 15 before the edge.
  const Rect fill = v->maskView()->frame();
  EXPECT_EQ(fill, Rect(23, 37, 490, 26));
  EXPECT_EQ(v->statusLabel()->frame().minY(), fill.maxY() + 10);
  EXPECT_EQ(v->progressLabel()->frame().maxY(), fill.minY() - 10);
  EXPECT_EQ(v->trackRect(), Rect(15, 37, 498, 26));
  EXPECT_EQ(v->cancelButton(), nullptr);
}

TEST(ZrLoadingView, TheCancelVariantShowsNoStatus) {
  auto v = ZrLoadingView::initWithType(1);
  ASSERT_NE(v->cancelButton(), nullptr);
  EXPECT_EQ(v->cancelButton()->title(), "Cancel");
  const Rect fill = v->maskView()->frame();
  EXPECT_EQ(v->progressLabel()->frame().minY(), fill.maxY() + 10);
  EXPECT_EQ(v->cancelButton()->frame(), Rect(fill.midX() - 45, fill.minY() - 50, 90, 30));
  EXPECT_TRUE(v->statusLabel()->isHidden());
}

TEST(GGAngleButton, TheBaseSitsOnTheGivenSpaceOrInTheMiddle) {
  auto b = ui::View::create<GGAngleButton>(Rect(0, 0, 20, 20));
  b->setDefaultHeight(6);
  EXPECT_EQ(b->baseY(), 7);
  b->setTopSpace(2);
  EXPECT_EQ(b->baseY(), 12);
  b->setTopSpace(GGAngleButton::kUnsetSpace);
  b->setBottomSpace(3);
  EXPECT_EQ(b->baseY(), 3);
  b->setTypeIndex(2);
  EXPECT_EQ(b->type(), 2u);
  auto enter = ui::Event(ui::EventType::MouseEntered, {1, 1}, nullptr);
  auto exit = ui::Event(ui::EventType::MouseExited, {1, 1}, nullptr);
  b->mouseEntered(enter);
  b->setIsPress(true);
  b->mouseExited(exit);
  EXPECT_FALSE(b->isHorver());
  EXPECT_FALSE(b->isPress());
}

struct ComboFixture : ::testing::Test, controls_test::WindowFixture {
  ComboFixture() : controls_test::WindowFixture(300, 300) {
    box = ui::View::create<DropCombox>(Rect(20, 240, 160, 24));
    window->contentView()->addSubview(box);
  }
  std::shared_ptr<DropCombox> box;
};

TEST_F(ComboFixture, BadIndexesAndEmptyListsShowNothingWrong) {
  EXPECT_EQ(box->textLabel()->stringValue(), "item");
  EXPECT_EQ(box->angleButton()->frame(), Rect(136, 0, 24, 24));
  box->setItemArray({});
  EXPECT_EQ(box->textLabel()->stringValue(), "");
  box->setIndexOfSelectedItem(3);
  EXPECT_EQ(box->indexOfSelectedItem(), 0);
  box->setItemArray({"A", "B", "C"});
  box->setIndexOfSelectedItem(7);
  EXPECT_EQ(box->indexOfSelectedItem(), 0);
  EXPECT_EQ(box->textLabel()->stringValue(), "A");
  box->setFrameSize({200, 30});  // field and arrow follow
  EXPECT_EQ(box->angleButton()->frame(), Rect(170, 0, 30, 30));
  EXPECT_EQ(box->textLabel()->frame().width(), 170);
}

TEST_F(ComboFixture, AClickOpensTheListBelowAndAPickActsOnceAfterwards) {
  box->setItemArray({"One", "Two", "Three", "Four", "Five"});
  EXPECT_EQ(box->listHeight(), 100);
  auto target = ui::View::create<ui::View>();
  box->setTarget(target);
  std::vector<long> picked;
  box->setAction([&](ui::Control& c) { picked.push_back(static_cast<DropCombox&>(c).indexOfSelectedItem()); });
  ui::testing::Pointer p(*window);
  p.click({170, 250});  // on the (disabled) arrow: reaches the box
  ASSERT_TRUE(box->isShow());
  ASSERT_TRUE(box->showPopover() && box->showPopover()->isShown());
  EXPECT_EQ(box->showPopover()->contentSize(), (ui::Size{160, 100}));
  EXPECT_EQ(box->tableView()->numberOfRows(), 5);

  box->shouldSelectRow(*box->tableView(), 2);
  EXPECT_FALSE(box->isShow());
  EXPECT_EQ(box->textLabel()->stringValue(), "Three");
  EXPECT_EQ(box->indexOfSelectedItem(), 2);
  EXPECT_TRUE(picked.empty());  // queued, not yet sent
  EXPECT_TRUE(runUntil([&] { return !picked.empty(); }));
  ASSERT_TRUE(passTheMainQueue());  // a second send, queued with the first, would have come
  EXPECT_EQ(picked, (std::vector<long>{2}));

  // Twelve items: ten rows shown.
  box->setItemArray(std::vector<std::string>(12, "x"));
  EXPECT_EQ(box->listHeight(), 200);
  p.click({60, 250});
  ASSERT_TRUE(box->isShow());
  EXPECT_EQ(box->showPopover()->contentSize().height, 200);
  box->closeList();
  EXPECT_FALSE(box->showPopover()->isShown());
}

TEST(DropCombox, AClickOnABoxInAnOverlayLeavesTheOverlayOpen) {
  controls_test::WindowFixture w(300, 300);
  auto panel = ui::View::create<ui::View>(Rect(0, 0, 200, 100));
  auto box = ui::View::create<DropCombox>(Rect(20, 40, 160, 24));
  panel->addSubview(box);
  auto overlay = GGPopView::ShowCoustomView(panel, w.window->contentView());
  ASSERT_TRUE(overlay);
  const ui::Point onBox{50 + 60, 100 + 52};  // the panel is centred
  ui::testing::Pointer p(*w.window);
  p.click(onBox);
  EXPECT_TRUE(box->isShow());
  box->closeList();
  // The release and drags of a press the box took go no further.
  ui::Event up(ui::EventType::LeftMouseUp, onBox, w.window.get());
  box->mouseUp(up);
  ui::Event drag(ui::EventType::LeftMouseDragged, onBox, w.window.get());
  box->mouseDragged(drag);
  EXPECT_FALSE(overlay->isFinished());
  p.wait(1000);
  p.click({5, 5});  // the dimmed area still closes it
  EXPECT_TRUE(overlay->isFinished());
}

TEST_F(ComboFixture, ItemColoursApplyOnlyWhenThereIsOnePerItem) {
  box->setItemArray({"A", "B", "C"});
  box->itemColorArray = {ui::Color::redColor(), ui::Color::greenColor()};
  box->setIndexOfSelectedItem(1);
  EXPECT_FALSE(box->textLabel()->layer().backgroundColor().has_value());
  auto tableView = ui::View::create<ui::TableView>(Rect(0, 0, 160, 100));
  auto& table = *tableView;
  auto plainRow = std::dynamic_pointer_cast<ZrTabelCellView>(box->viewForTableColumn(table, nullptr, 1));
  ASSERT_TRUE(plainRow);
  EXPECT_TRUE(plainRow->isEnterColor);
  box->itemColorArray.push_back(ui::Color::blueColor());
  box->setIndexOfSelectedItem(2);
  EXPECT_EQ(box->textLabel()->layer().backgroundColor(), ui::Color::blueColor());
  // Rows take their item's colour and keep it under the pointer.
  auto row = std::dynamic_pointer_cast<ZrTabelCellView>(box->viewForTableColumn(table, nullptr, 1));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->titleLabel()->stringValue(), "B");
  EXPECT_EQ(row->layer().backgroundColor(), ui::Color::greenColor());
  EXPECT_FALSE(row->isEnterColor);
  EXPECT_EQ(box->viewForTableColumn(table, nullptr, 3), nullptr);
  // No target: a pick sends nothing.
  int sent = 0;
  box->setAction([&](ui::Control&) { ++sent; });
  box->shouldSelectRow(*ui::View::create<ui::TableView>(), 0);
  ASSERT_TRUE(passTheMainQueue());  // a send is queued at the pick
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(box->textLabel()->layer().backgroundColor(), ui::Color::redColor());
}

TEST(GGPopViewExtra, OverlaysOfTheExtraKinds) {
  controls_test::WindowFixture w(600, 400);
  auto content = w.window->contentView();
  auto loading = GGPopView::ShowLoadingView(nullptr, content);
  ASSERT_TRUE(loading);
  EXPECT_TRUE(loading->dontTouchDissmiss());
  ASSERT_EQ(loading->subviews().size(), 1u);
  EXPECT_EQ(loading->subviews()[0]->frame().size, (ui::Size{528, 100}));
  EXPECT_EQ(GGPopView::HUDForView(content.get()), loading);
  ui::testing::Pointer p(*w.window);
  p.click({5, 5});
  EXPECT_FALSE(loading->isFinished());
  GGPopView::hideViewInView(content.get());

  EXPECT_EQ(GGPopView::showActivityWithTip("Wait", nullptr), nullptr);
  auto activity = GGPopView::showActivityWithTip("Wait", content);
  ASSERT_TRUE(activity);
  EXPECT_TRUE(activity->dontTouchDissmiss());
  GGPopView::hideViewInView(content.get());

  auto bare = GGPopView::configPopView();
  EXPECT_EQ(bare->superview(), nullptr);
  EXPECT_EQ(bare->frame(), Rect());

  // Beside a reference: under it when there is room, on its side of the window.
  auto inner = ui::View::create<ui::View>(Rect(50, 50, 500, 300));
  content->addSubview(inner);
  auto reference = ui::View::create<ui::View>(Rect(350, 250, 100, 20));
  inner->addSubview(reference);
  auto custom = ui::View::create<ui::View>(Rect(0, 0, 120, 80));
  EXPECT_EQ(GGPopView::ShowCoustomView(custom, inner, reference), nullptr);
  ASSERT_NE(custom->superview(), nullptr);
  EXPECT_EQ(custom->superview()->superview(), content.get());
  EXPECT_EQ(custom->frame(), Rect(500 - 120, 300 - 80, 120, 80));
  EXPECT_EQ(GGPopView::ShowCoustomView(nullptr, inner, reference), nullptr);
}

}  // namespace
