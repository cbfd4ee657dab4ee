#include "platform/ui/ConstraintEngine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/solver/Solver.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {

View* rootOf(View& v) {
  View* r = &v;
  while (r->superview()) r = r->superview();
  return r;
}

bool relevantSubtree(const View& v) {
  if (!v.translatesAutoresizingMaskIntoConstraints() || !v.constraints().empty()) return true;
  return std::any_of(v.subviews().begin(), v.subviews().end(), [](const auto& s) { return relevantSubtree(*s); });
}

int depthOf(const View* v) {
  int d = 0;
  for (; v->superview(); v = v->superview()) ++d;
  return d;
}

// The frame of `v` as the engine sees it: offset from the superview's bounds
// top left, y down.
Rect visualFrame(const View& v) {
  const View* s = v.superview();
  const Rect f = v.frame();
  if (!s) return Rect(0, 0, f.size.width, f.size.height);
  const Rect b = s->bounds();
  const double y = s->isFlipped() ? f.origin.y - b.origin.y : b.origin.y + b.size.height - f.origin.y - f.size.height;
  return Rect(f.origin.x - b.origin.x, y, f.size.width, f.size.height);
}

bool sameRect(const Rect& a, const Rect& b) {
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}

bool horizontalPosition(LayoutAttribute a) {
  return a == LayoutAttribute::Left || a == LayoutAttribute::Right || a == LayoutAttribute::Leading ||
         a == LayoutAttribute::Trailing || a == LayoutAttribute::CenterX;
}

solver::Relation toSolver(LayoutRelation r) {
  switch (r) {
    case LayoutRelation::LessThanOrEqual: return solver::Relation::LessOrEqual;
    case LayoutRelation::GreaterThanOrEqual: return solver::Relation::GreaterOrEqual;
    default: return solver::Relation::Equal;
  }
}

solver::Strength strengthOf(double priority) {
  return solver::Strength::withPriority(std::clamp(priority, 1e-3, 1000.0));
}

// Time spent in the engine and in its solver (Stats' seconds), added up in
// benchmark builds only (QV450_ENGINE_TIMING, which bench/CMakeLists.txt
// defines); elsewhere it reads no clock and compiles to nothing.
class Stopwatch {
public:
#ifdef QV450_ENGINE_TIMING
  explicit Stopwatch(double& total) : total_(total), start_(std::chrono::steady_clock::now()) {}
  ~Stopwatch() { total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

private:
  double& total_;
  std::chrono::steady_clock::time_point start_;
#else
  explicit Stopwatch(double&) {}
#endif
};

// The solver, its calls timed by a Stopwatch.
class TimedSolver {
public:
  explicit TimedSolver(double& seconds) : seconds_(seconds) {}
  solver::Result addConstraint(const solver::Constraint& c) {
    Stopwatch t(seconds_);
    return s_.addConstraint(c);
  }
  solver::Result removeConstraint(const solver::Constraint& c) {
    Stopwatch t(seconds_);
    return s_.removeConstraint(c);
  }
  solver::Result setConstant(const solver::Constraint& c, double constant) {
    Stopwatch t(seconds_);
    return s_.setConstant(c, constant);
  }
  solver::Result addEditVariable(const solver::Variable& v, solver::Strength strength) {
    Stopwatch t(seconds_);
    return s_.addEditVariable(v, strength);
  }
  solver::Result removeEditVariable(const solver::Variable& v) {
    Stopwatch t(seconds_);
    return s_.removeEditVariable(v);
  }
  solver::Result suggestValue(const solver::Variable& v, double value) {
    Stopwatch t(seconds_);
    return s_.suggestValue(v, value);
  }
  void updateVariables() {
    Stopwatch t(seconds_);
    s_.updateVariables();
  }
  solver::Solver::Counts counts() const { return s_.counts(); }

private:
  double& seconds_;
  solver::Solver s_;
};

}  // namespace

struct ConstraintEngine::System {
  struct Intrinsic {
    std::optional<solver::Constraint> hug, compress;
    double value = NoIntrinsicMetric;
    float hugPriority = 0, compressPriority = 0;
  };
  struct Vars {
    std::weak_ptr<View> view;
    solver::Variable v[4];  // x, y, width, height
    bool pinned = false;    // held at its frame (translates its mask, or the root)
    bool edits = false;
    double suggested[4] = {0, 0, 0, 0};
    Rect applied = Rect::null();
    const View* superview = nullptr;
    bool translates = true;
    int depth = 0;
    bool used = false;
    bool conflictLogged = false;
    Intrinsic intrinsic[2];
  };
  struct Signature {
    const View* first = nullptr;
    const View* second = nullptr;
    const View* ancestor = nullptr;
    std::vector<const View*> chain;
    LayoutAttribute a1{}, a2{};
    LayoutRelation relation{};
    double multiplier = 1;
    double baseline1 = 0, baseline2 = 0;  // baseline offsets read
    friend bool operator==(const Signature&, const Signature&) = default;
  };
  struct Record {
    std::weak_ptr<LayoutConstraint> c;
    Signature sig;
    float priority = 1000;
    double constant = 0;
    double k0 = 0;  // the solver constant without the layout constant
    std::optional<solver::Constraint> held;
    bool logged = false;
    bool conflict = false;  // refused by the solver; tried again at each walk
    bool used = false;
    size_t position = 0;  // place in the order of adding at the last walk
  };

  ConstraintEngine::Stats stats;
  TimedSolver solver{stats.solverSeconds};
  std::weak_ptr<View> root;
  std::map<const View*, Vars> vars;
  std::map<const LayoutConstraint*, Record> records;
  std::vector<const Vars*> applyOrder;
  std::vector<std::weak_ptr<View>> dirtyViews;
  std::vector<std::weak_ptr<LayoutConstraint>> dirtyConstraints;
  bool structural = true;
  bool dirty = true;

  // ---- variables of views

  Vars& varsFor(View& v) {
    auto it = vars.find(&v);
    if (it != vars.end() && it->second.view.expired()) {
      dropVars(it->second);
      vars.erase(it);
      it = vars.end();
    }
    if (it == vars.end()) {
      Vars n;
      n.view = std::static_pointer_cast<View>(v.shared_from_this());
      const char* names[4] = {"x", "y", "w", "h"};
      for (int i = 0; i < 4; ++i) n.v[i] = solver::Variable(v.className() + "." + names[i]);
      it = vars.emplace(&v, std::move(n)).first;
    }
    it->second.used = true;
    return it->second;
  }

  void suggest(Vars& vv, const Rect& r) {
    const double values[4] = {r.origin.x, r.origin.y, r.size.width, r.size.height};
    for (int i = 0; i < 4; ++i) {
      if (vv.suggested[i] == values[i] && vv.edits) continue;
      vv.suggested[i] = values[i];
      if (solver.suggestValue(vv.v[i], values[i]) == solver::Result::Ok) ++stats.suggestions;
    }
  }

  void setEdits(Vars& vv, View& view, bool pinned) {
    if (vv.edits && vv.pinned == pinned) return;
    if (vv.edits)
      for (auto& x : vv.v) solver.removeEditVariable(x);
    vv.pinned = pinned;
    for (auto& x : vv.v) {
      solver.addEditVariable(x, strengthOf(pinned ? kPinPriority : kStayPriority));
      ++stats.constraintsAdded;
    }
    vv.edits = true;
    for (int i = 0; i < 4; ++i) vv.suggested[i] = std::nan("");
    suggest(vv, visualFrame(view));
    vv.applied = Rect::null();
  }

  void dropIntrinsic(Intrinsic& in) {
    for (auto* c : {&in.hug, &in.compress})
      if (*c) {
        solver.removeConstraint(**c);
        ++stats.constraintsRemoved;
        c->reset();
      }
    in.value = NoIntrinsicMetric;
  }

  void dropVars(Vars& vv) {
    if (vv.edits)
      for (auto& x : vv.v) solver.removeEditVariable(x);
    vv.edits = false;
    dropIntrinsic(vv.intrinsic[0]);
    dropIntrinsic(vv.intrinsic[1]);
  }

  void updateIntrinsic(Vars& vv, View& view) {
    const bool wanted = !vv.pinned;
    const Size size = view.intrinsicContentSize();
    for (int axis = 0; axis < 2; ++axis) {
      Intrinsic& in = vv.intrinsic[axis];
      const double value = !wanted ? NoIntrinsicMetric : axis == 0 ? size.width : size.height;
      const auto o = LayoutConstraintOrientation(axis);
      const float hug = view.contentHuggingPriority(o), compress = view.contentCompressionResistancePriority(o);
      if (value < 0 || !std::isfinite(value)) {
        dropIntrinsic(in);
        continue;
      }
      if (in.hug && in.hugPriority == hug && in.compressPriority == compress) {
        if (in.value != value) {
          solver.setConstant(*in.hug, -value);
          solver.setConstant(*in.compress, -value);
          stats.constantUpdates += 2;
          in.value = value;
        }
        continue;
      }
      dropIntrinsic(in);
      const solver::Variable& length = vv.v[2 + axis];
      in.hug = solver::lessOrEqual(length, value, strengthOf(hug));
      in.compress = solver::greaterOrEqual(length, value, strengthOf(compress));
      for (auto* c : {&in.hug, &in.compress}) {
        if (solver.addConstraint(**c) != solver::Result::Ok) {
          fnd::log("Unable to simultaneously satisfy constraints: intrinsic %s %g of %s left out",
                   axis == 0 ? "width" : "height", value, view.description().c_str());
          c->reset();
        } else {
          ++stats.constraintsAdded;
        }
      }
      in.value = value;
      in.hugPriority = hug;
      in.compressPriority = compress;
    }
  }

  // ---- layout constraints

  // The expression of `a` of `v` in the bounds of `ancestor`, or nothing when
  // `v` is not inside `ancestor`.
  std::optional<solver::Expression> attributeExpr(View& v, LayoutAttribute a, View& ancestor,
                                                  std::vector<const View*>& chain, bool build) {
    solver::Expression ox, oy;
    for (View* p = &v; p != &ancestor; p = p->superview()) {
      if (!p) return std::nullopt;
      chain.push_back(p);
      if (build) {
        Vars& pv = varsFor(*p);
        ox += pv.v[0];
        oy += pv.v[1];
      }
    }
    if (!build) return solver::Expression();
    Vars& vv = varsFor(v);
    const solver::Expression w = vv.v[2], h = vv.v[3];
    switch (a) {
      case LayoutAttribute::Left:
      case LayoutAttribute::Leading: return ox;
      case LayoutAttribute::Right:
      case LayoutAttribute::Trailing: return ox + w;
      case LayoutAttribute::Top: return oy;
      case LayoutAttribute::Bottom: return oy + h;
      case LayoutAttribute::CenterX: return ox + w * 0.5;
      case LayoutAttribute::CenterY: return oy + h * 0.5;
      case LayoutAttribute::Width: return w;
      case LayoutAttribute::Height: return h;
      case LayoutAttribute::Baseline: return oy + h - v.baselineOffsetFromBottom();
      default: return std::nullopt;
    }
  }

  // Why the constraint cannot take part, or null.
  static const char* fault(const LayoutConstraint& c, View* holder) {
    auto first = c.firstItem();
    auto second = c.secondItem();
    const LayoutAttribute a1 = c.firstAttribute(), a2 = c.secondAttribute();
    const long n1 = long(a1), n2 = long(a2);
    if (!first) return c.hasLostItem() ? "its first item has gone" : "it has no first item";
    if (c.hasLostItem()) return "its second item has gone";
    if (n1 < 1 || n1 > 11) return "its first attribute is not an attribute";
    if (second && (n2 < 1 || n2 > 11)) return "its second attribute is not an attribute";
    if (!second && n2 != 0) return "it names a second attribute but no second item";
    if (!second && !isSizeAttribute(a1)) return "it relates a position to a constant";
    if (second && isSizeAttribute(a1) != isSizeAttribute(a2)) return "it relates a size to a position";
    if (second && !isSizeAttribute(a1) && horizontalPosition(a1) != horizontalPosition(a2))
      return "it relates a horizontal position to a vertical one";
    if (!std::isfinite(c.multiplier()) || !std::isfinite(c.constant())) return "its multiplier or constant is not finite";
    View* ancestor = second ? first->ancestorSharedWith(second.get()) : first.get();
    if (!ancestor) return "its items have no common ancestor";
    if (holder && holder != ancestor && !ancestor->isDescendantOf(holder))
      return "it is held by a view that does not contain its items";
    return nullptr;
  }

  void logRefusal(Record& r, const LayoutConstraint& c, const char* why) {
    if (r.logged) return;
    r.logged = true;
    fnd::log("Layout constraint left out, %s: %s", why, c.description().c_str());
  }

  void logConflict(Record& r, const LayoutConstraint& c) {
    if (r.logged) return;
    r.logged = true;
    std::string others;
    for (auto& [key, o] : records) {
      auto oc = o.c.lock();
      if (!oc || key == &c || !o.held) continue;
      const View* items[2] = {o.sig.first, o.sig.second};
      if (std::find(std::begin(items), std::end(items), r.sig.first) != std::end(items) ||
          (r.sig.second && std::find(std::begin(items), std::end(items), r.sig.second) != std::end(items)))
        others += "\n    " + oc->description();
    }
    fnd::log("Unable to simultaneously satisfy constraints. Left out:\n    %s\n  Held constraints of the same views:%s",
             c.description().c_str(), others.c_str());
  }

  void removeHeld(Record& r) {
    if (!r.held) return;
    solver.removeConstraint(*r.held);
    ++stats.constraintsRemoved;
    r.held.reset();
  }

  // Builds the record's solver constraint and adds it; logs when it cannot.
  void addRecord(Record& r, LayoutConstraint& c) {
    View* holder = c.holder().get();
    if (const char* why = fault(c, holder)) {
      logRefusal(r, c, why);
      return;
    }
    auto first = c.firstItem();
    auto second = c.secondItem();
    View* ancestor = second ? first->ancestorSharedWith(second.get()) : first.get();
    std::vector<const View*> chain;
    auto lhs = attributeExpr(*first, c.firstAttribute(), *ancestor, chain, true);
    solver::Expression rhs = c.constant();
    double rhsConstant = 0;
    if (second) {
      auto e = attributeExpr(*second, c.secondAttribute(), *ancestor, chain, true);
      if (!e) {
        logRefusal(r, c, "its items have no common ancestor");
        return;
      }
      rhsConstant = e->constant();
      rhs += *e * c.multiplier();
    }
    if (!lhs) {
      logRefusal(r, c, "its items have no common ancestor");
      return;
    }
    r.k0 = lhs->constant() - c.multiplier() * rhsConstant;
    solver::Constraint sc(*lhs, toSolver(c.relation()), rhs, strengthOf(c.priority()));
    r.priority = c.priority();
    r.constant = c.constant();
    const solver::Result res = solver.addConstraint(sc);
    r.conflict = false;
    if (res == solver::Result::Ok) {
      r.held = sc;
      r.logged = false;
      ++stats.constraintsAdded;
    } else if (res == solver::Result::Unsatisfiable) {
      r.conflict = true;
      logConflict(r, c);
    } else {
      logRefusal(r, c, solver::describe(res));
    }
  }

  Signature signatureOf(LayoutConstraint& c) {
    Signature s;
    auto first = c.firstItem();
    auto second = c.secondItem();
    s.first = first.get();
    s.second = second.get();
    s.a1 = c.firstAttribute();
    s.a2 = c.secondAttribute();
    s.relation = c.relation();
    s.multiplier = c.multiplier();
    if (first) {
      View* ancestor = second ? first->ancestorSharedWith(second.get()) : first.get();
      s.ancestor = ancestor;
      if (ancestor) {
        attributeExpr(*first, s.a1, *ancestor, s.chain, false);
        s.chain.push_back(nullptr);
        if (second) attributeExpr(*second, s.a2, *ancestor, s.chain, false);
      }
      if (s.a1 == LayoutAttribute::Baseline) s.baseline1 = first->baselineOffsetFromBottom();
      if (second && s.a2 == LayoutAttribute::Baseline) s.baseline2 = second->baselineOffsetFromBottom();
    }
    return s;
  }

  // Brings one record up to date with its constraint.
  void sync(Record& r, LayoutConstraint& c) {
    Signature sig = signatureOf(c);
    if (r.held && sig == r.sig && r.priority == c.priority()) {
      if (r.constant != c.constant()) {
        const solver::Result res =
            std::isfinite(c.constant()) ? solver.setConstant(*r.held, r.k0 - c.constant()) : solver::Result::BadConstraint;
        r.constant = c.constant();
        if (res == solver::Result::Ok) {
          ++stats.constantUpdates;
        } else if (res == solver::Result::Unsatisfiable) {
          // Out with the new constant, as a conflicting constraint; tried
          // again when the constraints change.
          removeHeld(r);
          r.conflict = true;
          r.logged = false;
          logConflict(r, c);
        } else {
          removeHeld(r);
          r.logged = false;
          logRefusal(r, c, solver::describe(res));
        }
      }
      return;
    }
    if (!r.held && !r.conflict && sig == r.sig && r.logged && r.priority == c.priority() &&
        r.constant == c.constant())
      return;
    removeHeld(r);
    if (!(sig == r.sig)) r.logged = false;
    r.sig = sig;
    addRecord(r, c);
  }

  // ---- passes

  // The tree as a walk finds it: the constraints its views hold, in the
  // order they go into the solver, the views' tree order, and the views
  // below the root that do not translate their masks.
  struct Scan {
    std::vector<std::shared_ptr<LayoutConstraint>> constraints;
    std::unordered_map<const View*, size_t> treeOrder;
    std::vector<View*> unpinned;
    size_t rank(const View* v) const {
      auto it = treeOrder.find(v);
      return it == treeOrder.end() ? treeOrder.size() : it->second;
    }
  };

  static Scan scan(View& rootView) {
    Scan tree;
    std::vector<View*> stack{&rootView};
    while (!stack.empty()) {
      View* v = stack.back();
      stack.pop_back();
      tree.treeOrder.emplace(v, tree.treeOrder.size());
      if (v != &rootView && !v->translatesAutoresizingMaskIntoConstraints()) tree.unpinned.push_back(v);
      for (auto& c : v->constraints()) tree.constraints.push_back(c);
      for (auto it = v->subviews().rbegin(); it != v->subviews().rend(); ++it) stack.push_back(it->get());
    }
    // Each view's constraints together, the views in tree order (within a
    // view: its holders in tree order, each holder's in the order added). A
    // row stated view by view then grows its rows one view at a time; taken
    // holder by holder, every view's own sizes would come after all the
    // positions and be worked into all of them again.
    std::vector<std::pair<size_t, std::shared_ptr<LayoutConstraint>>> ranked;
    ranked.reserve(tree.constraints.size());
    for (auto& c : tree.constraints) {
      const size_t rank = tree.rank(c->firstItem().get());
      ranked.emplace_back(rank, std::move(c));
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < ranked.size(); ++i) tree.constraints[i] = std::move(ranked[i].second);
    return tree;
  }

  // The records of the constraints found, made where new, in their order.
  std::vector<Record*> recordsFor(const std::vector<std::shared_ptr<LayoutConstraint>>& found) {
    std::vector<Record*> live;
    live.reserve(found.size());
    for (size_t i = 0; i < found.size(); ++i) {
      const auto& c = found[i];
      auto [it, made] = records.try_emplace(c.get());
      Record& r = it->second;
      if (!made && r.c.lock() != c) {  // a dead constraint's address, reused
        removeHeld(r);
        r = Record();
      }
      if (made || r.c.expired()) r.c = c;
      r.used = true;
      r.position = i;
      live.push_back(&r);
    }
    return live;
  }

  // The records no constraint of the tree uses any more, out of the solver:
  // the last stated first, the reverse of the order they came in, so that a
  // view taken out of a row splits the row once and its own constraints
  // then go from short rows.
  void removeGoneRecords() {
    std::vector<std::pair<size_t, const LayoutConstraint*>> gone;
    for (auto& [key, r] : records)
      if (!r.used) gone.emplace_back(r.position, key);
    std::sort(gone.begin(), gone.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (auto& [p, key] : gone) {
      auto it = records.find(key);
      removeHeld(it->second);
      records.erase(it);
    }
  }

  // Each record up to date with its constraint; the views a held one names
  // (and the views on the way to their common ancestor) take part.
  void syncRecords(const std::vector<Record*>& live) {
    for (Record* r : live) {
      auto c = r->c.lock();
      sync(*r, *c);
      if (r->held) {
        if (r->sig.first) varsFor(*const_cast<View*>(r->sig.first));
        for (const View* p : r->sig.chain)
          if (p) varsFor(*const_cast<View*>(p));
        if (r->sig.ancestor) varsFor(*const_cast<View*>(r->sig.ancestor));
      }
    }
  }

  // Views that take no part any more, out of the solver; the others, in tree
  // order.
  std::vector<Vars*> keepUsedVars(const Scan& tree) {
    std::vector<std::pair<size_t, Vars*>> kept;
    for (auto it = vars.begin(); it != vars.end();) {
      Vars& vv = it->second;
      if (!vv.used || vv.view.expired()) {
        dropVars(vv);
        it = vars.erase(it);
      } else {
        kept.emplace_back(tree.rank(it->first), &vv);
        ++it;
      }
    }
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Vars*> out;
    out.reserve(kept.size());
    for (auto& [rank, vv] : kept) out.push_back(vv);
    return out;
  }

  // The holds of the views that take part (pinned or weakest), their
  // intrinsic sizes, and the order their frames are set in: superviews first.
  void holdViews(View& rootView, const std::vector<Vars*>& kept) {
    applyOrder.clear();
    for (Vars* vp : kept) {
      Vars& vv = *vp;
      auto view = vv.view.lock();
      const bool pinned = view.get() == &rootView || view->translatesAutoresizingMaskIntoConstraints();
      setEdits(vv, *view, pinned);
      vv.superview = view->superview();
      vv.translates = view->translatesAutoresizingMaskIntoConstraints();
      vv.depth = depthOf(view.get());
      if (pinned) suggest(vv, visualFrame(*view));
      updateIntrinsic(vv, *view);
      if (!pinned) applyOrder.push_back(&vv);
    }
    std::stable_sort(applyOrder.begin(), applyOrder.end(),
                     [](const Vars* a, const Vars* b) { return a->depth < b->depth; });
  }

  // The whole tree again: its constraints and views into the solver as they
  // are now, what left it out, and what did not change kept as it is.
  void walk(View& rootView) {
    ++stats.walks;
    for (auto& [k, v] : vars) v.used = false;
    for (auto& [k, r] : records) r.used = false;
    const Scan tree = scan(rootView);
    varsFor(rootView);
    for (View* v : tree.unpinned) varsFor(*v);
    const std::vector<Record*> live = recordsFor(tree.constraints);
    // Out first, so that a constraint refused for a conflict can come in.
    removeGoneRecords();
    syncRecords(live);
    holdViews(rootView, keepUsedVars(tree));
  }

  // Applies value changes; false when the tree changed and a walk is needed.
  bool update(View& rootView) {
    for (auto& w : dirtyViews) {
      auto view = w.lock();
      if (!view) return false;
      auto it = vars.find(view.get());
      if (it == vars.end()) return false;
      Vars& vv = it->second;
      if (vv.superview != view->superview() || vv.translates != view->translatesAutoresizingMaskIntoConstraints() ||
          rootOf(*view) != &rootView)
        return false;
      if (!vv.pinned) {
        const Rect now = visualFrame(*view);
        if (!vv.applied.isNull() && !sameRect(now, vv.applied)) suggest(vv, now);  // set from outside
      }
      updateIntrinsic(vv, *view);
    }
    for (auto& w : dirtyConstraints) {
      auto c = w.lock();
      if (!c) continue;
      auto it = records.find(c.get());
      if (it == records.end() || it->second.c.lock() != c) return false;
      if (c->holder() == nullptr || rootOf(*c->holder()) != &rootView) return false;
      if (!(signatureOf(*c) == it->second.sig)) return false;
      sync(it->second, *c);
    }
    // Frames of pinned views move with their superviews' sizes.
    for (auto& [k, vv] : vars)
      if (vv.pinned)
        if (auto view = vv.view.lock()) suggest(vv, visualFrame(*view));
    return true;
  }

  void apply() {
    for (const Vars* cvv : applyOrder) {
      Vars& vv = const_cast<Vars&>(*cvv);
      auto view = vv.view.lock();
      if (!view || !view->superview()) continue;
      double x = vv.v[0].value(), y = vv.v[1].value(), w = vv.v[2].value(), h = vv.v[3].value();
      if (w < 0 || h < 0) {
        fnd::log("Constraint engine: negative size %g x %g of %s taken as 0", w, h, view->description().c_str());
        w = std::max(0.0, w);
        h = std::max(0.0, h);
      }
      const View* s = view->superview();
      const Rect b = s->bounds();
      const double fy = s->isFlipped() ? b.origin.y + y : b.origin.y + b.size.height - y - h;
      view->setFrameFromEngine(Rect(b.origin.x + x, fy, w, h));
      vv.applied = visualFrame(*view);
      // The weakest hold is on the frame the view has now, so a view that
      // loses the constraints deciding it stays where it is, as it would in
      // a system made afresh.
      suggest(vv, vv.applied);
    }
  }

  // After a solve: did a pinned frame give way to a required constraint, or
  // did a frame move under a pinned view (a superview resized)?
  bool checkPins() {
    bool again = false;
    for (auto& [k, vv] : vars) {
      if (!vv.pinned) continue;
      auto view = vv.view.lock();
      if (!view) continue;
      bool off = false;
      for (int i = 0; i < 4; ++i) off = off || std::fabs(vv.v[i].value() - vv.suggested[i]) > 0.5;
      if (off && !vv.conflictLogged) {
        vv.conflictLogged = true;
        fnd::log("Unable to simultaneously satisfy constraints: required constraints move %s away from the frame "
                 "its autoresizing mask gives it",
                 view->description().c_str());
      }
      if (!off) vv.conflictLogged = false;
      const Rect now = visualFrame(*view);
      if (!sameRect(now, Rect(vv.suggested[0], vv.suggested[1], vv.suggested[2], vv.suggested[3]))) again = true;
    }
    return again;
  }

  void run(View& rootView) {
    Stopwatch t(stats.engineSeconds);
    if (structural || !update(rootView)) walk(rootView);
    structural = false;
    dirty = false;
    dirtyViews.clear();
    dirtyConstraints.clear();
    solver.updateVariables();
    apply();  // may mark views dirty again (autoresized neighbours)
    if (checkPins()) dirty = true;
    stats.held = stats.refused = 0;
    for (auto& [k, r] : records) ++(r.held ? stats.held : stats.refused);
  }
};

ConstraintEngine::ConstraintEngine() = default;
ConstraintEngine::~ConstraintEngine() = default;

std::shared_ptr<ConstraintEngine> ConstraintEngine::shared() {
  static std::weak_ptr<ConstraintEngine> made;
  auto engine = made.lock();
  if (!engine) {
    engine = std::make_shared<ConstraintEngine>();
    made = engine;
  }
  if (layoutEngineHooks() == nullptr) setLayoutEngineHooks(engine);
  return engine;
}

ConstraintEngine::System* ConstraintEngine::systemFor(View& root) const {
  auto it = systems_.find(&root);
  if (it == systems_.end()) return nullptr;
  auto held = it->second->root.lock();
  return held.get() == &root ? it->second.get() : nullptr;
}

bool ConstraintEngine::needsSolve(View& root) {
  if (System* s = systemFor(root)) return s->dirty;
  return pendingRoots_.count(&root) != 0;
}

void ConstraintEngine::solve(View& root) {
  pendingRoots_.erase(&root);
  // Systems of trees that went while another engine was installed.
  for (auto it = systems_.begin(); it != systems_.end();) {
    if (it->second->root.expired()) it = systems_.erase(it);
    else ++it;
  }
  // The root outlives the pass, whatever the views' frame changes do.
  const auto keep = std::static_pointer_cast<View>(root.shared_from_this());
  System* s = systemFor(root);
  if (!s) {
    systems_.erase(&root);
    auto made = std::make_unique<System>();
    made->root = keep;
    s = made.get();
    systems_.emplace(&root, std::move(made));
    ++s->stats.systemsMade;
  }
  s->run(root);
}

void ConstraintEngine::viewDidChange(View& view) {
  // A tree that had a system of its own went into another tree.
  if (view.superview())
    if (auto it = systems_.find(&view); it != systems_.end()) systems_.erase(it);
  View* root = rootOf(view);
  System* s = systemFor(*root);
  if (!s) {
    if (relevantSubtree(view)) pendingRoots_.insert(root);
    return;
  }
  auto it = s->vars.find(&view);
  if (it != s->vars.end() && !it->second.view.expired()) {
    s->dirtyViews.push_back(it->second.view);
    s->dirty = true;
  } else if (relevantSubtree(view)) {
    s->structural = s->dirty = true;
  } else {
    return;
  }
  if (Window* w = view.window()) w->setNeedsLayoutPass();
}

void ConstraintEngine::viewWillBeDestroyed(const View& view) {
  systems_.erase(&view);
  pendingRoots_.erase(&view);
}

void ConstraintEngine::constraintDidChange(LayoutConstraint& c, bool structural) {
  auto holder = c.holder();
  if (!holder) return;
  View* root = rootOf(*holder);
  System* s = systemFor(*root);
  if (!s) {
    pendingRoots_.insert(root);
  } else if (structural || !s->records.count(&c)) {
    s->structural = s->dirty = true;
  } else {
    s->dirtyConstraints.push_back(std::static_pointer_cast<LayoutConstraint>(c.shared_from_this()));
    s->dirty = true;
  }
  if (Window* w = holder->window()) w->setNeedsLayoutPass();
}

void ConstraintEngine::invalidate(View& root) {
  systems_.erase(&root);
  pendingRoots_.insert(&root);
  if (Window* w = root.window()) w->setNeedsLayoutPass();
}

ConstraintEngine::Stats ConstraintEngine::stats(View& root) const {
  System* s = systemFor(root);
  if (!s) return Stats();
  Stats out = s->stats;
  out.views = s->vars.size();
  const solver::Solver::Counts n = s->solver.counts();
  out.solverRows = n.rows;
  out.solverCells = n.cells;
  out.pivots = n.pivots;
  return out;
}

}  // namespace ui
