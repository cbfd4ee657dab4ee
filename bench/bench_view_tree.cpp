// The cost of the view layer over plain Qt widgets. The same tree (1,011
// views nested four deep: a root, 10, 100 and 900), each painting a rounded
// rectangle and a short text, is built once with ui::View and once with plain
// QWidgets painting the same; each tree is laid out once and rendered with
// render() into a QImage of the same size. view_overhead_ratio = our time /
// plain time, both measured in the same run (goal: at most 1.3).
// rss_bytes_per_view and rss_bytes_per_plain_widget are the resident memory
// one node of each tree adds (several trees kept alive at once, divided).
// Runs offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/BenchQt.h"
#include "bench/BenchSupport.h"
#include "platform/ui/AttributedString.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/View.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kBranching[3] = {10, 10, 9};
const char* const kLabel = "Amp 12";
// For the diagnostic run: our tiles draw their text straight on the painter
// instead of through the drawing context's text layout.
bool gPainterText = false;

ui::Rect childRect(const ui::Size& parent, int index, int count) {
  // A row of equal cells with a 2-point margin.
  const double w = parent.width / count;
  return ui::Rect(index * w + 1, 2, std::max(1.0, w - 2), std::max(1.0, parent.height - 14));
}

class Tile : public ui::View {
public:
  explicit Tile(ui::Rect frame) : View(frame) {}
  bool isFlipped() const override { return true; }
  void drawRect(ui::GraphicsContext& ctx, const ui::Rect&) override {
    const ui::Rect b = bounds();
    ctx.setFillColor(ui::Color::calibratedWhite(0.85));
    ctx.fillPath(ui::BezierPath::bezierPathWithRoundedRect(b.insetBy(0.5, 0.5), 4, 4));
    if (gPainterText) {
      static const QFont font = [] {
        QFont f;
        f.setPixelSize(9);
        return f;
      }();
      ctx.painter().setFont(font);
      ctx.painter().setPen(Qt::black);
      ctx.painter().drawText(QRectF(2, b.height() - 12, b.width() - 4, 12), Qt::AlignLeft | Qt::AlignTop,
                             QStringLiteral("Amp 12"));
      return;
    }
    static const ui::AttributedString text(kLabel, ui::Font::systemFontOfSize(9), ui::Color::blackColor());
    ctx.drawString(text, ui::Rect(2, b.height() - 12, b.width() - 4, 12), ui::UsesLineFragmentOrigin);
  }
};

class PlainTile : public QWidget {
public:
  using QWidget::QWidget;

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(0.85f, 0.85f, 0.85f));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    static const QFont font = [] {
      QFont f;
      f.setPixelSize(9);
      return f;
    }();
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRectF(2, height() - 12, width() - 4, 12), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Amp 12"));
  }
};

void buildOurs(ui::View& parent, int depth) {
  if (depth == 3) return;
  const int n = kBranching[depth];
  for (int i = 0; i < n; ++i) {
    auto child = ui::View::create<Tile>(childRect(parent.frame().size, i, n));
    buildOurs(*child, depth + 1);
    parent.addSubview(child);
  }
}

std::shared_ptr<ui::View> makeOurs() {
  auto root = ui::View::create<Tile>(ui::Rect(0, 0, kWidth, kHeight));
  buildOurs(*root, 0);
  root->layoutSubtreeIfNeeded();
  return root;
}

void buildPlain(QWidget& parent, int depth) {
  if (depth == 3) return;
  const int n = kBranching[depth];
  const ui::Size size{double(parent.width()), double(parent.height())};
  for (int i = 0; i < n; ++i) {
    const ui::Rect r = childRect(size, i, n);
    auto* child = new PlainTile(&parent);
    const int x0 = int(std::lround(r.minX())), x1 = int(std::lround(r.maxX()));
    const int y0 = int(std::lround(r.minY())), y1 = int(std::lround(r.maxY()));
    child->setGeometry(x0, y0, x1 - x0, y1 - y0);
    buildPlain(*child, depth + 1);
  }
}

std::unique_ptr<QWidget> makePlain() {
  auto root = std::make_unique<PlainTile>();
  root->setGeometry(0, 0, kWidth, kHeight);
  buildPlain(*root, 0);
  return root;
}

size_t countNodes(const ui::View& v) {
  size_t n = 1;
  for (auto& s : v.subviews()) n += countNodes(*s);
  return n;
}

using bench::residentBytes;
using bench::seconds;

// First, while the heap is fresh.
void BM_ViewTreeMemory(benchmark::State& state) {
  constexpr int kTrees = 8;
  for (auto _ : state) {
    const long before = residentBytes();
    std::vector<std::shared_ptr<ui::View>> ours;
    for (int i = 0; i < kTrees; ++i) ours.push_back(makeOurs());
    const long withOurs = residentBytes();
    std::vector<std::unique_ptr<QWidget>> plain;
    for (int i = 0; i < kTrees; ++i) plain.push_back(makePlain());
    const long withPlain = residentBytes();
    const double nodes = double(kTrees) * double(countNodes(*ours.front()));
    state.counters["rss_bytes_per_view"] = double(withOurs - before) / nodes;
    state.counters["rss_bytes_per_plain_widget"] = double(withPlain - withOurs) / nodes;
  }
}
BENCHMARK(BM_ViewTreeMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void runTree(benchmark::State& state, const char* ratioName) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  double ours = 0;
  double plain = 0;
  size_t nodes = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    {
      auto root = makeOurs();
      image.fill(Qt::white);
      root->widget()->render(&image);
      nodes = countNodes(*root);
    }
    auto t1 = std::chrono::steady_clock::now();
    {
      auto root = makePlain();
      image.fill(Qt::white);
      root->render(&image);
    }
    auto t2 = std::chrono::steady_clock::now();
    ours += seconds(t1 - t0);
    plain += seconds(t2 - t1);
  }
  state.counters["views"] = double(nodes);
  state.counters["ours_ms"] = 1000 * ours / double(state.iterations());
  state.counters["plain_ms"] = 1000 * plain / double(state.iterations());
  state.counters[ratioName] = ours / plain;
}

void BM_ViewTree(benchmark::State& state) { runTree(state, "view_overhead_ratio"); }
BENCHMARK(BM_ViewTree)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Diagnostic: the same with the tiles' text drawn straight on the painter,
// which separates the views' own cost from the text layout's.
void BM_ViewTreePainterText(benchmark::State& state) {
  gPainterText = true;
  runTree(state, "view_overhead_ratio_painter_text");
  gPainterText = false;
}
BENCHMARK(BM_ViewTreePainterText)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Rendering alone, the trees built and laid out beforehand.
void BM_ViewTreeRenderOnly(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  auto oursRoot = makeOurs();
  auto plainRoot = makePlain();
  double ours = 0;
  double plain = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    oursRoot->widget()->render(&image);
    auto t1 = std::chrono::steady_clock::now();
    plainRoot->render(&image);
    auto t2 = std::chrono::steady_clock::now();
    ours += seconds(t1 - t0);
    plain += seconds(t2 - t1);
  }
  state.counters["render_overhead_ratio"] = ours / plain;
}
BENCHMARK(BM_ViewTreeRenderOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);



}  // namespace

int main(int argc, char** argv) { return bench::runOffscreen(argc, argv, bench::Platform::Views); }
