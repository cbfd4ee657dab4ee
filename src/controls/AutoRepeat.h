// The auto-repeat of a pair of step buttons (up and down) that its owner
// feeds with the buttons' mouse events:
//
//   press    the button is held; repetitionDelay later, if this press is
//            still held, the first repeated step, then one every
//            repetitionInterval while it stays held
//   release  one step (wherever the pointer is), and the press is over
//   exit     the press is over, no step
//
// Every press has its number, and the timers of a press act only while that
// press is the current one and held: a press that is over never steps again,
// so a quick release and re-press, or a click followed by a hold, never runs
// two repetitions at once. The timers run on the main queue (on the dispatch
// clock, so tests move time by hand).
//
// The owner's step function gets the direction and whether the step is the
// release's own. Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "controls/SWSTAnswerButton.h"

class AutoRepeat {
public:
  using Step = std::function<void(bool up, bool atRelease)>;

  explicit AutoRepeat(Step step);
  ~AutoRepeat();
  AutoRepeat(const AutoRepeat&) = delete;
  AutoRepeat& operator=(const AutoRepeat&) = delete;

  // From a press to its first repeated step, and between repeated steps.
  // Settable (tests shorten them); a change applies from the next press.
  std::chrono::milliseconds repetitionDelay{300};
  std::chrono::milliseconds repetitionInterval{100};

  // One mouse event of the up (up true) or the down button.
  void buttonEvent(SWSTAnswerButton::MouseEvent kind, bool up);
  // Starts repeating for the press held now, unless it already repeats;
  // nothing when no press is held. The press's own timer starts it the same
  // way (the private overload below, which both call).
  void startRepeating(bool up);
  bool isMouseDown() const;

private:
  struct State;
  // Starts repeating `press` while it is the one held and not yet repeating.
  static void startRepeating(const std::shared_ptr<State>& state, bool up, uint64_t press);
  static void scheduleStep(const std::shared_ptr<State>& state, bool up, uint64_t press,
                           std::chrono::milliseconds after);
  // Shared with the pending timers, which may outlive the owner.
  std::shared_ptr<State> state_;
};
