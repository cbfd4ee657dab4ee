#include "screens/presets/PresetTableViewDataSource.h"

#include "controls/AccentColor.h"
#include "platform/foundation/Log.h"

std::shared_ptr<PresetTableViewDataSource> PresetTableViewDataSource::create(Parts parts) {
  auto ds = fnd::make<PresetTableViewDataSource>(parts.tableIdentifier);
  std::weak_ptr<PresetTableViewDataSource> weak = ds;
  if (parts.table) {
    parts.table->setTarget(ds);
    parts.table->setAction(
        [weak](ui::Control& sender) {
          auto self = weak.lock();
          auto* table = dynamic_cast<ui::TableView*>(&sender);
          if (self && table) self->presetSingleClick(*table);
        },
        "presetSingleClick:");
  }
  ds->cellType = parts.cellType;
  ds->selectBlock = std::move(parts.selectBlock);
  ds->revicedCell = std::move(parts.dragCell);
  ds->cellIdentifierArr = std::move(parts.identifiers);
  if (parts.dragTypes) {
    ds->isDragID = parts.dragTypes;
    if (parts.table) parts.table->registerForDraggedTypes(*parts.dragTypes);
  }
  ds->selectColor = accentColor();
  ds->enterColor = parts.enterColor;
  return ds;
}

void PresetTableViewDataSource::presetSingleClick(ui::TableView& table) {
  const long row = table.clickedRow();
  if (row < 0) return;
  const auto& selected = table.selectedRowIndexes();
  if (selected.size() == 1) {
    bool stop = true;
    if (selectBlock) selectBlock(row, &stop);
    return;
  }
  for (long r : selected) fnd::logLine("preset table: row " + std::to_string(r) + " selected");
}

long PresetTableViewDataSource::numberOfRowsInTableView(ui::TableView&) {
  if (dataDic.empty()) return 0;
  return static_cast<long>(dataDic.begin()->second.size());
}

std::shared_ptr<ui::View> PresetTableViewDataSource::viewForTableColumn(ui::TableView& table, ui::TableColumn* column,
                                                                        long row) {
  std::shared_ptr<ui::View> v = table.makeViewWithIdentifier("");
  if (!v && cellType == 0 && column) return CreateNoneCellWithTableColumn(*column, row);
  return v;
}

std::shared_ptr<ZrTableViewCell> PresetTableViewDataSource::CreateNoneCellWithTableColumn(ui::TableColumn& column,
                                                                                         long row) {
  const std::string key = column.identifier() + "_" + std::to_string(row);
  auto& cell = cellDics[key];
  if (!cell) cell = std::make_shared<ZrTableViewCell>(ui::Rect{0, 0, column.width(), 19});
  const auto it = dataDic.find(column.identifier());
  // A column shorter than the table keeps the cell's last text.
  if (it != dataDic.end() && row >= 0 && static_cast<size_t>(row) < it->second.size())
    cell->titleLabel()->setStringValue(it->second[static_cast<size_t>(row)]);
  return cell;
}

std::shared_ptr<ui::TableRowView> PresetTableViewDataSource::rowViewForRow(ui::TableView&, long row) {
  auto& rv = tableRowArray[std::to_string(row)];
  if (!rv) {
    rv = std::make_shared<ZrTableRowView>();
    rv->isPreset = true;
    rv->selectColor = selectColor;
    rv->enterColor = enterColor;
  }
  return rv;
}

bool PresetTableViewDataSource::writeRowsWithIndexes(ui::TableView&, const std::set<long>& rows, ui::Pasteboard& pb) {
  PresetDragData d;
  d.tableViewID = tableIdentifier_;
  for (long r : rows) {
    if (r < 0) continue;
    d.index.push_back(static_cast<uint64_t>(r));
    for (const auto& [id, column] : dataDic)
      if (static_cast<size_t>(r) < column.size()) d.presetName.push_back(column[static_cast<size_t>(r)]);
  }
  pb.setString(PresetDragData::kPasteboardType, d.encode());
  return isDragID.has_value();
}

unsigned PresetTableViewDataSource::validateDrop(ui::TableView& table, const ui::DraggingInfo&, long row,
                                                 ui::TableViewDropOperation op) {
  table.setDropRow(row, op);
  return ui::DragOperationCopy;
}

bool PresetTableViewDataSource::acceptDrop(ui::TableView&, const ui::DraggingInfo& info, long row,
                                           ui::TableViewDropOperation) {
  const std::string* data = info.pasteboard.stringForType(PresetDragData::kPasteboardType);
  if (!data) return false;
  const auto d = PresetDragData::decode(*data);
  if (!d || d->tableViewID == tableIdentifier_) return false;
  if (revicedCell) revicedCell(PresetDrop{row, d->presetName, d->index});
  return isDragID.has_value();
}

std::shared_ptr<ui::TableColumn> setUpPresetList(ZrScrollView& scroll, ZrTableView& table, double rowHeight,
                                                 double width) {
  scroll.setWantsLayer(true);
  scroll.layer().setBackgroundColor(ui::Color::blackColor());
  scroll.setBackgroundColor(ui::Color::blackColor());
  scroll.setHasVerticalScroller(true);
  table.setFocusRingType(1);
  table.setBackgroundColor(ui::Color::blackColor());
  table.registerForDraggedTypes({PresetDragData::kPasteboardType});
  table.setGridStyleMask(ui::TableView::SolidHorizontalGridLineMask);
  table.setGridColor(ui::Color::grayColor().withAlphaComponent(0.5));
  table.setAllowsMultipleSelection(false);
  table.setRowHeight(rowHeight);
  auto column = std::make_shared<ui::TableColumn>("presetName");
  column->setTitle("name");
  column->setWidth(width);
  table.addTableColumn(column);
  return column;
}

PresetListTitle makePresetListTitle(const std::string& title, double labelWidth) {
  PresetListTitle t;
  t.strip = std::make_shared<ui::View>();
  t.strip->setWantsLayer(true);
  t.strip->layer().setBackgroundColor(ui::Color::blackColor());
  t.label = std::make_shared<ui::TextField>(ui::Rect{0, 0, labelWidth, 19});
  t.label->setSelectable(false);
  t.label->setEditable(false);
  t.label->setStringValue(title);
  t.label->setBackgroundColor(ui::Color::blackColor());
  t.label->setTextColor(ui::Color::whiteColor());
  t.label->setBordered(false);
  t.label->setBezeled(false);
  t.strip->addSubview(t.label);
  return t;
}
