#include "screens/bars/TopBarScreens.h"

#include <map>

#include "controls/GGPopView.h"
#include "controls/SWSTAnswerButton.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextField.h"

namespace {

std::map<std::string, TopBarScreens::Maker>& makers() {
  static std::map<std::string, TopBarScreens::Maker> all;
  return all;
}

}  // namespace

void TopBarScreens::registerScreen(const std::string& name, Maker maker) {
  if (maker) {
    makers()[name] = std::move(maker);
  } else {
    makers().erase(name);
  }
}

bool TopBarScreens::hasScreen(const std::string& name) { return makers().count(name) != 0; }

std::shared_ptr<ui::View> TopBarScreens::makeScreen(const std::string& name, const HIDServiceViewModePtr& service) {
  auto it = makers().find(name);
  if (it != makers().end())
    if (auto screen = it->second(service)) return screen;
  return placeholder(name, service);
}

std::shared_ptr<ui::View> TopBarScreens::placeholder(const std::string& name, const HIDServiceViewModePtr& service) {
  auto panel = ui::View::create<ui::View>(ui::Rect(0, 0, 320, 160));
  panel->setWantsLayer(true);
  panel->layer().setBackgroundColor(ui::Color::rgb255(36, 35, 35));
  panel->layer().setBorderColor(ui::Color::rgb255(99, 100, 100));
  panel->layer().setBorderWidth(1);
  panel->layer().setCornerRadius(8);

  auto label = ui::TextField::labelWithString(name == kExpScreen ? "EXP" : "SYSTEM");
  label->setFont(ui::Font::systemFontOfSize(18));
  label->setTextColor(ui::Color::whiteColor());
  label->setDrawsBackground(false);
  label->setAlignment(ui::TextAlignment::Center);
  label->setFrame(ui::Rect(20, 90, 280, 26));
  panel->addSubview(label);

  auto close = ui::View::create<SWSTAnswerButton>(ui::Rect(120, 24, 80, 28));
  close->titleColors.fill(ui::Color::whiteColor());
  close->backgroundColors.fill(ui::Color::rgb255(99, 100, 100));
  close->cornerRadii.fill(4);
  close->setTitle("Close");
  close->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
  std::weak_ptr<ui::View> weakPanel = panel;
  std::weak_ptr<HIDServiceViewMode> weakService = service;
  close->setAction([weakPanel, weakService](ui::Control&) {
    if (auto hid = weakService.lock()) hid->sendChangePage(dev::page::kHome);
    if (auto p = weakPanel.lock())
      if (auto* overlay = dynamic_cast<GGPopView*>(p->superview())) overlay->hideAnimated(true);
  });
  panel->addSubview(close);
  return panel;
}
