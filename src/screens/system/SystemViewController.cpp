#include "screens/system/SystemViewController.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "controls/AccentColor.h"
#include "controls/StartLoadingView.h"
#include "controls/SettingResetView.h"
#include "layout/LCConstraintMaker.h"
#include "platform/dispatch/OnMain.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Parts.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/Window.h"
#include "platform/ui/Workspace.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

namespace {

constexpr const char* kClass = "SystemViewController";
// The key under which a screen holder keeps its controller.
constexpr char kControllerKey = 0;


}  // namespace

// One of the three levels: what it is called, its range, where it is kept,
// and how it reaches the unit.
struct SystemViewController::Level {
  const char* title;
  int minimum;
  int maximum;
  fnd::Property<std::optional<int>> SettingModel::*model;
  fnd::Property<std::optional<int>> HIDServiceSystemModel::*record;
  const char* recordKey;
  long stepType;
  int page;
  dev::SystemSetting send;
  bool decibels;  // the value text is the decibel text, else the number
};

namespace {

using Level = SystemViewController::Level;

const std::array<Level, 3>& levels() {
  static const std::array<Level, 3> all{{
      {"INPUT LEVEL", 0, 21, &SettingModel::inputLevel, &HIDServiceSystemModel::inputLevel, "inputLevel",
       SettingModel::kInputLevel, dev::page::kInputLevel, dev::SystemSetting::InputLevel, true},
      {"SCREEN", 1, 20, &SettingModel::screenLevel, &HIDServiceSystemModel::screenLevel, "screenLevel",
       SettingModel::kScreenLevel, dev::page::kScreenLevel, dev::SystemSetting::ScreenLevel, false},
      {"OTG OUTPUT", 0, 21, &SettingModel::otgLevel, &HIDServiceSystemModel::OtgOutLevel, "OtgOutLevel",
       SettingModel::kOtgLevel, dev::page::kOtgLevel, dev::SystemSetting::OtgLevel, true},
  }};
  return all;
}

std::optional<int> optionalInt(const fnd::Value& v) {
  if (v.isNilOrNull()) return std::nullopt;
  return static_cast<int>(v.intValue());
}

std::shared_ptr<ui::TextField> makeLabel(const std::string& text, ui::Rect frame, double size) {
  auto label = ui::TextField::labelWithString(text);
  label->setFont(ui::Font::systemFontOfSize(size));
  label->setTextColor(ui::Color::whiteColor());
  label->setDrawsBackground(false);
  label->setFrame(frame);
  return label;
}

// The screen's layout, in its own y-up points (560 x 380): the three level
// holders on the left, the output switches and the four buttons in a column
// on the right, the version at the bottom left, the close control at the top
// right.
void buildSystemLayout(ui::LayoutLoad& load) {
  using ui::Rect;
  auto* owner = dynamic_cast<SystemViewController*>(load.owner());
  auto root = load.add(ui::View::create<ui::View>(Rect(0, 0, 560, 380)), true);
  root->setWantsLayer(true);
  root->layer().setBackgroundColor(ui::Color::rgb255(36, 35, 35));
  root->layer().setBorderColor(ui::Color::rgb255(99, 100, 100));
  root->layer().setBorderWidth(1);
  root->layer().setCornerRadius(8);

  auto holder = [&](double x) {
    auto v = load.add(ui::View::create<ui::View>(Rect(x, 70, 80, 240)));
    root->addSubview(v);
    return v;
  };
  auto input = holder(40);
  auto screen = holder(160);
  auto otg = holder(280);

  auto cabSwitch = [&](const char* title, double y) {
    root->addSubview(load.add(makeLabel(title, Rect(400, y - 2, 60, 20), 12)));
    auto s = load.add(ui::View::create<GGSwitch>(Rect(470, y, 50, 16)));
    root->addSubview(s);
    return s;
  };
  auto left = cabSwitch("CAB-L:", 290);
  auto right = cabSwitch("CAB-R:", 260);

  auto button = [&](double y) {
    auto b = load.add(ui::View::create<GGCoustomButton>(Rect(400, y, 120, 34)));
    root->addSubview(b);
    return b;
  };
  auto backUp = button(196);
  auto recall = button(150);
  auto reset = button(104);
  auto no = button(58);

  auto version = load.add(makeLabel("", Rect(40, 22, 240, 20), 12));
  root->addSubview(version);

  auto close = load.add(ui::View::create<SWSTAnswerButton>(Rect(526, 346, 24, 24)));
  close->setHasBorder(true);
  for (unsigned s = 0; s < 4; ++s) {
    close->cornerRadii[s] = 4;
    close->borderWidths[s] = 1;
    close->borderColors[s] = ui::Color::rgb255(99, 100, 100);
    close->titleColors[s] = ui::Color::whiteColor();
    close->backgroundColors[s] = ui::Color::rgb255(36, 35, 35);
  }
  close->backgroundColors[SWSTAnswerButton::Hover] = ui::Color::rgb255(60, 60, 60);
  close->backgroundColors[SWSTAnswerButton::Highlight] = accentColor();
  close->setTitle("X");
  close->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
  root->addSubview(close);

  if (!owner) return;
  owner->setView(root);
  owner->inputBgView = input;
  owner->screenBgView = screen;
  owner->otgBgView = otg;
  owner->cabLeftSwitch = left;
  owner->cabRightSwitch = right;
  owner->backUpButton = backUp;
  owner->recallButton = recall;
  owner->resetYesButton = reset;
  owner->resetNoButton = no;
  owner->versionTF = version;
  owner->closeButton = close;
}

}  // namespace

// The screen's side of a restore, handed to the view model.
class SystemViewController::Recall : public SettingViewModel::RecallScreen {
public:
  explicit Recall(std::weak_ptr<SystemViewController> owner) : owner_(std::move(owner)) {}
  void recallEnded(bool success) override {
    if (auto vc = owner_.lock()) vc->hideRecallActivity(success);
  }
  void runRecallFailedAlert() override {
    // The alert is asked even when the screen has gone: the unit restarts
    // after it either way.
    if (auto vc = owner_.lock()) {
      vc->recallFail();
      return;
    }
    showFailedAlert();
  }
  static void showFailedAlert() {
    ui::Alert alert;
    alert.setMessageText(SettingViewModel::kRecallFailedAlert);
    alert.setAlertStyle(ui::AlertStyle::Critical);
    alert.addButtonWithTitle(kYes);
    alert.runModal();
  }

private:
  std::weak_ptr<SystemViewController> owner_;
};

// ---- making

void SystemViewController::registerLayout() {
  auto& registry = ui::LayoutRegistry::shared();
  if (!registry.hasBuilder(kLayoutName)) registry.registerBuilder(kLayoutName, buildSystemLayout);
}

SystemViewController::SystemViewController(Parts parts)
    : ui::ViewController(kLayoutName),
      parts_(parts),
      hid_(fnd::partOr(parts_.service, HIDServiceViewMode::shared)) {}

SystemViewController::~SystemViewController() {
  // A backup or restore still running stops here, within its bound.
  if (viewModel_) viewModel_->cancel();
}

std::shared_ptr<SystemViewController> SystemViewController::create(Parts parts) {
  registerLayout();
  GGVerticalSliderView::registerLayout();
  return fnd::make<SystemViewController>(std::move(parts));
}

std::shared_ptr<ui::View> SystemViewController::makeScreen(Parts parts) {
  auto vc = create(std::move(parts));
  auto view = vc->view();
  if (!view) return nullptr;
  // The holder owns the controller, which owns its view: no cycle, and the
  // whole screen goes when the top bar lets the holder go.
  auto holder = ui::View::create<ui::View>(ui::Rect(0, 0, view->frame().size.width, view->frame().size.height));
  view->setFrameOrigin({0, 0});
  view->setAutoresizingMask(ui::ViewWidthSizable | ui::ViewHeightSizable);
  holder->addSubview(view);
  holder->lifetime().setAssociatedObject(&kControllerKey, fnd::Value(vc));
  return holder;
}

std::shared_ptr<SystemViewController> SystemViewController::controllerOf(const ui::View& screen) {
  return screen.lifetime().associatedObject(&kControllerKey).asObject<SystemViewController>();
}

void SystemViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  prepareUI();
  addRSOberserve();
}

void SystemViewController::prepareUI() {
  if (auto tf = versionTF.lock()) tf->setStringValue(std::string("VERSION: ") + kVersion);

  const std::array<std::weak_ptr<ui::View>, 3> holders{inputBgView, screenBgView, otgBgView};
  std::array<std::shared_ptr<GGVerticalSliderView>*, 3> sliders{&inputSliderView, &screenSliderView, &otgSliderView};
  auto delegate = std::static_pointer_cast<SystemViewController>(shared_from_this());
  for (size_t i = 0; i < levels().size(); ++i) {
    const Level& level = levels()[i];
    auto sliderView = GGVerticalSliderView::createView();
    if (!sliderView) continue;
    *sliders[i] = sliderView;
    sliderView->delegate = delegate;
    if (auto title = sliderView->titleTF.lock()) {
      title->setFont(ui::Font::systemFontOfSize(11));
      title->setStringValue(level.title);
    }
    if (auto value = sliderView->valueTF.lock()) value->setStringValue("50");
    if (auto slider = sliderView->valueSlider.lock()) {
      slider->setMinValue(level.minimum);
      slider->setMaxValue(level.maximum);
    }
    if (auto holder = holders[i].lock()) {
      holder->addSubview(sliderView);
      lc_makeConstraints(*sliderView, [&](LCConstraintMaker& make) { make.edges().equalTo(holder); });
    }
  }

  const std::weak_ptr<SystemViewController> weak = delegate;
  const struct {
    std::weak_ptr<GGCoustomButton> button;
    const char* title;
    void (SystemViewController::*action)(GGCoustomButton&);
  } buttons[] = {
      {backUpButton, "BACKUP", &SystemViewController::justBackUp},
      {recallButton, "RECALL", &SystemViewController::justRecall},
      {resetYesButton, "RESET", &SystemViewController::resetConfirm},
      {resetNoButton, kNo, &SystemViewController::resetCancel},
  };
  for (const auto& b : buttons) {
    auto button = b.button.lock();
    if (!button) continue;
    button->setDefaultBackgroundImage(ui::Image::imageNamed("FunctionButton"));
    button->setSelectedBackgroundImage(ui::Image::imageNamed("FunctionButton_Select"));
    button->setDefaultTitleColor(ui::Color::whiteColor());
    button->setSelectedTitleColor(accentColor());
    button->setDefaultFont(ui::Font::systemFontOfSize(14));
    button->setDefaultTitle(b.title);
    button->setTarget(delegate);
    button->action = [weak, action = b.action](GGCoustomButton& sender) {
      if (auto self = weak.lock()) ((*self).*action)(sender);
    };
  }
  if (auto close = closeButton.lock()) {
    close->setAction([weak](ui::Control& sender) {
      if (auto self = weak.lock()) self->closeAction(sender);
    });
  }
}

void SystemViewController::addRSOberserve() {
  viewModel_ = fnd::make<SettingViewModel>(SettingViewModel::Parts{hid_, parts_.popUps, {}, parts_.timing});
  const std::weak_ptr<SystemViewController> weak = std::static_pointer_cast<SystemViewController>(shared_from_this());
  recall_ = std::make_shared<Recall>(weak);

  // The record is the service's own for its whole life, so these follow the
  // unit for as long as the screen lives.
  const HIDServiceSystemModelPtr system = hid_->systemDataModel();
  for (size_t i = 0; i < levels().size(); ++i) {
    rs_valuesForKeyPath(system, levels()[i].recordKey, this)->subscribeNext([weak, i](const fnd::Value& v) {
      const std::optional<int> value = optionalInt(v);
      dispatch::onMain(weak, [i, value](SystemViewController& vc) { vc.showLevel(levels()[i], value); });
    });
  }
  const struct {
    const char* key;
    std::weak_ptr<GGSwitch> SystemViewController::*cabSwitch;
    fnd::Property<bool> SettingModel::*open;
  } cabs[] = {
      {"leftOutCab", &SystemViewController::cabLeftSwitch, &SettingModel::leftOpen},
      {"rightOutCab", &SystemViewController::cabRightSwitch, &SettingModel::rightOpen},
  };
  for (const auto& cab : cabs) {
    rs_valuesForKeyPath(system, cab.key, this)->subscribeNext([weak, cab](const fnd::Value& v) {
      const int value = optionalInt(v).value_or(0);
      dispatch::onMain(weak, [cab, value](SystemViewController& vc) {
        (vc.viewModel_->model().get()->*cab.open).set((value & 0xFF) != 0);
        // Redraws only: nothing goes back to the unit.
        if (auto s = (vc.*cab.cabSwitch).lock()) s->setIsOn(value != 0);
      });
    });
  }
  if (auto s = cabLeftSwitch.lock()) {
    s->ChangeSwitchStatus = [weak](bool on) {
      if (auto self = weak.lock()) self->switchChanged(true, on);
    };
  }
  if (auto s = cabRightSwitch.lock()) {
    s->ChangeSwitchStatus = [weak](bool on) {
      if (auto self = weak.lock()) self->switchChanged(false, on);
    };
  }
}

// ---- levels

const SystemViewController::Level* SystemViewController::levelOf(const GGVerticalSliderView& view) const {
  if (&view == inputSliderView.get()) return &levels()[0];
  if (&view == screenSliderView.get()) return &levels()[1];
  if (&view == otgSliderView.get()) return &levels()[2];
  return nullptr;
}

GGVerticalSliderView* SystemViewController::sliderOf(const Level& level) const {
  if (&level == &levels()[0]) return inputSliderView.get();
  if (&level == &levels()[1]) return screenSliderView.get();
  return otgSliderView.get();
}

std::optional<int> SystemViewController::modelValue(const Level& level) const {
  return (viewModel_->model().get()->*level.model).get();
}

void SystemViewController::setModelValue(const Level& level, std::optional<int> value) {
  (viewModel_->model().get()->*level.model).set(value);
}

std::string SystemViewController::valueText(const Level& level) const {
  const std::optional<int> value = modelValue(level);
  if (level.decibels) return SettingModel::levelText(value);
  return value ? std::to_string(*value) : std::string();
}

void SystemViewController::showLevel(const Level& level, std::optional<int> value) {
  if (!viewModel_) return;
  setModelValue(level, value);
  redrawLevel(level);
}

void SystemViewController::redrawLevel(const Level& level) {
  GGVerticalSliderView* view = sliderOf(level);
  if (!view) return;
  // The knob moves only when it stands on another whole value, so a drag in
  // progress is not pulled back.
  const int value = modelValue(level).value_or(0);
  if (auto slider = view->valueSlider.lock(); slider && slider->integerValue() != value)
    slider->setIntegerValue(value);
  if (auto text = view->valueTF.lock()) text->setStringValue(valueText(level));
}

void SystemViewController::sendLevel(const Level& level) {
  (hid_->systemDataModel().get()->*level.record).set(modelValue(level));
  viewModel_->sendToChangePageIFNeed(level.page);
  hid_->sendSystem(level.send);
}

void SystemViewController::sliderDragAtCell(GGVerticalSliderView& view, const std::string& value, bool) {
  // Every whole value passed while dragging is sent, and the release's once
  // more.
  const Level* level = levelOf(view);
  if (!level || !viewModel_) return;
  const long n = std::clamp<long>(std::strtol(value.c_str(), nullptr, 10), level->minimum, level->maximum);
  setModelValue(*level, static_cast<int>(n));
  if (auto text = view.valueTF.lock()) text->setStringValue(valueText(*level));
  sendLevel(*level);
}

void SystemViewController::addOrMinusActionAtCell(GGVerticalSliderView& view, bool isAdd) {
  // A step at either end of the range sends the unchanged value again.
  if (const Level* level = levelOf(view); level && viewModel_) {
    const SettingModelPtr model = viewModel_->model();
    isAdd ? model->addValueForType(level->stepType) : model->minusValueForType(level->stepType);
    sendLevel(*level);
  }
  totalRefreshView();
}

void SystemViewController::totalRefreshView() {
  if (!viewModel_) return;
  for (const Level& level : levels()) redrawLevel(level);
}

void SystemViewController::switchChanged(bool left, bool on) {
  const HIDServiceSystemModelPtr system = hid_->systemDataModel();
  (left ? system->leftOutCab : system->rightOutCab).set(on ? 1 : 0);
  viewModel_->sendToChangePageIFNeed(dev::page::kOutCab);
  hid_->sendSystem(dev::SystemSetting::OutCab);
}

std::shared_ptr<PopUpService> SystemViewController::popUps() const {
  return fnd::partOr(parts_.popUps, PopUpService::shared);
}

// ---- closing

std::shared_ptr<ui::View> SystemViewController::popUpContainer() {
  if (isViewLoaded())
    if (ui::Window* w = view()->window()) return w->contentView();
  const auto windows = ui::Application::shared().windows();
  return windows.empty() ? nullptr : windows.front()->contentView();
}

std::shared_ptr<GGPopView> SystemViewController::screenPopUp() {
  if (!isViewLoaded()) return nullptr;
  for (ui::View* v = view()->superview(); v; v = v->superview()) {
    if (auto* pop = dynamic_cast<GGPopView*>(v))
      return pop->isFinished() ? nullptr : std::static_pointer_cast<GGPopView>(pop->sharedFromThis());
  }
  return nullptr;
}

void SystemViewController::closeAction(ui::View&) {
  hid_->sendChangePage(dev::page::kHome);
  if (auto container = popUpContainer()) GGPopView::hideViewInView(container.get());
}

void SystemViewController::resetCancel(GGCoustomButton& sender) { closeAction(sender); }

// ---- backup and restore

void SystemViewController::justBackUp(GGCoustomButton&) {
  ui::SavePanel panel;
  panel.setNameFieldStringValue(kBackupName);
  panel.setMessage(kSaveMessage);
  panel.setAllowsOtherFileTypes(false);
  panel.setExtensionHidden(true);
  panel.setCanCreateDirectories(true);
  panel.setAllowedFileTypes({kBackupExtension});
  if (panel.runModal() != ui::ModalResponseOK || panel.URL().empty()) return;
  // The view model tells the result with a tip of its own.
  viewModel_->startBackUp(panel.URL().string());
}

void SystemViewController::justRecall(GGCoustomButton&) {
  if (viewModel_->isBusy()) {
    // A restore refused now would still end with the restart command, in the
    // middle of the running backup.
    FND_LOG_AT(kClass, "restore not started: a backup or restore is running");
    popUps()->showFailWithTip(SettingViewModel::kRestoreFailedTip, nullptr);
    return;
  }
  ui::OpenPanel panel;
  panel.setMessage(kOpenMessage);
  panel.setAllowedFileTypes({kBackupExtension});
  panel.setExtensionHidden(true);
  panel.setCanCreateDirectories(false);
  panel.setCanChooseFiles(true);
  panel.setAllowsMultipleSelection(false);
  if (panel.runModal() != ui::ModalResponseOK || panel.URL().empty()) return;
  showRecallActivity();
  viewModel_->startRecall(panel.URL().string(), recall_);
}

std::shared_ptr<GGPopView> SystemViewController::recallActivity() const {
  auto overlay = recallActivity_.lock();
  return overlay && !overlay->isFinished() && overlay->superview() ? overlay : nullptr;
}

void SystemViewController::showRecallActivity() {
  if (recallActivity()) return;
  auto loading = ui::View::create<StartLoadingView>();
  loading->setFrame(ui::Rect(0, 0, 242, 100));
  loading->titleLabel()->setStringValue(kRestoring);
  // A panel of its own, so the text stays readable over the sliders.
  loading->layer().setBackgroundColor(ui::Color::rgb255(52, 52, 54));
  loading->layer().setBorderColor(ui::Color::rgb255(99, 100, 100));
  loading->layer().setBorderWidth(1);
  loading->layer().setCornerRadius(8);
  auto overlay = GGPopView::ShowCoustomView(loading, view());
  if (!overlay) return;
  overlay->layer().setBackgroundColor(ui::Color::blackColor().withAlphaComponent(0.2));
  overlay->setDontTouchDissmiss(true);
  recallActivity_ = overlay;
}

void SystemViewController::hideRecallActivity(bool success) {
  // The loading view goes in both endings, so that a failure's alert is not
  // left over a screen still saying "Restoring ...".
  if (auto overlay = recallActivity()) overlay->hideAnimated(true);
  recallActivity_.reset();
  if (!success) return;
  // The screen gives its place in the pop-up to the success tip; the dimmed
  // pop-up stays while the unit restarts.
  if (auto pop = screenPopUp()) {
    pop->OBJShowSuccessTip(SettingViewModel::kRecallSuccessTip);
  } else if (auto container = popUpContainer()) {
    GGPopView::showSuccessWithTip(SettingViewModel::kRecallSuccessTip, container);
  }
}

void SystemViewController::recallFail() {
  if (recallActivity()) hideRecallActivity(false);
  Recall::showFailedAlert();
}

// ---- reset

void SystemViewController::resetConfirm(GGCoustomButton&) {
  auto container = popUpContainer();
  if (!container) return;
  const std::weak_ptr<SystemViewController> weak = std::static_pointer_cast<SystemViewController>(shared_from_this());
  auto panel = SettingResetView::initWithTitle(kResetQuestion, {kNo, kYes}, [weak](GGCoustomButton& button) {
    auto self = weak.lock();
    if (!self) return;
    if (button.defaultTitle() == kNo) {
      self->resetCCancel();
    } else if (button.defaultTitle() == kYes) {
      self->resetConfirm();
    }
  });
  GGPopView::ShowCoustomView(panel, container);
}

void SystemViewController::resetCCancel() {
  if (auto container = popUpContainer()) GGPopView::hideViewInView(container.get());
}

void SystemViewController::resetConfirm() {
  // The reset goes out on this thread, whole, before the process ends.
  hid_->sendReset();
  ui::terminateProcess(0);
}
