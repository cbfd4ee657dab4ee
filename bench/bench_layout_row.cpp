// A long row of sibling views laid out with the layout language, through the
// whole layout machinery: views, language, engine and solver. Apart from
// bench_layout_solver, which measures the solver alone, because it needs the
// view layer.
//
// The row: N views in a shown window's content view, each stated with one
// lc_makeConstraints block as a screen would: its left at the previous
// view's right plus a gap (the first's at the content's left plus a lead),
// its top at the content's top, a fixed width and height.
//
// BM_Row/N (1,000, 2,000 and 4,000 views):
//   row_solve_ms      the views made, stated and laid out by the first layout
//                     pass (row_make_ms of it before the pass);
//   row_mb            the resident memory that adds (the engine keeps the
//                     system between passes: what the row costs while shown),
//                     measured once the row of the size before has wholly gone
//                     (the engine drops a window's system with its content
//                     view), so each size costs what it costs alone;
//                     goal at 2,000 views: at most 300;
//   row_remove_ratio  one view of the middle taken out of the row and the
//                     window laid out (its neighbour keeps its place, held by
//                     nothing but its frame), over the same view put back,
//                     stated again with its neighbour and laid out; medians of
//                     five, a different view each time (goal: at most 1).
//                     row_first_remove_ratio: the same for the first of them,
//                     which takes the row as the first pass made it;
//   row_engine_share  the solver's time over the constraint engine's time in
//                     the first pass (goal: at least 0.8), as the engine adds
//                     them up in a build with the benchmarks;
//   row_cells         the solver's tableau after the first pass (non-zero
//                     coefficients).
//
// BM_ChildrenDropped: a window with a row of 20 views; 3,000 more children
// made, each placed against the content view with the language, laid out and
// dropped (taken out of the window and let go). dropped_growth: a layout pass
// after one more such child comes and after it goes, median of 50, after the
// 3,000 over before them; dead_constraints: constraints the content view still
// holds that name a view no longer in the window.
//
// Runs offscreen. Counters only: nothing here passes or fails on time.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchQt.h"
#include "bench/BenchSupport.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ConstraintEngine.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLead = 4, kGap = 2, kTop = 10, kWidth = 8, kHeight = 20;
constexpr int kMoves = 5;

using bench::median;
using bench::residentMegabytes;
using bench::millis;

class FlippedView : public ui::View {
public:
  using View::View;
  bool isFlipped() const override { return true; }
};

struct Row {
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::View> content;
  std::vector<std::shared_ptr<ui::View>> views;
  double makeMs = 0;
};

// States view i of the row (its left from the view before it in `views`).
void state(Row& row, size_t i) {
  auto& v = row.views[i];
  auto content = row.content;
  std::shared_ptr<ui::View> prev = i > 0 ? row.views[i - 1] : nullptr;
  lc_makeConstraints(*v, [&](LCConstraintMaker& make) {
    if (prev) make.left().equalTo(lc_right(*prev)).offset(kGap);
    else make.left().equalTo(content).offset(kLead);
    make.top().equalTo(content).offset(kTop);
    make.width().equalTo(LCWrapTypedValue(kWidth));
    make.height().equalTo(LCWrapTypedValue(kHeight));
  });
}

Row makeRow(size_t n) {
  const Clock::time_point start = Clock::now();
  Row row;
  const double width = kLead + (kWidth + kGap) * double(n);
  row.window = ui::Window::create(ui::Rect(0, 0, width, 100));
  row.window->setContentView(ui::View::create<FlippedView>(ui::Rect(0, 0, width, 100)));
  row.content = row.window->contentView();
  row.window->orderFront();
  row.views.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    row.views.push_back(ui::View::create());
    row.content->addSubview(row.views.back());
  }
  for (size_t i = 0; i < n; ++i) state(row, i);
  row.makeMs = millis(Clock::now() - start);
  row.window->layoutIfNeeded();
  return row;
}

bool laidOut(const Row& row) {
  for (size_t i = 0; i < row.views.size(); ++i)
    if (row.views[i]->frame() != ui::Rect(kLead + double(i) * (kWidth + kGap), kTop, kWidth, kHeight)) return false;
  return true;
}

// View i out of the row, laid out. (Out of line, so that a profile tells the
// two moves apart.)
[[gnu::noinline]] double removeFromRow(Row& row, size_t i) {
  const Clock::time_point start = Clock::now();
  row.views[i]->removeFromSuperview();
  row.window->layoutIfNeeded();
  return millis(Clock::now() - start);
}

// View i back into the row, stated again with its neighbour, laid out.
[[gnu::noinline]] double putBackIntoRow(Row& row, size_t i) {
  const Clock::time_point start = Clock::now();
  row.content->addSubview(row.views[i], ui::WindowOrderingMode::Above, row.views[i - 1].get());
  state(row, i);
  lc_remakeConstraints(*row.views[i + 1], [](LCConstraintMaker&) {});
  state(row, i + 1);
  row.window->layoutIfNeeded();
  return millis(Clock::now() - start);
}

void BM_Row(benchmark::State& st) {
  const auto n = static_cast<size_t>(st.range(0));
  fnd::LogSink previous = fnd::setLogSink([](const std::string&) {});
  auto engine = ui::ConstraintEngine::shared();
  for (auto _ : st) {
    if (engine->systemCount() != 0) {
      st.SkipWithError("the engine still holds a window that has gone");
      break;
    }
    malloc_trim(0);
    const double before = residentMegabytes();
    const Clock::time_point start = Clock::now();
    Row row = makeRow(n);
    const double solveMs = millis(Clock::now() - start);
    const double mb = residentMegabytes() - before;
    const auto stats = engine->stats(*row.content);
    if (!laidOut(row)) {
      st.SkipWithError("the row was not laid out as stated");
      break;
    }

    std::vector<double> removeMs, addMs;
    for (int k = 0; k < kMoves; ++k) {
      const size_t i = n / 2 + size_t(k);
      removeMs.push_back(removeFromRow(row, i));
      addMs.push_back(putBackIntoRow(row, i));
      if (!laidOut(row)) {
        st.SkipWithError("the row was not laid out again after a view came back");
        break;
      }
    }
    st.counters["row_solve_ms"] = solveMs;
    st.counters["row_make_ms"] = row.makeMs;
    st.counters["row_mb"] = mb;
    st.counters["row_remove_ms"] = median(removeMs);
    st.counters["row_add_ms"] = median(addMs);
    st.counters["row_remove_ratio"] = median(removeMs) / median(addMs);
    st.counters["row_first_remove_ratio"] = removeMs.front() / addMs.front();
    st.counters["row_engine_share"] = stats.solverSeconds / stats.engineSeconds;
    st.counters["row_cells"] = double(stats.solverCells);
  }
  fnd::setLogSink(previous);
}
BENCHMARK(BM_Row)->Arg(1000)->Arg(2000)->Arg(4000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A child placed against the content view, laid out, then dropped; the time
// of the two layout passes.
double childInAndOut(Row& row) {
  auto child = ui::View::create();
  row.content->addSubview(child);
  lc_makeConstraints(*child, [&](LCConstraintMaker& make) {
    make.left().top().equalTo(row.content).offset(30);
    make.size().equalTo(LCWrapTypedValue(ui::Size{40, 20}));
  });
  Clock::time_point start = Clock::now();
  row.window->layoutIfNeeded();
  double total = millis(Clock::now() - start);
  child->removeFromSuperview();
  child.reset();
  start = Clock::now();
  row.window->layoutIfNeeded();
  return total + millis(Clock::now() - start);
}

void BM_ChildrenDropped(benchmark::State& st) {
  constexpr int kChildren = 3000, kPasses = 50;
  size_t logLines = 0;
  fnd::LogSink previous = fnd::setLogSink([&logLines](const std::string&) { ++logLines; });
  for (auto _ : st) {
    Row row = makeRow(20);
    const size_t held = row.content->constraints().size();
    std::vector<double> before, after;
    for (int i = 0; i < kPasses; ++i) before.push_back(childInAndOut(row));
    std::vector<std::shared_ptr<ui::View>> children;
    for (int i = 0; i < kChildren; ++i) {
      children.push_back(ui::View::create());
      row.content->addSubview(children.back());
      lc_makeConstraints(*children.back(), [&](LCConstraintMaker& make) {
        make.left().top().equalTo(row.content).offset(double(i % 100));
        make.size().equalTo(LCWrapTypedValue(ui::Size{10, 10}));
      });
    }
    row.window->layoutIfNeeded();
    const size_t linesBefore = logLines;
    for (auto& c : children) c->removeFromSuperview();
    children.clear();
    row.window->layoutIfNeeded();
    for (int i = 0; i < kPasses; ++i) after.push_back(childInAndOut(row));
    st.counters["dropped_growth"] = median(after) / median(before);
    st.counters["dead_constraints"] = double(row.content->constraints().size() - held);
    st.counters["log_lines"] = double(logLines - linesBefore);
  }
  fnd::setLogSink(previous);
}
BENCHMARK(BM_ChildrenDropped)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::runOffscreen(argc, argv, bench::Platform::Views); }
