// The gallery: every control of this layer and of the platform below it,
// drawn in its states and saved as PNGs in the build folder (gallery-*.png)
// for a person to look at. A few spot checks make sure the pictures hold
// what they should.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "controls/ControlsTestSupport.h"
#include "controls/EffectInsertButton.h"
#include "controls/GGCircularSlider.h"
#include "controls/GGCoustomButton.h"
#include "controls/GGFunctionButton.h"
#include "controls/GGPopView.h"
#include "controls/GGSwitch.h"
#include "controls/GGVerticalSliderView.h"
#include "controls/ITProgressBar.h"
#include "controls/NSPopNormalView.h"
#include "controls/SettingResetView.h"
#include "controls/StartLoadingView.h"
#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTableView.h"
#include "controls/ZrTextField.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/Slider.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"

namespace {

using ui::Rect;

using controls_test::caption;
using controls_test::colourAt;
using controls_test::near;
using controls_test::put;
using controls_test::snapshot;

// The most saturated colour the picture shows within `r` of `view`.
QColor mostSaturatedIn(const QImage& image, const ui::View& view, Rect r) {
  QColor best(0, 0, 0);
  controls_test::eachColourIn(image, view, r, [&](const QColor& c) {
    if (c.hsvSaturation() > best.hsvSaturation()) best = c;
  });
  return best;
}

// How many pixels within `r` of `view` are nearly white (drawn text).
int whitePixelsIn(const QImage& image, const ui::View& view, Rect r) {
  int n = 0;
  controls_test::eachColourIn(image, view, r, [&](const QColor& c) {
    if (c.red() > 220 && c.green() > 220 && c.blue() > 220) ++n;
  });
  return n;
}

struct Names : ui::TableViewDataSource, ui::TableViewDelegate {
  std::vector<std::string> names{"P01 Clean", "P02 Crunch", "P03 Lead", "P04 Ambient"};
  long numberOfRowsInTableView(ui::TableView&) override { return long(names.size()); }
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView&, ui::TableColumn*, long row) override {
    auto l = ui::TextField::labelWithString(names[size_t(row)]);
    l->setFrameOrigin({6, 4});
    auto cell = ui::View::create<ui::TableCellView>();
    cell->addSubview(l);
    return cell;
  }
};

TEST(Gallery, PlatformControlsInTheirStates) {
  controls_test::WindowFixture w(640, 300);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::calibratedWhite(0.93));

  const char* titles[] = {"Normal", "Pressed", "Disabled", "Toggled on"};
  for (int i = 0; i < 4; ++i) {
    auto b = put<ui::Button>(c, Rect(20 + 110 * i, 250, 100, 28));
    b->setTitle(titles[i]);
    if (i == 1) b->highlight(true);
    if (i == 2) b->setEnabled(false);
    if (i == 3) {
      b->setButtonType(ui::ButtonType::Toggle);
      b->setState(ui::OnState);
    }
  }
  for (int i = 0; i < 3; ++i) {
    auto s = put<ui::Slider>(c, Rect(20 + 140 * i, 205, 130, 24));
    s->setDoubleValue(i * 0.5);
  }
  auto vertical = put<ui::Slider>(c, Rect(450, 150, 24, 130));
  vertical->setDoubleValue(0.25);

  auto label = ui::TextField::labelWithString("A label");
  label->setFrameOrigin({20, 170});
  c.addSubview(label);
  auto field = put<ui::TextField>(c, Rect(110, 168, 140, 24));
  field->setStringValue("Editable");
  auto empty = put<ui::TextField>(c, Rect(260, 168, 140, 24));
  empty->setPlaceholderString("Placeholder");
  auto editing = put<ui::TextField>(c, Rect(20, 130, 180, 24));
  editing->setStringValue("Being edited");
  w.window->makeFirstResponder(editing.get());

  auto names = std::make_shared<Names>();
  auto table = put<ui::TableView>(c, Rect(20, 10, 300, 110));
  table->addTableColumn(std::make_shared<ui::TableColumn>("name"));
  table->setGridStyleMask(ui::TableView::SolidHorizontalGridLineMask);
  table->setDataSource(names);
  table->setDelegate(names);
  table->reloadData();
  table->selectRowIndexes({1}, false);
  table->rowViewAtRow(3)->setBackgroundColor(ui::Color::rgb255(220, 235, 250));  // as a hover look would
  caption(c, 330, 100, "table: row 2 selected, row 4 tinted");

  const QImage image = snapshot(*w.window, "gallery-platform.png");
  EXPECT_FALSE(image.isNull());
}

TEST(Gallery, ControlsInTheirStates) {
  controls_test::WindowFixture w(760, 520);
  ui::AnimationClock::shared().setManual(true);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));

  // Knobs at the start, a quarter, the middle and the end.
  const double values[] = {0, 25, 50, 100};
  for (int i = 0; i < 4; ++i) {
    auto knob = put<GGCircularSlider>(c, Rect(20 + 100 * i, 420, 90, 72));
    knob->awakeFromNib();
    knob->configValue(values[i]);
    caption(c, 40 + 100 * i, 405, "value " + std::to_string(int(values[i])));
  }
  // Switches off and on, wide and narrow.
  for (int i = 0; i < 4; ++i) {
    auto sw = put<GGSwitch>(c, Rect(430 + 70 * (i % 2), 470 - 30 * (i / 2), i < 2 ? 60 : 24, 20));
    sw->setIsOn(i % 2 == 1);
  }
  caption(c, 430, 405, "switch off / on");

  // The multi-state button in its four looks, with a border.
  const char* looks[] = {"normal", "hover", "pressed", "selected"};
  for (unsigned i = 0; i < 4; ++i) {
    auto b = put<SWSTAnswerButton>(c, Rect(20 + 90 * i, 350, 80, 30));
    b->setTitle(looks[i]);
    b->setHasBorder(true);
    b->cornerRadii.fill(4);
    b->titleColors = {ui::Color::whiteColor(), ui::Color::whiteColor(), ui::Color::blackColor(),
                      ui::Color::whiteColor()};
    b->backgroundColors = {ui::Color::clearColor(), ui::Color::rgb255(70, 72, 78), ui::Color::rgb255(138, 214, 255),
                           ui::Color::rgb255(60, 70, 110)};
    b->setButtonState(i);
    b->updateButtonApperaceWithState(i);
  }

  // The drawn button: normal, hovered, pressed, on, and bare.
  for (int i = 0; i < 5; ++i) {
    auto b = put<GGCoustomButton>(c, Rect(20 + 100 * i, 300, 88, 34));
    if (i < 4) {
      b->setDefaultTitle(i == 3 ? "SAVE" : "YES");
      b->setDefaultTitleColor(ui::Color::whiteColor());
      b->setSelectedTitleColor(ui::Color::blackColor());
      b->setDefaultBackgroundColor(ui::Color::rgb255(99, 100, 100));
      b->setSelectedBackgroundColor(ui::Color::whiteColor());
      b->entertBackgroundColor = ui::Color::whiteColor();
      b->setRadius(4);
    }
    ui::Event e(ui::EventType::MouseEntered, b->frame().origin + ui::Point{5, 5}, w.window.get());
    if (i == 1) b->mouseEntered(e);
    if (i == 2) b->mouseDown(e);
    if (i == 3) b->setIsOn(true);
  }
  caption(c, 520, 310, "bare: fall-backs");

  // Slot row buttons, idle and with the minus half pressed.
  for (int i = 0; i < 2; ++i) {
    auto slot = put<EffectInsertButton>(c, Rect(360 + 60 * i, 255, 40, 20));
    ui::Event e(ui::EventType::LeftMouseDown, slot->frame().origin + ui::Point{35, 10}, w.window.get());
    if (i == 1) slot->mouseDown(e);
  }

  // Text classes.
  auto name = put<ZrTextField>(c, Rect(20, 255, 160, 22));
  name->setStringValue("P001 PRESET1");
  auto title = put<TitleLabel>(c, Rect(200, 255, 120, 22));
  title->setBgC(ui::Color::rgb255(75, 75, 75));
  title->setBezeled(false);
  title->setDrawsBackground(false);
  title->setTextColor(ui::Color::whiteColor());
  title->setStringValue("-20 dB");
  ASSERT_TRUE(controls_test::runUntil([&] { return title->stringValue() == "-20 dB"; }));

  // The loading view half way through its ring, with a percentage.
  auto loading = ui::View::create<StartLoadingView>();
  loading->setFrame(Rect(20, 140, 242, 100));
  loading->setWantsLayer(true);
  loading->layer().setBackgroundColor(ui::Color::blackColor().withAlphaComponent(0.3));
  c.addSubview(loading);
  loading->setProgress(0.42);
  ui::AnimationClock::shared().advance(0.6);
  ASSERT_TRUE(controls_test::runUntil([&] { return loading->titleLabel()->stringValue() == "LOADING...(42%)"; }));

  const QImage image = snapshot(*w.window, "gallery-controls.png");
  ui::AnimationClock::shared().setManual(false);

  // Spot checks (the window is y-up; the image y-down): the lit switch shows
  // the accent colour, the pressed multi-state button its accent background.
  auto pixel = [&](double px, double py) { return image.pixelColor(int(px), int(520 - py)); };
  EXPECT_EQ(pixel(520, 480), QColor(138, 214, 255));
  EXPECT_EQ(pixel(205, 365), QColor(138, 214, 255));
}

TEST(Gallery, TipsOfEachKind) {
  controls_test::WindowFixture w(1000, 200);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  const char* messages[] = {"Device data backup successful.", "Wrong preset file data format!", "abc", ""};
  const unsigned types[] = {NSPopNormalView::Success, NSPopNormalView::Warning, NSPopNormalView::Fail,
                            NSPopNormalView::Success};
  double x = 10;
  std::vector<std::shared_ptr<NSPopNormalView>> tips;
  for (unsigned i = 0; i < 4; ++i) {
    auto tip = NSPopNormalView::initWithType(types[i], messages[i]);
    tip->setFrameOrigin({x, 190 - tip->frame().height()});
    x += tip->frame().width() + 10;
    c.addSubview(tip);
    tips.push_back(tip);
  }
  const QImage image = snapshot(*w.window, "gallery-tips.png");
  // Each icon in its kind's colour: green, amber, red; the box grey.
  const QColor icons[] = {QColor(0x5f, 0xd3, 0x8d), QColor(0xf5, 0xc0, 0x4a), QColor(0xef, 0x6b, 0x6b),
                          QColor(0x5f, 0xd3, 0x8d)};
  for (unsigned i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const auto& icon = *tips[i]->iconImageView();
    EXPECT_TRUE(near(mostSaturatedIn(image, icon, icon.bounds()), icons[i], 8));
    EXPECT_TRUE(near(colourAt(image, *tips[i], {6, tips[i]->bounds().midY()}), QColor(75, 75, 75)));
    // The message in white inside its label; none without one.
    const auto& label = *tips[i]->titleLabel();
    EXPECT_EQ(whitePixelsIn(image, label, label.bounds()) > 20, i < 3);
  }
}

TEST(Gallery, AnOverlayWithATip) {
  controls_test::WindowFixture w(400, 260);
  auto content = w.window->contentView();
  content->setWantsLayer(true);
  content->layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  auto under = ui::TextField::labelWithString("beneath the overlay");
  under->setTextColor(ui::Color::whiteColor());
  under->setFrameOrigin({10, 10});
  content->addSubview(under);
  auto overlay = GGPopView::ShowCoustomView(ui::View::create<ui::View>(Rect(0, 0, 200, 120)), content);
  overlay->OBJShowSuccessTip("Restored");
  const QImage image = snapshot(*w.window, "gallery-overlay.png");
  // The window dimmed by black at 0.3, the tip in its middle, undimmed.
  EXPECT_TRUE(near(colourAt(image, *content, {390, 250}), QColor(28, 29, 32), 2));
  ASSERT_EQ(overlay->subviews().size(), 1u);
  const auto& tip = *overlay->subviews()[0];
  EXPECT_DOUBLE_EQ(tip.frame().midX(), 200);
  EXPECT_DOUBLE_EQ(tip.frame().midY(), 130);
  EXPECT_TRUE(near(colourAt(image, tip, {6, tip.bounds().midY()}), QColor(75, 75, 75)));
  overlay->hideAnimated(true);
}

TEST(Gallery, ConfirmPanelsWithOneAndTwoButtons) {
  controls_test::WindowFixture w(640, 260);
  auto content = w.window->contentView();
  content->setWantsLayer(true);
  content->layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  auto two = SettingResetView::initWithTitle(
      "The current preset data has been modified,  would you like to save it?", {"NO", "SAVE"}, nullptr);
  two->setFrameOrigin({10, 30});
  content->addSubview(two);
  ui::Event e(ui::EventType::MouseEntered, {}, w.window.get());
  two->buttons()[1]->mouseDown(e);  // pressed look
  auto one = SettingResetView::initWithTitle("Delete IR: Cab 1 ?", {"YES"}, nullptr);
  one->setFrameOrigin({320, 30});
  content->addSubview(one);
  const QImage image = snapshot(*w.window, "gallery-confirm.png");
  // A long message makes the panel 290 wide, a short one 230; buttons grey,
  // the pressed one white.
  EXPECT_DOUBLE_EQ(two->frame().size.width, 290);
  EXPECT_DOUBLE_EQ(one->frame().size.width, 230);
  const auto& no = *two->buttons()[0];
  const auto& save = *two->buttons()[1];
  const auto& yes = *one->buttons()[0];
  EXPECT_TRUE(near(colourAt(image, no, {3, 3}), QColor(99, 100, 100)));
  EXPECT_TRUE(near(colourAt(image, save, {3, 3}), QColor(255, 255, 255)));
  EXPECT_TRUE(near(colourAt(image, yes, {3, 3}), QColor(99, 100, 100)));
  // Each message in white on the panel.
  for (const auto* panel : {two.get(), one.get()})
    EXPECT_GT(whitePixelsIn(image, *panel->titleLabel(), panel->titleLabel()->bounds()), 50);
}

struct PresetRows : ui::TableViewDataSource, ui::TableViewDelegate {
  long numberOfRowsInTableView(ui::TableView&) override { return 12; }
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView&, long) override {
    return ui::View::create<ZrTableRowView>();
  }
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView&, ui::TableColumn*, long row) override {
    auto cell = ui::View::create<PresetListCell>();
    char number[24];
    std::snprintf(number, sizeof number, "P%02ld", row + 1);
    cell->numberLabel()->setStringValue(number);
    cell->titleLabel()->setStringValue(row % 3 == 0 ? "Clean Sky" : row % 3 == 1 ? "Crunch" : "Lead Solo");
    return cell;
  }
};

TEST(Gallery, ADarkListWithItsThinScroller) {
  controls_test::WindowFixture w(420, 200);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  auto rows = std::make_shared<PresetRows>();
  auto scroll = put<ZrScrollView>(c, Rect(10, 10, 200, 180));
  scroll->setSsBgColor(ui::Color::rgb255(30, 30, 32));
  auto table = ui::View::create<ZrTableView>(Rect(0, 0, 200, 180));
  table->addTableColumn(std::make_shared<ui::TableColumn>("name"));
  table->setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  table->setRowHeight(22);
  table->setDataSource(rows);
  table->setDelegate(rows);
  scroll->setDocumentView(table);
  table->reloadData();
  table->selectRowIndexes({1}, false);
  ui::Event e(ui::EventType::MouseEntered, {}, w.window.get());
  table->rowViewAtRow(3)->mouseEntered(e);  // hovered
  auto held = std::static_pointer_cast<ZrTableRowView>(table->rowViewAtRow(5));
  held->isActionSelect = 1;
  held->setBackgroundColor(ui::Color::rgb255(3, 99, 211));
  auto dropDown = put<ui::View>(c, Rect(230, 90, 160, 100));
  dropDown->setWantsLayer(true);
  dropDown->layer().setBackgroundColor(ui::Color::whiteColor());
  for (int i = 0; i < 4; ++i) {
    auto cell = put<ZrTabelCellView>(*dropDown, Rect(0, 80 - 20 * i, 160, 20));
    if (i == 1) cell->mouseEntered(e);
  }
  ASSERT_TRUE(controls_test::runUntil([&] {
    auto cell = std::static_pointer_cast<PresetListCell>(table->viewAtColumn(0, 11));
    return cell->numberLabel()->stringValue() == "P12";
  }));
  snapshot(*w.window, "gallery-list.png");
}

TEST(Gallery, TheModuleBar) {
  controls_test::WindowFixture w(9 * 80 + 10, 110);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  const char* names[] = {"FX", "DS", "AMP", "CAB", "NS", "EQ", "MOD", "DELAY", "REV"};
  std::vector<std::shared_ptr<GGFunctionButton>> buttons;
  for (int i = 0; i < 9; ++i) {
    auto b = GGFunctionButton::initWithTitle(names[i], names[i], nullptr, nullptr);
    b->setFrame(Rect(5 + 80 * i, 10, 80, 90));
    b->setIsOn(i % 3 != 2);  // every third module off
    b->setIsSelect(i == 2);
    b->setIsHlight(i == 5);
    c.addSubview(b);
    buttons.push_back(b);
  }
  const QImage image = snapshot(*w.window, "gallery-modules.png");
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(names[i]);
    const auto& b = *buttons[size_t(i)];
    // A module that is on shows something in the accent blue; one that is
    // off shows nothing so coloured.
    const QColor lit = mostSaturatedIn(image, b, b.bounds().insetBy(4, 4));
    EXPECT_EQ(lit.blue() > lit.red() + 60 && lit.hsvSaturation() > 80, i % 3 != 2);
    // The frame round the selected module is white, round the highlighted
    // one grey, and the others have none.
    const QColor edge = colourAt(image, b, {0.75, b.bounds().midY()});
    const QColor frame = i == 2 ? QColor(255, 255, 255) : i == 5 ? QColor(160, 160, 160) : QColor(40, 42, 46);
    EXPECT_TRUE(near(edge, frame, 40)) << edge.name().toStdString();
  }
}

TEST(Gallery, VerticalSliders) {
  controls_test::WindowFixture w(3 * 90 + 10, 260);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  const double values[] = {0, 35, 100};
  const char* titles[] = {"INPUT", "SCREEN", "OTG"};
  std::vector<std::shared_ptr<GGVerticalSliderView>> views;
  for (int i = 0; i < 3; ++i) {
    auto v = GGVerticalSliderView::createView();
    ASSERT_NE(v, nullptr);
    v->setFrameOrigin({10.0 + 90 * i, 10});
    c.addSubview(v);
    v->titleTF.lock()->setStringValue(titles[i]);
    v->valueSlider.lock()->setDoubleValue(values[i]);
    v->valueTF.lock()->setStringValue(std::to_string(int(values[i])));
    views.push_back(v);
  }
  ui::Event e(ui::EventType::MouseEntered, {}, w.window.get());
  views[1]->valueSlider.lock()->mouseEntered(e);  // hover knob
  views[2]->upButton.lock()->mouseEntered(e);
  ASSERT_TRUE(controls_test::runUntil([&] { return views[2]->valueTF.lock()->stringValue() == "100"; }));
  snapshot(*w.window, "gallery-sliders.png");
}

TEST(Gallery, ProgressBars) {
  controls_test::WindowFixture w(320, 140);
  auto& c = *w.window->contentView();
  c.setWantsLayer(true);
  c.layer().setBackgroundColor(ui::Color::rgb255(40, 42, 46));
  ui::AnimationClock::shared().setManual(true);
  const double values[] = {0, 0.35, 1};
  std::vector<std::shared_ptr<ITProgressBar>> bars;
  for (int i = 0; i < 3; ++i) {
    auto bar = put<ITProgressBar>(c, Rect(10, 100 - 40.0 * i, 300, 20));
    bar->setFloatValue(values[i]);
    if (i == 2) bar->setColorTint(ui::Color::rgb255(138, 214, 255));
    bars.push_back(bar);
  }
  ui::AnimationClock::shared().advance(0.1);
  const QImage image = snapshot(*w.window, "gallery-progress.png");
  ui::AnimationClock::shared().setManual(false);
  // The fill is light up to the value and the track darker beyond it; the
  // tinted bar is bluish.
  auto light = [&](int bar, double share) {
    const QColor c = colourAt(image, *bars[size_t(bar)], {300 * share, 10});
    return c.lightness() > 170;
  };
  EXPECT_FALSE(light(0, 0.1));
  EXPECT_TRUE(light(1, 0.2));
  EXPECT_FALSE(light(1, 0.6));
  EXPECT_TRUE(light(2, 0.9));
  const QColor tinted = colourAt(image, *bars[2], {150, 10});
  EXPECT_GT(tinted.blue(), tinted.red() + 10);
}

}  // namespace
