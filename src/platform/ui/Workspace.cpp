#include "platform/ui/Workspace.h"

#include <system_error>

#include "platform/foundation/Log.h"
#include "platform/ui/Alert.h"
#include "platform/ui/PlatformHandlers.h"

namespace ui {

void terminateProcess(int status) {
  const auto& handler = platformHandlers().terminate;
  if (handler) {
    handler(status);
    return;
  }
  realPlatform::terminate(status);
}

std::filesystem::path Workspace::folderToShow(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::is_directory(file, ec) ? file : file.parent_path();
}

std::string Workspace::whereText(const std::filesystem::path& file) {
  const std::filesystem::path folder = folderToShow(file);
  std::string text = "The folder is:\n" + folder.string();
  if (folder != file && !file.filename().empty()) text += "\n\nThe file in it: " + file.filename().string();
  return text;
}

bool Workspace::selectFile(const std::filesystem::path& file, const std::filesystem::path&) {
  if (file.empty()) return false;
  const auto& handler = platformHandlers().revealInFileManager;
  if (handler ? handler(file) : realPlatform::revealInFileManager(file)) return true;
  // Nothing to show it in: say where it is, so the user can go there.
  fnd::log("No file manager to show %s in", file.string().c_str());
  Alert alert;
  alert.setMessageText(kNoFileManagerText);
  alert.setInformativeText(whereText(file));
  alert.setAlertStyle(AlertStyle::Informational);
  alert.addButtonWithTitle(kAlertButton);
  alert.runModal();
  return false;
}

}  // namespace ui
