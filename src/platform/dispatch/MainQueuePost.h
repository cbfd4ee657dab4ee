// Internal: hands a task to the main-queue driver, or holds it until one is
// installed.
#pragma once

#include "platform/dispatch/Task.h"

namespace dispatch::detail {

void postToMainQueue(Task task);

}  // namespace dispatch::detail
