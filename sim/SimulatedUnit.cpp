#include "sim/SimulatedUnit.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace sim {

SimulatedUnit::SimulatedUnit(Identity identity)
    : started_(Clock::now()), identity_(std::move(identity)), trace_(SimTrace::fromEnvironment()) {}

Identity SimulatedUnit::identity() const {
  std::lock_guard guard(mutex_);
  return identity_;
}

void SimulatedUnit::setIdentity(Identity identity) {
  std::lock_guard guard(mutex_);
  identity_ = std::move(identity);
}

Firmware SimulatedUnit::firmware() const {
  std::lock_guard guard(mutex_);
  return identity_.mode == 'B' ? Firmware::BootLoader : Firmware::Application;
}

void SimulatedUnit::setHandler(Firmware firmware, uint8_t cmd, Handler handler) {
  std::lock_guard guard(mutex_);
  (firmware == Firmware::BootLoader ? bootLoader_ : application_)[cmd] = std::move(handler);
}

void SimulatedUnit::removeHandler(Firmware firmware, uint8_t cmd) { setHandler(firmware, cmd, nullptr); }

// --- unit to host ---

void SimulatedUnit::sendReport(std::span<const uint8_t> report) {
  if (report.empty()) return;
  std::vector<uint8_t> bytes(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(std::min(report.size(), hid::kReportSize)));
  {
    std::lock_guard guard(mutex_);
    if (!plugged_ || connection_ == 0) return;  // nobody listens: the report is lost
    outbox_.push_back(std::move(bytes));
  }
  hostSide_.notify_all();
}

void SimulatedUnit::sendBytes(std::span<const uint8_t> bytes) {
  frame::forEachReport(bytes, [this](const frame::Report& r) {
    sendReport(r);
    return true;
  });
}

void SimulatedUnit::sendFrame(uint8_t cmd, std::span<const uint8_t> payload) {
  const std::vector<uint8_t> f = frame::build(cmd, payload);
  sendBytes(f);
}

size_t SimulatedUnit::pendingReports() const {
  std::lock_guard guard(mutex_);
  return outbox_.size();
}

// --- what the host sent ---

std::vector<ReceivedFrame> SimulatedUnit::receivedFrames() const {
  std::lock_guard guard(mutex_);
  return received_;
}

size_t SimulatedUnit::receivedCount() const {
  std::lock_guard guard(mutex_);
  return receivedCount_;
}

bool SimulatedUnit::waitForFrames(size_t count, Clock::duration bound) const {
  std::unique_lock lock(mutex_);
  return framesArrived_.wait_for(lock, bound, [&] { return receivedCount_ >= count; });
}

void SimulatedUnit::clearReceived() {
  std::vector<ReceivedFrame> dropped;  // freed after unlocking
  std::lock_guard guard(mutex_);
  dropped.swap(received_);
  receivedCount_ = 0;
}

void SimulatedUnit::setKeepsRecord(bool keeps) {
  std::vector<ReceivedFrame> dropped;  // freed after unlocking
  std::lock_guard guard(mutex_);
  keepsRecord_ = keeps;
  if (!keeps) dropped.swap(received_);
}

void SimulatedUnit::received(std::span<const uint8_t> f) {
  ReceivedFrame rf;
  rf.cmd = f[4];
  rf.payload.assign(f.begin() + 5, f.end() - 2);
  rf.bytes.assign(f.begin(), f.end());
  rf.time = Clock::now();
  const bool identifyRequest = rf.cmd == kIdentifyCommand && rf.payload.empty();
  Handler handler;
  {
    std::lock_guard guard(mutex_);
    ++receivedCount_;
    if (keepsRecord_) received_.push_back(rf);
    if (!identifyRequest) handler = (identity_.mode == 'B' ? bootLoader_ : application_)[rf.cmd];
  }
  framesArrived_.notify_all();
  if (identifyRequest) {
    answerIdentify();
    return;
  }
  if (handler) handler(*this, rf);
}

// The reply: AA 55 39 00 00, name at payload 0, version at 39, mode at 53.
// The host finds them at report offsets 6, 45 and 59.
void SimulatedUnit::answerIdentify() {
  Identity id = identity();
  if (!id.answers) return;
  std::array<uint8_t, kIdentifyPayloadSize> payload{};
  std::memcpy(payload.data() + kIdentifyNameAt, id.name.data(), std::min(id.name.size(), kIdentifyNameMax));
  std::memcpy(payload.data() + kIdentifyVersionAt, id.version.data(), std::min(id.version.size(), kIdentifyVersionSize));
  payload[kIdentifyModeAt] = id.mode;
  sendFrame(kIdentifyCommand, payload);
}

// --- USB ---

void SimulatedUnit::unplug() {
  {
    std::lock_guard guard(mutex_);
    plugged_ = false;
    outbox_.clear();
  }
  hostSide_.notify_all();
}

void SimulatedUnit::plugIn() {
  {
    std::lock_guard guard(mutex_);
    plugged_ = true;
    connection_ = 0;
    outbox_.clear();
  }
  hostSide_.notify_all();
}

bool SimulatedUnit::isPlugged() const {
  std::lock_guard guard(mutex_);
  return plugged_;
}

void SimulatedUnit::setPaced(bool paced) {
  std::lock_guard guard(mutex_);
  paced_ = paced;
}

bool SimulatedUnit::paced() const {
  std::lock_guard guard(mutex_);
  return paced_;
}

uint64_t SimulatedUnit::reportsFromHost() const {
  std::lock_guard guard(mutex_);
  return fromHost_;
}

uint64_t SimulatedUnit::reportsToHost() const {
  std::lock_guard guard(mutex_);
  return toHost_;
}

void SimulatedUnit::setTrace(std::shared_ptr<SimTrace> trace) {
  std::lock_guard guard(mutex_);
  trace_ = std::move(trace);
}

void SimulatedUnit::trace(SimTrace::Direction direction, std::span<const uint8_t> report) {
  std::shared_ptr<SimTrace> t;
  {
    std::lock_guard guard(mutex_);
    t = trace_;
  }
  if (t) t->write(direction, report);
}

// --- the host's end ---

uint64_t SimulatedUnit::hostOpen() {
  std::lock_guard rx(rxMutex_);
  uint64_t connection;
  {
    std::lock_guard guard(mutex_);
    if (!plugged_) return 0;
    connection = connection_ = nextConnection_++;
    outbox_.clear();
  }
  assembler_.clear();
  hostSide_.notify_all();
  return connection;
}

void SimulatedUnit::hostClose(uint64_t connection) {
  {
    std::lock_guard guard(mutex_);
    if (connection_ != connection) return;
    connection_ = 0;
    outbox_.clear();
  }
  hostSide_.notify_all();
}

bool SimulatedUnit::hostWrite(uint64_t connection, const hid::Report& report) {
  Clock::time_point slot;
  {
    std::lock_guard guard(mutex_);
    if (!plugged_ || connection_ != connection) return false;
    slot = Clock::now();
    if (paced_) {
      slot = std::max(slot, nextFromHost_);
      nextFromHost_ = slot + kReportInterval;
    }
  }
  std::this_thread::sleep_until(slot);
  {
    std::lock_guard guard(mutex_);
    if (!plugged_ || connection_ != connection) return false;
    ++fromHost_;
  }
  trace(SimTrace::Direction::HostToUnit, report);
  std::lock_guard rx(rxMutex_);
  assembler_.put(frame::reportPayload(report), [this](std::span<const uint8_t> f) { received(f); });
  return true;
}

int SimulatedUnit::hostRead(uint64_t connection, hid::Report& out, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::vector<uint8_t> bytes;
  {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!plugged_ || connection_ != connection) return -1;
      const Clock::time_point now = Clock::now();
      const bool due = !paced_ || now >= nextToHost_;
      if (!outbox_.empty() && due) break;
      if (now >= deadline) return 0;
      Clock::time_point until = deadline;
      if (!outbox_.empty()) until = std::min(until, nextToHost_);
      hostSide_.wait_until(lock, until);
    }
    bytes = std::move(outbox_.front());
    outbox_.pop_front();
    ++toHost_;
    // The link delivers one report per millisecond whatever the host does
    // between reads: the next slot follows this report's slot, not the moment
    // the host came to read it (a host late by less than a slot stays on the
    // grid; after a longer pause the slots start again from now).
    if (paced_) {
      const Clock::time_point now = Clock::now();
      const Clock::time_point slot = now - nextToHost_ <= kReportInterval ? nextToHost_ : now;
      nextToHost_ = slot + kReportInterval;
    }
  }
  out.fill(0);
  std::memcpy(out.data(), bytes.data(), bytes.size());
  trace(SimTrace::Direction::UnitToHost, out);
  return static_cast<int>(bytes.size());
}

}  // namespace sim
