#include "controls/RSControlCommand.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Control.h"
#include "reactive/RSDisposable.h"

namespace {

// Association keys: the command, and the binding of its enabled state.
const char kCommandKey = 0;
const char kEnabledBindingKey = 0;

// Keeps a binding's scoped disposable as an associated object: dropping the
// holder ends the binding.
class EnabledBinding : public fnd::Object {
public:
  explicit EnabledBinding(RSScopedDisposablePtr d) : disposable_(std::move(d)) {}
  void dispose() {
    if (disposable_) disposable_->dispose();
  }

private:
  RSScopedDisposablePtr disposable_;
};

}  // namespace

RSCommandPtr rs_command(const ui::Control& control) {
  return control.lifetime().associatedObject(&kCommandKey).asObject<RSCommand>();
}

void setRs_command(ui::Control& control, const RSCommandPtr& command) {
  control.lifetime().setAssociatedObject(&kCommandKey, command ? fnd::Value(command) : fnd::Value());
  if (auto previous = control.lifetime().associatedObject(&kEnabledBindingKey).asObject<EnabledBinding>()) {
    previous->dispose();
  }
  control.lifetime().setAssociatedObject(&kEnabledBindingKey, fnd::Value());
  if (!command) {
    control.setEnabled(true);
    return;
  }
  rs_hijackActionAndTargetIfNeeded(control);
  auto self = std::static_pointer_cast<fnd::Object>(control.shared_from_this());
  RSDisposablePtr binding = command->enabled()->setKeyPath("enabled", self);
  auto holder = fnd::make<EnabledBinding>(binding->asScopedDisposable());
  control.lifetime().setAssociatedObject(&kEnabledBindingKey, fnd::Value(holder));
}

void rs_hijackActionAndTargetIfNeeded(ui::Control& control) {
  auto self = std::static_pointer_cast<fnd::Object>(control.shared_from_this());
  if (control.target() == self && control.actionName() == RSCommandActionName) return;
  if (control.hasTarget()) fnd::log("WARNING: NSControl.rs_command hijacks the control's existing target and action.");
  control.setTarget(self);
  control.setAction([](ui::Control& sender) { rs_commandPerformAction(sender, sender); }, RSCommandActionName);
}

void rs_commandPerformAction(ui::Control& control, ui::Control& sender) {
  if (auto command = rs_command(control)) {
    command->execute(fnd::Value(std::static_pointer_cast<fnd::Object>(sender.shared_from_this())));
  }
}
