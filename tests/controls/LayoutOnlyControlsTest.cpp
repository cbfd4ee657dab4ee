// Controls offered to layouts only: the fixed "NO"/"YES" question panel
// (its answers, its look without a message, its closing with the other
// panels), the arrow button's reports, the row without a visible selection
// and the two plain views.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "controls/ControlsTestSupport.h"
#include "controls/EffectArrowButton.h"
#include "controls/GEProgressView.h"
#include "controls/NormalTableRowView.h"
#include "controls/SettingResetFixedView.h"
#include "platform/ui/GraphicsContext.h"

namespace {

using controls_test::runUntil;
using ui::Rect;

TEST(SettingResetFixedView, EachButtonAnswersWithItsOwnBlock) {
  controls_test::WindowFixture w(400, 300);
  auto panel = SettingResetFixedView::initWithTitle("The device will be reset. Please make a data backup");
  panel->configFrame();
  EXPECT_EQ(panel->frame().width(), 280);
  EXPECT_GT(panel->frame().height(), 120 + 20);  // two lines at 280
  EXPECT_EQ(panel->titleImageView(), nullptr);
  EXPECT_EQ(panel->messageRect().maxY(), panel->frame().height() - 20);
  EXPECT_EQ(panel->confirmButton()->frame(), Rect(280 - 25 - 68, 25, 68, 28));

  std::vector<std::string> answers;
  panel->ChooseCancelAction = [&](SettingResetFixedView&) { answers.push_back("NO"); };
  panel->ChooseConfirmAction = [&](SettingResetFixedView&) { answers.push_back("YES"); };
  auto overlay = GGPopView::ShowCoustomView(panel, w.window->contentView());
  ASSERT_TRUE(overlay);
  w.window->layoutIfNeeded();
  const Rect panelFrame = panel->frame();
  ui::testing::Pointer p(*w.window);
  const auto click = [&](const std::shared_ptr<GGCoustomButton>& b) {
    const Rect f = b->frame();
    p.click({panelFrame.minX() + f.midX(), panelFrame.minY() + f.midY()});
    p.wait(1000);
  };
  click(panel->cancelButton());
  click(panel->confirmButton());
  EXPECT_EQ(answers, (std::vector<std::string>{"NO", "YES"}));
  // A click on the panel itself keeps the overlay; closing all panels takes it.
  p.click({panelFrame.midX(), panelFrame.maxY() - 5});
  EXPECT_FALSE(overlay->isFinished());
  GGPopView::AOEHideAllView();
  EXPECT_TRUE(runUntil([&] { return overlay->superview() == nullptr; }));

  // Without blocks a press does nothing.
  panel->ChooseCancelAction = nullptr;
  panel->cancelIt();
  EXPECT_EQ(answers.size(), 2u);
}

TEST(SettingResetFixedView, WithoutAMessageShowsTheCaptionPicture) {
  auto panel = SettingResetFixedView::initWithTitle("", Rect(0, 0, 300, 150));
  ASSERT_NE(panel->titleImageView(), nullptr);
  EXPECT_EQ(panel->titleImageView()->frame(), Rect(79.5, 100, 141, 25));
  ASSERT_NE(panel->titleImageView()->image(), nullptr);
  panel->setFrameSize({400, 150});  // buttons and picture follow the size
  EXPECT_EQ(panel->confirmButton()->frame().maxX(), 375);
  EXPECT_EQ(panel->titleImageView()->frame().midX(), 200);
}

TEST(EffectArrowButton, ReportsEnterPressAndReleaseOnly) {
  controls_test::WindowFixture w(200, 100);
  auto b = ui::View::create<EffectArrowButton>(ui::FromLayout{}, Rect(10, 10, 40, 30));
  w.window->contentView()->addSubview(b);
  int actions = 0;
  b->setAction([&](ui::Control&) { ++actions; });
  std::vector<long> kinds;
  b->arrowMouseAction = [&](long kind, ui::Event&) { kinds.push_back(kind); };
  ui::testing::Pointer p(*w.window);
  p.move({20, 20});
  p.click({20, 20});
  p.move({150, 80});
  EXPECT_EQ(kinds, (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(actions, 0);
  b->setFrameSize({60, 30});
  EXPECT_EQ(b->trackingAreas().size(), 1u);
  EXPECT_EQ(b->trackingAreas().front()->rect(), b->bounds());

  auto coded = ui::View::create<EffectArrowButton>(Rect(100, 10, 40, 30));
  w.window->contentView()->addSubview(coded);
  EXPECT_TRUE(coded->trackingAreas().empty());
}

TEST(PlainLayoutViews, SelectionHiddenAndFillsOnlyWithAColour) {
  QImage canvas(40, 20, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter painter(&canvas);
    ui::GraphicsContext ctx(painter, Rect(0, 0, 40, 20), false);
    auto row = ui::View::create<NormalTableRowView>(Rect(0, 0, 40, 20));
    row->drawSelectionInRect(ctx, row->bounds());
    auto plain = ui::View::create<GGNormalView>(Rect(0, 0, 40, 20));
    plain->drawRect(ctx, plain->bounds());
  }
  EXPECT_EQ(canvas.pixelColor(20, 10).alpha(), 0);
  {
    QPainter painter(&canvas);
    ui::GraphicsContext ctx(painter, Rect(0, 0, 40, 20), false);
    auto filled = ui::View::create<GGNormalView>(Rect(0, 0, 40, 20));
    filled->setBackBgColor(ui::Color::redColor());
    filled->drawRect(ctx, filled->bounds());
  }
  EXPECT_EQ(canvas.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(canvas.pixelColor(39, 19), QColor(Qt::red));

  auto progress = ui::View::create<GEProgressView>();
  progress->setProgress(5.0);
  EXPECT_EQ(progress->progress(), 5.0);
}

}  // namespace
