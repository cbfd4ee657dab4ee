// The module table and the preset record / current-preset codecs, checked
// against bytes laid out here from the record tables, then round trips.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/records/ModuleTable.h"
#include "device/records/PresetRecord.h"

namespace {

// The module table as the unit documents it: offset in the block, word count.
constexpr int kOffsets[9] = {0, 12, 22, 38, 52, 62, 84, 102, 120};
constexpr int kWords[9] = {6, 5, 8, 7, 5, 11, 9, 9, 6};

int wordValue(int module, int word) { return 1000 * (module + 1) + word; }

// Writes every word of every module into a module block starting at `base`.
void fillBlock(uint8_t* base) {
  for (int m = 0; m < 9; ++m)
    for (int i = 0; i < kWords[m]; ++i) {
      int v = wordValue(m, i);
      base[kOffsets[m] + 2 * i] = static_cast<uint8_t>(v & 0xFF);
      base[kOffsets[m] + 2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
}

std::vector<uint8_t> handRecord() {
  std::vector<uint8_t> r(159, 0);
  r[0] = 42;  // preset number
  const char name[] = "Crunch Lead";
  for (size_t i = 0; i < sizeof(name) - 1; ++i) r[1 + i] = static_cast<uint8_t>(name[i]);
  fillBlock(&r[15]);
  // EXP assignment 2, 17, 1 and EXP volume 1, 5, 0xFFFF.
  const uint8_t exp[12] = {2, 0, 17, 0, 1, 0, 1, 0, 5, 0, 0xFF, 0xFF};
  std::copy(std::begin(exp), std::end(exp), r.begin() + 147);
  return r;
}

TEST(ModuleTable, NamesPagesAndLengths) {
  EXPECT_EQ(ModuleTable::moduleName(0), "FX/COMP");
  EXPECT_EQ(ModuleTable::moduleName(8), "REVERB");
  EXPECT_EQ(ModuleTable::moduleName(9), "");
  EXPECT_EQ(ModuleTable::moduleName(-1), "");
  EXPECT_EQ(ModuleTable::moduleIndex("NS GATE"), 4);
  EXPECT_EQ(ModuleTable::moduleIndex("REVERB"), 8);
  EXPECT_EQ(ModuleTable::moduleIndex("ns gate"), -1);
  EXPECT_EQ(ModuleTable::moduleIndex(""), -1);
  EXPECT_EQ(ModuleTable::moduleDataLength(5), (std::array<int, 2>{0, 0}));
  EXPECT_EQ(ModuleTable::moduleDataLength(15), (std::array<int, 2>{0, 0}));
  for (int m = 0; m < 9; ++m)
    EXPECT_EQ(ModuleTable::moduleDataLength(6 + m), (std::array<int, 2>{kOffsets[m], 2 * kWords[m]})) << m;
  // The blocks lie back to back and fill 132 bytes.
  EXPECT_EQ(kOffsets[8] + 2 * kWords[8], 132);
}

TEST(ModuleTable, CutsUnsignedLittleEndianWords) {
  std::array<uint8_t, 132> block{};
  const uint8_t eq[6] = {0x01, 0x00, 0x05, 0x00, 0xFF, 0xFF};
  std::copy(std::begin(eq), std::end(eq), block.begin() + 62);
  auto words = ModuleTable::cutModuleData(block, 5);
  ASSERT_EQ(words.size(), 11u);
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[1], 5);
  EXPECT_EQ(words[2], 65535);
  EXPECT_TRUE(ModuleTable::cutModuleData(block, 9).empty());
  EXPECT_TRUE(ModuleTable::cutModuleData(std::span<const uint8_t>(block).first(100), 8).empty());
}

TEST(PresetRecord, DecodesEveryModuleFromHandLaidBytes) {
  auto preset = PresetRecord::decode(handRecord());
  ASSERT_NE(preset, nullptr);
  EXPECT_EQ(preset->presetName(), "Crunch Lead");
  EXPECT_EQ(preset->selectedModule(), 0);
  EXPECT_FALSE(preset->selectedPreset().has_value());
  EXPECT_FALSE(preset->nowPageNumber().has_value());
  ASSERT_EQ(preset->presetDataDic().size(), 9u);
  for (int m = 0; m < 9; ++m) {
    auto module = preset->module(m);
    ASSERT_NE(module, nullptr);
    std::vector<int> expected;
    for (int i = 0; i < kWords[m]; ++i) expected.push_back(wordValue(m, i));
    EXPECT_EQ(module->dataArr(), expected) << m;
    EXPECT_EQ(module->FuncDataArr(), (std::vector<int>{2, 17, 1})) << m;
    EXPECT_EQ(module->ExpDataArr(), (std::vector<int>{1, 5, 65535})) << m;
  }
  EXPECT_EQ(PresetRecord::decode(std::vector<uint8_t>(158, 0)), nullptr);
}

TEST(PresetRecord, EncodesBackTheSameBytes) {
  auto bytes = handRecord();
  auto preset = PresetRecord::decode(bytes);
  auto encoded = PresetRecord::encode(*preset, 42);
  EXPECT_EQ(std::vector<uint8_t>(encoded.begin(), encoded.end()), bytes);
  // Into another slot, only byte 0 differs.
  auto moved = PresetRecord::encode(*preset, 200);
  EXPECT_EQ(moved[0], 200);
  EXPECT_TRUE(std::equal(moved.begin() + 1, moved.end(), bytes.begin() + 1));
}

TEST(PresetRecord, NamesOfFourteenCharactersAndShorter) {
  auto bytes = handRecord();
  const char full[] = "ABCDEFGHIJKLMN";
  std::copy(full, full + 14, bytes.begin() + 1);
  auto preset = PresetRecord::decode(bytes);
  EXPECT_EQ(preset->presetName(), "ABCDEFGHIJKLMN");
  auto full14 = PresetRecord::encode(*preset, 42);
  EXPECT_TRUE(std::equal(full14.begin(), full14.end(), bytes.begin()));

  // Trailing blanks go; a NUL ends the name; nothing after it leaks in.
  const uint8_t padded[14] = {'A', 'B', ' ', ' ', 0, 'Z', 'Z', 0, 0, 0, 0, 0, 0, 0};
  std::copy(std::begin(padded), std::end(padded), bytes.begin() + 1);
  EXPECT_EQ(PresetRecord::decode(bytes)->presetName(), "AB");
  bytes[1] = 0;
  EXPECT_EQ(PresetRecord::decode(bytes)->presetName(), "");

  // Longer names are cut to 14 bytes, never into the module block.
  preset->setPresetName("A name far longer than fourteen");
  auto encoded = PresetRecord::encode(*preset, 1);
  EXPECT_EQ(std::string(encoded.begin() + 1, encoded.begin() + 15), "A name far lon");
  EXPECT_EQ(encoded[15], wordValue(0, 0) & 0xFF);

  // Bytes above 0x7F read as Latin-1 and go back as the same byte.
  uint8_t latin[14] = {'C', 'a', 'f', 0xE9, 0};
  std::copy(std::begin(latin), std::end(latin), bytes.begin() + 1);
  auto cafe = PresetRecord::decode(bytes);
  EXPECT_EQ(cafe->presetName(), "Caf\xC3\xA9");
  EXPECT_EQ(PresetRecord::encode(*cafe, 1)[4], 0xE9);
}

TEST(PresetRecord, WriterKeepsEveryFieldInItsPlace) {
  auto preset = PresetRecord::decode(handRecord());
  // Too many words for REVERB, too few for DS/OD, too many EXP words.
  std::vector<int> longList(20, 0x7777);
  preset->module(8)->setDataArr(longList);
  preset->module(1)->setDataArr({0x1234});
  auto encoded = PresetRecord::encode(*preset, 42);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(encoded[15 + 120 + 2 * i], 0x77) << i;
  EXPECT_EQ(encoded[147], 2);  // EXP assignment untouched
  EXPECT_EQ(encoded[15 + 12], 0x34);
  EXPECT_EQ(encoded[15 + 13], 0x12);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(encoded[15 + 12 + 2 * i], 0) << i;
  EXPECT_EQ(encoded[15 + 22], wordValue(2, 0) & 0xFF);  // AMP untouched

  // Values are written as their low 16 bits.
  preset->module(0)->setDataArr({0x12345, -1});
  encoded = PresetRecord::encode(*preset, 42);
  EXPECT_EQ(encoded[15], 0x45);
  EXPECT_EQ(encoded[16], 0x23);
  EXPECT_EQ(encoded[17], 0xFF);
  EXPECT_EQ(encoded[18], 0xFF);

  // The EXP words come from the selected module.
  preset->module(4)->setFuncDataArr({4, 30, 1, 99, 99});
  preset->module(4)->setExpDataArr({0, 1});
  preset->setSelectedModule(4);
  encoded = PresetRecord::encode(*preset, 42);
  const uint8_t exp[12] = {4, 0, 30, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_TRUE(std::equal(std::begin(exp), std::end(exp), encoded.begin() + 147));
}

TEST(CurrentPresetPayload, BothDirectionsAgainstHandLaidBytes) {
  std::vector<uint8_t> payload(146, 0);
  payload[0] = 17;
  payload[1] = 9;
  fillBlock(&payload[2]);
  const uint8_t exp[12] = {5, 0, 40, 0, 1, 0, 1, 0, 0, 0, 100, 0};
  std::copy(std::begin(exp), std::end(exp), payload.begin() + 134);

  auto current = CurrentPresetPayload::decode(payload);
  ASSERT_TRUE(current);
  EXPECT_EQ(current->presetNumber, 17);
  EXPECT_EQ(current->page, 9);
  ASSERT_EQ(current->modules.size(), 9u);
  for (int m = 0; m < 9; ++m) {
    const auto& module = current->modules.at(std::to_string(m));
    EXPECT_EQ(module->dataArr().size(), static_cast<size_t>(kWords[m]));
    EXPECT_EQ(module->dataArr().back(), wordValue(m, kWords[m] - 1));
    EXPECT_EQ(module->FuncDataArr(), (std::vector<int>{5, 40, 1}));
    EXPECT_EQ(module->ExpDataArr(), (std::vector<int>{1, 0, 100}));
  }
  auto encoded = CurrentPresetPayload::encode(17, 9, current->modules);
  EXPECT_EQ(std::vector<uint8_t>(encoded.begin(), encoded.end()), payload);
  EXPECT_FALSE(CurrentPresetPayload::decode(std::vector<uint8_t>(145, 0)));
}

}  // namespace
