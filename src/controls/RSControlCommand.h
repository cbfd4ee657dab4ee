// Binding a command to a control. setRs_command(control, command) makes the
// control run the command when it acts (a click executes the command with
// the control as input) and keeps the control enabled exactly while the
// command is: the command's `enabled` values are written to the control's
// "enabled" key, the first at once, later ones on the main thread. The
// binding ends when the control goes or the command is replaced; a null
// command ends it and enables the control, leaving target and action as they
// are.
//
// Main thread only.
#pragma once

#include <memory>

#include "reactive/RSCommand.h"

namespace ui {
class Control;
}

// The control's command, or null.
RSCommandPtr rs_command(const ui::Control& control);
void setRs_command(ui::Control& control, const RSCommandPtr& command);

// Makes the control its own target with rs_commandPerformAction as its
// action, logging a warning when this replaces another target.
void rs_hijackActionAndTargetIfNeeded(ui::Control& control);
// The action: executes the control's command with the sender as input.
void rs_commandPerformAction(ui::Control& control, ui::Control& sender);

// The name the bound action carries.
inline constexpr const char* RSCommandActionName = "rs_commandPerformAction:";
