// The firmware update of a unit running its boot loader.
//
// The engine checks the whole image, announces the update with packets AA, 00
// and 02, sends every section as numbered 512-byte blocks, each acknowledged
// by the unit, and closes with packet FF. It publishes a percentage and a
// status that the updater's progress timer reads from another thread.
//
//   packet AA  AA 55 02 00 AA 00 crc        no answer awaited
//   packet 00  AA 55 02 00 00 00 crc        answered by type 01
//   packet 02  AA 55 05 00 02 vv x x x crc  answered by the header's type with 01
//   block      AA 55 03 02 tt nh nl <512>   answered by the section's type with 01
//   packet FF  AA 55 02 00 FF 00 crc        no answer awaited
//
// updateRunFirmware runs on a worker thread; updateHandleReply is called on the
// HID thread for every frame of a unit that is not in application mode.
// Every wait is bounded, and cancel() ends a run within one wait step.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/records/DeviceConstants.h"
#include "device/firmware/FirmwareImage.h"
#include "device/codec/FrameCodec.h"

class FirmwareEngine {
public:
  enum Status : int {
    StatusIdle = 0,
    StatusBlockSendFailed = 2,     // a block could not be sent
    StatusImageFailed = 6,         // the image is missing or malformed
    StatusAnnounceSendFailed = 8,  // packet 00 or 02 could not be sent, or no unit is open
    StatusNoAnswer = 9,            // the unit did not answer, refused, or stopped acknowledging
    StatusFinished = 10,           // every section and packet FF sent
    StatusRunning = 11,
    StatusCancelled = 12,          // cancel() ended the run before it finished
  };
  // True for the statuses a run ends with (every one but idle and running).
  static bool isFinal(int status) { return status != StatusIdle && status != StatusRunning; }

  // What the engine needs of the transport.
  struct Link {
    std::function<bool()> deviceOpen;
    // Sends a whole frame as 64-byte reports; true when every report went out.
    std::function<bool(std::span<const uint8_t>)> sendReports;
  };

  explicit FirmwareEngine(Link link = {});
  FirmwareEngine(const FirmwareEngine&) = delete;
  FirmwareEngine& operator=(const FirmwareEngine&) = delete;

  void setLink(Link link);

  // Time constants. The image counts its packet-02 wait in steps of waitStep.
  std::chrono::microseconds waitStep{std::chrono::milliseconds(1)};
  int helloWaitSteps = 498;
  std::chrono::milliseconds blockAckTimeout{3000};
  std::chrono::milliseconds finishPause{100};

  void setImagePath(std::string path);
  std::string imagePath() const;

  // The whole update. Returns 1 when finished, 0 otherwise; the outcome is in
  // status(), which is final (isFinal) however the run ends. A second call
  // while one runs returns 0 at once and changes nothing.
  int updateRunFirmware();
  // Reads and checks the image named by the image path, and makes its reply
  // types known to updateHandleReply. Resets the blocks-sent count.
  bool updateLoadImage();
  // Copies head n (1..N) of the loaded image into dest (512 bytes); returns
  // 512, or 0 when n is out of range or no image is loaded.
  size_t updateReadSectionHeader(size_t n, uint8_t* dest) const;
  // Copies the data of section n; returns its length, or 0 as above.
  size_t updateReadSectionData(size_t n, std::vector<uint8_t>& dest) const;
  // Puts the CRC after the L bytes of the packet in the packet buffer and sends it.
  bool updateSendPacket();
  // Sends one section's whole blocks, each awaiting its acknowledgement.
  bool updateSendSectionBlocks(const uint8_t* data, uint16_t firstBlock, size_t length, uint8_t type, size_t section);
  // Sends blocks firstBlock .. endBlock - 1 of the loaded image, block b taken
  // from byte `offset` + 512 x (b - firstBlock), each awaiting the
  // acknowledgement of section `section` (0-based) for at most maxWaits wait
  // steps; the percentage grows as for a section. False when a send fails, an
  // acknowledgement does not come in time (with maxWaits 0: at the first
  // block, once sent), the range lies outside the image or no image is loaded.
  bool updateSendBlockRange(uint16_t firstBlock, uint16_t endBlock, size_t offset, int maxWaits, uint8_t type,
                            size_t section);
  // Sleeps that long, or less when the run is cancelled meanwhile.
  void updateSleepMs(unsigned milliseconds);
  void updateSleepUs(unsigned microseconds);
  // One whole frame from the unit (AA 55 ... CRC).
  void updateHandleReply(std::span<const uint8_t> frame);

  // Stops a run: waits end at once and nothing more is sent. Holds until
  // reset().
  void cancel();
  // Before a new run (not while one runs): percentage 0, no status, no error,
  // not cancelled.
  void reset();

  int percentage() const { return percentage_.load(); }
  int status() const { return status_.load(); }
  bool isRunning() const { return running_.load(); }
  // What went wrong, for the log and the user; empty after a good update.
  std::string errorText() const;

private:
  bool waitFlag(const std::function<bool()>& flag, std::chrono::microseconds bound);
  bool cancelled() const;
  int fail(Status status, std::string text);
  // The end of a run that was cancelled, or one that failed because of it.
  int endCancelled();
  int failUnlessCancelled(Status status, std::string text);
  void sleepFor(std::chrono::microseconds duration);
  void buildShortPacket(uint8_t type);
  bool sendBlock(uint8_t type, uint16_t number, const uint8_t* data, size_t section, std::chrono::microseconds bound);

  Link link_;
  std::string imagePath_;
  std::string errorText_;
  mutable std::mutex stateMutex_;  // link, image path, error text

  // The worker's own.
  std::optional<FirmwareImage> image_;

  // The packet buffer: it starts AA 55 and is never cleared, so packet 02
  // carries, after its value byte, what packet 00 left there.
  std::array<uint8_t, frame::kOverhead + dev::boot::kBlockPacketLength> packet_{};
  size_t blocksSent_ = 0;
  size_t percentBase_ = 0;
  Status blockFailure_ = StatusBlockSendFailed;
  std::string blockFailureText_;

  // Shared with the HID thread.
  mutable std::mutex flagMutex_;
  std::condition_variable flagChanged_;
  bool helloAck_ = false;
  bool announceAck_ = false;
  bool cancelled_ = false;
  uint8_t announceType_ = 0;
  std::vector<uint8_t> ackTypes_;
  std::vector<bool> sectionAck_;

  std::atomic<int> percentage_{0};
  std::atomic<int> status_{StatusIdle};
  std::atomic<bool> running_{false};
};
