#include "device/codec/FrameCodec.h"

#include <algorithm>
#include <cstring>

namespace frame {

namespace {

// kCrcTables[0] is the usual table of the MSB-first CRC (entry i = i << 8
// reduced by the polynomial); kCrcTables[k] advances an entry by k more zero
// bytes, so that eight bytes are folded in at once with the same result as
// eight steps of the byte-at-a-time loop.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;

constexpr CrcTables makeCrcTables() {
  CrcTables t{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t v = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit)
      v = static_cast<uint16_t>((v & 0x8000) ? (v << 1) ^ 0x1021 : (v << 1));
    t[0][i] = v;
  }
  for (size_t k = 1; k < t.size(); ++k)
    for (unsigned i = 0; i < 256; ++i)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 8]);
  return t;
}

constexpr CrcTables kCrcTables = makeCrcTables();

}  // namespace

uint16_t crc16(std::span<const uint8_t> bytes) {
  const auto& t = kCrcTables;
  uint16_t crc = 0;
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  for (; n >= 8; n -= 8, p += 8) {
    crc = static_cast<uint16_t>(t[7][p[0] ^ (crc >> 8)] ^ t[6][p[1] ^ (crc & 0xFF)] ^ t[5][p[2]] ^ t[4][p[3]] ^
                                t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
  }
  for (; n > 0; --n, ++p) crc = static_cast<uint16_t>((crc << 8) ^ t[0][((crc >> 8) ^ *p) & 0xFF]);
  return static_cast<uint16_t>(crc ^ 0xFFFF);
}

uint16_t lengthField(std::span<const uint8_t> frame) {
  if (frame.size() < 4) return 0;
  return static_cast<uint16_t>(frame[2] | (frame[3] << 8));
}

std::vector<uint8_t> build(uint8_t cmd, std::span<const uint8_t> payload) {
  if (payload.size() > kMaxLength - 1u) return {};
  const auto length = static_cast<uint16_t>(payload.size() + 1);
  std::vector<uint8_t> out(length + kOverhead);
  out[0] = kHead0;
  out[1] = kHead1;
  out[2] = static_cast<uint8_t>(length & 0xFF);
  out[3] = static_cast<uint8_t>(length >> 8);
  out[4] = cmd;
  if (!payload.empty()) std::memcpy(out.data() + 5, payload.data(), payload.size());
  seal(out);
  return out;
}

size_t seal(std::span<uint8_t> buffer) {
  if (buffer.size() < kOverhead) return 0;
  const size_t length = lengthField(buffer);
  const size_t size = length + kOverhead;
  if (size > buffer.size()) return 0;
  const uint16_t crc = crc16(buffer.subspan(2, length + 2));
  buffer[length + 4] = static_cast<uint8_t>(crc >> 8);
  buffer[length + 5] = static_cast<uint8_t>(crc & 0xFF);
  return size;
}

bool isValid(std::span<const uint8_t> frame) {
  if (frame.size() < kOverhead || frame[0] != kHead0 || frame[1] != kHead1) return false;
  const size_t length = lengthField(frame);
  if (length + kOverhead != frame.size()) return false;
  const uint16_t stored = static_cast<uint16_t>((frame[length + 4] << 8) | frame[length + 5]);
  return crc16(frame.subspan(2, length + 2)) == stored;
}

bool forEachReport(std::span<const uint8_t> bytes, const std::function<bool(const Report&)>& write) {
  Report report{};
  for (size_t at = 0; at < bytes.size(); at += kReportCapacity) {
    const size_t n = std::min(kReportCapacity, bytes.size() - at);
    report[0] = static_cast<uint8_t>(n);
    std::memcpy(report.data() + 1, bytes.data() + at, n);
    if (n < kReportCapacity) std::fill(report.begin() + 1 + static_cast<std::ptrdiff_t>(n), report.end(), 0);
    if (!write(report)) return false;
  }
  return true;
}

std::vector<Report> splitReports(std::span<const uint8_t> bytes) {
  std::vector<Report> reports;
  reports.reserve(reportCount(bytes.size()));
  forEachReport(bytes, [&](const Report& r) {
    reports.push_back(r);
    return true;
  });
  return reports;
}

std::span<const uint8_t> reportPayload(std::span<const uint8_t> report) {
  if (report.size() < 2) return {};
  const size_t count = std::min<size_t>({report[0], kReportCapacity, report.size() - 1});
  return report.subspan(1, count);
}

Reassembler::Reassembler(size_t limit) : limit_(std::max(limit, kMaxFrameSize)) {}

size_t Reassembler::find(size_t from) const {
  const size_t n = size();
  if (from >= n) return n;
  const uint8_t* base = buf_.data() + head_;
  const void* hit = std::memchr(base + from, kHead0, n - from);
  return hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - base) : n;
}

void Reassembler::drop(size_t n) {
  head_ += n;
  if (head_ == buf_.size()) {
    buf_.clear();
    head_ = 0;
  }
}

void Reassembler::clear() {
  buf_.clear();
  head_ = 0;
  resume_ = 0;
  knownHead_ = false;
}

std::vector<uint8_t> Reassembler::queue() const {
  return std::vector<uint8_t>(buf_.begin() + static_cast<std::ptrdiff_t>(head_), buf_.end());
}

void Reassembler::put(std::span<const uint8_t> bytes, const Sink& deliver) {
  if (head_ > 0 && head_ >= buf_.size() - head_) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());

  size_t n = size();
  // Headers before resume_ were all seen to be complete non-frames; they can
  // never become frames, so scanning starts after them.
  size_t p = find(resume_);
  bool head = knownHead_;
  if (!head && p == n) {
    clear();
    return;
  }
  while (p < n) {
    head = true;
    const uint8_t* q = buf_.data() + head_;
    if (p == n - 1) {  // a lone AA at the end: keep just it
      drop(p);
      resume_ = 0;
      knownHead_ = false;
      return;
    }
    if (q[p + 1] != kHead1) {
      p = find(p + 1);
      continue;
    }
    if (n - p < 4) {  // header without its length yet
      drop(p);
      resume_ = 0;
      knownHead_ = false;
      return;
    }
    const size_t length = static_cast<size_t>(q[p + 2] | (q[p + 3] << 8));
    if (length == 0 || length > kMaxLength) {  // can never be a frame
      p = find(p + 1);
      continue;
    }
    const size_t end = p + length + kOverhead;
    if (n < end) {  // the frame waits for its next report
      drop(p);
      resume_ = 0;
      knownHead_ = false;
      return;
    }
    const uint16_t stored = static_cast<uint16_t>((q[end - 2] << 8) | q[end - 1]);
    if (crc16({q + p + 2, length + 2}) != stored) {
      p = find(p + 1);
      continue;
    }
    frame_.assign(q + p, q + end);
    drop(end);
    resume_ = 0;
    knownHead_ = false;
    deliver(frame_);
    n = size();
    head = false;
    p = find(0);
  }
  resume_ = n;
  knownHead_ = head;
  // Everything left was looked at and can never start a frame; beyond the
  // bound it goes at once rather than waiting for a later frame.
  if (n > limit_) clear();
}

}  // namespace frame
