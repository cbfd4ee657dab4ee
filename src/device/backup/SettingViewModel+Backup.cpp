// SettingViewModel's backup: the presets, system and rhythm records and the
// unit's user IR slots into a backup file, on the queue "hid.backup".
#include <algorithm>
#include <array>
#include <string>

#include "device/backup/SettingViewModel+State.h"
#include "device/records/DeviceConstants.h"
#include "device/records/ModuleTable.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"

namespace {

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

bool rhythmKnown(const HIDServiceSystemModel& system) {
  constexpr size_t kPrefix = 5;
  return system.rhythm_switch.get() && system.rhythm_mode.get() && system.rhythm_style.get() &&
         system.rhythm_vol.get().size() > kPrefix && system.rhythm_bpm.get().size() > kPrefix;
}

}  // namespace

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

void SettingViewModel::startBackUp(const std::string& path) {
  const std::shared_ptr<State> state = state_;
  uint64_t generation = 0;
  {
    std::lock_guard guard(state->mutex);
    if (state->backingUp || state->restoring) {
      FND_LOG_AT(svm::kClass, "backup to %s refused: a backup or restore is running", path.c_str());
      svm::showTip(popUps_, kBackupFailedTip, true);
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
    FND_LOG_AT(svm::kClass, "backup: the temporary file cannot be made");
    job->end();
    svm::showTip(popUps_, kBackupFailedTip, true);
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
    FND_LOG_AT(svm::kClass, "backup stopped");
    job->end();  // no tip
    return;
  }
  bool timedOut = false;
  {
    std::lock_guard guard(job->state->mutex);
    timedOut = job->state->timeout == 1;
  }
  if (ok && !timedOut) ok = job->file->exportBackupFileForPath(job->path);
  if (!ok)
    FND_LOG_AT(svm::kClass, "backup to %s failed%s", job->path.c_str(),
               timedOut ? ": the unit's IR slots did not come" : "");
  // Nothing of the backup is left over when its tip shows.
  job->end();
  const bool success = ok && !timedOut;
  svm::showTip(job->popUps, success ? kBackupSuccessTip : kBackupFailedTip, !success);
}

bool SettingViewModel::exportPresetInFile(Backup& job) {
  job.setBegin(1);
  const std::vector<HIDServiceModuleModePtr> cache = job.hid->allPresetDataArr2();
  for (size_t i = 0; i < cache.size(); ++i) {
    if (!cache[i]) {
      FND_LOG_AT(svm::kClass, "backup: preset %zu was never read from the unit", i + 1);
      return false;
    }
  }
  bool ok = job.file->setDataHeadForDataName(kPresetSection, 0, kPresetRecordSize, dev::kPresetCount,
                                             dev::host_cmd::kWritePreset, 1, dev::host_cmd::kWritePreset, 1);
  for (size_t i = 0; ok && i < cache.size(); ++i) {
    const HIDServiceModuleModePtr preset = cache[i]->copy();
    std::array<uint8_t, kPresetRecordSize> record{};
    const std::string name = utf8Prefix(preset->presetName.get(), kSlotNameSize);
    std::copy(name.begin(), name.end(), record.begin() + svm::kPresetName);
    const std::span<uint8_t> block(record.data() + svm::kPresetBlock, dev::kModuleBlockSize);
    for (int m = 0; m < dev::kModuleCount; ++m)
      if (HIDServiceModelPtr module = preset->module(m)) ModuleTable::putModuleData(block, m, module->dataArr.get());
    if (HIDServiceModelPtr first = preset->module(0)) {
      putWords(&record[svm::kPresetExpFunction], first->FuncDataArr.get(), dev::kExpWordCount);
      putWords(&record[svm::kPresetExpVolume], first->ExpDataArr.get(), dev::kExpWordCount);
    }
    ok = job.file->addData(record.data(), kPresetRecordSize, static_cast<int>(i));
  }
  if (ok) fnd::log("[Class:%s Line:%d]所有preset备份完成!", svm::kClass, __LINE__);
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
    FND_LOG_AT(svm::kClass, "backup: the unit has not reported its rhythm; no rhythm section");
    return true;
  }
  const int bpm = HIDServiceSystemModel::rhythmNumber(system->rhythm_bpm.get());
  const int volume = HIDServiceSystemModel::rhythmNumber(system->rhythm_vol.get());
  const std::array<uint8_t, kRhythmRecordSize> record = {
      dev::lowByte(system->rhythm_switch.get().value_or(0)),
      dev::lowByte(system->rhythm_mode.get().value_or(0)),
      dev::lowByte(system->rhythm_style.get().value_or(0)),
      dev::lowByte(volume),
      dev::lowByte(bpm),
      dev::lowByte(bpm >> 8)};
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
    state.deadline = svm::SteadyClock::now() + job.timing.irTimeout;
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
    const svm::SteadyClock::time_point deadline = state.deadline;
    if (svm::SteadyClock::now() >= deadline) {
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
  if (state.generation != generation || !state.slotStep || state.begin != 1 || svm::SteadyClock::now() < state.deadline)
    return;
  FND_LOG_AT(svm::kClass, "backup: the unit's slot data did not come in time");
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
    state.deadline = svm::SteadyClock::now() + state.slotTimeout;
    state.changed.notify_all();
  };
  const int k = p[0];
  if (k == 0) {
    if (state.announced >= 0) {
      FND_LOG_AT(svm::kClass, "backup: a second announcement of slots ignored");
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
    FND_LOG_AT(svm::kClass, "backup: slot record %d before the announcement ignored", k);
    return;
  }
  if (p.size() < 2 + state.recordSize) {
    FND_LOG_AT(svm::kClass, "backup: slot record %d of %zu bytes ignored", k, p.size());
    return;
  }
  if (k > state.announced) {
    FND_LOG_AT(svm::kClass, "backup: slot record %d of %d announced ignored", k, state.announced);
    return;
  }
  state.slots[k] = {p[1], std::vector<uint8_t>(p.begin() + 2, p.begin() + 2 + static_cast<std::ptrdiff_t>(state.recordSize))};
  if (static_cast<int>(state.slots.size()) >= state.announced) {
    complete();
  } else if (k == state.announced) {
    // The unit sends its records in order: the last one came, so the
    // missing ones were lost on the way and the backup is not whole.
    FND_LOG_AT(svm::kClass, "backup: %d of %d slot records came", static_cast<int>(state.slots.size()),
               state.announced);
    state.slotGap = true;
    complete();
  } else {
    arm();
  }
}
