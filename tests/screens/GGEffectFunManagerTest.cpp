// The editor's shared state: vocabulary, colours and folder from the user
// defaults, echo recognition against the current-module record, the binding
// of childEffectList, and the diary.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "platform/foundation/Files.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"
#include "screens/models/GGEffectFunManager.h"

using namespace svc_test;

namespace {

struct ManagerRig {
  TempFolder folder;
  Recorder recorder;
  std::shared_ptr<fnd::UserDefaults> defaults = fnd::UserDefaults::withFile(folder / "defaults.json");
  GGEffectFunManagerPtr manager;

  ManagerRig() { manager = make(); }
  GGEffectFunManagerPtr make() {
    GGEffectFunManager::Parts parts;
    parts.service = recorder.service;
    parts.defaults = defaults;
    parts.diaryFile = folder / "diary";
    return GGEffectFunManager::create(parts);
  }
};

std::array<int, 3> rgb255(const ui::Color& c) {
  return {static_cast<int>(std::lround(c.redComponent() * 255)), static_cast<int>(std::lround(c.greenComponent() * 255)),
          static_cast<int>(std::lround(c.blueComponent() * 255))};
}

}  // namespace

TEST(GGEffectFunManager, OneSharedInstance) {
  EXPECT_EQ(GGEffectFunManager::shareManager(), GGEffectFunManager::shareManager());
  EXPECT_EQ(GGEffectFunManager::shareManager()->service(), HIDServiceViewMode::shared());
}

TEST(GGEffectFunManager, HoverColourFromTheDefaultsWithFallback) {
  struct Case {
    fnd::Value stored;
    std::array<int, 3> rgb;
  };
  const Case cases[] = {
      {fnd::Value(0x888888), {136, 136, 136}}, {fnd::Value(0xB1CF36), {177, 207, 54}},
      {fnd::Value(0), {0, 0, 0}},              {fnd::Value(), {136, 136, 136}},
      {fnd::Value("blue"), {136, 136, 136}},   {fnd::Value("11653942"), {136, 136, 136}},
      {fnd::Value(0x1000000), {136, 136, 136}}, {fnd::Value(-1), {136, 136, 136}},
      {fnd::Value(2.5), {136, 136, 136}},      {fnd::Value(fnd::Array{1, 2, 3}), {136, 136, 136}},
  };
  for (const Case& c : cases) {
    ManagerRig rig;
    rig.defaults->setObjectForKey(GGEffectFunManager::kEnterColorKey, c.stored);
    EXPECT_EQ(rgb255(rig.manager->enterColor.get()), c.rgb) << c.stored.description();
    EXPECT_EQ(rig.manager->enterColor.get().alphaComponent(), 1.0);
  }
}

TEST(GGEffectFunManager, AccentColoursAreFixedAndObservable) {
  ManagerRig rig;
  EXPECT_EQ(rgb255(rig.manager->mainColor.get()), (std::array<int, 3>{138, 214, 255}));
  EXPECT_EQ(rig.manager->mainColor.get(), rig.manager->selectColor.get());
  std::vector<fnd::Value> seen;
  rs_valuesForKeyPath(rig.manager, "mainColor", nullptr)->subscribeNext([&](const fnd::Value& v) { seen.push_back(v); });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(fnd::fromValue<ui::Color>(seen[0]), rig.manager->mainColor.get());
}

TEST(GGEffectFunManager, PresetFolderFromTheDefaultsOrTheUsersFolder) {
  {
    ManagerRig rig;
    const std::string path = (rig.folder / "My Presets").string();
    rig.defaults->setObjectForKey(GGEffectFunManager::kComputerPresetPathKey, fnd::Value(path));
    EXPECT_EQ(rig.manager->filePath.get(), path);
    // Read once: a later change of the default is not followed.
    rig.defaults->setObjectForKey(GGEffectFunManager::kComputerPresetPathKey, fnd::Value("/elsewhere"));
    EXPECT_EQ(rig.manager->filePath.get(), path);
  }
  const char* oldHome = std::getenv("HOME");
  const std::string saved = oldHome ? oldHome : "";
  for (const char* home : {"/srv/people/alice", "/srv/people/alice/"}) {
    setenv("HOME", home, 1);
    const std::string expected = "/srv/people/" + fnd::paths::userName() + "/VLTfx RigPreset";
    EXPECT_EQ(GGEffectFunManager::defaultComputerPresetPath().string(), expected) << home;
    ManagerRig rig;
    EXPECT_EQ(rig.manager->filePath.get(), expected);
  }
  if (oldHome) setenv("HOME", saved.c_str(), 1); else unsetenv("HOME");
}

TEST(GGEffectFunManager, EchoRecognisedByValue) {
  ManagerRig rig;
  auto record = rig.recorder.service->presetDataModel();
  EXPECT_TRUE(record->dataArr.get().empty());
  // Nothing sent: never an echo, not even of an empty list.
  EXPECT_FALSE(rig.manager->isDataArrayEqual());
  EXPECT_EQ(rig.manager->currentEffectIndex(), 0);
  EXPECT_FALSE(rig.manager->currentEffectIsOpen());
  EXPECT_EQ(rig.manager->currentEffectTypeIndex(), 0);

  loadUnit(rig.recorder, 3, 13);
  const std::vector<int> words = record->dataArr.get();
  ASSERT_EQ(words, currentWords(3, 7));
  rig.manager->setTempDataArray(words);
  EXPECT_TRUE(rig.manager->isDataArrayEqual());
  EXPECT_EQ(rig.manager->currentEffectIndex(), 7);
  EXPECT_TRUE(rig.manager->currentEffectIsOpen());
  EXPECT_EQ(rig.manager->currentEffectTypeIndex(), words[1]);

  // The unit reports the same words (a separate list equal by value).
  Bytes payload;
  for (int w : words) payload.insert(payload.end(), {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8)});
  rig.recorder.feed(0x02 + 7, payload);
  EXPECT_TRUE(rig.manager->isDataArrayEqual());
  payload[4] ^= 1;
  rig.recorder.feed(0x02 + 7, payload);
  EXPECT_FALSE(rig.manager->isDataArrayEqual());

  record->setDataArr({0});
  EXPECT_FALSE(rig.manager->currentEffectIsOpen());
  EXPECT_EQ(rig.manager->currentEffectTypeIndex(), 0);  // no word 1
  rig.recorder.service->presetAllData()->setSelectedModule(42);
  EXPECT_EQ(rig.manager->currentEffectIndex(), 0);
}

TEST(GGEffectFunManager, ChildEffectListFollowsTheRecordBothWays) {
  ManagerRig rig;
  loadUnit(rig.recorder, 1, 8);
  auto record = rig.recorder.service->presetDataModel();
  rig.manager->bindHidModel();
  EXPECT_EQ(rig.manager->childEffectList.get(), currentWords(1, 2));

  std::vector<int> changed = currentWords(1, 2);
  changed[3] = 77;
  Bytes payload;
  for (int w : changed) payload.insert(payload.end(), {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8)});
  rig.recorder.feed(0x02 + 2, payload);
  EXPECT_EQ(rig.manager->childEffectList.get(), changed);

  rig.manager->setChildEffectList({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(record->dataArr.get(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(rig.recorder.take().empty());  // binding sends nothing
}

TEST(GGEffectFunManager, Vocabulary) {
  const auto& list = GGEffectFunManager::expParamList();
  ASSERT_EQ(list.size(), GGEffectFunManager::kExpParameterCount);
  EXPECT_EQ(list[0], "POSITION");
  EXPECT_EQ(list[46], "F.BACK");
  EXPECT_EQ(list[52], "F.BACK");
  EXPECT_EQ(list[60], "TONE");
  EXPECT_EQ(GGEffectFunManager::expParamName(60), "TONE");
  EXPECT_EQ(GGEffectFunManager::expParamName(61), "");
  EXPECT_EQ(GGEffectFunManager::expParamName(-1), "");
  EXPECT_EQ(GGEffectFunManager::expParamName(65535), "");

  const auto& groups = GGEffectFunManager::function_Para();
  const auto& names = GGEffectFunManager::module_Names();
  ASSERT_EQ(names.size(), 9u);
  size_t flat = 0;
  for (const auto& module : names) {
    const auto& group = groups.at(module);
    for (size_t i = 0; i < group.size(); ++i, ++flat)
      EXPECT_EQ(group[i], list[flat] == "F.BACK" ? "FEEDBACK" : list[flat]) << module << " " << i;
  }
  EXPECT_EQ(flat, list.size());
  for (int i = 0; i < 9; ++i) EXPECT_EQ(names[static_cast<size_t>(i)], HIDServiceViewMode::moduleName(i));
}

TEST(GGEffectFunManager, NameTrimmedAtBothEndsOnly) {
  EXPECT_EQ(GGEffectFunManager::trimName("#Lead!!"), "Lead");
  EXPECT_EQ(GGEffectFunManager::trimName("a-b!"), "a-b");
  EXPECT_EQ(GGEffectFunManager::trimName(" x "), " x ");
  EXPECT_EQ(GGEffectFunManager::trimName("Crunch!Lead"), "Crunch!Lead");
  EXPECT_EQ(GGEffectFunManager::trimName("\xC3\xA9t\xC3\xA9 2\xE2\x82\xAC"), "t\xC3\xA9 2");
  EXPECT_EQ(GGEffectFunManager::trimName("\xFF\xFE"), "");
  EXPECT_EQ(GGEffectFunManager::trimName("!!!"), "");
  EXPECT_TRUE(GGEffectFunManager::isInNameSet(U'-'));
  EXPECT_TRUE(GGEffectFunManager::isInNameSet(U'\u00E9'));
  EXPECT_FALSE(GGEffectFunManager::isInNameSet(U' '));
  EXPECT_FALSE(GGEffectFunManager::isInNameSet(U'z'));
}

TEST(GGEffectFunManager, DiaryAppendsStampedLinesAndNeverFailsLoudly) {
  ManagerRig rig;
  rig.manager->writeMessageToFile("first");
  rig.manager->writeMessageToFile("second");
  const std::string text = TempFolder::read(rig.folder / "diary");
  const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}:==first\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}:==second\n)");
  EXPECT_TRUE(std::regex_match(text, line)) << text;

  // A folder where the file should be, and a folder that does not exist.
  for (const auto& path : {rig.folder.path(), rig.folder / "missing" / "diary"}) {
    GGEffectFunManager::Parts parts;
    parts.service = rig.recorder.service;
    parts.defaults = rig.defaults;
    parts.diaryFile = path;
    auto manager = GGEffectFunManager::create(parts);
    manager->writeMessageToFile("lost");
    manager->writeMessageToFile("lost again");
  }
  EXPECT_FALSE(std::filesystem::exists(rig.folder / "missing"));
}
