#pragma once
// ui::ConstraintEngine: lays out views by their constraints (LayoutConstraint)
// with the project's own simplex solver, as the layout pass's solve step
// (View.h's LayoutEngineHooks; Window::runLayoutPass).
//
// One system per tree (a window's content view, or a detached tree), kept
// alive between passes and changed in place:
//  - Every view that takes part has four variables: x, y, width, height, its
//    frame in its superview's bounds measured from the top left (y down), so
//    flipped and y-up views are alike to constraints.
//  - A constraint is evaluated in the bounds of the closest common ancestor A
//    of its items: A's own left and top are 0, its right and bottom its width
//    and height; a descendant's position is the sum of the positions on the
//    way up to A. So a multiplier on a position scales a share of A's size.
//  - Views that translate their autoresizing mask (and the tree's root) are
//    held at their current frames by edit variables just below required;
//    other views keep their current frames by the weakest edit variables when
//    nothing else decides them. A view's intrinsic content size adds "not larger" at
//    its hugging priority and "not smaller" at its compression priority.
//  - A changed constant or intrinsic size is a constant update of the solver;
//    a resized window, a suggested value; an added or removed constraint, one
//    constraint added or removed. Only a change of the tree or of constraint
//    activation makes the engine walk the tree again, and even then the
//    solver keeps everything that did not change.
//  - Constraints go into the solver view by view: each view's constraints
//    together (whichever views hold them), the views in tree order, and
//    within that in the holders' tree order and the order they were added.
//    Constraints that go come out in the reverse order. (A row of views
//    stated view by view then costs far less memory and time than taken
//    holder by holder, and a view taken out of it splits it once.) Which of
//    two conflicting required constraints is refused follows this order.
//  - Constraints that cannot be solved, and required ones that conflict with
//    those already held, are logged once and left out.
//  - A tree's system goes when its root is destroyed (a window closed and let
//    go), or when the root joins another tree.
//
// Main thread only.

#include <cstddef>
#include <map>
#include <memory>
#include <set>

#include "platform/ui/View.h"

namespace ui {

class LayoutConstraint;

class ConstraintEngine : public LayoutEngineHooks {
public:
  // Frames of views translating their mask (below required: a conflicting
  // required constraint wins and is logged) and of views nothing else decides.
  static constexpr double kPinPriority = 999.5;
  static constexpr double kStayPriority = 0.01;

  // The engine the views use; made and installed on first use.
  static std::shared_ptr<ConstraintEngine> shared();
  ConstraintEngine();
  ~ConstraintEngine() override;

  bool needsSolve(View& root) override;
  void solve(View& root) override;
  void viewDidChange(View& view) override;
  void viewWillBeDestroyed(const View& view) override;
  // A constraint was activated, deactivated (structural) or got a new
  // constant or priority.
  void constraintDidChange(LayoutConstraint& c, bool structural);
  // Drops the system of the tree under `root`: the next pass makes a new one.
  void invalidate(View& root);

  struct Stats {
    size_t systemsMade = 0;       // systems made from nothing
    size_t walks = 0;             // full walks of a tree
    size_t constraintsAdded = 0;  // solver constraints added (any kind)
    size_t constraintsRemoved = 0;
    size_t constantUpdates = 0;   // constants changed in place
    size_t suggestions = 0;       // edit variable values suggested
    size_t held = 0;              // layout constraints held in the solver now
    size_t views = 0;             // views with variables in the solver now
    size_t refused = 0;           // layout constraints left out now
    double engineSeconds = 0;     // time spent in passes (solver included),
    double solverSeconds = 0;     // of which in the solver: both 0 but in benchmark builds
    size_t solverRows = 0;        // the solver's tableau now
    size_t solverCells = 0;
    size_t pivots = 0;            // pivots made so far
  };
  Stats stats(View& root) const;
  // Trees the engine keeps a system for now (a tree's goes with its root).
  size_t systemCount() const { return systems_.size(); }

  struct System;

private:
  System* systemFor(View& root) const;
  std::map<const View*, std::unique_ptr<System>> systems_;
  std::set<const View*> pendingRoots_;
};

}  // namespace ui
