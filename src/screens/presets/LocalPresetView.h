// The computer preset library: a "COMPUTER" title bar with a folder button
// (shows the computer preset folder in the file manager) and a refresh
// button, over a one-column list of the preset files in that folder, newest
// first. The selected row is drawn in the accent colour; after every listing
// the first row is selected. Only the rows in view have a row view and a
// cell; the table hands those of rows scrolled away to the rows coming in.
//
// The context menu adds files through an open panel (copies never replace a
// file of the same name), deletes the file of the row it was opened on (no
// question asked), lists the folder again and shows a file, or the folder,
// in the file manager. Unit presets dropped on the list are exported into
// the folder and the new file is selected and scrolled into view; names
// dragged out of it are imported by the unit preset list. The list refuses
// its own rows.
//
// The panel never talks to the unit: exporting goes through PresetManager.
//
// Main thread only.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "controls/SWSTAnswerButton.h"
#include "controls/ZrTableView.h"
#include "device/service/PresetManager.h"
#include "device/service/HIDServiceViewMode.h"
#include "platform/foundation/PopUpService.h"
#include "platform/ui/Menu.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "screens/models/GGEffectFunManager.h"
#include "screens/presets/ComputerPresetViewModel.h"
#include "screens/presets/PresetDragData.h"

class LocalPresetView : public ui::View, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
  static constexpr const char* kTableIdentifier = "computerPreset";
  static constexpr double kTitleHeight = 20;
  static constexpr double kButtonWidth = 20;
  static constexpr double kRowHeight = 20;
  static constexpr double kCellHeight = 18;
  // The identifiers the table reuses the row views and cells under.
  static constexpr const char* kRowViewIdentifier = "ZrTableRowView";
  static constexpr const char* kCellIdentifier = "ZrTableViewCell";
  // Texts shown by the panel.
  static constexpr const char* kTitle = "COMPUTER";
  static constexpr const char* kAlreadyExists = "'%s' already exists.";
  static constexpr const char* kAddFailed = " add failed!";
  static constexpr const char* kAddSucceeded = "Add preset successful!";

  struct Parts {
    HIDServiceViewModePtr service;         // HIDServiceViewMode::shared(): the exported presets
    GGEffectFunManagerPtr manager;         // GGEffectFunManager::shareManager(): the folder
    std::shared_ptr<PopUpService> popUps;  // PopUpService::shared()
  };
  static std::shared_ptr<LocalPresetView> create(Parts parts);
  static std::shared_ptr<LocalPresetView> create() { return create(Parts{}); }
  std::string className() const override { return "LocalPresetView"; }
  bool isFlipped() const override { return true; }

  std::shared_ptr<ui::View> presetTitleView;
  std::shared_ptr<ui::TextField> presetTypeTitle;
  std::shared_ptr<SWSTAnswerButton> folderButton;
  std::shared_ptr<SWSTAnswerButton> freshButton;
  std::shared_ptr<ZrScrollView> computerScrollView;
  std::shared_ptr<ZrTableView> computerTableView;
  std::shared_ptr<ui::TableColumn> deviceNameColumn;
  std::shared_ptr<ui::Menu> rightClickMenu;
  ComputerPresetViewModelPtr presetVM;

  // Builds the panel the first time it is placed in a superview.
  void viewDidMoveToSuperview() override;
  void resizeSubviewsWithOldSize(ui::Size oldSize) override;

  // The refresh button and the menu's "Refresh": the folder listed again.
  void reloadPresetData();
  void rightClickfreshPreset();
  // The folder button: the folder in the file manager.
  void justShowInFinder();
  // The menu's other items; `row` is the row the menu was opened on, or -1.
  void rightClickAddPreset();
  void rightClickdelPreset(long row);
  void rightClickShowPreset(long row);
  // Exports the first dragged unit preset into the folder, then selects the
  // new file's row and scrolls it into view.
  void exportPreset(const PresetDrop& drop);

  long numberOfRowsInTableView(ui::TableView&) override;
  // Every row is kRowHeight tall (the table's row height): no height per row.
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView&, ui::TableColumn*, long row) override;
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView&, long row) override;
  bool shouldSelectRow(ui::TableView&, long row) override;
  bool writeRowsWithIndexes(ui::TableView&, const std::set<long>& rows, ui::Pasteboard& pb) override;
  unsigned validateDrop(ui::TableView& table, const ui::DraggingInfo&, long row, ui::TableViewDropOperation op) override;
  bool acceptDrop(ui::TableView&, const ui::DraggingInfo& info, long row, ui::TableViewDropOperation) override;

  explicit LocalPresetView(Parts parts);

private:
  void prepareUI();
  void prepareViewModel();
  // Selects `row` (when listed), recolouring the titles of the old and new
  // selected rows.
  void selectRow(long row);
  // The title of `row`, when the row is in view, in `colour`.
  void colourRow(long row, const ui::Color& colour);
  std::filesystem::path folder() const;
  PresetManager::Environment exportEnvironment() const;

  Parts parts_;
  bool built_ = false;
};
