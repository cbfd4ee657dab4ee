// Statements that go: a view whose deciding constraints are uninstalled,
// remade or lose their other view takes the frame the remaining ones give
// (and keeps its own only when nothing is left to decide it); a view that
// leaves its superview takes its statements about the outside with it, and
// they come back when installed again.
#include <gtest/gtest.h>

#include <functional>

#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "layout/LCViewConstraint.h"
#include "layout/LayoutTestSupport.h"
#include "platform/ui/ConstraintEngine.h"

using namespace lctest;
using ui::Rect;

namespace {

struct Scene : FlippedScene {
  std::shared_ptr<ui::View> neighbour = addChild(content);
  std::shared_ptr<ui::View> view;
  // A label is 80 x 20 of content.
  explicit Scene(bool label) : view(label ? ui::View::create<Label>() : ui::View::create()) {
    content->addSubview(view);
    lc_makeConstraints(*neighbour, [&](LCConstraintMaker& make) {
      make.left().top().equalTo(content).offset(10);
      make.size().equalTo(LCWrapTypedValue(ui::Size{50, 50}));
    });
  }
};

}  // namespace

TEST(LCRemoval, AViewTakesTheFrameTheRemainingConstraintsGiveWhenTheDecidingOnesGo) {
  struct Case {
    const char* what;
    bool label;
    // States the view (deciding and remaining statements); returns what to
    // take away.
    std::function<std::function<void()>(Scene&)> state;
    Rect before, after;
  };
  const Case cases[] = {
      {"a required width uninstalled: the low-priority width", false,
       [](Scene& s) {
         LCConstraints made = lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) {
           make.width().equalTo(200);
           make.width().equalTo(40).priorityLow();
           make.left().top().equalTo(s.content).offset(100);
           make.height().equalTo(30);
         });
         return std::function<void()>([made] { made[0]->uninstall(); });
       },
       Rect(100, 100, 200, 30), Rect(100, 100, 40, 30)},
      {"a stretching width uninstalled: the size of its content", true,
       [](Scene& s) {
         LCConstraints made = lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) {
           make.left().top().equalTo(s.content).offset(100);
           make.width().equalTo(300);
         });
         return std::function<void()>([made] { made[1]->uninstall(); });
       },
       Rect(100, 100, 300, 20), Rect(100, 100, 80, 20)},
      {"remade with a new position", true,
       [](Scene& s) {
         lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) {
           make.left().top().equalTo(s.content).offset(100);
         });
         return std::function<void()>([&s] {
           lc_remakeConstraints(*s.view, [&](LCConstraintMaker& make) {
             make.left().equalTo(s.content).offset(7);
             make.top().equalTo(s.content).offset(9);
           });
         });
       },
       Rect(100, 100, 80, 20), Rect(7, 9, 80, 20)},
      {"the view it was placed against leaves the window: the low-priority place", true,
       [](Scene& s) {
         lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) {
           make.left().equalTo(lc_right(s.neighbour)).offset(5);
           make.top().equalTo(s.neighbour);
           make.left().top().equalTo(s.content).offset(150).priorityLow();
         });
         return std::function<void()>([&s] { s.neighbour->removeFromSuperview(); });
       },
       Rect(65, 10, 80, 20), Rect(150, 150, 80, 20)},
      {"nothing left to decide it: it stays where it was", false,
       [](Scene& s) {
         LCConstraints made = lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) {
           make.left().top().equalTo(s.content).offset(30);
           make.size().equalTo(LCWrapTypedValue(ui::Size{60, 60}));
         });
         return std::function<void()>([made] {
           for (auto& c : made) c->uninstall();
         });
       },
       Rect(30, 30, 60, 60), Rect(30, 30, 60, 60)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s(c.label);
    auto takeAway = c.state(s);
    s.layout();
    EXPECT_EQ(s.view->frame(), c.before);
    takeAway();
    s.layout();
    EXPECT_EQ(s.view->frame(), c.after);
    EXPECT_EQ(ui::ConstraintEngine::shared()->stats(*s.content).refused, 0u);
  }
}

TEST(LCRemoval, AViewLeavingItsSuperviewTakesItsStatementsAboutTheOutsideAlong) {
  Scene s(true);
  auto inner = addChild(s.view);
  LCConstraints outside = lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) {
    make.left().equalTo(lc_right(s.neighbour)).offset(5);
    make.top().equalTo(s.content).offset(20);
  });
  lc_makeConstraints(*s.view, [&](LCConstraintMaker& make) { make.width().equalTo(90); });
  lc_makeConstraints(*inner, [&](LCConstraintMaker& make) { make.edges().equalTo(s.view).inset(4); });
  // The view's statements that hold now (the language keeps the others).
  auto holding = [](ui::View& v) {
    size_t n = 0;
    for (auto& c : LCViewConstraint::installedConstraintsForView(v)) n += c->hasBeenInstalled();
    return n;
  };
  s.layout();
  EXPECT_EQ(s.view->frame(), Rect(65, 20, 90, 20));
  EXPECT_EQ(holding(*s.view), 3u);

  s.view->removeFromSuperview();
  EXPECT_EQ(holding(*s.view), 1u);  // its width
  EXPECT_EQ(holding(*inner), 4u);   // held by the view itself
  for (auto& c : s.content->constraints())
    EXPECT_TRUE(c->firstItem() != s.view && c->secondItem() != s.view) << c->description();

  // Back in, the same statements installed again hold as before.
  s.content->addSubview(s.view);
  for (auto& c : outside) c->install();
  s.layout();
  EXPECT_EQ(holding(*s.view), 3u);
  EXPECT_EQ(s.view->frame(), Rect(65, 20, 90, 20));
  EXPECT_EQ(inner->frame(), Rect(4, 4, 82, 12));
}
