#include "screens/shell/MainLayout.h"

#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "platform/ui/Color.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/SplitView.h"
#include "platform/ui/Window.h"
#include "screens/shell/RootWindowConroller.h"
#include "screens/shell/ViewController.h"

namespace main_layout {

namespace {

const ui::Color kBackground = ui::Color::rgb255(38, 38, 38);
const ui::Color kHolder = ui::Color::rgb255(46, 46, 46);

std::shared_ptr<ui::View> holder(ui::LayoutLoad& load) {
  auto v = load.add(ui::View::create());
  v->setWantsLayer(true);
  v->layer().setBackgroundColor(kHolder);
  return v;
}

void build(ui::LayoutLoad& load) {
  auto* owner = dynamic_cast<RootWindowConroller*>(load.owner());
  const ShellParts parts = owner ? owner->parts() : ShellParts{};

  auto window = load.add(ui::Window::create(ui::Rect(0, 0, kWidth, kHeight)), true);
  auto content = load.add(ui::View::create(ui::Rect(0, 0, kWidth, kHeight)));
  content->setWantsLayer(true);
  content->layer().setBackgroundColor(kBackground);

  auto top = holder(load);
  content->addSubview(top);
  lc_makeConstraints(*top, [&](LCConstraintMaker& m) {
    m.top().left().right().equalTo(content);
    m.height().equalTo(kTopHeight);
  });

  auto split = load.add(ui::View::create<ui::SplitView>());
  split->setVertical(true);
  split->setDividerThickness(1);
  split->setDividerColor(ui::Color::rgb255(20, 20, 20));
  content->addSubview(split);
  lc_makeConstraints(*split, [&](LCConstraintMaker& m) {
    m.top().equalTo(lc_bottom(top));
    m.left().right().bottom().equalTo(content);
  });
  auto presets = holder(load);
  presets->setFrame(ui::Rect(0, 0, kPresetPaneWidth, kHeight - kTopHeight));
  auto effects = holder(load);
  effects->setFrame(ui::Rect(kPresetPaneWidth + 1, 0, kWidth - kPresetPaneWidth - 1, kHeight - kTopHeight));
  split->addSubview(presets);
  split->addSubview(effects);

  auto controller = load.add(fnd::make<ViewController>(ui::FromLayout{}, parts));
  controller->topBgView = top;
  controller->presetBgView = presets;
  controller->effectBgView = effects;
  controller->mainSplitView = split;
  controller->setView(content);

  window->setContentView(content);
  if (owner) {
    owner->setWindow(window);
    owner->setContentViewController(controller);
  }
  window->layoutIfNeeded();
  controller->viewDidLoad();
}

}  // namespace

void registerMainLayout() { ui::LayoutRegistry::shared().registerBuilder(RootWindowConroller::kMainLayout, build); }

}  // namespace main_layout
