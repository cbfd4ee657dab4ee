// Process-wide platform actions: ending the process and showing a file in
// the desktop's file manager. Both go through the platform handlers.
#pragma once

#include <filesystem>
#include <string>

namespace ui {

// Ends the process with `status` (background work is stopped first). With a
// test handler installed, the handler runs instead and the call returns.
void terminateProcess(int status);

class Workspace {
public:
  static constexpr const char* kNoFileManagerText = "No file manager could be opened to show this folder.";
  static constexpr const char* kAlertButton = "OK";

  // Opens the folder holding `file` (a folder itself when it is one) in the
  // file manager. When the desktop has none to ask, an alert tells the user
  // where that folder is, and the answer is false. The root is accepted for
  // the callers' sake; file managers open the folder itself.
  static bool selectFile(const std::filesystem::path& file, const std::filesystem::path& rootPath = {});

  // The folder that revealing `file` shows: `file` when it is a folder,
  // else the folder holding it.
  static std::filesystem::path folderToShow(const std::filesystem::path& file);
  // The alert's informative text: where the folder is, and the file's name
  // when a file was asked for.
  static std::string whereText(const std::filesystem::path& file);
};

}  // namespace ui
