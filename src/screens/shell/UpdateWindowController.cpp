#include "screens/shell/UpdateWindowController.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "controls/AccentColor.h"
#include "controls/GGCoustomButton.h"
#include "controls/ITProgressBar.h"
#include "device/firmware/FirmwareEngine.h"
#include "device/firmware/FirmwareImage.h"
#include "device/firmware/libupdate_zarvo.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/LayoutRegistry.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "platform/ui/Workspace.h"

const ui::Color UpdateWindowController::kRunningBackground = ui::Color::srgb(238 / 255.0, 238 / 255.0, 238 / 255.0);

namespace {

const ui::Color kBackground = ui::Color::rgb255(38, 38, 38);

// The window: the start button in the middle, the bar and the percentage
// under it (y-up).
void buildUpdateWindowLayout(ui::LayoutLoad& load) {
  using C = UpdateWindowController;
  auto* owner = dynamic_cast<C*>(load.owner());
  auto window = load.add(ui::Window::create(ui::Rect(0, 0, C::kWidth, C::kHeight), ui::Window::Titled | ui::Window::Closable),
                         true);
  auto content = load.add(ui::View::create(ui::Rect(0, 0, C::kWidth, C::kHeight)));
  content->setWantsLayer(true);
  content->layer().setBackgroundColor(kBackground);

  auto button = load.add(ui::View::create<GGCoustomButton>(ui::Rect(140, 120, 200, 56)));
  button->setRadius(8);
  button->rectCorners = GGCoustomButton::AllCorners;
  button->setDefaultTitleColor(ui::Color::whiteColor());
  button->setDefaultBackgroundImage(ui::Image::imageNamed(C::kStartImage));
  // Under the pointer and pressed: the lighter picture (without one the
  // button would draw only its clear background there).
  button->setSelectedBackgroundImage(ui::Image::imageNamed(C::kStartHoverImage));
  content->addSubview(button);

  auto bar = load.add(ui::View::create<ITProgressBar>(ui::Rect(40, 70, 400, 16)));
  content->addSubview(bar);

  auto label = load.add(ui::TextField::labelWithString(""));
  label->setFont(ui::Font::systemFontOfSize(15));
  label->setTextColor(ui::Color::whiteColor());
  label->setDrawsBackground(false);
  label->setAlignment(ui::TextAlignment::Center);
  label->setFrame(ui::Rect(40, 32, 400, 24));
  content->addSubview(label);

  window->setContentView(content);
  if (!owner) return;
  owner->updateBtn = button;
  owner->progressView = bar;
  owner->percentLabel = label;
  owner->setWindow(window);
}

void registerLayout() {
  auto& registry = ui::LayoutRegistry::shared();
  if (!registry.hasBuilder(UpdateWindowController::kLayout))
    registry.registerBuilder(UpdateWindowController::kLayout, buildUpdateWindowLayout);
}

}  // namespace

UpdateWindowController::UpdateWindowController(std::shared_ptr<HIDServiceViewMode> service)
    : RootWindowConroller(kLayout), service_(std::move(service)) {
  registerLayout();
}

std::shared_ptr<UpdateWindowController> UpdateWindowController::self() {
  return std::static_pointer_cast<UpdateWindowController>(shared_from_this());
}

double UpdateWindowController::progressValue() {
  if (state_ == State::running)
    if (auto running = updater_.lock()) {
      // Every block acknowledged (the closing packet goes out after the
      // last one) or the update finished: the report is on its way.
      const FirmwareEngine& engine = running->engine();
      const int percent = engine.percentage();
      if (engine.status() == FirmwareEngine::StatusFinished) {
        applyProgress(100);
      } else if (percent >= kDonePercent && percent <= 100) {
        applyProgress(percent);
      }
    }
  auto bar = progressView.lock();
  return bar ? bar->floatValue() : 0.0;
}

std::shared_ptr<libupdate_zarvo> UpdateWindowController::updater() const {
  auto service = service_ ? service_ : HIDServiceViewMode::shared();
  return service ? service->zrHID() : nullptr;
}

std::filesystem::path UpdateWindowController::firmwarePath() const {
  return firmwarePath_.empty() ? libupdate_zarvo::bundledFirmwarePath() : firmwarePath_;
}

void UpdateWindowController::setFirmwarePath(std::filesystem::path path) {
  firmwarePath_ = std::move(path);
  showImagePresence();
}

void UpdateWindowController::showImagePresence() {
  if (state_ != State::ready) return;
  const bool installed = imageInstalled();
  if (auto label = percentLabel.lock()) label->setStringValue(installed ? "" : kNoImageText);
  if (auto button = updateBtn.lock()) button->setHidden(!installed);
}

bool UpdateWindowController::imageInstalled() const {
  std::error_code ec;
  return std::filesystem::exists(firmwarePath(), ec);
}

std::string UpdateWindowController::errorMessage(int status) {
  char text[96];
  std::snprintf(text, sizeof text, kErrorFormat, status);
  return text;
}

void UpdateWindowController::windowDidLoad() {
  RootWindowConroller::windowDidLoad();
  std::weak_ptr<UpdateWindowController> weak = self();
  if (auto button = updateBtn.lock()) {
    button->setWantsLayer(true);
    button->layer().setBackgroundColor(ui::Color::clearColor());
    button->setDefaultTitle(kReadyTitle);
    button->setTarget(self());
    button->setDefaultFont(ui::Font::systemFontOfSize(18));
    button->action = [weak](GGCoustomButton&) {
      if (auto controller = weak.lock()) controller->startUpdate();
    };
  }
  showImagePresence();
  if (auto w = window())
    w->willClose = [weak](ui::Window&) {
      if (auto controller = weak.lock()) controller->windowWillClose();
    };
}

void UpdateWindowController::windowWillClose() {
  // Closing the only window of the process ends it, as the main window's
  // close button does; a running update goes on to its own end, whose alert
  // ends the process.
  if (state_ == State::running) {
    fnd::log("The firmware update window was closed while the update runs; the update goes on");
    return;
  }
  if (state_ != State::failed) ui::terminateProcess(0);
}

void UpdateWindowController::startUpdate() {
  if (state_ != State::ready) return;
  auto button = updateBtn.lock();
  auto label = percentLabel.lock();
  const std::filesystem::path path = firmwarePath();
  if (!imageInstalled()) {
    // Nothing to write: the window says so and the unit is left alone.
    fnd::log("No firmware image at %s", path.string().c_str());
    showImagePresence();
    return;
  }

  // The update is started once: later clicks reach nothing.
  state_ = State::running;
  if (button) {
    button->setTarget(nullptr);
    button->action = nullptr;
    button->setDefaultBackgroundImage(nullptr);
    button->setSelectedBackgroundImage(nullptr);  // the same look under the pointer
    button->setDefaultTitle(kWaitingTitle);
    button->setDefaultTitleColor(ui::Color::redColor());
    button->setDefaultBackgroundColor(kRunningBackground);
  }
  if (label) label->setStringValue("");

  // The image is checked here as the updater would check it, so that a bad
  // one ends with its status before anything is sent.
  std::string why;
  const auto image = FirmwareImage::load(path, &why);
  if (!image) {
    fnd::log("The firmware image %s cannot be used: %s", path.string().c_str(), why.c_str());
    fail(FirmwareEngine::StatusImageFailed);
    return;
  }
  auto updater = this->updater();
  if (!updater) {
    fnd::log("No updater to write the firmware with");
    fail(FirmwareEngine::StatusAnnounceSendFailed);
    return;
  }

  // Before the first report the unit may take its announcement wait (from
  // the image) and the progress timer its first tick.
  const FirmwareEngine& engine = updater->engine();
  const auto unitWait = std::chrono::duration_cast<std::chrono::milliseconds>(
      engine.waitStep * (static_cast<int64_t>(engine.helloWaitSteps) + image->announceWaitLimit()));
  armWatchdog(progressTimeout + updater->timing().progressFirstTick + unitWait);

  updater_ = updater;
  std::weak_ptr<UpdateWindowController> weak = self();
  updater->beginUpdate(
      path.string(),
      [weak](int percent) {
        fnd::log("progress: %d", percent);
        dispatch::mainQueue()->async([weak, percent] {
          if (auto controller = weak.lock()) controller->applyProgress(percent);
        });
      },
      [weak](int status) {
        fnd::log("error :%d", status);
        dispatch::mainQueue()->async([weak, status] {
          if (auto controller = weak.lock()) controller->applyError(status);
        });
      });
}

void UpdateWindowController::applyProgress(int percent) {
  // Once done the window keeps showing it (the updater's own 100 may come
  // after the done state was taken from an earlier report).
  if (state_ != State::running) return;
  if (percent < 0 || percent > 100) {
    fnd::log("Firmware progress %d ignored", percent);
    return;
  }
  auto bar = progressView.lock();
  auto label = percentLabel.lock();
  if (label) label->setStringValue(std::to_string(percent) + "%");
  if (bar) bar->setFloatValue(percent / 100.0);
  if (percent >= kDonePercent) {
    state_ = State::done;
    ++watchdogGeneration_;  // nothing more to wait for
    if (label) label->setStringValue(kDonePercentText);
    if (auto button = updateBtn.lock()) {
      button->setDefaultTitle(kSuccessTitle);
      button->setDefaultTitleColor(accentColor());
    }
    if (bar) bar->setFloatValue(1.0);
    return;
  }
  armWatchdog(progressTimeout);
}

void UpdateWindowController::applyError(int status) {
  if (state_ != State::running && state_ != State::done) return;
  fail(status);
}

void UpdateWindowController::fail(int status) {
  state_ = State::failed;
  ++watchdogGeneration_;
  alertApp(errorMessage(status), true);
}

void UpdateWindowController::armWatchdog(std::chrono::milliseconds bound) {
  const uint64_t generation = ++watchdogGeneration_;
  std::weak_ptr<UpdateWindowController> weak = self();
  dispatch::mainQueue()->after(bound, [weak, generation, bound] {
    auto controller = weak.lock();
    if (!controller || controller->watchdogGeneration_ != generation || controller->state_ != State::running) return;
    fnd::log("No firmware update report for %lld ms: the update is given up", static_cast<long long>(bound.count()));
    // Nothing more is sent and no report of this update comes after this.
    if (auto updater = controller->updater_.lock()) updater->cancelUpdate();
    controller->fail(FirmwareEngine::StatusNoAnswer);
  });
}

void UpdateWindowController::alertApp(const std::string& message, bool isExit) {
  // Always on a later turn of the main loop, also from the main thread.
  dispatch::mainQueue()->async([message, isExit] {
    ui::Alert alert;
    alert.setMessageText(message);
    alert.setAlertStyle(ui::AlertStyle::Warning);
    alert.addButtonWithTitle(kAlertButton);
    alert.runModal();
    if (isExit) ui::terminateProcess(EXIT_FAILURE);
  });
}
