// The device service: the object, connecting the unit, the start-up read and
// the effect catalogue.
#include "device/service/HIDServiceViewMode.h"

#include <algorithm>

#include "device/records/ModuleTable.h"
#include "device/firmware/libupdate_zarvo.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

namespace {

std::once_flag sharedOnce;
HIDServiceViewModePtr sharedService;

}  // namespace

HIDServiceViewModePtr HIDServiceViewMode::shared() {
  std::call_once(sharedOnce, [] { sharedService = create(Parts{}); });
  return sharedService;
}

HIDServiceViewModePtr HIDServiceViewMode::create(Parts parts) { return fnd::make<HIDServiceViewMode>(std::move(parts)); }

HIDServiceViewMode::HIDServiceViewMode(Parts parts)
    : deviceStatus(this, "deviceStatus"),
      didChangeData(this, "didChangeData", 0),
      awaitingCurrentPreset(this, "awaitingCurrentPreset", false),
      parts_(std::move(parts)),
      zrHID_(parts_.zrHID),
      timing_(parts_.timing),
      presetAllData_(fnd::make<HIDServiceModuleMode>()),
      presetDataModel_(fnd::make<HIDServiceModel>()),
      systemDataModel_(fnd::make<HIDServiceSystemModel>()),
      catalogue_(std::make_shared<EffectCatalogue>()) {}

HIDServiceViewMode::~HIDServiceViewMode() = default;

// --- accessors ---

std::vector<HIDServiceModuleModePtr> HIDServiceViewMode::allPresetDataArr2() const {
  std::lock_guard guard(mutex_);
  return {cache_.begin(), cache_.end()};
}

HIDServiceModuleModePtr HIDServiceViewMode::cachedPreset(int n) const {
  if (n < 1 || n > dev::kPresetCount) return nullptr;
  std::lock_guard guard(mutex_);
  return cache_[static_cast<size_t>(n - 1)];
}

EffectCataloguePtr HIDServiceViewMode::effectCatalogue() const { return lockedCopy(catalogue_); }

nlohmann::json HIDServiceViewMode::presetInfoDic() const { return effectCatalogue()->presetInfoDic(); }

std::vector<int> HIDServiceViewMode::missPack() const { return lockedCopy(missPack_); }

std::shared_ptr<libupdate_zarvo> HIDServiceViewMode::zrHID() const { return lockedCopy(zrHID_); }

HIDServiceViewMode::Timing HIDServiceViewMode::timing() const { return lockedCopy(timing_); }

void HIDServiceViewMode::setTiming(const Timing& timing) { lockedAssign(timing_, timing); }

void HIDServiceViewMode::setProgressBlock(ProgressBlock block) { lockedAssign(progressBlock_, std::move(block)); }

void HIDServiceViewMode::setImportBlock(ImportBlock block) {
  std::lock_guard guard(mutex_);
  importBlock_ = std::move(block);
  importBlockSet_ = true;
}

size_t HIDServiceViewMode::pendingPresetWrites() const {
  std::lock_guard guard(mutex_);
  return pendingWrites_.size();
}

void HIDServiceViewMode::setDisconnectionBlock(DisconnectionBlock block) { lockedAssign(disconnectionBlock_, std::move(block)); }

void HIDServiceViewMode::setRevicedIRNR(IRNRBlock block) { lockedAssign(revicedIRNR_, std::move(block)); }

void HIDServiceViewMode::revicedModuleData(ModuleDataBlock block) { lockedAssign(moduleDataBlock_, std::move(block)); }

void HIDServiceViewMode::setDisHIDBlock(DisHIDBlock block) { lockedAssign(disHIDBlock_, std::move(block)); }

HIDServiceViewMode::DisHIDBlock HIDServiceViewMode::disHIDBlock() const { return lockedCopy(disHIDBlock_); }

HIDServiceViewMode::ProgressBlock HIDServiceViewMode::progressBlock() const { return lockedCopy(progressBlock_); }

HIDServiceViewMode::ImportBlock HIDServiceViewMode::importBlock() const { return lockedCopy(importBlock_); }

HIDServiceViewMode::DisconnectionBlock HIDServiceViewMode::disconnectionBlock() const { return lockedCopy(disconnectionBlock_); }

// --- module table ---

std::string HIDServiceViewMode::moduleName(int index) { return ModuleTable::moduleName(index); }

int HIDServiceViewMode::moduleIndex(const std::string& name) { return ModuleTable::moduleIndex(name); }

std::array<int, 2> HIDServiceViewMode::moduleDataLength(int page) { return ModuleTable::moduleDataLength(page); }

HIDServiceModelPtr HIDServiceViewMode::loadModuleDataWithName(const std::string& key) {
  Locked locked(*this);
  const HIDServiceModuleMode::ModuleDictionary modules = presetAllData_->presetDataDic.get();
  auto it = modules.find(key);
  HIDServiceModelPtr record = it == modules.end() ? nullptr : it->second;
  if (ModuleDataBlock block = moduleDataBlock_) afterUnlock([block, record] { block(record); });
  return record;
}

// --- helpers ---

std::shared_ptr<PopUpService> HIDServiceViewMode::popUps() const {
  return parts_.popUps ? parts_.popUps : PopUpService::shared();
}

void HIDServiceViewMode::afterUnlock(std::function<void()> fn) { fnd::DeferNotifications::deliver(std::move(fn)); }

void HIDServiceViewMode::postReloadPresetName() {
  afterUnlock([] { fnd::NotificationCenter::defaultCenter().post(kReloadPresetName); });
}

void HIDServiceViewMode::send(uint8_t cmd, std::span<const uint8_t> payload) {
  const auto datalen = static_cast<uint16_t>(payload.size() + 1);
  if (parts_.sink) {
    parts_.sink(cmd, payload.data(), datalen);
    return;
  }
  std::shared_ptr<libupdate_zarvo> hid = zrHID();
  if (!hid) {
    FND_LOG_AT("HIDServiceViewMode", "no unit connected: command 0x%02X not sent", cmd);
    return;
  }
  hid->sendCMD(cmd, payload.data(), datalen);
}

void HIDServiceViewMode::send(uint8_t cmd, std::initializer_list<uint8_t> payload) {
  send(cmd, std::span<const uint8_t>(payload.begin(), payload.size()));
}

// --- connection ---

void HIDServiceViewMode::init() {
  {
    Locked locked(*this);
    if (initialised_) {
      FND_LOG_AT("HIDServiceViewMode", "init sent twice; the service is initialised once");
      return;
    }
    initialised_ = true;
    oldIndex_ = 0;
    missPack_.clear();
    didChangeData.set(0);
  }
  connectDevice();
}

void HIDServiceViewMode::connectDevice() {
  std::shared_ptr<libupdate_zarvo> hid;
  {
    std::lock_guard guard(mutex_);
    if (!zrHID_) zrHID_ = libupdate_zarvo::getInstance();
    hid = zrHID_;
  }
  hid->setPid(kProductId, kVendorId, kVersionNumber);
  hid->setDeviceName(kDeviceName, kDeviceVersion);
  hid->setHidDelegate(std::static_pointer_cast<HIDServiceViewMode>(shared_from_this()));

  // The identify frame: length 1, command 0x00 (the transport adds the CRC).
  uint8_t request[11] = {0xAA, 0x55, 0x01, 0x00, 0x00};
  // Waits for the unit's answer: no lock is held here.
  const int result = hid->connectDeviceWithCMD(request, sizeof request);
  char status = 'D';
  if (result == 1) {
    hid->runApp([&] { status = 'A'; }, [&] { status = 'B'; }, [&] { status = 'L'; },
                [&] {
                  // A mode character this program does not know: treated like
                  // no unit, so the start-up does not wait for ever.
                  FND_LOG_AT("HIDServiceViewMode", "the unit identified in an unknown mode");
                  status = 'D';
                });
  } else if (result == 0) {
    status = 'L';
  }
  FND_LOG_AT("HIDServiceViewMode", "device status %c", status);
  deviceStatus.set(std::string(1, status));
}

// The unit is gone (HID thread), or the start-up read gave up on it. What
// waits for the unit ends now: a running transfer with kTransferFailed, and
// preset writes are no longer waited for. The disconnection block runs once.
void HIDServiceViewMode::disconnectDevice() {
  {
    Locked locked(*this);
    pendingWrites_.clear();
    if (transferCmd_ != 0) {
      FND_LOG_AT("HIDServiceViewMode", "the unit left during an %s transfer",
                 transferCmd_ == dev::host_cmd::kIRTransfer ? "IR" : "NR");
      finishTransfer(kTransferFailed);
    }
  }
  if (disconnected_.exchange(true)) return;
  if (DisconnectionBlock block = disconnectionBlock()) block();
}

// --- start-up read ---

void HIDServiceViewMode::loadXML() {
  EffectCataloguePtr catalogue;
  std::string error;
  catalogue = parts_.loadCatalogue ? parts_.loadCatalogue() : EffectCatalogue::load(&error);
  if (!catalogue) {
    FND_LOG_AT("HIDServiceViewMode", "the effect catalogue could not be read (%s); it stays empty", error.c_str());
    catalogue = std::make_shared<EffectCatalogue>();
  }
  std::lock_guard guard(mutex_);
  catalogue_ = std::move(catalogue);
}

void HIDServiceViewMode::getAllData(ProgressBlock block) {
  setProgressBlock(std::move(block));
  lastProgress_.store(0);  // a read asked for anew reports its progress anew
  loadXML();  // file reading, outside the lock
  Locked locked(*this);
  send(dev::host_cmd::kChangePage, {static_cast<uint8_t>(dev::page::kHome), 0x00});
  send(dev::host_cmd::kSendAllData, {0x00});
}

void HIDServiceViewMode::startBulkRead(ProgressBlock block) {
  getAllData(block);
  scheduleBulkReadRetry(std::move(block), {bulkFrames_.load(), bulkProgress_.load(), 0});
}

// The read is asked for again when a whole interval has passed without a
// frame of it: at the start (no answer yet), and also when the unit's frames
// stop before the end (a lost system record or re-sent record would otherwise
// leave the read waiting for ever). Records are filed by number, so a repeated
// stream only fills what is missing. A unit that gives nothing new for
// kBulkReadRetries requests in a row is given up: the read ends as if the
// unit had left, so the start-up never waits for ever.
void HIDServiceViewMode::scheduleBulkReadRetry(ProgressBlock block, BulkReadWatch watch) {
  std::weak_ptr<HIDServiceViewMode> weak = std::static_pointer_cast<HIDServiceViewMode>(shared_from_this());
  dispatch::Queue::main()->after(timing().bulkReadRetry, [weak, block = std::move(block), watch] {
    auto self = weak.lock();
    if (!self || self->lastProgress_.load() == kProgressDone) return;
    BulkReadWatch next{self->bulkFrames_.load(), self->bulkProgress_.load(), watch.fruitless};
    if (next.progress != watch.progress) next.fruitless = 0;
    if (next.frames == watch.frames) {
      if (next.fruitless >= kBulkReadRetries) {
        FND_LOG_AT("HIDServiceViewMode", "the start-up read made no progress in %d requests: the unit is given up",
                   kBulkReadRetries);
        self->disconnectDevice();
        return;
      }
      FND_LOG_AT("HIDServiceViewMode", "%s",
                 next.frames == 0 ? "no preset record yet: asking for all data again"
                                  : "the unit stopped before the end of the read: asking again");
      self->getAllData(block);
      ++next.fruitless;
    }
    self->scheduleBulkReadRetry(block, next);
  });
}

void HIDServiceViewMode::reportProgress(int value) {
  lastProgress_.store(value);
  if (ProgressBlock block = progressBlock_) afterUnlock([block, value] { block(value); });
}
