// Process-wide platform actions: ending the process and showing a file in
// the desktop's file manager. Both go through the platform handlers.
#pragma once

#include <filesystem>

namespace ui {

// Ends the process with `status` (background work is stopped first). With a
// test handler installed, the handler runs instead and the call returns.
void terminateProcess(int status);

class Workspace {
public:
  // Opens the folder holding `file` in the file manager. The root is
  // accepted for the callers' sake; file managers open the folder itself.
  static bool selectFile(const std::filesystem::path& file, const std::filesystem::path& rootPath = {});
};

}  // namespace ui
