#include "device/backup/SettingViewModel.h"

#include "device/backup/SettingViewModel+State.h"
#include "device/firmware/libupdate_zarvo.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Parts.h"

void svm::showTip(std::shared_ptr<PopUpService> service, const char* tip, bool failure) {
  dispatch::Queue::main()->async([service = std::move(service), tip, failure] {
    std::shared_ptr<PopUpService> s = service ? service : PopUpService::shared();
    if (failure)
      s->showFailWithTip(tip, nullptr);
    else
      s->showSuccessWithTip(tip);
  });
}

const std::array<uint8_t, SettingViewModel::kBackupVersionLength> SettingViewModel::kBackupVersion = {
    'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0, 'V', '1', '.', '0', '.', '0', 0};

SettingViewModel::SettingViewModel() : SettingViewModel(Parts{}) {}

SettingViewModel::SettingViewModel(Parts parts)
    : hid_(fnd::partOr(parts.hid, HIDServiceViewMode::shared)),
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
    FND_LOG_AT(svm::kClass, "the backup or restore did not stop within %lld ms",
               static_cast<long long>(timing_.quit.count()));
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
    FND_LOG_AT(svm::kClass, "no unit: command 0x%02X not sent", cmd);
    return;
  }
  const uint8_t payload[1] = {0x00};
  unit->sendCMD(cmd, payload, 2);
}
