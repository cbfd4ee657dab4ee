// The content of the rename popover of the unit preset list: a name field
// and an "OK" button. Typing trims the name to the shared name set at both
// ends and cuts it to 14 characters; "OK" or Return saves it as the name of
// preset clickRow + 1 through the device service (which refuses a bad name
// with its own tip and writes nothing), then calls okCallBack, so the opener
// closes the popover in every case. A clickRow outside the unit's 200 slots
// saves nothing.
//
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "controls/ZrTextField.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"

class RenameViewController : public ui::ViewController, public ui::TextFieldDelegate {
public:
  static constexpr double kWidth = 200;
  static constexpr double kHeight = 21;
  static constexpr size_t kNameLength = 14;
  static constexpr const char* kPattern = "^[0-9a-zA-Z-\\s]+$";

  // Builds the view at once; a null service means the shared one.
  static std::shared_ptr<RenameViewController> create(HIDServiceViewModePtr service = nullptr);
  std::string className() const override { return "RenameViewController"; }

  long clickRow = -1;
  std::function<void()> okCallBack;
  std::shared_ptr<ZrTextField> editTF;
  std::shared_ptr<ui::Button> okButton;

  void controlTextDidChange(ui::TextField& field) override;
  // Saves on "insertNewline:"; never handles the key itself.
  bool doCommandBySelector(ui::TextField& field, const std::string& command) override;
  void save();

  // The typed text as the field keeps it: trimmed at both ends, at most
  // kNameLength characters.
  static std::string cleanName(const std::string& typed);

  explicit RenameViewController(HIDServiceViewModePtr service);

private:
  void build();
  HIDServiceViewModePtr service_;
};
