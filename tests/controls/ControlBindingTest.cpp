// Commands bound to controls and text-change signals: a bound command
// disables its button while it runs and runs on a click, its enabled input
// disables the button at once, replacing or removing the command ends the old
// binding; text signals report the user's typing and not code's sets, and
// stop when disposed or when the field goes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "controls/ControlsTestSupport.h"
#include "controls/RSControlCommand.h"
#include "controls/RSTextSignals.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Button.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "reactive/RSSignal.h"
#include "reactive/RSSubject.h"

namespace {

using controls_test::runUntil;
using ui::Point;
using ui::Rect;

struct CommandFixture : ::testing::Test, controls_test::WindowFixture {
  void SetUp() override {
    button = ui::View::create<ui::Button>(Rect(20, 20, 80, 30));
    window->contentView()->addSubview(button);
  }
  std::shared_ptr<ui::Button> button;
};

TEST_F(CommandFixture, ABoundCommandDisablesItsButtonWhileItRuns) {
  RSReplaySubjectPtr work;  // replays its end to a late subscription
  std::vector<std::shared_ptr<fnd::Object>> inputs;
  auto command = RSCommand::initWithSignalBlock([&](const fnd::Value& input) {
    inputs.push_back(input.asObject());
    work = RSReplaySubject::subject();
    return std::static_pointer_cast<RSSignal>(work);
  });
  setRs_command(*button, command);
  EXPECT_EQ(rs_command(*button), command);
  EXPECT_TRUE(button->isEnabled());

  ui::testing::Pointer p(*window);
  p.click({50, 35});
  ASSERT_EQ(inputs.size(), 1u);
  EXPECT_EQ(inputs[0], button);  // the control is the input
  EXPECT_TRUE(runUntil([&] { return !button->isEnabled(); }));

  // A click on the disabled button starts nothing.
  p.wait(2000);
  p.click({50, 35});
  EXPECT_EQ(inputs.size(), 1u);

  work->sendCompleted();
  EXPECT_TRUE(runUntil([&] { return button->isEnabled(); }));
}

TEST_F(CommandFixture, TheEnabledInputAppliesAtOnceAndRemovingTheCommandReenables) {
  auto enabled = RSSubject::subject();
  auto command = RSCommand::initWithEnabled(std::static_pointer_cast<RSSignal>(enabled->startWith(fnd::Value(false))),
                                            [](const fnd::Value&) { return RSSignal::empty(); });
  std::vector<std::string> logged;
  auto previous = fnd::setLogSink([&](const std::string& line) { logged.push_back(line); });
  auto other = ui::View::create<ui::View>();
  button->setTarget(other);
  button->setAction([](ui::Control&) {}, "other");

  setRs_command(*button, command);
  EXPECT_FALSE(button->isEnabled());  // the first value, at once
  enabled->sendNext(fnd::Value(true));
  EXPECT_TRUE(runUntil([&] { return button->isEnabled(); }));
  EXPECT_EQ(button->actionName(), RSCommandActionName);
  EXPECT_EQ(button->target(), button);

  // A second command takes over quietly; the first one's binding is over.
  auto second = RSCommand::initWithSignalBlock([](const fnd::Value&) { return RSSignal::empty(); });
  setRs_command(*button, second);
  fnd::setLogSink(previous);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("hijacks the control's existing target and action"), std::string::npos);
  enabled->sendNext(fnd::Value(false));
  QCoreApplication::processEvents();
  EXPECT_TRUE(button->isEnabled());

  // No command: enabled, target and action left as they are.
  button->setEnabled(false);
  setRs_command(*button, nullptr);
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(rs_command(*button), nullptr);
  EXPECT_EQ(button->actionName(), RSCommandActionName);
}

struct TextFixture : ::testing::Test, controls_test::WindowFixture {
  void type(const QString& text) {
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    for (QChar ch : text) {
      QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
      QCoreApplication::sendEvent(QApplication::focusWidget(), &down);
    }
  }
};

TEST_F(TextFixture, AFieldSignalStartsWithItsTextAndFollowsTypingOnly) {
  auto field = ui::View::create<ui::TextField>(Rect(10, 10, 200, 24));
  window->contentView()->addSubview(field);
  field->setStringValue("start");
  auto signal = rs_textSignal(*field);
  field->setStringValue("later");  // before subscribing: the signal keeps the text it was made with

  std::vector<std::string> seen;
  auto d = signal->subscribeNext([&](const fnd::Value& v) { seen.push_back(v.stringValue()); });
  window->makeFirstResponder(field.get());
  type("ab");  // replaces the selected text
  field->setStringValue("by code");  // code's sets are no text changes
  EXPECT_EQ(seen, (std::vector<std::string>{"start", "a", "ab"}));

  d->dispose();
  type("c");
  EXPECT_EQ(seen.size(), 3u);

  // The signal does not keep the field.
  std::weak_ptr<ui::TextField> weak = field;
  auto kept = signal->subscribeNext([](const fnd::Value&) {});
  window->makeFirstResponder(nullptr);
  field->removeFromSuperview();
  field.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(weak.expired());
  kept->dispose();
}

TEST_F(TextFixture, ATextViewSignalFollowsEditsButNotSetString) {
  auto view = ui::View::create<ui::TextView>(Rect(10, 50, 200, 100));
  window->contentView()->addSubview(view);
  view->setString("one");
  std::vector<std::string> seen;
  auto d = rs_textSignal(*view)->subscribeNext([&](const fnd::Value& v) { seen.push_back(v.stringValue()); });
  view->setString("two");
  view->editor()->appendPlainText("three");
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two\nthree"}));
  d->dispose();
}

}  // namespace
