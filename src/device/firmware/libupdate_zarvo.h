// The one object through which the rest of the program reaches the unit: it
// owns the transport, connects and identifies the unit, dispatches on its
// mode, sends commands, runs the firmware update with its progress timer, and
// forwards frames and the loss of the unit to its own delegate.
//
// Threads: connectDeviceWithCMD and runApp run on the caller's thread (the
// main thread); callBackData and disconnectDevice on the HID thread; the
// firmware engine on its own worker; the progress and error callbacks on a
// global queue (receivers hop to the main queue themselves).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "device/firmware/FirmwareEngine.h"
#include "device/transport/HIDClass.h"
#include "device/transport/ZarvoHIDDelegate.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/TimerSource.h"
#include "platform/hid/Backend.h"

class libupdate_zarvo : public ZarvoHIDDelegate, public std::enable_shared_from_this<libupdate_zarvo> {
public:
  // The image the firmware window hands over, looked up in the resources.
  static constexpr const char* kFirmwareImageName = "VLTfx Rig_V1.0.5.qv";
  static std::filesystem::path bundledFirmwarePath();

  // Time constants.
  struct Timing {
    std::chrono::milliseconds progressFirstTick{3000};
    std::chrono::milliseconds progressInterval{100};
    // Longest wait for the firmware worker to stop when the update is
    // cancelled or the object goes.
    std::chrono::milliseconds quit{2000};
  };

  using Block = std::function<void()>;
  using ValueBlock = std::function<void(int)>;

  // The process-wide instance (made on first use, with the default backend).
  static std::shared_ptr<libupdate_zarvo> getInstance();
  // The process-wide instance, configured with what to match and what the
  // unit must report.
  static std::shared_ptr<libupdate_zarvo> initWithDeviceName(const std::string& name, const std::string& version,
                                                             uint16_t Pid, uint16_t vid, uint16_t ver);
  // A separate instance over this backend (tests, tools). Null backend: the
  // program's default (hidapi, or the simulated unit under QV450_SIMULATOR).
  static std::shared_ptr<libupdate_zarvo> create(std::shared_ptr<hid::Backend> backend = nullptr);

  ~libupdate_zarvo() override;
  libupdate_zarvo(const libupdate_zarvo&) = delete;
  libupdate_zarvo& operator=(const libupdate_zarvo&) = delete;

  void setPid(uint16_t pid, uint16_t vid, uint16_t ver);
  void setDeviceName(const std::string& name, const std::string& version);

  // 1 when a unit was identified; 0 when none was but the last one reported
  // another firmware version ('L'); -1 otherwise. Blocks for the identify
  // handshake (at least the transport's start-up wait).
  int connectDeviceWithCMD(const uint8_t* cmd, size_t len);
  // Calls exactly one block, now, on this thread, by the unit's mode: 'A' the
  // first, 'B' the second, 'L' the third, anything else the fourth.
  void runApp(const Block& app, const Block& bootloader, const Block& versionlow, const Block& error);
  // Sends one frame (datalen = payload length + 1); nothing without a unit.
  void sendCMD(uint32_t cmd, const uint8_t* data, uint16_t datalen);

  // Starts the firmware update from the image at `path` and returns at once.
  // progressValue gets the percentage as it grows and 100 exactly once when
  // the update is done; error gets a failure's status (2, 6, 8 or 9) exactly
  // once. After either final call nothing more is called. Refused (logged)
  // while an update runs.
  void beginUpdate(const std::string& path, ValueBlock progressValue, ValueBlock error);
  // Stops a running update. Once it returns no callback starts, and one that
  // had started on another thread has returned (it is waited for at most
  // Timing::quit; a callback may cancel from inside itself). Nothing more is
  // sent, the worker is gone within Timing::quit, and the engine's status is
  // final: StatusCancelled, or the outcome the run had already reached.
  void cancelUpdate();
  // What made the last update fail, for the user; empty when it did not.
  std::string updateErrorText() const;
  bool isUpdating() const;

  // ZarvoHIDDelegate: the transport's frames (application mode) and the loss
  // of the unit, passed on to hidDelegate.
  void callBackData(std::span<const uint8_t> frame) override;
  void disconnectDevice() override;

  // Held weakly: the receiver normally owns this object.
  std::shared_ptr<ZarvoHIDDelegate> hidDelegate() const;
  void setHidDelegate(std::weak_ptr<ZarvoHIDDelegate> delegate);
  // The progress timer of the running or last update.
  std::shared_ptr<dispatch::TimerSource> time() const;

  HIDClass& hidclass() { return *hidclass_; }
  FirmwareEngine& engine() { return *engine_; }
  Timing timing() const;
  void setTiming(const Timing& timing);

private:
  explicit libupdate_zarvo(std::shared_ptr<hid::Backend> backend);
  void init();
  // One look at the engine; reports on the progress queue.
  struct Watch;
  struct WorkerState;
  static void tick(const std::shared_ptr<Watch>& watch);
  void joinWorker(std::chrono::milliseconds bound);

  std::shared_ptr<hid::Backend> backend_;
  std::shared_ptr<HIDClass> hidclass_;
  std::shared_ptr<FirmwareEngine> engine_;

  mutable std::mutex mutex_;
  // Makes the check for a running update and the start of the next one one
  // step, whichever threads call beginUpdate.
  std::mutex beginMutex_;
  std::weak_ptr<ZarvoHIDDelegate> hidDelegate_;
  std::shared_ptr<dispatch::TimerSource> time_;
  std::shared_ptr<Watch> watch_;
  Timing timing_;
  std::thread worker_;
  std::shared_ptr<WorkerState> workerState_;
};
