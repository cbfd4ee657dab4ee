// The unit preset list: a "DEVICE" title bar over a one-column table of the
// unit's 200 presets (P001 to P200 and the name). The row of the unit's
// current preset is selected and drawn in the accent colour. A click on a row
// switches the unit to that preset, asking first whether to save when the
// current preset has unsaved edits. The context menu copies, pastes, clears
// and renames presets in the unit. Rows drag out under the pasteboard type
// "drag"; preset file names dropped from another list are imported into the
// unit from the drop row on, one file after the other, each once the unit has
// confirmed the one before (the device service bounds that wait).
//
// Every action on a row outside the unit's 200 slots (a click beside the
// rows, a drop below the last row or with more files than slots left) sends
// nothing for the slots outside.
//
// Main thread only.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/SettingResetView.h"
#include "controls/ZrTableView.h"
#include "device/service/PresetManager.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Popover.h"
#include "platform/ui/TableView.h"
#include "platform/ui/View.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/presets/PresetDragData.h"
#include "screens/presets/PresetViewModel.h"
#include "screens/presets/RenameViewController.h"

class PresetView : public ui::View,
                   public ui::TableViewDataSource,
                   public ui::TableViewDelegate,
                   public ui::MenuDelegate,
                   public ui::PopoverDelegate {
public:
  static constexpr const char* kTableIdentifier = "devicePreset";
  static constexpr double kTitleHeight = 20;
  static constexpr double kRowHeight = 20;

  struct Parts {
    HIDServiceViewModePtr service;          // HIDServiceViewMode::shared()
    GGEffectFunManagerPtr manager;          // GGEffectFunManager::shareManager(): the computer preset folder
    std::shared_ptr<PopUpService> popUps;   // PopUpService::shared()
    std::filesystem::path emptyPreset;      // the resources' "Empty.pqv"
    std::chrono::milliseconds nameLoadDelay{300};
  };
  static std::shared_ptr<PresetView> create(Parts parts);
  static std::shared_ptr<PresetView> create() { return create(Parts{}); }
  std::string className() const override { return "PresetView"; }
  bool isFlipped() const override { return true; }

  std::shared_ptr<ui::TextField> presetTypeTitle;
  std::shared_ptr<ui::View> presetTitleView;
  std::shared_ptr<ZrScrollView> deviceScrollView;
  std::shared_ptr<ZrTableView> deviceTableView;
  std::shared_ptr<ui::TableColumn> deviceNameColumn;
  std::shared_ptr<ui::Menu> rightClickMenu;
  PresetViewModelPtr presetVM;
  std::shared_ptr<ui::Popover> renamePopover;
  std::shared_ptr<RenameViewController> renameVC;
  std::map<long, std::shared_ptr<ZrTableRowView>> rowViewSourse;
  std::map<long, std::shared_ptr<PresetListCell>> cellViewSourse;
  std::shared_ptr<SettingResetView> alertView;   // the save prompt last opened
  std::shared_ptr<SettingResetView> importAlert; // the import question last opened
  long copyItemIndex = -1;
  long renameIndex = -1;

  void viewDidMoveToSuperview() override;
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

  // The menu's actions and the table's click, on a row (the clicked row).
  void rightClickCopyPreset(long row);
  void rightClickPastPreset(long row);
  void rightClickCleanPreset(long row);
  void rightClickRenamePreset(long row);
  void presetSingleClick(long row);
  // Marks a row as the current preset.
  void justTableview(long row);
  // Imports the dropped preset files.
  void receiveDropPreset(const PresetDrop& drop);

  long numberOfRowsInTableView(ui::TableView&) override;
  double heightOfRow(ui::TableView&, long) override { return kRowHeight; }
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView&, ui::TableColumn*, long row) override;
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView&, long row) override;
  bool shouldSelectRow(ui::TableView&, long row) override;
  bool writeRowsWithIndexes(ui::TableView&, const std::set<long>& rows, ui::Pasteboard& pb) override;
  unsigned validateDrop(ui::TableView& table, const ui::DraggingInfo&, long row, ui::TableViewDropOperation op) override;
  bool acceptDrop(ui::TableView&, const ui::DraggingInfo& info, long row, ui::TableViewDropOperation) override;
  void menuWillOpen(ui::Menu& menu) override;
  void menuDidClose(ui::Menu& menu) override;
  void popoverWillClose(ui::Popover&) override;

  explicit PresetView(Parts parts);

private:
  void prepareUI();
  ui::View* overlayContainer();
  void closeOverlay();
  struct Import;
  void importNext(std::shared_ptr<Import> import);
  PresetManager::Environment importEnvironment() const;

  Parts parts_;
  bool built_ = false;
};
