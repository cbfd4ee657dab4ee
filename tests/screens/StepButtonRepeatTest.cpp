// Held step buttons, in both places that have them (the knob cell of the
// module editor and the vertical slider view of the EXP and system screens):
// presses and releases on the dispatch clock, moved by hand, and the steps
// counted. A click steps once, a hold repeats at 0.3 s and then every 0.1 s
// and steps once more at the release, and no sequence of presses ever runs
// two repetitions at once.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/GGVerticalSliderView.h"
#include "platform/dispatch/ManualClock.h"
#include "screens/ScreensTestSupport.h"
#include "screens/editor/GGEffectParmaView.h"
#include "screens/models/GGFuncEffectModel.h"

using namespace svc_test;
using Event = SWSTAnswerButton::MouseEvent;

namespace {

// One owner of a pair of step buttons, with its steps counted.
struct Stepper {
  virtual ~Stepper() = default;
  virtual std::shared_ptr<SWSTAnswerButton> button(bool up) = 0;
  virtual int steps() = 0;
  virtual bool held() = 0;
};

struct KnobCellStepper : Stepper {
  GGFuncEffectModelPtr type;
  GGEffectParmaViewPtr cell = GGEffectParmaView::createView();
  int sends = 0;
  KnobCellStepper() {
    const nlohmann::json entry{{"typeName", "LEVEL"}, {"minValue", "0"}, {"maxValue", "100"}};
    type = GGFuncEffectModel::initWithEffectName("EQ", {entry}, "TEST");
    type->setParams(std::make_shared<GGEffectParmaList>(GGEffectParmaList{
        std::make_shared<GGEffectParmaModel>(0, std::vector<std::string>{"LEVEL"}, "50")}));
    cell->setItemModel(type->effects().at(0));
    cell->GoSendData = [this] { ++sends; };
  }
  ~KnobCellStepper() override {
    cell.reset();
    flushMainQueue();  // the value label's queued writes
  }
  std::shared_ptr<SWSTAnswerButton> button(bool up) override {
    return (up ? cell->upButton : cell->downButton).lock();
  }
  int steps() override { return sends; }
  bool held() override { return cell->isMouseDown(); }
};

struct SliderViewStepper : Stepper, GGVerticalSliderViewDelegate {
  std::shared_ptr<GGVerticalSliderView> view = GGVerticalSliderView::createView();
  int reports = 0;
  void sliderDragAtCell(GGVerticalSliderView&, const std::string&, bool) override {}
  void addOrMinusActionAtCell(GGVerticalSliderView&, bool) override { ++reports; }
  std::shared_ptr<SWSTAnswerButton> button(bool up) override {
    return (up ? view->upButton : view->downButton).lock();
  }
  int steps() override { return reports; }
  bool held() override { return view->isMouseDown(); }
};

std::shared_ptr<Stepper> makeKnobCell() { return std::make_shared<KnobCellStepper>(); }
std::shared_ptr<Stepper> makeSliderView() {
  auto s = std::make_shared<SliderViewStepper>();
  s->view->delegate = s;
  return s;
}

struct At {
  int ms;  // since the first event
  Event event;
};

struct PressCase {
  const char* name;
  std::vector<At> events;
  int steps;
};

// The steps: a click 1; a hold 1 at 0.3 s, 1 each 0.1 s after, 1 at the
// release; a hold that the pointer leaves stops repeating there.
const PressCase kPressCases[] = {
    {"a click", {{0, Event::Down}, {100, Event::Up}}, 1},
    {"a clean hold", {{0, Event::Down}, {950, Event::Up}}, 7 + 1},
    // The click's start, due at 300, must not begin repeating for the hold;
    // the hold's own start comes at 500: 500 ... 1100.
    {"a click then a hold", {{0, Event::Down}, {100, Event::Up}, {200, Event::Down}, {1150, Event::Up}}, 1 + 7 + 1},
    // 300, 400, 500 and the release; then 880 ... 1180 and the release.
    {"a quick release and re-press",
     {{0, Event::Down}, {550, Event::Up}, {580, Event::Down}, {1230, Event::Up}},
     4 + 5},
    {"a hold the pointer leaves", {{0, Event::Down}, {450, Event::Exited}, {900, Event::Up}}, 2 + 1},
};

const struct Owner {
  const char* name;
  std::shared_ptr<Stepper> (*make)();
} kOwners[] = {{"knob cell", makeKnobCell}, {"vertical slider view", makeSliderView}};

struct StepButtonRepeat : ::testing::Test {
  void SetUp() override { dispatch::setClockForTesting(clock); }
  void TearDown() override {
    dispatch::setClockForTesting(nullptr);
    flushMainQueue();
  }
  // Moves the clock in 10 ms steps, running on the main queue what each
  // step made due, as the program's loop would.
  void advanceTo(int ms) {
    for (; now < ms; now += 10) {
      clock->advance(std::chrono::milliseconds(10));
      flushMainQueue();
    }
  }
  std::shared_ptr<dispatch::ManualClock> clock = std::make_shared<dispatch::ManualClock>();
  int now = 0;
};

TEST_F(StepButtonRepeat, EachPressSequenceStepsAsOftenAsItShouldOnEveryOwner) {
  for (const Owner& owner : kOwners) {
    for (const PressCase& c : kPressCases) {
      for (const bool up : {true, false}) {
        SCOPED_TRACE(std::string(owner.name) + ", " + c.name + (up ? ", up" : ", down"));
        now = 0;
        auto stepper = owner.make();
        auto button = stepper->button(up);
        ASSERT_TRUE(button && button->arrowMouseAction);
        for (const At& at : c.events) {
          advanceTo(at.ms);
          button->arrowMouseAction(at.event);
        }
        flushMainQueue();
        EXPECT_FALSE(stepper->held());
        EXPECT_EQ(stepper->steps(), c.steps);
        // Nothing more comes however long one waits on the clock.
        advanceTo(now + 1000);
        EXPECT_EQ(stepper->steps(), c.steps);
      }
    }
  }
}

}  // namespace
