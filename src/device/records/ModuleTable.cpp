#include "device/records/ModuleTable.h"

std::string ModuleTable::moduleName(int index) {
  if (index < 0 || index >= dev::kModuleCount) return "";
  return modules[static_cast<size_t>(index)].name;
}

int ModuleTable::moduleIndex(std::string_view name) {
  for (int i = 0; i < dev::kModuleCount; ++i)
    if (name == modules[static_cast<size_t>(i)].name) return i;
  return -1;
}

std::array<int, 2> ModuleTable::moduleDataLength(int page) {
  if (page < dev::kFirstModulePage || page > dev::kLastModulePage) return {0, 0};
  const ModuleInfo& m = modules[static_cast<size_t>(page - dev::kFirstModulePage)];
  return {m.offset, m.length};
}

std::vector<int> ModuleTable::cutModuleData(std::span<const uint8_t> block, int index) {
  std::vector<int> words;
  if (index < 0 || index >= dev::kModuleCount || block.size() < dev::kModuleBlockSize) return words;
  const ModuleInfo& m = modules[static_cast<size_t>(index)];
  words.reserve(static_cast<size_t>(m.words()));
  for (int i = 0; i < m.words(); ++i) words.push_back(readWord(block.data() + m.offset + 2 * i));
  return words;
}

void ModuleTable::putModuleData(std::span<uint8_t> block, int index, const std::vector<int>& words) {
  if (index < 0 || index >= dev::kModuleCount || block.size() < dev::kModuleBlockSize) return;
  const ModuleInfo& m = modules[static_cast<size_t>(index)];
  for (int i = 0; i < m.words(); ++i) {
    int value = static_cast<size_t>(i) < words.size() ? words[static_cast<size_t>(i)] : 0;
    writeWord(block.data() + m.offset + 2 * i, value);
  }
}
