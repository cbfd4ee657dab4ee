// Platform controls: target and action, a disabled control handing its
// presses on, button tracking, slider dragging and limits, and text fields
// (typing, Return, Tab, focus loss, which sets notify, sets from other
// threads, the intrinsic size).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "ui/ViewTestSupport.h"

namespace ui {
namespace {

using testing::Pointer;
using testing::RecordingView;
using Log = std::vector<std::string>;

struct ControlWindow : testing::WindowFixture {
  void SetUp() override {
    window = Window::create(Rect(0, 0, 300, 200));
    window->makeKeyAndOrderFront();
    QCoreApplication::processEvents();  // the activation arrives through the event loop
  }
  template <class T>
  std::shared_ptr<T> add(Rect frame, View* parent = nullptr) {
    auto v = View::create<T>(frame);
    (parent ? *parent : *window->contentView()).addSubview(v);
    return v;
  }
};

TEST(Control, ActionRunsForALiveOrAbsentTargetOnlyAndNumbersReadLikeText) {
  auto c = View::create<Control>(Rect(0, 0, 10, 10));
  int runs = 0;
  EXPECT_FALSE(c->sendAction());  // no action yet
  c->setAction([&](Control&) { ++runs; }, "count");
  EXPECT_TRUE(c->sendAction());  // no target: runs
  auto target = View::create<View>();
  c->setTarget(target);
  EXPECT_TRUE(c->sendAction());
  target.reset();
  EXPECT_FALSE(c->sendAction());  // the target went: nothing
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(c->actionName(), "count");

  EXPECT_DOUBLE_EQ(Control::leadingNumber("  -12.5e1xyz"), -125);
  EXPECT_DOUBLE_EQ(Control::leadingNumber("3e"), 3);
  EXPECT_DOUBLE_EQ(Control::leadingNumber("abc"), 0);
  EXPECT_DOUBLE_EQ(Control::leadingNumber("."), 0);
  EXPECT_DOUBLE_EQ(Control::leadingNumber("1e999"), 0);  // overflow reads as no number
  EXPECT_EQ(Control::shortestText(100), "100");
  EXPECT_EQ(Control::shortestText(0.1), "0.1");
  EXPECT_EQ(Control::shortestText(double(1.0f / 3.0f)), "0.3333333432674408");
  c->setFloatValue(2.5f);
  EXPECT_EQ(c->stringValue(), "2.5");
  EXPECT_EQ(c->integerValue(), 2);
}

TEST_F(ControlWindow, ADisabledControlHandsItsPressesToTheNextResponderAndEnabledIsObservable) {
  auto parent = add<RecordingView>(Rect(0, 0, 200, 200));
  auto button = add<Button>(Rect(10, 10, 80, 30), parent.get());
  int clicks = 0;
  button->setAction([&](Control&) { ++clicks; });
  std::vector<bool> seen;
  button->addObserver("enabled", fnd::KVONew, [&](const fnd::KVOChange& ch) { seen.push_back(ch.newValue.boolValue()); });

  Pointer p(*window);
  p.click({50, 25});
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(parent->log.empty());
  p.wait(2000);

  button->setValueForKey("enabled", fnd::Value(false));
  EXPECT_FALSE(button->isEnabled());
  p.click({50, 25});
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(parent->log, (Log{"down:1", "up:1"}));
  EXPECT_EQ(seen, (std::vector<bool>{false}));
}

TEST_F(ControlWindow, ButtonHighlightFollowsThePointerAndOnlyAReleaseInsideActs) {
  auto button = add<Button>(Rect(10, 10, 80, 30));
  int clicks = 0;
  button->setAction([&](Control&) { ++clicks; });
  Pointer p(*window);
  p.press({50, 25});
  EXPECT_TRUE(button->isHighlighted());
  p.move({150, 150});
  EXPECT_FALSE(button->isHighlighted());
  p.move({40, 20});
  EXPECT_TRUE(button->isHighlighted());
  p.move({150, 150});
  p.release({150, 150});
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button->isHighlighted());

  button->setButtonType(ButtonType::Toggle);
  p.click({50, 25});
  EXPECT_EQ(button->state(), OnState);
  p.wait(2000);
  p.click({50, 25});
  EXPECT_EQ(button->state(), OffState);
  EXPECT_EQ(clicks, 2);
  p.wait(2000);

  // A button that removes itself from its own action is not freed under it.
  button->setAction([&](Control& sender) {
    ++clicks;
    sender.removeFromSuperview();
  });
  std::weak_ptr<Button> weak = button;
  button.reset();
  p.click({50, 25});
  EXPECT_EQ(clicks, 3);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(weak.expired());
}

TEST_F(ControlWindow, SliderDragsFromTheGripJumpsOnTheBarAndHoldsItsLimits) {
  // Horizontal, 220 wide: the knob's centre travels from 10 to 210.
  auto slider = add<Slider>(Rect(0, 100, 220, 20));
  slider->setMinValue(0);
  slider->setMaxValue(100);
  std::vector<double> sent;
  slider->setAction([&](Control& c) { sent.push_back(c.doubleValue()); });
  Pointer p(*window);

  // A press on the bar moves the knob's centre there.
  p.press({110, 110});
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 50);
  // Dragging keeps the grip; beyond the end it stops at the maximum.
  p.move({160, 110});
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 75);
  p.move({400, 110});
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 100);
  p.release({400, 110});
  EXPECT_EQ(sent, (std::vector<double>{50, 75, 100, 100}));  // every change, then the release

  // A press off the knob's centre but on it keeps the offset.
  sent.clear();
  slider->setDoubleValue(0);  // knob 0..20
  p.press({15, 110});
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 0);
  p.move({25, 110});
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 5);
  p.release({25, 110});

  slider->setDoubleValue(std::nan(""));
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 5);
  slider->setDoubleValue(-40);
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 0);
  slider->setMaxValue(-10);  // an empty range reads as its minimum
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 0);
  EXPECT_DOUBLE_EQ(slider->sliderCell().fraction(), 0);
}

TEST_F(ControlWindow, VerticalSliderHasItsMinimumAtTheBottom) {
  auto slider = add<Slider>(Rect(10, 0, 20, 120));  // flipped: the knob travels 10..110 from the top
  ASSERT_TRUE(slider->isVertical());
  slider->setMaxValue(10);
  Pointer p(*window);
  p.click({20, 10});  // window y-up: near the bottom
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 0);
  p.wait(2000);
  p.click({20, 110});  // the top
  EXPECT_DOUBLE_EQ(slider->doubleValue(), 10);
  slider->setDoubleValue(5);
  EXPECT_DOUBLE_EQ(slider->sliderCell().knobRect().midY(), 60);
}

struct RecordingDelegate : TextFieldDelegate {
  void controlTextDidBeginEditing(TextField&) override { log.push_back("begin"); }
  void controlTextDidChange(TextField& f) override { log.push_back("change:" + f.stringValue()); }
  void controlTextDidEndEditing(TextField& f) override { log.push_back("end:" + f.stringValue()); }
  Log log;
};

struct TextFieldWindow : ControlWindow {
  void SetUp() override {
    ControlWindow::SetUp();
    first = add<TextField>(Rect(10, 150, 200, 24));
    second = add<TextField>(Rect(10, 100, 200, 24));
    first->setStringValue("alpha");
    second->setStringValue("beta");
    first->setDelegate(delegate);
    first->setAction([this](Control&) { log.push_back("action"); });
    first->addObserver("stringValue", fnd::KVONew,
                       [this](const fnd::KVOChange& ch) { log.push_back("kvo:" + ch.newValue.stringValue()); });
  }
  void type(const QString& text) {
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    for (QChar ch : text) {
      QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
      QCoreApplication::sendEvent(QApplication::focusWidget(), &down);
    }
  }
  std::shared_ptr<TextField> first, second;
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  Log log;
};

TEST_F(TextFieldWindow, TypingChangesTheTextWithoutNotifyingAndReturnEndsTheEdit) {
  Pointer p(*window);
  p.click({50, 160});
  ASSERT_TRUE(first->isEditing());
  EXPECT_EQ(QApplication::focusWidget(), first->fieldEditor());
  EXPECT_TRUE(first->fieldEditor()->hasSelectedText());  // selectText selects all
  const Size before = first->intrinsicContentSize();
  type("xyz!");
  EXPECT_EQ(first->stringValue(), "xyz!");
  EXPECT_EQ(delegate->log, (Log{"begin", "change:x", "change:xy", "change:xyz", "change:xyz!"}));
  EXPECT_TRUE(log.empty());  // typing notifies no observer of the value
  EXPECT_NE(first->intrinsicContentSize().width, before.width);

  p.key(Qt::Key_Return);
  EXPECT_FALSE(first->isEditing());
  EXPECT_EQ(first->stringValue(), "xyz!");
  EXPECT_EQ(log, (Log{"action"}));
  EXPECT_EQ(delegate->log.back(), "end:xyz!");

  // Code setting the value notifies, whether or not it changes.
  first->setStringValue("xyz!");
  EXPECT_EQ(log.back(), "kvo:xyz!");
}

TEST_F(TextFieldWindow, TabMovesOnSelectingAllAndFocusLossEndsTheEdit) {
  window->makeFirstResponder(first.get());
  ASSERT_TRUE(first->isEditing());
  type("q");
  Pointer p(*window);
  p.key(Qt::Key_Tab, "\t");
  EXPECT_FALSE(first->isEditing());
  EXPECT_EQ(first->stringValue(), "q");
  ASSERT_TRUE(second->isEditing());
  EXPECT_EQ(window->firstResponder(), second.get());
  EXPECT_EQ(second->fieldEditor()->selectedText(), "beta");
  EXPECT_EQ(log, (Log{"action"}));

  // Focus taken by something else ends the edit as well.
  second->setAction([this](Control&) { log.push_back("second"); });
  QLineEdit elsewhere(window->widget());
  elsewhere.show();
  elsewhere.setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(second->isEditing());
  EXPECT_EQ(log.back(), "second");
  EXPECT_EQ(QApplication::focusWidget(), &elsewhere);  // not taken back

  // A click on the field edits it again.
  Pointer p2(*window);
  p2.click({50, 110});
  EXPECT_TRUE(second->isEditing());
}

TEST_F(TextFieldWindow, ASetFromAnotherThreadIsAppliedOnTheMainThread) {
  std::atomic<bool> onMain{true};
  first->addObserver("stringValue", fnd::KVONew, [&](const fnd::KVOChange&) { onMain = dispatch::isMainThread(); });
  std::thread worker([f = first] { f->setStringValue("from worker"); });
  worker.join();
  EXPECT_EQ(first->stringValue(), "alpha");  // not yet
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (first->stringValue() != "from worker" && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(first->stringValue(), "from worker");
  EXPECT_TRUE(onMain);
}

TEST_F(TextFieldWindow, IntrinsicSizeFollowsTextAndFontAndLabelsDoNotEdit) {
  auto label = TextField::labelWithString("Hi");
  window->contentView()->addSubview(label);
  const Size small = label->intrinsicContentSize();
  label->setStringValue("A much longer label");
  EXPECT_GT(label->intrinsicContentSize().width, small.width);
  const Size text = label->intrinsicContentSize();
  label->setFont(Font::systemFontOfSize(30));
  EXPECT_GT(label->intrinsicContentSize().height, text.height);
  EXPECT_FALSE(window->makeFirstResponder(label.get()));
  EXPECT_FALSE(label->isEditing());
}

}  // namespace
}  // namespace ui
