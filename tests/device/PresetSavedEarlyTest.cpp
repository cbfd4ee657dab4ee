// Frames of the unit's panel before the unit has sent its current preset: the
// host knows nothing of the edit buffer yet. A saved preset's cached record
// keeps its words and only takes the new name; turning pages leaves no module
// without its words.
#include <gtest/gtest.h>

#include "HIDServiceViewModeTestSupport.h"

using namespace svc_test;

TEST(HIDServiceViewModePresetSaved, BeforeTheCurrentPresetOnlyTheNameChanges) {
  Recorder r;
  r.feed(0x20, presetRecord(49, "Old"));
  r.feed(0x05, {0x01, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00});
  Bytes saved = {49};
  for (char c : std::string("New name      ")) saved.push_back(static_cast<uint8_t>(c));
  r.feed(0x17, saved);
  const HIDServiceModuleModePtr cached = r.service->cachedPreset(49);
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->presetName.get(), "New name");
  for (int m = 0; m < 9; ++m) {
    ASSERT_TRUE(cached->module(m)) << m;
    EXPECT_EQ(cached->module(m)->dataArr.get(), recordWords(49, m)) << m;
  }
  // A preset not held at all stays unknown.
  saved[0] = 50;
  r.feed(0x17, saved);
  EXPECT_FALSE(r.service->cachedPreset(50));

  // Once the current preset is known, a save stores the edit buffer as before.
  r.feed(0x30, currentPreset(49, 6));
  r.feed(0x17, saved);
  ASSERT_TRUE(r.service->cachedPreset(50));
  EXPECT_EQ(r.service->cachedPreset(50)->module(0)->dataArr.get(), currentWords(49, 0));
}

TEST(HIDServiceViewModePresetSaved, PagesTurnedBeforeTheCurrentPresetLeaveNoEmptyModule) {
  Recorder r;
  r.feed(0x34, {9});   // CAB
  r.feed(0x34, {11});  // EQ
  EXPECT_FALSE(r.service->presetAllData()->module(3));
  r.feed(0x30, currentPreset(4, 9));
  r.feed(0x34, {11});
  ASSERT_TRUE(r.service->presetAllData()->module(3));
  EXPECT_EQ(r.service->presetAllData()->module(3)->dataArr.get(), currentWords(4, 3));
}
