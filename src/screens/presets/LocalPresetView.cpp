#include "screens/presets/LocalPresetView.h"

#include "controls/AccentColor.h"
#include "screens/presets/PresetTableViewDataSource.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/FilePanel.h"
#include "platform/ui/Image.h"
#include "platform/ui/Workspace.h"
#include "reactive/RSObservation.h"
#include "reactive/RSSignal.h"

namespace fs = std::filesystem;

namespace {


// A title-bar button showing `image` and its "_hover" and "_press" variants.
std::shared_ptr<SWSTAnswerButton> barButton(ui::View& bar, const std::string& image) {
  auto button = ui::View::create<SWSTAnswerButton>();
  button->images[SWSTAnswerButton::Normal] = ui::Image::imageNamed(image);
  button->images[SWSTAnswerButton::Hover] = ui::Image::imageNamed(image + "_hover");
  button->images[SWSTAnswerButton::Highlight] = ui::Image::imageNamed(image + "_press");
  button->setBordered(false);
  button->setImageScaling(ui::ImageScaling::AxesIndependently);
  button->updateButtonApperaceWithState(SWSTAnswerButton::Normal);
  bar.addSubview(button);
  return button;
}

bool sameFolder(const fs::path& a, const fs::path& b) {
  if (a.lexically_normal() == b.lexically_normal()) return true;
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

}  // namespace

std::shared_ptr<LocalPresetView> LocalPresetView::create(Parts parts) {
  return fnd::make<LocalPresetView>(std::move(parts));
}

LocalPresetView::LocalPresetView(Parts parts) : parts_(std::move(parts)) {
  if (!parts_.service) parts_.service = HIDServiceViewMode::shared();
  if (!parts_.manager) parts_.manager = GGEffectFunManager::shareManager();
  if (!parts_.popUps) parts_.popUps = PopUpService::shared();
}

fs::path LocalPresetView::folder() const { return fs::path(parts_.manager->filePath.get()); }

void LocalPresetView::viewDidMoveToSuperview() {
  ui::View::viewDidMoveToSuperview();
  if (!superview() || built_) return;
  built_ = true;
  prepareUI();
  prepareViewModel();
}

void LocalPresetView::prepareUI() {
  auto self = std::static_pointer_cast<LocalPresetView>(shared_from_this());
  std::weak_ptr<LocalPresetView> weak = self;

  PresetListTitle title = makePresetListTitle(kTitle, 80);
  presetTitleView = title.strip;
  presetTypeTitle = title.label;
  presetTypeTitle->setWantsLayer(true);
  addSubview(presetTitleView);

  freshButton = barButton(*presetTitleView, "fresh");
  freshButton->setAction([weak](ui::Control&) {
    if (auto s = weak.lock()) s->reloadPresetData();
  }, "reloadPresetData:");
  folderButton = barButton(*presetTitleView, "folder");
  folderButton->setAction([weak](ui::Control&) {
    if (auto s = weak.lock()) s->justShowInFinder();
  }, "justShowInFinder:");

  computerScrollView = std::make_shared<ZrScrollView>();
  computerTableView = std::make_shared<ZrTableView>();
  deviceNameColumn = setUpPresetList(*computerScrollView, *computerTableView, kRowHeight, frame().size.width);
  computerTableView->setDelegate(self);
  computerTableView->setDataSource(self);
  std::weak_ptr<ui::TableColumn> column = deviceNameColumn;
  computerTableView->registerViewMaker(kCellIdentifier, [column] {
    const auto c = column.lock();
    return std::make_shared<ZrTableViewCell>(ui::Rect{0, 0, c ? c->width() : 0, kCellHeight});
  });
  computerTableView->registerViewMaker(kRowViewIdentifier, [] { return std::make_shared<ZrTableRowView>(); });
  // A click below the last row keeps the selection.
  computerTableView->setAllowsEmptySelection(false);
  computerScrollView->setDocumentView(computerTableView);
  addSubview(computerScrollView);

  rightClickMenu = std::make_shared<ui::Menu>("devicePresetRightClick");
  auto clicked = [weak](void (LocalPresetView::*action)(long)) {
    return [weak, action](ui::MenuItem&) {
      if (auto s = weak.lock()) (s.get()->*action)(s->computerTableView->clickedRow());
    };
  };
  rightClickMenu->addItemWithTitle("Add", [weak](ui::MenuItem&) {
    if (auto s = weak.lock()) s->rightClickAddPreset();
  });
  rightClickMenu->addItemWithTitle("Delete", clicked(&LocalPresetView::rightClickdelPreset));
  rightClickMenu->addItemWithTitle("Refresh", [weak](ui::MenuItem&) {
    if (auto s = weak.lock()) s->rightClickfreshPreset();
  });
  rightClickMenu->addItemWithTitle("Show in Finder", clicked(&LocalPresetView::rightClickShowPreset));
  computerTableView->setMenu(rightClickMenu);

  resizeSubviewsWithOldSize(frame().size);
}

void LocalPresetView::prepareViewModel() {
  std::weak_ptr<LocalPresetView> weak = std::static_pointer_cast<LocalPresetView>(shared_from_this());
  ComputerPresetViewModel::Parts parts;
  parts.folder = [manager = parts_.manager] { return fs::path(manager->filePath.get()); };
  parts.popUps = parts_.popUps;
  presetVM = ComputerPresetViewModel::create(std::move(parts));
  presetVM->initWithBlock(
      [weak](const fnd::Value&) {
        auto s = weak.lock();
        if (!s) return;
        s->computerTableView->reloadData();
        s->selectRow(0);
      },
      [](const fnd::Value&) {});

  rs_valuesForKeyPath(parts_.manager, "mainColor", this)->subscribeNext([weak](const fnd::Value&) {
    auto s = weak.lock();
    if (!s) return;
    const long selected = s->computerTableView->selectedRow();
    s->computerTableView->reloadData();
    s->selectRow(selected);
  });
  rs_valuesForKeyPath(parts_.manager, "filePath", this)->subscribeNext([weak](const fnd::Value&) {
    if (auto s = weak.lock()) s->rightClickfreshPreset();
  });
}

void LocalPresetView::resizeSubviewsWithOldSize(ui::Size) {
  if (!presetTitleView) return;
  const ui::Size size = frame().size;
  presetTitleView->setFrame({0, 0, size.width, kTitleHeight});
  const ui::Size label = presetTypeTitle->intrinsicContentSize();
  presetTypeTitle->setFrame(
      {(size.width - label.width) / 2, (kTitleHeight - label.height) / 2, label.width, label.height});
  freshButton->setFrame({size.width - kButtonWidth, 0, kButtonWidth, kTitleHeight});
  folderButton->setFrame({size.width - 2 * kButtonWidth, 0, kButtonWidth, kTitleHeight});
  computerScrollView->setFrame({0, kTitleHeight, size.width, std::max(0.0, size.height - kTitleHeight)});
  // The table is as wide as the visible part; its height follows its rows.
  const double width = computerScrollView->contentSize().width;
  computerTableView->setFrameSize({width, computerTableView->frame().size.height});
  deviceNameColumn->setWidth(width);
}

// ---- the folder

void LocalPresetView::reloadPresetData() {
  if (presetVM) presetVM->loadData();
}

void LocalPresetView::rightClickfreshPreset() { reloadPresetData(); }

void LocalPresetView::justShowInFinder() { ui::Workspace::selectFile(folder(), {}); }

void LocalPresetView::rightClickShowPreset(long row) {
  if (!presetVM) return;
  const long count = static_cast<long>(presetVM->presetNameArr.size());
  if (row < 0 || row >= count) row = computerTableView->selectedRow();
  if (row >= 0 && row < count) {
    ui::Workspace::selectFile(presetVM->pathOf(presetVM->presetNameArr[static_cast<size_t>(row)]), {});
    return;
  }
  justShowInFinder();
}

void LocalPresetView::rightClickAddPreset() {
  if (!presetVM) return;
  ui::OpenPanel panel;
  panel.setCanChooseFiles(true);
  panel.setCanChooseDirectories(false);
  panel.setAllowsMultipleSelection(true);
  panel.setAllowedFileTypes({ComputerPresetViewModel::kExtension});
  if (panel.runModal() != ui::ModalResponseOK || panel.URLs().empty()) return;
  const auto& files = panel.URLs();

  if (sameFolder(files.front().parent_path(), folder())) {
    char tip[512];
    std::snprintf(tip, sizeof tip, kAlreadyExists, files.front().stem().c_str());
    parts_.popUps->showFailWithTip(tip, nullptr);
    return;
  }
  bool failed = false;
  for (const auto& file : files) {
    if (!presetVM->addPreset(file)) {
      parts_.popUps->showFailWithTip(file.filename().string() + kAddFailed, nullptr);
      failed = true;
      break;
    }
  }
  if (!failed) parts_.popUps->showSuccessWithTip(kAddSucceeded);
  presetVM->loadData();
}

void LocalPresetView::rightClickdelPreset(long row) {
  // Only the row the menu was opened on; the menu opened below the rows
  // deletes nothing.
  if (!presetVM || row < 0 || static_cast<size_t>(row) >= presetVM->presetNameArr.size()) return;
  presetVM->delData({row});
}

// ---- rows

long LocalPresetView::numberOfRowsInTableView(ui::TableView&) {
  return presetVM ? static_cast<long>(presetVM->presetNameArr.size()) : 0;
}

std::shared_ptr<ui::View> LocalPresetView::viewForTableColumn(ui::TableView& table, ui::TableColumn*, long row) {
  if (!presetVM || row < 0 || static_cast<size_t>(row) >= presetVM->presetNameArr.size()) return nullptr;
  auto cell = std::dynamic_pointer_cast<ZrTableViewCell>(table.makeViewWithIdentifier(kCellIdentifier));
  if (!cell) return nullptr;
  cell->titleLabel()->setStringValue(presetVM->presetNameArr[static_cast<size_t>(row)]);
  cell->titleLabel()->setTextColor(row == table.selectedRow() ? accentColor() : ui::Color::whiteColor());
  return cell;
}

std::shared_ptr<ui::TableRowView> LocalPresetView::rowViewForRow(ui::TableView& table, long) {
  return std::dynamic_pointer_cast<ZrTableRowView>(table.makeViewWithIdentifier(kRowViewIdentifier));
}

void LocalPresetView::colourRow(long row, const ui::Color& colour) {
  if (auto cell = std::dynamic_pointer_cast<ZrTableViewCell>(computerTableView->viewAtColumn(0, row, false)))
    cell->titleLabel()->setTextColor(colour);
}

bool LocalPresetView::shouldSelectRow(ui::TableView& table, long row) {
  if (row < 0) return false;
  colourRow(table.selectedRow(), ui::Color::whiteColor());
  colourRow(row, accentColor());
  return true;
}

void LocalPresetView::selectRow(long row) {
  if (!computerTableView || row < 0 || row >= computerTableView->numberOfRows()) return;
  colourRow(computerTableView->selectedRow(), ui::Color::whiteColor());
  colourRow(row, accentColor());
  computerTableView->selectRowIndexes({row}, false);
}

// ---- drag and drop

bool LocalPresetView::writeRowsWithIndexes(ui::TableView&, const std::set<long>& rows, ui::Pasteboard& pb) {
  return presetVM && writePresetRows(kTableIdentifier, presetVM->presetNameArr, rows, pb);
}

unsigned LocalPresetView::validateDrop(ui::TableView& table, const ui::DraggingInfo&, long row,
                                       ui::TableViewDropOperation op) {
  table.setDropRow(row, op);
  return ui::DragOperationCopy;
}

bool LocalPresetView::acceptDrop(ui::TableView&, const ui::DraggingInfo& info, long row, ui::TableViewDropOperation) {
  // Rows of this list dropped on it are refused, and so is a drag of no rows.
  const std::optional<PresetDrop> drop = readPresetDrop(info, kTableIdentifier, row);
  if (!drop || drop->index.empty()) return false;
  exportPreset(*drop);
  return true;
}

PresetManager::Environment LocalPresetView::exportEnvironment() const {
  PresetManager::Environment env;
  env.service = PresetManager::serviceFor(parts_.service);
  env.defaults = parts_.manager->defaults();
  auto popUps = parts_.popUps;
  env.tips.showWarningWithTip = [popUps](const std::string& tip) { popUps->showWarningWithTip(tip, nullptr); };
  env.tips.showFailWithTip = [popUps](const std::string& tip) { popUps->showFailWithTip(tip, nullptr); };
  return env;
}

void LocalPresetView::exportPreset(const PresetDrop& drop) {
  if (drop.index.empty() || !presetVM) return;
  // Only the first dragged preset goes out; the unit list hands its rows,
  // which are the preset numbers less one.
  const long index = static_cast<long>(std::min<uint64_t>(drop.index.front(), static_cast<uint64_t>(LONG_MAX)));
  std::weak_ptr<LocalPresetView> weak = std::static_pointer_cast<LocalPresetView>(shared_from_this());
  PresetManager::ExportPreset(exportEnvironment(), index, [weak](const std::string& name) {
    auto s = weak.lock();
    if (!s) return;
    s->presetVM->loadData();
    // Behind the listing's own reload, which selects the first row.
    dispatch::Queue::main()->async([weak, name] {
      auto s = weak.lock();
      if (!s) return;
      const auto& names = s->presetVM->presetNameArr;
      const auto it = std::find(names.begin(), names.end(), name);
      if (it == names.end()) return;
      const long row = it - names.begin();
      s->selectRow(row);
      s->computerTableView->scrollRowToVisible(row);
    });
  });
}
