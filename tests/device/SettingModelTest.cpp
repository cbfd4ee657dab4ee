// The system screen's levels: decibel texts, the plus and minus steps at the
// ends of each range, and copies of the EXP volume entry.

#include <gtest/gtest.h>

#include <vector>

#include "device/EXP_FunctionModel.h"
#include "device/SettingModel.h"

namespace {

TEST(SettingModel, LevelTexts) {
  EXPECT_EQ(SettingModel::levelText(std::nullopt), "-");
  EXPECT_EQ(SettingModel::levelText(0), "-");
  const char* low[] = {"-60 dB", "-45 dB", "-35 dB", "-30 dB", "-25 dB", "-20 dB", "-10 dB", "-5 dB", "0 dB"};
  for (int v = 1; v <= 9; ++v) EXPECT_EQ(SettingModel::levelText(v), low[v - 1]) << v;
  EXPECT_EQ(SettingModel::levelText(10), "0.5 dB");
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
  struct Case {
    long type;
    std::optional<int> from;
    bool plus;
    int to;
  };
  const std::vector<Case> cases = {
      // Input and OTG: 0 to 21.
      {SettingModel::kInputLevel, 21, true, 21},  {SettingModel::kInputLevel, 21, false, 20},
      {SettingModel::kInputLevel, 0, false, 0},   {SettingModel::kInputLevel, 0, true, 1},
      {SettingModel::kInputLevel, std::nullopt, true, 1},
      {SettingModel::kOtgLevel, 20, true, 21},    {SettingModel::kOtgLevel, 30, true, 21},
      {SettingModel::kOtgLevel, -5, false, 0},
      // Screen: 1 to 20; below 3 counts as 2 on the way down.
      {SettingModel::kScreenLevel, 1, false, 1},  {SettingModel::kScreenLevel, 20, true, 20},
      {SettingModel::kScreenLevel, 0, true, 1},   {SettingModel::kScreenLevel, 0, false, 1},
      {SettingModel::kScreenLevel, 3, false, 2},  {SettingModel::kScreenLevel, std::nullopt, false, 1},
  };
  for (const Case& c : cases) {
    auto level = [&]() -> fnd::Property<std::optional<int>>& {
      return c.type == SettingModel::kInputLevel ? m->inputLevel
             : c.type == SettingModel::kScreenLevel ? m->screenLevel : m->otgLevel;
    };
    level().set(c.from);
    c.plus ? m->addValueForType(c.type) : m->minusValueForType(c.type);
    EXPECT_EQ(level().get(), c.to) << "type " << c.type << " from " << c.from.value_or(-99) << (c.plus ? " +" : " -");
  }
  // Other types change nothing.
  m->setInputLevel(5);
  m->setScreenLevel(5);
  m->setOtgLevel(5);
  m->addValueForType(3);
  m->minusValueForType(-1);
  EXPECT_EQ(m->inputLevel.get(), 5);
  EXPECT_EQ(m->screenLevel.get(), 5);
  EXPECT_EQ(m->otgLevel.get(), 5);
}

TEST(SettingModel, StepsNotifyObserversOfTheLevel) {
  auto m = fnd::make<SettingModel>();
  m->setInputLevel(21);
  int calls = 0;
  auto token = m->addObserver("inputLevel", 0, [&](const fnd::KVOChange&) { ++calls; });
  m->addValueForType(SettingModel::kInputLevel);  // stays 21, still set
  EXPECT_EQ(calls, 1);
  m->removeObserver(token);
}

TEST(EXP_FunctionModel, ACopyHasTheSameValuesAndIsIndependent) {
  auto e = fnd::make<EXP_FunctionModel>();
  e->setOn(true);
  e->setOff(false);
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
  EXPECT_NE(e->mutableCopy(), e);
}

}  // namespace
