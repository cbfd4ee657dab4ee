// The effect-type list of the module editor against the device service: with
// the simulated unit over the real transport (types from the shipped
// catalogue, the unit's panel reaching the slots, the exact words a send puts
// on the wire, the echo of a send), and with a recording service for values
// no unit or catalogue should give.
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <thread>

#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "platform/dispatch/MainQueueDriver.h"
#include "platform/dispatch/MainThread.h"
#include "screens/models/EffectViewModel.h"

#include "screens/ScreensTestSupport.h"

using namespace svc_test;
using nlohmann::json;

namespace {

std::vector<std::string> slotTexts(const GGFuncEffectModelPtr& type) {
  std::vector<std::string> out;
  if (auto params = type->params())
    for (const auto& s : *params) out.push_back(s->current.get());
  return out;
}

std::vector<std::string> wordTexts(const std::vector<int>& words) {
  std::vector<std::string> out;
  for (size_t i = 2; i < words.size(); ++i) out.push_back(std::to_string(words[i]));
  return out;
}

// The editor's models over a service that has read the whole simulated unit.
// What the service and the main queue may still call once a test is over
// (the progress block, success calls already queued) outlives the service.
struct EditorRig {
  TempFolder folder;
  ProgressLog progress;
  std::shared_ptr<int> successCount = std::make_shared<int>(0);  // main thread
  SimRig sim;
  GGEffectFunManagerPtr manager;
  EffectViewModelPtr model;

  explicit EditorRig(bool echo = false) {
    manager = readUnitAndMakeManager(sim, progress, folder, echo);
    model = EffectViewModel::create({sim.service, manager, shippedSlotTable});
    model->initWithBlock([count = successCount](const fnd::Value&) { ++*count; }, nullptr);
    flushMainQueue();
  }

  int successes() const { return *successCount; }

  bool showing(const std::string& module) const {
    return !model->models().empty() && model->models().front()->effectName == module;
  }
  std::vector<int> unitWords(int module) const { return sim.app->editBuffer().data.moduleWords(module); }
};

std::string entryName(const json& entry) {
  const json& e = entry.is_array() ? entry.front() : entry;
  return e.value("typeName", "");
}

}  // namespace

TEST(EffectViewModelWithUnit, EveryModulesTypesAndSlotsFromTheCatalogueAndTheUnit) {
  EditorRig rig;
  const EffectCataloguePtr catalogue = rig.sim.service->effectCatalogue();
  for (int m = 0; m < 9; ++m) {
    SCOPED_TRACE(HIDServiceViewMode::moduleName(m));
    const int before = rig.successes();
    rig.sim.service->sendChangePage(6 + m);
    const auto& types = rig.model->models();
    const std::vector<std::string> names = catalogue->typeNames(m);
    ASSERT_EQ(types.size(), names.size());
    const std::vector<std::string> unitSlots = wordTexts(rig.unitWords(m));
    for (size_t t = 0; t < types.size(); ++t) {
      EXPECT_EQ(types[t]->nickName, names[t]);
      EXPECT_EQ(types[t]->effectName, HIDServiceViewMode::moduleName(m));
      std::vector<std::string> expected, built;
      for (const json& entry : catalogue->parameters(m, static_cast<int>(t))) expected.push_back(entryName(entry));
      for (const auto& item : types[t]->effects()) {
        built.push_back(item->typeName);
        EXPECT_TRUE(item->slot()) << types[t]->nickName << " / " << item->typeName << " has no slot";
      }
      EXPECT_EQ(built, expected) << types[t]->nickName;
      // Every type shares the one slot list, filled with the unit's words.
      EXPECT_EQ(slotTexts(types[t]), unitSlots);
      EXPECT_EQ(types[t]->params(), types[0]->params());
    }
    flushMainQueue();
    EXPECT_EQ(rig.successes(), before + 1);
  }

  // The cabinet lists the unit's user IRs with one knob each.
  rig.sim.service->sendChangePage(9);
  ASSERT_GE(rig.model->models().size(), 36u);
  EXPECT_EQ(rig.model->models()[26]->nickName, "27:User IR 1");
  EXPECT_EQ(rig.model->models()[26]->effectItemCount(), 1);
  EXPECT_GT(rig.model->models()[25]->effectItemCount(), 1);

  // A negative minimum: the unit's word is the offset from it.
  rig.sim.service->sendChangePage(11);
  const auto band = rig.model->models()[0]->effects()[0];
  ASSERT_EQ(band->minValue, "-12");
  EXPECT_EQ(band->current(), std::to_string(rig.unitWords(5)[2] - 12));
}

TEST(EffectViewModelWithUnit, ChangesOnTheUnitsPanelReachTheModels) {
  EditorRig rig;
  rig.sim.app->changePage(13);
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.showing("DELAY"); }, kBound));
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] { return slotTexts(rig.model->models()[0]) == wordTexts(rig.unitWords(7)); }, kBound));

  std::vector<int> turned = rig.unitWords(7);
  turned[1] = 2;
  turned[4] = 750;  // slot 2: TIME
  const int before = rig.successes();
  rig.sim.app->turnKnob(7, turned);
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return slotTexts(rig.model->models()[2]) == wordTexts(turned); }, kBound));
  EXPECT_EQ(rig.manager->currentEffectTypeIndex(), 2);
  const auto time = rig.model->models()[0]->effects()[2];
  ASSERT_EQ(time->typeName, "TIME");
  EXPECT_EQ(time->current(), "750");
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return rig.successes() > before; }, kBound));

  // Another module on the panel: the list is rebuilt for it, then filled.
  rig.sim.app->changePage(14);
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] { return rig.showing("REVERB") && slotTexts(rig.model->models()[0]) == wordTexts(rig.unitWords(8)); },
      kBound));
}

TEST(EffectViewModelWithUnit, SendsTheModulesWordsAsTheUnitStoresThem) {
  EditorRig rig;
  ASSERT_TRUE(rig.showing("FX/COMP"));
  ASSERT_EQ(rig.sim.app->editBuffer().page, 5);
  std::vector<int> expected = rig.unitWords(0);
  ASSERT_EQ(expected.size(), 6u);

  // Off: the unit is first sent to the module's page.
  expected[0] = 0;
  rig.model->sendToHidEffectOpenOrClose(false);
  ASSERT_TRUE(rig.sim.waitFor(0x82, 1));
  EXPECT_EQ(rig.sim.received(0xB4).back().payload, (Bytes{0x06, 0x00}));
  EXPECT_EQ(rig.sim.received(0x82)[0].payload, wordBytes(expected));
  EXPECT_EQ(rig.unitWords(0), expected);
  EXPECT_EQ(rig.sim.app->editBuffer().page, 6);
  EXPECT_EQ(rig.sim.service->didChangeData.get(), 1);

  // The last type; then one past the list, which sends nothing; then type 0.
  const auto last = static_cast<int>(rig.model->models().size()) - 1;
  rig.model->sendToHid(last);
  rig.model->sendToHid(last + 1);
  rig.model->sendToHid(-1);
  rig.model->sendToHid(0);
  ASSERT_TRUE(rig.sim.waitFor(0x82, 3));
  const auto frames = rig.sim.received(0x82);
  ASSERT_EQ(frames.size(), 3u);
  expected[1] = last;
  EXPECT_EQ(frames[1].payload, wordBytes(expected));
  expected[1] = 0;
  EXPECT_EQ(frames[2].payload, wordBytes(expected));
  // Written out by hand: FX/COMP words 0x82, off, type 0, then the slots.
  const std::vector<int> w = rig.unitWords(0);
  EXPECT_EQ(frames[2].payload, (Bytes{0x00, 0x00, 0x00, 0x00, static_cast<uint8_t>(w[2] & 0xFF),
                                      static_cast<uint8_t>(w[2] >> 8), static_cast<uint8_t>(w[3] & 0xFF),
                                      static_cast<uint8_t>(w[3] >> 8), static_cast<uint8_t>(w[4] & 0xFF),
                                      static_cast<uint8_t>(w[4] >> 8), static_cast<uint8_t>(w[5] & 0xFF),
                                      static_cast<uint8_t>(w[5] >> 8)}));
  // Already on the page: no further page command after the first edit's.
  EXPECT_EQ(rig.sim.received(0xB4).back().payload, (Bytes{0x06, 0x00}));
  EXPECT_EQ(rig.sim.received(0xB4).size(), 2u);
  EXPECT_EQ(rig.unitWords(0), expected);
  // The preset now holds the sent words too.
  EXPECT_EQ(rig.sim.service->presetAllData()->module(0)->dataArr.get(), expected);
}

TEST(EffectViewModelWithUnit, EchoOfTheEditorsOwnSendIsNotAppliedAgain) {
  EditorRig rig(/*echo=*/true);
  rig.sim.service->sendChangePage(13);
  ASSERT_TRUE(rig.showing("DELAY"));
  flushMainQueue();
  const int before = rig.successes();

  std::atomic<int> fromUnit{0};
  auto record = rig.sim.service->presetDataModel();
  const fnd::KVOToken token = record->addObserver("dataArr", fnd::KVONew, [&](const fnd::KVOChange&) {
    if (!dispatch::isMainThread()) fromUnit.fetch_add(1);
  });
  rig.model->sendToHid(1);
  ASSERT_TRUE(rig.manager->tempDataArray.get());
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return fromUnit.load() >= 1; }, kBound));

  // A real change on the panel comes after the echo: once it shows, the echo
  // has been handled.
  std::vector<int> turned = rig.unitWords(7);
  turned[2] = 99;
  rig.sim.app->turnKnob(7, turned);
  ASSERT_TRUE(dispatch::runMainLoopUntil([&] { return slotTexts(rig.model->models()[1]) == wordTexts(turned); }, kBound));
  flushMainQueue();
  EXPECT_TRUE(dispatch::runMainLoopUntil([&] { return fromUnit.load() == 2; }, kBound));
  record->removeObserver(token);
  EXPECT_EQ(rig.successes(), before + 1);
  EXPECT_FALSE(rig.manager->tempDataArray.get());
}

// The unit's changes can arrive faster than the main queue runs them, and
// each one handled reads the record as it stands: a change handled after an
// earlier one already filled the slots with that record fills nothing more,
// unless a send wrote the slots since.
TEST(EffectViewModelWithUnit, AChangeHandledLateFillsTheSlotsOnlyWhenTheyDiffer) {
  EditorRig rig;
  rig.sim.service->sendChangePage(13);
  ASSERT_TRUE(rig.showing("DELAY"));
  flushMainQueue();
  const int before = rig.successes();
  auto record = rig.sim.service->presetDataModel();
  std::vector<int> older = record->dataArr.get(), newer = older;
  older[2] += 10;
  newer[2] += 20;
  record->setDataArr(newer);  // handled at once on the main thread
  flushMainQueue();
  EXPECT_EQ(rig.successes(), before + 1);
  EXPECT_EQ(slotTexts(rig.model->models()[1]), wordTexts(newer));

  rig.model->refreshData();  // a second change, handled late
  flushMainQueue();
  EXPECT_EQ(rig.successes(), before + 1);

  rig.manager->setTempDataArray(older);  // a knob's send wrote the slots
  rig.model->refreshData();
  flushMainQueue();
  EXPECT_EQ(rig.successes(), before + 2);
  EXPECT_EQ(slotTexts(rig.model->models()[1]), wordTexts(newer));
}

// --- a service that records what it sends ---

namespace {

// The module-word frames among what the service sent.
std::vector<Sent> moduleFrames(const std::vector<Sent>& sent) {
  std::vector<Sent> out;
  for (const Sent& s : sent)
    if (s.cmd >= 0x82 && s.cmd <= 0x8A) out.push_back(s);
  return out;
}

struct RecordedEditor {
  TempFolder folder;
  Recorder recorder;
  GGEffectFunManagerPtr manager;
  EffectViewModelPtr model;

  explicit RecordedEditor(EffectViewModel::SlotTableLoader slots = shippedSlotTable) {
    manager = makeManager(recorder.service, folder);
    model = EffectViewModel::create({recorder.service, manager, std::move(slots)});
  }
};

}  // namespace

TEST(EffectViewModelBounds, EmptyCatalogueListsNothingAndSendsNoType) {
  RecordedEditor editor([] { return json(); });
  // Nothing known of the unit yet: no words to send.
  editor.model->sendToHidEffectOpenOrClose(true);
  EXPECT_TRUE(editor.recorder.take().empty());

  loadUnit(editor.recorder, 1, 8);  // the service never loaded a catalogue
  EXPECT_TRUE(editor.model->models().empty());
  editor.model->refreshViewData();
  editor.model->sendToHid(0);
  EXPECT_TRUE(editor.recorder.take().empty());
  EXPECT_TRUE(editor.model->paramsForEffect()->empty());
  EXPECT_TRUE(editor.model->getValuesFormModel().empty());
  // The on/off word needs no catalogue.
  editor.model->sendToHidEffectOpenOrClose(false);
  const auto sent = moduleFrames(editor.recorder.take());
  ASSERT_EQ(sent.size(), 1u);
  std::vector<int> expected = currentWords(1, 2);
  expected[0] = 0;
  EXPECT_EQ(sent[0], (Sent{0x84, wordBytes(expected)}));
}

TEST(EffectViewModelBounds, ModuleIndexOutsideTheTable) {
  RecordedEditor editor;
  editor.recorder.service->loadXML();
  loadUnit(editor.recorder, 1, 13);
  ASSERT_FALSE(editor.model->models().empty());
  editor.recorder.service->presetAllData()->setSelectedModule(42);
  EXPECT_TRUE(editor.model->models().empty());
  EXPECT_TRUE(editor.model->paramsForEffect()->empty());
  editor.model->sendToHid(0);
  editor.model->sendToHidEffectOpenOrClose(true);
  EXPECT_TRUE(editor.recorder.take().empty());
  editor.recorder.service->presetAllData()->setSelectedModule(-3);
  EXPECT_TRUE(editor.model->models().empty());
  EXPECT_EQ(EffectViewModel::moduleName(9), "");
  EXPECT_EQ(EffectViewModel::moduleName(-1), "");
}

// The unit's reading thread picks one module and this window, on the main
// thread, another right after: the first change reaches the main queue last,
// and the list must still be the module the record holds.
TEST(EffectViewModelBounds, ASelectionCarriedLateGivesWayToTheOneTheRecordHolds) {
  RecordedEditor editor;
  editor.recorder.service->loadXML();
  loadUnit(editor.recorder, 1, 13);
  auto preset = editor.recorder.service->presetAllData();
  constexpr int kAmp = 2, kDelay = 7;
  std::thread([&] { preset->setSelectedModule(kAmp); }).join();  // waits for the main queue
  preset->setSelectedModule(kDelay);                               // handled at once
  flushMainQueue();
  EXPECT_EQ(editor.model->module(), kDelay);
  ASSERT_FALSE(editor.model->models().empty());
  EXPECT_EQ(editor.model->models().front()->effectName, "DELAY");
}

TEST(EffectViewModelBounds, SlotTableLongerThanTheModulesWords) {
  json table = json::object();
  json& delay = table["DELAY"];
  for (int i = 0; i < 12; ++i) delay.push_back({{"index", i}, {"names", {"P" + std::to_string(i)}}, {"current", "7"}});
  RecordedEditor editor([table] { return table; });
  editor.recorder.service->loadXML();
  loadUnit(editor.recorder, 1, 13);
  auto record = editor.recorder.service->presetDataModel();
  record->setDataArr({1, 0, 5});
  const auto& types = editor.model->models();
  ASSERT_FALSE(types.empty());
  std::vector<std::string> expected(12, "7");
  expected[0] = "5";
  EXPECT_EQ(slotTexts(types[0]), expected);
  record->setDataArr({});
  EXPECT_EQ(slotTexts(types[0]), std::vector<std::string>(12, "7"));
}

TEST(EffectViewModelBounds, TypesNumberedInNameOrder) {
  RecordedEditor editor;
  editor.recorder.service->loadXML();
  loadUnit(editor.recorder, 1, 13);
  editor.model->DealData(json::parse(R"({"10 x": [], "02 y": [], "01 z": []})"), "DELAY");
  std::vector<std::string> names;
  for (const auto& t : editor.model->models()) names.push_back(t->nickName);
  EXPECT_EQ(names, (std::vector<std::string>{"01 z", "02 y", "10 x"}));
  editor.model->sendToHid(2);
  editor.model->sendToHid(3);
  editor.model->sendToHid(std::numeric_limits<int64_t>::max());
  const auto sent = moduleFrames(editor.recorder.take());
  ASSERT_EQ(sent.size(), 1u);
  std::vector<int> expected = currentWords(1, 7);
  expected[1] = 2;
  EXPECT_EQ(sent[0], (Sent{0x89, wordBytes(expected)}));

  // Neither shape: no types, and nothing left of the previous list.
  editor.model->DealData(json("DELAY"), "DELAY");
  EXPECT_TRUE(editor.model->models().empty());
  editor.model->DealData(json::array({"not a list"}), "DELAY");
  EXPECT_TRUE(editor.model->models().empty());
}
