// The catalogue models on their own: parameters built from catalogue entries,
// values read from and written into the module's slots, steps, ratios of
// controlled parameters, and values that no catalogue or unit should send.
#include <gtest/gtest.h>

#include <cmath>

#include "screens/models/GGFuncEffectModel.h"

using nlohmann::json;

namespace {

GGEffectParmaModelPtr slot(int64_t index, std::vector<std::string> names, std::string current) {
  return fnd::make<GGEffectParmaModel>(index, std::move(names), std::move(current));
}

// A type built from `entries` whose slots are `slots`.
GGFuncEffectModelPtr typeWith(const json& entries, std::vector<GGEffectParmaModelPtr> slots,
                              const std::string& module = "DELAY", const std::string& name = "01 TEST") {
  auto type = GGFuncEffectModel::initWithEffectName(module, entries.get<std::vector<json>>(), name);
  type->setParams(std::make_shared<GGEffectParmaList>(std::move(slots)));
  return type;
}

GGEffectItemModelPtr named(const GGFuncEffectModelPtr& type, const std::string& name) {
  for (const auto& item : type->effects())
    if (item->typeName == name) return item;
  return nullptr;
}

}  // namespace

TEST(GGFuncEffectModel, BuildsParametersPartsAndControlLinks) {
  const json entries = json::parse(R"([
    {"typeName": "LEVEL", "minValue": "0", "maxValue": 100, "current": 40, "unit": "dB"},
    [{"typeName": "TIME"}, {"typeName": "TIME FINE"}],
    [{"typeName": "THREE"}, {"typeName": "PARTS"}, {"typeName": "SKIPPED"}],
    [{"typeName": "NOT"}, "A PART"],
    "a stray string",
    {"typeName": "SYNC", "item": ["OFF", "1/4"], "itemValue": ["1", "1/4"], "control": "TIME"},
    {"typeName": "LOOSE", "control": "NOWHERE", "colour": "red"},
    {"typeName": "NO CHOICES", "item": []}
  ])");
  auto type = typeWith(entries, {});
  std::vector<std::string> names;
  for (const auto& item : type->effects()) names.push_back(item->typeName);
  EXPECT_EQ(names, (std::vector<std::string>{"LEVEL", "TIME", "SYNC", "LOOSE", "NO CHOICES"}));
  EXPECT_EQ(type->effectItemCount(), 5);

  auto level = named(type, "LEVEL");
  EXPECT_EQ(level->maxValue, "100");  // numbers are taken as their text
  EXPECT_EQ(level->current(), "40");  // no slot: the catalogue's value
  EXPECT_EQ(level->unit, "dB");
  EXPECT_EQ(level->type(), 0);
  EXPECT_EQ(level->parent.lock(), type);

  auto time = named(type, "TIME");
  ASSERT_TRUE(time->subModel);
  EXPECT_EQ(time->subModel->typeName, "TIME FINE");
  EXPECT_EQ(time->type(), 2);

  auto sync = named(type, "SYNC");
  EXPECT_EQ(sync->type(), 1);
  EXPECT_EQ(sync->controlModel.lock(), time);
  EXPECT_TRUE(time->isBeControl);
  EXPECT_EQ(time->beControledModel.lock(), sync);

  auto loose = named(type, "LOOSE");
  EXPECT_FALSE(loose->controlModel.lock());
  // An empty choice list is no choice list.
  EXPECT_EQ(named(type, "NO CHOICES")->type(), 0);
}

TEST(GGFuncEffectModel, OneKnobOnlyForTheCabinetsUserSlots) {
  const json two = json::parse(R"([{"typeName": "A"}, {"typeName": "B"}])");
  EXPECT_EQ(typeWith(two, {}, "CAB", "27:My IR")->effectItemCount(), 1);
  EXPECT_EQ(typeWith(two, {}, "CAB", "36:EMPTY")->effectItemCount(), 1);
  EXPECT_EQ(typeWith(two, {}, "CAB", "26 4X12")->effectItemCount(), 2);
  EXPECT_EQ(typeWith(two, {}, "MOD", "30 PHASER")->effectItemCount(), 2);
  EXPECT_EQ(typeWith(two, {}, "CAB", "3")->effectItemCount(), 2);
  EXPECT_EQ(typeWith(two, {}, "CAB", "")->effectItemCount(), 2);
}

TEST(GGEffectItemModel, SlotChosenByNameAndIndex) {
  const json entries = json::parse(R"([
    {"typeName": "LEVEL", "parmaIndex": "5", "minValue": "0", "maxValue": "100"},
    {"typeName": "LEVEL", "minValue": "0", "maxValue": "100"},
    {"typeName": "GHOST", "parmaIndex": "2", "current": "7"}
  ])");
  auto first = slot(1, {"MIX", "LEVEL"}, "11");
  auto fifth = slot(5, {"LEVEL"}, "55");
  auto type = typeWith(entries, {first, slot(2, {"OTHER"}, "0"), fifth});
  EXPECT_EQ(type->effects()[0]->current(), "55");
  EXPECT_EQ(type->effects()[1]->current(), "11");
  // Its name sits in no slot of its index: it keeps its value, and a write
  // goes nowhere.
  auto ghost = type->effects()[2];
  EXPECT_EQ(ghost->current(), "7");
  ghost->configCurrent("9");
  EXPECT_EQ(ghost->current(), "7");
  EXPECT_EQ(first->current.get(), "11");
  EXPECT_EQ(fifth->current.get(), "55");
}

TEST(GGEffectItemModel, NegativeMinimumTravelsAsOffset) {
  auto s = slot(0, {"80HZ"}, "0");
  auto type = typeWith(json::parse(R"([{"typeName": "80HZ", "minValue": "-12", "maxValue": "12"}])"), {s});
  auto band = type->effects()[0];
  EXPECT_EQ(band->current(), "-12");
  band->configCurrent("-12");
  EXPECT_EQ(s->current.get(), "0");
  band->configCurrent("12");
  EXPECT_EQ(s->current.get(), "24");
  EXPECT_EQ(band->current(), "12");
  band->addOne();
  EXPECT_EQ(s->current.get(), "24");  // at the maximum
  s->current.set("0");
  band->minusOne();
  EXPECT_EQ(s->current.get(), "0");  // at the minimum
  band->addOne();
  EXPECT_EQ(band->current(), "-11");
}

TEST(GGEffectItemModel, ChoiceStepsStayInTheList) {
  auto s = slot(0, {"WAVE"}, "2");
  auto type = typeWith(json::parse(R"([{"typeName": "WAVE", "item": ["SIN", "TRI", "SQR"]}])"), {s});
  auto wave = type->effects()[0];
  wave->addOne();
  EXPECT_EQ(s->current.get(), "2");
  s->current.set("0");
  wave->minusOne();
  EXPECT_EQ(s->current.get(), "0");
  // A choice beyond the list (as a unit might report it) comes back into it
  // rather than going further out.
  s->current.set("50");
  wave->addOne();
  EXPECT_EQ(s->current.get(), "2");
  s->current.set("-4");
  wave->minusOne();
  EXPECT_EQ(s->current.get(), "0");
}

TEST(GGEffectItemModel, EmptyChoiceListStepsLikeAPlainParameter) {
  auto s = slot(0, {"X"}, "9");
  auto type = typeWith(json::parse(R"([{"typeName": "X", "item": [], "minValue": "0", "maxValue": "10"}])"), {s});
  auto x = type->effects()[0];
  x->addOne();
  x->addOne();
  EXPECT_EQ(s->current.get(), "10");
}

TEST(GGEffectItemModel, ControlledParameterUsesTheControllersRatio) {
  const json entries = json::parse(R"([
    {"typeName": "TIME", "minValue": "20", "maxValue": "2000"},
    {"typeName": "SUBDIV", "item": ["1/4", "1/16", "odd"], "itemValue": ["1", "1/4", "1/0"], "control": "TIME"}
  ])");
  auto timeSlot = slot(0, {"TIME"}, "400");
  auto subdivSlot = slot(1, {"SUBDIV"}, "1");
  auto type = typeWith(entries, {timeSlot, subdivSlot});
  auto time = type->effects()[0];
  auto subdiv = type->effects()[1];
  ASSERT_EQ(time->beControledModel.lock(), subdiv);

  EXPECT_EQ(time->controllerRatio(), "1/4");
  time->setBeControlValue("100");
  EXPECT_EQ(timeSlot->current.get(), "400");
  EXPECT_EQ(time->beControlValue(), "100");
  EXPECT_EQ(time->ValueSubNumber("1/4"), "100");
  // Shown values are held to the limits.
  timeSlot->current.set("40");
  EXPECT_EQ(time->ValueSubNumber("1/4"), "20");
  timeSlot->current.set("40000");
  EXPECT_EQ(time->ValueSubNumber("1/4"), "2000");

  // A zero denominator or a zero ratio scales by nothing instead of dividing
  // by zero.
  subdivSlot->current.set("2");
  time->setBeControlValue("300");
  EXPECT_EQ(timeSlot->current.get(), "300");
  EXPECT_EQ(time->DivValueOne("300", "0"), "300");
  EXPECT_EQ(time->ValueSubNumber("1/0"), "300");
  EXPECT_EQ(time->ValueDivNumber("0/0"), "300");

  // A choice the ratios do not reach divides by one.
  subdivSlot->current.set("7");
  EXPECT_EQ(time->controllerRatio(), "1");
  time->setBeControlValue("250");
  EXPECT_EQ(timeSlot->current.get(), "250");

  // Not controlled: nothing is stored.
  subdiv->setBeControlValue("5");
  EXPECT_FALSE(subdiv->beControlValue());
  EXPECT_EQ(subdivSlot->current.get(), "7");
}

TEST(GGEffectItemModel, DerivedValuesStayFinite) {
  const json entries = json::parse(R"([
    {"typeName": "ZERO", "minValue": "0", "maxValue": "0", "current": "5"},
    {"typeName": "HALF", "minValue": "-50", "maxValue": "50", "current": "25"},
    {"typeName": "HUGE", "minValue": "-99999999999999999999", "maxValue": "99999999999999999999",
     "current": "99999999999999999999"}
  ])");
  auto hugeSlot = slot(0, {"HUGE"}, "99999999999999999999");
  auto type = typeWith(entries, {hugeSlot});
  auto zero = type->effects()[0];
  EXPECT_EQ(zero->sliderValue(), 0.0);
  zero->setSliderValue(0.5);
  EXPECT_EQ(zero->sliderValue(), 0.5);
  EXPECT_NEAR(type->effects()[1]->sliderValue(), 0.25, 1e-6);
  EXPECT_EQ(type->effects()[1]->baseValue(), 25);

  auto huge = type->effects()[2];
  EXPECT_TRUE(std::isfinite(huge->sliderValue()));
  huge->addOne();
  huge->minusOne();
  EXPECT_FALSE(huge->current().empty());
  EXPECT_EQ(huge->ValueSubNumber("nan"), huge->ValueSubNumber("0"));
}
