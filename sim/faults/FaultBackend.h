// The simulated backend with a fault plan on its link: every device it opens
// is the simulated unit's, wrapped in a FaultyDevice that applies the plan to
// the reports crossing it, and the plan's unplug and replug act on that unit
// (a replugged unit is listed under a new device path).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/hid/Backend.h"
#include "sim/SimBackend.h"
#include "sim/faults/FaultPlan.h"

namespace sim {

// One open device with the plan applied. Reads and writes follow the
// hid::Device contract (one reader, one writer at a time).
class FaultyDevice final : public hid::Device {
public:
  FaultyDevice(std::shared_ptr<hid::Device> inner, std::shared_ptr<FaultPlan> plan);

  const hid::DeviceInfo& info() const override { return inner_->info(); }
  // Dropped, withheld or silenced reports count as written; a delayed one
  // stalls the write for its delay.
  bool write(const hid::Report& report) override;
  int read(hid::Report& out, std::chrono::milliseconds timeout) override;

private:
  using Clock = FaultPlan::Clock;

  // The frame whose reports are crossing in one direction.
  struct Stream {
    size_t length = 0;  // bytes of the whole frame
    size_t at = 0;      // bytes of it seen so far
    bool firstReport = false;  // the report passed last began the frame
    FaultPlan::Decision decision;
  };
  struct Held {
    hid::Report report{};
    int size = 0;
    Clock::time_point due;
  };

  // What happens to this report; corrupts it in place when its frame is to
  // be corrupted.
  FaultPlan::Decision pass(Stream& stream, Way way, hid::Report& report);

  const std::shared_ptr<hid::Device> inner_;
  const std::shared_ptr<FaultPlan> plan_;
  Stream toUnit_;    // the writer's
  Stream toHost_;    // the reader's, with the queues below
  std::deque<Held> ready_;     // delayed reports, in order
  std::deque<Held> withheld_;  // until the plan releases them
  uint64_t releasesSeen_ = 0;
};

class FaultBackend final : public hid::Backend {
public:
  FaultBackend(std::shared_ptr<SimBackend> inner, std::shared_ptr<FaultPlan> plan);

  std::string name() const override { return "simulator with faults"; }
  bool init() override { return inner_->init(); }
  std::vector<hid::DeviceInfo> enumerate(uint16_t vendorId, uint16_t productId, uint16_t releaseNumber) override {
    return inner_->enumerate(vendorId, productId, releaseNumber);
  }
  hid::OpenResult open(const hid::DeviceInfo& info) override;

  const std::shared_ptr<SimBackend>& inner() const { return inner_; }
  const std::shared_ptr<FaultPlan>& plan() const { return plan_; }

private:
  const std::shared_ptr<SimBackend> inner_;
  const std::shared_ptr<FaultPlan> plan_;
};

}  // namespace sim
