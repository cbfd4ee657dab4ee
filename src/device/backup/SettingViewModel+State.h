// What the parts of SettingViewModel share: the state its backup queue, the
// HID thread and its restore thread have in common, where a backup file's
// preset record keeps its fields, and the result tips.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "device/backup/SettingViewModel.h"

// What the files of SettingViewModel share (svm: setting view model), named
// svm::x where used: a `using namespace` would reach into the unity batch.
namespace svm {

using SteadyClock = std::chrono::steady_clock;

inline constexpr const char* kClass = "SettingViewModel";
// Offsets in a preset record of a backup file.
inline constexpr size_t kPresetName = 0;
inline constexpr size_t kPresetBlock = 16;
inline constexpr size_t kPresetExpFunction = 148;
inline constexpr size_t kPresetExpVolume = 154;

// A success or failure tip on the main queue, through `service` or, when it
// is empty, the process-wide pop-up service at that moment.
void showTip(std::shared_ptr<PopUpService> service, const char* tip, bool failure);

}  // namespace svm

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
  svm::SteadyClock::time_point deadline;
  std::map<int, std::pair<int, std::vector<uint8_t>>> slots;  // k -> (slot index, record)

  // The restore's confirmation asked for last.
  uint64_t ackSerial = 0;
  std::optional<long> ackResult;
};
