#include "sim/faults/FaultPlan.h"

#include <cstdio>

namespace sim {

std::string toString(FrameFault fault) {
  switch (fault) {
    case FrameFault::None: return "None";
    case FrameFault::Drop: return "Drop";
    case FrameFault::Corrupt: return "Corrupt";
    case FrameFault::Delay: return "Delay";
    case FrameFault::Withhold: return "Withhold";
    case FrameFault::Unplug: return "Unplug";
    case FrameFault::Replug: return "Replug";
    case FrameFault::Silence: return "Silence";
  }
  return "?";
}

std::string toString(Way way) { return way == Way::HostToUnit ? "host to unit" : "unit to host"; }

void FaultPlan::add(FrameRule rule) {
  std::lock_guard guard(mutex_);
  rules_.push_back(rule);
}

void FaultPlan::goSilent() {
  std::lock_guard guard(mutex_);
  if (silent_) return;
  silent_ = true;
  fired("silence");
}

bool FaultPlan::silent() const {
  std::lock_guard guard(mutex_);
  return silent_;
}

FaultPlan::Decision FaultPlan::frameStarts(Way way, uint8_t cmd) {
  std::lock_guard guard(mutex_);
  const int n = ++counts_[{way, cmd}];
  if (silent_) return {FrameFault::Silence, {}};
  for (const FrameRule& r : rules_) {
    if (r.way != way || r.cmd != cmd || r.nth != n || r.fault == FrameFault::None) continue;
    char what[96];
    std::snprintf(what, sizeof what, "%s 0x%02X #%d %s", toString(r.fault).c_str(), cmd, n, toString(way).c_str());
    fired(what);
    if (r.fault == FrameFault::Silence) silent_ = true;
    return {r.fault, r.delay};
  }
  return {};
}

void FaultPlan::setUnplug(std::function<void()> unplug) {
  std::lock_guard guard(mutex_);
  unplug_ = std::move(unplug);
}

void FaultPlan::setReplug(std::function<void()> replug) {
  std::lock_guard guard(mutex_);
  replug_ = std::move(replug);
}

void FaultPlan::pullPlug(bool replug) {
  std::function<void()> out, in;
  {
    std::lock_guard guard(mutex_);
    out = std::exchange(unplug_, nullptr);
    if (replug) in = std::exchange(replug_, nullptr);
  }
  if (out) out();
  if (in) in();
}

void FaultPlan::release() {
  {
    std::lock_guard guard(mutex_);
    ++releases_;
  }
  changed_.notify_all();
}

uint64_t FaultPlan::releases() const {
  std::lock_guard guard(mutex_);
  return releases_;
}

int FaultPlan::frames(Way way, uint8_t cmd) const {
  std::lock_guard guard(mutex_);
  auto it = counts_.find({way, cmd});
  return it == counts_.end() ? 0 : it->second;
}

void FaultPlan::countStall() {
  std::lock_guard guard(mutex_);
  ++stalls_;
}

int FaultPlan::stalls() const {
  std::lock_guard guard(mutex_);
  return stalls_;
}

std::optional<FaultPlan::Clock::time_point> FaultPlan::firedAt() const {
  std::lock_guard guard(mutex_);
  return firedAt_;
}

bool FaultPlan::waitFired(Clock::duration bound) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, bound, [&] { return firedAt_.has_value(); });
}

std::vector<std::string> FaultPlan::log() const {
  std::lock_guard guard(mutex_);
  return log_;
}

void FaultPlan::fired(const std::string& what) {
  if (!firedAt_) firedAt_ = Clock::now();
  log_.push_back(what);
  changed_.notify_all();
}

}  // namespace sim
