// The rename popover's content against the simulated unit, and the generic
// preset table data source.
#include <gtest/gtest.h>

#include "screens/presets/PresetTableViewDataSource.h"
#include "screens/presets/RenameViewController.h"
#include "screens/PresetRig.h"

using namespace preset_test;

TEST(RenameViewController, TypedNamesAreTrimmedAtTheEndsAndCutTo14) {
  const std::pair<std::string, std::string> cases[] = {
      {"a", "a"},
      {"a_", "a"},                                  // the trailing underscore goes as it is typed
      {"a_b", "a_b"},                               // inside a name it stays
      {"_-ab-_", "ab"},                             // "-" is not in the name set
      {" ab ", " ab "},                             // blanks stay at the ends
      {"abcdefghijklmnopqrst", "abcdefghijklmn"},   // 20 letters leave 14
      {"abcdefghijklmn", "abcdefghijklmn"},
      {"\xC3\xA9" "abc", "abc"},
      {"ab\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9z",
       "ab\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},
  };
  Recorder rec;
  auto vc = RenameViewController::create(rec.service);
  for (const auto& [typed, kept] : cases) {
    vc->editTF->setStringValue(typed);
    vc->controlTextDidChange(*vc->editTF);
    EXPECT_EQ(vc->editTF->stringValue(), kept) << typed;
  }
  EXPECT_EQ(vc->view()->frame().size.width, 200);
  EXPECT_EQ(vc->editTF->placeholderString(), "a-zA-Z0-9 - and Space");
}

TEST(RenameViewController, OkAndReturnRenameTheUnitsPresetAndCloseThePopover) {
  LoadedUnit unit;
  int closed = 0;
  auto vc = RenameViewController::create(unit.sim.service);
  vc->okCallBack = [&] { ++closed; };

  vc->clickRow = 4;
  vc->editTF->setStringValue("Blue Lead");
  vc->okButton->performClick();
  EXPECT_TRUE(unit.waitForUnitName(5, "Blue Lead"));
  EXPECT_EQ(closed, 1);

  vc->clickRow = 199;
  vc->editTF->setStringValue("Last-One");
  EXPECT_FALSE(vc->doCommandBySelector(*vc->editTF, "insertNewline:"));  // the field goes on as usual
  EXPECT_TRUE(unit.waitForUnitName(200, "Last-One"));
  EXPECT_EQ(closed, 2);
  EXPECT_FALSE(vc->doCommandBySelector(*vc->editTF, "insertTab:"));
  EXPECT_EQ(closed, 2);
  EXPECT_EQ(unit.sim.service->cachedPreset(5)->presetName.get(), "Blue Lead");
}

TEST(RenameViewController, RefusedNamesAndRowsOutsideTheUnitWriteNothingButStillClose) {
  LoadedUnit unit;
  const std::string before = unit.unitName(3);
  int closed = 0;
  auto vc = RenameViewController::create(unit.sim.service);
  vc->okCallBack = [&] { ++closed; };
  const size_t renamesBefore = unit.sim.received(sim::UnitApplication::kRenamePreset).size();

  vc->clickRow = 2;
  for (const char* bad : {"a_b", ""}) {
    vc->editTF->setStringValue(bad);
    vc->okButton->performClick();
    flushMain();  // the button is off while its command runs
  }
  for (long row : {-1L, 200L, 1000L}) {
    vc->clickRow = row;
    vc->editTF->setStringValue("Fine Name");
    vc->okButton->performClick();
    flushMain();
  }
  flushMain();
  EXPECT_EQ(closed, 5);
  auto tips = unit.sim.popUps->tips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0], "fail: Wrong file name format! Please check compatibility of file name.");
  // Nothing reached the unit: ask it for something else and check nothing came before.
  unit.sim.service->sendChangePreset(7);
  ASSERT_TRUE(unit.sim.waitFor(sim::UnitApplication::kLoadPreset, 1));
  EXPECT_EQ(unit.sim.received(sim::UnitApplication::kRenamePreset).size(), renamesBefore);
  EXPECT_EQ(unit.sim.received(sim::UnitApplication::kSaveEditBuffer).size(), 0u);
  EXPECT_EQ(unit.unitName(3), before);
}

namespace {

struct TableRig {
  std::shared_ptr<ZrTableView> table = std::make_shared<ZrTableView>(ui::Rect{0, 0, 200, 300});
  std::vector<long> clicks;
  std::vector<PresetDrop> drops;
  std::shared_ptr<PresetTableViewDataSource> ds;

  TableRig(std::string id, std::optional<std::vector<std::string>> dragTypes) {
    auto column = std::make_shared<ui::TableColumn>("name");
    table->addTableColumn(column);
    PresetTableViewDataSource::Parts parts;
    parts.table = table;
    parts.tableIdentifier = std::move(id);
    parts.identifiers = {"name"};
    parts.dragTypes = std::move(dragTypes);
    parts.selectBlock = [this](long row, bool* stop) {
      EXPECT_TRUE(*stop);
      clicks.push_back(row);
    };
    parts.dragCell = [this](const PresetDrop& d) { drops.push_back(d); };
    ds = PresetTableViewDataSource::create(parts);
    table->setDataSource(ds);
    table->setDelegate(ds);
  }
  std::string cellText(long row) {
    auto cell = std::dynamic_pointer_cast<ZrTableViewCell>(table->viewAtColumn(0, row));
    flushMain();  // labels take their text on the main queue
    return cell ? cell->titleLabel()->stringValue() : "<none>";
  }
};

}  // namespace

TEST(PresetTableViewDataSource, RowsAndCellsComeFromTheColumnsAndSurviveShortColumns) {
  TableRig rig("left", std::vector<std::string>{"drag"});
  rig.table->reloadData();
  EXPECT_EQ(rig.table->numberOfRows(), 0);

  rig.ds->dataDic["name"] = {"Clean", "Crunch", "Lead"};
  rig.table->reloadData();
  ASSERT_EQ(rig.table->numberOfRows(), 3);
  EXPECT_EQ(rig.cellText(1), "Crunch");
  EXPECT_EQ(rig.table->rectOfRow(2).size.height, 16);
  auto rowView = rig.table->rowViewAtRow(1);
  rig.table->reloadData();
  EXPECT_EQ(rig.table->rowViewAtRow(1), rowView);  // one row view per row

  // A first column longer than this one: the short column's cells keep their text.
  rig.ds->dataDic["a-first"] = {"1", "2", "3", "4"};
  rig.table->reloadData();
  ASSERT_EQ(rig.table->numberOfRows(), 4);
  EXPECT_NE(rig.cellText(3), "<none>");  // made, with no text of its own column
  EXPECT_EQ(rig.cellText(2), "Lead");
}

TEST(PresetTableViewDataSource, ClicksOnRowsReachTheBlockAndClicksBesideThemDoNot) {
  TableRig rig("left", std::nullopt);
  rig.ds->dataDic["name"] = {"A", "B", "C"};
  rig.table->reloadData();
  rig.table->selectRowIndexes({1}, false);
  rig.ds->presetSingleClick(*rig.table);  // clickedRow is -1: beside every row
  EXPECT_TRUE(rig.clicks.empty());
}

TEST(PresetTableViewDataSource, RowsTravelToAnotherTableButNotBackToTheirOwn) {
  TableRig left("left", std::vector<std::string>{"drag"});
  TableRig right("right", std::vector<std::string>{"drag"});
  TableRig passive("passive", std::nullopt);
  left.ds->dataDic["name"] = {"A", "B", "C", "D"};
  left.table->reloadData();

  ui::DraggingInfo info;
  EXPECT_TRUE(left.ds->writeRowsWithIndexes(*left.table, {3, 1}, info.pasteboard));
  EXPECT_FALSE(passive.ds->writeRowsWithIndexes(*passive.table, {0}, info.pasteboard = {}) );
  info.pasteboard = {};
  left.ds->writeRowsWithIndexes(*left.table, {3, 1}, info.pasteboard);

  EXPECT_FALSE(left.ds->acceptDrop(*left.table, info, 0, ui::TableViewDropOperation::On));
  EXPECT_TRUE(left.drops.empty());

  EXPECT_EQ(right.ds->validateDrop(*right.table, info, 5, ui::TableViewDropOperation::Above), ui::DragOperationCopy);
  EXPECT_EQ(right.table->dropRow(), 5);
  EXPECT_TRUE(right.ds->acceptDrop(*right.table, info, 5, ui::TableViewDropOperation::On));
  ASSERT_EQ(right.drops.size(), 1u);
  EXPECT_EQ(right.drops[0].revicedIndex, 5);
  EXPECT_EQ(right.drops[0].index, (std::vector<uint64_t>{1, 3}));
  EXPECT_EQ(right.drops[0].presetName, (std::vector<std::string>{"B", "D"}));

  // Without dragged types the block hears the drop but the answer is no.
  EXPECT_FALSE(passive.ds->acceptDrop(*passive.table, info, 0, ui::TableViewDropOperation::On));
  EXPECT_EQ(passive.drops.size(), 1u);

  // No data, or data that is not ours: refused without a call.
  for (std::string junk : {"", "not json", R"({"index":[-1],"tableViewID":"x"})", R"([1,2])"}) {
    ui::DraggingInfo bad;
    if (!junk.empty()) bad.pasteboard.setString("drag", junk);
    EXPECT_FALSE(right.ds->acceptDrop(*right.table, bad, 0, ui::TableViewDropOperation::On)) << junk;
  }
  EXPECT_EQ(right.drops.size(), 1u);
}
