#include "screens/editor/EffectViewListCell.h"

#include <algorithm>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"

namespace {

std::shared_ptr<SWSTAnswerButton> halfButton(ui::Rect frame, const std::string& text) {
  auto b = ui::View::create<SWSTAnswerButton>(frame);
  b->setHasBorder(true);
  for (unsigned s = 0; s < 4; ++s) {
    b->cornerRadii[s] = 3;
    b->borderWidths[s] = 1;
    b->borderColors[s] = ui::Color::rgb255(99, 100, 100);
    b->titleColors[s] = ui::Color::whiteColor();
    b->backgroundColors[s] = ui::Color::clearColor();
  }
  b->backgroundColors[SWSTAnswerButton::Highlight] = ui::Color::rgb255(138, 214, 255);
  b->setTitle(text);
  b->setFont(ui::Font::systemFontOfSize(10));
  b->setAutoresizingMask(ui::ViewMinXMargin);
  return b;
}

}  // namespace

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
    const double y = (b.height() - 14) / 2;
    addButton = halfButton(ui::Rect(b.width() - 34, y, 15, 14), "+");
    deleteButton = halfButton(ui::Rect(b.width() - 19, y, 15, 14), "-");
    std::weak_ptr<EffectViewListCell> weak = std::static_pointer_cast<EffectViewListCell>(sharedFromThis());
    addButton->setAction([weak](ui::Control&) {
      if (auto self = weak.lock(); self && self->AddActionBlock) self->AddActionBlock(self->index);
    });
    deleteButton->setAction([weak](ui::Control&) {
      if (auto self = weak.lock(); self && self->DeleteActionBlock) self->DeleteActionBlock(self->index);
    });
    addSubview(addButton);
    addSubview(deleteButton);
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
