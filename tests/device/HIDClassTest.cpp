// The transport against simulated units: identification outcomes, routing
// by mode, sending, removal, concurrent senders and quitting.
#include "device/transport/HIDClass.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "device/codec/FrameCodec.h"
#include "platform/foundation/Log.h"
#include "sim/SimBackend.h"
#include "sim/SimulatedUnit.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using sim::SimulatedUnit;

constexpr uint8_t kRequest[11] = {0xAA, 0x55, 0x01, 0x00, 0x00, 0, 0, 0, 0, 0, 0};

class RecordingDelegate : public ZarvoHIDDelegate {
public:
  void callBackData(std::span<const uint8_t> frame) override {
    {
      std::lock_guard guard(mutex_);
      frames_.emplace_back(frame.begin(), frame.end());
    }
    if (onFrame) onFrame();
    cv_.notify_all();
  }
  std::function<void()> onFrame;
  void disconnectDevice() override {
    {
      std::lock_guard guard(mutex_);
      ++disconnects_;
    }
    cv_.notify_all();
    if (onDisconnect) onDisconnect();
  }
  bool waitFrames(size_t n, std::chrono::milliseconds bound = 10s) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, bound, [&] { return frames_.size() >= n; });
  }
  bool waitDisconnect(std::chrono::milliseconds bound = 10s) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, bound, [&] { return disconnects_ > 0; });
  }
  std::vector<Bytes> frames() {
    std::lock_guard guard(mutex_);
    return frames_;
  }
  int disconnects() {
    std::lock_guard guard(mutex_);
    return disconnects_;
  }
  std::function<void()> onDisconnect;

private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Bytes> frames_;
  int disconnects_ = 0;
};

class HIDClassTest : public testing::Test {
protected:
  void SetUp() override {
    previousSink_ = fnd::setLogSink([this](const std::string& line) {
      std::lock_guard guard(logMutex_);
      logs_.push_back(line);
    });
  }
  void TearDown() override {
    hid.reset();
    fnd::setLogSink(previousSink_);
  }

  // Short polls; an attempt long enough that a loaded machine never makes a
  // unit that answers look silent.
  static HIDClass::Timing fastTiming() {
    HIDClass::Timing t;
    t.identifyPoll = 5ms;
    t.identifyPolls = 100;
    t.readSlice = 5ms;
    return t;
  }

  std::shared_ptr<SimulatedUnit> addUnit(sim::Identity id = {}) {
    auto unit = std::make_shared<SimulatedUnit>(id);
    backend->addUnit(unit);
    return unit;
  }

  void make() {
    hid = std::make_unique<HIDClass>(backend);
    hid->setVid(0x0483);
    hid->setPid(0x5703);
    hid->setVer(200);
    hid->setDeviceName("VLT");
    hid->setDeviceVersion("V1.0.5");
    hid->setDelegate(delegate);
    hid->setUpdateHandleReply([this](std::span<const uint8_t> f) {
      std::lock_guard guard(bootMutex_);
      bootFrames_.emplace_back(f.begin(), f.end());
    });
    hid->setTiming(fastTiming());
  }

  bool open() {
    if (!hid) make();
    return hid->OpenDevice(kRequest, sizeof kRequest);
  }

  bool logged(const std::string& text) {
    std::lock_guard guard(logMutex_);
    return std::any_of(logs_.begin(), logs_.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  }

  std::vector<Bytes> bootFrames() {
    std::lock_guard guard(bootMutex_);
    return bootFrames_;
  }

  // Identify requests a unit has seen.
  static size_t identifyRequests(const SimulatedUnit& unit) {
    const auto frames = unit.receivedFrames();
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(), [](const sim::ReceivedFrame& f) {
      return f.bytes == Bytes{0xAA, 0x55, 0x01, 0x00, 0x00, 0xC8, 0xCF};
    }));
  }

  std::shared_ptr<sim::SimBackend> backend = std::make_shared<sim::SimBackend>();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::unique_ptr<HIDClass> hid;

private:
  fnd::LogSink previousSink_;
  std::mutex logMutex_;
  std::vector<std::string> logs_;
  std::mutex bootMutex_;
  std::vector<Bytes> bootFrames_;
};

// --- identification ---

TEST_F(HIDClassTest, IdentifiesAnApplicationUnitWithTheProtocolsPackets) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  EXPECT_EQ(hid->hid_identify_state(), HIDClass::kIdentified);
  EXPECT_EQ(hid->hid_device_mode(), 'A');
  ASSERT_NE(hid->hid_current_device(), nullptr);
  EXPECT_EQ(hid->deviceRefs().size(), 1u);
  EXPECT_NE(hid->HIDManager(), nullptr);
  EXPECT_TRUE(logged("HID device sim:0 0483:5703 release 200"));
  // The raw identify packet (not a frame: the unit ignores it), then the
  // request, each one report, both written exactly.
  EXPECT_EQ(unit->reportsFromHost(), 2u);
  ASSERT_EQ(unit->receivedCount(), 1u);
  EXPECT_EQ(identifyRequests(*unit), 1u);
  // The reply is not a frame for the delegate, nor left in the queue: the
  // first frame to arrive is one the unit sends after it.
  const Bytes after = frame::build(0x34, Bytes{0x01});
  unit->sendBytes(after);
  ASSERT_TRUE(delegate->waitFrames(1));
  EXPECT_EQ(delegate->frames(), std::vector<Bytes>{after});
  EXPECT_TRUE(hid->m_Vector().empty());
}

TEST_F(HIDClassTest, ModeAndVersionDecideTheIdentifiedMode) {
  struct Case {
    sim::Identity id;
    uint8_t mode;
  };
  const Case cases[] = {
      {{"VLT", "V1.0.5", 'B', true}, 'B'},  // boot loader: version not looked at
      {{"VLT", "V9.9.9", 'B', true}, 'B'},
      {{"VLT", "V1.0.4", 'A', true}, 'L'},  // application firmware of another version
      {{"VLT", "V1.0.5", 'Q', true}, 'Q'},  // an unknown mode is kept as it came
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    backend = std::make_shared<sim::SimBackend>();
    addUnit(c.id);
    hid.reset();
    ASSERT_TRUE(open());
    EXPECT_EQ(hid->hid_identify_state(), HIDClass::kIdentified);
    EXPECT_EQ(hid->hid_device_mode(), c.mode);
  }
}

TEST_F(HIDClassTest, AUnitOfAnotherNameIsClosedAndTheNextTried) {
  auto stranger = addUnit({"XYZ", "V1.0.5", 'A', true});
  auto unit = addUnit();
  ASSERT_TRUE(open());
  EXPECT_TRUE(logged("关闭设备成功!"));
  EXPECT_EQ(hid->hid_current_device()->info().path, "sim:1");
  EXPECT_EQ(identifyRequests(*stranger), 1u);

  // Alone, it leaves no unit.
  backend = std::make_shared<sim::SimBackend>();
  addUnit({"VLX", "V1.0.5", 'A', true});
  hid.reset();
  EXPECT_FALSE(open());
  EXPECT_EQ(hid->hid_current_device(), nullptr);
  EXPECT_EQ(hid->hid_identify_state(), HIDClass::kIdentifyWaiting);
  EXPECT_TRUE(logged("没有符合要求的USB设备!"));
}

TEST_F(HIDClassTest, ASilentUnitCostsThreeAttemptsBeforeTheNext) {
  auto silent = addUnit({"VLT", "V1.0.5", 'A', false});
  auto unit = addUnit();
  make();
  const auto t = hid->timing();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(open());
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(identifyRequests(*silent), 3u);
  EXPECT_EQ(silent->reportsFromHost(), 6u);
  EXPECT_GE(took, 3 * t.identifyPolls * t.identifyPoll);
  EXPECT_EQ(hid->hid_current_device()->info().path, "sim:1");
}

TEST_F(HIDClassTest, ASecondOpenWaitsForItsOwnAnswer) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  // The unit falls silent: an earlier identification must not answer for it.
  auto id = unit->identity();
  id.answers = false;
  unit->setIdentity(id);
  EXPECT_FALSE(open());
  EXPECT_EQ(hid->hid_current_device(), nullptr);
}

TEST_F(HIDClassTest, NoUnitOrAnUnopenableUnitGivesNo) {
  make();
  // Only a unit with the right release number is listed.
  auto other = std::make_shared<SimulatedUnit>();
  auto info = sim::SimBackend::unitInfo(7);
  info.releaseNumber = 201;
  backend->addUnit(other, info);
  EXPECT_FALSE(open());
  EXPECT_TRUE(hid->deviceRefs().empty());
  EXPECT_EQ(other->reportsFromHost(), 0u);
  EXPECT_TRUE(logged("没有符合要求的USB设备!"));

  // A unit present but not ours to open: said plainly, and the search ends.
  backend = std::make_shared<sim::SimBackend>();
  backend->addUnopenable(sim::SimBackend::unitInfo(0), hid::OpenError::PermissionDenied);
  auto behind = addUnit();
  hid.reset();
  EXPECT_FALSE(open());
  EXPECT_TRUE(logged("打开设备失败!"));
  EXPECT_TRUE(logged("permission denied"));
  EXPECT_TRUE(logged("packaging/60-qv450.rules"));
  EXPECT_EQ(behind->reportsFromHost(), 0u);
}

TEST_F(HIDClassTest, StartUpWaitsForTheHidThreadInsteadOfSleeping) {
  backend->setInitSucceeds(false);
  make();
  HIDClass::Timing t = hid->timing();
  t.startup = 120s;  // sleeping it out would be a hang
  hid->setTiming(t);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(open());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
  EXPECT_TRUE(logged("IOHIDManagerOpen failed."));
  EXPECT_FALSE(logged("was not ready within"));
}

// --- routing ---

TEST_F(HIDClassTest, ApplicationModeFramesReachTheDelegateInOrder) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  const Bytes a = frame::build(0x34, Bytes{0x09});
  const Bytes b = frame::build(0x20, Bytes(159, 0x33));
  const Bytes c = frame::build(0x16, Bytes{0x07});
  // Garbage and two frames in one report, then one spread over three.
  Bytes packed = {0x00, 0x13};
  packed.insert(packed.end(), a.begin(), a.end());
  packed.insert(packed.end(), c.begin(), c.end());
  unit->sendBytes(packed);
  unit->sendFrame(0x20, Bytes(159, 0x33));
  ASSERT_TRUE(delegate->waitFrames(3));
  EXPECT_EQ(delegate->frames(), (std::vector<Bytes>{a, c, b}));
  EXPECT_TRUE(bootFrames().empty());
}

TEST_F(HIDClassTest, TheDelegateMayCallBackIntoTheTransport) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  auto queued = std::make_shared<std::atomic<size_t>>(99);
  HIDClass* transport = hid.get();
  delegate->onFrame = [queued, transport] { *queued = transport->m_Vector().size(); };  // takes the receive lock
  unit->sendFrame(0x34, Bytes{0x09});
  ASSERT_TRUE(delegate->waitFrames(1));
  hid.reset();  // the HID thread has stopped: the callback has returned
  EXPECT_EQ(queued->load(), 0u);
  delegate->onFrame = nullptr;
}

TEST_F(HIDClassTest, OtherModesRouteFramesToTheBootLoaderHandler) {
  auto unit = addUnit({"VLT", "", 'B', true});
  ASSERT_TRUE(open());
  const Bytes ack = {0xAA, 0x55, 0x02, 0x00, 0x01, 0x01, 0x31, 0x87};
  unit->sendBytes(ack);
  for (int i = 0; i < 200 && bootFrames().empty(); ++i) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(bootFrames(), std::vector<Bytes>{ack});
  EXPECT_TRUE(delegate->frames().empty());
}

TEST_F(HIDClassTest, MalformedReportsAreBoundedOrIgnored) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  const Bytes a = frame::build(0x34, Bytes{0x09});
  const Bytes b = frame::build(0x16, Bytes{0x07});
  // A 63-byte report is not a report of the unit: ignored.
  Bytes shortReport(63, 0);
  shortReport[0] = static_cast<uint8_t>(a.size());
  std::copy(a.begin(), a.end(), shortReport.begin() + 1);
  unit->sendReport(shortReport);
  // A count byte of 200 reads only the 63 bytes there are.
  Bytes wild(64, 0x01);
  wild[0] = 200;
  std::copy(b.begin(), b.end(), wild.begin() + 1);
  unit->sendReport(wild);
  // An impossible length does not hold up the next frame.
  unit->sendBytes(Bytes{0xAA, 0x55, 0xFF, 0xFF, 0x00});
  unit->sendBytes(a);
  // A last good frame: nothing else came before it.
  const Bytes last = frame::build(0x17, Bytes{0x02});
  unit->sendBytes(last);
  ASSERT_TRUE(delegate->waitFrames(3));
  EXPECT_EQ(delegate->frames(), (std::vector<Bytes>{b, a, last}));
}

// --- sending ---

TEST_F(HIDClassTest, SendCmdWritesTheFrameAsReports) {
  make();
  const uint8_t page[] = {0x05, 0x00};
  hid->sendCMD(0xB4, page, 3);  // no unit open: nothing at all
  EXPECT_EQ(hid->hid_send_reports(Bytes{1, 2, 3}), 0);

  auto unit = addUnit();
  ASSERT_TRUE(open());
  unit->clearReceived();
  hid->sendCMD(0x1B4, page, 3);  // only the low byte of the command goes out
  hid->sendCMD(0xB5, Bytes(513, 0x5A).data(), 514);
  hid->sendCMD(0xC1, nullptr, 1);
  ASSERT_TRUE(unit->waitForFrames(3, 10s));
  const auto frames = unit->receivedFrames();
  EXPECT_EQ(frames[0].bytes, (Bytes{0xAA, 0x55, 0x03, 0x00, 0xB4, 0x05, 0x00, 0xCC, 0xE7}));
  EXPECT_EQ(frames[1].payload, Bytes(513, 0x5A));
  EXPECT_EQ(frames[2].bytes, (Bytes{0xAA, 0x55, 0x01, 0x00, 0xC1, 0x01, 0xA2}));
  EXPECT_EQ(unit->reportsFromHost(), 2u + 1u + 9u + 1u);

  // Lengths no frame can have are refused, not sent.
  const uint64_t before = unit->reportsFromHost();
  hid->sendCMD(0xB4, page, 0);
  hid->sendCMD(0xB4, Bytes(frame::kMaxLength + 1).data(), frame::kMaxLength + 1);
  Bytes lying = {0xAA, 0x55, 0x40, 0x00, 0x01, 0x00, 0x00};
  EXPECT_EQ(hid->hid_frame_send(lying), 0);
  EXPECT_EQ(unit->reportsFromHost(), before);
  EXPECT_TRUE(logged("sendCMD: refused command 0xB4 with datalen 0"));
}

TEST_F(HIDClassTest, ConcurrentSendersNeverInterleave) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  unit->clearReceived();
  constexpr int kThreads = 6;
  constexpr int kFrames = 60;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kFrames; ++i) {
        // 1 to 3 reports per frame, tagged with sender and sequence.
        Bytes payload(static_cast<size_t>(2 + (i * 37 + t * 11) % 170), static_cast<uint8_t>(t));
        payload[0] = static_cast<uint8_t>(t);
        payload[1] = static_cast<uint8_t>(i);
        hid->sendCMD(0x82, payload.data(), static_cast<uint16_t>(payload.size() + 1));
      }
    });
  }
  for (auto& th : threads) th.join();
  ASSERT_TRUE(unit->waitForFrames(kThreads * kFrames, 10s));
  const auto frames = unit->receivedFrames();
  ASSERT_EQ(frames.size(), static_cast<size_t>(kThreads * kFrames));
  std::vector<int> next(kThreads, 0);
  for (const auto& f : frames) {
    ASSERT_TRUE(frame::isValid(f.bytes));
    const int t = f.payload.at(0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(f.payload.at(1), next[t]++);
    EXPECT_EQ(f.payload.size(), static_cast<size_t>(2 + (f.payload[1] * 37 + t * 11) % 170));
    EXPECT_TRUE(std::all_of(f.payload.begin() + 2, f.payload.end(), [&](uint8_t v) { return v == t; }));
  }
}

// --- removal ---

TEST_F(HIDClassTest, RemovalOfTheIdentifiedUnitIsReportedOnce) {
  auto stranger = addUnit({"XYZ", "V1.0.5", 'A', true});
  auto unit = addUnit();
  ASSERT_TRUE(open());
  stranger->unplug();  // not the identified unit: nothing happens
  // Frames received before the removal still arrive, then the removal.
  unit->sendFrame(0x34, Bytes{0x06});
  ASSERT_TRUE(delegate->waitFrames(1));
  EXPECT_EQ(delegate->disconnects(), 0);
  EXPECT_NE(hid->hid_current_device(), nullptr);
  unit->unplug();
  ASSERT_TRUE(delegate->waitDisconnect());
  EXPECT_EQ(hid->hid_current_device(), nullptr);
  EXPECT_EQ(hid->hid_identify_state(), HIDClass::kIdentified);
  const uint8_t zero = 0;
  const uint64_t reports = unit->reportsFromHost();
  hid->sendCMD(0x8C, &zero, 2);  // gone: nothing sent, no failure
  EXPECT_EQ(unit->reportsFromHost(), reports);
  EXPECT_EQ(hid->disconnectDevice(), -1);
  // Plugged in again and found anew, the unit's next frame comes through the
  // HID thread: the removal was reported once before it.
  unit->plugIn();
  ASSERT_TRUE(open());
  unit->sendFrame(0x34, Bytes{0x07});
  ASSERT_TRUE(delegate->waitFrames(2));
  EXPECT_EQ(delegate->disconnects(), 1);
}

TEST_F(HIDClassTest, DisconnectDeviceClosesTheUnit) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  EXPECT_EQ(hid->disconnectDevice(), 0);
  EXPECT_EQ(hid->hid_current_device(), nullptr);
  EXPECT_EQ(hid->disconnectDevice(), -1);
  // Closing is not a removal: opened again, the unit's frame comes through
  // the HID thread with no removal reported before it.
  ASSERT_TRUE(open());
  unit->sendFrame(0x34, Bytes{0x06});
  ASSERT_TRUE(delegate->waitFrames(1));
  EXPECT_EQ(delegate->disconnects(), 0);
}

TEST_F(HIDClassTest, ClosingNeverRacesAReadOrAWrite) {
  auto unit = addUnit();
  ASSERT_TRUE(open());
  std::atomic<bool> stop{false};
  std::atomic<int> sends{0}, talks{0};
  std::thread sender([&] {
    const Bytes payload(150, 0x11);
    for (; !stop; ++sends) hid->sendCMD(0x82, payload.data(), static_cast<uint16_t>(payload.size() + 1));
  });
  std::thread talker([&] {
    for (; !stop; ++talks) unit->sendFrame(0x34, Bytes{0x06});
  });
  // Both busy: frames cross each way.
  const auto busy = [&] { return delegate->frames().size() >= 5 && unit->receivedCount() >= 5; };
  for (int i = 0; i < 10000 && !busy(); ++i) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(busy());
  EXPECT_EQ(hid->disconnectDevice(), 0);  // while both are busy
  // Both go on a while against the closed unit.
  const int sent = sends.load(), talked = talks.load();
  for (int i = 0; i < 10000 && (sends.load() < sent + 20 || talks.load() < talked + 20); ++i)
    std::this_thread::sleep_for(1ms);
  stop = true;
  sender.join();
  talker.join();
  const uint64_t after = unit->reportsFromHost();
  hid->sendCMD(0x82, Bytes(10).data(), 11);
  EXPECT_EQ(unit->reportsFromHost(), after);
  EXPECT_EQ(delegate->disconnects(), 0);
  // Every frame the unit saw is whole.
  for (const auto& f : unit->receivedFrames()) EXPECT_TRUE(frame::isValid(f.bytes));
}

// --- signals ---

// A device whose reads wait in a system call first, failing as hidapi does
// (-1) when a signal interrupts that wait.
class InterruptibleDevice final : public hid::Device {
public:
  explicit InterruptibleDevice(std::shared_ptr<hid::Device> inner) : inner_(std::move(inner)) {}
  const hid::DeviceInfo& info() const override { return inner_->info(); }
  bool write(const hid::Report& report) override { return inner_->write(report); }
  int read(hid::Report& out, std::chrono::milliseconds timeout) override {
    if (::poll(nullptr, 0, 1) < 0) return -1;
    return inner_->read(out, timeout);
  }

private:
  std::shared_ptr<hid::Device> inner_;
};

class InterruptibleBackend final : public hid::Backend {
public:
  explicit InterruptibleBackend(std::shared_ptr<hid::Backend> inner) : inner_(std::move(inner)) {}
  std::string name() const override { return "interruptible"; }
  bool init() override { return inner_->init(); }
  std::vector<hid::DeviceInfo> enumerate(uint16_t v, uint16_t p, uint16_t r) override { return inner_->enumerate(v, p, r); }
  hid::OpenResult open(const hid::DeviceInfo& info) override {
    hid::OpenResult result = inner_->open(info);
    if (result.device) result.device = std::make_shared<InterruptibleDevice>(result.device);
    return result;
  }

private:
  std::shared_ptr<hid::Backend> inner_;
};

std::atomic<int> signalsHandled{0};
void onTestSignal(int) { signalsHandled.fetch_add(1, std::memory_order_relaxed); }

// The ids of this process's threads with this name.
std::vector<pid_t> threadsNamed(const std::string& name) {
  std::vector<pid_t> found;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string comm;
    std::getline(std::ifstream(task.path() / "comm"), comm);
    if (comm == name) found.push_back(static_cast<pid_t>(std::stol(task.path().filename().string())));
  }
  return found;
}

TEST_F(HIDClassTest, SignalsDuringReadsLeaveTheUnitConnected) {
  struct sigaction action {}, previous{};
  action.sa_handler = onTestSignal;  // no SA_RESTART: a waiting system call fails with EINTR
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  auto unit = addUnit();
  hid = std::make_unique<HIDClass>(std::make_shared<InterruptibleBackend>(backend));
  hid->setVid(0x0483);
  hid->setPid(0x5703);
  hid->setVer(200);
  hid->setDeviceName("VLT");
  hid->setDeviceVersion("V1.0.5");
  hid->setDelegate(delegate);
  hid->setTiming(fastTiming());
  ASSERT_TRUE(hid->OpenDevice(kRequest, sizeof kRequest));
  const std::vector<pid_t> hidThreads = threadsNamed("qv450-hid");
  ASSERT_EQ(hidThreads.size(), 1u);

  // Signals for the process, and aimed at the HID thread itself, while the
  // unit keeps talking.
  const int before = signalsHandled.load();
  constexpr int kFrames = 40;
  for (int i = 0; i < kFrames; ++i) {
    unit->sendFrame(0x34, Bytes{static_cast<uint8_t>(i)});
    for (int k = 0; k < 5; ++k) {
      ::kill(::getpid(), SIGUSR1);
      ::syscall(SYS_tgkill, ::getpid(), hidThreads.front(), SIGUSR1);
      std::this_thread::sleep_for(1ms);
    }
  }
  EXPECT_TRUE(delegate->waitFrames(kFrames));
  EXPECT_GT(signalsHandled.load(), before) << "the signals were sent and handled elsewhere";
  EXPECT_EQ(delegate->disconnects(), 0);
  EXPECT_NE(hid->hid_current_device(), nullptr);
  EXPECT_EQ(delegate->frames().size(), static_cast<size_t>(kFrames));

  hid.reset();  // the HID thread ends with what was held for it
  sigaction(SIGUSR1, &previous, nullptr);
}

// --- quitting ---

TEST_F(HIDClassTest, QuittingWhileTheHidThreadReadsStopsItWithinTheBound) {
  addUnit();
  make();
  HIDClass::Timing t = hid->timing();
  t.readSlice = 200ms;
  t.quit = 20s;  // what only a thread stuck in its read would reach
  hid->setTiming(t);
  ASSERT_TRUE(open());
  std::this_thread::sleep_for(20ms);  // the HID thread is most likely inside a read
  hid.reset();
  // The thread was joined, not left behind at the bound.
  EXPECT_FALSE(logged("did not stop within"));
}

TEST_F(HIDClassTest, TheOwnerMayGoFromAHidThreadCallback) {
  auto unit = addUnit();
  make();
  ASSERT_TRUE(open());
  // The callback runs on the HID thread: it holds what it touches.
  struct Owner {
    std::shared_ptr<HIDClass> owned;
    std::atomic<bool> gone{false};
  };
  auto owner = std::make_shared<Owner>();
  owner->owned.reset(hid.release());
  delegate->onDisconnect = [owner] {
    owner->owned.reset();  // the last owner lets go on the HID thread
    owner->gone = true;
  };
  unit->unplug();
  for (int i = 0; i < 1000 && !owner->gone; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(owner->gone);
}

}  // namespace
