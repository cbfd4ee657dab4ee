#include "platform/solver/Solver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/solver/FlatMap.h"
#include "platform/solver/Row.h"

namespace solver {

namespace {

// Symbols of the tableau: a serial number with the kind in the low three bits.
enum Kind : uint32_t {
  External = 1,    // a Variable, unrestricted in sign
  Slack = 2,       // >= 0, turns an inequality into an equation
  Error = 3,       // >= 0, the error of an optional constraint, in the objective
  Dummy = 4,       // fixed at 0, marks a required equation so it can be found again
  Artificial = 5,  // >= 0, only while a required constraint looks for a feasible row
};

Kind kindOf(Key k) { return static_cast<Kind>(k & 7u); }
bool pivotable(Key k) { return kindOf(k) == Slack || kindOf(k) == Error; }
bool restrictedRow(Key basic) { return kindOf(basic) != External; }

// A pivot element must be larger than this.
constexpr double kPivotEpsilon = 1e-9;
// Row constants (values) nearer to zero than this count as zero.
constexpr double kValueEpsilon = 1e-8;
// Objective coefficients at one priority count as zero under this times the
// largest weight used at that priority.
constexpr double kObjectiveEpsilon = 1e-9;

bool nearZero(double v) { return std::fabs(v) < kValueEpsilon; }

char kindLetter(Key k) {
  switch (kindOf(k)) {
    case External: return 'v';
    case Slack: return 's';
    case Error: return 'e';
    case Dummy: return 'd';
    case Artificial: return 'a';
  }
  return '?';
}

}  // namespace

const char* describe(Result result) {
  switch (result) {
    case Result::Ok: return "ok";
    case Result::Unsatisfiable: return "unsatisfiable required constraint";
    case Result::Duplicate: return "duplicate";
    case Result::Unknown: return "unknown";
    case Result::BadConstraint: return "constraint with a non-finite number or an invalid strength";
    case Result::RequiredEdit: return "edit variable with a required strength";
  }
  return "?";
}

struct Solver::Impl {
  struct ConstraintRecord {
    Constraint constraint;
    Key marker = 0;
    Key other = 0;
    // The row was negated (-1) to make its constant non-negative.
    double sign = 1.0;
    // Coefficient of the marker in the row as first entered.
    double markerCoefficient = 1.0;
  };
  struct VariableRecord {
    Variable variable;
    Key key;
    int uses;
  };
  // One objective row per priority in use.
  struct Level {
    double priority;
    double largestWeight;
    int uses;
    Row row;
  };

  std::unordered_map<const void*, ConstraintRecord> constraints;
  std::unordered_map<const void*, VariableRecord> variables;
  std::unordered_map<const void*, Constraint> edits;
  // Everything the tableau knows of a symbol, found by its serial number:
  // its row when it is basic, and the basics whose rows hold it. The column
  // is kept loosely: an entry is added when the symbol appears in a row and
  // not taken out when it leaves, so readers skip rows that no longer hold
  // it (and repeats); it is compacted when it has doubled.
  struct Slot {
    Key key = 0;
    bool basic = false;
    uint32_t stamp = 0;
    uint32_t compactAt = kFirstCompaction;
    Row row;
    std::vector<Key> column;
  };
  static constexpr uint32_t kFirstCompaction = 16;
  uint32_t epoch = 0;
  // In chunks of fixed size: references stay valid while the table grows.
  static constexpr uint32_t kChunkBits = 10;
  std::vector<std::unique_ptr<Slot[]>> chunks;
  uint32_t slotCount = 0;
  std::vector<uint32_t> freeSerials;
  size_t rowCount = 0;
  std::vector<Level> levels;  // highest priority first
  // Symbols whose objective coefficients changed since they were last seen
  // not to improve it: the only ones that can enter in the primal simplex.
  FlatMap<uint8_t> dirty;
  // The dual simplex keeps the objective optimal: it needs no dirty marks.
  bool inDual = false;
  std::vector<Key> infeasible;

  // While a required constraint is tried with an artificial variable: the
  // artificial objective, the rows as they were before (to put back if the
  // constraint is refused), and the symbols that entered the basis, which the
  // real objective takes in only when the constraint is accepted.
  std::optional<Row> artificialObjective;
  bool journaling = false;
  std::unordered_map<Key, std::optional<Row>> journal;
  bool deferObjective = false;
  std::vector<Key> entered;

  size_t pivots = 0;
  std::vector<Key> scratch;
  std::vector<double> ratios;
  std::vector<double> bestRatios;

  // ---- symbols and variables

  Slot& slotAt(uint32_t serial) const { return chunks[serial >> kChunkBits][serial & ((1u << kChunkBits) - 1)]; }
  Slot& slot(Key k) { return slotAt(k >> 3); }
  const Slot& slot(Key k) const { return slotAt(k >> 3); }

  Key newSymbol(Kind kind) {
    uint32_t serial;
    if (freeSerials.empty()) {
      serial = slotCount++;
      if ((serial >> kChunkBits) == chunks.size()) chunks.push_back(std::make_unique<Slot[]>(size_t{1} << kChunkBits));
    } else {
      serial = freeSerials.back();
      freeSerials.pop_back();
    }
    const Key key = (serial << 3) | kind;
    slotAt(serial).key = key;
    return key;
  }

  // Gives a symbol no constraint uses any more back for reuse, when it has
  // really left the tableau.
  void freeSymbol(Key k) {
    Slot& sl = slot(k);
    if (sl.key != k || sl.basic || !compactColumn(k).empty()) return;
    for (Level& level : levels) level.row.take(k);
    sl.key = 0;
    freeSerials.push_back(k >> 3);
  }

  Key useVariable(const Variable& v) {
    auto [it, fresh] = variables.try_emplace(v.identity(), VariableRecord{v, 0, 0});
    if (fresh) it->second.key = newSymbol(External);
    ++it->second.uses;
    return it->second.key;
  }

  void releaseVariables(const Constraint& c) {
    for (const Term& t : c.expression().terms()) {
      auto it = variables.find(t.variable.identity());
      if (it != variables.end() && --it->second.uses == 0) {
        freeSymbol(it->second.key);
        variables.erase(it);
      }
    }
  }

  // ---- rows and the column index

  Row* rowOf(Key basic) {
    Slot& sl = slot(basic);
    return sl.basic && sl.key == basic ? &sl.row : nullptr;
  }
  const Row* rowOf(Key basic) const {
    const Slot& sl = slot(basic);
    return sl.basic && sl.key == basic ? &sl.row : nullptr;
  }
  Row& rowAt(Key basic) { return slot(basic).row; }

  template <class F>
  void forEachRow(F&& f) const {
    for (uint32_t i = 0; i < slotCount; ++i) {
      const Slot& sl = slotAt(i);
      if (sl.basic) f(sl.key, sl.row);
    }
  }

  void touch(Key basic) {
    if (!journaling || journal.count(basic)) return;
    const Row* row = rowOf(basic);
    journal.emplace(basic, row ? std::optional<Row>(*row) : std::nullopt);
  }

  void index(Key parameter, Key basic) {
    Slot& sl = slot(parameter);
    sl.column.push_back(basic);
    if (sl.column.size() > sl.compactAt) compactColumn(parameter);
  }

  // Drops the entries of rows that no longer hold the symbol, and repeats.
  std::vector<Key>& compactColumn(Key symbol) {
    Slot& sl = slot(symbol);
    ++epoch;
    std::erase_if(sl.column, [&](Key b) {
      const Row* row = rowOf(b);
      if (!row || !row->cells().contains(symbol)) return true;
      Slot& holder = slot(b);
      if (holder.stamp == epoch) return true;
      holder.stamp = epoch;
      return false;
    });
    sl.compactAt = std::max<uint32_t>(kFirstCompaction, 2 * static_cast<uint32_t>(sl.column.size()));
    return sl.column;
  }

  void putRow(Key basic, Row row) {
    touch(basic);
    Slot& sl = slot(basic);
    sl.row = std::move(row);
    sl.basic = true;
    ++rowCount;
    // Installed first: indexing may compact a column, which checks the rows.
    sl.row.cells().forEach([&](Key p, double) { index(p, basic); });
  }

  Row takeRow(Key basic) {
    touch(basic);
    Slot& sl = slot(basic);
    Row row = std::move(sl.row);
    sl.row = Row();
    sl.basic = false;
    --rowCount;
    return row;
  }

  std::vector<Key> basicsHolding(Key parameter) { return compactColumn(parameter); }

  void markDirty(const Row& expr) {
    expr.cells().forEach([&](Key k, double) { dirty.insert(k, 1); });
  }

  // Replaces symbol by expr in every row of the tableau.
  void substituteRows(Key symbol, const Row& expr) {
    Slot& sl = slot(symbol);
    if (sl.column.empty()) return;
    std::vector<Key> basics;
    basics.swap(sl.column);
    sl.compactAt = kFirstCompaction;
    for (Key b : basics) {
      Row* held = rowOf(b);
      if (!held) continue;
      if (journaling) {
        if (!held->cells().contains(symbol)) continue;
        touch(b);
      }
      Row& row = *held;
      const double c = row.take(symbol);
      if (c == 0.0) continue;  // left it, or a repeat
      row.add(expr, c, [&](Key p, bool present) {
        if (present) index(p, b);
      });
      if (pivotable(b) && row.constant() < -kValueEpsilon) infeasible.push_back(b);
    }
  }

  void substituteEverywhere(Key symbol, const Row& expr) {
    substituteRows(symbol, expr);
    if (artificialObjective) artificialObjective->substitute(symbol, expr);
    if (deferObjective) {
      entered.push_back(symbol);
    } else {
      for (Level& level : levels) {
        if (level.row.substitute(symbol, expr) && !inDual) markDirty(expr);
      }
    }
  }

  void markAllDirty() {
    for (const Level& level : levels) markDirty(level.row);
  }

  void pivot(Key entering, Key leaving) {
    ++pivots;
    Row row = takeRow(leaving);
    row.solveFor(leaving, entering);
    substituteEverywhere(entering, row);
    putRow(entering, std::move(row));
  }

  void restoreJournal() {
    journaling = false;
    for (auto& [basic, old] : journal) {
      if (rowOf(basic)) takeRow(basic);
      if (old) putRow(basic, std::move(*old));
    }
    journal.clear();
    infeasible.clear();
  }

  // ---- objective

  double tolerance(const Level& level) const { return kObjectiveEpsilon * level.largestWeight; }

  Level* findLevel(double priority) {
    for (Level& l : levels) {
      if (l.priority == priority) return &l;
    }
    return nullptr;
  }

  Level& useLevel(const Strength& s) {
    Level* level = findLevel(s.priority());
    if (!level) {
      auto at = std::find_if(levels.begin(), levels.end(), [&](const Level& l) { return l.priority < s.priority(); });
      level = &*levels.insert(at, Level{s.priority(), s.weight(), 0, Row()});
    }
    level->largestWeight = std::max(level->largestWeight, s.weight());
    ++level->uses;
    return *level;
  }

  void releaseLevel(double priority) {
    auto it = std::find_if(levels.begin(), levels.end(), [&](const Level& l) { return l.priority == priority; });
    if (it != levels.end() && --it->uses == 0) {
      markDirty(it->row);  // rounding left-overs: the lower priorities move up
      levels.erase(it);
    }
  }

  // A symbol whose increase lowers the objective: its first coefficient
  // above tolerance, highest priority first, is negative. Dantzig's choice
  // (most negative at the highest priority that has one); Bland's (lowest
  // symbol) once pivots stall, which cannot cycle. Only symbols whose
  // coefficients changed are looked at; those found not to improve the
  // objective are forgotten until they change again.
  Key enteringSymbol(bool bland) {
    Key best = 0;
    double bestCoefficient = 0;
    size_t bestLevel = levels.size();
    scratch.clear();
    dirty.forEach([&](Key k, uint8_t) { scratch.push_back(k); });
    for (Key k : scratch) {
      size_t lead = levels.size();
      double c = 0;
      if (kindOf(k) != Dummy && kindOf(k) != External && !rowOf(k)) {
        for (size_t l = 0; l < levels.size(); ++l) {
          c = levels[l].row.coefficient(k);
          if (std::fabs(c) > tolerance(levels[l])) {
            lead = l;
            break;
          }
        }
      }
      if (lead == levels.size() || c > 0) {
        dirty.erase(k);
        continue;
      }
      if (bland) {
        if (!best || k < best) best = k;
      } else if (!best || lead < bestLevel || (lead == bestLevel && (c < bestCoefficient || (c == bestCoefficient && k < best)))) {
        best = k;
        bestLevel = lead;
        bestCoefficient = c;
      }
    }
    return best;
  }

  Key enteringArtificial(bool bland) const {
    Key best = 0;
    double bestCoefficient = 0;
    artificialObjective->cells().forEach([&](Key k, double c) {
      if (c >= -kObjectiveEpsilon || kindOf(k) == Dummy || kindOf(k) == Artificial || kindOf(k) == External) return;
      if (bland) {
        if (!best || k < best) best = k;
      } else if (!best || c < bestCoefficient || (c == bestCoefficient && k < best)) {
        best = k;
        bestCoefficient = c;
      }
    });
    return best;
  }

  // The restricted row that limits the entering symbol first.
  std::pair<Key, double> leavingRow(Key entering) {
    Key best = 0;
    double bestRatio = std::numeric_limits<double>::infinity();
    for (Key b : slot(entering).column) {
      const Row* held = rowOf(b);
      if (!held || !restrictedRow(b)) continue;
      const Row& row = *held;
      const double c = row.coefficient(entering);
      if (c > -kPivotEpsilon) continue;
      const double ratio = std::max(0.0, -row.constant() / c);
      if (ratio < bestRatio || (ratio == bestRatio && b < best)) {
        best = b;
        bestRatio = ratio;
      }
    }
    return {best, bestRatio};
  }

  size_t pivotLimit() const { return 100 * (rowCount + 10); }

  // Primal simplex on the objective (or the artificial objective).
  void optimize(bool artificial) {
    size_t stalled = 0;
    bool bland = false;
    for (size_t i = 0, limit = pivotLimit(); i < limit; ++i) {
      const Key entering = artificial ? enteringArtificial(bland) : enteringSymbol(bland);
      if (!entering) break;
      const auto [leaving, ratio] = leavingRow(entering);
      if (!leaving) break;  // unbounded: cannot happen with errors bounded below
      if (ratio <= kValueEpsilon) {
        if (++stalled > 32) bland = true;
      } else {
        stalled = 0;
      }
      pivot(entering, leaving);
    }
    if (!artificial) infeasible.clear();
  }

  // The parameter of an infeasible row to bring in: lexicographically
  // smallest ratio of objective coefficient to row coefficient, so the
  // objective stays optimal.
  Key dualEntering(const Row& row) {
    Key best = 0;
    bestRatios.assign(levels.size(), 0.0);
    ratios.resize(levels.size());
    row.cells().forEach([&](Key k, double a) {
      if (a <= kPivotEpsilon || !pivotable(k)) return;
      for (size_t l = 0; l < levels.size(); ++l) ratios[l] = levels[l].row.coefficient(k) / a;
      bool better = !best;
      if (best) {
        bool decided = false;
        for (size_t l = 0; l < levels.size() && !decided; ++l) {
          const double diff = ratios[l] - bestRatios[l];
          if (diff < -tolerance(levels[l])) better = decided = true;
          else if (diff > tolerance(levels[l])) decided = true;
        }
        if (!decided) {
          // A tie: the symbol in fewer rows makes the cheaper pivot.
          const size_t mine = slot(k).column.size(), theirs = slot(best).column.size();
          better = mine < theirs || (mine == theirs && k < best);
        }
      }
      if (better) {
        best = k;
        bestRatios = ratios;
      }
    });
    return best;
  }

  // Dual simplex: makes the infeasible rows feasible again. False when one
  // cannot be, that is when required constraints conflict.
  bool dualOptimize() {
    inDual = true;
    const bool feasible = dualPivots();
    inDual = false;
    // Optimal again: nothing can improve the objective (when feasible).
    if (feasible) dirty.clear();
    else markAllDirty();
    return feasible;
  }

  bool dualPivots() {
    for (size_t i = 0, limit = pivotLimit(); !infeasible.empty() && i < limit; ++i) {
      // The most infeasible row first; rows made feasible meanwhile drop out.
      std::erase_if(infeasible, [&](Key b) {
        const Row* r = rowOf(b);
        return !r || r->constant() >= -kValueEpsilon;
      });
      if (infeasible.empty()) break;
      size_t pick = 0;
      for (size_t j = 1; j < infeasible.size(); ++j) {
        const double c = rowOf(infeasible[j])->constant(), worst = rowOf(infeasible[pick])->constant();
        if (c < worst || (c == worst && infeasible[j] < infeasible[pick])) pick = j;
      }
      const Key leaving = infeasible[pick];
      infeasible[pick] = infeasible.back();
      infeasible.pop_back();
      Row* row = rowOf(leaving);
      const Key entering = dualEntering(*row);
      if (!entering) return false;
      pivot(entering, leaving);
    }
    return infeasible.empty();
  }

  void collectInfeasible() {
    infeasible.clear();
    forEachRow([&](Key b, const Row& row) {
      if (pivotable(b) && row.constant() < -kValueEpsilon) infeasible.push_back(b);
    });
  }

  // ---- adding

  // The constraint as a row `0 = row` over the current parameters, with its
  // marker symbols and its errors in the objective.
  Row createRow(ConstraintRecord& rec) {
    const Constraint& c = rec.constraint;
    const Expression& e = c.expression();
    Row row(e.constant());
    for (const Term& t : e.terms()) {
      const Key k = useVariable(t.variable);
      if (const Row* basic = rowOf(k)) row.add(*basic, t.coefficient);
      else row.add(k, t.coefficient);
    }
    const Strength s = c.strength();
    switch (c.relation()) {
      case Relation::LessOrEqual:
      case Relation::GreaterOrEqual: {
        // e <= 0 as e + slack = 0; e >= 0 as e - slack = 0.
        const double sense = c.relation() == Relation::LessOrEqual ? 1.0 : -1.0;
        rec.marker = newSymbol(Slack);
        row.add(rec.marker, sense);
        if (!s.isRequired()) {
          rec.other = newSymbol(Error);
          row.add(rec.other, -sense);
          useLevel(s).row.add(rec.other, s.weight());
          dirty.insert(rec.other, 1);
        }
        break;
      }
      case Relation::Equal:
        if (s.isRequired()) {
          rec.marker = newSymbol(Dummy);
          row.add(rec.marker, 1.0);
        } else {
          // e = plus - minus.
          rec.marker = newSymbol(Error);
          rec.other = newSymbol(Error);
          row.add(rec.marker, -1.0);
          row.add(rec.other, 1.0);
          Level& level = useLevel(s);
          level.row.add(rec.marker, s.weight());
          level.row.add(rec.other, s.weight());
          dirty.insert(rec.marker, 1);
          dirty.insert(rec.other, 1);
        }
        break;
    }
    if (row.constant() < 0) {
      row.scale(-1.0);
      rec.sign = -1.0;
    }
    rec.markerCoefficient = row.coefficient(rec.marker);
    return row;
  }

  // A symbol the row can be solved for while keeping the tableau feasible:
  // any variable, else a new slack or error with a negative coefficient.
  Key chooseSubject(const Row& row, const ConstraintRecord& rec) const {
    Key external = 0;
    row.cells().forEach([&](Key k, double) {
      if (kindOf(k) == External && (!external || k < external)) external = k;
    });
    if (external) return external;
    if (pivotable(rec.marker) && row.coefficient(rec.marker) < 0) return rec.marker;
    if (rec.other && pivotable(rec.other) && row.coefficient(rec.other) < 0) return rec.other;
    return 0;
  }

  static bool onlyDummies(const Row& row) {
    bool only = true;
    row.cells().forEach([&](Key k, double) { only = only && kindOf(k) == Dummy; });
    return only;
  }

  // Adds the row with an artificial variable and minimises it; the row can
  // hold only if it reaches zero. When it does not, the tableau is put back
  // as it was.
  bool addWithArtificial(Row row) {
    const Key art = newSymbol(Artificial);
    journaling = true;
    journal.clear();
    deferObjective = true;
    entered.clear();
    artificialObjective = row;
    putRow(art, std::move(row));
    optimize(true);
    if (!nearZero(artificialObjective->constant())) {
      artificialObjective.reset();
      deferObjective = false;
      entered.clear();
      restoreJournal();
      freeSymbol(art);
      return false;
    }
    if (rowOf(art)) {
      Row r = takeRow(art);
      if (r.hasCells()) {
        Key entering = 0;
        r.cells().forEach([&](Key k, double) {
          if (pivotable(k) && (!entering || k < entering)) entering = k;
        });
        if (!entering) {
          r.cells().forEach([&](Key k, double) {
            if (!entering || k < entering) entering = k;
          });
          r.setConstant(0.0);  // only markers of required equations: exactly zero
        }
        r.solveFor(art, entering);
        substituteEverywhere(entering, r);
        putRow(entering, std::move(r));
      }
    }
    // The artificial variable is a parameter at zero now: drop it.
    for (Key b : basicsHolding(art)) {
      touch(b);
      rowAt(b).take(art);
    }
    slot(art).column.clear();
    artificialObjective.reset();
    journaling = false;
    journal.clear();
    deferObjective = false;
    for (Key s : entered) {
      if (const Row* r = rowOf(s)) {
        for (Level& level : levels) {
          if (level.row.substitute(s, *r)) markDirty(*r);
        }
      }
    }
    entered.clear();
    infeasible.clear();
    freeSymbol(art);
    return true;
  }

  Result add(const Constraint& c) {
    if (!c.expression().isFinite() || !c.strength().isValid()) return Result::BadConstraint;
    if (constraints.count(c.identity())) return Result::Duplicate;
    ConstraintRecord rec{c};
    Row row = createRow(rec);
    Key subject = chooseSubject(row, rec);
    if (!subject && onlyDummies(row)) {
      if (!nearZero(row.constant())) {
        releaseVariables(c);
        freeSymbol(rec.marker);
        return Result::Unsatisfiable;
      }
      subject = rec.marker;  // implied by the others: kept for removal
      row.setConstant(0.0);
    }
    if (subject) {
      row.solveFor(subject);
      substituteEverywhere(subject, row);
      putRow(subject, std::move(row));
    } else if (!addWithArtificial(std::move(row))) {
      releaseVariables(c);
      freeSymbol(rec.marker);
      return Result::Unsatisfiable;
    }
    constraints.emplace(c.identity(), std::move(rec));
    optimize(false);
    return Result::Ok;
  }

  // ---- removing

  // The row to pivot a marker into before its row is dropped: a row of a
  // required equation's marker (those hold only such markers), else the
  // restricted row that keeps the others feasible, else any row.
  Key markerLeavingRow(Key marker) {
    Key dummyRow = 0, first = 0, second = 0, third = 0;
    double firstRatio = std::numeric_limits<double>::infinity();
    double secondRatio = firstRatio;
    for (Key b : slot(marker).column) {
      const Row* held = rowOf(b);
      const double c = held ? held->coefficient(marker) : 0.0;
      if (c == 0.0) continue;
      const Row& row = *held;
      switch (kindOf(b)) {
        case Dummy:
          if (!dummyRow || b < dummyRow) dummyRow = b;
          break;
        case External:
          if (!third || b < third) third = b;
          break;
        default:
          if (c < 0) {
            const double r = -row.constant() / c;
            if (r < firstRatio || (r == firstRatio && b < first)) {
              first = b;
              firstRatio = r;
            }
          } else {
            const double r = row.constant() / c;
            if (r < secondRatio || (r == secondRatio && b < second)) {
              second = b;
              secondRatio = r;
            }
          }
      }
    }
    return dummyRow ? dummyRow : first ? first : second ? second : third;
  }

  // Takes a symbol that no constraint uses any more out of the tableau.
  void dropParameter(Key symbol) {
    if (rowOf(symbol)) return;
    for (Key b : basicsHolding(symbol)) rowAt(b).take(symbol);
    slot(symbol).column.clear();
    for (Level& level : levels) level.row.take(symbol);
  }

  Result remove(const Constraint& c) {
    auto it = constraints.find(c.identity());
    if (it == constraints.end()) return Result::Unknown;
    const ConstraintRecord rec = std::move(it->second);
    constraints.erase(it);
    const Strength s = c.strength();
    if (!s.isRequired()) {
      Level* level = findLevel(s.priority());
      for (Key err : {rec.marker, rec.other}) {
        if (kindOf(err) != Error) continue;
        if (const Row* r = rowOf(err)) {
          level->row.add(*r, -s.weight());
          markDirty(*r);
        } else {
          level->row.add(err, -s.weight());
          dirty.insert(err, 1);
        }
      }
    }
    if (!rowOf(rec.marker)) {
      if (const Key leaving = markerLeavingRow(rec.marker)) pivot(rec.marker, leaving);
    }
    if (rowOf(rec.marker)) takeRow(rec.marker);
    else dropParameter(rec.marker);
    freeSymbol(rec.marker);
    if (rec.other) {
      dropParameter(rec.other);
      freeSymbol(rec.other);
    }
    if (!s.isRequired()) releaseLevel(s.priority());
    releaseVariables(c);
    optimize(false);
    return Result::Ok;
  }

  // ---- constants

  // Moves the constant of a held constraint's expression by delta: in the
  // tableau, the marker takes the shift. False when a required equation
  // implied by the others would no longer hold.
  bool shift(const ConstraintRecord& rec, double delta) {
    const double d = rec.sign * delta / rec.markerCoefficient;
    bool consistent = true;
    auto check = [&](Key b, const Row& row) {
      if (kindOf(b) == Dummy && !nearZero(row.constant())) consistent = false;
      else if (pivotable(b) && row.constant() < -kValueEpsilon) infeasible.push_back(b);
    };
    if (Row* row = rowOf(rec.marker)) {
      row->addConstant(-d);
      check(rec.marker, *row);
      return consistent;
    }
    for (Key b : compactColumn(rec.marker)) {
      Row& row = rowAt(b);
      row.addConstant(row.coefficient(rec.marker) * d);
      check(b, row);
    }
    return consistent;
  }

  Result changeConstant(const ConstraintRecord& rec, double constant) {
    const double delta = constant - rec.constraint.expression().constant();
    if (delta == 0.0) return Result::Ok;
    infeasible.clear();
    if (shift(rec, delta) && dualOptimize()) {
      Solver::writeConstant(rec.constraint, constant);
      return Result::Ok;
    }
    shift(rec, -delta);
    collectInfeasible();
    if (!dualOptimize()) optimize(false);
    return Result::Unsatisfiable;
  }

  // ---- output

  std::string symbolName(Key k, const std::unordered_map<Key, const Variable*>& names) const {
    if (kindOf(k) == External) {
      auto it = names.find(k);
      if (it != names.end() && !it->second->name().empty()) return it->second->name();
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%c%u", kindLetter(k), k >> 3);
    return buf;
  }

  std::string rowText(const Row& row, const std::unordered_map<Key, const Variable*>& names) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", row.constant());
    std::string s = buf;
    std::vector<std::pair<Key, double>> cells;
    row.cells().forEach([&](Key k, double c) { cells.emplace_back(k, c); });
    std::sort(cells.begin(), cells.end());
    for (auto [k, c] : cells) {
      std::snprintf(buf, sizeof buf, " %s %g*", c < 0 ? "-" : "+", std::fabs(c));
      s += buf + symbolName(k, names);
    }
    return s;
  }
};

Solver::Solver() : impl_(std::make_unique<Impl>()) {}
Solver::~Solver() = default;

Result Solver::addConstraint(const Constraint& constraint) { return impl_->add(constraint); }

Result Solver::removeConstraint(const Constraint& constraint) {
  for (const auto& [id, c] : impl_->edits) {
    if (c.sameAs(constraint)) return Result::Unknown;  // taken out with removeEditVariable
  }
  return impl_->remove(constraint);
}

bool Solver::hasConstraint(const Constraint& constraint) const {
  return impl_->constraints.count(constraint.identity()) != 0;
}

size_t Solver::constraintCount() const { return impl_->constraints.size() - impl_->edits.size(); }

Result Solver::setConstant(const Constraint& constraint, double constant) {
  auto it = impl_->constraints.find(constraint.identity());
  if (it == impl_->constraints.end()) return Result::Unknown;
  if (!std::isfinite(constant)) return Result::BadConstraint;
  return impl_->changeConstant(it->second, constant);
}

Result Solver::addEditVariable(const Variable& variable, Strength strength) {
  if (!strength.isValid()) return Result::BadConstraint;
  if (strength.isRequired()) return Result::RequiredEdit;
  if (impl_->edits.count(variable.identity())) return Result::Duplicate;
  const double start = std::isfinite(variable.value()) ? variable.value() : 0.0;
  Constraint c = equal(variable, start, strength);
  const Result r = impl_->add(c);
  if (r == Result::Ok) impl_->edits.emplace(variable.identity(), c);
  return r;
}

Result Solver::removeEditVariable(const Variable& variable) {
  auto it = impl_->edits.find(variable.identity());
  if (it == impl_->edits.end()) return Result::Unknown;
  const Constraint c = it->second;
  impl_->edits.erase(it);
  return impl_->remove(c);
}

bool Solver::hasEditVariable(const Variable& variable) const {
  return impl_->edits.count(variable.identity()) != 0;
}

Result Solver::suggestValue(const Variable& variable, double value) {
  auto it = impl_->edits.find(variable.identity());
  if (it == impl_->edits.end()) return Result::Unknown;
  if (!std::isfinite(value)) return Result::BadConstraint;
  // The edit constraint is `variable - value == 0`.
  const Impl::ConstraintRecord& rec = impl_->constraints.at(it->second.identity());
  return impl_->changeConstant(rec, -value);
}

void Solver::updateVariables() {
  for (const auto& [id, rec] : impl_->variables) {
    const Row* row = impl_->rowOf(rec.key);
    const double v = row ? row->constant() : 0.0;
    write(rec.variable, v == 0.0 ? 0.0 : v);
  }
}

void Solver::reset() { impl_ = std::make_unique<Impl>(); }

Solver::Counts Solver::counts() const {
  Counts n;
  impl_->forEachRow([&](Key, const Row& row) {
    ++n.rows;
    n.cells += row.cells().size();
  });
  n.pivots = impl_->pivots;
  return n;
}

std::string Solver::dump() const {
  const Impl& d = *impl_;
  std::unordered_map<Key, const Variable*> names;
  for (const auto& [id, rec] : d.variables) names.emplace(rec.key, &rec.variable);
  std::string s = "constraints:\n";
  std::vector<const Impl::ConstraintRecord*> recs;
  for (const auto& [id, rec] : d.constraints) recs.push_back(&rec);
  std::sort(recs.begin(), recs.end(), [](auto* a, auto* b) { return a->marker < b->marker; });
  for (const auto* rec : recs) {
    s += "  " + rec->constraint.description() + "  [marker " + d.symbolName(rec->marker, names);
    if (rec->other) s += ", " + d.symbolName(rec->other, names);
    s += "]\n";
  }
  s += "objective:\n";
  for (const Impl::Level& level : d.levels) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "  priority %g: ", level.priority);
    s += buf + d.rowText(level.row, names) + "\n";
  }
  s += "rows:\n";
  std::vector<Key> basics;
  d.forEachRow([&](Key b, const Row&) { basics.push_back(b); });
  std::sort(basics.begin(), basics.end());
  for (Key b : basics) s += "  " + d.symbolName(b, names) + " = " + d.rowText(*d.rowOf(b), names) + "\n";
  return s;
}

}  // namespace solver
