// The device service: one process-wide object that connects the unit, reads
// all of it at start, turns every frame the unit sends into changes of the
// records, and sends every command the screens issue.
//
//   HIDServiceViewMode.cpp            connection, start-up read, catalogue
//   HIDServiceViewMode+Decoder.cpp    callBackData: the unit's frames
//   HIDServiceViewMode+Commands.cpp   the send methods
//
// Records. presetAllData (the current preset), presetDataModel (the module
// being edited) and systemDataModel are stable objects for the life of the
// service: the unit's reports assign their fields, so observers keep
// following the unit. The preset cache holds one record per preset number;
// its entries are replaced, never changed in place, and a copy is taken before
// anything of a cached preset reaches the current records.
//
// Threads. Frames are decoded on the HID thread; commands run on their
// caller's thread (the main thread, or a backup or restore queue). One
// recursive lock is held around each frame's decoding and each command, so
// compound updates never interleave. Key-value notifications, the
// "reloadPresetName" notification and the callbacks raised under that lock
// are delivered on the same thread once it has released the lock, in the
// order they were raised: no observer runs under the lock, and observers may
// call the service. Nothing here waits for the unit while holding the lock.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/catalogue/EffectCatalogue.h"
#include "device/records/BaseViewModel.h"
#include "device/records/DeviceConstants.h"
#include "device/records/HIDServiceModel.h"
#include "device/records/HIDServiceModuleMode.h"
#include "device/records/HIDServiceSystemModel.h"
#include "device/transport/ZarvoHIDDelegate.h"
#include "platform/foundation/PopUpService.h"
#include "platform/foundation/Property.h"

class libupdate_zarvo;

class HIDServiceViewMode : public BaseViewModel, public ZarvoHIDDelegate {
public:
  // What the unit must be and report.
  static constexpr const char* kDeviceName = "VLT";
  static constexpr const char* kDeviceVersion = "V1.0.5";
  static constexpr uint16_t kProductId = 0x5703;
  static constexpr uint16_t kVendorId = 0x0483;
  static constexpr uint16_t kVersionNumber = 200;

  // Posted (no object) when the unit reports a saved preset and after the
  // host saves or renames one.
  static constexpr const char* kReloadPresetName = "reloadPresetName";
  // Progress value of the end of the start-up read (the current preset).
  static constexpr int kProgressDone = 201;
  static constexpr const char* kWrongNameTip = "Wrong file name format! Please check compatibility of file name.";

  struct Timing {
    // The start-up read is requested again this long after a request that no
    // preset record has answered.
    std::chrono::milliseconds bulkReadRetry{2000};
    // A preset write the unit has not confirmed within this is taken as
    // lost: its block gets kPresetWriteLost, and a confirmation coming later
    // is not matched to it.
    std::chrono::milliseconds presetWriteExpiry{3000};
    // After a lost write of the current preset, the unit's answer to the
    // request for that preset's record is waited for this long.
    std::chrono::milliseconds currentPresetAnswer{3000};
  };

  using ProgressBlock = std::function<void(int)>;
  using ImportBlock = std::function<void(long)>;
  using DisconnectionBlock = std::function<void()>;
  // IR / NR export data: the frame's payload (valid during the call).
  using IRNRBlock = std::function<void(std::span<const uint8_t>)>;
  using ModuleDataBlock = std::function<void(const HIDServiceModelPtr&)>;
  // Kept for the screens; the service itself never calls it.
  using DisHIDBlock = std::function<void()>;
  // Where commands go: the updater object's sendCMD (datalen = payload + 1).
  using CommandSink = std::function<void(uint8_t cmd, const uint8_t* data, uint16_t datalen)>;
  using CatalogueLoader = std::function<EffectCataloguePtr()>;

  // What a service is made with; each part left empty gets the program's own.
  struct Parts {
    // The updater; empty: the process-wide one, made when connecting.
    std::shared_ptr<libupdate_zarvo> zrHID;
    // Empty: PopUpService::shared() at each use.
    std::shared_ptr<PopUpService> popUps;
    // Empty: zrHID's sendCMD.
    CommandSink sink;
    // Empty: EffectCatalogue::load() from the resources.
    CatalogueLoader loadCatalogue;
    Timing timing;
  };

  // The process-wide service, made on first use but not initialised: the
  // start-up sends init() once; everything else reaches the service here.
  static std::shared_ptr<HIDServiceViewMode> shared();
  // The same process-wide service.
  static std::shared_ptr<HIDServiceViewMode> getInstance() { return shared(); }
  // A separate service (tests and tools).
  static std::shared_ptr<HIDServiceViewMode> create(Parts parts);

  explicit HIDServiceViewMode(Parts parts);
  ~HIDServiceViewMode() override;

  // --- observable state ---
  // "A" application, "B" boot loader, "L" other firmware version, "D" no unit
  // (also for a unit that identifies in an unknown mode); unset until init.
  fnd::Property<std::optional<std::string>> deviceStatus;
  // 1 while the current preset has edits not saved into the unit, else 0.
  fnd::Property<int> didChangeData;
  // True while the current records may not be what the unit holds: a write
  // of the current preset waits for the unit's confirmation, or, after one
  // was lost, for the unit's answer to the request for that preset's record.
  // Edits made meanwhile would be built on words the unit may no longer hold.
  // Each wait is bounded (Timing).
  fnd::Property<bool> awaitingCurrentPreset;

  // The stable records.
  HIDServiceModuleModePtr presetAllData() const { return presetAllData_; }
  HIDServiceModelPtr presetDataModel() const { return presetDataModel_; }
  HIDServiceSystemModelPtr systemDataModel() const { return systemDataModel_; }
  // The preset cache, index = preset number - 1: 200 entries, null for a
  // preset not received yet. The entries are the cache's own records: take a
  // copy() before changing one.
  std::vector<HIDServiceModuleModePtr> allPresetDataArr2() const;
  // Cached preset n (1 to 200), or null.
  HIDServiceModuleModePtr cachedPreset(int n) const;
  // The effect catalogue (with the user-slot labels written so far) and a
  // copy of its "preset.json" document.
  EffectCataloguePtr effectCatalogue() const;
  nlohmann::json presetInfoDic() const;
  // Numbers of presets skipped in the start-up read and not fetched yet.
  std::vector<int> missPack() const;

  std::shared_ptr<libupdate_zarvo> zrHID() const;
  Timing timing() const;
  void setTiming(const Timing& timing);
  void setDidChangeData(int changed) { didChangeData.set(changed); }

  // --- callbacks (stored copies; called outside the lock) ---
  void setProgressBlock(ProgressBlock block);
  void setImportBlock(ImportBlock block);
  void setDisconnectionBlock(DisconnectionBlock block);
  void setRevicedIRNR(IRNRBlock block);
  void revicedModuleData(ModuleDataBlock block);
  void setDisHIDBlock(DisHIDBlock block);
  DisHIDBlock disHIDBlock() const;
  ProgressBlock progressBlock() const;
  ImportBlock importBlock() const;
  DisconnectionBlock disconnectionBlock() const;

  // --- connection and start-up read ---
  // Once: clears the modified flag and connects the unit (blocks for the
  // identification); deviceStatus is set when it returns.
  void init();
  void connectDevice();
  // Keeps the block as the progress callback, reloads the catalogue and asks
  // the unit for all its data. Progress: n for each preset record n received
  // in sequence, then 201 for each current preset.
  void getAllData(ProgressBlock block);
  // getAllData, and again (on the main queue) whenever Timing::bulkReadRetry
  // passes without a frame of the read before its end: how the start-up runs
  // the read. After kBulkReadRetries such requests in a row that brought
  // nothing new (no new preset record, system record or slot names), the
  // read ends: disconnectDevice() runs, as for a unit that left.
  void startBulkRead(ProgressBlock block);
  static constexpr int kBulkReadRetries = 5;
  // Reloads the effect catalogue from its files.
  void loadXML();
  // The module record of the current preset under "0" to "8" (after calling
  // the module-data block with it), or null.
  HIDServiceModelPtr loadModuleDataWithName(const std::string& key);

  // --- module table ---
  static std::string moduleName(int index);
  static int moduleIndex(const std::string& name);
  static std::array<int, 2> moduleDataLength(int page);

  // --- ZarvoHIDDelegate (the HID thread) ---
  void callBackData(std::span<const uint8_t> frame) override;
  void disconnectDevice() override;

  // --- commands ---
  // The edited module's words, on its module page (sent first when the unit
  // is elsewhere); stores the module in the current preset; modified.
  void sendModuleData();
  // The same for `words`, made the edited module's words in the same step: a
  // frame of the unit decoded meanwhile (an echo of an earlier send, say)
  // cannot take their place in what is sent.
  void sendModuleData(std::vector<int> words);
  // Goes to unit page q unless the unit is on it; a module page also selects
  // that module.
  void sendChangePage(int page);
  // Loads preset n (1 to 200) from the cache and tells the unit, unless it is
  // the current one. The modified flag is left to the caller.
  void sendChangePreset(int n);
  // Reloads the current preset from the cache, sending nothing.
  void updateCurrentPreset();
  // Saves the edit buffer as preset n when n is current, else renames preset
  // n. A name refused by checkPresetName gets the failure tip and nothing
  // else. `type` is not used.
  void sendSave(int n, const std::string& name, int type);
  // Writes `record` into slot `index` (0 to 199) of the unit. When the unit
  // confirms the write (0x43), the preset cache takes the record, the current
  // records are reloaded from it when the slot is the current preset (the
  // edited module with its EXP words), the unit list is told when the name
  // changed, and `result` gets 1; until then they keep what the unit held.
  // Confirmations carry no reliable sequence number: each is matched to the
  // oldest unconfirmed write of the preset number it names, else to the
  // oldest of all. A write not confirmed within Timing::presetWriteExpiry is
  // lost: `result` gets kPresetWriteLost (on a thread of the global queue, or
  // the thread that found it lost), and for the current preset the unit is
  // asked for that preset's record, as it may or may not have taken the
  // write: if it holds the write, the current records show it as on a
  // confirmation, else they stay (edits not saved included).
  // awaitingCurrentPreset stays set until the record came or
  // Timing::currentPresetAnswer passed.
  void sendPresetDataToDevice(const HIDServiceModuleMode& record, int index, ImportBlock result);
  static constexpr long kPresetWriteLost = 0;
  // Preset writes sent and not confirmed yet.
  size_t pendingPresetWrites() const;
  // EXP assignment [module, parameter, on] and EXP volume [on, min, max];
  // modified. Only the low byte of each value goes to the unit.
  void sendFunction(const std::vector<int>& words);
  void sendExpvol(const std::vector<int>& words);
  // One value of the system record to the unit; the output cab sends both
  // sides (and sets outCabStatus). A value outside the enum sends nothing.
  void sendSystem(dev::SystemSetting which);
  void sendRhythm();
  void sendReset();

  std::string className() const override { return "HIDServiceViewMode"; }

private:
  // Holds the service lock; notifications raised meanwhile wait until the
  // lock is released (the deferral is made before the lock and ends after).
  class Locked {
  public:
    explicit Locked(const HIDServiceViewMode& service) : lock_(service.mutex_) {}

  private:
    fnd::DeferNotifications defer_;
    std::unique_lock<std::recursive_mutex> lock_;
  };

  // A copy of a member read under the lock, and a member assigned under it.
  template <class T>
  T lockedCopy(const T& member) const {
    std::lock_guard guard(mutex_);
    return member;
  }
  template <class T, class U>
  void lockedAssign(T& member, U&& value) {
    std::lock_guard guard(mutex_);
    member = std::forward<U>(value);
  }

  // sendModuleData's work, under the lock, for the edited module's words.
  void sendModuleWords(std::vector<int> words);
  // Sending: frames the command through the sink (or the updater).
  void send(uint8_t cmd, std::span<const uint8_t> payload);
  void send(uint8_t cmd, std::initializer_list<uint8_t> payload);
  std::shared_ptr<PopUpService> popUps() const;
  // Runs fn on this thread once the outermost lock is released.
  static void afterUnlock(std::function<void()> fn);
  void postReloadPresetName();
  // What the start-up read had at the last look: frames, progress, and
  // requests made since the progress last grew.
  struct BulkReadWatch {
    uint64_t frames = 0;
    uint64_t progress = 0;
    int fruitless = 0;
  };
  void scheduleBulkReadRetry(ProgressBlock block, BulkReadWatch watch);

  // Decoder parts (HID thread, under the lock).
  bool checkPayload(uint8_t cmd, std::span<const uint8_t> payload, size_t minimum) const;
  void decodeModuleWords(int module, std::span<const uint8_t> payload);
  void decodeRhythm(std::span<const uint8_t> payload);
  void decodePresetChanged(int n);
  void decodePresetSaved(std::span<const uint8_t> payload);
  void decodePresetRecord(uint8_t cmd, std::span<const uint8_t> payload);
  void getPresetDataWithIndex(int n, std::span<const uint8_t> record);
  void decodeSystem(std::span<const uint8_t> payload);
  void decodeOutCab(int left, int right);
  void getNowModuleData(std::span<const uint8_t> payload);
  void decodeExpWords(uint8_t cmd, std::span<const uint8_t> payload);
  void decodePage(int page);
  void decodeSlotNames(std::span<const uint8_t> payload);
  void requestMissingOrFinish();
  void transferAcknowledged(uint8_t cmd, std::span<const uint8_t> payload);
  void presetWritten(std::span<const uint8_t> payload);
  void dropExpiredWrites();
  void armWriteBound(uint64_t serial);
  void writeLost(size_t index);
  void askWhetherWritten(int n, const HIDServiceModuleModePtr& written);
  void presetReadAgain(int n, const HIDServiceModuleModePtr& record);
  void updateAwaiting();

  // Loads preset n from the cache into the current records; false when it is
  // not there.
  bool loadPresetFromCache(int n, bool setNumber);
  // The selected module's index (0 when none is selected yet).
  int selectedModuleIndex() const;
  // Puts a deep copy of `preset` into the cache under number n.
  void storeInCache(int n, const HIDServiceModuleMode& preset);
  void setEditedModule(const HIDServiceModel& source, bool allWords);
  void sendThreeWords(uint8_t cmd, const std::vector<int>& words);
  void reportProgress(int value);

  const Parts parts_;

  mutable std::recursive_mutex mutex_;
  std::shared_ptr<libupdate_zarvo> zrHID_;
  Timing timing_;
  const HIDServiceModuleModePtr presetAllData_;
  const HIDServiceModelPtr presetDataModel_;
  const HIDServiceSystemModelPtr systemDataModel_;
  std::array<HIDServiceModuleModePtr, dev::kPresetCount> cache_;
  EffectCataloguePtr catalogue_;
  int64_t oldIndex_ = 0;
  std::vector<int> missPack_;
  ProgressBlock progressBlock_;
  ImportBlock importBlock_;
  DisconnectionBlock disconnectionBlock_;
  IRNRBlock revicedIRNR_;
  ModuleDataBlock moduleDataBlock_;
  DisHIDBlock disHIDBlock_;
  // Whether importBlock_ was set by setImportBlock (a confirmation with no
  // write waiting goes to it) rather than by a preset write.
  bool importBlockSet_ = false;
  // Preset writes sent and not confirmed, oldest first.
  struct PendingWrite {
    int n = 0;
    HIDServiceModuleModePtr preset;
    ImportBlock block;
    std::chrono::steady_clock::time_point sent;
    uint64_t serial = 0;
    bool current = false;  // the current preset when sent
  };
  std::deque<PendingWrite> pendingWrites_;
  uint64_t writeSerial_ = 0;
  // A lost write of the current preset whose record the unit was asked for,
  // and the number of that request (its bound ends only its own).
  struct LostWrite {
    int n;
    HIDServiceModuleModePtr preset;
    uint64_t ask;
  };
  std::optional<LostWrite> lostWrite_;
  uint64_t lostWriteAsks_ = 0;
  bool initialised_ = false;
  // The last progress value reported (0 until a preset record arrived).
  std::atomic<int> lastProgress_{0};
  // Frames of the start-up read received so far (records, system, slot
  // names, current preset).
  std::atomic<uint64_t> bulkFrames_{0};
  // What the start-up read has gained: presets newly cached, and the first
  // system record and slot names.
  std::atomic<uint64_t> bulkProgress_{0};
  bool systemSeen_ = false;
  bool slotNamesSeen_ = false;
  // The disconnection block has run.
  std::atomic<bool> disconnected_{false};

  // --- IR and NR transfer (HIDServiceViewMode+Transfer.cpp) ---
public:
  // Results given to a transfer's block.
  static constexpr long kTransferDone = 1;
  // The file name (without folder and extension) is not printable ASCII.
  static constexpr long kTransferBadName = 1001;
  // The file reader refused the file, or the transfer could not be made.
  static constexpr long kTransferFailed = 1002;

  // The first frame's fields: slot 0 to 9; 1 for a file, 0 for a clear; 1 to
  // send data, 0 for a clear; 1 when the data are raw bytes from a backup.
  struct ImportFile_1Frame {
    uint8_t index = 0;
    uint8_t isInteral = 0;
    uint8_t isImport = 0;
    uint8_t isBack = 0;
  };
  // The transfer record: slot name (at most 16 bytes and a zero) and sample
  // words, of which a transfer sends the first 512 (or, from a backup, the
  // first 1536 or 2048 bytes as they lie in memory).
  struct ImportFile_Para {
    ImportFile_1Frame firstPara;
    std::array<uint8_t, 17> name{};
    std::array<uint32_t, 2048> data{};
  };
  struct TransferTiming {
    // A transfer whose unit acknowledges no frame for this long ends with
    // kTransferFailed.
    std::chrono::milliseconds acknowledgement{2500};
  };

  // ImportIR: the IR file at `path` into CAB list index `index` (26 to 35);
  // ImportNR: the NR file into AMP list index 55 to 64; ResendIR / ResendNR:
  // re-sends the IR / NR placed with setImportStruct (index unused); ClearIR /
  // ClearNR: clears that IR / NR slot. A value outside the enum does nothing. `result` is called once: 1001 or 1002 at
  // once, or when the transfer ends (1 on the HID thread when the unit took
  // the last frame). One transfer at a time: another is refused with 1002.
  void sendFileToDevice(dev::TransferKind type, const std::string& path, int index, ImportBlock result);
  // Sends frame m of the transfer in the transfer record (cmd 0xB5 IR, 0xB7 NR).
  void sendIR_NRData(int m, int cmd);
  // Asks the unit for its user IR (0) or NR (1) slots; the frames come to the
  // revicedIRNR block.
  void revicedIRNRData(int kind);
  ImportFile_Para importStruct() const;
  // Places a backup's slot for ResendIR and ResendNR; refused while a transfer runs.
  bool setImportStruct(const ImportFile_Para& para);
  bool isTransferring() const;
  TransferTiming transferTiming() const;
  void setTransferTiming(const TransferTiming& timing);

private:
  void importFile(bool ir, const std::string& path, int index, ImportBlock result);
  void beginTransfer(uint8_t cmd, const ImportFile_Para* para, ImportBlock result);
  void finishTransfer(long result);
  void armTransferBound();

  ImportFile_Para importStruct_;
  // The running transfer: its command (0 when none), the frame sent last,
  // its block, and the number of the bound armed last.
  uint8_t transferCmd_ = 0;
  int transferFrame_ = -1;
  ImportBlock transferBlock_;
  uint64_t transferBound_ = 0;
  TransferTiming transferTiming_;
};

using HIDServiceViewModePtr = std::shared_ptr<HIDServiceViewMode>;
