#include "sim/faults/FaultBackend.h"

#include <algorithm>
#include <thread>

#include "device/codec/FrameCodec.h"

namespace sim {

FaultyDevice::FaultyDevice(std::shared_ptr<hid::Device> inner, std::shared_ptr<FaultPlan> plan)
    : inner_(std::move(inner)), plan_(std::move(plan)), releasesSeen_(plan_->releases()) {}

FaultPlan::Decision FaultyDevice::pass(Stream& s, Way way, hid::Report& report) {
  const size_t count = std::min<size_t>(report[0], frame::kReportCapacity);
  s.firstReport = false;
  if (s.at >= s.length) {
    s = Stream{};
    if (count >= 5 && report[1] == frame::kHead0 && report[2] == frame::kHead1) {
      s.length = static_cast<size_t>(report[3] | (report[4] << 8)) + frame::kOverhead;
      s.decision = plan_->frameStarts(way, report[5]);
      s.firstReport = true;
    } else if (plan_->silent()) {
      return {FrameFault::Silence, {}};
    } else {
      return {};  // bytes outside any frame (the raw packet before identification)
    }
  }
  const size_t take = std::min(s.length - s.at, count);
  if (s.decision.fault == FrameFault::Corrupt) {
    const size_t last = s.length - 1;
    if (last >= s.at && last < s.at + take) report[1 + last - s.at] ^= 0xFF;
  }
  s.at += take;
  return s.decision;
}

bool FaultyDevice::write(const hid::Report& report) {
  hid::Report r = report;
  const FaultPlan::Decision d = pass(toUnit_, Way::HostToUnit, r);
  switch (d.fault) {
    case FrameFault::Drop:
    case FrameFault::Withhold:
    case FrameFault::Silence:
      return true;
    case FrameFault::Unplug:
    case FrameFault::Replug:
      plan_->pullPlug(d.fault == FrameFault::Replug);
      return inner_->write(r);  // fails: the unit has gone
    case FrameFault::Delay:
      // The write of the frame's first report stalls; the rest follow.
      if (toUnit_.firstReport) {
        plan_->countStall();
        std::this_thread::sleep_for(d.delay);
      }
      return inner_->write(r);
    case FrameFault::None:
    case FrameFault::Corrupt:
      return inner_->write(r);
  }
  return inner_->write(r);
}

int FaultyDevice::read(hid::Report& out, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const uint64_t releases = plan_->releases();
    if (releases != releasesSeen_) {
      releasesSeen_ = releases;
      const Clock::time_point now = Clock::now();
      for (Held& h : withheld_) {
        h.due = ready_.empty() ? now : std::max(now, ready_.back().due);
        ready_.push_back(h);
      }
      withheld_.clear();
    }
    Clock::time_point now = Clock::now();
    if (!ready_.empty() && ready_.front().due <= now) {
      out = ready_.front().report;
      const int size = ready_.front().size;
      ready_.pop_front();
      return size;
    }
    Clock::time_point until = deadline;
    if (!ready_.empty()) until = std::min(until, ready_.front().due);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(until - now, Clock::duration::zero()));
    hid::Report r{};
    const int n = inner_->read(r, wait);
    if (n < 0) return n;
    now = Clock::now();
    if (n == 0) {
      if (now >= deadline && (ready_.empty() || ready_.front().due > now)) return 0;
      continue;
    }
    const FaultPlan::Decision d = pass(toHost_, Way::UnitToHost, r);
    switch (d.fault) {
      case FrameFault::Drop:
      case FrameFault::Silence:
        break;
      case FrameFault::Unplug:
      case FrameFault::Replug:
        plan_->pullPlug(d.fault == FrameFault::Replug);
        break;
      case FrameFault::Withhold:
        withheld_.push_back({r, n, now});
        break;
      case FrameFault::Delay:
        ready_.push_back({r, n, std::max(now + d.delay, ready_.empty() ? now : ready_.back().due)});
        break;
      case FrameFault::None:
      case FrameFault::Corrupt:
        if (ready_.empty()) {
          out = r;
          return n;
        }
        // Behind a delayed frame: the link keeps the order.
        ready_.push_back({r, n, ready_.back().due});
        break;
    }
  }
}

FaultBackend::FaultBackend(std::shared_ptr<SimBackend> inner, std::shared_ptr<FaultPlan> plan)
    : inner_(std::move(inner)), plan_(std::move(plan)) {}

hid::OpenResult FaultBackend::open(const hid::DeviceInfo& info) {
  hid::OpenResult result = inner_->open(info);
  if (!result.device) return result;
  if (std::shared_ptr<SimulatedUnit> unit = inner_->unitAt(info.path)) {
    std::weak_ptr<SimulatedUnit> weak = unit;
    std::weak_ptr<SimBackend> backend = inner_;
    plan_->setUnplug([weak] {
      if (auto u = weak.lock()) u->unplug();
    });
    plan_->setReplug([weak, backend] {
      auto u = weak.lock();
      auto b = backend.lock();
      if (u && b) b->replug(u);
    });
  }
  result.device = std::make_shared<FaultyDevice>(std::move(result.device), plan_);
  return result;
}

}  // namespace sim
