// What the application shell runs with. Each part left empty gets the
// program's own: the process-wide device service (connected by the shell) and
// the standard user defaults. Tests hand in a service wired to a simulated
// unit and defaults kept in a scratch file.
#pragma once

#include <memory>

#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/UserDefaults.h"

struct ShellParts {
  std::shared_ptr<HIDServiceViewMode> hid;
  std::shared_ptr<fnd::UserDefaults> defaults;
};
