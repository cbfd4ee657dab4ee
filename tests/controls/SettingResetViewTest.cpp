// The question panel: its size from the message, where its buttons sit for
// one and two titles, the pressed button reaching the action block with its
// title, clicks on the panel itself never closing its overlay while the dimmed
// area does, and closing every open panel at once.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "controls/ControlsTestSupport.h"
#include "controls/GGFrame.h"
#include "controls/SettingResetView.h"

namespace {

using ui::Rect;

TEST(SettingResetView, IsSizedToItsMessageWithItsButtonsInPlace) {
  const ui::Font font = ui::Font::systemFontOfSize(18);
  auto small = SettingResetView::initWithTitle("Delete IR: abc ?", {"NO", "YES"}, nullptr);
  EXPECT_DOUBLE_EQ(gg_width(*small), 230);
  const double line = SettingResetView::heightForString("Delete IR: abc ?", font, 200);
  EXPECT_DOUBLE_EQ(gg_height(*small), double(float(line + 8)) + 108);
  ASSERT_EQ(small->buttons().size(), 2u);
  EXPECT_EQ(small->buttons()[0]->frame(), Rect(28, 28, 68, 28));
  EXPECT_EQ(small->buttons()[1]->frame(), Rect(230 - 28 - 68, 28, 68, 28));
  EXPECT_EQ(small->buttons()[1]->defaultTitle(), "YES");
  EXPECT_EQ(small->buttons()[1]->flagIndex, 2);
  EXPECT_DOUBLE_EQ(gg_y(*small->titleLabel()) + gg_height(*small->titleLabel()) + 28, gg_height(*small));

  const std::string longText = "The current preset data has been modified,  would you like to save it?";
  auto big = SettingResetView::initWithTitle(longText, {"NO", "SAVE"}, nullptr);
  EXPECT_DOUBLE_EQ(gg_width(*big), 290);
  EXPECT_GT(gg_height(*big), gg_height(*small));  // wrapped at 260
  EXPECT_DOUBLE_EQ(gg_width(*big->titleLabel()), 260);

  auto one = SettingResetView::initWithTitle("Done", {"YES"}, nullptr);
  ASSERT_EQ(one->buttons().size(), 1u);
  EXPECT_EQ(one->buttons()[0]->frame(), Rect((230 - 88) / 2.0, 20, 88, 34));
}

TEST(SettingResetView, AnswersReachTheBlockAndOnlyTheDimmedAreaCloses) {
  controls_test::WindowFixture w(400, 300);
  auto content = w.window->contentView();
  std::vector<std::pair<std::string, int64_t>> answers;
  auto panel = SettingResetView::initWithTitle("Whether to import preset data?", {"NO", "YES"},
                                               [&](GGCoustomButton& b) {
                                                 answers.emplace_back(b.defaultTitle(), b.flagIndex);
                                                 GGPopView::hideViewInView(content.get());
                                               });
  auto overlay = GGPopView::ShowCoustomView(panel, content);
  ASSERT_EQ(GGPopViewManager::shareManager().allPopViews().size(), 1u);
  const ui::Point origin = panel->frame().origin;
  ui::testing::Pointer p(*w.window);

  // The panel's background and its label swallow their clicks.
  p.click(origin + ui::Point{10, gg_height(*panel) - 10});
  p.wait(2000);
  p.click(panel->titleLabel()->frame().origin + origin + ui::Point{20, 5});
  EXPECT_EQ(GGPopView::HUDForView(content.get()), overlay);
  EXPECT_TRUE(answers.empty());

  // The second button answers once and closes the overlay from its block.
  p.wait(2000);
  p.click(origin + panel->buttons()[1]->frame().origin + ui::Point{30, 14});
  EXPECT_EQ(answers, (std::vector<std::pair<std::string, int64_t>>{{"YES", 2}}));
  EXPECT_EQ(GGPopView::HUDForView(content.get()), nullptr);
  EXPECT_TRUE(GGPopViewManager::shareManager().allPopViews().empty());

  // Another panel: the dimmed area closes it unanswered.
  auto second = SettingResetView::initWithTitle("Delete IR: abc ?", {"NO", "YES"}, nullptr);
  auto overlay2 = GGPopView::ShowCoustomView(second, content);
  p.wait(2000);
  p.click({5, 5});
  EXPECT_EQ(GGPopView::HUDForView(content.get()), nullptr);
  EXPECT_TRUE(GGPopViewManager::shareManager().allPopViews().empty());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(SettingResetView, WithoutOneOrTwoTitlesThePanelHasNoButtonsAndClosesWithTheOthers) {
  controls_test::WindowFixture w(400, 300);
  auto content = w.window->contentView();
  const auto two = SettingResetView::initWithTitle("Delete IR: abc ?", {"NO", "YES"}, nullptr);
  for (const auto& titles : {std::vector<std::string>{}, std::vector<std::string>{"NO", "YES", "SAVE"}}) {
    SCOPED_TRACE(titles.size());
    auto panel = SettingResetView::initWithTitle("Delete IR: abc ?", titles, nullptr);
    EXPECT_TRUE(panel->buttons().empty());
    EXPECT_EQ(panel->frame(), two->frame());  // sized by its message alone
    auto overlay = GGPopView::ShowCoustomView(panel, content);
    overlay->setDontTouchDissmiss(true);
    GGPopView::AOEHideAllView();
    EXPECT_TRUE(controls_test::runUntil([&] { return !overlay->superview(); }));
  }
}

TEST(SettingResetView, EveryOpenPanelClosesAtOnce) {
  controls_test::WindowFixture w(400, 300);
  auto content = w.window->contentView();
  auto a = GGPopView::ShowCoustomView(SettingResetView::initWithTitle("a", {"NO", "YES"}, nullptr), content);
  auto b = GGPopView::ShowCoustomView(SettingResetView::initWithTitle("b", {"NO", "SAVE"}, nullptr), content);
  GGPopView::AOEHideAllView();
  ASSERT_TRUE(controls_test::runUntil([&] { return !a->superview() && !b->superview(); }));
  EXPECT_EQ(GGPopView::HUDForView(content.get()), nullptr);
}

}  // namespace
