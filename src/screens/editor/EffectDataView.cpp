#include "screens/editor/EffectDataView.h"

#include <algorithm>
#include <cstdio>

#include "controls/AccentColor.h"
#include "layout/LCConstraintMaker.h"
#include "layout/LCViewAdditions.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Parts.h"
#include "platform/ui/Color.h"
#include "platform/ui/Event.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/Font.h"
#include "controls/SettingResetView.h"
#include "platform/ui/Image.h"
#include "platform/ui/Window.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

namespace {

std::string format(const char* pattern, long value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::shared_ptr<ui::TextField> plainLabel(const std::string& text, double fontSize) {
  auto label = ui::View::create<ui::TextField>();
  label->setTextColor(ui::Color::whiteColor());
  label->setDrawsBackground(false);
  label->setBordered(false);
  label->setBezeled(false);
  label->setEditable(false);
  label->setSelectable(false);
  label->setFont(ui::Font::systemFontOfSize(fontSize));
  label->setStringValue(text);
  return label;
}

}  // namespace

std::shared_ptr<EffectDataView> EffectDataView::create(Parts parts, ui::Rect frame) {
  auto view = ui::View::create<EffectDataView>(frame, std::move(parts));
  view->prepareUI();
  view->justAddObverser();
  return view;
}

EffectDataView::EffectDataView(ui::Rect frame, Parts parts)
    : ui::View(frame),
      hid(fnd::partOr(std::move(parts.service), HIDServiceViewMode::shared)),
      manager_(fnd::partOr(std::move(parts.manager), GGEffectFunManager::shareManager)),
      loadSlotTable_(std::move(parts.loadSlotTable)) {}

std::weak_ptr<EffectDataView> EffectDataView::weakSelf() {
  return std::static_pointer_cast<EffectDataView>(sharedFromThis());
}

int EffectDataView::selectedModule() const { return hid->presetAllData()->selectedModule.get().value_or(0); }

bool EffectDataView::isUserSlotRow(int module, long row) {
  const auto slotRow = [row](long first) { return row >= first && row < first + EffectCatalogue::kUserSlotCount; };
  if (module == kAmpModule) return slotRow(EffectCatalogue::kFirstNRType);
  if (module == kCabModule) return slotRow(EffectCatalogue::kFirstIRType);
  return false;
}

// ---- construction

void EffectDataView::prepareUI() {
  auto self = sharedFromThis();
  backgroundImageView = ui::View::create<ui::ImageView>();
  backgroundImageView->setImage(ui::Image::imageNamed("paramBg"));
  backgroundImageView->setImageScaling(ui::ImageScaling::AxesIndependently);
  addSubview(backgroundImageView);
  lc_makeConstraints(*backgroundImageView, [&](LCConstraintMaker& make) { make.edges().equalTo(self); });

  titleTF = plainLabel("FX/COMP", 15);
  addSubview(titleTF);
  lc_makeConstraints(*titleTF, [&](LCConstraintMaker& make) {
    make.top().equalTo(self).offset(25);
    make.left().equalTo(self).offset(20);
    make.height().equalTo(18);
    make.width().equalTo(100);
  });

  tableBgView = ui::View::create<ui::ImageView>();
  tableBgView->setImage(ui::Image::imageNamed("paraTypeBg"));
  tableBgView->setImageScaling(ui::ImageScaling::AxesIndependently);
  addSubview(tableBgView);
  lc_makeConstraints(*tableBgView, [&](LCConstraintMaker& make) {
    make.top().equalTo(lc_bottom(titleTF)).offset(15);
    make.left().equalTo(lc_left(titleTF));
    make.width().equalTo(200);
    make.bottom().equalTo(self).offset(-40);
  });

  statusSwitch = ui::View::create<GGSwitch>();
  std::weak_ptr<EffectDataView> weak = weakSelf();
  statusSwitch->ChangeSwitchStatus = [weak](bool on) {
    if (auto panel = weak.lock(); panel && panel->moduleTypeViewModel)
    {
      panel->moduleTypeViewModel->sendToHidEffectOpenOrClose(on);
      panel->noteSent();
    }
  };
  addSubview(statusSwitch);
  prepareTypeTableView();
  lc_makeConstraints(*statusSwitch, [&](LCConstraintMaker& make) {
    make.centerY().equalTo(lc_centerY(titleTF)).offset(5);
    make.right().equalTo(lc_right(tableBgView)).offset(10);
    make.height().equalTo(24);
    make.width().equalTo(56);
  });

  subtitleTF = plainLabel("Subtitle", 16);
  subtitleTF->setAlignment(ui::TextAlignment::Center);
  addSubview(subtitleTF);
  lc_makeConstraints(*subtitleTF, [&](LCConstraintMaker& make) {
    make.top().equalTo(self).offset(35);
    make.centerX().equalTo(self).offset(100);
    make.height().equalTo(18);
    make.width().equalTo(200);
  });

  auto grid = std::make_shared<CLCollectionViewGridLayout>();
  grid->setDelegate(std::static_pointer_cast<EffectDataView>(self));
  grid->setVerticalSpacing(0);
  grid->setItemPaddingEnabled(false);
  collectionView = ui::View::create<CLCollectionView>();
  collectionView->setBackgroundColor(ui::Color::clearColor());
  collectionView->setDrawsBackground(false);
  collectionView->setAutohidesScrollers(true);
  addSubview(collectionView);
  // The grid ends at the panel's right and bottom edges: the panel clips what
  // lies beyond them, and the grid's scroller (on its right edge) and the end
  // of its last row would be out of sight there.
  lc_makeConstraints(*collectionView, [&](LCConstraintMaker& make) {
    make.right().equalTo(self);
    make.bottom().equalTo(self);
    make.left().equalTo(lc_right(tableBgView)).offset(5);
    make.top().equalTo(self).offset(70);
  });
  collectionView->setCollectionViewLayout(grid);
  collectionView->setDataSource(std::static_pointer_cast<EffectDataView>(self));
  collectionView->setAnimatesSelection(false);
  collectionView->reloadData();
}

void EffectDataView::prepareTypeTableView() {
  myScrollView = ui::View::create<ZrScrollView>();
  myScrollView->setWantsLayer(true);
  myScrollView->layer().setBackgroundColor(ui::Color::blackColor());
  myScrollView->setHasVerticalScroller(true);
  myScrollView->setAutohidesScrollers(true);
  myScrollView->setDrawsBackground(false);
  myScrollView->setSsBgColor(ui::Color::clearColor());
  tableBgView->addSubview(myScrollView);

  myTableView = ui::View::create<ZrTableView>();
  auto self = std::static_pointer_cast<EffectDataView>(sharedFromThis());
  myTableView->setDelegate(self);
  myTableView->setDataSource(self);
  myTableView->setBackgroundColor(ui::Color::clearColor());
  myTableView->setFocusRingType(1);
  auto column = std::make_shared<ui::TableColumn>("presetNum");
  column->setTitle("Title");
  column->setWidth(183);
  myTableView->addTableColumn(column);
  myTableView->setRowHeight(kRowHeight);
  myTableView->registerViewMaker("rowView", [] { return ui::View::create<ZrTableRowView>(); });
  myScrollView->setDocumentView(myTableView);
  lc_makeConstraints(*myScrollView, [&](LCConstraintMaker& make) {
    make.edges().equalTo(tableBgView).insets({8, 8, 8, 4});
  });
}

void EffectDataView::justAddObverser() {
  moduleTypeViewModel = EffectViewModel::create({hid, manager_, loadSlotTable_});
  std::weak_ptr<EffectDataView> weak = weakSelf();
  moduleTypeViewModel->initWithBlock(
      [weak](const fnd::Value&) {
        auto panel = weak.lock();
        if (!panel) return;
        // The view model recognises the echo of the last send only; while a
        // knob turns, the echoes of the earlier sends come back after it.
        if (panel->isOwnEcho(panel->hid->presetDataModel()->dataArr.get())) {
          panel->awaitEchoWindow();
          return;
        }
        panel->needToReload();
      },
      [](const fnd::Value&) {});
  // An editor made after the unit's state is known (the main screen is built
  // at the end of the start-up read) shows it at once, not only at the next
  // change.
  moduleTypeViewModel->refreshData();
  moduleParamViewModel = std::make_shared<EffectDataViewModel>(EffectDataViewModel::Parts{hid, manager_});
  rs_valuesForKeyPath(manager_, "currentEffectDataModel", this)->subscribeNext([weak](const fnd::Value& value) {
    auto model = value.asObject<GGFuncEffectModel>();
    auto panel = weak.lock();
    if (!model || !panel) return;
    panel->moduleParamViewModel->curModel = model;
    panel->subtitleTF->setStringValue(model->nickName);
    panel->collectionView->reloadData();
  });
}

void EffectDataView::layout() {
  ui::View::layout();
  // The list is as wide as its scroll view shows; its height follows its rows.
  if (myScrollView && myTableView) {
    const double width = myScrollView->contentSize().width;
    if (width != myTableView->frame().size.width) myTableView->setFrameSize({width, myTableView->frame().size.height});
  }
}

// ---- refresh

void EffectDataView::needToReload() {
  const int module = selectedModule();
  const auto& models = moduleTypeViewModel->models();
  // The records are on another module than the type list (the unit's page
  // reaches the records on its thread and the list on the main queue, and a
  // late page change can name a module the records have left): the type word
  // is not of this list. The list is rebuilt for the records' module, and
  // the refill that follows refreshes the panel again.
  if (!models.empty() && models.front()->effectName != EffectViewModel::moduleName(module)) {
    moduleTypeViewModel->refreshViewData();
    return;
  }
  // Copied into the list's own storage: no allocation once it has grown.
  hid->presetDataModel()->dataArr.read([this](const std::vector<int>& words) { shownWords_ = words; });
  titleTF->setStringValue(EffectViewModel::moduleName(module));
  statusSwitch->setIsOn(manager_->currentEffectIsOpen());
  const int64_t index = manager_->currentEffectTypeIndex();
  if (index < 0 || index >= static_cast<int64_t>(models.size())) {
    // A type the module does not list: the unit is asked for the first
    // module's page.
    hid->sendChangePage(dev::kFirstModulePage);
    return;
  }
  const GGFuncEffectModelPtr model = models[static_cast<size_t>(index)];
  const GGFuncEffectModelPtr shown = manager_->currentEffectDataModel.get();
  const bool sameKind = shown && shown->effectName == model->effectName && model->effectName != "CAB" &&
                        model->effectName != "AMP";
  if (!sameKind) myTableView->reloadData();
  manager_->setCurrentEffectDataModel(model);
  // Another module shows from its first knob row: an offset kept from the
  // last one would hide the knobs above it.
  if (!shown || shown->effectName != model->effectName) collectionView->scrollToBeginningOfDocument();
  if (index != myTableView->selectedRow()) {
    myTableView->reloadData();
    // The AMP list leaves its last types out: a type not listed is not
    // selected, and no other row stays lit in its place.
    if (index < myTableView->numberOfRows()) {
      myTableView->selectRowIndexes({static_cast<long>(index)}, false);
      myTableView->scrollRowToVisible(static_cast<long>(index));
    } else {
      myTableView->deselectAll();
    }
  }
  colourRows();
  if (auto open = deleteIRView.lock()) open->removeFromSuperview();
  deleteIRView.reset();
}

void EffectDataView::noteSent() {
  const auto now = dispatch::now();
  const bool noted = manager_->tempDataArray.read([this, now](const std::optional<std::vector<int>>& sent) {
    if (!sent) return false;
    sentWords_.push_back({*sent, now});
    shownWords_ = *sent;
    return true;
  });
  if (!noted) return;
  while (sentWords_.size() > kSentWordsKept) sentWords_.pop_front();
}

void EffectDataView::forgetExpiredSends() {
  // A unit that echoes has echoed these by now; one that does not never
  // will, and words equal to them come from its panel.
  const auto expired = dispatch::now() - echoWindow;
  while (!sentWords_.empty() && sentWords_.front().at <= expired) sentWords_.pop_front();
}

bool EffectDataView::isOwnEcho(const std::vector<int>& words) {
  forgetExpiredSends();
  const auto found = std::find_if(sentWords_.rbegin(), sentWords_.rend(),
                                  [&words](const SentWords& sent) { return sent.words == words; });
  if (found == sentWords_.rend()) {
    sentWords_.clear();
    return false;
  }
  // Keep the matched send: its own echo may still be on its way.
  sentWords_.erase(sentWords_.begin(), found.base() - 1);
  return true;
}

void EffectDataView::awaitEchoWindow() {
  if (echoWindowAwaited_ || sentWords_.empty()) return;
  echoWindowAwaited_ = true;
  std::weak_ptr<EffectDataView> weak = weakSelf();
  dispatch::Queue::main()->after(sentWords_.back().at + echoWindow - dispatch::now(), [weak] {
    if (auto panel = weak.lock()) panel->echoWindowPassed();
  });
}

void EffectDataView::echoWindowPassed() {
  echoWindowAwaited_ = false;
  forgetExpiredSends();
  // Sent again since: the echoes of those may still come.
  if (!sentWords_.empty()) {
    awaitEchoWindow();
    return;
  }
  const bool shown =
      hid->presetDataModel()->dataArr.read([this](const std::vector<int>& words) { return words == shownWords_; });
  if (!shown) needToReload();
}

// ---- knob grid

int64_t EffectDataView::numberOfItemsInSection(CLCollectionView&, int64_t) {
  const auto& model = moduleParamViewModel ? moduleParamViewModel->curModel : nullptr;
  if (!model) return 0;
  // A user IR counts one knob, never more than it has.
  return std::clamp<int64_t>(model->effectItemCount(), 0, static_cast<int64_t>(model->effects().size()));
}

std::shared_ptr<CLCollectionViewCell> EffectDataView::cellForItemAtIndexPath(CLCollectionView&,
                                                                             const CLIndexPath& path) {
  const long item = static_cast<long>(path.item);
  const std::string key = format("Cicular_%ld", item);
  GGEffectParmaViewPtr& cell = cellSource_[key];
  if (!cell) cell = GGEffectParmaView::createView();
  if (!cell) return nullptr;
  const GGFuncEffectModelPtr& model = moduleParamViewModel->curModel;
  if (model && item >= 0 && item < static_cast<long>(model->effects().size())) {
    const GGEffectItemModelPtr& parameter = model->effects()[static_cast<size_t>(item)];
    parameter->modelCell = cell;
    cell->setItemModel(parameter);
  }
  std::weak_ptr<EffectDataView> weak = weakSelf();
  cell->GoSendData = [weak] {
    if (auto panel = weak.lock()) {
      panel->moduleParamViewModel->sendData();
      panel->noteSent();
    }
  };
  return cell;
}

// ---- type list

long EffectDataView::numberOfRowsInTableView(ui::TableView&) {
  const auto count = static_cast<long>(moduleTypeViewModel ? moduleTypeViewModel->models().size() : 0);
  if (selectedModule() == kAmpModule && count >= 11) return count - 10;
  return count;
}

std::shared_ptr<EffectViewListCell> EffectDataView::CreateNoneCellWithTableColumn(ui::TableColumn*, long row,
                                                                                  bool isNeedButton,
                                                                                  const std::string& cellId) {
  auto cell = EffectViewListCell::createCellIsNeedButton(isNeedButton);
  cell->indexTag = row;
  cell->identifier = cellId;
  if (!isNeedButton) cellArray[cellId] = cell;
  return cell;
}

std::shared_ptr<ui::View> EffectDataView::viewForTableColumn(ui::TableView& table, ui::TableColumn* column,
                                                             long row) {
  const int module = selectedModule();
  std::shared_ptr<EffectViewListCell> cell;
  if (isUserSlotRow(module, row)) {
    const std::string cellId = format("s_cellId_%ld", row);
    cell = std::dynamic_pointer_cast<EffectViewListCell>(table.makeViewWithIdentifier(cellId));
    if (!cell) cell = CreateNoneCellWithTableColumn(column, row, true, cellId);
    cell->opButton->index = row;
  } else {
    const std::string cellId = format("cellId_%ld", row);
    auto found = cellArray.find(cellId);
    cell = found != cellArray.end() ? found->second : CreateNoneCellWithTableColumn(column, row, false, cellId);
  }
  const auto& models = moduleTypeViewModel->models();
  if (row >= 0 && row < static_cast<long>(models.size())) {
    const std::string name = models[static_cast<size_t>(row)]->nickName;
    cell->title->setStringValue(name);
    if (cell->isNeedButton) {
      std::weak_ptr<EffectDataView> weak = weakSelf();
      cell->opButton->AddActionBlock = [weak](EffectInsertButton& button) {
        if (auto panel = weak.lock()) panel->importIRAtIndex(static_cast<long>(button.index));
      };
      cell->opButton->DeleteActionBlock = [weak, name](EffectInsertButton& button) {
        if (auto panel = weak.lock()) panel->exportIRAtIndexAndTitle(static_cast<long>(button.index), name);
      };
    }
    cell->title->setTextColor(row == table.selectedRow() ? accentColor() : ui::Color::whiteColor());
  }
  return cell;
}

std::shared_ptr<ui::TableRowView> EffectDataView::rowViewForRow(ui::TableView& table, long) {
  if (auto reused = std::dynamic_pointer_cast<ui::TableRowView>(table.makeViewWithIdentifier("rowView"))) return reused;
  return ui::View::create<ZrTableRowView>();
}

bool EffectDataView::shouldSelectRow(ui::TableView& table, long row) {
  const auto& models = moduleTypeViewModel->models();
  if (row < 0 || row >= static_cast<long>(models.size())) return true;
  manager_->setCurrentEffectTypeIndex(row);
  manager_->setCurrentEffectDataModel(models[static_cast<size_t>(row)]);
  moduleTypeViewModel->sendToHid(row);
  noteSent();
  table.reloadData();
  return true;
}

void EffectDataView::tableViewSelectionDidChange(ui::TableView&) { colourRows(); }

void EffectDataView::colourRows() {
  // Rows out of view have no cells; they are coloured when they come in.
  const long selected = myTableView->selectedRow();
  const auto [first, last] = myTableView->rowsWithViews();
  for (long row = first; row <= last; ++row) {
    if (auto cell = std::dynamic_pointer_cast<EffectViewListCell>(myTableView->viewAtColumn(0, row, false)))
      cell->title->setTextColor(row == selected ? accentColor() : ui::Color::whiteColor());
  }
}

// ---- user slots

std::shared_ptr<ui::View> EffectDataView::popUpContainer() {
  if (ui::Window* w = window())
    if (auto content = w->contentView()) return content;
  return sharedFromThis();
}

void EffectDataView::importIRAtIndex(long row) {
  const int module = selectedModule();
  if (!isUserSlotRow(module, row)) return;
  const bool nr = module == kAmpModule;
  ui::OpenPanel panel;
  panel.setCanChooseFiles(true);
  panel.setCanChooseDirectories(false);
  panel.setAllowsMultipleSelection(false);
  panel.setAllowedFileTypes({nr ? "amp" : "wav"});
  if (panel.runModal() != ui::ModalResponseOK || panel.URL().empty()) return;
  std::weak_ptr<EffectDataView> weak = weakSelf();
  const auto kind = nr ? dev::TransferKind::ImportNR : dev::TransferKind::ImportIR;
  hid->sendFileToDevice(kind, panel.URL().string(), static_cast<int>(row), [weak, nr](long result) {
    dispatch::Queue::main()->async([weak, nr, result] {
      auto panel = weak.lock();
      if (!panel) return;
      const auto where = panel->popUpContainer();
      if (result == 1) {
        GGPopView::showSuccessWithTip(nr ? "Import Success"
                                         : "IR import successful!\n Your custom IR is now available on the selected "
                                           "Cab SIM slot.",
                                      where);
      } else if (result == 1001) {
        GGPopView::showWarningWithTip(
            nr ? "NR文件名称不规范" : "Wrong file name format! Please check compatibility of file name.", where);
      } else if (result == 1002) {
        GGPopView::showWarningWithTip(nr ? "NR文件错误"
                                         : "IR import failed!\nPlease exit the software and restart to try "
                                           "again.\nIf problem recurs,please check compatibility of IR file.",
                                      where);
      } else {
        return;
      }
      panel->moduleTypeViewModel->refreshViewData();
    });
  });
}

void EffectDataView::exportIRAtIndexAndTitle(long row, const std::string& title) {
  const int module = selectedModule();
  if (!isUserSlotRow(module, row)) return;
  const bool isIR = module == kCabModule;
  std::weak_ptr<EffectDataView> weak = weakSelf();
  auto panel = SettingResetView::initWithTitle("Delete IR: " + title + " ?", {"NO", "YES"},
                                               [weak, isIR, row](GGCoustomButton& button) {
                                                 auto self = weak.lock();
                                                 if (!self) return;
                                                 if (button.defaultTitle() == "NO") self->deleteCancel();
                                                 if (button.defaultTitle() == "YES") self->deleteConfirmAndIndex(isIR, row);
                                               });
  deleteIRView = GGPopView::ShowCoustomView(panel, popUpContainer());
}

void EffectDataView::deleteCancel() {
  GGPopView::hideViewInView(popUpContainer().get());
  deleteIRView.reset();
}

void EffectDataView::deleteConfirmAndIndex(bool isIR, long row) {
  deleteCancel();
  std::weak_ptr<EffectDataView> weak = weakSelf();
  const auto kind = isIR ? dev::TransferKind::ClearIR : dev::TransferKind::ClearNR;
  hid->sendFileToDevice(kind, "", static_cast<int>(row), [weak](long) {
    dispatch::Queue::main()->async([weak] {
      if (auto panel = weak.lock()) panel->moduleTypeViewModel->refreshViewData();
    });
  });
}
