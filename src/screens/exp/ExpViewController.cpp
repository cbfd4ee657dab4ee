#include "screens/exp/ExpViewController.h"

#include <algorithm>
#include <cmath>

#include "controls/AccentColor.h"
#include "controls/GGPopView.h"
#include "layout/LCConstraintMaker.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

namespace {


// Module buttons in creation order, with their module indices; button n
// sits at x = 95 (n mod 3), y = 20 + 45 (n div 3), so the top row reads
// "FX/COMP", "DS/OD", "AMP".
const std::vector<std::pair<std::string, int>>& moduleOrder() {
  static const std::vector<std::pair<std::string, int>> order{
      {"MOD", 6}, {"DELAY", 7}, {"REVERB", 8}, {"CAB", 3},   {"NS GATE", 4},
      {"EQ", 5},  {"FX/COMP", 0}, {"DS/OD", 1}, {"AMP", 2},
  };
  return order;
}

// Parameter positions in creation order: button n sits at x = 95 (n mod 3),
// y = 20 + 35 (n div 3), so position 0 is top left and they run left to
// right, top to bottom.
constexpr int kEffectOrder[ExpViewController::kEffectButtonCount] = {12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2};

// The screen as the top bar keeps it: the controller's view inside a holder
// that owns the controller (the controller owns its view, so the view cannot
// own the controller without a cycle).
class ExpScreenHolder : public ui::View {
public:
  explicit ExpScreenHolder(ui::Rect frame) : ui::View(frame) {}
  std::string className() const override { return "ExpScreenHolder"; }
  std::shared_ptr<ExpViewController> controller;
};

std::shared_ptr<ui::TextField> sectionLabel(ui::View& parent, const std::string& text, ui::Rect frame) {
  auto label = ui::TextField::labelWithString(text);
  label->setFont(ui::Font::systemFontOfSize(13));
  label->setTextColor(ui::Color::whiteColor());
  label->setDrawsBackground(false);
  label->setFrame(frame);
  parent.addSubview(label);
  return label;
}

std::shared_ptr<ui::View> panel(ui::LayoutLoad& load, ui::Rect frame) {
  auto view = load.add(ui::View::create<ui::View>(frame));
  view->setWantsLayer(true);
  view->layer().setBackgroundColor(ui::Color::rgb255(46, 46, 46));
  view->layer().setCornerRadius(6);
  return view;
}

// The screen's layout, 640 x 390: the assignment group on the left (modules
// above, their parameters below), the volume group on the right, and along
// the top the group titles, the volume switch and the close control.
void buildExpLayout(ui::LayoutLoad& load) {
  auto root = load.add(ui::View::create<ui::View>(ui::Rect(0, 0, 640, 390)), true);
  root->setWantsLayer(true);
  root->layer().setBackgroundColor(ui::Color::rgb255(36, 35, 35));
  root->layer().setBorderColor(ui::Color::rgb255(99, 100, 100));
  root->layer().setBorderWidth(1);
  root->layer().setCornerRadius(8);

  // Module rows at 20, 65 and 110 (top edge 140), parameter rows at 20 to
  // 160 (top edge 190); the two containers must not overlap, or the upper
  // one would take the clicks meant for the lower one's top row.
  auto function = panel(load, ui::Rect(10, 10, 300, 335));
  root->addSubview(function);
  auto effects = load.add(ui::View::create<ui::View>(ui::Rect(15, 0, 270, 190)));
  auto modules = load.add(ui::View::create<ui::View>(ui::Rect(15, 190, 270, 140)));
  function->addSubview(effects);
  function->addSubview(modules);
  sectionLabel(*root, "EXP", ui::Rect(25, 356, 120, 22));

  auto volume = panel(load, ui::Rect(320, 10, 310, 335));
  root->addSubview(volume);
  sectionLabel(*root, "VOLUME", ui::Rect(335, 356, 70, 22));
  auto volumeSwitch = load.add(ui::View::create<GGSwitch>(ui::Rect(410, 352, 40, 30)));
  root->addSubview(volumeSwitch);

  auto close = load.add(ui::View::create<GGCoustomButton>(ui::Rect(550, 354, 70, 26)));
  close->setDefaultBackgroundColor(ui::Color::rgb255(99, 100, 100));
  close->setRadius(4);
  close->rectCorners = GGCoustomButton::AllCorners;
  close->setDefaultTitle("CLOSE");
  close->setDefaultTitleColor(ui::Color::whiteColor());
  close->setDefaultFont(ui::Font::systemFontOfSize(13));
  root->addSubview(close);

  auto* owner = dynamic_cast<ExpViewController*>(load.owner());
  if (!owner) return;
  owner->ExpVolBgView = volume;
  owner->expFunctionView = function;
  owner->moduleView = modules;
  owner->effectView = effects;
  owner->expVolSwitch = volumeSwitch;
  owner->closeButton = close;
  std::weak_ptr<ExpViewController> weak = std::static_pointer_cast<ExpViewController>(owner->shared_from_this());
  close->setTarget(owner->shared_from_this());
  close->action = [weak](GGCoustomButton&) {
    if (auto self = weak.lock()) self->closeAction();
  };
  owner->setView(root);
}

}  // namespace

// ---- making

void ExpViewController::registerLayout() {
  auto& registry = ui::LayoutRegistry::shared();
  if (!registry.hasBuilder(kLayoutName)) registry.registerBuilder(kLayoutName, buildExpLayout);
}

std::shared_ptr<ExpViewController> ExpViewController::create(Parts parts) {
  registerLayout();
  return fnd::make<ExpViewController>(std::move(parts));
}

std::shared_ptr<ui::View> ExpViewController::makeScreen(Parts parts) {
  auto controller = create(std::move(parts));
  auto view = controller->view();
  if (!view) return nullptr;
  auto holder = ui::View::create<ExpScreenHolder>(ui::Rect(ui::Point{0, 0}, view->frame().size));
  view->setFrameOrigin(ui::Point{0, 0});
  holder->addSubview(view);
  holder->controller = std::move(controller);
  return holder;
}

std::shared_ptr<ExpViewController> ExpViewController::controllerOf(const ui::View& screen) {
  const auto* holder = dynamic_cast<const ExpScreenHolder*>(&screen);
  return holder ? holder->controller : nullptr;
}

ExpViewController::ExpViewController(Parts parts)
    : ui::ViewController(kLayoutName),
      volModel(fnd::make<EXP_FunctionModel>()),
      hid_(parts.service ? std::move(parts.service) : HIDServiceViewMode::shared()),
      manager_(std::move(parts.manager)) {
  volModel->setOn(false);
  volModel->setOff(true);
  volModel->setMinValue(kVolumeMin);
  volModel->setMaxValue(kVolumeMax);
}

std::weak_ptr<ExpViewController> ExpViewController::weakSelf() {
  return std::static_pointer_cast<ExpViewController>(shared_from_this());
}

// ---- the EXP parameter lists

const std::map<std::string, std::vector<std::string>>& ExpViewController::function_Para() {
  static const std::map<std::string, std::vector<std::string>> byName(
      GGEffectFunManager::expParameterGroups().begin(), GGEffectFunManager::expParameterGroups().end());
  return byName;
}

const std::vector<std::vector<std::string>>& ExpViewController::ttExp_para() {
  static const std::vector<std::vector<std::string>> byIndex = [] {
    std::vector<std::vector<std::string>> out;
    for (const auto& [name, list] : GGEffectFunManager::expParameterGroups()) out.push_back(list);
    return out;
  }();
  return byIndex;
}

int64_t ExpViewController::flatIndex(int64_t module, int64_t position) {
  const auto& lists = ttExp_para();
  int64_t offset = 0;
  for (int64_t m = 0; m < module && m < static_cast<int64_t>(lists.size()); ++m)
    offset += static_cast<int64_t>(lists[static_cast<size_t>(m)].size());
  return offset + position;
}

// ---- building

void ExpViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  prepareUI();
  prepareObersver();
}

std::shared_ptr<GGCoustomButton> ExpViewController::makeButton(const std::string& title, int64_t flag, bool module) {
  auto button = ui::View::create<GGCoustomButton>();
  button->flagIndex = flag;
  button->setDefaultBackgroundImage(ui::Image::imageNamed("FunctionButton"));
  button->setSelectedBackgroundImage(ui::Image::imageNamed("FunctionButton_Select"));
  button->setDefaultTitleColor(ui::Color::whiteColor());
  button->setSelectedTitleColor(accentColor());
  button->setDefaultFont(ui::Font::systemFontOfSize(13));
  button->setDefaultTitle(title);
  button->setTarget(shared_from_this());
  const auto weak = weakSelf();
  button->action = [weak, module](GGCoustomButton& pressed) {
    auto self = weak.lock();
    if (!self) return;
    module ? self->chooseModule(pressed) : self->chooseEffect(pressed);
  };
  return button;
}

void ExpViewController::prepareUI() {
  if (auto container = moduleView.lock()) {
    const auto& order = moduleOrder();
    for (size_t n = 0; n < order.size(); ++n) {
      auto button = makeButton(order[n].first, order[n].second, true);
      button->setFrame(ui::Rect(95.0 * double(n % 3), 20.0 + 45.0 * double(n / 3), 80, 30));
      container->addSubview(button);
      moduleButtons.push_back(button);
      if (order[n].second == 0) firstModuleButton = button;
    }
  }
  if (auto container = effectView.lock()) {
    for (size_t n = 0; n < std::size(kEffectOrder); ++n) {
      const std::string key = std::to_string(kEffectOrder[n]);
      auto button = makeButton(key, kEffectOrder[n], false);
      button->setHidden(true);
      button->setFrame(ui::Rect(95.0 * double(n % 3), 20.0 + 35.0 * double(n / 3), 80, 30));
      container->addSubview(button);
      effectButtons[key] = button;
    }
  }

  const auto delegate = std::static_pointer_cast<ExpViewController>(shared_from_this());
  if (auto container = ExpVolBgView.lock()) {
    auto makeSlider = [&](const std::string& title, bool left) {
      auto slider = GGVerticalSliderView::createView();
      if (!slider) return slider;
      slider->delegate = delegate;
      if (auto t = slider->titleTF.lock()) t->setStringValue(title);
      if (auto s = slider->valueSlider.lock()) {
        s->setMinValue(kVolumeMin);
        s->setMaxValue(kVolumeMax);
      }
      container->addSubview(slider);
      lc_makeConstraints(*slider, [&](LCConstraintMaker& make) {
        make.top().equalTo(container).offset(25);
        if (left) {
          make.left().equalTo(container).offset(30);
        } else {
          make.right().equalTo(container).offset(-30);
        }
        make.height().equalTo(250);
        make.width().equalTo(100);
      });
      return slider;
    };
    minVolSliderView = makeSlider("MIN", true);
    maxVolSliderView = makeSlider("MAX", false);
  }
  // Until the unit reports, the controls show the volume model's defaults.
  auto showValue = [](const std::shared_ptr<GGVerticalSliderView>& view, double value) {
    if (!view) return;
    if (auto s = view->valueSlider.lock()) s->setIntegerValue(static_cast<long>(value));
    if (auto t = view->valueTF.lock()) t->setStringValue(std::to_string(static_cast<long>(value)));
  };
  showValue(minVolSliderView, volModel->minValue.get());
  showValue(maxVolSliderView, volModel->maxValue.get());

  if (auto sw = expVolSwitch.lock()) {
    const auto weak = weakSelf();
    sw->ChangeSwitchStatus = [weak](bool on) {
      auto self = weak.lock();
      if (!self) return;
      self->volModel->setOn(on);
      self->volModel->setOff(!on);
      self->sendExpVolData();
    };
  }
}

void ExpViewController::prepareObersver() {
  const HIDServiceModelPtr module = hid_->presetDataModel();
  if (!module) return;
  const auto weak = weakSelf();
  // Values come on whatever thread changed the record; redraws always wait
  // for the main queue, after the action that caused them.
  rs_valuesForKeyPath(module, "ExpDataArr", this)->subscribeNext([weak](const fnd::Value&) {
    dispatch::mainQueue()->async([weak] {
      if (auto self = weak.lock()) {
        self->refreshExpButtons();
        self->refreshExpVol();
      }
    });
  });
  rs_valuesForKeyPath(module, "FuncDataArr", this)->subscribeNext([weak](const fnd::Value&) {
    dispatch::mainQueue()->async([weak] {
      if (auto self = weak.lock()) self->refreshExpButtons();
    });
  });
}

// ---- actions

void ExpViewController::closeAction() {
  hid_->sendChangePage(dev::page::kHome);
  auto root = view();
  if (ui::Window* window = root ? root->window() : nullptr)
    if (const auto& content = window->contentView()) GGPopView::hideViewInView(content.get());
}

void ExpViewController::chooseModule(GGCoustomButton& button) {
  selectMoudle = button.flagIndex;
  selectEffect = 0;
  for (const auto& b : moduleButtons) b->setIsOn(false);
  button.setIsOn(true);
  const auto& lists = function_Para();
  const auto it = lists.find(button.defaultTitle());
  showEffectButtons(it == lists.end() ? nullptr : &it->second);
  sendExpDataModule(selectMoudle, selectEffect);
}

void ExpViewController::chooseEffect(GGCoustomButton& button) {
  selectEffect = button.flagIndex;
  for (int64_t k = 0; k < kEffectButtonCount; ++k)
    if (auto b = effectButton(k)) b->setIsOn(k == selectEffect);
  sendExpDataModule(selectMoudle, selectEffect);
}

void ExpViewController::sendExpDataModule(int64_t module, int64_t subModuleIndex) {
  const std::vector<int> present = hid_->presetDataModel()->FuncDataArr.get();
  // The function's own on/off word is not this screen's to change.
  const int functionWord = present.size() > 2 ? present[2] : 0;
  hid_->sendFunction({static_cast<int>(module), static_cast<int>(flatIndex(module, subModuleIndex)), functionWord});
}

// ---- redrawing

std::shared_ptr<GGCoustomButton> ExpViewController::effectButton(int64_t k) const {
  const auto it = effectButtons.find(std::to_string(k));
  return it == effectButtons.end() ? nullptr : it->second;
}

void ExpViewController::showEffectButtons(const std::vector<std::string>* list) {
  for (int64_t k = 0; k < kEffectButtonCount; ++k) {
    auto button = effectButton(k);
    if (!button) continue;
    if (list && k < static_cast<int64_t>(list->size())) {
      button->setDefaultTitle((*list)[static_cast<size_t>(k)]);
      button->setHidden(false);
    } else {
      button->setHidden(true);
    }
    button->setIsOn(k == selectEffect);
  }
}

void ExpViewController::refreshExpButtons() {
  const std::vector<int> words = hid_->presetDataModel()->FuncDataArr.get();
  const int module = words.empty() ? -1 : words[0];
  const std::string moduleName = HIDServiceViewMode::moduleName(module);
  const auto& lists = function_Para();
  const auto it = moduleName.empty() ? lists.end() : lists.find(moduleName);
  const std::vector<std::string>* list = it == lists.end() ? nullptr : &it->second;

  const auto& flat = manager_ ? manager_->expParamList() : GGEffectFunManager::expParamList();
  const int parameter = words.size() > 1 ? words[1] : -1;
  if (parameter < 0 || parameter >= static_cast<int>(flat.size())) {
    // No such parameter: nothing lit.
    selectEffect = -1;
  } else if (list) {
    const auto found = std::find(list->begin(), list->end(), flat[static_cast<size_t>(parameter)]);
    // A parameter of another module keeps the lit position.
    if (found != list->end()) selectEffect = found - list->begin();
  }
  selectMoudle = module;
  showEffectButtons(list);
  for (const auto& b : moduleButtons) b->setIsOn(!moduleName.empty() && b->defaultTitle() == moduleName);
}

void ExpViewController::refreshExpVol() {
  const std::vector<int> words = hid_->presetDataModel()->ExpDataArr.get();
  if (words.size() < 3) {
    FND_LOG_AT("ExpViewController", "EXP volume has %zu words: kept as shown", words.size());
    return;
  }
  auto model = fnd::make<EXP_FunctionModel>();
  model->setOn(words[0] != 0);
  model->setOff(words[0] == 0);
  model->setMinValue(words[1]);
  model->setMaxValue(words[2]);
  volModel = model;
  const std::pair<const std::shared_ptr<GGVerticalSliderView>*, int> sliders[] = {{&minVolSliderView, words[1]},
                                                                                 {&maxVolSliderView, words[2]}};
  for (const auto& [view, value] : sliders) {
    if (!*view) continue;
    if (auto s = (*view)->valueSlider.lock()) s->setIntegerValue(value);
    if (auto t = (*view)->valueTF.lock()) t->setStringValue(std::to_string(value));
  }
  if (auto sw = expVolSwitch.lock()) sw->setIsOn(words[0] != 0);
}

// ---- volume

void ExpViewController::sendExpVolData() {
  hid_->sendChangePage(dev::page::kExpVolume);
  hid_->sendExpvol({volModel->on.get() ? 1 : 0, static_cast<int>(std::trunc(volModel->minValue.get())),
                    static_cast<int>(std::trunc(volModel->maxValue.get()))});
}

void ExpViewController::sliderDragAtCell(GGVerticalSliderView& slider, const std::string&, bool isEnd) {
  auto valueOf = [](const std::shared_ptr<GGVerticalSliderView>& view) {
    auto s = view ? view->valueSlider.lock() : nullptr;
    return s ? s->doubleValue() : 0.0;
  };
  const double a = valueOf(minVolSliderView);
  const double b = valueOf(maxVolSliderView);
  // A knob dragged past the other one is held at the other's value.
  if (&slider == minVolSliderView.get()) {
    volModel->setMinValue(a > b ? b : a);
  } else if (&slider == maxVolSliderView.get()) {
    volModel->setMaxValue(a > b ? a : b);
  }
  if (isEnd) sendExpVolData();
}

void ExpViewController::addOrMinusActionAtCell(GGVerticalSliderView& slider, bool isAdd) {
  const double minimum = volModel->minValue.get();
  const double maximum = volModel->maxValue.get();
  if (&slider == minVolSliderView.get()) {
    const double next = isAdd ? std::min(minimum + 1, double(kVolumeMax)) : std::max(minimum - 1, double(kVolumeMin));
    volModel->setMinValue(next);
    // The minimum never passes the maximum: undone, nothing sent.
    if (next > maximum) {
      volModel->setMinValue(maximum);
      return;
    }
  } else if (&slider == maxVolSliderView.get()) {
    const double next = isAdd ? std::min(maximum + 1, double(kVolumeMax)) : std::max(maximum - 1, double(kVolumeMin));
    volModel->setMaxValue(next);
    if (minimum > next) {
      volModel->setMaxValue(minimum);
      return;
    }
  }
  sendExpVolData();
}
