#include "sim/bootloader/SimBootloader.h"

#include "device/codec/FrameCodec.h"
#include "sim/SimulatedUnit.h"

namespace sim {

namespace {

constexpr uint8_t kStart = 0xAA;
constexpr uint8_t kHello = 0x00;
constexpr uint8_t kAnnounce = 0x02;
constexpr uint8_t kFinish = 0xFF;
constexpr uint8_t kHelloReply = 0x01;
constexpr uint16_t kBlockLength = 515;  // type, block number (2), 512 data bytes

std::vector<uint8_t> reply(uint8_t type, uint8_t result) {
  const uint8_t payload[1] = {result};
  return frame::build(type, payload);
}

}  // namespace

std::shared_ptr<SimBootloader> SimBootloader::install(SimulatedUnit& unit, Config config) {
  auto loader = std::make_shared<SimBootloader>(std::move(config));
  for (int cmd = 0; cmd < 256; ++cmd)
    unit.setHandler(Firmware::BootLoader, static_cast<uint8_t>(cmd), [loader](SimulatedUnit& u, const ReceivedFrame& f) {
      for (const auto& answer : loader->handleFrame(f.bytes)) u.sendBytes(answer);
      if (loader->wantsToLeaveBus()) u.unplug();
    });
  return loader;
}

std::shared_ptr<SimBootloader> SimBootloader::install(SimulatedUnit& unit) { return install(unit, Config()); }

void SimBootloader::setConfig(Config config) {
  std::lock_guard guard(mutex_);
  config_ = std::move(config);
}

void SimBootloader::setKnobs(Knobs knobs) {
  std::lock_guard guard(mutex_);
  knobs_ = knobs;
}

SimBootloader::Knobs SimBootloader::knobs() const {
  std::lock_guard guard(mutex_);
  return knobs_;
}

std::vector<std::vector<uint8_t>> SimBootloader::handleFrame(std::span<const uint8_t> f) {
  std::vector<std::vector<uint8_t>> out;
  if (f.size() < frame::kOverhead + 1) return out;
  std::lock_guard guard(mutex_);
  packets_.emplace_back(f.begin(), f.end());
  const uint16_t length = frame::lengthField(f);
  const uint8_t type = f[4];
  if (length == kBlockLength && f.size() >= frame::kOverhead + kBlockLength) {
    Block block;
    block.type = type;
    block.number = static_cast<uint16_t>(f[5] << 8 | f[6]);
    block.data.assign(f.begin() + 7, f.begin() + 7 + 512);
    blocks_.push_back(std::move(block));
    auto ack = config_.ackTypes.find(type);
    if (ack == config_.ackTypes.end()) return out;
    if (knobs_.ackLimit && acknowledged_ >= *knobs_.ackLimit) return out;
    ++acknowledged_;
    out.push_back(reply(knobs_.wrongAckType.value_or(ack->second), 0x01));
    return out;
  }
  switch (type) {
    case kStart:
      break;
    case kHello:
      if (knobs_.answerHello) out.push_back(reply(kHelloReply, 0x01));
      break;
    case kAnnounce:
      if (knobs_.answerAnnounce) out.push_back(reply(config_.announceReplyType, knobs_.refuseAnnounce ? 0x00 : 0x01));
      break;
    case kFinish:
      finished_ = true;
      break;
    default:
      break;
  }
  return out;
}

std::vector<std::vector<uint8_t>> SimBootloader::packets() const {
  std::lock_guard guard(mutex_);
  return packets_;
}

std::vector<uint8_t> SimBootloader::packetTypes() const {
  std::lock_guard guard(mutex_);
  std::vector<uint8_t> types;
  for (const auto& p : packets_) types.push_back(p[4]);
  return types;
}

std::vector<SimBootloader::Block> SimBootloader::blocks() const {
  std::lock_guard guard(mutex_);
  return blocks_;
}

bool SimBootloader::finished() const {
  std::lock_guard guard(mutex_);
  return finished_;
}

bool SimBootloader::wantsToLeaveBus() const {
  std::lock_guard guard(mutex_);
  return finished_ && knobs_.leaveBusAfterFinish;
}

void SimBootloader::reset() {
  std::lock_guard guard(mutex_);
  packets_.clear();
  blocks_.clear();
  acknowledged_ = 0;
  finished_ = false;
}

}  // namespace sim
