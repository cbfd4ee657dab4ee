#include "controls/AutoRepeat.h"

#include "platform/dispatch/Queue.h"

struct AutoRepeat::State {
  Step step;
  bool held = false;
  uint64_t press = 0;      // the current press; bumped when a press ends
  uint64_t repeating = 0;  // the press whose repetition runs, 0 for none
  std::chrono::milliseconds interval{100};

  bool holds(uint64_t p) const { return held && press == p; }
  void endPress() {
    held = false;
    repeating = 0;
    ++press;  // every timer of the press that ended finds another number
  }
};

AutoRepeat::AutoRepeat(Step step) : state_(std::make_shared<State>()) { state_->step = std::move(step); }

AutoRepeat::~AutoRepeat() {
  // The timers still pending find nothing to do.
  state_->endPress();
  state_->step = nullptr;
}

bool AutoRepeat::isMouseDown() const { return state_->held; }

void AutoRepeat::buttonEvent(SWSTAnswerButton::MouseEvent kind, bool up) {
  using E = SWSTAnswerButton::MouseEvent;
  State& s = *state_;
  switch (kind) {
    case E::Down: {
      s.endPress();  // a press that is somehow still on ends here
      s.held = true;
      s.interval = repetitionInterval;
      dispatch::mainQueue()->after(repetitionDelay, [weak = std::weak_ptr<State>(state_), up, press = s.press] {
        if (auto state = weak.lock()) startRepeating(state, up, press);
      });
      break;
    }
    case E::Up: {
      s.endPress();
      if (s.step) {
        auto step = s.step;  // the step may drop its owner
        step(up, true);
      }
      break;
    }
    case E::Exited:
      s.endPress();
      break;
    case E::Entered:
      break;
  }
}

void AutoRepeat::startRepeating(bool up) { startRepeating(state_, up, state_->press); }

void AutoRepeat::startRepeating(const std::shared_ptr<State>& state, bool up, uint64_t press) {
  if (!state->holds(press) || state->repeating == press) return;
  state->repeating = press;
  scheduleStep(state, up, press, std::chrono::milliseconds(0));
}

void AutoRepeat::scheduleStep(const std::shared_ptr<State>& state, bool up, uint64_t press,
                              std::chrono::milliseconds after) {
  auto run = [weak = std::weak_ptr<State>(state), up, press] {
    auto s = weak.lock();
    if (!s || !s->holds(press) || s->repeating != press) return;
    scheduleStep(s, up, press, s->interval);
    if (s->step) {
      auto step = s->step;
      step(up, false);
    }
  };
  if (after.count() == 0) {
    run();
  } else {
    dispatch::mainQueue()->after(after, std::move(run));
  }
}
