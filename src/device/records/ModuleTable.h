// The unit's nine effect modules: names, pages, and where each module's words
// lie in the 132-byte module block. Words are unsigned 16-bit little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/records/DeviceConstants.h"

struct ModuleInfo {
  const char* name;
  int page;
  int length;  // bytes
  int offset;  // in the module block
  constexpr int words() const { return length / 2; }
};

class ModuleTable {
public:
  // In device order; module index = page - 6.
  static constexpr std::array<ModuleInfo, dev::kModuleCount> modules{{
      {"FX/COMP", 6, 12, 0},
      {"DS/OD", 7, 10, 12},
      {"AMP", 8, 16, 22},
      {"CAB", 9, 14, 38},
      {"NS GATE", 10, 10, 52},
      {"EQ", 11, 22, 62},
      {"MOD", 12, 18, 84},
      {"DELAY", 13, 18, 102},
      {"REVERB", 14, 12, 120},
  }};

  // The table's name for 0 to 8, "" for any other index.
  static std::string moduleName(int index);
  // The first index whose name equals `name` exactly, -1 when none does.
  static int moduleIndex(std::string_view name);
  // {offset in the block, byte length} of the module on `page` (6 to 14),
  // {0, 0} for any other page.
  static std::array<int, 2> moduleDataLength(int page);
  // The words of module `index` read from a module block, in device order. An
  // unknown index or a block shorter than 132 bytes gives no words.
  static std::vector<int> cutModuleData(std::span<const uint8_t> block, int index);
  // Writes module `index`'s words into a module block: at most the module's
  // word count, each as its low 16 bits; missing words are written as 0. An
  // unknown index or a short block writes nothing.
  static void putModuleData(std::span<uint8_t> block, int index, const std::vector<int>& words);

  // Unsigned 16-bit little-endian words.
  static int readWord(const uint8_t* p) { return p[0] | (p[1] << 8); }
  static void writeWord(uint8_t* p, int value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  }
};

// Module i lies on unit page dev::kFirstModulePage + i.
static_assert([] {
  for (size_t i = 0; i < ModuleTable::modules.size(); ++i)
    if (ModuleTable::modules[i].page != dev::kFirstModulePage + static_cast<int>(i)) return false;
  return true;
}());
