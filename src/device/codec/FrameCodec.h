// The unit's wire format, as pure functions over byte spans (no I/O):
//
//   frame  = AA 55 Llo Lhi cmd payload[L-1] CRChi CRClo      (L + 6 bytes)
//   report = n frame-bytes[n] unused[63-n]                    (64 bytes)
//
// L counts the command byte and the payload. The CRC is CRC-16/GSM over the
// length field, the command and the payload (frame bytes 2 .. L + 3). Both the
// host transport (device/HIDClass) and the simulated unit (sim/) speak it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace frame {

inline constexpr uint8_t kHead0 = 0xAA;
inline constexpr uint8_t kHead1 = 0x55;
// Header (2), length (2) and CRC (2) around the command and payload.
inline constexpr size_t kOverhead = 6;
// The largest frame either side builds, and so the largest length field.
inline constexpr size_t kMaxFrameSize = 10240;
inline constexpr uint16_t kMaxLength = kMaxFrameSize - kOverhead;  // 10234
inline constexpr size_t kReportSize = 64;
// Frame bytes one report carries after its count byte.
inline constexpr size_t kReportCapacity = kReportSize - 1;  // 63
// Bound of the receive queue: a frame that can still complete always starts
// within the last kMaxFrameSize bytes, so twice that loses nothing.
inline constexpr size_t kQueueLimit = 2 * kMaxFrameSize;

using Report = std::array<uint8_t, kReportSize>;

// CRC-16/GSM (poly 0x1021, init 0, no reflection, xor-out 0xFFFF), table
// driven, most significant bit first. 0xFFFF for an empty input.
uint16_t crc16(std::span<const uint8_t> bytes);

// The length field L of a frame that starts with its header; 0 when fewer than
// four bytes are given.
uint16_t lengthField(std::span<const uint8_t> frame);

// Builds a whole frame (header, length, command, payload, CRC). Empty when the
// payload does not fit a frame (more than kMaxLength - 1 bytes).
std::vector<uint8_t> build(uint8_t cmd, std::span<const uint8_t> payload);

// Stores the CRC of a frame whose header, length, command and payload are in
// place, high byte first at L + 4. Returns the frame's size L + 6, or 0 (and
// writes nothing) when the length field claims more bytes than the buffer has.
size_t seal(std::span<uint8_t> buffer);

// True when `frame` is exactly one frame (L + 6 bytes) whose CRC matches.
bool isValid(std::span<const uint8_t> frame);

// Reports needed for n bytes: one per 63, and one for the rest.
inline size_t reportCount(size_t n) { return (n + kReportCapacity - 1) / kReportCapacity; }

// Splits bytes into reports: 63-byte chunks, then one report with the rest.
// Unused bytes of the last report are zero. Nothing for an empty input.
std::vector<Report> splitReports(std::span<const uint8_t> bytes);

// Calls `write` with each report of `bytes` in order, building them in one
// buffer; stops at the first write that returns false. True when every
// report was written.
bool forEachReport(std::span<const uint8_t> bytes, const std::function<bool(const Report&)>& write);

// The frame bytes of one received report: bytes 1 .. count, with the count
// byte clamped to 63 and to the bytes actually received.
std::span<const uint8_t> reportPayload(std::span<const uint8_t> report);

// Receive-side reassembly of the byte stream carried by reports into checked
// frames. Not thread-safe: one owner feeds it.
//
// Rules (the unit may split frames anywhere and pack several in one report):
// - Bytes before the first AA are dropped when no AA is present, when a frame
//   is accepted (garbage before it goes with it) and when an incomplete frame
//   is cut to wait for more bytes.
// - A header whose length field is 0 or above kMaxLength can never be a
//   frame and is skipped like a bad CRC, so it cannot stall reception.
// - A frame with a bad CRC is not delivered and nothing is removed; its
//   bytes go when a later frame is accepted.
// - The queue never holds more than the limit: beyond it, bytes that can no
//   longer start a frame are dropped.
// Frames are delivered in arrival order, each once, as a span that is valid
// during the call only; the sink must not feed the same reassembler.
class Reassembler {
public:
  using Sink = std::function<void(std::span<const uint8_t> frame)>;

  explicit Reassembler(size_t limit = kQueueLimit);

  void put(std::span<const uint8_t> bytes, const Sink& deliver);

  // The bytes waiting in the queue, oldest first.
  std::vector<uint8_t> queue() const;
  size_t size() const { return buf_.size() - head_; }
  void clear();

private:
  size_t find(size_t from) const;  // index (relative to head_) of the next AA, or size()
  void drop(size_t n);             // removes the first n bytes
  void enforceLimit();

  std::vector<uint8_t> buf_;
  size_t head_ = 0;
  // Every header before this index (relative to head_) is known to be
  // complete and not a frame; scanning resumes here.
  size_t resume_ = 0;
  // Whether an AA lies before resume_ (then the queue is not emptied).
  bool knownHead_ = false;
  size_t limit_;
  std::vector<uint8_t> frame_;
};

}  // namespace frame

// The checksum under the name the firmware engine knows it by.
inline uint16_t hid_crc16(const uint8_t* data, size_t n) {
  return data == nullptr ? 0xFFFF : frame::crc16({data, n});
}
