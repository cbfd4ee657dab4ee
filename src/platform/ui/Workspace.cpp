#include "platform/ui/Workspace.h"

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

bool Workspace::selectFile(const std::filesystem::path& file, const std::filesystem::path&) {
  if (file.empty()) return false;
  const auto& handler = platformHandlers().revealInFileManager;
  return handler ? handler(file) : realPlatform::revealInFileManager(file);
}

}  // namespace ui
