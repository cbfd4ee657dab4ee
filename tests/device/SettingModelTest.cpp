// The system screen's levels (decibel texts, the plus and minus steps at the
// ends of each range) and copies of the EXP volume entry.

#include <gtest/gtest.h>

#include <vector>

#include "device/files/EXP_FunctionModel.h"
#include "device/files/SettingModel.h"

namespace {

TEST(SettingModel, LevelTexts) {
  const char* texts[] = {"-", "-60 dB", "-45 dB", "-35 dB", "-30 dB", "-25 dB", "-20 dB", "-10 dB", "-5 dB", "0 dB",
                         "0.5 dB"};
  for (int v = 0; v <= 10; ++v) EXPECT_EQ(SettingModel::levelText(v), texts[v]) << v;
  EXPECT_EQ(SettingModel::levelText(std::nullopt), "-");
  EXPECT_EQ(SettingModel::levelText(15), "3.0 dB");
  EXPECT_EQ(SettingModel::levelText(21), "6.0 dB");
  EXPECT_EQ(SettingModel::levelText(-1), "-5.0 dB");
  auto m = fnd::make<SettingModel>();
  m->setInputLevel(4);
  m->setOtgLevel(8);
  EXPECT_EQ(m->inputLevelText(), "-30 dB");
  EXPECT_EQ(m->otgLevelText(), "-5 dB");
}

TEST(SettingModel, StepsStayWithinEachRange) {
  auto m = fnd::make<SettingModel>();
  using Level = fnd::Property<std::optional<int>> SettingModel::*;
  struct Case {
    long type;
    Level level;
    std::optional<int> from;
    bool plus;
    int to;
  };
  const auto in = &SettingModel::inputLevel, screen = &SettingModel::screenLevel, otg = &SettingModel::otgLevel;
  const std::vector<Case> cases = {
      // Input and OTG: 0 to 21; unset counts as 0.
      {0, in, 21, true, 21}, {0, in, 21, false, 20}, {0, in, 0, false, 0}, {0, in, std::nullopt, true, 1},
      {2, otg, 30, true, 21}, {2, otg, -5, false, 0},
      // Screen: 1 to 20; below 3 counts as 2 on the way down.
      {1, screen, 1, false, 1}, {1, screen, 20, true, 20}, {1, screen, 0, true, 1}, {1, screen, 0, false, 1},
      {1, screen, 3, false, 2},
      // Other types change nothing.
      {3, in, 5, true, 5}, {-1, in, 5, false, 5}};
  for (const Case& c : cases) {
    ((*m).*c.level).set(c.from);
    c.plus ? m->addValueForType(c.type) : m->minusValueForType(c.type);
    EXPECT_EQ(((*m).*c.level).get(), c.to) << "type " << c.type << " from " << c.from.value_or(-99) << (c.plus ? " +" : " -");
  }
}

TEST(EXP_FunctionModel, ACopyHasTheSameValuesAndIsIndependent) {
  auto e = fnd::make<EXP_FunctionModel>();
  e->setOn(true);
  e->setMinValue(10.0);
  e->setMaxValue(90.0);
  e->setMinValueString("10");
  e->setMaxValueString("90");
  auto c = e->copy();
  EXPECT_TRUE(c->on.get());
  EXPECT_FALSE(c->off.get());
  EXPECT_EQ(c->minValue.get(), 10.0);
  EXPECT_EQ(c->maxValue.get(), 90.0);
  EXPECT_EQ(c->minValueString.get(), "10");
  EXPECT_EQ(c->maxValueString.get(), "90");
  c->setMaxValue(50.0);
  EXPECT_EQ(e->maxValue.get(), 90.0);
}

}  // namespace
