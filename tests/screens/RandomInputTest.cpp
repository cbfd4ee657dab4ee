// The whole program on the simulated unit under random real input: a user
// of its own thread (support/RandomUser.h) clicks, drags, turns the wheel,
// presses keys and types text in every script over the window and whatever
// it opens (the EXP and system screens, the rename popover, the library,
// context menus, question panels, the firmware update window), through the
// X server the test runs under. The program's alerts, file panels, file
// manager and end are the platform handlers', answered at random from the
// seed; when the program ends (the unit reset, the update done, the window
// closed, or after a while) the test starts it again on a new unit. One start
// in six is of a unit in its boot loader, with the update window.
//
// It fails on a crash or a sanitizer's report (the process dies, having
// printed its seed), and on a main thread that stops turning its event loop
// or windows that stop repainting for 5 s (support/StallWatchdog.h: the seed,
// the main thread's stack and the last actions, then exit status 1).
//
// QV450_RANDOM_SEED picks the seed (default: from the clock), and
// QV450_RANDOM_SECONDS the time (default 60). The test_screens_random_input
// entry runs it under xvfb-run; the README says how to run it longer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "controls/GGPopView.h"
#include "device/TempFolder.h"
#include "platform/foundation/PopUpService.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/PlatformHandlers.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "screens/ScreensTestSupport.h"
#include "screens/ShellRig.h"
#include "screens/shell/UpdateWindowController.h"
#include "screens/system/SystemViewController.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"
#include "support/RandomUser.h"
#include "support/StallWatchdog.h"
#include "support/WaveFile.h"
#include "ui/RealPointer.h"

extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

using namespace svc_test;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kStallLimit = std::chrono::seconds(5);
constexpr uint64_t kDefaultSeconds = 60;
constexpr int kBootLoaderOdds = 6;
// How long a program runs before the test starts another, if it has not
// ended by itself: so that start-ups and the update window get their share.
// The update window has one button, and an update takes less than this.
constexpr auto kBootLoaderTime = std::chrono::seconds(20);
constexpr int kShortestLife = 40, kLongestLife = 160;  // seconds, in the application
// How long the user waits for the program to say what it shows.
constexpr auto kLookBound = std::chrono::seconds(2);
// A program that shows no window this long after its start or since its
// last window closed, and has not ended, counts as hung.
constexpr auto kWindowlessBound = std::chrono::seconds(30);

uint64_t fromEnvironment(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// Said when the process dies of a sanitizer's report or an exception.
uint64_t gSeed = 0;
const xtest::RandomUser* gUser = nullptr;
void sayTheSeedOnDeath() {
  if (gUser) std::fprintf(stderr, "\n*** the last actions:\n%s", gUser->recent().c_str());
  std::fprintf(stderr, "\n*** random input died: QV450_RANDOM_SEED=%llu\n", (unsigned long long)gSeed);
}

// The files the open panels offer: good and bad ones of every kind the
// program opens, odd names, a folder and a missing file, and whatever the
// program saved there through a save panel (backups, exports).
struct PanelFiles {
  TempFolder folder;

  PanelFiles() {
    const fs::path resources = QV450_RESOURCES_DIR;
    fs::copy_file(resources / "Empty.pqv", folder / "Empty.pqv");
    fs::copy_file(resources / "Empty.pqv", folder / "Prèset 🎸 long name of a preset file.pqv");
    const std::string preset = TempFolder::read(resources / "Empty.pqv");
    TempFolder::write(folder / "half.pqv", preset.substr(0, preset.size() / 2));
    TempFolder::write(folder / "empty.pqv", std::string());
    TempFolder::write(folder / "noise.pqv", noise(1000));
    TempFolder::write(folder / "ir.wav", test_files::monoWave(2048, [](size_t i) { return int16_t((i * 37) % 2000); }));
    TempFolder::write(folder / "ir long.wav", test_files::monoWave(50000, [](size_t i) { return int16_t(i % 300); }));
    const auto wave = test_files::monoWave(100, [](size_t) { return int16_t(7); });
    TempFolder::write(folder / "cut.wav", std::vector<uint8_t>(wave.begin(), wave.begin() + 30));
    TempFolder::write(folder / "noise.wav", noise(3000));
    TempFolder::write(folder / "nr.amp", nrFile());
    TempFolder::write(folder / "noise.amp", noise(2055));
    TempFolder::write(folder / "noise.bqv", noise(5000));
    TempFolder::write(folder / "empty.bqv", std::string());
    fs::create_directories(folder / "folder.pqv");
  }

  static std::string noise(size_t n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
  }
  // 512 words, their sum and the ending: a good NR file.
  static std::vector<uint8_t> nrFile() {
    std::vector<uint8_t> b;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < 512; ++i) {
      const uint32_t w = i * 2654435761u;
      sum += w;
      b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)});
    }
    b.insert(b.end(), {uint8_t(sum), uint8_t(sum >> 8), uint8_t(sum >> 16), uint8_t(sum >> 24), '2', '.', '0'});
    return b;
  }

  std::vector<fs::path> all() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder.path())) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    files.push_back(folder / "missing.pqv");
    return files;
  }
};

class Stage;

// The program on a new simulated unit, as it starts: the main window, or
// with the unit in its boot loader the update window. Its platform handlers
// are the stage's.
struct RunningProgram {
  ShellRig rig;
  std::shared_ptr<sim::SimBootloader> loader;
  ui::ScopedPlatformHandlers handlers;
  bool boot;
  bool started = false;
  Clock::time_point endAt;

  RunningProgram(bool inBootLoader, Clock::duration life, ui::PlatformHandlers stubs, const PanelFiles& files)
      : rig(inBootLoader ? identityWith('B') : sim::Identity{}),
        handlers(std::move(stubs)),
        boot(inBootLoader),
        endAt(Clock::now() + life) {
    rig.sim.unit->setPaced(true);
    GGPopView::installAsPopUpService();
    // Some files in the library from the start.
    const fs::path library = rig.folder / "presets";
    fs::create_directories(library);
    for (const char* name : {"Empty.pqv", "noise.pqv", "empty.pqv"}) fs::copy_file(files.folder / name, library / name);
    if (boot) {
      loader = rig.installRestartingBootLoader();
      const fs::path image = rig.folder / libupdate_zarvo::kFirmwareImageName;
      TempFolder::write(image, sim::makeTestFirmware(sim::TestFirmwareSpec::withBlocks(40)));
      rig.launch();
      auto update = rig.vc().updateVC();
      update->setFirmwarePath(image);
      started = dispatch::runMainLoopUntil([&] { return update->window() && update->window()->isVisible(); }, kBound);
    } else {
      // The service as the program makes it: tips and questions in the window.
      HIDServiceViewMode::Parts parts;
      parts.zrHID = rig.sim.hid;
      parts.loadCatalogue = loadTestCatalogue;
      rig.sim.service = HIDServiceViewMode::create(parts);
      started = rig.launchMainWindow();
    }
  }

  ~RunningProgram() {
    for (const auto& w : ui::Application::shared().windows())
      if (w->isVisible()) w->close();
    PopUpService::setShared(nullptr);
    flushMainQueue();
  }
};

// The test's state on the main thread: the program under test, the answers
// of its platform handlers and what they were asked, and what the program
// shows, for the user's aim.
class Stage : public std::enable_shared_from_this<Stage> {
public:
  explicit Stage(uint64_t seed) : rng_(seed ^ 0x9E3779B97F4A7C15ull) {}

  RunningProgram* program() const { return program_.get(); }
  // The program asked to end the process, or has had its time.
  bool ended() const { return ended_ || (program_ && Clock::now() > program_->endAt); }
  std::string problem;

  // Counts what the unit received and forgets it (a record kept for tests
  // that look at it, which would grow through a long run).
  void countFrames() {
    if (!program_) return;
    auto& unit = *program_->rig.sim.unit;
    for (const auto& f : unit.receivedFrames()) ++frames_[f.cmd];
    unit.clearReceived();
  }

  // Ends the program there is and starts a new one.
  void restart() {
    ready_ = false;
    countFrames();
    program_.reset();
    ended_ = false;
    const bool boot = std::uniform_int_distribution<int>(0, kBootLoaderOdds - 1)(rng_) == 0;
    ++starts_;
    if (boot) ++bootStarts_;
    const Clock::duration life =
        boot ? Clock::duration(kBootLoaderTime)
             : std::chrono::seconds(std::uniform_int_distribution<int>(kShortestLife, kLongestLife)(rng_));
    program_ = std::make_unique<RunningProgram>(boot, life, handlers(), files_);
    if (!program_->started) {
      problem = std::string("the program did not start") + (boot ? " (boot loader)" : "");
      return;
    }
    ready_ = true;
    lastWindow_ = Clock::now();
  }
  void end() {
    ready_ = false;
    program_.reset();
  }

  // A program that shows no window for long without having ended.
  bool windowless() {
    if (!ready_ || !program_ || ended()) return false;
    for (const auto& w : ui::Application::shared().windows())
      if (w->isVisible()) {
        lastWindow_ = Clock::now();
        return false;
      }
    return Clock::now() - lastWindow_ > kWindowlessBound;
  }

  // For the user's thread: what the program shows now, asked on the main
  // thread; nothing when the main thread did not answer in time or the test
  // is ending.
  std::optional<xtest::Scene> look() {
    struct Answer {
      std::mutex mutex;
      std::condition_variable done;
      std::optional<xtest::Scene> scene;
    };
    auto answer = std::make_shared<Answer>();
    std::weak_ptr<Stage> weak = weak_from_this();
    dispatch::Queue::main()->async([weak, answer] {
      auto self = weak.lock();
      xtest::Scene scene = self ? self->scene() : xtest::Scene{};
      std::lock_guard guard(answer->mutex);
      answer->scene = std::move(scene);
      answer->done.notify_all();
    });
    std::unique_lock lock(answer->mutex);
    answer->done.wait_for(lock, kLookBound, [&] { return answer->scene.has_value() || closing_.load(); });
    return answer->scene;
  }
  void close() { closing_ = true; }

  std::string summary() const {
    std::string s = std::to_string(starts_) + " program starts (" + std::to_string(bootStarts_) +
                    " in the boot loader), " + std::to_string(openPanels_) + " open panels, " +
                    std::to_string(savePanels_) + " save panels, " + std::to_string(reveals_) + " reveals; seen:";
    for (const auto& what : seen_) s += " " + what + ";";
    s += " alerts:";
    for (const auto& [text, n] : alerts_) s += "\n  " + std::to_string(n) + " x \"" + text + "\"";
    s += "\nframes the units received, by command:";
    char item[32];
    for (const auto& [cmd, n] : frames_) {
      std::snprintf(item, sizeof item, " %02X x%d", cmd, n);
      s += item;
    }
    return s;
  }

private:
  template <class T>
  T pick(const std::vector<T>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng_)];
  }
  bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(rng_) < percent; }

  // Answers as a user would, at random: any button of an alert, a panel
  // cancelled or given files of the right kind, of the wrong kind, several,
  // a folder or a missing file. The end of the process is recorded (the
  // test then starts the program again).
  ui::PlatformHandlers handlers() {
    ui::PlatformHandlers h;
    h.runAlert = [this](const ui::AlertRequest& r) {
      ++alerts_[r.messageText.substr(0, r.messageText.find('\n'))];
      return ui::AlertFirstButtonReturn + std::uniform_int_distribution<long>(0, long(r.buttons.size()) - 1)(rng_);
    };
    h.runOpenPanel = [this](const ui::OpenPanelRequest& r) -> std::optional<std::vector<fs::path>> {
      ++openPanels_;
      if (chance(25)) return std::nullopt;
      std::vector<fs::path> all = files_.all(), fitting;
      for (const auto& f : all)
        for (const auto& type : r.allowedFileTypes)
          if (f.extension() == "." + type) fitting.push_back(f);
      std::vector<fs::path> chosen;
      const int n = r.allowsMultipleSelection && chance(30) ? 2 + int(rng_() % 3) : 1;
      for (int i = 0; i < n; ++i) chosen.push_back(!fitting.empty() && chance(75) ? pick(fitting) : pick(all));
      return chosen;
    };
    h.runSavePanel = [this](const ui::SavePanelRequest& r) -> std::optional<fs::path> {
      ++savePanels_;
      if (chance(25)) return std::nullopt;
      const std::string type = r.allowedFileTypes.empty() ? "" : "." + r.allowedFileTypes.front();
      if (chance(10)) return pick(files_.all());                           // over a file there is
      if (chance(5)) return files_.folder / "no such folder" / ("x" + type);  // where none can be made
      std::string name = chance(50) ? r.nameFieldStringValue : xtest::RandomUser::randomText(rng_);
      for (char& c : name)
        if (c == '/') c = '_';
      return files_.folder / (name + type);
    };
    h.terminate = [this](int) {
      ended_ = true;
      ready_ = false;  // no more input until it is started again
    };
    h.revealInFileManager = [this](const fs::path&) {
      ++reveals_;
      return chance(50);
    };
    return h;
  }

  // ---- what the program shows, in screen coordinates
  static xtest::Area globalArea(QWidget* widget, const QRect& local) {
    const QPoint corner = widget->mapToGlobal(local.topLeft());
    return {corner.x(), corner.y(), local.width(), local.height()};
  }
  static bool isButton(const ui::View& v) {
    static const std::set<std::string> kinds = {"GGSwitch", "GGCoustomButton", "GGFunctionButton",
                                                "EffectInsertButton"};
    return dynamic_cast<const ui::Button*>(&v) || kinds.count(v.className());
  }
  static bool isControl(const ui::View& v) {
    static const std::set<std::string> kinds = {
        "GGStepSlider",   "GGVerticalSliderView", "CLCollectionViewCell", "PresetListCell", "EffectViewListCell",
        "ZrTableViewCell", "ZrTabelCellView",     "GGDrawSlider",         "GGSlider",       "LADSlider",
        "myScroller"};
    return dynamic_cast<const ui::Control*>(&v) || dynamic_cast<const ui::TableRowView*>(&v) ||
           kinds.count(v.className());
  }
  void collect(const ui::View& v, QWidget* widget, bool front, xtest::Scene& s) const {
    if (v.isHidden()) return;
    const ui::Rect r = v.convertRectToView(v.visibleRect(), nullptr);
    if (r.width() < 1 || r.height() < 1) return;
    const QRect local = QRect(int(r.minX()), int(widget->height() - r.maxY()), int(r.width()), int(r.height()))
                            .intersected(widget->rect());
    if (local.isEmpty()) return;
    const xtest::Area area = globalArea(widget, local);
    s.views.push_back(area);
    if (front) s.front.push_back(area);
    auto* field = dynamic_cast<const ui::TextField*>(&v);
    if (field && field->isEditable())
      s.fields.push_back(area);
    else if (isButton(v))
      s.buttons.push_back(area);
    else if (isControl(v))
      s.controls.push_back(area);
    // A screen or question over the window is what the user faces.
    auto* overlay = dynamic_cast<const GGPopView*>(&v);
    if (overlay && !overlay->isFinished()) {
      front = true;
      for (const auto& sub : v.subviews())
        seen_.insert(SystemViewController::controllerOf(*sub) ? "SystemViewController" : sub->className());
    }
    for (const auto& sub : v.subviews()) collect(*sub, widget, front, s);
  }

  xtest::Scene scene() const {
    xtest::Scene s;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect g = screen->geometry();
      s.screen = {g.x(), g.y(), g.width(), g.height()};
    }
    if (!ready_) return s;
    ui::Window* main = ui::Application::shared().mainWindow();
    const bool mainShown = main && main->isVisible();
    for (const auto& w : ui::Application::shared().windows()) {
      if (!w->isVisible() || !w->contentView()) continue;
      QWidget* widget = w->widget();
      s.windows.push_back(globalArea(widget, widget->rect()));
      // A popover or list over the main window is in front of it.
      collect(*w->contentView(), widget, mainShown && w.get() != main, s);
      if (w.get() != main)
        for (const auto& sub : w->contentView()->subviews()) seen_.insert("window of " + sub->className());
    }
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      seen_.insert("context menu");
      s.windows.push_back(globalArea(menu, menu->rect()));
      s.front.clear();
      for (QAction* a : menu->actions())
        if (a->isVisible() && !a->isSeparator()) s.front.push_back(globalArea(menu, menu->actionGeometry(a)));
    }
    return s;
  }

  std::mt19937_64 rng_;
  PanelFiles files_;
  std::unique_ptr<RunningProgram> program_;
  bool ready_ = false;
  bool ended_ = false;
  std::atomic<bool> closing_{false};
  Clock::time_point lastWindow_;
  int starts_ = 0, bootStarts_ = 0, openPanels_ = 0, savePanels_ = 0, reveals_ = 0;
  std::map<std::string, int> alerts_;
  std::map<uint8_t, int> frames_;
  // What the user met over the window: screens and questions, popovers, menus.
  mutable std::set<std::string> seen_;
};

// Tells the watchdog, from the main thread, that the event loop turns and
// that the windows paint: a timer beats, and now and then asks each shown
// window to repaint a corner, whose paint the filter counts.
class Heartbeat : public QObject {
public:
  explicit Heartbeat(xtest::StallWatchdog& watchdog) : watchdog_(watchdog) {
    qApp->installEventFilter(this);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start(50);
  }
  ~Heartbeat() override { qApp->removeEventFilter(this); }

  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint) watchdog_.painted();
    return QObject::eventFilter(object, event);
  }

private:
  void tick() {
    watchdog_.beat();
    if (++ticks_ % 10) return;
    bool shown = false;
    for (const auto& w : ui::Application::shared().windows()) {
      QWidget* widget = w->widget();
      if (!w->isVisible() || !widget->windowHandle() || !widget->windowHandle()->isExposed()) continue;
      shown = true;
      widget->update(0, 0, 1, 1);
    }
    watchdog_.expectPaints(shown);
  }

  xtest::StallWatchdog& watchdog_;
  QTimer timer_;
  uint64_t ticks_ = 0;
};

}  // namespace

// The keyboard types what the random user types: text in several scripts
// reaches a field as written, through the spare keys it is given.
TEST(RandomInput, DISABLED_TextInAnyScriptReachesAField) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
  auto window = ui::Window::create(ui::Rect(60, 60, 400, 80));
  auto field = std::make_shared<ui::TextField>(ui::Rect(10, 20, 380, 30));
  field->setEditable(true);
  window->contentView()->addSubview(field);
  window->makeKeyAndOrderFront();
  ui::testing::RealPointer pointer(*window);
  ASSERT_EQ(pointer.problem(), "");
  ASSERT_TRUE(pointer.waitUntilShown());
  xtest::XKeyboard keyboard;
  ASSERT_EQ(keyboard.problem(), "");

  const std::string cases[] = {"plain ASCII: a-Z!", "Grüße, señor Ø", "Жя λΩ שע", "漢字 あ 한", "🎸😀 e\xcc\x81 ﬁＡ"};
  // Given their keys at once, as the random user does.
  std::string all;
  for (const std::string& text : cases) all += text;
  ASSERT_TRUE(keyboard.reserve(all));
  for (const std::string& text : cases) {
    ASSERT_TRUE(pointer.moveTo({200, 35}));
    ASSERT_TRUE(pointer.quickClicks(1, 0));
    QLineEdit* editor = field->fieldEditor();
    ASSERT_NE(editor, nullptr) << "a click did not start editing";
    editor->clear();
    ASSERT_TRUE(keyboard.type(text));
    keyboard.flush();
    EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return editor->text().toStdString() == text; }, kBound))
        << "typed \"" << text << "\", the field has \"" << editor->text().toStdString() << "\"";
  }
  window->close();
}

TEST(RandomInput, DISABLED_TheProgramTakesRandomInputWithoutCrashOrStall) {
  ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
  gSeed = fromEnvironment("QV450_RANDOM_SEED", uint64_t(std::chrono::system_clock::now().time_since_epoch().count()));
  const uint64_t seconds = fromEnvironment("QV450_RANDOM_SECONDS", kDefaultSeconds);
  const std::string name = "random input, QV450_RANDOM_SEED=" + std::to_string(gSeed);
  std::fprintf(stderr, "%s for %llu s\n", name.c_str(), (unsigned long long)seconds);
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(sayTheSeedOnDeath);
  SCOPED_TRACE(name);

  auto stage = std::make_shared<Stage>(gSeed);
  xtest::RandomUser user(gSeed, [weak = std::weak_ptr<Stage>(stage)] {
    auto s = weak.lock();
    return s ? s->look() : std::nullopt;
  });
  ASSERT_EQ(user.problem(), "");
  struct Announce {
    explicit Announce(const xtest::RandomUser& user) : previous(std::set_terminate([] {
      sayTheSeedOnDeath();
      std::abort();
    })) {
      gUser = &user;
    }
    ~Announce() {
      gUser = nullptr;
      std::set_terminate(previous);
    }
    std::terminate_handler previous;
  } announce(user);
  xtest::StallWatchdog watchdog(kStallLimit, name, [&user] { return "*** the last actions:\n" + user.recent(); });
  Heartbeat heartbeat(watchdog);

  stage->restart();
  ASSERT_EQ(stage->problem, "");
  user.start();
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < deadline) {
    dispatch::runMainLoopUntil(
        [&] { return stage->ended() || stage->windowless() || Clock::now() >= deadline; },
        std::chrono::seconds(1));
    if (stage->windowless()) {
      ADD_FAILURE() << "the program shows no window and has not ended\nthe last actions:\n" << user.recent();
      break;
    }
    if (stage->ended()) {
      stage->restart();
      ASSERT_EQ(stage->problem, "") << "the last actions:\n" << user.recent();
    }
    stage->countFrames();
  }
  stage->close();
  user.stop();
  stage->countFrames();
  std::fprintf(stderr, "%s: %llu actions in %llu s (%s); %s\n", name.c_str(), (unsigned long long)user.actions(),
               (unsigned long long)seconds, user.summary().c_str(), stage->summary().c_str());
  stage->end();
}

// The watchdog ends the process, naming the run and showing where the main
// thread is, when the main thread stops turning or its shown windows stop
// painting.
TEST(StallWatchdog, EndsTheProcessWhenTheMainThreadStopsTurningOrPainting) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  using namespace std::chrono_literals;
  const auto lastWords = [] { return std::string("the last words\n"); };
  EXPECT_EXIT(
      {
        xtest::StallWatchdog watchdog(300ms, "seed 17", lastWords);
        std::this_thread::sleep_for(20s);
      },
      testing::ExitedWithCode(1), "seed 17: the main thread has not turned its event loop(.|\n)*the last words");
  EXPECT_EXIT(
      {
        xtest::StallWatchdog watchdog(300ms, "seed 18", lastWords);
        watchdog.expectPaints(true);
        for (int i = 0; i < 400; ++i) {
          watchdog.beat();
          std::this_thread::sleep_for(50ms);
        }
      },
      testing::ExitedWithCode(1), "seed 18: the shown windows have not repainted");
}
