#include "device/records/PresetRecord.h"

#include <algorithm>

#include "device/records/ModuleTable.h"

namespace pr = dev::preset_record;
namespace cp = dev::current_preset;

std::vector<int> PresetRecord::readWords(std::span<const uint8_t> bytes, size_t count) {
  std::vector<int> words;
  for (size_t i = 0; i < count && 2 * i + 1 < bytes.size(); ++i) words.push_back(ModuleTable::readWord(&bytes[2 * i]));
  return words;
}

void PresetRecord::writeWords(std::span<uint8_t> out, const std::vector<int>& words, size_t count) {
  for (size_t i = 0; i < count && 2 * i + 1 < out.size(); ++i)
    ModuleTable::writeWord(&out[2 * i], i < words.size() ? words[i] : 0);
}

std::string PresetRecord::decodeName(std::span<const uint8_t> bytes) {
  std::string name;
  for (uint8_t b : bytes) {
    if (b == 0) break;
    if (b < 0x80) {
      name.push_back(static_cast<char>(b));
    } else {
      name.push_back(static_cast<char>(0xC0 | (b >> 6)));
      name.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return name;
}

void PresetRecord::encodeName(std::string_view name, std::span<uint8_t> out) {
  std::fill(out.begin(), out.end(), 0);
  size_t n = 0, i = 0;
  while (i < name.size() && n < out.size() && n < dev::kPresetNameSize) {
    auto b = static_cast<uint8_t>(name[i]);
    uint32_t cp = b;
    size_t len = 1;
    if (b >= 0xC0 && b < 0xE0) len = 2, cp = b & 0x1F;
    else if (b >= 0xE0 && b < 0xF0) len = 3, cp = b & 0x0F;
    else if (b >= 0xF0 && b < 0xF8) len = 4, cp = b & 0x07;
    bool valid = len == 1 || i + len <= name.size();
    for (size_t k = 1; valid && k < len; ++k) {
      auto c = static_cast<uint8_t>(name[i + k]);
      if ((c & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) len = 1, cp = b;  // not UTF-8: keep the byte as it is
    out[n++] = cp <= 0xFF ? static_cast<uint8_t>(cp) : static_cast<uint8_t>('?');
    i += len;
  }
}

HIDServiceModuleMode::ModuleDictionary PresetRecord::modulesFromBlock(std::span<const uint8_t> block,
                                                                      std::span<const uint8_t> expFunction,
                                                                      std::span<const uint8_t> expVolume) {
  HIDServiceModuleMode::ModuleDictionary modules;
  std::vector<int> function = readWords(expFunction, dev::kExpWordCount);
  std::vector<int> volume = readWords(expVolume, dev::kExpWordCount);
  for (int i = 0; i < dev::kModuleCount; ++i) {
    auto record = fnd::make<HIDServiceModel>();
    record->setDataArr(ModuleTable::cutModuleData(block, i));
    record->setFuncDataArr(function);
    record->setExpDataArr(volume);
    modules.emplace(HIDServiceModuleMode::moduleKey(i), std::move(record));
  }
  return modules;
}

void PresetRecord::writeModules(const HIDServiceModuleMode::ModuleDictionary& modules, std::optional<int> expModule,
                                std::span<uint8_t> block, std::span<uint8_t> expFunction,
                                std::span<uint8_t> expVolume) {
  auto find = [&](int i) -> HIDServiceModelPtr {
    auto it = modules.find(HIDServiceModuleMode::moduleKey(i));
    return it == modules.end() ? nullptr : it->second;
  };
  HIDServiceModelPtr expSource = expModule ? find(*expModule) : nullptr;
  if (!expSource) expSource = find(0);
  for (int i = 0; i < dev::kModuleCount; ++i) {
    HIDServiceModelPtr record = find(i);
    if (!record) continue;
    ModuleTable::putModuleData(block, i, record->dataArr.get());
    if (!expSource) expSource = record;
  }
  if (expSource) {
    writeWords(expFunction, expSource->FuncDataArr.get(), dev::kExpWordCount);
    writeWords(expVolume, expSource->ExpDataArr.get(), dev::kExpWordCount);
  }
}

HIDServiceModuleModePtr PresetRecord::decode(std::span<const uint8_t> record) {
  if (record.size() < pr::kSize) return nullptr;
  auto preset = fnd::make<HIDServiceModuleMode>();
  preset->setPresetDataDic(modulesFromBlock(record.subspan(pr::kBlock, dev::kModuleBlockSize),
                                            record.subspan(pr::kExpFunction, 2 * dev::kExpWordCount),
                                            record.subspan(pr::kExpVolume, 2 * dev::kExpWordCount)));
  preset->setSelectedModule(0);
  preset->setPresetName(decodeName(record.subspan(pr::kName, dev::kPresetNameSize)));
  return preset;
}

PresetRecord::Bytes PresetRecord::encode(const HIDServiceModuleMode& preset, int number) {
  Bytes out{};
  std::span<uint8_t> bytes(out);
  out[pr::kNumber] = static_cast<uint8_t>(number & 0xFF);
  encodeName(preset.presetName.get(), bytes.subspan(pr::kName, dev::kPresetNameSize));
  writeModules(preset.presetDataDic.get(), preset.selectedModule.get(), bytes.subspan(pr::kBlock, dev::kModuleBlockSize),
               bytes.subspan(pr::kExpFunction, 2 * dev::kExpWordCount),
               bytes.subspan(pr::kExpVolume, 2 * dev::kExpWordCount));
  return out;
}

std::optional<CurrentPresetPayload> CurrentPresetPayload::decode(std::span<const uint8_t> payload) {
  if (payload.size() < cp::kSize) return std::nullopt;
  CurrentPresetPayload out;
  out.presetNumber = payload[cp::kNumber];
  out.page = payload[cp::kPage];
  out.modules = PresetRecord::modulesFromBlock(payload.subspan(cp::kBlock, dev::kModuleBlockSize),
                                               payload.subspan(cp::kExpFunction, 2 * dev::kExpWordCount),
                                               payload.subspan(cp::kExpVolume, 2 * dev::kExpWordCount));
  return out;
}

CurrentPresetPayload::Bytes CurrentPresetPayload::encode(int presetNumber, int page,
                                                         const HIDServiceModuleMode::ModuleDictionary& modules,
                                                         std::optional<int> expModule) {
  Bytes out{};
  std::span<uint8_t> bytes(out);
  out[cp::kNumber] = static_cast<uint8_t>(presetNumber & 0xFF);
  out[cp::kPage] = static_cast<uint8_t>(page & 0xFF);
  PresetRecord::writeModules(modules, expModule, bytes.subspan(cp::kBlock, dev::kModuleBlockSize),
                             bytes.subspan(cp::kExpFunction, 2 * dev::kExpWordCount),
                             bytes.subspan(cp::kExpVolume, 2 * dev::kExpWordCount));
  return out;
}
