#include "platform/ui/PlatformHandlers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

#include "platform/dispatch/Runtime.h"
#include "platform/ui/Application.h"

namespace ui {

namespace fs = std::filesystem;

namespace {

PlatformHandlers& installed() {
  static PlatformHandlers handlers;
  return handlers;
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

QString nameFilter(const std::vector<std::string>& types) {
  QStringList patterns;
  for (const std::string& t : types) {
    const QString ext = qs(!t.empty() && t[0] == '.' ? t.substr(1) : t);
    patterns << QStringLiteral("*.") + ext.toLower();
    if (ext.toUpper() != ext.toLower()) patterns << QStringLiteral("*.") + ext.toUpper();
  }
  return QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' ')));
}

bool isCancelTitle(const std::string& title) {
  return title == "Cancel" || title == "CANCEL" || title == "No" || title == "NO";
}

// A dialog shown over the active window and run here: deleted at the end of
// the scope, unless that window went while the dialog ran its loop and took
// the dialog along (then null, and read as cancelled).
template <class Dialog>
class ScopedDialog {
public:
  explicit ScopedDialog(const QString& title = {}) : dialog_(new Dialog(QApplication::activeWindow())) {
    if (!title.isEmpty()) dialog_->setWindowTitle(title);
  }
  ~ScopedDialog() { delete dialog_.data(); }
  ScopedDialog(const ScopedDialog&) = delete;
  ScopedDialog& operator=(const ScopedDialog&) = delete;
  Dialog* operator->() const { return dialog_.data(); }
  // True when the dialog was accepted and is still there.
  bool accepted() {
    const int result = dialog_->exec();
    return dialog_ && result == QDialog::Accepted;
  }
  explicit operator bool() const { return !dialog_.isNull(); }

private:
  QPointer<Dialog> dialog_;
};

}  // namespace

const PlatformHandlers& platformHandlers() { return installed(); }

PlatformHandlers setPlatformHandlers(PlatformHandlers handlers) {
  PlatformHandlers previous = std::move(installed());
  installed() = std::move(handlers);
  return previous;
}

namespace realPlatform {

long runAlert(const AlertRequest& request) {
  ScopedDialog<QMessageBox> box(QCoreApplication::applicationName());
  box->setText(qs(request.messageText));
  box->setInformativeText(qs(request.informativeText));
  switch (request.style) {
    case AlertStyle::Warning:
      box->setIcon(QMessageBox::Warning);
      break;
    case AlertStyle::Informational:
      box->setIcon(QMessageBox::Information);
      break;
    case AlertStyle::Critical:
      box->setIcon(QMessageBox::Critical);
      break;
  }
  std::vector<QAbstractButton*> buttons;
  const std::vector<std::string> titles = request.buttons.empty() ? std::vector<std::string>{"OK"} : request.buttons;
  QAbstractButton* escape = nullptr;
  size_t answer = 0;  // the escape button's, else the first
  for (const std::string& title : titles) {
    // One role for all keeps the buttons in the order given.
    QPushButton* b = box->addButton(qs(title), QMessageBox::ActionRole);
    buttons.push_back(b);
    if (!escape && isCancelTitle(title)) {
      escape = b;
      answer = buttons.size() - 1;
    }
  }
  box->setDefaultButton(static_cast<QPushButton*>(buttons.front()));
  if (!escape && buttons.size() == 1) escape = buttons.front();
  if (escape) box->setEscapeButton(escape);
  box->exec();
  if (QAbstractButton* clicked = box ? box->clickedButton() : nullptr) {
    for (size_t i = 0; i < buttons.size(); ++i)
      if (buttons[i] == clicked) answer = i;
  }
  return AlertFirstButtonReturn + static_cast<long>(answer);
}

std::optional<std::vector<fs::path>> runOpenPanel(const OpenPanelRequest& request) {
  ScopedDialog<QFileDialog> dialog(qs(request.message));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  if (request.canChooseDirectories && !request.canChooseFiles) {
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  }
  if (!request.allowedFileTypes.empty()) dialog->setNameFilter(nameFilter(request.allowedFileTypes));
  if (!request.canCreateDirectories) dialog->setOption(QFileDialog::ReadOnly);
  if (!request.directory.empty()) dialog->setDirectory(qs(request.directory.string()));
  if (!dialog.accepted()) return std::nullopt;
  std::vector<fs::path> chosen;
  for (const QString& f : dialog->selectedFiles()) chosen.emplace_back(f.toStdString());
  return chosen;
}

std::optional<fs::path> runSavePanel(const SavePanelRequest& request) {
  ScopedDialog<QFileDialog> dialog(qs(request.message));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  if (!request.allowedFileTypes.empty()) {
    dialog->setNameFilter(nameFilter(request.allowedFileTypes));
    if (!request.allowsOtherFileTypes) {
      const std::string& first = request.allowedFileTypes.front();
      dialog->setDefaultSuffix(qs(!first.empty() && first[0] == '.' ? first.substr(1) : first));
    }
  }
  if (!request.canCreateDirectories) dialog->setOption(QFileDialog::ReadOnly);
  if (!request.directory.empty()) dialog->setDirectory(qs(request.directory.string()));
  if (!request.nameFieldStringValue.empty()) dialog->selectFile(qs(request.nameFieldStringValue));
  if (!dialog.accepted()) return std::nullopt;
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return fs::path(files.front().toStdString());
}

void terminate(int status) {
  dispatch::shutdown(kQuitBound);
  std::fflush(nullptr);
  std::exit(status);
}

bool revealInFileManager(const fs::path& file) {
  std::error_code ec;
  const fs::path folder = fs::is_directory(file, ec) ? file : file.parent_path();
  if (folder.empty()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(qs(folder.string())));
}

}  // namespace realPlatform

}  // namespace ui
