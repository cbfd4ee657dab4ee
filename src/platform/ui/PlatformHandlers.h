// The platform's modal and process-wide functions (alerts, open and save
// panels, ending the process, revealing a file in the file manager) go
// through these handlers. By default they show real Qt dialogs; tests put
// their own functions in so that every flow runs headless. A member left
// empty uses the real function.
//
// Main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class AlertStyle { Warning = 0, Informational = 1, Critical = 2 };

// What a modal alert returns: the first button's code, then one more for
// each button after it.
inline constexpr long AlertFirstButtonReturn = 1000;
inline constexpr long AlertSecondButtonReturn = 1001;
inline constexpr long AlertThirdButtonReturn = 1002;

struct AlertRequest {
  std::string messageText;
  std::string informativeText;
  AlertStyle style = AlertStyle::Warning;
  std::vector<std::string> buttons;  // never empty when a handler sees it
};

struct OpenPanelRequest {
  std::string message;
  std::vector<std::string> allowedFileTypes;  // extensions without the dot; empty: any
  std::filesystem::path directory;
  bool canChooseFiles = true;
  bool canChooseDirectories = false;
  bool allowsMultipleSelection = false;
  bool canCreateDirectories = false;
  bool extensionHidden = false;
};

struct SavePanelRequest {
  std::string message;
  std::vector<std::string> allowedFileTypes;
  bool allowsOtherFileTypes = false;
  std::filesystem::path directory;
  std::string nameFieldStringValue;
  bool canCreateDirectories = true;
  bool extensionHidden = false;
};

struct PlatformHandlers {
  // Returns the pressed button's code.
  std::function<long(const AlertRequest&)> runAlert;
  // The chosen paths, or nothing when cancelled.
  std::function<std::optional<std::vector<std::filesystem::path>>(const OpenPanelRequest&)> runOpenPanel;
  std::function<std::optional<std::filesystem::path>(const SavePanelRequest&)> runSavePanel;
  std::function<void(int status)> terminate;
  // Shows the folder holding the file; false when that could not be asked.
  std::function<bool(const std::filesystem::path&)> revealInFileManager;
};

const PlatformHandlers& platformHandlers();
// Returns the handlers it replaces.
PlatformHandlers setPlatformHandlers(PlatformHandlers handlers);

// Installs handlers for a scope, then puts the previous ones back.
class ScopedPlatformHandlers {
public:
  explicit ScopedPlatformHandlers(PlatformHandlers handlers) : previous_(setPlatformHandlers(std::move(handlers))) {}
  ~ScopedPlatformHandlers() { setPlatformHandlers(std::move(previous_)); }
  ScopedPlatformHandlers(const ScopedPlatformHandlers&) = delete;
  ScopedPlatformHandlers& operator=(const ScopedPlatformHandlers&) = delete;

private:
  PlatformHandlers previous_;
};

// The real functions, for handlers that wrap them.
namespace realPlatform {
long runAlert(const AlertRequest& request);
std::optional<std::vector<std::filesystem::path>> runOpenPanel(const OpenPanelRequest& request);
std::optional<std::filesystem::path> runSavePanel(const SavePanelRequest& request);
[[noreturn]] void terminate(int status);
bool revealInFileManager(const std::filesystem::path& file);
}  // namespace realPlatform

}  // namespace ui
