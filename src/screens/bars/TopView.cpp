#include "screens/bars/TopView.h"

#include <algorithm>

#include "controls/SettingResetView.h"
#include "device/files/NameChecks.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "platform/dispatch/OnMain.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Parts.h"
#include "platform/ui/Application.h"
#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "screens/bars/TopBarScreens.h"

namespace {

std::shared_ptr<ui::ImageView> stretchedImage(ui::View& parent, const std::string& name) {
  auto view = ui::View::create<ui::ImageView>();
  view->setImage(ui::Image::imageNamed(name));
  view->setImageScaling(ui::ImageScaling::AxesIndependently);
  parent.addSubview(view);
  lc_makeConstraints(*view, [&](LCConstraintMaker& make) { make.edges().equalTo(parent.sharedFromThis()); });
  return view;
}

std::shared_ptr<ui::TextField> whiteLabel(ui::View& parent, const std::string& text, double size) {
  auto label = ui::TextField::labelWithString(text);
  label->setFont(ui::Font::systemFontOfSize(size));
  label->setTextColor(ui::Color::whiteColor());
  label->setDrawsBackground(false);
  label->setBordered(false);
  label->setBezeled(false);
  label->setSelectable(false);
  label->setFocusRingType(ui::TextField::FocusRingType::None);
  parent.addSubview(label);
  return label;
}

// A button showing `image` and its "_hover" and "_pressed" variants.
std::shared_ptr<SWSTAnswerButton> imageButton(ui::View& parent, const std::string& image,
                                              std::function<void(TopView&)> action, const std::weak_ptr<TopView>& bar) {
  auto button = ui::View::create<SWSTAnswerButton>();
  button->images[SWSTAnswerButton::Normal] = ui::Image::imageNamed(image);
  button->images[SWSTAnswerButton::Hover] = ui::Image::imageNamed(image + "_hover");
  button->images[SWSTAnswerButton::Highlight] = ui::Image::imageNamed(image + "_pressed");
  button->setImageScaling(ui::ImageScaling::AxesIndependently);
  button->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
  button->setAction([bar, action](ui::Control&) {
    if (auto self = bar.lock()) action(*self);
  });
  parent.addSubview(button);
  return button;
}

}  // namespace

std::shared_ptr<TopView> TopView::create(Parts parts) {
  auto bar = ui::View::create<TopView>(std::move(parts));
  bar->prepareUI();
  return bar;
}

TopView::TopView(Parts parts)
    : hid_(fnd::partOr(std::move(parts.service), HIDServiceViewMode::shared)),
      manager_(fnd::partOr(std::move(parts.manager), GGEffectFunManager::shareManager)) {}

TopView::PageScreen TopView::screenForPage(int64_t page) {
  auto among = [page](const auto& pages) { return std::find(pages.begin(), pages.end(), page) != pages.end(); };
  if (among(dev::page::kSystemScreenPages)) return PageScreen::System;
  if (among(dev::page::kExpScreenPages)) return PageScreen::Exp;
  return PageScreen::None;
}

std::string TopView::cleanName(const std::string& typed) {
  const std::string trimmed = GGEffectFunManager::trimName(typed);
  // Counted in characters, not bytes: a cut never splits one.
  size_t characters = 0;
  for (size_t i = 0; i < trimmed.size(); ++i) {
    if ((static_cast<unsigned char>(trimmed[i]) & 0xC0) == 0x80) continue;
    if (characters == kNameLength) return trimmed.substr(0, i);
    ++characters;
  }
  return trimmed;
}

std::string TopView::expLabelText(const std::vector<int>& function) {
  const std::string module = function.size() > 0 ? HIDServiceViewMode::moduleName(function[0]) : std::string();
  const std::string parameter = function.size() > 1 ? GGEffectFunManager::expParamName(function[1]) : std::string();
  return "EXP: " + module + " - " + parameter;
}

// ---- building

void TopView::prepareUI() {
  stretchedImage(*this, "topBg");
  preparePresetNameUI();
  auto self = sharedFromThis();
  const auto bar = weakSelf();

  saveButton = imageButton(*this, "save", [](TopView& v) { v.savePreset(); }, bar);
  lc_makeConstraints(*saveButton, [&](LCConstraintMaker& make) {
    make.left().equalTo(lc_right(presetNameBgView)).offset(10);
    make.width().equalTo(30);
    make.height().equalTo(30);
    make.centerY().equalTo(self);
  });

  settingButton = imageButton(*this, "setting", [](TopView& v) { v.goSetting(); }, bar);
  lc_makeConstraints(*settingButton, [&](LCConstraintMaker& make) {
    make.right().equalTo(self).offset(-25);
    make.width().equalTo(36);
    make.height().equalTo(36);
    make.centerY().equalTo(self);
  });

  prepareExpVolUI();
  prepareCabUI();
  prepareExpUI();
}

void TopView::preparePresetNameUI() {
  auto self = sharedFromThis();
  const auto bar = weakSelf();
  presetNameBgView = ui::View::create<ui::View>();
  addSubview(presetNameBgView);
  lc_makeConstraints(*presetNameBgView, [&](LCConstraintMaker& make) {
    make.left().equalTo(self).offset(22);
    make.centerY().equalTo(self);
    make.width().equalTo(260);
    make.height().equalTo(30);
  });
  stretchedImage(*presetNameBgView, "presetNameBg");

  upButton = imageButton(*presetNameBgView, "upPreset", [](TopView& v) { v.goLastPreset(); }, bar);
  lc_makeConstraints(*upButton, [&](LCConstraintMaker& make) {
    make.top().left().bottom().equalTo(presetNameBgView);
    make.width().equalTo(30);
  });
  downButton = imageButton(*presetNameBgView, "downPreset", [](TopView& v) { v.goNextPreset(); }, bar);
  lc_makeConstraints(*downButton, [&](LCConstraintMaker& make) {
    make.top().right().bottom().equalTo(presetNameBgView);
    make.width().equalTo(30);
  });

  presetNameTF = ui::View::create<ZrTextField>();
  presetNameTF->setDrawsBackground(false);
  presetNameTF->setEditable(true);
  presetNameTF->setBordered(false);
  presetNameTF->setBezeled(false);
  presetNameTF->setFocusRingType(ui::TextField::FocusRingType::None);
  presetNameTF->setStringValue("Preset Name");
  presetNameTF->setFont(ui::Font::fontWithName("Arial", 16).value_or(ui::Font::systemFontOfSize(16)));
  // White text; the field editor takes its caret colour from it.
  presetNameTF->setTextColor(ui::Color::whiteColor());
  presetNameTF->setDelegate(std::static_pointer_cast<TopView>(self));
  presetNameBgView->addSubview(presetNameTF);
  lc_makeConstraints(*presetNameTF, [&](LCConstraintMaker& make) {
    make.left().equalTo(presetNameBgView).offset(36);
    make.right().equalTo(presetNameBgView).offset(-36);
    make.centerY().equalTo(presetNameBgView);
  });
}

void TopView::prepareExpVolUI() {
  auto self = sharedFromThis();
  expVolBgView = ui::View::create<ui::View>();
  addSubview(expVolBgView);
  lc_makeConstraints(*expVolBgView, [&](LCConstraintMaker& make) {
    make.right().equalTo(lc_left(settingButton)).offset(-10);
    make.width().equalTo(66);
    make.height().equalTo(30);
    make.centerY().equalTo(self);
  });
  stretchedImage(*expVolBgView, "titleExpVolWidget");
  auto label = whiteLabel(*expVolBgView, "EXP\nVOL", 10);
  lc_makeConstraints(*label, [&](LCConstraintMaker& make) {
    make.left().equalTo(expVolBgView).offset(4);
    make.centerY().equalTo(expVolBgView);
    make.width().equalTo(30);
  });
  expVolSwitch = ui::View::create<GGSwitch>();
  expVolBgView->addSubview(expVolSwitch);
  lc_makeConstraints(*expVolSwitch, [&](LCConstraintMaker& make) {
    make.right().equalTo(expVolBgView);
    make.centerY().equalTo(expVolBgView);
    make.width().equalTo(40);
    make.height().equalTo(30);
  });
  const auto bar = weakSelf();
  expVolSwitch->ChangeSwitchStatus = [bar](bool on) {
    auto self = bar.lock();
    if (!self) return;
    std::vector<int> words = self->hid_->presetDataModel()->ExpDataArr.get();
    if (words.empty()) {
      FND_LOG_AT("TopView", "no EXP volume words yet: nothing sent");
      self->expVolSwitch->setIsOn(!on);
      return;
    }
    words[0] = on ? 1 : 0;
    self->hid_->sendExpvol(words);
  };
}

void TopView::prepareCabUI() {
  auto self = sharedFromThis();
  cabBgView = ui::View::create<ui::View>();
  addSubview(cabBgView);
  lc_makeConstraints(*cabBgView, [&](LCConstraintMaker& make) {
    make.right().equalTo(lc_left(expVolBgView)).offset(-10);
    make.width().equalTo(80);
    make.height().equalTo(40);
    make.centerY().equalTo(self);
  });
  const auto bar = weakSelf();
  auto makeRow = [&](const std::string& text, bool top) {
    auto label = whiteLabel(*cabBgView, text, 10);
    lc_makeConstraints(*label, [&](LCConstraintMaker& make) {
      make.left().equalTo(cabBgView);
      if (top) {
        make.top().equalTo(cabBgView).offset(2);
      } else {
        make.bottom().equalTo(cabBgView).offset(-2);
      }
    });
    auto sw = ui::View::create<GGSwitch>();
    cabBgView->addSubview(sw);
    lc_makeConstraints(*sw, [&](LCConstraintMaker& make) {
      make.right().equalTo(cabBgView);
      make.centerY().equalTo(lc_centerY(label)).offset(1);
      make.width().equalTo(50);
      make.height().equalTo(16);
    });
    sw->ChangeSwitchStatus = [bar, top](bool on) {
      auto v = bar.lock();
      if (!v) return;
      // The output cab command carries both sides.
      if (top) {
        v->hid_->systemDataModel()->setLeftOutCab(on ? 1 : 0);
      } else {
        v->hid_->systemDataModel()->setRightOutCab(on ? 1 : 0);
      }
      v->hid_->sendSystem(dev::SystemSetting::OutCab);
    };
    return sw;
  };
  cabLeftSwitch = makeRow("CAB-L:", true);
  cabRightSwitch = makeRow("CAB-R:", false);
}

void TopView::prepareExpUI() {
  auto self = sharedFromThis();
  expBgView = ui::View::create<ui::View>();
  expBgView->setWantsLayer(true);
  expBgView->layer().setBackgroundColor(ui::Color::blackColor());
  addSubview(expBgView);
  lc_makeConstraints(*expBgView, [&](LCConstraintMaker& make) {
    make.right().equalTo(lc_left(cabBgView)).offset(-10);
    make.height().equalTo(30);
    make.centerY().equalTo(self);
  });
  expButton = imageButton(*expBgView, "exp", [](TopView& v) { v.goExp(); }, weakSelf());
  lc_makeConstraints(*expButton, [&](LCConstraintMaker& make) {
    make.right().equalTo(expBgView).offset(-8);
    make.centerY().equalTo(expBgView);
    make.width().equalTo(39);
    make.height().equalTo(30);
  });
  expValueLabel = whiteLabel(*expBgView, "Exp:AMP-GAIN", 11);
  lc_makeConstraints(*expValueLabel, [&](LCConstraintMaker& make) {
    make.left().equalTo(expBgView).offset(8);
    make.centerY().equalTo(expBgView);
    make.right().equalTo(lc_left(expButton)).offset(-8);
  });
}

// ---- bindings

void TopView::viewDidMoveToWindow() {
  ui::View::viewDidMoveToWindow();
  if (!window() || bound_) return;
  bound_ = true;
  prepareRS();
}

void TopView::prepareRS() {
  const auto bar = weakSelf();
  const HIDServiceModuleModePtr preset = hid_->presetAllData();
  const HIDServiceModelPtr module = hid_->presetDataModel();
  const HIDServiceSystemModelPtr system = hid_->systemDataModel();

  // The name follows the record; the field's edits go back in
  // controlTextDidChange, whose own write is not echoed into the field.
  rs_valuesForKeyPath(preset, "presetName", this)->subscribeNext([bar](const fnd::Value& value) {
    const std::string name = value.isNilOrNull() ? std::string() : value.stringValue();
    dispatch::onMain(bar, [name](TopView& v) {
      if (v.nameFromRecord_) return;
      if (v.presetNameTF->stringValue() != name) v.presetNameTF->setStringValue(name);
    });
  });
  rs_valuesForKeyPath(module, "ExpDataArr", this)->subscribeNext([bar](const fnd::Value& value) {
    FND_LOG_AT("TopView", "ExpDataArr changed");
    const std::vector<int> volume = fnd::fromValue<std::vector<int>>(value);
    dispatch::onMain(bar, [volume](TopView& v) {
      v.showExpAssignment(v.hid_->presetDataModel()->FuncDataArr.get());
      if (!volume.empty()) v.expVolSwitch->setIsOn(volume[0] != 0);
    });
  });
  rs_valuesForKeyPath(module, "FuncDataArr", this)->subscribeNext([bar](const fnd::Value& value) {
    FND_LOG_AT("TopView", "FuncDataArr changed");
    const std::vector<int> function = fnd::fromValue<std::vector<int>>(value);
    dispatch::onMain(bar, [function](TopView& v) {
      v.showExpAssignment(function);
      // The switch stands for the EXP volume word, which is what it sends: the
      // assignment's own on/off word would show a state a click cannot change.
      const std::vector<int> volume = v.hid_->presetDataModel()->ExpDataArr.get();
      if (!volume.empty()) v.expVolSwitch->setIsOn(volume[0] != 0);
    });
  });
  rs_valuesForKeyPath(system, "outCabStatus", this)->subscribeNext([bar](const fnd::Value&) {
    dispatch::onMain(bar, [](TopView& v) {
      const auto sys = v.hid_->systemDataModel();
      v.cabLeftSwitch->setIsOn(sys->leftOutCab.get().value_or(0) != 0);
      v.cabRightSwitch->setIsOn(sys->rightOutCab.get().value_or(0) != 0);
    });
  });
  rs_valuesForKeyPath(preset, "nowPageNumber", this)->subscribeNext([bar](const fnd::Value& value) {
    if (value.isNilOrNull()) return;
    const int64_t page = value.intValue();
    dispatch::onMain(bar, [page](TopView& v) { v.pageRule(page); });
  });
}

void TopView::showExpAssignment(const std::vector<int>& function) {
  if (function.size() < 2) return;
  expValueLabel->setStringValue(expLabelText(function));
  setNeedsLayout(true);
}

// ---- pop-ups

std::shared_ptr<ui::View> TopView::expVC() {
  if (!expVC_) expVC_ = TopBarScreens::makeScreen(TopBarScreens::kExpScreen, hid_);
  return expVC_;
}

std::shared_ptr<ui::View> TopView::SystemVC() {
  if (!systemVC_) systemVC_ = TopBarScreens::makeScreen(TopBarScreens::kSystemScreen, hid_);
  return systemVC_;
}

std::shared_ptr<ui::View> TopView::popUpContainer() const {
  if (ui::Window* w = window()) return w->contentView();
  const auto windows = ui::Application::shared().windows();
  return windows.empty() ? nullptr : windows.front()->contentView();
}

bool TopView::isShown(const std::shared_ptr<GGPopView>& overlay) {
  return overlay && !overlay->isFinished() && overlay->superview() != nullptr;
}

void TopView::showScreen(bool exp) {
  auto container = popUpContainer();
  auto overlay = GGPopView::ShowCoustomView(exp ? expVC() : SystemVC(), container);
  if (!overlay) return;
  overlay->setDontTouchDissmiss(true);
  (exp ? expPopView : systemPopView) = overlay;
}

void TopView::hideScreen(std::shared_ptr<GGPopView>& overlay) {
  if (isShown(overlay)) overlay->hideAnimated(true);
  overlay.reset();
}

void TopView::pageRule(int64_t page) {
  switch (screenForPage(page)) {
    case PageScreen::System:
      hideScreen(expPopView);
      if (!isSystemShown()) showScreen(false);
      break;
    case PageScreen::Exp:
      hideScreen(systemPopView);
      if (!isExpShown()) showScreen(true);
      break;
    case PageScreen::None:
      hideScreen(expPopView);
      hideScreen(systemPopView);
      break;
  }
}

void TopView::goExp() {
  if (isExpShown()) return;
  showScreen(true);
  hid_->sendChangePage(dev::page::kExp);
}

void TopView::goSetting() {
  if (isSystemShown()) return;
  showScreen(false);
  hid_->sendChangePage(dev::page::kSettings);
}

// ---- presets

void TopView::goNextPreset() {
  const std::optional<int> n = hid_->presetAllData()->selectedPreset.get();
  if (n) goToPreset(presetBelow(*n));
}

void TopView::goLastPreset() {
  const std::optional<int> n = hid_->presetAllData()->selectedPreset.get();
  if (n) goToPreset(presetAbove(*n));
}

void TopView::goToPreset(int target) {
  auto container = popUpContainer();
  if (!container || GGPopView::HUDForView(container.get())) return;
  if (hid_->didChangeData.get() != 1) {
    hid_->sendChangePreset(target);
    return;
  }
  std::weak_ptr<ui::View> weakContainer = container;
  std::weak_ptr<HIDServiceViewMode> weakHid = hid_;
  auto panel = SettingResetView::initWithTitle(
      kModifiedQuestion, {"NO", "SAVE"}, [weakContainer, weakHid, target](GGCoustomButton& button) {
        auto hid = weakHid.lock();
        auto box = weakContainer.lock();
        if (!hid) return;
        if (button.flagIndex == 2) {  // "SAVE"
          const auto preset = hid->presetAllData();
          const int n = preset->selectedPreset.get().value_or(0);
          const std::string name = preset->presetName.get();
          hid->sendSave(n, name, 1);
          // A refused name saved nothing (the service said so): the edits stay,
          // and so do the preset and its modified flag.
          if (checkPresetName(name)) {
            hid->setDidChangeData(0);
            hid->sendChangePreset(target);
          }
        } else {  // "NO"
          hid->sendChangePreset(target);
          hid->setDidChangeData(0);
        }
        if (box) GGPopView::hideViewInView(box.get());
      });
  auto overlay = GGPopView::ShowCoustomView(panel, container);
  if (overlay) overlay->setDontTouchDissmiss(true);
}

void TopView::savePreset() {
  if (ui::Window* w = window()) w->makeFirstResponder(nullptr);
  const std::string name = presetNameTF->stringValue();
  const int n = hid_->presetAllData()->selectedPreset.get().value_or(0);
  hid_->sendSave(n, name, 1);
  if (checkPresetName(name)) GGPopView::showSuccessWithTip(kSavedTip, popUpContainer());
}

// ---- name editing

void TopView::controlTextDidChange(ui::TextField& field) {
  if (&field != presetNameTF.get()) return;
  const std::string typed = field.stringValue();
  const std::string name = cleanName(typed);
  if (name != typed) field.setStringValue(name);
  nameFromRecord_ = true;
  hid_->presetAllData()->setPresetName(name);
  nameFromRecord_ = false;
}
