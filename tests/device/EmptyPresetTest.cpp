// The bundled empty preset ("Empty.pqv"), with which the editor clears a unit
// preset slot: it is what the exporter writes for a preset of every
// module's first type at its defaults, and importing it sets every word of
// the slot, whatever the preset shown on the unit holds.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "device/catalogue/EffectCatalogue.h"
#include "device/records/ModuleTable.h"
#include "device/files/PresetFile.h"
#include "platform/foundation/Files.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const fs::path kResources = fs::path(QV450_SOURCE_DIR) / "resources";

std::string resource(const char* name) {
  auto text = fnd::files::readText(kResources / name);
  EXPECT_TRUE(text) << name;
  return text.value_or("");
}

// The default words of each module from the parameter-slot table: off, type
// 0, then each slot's default.
std::vector<std::vector<int>> defaultWords() {
  const json slots = json::parse(resource("effects.json"));
  std::vector<std::vector<int>> words;
  for (int m = 0; m < 9; ++m) {
    std::vector<int> w{0, 0};
    for (const json& slot : slots[ModuleTable::moduleName(m)])
      w.push_back(static_cast<int>(EffectCatalogue::integerValue(slot["current"])));
    EXPECT_EQ(w.size(), static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words()));
    words.push_back(w);
  }
  return words;
}

HIDServiceModuleModePtr presetOf(const std::vector<std::vector<int>>& words, std::vector<int> function,
                                 std::vector<int> volume) {
  auto p = fnd::make<HIDServiceModuleMode>();
  for (int m = 0; m < 9; ++m) {
    auto record = fnd::make<HIDServiceModel>();
    record->setDataArr(words[static_cast<size_t>(m)]);
    record->setFuncDataArr(function);
    record->setExpDataArr(volume);
    p->setModule(m, record);
  }
  return p;
}

TEST(EmptyPreset, IsTheExportOfTheCataloguesDefaults) {
  const json catalogue = json::parse(resource("preset.json"));
  const auto preset = presetOf(defaultWords(), {0, 0, 0}, {0, 0, 100});
  const std::string exported = PresetFile::presetFileObject(*preset, catalogue, "Empty").dump(4) + "\n";
  // Byte for byte: regenerate the file with resources/tools/make_empty_preset.py
  // when the catalogue changes.
  EXPECT_EQ(resource("Empty.pqv"), exported);
}

TEST(EmptyPreset, ClearsEveryWordOfASlot) {
  const json catalogue = json::parse(resource("preset.json"));
  std::vector<std::vector<int>> busy;
  for (int m = 0; m < 9; ++m)
    busy.push_back(std::vector<int>(static_cast<size_t>(ModuleTable::modules[static_cast<size_t>(m)].words()), 77));
  const auto current = presetOf(busy, {3, 9, 1}, {1, 20, 80});
  const auto target = presetOf(busy, {3, 9, 1}, {1, 20, 80});
  target->setPresetName("Full");
  auto imported = PresetFile::presetFromFile(resource("Empty.pqv"), "Empty", *target, *current, catalogue);
  ASSERT_TRUE(imported.preset) << imported.refusal;
  const auto expected = defaultWords();
  for (int m = 0; m < 9; ++m) {
    const auto& record = *imported.preset->module(m);
    EXPECT_EQ(record.dataArr.get(), expected[static_cast<size_t>(m)]) << ModuleTable::moduleName(m);
    EXPECT_EQ(record.FuncDataArr.get(), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(record.ExpDataArr.get(), (std::vector<int>{0, 0, 100}));
  }
  EXPECT_EQ(imported.preset->presetName.get(), "Empty");
}

}  // namespace
