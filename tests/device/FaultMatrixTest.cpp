// Every flow between the program and the unit against every fault of the
// link: the unit pulled out, gone silent, one frame corrupted or lost, an
// answer held back, an answer late by just under and just over the flow's
// bound, and the unit pulled out and plugged in again under a new path.
//
// The faults are injected between the transport and the simulated unit
// (sim/faults). Each case below states its own outcome: how the flow ends
// (exactly once), whether the disconnection handling runs (then exactly
// once), and whether the host's copy of what the unit stores must equal the
// unit's. Elapsed time is never asserted from above: an answer "just under"
// its bound is a fifth of it, one "just over" half as much again, and an
// ending "at the removal" is told from one at the time-out by their order. Every case also checks that no thread is left
// behind and that the user's files are as they were, with nothing beside
// them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "HIDServiceViewModeTestSupport.h"
#include "TempFolder.h"
#include "support/WaveFile.h"
#include "device/backup/SettingViewModel.h"
#include "device/files/Zr_Backup.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"
#include "sim/faults/FaultBackend.h"
#include "sim/unit/UnitTransfer.h"

using namespace svc_test;
namespace fs = std::filesystem;
using sim::FrameFault;
using sim::Way;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

namespace {

// ---- the matrix ----

enum class Phase {
  Identify,
  StartUp10,
  StartUp50,
  StartUp99,
  EditBurst,
  IRImport,
  NRImport,
  Backup,
  Restore,
  FirmwareFirst,
  FirmwareMiddle,
  FirmwareLast,
};
enum class Fault { Unplug, Silence, Corrupt, Drop, Withhold, DelayUnder, DelayOver, Replug };

const char* name(Phase p) {
  static const char* const names[] = {"Identify",  "StartUp10", "StartUp50", "StartUp99",     "EditBurst",      "IRImport",
                                      "NRImport",  "Backup",    "Restore",   "FirmwareFirst", "FirmwareMiddle", "FirmwareLast"};
  return names[static_cast<int>(p)];
}
const char* name(Fault f) {
  static const char* const names[] = {"Unplug", "Silence", "Corrupt", "Drop", "Withhold", "DelayUnder", "DelayOver", "Replug"};
  return names[static_cast<int>(f)];
}

// What the host must know of the unit's memory afterwards.
enum class Memory {
  Equal,      // the host's copy equals the unit's
  HostBehind, // equal except the one write the unit took but whose
              // confirmation never came: the host keeps what it had before
  NotChecked, // the unit is gone or silent: nothing to compare
};

struct Expect {
  // The flow's one ending, as the rig records it: "status A", "progress 201",
  // "result 1", "tip success: ...", "restore false", "update p100", ...
  std::string end;
  bool disconnected = false;  // the disconnection handling ran (once)
  Memory memory = Memory::Equal;
  // Time from the fault to the ending this case allows for (with the slack
  // a loaded machine may add); a bound on the waits, not an assertion.
  milliseconds within{0};
};

struct Case {
  Phase phase;
  Fault fault;
  Expect expect;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << name(c.phase) << "/" << name(c.fault); }

// The time constants of the flows, shortened.
constexpr milliseconds kIdentifyPoll{10};
constexpr int kIdentifyPolls = 40;                            // one attempt: 400 ms
constexpr milliseconds kBulkRetry{200};                       // start-up re-request
constexpr milliseconds kTransferAck{1000};                    // IR / NR acknowledgement
constexpr milliseconds kSlotTimeout{700};                     // backup: each exported slot
constexpr milliseconds kPresetAck{700};                       // restore: each preset
constexpr milliseconds kBlockAck{700};                        // firmware: each block
constexpr milliseconds kSlack{600};                           // what a loaded machine may add
constexpr milliseconds kAtOnce{400};                          // "at the removal"

const std::string kBackupFailed = std::string("tip fail: ") + SettingViewModel::kBackupFailedTip;
const std::string kBackupDone = std::string("tip success: ") + SettingViewModel::kBackupSuccessTip;
const std::string kRecordedRestoreFailedTip = std::string("fail: ") + SettingViewModel::kRestoreFailedTip;

Expect ends(std::string end, milliseconds within, Memory memory = Memory::Equal) {
  return {std::move(end), false, memory, within};
}
Expect endsDisconnected(std::string end, milliseconds within, Memory memory = Memory::Equal) {
  return {std::move(end), true, memory, within};
}

// The cases that run, each with its outcome.
std::vector<Case> cases() {
  std::vector<Case> c;
  const milliseconds attempt = kIdentifyPoll * kIdentifyPolls;
  // Identification: two attempts; a lost request or answer is made good by
  // the second. Its reply is judged on its fields, not its CRC.
  c.push_back({Phase::Identify, Fault::Unplug, endsDisconnected("status D", 2 * attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::Silence, ends("status D", 2 * attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::Corrupt, ends("status A", attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::Drop, ends("status A", 2 * attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::Withhold, ends("status A", 2 * attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::DelayUnder, ends("status A", attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::DelayOver, ends("status A", 2 * attempt + kSlack)});
  c.push_back({Phase::Identify, Fault::Replug, endsDisconnected("status D", 2 * attempt + kSlack)});

  // The start-up read: a lost record is asked for again; a unit that stops
  // ends the read with the disconnection handling, once.
  for (Phase p : {Phase::StartUp10, Phase::StartUp50, Phase::StartUp99}) {
    const milliseconds gaveUp = 8 * kBulkRetry + kSlack;
    c.push_back({p, Fault::Unplug, endsDisconnected("disconnected", kAtOnce, Memory::NotChecked)});
    c.push_back({p, Fault::Silence, endsDisconnected("disconnected", gaveUp, Memory::NotChecked)});
    c.push_back({p, Fault::Corrupt, ends("progress 201", kBulkRetry + kSlack)});
    c.push_back({p, Fault::Drop, ends("progress 201", kBulkRetry + kSlack)});
    c.push_back({p, Fault::DelayUnder, ends("progress 201", kBulkRetry + kSlack)});
    c.push_back({p, Fault::DelayOver, ends("progress 201", 2 * kBulkRetry + kSlack)});
    c.push_back({p, Fault::Replug, endsDisconnected("disconnected", kAtOnce, Memory::NotChecked)});
  }

  // An edit burst: nothing waits; the unit's next report realigns the host.
  c.push_back({Phase::EditBurst, Fault::Unplug, endsDisconnected("burst sent", kSlack, Memory::NotChecked)});
  c.push_back({Phase::EditBurst, Fault::Silence, ends("burst sent", kSlack, Memory::NotChecked)});
  c.push_back({Phase::EditBurst, Fault::Corrupt, ends("burst sent", kSlack)});
  c.push_back({Phase::EditBurst, Fault::Drop, ends("burst sent", kSlack)});
  c.push_back({Phase::EditBurst, Fault::Replug, endsDisconnected("burst sent", kSlack, Memory::NotChecked)});

  // IR and NR imports: 1 once the last frame is acknowledged, 1002 when an
  // acknowledgement does not come in time or the unit goes.
  for (Phase p : {Phase::IRImport, Phase::NRImport}) {
    c.push_back({p, Fault::Unplug, endsDisconnected("result 1002", kAtOnce)});
    c.push_back({p, Fault::Silence, ends("result 1002", kTransferAck + kSlack)});
    c.push_back({p, Fault::Corrupt, ends("result 1002", kTransferAck + kSlack)});
    c.push_back({p, Fault::Drop, ends("result 1002", kTransferAck + kSlack)});
    c.push_back({p, Fault::Withhold, ends("result 1002", kTransferAck + kSlack)});
    c.push_back({p, Fault::DelayUnder, ends("result 1", kTransferAck + kSlack)});
    c.push_back({p, Fault::DelayOver, ends("result 1002", kTransferAck + kSlack)});
    c.push_back({p, Fault::Replug, endsDisconnected("result 1002", kAtOnce)});
  }

  // Backup: the user's earlier file is replaced only by a whole backup.
  c.push_back({Phase::Backup, Fault::Unplug, endsDisconnected(kBackupFailed, kSlotTimeout + kSlack)});
  c.push_back({Phase::Backup, Fault::Silence, ends(kBackupFailed, kSlotTimeout + kSlack)});
  c.push_back({Phase::Backup, Fault::Corrupt, ends(kBackupFailed, kSlotTimeout + kSlack)});
  c.push_back({Phase::Backup, Fault::Drop, ends(kBackupFailed, kSlotTimeout + kSlack)});
  c.push_back({Phase::Backup, Fault::DelayUnder, ends(kBackupDone, kSlotTimeout + kSlack)});
  c.push_back({Phase::Backup, Fault::DelayOver, ends(kBackupFailed, kSlotTimeout + kSlack)});
  c.push_back({Phase::Backup, Fault::Replug, endsDisconnected(kBackupFailed, kSlotTimeout + kSlack)});

  // Restore: stops at the first preset not confirmed in time; the host's
  // cache follows the unit's confirmations only.
  c.push_back({Phase::Restore, Fault::Unplug, endsDisconnected("restore false", kPresetAck + kSlack)});
  c.push_back({Phase::Restore, Fault::Silence, ends("restore false", kPresetAck + kSlack)});
  c.push_back({Phase::Restore, Fault::Corrupt, ends("restore false", kPresetAck + kSlack, Memory::HostBehind)});
  c.push_back({Phase::Restore, Fault::Drop, ends("restore false", kPresetAck + kSlack)});
  c.push_back({Phase::Restore, Fault::Withhold, ends("restore false", kPresetAck + kSlack)});
  c.push_back({Phase::Restore, Fault::DelayUnder, ends("restore true", kPresetAck + kSlack)});
  // The late confirmation still reaches the cache.
  c.push_back({Phase::Restore, Fault::DelayOver, ends("restore false", kPresetAck + kSlack)});
  c.push_back({Phase::Restore, Fault::Replug, endsDisconnected("restore false", kPresetAck + kSlack)});

  // Firmware update: every block acknowledged in time, or status 9 (no
  // answer) after the bound, or 2 when the block cannot be written.
  for (Phase p : {Phase::FirmwareFirst, Phase::FirmwareMiddle, Phase::FirmwareLast}) {
    c.push_back({p, Fault::Unplug, endsDisconnected("update e2", kSlack)});
    c.push_back({p, Fault::Silence, ends("update e9", kBlockAck + kSlack)});
    c.push_back({p, Fault::Corrupt, ends("update e9", kBlockAck + kSlack)});
    c.push_back({p, Fault::Drop, ends("update e9", kBlockAck + kSlack)});
    c.push_back({p, Fault::Withhold, ends("update e9", kBlockAck + kSlack)});
    c.push_back({p, Fault::DelayUnder, ends("update p100", kBlockAck + kSlack)});
    c.push_back({p, Fault::DelayOver, ends("update e9", kBlockAck + kSlack)});
    c.push_back({p, Fault::Replug, endsDisconnected("update e2", kSlack)});
  }
  return c;
}

// The combinations left out, and why.
struct LeftOut {
  Phase phase;
  Fault fault;
  const char* why;
};
const LeftOut kLeftOut[] = {
    {Phase::StartUp10, Fault::Withhold, "the read acknowledges nothing; a record held back is a dropped one"},
    {Phase::StartUp50, Fault::Withhold, "the read acknowledges nothing; a record held back is a dropped one"},
    {Phase::StartUp99, Fault::Withhold, "the read acknowledges nothing; a record held back is a dropped one"},
    {Phase::EditBurst, Fault::Withhold, "edits are not acknowledged"},
    {Phase::EditBurst, Fault::DelayUnder, "edits wait for nothing, so have no bound"},
    {Phase::EditBurst, Fault::DelayOver, "edits wait for nothing, so have no bound"},
    {Phase::Backup, Fault::Withhold, "the slot export is data, not an acknowledgement; a slot held back is a lost one"},
};

// ---- where each fault strikes ----

constexpr int kFirmwareBlocks = 8;
constexpr int kRestoreAt = 101;    // the preset whose write meets the fault
constexpr int kTransferFrame = 2;  // the IR / NR frame that meets it
constexpr int kIRSlot = 3;
constexpr int kNRSlot = 6;

int startUpRecord(Phase p) { return p == Phase::StartUp10 ? 20 : p == Phase::StartUp50 ? 100 : 198; }
int firmwareBlock(Phase p) { return p == Phase::FirmwareFirst ? 1 : p == Phase::FirmwareMiddle ? kFirmwareBlocks / 2 : kFirmwareBlocks; }
bool isStartUp(Phase p) { return p == Phase::StartUp10 || p == Phase::StartUp50 || p == Phase::StartUp99; }

// The bound an answer is delayed against.
milliseconds boundOf(Phase p) {
  if (p == Phase::Identify) return kIdentifyPoll * kIdentifyPolls;
  if (isStartUp(p)) return kBulkRetry;
  if (p == Phase::IRImport || p == Phase::NRImport) return kTransferAck;
  if (p == Phase::Backup) return kSlotTimeout;
  if (p == Phase::Restore) return kPresetAck;
  return kBlockAck;
}

// The host's frame a fault on the way in hits, and the unit's answer to it a
// fault on the way out hits: (command, n).
struct Target {
  uint8_t cmd;
  int nth;
};
Target hostFrame(Phase p) {
  switch (p) {
    case Phase::Identify: return {0x00, 1};
    case Phase::EditBurst: return {0x82, 2};  // module 0's second edit, its last
    case Phase::IRImport: return {0xB5, kTransferFrame + 1};
    case Phase::NRImport: return {0xB7, kTransferFrame + 1};
    case Phase::Backup: return {0xC4, 1};
    case Phase::Restore: return {0xC3, kRestoreAt};
    default: return {0x04, firmwareBlock(p)};  // the firmware blocks' type
  }
}
Target unitFrame(Phase p) {
  switch (p) {
    case Phase::Identify: return {0x00, 1};
    case Phase::StartUp10:
    case Phase::StartUp50:
    case Phase::StartUp99: return {0x20, startUpRecord(p)};
    case Phase::IRImport: return {0xB5, kTransferFrame + 1};
    case Phase::NRImport: return {0xB7, kTransferFrame + 1};
    case Phase::Backup: return {0x44, 2};  // the first slot after the announcement
    case Phase::Restore: return {0x43, kRestoreAt};
    default: return {0x05, firmwareBlock(p)};  // the blocks' acknowledgement type
  }
}

// The rule a case puts into the plan (none for the unit's own fault).
std::optional<sim::FrameRule> ruleFor(const Case& c) {
  const Phase p = c.phase;
  // The start-up read is all the unit's: its faults hit the records.
  const Target in = isStartUp(p) ? unitFrame(p) : hostFrame(p);
  const Way inWay = isStartUp(p) ? Way::UnitToHost : Way::HostToUnit;
  const Target out = p == Phase::EditBurst ? hostFrame(p) : unitFrame(p);
  const Way outWay = p == Phase::EditBurst ? Way::HostToUnit : Way::UnitToHost;
  const milliseconds bound = boundOf(p);
  switch (c.fault) {
    case Fault::Unplug: return sim::FrameRule{inWay, in.cmd, in.nth, FrameFault::Unplug, {}};
    case Fault::Replug: return sim::FrameRule{inWay, in.cmd, in.nth, FrameFault::Replug, {}};
    case Fault::Silence: return sim::FrameRule{inWay, in.cmd, in.nth, FrameFault::Silence, {}};
    case Fault::Drop: return sim::FrameRule{inWay, in.cmd, in.nth, FrameFault::Drop, {}};
    case Fault::Corrupt: return sim::FrameRule{outWay, out.cmd, out.nth, FrameFault::Corrupt, {}};
    case Fault::Withhold:
      // The restore's is the unit's own: it takes the write and neither
      // stores nor confirms it.
      if (p == Phase::Restore) return std::nullopt;
      return sim::FrameRule{outWay, out.cmd, out.nth, FrameFault::Withhold, {}};
    case Fault::DelayUnder: return sim::FrameRule{outWay, out.cmd, out.nth, FrameFault::Delay, bound / 5};
    case Fault::DelayOver: return sim::FrameRule{outWay, out.cmd, out.nth, FrameFault::Delay, bound * 3 / 2};
  }
  return std::nullopt;
}

// ---- what the host's side saw ----

struct Ends {
  mutable std::mutex mutex;
  std::vector<std::pair<std::string, SteadyClock::time_point>> list;
  void add(std::string what) {
    std::lock_guard guard(mutex);
    list.emplace_back(std::move(what), SteadyClock::now());
  }
  std::vector<std::string> get() const {
    std::lock_guard guard(mutex);
    std::vector<std::string> out;
    for (const auto& e : list) out.push_back(e.first);
    return out;
  }
  // When this ending first came.
  SteadyClock::time_point timeOf(const std::string& what) const {
    std::lock_guard guard(mutex);
    for (const auto& e : list)
      if (e.first == what) return e.second;
    return {};
  }
};

size_t threadCount() {
  size_t n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

// Every regular file under a folder, relative, sorted.
std::vector<std::string> filesUnder(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

// ---- files the flows read ----

using test_files::put16;
using test_files::put32;

// A mono 16-bit 44.1 kHz WAVE of 512 samples.
Bytes waveFile() {
  return test_files::monoWave(512, [](size_t j) { return static_cast<int16_t>(static_cast<int>(j) * 61 - 15000); });
}

// An NR file: 512 words, their sum, "2.0".
Bytes nrFile() {
  Bytes b(2048 + 4 + 3, 0);
  uint32_t sum = 0;
  for (size_t j = 0; j < 512; ++j) {
    const auto w = static_cast<uint32_t>(j * 0x01030507u + 11);
    put32(b, 4 * j, w);
    sum += w;
  }
  put32(b, 2048, sum);
  std::memcpy(&b[2052], "2.0", 3);
  return b;
}

Zr_BackupPtr backupFile(const fs::path& docs) {
  Zr_Backup::Options options;
  options.documentsDir = docs;
  return Zr_Backup::initWithBackupDevice(SettingViewModel::kBackupDevice, SettingViewModel::kBackupVersion.data(),
                                         SettingViewModel::kBackupVersionLength, options);
}

// A backup of 200 presets named "Restored <n>" with module words from n, and
// the system levels.
void writeRestoreFile(const fs::path& path, const fs::path& docs) {
  Zr_BackupPtr w = backupFile(docs);
  ASSERT_TRUE(w);
  ASSERT_TRUE(w->setDataHeadForDataName(SettingViewModel::kPresetSection, 0, SettingViewModel::kPresetRecordSize, 200,
                                        0xC3, 1, 0xC3, 1));
  for (int n = 1; n <= 200; ++n) {
    Bytes r(SettingViewModel::kPresetRecordSize, 0);
    const std::string title = "Restored " + std::to_string(n);
    std::copy(title.begin(), title.end(), r.begin());
    for (size_t i = 0; i < 132; i += 2) put16(r, 16 + i, static_cast<uint32_t>((i / 2 + static_cast<size_t>(n)) % 90));
    ASSERT_TRUE(w->addData(r.data(), SettingViewModel::kPresetRecordSize, n - 1));
  }
  Bytes system(SettingViewModel::kSystemRecordSize, 0);
  put16(system, 0, 20);
  put16(system, 2, 7);
  ASSERT_TRUE(w->setDataHeadForDataName(SettingViewModel::kSystemSection, 0, SettingViewModel::kSystemRecordSize, 1, 0xB2,
                                        1, 0x32, 1));
  ASSERT_TRUE(w->addData(system.data(), SettingViewModel::kSystemRecordSize, 0));
  ASSERT_TRUE(w->exportBackupFileForPath(path.string()));
}

// ---- the rig ----

// A service and updater over the fault-injecting link to one simulated unit
// (application firmware, or boot loader for the firmware phases), with the
// time constants shortened.
struct Rig {
  TempFolder folder;
  std::shared_ptr<sim::FaultPlan> plan = std::make_shared<sim::FaultPlan>();
  std::shared_ptr<sim::SimulatedUnit> unit;
  std::shared_ptr<sim::UnitApplication> app;
  std::shared_ptr<sim::UnitTransfer> transfer;
  std::shared_ptr<sim::SimBootloader> loader;
  std::shared_ptr<sim::SimBackend> sims = std::make_shared<sim::SimBackend>();
  std::shared_ptr<sim::FaultBackend> backend;
  std::shared_ptr<libupdate_zarvo> hid;
  std::shared_ptr<RecordingPopUps> popUps = std::make_shared<RecordingPopUps>();
  HIDServiceViewModePtr service;
  // What the flows report, held by every callback: a HID thread that holds
  // the last reference to the updater is let go when the case ends, and may
  // still be inside one of them.
  struct Reports {
    std::atomic<int> disconnections{0};
    ProgressLog progress;
    Ends ends;
  };
  std::shared_ptr<Reports> reports = std::make_shared<Reports>();
  std::atomic<int>& disconnections = reports->disconnections;
  ProgressLog& progress = reports->progress;
  Ends& ends = reports->ends;
  std::string firstPath;

  explicit Rig(bool bootLoader, const sim::TestFirmwareSpec& firmware = {}) {
    sim::Identity id;
    if (bootLoader) id.mode = 'B';
    unit = std::make_shared<sim::SimulatedUnit>(id);
    if (bootLoader) {
      loader = sim::SimBootloader::install(*unit, sim::bootloaderConfigFor(firmware));
    } else {
      app = sim::UnitApplication::install(unit);
      transfer = app->transfer();
    }
    firstPath = sims->addUnit(unit).path;
    backend = std::make_shared<sim::FaultBackend>(sims, plan);
    hid = libupdate_zarvo::create(backend);
    HIDClass::Timing t = hid->hidclass().timing();
    t.identifyPoll = kIdentifyPoll;
    t.identifyPolls = kIdentifyPolls;
    t.identifyAttempts = 2;
    t.readSlice = milliseconds(5);
    hid->hidclass().setTiming(t);
    libupdate_zarvo::Timing ut = hid->timing();
    ut.progressFirstTick = milliseconds(10);
    ut.progressInterval = milliseconds(5);
    hid->setTiming(ut);
    hid->engine().blockAckTimeout = kBlockAck;
    HIDServiceViewMode::Parts parts;
    parts.zrHID = hid;
    parts.popUps = popUps;
    parts.loadCatalogue = loadTestCatalogue;
    parts.timing.bulkReadRetry = kBulkRetry;
    service = HIDServiceViewMode::create(parts);
    service->setTransferTiming({kTransferAck});
    service->setDisconnectionBlock([reports = reports] {
      reports->ends.add("disconnected");
      reports->disconnections.fetch_add(1);
    });
  }
  ~Rig() {
    service.reset();
    hid.reset();
  }

  // Connects and reads the whole unit, before any fault is armed.
  void readAll() {
    service->init();
    ASSERT_EQ(service->deviceStatus.get(), "A");
    service->getAllData(progressBlock());
    ASSERT_TRUE(waitWhileTheLinkMoves(*unit, [&] { return progress.done(); }));
  }
  HIDServiceViewMode::ProgressBlock progressBlock() const {
    return [reports = reports, log = reports->progress.block()](int v) { log(v); };
  }
  // Waits for the flow's ending; the disconnection handling counts as one
  // only when asked.
  bool waitForEnd(milliseconds bound, bool disconnectionEnds = false) {
    return dispatch::runMainLoopUntil(
        [&] {
          for (const std::string& e : ends.get())
            if (disconnectionEnds || e != "disconnected") return true;
          return false;
        },
        bound);
  }
  // The fences by which a case shows that nothing more came after its
  // ending.
  //
  // Waits until the service has handled every frame the unit sent before
  // this call (see svc_test::waitForFramesHandled).
  bool waitForFramesHandled() { return svc_test::waitForFramesHandled(*app, progress); }
  // Waits until a task queued on the global queue `delay` from now has
  // begun: a time-out armed there before, due sooner, began before it.
  static bool waitPastOnTheGlobalQueue(milliseconds delay) {
    auto began = std::make_shared<std::atomic<bool>>(false);
    dispatch::Queue::global()->after(delay, [began] { began->store(true); });
    return dispatch::runMainLoopUntil([&] { return began->load(); }, kBound + delay);
  }
  // Waits until the disconnection handling has run, when the case expects
  // it: the HID thread is then past the removal.
  bool waitForDisconnection(const Expect& e) {
    return !e.disconnected || dispatch::runMainLoopUntil([&] { return disconnections.load() > 0; }, kBound);
  }
  // Waits until the updater has made its last call of the update. The tick
  // that decides the end marks the update over and cancels the progress
  // timer before it calls back; a cancel then waits for a call under way to
  // return, and none starts after it.
  bool waitForTheLastReport() {
    auto timer = hid->time();
    if (!timer || !dispatch::runMainLoopUntil([&] { return timer->isCancelled(); }, kBound)) return false;
    hid->cancelUpdate();
    return true;
  }
};

std::string label(const HIDServiceViewMode& service, bool ir, int slot) {
  const int module = ir ? 3 : 2;  // cabinet / amplifier lists
  const int index = slot + (ir ? EffectCatalogue::kFirstIRType : EffectCatalogue::kFirstNRType);
  return service.effectCatalogue()->typeNames(module).at(static_cast<size_t>(index));
}

// How the catalogue shows a slot holding this name.
std::string labelFor(bool ir, int slot, const std::string& name) {
  return EffectCatalogue::userSlotLabel(ir ? EffectCatalogue::UserSlot::IR : EffectCatalogue::UserSlot::NR, slot, name);
}

// The cached preset n compared with the unit's: name and module words.
bool sameAsUnit(const HIDServiceModuleModePtr& cached, const sim::UnitApplication::Preset& stored) {
  if (!cached || cached->presetName.get() != stored.nameText()) return false;
  for (int m = 0; m < 9; ++m)
    if (!cached->module(m) || cached->module(m)->dataArr.get() != stored.moduleWords(m)) return false;
  return true;
}

class Flows : public testing::TestWithParam<Case> {
protected:
  static void SetUpTestSuite() {
    // The global queue's workers and timer thread live for the whole process:
    // they are started here, before any thread is counted.
    std::atomic<bool> ran{false};
    dispatch::Queue::global()->after(milliseconds(1), [&] { ran = true; });
    dispatch::runMainLoopUntil([&] { return ran.load(); }, kBound);
  }
  void SetUp() override { threadsBefore_ = threadCount(); }
  void TearDown() override {
    // Every thread a case started has stopped soon after its objects went.
    const bool gone = dispatch::runMainLoopUntil([&] { return threadCount() <= threadsBefore_; }, kBound);
    EXPECT_TRUE(gone) << threadCount() << " threads, " << threadsBefore_ << " before the case";
  }

  // The flow's one ending.
  void expectEnding(const Rig& rig, const Expect& e, const std::vector<std::string>& endings) {
    ASSERT_EQ(endings.size(), 1u) << testing::PrintToString(endings) << "; faults: " << testing::PrintToString(rig.plan->log());
    EXPECT_EQ(endings[0], e.end) << "faults: " << testing::PrintToString(rig.plan->log());
  }
  void expectDisconnections(const Rig& rig, const Expect& e) {
    EXPECT_EQ(rig.disconnections.load(), e.disconnected ? 1 : 0);
    // The case met its fault: a rule that never fired would make it pass
    // for nothing.
    if (ruleFor(GetParam())) {
      EXPECT_TRUE(rig.plan->firedAt().has_value()) << "the fault never struck";
    }
  }

  void runIdentify(const Case& c);
  void runStartUp(const Case& c);
  void runEditBurst(const Case& c);
  void runImport(const Case& c, bool ir);
  void runBackup(const Case& c);
  void runRestore(const Case& c);
  void runFirmware(const Case& c);

private:
  size_t threadsBefore_ = 0;
};

// Endings other than the disconnection (which is counted on its own).
std::vector<std::string> flowEndings(const Rig& rig) {
  std::vector<std::string> out;
  for (const std::string& e : rig.ends.get())
    if (e != "disconnected") out.push_back(e);
  return out;
}

void Flows::runIdentify(const Case& c) {
  Rig rig(false);
  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  rig.service->init();
  rig.ends.add("status " + rig.service->deviceStatus.get().value_or("unset"));
  if (c.expect.disconnected) {
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.disconnections.load() > 0; }, kBound));
  }
  expectEnding(rig, c.expect, flowEndings(rig));
  expectDisconnections(rig, c.expect);
  if (c.fault == Fault::Replug) {
    // The unit is back, listed under a new path; the transport does not
    // reconnect by itself, a new connection finds it.
    const auto listed = rig.sims->enumerate(sim::SimBackend::kVendorId, sim::SimBackend::kProductId,
                                            sim::SimBackend::kReleaseNumber);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_NE(listed[0].path, rig.firstPath);
    auto again = libupdate_zarvo::create(rig.sims);
    HIDClass::Timing t = again->hidclass().timing();
    t.identifyPoll = kIdentifyPoll;
    t.identifyPolls = kIdentifyPolls;
    t.readSlice = milliseconds(5);
    again->hidclass().setTiming(t);
    again->setPid(HIDServiceViewMode::kProductId, HIDServiceViewMode::kVendorId, HIDServiceViewMode::kVersionNumber);
    again->setDeviceName(HIDServiceViewMode::kDeviceName, HIDServiceViewMode::kDeviceVersion);
    const uint8_t request[11] = {0xAA, 0x55, 0x01, 0x00, 0x00};
    EXPECT_EQ(again->connectDeviceWithCMD(request, sizeof request), 1);
  }
}

void Flows::runStartUp(const Case& c) {
  Rig rig(false);
  rig.service->init();
  ASSERT_EQ(rig.service->deviceStatus.get(), "A");
  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  // The read ends with its first 201. The service reports 201 for every
  // current preset the unit sends; a unit asked again after a late frame
  // may send a whole second stream, whose 201 ends nothing new.
  rig.service->startBulkRead([reports = rig.reports](int v) {
    const auto before = reports->progress.get();
    reports->progress.block()(v);
    if (v == HIDServiceViewMode::kProgressDone &&
        std::find(before.begin(), before.end(), HIDServiceViewMode::kProgressDone) == before.end())
      reports->ends.add("progress 201");
  });
  // The service asks again on the main queue's timer, one retry period after
  // the other, and gives up after so many fruitless requests: on a loaded
  // machine the timers fire late, so past the first bound the ending is
  // waited for as long as the requests go on.
  const auto requests = [&] { return rig.plan->frames(sim::Way::HostToUnit, dev::host_cmd::kSendAllData); };
  int asked = requests();
  if (!rig.waitForEnd(c.expect.within + kBulkRetry * 8 + kBound, true)) {
    do {
      ASSERT_GT(requests(), asked) << "no ending";
      ASSERT_LE(requests(), 2 * (HIDServiceViewMode::kBulkReadRetries + 1)) << "asked again without end";
      asked = requests();
    } while (!rig.waitForEnd(kBound, true));
  }
  // A re-request the service had armed has been made, and what the unit
  // sent before the fence (late records, a stream asked for again) has been
  // handled: still one ending.
  ASSERT_TRUE(SimRig::waitPast(kBulkRetry));
  if (!c.expect.disconnected) {
    ASSERT_TRUE(rig.waitForFramesHandled());
  }
  if (c.expect.memory == Memory::Equal) {
    // A record asked for again may still be on its way.
    dispatch::runMainLoopUntil([&] { return rig.service->missPack().empty(); }, kBound);
  }
  expectEnding(rig, c.expect, rig.ends.get());
  expectDisconnections(rig, c.expect);
  for (int n = 1; n <= 200; ++n) {
    // A read cut short holds fewer presets, but none of them wrong.
    const auto cached = rig.service->cachedPreset(n);
    if (cached || c.expect.memory == Memory::Equal) {
      EXPECT_TRUE(sameAsUnit(cached, rig.app->preset(n))) << n;
    }
  }
  if (c.expect.memory == Memory::Equal) {
    EXPECT_TRUE(rig.service->missPack().empty());
  }
  if (c.expect.end != "progress 201") {
    const auto p = rig.progress.get();
    EXPECT_TRUE(std::find(p.begin(), p.end(), HIDServiceViewMode::kProgressDone) == p.end());
  }
}

void Flows::runEditBurst(const Case& c) {
  Rig rig(false);
  rig.readAll();
  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  // Eighteen edits, two of each module: the second of module 0 meets the
  // fault, and no later edit rewrites that module.
  for (int i = 0; i < 18; ++i) {
    const int m = i % 9;
    rig.service->sendChangePage(dev::kFirstModulePage + m);
    std::vector<int> words = rig.service->presetDataModel()->dataArr.get();
    for (size_t k = 0; k < words.size(); ++k) words[k] = static_cast<int>((k * 3 + static_cast<size_t>(i)) % 50);
    rig.service->presetDataModel()->setDataArr(words);
    rig.service->sendModuleData();
  }
  rig.ends.add("burst sent");
  if (c.expect.disconnected) {
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.disconnections.load() > 0; }, kBound));
  }
  expectEnding(rig, c.expect, flowEndings(rig));
  expectDisconnections(rig, c.expect);
  if (c.expect.memory != Memory::Equal) return;
  // The unit's next report of its edit buffer brings the host back in line.
  const size_t reports = rig.progress.get().size();
  rig.app->sendCurrentPreset();
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.progress.get().size() > reports; }, kBound));
  const sim::UnitApplication::EditBuffer edit = rig.app->editBuffer();
  for (int m = 0; m < 9; ++m) EXPECT_EQ(rig.service->presetAllData()->module(m)->dataArr.get(), edit.data.moduleWords(m)) << m;
}

void Flows::runImport(const Case& c, bool ir) {
  Rig rig(false);
  rig.readAll();
  const auto kind = ir ? sim::UnitTransfer::Kind::IR : sim::UnitTransfer::Kind::NR;
  const int slot = ir ? kIRSlot : kNRSlot;
  const std::string fileName = ir ? "Faulty Cab.wav" : "Faulty Amp.nr";
  const Bytes fileBytes = ir ? waveFile() : nrFile();
  TempFolder::write(rig.folder / fileName, fileBytes);
  const std::vector<std::string> filesBefore = filesUnder(rig.folder.path());
  const std::string nameBefore = rig.transfer->name(kind, slot);
  const Bytes dataBefore = rig.transfer->data(kind, slot);
  ASSERT_EQ(label(*rig.service, ir, slot), labelFor(ir, slot, nameBefore));

  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  const int index = slot + (ir ? EffectCatalogue::kFirstIRType : EffectCatalogue::kFirstNRType);
  rig.service->sendFileToDevice(ir ? dev::TransferKind::ImportIR : dev::TransferKind::ImportNR, (rig.folder / fileName).string(), index,
                                [reports = rig.reports](long r) { reports->ends.add("result " + std::to_string(r)); });
  ASSERT_TRUE(rig.waitForEnd(c.expect.within + kTransferAck + kBound)) << "no ending";
  ASSERT_TRUE(rig.waitForDisconnection(c.expect));
  // The last acknowledgement's time-out has come, and a late acknowledgement
  // has been handled: still one result.
  ASSERT_TRUE(Rig::waitPastOnTheGlobalQueue(kTransferAck));
  if (!c.expect.disconnected && !rig.plan->silent()) {
    ASSERT_TRUE(rig.waitForFramesHandled());
  }
  expectEnding(rig, c.expect, flowEndings(rig));
  expectDisconnections(rig, c.expect);
  if (c.expect.within == kAtOnce) {
    // Ended by the removal, not by the time-out after it: the result came
    // before the disconnection handling that the removal ran.
    EXPECT_EQ(rig.ends.get(), (std::vector<std::string>{c.expect.end, "disconnected"}));
  }
  EXPECT_FALSE(rig.service->isTransferring());
  EXPECT_TRUE(TempFolder::read(rig.folder / fileName) == std::string(fileBytes.begin(), fileBytes.end()));
  EXPECT_EQ(filesUnder(rig.folder.path()), filesBefore);
  if (c.expect.memory == Memory::NotChecked) return;
  const std::string shown = label(*rig.service, ir, slot);
  if (c.expect.end == "result 1") {
    // The unit holds the frames it acknowledged, the host shows the new name.
    Bytes sent;
    for (const auto& f : rig.unit->receivedFrames())
      if (f.cmd == (ir ? 0xB5 : 0xB7) && !f.payload.empty() && f.payload[0] >= 2) sent.insert(sent.end(), f.payload.begin() + 1, f.payload.end());
    EXPECT_TRUE(rig.transfer->data(kind, slot) == sent) << "the unit holds other data than it acknowledged";
    EXPECT_EQ(rig.transfer->name(kind, slot), fileName.substr(0, fileName.find('.')));
    EXPECT_EQ(shown, labelFor(ir, slot, rig.transfer->name(kind, slot)));
  } else {
    EXPECT_EQ(rig.transfer->name(kind, slot), nameBefore);
    EXPECT_TRUE(rig.transfer->data(kind, slot) == dataBefore) << "the unit's slot data changed";
    EXPECT_EQ(shown, labelFor(ir, slot, nameBefore));
  }
}

void Flows::runBackup(const Case& c) {
  Rig rig(false);
  rig.readAll();
  const fs::path docs = rig.folder / "docs";
  const fs::path dest = rig.folder / "mine" / "unit.bqv";
  fs::create_directories(docs);
  fs::create_directories(dest.parent_path());
  const std::string earlier = "an earlier backup the user keeps";
  TempFolder::write(dest, earlier);
  SettingViewModel::Parts parts;
  parts.hid = rig.service;
  parts.popUps = rig.popUps;
  parts.backupOptions.documentsDir = docs;
  parts.timing.irTimeout = kSlotTimeout;
  auto vm = fnd::make<SettingViewModel>(parts);

  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  vm->startBackUp(dest.string());
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return !rig.popUps->tips().empty(); }, c.expect.within + kBound))
      << "no ending";
  rig.ends.add("tip " + rig.popUps->tips()[0]);
  ASSERT_TRUE(rig.waitForDisconnection(c.expect));
  // The backup was over before its tip, and a slot that came late has been
  // handled: still one tip.
  if (!c.expect.disconnected && !rig.plan->silent()) {
    ASSERT_TRUE(rig.waitForFramesHandled());
  }
  std::vector<std::string> endings;
  for (const std::string& t : rig.popUps->tips()) endings.push_back("tip " + t);
  expectEnding(rig, c.expect, endings);
  expectDisconnections(rig, c.expect);
  EXPECT_FALSE(vm->isBusy());
  EXPECT_EQ(filesUnder(rig.folder.path()), std::vector<std::string>{"mine/unit.bqv"});
  if (c.expect.end != kBackupDone) {
    EXPECT_TRUE(TempFolder::read(dest) == earlier) << "the user's earlier backup was replaced";
    return;
  }
  // A whole backup: every slot the unit holds, as it holds it.
  auto file = backupFile(docs);
  ASSERT_TRUE(file && file->readFile(dest.string()));
  bool found = false;
  for (uint32_t s = 0; s < file->backupdata().typeSum; ++s) {
    ASSERT_TRUE(file->getSubHeadData(static_cast<int>(s)));
    if (file->subHeadData().name() != SettingViewModel::kIRSection) continue;
    found = true;
    ASSERT_EQ(file->subHeadData().dataNumber, 10u);
    for (int k = 0; k < 10; ++k) {
      ASSERT_TRUE(file->getData(static_cast<int>(s), k));
      const Bytes& r = file->typeData().dataStart;
      const int slot = file->typeData().index;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data())), rig.transfer->name(sim::UnitTransfer::Kind::IR, slot));
      EXPECT_TRUE(Bytes(r.begin() + 16, r.end()) == rig.transfer->data(sim::UnitTransfer::Kind::IR, slot)) << "slot " << slot;
    }
  }
  EXPECT_TRUE(found);
}

void Flows::runRestore(const Case& c) {
  Rig rig(false);
  rig.readAll();
  const fs::path docs = rig.folder / "docs";
  const fs::path file = rig.folder / "restore.bqv";
  fs::create_directories(docs);
  writeRestoreFile(file, docs);
  const std::string fileBytes = TempFolder::read(file);
  const std::vector<std::string> filesBefore = filesUnder(rig.folder.path());
  const sim::UnitApplication::Preset before = rig.app->preset(kRestoreAt);
  // The unit does not answer the restore's end here: the screen sends it.
  sim::UnitTransfer::Knobs knobs = rig.transfer->knobs();
  knobs.leaveBusOnRestoreEnd = false;
  rig.transfer->setKnobs(knobs);
  if (c.fault == Fault::Withhold) {
    sim::UnitApplication::Knobs k = rig.app->knobs();
    k.unstoredWrites = {kRestoreAt};
    rig.app->setKnobs(k);
  }
  SettingViewModel::Parts parts;
  parts.hid = rig.service;
  parts.popUps = rig.popUps;
  parts.backupOptions.documentsDir = docs;
  parts.timing.presetAck = kPresetAck;
  parts.timing.recordAck = kPresetAck;
  parts.timing.irPause = milliseconds(10);
  auto vm = fnd::make<SettingViewModel>(parts);

  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  std::atomic<bool> done{false};
  std::thread restore([&] {
    const bool ok = vm->recallBackUp(file.string());
    rig.ends.add(ok ? "restore true" : "restore false");
    done = true;
  });
  const bool ended = dispatch::runMainLoopUntil([&] { return done.load(); }, c.expect.within + kBound);
  restore.join();
  ASSERT_TRUE(ended);
  // Late confirmations have arrived: a report of the unit's edit buffer
  // queues behind any answer the link holds back, so once it is in, they are.
  if (!c.expect.disconnected && !rig.plan->silent()) {
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.transfer->answersPending() == 0; }, kBound));
    ASSERT_TRUE(rig.waitForFramesHandled());
  }
  expectEnding(rig, c.expect, flowEndings(rig));
  expectDisconnections(rig, c.expect);
  const std::vector<std::string> tips = rig.popUps->tips();
  const bool failed = c.expect.end == "restore false";
  // A preset not confirmed shows the failure tip, once; a unit that goes
  // may end the restore before that.
  if (failed && !c.expect.disconnected)
    EXPECT_EQ(tips, std::vector<std::string>{kRecordedRestoreFailedTip});
  else if (!failed)
    EXPECT_TRUE(tips.empty()) << testing::PrintToString(tips);
  else
    EXPECT_LE(tips.size(), 1u);
  EXPECT_TRUE(TempFolder::read(file) == fileBytes) << "the file restored from was changed";
  EXPECT_EQ(filesUnder(rig.folder.path()), filesBefore);
  for (int n = 1; n <= 200; ++n) {
    const auto cached = rig.service->cachedPreset(n);
    if (c.expect.memory == Memory::HostBehind && n == kRestoreAt) {
      EXPECT_TRUE(sameAsUnit(cached, before)) << "the host took a write the unit never confirmed";
      EXPECT_EQ(rig.app->preset(n).nameText(), "Restored " + std::to_string(n));
      continue;
    }
    EXPECT_TRUE(sameAsUnit(cached, rig.app->preset(n))) << "preset " << n;
  }
}

void Flows::runFirmware(const Case& c) {
  const sim::TestFirmwareSpec spec = sim::TestFirmwareSpec::withBlocks(kFirmwareBlocks);
  Rig rig(true, spec);
  const fs::path image = rig.folder / "update.qv";
  const Bytes bytes = sim::makeTestFirmware(spec);
  TempFolder::write(image, bytes);
  rig.service->init();
  ASSERT_EQ(rig.service->deviceStatus.get(), "B");

  if (auto rule = ruleFor(c)) rig.plan->add(*rule);
  rig.hid->beginUpdate(
      image.string(), [reports = rig.reports](int p) { if (p >= 100) reports->ends.add("update p" + std::to_string(p)); },
      [reports = rig.reports](int s) { reports->ends.add("update e" + std::to_string(s)); });
  ASSERT_TRUE(rig.waitForEnd(c.expect.within + kBound)) << "no ending";
  ASSERT_TRUE(rig.waitForDisconnection(c.expect));
  ASSERT_TRUE(rig.waitForTheLastReport());
  expectEnding(rig, c.expect, flowEndings(rig));
  expectDisconnections(rig, c.expect);
  EXPECT_FALSE(rig.hid->isUpdating());
  EXPECT_TRUE(TempFolder::read(image) == std::string(bytes.begin(), bytes.end())) << "the image was changed";
  EXPECT_EQ(filesUnder(rig.folder.path()), std::vector<std::string>{"update.qv"});
  if (c.expect.memory == Memory::NotChecked) return;
  // Every block the unit holds is the image's, in order; a whole update
  // holds all of them and was closed.
  const auto blocks = rig.loader->blocks();
  for (size_t b = 0; b < blocks.size(); ++b) {
    EXPECT_EQ(blocks[b].number, b) << b;
    EXPECT_TRUE(std::equal(blocks[b].data.begin(), blocks[b].data.end(),
                           bytes.end() - static_cast<std::ptrdiff_t>((kFirmwareBlocks - b) * 512)))
        << "block " << b;
  }
  const bool whole = c.expect.end == "update p100";
  EXPECT_EQ(rig.loader->finished(), whole);
  if (whole) {
    EXPECT_EQ(blocks.size(), static_cast<size_t>(kFirmwareBlocks));
  }
}

TEST_P(Flows, EndsOnceAndLeavesNothingBehind) {
  const Case& c = GetParam();
  switch (c.phase) {
    case Phase::Identify: runIdentify(c); break;
    case Phase::StartUp10:
    case Phase::StartUp50:
    case Phase::StartUp99: runStartUp(c); break;
    case Phase::EditBurst: runEditBurst(c); break;
    case Phase::IRImport: runImport(c, true); break;
    case Phase::NRImport: runImport(c, false); break;
    case Phase::Backup: runBackup(c); break;
    case Phase::Restore: runRestore(c); break;
    default: runFirmware(c); break;
  }
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, Flows, testing::ValuesIn(cases()), [](const testing::TestParamInfo<Case>& info) {
  return std::string(name(info.param.phase)) + "_" + name(info.param.fault);
});

// Every phase meets every fault, or is listed as left out with its reason.
TEST(FaultMatrixTable, CoversEveryPhaseAndFaultOnce) {
  std::map<std::pair<int, int>, int> seen;
  for (const Case& c : cases()) ++seen[{static_cast<int>(c.phase), static_cast<int>(c.fault)}];
  for (const LeftOut& l : kLeftOut) {
    EXPECT_GT(std::strlen(l.why), 0u);
    ++seen[{static_cast<int>(l.phase), static_cast<int>(l.fault)}];
  }
  for (int p = 0; p <= static_cast<int>(Phase::FirmwareLast); ++p)
    for (int f = 0; f <= static_cast<int>(Fault::Replug); ++f)
      EXPECT_EQ((seen[{p, f}]), 1) << name(static_cast<Phase>(p)) << "/" << name(static_cast<Fault>(f));
}

}  // namespace
