// The multi-state button's looks and reports through hover, presses and
// releases inside and outside, selection, a disabled button and a press cut
// short; the text classes: style clamping and patterns, the name field's
// own editing rules, the centred cell, the label set from any thread; the
// loading view's percentage from another thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <thread>

#include "controls/ControlsTestSupport.h"
#include "controls/StartLoadingView.h"
#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTextField.h"
#include "platform/ui/Image.h"

namespace {

using controls_test::runUntil;
using ui::Rect;
using Reports = std::vector<SWSTAnswerButton::MouseEvent>;
constexpr auto kEntered = SWSTAnswerButton::MouseEvent::Entered, kDown = SWSTAnswerButton::MouseEvent::Down,
               kUp = SWSTAnswerButton::MouseEvent::Up, kExited = SWSTAnswerButton::MouseEvent::Exited;

struct AnswerFixture : ::testing::Test, controls_test::WindowFixture {
  void SetUp() override {
    button = ui::View::create<SWSTAnswerButton>(Rect(100, 100, 40, 40));
    button->images[SWSTAnswerButton::Normal] = normal;
    button->images[SWSTAnswerButton::Hover] = hover;
    button->images[SWSTAnswerButton::Highlight] = pressed;
    button->arrowMouseAction = [this](SWSTAnswerButton::MouseEvent k) { reports.push_back(k); };
    button->setAction([this](ui::Control& sender) {
      ++actions;
      EXPECT_EQ(&sender, button.get());
    });
    window->contentView()->addSubview(button);
    QCoreApplication::processEvents();
  }
  // The window closes after this fixture's members are gone.
  void TearDown() override {
    button->arrowMouseAction = nullptr;
    button->setAction(nullptr);
  }
  static std::shared_ptr<ui::Image> picture(double side) {
    return ui::Image::render(ui::Size{side, side}, [](ui::GraphicsContext&) {});
  }
  std::shared_ptr<ui::Image> normal = picture(30), hover = picture(31), pressed = picture(32);
  std::shared_ptr<SWSTAnswerButton> button;
  Reports reports;
  int actions = 0;
};

TEST_F(AnswerFixture, AClickInsideShowsHoverAndSendsTheActionAfterTheRelease) {
  EXPECT_EQ(button->image(), normal);  // applied when added
  ui::testing::Pointer p(*window);
  p.move({120, 120});
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Hover);
  EXPECT_EQ(button->image(), hover);
  p.press({120, 120});
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Highlight);
  EXPECT_EQ(button->image(), pressed);
  p.release({120, 120});
  EXPECT_EQ(actions, 0);  // not inside the release
  EXPECT_TRUE(runUntil([&] { return actions == 1; }));
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Hover);
  EXPECT_EQ(button->image(), hover);
  EXPECT_EQ(reports, (Reports{kEntered, kDown, kUp}));
}

TEST_F(AnswerFixture, DraggingOutBeforeTheReleaseSendsNothingAndReportsTheExit) {
  ui::testing::Pointer p(*window);
  p.move({120, 120});
  p.press({120, 120});
  p.move({300, 250});
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Normal);
  p.release({300, 250});
  QCoreApplication::processEvents();
  EXPECT_EQ(actions, 0);
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Normal);
  EXPECT_EQ(reports, (Reports{kEntered, kDown, kExited, kUp}));
}

TEST_F(AnswerFixture, SelectableButtonsToggleAndKeepThePressedImageWhileSelected) {
  button->setCanSelected(true);
  ui::testing::Pointer p(*window);
  p.move({120, 120});
  p.click({120, 120});
  EXPECT_TRUE(button->selected());
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Selected);
  EXPECT_EQ(button->image(), pressed);  // no selected image: the last one shown
  p.move({300, 250});  // leaving does not change a selected look
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Selected);
  p.move({120, 120});
  p.wait(2000);
  p.click({120, 120});
  EXPECT_FALSE(button->selected());
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Hover);
  EXPECT_TRUE(runUntil([&] { return actions == 2; }));

  button->setHasBorder(true);
  button->cornerRadii.fill(5);
  button->updateButtonApperaceWithState(SWSTAnswerButton::Hover);
  EXPECT_EQ(button->layer().cornerRadius(), 5);
  EXPECT_EQ(button->layer().borderWidth(), 1);
  button->setHasBorder(false);
  EXPECT_EQ(button->layer().cornerRadius(), 0);
  EXPECT_EQ(button->layer().borderWidth(), 0);
}

TEST_F(AnswerFixture, ADisabledButtonOnlyReportsAndAPressCutShortStillEnds) {
  button->setEnabled(false);
  ui::testing::Pointer p(*window);
  p.move({120, 120});
  p.click({120, 120});
  p.move({300, 250});
  QCoreApplication::processEvents();
  EXPECT_EQ(actions, 0);
  EXPECT_EQ(reports, (Reports{kEntered, kDown, kUp, kExited}));
  EXPECT_EQ(button->buttonState(), SWSTAnswerButton::Normal);  // hover only; no press look

  // Hidden while pressed: the owner still hears the exit and the release.
  button->setEnabled(true);
  reports.clear();
  p.move({120, 120});
  p.press({120, 120});
  button->setHidden(true);
  p.release({120, 120});
  QCoreApplication::processEvents();
  EXPECT_EQ(reports, (Reports{kEntered, kDown, kExited, kUp}));
  EXPECT_EQ(actions, 0);
}

TEST(ZrTextField, StylesClampNumbersOnlyAndPickTheirPattern) {
  auto field = ui::View::create<ZrTextField>(Rect(0, 0, 100, 20));
  field->setStringValue("250");
  field->Zr_TextFieldStyle(1, 0, 100, 0);
  EXPECT_EQ(field->stringValue(), "100");
  field->setStringValue("-5");
  field->Zr_TextFieldStyle(1, 0, 100, 0);
  EXPECT_EQ(field->stringValue(), "0");
  EXPECT_EQ(field->pattern(), ZrTextField::kIntegerPattern);

  // A name is never replaced by a bound, whatever the style.
  field->setStringValue("150 Watts");
  field->Zr_TextFieldStyle(1, 10, 20, 0);
  EXPECT_EQ(field->stringValue(), "150 Watts");
  field->patternString = "^[0-9a-zA-Z-\\s]+$";
  field->Zr_TextFieldStyle(4, 0, 0, 0);
  EXPECT_EQ(field->stringValue(), "150 Watts");
  EXPECT_EQ(field->pattern(), "^[0-9a-zA-Z-\\s]+$");

  field->Zr_TextFieldStyle(2, -1, 1, 3);
  EXPECT_EQ(field->pattern(), "^(\\-|\\+)?\\d+(\\.\\d{1,3})?$");
  field->Zr_TextFieldStyle(7, -1, 1, 3);
  EXPECT_EQ(field->pattern(), "^(\\-|\\+)?\\d+(\\.\\d{1,3})?$");  // kept
  field->Zr_TextFieldStyle(3, 0, 1, 2);
  EXPECT_EQ(field->pattern(), "^(\\+)?\\d+(\\.\\d{1,2})?$");
  field->setStringValue(" 2.5 ");
  field->Zr_TextFieldStyle(3, 0, 1, 2);
  EXPECT_EQ(field->stringValue(), "1");
}

TEST(ZrTextField, TabSelectsNothingAndEndingTheEditSendsNothing) {
  controls_test::WindowFixture w;
  auto other = ui::View::create<ui::TextField>(Rect(10, 60, 100, 22));
  auto field = ui::View::create<ZrTextField>(Rect(10, 10, 100, 22));
  w.window->contentView()->addSubview(other);
  w.window->contentView()->addSubview(field);
  field->setStringValue("Clean");
  int actions = 0;
  field->setAction([&](ui::Control&) { ++actions; });
  w.window->makeFirstResponder(other.get());
  ui::testing::Pointer p(*w.window);
  p.key(Qt::Key_Tab, "\t");
  ASSERT_TRUE(field->isEditing());
  EXPECT_FALSE(field->fieldEditor()->hasSelectedText());
  // Typing goes in at the end, unfiltered; the owners filter.
  QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, "!");
  QCoreApplication::sendEvent(field->fieldEditor(), &key);
  EXPECT_EQ(field->stringValue(), "Clean!");
  p.key(Qt::Key_Return);
  EXPECT_FALSE(field->isEditing());
  EXPECT_EQ(actions, 0);
}

TEST(ZrTextFieldCell, CentresOneLineAndKeepsTallText) {
  auto field = ui::View::create<ui::TextField>(Rect(0, 0, 200, 40));
  field->setBezeled(false);
  auto cell = std::make_shared<ZrTextFieldCell>();
  field->setCell(cell);
  cell->setStringValue("one line");
  const ui::Rect r = cell->titleRectForBounds(field->bounds());
  EXPECT_NEAR(r.midY(), 20, 1e-9);
  EXPECT_LT(r.height(), 40);
  cell->setStringValue("a\nb\nc\nd\ne");
  EXPECT_EQ(cell->titleRectForBounds(Rect(0, 0, 200, 20)).height(), 20);
}

TEST(ZrEditTextFieldCell, TheEditorWritesWhiteWhateverTheCellsTextColour) {
  controls_test::WindowFixture w;
  auto field = ui::View::create<ui::TextField>(Rect(10, 10, 100, 22));
  field->setCell(std::make_shared<ZrEditTextFieldCell>());
  field->setEditable(true);
  field->setTextColor(ui::Color::blackColor());
  w.window->contentView()->addSubview(field);
  w.window->makeFirstResponder(field.get());
  ASSERT_TRUE(field->isEditing());
  EXPECT_EQ(field->fieldEditor()->palette().color(QPalette::Text), QColor(Qt::white));
}

TEST(TitleLabel, TextArrivesOnTheMainQueueInOrderFromAnyThread) {
  auto label = ui::View::create<TitleLabel>();
  label->setStringValue("first");
  EXPECT_EQ(label->stringValue(), "");  // not yet
  std::thread([label] {
    label->setStringValue("second");
    label->setStringValue("third");
  }).join();
  EXPECT_TRUE(runUntil([&] { return label->stringValue() == "third"; }));
  label->setBgC(ui::Color::redColor());
  EXPECT_EQ(label->layer().backgroundColor(), ui::Color::redColor());
}

TEST(StartLoadingView, ShowsTheLatestPercentageRoundedByTheFormat) {
  EXPECT_EQ(StartLoadingView::progressText(1.0 / 200), "LOADING...(0%)");
  EXPECT_EQ(StartLoadingView::progressText(3.0 / 200), "LOADING...(2%)");
  EXPECT_EQ(StartLoadingView::progressText(100.0 / 200), "LOADING...(50%)");
  EXPECT_EQ(StartLoadingView::progressText(199.0 / 200), "LOADING...(100%)");
  EXPECT_EQ(StartLoadingView::progressText(201.0 / 200), "LOADING...(100%)");

  auto view = ui::View::create<StartLoadingView>();
  view->setFrame(Rect(0, 0, 242, 100));
  EXPECT_EQ(view->titleLabel()->stringValue(), "LOADING...");
  EXPECT_EQ(view->activityView()->frame(), Rect(15, 25, 50, 50));
  view->titleLabel()->setStringValue("Restoring ...");
  std::thread([view] {
    for (int i = 1; i <= 200; ++i) view->setProgress(i / 200.0);
  }).join();
  EXPECT_EQ(view->titleLabel()->stringValue(), "Restoring ...");  // until the main queue runs
  EXPECT_TRUE(runUntil([&] { return view->titleLabel()->stringValue() == "LOADING...(100%)"; }));
  EXPECT_DOUBLE_EQ(view->progress(), 1.0);
}

TEST(TTActivityView, TheRingBuildsUpInTheFirstSecondAndPulses) {
  for (int k = 0; k < TTActivityView::kDots; ++k) EXPECT_EQ(TTActivityView::dotScale(k, 0.0 - 1e-9), 0);
  EXPECT_EQ(TTActivityView::dotScale(0, 0), 1);
  EXPECT_EQ(TTActivityView::dotScale(3, 0.3), 0);  // starts at 0.375
  for (int k = 0; k < TTActivityView::kDots; ++k) EXPECT_GT(TTActivityView::dotScale(k, 1.0), 0.39);
  EXPECT_NEAR(TTActivityView::dotScale(0, 0.5), 0.7, 1e-12);
  EXPECT_NEAR(TTActivityView::dotScale(0, 0.999), 0.4006, 1e-9);
}

}  // namespace
