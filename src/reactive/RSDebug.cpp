#include "reactive/RSDebug.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/foundation/Object.h"
#include "reactive/RSTuple.h"

namespace {

// -1: not read yet; 0: off; 1: on.
std::atomic<int> gFromEnvironment{-1};
// -1: no override; 0: off; 1: on.
std::atomic<int> gOverride{-1};

}  // namespace

bool RSDebugNamesEnabled() {
  int forced = gOverride.load(std::memory_order_acquire);
  if (forced >= 0) return forced == 1;
  int state = gFromEnvironment.load(std::memory_order_acquire);
  if (state < 0) {
    state = std::getenv("RS_DEBUG_SIGNAL_NAMES") != nullptr ? 1 : 0;
    gFromEnvironment.store(state, std::memory_order_release);
  }
  return state == 1;
}

void RSDebugNamesOverrideForTesting(std::optional<bool> enabled) {
  gOverride.store(enabled ? (*enabled ? 1 : 0) : -1, std::memory_order_release);
}

std::string RSDescription(const fnd::Value& value) {
  if (!RSDebugNamesEnabled()) return "(description skipped)";
  if (value.isObject()) {
    auto object = value.asObject();
    if (auto tuple = std::dynamic_pointer_cast<RSTuple>(object)) return tuple->rs_description();
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(object.get()));
    return "<" + object->className() + ": " + address + ">";
  }
  return value.description();
}

std::string RSLabel(std::string_view suffix) {
  std::string label = RSLabelPrefix;
  label += suffix;
  return label;
}
