// Debug names of streams, descriptions of their arguments, and the labels of
// the signal framework's queues and locks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

// True while the environment variable "RS_DEBUG_SIGNAL_NAMES" is set (any
// value). The variable is read once, on first use.
bool RSDebugNamesEnabled();

// Tests switch debug names on or off without touching the environment;
// std::nullopt goes back to the environment variable.
void RSDebugNamesOverrideForTesting(std::optional<bool> enabled);

// The description of an operator argument for a debug name: "(description
// skipped)" while debug names are off (the value is not looked at); otherwise
// numbers and strings as themselves, tuples as their elements, any other
// object as "<Class: address>".
std::string RSDescription(const fnd::Value& value);

// Every queue and lock label of the framework is this reverse-DNS prefix
// followed by a suffix naming its user.
inline constexpr const char* RSLabelPrefix = "org.qv450edit.signals";
std::string RSLabel(std::string_view suffix);
