#include "device/backup/SettingViewModel.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "device/records/DeviceConstants.h"
#include "device/records/ModuleTable.h"
#include "device/firmware/libupdate_zarvo.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using dev::lowByte;

constexpr const char* kClass = "SettingViewModel";
// Offsets in a preset record of a backup file.
constexpr size_t kPresetName = 0;
constexpr size_t kPresetBlock = 16;
constexpr size_t kPresetExpFunction = 148;
constexpr size_t kPresetExpVolume = 154;

// At most `limit` bytes of UTF-8 text, never ending inside a character.
std::string utf8Prefix(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

void putWords(uint8_t* out, const std::vector<int>& words, size_t count) {
  for (size_t i = 0; i < count && i < words.size(); ++i) ModuleTable::writeWord(out + 2 * i, words[i]);
}

std::vector<int> readWords(const uint8_t* in, size_t count) {
  std::vector<int> words;
  for (size_t i = 0; i < count; ++i) words.push_back(ModuleTable::readWord(in + 2 * i));
  return words;
}

// Text up to the first NUL of a fixed-size field.
std::string fieldText(const uint8_t* bytes, size_t size) {
  const uint8_t* end = std::find(bytes, bytes + size, 0);
  return std::string(bytes, end);
}

bool rhythmKnown(const HIDServiceSystemModel& system) {
  constexpr size_t kPrefix = 5;
  return system.rhythm_switch.get() && system.rhythm_mode.get() && system.rhythm_style.get() &&
         system.rhythm_vol.get().size() > kPrefix && system.rhythm_bpm.get().size() > kPrefix;
}

void showTip(std::shared_ptr<PopUpService> service, const char* tip, bool failure) {
  dispatch::Queue::main()->async([service = std::move(service), tip, failure] {
    std::shared_ptr<PopUpService> s = service ? service : PopUpService::shared();
    if (failure)
      s->showFailWithTip(tip, nullptr);
    else
      s->showSuccessWithTip(tip);
  });
}

}  // namespace

const std::array<uint8_t, SettingViewModel::kBackupVersionLength> SettingViewModel::kBackupVersion = {
    'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0};

// What the view model shares with its backup queue, the HID thread (the slot
// receiver, the unit's confirmations) and its restore thread.
struct SettingViewModel::State {
  std::mutex mutex;
  std::condition_variable changed;
  int64_t begin = 0;
  int32_t timeout = 0;
  // Number of the running (or last) backup; a receiver of an older one does
  // nothing.
  uint64_t generation = 0;
  bool backingUp = false;
  bool restoring = false;
  bool cancelled = false;
  Zr_BackupPtr backUp;

  // The slot step of the running backup: the records come in on the HID
  // thread and are written to the file by the backup queue once all are in.
  bool slotStep = false;
  int announced = -1;
  // Set when the last announced record came with others missing before it.
  bool slotGap = false;
  size_t recordSize = 0;
  std::chrono::milliseconds slotTimeout{0};
  SteadyClock::time_point deadline;
  std::map<int, std::pair<int, std::vector<uint8_t>>> slots;  // k -> (slot index, record)

  // The restore's confirmation asked for last.
  uint64_t ackSerial = 0;
  std::optional<long> ackResult;
};

// One backup, owned by its task on the backup queue.
struct SettingViewModel::Backup {
  std::shared_ptr<State> state;
  HIDServiceViewModePtr hid;
  std::shared_ptr<PopUpService> popUps;
  Zr_BackupPtr file;
  std::string path;
  Timing timing;
  uint64_t generation = 0;

  // Whether the task ran or was dropped (quitting), the backup ends here at
  // the latest.
  ~Backup() { end(); }

  // The backup is over: the temporary file (unless moved into place) goes
  // with the last reference to it, and another backup may start.
  void end() {
    file.reset();
    std::lock_guard guard(state->mutex);
    if (state->generation == generation && state->backingUp) {
      state->backingUp = false;
      state->slotStep = false;
      state->begin = 0;
      state->backUp.reset();
    }
    state->changed.notify_all();
  }

  bool cancelled() const {
    std::lock_guard guard(state->mutex);
    return state->cancelled;
  }
  void setBegin(int64_t value) const {
    std::lock_guard guard(state->mutex);
    state->begin = value;
  }
};

SettingViewModel::SettingViewModel() : SettingViewModel(Parts{}) {}

SettingViewModel::SettingViewModel(Parts parts)
    : hid_(parts.hid ? parts.hid : HIDServiceViewMode::shared()),
      model_(fnd::make<SettingModel>()),
      popUps_(parts.popUps),
      backupOptions_(parts.backupOptions),
      timing_(parts.timing),
      state_(std::make_shared<State>()) {}

SettingViewModel::~SettingViewModel() { cancel(); }

Zr_BackupPtr SettingViewModel::backUp() const {
  std::lock_guard guard(state_->mutex);
  return state_->backUp;
}

int64_t SettingViewModel::begin() const {
  std::lock_guard guard(state_->mutex);
  return state_->begin;
}

int32_t SettingViewModel::timeout() const {
  std::lock_guard guard(state_->mutex);
  return state_->timeout;
}

bool SettingViewModel::isBusy() const {
  std::lock_guard guard(state_->mutex);
  return state_->backingUp || state_->restoring;
}

bool SettingViewModel::cancelled() const {
  std::lock_guard guard(state_->mutex);
  return state_->cancelled;
}

void SettingViewModel::cancel() {
  std::unique_lock lock(state_->mutex);
  if (!state_->backingUp && !state_->restoring) return;
  state_->cancelled = true;
  state_->changed.notify_all();
  if (!state_->changed.wait_for(lock, timing_.quit, [&] { return !state_->backingUp && !state_->restoring; }))
    FND_LOG_AT(kClass, "the backup or restore did not stop within %lld ms", static_cast<long long>(timing_.quit.count()));
}

std::shared_ptr<PopUpService> SettingViewModel::popUps() const {
  return popUps_ ? popUps_ : PopUpService::shared();
}

void SettingViewModel::sendToChangePageIFNeed(int page) {
  if (hid_->presetAllData()->nowPageNumber.get() == page) return;
  hid_->sendChangePage(page);
}

void SettingViewModel::sendRestoreCommand(uint8_t cmd) {
  std::shared_ptr<libupdate_zarvo> unit = hid_->zrHID();
  if (!unit) {
    FND_LOG_AT(kClass, "no unit: command 0x%02X not sent", cmd);
    return;
  }
  const uint8_t payload[1] = {0x00};
  unit->sendCMD(cmd, payload, 2);
}

// ---- Backup ----

void SettingViewModel::startBackUp(const std::string& path) {
  const std::shared_ptr<State> state = state_;
  uint64_t generation = 0;
  {
    std::lock_guard guard(state->mutex);
    if (state->backingUp || state->restoring) {
      FND_LOG_AT(kClass, "backup to %s refused: a backup or restore is running", path.c_str());
      showTip(popUps_, kBackupFailedTip, true);
      return;
    }
    // Every backup starts afresh: an earlier time-out does not carry over.
    state->backingUp = true;
    state->cancelled = false;
    state->begin = 0;
    state->timeout = 0;
    state->slotStep = false;
    state->slots.clear();
    generation = ++state->generation;
  }
  auto job = std::make_shared<Backup>();
  job->state = state;
  job->hid = hid_;
  job->popUps = popUps_;
  job->path = path;
  job->timing = timing_;
  job->generation = generation;
  // The temporary file goes beside the destination, under a name of its own.
  Zr_Backup::Options options = backupOptions_;
  options.destination = path;
  job->file = Zr_Backup::initWithBackupDevice(kBackupDevice, kBackupVersion.data(), kBackupVersionLength, options);
  if (!job->file) {
    FND_LOG_AT(kClass, "backup: the temporary file cannot be made");
    job->end();
    showTip(popUps_, kBackupFailedTip, true);
    return;
  }
  {
    std::lock_guard guard(state->mutex);
    state->backUp = job->file;
  }
  dispatch::Queue::createSerial(kBackupQueueLabel)->async([job] { runBackUp(job); });
}

void SettingViewModel::runBackUp(const std::shared_ptr<Backup>& job) {
  bool ok = !job->cancelled() && exportPresetInFile(*job) && exportSystemInFile(*job) && exportRhythm(*job) &&
            exportFile(*job, 0);
  if (job->cancelled()) {
    FND_LOG_AT(kClass, "backup stopped");
    job->end();  // no tip
    return;
  }
  bool timedOut = false;
  {
    std::lock_guard guard(job->state->mutex);
    timedOut = job->state->timeout == 1;
  }
  if (ok && !timedOut) ok = job->file->exportBackupFileForPath(job->path);
  if (!ok) FND_LOG_AT(kClass, "backup to %s failed%s", job->path.c_str(), timedOut ? ": the unit's IR slots did not come" : "");
  // Nothing of the backup is left over when its tip shows.
  job->end();
  const bool success = ok && !timedOut;
  showTip(job->popUps, success ? kBackupSuccessTip : kBackupFailedTip, !success);
}

bool SettingViewModel::exportPresetInFile(Backup& job) {
  job.setBegin(1);
  const std::vector<HIDServiceModuleModePtr> cache = job.hid->allPresetDataArr2();
  for (size_t i = 0; i < cache.size(); ++i) {
    if (!cache[i]) {
      FND_LOG_AT(kClass, "backup: preset %zu was never read from the unit", i + 1);
      return false;
    }
  }
  bool ok = job.file->setDataHeadForDataName(kPresetSection, 0, kPresetRecordSize, dev::kPresetCount,
                                             dev::host_cmd::kWritePreset, 1, dev::host_cmd::kWritePreset, 1);
  for (size_t i = 0; ok && i < cache.size(); ++i) {
    const HIDServiceModuleModePtr preset = cache[i]->copy();
    std::array<uint8_t, kPresetRecordSize> record{};
    const std::string name = utf8Prefix(preset->presetName.get(), kSlotNameSize);
    std::copy(name.begin(), name.end(), record.begin() + kPresetName);
    const std::span<uint8_t> block(record.data() + kPresetBlock, dev::kModuleBlockSize);
    for (int m = 0; m < dev::kModuleCount; ++m)
      if (HIDServiceModelPtr module = preset->module(m)) ModuleTable::putModuleData(block, m, module->dataArr.get());
    if (HIDServiceModelPtr first = preset->module(0)) {
      putWords(&record[kPresetExpFunction], first->FuncDataArr.get(), dev::kExpWordCount);
      putWords(&record[kPresetExpVolume], first->ExpDataArr.get(), dev::kExpWordCount);
    }
    ok = job.file->addData(record.data(), kPresetRecordSize, static_cast<int>(i));
  }
  if (ok) fnd::log("[Class:%s Line:%d]所有preset备份完成!", kClass, __LINE__);
  job.setBegin(0);
  return ok;
}

bool SettingViewModel::exportSystemInFile(Backup& job) {
  job.setBegin(1);
  const HIDServiceSystemModelPtr system = job.hid->systemDataModel();
  std::array<uint8_t, kSystemRecordSize> record{};
  const int values[5] = {system->inputLevel.get().value_or(0), system->screenLevel.get().value_or(0),
                         system->leftOutCab.get().value_or(0), system->rightOutCab.get().value_or(0),
                         system->OtgOutLevel.get().value_or(0)};
  for (size_t i = 0; i < 5; ++i) ModuleTable::writeWord(&record[2 * i], values[i]);
  const bool ok = job.file->setDataHeadForDataName(kSystemSection, 0, kSystemRecordSize, 1, 0xB2, 1,
                                                   dev::unit_cmd::kSystem, 1) &&
                  job.file->addData(record.data(), kSystemRecordSize, 0);
  job.setBegin(0);
  return ok;
}

// The rhythm goes into the file only when the host holds all of it: the
// start-up read does not carry it, and a record of made-up zeros would wipe
// the unit's own rhythm at the restore. The file is whole without it.
bool SettingViewModel::exportRhythm(Backup& job) {
  const HIDServiceSystemModelPtr system = job.hid->systemDataModel();
  if (!rhythmKnown(*system)) {
    FND_LOG_AT(kClass, "backup: the unit has not reported its rhythm; no rhythm section");
    return true;
  }
  const int bpm = HIDServiceSystemModel::rhythmNumber(system->rhythm_bpm.get());
  const int volume = HIDServiceSystemModel::rhythmNumber(system->rhythm_vol.get());
  const std::array<uint8_t, kRhythmRecordSize> record = {
      lowByte(system->rhythm_switch.get().value_or(0)), lowByte(system->rhythm_mode.get().value_or(0)),
      lowByte(system->rhythm_style.get().value_or(0)),  lowByte(volume),
      lowByte(bpm),                                     lowByte(bpm >> 8)};
  return job.file->setDataHeadForDataName(kRhythmSection, 0, kRhythmRecordSize, 1, dev::unit_cmd::kRhythm, 1, 0, 1) &&
         job.file->addData(record.data(), kRhythmRecordSize, 0);
}

// Asks the unit for its IR (0) or NR (1) slots and waits for them; writes
// their section when every announced record came. A time-out sets `timeout`;
// a record lost on the way fails the step.
bool SettingViewModel::exportFile(Backup& job, int kind) {
  State& state = *job.state;
  {
    std::lock_guard guard(state.mutex);
    if (state.cancelled) return false;
    state.begin = 1;
    state.slotStep = true;
    state.slotGap = false;
    state.announced = -1;
    state.slots.clear();
    state.recordSize = kind == 0 ? kIRRecordSize : kNRRecordSize;
    state.slotTimeout = job.timing.irTimeout;
    state.deadline = SteadyClock::now() + job.timing.irTimeout;
  }
  std::weak_ptr<State> weak = job.state;
  const uint64_t generation = job.generation;
  job.hid->setRevicedIRNR([weak, generation](std::span<const uint8_t> payload) {
    if (auto s = weak.lock()) receiveSlot(*s, generation, payload);
  });
  job.hid->revicedIRNRData(kind);

  // The time-out runs here: 3 s after the request and after each frame that
  // re-arms it, whichever thread armed it.
  for (;;) {
    std::unique_lock lock(state.mutex);
    if (state.begin != 1 || state.cancelled) break;
    const SteadyClock::time_point deadline = state.deadline;
    if (SteadyClock::now() >= deadline) {
      lock.unlock();
      runTimeout(state, generation);
      continue;
    }
    state.changed.wait_until(lock, deadline);
  }
  job.hid->setRevicedIRNR(nullptr);

  std::map<int, std::pair<int, std::vector<uint8_t>>> slots;
  size_t recordSize = 0;
  {
    std::lock_guard guard(state.mutex);
    if (state.cancelled) return false;
    if (state.timeout == 1) return true;
    if (state.slotGap) return false;
    state.slotStep = false;
    slots.swap(state.slots);
    recordSize = state.recordSize;
  }
  if (slots.empty()) return true;  // the unit has no slot in use: no section
  bool ok = job.file->setDataHeadForDataName(kind == 0 ? kIRSection : kNRSection, 0, static_cast<int>(recordSize),
                                             static_cast<int>(slots.size()),
                                             kind == 0 ? dev::host_cmd::kIRTransfer : dev::host_cmd::kNRTransfer, 0, 0, 0);
  for (const auto& [k, slot] : slots) {
    if (!ok) break;
    ok = job.file->addData(slot.second.data(), static_cast<int>(recordSize), slot.first);
  }
  return ok;
}

void SettingViewModel::runTimeout(State& state, uint64_t generation) {
  std::lock_guard guard(state.mutex);
  if (state.generation != generation || !state.slotStep || state.begin != 1 || SteadyClock::now() < state.deadline)
    return;
  FND_LOG_AT(kClass, "backup: the unit's slot data did not come in time");
  state.timeout = 1;
  state.begin = 0;
  state.slotStep = false;
  state.changed.notify_all();
}

// One export frame (HID thread): [00, n] announces n slots; [k, slot, name,
// data] is slot record k of n.
void SettingViewModel::receiveSlot(State& state, uint64_t generation, std::span<const uint8_t> p) {
  std::lock_guard guard(state.mutex);
  if (state.generation != generation || !state.slotStep || state.timeout == 1 || p.size() < 2) return;
  auto complete = [&] {
    state.slotStep = false;
    state.timeout = 0;
    state.begin = 0;
    state.changed.notify_all();
  };
  auto arm = [&] {
    state.deadline = SteadyClock::now() + state.slotTimeout;
    state.changed.notify_all();
  };
  const int k = p[0];
  if (k == 0) {
    if (state.announced >= 0) {
      FND_LOG_AT(kClass, "backup: a second announcement of slots ignored");
      return;
    }
    state.announced = p[1];
    if (state.announced == 0)
      complete();
    else
      arm();
    return;
  }
  if (state.announced < 0) {
    FND_LOG_AT(kClass, "backup: slot record %d before the announcement ignored", k);
    return;
  }
  if (p.size() < 2 + state.recordSize) {
    FND_LOG_AT(kClass, "backup: slot record %d of %zu bytes ignored", k, p.size());
    return;
  }
  if (k > state.announced) {
    FND_LOG_AT(kClass, "backup: slot record %d of %d announced ignored", k, state.announced);
    return;
  }
  state.slots[k] = {p[1], std::vector<uint8_t>(p.begin() + 2, p.begin() + 2 + static_cast<std::ptrdiff_t>(state.recordSize))};
  if (static_cast<int>(state.slots.size()) >= state.announced) {
    complete();
  } else if (k == state.announced) {
    // The unit sends its records in order: the last one came, so the
    // missing ones were lost on the way and the backup is not whole.
    FND_LOG_AT(kClass, "backup: %d of %d slot records came", static_cast<int>(state.slots.size()), state.announced);
    state.slotGap = true;
    complete();
  } else {
    arm();
  }
}

// ---- Restore ----

bool SettingViewModel::recallBackUp(const std::string& path) {
  {
    std::lock_guard guard(state_->mutex);
    if (state_->backingUp || state_->restoring) {
      FND_LOG_AT(kClass, "restore from %s refused: a backup or restore is running", path.c_str());
      return false;
    }
    state_->restoring = true;
    state_->cancelled = false;
  }
  struct End {
    State& state;
    ~End() {
      std::lock_guard guard(state.mutex);
      state.restoring = false;
      state.backUp.reset();
      state.changed.notify_all();
    }
  } end{*state_};

  sendRestoreCommand(dev::host_cmd::kRestoreStart);
  // A reader makes no temporary file: nothing beside the file being
  // restored (or the file itself) is touched.
  Zr_BackupPtr file = Zr_Backup::forReading(kBackupDevice, kBackupVersion.data(), kBackupVersionLength);
  {
    std::lock_guard guard(state_->mutex);
    state_->backUp = file;
  }
  // The whole file is checked (identity, checksum, every section and record
  // inside it) before anything of it is sent.
  if (!file->readFile(path)) {
    FND_LOG_AT(kClass, "restore: %s is no backup of this unit", path.c_str());
    return false;
  }
  const uint32_t sections = file->backupdata().typeSum;
  for (uint32_t s = 0; s < sections; ++s) {
    if (cancelled()) return false;
    const int section = static_cast<int>(s);
    if (!file->getSubHeadData(section)) return false;
    const std::string name = file->subHeadData().name();
    bool ok = true;
    if (name == kPresetSection)
      ok = restorePresets(*file, section);
    else if (name == kIRSection)
      ok = restoreSlots(*file, section, true);
    else if (name == kNRSection)
      ok = restoreSlots(*file, section, false);
    else if (name == kSystemSection)
      restoreSystem(*file, section);
    else if (name == kRhythmSection)
      restoreRhythm(*file, section);
    else
      FND_LOG_AT(kClass, "restore: section \"%s\" skipped", name.c_str());
    if (!ok) return false;
  }
  return !cancelled();
}

HIDServiceViewMode::ImportBlock SettingViewModel::ackBlock() {
  uint64_t serial = 0;
  {
    std::lock_guard guard(state_->mutex);
    serial = ++state_->ackSerial;
    state_->ackResult.reset();
  }
  std::weak_ptr<State> weak = state_;
  return [weak, serial](long result) {
    auto state = weak.lock();
    if (!state) return;
    std::lock_guard guard(state->mutex);
    if (state->ackSerial != serial || state->ackResult) return;
    state->ackResult = result;
    state->changed.notify_all();
  };
}

long SettingViewModel::waitForAck(std::chrono::milliseconds bound) {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait_for(lock, bound, [&] { return state_->ackResult.has_value() || state_->cancelled; });
  if (state_->cancelled || !state_->ackResult) return 0;
  return *state_->ackResult;
}

bool SettingViewModel::restorePresets(Zr_Backup& file, int section) {
  const Zr_Backup::SubHeadData head = file.subHeadData();
  if (head.dataLength < static_cast<uint32_t>(kPresetRecordSize)) {
    FND_LOG_AT(kClass, "restore: preset records of %u bytes skipped", head.dataLength);
    return true;
  }
  for (uint32_t k = 0; k < head.dataNumber; ++k) {
    if (cancelled() || !file.getData(section, static_cast<int>(k))) return false;
    const Zr_Backup::TypeData& record = file.typeData();
    const int index = record.index;
    if (index < 0 || index >= dev::kPresetCount) {
      FND_LOG_AT(kClass, "restore: preset record for slot %d skipped", index);
      continue;
    }
    const uint8_t* bytes = record.dataStart.data();
    auto preset = fnd::make<HIDServiceModuleMode>();
    preset->setPresetName(fieldText(bytes + kPresetName, kSlotNameSize));
    const std::span<const uint8_t> block(bytes + kPresetBlock, dev::kModuleBlockSize);
    const std::vector<int> function = readWords(bytes + kPresetExpFunction, dev::kExpWordCount);
    const std::vector<int> volume = readWords(bytes + kPresetExpVolume, dev::kExpWordCount);
    HIDServiceModuleMode::ModuleDictionary modules;
    for (int m = 0; m < dev::kModuleCount; ++m) {
      auto module = fnd::make<HIDServiceModel>();
      module->setDataArr(ModuleTable::cutModuleData(block, m));
      module->setFuncDataArr(function);
      module->setExpDataArr(volume);
      modules[HIDServiceModuleMode::moduleKey(m)] = module;
    }
    preset->setPresetDataDic(std::move(modules));
    hid_->sendPresetDataToDevice(*preset, index, ackBlock());
    const long result = waitForAck(timing_.presetAck);
    if (result == 0) {
      if (cancelled()) return false;
      FND_LOG_AT(kClass, "restore: preset %d not confirmed", index + 1);
      showTip(popUps_, kRestoreFailedTip, true);
      return false;
    }
    fnd::log("一个preset完成%ld", result);
  }
  return true;
}

bool SettingViewModel::restoreSlots(Zr_Backup& file, int section, bool ir) {
  const Zr_Backup::SubHeadData head = file.subHeadData();
  if (head.dataLength < static_cast<uint32_t>(kIRRecordSize)) {
    FND_LOG_AT(kClass, "restore: %s records of %u bytes skipped", ir ? "IR" : "NR", head.dataLength);
    return true;
  }
  if (ir && head.dataNumber > 0) {
    std::unique_lock lock(state_->mutex);
    if (state_->changed.wait_for(lock, timing_.irPause, [&] { return state_->cancelled; })) return false;
  }
  const size_t dataBytes = std::min<size_t>(head.dataLength - kSlotNameSize, sizeof(HIDServiceViewMode::ImportFile_Para::data));
  for (uint32_t k = 0; k < head.dataNumber; ++k) {
    if (cancelled() || !file.getData(section, static_cast<int>(k))) return false;
    const Zr_Backup::TypeData& record = file.typeData();
    const int slot = record.index;
    if (slot < 0 || slot >= dev::kUserSlotCount) {
      FND_LOG_AT(kClass, "restore: %s record for slot %d skipped", ir ? "IR" : "NR", slot);
      continue;
    }
    auto para = std::make_unique<HIDServiceViewMode::ImportFile_Para>();
    // Both kinds go back byte for byte as the unit exported them.
    para->firstPara = {static_cast<uint8_t>(slot), 1, 1, 1};
    std::copy_n(record.dataStart.begin(), kSlotNameSize, para->name.begin());
    std::memcpy(para->data.data(), record.dataStart.data() + kSlotNameSize, dataBytes);
    if (!hid_->setImportStruct(*para)) return false;
    hid_->sendFileToDevice(ir ? 3 : 4, "", -1, ackBlock());
    const long result = waitForAck(timing_.recordAck);
    if (result == 0) {
      if (!cancelled()) fnd::log(ir ? "IR超时" : "NR超时");
      return false;
    }
    if (result != HIDServiceViewMode::kTransferDone) {
      FND_LOG_AT(kClass, "restore: %s slot %d not written (%ld)", ir ? "IR" : "NR", slot, result);
      return false;
    }
  }
  return true;
}

// The system record keeps its object (the screens follow it); the section's
// fields are assigned and sent.
void SettingViewModel::restoreSystem(Zr_Backup& file, int section) {
  const Zr_Backup::SubHeadData head = file.subHeadData();
  if (head.dataLength < static_cast<uint32_t>(kSystemRecordSize) || head.dataNumber < 1 || !file.getData(section, 0)) {
    FND_LOG_AT(kClass, "restore: system section skipped");
    return;
  }
  const std::vector<int> w = readWords(file.typeData().dataStart.data(), 5);
  const HIDServiceSystemModelPtr system = hid_->systemDataModel();
  system->setInputLevel(w[0]);
  system->setScreenLevel(w[1]);
  system->setLeftOutCab(w[2]);
  system->setRightOutCab(w[3]);
  system->setOtgOutLevel(w[4]);
  for (int which = 1; which <= 4; ++which) hid_->sendSystem(which);
}

void SettingViewModel::restoreRhythm(Zr_Backup& file, int section) {
  const Zr_Backup::SubHeadData head = file.subHeadData();
  if (head.dataLength < static_cast<uint32_t>(kRhythmRecordSize) || head.dataNumber < 1 || !file.getData(section, 0)) {
    FND_LOG_AT(kClass, "restore: rhythm section skipped");
    return;
  }
  const uint8_t* b = file.typeData().dataStart.data();
  const HIDServiceSystemModelPtr system = hid_->systemDataModel();
  system->setRhythm_switch(b[0]);
  system->setRhythm_mode(b[1]);
  system->setRhythm_style(b[2]);
  system->setRhythm_vol(HIDServiceSystemModel::rhythmVolText(b[3]));
  system->setRhythm_bpm(HIDServiceSystemModel::rhythmBpmText(ModuleTable::readWord(b + 4)));
  hid_->sendRhythm();
}

// ---- The screen's side of a restore ----

void SettingViewModel::startRecall(const std::string& path, std::shared_ptr<RecallScreen> screen) {
  std::weak_ptr<SettingViewModel> weak = std::static_pointer_cast<SettingViewModel>(shared_from_this());
  dispatch::Queue::global()->async([weak, path, screen] {
    auto self = weak.lock();
    if (!self) return;
    const bool ok = self->recallBackUp(path);
    if (self->cancelled()) return;  // quitting: no ending
    const Timing timing = self->timing_;
    self.reset();
    dispatch::Queue::main()->async([weak, screen, ok, timing] {
      if (screen) screen->recallEnded(ok);
      auto end = [weak] {
        if (auto s = weak.lock()) s->sendRestoreCommand(dev::host_cmd::kRestoreEnd);
      };
      if (ok) {
        dispatch::Queue::main()->after(timing.restoreEndDelay, end);
      } else {
        dispatch::Queue::main()->after(timing.failAlertDelay, [screen, end] {
          if (screen) screen->runRecallFailedAlert();
          end();
        });
      }
    });
  });
}
