#include "controls/GGVerticalSliderView.h"

#include "platform/dispatch/Queue.h"
#include "platform/ui/Image.h"

void GGVerticalSliderView::registerLayout() {
  auto& registry = ui::LayoutRegistry::shared();
  if (registry.hasBuilder(kLayoutName)) return;
  registry.registerBuilder(kLayoutName, [](ui::LayoutLoad& load) {
    auto view = load.add(ui::View::create<GGVerticalSliderView>(ui::FromLayout{}), true);
    view->setFrame(ui::Rect(0, 0, 80, 240));
    auto title = load.add(ui::TextField::labelWithString(""));
    title->setFrame(ui::Rect(0, 218, 80, 20));
    title->setAlignment(ui::TextAlignment::Center);
    title->setTextColor(ui::Color::whiteColor());
    auto up = load.add(ui::View::create<SWSTAnswerButton>(ui::Rect(30, 192, 20, 20)));
    up->images[SWSTAnswerButton::Normal] = ui::Image::imageNamed("arrow_up");
    up->images[SWSTAnswerButton::Hover] = ui::Image::imageNamed("arrow_up_hover");
    up->images[SWSTAnswerButton::Highlight] = ui::Image::imageNamed("arrow_up_pressed");
    auto slider = load.add(ui::View::create<GGSlider>(ui::FromLayout{}));
    slider->setFrame(ui::Rect(28, 56, 24, 132));
    slider->setMaxValue(100);
    auto down = load.add(ui::View::create<SWSTAnswerButton>(ui::Rect(30, 32, 20, 20)));
    down->images[SWSTAnswerButton::Normal] = ui::Image::imageNamed("arrow_down");
    down->images[SWSTAnswerButton::Hover] = ui::Image::imageNamed("arrow_down_hover");
    down->images[SWSTAnswerButton::Highlight] = ui::Image::imageNamed("arrow_down_pressed");
    auto value = load.add(ui::View::create<TitleLabel>(ui::Rect(0, 4, 80, 22)));
    value->setBezeled(false);
    value->setDrawsBackground(false);
    value->setEditable(false);
    value->setAlignment(ui::TextAlignment::Center);
    value->setTextColor(ui::Color::whiteColor());
    for (auto v : std::initializer_list<std::shared_ptr<ui::View>>{title, up, slider, down, value}) view->addSubview(v);
    view->titleTF = title;
    view->valueSlider = slider;
    view->valueTF = value;
    view->downButton = down;
    view->upButton = up;
  });
}

std::shared_ptr<GGVerticalSliderView> GGVerticalSliderView::createView() {
  registerLayout();
  auto objects = ui::LayoutRegistry::shared().loadTopLevelObjects(kLayoutName, nullptr);
  if (!objects) return nullptr;
  for (auto& o : *objects) {
    if (auto v = std::dynamic_pointer_cast<GGVerticalSliderView>(o)) return v;
  }
  return nullptr;
}

void GGVerticalSliderView::awakeFromNib() {
  ui::View::awakeFromNib();
  std::weak_ptr<GGVerticalSliderView> weak = std::static_pointer_cast<GGVerticalSliderView>(sharedFromThis());
  if (auto slider = valueSlider.lock()) {
    slider->SlideChangeBlock = [weak](GGSlider&, const std::string& text) {
      auto self = weak.lock();
      if (!self) return;
      if (auto d = self->delegate.lock()) d->sliderDragAtCell(*self, text, false);
    };
    slider->SlideEndDragBlock = [weak](GGSlider&, const std::string& text) {
      auto self = weak.lock();
      if (!self) return;
      if (auto d = self->delegate.lock()) d->sliderDragAtCell(*self, text, true);
    };
  }
  if (auto down = downButton.lock()) {
    down->arrowMouseAction = [weak](SWSTAnswerButton::MouseEvent kind) {
      if (auto self = weak.lock()) self->repeat_.buttonEvent(kind, false);
    };
    down->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
  }
  if (auto up = upButton.lock()) {
    up->arrowMouseAction = [weak](SWSTAnswerButton::MouseEvent kind) {
      if (auto self = weak.lock()) self->repeat_.buttonEvent(kind, true);
    };
    up->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
  }
}

void GGVerticalSliderView::mouseDownDownLong() { repeat_.startRepeating(false); }
void GGVerticalSliderView::mouseDownUpLong() { repeat_.startRepeating(true); }

void GGVerticalSliderView::step(bool up, bool atRelease) { up ? upComplete(atRelease) : downComplete(atRelease); }

void GGVerticalSliderView::upComplete(bool) {
  std::weak_ptr<GGVerticalSliderView> weak = std::static_pointer_cast<GGVerticalSliderView>(sharedFromThis());
  dispatch::mainQueue()->async([weak] {
    auto self = weak.lock();
    if (!self) return;
    if (auto d = self->delegate.lock()) d->addOrMinusActionAtCell(*self, true);
  });
}

void GGVerticalSliderView::downComplete(bool) {
  std::weak_ptr<GGVerticalSliderView> weak = std::static_pointer_cast<GGVerticalSliderView>(sharedFromThis());
  dispatch::mainQueue()->async([weak] {
    auto self = weak.lock();
    if (!self) return;
    if (auto d = self->delegate.lock()) d->addOrMinusActionAtCell(*self, false);
  });
}
