// The transport to the unit: finds it through an hid::Backend, opens and
// identifies it, sends frames as 64-byte reports, reassembles the frames it
// sends on the HID thread and routes them by mode, and reports its removal.
//
// Owned by the updater object, which configures it (what to match, the name
// and version the unit must report), becomes its delegate and connects with
// OpenDevice(). Frames with a good CRC go, on the HID thread:
//   - mode 'A' (application firmware): to the delegate's callBackData();
//   - any other mode (boot loader, ...): to the handler set with
//     setUpdateHandleReply() (the firmware engine).
//
// Threads: OpenDevice/connectHID/checkUSBDevice run on the caller's thread
// (the main thread) and wait, bounded, for the HID thread's identify
// verdict. sendCMD and the other senders may be called from any thread:
// all reports of one frame are written under one lock, so frames of
// concurrent senders never interleave. The HID thread blocks the signals
// meant for the process (hid::blockAsynchronousSignals), so that none can
// break off a read and pass for a removal. The HID thread stops within
// Timing::quit when the object is destroyed (also from one of its own
// callbacks). The delegate and the frame handler may send, but must not call
// putRX_buffer or m_Vector: those belong to the receive path they run in.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/transport/ZarvoHIDDelegate.h"
#include "platform/hid/Backend.h"

class HIDClass {
public:
  // Mode characters of the identify reply, and the one set here when an
  // application-mode unit reports another firmware version.
  static constexpr uint8_t kModeApplication = 'A';
  static constexpr uint8_t kModeBootLoader = 'B';
  static constexpr uint8_t kModeVersionLow = 'L';

  // hid_identify_state values.
  static constexpr int kIdentifyWaiting = 0;
  static constexpr int kIdentified = 1;
  static constexpr int kIdentifyOtherName = 2;

  // Where the identify reply carries its fields (report offsets).
  static constexpr size_t kReplyNameOffset = 6;
  static constexpr size_t kReplyVersionOffset = 45;
  static constexpr size_t kReplyVersionLength = 6;
  static constexpr size_t kReplyModeOffset = 59;

  // The longest identify request kept.
  static constexpr size_t kMaxIdentifyRequest = 65;

  // Time constants (the defaults are the protocol's values; tests shorten them).
  struct Timing {
    // Longest wait for the HID thread to have its backend ready.
    std::chrono::milliseconds startup{1000};
    // The identify reply is awaited identifyPolls x identifyPoll per attempt.
    std::chrono::milliseconds identifyPoll{100};
    int identifyPolls = 11;
    int identifyAttempts = 3;
    // One read of the HID thread; bounds how late it sees a quit.
    std::chrono::milliseconds readSlice{50};
    // Longest wait for the HID thread to stop when the object goes.
    std::chrono::milliseconds quit{2000};
  };

  using FrameHandler = std::function<void(std::span<const uint8_t> frame)>;

  // Without a backend, hid::createBackend() (hidapi, or the simulated unit
  // when QV450_SIMULATOR is set).
  explicit HIDClass(std::shared_ptr<hid::Backend> backend = nullptr);
  ~HIDClass();
  HIDClass(const HIDClass&) = delete;
  HIDClass& operator=(const HIDClass&) = delete;

  // --- configuration (set before OpenDevice) ---
  int64_t pid() const;
  void setPid(int64_t pid);
  int64_t vid() const;
  void setVid(int64_t vid);
  int64_t ver() const;
  void setVer(int64_t ver);
  std::string deviceName() const;
  void setDeviceName(std::string name);
  std::string deviceVersion() const;
  void setDeviceVersion(std::string version);
  // Held weakly: the delegate normally owns this object.
  std::shared_ptr<ZarvoHIDDelegate> delegate() const;
  void setDelegate(std::weak_ptr<ZarvoHIDDelegate> delegate);
  // Receiver of every good frame while the mode is not 'A' (the firmware
  // engine's reply handler). Called on the HID thread.
  void setUpdateHandleReply(FrameHandler handler);
  Timing timing() const;
  // Takes effect for the next OpenDevice (the HID thread keeps the values it
  // started with).
  void setTiming(const Timing& timing);

  // --- connection ---
  // Starts the HID thread (once), waits until its backend is ready, lists the
  // matching units and identifies them in turn with this identify request
  // (at most 65 bytes are kept). True when a unit was identified in any mode.
  bool OpenDevice(const uint8_t* request, size_t len);
  // Lists the matching units into deviceRefs (when the backend is ready).
  void connectHID();
  // The identify handshake over deviceRefs; true when a unit was identified.
  bool checkUSBDevice();
  // Closes the current unit: 0, or -1 when none is open.
  int disconnectDevice();
  std::vector<hid::DeviceInfo> deviceRefs() const;
  // The backend once the HID thread has made it ready, else null.
  std::shared_ptr<hid::Backend> HIDManager() const;

  // --- state ---
  // The open unit (being identified or identified), or null.
  std::shared_ptr<hid::Device> hid_current_device() const;
  int hid_identify_state() const;
  uint8_t hid_device_mode() const;

  // --- sending (any thread) ---
  // Builds the frame AA 55 datalen cmd data[datalen-1] CRC and sends it.
  // Nothing without an open unit; a datalen of 0 or above 10234 is refused
  // with a log line.
  void sendCMD(uint32_t cmd, const uint8_t* data, uint16_t datalen);
  // Seals a frame whose header, length, command and payload are in place (its
  // CRC is written at L + 4) and sends its L + 6 bytes. 1 when every report
  // was written; 0 otherwise, also when the length field overruns the buffer.
  int hid_frame_send(std::span<uint8_t> frame);
  // Sends bytes as reports of 63 bytes and a rest, all under the send lock.
  // 1 when every report was written, 0 when a write failed or no unit is
  // open (checked before each report).
  int hid_send_reports(std::span<const uint8_t> bytes);

  // --- receiving (the HID thread) ---
  // Feeds the frame bytes of one input report (count clamped to 63) to the
  // reassembler and routes every whole frame with a good CRC.
  void putRX_buffer(const uint8_t* data, size_t count);
  // The receive queue: bytes not yet consumed.
  std::vector<uint8_t> m_Vector() const;

  struct Impl;

private:
  std::shared_ptr<Impl> impl_;
};
