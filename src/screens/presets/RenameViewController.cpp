#include "screens/presets/RenameViewController.h"

#include "controls/RSControlCommand.h"
#include "reactive/RSCommand.h"
#include "reactive/RSSignal.h"
#include "screens/models/GGEffectFunManager.h"

std::shared_ptr<RenameViewController> RenameViewController::create(HIDServiceViewModePtr service) {
  auto vc = fnd::make<RenameViewController>(service ? std::move(service) : HIDServiceViewMode::shared());
  vc->build();
  return vc;
}

RenameViewController::RenameViewController(HIDServiceViewModePtr service) : service_(std::move(service)) {}

void RenameViewController::build() {
  auto root = std::make_shared<ui::View>(ui::Rect{0, 0, kWidth, kHeight});
  editTF = std::make_shared<ZrTextField>(ui::Rect{3, 1, 150, 19});
  editTF->patternString = kPattern;
  editTF->Zr_TextFieldStyle(4, 0, 0, 0);
  editTF->setEditable(true);
  editTF->setFocusRingType(ui::TextField::FocusRingType::None);
  editTF->setBordered(false);
  editTF->setPlaceholderString("a-zA-Z0-9 - and Space");
  editTF->setDelegate(std::static_pointer_cast<RenameViewController>(shared_from_this()));
  root->addSubview(editTF);

  okButton = std::make_shared<ui::Button>(ui::Rect{165, 1, 30, 19});
  okButton->setTitle("OK");
  std::weak_ptr<RenameViewController> weak = std::static_pointer_cast<RenameViewController>(shared_from_this());
  setRs_command(*okButton, RSCommand::initWithSignalBlock([weak](const fnd::Value&) {
                   if (auto self = weak.lock()) self->save();
                   return RSSignal::empty();
                 }));
  root->addSubview(okButton);
  setView(root);
}

std::string RenameViewController::cleanName(const std::string& typed) {
  std::string name = GGEffectFunManager::trimName(typed);
  // Count characters, not bytes: a continuation byte starts none.
  size_t chars = 0;
  for (unsigned char c : name)
    if ((c & 0xC0) != 0x80) ++chars;
  if (chars <= kNameLength) return name;
  size_t seen = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && seen++ == kNameLength) return name.substr(0, i);
  }
  return name;
}

void RenameViewController::controlTextDidChange(ui::TextField& field) {
  const std::string typed = field.stringValue();
  const std::string clean = cleanName(typed);
  if (clean != typed) field.setStringValue(clean);
}

bool RenameViewController::doCommandBySelector(ui::TextField&, const std::string& command) {
  if (command == "insertNewline:") save();
  return false;
}

void RenameViewController::save() {
  // Slots 0 to 199 are presets 1 to 200; any other row has no preset to name.
  if (clickRow >= 0 && clickRow < dev::kPresetCount)
    service_->sendSave(static_cast<int>(clickRow) + 1, editTF->stringValue(), 1);
  if (okCallBack) {
    auto callBack = okCallBack;  // the callback may end this controller's popover
    callBack();
  }
}
