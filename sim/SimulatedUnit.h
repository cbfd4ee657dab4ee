// A simulated QV450, written from the unit's side of the protocol. It shares
// only the frame codec with the host.
//
// The core is small and meant to grow into the whole unit:
//   - the USB side: input reports waiting for the host (paced like USB full
//     speed when asked: one report per millisecond each way), output reports
//     from the host reassembled into frames, counters of the reports that
//     cross each way, an optional trace of them, unplugging;
//   - identification: the identify request (command 00 with no payload) is
//     answered from the unit's identity (name, firmware version, mode), in
//     every firmware, unless the unit is set to stay silent;
//   - a registry of protocol handlers, one per command byte and firmware
//     (application or boot loader), called for every good frame the host
//     sends; a handler answers through sendFrame(). Presets, records, IR/NR,
//     backup and the boot loader are added as handler sets;
//   - a record of every frame received, with its time, for assertions (a
//     unit nobody asserts on keeps none: see setKeepsRecord);
//   - sending any frame, byte stream or raw report a test asks for (the
//     unit's panel and fault knobs build on these).
//
// Thread safety: every method may be called from any thread. Handlers run
// on the thread whose write delivered the frame (the host's sending thread),
// one frame at a time, and must not write to the unit as the host.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/codec/FrameCodec.h"
#include "platform/hid/Backend.h"
#include "sim/SimTrace.h"

namespace sim {

using Clock = std::chrono::steady_clock;

struct Identity {
  std::string name = "VLT";
  std::string version = "V1.0.5";
  // 'A' application firmware, 'B' boot loader, or any other byte.
  uint8_t mode = 'A';
  // False: the unit never answers the identify request.
  bool answers = true;
};

struct ReceivedFrame {
  uint8_t cmd = 0;
  std::vector<uint8_t> payload;  // the bytes after the command byte
  std::vector<uint8_t> bytes;    // the whole frame, AA 55 .. CRC
  Clock::time_point time;
};

enum class Firmware { Application, BootLoader };

class SimulatedUnit {
public:
  using Handler = std::function<void(SimulatedUnit& unit, const ReceivedFrame& frame)>;

  // The identify reply: one frame, command 00, of this payload size.
  static constexpr uint8_t kIdentifyCommand = 0x00;
  static constexpr size_t kIdentifyPayloadSize = 56;
  static constexpr size_t kIdentifyNameAt = 0;
  static constexpr size_t kIdentifyNameMax = 39;
  static constexpr size_t kIdentifyVersionAt = 39;
  static constexpr size_t kIdentifyVersionSize = 6;
  static constexpr size_t kIdentifyModeAt = 53;

  // USB full speed: one 64-byte report per millisecond each way.
  static constexpr std::chrono::microseconds kReportInterval{1000};

  explicit SimulatedUnit(Identity identity = {});
  SimulatedUnit(const SimulatedUnit&) = delete;
  SimulatedUnit& operator=(const SimulatedUnit&) = delete;

  Identity identity() const;
  void setIdentity(Identity identity);
  // The firmware the mode selects: 'B' the boot loader, anything else the
  // application.
  Firmware firmware() const;
  // The time the unit was made; frame times are measured from here.
  Clock::time_point started() const { return started_; }

  // --- protocol handlers ---
  void setHandler(Firmware firmware, uint8_t cmd, Handler handler);
  void removeHandler(Firmware firmware, uint8_t cmd);

  // --- unit to host ---
  // One frame of this command and payload, split into reports of 63 bytes.
  void sendFrame(uint8_t cmd, std::span<const uint8_t> payload);
  // Any bytes (frames, garbage, several frames), split into reports of 63.
  void sendBytes(std::span<const uint8_t> bytes);
  // One input report exactly as given (1 to 64 bytes; its count byte is not
  // checked). Longer input is cut to 64 bytes.
  void sendReport(std::span<const uint8_t> report);
  // Reports waiting for the host to read them.
  size_t pendingReports() const;

  // --- what the host sent ---
  // The frames kept since the last clearReceived(), in order.
  std::vector<ReceivedFrame> receivedFrames() const;
  // The frames received since the last clearReceived(), kept or not.
  size_t receivedCount() const;
  // Waits until at least `count` frames were received; false after `bound`.
  bool waitForFrames(size_t count, Clock::duration bound) const;
  void clearReceived();
  // Whether received frames are kept for receivedFrames() (they are by
  // default). A unit that runs for as long as the program does keeps none,
  // or the record would grow with every frame the host sends; turning it off
  // drops what was kept. Frames are counted and handled either way.
  void setKeepsRecord(bool keeps);

  // --- USB ---
  // Pulls the plug: reads of the host fail, writes fail, and the unit is no
  // longer listed.
  void unplug();
  // Plugs the unit in again after unplug(): connections made before stay
  // ended.
  void plugIn();
  bool isPlugged() const;
  void setPaced(bool paced);
  bool paced() const;
  // Reports that crossed: host to unit (written) and unit to host (read).
  uint64_t reportsFromHost() const;
  uint64_t reportsToHost() const;
  // Replaces the trace (default: the one named by QV450_SIM_TRACE).
  void setTrace(std::shared_ptr<SimTrace> trace);

  // --- the host's end of the USB link (used by the simulated backend) ---
  // Opens a connection: 0 when unplugged, otherwise its number. A new
  // connection ends the previous one and drops unread reports.
  uint64_t hostOpen();
  void hostClose(uint64_t connection);
  bool hostWrite(uint64_t connection, const hid::Report& report);
  int hostRead(uint64_t connection, hid::Report& out, std::chrono::milliseconds timeout);

private:
  void received(std::span<const uint8_t> frame);
  void answerIdentify();
  void trace(SimTrace::Direction direction, std::span<const uint8_t> report);

  const Clock::time_point started_;

  mutable std::mutex mutex_;
  // Two conditions under mutex_: the host's end (reports to read, the plug,
  // the connection) and the frames received from the host. Kept apart so
  // that a host write, which completes a frame, does not wake the host's
  // reading thread for nothing.
  mutable std::condition_variable hostSide_;
  mutable std::condition_variable framesArrived_;
  Identity identity_;
  bool plugged_ = true;
  bool paced_ = false;
  uint64_t connection_ = 0;
  uint64_t nextConnection_ = 1;
  std::deque<std::vector<uint8_t>> outbox_;
  Clock::time_point nextToHost_{};
  Clock::time_point nextFromHost_{};
  uint64_t toHost_ = 0;
  uint64_t fromHost_ = 0;
  std::vector<ReceivedFrame> received_;
  size_t receivedCount_ = 0;
  bool keepsRecord_ = true;
  std::array<Handler, 256> application_;
  std::array<Handler, 256> bootLoader_;
  std::shared_ptr<SimTrace> trace_;

  // Reassembly of what the host writes; held while its handlers run, so
  // frames are handled one at a time and in order.
  std::mutex rxMutex_;
  frame::Reassembler assembler_;
};

}  // namespace sim
