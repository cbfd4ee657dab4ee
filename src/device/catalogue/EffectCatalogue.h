// The effect catalogue: every effect type of the nine modules with its
// parameters ("preset.json"), and each module's parameter-slot table
// ("effects.json"). The device service reads both at start-up; the screens,
// the preset files and the empty preset read them through this object.
//
// "preset.json" is one object keyed by module name. A module's value is either
//   typed:  an object, one member per effect type, whose value is the list of
//           that type's parameters, or
//   shared: an array whose element 0 is the list of type names and whose
//           elements 1 onward are the parameters every type shares (element k
//           is parameter slot k - 1). AMP and CAB are shared; their name
//           lists end in the unit's user slots, which the service relabels.
// A type's number (module word 1) is its position among the module's type
// names in plain byte order; names begin with that number plus one as two
// digits. Scalar values are decimal strings as authored; numbers are
// accepted wherever a string is read.
//
// All members may be called from any thread: the HID thread writes the user
// slot labels while the screens read. Readers get copies.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

class EffectCatalogue {
public:
  static constexpr const char* kCatalogueFile = "preset.json";
  static constexpr const char* kSlotTableFile = "effects.json";

  // The unit's ten user slots of each kind: impulse responses shown among the
  // CAB types as "27:" to "36:", NR files among the AMP types as "56:" to "65:".
  enum class UserSlot { IR, NR };
  static constexpr int kUserSlotCount = 10;
  // Index of the first user slot in the module's list of type names.
  static constexpr int kFirstIRType = 26;
  static constexpr int kFirstNRType = 55;
  // A slot name is at most this many bytes (the unit's name field).
  static constexpr size_t kUserSlotNameSize = 16;
  // The largest value a module word holds (16 bits on the wire).
  static constexpr long kWordMax = 0xFFFF;

  // One parameter slot of a module: slot `index` holds module word index + 2;
  // `names` are the parameters any type stores there; `current` is the word
  // shown until the unit's values arrive.
  struct ParameterSlot {
    int index = 0;
    std::vector<std::string> names;
    int current = 0;
  };

  // An empty catalogue: no module has types, parameters or slots.
  EffectCatalogue() = default;
  EffectCatalogue(const EffectCatalogue&) = delete;
  EffectCatalogue& operator=(const EffectCatalogue&) = delete;

  // Reads "preset.json" and "effects.json" from the resources folder.
  static std::shared_ptr<EffectCatalogue> load(std::string* error = nullptr);
  // Reads the two given files. A file that is missing, is not JSON or lacks a
  // module (or gives it the wrong shape) is refused: null, with a message
  // naming the file in *error and in the log. Breaches of the finer rules
  // (EffectCatalogueChecker) are logged and the files are used.
  static std::shared_ptr<EffectCatalogue> load(const std::filesystem::path& catalogueFile,
                                               const std::filesystem::path& slotTableFile,
                                               std::string* error = nullptr);
  // The same over documents already parsed.
  static std::shared_ptr<EffectCatalogue> fromJson(nlohmann::json catalogue, nlohmann::json slotTable,
                                                   std::string* error = nullptr);

  // Copies of the two documents as they stand (labels written so far included).
  nlohmann::json presetInfoDic() const;
  nlohmann::json slotTable() const;

  // The type names of module 0 to 8 in type-number order (a type's position
  // is its number). Empty for an unknown module.
  std::vector<std::string> typeNames(int module) const;
  // The parameter entries of type `type` of the module, as the file gives
  // them (objects, or arrays for a parameter in parts); a shared module gives
  // every type the same list. Empty for an unknown module or type.
  std::vector<nlohmann::json> parameters(int module, int type) const;
  // The module's parameter words (word 2 onward, one per slot) as its first
  // type sets them from its defaults: the value, or its offset from a
  // negative minimum, or the choice index. Slots the type leaves unset are 0.
  std::vector<int> defaultWords(int module) const;
  // The module's slots from "effects.json", in slot order.
  std::vector<ParameterSlot> parameterSlots(int module) const;

  // Relabels user slot 0 to 9 as its number, ":" and `name`. The name ends at
  // its first NUL and after 16 bytes; bytes other than printable ASCII become
  // '?'. False (and a log line) for a slot outside 0 to 9 or a list too short.
  bool setUserSlotLabel(UserSlot kind, int slot, std::string_view name);
  // The label of a slot whose contents the unit deleted: "EMPTY" for an IR,
  // "Empty" for an NR.
  bool clearUserSlotLabel(UserSlot kind, int slot);
  static std::string userSlotLabel(UserSlot kind, int slot, std::string_view name);

  // The parameter words a module's first type sets, read from that module's
  // value in "preset.json" (shared by defaultWords and the checker).
  static std::vector<int> firstTypeWords(const nlohmann::json& moduleEntry, int module);
  // A catalogue value read as an integer: numbers truncated, strings by their
  // leading blanks, sign and digits, anything else 0. Saturates at the limits.
  static long integerValue(const nlohmann::json& value);

private:
  mutable std::mutex mutex_;
  nlohmann::json catalogue_ = nlohmann::json::object();
  nlohmann::json slots_ = nlohmann::json::object();
};

using EffectCataloguePtr = std::shared_ptr<EffectCatalogue>;
