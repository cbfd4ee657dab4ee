// The constraint engine: frames from constraints in nested trees and across
// panes, in y-up and flipped superviews; multipliers on positions; intrinsic
// sizes against hugging and compression; autoresizing neighbours; incremental
// updates checked against a fresh solve; faulty and conflicting constraints.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/ui/ConstraintEngine.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "support/LogCapture.h"

namespace ui {
namespace {

using A = LayoutAttribute;
using R = LayoutRelation;

class FlippedLayoutView : public View {
public:
  using View::View;
  bool isFlipped() const override { return true; }
};

class SizedView : public View {
public:
  Size intrinsic{80, 20};
  Size intrinsicContentSize() const override { return intrinsic; }
};

std::shared_ptr<LayoutConstraint> relate(const std::shared_ptr<View>& a, A a1, R r, const std::shared_ptr<View>& b,
                                         A a2, double m = 1, double c = 0, float priority = 1000) {
  auto k = LayoutConstraint::constraintWithItem(a.get(), a1, r, b.get(), a2, m, c);
  k->setPriority(priority);
  k->setActive(true);
  return k;
}
std::shared_ptr<LayoutConstraint> fix(const std::shared_ptr<View>& a, A a1, double c, float priority = 1000) {
  return relate(a, a1, R::Equal, nullptr, A::NotAnAttribute, 1, c, priority);
}
// Edges of `v` at these offsets from its superview's.
void place(const std::shared_ptr<View>& v, double l, double t, double w, double h) {
  auto s = v->superview()->sharedFromThis();
  v->setTranslatesAutoresizingMaskIntoConstraints(false);
  relate(v, A::Left, R::Equal, s, A::Left, 1, l);
  relate(v, A::Top, R::Equal, s, A::Top, 1, t);
  fix(v, A::Width, w);
  fix(v, A::Height, h);
}
std::shared_ptr<View> child(const std::shared_ptr<View>& parent, Rect frame = {}) {
  auto v = View::create(frame);
  parent->addSubview(v);
  return v;
}

std::shared_ptr<Window> flippedWindow(double w, double h) {
  auto window = Window::create(Rect(0, 0, w, h));
  window->setContentView(View::create<FlippedLayoutView>(Rect(0, 0, w, h)));
  return window;
}

TEST(ConstraintEngineFrames, NestedViewsInYUpAndFlippedSuperviews) {
  auto window = Window::create(Rect(0, 0, 400, 300));
  auto content = window->contentView();
  auto box = child(content);
  place(box, 10, 20, 200, 100);
  auto inner = child(box);
  place(inner, 5, 10, 50, 30);
  window->layoutIfNeeded();
  // y-up: 20 below the top of a 300 high content view.
  EXPECT_EQ(box->frame(), Rect(10, 180, 200, 100));
  EXPECT_EQ(inner->frame(), Rect(5, 60, 50, 30));

  auto flipped = View::create<FlippedLayoutView>();
  content->addSubview(flipped);
  place(flipped, 250, 0, 100, 200);
  auto f = child(flipped);
  place(f, 5, 10, 50, 30);
  window->layoutIfNeeded();
  EXPECT_EQ(f->frame(), Rect(5, 10, 50, 30));
  EXPECT_EQ(ConstraintEngine::shared()->stats(*content).refused, 0u);
}

TEST(ConstraintEngineFrames, ConstraintsAcrossPanesAreEvaluatedInTheCommonAncestor) {
  auto window = flippedWindow(600, 400);
  auto content = window->contentView();
  // Two panes placed by frames (as a split view does), translating their masks.
  auto left = child(content, Rect(0, 0, 200, 400));
  auto right = child(content, Rect(210, 50, 390, 350));
  auto editor = child(right);
  auto library = child(left);
  place(library, 10, 10, 180, 300);
  editor->setTranslatesAutoresizingMaskIntoConstraints(false);
  relate(editor, A::Left, R::Equal, right, A::Left, 1, 10);
  relate(editor, A::Right, R::Equal, right, A::Right, 1, -10);
  relate(editor, A::Top, R::Equal, right, A::Top, 1, 20);
  // Tied across panes: the editor's bottom 10 below the library's.
  auto tie = relate(editor, A::Bottom, R::Equal, library, A::Bottom, 1, 10);
  EXPECT_EQ(tie->holder(), content);
  window->layoutIfNeeded();
  // library bottom = 310 in the content; in the right pane (y 50, y-up
  // flipped content) that is 260 from its top, plus 10.
  const Rect f = editor->frame();
  EXPECT_DOUBLE_EQ(f.minX(), 10);
  EXPECT_DOUBLE_EQ(f.width(), 370);
  EXPECT_DOUBLE_EQ(f.height(), 320 - 50 - 20);
  EXPECT_DOUBLE_EQ(f.minY(), 350 - 20 - 250);  // the pane is y-up: from its bottom

  // Moving the pane moves the editor inside it so that the tie still holds.
  right->setFrame(Rect(210, 0, 390, 400));
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(editor->frame().height(), 320 - 20);
}

TEST(ConstraintEngineFrames, PositionMultipliersScaleTheAncestorsOwnBounds) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto holder = child(content);
  place(holder, 100, 0, 200, 100);
  auto a = child(holder);
  a->setTranslatesAutoresizingMaskIntoConstraints(false);
  fix(a, A::Width, 20);
  fix(a, A::Height, 20);
  relate(a, A::Top, R::Equal, holder, A::Top);
  // Right at half the holder's right: 100 in the holder's own coordinates,
  // not half of the holder's right in the window (150).
  relate(a, A::Right, R::Equal, holder, A::Right, 0.5, 0);
  auto b = child(content);
  b->setTranslatesAutoresizingMaskIntoConstraints(false);
  fix(b, A::Width, 10);
  fix(b, A::Height, 10);
  relate(b, A::CenterY, R::Equal, content, A::CenterY, 0.25, 0);
  relate(b, A::CenterX, R::Equal, holder, A::Right, 1, 0);
  window->layoutIfNeeded();
  EXPECT_EQ(a->frame(), Rect(80, 80, 20, 20));  // the holder is y-up
  EXPECT_EQ(b->frame(), Rect(295, 32.5, 10, 10));
}

TEST(ConstraintEngineIntrinsic, ContentSizeWithHuggingAndCompression) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto label = View::create<SizedView>();
  content->addSubview(label);
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  relate(label, A::Left, R::Equal, content, A::Left, 1, 10);
  relate(label, A::Top, R::Equal, content, A::Top, 1, 10);
  window->layoutIfNeeded();
  EXPECT_EQ(label->frame(), Rect(10, 10, 80, 20));

  // A new text: the size follows at the next pass.
  label->intrinsic = {120, 24};
  label->invalidateIntrinsicContentSize();
  window->layoutIfNeeded();
  EXPECT_EQ(label->frame().size, (Size{120, 24}));

  // Stretched by a constraint stronger than hugging (250), squeezed by a
  // required one (compression 750 gives way).
  auto wide = relate(label, A::Width, R::GreaterThanOrEqual, nullptr, A::NotAnAttribute, 1, 200, 300);
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(label->frame().width(), 200);
  wide->setActive(false);
  auto narrow = relate(label, A::Width, R::LessThanOrEqual, nullptr, A::NotAnAttribute, 1, 50);
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(label->frame().width(), 50);
  // A weaker one loses to compression.
  narrow->setPriority(700);
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(label->frame().width(), 120);
  // Hugging above the stretching constraint keeps the text's width.
  label->setContentHuggingPriority(800, LayoutConstraintOrientation::Horizontal);
  auto stretch = relate(label, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 300, 600);
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(label->frame().width(), 120);
  stretch->setPriority(900);
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(label->frame().width(), 300);
}

TEST(ConstraintEngineAutoresizing, FramePlacedNeighboursAreHeldAsTheyAre) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto sidebar = child(content, Rect(0, 0, 100, 300));
  sidebar->setAutoresizingMask(ViewHeightSizable);
  auto body = child(content);
  body->setTranslatesAutoresizingMaskIntoConstraints(false);
  relate(body, A::Left, R::Equal, sidebar, A::Right, 1, 10);
  relate(body, A::Right, R::Equal, content, A::Right, 1, -10);
  relate(body, A::Top, R::Equal, content, A::Top);
  relate(body, A::Bottom, R::Equal, sidebar, A::Bottom);
  window->layoutIfNeeded();
  EXPECT_EQ(body->frame(), Rect(110, 0, 280, 300));

  window->setContentSize({600, 500});
  window->layoutIfNeeded();
  EXPECT_EQ(sidebar->frame(), Rect(0, 0, 100, 500));
  EXPECT_EQ(body->frame(), Rect(110, 0, 480, 500));
  // The frame-placed view moved by hand: its neighbour follows.
  sidebar->setFrame(Rect(0, 0, 150, 400));
  window->layoutIfNeeded();
  EXPECT_EQ(body->frame(), Rect(160, 0, 430, 400));
  auto s = ConstraintEngine::shared()->stats(*content);
  EXPECT_EQ(s.systemsMade, 1u);
}

// ---- incremental updates against a fresh solve

struct LayoutScene {
  std::shared_ptr<Window> window;
  std::vector<std::shared_ptr<View>> views;
  std::vector<std::shared_ptr<LayoutConstraint>> constraints;
};

// Rows of boxes in nested holders, equal widths, gaps, an optional preferred
// width and inequalities.
LayoutScene makeLayoutScene() {
  LayoutScene s;
  s.window = flippedWindow(800, 600);
  auto content = s.window->contentView();
  auto pane = child(content, Rect(0, 0, 800, 600));
  pane->setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
  for (int row = 0; row < 4; ++row) {
    auto holder = child(pane);
    holder->setTranslatesAutoresizingMaskIntoConstraints(false);
    s.constraints.push_back(relate(holder, A::Left, R::Equal, pane, A::Left, 1, 10));
    s.constraints.push_back(relate(holder, A::Right, R::Equal, pane, A::Right, 1, -10));
    s.constraints.push_back(relate(holder, A::Top, R::Equal, pane, A::Top, 1, 10 + row * 60));
    s.constraints.push_back(fix(holder, A::Height, 50));
    s.views.push_back(holder);
    std::shared_ptr<View> prev;
    for (int i = 0; i < 5; ++i) {
      auto b = child(holder);
      b->setTranslatesAutoresizingMaskIntoConstraints(false);
      s.constraints.push_back(relate(b, A::Top, R::Equal, holder, A::Top, 1, 5));
      s.constraints.push_back(relate(b, A::Bottom, R::LessThanOrEqual, holder, A::Bottom, 1, -5));
      s.constraints.push_back(fix(b, A::Height, 100, 500));
      if (prev) {
        s.constraints.push_back(relate(b, A::Left, R::Equal, prev, A::Right, 1, 4));
        s.constraints.push_back(relate(b, A::Width, R::Equal, prev, A::Width));
      } else {
        s.constraints.push_back(relate(b, A::Left, R::Equal, holder, A::Left, 1, 4));
      }
      prev = b;
      s.views.push_back(b);
    }
    s.constraints.push_back(relate(prev, A::Right, R::Equal, holder, A::Right, 1, -4, 900));
    s.constraints.push_back(fix(prev, A::Width, 60, 200));
  }
  s.window->layoutIfNeeded();
  return s;
}

std::vector<Rect> framesOf(const LayoutScene& s) {
  std::vector<Rect> out;
  for (auto& v : s.views) out.push_back(v->frame());
  return out;
}

// The frames a new engine gives the same tree from scratch.
std::vector<Rect> freshFrames(const LayoutScene& s) {
  auto fresh = std::make_shared<ConstraintEngine>();
  auto previous = setLayoutEngineHooks(fresh);
  fresh->invalidate(*s.window->contentView());
  s.window->layoutIfNeeded();
  auto frames = framesOf(s);
  setLayoutEngineHooks(previous);
  return frames;
}

void expectSame(const std::vector<Rect>& a, const std::vector<Rect>& b, const char* step) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_NEAR(a[i].minX(), b[i].minX(), 1e-6) << step << " view " << i;
    EXPECT_NEAR(a[i].minY(), b[i].minY(), 1e-6) << step << " view " << i;
    EXPECT_NEAR(a[i].width(), b[i].width(), 1e-6) << step << " view " << i;
    EXPECT_NEAR(a[i].height(), b[i].height(), 1e-6) << step << " view " << i;
  }
}

TEST(ConstraintEngineIncremental, UpdatesGiveTheFramesOfAFreshSolveWithoutRebuilding) {
  LayoutScene s = makeLayoutScene();
  auto engine = ConstraintEngine::shared();
  View& root = *s.window->contentView();
  expectSame(framesOf(s), freshFrames(s), "start");
  // The fresh solve above built its own system; ours lives on.
  const auto start = engine->stats(root);
  EXPECT_EQ(start.refused, 0u);

  // A changed constant: updated in place, no walk, nothing added.
  s.constraints[2]->setConstant(30);
  s.window->layoutIfNeeded();
  auto after = engine->stats(root);
  EXPECT_EQ(after.walks, start.walks);
  EXPECT_EQ(after.constraintsAdded, start.constraintsAdded);
  EXPECT_GT(after.constantUpdates, start.constantUpdates);
  EXPECT_DOUBLE_EQ(s.views[0]->frame().minY(), 600 - 30 - 50);  // y-up pane
  expectSame(framesOf(s), freshFrames(s), "constant");

  // A resized window: new suggested values only.
  auto before = engine->stats(root);
  s.window->setContentSize({1000, 700});
  s.window->layoutIfNeeded();
  after = engine->stats(root);
  EXPECT_EQ(after.walks, before.walks);
  EXPECT_EQ(after.constraintsAdded, before.constraintsAdded);
  EXPECT_DOUBLE_EQ(s.views[0]->frame().width(), 980);
  expectSame(framesOf(s), freshFrames(s), "resize");

  // A priority change re-adds one constraint.
  before = engine->stats(root);
  s.constraints.back()->setPriority(950);
  s.window->layoutIfNeeded();
  after = engine->stats(root);
  EXPECT_EQ(after.constraintsAdded, before.constraintsAdded + 1);
  EXPECT_EQ(after.systemsMade, 1u);
  expectSame(framesOf(s), freshFrames(s), "priority");

  // An added and a removed constraint: one walk, one constraint each, the
  // rest of the system kept.
  before = engine->stats(root);
  auto extra = fix(s.views[1], A::Width, 40, 990);
  s.constraints[5]->setActive(false);
  s.window->layoutIfNeeded();
  after = engine->stats(root);
  EXPECT_EQ(after.walks, before.walks + 1);
  EXPECT_EQ(after.constraintsAdded, before.constraintsAdded + 1);
  EXPECT_EQ(after.constraintsRemoved, before.constraintsRemoved + 1);
  EXPECT_DOUBLE_EQ(s.views[1]->frame().width(), 40);
  expectSame(framesOf(s), freshFrames(s), "add and remove");

  // Random constant changes, checked against a fresh solve after each batch.
  std::mt19937 rng(7);
  for (int batch = 0; batch < 5; ++batch) {
    for (int k = 0; k < 6; ++k) {
      auto& c = s.constraints[rng() % s.constraints.size()];
      c->setConstant(c->constant() + double(int(rng() % 21) - 10));
    }
    s.window->layoutIfNeeded();
    expectSame(framesOf(s), freshFrames(s), "random constants");
  }
  EXPECT_EQ(engine->stats(root).systemsMade, 1u);
}

// ---- faults

TEST(ConstraintEngineFaults, BadConstraintsAreLoggedAndLeftOutWhileTheRestIsSolved) {
  LogCapture log;
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto v = child(content);
  place(v, 10, 10, 100, 50);

  // No item at all: not activated.
  auto none = LayoutConstraint::constraintWithItem(nullptr, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 5);
  none->setActive(true);
  EXPECT_FALSE(none->isActive());
  EXPECT_TRUE(log.has("no first item"));

  // Items without a common ancestor (another window): not activated.
  auto other = flippedWindow(100, 100);
  auto stranger = child(other->contentView());
  auto apart = LayoutConstraint::constraintWithItem(v.get(), A::Left, R::Equal, stranger.get(), A::Left, 1, 0);
  apart->setActive(true);
  EXPECT_FALSE(apart->isActive());
  EXPECT_TRUE(log.has("no common ancestor"));

  // An infinite multiplier, a position related to a constant, a size related
  // to a position: held, but left out of the solve.
  auto infinite = relate(v, A::Width, R::Equal, content, A::Width, 1.0 / 0.0, 0);
  auto position = fix(v, A::Left, 70);
  auto mixed = relate(v, A::Width, R::Equal, content, A::Left);
  // A required conflict: left out, the earlier one holds.
  auto conflict = fix(v, A::Width, 250);
  window->layoutIfNeeded();
  EXPECT_TRUE(infinite->isActive());
  EXPECT_TRUE(log.has("not finite"));
  EXPECT_TRUE(log.has("relates a position to a constant"));
  EXPECT_TRUE(log.has("relates a size to a position"));
  EXPECT_TRUE(log.has("Unable to simultaneously satisfy constraints"));
  EXPECT_EQ(v->frame(), Rect(10, 10, 100, 50));
  EXPECT_EQ(ConstraintEngine::shared()->stats(*content).refused, 4u);

  // Logged once, not at every pass.
  const size_t lines = log.lines.size();
  v->setFrame(Rect(0, 0, 1, 1));
  window->layoutIfNeeded();
  EXPECT_EQ(log.lines.size(), lines);
  EXPECT_EQ(v->frame(), Rect(10, 10, 100, 50));

  // Once the width it conflicted with goes, the refused one holds.
  for (auto& c : std::vector<std::shared_ptr<LayoutConstraint>>(v->constraints()))
    if (c->firstAttribute() == A::Width && c->constant() == 100) c->setActive(false);
  window->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(v->frame().width(), 250);
}

TEST(ConstraintEngineFaults, AConflictingNewConstantIsLeftOutUntilItsRivalGoes) {
  LogCapture log;
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto v = child(content);
  place(v, 10, 10, 100, 50);
  auto marker = child(content);
  place(marker, 200, 0, 10, 10);
  auto right = relate(v, A::Right, R::LessThanOrEqual, marker, A::Left, 1, -50);
  window->layoutIfNeeded();
  // Left 10 and width 100 put the right edge at 110, beyond 200 - 150.
  right->setConstant(-150);
  window->layoutIfNeeded();
  EXPECT_TRUE(log.has("Unable to simultaneously satisfy constraints"));
  EXPECT_EQ(v->frame(), Rect(10, 10, 100, 50));
  EXPECT_EQ(ConstraintEngine::shared()->stats(*content).refused, 1u);
  for (auto& c : std::vector<std::shared_ptr<LayoutConstraint>>(v->constraints()))
    if (c->firstAttribute() == A::Width) c->setActive(false);
  window->layoutIfNeeded();
  EXPECT_EQ(ConstraintEngine::shared()->stats(*content).refused, 0u);
  EXPECT_EQ(v->frame(), Rect(10, 10, 40, 50));  // the width gave way
}

// Required constraints outrank the frames of views placed by their masks:
// the conflict is logged, and the window keeps its size.
TEST(ConstraintEngineFaults, RequiredConstraintsAgainstAFramePlacedViewAreLogged) {
  LogCapture log;
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto v = child(content);
  place(v, 0, 0, 100, 50);
  relate(v, A::Right, R::Equal, content, A::Right);
  window->layoutIfNeeded();
  EXPECT_TRUE(log.has("away from the frame its autoresizing mask gives it"));
  EXPECT_EQ(content->frame().size, (Size{400, 300}));
  EXPECT_EQ(v->frame(), Rect(0, 0, 100, 50));
}

TEST(ConstraintEngineFaults, AnItemThatGoesAwayTakesItsConstraintsOutOfTheSolve) {
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto a = child(content);
  place(a, 10, 10, 100, 50);
  auto b = child(content);
  b->setTranslatesAutoresizingMaskIntoConstraints(false);
  relate(b, A::Left, R::Equal, a, A::Right, 1, 5);
  relate(b, A::Top, R::Equal, a, A::Top);
  fix(b, A::Width, 30);
  fix(b, A::Height, 30);
  window->layoutIfNeeded();
  EXPECT_EQ(b->frame(), Rect(115, 10, 30, 30));
  a->removeFromSuperview();
  a.reset();
  window->layoutIfNeeded();  // no crash; b keeps its frame
  EXPECT_EQ(b->frame().size, (Size{30, 30}));
  EXPECT_EQ(ConstraintEngine::shared()->stats(*content).held, 2u);
  EXPECT_EQ(ConstraintEngine::shared()->stats(*content).refused, 0u);
  EXPECT_TRUE(content->constraints().empty());  // b's place went with a
}

// ---- views that leave or go

// A view taken out of its superview takes along the constraints naming it or
// a view inside it that a view outside it holds; those held inside stay.
TEST(ConstraintEngineRemoval, AViewLeavingTakesTheConstraintsNamingItThatTheOutsideHolds) {
  LogCapture log;
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  auto box = child(content);
  auto inner = child(box);
  auto other = child(content);
  place(other, 200, 10, 50, 50);
  box->setTranslatesAutoresizingMaskIntoConstraints(false);
  inner->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto boxLeft = relate(box, A::Left, R::Equal, content, A::Left, 1, 10);
  auto boxTop = relate(box, A::Top, R::Equal, other, A::Top);
  auto otherToInner = relate(other, A::Height, R::Equal, inner, A::Height, 1, 20);
  // Held by a view that does not contain its items: left out, but named.
  auto stray = LayoutConstraint::constraintWithItem(box.get(), A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 9);
  addConstraint(*other, stray);
  auto boxWidth = fix(box, A::Width, 100);
  auto boxHeight = fix(box, A::Height, 80);
  auto innerPlace = relate(inner, A::Left, R::Equal, box, A::Left, 1, 5);
  auto innerTop = relate(inner, A::Top, R::Equal, box, A::Top, 1, 5);
  auto innerSize = fix(inner, A::Width, 30);
  auto innerHeight = fix(inner, A::Height, 30);
  window->layoutIfNeeded();
  EXPECT_EQ(box->frame(), Rect(10, 10, 100, 80));
  EXPECT_TRUE(log.has("does not contain its items"));  // the stray one
  const size_t logged = log.lines.size();

  box->removeFromSuperview();
  for (auto& c : {boxLeft, boxTop, otherToInner, stray}) EXPECT_FALSE(c->isActive()) << c->description();
  for (auto& c : {boxWidth, boxHeight, innerPlace, innerTop, innerSize, innerHeight})
    EXPECT_TRUE(c->isActive()) << c->description();
  EXPECT_EQ(other->constraints().size(), 2u);  // its own size
  window->layoutIfNeeded();
  auto stats = ConstraintEngine::shared()->stats(*content);
  EXPECT_EQ(stats.refused, 0u);
  EXPECT_EQ(log.lines.size(), logged);

  // Back in, with a place again: its own constraints still lay it out.
  content->addSubview(box);
  relate(box, A::Left, R::Equal, content, A::Left, 1, 40);
  relate(box, A::Top, R::Equal, content, A::Top, 1, 50);
  window->layoutIfNeeded();
  EXPECT_EQ(box->frame(), Rect(40, 50, 100, 80));
  EXPECT_EQ(inner->frame(), Rect(5, 45, 30, 30));  // box is y-up
}

// However a view goes, no constraint naming it is left in a holder: not in
// its old superview after it was taken out and dropped, not in a view that
// held one naming it without containing it, and no holder that goes first
// leaves the view a constraint that has gone.
TEST(ConstraintEngineRemoval, AViewThatGoesLeavesNoConstraintBehind) {
  LogCapture log;
  auto window = flippedWindow(400, 300);
  auto content = window->contentView();
  for (int round = 0; round < 3; ++round) {
    std::vector<std::shared_ptr<View>> made;
    for (int i = 0; i < 100; ++i) {
      made.push_back(child(content));
      place(made.back(), i, 2 * i, 10, 10);
    }
    window->layoutIfNeeded();
    for (auto& v : made) v->removeFromSuperview();
    made.clear();
    window->layoutIfNeeded();
    EXPECT_TRUE(content->constraints().empty());
    EXPECT_EQ(ConstraintEngine::shared()->stats(*content).held + ConstraintEngine::shared()->stats(*content).refused,
              0u);
  }
  EXPECT_TRUE(log.lines.empty());

  // Named by a constraint a view outside it holds, then destroyed.
  auto holder = child(content);
  auto named = View::create();
  auto c = LayoutConstraint::constraintWithItem(named.get(), A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 9);
  addConstraint(*holder, c);
  EXPECT_EQ(holder->constraints().size(), 1u);
  named.reset();
  EXPECT_TRUE(holder->constraints().empty());
  EXPECT_FALSE(c->isActive());

  // The holder goes first: the views it named outlive the constraint.
  auto left = View::create();
  auto right = View::create();
  auto between = View::create();
  auto k = LayoutConstraint::constraintWithItem(left.get(), A::Width, R::Equal, right.get(), A::Width, 1, 0);
  addConstraint(*between, k);
  k.reset();
  between.reset();
  content->addSubview(left);
  left->removeFromSuperview();
  left.reset();
  right.reset();
}

// A view taken out of the middle of a row, and put back, gives the frames a
// new system would give, and the engine keeps its one system throughout.
TEST(ConstraintEngineRemoval, AViewTakenOutOfARowAndPutBackGivesTheFramesOfAFreshSolve) {
  LayoutScene s;
  s.window = flippedWindow(800, 100);
  auto content = s.window->contentView();
  auto stateView = [&](size_t i) {
    auto& v = s.views[i];
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    if (i == 0) relate(v, A::Left, R::Equal, content, A::Left, 1, 4);
    else relate(v, A::Left, R::Equal, s.views[i - 1], A::Right, 1, 2);
    relate(v, A::Top, R::Equal, content, A::Top, 1, 10);
    fix(v, A::Width, 20 + double(i % 3));
    fix(v, A::Height, 20);
  };
  for (int i = 0; i < 24; ++i) s.views.push_back(child(content));
  for (size_t i = 0; i < s.views.size(); ++i) stateView(i);
  s.window->layoutIfNeeded();
  expectSame(framesOf(s), freshFrames(s), "row");
  View& root = *content;
  for (size_t i : {12u, 13u, 5u}) {
    auto v = s.views[i];
    const Rect before = s.views[i + 1]->frame();
    v->removeFromSuperview();
    s.window->layoutIfNeeded();
    EXPECT_EQ(s.views[i + 1]->frame(), before) << i;  // held where it was
    LayoutScene without = s;
    without.views.erase(without.views.begin() + long(i));
    // The view lives on outside the tree: its variables left the solver.
    EXPECT_EQ(ConstraintEngine::shared()->stats(root).views, without.views.size() + 1) << i;
    expectSame(framesOf(without), freshFrames(without), "without a view");

    content->addSubview(v, WindowOrderingMode::Above, s.views[i - 1].get());
    stateView(i);
    for (auto& c : std::vector<std::shared_ptr<LayoutConstraint>>(content->constraints()))
      if (c->firstItem() == s.views[i + 1] && c->firstAttribute() == A::Left) c->setActive(false);
    relate(s.views[i + 1], A::Left, R::Equal, v, A::Right, 1, 2);
    s.window->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(s.views[23]->frame().maxX(), 4 + 24 * 2 - 2 + 8 * (20 + 21 + 22)) << i;
    expectSame(framesOf(s), freshFrames(s), "put back");
  }
  EXPECT_EQ(ConstraintEngine::shared()->stats(root).systemsMade, 1u);
}

// A window let go takes its system out of the engine at once, not at the
// next layout pass of another window.
TEST(ConstraintEngineRemoval, AWindowLetGoLeavesNoSystemBehind) {
  auto engine = ConstraintEngine::shared();
  auto window = flippedWindow(400, 300);
  place(child(window->contentView()), 10, 10, 100, 50);
  window->layoutIfNeeded();
  const size_t open = engine->systemCount();  // this window's among them
  window->close();
  window.reset();
  EXPECT_EQ(engine->systemCount(), open - 1);
}

TEST(ConstraintEngineDetached, DetachedTreesAreSolvedOnRequestAndJoinWindowsLater) {
  auto root = View::create<FlippedLayoutView>(Rect(0, 0, 300, 200));
  auto v = child(root);
  place(v, 20, 30, 40, 50);
  root->layoutSubtreeIfNeeded();
  EXPECT_EQ(v->frame(), Rect(20, 30, 40, 50));

  auto window = flippedWindow(500, 400);
  window->contentView()->addSubview(root);
  root->setTranslatesAutoresizingMaskIntoConstraints(false);
  relate(root, A::Left, R::Equal, window->contentView(), A::Left, 1, 100);
  relate(root, A::Top, R::Equal, window->contentView(), A::Top, 1, 100);
  fix(root, A::Width, 300);
  fix(root, A::Height, 200);
  window->layoutIfNeeded();
  EXPECT_EQ(root->frame(), Rect(100, 100, 300, 200));
  EXPECT_EQ(v->frame(), Rect(20, 30, 40, 50));
}

}  // namespace
}  // namespace ui
