#include "platform/ui/PlatformHandlers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/ui/Alert.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/Workspace.h"
#include "support/TempFolder.h"

namespace ui {
namespace {

namespace fs = std::filesystem;

// Answers the next modal dialog with `act` once it is up (act returns true
// when done). If the dialog is still open after the watchdog's time it is
// rejected, so a test never hangs, and the test fails.
class ModalAnswer {
public:
  explicit ModalAnswer(std::function<bool(QWidget*)> act) : act_(std::move(act)) {
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (QWidget* w = QApplication::activeModalWidget(); w && !done_) done_ = act_(w);
      if (done_) poll_.stop();
    });
    poll_.start();
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        timedOut_ = true;
        d->reject();
      }
    });
    watchdog_.start(10000);
  }
  ~ModalAnswer() { EXPECT_FALSE(timedOut_) << "the dialog was not answered in time"; }
  bool answered() const { return done_; }

private:
  std::function<bool(QWidget*)> act_;
  QTimer poll_;
  QTimer watchdog_;
  bool done_ = false;
  bool timedOut_ = false;
};

// A file of the folder, written.
fs::path touch(const TempFolder& folder, const std::string& name) {
  TempFolder::write(folder / name, "x");
  return folder / name;
}

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == title) return b;
  return nullptr;
}

TEST(AlertDialogTest, RealAlertReturnsThePressedButton) {
  Alert alert;
  alert.setMessageText("The current preset data has been modified");
  alert.setInformativeText("Save it?");
  alert.setAlertStyle(AlertStyle::Critical);
  alert.addButtonWithTitle("NO");
  alert.addButtonWithTitle("SAVE");
  QString seenText, seenInfo;
  QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
  ModalAnswer answer([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    seenText = box->text();
    seenInfo = box->informativeText();
    seenIcon = box->icon();
    QAbstractButton* save = buttonTitled(box, "SAVE");
    if (!save) return false;
    save->click();
    return true;
  });
  EXPECT_EQ(alert.runModal(), AlertSecondButtonReturn);
  EXPECT_TRUE(answer.answered());
  EXPECT_EQ(seenText, "The current preset data has been modified");
  EXPECT_EQ(seenInfo, "Save it?");
  EXPECT_EQ(seenIcon, QMessageBox::Critical);
}

TEST(AlertDialogTest, ClosingAOneButtonAlertCountsAsThatButton) {
  Alert alert;
  alert.setMessageText("The device is disconnected.");
  alert.addButtonWithTitle("Yes");
  ModalAnswer answer([](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return false;
    box->reject();
    return true;
  });
  EXPECT_EQ(alert.runModal(), AlertFirstButtonReturn);
}

TEST(FilePanelDialogTest, RealOpenPanelChoosesAnAllowedFile) {
  TempFolder folder;
  const fs::path preset = touch(folder, "Clean.pqv");
  touch(folder, "notes.txt");
  OpenPanel panel;
  panel.setAllowedFileTypes({"pqv"});
  panel.setDirectory(folder.path());
  QStringList filters;
  ModalAnswer answer([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (!name) return false;
    filters = dialog->nameFilters();
    name->setText("Clean.pqv");
    static_cast<QDialog*>(dialog)->accept();
    return true;
  });
  ASSERT_EQ(panel.runModal(), ModalResponseOK);
  ASSERT_EQ(panel.URLs().size(), 1u);
  EXPECT_EQ(fs::canonical(panel.URL()), fs::canonical(preset));
  ASSERT_FALSE(filters.isEmpty());
  EXPECT_TRUE(filters.front().contains("*.pqv")) << filters.front().toStdString();
}

TEST(FilePanelDialogTest, RealPanelsCancelAndSaveWithTheExtension) {
  TempFolder folder;
  {
    OpenPanel panel;
    panel.setDirectory(folder.path());
    ModalAnswer answer([](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (!dialog) return false;
      dialog->reject();
      return true;
    });
    EXPECT_EQ(panel.runModal(), ModalResponseCancel);
    EXPECT_TRUE(panel.URLs().empty());
  }
  SavePanel save;
  save.setDirectory(folder.path());
  save.setNameFieldStringValue("VLTfx Rig");
  save.setAllowedFileTypes({"bqv"});
  save.setMessage("Choose the path to creat the document");
  QString title;
  ModalAnswer answer([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    if (!dialog) return false;
    title = dialog->windowTitle();
    static_cast<QDialog*>(dialog)->accept();
    return true;
  });
  ASSERT_EQ(save.runModal(), ModalResponseOK);
  EXPECT_EQ(save.URL().filename(), "VLTfx Rig.bqv");
  EXPECT_EQ(fs::canonical(save.URL().parent_path()), fs::canonical(folder.path()));
  EXPECT_EQ(title, "Choose the path to creat the document");
}

TEST(PlatformHandlersTest, ReplacedHandlersSeeTheRequests) {
  AlertRequest seen;
  int exitStatus = -1;
  fs::path revealed;
  {
    PlatformHandlers h;
    h.runAlert = [&](const AlertRequest& r) {
      seen = r;
      return 4711L;  // names no button: counts as the first
    };
    h.terminate = [&](int status) { exitStatus = status; };
    h.revealInFileManager = [&](const fs::path& p) {
      revealed = p;
      return true;
    };
    ScopedPlatformHandlers scope(std::move(h));
    Alert alert;
    alert.setMessageText("Recall failed");
    EXPECT_EQ(alert.runModal(), AlertFirstButtonReturn);
    EXPECT_EQ(seen.messageText, "Recall failed");
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
    terminateProcess(0);
    EXPECT_EQ(exitStatus, 0);
    EXPECT_TRUE(Workspace::selectFile("/tmp/a/b.pqv"));
    EXPECT_EQ(revealed, "/tmp/a/b.pqv");
    EXPECT_FALSE(Workspace::selectFile(""));
  }
  EXPECT_FALSE(platformHandlers().runAlert);  // put back
}

TEST(PlatformHandlersTest, PanelsHoldTheirAnswersToTheRequest) {
  TempFolder folder;
  const fs::path a = touch(folder, "a.PQV"), b = touch(folder, "b.txt"), c = touch(folder, "c.pqv");
  std::vector<fs::path> answer;
  PlatformHandlers h;
  h.runOpenPanel = [&](const OpenPanelRequest&) { return std::optional(answer); };
  h.runSavePanel = [&](const SavePanelRequest& r) { return std::optional(r.directory / r.nameFieldStringValue); };
  ScopedPlatformHandlers scope(std::move(h));

  OpenPanel open;
  open.setAllowedFileTypes({"pqv"});
  open.setAllowsMultipleSelection(true);
  answer = {a, b, c, folder.path()};
  ASSERT_EQ(open.runModal(), ModalResponseOK);
  EXPECT_EQ(open.URLs(), (std::vector<fs::path>{a, c}));  // case-blind; no other type, no folder
  open.setAllowsMultipleSelection(false);
  EXPECT_EQ(open.runModal(), ModalResponseOK);
  EXPECT_EQ(open.URLs(), std::vector<fs::path>{a});
  answer = {b};
  EXPECT_EQ(open.runModal(), ModalResponseCancel);

  SavePanel save;
  save.setDirectory(folder.path());
  save.setAllowedFileTypes({"bqv"});
  save.setNameFieldStringValue("backup");
  ASSERT_EQ(save.runModal(), ModalResponseOK);
  EXPECT_EQ(save.URL(), folder.path() / "backup.bqv");
  save.setNameFieldStringValue("backup.BQV");
  save.runModal();
  EXPECT_EQ(save.URL(), folder.path() / "backup.BQV");
  save.setAllowsOtherFileTypes(true);
  save.setNameFieldStringValue("backup.txt");
  save.runModal();
  EXPECT_EQ(save.URL(), folder.path() / "backup.txt");
  save.setNameFieldStringValue("");
  EXPECT_EQ(save.runModal(), ModalResponseCancel);
}

}  // namespace
}  // namespace ui
