// The whole program, headless, on the simulated unit: its start-up up to the
// main screen, a knob of the module editor turned with the mouse, and its
// resident memory. The shell is started as the program starts it (the main
// layout, the real screens, the device service over the transport).
//
// screen_ratio: from the service's last progress report of the start-up read
//   (the value 201) until the main screen is built, laid out and painted once
//   (the window grabbed), divided by the read's own time (from the unit taking
//   the request for all data to that report), in the same start-up. The unit
//   is paced like USB full speed, one report per millisecond each way. The
//   start-up is repeated; the median ratio is reported (goal: at most 0.08).
//   names_ms, beside it: from the same report until the unit list shows its
//   names, painted (the list reads them a fixed 300 ms after it is made).
// rss_mb: resident memory of the process (VmRSS) once the first start-up has
//   shown the main window with the names in it (goal: under 80).
// knob_ratio: a knob turn in the main window's module editor (press, moves
//   and release sent to the knob's widget) until the last report of the
//   edits it made is written to the backend, p99 over many turns, divided by
//   the p99 of writing the same reports straight to the backend's device,
//   the two alternating. Not paced: what the program adds, not the wire
//   (goal: at most 3). knob_p50_ratio: the same at the median.
// layout_growth: the EXP screen and the system screen opened from the top
//   bar's buttons and closed with their close controls, 1,000 times each, in
//   the running main window (mouse clicks sent to the controls' widgets); the
//   window's layout pass after a screen opens, median of 50, after the
//   cycles over before them (goal: at most 1.1). rss_growth_mb beside it: the
//   resident memory the cycles added (goal: at most 2); constraints_growth:
//   the constraints held in the window after over before; log_lines: what the
//   cycles logged; solver_cells_growth: the cells of the solver's tableau
//   after over before.
//
// Runs offscreen. Counters only: nothing here passes or fails on time.

// The signal framework's headers use `signals` as a name.
#define QT_NO_KEYWORDS

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/BenchQt.h"
#include "bench/BenchSupport.h"
#include "bench/TimedBackend.h"
#include "controls/GGCircularSlider.h"
#include "controls/GGCoustomButton.h"
#include "controls/GGPopView.h"
#include "device/firmware/libupdate_zarvo.h"
#include "device/records/DeviceConstants.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/PlatformHandlers.h"
#include "platform/ui/ConstraintEngine.h"
#include "platform/ui/Window.h"
#include "screens/bars/TopView.h"
#include "screens/editor/EffectDataView.h"
#include "screens/editor/GGEffectParmaView.h"
#include "screens/exp/ExpViewController.h"
#include "screens/models/EffectViewModel.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/presets/PresetView.h"
#include "screens/shell/AppDelegate.h"
#include "screens/shell/MainScreens.h"
#include "screens/shell/ViewController.h"
#include "screens/system/SystemViewController.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/unit/UnitApplication.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Bound of every wait on the program or the unit.
constexpr auto kBound = 20s;

using bench::micros;
using bench::percentile;
using bench::residentMegabytes;
using bench::seconds;
using bench::TimedBackend;

// A scratch folder for the program's defaults and preset folder.
class ScratchFolder {
public:
  ScratchFolder() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("qv450-bench-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  fs::path operator/(const std::string& name) const { return path_ / name; }

private:
  fs::path path_;
};

// The program on a simulated unit: the shell with its screens, as main()
// starts it, but with the defaults in a scratch folder and the platform's
// alerts and process end recorded instead of shown and done.
class Program {
public:
  explicit Program(bool paced) {
    unit = std::make_shared<sim::SimulatedUnit>();
    app = sim::UnitApplication::install(unit);
    unit->setPaced(paced);
    auto simBackend = std::make_shared<sim::SimBackend>();
    simBackend->addUnit(unit);
    backend = std::make_shared<TimedBackend>(simBackend);
    HIDServiceViewMode::Parts parts;
    parts.zrHID = libupdate_zarvo::create(backend);
    service = HIDServiceViewMode::create(parts);
    defaults = fnd::UserDefaults::withFile(folder / "defaults.json");
    defaults->setObjectForKey(ViewController::kComputerPresetPathKey, fnd::Value((folder / "presets").string()));
    GGEffectFunManager::Parts managerParts;
    managerParts.service = service;
    managerParts.defaults = defaults;
    managerParts.diaryFile = folder / "diary";
    manager = GGEffectFunManager::create(managerParts);
  }
  ~Program() {
    delegate.reset();
    GGPopViewManager::shareManager().allPopViews().clear();
    dispatch::drainMainQueue();
    manager.reset();
    service.reset();
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts the shell. The start-up read begins inside; the service's progress
  // callback is then wrapped so that the first 201 is stamped as it is
  // reported (on the HID thread).
  void launch() {
    installMainScreens(service, manager);
    delegate = fnd::make<AppDelegate>(ShellParts{service, defaults});
    delegate->launch();
    HIDServiceViewMode::ProgressBlock shell = service->progressBlock();
    service->setProgressBlock([shell, stamp = readEnd_](int n) {
      if (n == HIDServiceViewMode::kProgressDone) {
        Clock::rep none = 0;
        stamp->compare_exchange_strong(none, Clock::now().time_since_epoch().count());
      }
      if (shell) shell(n);
    });
  }

  // When the service reported the end of the start-up read.
  std::optional<Clock::time_point> readEnded() const {
    const Clock::rep t = readEnd_->load();
    if (t == 0) return std::nullopt;
    return Clock::time_point(Clock::duration(t));
  }
  // When the unit took the (first) request for all data.
  std::optional<Clock::time_point> readAsked() const {
    for (const auto& f : unit->receivedFrames())
      if (f.cmd == dev::host_cmd::kSendAllData) return f.time;
    return std::nullopt;
  }

  ViewController& vc() const { return *delegate->viewController(); }
  ui::Window& window() const { return *delegate->baseWindow(); }
  bool ended() const { return !alerts.empty() || !exits.empty(); }

  ScratchFolder folder;
  std::vector<ui::AlertRequest> alerts;
  std::vector<int> exits;
  ui::ScopedPlatformHandlers handlers{ui::PlatformHandlers{
      [this](const ui::AlertRequest& r) {
        alerts.push_back(r);
        return ui::AlertFirstButtonReturn;
      },
      nullptr, nullptr, [this](int status) { exits.push_back(status); }, nullptr}};
  std::shared_ptr<sim::SimulatedUnit> unit;
  std::shared_ptr<sim::UnitApplication> app;
  std::shared_ptr<TimedBackend> backend;
  HIDServiceViewModePtr service;
  std::shared_ptr<fnd::UserDefaults> defaults;
  GGEffectFunManagerPtr manager;
  std::shared_ptr<AppDelegate> delegate;

private:
  std::shared_ptr<std::atomic<Clock::rep>> readEnd_ = std::make_shared<std::atomic<Clock::rep>>(0);
};

// Starts the program and waits for its main screen; false (the benchmark
// told why) when the program ended or the screen did not come in time.
bool launchToMainScreen(Program& p, benchmark::State& state) {
  p.launch();
  const bool built = dispatch::runMainLoopUntil([&] { return p.ended() || p.vc().mainScreenBuilt(); }, kBound);
  ViewController::screens() = {};  // built once: the makers need not hold this program's service
  if (built && p.vc().mainScreenBuilt()) return true;
  state.SkipWithError(p.ended() ? "the program ended during its start-up" : "the main screen was not built in time");
  return false;
}

// Waits until the unit list shows the names it reads a while after it is
// made; false when it has no list or they did not come in time.
bool unitListNamed(Program& p) {
  auto presets = std::dynamic_pointer_cast<PresetView>(p.vc().presetView);
  return presets && dispatch::runMainLoopUntil([&] { return presets->deviceTableView->numberOfRows() > 0; }, kBound);
}

// ---- start-up to the main screen

void BM_MainScreen(benchmark::State& state) {
  fnd::LogSink previous = fnd::setLogSink([](const std::string&) {});
  constexpr int kStartUps = 5;
  for (auto _ : state) {
    std::vector<double> ratios, readMs, screenMs, namesMs;
    for (int i = 0; i < kStartUps; ++i) {
      Program p(/*paced=*/true);
      if (!launchToMainScreen(p, state)) break;
      // Work the new screens posted while they were built, then the layout
      // and one paint of the whole window.
      dispatch::drainMainQueue();
      p.window().layoutIfNeeded();
      const QImage painted = p.window().widget()->grab().toImage();
      const Clock::time_point shown = Clock::now();
      const auto asked = p.readAsked();
      const auto ended = p.readEnded();
      if (painted.isNull() || !asked || !ended || *ended < *asked) {
        state.SkipWithError("the start-up read or the paint was not seen");
        break;
      }
      const double read = seconds(*ended - *asked);
      const double screen = seconds(shown - *ended);
      ratios.push_back(screen / read);
      readMs.push_back(1000 * read);
      screenMs.push_back(1000 * screen);
      // Not in the ratio: the unit list reads its names a fixed while after
      // it is made; when they show, painted, is reported beside it.
      if (unitListNamed(p)) {
        p.window().layoutIfNeeded();
        (void)p.window().widget()->grab();
        namesMs.push_back(1000 * seconds(Clock::now() - *ended));
      }
      // The first start-up, done: the main window shown with everything in it.
      if (i == 0) state.counters["rss_mb"] = residentMegabytes();
    }
    if (ratios.size() == kStartUps) {
      state.counters["screen_ratio"] = percentile(ratios, 0.5);
      state.counters["read_ms"] = percentile(readMs, 0.5);
      state.counters["screen_ms"] = percentile(screenMs, 0.5);
      state.counters["screen_ms_max"] = percentile(screenMs, 1.0);
      if (namesMs.size() == kStartUps) state.counters["names_ms"] = percentile(namesMs, 0.5);
    }
  }
  fnd::setLogSink(previous);
}
BENCHMARK(BM_MainScreen)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- a knob turned with the mouse

// A knob of the module editor with a plain parameter (not one that follows
// another's choice) and a span wide enough to turn.
std::shared_ptr<GGCircularSlider> plainKnob(EffectDataView& editor) {
  for (const auto& [key, cell] : editor.cellSource()) {
    auto knob = cell->cirSlider.lock();
    const auto item = cell->itemModel();
    if (!knob || !item || !cell->window() || knob->isHiddenOrHasHiddenAncestor()) continue;
    if (item->isBeControl || item->beControledModel.lock() || item->hasChoices()) continue;
    if (knob->maxValue() - knob->minValue() >= 20) return knob;
  }
  return nullptr;
}

// One mouse event for the knob's own widget, at a point of the knob (its
// coordinates, y up), as the window would hand it over.
struct KnobEvent {
  QEvent::Type type;
  QPointF local, scene, global;
};

KnobEvent knobEvent(ui::Window& window, GGCircularSlider& knob, QEvent::Type type, ui::Point at) {
  QWidget* top = window.widget();
  QWidget* target = knob.widget();
  const ui::Point w = knob.convertPointToView(at, nullptr);
  const QPointF scene(w.x, double(top->height()) - w.y);
  const QPointF local = scene - QPointF(target->mapTo(top, QPoint(0, 0)));
  return {type, local, scene, target->mapToGlobal(local)};
}

void send(QWidget* target, const KnobEvent& k) {
  const Qt::MouseButton button = k.type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons held = k.type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(k.type, k.local, k.scene, k.global, button, held, Qt::NoModifier);
  QApplication::sendEvent(target, &e);
}

// One turn: the knob's events, then the main-queue work they left. Named and
// kept out of line so that an instruction count can be taken of it alone
// (on one line; QV450_BENCH_KNOB_TURNS=200 keeps the run short):
//   valgrind --tool=callgrind --collect-atstart=no
//     --toggle-collect='*turnKnobOnce*' bench_main_screen --benchmark_filter=KnobTurn
// and '*writeReportsRaw*' for the same reports written straight.
[[gnu::noinline]] void turnKnobOnce(QWidget* target, const std::vector<KnobEvent>& drag) {
  for (const KnobEvent& e : drag) send(target, e);
  dispatch::drainMainQueue();
}

[[gnu::noinline]] void writeReportsRaw(hid::Device& device, const std::vector<hid::Report>& reports) {
  for (const auto& r : reports) device.write(r);
}

void BM_KnobTurn(benchmark::State& state) {
  fnd::LogSink previous = fnd::setLogSink([](const std::string&) {});
  // Fewer under a profiler: QV450_BENCH_KNOB_TURNS.
  const char* turnsAsked = std::getenv("QV450_BENCH_KNOB_TURNS");
  const int kTurns = turnsAsked && std::atoi(turnsAsked) > 0 ? std::atoi(turnsAsked) : 2000;
  constexpr int kMoves = 4;
  constexpr double kStepDegrees = 12;
  constexpr int kModule = 7;
  for (auto _ : state) {
    Program p(/*paced=*/false);
    if (!launchToMainScreen(p, state)) break;
    auto editor = std::dynamic_pointer_cast<EffectDataView>(p.vc().moduleView);
    if (!editor) {
      state.SkipWithError("the main window has no module editor");
      break;
    }
    // The module chosen on the unit's panel, as a user would see it.
    p.app->changePage(dev::kFirstModulePage + kModule);
    const bool shown = dispatch::runMainLoopUntil(
        [&] {
          auto model = editor->moduleParamViewModel ? editor->moduleParamViewModel->curModel : nullptr;
          return model && model->effectName == EffectViewModel::moduleName(kModule);
        },
        kBound);
    dispatch::runMainLoop(300ms);  // the cells filled and drawn
    p.window().layoutIfNeeded();
    auto knob = shown ? plainKnob(*editor) : nullptr;
    if (!knob) {
      state.SkipWithError("no knob to turn in the module editor");
      break;
    }
    std::shared_ptr<hid::Device> device = p.service->zrHID()->hidclass().hid_current_device();
    const ui::Point centre = knob->centerPoint();
    const double radius = 0.4 * std::min(knob->bounds().width(), knob->bounds().height());
    // A point of the knob at an angle from upright, clockwise.
    auto at = [&](double degrees) {
      const double a = degrees * GGCircularSlider::kPi / 180;
      return ui::Point{centre.x + radius * std::sin(a), centre.y + radius * std::cos(a)};
    };

    // A press at the top, a few moves round one way (the other way every
    // other turn) and the release where the last move ended.
    std::vector<KnobEvent> drag[2];
    for (int way = 0; way < 2; ++way) {
      const double sign = way ? 1.0 : -1.0;
      drag[way].push_back(knobEvent(p.window(), *knob, QEvent::MouseButtonPress, at(0)));
      for (int m = 1; m <= kMoves; ++m)
        drag[way].push_back(knobEvent(p.window(), *knob, QEvent::MouseMove, at(sign * kStepDegrees * m)));
      drag[way].push_back(knobEvent(p.window(), *knob, QEvent::MouseButtonRelease, at(sign * kStepDegrees * kMoves)));
    }
    QWidget* target = knob->widget();
    std::vector<hid::Report> lastTurn;
    auto turn = [&](int i) {
      p.backend->record();
      const Clock::time_point start = Clock::now();
      // Anything the turn left on the main queue that writes counts too.
      turnKnobOnce(target, drag[i % 2]);
      const double us = micros(p.backend->lastWritten() - start);
      lastTurn = p.backend->take();
      return us;
    };
    auto writeRaw = [&] {
      const Clock::time_point start = Clock::now();
      writeReportsRaw(*device, lastTurn);
      return micros(p.backend->lastWritten() - start);
    };

    turn(1);  // the reports of a turn, for the first straight write
    if (lastTurn.empty() || !device) {
      state.SkipWithError("the knob turn wrote nothing");
      break;
    }
    const size_t reportsPerTurn = lastTurn.size();
    std::vector<double> knobUs, rawUs;
    std::mt19937 rng(11);
    size_t unequal = 0;  // turns that wrote another number of reports
    // The two kinds alternate, each first every other turn, so that neither
    // always runs on a cold cache after the pause.
    for (int i = 0; i < kTurns; ++i) {
      if (i % 2) {
        knobUs.push_back(turn(i));
        rawUs.push_back(writeRaw());
      } else {
        rawUs.push_back(writeRaw());
        knobUs.push_back(turn(i));
      }
      if (lastTurn.size() != reportsPerTurn) ++unequal;
      // Between turns the program paints and runs its queue as it would.
      QCoreApplication::processEvents();
      dispatch::drainMainQueue();
      std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 800));
    }
    if (p.ended()) state.SkipWithError("the program ended during the turns");

    const double p99 = percentile(knobUs, 0.99);
    const double rawP99 = percentile(rawUs, 0.99);
    state.counters["reports_per_turn"] = static_cast<double>(reportsPerTurn);
    state.counters["turns_other_reports"] = static_cast<double>(unequal);
    state.counters["p50_us"] = percentile(knobUs, 0.50);
    state.counters["p99_us"] = p99;
    state.counters["raw_p50_us"] = percentile(rawUs, 0.50);
    state.counters["raw_p99_us"] = rawP99;
    state.counters["knob_ratio"] = rawP99 > 0 ? p99 / rawP99 : 0;
    // The same at the median, where the machine's other load weighs less.
    const double rawP50 = percentile(rawUs, 0.50);
    state.counters["knob_p50_ratio"] = rawP50 > 0 ? percentile(knobUs, 0.50) / rawP50 : 0;
  }
  fnd::setLogSink(previous);
}
BENCHMARK(BM_KnobTurn)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- the EXP and system screens opened and closed

// A click at the middle of a view as the windowing system gives it to the
// window: the pointer moves there, presses, releases and moves away. Each
// click a second after the last, so that none counts as a double click.
void click(ui::Window& window, ui::View& view) {
  static unsigned long time = 1000000;
  QWindow* handle = window.widget()->windowHandle();
  const ui::Rect b = view.bounds();
  const ui::Point w = view.convertPointToView({b.midX(), b.midY()}, nullptr);
  const QPointF at(w.x, double(window.widget()->height()) - w.y), away(1, 1);
  auto post = [&](QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, p, p, handle->mapToGlobal(p), button, held, Qt::NoModifier);
    e.setTimestamp(time += 10);
    QCoreApplication::sendEvent(handle, &e);
  };
  time += 1000;
  post(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
  post(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
  post(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  post(QEvent::MouseMove, away, Qt::NoButton, Qt::NoButton);
}

size_t constraintsUnder(const ui::View& v) {
  size_t n = v.constraints().size();
  for (const auto& s : v.subviews()) n += constraintsUnder(*s);
  return n;
}

void BM_ScreensOpenedAndClosed(benchmark::State& state) {
  size_t logLines = 0;
  fnd::LogSink previous = fnd::setLogSink([&logLines](const std::string&) { ++logLines; });
  // More to see whether what the cycles leave grows with them:
  // QV450_BENCH_SCREEN_CYCLES.
  const char* cyclesAsked = std::getenv("QV450_BENCH_SCREEN_CYCLES");
  const int kCycles = cyclesAsked && std::atoi(cyclesAsked) > 0 ? std::atoi(cyclesAsked) : 1000;
  constexpr int kPasses = 50;
  for (auto _ : state) {
    Program p(/*paced=*/false);
    if (!launchToMainScreen(p, state)) break;
    // Like the program's own simulated unit, this one keeps no record of the
    // frames it is sent: what grows here is the program's.
    p.unit->setKeepsRecord(false);
    // The window as a user finds it: the unit list filled with the names it
    // reads a while after it is made.
    if (!unitListNamed(p)) {
      state.SkipWithError("the unit list did not show its names");
      break;
    }
    dispatch::drainMainQueue();
    ui::Window& window = p.window();
    window.layoutIfNeeded();
    auto top = std::dynamic_pointer_cast<TopView>(p.vc().topView);
    if (!top || !top->expButton || !top->settingButton) {
      state.SkipWithError("the main window has no top bar with its EXP and settings buttons");
      break;
    }
    // The close control of a screen: the EXP screen's is one of its own
    // buttons, the system screen's a button of the platform.
    auto closeOf = [&](bool exp) -> std::shared_ptr<ui::View> {
      if (exp) {
        auto vc = ExpViewController::controllerOf(*top->expVC());
        return vc ? std::static_pointer_cast<ui::View>(vc->closeButton.lock()) : nullptr;
      }
      auto vc = SystemViewController::controllerOf(*top->SystemVC());
      return vc ? std::static_pointer_cast<ui::View>(vc->closeButton.lock()) : nullptr;
    };
    // Opens a screen and lays the window out; the pass's time, or a negative
    // number when the screen did not open.
    auto open = [&](bool exp) {
      click(window, exp ? static_cast<ui::View&>(*top->expButton) : static_cast<ui::View&>(*top->settingButton));
      dispatch::drainMainQueue();
      if (!(exp ? top->isExpShown() : top->isSystemShown())) return -1.0;
      const Clock::time_point start = Clock::now();
      window.layoutIfNeeded();
      return micros(Clock::now() - start);
    };
    auto close = [&](bool exp) {
      auto control = closeOf(exp);
      if (!control || !control->window()) return false;
      click(window, *control);
      dispatch::drainMainQueue();
      window.layoutIfNeeded();
      return !top->isExpShown() && !top->isSystemShown();
    };
    auto passes = [&](std::vector<double>& out) {
      for (int i = 0; i < kPasses; ++i) {
        const bool exp = i % 2 == 0;
        const double us = open(exp);
        if (us < 0 || !close(exp)) return false;
        out.push_back(us);
      }
      return true;
    };

    std::vector<double> before, after;
    if (!passes(before)) {
      state.SkipWithError("a screen did not open or close");
      break;
    }
    // What the cycles may leave behind: memory, constraints, log lines.
    struct Held {
      double rssMb;
      size_t constraints, logLines, solverCells;
    };
    auto held = [&] {
      QCoreApplication::processEvents();
      malloc_trim(0);
      const auto stats = ui::ConstraintEngine::shared()->stats(*window.contentView());
      return Held{residentMegabytes(), constraintsUnder(*window.contentView()), logLines, stats.solverCells};
    };
    const Held heldBefore = held();

    bool ok = true;
    for (int i = 0; i < 2 * kCycles && ok; ++i) {
      const bool exp = i % 2 == 0;
      ok = open(exp) >= 0 && close(exp);
      if (i % 100 == 0) QCoreApplication::processEvents();
    }
    if (!ok) {
      state.SkipWithError("a screen did not open or close during the cycles");
      break;
    }
    const Held heldAfter = held();

    if (!passes(after)) {
      state.SkipWithError("a screen did not open or close after the cycles");
      break;
    }
    state.counters["layout_before_us"] = percentile(before, 0.5);
    state.counters["layout_after_us"] = percentile(after, 0.5);
    state.counters["layout_growth"] = percentile(after, 0.5) / percentile(before, 0.5);
    state.counters["rss_growth_mb"] = heldAfter.rssMb - heldBefore.rssMb;
    state.counters["constraints_growth"] = double(heldAfter.constraints) / double(heldBefore.constraints);
    state.counters["log_lines"] = double(heldAfter.logLines - heldBefore.logLines);
    state.counters["solver_cells_growth"] = double(heldAfter.solverCells) / double(heldBefore.solverCells);
  }
  fnd::setLogSink(previous);
}
BENCHMARK(BM_ScreensOpenedAndClosed)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::runOffscreen(argc, argv, bench::Platform::Program); }
