// The module editor's type list lights the type the unit uses, and only it:
// when the unit turns to a type the list does not show (the AMP module's
// user NR slots), no row stays lit from the type before.
#include <gtest/gtest.h>

#include "device/HIDServiceViewModeTestSupport.h"
#include "device/TempFolder.h"
#include "platform/ui/Window.h"
#include "screens/ScreensTestSupport.h"
#include "screens/editor/EffectDataView.h"
#include "screens/editor/EffectViewListCell.h"

using namespace svc_test;

namespace {

const ui::Color kLit = ui::Color::rgb255(138, 214, 255);

// The rows of the list whose title shows the accent colour.
std::vector<long> litRows(ui::TableView& table) {
  std::vector<long> lit;
  for (long row = 0; row < table.numberOfRows(); ++row) {
    auto cell = std::dynamic_pointer_cast<EffectViewListCell>(table.viewAtColumn(0, row));
    if (cell && cell->title->textColor() == kLit) lit.push_back(row);
  }
  return lit;
}

TEST(ModuleEditorTypeList, ATypeTheListDoesNotShowLeavesNoRowLit) {
  TempFolder folder;
  ProgressLog progress;
  SimRig sim;
  auto manager = readUnitAndMakeManager(sim, progress, folder, false);
  auto window = ui::Window::create(ui::Rect(0, 0, 900, 430));
  auto editor = EffectDataView::create({sim.service, manager, shippedSlotTable}, ui::Rect(0, 0, 900, 430));
  window->contentView()->addSubview(editor);
  window->makeKeyAndOrderFront();
  flushMainQueue();  // the editor's first refresh
  window->layoutIfNeeded();
  auto& table = *editor->myTableView;
  const auto& models = [&]() -> const std::vector<GGFuncEffectModelPtr>& {
    return editor->moduleTypeViewModel->models();
  };

  // The unit's panel turns to an AMP type the list shows, then to a user NR
  // slot, which it leaves out.
  auto turnTo = [&](int type) {
    std::vector<int> words = sim.app->editBuffer().data.moduleWords(2);
    words[1] = type;
    sim.app->turnKnob(2, words);
    ASSERT_TRUE(dispatch::runMainLoopUntil(
        [&] {
          return editor->titleTF->stringValue() == "AMP" && static_cast<long>(models().size()) > type &&
                 editor->subtitleTF->stringValue() == models()[static_cast<size_t>(type)]->nickName;
        },
        kBound));
    flushMainQueue();
    window->layoutIfNeeded();
  };
  sim.app->changePage(6 + 2);
  ASSERT_TRUE(dispatch::runMainLoopUntil(
      [&] {
        return editor->titleTF->stringValue() == "AMP" && editor->moduleParamViewModel->curModel &&
               editor->moduleParamViewModel->curModel->effectName == "AMP";
      },
      kBound));
  turnTo(5);
  ASSERT_EQ(table.selectedRow(), 5);
  EXPECT_EQ(litRows(table), std::vector<long>{5});

  const long listed = table.numberOfRows();
  ASSERT_LT(listed, static_cast<long>(models().size()));
  turnTo(static_cast<int>(listed) + 3);
  EXPECT_EQ(table.selectedRow(), -1);
  EXPECT_TRUE(litRows(table).empty());

  // Back to a listed type: it is lit again.
  turnTo(7);
  EXPECT_EQ(table.selectedRow(), 7);
  EXPECT_EQ(litRows(table), std::vector<long>{7});

  window->close();
  editor.reset();
  window.reset();
  flushMainQueue();
}

}  // namespace
