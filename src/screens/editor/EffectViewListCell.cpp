#include "screens/editor/EffectViewListCell.h"

#include <algorithm>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"

std::shared_ptr<EffectViewListCell> EffectViewListCell::createCellIsNeedButton(bool needButton) {
  auto cell = ui::View::create<EffectViewListCell>(ui::Rect(0, 0, 50, 20));
  cell->isNeedButton = needButton;
  cell->prepareUI();
  return cell;
}

void EffectViewListCell::prepareUI() {
  const ui::Rect b = bounds();
  double right = b.width();
  if (isNeedButton) {
    // 30 x 14, 4 from the right edge, centred vertically.
    opButton = ui::View::create<EffectInsertButton>(ui::Rect(b.width() - 34, (b.height() - 14) / 2, 30, 14));
    opButton->setAutoresizingMask(ui::ViewMinXMargin);
    addSubview(opButton);
    right -= 40;
  }
  title = ui::View::create<TitleLabel>(ui::Rect(4, (b.height() - 16) / 2, std::max(0.0, right - 4), 16));
  title->setDrawsBackground(false);
  title->setSelectable(false);
  title->setEditable(false);
  title->setFont(ui::Font::systemFontOfSize(12));
  title->setStringValue("ModuleType");
  title->setAlignment(ui::TextAlignment::Left);
  title->setBordered(false);
  title->setBezeled(false);
  title->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
  title->setTextColor(ui::Color::whiteColor());
  title->setAutoresizingMask(ui::ViewWidthSizable);
  addSubview(title);
}
