// The 159-byte preset record (frames 0x20 / 0x21 from the unit, command 0xC3
// to it) and the 146-byte current-preset payload (frame 0x30), cut into
// records and built back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/records/DeviceConstants.h"
#include "device/records/HIDServiceModuleMode.h"

class PresetRecord {
public:
  using Bytes = std::array<uint8_t, dev::preset_record::kSize>;

  // A new preset from a record: nine module records (each with the record's
  // EXP words), selectedModule 0, the name; number and page stay unset. Null
  // when the record is shorter than 159 bytes.
  static HIDServiceModuleModePtr decode(std::span<const uint8_t> record);
  // The record that stores `preset` in slot `number`. Names longer than 14
  // characters and word lists longer than their module are cut, missing words
  // are 0; the EXP words are those of the selected module's record (module 0
  // when none is selected).
  static Bytes encode(const HIDServiceModuleMode& preset, int number);

  // The 14 name bytes as text: up to the first NUL, bytes above 0x7F read as
  // Latin-1. (Trailing blanks are left to the record's setter.)
  static std::string decodeName(std::span<const uint8_t> bytes);
  // At most 14 characters, one byte each; characters beyond Latin-1 become
  // '?'. The rest of `out` is zero-filled.
  static void encodeName(std::string_view name, std::span<uint8_t> out);

  // Nine new module records from a module block and the six EXP words.
  static HIDServiceModuleMode::ModuleDictionary modulesFromBlock(std::span<const uint8_t> block,
                                                                 std::span<const uint8_t> expFunction,
                                                                 std::span<const uint8_t> expVolume);
  // Writes the modules' words into a block and their EXP words (taken from
  // module `expModule`, else "0", else any) into the two three-word fields.
  static void writeModules(const HIDServiceModuleMode::ModuleDictionary& modules, std::optional<int> expModule,
                           std::span<uint8_t> block, std::span<uint8_t> expFunction, std::span<uint8_t> expVolume);

  static std::vector<int> readWords(std::span<const uint8_t> bytes, size_t count);
  static void writeWords(std::span<uint8_t> out, const std::vector<int>& words, size_t count);
};

// The payload of the current-preset frame 0x30. It carries no name.
struct CurrentPresetPayload {
  using Bytes = std::array<uint8_t, dev::current_preset::kSize>;

  int presetNumber = 0;
  int page = 0;
  HIDServiceModuleMode::ModuleDictionary modules;

  // Nullopt when the payload is shorter than 146 bytes.
  static std::optional<CurrentPresetPayload> decode(std::span<const uint8_t> payload);
  static Bytes encode(int presetNumber, int page, const HIDServiceModuleMode::ModuleDictionary& modules,
                      std::optional<int> expModule = std::nullopt);
};
