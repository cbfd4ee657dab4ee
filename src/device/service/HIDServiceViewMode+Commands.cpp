// The device service's commands: what the screens send to the unit, and what
// each does to the records.
#include <algorithm>

#include "device/service/HIDServiceViewMode.h"
#include "device/records/ModuleTable.h"
#include "device/files/NameChecks.h"
#include "device/records/PresetRecord.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"

namespace host = dev::host_cmd;

namespace {

// The first `count` characters of UTF-8 text (a broken sequence counts one
// character per byte).
std::string firstCharactersOf(const std::string& text, size_t count) {
  size_t i = 0;
  for (size_t characters = 0; i < text.size() && characters < count; ++characters) {
    ++i;
    while (i < text.size() && (static_cast<uint8_t>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return text.substr(0, i);
}

}  // namespace

void HIDServiceViewMode::sendModuleData(std::vector<int> words) {
  Locked locked(*this);
  presetDataModel_->setDataArr(words);
  // Sent from the list just stored: nothing can change the record while the
  // lock is held, so it need not be read back.
  sendModuleWords(std::move(words));
}

void HIDServiceViewMode::sendModuleData() {
  Locked locked(*this);
  sendModuleWords(presetDataModel_->dataArr.get());
}

void HIDServiceViewMode::sendModuleWords(std::vector<int> words) {
  const int module = selectedModuleIndex();
  const int page = dev::kFirstModulePage + module;
  // The words go to the selected module's page: when the unit shows any other
  // page (another module's included), it is sent there first.
  if (presetAllData_->nowPageNumber.get() != page) {
    send(host::kChangePage, {static_cast<uint8_t>(page), 0x00});
    presetAllData_->setNowPageNumber(page);
  }
  const ModuleInfo& info = ModuleTable::modules[static_cast<size_t>(module)];
  const auto count = static_cast<size_t>(info.words());
  if (words.size() < count) {
    // A short list keeps the module's other words as the preset holds them.
    FND_LOG_AT("HIDServiceViewMode", "module %d: %zu words given, %zu needed; the rest are the stored ones", module,
               words.size(), count);
    const HIDServiceModelPtr stored = presetAllData_->module(module);
    const std::vector<int> known = stored ? stored->dataArr.get() : std::vector<int>();
    for (size_t i = words.size(); i < count; ++i) words.push_back(i < known.size() ? known[i] : 0);
  }
  words.resize(count);
  std::array<uint8_t, dev::kModuleBlockSize> payload{};
  PresetRecord::writeWords(payload, words, count);
  send(static_cast<uint8_t>(host::kModuleWordsFirst + module),
       std::span<const uint8_t>(payload.data(), static_cast<size_t>(info.length)));
  presetAllData_->storeModule(module, fnd::make<HIDServiceModel>(std::move(words), presetDataModel_->FuncDataArr.get(),
                                                                 presetDataModel_->ExpDataArr.get()));
  didChangeData.set(1);
}

void HIDServiceViewMode::sendChangePage(int page) {
  if (page < 0 || page > 0xFF) {
    FND_LOG_AT("HIDServiceViewMode", "page %d not sent: not a page", page);
    return;
  }
  Locked locked(*this);
  if (presetAllData_->nowPageNumber.get() == page) return;
  send(host::kChangePage, {static_cast<uint8_t>(page), 0x00});
  if (page >= dev::kFirstModulePage && page <= dev::kLastModulePage) {
    const int module = page - dev::kFirstModulePage;
    presetAllData_->setSelectedModule(module);
    if (HIDServiceModelPtr record = presetAllData_->module(module)) presetDataModel_->setDataArr(record->dataArr.get());
  }
  presetAllData_->setNowPageNumber(page);
}

void HIDServiceViewMode::sendChangePreset(int n) {
  if (!dev::isPresetNumber(n)) {
    FND_LOG_AT("HIDServiceViewMode", "preset %d not selected: no such preset", n);
    return;
  }
  Locked locked(*this);
  if (presetAllData_->selectedPreset.get() == n) return;
  if (!loadPresetFromCache(n, true)) {
    FND_LOG_AT("HIDServiceViewMode", "preset %d not selected: not read from the unit yet", n);
    return;
  }
  send(host::kChangePreset, {static_cast<uint8_t>(n)});
}

void HIDServiceViewMode::updateCurrentPreset() {
  Locked locked(*this);
  if (std::optional<int> n = presetAllData_->selectedPreset.get()) loadPresetFromCache(*n, false);
}

void HIDServiceViewMode::sendSave(int n, const std::string& name, int /*type*/) {
  if (!checkPresetName(name)) {
    std::shared_ptr<PopUpService> service = popUps();
    dispatch::Queue::main()->async([service] { service->showFailWithTip(kWrongNameTip, nullptr); });
    return;
  }
  if (!dev::isPresetNumber(n)) {
    FND_LOG_AT("HIDServiceViewMode", "preset %d not saved: no such preset", n);
    return;
  }
  const std::string stored = firstCharactersOf(name, dev::kPresetNameSize);
  std::array<uint8_t, dev::kPresetSavedPayloadSize> payload{};
  payload[0] = static_cast<uint8_t>(n);
  PresetRecord::encodeName(stored, std::span<uint8_t>(payload).subspan(1));

  Locked locked(*this);
  if (presetAllData_->selectedPreset.get() != n) {
    // Renaming another preset.
    if (const HIDServiceModuleModePtr cached = cache_[static_cast<size_t>(n - 1)]) {
      HIDServiceModuleModePtr renamed = cached->copy();
      renamed->setPresetName(stored);
      cache_[static_cast<size_t>(n - 1)] = renamed;
    }
    send(host::kRenamePreset, payload);
  } else {
    // Saving the edit buffer into its own preset.
    presetAllData_->setPresetName(stored);
    presetAllData_->storeModule(selectedModuleIndex(), *presetDataModel_);
    storeInCache(n, *presetAllData_);
    didChangeData.set(0);
    send(host::kSaveCurrent, payload);
  }
  postReloadPresetName();
}

void HIDServiceViewMode::sendPresetDataToDevice(const HIDServiceModuleMode& record, int index, ImportBlock result) {
  if (index < 0 || index >= dev::kPresetCount) {
    FND_LOG_AT("HIDServiceViewMode", "preset slot %d not written: no such slot", index);
    return;
  }
  const int n = index + 1;
  // Taken before the lock: the record may be one of the service's own.
  const HIDServiceModuleModePtr copy = record.copy();
  const PresetRecord::Bytes bytes = PresetRecord::encode(*copy, n);

  Locked locked(*this);
  importBlock_ = result;
  importBlockSet_ = false;
  dropExpiredWrites();
  // The cache follows the unit: the record goes in when the unit confirms.
  const uint64_t serial = ++writeSerial_;
  const bool current = presetAllData_->selectedPreset.get() == n;
  pendingWrites_.push_back({n, copy, std::move(result), std::chrono::steady_clock::now(), serial, current});
  send(host::kWritePreset, bytes);
  armWriteBound(serial);
  updateAwaiting();
}

// 0x43 (HID thread, under the lock): the unit stored a preset write.
void HIDServiceViewMode::presetWritten(std::span<const uint8_t> payload) {
  dropExpiredWrites();
  auto it = pendingWrites_.end();
  if (!payload.empty())
    it = std::find_if(pendingWrites_.begin(), pendingWrites_.end(),
                      [n = payload[0]](const PendingWrite& w) { return w.n == n; });
  if (it == pendingWrites_.end()) it = pendingWrites_.begin();
  if (it == pendingWrites_.end()) {
    FND_LOG_AT("HIDServiceViewMode", "a preset write confirmed with none waiting");
    if (ImportBlock block = importBlockSet_ ? importBlock_ : nullptr) afterUnlock([block] { block(1); });
    return;
  }
  PendingWrite write = std::move(*it);
  pendingWrites_.erase(it);
  HIDServiceModuleModePtr& cached = cache_[static_cast<size_t>(write.n - 1)];
  // A name changed (a restore's, say): the unit list reads the names again.
  if (!cached || cached->presetName.get() != write.preset->presetName.get()) postReloadPresetName();
  cached = write.preset;
  // The current preset written: the records show what the unit now holds,
  // its EXP words included.
  if (presetAllData_->selectedPreset.get() == write.n) loadPresetFromCache(write.n, false);
  if (ImportBlock block = std::move(write.block)) afterUnlock([block] { block(1); });
  updateAwaiting();
}

// Under the lock: gives up the writes the unit has not confirmed in time.
void HIDServiceViewMode::dropExpiredWrites() {
  const auto now = std::chrono::steady_clock::now();
  while (!pendingWrites_.empty() && now - pendingWrites_.front().sent > timing_.presetWriteExpiry) writeLost(0);
}

// Under the lock: the write `serial` is lost unless the unit confirms it
// within the expiry.
void HIDServiceViewMode::armWriteBound(uint64_t serial) {
  std::weak_ptr<HIDServiceViewMode> weak = std::static_pointer_cast<HIDServiceViewMode>(shared_from_this());
  dispatch::Queue::global()->after(timing_.presetWriteExpiry, [weak, serial] {
    auto self = weak.lock();
    if (!self) return;
    Locked locked(*self);
    const auto& writes = self->pendingWrites_;
    const auto it =
        std::find_if(writes.begin(), writes.end(), [serial](const PendingWrite& w) { return w.serial == serial; });
    if (it != writes.end()) self->writeLost(static_cast<size_t>(it - writes.begin()));
  });
}

// Under the lock: the write at `index` was not confirmed in time.
void HIDServiceViewMode::writeLost(size_t index) {
  PendingWrite write = std::move(pendingWrites_[index]);
  pendingWrites_.erase(pendingWrites_.begin() + static_cast<std::ptrdiff_t>(index));
  FND_LOG_AT("HIDServiceViewMode", "preset %d write never confirmed", write.n);
  if (ImportBlock block = std::move(write.block)) afterUnlock([block] { block(kPresetWriteLost); });
  if (write.current) askWhetherWritten(write.n, write.preset);
  updateAwaiting();
}

// Under the lock, after a lost write of the current preset, which the unit
// may or may not have stored (the write or only its confirmation lost): the
// unit is asked for its record of that preset (0xA1, answered by 0x21, which
// presetReadAgain compares with the write). Until the answer, or its bound,
// the records stay as they are and the edits wait.
void HIDServiceViewMode::askWhetherWritten(int n, const HIDServiceModuleModePtr& written) {
  send(host::kRequestRecord, {static_cast<uint8_t>(n)});
  lostWrite_ = LostWrite{n, written, ++lostWriteAsks_};
  std::weak_ptr<HIDServiceViewMode> weak = std::static_pointer_cast<HIDServiceViewMode>(shared_from_this());
  dispatch::Queue::global()->after(timing_.currentPresetAnswer, [weak, ask = lostWrite_->ask] {
    auto self = weak.lock();
    if (!self) return;
    Locked locked(*self);
    if (!self->lostWrite_ || self->lostWrite_->ask != ask) return;
    FND_LOG_AT("HIDServiceViewMode", "preset %d asked for after its lost write did not come", self->lostWrite_->n);
    self->lostWrite_.reset();
    self->updateAwaiting();
  });
}

// Under the lock: the unit's record of preset n, read again. After a lost
// write of the current preset it tells whether the unit took the write: if it
// holds the written preset, the current records show it as on a confirmation;
// otherwise the unit's edit buffer is still what the records show, edits not
// saved included.
void HIDServiceViewMode::presetReadAgain(int n, const HIDServiceModuleModePtr& record) {
  HIDServiceModuleModePtr& cached = cache_[static_cast<size_t>(n - 1)];
  if (!cached || cached->presetName.get() != record->presetName.get()) postReloadPresetName();
  cached = record;
  FND_LOG_AT("HIDServiceViewMode", "preset record %d read again", n);
  if (!lostWrite_ || lostWrite_->n != n) return;
  const bool taken = PresetRecord::encode(*record, n) == PresetRecord::encode(*lostWrite_->preset, n);
  FND_LOG_AT("HIDServiceViewMode", "the unit %s the lost write of preset %d", taken ? "took" : "did not take", n);
  if (taken && presetAllData_->selectedPreset.get() == n) loadPresetFromCache(n, false);
  lostWrite_.reset();
  updateAwaiting();
}

// Under the lock.
void HIDServiceViewMode::updateAwaiting() {
  const bool awaiting = lostWrite_.has_value() || std::any_of(pendingWrites_.begin(), pendingWrites_.end(),
                                                           [](const PendingWrite& w) { return w.current; });
  if (awaitingCurrentPreset.get() != awaiting) awaitingCurrentPreset.set(awaiting);
}

void HIDServiceViewMode::sendThreeWords(uint8_t code, const std::vector<int>& words) {
  if (words.size() != dev::kExpWordCount)
    FND_LOG_AT("HIDServiceViewMode", "command 0x%02X: %zu values given, 3 sent", code, words.size());
  std::array<uint8_t, 2 * dev::kExpWordCount> payload{};
  for (size_t i = 0; i < dev::kExpWordCount && i < words.size(); ++i) payload[2 * i] = dev::lowByte(words[i]);
  send(code, payload);
}

void HIDServiceViewMode::sendFunction(const std::vector<int>& words) {
  Locked locked(*this);
  didChangeData.set(1);
  presetDataModel_->setFuncDataArr(words);
  presetAllData_->setExpWords(presetDataModel_->FuncDataArr.get(), presetDataModel_->ExpDataArr.get());
  sendThreeWords(host::kExpFunction, words);
}

void HIDServiceViewMode::sendExpvol(const std::vector<int>& words) {
  Locked locked(*this);
  didChangeData.set(1);
  presetDataModel_->setExpDataArr(words);
  presetAllData_->setExpWords(presetDataModel_->FuncDataArr.get(), presetDataModel_->ExpDataArr.get());
  sendThreeWords(host::kExpVolume, words);
}

void HIDServiceViewMode::sendSystem(dev::SystemSetting which) {
  Locked locked(*this);
  const HIDServiceSystemModel& system = *systemDataModel_;
  switch (which) {
    case dev::SystemSetting::InputLevel:
      send(host::kInputLevel, {dev::lowByte(system.inputLevel.get().value_or(0)), 0x00});
      break;
    case dev::SystemSetting::ScreenLevel:
      send(host::kScreenLevel, {dev::lowByte(system.screenLevel.get().value_or(0)), 0x00});
      break;
    case dev::SystemSetting::OutCab: {
      const uint8_t left = dev::lowByte(system.leftOutCab.get().value_or(0));
      const uint8_t right = dev::lowByte(system.rightOutCab.get().value_or(0));
      systemDataModel_->setOutCabStatus(HIDServiceSystemModel::outCabStatusText(left, right));
      send(host::kOutCab, {left, 0x00, right, 0x00});
      break;
    }
    case dev::SystemSetting::OtgLevel:
      send(host::kOtgLevel, {dev::lowByte(system.OtgOutLevel.get().value_or(0)), 0x00});
      break;
    default:
      break;
  }
}

void HIDServiceViewMode::sendRhythm() {
  Locked locked(*this);
  const HIDServiceSystemModel& system = *systemDataModel_;
  const int bpm = HIDServiceSystemModel::rhythmNumber(system.rhythm_bpm.get());
  const int volume = HIDServiceSystemModel::rhythmNumber(system.rhythm_vol.get());
  send(host::kRhythm, {dev::lowByte(system.rhythm_switch.get().value_or(0)),
                       dev::lowByte(system.rhythm_mode.get().value_or(0)),
                       dev::lowByte(system.rhythm_style.get().value_or(0)), dev::lowByte(volume), dev::lowByte(bpm),
                       dev::lowByte(bpm >> 8)});
}

void HIDServiceViewMode::sendReset() {
  Locked locked(*this);
  send(host::kReset, {0x01});
}
