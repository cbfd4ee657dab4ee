// The device service's frame decoder: every frame the unit sends in
// application mode, on the HID thread. Each frame's payload is checked against
// its code's layout (length, preset number) before use; a frame that does not
// fit is dropped with a log line.
#include <algorithm>
#include <utility>

#include "device/codec/FrameCodec.h"
#include "device/service/HIDServiceViewMode.h"
#include "device/records/ModuleTable.h"
#include "device/records/PresetRecord.h"
#include "platform/foundation/Log.h"

namespace cmd = dev::unit_cmd;

namespace {

constexpr size_t kLoggedFrameBytes = 22;

std::string hexPrefix(std::span<const uint8_t> bytes) {
  std::string out;
  const size_t n = std::min(bytes.size(), kLoggedFrameBytes);
  for (size_t i = 0; i < n; ++i) out += fnd::format(i ? " %02X" : "%02X", bytes[i]);
  return out;
}

int word(std::span<const uint8_t> payload, size_t index) { return ModuleTable::readWord(&payload[2 * index]); }

bool holdsModuleWords(const HIDServiceModel& record, int module) {
  return record.dataArr.get().size() == static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(module)].words());
}

}  // namespace

void HIDServiceViewMode::callBackData(std::span<const uint8_t> bytes) {
  // AA 55 Llo Lhi cmd payload CRChi CRClo: seven bytes at least.
  if (bytes.size() < frame::kOverhead + 1) {
    FND_LOG_AT("HIDServiceViewMode", "a frame of %zu bytes dropped", bytes.size());
    return;
  }
  FND_LOG_AT("HIDServiceViewMode", "frame %s", hexPrefix(bytes).c_str());
  // Any frame whose first payload byte is below 0x80 closes the open confirm
  // panels, whatever its code (the work itself moves to the main queue).
  if (bytes[5] < dev::kPopUpCloseLimit) popUps()->AOEHideAllView();

  const size_t length = frame::lengthField(bytes);
  if (length == 0 || bytes.size() != length + frame::kOverhead) {
    FND_LOG_AT("HIDServiceViewMode", "a frame whose length field (%zu) does not match its %zu bytes dropped", length,
               bytes.size());
    return;
  }
  const uint8_t code = bytes[4];
  const std::span<const uint8_t> payload = bytes.subspan(5, length - 1);

  if (code == cmd::kPresetRecord || code == cmd::kMissingRecord || code == cmd::kSystem || code == cmd::kSlotNames ||
      code == cmd::kCurrentPreset)
    bulkFrames_.fetch_add(1);

  Locked locked(*this);
  if (code >= cmd::kModuleWordsFirst && code <= cmd::kModuleWordsLast) {
    decodeModuleWords(code - cmd::kModuleWordsFirst, payload);
    return;
  }
  switch (code) {
    case cmd::kRhythm:
      decodeRhythm(payload);
      break;
    case cmd::kPresetChanged:
      if (checkPayload(code, payload, 1)) decodePresetChanged(payload[0]);
      break;
    case cmd::kPresetSaved:
      decodePresetSaved(payload);
      break;
    case cmd::kExpFunction:
    case cmd::kExpVolume:
      decodeExpWords(code, payload);
      break;
    case cmd::kPresetRecord:
    case cmd::kMissingRecord:
      decodePresetRecord(code, payload);
      break;
    case cmd::kInputLevel:
      if (checkPayload(code, payload, 2)) systemDataModel_->setInputLevel(word(payload, 0));
      break;
    case cmd::kScreenLevel:
      if (checkPayload(code, payload, 2)) systemDataModel_->setScreenLevel(word(payload, 0));
      break;
    case cmd::kOutCab:
      if (checkPayload(code, payload, 4)) decodeOutCab(word(payload, 0), word(payload, 1));
      break;
    case cmd::kOtgLevel:
      if (checkPayload(code, payload, 2)) systemDataModel_->setOtgOutLevel(word(payload, 0));
      break;
    case cmd::kCurrentPreset:
      getNowModuleData(payload);
      break;
    case cmd::kSystem:
      decodeSystem(payload);
      break;
    case cmd::kPage:
      if (checkPayload(code, payload, 1)) decodePage(payload[0]);
      break;
    case cmd::kSlotNames:
      decodeSlotNames(payload);
      break;
    case cmd::kPresetWritten:
      presetWritten(payload);
      break;
    case cmd::kIRExport:
    case cmd::kNRExport:
      if (!checkPayload(code, payload, 2)) break;
      if (IRNRBlock block = revicedIRNR_) {
        // The frame's bytes are gone once this call returns; the callback
        // gets its own copy.
        afterUnlock([block, bytes = std::vector<uint8_t>(payload.begin(), payload.end())] { block(bytes); });
      }
      break;
    case cmd::kIRAck:
    case cmd::kNRAck:
      if (checkPayload(code, payload, 1)) transferAcknowledged(code, payload);
      break;
    default:
      break;  // not for this program
  }
}

bool HIDServiceViewMode::checkPayload(uint8_t code, std::span<const uint8_t> payload, size_t minimum) const {
  if (payload.size() >= minimum) return true;
  FND_LOG_AT("HIDServiceViewMode", "frame 0x%02X dropped: %zu payload bytes, %zu needed", code, payload.size(),
             minimum);
  return false;
}

int HIDServiceViewMode::selectedModuleIndex() const {
  const int index = presetAllData_->selectedModule.get().value_or(0);
  return index >= 0 && index < dev::kModuleCount ? index : 0;
}

void HIDServiceViewMode::setEditedModule(const HIDServiceModel& source, bool allWords) {
  presetDataModel_->setDataArr(source.dataArr.get());
  if (!allWords) return;
  presetDataModel_->setFuncDataArr(source.FuncDataArr.get());
  presetDataModel_->setExpDataArr(source.ExpDataArr.get());
}

void HIDServiceViewMode::storeInCache(int n, const HIDServiceModuleMode& preset) {
  if (!dev::isPresetNumber(n)) return;
  cache_[static_cast<size_t>(n - 1)] = preset.copy();
}

bool HIDServiceViewMode::loadPresetFromCache(int n, bool setNumber) {
  if (!dev::isPresetNumber(n)) return false;
  const HIDServiceModuleModePtr cached = cache_[static_cast<size_t>(n - 1)];
  if (!cached) return false;
  const int k = selectedModuleIndex();
  // A copy: edits of the current preset never reach the cache.
  const HIDServiceModuleModePtr loaded = cached->copy();
  presetAllData_->setPresetDataDic(loaded->presetDataDic.get());
  if (setNumber) presetAllData_->setSelectedPreset(n);
  presetAllData_->setPresetName(loaded->presetName.get());
  if (HIDServiceModelPtr module = loaded->module(k)) setEditedModule(*module, true);
  return true;
}

// 0x02 to 0x0A: one module's words, changed on the unit's panel.
void HIDServiceViewMode::decodeModuleWords(int module, std::span<const uint8_t> payload) {
  const ModuleInfo& info = ModuleTable::modules[static_cast<size_t>(module)];
  if (!checkPayload(static_cast<uint8_t>(cmd::kModuleWordsFirst + module), payload, static_cast<size_t>(info.length)))
    return;
  didChangeData.set(1);
  const std::vector<int> words = PresetRecord::readWords(payload, static_cast<size_t>(info.words()));
  HIDServiceModelPtr stored = presetAllData_->module(module);
  HIDServiceModelPtr updated = stored ? stored->copy() : fnd::make<HIDServiceModel>();
  updated->setDataArr(words);
  presetAllData_->setModule(module, updated);
  if (presetAllData_->selectedModule.get() == module) presetDataModel_->setDataArr(words);
}

// 0x0C: [switch, mode, style, volume, bpm word].
void HIDServiceViewMode::decodeRhythm(std::span<const uint8_t> payload) {
  if (!checkPayload(cmd::kRhythm, payload, dev::kRhythmPayloadSize)) return;
  systemDataModel_->setRhythm_switch(payload[0]);
  systemDataModel_->setRhythm_mode(payload[1]);
  systemDataModel_->setRhythm_style(payload[2]);
  systemDataModel_->setRhythm_vol(HIDServiceSystemModel::rhythmVolText(payload[3]));
  systemDataModel_->setRhythm_bpm(HIDServiceSystemModel::rhythmBpmText(ModuleTable::readWord(&payload[4])));
}

// 0x16: the unit changed to preset n. The modified flag stays as it is.
void HIDServiceViewMode::decodePresetChanged(int n) {
  if (!dev::isPresetNumber(n) || !loadPresetFromCache(n, true))
    FND_LOG_AT("HIDServiceViewMode", "preset change to %d dropped: no such preset in the cache", n);
}

// 0x17: [n, name 14 bytes]: the unit saved its edit buffer as preset n.
void HIDServiceViewMode::decodePresetSaved(std::span<const uint8_t> payload) {
  if (!checkPayload(cmd::kPresetSaved, payload, dev::kPresetSavedPayloadSize)) return;
  const int n = payload[0];
  if (!dev::isPresetNumber(n)) {
    FND_LOG_AT("HIDServiceViewMode", "saved preset %d dropped: no such preset", n);
    return;
  }
  didChangeData.set(0);
  // Before the unit has sent its current preset the edit buffer holds none of
  // it, so what was saved is unknown but for its name: the cached record is
  // kept under the new name rather than replaced by an empty one.
  if (!presetAllData_->selectedPreset.get()) {
    FND_LOG_AT("HIDServiceViewMode", "preset %d saved before the current preset is known: only its name is kept", n);
    if (const HIDServiceModuleModePtr cached = cache_[static_cast<size_t>(n - 1)]) {
      const HIDServiceModuleModePtr renamed = cached->copy();
      renamed->setPresetName(PresetRecord::decodeName(payload.subspan(1, dev::kPresetNameSize)));
      cache_[static_cast<size_t>(n - 1)] = renamed;
    }
    postReloadPresetName();
    return;
  }
  // The edit buffer, with the module being edited, is what was saved.
  presetAllData_->storeModule(selectedModuleIndex(), *presetDataModel_);
  const HIDServiceModuleModePtr saved = presetAllData_->copy();
  saved->setPresetName(PresetRecord::decodeName(payload.subspan(1, dev::kPresetNameSize)));
  cache_[static_cast<size_t>(n - 1)] = saved;
  if (presetAllData_->selectedPreset.get() == n) {
    presetAllData_->setPresetName(saved->presetName.get());
    presetAllData_->setPresetDataDic(saved->copy()->presetDataDic.get());
  }
  postReloadPresetName();
}

// 0x18 [module, parameter, on] and 0x33 [on, minimum, maximum].
void HIDServiceViewMode::decodeExpWords(uint8_t code, std::span<const uint8_t> payload) {
  if (!checkPayload(code, payload, dev::kExpWordsPayloadSize)) return;
  const std::vector<int> words = PresetRecord::readWords(payload, dev::kExpWordCount);
  if (code == cmd::kExpFunction)
    presetDataModel_->setFuncDataArr(words);
  else
    presetDataModel_->setExpDataArr(words);
  // One set of EXP words per preset: every module record of the current
  // preset follows, so whichever one a writer reads is current.
  presetAllData_->setExpWords(presetDataModel_->FuncDataArr.get(), presetDataModel_->ExpDataArr.get());
  didChangeData.set(1);
}

// 0x20 (start-up read) and 0x21 (a record asked for again).
void HIDServiceViewMode::decodePresetRecord(uint8_t code, std::span<const uint8_t> payload) {
  if (!checkPayload(code, payload, dev::preset_record::kSize)) return;
  const int n = payload[dev::preset_record::kNumber];
  if (!dev::isPresetNumber(n)) {
    FND_LOG_AT("HIDServiceViewMode", "preset record %d dropped: no such preset", n);
    return;
  }
  const bool wasMissing = std::find(missPack_.begin(), missPack_.end(), n) != missPack_.end();
  if (code == cmd::kMissingRecord && !wasMissing) {
    // Not one the start-up read asked for: a preset whose write was lost.
    if (!cache_[static_cast<size_t>(n - 1)]) bulkProgress_.fetch_add(1);
    presetReadAgain(n, PresetRecord::decode(payload.first(dev::preset_record::kSize)));
    return;
  }
  getPresetDataWithIndex(n, payload.first(dev::preset_record::kSize));
  if (code == cmd::kMissingRecord) requestMissingOrFinish();
}

// Files preset record n by its number (never by arrival order, so a repeated
// or reordered stream cannot shift the cache) and keeps the bulk read's books.
void HIDServiceViewMode::getPresetDataWithIndex(int n, std::span<const uint8_t> record) {
  if (oldIndex_ >= 0) {
    for (int64_t skipped = oldIndex_ + 1; skipped < n; ++skipped)
      if (std::find(missPack_.begin(), missPack_.end(), skipped) == missPack_.end())
        missPack_.push_back(static_cast<int>(skipped));
  }
  if (!cache_[static_cast<size_t>(n - 1)]) bulkProgress_.fetch_add(1);
  cache_[static_cast<size_t>(n - 1)] = PresetRecord::decode(record);
  missPack_.erase(std::remove(missPack_.begin(), missPack_.end(), n), missPack_.end());
  if (oldIndex_ != -1) {
    oldIndex_ = n;
    // A stream the unit sends again after the read has ended (its answer to
    // a re-request that crossed the end) is stored, but does not start the
    // user's progress over.
    if (lastProgress_.load() != kProgressDone) reportProgress(n);
  }
  const auto filled = std::count_if(cache_.begin(), cache_.end(), [](const auto& p) { return p != nullptr; });
  FND_LOG_AT("HIDServiceViewMode", "preset record %d stored (%ld of %d)", n, static_cast<long>(filled),
             dev::kPresetCount);
}

// 0x32: the system levels, which end the preset records of the start-up read.
void HIDServiceViewMode::decodeSystem(std::span<const uint8_t> payload) {
  if (!checkPayload(cmd::kSystem, payload, dev::kSystemPayloadSize)) return;
  systemDataModel_->setInputLevel(word(payload, 0));
  systemDataModel_->setScreenLevel(word(payload, 1));
  decodeOutCab(word(payload, 2), word(payload, 3));
  systemDataModel_->setOtgOutLevel(word(payload, 4));
  if (!std::exchange(systemSeen_, true)) bulkProgress_.fetch_add(1);
  // Every preset not held yet is missing: gaps in the middle and at the tail
  // alike.
  missPack_.clear();
  for (int n = 1; n <= dev::kPresetCount; ++n)
    if (!cache_[static_cast<size_t>(n - 1)]) missPack_.push_back(n);
  if (!missPack_.empty()) oldIndex_ = -1;
  requestMissingOrFinish();
}

void HIDServiceViewMode::requestMissingOrFinish() {
  if (missPack_.empty())
    send(dev::host_cmd::kPresetsComplete, {0x00});
  else
    send(dev::host_cmd::kRequestRecord, {static_cast<uint8_t>(missPack_.front())});
}

void HIDServiceViewMode::decodeOutCab(int left, int right) {
  systemDataModel_->setLeftOutCab(left);
  systemDataModel_->setRightOutCab(right);
  systemDataModel_->setOutCabStatus(HIDServiceSystemModel::outCabStatusText(left, right));
}

// 0x30: the current preset; the end of the start-up read, and again whenever
// the unit sends it.
void HIDServiceViewMode::getNowModuleData(std::span<const uint8_t> payload) {
  if (!checkPayload(cmd::kCurrentPreset, payload, dev::current_preset::kSize)) return;
  std::optional<CurrentPresetPayload> current = CurrentPresetPayload::decode(payload);
  if (!current || !dev::isPresetNumber(current->presetNumber)) {
    FND_LOG_AT("HIDServiceViewMode", "current preset %d dropped: no such preset", current ? current->presetNumber : 0);
    return;
  }
  const int n = current->presetNumber;
  const int page = current->page;
  const int selected = page >= dev::kFirstModulePage && page <= dev::kLastModulePage ? page - dev::kFirstModulePage : 0;
  presetAllData_->setSelectedModule(selected);
  // The edited module keeps its object: its fields take the unit's words.
  if (HIDServiceModelPtr module = current->modules[HIDServiceModuleMode::moduleKey(selected)])
    setEditedModule(*module, true);
  const HIDServiceModuleModePtr cached = cache_[static_cast<size_t>(n - 1)];
  if (!cached) FND_LOG_AT("HIDServiceViewMode", "current preset %d is not in the cache: its name is unknown", n);
  presetAllData_->setPresetName(cached ? cached->presetName.get() : std::string());
  presetAllData_->setSelectedPreset(n);
  presetAllData_->setPresetDataDic(std::move(current->modules));
  reportProgress(kProgressDone);
  didChangeData.set(0);
  send(dev::host_cmd::kCurrentPresetAck, {0x00});
}

// 0x34: the unit's page; a module page also selects that module.
void HIDServiceViewMode::decodePage(int page) {
  presetAllData_->setNowPageNumber(page);
  if (page < dev::kFirstModulePage || page > dev::kLastModulePage) return;
  // The edit buffer goes back into its module, unless it holds nothing yet
  // (pages turned before the unit sent its current preset).
  if (presetAllData_->selectedModule.get() && holdsModuleWords(*presetDataModel_, selectedModuleIndex()))
    presetAllData_->storeModule(selectedModuleIndex(), *presetDataModel_);
  const int module = page - dev::kFirstModulePage;
  presetAllData_->setSelectedModule(module);
  if (HIDServiceModelPtr record = presetAllData_->module(module)) presetDataModel_->setDataArr(record->dataArr.get());
}

// 0x41: ten NR names, then ten IR names, 16 bytes each: the user-slot labels.
void HIDServiceViewMode::decodeSlotNames(std::span<const uint8_t> payload) {
  if (!checkPayload(cmd::kSlotNames, payload, dev::kSlotNamesPayloadSize)) return;
  if (!std::exchange(slotNamesSeen_, true)) bulkProgress_.fetch_add(1);
  auto name = [&](size_t offset) {
    auto bytes = payload.subspan(offset, dev::kSlotNameSize);
    return std::string(bytes.begin(), bytes.end());
  };
  for (int i = 0; i < dev::kUserSlotCount; ++i) {
    const auto slot = static_cast<size_t>(i);
    catalogue_->setUserSlotLabel(EffectCatalogue::UserSlot::NR, i, name(dev::kSlotNameSize * slot));
    catalogue_->setUserSlotLabel(EffectCatalogue::UserSlot::IR, i, name(dev::kIRNamesOffset + dev::kSlotNameSize * slot));
  }
  send(dev::host_cmd::kSlotNamesAck, {0x00});
}
