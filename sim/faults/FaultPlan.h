// Faults of the USB link between the host and a simulated unit, injected at
// the report level: what happens to the n-th frame of a command in one
// direction (lost, corrupted, late, held back), a unit that goes silent, a
// unit pulled out when a given frame crosses (and, if asked, plugged in again
// under a new device path).
//
// A plan only decides; FaultyDevice (FaultBackend.h) applies it to the
// reports that cross. Frames are recognised by their header at the start of
// a report, which is how both ends send them; a frame's later reports share
// its fate. Frames are counted per direction and command from the plan's
// start, whatever device they crossed.
//
// Thread safety: every method may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class Way { HostToUnit, UnitToHost };

enum class FrameFault {
  None,
  Drop,      // lost on the wire
  Corrupt,   // its last byte (the CRC's low byte) inverted
  Delay,     // held for a time; the frames after it wait behind it
  Withhold,  // unit to host: held until release() (never, if nobody
             // releases it); host to unit: lost, as Drop
  Unplug,    // the unit leaves the bus as the frame crosses; the frame is lost
  Replug,    // as Unplug, and the unit comes back at once under a new path
  Silence,   // this frame and everything after it, both ways, is lost
};

std::string toString(FrameFault fault);
std::string toString(Way way);

struct FrameRule {
  Way way = Way::HostToUnit;
  uint8_t cmd = 0;
  int nth = 1;  // 1: the first frame of this command in this direction
  FrameFault fault = FrameFault::None;
  std::chrono::milliseconds delay{0};  // Delay only
};

class FaultPlan {
public:
  using Clock = std::chrono::steady_clock;

  // What the device must do with one frame.
  struct Decision {
    FrameFault fault = FrameFault::None;
    std::chrono::milliseconds delay{0};
  };

  FaultPlan() = default;
  FaultPlan(const FaultPlan&) = delete;
  FaultPlan& operator=(const FaultPlan&) = delete;

  void add(FrameRule rule);
  // The unit stops talking and listening from now on (it stays on the bus).
  void goSilent();
  bool silent() const;

  // Called by the device for every frame that starts in a report; counts it
  // and returns what to do with it.
  Decision frameStarts(Way way, uint8_t cmd);

  // What pulling the plug and plugging in again do (the backend sets them).
  void setUnplug(std::function<void()> unplug);
  void setReplug(std::function<void()> replug);
  // Runs the unplug (and for Replug the replug) action once.
  void pullPlug(bool replug);

  // Lets the frames held back by Withhold go to the host, in order, at the
  // device's next read.
  void release();
  uint64_t releases() const;

  // Frames of this command seen so far in this direction.
  int frames(Way way, uint8_t cmd) const;
  // Writes a Delay rule has stalled so far (the device counts them here).
  void countStall();
  int stalls() const;
  // When a rule (or the silence) first took effect.
  std::optional<Clock::time_point> firedAt() const;
  bool waitFired(Clock::duration bound) const;
  // The rules that took effect, in order ("Drop 0x20 #3 unit to host").
  std::vector<std::string> log() const;

private:
  void fired(const std::string& what);  // under mutex_

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<FrameRule> rules_;
  std::map<std::pair<Way, uint8_t>, int> counts_;
  bool silent_ = false;
  std::optional<Clock::time_point> firedAt_;
  std::vector<std::string> log_;
  std::function<void()> unplug_;
  std::function<void()> replug_;
  uint64_t releases_ = 0;
  int stalls_ = 0;
};

}  // namespace sim
