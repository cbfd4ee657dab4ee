// A reusable data source and delegate of a preset table: one-line cells
// filled from a dictionary of columns (column identifier to one text per
// row), one row view per row, clicks reported through a block, rows carried
// between tables under the pasteboard type "drag". The owner makes it the
// table's data source and delegate.
//
// Main thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/ZrTableView.h"
#include "platform/foundation/Object.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "screens/presets/PresetDragData.h"

class PresetTableViewDataSource : public fnd::Object, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
  // The clicked row and a flag set to true (not read afterwards).
  using SelectBlock = std::function<void(long row, bool* stop)>;
  using DropBlock = std::function<void(const PresetDrop&)>;

  struct Parts {
    std::shared_ptr<ui::TableView> table;
    std::string tableIdentifier;  // what drags from this table carry
    std::vector<std::string> identifiers;
    unsigned long cellType = 0;
    std::optional<std::vector<std::string>> dragTypes;  // none: no drag and drop
    SelectBlock selectBlock;
    DropBlock dragCell;
    ui::Color enterColor;  // the owner's hover colour ("theme_enterColor")
  };
  static std::shared_ptr<PresetTableViewDataSource> create(Parts parts);
  std::string className() const override { return "PresetTableViewDataSource"; }

  std::vector<std::string> cellIdentifierArr;
  SelectBlock selectBlock;
  DropBlock revicedCell;
  unsigned long cellType = 0;
  long selectRow = 0;
  std::optional<std::vector<std::string>> isDragID;
  std::map<std::string, std::shared_ptr<ZrTableViewCell>> cellDics;
  std::map<std::string, std::vector<std::string>> dataDic;
  bool openDoubleClick = false;
  double rowHeight = 16.0;
  ui::Color selectColor;
  ui::Color enterColor;
  std::map<std::string, std::shared_ptr<ZrTableRowView>> tableRowArray;

  // The table's action.
  void presetSingleClick(ui::TableView& table);

  long numberOfRowsInTableView(ui::TableView&) override;
  bool writeRowsWithIndexes(ui::TableView&, const std::set<long>& rows, ui::Pasteboard& pb) override;
  unsigned validateDrop(ui::TableView& table, const ui::DraggingInfo&, long row, ui::TableViewDropOperation op) override;
  bool acceptDrop(ui::TableView& table, const ui::DraggingInfo& info, long row, ui::TableViewDropOperation) override;

  std::shared_ptr<ui::View> viewForTableColumn(ui::TableView& table, ui::TableColumn* column, long row) override;
  std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView&, long row) override;
  double heightOfRow(ui::TableView&, long) override { return rowHeight; }
  std::shared_ptr<ZrTableViewCell> CreateNoneCellWithTableColumn(ui::TableColumn& column, long row);

  explicit PresetTableViewDataSource(std::string tableIdentifier) : tableIdentifier_(std::move(tableIdentifier)) {}

private:
  std::string tableIdentifier_;
};

// The look both preset lists share: a black scroll view with its vertical
// scroller holding `table`, a single-selection table of rows `rowHeight`
// high with grey grid lines that takes dragged preset rows, and its one
// column "presetName" titled "name", `width` wide, which is returned. The
// caller sets the table's data source, delegate and actions.
std::shared_ptr<ui::TableColumn> setUpPresetList(ZrScrollView& scroll, ZrTableView& table, double rowHeight,
                                                 double width);

// The black title strip of a preset list, holding its white, plain title
// `title` (a label `labelWidth` wide); the caller places both.
struct PresetListTitle {
  std::shared_ptr<ui::View> strip;
  std::shared_ptr<ui::TextField> label;
};
PresetListTitle makePresetListTitle(const std::string& title, double labelWidth);
