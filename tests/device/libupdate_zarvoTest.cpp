// The updater object over the transport and the simulated unit: connection
// and mode dispatch, forwarding to its delegate, and the firmware update as
// the firmware window sees it through the progress and error callbacks.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "device/firmware/libupdate_zarvo.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"

namespace {

using namespace std::chrono_literals;

const uint8_t kIdentifyRequest[11] = {0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF, 0, 0, 0, 0};

// Records what the firmware window would see, in order.
class Window {
public:
  void progress(int p) { add("p" + std::to_string(p)); }
  void error(int s) { add("e" + std::to_string(s)); }
  bool waitForEnd(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] {
      return !calls_.empty() && (calls_.back() == "p100" || calls_.back()[0] == 'e');
    });
  }
  std::vector<std::string> calls() {
    std::lock_guard guard(mutex_);
    return calls_;
  }
  libupdate_zarvo::ValueBlock progressBlock() {
    return [this](int p) { progress(p); };
  }
  libupdate_zarvo::ValueBlock errorBlock() {
    return [this](int s) { error(s); };
  }
  // Waits until every task queued by now on the queue the callbacks run on
  // has run: a tick that would call again has done so by then.
  bool drain() {
    std::shared_ptr<dispatch::Queue> queue;
    {
      std::lock_guard guard(mutex_);
      queue = queue_;
    }
    return queue && queue->sync([] {});
  }

private:
  void add(std::string s) {
    std::lock_guard guard(mutex_);
    calls_.push_back(std::move(s));
    queue_ = dispatch::Queue::current();
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
  std::shared_ptr<dispatch::Queue> queue_;
};

// The queue an update reports on, caught from inside it by the progress
// timer's cancel handler, which runs there once the timer's last call has
// returned. Set before the update can end.
class ProgressQueue {
public:
  explicit ProgressQueue(libupdate_zarvo& updater) {
    updater.time()->setCancelHandler([state = state_] {
      std::lock_guard guard(state->mutex);
      state->queue = dispatch::Queue::current();
      state->changed.notify_all();
    });
  }
  // Waits for the timer's cancel, then for every task queued on the queue by
  // now (the worker's last tick among them, once the cancel has joined it).
  bool drain() {
    std::shared_ptr<dispatch::Queue> queue;
    {
      std::unique_lock lock(state_->mutex);
      if (!state_->changed.wait_for(lock, 10s, [&] { return state_->queue != nullptr; })) return false;
      queue = state_->queue;
    }
    return queue->sync([] {});
  }

private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<dispatch::Queue> queue;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

class Receiver : public ZarvoHIDDelegate {
public:
  void callBackData(std::span<const uint8_t> frame) override {
    std::lock_guard guard(mutex);
    events.push_back("frame " + std::to_string(frame[4]));
    gone.notify_all();
  }
  void disconnectDevice() override {
    std::lock_guard guard(mutex);
    events.push_back("gone");
    gone.notify_all();
  }
  std::mutex mutex;
  std::condition_variable gone;  // any event
  std::vector<std::string> events;
};

class UpdaterTest : public testing::Test {
protected:
  std::shared_ptr<libupdate_zarvo> connect(sim::Identity identity, bool expectFound = true) {
    unit = std::make_shared<sim::SimulatedUnit>(identity);
    loader = sim::SimBootloader::install(*unit);
    backend = std::make_shared<sim::SimBackend>();
    backend->addUnit(unit);
    auto updater = libupdate_zarvo::create(backend);
    HIDClass::Timing t;
    t.identifyPoll = 10ms;
    t.identifyPolls = 50;  // half a second an attempt: an answer is never taken for silence
    t.readSlice = 10ms;
    updater->hidclass().setTiming(t);
    updater->setPid(0x5703, 0x0483, 200);
    updater->setDeviceName("VLT", "V1.0.5");
    libupdate_zarvo::Timing ut;
    ut.progressFirstTick = 20ms;
    ut.progressInterval = 5ms;
    updater->setTiming(ut);
    EXPECT_EQ(updater->connectDeviceWithCMD(kIdentifyRequest, 7), expectFound ? 1 : -1);
    return updater;
  }

  std::filesystem::path image(const sim::TestFirmwareSpec& spec) {
    imagePath = std::filesystem::temp_directory_path() /
                ("qv450-updater-" + std::to_string(::getpid()) + "-" + testing::UnitTest::GetInstance()->current_test_info()->name() + ".qv");
    auto bytes = sim::makeTestFirmware(spec);
    std::ofstream(imagePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return imagePath;
  }

  void TearDown() override {
    if (!imagePath.empty()) std::filesystem::remove(imagePath);
  }

  static sim::Identity boot() {
    sim::Identity id;
    id.mode = 'B';
    return id;
  }

  std::shared_ptr<sim::SimulatedUnit> unit;
  std::shared_ptr<sim::SimBootloader> loader;
  std::shared_ptr<sim::SimBackend> backend;
  std::filesystem::path imagePath;
};

TEST_F(UpdaterTest, DispatchesOnTheUnitsMode) {
  struct Case {
    uint8_t mode;
    std::string version;
    const char* expected;
  };
  for (const Case& c : {Case{'A', "V1.0.5", "app"}, Case{'B', "V0.0.0", "boot"}, Case{'A', "V1.0.4", "low"},
                        Case{'Q', "V1.0.5", "error"}}) {
    sim::Identity id;
    id.mode = c.mode;
    id.version = c.version;
    auto updater = connect(id);
    std::vector<std::string> ran;
    updater->runApp([&] { ran.push_back("app"); }, [&] { ran.push_back("boot"); }, [&] { ran.push_back("low"); },
                    [&] { ran.push_back("error"); });
    EXPECT_EQ(ran, std::vector<std::string>{c.expected}) << c.mode << " " << c.version;
  }
  sim::Identity silent;
  silent.answers = false;
  auto updater = connect(silent, false);
  std::vector<std::string> ran;
  updater->runApp(nullptr, nullptr, nullptr, [&] { ran.push_back("error"); });
  EXPECT_EQ(ran, std::vector<std::string>{"error"});
}

TEST_F(UpdaterTest, SendsOnlyToAnIdentifiedUnitAndForwardsInOrder) {
  auto updater = libupdate_zarvo::create(std::make_shared<sim::SimBackend>());
  const uint8_t page[2] = {5, 0};
  updater->sendCMD(0xB4, page, 3);  // nobody there: nothing happens

  sim::Identity app;
  updater = connect(app);
  auto receiver = std::make_shared<Receiver>();
  updater->setHidDelegate(receiver);
  unit->clearReceived();
  updater->sendCMD(0xB4, page, 3);
  ASSERT_TRUE(unit->waitForFrames(1, 10s));
  EXPECT_EQ(unit->receivedFrames()[0].bytes, (std::vector<uint8_t>{0xAA, 0x55, 0x03, 0x00, 0xB4, 0x05, 0x00, 0xCC, 0xE7}));

  const uint8_t payload[1] = {1};
  unit->sendFrame(0x16, payload);
  unit->sendFrame(0x30, payload);
  unit->sendFrame(0x17, payload);
  std::unique_lock lock(receiver->mutex);
  // Pulling the plug drops what the host has not read yet.
  ASSERT_TRUE(receiver->gone.wait_for(lock, 10s, [&] { return receiver->events.size() == 3; }));
  lock.unlock();
  unit->unplug();
  lock.lock();
  ASSERT_TRUE(receiver->gone.wait_for(lock, 10s, [&] { return receiver->events.size() == 4; }));
  EXPECT_EQ(receiver->events, (std::vector<std::string>{"frame 22", "frame 48", "frame 23", "gone"}));
}

TEST_F(UpdaterTest, FullUpdateReportsRisingProgressAndOneHundredOnce) {
  auto updater = connect(boot());
  auto receiver = std::make_shared<Receiver>();
  updater->setHidDelegate(receiver);
  sim::SimBootloader::Knobs knobs;
  knobs.leaveBusAfterFinish = true;
  loader->setKnobs(knobs);
  unit->setPaced(true);  // about 9 ms a block: the timer sees the percentage grow
  const auto spec = sim::TestFirmwareSpec::withBlocks(40);
  Window window;
  updater->beginUpdate(image(spec).string(), window.progressBlock(), window.errorBlock());
  EXPECT_TRUE(updater->isUpdating());
  ASSERT_TRUE(window.waitForEnd(10s));
  // Nothing more comes: the worker joined, every tick queued has run.
  updater->cancelUpdate();
  ASSERT_TRUE(window.drain());
  auto calls = window.calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.back(), "p100");
  int last = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    ASSERT_EQ(calls[i][0], 'p') << calls[i];
    int p = std::stoi(calls[i].substr(1));
    EXPECT_GT(p, last) << i;
    EXPECT_TRUE(i + 1 == calls.size() || p < 100);
    last = p;
  }
  // Every block arrived, in order, with the image's content; then the unit left.
  auto blocks = loader->blocks();
  ASSERT_EQ(blocks.size(), 40u);
  for (size_t b = 0; b < blocks.size(); ++b) {
    EXPECT_EQ(blocks[b].number, b);
    EXPECT_EQ(blocks[b].data[511], sim::testFirmwareByte(0, b * 512 + 511));
  }
  EXPECT_EQ(loader->packetTypes().back(), 0xFF);
  std::unique_lock lock(receiver->mutex);
  EXPECT_TRUE(receiver->gone.wait_for(lock, 10s, [&] { return !receiver->events.empty(); }));
  EXPECT_EQ(receiver->events, std::vector<std::string>{"gone"});  // boot-loader answers stay with the engine
}

// The timer only ever saw low percentages: the end still shows as 100.
TEST_F(UpdaterTest, QuickUpdateEndsWithOneHundredBeforeTheFirstTick) {
  auto updater = connect(boot());
  auto t = updater->timing();
  t.progressFirstTick = 60s;
  updater->setTiming(t);
  Window window;
  updater->beginUpdate(image(sim::TestFirmwareSpec::twoSections()).string(), window.progressBlock(),
                       window.errorBlock());
  ASSERT_TRUE(window.waitForEnd(10s));
  EXPECT_EQ(window.calls(), std::vector<std::string>{"p100"});
  EXPECT_TRUE(updater->time()->isCancelled());
}

TEST_F(UpdaterTest, EachFailureReachesTheErrorCallbackOnceAndAtOnce) {
  struct Case {
    const char* name;
    std::function<void(sim::SimBootloader::Knobs&)> knobs;
    bool missingImage;
    int status;
  };
  const std::vector<Case> cases = {
      {"missing image", [](auto&) {}, true, 6},
      {"no answer to 00", [](auto& k) { k.answerHello = false; }, false, 9},
      {"02 refused", [](auto& k) { k.refuseAnnounce = true; }, false, 9},
      {"silent after block 3", [](auto& k) { k.ackLimit = 3; }, false, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto updater = connect(boot());
    auto t = updater->timing();
    t.progressFirstTick = 60s;  // only the end of the worker can report
    updater->setTiming(t);
    updater->engine().waitStep = 100us;  // a second for each answer: never late, only missing
    updater->engine().helloWaitSteps = 10000;
    updater->engine().blockAckTimeout = 1s;
    sim::SimBootloader::Knobs knobs;
    c.knobs(knobs);
    loader->setKnobs(knobs);
    auto path = image(sim::TestFirmwareSpec::withBlocks(8));
    if (c.missingImage) path = path.parent_path() / libupdate_zarvo::kFirmwareImageName;
    Window window;
    updater->beginUpdate(path.string(), window.progressBlock(), window.errorBlock());
    ASSERT_TRUE(window.waitForEnd(10s));
    updater->cancelUpdate();  // joins the worker: its last tick is queued
    ASSERT_TRUE(window.drain());
    EXPECT_EQ(window.calls(), std::vector<std::string>{"e" + std::to_string(c.status)});
    EXPECT_FALSE(updater->updateErrorText().empty());
    if (c.missingImage) {
      EXPECT_NE(updater->updateErrorText().find(libupdate_zarvo::kFirmwareImageName), std::string::npos);
      EXPECT_TRUE(loader->packets().empty());
    }
  }
}

// Two threads starting an update at the same moment: exactly one runs (a
// second worker would replace the running one's thread handle and end the
// program).
TEST_F(UpdaterTest, UpdatesStartedTogetherFromTwoThreadsRunOnce) {
  auto updater = connect(boot());
  updater->engine().blockAckTimeout = 60s;
  sim::SimBootloader::Knobs knobs;
  knobs.ackLimit = 1;  // keeps the first update running until cancelled
  loader->setKnobs(knobs);
  const std::string path = image(sim::TestFirmwareSpec::withBlocks(8)).string();
  Window a, b;
  std::atomic<int> ready{0};
  auto start = [&](Window& w) {
    ++ready;
    while (ready.load() < 2) {
    }
    updater->beginUpdate(path, w.progressBlock(), w.errorBlock());
  };
  std::thread t1([&] { start(a); });
  std::thread t2([&] { start(b); });
  t1.join();
  t2.join();
  EXPECT_TRUE(updater->isUpdating());
  ASSERT_TRUE(unit->waitForFrames(5, 10s));  // identify, AA, 00, 02, a block
  // The cancel joins the worker: every packet it sent has reached the unit.
  updater->cancelUpdate();
  EXPECT_FALSE(updater->isUpdating());
  const auto types = loader->packetTypes();
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(std::count(types.begin(), types.end(), types.front()), 1) << "one update's opening packet only";
  // Only the running update reported (its progress); neither ended in an error.
  EXPECT_TRUE(a.calls().empty() || b.calls().empty());
  for (const auto& call : a.calls()) EXPECT_EQ(call.front(), 'p');
  for (const auto& call : b.calls()) EXPECT_EQ(call.front(), 'p');
}

TEST_F(UpdaterTest, CancelDuringAnUpdateStopsWorkerAndTimerQuickly) {
  auto updater = connect(boot());
  updater->engine().blockAckTimeout = 60s;
  sim::SimBootloader::Knobs knobs;
  knobs.ackLimit = 2;
  loader->setKnobs(knobs);
  Window window;
  updater->beginUpdate(image(sim::TestFirmwareSpec::withBlocks(8)).string(), window.progressBlock(),
                       window.errorBlock());
  ProgressQueue progressQueue(*updater);
  ASSERT_TRUE(unit->waitForFrames(7, 10s));  // identify, AA, 00, 02 and three blocks
  // A second update is refused while this one runs.
  Window second;
  updater->beginUpdate(imagePath.string(), second.progressBlock(), second.errorBlock());
  // A tick has seen the percentage move.
  for (int i = 0; i < 10000 && window.calls().empty(); ++i) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(window.calls().empty());
  const auto before = std::chrono::steady_clock::now();
  updater->cancelUpdate();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);  // not the minute's wait for the block
  EXPECT_FALSE(updater->isUpdating());
  EXPECT_TRUE(updater->time()->isCancelled());
  auto seen = window.calls().size();
  ASSERT_TRUE(progressQueue.drain());
  EXPECT_EQ(window.calls().size(), seen);
  EXPECT_TRUE(second.calls().empty());
  EXPECT_EQ(unit->receivedCount(), 7u);  // nothing after the third block
  EXPECT_EQ(updater->engine().status(), FirmwareEngine::StatusCancelled);
}

// What callbacks racing a cancel saw. Held by the callbacks: they run on the
// progress queue and must not outlive what they touch.
struct Race {
  std::atomic<bool> cancelReturned{false};
  std::atomic<int> inside{0};
  std::atomic<int> calls{0};
  std::atomic<int> startedAfterCancel{0};
  std::atomic<bool> entered{false};
  std::chrono::microseconds hold{0};
  void call() {
    if (cancelReturned) ++startedAfterCancel;
    ++inside;
    ++calls;
    entered = true;
    std::this_thread::sleep_for(hold);
    --inside;
  }
};

// Once cancelUpdate has returned no callback starts, and none still runs:
// whoever cancels may destroy what the callbacks use.
TEST_F(UpdaterTest, NoCallbackRunsOrStartsOnceCancelUpdateHasReturned) {
  auto updater = connect(boot());
  auto t = updater->timing();
  t.progressFirstTick = 1ms;
  t.progressInterval = 1ms;
  updater->setTiming(t);
  updater->engine().blockAckTimeout = 5s;
  unit->setPaced(true);  // a block every few milliseconds: the percentage moves at every tick
  const std::string path = image(sim::TestFirmwareSpec::withBlocks(400)).string();

  // A callback in progress when the cancel comes is waited for.
  {
    auto race = std::make_shared<Race>();
    race->hold = 50ms;
    updater->beginUpdate(path, [race](int) { race->call(); }, [race](int) { race->call(); });
    for (int i = 0; i < 5000 && !race->entered; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(race->entered);
    updater->cancelUpdate();
    race->cancelReturned = true;
    EXPECT_EQ(race->inside.load(), 0) << "a callback still ran after cancelUpdate returned";
    EXPECT_EQ(updater->engine().status(), FirmwareEngine::StatusCancelled);
    EXPECT_FALSE(updater->isUpdating());
  }
  // Cancels at every moment of the run, callbacks short and long.
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    auto race = std::make_shared<Race>();
    race->hold = std::chrono::microseconds(round % 3 == 0 ? 0 : 300 * (round % 3));
    updater->beginUpdate(path, [race](int) { race->call(); }, [race](int) { race->call(); });
    ProgressQueue progressQueue(*updater);
    std::this_thread::sleep_for(std::chrono::milliseconds(round * 3));
    updater->cancelUpdate();
    race->cancelReturned = true;
    EXPECT_EQ(race->inside.load(), 0);
    const int calls = race->calls.load();
    ASSERT_TRUE(progressQueue.drain());  // every tick queued has run
    EXPECT_EQ(race->calls.load(), calls);
    EXPECT_EQ(race->startedAfterCancel.load(), 0);
    EXPECT_TRUE(FirmwareEngine::isFinal(updater->engine().status())) << updater->engine().status();
    EXPECT_FALSE(updater->isUpdating());
  }
}

// A callback may cancel the update it reports on (the window's "stop").
TEST_F(UpdaterTest, ACallbackMayCancelItsOwnUpdate) {
  auto updater = connect(boot());
  auto t = updater->timing();
  t.progressFirstTick = 1ms;
  t.progressInterval = 1ms;
  updater->setTiming(t);
  unit->setPaced(true);
  // Calls, and the queue they ran on (held by the callback).
  struct Calls {
    std::atomic<int> count{0};
    std::mutex mutex;
    std::shared_ptr<dispatch::Queue> queue;
  };
  auto cancelled = std::make_shared<Calls>();
  std::weak_ptr<libupdate_zarvo> weak = updater;
  updater->beginUpdate(image(sim::TestFirmwareSpec::withBlocks(200)).string(),
                       [weak, cancelled](int) {
                         if (auto u = weak.lock()) u->cancelUpdate();
                         std::lock_guard guard(cancelled->mutex);
                         cancelled->queue = dispatch::Queue::current();
                         ++cancelled->count;
                       },
                       nullptr);
  for (int i = 0; i < 10000 && cancelled->count.load() == 0; ++i) std::this_thread::sleep_for(1ms);
  updater->cancelUpdate();  // joins the worker
  std::shared_ptr<dispatch::Queue> queue;
  {
    std::lock_guard guard(cancelled->mutex);
    queue = cancelled->queue;
  }
  ASSERT_TRUE(queue);
  EXPECT_TRUE(queue->sync([] {}));  // every tick queued has run: no second call
  EXPECT_EQ(cancelled->count.load(), 1);
  EXPECT_EQ(updater->engine().status(), FirmwareEngine::StatusCancelled);
}

// The simulated unit the program uses with QV450_SIMULATOR=boot: without the
// bundled image the user gets a clear error; with a test image the update runs
// and the unit restarts.
TEST_F(UpdaterTest, SimulatorInItsBootLoaderTakesATestImage) {
  auto simBackend = sim::SimBackend::forEnvironment("boot");
  auto updater = libupdate_zarvo::create(simBackend);
  updater->setPid(0x5703, 0x0483, 200);
  updater->setDeviceName("VLT", "V1.0.5");
  auto t = updater->timing();
  t.progressFirstTick = 60s;
  updater->setTiming(t);
  ASSERT_EQ(updater->connectDeviceWithCMD(kIdentifyRequest, 7), 1);
  std::vector<std::string> ran;
  updater->runApp(nullptr, [&] { ran.push_back("boot"); }, nullptr, nullptr);
  ASSERT_EQ(ran, std::vector<std::string>{"boot"});
  auto receiver = std::make_shared<Receiver>();
  updater->setHidDelegate(receiver);

  Window missing;
  const auto absent = std::filesystem::temp_directory_path() / "qv450-no-bundle" / libupdate_zarvo::kFirmwareImageName;
  updater->beginUpdate(absent.string(), missing.progressBlock(), missing.errorBlock());
  ASSERT_TRUE(missing.waitForEnd(10s));
  EXPECT_EQ(missing.calls(), std::vector<std::string>{"e6"});
  EXPECT_NE(updater->updateErrorText().find("not found"), std::string::npos);

  Window window;
  updater->beginUpdate(image(sim::TestFirmwareSpec::twoSections()).string(), window.progressBlock(),
                       window.errorBlock());
  ASSERT_TRUE(window.waitForEnd(10s));
  EXPECT_EQ(window.calls().back(), "p100");
  std::unique_lock lock(receiver->mutex);
  EXPECT_TRUE(receiver->gone.wait_for(lock, 10s, [&] { return !receiver->events.empty(); }));
}

}  // namespace
