#include "screens/editor/GGEffectParmaView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controls/AccentColor.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/LayoutRegistry.h"
#include "screens/models/CatalogueText.h"

namespace cat = catalogue_text;

namespace {

using Rect = ui::Rect;

std::shared_ptr<ui::TextField> makeTitleLabel(Rect frame) {
  auto label = ui::View::create<ui::TextField>(frame);
  label->setBezeled(false);
  label->setBordered(false);
  label->setEditable(false);
  label->setSelectable(false);
  label->setDrawsBackground(false);
  label->setTextColor(ui::Color::whiteColor());
  label->setAlignment(ui::TextAlignment::Center);
  label->setFont(ui::Font::systemFontOfSize(12));
  return label;
}

std::shared_ptr<SWSTAnswerButton> makeStepButton(Rect frame, const std::string& title) {
  auto button = ui::View::create<SWSTAnswerButton>(frame);
  button->setHasBorder(true);
  for (unsigned s = 0; s < 4; ++s) {
    button->cornerRadii[s] = 4;
    button->borderWidths[s] = 1;
    button->borderColors[s] = ui::Color::rgb255(99, 100, 100);
    button->titleColors[s] = ui::Color::whiteColor();
    button->backgroundColors[s] = ui::Color::rgb255(36, 35, 35);
  }
  button->backgroundColors[SWSTAnswerButton::Hover] = ui::Color::rgb255(60, 60, 60);
  button->backgroundColors[SWSTAnswerButton::Highlight] = accentColor();
  button->setTitle(title);
  return button;
}

// The cell's layout, in the cell's own y-up points (180 x 150).
void buildParmaViewLayout(ui::LayoutLoad& load) {
  using V = GGEffectParmaView;
  auto cell = load.add(ui::View::create<V>(Rect(0, 0, V::kWidth, V::kHeight)), true);
  auto bg = load.add(ui::View::create<ui::View>(Rect(5, 5, 170, 140)));
  cell->addSubview(bg);
  auto title = load.add(makeTitleLabel(Rect(10, 120, 160, 20)));
  cell->addSubview(title);
  auto knob = load.add(ui::View::create<GGCircularSlider>(Rect(45, 41, 90, 75)));
  cell->addSubview(knob);
  auto down = load.add(makeStepButton(Rect(20, 12, 24, 24), "-"));
  cell->addSubview(down);
  auto value = load.add(ui::View::create<TitleLabel>(Rect(48, 14, 84, 20)));
  value->setBezeled(false);
  value->setBordered(false);
  value->setEditable(false);
  value->setSelectable(false);
  value->setDrawsBackground(false);
  value->setTextColor(ui::Color::whiteColor());
  value->setAlignment(ui::TextAlignment::Center);
  value->setFont(ui::Font::systemFontOfSize(12));
  cell->addSubview(value);
  auto up = load.add(makeStepButton(Rect(136, 12, 24, 24), "+"));
  cell->addSubview(up);
  cell->contentBgView = bg;
  cell->titleLabel = title;
  cell->cirSlider = knob;
  cell->valueLabel = value;
  cell->downButton = down;
  cell->upButton = up;
}

}  // namespace

void GGEffectParmaView::registerLayout() {
  auto& registry = ui::LayoutRegistry::shared();
  if (!registry.hasBuilder(kLayoutName)) registry.registerBuilder(kLayoutName, buildParmaViewLayout);
}

std::shared_ptr<GGEffectParmaView> GGEffectParmaView::createView() {
  registerLayout();
  const auto objects = ui::LayoutRegistry::shared().loadTopLevelObjects(kLayoutName, nullptr);
  if (!objects) return nullptr;
  for (const auto& object : *objects)
    if (auto cell = std::dynamic_pointer_cast<GGEffectParmaView>(object)) return cell;
  return nullptr;
}

void GGEffectParmaView::awakeFromNib() {
  CLCollectionViewCell::awakeFromNib();
  prepareUI();
}

void GGEffectParmaView::prepareUI() {
  setWantsLayer(true);
  if (auto bg = contentBgView.lock()) {
    bg->setWantsLayer(true);
    bg->layer().setCornerRadius(16);
    bg->layer().setBorderWidth(1);
    bg->layer().setBorderColor(ui::Color::blackColor());
    bg->layer().setBackgroundColor(ui::Color::rgb255(52, 52, 54));
  }
  if (auto title = titleLabel.lock()) {
    title->setWantsLayer(true);
    title->layer().setBackgroundColor(ui::Color::rgb255(36, 35, 35));
  }
  std::weak_ptr<GGEffectParmaView> weak = std::static_pointer_cast<GGEffectParmaView>(sharedFromThis());
  if (auto down = downButton.lock()) {
    down->arrowMouseAction = [weak](SWSTAnswerButton::MouseEvent kind) {
      if (auto self = weak.lock()) self->repeat_.buttonEvent(kind, false);
    };
  }
  if (auto up = upButton.lock()) {
    up->arrowMouseAction = [weak](SWSTAnswerButton::MouseEvent kind) {
      if (auto self = weak.lock()) self->repeat_.buttonEvent(kind, true);
    };
  }
  if (auto knob = cirSlider.lock()) {
    knob->circularValueChange = [weak](double value, bool isEnd) {
      if (auto self = weak.lock()) self->slideValueChange(value, isEnd);
    };
  }
}

// ---- value text

std::string GGEffectParmaView::valueText(GGEffectItemModel& item) {
  const std::string current = item.current();
  if (item.hasChoices()) {
    const int64_t index = cat::integerValue(current);
    if (index >= 0 && index < static_cast<int64_t>(item.item->size())) return (*item.item)[static_cast<size_t>(index)];
    return current;
  }
  std::string text = current;
  if (item.per_unit) {
    // Worked out in single precision, as the unit's own display does.
    const float product = static_cast<float>(cat::integerValue(current)) * cat::floatValue(*item.per_unit);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(product));
    text = buffer;
  }
  if (item.unit && !item.unit->empty()) text += " " + *item.unit;
  return text;
}

std::string GGEffectParmaView::withUnit(const std::string& text) const {
  if (itemModel_ && itemModel_->unit && !itemModel_->unit->empty()) return text + " " + *itemModel_->unit;
  return text;
}

void GGEffectParmaView::showValue(const std::string& text) {
  auto label = valueLabel.lock();
  if (!label) return;
  // The label applies its texts later, in the order asked: the last text
  // asked of it is what it comes to show, so asking for it again (a knob
  // turned less than a whole step, its release) changes nothing.
  if (label == shownBy_.lock() && shownText_ == text) return;
  label->setStringValue(text);
  shownBy_ = label;
  shownText_ = text;
}

double GGEffectParmaView::minimum() const {
  return itemModel_ ? static_cast<double>(cat::floatValue(itemModel_->minValue.value_or("0"))) : 0.0;
}

void GGEffectParmaView::send() {
  if (GoSendData) {
    auto block = GoSendData;  // the block may replace itself
    block();
  }
}

// ---- showing an item

void GGEffectParmaView::setItemModel(GGEffectItemModelPtr item) {
  itemModel_ = std::move(item);
  if (!itemModel_) return;
  GGEffectItemModel& it = *itemModel_;
  if (auto title = titleLabel.lock()) title->setStringValue(it.typeName);
  auto knob = cirSlider.lock();
  if (it.hasChoices()) {
    const auto last = static_cast<int64_t>(it.item->size()) - 1;
    showValue(valueText(it));
    if (knob) {
      knob->setMaxValue(static_cast<double>(last));
      knob->setMinValue(0);
    }
    it.minValue = "0";
    it.maxValue = cat::integerText(last);
  } else {
    showValue(valueText(it));
    // A span of zero (or less) is the knob's own concern: it reads 0 then.
    if (knob) {
      knob->setMaxValue(static_cast<double>(cat::floatValue(it.maxValue.value_or("0")) -
                                            cat::floatValue(it.minValue.value_or("0"))));
      knob->setMinValue(0);
    }
  }
  auto controller = it.beControledModel.lock();
  if (it.isBeControl && controller) {
    const std::string shown = it.ValueSubNumber(it.controllerRatio());
    showValue(withUnit(shown));
    if (knob) knob->configValue(static_cast<double>(cat::floatValue(shown)));
  } else if (!it.isBeControl) {
    const std::string current = it.current();
    if (!current.empty() && knob)
      knob->configValue(static_cast<double>(cat::floatValue(current)) - minimum());
  }
}

// ---- knob

void GGEffectParmaView::slideValueChange(double value, bool) {
  if (!itemModel_ || !std::isfinite(value)) return;
  const float v = static_cast<float>(minimum() + value);
  const std::string n = cat::integerText(cat::truncated(v));
  if (itemModel_->beControledModel.lock()) {
    itemModel_->setBeControlValue(n);
    showValue(withUnit(itemModel_->beControlValue().value_or(n)));
  } else {
    itemModel_->configCurrent(n);
    refreshControlModel();
    showValue(valueText(*itemModel_));
  }
  send();
}

// ---- step buttons

void GGEffectParmaView::sliderValueUp() { stepValue(+1); }

void GGEffectParmaView::sliderValueDown() { stepValue(-1); }

// One step up (+1) or down (-1), held within the parameter's limits.
void GGEffectParmaView::stepValue(int direction) {
  if (!itemModel_) return;
  GGEffectItemModel& it = *itemModel_;
  auto knob = cirSlider.lock();
  if (it.beControledModel.lock()) {
    const double min = minimum();
    const double v = (knob ? knob->value() : 0) + min;
    const double raw = it.beControlValue() ? v + direction : v + direction - min;
    const double next = direction > 0 ? std::min(static_cast<double>(cat::integerValue(it.maxValue)), raw)
                                      : std::max(static_cast<double>(cat::integerValue(it.minValue)), raw);
    it.setBeControlValue(cat::integerText(cat::truncated(static_cast<float>(next))));
    const std::string shown = it.beControlValue().value_or("0");
    showValue(withUnit(shown));
    if (knob) knob->configValue(static_cast<double>(cat::floatValue(shown)) - min);
  } else {
    if (direction > 0)
      it.addOne();
    else
      it.minusOne();
    refreshControlModel();
    showValue(valueText(it));
    if (knob) knob->configValue(static_cast<double>(cat::floatValue(it.current())) - minimum());
  }
  send();
}

void GGEffectParmaView::refreshControlModel() {
  if (!itemModel_) return;
  auto controlled = itemModel_->controlModel.lock();
  if (!controlled) return;
  if (auto cell = std::dynamic_pointer_cast<GGEffectParmaView>(controlled->modelCell.lock()))
    cell->setItemModel(cell->itemModel());
}

void GGEffectParmaView::mouseDownDownLong() { repeat_.startRepeating(false); }
void GGEffectParmaView::mouseDownUpLong() { repeat_.startRepeating(true); }

void GGEffectParmaView::upComplete(bool) {
  std::weak_ptr<GGEffectParmaView> weak = std::static_pointer_cast<GGEffectParmaView>(sharedFromThis());
  dispatch::Queue::main()->async([weak] {
    if (auto self = weak.lock()) self->sliderValueUp();
  });
}

void GGEffectParmaView::downComplete(bool) {
  std::weak_ptr<GGEffectParmaView> weak = std::static_pointer_cast<GGEffectParmaView>(sharedFromThis());
  dispatch::Queue::main()->async([weak] {
    if (auto self = weak.lock()) self->sliderValueDown();
  });
}
