// The firmware update window, end to end: the whole program started on a
// simulated unit in its boot loader, headless; the button clicked as a user
// would, a small test image written into the simulated boot loader, and the
// alerts and the end of the process recorded by the platform handlers.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "controls/AccentColor.h"
#include "controls/GGCoustomButton.h"
#include "controls/ITProgressBar.h"
#include "platform/ui/TextField.h"
#include "screens/ShellRig.h"
#include "screens/shell/UpdateWindowController.h"
#include "sim/bootloader/SimBootloader.h"
#include "sim/bootloader/TestFirmwareImage.h"
#include "ui/ViewTestSupport.h"

using namespace svc_test;
namespace fs = std::filesystem;

namespace {

using State = UpdateWindowController::State;

// The program in its boot loader with the update window open, its image a
// test image of `blocks` blocks in the rig's folder.
struct UpdateRig {
  ShellRig shell{identityWith('B')};
  std::shared_ptr<sim::SimBootloader> loader = sim::SimBootloader::install(*shell.sim.unit);
  std::shared_ptr<UpdateWindowController> update;
  fs::path image = shell.folder / libupdate_zarvo::kFirmwareImageName;

  explicit UpdateRig(size_t blocks = 40, bool leaveBus = true) {
    sim::SimBootloader::Knobs knobs;
    knobs.leaveBusAfterFinish = leaveBus;
    loader->setKnobs(knobs);
    auto t = updater().timing();
    t.progressFirstTick = 20ms;
    t.progressInterval = 5ms;
    updater().setTiming(t);
    const auto bytes = sim::makeTestFirmware(sim::TestFirmwareSpec::withBlocks(blocks));
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    shell.launch();
    update = shell.vc().updateVC();
    update->setFirmwarePath(image);
  }
  libupdate_zarvo& updater() { return *shell.sim.hid; }
  GGCoustomButton& button() { return *update->updateBtn.lock(); }
  std::string label() { return update->percentLabel.lock()->stringValue(); }
  double bar() { return update->progressView.lock()->floatValue(); }

  void click() {
    ui::testing::Pointer pointer(*update->window());
    const ui::Rect b = button().bounds();
    pointer.click(button().convertPointToView({b.midX(), b.midY()}, nullptr));
  }
  bool waitFor(const std::function<bool()>& done) { return dispatch::runMainLoopUntil(done, kBound); }
  // Waits until the updater has made its last call of the update and the
  // window has had it. The tick that decides the end (or a cancel) marks the
  // update over and cancels the progress timer before it calls back;
  // cancelUpdate() then waits for a call under way to return, and the main
  // queue runs what it posted. Nothing of the update comes after.
  bool waitForTheLastReport() {
    auto timer = updater().time();
    if (!timer || !waitFor([&] { return timer->isCancelled(); })) return false;
    updater().cancelUpdate();
    dispatch::drainMainQueue();
    return true;
  }
  void snapshot(const char* name) {
    auto w = update->window();
    w->layoutIfNeeded();
    const QImage picture = w->widget()->grab().toImage();
    EXPECT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(QString::fromStdString((fs::path(QV450_RESOURCES_DIR).parent_path() / name).string())));
  }
};

// The colour the window shows at a point of the button, 25 points in from
// its right edge and 10 below its top (clear of its title and icon), with
// the button normal, under the pointer, or pressed.
enum class Look { normal, hover, pressed };
QColor buttonColour(UpdateRig& rig, Look look) {
  GGCoustomButton& b = rig.button();
  const ui::Point inside = b.convertPointToView({b.bounds().maxX() - 25, b.bounds().maxY() - 10}, nullptr);
  ui::Event e(ui::EventType::MouseEntered, inside, rig.update->window().get());
  if (look != Look::normal) b.mouseEntered(e);
  if (look == Look::pressed) b.mouseDown(e);
  auto w = rig.update->window();
  w->layoutIfNeeded();
  const QImage picture = w->widget()->grab().toImage();
  b.mouseCancelled(e);  // back to normal, nothing sent
  return picture.pixelColor(static_cast<int>(inside.x), picture.height() - 1 - static_cast<int>(inside.y));
}

void expectTheErrorAlertThenTheEnd(UpdateRig& rig, int status) {
  ASSERT_TRUE(rig.shell.waitForExit());
  ASSERT_EQ(rig.shell.alerts.size(), 1u);
  const ui::AlertRequest& alert = rig.shell.alerts[0];
  EXPECT_EQ(alert.messageText, "Error!\n Error cod: " + std::to_string(status) + "\n click 'YES' exit application");
  EXPECT_EQ(alert.style, ui::AlertStyle::Warning);
  EXPECT_EQ(alert.buttons, std::vector<std::string>{"YES"});
  EXPECT_EQ(rig.shell.exits, std::vector<int>{EXIT_FAILURE});
  EXPECT_EQ(rig.update->state(), State::failed);
}

}  // namespace

TEST(UpdateWindow, WritesTheImageAndTheUnitsRestartSaysSuccess) {
  UpdateRig rig;
  ASSERT_TRUE(rig.update->window()->isVisible());
  EXPECT_EQ(rig.button().defaultTitle(), " ");
  EXPECT_EQ(rig.label(), "");
  EXPECT_EQ(rig.bar(), 0.0);
  rig.snapshot("update-window-ready.png");

  rig.click();
  rig.click();  // while it runs: nothing more
  EXPECT_EQ(rig.update->state(), State::running);
  EXPECT_EQ(rig.button().defaultTitle(), "Waiting...");
  EXPECT_EQ(rig.button().defaultTitleColor(), ui::Color::redColor());
  EXPECT_EQ(rig.button().defaultBackgroundColor(), UpdateWindowController::kRunningBackground);
  rig.snapshot("update-window-waiting.png");

  ASSERT_TRUE(rig.waitFor([&] { return rig.update->state() == State::done; }));
  EXPECT_EQ(rig.label(), "100%");
  EXPECT_EQ(rig.button().defaultTitle(), "Update Success !");
  EXPECT_EQ(rig.button().defaultTitleColor(), accentColor());
  EXPECT_EQ(rig.bar(), 1.0);
  rig.snapshot("update-window-done.png");
  // The update runs once per process: a click after the end starts none
  // (it would send its opening packet again, or fail without a unit).
  rig.click();

  // The boot loader got the whole image, in order, then left the bus: the
  // shell's last word is the success.
  ASSERT_TRUE(rig.shell.waitForExit());
  ASSERT_TRUE(rig.shell.waitPastTheRemoval());
  ASSERT_TRUE(rig.waitForTheLastReport());
  const auto types = rig.loader->packetTypes();
  EXPECT_EQ(std::count(types.begin(), types.end(), 0x00), 1);  // one opening packet
  EXPECT_EQ(rig.button().defaultTitle(), "Update Success !");
  ASSERT_EQ(rig.shell.alerts.size(), 1u);
  EXPECT_EQ(rig.shell.alerts[0].messageText, "Update Success !");
  EXPECT_EQ(rig.shell.exits, std::vector<int>{0});
  EXPECT_EQ(rig.loader->blocks().size(), 40u);
}

// The unit restarts as soon as the closing packet is out; the updater's
// report of the end comes only after its closing pause, and here no earlier
// report came at all (the progress timer is too slow). The end is still a
// success, and the window shows it.
TEST(UpdateWindow, TheUnitLeavingBeforeTheLastReportIsStillASuccess) {
  UpdateRig rig;
  auto t = rig.updater().timing();
  t.progressFirstTick = std::chrono::seconds(60);
  rig.updater().setTiming(t);
  rig.updater().engine().finishPause = std::chrono::seconds(3);
  rig.click();
  ASSERT_TRUE(rig.shell.waitForExit());
  ASSERT_EQ(rig.shell.alerts.size(), 1u);
  EXPECT_EQ(rig.shell.alerts[0].messageText, "Update Success !");
  EXPECT_EQ(rig.update->state(), State::done);
  EXPECT_EQ(rig.label(), "100%");
  EXPECT_EQ(rig.bar(), 1.0);
}

// The boot loader stops acknowledging half-way: the window shows how far it
// got; then the updater gives up (its status in the error alert, then the
// end), or the unit is pulled out (the shell says it is gone: no success).
TEST(UpdateWindowFailures, StoppedHalfWay) {
  for (const bool pulled : {false, true}) {
    SCOPED_TRACE(pulled ? "pulled out" : "silent");
    UpdateRig rig;
    sim::SimBootloader::Knobs knobs;
    knobs.ackLimit = 20;
    rig.loader->setKnobs(knobs);
    rig.updater().engine().blockAckTimeout = pulled ? std::chrono::milliseconds(60000) : std::chrono::milliseconds(1500);
    rig.click();
    // 21 of 40 blocks sent, the last one unanswered.
    ASSERT_TRUE(rig.waitFor([&] { return rig.label() == "52%"; }));
    EXPECT_EQ(rig.bar(), 0.52);
    EXPECT_EQ(rig.button().defaultTitle(), "Waiting...");
    if (!pulled) {
      rig.snapshot("update-window-midway.png");
      expectTheErrorAlertThenTheEnd(rig, FirmwareEngine::StatusNoAnswer);
      EXPECT_EQ(rig.bar(), 0.52);
      continue;
    }
    rig.shell.sim.unit->unplug();
    ASSERT_TRUE(rig.shell.waitForExit());
    ASSERT_FALSE(rig.shell.alerts.empty());
    EXPECT_EQ(rig.shell.alerts[0].messageText, "The device is disconnected.");
    EXPECT_EQ(rig.shell.exits[0], EXIT_FAILURE);
    EXPECT_NE(rig.update->state(), State::done);
  }
}

// No report for the watchdog's time (the unit takes the opening packets,
// then never acknowledges the first block, and the updater waits long):
// the update is given up with the error alert instead of "Waiting..." for
// ever, and nothing more goes to the unit.
TEST(UpdateWindowFailures, NoReportForTooLongEndsWithTheErrorAlert) {
  UpdateRig rig;
  sim::SimBootloader::Knobs knobs;
  knobs.ackLimit = 0;
  rig.loader->setKnobs(knobs);
  FirmwareEngine& engine = rig.updater().engine();
  engine.blockAckTimeout = std::chrono::seconds(60);
  engine.waitStep = std::chrono::microseconds(20);
  engine.helloWaitSteps = 10000;
  rig.update->progressTimeout = std::chrono::milliseconds(200);
  rig.click();
  expectTheErrorAlertThenTheEnd(rig, FirmwareEngine::StatusNoAnswer);
  EXPECT_FALSE(rig.updater().isUpdating());
  EXPECT_EQ(engine.status(), FirmwareEngine::StatusCancelled);
  const size_t packets = rig.loader->packets().size();
  ASSERT_TRUE(rig.waitForTheLastReport());
  EXPECT_EQ(rig.loader->packets().size(), packets);
  EXPECT_EQ(rig.shell.alerts.size(), 1u);
}

// Without an image the window says so and the unit is left alone; an image
// that is there but cannot be used ends with the image status before
// anything is sent.
TEST(UpdateWindowFailures, AMissingOrUnusableImageSendsNothing) {
  {
    UpdateRig rig;
    rig.update->setFirmwarePath(rig.shell.folder / "absent" / libupdate_zarvo::kFirmwareImageName);
    EXPECT_EQ(rig.label(), UpdateWindowController::kNoImageText);
    rig.snapshot("update-window-no-image.png");
    EXPECT_TRUE(rig.button().isHidden());  // nothing is offered that cannot work
    rig.click();
    rig.click();
    EXPECT_EQ(rig.updater().time(), nullptr);  // no update was begun
    dispatch::drainMainQueue();
    EXPECT_EQ(rig.update->state(), State::ready);
    EXPECT_EQ(rig.button().defaultTitle(), " ");
    EXPECT_EQ(rig.label(), UpdateWindowController::kNoImageText);
    EXPECT_TRUE(rig.loader->packets().empty());
    EXPECT_TRUE(rig.shell.alerts.empty());
  }
  for (const bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "a folder by that name" : "a malformed image");
    UpdateRig rig;
    fs::remove(rig.image);
    if (folder) {
      fs::create_directory(rig.image);
    } else {
      std::ofstream(rig.image) << "not firmware";
    }
    rig.click();
    expectTheErrorAlertThenTheEnd(rig, FirmwareEngine::StatusImageFailed);
    EXPECT_TRUE(rig.loader->packets().empty());
  }
}

// The button shows in every state it can be in: its picture (lighter under
// the pointer and pressed) while ready, its light background while it waits
// and once done. It never shows the window's own background.
TEST(UpdateWindow, TheButtonIsDrawnInEveryState) {
  UpdateRig rig;
  const QColor window(38, 38, 38);
  const QColor picture(0x2f, 0x3a, 0x44), lighter(0x3d, 0x53, 0x66), light(238, 238, 238);
  EXPECT_EQ(buttonColour(rig, Look::normal), picture);
  EXPECT_EQ(buttonColour(rig, Look::hover), lighter);
  EXPECT_EQ(buttonColour(rig, Look::pressed), lighter);
  rig.click();
  ASSERT_EQ(rig.update->state(), State::running);
  for (const Look look : {Look::normal, Look::hover, Look::pressed}) EXPECT_EQ(buttonColour(rig, look), light);
  ASSERT_TRUE(rig.waitFor([&] { return rig.update->state() == State::done; }));
  for (const Look look : {Look::normal, Look::hover, Look::pressed}) {
    EXPECT_EQ(buttonColour(rig, look), light);
    EXPECT_NE(buttonColour(rig, look), window);
  }
  ASSERT_TRUE(rig.shell.waitForExit());
}

// The done state on its own: a report of 98 leaves the update waiting, 99 is
// the end (the updater never reports 100 itself), and nothing after the end
// takes it back. The boot loader here acknowledges nothing, so only these
// reports move the window.
TEST(UpdateWindow, NinetyNinePercentIsDone) {
  UpdateRig rig;
  sim::SimBootloader::Knobs knobs;
  knobs.ackLimit = 0;
  rig.loader->setKnobs(knobs);
  rig.updater().engine().blockAckTimeout = std::chrono::seconds(60);
  rig.click();
  ASSERT_EQ(rig.update->state(), State::running);
  rig.update->applyProgress(98);
  EXPECT_EQ(rig.update->state(), State::running);
  EXPECT_EQ(rig.label(), "98%");
  EXPECT_DOUBLE_EQ(rig.bar(), 0.98);
  EXPECT_EQ(rig.button().defaultTitle(), "Waiting...");
  rig.update->applyProgress(99);
  EXPECT_EQ(rig.update->state(), State::done);
  EXPECT_EQ(rig.label(), "100%");
  EXPECT_EQ(rig.bar(), 1.0);
  EXPECT_EQ(rig.button().defaultTitle(), "Update Success !");
  EXPECT_EQ(rig.button().defaultTitleColor(), accentColor());
  rig.update->applyProgress(40);
  EXPECT_EQ(rig.label(), "100%");
  EXPECT_EQ(rig.bar(), 1.0);
  rig.updater().cancelUpdate();
}

// An image that comes after the window opened offers the button again.
TEST(UpdateWindow, TheButtonIsOfferedOnlyWithAnImage) {
  UpdateRig rig;
  EXPECT_FALSE(rig.button().isHidden());
  rig.update->setFirmwarePath(rig.shell.folder / "absent.qv");
  EXPECT_TRUE(rig.button().isHidden());
  EXPECT_EQ(rig.label(), UpdateWindowController::kNoImageText);
  rig.update->setFirmwarePath(rig.image);
  EXPECT_FALSE(rig.button().isHidden());
  EXPECT_EQ(rig.label(), "");
}
