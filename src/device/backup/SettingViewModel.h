// The view model of the system settings screen: the screen's values, the page
// switch for its controls, and the whole-unit backup and restore.
//
// Backup (startBackUp): on a serial queue of its own, "hid.backup", it writes
// the 200 presets of the device service's preset cache, the system levels and
// (once the unit has reported them) the rhythm settings of its system record,
// and the user IR slots the unit exports (0xC4: an announcement, then one
// frame per slot, each within Timing::irTimeout of the one before) into a
// backup file, which replaces the chosen file in one step when every part of
// it came; one tip tells the result.
//
// Restore (recallBackUp): on the caller's thread; sends the restore start,
// checks the whole file, then sends every section back in file order, each
// preset and IR / NR slot waiting for the unit's confirmation within its
// bound. The restore end (0xBB) is the screen's, after the result
// (startRecall does it for a screen that fills in RecallScreen).
//
// One backup or restore at a time. cancel() (and the destructor) stops a
// running one within Timing::quit: its waits end, nothing more is sent, no
// tip is shown, and no temporary or partial file is left.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "device/files/SettingModel.h"
#include "device/files/Zr_Backup.h"
#include "device/records/BaseViewModel.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/PopUpService.h"

class SettingViewModel : public BaseViewModel {
public:
  static constexpr const char* kBackupQueueLabel = "hid.backup";
  // What backup files are made for and checked against.
  static constexpr const char* kBackupDevice = "Brisco_QV450";
  static constexpr int kBackupVersionLength = 21;
  static const std::array<uint8_t, kBackupVersionLength> kBackupVersion;

  static constexpr const char* kBackupSuccessTip = "Device data backup successful.";
  static constexpr const char* kBackupFailedTip = "Backup failed,Please try again.";
  static constexpr const char* kRestoreFailedTip = "Restore failed!";
  // What the system screen shows after a restore.
  static constexpr const char* kRecallSuccessTip = "Device data backup successful.\nWill restart App";
  static constexpr const char* kRecallFailedAlert = "Recall failed , the device will restart. please try again";

  // Sections of a backup file, with their record sizes.
  static constexpr const char* kPresetSection = "QV450_PRESET";
  static constexpr const char* kSystemSection = "QV450_SYSTEM";
  static constexpr const char* kRhythmSection = "QV450_RHYTHM";
  static constexpr const char* kIRSection = "QV450_IR";
  static constexpr const char* kNRSection = "QV450_NR";
  static constexpr int kPresetRecordSize = 160;
  static constexpr int kSystemRecordSize = 10;
  static constexpr int kRhythmRecordSize = 6;
  static constexpr int kSlotNameSize = 16;
  static constexpr int kIRRecordSize = kSlotNameSize + 1536;
  static constexpr int kNRRecordSize = kSlotNameSize + 2048;

  struct Timing {
    // The unit's IR export: each frame (and the first after the request)
    // within this.
    std::chrono::milliseconds irTimeout{3000};
    // Restore: each preset confirmed within this, each IR / NR slot written
    // within recordAck; the pause before the IR slots.
    std::chrono::milliseconds presetAck{1000};
    std::chrono::milliseconds recordAck{2500};
    std::chrono::milliseconds irPause{300};
    // cancel() waits this long at most for the running backup or restore.
    std::chrono::milliseconds quit{2000};
    // The screen's side of a restore: the end command this long after a
    // success; the failure alert this long after a failure.
    std::chrono::milliseconds restoreEndDelay{2000};
    std::chrono::milliseconds failAlertDelay{1000};
  };

  // What a view model is made with; each part left empty gets the program's
  // own.
  struct Parts {
    HIDServiceViewModePtr hid;               // empty: the shared service
    std::shared_ptr<PopUpService> popUps;    // empty: PopUpService::shared() at each use
    Zr_Backup::Options backupOptions;        // how the backup file is written (destination: the backup's own)
    Timing timing;
  };

  // The system screen's part of a restore, filled in by the screen. Both run
  // on the main queue.
  class RecallScreen {
  public:
    virtual ~RecallScreen() = default;
    // The restore answered: hide the activity view; on success show
    // kRecallSuccessTip.
    virtual void recallEnded(bool success) = 0;
    // Failure, Timing::failAlertDelay later: the modal kRecallFailedAlert;
    // returns when the user has dismissed it.
    virtual void runRecallFailedAlert() = 0;
  };

  SettingViewModel();
  explicit SettingViewModel(Parts parts);
  ~SettingViewModel() override;

  SettingModelPtr model() const { return model_; }
  HIDServiceViewModePtr hid() const { return hid_; }
  // The backup file object of the running backup or restore, or null.
  Zr_BackupPtr backUp() const;
  // 1 while a backup step waits for its data, else 0.
  int64_t begin() const;
  // 1 when the IR step of the last backup timed out.
  int32_t timeout() const;
  Timing timing() const { return timing_; }

  // Starts a backup into `path` and returns at once; the result is a tip on
  // the main queue: "Device data backup successful." as a success tip, or
  // "Backup failed,Please try again." as a failure tip. Only a whole backup
  // (every record the unit announced) replaces the file at `path`.
  void startBackUp(const std::string& path);
  // Restores the unit from the backup file at `path`, on this thread; true
  // when every section was sent and confirmed.
  bool recallBackUp(const std::string& path);
  // Sends the page unless the unit is on it already.
  void sendToChangePageIFNeed(int page);

  // What the system screen does with a restore: recallBackUp on a global
  // queue, then the screen's ending and the restore end command (0xBB [00]).
  void startRecall(const std::string& path, std::shared_ptr<RecallScreen> screen);

  // Stops a running backup or restore (quitting); returns when it has stopped
  // or after Timing::quit.
  void cancel();
  bool isBusy() const;

  std::string className() const override { return "SettingViewModel"; }

private:
  struct State;
  struct Backup;

  // The backup's steps, on its queue.
  static bool exportPresetInFile(Backup& job);
  static bool exportSystemInFile(Backup& job);
  static bool exportRhythm(Backup& job);
  static bool exportFile(Backup& job, int kind);
  static void runTimeout(State& state, uint64_t generation);
  static void runBackUp(const std::shared_ptr<Backup>& job);
  static void receiveSlot(State& state, uint64_t generation, std::span<const uint8_t> payload);

  // The restore's sections.
  bool restorePresets(Zr_Backup& file, int section);
  bool restoreSlots(Zr_Backup& file, int section, bool ir);
  void restoreSystem(Zr_Backup& file, int section);
  void restoreRhythm(Zr_Backup& file, int section);
  // Waits for the confirmation asked for last; its result, or 0 when none
  // came within `bound` or the restore was cancelled.
  long waitForAck(std::chrono::milliseconds bound);
  HIDServiceViewMode::ImportBlock ackBlock();
  bool cancelled() const;

  std::shared_ptr<PopUpService> popUps() const;
  void sendRestoreCommand(uint8_t cmd);

  const HIDServiceViewModePtr hid_;
  const SettingModelPtr model_;
  const std::shared_ptr<PopUpService> popUps_;
  const Zr_Backup::Options backupOptions_;
  const Timing timing_;
  const std::shared_ptr<State> state_;
};

using SettingViewModelPtr = std::shared_ptr<SettingViewModel>;
