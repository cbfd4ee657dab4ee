// Single statements: what install() makes and where it is held, constants by
// attribute, relations to views, attributes, numbers and arrays, update of a
// similar constraint, uninstall and reinstall, the abstract grammar.
#include <gtest/gtest.h>

#include <stdexcept>

#include "layout/LCCompositeConstraint.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "layout/LCViewConstraint.h"
#include "layout/LayoutTestSupport.h"
#include "platform/ui/Animation.h"

using namespace lctest;
using ui::LayoutAttribute;
using ui::LayoutRelation;

namespace {

struct Tree : FlippedScene {
  std::shared_ptr<ui::View> a = addChild(content);
  std::shared_ptr<ui::View> b = addChild(content);
};

std::shared_ptr<LCViewConstraint> single(const std::shared_ptr<ui::View>& v, LayoutAttribute a) {
  return LCViewConstraint::make(LCViewAttribute(v.get(), a));
}

}  // namespace

TEST(LCViewConstraint, InstallChoosesItemsAndTheHoldingView) {
  Tree t;
  t.a->setTranslatesAutoresizingMaskIntoConstraints(false);
  t.b->setTranslatesAutoresizingMaskIntoConstraints(false);
  // A size given only a number: no second item, held by the view itself.
  auto w = single(t.a, LayoutAttribute::Width);
  LCConstraintRef(w).equalTo(100);
  w->install();
  ASSERT_NE(w->layoutConstraint(), nullptr);
  EXPECT_EQ(w->layoutConstraint()->secondItem(), nullptr);
  EXPECT_EQ(w->layoutConstraint()->secondAttribute(), LayoutAttribute::NotAnAttribute);
  EXPECT_EQ(w->layoutConstraint()->constant(), 100);
  EXPECT_EQ(w->installedView(), t.a);
  EXPECT_TRUE(w->layoutConstraint()->isActive());

  // A position given only a number: the superview's same attribute.
  auto l = single(t.a, LayoutAttribute::Left);
  LCConstraintRef(l).equalTo(10);
  l->install();
  EXPECT_EQ(l->layoutConstraint()->secondItem(), t.content);
  EXPECT_EQ(l->layoutConstraint()->secondAttribute(), LayoutAttribute::Left);
  EXPECT_EQ(l->installedView(), t.content);

  // Equal to a sibling: the sibling's same attribute, held by the parent.
  auto s = single(t.a, LayoutAttribute::Top);
  LCConstraintRef(s).greaterThanOrEqualTo(t.b);
  s->install();
  EXPECT_EQ(s->layoutConstraint()->secondItem(), t.b);
  EXPECT_EQ(s->layoutConstraint()->secondAttribute(), LayoutAttribute::Top);
  EXPECT_EQ(s->layoutConstraint()->relation(), LayoutRelation::GreaterThanOrEqual);
  EXPECT_EQ(s->installedView(), t.content);

  // A view attribute is taken as it is; priority and key reach the platform.
  auto r = single(t.b, LayoutAttribute::Left);
  LCConstraintRef(r).lessThanOrEqualTo(lc_right(t.a)).offset(8).priorityMedium().key("gap");
  r->install();
  EXPECT_EQ(r->layoutConstraint()->secondAttribute(), LayoutAttribute::Right);
  EXPECT_EQ(r->layoutConstraint()->relation(), LayoutRelation::LessThanOrEqual);
  EXPECT_EQ(r->layoutConstraint()->priority(), 501);
  EXPECT_EQ(r->layoutConstraint()->lc_key(), "gap");
  EXPECT_EQ(r->layoutConstraint()->constant(), 8);
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*t.a).size(), 3u);
  EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*t.b).size(), 1u);

  // Solved: the frames the statements describe.
  LCConstraintRef(single(t.a, LayoutAttribute::Height)).equalTo(20).install();
  LCConstraintRef(single(t.b, LayoutAttribute::Top)).equalTo(50).install();
  t.window->layoutIfNeeded();
  EXPECT_EQ(t.a->frame(), ui::Rect(10, 50, 100, 20));
}

TEST(LCViewConstraint, ConstantsFollowTheFirstAttribute) {
  auto v = ui::View::create();
  auto constantOf = [&](LayoutAttribute a, auto set) {
    auto c = single(v, a);
    set(LCConstraintRef(c));
    return c->layoutConstant();
  };
  auto insets = [](LCConstraintRef c) { c.insets({1, 2, 3, 4}); };
  EXPECT_EQ(constantOf(LayoutAttribute::Left, insets), 2);
  EXPECT_EQ(constantOf(LayoutAttribute::Leading, insets), 2);
  EXPECT_EQ(constantOf(LayoutAttribute::Right, insets), -4);
  EXPECT_EQ(constantOf(LayoutAttribute::Trailing, insets), -4);
  EXPECT_EQ(constantOf(LayoutAttribute::Top, insets), 1);
  EXPECT_EQ(constantOf(LayoutAttribute::Bottom, insets), -3);
  EXPECT_EQ(constantOf(LayoutAttribute::Width, insets), 0);
  EXPECT_EQ(constantOf(LayoutAttribute::CenterX, insets), 0);
  auto inset = [](LCConstraintRef c) { c.inset(10); };
  EXPECT_EQ(constantOf(LayoutAttribute::Right, inset), -10);
  EXPECT_EQ(constantOf(LayoutAttribute::Bottom, inset), -10);
  EXPECT_EQ(constantOf(LayoutAttribute::Top, inset), 10);
  EXPECT_EQ(constantOf(LayoutAttribute::Height, inset), 0);
  auto size = [](LCConstraintRef c) { c.sizeOffset({7, 9}); };
  EXPECT_EQ(constantOf(LayoutAttribute::Width, size), 7);
  EXPECT_EQ(constantOf(LayoutAttribute::Height, size), 9);
  EXPECT_EQ(constantOf(LayoutAttribute::Left, size), 0);
  auto center = [](LCConstraintRef c) { c.centerOffset({5, -6}); };
  EXPECT_EQ(constantOf(LayoutAttribute::CenterX, center), 5);
  EXPECT_EQ(constantOf(LayoutAttribute::CenterY, center), -6);
  EXPECT_EQ(constantOf(LayoutAttribute::Baseline, center), 0);
  EXPECT_EQ(constantOf(LayoutAttribute::Baseline, [](LCConstraintRef c) { c.offset(3); }), 3);

  // Boxed values: a number is an offset, structures go by their kind, the
  // rest is ignored and keeps the previous constant.
  EXPECT_EQ(constantOf(LayoutAttribute::Width, [](LCConstraintRef c) { c.valueOffset(LCWrapTypedValue("d", 50.0)); }),
            50);
  EXPECT_EQ(constantOf(LayoutAttribute::Height, [](LCConstraintRef c) { c.valueOffset(ui::Size{1, 2}); }), 2);
  EXPECT_EQ(constantOf(LayoutAttribute::CenterY, [](LCConstraintRef c) { c.equalTo(ui::Point{1, 2}); }), 2);
  EXPECT_EQ(constantOf(LayoutAttribute::Bottom, [](LCConstraintRef c) { c.equalTo(ui::EdgeInsets{1, 2, 3, 4}); }),
            -3);
  EXPECT_EQ(constantOf(LayoutAttribute::Left,
                       [](LCConstraintRef c) {
                         c.offset(4);
                         c.valueOffset(LCValue());
                         c.equalTo(nullptr);
                       }),
            4);
  auto c = single(v, LayoutAttribute::Width);
  LCConstraintRef(c).valueOffset(50);
  EXPECT_EQ(c->layoutRelation(), LayoutRelation::Equal);
  EXPECT_FALSE(c->secondViewAttribute().has_value());
  LCConstraintRef(c).dividedBy(4);
  EXPECT_EQ(c->layoutMultiplier(), 0.25);
  LCConstraintRef(c).multipliedBy(3);
  EXPECT_EQ(c->layoutMultiplier(), 3);
  EXPECT_FALSE(LCConstraintRef().equalTo(1).offset(2).left());  // an empty chain stays empty
}

TEST(LCViewConstraint, AnArrayArgumentBecomesACompositeOfCopies) {
  Tree t;
  auto maker = LCConstraintMaker::make(*t.a);
  auto first = maker->left().offset(5).priority(600);
  auto result = first.equalTo(LCValue::Array{t.b, t.content});
  auto composite = std::dynamic_pointer_cast<LCCompositeConstraint>(result.get());
  ASSERT_NE(composite, nullptr);
  ASSERT_EQ(maker->constraints().size(), 1u);
  EXPECT_EQ(maker->constraints()[0], composite);  // in place of the original
  ASSERT_EQ(composite->childConstraints().size(), 2u);
  auto c0 = std::dynamic_pointer_cast<LCViewConstraint>(composite->childConstraints()[0]);
  auto c1 = std::dynamic_pointer_cast<LCViewConstraint>(composite->childConstraints()[1]);
  EXPECT_EQ(c0->secondViewAttribute()->view(), t.b);
  EXPECT_EQ(c1->secondViewAttribute()->view(), t.content);
  EXPECT_EQ(c0->layoutConstant(), 5);
  EXPECT_EQ(c1->layoutPriority(), 600);
  EXPECT_NE(c0, first.get());
}

TEST(LCViewConstraint, ConstantsAfterInstallMoveTheViewAndUpdateFindsSimilarConstraints) {
  Tree t;
  lc_makeConstraints(*t.a, [&](LCConstraintMaker& make) {
    make.left().equalTo(t.content).offset(10);
    make.top().equalTo(t.content).offset(10);
    make.size().equalTo(ui::Size{50, 40});
  });
  auto installed = LCViewConstraint::installedConstraintsForView(*t.a);
  ASSERT_EQ(installed.size(), 4u);
  t.window->layoutIfNeeded();
  EXPECT_EQ(t.a->frame(), ui::Rect(10, 10, 50, 40));

  // A new offset reaches the platform constraint and the frame.
  LCConstraintRef(installed[0]).offset(30);
  EXPECT_EQ(installed[0]->layoutConstraint()->constant(), 30);
  // Multiplier and priority are read only at installation.
  LCConstraintRef(installed[1]).multipliedBy(2).priority(10);
  EXPECT_EQ(installed[1]->layoutConstraint()->multiplier(), 1);
  EXPECT_EQ(installed[1]->layoutConstraint()->priority(), 1000);
  t.window->layoutIfNeeded();
  EXPECT_EQ(t.a->frame(), ui::Rect(30, 10, 50, 40));

  // An update repeating a statement changes the installed constant only.
  const size_t held = t.content->constraints().size();
  lc_updateConstraints(*t.a, [&](LCConstraintMaker& make) { make.top().equalTo(t.content).offset(70); });
  EXPECT_EQ(t.content->constraints().size(), held);
  EXPECT_EQ(installed[1]->layoutConstraint()->constant(), 70);
  // ...but a different priority is another constraint.
  lc_updateConstraints(*t.a, [&](LCConstraintMaker& make) { make.top().equalTo(t.content).offset(90).priorityLow(); });
  EXPECT_EQ(t.content->constraints().size(), held + 1);
  t.window->layoutIfNeeded();
  EXPECT_EQ(t.a->frame(), ui::Rect(30, 70, 50, 40));
  // A constraint the language did not make is never updated.
  auto plain = ui::LayoutConstraint::constraintWithItem(t.b.get(), LayoutAttribute::Width, LayoutRelation::Equal,
                                                        nullptr, LayoutAttribute::NotAnAttribute, 1, 12);
  plain->setActive(true);
  lc_updateConstraints(*t.b, [&](LCConstraintMaker& make) { make.width().equalTo(99); });
  EXPECT_EQ(plain->constant(), 12);
  EXPECT_EQ(t.b->constraints().size(), 2u);
}

TEST(LCViewConstraint, UninstallDeactivatesAndReinstallReactivatesTheSameConstraint) {
  Tree t;
  auto made = lc_makeConstraints(*t.a, [&](LCConstraintMaker& make) { make.width().equalTo(30); });
  auto c = std::dynamic_pointer_cast<LCViewConstraint>(made.at(0));
  auto platform = c->layoutConstraint();
  EXPECT_TRUE(c->hasBeenInstalled());
  c->install();  // nothing more
  EXPECT_EQ(t.a->constraints().size(), 1u);
  c->uninstall();
  EXPECT_FALSE(platform->isActive());
  EXPECT_FALSE(c->hasBeenInstalled());
  EXPECT_TRUE(c->supportsActiveProperty());
  EXPECT_TRUE(lc_installedConstraints(*t.a)->members().empty());
  EXPECT_TRUE(t.a->constraints().empty());
  c->activate();
  EXPECT_EQ(c->layoutConstraint(), platform);
  EXPECT_TRUE(platform->isActive());
  EXPECT_TRUE(lc_installedConstraints(*t.a)->contains(c.get()));
  c->deactivate();
  EXPECT_FALSE(platform->isActive());
}

TEST(LCViewConstraint, StatementsThatCannotHoldAreLoggedNotCrashed) {
  LogCapture log;
  // A position on a view without a superview: nothing can hold it.
  auto lone = ui::View::create();
  auto made = lc_makeConstraints(*lone, [](LCConstraintMaker& make) { make.left().equalTo(5); });
  auto c = std::dynamic_pointer_cast<LCViewConstraint>(made.at(0));
  EXPECT_EQ(c->installedView(), nullptr);
  EXPECT_FALSE(c->layoutConstraint()->isActive());
  EXPECT_TRUE(log.has("no superview"));
  // Tried again, the platform constraint is held by the view, and the engine
  // leaves out a position related to a missing superview.
  c->install();
  lone->layoutSubtreeIfNeeded();
  EXPECT_TRUE(log.has("it names a second attribute but no second item"));
  EXPECT_EQ(lone->frame(), ui::Rect());

  // Two views in different windows.
  Tree t, u;
  lc_makeConstraints(*t.a, [&](LCConstraintMaker& make) { make.left().equalTo(u.a); });
  EXPECT_TRUE(log.has("share no superview"));

  // A view that has gone.
  auto gone = ui::View::create();
  auto orphan = single(gone, LayoutAttribute::Width);
  gone.reset();
  orphan->install();
  EXPECT_TRUE(log.has("has gone"));
  EXPECT_EQ(orphan->layoutConstraint(), nullptr);

  // Dividing by zero: an infinite multiplier reaches the engine, which leaves
  // it out; the rest of the view's statements still hold.
  lc_makeConstraints(*t.b, [&](LCConstraintMaker& make) {
    make.width().equalTo(t.content).dividedBy(0);
    make.width().equalTo(60).priorityHigh();
    make.left().top().equalTo(t.content).offset(3);
    make.height().equalTo(t.a);
  });
  lc_makeConstraints(*t.a, [&](LCConstraintMaker& make) { make.height().equalTo(20); });
  t.window->layoutIfNeeded();
  EXPECT_TRUE(log.has("not finite"));
  EXPECT_EQ(t.b->frame(), ui::Rect(3, 3, 60, 20));
}

TEST(LCConstraint, TheAbstractGrammarRaisesWithTheOperationsName) {
  LCConstraint bare;
  auto expectRaise = [](auto f, const std::string& name) {
    try {
      f();
      ADD_FAILURE() << name << " did not raise";
    } catch (const std::logic_error& e) {
      EXPECT_EQ(std::string(e.what()), "You must override " + name + " in a subclass.");
    }
  };
  expectRaise([&] { bare.install(); }, "install");
  expectRaise([&] { bare.uninstall(); }, "uninstall");
  expectRaise([&] { bare.activate(); }, "activate");
  expectRaise([&] { bare.deactivate(); }, "deactivate");
  expectRaise([&] { bare.multipliedBy(2); }, "multipliedBy");
  expectRaise([&] { bare.dividedBy(2); }, "dividedBy");
  expectRaise([&] { bare.priority(2); }, "priority");
  expectRaise([&] { bare.key("k"); }, "key");
  expectRaise([&] { bare.animator(); }, "animator");
  expectRaise([&] { bare.equalToWithRelation(1, LayoutRelation::Equal); }, "equalToWithRelation");
  expectRaise([&] { bare.addConstraintWithLayoutAttribute(LayoutAttribute::Left); }, "addConstraintWithLayoutAttribute");
  expectRaise([&] { bare.setOffset(1); }, "setOffset");
  expectRaise([&] { bare.setInset(1); }, "setInset");
  expectRaise([&] { bare.setInsets({}); }, "setInsets");
  expectRaise([&] { bare.setSizeOffset({}); }, "setSizeOffset");
  expectRaise([&] { bare.setCenterOffset({}); }, "setCenterOffset");
  // The boxed-value word is the grammar's own and reaches the operations.
  expectRaise([&] { bare.setLayoutConstantWithValue(ui::Size{1, 1}); }, "setSizeOffset");
}

TEST(LCViewConstraint, ConstantsThroughTheAnimatorMoveOverTime) {
  ui::AnimationClock& clock = ui::AnimationClock::shared();
  clock.setManual(true);
  Tree t;
  auto made = lc_makeConstraints(*t.a, [&](LCConstraintMaker& make) {
    make.left().top().equalTo(t.content);
    make.size().equalTo(ui::Size{10, 10});
  });
  auto left = std::dynamic_pointer_cast<LCCompositeConstraint>(made.at(0))->childConstraints().at(0);
  LCConstraintRef(left).animator().offset(100);
  auto platform = std::dynamic_pointer_cast<LCViewConstraint>(left)->layoutConstraint();
  EXPECT_EQ(platform->constant(), 0);
  clock.advance(ui::AnimationContext::kDefaultDuration / 2);
  EXPECT_GT(platform->constant(), 0);
  EXPECT_LT(platform->constant(), 100);
  clock.advance(ui::AnimationContext::kDefaultDuration);
  EXPECT_EQ(platform->constant(), 100);
  t.window->layoutIfNeeded();
  EXPECT_EQ(t.a->frame(), ui::Rect(100, 0, 10, 10));
  EXPECT_EQ(clock.subscriberCount(), 0u);
  clock.setManual(false);
}
