// The table against Qt's own table view, and the computer preset library
// against a plain listing of its folder.
//
// Tables: 100,000 rows of 20 points, one column, in windows of 300 x 600 on
// the offscreen platform. Ours is the library's table (ZrTableView in a
// ZrScrollView, ZrTableRowView rows, ZrTableViewCell cells, made through
// the table's pools as the library makes them); Qt's is a QTableView over a
// QAbstractTableModel with the same names, rows of the same fixed height,
// headers hidden, the grid on. Each step is timed until the window is drawn:
// the step, the main queue run (labels take their texts there), for Qt's
// view its item layout (what its own zero timer runs after a reset), the
// whole window rendered into an image. Each first load shows names neither
// table has drawn before.
//
//  - first load: a new, empty table given its 100,000 rows;
//  - reload: the same rows asked for again;
//  - scroll: one page down (the visible height), many times;
//  - empty: the rows taken away.
//
// table_load_ratio, table_reload_ratio, table_scroll_ratio = our median /
// Qt's median, the two alternating in the same run (goal: at most 1.0 each).
// bytes_per_offscreen_row: heap in use (mallinfo2) with 100,000 rows less
// that with 1,000 rows, the same rows in view, over the 99,000 rows more
// (goal: at most 64); rss_bytes_per_offscreen_row: the same from resident
// memory, for reference.
//
// Library: a folder of 10,000 preset files. library_open_ms: from the panel
// pointed at the folder (placed in its window, which builds it and lists
// the folder) until its list is drawn; library_refresh_ms: from the refresh
// button until the new list is drawn; plain_listing_ms: the same folder
// listed by the plainest loop that can order it (readdir, an fstatat of
// each preset file, a sort newest first). library_plain_ratio =
// library_open_ms / plain_listing_ms (goal: at most 1.5). listing_ms: the
// library's own listing alone (no panel), for reference.
// Medians, the four alternating.
//
// Runs offscreen. Counters only: nothing here passes or fails on time.

// The signal framework's headers use `signals` as a name.
#define QT_NO_KEYWORDS

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/BenchQt.h"
#include "bench/BenchSupport.h"
#include "controls/ZrTableView.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Window.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/presets/ComputerPresetViewModel.h"
#include "screens/presets/LocalPresetView.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr long kRows = 100000;
constexpr long kFewRows = 1000;
constexpr int kWidth = 300;
constexpr int kHeight = 600;
constexpr double kRowHeight = 20;
constexpr int kPages = 200;
constexpr int kFiles = 10000;

using bench::median;
using bench::residentBytes;

double heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return double(m.uordblks) + double(m.hblkhd);
}

// The names of one load: a new load may show new names, so that neither
// table finds their text laid out already.
int generation = 0;

std::string nameOf(long row) {
  char name[32];
  std::snprintf(name, sizeof name, "Preset %02d %06ld", generation % 100, row);
  return name;
}

// ---- ours

class Names : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
  long count = 0;
  long numberOfRowsInTableView(ui::TableView&) override { return count; }
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView& table, ui::TableColumn*, long row) override {
    auto cell = std::dynamic_pointer_cast<ZrTableViewCell>(table.makeViewWithIdentifier("ZrTableViewCell"));
    cell->titleLabel()->setStringValue(nameOf(row));
    cell->titleLabel()->setTextColor(ui::Color::whiteColor());
    return cell;
  }
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView& table, long) override {
    return std::dynamic_pointer_cast<ui::TableRowView>(table.makeViewWithIdentifier("ZrTableRowView"));
  }
};

struct Ours {
  Ours() {
    window = ui::Window::create(ui::Rect(0, 0, kWidth, kHeight));
    scroll = ui::View::create<ZrScrollView>(ui::Rect(0, 0, kWidth, kHeight));
    scroll->setHasVerticalScroller(true);
    scroll->setBackgroundColor(ui::Color::blackColor());
    scroll->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
    table = ui::View::create<ZrTableView>(ui::Rect(0, 0, kWidth, 0));
    table->setBackgroundColor(ui::Color::blackColor());
    table->setGridStyleMask(ui::TableView::SolidHorizontalGridLineMask);
    table->setGridColor(ui::Color::grayColor().withAlphaComponent(0.5));
    table->setRowHeight(kRowHeight);
    auto column = std::make_shared<ui::TableColumn>("presetName");
    column->setWidth(kWidth);
    table->addTableColumn(column);
    table->registerViewMaker("ZrTableViewCell",
                             [] { return std::make_shared<ZrTableViewCell>(ui::Rect(0, 0, kWidth, 18)); });
    table->registerViewMaker("ZrTableRowView", [] { return std::make_shared<ZrTableRowView>(); });
    table->setDataSource(names);
    table->setDelegate(names);
    scroll->setDocumentView(table);
    window->contentView()->addSubview(scroll);
    window->makeKeyAndOrderFront();
    draw();
  }
  ~Ours() { window->close(); }
  void draw() {
    QCoreApplication::sendPostedEvents();
    window->layoutIfNeeded();
    window->widget()->render(&image);
  }
  void load(long rows) {
    names->count = rows;
    table->reloadData();
    draw();
  }
  void pageDown() {
    auto clip = scroll->contentView();
    clip->scrollToPoint({0, clip->bounds().minY() + clip->bounds().height()});
    draw();
  }
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ZrScrollView> scroll;
  std::shared_ptr<ZrTableView> table;
  std::shared_ptr<Names> names = std::make_shared<Names>();
  QImage image{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
};

// ---- Qt's

class Model : public bench::CountedRowsModel<QAbstractTableModel> {
public:
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 1; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole) return QString::fromStdString(nameOf(index.row()));
    return {};
  }
};

struct Theirs {
  Theirs() {
    view = std::make_unique<QTableView>();
    view->setFrameShape(QFrame::NoFrame);
    view->horizontalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(int(kRowHeight));
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setShowGrid(true);
    view->setFont(ui::Font::systemFontOfSize(12).toQFont());
    QPalette pal = view->palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, Qt::white);
    view->setPalette(pal);
    view->setModel(&model);
    view->resize(kWidth, kHeight);
    view->show();
    draw();
  }
  void draw() {
    QCoreApplication::sendPostedEvents();
    view->render(&image);
  }
  void load(int rows) {
    model.setCount(rows);
    // What the view's own zero timer would do before the window is painted.
    view->doItemsLayout();
    draw();
  }
  void pageDown() {
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(bar->value() + bar->pageStep());
    draw();
  }
  Model model;
  std::unique_ptr<QTableView> view;
  QImage image{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
};

template <class Fn>
double timed(Fn&& fn) {
  const auto t0 = Clock::now();
  fn();
  return bench::millis(Clock::now() - t0);
}

// First, while the heap is fresh.
void BM_TableMemory(benchmark::State& state) {
  std::vector<double> heap, rss;
  for (auto _ : state) {
    Ours ours;
    for (int i = 0; i < 5; ++i) {
      ours.load(kFewRows);
      const double heapFew = heapInUse();
      const long rssFew = residentBytes();
      ours.load(kRows);
      heap.push_back((heapInUse() - heapFew) / double(kRows - kFewRows));
      rss.push_back(double(residentBytes() - rssFew) / double(kRows - kFewRows));
    }
    state.counters["views_in_table"] = double(ours.table->subviews().size());
  }
  state.counters["bytes_per_offscreen_row"] = median(heap);
  state.counters["rss_bytes_per_offscreen_row"] = median(rss);
}
BENCHMARK(BM_TableMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_TableLoadReloadEmpty(benchmark::State& state) {
  std::vector<double> load[2], reload[2], empty[2];
  for (auto _ : state) {
    for (int i = 0; i < 15; ++i) {
      ++generation;
      {
        Ours o;
        load[0].push_back(timed([&] { o.load(kRows); }));
        reload[0].push_back(timed([&] { o.load(kRows); }));
        empty[0].push_back(timed([&] { o.load(0); }));
      }
      {
        Theirs t;
        load[1].push_back(timed([&] { t.load(int(kRows)); }));
        reload[1].push_back(timed([&] { t.load(int(kRows)); }));
        empty[1].push_back(timed([&] { t.load(0); }));
      }
    }
  }
  state.counters["load_ms"] = median(load[0]);
  state.counters["qt_load_ms"] = median(load[1]);
  state.counters["reload_ms"] = median(reload[0]);
  state.counters["qt_reload_ms"] = median(reload[1]);
  state.counters["empty_ms"] = median(empty[0]);
  state.counters["qt_empty_ms"] = median(empty[1]);
  state.counters["table_load_ratio"] = median(load[0]) / median(load[1]);
  state.counters["table_reload_ratio"] = median(reload[0]) / median(reload[1]);
}
BENCHMARK(BM_TableLoadReloadEmpty)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_TableScroll(benchmark::State& state) {
  Ours o;
  Theirs t;
  o.load(kRows);
  t.load(int(kRows));
  std::vector<double> ours, theirs;
  for (auto _ : state) {
    for (int i = 0; i < kPages; ++i) {
      ours.push_back(timed([&] { o.pageDown(); }));
      theirs.push_back(timed([&] { t.pageDown(); }));
    }
  }
  const long scrolledTo = kPages * long(kHeight / kRowHeight);
  if (o.table->rowsWithViews().first < scrolledTo - 10 || t.view->rowAt(0) < scrolledTo - 10)
    state.SkipWithError("a table did not scroll");
  state.counters["scroll_ms"] = median(ours);
  state.counters["qt_scroll_ms"] = median(theirs);
  state.counters["table_scroll_ratio"] = median(ours) / median(theirs);
  state.counters["views_in_table"] = double(o.table->subviews().size());
}
BENCHMARK(BM_TableScroll)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- the library

struct PresetFolder {
  PresetFolder() {
    char pattern[] = "/tmp/qv450-bench-library-XXXXXX";
    root = ::mkdtemp(pattern);
    folder = root / "presets";
    fs::create_directories(folder);
    for (int i = 0; i < kFiles; ++i) std::ofstream(folder / (nameOf(i) + ".pqv")) << "{}";
  }
  ~PresetFolder() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  fs::path root, folder;
};

// The plain listing: one pass of readdir with an fstatat of each preset
// file on the open folder, then newest first (by modification), ties by
// name. The number of files listed.
long plainListing(const fs::path& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  std::vector<std::pair<int64_t, std::string>> found;
  while (const dirent* d = ::readdir(dir)) {
    const std::string_view name(d->d_name);
    struct stat st {};
    if (name.size() <= 4 || !name.ends_with(".pqv") || ::fstatat(::dirfd(dir), d->d_name, &st, 0) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    found.emplace_back(int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec, name.substr(0, name.size() - 4));
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
  return long(found.size());
}

struct Library {
  explicit Library(const fs::path& folder, const fs::path& root) {
    defaults = fnd::UserDefaults::withFile(root / "defaults.json");
    defaults->setObjectForKey(GGEffectFunManager::kComputerPresetPathKey, fnd::Value(folder.string()));
    GGEffectFunManager::Parts parts;
    parts.defaults = defaults;
    parts.diaryFile = root / "diary";
    manager = GGEffectFunManager::create(parts);
    window = ui::Window::create(ui::Rect(0, 0, 260, kHeight));
    window->makeKeyAndOrderFront();
    panel = LocalPresetView::create({nullptr, manager, nullptr});
    panel->setFrame({0, 0, 260, kHeight});
  }
  ~Library() { window->close(); }
  void draw() {
    QCoreApplication::sendPostedEvents();
    window->layoutIfNeeded();
    window->widget()->render(&image);
  }
  // Runs what was posted until the list has `rows` rows with the first one
  // selected (or a bound has passed).
  bool waitUntilShown(long rows) const {
    const auto bound = Clock::now() + std::chrono::seconds(20);
    while (!(panel->computerTableView && panel->computerTableView->numberOfRows() == rows &&
             panel->computerTableView->selectedRow() == 0)) {
      if (Clock::now() > bound) return false;
      QCoreApplication::sendPostedEvents();
    }
    return true;
  }
  std::shared_ptr<fnd::UserDefaults> defaults;
  GGEffectFunManagerPtr manager;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<LocalPresetView> panel;
  QImage image{260, kHeight, QImage::Format_ARGB32_Premultiplied};
};

void BM_Library(benchmark::State& state) {
  PresetFolder files;
  plainListing(files.folder);
  {
    // Images, fonts and the style are loaded once for the process.
    Library warm(files.folder, files.root);
    warm.window->contentView()->addSubview(warm.panel);
    warm.draw();
  }
  std::vector<double> open, refresh, plain, listing;
  long listed = 0;
  bool shown = true;
  for (auto _ : state) {
    for (int i = 0; i < 15; ++i) {
      plain.push_back(timed([&] { listed = plainListing(files.folder); }));
      Library lib(files.folder, files.root);
      open.push_back(timed([&] {
        lib.window->contentView()->addSubview(lib.panel);
        shown = lib.waitUntilShown(kFiles) && shown;
        lib.draw();
      }));
      lib.panel->computerTableView->selectRowIndexes({5}, false);
      refresh.push_back(timed([&] {
        lib.panel->freshButton->performClick();
        shown = lib.waitUntilShown(kFiles) && shown;
        lib.draw();
      }));
      listing.push_back(timed([&] { ComputerPresetViewModel::listPresetNames(files.folder); }));
    }
  }
  if (listed != kFiles) state.SkipWithError("the folder is not as made");
  if (!shown) state.SkipWithError("the library did not show the folder");
  state.counters["library_open_ms"] = median(open);
  state.counters["library_refresh_ms"] = median(refresh);
  state.counters["plain_listing_ms"] = median(plain);
  state.counters["listing_ms"] = median(listing);
  state.counters["library_plain_ratio"] = median(open) / median(plain);
}
BENCHMARK(BM_Library)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::runOffscreen(argc, argv, bench::Platform::Program); }
