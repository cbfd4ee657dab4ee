// A table row whose selection does not show: the selected row looks like
// any other.
//
// Main thread only.
#pragma once

#include "platform/ui/TableView.h"

class NormalTableRowView : public ui::TableRowView {
public:
  using ui::TableRowView::TableRowView;
  std::string className() const override { return "NormalTableRowView"; }
  void drawSelectionInRect(ui::GraphicsContext&, const ui::Rect&) override {}
};
