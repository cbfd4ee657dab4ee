// Modal open and save panels, shown through the platform handlers. A panel
// returns ModalResponseOK with its chosen paths, or ModalResponseCancel.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ui/PlatformHandlers.h"

namespace ui {

inline constexpr long ModalResponseCancel = 0;
inline constexpr long ModalResponseOK = 1;

class OpenPanel {
public:
  OpenPanelRequest& request() { return request_; }
  const OpenPanelRequest& request() const { return request_; }
  void setMessage(std::string m) { request_.message = std::move(m); }
  void setAllowedFileTypes(std::vector<std::string> types) { request_.allowedFileTypes = std::move(types); }
  void setDirectory(std::filesystem::path dir) { request_.directory = std::move(dir); }
  void setCanChooseFiles(bool on) { request_.canChooseFiles = on; }
  void setCanChooseDirectories(bool on) { request_.canChooseDirectories = on; }
  void setAllowsMultipleSelection(bool on) { request_.allowsMultipleSelection = on; }
  void setCanCreateDirectories(bool on) { request_.canCreateDirectories = on; }
  void setExtensionHidden(bool on) { request_.extensionHidden = on; }

  // Main thread. Chosen files of a type not allowed are left out (a panel
  // left with nothing counts as cancelled); one path at most unless multiple
  // selection is allowed.
  long runModal();
  const std::vector<std::filesystem::path>& URLs() const { return urls_; }
  // The first chosen path, or empty.
  std::filesystem::path URL() const { return urls_.empty() ? std::filesystem::path() : urls_.front(); }

private:
  OpenPanelRequest request_;
  std::vector<std::filesystem::path> urls_;
};

class SavePanel {
public:
  SavePanelRequest& request() { return request_; }
  void setMessage(std::string m) { request_.message = std::move(m); }
  void setAllowedFileTypes(std::vector<std::string> types) { request_.allowedFileTypes = std::move(types); }
  void setAllowsOtherFileTypes(bool on) { request_.allowsOtherFileTypes = on; }
  void setDirectory(std::filesystem::path dir) { request_.directory = std::move(dir); }
  void setNameFieldStringValue(std::string name) { request_.nameFieldStringValue = std::move(name); }
  void setCanCreateDirectories(bool on) { request_.canCreateDirectories = on; }
  void setExtensionHidden(bool on) { request_.extensionHidden = on; }

  // Main thread. When other types are not allowed, a chosen name without an
  // allowed extension gets the first one appended.
  long runModal();
  const std::filesystem::path& URL() const { return url_; }

private:
  SavePanelRequest request_;
  std::filesystem::path url_;
};

// True when `path`'s extension (case-blind) is one of `types`, or `types`
// is empty.
bool hasAllowedExtension(const std::filesystem::path& path, const std::vector<std::string>& types);

}  // namespace ui
