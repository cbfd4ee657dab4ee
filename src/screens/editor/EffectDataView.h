// The module editor: the panel under the module bar that edits the module
// the unit has selected. It shows the module's name, an on/off switch, the
// module's effect types (user IR rows of the CAB module and user NR rows of
// the AMP module carry an add/delete pair) and a grid of knob cells for the
// chosen type. Every choice goes to the unit at once; the panel follows the
// unit whenever the type list's view model has refilled its values after a
// change that was not the echo of this panel's own send, and once the echo
// window has passed after one taken for an echo (see echoWindow).
//
// Made once with create() and kept for the life of the window. Main thread
// only; results of the unit's file transfers are carried to the main queue.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "controls/GGPopView.h"
#include "controls/GGSwitch.h"
#include "controls/ZrTableView.h"
#include "layout/collection/CLCollectionView.h"
#include "layout/collection/CLCollectionViewDataSource.h"
#include "layout/collection/CLCollectionViewGridLayout.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "screens/editor/EffectDataViewModel.h"
#include "screens/editor/EffectViewListCell.h"
#include "screens/editor/GGEffectParmaView.h"
#include "screens/models/EffectViewModel.h"

class EffectDataView : public ui::View,
                       public CLCollectionViewDataSource,
                       public CLCollectionViewGridLayoutDelegate,
                       public ui::TableViewDataSource,
                       public ui::TableViewDelegate {
public:
  struct Parts {
    HIDServiceViewModePtr service;                  // HIDServiceViewMode::shared()
    GGEffectFunManagerPtr manager;                  // GGEffectFunManager::shareManager()
    EffectViewModel::SlotTableLoader loadSlotTable;  // "effects.json"
  };

  // The panel, built and following the unit; its first refresh comes on the
  // main queue.
  static std::shared_ptr<EffectDataView> create(Parts parts = {}, ui::Rect frame = ui::Rect(0, 0, 900, 420));

  explicit EffectDataView(ui::Rect frame, Parts parts);
  std::string className() const override { return "EffectDataView"; }

  static constexpr double kItemWidth = 180, kItemHeight = 150, kRowHeight = 20;
  static constexpr int kAmpModule = 2, kCabModule = 3;

  void layout() override;

  void justAddObverser();
  void needToReload();
  void prepareUI();
  void prepareTypeTableView();

  // Whether `row` of `module`'s list is one of the user slots.
  static bool isUserSlotRow(int module, long row);

  // ---- knob grid
  int64_t numberOfItemsInSection(CLCollectionView& cv, int64_t section) override;
  std::shared_ptr<CLCollectionViewCell> cellForItemAtIndexPath(CLCollectionView& cv, const CLIndexPath& path) override;
  std::optional<int64_t> numberOfSectionsInCollectionView(CLCollectionView&) override { return 1; }
  std::optional<ui::Size> sizeForItemInCollectionView(CLCollectionView&) override {
    return ui::Size{kItemWidth, kItemHeight};
  }

  // ---- type list
  long numberOfRowsInTableView(ui::TableView& table) override;
  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView& table, ui::TableColumn* column, long row) override;
  double heightOfRow(ui::TableView&, long) override { return kRowHeight; }
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView& table, long row) override;
  bool shouldSelectRow(ui::TableView& table, long row) override;
  void tableViewSelectionDidChange(ui::TableView& table) override;
  std::shared_ptr<EffectViewListCell> CreateNoneCellWithTableColumn(ui::TableColumn* column, long row,
                                                                    bool isNeedButton, const std::string& cellId);

  // ---- user slots
  void importIRAtIndex(long row);
  void exportIRAtIndexAndTitle(long row, const std::string& title);
  void deleteCancel();
  void deleteConfirmAndIndex(bool isIR, long row);

  // ---- parts
  const HIDServiceViewModePtr hid;
  // The open delete question's overlay; held weakly, so an overlay never
  // outlives the window that shows it.
  std::weak_ptr<GGPopView> deleteIRView;
  std::shared_ptr<ui::ImageView> backgroundImageView;
  std::shared_ptr<ui::TextField> titleTF;
  std::shared_ptr<ui::TextField> subtitleTF;
  std::shared_ptr<GGSwitch> statusSwitch;
  std::shared_ptr<ui::ImageView> tableBgView;
  std::shared_ptr<ZrScrollView> myScrollView;
  // Selection follows mouse clicks only: the list swallows keys.
  std::shared_ptr<ZrTableView> myTableView;
  std::shared_ptr<CLCollectionView> collectionView;
  std::map<std::string, GGEffectParmaViewPtr>& cellSource() { return cellSource_; }
  std::map<std::string, EffectViewListCellPtr> cellArray;
  EffectViewModelPtr moduleTypeViewModel;
  EffectDataViewModelPtr moduleParamViewModel;
  // How long after a send of this panel the unit's echo of it is expected
  // (on the dispatch clock). Words equal to a send made longer ago are the
  // unit's own (its panel turned back to them) and are shown; words taken for
  // an echo are shown once the window of the last send has passed, when they
  // are not what the panel shows.
  std::chrono::milliseconds echoWindow{1000};

private:
  int selectedModule() const;
  std::weak_ptr<EffectDataView> weakSelf();
  std::shared_ptr<ui::View> popUpContainer();
  void colourRows();
  // Remembers the words this panel has just sent (see needToReload).
  void noteSent();
  // Forgets the sends whose echo window has passed.
  void forgetExpiredSends();
  // True when `words` are the unit's echo of one of this panel's sends made
  // within the echo window; the older sends are then forgotten. Any other
  // words forget them all.
  bool isOwnEcho(const std::vector<int>& words);
  // After words were taken for an echo: once the echo window of the last
  // send has passed, the record is shown if it is not what the panel shows
  // (the unit's panel turned to words this panel had sent).
  void awaitEchoWindow();
  void echoWindowPassed();

  const GGEffectFunManagerPtr manager_;
  const EffectViewModel::SlotTableLoader loadSlotTable_;
  std::map<std::string, GGEffectParmaViewPtr> cellSource_;
  struct SentWords {
    std::vector<int> words;
    std::chrono::steady_clock::time_point at;
  };
  std::deque<SentWords> sentWords_;
  static constexpr size_t kSentWordsKept = 64;
  // The words the panel shows: those of its last refresh or its last send.
  std::vector<int> shownWords_;
  bool echoWindowAwaited_ = false;
};

using EffectDataViewPtr = std::shared_ptr<EffectDataView>;
