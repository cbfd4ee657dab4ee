// The unit's boot loader, as the unit sees the firmware update: it answers
// packets 00 and 02, acknowledges every block with the acknowledgement type of
// its block type, and keeps what it received so tests can compare it with the
// image. Knobs make it refuse, stay silent, answer with a wrong type, stop
// acknowledging, or leave the bus after packet FF.
//
// It works on whole frames (AA 55 L cmd payload CRC); the simulated unit's
// transport reassembles them and sends the answers back as input reports.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace sim {

class SimulatedUnit;

class SimBootloader {
public:
  struct Config {
    // Type of the answer to packet 02.
    uint8_t announceReplyType = 0x03;
    // Block type -> type of its acknowledgement. Blocks of other types are
    // recorded but not acknowledged. The default matches the test images'.
    std::map<uint8_t, uint8_t> ackTypes{{0x04, 0x05}, {0x06, 0x07}};
  };

  struct Knobs {
    bool answerHello = true;       // false: packet 00 gets no answer
    bool refuseAnnounce = false;   // true: packet 02 is answered with 00
    bool answerAnnounce = true;    // false: packet 02 gets no answer
    // Acknowledge only this many blocks; later ones get no answer.
    std::optional<size_t> ackLimit;
    // Acknowledge blocks with this type instead of the configured one.
    std::optional<uint8_t> wrongAckType;
    bool leaveBusAfterFinish = false;
  };

  struct Block {
    uint8_t type = 0;
    uint16_t number = 0;
    std::vector<uint8_t> data;
  };

  SimBootloader() = default;
  explicit SimBootloader(Config config) : config_(std::move(config)) {}

  // Makes a boot loader and plugs it into the unit: it answers every frame
  // the host sends while the unit runs its boot loader (mode 'B'), and pulls
  // the plug after packet FF when leaveBusAfterFinish is set.
  static std::shared_ptr<SimBootloader> install(SimulatedUnit& unit, Config config);
  static std::shared_ptr<SimBootloader> install(SimulatedUnit& unit);

  void setConfig(Config config);
  void setKnobs(Knobs knobs);
  Knobs knobs() const;

  // Handles one frame from the host; returns the frames to answer with.
  std::vector<std::vector<uint8_t>> handleFrame(std::span<const uint8_t> frame);

  // Every frame received, in order.
  std::vector<std::vector<uint8_t>> packets() const;
  // The type bytes of the frames received, in order.
  std::vector<uint8_t> packetTypes() const;
  std::vector<Block> blocks() const;
  bool finished() const;  // packet FF received
  // True once packet FF came with leaveBusAfterFinish set.
  bool wantsToLeaveBus() const;
  void reset();  // forgets what was received

private:
  mutable std::mutex mutex_;
  Config config_;
  Knobs knobs_;
  std::vector<std::vector<uint8_t>> packets_;
  std::vector<Block> blocks_;
  size_t acknowledged_ = 0;
  bool finished_ = false;
};

}  // namespace sim
