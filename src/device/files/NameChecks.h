// Whether a name may go to the unit: preset names (saved into the unit, or the
// name of a preset file being imported) and IR / NR file names.
//
// Both checks first drop one path extension (callers pass names without their
// file extension already, so a further part after a dot is dropped too) and
// then judge what remains, which must not be empty.
#pragma once

#include <string>
#include <string_view>

// ASCII letters, digits, '-' and ' ' only.
bool checkPresetName(std::string_view name);
// Printable ASCII only (blank through '~').
bool checkIR_NRName(std::string_view name);

// The name without its last extension: from the last '.' of the last path
// component, unless that dot begins the component. Trailing '/' are ignored.
std::string deletingPathExtension(std::string_view name);
