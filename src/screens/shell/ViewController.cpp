#include "screens/shell/ViewController.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "controls/GGPopView.h"
#include "controls/StartLoadingView.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "platform/dispatch/OnMain.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Parts.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "platform/ui/Workspace.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/shell/RootWindowConroller.h"
#include "screens/shell/UpdateWindowController.h"

namespace fs = std::filesystem;

namespace {

// Stands in a holder for a screen not built yet: a dim frame with the
// screen's name, so the window shows where it will go.
std::shared_ptr<ui::View> placeholder(const std::string& name) {
  auto view = ui::View::create();
  view->setWantsLayer(true);
  view->layer().setBackgroundColor(ui::Color::rgb255(52, 52, 52));
  view->layer().setBorderWidth(1);
  view->layer().setBorderColor(ui::Color::rgb255(90, 90, 90));
  auto label = ui::TextField::labelWithString(name);
  label->setTextColor(ui::Color::rgb255(150, 150, 150));
  label->setFont(ui::Font::systemFontOfSize(13));
  label->setAlignment(ui::TextAlignment::Center);
  view->addSubview(label);
  lc_makeConstraints(*label, [&](LCConstraintMaker& make) {
    make.center().equalTo(view);
    make.width().equalTo(view);
  });
  return view;
}

std::shared_ptr<ui::View> makeScreen(const std::function<std::shared_ptr<ui::View>()>& factory,
                                     const std::string& name) {
  auto view = factory ? factory() : nullptr;
  return view ? view : placeholder(name);
}

// Makes `folder` with its parents unless something is there already; false,
// and why in `why`, when it cannot.
bool viewControllerMakeFolder(const fs::path& folder, std::string& why) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(folder, ec))) return true;
  fs::create_directories(folder, ec);
  why = ec.message();
  return !ec;
}

}  // namespace

ViewController::Screens& ViewController::screens() {
  static Screens s;
  return s;
}

ViewController::ViewController(ui::FromLayout, ShellParts parts)
    : hid(fnd::partOr(std::move(parts.hid), HIDServiceViewMode::shared)),
      defaults_(fnd::partOr(std::move(parts.defaults), fnd::UserDefaults::standard)) {
  const std::pair<const char*, int64_t> colours[] = {{kSliderColorKey, kDefaultSliderColor},
                                                      {kSelectedColorKey, kDefaultSelectedColor},
                                                      {kEnterColorKey, kDefaultEnterColor}};
  for (const auto& [key, value] : colours)
    if (defaults_->objectForKey(key).isNilOrNull()) defaults_->setObjectForKey(key, fnd::Value(value));

  std::string path = defaults_->stringForKey(kComputerPresetPathKey);
  const bool stored = !path.empty();
  if (!stored) path = GGEffectFunManager::defaultComputerPresetPath().string();
  std::string why;
  bool made = viewControllerMakeFolder(path, why);
  if (!stored) {
    // The users' folder joined with the login name is the home folder unless
    // the home folder is named otherwise. Then it is not the user's folder,
    // and when it cannot be made the one in the home folder is taken instead.
    const fs::path inHome = (fnd::paths::homeDir() / GGEffectFunManager::kPresetFolderName).lexically_normal();
    std::string homeWhy;
    if (!made && inHome != fs::path(path) && viewControllerMakeFolder(inHome, homeWhy)) {
      FND_LOG_AT("ViewController", "cannot make the preset folder %s: %s; %s in the home folder is used instead",
                 path.c_str(), why.c_str(), inHome.c_str());
      path = inHome.string();
      made = true;
    }
    defaults_->setObjectForKey(kComputerPresetPathKey, fnd::Value(path));
  }
  if (!made)
    FND_LOG_AT("ViewController",
               "cannot make the preset folder %s: %s; set \"%s\" in %s to another folder (made at the next start)",
               path.c_str(), why.c_str(), kComputerPresetPathKey, defaults_->file().c_str());
}

void ViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto self = std::static_pointer_cast<ViewController>(shared_from_this());
  if (auto w = view()->window()) RootWindowConroller::styleWindow(*w);
  if (auto split = mainSplitView.lock()) split->setDelegate(std::static_pointer_cast<ui::SplitViewDelegate>(self));
  connect();
}

void ViewController::connect() {
  std::weak_ptr<ViewController> weak = std::static_pointer_cast<ViewController>(shared_from_this());
  hid->setDisconnectionBlock([weak] {
    dispatch::mainQueue()->async([weak] {
      if (auto self = weak.lock()) self->unitLost();
    });
  });
  hid->init();  // identifies the unit: the status is known when it returns

  // No status, or one the editor does not know, is a unit it cannot talk
  // to: the same as no unit.
  const std::string status = hid->deviceStatus.get().value_or("D");
  if (status == "A") {
    dispatch::mainQueue()->async([weak] {
      auto self = weak.lock();
      if (!self || self->ending_) return;
      if (auto w = self->view()->window()) w->makeKeyAndOrderFront();
    });
    startAndGetAllData();
  } else if (status == "B") {
    updateVC()->showWindow();
  } else {
    const std::string message = status == "L" ? std::string(kVersionMismatchText) + kProductName : kDisconnectedText;
    dispatch::mainQueue()->async([weak, message] {
      if (auto self = weak.lock()) self->alertAndExit(message, EXIT_FAILURE);
    });
  }
}

void ViewController::startAndGetAllData() {
  auto container = view();
  GGPopView::hideViewInView(container.get());
  auto loading = ui::View::create<StartLoadingView>();
  loading->setFrame(ui::Rect(0, 0, kLoadingWidth, kLoadingHeight));
  if (auto pop = GGPopView::ShowCoustomView(loading, container)) pop->setDontTouchDissmiss(true);
  loadingView_ = loading;

  std::weak_ptr<ViewController> weak = std::static_pointer_cast<ViewController>(shared_from_this());
  std::weak_ptr<StartLoadingView> weakLoading = loading;
  // The service asks the unit again while it stays silent, and keeps this
  // callback for the current-preset reports after the read.
  // Called on the HID thread: the views are only touched (and so only
  // released) on the main thread.
  hid->startBulkRead([weak, weakLoading](int n) {
    dispatch::mainQueue()->async([weak, weakLoading, n] {
      if (auto view = weakLoading.lock()) view->setProgress(n / 200.0);
      auto self = weak.lock();
      if (n < HIDServiceViewMode::kProgressDone || !self || self->built_ || self->ending_) return;
      self->prepareUI();
      GGPopView::hideViewInView(self->view().get());
    });
  });
}

void ViewController::prepareUI() {
  auto presetBg = presetBgView.lock();
  auto topBg = topBgView.lock();
  auto effectBg = effectBgView.lock();
  if (built_ || !presetBg || !topBg || !effectBg) return;
  built_ = true;
  const Screens& make = screens();

  auto header = ui::View::create<ui::ImageView>();
  header->setImage(ui::Image::imageNamed("presetBg"));
  header->setImageScaling(ui::ImageScaling::AxesIndependently);
  presetBg->addSubview(header);
  lc_makeConstraints(*header, [&](LCConstraintMaker& m) {
    m.top().equalTo(presetBg).offset(20);
    m.left().equalTo(presetBg).offset(22);
    m.right().equalTo(presetBg).offset(-10);
    m.height().equalTo(30);
  });
  presetHeader = header;

  topView = makeScreen(make.topView, "Top bar");
  topBg->addSubview(topView);
  lc_makeConstraints(*topView, [&](LCConstraintMaker& m) { m.edges().equalTo(topBg); });

  auto title = ui::TextField::labelWithString(kPresetTitle);
  title->setFont(ui::Font::boldSystemFontOfSize(16));
  title->setTextColor(ui::Color::whiteColor());
  title->setAlignment(ui::TextAlignment::Center);
  title->setDrawsBackground(false);
  title->setBezeled(false);
  title->setBordered(false);
  title->setEditable(false);
  title->setSelectable(false);
  header->addSubview(title);
  lc_makeConstraints(*title, [&](LCConstraintMaker& m) {
    m.center().equalTo(presetHeader);
    m.width().equalTo(120);
  });

  presetView = makeScreen(make.presetView, "Unit presets");
  presetBg->addSubview(presetView);
  lc_makeConstraints(*presetView, [&](LCConstraintMaker& m) {
    m.top().equalTo(lc_bottom(presetHeader));
    m.bottom().equalTo(lc_centerY(presetBg)).offset(6);
    m.left().right().equalTo(presetHeader);
  });

  localPresetView = makeScreen(make.localPresetView, "Computer presets");
  presetBg->addSubview(localPresetView);
  lc_makeConstraints(*localPresetView, [&](LCConstraintMaker& m) {
    m.top().equalTo(lc_bottom(presetView)).offset(8);
    m.bottom().equalTo(presetBg).offset(-30);
    m.left().right().equalTo(presetHeader);
  });

  chainView = makeScreen(make.chainView, "Module bar");
  effectBg->addSubview(chainView);
  lc_makeConstraints(*chainView, [&](LCConstraintMaker& m) {
    m.left().equalTo(effectBg).offset(10);
    m.right().equalTo(effectBg);
    m.top().equalTo(effectBg).offset(30);
    m.height().equalTo(140);
  });

  moduleView = makeScreen(make.moduleView, "Module editor");
  effectBg->addSubview(moduleView);
  lc_makeConstraints(*moduleView, [&](LCConstraintMaker& m) {
    m.top().equalTo(lc_bottom(chainView));
    m.left().equalTo(effectBg).offset(10);
    m.right().equalTo(effectBg).offset(-22);
    m.bottom().equalTo(lc_bottom(localPresetView)).offset(10);
  });

  std::weak_ptr<ViewController> weak = std::static_pointer_cast<ViewController>(shared_from_this());
  rs_valuesForKeyPath(hid, "awaitingCurrentPreset", this)->subscribeNext([weak](const fnd::Value&) {
    dispatch::onMain(weak, [](ViewController& vc) { vc.followCurrentPresetWrites(); });
  });
}

std::shared_ptr<GGPopView> ViewController::writeHold() const {
  auto hold = writeHold_.lock();
  return hold && !hold->isFinished() && hold->superview() ? hold : nullptr;
}

// As the service's state is now: a change seen late finds the state it led
// to.
void ViewController::followCurrentPresetWrites() {
  const bool awaiting = hid->awaitingCurrentPreset.get();
  auto hold = writeHold();
  if (awaiting && !hold && !ending_) {
    auto loading = ui::View::create<StartLoadingView>();
    loading->setFrame(ui::Rect(0, 0, kLoadingWidth, kLoadingHeight));
    hold = GGPopView::ShowCoustomView(loading, view());
    if (hold) hold->setDontTouchDissmiss(true);
    writeHold_ = hold;
  } else if (!awaiting && hold) {
    hold->hideAnimated(false);
    writeHold_.reset();
  }
}

std::shared_ptr<UpdateWindowController> ViewController::updateVC() {
  if (!updateVC_) updateVC_ = fnd::make<UpdateWindowController>(hid);
  return updateVC_;
}

bool ViewController::updateSucceeded() {
  const bool inBootLoader = hid->deviceStatus.get() == std::optional<std::string>("B");
  return inBootLoader && updateVC()->progressValue() > kUpdateDone;
}

void ViewController::unitLost() {
  if (updateSucceeded()) {
    alertAndExit(kUpdateSuccessText, EXIT_SUCCESS);
  } else {
    alertAndExit(kDisconnectedText, EXIT_FAILURE);
  }
}

void ViewController::alertAndExit(const std::string& message, int status) {
  if (ending_) return;
  ending_ = true;
  ui::Alert alert;
  alert.setMessageText(message);
  alert.setAlertStyle(ui::AlertStyle::Critical);
  alert.addButtonWithTitle(kAlertButton);
  alert.runModal();
  ui::terminateProcess(status);
}
