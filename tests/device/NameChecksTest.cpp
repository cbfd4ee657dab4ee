// Which preset, IR and NR names may go to the unit.
#include <gtest/gtest.h>

#include "device/files/NameChecks.h"

TEST(NameChecks, PresetNames) {
  for (const char* good : {"Lead Tone", "A-1", "   ", "x", "My.Pre_set", "Clean.pqv", "Name."})
    EXPECT_TRUE(checkPresetName(good)) << good;
  for (const char* bad : {"", "A_B", "Crème", "a/b", ".pqv", "Name\n", "Tab\tbed", "Lead.Tone.x_y", "50%"})
    EXPECT_FALSE(checkPresetName(bad)) << bad;
}

TEST(NameChecks, IRAndNRNames) {
  for (const char* good : {"a_b", "Room (48k) ~1!", "   ", "cab.v2.wav", "~"}) EXPECT_TRUE(checkIR_NRName(good)) << good;
  for (const char* bad : {"", "ü", "Line\nbreak", "Del\x7F"}) EXPECT_FALSE(checkIR_NRName(bad)) << bad;
}

TEST(NameChecks, OneExtensionOfTheLastComponentIsDropped) {
  EXPECT_EQ(deletingPathExtension("Lead.Tone_x"), "Lead");
  EXPECT_EQ(deletingPathExtension("a.b.c"), "a.b");
  EXPECT_EQ(deletingPathExtension(".hidden"), ".hidden");
  EXPECT_EQ(deletingPathExtension("dir.x/name"), "dir.x/name");
  EXPECT_EQ(deletingPathExtension("dir/name.pqv"), "dir/name");
  EXPECT_EQ(deletingPathExtension("name"), "name");
  EXPECT_EQ(deletingPathExtension(""), "");
}
