// Checks the effect catalogue ("preset.json") and the parameter-slot table
// ("effects.json") against the rules the device service, the preset files and
// the module editor rely on. Each group of rules is one function that lists
// what it finds wrong, one line per fault naming the module, type and
// parameter; an empty list means the files keep every rule of the group.
//
// The checks hold the files to the way they are authored (scalar values as
// decimal strings, every parameter with its slot), which is stricter than
// what EffectCatalogue reads.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class EffectCatalogue;

class EffectCatalogueChecker {
public:
  using Problems = std::vector<std::string>;

  // Both files are objects of exactly the nine modules; AMP and CAB are
  // shared (a list of names, then parameters), the others typed.
  static Problems checkModules(const nlohmann::json& catalogue, const nlohmann::json& slotTable);
  // Type names are numbered "01 ", "02 ", ... in byte order without gaps; AMP
  // lists 55 amps and the NR slots "56:" to "65:", CAB 26 cabinets and the IR
  // slots "27:" to "36:".
  static Problems checkTypeNames(const nlohmann::json& catalogue, const nlohmann::json& slotTable);
  // Known keys and value types; unique names; limits containing the value;
  // words fitting 16 bits and the module's slots; choice lists matching their
  // limits; display factors; shared parameters in slot order.
  static Problems checkParameters(const nlohmann::json& catalogue, const nlohmann::json& slotTable);
  // A control link names another, non-choice parameter of the same type and
  // carries one valid ratio per choice.
  static Problems checkControls(const nlohmann::json& catalogue, const nlohmann::json& slotTable);
  // The slot table has the module's slot count, keys "index", "names",
  // "current" with index = position; every parameter is listed in its slot and
  // nothing else is; the first type sets every slot, and each slot's current
  // word is that type's default.
  static Problems checkSlotTable(const nlohmann::json& catalogue, const nlohmann::json& slotTable);
  // Every name the EXP pedal can be assigned to is a parameter of its module.
  static Problems checkExpNames(const nlohmann::json& catalogue, const nlohmann::json& slotTable);

  // Every group above, in that order.
  static Problems check(const nlohmann::json& catalogue, const nlohmann::json& slotTable);
  static Problems check(const EffectCatalogue& catalogue);
};
