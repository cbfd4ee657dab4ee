// Whole-unit backup and restore: the backup of the simulated unit byte by
// byte, a restore that makes another unit equal to the first, every failure
// of the unit or the file ending once with its message and no stray file,
// stopping part way, the screen's ending of a restore, and the backup queue,
// HID thread and time-out racing one another.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <set>

#include "HIDServiceViewModeTestSupport.h"
#include "TempFolder.h"
#include "device/records/ModuleTable.h"
#include "device/backup/SettingViewModel.h"
#include "device/files/Zr_Backup.h"
#include "platform/foundation/Log.h"
#include "sim/unit/UnitTransfer.h"

using namespace svc_test;
namespace fs = std::filesystem;
using Kind = sim::UnitTransfer::Kind;

namespace {

// Temporary backup files in a folder.
std::vector<std::string> temporaryBackups(const fs::path& dir) {
  std::vector<std::string> found;
  if (!fs::is_directory(dir)) return found;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(Zr_Backup::kTempFilePrefix, 0) == 0) found.push_back(name);
  }
  return found;
}

// Pauses shortened; bounds on the unit's answers long enough that a loaded
// machine never makes a timely answer late.
SettingViewModel::Timing fastTiming() {
  SettingViewModel::Timing t;
  t.irTimeout = std::chrono::seconds(3);
  t.presetAck = std::chrono::seconds(3);
  t.recordAck = std::chrono::seconds(5);
  t.irPause = std::chrono::milliseconds(10);
  t.restoreEndDelay = std::chrono::milliseconds(20);
  t.failAlertDelay = std::chrono::milliseconds(10);
  return t;
}

// For a step whose answer never comes, or comes later than the unit's
// knobs delay it: short bounds, so the failure comes soon.
SettingViewModel::Timing expiringTiming() {
  SettingViewModel::Timing t = fastTiming();
  t.irTimeout = std::chrono::milliseconds(100);
  t.presetAck = std::chrono::milliseconds(200);
  return t;
}

std::vector<uint8_t> pattern(size_t size, int seed) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>(i * 5 + static_cast<size_t>(seed) * 17 + (i >> 7));
  return v;
}

// A simulated unit read by the device service, and a settings view model
// whose temporary files go to a folder of the test.
struct BackupRig {
  TempFolder folder;
  SimRig rig;
  std::shared_ptr<sim::UnitTransfer> transfer = rig.app->transfer();
  ProgressLog progress;
  // The view model's own pop-ups: only it and its jobs hold them.
  std::shared_ptr<RecordingPopUps> popUps = std::make_shared<RecordingPopUps>();
  SettingViewModelPtr vm;

  // fullRead false: the start-up read is begun, not waited for.
  explicit BackupRig(const std::function<void(BackupRig&)>& prepare = {}, SettingViewModel::Timing timing = fastTiming(),
                     bool fullRead = true) {
    if (prepare) prepare(*this);
    rig.service->init();
    rig.service->getAllData(progress.block());
    if (fullRead) {
      EXPECT_TRUE(rig.waitForRead(progress));
    }
    rig.service->setTransferTiming({std::chrono::seconds(3)});
    setTiming(timing);
  }
  ~BackupRig() { vm.reset(); }

  // A view model with these time constants in place of the one there was.
  void setTiming(SettingViewModel::Timing timing) {
    SettingViewModel::Parts parts;
    parts.hid = rig.service;
    parts.popUps = popUps;
    parts.backupOptions.documentsDir = docs();
    parts.timing = timing;
    vm.reset();
    vm = fnd::make<SettingViewModel>(parts);
  }
  // Waits until no backup or restore task holds the pop-ups any more and
  // every tip posted has been shown: the jobs have ended, so the tips seen
  // are all the tips there will be.
  bool settle() {
    const long idle = vm ? 2 : 1;
    return dispatch::runMainLoopUntil([&] { return popUps.use_count() <= idle; }, kBound);
  }

  fs::path docs() const { return folder / "docs"; }
  fs::path file(const std::string& name = "unit.bqv") const { return folder / name; }
  bool temporaryLeft() const { return !temporaryBackups(folder.path()).empty() || !temporaryBackups(docs()).empty(); }
  std::vector<std::string> tips() const { return popUps->tips(); }
  bool waitForTips(size_t n) const {
    return dispatch::runMainLoopUntil([&] { return tips().size() >= n; }, kBound);
  }
  // The rhythm the unit reports, once the service has it.
  void reportRhythm(const sim::UnitApplication::Rhythm& r) {
    rig.app->setRhythm(r);
    const std::string bpm = "BPM: " + std::to_string(r.bpm);
    EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return rig.service->systemDataModel()->rhythm_bpm.get() == bpm; }, kBound));
  }
  // Backs up into file(name) and waits for the one tip.
  std::string backUp(const std::string& name = "unit.bqv") {
    const size_t before = tips().size();
    vm->startBackUp(file(name).string());
    EXPECT_TRUE(waitForTips(before + 1));
    const auto all = tips();
    return all.size() > before ? all[before] : "";
  }
};

const std::string kSuccessTip = std::string("success: ") + SettingViewModel::kBackupSuccessTip;
const std::string kFailedTip = std::string("fail: ") + SettingViewModel::kBackupFailedTip;
const std::string kRestoreFailedTip = std::string("fail: ") + SettingViewModel::kRestoreFailedTip;

// A reader of backup files.
std::shared_ptr<Zr_Backup> openBackup(const fs::path& file, const fs::path& = {}) {
  auto reader = Zr_Backup::forReading(SettingViewModel::kBackupDevice, SettingViewModel::kBackupVersion.data(),
                                      SettingViewModel::kBackupVersionLength);
  if (!reader->readFile(file.string())) return nullptr;
  return reader;
}

Bytes recordBytes(Zr_Backup& file, int section, int record) {
  EXPECT_TRUE(file.getData(section, record));
  return file.typeData().dataStart;
}

// A backup file made section by section.
struct Section {
  std::string name;
  int length;
  std::vector<std::pair<int, Bytes>> records;  // index, data
};

void writeBackup(const fs::path& path, const fs::path& docs, const std::vector<Section>& sections) {
  Zr_Backup::Options options;
  options.documentsDir = docs;
  auto writer = Zr_Backup::initWithBackupDevice(SettingViewModel::kBackupDevice, SettingViewModel::kBackupVersion.data(),
                                                SettingViewModel::kBackupVersionLength, options);
  ASSERT_TRUE(writer);
  for (const Section& s : sections) {
    ASSERT_TRUE(writer->setDataHeadForDataName(s.name.c_str(), 0, s.length, static_cast<int>(s.records.size()), 0, 0, 0, 0));
    for (const auto& [index, data] : s.records) {
      Bytes padded = data;
      padded.resize(static_cast<size_t>(s.length));
      ASSERT_TRUE(writer->addData(padded.data(), s.length, index));
    }
  }
  ASSERT_TRUE(writer->exportBackupFileForPath(path.string()));
}

// A preset record of a backup file: name, module block with words 10 * m +
// i + seed, EXP words.
Bytes presetFileRecord(const std::string& name, int seed) {
  Bytes r(160, 0);
  std::copy(name.begin(), name.end(), r.begin());
  for (size_t i = 0; i < 132; i += 2) r[16 + i] = static_cast<uint8_t>(i / 2 + static_cast<size_t>(seed));
  const uint8_t exp[12] = {3, 0, 9, 0, 1, 0, 1, 0, 5, 0, 95, 0};
  std::copy(std::begin(exp), std::end(exp), r.begin() + 148);
  return r;
}

std::vector<uint8_t> commandsAfterStartUp(const SimRig& rig) {
  std::vector<uint8_t> cmds;
  for (const auto& f : rig.unit->receivedFrames())
    if (f.cmd != 0x00 && f.cmd != 0xB4 && f.cmd != 0xC1 && f.cmd != 0xB0 && f.cmd != 0xA0 && f.cmd != 0x8C)
      cmds.push_back(f.cmd);
  return cmds;
}

}  // namespace

// ---- Backup ----

TEST(Backup, TheFileHoldsTheUnitAsTheSectionTablesSay) {
  BackupRig b;
  b.reportRhythm({1, 2, 3, 77, 133});
  EXPECT_EQ(b.backUp(), kSuccessTip);
  ASSERT_EQ(b.rig.received(0xC4).size(), 1u);
  EXPECT_EQ(b.rig.received(0xC4)[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xC4, 0x00, 0xC8, 0x07}));
  EXPECT_FALSE(b.temporaryLeft());
  EXPECT_EQ(b.folder.list(), (std::vector<std::string>{"unit.bqv"}));

  auto file = openBackup(b.file(), b.docs());
  ASSERT_TRUE(file);
  ASSERT_EQ(file->backupdata().typeSum, 4u);
  struct Head {
    const char* name;
    uint16_t send, sendFlag, callback, callbackFlag;
    uint32_t number, length;
  };
  const Head heads[4] = {{"QV450_PRESET", 195, 1, 195, 1, 200, 160},
                         {"QV450_SYSTEM", 178, 1, 50, 1, 1, 10},
                         {"QV450_RHYTHM", 12, 1, 0, 1, 1, 6},
                         {"QV450_IR", 181, 0, 0, 0, 10, 1552}};
  for (int s = 0; s < 4; ++s) {
    ASSERT_TRUE(file->getSubHeadData(s));
    const auto& h = file->subHeadData();
    EXPECT_EQ(h.name(), heads[s].name);
    EXPECT_EQ(h.sendCMD, heads[s].send) << s;
    EXPECT_EQ(h.sendCMDFlag, heads[s].sendFlag) << s;
    EXPECT_EQ(h.callbackCMD, heads[s].callback) << s;
    EXPECT_EQ(h.callbackCMDFlag, heads[s].callbackFlag) << s;
    EXPECT_EQ(h.dataNumber, heads[s].number) << s;
    EXPECT_EQ(h.dataLength, heads[s].length) << s;
    EXPECT_EQ(h.dataType, 0) << s;
  }

  // Preset 1: its name, then the unit's module block as it stores it, then
  // the EXP words.
  const sim::UnitApplication::Preset p1 = b.rig.app->preset(1);
  const Bytes preset = recordBytes(*file, 0, 0);
  EXPECT_EQ(file->typeData().index, 0);
  EXPECT_EQ(std::string(preset.begin(), preset.begin() + 16), std::string("Factory 001\0\0\0\0\0", 16));
  EXPECT_TRUE(std::equal(p1.block.begin(), p1.block.end(), preset.begin() + 16));
  EXPECT_EQ((Bytes(preset.begin() + 148, preset.end())),
            (Bytes{static_cast<uint8_t>(p1.expFunction[0]), 0, static_cast<uint8_t>(p1.expFunction[1]), 0,
                   static_cast<uint8_t>(p1.expFunction[2]), 0, static_cast<uint8_t>(p1.expVolume[0]), 0,
                   static_cast<uint8_t>(p1.expVolume[1]), 0, static_cast<uint8_t>(p1.expVolume[2]), 0}));
  (void)recordBytes(*file, 0, 199);
  EXPECT_EQ(file->typeData().index, 199);

  // The unit's levels 12, 10, on, off, 15 and the rhythm on, 2, 3, 77, 133.
  ASSERT_TRUE(file->getSubHeadData(1));
  EXPECT_EQ(recordBytes(*file, 1, 0), (Bytes{0x0C, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0F, 0x00}));
  ASSERT_TRUE(file->getSubHeadData(2));
  EXPECT_EQ(recordBytes(*file, 2, 0), (Bytes{0x01, 0x02, 0x03, 0x4D, 0x85, 0x00}));

  // One IR record per slot: its name and its data as the unit holds them.
  ASSERT_TRUE(file->getSubHeadData(3));
  for (int k = 0; k < 10; ++k) {
    const Bytes ir = recordBytes(*file, 3, k);
    const int slot = file->typeData().index;
    EXPECT_EQ(slot, k);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ir.data())), b.rig.app->irName(slot));
    EXPECT_EQ(Bytes(ir.begin() + 16, ir.end()), b.transfer->data(Kind::IR, slot));
  }
}

TEST(Backup, NoSlotInUseAndNoRhythmReportedLeaveTheirSectionsOut) {
  BackupRig b([](BackupRig& r) {
    for (int s = 0; s < 10; ++s) r.rig.app->setIRName(s, "Empty");
  });
  EXPECT_EQ(b.backUp(), kSuccessTip);
  auto file = openBackup(b.file(), b.docs());
  ASSERT_TRUE(file);
  ASSERT_EQ(file->backupdata().typeSum, 2u);
  std::vector<std::string> names;
  for (int s = 0; s < 2; ++s) {
    ASSERT_TRUE(file->getSubHeadData(s));
    names.push_back(file->subHeadData().name());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"QV450_PRESET", "QV450_SYSTEM"}));
}

// An export record lost on the way, or dropped by the transport for its
// CRC, fails the backup: the earlier backup at the destination stays as it
// was and no temporary file is left.
TEST(Backup, ABackupMissingASlotFailsAndKeepsTheEarlierFile) {
  struct Case {
    const char* what;
    std::set<int> dropped, corrupted;
  };
  for (const Case& c : {Case{"record 4 lost", {4}, {}}, Case{"record 4 with a broken CRC", {}, {4}},
                        Case{"the last record lost", {10}, {}}}) {
    BackupRig b;
    ASSERT_EQ(b.backUp(), kSuccessTip) << c.what;
    const std::string earlier = TempFolder::read(b.file());
    b.rig.app->setIRName(0, "Changed");  // so a replaced file would differ
    b.setTiming(expiringTiming());        // the last record never comes
    sim::UnitTransfer::Knobs knobs;
    knobs.dropExportRecords = c.dropped;
    knobs.corruptExportRecords = c.corrupted;
    b.transfer->setKnobs(knobs);
    EXPECT_EQ(b.backUp(), kFailedTip) << c.what;
    EXPECT_EQ(TempFolder::read(b.file()), earlier) << c.what;
    EXPECT_FALSE(b.temporaryLeft()) << c.what;
    EXPECT_FALSE(b.vm->isBusy()) << c.what;
  }
}

TEST(Backup, EveryFaultOfTheUnitFailsOnceLeavesNoFileAndTheNextBackupWorks) {
  struct Case {
    const char* what;
    sim::UnitTransfer::Knobs knobs;
    bool ok;
    bool unitStays;
    SettingViewModel::Timing timing;
  };
  sim::UnitTransfer::Knobs none, withheld, tooFew, leaves, slow, late;
  withheld.withhold = {0x44};
  tooFew.extraAnnounced = 2;
  leaves.leaveBusAfterAnswers = 4;  // the announcement and three slots
  slow.delay[0x44] = std::chrono::milliseconds(10);
  late.delay[0x44] = std::chrono::milliseconds(250);
  const std::vector<Case> cases = {{"no export at all", withheld, false, true, expiringTiming()},
                                   {"more slots announced than sent", tooFew, false, true, expiringTiming()},
                                   {"the unit leaves the bus in the middle", leaves, false, false, expiringTiming()},
                                   {"export frames a little slow", slow, true, true, fastTiming()},
                                   {"export frames too slow", late, false, true, expiringTiming()}};
  for (const Case& c : cases) {
    BackupRig b({}, c.timing);
    b.transfer->setKnobs(c.knobs);
    EXPECT_EQ(b.backUp(), c.ok ? kSuccessTip : kFailedTip) << c.what;
    ASSERT_TRUE(b.settle()) << c.what;
    EXPECT_EQ(b.tips().size(), 1u) << c.what;
    EXPECT_EQ(fs::exists(b.file()), c.ok) << c.what;
    EXPECT_FALSE(b.temporaryLeft()) << c.what;
    EXPECT_EQ(b.vm->timeout(), c.ok ? 0 : 1) << c.what;
    EXPECT_FALSE(b.vm->isBusy()) << c.what;
    if (c.ok || !c.unitStays) continue;
    // A failed backup leaves nothing behind that fails the next one, once
    // the unit's late answers to it are in (they carry nothing by which the
    // next backup could tell them from its own).
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return b.transfer->answersPending() == 0; }, kBound)) << c.what;
    ASSERT_TRUE(waitForFramesHandled(*b.rig.app, b.progress)) << c.what;
    b.setTiming(fastTiming());
    b.transfer->setKnobs(none);
    EXPECT_EQ(b.backUp(), kSuccessTip) << c.what;
    EXPECT_EQ(b.vm->timeout(), 0) << c.what;
    EXPECT_TRUE(openBackup(b.file(), b.docs())) << c.what;
  }
}

TEST(Backup, AnIncompleteCacheFailsWithoutAskingTheUnit) {
  BackupRig b(
      [](BackupRig& r) {
        sim::UnitApplication::Knobs knobs;
        knobs.withhold = {0xA1};  // preset 7 is never fetched again
        knobs.dropRecords = {7};
        r.rig.app->setKnobs(knobs);
      },
      fastTiming(), false);
  // The read never ends here; the cache lacks preset 7.
  ASSERT_TRUE(b.rig.waitFor(0xA1, 1));
  b.vm->startBackUp(b.file().string());
  ASSERT_TRUE(b.waitForTips(1));
  EXPECT_EQ(b.tips(), (std::vector<std::string>{kFailedTip}));
  EXPECT_TRUE(b.rig.received(0xC4).empty());
  EXPECT_FALSE(fs::exists(b.file()));
  EXPECT_FALSE(b.temporaryLeft());
}

TEST(Backup, StoppingPartWayRemovesTheTemporaryFileAndShowsNothing) {
  for (bool byDestruction : {false, true}) {
    SettingViewModel::Timing timing = fastTiming();
    timing.irTimeout = std::chrono::seconds(120);  // only the stop ends the wait
    timing.quit = std::chrono::seconds(10);
    BackupRig b({}, timing);
    sim::UnitTransfer::Knobs knobs;
    knobs.withhold = {0x44};
    b.transfer->setKnobs(knobs);
    b.vm->startBackUp(b.file().string());
    ASSERT_TRUE(b.rig.waitFor(0xC4, 1));
    EXPECT_TRUE(b.temporaryLeft());
    EXPECT_EQ(b.vm->begin(), 1);
    // A second backup while this one waits is refused.
    b.vm->startBackUp(b.file("other.bqv").string());
    ASSERT_TRUE(b.waitForTips(1));

    // The wait ends at the stop, long before its bound; the temporary file
    // goes with the backup.
    if (byDestruction)
      b.vm.reset();
    else
      b.vm->cancel();
    EXPECT_FALSE(b.temporaryLeft());
    ASSERT_TRUE(b.settle());
    EXPECT_EQ(b.tips(), (std::vector<std::string>{kFailedTip})) << "only the refusal";
    EXPECT_FALSE(fs::exists(b.file()));
    EXPECT_FALSE(fs::exists(b.file("other.bqv")));
    if (b.vm) {
      EXPECT_FALSE(b.vm->isBusy());
    }
  }
}

// The export frames written out by hand, against a recording sink.
TEST(BackupByHand, OnlyEveryAnnouncedRecordMakesABackup) {
  Recorder r;
  loadUnit(r);
  TempFolder folder;
  SettingViewModel::Parts parts;
  parts.hid = r.service;
  parts.popUps = r.popUps;
  parts.backupOptions.documentsDir = folder / "docs";
  parts.timing = fastTiming();
  parts.timing.irTimeout = std::chrono::seconds(5);
  auto vm = fnd::make<SettingViewModel>(parts);
  vm->startBackUp((folder / "hand.bqv").string());
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        std::lock_guard guard(r.mutex);
        return !r.sent.empty();
      },
      kBound));
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xC4, {0x00}}}));

  Bytes record{3, 5};
  const Bytes name{'S', 'l', 'o', 't', ' ', 'S', 'i', 'x', 0, 0, 0, 0, 0, 0, 0, 0};
  record.insert(record.end(), name.begin(), name.end());
  const Bytes samples = pattern(1536, 6);
  record.insert(record.end(), samples.begin(), samples.end());
  r.feed(0x44, record);                     // before the announcement: ignored
  r.feed(0x44, {0x00, 0x03});               // three slots announced
  r.feed(0x44, Bytes(record.begin(), record.begin() + 100));  // short: ignored
  r.feed(0x44, record);                     // record 3 of 3, with 1 and 2 missing
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return !r.popUps->tips().empty(); }, kBound));
  EXPECT_EQ(r.popUps->tips(), (std::vector<std::string>{kFailedTip}));
  EXPECT_FALSE(fs::exists(folder / "hand.bqv"));

  // Again, with all three (and a stray fourth, ignored): the section holds
  // them in order.
  vm->startBackUp((folder / "hand.bqv").string());
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        std::lock_guard guard(r.mutex);
        return !r.sent.empty();
      },
      kBound));
  r.take();
  r.feed(0x44, {0x00, 0x03});
  for (uint8_t k : {1, 2, 4, 3}) {
    record[0] = k;
    record[1] = static_cast<uint8_t>(k + 4);
    r.feed(0x44, record);
  }
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return r.popUps->tips().size() == 2; }, kBound));
  EXPECT_EQ(r.popUps->tips()[1], kSuccessTip);
  auto file = openBackup(folder / "hand.bqv", folder / "docs");
  ASSERT_TRUE(file);
  ASSERT_EQ(file->backupdata().typeSum, 3u);  // no rhythm reported
  ASSERT_TRUE(file->getSubHeadData(2));
  EXPECT_EQ(file->subHeadData().dataNumber, 3u);
  EXPECT_EQ(recordBytes(*file, 2, 0), Bytes(record.begin() + 2, record.end()));
  EXPECT_EQ(file->typeData().index, 5);
  (void)recordBytes(*file, 2, 2);
  EXPECT_EQ(file->typeData().index, 7);
  // Presets come from the cache: preset 1 is "P1" with its words.
  ASSERT_TRUE(file->getSubHeadData(0));
  const Bytes p1 = recordBytes(*file, 0, 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p1.data())), "P1");
  EXPECT_EQ(ModuleTable::cutModuleData(std::span<const uint8_t>(p1).subspan(16, 132), 5), recordWords(1, 5));
}

// ---- Restore ----

namespace {

void prepareA(BackupRig& r) {
  for (int n = 1; n <= 200; n += 7) {
    sim::UnitApplication::Preset p = sim::UnitApplication::factoryPreset(n);
    p.setModuleWords(n % 9, {1, 2, 300 + n, 4, 5});
    const std::string name = "Alpha " + std::to_string(n);
    std::fill(p.name.begin(), p.name.end(), 0);
    std::copy(name.begin(), name.end(), p.name.begin());
    r.rig.app->setPreset(n, p);
  }
  r.rig.app->setInputLevel(3);
  r.rig.app->setScreenLevel(17);
  r.rig.app->setOutCab(0, 1);
  r.rig.app->setOtgLevel(21);
  for (int s = 0; s < 10; ++s) r.transfer->setSlot(Kind::IR, s, "A cab " + std::to_string(s), pattern(1536, s));
}

void prepareB(BackupRig& r) {
  for (int n = 1; n <= 200; ++n) {
    sim::UnitApplication::Preset p = sim::UnitApplication::factoryPreset(201 - n);
    const std::string name = "B side " + std::to_string(n);
    std::fill(p.name.begin(), p.name.end(), 0);
    std::copy(name.begin(), name.end(), p.name.begin());
    r.rig.app->setPreset(n, p);
  }
  r.rig.app->setInputLevel(20);
  r.rig.app->setScreenLevel(5);
  r.rig.app->setOutCab(1, 0);
  r.rig.app->setOtgLevel(2);
  for (int s = 0; s < 10; ++s) r.transfer->setSlot(Kind::IR, s, "B cab " + std::to_string(s), pattern(1536, 50 + s));
}

void expectSameUnit(const BackupRig& a, const BackupRig& b, bool rhythm = true) {
  for (int n = 1; n <= 200; ++n) {
    const auto pa = a.rig.app->preset(n), pb = b.rig.app->preset(n);
    EXPECT_EQ(pb.nameText(), pa.nameText()) << n;
    EXPECT_EQ(pb.block, pa.block) << n;
    EXPECT_EQ(pb.expFunction, pa.expFunction) << n;
    EXPECT_EQ(pb.expVolume, pa.expVolume) << n;
  }
  const auto sa = a.rig.app->system(), sb = b.rig.app->system();
  EXPECT_EQ(sb.inputLevel, sa.inputLevel);
  EXPECT_EQ(sb.screenLevel, sa.screenLevel);
  EXPECT_EQ(sb.leftOutCab, sa.leftOutCab);
  EXPECT_EQ(sb.rightOutCab, sa.rightOutCab);
  EXPECT_EQ(sb.otgLevel, sa.otgLevel);
  const auto ra = a.rig.app->rhythm(), rb = b.rig.app->rhythm();
  if (rhythm) {
    EXPECT_EQ(std::tie(rb.on, rb.mode, rb.style, rb.volume, rb.bpm),
              std::tie(ra.on, ra.mode, ra.style, ra.volume, ra.bpm));
  }
  for (int s = 0; s < 10; ++s) {
    EXPECT_EQ(b.rig.app->irName(s), a.rig.app->irName(s)) << s;
    EXPECT_EQ(b.transfer->data(Kind::IR, s), a.transfer->data(Kind::IR, s)) << s;
  }
}

}  // namespace

TEST(Restore, ABackupRestoredIntoAnotherUnitMakesItEqual) {
  BackupRig a(prepareA);
  a.reportRhythm({1, 4, 9, 66, 140});
  ASSERT_EQ(a.backUp(), kSuccessTip);

  BackupRig b(prepareB);
  b.reportRhythm({0, 1, 1, 10, 90});
  const auto system = b.rig.service->systemDataModel();
  b.rig.unit->clearReceived();
  EXPECT_TRUE(b.vm->recallBackUp(a.file().string()));
  expectSameUnit(a, b);
  EXPECT_TRUE(b.tips().empty());
  EXPECT_FALSE(b.temporaryLeft());

  // Start first, then 200 preset writes, the levels, the rhythm and ten IR
  // slots of five frames each; the end is left to the screen.
  const auto frames = b.rig.unit->receivedFrames();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xBA, 0x00, 0xE3, 0x51}));
  EXPECT_EQ(b.rig.received(0xC3).size(), 200u);
  EXPECT_EQ(b.rig.received(0xB5).size(), 50u);
  EXPECT_EQ(b.rig.received(0x8D).size(), 1u);
  for (uint8_t cmd : {0xA4, 0xA5, 0xA6, 0xA7}) EXPECT_EQ(b.rig.received(cmd).size(), 1u) << int(cmd);
  EXPECT_TRUE(b.rig.received(0xBB).empty());
  EXPECT_EQ(b.transfer->restoreStarts(), 1);

  // The service's system record is the same object, holding levels and
  // rhythm together.
  EXPECT_EQ(b.rig.service->systemDataModel(), system);
  EXPECT_EQ(system->inputLevel.get(), 3);
  EXPECT_EQ(system->OtgOutLevel.get(), 21);
  EXPECT_EQ(system->rhythm_vol.get(), "VOL: 66");
  EXPECT_EQ(system->rhythm_bpm.get(), "BPM: 140");
  // The restored slots' labels.
  EXPECT_EQ(b.rig.service->effectCatalogue()->typeNames(3)[26], "27:A cab 0");
}

// Two units backed up at the same moment into one folder, with one
// documents folder: each backup writes its own temporary file and its own
// destination.
TEST(Backup, TwoBackupsAtOnceKeepApart) {
  SettingViewModel::Timing timing = fastTiming();
  timing.irTimeout = std::chrono::seconds(2);
  BackupRig a(prepareA, timing), b(prepareB, timing);
  sim::UnitTransfer::Knobs slow;
  slow.delay[0x44] = std::chrono::milliseconds(15);
  a.transfer->setKnobs(slow);
  b.transfer->setKnobs(slow);
  SettingViewModel::Parts parts;
  parts.hid = b.rig.service;
  parts.popUps = b.popUps;
  parts.backupOptions.documentsDir = a.docs();
  parts.timing = timing;
  auto other = fnd::make<SettingViewModel>(parts);
  a.vm->startBackUp(a.file("a.bqv").string());
  other->startBackUp(a.file("b.bqv").string());
  ASSERT_TRUE(a.waitForTips(1));
  ASSERT_TRUE(b.waitForTips(1));
  EXPECT_EQ(a.tips(), (std::vector<std::string>{kSuccessTip}));
  EXPECT_EQ(b.tips(), (std::vector<std::string>{kSuccessTip}));
  for (auto [rig, name] : {std::pair{&a, "a.bqv"}, std::pair{&b, "b.bqv"}}) {
    auto file = openBackup(a.file(name));
    ASSERT_TRUE(file) << name;
    ASSERT_TRUE(file->getSubHeadData(0));
    const Bytes preset = recordBytes(*file, 0, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(preset.data())), rig->rig.app->preset(1).nameText()) << name;
    ASSERT_TRUE(file->getSubHeadData(file->backupdata().typeSum - 1));
    const Bytes ir = recordBytes(*file, static_cast<int>(file->backupdata().typeSum - 1), 0);
    EXPECT_EQ(Bytes(ir.begin() + 16, ir.end()), rig->transfer->data(Kind::IR, 0)) << name;
  }
  EXPECT_FALSE(a.temporaryLeft());
  EXPECT_TRUE(temporaryBackups(a.docs()).empty());
}

// The host never had the first unit's rhythm: the backup leaves it out, and
// the restore makes the second unit equal in everything else and keeps its
// own rhythm.
TEST(Restore, AFileWithoutRhythmRestoresWholeAndLeavesTheUnitsRhythm) {
  BackupRig a(prepareA);
  ASSERT_EQ(a.backUp(), kSuccessTip);
  auto file = openBackup(a.file());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->backupdata().typeSum, 3u);

  BackupRig b(prepareB);
  const sim::UnitApplication::Rhythm own{1, 4, 9, 66, 140};
  b.rig.app->setRhythm(own);
  EXPECT_TRUE(b.vm->recallBackUp(a.file().string()));
  expectSameUnit(a, b, false);
  EXPECT_TRUE(b.rig.received(0x8D).empty());
  const auto r = b.rig.app->rhythm();
  EXPECT_EQ(std::tie(r.on, r.mode, r.style, r.volume, r.bpm),
            std::tie(own.on, own.mode, own.style, own.volume, own.bpm));
}

// The unit leaves the bus instead of confirming the 101st preset: the
// host's cache holds what the unit holds, not what was sent.
TEST(Restore, TheCacheHoldsOnlyWhatTheUnitConfirmed) {
  BackupRig a(prepareA);
  ASSERT_EQ(a.backUp(), kSuccessTip);
  BackupRig b(prepareB);
  sim::UnitTransfer::Knobs knobs;
  knobs.leaveBusAfterAnswers = 100;
  b.transfer->setKnobs(knobs);
  EXPECT_FALSE(b.vm->recallBackUp(a.file().string()));
  EXPECT_EQ(b.rig.received(0xC3).size(), 101u);
  for (int n = 1; n <= 200; ++n) {
    const auto cached = b.rig.service->cachedPreset(n);
    ASSERT_TRUE(cached) << n;
    EXPECT_EQ(cached->presetName.get(), b.rig.app->preset(n).nameText()) << n;
    EXPECT_EQ(cached->module(3)->dataArr.get(), b.rig.app->preset(n).moduleWords(3)) << n;
  }
  EXPECT_EQ(b.rig.service->cachedPreset(100)->presetName.get(), a.rig.app->preset(100).nameText());
  // The write the unit never confirmed is not waited for once it is gone.
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return b.rig.service->pendingPresetWrites() == 0; }, kBound));
}

// A restore that failed waiting for a confirmation, retried at once: the
// first restore's confirmation, coming late while the retry waits, is not
// the retry's.
TEST(Restore, ALateConfirmationOfAFailedRestoreDoesNotCountForTheRetry) {
  SettingViewModel::Timing timing = fastTiming();
  timing.presetAck = std::chrono::milliseconds(600);
  BackupRig b({}, timing);
  writeBackup(b.file(), b.docs(), {{"QV450_PRESET", 160, {{0, presetFileRecord("One", 1)}}}});
  // Confirmed after the first restore gave up, while the retry waits (in
  // the middle of its wait: a loaded machine may send it late).
  sim::UnitTransfer::Knobs late;
  late.delay[0x43] = std::chrono::milliseconds(900);
  b.transfer->setKnobs(late);
  EXPECT_FALSE(b.vm->recallBackUp(b.file().string()));
  // The unit now takes writes without confirming them.
  sim::UnitTransfer::Knobs silent;
  silent.withhold = {0x43};
  b.transfer->setKnobs(silent);
  EXPECT_FALSE(b.vm->recallBackUp(b.file().string()));
  dispatch::drainMainQueue();  // the restore ran here: its tips are posted
  EXPECT_EQ(b.tips(), (std::vector<std::string>{kRestoreFailedTip, kRestoreFailedTip}));
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return b.transfer->answersPending() == 0; }, kBound));
}

// The IR slots follow the other sections only after the pause the unit
// needs.
TEST(Restore, TheIRSlotsWaitTheirPause) {
  SettingViewModel::Timing timing = fastTiming();
  timing.irPause = std::chrono::milliseconds(150);
  BackupRig b({}, timing);
  Bytes ir{'C', 'a', 'b'};
  ir.resize(1552, 3);
  writeBackup(b.file(), b.docs(), {{"QV450_SYSTEM", 10, {{0, Bytes(10, 1)}}}, {"QV450_IR", 1552, {{2, ir}}}});
  EXPECT_TRUE(b.vm->recallBackUp(b.file().string()));
  const auto before = b.rig.received(0xA7), slot = b.rig.received(0xB5);
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(slot.size(), 5u);
  EXPECT_GE(slot[0].time - before[0].time, std::chrono::milliseconds(140));
}

// A file in the documents folder named as the old fixed temporary file is
// read, restored and kept.
TEST(Restore, TheFileRestoredIsNeverRemoved) {
  BackupRig b;
  fs::create_directories(b.docs());
  const fs::path file = b.docs() / "tempBackup.VUR";
  writeBackup(file, b.docs(), {{"QV450_PRESET", 160, {{4, presetFileRecord("Kept", 5)}}}});
  const std::string bytes = TempFolder::read(file);
  EXPECT_TRUE(b.vm->recallBackUp(file.string()));
  EXPECT_EQ(b.rig.app->preset(5).nameText(), "Kept");
  EXPECT_EQ(TempFolder::read(file), bytes);
  EXPECT_FALSE(b.temporaryLeft());
}

TEST(Restore, SectionsGoInFileOrderAndWhatDoesNotFitIsSkipped) {
  BackupRig b;
  writeBackup(b.file(), b.docs(),
              {{"QV450_RHYTHM", 6, {{0, {1, 5, 6, 40, 0x2C, 0x01}}}},
               {"QV450_OTHER", 8, {{0, Bytes(8, 0xEE)}}},
               {"QV450_SYSTEM", 10, {{0, {7, 0, 8, 0, 0, 0, 1, 0, 9, 0}}}},
               {"QV450_PRESET", 160, {{4, presetFileRecord("Hand Five", 20)}, {250, presetFileRecord("Nowhere", 1)},
                                      {9, presetFileRecord("Hand Ten", 40)}}},
               {"QV450_PRESET", 100, {{2, Bytes(100, 1)}}}});
  EXPECT_TRUE(b.vm->recallBackUp(b.file().string()));
  EXPECT_EQ(commandsAfterStartUp(b.rig), (std::vector<uint8_t>{0xBA, 0x8D, 0xA4, 0xA5, 0xA6, 0xA7, 0xC3, 0xC3}));
  EXPECT_EQ(b.rig.received(0x8D)[0].payload, (Bytes{1, 5, 6, 40, 0x2C, 0x01}));
  EXPECT_EQ(b.rig.received(0xA6)[0].payload, (Bytes{0, 0, 1, 0}));
  EXPECT_EQ(b.rig.app->preset(5).nameText(), "Hand Five");
  EXPECT_EQ(b.rig.app->preset(10).nameText(), "Hand Ten");
  EXPECT_EQ(b.rig.app->preset(10).block[2], 41);
  EXPECT_EQ(b.rig.app->preset(5).expVolume[2], 95);
  EXPECT_EQ(b.rig.app->preset(3).nameText(), "Factory 003");
  const auto r = b.rig.app->rhythm();
  EXPECT_EQ(r.bpm, 300);
  EXPECT_EQ(b.rig.app->system().otgLevel, 9);
}

TEST(Restore, AnNRSectionGoesBackByteForByte) {
  BackupRig b;
  Bytes record{'N', 'R', ' ', 'B', 'a', 'c', 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes data = pattern(2048, 9);
  record.insert(record.end(), data.begin(), data.end());
  writeBackup(b.file(), b.docs(), {{"QV450_NR", 2064, {{4, record}}}});
  EXPECT_TRUE(b.vm->recallBackUp(b.file().string()));
  EXPECT_EQ(b.rig.received(0xB7).size(), 6u);
  EXPECT_EQ(b.rig.app->nrName(4), "NR Back");
  EXPECT_EQ(b.transfer->data(Kind::NR, 4), data);
  EXPECT_EQ(b.rig.service->effectCatalogue()->typeNames(2)[59], "60:NR Back");
}

TEST(Restore, EveryFailureEndsWithNoOnceAndItsMessage) {
  struct Case {
    const char* what;
    std::function<void(BackupRig&)> fault;
    std::vector<std::string> tips;
    std::vector<uint8_t> commands;
    SettingViewModel::Timing timing = fastTiming();
  };
  const Bytes ir = [] {
    Bytes r{'C', 'a', 'b'};
    r.resize(1552, 3);
    return r;
  }();
  auto knobs = [](std::function<void(sim::UnitTransfer::Knobs&)> set) {
    return [set](BackupRig& b) {
      sim::UnitTransfer::Knobs k;
      set(k);
      b.transfer->setKnobs(k);
    };
  };
  const std::vector<Case> cases = {
      {"a file changed after it was written", [](BackupRig& b) {
         auto bytes = TempFolder::read(b.file());
         bytes[2000] ^= 0x01;
         TempFolder::write(b.file(), std::string_view(bytes));
       }, {}, {0xBA}},
      {"no such file", [](BackupRig& b) { fs::remove(b.file()); }, {}, {0xBA}},
      {"a preset never confirmed", knobs([](auto& k) { k.withhold = {0x43}; }), {kRestoreFailedTip}, {0xBA, 0xC3},
       expiringTiming()},
      {"a preset confirmed too late", knobs([](auto& k) { k.delay[0x43] = std::chrono::milliseconds(400); }),
       {kRestoreFailedTip}, {0xBA, 0xC3}, expiringTiming()},
      {"the unit leaves the bus before confirming the preset", knobs([](auto& k) { k.leaveBusAfterAnswers = 0; }),
       {kRestoreFailedTip}, {0xBA, 0xC3}},
      {"the unit leaves the bus during the IR slot", knobs([](auto& k) { k.leaveBusAfterAnswers = 2; }), {},
       {0xBA, 0xC3, 0xB5, 0xB5}},
      {"an IR slot never acknowledged", knobs([](auto& k) { k.withholdFrames = {3}; }), {},
       {0xBA, 0xC3, 0xB5, 0xB5, 0xB5, 0xB5}, [] {
         SettingViewModel::Timing t = fastTiming();
         t.recordAck = std::chrono::seconds(1);
         return t;
       }()},
  };
  for (const Case& c : cases) {
    BackupRig b({}, c.timing);
    writeBackup(b.file(), b.docs(),
                {{"QV450_PRESET", 160, {{0, presetFileRecord("One", 1)}}}, {"QV450_IR", 1552, {{2, ir}}},
                 {"QV450_SYSTEM", 10, {{0, Bytes(10, 1)}}}});
    c.fault(b);
    EXPECT_FALSE(b.vm->recallBackUp(b.file().string())) << c.what;
    dispatch::drainMainQueue();  // the restore ran here: its tips are posted
    EXPECT_EQ(b.tips(), c.tips) << c.what;
    EXPECT_EQ(commandsAfterStartUp(b.rig), c.commands) << c.what;
    EXPECT_FALSE(b.temporaryLeft()) << c.what;
    EXPECT_FALSE(b.vm->isBusy()) << c.what;
  }
}

TEST(Restore, WhatCannotBeRestoredIsLoggedForWhatItIs) {
  BackupRig b;
  fs::create_directories(b.file("Folder.bqv"));
  TempFolder::write(b.file("Short.bqv"), std::string_view("QV450"));
  // Other threads may log at any time: the lines outlive the sink.
  auto log = std::make_shared<std::pair<std::mutex, std::string>>();
  auto previous = fnd::setLogSink([log](const std::string& line) {
    std::lock_guard guard(log->first);
    log->second += line + "\n";
  });
  for (const char* name : {"Folder.bqv", "Short.bqv"}) EXPECT_FALSE(b.vm->recallBackUp(b.file(name).string()));
  fnd::setLogSink(previous);
  std::lock_guard guard(log->first);
  EXPECT_NE(log->second.find("Folder.bqv is a folder"), std::string::npos) << log->second;
  EXPECT_NE(log->second.find("backup file of 5 bytes: no backup"), std::string::npos) << log->second;
  EXPECT_EQ(log->second.find("no backup of this unit"), std::string::npos) << log->second;
}

TEST(Restore, ASlowButTimelyUnitStillSucceeds) {
  BackupRig b;
  writeBackup(b.file(), b.docs(), {{"QV450_PRESET", 160, {{0, presetFileRecord("One", 1)}, {1, presetFileRecord("Two", 2)}}}});
  sim::UnitTransfer::Knobs k;
  k.delay[0x43] = std::chrono::milliseconds(100);
  b.transfer->setKnobs(k);
  EXPECT_TRUE(b.vm->recallBackUp(b.file().string()));
  EXPECT_EQ(b.rig.app->preset(2).nameText(), "Two");
}

// ---- The screen's side: ending a restore ----

namespace {

struct FakeScreen : SettingViewModel::RecallScreen {
  std::vector<std::string> calls;  // main thread only
  std::shared_ptr<sim::SimulatedUnit> unit;
  void recallEnded(bool success) override {
    EXPECT_TRUE(dispatch::isMainThread());
    calls.push_back(success ? "ended: yes" : "ended: no");
  }
  void runRecallFailedAlert() override {
    calls.push_back("alert");
    // The end command comes only once the alert is dismissed.
    for (const auto& f : unit->receivedFrames()) EXPECT_NE(f.cmd, 0xBB);
  }
};

}  // namespace

TEST(Recall, TheEndCommandFollowsTheScreensEndingEitherWay) {
  for (bool good : {true, false}) {
    BackupRig b;
    writeBackup(b.file(), b.docs(), {{"QV450_PRESET", 160, {{6, presetFileRecord("Seven", 7)}}}});
    auto screen = std::make_shared<FakeScreen>();
    screen->unit = b.rig.unit;
    b.vm->startRecall(good ? b.file().string() : (b.folder / "missing.bqv").string(), screen);
    ASSERT_TRUE(b.rig.waitFor(0xBB, 1)) << good;
    const auto end = b.rig.received(0xBB);
    EXPECT_EQ(end[0].bytes, (Bytes{0xAA, 0x55, 0x02, 0x00, 0xBB, 0x00, 0xD0, 0x60}));
    EXPECT_EQ(screen->calls, good ? (std::vector<std::string>{"ended: yes"})
                                  : (std::vector<std::string>{"ended: no", "alert"}));
    // The unit restarts: it leaves the bus.
    EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return !b.rig.unit->isPlugged(); }, kBound));
    EXPECT_EQ(b.transfer->restoreEnds(), 1);
  }
}

TEST(Recall, StoppingARestorePartWayEndsItWithoutAnEnding) {
  SettingViewModel::Timing timing = fastTiming();
  timing.presetAck = std::chrono::seconds(120);  // only the stop ends the wait
  timing.quit = std::chrono::seconds(10);
  BackupRig b({}, timing);
  writeBackup(b.file(), b.docs(), {{"QV450_PRESET", 160, {{0, presetFileRecord("One", 1)}, {1, presetFileRecord("Two", 2)}}}});
  sim::UnitTransfer::Knobs k;
  k.withhold = {0x43};
  b.transfer->setKnobs(k);
  auto screen = std::make_shared<FakeScreen>();
  screen->unit = b.rig.unit;
  b.vm->startRecall(b.file().string(), screen);
  ASSERT_TRUE(b.rig.waitFor(0xC3, 1));
  EXPECT_TRUE(b.vm->isBusy());
  EXPECT_FALSE(b.temporaryLeft());  // a restore makes none

  // The wait ends at the stop, long before its bound.
  b.vm->cancel();
  EXPECT_FALSE(b.vm->isBusy());
  EXPECT_FALSE(b.temporaryLeft());
  // The restore's task lets go of the screen when it ends; an ending it
  // posted would hold it until it ran.
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return screen.use_count() == 1; }, kBound));
  EXPECT_TRUE(screen->calls.empty());
  EXPECT_TRUE(b.tips().empty());
  EXPECT_EQ(commandsAfterStartUp(b.rig), (std::vector<uint8_t>{0xBA, 0xC3}));
}

TEST(SettingViewModelPage, ThePageIsSentOnlyWhenTheUnitIsElsewhere) {
  Recorder r;
  loadUnit(r);
  r.feed(0x34, {17});
  SettingViewModel::Parts parts;
  parts.hid = r.service;
  auto vm = fnd::make<SettingViewModel>(parts);
  vm->sendToChangePageIFNeed(17);
  EXPECT_TRUE(r.take().empty());
  vm->sendToChangePageIFNeed(20);
  EXPECT_EQ(r.take(), (std::vector<Sent>{{0xB4, {20, 0}}}));
  EXPECT_EQ(r.service->presetAllData()->nowPageNumber.get(), 20);
}

// ---- Threads ----

// The backup queue waits, the HID thread delivers the export frames and the
// time-out falls due, all at about the same moment; some backups are stopped
// while they wait. Each ends once, and its file is whole or absent.
TEST(BackupRestoreThreads, BackupQueueHidThreadAndTimeOutTogether) {
  SettingViewModel::Timing timing = fastTiming();
  timing.irTimeout = std::chrono::milliseconds(25);
  BackupRig b(
      [](BackupRig& r) {
        for (int s = 3; s < 10; ++s) r.rig.app->setIRName(s, "Empty");
      },
      timing);
  sim::UnitTransfer::Knobs knobs;
  knobs.delay[0x44] = std::chrono::milliseconds(24);
  b.transfer->setKnobs(knobs);
  int successes = 0, failures = 0, stopped = 0;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "race" + std::to_string(i) + ".bqv";
    const size_t tipsBefore = b.tips().size();
    b.vm->startBackUp(b.file(name).string());
    if (i % 3 == 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5 * i));
      b.vm->cancel();
      EXPECT_FALSE(b.vm->isBusy());
      // A backup that ended just before it was stopped still shows its tip.
      ASSERT_TRUE(b.settle()) << i;
    } else {
      ASSERT_TRUE(b.waitForTips(tipsBefore + 1)) << i;
    }
    const auto tips = b.tips();
    ASSERT_LE(tips.size(), tipsBefore + 1) << i;
    EXPECT_FALSE(b.temporaryLeft()) << i;
    if (tips.size() == tipsBefore) {
      ++stopped;
      EXPECT_FALSE(fs::exists(b.file(name))) << i;
    } else if (tips.back() == kSuccessTip) {
      ++successes;
      auto file = openBackup(b.file(name), b.docs());
      ASSERT_TRUE(file) << i;
      ASSERT_EQ(file->backupdata().typeSum, 3u);  // presets, system, IR: no rhythm reported
      ASSERT_TRUE(file->getSubHeadData(2));
      EXPECT_EQ(file->subHeadData().name(), "QV450_IR");
      EXPECT_EQ(file->subHeadData().dataNumber, 3u);
    } else {
      ++failures;
      EXPECT_EQ(tips.back(), kFailedTip);
      EXPECT_FALSE(fs::exists(b.file(name))) << i;
    }
    // A stopped or timed-out export leaves the unit's late answers on their
    // way; they must not count as the next backup's records (the protocol
    // cannot tell them apart), so let them land first.
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return b.transfer->answersPending() == 0; }, kBound)) << i;
    // A report of the unit's edit buffer, sent after them, has reached the
    // service: so have they.
    const size_t reports = b.progress.get().size();
    b.rig.app->sendCurrentPreset();
    ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return b.progress.get().size() > reports; }, kBound)) << i;
  }
  EXPECT_EQ(successes + failures + stopped, 8);
}

// A restore on a global queue while the unit's panel changes the records the
// restore writes, and the main thread reads them.
TEST(BackupRestoreThreads, RestoreWhileTheUnitsPanelMoves) {
  BackupRig a;
  ASSERT_EQ(a.backUp(), kSuccessTip);
  BackupRig b;
  auto screen = std::make_shared<FakeScreen>();
  screen->unit = b.rig.unit;
  b.vm->startRecall(a.file().string(), screen);
  std::atomic<bool> done{false};
  std::thread panel([&] {
    for (int i = 0; !done.load() && i < 400; ++i) {
      b.rig.app->setInputLevel(i % 22);
      b.rig.app->setRhythm({1, 1, 1, static_cast<uint8_t>(i % 100), 120});
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const bool ended = dispatch::runMainLoopUntil(
      [&] {
        (void)b.rig.service->systemDataModel()->inputLevel.get();
        (void)b.vm->backUp();
        return !screen->calls.empty();
      },
      kBound);
  done = true;
  panel.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(screen->calls, (std::vector<std::string>{"ended: yes"}));
}
