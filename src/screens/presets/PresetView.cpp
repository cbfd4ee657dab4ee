#include "screens/presets/PresetView.h"

#include "controls/AccentColor.h"
#include "screens/presets/PresetTableViewDataSource.h"

#include <cstdio>

#include "controls/GGPopView.h"
#include "device/files/NameChecks.h"
#include "device/records/DeviceConstants.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Window.h"

namespace {

const ui::Color kRenameColor = ui::Color::rgb255(3, 99, 211);

void colourCell(PresetListCell* cell, const ui::Color& c) {
  if (!cell) return;
  cell->numberLabel()->setTextColor(c);
  cell->titleLabel()->setTextColor(c);
}

bool isSlot(long row) { return row >= 0 && row < dev::kPresetCount; }

}  // namespace

struct PresetView::Import {
  std::vector<std::string> names;
  long base = 0;
  size_t next = 0;
};

std::shared_ptr<PresetView> PresetView::create(Parts parts) { return fnd::make<PresetView>(std::move(parts)); }

PresetView::PresetView(Parts parts) : parts_(std::move(parts)) {
  if (!parts_.service) parts_.service = HIDServiceViewMode::shared();
  if (!parts_.manager) parts_.manager = GGEffectFunManager::shareManager();
  if (!parts_.popUps) parts_.popUps = PopUpService::shared();
  if (parts_.emptyPreset.empty()) parts_.emptyPreset = fnd::paths::resourcePath("Empty.pqv");
}

void PresetView::viewDidMoveToSuperview() {
  ui::View::viewDidMoveToSuperview();
  copyItemIndex = -1;
  if (!superview() || built_) return;
  built_ = true;
  prepareUI();
}

void PresetView::prepareUI() {
  auto self = std::static_pointer_cast<PresetView>(shared_from_this());
  std::weak_ptr<PresetView> weak = self;

  PresetListTitle title = makePresetListTitle("DEVICE", 60);
  presetTitleView = title.strip;
  presetTypeTitle = title.label;
  addSubview(presetTitleView);

  deviceScrollView = std::make_shared<ZrScrollView>();
  deviceTableView = std::make_shared<ZrTableView>();
  deviceNameColumn = setUpPresetList(*deviceScrollView, *deviceTableView, kRowHeight, frame().size.width);
  deviceTableView->setDelegate(self);
  deviceTableView->setDataSource(self);
  deviceTableView->setTarget(self);
  deviceTableView->setAction(
      [weak](ui::Control& sender) {
        auto* table = dynamic_cast<ui::TableView*>(&sender);
        if (auto s = weak.lock(); s && table) s->presetSingleClick(table->clickedRow());
      },
      "presetSingleClick:");
  deviceScrollView->setDocumentView(deviceTableView);
  addSubview(deviceScrollView);

  rightClickMenu = std::make_shared<ui::Menu>("devicePresetRightClick");
  auto onRow = [weak](void (PresetView::*action)(long)) {
    return [weak, action](ui::MenuItem&) {
      if (auto s = weak.lock()) (s.get()->*action)(s->deviceTableView->clickedRow());
    };
  };
  rightClickMenu->addItemWithTitle("Copy", onRow(&PresetView::rightClickCopyPreset), "");
  rightClickMenu->addItemWithTitle("Paste", onRow(&PresetView::rightClickPastPreset), "");
  rightClickMenu->addItemWithTitle("Clear", onRow(&PresetView::rightClickCleanPreset), "");
  rightClickMenu->addItemWithTitle("Rename", onRow(&PresetView::rightClickRenamePreset), "");
  rightClickMenu->setDelegate(self);
  rightClickMenu->setAutoenablesItems(false);
  deviceTableView->setMenu(rightClickMenu);

  renamePopover = std::make_shared<ui::Popover>();
  renamePopover->setContentSize({RenameViewController::kWidth, RenameViewController::kHeight});
  renamePopover->setAnimates(true);
  renamePopover->setDelegate(self);
  renamePopover->setBehavior(ui::PopoverBehavior::Transient);

  resizeSubviewsWithOldSize(frame().size);

  PresetViewModel::Parts vmParts;
  vmParts.service = parts_.service;
  vmParts.popUps = parts_.popUps;
  vmParts.nameLoadDelay = parts_.nameLoadDelay;
  presetVM = PresetViewModel::create(vmParts);
  presetVM->initWithBlock(
      [weak](const fnd::Value&) {
        auto s = weak.lock();
        if (!s) return;
        s->deviceTableView->reloadData();
        s->justTableview(s->presetVM->selectedIndex());
      },
      [weak](const fnd::Value&) {
        if (auto s = weak.lock()) s->justTableview(s->presetVM->selectedIndex());
      });
  presetVM->loadData();
}

void PresetView::resizeSubviewsWithOldSize(ui::Size) {
  if (!presetTitleView) return;
  const ui::Size size = frame().size;
  presetTitleView->setFrame({0, 0, size.width, kTitleHeight});
  const ui::Size label = presetTypeTitle->intrinsicContentSize();
  presetTypeTitle->setFrame(
      {(size.width - label.width) / 2, (kTitleHeight - label.height) / 2, label.width, label.height});
  deviceScrollView->setFrame({0, kTitleHeight, size.width, std::max(0.0, size.height - kTitleHeight)});
  // The table is as wide as the visible part; its height follows its rows.
  const double width = deviceScrollView->contentSize().width;
  deviceTableView->setFrameSize({width, deviceTableView->frame().size.height});
  deviceNameColumn->setWidth(width);
}

// ---- rows

long PresetView::numberOfRowsInTableView(ui::TableView&) {
  return presetVM ? static_cast<long>(presetVM->presetNameArr.size()) : 0;
}

std::shared_ptr<ui::View> PresetView::viewForTableColumn(ui::TableView&, ui::TableColumn*, long row) {
  if (!presetVM || row < 0 || static_cast<size_t>(row) >= presetVM->presetNameArr.size()) return nullptr;
  auto& cell = cellViewSourse[row];
  if (!cell) cell = std::make_shared<PresetListCell>();
  cell->titleLabel()->setStringValue(presetVM->presetNameArr[static_cast<size_t>(row)]);
  if (static_cast<size_t>(row) < presetVM->presetNumArr.size())
    cell->numberLabel()->setStringValue(presetVM->presetNumArr[static_cast<size_t>(row)]);
  colourCell(cell.get(), row == presetVM->selectedIndex() ? accentColor() : ui::Color::whiteColor());
  return cell;
}

std::shared_ptr<ui::TableRowView> PresetView::rowViewForRow(ui::TableView&, long row) {
  auto& rv = rowViewSourse[row];
  if (!rv) rv = std::make_shared<ZrTableRowView>();
  return rv;
}

bool PresetView::shouldSelectRow(ui::TableView&, long row) {
  if (row < 0) return false;
  const std::optional<int> current = parts_.service->presetAllData()->selectedPreset.get();
  return current && row == *current - 1;
}

void PresetView::justTableview(long row) {
  fnd::logLine("preset list: mark row " + std::to_string(row));
  if (!deviceTableView) return;
  const long old = deviceTableView->selectedRow();
  if (auto it = cellViewSourse.find(old); it != cellViewSourse.end()) colourCell(it->second.get(), ui::Color::whiteColor());
  if (row < 0 || row >= deviceTableView->numberOfRows()) return;
  if (auto it = cellViewSourse.find(row); it != cellViewSourse.end()) colourCell(it->second.get(), accentColor());
  deviceTableView->selectRowIndexes({row}, false);
  deviceTableView->scrollRowToVisible(row);
}

// ---- a click

ui::View* PresetView::overlayContainer() {
  if (ui::Window* w = window(); w && w->contentView()) return w->contentView().get();
  return this;
}

void PresetView::closeOverlay() { GGPopView::hideViewInView(overlayContainer()); }

void PresetView::presetSingleClick(long row) {
  if (!isSlot(row) || !presetVM) return;
  if (parts_.service->didChangeData.get() != 1) {
    presetVM->sendChangePreset(static_cast<int>(row) + 1);
    return;
  }
  if (alertView && alertView->superview()) return;  // the prompt is showing
  std::weak_ptr<PresetView> weak = std::static_pointer_cast<PresetView>(shared_from_this());
  alertView = SettingResetView::initWithTitle(
      "The current preset data has been modified,  would you like to save it?", {"NO", "SAVE"},
      [weak, row](GGCoustomButton& button) {
        auto s = weak.lock();
        if (!s) return;
        const std::string& title = button.defaultTitle();
        if (title == "SAVE") {
          const auto current = s->parts_.service->presetAllData();
          const std::string name = current->presetName.get();
          s->parts_.service->sendSave(current->selectedPreset.get().value_or(0), name, 1);
          // A refused name wrote nothing: the edits stay, and so does the preset.
          if (checkPresetName(name)) {
            s->parts_.service->setDidChangeData(0);
            s->presetVM->sendChangePreset(static_cast<int>(row) + 1);
          }
          s->closeOverlay();
        } else if (title == "NO") {
          s->presetVM->sendChangePreset(static_cast<int>(row) + 1);
          s->parts_.service->setDidChangeData(0);
          s->closeOverlay();
        }
      });
  auto container = overlayContainer()->sharedFromThis();
  if (auto pop = GGPopView::ShowCoustomView(alertView, std::static_pointer_cast<ui::View>(container)))
    pop->setDontTouchDissmiss(true);
}

// ---- the context menu

void PresetView::menuWillOpen(ui::Menu& menu) {
  if (menu.numberOfItems() < 4) return;
  menu.itemAtIndex(0)->setEnabled(true);
  auto paste = menu.itemAtIndex(1);
  if (isSlot(copyItemIndex)) {
    char title[32];
    std::snprintf(title, sizeof title, "Paste [P%03ld]", copyItemIndex + 1);
    paste->setTitle(title);
    paste->setEnabled(true);
  } else {
    paste->setEnabled(false);
  }
  menu.itemAtIndex(2)->setEnabled(true);
  menu.itemAtIndex(3)->setEnabled(true);
}

void PresetView::menuDidClose(ui::Menu&) {
  const long row = deviceTableView->selectedRow();
  deviceTableView->reloadData();
  if (row >= 0 && row < deviceTableView->numberOfRows()) deviceTableView->selectRowIndexes({row}, false);
}

void PresetView::rightClickCopyPreset(long row) {
  if (isSlot(row)) copyItemIndex = row;
}

void PresetView::rightClickPastPreset(long row) {
  if (isSlot(row) && isSlot(copyItemIndex)) presetVM->PastPresetWithCopy(copyItemIndex, row);
}

PresetManager::Environment PresetView::importEnvironment() const {
  PresetManager::Environment env;
  env.service = PresetManager::serviceFor(parts_.service);
  auto popUps = parts_.popUps;
  env.tips.showWarningWithTip = [popUps](const std::string& tip) { popUps->showWarningWithTip(tip, nullptr); };
  env.tips.showFailWithTip = [popUps](const std::string& tip) { popUps->showFailWithTip(tip, nullptr); };
  return env;
}

void PresetView::rightClickCleanPreset(long row) {
  if (!isSlot(row)) return;
  std::weak_ptr<PresetView> weak = std::static_pointer_cast<PresetView>(shared_from_this());
  auto popUps = parts_.popUps;
  PresetManager::ImportPreset(importEnvironment(), parts_.emptyPreset.string(), row, [weak, popUps](long result) {
    dispatch::Queue::main()->async([weak, popUps, result] {
      if (result == 1) {
        popUps->showSuccessWithTip("Clear preset successful!");
        if (auto s = weak.lock()) s->presetVM->loadData();
      } else {
        popUps->showFailWithTip("Clear preset failed.", nullptr);
      }
    });
  });
}

// ---- rename

void PresetView::rightClickRenamePreset(long row) {
  if (!isSlot(row) || row >= deviceTableView->numberOfRows()) return;
  std::weak_ptr<PresetView> weak = std::static_pointer_cast<PresetView>(shared_from_this());
  renameVC = RenameViewController::create(parts_.service);
  renameVC->okCallBack = [weak] {
    if (auto s = weak.lock()) s->renamePopover->close();
  };
  renamePopover->setContentViewController(renameVC);
  auto rowView = rowViewSourse.count(row) ? rowViewSourse[row] : nullptr;
  const ui::Rect at = rowView ? rowView->frame() : deviceTableView->rectOfRow(row);
  renamePopover->showRelativeToRect(at, *deviceTableView, ui::RectEdge::MaxX);
  if (!renamePopover->isShown()) return;  // the list left its window, or the popover closed as it opened
  renameIndex = row;
  renameVC->clickRow = row;
  if (auto w = renameVC->editTF->window()) w->makeFirstResponder(renameVC->editTF.get());
  if (rowView) {
    rowView->isActionSelect = 1;
    rowView->setBackgroundColor(kRenameColor);
  }
}

void PresetView::popoverWillClose(ui::Popover&) {
  auto it = rowViewSourse.find(renameIndex);
  if (it == rowViewSourse.end()) return;
  it->second->layer().setBorderWidth(0);
  std::weak_ptr<ZrTableRowView> weak = it->second;
  dispatch::Queue::main()->async([weak] {
    if (auto rv = weak.lock()) {
      rv->isActionSelect = 0;
      rv->setBackgroundColor(ui::Color::clearColor());
    }
  });
}

// ---- drag and drop

bool PresetView::writeRowsWithIndexes(ui::TableView&, const std::set<long>& rows, ui::Pasteboard& pb) {
  return presetVM && writePresetRows(kTableIdentifier, presetVM->presetNameArr, rows, pb);
}

unsigned PresetView::validateDrop(ui::TableView& table, const ui::DraggingInfo&, long row,
                                  ui::TableViewDropOperation op) {
  table.setDropRow(row, op);
  return ui::DragOperationCopy;
}

bool PresetView::acceptDrop(ui::TableView&, const ui::DraggingInfo& info, long row, ui::TableViewDropOperation) {
  // Rows of this list dropped on it are refused.
  const std::optional<PresetDrop> drop = readPresetDrop(info, kTableIdentifier, row);
  if (!drop) return false;
  receiveDropPreset(*drop);
  return true;
}

void PresetView::receiveDropPreset(const PresetDrop& drop) {
  std::weak_ptr<PresetView> weak = std::static_pointer_cast<PresetView>(shared_from_this());
  importAlert = SettingResetView::initWithTitle("Whether to import preset data?", {"NO", "YES"},
                                                [weak, drop](GGCoustomButton& button) {
                                                  auto s = weak.lock();
                                                  if (!s) return;
                                                  const std::string& title = button.defaultTitle();
                                                  if (title != "NO" && title != "YES") return;
                                                  s->closeOverlay();
                                                  if (title == "NO") return;
                                                  auto import = std::make_shared<Import>();
                                                  import->names = drop.presetName;
                                                  import->base = drop.revicedIndex;
                                                  s->importNext(import);
                                                });
  auto container = overlayContainer()->sharedFromThis();
  GGPopView::ShowCoustomView(importAlert, std::static_pointer_cast<ui::View>(container));
}

void PresetView::importNext(std::shared_ptr<Import> import) {
  if (import->next >= import->names.size()) {
    if (!import->names.empty()) parts_.popUps->showSuccessWithTip("Preset import successful!");
    presetVM->loadData();
    return;
  }
  const long slot = import->base + static_cast<long>(import->next);
  // A slot past the unit's last preset ends the import like a refused file.
  if (import->base < 0 || !isSlot(slot)) {
    presetVM->loadData();
    return;
  }
  const std::string name = import->names[import->next];
  const std::string path = parts_.manager->filePath.get() + "/" + name + ".pqv";
  std::weak_ptr<PresetView> weak = std::static_pointer_cast<PresetView>(shared_from_this());
  auto popUps = parts_.popUps;
  // The service calls the block once: 1 when the unit confirmed the write,
  // kPresetWriteLost when it did not in time (a file it cannot read is
  // refused before anything is sent).
  const bool taken = PresetManager::ImportPreset(importEnvironment(), path, slot, [weak, popUps, import](long r) {
    dispatch::Queue::main()->async([weak, popUps, import, r] {
      if (r != 1) {
        popUps->showWarningWithTip("Preset failed,Please try again.", nullptr);
        return;
      }
      ++import->next;
      if (auto s = weak.lock()) s->importNext(import);
    });
  });
  if (!taken) presetVM->loadData();
}
