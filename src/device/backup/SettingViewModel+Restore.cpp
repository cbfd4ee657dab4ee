// SettingViewModel's restore: every section of a backup file back into the
// unit, each record waiting for the unit's confirmation; and the system
// screen's side of it.
#include <algorithm>
#include <cstring>
#include <string>

#include "device/backup/SettingViewModel+State.h"
#include "device/records/DeviceConstants.h"
#include "device/records/ModuleTable.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"

namespace {

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

}  // namespace

bool SettingViewModel::recallBackUp(const std::string& path) {
  {
    std::lock_guard guard(state_->mutex);
    if (state_->backingUp || state_->restoring) {
      FND_LOG_AT(svm::kClass, "restore from %s refused: a backup or restore is running", path.c_str());
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
    // The reader has logged why.
    FND_LOG_AT(svm::kClass, "restore: nothing of %s is sent", path.c_str());
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
      FND_LOG_AT(svm::kClass, "restore: section \"%s\" skipped", name.c_str());
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
    FND_LOG_AT(svm::kClass, "restore: preset records of %u bytes skipped", head.dataLength);
    return true;
  }
  for (uint32_t k = 0; k < head.dataNumber; ++k) {
    if (cancelled() || !file.getData(section, static_cast<int>(k))) return false;
    const Zr_Backup::TypeData& record = file.typeData();
    const int index = record.index;
    if (index < 0 || index >= dev::kPresetCount) {
      FND_LOG_AT(svm::kClass, "restore: preset record for slot %d skipped", index);
      continue;
    }
    const uint8_t* bytes = record.dataStart.data();
    auto preset = fnd::make<HIDServiceModuleMode>();
    preset->setPresetName(fieldText(bytes + svm::kPresetName, kSlotNameSize));
    const std::span<const uint8_t> block(bytes + svm::kPresetBlock, dev::kModuleBlockSize);
    const std::vector<int> function = readWords(bytes + svm::kPresetExpFunction, dev::kExpWordCount);
    const std::vector<int> volume = readWords(bytes + svm::kPresetExpVolume, dev::kExpWordCount);
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
      FND_LOG_AT(svm::kClass, "restore: preset %d not confirmed", index + 1);
      svm::showTip(popUps_, kRestoreFailedTip, true);
      return false;
    }
    fnd::log("一个preset完成%ld", result);
  }
  return true;
}

bool SettingViewModel::restoreSlots(Zr_Backup& file, int section, bool ir) {
  const Zr_Backup::SubHeadData head = file.subHeadData();
  if (head.dataLength < static_cast<uint32_t>(kIRRecordSize)) {
    FND_LOG_AT(svm::kClass, "restore: %s records of %u bytes skipped", ir ? "IR" : "NR", head.dataLength);
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
      FND_LOG_AT(svm::kClass, "restore: %s record for slot %d skipped", ir ? "IR" : "NR", slot);
      continue;
    }
    auto para = std::make_unique<HIDServiceViewMode::ImportFile_Para>();
    // Both kinds go back byte for byte as the unit exported them.
    para->firstPara = {static_cast<uint8_t>(slot), 1, 1, 1};
    std::copy_n(record.dataStart.begin(), kSlotNameSize, para->name.begin());
    std::memcpy(para->data.data(), record.dataStart.data() + kSlotNameSize, dataBytes);
    if (!hid_->setImportStruct(*para)) return false;
    hid_->sendFileToDevice(ir ? dev::TransferKind::ResendIR : dev::TransferKind::ResendNR, "", -1, ackBlock());
    const long result = waitForAck(timing_.recordAck);
    if (result == 0) {
      if (!cancelled()) fnd::log(ir ? "IR超时" : "NR超时");
      return false;
    }
    if (result != HIDServiceViewMode::kTransferDone) {
      FND_LOG_AT(svm::kClass, "restore: %s slot %d not written (%ld)", ir ? "IR" : "NR", slot, result);
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
    FND_LOG_AT(svm::kClass, "restore: system section skipped");
    return;
  }
  const std::vector<int> w = readWords(file.typeData().dataStart.data(), 5);
  const HIDServiceSystemModelPtr system = hid_->systemDataModel();
  system->setInputLevel(w[0]);
  system->setScreenLevel(w[1]);
  system->setLeftOutCab(w[2]);
  system->setRightOutCab(w[3]);
  system->setOtgOutLevel(w[4]);
  using dev::SystemSetting;
  for (SystemSetting which :
       {SystemSetting::InputLevel, SystemSetting::ScreenLevel, SystemSetting::OutCab, SystemSetting::OtgLevel})
    hid_->sendSystem(which);
}

void SettingViewModel::restoreRhythm(Zr_Backup& file, int section) {
  const Zr_Backup::SubHeadData head = file.subHeadData();
  if (head.dataLength < static_cast<uint32_t>(kRhythmRecordSize) || head.dataNumber < 1 || !file.getData(section, 0)) {
    FND_LOG_AT(svm::kClass, "restore: rhythm section skipped");
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
